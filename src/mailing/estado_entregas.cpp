#include "mailing/estado_entregas.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

#include "companion/rutas_correo.h"
#include "mailing/despacho.h"
#include "platform/basic/texto.h"
#include "platform/os/procesos.h"
#include "platform/os/sistema.h"

namespace fs = std::filesystem;

EstadoEntrega EstadoDeResultado(const std::string& resultado) {
  if (resultado == basic::kEntregaEnviado) return EstadoEntrega::Enviado;
  if (resultado == basic::kEntregaPendiente) return EstadoEntrega::Pendiente;
  if (resultado == basic::kEntregaFallido) return EstadoEntrega::Fallido;
  return EstadoEntrega::Ninguno;
}

namespace {
// An order's attachment without its extension: it went as HTML or as PDF.
std::string Tronco(const std::string& archivo) {
  const size_t punto = archivo.rfind('.');
  if (punto == std::string::npos) return archivo;
  const std::string ext = basic::UCase(archivo.substr(punto));
  return ext == ".HTML" || ext == ".PDF" ? archivo.substr(0, punto) : archivo;
}
}  // namespace

EntregasOrdenes::EntregasOrdenes(std::vector<basic::LineaEntrega> lineas) : lineas_(std::move(lineas)) {
  for (const auto& l : lineas_) Anotar(l);
}

void EntregasOrdenes::Anotar(const basic::LineaEntrega& l) {
  if (l.archivo.empty()) return;
  Ultima& u = ultimas_[Tronco(l.archivo)];
  if (!u.fecha.empty() && l.fecha < u.fecha) return;  // lines of several PCs come in any order
  u.fecha = l.fecha;
  u.estado = EstadoDeResultado(l.resultado);
  u.detalle = u.estado == EstadoEntrega::Pendiente ? l.detalle : std::string();
}

EntregasOrdenes EntregasOrdenes::Leer(const std::string& archivo) {
  EntregasOrdenes r;
  r.archivo_ = archivo;
  // File by file: only one file's lines are held at a time.
  std::string bytes;
  for (const std::string& f : basic::ArchivosDelDiario(archivo)) {
    std::ifstream in(f, std::ios::binary);
    if (!in) continue;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    for (const auto& l : basic::LeerDiario(bytes)) r.Anotar(l);
  }
  return r;
}

EstadoEntrega EntregasOrdenes::Estado(const std::string& cuenta, const std::string& idComprobante) const {
  const auto it = ultimas_.find(Tronco(NombreArchivoOrden(cuenta, idComprobante)));
  return it == ultimas_.end() ? EstadoEntrega::Ninguno : it->second.estado;
}

std::vector<basic::LineaEntrega> EntregasOrdenes::Lineas(const std::string& cuenta,
                                                         const std::string& idComprobante) const {
  const std::string archivo = Tronco(NombreArchivoOrden(cuenta, idComprobante));
  std::vector<basic::LineaEntrega> r;
  for (auto& l : archivo_.empty() ? lineas_ : basic::LeerDiarios(archivo_))
    if (!l.archivo.empty() && Tronco(l.archivo) == archivo) r.push_back(l);
  return r;
}

int EntregasOrdenes::Cuantas(EstadoEntrega estado) const {
  int n = 0;
  for (const auto& [archivo, u] : ultimas_) n += u.estado == estado;
  return n;
}

std::string EntregasOrdenes::UltimoError() const {
  const Ultima* ultima = nullptr;
  for (const auto& [archivo, u] : ultimas_)
    if (u.estado == EstadoEntrega::Pendiente && (!ultima || u.fecha >= ultima->fecha)) ultima = &u;
  return ultima ? ultima->detalle : "";
}

std::string TextoEstadoCola(const EntregasOrdenes& entregas) {
  const int n = entregas.Cuantas(EstadoEntrega::Pendiente);
  if (n == 0) return "";
  std::string t =
      n == 1 ? "1 mail espera en la cola de envío" : std::to_string(n) + " mails esperan en la cola de envío";
  const std::string error = entregas.UltimoError();
  if (!error.empty()) t += " (último error: " + error + ")";
  return t;
}

std::string TextoEntregas(const std::vector<basic::LineaEntrega>& lineas) {
  if (lineas.empty()) return "No hay entregas registradas para esta orden.";
  std::string t;
  for (const auto& l : lineas) {
    if (!t.empty()) t += "\n";
    t += l.fecha + "  " + l.resultado + "  " + l.destinatario;
    if (!l.detalle.empty()) t += "  " + l.detalle;
  }
  return t;
}

std::string ArchivoEntregasDe(const std::string& carpetaAplicacion) {
  return LeerRutasCorreo(carpetaAplicacion, os::sistema().Entorno("TSPOST_INI").value_or("")).archivoEntregas;
}

bool HayCorreosEnCola(const std::string& carpetaPendientes) {
  std::error_code ec;
  for (fs::directory_iterator it(carpetaPendientes, ec), fin; !ec && it != fin; it.increment(ec)) {
    const std::string ext = it->path().extension().string();
    if (ext == ".sobre" || ext == ".trabajo") return true;
  }
  return false;
}

bool ReintentarEnSegundoPlano(const std::string& carpetaAplicacion) {
  static long ultimo = 0;  // the retry started last; tspost's own lock covers the rest
  const RutasCorreo rutas =
      LeerRutasCorreo(carpetaAplicacion, os::sistema().Entorno("TSPOST_INI").value_or(""));
  if (!HayCorreosEnCola(rutas.carpetaPendientes)) return false;
  if (ultimo > 0 && os::procesos().Vive(ultimo)) return false;
  try {
    ultimo = os::procesos().Iniciar(
        "\"" + (fs::path(carpetaAplicacion) / "TSPOST.EXE").string() + "\" --reintentar", os::vbHide);
  } catch (...) {
    ultimo = 0;
    return false;
  }
  return true;
}
