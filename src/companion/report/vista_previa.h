#pragma once
// The preview window of the report engine: the report's HTML on screen with the buttons
// "Imprimir" (printer dialog) and "Guardar PDF". Shown through ui::operador().MostrarModal,
// so tests drive it without a real modal loop. No Qt type in this header.
#include <string>

#include "platform/ui/operador.h"

namespace reporte {

class VentanaVistaPrevia : public ui::VentanaModal {
 public:
  VentanaVistaPrevia(std::string titulo, std::string html)
      : titulo_(std::move(titulo)), html_(std::move(html)) {}
  std::string NombreVentana() const override { return "frmVistaPrevia"; }
  void EjecutarModal() override;

  const std::string& Titulo() const { return titulo_; }
  const std::string& Html() const { return html_; }
  // Writes the report as a PDF file; false when it cannot be written.
  bool GuardarPdf(const std::string& archivo) const;

 private:
  std::string titulo_;
  std::string html_;
};

}  // namespace reporte
