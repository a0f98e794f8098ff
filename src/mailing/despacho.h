#pragma once
// The dispatch run of "&Enviar": for every checked order, confirm it is still pending,
// render it to HTML in the run folder, hand a mail job to the mail program and stamp the
// order as mailed. Plain C++: the caller gives the rows and the texts and gets per order
// what happened; the operator is told through ui::operador().
//
// Job hand-over. The job file "cfgMail.txt" has one fixed name in the PC's local folder
// (CarpetaLocal: locks, links and renames are sound there, unlike on a shared application
// folder) and the mail program takes its job by removing the file. So the file is written
// for an order only after the mail program of the previous order has taken its job (the
// file is gone) or has ended; the wait sits right before the write, after the next order
// has been rendered, so rendering overlaps the previous mail program's start. At the end of
// the run the last job is waited for the same way. The bound is
// OpcionesDespacho::esperaEntrega.
//
// Stamping rule. Before its job is written an order is claimed: its stamp (fechaenviomail)
// is written on the condition that it still holds what the list read, so that of two runs
// (two PCs, or a scheduled run beside the window) one wins and the other skips the order
// ("ya enviada por otro puesto"). A hand-over that then fails (mail program that ended
// without taking the job, or did not take it in time, job not written, program not
// started) undoes the claim: the stamp read is put back where the stamp still holds the
// claim's. On a time-out the job file is withdrawn (so no late reader mails an order that
// is not stamped) and the run stops. Claims are recorded on the PC first (reclamos.h), so
// that one left by a run that died is settled by the next run.
//
// Orders whose supplier has no address, or one the mail program would hold, are listed to
// the operator in one question before the first order (go on with the others, or stop
// before any); they are never handed over. Failures of an order's steps (export, job file,
// program start, mail program that ended without taking its job, stamp) are shown naming
// the order, and the operator chooses whether the run goes on with the next order. Orders
// stamped before stay stamped. A run folder that cannot be made stops the run before any
// order. A run that went through its orders ends with one summary.
//
// Values pasted between single quotes (statements and report formulas) have their quotes
// doubled; the report's formula reader takes a doubled quote back as one.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/basic/variant.h"

// One row of the pending-order list, as the run reads it.
struct FilaDespacho {
  std::string cuenta;            // supplier code (row text)
  std::string tc;                // document type (sub-item 1)
  std::string idComprobante;     // document number (sub-item 2)
  std::string mail;              // e-mail address (sub-item 7)
  bool marcada = false;          // check box
  std::string razonSocial = {};  // supplier name (sub-item 3), for the operator's texts
  std::string fechaEnvio = {};   // the stamp the list read (sub-item 8): "" when never mailed
};

enum class EstadoOrden {
  Enviada,           // job taken by the mail program and the order stamped
  NoPendiente,       // the pending check found nothing: skipped silently
  YaEnviada,         // another run claimed it first: skipped
  SinMail,           // no e-mail address: not handed over
  MailNoValido,      // an address the mail program would hold: not handed over
  FalloExportacion,  // report resolution or export failed
  FalloTrabajo,      // the job file could not be written
  FalloInicio,       // the mail program could not be started
  NoTomada,          // the mail program ended without taking the job
  SinEntrega,        // the job (or another run's) was not taken in time: run stopped
  FalloMarca,        // the claim (the stamp's write) failed: not handed over
  NoIntentada,       // the run stopped before this order
};

struct ResultadoOrden {
  std::string cuenta;
  std::string tc;
  std::string idComprobante;
  std::string archivo;  // the HTML file (set once known)
  EstadoOrden estado = EstadoOrden::NoIntentada;
  std::string detalle;  // the failure's description, "" when none
};

struct ResultadoDespacho {
  std::string carpeta;                  // the run folder ("" when it could not be made)
  bool filaAtendida = false;            // a checked row was found
  bool detenido = false;                // the run stopped before its end
  bool cancelado = false;               // ... because the operator cancelled it
  bool recargada = false;               // the reload was called
  std::vector<ResultadoOrden> ordenes;  // one per checked row, in list order
  int Cuantas(EstadoOrden estado) const;
};

// The steps of one order's hand-over, in order.
enum class PasoEntrega {
  Marcada,    // the order is claimed: stamped as mailed by this run
  Exportada,  // its HTML file is written
  Publicada,  // its job file is at the job path
  Iniciada,   // its mail program has been started
  Tomada,     // the mail program has taken the job
};

struct OpcionesDespacho {
  // How long the previous mail program may take to take its job.
  std::chrono::milliseconds esperaEntrega{30000};
  // How long the end of the run waits for its mail programs to deliver, so that the reload
  // and the summary can show what the server did.
  std::chrono::milliseconds esperaResultado{5000};
  // Called over and over while the run waits for a mail program (and between orders), so
  // that a window can keep painting. Must not start another run.
  std::function<void()> alEsperar;
  // Called after each step of an order's hand-over.
  std::function<void(PasoEntrega, const ResultadoOrden&)> alPaso;
  // Polled before each order and before its job is written: true stops the run there. The
  // job handed over last is still waited for and its order stamped.
  std::function<bool()> cancelar;
  // Called before order `numero` (from 1) of `total` is started; `total` counts the checked
  // rows to hand over (those with a valid address).
  std::function<void(int numero, int total, const FilaDespacho& fila)> alEmpezarOrden;
  // Called once the orders are over (the last job waited for), before the reload and the
  // summary.
  std::function<void()> alTerminar;
};

// Options of the runs started from the window (tests shorten the wait).
OpcionesDespacho& opcionesDespacho();

class Despacho {
 public:
  explicit Despacho(OpcionesDespacho opciones = opcionesDespacho()) : opciones_(opciones) {}

  // The whole click: run folder, every checked row, then `recargar` when a row was
  // checked, else the message "No Hay Proveedores Seleccionados!!!". The subject and the
  // message as the fields hold them (lines joined by CR LF).
  ResultadoDespacho Ejecutar(const std::vector<FilaDespacho>& filas, const std::string& asunto,
                             const std::string& mensaje, const std::function<void()>& recargar = {});

 private:
  OpcionesDespacho opciones_;
};

// ---- The pieces of the run, each as the run uses it ----

// «app»/E-MAILS/ENVIOS/«date»/«time» for that moment: the short date with "/" as "-" and
// the time with ":" as ".". Not created.
std::string RutaCarpetaEnvio(const std::string& carpetaAplicacion, basic::Fecha ahora);
// Creates every missing level of the run folder (an existing level, in any case, is kept)
// and returns it. Raises ErrorEjecucion 75 naming the level that cannot be made.
std::string CrearCarpetaEnvio(const std::string& carpetaAplicacion, basic::Fecha ahora);

// The pending check of one order.
std::string SentenciaPendiente(const std::string& cuenta, const std::string& tc,
                               const std::string& idComprobante);
// The stamp of one order with the date text.
std::string SentenciaMarcaEnvio(const std::string& fecha, const std::string& cuenta,
                                const std::string& idComprobante);
// "OC-" + the 13th character of the document number ("OC-" when it is shorter).
std::string NombreReporteOrden(const std::string& idComprobante);
// The selection formula of the order's report.
std::string FormulaSeleccionOrden(const std::string& cuenta, const std::string& idComprobante);
// The five heading formulas from the company data of the configuration table.
std::vector<std::string> FormulasEmpresa();

// Whether the row's supplier has no address, or one the mail program would hold.
bool SinDireccionValida(const FilaDespacho& fila);
// The one question before a run about the rows that will not be handed over for want of a
// valid address: counted, listed ("<order> (<supplier>)", at most 20 lines) and, when
// other orders are left (`quedanOtras`), "¿Continúa con las demás?".
std::string TextoSinDireccion(const std::vector<FilaDespacho>& filas, bool quedanOtras);
// Mails of the run handed over that still wait in the mail program's spool; with
// `fallidos`, also those the server refused for good (their last outcome is FALLIDO), and
// with `entregados` those it accepted.
int CorreosEnEspera(const ResultadoDespacho& r, int* fallidos = nullptr, int* entregados = nullptr);
// The summary after a run: handed over (of them `entregados` accepted, `enEspera` still in
// the spool and `noEntregados` refused for good), skipped and why, failed, not attempted.
std::string TextoResumen(const ResultadoDespacho& r, int enEspera, int noEntregados = 0, int entregados = 0);

// The first address of a recipient field that the mail program would hold ("" when every
// address is good; the field itself when it names none).
std::string DireccionNoValida(const std::string& mail);
// "<supplier>-<order>.html", with "/", "\\" and control characters as "_" and a part of only
// dots made of "_", so that the file stays in the run folder; a character that
// Windows-1252 cannot write is spelt as its UTF-8 bytes in %XX form ("PŁ01" gives
// "P%C5%8101"), so the job, the journal and the list name the file alike.
std::string NombreArchivoOrden(const std::string& cuenta, const std::string& idComprobante);

// The job file's text (UTF-8, CR LF line ends). Line breaks and other control characters
// in the subject become blanks, every message line gets its own "MENSAJE=" and other
// control characters of the message become blanks.
std::string TextoTrabajoCorreo(const std::string& destinatario, const std::string& asunto,
                               const std::string& mensaje, const std::string& archivo);
// The job's bytes: Windows-1252 as the suite writes it; UTF-8 after a byte-order mark when
// the text holds a character that Windows-1252 cannot write (the mail program reads both).
std::string BytesTrabajoCorreo(const std::string& texto);
// Settles the claims left on this PC by runs that died (see reclamos.h) against the mail
// program's spool and journal, on the open connection; before the pending list is read,
// so that the list shows what the settling gave back. Never raises: what cannot be
// settled now is settled another time. The orders given back.
int SaldarReclamosDe(const std::string& carpetaAplicacion);
// Full path of the job file (in the PC's local folder, CarpetaLocal) and the mail program's
// command line.
std::string RutaTrabajoCorreo(const std::string& carpetaAplicacion);
std::string LineaComandoCorreo(const std::string& carpetaAplicacion);
