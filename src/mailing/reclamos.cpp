#include "mailing/reclamos.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/basic/archivos.h"
#include "platform/basic/diario_entregas.h"
#include "platform/basic/error.h"
#include "platform/basic/texto.h"

namespace fs = std::filesystem;

namespace {

std::string Q(const std::string& s) { return basic::DoblarComillas(s); }

[[noreturn]] void Falla(const std::string& ruta, int error) {
  throw ErrorEjecucion(75,
                       "Error de acceso a la ruta o el archivo: " + ruta + " (" + std::strerror(error) + ")");
}

std::string Clave(const Reclamo& r) {
  return " WHERE Cuenta = '" + Q(r.cuenta) + "' and tc='OC' and idcomprobante='" + Q(r.idComprobante) + "'";
}

// One value per line: "\" and line ends written as \\, \r, \n so a value never splits.
std::string Escapar(const std::string& v) {
  std::string r;
  for (char c : v) {
    if (c == '\\')
      r += "\\\\";
    else if (c == '\n')
      r += "\\n";
    else if (c == '\r')
      r += "\\r";
    else
      r += c;
  }
  return r;
}

std::string Desescapar(const std::string& v) {
  std::string r;
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] != '\\' || i + 1 == v.size()) {
      r += v[i];
      continue;
    }
    const char c = v[++i];
    r += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
  }
  return r;
}

std::string Texto(const Reclamo& r) {
  return "BASE=" + Escapar(r.base) + "\nCUENTA=" + Escapar(r.cuenta) +
         "\nIDCOMPROBANTE=" + Escapar(r.idComprobante) + "\nLEIDA=" + Escapar(r.leida) +
         "\nESCRITA=" + Escapar(r.escrita) + "\nADJUNTO=" + Escapar(r.adjunto) +
         "\nMOMENTO=" + Escapar(r.momento) + (r.tomado ? "\nTOMADO=1" : "") + "\nFIN=1\n";
}

// False for a record cut short (its writer died while writing it: no claim followed).
bool Leer(const std::string& texto, Reclamo& r) {
  std::istringstream in(texto);
  std::string l;
  bool fin = false;
  while (std::getline(in, l)) {
    const size_t igual = l.find('=');
    if (igual == std::string::npos) continue;
    const std::string k = l.substr(0, igual), v = Desescapar(l.substr(igual + 1));
    if (k == "BASE") r.base = v;
    if (k == "CUENTA") r.cuenta = v;
    if (k == "IDCOMPROBANTE") r.idComprobante = v;
    if (k == "LEIDA") r.leida = v;
    if (k == "ESCRITA") r.escrita = v;
    if (k == "ADJUNTO") r.adjunto = v;
    if (k == "MOMENTO") r.momento = v;
    if (k == "TOMADO") r.tomado = v == "1";
    if (k == "FIN") fin = true;
  }
  return fin;
}

bool EscribirSincronizado(const std::string& ruta, const std::string& bytes, int& error) {
  const std::string tmp = ruta + ".tmp";
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return error = errno, false;
  size_t hecho = 0;
  while (hecho < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + hecho, bytes.size() - hecho);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : EIO;
      break;
    }
    hecho += static_cast<size_t>(n);
  }
  if (hecho == bytes.size() && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && !error) error = errno;
  if (!error && ::rename(tmp.c_str(), ruta.c_str()) != 0) error = errno;
  if (error) {
    ::unlink(tmp.c_str());
    return false;
  }
  // The rename itself must survive a power cut: the folder is synced too.
  const int dir = ::open(fs::path(ruta).parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

bool Contiene(const std::string& bytes, const std::string& nombre) {
  return bytes.find(nombre) != std::string::npos ||
         bytes.find(basic::AWindows1252(nombre)) != std::string::npos;
}

std::string LeerTodo(const fs::path& ruta) {
  std::ifstream f(ruta, std::ios::binary);
  std::ostringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

}  // namespace

std::string SentenciaReclamo(const Reclamo& r) {
  return "UPDATE c_mv_cpte SET fechaenviomail ='" + Q(r.escrita) + "'" + Clave(r) +
         (basic::Trim(r.leida).empty() ? " and fechaenviomail IS NULL"
                                       : " and fechaenviomail = '" + Q(r.leida) + "'");
}

std::string SentenciaDeshacerReclamo(const Reclamo& r) {
  return "UPDATE c_mv_cpte SET fechaenviomail = " +
         (basic::Trim(r.leida).empty() ? std::string("NULL") : "'" + Q(r.leida) + "'") + Clave(r) +
         " and fechaenviomail = '" + Q(r.escrita) + "'";
}

std::string SentenciaLeerMarca(const Reclamo& r) { return "SELECT fechaenviomail FROM c_mv_cpte" + Clave(r); }

std::string SentenciaConfirmarReclamo(const Reclamo& r) {
  return "UPDATE c_mv_cpte SET fechaenviomail ='" + Q(r.escrita) + "'" + Clave(r) +
         (basic::Trim(r.leida).empty()
              ? " and fechaenviomail IS NULL"
              : " and (fechaenviomail IS NULL or fechaenviomail = '" + Q(r.leida) + "')");
}

ReclamosEnCurso::ReclamosEnCurso(const std::string& carpetaLocal) {
  std::random_device azar;
  carpeta_ = (fs::path(carpetaLocal) / "RECLAMOS" /
              (std::to_string(::getpid()) + "-" + std::to_string(azar() & 0xFFFFFF)))
                 .string();
  std::error_code ec;
  fs::create_directories(carpeta_, ec);
  if (ec) Falla(carpeta_, ec.value());
  const std::string bloqueo = carpeta_ + "/corrida.lck";
  fdBloqueo_ = ::open(bloqueo.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fdBloqueo_ < 0) Falla(bloqueo, errno);
  if (::flock(fdBloqueo_, LOCK_EX | LOCK_NB) != 0) {
    const int e = errno;
    ::close(fdBloqueo_);
    fdBloqueo_ = -1;
    Falla(bloqueo, e);
  }
}

ReclamosEnCurso::~ReclamosEnCurso() {
  // Nothing left in flight: the run's folder goes. A record left (an undo that failed)
  // keeps the folder for the next run.
  std::error_code ec;
  bool vacia = true;
  for (fs::directory_iterator it(carpeta_, ec), fin; !ec && it != fin; it.increment(ec))
    if (it->path().extension() == ".rec") vacia = false;
  if (vacia) fs::remove_all(carpeta_, ec);
  if (fdBloqueo_ >= 0) ::close(fdBloqueo_);
}

std::string ReclamosEnCurso::Registrar(const Reclamo& r) {
  const std::string ruta = carpeta_ + "/" + std::to_string(++siguiente_) + ".rec";
  int error = 0;
  if (!EscribirSincronizado(ruta, Texto(r), error)) Falla(ruta, error);
  return ruta;
}

void ReclamosEnCurso::Quitar(const std::string& archivo) { ::unlink(archivo.c_str()); }

void ReclamosEnCurso::MarcarTomado(const std::string& archivo, Reclamo r) {
  r.tomado = true;
  int error = 0;
  if (!EscribirSincronizado(archivo, Texto(r), error)) Falla(archivo, error);
}

bool CorreoTomado(const LugaresCorreo& correo, const std::string& adjunto, const std::string& momento) {
  const std::string nombre = fs::path(adjunto).filename().string();
  std::error_code ec;
  for (fs::directory_iterator it(correo.carpetaPendientes, ec), fin; !ec && it != fin; it.increment(ec)) {
    const std::string ext = it->path().extension().string();
    if ((ext == ".trabajo" || ext == ".sobre" || ext == ".tomado") && Contiene(LeerTodo(it->path()), nombre))
      return true;
  }
  for (const std::string& diario : correo.diarios) {
    for (const basic::LineaEntrega& l : basic::LeerDiario(LeerTodo(diario)))
      if (l.archivo == nombre && l.fecha >= momento) return true;
  }
  return false;
}

int SaldarReclamos(const std::string& carpetaLocal, const std::string& base, const LugaresCorreo& correo,
                   const std::function<long(const std::string&)>& ejecutar) {
  int devueltas = 0;
  std::error_code ec;
  const fs::path raiz = fs::path(carpetaLocal) / "RECLAMOS";
  std::vector<fs::path> corridas;
  for (fs::directory_iterator it(raiz, ec), fin; !ec && it != fin; it.increment(ec))
    if (it->is_directory(ec)) corridas.push_back(it->path());
  for (const fs::path& corrida : corridas) {
    // A run that still lives holds its lock: its claims are its own to settle.
    const std::string bloqueo = (corrida / "corrida.lck").string();
    const int fd = ::open(bloqueo.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      continue;
    }
    bool quedan = false;
    for (fs::directory_iterator it(corrida, ec), fin; !ec && it != fin; it.increment(ec)) {
      const fs::path archivo = it->path();
      if (archivo.extension() != ".rec") continue;
      Reclamo r;
      if (!Leer(LeerTodo(archivo), r)) {
        fs::remove(archivo, ec);  // cut short: its claim was never made
        continue;
      }
      if (r.base != base) {
        quedan = true;
        continue;
      }
      const bool tomado = r.tomado || CorreoTomado(correo, r.adjunto, r.momento);
      try {
        // A mail that went keeps (or gets back) its stamp; any other gets the one read.
        if (tomado) {
          ejecutar(SentenciaConfirmarReclamo(r));
        } else if (ejecutar(SentenciaDeshacerReclamo(r)) != 0) {
          ++devueltas;
        }
        fs::remove(archivo, ec);
      } catch (...) {
        quedan = true;  // the database is not there now: a later run tries again
      }
    }
    if (!quedan) fs::remove_all(corrida, ec);
    ::close(fd);
  }
  return devueltas;
}
