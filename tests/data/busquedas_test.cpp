// Single-row lookups, codes and schema inspection, on the statements they send.
#include <gtest/gtest.h>

#include "apoyo_datos.h"

namespace {

class Busquedas : public ::testing::Test {
 protected:
  Busquedas() {
    InstalarCanalADO(&canal);
    db.gEsAdmin = DB_Dll::Falso;  // statements go through the synonyms
    env.Sql("INSERT INTO ta_usuarios VALUES ('ana', '1', 0), ('O''Neil', '0', 1);");
  }
  EntornoDatos env;
  CanalGrabador canal;
  DB_Dll& db = env.Abrir();
  std::string Ultima(const std::string& op = "OpenRecordset") { return canal.De(op).back(); }
};

TEST_F(Busquedas, ExisteEnTablaStatements) {
  const basic::Variant texto(int32_t{8}), entero(int32_t{3});
  struct Caso {
    std::string tabla, valor, campo;
    basic::Variant tipo;
    std::string condicion, sentencia;
    bool existe;
  } casos[] = {
      {"clientes", " C01 ", "codigo", texto, "",
       "SELECT TOP 1  * FROM clientes with(nolock)  WHERE LTRIM(RTRIM(codigo)) ='C01'", true},
      {"clientes", "C09", "codigo", texto, "",
       "SELECT TOP 1  * FROM clientes with(nolock)  WHERE LTRIM(RTRIM(codigo)) ='C09'", false},
      {"clientes", "O'Brien", "nombre", texto, "",
       "SELECT TOP 1  * FROM clientes with(nolock)  WHERE LTRIM(RTRIM(nombre)) ='O''Brien'", true},
      {"t", "5abc", "c", entero, "", "SELECT TOP 1 * FROM t with(nolock)  WHERE c = 5", true},
      {"t", "x", "c", texto, " WHERE activo = 0", "SELECT TOP 1 * FROM t with(nolock)   WHERE activo = 0",
       true},
      {"t", "x", "c", texto, "activo = 9", "SELECT TOP 1 * FROM t with(nolock)  WHERE activo = 9", false},
      {"MA_CUENTAS", "B", "codigo", texto, "",
       "SELECT TOP 1  * FROM SS_MA_CUENTAS with(nolock)  WHERE LTRIM(RTRIM(codigo)) ='B'", false},
  };
  for (const auto& c : casos) {
    EXPECT_EQ(db.ExisteEnTabla(c.tabla, c.valor, c.campo, nullptr, c.tipo, c.condicion, true), c.existe)
        << c.sentencia;
    EXPECT_EQ(Ultima(), c.sentencia);
  }
  EXPECT_EQ(env.op.pedidos.size(), 0u);
}

TEST_F(Busquedas, ExisteEnTablaSTRunsItsStatementAsBuilt) {
  const basic::Variant texto(int32_t{8});
  EXPECT_TRUE(db.ExisteEnTablaST("clientes", " C01 ", "codigo", nullptr, texto, "", true));
  EXPECT_EQ(Ultima(), "SELECT * FROM clientes with(nolock)   WHERE codigo =' C01 '");
  // No synonyms: the table itself is read.
  EXPECT_TRUE(db.ExisteEnTablaST("MA_CUENTAS", "B", "codigo", nullptr, texto, "", true));
  EXPECT_EQ(Ultima(), "SELECT * FROM MA_CUENTAS with(nolock)   WHERE codigo ='B'");
  EXPECT_FALSE(db.ExisteEnTablaST("t", "", "", nullptr, texto, "activo = 5", true));
  EXPECT_EQ(Ultima(), "SELECT * FROM t with(nolock)   WHERE activo = 5");
}

TEST_F(Busquedas, ExisteEnTablaLeavesTheGivenRecordsetOnTheRow) {
  ado::Recordset rs;
  EXPECT_TRUE(db.ExisteEnTabla("clientes", "C02", "codigo", &rs, basic::Variant(int32_t{8}), "", true));
  EXPECT_EQ(rs.Fields("nombre").Value().Texto(), "O'Brien");
  EXPECT_FALSE(db.ExisteEnTabla("clientes", "C07", "codigo", &rs, basic::Variant(int32_t{8}), "", false));
  EXPECT_EQ(rs.State(), ado::adStateOpen);
  EXPECT_TRUE(rs.Eof());
}

TEST_F(Busquedas, ExisteEnTablaFailureAsksTheOperator) {
  // " WHERE " is looked for with its blanks, so this condition gets a second WHERE.
  env.op.respuestas = {ui::vbAbort};
  EXPECT_FALSE(db.ExisteEnTabla("t", "", "", nullptr, basic::Variant(int32_t{8}), "WHERE activo = 1", true));
  EXPECT_EQ(Ultima(), "SELECT TOP 1 * FROM t with(nolock)  WHERE WHERE activo = 1");
  ASSERT_EQ(env.op.pedidos.size(), 1u);
  EXPECT_EQ(env.op.pedidos[0].titulo, "Aviso al Operador");
  EXPECT_EQ(env.op.pedidos[0].estilo, 16 + 2);
}

TEST_F(Busquedas, DatosTablaStatementsAndValues) {
  const basic::Variant texto(int32_t{8}), entero(int32_t{3});
  struct Caso {
    std::string tabla, valor, devuelto, campo;
    basic::Variant tipo;
    std::string condicion;
    bool usaTrim;
    std::string sentencia, resultado;
  } casos[] = {
      {"ta_usuarios", "ana", "Administrador", "nombre", texto, "", true,
       "SELECT TOP 1 * FROM ta_usuarios with(nolock)  WHERE LTRIM(RTRIM(nombre)) ='ana' ", "1"},
      {"ta_usuarios", "ana", "Administrador", "nombre", texto, "baja = 1", true,
       "SELECT TOP 1 * FROM ta_usuarios with(nolock)  WHERE LTRIM(RTRIM(nombre)) ='ana'  AND baja = 1", ""},
      {"ta_usuarios", "O'Neil", "baja", "nombre", texto, "", false,
       "SELECT TOP 1 * FROM ta_usuarios with(nolock)  WHERE nombre ='O''Neil' ", "1"},
      {"t", "12abc", "activo", "c", entero, "", true, "SELECT TOP 1 * FROM t with(nolock)  WHERE c = 12", ""},
      {"t", "7", "activo", "c", entero, "", true, "SELECT TOP 1 * FROM t with(nolock)  WHERE c = 7", "1"},
  };
  for (const auto& c : casos) {
    const basic::Variant r =
        db.DatosTabla(c.tabla, c.valor, c.devuelto, c.campo, c.tipo, c.condicion, c.usaTrim, false);
    EXPECT_EQ(r.Tipo(), basic::TipoVariant::String) << c.sentencia;
    EXPECT_EQ(r.Texto(), c.resultado) << c.sentencia;
    EXPECT_EQ(Ultima(), c.sentencia);
  }
  EXPECT_EQ(env.op.pedidos.size(), 0u);
}

TEST_F(Busquedas, DatosTablaIgnoringErrorsGivesEmptyText) {
  const basic::Variant r =
      db.DatosTabla("no_existe", "x", "a", "b", basic::Variant(int32_t{8}), "", true, true);
  EXPECT_EQ(r.Tipo(), basic::TipoVariant::String);
  EXPECT_EQ(r.Texto(), "");
  for (const auto& p : env.op.pedidos) EXPECT_NE(p.titulo, "Aviso al Operador");
}

TEST_F(Busquedas, HighestAndLowestValues) {
  EXPECT_EQ(db.BuscaMaximo("t", "c").Numero(), 7);
  EXPECT_EQ(Ultima(), "SELECT MAX(c) AS MAYOR FROM t");
  EXPECT_EQ(db.BuscaMaximo("t", "c", std::nullopt, std::string(" activo = 0 ")).Numero(), 3);
  EXPECT_EQ(Ultima(), "SELECT MAX(c) AS MAYOR FROM t WHERE activo = 0");
  const basic::Variant fecha = db.BuscaMaximo("clientes", "alta", basic::Variant(int32_t{7}));
  EXPECT_EQ(fecha.Tipo(), basic::TipoVariant::String);
  EXPECT_NE(fecha.Texto(), "");

  EXPECT_EQ(db.BuscaMinimo("t", "c", std::nullopt, std::string("activo = 1")).Numero(), 5);
  EXPECT_EQ(Ultima(), "SELECT MIN(c) AS MENOR FROM t  with(nolock)  WHERE activo = 1");
  EXPECT_EQ(db.BuscaUltimoCodigo("t", "c", basic::Variant(), "activo = 1").Numero(), 7);
  EXPECT_EQ(Ultima(), "SELECT MAX(c) AS MAYOR FROM t WHERE activo = 1");
  EXPECT_EQ(db.BuscaUltimoCodigo("t", "c", basic::Variant(), "activo = 9").Numero(), 0);
}

TEST_F(Busquedas, ArticleCodesStartingWithZeroDoNotCount) {
  canal.llamadas.clear();
  EXPECT_EQ(db.BuscaMaximo("V_MA_ARTICULOS", "idarticulo").Numero(), 123);
  EXPECT_EQ(canal.De("OpenRecordset"),
            (std::vector<std::string>{"SELECT MAX(idarticulo) AS MAYOR FROM V_MA_ARTICULOS",
                                      "SELECT MAX(idarticulo) AS MAYOR FROM V_MA_ARTICULOS WHERE "
                                      "substring(ltrim(idarticulo),1,1)<>'0'"}));
  // Another column whose highest value keeps its zero: the rule applies once.
  canal.llamadas.clear();
  EXPECT_EQ(
      db.BuscaMaximo("V_MA_ARTICULOS", "'0' || idarticulo", std::nullopt, std::string("1 = 1")).Numero(), 0);
  EXPECT_EQ(Ultima(),
            "SELECT MAX('0' || idarticulo) AS MAYOR FROM V_MA_ARTICULOS WHERE 1 = 1 and "
            "substring(ltrim(idarticulo),1,1)<>'0'");
  EXPECT_EQ(canal.De("OpenRecordset").size(), 2u);
}

TEST_F(Busquedas, SchemaInspection) {
  EXPECT_TRUE(db.ExisteTablaDB("clientes"));
  EXPECT_TRUE(db.ExisteTablaDB(" SS_MA_CUENTAS "));
  EXPECT_FALSE(db.ExisteTablaDB("nada"));
  EXPECT_TRUE(db.ExisteCampoDB("clientes", " NOMBRE "));
  EXPECT_FALSE(db.ExisteCampoDB("clientes", "email"));
  EXPECT_FALSE(db.ExisteCampoDB("nada", "codigo"));
}

TEST_F(Busquedas, VerCampoDBAddsMissingColumns) {
  EXPECT_TRUE(db.VerCampoDB("nada", "email", true, "varchar(80)", true, basic::Variant("''")));
  EXPECT_TRUE(canal.De("Execute").empty());
  EXPECT_TRUE(db.VerCampoDB("clientes", "email", false, "varchar(80)", true, basic::Variant("''")));
  EXPECT_TRUE(canal.De("Execute").empty());

  EXPECT_TRUE(db.VerCampoDB("clientes", "email", true, "varchar(80)", true, basic::Variant("''")));
  EXPECT_EQ(
      canal.De("Execute"),
      std::vector<std::string>{
          "ALTER TABLE dbo.clientes ADD email varchar(80) Null  CONSTRAINT DF_clientes_email DEFAULT ('')"});
  EXPECT_TRUE(db.ExisteCampoDB("clientes", "email"));

  db.AddField(" t ", " d ", "int", false);
  EXPECT_EQ(Ultima("Execute"), "ALTER TABLE dbo. t  ADD  d  int Not Null ");
  // A refused ALTER TABLE ends silently.
  db.AddField("clientes", "email", "varchar(80)", true);
  EXPECT_EQ(env.op.pedidos.size(), 0u);
}

TEST(Instancias, CreatedOnFirstUseAndReleased) {
  LiberarInstanciasDB();
  DB_Dll* primero = &gDB();
  EXPECT_EQ(primero, &gDB());
  EXPECT_NE(primero, &gDBEstadisticas());
  EXPECT_NE(&gDBAuxiliar(), &gDBConsultas());
  gDB().gServidor = "S";
  LiberarGDB();
  EXPECT_EQ(gDB().gServidor, "");
  EXPECT_EQ(gDB().gOpenFlag, 0);
  EXPECT_FALSE(gDB().gCnn.creado());
  LiberarInstanciasDB();
}

}  // namespace
