#pragma once
// Shared set-up of the start-up tests: a fresh application folder (optionally with the
// embedded demo database), a fixed clock, computer, user and environment, a scripted
// operator, and the program-wide state put back as a fresh process has it.
#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "banner/dll_display.h"
#include "companion/companion.h"
#include "reports/reporte.h"
#include "data/db_dll.h"
#include "data/ventana_acceso.h"
#include "global/configuracion.h"
#include "global/contexto.h"
#include "global/sql_texto.h"
#include "lookup/lib_clscons3.h"
#include "ocmail-sql/base_datos.h"
#include "platform/ado/ado.h"
#include "platform/basic/fecha.h"
#include "platform/basic/texto.h"
#include "platform/os/rutas.h"
#include "platform/os/sistema.h"
#include "platform/ui/operador_guionado.h"
#include "support/estado_global.h"
#include "support/temp_dir.h"

struct SistemaFijo : os::Sistema {
  basic::Fecha ahora = basic::DateSerial(2026, 5, 21) + basic::TimeSerial(14, 3, 11);
  std::string equipo = "pc01";
  std::string usuario = "juan";
  std::map<std::string, std::string> entorno;

  basic::Fecha Ahora() const override { return ahora; }
  std::string NombreEquipo() const override { return equipo; }
  std::string UsuarioSistema() const override { return usuario; }
  std::optional<std::string> Entorno(const std::string& nombre) const override {
    for (const auto& [k, v] : entorno)
      if (basic::IgualesSinCaso(k, nombre)) return v;
    return std::nullopt;
  }
};

// The connection window as OpenServerADODB sees it, driven by the test.
struct VentanaAccesoGuionada : VentanaAcceso {
  std::string servidor, dbName, usuario, password;
  int plataforma = 0;
  bool aceptar = false;
  std::string TxtServidor() const override { return servidor; }
  void SetTxtServidor(const std::string& v) override { servidor = v; }
  std::string TxtDbName() const override { return dbName; }
  void SetTxtDbName(const std::string& v) override { dbName = v; }
  std::string TxtUserId() const override { return usuario; }
  void SetTxtUserId(const std::string& v) override { usuario = v; }
  std::string TxtUserPassword() const override { return password; }
  void SetTxtUserPassword(const std::string& v) override { password = v; }
  int CboPlataformaDB() const override { return plataforma; }
  void SetCboPlataformaDB(int v) override { plataforma = v; }
  bool Aceptar() const override { return aceptar; }
  void EjecutarModal() override {}
};

inline constexpr const char* kLineaDemo = "@Server=sqlite; @DbName=demo; @Usuario=admin; @Password=x;";

class EntornoGlobal {
 public:
  explicit EntornoGlobal(bool conBase = true) {
    ReiniciarEstadoGlobal();
    std::filesystem::create_directories(dir.path() / "log");
    sistema.entorno = {{"temp", dir / "log"}, {"tmp", dir / "log"}};
    os::InstalarSistema(&sistema);
    ui::InstalarOperador(&op);
    os::FijarCarpetaAplicacion(dir.str());
    ArchivoIni::FijarCarpeta("");
    if (conBase) ocmailsql::CrearBaseDatos(dir / "demo.db", 60);
  }
  ~EntornoGlobal() {
    ReiniciarEstadoGlobal();
    ui::InstalarOperador(nullptr);
  }
  EntornoGlobal(const EntornoGlobal&) = delete;
  EntornoGlobal& operator=(const EntornoGlobal&) = delete;

  // Rows of a statement run straight on a database file of the folder, as texts ("NULL"
  // for a null).
  std::vector<std::vector<std::string>> Filas(const std::string& sql,
                                              const std::string& archivo = "demo.db") const {
    std::vector<std::vector<std::string>> filas;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2((dir / archivo).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      sqlite3_close(db);
      return filas;
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
      while (sqlite3_step(st) == SQLITE_ROW) {
        std::vector<std::string> fila;
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
          const auto* t = sqlite3_column_text(st, i);
          fila.push_back(t ? reinterpret_cast<const char*>(t) : "NULL");
        }
        filas.push_back(fila);
      }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return filas;
  }
  void Ejecutar(const std::string& sql, const std::string& archivo = "demo.db") const { Filas(sql, archivo); }

  TempDir dir;
  SistemaFijo sistema;
  ui::OperadorGuionado op;
};
