#pragma once
// Writing a report's HTML as a PDF document (A4, laid out on the page, its text searchable).
// The writer is Qt printing (reports/qt), installed by the program at start as the preview
// window is, so the engine and the dispatch need no Qt.
#include <functional>
#include <string>

namespace reporte {

// Writes `html` as PDF to `archivo`; false when it could not.
using EscritorPdf =
    std::function<bool(const std::string& titulo, const std::string& html, const std::string& archivo)>;
// nullptr: none (documents cannot be made as PDF).
void InstalarEscritorPdf(EscritorPdf e);
bool HayEscritorPdf();

// Writes the PDF complete or not at all (EscribirComoCompleto). Raises
// ErrorEjecucion(Reporte::errSalida) naming the file.
void EscribirPdf(const std::string& titulo, const std::string& html, const std::string& archivo);

}  // namespace reporte
