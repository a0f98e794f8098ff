// The lookup definitions file (consultas.qzx): any bytes read as records without failing;
// a record's bytes, read and written again, come out the same length.
#include "fuzz/apoyo.h"
#include "lookup/definiciones.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo) {
  const std::string ruta = fuzz::Carpeta::Unica() / "consultas.qzx";
  fuzz::Escribir(ruta, fuzz::Texto(datos, largo));
  ArchivoDefiniciones archivo;
  if (!archivo.Abrir(ruta)) return 0;
  for (long n = 1; n <= archivo.Registros(); ++n) {
    const auto def = archivo.Leer(n);
    fuzz::Exigir(def.has_value(), "un registro contado que no se lee");
    fuzz::Exigir(def->Bytes().size() == static_cast<size_t>(kLargoDefConsulta), "registro de largo distinto");
    (void)ColumnasDefinicion(*def);
    (void)LimpiarCampoDefinicion(def->FiltroConsulta);
  }
  fuzz::Exigir(!archivo.Leer(archivo.Registros() + 1).has_value(), "un registro de más");
  (void)BuscarDefinicion(ruta, "VT_PROVEEDORES");
  return 0;
}
