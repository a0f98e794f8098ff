#include "platform/ui/operador.h"

#include <cmath>
#include <cstdlib>

namespace ui {

namespace {

// Without a screen there is nobody to ask: every question is cancelled and a window
// shown modally closes at once untouched.
class OperadorSinPantalla : public Operador {
 public:
  int MsgBox(const std::string&, int, const std::string&) override { return vbCancel; }
  std::string InputBox(const std::string&, const std::string&, const std::string&) override { return ""; }
  std::string ElegirFecha() override { return ""; }
  std::string AbrirArchivo(const std::string&, const std::string&, const std::string&) override { return ""; }
  void MostrarModal(VentanaModal&) override {}
  [[noreturn]] void FinPrograma(int codigo) override { std::exit(codigo); }
};

OperadorSinPantalla gDefecto;
Operador* gActual = &gDefecto;
double gDpi = 96.0;

}  // namespace

Operador& operador() { return *gActual; }

void InstalarOperador(Operador* o) { gActual = o ? o : &gDefecto; }

int TwipsAPixeles(int twips) {
  return static_cast<int>(std::lround(static_cast<double>(twips) * gDpi / 1440.0));
}

void FijarDpi(double dpi) { gDpi = dpi > 0 ? dpi : 96.0; }

}  // namespace ui
