#pragma once
// Starting other programs without a shell. A command-line text is split as the suite's
// platform splits it (blanks separate, double quotes group); "X.EXE" runs "X" when only
// that exists, found without regard to case. Tests install their own Procesos.
#include <string>
#include <vector>

namespace os {

// Window styles are accepted for compatibility and ignored for programs without windows.
enum EstiloVentana : int {
  vbHide = 0,
  vbNormalFocus = 1,
  vbMinimizedFocus = 2,
  vbMaximizedFocus = 3,
  vbNormalNoFocus = 4,
  vbMinimizedNoFocus = 6
};

class Procesos {
 public:
  virtual ~Procesos() = default;
  // Starts detached and returns the process id; raises ErrorEjecucion 53
  // ("No se encontró el archivo") when the program does not exist.
  virtual long Iniciar(const std::string& lineaComandos, int estilo);
  // Starts and waits; returns the exit code. Same errors as Iniciar.
  virtual int EjecutarYEsperar(const std::string& lineaComandos, int estilo);
  // True while a process started by Iniciar still runs.
  virtual bool Vive(long pid);
};

Procesos& procesos();
void InstalarProcesos(Procesos* p);  // not owned; nullptr restores the real one

// The command-line text split into arguments.
std::vector<std::string> DividirLineaComandos(const std::string& linea);

}  // namespace os
