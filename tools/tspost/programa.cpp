// The program's flow: take the job into the spool folder, deliver it, log it.
//
// The spool folder is the PC's and the user's own (no one else may write it). Its items,
// one id per message ("yyyymmdd-hhmmss-pid-random"), and how each comes and goes:
//   <item>.tmp          an item being written (never read; a stop may leave one behind).
//   <id>.trabajo        the job: written here (locked before its name appears, synced, the
//                       folder synced) BEFORE the job leaves its path. Then it is either
//                       removed again (the job was gone: no job), set aside as .rechazado,
//                       replaced by .eml + .sobre (the message built, with a server), removed
//                       once delivered (no server: the outbox), held while its message
//                       cannot be built (attachment missing, no valid recipient), or given up
//                       into FALLIDOS. A stop after it is written and before the take leaves
//                       it beside the job still at its path: --reintentar sends it (at least
//                       once). One beside a .sobre of its id is stale and removed.
//   <id>.eml + <id>.sobre  a built message and its envelope (the delivery state): written
//                       before the first attempt, the .sobre last and locked; removed once
//                       delivered (journal line first), rewritten after a failed attempt,
//                       moved to FALLIDOS (.sobre first) when given up.
//   <id>.rechazado      a taken file that holds no job, or a job that is refused (a control
//                       character in a recipient or a path, an attachment outside the
//                       allowed folders), kept for the operator and never sent.
// The job is taken by a rename beside it (<job>.<id>.tomado), one atomic step: whoever
// renames it first (this program, another one, or ocmail withdrawing it) owns it. ocmail sees
// its job taken when the path no longer holds it, so it never sees a mail taken that is not
// durably in the spool. Each item is locked (flock, on a descriptor open for writing: NFSv4
// refuses otherwise) while a process works on it, so that a run of --reintentar never sends
// what another process is sending; a lock refused for any reason but another holder stops
// the work, never "go on without it".
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>

#include "platform/basic/archivos.h"
#include "platform/basic/correo.h"
#include "platform/basic/diario_entregas.h"
#include "tspost.h"
#include "platform/basic/texto.h"
#include "platform/os/rutas.h"
#include "companion/rutas_correo.h"

namespace fs = std::filesystem;

namespace tspost {
namespace {

bool LeerBytes(const std::string& ruta, std::string& datos, std::string& error) {
  std::error_code ec;
  if (fs::is_directory(ruta, ec)) {
    error = "es una carpeta";
    return false;
  }
  std::ifstream f(ruta, std::ios::binary);
  if (!f) {
    error = fs::exists(ruta, ec) ? "no se puede abrir" : "no existe";
    return false;
  }
  std::ostringstream ss;
  ss << f.rdbuf();
  if (f.bad()) {
    error = "error de lectura";
    return false;
  }
  datos = ss.str();
  return true;
}

// Syncs a folder, so that the names made in it survive a power cut.
bool SincronizarCarpeta(const std::string& carpeta) {
  const int fd = ::open(carpeta.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

// Writes through a temporary name, syncs and renames, so that a reader never sees half a
// file. With `bloqueado` the new file is locked before it appears under its name (no other
// process can lock it first) and the descriptor holding the lock is returned there. False
// with errno set when anything failed: then nothing is left behind and `ruta` is as it was.
bool EscribirAtomico(const std::string& ruta, const std::string& datos, int* bloqueado = nullptr) {
  std::error_code ec;
  fs::create_directories(fs::path(ruta).parent_path(), ec);
  std::string tmp = ruta + ".tmp";
  int fd = ::open(tmp.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = !bloqueado || ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  for (size_t hecho = 0; ok && hecho < datos.size();) {
    ssize_t n = ::write(fd, datos.data() + hecho, datos.size() - hecho);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = EIO;
    if (n <= 0) ok = false;
    hecho += n > 0 ? static_cast<size_t>(n) : 0;
  }
  ok = ok && ::fsync(fd) == 0;
  if (!bloqueado) {
    ok = ::close(fd) == 0 && ok;
    fd = -1;
  }
  if (!ok || std::rename(tmp.c_str(), ruta.c_str()) != 0) {
    const int e = errno;
    ::unlink(tmp.c_str());
    if (fd >= 0) ::close(fd);
    errno = e;
    return false;
  }
  if (bloqueado) *bloqueado = fd;
  return true;
}

std::string NuevoId() {
  std::time_t ahora = std::time(nullptr);
  std::tm t{};
  localtime_r(&ahora, &t);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &t);
  static std::mt19937 gen{std::random_device{}()};
  char azar[16];
  std::snprintf(azar, sizeof azar, "%06x", static_cast<unsigned>(gen() & 0xFFFFFF));
  return std::string(buf) + "-" + std::to_string(getpid()) + "-" + azar;
}

// The whole file behind a descriptor, read from its start.
bool LeerDescriptor(int fd, std::string& datos) {
  datos.clear();
  char buf[65536];
  for (off_t pos = 0;;) {
    const ssize_t n = ::pread(fd, buf, sizeof buf, pos);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    datos.append(buf, static_cast<size_t>(n));
    pos += n;
  }
}

// An exclusive lock on one spool file, held while the object lives. Not valid when
// another process holds it or the file is gone (taken by someone else meanwhile), or when
// the lock was refused for another reason (ErrorBloqueo).
class Bloqueo {
 public:
  explicit Bloqueo(const std::string& ruta) {
    // Open for writing: NFSv4 refuses an exclusive lock on a read-only descriptor.
    // O_NONBLOCK: a FIFO put in an item's place must not hang the open.
    fd_ = ::open(ruta.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
      errorApertura_ = errno;
      return;
    }
    struct stat abierto {
    }, actual{};
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if (errno != EWOULDBLOCK && errno != EINTR) errorBloqueo_ = errno;
      ::close(fd_);
      fd_ = -1;
    } else if (::fstat(fd_, &abierto) != 0 || ::stat(ruta.c_str(), &actual) != 0 ||
               abierto.st_ino != actual.st_ino) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  // Takes over a descriptor that already holds the lock (-1: none).
  struct Adoptar {};
  Bloqueo(int fd, Adoptar) : fd_(fd) {}
  ~Bloqueo() {
    if (fd_ >= 0) ::close(fd_);
  }
  Bloqueo(const Bloqueo&) = delete;
  Bloqueo& operator=(const Bloqueo&) = delete;
  bool Valido() const { return fd_ >= 0; }
  // errno of the open when the file could not be opened at all; 0 when it was opened (and
  // then found locked by another process or no longer at its path).
  int ErrorApertura() const { return errorApertura_; }
  // errno of a lock refused for a reason other than another holder (ENOLCK, EBADF...); 0 else.
  int ErrorBloqueo() const { return errorBloqueo_; }
  // The whole locked file, read through its descriptor. False for anything but a regular file.
  bool Leer(std::string& datos) const {
    struct stat st {};
    return fd_ >= 0 && ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) && LeerDescriptor(fd_, datos);
  }

 private:
  int fd_ = -1;
  int errorApertura_ = 0;
  int errorBloqueo_ = 0;
};

std::string UnaLinea(std::string s) {
  for (char& c : s)
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  return s;
}

std::string Destinatarios(const Trabajo& t) {
  return t.destinatarioTexto.empty() ? "(sin destinatario)" : t.destinatarioTexto;
}

std::string Base(const Configuracion& c, const std::string& id) {
  return (fs::path(c.carpetaPendientes) / id).string();
}

// "yyyy-mm-dd hh:mm:ss" (local time) back to a moment; 0 when it is not one.
std::time_t LeerFecha(const std::string& texto) {
  std::tm t{};
  char resto = 0;
  if (std::sscanf(texto.c_str(), "%d-%d-%d %d:%d:%d%c", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour,
                  &t.tm_min, &t.tm_sec, &resto) != 6)
    return 0;
  t.tm_year -= 1900;
  t.tm_mon -= 1;
  t.tm_isdst = -1;
  const std::time_t m = std::mktime(&t);
  return m == static_cast<std::time_t>(-1) ? 0 : m;
}

// When a spool item was taken: the date and time its id starts with ("yyyymmdd-hhmmss-"),
// else the file's modification time.
std::time_t FechaDeId(const std::string& id, const std::string& ruta) {
  if (id.size() > 16 && id[8] == '-') {
    const std::string f = id.substr(0, 4) + "-" + id.substr(4, 2) + "-" + id.substr(6, 2) + " " +
                          id.substr(9, 2) + ":" + id.substr(11, 2) + ":" + id.substr(13, 2);
    if (const std::time_t t = LeerFecha(f)) return t;
  }
  struct stat st {};
  return ::stat(ruta.c_str(), &st) == 0 ? st.st_mtime : std::time(nullptr);
}

std::vector<std::string> NombresAdjuntos(const Trabajo& t) {
  std::vector<std::string> nombres;
  for (const auto& a : t.archivos) nombres.push_back(fs::path(a).filename().string());
  return nombres;
}

// A spooled message's envelope: sender, recipients, the log texts, and its delivery state.
struct Sobre {
  Mensaje m;                          // sender, recipients and Message-ID; the .eml is read apart
  Trabajo t;                          // destinatarioTexto and asunto
  std::vector<std::string> adjuntos;  // attachment file names, for the journal
  int intentos = 0;                   // failed attempts
  std::time_t primerFallo = 0, proximo = 0;
};

std::string TextoSobre(const Sobre& s) {
  std::string r = "DE=" + s.m.remitenteSobre + "\r\n";
  for (const auto& d : s.m.destinatarios) r += "PARA=" + d + "\r\n";
  r += "DESTINATARIO=" + UnaLinea(Destinatarios(s.t)) + "\r\n";
  r += "ASUNTO=" + UnaLinea(s.t.asunto) + "\r\n";
  r += "MESSAGE-ID=" + s.m.messageId + "\r\n";
  for (const auto& a : s.adjuntos) r += "ADJUNTO=" + UnaLinea(a) + "\r\n";
  r += "INTENTOS=" + std::to_string(s.intentos) + "\r\n";
  if (s.primerFallo) r += "PRIMER_FALLO=" + basic::FechaDiario(s.primerFallo) + "\r\n";
  if (s.proximo) r += "PROXIMO_INTENTO=" + basic::FechaDiario(s.proximo) + "\r\n";
  return r;
}

Sobre LeerSobre(const std::string& texto) {
  Sobre s;
  std::istringstream in(texto);
  std::string l;
  while (std::getline(in, l)) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    size_t igual = l.find('=');
    if (igual == std::string::npos) continue;
    std::string k = l.substr(0, igual), v = l.substr(igual + 1);
    if (k == "DE")
      s.m.remitenteSobre = v;
    else if (k == "PARA")
      s.m.destinatarios.push_back(v);
    else if (k == "DESTINATARIO")
      s.t.destinatarioTexto = v;
    else if (k == "ASUNTO")
      s.t.asunto = v;
    else if (k == "MESSAGE-ID")
      s.m.messageId = v;
    else if (k == "ADJUNTO")
      s.adjuntos.push_back(v);
    else if (k == "INTENTOS")
      s.intentos = std::atoi(v.c_str());
    else if (k == "PRIMER_FALLO")
      s.primerFallo = LeerFecha(v);
    else if (k == "PROXIMO_INTENTO")
      s.proximo = LeerFecha(v);
  }
  return s;
}

// The Message-ID header of a message (for envelopes written before it was kept there).
std::string MessageIdDe(const std::string& eml) {
  const size_t fin = eml.find("\r\n\r\n");
  std::istringstream in(eml.substr(0, fin));
  std::string l;
  while (std::getline(in, l))
    if (basic::UCase(l.substr(0, 11)) == "MESSAGE-ID:") return basic::RecortarEspacios(l.substr(11));
  return "";
}

// One journal line per attachment (one with no file name when the job names none).
void Anotar(const Configuracion& c, const std::vector<std::string>& adjuntos, const std::string& destinatario,
            const char* resultado, const std::string& detalle, const std::string& messageId,
            const std::string& id) {
  // Text from outside (recipients, server replies, file names) shown visibly: one line each.
  basic::LineaEntrega l{basic::FechaDiario(std::time(nullptr)),
                        "",
                        basic::TextoVisible(destinatario),
                        resultado,
                        basic::TextoVisible(detalle),
                        messageId,
                        id};
  const std::vector<std::string> nombres = adjuntos.empty() ? std::vector<std::string>{""} : adjuntos;
  for (const auto& a : nombres) {
    l.archivo = basic::TextoVisible(a);
    if (!basic::AgregarAlDiarioDelEquipo(c.archivoEntregas, l))
      Registrar(c, "AVISO", destinatario, "",
                "no se puede escribir el diario de entregas " + c.archivoEntregas + " (" +
                    std::strerror(errno) + "): " + resultado);
  }
}

// The outcome of one attempt: `detalle` for the log, `respuesta` for the journal.
struct Entrega {
  bool ok = false;
  bool permanente = false;
  std::string detalle, respuesta;
};

// A line for the log once per run (the same text from several mails is said once).
void UnaVezPorEjecucion(const Configuracion& c, const char* resultado, const std::string& texto) {
  static std::set<std::string> dichos;
  if (dichos.insert(std::string(resultado) + texto).second) Registrar(c, resultado, "", "", texto);
}

// While a setting of [CORREO] is not valid nothing is sent: one ERROR line per key and run.
// The detail for the mail that waits; "" when the settings are valid.
std::string ErrorDeAjustes(const Configuracion& c) {
  if (c.errores.empty()) return "";
  std::string todos;
  for (const auto& e : c.errores) {
    UnaVezPorEjecucion(c, "ERROR",
                       e + " en " + c.archivoIni +
                           "; no se envia ningun correo hasta corregirlo, quedan en " + c.carpetaPendientes);
    todos += (todos.empty() ? "" : "; ") + e;
  }
  return todos + "; no se envia hasta corregir " + c.archivoIni;
}

// The login refused by the server, said plainly with its reply.
std::string LoginRechazado(const Credenciales& login, const ResultadoEnvio& r) {
  const std::string respuesta = r.respuesta.empty() ? r.error : r.respuesta;
  if (login.origen == OrigenClave::Token)
    return "el servidor rechazo el inicio de sesion XOAUTH2 de " + login.usuario + ": " + respuesta +
           "; al reintentar se pide un token nuevo a TokenComando";
  return "el servidor rechazo el inicio de sesion de " + login.usuario + ": " + respuesta +
         "; revise Usuario y la clave";
}

// Delivers a built message: over SMTP, or to the outbox when no server is set.
Entrega Entregar(const Mensaje& m, const Configuracion& c, const std::string& id) {
  Entrega e;
  if (c.servidor.empty()) {
    std::string destino = (fs::path(c.carpetaSalida) / (id + ".eml")).string();
    e.ok = EscribirAtomico(destino, m.eml);
    e.detalle = e.ok ? destino : "no se puede escribir en la carpeta de salida " + c.carpetaSalida;
    e.respuesta = e.detalle;
    return e;
  }
  const Credenciales login = ObtenerCredenciales(c);
  for (const auto& aviso : login.avisos) UnaVezPorEjecucion(c, "AVISO", aviso);
  if (!login.error.empty()) {
    // Waits in the spool: never sent without its login.
    UnaVezPorEjecucion(c, "ERROR", login.error);
    e.detalle = e.respuesta = login.error;
    return e;
  }
  ResultadoEnvio r = EnviarSmtp(m, c, login);
  e.ok = r.ok;
  e.permanente = r.permanente;
  e.detalle = r.ok ? c.servidor + ":" + std::to_string(c.PuertoEfectivo()) : r.error;
  if (!r.ok && login.origen != OrigenClave::Ninguna &&
      (r.codigo == 530 || r.codigo == 534 || r.codigo == 535 || r.codigo == 538))
    e.detalle = LoginRechazado(login, r);
  e.respuesta = !r.respuesta.empty() && (r.ok || r.codigo >= 400) ? r.respuesta : e.detalle;
  return e;
}

const char* Logrado(const Configuracion& c) { return c.servidor.empty() ? "SALIDA" : "ENVIADO"; }

bool Vencido(const Configuracion& c, std::time_t primerFallo, std::time_t ahora) {
  return primerFallo && ahora - primerFallo >= c.diasReintento * 24 * 3600;
}

// Gives a spool item up: the journal line first, then its files move to FALLIDOS (the
// envelope before the message, so that a stop halfway never leaves an envelope without
// its message behind).
int Abandonar(const Configuracion& c, const std::string& id, const std::vector<std::string>& extensiones,
              const Sobre& s, const std::string& detalle) {
  Anotar(c, s.adjuntos, Destinatarios(s.t), basic::kEntregaFallido, detalle, s.m.messageId, id);
  const fs::path fallidos = c.CarpetaFallidos();
  ::mkdir(fallidos.c_str(), 0700);
  std::string donde;
  for (const auto& ext : extensiones) {
    const std::string de = Base(c, id) + ext, a = (fallidos / (id + ext)).string();
    if (::rename(de.c_str(), a.c_str()) != 0) {
      donde =
          "; no se puede mover a " + fallidos.string() + " (" + std::strerror(errno) + "), queda en " + de;
      break;
    }
    donde = "; movido a " + a;
  }
  Registrar(c, "FALLIDO", Destinatarios(s.t), s.t.asunto, detalle + donde);
  return kFallido;
}

// After one attempt at a message: the journal line, then the log line and what becomes of
// the spool item (`enCola`: <id>.eml and <id>.sobre; else <id>.trabajo).
int Concluir(const Configuracion& c, const std::string& id, Sobre& s, const Entrega& e, bool enCola,
             bool reintento) {
  const std::string base = Base(c, id);
  if (e.ok) {
    // Journal before the spool item goes: a stop in between resends (same Message-ID)
    // rather than losing the record.
    Anotar(c, s.adjuntos, Destinatarios(s.t), basic::kEntregaEnviado, e.respuesta, s.m.messageId, id);
    if (enCola) {
      std::remove((base + ".sobre").c_str());
      std::remove((base + ".eml").c_str());
    } else {
      std::remove((base + ".trabajo").c_str());
    }
    Registrar(c, Logrado(c), Destinatarios(s.t), s.t.asunto, e.detalle + (reintento ? " (reintento)" : ""));
    return kEntregado;
  }
  const std::time_t ahora = std::time(nullptr);
  if (!s.primerFallo) s.primerFallo = ahora;
  ++s.intentos;
  const std::vector<std::string> archivos =
      enCola ? std::vector<std::string>{".sobre", ".eml"} : std::vector<std::string>{".trabajo"};
  if (e.permanente) return Abandonar(c, id, archivos, s, e.respuesta);
  if (Vencido(c, s.primerFallo, ahora))
    return Abandonar(c, id, archivos, s,
                     "sin entregar en " + std::to_string(c.diasReintento) + " dias: " + e.respuesta);
  s.proximo = ahora + EsperaReintento(s.intentos);
  int fd = -1;
  if (enCola) EscribirAtomico(base + ".sobre", TextoSobre(s), &fd);  // kept as it was when this fails
  const Bloqueo nuevo(fd, Bloqueo::Adoptar{});
  Anotar(c, s.adjuntos, Destinatarios(s.t), basic::kEntregaPendiente, e.respuesta, s.m.messageId, id);
  Registrar(c, "PENDIENTE", Destinatarios(s.t), s.t.asunto,
            e.detalle + (enCola ? "; en " + base + ".eml" : "; trabajo en " + base + ".trabajo"));
  return kPendiente;
}

// A job whose message cannot be built stays in the spool as <id>.trabajo; after
// diasReintento it is given up.
int Retener(const Configuracion& c, const Trabajo& t, const std::string& id, const std::string& motivo,
            bool reintento, std::time_t desde) {
  Sobre s;
  s.t = t;
  s.adjuntos = NombresAdjuntos(t);
  if (Vencido(c, desde, std::time(nullptr)))
    return Abandonar(c, id, {".trabajo"}, s,
                     motivo + " (retenido mas de " + std::to_string(c.diasReintento) + " dias)");
  Registrar(c, "RETENIDO", Destinatarios(t), t.asunto, motivo + "; trabajo en " + Base(c, id) + ".trabajo");
  // Journalled when held; while it stays held no attempt is made, so no further line.
  if (!reintento) Anotar(c, s.adjuntos, Destinatarios(t), basic::kEntregaPendiente, motivo, "", id);
  return kPendiente;
}

// Builds and delivers the message of a job held in the spool as <id>.trabajo (taken at
// `desde`). With a server the message and its envelope replace the job in the spool before
// the first attempt, so every attempt sends the same message with the same Message-ID.
int EntregarTrabajo(const Trabajo& t, const Configuracion& c, const std::string& id, bool reintento,
                    std::time_t desde) {
  const std::string base = Base(c, id);
  if (const std::string error = ErrorDeAjustes(c); !error.empty()) {
    // The job stays as it came: its message (sender, name) is built once the settings are
    // right. No attempt is made, so nothing counts towards giving it up.
    Registrar(c, "PENDIENTE", Destinatarios(t), t.asunto, error + "; trabajo en " + base + ".trabajo");
    if (!reintento) Anotar(c, NombresAdjuntos(t), Destinatarios(t), basic::kEntregaPendiente, error, "", id);
    return kPendiente;
  }
  std::string invalido;
  for (const auto& d : t.destinatarios)
    if (!basic::DireccionCorreoValida(d)) invalido = d;
  if (t.destinatarios.empty() || !invalido.empty())
    return Retener(c, t, id, "destinatario no valido" + (invalido.empty() ? "" : ": " + invalido), reintento,
                   desde);
  if (t.archivos.empty())
    return Retener(c, t, id, "el trabajo no nombra el archivo a adjuntar", reintento, desde);
  Sobre s;
  try {
    s.m = ArmarMensaje(t, c);
  } catch (const std::exception& e) {
    return Retener(c, t, id, e.what(), reintento, desde);
  }
  s.t = t;
  s.adjuntos = NombresAdjuntos(t);
  if (reintento) s.primerFallo = desde;  // it was held until now

  int fd = -1;
  const bool enCola = !c.servidor.empty() && EscribirAtomico(base + ".eml", s.m.eml) &&
                      EscribirAtomico(base + ".sobre", TextoSobre(s), &fd);
  const Bloqueo bloqueoSobre(fd, Bloqueo::Adoptar{});
  if (enCola)
    std::remove((base + ".trabajo").c_str());
  else if (!c.servidor.empty())
    ::unlink((base + ".eml").c_str());  // the job stays; a half-made spool entry does not
  return Concluir(c, id, s, Entregar(s.m, c, id), enCola, reintento);
}

}  // namespace

void Registrar(const Configuracion& c, const std::string& resultado, const std::string& destinatario,
               const std::string& asunto, const std::string& detalle) {
  std::time_t ahora = std::time(nullptr);
  std::tm t{};
  localtime_r(&ahora, &t);
  char fecha[32];
  std::strftime(fecha, sizeof fecha, "%d/%m/%Y %H:%M:%S", &t);
  // Text from outside (addresses, subjects, file names, server replies) never breaks the line.
  std::string linea = std::string(fecha) + " | " + resultado + " | " + basic::TextoVisible(destinatario) +
                      " | " + basic::TextoVisible(asunto) + " | " + basic::TextoVisible(detalle);
  std::cerr << linea << "\n";

  std::error_code ec;
  fs::create_directories(fs::path(c.archivoLog).parent_path(), ec);
  // One write on an append-only descriptor keeps lines whole when several runs log at once.
  std::string bytes = basic::AWindows1252(linea) + "\r\n";
  // Read-write: through an SMB client a write-only append open fails (EIO).
  int fd = ::open(c.archivoLog.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
    std::cerr << "tspost: no se puede escribir el registro " << basic::TextoVisible(c.archivoLog) << "\n";
  if (fd >= 0) ::close(fd);
}

namespace {

bool Existe(const std::string& ruta) {
  struct stat st {};
  return ::lstat(ruta.c_str(), &st) == 0;
}

// Why the job file must be left where it is ("" when it can be taken); `ausente` when
// nothing is at the path.
std::string NoTomable(const std::string& ruta, bool& ausente) {
  struct stat st {};
  ausente = false;
  if (::lstat(ruta.c_str(), &st) != 0) {
    ausente = errno == ENOENT || errno == ENOTDIR;
    return ausente ? "no existe" : std::strerror(errno);
  }
  if (::stat(ruta.c_str(), &st) != 0) return "no se puede abrir";
  if (S_ISDIR(st.st_mode)) return "es una carpeta";
  if (!S_ISREG(st.st_mode)) return "no es un archivo comun";
  if (::access(ruta.c_str(), R_OK) != 0) return "no se puede abrir";
  return "";
}

int Retirado(const Configuracion& c, const std::string& ruta) {
  Registrar(
      c, "ERROR", "", "",
      "el trabajo " + ruta + " no existe (ya lo tomo otro tspost o lo retiro ocmail); no se envia nada");
  return kSinTrabajo;
}

int NoSePudoTomar(const Configuracion& c, const std::string& ruta, int error) {
  Registrar(c, "ERROR", "", "",
            "no se puede tomar el trabajo " + ruta + " (" + std::strerror(error) +
                "); no se envia, el trabajo queda en " + ruta);
  return kErrorGrave;
}

// Why the spool folder cannot be used ("" when it can). It must be on this PC (on a shared
// folder locks and renames are not sound), belong to the user running tspost, and be
// writable by no one else, so that no other user's process sends, moves or locks its mails.
// A missing folder is made (mode 0700) when `crear`, else `falta` says it is missing.
std::string PendientesNoUsables(const Configuracion& c, bool crear, bool* falta = nullptr) {
  const std::string& p = c.carpetaPendientes;
  if (c.pendientesDelIni) {
    if (const std::string red = os::SistemaDeArchivosDeRed(p); !red.empty())
      return "CarpetaPendientes=" + p + " de [CORREO] en " + c.archivoIni +
             " esta en un sistema de archivos de red o de usuario (" + red +
             "), donde los bloqueos y los renombres no son seguros; deje la clave vacia (se usa la carpeta "
             "propia del equipo) o indique una carpeta de un disco de este equipo";
  } else {
    try {
      CarpetaLocal(c.carpetaPrograma);
    } catch (const std::exception& e) {
      return e.what();
    }
  }
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0) {
    if (errno != ENOENT)
      return "no se puede usar la carpeta de pendientes " + p + " (" + std::strerror(errno) + ")";
    if (!crear) {
      if (falta) *falta = true;
      return "";
    }
    std::error_code ec;
    fs::create_directories(fs::path(p).parent_path(), ec);
    if (::mkdir(p.c_str(), 0700) != 0 && errno != EEXIST)
      return "no se puede crear la carpeta de pendientes " + p + " (" + std::strerror(errno) + ")";
    if (::stat(p.c_str(), &st) != 0)
      return "no se puede usar la carpeta de pendientes " + p + " (" + std::strerror(errno) + ")";
  }
  if (!S_ISDIR(st.st_mode)) return "la carpeta de pendientes " + p + " no es una carpeta";
  if (st.st_uid != ::geteuid())
    return "la carpeta de pendientes " + p + " es de otro usuario (uid " + std::to_string(st.st_uid) +
           "); tspost solo usa una carpeta de pendientes del usuario que lo ejecuta";
  if (st.st_mode & 022) {
    char modo[8];
    std::snprintf(modo, sizeof modo, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return "otros usuarios pueden escribir en la carpeta de pendientes " + p + " (permisos " + modo +
           "); corrijalo con chmod 700 " + p;
  }
  return "";
}

// Takes the job: its bytes go into the spool first, as <id>.trabajo (locked before its name
// appears, synced, the folder synced), and only then does the job leave its path, renamed
// beside it. Nothing when it was taken (`fdItem` then holds the item's lock), else the exit
// code: the job was gone (the spool copy is removed), or it is left where it is.
std::optional<int> Tomar(const Configuracion& c, const std::string& ruta, const std::string& id,
                         int& fdItem) {
  bool ausente = false;
  if (const std::string por = NoTomable(ruta, ausente); !por.empty()) {
    if (ausente) return Retirado(c, ruta);
    Registrar(c, "ERROR", "", "", "no se puede leer el trabajo " + ruta + ": " + por);
    return kSinTrabajo;
  }
  // Read through one descriptor, closed before the rename (a share refuses to rename an
  // open file). O_NONBLOCK: a FIFO put in the job's place must not hang the open.
  std::string bytes;
  {
    const int fd = ::open(ruta.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0 && errno == ENOENT) return Retirado(c, ruta);
    struct stat st {};
    const int e = errno;
    const bool ok = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && LeerDescriptor(fd, bytes);
    if (fd >= 0) ::close(fd);
    if (!ok) {
      Registrar(
          c, "ERROR", "", "",
          "no se puede leer el trabajo " + ruta + (fd < 0 ? " (" + std::string(std::strerror(e)) + ")" : ""));
      return kSinTrabajo;
    }
  }
  const std::string item = Base(c, id) + ".trabajo";
  const auto noGuardado = [&](const std::string& bytesTrabajo, int error, const std::string& queda) {
    const Trabajo t = ParsearTrabajo(bytesTrabajo);
    Registrar(c, "ERROR", Destinatarios(t), t.asunto,
              "no se puede guardar el trabajo en la carpeta de pendientes " + c.carpetaPendientes + " (" +
                  std::strerror(error) + "); no se envia, el trabajo queda en " + queda);
    return kErrorGrave;
  };
  const auto quitarCopia = [&] {
    ::unlink(item.c_str());
    ::close(fdItem);
    fdItem = -1;
  };
  if (!EscribirAtomico(item, bytes, &fdItem)) return noGuardado(bytes, errno, ruta);
  if (!SincronizarCarpeta(c.carpetaPendientes)) {
    const int e = errno;
    quitarCopia();
    return noGuardado(bytes, e, ruta);
  }

  // Durable in the spool: now the job is taken. Whoever renames it first owns it.
  const std::string tomado = ruta + "." + id + ".tomado";
  if (::rename(ruta.c_str(), tomado.c_str()) != 0) {
    const int e = errno;
    quitarCopia();
    if (e == ENOENT && !Existe(ruta)) return Retirado(c, ruta);
    return NoSePudoTomar(c, ruta, e);
  }
  // The file taken is the one copied, unless ocmail withdrew that one and wrote the next
  // between the read and the rename: then the next is what this program took and sends
  // (its own tspost finds nothing).
  std::string otro, error;
  const bool leido = LeerBytes(tomado, otro, error);
  if (!leido || otro != bytes) {
    int fdNuevo = -1;
    const bool guardado = leido && EscribirAtomico(item, otro, &fdNuevo);
    if (!guardado || !SincronizarCarpeta(c.carpetaPendientes)) {
      const int e = leido ? errno : EIO;
      if (fdNuevo >= 0) ::close(fdNuevo);
      quitarCopia();
      // Given back where nothing else stands (link never replaces); else it stays beside.
      const bool devuelto = ::link(tomado.c_str(), ruta.c_str()) == 0 && ::unlink(tomado.c_str()) == 0;
      return noGuardado(leido ? otro : bytes, e, devuelto ? ruta : tomado);
    }
    ::close(fdItem);
    fdItem = fdNuevo;
  }
  if (::unlink(tomado.c_str()) != 0)
    Registrar(c, "AVISO", "", "", "no se pudo borrar " + tomado + ", copia de " + item + " (no se envia)");
  assert(fdItem >= 0 && Existe(item));
  return std::nullopt;
}

// A job that must never be sent (see RechazoDelTrabajo): kept in the spool as <id>.rechazado,
// which --reintentar ignores, with a FALLIDO journal line and an ERROR line.
int Rechazar(const Configuracion& c, const Trabajo& t, const std::string& id, const std::string& item,
             const std::string& origen, const std::string& motivo) {
  std::string apartado = Base(c, id) + ".rechazado";
  if (::rename(item.c_str(), apartado.c_str()) != 0) apartado = item;
  Anotar(c, NombresAdjuntos(t), Destinatarios(t), basic::kEntregaFallido, "trabajo rechazado: " + motivo, "",
         id);
  Registrar(c, "ERROR", Destinatarios(t), t.asunto,
            "trabajo rechazado, no se envia: " + motivo + "; el trabajo " + origen + " queda en " + apartado);
  return kFallido;
}

}  // namespace

int ProcesarArchivoTrabajo(const std::string& rutaTrabajo, const Configuracion& c) {
  // A spool that is not safe takes nothing: the job stays, and ocmail does not stamp it.
  if (const std::string error = PendientesNoUsables(c, true); !error.empty()) {
    Registrar(c, "ERROR", "", "", error + "; no se envia nada, el trabajo queda en " + rutaTrabajo);
    return kErrorGrave;
  }
  const std::string id = NuevoId();
  int fd = -1;
  if (const auto codigo = Tomar(c, rutaTrabajo, id, fd)) return *codigo;

  // The item was locked before it appeared: no --reintentar can have it.
  const std::string item = Base(c, id) + ".trabajo";
  Bloqueo bloqueo(fd, Bloqueo::Adoptar{});
  assert(bloqueo.Valido());

  // Only what was taken is sent: the bytes of the spool item, not of the job path.
  std::string bytes;
  const bool leido = bloqueo.Leer(bytes);
  const Trabajo t = leido ? ParsearTrabajo(bytes) : Trabajo{};
  if (!leido || (t.destinatarioTexto.empty() && t.archivos.empty())) {
    // Kept under a name --reintentar ignores, for the operator to look at.
    std::string apartado = Base(c, id) + ".rechazado";
    if (::rename(item.c_str(), apartado.c_str()) != 0) apartado = item;
    Registrar(c, "ERROR", "", t.asunto,
              "el archivo " + rutaTrabajo + (leido ? " no es un trabajo de correo" : " no se puede leer") +
                  "; queda en " + apartado);
    return kSinTrabajo;
  }
  if (const std::string motivo = RechazoDelTrabajo(t, c.carpetasAdjuntos); !motivo.empty())
    return Rechazar(c, t, id, item, rutaTrabajo, motivo);
  return EntregarTrabajo(t, c, id, false, 0);
}

long EsperaReintento(int fallos) {
  static const long kMinutos[] = {1, 5, 15, 60};
  if (fallos < 1) return 0;
  return 60 * kMinutos[std::min<size_t>(static_cast<size_t>(fallos), std::size(kMinutos)) - 1];
}

int Reintentar(const Configuracion& c, bool ahora) {
  std::error_code ec;
  bool falta = false;
  if (const std::string error = PendientesNoUsables(c, false, &falta); !error.empty()) {
    Registrar(c, "ERROR", "", "", error + "; --reintentar no envia nada");
    return kErrorGrave;
  }
  if (falta) return kEntregado;  // nothing spooled
  // One run at a time: the lock file stays in the spool folder, only its lock comes and goes.
  // Without the lock nothing is done: a lock refused for another reason than another holder
  // (ENOLCK, EBADF) stops the run.
  const std::string cerrojo = (fs::path(c.carpetaPendientes) / ".reintentar.lck").string();
  const int fdCerrojo = ::open(cerrojo.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fdCerrojo < 0) {
    Registrar(c, "ERROR", "", "",
              "no se puede abrir el cerrojo " + cerrojo + " (" + std::strerror(errno) +
                  "); --reintentar no envia nada");
    return kErrorGrave;
  }
  const Bloqueo cerrojoTomado(fdCerrojo, Bloqueo::Adoptar{});
  if (::flock(fdCerrojo, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK || errno == EINTR) {
      Registrar(c, "AVISO", "", "",
                "otro tspost --reintentar atiende la carpeta de pendientes; este no hace nada");
      return kEntregado;
    }
    Registrar(c, "ERROR", "", "",
              "no se puede bloquear el cerrojo " + cerrojo + " (" + std::strerror(errno) +
                  "); --reintentar no envia nada sin el bloqueo");
    return kErrorGrave;
  }

  std::vector<fs::path> items;
  std::set<std::string> enCola;  // ids with an envelope
  for (fs::directory_iterator it(c.carpetaPendientes, ec), end; !ec && it != end; it.increment(ec)) {
    std::string ext = it->path().extension().string();
    if (ext == ".trabajo" || ext == ".sobre") items.push_back(it->path());
    if (ext == ".sobre") enCola.insert(it->path().stem().string());
  }
  std::sort(items.begin(), items.end());  // ids begin with the date: oldest first
  // With a setting that is not valid nothing is tried (and nothing is given up).
  const std::string errorAjustes = items.empty() ? "" : ErrorDeAjustes(c);

  int quedan = 0;
  for (const auto& p : items) {
    if (!errorAjustes.empty()) {
      ++quedan;
      continue;
    }
    Bloqueo bloqueo(p.string());
    if (!bloqueo.Valido()) {
      if (const int e = bloqueo.ErrorBloqueo() ? bloqueo.ErrorBloqueo() : bloqueo.ErrorApertura();
          e != 0 && e != ENOENT) {
        Registrar(c, "ERROR", "", "",
                  "no se puede bloquear " + p.string() + " (" + std::strerror(e) +
                      "); --reintentar se detiene sin enviarlo");
        return kErrorGrave;
      }
      if (fs::exists(p, ec)) ++quedan;  // another process is working on it
      continue;
    }
    const std::string id = p.stem().string();
    const std::string base = Base(c, id);
    std::string datos, error;
    if (p.extension() == ".trabajo") {
      // A job whose message was already spooled (a stop before the job was removed): the
      // envelope stands for it.
      if (enCola.count(id)) {
        std::remove(p.c_str());
        continue;
      }
      // Read through the descriptor that holds the lock: where locks are mandatory a
      // second open of a locked file fails.
      if (!bloqueo.Leer(datos)) {
        ++quedan;
        continue;
      }
      // A job spooled before this check existed is checked the same way.
      const Trabajo t = ParsearTrabajo(datos);
      if (const std::string motivo = RechazoDelTrabajo(t, c.carpetasAdjuntos); !motivo.empty()) {
        Rechazar(c, t, id, p.string(), p.string(), motivo);
        continue;
      }
      if (EntregarTrabajo(t, c, id, true, FechaDeId(id, p.string())) == kPendiente) ++quedan;
      continue;
    }
    if (!bloqueo.Leer(datos)) {
      ++quedan;
      continue;
    }
    Sobre s = LeerSobre(datos);
    if (!s.primerFallo) s.primerFallo = FechaDeId(id, p.string());
    // Not its turn yet; a turn further off than the longest wait is a clock that was set
    // back, and comes now. What waits past DiasReintento is given up without waiting more.
    const std::time_t t = std::time(nullptr);
    const bool espera = !ahora && s.proximo > t && s.proximo - t <= EsperaReintento(INT_MAX);
    if (espera && Vencido(c, s.primerFallo, t)) {
      Abandonar(c, id, {".sobre", ".eml"}, s, "sin entregar en " + std::to_string(c.diasReintento) + " dias");
      continue;
    }
    if (espera) {
      ++quedan;
      continue;
    }
    if (!LeerBytes(base + ".eml", s.m.eml, error)) {
      Registrar(c, "ERROR", s.t.destinatarioTexto, s.t.asunto, "falta el mensaje " + base + ".eml: " + error);
      ++quedan;
      continue;
    }
    // Envelopes written before the delivery state was kept in them.
    if (s.m.messageId.empty()) s.m.messageId = MessageIdDe(s.m.eml);
    if (Concluir(c, id, s, Entregar(s.m, c, id), true, true) == kPendiente) ++quedan;
  }
  return quedan ? kPendiente : kEntregado;
}

namespace {

const char* kAyuda =
    "Uso: tspost <archivo de trabajo> [;token]\n"
    "     tspost --reintentar\n"
    "     tspost --revisar\n"
    "     tspost --ayuda\n"
    "\n"
    "Toma el trabajo de correo (DESTINATARIO=, ASUNTO=, MENSAJE=, ARCHIVO=): lo copia a\n"
    "la carpeta de pendientes de este equipo y usuario, luego lo quita de su lugar, y\n"
    "envia el mensaje por SMTP con la seccion [CORREO] de TM440kv.INI. Sin servidor configurado deja el "
    "mensaje como .eml en la carpeta de\n"
    "salida; lo que no se pudo enviar queda en la carpeta de pendientes y --reintentar lo\n"
    "envia otra vez.\n"
    "\n"
    "Inicio de sesion SMTP (Usuario=): la clave se toma de ~/.netrc (entrada del\n"
    "servidor, permisos 600), si no del archivo ArchivoClave= (solo legible por su\n"
    "dueno), si no de Clave= del INI. Con Autenticacion=XOAUTH2 se usa el token de acceso\n"
    "OAuth 2.0 que escribe TokenComando= (se ejecuta sin shell antes de cada conexion,\n"
    "TiempoToken= segundos como maximo).\n"
    "\n"
    "Opciones:\n"
    "  --reintentar     envia otra vez los mensajes pendientes\n"
    "                   (cada uno a su turno: 1, 5, 15 y 60 minutos tras cada fallo,\n"
    "                   luego cada hora; se abandona a los DiasReintento dias)\n"
    "  --ahora          con --reintentar: todos los pendientes ya, sin esperar su turno\n"
    "  --revisar        lee los mensajes nuevos de BuzonEntrada= (imap:// o imaps://) sin\n"
    "                   cambiar nada en el buzon y anota en el diario de entregas los\n"
    "                   rebotes (REBOTADO, DEMORADO) y las respuestas (RESPONDIDO,\n"
    "                   RESPUESTA AUTOMATICA) a los mails enviados\n"
    "  --ini=ARCHIVO    usa ese archivo INI (tambien la variable TSPOST_INI)\n"
    "  --ayuda          muestra esta ayuda\n"
    "\n"
    "Los adjuntos solo pueden venir de E-MAILS/ENVIOS junto al programa y de las\n"
    "carpetas de CarpetasAdjuntos= (separadas por ;).\n"
    "\n"
    "Codigos de salida: 0 enviado o en la carpeta de salida (con --reintentar: nada\n"
    "pendiente); 1 queda pendiente; 2 no se tomo ningun trabajo; 3 no se pudo guardar el\n"
    "trabajo a salvo (carpeta de pendientes rechazada, llena o sin permiso, o un bloqueo\n"
    "rechazado): quedo en su lugar (o donde lo indica el registro), y --reintentar no envio\n"
    "nada; 4 rechazado para siempre:\n"
    "por el servidor (queda en la carpeta de fallidos) o el trabajo mismo (adjunto fuera\n"
    "de las carpetas permitidas o caracteres de control; queda como .rechazado).\n";

}  // namespace

int Ejecutar(const std::vector<std::string>& args, const std::string& carpetaPrograma) {
  bool reintentar = false, ahora = false, ayuda = false, revisar = false;
  std::string ini;
  if (const char* e = std::getenv("TSPOST_INI"); e && *e) ini = e;
  std::vector<std::string> resto;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string m = basic::UCase(a);
    if (m == "--REINTENTAR" || m == "/REINTENTAR")
      reintentar = true;
    else if (m == "--REVISAR" || m == "/REVISAR")
      revisar = true;
    else if (m == "--AHORA" || m == "/AHORA")
      reintentar = ahora = true;
    else if (m == "--AYUDA" || m == "/AYUDA" || m == "--HELP" || m == "-H" || m == "/?")
      ayuda = true;
    else if (m.rfind("--INI=", 0) == 0)
      ini = a.substr(6);
    else if (m == "--INI" && i + 1 < args.size())
      ini = args[++i];
    else
      resto.push_back(a);
  }
  if (ayuda) {
    std::cout << kAyuda;
    return kEntregado;
  }
  Configuracion c = LeerConfiguracion(carpetaPrograma, ini);
  std::string ruta = RutaDeArgumentos(resto);
  if (ruta.empty() && !reintentar && !revisar) {
    std::cerr << kAyuda;
    Registrar(c, "ERROR", "", "", "no se indico el archivo de trabajo");
    return kSinTrabajo;
  }
  int codigo = kEntregado;
  if (!ruta.empty()) codigo = ProcesarArchivoTrabajo(ResolverRuta(ruta), c);
  if (reintentar) codigo = std::max(codigo, Reintentar(c, ahora));
  if (revisar) codigo = std::max(codigo, Revisar(c));
  return codigo;
}

}  // namespace tspost
