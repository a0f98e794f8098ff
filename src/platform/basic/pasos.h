#pragma once
// The two error behaviours of the suite's routines, written once.
//
// (a) EjecutarPasos: the steps run in order; when one raises ErrorEjecucion the prompt
//     is asked: 4 repeats the failed step, 5 goes on with the next, anything else leaves.
// (b) EjecutarIgnorando: a failing step is skipped and the next one runs.
//
// A step may end the routine early by returning Paso::Salir.
#include <functional>
#include <vector>

#include "platform/basic/error.h"

namespace basic {

enum class Paso { Seguir, Salir };
using FuncionPaso = std::function<Paso()>;
using Aviso = std::function<int(const ErrorEjecucion&)>;

// Wraps a step that never ends the routine early.
inline FuncionPaso P(std::function<void()> f) {
  return [f = std::move(f)] {
    f();
    return Paso::Seguir;
  };
}

// Returns true when every step ran to its end (or a step asked to leave);
// false when the routine was left from the prompt.
bool EjecutarPasos(const std::vector<FuncionPaso>& pasos, const Aviso& aviso);
void EjecutarIgnorando(const std::vector<FuncionPaso>& pasos);

}  // namespace basic
