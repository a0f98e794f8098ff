#include "platform/basic/pasos.h"

namespace basic {

bool EjecutarPasos(const std::vector<FuncionPaso>& pasos, const Aviso& aviso) {
  for (size_t i = 0; i < pasos.size();) {
    try {
      if (pasos[i]() == Paso::Salir) return true;
      ++i;
    } catch (const ErrorEjecucion& e) {
      const int respuesta = aviso(e);
      if (respuesta == 4) continue;  // repeat the failed step
      if (respuesta == 5) {
        ++i;
        continue;
      }
      return false;
    }
  }
  return true;
}

void EjecutarIgnorando(const std::vector<FuncionPaso>& pasos) {
  for (const auto& paso : pasos) {
    try {
      if (paso() == Paso::Salir) return;
    } catch (const ErrorEjecucion&) {
    }
  }
}

}  // namespace basic
