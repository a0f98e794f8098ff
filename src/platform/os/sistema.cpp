// The real machine: local clock, host name, user and environment.
#include "platform/os/sistema.h"

#include <pwd.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <strings.h>
#include <unistd.h>

#include <cstring>
#include <ctime>

extern char** environ;

namespace os {

namespace {

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
long DiasDesdeEpoca(int y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long>(doe) - 719468;
}

// 1899-12-30, day 0 of an OLE date, counted from 1970-01-01.
constexpr long kDiaCeroOle = -25569;

Sistema gReal;
Sistema* gActual = &gReal;

}  // namespace

basic::Fecha Sistema::Ahora() const {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  const long dias = DiasDesdeEpoca(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) - kDiaCeroOle;
  const double segundos = tm.tm_hour * 3600.0 + tm.tm_min * 60.0 + tm.tm_sec;
  return static_cast<double>(dias) + segundos / 86400.0;
}

std::string Sistema::NombreEquipo() const {
  char buf[256] = {};
  if (gethostname(buf, sizeof buf - 1) != 0) return "";
  std::string nombre(buf);
  // The suite knows a computer by its short name, without the domain.
  if (auto p = nombre.find('.'); p != std::string::npos && p > 0) nombre.resize(p);
  return nombre;
}

std::string Sistema::UsuarioSistema() const {
  if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name && *pw->pw_name) return pw->pw_name;
  for (const char* n : {"USER", "LOGNAME"})
    if (auto v = Entorno(n); v && !v->empty()) return *v;
  return "";
}

std::optional<std::string> Sistema::Entorno(const std::string& nombre) const {
  if (nombre.empty()) return std::nullopt;
  if (const char* v = std::getenv(nombre.c_str())) return std::string(v);
  for (char** e = environ; e && *e; ++e) {
    const char* igual = std::strchr(*e, '=');
    if (!igual) continue;
    const size_t n = static_cast<size_t>(igual - *e);
    if (n == nombre.size() && strncasecmp(*e, nombre.c_str(), n) == 0) return std::string(igual + 1);
  }
  return std::nullopt;
}

Sistema& sistema() { return *gActual; }

void InstalarSistema(Sistema* s) { gActual = s ? s : &gReal; }

void DesactivarVolcados() {
  const rlimit cero{0, 0};
  ::setrlimit(RLIMIT_CORE, &cero);
  ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

}  // namespace os
