#include "lookup/definiciones.h"

#include "lookup/lib_clscons3.h"
#include "platform/basic/archivos.h"
#include "platform/basic/error.h"
#include "platform/basic/texto.h"
#include "platform/os/rutas.h"

namespace {

constexpr size_t kLargos[] = {100, 100, 500, 500, 2};

struct Predeterminada {
  const char* tabla;
  const char* titulo;
  const char* campos;
};

const Predeterminada kPredeterminadas[] = {
    {"V_MA_ARTICULOS", "ARTICULOS", "|DESCRIPCION|IDARTICULO|"},
    {"VT_CLIENTES", "CLIENTES", "|RAZON_SOCIAL|CODIGO|CONTACTO|"},
    {"VT_PROVEEDORES", "PROVEEDORES", "|RAZON_SOCIAL|CODIGO|"},
    {"MA_CONTACTOS", "CONTACTOS", "|Nombre_y_Apellido|Domicilio|Localidad|Telefono|"},
    {"V_TA_VENDEDORES", "VENDEDORES", "|NOMBRE|IDVENDEDOR|"},
    {"V_TA_TECNICOS", "TECNICOS", "|NOMBRE|IDTECNICO|"},
    {"V_MA_MANTENIMIENTOS", "MANTENIMIENTOS", "|DESCRIPCION|CODIGO|"},
    {"MA_CUENTAS", "CUENTAS", "|DESCRIPCION|CODIGO|"},
    {"V_TA_Tareas  ", "TAREAS", "|Descripcion|IdTarea| "},
    {"V_TA_UnidadNegocio", "UnidadNegocio", "|Descripcion|Codigo|"},
    {"V_TA_DEPOSITO", "DEPOSITO", "|Descripcion|IdDeposito|"},
};

}  // namespace

std::string DefConsulta::Bytes() const {
  return basic::CampoFijo(TituloConsulta, kLargos[0]) + basic::CampoFijo(TablaConsulta, kLargos[1]) +
         basic::CampoFijo(CamposConsulta, kLargos[2]) + basic::CampoFijo(FiltroConsulta, kLargos[3]) +
         basic::CampoFijo(FinDeLinea, kLargos[4]);
}

DefConsulta DefConsulta::DesdeBytes(const std::string& bytes) {
  std::string b = bytes.substr(0, kLargoDefConsulta);
  b.resize(kLargoDefConsulta, '\0');
  DefConsulta d;
  std::string* campos[] = {&d.TituloConsulta, &d.TablaConsulta, &d.CamposConsulta, &d.FiltroConsulta,
                           &d.FinDeLinea};
  size_t desde = 0;
  for (int i = 0; i < 5; ++i) {
    *campos[i] = basic::DeWindows1252(b.substr(desde, kLargos[i]));
    desde += kLargos[i];
  }
  return d;
}

std::string LimpiarCampoDefinicion(const std::string& campo) {
  std::string sinNul;
  sinNul.reserve(campo.size());
  for (char c : campo)
    if (c != '\0') sinNul += c;
  return basic::Trim(basic::Replace(sinNul, basic::Chr(255), ""));
}

std::string ColumnasDefinicion(const DefConsulta& def) {
  // Cleaned like the table name: a short last record reads as NUL bytes.
  std::string c = basic::Replace(LimpiarCampoDefinicion(def.CamposConsulta), "|", ",");
  if (!c.empty() && c.front() == ',') c.erase(0, 1);
  if (!c.empty() && c.back() == ',') c.pop_back();
  if (basic::Trim(c).empty()) c = "*";
  return c;
}

void GenerarConsultas(const std::string& ruta) {
  basic::ArchivoRegistros archivo(ruta, kLargoDefConsulta);
  for (const auto& p : kPredeterminadas) {
    DefConsulta d;
    d.TituloConsulta = basic::Trim(p.titulo);
    d.TablaConsulta = p.tabla;
    d.CamposConsulta = basic::Trim(p.campos);
    d.FiltroConsulta = "";
    d.FinDeLinea = "\r\n";
    archivo.Escribir(archivo.LOF() / kLargoDefConsulta + 1, d.Bytes());
  }
  archivo.Cerrar();
}

void GenerarConsultas() { GenerarConsultas(gClsCons3().gRutaMascaraConsultas); }

bool ArchivoDefiniciones::Abrir(const std::string& ruta) {
  bytes_.clear();
  registros_ = 0;
  if (!os::ArchivoExisteSinCaso(ruta)) return false;
  try {
    basic::ArchivoRegistros archivo(ruta, kLargoDefConsulta);
    const uint64_t largo = archivo.LOF();
    registros_ = static_cast<long>((largo + kLargoDefConsulta - 1) / kLargoDefConsulta);
    for (long n = 1; n <= registros_; ++n) bytes_ += archivo.Leer(static_cast<uint64_t>(n));
  } catch (const ErrorEjecucion&) {
    bytes_.clear();
    registros_ = 0;
    return false;
  }
  return true;
}

std::optional<DefConsulta> ArchivoDefiniciones::Leer(long n) const {
  if (n < 1 || n > registros_) return std::nullopt;
  return DefConsulta::DesdeBytes(
      bytes_.substr(static_cast<size_t>(n - 1) * kLargoDefConsulta, kLargoDefConsulta));
}

std::optional<DefConsulta> BuscarDefinicion(const std::string& ruta, const std::string& tabla) {
  ArchivoDefiniciones archivo;
  if (!archivo.Abrir(ruta)) return std::nullopt;
  const std::string buscada = basic::Trim(tabla);
  for (long n = 1; n <= archivo.Registros(); ++n) {
    auto def = archivo.Leer(n);
    if (def && basic::IgualesSinCaso(LimpiarCampoDefinicion(def->TablaConsulta), buscada)) return def;
  }
  return std::nullopt;
}
