#include "platform/basic/fecha.h"

#include <cctype>
#include <cmath>
#include <optional>

#include "platform/basic/error.h"
#include "platform/basic/regional.h"
#include "platform/basic/texto.h"

namespace basic {

namespace {

[[noreturn]] void ArgumentoInvalido(const char* rutina) {
  throw ErrorEjecucion(5, "Llamada a procedimiento o argumento no válidos", rutina);
}

// Days since 1970-01-01 of a proleptic Gregorian date.
constexpr long DiasDesdeCivil(long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long>(doe) - 719468;
}

void CivilDesdeDias(long z, int& y, int& m, int& d) {
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long yy = static_cast<long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

constexpr long kEpoca = DiasDesdeCivil(1899, 12, 30);  // constant: usable during static start-up

// A date split into its calendar day (days since 30/12/1899) and seconds of the day.
struct Partes {
  long dia;
  long segundos;
};

// A date outside 1/1/100 - 31/12/9999 (or not a number) has no calendar day: error 6,
// the classic overflow, instead of an out-of-range conversion to long below.
Partes Descomponer(Fecha f) {
  if (!(f > -657435.0 && f < 2958466.0)) throw ErrorEjecucion(6, "Desbordamiento", "Fecha");
  const double entero = std::trunc(f);
  long dia = static_cast<long>(entero);
  long segundos = std::lround(std::fabs(f - entero) * 86400.0);
  if (segundos >= 86400) {
    segundos -= 86400;
    ++dia;
  }
  return {dia, segundos};
}

// Negative dates keep the time as a positive fraction after the minus sign.
Fecha Componer(long dia, long segundos) {
  dia += segundos / 86400;
  segundos %= 86400;
  if (segundos < 0) {
    segundos += 86400;
    --dia;
  }
  const double t = segundos / 86400.0;
  return dia >= 0 ? dia + t : dia - t;
}

int DiasDelMes(int y, int m) {
  static const int dias[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
  return dias[m - 1];
}

long DiaSerial(long y, long m, long d) {
  y += (m - 1 >= 0 ? (m - 1) / 12 : (m - 12) / 12);
  m = ((m - 1) % 12 + 12) % 12 + 1;
  if (y < 100 || y > 9999) ArgumentoInvalido("DateSerial");
  return DiasDesdeCivil(y, static_cast<unsigned>(m), 1) - kEpoca + (d - 1);
}

int AnioCompleto(int y, int digitos) {
  if (digitos <= 2) return y < 30 ? 2000 + y : 1900 + y;
  return y;
}

// Order of day, month and year in the regional short date, e.g. "dmy".
std::string OrdenRegional() {
  std::string orden;
  for (char c : regional().fechaCorta) {
    const char l = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if ((l == 'd' || l == 'm' || l == 'y') && orden.find(l) == std::string::npos) orden += l;
  }
  return orden.size() == 3 ? orden : "dmy";
}

struct Lector {
  const std::string& s;
  size_t i = 0;
  bool Fin() const { return i >= s.size(); }
  // Up to max digits; count returned in n.
  std::optional<int> Numero(int max, int* n = nullptr) {
    int v = 0, k = 0;
    while (i < s.size() && k < max && std::isdigit(static_cast<unsigned char>(s[i]))) {
      v = v * 10 + (s[i++] - '0');
      ++k;
    }
    if (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) return std::nullopt;
    if (n) *n = k;
    return k ? std::optional<int>(v) : std::nullopt;
  }
  void Blancos() {
    while (i < s.size() && s[i] == ' ') ++i;
  }
};

std::optional<Fecha> LeerFecha(const std::string& texto) {
  const std::string s = Trim(texto);
  Lector l{s};
  int n1 = 0, n2 = 0, n3 = 0;
  auto a = l.Numero(4, &n1);
  if (!a || l.Fin()) return std::nullopt;
  const char sep = s[l.i];
  if (sep != '/' && sep != '-' && sep != '.') return std::nullopt;
  ++l.i;
  auto b = l.Numero(2, &n2);
  if (!b || l.Fin() || s[l.i] != sep) return std::nullopt;
  ++l.i;
  auto c = l.Numero(4, &n3);
  if (!c) return std::nullopt;

  int y, m, d, digitosAnio;
  if (n1 == 4) {  // yyyy-mm-dd
    y = *a;
    m = *b;
    d = *c;
    digitosAnio = 4;
    if (n3 > 2) return std::nullopt;
  } else {
    const std::string orden = OrdenRegional();
    const int valores[3] = {*a, *b, *c};
    const int digitos[3] = {n1, n2, n3};
    y = m = d = digitosAnio = 0;
    for (int k = 0; k < 3; ++k) {
      if (orden[k] == 'y') {
        y = valores[k];
        digitosAnio = digitos[k];
      } else if (digitos[k] > 2) {
        return std::nullopt;
      } else if (orden[k] == 'm') {
        m = valores[k];
      } else {
        d = valores[k];
      }
    }
    if (digitosAnio != 2 && digitosAnio != 4) return std::nullopt;
  }
  y = AnioCompleto(y, digitosAnio);
  if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DiasDelMes(y, m)) return std::nullopt;
  const long dia = DiasDesdeCivil(y, m, d) - kEpoca;

  long segundos = 0;
  if (!l.Fin()) {
    const size_t antes = l.i;
    l.Blancos();
    if (l.i == antes) return std::nullopt;
    auto h = l.Numero(2);
    if (!h || l.Fin() || s[l.i] != ':') return std::nullopt;
    ++l.i;
    auto mi = l.Numero(2);
    if (!mi) return std::nullopt;
    int se = 0;
    if (!l.Fin() && s[l.i] == ':') {
      ++l.i;
      auto x = l.Numero(2);
      if (!x) return std::nullopt;
      se = *x;
    }
    int hora = *h;
    l.Blancos();
    if (!l.Fin()) {
      const std::string sufijo = UCase(s.substr(l.i));
      const bool pm = sufijo == "PM" || sufijo == "P.M." || sufijo == "P. M.";
      const bool am = sufijo == "AM" || sufijo == "A.M." || sufijo == "A. M.";
      if (!pm && !am) return std::nullopt;
      if (hora < 1 || hora > 12) return std::nullopt;
      hora = hora % 12 + (pm ? 12 : 0);
    }
    if (hora > 23 || *mi > 59 || se > 59) return std::nullopt;
    segundos = hora * 3600L + *mi * 60L + se;
  }
  return Componer(dia, segundos);
}

long DiaDe(Fecha f) { return Descomponer(f).dia; }

}  // namespace

Fecha DateSerial(int year, int month, int day) {
  if (year >= 0 && year < 100) year = AnioCompleto(year, 2);
  return static_cast<Fecha>(DiaSerial(year, month, day));
}

Fecha TimeSerial(int hour, int minute, int second) {
  return (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

int Year(Fecha f) {
  int y, m, d;
  CivilDesdeDias(DiaDe(f) + kEpoca, y, m, d);
  return y;
}
int Month(Fecha f) {
  int y, m, d;
  CivilDesdeDias(DiaDe(f) + kEpoca, y, m, d);
  return m;
}
int Day(Fecha f) {
  int y, m, d;
  CivilDesdeDias(DiaDe(f) + kEpoca, y, m, d);
  return d;
}
int Hour(Fecha f) { return static_cast<int>(Descomponer(f).segundos / 3600); }
int Minute(Fecha f) { return static_cast<int>(Descomponer(f).segundos / 60 % 60); }
int Second(Fecha f) { return static_cast<int>(Descomponer(f).segundos % 60); }

int Weekday(Fecha f, int primerDia) {
  if (primerDia < 1 || primerDia > 7) ArgumentoInvalido("Weekday");
  // 30/12/1899 was a Saturday.
  const long k = (DiaDe(f) + 6 - (primerDia - 1)) % 7;
  return static_cast<int>((k + 7) % 7) + 1;
}

Fecha DateValue(Fecha f) { return static_cast<Fecha>(DiaDe(f)); }
Fecha TimeValue(Fecha f) { return Descomponer(f).segundos / 86400.0; }

bool IsDate(const std::string& texto) { return LeerFecha(texto).has_value(); }

bool IsDate(const Variant& v) {
  if (v.Tipo() == TipoVariant::Date) return true;
  if (const std::string* s = v.Cadena()) return IsDate(*s);
  return false;
}

Fecha CDate(const std::string& texto) {
  auto f = LeerFecha(texto);
  if (!f) throw ErrorEjecucion(13, "No coinciden los tipos", "CDate");
  return *f;
}

Fecha CDate(const Variant& v) {
  if (v.EsNull()) throw ErrorEjecucion(94, "Uso no válido de Null", "CDate");
  if (const std::string* s = v.Cadena()) return CDate(*s);
  return v.AFecha();
}

std::tm ATm(Fecha f) {
  const Partes p = Descomponer(f);
  int y, m, d;
  CivilDesdeDias(p.dia + kEpoca, y, m, d);
  std::tm t{};
  t.tm_year = y - 1900;
  t.tm_mon = m - 1;
  t.tm_mday = d;
  t.tm_hour = static_cast<int>(p.segundos / 3600);
  t.tm_min = static_cast<int>(p.segundos / 60 % 60);
  t.tm_sec = static_cast<int>(p.segundos % 60);
  t.tm_wday = Weekday(f) - 1;
  t.tm_yday = static_cast<int>(DiasDesdeCivil(y, m, d) - DiasDesdeCivil(y, 1, 1));
  t.tm_isdst = -1;
  return t;
}

Fecha FechaDesdeTm(const std::tm& t) {
  const long dia = DiaSerial(t.tm_year + 1900L, t.tm_mon + 1L, t.tm_mday);
  return Componer(dia, t.tm_hour * 3600L + t.tm_min * 60L + t.tm_sec);
}

Fecha DateAdd(const std::string& intervalo, double numero, Fecha f) {
  const std::string i = LCase(intervalo);
  const long n = static_cast<long>(std::trunc(numero));
  const Partes p = Descomponer(f);
  long meses = 0;
  if (i == "yyyy")
    meses = n * 12;
  else if (i == "q")
    meses = n * 3;
  else if (i == "m")
    meses = n;
  else if (i == "d" || i == "y" || i == "w")
    return Componer(p.dia + n, p.segundos);
  else if (i == "ww")
    return Componer(p.dia + 7 * n, p.segundos);
  else if (i == "h")
    return Componer(p.dia, p.segundos + n * 3600);
  else if (i == "n")
    return Componer(p.dia, p.segundos + n * 60);
  else if (i == "s")
    return Componer(p.dia, p.segundos + n);
  else
    ArgumentoInvalido("DateAdd");
  int y, m, d;
  CivilDesdeDias(p.dia + kEpoca, y, m, d);
  long total = y * 12L + (m - 1) + meses;
  const int ny = static_cast<int>(total / 12), nm = static_cast<int>(total % 12) + 1;
  if (ny < 100 || ny > 9999) ArgumentoInvalido("DateAdd");
  const int nd = std::min(d, DiasDelMes(ny, nm));
  return Componer(DiasDesdeCivil(ny, nm, nd) - kEpoca, p.segundos);
}

long DateDiff(const std::string& intervalo, Fecha f1, Fecha f2) {
  const std::string i = LCase(intervalo);
  const Partes a = Descomponer(f1), b = Descomponer(f2);
  auto piso = [](long x, long d) { return x >= 0 ? x / d : -((-x + d - 1) / d); };
  const long sa = a.dia * 86400 + a.segundos, sb = b.dia * 86400 + b.segundos;
  if (i == "d" || i == "y") return b.dia - a.dia;
  if (i == "w") return (b.dia - a.dia) / 7;
  if (i == "ww") return piso(b.dia - 1, 7) - piso(a.dia - 1, 7);  // Sundays crossed
  if (i == "h") return piso(sb, 3600) - piso(sa, 3600);
  if (i == "n") return piso(sb, 60) - piso(sa, 60);
  if (i == "s") return sb - sa;
  if (i == "m" || i == "q" || i == "yyyy") {
    const long ma = Year(f1) * 12L + Month(f1) - 1, mb = Year(f2) * 12L + Month(f2) - 1;
    if (i == "m") return mb - ma;
    if (i == "q") return piso(mb, 3) - piso(ma, 3);
    return Year(f2) - Year(f1);
  }
  ArgumentoInvalido("DateDiff");
}

}  // namespace basic
