// The list lookup window over 100,000 rows: opening it against reading the same rows
// through Recordset, and one keystroke of the incremental search.
//
//   bench_lookup [rows]      prints the times and the ratios (offscreen by default)
#include <QApplication>
#include <QComboBox>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "data/db_dll.h"
#include "lookup/lib_frmcons3.h"
#include "lookup/modelo_filas.h"
#include "ocmail-sql/base_datos.h"
#include "platform/ado/ado.h"
#include "platform/os/rutas.h"

namespace {

using Reloj = std::chrono::steady_clock;

double Ms(Reloj::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Mediana(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void Llenar(const std::string& archivo, long filas) {
  sqlite3* db = nullptr;
  sqlite3_open(archivo.c_str(), &db);
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db,
                     "INSERT INTO vt_proveedores (Codigo, Razon_Social, Localidad, Telefono, Mail) "
                     "VALUES (?,?,?,?,?)",
                     -1, &st, nullptr);
  const char* palabras[] = {"Ferretería", "Distribuidora", "Maderera", "Pinturas", "Sanitarios", "Eléctrica"};
  for (long i = 0; i < filas; ++i) {
    char codigo[32], razon[96], tel[32];
    std::snprintf(codigo, sizeof codigo, "P%06ld", i);
    std::snprintf(razon, sizeof razon, "%s %s %ld S.A.", palabras[i % 6], palabras[(i / 6) % 6],
                  (i * 7919) % filas);
    std::snprintf(tel, sizeof tel, "4%03ld-%04ld", i % 1000, i % 10000);
    sqlite3_bind_text(st, 1, codigo, -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, razon, -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 3, "Buenos Aires", -1, SQLITE_STATIC);
    sqlite3_bind_text(st, 4, tel, -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 5, "compras@proveedor.com.ar", -1, SQLITE_STATIC);
    sqlite3_step(st);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

}  // namespace

int main(int argc, char** argv) {
  if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const long filas = argc > 1 ? std::max(1L, std::atol(argv[1])) : 100000;

  const auto dir = std::filesystem::temp_directory_path() / ("bench_lookup_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  os::FijarCarpetaAplicacion(dir.string());
  ocmailsql::CrearBaseDatos((dir / "bench.db").string(), -1, true);
  Llenar((dir / "bench.db").string(), filas);

  DB_Dll& db = gDB();
  db.gServidor = "sqlite";
  db.gDBName = "bench";
  db.gUsuario = "admin";
  db.gUserPassWord = "x";
  db.OpenServerADODB(false, 3, "", false, false);
  if (!db.gOpenFlag) {
    std::fprintf(stderr, "no se pudo abrir la base de prueba\n");
    return 1;
  }
  const std::string sql =
      "SELECT TOP " + std::to_string(filas) +
      " Razon_Social, Codigo, Localidad, Telefono, Mail FROM vt_proveedores ORDER BY Codigo";

  std::vector<double> lectura, apertura;
  long leidas = 0;
  for (int vuelta = 0; vuelta < 5; ++vuelta) {
    // Baseline: every value of every row through the Recordset.
    auto t0 = Reloj::now();
    ado::Recordset rs;
    db.AbrirRecordset(sql, rs);
    leidas = 0;
    while (!rs.Eof()) {
      for (long c = 0; c < rs.FieldCount(); ++c) (void)rs.Fields(c).Value();
      ++leidas;
      rs.MoveNext();
    }
    db.CierraRecordset(rs);
    lectura.push_back(Ms(Reloj::now() - t0));

    // The window: load routine (statement, columns, rows, widths).
    t0 = Reloj::now();
    Lib_FrmCons3 w;
    w.SQL = sql;
    w.Cargar();
    apertura.push_back(Ms(Reloj::now() - t0));
    if (w.Lista().Filas() != leidas) std::fprintf(stderr, "filas distintas: %d\n", w.Lista().Filas());
  }

  // Keystrokes: a text that only the last row starts with, and one that none does
  // (both scan every row), each typed one character at a time.
  Lib_FrmCons3 w;
  w.SQL = sql;
  w.Cargar();
  std::vector<double> teclas;
  char ultimo[32];
  std::snprintf(ultimo, sizeof ultimo, "P%06ld", filas - 1);
  for (const std::string& texto : {std::string(ultimo), std::string("zzzzzzzz")}) {
    for (size_t n = 1; n <= texto.size(); ++n) {
      const auto t0 = Reloj::now();
      w.CmbSearch(1)->setEditText(QString::fromStdString(texto.substr(0, n)));
      teclas.push_back(Ms(Reloj::now() - t0));
    }
    w.CmbSearch(1)->setEditText("");
  }
  const double peorTecla = *std::max_element(teclas.begin(), teclas.end());

  const double mLectura = Mediana(lectura), mApertura = Mediana(apertura);
  std::printf("filas                         %ld\n", leidas);
  std::printf("lectura por Recordset (med.)  %.1f ms\n", mLectura);
  std::printf("apertura de la ventana (med.) %.1f ms\n", mApertura);
  std::printf("ratio apertura / lectura      %.2f (limite 3.00)\n", mApertura / mLectura);
  std::printf("tecla de busqueda: mediana %.2f ms, peor %.2f ms (limite 16 ms), ratio peor/16 %.2f\n",
              Mediana(teclas), peorTecla, peorTecla / 16.0);

  LiberarInstanciasDB();
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return 0;
}
