// The fuzz target's body on a few thousand random lines, so every test run exercises it.
#include <gtest/gtest.h>

#include <random>

#include "fuzz/lanzamiento.h"

TEST(LineaLanzamiento, LineasAlAzarNoRompenElLector) {
  std::mt19937 azar(20260521);
  // Pieces that make the reader take its interesting paths.
  const std::string piezas[] = {"@Server",
                                "@DbName",
                                "@Usuario",
                                "@UsuarioLogeado",
                                "@Password",
                                "@Caja",
                                "@Menu",
                                "@ParametroAdicional",
                                "=",
                                ";",
                                " ",
                                "vxqr@",
                                "ñ",
                                "\xff",
                                std::string(1, '\0'),
                                "/",
                                ":",
                                "\\",
                                "\xc3",
                                "á"};
  for (int i = 0; i < 4000; ++i) {
    std::string linea;
    const int n = static_cast<int>(azar() % 24);
    for (int k = 0; k < n; ++k) {
      if (azar() % 3 == 0)
        linea += static_cast<char>(azar() % 256);
      else
        linea += piezas[azar() % std::size(piezas)];
    }
    ProbarLineaLanzamiento(reinterpret_cast<const uint8_t*>(linea.data()), linea.size());
  }
  SUCCEED();
}
