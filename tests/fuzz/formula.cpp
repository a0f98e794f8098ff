// Selection formulas (report engine): any text parses or raises the formula error; a
// parsed tree written back reads as the same tree, and its WHERE condition has one
// marker per bound value.
#include <algorithm>

#include "reports/formula.h"
#include "fuzz/apoyo.h"
#include "platform/basic/error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo) {
  const std::string formula = fuzz::Texto(datos, largo);
  try {
    (void)reporte::LeerFormulaValor(formula);
  } catch (const ErrorEjecucion&) {
  }
  std::unique_ptr<reporte::Nodo> arbol;
  try {
    arbol = reporte::ParsearFormula(formula);
  } catch (const ErrorEjecucion&) {
    return 0;
  }
  if (!arbol) return 0;
  const std::string escrito = reporte::TextoArbol(*arbol);
  std::unique_ptr<reporte::Nodo> otra;
  try {
    otra = reporte::ParsearFormula(escrito);
  } catch (const ErrorEjecucion&) {
    fuzz::Exigir(false, "el árbol escrito no se vuelve a leer");
  }
  fuzz::Exigir(otra && reporte::TextoArbol(*otra) == escrito, "el árbol escrito se lee distinto");

  const reporte::Fragmento f = reporte::SqlFormula(*arbol, {});
  fuzz::Exigir(static_cast<size_t>(std::count(f.sql.begin(), f.sql.end(), '?')) == f.valores.size(),
               "un marcador por valor");
  (void)reporte::Enlazar(f);
  try {
    (void)reporte::SqlFormula(*arbol, {"OC", "Proveedores"}, formula);
  } catch (const ErrorEjecucion&) {
  }
  return 0;
}
