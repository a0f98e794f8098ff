// The operator dialog of the data layer and its error log (QZERR.LOG).
#include <cstdio>
#include <string>

#include "data/db_dll.h"
#include "platform/basic/archivos.h"
#include "platform/basic/fecha.h"
#include "platform/basic/texto.h"
#include "platform/os/rutas.h"
#include "platform/os/sistema.h"
#include "platform/ui/operador.h"

namespace {

std::string TextoRespuesta(int respuesta) {
  switch (respuesta) {
    case ui::vbAbort: return "Abortar";
    case ui::vbRetry: return "Reintentar";
    case ui::vbIgnore: return "Ignorar";
    case ui::vbCancel: return "Cancelar";
    case ui::vbYes: return "Sí";
    case ui::vbNo: return "No";
    default: return "";
  }
}

// "mm-dd-yyyy hh:mm:ss" of now.
std::string MarcaDeTiempo() {
  const basic::Fecha ahora = os::sistema().Ahora();
  char b[32];
  std::snprintf(b, sizeof b, "%02d-%02d-%04d %02d:%02d:%02d", basic::Month(ahora), basic::Day(ahora),
                basic::Year(ahora), basic::Hour(ahora), basic::Minute(ahora), basic::Second(ahora));
  return b;
}

}  // namespace

int16_t DB_Dll::TratamientoErrores(const ErrorEjecucion& CodErr, std::optional<int> Botones,
                                   std::optional<std::string> Rutina) {
  if (CodErr.Number == 0) return 0;

  std::string ruta = gLogErr;
  if (basic::Trim(ruta).empty()) {
    std::string carpeta = os::CarpetaAplicacion();
    if (carpeta.empty() || (carpeta.back() != '/' && carpeta.back() != '\\')) carpeta += "/";
    ruta = os::ResolverSinCaso(carpeta + "QZERR.LOG");
  }
  const std::string mensaje = "Ha ocurrido el Siguiente Error (" +
                              basic::Trim(std::to_string(CodErr.Number)) + ") " +
                              basic::Trim(OcultarClaves(CodErr.Description));
  const std::string rutina = Rutina ? " - " + *Rutina : "";
  const std::string titulo = CodErr.Source + rutina + " Aviso al operador!!! - 5 ";
  const int estilo = Botones ? *Botones : int{ui::vbCritical} + ui::vbAbortRetryIgnore;

  const int respuesta = ui::operador().MsgBox(mensaje, estilo, titulo);

  // One line per event: a driver's or a value's line end must not start a line of its own.
  const std::string linea = MarcaDeTiempo() + " Rutina: " + basic::TextoVisible(basic::Trim(rutina)) +
                            " Mensaje " + basic::TextoVisible(basic::Trim(mensaje)) +
                            " Respondió : " + TextoRespuesta(respuesta);
  try {
    basic::AgregarLinea(ruta, linea);  // Windows-1252, CR LF; a log that cannot be written is skipped
  } catch (...) {
  }
  return static_cast<int16_t>(respuesta);
}
