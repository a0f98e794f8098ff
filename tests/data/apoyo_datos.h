#pragma once
// Test support of the data layer: a fresh embedded database per test, a recording ADO
// channel, a scripted connection window and a fixed clock.
#include <functional>
#include <string>
#include <vector>

#include "data/db_dll.h"
#include "data/ventana_acceso.h"
#include "platform/os/sistema.h"
#include "platform/ui/operador_guionado.h"
#include "support/temp_dir.h"

// Records every call as "Operation: text" and forwards it, unless `fingir` answers it.
class CanalGrabador : public CanalADO {
 public:
  std::vector<std::string> llamadas;
  // When set, called before forwarding; returning true means the call was answered here.
  std::function<bool(const std::string& operacion, const std::string& texto)> fingir;
  // Rows reported by a faked Execute.
  long afectadosFingidos = 1;

  void Open(ado::Connection& cn, const std::string& cadena, const std::string& usuario,
            const std::string& clave, long opciones) override;
  void Close(ado::Connection& cn) override;
  std::shared_ptr<ado::Recordset> Execute(ado::Connection& cn, const std::string& sql, long* afectados,
                                          long opciones) override;
  void OpenRecordset(ado::Recordset& rs, const std::string& fuente, ado::Connection& cn, long cursor,
                     long bloqueo, long opciones) override;
  std::shared_ptr<ado::Recordset> OpenSchema(ado::Connection& cn, long esquema,
                                             const std::vector<basic::Variant>& r) override;
  void BeginTrans(ado::Connection& cn) override;
  void CommitTrans(ado::Connection& cn) override;
  void RollbackTrans(ado::Connection& cn) override;

  // The recorded calls of one operation, texts only.
  std::vector<std::string> De(const std::string& operacion) const;
};

// The connection window as a test drives it.
class VentanaAccesoGuionada : public VentanaAcceso {
 public:
  std::string servidor, base, usuario, clave;
  int plataforma = -1;
  bool aceptar = false;
  void EjecutarModal() override {}
  std::string TxtServidor() const override { return servidor; }
  void SetTxtServidor(const std::string& s) override { servidor = s; }
  std::string TxtDbName() const override { return base; }
  void SetTxtDbName(const std::string& s) override { base = s; }
  std::string TxtUserId() const override { return usuario; }
  void SetTxtUserId(const std::string& s) override { usuario = s; }
  std::string TxtUserPassword() const override { return clave; }
  void SetTxtUserPassword(const std::string& s) override { clave = s; }
  int CboPlataformaDB() const override { return plataforma; }
  void SetCboPlataformaDB(int i) override { plataforma = i; }
  bool Aceptar() const override { return aceptar; }
};

// A modal handler that fills the window and confirms it (or cancels when !acepta).
std::function<void(ui::VentanaModal&)> ResponderVentana(std::string servidor, std::string base,
                                                        std::string usuario, std::string clave,
                                                        int plataforma, bool acepta);

class RelojFijo : public os::Sistema {
 public:
  basic::Fecha ahora = 0;
  basic::Fecha Ahora() const override { return ahora; }
};

// Everything a data test needs: a temp application folder holding "base.db" with a small
// schema, the scripted operator, a fixed clock, fresh program-wide instances.
class EntornoDatos {
 public:
  EntornoDatos();
  ~EntornoDatos();
  TempDir dir;
  ui::OperadorGuionado op;
  RelojFijo reloj;
  std::string archivo;  // absolute path of the database file

  // The embedded-road connection string of the suite's SQL Server form.
  std::string Cadena(const std::string& usuario = "ana", const std::string& clave = "pw") const;
  // Runs SQL straight on the file (set-up and checks, outside the layer under test).
  void Sql(const std::string& sql) const;
  std::string Valor(const std::string& sql) const;  // first column of the first row
  // gDB() pointed at the file and opened without the administrator check.
  DB_Dll& Abrir();
};
