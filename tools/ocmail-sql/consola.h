#pragma once
// The statement console: connects gDB from a launch line and runs statements through it,
// so that the security synonyms and the embedded dialect apply as in the program.
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/basic/variant.h"

namespace ocmailsql {

// The connection values of a launch line ("@Server=..;@DbName=..;@Usuario=..;@Password=..;").
// Keys without regard to case, each value up to its ";", blanks and "=" trimmed; a key is
// matched whole, so "@Usuario" is not read inside "@UsuarioLogeado".
struct ValoresLanzamiento {
  std::string servidor, base, usuario, clave;
};
ValoresLanzamiento LeerLineaLanzamiento(const std::string& linea);

// Hands the values to gDB and opens it as the start-up does (administrator check
// included). False when no connection was made; the reason is in gDB's Errors list.
bool ConectarGDB(const ValoresLanzamiento& v);

// True for statements that return rows (SELECT, WITH ..., a parenthesised SELECT).
bool DevuelveFilas(const std::string& sentencia);

// A value as the console prints it: NULL, numbers with ".", dates 'yyyy-mm-dd hh:mm:ss',
// booleans 1/0, texts with tab, CR, LF and "\" escaped.
std::string TextoValor(const basic::Variant& v);

// Runs one statement through gDB: rows go to `salida` (a header line of column names,
// then one tab-separated line per row), failures to `errores` as the Errors list
// (number, SQLState, native error, description). False when it failed.
bool EjecutarSentencia(const std::string& sentencia, std::ostream& salida, std::ostream& errores);

// The whole console: ocmail-sql "LAUNCH LINE" [SQL] (statements from `entrada`, one per
// line, when no SQL is given). Returns the exit code.
int EjecutarConsola(const std::string& linea, const std::vector<std::string>& sentencias,
                    std::istream& entrada, std::ostream& salida, std::ostream& errores);

}  // namespace ocmailsql
