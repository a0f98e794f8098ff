#pragma once
// Shared set-up of the report tests: a fresh demo database in a fresh application
// folder, the main connection open on it, a scripted operator and a fixed workstation.
#include <memory>
#include <string>

#include "platform/ado/ado.h"
#include "platform/os/sistema.h"
#include "platform/ui/operador_guionado.h"
#include "support/temp_dir.h"

struct EquipoFijo : os::Sistema {
  std::string equipo = "PC01";
  std::string usuario = "juan";
  std::string NombreEquipo() const override { return equipo; }
  std::string UsuarioSistema() const override { return usuario; }
};

class BaseDemo {
 public:
  BaseDemo();
  ~BaseDemo();
  // Runs a statement on the main connection.
  void Ejecutar(const std::string& sql);
  // The first column of the first row as text.
  std::string Valor(const std::string& sql);
  ado::Connection& Cn();
  // An empty file in the application folder.
  void Crear(const std::string& nombre, const std::string& contenido = "x");
  // The application folder with its trailing "/".
  std::string app() const { return dir.str() + "/"; }

  TempDir dir;
  EquipoFijo sistema;
  ui::OperadorGuionado op;
};

// The shipped report definitions.
inline std::string CarpetaReportes() { return std::string(OCMAIL_SHARE) + "/reports"; }
