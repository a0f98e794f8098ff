#include "platform/basic/correo.h"

#include "platform/basic/texto.h"

namespace basic {

std::vector<std::string> DividirDirecciones(const std::string& lista) {
  std::vector<std::string> r;
  size_t i = 0;
  for (;;) {
    const size_t j = lista.find_first_of(";,", i);
    std::string parte = RecortarEspacios(lista.substr(i, j == std::string::npos ? std::string::npos : j - i));
    if (!parte.empty()) r.push_back(std::move(parte));
    if (j == std::string::npos) return r;
    i = j + 1;
  }
}

namespace {

// The UTF-8 sequence at s[i] as a code point, its length in `n`; 0 when it is not valid.
char32_t Codigo(const std::string& s, size_t i, size_t& n) {
  const auto b = static_cast<unsigned char>(s[i]);
  n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
  if (n == 0 || b >= 0xF8 || i + n > s.size()) return n = 1, 0;
  char32_t c = b & (0x3F >> (n - 1));
  for (size_t k = 1; k < n; ++k) {
    const auto t = static_cast<unsigned char>(s[i + k]);
    if ((t & 0xC0) != 0x80) return n = 1, 0;
    c = (c << 6) | (t & 0x3F);
  }
  static constexpr char32_t kMinimo[] = {0, 0, 0x80, 0x800, 0x10000};
  return c < kMinimo[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) ? 0 : c;
}

// A domain: dot-separated labels of letters (ASCII or an international domain's), digits
// and hyphens, none empty, none starting or ending with a hyphen.
bool DominioValido(const std::string& d) {
  if (d.empty() || d.size() > 253) return false;
  size_t largo = 0;  // bytes of the current label
  for (size_t i = 0; i < d.size();) {
    const auto b = static_cast<unsigned char>(d[i]);
    if (b == '.') {
      if (largo == 0 || d[i - 1] == '-') return false;
      largo = 0;
      ++i;
      continue;
    }
    if (b == '-') {
      if (largo == 0) return false;
    } else if (b < 0x80) {
      if (!((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9'))) return false;
    } else {
      size_t n = 0;
      const char32_t c = Codigo(d, i, n);
      // Letters of other scripts; not blanks, controls, separators or marks of order.
      if (c < 0xC0 || c == 0xD7 || c == 0xF7 || (c >= 0x2000 && c <= 0x206F) || c == 0x3000 || c == 0xFEFF)
        return false;
      largo += n;
      i += n;
      if (largo > 63) return false;
      continue;
    }
    if (++largo > 63) return false;
    ++i;
  }
  return largo > 0 && d.back() != '-';
}

}  // namespace

bool DireccionCorreoValida(const std::string& d) {
  const size_t arroba = d.find('@');
  if (arroba == std::string::npos || arroba == 0 || arroba > 64 || d.size() > 254) return false;
  for (size_t i = 0; i < arroba; ++i) {
    const auto c = static_cast<unsigned char>(d[i]);
    if (c <= 32 || c == 127 || c == '<' || c == '>' || c == '"' || c == ',' || c == ';' || c == '(' ||
        c == ')' || c == '\\' || c == '[' || c == ']' || c == ':')
      return false;
    if (c >= 0x80) {  // international local parts: valid UTF-8 without controls
      size_t n = 0;
      const char32_t cp = Codigo(d, i, n);
      if (cp < 0xA0 || (cp >= 0x2000 && cp <= 0x206F) || cp == 0xFEFF) return false;
      i += n - 1;
    }
  }
  return DominioValido(d.substr(arroba + 1));
}

}  // namespace basic
