#include "connection/bases.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <filesystem>
#include <system_error>

#include "companion/companion.h"
#include "platform/basic/error.h"
#include "platform/basic/texto.h"
#include "platform/basic/archivos.h"
#include "platform/os/rutas.h"

namespace {

constexpr long errAccesoArchivo = 75;

std::string Campo(const std::string& s) { return basic::Trim(s); }

// Plain text as the suite writes it; a comma or a quote inside would break the line, and
// a tab or blank at either end would be dropped on reading, so such a field goes between
// quotes (inner quotes doubled), which readers accept.
std::string Escribir(const std::string& s) {
  const bool bordeBlanco =
      !s.empty() && (s.front() == '\t' || s.front() == ' ' || s.back() == '\t' || s.back() == ' ');
  if (s.find_first_of(",\"") == std::string::npos && !bordeBlanco) return s;
  std::string r = "\"";
  for (char c : s) {
    r += c;
    if (c == '"') r += '"';
  }
  return r + "\"";
}

}  // namespace

std::string RutaBases() {
  return os::ResolverSinCaso(gFunciones().AgregarBarra(os::CarpetaAplicacion()) + "BASES.TXT");
}

std::string ServidorClave(const std::string& servidor) {
  std::string s = basic::Trim(basic::UCase(servidor));
  const size_t dos = s.find(':');
  if (dos != std::string::npos) s = basic::Trim(s.substr(0, dos));
  return s;
}

std::string ClaveBases(const std::string& base, const std::string& servidor) {
  return basic::Trim(basic::UCase(base)) + " / " + ServidorClave(servidor);
}

RegistroBases LeerLineaBases(const std::string& linea) {
  std::vector<std::string> campos = basic::CamposCSV(linea);
  campos.resize(std::max<size_t>(campos.size(), 5));
  return RegistroBases{Campo(campos[0]), Campo(campos[1]), Campo(campos[2]), Campo(campos[3]),
                       Campo(campos[4])};
}

std::vector<RegistroBases> LeerBases(const std::string& ruta) {
  std::vector<RegistroBases> r;
  std::error_code ec;
  if (ruta.empty() || !std::filesystem::exists(ruta, ec)) return r;
  if (std::filesystem::is_directory(ruta, ec)) {
    throw ErrorEjecucion(errAccesoArchivo, "Error de acceso a la ruta o al archivo: " + ruta);
  }
  std::ifstream f(ruta, std::ios::binary);
  if (!f) throw ErrorEjecucion(errAccesoArchivo, "Error de acceso a la ruta o al archivo: " + ruta);
  const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  if (f.bad()) throw ErrorEjecucion(errAccesoArchivo, "Error de acceso a la ruta o al archivo: " + ruta);
  const std::string texto = basic::DeWindows1252(bytes);
  size_t inicio = 0;
  while (inicio < texto.size()) {
    size_t fin = texto.find('\n', inicio);
    if (fin == std::string::npos) fin = texto.size();
    std::string linea = texto.substr(inicio, fin - inicio);
    if (!linea.empty() && linea.back() == '\r') linea.pop_back();
    r.push_back(LeerLineaBases(linea));
    inicio = fin + 1;
  }
  return r;
}

std::string LineaBases(const std::string& clave, const std::string& base, const std::string& usuario,
                       const std::string& password, const std::string& servidor) {
  using basic::Trim;
  return Escribir(Trim(clave)) + "," + Escribir(Trim(base)) + "," + Escribir(Trim(usuario)) + "," +
         Escribir(Trim(gFunciones().Codificar(password))) + "," + Escribir(Trim(servidor));
}

void GrabarBases(const std::string& clave, const std::string& base, const std::string& usuario,
                 const std::string& password, const std::string& servidor) {
  const std::string ruta = RutaBases();
  // A last line without its line end would swallow the new one: end it first.
  bool terminar = false;
  {
    std::ifstream previo(ruta, std::ios::binary | std::ios::ate);
    if (previo && previo.tellg() > 0) {
      previo.seekg(-1, std::ios::end);
      terminar = previo.get() != '\n';
    }
  }
  // Read-write append ("a+"): a write-only append open fails on some shared-folder clients.
  std::fstream f(ruta, std::ios::binary | std::ios::in | std::ios::out | std::ios::app);
  if (!f) {
    throw ErrorEjecucion(errAccesoArchivo, "Error de acceso a la ruta o al archivo: " + ruta + " (" +
                                               std::strerror(errno) + ")");
  }
  if (terminar) f << "\r\n";
  f << basic::AWindows1252(LineaBases(clave, base, usuario, password, servidor)) << "\r\n";
  f.close();
  if (!f) throw ErrorEjecucion(errAccesoArchivo, "No se pudo escribir " + ruta);
}
