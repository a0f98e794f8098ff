#include "platform/basic/texto.h"

#include <algorithm>
#include <cstdio>

#include "platform/basic/error.h"
#include "platform/basic/windows1252.h"

namespace basic {

namespace {

const char32_t kAlto1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

[[noreturn]] void ArgumentoInvalido(const char* rutina) {
  throw ErrorEjecucion(5, "Llamada a procedimiento o argumento no válidos", rutina);
}

// The character at p[i], i moved past it. An invalid byte is one character 0xDC00 + b.
char32_t SiguienteCodigo(const unsigned char* p, size_t n, size_t& i) {
  const unsigned char b = p[i];
  if (b < 0x80) {
    ++i;
    return b;
  }
  int extra = 0;
  char32_t c = 0;
  if (b >= 0xC2 && b <= 0xDF) {
    extra = 1;
    c = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    extra = 2;
    c = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    extra = 3;
    c = b & 0x07;
  }
  bool ok = extra > 0 && i + extra < n;
  if (ok) {
    for (int k = 1; k <= extra; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (p[i + k] & 0x3F);
    }
  }
  // Overlong forms, surrogates and values past U+10FFFF are not valid UTF-8.
  if (ok && ((extra == 2 && c < 0x800) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)) ||
             (c >= 0xD800 && c <= 0xDFFF)))
    ok = false;
  if (!ok) {
    ++i;
    return static_cast<char32_t>(0xDC00 + b);
  }
  i += extra + 1;
  return c;
}

std::u32string Plegar(std::u32string s, int compare) {
  if (compare != 0)
    for (auto& c : s) c = Minuscula(c);
  return s;
}

void Agregar(std::string& out, char32_t c) {
  if (c >= 0xDC80 && c <= 0xDCFF) {  // an invalid byte kept as it was
    out += static_cast<char>(c - 0xDC00);
  } else if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// 0-based index of buscado in s from index desde, npos when absent.
size_t Buscar(const std::u32string& s, const std::u32string& buscado, size_t desde, int compare) {
  return Plegar(s, compare).find(Plegar(buscado, compare), desde);
}

}  // namespace

char32_t Mayuscula(char32_t c) {
  if (c >= U'a' && c <= U'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  if (c == 0xFF) return 0x178;
  if (c == 0x161 || c == 0x153 || c == 0x17E) return c - 1;  // š œ ž
  return c;
}

char32_t Minuscula(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c == 0x178) return 0xFF;
  if (c == 0x160 || c == 0x152 || c == 0x17D) return c + 1;
  return c;
}

char32_t CodigoDeByte1252(unsigned char b) {
  if (b >= 0x80 && b < 0xA0) return kAlto1252[b - 0x80];
  return b;
}

int Byte1252DeCodigo(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
  for (int i = 0; i < 32; ++i)
    if (kAlto1252[i] == c) return 0x80 + i;
  return -1;
}

std::u32string ACodigos(const std::string& s) {
  std::u32string out;
  out.reserve(s.size());
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  for (size_t i = 0; i < s.size();) out += SiguienteCodigo(p, s.size(), i);
  return out;
}

std::string DeCodigos(const std::u32string& codigos) {
  std::string out;
  out.reserve(codigos.size());
  for (char32_t c : codigos) Agregar(out, c);
  return out;
}

std::string LTrim(const std::string& s) {
  const size_t i = s.find_first_not_of(' ');
  return i == std::string::npos ? std::string() : s.substr(i);
}

std::string RTrim(const std::string& s) {
  const size_t i = s.find_last_not_of(' ');
  return i == std::string::npos ? std::string() : s.substr(0, i + 1);
}

std::string Trim(const std::string& s) { return LTrim(RTrim(s)); }

std::string RecortarEspacios(const std::string& s) {
  const char* blancos = " \t\r\n\v\f";
  const size_t a = s.find_first_not_of(blancos);
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(blancos) - a + 1);
}

std::string UCase(const std::string& s) { return PlegarMayusculas(s); }

std::string LCase(const std::string& s) {
  auto c = ACodigos(s);
  for (auto& x : c) x = Minuscula(x);
  return DeCodigos(c);
}

std::string PlegarMayusculas(std::string_view texto) {
  std::string r(texto);
  auto* p = reinterpret_cast<unsigned char*>(r.data());
  for (size_t i = 0; i < r.size(); ++i) {
    const unsigned char b = p[i];
    if (b < 0x80) {
      if (b >= 'a' && b <= 'z') p[i] = static_cast<unsigned char>(b - 32);
    } else if (b >= 0xC2 && b <= 0xDF && i + 1 < r.size() && (p[i + 1] & 0xC0) == 0x80) {
      // Every letter of the table is a two-byte sequence, and so is its pair.
      const char32_t c = ((b & 0x1Fu) << 6) | (p[i + 1] & 0x3Fu);
      const char32_t m = Mayuscula(c);
      p[i] = static_cast<unsigned char>(0xC0 | (m >> 6));
      p[i + 1] = static_cast<unsigned char>(0x80 | (m & 0x3F));
      ++i;
    }
  }
  return r;
}

int CompararSinCaso(std::string_view a, std::string_view b) {
  const auto* pa = reinterpret_cast<const unsigned char*>(a.data());
  const auto* pb = reinterpret_cast<const unsigned char*>(b.data());
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const char32_t x = Minuscula(SiguienteCodigo(pa, a.size(), i));
    const char32_t y = Minuscula(SiguienteCodigo(pb, b.size(), j));
    if (x != y) return x < y ? -1 : 1;
  }
  if (i < a.size()) return 1;
  return j < b.size() ? -1 : 0;
}

int Len(const std::string& s) { return static_cast<int>(ACodigos(s).size()); }

std::string Left(const std::string& s, int n) {
  if (n < 0) ArgumentoInvalido("Left");
  const auto c = ACodigos(s);
  return DeCodigos(c.substr(0, std::min<size_t>(n, c.size())));
}

std::string Right(const std::string& s, int n) {
  if (n < 0) ArgumentoInvalido("Right");
  const auto c = ACodigos(s);
  const size_t k = std::min<size_t>(n, c.size());
  return DeCodigos(c.substr(c.size() - k));
}

std::string Mid(const std::string& s, int start, int length) {
  if (start < 1 || length < -1) ArgumentoInvalido("Mid");
  const auto c = ACodigos(s);
  if (static_cast<size_t>(start) > c.size()) return "";
  return DeCodigos(length < 0 ? c.substr(start - 1) : c.substr(start - 1, length));
}

int InStr(int start, const std::string& s, const std::string& buscado, int compare) {
  if (start < 1) ArgumentoInvalido("InStr");
  const auto c = ACodigos(s);
  if (c.empty() || static_cast<size_t>(start) > c.size()) return 0;
  if (buscado.empty()) return start;
  const size_t i = Buscar(c, ACodigos(buscado), start - 1, compare);
  return i == std::u32string::npos ? 0 : static_cast<int>(i) + 1;
}

int InStr(const std::string& s, const std::string& buscado, int compare) {
  return InStr(1, s, buscado, compare);
}

int InStrRev(const std::string& s, const std::string& buscado, int start, int compare) {
  if (start == 0 || start < -1) ArgumentoInvalido("InStrRev");
  const auto c = ACodigos(s);
  const auto b = ACodigos(buscado);
  if (start == -1) start = static_cast<int>(c.size());
  if (static_cast<size_t>(start) > c.size()) return 0;
  if (b.empty()) return start;
  if (b.size() > static_cast<size_t>(start)) return 0;
  // The match must end at or before position start.
  const size_t i = Plegar(c, compare).rfind(Plegar(b, compare), start - b.size());
  return i == std::u32string::npos ? 0 : static_cast<int>(i) + 1;
}

std::string Replace(const std::string& s, const std::string& buscado, const std::string& nuevo, int start,
                    int count, int compare) {
  if (start < 1 || count < -1) ArgumentoInvalido("Replace");
  const auto c = ACodigos(s);
  if (static_cast<size_t>(start) > c.size()) return "";
  const auto resto = c.substr(start - 1);
  const auto b = ACodigos(buscado);
  if (b.empty() || count == 0) return DeCodigos(resto);
  const auto plegado = Plegar(resto, compare);
  const auto bp = Plegar(b, compare);
  const auto n = ACodigos(nuevo);
  std::u32string out;
  size_t desde = 0;
  int hechos = 0;
  while (count < 0 || hechos < count) {
    const size_t i = plegado.find(bp, desde);
    if (i == std::u32string::npos) break;
    out.append(resto, desde, i - desde);
    out += n;
    desde = i + b.size();
    ++hechos;
  }
  out.append(resto, desde, std::u32string::npos);
  return DeCodigos(out);
}

int StrComp(const std::string& a, const std::string& b, int compare) {
  const auto x = Plegar(ACodigos(a), compare);
  const auto y = Plegar(ACodigos(b), compare);
  const int r = x.compare(y);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

bool IgualesSinCaso(const std::string& a, const std::string& b) { return StrComp(a, b, CompararTexto) == 0; }

std::string Space(int n) {
  if (n < 0) ArgumentoInvalido("Space");
  return std::string(n, ' ');
}

std::string String(int n, const std::string& ch) {
  if (n < 0 || ch.empty()) ArgumentoInvalido("String");
  const std::string uno = DeCodigos(ACodigos(ch).substr(0, 1));
  std::string out;
  out.reserve(uno.size() * n);
  for (int i = 0; i < n; ++i) out += uno;
  return out;
}

std::string String(int n, int codigo) { return String(n, Chr(codigo)); }

std::vector<std::string> Split(const std::string& s, const std::string& delimitador, int limit, int compare) {
  std::vector<std::string> partes;
  if (s.empty() || limit == 0) return partes;
  if (limit < -1) ArgumentoInvalido("Split");
  const auto c = ACodigos(s);
  const auto d = ACodigos(delimitador);
  if (d.empty()) return {s};
  const auto plegado = Plegar(c, compare);
  const auto dp = Plegar(d, compare);
  size_t desde = 0;
  while (limit < 0 || static_cast<int>(partes.size()) < limit - 1) {
    const size_t i = plegado.find(dp, desde);
    if (i == std::u32string::npos) break;
    partes.push_back(DeCodigos(c.substr(desde, i - desde)));
    desde = i + d.size();
  }
  partes.push_back(DeCodigos(c.substr(desde)));
  return partes;
}

std::string Join(const std::vector<std::string>& partes, const std::string& delimitador) {
  std::string out;
  for (size_t i = 0; i < partes.size(); ++i) {
    if (i) out += delimitador;
    out += partes[i];
  }
  return out;
}

int Asc(const std::string& s) {
  if (s.empty()) ArgumentoInvalido("Asc");
  const char32_t c = ACodigos(s)[0];
  if (c >= 0xDC80 && c <= 0xDCFF) return static_cast<int>(c - 0xDC00);
  const int b = Byte1252DeCodigo(c);
  return b < 0 ? '?' : b;
}

std::string Chr(int codigo) {
  if (codigo < 0 || codigo > 255) ArgumentoInvalido("Chr");
  std::string out;
  Agregar(out, CodigoDeByte1252(static_cast<unsigned char>(codigo)));
  return out;
}

std::string DoblarComillas(const std::string& s) { return Replace(s, "'", "''"); }

size_t LargoControl(const std::string& s, size_t i) {
  const auto b = static_cast<unsigned char>(s[i]);
  if (b < 32 || b == 127) return 1;
  if (b == 0xC2 && i + 1 < s.size()) {
    const auto c = static_cast<unsigned char>(s[i + 1]);
    if (c >= 0x80 && c <= 0x9F) return 2;
  }
  if (b == 0xE2 && i + 2 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0x80) {
    const auto c = static_cast<unsigned char>(s[i + 2]);
    if (c == 0xA8 || c == 0xA9) return 3;
  }
  return 0;
}

bool TieneControl(const std::string& s) {
  for (size_t i = 0; i < s.size(); ++i)
    if (LargoControl(s, i) > 0) return true;
  return false;
}

std::string TextoVisible(const std::string& s) {
  std::string r;
  r.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    const size_t n = LargoControl(s, i);
    if (n == 0) {
      r += s[i];
      continue;
    }
    char buf[8];
    const auto b = static_cast<unsigned char>(s[i]);
    switch (n == 1 ? b : 0) {
      case '\r': r += "\\r"; break;
      case '\n': r += "\\n"; break;
      case '\t': r += "\\t"; break;
      case 0:
        if (n == 1) {
          r += "\\0";
        } else {
          const unsigned cp = n == 2 ? static_cast<unsigned char>(s[i + 1])
                                     : 0x2000u + static_cast<unsigned char>(s[i + 2]) - 0x80u;
          std::snprintf(buf, sizeof buf, "\\u%04X", cp);
          r += buf;
        }
        break;
      default: std::snprintf(buf, sizeof buf, "\\x%02X", b); r += buf;
    }
    i += n - 1;
  }
  return r;
}

}  // namespace basic
