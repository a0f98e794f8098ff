// INI files (TM440kv.INI): any bytes read without failing; a key written reads back as
// written, and the other keys keep their values.
#include "companion/companion.h"
#include "fuzz/apoyo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo) {
  static const bool preparado = [] {
    ArchivoIni::FijarCarpeta(fuzz::Carpeta::Unica().Ruta());
    return true;
  }();
  (void)preparado;
  const std::string ruta = fuzz::Carpeta::Unica() / "fuzz.ini";
  fuzz::Escribir(ruta, fuzz::Texto(datos, largo));
  ArchivoIni ini;
  const std::string antes = ini.LeerIni("FUZZ.INI", "ODBC", "Driver", "\x01");
  (void)ini.LeerIni("fuzz.ini", "Regional", "SeparadorDecimal", "");
  (void)ini.LeerIni("fuzz.ini", "CORREO", "Servidor", "");
  if (ini.GrabarIni("fuzz.ini", "Regional", "FechaCorta", "dd/mm/yyyy")) {
    fuzz::Exigir(ini.LeerIni("fuzz.ini", "Regional", "FechaCorta", "") == "dd/mm/yyyy",
                 "la clave grabada se lee distinta");
    fuzz::Exigir(ini.LeerIni("fuzz.ini", "ODBC", "Driver", "\x01") == antes, "grabar una clave cambió otra");
  }
  return 0;
}
