// The delivery journal (ENTREGAS.TXT): any bytes read without failing, every line read has
// its seven fields free of TAB and line ends, and written back reads back the same.
#include "fuzz/apoyo.h"
#include "platform/basic/diario_entregas.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo) {
  const std::vector<basic::LineaEntrega> lineas = basic::LeerDiario(fuzz::Texto(datos, largo));
  for (const basic::LineaEntrega& l : lineas) {
    const std::string escrita = basic::LineaDiario(l);
    fuzz::Exigir(escrita.find("\r\n") == escrita.size() - 2, "un fin de linea dentro de un campo");
    const std::vector<basic::LineaEntrega> leida = basic::LeerDiario(escrita);
    fuzz::Exigir(leida.size() == 1 && leida[0] == l, "la linea escrita se lee distinta");
  }
  (void)basic::UltimoEstadoPorArchivo(lineas);
  return 0;
}
