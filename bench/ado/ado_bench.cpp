// Reading 100,000 rows of 10 columns through Recordset on the embedded engine against a
// plain sqlite3_step loop over the same statement, in the same run; prints the ratio.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>

#include "platform/ado/ado.h"
#include "platform/os/rutas.h"

#include "support/informe.h"

namespace {

constexpr int kFilas = 100000;
const char* kSentencia =
    "SELECT id, codigo, nombre, fecha, importe, cantidad, precio, activo, obs, usuario FROM ordenes";

std::string& Carpeta() {
  static std::string c;
  return c;
}

void CrearBase() {
  char plantilla[] = "/tmp/ado_bench_XXXXXX";
  Carpeta() = mkdtemp(plantilla);
  sqlite3* db = nullptr;
  sqlite3_open((Carpeta() + "/bench.db").c_str(), &db);
  sqlite3_exec(
      db,
      "CREATE TABLE ordenes (id INTEGER PRIMARY KEY, codigo VARCHAR(13), nombre VARCHAR(40), "
      "fecha DATETIME, importe MONEY, cantidad INTEGER, precio FLOAT, activo BIT, obs VARCHAR(80), "
      "usuario VARCHAR(20));"
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
      "INSERT INTO ordenes SELECT i, printf('0001%08dA', i), 'Proveedor numero ' || i, "
      "datetime('2024-01-01', '+' || (i % 365) || ' days'), (i % 1000) * 1.25, i % 50, i / 7.0, i % 2, "
      "CASE WHEN i % 3 = 0 THEN NULL ELSE 'Observacion de la orden ' || i END, 'usuario' || (i % 3) FROM n;",
      nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

void BM_Sqlite3Step(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open_v2((Carpeta() + "/bench.db").c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  for (auto _ : state) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, kSentencia, -1, &st, nullptr);
    long long suma = 0;
    int filas = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
      for (int c = 0; c < 10; ++c) {
        switch (sqlite3_column_type(st, c)) {
          case SQLITE_INTEGER: suma += sqlite3_column_int64(st, c); break;
          case SQLITE_FLOAT: suma += static_cast<long long>(sqlite3_column_double(st, c)); break;
          case SQLITE_TEXT: suma += sqlite3_column_bytes(st, c) + sqlite3_column_text(st, c)[0]; break;
          default: break;
        }
      }
      ++filas;
    }
    sqlite3_finalize(st);
    benchmark::DoNotOptimize(suma);
    if (filas != kFilas) state.SkipWithError("wrong row count");
  }
  sqlite3_close(db);
}

void BM_Recordset(benchmark::State& state) {
  os::FijarCarpetaAplicacion(Carpeta());
  ado::Connection cnn;
  cnn.Open("PROVIDER=SQLOLEDB;Server=sqlite;Database =bench;UId=a;Pwd=;");
  for (auto _ : state) {
    ado::Recordset rs;
    rs.Open(kSentencia, cnn, ado::adOpenForwardOnly, ado::adLockReadOnly);
    long long suma = 0;
    int filas = 0;
    while (!rs.Eof()) {
      for (long c = 0; c < 10; ++c) suma += static_cast<int>(rs.Fields(c).Value().Tipo());
      rs.MoveNext();
      ++filas;
    }
    rs.Close();
    benchmark::DoNotOptimize(suma);
    if (filas != kFilas) state.SkipWithError("wrong row count");
  }
}

BENCHMARK(BM_Sqlite3Step)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Recordset)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  CrearBase();
  benchmark::Initialize(&argc, argv);
  Informe informe;
  benchmark::RunSpecifiedBenchmarks(&informe);
  double base = informe.tiempos["BM_Sqlite3Step"], rs = informe.tiempos["BM_Recordset"];
  if (base > 0 && rs > 0) std::printf("Recordset / sqlite3_step = %.2f (goal <= 2.00)\n", rs / base);
  std::filesystem::remove_all(Carpeta());
  return 0;
}
