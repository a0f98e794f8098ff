#pragma once
// A tiny database of our own for the ado tests, on the embedded road or through the
// SQLite ODBC driver on the same kind of file.
#include <sqlite3.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "platform/ado/ado.h"
#include "support/temp_dir.h"

namespace prueba_ado {

inline const char* kEsquema = R"(
PRAGMA foreign_keys=ON;
CREATE TABLE clientes (
  codigo VARCHAR(10) COLLATE NOCASE PRIMARY KEY,
  nombre VARCHAR(40) COLLATE NOCASE,
  alta DATETIME,
  saldo MONEY,
  activo BIT,
  puntos INTEGER,
  tasa FLOAT);
CREATE TABLE pedidos (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  cliente VARCHAR(10) COLLATE NOCASE NOT NULL REFERENCES clientes(codigo),
  importe NUMERIC(18,2),
  estado VARCHAR(10) DEFAULT 'NUEVO');
INSERT INTO clientes VALUES ('C01','Ana','2024-02-01 00:00:00',10.5,1,3,0.25);
INSERT INTO clientes VALUES ('C02','Bruno','2024-02-15 10:30:00',-2,0,7,1.5);
INSERT INTO clientes VALUES ('C03','O''Brien',NULL,NULL,1,NULL,NULL);
INSERT INTO pedidos (cliente, importe) VALUES ('C01', 100.25);
)";

inline void CrearBase(const std::string& archivo, const char* sql = kEsquema) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(archivo.c_str(), &db), SQLITE_OK);
  char* err = nullptr;
  int rc = sqlite3_exec(db, sql, nullptr, nullptr, &err);
  std::string msg = err ? err : "";
  sqlite3_free(err);
  sqlite3_close(db);
  ASSERT_EQ(rc, SQLITE_OK) << msg;
}

// The number of the ErrorEjecucion that f raises, 0 when it raises none.
inline long NumeroError(const std::function<void()>& f) {
  try {
    f();
  } catch (const ErrorEjecucion& e) {
    return e.Number;
  }
  return 0;
}

}  // namespace prueba_ado
