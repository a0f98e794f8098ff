// Statement texts of the lookups and the column-width file, without a database.
#include <gtest/gtest.h>

#include "lookup/anchos.h"
#include "lookup/sentencias.h"
#include "support/temp_dir.h"

namespace {

TEST(Sentencias, WhereIsWrappedOnlyWhenLongerThanOneAndNotParenthesised) {
  const struct {
    std::string where, esperado;
  } casos[] = {
      {"a=1", " (a=1) "}, {"(a=1)", "(a=1)"},
      {"x", "x"},         {"  x ", "  x "},          // one character once trimmed
      {"", ""},           {" (a=1)", " ( (a=1)) "},  // the first character is a blank, not "("
  };
  for (const auto& c : casos) {
    std::string w = c.where;
    NormalizarWhere(w);
    EXPECT_EQ(w, c.esperado) << "[" << c.where << "]";
  }
}

TEST(Sentencias, RowLimitFromTopConsArt) {
  EXPECT_EQ(LimiteFilas("50"), 50);
  EXPECT_EQ(LimiteFilas(" 50 "), 50);
  for (const char* t : {"0", "", " ", "abc", "-5"}) EXPECT_EQ(LimiteFilas(t), 1000) << t;
}

TEST(Sentencias, GeneratedFromTheTableFieldsInReverseOrder) {
  std::string campo;
  const std::string columnas = ColumnasDeCampos("ta_usuarios", {"ID", "NOMBRE", "SECTOR"}, campo);
  EXPECT_EQ(columnas, "SECTOR,NOMBRE");
  EXPECT_EQ(campo, "NOMBRE");
  EXPECT_EQ(SentenciaGenerada("ta_usuarios", columnas, 1000, campo, ""),
            "SELECT TOP 1000 SECTOR,NOMBRE FROM ta_usuarios  ORDER BY NOMBRE");
  EXPECT_EQ(SentenciaGenerada("ta_usuarios", columnas, 50, campo, " (a=1) "),
            "SELECT TOP 50 SECTOR,NOMBRE FROM ta_usuarios WHERE   (a=1)  ORDER BY NOMBRE");

  // The first field is the search column until a name field comes; ID is taken in the
  // two views that need it; a table of skipped fields shows "*" with no ORDER BY.
  campo.clear();
  EXPECT_EQ(ColumnasDeCampos("t", {"CODIGO", "PRECIO"}, campo), "PRECIO,CODIGO");
  EXPECT_EQ(campo, "CODIGO");
  campo.clear();
  EXPECT_EQ(ColumnasDeCampos("V_MV_TROPA_STOCK", {"A", "ID"}, campo), "ID,A");
  EXPECT_EQ(campo, "ID");
  campo.clear();
  EXPECT_EQ(ColumnasDeCampos("t", {"ID", "FechaHora_Grabacion"}, campo), " * ");
  EXPECT_EQ(SentenciaGenerada("t", " * ", 1000, campo, ""), "SELECT TOP 1000  *  FROM t ");
}

TEST(Sentencias, DefinitionRecords) {
  DefConsulta d;
  d.TablaConsulta = "VT_PROVEEDORES";
  d.CamposConsulta = "|RAZON_SOCIAL|CODIGO|";
  std::string campo, s;
  ASSERT_TRUE(SentenciaDefinicion(d, 1000, campo, "", s));
  EXPECT_EQ(s,
            "SELECT TOP 1000 RAZON_SOCIAL,CODIGO FROM VT_PROVEEDORES  with(nolock)  WHERE Dada_De_Baja = 0 "
            "ORDER BY RAZON_SOCIAL");
  EXPECT_EQ(campo, "RAZON_SOCIAL");

  // The caller's condition stands in for a blank filter; a filter of the record wins.
  campo.clear();
  ASSERT_TRUE(SentenciaDefinicion(d, 50, campo, " (CODIGO='P1') ", s));
  EXPECT_EQ(s,
            "SELECT TOP 50 RAZON_SOCIAL,CODIGO FROM VT_PROVEEDORES  with(nolock)  WHERE  (CODIGO='P1')  "
            "ORDER BY RAZON_SOCIAL");
  d.FiltroConsulta = std::string("Zona = 2") + std::string(3, '\0');
  campo.clear();
  ASSERT_TRUE(SentenciaDefinicion(d, 50, campo, " (CODIGO='P1') ", s));
  EXPECT_NE(s.find("WHERE Zona = 2 ORDER BY"), std::string::npos) << s;

  // Articles: the view with stock, not suspended.
  DefConsulta a;
  a.TablaConsulta = "V_MA_ARTICULOS";
  a.CamposConsulta = "|DESCRIPCION|IDARTICULO|";
  campo.clear();
  ASSERT_TRUE(SentenciaDefinicion(a, 1000, campo, "", s));
  EXPECT_EQ(s,
            "SELECT TOP 1000 DESCRIPCION,IDARTICULO FROM VT_MA_ARTICULOS  with(nolock)  WHERE SUSPENDIDO = 0 "
            "ORDER BY DESCRIPCION");

  // One column and no search column: nothing to build; with a search column it runs.
  DefConsulta uno;
  uno.TablaConsulta = "T";
  uno.CamposConsulta = "|DESCRIPCION|";
  campo.clear();
  EXPECT_FALSE(SentenciaDefinicion(uno, 1000, campo, "", s));
  campo = "DESCRIPCION";
  ASSERT_TRUE(SentenciaDefinicion(uno, 1000, campo, "", s));
  EXPECT_EQ(s, "SELECT TOP 1000 DESCRIPCION FROM T  with(nolock)  ORDER BY DESCRIPCION");
}

TEST(Sentencias, GivenStatements) {
  std::string w = " (a=1) ";
  EXPECT_EQ(SentenciaDada("select * from t", w), "select * from t WHERE  (a=1) ");
  EXPECT_EQ(w, " WHERE  (a=1) ");
  w = " where b=2";
  EXPECT_EQ(SentenciaDada("select * from t", w), "select * from t where b=2");
  w = "";
  EXPECT_EQ(SentenciaDada("SELECT * FROM V_MA_ARTICULOS", w), "SELECT * FROM VT_MA_ARTICULOS");
}

TEST(Sentencias, F5Narrowing) {
  const std::string base = "SELECT TOP 1000 DESCRIPCION,CODIGO FROM T WHERE a=1 ORDER BY DESCRIPCION ";
  const struct {
    std::string sql, texto;
    bool like;
    std::string esperado, caja;
  } casos[] = {
      {base, "rojo grande", true,
       "SELECT TOP 1000 DESCRIPCION,CODIGO FROM T WHERE a=1  and DESCRIPCION like '%rojo%grande%' ORDER BY "
       "DESCRIPCION ",
       "rojo grande"},
      {base, "ro*jo", false,
       "SELECT TOP 1000 DESCRIPCION,CODIGO FROM T WHERE a=1  and DESCRIPCION like 'ro%jo%' ORDER BY "
       "DESCRIPCION ",
       "ro%jo"},
      {"SELECT DESCRIPCION FROM T ", "x", false, "SELECT DESCRIPCION FROM T  where DESCRIPCION like 'x%' ",
       "x"},
      // A quote typed in the box stays inside the literal.
      {"SELECT DESCRIPCION FROM T ", "o'h", true,
       "SELECT DESCRIPCION FROM T  where DESCRIPCION like '%o''h%' ", "o'h"},
      {"SELECT DESCRIPCION, count(*) FROM T GROUP BY DESCRIPCION ", "x", false,
       "SELECT DESCRIPCION, count(*) FROM T  where DESCRIPCION like 'x%' GROUP BY DESCRIPCION ", "x"},
      {"SELECT v_ma_articulos.DESCRIPCION FROM v_ma_articulos ", "x", false,
       "SELECT v_ma_articulos.DESCRIPCION FROM v_ma_articulos  where v_ma_articulos.DESCRIPCION like 'x%' ",
       "x"},
  };
  for (const auto& c : casos) {
    std::string sentenciaBase = c.sql, clausula, caja = c.texto;
    EXPECT_EQ(SentenciaF5(c.sql, sentenciaBase, clausula, "DESCRIPCION", caja, c.like), c.esperado) << c.sql;
    EXPECT_EQ(caja, c.caja);
  }

  // Successive F5 presses: " where " first, " and " afterwards.
  std::string sql = "SELECT DESCRIPCION FROM T ", sentenciaBase = sql, clausula, caja = "a";
  sql = SentenciaF5(sql, sentenciaBase, clausula, "DESCRIPCION", caja, false);
  sentenciaBase = sql;
  caja = "ab";
  EXPECT_EQ(SentenciaF5(sql, sentenciaBase, clausula, "DESCRIPCION", caja, false),
            "SELECT DESCRIPCION FROM T  where DESCRIPCION like 'a%'  and DESCRIPCION like 'ab%' ");

  std::string b2, c2;
  EXPECT_EQ(SentenciaF5Arbol("SELECT Codigo, Descripcion FROM T ORDER BY Codigo", b2, c2, "it's"),
            "SELECT Codigo, Descripcion FROM T  where Descripcion like '%it''s%' ORDER BY Codigo");
}

TEST(Sentencias, TableOfAStatement) {
  EXPECT_EQ(TablaDeSentencia("SELECT TOP 10 A,B FROM VT_PROVEEDORES  with(nolock) "), "VT_PROVEEDORES");
  EXPECT_EQ(TablaDeSentencia("select a from ta_usuarios "), "ta_usuarios");
  EXPECT_EQ(TablaDeSentencia("select a from t"), "t");
  EXPECT_EQ(TablaDeSentencia("select 1"), "");
}

TEST(AnchosColumnas, ReadAndRewriteKeepOtherTables) {
  TempDir dir;
  const std::string f = dir / "CONSULTASLEN.QZX";
  WriteBytes(f,
             "\"OTRA\",\"100|200|\"\r\n"
             "basura sin comillas\r\n"
             "\"vt_proveedores\",\"2400|x|\"\r\n"
             "\"SOLA\"\r\n");
  const auto anchos = LeerAnchos(f, "VT_PROVEEDORES");
  ASSERT_EQ(anchos.size(), 2u);
  EXPECT_EQ(anchos[0], 2400);
  EXPECT_FALSE(anchos[1].has_value());  // not a number: the column keeps its width
  EXPECT_TRUE(LeerAnchos(f, "NINGUNA").empty());
  EXPECT_TRUE(LeerAnchos(dir / "no_existe.qzx", "OTRA").empty());

  GrabarAnchos(f, "VT_PROVEEDORES", {2400, 1500});
  EXPECT_EQ(ReadBytes(f),
            "\"OTRA\",\"100|200|\"\r\n"
            "basura sin comillas\r\n"
            "\"SOLA\"\r\n"
            "\"VT_PROVEEDORES\",\"2400|1500|\"\r\n");
  GrabarAnchos(dir / "nuevo.qzx", "Año", {10});
  EXPECT_EQ(ReadBytes(dir / "nuevo.qzx"), "\"A\xF1o\",\"10|\"\r\n");
}

}  // namespace
