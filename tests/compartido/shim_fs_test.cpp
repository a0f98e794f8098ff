// The preload library that simulates file systems without hard links or with NFSv4's lock
// rules: each variable, each call, and the path limit, on a one-call program.
#include <gtest/gtest.h>

#include <QProcess>
#include <map>
#include <string>

#include "support/temp_dir.h"

namespace {

// What `shim_fs_prueba OP FILE MODE` prints under the library with `variables`.
std::string Resultado(const std::map<std::string, std::string>& variables, const std::string& op,
                      const std::string& archivo, const std::string& modo) {
  QProcess p;
  QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
  entorno.insert("LD_PRELOAD", OCMAIL_SHIM_FS);
  for (const auto& [k, v] : variables) entorno.insert(QString::fromStdString(k), QString::fromStdString(v));
  p.setProcessEnvironment(entorno);
  p.start(SHIM_FS_PRUEBA,
          {QString::fromStdString(op), QString::fromStdString(archivo), QString::fromStdString(modo)});
  p.waitForFinished(-1);
  return p.readAllStandardOutput().trimmed().toStdString() + p.readAllStandardError().trimmed().toStdString();
}

TEST(ShimFs, EachVariableTakesAwayWhatItNames) {
  TempDir dir;
  const std::string archivo = dir / "cfgMail.txt";
  WriteBytes(archivo, "x");
  const std::string otra = dir / "otra";
  struct Caso {
    std::map<std::string, std::string> variables;
    const char *op, *modo, *esperado;
  };
  const Caso casos[] = {
      // Loaded with nothing asked, every call is the real one.
      {{}, "link", "r", "0"},
      {{}, "flock-ex", "r", "0"},
      {{{"OCMAIL_SHIM_SIN_LINK", "1"}}, "link", "r", "EPERM"},
      {{{"OCMAIL_SHIM_SIN_LINK", "1"}}, "linkat", "r", "EPERM"},
      {{{"OCMAIL_SHIM_SIN_LINK", "1"}, {"OCMAIL_SHIM_RUTA", otra}}, "link", "r", "0"},
      {{{"OCMAIL_SHIM_SIN_LINK", "1"}, {"OCMAIL_SHIM_RUTA", dir.str()}}, "linkat", "r", "EPERM"},
      {{{"OCMAIL_SHIM_SIN_LINK", "1"}}, "flock-ex", "r", "0"},
      // NFSv4: exclusive needs a descriptor open for writing, shared one open for reading.
      {{{"OCMAIL_SHIM_NFS", "1"}}, "flock-ex", "r", "EBADF"},
      {{{"OCMAIL_SHIM_NFS", "1"}}, "flock-ex", "rw", "0"},
      {{{"OCMAIL_SHIM_NFS", "1"}}, "flock-sh", "r", "0"},
      {{{"OCMAIL_SHIM_NFS", "1"}}, "flock-sh", "w", "EBADF"},
      {{{"OCMAIL_SHIM_NFS", "1"}}, "setlk-wr", "r", "EBADF"},
      {{{"OCMAIL_SHIM_NFS", "1"}}, "setlk-wr", "w", "0"},
      {{{"OCMAIL_SHIM_NFS", "1"}}, "ofd-wr", "r", "EBADF"},
      {{{"OCMAIL_SHIM_NFS", "1"}}, "ofd-wr", "rw", "0"},
      {{{"OCMAIL_SHIM_NFS", "1"}}, "lockf", "rw", "0"},
      {{{"OCMAIL_SHIM_NFS", "1"}}, "link", "r", "0"},
      {{{"OCMAIL_SHIM_NFS", "1"}, {"OCMAIL_SHIM_RUTA", otra}}, "flock-ex", "r", "0"},
      {{{"OCMAIL_SHIM_NFS", "1"}, {"OCMAIL_SHIM_RUTA", dir.str()}}, "flock-ex", "r", "EBADF"},
      // No locks at all.
      {{{"OCMAIL_SHIM_SIN_LOCK", "1"}}, "flock-ex", "rw", "ENOLCK"},
      {{{"OCMAIL_SHIM_SIN_LOCK", "1"}}, "flock-sh", "r", "ENOLCK"},
      {{{"OCMAIL_SHIM_SIN_LOCK", "1"}}, "setlk-wr", "rw", "ENOLCK"},
      {{{"OCMAIL_SHIM_SIN_LOCK", "1"}}, "setlk-rd", "rw", "ENOLCK"},
      {{{"OCMAIL_SHIM_SIN_LOCK", "1"}}, "setlkw-wr", "rw", "ENOLCK"},
      {{{"OCMAIL_SHIM_SIN_LOCK", "1"}}, "ofd-wr", "rw", "ENOLCK"},
      {{{"OCMAIL_SHIM_SIN_LOCK", "1"}}, "ofdw-wr", "rw", "ENOLCK"},
      {{{"OCMAIL_SHIM_SIN_LOCK", "1"}}, "lockf", "rw", "ENOLCK"},
      {{{"OCMAIL_SHIM_SIN_LOCK", "1"}, {"OCMAIL_SHIM_RUTA", otra}}, "setlk-wr", "rw", "0"},
  };
  for (const auto& c : casos) {
    std::string vars;
    for (const auto& [k, v] : c.variables) vars += k + "=" + v + " ";
    SCOPED_TRACE(vars + c.op + " " + c.modo);
    EXPECT_EQ(Resultado(c.variables, c.op, archivo, c.modo), c.esperado);
  }
}

}  // namespace
