#pragma once
// The application folder as the suite installs it: the demo database, the report
// definitions and the demo's TM440kv.INI, under `app` (created).
#include <filesystem>
#include <string>

#include "ocmail-sql/base_datos.h"

inline void CrearCarpetaDemo(const std::string& app) {
  namespace fs = std::filesystem;
  fs::create_directories(app);
  ocmailsql::CrearBaseDatos(app + "/demo.db", ocmailsql::demo::kPedidosPorDefecto);
  for (const auto& e : fs::directory_iterator(std::string(OCMAIL_SHARE) + "/reports"))
    fs::copy_file(e.path(), app + "/" + e.path().filename().string());
  fs::copy_file(std::string(OCMAIL_SHARE) + "/demo/TM440kv.INI", app + "/TM440kv.INI");
}
