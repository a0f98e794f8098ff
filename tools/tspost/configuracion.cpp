// Mail settings: section [CORREO] of TM440kv.INI in the application folder.
#include <cstdlib>
#include <filesystem>

#include "companion/companion.h"
#include "tspost.h"
#include "platform/basic/texto.h"

namespace fs = std::filesystem;

namespace tspost {
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

std::string Configuracion::CarpetaFallidos() const {
  return (fs::path(carpetaPendientes).parent_path() / "FALLIDOS").string();
}

Configuracion LeerConfiguracion(const std::string& carpetaAplicacion, const std::string& archivoIni) {
  Configuracion c;
  // The INI file whatever the case of its name; "" when there is none.
  std::string ruta =
      ArchivoIni().RutaArchivo(archivoIni.empty() ? (fs::path(carpetaAplicacion) / "TM440kv.INI").string()
                                                  : fs::absolute(archivoIni).string());
  std::error_code ec;
  c.archivoIni = fs::is_regular_file(ruta, ec) ? ruta : "";
  c.carpetaAplicacion =
      archivoIni.empty() ? carpetaAplicacion : fs::absolute(archivoIni).parent_path().string();
  if (c.carpetaAplicacion.empty()) c.carpetaAplicacion = ".";

  std::string carpetaSalida, carpetaPendientes, archivoLog, archivoEntregas;
  if (!c.archivoIni.empty()) {
    ArchivoIni ini;
    auto leer = [&](const char* clave) { return ini.LeerIni(c.archivoIni, "CORREO", clave, ""); };
    c.servidor = leer("Servidor");
    c.puerto = std::atoi(leer("Puerto").c_str());
    std::string s = basic::UCase(leer("Seguridad"));
    if (s == "STARTTLS")
      c.seguridad = Seguridad::StartTls;
    else if (s == "TLS" || s == "SSL" || s == "SMTPS")
      c.seguridad = Seguridad::Tls;
    c.usuario = leer("Usuario");
    c.clave = leer("Clave");
    c.remitente = leer("Remitente");
    c.nombreRemitente = leer("NombreRemitente");
    carpetaSalida = leer("CarpetaSalida");
    carpetaPendientes = leer("CarpetaPendientes");
    archivoLog = leer("ArchivoLog");
    archivoEntregas = leer("ArchivoEntregas");
    if (long t = std::atol(leer("TiempoEspera").c_str()); t > 0) c.tiempoEspera = t;
    if (long d = std::atol(leer("DiasReintento").c_str()); d > 0) c.diasReintento = d;
    s = basic::UCase(leer("VerificarCertificado"));
    c.verificarCertificado = !(s == "NO" || s == "0" || s == "FALSE");
  }
  c.carpetaSalida = Ruta(carpetaSalida, c.carpetaAplicacion, "CORREO/SALIDA");
  c.carpetaPendientes = Ruta(carpetaPendientes, c.carpetaAplicacion, "CORREO/PENDIENTES");
  c.archivoLog = Ruta(archivoLog, c.carpetaAplicacion, "TSPOST.LOG");
  c.archivoEntregas = Ruta(archivoEntregas, c.carpetaAplicacion, "CORREO/ENTREGAS.TXT");
  return c;
}

}  // namespace tspost
