#include "reports/definicion.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <kainjow/mustache.hpp>

#include "reports/formula.h"
#include "reports/reporte.h"
#include "platform/basic/texto.h"
#include "platform/os/rutas.h"

namespace reporte {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void Roto(const std::string& archivo, int linea, const std::string& motivo) {
  std::string msg = "El reporte " + archivo + " no es válido";
  if (linea > 0) msg += " (línea " + std::to_string(linea) + ")";
  throw ErrorEjecucion(Reporte::errDefinicion, msg + ": " + motivo, "Reporte");
}

bool NombreColumna(const std::string& s, bool conPunto) {
  if (s.empty()) return false;
  for (char c : s) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && !(conPunto && c == '.')) return false;
  }
  return true;
}

std::vector<std::string> Lista(const std::string& v) {
  std::vector<std::string> r;
  std::string cur;
  std::stringstream ss(v);
  while (std::getline(ss, cur, ',')) {
    cur = basic::Trim(cur);
    if (!cur.empty()) r.push_back(cur);
  }
  return r;
}

std::string SinFinDeLinea(std::string s) {
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.pop_back();
  return s;
}

std::string Recortar(const std::string& s) {
  size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(" \t");
  return s.substr(a, b - a + 1);
}

// The files read for one definition, with their time and size when read.
struct Sello {
  std::string ruta;
  fs::file_time_type hora;
  uintmax_t tamano = 0;
  bool operator==(const Sello&) const = default;
};
using Sellos = std::vector<Sello>;

Sello SelloDe(const std::string& ruta) {
  std::error_code ec;
  Sello s{ruta, fs::last_write_time(ruta, ec), 0};
  s.tamano = fs::file_size(ruta, ec);
  return s;
}

Definicion Leer(const std::string& texto, const std::string& archivo, int profundidad, Sellos& sellos);

// "9%, centro, sin corte": each item once, in any order.
ColumnaTabla LeerColumna(const std::string& columna, const std::string& valor, const std::string& archivo,
                         int numero) {
  ColumnaTabla c;
  c.columna = columna;
  size_t desde = 0;
  while (desde <= valor.size()) {
    const size_t coma = std::min(valor.find(',', desde), valor.size());
    const std::string item = Recortar(valor.substr(desde, coma - desde));
    desde = coma + 1;
    if (item.empty()) continue;
    const std::string m = basic::LCase(item);
    if (m.size() >= 2 && m.back() == '%' && m.find_first_not_of("0123456789") == m.size() - 1 &&
        m.size() <= 4) {
      c.ancho = std::stoi(m);
      if (c.ancho >= 1 && c.ancho <= 100) continue;
    } else if (m == "izquierda" || m == "centro" || m == "derecha") {
      c.alineacion = m == "izquierda" ? "left" : m == "centro" ? "center" : "right";
      continue;
    } else if (m == "sin corte") {
      c.sinCorte = true;
      continue;
    }
    Roto(archivo, numero,
         "valor no válido «" + item + "» para la columna " + columna +
             ": se espera un ancho (1% a 100%), izquierda, centro, derecha o sin corte");
  }
  return c;
}

Definicion CargarConProfundidad(const std::string& archivo, int profundidad, Sellos& sellos) {
  std::string ruta = os::BuscarArchivoSinCaso(archivo);
  std::error_code ec;
  if (ruta.empty() || !fs::is_regular_file(ruta, ec)) {
    throw ErrorEjecucion(Reporte::errDefinicion, "No se encuentra el reporte " + archivo, "Reporte");
  }
  std::ifstream in(ruta, std::ios::binary);
  if (!in) {
    throw ErrorEjecucion(Reporte::errDefinicion, "No se puede leer el reporte " + ruta, "Reporte");
  }
  sellos.push_back(SelloDe(ruta));
  std::stringstream ss;
  ss << in.rdbuf();
  return Leer(ss.str(), ruta, profundidad, sellos);
}

Definicion Leer(const std::string& textoEntero, const std::string& archivo, int profundidad, Sellos& sellos) {
  std::string texto = textoEntero;
  if (texto.rfind("\xEF\xBB\xBF", 0) == 0) texto.erase(0, 3);

  Definicion d;
  d.archivo = archivo;
  enum class Seccion {
    Ninguna,
    Reporte,
    Subreporte,
    Formulas,
    Formatos,
    Columnas
  } seccion = Seccion::Ninguna;
  std::string usar;
  bool hayReporte = false, hayPlantilla = false, otraSeccion = false;
  std::string* ultimo = nullptr;  // value a continuation line extends
  // List values, parsed once the file is read (continuation lines may extend them).
  std::string tablas, totales;
  std::vector<std::string> vinculos, totalesSub;
  std::vector<int> lineaVinculo;

  size_t pos = 0;
  int numero = 0;
  while (pos < texto.size()) {
    size_t fin = texto.find('\n', pos);
    std::string linea =
        SinFinDeLinea(texto.substr(pos, fin == std::string::npos ? std::string::npos : fin - pos));
    pos = fin == std::string::npos ? texto.size() : fin + 1;
    ++numero;

    std::string limpia = Recortar(linea);
    if (limpia.empty() || limpia[0] == ';' || limpia[0] == '#') continue;

    if (limpia.front() == '[') {
      if (limpia.back() != ']') Roto(archivo, numero, "sección sin ']'");
      std::string nombre = Recortar(limpia.substr(1, limpia.size() - 2));
      std::string primera = nombre.substr(0, nombre.find(' '));
      ultimo = nullptr;
      if (basic::IgualesSinCaso(nombre, "Plantilla")) {
        d.plantilla = texto.substr(pos);
        hayPlantilla = true;
        break;
      } else if (basic::IgualesSinCaso(nombre, "Reporte")) {
        if (hayReporte) Roto(archivo, numero, "la sección [Reporte] aparece dos veces");
        hayReporte = true;
        seccion = Seccion::Reporte;
      } else if (basic::IgualesSinCaso(primera, "Subreporte")) {
        std::string sub = Recortar(nombre.substr(primera.size()));
        if (!NombreColumna(sub, false)) Roto(archivo, numero, "falta el nombre del subreporte");
        if (d.BuscarSubreporte(sub)) Roto(archivo, numero, "el subreporte " + sub + " aparece dos veces");
        d.subreportes.push_back({});
        d.subreportes.back().nombre = sub;
        vinculos.emplace_back();
        totalesSub.emplace_back();
        lineaVinculo.push_back(numero);
        seccion = Seccion::Subreporte;
        otraSeccion = true;
      } else if (basic::IgualesSinCaso(nombre, "Formulas") || basic::IgualesSinCaso(nombre, "Fórmulas")) {
        seccion = Seccion::Formulas;
        otraSeccion = true;
      } else if (basic::IgualesSinCaso(nombre, "Formatos")) {
        seccion = Seccion::Formatos;
        otraSeccion = true;
      } else if (basic::IgualesSinCaso(nombre, "Columnas")) {
        seccion = Seccion::Columnas;
        otraSeccion = true;
      } else {
        Roto(archivo, numero, "sección desconocida [" + nombre + "]");
      }
      continue;
    }

    if (linea[0] == ' ' || linea[0] == '\t') {  // continuation
      if (!ultimo) Roto(archivo, numero, "línea de continuación sin clave anterior");
      *ultimo += " " + limpia;
      continue;
    }

    size_t igual = limpia.find('=');
    if (seccion == Seccion::Ninguna) Roto(archivo, numero, "texto fuera de una sección");
    if (igual == std::string::npos) Roto(archivo, numero, "se esperaba Clave = valor");
    std::string clave = Recortar(limpia.substr(0, igual));
    std::string valor = Recortar(limpia.substr(igual + 1));
    auto es = [&](const char* c) { return basic::IgualesSinCaso(clave, c); };

    switch (seccion) {
      case Seccion::Reporte:
        if (es("Nombre"))
          ultimo = &(d.nombre = valor);
        else if (es("Titulo") || es("Título"))
          ultimo = &(d.titulo = valor);
        else if (es("Sentencia"))
          ultimo = &(d.sentencia = valor);
        else if (es("Condicion") || es("Condición"))
          ultimo = &(d.condicion = valor);
        else if (es("Orden"))
          ultimo = &(d.orden = valor);
        else if (es("Tablas"))
          ultimo = &(tablas = valor);
        else if (es("Totales"))
          ultimo = &(totales = valor);
        else if (es("Usar")) {
          usar = valor;
          ultimo = nullptr;
        } else
          Roto(archivo, numero, "clave desconocida " + clave + " en [Reporte]");
        break;
      case Seccion::Subreporte: {
        Subreporte& s = d.subreportes.back();
        if (es("Sentencia"))
          ultimo = &(s.sentencia = valor);
        else if (es("Orden"))
          ultimo = &(s.orden = valor);
        else if (es("Totales"))
          ultimo = &(totalesSub[d.subreportes.size() - 1] = valor);
        else if (es("Vinculo") || es("Vínculo")) {
          ultimo = &(vinculos[d.subreportes.size() - 1] = valor);
          lineaVinculo[d.subreportes.size() - 1] = numero;
        } else {
          Roto(archivo, numero, "clave desconocida " + clave + " en [Subreporte " + s.nombre + "]");
        }
        break;
      }
      case Seccion::Formulas: {
        if (!NombreColumna(clave, false))
          Roto(archivo, numero, "nombre de fórmula no válido «" + clave + "»");
        d.formulas.push_back(LeerFormulaValor(clave + " = " + valor));
        ultimo = nullptr;
        break;
      }
      case Seccion::Formatos:
        if (!NombreColumna(clave, true)) Roto(archivo, numero, "columna no válida «" + clave + "»");
        d.formatos.emplace_back(clave, valor);
        ultimo = nullptr;
        break;
      case Seccion::Columnas:
        if (!NombreColumna(clave, true)) Roto(archivo, numero, "columna no válida «" + clave + "»");
        d.columnas.push_back(LeerColumna(clave, valor, archivo, numero));
        ultimo = nullptr;
        break;
      case Seccion::Ninguna: break;
    }
  }

  if (!usar.empty()) {
    if (otraSeccion || hayPlantilla || !d.sentencia.empty())
      Roto(archivo, 0, "Usar no admite otras claves ni secciones");
    if (profundidad > 4) Roto(archivo, 0, "demasiados reportes encadenados con Usar");
    fs::path destino = fs::path(archivo).parent_path() / usar;
    if (fs::path(usar).is_absolute()) destino = usar;
    try {
      return CargarConProfundidad(destino.string(), profundidad + 1, sellos);
    } catch (const ErrorEjecucion& e) {
      Roto(archivo, 0, "Usar = " + usar + ": " + e.Description);
    }
  }
  d.tablas = Lista(tablas);
  d.totales = Lista(totales);
  for (size_t k = 0; k < d.subreportes.size(); ++k) {
    Subreporte& s = d.subreportes[k];
    s.totales = Lista(totalesSub[k]);
    for (const auto& par : Lista(vinculos[k])) {
      size_t i = par.find('=');
      std::string sub = Recortar(par.substr(0, i));
      std::string principal = i == std::string::npos ? sub : Recortar(par.substr(i + 1));
      if (i == std::string::npos) {
        size_t p = sub.rfind('.');
        if (p != std::string::npos) principal = sub.substr(p + 1);
      }
      if (!NombreColumna(sub, true) || !NombreColumna(principal, false))
        Roto(archivo, lineaVinculo[k], "vínculo no válido «" + par + "»");
      s.vinculo.emplace_back(sub, principal);
    }
  }
  if (!hayReporte) Roto(archivo, 0, "falta la sección [Reporte]");
  if (basic::Trim(d.sentencia).empty()) Roto(archivo, 0, "falta la Sentencia del reporte");
  for (const auto& s : d.subreportes) {
    if (basic::Trim(s.sentencia).empty()) Roto(archivo, 0, "falta la Sentencia del subreporte " + s.nombre);
    if (s.vinculo.empty()) Roto(archivo, 0, "falta el Vinculo del subreporte " + s.nombre);
  }
  if (!hayPlantilla || basic::Trim(d.plantilla).empty()) Roto(archivo, 0, "falta la [Plantilla]");
  d.plantillaCompilada = std::make_shared<kainjow::mustache::mustache>(d.plantilla);
  if (!d.plantillaCompilada->is_valid())
    Roto(archivo, 0, "la plantilla tiene un error: " + d.plantillaCompilada->error_message());
  d.plantillaCompilada->set_custom_escape(EscaparHtml);
  if (d.nombre.empty()) d.nombre = fs::path(archivo).stem().string();
  return d;
}

}  // namespace

const Subreporte* Definicion::BuscarSubreporte(const std::string& n) const {
  for (const auto& s : subreportes) {
    if (basic::IgualesSinCaso(s.nombre, n)) return &s;
  }
  return nullptr;
}

const std::string* Definicion::Formato(const std::string& subreporte, const std::string& columna) const {
  const std::string* general = nullptr;
  for (const auto& [c, patron] : formatos) {
    size_t p = c.find('.');
    if (p == std::string::npos) {
      if (!general && basic::IgualesSinCaso(c, columna)) general = &patron;
    } else if (!subreporte.empty() && basic::IgualesSinCaso(c.substr(0, p), subreporte) &&
               basic::IgualesSinCaso(c.substr(p + 1), columna)) {
      return &patron;
    }
  }
  return general;
}

std::string Definicion::AtributosColumna(const std::string& subreporte, const std::string& columna) const {
  const ColumnaTabla* general = nullptr;
  const ColumnaTabla* propia = nullptr;
  for (const auto& c : columnas) {
    const size_t p = c.columna.find('.');
    if (p == std::string::npos) {
      if (!general && basic::IgualesSinCaso(c.columna, columna)) general = &c;
    } else if (!propia && !subreporte.empty() && basic::IgualesSinCaso(c.columna.substr(0, p), subreporte) &&
               basic::IgualesSinCaso(c.columna.substr(p + 1), columna)) {
      propia = &c;
    }
  }
  const ColumnaTabla* c = propia ? propia : general;
  const char* kSinCorte = " nowrap";
  if (!c) return Formato(subreporte, columna) ? kSinCorte : "";
  std::string r;
  if (c->ancho) r += " width=\"" + std::to_string(c->ancho) + "%\"";
  if (!c->alineacion.empty()) r += " align=\"" + c->alineacion + "\"";
  if (c->sinCorte || Formato(subreporte, columna)) r += kSinCorte;
  return r;
}

std::shared_ptr<const Definicion> CargarDefinicion(const std::string& archivo) {
  struct Entrada {
    Sellos sellos;
    std::shared_ptr<const Definicion> definicion;
  };
  static std::map<std::string, Entrada> cache;
  const std::string ruta = os::BuscarArchivoSinCaso(archivo);
  if (!ruta.empty()) {
    auto it = cache.find(ruta);
    if (it != cache.end()) {
      bool igual = true;
      for (const auto& s : it->second.sellos) igual = igual && SelloDe(s.ruta) == s;
      if (igual) return it->second.definicion;
      cache.erase(it);
    }
  }
  Sellos sellos;
  auto d = std::make_shared<const Definicion>(CargarConProfundidad(archivo, 0, sellos));
  if (!ruta.empty()) cache[ruta] = {std::move(sellos), d};
  return d;
}

Definicion LeerDefinicion(const std::string& texto, const std::string& archivo) {
  Sellos sellos;
  return Leer(texto, archivo, 0, sellos);
}

std::string EscaparHtml(const std::string& s) {
  std::string r;
  r.reserve(s.size() + 8);
  for (char c : s) {
    switch (c) {
      case '&': r += "&amp;"; break;
      case '<': r += "&lt;"; break;
      case '>': r += "&gt;"; break;
      case '"': r += "&quot;"; break;
      case '\'': r += "&#39;"; break;
      default: r += c;
    }
  }
  return r;
}

}  // namespace reporte
