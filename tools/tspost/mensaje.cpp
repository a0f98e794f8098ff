// The MIME message: text body from the job's message lines, the order file attached.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>
#include <stdexcept>

#include "platform/basic/correo.h"
#include "tspost.h"
#include "platform/basic/texto.h"

namespace fs = std::filesystem;

namespace tspost {
namespace {

std::string Hex(uint64_t v, int digitos) {
  static const char* kHex = "0123456789abcdef";
  std::string s(digitos, '0');
  for (int i = digitos - 1; i >= 0; --i, v >>= 4) s[i] = kHex[v & 15];
  return s;
}

uint64_t Azar() {
  static std::mt19937_64 gen{
      std::random_device{}() ^
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
  return gen();
}

std::string NombreEquipo() {
  char h[256] = {};
  if (gethostname(h, sizeof h - 1) != 0 || !h[0]) return "localhost";
  return h;
}

std::string FechaRfc5322() {
  std::time_t ahora = std::time(nullptr);
  std::tm local{};
  localtime_r(&ahora, &local);
  static const char* kDias[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* kMeses[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char zona[8] = {};
  std::strftime(zona, sizeof zona, "%z", &local);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d %s", kDias[local.tm_wday], local.tm_mday,
                kMeses[local.tm_mon], local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec, zona);
  return buf;
}

// The attachment, read through one descriptor: O_NONBLOCK so that a FIFO in its place
// cannot hang the program, and only a regular file is read.
std::string LeerArchivo(const std::string& ruta) {
  const int fd = ::open(ruta.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    throw std::runtime_error(errno == ENOENT
                                 ? "no se puede leer el adjunto " + ruta + ": no existe"
                                 : "no se puede leer el adjunto " + ruta + " (" + std::strerror(errno) + ")");
  struct stat st {};
  std::string datos;
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  const bool comun = ok;
  char buf[65536];
  while (ok) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    datos.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  if (!comun) throw std::runtime_error("el adjunto " + ruta + " no es un archivo comun");
  if (!ok) throw std::runtime_error("no se puede leer el adjunto " + ruta);
  return datos;
}

std::string TipoContenido(const std::string& nombre) {
  std::string ext = basic::UCase(fs::path(nombre).extension().string());
  if (ext == ".HTML" || ext == ".HTM") return "text/html";
  if (ext == ".PDF") return "application/pdf";
  if (ext == ".TXT") return "text/plain";
  return "application/octet-stream";
}

bool EsTokenSeguro(const std::string& s) {
  if (s.empty() || !EsAscii(s)) return false;
  for (unsigned char c : s)
    if (c < 32 || c == 127 || c == '"' || c == '\\') return false;
  return true;
}

// RFC 2231 value: UTF-8''percent-encoded.
std::string ValorExtendido(const std::string& s) {
  static const char* kHex = "0123456789ABCDEF";
  std::string r = "UTF-8''";
  for (unsigned char c : s) {
    if (std::isalnum(c) || c == '.' || c == '-' || c == '_')
      r += static_cast<char>(c);
    else
      r += std::string{'%', kHex[c >> 4], kHex[c & 15]};
  }
  return r;
}

std::string Buzon(const std::string& nombre, const std::string& direccion) {
  if (nombre.empty()) return direccion;
  if (EsTokenSeguro(nombre)) return "\"" + nombre + "\" <" + direccion + ">";
  return CodificarEncabezado(nombre, 6) + " <" + direccion + ">";
}

}  // namespace

Mensaje ArmarMensaje(const Trabajo& t, const Configuracion& c) {
  Mensaje m;
  m.destinatarios = t.destinatarios;
  m.remitenteSobre = c.remitente;
  if (m.remitenteSobre.empty() && basic::DireccionCorreoValida(c.usuario)) m.remitenteSobre = c.usuario;
  if (m.remitenteSobre.empty()) m.remitenteSobre = "tspost@" + NombreEquipo();
  std::string dominio = m.remitenteSobre.substr(m.remitenteSobre.rfind('@') + 1);

  std::time_t ahora = std::time(nullptr);
  m.messageId = "<" + std::to_string(ahora) + "." + std::to_string(getpid()) + "." + Hex(Azar(), 16) + "@" +
                dominio + ">";
  const std::string limite = "=_tspost_" + Hex(Azar(), 16) + Hex(Azar(), 8);

  std::string para;
  for (const auto& d : t.destinatarios) para += (para.empty() ? "" : ",\r\n ") + d;

  std::string e;
  e += "Date: " + FechaRfc5322() + "\r\n";
  e += "From: " + Buzon(c.nombreRemitente, m.remitenteSobre) + "\r\n";
  e += "To: " + para + "\r\n";
  e += "Subject: " + CodificarEncabezado(t.asunto, 9) + "\r\n";
  e += "Message-ID: " + m.messageId + "\r\n";
  e += "MIME-Version: 1.0\r\n";
  e += "X-Mailer: tspost\r\n";
  e += "Content-Type: multipart/mixed; boundary=\"" + limite + "\"\r\n";
  e += "\r\n";
  e += "This is a multi-part message in MIME format.\r\n";

  std::string cuerpo;
  for (const auto& l : t.lineasMensaje) cuerpo += l + "\r\n";
  e += "--" + limite + "\r\n";
  e += "Content-Type: text/plain; charset=UTF-8\r\n";
  e += "Content-Transfer-Encoding: quoted-printable\r\n\r\n";
  e += QuotedPrintable(cuerpo);
  e += "\r\n";  // the line break before a boundary belongs to the boundary

  for (const auto& ruta : t.archivos) {
    std::string datos = LeerArchivo(ruta);
    std::string nombre = fs::path(ruta).filename().string();
    e += "--" + limite + "\r\n";
    if (EsTokenSeguro(nombre)) {
      e += "Content-Type: " + TipoContenido(nombre) + "; name=\"" + nombre + "\"\r\n";
      e += "Content-Disposition: attachment; filename=\"" + nombre + "\"\r\n";
    } else {
      // name= for older readers: one encoded word, never folded inside the quotes.
      e += "Content-Type: " + TipoContenido(nombre) + ";\r\n name=\"=?UTF-8?B?" + Base64(nombre, 0) +
           "?=\"\r\n";
      e += "Content-Disposition: attachment;\r\n filename*=" + ValorExtendido(nombre) + "\r\n";
    }
    e += "Content-Transfer-Encoding: base64\r\n\r\n";
    e += Base64(datos);
  }
  e += "--" + limite + "--\r\n";
  m.eml = std::move(e);
  return m;
}

}  // namespace tspost
