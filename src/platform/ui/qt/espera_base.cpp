#include "platform/ui/qt/espera_base.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <vector>

namespace ui {
namespace {

constexpr double kAntesDeMostrar = 1.0;  // seconds: shorter waits show nothing
constexpr int kFinMs = 300;              // no call for this long: the wait is over

struct Estado {
  QPointer<QDialog> aviso;
  QPointer<QTimer> fin;
  std::vector<QPointer<QWidget>> deshabilitadas;
  bool cancelado = false;
};

Estado& E() {
  static Estado e;
  return e;
}

void Terminar() {
  Estado& e = E();
  if (e.aviso) e.aviso->hide();
  for (const auto& w : e.deshabilitadas)
    if (w) w->setEnabled(true);
  e.deshabilitadas.clear();
  e.cancelado = false;
}

void Mostrar() {
  Estado& e = E();
  if (!e.aviso) {
    auto* d = new QDialog(
        nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    d->setObjectName("EsperaBase");
    d->setWindowTitle("Aviso al Usuario");
    auto* texto = new QLabel("Esperando la base de datos…\nOtro programa la tiene bloqueada.", d);
    auto* cancelar = new QPushButton("Cancelar", d);
    cancelar->setObjectName("cmdCancelarEspera");
    QObject::connect(cancelar, &QPushButton::clicked, d, [] { E().cancelado = true; });
    auto* botones = new QHBoxLayout;
    botones->addStretch();
    botones->addWidget(cancelar);
    auto* capa = new QVBoxLayout(d);
    capa->addWidget(texto);
    capa->addLayout(botones);
    e.aviso = d;
    auto* t = new QTimer(d);
    t->setSingleShot(true);
    QObject::connect(t, &QTimer::timeout, d, [] { Terminar(); });
    e.fin = t;
  }
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w == e.aviso || !w->isVisible() || !w->isEnabled()) continue;
    w->setEnabled(false);
    e.deshabilitadas.emplace_back(w);
  }
  e.aviso->show();
  e.aviso->raise();
}

}  // namespace

bool EsperarBaseQt(double segundos) {
  Estado& e = E();
  if (segundos < kAntesDeMostrar && !(e.aviso && e.aviso->isVisible())) return true;
  if (!(e.aviso && e.aviso->isVisible())) Mostrar();
  e.fin->start(kFinMs);
  if (e.cancelado) return false;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  return !e.cancelado;
}

QDialog* AvisoEsperaBase() {
  Estado& e = E();
  return e.aviso && e.aviso->isVisible() ? e.aviso.data() : nullptr;
}

}  // namespace ui
