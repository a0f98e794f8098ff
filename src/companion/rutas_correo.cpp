#include "companion/rutas_correo.h"

#include <filesystem>

#include "companion/companion.h"

namespace fs = std::filesystem;

namespace {

std::string Ruta(const std::string& valor, const std::string& carpetaAplicacion,
                 const std::string& porDefecto) {
  std::string v = valor.empty() ? porDefecto : valor;
  for (char& c : v)
    if (c == '\\') c = '/';
  fs::path p(v);
  if (p.is_relative()) p = fs::path(carpetaAplicacion) / p;
  return p.lexically_normal().string();
}

}  // namespace

RutasCorreo LeerRutasCorreo(const std::string& carpetaAplicacion, const std::string& archivoIni) {
  RutasCorreo r;
  ArchivoIni ini;
  const std::string ruta =
      ini.RutaArchivo(archivoIni.empty() ? (fs::path(carpetaAplicacion) / kArchivoIniEquipo).string()
                                         : fs::absolute(archivoIni).string());
  std::error_code ec;
  r.archivoIni = fs::is_regular_file(ruta, ec) ? ruta : "";
  r.carpetaAplicacion =
      archivoIni.empty() ? carpetaAplicacion : fs::absolute(archivoIni).parent_path().string();
  if (r.carpetaAplicacion.empty()) r.carpetaAplicacion = ".";
  auto leer = [&](const char* clave) {
    return r.archivoIni.empty() ? std::string() : ini.LeerIni(r.archivoIni, "CORREO", clave, "");
  };
  r.carpetaSalida = Ruta(leer("CarpetaSalida"), r.carpetaAplicacion, "CORREO/SALIDA");
  r.carpetaPendientes = Ruta(leer("CarpetaPendientes"), r.carpetaAplicacion, "CORREO/PENDIENTES");
  r.archivoLog = Ruta(leer("ArchivoLog"), r.carpetaAplicacion, "TSPOST.LOG");
  r.archivoEntregas = Ruta(leer("ArchivoEntregas"), r.carpetaAplicacion, "CORREO/ENTREGAS.TXT");
  r.adjunto = leer("Adjunto");
  r.asunto = leer("Asunto");
  r.mensaje = leer("Mensaje");
  return r;
}
