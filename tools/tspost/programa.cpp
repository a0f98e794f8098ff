// The program's flow: take the job into the spool folder, deliver it, log it.
//
// Spool folder items (one id per message, "yyyymmdd-hhmmss-pid-random"):
//   <id>.trabajo        the job as taken, while its message is being built or when it cannot
//                       be built yet (attachment missing, no valid recipient);
//   <id>.eml + <id>.sobre  a built message that could not be sent, and its envelope;
//   <id>.rechazado      a taken file that holds no job, kept for the operator.
// The job is taken by renaming it into the spool: one atomic step, so whoever renames it
// first (this program, another run, or ocmail withdrawing it) owns it. Each item is locked
// (flock) while a process works on it, so that a run of --reintentar never sends what
// another process is sending.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>

#include "platform/basic/archivos.h"
#include "platform/basic/correo.h"
#include "tspost.h"
#include "platform/basic/texto.h"

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

// Writes through a temporary name and renames, so that a reader never sees half a file.
bool EscribirAtomico(const std::string& ruta, const std::string& datos) {
  std::error_code ec;
  fs::create_directories(fs::path(ruta).parent_path(), ec);
  std::string tmp = ruta + ".tmp";
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t hecho = 0;
  while (hecho < datos.size()) {
    ssize_t n = ::write(fd, datos.data() + hecho, datos.size() - hecho);
    if (n <= 0) {
      ::close(fd);
      ::unlink(tmp.c_str());
      return false;
    }
    hecho += static_cast<size_t>(n);
  }
  bool ok = ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (!ok || std::rename(tmp.c_str(), ruta.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return false;
  }
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

// An exclusive lock on one spool file, held while the object lives. Not valid when
// another process holds it or the file is gone (taken by someone else meanwhile).
class Bloqueo {
 public:
  explicit Bloqueo(const std::string& ruta) {
    // O_NONBLOCK: a FIFO put in the job's place must not hang the open.
    fd_ = ::open(ruta.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
      errorApertura_ = errno;
      return;
    }
    struct stat abierto {
    }, actual{};
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd_, &abierto) != 0 ||
        ::stat(ruta.c_str(), &actual) != 0 || abierto.st_ino != actual.st_ino) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~Bloqueo() {
    if (fd_ >= 0) ::close(fd_);
  }
  Bloqueo(const Bloqueo&) = delete;
  Bloqueo& operator=(const Bloqueo&) = delete;
  bool Valido() const { return fd_ >= 0; }
  // errno of the open when the file could not be opened at all; 0 when it was opened (and
  // then found locked by another process or no longer at its path).
  int ErrorApertura() const { return errorApertura_; }
  // The whole locked file, read through its descriptor. False for anything but a regular file.
  bool Leer(std::string& datos) const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    datos.clear();
    char buf[65536];
    for (off_t pos = 0;;) {
      const ssize_t n = ::pread(fd_, buf, sizeof buf, pos);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return false;
      if (n == 0) return true;
      datos.append(buf, static_cast<size_t>(n));
      pos += n;
    }
  }

 private:
  int fd_ = -1;
  int errorApertura_ = 0;
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

// Envelope of a spooled message: sender, recipients, and the log texts.
std::string TextoSobre(const Mensaje& m, const Trabajo& t) {
  std::string s = "DE=" + m.remitenteSobre + "\r\n";
  for (const auto& d : m.destinatarios) s += "PARA=" + d + "\r\n";
  s += "DESTINATARIO=" + UnaLinea(Destinatarios(t)) + "\r\n";
  s += "ASUNTO=" + UnaLinea(t.asunto) + "\r\n";
  return s;
}

void LeerSobre(const std::string& texto, Mensaje& m, Trabajo& t) {
  std::istringstream in(texto);
  std::string l;
  while (std::getline(in, l)) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    size_t igual = l.find('=');
    if (igual == std::string::npos) continue;
    std::string k = l.substr(0, igual), v = l.substr(igual + 1);
    if (k == "DE")
      m.remitenteSobre = v;
    else if (k == "PARA")
      m.destinatarios.push_back(v);
    else if (k == "DESTINATARIO")
      t.destinatarioTexto = v;
    else if (k == "ASUNTO")
      t.asunto = v;
  }
}

// Delivers a built message: over SMTP, or to the outbox when no server is set.
// On success returns kEntregado; otherwise `error` tells why.
int Entregar(const Mensaje& m, const Configuracion& c, const std::string& id, std::string& detalle) {
  if (c.servidor.empty()) {
    std::string destino = (fs::path(c.carpetaSalida) / (id + ".eml")).string();
    if (!EscribirAtomico(destino, m.eml)) {
      detalle = "no se puede escribir en la carpeta de salida " + c.carpetaSalida;
      return kPendiente;
    }
    detalle = destino;
    return kEntregado;
  }
  ResultadoEnvio r = EnviarSmtp(m, c);
  if (r.ok) {
    detalle = c.servidor + ":" + std::to_string(c.PuertoEfectivo());
    return kEntregado;
  }
  detalle = r.error;
  return kPendiente;
}

const char* Logrado(const Configuracion& c) { return c.servidor.empty() ? "SALIDA" : "ENVIADO"; }

// Builds and delivers the message of a job held in the spool as <id>.trabajo. The job
// file leaves the spool only when its message was delivered or is spooled as .eml.
int EntregarTrabajo(const Trabajo& t, const Configuracion& c, const std::string& id) {
  const std::string base = Base(c, id);
  std::string invalido;
  for (const auto& d : t.destinatarios)
    if (!basic::DireccionCorreoValida(d)) invalido = d;
  if (t.destinatarios.empty() || !invalido.empty()) {
    Registrar(c, "RETENIDO", Destinatarios(t), t.asunto,
              "destinatario no valido" + (invalido.empty() ? "" : ": " + invalido) + "; trabajo en " + base +
                  ".trabajo");
    return kPendiente;
  }
  if (t.archivos.empty()) {
    Registrar(c, "RETENIDO", Destinatarios(t), t.asunto,
              "el trabajo no nombra el archivo a adjuntar; trabajo en " + base + ".trabajo");
    return kPendiente;
  }
  Mensaje m;
  try {
    m = ArmarMensaje(t, c);
  } catch (const std::exception& e) {
    Registrar(c, "RETENIDO", Destinatarios(t), t.asunto,
              std::string(e.what()) + "; trabajo en " + base + ".trabajo");
    return kPendiente;
  }
  std::string detalle;
  if (Entregar(m, c, id, detalle) == kEntregado) {
    std::remove((base + ".trabajo").c_str());
    Registrar(c, Logrado(c), Destinatarios(t), t.asunto, detalle);
    return kEntregado;
  }
  if (!c.servidor.empty() && EscribirAtomico(base + ".eml", m.eml) &&
      EscribirAtomico(base + ".sobre", TextoSobre(m, t))) {
    std::remove((base + ".trabajo").c_str());
    Registrar(c, "PENDIENTE", Destinatarios(t), t.asunto, detalle + "; en " + base + ".eml");
  } else {
    Registrar(c, "PENDIENTE", Destinatarios(t), t.asunto, detalle + "; trabajo en " + base + ".trabajo");
  }
  return kPendiente;
}

}  // namespace

void Registrar(const Configuracion& c, const std::string& resultado, const std::string& destinatario,
               const std::string& asunto, const std::string& detalle) {
  std::time_t ahora = std::time(nullptr);
  std::tm t{};
  localtime_r(&ahora, &t);
  char fecha[32];
  std::strftime(fecha, sizeof fecha, "%d/%m/%Y %H:%M:%S", &t);
  std::string linea = std::string(fecha) + " | " + resultado + " | " + UnaLinea(destinatario) + " | " +
                      UnaLinea(asunto) + " | " + UnaLinea(detalle);
  std::cerr << linea << "\n";

  std::error_code ec;
  fs::create_directories(fs::path(c.archivoLog).parent_path(), ec);
  // One write on an append-only descriptor keeps lines whole when several runs log at once.
  std::string bytes = basic::AWindows1252(linea) + "\r\n";
  int fd = ::open(c.archivoLog.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
    std::cerr << "tspost: no se puede escribir el registro " << c.archivoLog << "\n";
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
            "no se puede mover el trabajo a la carpeta de pendientes " + c.carpetaPendientes + " (" +
                std::strerror(error) + "); el trabajo queda en " + ruta);
  return kErrorGrave;
}

// The spool folder is on another file system: the job is taken by a rename beside it (still
// one atomic step) and then copied into the spool. When the copy fails nothing is sent and
// the job stays in that sibling file, which the log names.
std::optional<int> TomarPorOtroSistema(const Configuracion& c, const std::string& ruta, const std::string& id,
                                       const std::string& item) {
  const std::string hermano = ruta + "." + id + ".tomado";
  if (::rename(ruta.c_str(), hermano.c_str()) != 0) {
    const int e = errno;
    if (e == ENOENT && !Existe(ruta)) return Retirado(c, ruta);
    return NoSePudoTomar(c, ruta, e);
  }
  std::string bytes, error;
  if (!LeerBytes(hermano, bytes, error) || !EscribirAtomico(item, bytes)) {
    const Trabajo t = ParsearTrabajo(bytes);
    Registrar(c, "ERROR", Destinatarios(t), t.asunto,
              "no se puede guardar el trabajo en la carpeta de pendientes " + c.carpetaPendientes +
                  "; no se envia, el trabajo queda en " + hermano);
    return kErrorGrave;
  }
  if (std::remove(hermano.c_str()) != 0)
    Registrar(c, "AVISO", "", "", "no se pudo borrar " + hermano + ", copia de " + item + " (no se envia)");
  return std::nullopt;
}

// Takes the job: renames it into the spool as <id>.trabajo. Nothing when it was taken, else
// the exit code (the job was gone, or it is left where it is).
std::optional<int> Tomar(const Configuracion& c, const std::string& ruta, const std::string& id) {
  bool ausente = false;
  if (const std::string por = NoTomable(ruta, ausente); !por.empty()) {
    if (ausente) return Retirado(c, ruta);
    Registrar(c, "ERROR", "", "", "no se puede leer el trabajo " + ruta + ": " + por);
    return kSinTrabajo;
  }
  std::error_code ec;
  fs::create_directories(c.carpetaPendientes, ec);
  const std::string item = Base(c, id) + ".trabajo";
  if (::rename(ruta.c_str(), item.c_str()) == 0) return std::nullopt;
  const int e = errno;
  if (e == EXDEV) return TomarPorOtroSistema(c, ruta, id, item);
  // ENOENT with the job still there means the spool folder is missing.
  if (e == ENOENT && !Existe(ruta)) return Retirado(c, ruta);
  return NoSePudoTomar(c, ruta, e);
}

}  // namespace

int ProcesarArchivoTrabajo(const std::string& rutaTrabajo, const Configuracion& c) {
  const std::string id = NuevoId();
  if (const auto codigo = Tomar(c, rutaTrabajo, id)) return *codigo;

  // A run of --reintentar may have seen the new item and locked it first: then that run
  // sends it and this one does not.
  const std::string item = Base(c, id) + ".trabajo";
  Bloqueo bloqueo(item);
  if (!bloqueo.Valido() && (bloqueo.ErrorApertura() == 0 || bloqueo.ErrorApertura() == ENOENT)) {
    std::string bytes, error;
    const Trabajo t = LeerBytes(item, bytes, error) ? ParsearTrabajo(bytes) : Trabajo{};
    Registrar(c, "AVISO", Destinatarios(t), t.asunto,
              "el trabajo tomado de " + rutaTrabajo + " (" + item + ") lo atiende otro proceso de tspost");
    return kPendiente;
  }

  // Only what was taken is sent: the bytes of the spool item, not of the job path.
  std::string bytes;
  const bool leido = bloqueo.Valido() && bloqueo.Leer(bytes);
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
  return EntregarTrabajo(t, c, id);
}

int Reintentar(const Configuracion& c) {
  std::vector<fs::path> items;
  std::error_code ec;
  for (fs::directory_iterator it(c.carpetaPendientes, ec), end; !ec && it != end; it.increment(ec)) {
    std::string ext = it->path().extension().string();
    if (ext == ".trabajo" || ext == ".sobre") items.push_back(it->path());
  }
  std::sort(items.begin(), items.end());  // ids begin with the date: oldest first

  int quedan = 0;
  for (const auto& p : items) {
    Bloqueo bloqueo(p.string());
    if (!bloqueo.Valido()) {
      if (fs::exists(p, ec)) ++quedan;  // another process is working on it
      continue;
    }
    const std::string id = p.stem().string();
    std::string datos, error;
    if (!LeerBytes(p.string(), datos, error)) {
      ++quedan;
      continue;
    }
    if (p.extension() == ".trabajo") {
      if (EntregarTrabajo(ParsearTrabajo(datos), c, id) != kEntregado) ++quedan;
      continue;
    }
    Mensaje m;
    Trabajo t;
    LeerSobre(datos, m, t);
    const std::string base = Base(c, id);
    if (!LeerBytes(base + ".eml", m.eml, error)) {
      Registrar(c, "ERROR", t.destinatarioTexto, t.asunto, "falta el mensaje " + base + ".eml: " + error);
      ++quedan;
      continue;
    }
    std::string detalle;
    if (Entregar(m, c, id, detalle) == kEntregado) {
      std::remove((base + ".eml").c_str());
      std::remove((base + ".sobre").c_str());
      Registrar(c, Logrado(c), t.destinatarioTexto, t.asunto, detalle + " (reintento)");
    } else {
      Registrar(c, "PENDIENTE", t.destinatarioTexto, t.asunto, detalle + "; en " + base + ".eml");
      ++quedan;
    }
  }
  return quedan ? kPendiente : kEntregado;
}

namespace {

const char* kAyuda =
    "Uso: tspost <archivo de trabajo> [;token]\n"
    "     tspost --reintentar\n"
    "     tspost --ayuda\n"
    "\n"
    "Toma el trabajo de correo (DESTINATARIO=, ASUNTO=, MENSAJE=, ARCHIVO=) moviendolo\n"
    "a la carpeta de pendientes y envia el mensaje por SMTP con la seccion [CORREO] de\n"
    "TM440kv.INI. Sin servidor configurado deja el mensaje como .eml en la carpeta de\n"
    "salida; lo que no se pudo enviar queda en la carpeta de pendientes y --reintentar lo\n"
    "envia otra vez.\n"
    "\n"
    "Opciones:\n"
    "  --reintentar     envia otra vez los mensajes pendientes\n"
    "  --ini=ARCHIVO    usa ese archivo INI (tambien la variable TSPOST_INI)\n"
    "  --ayuda          muestra esta ayuda\n"
    "\n"
    "Codigos de salida: 0 enviado o en la carpeta de salida (con --reintentar: nada\n"
    "pendiente); 1 queda pendiente; 2 no se tomo ningun trabajo; 3 el trabajo no se pudo\n"
    "guardar: quedo en su lugar (o donde lo indica el registro).\n";

}  // namespace

int Ejecutar(const std::vector<std::string>& args, const std::string& carpetaPrograma) {
  bool reintentar = false, ayuda = false;
  std::string ini;
  if (const char* e = std::getenv("TSPOST_INI"); e && *e) ini = e;
  std::vector<std::string> resto;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string m = basic::UCase(a);
    if (m == "--REINTENTAR" || m == "/REINTENTAR")
      reintentar = true;
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
  if (ruta.empty() && !reintentar) {
    std::cerr << kAyuda;
    Registrar(c, "ERROR", "", "", "no se indico el archivo de trabajo");
    return kSinTrabajo;
  }
  int codigo = kEntregado;
  if (!ruta.empty()) codigo = ProcesarArchivoTrabajo(ResolverRuta(ruta), c);
  if (reintentar) codigo = std::max(codigo, Reintentar(c));
  return codigo;
}

}  // namespace tspost
