#include "platform/basic/numero.h"

#include <charconv>
#include <cmath>
#include <optional>

#include "platform/basic/decimal.h"
#include "platform/basic/error.h"
#include "platform/basic/regional.h"

namespace basic {

namespace {

[[noreturn]] void TiposDistintos(const char* rutina) {
  throw ErrorEjecucion(13, "No coinciden los tipos", rutina);
}

[[noreturn]] void Desbordamiento(const char* rutina) { throw ErrorEjecucion(6, "Desbordamiento", rutina); }

bool EsDigito(char c) { return c >= '0' && c <= '9'; }

// Parses "[-]digits[.digits][e[+-]digits]" with from_chars, which ignores the C locale.
double DesdeNormalizado(const std::string& t) {
  double v = 0;
  const char* inicio = t.data();
  if (!t.empty() && t[0] == '+') ++inicio;
  auto r = std::from_chars(inicio, t.data() + t.size(), v);
  if (r.ec == std::errc::result_out_of_range) return std::signbit(v) ? -HUGE_VAL : HUGE_VAL;
  return v;
}

// "&H1F", "&O17", "&17": hexadecimal or octal. Up to 4 digits give a 16-bit value and
// up to 8 a 32-bit one, so "&HFFFF" is -1 as in the classic language.
std::optional<double> Radix(const std::string& s, size_t i, size_t* fin, bool completo) {
  if (i >= s.size() || s[i] != '&') return std::nullopt;
  ++i;
  int base = 8;
  if (i < s.size() && (s[i] == 'H' || s[i] == 'h')) {
    base = 16;
    ++i;
  } else if (i < s.size() && (s[i] == 'O' || s[i] == 'o')) {
    ++i;
  }
  uint64_t valor = 0;
  size_t digitos = 0;
  while (i < s.size()) {
    const char c = s[i];
    int d = -1;
    if (c >= '0' && c <= '7')
      d = c - '0';
    else if (base == 16 && (c == '8' || c == '9'))
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    if (d < 0) break;
    valor = valor * base + d;
    if (valor > 0xFFFFFFFFull) return std::nullopt;
    ++digitos;
    ++i;
  }
  if (digitos == 0 || (completo && i != s.size())) return std::nullopt;
  if (fin) *fin = i;
  if (valor <= 0xFFFF && (base == 16 ? digitos <= 4 : valor <= 0177777))
    return static_cast<double>(static_cast<int16_t>(valor));
  return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(valor)));
}

// A number written with the regional separators, the whole text (blanks around allowed).
std::optional<double> LeerRegional(const std::string& texto) {
  const Regional& r = regional();
  size_t a = texto.find_first_not_of(" \t");
  if (a == std::string::npos) return std::nullopt;
  size_t b = texto.find_last_not_of(" \t");
  const std::string s = texto.substr(a, b - a + 1);
  if (s[0] == '&') return Radix(s, 0, nullptr, true);

  std::string normal;
  size_t i = 0;
  if (s[i] == '+' || s[i] == '-') {
    if (s[i] == '-') normal += '-';
    ++i;
    while (i < s.size() && s[i] == ' ') ++i;
  }
  const std::string& dec = r.separadorDecimal.empty() ? std::string(".") : r.separadorDecimal;
  const std::string miles = r.separadorMiles == dec ? std::string() : r.separadorMiles;
  auto en = [&](const std::string& sep) { return !sep.empty() && s.compare(i, sep.size(), sep) == 0; };

  // Integer part, with thousands separators only between groups of three digits.
  size_t enteros = 0, grupo = 0;
  bool conMiles = false;
  while (i < s.size()) {
    if (EsDigito(s[i])) {
      normal += s[i++];
      ++enteros;
      ++grupo;
    } else if (en(miles) && enteros > 0) {
      if ((conMiles && grupo != 3) || (!conMiles && grupo > 3)) return std::nullopt;
      conMiles = true;
      grupo = 0;
      i += miles.size();
    } else {
      break;
    }
  }
  if (conMiles && grupo != 3) return std::nullopt;
  size_t decimales = 0;
  if (en(dec)) {
    i += dec.size();
    normal += '.';
    while (i < s.size() && EsDigito(s[i])) {
      normal += s[i++];
      ++decimales;
    }
  }
  if (enteros + decimales == 0) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    normal += 'e';
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) normal += s[i++];
    size_t exp = 0;
    while (i < s.size() && EsDigito(s[i])) {
      normal += s[i++];
      ++exp;
    }
    if (exp == 0) return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;
  if (normal.back() == '.') normal.pop_back();
  return DesdeNormalizado(normal);
}

int32_t ALong(double v, const char* rutina) {
  const double r = Round(v, 0);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) Desbordamiento(rutina);
  return static_cast<int32_t>(r);
}

int16_t AInteger(double v, const char* rutina) {
  const double r = Round(v, 0);
  if (!(r >= -32768.0 && r <= 32767.0)) Desbordamiento(rutina);
  return static_cast<int16_t>(r);
}

}  // namespace

double Val(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
  if (i < s.size() && s[i] == '&') {
    size_t fin = 0;
    auto v = Radix(s, i, &fin, false);
    return v ? *v : 0.0;
  }
  std::string normal;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    if (s[i] == '-') normal += '-';
    ++i;
  }
  size_t digitos = 0;
  while (i < s.size() && EsDigito(s[i])) {
    normal += s[i++];
    ++digitos;
  }
  if (i < s.size() && s[i] == '.') {
    ++i;
    normal += '.';
    while (i < s.size() && EsDigito(s[i])) {
      normal += s[i++];
      ++digitos;
    }
  }
  if (digitos == 0) return 0.0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    size_t j = i + 1;
    std::string exp = "e";
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) exp += s[j++];
    const size_t inicio = j;
    while (j < s.size() && EsDigito(s[j])) exp += s[j++];
    if (j > inicio) normal += exp;
  }
  if (normal.back() == '.') normal.pop_back();
  const double v = DesdeNormalizado(normal);
  return v == 0 ? 0.0 : v;  // no negative zero
}

// A number beyond the range of a Double is not numeric: CDbl would overflow on it.
bool IsNumeric(const std::string& s) {
  const auto v = LeerRegional(s);
  return v && !std::isinf(*v);
}

bool IsNumeric(const Variant& v) {
  if (v.EsNull()) return false;
  if (v.EsEmpty() || v.EsNumerico()) return true;
  if (const std::string* s = v.Cadena()) return IsNumeric(*s);
  return false;  // dates
}

double CDbl(const std::string& s) {
  auto v = LeerRegional(s);
  if (!v) TiposDistintos("CDbl");
  if (std::isinf(*v)) Desbordamiento("CDbl");
  return *v;
}

double CDbl(const Variant& v) {
  if (v.EsNull()) throw ErrorEjecucion(94, "Uso no válido de Null", "CDbl");
  if (const std::string* s = v.Cadena()) return CDbl(*s);
  return v.Numero();
}

int32_t CLng(const std::string& s) { return ALong(CDbl(s), "CLng"); }
int32_t CLng(const Variant& v) { return ALong(CDbl(v), "CLng"); }
int16_t CInt(const std::string& s) { return AInteger(CDbl(s), "CInt"); }
int16_t CInt(const Variant& v) { return AInteger(CDbl(v), "CInt"); }

double Round(double v, int decimales) {
  if (decimales < 0) throw ErrorEjecucion(5, "Llamada a procedimiento o argumento no válidos", "Round");
  if (decimales > 15 || !std::isfinite(v)) return v;
  std::string d = DigitosRedondeados(v, decimales, true);
  while (static_cast<int>(d.size()) <= decimales) d.insert(d.begin(), '0');
  std::string t =
      (v < 0 ? "-" : "") + d.substr(0, d.size() - decimales) + "." + d.substr(d.size() - decimales);
  const double r = DesdeNormalizado(t);
  return r == 0 ? 0.0 : r;
}

double Int(double v) { return std::floor(v); }
double Fix(double v) { return std::trunc(v); }

std::string Str(double v) {
  const std::string t = NumeroATexto(v, ".");
  return v < 0 ? t : " " + t;
}

std::string NumeroATexto(double v, const std::string& separadorDecimal) {
  if (v == 0) return "0";
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
  std::string t(buf, r.ptr);
  const size_t e = t.find('e');
  std::string mantisa = t.substr(0, e);
  std::string exponente = e == std::string::npos ? "" : t.substr(e + 1);
  if (mantisa.find('.') != std::string::npos) {  // general format may keep trailing zeros
    while (mantisa.back() == '0') mantisa.pop_back();
    if (mantisa.back() == '.') mantisa.pop_back();
  }
  const size_t p = mantisa.find('.');
  if (p != std::string::npos) mantisa.replace(p, 1, separadorDecimal);
  if (exponente.empty()) return mantisa;
  return mantisa + "E" + exponente;
}

}  // namespace basic
