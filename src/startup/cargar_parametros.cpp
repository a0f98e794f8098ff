#include "startup/cargar_parametros.h"

#include <exception>

#include "companion/companion.h"
#include "reports/reporte.h"
#include "data/db_dll.h"
#include "startup/acceso.h"
#include "global/configuracion.h"
#include "global/contexto.h"
#include "global/lanzamiento.h"
#include "lookup/definiciones.h"
#include "lookup/lib_clscons3.h"
#include "platform/ado/ado.h"
#include "platform/basic/numero.h"
#include "platform/basic/pasos.h"
#include "platform/basic/texto.h"
#include "platform/os/rutas.h"
#include "platform/ui/operador.h"

using basic::P;
using basic::Paso;
using basic::Trim;

namespace {

constexpr int kArgumentoInvalido = 5;
constexpr long kLecturaNoConfirmada = 256;  // isolation level: read uncommitted
constexpr int kSinConexion = 1;             // exit code when no connection was made

}  // namespace

void AvisarBaseEmbebidaEnRed(const std::string& cadenaConexion) {
  ado::DestinoConexion destino;
  try {
    destino = ado::ResolverConexion(cadenaConexion);
  } catch (const ErrorEjecucion&) {
    return;
  }
  if (destino.via != ado::DestinoConexion::Embebida || destino.archivo.empty()) return;
  const std::string red = os::SistemaDeArchivosDeRed(destino.archivo);
  if (red.empty()) return;
  const std::string aviso = gArchivoIni().LeerIni(kArchivoIniEquipo, "BaseEmbebida", "AvisarEnRed", "SI");
  if (basic::UCase(Trim(aviso)) == "NO") return;
  ui::operador().MsgBox(
      "La base de datos " + destino.archivo + " está en una carpeta de red (" + red +
          "). El motor embebido no puede coordinar varios puestos a través de una carpeta "
          "compartida: si dos puestos la usan a la vez, la base puede dañarse.\n\n"
          "Use un servidor de base de datos, o deje el archivo en el disco de este puesto. Si este "
          "es el único puesto que la usa, escriba AvisarEnRed=NO en la sección [BaseEmbebida] de " +
          std::string(kArchivoIniEquipo) + " para no ver este aviso.",
      int{ui::vbOKOnly} + int{ui::vbExclamation}, "Aviso al Usuario");
}

void CargarAjustesDeEquipo() {
  const ArchivoIni& ini = gArchivoIni();
  CargarRegional(ini);
  ado::ConfiguracionOdbc odbc;
  auto leer = [&](const char* clave, std::string& valor) {
    valor = ini.LeerIni(kArchivoIniEquipo, "ODBC", clave, valor);
  };
  leer("DriverSqlServer", odbc.driverSqlServer);
  leer("DriverOracle", odbc.driverOracle);
  leer("ExtraSqlServer", odbc.extraSqlServer);
  leer("ExtraOracle", odbc.extraOracle);
  const double segundos = basic::Val(ini.LeerIni(kArchivoIniEquipo, "ODBC", "SegundosConexion", ""));
  if (segundos > 0) odbc.segundosConexion = static_cast<long>(segundos);
  ado::FijarConfiguracionOdbc(odbc);
}

void CargarParametros(bool UsarValoresIni, const std::string& LineaComando, std::string& ConnString,
                      long lCursor) {
  Funciones& f = gFunciones();
  const Equipo& equipo = gEquipo();
  DB_Dll& db = gDB();
  std::string carpeta;
  std::string linea;
  ValoresLanzamiento valores;
  bool yaConectado = false;

  const std::vector<basic::FuncionPaso> pasos = {
      P([&] {
        carpeta = f.AgregarBarra(os::CarpetaAplicacion());
        gCarpetaAplicacion = carpeta;
        gArchivoAyuda = carpeta + "htmlhelp/index.html";  // the HTML help beside the program
      }),
      P([] { CargarAjustesDeEquipo(); }),
      P([] {
        gColorLetra = 0;
        gColorFondo = 0xFFFFFF;
      }),
      P([&] { linea = LineaDeLanzamiento(UsarValoresIni, LineaComando); }),
      P([&] { gClaveEquipo = ClaveEquipo(equipo.NombreEquipo(), equipo.UsuarioWindows()); }),
      P([&] {
        gFlatToolbars =
            basic::Val(gArchivoIni().LeerIni(kArchivoIniEquipo, gClaveEquipo, "FlatToolbars", "1"));
      }),
      P([&] { yaConectado = db.gOpenFlag != 0; }),
      P([&] {
        if (yaConectado) return;
        ValoresLanzamiento previos;
        previos.parametroAdicional = gParametroAdicional;
        previos.menu = gMenu;
        previos.usuarioLogeado = gUsuarioLogeado;
        previos.caja = gCaja;
        valores = LeerLineaLanzamiento(linea, previos);
        gParametroAdicional = valores.parametroAdicional;
        gMenu = valores.menu;
        gUsuarioLogeado = valores.usuarioLogeado;
        gCaja = valores.caja;
      }),
      P([&] {
        if (yaConectado) return;
        db.gUsuario = valores.usuario;
        db.gDBName = valores.dbName;
        db.gUserPassWord = valores.password;
        db.gServidor = NombreServidor(valores.servidor);
      }),
      P([&] {
        if (yaConectado) return;
        const bool pedir = Trim(valores.servidor).empty() || Trim(valores.usuario).empty();
        db.OpenServerADODB(pedir, lCursor, ConnString, true, true);
      }),
      [&] {
        if (yaConectado) return Paso::Seguir;
        if (!db.gOpenFlag) ui::operador().FinPrograma(kSinConexion);
        return Paso::Seguir;
      },
      P([&] {
        if (!yaConectado) AvisarBaseEmbebidaEnRed(db.gConnString);
      }),
      P([&] {
        if (!yaConectado) AbrirEstadisticas();
      }),
      P([&] {
        if (!yaConectado) gUsuarioLogeado = db.gUsuario;
      }),
      P([&] {
        if (!yaConectado) db.gCnn->SetCommandTimeout(gTimeOut);
      }),
      P([&] {
        if (!yaConectado) db.gCnn->SetIsolationLevel(kLecturaNoConfirmada);
      }),
      [&] {
        if (db.gDBName.empty()) return Paso::Seguir;
        gConnectDSN = "DSN=" + db.gDBName + "; UID=" + db.gUsuario + "; PWD=" + db.gUserPassWord;
        return Paso::Seguir;
      },
      P([&] {
        if (db.gDBName.empty()) return;
        gReporte().CarpetaSistema(carpeta);
        gReporte().Conexion(db.gCnn.get());  // the engine reads its data here
      }),
      P([&] {
        if (!db.gDBName.empty()) db.gCnn->SetDefaultDatabase(db.gDBName);
      }),
      P([&] {
        if (db.gDBName.empty()) return;
        Lib_ClsCons3& consultas = gClsCons3();
        consultas.gConnString = db.gConnString;
        consultas.gUsarMascarasConsultas = true;
        consultas.gRutaMascaraConsultas = carpeta + "consultas.qzx";
      }),
      P([&] {
        if (db.gDBName.empty()) return;
        if (!os::ArchivoExisteSinCaso(gClsCons3().gRutaMascaraConsultas)) GenerarConsultas();
      }),
      P([&] {
        if (!db.gDBName.empty()) db.gCnn->SetDefaultDatabase(db.gDBName);
      }),
      P([&] {
        if (!db.gDBName.empty()) CargarConfiguracion(carpeta);
      }),
      P([] { RegistrarAcceso(""); }),
  };
  try {
    // An invalid argument skips its step; any other failure ends the start-up quietly.
    basic::EjecutarPasos(pasos,
                         [](const ErrorEjecucion& e) { return e.Number == kArgumentoInvalido ? 5 : 0; });
  } catch (const std::exception&) {
  }
}
