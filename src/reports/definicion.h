#pragma once
// Report definition files (".rpt"): readable UTF-8 text of our own, described in
// docs/reports.md. Sections:
//
//   [Reporte]                 Nombre, Titulo, Tablas, Sentencia, Condicion, Orden, Totales
//                             (or only Usar = other.rpt: that file's definition)
//   [Subreporte RP_CPTESER]   Sentencia, Vinculo, Orden, Totales   (any number of them)
//   [Formulas]                Name = 'default value'
//   [Formatos]                Column = Format pattern (RP_X.Column for one sub-report)
//   [Columnas]                Column = width %, alignment, "sin corte" (RP_X.Column too)
//   [Plantilla]               the rest of the file: the HTML template (Mustache)
//
// Lines starting with ";" or "#" are comments (outside the template); a line starting
// with a blank continues the value of the line before it.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <kainjow/mustache.hpp>

namespace reporte {

struct Subreporte {
  std::string nombre;
  std::string sentencia;
  // (column of the sub-report's statement, column of the main row) pairs.
  std::vector<std::pair<std::string, std::string>> vinculo;
  std::string orden;
  std::vector<std::string> totales;
};

// How a table column is laid out: [Columnas] Fecha = 9%, centro, sin corte
struct ColumnaTabla {
  std::string columna;     // "Fecha", or "RP_CPTESER.Cantidad" for one sub-report
  int ancho = 0;           // percent of the table's width; 0: as the content asks
  std::string alineacion;  // "left", "center", "right"; empty: the template's
  bool sinCorte = false;   // the value stays on one line
};

struct Definicion {
  std::string archivo;  // the file it was read from (after Usar)
  std::string nombre;
  std::string titulo;
  std::vector<std::string> tablas;  // tables the selection formula may name
  std::string sentencia;            // SELECT ... FROM ... without WHERE and ORDER BY
  std::string condicion;            // fixed condition, ANDed with the selection formula
  std::string orden;                // ORDER BY list
  std::vector<std::string> totales;
  std::vector<Subreporte> subreportes;
  std::vector<std::pair<std::string, std::string>> formulas;  // name, default value
  std::vector<std::pair<std::string, std::string>> formatos;  // column, pattern
  std::vector<ColumnaTabla> columnas;
  std::string plantilla;
  // The template parsed once, with the engine's HTML escaping.
  std::shared_ptr<kainjow::mustache::mustache> plantillaCompilada;

  const Subreporte* BuscarSubreporte(const std::string& nombre) const;
  // The pattern for a column of the main rows (subreporte empty) or of a sub-report.
  const std::string* Formato(const std::string& subreporte, const std::string& columna) const;
  // The HTML attributes of a column's cells (` width="9%" align="center" nowrap`): from
  // [Columnas], else ` nowrap` for a column with a [Formatos] pattern (dates and amounts
  // never break), else empty.
  std::string AtributosColumna(const std::string& subreporte, const std::string& columna) const;
};

// Reads and checks a definition file (found whatever the case of its name). A missing
// file raises ErrorEjecucion(Reporte::errDefinicion) "No se encuentra el reporte ..."; a
// broken one the same number with the file, the line and what is wrong. A file read before
// and unchanged since (time and size of every file read for it) is not read again.
std::shared_ptr<const Definicion> CargarDefinicion(const std::string& archivo);
// The same from text already read; `archivo` names it in messages and resolves Usar.
Definicion LeerDefinicion(const std::string& texto, const std::string& archivo);

// HTML escaping of values: & < > " and the apostrophe as &#39; (a numeric reference, so
// that old mail readers and the preview show it).
std::string EscaparHtml(const std::string& s);

}  // namespace reporte
