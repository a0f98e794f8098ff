#include "platform/ui/qt/operador_qt.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/basic/fecha.h"
#include "platform/basic/formato.h"
#include "platform/basic/regional.h"

namespace ui {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QString Titulo(const std::string& titulo) {
  return titulo.empty() ? QApplication::applicationName() : Q(titulo);
}

struct Boton {
  QMessageBox::StandardButton qt;
  int respuesta;
};

std::vector<Boton> BotonesDeEstilo(int botones) {
  using B = QMessageBox;
  switch (botones) {
    case vbOKCancel: return {{B::Ok, vbOK}, {B::Cancel, vbCancel}};
    case vbAbortRetryIgnore: return {{B::Abort, vbAbort}, {B::Retry, vbRetry}, {B::Ignore, vbIgnore}};
    case vbYesNoCancel: return {{B::Yes, vbYes}, {B::No, vbNo}, {B::Cancel, vbCancel}};
    case vbYesNo: return {{B::Yes, vbYes}, {B::No, vbNo}};
    case vbRetryCancel: return {{B::Retry, vbRetry}, {B::Cancel, vbCancel}};
    default: return {{B::Ok, vbOK}};
  }
}

}  // namespace

int OperadorQt::MsgBox(const std::string& texto, int estilo, const std::string& titulo) {
  QMessageBox caja(QApplication::activeWindow());
  caja.setWindowTitle(Titulo(titulo));
  caja.setText(Q(texto));
  switch (estilo & 0x70) {
    case vbCritical: caja.setIcon(QMessageBox::Critical); break;
    case vbQuestion: caja.setIcon(QMessageBox::Question); break;
    case vbExclamation: caja.setIcon(QMessageBox::Warning); break;
    case vbInformation: caja.setIcon(QMessageBox::Information); break;
    default: break;
  }
  const auto botones = BotonesDeEstilo(estilo & 0x0F);
  QMessageBox::StandardButtons conjunto;
  for (const auto& b : botones) conjunto |= b.qt;
  caja.setStandardButtons(conjunto);
  // Spanish captions whatever the installed translations.
  for (const auto& b : botones) {
    const char* rotulo = nullptr;
    switch (b.respuesta) {
      case vbOK: rotulo = "Aceptar"; break;
      case vbCancel: rotulo = "Cancelar"; break;
      case vbAbort: rotulo = "&Anular"; break;
      case vbRetry: rotulo = "&Reintentar"; break;
      case vbIgnore: rotulo = "&Omitir"; break;
      case vbYes: rotulo = "&Sí"; break;
      case vbNo: rotulo = "&No"; break;
    }
    if (auto* p = caja.button(b.qt); p && rotulo) p->setText(QString::fromUtf8(rotulo));
  }
  const size_t porDefecto = static_cast<size_t>((estilo >> 8) & 3);
  caja.setDefaultButton(botones[porDefecto < botones.size() ? porDefecto : 0].qt);
  // Escape answers Cancel where there is one; a single OK answers OK.
  for (const auto& b : botones)
    if (b.respuesta == vbCancel || botones.size() == 1) caja.setEscapeButton(b.qt);
  caja.exec();
  const auto pulsado = caja.standardButton(caja.clickedButton());
  for (const auto& b : botones)
    if (b.qt == pulsado) return b.respuesta;
  return botones.size() == 1 ? vbOK : vbCancel;
}

std::string OperadorQt::InputBox(const std::string& texto, const std::string& titulo,
                                 const std::string& defecto) {
  bool ok = false;
  const QString r = QInputDialog::getText(QApplication::activeWindow(), Titulo(titulo), Q(texto),
                                          QLineEdit::Normal, Q(defecto), &ok);
  return ok ? r.toStdString() : std::string();
}

std::string OperadorQt::ElegirFecha() {
  QDialog d(QApplication::activeWindow());
  d.setWindowTitle(QString::fromUtf8("Fecha"));
  auto* cal = new QCalendarWidget(&d);
  cal->setGridVisible(true);
  cal->setSelectedDate(QDate::currentDate());
  auto* bb = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &d);
  bb->button(QDialogButtonBox::Ok)->setText(QString::fromUtf8("Aceptar"));
  bb->button(QDialogButtonBox::Cancel)->setText(QString::fromUtf8("Cancelar"));
  auto* l = new QVBoxLayout(&d);
  l->addWidget(cal);
  l->addWidget(bb);
  QObject::connect(bb, &QDialogButtonBox::accepted, &d, &QDialog::accept);
  QObject::connect(bb, &QDialogButtonBox::rejected, &d, &QDialog::reject);
  QObject::connect(cal, &QCalendarWidget::activated, &d, &QDialog::accept);
  if (d.exec() != QDialog::Accepted) return "";
  const QDate f = cal->selectedDate();
  return basic::FormatFecha(basic::DateSerial(f.year(), f.month(), f.day()), basic::regional().fechaCorta);
}

std::string OperadorQt::AbrirArchivo(const std::string& titulo, const std::string& filtro,
                                     const std::string& carpeta) {
  const QString r = QFileDialog::getOpenFileName(QApplication::activeWindow(), Titulo(titulo), Q(carpeta),
                                                 FiltroQt(filtro));
  return r.toStdString();
}

void OperadorQt::MostrarModal(VentanaModal& ventana) { ventana.EjecutarModal(); }

void OperadorQt::FinPrograma(int codigo) {
  std::fflush(nullptr);
  std::_Exit(codigo);
}

void InstalarOperadorQt() {
  static OperadorQt operadorQt;
  InstalarOperador(&operadorQt);
  if (auto* pantalla = QGuiApplication::primaryScreen()) FijarDpi(pantalla->logicalDotsPerInch());
}

QString FiltroQt(const std::string& filtro) {
  const QStringList partes = Q(filtro).split('|');
  QStringList salida;
  for (qsizetype i = 0; i + 1 < partes.size(); i += 2) {
    QStringList patrones;
    for (QString p : partes[i + 1].split(';', Qt::SkipEmptyParts)) {
      p = p.trimmed();
      if (p.isEmpty()) continue;
      if (p == "*.*") p = "*";
      for (const QString& v : {p, p.toLower(), p.toUpper()})
        if (!patrones.contains(v)) patrones << v;
    }
    if (patrones.isEmpty()) continue;
    salida << partes[i].trimmed() + " (" + patrones.join(' ') + ")";
  }
  return salida.join(";;");
}

QWidget* MoverFocoSiguiente(QWidget* desde) {
  if (!desde) return nullptr;
  QWidget* ventana = desde->window();
  for (QWidget* w = desde->nextInFocusChain(); w && w != desde; w = w->nextInFocusChain()) {
    if (w->window() != ventana || !(w->focusPolicy() & Qt::TabFocus)) continue;
    if (!w->isEnabled() || !w->isVisibleTo(ventana)) continue;
    if (w->focusProxy()) continue;
    w->setFocus(Qt::TabFocusReason);
    return w;
  }
  return nullptr;
}

}  // namespace ui
