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
  std::string bytes = LineaDiario(linea);
  const int fd = ::open(ruta.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  // A line cut short by a writer that died: this one starts on a line of its own, or the
  // two would read as one malformed line.
  struct stat st {};
  char fin[2] = {'\r', '\n'};
  if (::fstat(fd, &st) == 0 && st.st_size > 0) {
    const off_t desde = st.st_size >= 2 ? st.st_size - 2 : 0;
    const ssize_t n = ::pread(fd, fin, static_cast<size_t>(st.st_size - desde), desde);
    if (n != st.st_size - desde || (n == 2 ? fin[0] != '\r' || fin[1] != '\n' : true))
      bytes.insert(0, "\r\n");
  }
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

// The lines of `ruta` from `desde` up to `hasta` (-1: its end). False when it cannot be
// opened; a file shorter than `desde` (not this journal's own) is read whole. A `desde`
// that is not at the start of a line (a summary edited by hand) starts at the next line.
bool LeerArchivo(const fs::path& ruta, std::string& bytes, long long desde = 0, long long hasta = -1) {
  std::ifstream f(ruta, std::ios::binary | std::ios::ate);
  if (!f) return false;
  const long long tam = std::max<long long>(0, f.tellg());
  if (desde > tam) desde = 0;
  if (hasta < 0 || hasta > tam) hasta = tam;
  const long long antes = std::min(desde, 2LL);  // the line end the cut should follow
  bytes.resize(static_cast<size_t>(std::max(0LL, hasta - desde + antes)));
  f.seekg(desde - antes);
  f.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(f.gcount()));  // a file another PC is writing may have changed
  if (antes > 0) {
    const size_t fin = bytes.find("\r\n");
    bytes.erase(0, fin == std::string::npos ? bytes.size() : fin + 2);
  }
  return !f.bad();
}

// "yyyy-mm" with a month 01 to 12 and a year whose next month still has four digits.
bool MesValido(const std::string& m) {
  if (m.size() != 7 || m[4] != '-') return false;
  for (size_t i : {0, 1, 2, 3, 5, 6})
    if (!std::isdigit(static_cast<unsigned char>(m[i]))) return false;
  return m.substr(5) >= "01" && m.substr(5) <= "12" && m < "9999-12";
}

// "yyyy-mm" of a month file's name ("2026-12.TXT", any case), or "".
std::string MesDeArchivo(const fs::path& ruta) {
  const std::string n = ruta.filename().string();
  if (n.size() != 11 || (n.substr(7) != ".TXT" && n.substr(7) != ".txt")) return "";
  return MesValido(n.substr(0, 7)) ? n.substr(0, 7) : "";
}

std::string MesDeFecha(const std::string& fecha) {
  const std::string m = fecha.substr(0, 7);
  return MesValido(m) ? m : FechaDiario(std::time(nullptr)).substr(0, 7);
}

std::string MesMas(const std::string& mes, int meses) {
  int n = std::stoi(mes.substr(0, 4)) * 12 + std::stoi(mes.substr(5, 2)) - 1 + meses;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d", n / 12, n % 12 + 1);
  return buf;
}

// Where a summary ends: the months before `mes` whole and the first `bytes` bytes of
// `mes`'s file; bytes < 0 (a summary of an older version) covers `mes` whole. No `mes`:
// no summary.
struct Corte {
  std::string mes;
  long long bytes = -1;
};

Corte CorteDe(const fs::path& resumen) {
  std::ifstream f(resumen, std::ios::binary);
  std::string linea;
  if (!f || !std::getline(f, linea) || linea.rfind(kHasta, 0) != 0) return {};
  if (!linea.empty() && linea.back() == '\r') linea.pop_back();
  if (linea.size() < 13) return {};
  Corte c{linea.substr(6, 7)};
  if (!MesValido(c.mes)) return {};
  if (linea.size() == 13) return c;
  const std::string n = linea.substr(13);
  if (n.size() < 2 || n.size() > 19 || n[0] != '\t' || !std::all_of(n.begin() + 1, n.end(), [](char d) {
        return std::isdigit(static_cast<unsigned char>(d));
      }))
    return {};
  c.bytes = std::stoll(n.substr(1));
  return c;
}

// A PC's month files, oldest first, with the byte each is read from after the cut `c`
// (and, with `hasta`, up to the cut `hasta`: for the writer of a summary). Files all
// before the cut are left out.
std::vector<std::pair<fs::path, long long>> MesesDespuesDe(const fs::path& carpeta, const Corte& c,
                                                           const Corte* hasta = nullptr) {
  std::vector<std::pair<fs::path, long long>> r;
  std::error_code ec;
  for (fs::directory_iterator it(carpeta, ec), fin; !ec && it != fin; it.increment(ec)) {
    const std::string mes = MesDeArchivo(it->path());
    if (mes.empty() || mes < c.mes || (mes == c.mes && c.bytes < 0)) continue;
    if (hasta && mes > hasta->mes) continue;
    r.emplace_back(it->path(), mes == c.mes ? c.bytes : 0);
  }
  std::sort(r.begin(), r.end(),
            [](const auto& a, const auto& b) { return MesDeArchivo(a.first) < MesDeArchivo(b.first); });
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

// Rewrites the summary to cover the journal up to the cut `objetivo`: out of its own lines
// and those after its cut `c`, the last line of each attachment. Through a temporary name
// and a rename, so a reader sees the old summary or the new one. A failure (e.g. another
// PC has the summary open) leaves it as it was.
void Resumir(const std::string& archivoEntregas, const fs::path& carpeta, const Corte& c,
             const Corte& objetivo) {
  std::vector<LineaEntrega> lineas;
  std::string bytes;
  if (LeerArchivo(carpeta / kResumen, bytes)) {
    lineas = LeerDiario(bytes);
  } else if (!c.mes.empty()) {
    return;  // unreadable now: keep it
  }
  for (const auto& [f, desde] : MesesDespuesDe(carpeta, c, &objetivo)) {
    if (!LeerArchivo(f, bytes, desde, MesDeArchivo(f) == objetivo.mes ? objetivo.bytes : -1)) continue;
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
  for (const TramoDiario& t : TramosDelDiario(archivoEntregas)) {
    const fs::path f(t.ruta);
    if (Mayusculas(f.parent_path().filename().string()) == Mayusculas(carpeta.filename().string()) &&
        f.parent_path().parent_path() == carpeta.parent_path())
      continue;                                   // this PC's own
    if (!LeerArchivo(f, bytes, t.desde)) return;  // not knowing the rest, nothing can be left out
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
  std::string texto = std::string(kHasta) + objetivo.mes + "\t" + std::to_string(objetivo.bytes) + "\r\n";
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
  const Corte corte = CorteDe(carpeta / kResumen);
  // What is not summed up yet; past the bound the summary is brought up to the end of the
  // latest month file, so a reader reads at most about that much of this PC.
  std::string mes = MesDeFecha(linea.fecha);
  Corte fin{mes, 0};
  long long sinResumir = 0;
  for (const auto& [f, desde] : MesesDespuesDe(carpeta, corte)) {
    const auto tam = static_cast<long long>(fs::file_size(f, ec));
    if (ec) continue;
    sinResumir += std::max(0LL, tam - desde);
    if (MesDeArchivo(f) >= fin.mes) fin = {MesDeArchivo(f), tam};
  }
  if (cerrojo >= 0 && sinResumir >= kDiarioSinResumir) Resumir(archivoEntregas, carpeta, corte, fin);
  // A line is never written before a cut (the clock was set back, or a month file of the
  // future exists): readers would skip it. It goes into the latest month instead.
  // A cut past the end of its file (the file was removed or replaced by hand) would hide
  // the line too: then it goes into the month after.
  const Corte ahora = CorteDe(carpeta / kResumen);
  if (!ahora.mes.empty() && mes <= ahora.mes) {
    mes = ahora.mes;
    const auto tam = fs::file_size(carpeta / (mes + ".TXT"), ec);
    if (ahora.bytes < 0 || (ec ? 0 : static_cast<long long>(tam)) < ahora.bytes) mes = MesMas(mes, 1);
  }
  const bool ok = AgregarAlDiario((carpeta / (mes + ".TXT")).string(), linea);
  const int error = errno;
  if (cerrojo >= 0) ::close(cerrojo);
  errno = error;
  return ok;
}

std::vector<TramoDiario> TramosDelDiario(const std::string& archivoEntregas, bool todos) {
  std::vector<TramoDiario> r;
  std::error_code ec;
  if (fs::is_regular_file(archivoEntregas, ec)) r.push_back({archivoEntregas, 0});
  std::vector<fs::path> equipos;
  for (fs::directory_iterator it(CarpetaDiarios(archivoEntregas), ec), fin; !ec && it != fin;
       it.increment(ec))
    if (it->is_directory(ec)) equipos.push_back(it->path());
  std::sort(equipos.begin(), equipos.end());
  for (const fs::path& e : equipos) {
    const fs::path resumen = e / kResumen;
    if (fs::is_regular_file(resumen, ec)) r.push_back({resumen.string(), 0});
    for (const auto& [m, desde] : MesesDespuesDe(e, todos ? Corte{} : CorteDe(resumen)))
      r.push_back({m.string(), desde});
  }
  return r;
}

bool LeerTramo(const TramoDiario& tramo, std::string& bytes) {
  return LeerArchivo(tramo.ruta, bytes, tramo.desde);
}

std::vector<std::string> ArchivosDelDiario(const std::string& archivoEntregas, bool todos) {
  std::vector<std::string> r;
  for (auto& t : TramosDelDiario(archivoEntregas, todos)) r.push_back(std::move(t.ruta));
  return r;
}

std::vector<LineaEntrega> LeerDiarios(const std::string& archivoEntregas, bool todos) {
  std::vector<LineaEntrega> lineas;
  std::string bytes;
  for (const TramoDiario& t : TramosDelDiario(archivoEntregas, todos)) {
    if (!LeerTramo(t, bytes)) continue;
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
