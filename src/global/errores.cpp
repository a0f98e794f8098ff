#include "global/errores.h"

#include <cstdio>
#include <memory>

#include "companion/companion.h"
#include "data/db_dll.h"
#include "platform/basic/archivos.h"
#include "global/sql_texto.h"
#include "platform/basic/fecha.h"
#include "platform/basic/formato.h"
#include "platform/basic/pasos.h"
#include "platform/basic/texto.h"
#include "platform/os/rutas.h"
#include "platform/os/sistema.h"
#include "platform/ui/operador.h"

namespace {

constexpr int kEstiloAviso = int{ui::vbCritical} + int{ui::vbAbortRetryIgnore};  // 18

std::string MensajeError(long numero, const std::string& descripcion) {
  return "Ha ocurrido el Siguiente Error (" + std::to_string(numero) + ") " + basic::Trim(descripcion);
}

std::string ParteRutina(const std::string& rutina) { return rutina.empty() ? "" : rutina + " - "; }

}  // namespace

std::string PalabraRespuesta(int respuesta) {
  switch (respuesta) {
    case ui::vbCancel: return "Cancelar";
    case ui::vbAbort: return "Abortar";
    case ui::vbRetry: return "Reintentar";
    case ui::vbIgnore: return "Ignorar";
    case ui::vbYes: return "Sí";
    case ui::vbNo: return "No";
    default: return "";
  }
}

std::string RutaQzErr() {
  std::string carpeta;
  const auto temp = os::sistema().Entorno("temp");
  if (temp && !temp->empty()) carpeta = basic::Trim(os::sistema().Entorno("tmp").value_or(""));
  if (carpeta.empty()) carpeta = gEquipo().CarpetaTemporal();
  carpeta = gFunciones().AgregarBarra(carpeta);
  if (carpeta.empty() || carpeta.back() != '/') carpeta += '/';
  return carpeta + "QZERR.LOG";
}

std::string LineaQzErr(basic::Fecha ahora, const std::string& rutina, long numero,
                       const std::string& descripcion, int respuesta) {
  char fecha[32];
  std::snprintf(fecha, sizeof fecha, "%02d-%02d-%04d %02d:%02d:%02d", basic::Month(ahora), basic::Day(ahora),
                basic::Year(ahora), basic::Hour(ahora), basic::Minute(ahora), basic::Second(ahora));
  // One line per event: a line end inside a description is shown, not written.
  return OcultarClaves(
      std::string(fecha) + " Rutina: " + basic::TextoVisible(basic::Trim(ParteRutina(rutina))) + " Mensaje " +
      basic::TextoVisible(MensajeError(numero, descripcion)) + " Respondió : " + PalabraRespuesta(respuesta));
}

int AvisoError(const ErrorEjecucion& error, std::optional<int> botones, const std::string& rutina) {
  // Every step is on its own: a log that cannot be written still lets the operator answer.
  std::unique_ptr<basic::ArchivoTexto> log;
  try {
    log = std::make_unique<basic::ArchivoTexto>(RutaQzErr(), basic::ArchivoTexto::Modo::Agregar);
  } catch (...) {
  }
  const std::string mensaje = OcultarClaves(MensajeError(error.Number, error.Description));
  const std::string titulo = ParteRutina(rutina) + error.Source + " Aviso al operador!!! - 2 ";
  const int estilo = botones.value_or(kEstiloAviso);
  if (error.Number == 0) return 0;

  int respuesta = 0;
  try {
    respuesta = ui::operador().MsgBox(mensaje, estilo, titulo);
  } catch (const ErrorEjecucion&) {
  }
  try {
    if (log)
      log->EscribirLinea(
          LineaQzErr(os::sistema().Ahora(), rutina, error.Number, error.Description, respuesta));
  } catch (...) {
  }
  return respuesta;
}

void GrabarAuxErr(const std::string& sql, std::string& proceso, long error, const std::string& descripcion) {
  using basic::P;
  if (proceso.empty()) proceso = os::NombreEjecutable();
  DB_Dll& db = gDB();
  ado::Recordset rs;
  const std::string ahora = basic::FormatFecha(os::sistema().Ahora(), FormatoFechaHora());
  auto campo = [&rs](const char* nombre, basic::Variant valor) {
    return P([&rs, nombre, valor] { rs.Fields(nombre).SetValue(valor); });
  };
  basic::EjecutarIgnorando({
      P([&] {
        db.AbrirRecordset("select  top 1 * from AUX_ERR  with(nolock) ", rs, nullptr, ado::adOpenDynamic,
                          ado::adLockOptimistic);
      }),
      P([&] { rs.AddNew(); }),
      campo("Proceso", proceso),
      campo("Fecha", ahora),
      campo("Error", static_cast<int32_t>(error)),
      campo("Descripcion", gFunciones().CortarTexto(OcultarClaves(descripcion), 250)),
      campo("SQL", OcultarClaves(sql)),
      campo("pc", gEquipo().NombreEquipo()),
      campo("Usuario", db.gUsuario),
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

void GActualizarDatoScript(const std::vector<std::string>& lineas, bool& fallo, long& errorNativo,
                           bool ignoraDuplicados, bool ignoraReferencias, std::string& script,
                           std::string& textoError, bool mostrarMensaje) {
  using basic::P;
  fallo = false;
  std::string cuerpo;
  for (const auto& linea : lineas)
    if (!basic::Trim(linea).empty()) cuerpo += "\r" + linea;
  if (cuerpo.empty()) return;

  DB_Dll& db = gDB();
  std::string lote = "BEGIN TRANSACTION \r\r" + cuerpo + "\r";
  std::string copia;
  std::string texto;  // what goes to AUX_ERR and to the operator
  long nativo = 0;

  const bool completo = basic::EjecutarPasos(
      {
          P([&] {
            try {
              script = lote;
              long afectados = 0;
              db.EjecutaConsultaSQL(lote, afectados);
              copia = lote;
            } catch (const ErrorEjecucion&) {
              copia = lote;
            }
          }),
          P([&] {
            ado::Errors& errores = db.gCnn->Errors();
            if (errores.Count() == 0) return;
            nativo = errores[0].NativeError;
            fallo = true;
            texto.clear();
            const long hasta = errores.Count() == 1 ? 0 : errores.Count() - 2;
            for (long i = 0; i <= hasta; ++i)
              texto += std::to_string(errores[i].NativeError) + " : " + errores[i].Description + "\r\n";
            textoError = texto;
            if ((ignoraDuplicados && nativo == 2627) || (ignoraReferencias && nativo == 547)) {
              textoError = errores[0].Description;
              texto.clear();
            }
            errores.Clear();
          }),
          P([&] {
            if (!fallo) {
              db.EjecutaConsultaSQL("COMMIT TRANSACTION");
              return;
            }
            try {
              db.EjecutaConsultaSQL("ROLLBACK TRANSACTION");
            } catch (const ErrorEjecucion&) {
            }
            std::string proceso = os::NombreEjecutable();
            GrabarAuxErr(copia, proceso, nativo, texto);
            if (!basic::Trim(texto).empty() && mostrarMensaje)
              ui::operador().MsgBox(OcultarClaves(texto), int{ui::vbCritical} + int{ui::vbOKOnly},
                                    "Aviso al Operador!");
          }),
      },
      [](const ErrorEjecucion& e) { return AvisoError(e, "GActualizarDatoScript"); });
  if (completo) errorNativo = nativo;
}
