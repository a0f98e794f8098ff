#pragma once
// The preview window of the report engine: the report's HTML on screen with the buttons
// "Imprimir" (printer dialog) and "Guardar PDF". Shown through ui::operador().MostrarModal,
// so tests drive it without a real modal loop. No Qt type in this header.
#include <string>

#include "reports/vista_reporte.h"

namespace reporte {

class VentanaVistaPrevia : public VistaReporte {
 public:
  using VistaReporte::VistaReporte;
  void EjecutarModal() override;
  // Writes the report as a PDF file; false when it cannot be written.
  bool GuardarPdf(const std::string& archivo) const;
};

// Makes the engine show this window for the window destination, and write PDF documents
// with Qt printing (InstalarEscritorPdfQt).
void InstalarVistaPreviaQt();
// Only the PDF writer (reporte::EscribirPdf), for a program without windows. Needs a
// QGuiApplication.
void InstalarEscritorPdfQt();

}  // namespace reporte
