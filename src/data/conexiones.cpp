// Opening and re-opening the connection: server (SQL Server, Oracle), reconnection after
// a lost connection, and local Jet files.
#include <string>

#include "data/db_dll.h"
#include "data/ventana_acceso.h"
#include "platform/basic/numero.h"
#include "platform/basic/pasos.h"
#include "platform/basic/texto.h"
#include "platform/os/rutas.h"
#include "platform/ui/operador.h"

using basic::FuncionPaso;
using basic::P;
using basic::Paso;

namespace {

const std::string CR = "\r";
const std::string CRLF = "\r\n";

bool Contiene(const std::string& texto, const std::string& buscado) {
  return basic::InStr(texto, buscado, basic::CompararTexto) > 0;
}

// The connection failure text, built from the first entry of the Errors list.
std::string MensajeErrorConexion(const ado::Error& e) {
  return " Estado de Sql: " + e.SQLState + CR + "Numero de Error: " + std::to_string(e.Number) + CR +
         "Descripcion: " + OcultarClaves(e.Description) + CR +
         "Codigo Nativo: " + std::to_string(e.NativeError) + CR + CRLF +
         "Nombre de Proceso: " + os::NombreEjecutable() + CR + CRLF + CRLF +
         "1. Verifique el Usuario, contraseña y base de datos" + CRLF +
         "2. Verifique el nombre del servidor, quizas necesite agregarle el nombre de la "
         "instancia, por ejemplo : " +
         gDB().gServidor + "\\ORBITAL" + CRLF + "3. Verifique si el inicio de sesion para el usuario " +
         gDB().gUsuario + " existe" + CRLF + CRLF + CRLF + " - Desea Intentarlo Nuevamente??? ";
}

}  // namespace

std::string DB_Dll::CadenaConexion() const {
  if (Contiene(gServidor, "#"))
    return "Provider=OraOLEDB.Oracle.1;Data Source=" + gDBName + ";User Id=" + gUsuario +
           ";Password=" + gUserPassWord + ";";
  std::string s = "PROVIDER=" + pSQLOLEDB() + ";";
  s += "Server=" + gServidor + ";";
  s += "Database =" + gDBName + ";";
  s += "UId=" + gUsuario + ";";
  s += "Pwd=" + gUserPassWord + ";";
  s += gExtended;
  return s;
}

bool DB_Dll::IntercambioVentanaAcceso() {
  const FabricaVentanaAcceso& fabrica = FabricaDeVentanaAcceso();
  std::unique_ptr<VentanaAcceso> ventana = fabrica ? fabrica() : nullptr;
  if (!ventana) {  // no window to ask with: as if cancelled
    gOpenFlag = Falso;
    return false;
  }
  ventana->SetTxtDbName(gDBName);
  ventana->SetTxtServidor(gServidor);
  ventana->SetTxtUserId(gUsuario);
  ventana->SetTxtUserPassword(gUserPassWord);
  ventana->SetCboPlataformaDB(0);
  ui::operador().MostrarModal(*ventana);
  if (ventana->Aceptar()) {
    gOpenFlag = Verdadero;
    gDBName = ventana->TxtDbName();
    gServidor = ventana->TxtServidor();
    gUsuario = ventana->TxtUserId();
    gUserPassWord = ventana->TxtUserPassword();
    if (ventana->CboPlataformaDB() > 0) {
      gProveedor = "OraOLEDB.Oracle.1";
      if (!Contiene(gServidor, "#")) gServidor = "#" + gServidor;
    } else {
      gProveedor = "SQLOLEDB";
    }
  } else {
    gOpenFlag = Falso;
  }
  ventana.reset();  // unload
  return gOpenFlag != Falso;
}

void DB_Dll::OpenServerADODB(bool PideParametrosSQL, long lCursor, const std::string& ConnString,
                             bool ValidaAdmin, bool MuestraError) {
  bool reintentoHecho = false;
  gOpenFlag = Verdadero;

  const std::vector<FuncionPaso> pasos = {
      P([&] {
        if (basic::Trim(gProveedor).empty()) gProveedor = "SQLOLEDB";
      }),
      P([&] {
        if (basic::Trim(ConnString).empty())
          ArmarConnString();
        else
          gConnString = ConnString;
      }),
      [&] {
        if (!PideParametrosSQL) return Paso::Seguir;
        if (!IntercambioVentanaAcceso()) return Paso::Salir;
        ArmarConnString();
        return Paso::Seguir;
      },
      P([&] { gCnn->SetCursorLocation(lCursor); }),
      P([&] { canalADO().Open(*gCnn, gConnString, "", "", -1); }),
      [&] {
        if (ValidaAdmin) return Paso::Seguir;
        gEsAdmin = Verdadero;
        return Paso::Salir;
      },
      [&] { return basic::Trim(gDBName).empty() ? Paso::Salir : Paso::Seguir; },
      P([&] { gCnn->SetDefaultDatabase(gDBName); }),
      [&] { return gDB().ExisteTablaDB("TA_USUARIOS") ? Paso::Seguir : Paso::Salir; },
      [&] {
        if (MuestraError) return Paso::Seguir;
        gEsAdmin = Verdadero;
        return Paso::Salir;
      },
      P([&] {
        const basic::Variant admin = DatosTabla("ta_usuarios", gUsuario, "Administrador", "nombre",
                                                basic::Variant(int32_t{8}), "", true, false);
        gEsAdmin = basic::Val(admin.Texto()) == 1 ? Verdadero : Falso;
      }),
  };

  // One close-and-repeat when the connection was already open.
  auto reabrirUnaVez = [&](const ErrorEjecucion& e) {
    if (e.Number != ado::errOperacionNoPermitidaAbierto || reintentoHecho) return false;
    reintentoHecho = true;
    try {
      canalADO().Close(*gCnn);
    } catch (const ErrorEjecucion&) {
    }
    return true;
  };

  basic::EjecutarPasos(pasos, [&](const ErrorEjecucion& e) -> int {
    if (!MuestraError) {
      if (reabrirUnaVez(e)) return ui::vbRetry;
      gOpenFlag = Falso;
      return 0;
    }
    if (gCnn->Errors().Count() > 0) {
      const int respuesta =
          ui::operador().MsgBox(MensajeErrorConexion(gCnn->Errors().Item(0)),
                                int{ui::vbCritical} + ui::vbYesNo, " Error de Conexion a Base de Datos");
      if (respuesta != ui::vbYes) {
        gOpenFlag = Falso;
        return 0;
      }
      gCnn->Errors().Clear();
      // frmAcceso is unloaded after every exchange, so there is nothing left to hide.
      if (!IntercambioVentanaAcceso()) return 0;
      ArmarConnString();
      return ui::vbRetry;
    }
    if (reabrirUnaVez(e)) return ui::vbRetry;
    ui::operador().MsgBox(OcultarClaves(e.Description), ui::vbOKOnly, "");
    gOpenFlag = Falso;
    return 0;
  });
}

void DB_Dll::ReintentaConectar() {
  const std::vector<FuncionPaso> pasos = {
      P([&] { gOpenFlag = Falso; }),
      P([&] { gCnn->SetCommandTimeout(5); }),
      P([&] { canalADO().Close(*gCnn); }),
      P([&] {
        // User and password apart: the provider may have dropped the password from the
        // stored string.
        const std::string cadena = gCnn->ConnectionString();
        canalADO().Open(*gCnn, cadena, gDB().gUsuario, gDB().gUserPassWord, -1);
      }),
      P([&] { gOpenFlag = Verdadero; }),
  };
  basic::EjecutarPasos(pasos, [&](const ErrorEjecucion& e) -> int {
    if (e.Number == ado::errOperacionNoPermitidaCerrado) return ui::vbIgnore;
    gOpenFlag = Falso;
    if (e.Number == ado::errProveedor) return 0;  // the caller's loop asks the operator
    return TratamientoErrores(e, std::nullopt, std::string("AbrirRecordset"));
  });
}

bool DB_Dll::PedirArchivoLocal() {
  CmdDlg->TituloDialogo = "Buscar Base de Datos";
  CmdDlg->Filtro = "Base de Datos de Microsoft Access |*.MDB";
  CmdDlg->MostrarAbrir();
  gDBName = CmdDlg->NombreArchivo();
  return CmdDlg->Aceptado() == 0;
}

void DB_Dll::OpenLocalADODB(const std::string& ConnString, const std::string& CadenaID,
                            const std::string& CadenaPWD) {
  std::string clausulaClave;  // appended after a wrong database password
  bool claveGuardadaProbada = false;
  for (;;) {
    try {
      if (basic::Trim(gDBName).empty() && !PedirArchivoLocal()) return;
      std::string cadena = !basic::Trim(ConnString).empty()
                               ? ConnString
                               : "PROVIDER=" + gProveedor + ";" + "Data Source =" + gDBName + ";" + CadenaID +
                                     "=" + gUsuario + ";" + CadenaPWD + "=" + gUserPassWord + ";" + gExtended;
      cadena += clausulaClave;
      canalADO().Open(*gCnn, cadena, "", "", -1);
      gConnString = cadena;
      return;
    } catch (const ErrorEjecucion& e) {
      const std::string estado =
          gCnn->Errors().Count() > 0 ? basic::Trim(gCnn->Errors().Item(0).SQLState) : "";
      if (estado == "3024" || estado == "3051" || estado == "3044") {
        if (!PedirArchivoLocal()) return;
        continue;
      }
      if (estado == "3031") {
        if (!gIgnoraPassWord.EsEmpty() && !gIgnoraPassWord.EsNull() && gIgnoraPassWord.Booleano() &&
            !claveGuardadaProbada) {
          // The stored password is tried once; after that the operator is asked.
          claveGuardadaProbada = true;
          clausulaClave = "Jet OLEDB:Database Password=" + gUserPassWord + ";";
          continue;
        }
        const std::string clave = ui::operador().InputBox("ingrese el password:", "Password Access", "");
        if (clave.empty()) return;  // cancelled
        clausulaClave = " Jet OLEDB:Database Password=" + clave + ";";
        continue;
      }
      ui::operador().MsgBox(std::to_string(e.Number) + "  " + OcultarClaves(e.Description),
                            int{ui::vbCritical} + ui::vbOKOnly, "");
      return;
    }
  }
}
