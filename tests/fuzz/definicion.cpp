// Report definition files (.rpt): any text reads as a definition or raises the
// definition error. "Usar" may name a file beside the one read, never elsewhere.
#include <cctype>

#include "reports/definicion.h"
#include "fuzz/apoyo.h"
#include "platform/basic/error.h"

namespace {

// A Usar line whose value leaves the fuzzer's folder.
bool UsarFuera(const std::string& texto) {
  std::string bajo = texto;
  for (char& c : bajo) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (size_t p = bajo.find("usar"); p != std::string::npos; p = bajo.find("usar", p + 1)) {
    const size_t fin = bajo.find('\n', p);
    const std::string resto = bajo.substr(p, fin == std::string::npos ? fin : fin - p);
    if (resto.find('/') != std::string::npos || resto.find("..") != std::string::npos) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo) {
  const std::string texto = fuzz::Texto(datos, largo);
  if (UsarFuera(texto)) return 0;
  static const std::string otro = [] {
    const std::string ruta = fuzz::Carpeta::Unica() / "otro.rpt";
    fuzz::Escribir(ruta, "[Reporte]\nSentencia = SELECT * FROM OC\n[Plantilla]\n<p>{{NUMERO}}</p>\n");
    return ruta;
  }();
  (void)otro;
  try {
    const reporte::Definicion d = reporte::LeerDefinicion(texto, fuzz::Carpeta::Unica() / "fuzz.rpt");
    fuzz::Exigir(!d.sentencia.empty() && d.plantillaCompilada, "definición sin sentencia o plantilla");
    for (const auto& s : d.subreportes) {
      fuzz::Exigir(d.BuscarSubreporte(s.nombre) != nullptr, "subreporte leído que no se encuentra");
      (void)d.Formato(s.nombre, "IMPORTE");
    }
    (void)d.Formato("", "FECHA");
    (void)d.plantillaCompilada->render(kainjow::mustache::data{});
  } catch (const ErrorEjecucion&) {
  }
  return 0;
}
