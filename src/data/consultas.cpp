// Statements and result sets: AbrirRecordset with its lost-connection loop,
// CierraRecordset, EjecutaConsultaSQL / EjecutaConsultaRSQL.
#include <string>

#include "data/db_dll.h"
#include "platform/basic/pasos.h"
#include "platform/basic/texto.h"
#include "platform/ui/operador.h"

using basic::FuncionPaso;
using basic::P;

namespace {

const std::string CRLF = "\r\n";

bool Contiene(const std::string& texto, const std::string& buscado) {
  return basic::InStr(texto, buscado, basic::CompararTexto) > 0;
}

std::string QuitarAdmin(const std::string& s) {
  return basic::Replace(s, "@Admin_", "", 1, -1, basic::CompararTexto);
}

// SQL Server's "String or binary data would be truncated". As a warning after a statement
// that ran it does not matter here; as the error of a refused write it must stay.
constexpr long kAvisoTruncado = 8152;

// Called only after a statement that ran (it raised nothing): a refused write raises, and
// its entries are left for the caller.
void LimpiarAvisoTruncado(ado::Errors& errores, const std::string& sentencia) {
  const long n = errores.Count();
  if (n <= 0 || n > 2) return;
  if (Contiene(sentencia, "TRANS")) return;
  if (errores.Item(0).NativeError == kAvisoTruncado) errores.Clear();
}

}  // namespace

void DB_Dll::AbrirRecordset(std::string& SentenciaSQL, ado::Recordset& Lrcs, ado::Connection* Conexionactiva,
                            long CursorType, long LockType, long Options, bool ConvOracle) {
  int reintentos = 1;
  const std::vector<FuncionPaso> pasos = {
      P([&] { CierraRecordset(Lrcs); }),
      P([&] { SentenciaSQL = SS_TSinonimos(SentenciaSQL); }),
      P([&] {
        ado::Connection& cn = Conexionactiva ? *Conexionactiva : *gCnn;
        const bool oracle =
            basic::InStr(gCnn->ConnectionString(), "ORACLE", basic::CompararTexto) > 1 && ConvOracle;
        const std::string fuente = oracle ? ORACLE_Dicc(SentenciaSQL) : SentenciaSQL;
        canalADO().OpenRecordset(Lrcs, fuente, cn, CursorType, LockType, Options);
      }),
  };

  basic::EjecutarPasos(pasos, [&](const ErrorEjecucion& e) -> int {
    const bool perdida =
        (e.Number == ado::errProveedor || e.Number == ado::errConexionNoUsable) && gCnn->Errors().Count() > 0;
    if (perdida) {
      // Reconnect; the first reconnection in a call repeats the step silently, a second
      // one goes on to the operator dialog.
      ReintentaConectar();
      for (;;) {
        if (gOpenFlag) {
          ++reintentos;
          if (reintentos < 3) return ui::vbRetry;
          break;
        }
        const std::string aviso = CRLF + CRLF + CRLF + "Se perdio la conexion con la base de datos " +
                                  gDB().gDBName + CRLF + " Servidor " + gDB().gServidor + CRLF + CRLF +
                                  "Elija SI para reintentar conectarse" + CRLF +
                                  "Elija NO para cerrar la aplicacion" + CRLF + CRLF + CRLF;
        const int respuesta =
            ui::operador().MsgBox(aviso, int{ui::vbCritical} + ui::vbYesNo, "AVISO AL OPERADOR");
        // Only Yes reconnects; any other answer ends the program (never an endless loop).
        if (respuesta != ui::vbYes) ui::operador().FinPrograma(0);
        ReintentaConectar();
      }
    }
    return TratamientoErrores(e, std::nullopt, std::string("AbrirRecordset"));
  });
}

void DB_Dll::AbrirRecordset(const std::string& SentenciaSQL, ado::Recordset& Lrcs,
                            ado::Connection* Conexionactiva, long CursorType, long LockType, long Options,
                            bool ConvOracle) {
  std::string copia = SentenciaSQL;
  AbrirRecordset(copia, Lrcs, Conexionactiva, CursorType, LockType, Options, ConvOracle);
}

void DB_Dll::CierraRecordset(ado::Recordset& LrcsTemp) {
  const std::vector<FuncionPaso> pasos = {
      [&] { return LrcsTemp.State() == ado::adStateClosed ? basic::Paso::Salir : basic::Paso::Seguir; },
      P([&] { LrcsTemp.Close(); }),
  };
  basic::EjecutarPasos(pasos, [&](const ErrorEjecucion& e) -> int {
    if (e.Number == ado::errOperacionNoPermitida) {
      // A pending edit: drop it and close, whatever else fails.
      basic::EjecutarIgnorando({
          P([&] { LrcsTemp.CancelUpdate(); }),
          P([&] {
            if (LrcsTemp.State() != ado::adStateClosed) LrcsTemp.Close();
          }),
      });
      return 0;
    }
    return TratamientoErrores(e, std::nullopt, std::string("CierraRecordset"));
  });
}

void DB_Dll::EjecutarConsulta(std::string& SentenciaSQL, long& RecordsAffected,
                              std::shared_ptr<ado::Recordset>* Lrcs, bool reportar) {
  ado::Errors& errores = reportar ? gDBAuxiliar().gCnn->Errors() : gDB().gCnn->Errors();
  try {
    if (Contiene(SentenciaSQL, "DROP") && Contiene(SentenciaSQL, "CREATE") &&
        !Contiene(SentenciaSQL, "DELETE") && !Contiene(SentenciaSQL, "@ADMIN_"))
      SentenciaSQL = SS_TSinonimos(SentenciaSQL);
    else
      SentenciaSQL = QuitarAdmin(SentenciaSQL);

    if (Contiene(gCnn->ConnectionString(), "ORACLE")) {
      EjecutaScriptOracle(SentenciaSQL, RecordsAffected);
    } else {
      long afectados = RecordsAffected;
      auto rs = canalADO().Execute(*gCnn, SentenciaSQL, &afectados, -1);
      RecordsAffected = afectados;
      if (Lrcs) *Lrcs = std::move(rs);
    }
    LimpiarAvisoTruncado(errores, SentenciaSQL);
  } catch (const std::exception& x) {
    if (!reportar) return;
    const auto* e = dynamic_cast<const ErrorEjecucion*>(&x);
    const long numero = e ? e->Number : 0;
    if (numero == ado::errProveedor || numero == ado::errIntegridad || numero == ado::errTablaNoExiste ||
        numero == ado::errComando)
      return;
    if (Contiene(SentenciaSQL, "TRANS")) return;
    ui::operador().MsgBox(OcultarClaves(e ? e->Description : x.what()), int{ui::vbCritical} + ui::vbOKOnly,
                          "Aviso al operador!!!");
  }
}

void DB_Dll::EjecutaConsultaSQL(std::string& SentenciaSQL, long& RecordsAffected,
                                std::shared_ptr<ado::Recordset>* Lrcs) {
  EjecutarConsulta(SentenciaSQL, RecordsAffected, Lrcs, false);
}

void DB_Dll::EjecutaConsultaSQL(const std::string& SentenciaSQL, long& RecordsAffected,
                                std::shared_ptr<ado::Recordset>* Lrcs) {
  std::string copia = SentenciaSQL;
  EjecutarConsulta(copia, RecordsAffected, Lrcs, false);
}

void DB_Dll::EjecutaConsultaSQL(const std::string& SentenciaSQL) {
  std::string copia = SentenciaSQL;
  long afectados = 0;
  EjecutarConsulta(copia, afectados, nullptr, false);
}

void DB_Dll::EjecutaConsultaRSQL(std::string& SentenciaSQL, long& RecordsAffected,
                                 std::shared_ptr<ado::Recordset>* Lrcs) {
  EjecutarConsulta(SentenciaSQL, RecordsAffected, Lrcs, true);
}

void DB_Dll::QConsulta(const std::string&, const basic::Variant&, const std::string&, const std::string&,
                       const std::string&, const std::string&) {}

void DB_Dll::QGridConsulta(const std::string&, const std::string&, const std::string&, const std::string&,
                           const std::string&) {}

std::string DB_Dll::FiltraSentencia(std::string& SentenciaSQL) {
  if (Contiene(SentenciaSQL, "SET NOCOUNT") || Contiene(SentenciaSQL, "IF NOT EXIST")) SentenciaSQL.clear();
  return SentenciaSQL;
}
