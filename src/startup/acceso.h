#pragma once
// The usage log (one Control_Acceso row per run) and the shut-down.
#include <string>

// Looks up the task under which the user runs `programa` (the executable name when
// empty), inserts this run's Control_Acceso row and keeps its id in gIdAcceso. Sets
// gUsuarioLogeado to the connection's user first. Failing steps are skipped.
void RegistrarAcceso(const std::string& programa);
// Stamps the exit time into this run's row (only while it has none).
void RegistrarEgreso();
// One Control_Acceso row for something the program did on its own (Ingreso and Egreso
// both now), as a run's row is written. Failures are left silent: true when written.
bool RegistrarEvento(const std::string& formulario, const std::string& tarea);
// RegistrarEgreso, releases the shared objects and ends the program.
void CerrarSistema();
// CerrarSistema without the end of the program (for windows that end it themselves).
void CerrarSistemaSinSalir();

// The name under which a program's tasks are registered (alias table of the suite).
std::string NombreProgramaRegistrado(const std::string& programa);
