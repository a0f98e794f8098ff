#include <gtest/gtest.h>

#include "platform/basic/error.h"
#include "platform/basic/texto.h"
#include "support/casos_sin_caso.h"

using namespace basic;

TEST(Texto, TrimRemovesBlanksOnly) {
  EXPECT_EQ(Trim("  a b  "), "a b");
  EXPECT_EQ(Trim("\tA\r\n"), "\tA\r\n");
  EXPECT_EQ(Trim(" \t x "), "\t x");
  EXPECT_EQ(LTrim("  x  "), "x  ");
  EXPECT_EQ(RTrim("  x  "), "  x");
  EXPECT_EQ(Trim("    "), "");
}

TEST(Texto, CaseOfAccentedLetters) {
  EXPECT_EQ(UCase("respondió señor über ça"), "RESPONDIÓ SEÑOR ÜBER ÇA");
  EXPECT_EQ(LCase("ÁÉÍÓÚÑÜ ABC"), "áéíóúñü abc");
  EXPECT_EQ(UCase("1 × 2 ÷ 3"), "1 × 2 ÷ 3");
}

// The same table the embedded database is tested on (NOCASE and LIKE).
TEST(Texto, FoldingAgreesWithTheTableOfCases) {
  for (const auto& c : casos_sin_caso::kCasos) {
    SCOPED_TRACE(std::string(c.guardado) + " / " + c.buscado);
    const std::string g = PlegarMayusculas(c.guardado), b = PlegarMayusculas(c.buscado);
    EXPECT_EQ(RTrim(g) == RTrim(b), c.igual);
    EXPECT_EQ(g.rfind(b, 0) == 0, c.igual);  // the lists' search: the start of the value
    EXPECT_EQ(CompararSinCaso(RTrim(c.guardado), RTrim(c.buscado)) == 0, c.igual);
    EXPECT_EQ(IgualesSinCaso(RTrim(c.guardado), RTrim(c.buscado)), c.igual);
    EXPECT_EQ(g, UCase(c.guardado));
  }
}

TEST(Texto, FoldingKeepsBytesAndOrdersAsLowerCase) {
  // Each pair has the same UTF-8 length, so offsets found in the folded text hold.
  EXPECT_EQ(PlegarMayusculas("ÿšœž àþ"), "ŸŠŒŽ ÀÞ");
  EXPECT_EQ(LCase("ŸŠŒŽ ÀÞ"), "ÿšœž àþ");
  const std::string roto = std::string("\xC3") + "a\xA1" + "\xE2\x82\xAC" + "\xC3";
  EXPECT_EQ(PlegarMayusculas(roto), std::string("\xC3") + "A\xA1" + "\xE2\x82\xAC" + "\xC3");
  // Lower case decides the order, as SQLite's own NOCASE for ASCII ("_" before letters).
  EXPECT_LT(CompararSinCaso("a_", "aB"), 0);
  EXPECT_GT(CompararSinCaso("Zeta", "alfa"), 0);
  EXPECT_LT(CompararSinCaso("Zeta", "álvarez"), 0);
  EXPECT_EQ(CompararSinCaso("ÁLVAREZ", "álvarez"), 0);
  EXPECT_LT(CompararSinCaso("ab", "ab "), 0);
}

TEST(Texto, PositionsCountCharactersNotBytes) {
  const std::string s = "Respondió : Sí";
  EXPECT_EQ(Len(s), 14);
  EXPECT_EQ(Left(s, 9), "Respondió");
  EXPECT_EQ(Right(s, 2), "Sí");
  EXPECT_EQ(Mid(s, 9, 1), "ó");
  EXPECT_EQ(Mid(s, 9), "ó : Sí");
  EXPECT_EQ(Mid(s, 40), "");
  EXPECT_EQ(Left(s, 100), s);
  EXPECT_EQ(InStr(s, ":"), 11);
  EXPECT_EQ(InStrRev("a.b.c", "."), 4);
  EXPECT_EQ(InStrRev("a.b.c", ".", 3), 2);
}

TEST(Texto, InvalidUtf8BytesSurviveAsOneCharacterEach) {
  const std::string roto = std::string("a") + '\xF3' + "b";
  EXPECT_EQ(Len(roto), 3);
  EXPECT_EQ(Mid(roto, 2, 1), std::string(1, '\xF3'));
  EXPECT_EQ(UCase(roto), std::string("A") + '\xF3' + "B");
}

TEST(Texto, InStrBinaryAndText) {
  struct Caso {
    int start;
    const char* s;
    const char* b;
    int compare;
    int esperado;
  };
  const Caso casos[] = {
      {1, "Hola Mundo", "mundo", 0, 0},
      {1, "Hola Mundo", "mundo", 1, 6},
      {1, "PROVEEDOR ñandú", "ÑANDÚ", 1, 11},
      {7, "abcabc", "abc", 0, 0},
      {2, "abcabc", "abc", 0, 4},
      {3, "abc", "", 0, 3},
      {1, "", "", 0, 0},
      {5, "abc", "a", 0, 0},
  };
  for (const auto& c : casos)
    EXPECT_EQ(InStr(c.start, c.s, c.b, c.compare), c.esperado) << c.s << " / " << c.b;
  EXPECT_THROW(InStr(0, "abc", "a"), ErrorEjecucion);
}

TEST(Texto, ReplaceIsCaseInsensitiveOnRequest) {
  EXPECT_EQ(Replace("Dada_De_Baja = 0", "dada_de_baja", "X"), "Dada_De_Baja = 0");
  EXPECT_EQ(Replace("Dada_De_Baja = 0", "dada_de_baja", "X", 1, -1, 1), "X = 0");
  EXPECT_EQ(Replace("aXbxc", "x", "-", 1, -1, CompararTexto), "a-b-c");
  EXPECT_EQ(Replace("a,b,c", ",", "."), "a.b.c");
  EXPECT_EQ(Replace("a,b,c", ",", ".", 1, 1), "a.b,c");
  EXPECT_EQ(Replace("aaa", "a", "aa"), "aaaaaa");  // no re-scan of the replacement
  EXPECT_EQ(Replace("abc", "", "x"), "abc");
  EXPECT_EQ(Replace("a-b-c", "-", "+", 3), "b+c");  // the classic drops what is before start
}

TEST(Texto, CompareSplitJoin) {
  EXPECT_EQ(StrComp("abc", "ABC"), 1);
  EXPECT_EQ(StrComp("abc", "ABC", 1), 0);
  EXPECT_EQ(StrComp("a", "b"), -1);
  EXPECT_TRUE(IgualesSinCaso("Señal", "SEÑAL"));
  EXPECT_FALSE(IgualesSinCaso("Senal", "SEÑAL"));
  EXPECT_EQ(Split("a,b,,c", ","), (std::vector<std::string>{"a", "b", "", "c"}));
  EXPECT_TRUE(Split("", ",").empty());
  EXPECT_EQ(Split("aXbxc", "x", -1, 1), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(Split("a b c", " ", 2), (std::vector<std::string>{"a", "b c"}));
  EXPECT_EQ(Join({"a", "b", "c"}, "|"), "a|b|c");
  EXPECT_EQ(Space(3), "   ");
  EXPECT_EQ(String(3, "ñx"), "ñññ");
  EXPECT_EQ(String(2, 255), "ÿÿ");
}

TEST(Texto, AscAndChrUseWindows1252) {
  EXPECT_EQ(Asc("ó"), 0xF3);
  EXPECT_EQ(Asc("€"), 0x80);
  EXPECT_EQ(Asc("A"), 65);
  EXPECT_EQ(Asc("中"), '?');
  EXPECT_EQ(Chr(0xF3), "ó");
  EXPECT_EQ(Chr(0x80), "€");
  EXPECT_EQ(Chr(13) + Chr(10), "\r\n");
  EXPECT_EQ(Chr(0), std::string(1, '\0'));
  EXPECT_THROW(Chr(256), ErrorEjecucion);
  EXPECT_THROW(Asc(""), ErrorEjecucion);
}

TEST(Texto, InvalidArgumentsRaiseError5) {
  try {
    Mid("abc", 0);
    FAIL();
  } catch (const ErrorEjecucion& e) {
    EXPECT_EQ(e.Number, 5);
  }
  EXPECT_THROW(Left("abc", -1), ErrorEjecucion);
}

TEST(Texto, TextoVisibleKeepsEveryValueOnOneLine) {
  const struct {
    std::string entrada, visible;
  } casos[] = {
      {"ventas@acme.com", "ventas@acme.com"},
      {"a@b.com,\r\nARCHIVO=/etc/hostname", "a@b.com,\\r\\nARCHIVO=/etc/hostname"},
      {std::string("a\0b", 3), "a\\0b"},
      {"a\tb\vc\x7F", "a\\tb\\x0Bc\\x7F"},
      {"Łódź ✓ €", "Łódź ✓ €"},
      {"x\xC2\x85y\xE2\x80\xA8z", "x\\u0085y\\u2028z"},
      {"\xC2", "\xC2"},  // a lone lead byte is not a control
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.visible);
    EXPECT_EQ(TextoVisible(c.entrada), c.visible);
    EXPECT_EQ(TieneControl(c.entrada), c.entrada != c.visible);
  }
}
