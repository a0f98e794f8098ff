// The launch line's password, seen from outside: the real programs run with it and
// /proc/PID/cmdline shows it masked while the rest of the line stays readable.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "carpeta_demo.h"
#include "support/lanzar.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// The demo line split at blanks, as the suite's menu passes it unquoted.
const std::vector<std::string> kLinea = {"@Server=sqlite;", "@DbName=demo;", "@Usuario=admin;",
                                         "@Password=x;", "@UsuarioLogeado=ADMIN;"};

std::string LineaDeComandos(pid_t pid) {
  std::string s = ReadBytes("/proc/" + std::to_string(pid) + "/cmdline");
  for (char& c : s)
    if (c == '\0') c = ' ';
  return s;
}

// True once the process holds the database open (its start-up got past the connection);
// false when it ends first or the wait runs out.
bool TieneAbierta(pid_t pid, const std::string& archivo) {
  for (int intento = 0; intento < 600; ++intento) {
    if (waitpid(pid, nullptr, WNOHANG) != 0) return false;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec))
      if (fs::read_symlink(e.path(), ec) == archivo) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

class ClaveOcultaEnProceso : public ::testing::Test {
 protected:
  TempDir raiz;
  std::string app;
  pid_t pid = -1;

  void SetUp() override {
    app = raiz / "Compras OC";
    CrearCarpetaDemo(app);
  }
  void TearDown() override {
    if (pid > 0) {
      kill(pid, SIGKILL);
      Esperar(pid);
    }
  }

  void ComprobarLinea(const std::string& programa) {
    ASSERT_TRUE(TieneAbierta(pid, fs::canonical(app + "/demo.db"))) << programa;
    const std::string linea = LineaDeComandos(pid);
    EXPECT_EQ(linea.find("@Password=x;"), std::string::npos) << linea;
    EXPECT_NE(linea.find("@Password=*;"), std::string::npos) << linea;
    EXPECT_NE(linea.find("@Server=sqlite; @DbName=demo; @Usuario=admin;"), std::string::npos) << linea;
    EXPECT_NE(linea.find("@UsuarioLogeado=ADMIN;"), std::string::npos) << linea;
  }
};

// The main window's program, offscreen, from its own application folder.
TEST_F(ClaveOcultaEnProceso, Ocmail) {
  fs::copy_file(OCMAIL_PROGRAMA, app + "/ocmail");
  std::vector<std::string> args{app + "/ocmail"};
  args.insert(args.end(), kLinea.begin(), kLinea.end());
  pid = Lanzar(args, {{"QT_QPA_PLATFORM", "offscreen"}});
  ComprobarLinea("ocmail");
}

// The console, connected and waiting for statements on its input (a pipe kept open).
TEST_F(ClaveOcultaEnProceso, OcmailSql) {
  fs::copy_file(OCMAIL_SQL_PROGRAMA, app + "/ocmail-sql");
  std::string linea;
  for (const auto& a : kLinea) linea += (linea.empty() ? "" : " ") + a;
  int tubo[2];
  ASSERT_EQ(pipe(tubo), 0);
  const int entrada = dup(0);
  dup2(tubo[0], 0);
  pid = Lanzar({app + "/ocmail-sql", linea});
  dup2(entrada, 0);
  close(entrada);
  close(tubo[0]);
  ComprobarLinea("ocmail-sql");
  close(tubo[1]);
}

}  // namespace
