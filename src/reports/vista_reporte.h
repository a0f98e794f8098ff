#pragma once
// What the engine shows for the window destination: the report's title and HTML in a
// modal window. The window with printing and PDF is built by reports/qt and reached
// through a factory that the program installs at start (as data/ventana_acceso.h does
// for the connection window), so the engine itself needs no Qt Widgets.
#include <functional>
#include <memory>
#include <string>

#include "platform/ui/operador.h"

namespace reporte {

class VistaReporte : public ui::VentanaModal {
 public:
  VistaReporte(std::string titulo, std::string html) : titulo_(std::move(titulo)), html_(std::move(html)) {}
  std::string NombreVentana() const override { return "frmVistaPrevia"; }
  // Without a window of its own there is nothing to show.
  void EjecutarModal() override {}

  const std::string& Titulo() const { return titulo_; }
  const std::string& Html() const { return html_; }

 private:
  std::string titulo_;
  std::string html_;
};

using FabricaVistaReporte =
    std::function<std::unique_ptr<VistaReporte>(const std::string& titulo, const std::string& html)>;
// nullptr restores the default: a VistaReporte that shows nothing (tests that only read it).
void InstalarFabricaVistaReporte(FabricaVistaReporte f);
std::unique_ptr<VistaReporte> CrearVistaReporte(const std::string& titulo, const std::string& html);

}  // namespace reporte
