// The delivery journal (ENTREGAS.TXT): any bytes read without failing, every line read has
// its seven fields free of TAB and line ends, and written back reads back the same. Then a
// PC's folder of the journal: the input up to its first form feed as the PC's summary, the
// rest as a month file; the folder reads without failing, and a line the writer appends
// beside whatever the summary says is read back.
#include <algorithm>
#include <filesystem>

#include "fuzz/apoyo.h"
#include "platform/basic/diario_entregas.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo) {
  const std::string texto = fuzz::Texto(datos, largo);
  const std::vector<basic::LineaEntrega> lineas = basic::LeerDiario(texto);
  for (const basic::LineaEntrega& l : lineas) {
    const std::string escrita = basic::LineaDiario(l);
    fuzz::Exigir(escrita.find("\r\n") == escrita.size() - 2, "un fin de linea dentro de un campo");
    const std::vector<basic::LineaEntrega> leida = basic::LeerDiario(escrita);
    fuzz::Exigir(leida.size() == 1 && leida[0] == l, "la linea escrita se lee distinta");
  }
  (void)basic::UltimoEstadoPorArchivo(lineas);

  const std::string entregas = fuzz::Carpeta::Unica() / "ENTREGAS.TXT";
  const std::string pc = fuzz::Carpeta::Unica() / "ENTREGAS/PC-A";
  std::error_code ec;
  std::filesystem::remove_all(fuzz::Carpeta::Unica() / "ENTREGAS", ec);
  std::filesystem::create_directories(pc, ec);
  const size_t corte = std::min(texto.find('\f'), texto.size());
  fuzz::Escribir(pc + "/RESUMEN.TXT", texto.substr(0, corte));
  fuzz::Escribir(pc + "/2026-11.TXT", texto.substr(std::min(corte + 1, texto.size())));
  (void)basic::LeerDiarios(entregas);
  // Dated before the month file: a clock set back, the hardest place to put it.
  const basic::LineaEntrega nueva{
      "2026-10-01 08:00:00", "FUZZ-NUEVA.html", "a@b.com", basic::kEntregaFallido, "550", "<f@z>", "fz"};
  fuzz::Exigir(basic::AgregarAlDiarioDelEquipo(entregas, nueva, "PC-A"), "no se pudo agregar la linea");
  const std::vector<basic::LineaEntrega> leidas = basic::LeerDiarios(entregas);
  fuzz::Exigir(std::find(leidas.begin(), leidas.end(), nueva) != leidas.end(), "la linea agregada no se lee");
  return 0;
}
