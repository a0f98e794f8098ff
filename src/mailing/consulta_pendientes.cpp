#include "mailing/consulta_pendientes.h"

#include "platform/basic/fecha.h"
#include "platform/basic/formato.h"
#include "platform/basic/regional.h"
#include "platform/basic/texto.h"

namespace {

constexpr const char* kCamposTodos =
    " SELECT vt_proveedores.Codigo, vt_proveedores.razon_social, vt_proveedores.Calle, "
    "vt_proveedores.numero,vt_proveedores.localidad, vt_proveedores.telefono ,vt_proveedores.mail, "
    "v_oc_pendientes.tc, v_oc_pendientes.idcomprobante,v_oc_pendientes.FechaEnvioMail  from "
    "V_Oc_pendientes inner join vt_proveedores on  V_Oc_pendientes.cuenta  = vt_proveedores.codigo";
constexpr const char* kCamposPendientes =
    " SELECT vt_proveedores.Codigo, vt_proveedores.razon_social, vt_proveedores.Calle, "
    "vt_proveedores.numero,vt_proveedores.localidad, vt_proveedores.telefono ,vt_proveedores.mail, "
    "v_oc_pendientes.tc, v_oc_pendientes.idcomprobante,v_oc_pendientes.FechaEnvioMail from "
    "V_Oc_pendientes inner join vt_proveedores on  V_Oc_pendientes.cuenta  = vt_proveedores.codigo";
constexpr const char* kConMail = " Where Not vt_proveedores.mail Is Null ";
constexpr const char* kNuncaEnviadas = " AND V_Oc_pendientes.FECHAENVIOMAIL IS NULL ";

// A date typed in any form IsDate accepts ("15-03-2024", "15.03.24", "2024-03-15"), written
// in the one form every road reads alike: the regional short date with a four-digit year,
// so a two-digit year follows our century rule and not the server's.
std::string FechaFiltro(const std::string& texto) {
  const basic::Fecha f = basic::CDate(texto);
  std::string patron = basic::regional().fechaCorta;
  if (basic::InStr(patron, "yyyy", basic::CompararTexto) == 0) {
    const long p = basic::InStr(patron, "yy", basic::CompararTexto);
    if (p > 0) patron.replace(static_cast<size_t>(p - 1), 2, "yyyy");
  }
  std::string r = basic::FormatFecha(f, patron);
  if (basic::TimeValue(f) != 0) r += basic::FormatFecha(f, " hh:nn:ss");
  return r;
}

}  // namespace

std::string FiltroPendientes(const FiltrosPendientes& f) {
  std::string filtro;
  if (!f.provDesde.empty()) filtro += " AND CODIGO >= '" + basic::DoblarComillas(f.provDesde) + "' ";
  if (!f.provHasta.empty()) filtro += " AND CODIGO <= '" + basic::DoblarComillas(f.provHasta) + "' ";
  if (!f.usuario.empty()) filtro += " AND USUARIO LIKE '" + basic::DoblarComillas(f.usuario) + "%' ";
  if (basic::IsDate(f.fechaDesde)) filtro += " AND FECHA >= '" + FechaFiltro(f.fechaDesde) + "' ";
  if (basic::IsDate(f.fechaHasta)) filtro += " AND FECHA <= '" + FechaFiltro(f.fechaHasta) + "' ";
  return filtro;
}

std::string ConsultaPendientes(const FiltrosPendientes& filtros, bool soloPendientes) {
  const std::string filtro = FiltroPendientes(filtros);
  if (!soloPendientes)
    return std::string(kCamposTodos) + kConMail + filtro + " ORDER BY vt_proveedores.razon_social";
  return std::string(kCamposPendientes) + kConMail + kNuncaEnviadas + filtro +
         " ORDER BY vt_proveedores.razon_social ";
}
