#include "lookup/anchos.h"

#include <cctype>
#include <filesystem>

#include "companion/companion.h"
#include "platform/basic/archivos.h"
#include "platform/basic/error.h"
#include "platform/basic/texto.h"
#include "platform/os/rutas.h"

namespace {

bool TieneDigito(const std::string& s) {
  for (unsigned char c : s)
    if (std::isdigit(c)) return true;
  return false;
}

// The table field of one record, or nullopt for a line that is not a record.
std::optional<std::vector<std::string>> Registro(const std::string& linea) {
  if (basic::Trim(linea).empty()) return std::nullopt;
  try {
    auto campos = basic::CamposCSV(linea);
    if (campos.empty()) return std::nullopt;
    return campos;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

std::vector<std::optional<int>> LeerAnchos(const std::string& archivo, const std::string& tabla) {
  std::vector<std::optional<int>> anchos;
  if (!os::ArchivoExisteSinCaso(archivo)) return anchos;
  std::vector<std::string> lineas;
  try {
    lineas = basic::LeerLineas(os::BuscarArchivoSinCaso(archivo));
  } catch (const std::exception&) {
    return anchos;
  }
  const std::string buscada = basic::Trim(tabla);
  for (const auto& linea : lineas) {
    auto campos = Registro(linea);
    if (!campos || campos->size() < 2) continue;
    if (!basic::IgualesSinCaso(basic::Trim((*campos)[0]), buscada)) continue;
    const auto piezas = basic::Split((*campos)[1], "|");
    for (size_t c = 0; c < piezas.size(); ++c) {
      if (c == piezas.size() - 1 && basic::Trim(piezas[c]).empty()) break;  // after the last "|"
      if (anchos.size() <= c) anchos.resize(c + 1);
      if (!TieneDigito(piezas[c])) continue;
      try {
        const double v = gFunciones().ANumero(piezas[c]).ADouble();
        if (v >= 0 && v <= 1000000) anchos[c] = static_cast<int>(v);
      } catch (const ErrorEjecucion&) {
      }
    }
  }
  return anchos;
}

void GrabarAnchos(const std::string& archivo, const std::string& tabla, const std::vector<int>& anchos) {
  const std::string destino = os::ResolverSinCaso(archivo);
  std::vector<std::string> otras;
  if (os::ArchivoExisteSinCaso(destino)) {
    for (const auto& linea : basic::LeerLineas(destino)) {
      auto campos = Registro(linea);
      if (campos && basic::IgualesSinCaso(basic::Trim((*campos)[0]), basic::Trim(tabla))) continue;
      if (basic::Trim(linea).empty()) continue;
      otras.push_back(linea);
    }
  }
  std::string texto;
  for (int a : anchos) texto += std::to_string(a) + "|";
  otras.push_back(basic::LineaCSV(std::vector<std::string>{tabla, texto}));

  std::filesystem::path p(destino);
  const std::string aux = (p.parent_path() / (p.stem().string() + ".AUX")).string();
  basic::EscribirLineas(aux, otras);
  std::error_code ec;
  std::filesystem::remove(destino, ec);
  std::filesystem::rename(aux, destino, ec);
  if (ec) throw ErrorEjecucion(75, "Error de acceso a la ruta o el archivo", "GuardarAnchos");
}
