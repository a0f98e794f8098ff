// INI files of the suite: Windows-1252 text with CR LF (a UTF-8 file with a byte-order
// mark is read too). Sections and keys are compared without regard to case.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>

#include "companion/companion.h"
#include "platform/basic/regional.h"
#include "platform/basic/texto.h"
#include "platform/basic/archivos.h"
#include "platform/os/rutas.h"

namespace {

std::mutex gMutex;
std::string gCarpeta;

std::string DesdeAnsi(const std::string& bytes) {
  if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) return bytes.substr(3);
  return basic::DeWindows1252(bytes);
}

std::string Recortar(const std::string& s) {
  const auto a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

std::vector<std::string> Lineas(const std::string& texto) {
  std::vector<std::string> r;
  std::string actual;
  for (size_t i = 0; i < texto.size(); ++i) {
    const char c = texto[i];
    if (c == '\r' || c == '\n') {
      r.push_back(std::move(actual));
      actual.clear();
      if (c == '\r' && i + 1 < texto.size() && texto[i + 1] == '\n') ++i;
    } else {
      actual += c;
    }
  }
  if (!actual.empty()) r.push_back(std::move(actual));
  return r;
}

bool LeerBytes(const std::string& ruta, std::string& bytes) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(ruta, ec)) return false;
  try {
    std::ifstream f(ruta, std::ios::binary);
    if (!f) return false;
    bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return !f.bad();
  } catch (const std::exception&) {
    return false;
  }
}

// "[name]" gives true and the name.
bool EsSeccion(const std::string& linea, std::string& nombre) {
  const std::string t = Recortar(linea);
  if (t.empty() || t[0] != '[') return false;
  const auto fin = t.find(']');
  nombre = Recortar(t.substr(1, fin == std::string::npos ? std::string::npos : fin - 1));
  return true;
}

// "key=value" gives true, the key and the value as written (trimmed).
bool EsClave(const std::string& linea, std::string& clave, std::string& valor) {
  const std::string t = Recortar(linea);
  if (t.empty() || t[0] == ';') return false;
  const auto igual = t.find('=');
  if (igual == std::string::npos) return false;
  clave = Recortar(t.substr(0, igual));
  valor = Recortar(t.substr(igual + 1));
  return !clave.empty();
}

std::string SinComillas(const std::string& v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

}  // namespace

void ArchivoIni::FijarCarpeta(const std::string& carpeta) {
  std::lock_guard<std::mutex> l(gMutex);
  gCarpeta = carpeta;
}

std::string ArchivoIni::Carpeta() {
  {
    std::lock_guard<std::mutex> l(gMutex);
    if (!gCarpeta.empty()) return gCarpeta;
  }
  return os::CarpetaAplicacion();
}

std::string ArchivoIni::RutaArchivo(const std::string& archivo) const {
  const std::string nombre = basic::Trim(archivo);
  if (nombre.empty()) return "";
  if (nombre[0] == '/') return os::ResolverSinCaso(nombre);
  std::string carpeta = Carpeta();
  if (!carpeta.empty() && carpeta.back() != '/') carpeta += '/';
  return os::ResolverSinCaso(carpeta + nombre);
}

std::string ArchivoIni::LeerIni(const std::string& archivo, const std::string& seccion,
                                const std::string& clave, const std::string& defecto) const {
  const std::string buscadaS = Recortar(seccion), buscadaC = Recortar(clave);
  if (buscadaS.empty() || buscadaC.empty()) return defecto;
  const std::string ruta = RutaArchivo(archivo);
  std::string bytes;
  if (ruta.empty() || !LeerBytes(ruta, bytes)) return defecto;
  bool enSeccion = false;
  std::string nombre, c, v;
  for (const std::string& linea : Lineas(DesdeAnsi(bytes))) {
    if (EsSeccion(linea, nombre)) {
      enSeccion = basic::IgualesSinCaso(nombre, buscadaS);
    } else if (enSeccion && EsClave(linea, c, v) && basic::IgualesSinCaso(c, buscadaC)) {
      return SinComillas(v);
    }
  }
  return defecto;
}

bool ArchivoIni::GrabarIni(const std::string& archivo, const std::string& seccion, const std::string& clave,
                           const std::string& valor) const {
  const std::string buscadaS = Recortar(seccion), buscadaC = Recortar(clave);
  const std::string ruta = RutaArchivo(archivo);
  if (buscadaS.empty() || buscadaC.empty() || ruta.empty()) return false;
  std::string limpio = valor;
  for (char& ch : limpio)
    if (ch == '\r' || ch == '\n') ch = ' ';
  const std::string nueva = buscadaC + "=" + limpio;

  std::string bytes;
  std::vector<std::string> lineas;
  if (LeerBytes(ruta, bytes)) lineas = Lineas(DesdeAnsi(bytes));
  // A UTF-8 file stays UTF-8: in Windows-1252 its other keys could lose characters.
  const bool utf8 = bytes.rfind("\xEF\xBB\xBF", 0) == 0;

  int seccionEn = -1, ultimaDeSeccion = -1;
  bool hecho = false, enSeccion = false;
  std::string nombre, c, v;
  for (size_t i = 0; i < lineas.size() && !hecho; ++i) {
    if (EsSeccion(lineas[i], nombre)) {
      if (enSeccion) break;  // end of the first matching section
      enSeccion = basic::IgualesSinCaso(nombre, buscadaS);
      if (enSeccion) seccionEn = ultimaDeSeccion = static_cast<int>(i);
    } else if (enSeccion) {
      if (!Recortar(lineas[i]).empty()) ultimaDeSeccion = static_cast<int>(i);
      if (EsClave(lineas[i], c, v) && basic::IgualesSinCaso(c, buscadaC)) {
        lineas[i] = nueva;
        hecho = true;
      }
    }
  }
  if (!hecho) {
    if (seccionEn >= 0) {
      lineas.insert(lineas.begin() + ultimaDeSeccion + 1, nueva);
    } else {
      if (!lineas.empty() && !Recortar(lineas.back()).empty()) lineas.push_back("");
      lineas.push_back("[" + buscadaS + "]");
      lineas.push_back(nueva);
    }
  }
  std::string salida = utf8 ? "\xEF\xBB\xBF" : "";
  for (const auto& l : lineas) salida += (utf8 ? l : basic::AWindows1252(l)) + "\r\n";
  std::ofstream f(ruta, std::ios::binary | std::ios::trunc);
  if (!f) return false;
  f << salida;
  f.close();
  return !f.fail();
}

void CargarRegional(const ArchivoIni& ini, const std::string& archivo) {
  static const std::string kNada = "\x01";
  struct Clave {
    const char* nombre;
    std::string basic::Regional::*campo;
  };
  static const Clave claves[] = {{"FechaCorta", &basic::Regional::fechaCorta},
                                 {"Hora", &basic::Regional::hora},
                                 {"SeparadorDecimal", &basic::Regional::separadorDecimal},
                                 {"SeparadorMiles", &basic::Regional::separadorMiles}};
  for (const auto& c : claves) {
    const std::string v = ini.LeerIni(archivo, "Regional", c.nombre, kNada);
    if (v != kNada && !v.empty()) basic::regional().*c.campo = v;
  }
}
