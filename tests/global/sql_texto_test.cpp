// Statement builders and the Oracle adaptation of a SELECT.
#include <gtest/gtest.h>

#include "global/entorno.h"
#include "global/sql_texto.h"

namespace {

TEST(SqlTexto, AdaptarSQL) {
  const std::string oracle = "Provider=OraOLEDB.Oracle.1;Data Source=PROD;User Id=a;Password=b;";
  const std::string server = "PROVIDER=SQLOLEDB;Server=S;Database =D;UId=a;Pwd=b;";
  struct Caso {
    std::string conexion, sql, esperado;
  };
  const Caso casos[] = {
      {oracle, "Select TOP 1 * from Control_Acceso", "Select  *  from Control_Acceso WHERE ROWNUM <=  1 "},
      {server, "Select TOP 1 * from Control_Acceso", "Select TOP 1 * from Control_Acceso"},
      {oracle, "len", "LENGTH"},
      {oracle, "LEN(x)", "LEN(x)"},
      {oracle, "select a from t", "select a from t"},
      {oracle, "select top 5 a, b from t", "select top 5 a, b from t"},  // no "*" to move
      {server, "len", "len"},
  };
  for (const auto& c : casos) EXPECT_EQ(AdaptarSQL(c.sql, c.conexion), c.esperado) << c.sql;
}

TEST(SqlTexto, AgregarCampoYArmarSentencia) {
  EntornoGlobal e(false);
  std::string a = "O'Brien", b = "y", nulo = "null";
  AgregarCampo("A", a, "'", true);
  EXPECT_EQ(a, "OBrien");  // the caller's variable changes too
  AgregarCampo("B", b, "'", false);
  std::vector<std::string> lineas = {""};
  std::string condicion;
  ArmarSentencia(gCamposSentencia, lineas, "T", false, condicion, true);
  EXPECT_EQ(lineas, (std::vector<std::string>{"", "INSERT INTO T (A,B) VALUES ('OBrien','y')", ""}));

  condicion = "ID = 5";
  lineas.clear();
  ArmarSentencia(gCamposSentencia, lineas, "T", true, condicion, false);
  EXPECT_EQ(lineas[0], "UPDATE T SET A = 'OBrien',B = 'y'  WHERE ID = 5");
  EXPECT_EQ(condicion, " WHERE ID = 5");

  AgregarCampo("C", nulo, "'", true);
  condicion = "where X = 1";
  lineas.clear();
  ArmarSentencia(gCamposSentencia, lineas, "T", true, condicion, false);
  EXPECT_EQ(lineas[0], "UPDATE T SET C = Null where X = 1");
  EXPECT_EQ(FormatoFechaHora(), FormatoFecha() + " " + FormatoHora());
}

}  // namespace
