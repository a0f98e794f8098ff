#include <gtest/gtest.h>

#include <cstring>

#include "platform/os/argumentos.h"

namespace {

using Args = std::vector<std::string>;

TEST(ClaveOculta, EnmascaraElValorYDejaElRestoDeLaLinea) {
  const struct {
    Args entrada;
    Args esperada;
  } casos[] = {
      {{"@Server=sqlite;@DbName=demo;@Usuario=admin;@Password=secreta;@UsuarioLogeado=ADMIN;"},
       {"@Server=sqlite;@DbName=demo;@Usuario=admin;@Password=*******;@UsuarioLogeado=ADMIN;"}},
      // The key without regard to case; blanks and '=' before the value stay.
      {{"@server=x; @PASSWORD= clave; @Caja=1;"}, {"@server=x; @PASSWORD= *****; @Caja=1;"}},
      {{"@pAsSwOrD =abc"}, {"@pAsSwOrD =***"}},
      // '=' and blanks inside the value are the value's.
      {{"@Password=a=b c;@Menu=1;"}, {"@Password=*****;@Menu=1;"}},
      // Byte for byte: "ñ" is two bytes in UTF-8, one in Windows-1252.
      {{"@Password=a\xc3\xb1o;"}, {"@Password=****;"}},
      {{"@Password=a\xf1o;"}, {"@Password=***;"}},
      {{"@Password=uno;@Usuario=u;@password=dos;"}, {"@Password=***;@Usuario=u;@password=***;"}},
      // The line split at blanks: the value goes on in the next arguments up to the ';'.
      {{"@Server=x;", "@Password=mi", "clave", "larga;", "@Caja=1;"},
       {"@Server=x;", "@Password=**", "*****", "*****;", "@Caja=1;"}},
      {{"@Password=", "x;y"}, {"@Password=", "*;y"}},
      {{"@Password", "=", "x;"}, {"@Password", "=", "*;"}},
      {{"--captura", "f.png", "@Password=x"}, {"--captura", "f.png", "@Password=*"}},
      // Nothing to hide.
      {{"@Server=x;@Usuario=u;"}, {"@Server=x;@Usuario=u;"}},
      {{"@Password=;@Caja=1;"}, {"@Password=;@Caja=1;"}},
      {{"@Password="}, {"@Password="}},
      {{"@Passwor=x;"}, {"@Passwor=x;"}},
      {{}, {}},
  };
  for (const auto& c : casos) {
    std::string texto;
    for (const auto& a : c.entrada) texto += "[" + a + "]";
    EXPECT_EQ(os::ConClaveOculta(c.entrada), c.esperada) << texto;
  }
}

// In place in argv: same lengths, the program name untouched.
TEST(ClaveOculta, EnLosArgumentosDelProceso) {
  char programa[] = "@Password=prog";
  char linea[] = "@Usuario=u;@Password=abc";
  char resto[] = "def;@Caja=1;";
  char* argv[] = {programa, linea, resto, nullptr};
  os::OcultarClaveEnArgumentos(3, argv);
  EXPECT_STREQ(argv[0], "@Password=prog");
  EXPECT_STREQ(argv[1], "@Usuario=u;@Password=***");
  EXPECT_STREQ(argv[2], "***;@Caja=1;");
}

}  // namespace
