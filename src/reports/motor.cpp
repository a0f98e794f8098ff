#include "reports/motor.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include <kainjow/mustache.hpp>

#include "reports/reporte.h"
#include "platform/ado/ado.h"
#include "platform/basic/formato.h"
#include "platform/basic/texto.h"
#include "platform/os/rutas.h"
#include "platform/os/sistema.h"

namespace reporte {
namespace {

namespace fs = std::filesystem;
using kainjow::mustache::data;

bool EnLista(const std::vector<std::string>& lista, const std::string& nombre) {
  for (const auto& s : lista) {
    if (basic::IgualesSinCaso(s, nombre)) return true;
  }
  return false;
}

// Rows of one statement with their values and the formatted texts the template shows.
struct Filas {
  std::vector<std::string> columnas;
  std::vector<std::vector<basic::Variant>> valores;
};

Filas Consultar(ado::Connection& cn, const std::string& sql, const Definicion& def) {
  Filas f;
  try {
    ado::Recordset rs;
    rs.Open(sql, cn, ado::adOpenForwardOnly, ado::adLockReadOnly);
    const long n = rs.FieldCount();
    for (long i = 0; i < n; ++i) f.columnas.push_back(rs.Fields(i).Name());
    while (!rs.Eof()) {
      std::vector<basic::Variant> fila;
      fila.reserve(static_cast<size_t>(n));
      for (long i = 0; i < n; ++i) fila.push_back(rs.Fields(i).Value());
      f.valores.push_back(std::move(fila));
      rs.MoveNext();
    }
    rs.Close();
  } catch (const ErrorEjecucion& e) {
    throw ErrorEjecucion(Reporte::errDatos,
                         "El reporte " + def.archivo + " no pudo leer sus datos: " + e.Description,
                         "Reporte");
  }
  return f;
}

std::string Texto(const Definicion& def, const std::string& sub, const std::string& columna,
                  const basic::Variant& v) {
  if (v.EsNull() || v.EsEmpty()) return "";
  if (const std::string* patron = def.Formato(sub, columna)) return basic::FormatRegional(v, *patron);
  return v.Texto();
}

// Rows as template data, with the totals of `totales` into `objTotales`.
std::vector<data> Objetos(const Definicion& def, const std::string& sub, const Filas& f,
                          const std::vector<std::string>& totales, data& objTotales) {
  std::vector<data> lista;
  lista.reserve(f.valores.size());
  std::vector<int64_t> sumas(f.columnas.size(), 0);
  std::vector<bool> suma(f.columnas.size(), false);
  for (size_t c = 0; c < f.columnas.size(); ++c) suma[c] = EnLista(totales, f.columnas[c]);
  for (const auto& fila : f.valores) {
    data obj(data::type::object);
    for (size_t c = 0; c < f.columnas.size(); ++c) {
      obj.set(f.columnas[c], Texto(def, sub, f.columnas[c], fila[c]));
      if (suma[c] && !fila[c].EsNull()) sumas[c] += basic::Moneda::DesdeDouble(fila[c].Numero()).escalado;
    }
    lista.push_back(std::move(obj));
  }
  objTotales = data(data::type::object);
  for (size_t c = 0; c < f.columnas.size(); ++c) {
    if (suma[c]) {
      basic::Moneda m;
      m.escalado = sumas[c];
      objTotales.set(f.columnas[c], Texto(def, sub, f.columnas[c], basic::Variant(m)));
    }
  }
  return lista;
}

data ComoLista(std::vector<data>& objetos) {
  data lista(data::type::list);
  for (auto& o : objetos) lista.push_back(o);
  return lista;
}

long Columna(const Filas& f, const std::string& nombre) {
  for (size_t c = 0; c < f.columnas.size(); ++c) {
    if (basic::IgualesSinCaso(f.columnas[c], nombre)) return static_cast<long>(c);
  }
  return -1;
}

// The cells' attributes per column, {{{Columnas.Fecha}}} and {{{Columnas.RP_CPTESER.Cantidad}}}:
// the main statement's columns, and for each sub-report the columns that [Columnas] or
// [Formatos] name (its rows are read later, row by row).
data AtributosColumnas(const Definicion& def, const Filas& principal) {
  data r(data::type::object);
  for (const auto& c : principal.columnas) r.set(c, def.AtributosColumna("", c));
  std::vector<std::string> nombres;
  for (const auto& c : def.columnas) nombres.push_back(c.columna);
  for (const auto& f : def.formatos) nombres.push_back(f.first);
  for (const auto& s : def.subreportes) {
    data sub(data::type::object);
    for (const auto& n : nombres) {
      const size_t p = n.find('.');
      if (p != std::string::npos && !basic::IgualesSinCaso(n.substr(0, p), s.nombre)) continue;
      const std::string col = p == std::string::npos ? n : n.substr(p + 1);
      sub.set(col, def.AtributosColumna(s.nombre, col));
    }
    r.set(s.nombre, sub);
  }
  return r;
}

}  // namespace

Trabajo PrepararTrabajo(const std::string& archivo, const std::string& formulaSeleccion,
                        const std::vector<std::string>& formulas,
                        const std::vector<std::string>& subreportes) {
  Trabajo t;
  t.definicion = CargarDefinicion(archivo);  // finds the file whatever its case
  const Definicion& def = *t.definicion;

  t.formulaSeleccion = formulaSeleccion;
  if (auto arbol = ParsearFormula(formulaSeleccion)) {
    t.filtro = SqlFormula(*arbol, def.tablas, formulaSeleccion);
  }

  t.formulas = def.formulas;
  for (const auto& texto : formulas) {
    if (basic::Trim(texto).empty()) continue;
    auto [nombre, valor] = LeerFormulaValor(texto);
    bool reemplazada = false;
    for (auto& [n, v] : t.formulas) {
      if (basic::IgualesSinCaso(n, nombre)) {
        v = valor;
        reemplazada = true;
      }
    }
    if (!reemplazada) t.formulas.emplace_back(nombre, valor);
  }

  for (const auto& s : subreportes) {
    std::string nombre = basic::Trim(s);
    if (nombre.empty()) continue;
    if (!def.BuscarSubreporte(nombre)) {
      throw ErrorEjecucion(Reporte::errDefinicion,
                           "El reporte " + def.archivo + " no tiene el subreporte " + nombre, "Reporte");
    }
    t.subreportes.push_back(nombre);
  }
  return t;
}

std::string SentenciaPrincipal(const Trabajo& t) {
  const Definicion& def = *t.definicion;
  std::string sql = def.sentencia;
  std::string donde;
  if (!basic::Trim(def.condicion).empty()) donde = "(" + def.condicion + ")";
  if (!t.filtro.sql.empty()) donde += (donde.empty() ? "" : " AND ") + Enlazar(t.filtro);
  if (!donde.empty()) sql += " WHERE " + donde;
  if (!basic::Trim(def.orden).empty()) sql += " ORDER BY " + def.orden;
  return sql;
}

std::string GenerarHtml(const Trabajo& t, ado::Connection& cn) {
  const Definicion& def = *t.definicion;
  Filas principal = Consultar(cn, SentenciaPrincipal(t), def);

  // Sub-reports to run and the main columns their links read.
  struct Sub {
    const Subreporte* s;
    std::vector<long> columnas;
  };
  std::vector<Sub> subs;
  for (const auto& s : def.subreportes) {
    if (!t.subreportes.empty() && !EnLista(t.subreportes, s.nombre)) continue;
    Sub x{&s, {}};
    for (const auto& [sub, col] : s.vinculo) {
      long c = Columna(principal, col);
      if (c < 0) {
        throw ErrorEjecucion(Reporte::errDefinicion,
                             "El reporte " + def.archivo + " vincula el subreporte " + s.nombre +
                                 " con la columna " + col + ", que la Sentencia no devuelve",
                             "Reporte");
      }
      x.columnas.push_back(c);
    }
    subs.push_back(std::move(x));
  }

  data raiz(data::type::object);
  for (const auto& [n, v] : t.formulas) raiz.set(n, v);
  raiz.set("Titulo", def.titulo);
  raiz.set("Reporte", def.nombre);
  raiz.set("FechaImpresion", basic::FormatFecha(os::sistema().Ahora(), "dd/mm/yyyy hh:nn"));
  raiz.set("CantidadFilas", std::to_string(principal.valores.size()));

  raiz.set("Columnas", AtributosColumnas(def, principal));

  data totales;
  std::vector<data> items = Objetos(def, "", principal, def.totales, totales);
  raiz.set("Totales", totales);

  if (!subs.empty()) {
    for (size_t r = 0; r < principal.valores.size(); ++r) {
      for (const auto& x : subs) {
        Fragmento f;
        f.sql = x.s->sentencia + " WHERE ";
        for (size_t k = 0; k < x.s->vinculo.size(); ++k) {
          if (k) f.sql += " AND ";
          f.sql += x.s->vinculo[k].first + " = ?";
          f.valores.push_back(principal.valores[r][static_cast<size_t>(x.columnas[k])]);
        }
        std::string sql = Enlazar(f);
        if (!basic::Trim(x.s->orden).empty()) sql += " ORDER BY " + x.s->orden;
        Filas filasSub = Consultar(cn, sql, def);
        data totSub;
        std::vector<data> objetos = Objetos(def, x.s->nombre, filasSub, x.s->totales, totSub);
        items[r].set(x.s->nombre + "_Hay", data(!objetos.empty()));
        items[r].set(x.s->nombre, ComoLista(objetos));
        items[r].set(x.s->nombre + "_Totales", totSub);
      }
    }
  }
  for (size_t r = 0; r < items.size(); ++r) items[r].set("Numero", std::to_string(r + 1));
  raiz.set("filas", ComoLista(items));

  kainjow::mustache::mustache& m = *def.plantillaCompilada;
  std::string html;
  html.reserve(def.plantilla.size() * 2 + 4096);
  m.render(raiz, [&html](const std::string& s) { html += s; });
  if (!m.is_valid()) {
    throw ErrorEjecucion(
        Reporte::errDefinicion,
        "El reporte " + def.archivo + " tiene un error en la plantilla: " + m.error_message(), "Reporte");
  }
  return html;
}

void EscribirComoCompleto(const std::string& archivo,
                          const std::function<void(const std::string&)>& escribir) {
  static std::atomic<unsigned> serie{0};
  const std::string destino = os::ResolverSinCaso(archivo);
  const std::string temporal =
      destino + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(serie.fetch_add(1));
  std::error_code ec;
  try {
    escribir(temporal);
  } catch (...) {
    fs::remove(temporal, ec);
    throw;
  }
  fs::rename(temporal, destino, ec);
  if (ec) {
    const std::string motivo = ec.message();
    fs::remove(temporal, ec);
    throw ErrorEjecucion(Reporte::errSalida, "No se puede escribir el archivo " + archivo + ": " + motivo,
                         "Reporte");
  }
}

void EscribirArchivoCompleto(const std::string& archivo, const std::string& contenido) {
  if (basic::Trim(archivo).empty()) {
    throw ErrorEjecucion(Reporte::errSalida, "Falta el nombre del archivo de salida (PrintFileName)",
                         "Reporte");
  }
  EscribirComoCompleto(archivo, [&](const std::string& temporal) {
    auto falla = [&](const std::string& motivo) {
      throw ErrorEjecucion(Reporte::errSalida, "No se puede escribir el archivo " + archivo + ": " + motivo,
                           "Reporte");
    };
    std::ofstream out(temporal, std::ios::binary | std::ios::trunc);
    if (!out) falla(std::strerror(errno));
    out.write(contenido.data(), static_cast<std::streamsize>(contenido.size()));
    out.flush();
    if (!out) falla("error de escritura");
    out.close();
    if (out.fail()) falla("error al cerrar");
  });
}

}  // namespace reporte
