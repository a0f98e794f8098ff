// Connection strings onto the two roads, ODBC failures, and what only the embedded
// engine does (batches, dialect, identities).
#include <chrono>
#include <algorithm>
#include <filesystem>

#include "ado_prueba.h"
#include "platform/os/rutas.h"

using namespace prueba_ado;
using basic::Variant;

namespace {

TEST(ResolverConexion, CadenasDeLaSuite) {
  os::FijarCarpetaAplicacion("/opt/app");
  struct Caso {
    const char* cadena;
    ado::DestinoConexion::Via via;
    const char* esperado;  // file (embedded) or ODBC string
  };
  const Caso casos[] = {
      {"PROVIDER=SQLOLEDB;Server=sqlite;Database =demo;UId=admin;Pwd=x;", ado::DestinoConexion::Embebida,
       "/opt/app/demo.db"},
      {"PROVIDER=SQLOLEDB;Server=SQLite;Database =QZ_ESTADISTICAS.sqlite;UId=a;Pwd=;",
       ado::DestinoConexion::Embebida, "/opt/app/QZ_ESTADISTICAS.sqlite"},
      {"PROVIDER=SQLOLEDB;Server=sqlite;Database =/datos/empresa;UId=a;Pwd=;", ado::DestinoConexion::Embebida,
       "/datos/empresa.db"},
      {"PROVIDER=SQLOLEDB;Server=SRV1;Database =EMPRESA;UId=ana;Pwd=s3;", ado::DestinoConexion::Odbc,
       "DRIVER={FreeTDS};SERVER=SRV1;DATABASE=EMPRESA;UID=ana;PWD=s3;ClientCharset=UTF-8;"},
      {"PROVIDER=SQLOLEDB;Server=10.0.0.5,1450;Database =EMPRESA;UId=ana;Pwd=a;b;",
       ado::DestinoConexion::Odbc,
       "DRIVER={FreeTDS};SERVER=10.0.0.5;PORT=1450;DATABASE=EMPRESA;UID=ana;PWD=a;ClientCharset=UTF-8;"},
      {"PROVIDER=SQLOLEDB;Server=SRV1\\ORBITAL;Database =E;UId=u;Pwd=p{1};", ado::DestinoConexion::Odbc,
       "DRIVER={FreeTDS};SERVER=SRV1\\ORBITAL;DATABASE=E;UID=u;PWD={p{1}}};ClientCharset=UTF-8;"},
      {"PROVIDER=SQLOLEDB;Server=(local);Database =E;UId=u;Pwd=p;", ado::DestinoConexion::Odbc,
       "DRIVER={FreeTDS};SERVER=127.0.0.1;DATABASE=E;UID=u;PWD=p;ClientCharset=UTF-8;"},
      {"Provider=OraOLEDB.Oracle.1;Data Source=PROD;User Id=ana;Password=;", ado::DestinoConexion::Odbc,
       "DRIVER={Oracle};DBQ=PROD;UID=ana;PWD=;"},
      {"Driver=SQLite3;Database=/tmp/x.db;", ado::DestinoConexion::Odbc,
       "Driver=SQLite3;Database=/tmp/x.db;"},
      {"Provider=MSDASQL;DSN=empresa", ado::DestinoConexion::Odbc, "DSN=empresa;"},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.cadena);
    auto d = ado::ResolverConexion(c.cadena);
    EXPECT_EQ(d.via, c.via);
    EXPECT_EQ(d.via == ado::DestinoConexion::Embebida ? d.archivo : d.cadenaOdbc, c.esperado);
  }
  // User and password given apart go into the ODBC string.
  EXPECT_EQ(ado::ResolverConexion("DSN=empresa;", "ana", "pw").cadenaOdbc, "DSN=empresa;UID=ana;PWD=pw;");
  EXPECT_EQ(NumeroError([] { ado::ResolverConexion("Provider=Desconocido;Data Source=x"); }),
            ado::errProveedorNoEncontrado);

  ado::ConfiguracionOdbc cfg;
  cfg.driverSqlServer = "ODBC Driver 18 for SQL Server";
  cfg.extraSqlServer = "TrustServerCertificate=yes;";
  ado::FijarConfiguracionOdbc(cfg);
  EXPECT_EQ(
      ado::ResolverConexion("PROVIDER=SQLOLEDB;Server=S;Database =D;UId=u;Pwd=p;").cadenaOdbc,
      "DRIVER={ODBC Driver 18 for SQL Server};SERVER=S;DATABASE=D;UID=u;PWD=p;TrustServerCertificate=yes;");
  ado::FijarConfiguracionOdbc(ado::ConfiguracionOdbc{});
  os::FijarCarpetaAplicacion("");
}

TEST(ResolverConexion, ArchivoEmbebidoSinImportarMayusculas) {
  // The suite writes names in any case: both the folder and the file are found.
  TempDir t;
  std::filesystem::create_directory(t / "Datos");
  WriteBytes(t / "Datos/Empresa.DB", "");
  os::FijarCarpetaAplicacion(t.str());
  EXPECT_EQ(ado::ResolverConexion("PROVIDER=SQLOLEDB;Server=sqlite;Database =datos/EMPRESA.db;").archivo,
            t / "Datos/Empresa.DB");
  EXPECT_EQ(
      ado::ResolverConexion("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + t / "DATOS/empresa.db").archivo,
      t / "Datos/Empresa.DB");
  // A missing file keeps its name, in the folder as it exists.
  EXPECT_EQ(ado::ResolverConexion("PROVIDER=SQLOLEDB;Server=sqlite;Database =DATOS/nueva;").archivo,
            t / "Datos/nueva.db");
  os::FijarCarpetaAplicacion("");
}

TEST(FreeTds, PuertoCerradoDejaCadaDiagnosticoEnErrors) {
  ado::ConfiguracionOdbc cfg;
  cfg.segundosConexion = 2;
  ado::FijarConfiguracionOdbc(cfg);
  ado::Connection cnn;
  const std::string cadena = "PROVIDER=SQLOLEDB;Server=127.0.0.1,1;Database =x;UId=u;Pwd=p;";
  EXPECT_EQ(NumeroError([&] { cnn.Open(cadena, "", "", -1); }), ado::errProveedor);
  ado::FijarConfiguracionOdbc(ado::ConfiguracionOdbc{});
  EXPECT_EQ(cnn.State(), ado::adStateClosed);
  EXPECT_EQ(cnn.ConnectionString(), cadena);
  ASSERT_GE(cnn.Errors().Count(), 1);
  for (long i = 0; i < cnn.Errors().Count(); ++i) {
    EXPECT_EQ(cnn.Errors()[i].Number, ado::errProveedor);
    EXPECT_EQ(cnn.Errors()[i].SQLState.size(), 5u);
    EXPECT_FALSE(cnn.Errors()[i].Description.empty());
  }
  EXPECT_EQ(NumeroError([&] { cnn.Execute("SELECT 1"); }), ado::errConexionNoUsable);
}

class Embebida : public ::testing::Test {
 protected:
  void SetUp() override {
    CrearBase(dir_ / "prueba.db");
    CrearBase(dir_ / "prueba.db", R"(
      CREATE TABLE familias (IdFamilia VARCHAR(10) COLLATE NOCASE PRIMARY KEY, Descripcion VARCHAR(40));
      CREATE VIEW V_TA_FAMILIAS AS SELECT IdFamilia, Descripcion FROM familias;
      INSERT INTO familias VALUES ('', 'vacia'), ('1', 'Uno'), ('10', 'Diez'), ('101', 'Ciento uno'),
        ('2', 'Dos'), ('20', 'Veinte');)");
    os::FijarCarpetaAplicacion(dir_.str());
    cnn_.Open("PROVIDER=SQLOLEDB;Server=sqlite;Database =prueba;UId=admin;Pwd=x;");
  }
  void TearDown() override { os::FijarCarpetaAplicacion(""); }
  std::vector<std::vector<Variant>> Filas(const std::string& sql) {
    auto rs = cnn_.Execute(sql);
    if (rs->State() != ado::adStateOpen || rs->Eof()) return {};
    return rs->GetRows();
  }
  TempDir dir_;
  ado::Connection cnn_;
};

TEST_F(Embebida, ArbolDeFamiliasConTopPorcentajeYSubconsulta) {
  auto filas = Filas(
      "SELECT     TOP 100 PERCENT IdFamilia, Descripcion, (SELECT     TOP 1 idfamilia FROM v_ta_familias a  "
      " Where a.IdFamilia < b.IdFamilia And (Len(LTrim(RTrim(a.IdFamilia))) < "
      "Len(LTrim(RTrim(b.IdFamilia)))) "
      " ORDER BY idfamilia DESC) AS [relative] FROM dbo.V_TA_FAMILIAS b Where IdFamilia<>'' ORDER BY "
      "IdFamilia");
  ASSERT_EQ(filas.size(), 5u);
  std::vector<std::pair<std::string, std::string>> esperado = {
      {"1", ""}, {"10", "1"}, {"101", "10"}, {"2", ""}, {"20", "2"}};
  for (size_t i = 0; i < filas.size(); ++i) {
    EXPECT_EQ(filas[i][0].Texto(), esperado[i].first);
    EXPECT_EQ(filas[i][2].Texto(), esperado[i].second);
  }
  auto rs = cnn_.Execute("SELECT TOP 50 PERCENT IdFamilia FROM familias ORDER BY IdFamilia");
  EXPECT_EQ(rs->GetRows().size(), 3u);
}

TEST_F(Embebida, TopEnCadaSelectDeUnCompuesto) {
  // TOP picks any rows of its SELECT: each group holds one value, so any pick will do.
  cnn_.Execute("CREATE TABLE numeros (a INTEGER, g VARCHAR(1))");
  cnn_.Execute("INSERT INTO numeros VALUES (1,'x'),(1,'x'),(1,'x'),(2,'y'),(2,'y'),(2,'y'),(3,'z')");
  struct Caso {
    const char* sql;
    std::vector<long> filas;
    bool ordenadas;  // false: compared as a set of rows
  };
  const Caso casos[] = {
      {"SELECT TOP 1 a FROM numeros WHERE g = 'x' UNION SELECT TOP 1 a FROM numeros WHERE g = 'y'",
       {1, 2},
       false},
      {"SELECT TOP 2 a FROM numeros WHERE g = 'x' UNION ALL SELECT a FROM numeros WHERE g = 'y' ORDER BY 1 "
       "DESC",
       {2, 2, 2, 1, 1},
       true},
      {"SELECT a FROM numeros WHERE g = 'x' UNION ALL SELECT TOP 1 a FROM numeros WHERE g = 'y' ORDER BY a",
       {1, 1, 1, 2},
       true},
      {"SELECT TOP 2 a AS v FROM numeros WHERE g = 'x' UNION ALL SELECT TOP 1 a FROM numeros WHERE g = 'y' "
       "UNION ALL SELECT TOP 5 a FROM numeros WHERE g = 'z' ORDER BY v DESC",
       {3, 2, 1, 1},
       true},
      {"SELECT TOP 50 PERCENT a FROM numeros WHERE g = 'x' UNION ALL SELECT TOP 1 a FROM numeros WHERE g = "
       "'y'",
       {1, 1, 2},
       false},
      {"SELECT a FROM numeros EXCEPT SELECT TOP 1 a FROM numeros WHERE g = 'x'", {2, 3}, false},
      {"SELECT TOP 1 a FROM numeros WHERE g = 'y' INTERSECT SELECT a FROM numeros", {2}, false},
      {"SELECT COUNT(*) FROM (SELECT TOP 1 a FROM numeros WHERE g = 'x' UNION ALL "
       "SELECT TOP 2 a FROM numeros WHERE g = 'y') s",
       {3},
       true},
      {"SELECT COUNT(*) FROM numeros WHERE a IN (SELECT TOP 1 a FROM numeros WHERE g = 'z' UNION "
       "SELECT TOP 1 a FROM numeros WHERE g = 'x')",
       {4},
       true},
      {"(SELECT TOP 1 a FROM numeros ORDER BY a DESC) UNION ALL (SELECT TOP 1 a FROM numeros ORDER BY a) "
       "ORDER BY 1",
       {1, 3},
       true},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.sql);
    std::vector<long> filas;
    try {
      for (const auto& f : Filas(c.sql)) filas.push_back(f[0].Entero());
    } catch (const ErrorEjecucion& e) {
      ADD_FAILURE() << e.Description;
      continue;
    }
    if (!c.ordenadas) std::sort(filas.begin(), filas.end());
    EXPECT_EQ(filas, c.filas);
  }
}

TEST_F(Embebida, LoteDeTransaccionConClaveDuplicada) {
  // As the error log's script runner sends it: CR-separated, no semicolons.
  const std::string lote =
      "BEGIN TRANSACTION \r\r\rINSERT INTO clientes (codigo,nombre) VALUES ('C05','Eva')"
      "\rINSERT INTO clientes (codigo,nombre) VALUES ('c01','dup')\r";
  EXPECT_EQ(NumeroError([&] { cnn_.Execute(lote); }), ado::errIntegridad);
  ASSERT_EQ(cnn_.Errors().Count(), 1);
  EXPECT_EQ(cnn_.Errors()[0].NativeError, 2627);
  cnn_.Execute("ROLLBACK TRANSACTION");
  EXPECT_TRUE(Filas("SELECT * FROM clientes WHERE codigo = 'C05'").empty());

  long n = 0;
  cnn_.Execute(
      "BEGIN TRANSACTION \r\r\rINSERT INTO clientes (codigo,nombre) VALUES ('C05','Eva')"
      "\rUPDATE clientes SET puntos = 5 WHERE codigo IN (SELECT cliente FROM pedidos)\r",
      &n);
  EXPECT_EQ(n, 2);
  cnn_.Execute("COMMIT TRANSACTION");
  EXPECT_EQ(Filas("SELECT codigo FROM clientes WHERE puntos = 5 OR codigo = 'C05'").size(), 2u);
}

TEST_F(Embebida, FechasEscritasDiaMesAnio) {
  cnn_.Execute("UPDATE clientes SET alta ='03/02/2024' WHERE codigo = 'C03'");
  auto f = Filas("SELECT alta FROM clientes WHERE codigo = 'C03'");
  ASSERT_EQ(f.size(), 1u);
  EXPECT_DOUBLE_EQ(f[0][0].AFecha(), 45325.0);
  // A day range includes a row stamped at midnight of its last day.
  EXPECT_EQ(
      Filas("SELECT codigo FROM clientes with(nolock) WHERE alta >= '01/02/2024' AND alta <= '03/02/2024' ")
          .size(),
      2u);
  EXPECT_EQ(Filas("SELECT codigo FROM clientes WHERE alta > '15/02/24 10:29'").size(), 1u);
}

TEST_F(Embebida, FuncionesDelDialecto) {
  auto f = Filas(
      "SELECT LEN('ab  '), ISNULL(NULL, 'x'), UPPER('ñandú'), CHARINDEX('b', 'ABC'), "
      "N'texto', [nombre] FROM dbo.clientes WHERE codigo = 'C01'");
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0][0].Entero(), 2);
  EXPECT_EQ(f[0][1].Texto(), "x");
  EXPECT_EQ(f[0][2].Texto(), "ÑANDÚ");
  EXPECT_EQ(f[0][3].Entero(), 2);
  EXPECT_EQ(f[0][4].Texto(), "texto");
  EXPECT_EQ(f[0][5].Texto(), "Ana");
  // Trimmed text still compares without regard to case, as on the suite's server.
  EXPECT_EQ(Filas("SELECT codigo FROM clientes WHERE LTRIM(RTRIM(nombre)) = 'ANA'").size(), 1u);
  EXPECT_EQ(Filas("SELECT GETDATE()")[0][0].Texto().size(), 19u);
  cnn_.Execute("SET NOCOUNT ON\rINSERT INTO pedidos (cliente) VALUES ('C02')");
  EXPECT_EQ(Filas("SELECT @@IDENTITY")[0][0].Entero(), 2);
}

TEST_F(Embebida, AddNewLeeIdentidadYValoresPorDefecto) {
  ado::Recordset rs;
  rs.Open("select  top 1 * from pedidos  with(nolock) ", cnn_, ado::adOpenDynamic, ado::adLockOptimistic);
  rs.AddNew();
  rs.Fields("cliente").SetValue(Variant("C02"));
  rs.Update();
  EXPECT_EQ(rs.Fields("id").Value().Entero(), 2);
  EXPECT_EQ(rs.Fields("estado").Value().Texto(), "NUEVO");
  rs.Close();

  // A broken reference through AddNew: the edit stays pending, closing is refused.
  rs.Open("SELECT * FROM pedidos", cnn_, ado::adOpenKeyset, ado::adLockOptimistic);
  rs.AddNew();
  rs.Fields("cliente").SetValue(Variant("NADIE"));
  EXPECT_EQ(NumeroError([&] { rs.Update(); }), ado::errIntegridad);
  EXPECT_EQ(cnn_.Errors()[0].NativeError, 547);
  EXPECT_EQ(NumeroError([&] { rs.Close(); }), ado::errOperacionNoPermitida);
  rs.CancelUpdate();
  rs.Close();
}

TEST_F(Embebida, SentenciaSinFilasDejaElRecordsetCerrado) {
  ado::Recordset rs;
  rs.Open("UPDATE clientes SET puntos = 0 WHERE 1 = 0", cnn_);
  EXPECT_EQ(rs.State(), ado::adStateClosed);
  rs.Open("clientes", cnn_, ado::adOpenStatic, ado::adLockReadOnly, 2);  // adCmdTable
  EXPECT_EQ(rs.RecordCount(), 3);
}

TEST_F(Embebida, ArchivoQueNoEsUnaBase) {
  WriteBytes(dir_ / "basura.db", "esto no es una base de datos, solo texto de relleno...........");
  ado::Connection otra;
  EXPECT_EQ(NumeroError([&] { otra.Open("PROVIDER=SQLOLEDB;Server=sqlite;Database =basura;UId=a;Pwd=;"); }),
            ado::errProveedor);
  EXPECT_EQ(otra.State(), ado::adStateClosed);
  EXPECT_GE(otra.Errors().Count(), 1);
}

// A file another connection holds: the waiting hook runs while the statement waits; the
// wait ends with the statement done when the lock goes, or as a time-out when the hook says
// so or CommandTimeout passes.
TEST_F(Embebida, EsperaPorLaBaseBloqueada) {
  sqlite3* otra = nullptr;
  ASSERT_EQ(sqlite3_open((dir_ / "prueba.db").c_str(), &otra), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(otra, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  struct Quitar {
    ~Quitar() { ado::FijarAlEsperarBase(nullptr); }
  } quitar;
  int llamadas = 0;
  double ultima = -1;
  ado::FijarAlEsperarBase([&](double segundos) {
    EXPECT_GE(segundos, ultima);
    ultima = segundos;
    if (++llamadas == 30) sqlite3_exec(otra, "COMMIT", nullptr, nullptr, nullptr);
    return true;
  });
  cnn_.Execute("UPDATE clientes SET puntos = 1 WHERE codigo = 'C01'");
  EXPECT_EQ(llamadas, 30);
  EXPECT_EQ(Filas("SELECT puntos FROM clientes WHERE codigo = 'C01'")[0][0].Texto(), "1");

  ASSERT_EQ(sqlite3_exec(otra, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  llamadas = 0;
  ultima = -1;
  ado::FijarAlEsperarBase([&](double) { return ++llamadas < 5; });  // the operator cancels
  EXPECT_EQ(NumeroError([&] { cnn_.Execute("UPDATE clientes SET puntos = 2"); }), ado::errTiempoAgotado);
  EXPECT_EQ(llamadas, 5);

  ado::FijarAlEsperarBase(nullptr);
  cnn_.SetCommandTimeout(1);  // no hook: bounded by CommandTimeout alone
  EXPECT_EQ(NumeroError([&] { cnn_.Execute("UPDATE clientes SET puntos = 3"); }), ado::errTiempoAgotado);
  sqlite3_exec(otra, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(otra);
}

}  // namespace
