#pragma once
// The report engine: one prepared report (Trabajo) and its rendering to HTML.
//
// The template sees:
//   the formula fields by name ({{NombreEmpresa}}), Titulo, Reporte (the definition's
//   name), FechaImpresion (now, "dd/mm/yyyy hh:mm"), CantidadFilas;
//   filas: the main rows, each with its columns by name (formatted text, Null empty),
//   Numero (1, 2, ...), and per sub-report a list of rows under its name, <name>_Hay
//   (true when it has rows) and the totals of its Totales columns under <name>_Totales
//   (RP_CPTESER_Totales.Importe);
//   Totales: the totals of the main rows' Totales columns.
// {{x}} writes the value HTML-escaped.
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "reports/definicion.h"
#include "reports/formula.h"

namespace ado {
class Connection;
}

namespace reporte {

struct Trabajo {
  std::shared_ptr<const Definicion> definicion;
  std::string formulaSeleccion;                               // as received, for messages
  Fragmento filtro;                                           // empty sql: no filter
  std::vector<std::pair<std::string, std::string>> formulas;  // defaults, then the values given
  std::vector<std::string> subreportes;                       // to run; empty = all
};

// Loads the definition, parses the formula and the formula values, checks the
// sub-report names. Raises ErrorEjecucion (Reporte::errDefinicion / errFormula).
Trabajo PrepararTrabajo(const std::string& archivo, const std::string& formulaSeleccion,
                        const std::vector<std::string>& formulas,
                        const std::vector<std::string>& subreportes);

// The main statement with the selection formula's values bound.
std::string SentenciaPrincipal(const Trabajo& t);

// Reads the data on `cn` and renders the template. A failing statement raises
// ErrorEjecucion(Reporte::errDatos) naming the report and the database's message.
std::string GenerarHtml(const Trabajo& t, ado::Connection& cn);

// Has `escribir` write the file under a temporary name in the same folder, then renames it
// to `archivo`: the file appears complete or not at all. What `escribir` raises goes on, the
// temporary file removed; a failed rename raises ErrorEjecucion(Reporte::errSalida).
void EscribirComoCompleto(const std::string& archivo,
                          const std::function<void(const std::string&)>& escribir);

// Writes `contenido` to `archivo` that way. Raises ErrorEjecucion(Reporte::errSalida).
void EscribirArchivoCompleto(const std::string& archivo, const std::string& contenido);

}  // namespace reporte
