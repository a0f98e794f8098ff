#include <gtest/gtest.h>

#include <string>

#include "platform/basic/pasos.h"

using namespace basic;

namespace {

// Three steps; the second fails the first `fallas` times it runs.
struct Rutina {
  std::string huella;
  int fallas;
  std::vector<FuncionPaso> Pasos() {
    return {P([this] { huella += "1"; }), P([this] {
              huella += "2";
              if (fallas-- > 0) throw ErrorEjecucion(3021, "Registro inexistente");
            }),
            P([this] { huella += "3"; })};
  }
};

}  // namespace

TEST(Pasos, PromptAnswersDecideRetryContinueOrLeave) {
  struct Caso {
    int respuesta;
    int fallas;
    const char* huella;
    bool completa;
    int avisos;
  };
  const Caso casos[] = {
      {4, 2, "12223", true, 2},  // retry until the step succeeds
      {5, 1, "123", true, 1},    // go on with the next step
      {2, 1, "12", false, 1},    // cancel leaves
      {3, 1, "12", false, 1},    // abort leaves
  };
  for (const auto& c : casos) {
    Rutina r{"", c.fallas};
    int avisos = 0;
    long numero = 0;
    const bool completa = EjecutarPasos(r.Pasos(), [&](const ErrorEjecucion& e) {
      ++avisos;
      numero = e.Number;
      return c.respuesta;
    });
    EXPECT_EQ(r.huella, c.huella) << c.respuesta;
    EXPECT_EQ(completa, c.completa) << c.respuesta;
    EXPECT_EQ(avisos, c.avisos) << c.respuesta;
    EXPECT_EQ(numero, 3021);
  }
}

TEST(Pasos, AStepMayEndTheRoutine) {
  std::string huella;
  const bool completa = EjecutarPasos({P([&] { huella += "1"; }),
                                       [&] {
                                         huella += "2";
                                         return Paso::Salir;
                                       },
                                       P([&] { huella += "3"; })},
                                      [](const ErrorEjecucion&) { return 4; });
  EXPECT_TRUE(completa);
  EXPECT_EQ(huella, "12");
}

TEST(Pasos, IgnoringSkipsFailingSteps) {
  Rutina r{"", 5};
  EjecutarIgnorando(r.Pasos());
  EXPECT_EQ(r.huella, "123");
}
