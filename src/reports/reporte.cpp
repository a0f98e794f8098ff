#include "reports/reporte.h"

#include <filesystem>

#include "companion/companion.h"
#include "reports/motor.h"
#include "reports/vista_reporte.h"
#include "platform/ado/ado.h"
#include "platform/basic/texto.h"
#include "platform/os/rutas.h"
#include "platform/ui/operador.h"

namespace fs = std::filesystem;

Reporte::Reporte() = default;
Reporte::~Reporte() = default;

void Reporte::CarpetaSistema(const std::string& carpeta) { carpeta_ = carpeta; }

void Reporte::Destino(int16_t destino) { destino_ = destino; }

void Reporte::Propiedad(const std::string& nombre, basic::Variant& valor) {
  if (basic::IgualesSinCaso(basic::Trim(nombre), "PrintFileName")) {
    archivoSalida_ = valor.Texto();
  } else if (basic::IgualesSinCaso(basic::Trim(nombre), "PrintFileType")) {
    tipoSalida_ = static_cast<int16_t>(valor.Entero());
  } else {
    throw ErrorEjecucion(438, "El objeto no acepta esta propiedad: " + nombre, "Reporte");
  }
}

namespace {

// The file a report argument stands for: a path as given, or a bare name ("OCMAIL") in
// the system folder, ".rpt" added when missing; whatever the case on disk. "" when none.
std::string UbicarReporte(const std::string& reporte, const std::string& carpeta) {
  std::string r = basic::Trim(reporte);
  if (r.empty()) return "";
  std::vector<std::string> nombres{r};
  if (!basic::IgualesSinCaso(fs::path(r).extension().string(), ".rpt"))
    nombres.insert(nombres.begin(), r + ".rpt");
  std::vector<std::string> candidatos;
  for (const auto& n : nombres) {
    if (!fs::path(n).is_absolute()) {
      std::string base = carpeta.empty() ? os::CarpetaAplicacion() : carpeta;
      candidatos.push_back(gFunciones().AgregarBarra(base) + n);
    }
    candidatos.push_back(n);
  }
  for (const auto& c : candidatos) {
    std::string encontrado = os::BuscarArchivoSinCaso(c);
    std::error_code ec;
    if (!encontrado.empty() && fs::is_regular_file(encontrado, ec)) return encontrado;
  }
  return "";
}

}  // namespace

void Reporte::Imprimir(const std::string& reporte, const std::vector<std::string>& /*parametros*/,
                       const std::string& formulaSeleccion, const std::string& /*conexion*/,
                       const std::optional<std::string>& formula1, const std::optional<std::string>& formula2,
                       const std::optional<std::string>& formula3, const std::optional<std::string>& formula4,
                       const std::optional<std::string>& formula5, const std::string& subreporte1,
                       const std::string& subreporte2, const std::string& subreporte3) {
  trabajo_.reset();
  std::string archivo = UbicarReporte(reporte, carpeta_);
  if (archivo.empty()) {
    std::string carpeta = carpeta_.empty() ? os::CarpetaAplicacion() : carpeta_;
    throw ErrorEjecucion(errDefinicion,
                         "No se encuentra el reporte " + reporte + " (buscado también en " +
                             gFunciones().AgregarBarra(carpeta) + ")",
                         "Reporte");
  }
  std::vector<std::string> formulas;
  for (const auto* f : {&formula1, &formula2, &formula3, &formula4, &formula5}) {
    if (f->has_value()) formulas.push_back(**f);
  }
  trabajo_ = std::make_unique<reporte::Trabajo>(
      reporte::PrepararTrabajo(archivo, formulaSeleccion, formulas, {subreporte1, subreporte2, subreporte3}));
}

void Reporte::Ejecutar(int16_t& accion) {
  if (accion != kEjecutarReporte) {
    throw ErrorEjecucion(errEjecucion, "Acción de Ejecutar no válida: " + std::to_string(accion), "Reporte");
  }
  if (!trabajo_) {
    throw ErrorEjecucion(errEjecucion, "No hay un reporte preparado: falta Imprimir antes de Ejecutar",
                         "Reporte");
  }
  if (destino_ == kDestinoArchivo && tipoSalida_ != kTipoHtml) {
    throw ErrorEjecucion(
        errSalida,
        "Tipo de archivo de salida no admitido: " + std::to_string(tipoSalida_) + " (solo 22, HTML)",
        "Reporte");
  }
  if (destino_ != kDestinoArchivo && destino_ != kDestinoVentana) {
    throw ErrorEjecucion(errEjecucion, "Destino de reporte no disponible: " + std::to_string(destino_),
                         "Reporte");
  }
  if (!conexion_ || conexion_->State() != ado::adStateOpen) {
    throw ErrorEjecucion(errDatos,
                         "El reporte " + trabajo_->definicion->archivo +
                             " no puede leer sus datos: la conexión no está abierta",
                         "Reporte");
  }
  ultimoHtml_ = reporte::GenerarHtml(*trabajo_, *conexion_);
  if (destino_ == kDestinoArchivo) {
    reporte::EscribirArchivoCompleto(archivoSalida_, ultimoHtml_);
  } else {
    const auto& def = *trabajo_->definicion;
    auto ventana = reporte::CrearVistaReporte(def.titulo.empty() ? def.nombre : def.titulo, ultimoHtml_);
    ui::operador().MostrarModal(*ventana);
  }
}

namespace reporte {
namespace {
FabricaVistaReporte& Fabrica() {
  static FabricaVistaReporte f;
  return f;
}
}  // namespace

void InstalarFabricaVistaReporte(FabricaVistaReporte f) { Fabrica() = std::move(f); }

std::unique_ptr<VistaReporte> CrearVistaReporte(const std::string& titulo, const std::string& html) {
  if (Fabrica()) return Fabrica()(titulo, html);
  return std::make_unique<VistaReporte>(titulo, html);
}
}  // namespace reporte

namespace {
Reporte* instalado = nullptr;
std::unique_ptr<Reporte>& Propio() {
  static std::unique_ptr<Reporte> r;
  return r;
}
}  // namespace

Reporte& gReporte() {
  if (instalado) return *instalado;
  auto& r = Propio();
  if (!r) r = std::make_unique<Reporte>();
  return *r;
}

void InstalarReporte(Reporte* r) { instalado = r; }

void LiberarReporte() { Propio().reset(); }
