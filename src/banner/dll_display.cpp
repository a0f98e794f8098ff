#include "banner/dll_display.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QString>

#include "banner/lbf_ctrldisplay.h"

Dll_Display::Dll_Display() = default;
Dll_Display::~Dll_Display() = default;

Lbf_CtrlDisplay& Dll_Display::Cargar() {
  if (!ventana_) ventana_ = std::make_unique<Lbf_CtrlDisplay>();
  return *ventana_;
}

void Dll_Display::CartelInicio(const std::string& Titulo, int16_t PermiteCancelar) {
  Lbf_CtrlDisplay& v = Cargar();
  v.setWindowTitle(QString::fromStdString(Titulo));
  v.CmdDisplayCancelar()->setVisible(PermiteCancelar != 0);
  v.show();
}

void Dll_Display::CartelMostrar(int16_t& Cancelado, const std::optional<basic::Variant>& Linea1,
                                const std::optional<basic::Variant>& Linea2,
                                const std::optional<basic::Variant>& Linea3) {
  Lbf_CtrlDisplay& v = Cargar();
  const std::optional<basic::Variant>* lineas[3] = {&Linea1, &Linea2, &Linea3};
  for (int i = 0; i < 3; ++i) {
    // Null and Empty give "" through Texto().
    if (lineas[i]->has_value()) v.LblCtrol(i)->setText(QString::fromStdString((*lineas[i])->Texto()));
  }
  v.repaint();
  Cancelado = v.CmdDisplayCancelar()->text() == QStringLiteral("Abortado") ? -1 : 0;
  QCoreApplication::processEvents();
}

void Dll_Display::CartelCerrar() {
  if (!ventana_) return;
  ventana_->hide();
  ventana_.reset();
}

void Dll_Display::SetSiempre_Visible(bool valor) { Cargar().FijarSiempreVisible(valor); }

namespace {
std::unique_ptr<Dll_Display> gDisplayCompartido;
}

Dll_Display& gDisplay() {
  if (!gDisplayCompartido) gDisplayCompartido = std::make_unique<Dll_Display>();
  return *gDisplayCompartido;
}

void LiberarDisplay() {
  if (!gDisplayCompartido) return;
  gDisplayCompartido->CartelCerrar();
  gDisplayCompartido.reset();
}
