#pragma once
// Small builders of SQL text: the date patterns of the usage and error logs, a pending
// field list turned into one INSERT or UPDATE, and a SELECT adapted to Oracle.
#include <string>
#include <vector>

// Format patterns, day first.
std::string FormatoFechaHora();  // "dd/mm/yy hh:mm"
std::string FormatoFecha();      // "dd/mm/yy"
std::string FormatoHora();       // "hh:mm"

// One pending column: its name and its value already written as an SQL literal.
struct CampoSentencia {
  std::string name;
  std::string value;
};

// The program-wide pending field list.
extern std::vector<CampoSentencia> gCamposSentencia;

// Adds a column to the pending list (a new list when `nuevaLista` is set). Apostrophes
// are removed from the value, in the caller's variable too; "NULL" in any case becomes
// the literal Null, anything else gDB's SQLValue(value, comilla).
void AgregarCampo(const std::string& nombre, std::string& valor, const std::string& comilla, bool nuevaLista);
// For values that are not a caller's variable.
void AgregarCampoValor(const std::string& nombre, std::string valor, const std::string& comilla,
                       bool nuevaLista);

// Turns the field list into "INSERT INTO t (a,b) VALUES (x,y)" or
// "UPDATE t SET a = x,b = y  WHERE cond", appends it and one empty element to `lineas`,
// and empties the list unless `conservarLista` is set. A condition without "WHERE" gets
// " WHERE " in front (the caller's text changes too). Records without a name (the empty
// record a fresh list starts with) are left out.
void ArmarSentencia(std::vector<CampoSentencia>& campos, std::vector<std::string>& lineas,
                    const std::string& tabla, bool actualizar, std::string& condicion, bool conservarLista);

// A SELECT adapted to gDB's connection: on Oracle, "TOP n *" becomes "*" with
// " WHERE ROWNUM <= n" appended and a lone "LEN" becomes "LENGTH"; otherwise unchanged.
std::string AdaptarSQL(const std::string& sql);
// The same rule for a given connection string.
std::string AdaptarSQL(const std::string& sql, const std::string& connString);
