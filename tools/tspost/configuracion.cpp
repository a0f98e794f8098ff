// Mail settings: section [CORREO] of TM440kv.INI in the application folder.
#include <cstdlib>
#include <filesystem>

#include "companion/companion.h"
#include "companion/rutas_correo.h"
#include "tspost.h"
#include "platform/basic/texto.h"

namespace fs = std::filesystem;

namespace tspost {

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
  const RutasCorreo rutas = LeerRutasCorreo(carpetaAplicacion, archivoIni);
  c.archivoIni = rutas.archivoIni;
  c.carpetaAplicacion = rutas.carpetaAplicacion;
  c.carpetaSalida = rutas.carpetaSalida;
  c.carpetaPendientes = rutas.carpetaPendientes;
  c.archivoLog = rutas.archivoLog;
  c.archivoEntregas = rutas.archivoEntregas;

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
    if (std::string a = leer("ArchivoClave"); !a.empty()) {
      for (char& ch : a)
        if (ch == '\\') ch = '/';
      fs::path p(a);
      if (p.is_relative()) p = fs::path(c.carpetaAplicacion) / p;
      c.archivoClave = p.lexically_normal().string();
    }
    c.autenticacionTexto = basic::Trim(leer("Autenticacion"));
    s = basic::UCase(c.autenticacionTexto);
    if (s == "XOAUTH2" || s == "OAUTH2")
      c.autenticacion = Autenticacion::Xoauth2;
    else if (!(s.empty() || s == "CLAVE" || s == "PASSWORD" || s == "PLAIN" || s == "LOGIN"))
      c.autenticacion = Autenticacion::Desconocida;
    c.tokenComando = leer("TokenComando");
    if (long t = std::atol(leer("TiempoToken").c_str()); t > 0) c.tiempoToken = t;
    c.remitente = leer("Remitente");
    c.nombreRemitente = leer("NombreRemitente");
    if (long t = std::atol(leer("TiempoEspera").c_str()); t > 0) c.tiempoEspera = t;
    if (long d = std::atol(leer("DiasReintento").c_str()); d > 0) c.diasReintento = d;
    s = basic::UCase(leer("VerificarCertificado"));
    c.verificarCertificado = !(s == "NO" || s == "0" || s == "FALSE");
  }
  return c;
}

}  // namespace tspost
