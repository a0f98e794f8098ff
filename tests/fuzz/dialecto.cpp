// The T-SQL dialect translator of the embedded engine: any batch splits and translates
// without failing, never into more statements than it holds, and a date literal it
// accepts comes out as 'yyyy-mm-dd hh:mm:ss'.
#include <cctype>

#include "fuzz/apoyo.h"
#include "platform/ado/dialecto_sqlite.h"

namespace {

bool FormaIso(const std::string& s) {
  static const char kForma[] = "dddd-dd-dd dd:dd:dd";
  if (s.size() != sizeof kForma - 1) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    if (kForma[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(s[i])) : s[i] != kForma[i]) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo) {
  const std::string lote = fuzz::Texto(datos, largo);
  const auto divididas = ado::DividirLoteTSql(lote);
  const auto traducidas = ado::TraducirLoteTSql(lote);
  fuzz::Exigir(traducidas.size() <= divididas.size(), "más sentencias traducidas que escritas");
  (void)ado::TraducirTSql(lote);
  std::string iso;
  if (ado::FechaTSqlAIso(lote, iso)) fuzz::Exigir(FormaIso(iso), "fecha aceptada fuera de forma");
  return 0;
}
