// Values and object names as SQL text.
#include <gtest/gtest.h>

#include "data/db_dll.h"

namespace {

using basic::Variant;

TEST(SQLValue, WritesLiteralsByKind) {
  DB_Dll db;
  struct Caso {
    Variant valor;
    std::string tipo, esperado;
  } casos[] = {
      {Variant("abc"), "'", "'abc'"},
      {Variant("abc"), "", "abc"},
      {Variant("1234,5"), "@", "1234.5"},
      {Variant("1234"), "@", "1234"},
      {Variant("-12,25"), "@", "-12.25"},
      {Variant(1234.5), "@", "1234.5"},
      {Variant::Null(), "'", "NULL"},
      {Variant::Null(), "", "NULL"},
      {Variant::Null(), "@", "0"},
      // An apostrophe inside a text stays inside the one literal.
      {Variant("O'Brien"), "'", "'O''Brien'"},
  };
  for (const auto& c : casos)
    EXPECT_EQ(db.SQLValue(c.valor, c.tipo).Texto(), c.esperado) << c.valor.Texto() << " " << c.tipo;
}

TEST(ADOTypes, ClassifyByValueAsNumberOrText) {
  DB_Dll db;
  EXPECT_EQ(db.ADOComilla(Variant(int32_t{135})), "'");
  EXPECT_EQ(db.ADOComilla(Variant("200")), "'");
  EXPECT_EQ(db.ADOComilla(Variant(int32_t{3})), "");
  EXPECT_EQ(db.ADOComilla(Variant(int32_t{11})), "");
  EXPECT_EQ(db.ADOComilla(Variant()), "");
  for (long t : {7, 133, 137, 134, 135, 64}) EXPECT_TRUE(db.adodate(Variant(int32_t(t)))) << t;
  for (long t : {8, 201, 203, 200, 202, 130, 129}) EXPECT_TRUE(db.ADOText(Variant(int32_t(t)))) << t;
  for (long t : {20, 14, 5, 3, 131, 4, 2, 16, 21, 19, 18, 17})
    EXPECT_TRUE(db.ADONumeric(Variant(int32_t(t)))) << t;
  EXPECT_TRUE(db.ADOCurrency(Variant("6")));
  EXPECT_TRUE(db.ADOBoolean(Variant(int32_t{11})));
  EXPECT_FALSE(db.ADONumeric(Variant(int32_t{6})));
  EXPECT_FALSE(db.adodate(Variant("abc")));
  // Numbers no long holds are no type, whether given as numbers or as text.
  for (const Variant& v : {Variant(1e20), Variant(-1e300), Variant("1E20"), Variant("1E400")}) {
    EXPECT_FALSE(db.adodate(v)) << v.Texto();
    EXPECT_FALSE(db.ADONumeric(v)) << v.Texto();
  }
}

TEST(NameHelpers, StripAndBracketObjectNames) {
  DB_Dll db;
  EXPECT_EQ(db.AddBrackets("Order Details"), "[Order Details]");
  EXPECT_EQ(db.AddBrackets("[Order Details]"), "[Order Details]");
  EXPECT_EQ(db.AddBrackets("Orders"), "Orders");
  EXPECT_EQ(db.StripBrackets("[Orders]"), "Orders");
  EXPECT_EQ(db.StripBrackets("Orders"), "Orders");
  EXPECT_EQ(db.StripOwner(std::string("dbo.Orders")), "Orders");
  EXPECT_EQ(db.StripOwner(std::string("a.b.c")), "b.c");
  EXPECT_EQ(db.StripConnect("Orders -> remote"), "Orders");
  EXPECT_EQ(db.StripConnect("Orders"), "Orders");
  EXPECT_EQ(db.stSTF(std::string("dbo.Orders"), true), "Orders");
  EXPECT_EQ(db.stSTF(std::string("dbo.Orders"), false), "dbo");
  EXPECT_EQ(db.stSTF(std::string("srv.dbo.Orders"), true), "dbo.Orders");
  EXPECT_EQ(db.stSTF(std::string("srv.dbo.Orders"), false), "dbo.Orders");
  EXPECT_EQ(db.StripFileName("C:\\data\\file.mdb"), "C:\\data");
  EXPECT_EQ(db.StripFileName("/srv/data/file.mdb"), "/srv/data");
  EXPECT_EQ(db.StripFileName("file.mdb"), "");

  // The by-reference forms rewrite the caller's name.
  std::string nombre = "dbo.Orders";
  db.StripOwner(nombre);
  EXPECT_EQ(nombre, "Orders");
  nombre = "srv.dbo.Orders";
  db.stSTF(nombre, false);
  EXPECT_EQ(nombre, "dbo.Orders");
}

TEST(NameHelpers, InvalidArgumentsRaiseError5) {
  DB_Dll db;
  try {
    db.stSTF(std::string("Orders"), false);
    FAIL() << "no error";
  } catch (const ErrorEjecucion& e) {
    EXPECT_EQ(e.Number, 5);
  }
  EXPECT_EQ(db.stSTF(std::string("Orders"), true), "Orders");
  EXPECT_THROW(db.StripConnect("->remote"), ErrorEjecucion);
}

TEST(OcultarClaves, MasksPasswordValuesOnly) {
  EXPECT_EQ(OcultarClaves("PROVIDER=SQLOLEDB;Server=S;Database =D;UId=ana;Pwd=secreto;"),
            "PROVIDER=SQLOLEDB;Server=S;Database =D;UId=ana;Pwd=****;");
  EXPECT_EQ(OcultarClaves("Provider=OraOLEDB.Oracle.1;Data Source=P;User Id=a;Password=x y"),
            "Provider=OraOLEDB.Oracle.1;Data Source=P;User Id=a;Password=****");
  EXPECT_EQ(OcultarClaves("a; Jet OLEDB:Database Password =k;"), "a; Jet OLEDB:Database Password =****;");
  EXPECT_EQ(OcultarClaves("Pwd=;UserPassword=1"), "Pwd=;UserPassword=1");
  EXPECT_EQ(OcultarClaves("sin claves"), "sin claves");
}

}  // namespace
