#pragma once
// The delivery journal of the mail program (CORREO/ENTREGAS.TXT): one line per delivery
// attempt, appended by tspost and read by ocmail to show each order's delivery state.
// Windows-1252, CR LF, seven fields separated by TAB:
//   date time (local, "yyyy-mm-dd hh:mm:ss") | attachment file name | recipient field |
//   outcome (ENVIADO, PENDIENTE, FALLIDO) | server reply or detail | Message-ID | spool id
// Text in memory is UTF-8; TAB, CR and LF inside a field are written as blanks.
#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace basic {

inline constexpr const char* kEntregaEnviado = "ENVIADO";      // accepted by the server, or in the outbox
inline constexpr const char* kEntregaPendiente = "PENDIENTE";  // waiting in the spool
inline constexpr const char* kEntregaFallido = "FALLIDO";      // given up

struct LineaEntrega {
  std::string fecha;         // "yyyy-mm-dd hh:mm:ss"
  std::string archivo;       // attachment file name, no folder ("P001-000100001000X.html")
  std::string destinatario;  // recipient field as written in the job
  std::string resultado;     // kEntregaEnviado, kEntregaPendiente or kEntregaFallido
  std::string detalle;       // the server's reply line, or why
  std::string messageId;     // "<...@...>"; empty when no message was built yet
  std::string idCola;        // spool id: the lines of one mail share it
  bool operator==(const LineaEntrega&) const = default;
};

// "yyyy-mm-dd hh:mm:ss" of a moment, local time.
std::string FechaDiario(std::time_t momento);

// One journal line as it is written to the file: Windows-1252, ended by CR LF.
std::string LineaDiario(const LineaEntrega& linea);

// Every whole line of a journal's bytes, in file order. A last line without its CR LF (a
// writer that died halfway) and lines without exactly seven fields are skipped; nothing
// here throws on bad input.
std::vector<LineaEntrega> LeerDiario(const std::string& bytes);

// Appends one line with a single write() on an O_APPEND descriptor, so lines of writers
// running at once never mix; creates the file and its folder when missing. False (and
// errno set) when the line could not be written whole.
bool AgregarAlDiario(const std::string& ruta, const LineaEntrega& linea);

// The last line of each attachment file name (lines without one are left out): the
// delivery state of each order.
std::map<std::string, LineaEntrega> UltimoEstadoPorArchivo(const std::vector<LineaEntrega>& lineas);

}  // namespace basic
