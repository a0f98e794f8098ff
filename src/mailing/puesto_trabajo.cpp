#include "mailing/puesto_trabajo.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/basic/error.h"

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Falla(const std::string& ruta, int error) {
  throw ErrorEjecucion(75,
                       "Error de acceso a la ruta o el archivo: " + ruta + " (" + std::strerror(error) + ")");
}

bool Identidad(const std::string& ruta, dev_t& dev, ino_t& ino) {
  struct stat st {};
  if (::lstat(ruta.c_str(), &st) != 0) return false;
  dev = st.st_dev;
  ino = st.st_ino;
  return true;
}

// Private names of this process beside the job file; only ever touched under the slot.
std::string Privado(const std::string& ruta, const char* que) {
  return ruta + "." + std::to_string(::getpid()) + "." + que;
}

}  // namespace

PuestoTrabajo::PuestoTrabajo(std::string rutaTrabajo) : ruta_(std::move(rutaTrabajo)) {
  rutaBloqueo_ = (fs::path(ruta_).parent_path() / "cfgMail.lck").string();
}

PuestoTrabajo::~PuestoTrabajo() {
  if (fdBloqueo_ >= 0) ::close(fdBloqueo_);
}

void PuestoTrabajo::Comprobar() {
  const std::string carpeta = fs::path(ruta_).parent_path().string();
  auto falta = [&](const std::string& que, int error) {
    throw ErrorEjecucion(75, "La carpeta " + carpeta + " no permite " + que + " (" + std::strerror(error) +
                                 "): el programa de correo no puede recibir trabajos en ella.");
  };
  const int fd = ::open(rutaBloqueo_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) Falla(rutaBloqueo_, errno);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno != EWOULDBLOCK && errno != EINTR) {
    const int e = errno;
    ::close(fd);
    falta("bloquear archivos", e);
  }
  ::close(fd);  // closing lets the probe's lock go
  const std::string a = Privado(ruta_, "prueba"), b = Privado(ruta_, "prueba2");
  const int f = ::open(a.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (f < 0) Falla(a, errno);
  ::close(f);
  const int enlace = ::link(a.c_str(), b.c_str()) == 0 ? 0 : errno;
  ::unlink(b.c_str());
  ::unlink(a.c_str());
  if (enlace != 0) falta("enlaces de archivos", enlace);
}

bool PuestoTrabajo::Ocupar(std::chrono::milliseconds espera, const std::function<void()>& alEsperar) {
  if (ocupado_) return true;
  if (fdBloqueo_ < 0) {
    // Open for writing: NFS refuses an exclusive lock on a read-only descriptor.
    fdBloqueo_ = ::open(rutaBloqueo_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fdBloqueo_ < 0) Falla(rutaBloqueo_, errno);
  }
  auto limite = std::chrono::steady_clock::now() + espera;
  auto pausa = std::chrono::microseconds(100);
  bool visto = false;
  dev_t dev = 0;
  ino_t ino = 0;
  for (;;) {
    if (::flock(fdBloqueo_, LOCK_EX | LOCK_NB) == 0) break;
    if (errno != EWOULDBLOCK && errno != EINTR) Falla(rutaBloqueo_, errno);
    // Another run holds the slot. A different job (or none) at the path is progress.
    dev_t d = 0;
    ino_t i = 0;
    const bool hay = Identidad(ruta_, d, i);
    if (hay != visto || (hay && (d != dev || i != ino))) {
      visto = hay;
      dev = d;
      ino = i;
      limite = std::chrono::steady_clock::now() + espera;
    }
    if (alEsperar) alEsperar();
    const auto ahora = std::chrono::steady_clock::now();
    if (ahora >= limite) return false;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pausa, limite - ahora));
    pausa = std::min(pausa * 2, std::chrono::microseconds(1000));
  }
  ocupado_ = true;
  LimpiarRestos();
  return true;
}

void PuestoTrabajo::LimpiarRestos() {
  // With the slot held, a job at the path has no living writer: it is withdrawn (its order
  // was not stamped and is offered again). Private files of other processes are leftovers
  // of a run that was killed.
  const std::string huerfano = Privado(ruta_, "huerfano");
  if (::rename(ruta_.c_str(), huerfano.c_str()) == 0) ::unlink(huerfano.c_str());
  if (limpio_) return;  // the folder is looked through once per run
  limpio_ = true;
  const fs::path carpeta = fs::path(ruta_).parent_path();
  const std::string prefijo = fs::path(ruta_).filename().string() + ".";
  std::error_code ec;
  for (fs::directory_iterator it(carpeta, ec), fin; !ec && it != fin; it.increment(ec)) {
    const std::string nombre = it->path().filename().string();
    if (nombre.size() <= prefijo.size() || nombre.compare(0, prefijo.size(), prefijo) != 0) continue;
    const std::string ext = fs::path(nombre).extension().string();
    if (ext == ".tmp" || ext == ".retirado" || ext == ".huerfano" || ext == ".prueba" || ext == ".prueba2")
      fs::remove(it->path(), ec);
  }
}

void PuestoTrabajo::Publicar(const std::string& bytes) {
  const std::string tmp = Privado(ruta_, "tmp");
  ::unlink(tmp.c_str());
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) Falla(ruta_, errno);
  size_t hecho = 0;
  int error = 0;
  while (hecho < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + hecho, bytes.size() - hecho);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : EIO;
      break;
    }
    hecho += static_cast<size_t>(n);
  }
  struct stat st {};
  if (!error && ::fstat(fd, &st) != 0) error = errno;
  if (::close(fd) != 0 && !error) error = errno;
  // link never replaces: a job that is not ours is never overwritten.
  if (!error && ::link(tmp.c_str(), ruta_.c_str()) != 0) error = errno;
  ::unlink(tmp.c_str());
  if (error) Falla(ruta_, error);
  dev_ = st.st_dev;
  ino_ = st.st_ino;
  publicado_ = true;
}

bool PuestoTrabajo::Tomado() const {
  if (!publicado_) return true;
  dev_t d = 0;
  ino_t i = 0;
  return !Identidad(ruta_, d, i) || d != dev_ || i != ino_;
}

bool PuestoTrabajo::Retirar() {
  if (!publicado_ || Tomado()) {
    Liberar();
    return false;
  }
  const std::string retirado = Privado(ruta_, "retirado");
  bool nuestro = ::rename(ruta_.c_str(), retirado.c_str()) == 0;
  if (nuestro)
    ::unlink(retirado.c_str());
  else if (errno != ENOENT)
    nuestro = !Tomado();  // cannot be moved (permissions): still ours while it stays
  Liberar();
  return nuestro;
}

void PuestoTrabajo::Liberar() {
  publicado_ = false;
  if (ocupado_ && fdBloqueo_ >= 0) ::flock(fdBloqueo_, LOCK_UN);
  ocupado_ = false;
}
