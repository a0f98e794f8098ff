// BASES.TXT, the registered connections: any bytes read without failing, and each record
// read, written back as a line, reads back the same.
#include "connection/bases.h"
#include "fuzz/apoyo.h"

namespace {

bool Iguales(const RegistroBases& a, const RegistroBases& b) {
  return a.clave == b.clave && a.base == b.base && a.usuario == b.usuario && a.servidor == b.servidor;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo) {
  const std::string ruta = fuzz::Carpeta::Unica() / "BASES.TXT";
  fuzz::Escribir(ruta, fuzz::Texto(datos, largo));
  for (const RegistroBases& r : LeerBases(ruta)) {
    const std::string linea = LineaBases(r.clave, r.base, r.usuario, "", r.servidor);
    const RegistroBases leido = LeerLineaBases(linea);
    if (!Iguales(leido, r)) {
      std::fprintf(stderr, "registro [%s] [%s] [%s] [%s]\nlínea %s\nleído [%s] [%s] [%s] [%s]\n",
                   r.clave.c_str(), r.base.c_str(), r.usuario.c_str(), r.servidor.c_str(), linea.c_str(),
                   leido.clave.c_str(), leido.base.c_str(), leido.usuario.c_str(), leido.servidor.c_str());
      fuzz::Exigir(false, "el registro escrito se lee distinto");
    }
    (void)ClaveBases(r.base, r.servidor);
  }
  return 0;
}
