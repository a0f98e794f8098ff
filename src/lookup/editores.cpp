#include "lookup/editores.h"

#include "companion/companion.h"
#include "platform/basic/texto.h"

namespace {

struct Editor {
  const char* clave;
  const char* defecto;
};

constexpr Editor kTablas{"EditorTablas", "editor_tablas"};
constexpr Editor kClientesProveedores{"EditorClientesProveedores", "editor_clientes_proveedores"};
constexpr Editor kTecnicos{"EditorTecnicos", "editor_tecnicos"};
constexpr Editor kVendedores{"EditorVendedores", "editor_vendedores"};
constexpr Editor kArticulos{"EditorArticulos", "editor_articulos"};

}  // namespace

EditorTabla EditorDeTabla(const std::string& tabla) {
  const std::string t = basic::UCase(basic::Trim(tabla));
  Editor e = kTablas;
  std::string parametro = basic::Trim(tabla);
  if (t == "V_TA_RUBROS" || t == "V_TA_UNIDAD") {
  } else if (t == "VT_CLIENTES") {
    e = kClientesProveedores, parametro = "1";
  } else if (t == "VT_PROVEEDORES") {
    e = kClientesProveedores, parametro = "0";
  } else if (t == "V_TA_TECNICOS") {
    e = kTecnicos, parametro.clear();
  } else if (t == "V_TA_VENDEDORES") {
    e = kVendedores, parametro.clear();
  } else if (t == "V_MA_ARTICULOS" || t == "VT_MA_ARTICULOS") {
    e = kArticulos, parametro.clear();
  }
  const std::string programa =
      basic::Trim(gArchivoIni().LeerIni(kArchivoIniEquipo, "Consultas", e.clave, e.defecto));
  return {e.clave, programa.empty() ? e.defecto : programa, parametro};
}
