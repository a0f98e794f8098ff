// Mail settings: section [CORREO] of TM440kv.INI in the application folder.
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tspost.h"

namespace fs = std::filesystem;

namespace tspost {
namespace {

std::string LeerBytes(const std::string& ruta) {
  std::ifstream f(ruta, std::ios::binary);
  if (!f) return "";
  std::ostringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

// The INI file in a folder, whatever the case of its name.
std::string BuscarIni(const std::string& carpeta) {
  const std::string buscado = Mayusculas("TM440kv.INI");
  std::error_code ec;
  fs::path exacto = fs::path(carpeta) / "TM440kv.INI";
  if (fs::is_regular_file(exacto, ec)) return exacto.string();
  for (fs::directory_iterator it(carpeta, ec), end; !ec && it != end; it.increment(ec))
    if (Mayusculas(it->path().filename().string()) == buscado && it->is_regular_file(ec))
      return it->path().string();
  return "";
}

// Keys of one section, upper-cased names; values trimmed.
std::vector<std::pair<std::string, std::string>> LeerSeccion(const std::string& texto,
                                                             const std::string& seccion) {
  std::vector<std::pair<std::string, std::string>> claves;
  std::istringstream in(texto);
  std::string linea;
  bool dentro = false;
  while (std::getline(in, linea)) {
    if (!linea.empty() && linea.back() == '\r') linea.pop_back();
    std::string t = Recortar(linea);
    if (t.empty() || t[0] == ';' || t[0] == '#') continue;
    if (t.front() == '[') {
      size_t cierre = t.find(']');
      dentro = cierre != std::string::npos &&
               Mayusculas(Recortar(t.substr(1, cierre - 1))) == Mayusculas(seccion);
      continue;
    }
    size_t igual = t.find('=');
    if (!dentro || igual == std::string::npos) continue;
    claves.emplace_back(Mayusculas(Recortar(t.substr(0, igual))), Recortar(t.substr(igual + 1)));
  }
  return claves;
}

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

int Configuracion::PuertoEfectivo() const {
  if (puerto > 0) return puerto;
  switch (seguridad) {
    case Seguridad::Tls: return 465;
    case Seguridad::StartTls: return 587;
    default: return 25;
  }
}

std::string Configuracion::Url() const {
  std::string host = servidor;
  if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
  return std::string(seguridad == Seguridad::Tls ? "smtps://" : "smtp://") + host + ":" +
         std::to_string(PuertoEfectivo());
}

Configuracion LeerConfiguracion(const std::string& carpetaAplicacion,
                                const std::string& archivoIni) {
  Configuracion c;
  c.archivoIni = archivoIni.empty() ? BuscarIni(carpetaAplicacion) : archivoIni;
  c.carpetaAplicacion = archivoIni.empty()
                            ? carpetaAplicacion
                            : fs::path(archivoIni).parent_path().string();
  if (c.carpetaAplicacion.empty()) c.carpetaAplicacion = ".";

  std::string carpetaSalida, carpetaPendientes, archivoLog;
  if (!c.archivoIni.empty()) {
    for (auto& [clave, valorCp] : LeerSeccion(LeerBytes(c.archivoIni), "CORREO")) {
      std::string valor = DeCp1252(valorCp);
      if (clave == "SERVIDOR") c.servidor = valor;
      else if (clave == "PUERTO") c.puerto = std::atoi(valor.c_str());
      else if (clave == "SEGURIDAD") {
        std::string s = Mayusculas(valor);
        if (s == "STARTTLS") c.seguridad = Seguridad::StartTls;
        else if (s == "TLS" || s == "SSL" || s == "SMTPS") c.seguridad = Seguridad::Tls;
        else c.seguridad = Seguridad::Ninguna;
      } else if (clave == "USUARIO") c.usuario = valor;
      else if (clave == "CLAVE") c.clave = valor;
      else if (clave == "REMITENTE") c.remitente = valor;
      else if (clave == "NOMBREREMITENTE") c.nombreRemitente = valor;
      else if (clave == "CARPETASALIDA") carpetaSalida = valor;
      else if (clave == "CARPETAPENDIENTES") carpetaPendientes = valor;
      else if (clave == "ARCHIVOLOG") archivoLog = valor;
      else if (clave == "TIEMPOESPERA") {
        long t = std::atol(valor.c_str());
        if (t > 0) c.tiempoEspera = t;
      } else if (clave == "VERIFICARCERTIFICADO") {
        std::string s = Mayusculas(valor);
        c.verificarCertificado = !(s == "NO" || s == "0" || s == "FALSE");
      }
    }
  }
  c.carpetaSalida = Ruta(carpetaSalida, c.carpetaAplicacion, "CORREO/SALIDA");
  c.carpetaPendientes = Ruta(carpetaPendientes, c.carpetaAplicacion, "CORREO/PENDIENTES");
  c.archivoLog = Ruta(archivoLog, c.carpetaAplicacion, "TSPOST.LOG");
  return c;
}

}  // namespace tspost
