#pragma once
// What the data layer needs of the connection registration window: loaded, filled,
// shown modally, read and unloaded. The window itself lives in connection/; the
// program installs a factory at start, tests install a scripted one.
#include <functional>
#include <memory>
#include <string>

#include "platform/ui/operador.h"

class VentanaAcceso : public ui::VentanaModal {
 public:
  std::string NombreVentana() const override { return "frmAcceso"; }
  virtual std::string TxtServidor() const = 0;
  virtual void SetTxtServidor(const std::string&) = 0;
  virtual std::string TxtDbName() const = 0;
  virtual void SetTxtDbName(const std::string&) = 0;
  virtual std::string TxtUserId() const = 0;
  virtual void SetTxtUserId(const std::string&) = 0;
  virtual std::string TxtUserPassword() const = 0;
  virtual void SetTxtUserPassword(const std::string&) = 0;
  // 0 "SQL Server", 1 "ORACLE".
  virtual int CboPlataformaDB() const = 0;
  virtual void SetCboPlataformaDB(int) = 0;
  virtual bool Aceptar() const = 0;
  virtual void Ocultar() {}  // hide when it may still be loaded
};

using FabricaVentanaAcceso = std::function<std::unique_ptr<VentanaAcceso>()>;
// The factory that OpenServerADODB uses to load frmAcceso; nullptr = none installed
// (then the exchange behaves as a cancelled window).
void InstalarFabricaVentanaAcceso(FabricaVentanaAcceso f);
const FabricaVentanaAcceso& FabricaDeVentanaAcceso();
