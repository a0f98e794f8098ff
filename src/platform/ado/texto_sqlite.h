#pragma once
// Text on the embedded database compares as on the suite's server: every letter of
// Windows-1252 without regard to case (basic::Minuscula), accents kept, trailing blanks
// ignored by "=". Registered on each connection under SQLite's own names, NOCASE and
// LIKE, so the schema keeps "COLLATE NOCASE" and another SQLite tool still opens the
// file (with its own, ASCII-only NOCASE).
struct sqlite3;

namespace ado {

// NOCASE (the collation) and like(pattern, text[, escape]) on a connection.
void RegistrarTextoSinCaso(sqlite3* db);

// PRAGMA user_version of a file whose indexes follow that NOCASE. ocmail-sql writes it
// on the files it builds; the embedded connection re-sorts the indexes of an older file
// once (REINDEX NOCASE) and then writes it.
constexpr int kVersionTextoSinCaso = 1;

}  // namespace ado
