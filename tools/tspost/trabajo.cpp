// The mail job file and the command line that names it.
#include <filesystem>

#include "platform/basic/archivos.h"
#include "platform/basic/correo.h"
#include "tspost.h"
#include "platform/basic/texto.h"

namespace fs = std::filesystem;

namespace tspost {
namespace {

std::vector<std::string> Dividir(const std::string& texto, const std::string& sep) {
  std::vector<std::string> partes;
  size_t i = 0;
  for (size_t j; (j = texto.find(sep, i)) != std::string::npos; i = j + sep.size())
    partes.push_back(texto.substr(i, j - i));
  partes.push_back(texto.substr(i));
  return partes;
}

// "KEY=" prefix of a job line, upper-cased; "" when the line holds no known key.
std::string Clave(const std::string& linea) {
  size_t igual = linea.find('=');
  if (igual == std::string::npos) return "";
  std::string k = basic::UCase(basic::RecortarEspacios(linea.substr(0, igual)));
  if (k == "DESTINATARIO" || k == "ASUNTO" || k == "MENSAJE" || k == "ARCHIVO") return k;
  return "";
}

std::string SinComillas(std::string t) {
  t = basic::RecortarEspacios(t);
  if (t.size() >= 2 && t.front() == '"' && t.back() == '"') t = t.substr(1, t.size() - 2);
  return t;
}

// Upper case with every run of blanks as one blank.
std::string Normalizar(const std::string& s) {
  std::string r;
  for (char c : s) {
    if (c == ' ' || c == '\t') {
      if (r.empty() || r.back() != ' ') r += ' ';
    } else {
      r += c;
    }
  }
  return basic::UCase(r);
}

// A subject or message line without control characters: each becomes a blank, a TAB in a
// message line (`tabulado`) the blanks up to the next tab stop of 8.
std::string SinControles(const std::string& s, bool tabulado) {
  std::string r;
  size_t columna = 0;
  for (size_t i = 0; i < s.size();) {
    if (const size_t n = basic::LargoControl(s, i)) {
      const size_t blancos = tabulado && s[i] == '\t' ? 8 - columna % 8 : 1;
      r.append(blancos, ' ');
      columna += blancos;
      i += n;
      continue;
    }
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) ++columna;  // one per UTF-8 character
    r += s[i++];
  }
  return r;
}

}  // namespace

Trabajo ParsearTrabajo(const std::string& bytes) {
  std::string texto = bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? bytes.substr(3) : basic::DeWindows1252(bytes);
  // A job written with CR LF keeps lone LFs as part of the message; one copied with
  // LF only has lost that difference and is read line by line.
  bool crlf = texto.find("\r\n") != std::string::npos;
  std::vector<std::string> lineas = Dividir(texto, crlf ? "\r\n" : "\n");
  if (!lineas.empty() && lineas.back().empty()) lineas.pop_back();

  Trabajo t;
  std::string ultima;
  auto agregarCuerpo = [&](const std::string& v) {
    for (std::string l : Dividir(v, "\n")) {
      if (!l.empty() && l.back() == '\r') l.pop_back();
      t.lineasMensaje.push_back(SinControles(l, true));
    }
  };
  for (size_t i = 0; i < lineas.size(); ++i) {
    std::string linea = lineas[i];
    if (!crlf && !linea.empty() && linea.back() == '\r') linea.pop_back();
    std::string k = Clave(linea);
    std::string v = k.empty() ? linea : linea.substr(linea.find('=') + 1);
    if (k.empty()) {
      // Text without a key continues the message (a line feed inside it).
      if (ultima == "MENSAJE") agregarCuerpo(v);
      continue;
    }
    ultima = k;
    if (k == "DESTINATARIO") {
      // A control character could smuggle another key or header in: the job is refused.
      if (!t.destinatarioTexto.empty()) t.destinatarioTexto += "; ";
      if (basic::TieneControl(v)) {
        t.destinatarioTexto += basic::TextoVisible(v);
        if (t.rechazo.empty())
          t.rechazo = "el destinatario tiene caracteres de control: " + basic::TextoVisible(v);
        continue;
      }
      t.destinatarioTexto += basic::RecortarEspacios(v);
      for (auto& d : basic::DividirDirecciones(v)) t.destinatarios.push_back(std::move(d));
    } else if (k == "ASUNTO") {
      t.asunto = basic::RecortarEspacios(SinControles(v, false));
    } else if (k == "MENSAJE") {
      // Each further message line comes as "MENSAJE=" + LF + text: the LF belongs to
      // the line break already made.
      if (!v.empty() && v.front() == '\n')
        v.erase(0, 1);
      else if (!crlf && v.empty() && i + 1 < lineas.size() && Clave(lineas[i + 1]).empty())
        v = lineas[++i];
      agregarCuerpo(v);
    } else if (k == "ARCHIVO") {
      if (basic::TieneControl(v)) {
        t.archivos.push_back(basic::TextoVisible(v));
        if (t.rechazo.empty())
          t.rechazo = "el archivo a adjuntar tiene caracteres de control: " + basic::TextoVisible(v);
        continue;
      }
      std::string ruta = SinComillas(v);
      if (!ruta.empty()) t.archivos.push_back(ruta);
    }
  }
  if (!t.rechazo.empty()) t.destinatarios.clear();  // nothing of a refused job is sent
  return t;
}

namespace {

// The path with ".." and symbolic links resolved as far as it exists, without a final "/".
std::string Resuelta(const std::string& ruta) {
  std::error_code ec;
  std::string r = fs::weakly_canonical(fs::path(ruta), ec).string();
  if (ec) return "";
  while (r.size() > 1 && r.back() == '/') r.pop_back();
  return r;
}

}  // namespace

bool DentroDeCarpetas(const std::string& ruta, const std::vector<std::string>& carpetas) {
  // A job names full paths: a relative one would hang from wherever tspost was started.
  if (ruta.empty() || ruta.front() != '/') return false;
  const std::string real = Resuelta(ruta);
  if (real.empty()) return false;
  for (const auto& c : carpetas) {
    if (c.empty() || c.front() != '/') continue;
    const std::string base = Resuelta(c);
    if (base.empty()) continue;
    const std::string prefijo = base == "/" ? base : base + "/";
    if (real.size() > prefijo.size() && real.compare(0, prefijo.size(), prefijo) == 0) return true;
  }
  return false;
}

std::string RechazoDelTrabajo(const Trabajo& t, const std::vector<std::string>& carpetas) {
  if (!t.rechazo.empty()) return t.rechazo;
  for (const auto& a : t.archivos)
    if (!DentroDeCarpetas(a, carpetas)) {
      std::string lista;
      for (const auto& c : carpetas) lista += (lista.empty() ? "" : "; ") + c;
      return "el archivo a adjuntar " + a + " esta fuera de las carpetas permitidas (" + lista +
             "; vea CarpetasAdjuntos en [CORREO])";
    }
  return "";
}

std::string RutaDeArgumentos(const std::vector<std::string>& args) {
  std::string t;
  for (const auto& a : args) t += (t.empty() ? "" : " ") + a;
  t = basic::RecortarEspacios(t);
  // The launch token: " ;vxqr@" as its own word, or glued to the path.
  size_t blanco = t.find_last_of(" \t");
  if (blanco != std::string::npos && t[blanco + 1] == ';')
    t = basic::RecortarEspacios(t.substr(0, blanco));
  else if (!t.empty() && t.front() == ';')
    t.clear();
  const std::string token = ";VXQR@";
  if (t.size() >= token.size() && basic::UCase(t.substr(t.size() - token.size())) == token)
    t = basic::RecortarEspacios(t.substr(0, t.size() - token.size()));
  return SinComillas(t);
}

std::string ResolverRuta(const std::string& ruta) {
  std::error_code ec;
  if (ruta.empty() || fs::exists(ruta, ec)) return ruta;
  fs::path p(ruta);
  fs::path actual = p.has_root_path() ? p.root_path() : fs::path(".");
  for (const auto& parte : p.relative_path()) {
    fs::path exacto = actual / parte;
    if (fs::exists(exacto, ec)) {
      actual = exacto;
      continue;
    }
    std::string buscado = Normalizar(parte.string());
    fs::path hallado;
    for (fs::directory_iterator it(actual, ec), end; !ec && it != end; it.increment(ec)) {
      if (Normalizar(it->path().filename().string()) == buscado) {
        hallado = it->path();
        break;
      }
    }
    if (hallado.empty()) return ruta;
    actual = hallado;
  }
  return p.has_root_path() ? actual.string() : actual.lexically_normal().string();
}

}  // namespace tspost
