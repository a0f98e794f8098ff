// The delivery journal on a real SMB share: two PCs (the bed's two mounts), each with its
// own name, appending at once lose no line (summaries rewritten meanwhile), and a list
// load through either PC reads every waiting mail.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/basic/diario_entregas.h"
#include "support/recurso_compartido.h"

namespace {

TEST(DiarioCompartido, TwoPcsAppendingAtOnceLoseNoLine) {
  RecursoCompartido banco;
  ASSERT_TRUE(banco.Listo()) << banco.Error();
  constexpr int kPorEquipo = 5000;
  std::vector<pid_t> hijos;
  for (const std::string& equipo : {std::string("PC-A"), std::string("PC-B")}) {
    const std::string entregas = (equipo == "PC-A" ? banco.A() : banco.B()) + "/CORREO/ENTREGAS.TXT";
    const pid_t pid = fork();
    if (pid == 0) {
      int fallos = 0;
      for (int i = 0; i < kPorEquipo; ++i) {
        const basic::LineaEntrega l{"2026-12-11 10:00:00",
                                    equipo + "-" + std::to_string(i) + ".html",
                                    "prov@example.com",
                                    basic::kEntregaPendiente,
                                    "421 4.3.2 Service not available",
                                    "<m@x>",
                                    equipo};
        fallos += !basic::AgregarAlDiarioDelEquipo(entregas, l, equipo);
      }
      _exit(fallos == 0 ? 0 : 1);
    }
    hijos.push_back(pid);
  }
  for (pid_t pid : hijos) {
    int estado = 0;
    waitpid(pid, &estado, 0);
    EXPECT_TRUE(WIFEXITED(estado) && WEXITSTATUS(estado) == 0);
  }
  for (const std::string& pc : {banco.A(), banco.B()}) {
    std::set<std::string> archivos;
    for (const auto& l : basic::LeerDiarios(pc + "/CORREO/ENTREGAS.TXT")) archivos.insert(l.archivo);
    EXPECT_EQ(archivos.size(), 2u * kPorEquipo) << pc;
    size_t lineas = 0;  // every line is in the month files
    for (const auto& t : basic::TramosDelDiario(pc + "/CORREO/ENTREGAS.TXT", true))
      if (t.ruta.find("RESUMEN") == std::string::npos) {
        std::string bytes;
        ASSERT_TRUE(basic::LeerTramo(t, bytes));
        lineas += basic::LeerDiario(bytes).size();
      }
    EXPECT_EQ(lineas, 2u * kPorEquipo) << pc;
  }
}

}  // namespace
