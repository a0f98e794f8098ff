#include <gtest/gtest.h>

#include "companion/companion.h"
#include "platform/basic/regional.h"
#include "support/temp_dir.h"

namespace {

class Ini : public ::testing::Test {
 protected:
  TempDir t;
  ArchivoIni ini;
  void SetUp() override { ArchivoIni::FijarCarpeta(t.str()); }
  void TearDown() override { ArchivoIni::FijarCarpeta(""); }
};

TEST_F(Ini, ReadsSectionsAndKeysWhateverTheirCase) {
  // Stored as the suite writes it: Windows-1252, CR LF, file name in another case.
  WriteBytes(t / "TM440kv.INI",
             "; workstation\r\n"
             "[PC01|JUAN]\r\n"
             "FlatToolbars = 0 \r\n"
             "\r\n"
             "[pc01|juanBaseDeDatos]\r\n"
             "Servidor=SRV01\r\n"
             "DbName=Compa\xF1ia\r\n"
             "Vacio=\r\n"
             "Citado=\" con blancos \"\r\n"
             "[JUANStyles]\n"
             "Styles=3\n");
  struct Caso {
    std::string seccion, clave, esperado;
  };
  const Caso casos[] = {
      {"PC01|JUAN", "FlatToolbars", "0"},
      {"pc01|juan", "FLATTOOLBARS", "0"},
      {"PC01|JUANBaseDeDatos", "servidor", "SRV01"},
      {"PC01|JUANBASEDEDATOS", "DbName", "Compañia"},
      {"PC01|JUANBaseDeDatos", "Vacio", ""},  // present but empty: not the default
      {"PC01|JUANBaseDeDatos", "Citado", " con blancos "},
      {"juanstyles", "styles", "3"},                    // LF-only lines read too
      {"PC01|JUANBaseDeDatos", "FlatToolbars", "def"},  // key of another section
      {"PC01|JUAN", "Usuario", "def"},
      {"NoHay", "Servidor", "def"},
      {"", "Servidor", "def"},
  };
  for (const auto& c : casos)
    EXPECT_EQ(ini.LeerIni("tm440kv.ini", c.seccion, c.clave, "def"), c.esperado)
        << c.seccion << "/" << c.clave;
  // An absolute name is used as it stands (in any case too).
  EXPECT_EQ(ini.LeerIni(t / "tm440KV.ini", "PC01|JUAN", "FlatToolbars", "1"), "0");
}

TEST_F(Ini, MissingOrMalformedFilesGiveTheDefault) {
  EXPECT_EQ(ini.LeerIni("tm440kv.ini", "S", "K", "1"), "1");
  EXPECT_EQ(ini.LeerIni("", "S", "K", "1"), "1");
  static const char kRoto[] = "\0\xFF\r\n[S\r\nK=v\r\n=x\r\n[]\r\nsin igual\r\n[S]]\r\nK=w\r\n";
  WriteBytes(t / "roto.ini", std::string(kRoto, sizeof kRoto - 1) + std::string(5000, '['));
  EXPECT_EQ(ini.LeerIni("ROTO.INI", "S", "K", "d"), "v");  // "[S" with no "]" still names S
  EXPECT_EQ(ini.LeerIni("roto.ini", "S]", "K", "d"), "d");
  EXPECT_EQ(ini.LeerIni("roto.ini", "X", "K", "d"), "d");
  std::filesystem::create_directory(t.path() / "carpeta.ini");
  EXPECT_EQ(ini.LeerIni("carpeta.ini", "S", "K", "d"), "d");
}

TEST_F(Ini, GrabarIniKeepsTheRestAndReadsBack) {
  WriteBytes(t / "TM440kv.INI", "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
  EXPECT_TRUE(ini.GrabarIni("tm440kv.ini", "a", "X", "10"));       // replaced in place
  EXPECT_TRUE(ini.GrabarIni("tm440kv.ini", "A", "nueva", "año"));  // added to its section
  EXPECT_TRUE(ini.GrabarIni("tm440kv.ini", "C", "z", "3"));        // new section
  EXPECT_EQ(ReadBytes(t / "TM440kv.INI"),
            "[A]\r\nX=10\r\nnueva=a\xF1o\r\n\r\n[B]\r\ny=2\r\n\r\n[C]\r\nz=3\r\n");
  EXPECT_EQ(ini.LeerIni("TM440KV.INI", "a", "NUEVA", ""), "año");
  EXPECT_TRUE(ini.GrabarIni("otro.ini", "S", "k", "v"));  // created when missing
  EXPECT_EQ(ini.LeerIni("otro.ini", "s", "K", ""), "v");
}

TEST_F(Ini, GrabarIniKeepsAUtf8FileUtf8) {
  // Characters outside Windows-1252, and bytes that are no UTF-8 at all, stay as they were.
  const std::string resto = "[ODBC]\r\nDriver=Oracle \xE2\x86\x92 \xC5\x81\xFF\r\n";
  WriteBytes(t / "TM440kv.INI", "\xEF\xBB\xBF[Regional]\r\nFechaCorta=d/m/y\r\n" + resto);
  EXPECT_TRUE(ini.GrabarIni("tm440kv.ini", "Regional", "FechaCorta", "dd/mm/yyyy"));
  EXPECT_TRUE(ini.GrabarIni("tm440kv.ini", "Regional", "Hora", "hh:nn \xE2\x86\x92"));
  EXPECT_EQ(ReadBytes(t / "TM440kv.INI"),
            "\xEF\xBB\xBF[Regional]\r\nFechaCorta=dd/mm/yyyy\r\nHora=hh:nn \xE2\x86\x92\r\n" + resto);
  EXPECT_EQ(ini.LeerIni("tm440kv.ini", "ODBC", "Driver", ""), "Oracle \xE2\x86\x92 \xC5\x81\xFF");
}

TEST_F(Ini, RegionalOverridesComeFromTheIniFile) {
  const basic::Regional antes = basic::regional();
  WriteBytes(t / "tm440kv.ini", "[Regional]\r\nFechaCorta=mm/dd/yyyy\r\nSeparadorDecimal=.\r\n");
  CargarRegional(ini);
  EXPECT_EQ(basic::regional().fechaCorta, "mm/dd/yyyy");
  EXPECT_EQ(basic::regional().separadorDecimal, ".");
  EXPECT_EQ(basic::regional().hora, antes.hora);  // absent key keeps the default
  basic::regional() = antes;
}

TEST(Codificar, EncodedValuesSurviveAnIniFile) {
  TempDir t;
  ArchivoIni::FijarCarpeta(t.str());
  const std::string clave = "p=a;s, \"w\"ñ";
  ASSERT_TRUE(gArchivoIni().GrabarIni("TM440kv.INI", "PC|U", "UserPassWord", gFunciones().Codificar(clave)));
  EXPECT_EQ(gFunciones().Decodificar(gArchivoIni().LeerIni("tm440kv.ini", "pc|u", "userpassword",
                                                           gFunciones().Codificar("kumquat"))),
            clave);
  EXPECT_EQ(gFunciones().Decodificar(
                gArchivoIni().LeerIni("tm440kv.ini", "pc|u", "Usuario", gFunciones().Codificar("TesSera"))),
            "TesSera");
  ArchivoIni::FijarCarpeta("");
}

}  // namespace
