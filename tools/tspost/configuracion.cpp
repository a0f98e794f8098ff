// Mail settings: section [CORREO] of TM440kv.INI in the application folder.
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <filesystem>

#include "companion/companion.h"
#include "companion/rutas_correo.h"
#include "tspost.h"
#include "platform/basic/correo.h"
#include "platform/basic/texto.h"
#include "platform/os/rutas.h"

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

namespace {

// A value that is not valid: the key, the value as written (shown visibly) and what is accepted.
void Invalido(Configuracion& c, const std::string& clave, const std::string& valor,
              const std::string& aceptados) {
  c.errores.push_back(clave + "=" + basic::TextoVisible(valor) + " no es un valor valido de [CORREO] (" +
                      aceptados + ")");
}

// A whole number from `minimo` to `maximo`; an empty value keeps `valor`.
template <typename T>
void LeerNumero(Configuracion& c, const std::string& clave, const std::string& texto, long minimo,
                long maximo, T& valor) {
  if (texto.empty()) return;
  long n = 0;
  const auto [fin, ec] = std::from_chars(texto.data(), texto.data() + texto.size(), n);
  if (ec != std::errc() || fin != texto.data() + texto.size() || n < minimo || n > maximo)
    return Invalido(c, clave, texto,
                    "un numero entero de " + std::to_string(minimo) + " a " + std::to_string(maximo));
  valor = static_cast<T>(n);
}

// A host name or an address: nothing that would change the meaning of the URL it goes into.
bool ServidorValido(const std::string& s) {
  for (unsigned char ch : s)
    if (!(std::isalnum(ch) || ch == '.' || ch == '-' || ch == '_' || ch == ':' || ch == '[' || ch == ']'))
      return false;
  return true;
}

std::string Carpeta(std::string ruta, const std::string& desde) {
  for (char& ch : ruta)
    if (ch == '\\') ch = '/';
  fs::path p(ruta);
  if (p.is_relative()) p = fs::path(desde) / p;
  return p.lexically_normal().string();
}

}  // namespace

Configuracion LeerConfiguracion(const std::string& carpetaPrograma, const std::string& archivoIni) {
  Configuracion c;
  const RutasCorreo rutas = LeerRutasCorreo(carpetaPrograma, archivoIni);
  c.archivoIni = rutas.archivoIni;
  c.carpetaAplicacion = rutas.carpetaAplicacion;
  c.carpetaSalida = rutas.carpetaSalida;
  c.carpetaPendientes = rutas.carpetaPendientes;
  c.pendientesDelIni = rutas.pendientesDelIni;
  c.archivoLog = rutas.archivoLog;
  c.archivoEntregas = rutas.archivoEntregas;
  c.carpetaPrograma = carpetaPrograma;
  // The run folders of the program's own application folder, never of an INI named apart:
  // that one may sit anywhere (a home folder, beside a netrc).
  const std::string envios = (fs::path(carpetaPrograma) / "E-MAILS" / "ENVIOS").string();
  const std::string hallada = os::BuscarArchivoSinCaso(envios);
  c.carpetasAdjuntos.push_back(hallada.empty() ? envios : hallada);

  if (!c.archivoIni.empty()) {
    ArchivoIni ini;
    auto leer = [&](const char* clave) { return ini.LeerIni(c.archivoIni, "CORREO", clave, ""); };
    c.servidor = leer("Servidor");
    if (!ServidorValido(c.servidor))
      Invalido(c, "Servidor", c.servidor, "un nombre de equipo o una direccion IP");
    LeerNumero(c, "Puerto", leer("Puerto"), 1, 65535, c.puerto);
    if (const std::string s = basic::UCase(leer("Seguridad")); s == "STARTTLS")
      c.seguridad = Seguridad::StartTls;
    else if (s == "TLS" || s == "SSL" || s == "SMTPS")
      c.seguridad = Seguridad::Tls;
    else if (!(s.empty() || s == "NINGUNA"))
      Invalido(c, "Seguridad", leer("Seguridad"), "NINGUNA, STARTTLS o TLS");
    c.usuario = leer("Usuario");
    c.buzonEntrada = leer("BuzonEntrada");
    c.usuarioEntrada = leer("UsuarioEntrada");
    c.claveEntrada = leer("ClaveEntrada");
    if (!c.buzonEntrada.empty() && basic::LCase(c.buzonEntrada).rfind("imap://", 0) != 0 &&
        basic::LCase(c.buzonEntrada).rfind("imaps://", 0) != 0)
      Invalido(c, "BuzonEntrada", c.buzonEntrada, "una URL imap:// o imaps://");
    c.clave = leer("Clave");
    if (std::string a = leer("ArchivoClave"); !a.empty()) c.archivoClave = Carpeta(a, c.carpetaAplicacion);
    if (const std::string s = basic::UCase(leer("Autenticacion")); s == "XOAUTH2" || s == "OAUTH2")
      c.autenticacion = Autenticacion::Xoauth2;
    else if (!(s.empty() || s == "CLAVE" || s == "PASSWORD" || s == "PLAIN" || s == "LOGIN"))
      Invalido(c, "Autenticacion", leer("Autenticacion"), "CLAVE o XOAUTH2");
    c.tokenComando = leer("TokenComando");
    LeerNumero(c, "TiempoToken", leer("TiempoToken"), 1, 3600, c.tiempoToken);
    c.remitente = leer("Remitente");
    if (!c.remitente.empty() && !basic::DireccionCorreoValida(c.remitente))
      Invalido(c, "Remitente", c.remitente, "una direccion de correo");
    c.nombreRemitente = leer("NombreRemitente");
    LeerNumero(c, "TiempoEspera", leer("TiempoEspera"), 1, 3600, c.tiempoEspera);
    LeerNumero(c, "DiasReintento", leer("DiasReintento"), 1, 365, c.diasReintento);
    if (const std::string s = basic::UCase(leer("VerificarCertificado"));
        s == "NO" || s == "0" || s == "FALSE")
      c.verificarCertificado = false;
    else if (!(s.empty() || s == "SI" || s == "S\u00cd" || s == "1" || s == "TRUE"))
      Invalido(c, "VerificarCertificado", leer("VerificarCertificado"), "SI o NO");
    for (const std::string& carpeta : basic::Split(leer("CarpetasAdjuntos"), ";"))
      if (const std::string t = basic::Trim(carpeta); !t.empty())
        c.carpetasAdjuntos.push_back(Carpeta(t, c.carpetaAplicacion));
  }
  return c;
}

}  // namespace tspost
