#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "platform/basic/error.h"
#include "platform/os/procesos.h"
#include "platform/os/rutas.h"
#include "support/temp_dir.h"

namespace {

void Script(const std::string& ruta, const std::string& cuerpo) {
  WriteBytes(ruta, "#!/bin/sh\n" + cuerpo + "\n");
  chmod(ruta.c_str(), 0755);
}

TEST(Procesos, SplitsCommandLinesLikeTheSuite) {
  using V = std::vector<std::string>;
  struct Caso {
    std::string linea;
    V args;
  };
  const Caso casos[] = {
      {"/app/TSPOST.EXE /app/cfgMail.txt ;vxqr@", {"/app/TSPOST.EXE", "/app/cfgMail.txt", ";vxqr@"}},
      {"  a   b  ", {"a", "b"}},
      {"\"C:/Mis programas/x.exe\" \"uno dos\" tres", {"C:/Mis programas/x.exe", "uno dos", "tres"}},
      {"a \"\" b", {"a", "", "b"}},
      {"pre\"fijo con\"blanco", {"prefijo conblanco"}},
      {"", {}},
  };
  for (const auto& c : casos) EXPECT_EQ(os::DividirLineaComandos(c.linea), c.args) << c.linea;
}

TEST(Procesos, ExeNameRunsTheProgramWithoutExtensionAndGivesItsExitCode) {
  TempDir t;
  Script(t / "prog", "echo \"$1|$2\" > \"" + (t / "salida.txt") + "\"; exit 7");
  EXPECT_EQ(os::procesos().EjecutarYEsperar(t / "PROG.EXE" + " \"a b\" c", 1), 7);
  EXPECT_EQ(ReadBytes(t / "salida.txt"), "a b|c\n");
  EXPECT_EQ(os::procesos().EjecutarYEsperar(t / "prog", 1), 7);
  EXPECT_EQ(os::procesos().EjecutarYEsperar(t / "Prog.exe", 1), 7);
}

TEST(Procesos, BareNamesAreLookedUpInTheApplicationFolder) {
  TempDir t;
  Script(t / "Hermano", "exit 3");
  os::FijarCarpetaAplicacion(t.str());
  EXPECT_EQ(os::procesos().EjecutarYEsperar("HERMANO.EXE", 0), 3);
  os::FijarCarpetaAplicacion("");
  // Bare names also come from PATH.
  EXPECT_EQ(os::procesos().EjecutarYEsperar("true", 0), 0);
}

TEST(Procesos, MissingProgramRaisesError53) {
  TempDir t;
  for (const std::string& linea :
       {t / "NOHAY.EXE arg", std::string("ocmail_no_existe_xyz"), std::string("\"\"")}) {
    try {
      os::procesos().Iniciar(linea, 1);
      ADD_FAILURE() << linea;
    } catch (const ErrorEjecucion& e) {
      EXPECT_EQ(e.Number, 53) << linea;
      EXPECT_EQ(e.Description, "No se encontró el archivo");
    }
  }
  EXPECT_THROW(os::procesos().EjecutarYEsperar(t / "falta", 0), ErrorEjecucion);
}

TEST(Procesos, DetachedProgramRunsOnAndIsReaped) {
  TempDir t;
  Script(t / "hijo", "echo hecho > \"" + (t / "marca") + "\"");
  const long pid = os::procesos().Iniciar(t / "HIJO.EXE", 1);
  EXPECT_GT(pid, 0);
  // Wait (bounded) for the child to end; the reaper clears it so Vive turns false.
  for (int i = 0; i < 500 && os::procesos().Vive(pid); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(os::procesos().Vive(pid));
  EXPECT_EQ(ReadBytes(t / "marca"), "hecho\n");
}

}  // namespace
