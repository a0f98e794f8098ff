#include "mailing/estado_entregas.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string_view>
#include <utility>

#include "companion/rutas_correo.h"
#include "mailing/despacho.h"
#include "platform/basic/correo.h"
#include "platform/basic/texto.h"
#include "platform/os/procesos.h"
#include "platform/os/sistema.h"

namespace fs = std::filesystem;

EstadoEntrega EstadoDeResultado(const std::string& resultado) {
  if (resultado == basic::kEntregaEnviado) return EstadoEntrega::Enviado;
  if (resultado == basic::kEntregaPendiente) return EstadoEntrega::Pendiente;
  // A bounce is a failure that came back later: the order is failed all the same.
  if (resultado == basic::kEntregaFallido || resultado == basic::kEntregaRebotado)
    return EstadoEntrega::Fallido;
  return EstadoEntrega::Ninguno;
}

namespace {
constexpr const char* kRespondido = "RESPONDIDO";  // the supplier answered (tspost --revisar)

// An order's attachment without its extension: it went as HTML or as PDF.
std::string_view Tronco(std::string_view archivo) {
  const size_t punto = archivo.rfind('.');
  if (punto == std::string_view::npos) return archivo;
  std::string ext(archivo.substr(punto));
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext == ".HTML" || ext == ".PDF" ? archivo.substr(0, punto) : archivo;
}
std::string Tronco(const std::string& archivo) { return std::string(Tronco(std::string_view(archivo))); }

}  // namespace

EntregasOrdenes::EntregasOrdenes(std::vector<basic::LineaEntrega> lineas) : lineas_(std::move(lineas)) {
  for (const auto& l : lineas_) Anotar(l);
}

void EntregasOrdenes::Anotar(const basic::LineaEntrega& l) {
  // Only a delivery outcome sets a state; any other line only annotates.
  const EstadoEntrega estado = EstadoDeResultado(l.resultado);
  if (!l.archivo.empty() && l.resultado == kRespondido) ultimas_[Tronco(l.archivo)].respuesta = l.detalle;
  if (l.archivo.empty() || estado == EstadoEntrega::Ninguno) return;
  Ultima& u = ultimas_[Tronco(l.archivo)];
  if (!u.fecha.empty() && l.fecha < u.fecha) return;  // lines of several PCs come in any order
  Poner(u, l.fecha, estado, l.detalle, l.destinatario, l.idCola);
}

void EntregasOrdenes::Poner(Ultima& u, std::string_view fecha, EstadoEntrega estado, std::string_view detalle,
                            std::string_view destinatario, std::string_view idCola) {
  u.fecha.assign(fecha);
  u.estado = estado;
  const bool guardar = estado == EstadoEntrega::Pendiente || estado == EstadoEntrega::Fallido;
  u.detalle.assign(guardar ? detalle : std::string_view());
  u.destinatario.assign(guardar ? destinatario : std::string_view());
  u.idCola.assign(estado == EstadoEntrega::Fallido ? idCola : std::string_view());
}

// basic::LeerDiario's rules, with the fields looked at in place: a list load goes through
// some 100,000 lines and keeps a few words of each. A line with anything but plain ASCII
// goes through basic::LeerDiario itself.
void EntregasOrdenes::AnotarArchivo(const std::string& bytes) {
  size_t inicio = 0;
  for (size_t fin; (fin = bytes.find("\r\n", inicio)) != std::string::npos; inicio = fin + 2) {
    const std::string_view linea(bytes.data() + inicio, fin - inicio);
    std::string_view campos[7];
    size_t n = 0;
    for (size_t i = 0;;) {
      if (n == 7) {
        n = 8;  // too many fields
        break;
      }
      const size_t tab = linea.find('\t', i);
      campos[n++] = linea.substr(i, tab == std::string_view::npos ? std::string_view::npos : tab - i);
      if (tab == std::string_view::npos) break;
      i = tab + 1;
    }
    if (n != 7) continue;
    if (std::any_of(linea.begin(), linea.end(),
                    [](char c) { return static_cast<unsigned char>(c) >= 0x80 || c == '\r' || c == '\n'; })) {
      for (const auto& l : basic::LeerDiario(std::string(linea) + "\r\n")) Anotar(l);
      continue;
    }
    const EstadoEntrega estado = EstadoDeResultado(std::string(campos[3]));
    if (!campos[1].empty() && campos[3] == kRespondido) {
      const std::string_view t = Tronco(campos[1]);
      auto r = ultimas_.find(t);
      if (r == ultimas_.end()) r = ultimas_.emplace(std::string(t), Ultima{}).first;
      r->second.respuesta.assign(campos[4]);
    }
    if (campos[1].empty() || estado == EstadoEntrega::Ninguno) continue;
    const std::string_view tronco = Tronco(campos[1]);
    auto it = ultimas_.find(tronco);
    if (it == ultimas_.end()) it = ultimas_.emplace(std::string(tronco), Ultima{}).first;
    Ultima& u = it->second;
    if (!u.fecha.empty() && campos[0] < u.fecha) continue;
    Poner(u, campos[0], estado, campos[4], campos[2], campos[6]);
  }
}

EntregasOrdenes EntregasOrdenes::Leer(const std::string& archivo) {
  EntregasOrdenes r;
  r.archivo_ = archivo;
  // File by file: only one file's lines are held at a time.
  std::string bytes;
  for (const basic::TramoDiario& t : basic::TramosDelDiario(archivo)) {
    if (basic::LeerTramo(t, bytes)) r.AnotarArchivo(bytes);
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
  if (archivo_.empty()) {
    for (const auto& l : lineas_)
      if (!l.archivo.empty() && Tronco(l.archivo) == archivo) r.push_back(l);
    return r;
  }
  // Every month file, since the summary keeps no sent line: a year of journal, of which
  // only the files that name the order are parsed.
  std::string bytes;
  for (const basic::TramoDiario& t : basic::TramosDelDiario(archivo_, true)) {
    if (!basic::LeerTramo(t, bytes) || bytes.find(archivo) == std::string::npos) continue;
    for (auto& l : basic::LeerDiario(bytes))
      if (!l.archivo.empty() && Tronco(l.archivo) == archivo) r.push_back(std::move(l));
  }
  std::stable_sort(r.begin(), r.end(), [](const auto& a, const auto& b) { return a.fecha < b.fecha; });
  // The summary repeats a line of a month file: once is enough.
  r.erase(std::unique(r.begin(), r.end()), r.end());
  return r;
}

std::string EntregasOrdenes::Detalle(const std::string& cuenta, const std::string& idComprobante) const {
  const auto it = ultimas_.find(Tronco(NombreArchivoOrden(cuenta, idComprobante)));
  return it == ultimas_.end() ? "" : it->second.detalle;
}

std::string EntregasOrdenes::Destinatario(const std::string& cuenta, const std::string& idComprobante) const {
  const auto it = ultimas_.find(Tronco(NombreArchivoOrden(cuenta, idComprobante)));
  return it == ultimas_.end() ? "" : it->second.destinatario;
}

std::string EntregasOrdenes::Respuesta(const std::string& cuenta, const std::string& idComprobante) const {
  const auto it = ultimas_.find(Tronco(NombreArchivoOrden(cuenta, idComprobante)));
  return it == ultimas_.end() ? "" : it->second.respuesta;
}

std::vector<EntregaFallida> EntregasOrdenes::Fallidas() const {
  std::vector<EntregaFallida> r;
  for (const auto& [archivo, u] : ultimas_)
    if (u.estado == EstadoEntrega::Fallido)
      r.push_back({archivo, u.fecha, u.destinatario, u.detalle, u.idCola});
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

bool MismasDirecciones(const std::string& a, const std::string& b) {
  auto conjunto = [](const std::string& campo) {
    std::vector<std::string> r;
    for (std::string d : basic::DividirDirecciones(campo)) {
      for (char& c : d) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      r.push_back(d);
    }
    std::sort(r.begin(), r.end());
    r.erase(std::unique(r.begin(), r.end()), r.end());
    return r;
  };
  const auto x = conjunto(a);
  return !x.empty() && x == conjunto(b);
}

std::string TextoEstadoCola(const EntregasOrdenes& entregas) {
  const int fallidas = entregas.Cuantas(EstadoEntrega::Fallido);
  const int n = entregas.Cuantas(EstadoEntrega::Pendiente);
  std::string t;
  if (fallidas > 0)
    t = fallidas == 1 ? "1 mail no se pudo entregar"
                      : std::to_string(fallidas) + " mails no se pudieron entregar";
  if (n == 0) return t;
  if (!t.empty()) t += "; ";
  t +=
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

namespace {
// Starts "<app>/TSPOST.EXE <opcion>" in the background unless the one started last (`ultimo`)
// still runs; failures to start are left silent (the next call tries again).
bool IniciarTspost(const std::string& carpetaAplicacion, const char* opcion, long& ultimo) {
  if (ultimo > 0 && os::procesos().Vive(ultimo)) return false;
  try {
    ultimo = os::procesos().Iniciar(
        "\"" + (fs::path(carpetaAplicacion) / "TSPOST.EXE").string() + "\" " + opcion, os::vbHide);
  } catch (...) {
    ultimo = 0;
    return false;
  }
  return true;
}

RutasCorreo Rutas(const std::string& carpetaAplicacion) {
  return LeerRutasCorreo(carpetaAplicacion, os::sistema().Entorno("TSPOST_INI").value_or(""));
}
}  // namespace

bool ReintentarEnSegundoPlano(const std::string& carpetaAplicacion) {
  static long ultimo = 0;  // the retry started last; tspost's own lock covers the rest
  if (!HayCorreosEnCola(Rutas(carpetaAplicacion).carpetaPendientes)) return false;
  return IniciarTspost(carpetaAplicacion, "--reintentar", ultimo);
}

bool RevisarBuzonEnSegundoPlano(const std::string& carpetaAplicacion) {
  static long ultimo = 0;
  if (basic::Trim(Rutas(carpetaAplicacion).buzonEntrada).empty()) return false;
  return IniciarTspost(carpetaAplicacion, "--revisar", ultimo);
}
