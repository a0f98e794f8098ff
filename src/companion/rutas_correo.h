#pragma once
// Where the mail program keeps its files: section [CORREO] of TM440kv.INI, relative paths
// hanging from the application folder. tspost and ocmail both resolve them here, so ocmail
// reads the journal and watches the spool that tspost writes.
#include <string>

struct RutasCorreo {
  std::string carpetaAplicacion;  // folder of the INI file; relative paths hang from it
  std::string archivoIni;         // the INI file read ("" when none was found)
  std::string carpetaSalida;      // CarpetaSalida, default CORREO/SALIDA
  std::string carpetaPendientes;  // CarpetaPendientes, default <CarpetaLocal>/PENDIENTES
  bool pendientesDelIni = false;  // CarpetaPendientes was set in the INI
  std::string archivoLog;         // ArchivoLog, default TSPOST.LOG
  std::string archivoEntregas;    // ArchivoEntregas, default CORREO/ENTREGAS.TXT
  std::string adjunto;            // Adjunto as written: "HTML" (also empty) or "PDF"
  std::string asunto, mensaje;    // Asunto and Mensaje: defaults of a run without a window
  int minutosRevision = 5;        // MinutosRevision: the window's retry of the spool (0: none)
  std::string buzonEntrada;       // BuzonEntrada: the sender's mailbox tspost --revisar reads
};

// `carpetaAplicacion` is where TM440kv.INI is looked for (whatever the case of its name)
// unless `archivoIni` names the file itself; then that file's folder stands for the
// application folder. "\" in a value is taken as "/".
RutasCorreo LeerRutasCorreo(const std::string& carpetaAplicacion, const std::string& archivoIni = "");

// The folder of this PC and user for one application folder, where what must be exclusive
// lives (the job file and its lock, the record of orders claimed in flight): locks, links
// and renames there work, which they do not on a shared folder. $XDG_STATE_HOME (else
// ~/.local/state) + "/ocmail/<folder name>-<hash of its full path>", made with mode 0700
// when missing. When that lies on a network file system, the runtime folder
// ($XDG_RUNTIME_DIR, else /tmp/ocmail-<uid>) takes its place and `aviso` (when given) says
// so. Raises ErrorEjecucion 75 naming the folder that cannot be made or is not the user's.
std::string CarpetaLocal(const std::string& carpetaAplicacion, std::string* aviso = nullptr);
// The same folder's path, nothing made or checked (readers that only look, and defaults).
std::string RutaCarpetaLocal(const std::string& carpetaAplicacion);
