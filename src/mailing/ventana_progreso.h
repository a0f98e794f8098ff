#pragma once
// The progress of a dispatch run over the main window: "Enviando orden i de n", the
// supplier, a bar and "Cancelar", which asks the run to stop after the order in hand. The
// run polls Cancelada() through OpcionesDespacho::cancelar; it never sees this window.
#include <QDialog>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

class VentanaProgreso : public QDialog {
  Q_OBJECT
 public:
  explicit VentanaProgreso(QWidget* parent);

  QLabel* lblOrden = nullptr;
  QLabel* lblProveedor = nullptr;
  QProgressBar* Barra = nullptr;
  QPushButton* cmdCancelar = nullptr;

  // Order `numero` (from 1) of `total` is being handed over.
  void Orden(int numero, int total, const std::string& proveedor);
  void cmdCancelar_Click();
  bool Cancelada() const { return cancelada_; }

 protected:
  // Escape and the close box cancel as the button does; the window stays until the run ends.
  void reject() override;

 private:
  bool cancelada_ = false;
};
