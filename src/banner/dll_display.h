#pragma once
// The waiting banner: open it with a title, update up to three lines while a long task
// runs, ask whether the operator pressed "Cancelar", close it. Plain C++ for callers;
// the window behind it is Qt (lbf_ctrldisplay.h).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/basic/variant.h"

class Lbf_CtrlDisplay;

class Dll_Display {
 public:
  Dll_Display();
  ~Dll_Display();
  Dll_Display(const Dll_Display&) = delete;
  Dll_Display& operator=(const Dll_Display&) = delete;

  // Shows the banner without blocking; the cancel button is visible exactly when
  // PermiteCancelar is true (non-zero).
  void CartelInicio(const std::string& Titulo, int16_t PermiteCancelar);
  // Each value given becomes the text of its line (Null = empty); Cancelado = -1 once
  // the operator pressed the cancel button, else 0. Pending events run once.
  void CartelMostrar(int16_t& Cancelado, const std::optional<basic::Variant>& Linea1 = std::nullopt,
                     const std::optional<basic::Variant>& Linea2 = std::nullopt,
                     const std::optional<basic::Variant>& Linea3 = std::nullopt);
  // Hides and drops the window; the next CartelInicio makes a new one.
  void CartelCerrar();
  // Write-only: the always-on-top band.
  void SetSiempre_Visible(bool valor);

  // The window while it exists, else nullptr (for tests and callers that place it).
  Lbf_CtrlDisplay* Ventana() const { return ventana_.get(); }

 private:
  Lbf_CtrlDisplay& Cargar();
  std::unique_ptr<Lbf_CtrlDisplay> ventana_;
};

// The program-wide banner object, created on first use.
Dll_Display& gDisplay();
// Releases it (shut-down); safe to call when it was never created or twice.
void LiberarDisplay();
