// The SMTP login: where the password comes from. The application folder is shared by
// everyone who runs the suite, so a password kept there in clear is the last choice.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/basic/archivos.h"
#include "platform/basic/texto.h"
#include "tspost.h"

namespace tspost {
namespace {

std::string Permisos(mode_t modo) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04o", static_cast<unsigned>(modo & 07777));
  return buf;
}

bool LegibleParaOtros(mode_t modo) { return (modo & (S_IRGRP | S_IROTH)) != 0; }

// Reads the whole file behind an open descriptor.
bool LeerDescriptor(int fd, std::string& datos) {
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    datos.append(buf, static_cast<size_t>(n));
  }
}

bool Utf8Valido(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    size_t n = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : 9;
    if (n == 9 || (n == 1 && b < 0xC2) || i + n >= s.size()) return false;
    for (size_t k = 1; k <= n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n + 1;
  }
  return true;
}

// The user's netrc: $HOME/.netrc, the home folder of the account when HOME is not set.
std::string RutaNetrc() {
  std::string casa;
  if (const char* h = std::getenv("HOME"); h && *h) {
    casa = h;
  } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
    casa = pw->pw_dir;
  }
  return casa.empty() ? "" : casa + "/.netrc";
}

// The netrc's tokens, as libcurl reads them: blanks separate, a double-quoted token may
// hold blanks and \" escapes, a line starting with '#' is a comment, and a "macdef" runs to
// the next empty line.
std::vector<std::string> Tokens(const std::string& texto) {
  std::vector<std::string> r;
  std::istringstream in(texto);
  std::string linea;
  bool enMacro = false;
  while (std::getline(in, linea)) {
    if (!linea.empty() && linea.back() == '\r') linea.pop_back();
    if (enMacro) {
      enMacro = !basic::Trim(linea).empty();
      continue;
    }
    const size_t inicio = linea.find_first_not_of(" \t"), antes = r.size();
    if (inicio == std::string::npos || linea[inicio] == '#') continue;
    for (size_t i = inicio; i < linea.size();) {
      if (linea[i] == ' ' || linea[i] == '\t') {
        ++i;
        continue;
      }
      std::string t;
      if (linea[i] == '"') {
        for (++i; i < linea.size() && linea[i] != '"'; ++i) {
          if (linea[i] == '\\' && i + 1 < linea.size()) ++i;
          t += linea[i];
        }
        ++i;
      } else {
        for (; i < linea.size() && linea[i] != ' ' && linea[i] != '\t'; ++i) t += linea[i];
      }
      r.push_back(t);
    }
    for (size_t k = antes; k < r.size(); ++k) enMacro = enMacro || r[k] == "macdef";
  }
  return r;
}

}  // namespace

bool BuscarEntradaNetrc(const std::string& texto, const std::string& servidor, const std::string& usuario,
                        EntradaNetrc& entrada) {
  struct Entrada {
    bool delServidor = false;  // "machine <servidor>"; "default" never counts
    bool conLogin = false, conClave = false;
    EntradaNetrc datos;
  };
  std::vector<Entrada> entradas;
  const std::vector<std::string> t = Tokens(texto);
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] == "machine" && i + 1 < t.size()) {
      entradas.push_back({basic::IgualesSinCaso(t[++i], servidor), false, false, {}});
    } else if (t[i] == "default") {
      entradas.push_back({});
    } else if (t[i] == "login" && i + 1 < t.size()) {
      ++i;
      if (!entradas.empty()) entradas.back().conLogin = true, entradas.back().datos.login = t[i];
    } else if (t[i] == "password" && i + 1 < t.size()) {
      ++i;
      if (!entradas.empty()) entradas.back().conClave = true, entradas.back().datos.clave = t[i];
    } else if (t[i] == "account" && i + 1 < t.size()) {
      ++i;
    }
  }
  for (const auto& e : entradas)
    if (e.delServidor && e.conLogin && e.conClave && !e.datos.login.empty() &&
        (usuario.empty() || e.datos.login == usuario)) {
      entrada = e.datos;
      return true;
    }
  return false;
}

bool LeerArchivoClave(const std::string& ruta, std::string& clave, std::string& motivo) {
  // O_NONBLOCK: a FIFO in its place must not hang the program. O_NOFOLLOW: a link could
  // point at a file its owner never meant as this password.
  const int fd = ::open(ruta.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
  if (fd < 0) {
    const int e = errno;
    struct stat enlace {};
    if (e == ENOENT)
      motivo = "no existe";
    else if (e == ELOOP || (::lstat(ruta.c_str(), &enlace) == 0 && S_ISLNK(enlace.st_mode)))
      motivo = "es un enlace simbolico; ponga en su lugar el archivo mismo (no se sigue un enlace)";
    else
      motivo = std::string("no se puede abrir (") + std::strerror(e) + ")";
    return false;
  }
  struct stat st {};
  std::string datos;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    motivo = "no es un archivo comun";
  } else if (st.st_uid != ::geteuid()) {
    const passwd* pw = ::getpwuid(::geteuid());
    motivo = "no es del usuario que ejecuta tspost; hagalo suyo con chown " +
             (pw && pw->pw_name ? std::string(pw->pw_name) : std::to_string(::geteuid())) + " " + ruta;
  } else if (LegibleParaOtros(st.st_mode)) {
    motivo = "lo pueden leer otros usuarios (permisos " + Permisos(st.st_mode) +
             "); protejalo con chmod 600 " + ruta;
  } else if (!LeerDescriptor(fd, datos)) {
    motivo = std::string("no se puede leer (") + std::strerror(errno) + ")";
  }
  ::close(fd);
  if (!motivo.empty()) return false;
  if (datos.rfind("\xEF\xBB\xBF", 0) == 0) datos.erase(0, 3);
  // Only the line end goes: blanks, "=" and ";" are part of the password.
  datos = datos.substr(0, datos.find('\n'));
  if (!datos.empty() && datos.back() == '\r') datos.pop_back();
  if (datos.empty()) {
    motivo = "la primera linea esta vacia";
    return false;
  }
  clave = Utf8Valido(datos) ? datos : basic::DeWindows1252(datos);
  return true;
}

Credenciales ObtenerCredenciales(const Configuracion& c) {
  Credenciales r;
  if (c.autenticacion == Autenticacion::Xoauth2) {
    // A fresh token before each connection: a refused one is asked for again on the retry.
    r.origen = OrigenClave::Token;
    r.usuario = c.usuario;
    std::string motivo;
    if (c.usuario.empty())
      r.error = "con Autenticacion=XOAUTH2 falta Usuario (la cuenta de correo que inicia la sesion)";
    else if (!ObtenerToken(c.tokenComando, c.carpetaAplicacion, c.tiempoToken, kMaximoToken, r.clave, motivo))
      r.error = "no se obtuvo el token de acceso: " + motivo + "; no se envia sin el token";
    return r;
  }
  if (const std::string netrc = RutaNetrc(); !netrc.empty()) {
    const int fd = ::open(netrc.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    std::string texto;
    EntradaNetrc entrada;
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
      if (LegibleParaOtros(st.st_mode))
        r.avisos.push_back("el archivo " + netrc + " lo pueden leer otros usuarios (permisos " +
                           Permisos(st.st_mode) + "): no se usa; protejalo con chmod 600 " + netrc);
      else if (LeerDescriptor(fd, texto) && BuscarEntradaNetrc(texto, c.servidor, c.usuario, entrada))
        r.origen = OrigenClave::Netrc;
    }
    std::fill(texto.begin(), texto.end(), '\0');
    if (fd >= 0) ::close(fd);
    if (r.origen == OrigenClave::Netrc) {
      r.usuario = entrada.login;
      r.clave = entrada.clave;
      return r;
    }
  }
  if (c.usuario.empty()) return r;  // no login
  r.usuario = c.usuario;
  if (!c.archivoClave.empty()) {
    r.origen = OrigenClave::Archivo;
    std::string motivo;
    if (!LeerArchivoClave(c.archivoClave, r.clave, motivo))
      r.error = "no se puede usar el archivo de clave " + c.archivoClave + ": " + motivo +
                "; no se envia sin la clave";
    return r;
  }
  r.origen = OrigenClave::Ini;
  r.clave = c.clave;
  struct stat st {};
  if (!c.clave.empty() && ::stat(c.archivoIni.c_str(), &st) == 0 && LegibleParaOtros(st.st_mode))
    r.avisos.push_back("la clave SMTP esta en " + c.archivoIni +
                       ", que pueden leer otros usuarios (permisos " + Permisos(st.st_mode) +
                       "); guardela en ~/.netrc o en ArchivoClave");
  return r;
}

}  // namespace tspost
