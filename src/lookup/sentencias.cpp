#include "lookup/sentencias.h"

#include <cmath>

#include "platform/basic/numero.h"
#include "platform/basic/texto.h"

namespace {

using basic::CompararTexto;

bool Contiene(const std::string& s, const std::string& parte) {
  return basic::InStr(s, parte, CompararTexto) > 0;
}

// The trailing clause that starts at `palabra` (e.g. "order by"): ClausulaFinal and
// SentenciaBase are set only when it is found.
void SepararClausula(const std::string& SQL, const std::string& palabra, std::string& SentenciaBase,
                     std::string& ClausulaFinal, bool soloNoBlanca) {
  const int p = basic::InStr(SQL, palabra, CompararTexto);
  if (p <= 0) return;
  const std::string cola = basic::Mid(SQL, p);
  if (!soloNoBlanca || !basic::Trim(cola).empty()) ClausulaFinal = cola;
  SentenciaBase = basic::Left(SQL, p - 1);
}

}  // namespace

void NormalizarWhere(std::string& Where) {
  if (basic::Len(basic::Trim(Where)) > 1 && basic::Left(Where, 1) != "(") Where = " (" + Where + ") ";
}

long LimiteFilas(const std::string& topConsArt) {
  const double v = basic::Int(basic::Val(basic::Trim(topConsArt)));
  if (!(v > 0) || v > 2147483647.0) return 1000;
  return static_cast<long>(v);
}

std::string SentenciaDada(const std::string& SQL, std::string& Where) {
  std::string s = SQL;
  if (basic::InStr(s, "V_MA_ARTICULOS") > 0) s = basic::Replace(s, "V_MA_ARTICULOS", "VT_MA_ARTICULOS");
  if (!basic::Trim(Where).empty()) {
    if (!Contiene(Where, "WHERE")) Where = " WHERE " + Where;
    s += Where;
  }
  return s;
}

bool SentenciaDefinicion(const DefConsulta& def, long n, std::string& CampoBusqueda, const std::string& Where,
                         std::string& sentencia) {
  std::string tabla = LimpiarCampoDefinicion(def.TablaConsulta);
  // Columns cleaned like the other fields, so NUL padding of a short record is no column.
  DefConsulta limpia = def;
  limpia.CamposConsulta = LimpiarCampoDefinicion(def.CamposConsulta);
  const std::string columnas = ColumnasDefinicion(limpia);
  if (basic::Trim(CampoBusqueda).empty()) {
    const int coma = basic::InStr(columnas, ",");
    if (coma == 0) return false;
    CampoBusqueda = basic::Left(columnas, coma - 1);
  }
  std::string filtro = LimpiarCampoDefinicion(def.FiltroConsulta);
  if (basic::Trim(filtro).empty() && !basic::Trim(Where).empty()) filtro = Where;
  const bool sinFiltro = basic::Trim(filtro).empty();
  if ((basic::IgualesSinCaso(tabla, "VT_PROVEEDORES") || basic::IgualesSinCaso(tabla, "VT_CLIENTES")) &&
      sinFiltro)
    filtro = "Dada_De_Baja = 0";
  if (basic::IgualesSinCaso(tabla, "V_MA_ARTICULOS")) {
    tabla = "VT_MA_ARTICULOS";
    if (sinFiltro) filtro = "SUSPENDIDO = 0";
  }
  const bool conOrden = !basic::Trim(CampoBusqueda).empty();
  sentencia = "SELECT TOP " + std::to_string(n) + " " + columnas + " FROM " + tabla +
              (conOrden ? "  with(nolock) " : " with(nolock) ") +
              (basic::Trim(filtro).empty() ? "" : " WHERE ") + filtro +
              (conOrden ? " ORDER BY " + CampoBusqueda : "");
  return true;
}

std::string ColumnasDeCampos(const std::string& tabla, const std::vector<std::string>& campos,
                             std::string& CampoBusqueda) {
  const bool tomaId =
      basic::IgualesSinCaso(tabla, "v_mv_mutuales") || basic::IgualesSinCaso(tabla, "V_MV_TROPA_STOCK");
  std::string lista;
  for (const auto& nombre : campos) {
    const std::string u = basic::UCase(nombre);
    if (u == "ID" || u == "FECHAHORA_MODIFICACION" || u == "FECHAHORA_GRABACION") {
      if (!tomaId) continue;
      CampoBusqueda = nombre;
    } else if (u == "DESCRIPCION" || u == "NOMBRE" || u == "DETALLE") {
      CampoBusqueda = nombre;
    } else if (basic::Trim(lista).empty()) {
      CampoBusqueda = nombre;
    }
    lista = nombre + "," + lista;
  }
  if (basic::Trim(lista).empty()) return " * ";
  lista.pop_back();
  return lista;
}

std::string SentenciaGenerada(const std::string& tabla, const std::string& columnas, long n,
                              const std::string& CampoBusqueda, const std::string& Where) {
  const std::string filtro = " " + Where;
  std::string s = "SELECT TOP " + std::to_string(n) + " " + columnas + " FROM " + tabla +
                  (basic::Trim(filtro).empty() ? "" : " WHERE ") + filtro;
  if (!basic::Trim(CampoBusqueda).empty()) s += " ORDER BY " + CampoBusqueda;
  return s;
}

std::string TablaDeSentencia(const std::string& sentencia) {
  const int p = basic::InStr(sentencia, "from", CompararTexto);
  if (p <= 0) return "";
  const int fin = basic::InStr(p + 5, sentencia, " ");
  if (fin <= 0) return basic::Trim(basic::Mid(sentencia, p + 4));
  return basic::Trim(basic::Mid(sentencia, p + 4, fin - (p + 4)));
}

std::string SentenciaF5(const std::string& SQL, std::string& SentenciaBase, std::string& ClausulaFinal,
                        const std::string& campo, std::string& textoCaja, bool conLike) {
  ClausulaFinal.clear();
  std::string prefijo;
  if (Contiene(SQL, "order")) SepararClausula(SQL, "order by", SentenciaBase, ClausulaFinal, false);
  if (Contiene(SQL, "group by")) SepararClausula(SQL, "group by", SentenciaBase, ClausulaFinal, true);
  if (Contiene(SentenciaBase, "stk_ma_articulos.")) prefijo = "stk_ma_articulos.";
  if (Contiene(SentenciaBase, "v_ma_articulos.")) prefijo = "v_ma_articulos.";
  const std::string conector = Contiene(SQL, "where") ? " and " : " where ";
  if (conLike)
    return SentenciaBase + conector + prefijo + campo + " like '%" +
           basic::DoblarComillas(basic::Replace(textoCaja, " ", "%")) + "%' " + ClausulaFinal;
  textoCaja = basic::Replace(textoCaja, "*", "%");
  return SentenciaBase + conector + prefijo + campo + " like '" + basic::DoblarComillas(textoCaja) + "%' " +
         ClausulaFinal;
}

std::string SentenciaF5Arbol(const std::string& SQL, std::string& SentenciaBase, std::string& ClausulaFinal,
                             const std::string& texto) {
  ClausulaFinal.clear();
  if (Contiene(SQL, "order"))
    SepararClausula(SQL, "order by", SentenciaBase, ClausulaFinal, false);
  else
    SentenciaBase = SQL;
  return SentenciaBase + (Contiene(SQL, "where") ? " and " : " where ") + "Descripcion like '%" +
         basic::DoblarComillas(texto) + "%' " + ClausulaFinal;
}
