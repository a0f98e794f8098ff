#include "platform/basic/diario_entregas.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/basic/archivos.h"

namespace fs = std::filesystem;

namespace basic {
namespace {

constexpr size_t kCampos = 7;
constexpr const char* kResumen = "RESUMEN.TXT";
constexpr const char* kHasta = "HASTA\t";  // the summary's first line: not a journal line

std::string Plano(std::string s) {
  for (char& c : s)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return s;
}

// A field as read: Windows-1252 to UTF-8, line ends as blanks; plain ASCII (nearly every
// field) as it is, since a list load reads hundreds of thousands of them.
std::string Campo(const std::string& bytes, size_t i, size_t n) {
  for (size_t k = i; k < i + n; ++k) {
    const auto c = static_cast<unsigned char>(bytes[k]);
    if (c >= 0x80 || c == '\r' || c == '\n') return Plano(DeWindows1252(bytes.substr(i, n)));
  }
  return bytes.substr(i, n);
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
      campos.push_back(Campo(bytes, i, tab - i));
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

namespace {

bool LeerArchivo(const fs::path& ruta, std::string& bytes) {
  std::ifstream f(ruta, std::ios::binary | std::ios::ate);
  if (!f) return false;
  bytes.resize(static_cast<size_t>(std::max<std::streamoff>(0, f.tellg())));
  f.seekg(0);
  f.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(f.gcount()));  // a file another PC is writing may have changed
  return !f.bad();
}

// "yyyy-mm" of a month file's name ("2026-12.TXT", any case), or "".
std::string MesDeArchivo(const fs::path& ruta) {
  const std::string n = ruta.filename().string();
  if (n.size() != 11 || n[4] != '-' || (n.substr(7) != ".TXT" && n.substr(7) != ".txt")) return "";
  for (size_t i : {0, 1, 2, 3, 5, 6})
    if (!std::isdigit(static_cast<unsigned char>(n[i]))) return "";
  return n.substr(0, 7);
}

std::string MesDeFecha(const std::string& fecha) {
  const std::string m = fecha.substr(0, 7);
  bool ok = m.size() == 7 && m[4] == '-';
  for (size_t i : {0, 1, 2, 3, 5, 6}) ok = ok && std::isdigit(static_cast<unsigned char>(m[i]));
  return ok ? m : FechaDiario(std::time(nullptr)).substr(0, 7);
}

std::string MesMas(const std::string& mes, int meses) {
  int n = std::stoi(mes.substr(0, 4)) * 12 + std::stoi(mes.substr(5, 2)) - 1 + meses;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d", n / 12, n % 12 + 1);
  return buf;
}

// The month a summary covers up to ("" when there is none or it says nothing valid).
std::string HastaDe(const fs::path& resumen) {
  std::ifstream f(resumen, std::ios::binary);
  std::string linea;
  if (!f || !std::getline(f, linea) || linea.rfind(kHasta, 0) != 0) return "";
  const std::string mes = linea.substr(6, 7);
  return MesDeArchivo(mes + ".TXT") == mes ? mes : "";
}

// A PC's month files after `hasta`, oldest first.
std::vector<fs::path> MesesDespuesDe(const fs::path& carpeta, const std::string& hasta,
                                     const std::string& hastaIncl = "") {
  std::vector<fs::path> r;
  std::error_code ec;
  for (fs::directory_iterator it(carpeta, ec), fin; !ec && it != fin; it.increment(ec)) {
    const std::string mes = MesDeArchivo(it->path());
    if (!mes.empty() && mes > hasta && (hastaIncl.empty() || mes <= hastaIncl)) r.push_back(it->path());
  }
  std::sort(r.begin(), r.end(),
            [](const fs::path& a, const fs::path& b) { return MesDeArchivo(a) < MesDeArchivo(b); });
  return r;
}

std::string Mayusculas(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

void OrdenarPorFecha(std::vector<LineaEntrega>& lineas) {
  std::stable_sort(lineas.begin(), lineas.end(),
                   [](const LineaEntrega& a, const LineaEntrega& b) { return a.fecha < b.fecha; });
}

// Rewrites the summary to cover the months up to `objetivo`: out of its own lines and those
// of the months after its HASTA, the last line of each attachment. Through a temporary name
// and a rename, so a reader sees the old summary or the new one. Nothing to do (or a
// failure, e.g. another PC has the summary open) leaves it as it was.
void Resumir(const std::string& archivoEntregas, const fs::path& carpeta, const std::string& hasta,
             const std::string& objetivo) {
  const std::vector<fs::path> meses = MesesDespuesDe(carpeta, hasta, objetivo);
  if (meses.empty() && hasta.empty()) return;  // nothing to sum up yet
  std::vector<LineaEntrega> lineas;
  std::string bytes;
  for (const fs::path& f : [&] {
         std::vector<fs::path> v{carpeta / kResumen};
         v.insert(v.end(), meses.begin(), meses.end());
         return v;
       }()) {
    if (!LeerArchivo(f, bytes)) {
      if (f.filename() == kResumen && !hasta.empty()) return;  // unreadable now: keep it
      continue;
    }
    for (auto& l : LeerDiario(bytes)) lineas.push_back(std::move(l));
  }
  OrdenarPorFecha(lineas);
  std::map<std::string, size_t> ultima;
  for (size_t i = 0; i < lineas.size(); ++i)
    if (!lineas[i].archivo.empty()) ultima[lineas[i].archivo] = i;
  // What the rest of the journal says of the same attachments: the latest date of any line,
  // and the earliest line that is not ENVIADO.
  struct Otras {
    std::string ultima, primeraNoEnviada;
  };
  std::map<std::string, Otras> otras;
  for (const std::string& f : ArchivosDelDiario(archivoEntregas)) {
    if (Mayusculas(fs::path(f).parent_path().filename().string()) ==
            Mayusculas(carpeta.filename().string()) &&
        fs::path(f).parent_path().parent_path() == carpeta.parent_path())
      continue;                          // this PC's own
    if (!LeerArchivo(f, bytes)) return;  // not knowing the rest, nothing can be left out
    for (const auto& l : LeerDiario(bytes)) {
      if (!ultima.count(l.archivo)) continue;
      Otras& o = otras[l.archivo];
      o.ultima = std::max(o.ultima, l.fecha);
      if (l.resultado != kEntregaEnviado && (o.primeraNoEnviada.empty() || l.fecha < o.primeraNoEnviada))
        o.primeraNoEnviada = l.fecha;
    }
  }
  // The summary stands for the old months in a list load, where a sent order looks like one
  // never mailed: so a line is left out when a later line elsewhere overrides it, and a
  // ENVIADO line unless it must override an older line elsewhere. That keeps the summary
  // to the orders that wait or failed, however many were sent.
  std::vector<size_t> quedan;
  for (const auto& [archivo, i] : ultima) {
    const auto o = otras.find(archivo);
    const LineaEntrega& l = lineas[i];
    if (o != otras.end() && o->second.ultima > l.fecha) continue;
    if (l.resultado == kEntregaEnviado &&
        (o == otras.end() || o->second.primeraNoEnviada.empty() || o->second.primeraNoEnviada > l.fecha))
      continue;
    quedan.push_back(i);
  }
  std::sort(quedan.begin(), quedan.end());
  std::string texto = std::string(kHasta) + objetivo + "\r\n";
  for (size_t i : quedan) texto += LineaDiario(lineas[i]);

  const std::string destino = (carpeta / kResumen).string(), tmp = destino + ".tmp";
  const int fd = ::open(tmp.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  bool ok = true;
  for (size_t hecho = 0; ok && hecho < texto.size();) {
    const ssize_t n = ::write(fd, texto.data() + hecho, texto.size() - hecho);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    hecho += ok ? static_cast<size_t>(n) : 0;
  }
  ok = ::fsync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  if (!ok || std::rename(tmp.c_str(), destino.c_str()) != 0) ::unlink(tmp.c_str());
}

// This PC's lock for the journal folder `carpeta`: a file of the local /tmp, mode 0666 so
// every user of the PC shares it. -1 when it cannot be had (the line is still appended).
int BloquearLocal(const fs::path& carpeta) {
  uint64_t h = 14695981039346656037ull;  // FNV-1a: the same name in every program
  for (unsigned char c : fs::absolute(carpeta).lexically_normal().string()) h = (h ^ c) * 1099511628211ull;
  char nombre[64];
  std::snprintf(nombre, sizeof nombre, "/tmp/ocmail-entregas-%016llx.lck",
                static_cast<unsigned long long>(h));
  const int fd = ::open(nombre, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  ::fchmod(fd, 0666);  // past the umask; fails harmlessly when another user made it
  int r;
  do {
    r = ::flock(fd, LOCK_EX);
  } while (r != 0 && errno == EINTR);
  if (r != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

std::string EquipoDelDiario(const std::string& nombreEquipo) {
  std::string r = nombreEquipo.substr(0, nombreEquipo.find('.'));
  for (char& c : r)
    c = std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_'
            ? static_cast<char>(std::toupper(static_cast<unsigned char>(c)))
            : '_';
  return r.empty() ? "EQUIPO" : r;
}

std::string EquipoDelDiario() {
  char h[256] = {};
  if (::gethostname(h, sizeof h - 1) != 0) h[0] = 0;
  return EquipoDelDiario(h);
}

std::string CarpetaDiarios(const std::string& archivoEntregas) {
  fs::path p(archivoEntregas);
  return (p.parent_path() / p.stem()).string();
}

bool AgregarAlDiarioDelEquipo(const std::string& archivoEntregas, const LineaEntrega& linea,
                              const std::string& equipo) {
  const fs::path carpeta = fs::path(CarpetaDiarios(archivoEntregas)) / equipo;
  std::error_code ec;
  fs::create_directories(carpeta, ec);
  const int cerrojo = BloquearLocal(carpeta);
  const std::string hasta = HastaDe(carpeta / kResumen);
  std::string mes = MesDeFecha(linea.fecha);
  // A clock set back never writes into a month the summary already covers: readers skip those.
  if (!hasta.empty() && mes <= hasta) mes = MesMas(hasta, 1);
  if (cerrojo >= 0 && MesMas(mes, -2) > hasta) Resumir(archivoEntregas, carpeta, hasta, MesMas(mes, -2));
  const bool ok = AgregarAlDiario((carpeta / (mes + ".TXT")).string(), linea);
  const int error = errno;
  if (cerrojo >= 0) ::close(cerrojo);
  errno = error;
  return ok;
}

std::vector<std::string> ArchivosDelDiario(const std::string& archivoEntregas, bool todos) {
  std::vector<std::string> r;
  std::error_code ec;
  if (fs::is_regular_file(archivoEntregas, ec)) r.push_back(archivoEntregas);
  std::vector<fs::path> equipos;
  for (fs::directory_iterator it(CarpetaDiarios(archivoEntregas), ec), fin; !ec && it != fin;
       it.increment(ec))
    if (it->is_directory(ec)) equipos.push_back(it->path());
  std::sort(equipos.begin(), equipos.end());
  for (const fs::path& e : equipos) {
    const fs::path resumen = e / kResumen;
    if (fs::is_regular_file(resumen, ec)) r.push_back(resumen.string());
    for (const fs::path& m : MesesDespuesDe(e, todos ? "" : HastaDe(resumen))) r.push_back(m.string());
  }
  return r;
}

std::vector<LineaEntrega> LeerDiarios(const std::string& archivoEntregas) {
  std::vector<LineaEntrega> lineas;
  std::string bytes;
  for (const std::string& f : ArchivosDelDiario(archivoEntregas)) {
    if (!LeerArchivo(f, bytes)) continue;
    for (auto& l : LeerDiario(bytes)) lineas.push_back(std::move(l));
  }
  OrdenarPorFecha(lineas);
  return lineas;
}

std::map<std::string, LineaEntrega> UltimoEstadoPorArchivo(const std::vector<LineaEntrega>& lineas) {
  std::map<std::string, LineaEntrega> estado;
  for (const auto& l : lineas)
    if (!l.archivo.empty()) estado[l.archivo] = l;
  return estado;
}

}  // namespace basic
