#pragma once
// tspost: the suite's mail program. Reads a mail job (cfgMail.txt), takes it, and delivers
// the message over SMTP, to the outbox folder when no server is set, or keeps it in the
// spool folder until `tspost --reintentar` can deliver it. Settings and file formats are
// described in docs/tspost.md.
#include <string>
#include <vector>

namespace tspost {

// ---- text helpers (texto.cpp) ----
std::string Base64(const std::string& bytes, size_t anchoLinea = 76);  // lines ended CR LF
std::string QuotedPrintable(const std::string& texto);                 // text with CR LF line ends
// A header value as RFC 2047 encoded words when it is not plain ASCII; `usado` is the
// length of the header name already on the line (for folding).
std::string CodificarEncabezado(const std::string& utf8, size_t usado);
bool EsAscii(const std::string& s);

// ---- settings (configuracion.cpp) ----
enum class Seguridad { Ninguna, StartTls, Tls };
// How tspost logs in: with a password (the suite's way) or with an OAuth 2.0 bearer token.
enum class Autenticacion { Clave, Xoauth2 };

struct Configuracion {
  std::string carpetaAplicacion;  // folder of TM440kv.INI; relative paths hang from it
  std::string archivoIni;         // the INI file read ("" when none was found)
  std::string servidor;           // empty: no server, messages go to the outbox
  int puerto = 0;                 // 0: 25, 587 or 465 after the security
  Seguridad seguridad = Seguridad::Ninguna;
  std::string usuario, clave;  // Usuario and Clave as written in the INI
  std::string archivoClave;    // ArchivoClave, full path; "" when not set
  Autenticacion autenticacion = Autenticacion::Clave;
  std::string tokenComando;  // TokenComando: the command that prints the access token
  long tiempoToken = 30;     // TiempoToken: seconds the command may take
  std::string remitente, nombreRemitente;
  std::string carpetaSalida, carpetaPendientes, archivoLog;
  std::string archivoEntregas;    // the delivery journal
  bool pendientesDelIni = false;  // CarpetaPendientes set in the INI (else the PC's own folder)
  long tiempoEspera = 60;         // seconds for one SMTP delivery
  long diasReintento = 3;         // days after the first failure until a message is given up
  bool verificarCertificado = true;
  std::string carpetaPrograma;  // folder of the tspost executable
  // BuzonEntrada: the mailbox that receives the sender's mail, imap:// or imaps:// URL
  // ("" reads nothing); UsuarioEntrada and ClaveEntrada default to the SMTP login.
  std::string buzonEntrada, usuarioEntrada, claveEntrada;
  // Folders an attachment may come from: <program folder>/E-MAILS/ENVIOS and those of
  // CarpetasAdjuntos, as written (resolved when a job is checked).
  std::vector<std::string> carpetasAdjuntos;
  // One text per key with a value that is not valid ("Seguridad=STARTLS no es valido (...)"):
  // while there is any, no mail is sent.
  std::vector<std::string> errores;
  int PuertoEfectivo() const;
  std::string Url() const;              // smtp://host:port or smtps://host:port
  std::string CarpetaFallidos() const;  // FALLIDOS beside the spool folder
};

// Reads section [CORREO] of the INI file (Windows-1252) and fills the defaults; an empty key
// keeps its default, a value that is not valid goes to `errores`. `carpetaPrograma` is the
// folder of the executable: TM440kv.INI is looked for there (whatever its case) unless
// `archivoIni` names the file itself, and attachments may come from its run folders.
Configuracion LeerConfiguracion(const std::string& carpetaPrograma, const std::string& archivoIni = "");

// ---- SMTP login (credenciales.cpp) ----
// Where the password comes from, the first that applies: the user's ~/.netrc entry for the
// server (read here, never by libcurl, which would fall back to "default"), the file named by
// ArchivoClave, the INI's Clave.
// With Autenticacion=XOAUTH2 the token of TokenComando replaces all of them.
enum class OrigenClave { Ninguna, Netrc, Archivo, Ini, Token };

struct Credenciales {
  OrigenClave origen = OrigenClave::Ninguna;  // Ninguna: no login
  std::string usuario;
  std::string clave;                // the password; the access token with Token
  std::string error;                // set: the intended login cannot be made, nothing is sent
  std::vector<std::string> avisos;  // for the log; they never hold a password
};
Credenciales ObtenerCredenciales(const Configuracion& c);

// The login of a netrc text for `servidor`: the first "machine <servidor>" entry (never
// "default") with a password and, when `usuario` is set, with that login; with `usuario`
// empty the entry's login names the user. False when there is none.
struct EntradaNetrc {
  std::string login, clave;
};
bool BuscarEntradaNetrc(const std::string& texto, const std::string& servidor, const std::string& usuario,
                        EntradaNetrc& entrada);

// The password from a credentials file: its first line without the line end, UTF-8 (a
// Windows-1252 file is converted). False with the reason and its fix when the file is
// missing, a symbolic link, not a regular file, not owned by the user running tspost,
// readable by group or others, or empty.
bool LeerArchivoClave(const std::string& ruta, std::string& clave, std::string& motivo);

// Runs `comando` (split as the launcher splits a command line, no shell; a relative program
// path hangs from `carpetaAplicacion`) and reads the access token from its standard output:
// one line of visible characters, blanks and line ends around it dropped. The command gets
// `segundos` and at most `maximo` bytes of output, else it is killed with what it started.
// False with the reason, which never holds any of the output.
constexpr size_t kMaximoToken = 16 * 1024;
bool ObtenerToken(const std::string& comando, const std::string& carpetaAplicacion, long segundos,
                  size_t maximo, std::string& token, std::string& motivo);

// ---- the job file (trabajo.cpp) ----
// No value holds a control character: one in DESTINATARIO or ARCHIVO refuses the job
// (`rechazo`; the value is kept shown visibly, and no recipient is kept), one in ASUNTO or a
// message line becomes a blank (a TAB in a message line: blanks to the next tab stop).
struct Trabajo {
  std::vector<std::string> destinatarios;  // DESTINATARIO, split by basic::DividirDirecciones
  std::string destinatarioTexto;           // DESTINATARIO as written
  std::string asunto;                      // ASUNTO
  std::vector<std::string> lineasMensaje;  // one per body line, UTF-8
  std::vector<std::string> archivos;       // ARCHIVO: full paths of the attachments
  std::string rechazo;                     // set: the job is refused, never sent (why)
};

// Parses the job text (Windows-1252, or UTF-8 after a byte-order mark; CR LF or LF line ends).
Trabajo ParsearTrabajo(const std::string& bytes);

// Whether `ruta` lies inside one of `carpetas` once ".." and symbolic links are resolved
// (a path that does not exist yet is resolved as far as it exists).
bool DentroDeCarpetas(const std::string& ruta, const std::vector<std::string>& carpetas);
// Why a job must be refused ("" when it may be sent): its own `rechazo`, or an attachment
// outside `carpetas`.
std::string RechazoDelTrabajo(const Trabajo& t, const std::vector<std::string>& carpetas);

// The job file path out of the command-line arguments (after the program name): they are
// joined with blanks, the launch token (" ;vxqr@" or any trailing ";..." argument) is
// dropped and surrounding double quotes removed. Empty when no path was given.
std::string RutaDeArgumentos(const std::vector<std::string>& args);
// The existing file that a path names, matching each level without regard to case and to
// runs of blanks (a command line split at blanks loses them). The path itself when nothing
// matches.
std::string ResolverRuta(const std::string& ruta);

// ---- the MIME message (mensaje.cpp) ----
struct Mensaje {
  std::string eml;             // complete message, CR LF line ends
  std::string remitenteSobre;  // envelope sender
  std::vector<std::string> destinatarios;
  std::string messageId;
};

// Builds the message; raises std::runtime_error when the attachment cannot be read.
Mensaje ArmarMensaje(const Trabajo& t, const Configuracion& c);

// ---- SMTP delivery (envio.cpp) ----
struct ResultadoEnvio {
  bool ok = false;
  bool permanente = false;  // refused for good (5xx): retrying would not help
  long codigo = 0;          // the server's last reply code; 0 when none came
  std::string respuesta;    // that reply line ("250 2.0.0 Ok: queued as X", "550 5.1.1 ...")
  std::string error;
};
// An SMTP reply code that gives the message up at once: 5xx, but for a refused login.
bool ErrorPermanente(long codigoSmtp);
ResultadoEnvio EnviarSmtp(const Mensaje& m, const Configuracion& c, const Credenciales& login);

// ---- the program (programa.cpp) ----
enum CodigoSalida : int {
  kEntregado = 0,   // sent, or left in the outbox; with --reintentar: spool emptied
  kPendiente = 1,   // kept in the spool folder, to be sent by --reintentar
  kSinTrabajo = 2,  // no job taken: missing or unreadable job file, wrong arguments
  kErrorGrave = 3,  // the job could not be made safe (spool not writable): left in place
  kFallido = 4,     // refused for good: by the server (moved to FALLIDOS) or the job itself (.rechazado)
};

// Seconds to wait before the next attempt after `fallos` failed ones: 1, 5, 15 and 60
// minutes, then hourly.
long EsperaReintento(int fallos);

// Appends one line to the log: date time | outcome | recipient | subject | detail.
void Registrar(const Configuracion& c, const std::string& resultado, const std::string& destinatario,
               const std::string& asunto, const std::string& detalle);

// Takes and processes one job file.
int ProcesarArchivoTrabajo(const std::string& rutaTrabajo, const Configuracion& c);
// Sends again what is in the spool folder and due (everything with `ahora`); gives up what
// is refused for good or older than diasReintento. Does nothing while another run holds the
// spool's retry lock.
int Reintentar(const Configuracion& c, bool ahora = false);
// Reads the messages that arrived in BuzonEntrada since the last run (EXAMINE and
// BODY.PEEK: the mailbox is never changed) and appends a journal line for each bounce,
// delay or reply to a mail of the journal. 0 read (also with no mailbox set), 2 failure.
int Revisar(const Configuracion& c);
// The whole program: arguments without the program name; `carpetaPrograma` is the folder
// of the executable.
int Ejecutar(const std::vector<std::string>& args, const std::string& carpetaPrograma);

}  // namespace tspost
