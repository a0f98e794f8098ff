// Numbers and dates from text (Val, CDbl, CLng, CInt, IsNumeric, IsDate, CDate): any text
// reads without failing; the conversions raise only the classic run-time errors, and
// IsNumeric and IsDate say beforehand whether CDbl and CDate accept the text.
#include "fuzz/apoyo.h"
#include "platform/basic/error.h"
#include "platform/basic/fecha.h"
#include "platform/basic/formato.h"
#include "platform/basic/numero.h"

namespace {

template <class F>
bool Acepta(F f) {
  try {
    f();
    return true;
  } catch (const ErrorEjecucion&) {
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo) {
  const std::string s = fuzz::Texto(datos, largo);
  (void)basic::Val(s);
  const bool numerico = basic::IsNumeric(s);
  fuzz::Exigir(Acepta([&] { (void)basic::CDbl(s); }) == numerico, "IsNumeric y CDbl no coinciden");
  (void)Acepta([&] { (void)basic::CLng(s); });
  (void)Acepta([&] { (void)basic::CInt(s); });
  const bool fecha = basic::IsDate(s);
  fuzz::Exigir(Acepta([&] { (void)basic::CDate(s); }) == fecha, "IsDate y CDate no coinciden");
  if (fecha) {
    const basic::Fecha f = basic::CDate(s);
    (void)basic::Year(f);
    (void)basic::Format(basic::Variant::DeFecha(f), "");
  }
  (void)basic::Variant(s).Numero();
  return 0;
}
