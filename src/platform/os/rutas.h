#pragma once
// Paths on this platform: the application folder, the executable name, the temporary
// folder, and file names the suite writes in any case found whatever their case on disk.
#include <string>

namespace os {

// Folder of the running executable, without a trailing "/".
std::string CarpetaAplicacion();
// Tests and tools may point the application folder elsewhere; "" restores the real one.
void FijarCarpetaAplicacion(const std::string& carpeta);
// The running program's file name without folder and extension ("ocmail").
std::string NombreEjecutable();

// The "temp" or "tmp" environment variable (names in any case, blank values skipped),
// else "/tmp". Without a trailing "/".
std::string CarpetaTemporal();

// The kind of network or user-space file system that holds `ruta` (or its nearest existing
// folder): "NFS", "SMB", "FUSE", "9P", "AFS", "Ceph"...; "" for a local disk. On such a file
// system locks, links and renames may not work across machines.
std::string SistemaDeArchivosDeRed(const std::string& ruta);

// The existing path whose components equal those of `ruta` without regard to case
// (an exact match is preferred at each step); "" when there is none or `ruta` is blank.
// Relative paths are resolved from the current folder and come back relative.
std::string BuscarArchivoSinCaso(const std::string& ruta);
// True when a regular file (or a link to one) is found by BuscarArchivoSinCaso.
bool ArchivoExisteSinCaso(const std::string& ruta);
// The existing match of `ruta` if any, else `ruta` itself: the name to create or
// rewrite a file under, so that "cfgMail.txt" rewrites an existing "CFGMAIL.TXT".
std::string ResolverSinCaso(const std::string& ruta);

}  // namespace os
