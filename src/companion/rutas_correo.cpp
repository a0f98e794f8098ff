#include "companion/rutas_correo.h"

#include <algorithm>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cctype>
#include <cstring>
#include <filesystem>

#include "companion/companion.h"
#include "platform/basic/error.h"
#include "platform/os/rutas.h"
#include "platform/os/sistema.h"

namespace fs = std::filesystem;

namespace {

std::string Ruta(const std::string& valor, const std::string& carpetaAplicacion,
                 const std::string& porDefecto) {
  std::string v = valor.empty() ? porDefecto : valor;
  for (char& c : v)
    if (c == '\\') c = '/';
  fs::path p(v);
  if (p.is_relative()) p = fs::path(carpetaAplicacion) / p;
  return p.lexically_normal().string();
}

}  // namespace

RutasCorreo LeerRutasCorreo(const std::string& carpetaAplicacion, const std::string& archivoIni) {
  RutasCorreo r;
  ArchivoIni ini;
  const std::string ruta =
      ini.RutaArchivo(archivoIni.empty() ? (fs::path(carpetaAplicacion) / kArchivoIniEquipo).string()
                                         : fs::absolute(archivoIni).string());
  std::error_code ec;
  r.archivoIni = fs::is_regular_file(ruta, ec) ? ruta : "";
  r.carpetaAplicacion =
      archivoIni.empty() ? carpetaAplicacion : fs::absolute(archivoIni).parent_path().string();
  if (r.carpetaAplicacion.empty()) r.carpetaAplicacion = ".";
  auto leer = [&](const char* clave) {
    return r.archivoIni.empty() ? std::string() : ini.LeerIni(r.archivoIni, "CORREO", clave, "");
  };
  r.carpetaSalida = Ruta(leer("CarpetaSalida"), r.carpetaAplicacion, "CORREO/SALIDA");
  // The spool is the PC's own, beside the job file: never in a shared folder.
  const std::string pendientes = leer("CarpetaPendientes");
  r.pendientesDelIni = !pendientes.empty();
  r.carpetaPendientes = r.pendientesDelIni ? Ruta(pendientes, r.carpetaAplicacion, "")
                                           : RutaCarpetaLocal(carpetaAplicacion.empty() ? r.carpetaAplicacion
                                                                                        : carpetaAplicacion) +
                                                 "/PENDIENTES";
  r.archivoLog = Ruta(leer("ArchivoLog"), r.carpetaAplicacion, "TSPOST.LOG");
  r.archivoEntregas = Ruta(leer("ArchivoEntregas"), r.carpetaAplicacion, "CORREO/ENTREGAS.TXT");
  r.adjunto = leer("Adjunto");
  r.asunto = leer("Asunto");
  r.mensaje = leer("Mensaje");
  r.buzonEntrada = leer("BuzonEntrada");
  const std::string minutos = leer("MinutosRevision");
  if (!minutos.empty()) {
    char* fin = nullptr;
    const long m = std::strtol(minutos.c_str(), &fin, 10);
    r.minutosRevision = fin && *fin == 0 && m > 0 ? static_cast<int>(std::min(m, 24L * 60)) : 0;
  }
  return r;
}

namespace {

// Makes `ruta` and its missing parents (mode 0700) and checks that it belongs to this user
// and no one else may write it.
void CarpetaPropia(const std::string& ruta) {
  std::error_code ec;
  fs::create_directories(ruta, ec);
  ::chmod(ruta.c_str(), 0700);
  struct stat st {};
  if (::lstat(ruta.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    throw ErrorEjecucion(75, "Error de acceso a la ruta o el archivo: " + ruta + " (" +
                                 std::strerror(ec ? ec.value() : errno) + ")");
  if (st.st_uid != ::geteuid() || (st.st_mode & 022) != 0)
    throw ErrorEjecucion(75, "La carpeta " + ruta +
                                 " no es del usuario o otros pueden escribir en ella; el correo no la usa.");
}

}  // namespace

namespace {

struct Local {
  std::string ruta;     // the folder of this PC and user
  std::string runtime;  // the runtime folder it was put in, "" when not
  std::string base;     // the state folder given up for it (on a network file system)
  std::string red;      // that file system's kind
};

Local UbicarCarpetaLocal(const std::string& carpetaAplicacion) {
  std::error_code ec;
  fs::path app = fs::weakly_canonical(fs::absolute(carpetaAplicacion, ec), ec);
  if (app.empty()) app = fs::path(carpetaAplicacion).lexically_normal();
  if (app.has_filename() == false) app = app.parent_path();
  // The folder's name, for a person looking, and a hash of its full path, so that two
  // application folders of one user never share their jobs.
  std::string nombre;
  for (char c : app.filename().string())
    nombre += (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.') ? c : '_';
  if (nombre.empty() || nombre[0] == '.') nombre = "_" + nombre;
  unsigned long long h = 1469598103934665603ULL;
  for (unsigned char c : app.string()) h = (h ^ c) * 1099511628211ULL;
  char hash[20];
  std::snprintf(hash, sizeof hash, "%016llx", h);
  const std::string hoja = "ocmail/" + nombre + "-" + hash;

  const os::Sistema& s = os::sistema();
  Local l;
  std::string base = s.Entorno("XDG_STATE_HOME").value_or("");
  if (base.empty() || base[0] != '/') {
    std::string home = s.Entorno("HOME").value_or("");
    if (home.empty()) home = "/tmp";
    base = home + "/.local/state";
  }
  if (const std::string red = os::SistemaDeArchivosDeRed(base); !red.empty()) {
    std::string runtime = s.Entorno("XDG_RUNTIME_DIR").value_or("");
    if (runtime.empty() || runtime[0] != '/') runtime = "/tmp/ocmail-" + std::to_string(::geteuid());
    l.base = base;
    l.red = red;
    l.runtime = runtime;
    base = runtime;
  }
  l.ruta = base + "/" + hoja;
  return l;
}

}  // namespace

std::string RutaCarpetaLocal(const std::string& carpetaAplicacion) {
  return UbicarCarpetaLocal(carpetaAplicacion).ruta;
}

std::string CarpetaLocal(const std::string& carpetaAplicacion, std::string* aviso) {
  const Local l = UbicarCarpetaLocal(carpetaAplicacion);
  if (!l.runtime.empty()) {
    CarpetaPropia(l.runtime);  // in /tmp nobody else may own or swap it
    if (aviso)
      *aviso = "La carpeta " + l.base + " está en un sistema de archivos de red (" + l.red +
               "); el trabajo de correo se guarda en " + l.runtime + ".";
  }
  CarpetaPropia(l.ruta);
  return l.ruta;
}
