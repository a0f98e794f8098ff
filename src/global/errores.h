#pragma once
// Reporting failures: the operator prompt with its QZERR.LOG line, the AUX_ERR row of a
// failed statement, and running a script as one transaction.
#include <optional>
#include <string>
#include <vector>

#include "platform/basic/error.h"
#include "platform/basic/variant.h"

// Asks the operator about a run-time error (critical icon with Abort/Retry/Ignore unless
// `botones` says otherwise) and appends a line to QZERR.LOG. Returns the answer: 4 retry,
// 5 go on, anything else leave; 0 without asking for error number 0. Never raises.
int AvisoError(const ErrorEjecucion& error, std::optional<int> botones = std::nullopt,
               const std::string& rutina = "");
inline int AvisoError(const ErrorEjecucion& error, const std::string& rutina) {
  return AvisoError(error, std::nullopt, rutina);
}

// Folder rule of the error log: the "tmp" variable when "temp" is set, else the
// companion's temporary folder; with "/" and "QZERR.LOG" appended.
std::string RutaQzErr();
// One log line without its line end: "mm-dd-yyyy hh:mm:ss Rutina: <rutina -> Mensaje
// Ha ocurrido el Siguiente Error (n) <desc> Respondió : <word>", passwords hidden.
std::string LineaQzErr(basic::Fecha ahora, const std::string& rutina, long numero,
                       const std::string& descripcion, int respuesta);
// The log word of an answer: "Cancelar", "Abortar", "Reintentar", "Ignorar", "Sí", "No", "".
std::string PalabraRespuesta(int respuesta);

// One AUX_ERR row for a failed statement; an empty `proceso` becomes the executable
// name. Never raises.
void GrabarAuxErr(const std::string& sql, std::string& proceso, long error, const std::string& descripcion);

// Runs the non-blank lines as one transaction on gDB. On database errors: rolls back,
// writes the AUX_ERR row, and tells the operator when `mostrarMensaje` is set, unless the
// error is an ignored duplicate (2627) or broken reference (547). A script of blank
// lines sends nothing.
void GActualizarDatoScript(const std::vector<std::string>& lineas, bool& fallo, long& errorNativo,
                           bool ignoraDuplicados, bool ignoraReferencias, std::string& script,
                           std::string& textoError, bool mostrarMensaje);
