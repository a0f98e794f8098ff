#pragma once
// The delivery state of mailed orders, out of the mail program's journal (ENTREGAS),
// and the retry of what waits in its spool. Plain C++: the window shows what this gives.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/basic/diario_entregas.h"

// An order's last journal outcome; Ninguno when the journal has no line for it.
enum class EstadoEntrega { Ninguno, Enviado, Pendiente, Fallido };

EstadoEntrega EstadoDeResultado(const std::string& resultado);

// An order whose last delivery outcome is FALLIDO, as the journal names it.
struct EntregaFallida {
  std::string archivo;       // attachment name without .html/.pdf
  std::string fecha;         // of the failed line
  std::string destinatario;  // recipient field of the mail that failed
  std::string detalle;       // why
  std::string idCola;        // spool id: "yyyymmdd-hhmmss-..." of the mailing
};

class EntregasOrdenes {
 public:
  EntregasOrdenes() = default;
  // The latest line of each order by date wins (of one date, the later one).
  explicit EntregasOrdenes(std::vector<basic::LineaEntrega> lineas);
  // The journal of `archivo` ([CORREO] ArchivoEntregas): the old file and every PC's
  // summary and recent months (basic::ArchivosDelDiario); nothing there gives none. Only
  // each order's last state is kept: Lineas() reads the files again.
  static EntregasOrdenes Leer(const std::string& archivo);

  // By supplier code and document number (the attachment NombreArchivoOrden names).
  EstadoEntrega Estado(const std::string& cuenta, const std::string& idComprobante) const;
  std::vector<basic::LineaEntrega> Lineas(const std::string& cuenta, const std::string& idComprobante) const;

  // The last outcome's reply or reason ("" for a sent order or one with no line) and the
  // recipient field it went to.
  std::string Detalle(const std::string& cuenta, const std::string& idComprobante) const;
  std::string Destinatario(const std::string& cuenta, const std::string& idComprobante) const;
  // The supplier's last reply to the order's mail ("sender | date | subject"), "" when none.
  std::string Respuesta(const std::string& cuenta, const std::string& idComprobante) const;
  // Every order whose last outcome is FALLIDO.
  std::vector<EntregaFallida> Fallidas() const;

  // Orders whose last line says so, over the whole journal.
  int Cuantas(EstadoEntrega estado) const;
  // The reply of the latest attempt among the waiting orders ("" when none waits).
  std::string UltimoError() const;

 private:
  struct Ultima {
    std::string fecha;
    EstadoEntrega estado = EstadoEntrega::Ninguno;
    std::string detalle;       // of waiting and failed orders only
    std::string destinatario;  // of waiting and failed orders only
    std::string idCola;        // of failed orders only
    std::string respuesta;     // the last RESPONDIDO line's detail
  };
  void Anotar(const basic::LineaEntrega& l);
  static void Poner(Ultima& u, std::string_view fecha, EstadoEntrega estado, std::string_view detalle,
                    std::string_view destinatario, std::string_view idCola);
  void AnotarArchivo(const std::string& bytes);

  std::string archivo_;                                 // the journal Leer read; "" when built from lines
  std::vector<basic::LineaEntrega> lineas_;             // the lines given to the constructor
  std::map<std::string, Ultima, std::less<>> ultimas_;  // by attachment name without .html/.pdf
};

// Whether two recipient fields name the same addresses (in any order and case).
bool MismasDirecciones(const std::string& a, const std::string& b);

// The status line: "2 mails no se pudieron entregar; 3 mails esperan en la cola de envío
// (último error: <reply>)", either part alone; "" when nothing waits or failed.
std::string TextoEstadoCola(const EntregasOrdenes& entregas);

// An order's journal lines as the operator reads them, one per attempt.
std::string TextoEntregas(const std::vector<basic::LineaEntrega>& lineas);

// The journal's path for the application folder, as the mail program resolves it (the INI
// named by TSPOST_INI when set).
std::string ArchivoEntregasDe(const std::string& carpetaAplicacion);

// True when the spool folder holds a mail (a .sobre or .trabajo item).
bool HayCorreosEnCola(const std::string& carpetaPendientes);

// Starts "<app>/TSPOST.EXE --reintentar" in the background when the spool holds mails and
// no retry started here still runs. The mail program sends only what is due and lets one
// retry run at a time. True when one was started; failures to start are left silent (the
// next run or start-up tries again).
bool ReintentarEnSegundoPlano(const std::string& carpetaAplicacion);

// Starts "<app>/TSPOST.EXE --revisar" in the background when [CORREO] BuzonEntrada is set
// and no reading started here still runs: bounces and replies reach the journal. True when
// one was started.
bool RevisarBuzonEnSegundoPlano(const std::string& carpetaAplicacion);
