#pragma once
// The report engine's formula language.
//
// Selection formulas: {table.column} fields, texts between '..' or ".." (the quote
// doubled inside), numbers, the comparisons = <> < > <= >=, isnull({field}), not, and,
// or (and binds more tightly than or; not more tightly than both) and parentheses;
// keywords without regard to case. A formula is parsed into a tree and turned into a
// WHERE condition whose values are bound one by one (Enlazar), never pasted as typed.
//
// Formula values: "Name = 'value'" as the callers of Imprimir write them.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/basic/variant.h"

namespace reporte {

struct Operando {
  enum class Tipo { Campo, Texto, Numero } tipo = Tipo::Texto;
  std::string tabla;    // Campo
  std::string columna;  // Campo
  std::string valor;    // Texto (without quotes) or Numero (as written)
};

struct Nodo {
  enum class Tipo { O, Y, No, Comparacion, EsNulo } tipo = Tipo::Comparacion;
  std::vector<std::unique_ptr<Nodo>> hijos;  // O, Y (two or more), No (one)
  std::string operador;                      // Comparacion: = <> < > <= >=
  Operando izquierdo, derecho;               // Comparacion; EsNulo uses izquierdo
};

// Parses a selection formula; nullptr for a blank formula. A formula that does not parse
// raises ErrorEjecucion(Reporte::errFormula) naming the formula and the place.
std::unique_ptr<Nodo> ParsearFormula(const std::string& formula);

// The tree written with every group bracketed, for reading and for tests:
// "(({t.a} = 'x' and {t.b} = 'y') or isnull({t.c}))".
std::string TextoArbol(const Nodo& nodo);

// A piece of SQL with "?" markers and the values that go in them, in order.
struct Fragmento {
  std::string sql;
  std::vector<basic::Variant> valores;
};

// The WHERE condition of a tree. `tablas`: the tables a field may name (any when empty);
// another table, or a name that is not a plain identifier, raises errFormula.
Fragmento SqlFormula(const Nodo& nodo, const std::vector<std::string>& tablas,
                     const std::string& formula = "");

// A value as an SQL literal: texts between single quotes with quotes doubled (NUL
// characters dropped), numbers with "." as decimal point, dates 'yyyy-mm-dd hh:mm:ss',
// Null and Empty NULL. The one place where values become SQL text.
std::string LiteralSql(const basic::Variant& valor);
// The fragment's markers replaced by the literals of its values.
std::string Enlazar(const Fragmento& f);

// "Name = 'value'" (or "Name= 'value'", double quotes, or a bare value): the name and the
// value with its enclosing quotes removed and doubled quotes made single; a lone quote
// inside is kept as it stands. Raises errFormula when there is no name or no "=".
std::pair<std::string, std::string> LeerFormulaValor(const std::string& texto);

}  // namespace reporte
