#pragma once
// The pending-order query of the main window: filters to statement text.
#include <string>

// The five filter values as the operator typed them (trimmed by the caller).
struct FiltrosPendientes {
  std::string provDesde;   // "ProvDesde"
  std::string provHasta;   // "ProvHasta"
  std::string usuario;     // "Usuario": prefix of the purchasing user
  std::string fechaDesde;  // "FechaD": a date in the short-date format, else no bound
  std::string fechaHasta;  // "FechaH"
};

// The filter text appended to the statement's WHERE. Each value goes between single
// quotes with its quotes doubled; a date field that does not hold a valid date adds
// nothing; a valid one goes in as the regional short date with a four-digit year, whatever
// separators and year digits were typed, so every road reads the same date.
std::string FiltroPendientes(const FiltrosPendientes& filtros);

// The statement that fills the list, ordered by supplier name. soloPendientes: only
// orders never mailed (the switch "Con envio de mail pendiente").
std::string ConsultaPendientes(const FiltrosPendientes& filtros, bool soloPendientes);
