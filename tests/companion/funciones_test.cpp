#include <gtest/gtest.h>

#include "companion/companion.h"
#include "platform/basic/regional.h"
#include "platform/ui/operador_guionado.h"

namespace {

const Funciones& F() { return gFunciones(); }

TEST(Funciones, CodificarRoundTripsAndIsSafeInCsvAndIni) {
  const std::string textos[] = {
      "TesSera", "kumquat", "empresa",  "a,b,c", "clave con blancos", "año=2024; \"x\"", "ñandú Ü €",
      "\r\n\t",  "x",       "AAAAAAAA", ""};
  for (const auto& t : textos) {
    const std::string c = F().Codificar(t);
    EXPECT_EQ(F().Decodificar(c), t) << t;
    EXPECT_EQ(c.find_first_of(",\"'=; \t\r\n[]|"), std::string::npos) << c;
    if (!t.empty()) {
      EXPECT_NE(c, t);
    }
  }
  // Repeated characters do not show as a repeated pattern.
  const std::string a = F().Codificar("AAAA");
  EXPECT_NE(a.substr(0, 2), a.substr(2, 2));
  // Texts that are not encoded come back as they are; lower-case hex is accepted.
  for (const std::string t : {"hola", "CAFE", "CAFEBABE", "12345678", "zz", " "})
    EXPECT_EQ(F().Decodificar(t), t) << t;
  std::string minus = F().Codificar("Pwd");
  for (char& ch : minus) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  EXPECT_EQ(F().Decodificar(minus), "Pwd");
}

TEST(Funciones, FormatearTextoRightAlignsCodes) {
  struct Caso {
    std::string texto;
    int n;
    std::string esperado;
  };
  const Caso casos[] = {{"1", 4, "   1"}, {" 12 ", 4, "  12"}, {"1234", 4, "1234"}, {"12345", 4, "12345"},
                        {"", 4, "    "},  {"ABC ", 0, "ABC "}, {"ñ", 3, "  ñ"},     {"x", -1, "x"}};
  for (const auto& c : casos)
    EXPECT_EQ(F().FormatearTexto(c.texto, c.n), c.esperado) << c.texto << "," << c.n;
  EXPECT_EQ(F().FormatearTexto(basic::Variant::Null()), "");
  EXPECT_EQ(F().FormatearTexto("25", 4), "  25");
  EXPECT_EQ(F().FormatearTexto(basic::Variant(int32_t{7}), 4), "   7");
}

TEST(Funciones, AgregarBarraLeavesExactlyOneSlash) {
  struct Caso {
    std::string carpeta, esperado;
  };
  const Caso casos[] = {
      {"/app", "/app/"}, {"/app/", "/app/"}, {"/app//", "/app/"}, {"C:\\Rep\\", "C:\\Rep/"}, {"/", "/"},
      {"rel", "rel/"},   {"", ""},           {"  ", ""}};
  for (const auto& c : casos) EXPECT_EQ(F().AgregarBarra(c.carpeta), c.esperado) << c.carpeta;
}

TEST(Funciones, SinNuloTurnsNullIntoEmptyText) {
  EXPECT_EQ(F().SinNulo(basic::Variant::Null()), "");
  EXPECT_EQ(F().SinNulo(basic::Variant()), "");
  EXPECT_EQ(F().SinNulo(basic::Variant("P001")), "P001");
  EXPECT_EQ(F().SinNulo(basic::Variant(int32_t{42})), "42");
  struct CampoFalso {
    basic::Variant v;
    const basic::Variant& Value() const { return v; }
  };
  EXPECT_EQ(F().SinNulo(CampoFalso{basic::Variant::Null()}), "");
  EXPECT_EQ(F().SinNulo(CampoFalso{basic::Variant("x")}), "x");
}

TEST(Funciones, ANumeroAndAEntero) {
  struct Caso {
    std::string texto;
    int64_t escalado;
  };
  const Caso casos[] = {{"12", 120000},
                        {" 10,5", 105000},
                        {"10.5", 105000},
                        {"-3,25abc", -32500},
                        {"1.234,56", 12345600},
                        {"1,234.56", 12345600},
                        {"1.234.567", 12345670000},
                        {"0,00005", 1},
                        {"abc", 0},
                        {"", 0},
                        {"16777215", 167772150000}};
  for (const auto& c : casos) EXPECT_EQ(F().ANumero(c.texto).escalado, c.escalado) << c.texto;
  // With the default regional settings "." groups thousands before exactly three digits.
  EXPECT_EQ(F().ANumero("1.234").escalado, 12340000);
  EXPECT_EQ(F().AEntero("3"), 3);
  EXPECT_EQ(F().AEntero("2,5"), 2);
  EXPECT_EQ(F().AEntero("3,5"), 4);
  EXPECT_EQ(F().AEntero("-7"), -7);
  EXPECT_EQ(F().AEntero("x"), 0);
  try {
    F().AEntero("40000");
    ADD_FAILURE();
  } catch (const ErrorEjecucion& e) {
    EXPECT_EQ(e.Number, 6);
  }
  EXPECT_THROW(F().ANumero("99999999999999999999"), ErrorEjecucion);
}

TEST(Funciones, TextHelpers) {
  EXPECT_EQ(F().CortarTexto("ñandú", 3), "ñan");
  EXPECT_EQ(F().CortarTexto(std::string(300, 'x'), 250).size(), 250u);
  EXPECT_EQ(F().CortarTexto("abc", -1), "");
  EXPECT_EQ(F().ContarPalabras("  SELECT  x\tFROM t "), 4);
  EXPECT_EQ(F().ContarPalabras("   "), 0);
  EXPECT_EQ(F().ContarPalabras("LEN"), 1);
  EXPECT_EQ(F().QuitarCaracter("a|b|c", "|"), "abc");
  EXPECT_EQ(F().QuitarCaracter(std::string("x\0yÿz", 6), std::string(1, '\0'), "ÿ"), "xyz");
  EXPECT_EQ(F().QuitarCaracter("=a=b", "=", "", "b"), "a");
  EXPECT_EQ(F().ReemplazarCaracter("1,5", ",", "."), "1.5");
  EXPECT_EQ(F().ReemplazarCaracter("a|b|", "|", ","), "a,b,");
  EXPECT_EQ(F().Reemplazar("from V_MA_ARTICULOS, V_MA_ARTICULOS", "V_MA_ARTICULOS", "VT_MA_ARTICULOS"),
            "from VT_MA_ARTICULOS, VT_MA_ARTICULOS");
  EXPECT_EQ(F().Reemplazar("abc", "", "x"), "abc");
}

TEST(Funciones, MostrarErrorAsksLikeTheProgramsErrorPrompt) {
  ui::OperadorGuionado::Instalado op;
  op->respuestas = {ui::vbRetry};
  const ErrorEjecucion e(3021, " Registro inexistente ", "ado");
  EXPECT_EQ(F().MostrarError(e, "Form_Load"), ui::vbRetry);
  ASSERT_EQ(op->pedidos.size(), 1u);
  EXPECT_EQ(op->pedidos[0].texto, "Ha ocurrido el Siguiente Error (3021) Registro inexistente");
  EXPECT_EQ(op->pedidos[0].estilo, 18);
  EXPECT_EQ(op->pedidos[0].titulo, "Form_Load - Aviso al operador!!!");

  op->respuestaPorDefecto = ui::vbIgnore;
  EXPECT_EQ(F().MostrarError(e, 48, ""), ui::vbIgnore);
  EXPECT_EQ(op->pedidos[1].estilo, 48);
  EXPECT_EQ(op->pedidos[1].titulo, "Aviso al operador!!!");
  EXPECT_EQ(F().MostrarError(ErrorEjecucion(0, ""), "x"), 0);
  EXPECT_EQ(op->Cuantos("MsgBox"), 2);
}

TEST(Companion, DateAndFileDialogGoThroughTheOperator) {
  ui::OperadorGuionado::Instalado op;
  op->textos = {"01/03/2024", "/datos/base.mdb", ""};
  EXPECT_EQ(F().ElegirFecha(), "01/03/2024");

  DialogoArchivo d;
  d.TituloDialogo = "Buscar Base de Datos";
  d.Filtro = "Base de Datos de Microsoft Access |*.MDB";
  d.MostrarAbrir();
  EXPECT_EQ(d.NombreArchivo(), "/datos/base.mdb");
  EXPECT_EQ(d.Aceptado(), 0);  // a file was chosen: the caller goes on
  d.MostrarAbrir();
  EXPECT_EQ(d.NombreArchivo(), "");
  EXPECT_NE(d.Aceptado(), 0);  // cancelled: the caller stops
  EXPECT_EQ(op->pedidos[1].titulo, "Buscar Base de Datos");
  EXPECT_EQ(op->pedidos[1].texto, "Base de Datos de Microsoft Access |*.MDB");
}

TEST(Formulario, KeysAndControlIndex) {
  const Formulario& f = gFormulario();
  int k = 13;
  EXPECT_TRUE(f.TeclaAbajo(k));
  EXPECT_EQ(k, 0);
  k = 116;
  EXPECT_FALSE(f.TeclaAbajo(k));
  EXPECT_EQ(k, 116);

  struct Caso {
    int entra, sale;
  };
  const Caso casos[] = {{'a', 'a'}, {'Z', 'Z'}, {0xF1, 0xF1}, {13, 13}, {8, 8},  {22, 22},
                        {10, 10},   {9, 0},     {27, 0},      {2, 0},   {127, 0}};
  for (const auto& c : casos) {
    int ch = c.entra;
    f.TeclaPresionada("texto", ch);
    EXPECT_EQ(ch, c.sale) << c.entra;
  }

  const std::vector<std::string> campos = {"ProvDesde", "usuario",    "ProvHasta",  "FechaD",
                                           "FechaH",    "ENCABEZADO", "PIEDEPAGINA"};
  struct Indice {
    std::string nombre;
    int indice;
  };
  const Indice indices[] = {{"ProvDesde", 0},   {"Usuario", 1}, {"PROVHASTA", 2}, {"encabezado", 5},
                            {"piedepagina", 6}, {"Otro", -1},   {"", -1}};
  for (const auto& i : indices) EXPECT_EQ(f.IndiceControl(i.nombre, campos), i.indice) << i.nombre;
}

TEST(Companion, ObjectsLiveUntilReleased) {
  Funciones* a = &gFunciones();
  EXPECT_EQ(a, &gFunciones());
  LiberarCompanion();
  gFunciones();  // created again on first use after the release
  EXPECT_EQ(gEquipo().CarpetaTemporal().empty(), false);
}

}  // namespace
