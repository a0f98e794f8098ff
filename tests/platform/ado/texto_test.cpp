// Text on the embedded road compares as on the suite's server: every letter of
// Windows-1252 without regard to case, accents kept, trailing blanks ignored.
#include <sqlite3.h>

#include "ado_prueba.h"
#include "support/casos_sin_caso.h"
#include "platform/os/rutas.h"

using namespace prueba_ado;

namespace {

class TextoEmbebido : public ::testing::Test {
 protected:
  void SetUp() override {
    CrearBase(dir_ / "texto.db", R"(
      CREATE TABLE claves (c VARCHAR(40) COLLATE NOCASE PRIMARY KEY);
      CREATE TABLE libres (c VARCHAR(40) COLLATE NOCASE);)");
    os::FijarCarpetaAplicacion(dir_.str());
    cnn_.Open(Cadena("texto"));
  }
  void TearDown() override { os::FijarCarpetaAplicacion(""); }
  static std::string Cadena(const std::string& base) {
    return "PROVIDER=SQLOLEDB;Server=sqlite;Database =" + base + ";UId=admin;Pwd=x;";
  }
  long Contar(const std::string& sql) { return cnn_.Execute(sql)->Fields(0L).Value().Entero(); }
  void Ejecutar(const std::string& sql) { cnn_.Execute(sql); }

  TempDir dir_;
  ado::Connection cnn_;
};

TEST_F(TextoEmbebido, IgualdadLikeYClavesSobreLaTablaDeCasos) {
  for (const auto& c : casos_sin_caso::kCasos) {
    const std::string g = c.guardado, b = c.buscado;
    SCOPED_TRACE(g + " / " + b);
    const long n = c.igual ? 1 : 0;
    Ejecutar("DELETE FROM claves");
    Ejecutar("DELETE FROM libres");
    Ejecutar("INSERT INTO claves VALUES ('" + g + "')");
    EXPECT_EQ(Contar("SELECT COUNT(*) FROM claves WHERE c = '" + b + "'"), n);
    EXPECT_EQ(Contar("SELECT COUNT(*) FROM claves WHERE c LIKE '" + b + "%'"), n);
    // The key sees them as one value: a second insert is a duplicate.
    EXPECT_EQ(NumeroError([&] { Ejecutar("INSERT INTO claves VALUES ('" + b + "')"); }),
              c.igual ? ado::errIntegridad : 0);
    if (c.igual) {
      EXPECT_EQ(cnn_.Errors()[0].NativeError, 2627);
    }
    // Without an index: the other side stored, and grouping.
    Ejecutar("INSERT INTO libres VALUES ('" + b + "')");
    EXPECT_EQ(Contar("SELECT COUNT(*) FROM libres WHERE c = '" + g + "'"), n);
    Ejecutar("INSERT INTO libres VALUES ('" + g + "')");
    EXPECT_EQ(Contar("SELECT COUNT(DISTINCT c) FROM libres"), c.igual ? 1 : 2);
  }
}

TEST_F(TextoEmbebido, LikeCuentaCaracteresYAdmiteEscape) {
  struct Caso {
    const char* valor;
    const char* patron;
    const char* escape;
    bool coincide;
  };
  const Caso casos[] = {
      {"Añasco", "A_asco", nullptr, true},  // "_" is one character, two bytes here
      {"Añasco", "A__asco", nullptr, false},
      {"ü", "_", nullptr, true},
      {"ab", "_", nullptr, false},
      {"AÑASCO", "%ñas%", nullptr, true},
      {"Añasco", "%nas%", nullptr, false},
      {"abcbc", "a%bc", nullptr, true},
      {"abcbd", "a%bc", nullptr, false},
      {"", "%", nullptr, true},
      {"x", "", nullptr, false},
      {"abc  ", "abc", nullptr, true},  // trailing blanks of the value are ignored
      {"abc  ", "abc _", nullptr, true},
      {"abc", "ABC ", nullptr, false},   // but a blank of the pattern must be there
      {" abc", "abc%", nullptr, false},  // and leading blanks count
      {"P_04", "P!_%", "!", true},
      {"PX04", "P!_%", "!", false},
      {"100%", "100!%", "!", true},
      {"1000", "100!%", "!", false},
      {"año_2024", "AÑO\\_%", "\\", true},
      {"a!b", "a!!b", "!", true},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(std::string(c.valor) + " LIKE " + c.patron);
    Ejecutar("DELETE FROM libres");
    Ejecutar(std::string("INSERT INTO libres VALUES ('") + c.valor + "')");
    std::string sql = std::string("SELECT COUNT(*) FROM libres WHERE c LIKE '") + c.patron + "'";
    if (c.escape) sql += std::string(" ESCAPE '") + c.escape + "'";
    EXPECT_EQ(Contar(sql), c.coincide ? 1 : 0);
  }
  EXPECT_EQ(Contar("SELECT COUNT(*) FROM libres WHERE NULL LIKE '%'"), 0);
  EXPECT_NE(NumeroError([&] { Contar("SELECT COUNT(*) FROM libres WHERE c LIKE 'a' ESCAPE 'ab'"); }), 0);
}

// A file whose indexes were sorted by SQLite's own NOCASE (ASCII only) is re-sorted on
// its first open, so an indexed lookup finds every row of the same text.
TEST_F(TextoEmbebido, IndicesDeUnArchivoAnteriorSeReordenan) {
  CrearBase(dir_ / "viejo.db", R"(
      CREATE TABLE v (c VARCHAR(10) COLLATE NOCASE);
      CREATE INDEX iv ON v (c);
      INSERT INTO v VALUES ('Á'), ('Â'), ('á'), ('â'), ('b');)");
  ado::Connection viejo;
  viejo.Open(Cadena("viejo"));
  EXPECT_EQ(viejo.Execute("SELECT COUNT(*) FROM v WHERE c = 'á'")->Fields(0L).Value().Entero(), 2);
  EXPECT_EQ(viejo.Execute("SELECT COUNT(*) FROM v WHERE c >= 'â'")->Fields(0L).Value().Entero(), 2);
  EXPECT_EQ(viejo.Execute("PRAGMA integrity_check")->Fields(0L).Value().Texto(), "ok");
  EXPECT_EQ(viejo.Execute("PRAGMA user_version")->Fields(0L).Value().Entero(), 1);
  viejo.Close();

  // Two keys that only the new order makes equal: the file cannot be opened as it is.
  CrearBase(dir_ / "doble.db", R"(
      CREATE TABLE k (c VARCHAR(10) COLLATE NOCASE PRIMARY KEY);
      INSERT INTO k VALUES ('P004'), ('P004 ');)");
  ado::Connection doble;
  EXPECT_EQ(NumeroError([&] { doble.Open(Cadena("doble")); }), ado::errProveedor);
  EXPECT_EQ(doble.State(), ado::adStateClosed);
  ASSERT_GE(doble.Errors().Count(), 1);
  EXPECT_NE(doble.Errors()[0].Description.find("k.c"), std::string::npos);
}

}  // namespace
