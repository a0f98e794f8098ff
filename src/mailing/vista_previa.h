#pragma once
// "&Ver": the checked orders on screen through the report "OCMAIL", one report for all of
// them, in the report engine's preview window. Nothing is written anywhere.
#include <string>
#include <vector>

#include "mailing/despacho.h"

// The selection formula over V_OC_pendientes: one group per checked row, in list order,
// joined with " OR "; with `conEnvioPendiente` the suffix
// " and isnull({V_OC_pendientes.fechaenviomail})" once at the end (it binds to the last
// group only). Quotes inside the values are doubled. `marcado` tells whether a row was
// checked.
std::string FormulaVistaPrevia(const std::vector<FilaDespacho>& filas, bool conEnvioPendiente,
                               bool* marcado = nullptr);

// The preview as the window runs it, on the rows and the switch it holds.
struct VistaPrevia {
  std::vector<FilaDespacho> filas;
  bool conEnvioPendiente = true;

  // Destino = DestinoVentana, then Aceptar. A failure of the report engine is shown to
  // the operator; nothing leaves this call.
  void CmbVer_Click();
  // Runs "OCMAIL" with the formula, or tells the operator that nothing is checked.
  // Returns true when the report ran. Failures of the engine go to the caller.
  bool Aceptar();
};
