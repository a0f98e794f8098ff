#pragma once
// Connecting to the stand-in ODBC driver (odbc_sustituto.c) and reading what it received.
// Statements whose text holds kRechazo22001 are refused as SQL Server refuses a write
// that would truncate (SQL_ERROR, 22001/8152 then 01000/3621); kAviso01004 runs with the
// warning 01004/8152.
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace sustituto {

inline constexpr const char* kRechazo22001 = "RECHAZO_22001";
inline constexpr const char* kAviso01004 = "AVISO_01004";

// The ODBC connection string; `registro` gets the statements, `columnas` (comma
// separated) are the columns of the empty result every SELECT gets.
inline std::string Cadena(const std::string& registro, const std::string& columnas = "") {
  std::string s = std::string("DRIVER=") + OCMAIL_ODBC_SUSTITUTO + ";REGISTRO=" + registro + ";";
  if (!columnas.empty()) s += "COLUMNAS=" + columnas + ";";
  return s;
}

// The lines of the log: one per statement (\r \n \t written as such, bound values after
// tabs).
inline std::vector<std::string> Registro(const std::string& archivo) {
  std::vector<std::string> lineas;
  std::istringstream in(ReadBytes(archivo));
  for (std::string l; std::getline(in, l);) lineas.push_back(l);
  return lineas;
}

}  // namespace sustituto
