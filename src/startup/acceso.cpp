#include "startup/acceso.h"

#include "banner/dll_display.h"
#include "companion/companion.h"
#include "reports/reporte.h"
#include "data/db_dll.h"
#include "global/contexto.h"
#include "global/errores.h"
#include "global/sql_texto.h"
#include "platform/basic/formato.h"
#include "platform/basic/numero.h"
#include "platform/basic/pasos.h"
#include "platform/basic/texto.h"
#include "platform/os/rutas.h"
#include "platform/os/sistema.h"
#include "platform/ui/operador.h"

using basic::P;
using basic::Paso;
using basic::Trim;
using basic::UCase;

namespace {

// Variant names of other programs of the suite, registered under a base name.
struct Alias {
  const char* programa;
  const char* registrado;
};
const Alias kAlias[] = {
    {"FACTURACION2", "FACTURACION"},
    {"FACTURACIONH", "FACTURACION"},
    {"COMPRAS2", "COMPRAS"},
    {"COMPRASH", "COMPRAS"},
    {"STOCK2", "STOCK"},
    {"QZSTOCK", "STOCK"},
    {"CTACTE2", "CTACTE"},
    {"QZCTACTE", "CTACTE"},
};

// Programs that are not run under a task: no task lookup.
const char* const kSinTarea[] = {"ALTADSN", "QZCONFIG", "QZACTUALIZA"};
// The suite's mail program leaves no usage row at all.
constexpr const char* kSinRegistro = "TSPOST";

std::string AhoraFormateado() { return basic::FormatFecha(os::sistema().Ahora(), FormatoFechaHora()); }

// The identity of the row this connection inserted last: @@IDENTITY belongs to the
// session on the server, and the embedded engine answers it with its last inserted row
// of the same connection, so another workstation's insert can never be taken for ours.
// Oracle has no such value: no id there.
int32_t UltimaIdentidad(DB_Dll& db) {
  if (basic::InStr(db.gCnn->ConnectionString(), "oracle", basic::CompararTexto) > 0) return 0;
  long afectados = 0;
  auto rs = canalADO().Execute(*db.gCnn, "SELECT @@IDENTITY AS id", &afectados, -1);
  if (!rs || rs->State() == ado::adStateClosed || rs->Eof()) return 0;
  const int32_t id = rs->Fields(0L).Value().Entero();
  rs->Close();
  return id;
}

}  // namespace

std::string NombreProgramaRegistrado(const std::string& programa) {
  for (const auto& a : kAlias)
    if (basic::IgualesSinCaso(Trim(programa), a.programa)) return a.registrado;
  return programa;
}

namespace {
// Inserts the pending field list as a Control_Acceso row; false when it failed (told to the
// operator with `avisar`).
bool InsertarControlAcceso(bool avisar) {
  std::vector<std::string> lineas;
  std::string condicion;
  ArmarSentencia(gCamposSentencia, lineas, "Control_Acceso", false, condicion, false);
  bool fallo = false;
  long nativo = 0;
  std::string script, textoError;
  GActualizarDatoScript(lineas, fallo, nativo, false, false, script, textoError, avisar);
  return !fallo;
}
}  // namespace

void RegistrarAcceso(const std::string& programa) {
  DB_Dll& db = gDB();
  const std::string ejecutable = os::NombreEjecutable();
  std::string nombre;
  std::string tarea;
  bool buscarTarea = true;
  ado::Recordset rs;
  gIdAcceso = 0;

  basic::EjecutarIgnorando({
      P([&] {
        nombre = programa.empty() ? ejecutable : programa;
        gUsuarioLogeado = db.gUsuario;
      }),
      [&] {
        nombre = NombreProgramaRegistrado(nombre);
        if (basic::IgualesSinCaso(nombre, kSinRegistro)) return Paso::Salir;
        for (const char* p : kSinTarea)
          if (basic::IgualesSinCaso(nombre, p)) buscarTarea = false;
        return Paso::Seguir;
      },
      P([&] {
        if (!buscarTarea) return;
        db.AbrirRecordset(
            "SELECT TA_TAREAS.USUARIO, TA_MENU.Proceso, TA_MENU.Clave , TA_MENU.Nombre "
            " FROM TA_TAREAS  with(nolock) INNER JOIN TA_MENU ON TA_TAREAS.TAREA = TA_MENU.Clave "
            " WHERE (TA_TAREAS.USUARIO = '" +
                basic::DoblarComillas(gUsuarioLogeado) + " ') AND (TA_MENU.Proceso LIKE '%" +
                basic::DoblarComillas(nombre) + "%')",
            rs, nullptr, ado::adOpenForwardOnly, ado::adLockReadOnly);
      }),
      P([&] {
        if (!buscarTarea) return;
        if (rs.State() != ado::adStateClosed && !rs.Eof())
          tarea = gFunciones().SinNulo(rs.Fields("Nombre"));
        else if (UCase(ejecutable) == "TM440KV")
          tarea = "Menu Principal";
        else if (basic::IgualesSinCaso(db.gUsuario, db.gDBName) ||
                 basic::IgualesSinCaso(db.gUsuario, "SUPERVISOR TESSERA MC"))
          tarea = ejecutable;
        else
          tarea = "";
      }),
      P([&] {
        if (buscarTarea) db.CierraRecordset(rs);
      }),
      P([&] {
        AgregarCampoValor("Maquina", UCase(Trim(gEquipo().NombreEquipo())), "'", true);
        AgregarCampoValor("Usuario", UCase(Trim(gUsuarioLogeado)), "'", false);
        AgregarCampoValor("Formulario", UCase(Trim(nombre)), "'", false);
        AgregarCampoValor("Tarea", UCase(Trim(tarea)), "'", false);
        AgregarCampoValor("Ingreso", AhoraFormateado(), "'", false);
        AgregarCampo("NombreUsuario", gUsuarioLogeado, "'", false);
      }),
      [&] {
        // Nothing inserted: no id to keep.
        return InsertarControlAcceso(true) ? Paso::Seguir : Paso::Salir;
      },
      P([&] { gIdAcceso = UltimaIdentidad(db); }),
  });
  try {
    if (rs.State() != ado::adStateClosed) rs.Close();
  } catch (...) {
  }
}

bool RegistrarEvento(const std::string& formulario, const std::string& tarea) {
  try {
    if (!gDB().gOpenFlag) return false;
    const std::string ahora = AhoraFormateado();
    AgregarCampoValor("Maquina", UCase(Trim(gEquipo().NombreEquipo())), "'", true);
    AgregarCampoValor("Usuario", UCase(Trim(gUsuarioLogeado)), "'", false);
    AgregarCampoValor("Formulario", UCase(Trim(formulario)), "'", false);
    AgregarCampoValor("Tarea", UCase(Trim(tarea)), "'", false);
    AgregarCampoValor("Ingreso", ahora, "'", false);
    AgregarCampoValor("Egreso", ahora, "'", false);
    AgregarCampoValor("NombreUsuario", gUsuarioLogeado, "'", false);
    return InsertarControlAcceso(false);
  } catch (...) {
    return false;  // a log row is never worth stopping for
  }
}

void RegistrarEgreso() {
  try {
    DB_Dll& db = gDB();
    if (!db.gOpenFlag || gIdAcceso == 0) return;  // no row of this run to close
    db.EjecutaConsultaSQL("UPDATE CONTROL_ACCESO  SET EGRESO = '" + AhoraFormateado() + "'" +
                          " WHERE EGRESO IS NULL AND  ID = " + std::to_string(gIdAcceso));
  } catch (const ErrorEjecucion& e) {
    ui::operador().MsgBox(e.Description, ui::vbOKOnly, "");
  }
}

void CerrarSistemaSinSalir() {
  RegistrarEgreso();
  // Shared objects, released in the suite's order as far as the companion allows (its
  // INI, functions, window helpers and computer objects go together).
  LiberarDisplay();
  LiberarGDB();
  LiberarCompanion();
  LiberarReporte();
}

void CerrarSistema() {
  CerrarSistemaSinSalir();
  ui::operador().FinPrograma(0);
}
