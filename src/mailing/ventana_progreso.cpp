#include "mailing/ventana_progreso.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/ui/operador.h"

VentanaProgreso::VentanaProgreso(QWidget* parent) : QDialog(parent) {
  setObjectName("VentanaProgreso");
  setWindowTitle(QString::fromUtf8("Envío de órdenes de compra"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setMinimumWidth(ui::TwipsAPixeles(5400));

  lblOrden = new QLabel(this);
  lblOrden->setObjectName("lblOrden");
  lblProveedor = new QLabel(this);
  lblProveedor->setObjectName("lblProveedor");
  lblProveedor->setTextFormat(Qt::PlainText);
  Barra = new QProgressBar(this);
  Barra->setObjectName("Barra");
  Barra->setTextVisible(false);
  cmdCancelar = new QPushButton(QString::fromUtf8("Cancelar"), this);
  cmdCancelar->setObjectName("cmdCancelar");
  connect(cmdCancelar, &QPushButton::clicked, this, [this] { cmdCancelar_Click(); });

  auto* botones = new QHBoxLayout;
  botones->addStretch();
  botones->addWidget(cmdCancelar);
  auto* l = new QVBoxLayout(this);
  l->addWidget(lblOrden);
  l->addWidget(lblProveedor);
  l->addWidget(Barra);
  l->addLayout(botones);
}

void VentanaProgreso::Orden(int numero, int total, const std::string& proveedor) {
  if (!cancelada_) lblOrden->setText(QString::fromUtf8("Enviando orden %1 de %2").arg(numero).arg(total));
  lblProveedor->setText(QString::fromStdString(proveedor));
  Barra->setRange(0, total);
  Barra->setValue(numero - 1);
}

void VentanaProgreso::cmdCancelar_Click() {
  if (cancelada_) return;
  cancelada_ = true;
  // The order in hand is still finished: say so until the run ends.
  cmdCancelar->setEnabled(false);
  lblOrden->setText(QString::fromUtf8("Cancelando: se termina la orden en curso..."));
}

void VentanaProgreso::reject() { cmdCancelar_Click(); }
