#include "platform/basic/archivos.h"

#include <filesystem>
#include <system_error>

#include "platform/basic/error.h"
#include "platform/basic/fecha.h"
#include "platform/basic/formato.h"
#include "platform/basic/numero.h"
#include "platform/basic/texto.h"
#include "platform/basic/windows1252.h"

namespace fs = std::filesystem;

namespace basic {

namespace {

[[noreturn]] void Falla(long numero, const std::string& ruta) {
  const char* texto = "Error de acceso a la ruta o el archivo";
  switch (numero) {
    case 52: texto = "Nombre o número de archivo incorrecto"; break;
    case 53: texto = "No se encontró el archivo"; break;
    case 54: texto = "Modo de archivo incorrecto"; break;
    case 59: texto = "Longitud de registro incorrecta"; break;
    case 62: texto = "La entrada pasó del final del archivo"; break;
    case 63: texto = "Número de registro incorrecto"; break;
    case 76: texto = "No se encontró la ruta de acceso"; break;
  }
  throw ErrorEjecucion(numero, texto, ruta);
}

// Checks shared by every open; returns the path to use.
std::string PrepararRuta(const std::string& ruta, bool debeExistir) {
  if (Trim(ruta).empty()) Falla(75, ruta);
  const std::string real = ResolverRuta(ruta);
  std::error_code ec;
  const fs::path p(real);
  if (fs::is_directory(p, ec)) Falla(75, ruta);
  const fs::path carpeta = p.parent_path();
  if (!carpeta.empty() && !fs::is_directory(carpeta, ec)) Falla(76, ruta);
  if (debeExistir && !fs::exists(p, ec)) Falla(53, ruta);
  return real;
}

bool EsUtf8ConAcentos(const std::string& bytes) {
  bool alto = false;
  for (char c : bytes) alto = alto || (static_cast<unsigned char>(c) & 0x80);
  if (!alto) return false;
  for (char32_t c : ACodigos(bytes))
    if (c >= 0xDC80 && c <= 0xDCFF) return false;
  return true;
}

// Bytes read from a shared file. A text that is valid UTF-8 with non-ASCII characters
// was written by a program of this system, not in the code page: it is kept as it is.
std::string Decodificar(const std::string& bytes) {
  return EsUtf8ConAcentos(bytes) ? bytes : DeWindows1252(bytes);
}

std::string Entrecomillar(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string CampoDeVariant(const Variant& v) {
  switch (v.Tipo()) {
    case TipoVariant::Empty: return "";
    case TipoVariant::Null: return "#NULL#";
    case TipoVariant::String: return Entrecomillar(v.Texto());
    case TipoVariant::Boolean: return v.Booleano() ? "#TRUE#" : "#FALSE#";
    case TipoVariant::Date: {
      const Fecha f = v.AFecha();
      if (DateValue(f) == 0 && TimeValue(f) != 0) return "#" + FormatFecha(f, "hh:mm:ss") + "#";
      if (TimeValue(f) == 0) return "#" + FormatFecha(f, "yyyy-mm-dd") + "#";
      return "#" + FormatFecha(f, "yyyy-mm-dd hh:mm:ss") + "#";
    }
    default: return NumeroATexto(v.Numero(), ".");
  }
}

// Reads one field the classic Input # way from a byte source.
template <class Fuente>
std::string CampoDe(Fuente& f) {
  auto finDeLinea = [&](int c) {
    if (c == '\r') {
      if (f.Mirar() == '\n') f.Siguiente();
      return true;
    }
    return c == '\n';
  };
  while (f.Mirar() == ' ' || f.Mirar() == '\t') f.Siguiente();
  std::string campo;
  if (f.Mirar() == '"') {
    f.Siguiente();
    for (;;) {
      const int c = f.Mirar();
      if (c < 0 || c == '\r' || c == '\n') break;  // unterminated: the line ends it
      f.Siguiente();
      if (c == '"') {
        if (f.Mirar() == '"') {
          f.Siguiente();
          campo += '"';
          continue;
        }
        break;
      }
      campo += static_cast<char>(c);
    }
    // Anything between the closing quote and the delimiter is dropped.
    for (;;) {
      const int c = f.Siguiente();
      if (c < 0 || c == ',' || finDeLinea(c)) break;
    }
    return campo;
  }
  for (;;) {
    const int c = f.Siguiente();
    if (c < 0 || c == ',' || finDeLinea(c)) break;
    campo += static_cast<char>(c);
  }
  return RTrim(campo.erase(campo.find_last_not_of('\t') + 1));
}

struct FuenteTexto {
  const std::string& s;
  size_t i = 0;
  int Mirar() const { return i < s.size() ? static_cast<unsigned char>(s[i]) : -1; }
  int Siguiente() { return i < s.size() ? static_cast<unsigned char>(s[i++]) : -1; }
};

}  // namespace

std::string AWindows1252(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (char32_t c : ACodigos(utf8)) {
    const int b = Byte1252DeCodigo(c);
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}

std::string DeWindows1252(const std::string& bytes) {
  std::u32string c;
  c.reserve(bytes.size());
  for (unsigned char b : bytes) c += CodigoDeByte1252(b);
  return DeCodigos(c);
}

bool CabeEnWindows1252(const std::string& utf8) {
  for (char32_t c : ACodigos(utf8))
    if (Byte1252DeCodigo(c) < 0) return false;
  return true;
}

std::string ResolverRuta(const std::string& ruta) {
  std::error_code ec;
  if (ruta.empty() || fs::exists(fs::path(ruta), ec)) return ruta;
  const fs::path p(ruta);
  fs::path actual = p.root_path();
  bool resuelto = true;
  for (const auto& parte : p.relative_path()) {
    if (!resuelto) {
      actual /= parte;
      continue;
    }
    const fs::path base = actual.empty() ? fs::path(".") : actual;
    if (fs::exists(base / parte, ec)) {
      actual /= parte;
      continue;
    }
    std::string hallado;
    for (fs::directory_iterator it(base, ec), fin; !ec && it != fin; it.increment(ec)) {
      const std::string nombre = it->path().filename().string();
      if (IgualesSinCaso(nombre, parte.string())) {
        hallado = nombre;
        break;
      }
    }
    if (hallado.empty()) {
      resuelto = false;
      actual /= parte;
    } else
      actual /= hallado;
  }
  return actual.string();
}

// ---- ArchivoTexto ----

ArchivoTexto::ArchivoTexto(const std::string& ruta, Modo modo) : modo_(modo) {
  ruta_ = PrepararRuta(ruta, modo == Modo::Lectura);
  std::ios::openmode m = std::ios::binary;
  if (modo == Modo::Lectura)
    m |= std::ios::in;
  else if (modo == Modo::Escritura)
    m |= std::ios::out | std::ios::trunc;
  else
    // Read-write ("a+"): through some clients of a shared folder a write-only append open
    // fails (EIO after seconds) where a read-write one works.
    m |= std::ios::in | std::ios::out | std::ios::app;
  f_.open(ruta_, m);
  if (!f_.is_open()) Falla(75, ruta);
}

ArchivoTexto::~ArchivoTexto() {
  if (f_.is_open()) f_.close();
}

void ArchivoTexto::Cerrar() {
  if (!f_.is_open()) return;
  f_.flush();
  const bool bien = !f_.fail() || modo_ == Modo::Lectura;
  f_.close();
  if (!bien) Falla(75, ruta_);
}

void ArchivoTexto::Escribir(const std::string& texto) {
  if (!f_.is_open()) Falla(52, ruta_);
  if (modo_ == Modo::Lectura) Falla(54, ruta_);
  const std::string bytes = AWindows1252(texto);
  f_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (f_.fail()) Falla(75, ruta_);
}

void ArchivoTexto::EscribirLinea(const std::string& texto) { Escribir(texto + "\r\n"); }

void ArchivoTexto::EscribirCampos(const std::vector<Variant>& campos) { EscribirLinea(LineaCSV(campos)); }

int ArchivoTexto::Mirar() {
  if (!f_.is_open()) Falla(52, ruta_);
  if (modo_ != Modo::Lectura) Falla(54, ruta_);
  const auto c = f_.peek();
  return c == std::char_traits<char>::eof() ? -1 : c;
}

int ArchivoTexto::Siguiente() {
  if (Mirar() < 0) return -1;
  return f_.get();
}

bool ArchivoTexto::Eof() { return Mirar() < 0; }

bool ArchivoTexto::LeerLinea(std::string& linea) {
  if (Eof()) return false;
  std::string bytes;
  for (;;) {
    const int c = Siguiente();
    if (c < 0 || c == '\n') break;
    if (c == '\r') {
      if (Mirar() == '\n') Siguiente();
      break;
    }
    bytes += static_cast<char>(c);
  }
  linea = Decodificar(bytes);
  return true;
}

std::string ArchivoTexto::LeerLinea() {
  std::string linea;
  if (!LeerLinea(linea)) Falla(62, ruta_);
  return linea;
}

std::string ArchivoTexto::LeerCampo() {
  if (Eof()) Falla(62, ruta_);
  struct Fuente {  // a local class shares the member's access
    ArchivoTexto& a;
    int Mirar() { return a.Mirar(); }
    int Siguiente() { return a.Siguiente(); }
  } fuente{*this};
  return Decodificar(CampoDe(fuente));
}

std::vector<std::string> ArchivoTexto::LeerCampos() { return CamposCSV(LeerLinea()); }

std::vector<std::string> LeerLineas(const std::string& ruta) {
  ArchivoTexto f(ruta, ArchivoTexto::Modo::Lectura);
  std::vector<std::string> lineas;
  std::string linea;
  while (f.LeerLinea(linea)) lineas.push_back(linea);
  return lineas;
}

void EscribirLineas(const std::string& ruta, const std::vector<std::string>& lineas) {
  ArchivoTexto f(ruta, ArchivoTexto::Modo::Escritura);
  for (const auto& l : lineas) f.EscribirLinea(l);
  f.Cerrar();
}

void AgregarLinea(const std::string& ruta, const std::string& linea) {
  ArchivoTexto f(ruta, ArchivoTexto::Modo::Agregar);
  f.EscribirLinea(linea);
  f.Cerrar();
}

std::string LineaCSV(const std::vector<Variant>& campos) {
  std::string out;
  for (size_t i = 0; i < campos.size(); ++i) {
    if (i) out += ',';
    out += CampoDeVariant(campos[i]);
  }
  return out;
}

std::string LineaCSV(const std::vector<std::string>& campos) {
  std::string out;
  for (size_t i = 0; i < campos.size(); ++i) {
    if (i) out += ',';
    out += Entrecomillar(campos[i]);
  }
  return out;
}

std::vector<std::string> CamposCSV(const std::string& linea) {
  FuenteTexto f{linea};
  std::vector<std::string> campos;
  do {
    campos.push_back(CampoDe(f));
  } while (f.Mirar() >= 0);
  // "a," holds a second, empty field.
  if (!linea.empty() && linea.back() == ',') campos.emplace_back();
  return campos;
}

std::string CampoFijo(const std::string& utf8, size_t n) {
  std::string b = AWindows1252(utf8);
  b.resize(n, ' ');
  return b;
}

// ---- ArchivoRegistros ----

ArchivoRegistros::ArchivoRegistros(const std::string& ruta, size_t longitudRegistro)
    : longitud_(longitudRegistro) {
  if (longitudRegistro == 0) Falla(59, ruta);
  ruta_ = PrepararRuta(ruta, false);
  std::error_code ec;
  if (!fs::exists(ruta_, ec)) {
    std::ofstream crear(ruta_, std::ios::binary);
    if (!crear) Falla(75, ruta);
  }
  f_.open(ruta_, std::ios::in | std::ios::out | std::ios::binary);
  if (!f_.is_open()) f_.open(ruta_, std::ios::in | std::ios::binary);  // read-only file
  if (!f_.is_open()) Falla(75, ruta);
}

ArchivoRegistros::~ArchivoRegistros() {
  if (f_.is_open()) f_.close();
}

void ArchivoRegistros::Cerrar() {
  if (f_.is_open()) f_.close();
}

uint64_t ArchivoRegistros::LOF() {
  if (!f_.is_open()) Falla(52, ruta_);
  f_.clear();
  f_.seekg(0, std::ios::end);
  const auto fin = f_.tellg();
  return fin < 0 ? 0 : static_cast<uint64_t>(fin);
}

uint64_t ArchivoRegistros::CantidadRegistros() { return LOF() / longitud_; }

std::string ArchivoRegistros::Leer(uint64_t n) {
  if (n < 1) Falla(63, ruta_);
  const uint64_t largo = LOF();
  const uint64_t pos = (n - 1) * longitud_;
  if (pos >= largo) return "";
  std::string r(longitud_, '\0');
  const uint64_t leer = std::min<uint64_t>(longitud_, largo - pos);
  f_.seekg(static_cast<std::streamoff>(pos));
  f_.read(r.data(), static_cast<std::streamsize>(leer));
  if (f_.fail()) Falla(75, ruta_);
  return r;
}

void ArchivoRegistros::Escribir(uint64_t n, const std::string& bytes) {
  if (n < 1) Falla(63, ruta_);
  if (bytes.size() > longitud_) Falla(59, ruta_);
  const uint64_t largo = LOF();
  const uint64_t pos = (n - 1) * longitud_;
  if (pos > largo) {
    f_.seekp(static_cast<std::streamoff>(largo));
    const std::string relleno(pos - largo, '\0');
    f_.write(relleno.data(), static_cast<std::streamsize>(relleno.size()));
  }
  std::string r = bytes;
  r.resize(longitud_, ' ');
  f_.seekp(static_cast<std::streamoff>(pos));
  f_.write(r.data(), static_cast<std::streamsize>(r.size()));
  f_.flush();
  if (f_.fail()) Falla(75, ruta_);
}

}  // namespace basic
