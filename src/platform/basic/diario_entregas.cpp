#include "platform/basic/diario_entregas.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/basic/archivos.h"

namespace basic {
namespace {

constexpr size_t kCampos = 7;

std::string Plano(std::string s) {
  for (char& c : s)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return s;
}

}  // namespace

std::string FechaDiario(std::time_t momento) {
  std::tm t{};
  localtime_r(&momento, &t);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &t);
  return buf;
}

std::string LineaDiario(const LineaEntrega& l) {
  const std::string campos[kCampos] = {l.fecha,   l.archivo,   l.destinatario, l.resultado,
                                       l.detalle, l.messageId, l.idCola};
  std::string linea;
  for (size_t i = 0; i < kCampos; ++i) {
    if (i) linea += '\t';
    linea += AWindows1252(Plano(campos[i]));
  }
  return linea + "\r\n";
}

std::vector<LineaEntrega> LeerDiario(const std::string& bytes) {
  std::vector<LineaEntrega> lineas;
  size_t inicio = 0;
  // Only lines ended by CR LF: a last line without it is a write cut short.
  for (size_t fin; (fin = bytes.find("\r\n", inicio)) != std::string::npos; inicio = fin + 2) {
    std::vector<std::string> campos;
    for (size_t i = inicio;;) {
      size_t tab = bytes.find('\t', i);
      if (tab == std::string::npos || tab > fin) tab = fin;
      if (campos.size() == kCampos) {
        campos.clear();  // too many fields
        break;
      }
      campos.push_back(Plano(DeWindows1252(bytes.substr(i, tab - i))));
      if (tab == fin) break;
      i = tab + 1;
    }
    if (campos.size() != kCampos) continue;
    lineas.push_back({std::move(campos[0]), std::move(campos[1]), std::move(campos[2]), std::move(campos[3]),
                      std::move(campos[4]), std::move(campos[5]), std::move(campos[6])});
  }
  return lineas;
}

bool AgregarAlDiario(const std::string& ruta, const LineaEntrega& linea) {
  std::error_code ec;
  const std::filesystem::path carpeta = std::filesystem::path(ruta).parent_path();
  if (!carpeta.empty()) std::filesystem::create_directories(carpeta, ec);
  const std::string bytes = LineaDiario(linea);
  const int fd = ::open(ruta.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  ssize_t n;
  do {
    n = ::write(fd, bytes.data(), bytes.size());
  } while (n < 0 && errno == EINTR);
  const int error = errno;
  ::close(fd);
  if (n == static_cast<ssize_t>(bytes.size())) return true;
  errno = n < 0 ? error : EIO;  // a short write: the file system is full
  return false;
}

std::map<std::string, LineaEntrega> UltimoEstadoPorArchivo(const std::vector<LineaEntrega>& lineas) {
  std::map<std::string, LineaEntrega> estado;
  for (const auto& l : lineas)
    if (!l.archivo.empty()) estado[l.archivo] = l;
  return estado;
}

}  // namespace basic
