#pragma once
// The delivery journal of the mail program: one line per delivery attempt, appended by
// tspost and read by ocmail to show each order's delivery state.
//
// Layout, for the journal file J = [CORREO] ArchivoEntregas (CORREO/ENTREGAS.TXT):
//   J                         lines of older versions: read, never written any more;
//   J without extension/      (CORREO/ENTREGAS/) one folder per PC, named after its host;
//     <PC>/yyyy-mm.TXT        that PC's lines of one month (the month of the line's date);
//     <PC>/RESUMEN.TXT        "HASTA<TAB>yyyy-mm<TAB>bytes" (the cut: the months before
//                             yyyy-mm and that many bytes of its file), then, of the lines
//                             before the cut, the last line of each attachment that still
//                             tells the state: not overridden by a later line elsewhere, and
//                             not ENVIADO unless it overrides an older line elsewhere.
// Only the PC named by a folder writes in it, holding a lock on a file of its own /tmp, so
// the share's locks (not seen by other PCs) are never needed. When more than
// kDiarioSinResumir bytes lie after the cut, the writer moves the cut to the end of its
// latest month file; a reader takes the summary and the bytes after the cut, so a list load
// reads about that much per PC, whatever the journal's age.
// Each line:
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
inline constexpr const char* kEntregaRebotado = "REBOTADO";    // bounced after the server took it

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

// Appends one line with a single write() on an O_RDWR | O_APPEND descriptor (a write-only
// append open fails through the SMB client), so lines of writers running at once never
// mix; creates the file and its folder when missing. After a cut last line (a writer that
// died halfway) the line starts on a line of its own. False (and errno set) when the line
// could not be written whole.
bool AgregarAlDiario(const std::string& ruta, const LineaEntrega& linea);

// A PC's journal bytes after its summary's cut that make its writer rewrite the summary.
inline constexpr long long kDiarioSinResumir = 64 * 1024;

// This PC's name as its journal folder is called: the short host name, with anything but
// letters, digits, "-" and "_" as "_", in capitals (the share ignores case).
std::string EquipoDelDiario(const std::string& nombreEquipo);
std::string EquipoDelDiario();  // this machine's

// The folder of the per-PC journals of the journal file `archivoEntregas`.
std::string CarpetaDiarios(const std::string& archivoEntregas);

// Appends a line to the journal of the PC `equipo` (EquipoDelDiario()'s form; default this
// machine), under this PC's lock, and brings its summary up to date first when more than
// kDiarioSinResumir bytes lie after its cut. The summary failing to be rebuilt loses nothing (readers then
// read more months); false and errno as AgregarAlDiario when the line itself was not written.
bool AgregarAlDiarioDelEquipo(const std::string& archivoEntregas, const LineaEntrega& linea,
                              const std::string& equipo = EquipoDelDiario());

// A piece of the journal a reader reads: a file from the byte `desde` to its end.
struct TramoDiario {
  std::string ruta;
  long long desde = 0;
};

// What a reader reads, in this order: the old journal file, then per PC its summary and its
// month files from the summary's cut (`todos`: every month file whole, for whoever must
// find a sent mail's line of any age). Missing files are left out.
std::vector<TramoDiario> TramosDelDiario(const std::string& archivoEntregas, bool todos = false);
// The bytes of a piece (a file shorter than its `desde` is read whole); false when the
// file cannot be opened.
bool LeerTramo(const TramoDiario& tramo, std::string& bytes);
// The files of TramosDelDiario.
std::vector<std::string> ArchivosDelDiario(const std::string& archivoEntregas, bool todos = false);

// The lines of TramosDelDiario, in date order (lines of one date keep their file order).
// A file that cannot be read (another PC holding it) is skipped, and so are cut and
// malformed lines; never throws on what it finds.
std::vector<LineaEntrega> LeerDiarios(const std::string& archivoEntregas, bool todos = false);

// The last line of each attachment file name (lines without one are left out): the
// delivery state of each order.
std::map<std::string, LineaEntrega> UltimoEstadoPorArchivo(const std::vector<LineaEntrega>& lineas);

}  // namespace basic
