// Security synonyms and the Oracle dialect, on their text and on the calls they make.
#include <gtest/gtest.h>

#include "apoyo_datos.h"

namespace {

const std::string kOracle = "Provider=OraOLEDB.Oracle.1;Data Source=PROD;User Id=ana;Password=x;";

TEST(SS_TSinonimos, RewritesForNonAdministrators) {
  DB_Dll db;
  struct Caso {
    std::string entrada, esperado;
  } casos[] = {
      {"SELECT * FROM MA_CUENTAS WHERE x=1", "SELECT * FROM SS_MA_CUENTAS WHERE x=1"},
      {"SELECT * FROM @Admin_MA_CUENTAS", "SELECT * FROM MA_CUENTAS"},
      {"SELECT a.x FROM t a JOIN (MA_CUENTAS m) ON MA_CUENTAS.c=1,MA_CUENTAS.d",
       "SELECT a.x FROM t a JOIN (SS_MA_CUENTAS m) ON SS_MA_CUENTAS.c=1,SS_MA_CUENTAS.d"},
      {"{MA_CUENTAS.codigo}", "{SS_MA_CUENTAS.codigo}"},
      {"select * from ma_cuentas where x=1", "select * from SS_MA_CUENTAS where x=1"},
      // The name must have a blank, parenthesis, comma or brace around it.
      {"MA_CUENTAS WHERE x=1", "MA_CUENTAS WHERE x=1"},
      {"SELECT * FROM MA_CUENTAS\r\nWHERE x=1", "SELECT * FROM MA_CUENTAS\r\nWHERE x=1"},
      {"SELECT * FROM V_TA_DEPOSITO d, V_TA_CAJAS c, V_TA_FAMILIAS f",
       "SELECT * FROM SS_V_TA_DEPOSITO d, SS_V_TA_CAJAS c, SS_V_TA_FAMILIAS f"},
      {"SELECT * FROM AC_CUENTASDIARIO a, AC_CUENTASDIARIO_CCOSTO b",
       "SELECT * FROM SS_AC_CUENTASDIARIO a, SS_AC_CUENTAS_DIARIO_CCOSTO b"},
      // Without the confidentiality setting MV_ASIENTOS statements keep every name.
      {"SELECT * FROM MV_ASIENTOS m, MA_CUENTAS c, @Admin_X", "SELECT * FROM MV_ASIENTOS m, MA_CUENTAS c, X"},
  };
  for (const auto& c : casos) EXPECT_EQ(db.SS_TSinonimos(c.entrada), c.esperado) << c.entrada;

  SS_CONFIDENCIALIDAD = -1;
  EXPECT_EQ(db.SS_TSinonimos("SELECT * FROM MV_ASIENTOS m, MA_CUENTAS c"),
            "SELECT * FROM SS_MV_ASIENTOS m, SS_MA_CUENTAS c");
  SS_CONFIDENCIALIDAD = 0;

  db.gEsAdmin = DB_Dll::Verdadero;
  EXPECT_EQ(db.SS_TSinonimos("SELECT * FROM MA_CUENTAS, @Admin_MV_ASIENTOS WHERE x=1"),
            "SELECT * FROM MA_CUENTAS, MV_ASIENTOS WHERE x=1");
}

TEST(ORACLE_Dicc, LeavesSqlServerStatementsAlone) {
  DB_Dll db;
  db.gConnString = "PROVIDER=SQLOLEDB;Server=S;Database =D;UId=a;Pwd=b;";
  const std::string s = "SELECT TOP 5 ISNULL([a],'') FROM t WHERE c = '05/03/2024'";
  EXPECT_EQ(db.ORACLE_Dicc(s), s);
  EXPECT_EQ(db.ORACLE_Dicc("LEN"), "LEN");
}

TEST(ORACLE_Dicc, TranslatesToOracle) {
  DB_Dll db;
  db.gConnString = kOracle;
  struct Caso {
    std::string entrada, esperado;
  } casos[] = {
      {"LEN", "LENGTH"},
      {"len", "LENGTH"},
      {"codigo", "codigo"},
      {"SELECT TOP 5 codigo FROM clientes WHERE activo = 1 ORDER BY codigo",
       "SELECT  codigo FROM clientes WHERE activo = 1    AND ROWNUM <= 5  ORDER BY codigo"},
      {"SELECT TOP 10 * FROM clientes", "SELECT  * FROM clientes  WHERE ROWNUM <= 10  "},
      {"SELECT TOP 3 c, COUNT(*) FROM t GROUP BY c ORDER BY c",
       "SELECT  c, COUNT(*) FROM t    WHERE ROWNUM <= 3  GROUP BY c ORDER BY c "},
      {"SELECT ISNULL(SUBSTRING([nombre],1,3),'') FROM t WHERE c = ''",
       "SELECT NVL(SUBSTR(\"nombre\",1,3),'') FROM t WHERE c  IS NULL "},
      {"SELECT a FROM t WHERE LEN(a) > 1 AND  len (b) = 2",
       "SELECT a FROM t WHERE LENGTH(a) > 1 AND  LENGTH(b) = 2"},
      {"SELECT TO_CHAR(fecha,103), CONVERT(x,103) FROM t",
       "SELECT TO_CHAR(fecha,'DD/MM/YYYY'), CONVERT(x,103) FROM t"},
      {"SELECT * FROM t WHERE f >= '05/03/2024' AND g = 'abc'",
       "SELECT * FROM t WHERE f >= TO_DATE('05/03/2024','DD/MM/YYYY') AND g = 'abc'"},
      // A date already converted is not converted twice.
      {"SELECT * FROM t WHERE f = TO_DATE('5/3/2024','DD/MM/YYYY')",
       "SELECT * FROM t WHERE f = TO_DATE('05/03/2024','DD/MM/YYYY')"},
      {"SELECT Charindex('a',b), CONVERT(INT,c), CONVERT(NVARCHAR,d) FROM t",
       "SELECT InStr('a',b), TO_NUMBER(c), TO_CHAR(d) FROM t"},
      // Empty-text tests are rewritten only after WHERE.
      {"UPDATE t SET a='' WHERE b=''", "UPDATE t SET a='' WHERE b IS NULL "},
  };
  for (const auto& c : casos) EXPECT_EQ(db.ORACLE_Dicc(c.entrada), c.esperado) << c.entrada;
}

class ScriptOracle : public ::testing::Test {
 protected:
  ScriptOracle() {
    canal.fingir = [](const std::string&, const std::string&) { return true; };  // no server
    InstalarCanalADO(&canal);
    LiberarInstanciasDB();
    DB_Dll& db = gDB();
    db.gConnString = kOracle;
    db.gCnn->SetConnectionString(kOracle);
  }
  ~ScriptOracle() override {
    InstalarCanalADO(nullptr);
    LiberarInstanciasDB();
  }
  CanalGrabador canal;
};

TEST_F(ScriptOracle, RunsStatementsAndTransactionsInOrder) {
  long afectados = 5;  // added to, not reset
  std::string script = "BEGIN TRANSACTION INSERT INTO t VALUES (1) COMMIT TRANSACTION";
  gDB().EjecutaConsultaSQL(script, afectados);
  EXPECT_EQ(canal.llamadas,
            (std::vector<std::string>{"BeginTrans: ", "Execute: INSERT INTO t VALUES (1)", "CommitTrans: "}));
  EXPECT_EQ(afectados, 6);

  // The one provider notice 265929 left by a script is dropped.
  canal.fingir = [](const std::string& op, const std::string&) {
    if (op == "Execute") gDB().gCnn->Errors().Append({265929, "aviso", "", "", 0});
    return true;
  };
  gDB().EjecutaConsultaSQL("DELETE FROM t", afectados);
  EXPECT_EQ(gDB().gCnn->Errors().Count(), 0);
}

TEST_F(ScriptOracle, NormalisesScriptsAndDropsServerOnlyStatements) {
  long afectados = 0;
  canal.afectadosFingidos = 2;
  std::string script =
      "SET NOCOUNT ON\r\nBEGIN TRANS\r\nIF NOT EXISTS (SELECT 1 FROM x) CREATE TABLE x (a int)\r\nGO\r\n"
      "UPDATE t SET a = ISNULL(b,0) WHERE c=''\r\nDELETE FROM [u]\r\nROLLBACK TRANSACTION\r\n";
  gDB().EjecutaConsultaSQL(script, afectados);
  EXPECT_EQ(canal.llamadas, (std::vector<std::string>{"BeginTrans: ", "Execute: CREATE TABLE x (a int)",
                                                      "Execute: UPDATE t SET a = NVL(b,0) WHERE c IS NULL ",
                                                      "Execute: DELETE FROM \"u\"", "RollbackTrans: "}));
  EXPECT_EQ(afectados, 6);
}

TEST_F(ScriptOracle, AbrirRecordsetTranslatesOnlyWhenAsked) {
  ado::Recordset rs;
  std::string sql = "SELECT TOP 1 ISNULL(a,0) FROM MA_CUENTAS WHERE x=1";
  gDB().AbrirRecordset(sql, rs, nullptr, 0, 1, -1, true);
  std::string sinConvertir = "SELECT ISNULL(a,0) FROM t";
  gDB().AbrirRecordset(sinConvertir, rs, nullptr, 0, 1, -1, false);
  EXPECT_EQ(canal.De("OpenRecordset"),
            (std::vector<std::string>{"SELECT  NVL(a,0) FROM SS_MA_CUENTAS WHERE x=1  AND ROWNUM <= 1  ",
                                      "SELECT ISNULL(a,0) FROM t"}));
  // The caller's text carries the synonyms, not the translation.
  EXPECT_EQ(sql, "SELECT TOP 1 ISNULL(a,0) FROM SS_MA_CUENTAS WHERE x=1");
}

TEST_F(ScriptOracle, ColumnsAreTakenForGrantedOnOracle) {
  gDB().gProveedor = "OraOLEDB.Oracle.1";
  EXPECT_TRUE(gDB().ExisteCampoDB("clientes", "cualquiera"));
  EXPECT_TRUE(canal.llamadas.empty());
}

}  // namespace
