// One suite for both roads: the embedded engine and ODBC through the SQLite driver.
#include <sqlite3.h>

#include <chrono>
#include <clocale>
#include <filesystem>
#include <functional>
#include <thread>

#include "ado_prueba.h"
#include "platform/basic/texto.h"
#include "platform/os/rutas.h"

using namespace prueba_ado;
using basic::Variant;

namespace {

enum class Via { Embebida, Odbc };

class RecordsetTest : public ::testing::TestWithParam<Via> {
 protected:
  void SetUp() override {
    CrearBase(dir_ / "prueba.db");
    os::FijarCarpetaAplicacion(dir_.str());
  }
  void TearDown() override { os::FijarCarpetaAplicacion(""); }

  bool Embebida() const { return GetParam() == Via::Embebida; }

  std::string Cadena(const std::string& base = "prueba") const {
    if (Embebida()) return "PROVIDER=SQLOLEDB;Server=sqlite;Database =" + base + ";UId=admin;Pwd=x;";
    return "Driver=SQLite3;Database=" + (dir_ / (base + ".db")) + ";NoCreat=1;FKSupport=1;Timeout=1000;";
  }

  void Abrir() { cnn_.Open(Cadena(), "", "", -1); }

  long Contar(const std::string& where = "") {
    auto rs = cnn_.Execute("SELECT COUNT(*) AS n FROM clientes " + where);
    return rs->Fields("n").Value().Entero();
  }

  TempDir dir_;
  ado::Connection cnn_;
};

TEST_P(RecordsetTest, AbrirYCerrarConLosNumerosDeError) {
  const std::string cadena = Cadena();
  cnn_.Open(cadena, "", "", -1);
  EXPECT_EQ(cnn_.State(), ado::adStateOpen);
  EXPECT_EQ(cnn_.ConnectionString(), cadena);
  EXPECT_EQ(NumeroError([&] { cnn_.Open(cadena); }), ado::errOperacionNoPermitidaAbierto);
  EXPECT_EQ(NumeroError([&] { cnn_.SetConnectionString("x"); }), 3705);
  EXPECT_EQ(cnn_.Errors().Count(), 0);  // ADO's own errors are not provider records

  ado::Recordset rs;
  rs.Open("SELECT codigo FROM clientes", cnn_);
  cnn_.Close();
  EXPECT_EQ(rs.State(), ado::adStateClosed);  // closed with its connection
  EXPECT_EQ(cnn_.State(), ado::adStateClosed);
  EXPECT_EQ(NumeroError([&] { cnn_.Close(); }), ado::errOperacionNoPermitidaCerrado);
  EXPECT_EQ(NumeroError([&] { cnn_.Execute("SELECT 1"); }), ado::errConexionNoUsable);
  EXPECT_EQ(NumeroError([&] { rs.Open("SELECT 1", cnn_); }), ado::errConexionNoUsable);
  EXPECT_EQ(NumeroError([&] { cnn_.BeginTrans(); }), 3709);
  EXPECT_EQ(NumeroError([&] { rs.Close(); }), 3704);

  cnn_.Open();  // again with the kept string
  EXPECT_EQ(cnn_.State(), ado::adStateOpen);
}

TEST_P(RecordsetTest, CamposPorNombreEIndiceConTiposAdo) {
  Abrir();
  ado::Recordset rs;
  rs.Open("SELECT codigo, nombre, alta, saldo, activo, puntos, tasa FROM clientes ORDER BY codigo", cnn_);
  ASSERT_EQ(rs.FieldCount(), 7);
  EXPECT_EQ(rs.Fields(1).Name(), "nombre");
  EXPECT_EQ(rs.Fields("NOMBRE").Value().Texto(), "Ana");
  EXPECT_EQ(&rs.Fields("Nombre"), &rs.Fields(1));

  EXPECT_EQ(rs.Fields("nombre").Type(), ado::adVarChar);
  EXPECT_EQ(rs.Fields("nombre").DefinedSize(), 40);
  EXPECT_EQ(rs.Fields("alta").Type(), ado::adDBTimeStamp);
  EXPECT_EQ(rs.Fields("saldo").Type(), ado::adCurrency);
  EXPECT_EQ(rs.Fields("activo").Type(), ado::adBoolean);
  EXPECT_EQ(rs.Fields("puntos").Type(), ado::adInteger);
  EXPECT_EQ(rs.Fields("tasa").Type(), ado::adDouble);

  // 2024-02-01 is OLE date 45323.
  EXPECT_EQ(rs.Fields("alta").Value().Tipo(), basic::TipoVariant::Date);
  EXPECT_DOUBLE_EQ(rs.Fields("alta").Value().AFecha(), 45323.0);
  EXPECT_EQ(rs.Fields("saldo").Value(), Variant(basic::Moneda{105000}));
  EXPECT_EQ(rs.Fields("activo").Value(), Variant(true));
  EXPECT_EQ(rs.Fields("puntos").Value(), Variant(int32_t{3}));

  EXPECT_EQ(NumeroError([&] { rs.Fields("no_existe"); }), ado::errCampoNoEncontrado);
  EXPECT_EQ(NumeroError([&] { rs.Fields(7); }), 3265);
  EXPECT_EQ(NumeroError([&] { rs.Fields(-1); }), 3265);

  rs.MoveNext();
  EXPECT_DOUBLE_EQ(rs.Fields("alta").Value().AFecha(), 45337.4375);  // 15/02/2024 10:30
  rs.MoveNext();
  EXPECT_EQ(rs.Fields("nombre").Value().Texto(), "O'Brien");
  EXPECT_TRUE(rs.Fields("alta").Value().EsNull());
  EXPECT_TRUE(rs.Fields("saldo").Value().EsNull());
  rs.MoveNext();
  EXPECT_TRUE(rs.Eof());
  EXPECT_EQ(NumeroError([&] { rs.Fields(0).Value(); }), ado::errBofEof);
  EXPECT_EQ(NumeroError([&] { rs.MoveNext(); }), ado::errBofEof);
  rs.Close();
  EXPECT_EQ(NumeroError([&] { rs.Fields(0); }), 3704);
}

TEST_P(RecordsetTest, CursoresBofEofYMovimientos) {
  Abrir();
  ado::Recordset rs;
  rs.Open("SELECT codigo FROM clientes ORDER BY codigo", cnn_, ado::adOpenStatic, ado::adLockReadOnly);
  EXPECT_EQ(rs.RecordCount(), 3);
  EXPECT_FALSE(rs.Bof());
  rs.MoveLast();
  EXPECT_EQ(rs.Fields(0).Value().Texto(), "C03");
  rs.MovePrevious();
  rs.MovePrevious();
  EXPECT_EQ(rs.Fields(0).Value().Texto(), "C01");
  rs.MovePrevious();
  EXPECT_TRUE(rs.Bof());
  EXPECT_FALSE(rs.Eof());
  EXPECT_EQ(NumeroError([&] { rs.MovePrevious(); }), ado::errBofEof);
  rs.MoveFirst();
  EXPECT_EQ(rs.Fields(0).Value().Texto(), "C01");
  rs.Close();

  // Forward-only: count unknown, no moving back, MoveFirst reads again.
  rs.Open("SELECT codigo FROM clientes ORDER BY codigo", cnn_);
  EXPECT_EQ(rs.RecordCount(), -1);
  rs.MoveNext();
  EXPECT_EQ(NumeroError([&] { rs.MovePrevious(); }), ado::errSoloAvance);
  rs.MoveFirst();
  EXPECT_EQ(rs.Fields(0).Value().Texto(), "C01");
  rs.MoveLast();
  EXPECT_EQ(rs.Fields(0).Value().Texto(), "C03");
  rs.MoveNext();
  EXPECT_TRUE(rs.Eof());
  rs.Close();

  // Client-side cursors hold their rows whatever cursor was asked for.
  cnn_.SetCursorLocation(ado::adUseClient);
  rs.Open("SELECT codigo FROM clientes", cnn_);
  EXPECT_EQ(rs.RecordCount(), 3);
  rs.Close();

  for (long tipo : {ado::adOpenForwardOnly, ado::adOpenDynamic}) {
    rs.Open("SELECT codigo FROM clientes WHERE codigo = 'nadie'", cnn_, tipo, ado::adLockOptimistic);
    EXPECT_TRUE(rs.Bof());
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(NumeroError([&] { rs.MoveFirst(); }), ado::errBofEof);
    EXPECT_EQ(rs.FieldCount(), 1);  // the columns are there without rows
    rs.Close();
  }
}

TEST_P(RecordsetTest, TextoSinDistinguirMayusculas) {
  Abrir();
  auto rs = cnn_.Execute("SELECT codigo FROM clientes WHERE nombre = 'ANA' AND codigo = 'c01'");
  ASSERT_FALSE(rs->Eof());
  EXPECT_EQ(rs->Fields(0).Value().Texto(), "C01");
}

TEST_P(RecordsetTest, AddNewUpdateYEdicion) {
  Abrir();
  ado::Recordset rs;
  rs.Open("SELECT * FROM clientes WHERE codigo = 'nadie'", cnn_, ado::adOpenDynamic, ado::adLockOptimistic);
  rs.AddNew();
  EXPECT_TRUE(rs.EditMode());
  rs.Fields("codigo").SetValue(Variant("C09"));
  rs.Fields("nombre").SetValue(Variant("Núñez"));
  rs.Fields("alta").SetValue(Variant::DeFecha(45323.5));
  rs.Fields("saldo").SetValue(Variant(basic::Moneda{12345}));
  rs.Fields("activo").SetValue(Variant(true));
  rs.Update();
  EXPECT_FALSE(rs.EditMode());
  EXPECT_EQ(rs.Fields("nombre").Value().Texto(), "Núñez");
  rs.Close();

  rs.Open("SELECT * FROM clientes WHERE codigo = 'C09'", cnn_, ado::adOpenDynamic, ado::adLockOptimistic);
  ASSERT_FALSE(rs.Eof());
  EXPECT_EQ(rs.Fields("nombre").Value().Texto(), "Núñez");
  EXPECT_DOUBLE_EQ(rs.Fields("alta").Value().AFecha(), 45323.5);
  EXPECT_EQ(rs.Fields("saldo").Value(), Variant(basic::Moneda{12345}));
  EXPECT_TRUE(rs.Fields("activo").Value().Booleano());
  // Edit of the current row, written back by its key.
  rs.Fields("puntos").SetValue(Variant(int32_t{42}));
  EXPECT_TRUE(rs.EditMode());
  rs.Update();
  rs.Close();
  EXPECT_EQ(Contar("WHERE puntos = 42 AND codigo = 'C09'"), 1);
  EXPECT_EQ(Contar(), 4);

  // A read-only recordset refuses changes.
  rs.Open("SELECT * FROM clientes", cnn_);
  EXPECT_EQ(NumeroError([&] { rs.AddNew(); }), ado::errNoActualizable);
  EXPECT_EQ(NumeroError([&] { rs.Fields(0).SetValue(Variant("x")); }), ado::errNoActualizable);
}

TEST_P(RecordsetTest, CancelUpdateYCierreConEdicionPendiente) {
  Abrir();
  ado::Recordset rs;
  rs.Open("SELECT * FROM clientes", cnn_, ado::adOpenDynamic, ado::adLockOptimistic);
  rs.AddNew();
  rs.Fields("codigo").SetValue(Variant("C10"));
  EXPECT_EQ(NumeroError([&] { rs.Close(); }), ado::errOperacionNoPermitida);
  EXPECT_EQ(rs.State(), ado::adStateOpen);
  rs.CancelUpdate();
  rs.Close();
  EXPECT_EQ(Contar(), 3);

  rs.Open("SELECT * FROM clientes ORDER BY codigo", cnn_, ado::adOpenDynamic, ado::adLockOptimistic);
  rs.Fields("nombre").SetValue(Variant("Cambiado"));
  rs.CancelUpdate();
  EXPECT_EQ(rs.Fields("nombre").Value().Texto(), "Ana");
  rs.Close();
  EXPECT_EQ(Contar("WHERE nombre = 'Cambiado'"), 0);
}

TEST_P(RecordsetTest, GetRowsDesdeLaFilaActual) {
  Abrir();
  ado::Recordset rs;
  rs.Open("SELECT codigo, puntos FROM clientes ORDER BY codigo", cnn_);
  rs.MoveNext();
  auto filas = rs.GetRows();
  ASSERT_EQ(filas.size(), 2u);
  EXPECT_EQ(filas[0][0].Texto(), "C02");
  EXPECT_EQ(filas[0][1], Variant(int32_t{7}));
  EXPECT_TRUE(filas[1][1].EsNull());
  EXPECT_TRUE(rs.Eof());
}

TEST_P(RecordsetTest, EsquemaDeTablasYColumnas) {
  Abrir();
  auto t = cnn_.OpenSchema(ado::adSchemaTables);
  bool hallada = false;
  for (; !t->Eof(); t->MoveNext())
    if (basic::IgualesSinCaso(t->Fields("TABLE_NAME").Value().Texto(), "CLIENTES")) {
      hallada = true;
      EXPECT_EQ(t->Fields("TABLE_TYPE").Value().Texto(), "TABLE");
    }
  EXPECT_TRUE(hallada);

  auto c = cnn_.OpenSchema(ado::adSchemaColumns, {Variant(), Variant(), Variant("clientes"), Variant()});
  long n = 0;
  for (; !c->Eof(); c->MoveNext()) {
    ++n;
    EXPECT_EQ(c->Fields("TABLE_NAME").Value().Texto(), "clientes");
    if (c->Fields("COLUMN_NAME").Value().Texto() == "nombre") {
      EXPECT_EQ(c->Fields("DATA_TYPE").Value().Entero(), ado::adVarChar);
      EXPECT_EQ(c->Fields("CHARACTER_MAXIMUM_LENGTH").Value().Entero(), 40);
      EXPECT_EQ(c->Fields("ORDINAL_POSITION").Value().Entero(), 2);
    }
  }
  EXPECT_EQ(n, 7);
  auto una =
      cnn_.OpenSchema(ado::adSchemaColumns, {Variant(), Variant(), Variant("pedidos"), Variant("importe")});
  ASSERT_FALSE(una->Eof());
  EXPECT_EQ(una->Fields("COLUMN_NAME").Value().Texto(), "importe");
  una->MoveNext();
  EXPECT_TRUE(una->Eof());
}

TEST_P(RecordsetTest, Transacciones) {
  Abrir();
  cnn_.BeginTrans();
  cnn_.Execute("INSERT INTO clientes (codigo, nombre) VALUES ('T1', 'x')");
  cnn_.RollbackTrans();
  EXPECT_EQ(Contar(), 3);
  cnn_.BeginTrans();
  long n = 0;
  cnn_.Execute("UPDATE clientes SET puntos = 1 WHERE activo = 1", &n);
  EXPECT_EQ(n, 2);
  cnn_.CommitTrans();
  EXPECT_EQ(Contar("WHERE puntos = 1"), 2);
}

TEST_P(RecordsetTest, FallosDeSqlDejanSuEntradaEnErrors) {
  Abrir();
  struct Caso {
    const char* sql;
    long numero;
    long nativoEmbebido;
  };
  const Caso casos[] = {
      {"INSERT INTO clientes (codigo, nombre) VALUES ('c01', 'dup')", ado::errIntegridad, 2627},
      {"INSERT INTO pedidos (cliente) VALUES ('NADIE')", ado::errIntegridad, 547},
      {"SELEC codigo FROM clientes", ado::errComando, 102},
      {"SELECT codigo FROM clientes WHERE", ado::errComando, 102},
      {"SELECT * FROM no_hay_tal_tabla", ado::errTablaNoExiste, 208},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.sql);
    cnn_.Errors().Clear();
    long afectados = 77;
    EXPECT_EQ(NumeroError([&] { cnn_.Execute(c.sql, &afectados); }), c.numero);
    EXPECT_EQ(afectados, 77);
    ASSERT_GE(cnn_.Errors().Count(), 1);
    EXPECT_EQ(cnn_.Errors()[0].Number, c.numero);
    EXPECT_FALSE(cnn_.Errors()[0].Description.empty());
    EXPECT_FALSE(cnn_.Errors()[0].SQLState.empty());
    if (Embebida()) {
      EXPECT_EQ(cnn_.Errors()[0].NativeError, c.nativoEmbebido);
    }
  }
  // A recordset that fails to open stays closed.
  ado::Recordset rs;
  EXPECT_EQ(NumeroError([&] { rs.Open("SELECT * FROM no_hay_tal_tabla", cnn_); }), ado::errTablaNoExiste);
  EXPECT_EQ(rs.State(), ado::adStateClosed);
  EXPECT_EQ(Contar(), 3);
}

TEST_P(RecordsetTest, BaseInexistenteNoSeCrea) {
  EXPECT_EQ(NumeroError([&] { cnn_.Open(Cadena("no_existe")); }), ado::errProveedor);
  EXPECT_EQ(cnn_.State(), ado::adStateClosed);
  ASSERT_GE(cnn_.Errors().Count(), 1);
  EXPECT_EQ(cnn_.Errors()[0].Number, ado::errProveedor);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "no_existe.db"));
}

// Another program holding the file is a time-out (no reconnection), after waiting up to
// CommandTimeout for the lock to go.
TEST_P(RecordsetTest, BaseBloqueadaEsTiempoAgotadoTrasEsperar) {
  Abrir();
  cnn_.SetCommandTimeout(1);
  sqlite3* otro = nullptr;
  ASSERT_EQ(sqlite3_open((dir_ / "prueba.db").c_str(), &otro), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(otro, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  long numero = NumeroError([&] { cnn_.Execute("UPDATE clientes SET puntos = 9"); });
  EXPECT_NE(numero, 0);
  ASSERT_GE(cnn_.Errors().Count(), 1);
  if (Embebida()) {
    EXPECT_EQ(numero, ado::errTiempoAgotado);
    EXPECT_EQ(cnn_.Errors()[0].Number, ado::errTiempoAgotado);
    EXPECT_EQ(cnn_.Errors()[0].SQLState, "HYT00");
  }
  // A lock released while the statement waits lets it through.
  if (Embebida()) {
    cnn_.SetCommandTimeout(30);
    std::thread soltar([otro] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      sqlite3_exec(otro, "ROLLBACK", nullptr, nullptr, nullptr);
    });
    EXPECT_EQ(NumeroError([&] { cnn_.Execute("UPDATE clientes SET puntos = 8"); }), 0);
    soltar.join();
    EXPECT_EQ(cnn_.Errors().Count(), 0);
    EXPECT_EQ(Contar("WHERE puntos = 8"), 3);
  } else {
    sqlite3_exec(otro, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  sqlite3_close(otro);
  EXPECT_EQ(Contar("WHERE puntos = 9"), 0);
}

// The Errors list tells about the last operation only, so a good statement after a bad
// one is not taken for a failure.
TEST_P(RecordsetTest, ErrorsDescribeSoloLaUltimaOperacion) {
  Abrir();
  auto fallar = [&] {
    EXPECT_NE(NumeroError([&] { cnn_.Execute("SELECT * FROM no_hay_tal_tabla"); }), 0);
    ASSERT_GE(cnn_.Errors().Count(), 1);
  };
  ado::Recordset rs;
  const std::pair<const char*, std::function<void()>> operaciones[] = {
      {"Execute", [&] { cnn_.Execute("UPDATE clientes SET puntos = 1 WHERE codigo = 'C01'"); }},
      {"Open",
       [&] {
         rs.Open("SELECT codigo FROM clientes", cnn_);
         rs.Close();
       }},
      {"OpenSchema", [&] { cnn_.OpenSchema(ado::adSchemaTables); }},
      {"BeginTrans", [&] { cnn_.BeginTrans(); }},
      {"CommitTrans", [&] { cnn_.CommitTrans(); }},
      {"Update",
       [&] {
         rs.Open("SELECT * FROM clientes WHERE codigo = 'C03'", cnn_, ado::adOpenDynamic,
                 ado::adLockOptimistic);
         rs.Fields("puntos").SetValue(Variant(int32_t{5}));
         rs.Update();
         rs.Close();
       }},
  };
  for (const auto& [nombre, operacion] : operaciones) {
    SCOPED_TRACE(nombre);
    fallar();
    EXPECT_EQ(NumeroError(operacion), 0);
    EXPECT_EQ(cnn_.Errors().Count(), 0);
  }
  EXPECT_EQ(Contar("WHERE puntos = 5"), 1);
}

// A failure on a row after the first is told in Errors like any other.
TEST_P(RecordsetTest, FalloEnUnaFilaPosteriorLlenaErrors) {
  Abrir();
  ado::Recordset rs;
  long numero = NumeroError([&] {
    rs.Open(
        "SELECT CASE WHEN puntos = 7 THEN abs(-9223372036854775807 - 1) ELSE puntos END AS p "
        "FROM clientes WHERE puntos IS NOT NULL ORDER BY codigo",
        cnn_);
    while (!rs.Eof()) rs.MoveNext();
  });
  EXPECT_NE(numero, 0);
  ASSERT_GE(cnn_.Errors().Count(), 1);
  EXPECT_EQ(cnn_.Errors()[0].Number, numero);
  EXPECT_NE(basic::UCase(cnn_.Errors()[0].Description).find("OVERFLOW"), std::string::npos)
      << cnn_.Errors()[0].Description;
}

// A date column takes a date: the regional short date and time become a date, stored as
// one and read back as one; a text that is not a date is refused and never stored.
TEST_P(RecordsetTest, CampoFechaGuardaFechas) {
  Abrir();
  ado::Recordset rs;
  rs.Open("SELECT * FROM clientes WHERE codigo = 'nadie'", cnn_, ado::adOpenDynamic, ado::adLockOptimistic);
  rs.AddNew();
  rs.Fields("codigo").SetValue(Variant("C10"));
  rs.Fields("alta").SetValue(Variant("15/02/24 10:30"));
  EXPECT_EQ(rs.Fields("alta").Value().Tipo(), basic::TipoVariant::Date);
  rs.Update();
  rs.AddNew();
  rs.Fields("codigo").SetValue(Variant("C11"));
  for (const char* malo : {"ayer", "31/02/2024", ""}) {
    SCOPED_TRACE(malo);
    EXPECT_EQ(NumeroError([&] { rs.Fields("alta").SetValue(Variant(malo)); }), ado::errTipoIncorrecto);
  }
  rs.Update();
  rs.Close();

  rs.Open("SELECT codigo, alta FROM clientes WHERE codigo IN ('C10','C11') ORDER BY codigo", cnn_);
  EXPECT_EQ(rs.Fields("alta").Value().Tipo(), basic::TipoVariant::Date);
  EXPECT_DOUBLE_EQ(rs.Fields("alta").Value().AFecha(), 45337.4375);  // 15/02/2024 10:30
  rs.MoveNext();
  EXPECT_TRUE(rs.Fields("alta").Value().EsNull());
  rs.Close();
  // On the file itself: the ISO form every date of the schema has.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((dir_ / "prueba.db").c_str(), &db), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "SELECT alta FROM clientes WHERE codigo = 'C10'", -1, &st, nullptr);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  const std::string guardado = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
  sqlite3_finalize(st);
  sqlite3_close(db);
  EXPECT_EQ(guardado.substr(0, 19), "2024-02-15 10:30:00");
}

TEST_P(RecordsetTest, DecimalesConLocaleDeComa) {
  // Qt sets the C locale from the environment: a comma locale must not cut the decimals
  // of NUMERIC and MONEY values read as text.
  const std::string antes = std::setlocale(LC_NUMERIC, nullptr);
  // scripts/setup generates es_AR.UTF-8: without it this test would guard nothing.
  ASSERT_TRUE(std::setlocale(LC_NUMERIC, "es_AR.UTF-8") || std::setlocale(LC_NUMERIC, "es_ES.UTF-8"))
      << "no comma-decimal locale: run scripts/setup";
  Abrir();
  auto rs = cnn_.Execute("SELECT saldo FROM clientes WHERE codigo = 'C01'");
  const double saldo = rs->Fields("saldo").Value().Numero();
  rs = cnn_.Execute("SELECT importe FROM pedidos");
  const double importe = rs->Fields("importe").Value().Numero();
  std::setlocale(LC_NUMERIC, antes.c_str());
  EXPECT_DOUBLE_EQ(saldo, 10.5);
  EXPECT_DOUBLE_EQ(importe, 100.25);
}

INSTANTIATE_TEST_SUITE_P(Vias, RecordsetTest, ::testing::Values(Via::Embebida, Via::Odbc),
                         [](const auto& i) { return i.param == Via::Embebida ? "Embebida" : "Odbc"; });

}  // namespace
