#include "reports/escritor_pdf.h"

#include "platform/basic/error.h"
#include "reports/motor.h"
#include "reports/reporte.h"

namespace reporte {
namespace {

EscritorPdf& Escritor() {
  static EscritorPdf e;
  return e;
}

}  // namespace

void InstalarEscritorPdf(EscritorPdf e) { Escritor() = std::move(e); }
bool HayEscritorPdf() { return static_cast<bool>(Escritor()); }

void EscribirPdf(const std::string& titulo, const std::string& html, const std::string& archivo) {
  if (!Escritor())
    throw ErrorEjecucion(Reporte::errSalida,
                         "Este programa no puede generar documentos PDF (" + archivo + ")", "Reporte");
  EscribirComoCompleto(archivo, [&](const std::string& temporal) {
    bool escrito = false;
    try {
      escrito = Escritor()(titulo, html, temporal);
    } catch (...) {
      escrito = false;
    }
    if (!escrito)
      throw ErrorEjecucion(Reporte::errSalida, "No se pudo generar el documento PDF " + archivo, "Reporte");
  });
}

}  // namespace reporte
