// Single-row lookups and code searches that build their own SELECT.
#include <string>

#include "data/db_dll.h"
#include "platform/basic/numero.h"
#include "platform/basic/pasos.h"
#include "platform/basic/texto.h"
#include "platform/ui/operador.h"

using basic::FuncionPaso;
using basic::P;
using basic::Paso;

namespace {

bool Contiene(const std::string& texto, const std::string& buscado) {
  return basic::InStr(texto, buscado, basic::CompararTexto) > 0;
}

bool EnBlanco(const std::string& s) { return basic::Trim(s).empty(); }

int Tipo(const basic::Variant& t) {
  if (t.EsNull() || t.EsEmpty()) return -1;
  if (t.EsNumerico()) return static_cast<int>(t.Numero());
  return static_cast<int>(basic::Val(t.Texto()));
}

// The operator dialog of the lookups: Abort/Retry/Ignore with the critical icon.
int AvisoOperador(const ErrorEjecucion& e) {
  return ui::operador().MsgBox(OcultarClaves(e.Description), int{ui::vbCritical} + ui::vbAbortRetryIgnore,
                               "Aviso al Operador");
}

}  // namespace

// The condition written for the searched value, by its type. `st` for ExisteEnTablaST,
// `datos` for DatosTabla (whose text and date forms differ).
std::string DB_Dll::CondicionPorTipo(const std::string& Campo, const std::string& ValorBuscado,
                                     const basic::Variant& Tipodato, bool conTrim, bool st,
                                     bool datos) const {
  switch (Tipo(Tipodato)) {
    case 8:
      if (st) return Campo + " ='" + basic::DoblarComillas(ValorBuscado) + "'";
      if (datos && !conTrim) return Campo + " ='" + basic::DoblarComillas(ValorBuscado) + "' ";
      return "LTRIM(RTRIM(" + Campo + ")) ='" + basic::DoblarComillas(basic::Trim(ValorBuscado)) + "'" +
             (datos ? " " : "");
    case 7:
      if (datos) return Campo + " = #" + basic::Trim(ValorBuscado) + "# ";
      return Campo + " = " + basic::Trim(ValorBuscado) + " ";
    case 3:
    case 5:
    case 4:
      // The leading number, written with "." so that the statement stays valid.
      return Campo + " = " + basic::Trim(basic::NumeroATexto(basic::Val(ValorBuscado), "."));
    default: return Campo + " = " + ValorBuscado;
  }
}

bool DB_Dll::ExisteEnTablaComun(const std::string& sentencia, ado::Connection& cn, ado::Recordset* Lrcs,
                                bool SoloLectura, bool sinonimos) {
  std::string sql = sentencia;
  bool resultado = false;
  std::shared_ptr<ado::Recordset> propio;
  const std::vector<FuncionPaso> pasos = {
      P([&] {
        if (sinonimos) sql = SS_TSinonimos(sql);
      }),
      P([&] {
        if (Lrcs) {
          if (Lrcs->State() != ado::adStateClosed) Lrcs->Close();
          // Not read-only: the recordset's own cursor and lock types.
          canalADO().OpenRecordset(*Lrcs, sql, cn,
                                   SoloLectura ? ado::adOpenForwardOnly : ado::adOpenUnspecified,
                                   SoloLectura ? ado::adLockReadOnly : ado::adLockUnspecified, -1);
          resultado = !Lrcs->Bof();
        } else {
          propio = std::make_shared<ado::Recordset>();
          canalADO().OpenRecordset(*propio, sinonimos ? ORACLE_Dicc(sql) : sql, cn, ado::adOpenForwardOnly,
                                   ado::adLockReadOnly, -1);
          resultado = !propio->Bof();
        }
      }),
      P([&] {
        if (propio && propio->State() != ado::adStateClosed) propio->Close();
      }),
  };
  if (!basic::EjecutarPasos(pasos, AvisoOperador)) return false;
  return resultado;
}

bool DB_Dll::ExisteEnTabla(const std::string& Tabla, const std::string& ValorBuscado,
                           const std::string& Campo, ado::Recordset* Lrcs, const basic::Variant& Tipodato,
                           const std::string& Condicion, bool SoloLectura) {
  std::string sql;
  if (EnBlanco(Condicion)) {
    const std::string cabeza = Tipo(Tipodato) == 8 ? "SELECT TOP 1  * FROM " : "SELECT TOP 1 * FROM ";
    sql = cabeza + Tabla + " with(nolock)  WHERE " +
          CondicionPorTipo(Campo, ValorBuscado, Tipodato, true, false, false);
  } else {
    sql = "SELECT TOP 1 * FROM " + Tabla + " with(nolock) " +
          (Contiene(Condicion, " WHERE ") ? " " : " WHERE ") + Condicion;
  }
  return ExisteEnTablaComun(sql, *gCnn, Lrcs, SoloLectura, true);
}

bool DB_Dll::ExisteEnTablaST(const std::string& Tabla, const std::string& ValorBuscado,
                             const std::string& Campo, ado::Recordset* Lrcs, const basic::Variant& Tipodato,
                             const std::string& Condicion, bool SoloLectura) {
  std::string sql;
  if (EnBlanco(Condicion)) {
    sql = "SELECT * FROM " + Tabla + " with(nolock)   WHERE " +
          CondicionPorTipo(Campo, ValorBuscado, Tipodato, false, true, false);
  } else {
    sql = "SELECT * FROM " + Tabla + " with(nolock)  " + (Contiene(Condicion, " WHERE ") ? " " : " WHERE ") +
          Condicion;
  }
  return ExisteEnTablaComun(sql, *gDB().gCnn, Lrcs, SoloLectura, false);
}

basic::Variant DB_Dll::DatosTabla(const std::string& Tabla, const std::string& ValorBuscado,
                                  const std::string& CampoDevuelto, const std::string& Campo,
                                  const basic::Variant& Tipodato, const std::string& Condicion, bool UsaTrim,
                                  bool IgnoraError) {
  basic::Variant resultado;  // Empty until a row has been looked at
  std::string sql;
  ado::Recordset rs;
  const std::vector<FuncionPaso> pasos = {
      P([&] {
        sql = "SELECT TOP 1 * FROM " + Tabla + " with(nolock)  WHERE " +
              CondicionPorTipo(Campo, ValorBuscado, Tipodato, UsaTrim, false, true) +
              (EnBlanco(Condicion) ? "" : " AND ") + Condicion;
      }),
      P([&] { AbrirRecordset(sql, rs, gCnn.get(), 0, 1, -1, true); }),
      [&] { return gOpenFlag ? Paso::Seguir : Paso::Salir; },
      P([&] {
        if (!rs.Eof())
          resultado = basic::Variant(funciones().SinNulo(rs.Fields(CampoDevuelto)));
        else
          resultado = basic::Variant(std::string());
      }),
      P([&] { CierraRecordset(rs); }),
  };
  if (IgnoraError) {
    bool fallo = false;
    basic::EjecutarPasos(pasos, [&](const ErrorEjecucion&) {
      fallo = true;
      return 0;
    });
    if (fallo) return basic::Variant(std::string());
    return resultado;
  }
  basic::EjecutarPasos(pasos, AvisoOperador);
  return resultado;
}

basic::Variant DB_Dll::BuscaMaximo(const std::string& QueTabla, const std::string& QueCampo,
                                   std::optional<basic::Variant> Tipo, std::optional<std::string> Condicion) {
  // A blank condition counts as none: " WHERE " alone would break the statement.
  if (Condicion && EnBlanco(*Condicion)) Condicion.reset();
  const bool articulos = basic::IgualesSinCaso(QueTabla, "V_MA_ARTICULOS");
  bool sinCeros = false;
  for (;;) {
    const std::string sql = "SELECT MAX(" + QueCampo + ") AS MAYOR FROM " + QueTabla +
                            (Condicion ? " WHERE " + basic::Trim(*Condicion) : "");
    ado::Recordset rs;
    canalADO().OpenRecordset(rs, sql, *gCnn, ado::adOpenForwardOnly, ado::adLockReadOnly, -1);
    if (rs.Eof()) {
      rs.Close();
      return basic::Variant();
    }
    const std::string mayor = funciones().SinNulo(rs.Fields("MAYOR"));
    // Article codes that begin with a zero do not count as the highest (once).
    if (articulos && !sinCeros && basic::Left(basic::Trim(mayor), 1) == "0") {
      const std::string clausula = "substring(ltrim(idarticulo),1,1)<>'0'";
      Condicion = Condicion ? *Condicion + " and " + clausula : " " + clausula;
      sinCeros = true;
      rs.Close();
      continue;
    }
    rs.Close();
    if (Tipo && Tipo->Numero() == 7 && !Tipo->EsNull()) return basic::Variant(mayor);
    return basic::Variant(basic::Val(mayor));
  }
}

basic::Variant DB_Dll::BuscaMinimo(const std::string& QueTabla, const std::string& QueCampo,
                                   std::optional<basic::Variant> /*Tipo*/,
                                   std::optional<std::string> Condicion) {
  if (Condicion && EnBlanco(*Condicion)) Condicion.reset();
  const std::string sql = "SELECT MIN(" + QueCampo + ") AS MENOR FROM " + QueTabla + "  with(nolock) " +
                          (Condicion ? " WHERE " + basic::Trim(*Condicion) : "");
  ado::Recordset rs;
  canalADO().OpenRecordset(rs, sql, *gCnn, ado::adOpenForwardOnly, ado::adLockReadOnly, -1);
  basic::Variant resultado;
  if (!rs.Eof()) resultado = basic::Variant(basic::Val(funciones().SinNulo(rs.Fields("MENOR"))));
  rs.Close();
  return resultado;
}

basic::Variant DB_Dll::BuscaUltimoCodigo(const std::string& QueTabla, const std::string& QueCampo,
                                         const basic::Variant& /*Tipo*/, const std::string& Condicion) {
  const std::string sql = "SELECT MAX(" + QueCampo + ") AS MAYOR FROM " + QueTabla +
                          (EnBlanco(Condicion) ? "" : " WHERE " + Condicion);
  ado::Recordset rs;
  canalADO().OpenRecordset(rs, sql, *gCnn, ado::adOpenForwardOnly, ado::adLockReadOnly, -1);
  basic::Variant resultado;
  if (!rs.Eof()) resultado = basic::Variant(basic::Val(funciones().SinNulo(rs.Fields("MAYOR"))));
  rs.Close();
  return resultado;
}
