#include "platform/basic/decimal.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace basic {

std::string DigitosRedondeados(double v, int decimales, bool mitadPar) {
  if (v == 0 || !std::isfinite(v)) return "0";
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, 14);
  const std::string t(buf, r.ptr);
  const size_t e = t.find('e');
  std::string d = t.substr(0, 1) + t.substr(2, e - 2);  // 15 digits
  const int exp10 = std::atoi(t.c_str() + e + 1);
  const long k = static_cast<long>(exp10) + 1 + decimales;  // digits to keep
  if (k < 0) return "0";
  while (static_cast<long>(d.size()) <= k) d += '0';
  std::string kept = d.substr(0, k);
  const char siguiente = d[k];
  bool restoCero = d.find_first_not_of('0', k + 1) == std::string::npos;
  bool arriba;
  if (siguiente > '5')
    arriba = true;
  else if (siguiente < '5')
    arriba = false;
  else if (!mitadPar || !restoCero)
    arriba = true;
  else
    arriba = !kept.empty() && ((kept.back() - '0') % 2 == 1);
  if (arriba) {
    int i = static_cast<int>(kept.size()) - 1;
    while (i >= 0 && kept[i] == '9') kept[i--] = '0';
    if (i >= 0)
      ++kept[i];
    else
      kept.insert(kept.begin(), '1');
  }
  const size_t nz = kept.find_first_not_of('0');
  return nz == std::string::npos ? "0" : kept.substr(nz);
}

}  // namespace basic
