// BASES.TXT lines and the desktop shortcut, without a window.
#include <gtest/gtest.h>

#include <filesystem>

#include "companion/companion.h"
#include "connection/acceso_directo.h"
#include "connection/bases.h"
#include "connection/soporte.h"
#include "support/temp_dir.h"

namespace {

TEST(Bases, KeyAndLineOfARegistration) {
  struct Caso {
    std::string base, servidor, clave;
  };
  for (const Caso& c : std::vector<Caso>{
           {"empresa", "srv1:1450", "EMPRESA / SRV1"},
           {" empresa ", " srv1 ", "EMPRESA / SRV1"},
           {"Compañía", "srv\\inst", "COMPAÑÍA / SRV\\INST"},
           {"demo", "srv:1:2", "DEMO / SRV"},
           {"", "", " / "},
       }) {
    EXPECT_EQ(ClaveBases(c.base, c.servidor), c.clave) << c.base << " " << c.servidor;
  }
  // The registered line keeps the server as typed, port included.
  EXPECT_EQ(LineaBases("EMPRESA / SRV1", "empresa", "empresa", "empresa", "srv1:1450"),
            "EMPRESA / SRV1,empresa,empresa," + gFunciones().Codificar("empresa") + ",srv1:1450");
  // A comma in a field would move every later field: it is quoted and reads back whole.
  const std::string linea = LineaBases("A,B / S", "a,b", "u", "p", "s");
  const RegistroBases r = LeerLineaBases(linea);
  EXPECT_EQ(r.clave, "A,B / S");
  EXPECT_EQ(r.base, "a,b");
  EXPECT_EQ(r.servidor, "s");
}

TEST(Bases, EveryFieldReadsBackAsWritten) {
  // Commas, quotes, and tabs at either end (an unquoted field loses them on reading).
  const std::string campos[] = {"s\t",   "\ts",    "\t",  "a\tb", "x \t",
                                "\"a\"", "a\"\"b", "a,b", ",",    "Compañía \t"};
  for (const std::string& c : campos) {
    const RegistroBases r = LeerLineaBases(LineaBases(c, c, c, "p", c));
    EXPECT_EQ(r.clave, c);
    EXPECT_EQ(r.base, c);
    EXPECT_EQ(r.usuario, c);
    EXPECT_EQ(r.servidor, c);
  }
}

TEST(Bases, LinesWithMissingOrExtraFields) {
  struct Caso {
    std::string linea;
    RegistroBases esperado;
  };
  for (const Caso& c : std::vector<Caso>{
           {"", {}},
           {"SOLO", {"SOLO", "", "", "", ""}},
           {"K / S,base", {"K / S", "base", "", "", ""}},
           {" K / S , base ,u,p, srv:1 ", {"K / S", "base", "u", "p", "srv:1"}},
           {"K,b,u,p,s,extra,mas", {"K", "b", "u", "p", "s"}},
           {",,,,", {}},
       }) {
    const RegistroBases r = LeerLineaBases(c.linea);
    EXPECT_EQ(r.clave, c.esperado.clave) << c.linea;
    EXPECT_EQ(r.base, c.esperado.base) << c.linea;
    EXPECT_EQ(r.usuario, c.esperado.usuario) << c.linea;
    EXPECT_EQ(r.password, c.esperado.password) << c.linea;
    EXPECT_EQ(r.servidor, c.esperado.servidor) << c.linea;
  }
}

TEST(Bases, FileIsReadAsWindows1252WithAnyLineEnd) {
  TempDir dir;
  WriteBytes(dir / "B.TXT", std::string("A\xD1O / S1,a\xF1o,u,p,s1\r\nB / S2,b\nC / S3,c"));
  const auto r = LeerBases(dir / "B.TXT");
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0].clave, "AÑO / S1");
  EXPECT_EQ(r[0].base, "año");
  EXPECT_EQ(r[1].base, "b");
  EXPECT_EQ(r[2].clave, "C / S3");
  EXPECT_TRUE(LeerBases(dir / "NO_EXISTE.TXT").empty());
}

TEST(AccesoDirecto, DesktopEntryEscapesTheProgramPath) {
  struct Caso {
    std::string programa, exec;
  };
  for (const Caso& c : std::vector<Caso>{
           {"/opt/suite/ocmail", "Exec=/opt/suite/ocmail"},
           {"/opt/mi suite/ocmail", "Exec=\"/opt/mi suite/ocmail\""},
           {"/opt/a$b/o%x", "Exec=\"/opt/a\\\\$b/o%%x\""},
           {"/opt/c\"d/o", "Exec=\"/opt/c\\\\\"d/o\""},
       }) {
    const std::string texto = ContenidoAccesoDirecto(c.programa, "/opt/icono.png");
    EXPECT_NE(texto.find("\n" + c.exec + "\n"), std::string::npos) << texto;
  }
  EXPECT_EQ(ContenidoAccesoDirecto("/opt/suite/ocmail", "/opt/suite/ocmail.png"),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Version=1.0\n"
            "Name=Relojero\n"
            "Exec=/opt/suite/ocmail\n"
            "Icon=/opt/suite/ocmail.png\n"
            "Terminal=false\n");
}

TEST(AccesoDirecto, DesktopFolderChoice) {
  TempDir dir;
  const std::string home = dir / "home";
  std::filesystem::create_directories(home);
  SistemaFijo sistema;
  os::InstalarSistema(&sistema);
  sistema.entorno = {{"HOME", home}};

  // Nothing known: ~/Desktop.
  EXPECT_EQ(CarpetaEscritorio(), home + "/Desktop");
  // A Spanish desktop that exists.
  std::filesystem::create_directories(home + "/Escritorio");
  EXPECT_EQ(CarpetaEscritorio(), home + "/Escritorio");
  // The user's own folder names win.
  std::filesystem::create_directories(home + "/.config");
  WriteBytes(home + "/.config/user-dirs.dirs",
             "# comentario\nXDG_DOCUMENTS_DIR=\"$HOME/Docs\"\nXDG_DESKTOP_DIR=\"$HOME/Mi Escritorio\"\n");
  EXPECT_EQ(CarpetaEscritorio(), home + "/Mi Escritorio");
  // The environment wins over everything.
  sistema.entorno["XDG_DESKTOP_DIR"] = dir / "otro";
  EXPECT_EQ(CarpetaEscritorio(), dir / "otro");
  // No home folder at all is a clear error.
  sistema.entorno.clear();
  EXPECT_THROW(CarpetaEscritorio(), ErrorEjecucion);
  os::InstalarSistema(nullptr);
}

}  // namespace
