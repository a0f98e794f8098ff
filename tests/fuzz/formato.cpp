// Format: a value and a pattern taken from the input (value type by the first byte, then
// the value text, a newline, the pattern) give a text without failing; a pattern may
// raise only the run-time error of the classic function.
#include <cmath>

#include "fuzz/apoyo.h"
#include "platform/basic/error.h"
#include "platform/basic/formato.h"
#include "platform/basic/numero.h"

namespace {

basic::Variant Valor(uint8_t tipo, const std::string& texto) {
  const double d = basic::Val(texto);
  const bool entero = std::fabs(d) < 2e9;   // fits Long
  const bool moneda = std::fabs(d) < 9e14;  // fits Currency
  switch (tipo % 7) {
    case 0: return basic::Variant(texto);
    case 1: return basic::Variant(d);
    case 2: return basic::Variant::DeFecha(d);
    case 3: return basic::Variant(static_cast<int32_t>(entero ? d : 0));
    case 4: return basic::Variant(basic::Moneda::DesdeDouble(moneda ? d : 0));
    case 5: return basic::Variant(!texto.empty());
    default: return basic::Variant::Null();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo) {
  if (largo == 0) return 0;
  const std::string resto = fuzz::Texto(datos + 1, largo - 1);
  const size_t salto = resto.find('\n');
  const std::string texto = resto.substr(0, salto);
  const std::string patron = salto == std::string::npos ? "" : resto.substr(salto + 1);
  const basic::Variant v = Valor(datos[0], texto);
  try {
    (void)basic::Format(v, patron);
    (void)basic::FormatRegional(v, patron);
  } catch (const ErrorEjecucion&) {
  }
  try {
    (void)basic::FormatFecha(basic::Val(texto), patron);
  } catch (const ErrorEjecucion&) {
  }
  return 0;
}
