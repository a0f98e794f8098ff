#pragma once
// Statement texts of the lookups: the engine's search statements and the narrowing that
// F5 adds in the lookup windows. Plain text work, no database.
#include <string>
#include <vector>

#include "lookup/definiciones.h"

// A caller's extra condition of more than one character (trimmed) that does not begin
// with "(" becomes " (" + Where + ") ".
void NormalizarWhere(std::string& Where);

// The row limit from the text of "TopConsArt": its numeric value, 1000 when that is 0 or
// less (blank, absent, not a number).
long LimiteFilas(const std::string& topConsArt);

// A complete statement handed by the caller: "V_MA_ARTICULOS" becomes "VT_MA_ARTICULOS"
// and a non-blank Where is appended (with " WHERE " in front unless it holds "where";
// the caller's Where changes too).
std::string SentenciaDada(const std::string& SQL, std::string& Where);

// The statement of a definition record. CampoBusqueda blank is filled with the first
// column; when the record has a single column (or none) and no CampoBusqueda was given
// the result is false and nothing is built.
bool SentenciaDefinicion(const DefConsulta& def, long n, std::string& CampoBusqueda, const std::string& Where,
                         std::string& sentencia);

// The columns a table lookup shows, from the table's field names in order (reverse
// order in the list; ID and the stamp columns skipped except in the two views that need
// them). Sets CampoBusqueda as the walk goes. Returns the column list without a trailing
// ",", or " * " when no field is taken.
std::string ColumnasDeCampos(const std::string& tabla, const std::vector<std::string>& campos,
                             std::string& CampoBusqueda);
// "SELECT TOP n <columnas> FROM <tabla> [WHERE] <Where> ORDER BY <CampoBusqueda>"; the
// ORDER BY part is left out when there is no search column.
std::string SentenciaGenerada(const std::string& tabla, const std::string& columnas, long n,
                              const std::string& CampoBusqueda, const std::string& Where);

// The word after the first "from" of a statement (blank when there is none).
std::string TablaDeSentencia(const std::string& sentencia);

// F5 in a search box of the list window: splits the trailing ORDER BY / GROUP BY off the
// current statement, adds "<prefix><campo> like ..." with " and " or " where ", and
// returns the new statement. SentenciaBase and ClausulaFinal are the window's state
// (SentenciaBase keeps its value when the statement holds "order" without "order by").
// conLike: '%text%' with blanks as "%"; otherwise 'text%' with "*" as "%" (the box's
// text is rewritten in that case, as the operator sees it).
std::string SentenciaF5(const std::string& SQL, std::string& SentenciaBase, std::string& ClausulaFinal,
                        const std::string& campo, std::string& textoCaja, bool conLike);

// F5 in the search box of the tree window: "Descripcion like '%text%'".
std::string SentenciaF5Arbol(const std::string& SQL, std::string& SentenciaBase, std::string& ClausulaFinal,
                             const std::string& texto);
