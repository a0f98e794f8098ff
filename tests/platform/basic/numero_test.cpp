#include <gtest/gtest.h>

#include <clocale>

#include "platform/basic/error.h"
#include "platform/basic/formato.h"
#include "platform/basic/numero.h"
#include "regional_guard.h"

using namespace basic;

TEST(Numero, ValReadsTheLeadingNumber) {
  struct Caso {
    const char* s;
    double v;
  };
  const Caso casos[] = {
      {"", 0},         {"abc", 0}, {"12abc", 12},    {"  42", 42},   {"\t 7", 7},   {"-3.5", -3.5},
      {"+2", 2},       {"1,5", 1}, {"1.5.6", 1.5},   {".5", 0.5},    {"1e3", 1000}, {"2E-2", 0.02},
      {"1e", 1},       {"1 2", 1}, {"&H1F", 31},     {"&HFFFF", -1}, {"&O17", 15},  {"&Hzz", 0},
      {"0.######", 0}, {"-", 0},   {"1234,5", 1234}, {"  -0", 0},
  };
  for (const auto& c : casos) EXPECT_DOUBLE_EQ(Val(c.s), c.v) << c.s;
}

TEST(Numero, ValIgnoresTheCLocale) {
  // Qt sets the C locale from the environment; a comma locale must not change Val.
  const std::string antes = std::setlocale(LC_NUMERIC, nullptr);
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "es_ES.UTF-8"))
    GTEST_SKIP() << "no comma-decimal locale installed";
  EXPECT_DOUBLE_EQ(Val("1.25"), 1.25);
  EXPECT_EQ(NumeroATexto(1.25), "1.25");
  EXPECT_EQ(Format(1.25, "0.00"), "1.25");
  std::setlocale(LC_NUMERIC, antes.c_str());
}

TEST(Numero, CDblUsesTheRegionalSeparators) {
  RegionalGuard guard;
  EXPECT_DOUBLE_EQ(CDbl("1234,5"), 1234.5);
  EXPECT_DOUBLE_EQ(CDbl(" -1.234.567,25 "), -1234567.25);
  EXPECT_DOUBLE_EQ(CDbl("12"), 12);
  EXPECT_DOUBLE_EQ(CDbl(",5"), 0.5);
  for (const char* no : {"", " ", "abc", "12abc", "1.5", "1.23.456", "1,2,3", "-", ","}) {
    EXPECT_FALSE(IsNumeric(no)) << no;
    try {
      CDbl(no);
      ADD_FAILURE() << no;
    } catch (const ErrorEjecucion& e) {
      EXPECT_EQ(e.Number, 13);
      EXPECT_EQ(e.Description, "No coinciden los tipos");
    }
  }
  regional().separadorDecimal = ".";
  regional().separadorMiles = ",";
  EXPECT_DOUBLE_EQ(CDbl("1,234.5"), 1234.5);
  EXPECT_FALSE(IsNumeric("1234,5"));
}

TEST(Numero, NumbersBeyondADoubleAreNotNumeric) {
  // IsNumeric says beforehand whether CDbl takes the text: these overflow it.
  for (const char* s : {"1E400", "-1e309", "111E717", "1,5D999"}) {
    EXPECT_FALSE(IsNumeric(s)) << s;
    try {
      CDbl(s);
      ADD_FAILURE() << s;
    } catch (const ErrorEjecucion& e) {
      EXPECT_EQ(e.Number, 6) << s;
    }
  }
  EXPECT_TRUE(IsNumeric("1E300"));
}

TEST(Numero, CLngAndCIntRoundHalfToEven) {
  EXPECT_EQ(CLng("2,5"), 2);
  EXPECT_EQ(CLng("3,5"), 4);
  EXPECT_EQ(CLng("-2,5"), -2);
  EXPECT_EQ(CInt("32767"), 32767);
  try {
    CInt("32768");
    FAIL();
  } catch (const ErrorEjecucion& e) {
    EXPECT_EQ(e.Number, 6);
  }
  EXPECT_EQ(CLng(Variant(7.5)), 8);
  EXPECT_THROW(CLng(Variant::Null()), ErrorEjecucion);
  EXPECT_EQ(CLng(Variant()), 0);
}

TEST(Numero, RoundAndText) {
  EXPECT_DOUBLE_EQ(Round(2.5), 2);
  EXPECT_DOUBLE_EQ(Round(2.675, 2), 2.68);
  EXPECT_DOUBLE_EQ(Round(0.125, 2), 0.12);
  EXPECT_DOUBLE_EQ(Round(-1.5), -2);
  EXPECT_EQ(Str(5), " 5");
  EXPECT_EQ(Str(-5.5), "-5.5");
  EXPECT_EQ(NumeroATexto(0.1 + 0.2, ","), "0,3");
  EXPECT_EQ(NumeroATexto(1e20), "1E+20");
  EXPECT_EQ(NumeroATexto(-1234567.125), "-1234567.125");
}

TEST(Numero, IsNumericOfVariants) {
  EXPECT_TRUE(IsNumeric(Variant(int32_t{3})));
  EXPECT_TRUE(IsNumeric(Variant()));
  EXPECT_FALSE(IsNumeric(Variant::Null()));
  EXPECT_TRUE(IsNumeric(Variant("3,5")));
  EXPECT_FALSE(IsNumeric(Variant::DeFecha(45000)));
}
