#include "platform/os/rutas.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <mutex>
#include <vector>

#include "platform/os/sistema.h"

namespace os {

namespace {

std::mutex gMutex;
std::string gCarpetaFijada;

std::string Ejecutable() {
  std::vector<char> buf(4096);
  const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return "";
  return std::string(buf.data(), static_cast<size_t>(n));
}

bool Existe(const std::string& ruta) {
  struct stat st {};
  return lstat(ruta.c_str(), &st) == 0;
}

bool EsBlanco(const std::string& s) { return s.find_first_not_of(" \t") == std::string::npos; }

std::string Recortar(const std::string& s) {
  const auto a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  const auto b = s.find_last_not_of(" \t");
  return s.substr(a, b - a + 1);
}

// The entry of `carpeta` named `nombre` in any case; "" when none.
std::string EntradaSinCaso(const std::string& carpeta, const std::string& nombre) {
  DIR* d = opendir(carpeta.empty() ? "." : carpeta.c_str());
  if (!d) return "";
  std::string hallado;
  while (dirent* e = readdir(d)) {
    if (strcasecmp(e->d_name, nombre.c_str()) == 0) {
      hallado = e->d_name;
      break;
    }
  }
  closedir(d);
  return hallado;
}

}  // namespace

std::string CarpetaAplicacion() {
  {
    std::lock_guard<std::mutex> l(gMutex);
    if (!gCarpetaFijada.empty()) return gCarpetaFijada;
  }
  const std::string exe = Ejecutable();
  const auto p = exe.find_last_of('/');
  if (p == std::string::npos) return ".";
  return p == 0 ? "/" : exe.substr(0, p);
}

void FijarCarpetaAplicacion(const std::string& carpeta) {
  std::lock_guard<std::mutex> l(gMutex);
  gCarpetaFijada = carpeta;
  while (gCarpetaFijada.size() > 1 && gCarpetaFijada.back() == '/') gCarpetaFijada.pop_back();
}

std::string NombreEjecutable() {
  std::string nombre = Ejecutable();
  if (auto p = nombre.find_last_of('/'); p != std::string::npos) nombre.erase(0, p + 1);
  if (auto p = nombre.find_last_of('.'); p != std::string::npos && p > 0) nombre.resize(p);
  return nombre;
}

std::string SistemaDeArchivosDeRed(const std::string& ruta) {
  std::string r = ruta.empty() ? "." : ruta;
  struct statfs st {};
  while (::statfs(r.c_str(), &st) != 0) {
    const size_t barra = r.find_last_of('/');
    if (barra == std::string::npos || r == "/") return "";
    r = barra == 0 ? "/" : r.substr(0, barra);
  }
  switch (static_cast<unsigned long>(st.f_type)) {
    case 0x6969: return "NFS";
    case 0x517B:
    case 0xFF534D42:
    case 0xFE534D42: return "SMB";
    case 0x65735546: return "FUSE";
    case 0x01021997: return "9P";
    case 0x5346414F: return "AFS";
    case 0x00C36400: return "Ceph";
    case 0x73757245: return "Coda";
    case 0x47504653: return "GPFS";
    case 0x0BD00BD0: return "Lustre";
    default: return "";
  }
}

std::string CarpetaTemporal() {
  for (const char* n : {"temp", "tmp"}) {
    if (auto v = sistema().Entorno(n)) {
      std::string c = Recortar(*v);
      while (c.size() > 1 && c.back() == '/') c.pop_back();
      if (!c.empty()) return c;
    }
  }
  return "/tmp";
}

std::string BuscarArchivoSinCaso(const std::string& ruta) {
  if (EsBlanco(ruta)) return "";
  if (Existe(ruta)) return ruta;
  const bool absoluta = ruta.front() == '/';
  std::string actual = absoluta ? "/" : "";
  size_t i = 0;
  while (i < ruta.size()) {
    size_t j = ruta.find('/', i);
    if (j == std::string::npos) j = ruta.size();
    const std::string parte = ruta.substr(i, j - i);
    i = j + 1;
    if (parte.empty()) continue;
    std::string siguiente;
    if (parte == "." || parte == "..") {
      siguiente = parte;
    } else {
      const std::string exacta =
          actual.empty() ? parte : (actual.back() == '/' ? actual + parte : actual + "/" + parte);
      if (Existe(exacta)) {
        siguiente = parte;
      } else {
        siguiente = EntradaSinCaso(actual, parte);
        if (siguiente.empty()) return "";
      }
    }
    actual =
        actual.empty() ? siguiente : (actual.back() == '/' ? actual + siguiente : actual + "/" + siguiente);
  }
  if (ruta.back() == '/' && actual.back() != '/') actual += '/';
  return Existe(actual) ? actual : "";
}

bool ArchivoExisteSinCaso(const std::string& ruta) {
  const std::string r = BuscarArchivoSinCaso(ruta);
  if (r.empty()) return false;
  struct stat st {};
  return stat(r.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ResolverSinCaso(const std::string& ruta) {
  const std::string r = BuscarArchivoSinCaso(ruta);
  if (!r.empty()) return r;
  // A new file: keep its name, but find its folder whatever the folder's case.
  const auto p = ruta.find_last_of('/');
  if (p == std::string::npos || p == 0) return ruta;
  const std::string carpeta = BuscarArchivoSinCaso(ruta.substr(0, p));
  return carpeta.empty() ? ruta : carpeta + ruta.substr(p);
}

}  // namespace os
