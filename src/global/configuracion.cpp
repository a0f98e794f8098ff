#include "global/configuracion.h"

#include <cstdlib>
#include <ctime>

#include "companion/companion.h"
#include "data/db_dll.h"
#include "global/contexto.h"
#include "global/errores.h"
#include "platform/basic/numero.h"
#include "platform/basic/pasos.h"
#include "platform/basic/texto.h"
#include "platform/os/rutas.h"
#include "platform/ui/operador.h"

using basic::P;
using basic::Trim;
using basic::UCase;

std::string gTablaConfiguracion;

int16_t gMostrarStockenConsultas = 0;
std::string gTituloClientes;
std::string gTituloProveedores;
std::string gArchivoTareas;
int16_t gEXIGECLAVECONSULTALIKEARTICULOS = 0;
int16_t gUsaConsultaLike = 0;
std::string gCantidadDecimales;
int16_t gUsaMultilesMonedas = 0;
int16_t gUsaFacturaProforma = 0;
int16_t gUSACCOSTO = 0;
int16_t gUSA_STK_STOCK_UDKG = 0;
std::string gUNegocio;
std::string gUNIDADDEMEDIDA_M3;
std::string gUNIDADDEMEDIDA_BL;
std::string gUNIDADDEMEDIDA_KG;
int16_t gPERIODO = 0;
int16_t gRazonSocialPorUneg = 0;
int16_t gVALIDACODIGOBARRA = 0;
int16_t gModuloOrdenDeTrabajo = -1;
int16_t gV_ModificaCPrecio = 0;
int16_t gC_ModificaCPrecio = 0;
int16_t gMADERERA = 0;
std::string gMAD_TIRAS;
std::string gMAD_P2;
std::string gMAD_ML;
std::string gMAD_M2;
std::string gMAD_HOJAS;
std::string gMAD_ML_P2;
std::string gMAD_M2_P2;
std::string gMAD_ML_M2;
std::string gCuentaCtroDist;
basic::Moneda gMaxDto;
basic::Moneda gMaxDtoProforma;
int16_t gPideClave_StockNeg = 0;
int16_t gPideClave_MarkUpBase = 0;
int16_t gPideClave_LimiteCredito = 0;
int16_t gSS_BloqueoActivo = 0;
int16_t gUTILIZARFECHADIA = 0;
int16_t gAsignacionAutomaticaDeLoteING = 0;
int16_t gAsignacionAutomaticaDeLoteINGOP = 0;
int16_t gCONDIVAEMPRESA = 1;
std::string gTop_Default = "1000";

namespace {

constexpr int16_t kVerdadero = -1;
constexpr int16_t kFalso = 0;
constexpr int16_t kTimeOutPorDefecto = 360;

// Programs of the suite whose sales documents use "CantidadDecimalesVentas".
const char* const kProgramasVentas[] = {"FACTURACION", "PEDIDOS",         "PRESUPUESTOS",
                                        "REMITOS",     "PUNTOVENTA",      "NOTASCREDITO",
                                        "PROFORMAS",   "VENTASMOSTRADOR", "DEVOLUCIONES"};

int16_t Bandera(bool b) { return b ? kVerdadero : kFalso; }
int16_t PruebaSi(const std::string& v) { return Bandera(basic::IgualesSinCaso(v, "SI")); }
// False when blank or "NO", else true.
int16_t PruebaNoVacioNiNo(const std::string& v) {
  return Bandera(!(Trim(v).empty() || basic::IgualesSinCaso(v, "NO")));
}

// A number stored in a 16-bit value; error 6 when it does not fit.
int16_t Entero16(double v) {
  const double r = basic::Round(v);
  if (r < -32768 || r > 32767) throw ErrorEjecucion(6, "Desbordamiento", "CargarConfiguracion");
  return static_cast<int16_t>(r);
}

int32_t Color(const std::string& v) {
  const double n = basic::Round(gFunciones().ANumero(v).ADouble());
  if (n < -2147483648.0 || n > 2147483647.0) throw ErrorEjecucion(6, "Desbordamiento", "CargarConfiguracion");
  return static_cast<int32_t>(n);
}

std::string CfgEn(DB_Dll& db, const std::string& clave, std::string& valorAux, const char* rutina) {
  if (Trim(gTablaConfiguracion).empty()) gTablaConfiguracion = "TA_CONFIGURACION";
  std::string resultado;
  std::string sql;
  ado::Recordset rs;
  const bool completo = basic::EjecutarPasos(
      {
          P([&] {
            sql = "SELECT VALOR, valoraux FROM " + gTablaConfiguracion + " with(nolock)  WHERE CLAVE = '" +
                  basic::DoblarComillas(Trim(clave)) + "'";
            const std::string k = Trim(clave);
            if (k == "[FECHA HASTA]" || k == "[FECHA DESDE]") sql = UCase(sql);
          }),
          P([&] { db.AbrirRecordset(sql, rs, nullptr, ado::adOpenForwardOnly, ado::adLockReadOnly); }),
          P([&] {
            if (rs.Eof()) {
              resultado = " ";
              valorAux = "";
            } else {
              resultado = gFunciones().SinNulo(rs.Fields("Valor"));
              valorAux = gFunciones().SinNulo(rs.Fields("ValorAux"));
            }
          }),
          P([&] { db.CierraRecordset(rs); }),
          P([&] {
            if (UCase(Trim(clave)) == "THEME" && Trim(resultado).empty()) resultado = "1";
          }),
      },
      [&](const ErrorEjecucion& e) {
        const int respuesta = AvisoError(e, rutina);
        return respuesta == ui::vbIgnore ? respuesta : 0;
      });
  if (!completo) {
    try {
      db.CierraRecordset(rs);
    } catch (...) {
    }
    return "";
  }
  return resultado;
}

}  // namespace

std::string Cfg(const std::string& clave, std::string& valorAux) {
  DB_Dll& db = gDB();
  if (!db.gOpenFlag) return "";
  return CfgEn(db, clave, valorAux, "Cfg");
}

std::string Cfg(const std::string& clave) {
  std::string aux;
  return Cfg(clave, aux);
}

std::string CfgQZ(const std::string& clave, std::string& valorAux) {
  return CfgEn(gDBEstadisticas(), clave, valorAux, "CfgQZ");
}

std::string CfgQZ(const std::string& clave) {
  std::string aux;
  return CfgQZ(clave, aux);
}

void GrabaCfgQZ(const std::string& clave, const basic::Variant& valor, const std::string& valorAux,
                bool politicaNegocio, const std::string& grupo, bool recortar) {
  DB_Dll& db = gDBEstadisticas();
  if (Trim(gTablaConfiguracion).empty()) gTablaConfiguracion = "TA_CONFIGURACION";
  ado::Recordset rs;
  Funciones& f = gFunciones();
  basic::EjecutarIgnorando({
      P([&] {
        db.AbrirRecordset("SELECT * FROM " + gTablaConfiguracion + " with(nolock)  WHERE CLAVE = '" +
                              basic::DoblarComillas(clave) + "'",
                          rs, db.gCnn.get(), ado::adOpenDynamic, ado::adLockOptimistic);
      }),
      P([&] {
        if (rs.Eof())
          rs.AddNew();
        else
          rs.MoveFirst();
      }),
      P([&] { rs.Fields("Grupo").SetValue(grupo); }),
      P([&] { rs.Fields("Clave").SetValue(UCase(Trim(clave))); }),
      P([&] {
        const std::string texto = f.SinNulo(valor);
        rs.Fields("Valor").SetValue(recortar ? Trim(texto) : texto);
      }),
      P([&] { rs.Fields("PoliticaNegocio").SetValue(basic::Variant(politicaNegocio)); }),
      P([&] {
        if (!valorAux.empty()) rs.Fields("ValorAux").SetValue(Trim(valorAux));
      }),
      P([&] { rs.Update(); }),
      P([&] { db.CierraRecordset(rs); }),
  });
  try {
    if (rs.State() != ado::adStateClosed) {
      if (rs.EditMode()) rs.CancelUpdate();
      rs.Close();
    }
  } catch (...) {
  }
}

void AbrirEstadisticas() {
  gTimeOut = kTimeOutPorDefecto;
  DB_Dll& est = gDBEstadisticas();
  const auto abierta = [&est] { return est.gOpenFlag != 0; };
  basic::EjecutarIgnorando({
      P([&] {
        if (est.gCnn->State() != ado::adStateClosed) est.gCnn->Close();
      }),
      P([&] {
        est.gServidor = gDB().gServidor;
        est.gProveedor = est.pSQLOLEDB();
        est.gDBName = "QZ_ESTADISTICAS";
        est.gUsuario = "QZ_ESTADISTICAS";
        est.gUserPassWord = "KV_TORNASOLADOS";
        est.gOpenFlag = DB_Dll::Falso;
      }),
      P([&] { est.OpenServerADODB(false, ado::adUseClient, "", true, false); }),
      P([&] {
        if (abierta()) est.gCnn->SetDefaultDatabase("QZ_ESTADISTICAS");
      }),
      P([&] {
        if (abierta()) gTimeOut = Entero16(basic::Val(CfgQZ("TimeOut")));
      }),
      P([&] {
        if (abierta() && gTimeOut == 0)
          GrabaCfgQZ("TimeOut", basic::Variant(gTimeOut), "", false, "BaseDeDatos", true);
      }),
  });
  // A time-out of zero or below would make every statement fail or wait for ever.
  if (gTimeOut <= 0) gTimeOut = kTimeOutPorDefecto;
}

void CargarConfiguracion(const std::string& carpetaAplicacion) {
  Funciones& f = gFunciones();
  std::string cantidadDecimalesVentas;
  const std::string ejecutable = UCase(os::NombreEjecutable());
  const auto texto = [](std::string& destino, const char* clave) {
    return P([&destino, clave] { destino = Trim(Cfg(clave)); });
  };
  const auto si = [](int16_t& destino, const char* clave) {
    return P([&destino, clave] { destino = PruebaSi(Cfg(clave)); });
  };
  const auto noVacioNiNo = [](int16_t& destino, const char* clave) {
    return P([&destino, clave] { destino = PruebaNoVacioNiNo(Cfg(clave)); });
  };
  basic::EjecutarIgnorando({
      P([] { std::srand(static_cast<unsigned>(std::time(nullptr))); }),
      P([] { gTablaConfiguracion = "ta_configuracion"; }),
      si(gMostrarStockenConsultas, "MostrarStockenConsultas"),
      texto(gTituloClientes, "TituloClientes"),
      texto(gTituloProveedores, "TituloProveedores"),
      P([&] { gArchivoTareas = carpetaAplicacion + "QZDOCTareas.qzx"; }),
      si(gEXIGECLAVECONSULTALIKEARTICULOS, "EXIGECLAVECONSULTALIKEARTICULOS"),
      si(gUsaConsultaLike, "UsaConsultaLike"),
      P([] { gCantidadDecimales = Cfg("CantidadDecimales"); }),
      P([] { SS_CONFIDENCIALIDAD = PruebaSi(Cfg("SS_CONFIDENCIALIDAD")); }),
      P([&] {
        bool esVentas = false;
        for (const char* p : kProgramasVentas) esVentas = esVentas || ejecutable == p;
        if (!esVentas) return;
        cantidadDecimalesVentas = Cfg("CantidadDecimalesVentas");
        if (basic::Val(cantidadDecimalesVentas) > 0) gCantidadDecimales = cantidadDecimalesVentas;
      }),
      si(gUsaMultilesMonedas, "UsaMultilesMonedas"),
      si(gUsaFacturaProforma, "UsaFacturaProforma"),
      si(gUSACCOSTO, "USACCOSTO"),
      si(gUSA_STK_STOCK_UDKG, "USA_STK_STOCK_UDKG"),
      P([&] {
        DB_Dll& db = gDB();
        ado::Recordset rs;
        gUNegocio = "";
        db.AbrirRecordset("Select * from ta_usuarios  with(nolock)  where Nombre = '" +
                              basic::DoblarComillas(gUsuarioLogeado) + "'",
                          rs, nullptr, ado::adOpenForwardOnly, ado::adLockReadOnly);
        if (rs.State() != ado::adStateClosed && !rs.Eof()) {
          gUNegocio = f.SinNulo(rs.Fields("UNegocio"));
          if (gUsaFacturaProforma) {
            try {
              gUsaFacturaProforma = Bandera(rs.Fields("verproforma").Value().Booleano());
            } catch (const ErrorEjecucion&) {
            }
          }
        }
        if (Trim(gUNegocio).empty()) gUNegocio = "   1";
        db.CierraRecordset(rs);
      }),
      texto(gUNIDADDEMEDIDA_M3, "UNIDADDEMEDIDA_M3"),
      texto(gUNIDADDEMEDIDA_BL, "UNIDADDEMEDIDA_BL"),
      texto(gUNIDADDEMEDIDA_KG, "UNIDADDEMEDIDA_KG"),
      P([] { gPERIODO = Entero16(basic::Val(Cfg("PERIODO"))); }),
      P([] { gRazonSocialPorUneg = PruebaSi(Trim(Cfg("RazonSocialPorUneg"))); }),
      P([] { gVALIDACODIGOBARRA = PruebaSi(Trim(Cfg("VALIDACODIGOBARRA"))); }),
      P([] {
        gColorFondo = Color(Cfg("CFondo"));
        if (gColorFondo == 0) gColorFondo = 0xFFFF00;
      }),
      P([] { gColorLetra = Color(Cfg("CLetra")); }),
      P([] {
        gModuloOrdenDeTrabajo = Bandera(!basic::IgualesSinCaso(Trim(Cfg("ModuloOrdenDeTrabajo")), "NO"));
      }),
      noVacioNiNo(gV_ModificaCPrecio, "V_ModificaCPrecio"),
      noVacioNiNo(gC_ModificaCPrecio, "C_ModificaCPrecio"),
      noVacioNiNo(gMADERERA, "MADERERA"),
      texto(gMAD_TIRAS, "MAD_TIRAS"),
      texto(gMAD_P2, "MAD_P2"),
      texto(gMAD_ML, "MAD_ML"),
      texto(gMAD_M2, "MAD_M2"),
      texto(gMAD_HOJAS, "MAD_HOJAS"),
      texto(gMAD_ML_P2, "MAD_ML_P2"),
      texto(gMAD_M2_P2, "MAD_M2_P2"),
      texto(gMAD_ML_M2, "MAD_ML_M2"),
      texto(gCuentaCtroDist, "CuentaCtroDist"),
      P([&] { gMaxDto = f.ANumero(Trim(Cfg("MaxDto"))); }),
      P([&] { gMaxDtoProforma = f.ANumero(Trim(Cfg("MaxDtoProforma"))); }),
      noVacioNiNo(gPideClave_StockNeg, "PideClave_StockNeg"),
      noVacioNiNo(gPideClave_MarkUpBase, "PideClave_MarkUpBase"),
      noVacioNiNo(gPideClave_LimiteCredito, "PideClave_LimiteCredito"),
      si(gSS_BloqueoActivo, "SS_BloqueoActivo"),
      si(gUTILIZARFECHADIA, "UTILIZARFECHADIA"),
      si(gAsignacionAutomaticaDeLoteING, "AsignacionAutomaticaDeLoteING"),
      si(gAsignacionAutomaticaDeLoteINGOP, "AsignacionAutomaticaDeLoteINGOP"),
      P([] {
        gCONDIVAEMPRESA = Entero16(basic::Val(Cfg("CONDIVAEMPRESA")));
        if (gCONDIVAEMPRESA == 0) gCONDIVAEMPRESA = Entero16(basic::Val(Cfg("CONDIVA")));
        if (gCONDIVAEMPRESA == 0) gCONDIVAEMPRESA = 1;
      }),
      P([] {
        gTop_Default = Cfg("Top_Default");
        if (Trim(gTop_Default).empty()) gTop_Default = "1000";
      }),
  });
}
