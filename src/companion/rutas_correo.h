#pragma once
// Where the mail program keeps its files: section [CORREO] of TM440kv.INI, relative paths
// hanging from the application folder. tspost and ocmail both resolve them here, so ocmail
// reads the journal and watches the spool that tspost writes.
#include <string>

struct RutasCorreo {
  std::string carpetaAplicacion;  // folder of the INI file; relative paths hang from it
  std::string archivoIni;         // the INI file read ("" when none was found)
  std::string carpetaSalida;      // CarpetaSalida, default CORREO/SALIDA
  std::string carpetaPendientes;  // CarpetaPendientes, default CORREO/PENDIENTES
  std::string archivoLog;         // ArchivoLog, default TSPOST.LOG
  std::string archivoEntregas;    // ArchivoEntregas, default CORREO/ENTREGAS.TXT
  std::string adjunto;            // Adjunto as written: "HTML" (also empty) or "PDF"
  std::string asunto, mensaje;    // Asunto and Mensaje: defaults of a run without a window
};

// `carpetaAplicacion` is where TM440kv.INI is looked for (whatever the case of its name)
// unless `archivoIni` names the file itself; then that file's folder stands for the
// application folder. "\" in a value is taken as "/".
RutasCorreo LeerRutasCorreo(const std::string& carpetaAplicacion, const std::string& archivoIni = "");
