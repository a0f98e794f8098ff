// The selection formula language: precedence, texts, errors, and the bound SQL.
#include <gtest/gtest.h>

#include "reports/formula.h"
#include "reports/reporte.h"

using reporte::Enlazar;
using reporte::LeerFormulaValor;
using reporte::ParsearFormula;
using reporte::SqlFormula;
using reporte::TextoArbol;

namespace {

std::string Arbol(const std::string& f) {
  auto n = ParsearFormula(f);
  return n ? TextoArbol(*n) : "<vacía>";
}

std::string Sql(const std::string& f, const std::vector<std::string>& tablas = {}) {
  auto n = ParsearFormula(f);
  return Enlazar(SqlFormula(*n, tablas, f));
}

}  // namespace

TEST(FormulaSeleccion, ParsesWithAndBindingTighterThanOr) {
  struct Caso {
    const char* formula;
    const char* arbol;
  };
  const Caso casos[] = {
      // The preview's formula: two groups and the suffix, which binds to the last group.
      {"{V_OC_pendientes.Cuenta} = 'P001' AND {V_OC_pendientes.TC} ='OC' AND "
       "{V_OC_pendientes.IDCOMPROBANTE}='A1' OR {V_OC_pendientes.Cuenta} = 'P002' AND "
       "{V_OC_pendientes.TC} ='OC' AND {V_OC_pendientes.IDCOMPROBANTE}='B2' and "
       "isnull({V_OC_pendientes.fechaenviomail})",
       "(({V_OC_pendientes.Cuenta} = 'P001' and {V_OC_pendientes.TC} = 'OC' and "
       "{V_OC_pendientes.IDCOMPROBANTE} = 'A1') or ({V_OC_pendientes.Cuenta} = 'P002' and "
       "{V_OC_pendientes.TC} = 'OC' and {V_OC_pendientes.IDCOMPROBANTE} = 'B2' and "
       "isnull({V_OC_pendientes.fechaenviomail})))"},
      // The suffix alone (no row checked but the switch on).
      {" and isnull({V_OC_pendientes.fechaenviomail})", "<error>"},
      {"isnull({V_OC_pendientes.fechaenviomail})", "isnull({V_OC_pendientes.fechaenviomail})"},
      // The dispatch run's formula.
      {" {c_mv_cpte.cuenta}= 'P001' AND {c_mv_cpte.idcomprobante}= '000100001000X' AND "
       "{c_mv_cpte.tc}= 'OC'",
       "({c_mv_cpte.cuenta} = 'P001' and {c_mv_cpte.idcomprobante} = '000100001000X' and "
       "{c_mv_cpte.tc} = 'OC')"},
      {"{t.a} = 'x' or {t.b} = 'y' and {t.c} = 'z'", "({t.a} = 'x' or ({t.b} = 'y' and {t.c} = 'z'))"},
      {"({t.a} = 'x' or {t.b} = 'y') and {t.c} = 'z'", "(({t.a} = 'x' or {t.b} = 'y') and {t.c} = 'z')"},
      {"not {t.a} = 'x' and {t.b} = 'y'", "(not {t.a} = 'x' and {t.b} = 'y')"},
      {"NOT ({t.a} = 'x' OR IsNull({t.b}))", "not ({t.a} = 'x' or isnull({t.b}))"},
      {"not not isnull({t.a})", "not not isnull({t.a})"},
      {"{t.a} <> 'x' and {t.n} >= 10 and {t.n} <= 20.5 and {t.n} < -3 and {t.n} > 0",
       "({t.a} <> 'x' and {t.n} >= 10 and {t.n} <= 20.5 and {t.n} < -3 and {t.n} > 0)"},
      // Texts: both quotes, the quote doubled inside, the other quote as it stands.
      {"{t.a} = \"O\"\"Brien\" or {t.a} = 'O''Higgins' or {t.a} = \"it's\"",
       "({t.a} = 'O\"Brien' or {t.a} = 'O''Higgins' or {t.a} = 'it''s')"},
      {"'P001' = {t.a}", "'P001' = {t.a}"},
      {"{t.a} = {u.b}", "{t.a} = {u.b}"},
      {"  ", "<vacía>"},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.formula);
    std::string obtenido;
    try {
      obtenido = Arbol(c.formula);
    } catch (const ErrorEjecucion&) {
      obtenido = "<error>";
    }
    EXPECT_EQ(obtenido, c.arbol);
  }
}

TEST(FormulaSeleccion, MalformedFormulaIsAClearErrorNamingIt) {
  const char* malas[] = {
      "{t.a} = ",
      "{t.a} = 'x",
      "({t.a} = 'x'",
      "{t.a} = 'x' and",
      "{t.a 'x'",
      "isnull(t.a)",
      "isnull({t.a}",
      "{ta} = 'x'",
      "'x' = 'y'",
      "{t.a} == 'x'",
      "{t.a} = 'x' {t.b}",
      "{t.a} = 'x' ; drop",
      "{t.a b} = 'x'",
      "{t.a} = 'x' or or {t.b} = 'y'",
      "{t.a}",
  };
  for (const char* f : malas) {
    SCOPED_TRACE(f);
    try {
      ParsearFormula(f);
      ADD_FAILURE() << "no error";
    } catch (const ErrorEjecucion& e) {
      EXPECT_EQ(e.Number, Reporte::errFormula);
      EXPECT_NE(e.Description.find("fórmula de selección"), std::string::npos) << e.Description;
      EXPECT_NE(e.Description.find(std::string("«") + f + "»"), std::string::npos) << e.Description;
    }
  }
}

TEST(FormulaSeleccion, NestingIsBoundedInsteadOfExhaustingTheStack) {
  auto anidada = [](int n, bool parentesis) {
    std::string f;
    for (int k = 0; k < n; ++k) f += parentesis ? "(" : "not ";
    f += "{t.a} = 1";
    if (parentesis) f += std::string(n, ')');
    return f;
  };
  for (bool parentesis : {true, false}) {
    SCOPED_TRACE(parentesis ? "paréntesis" : "not");
    // Deep enough for any written formula: read, written back and bound.
    auto n = ParsearFormula(anidada(256, parentesis));
    ASSERT_TRUE(n);
    EXPECT_EQ(SqlFormula(*n, {}).valores.size(), 1u);
    // Far deeper (once a stack overflow): the formula error.
    for (int profundidad : {257, 200000}) {
      try {
        ParsearFormula(anidada(profundidad, parentesis));
        ADD_FAILURE() << profundidad;
      } catch (const ErrorEjecucion& e) {
        EXPECT_EQ(e.Number, Reporte::errFormula);
        EXPECT_NE(e.Description.find("anidados"), std::string::npos) << e.Description.substr(0, 200);
      }
    }
  }
}

TEST(FormulaSeleccion, ValuesAreBoundAsLiteralsNeverPastedAsTyped) {
  EXPECT_EQ(Sql("{t.a} = 'O''Higgins' and not isnull({t.b}) or {t.n} >= 2.5"),
            "(((t.a = 'O''Higgins') AND (NOT (t.b IS NULL))) OR (t.n >= 2.5))");
  // A value that tries to leave its quotes stays one text.
  EXPECT_EQ(Sql("{t.a} = \"x' OR '1'='1\""), "(t.a = 'x'' OR ''1''=''1')");
  // Markers inside a value are not taken for the next value's place.
  EXPECT_EQ(Sql("{t.a} = '?' and {t.b} = 'y'"), "((t.a = '?') AND (t.b = 'y'))");

  auto n = ParsearFormula("{c_mv_cpte.cuenta} = 'P001'");
  auto f = SqlFormula(*n, {"C_MV_CPTE", "vt_proveedores"});
  EXPECT_EQ(f.sql, "(c_mv_cpte.cuenta = ?)");
  ASSERT_EQ(f.valores.size(), 1u);
  EXPECT_EQ(f.valores[0].Texto(), "P001");
  try {
    auto m = ParsearFormula("{sysobjects.name} = 'x'");
    SqlFormula(*m, {"c_mv_cpte"}, "{sysobjects.name} = 'x'");
    ADD_FAILURE() << "a table outside the report was accepted";
  } catch (const ErrorEjecucion& e) {
    EXPECT_EQ(e.Number, Reporte::errFormula);
    EXPECT_NE(e.Description.find("{sysobjects.name}"), std::string::npos);
  }
}

TEST(FormulaValor, ReadsNameAndValueAsTheCallersWriteThem) {
  struct Caso {
    const char* texto;
    const char* nombre;
    const char* valor;
  };
  const Caso casos[] = {
      {"NombreEmpresa = 'Ferretería Industrial del Plata S.A.'", "NombreEmpresa",
       "Ferretería Industrial del Plata S.A."},
      {"Direccion = 'Av. Belgrano 1450  3 B'", "Direccion", "Av. Belgrano 1450  3 B"},
      {"Localidad= 'Buenos Aires'", "Localidad", "Buenos Aires"},
      {"Telefono= 'Telefono:4555-1234'", "Telefono", "Telefono:4555-1234"},
      {"CodigoPostal= ''", "CodigoPostal", ""},
      {"NombreEmpresa = 'Distribuidora O'Higgins'", "NombreEmpresa", "Distribuidora O'Higgins"},
      {"NombreEmpresa = 'Distribuidora O''Higgins'", "NombreEmpresa", "Distribuidora O'Higgins"},
      {"Nota = \"dijo \"\"hola\"\"\"", "Nota", "dijo \"hola\""},
      {"Copias = 2", "Copias", "2"},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.texto);
    auto [n, v] = LeerFormulaValor(c.texto);
    EXPECT_EQ(n, c.nombre);
    EXPECT_EQ(v, c.valor);
  }
  for (const char* malo : {"sin igual", "= 'x'", "dos palabras = 'x'"}) {
    SCOPED_TRACE(malo);
    EXPECT_THROW(LeerFormulaValor(malo), ErrorEjecucion);
  }
}
