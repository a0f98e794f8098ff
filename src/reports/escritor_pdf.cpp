#include "reports/escritor_pdf.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/basic/error.h"
#include "reports/reporte.h"

namespace reporte {
namespace {

namespace fs = std::filesystem;

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
  static std::atomic<unsigned> serie{0};
  const fs::path destino(archivo);
  const std::string temporal =
      (destino.parent_path() / ("~" + destino.filename().string() + "." + std::to_string(::getpid()) + "." +
                                std::to_string(serie++) + ".tmp"))
          .string();
  bool escrito = false;
  try {
    escrito = Escritor()(titulo, html, temporal);
  } catch (...) {
    escrito = false;
  }
  if (!escrito) {
    std::error_code ec;
    fs::remove(temporal, ec);
    throw ErrorEjecucion(Reporte::errSalida, "No se pudo generar el documento PDF " + archivo, "Reporte");
  }
  if (std::rename(temporal.c_str(), archivo.c_str()) != 0) {
    const std::string motivo = std::strerror(errno);
    std::error_code ec;
    fs::remove(temporal, ec);
    throw ErrorEjecucion(Reporte::errSalida, "No se pudo escribir el archivo " + archivo + ": " + motivo,
                         "Reporte");
  }
}

}  // namespace reporte
