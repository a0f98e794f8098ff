#include "banner/lbf_ctrldisplay.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cmath>

#include "platform/ui/operador.h"

namespace {

QRect Twips(int left, int top, int width, int height) {
  return QRect(ui::TwipsAPixeles(left), ui::TwipsAPixeles(top), ui::TwipsAPixeles(width),
               ui::TwipsAPixeles(height));
}

void FondoBlanco(QWidget* w) {
  QPalette p = w->palette();
  p.setColor(QPalette::Window, Qt::white);
  p.setColor(QPalette::Button, Qt::white);
  p.setColor(QPalette::Base, Qt::white);
  w->setPalette(p);
  w->setAutoFillBackground(true);
}

}  // namespace

Lbf_CtrlDisplay::Lbf_CtrlDisplay(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName("Lbf_CtrlDisplay");
  setWindowTitle("Procesando Datos");
  FondoBlanco(this);
  setFixedSize(ui::TwipsAPixeles(7845), ui::TwipsAPixeles(2970));

  QFont letra("MS Sans Serif", 12, QFont::Bold);
  letra.setStyleHint(QFont::SansSerif);
  const int tops[3] = {240, 600, 960};
  for (int i = 0; i < 3; ++i) {
    auto* l = new QLabel(this);
    l->setObjectName(QString("LblCtrol_%1").arg(i));
    l->setGeometry(Twips(0, tops[i], 7815, 255));
    l->setAlignment(Qt::AlignCenter);
    l->setFont(letra);
    FondoBlanco(l);
    lblCtrol_[static_cast<size_t>(i)] = l;
  }

  image1_ = new QLabel(this);
  image1_->setObjectName("Image1");
  image1_->setGeometry(Twips(3480, 1320, 1095, 975));
  image1_->setAlignment(Qt::AlignCenter);
  FondoBlanco(image1_);

  // The twelve frames, drawn once at the picture's size.
  const int lado = std::min(image1_->width(), image1_->height());
  imageList1_.reserve(kCuadros);
  for (int i = 0; i < kCuadros; ++i) imageList1_.push_back(DibujarCuadro(i, QSize(lado, lado)));

  cmdCancelar_ = new QPushButton(this);
  cmdCancelar_->setObjectName("CmdDisplayCancelar");
  cmdCancelar_->setGeometry(Twips(3120, 2400, 1695, 375));
  FondoBlanco(cmdCancelar_);
  connect(cmdCancelar_, &QPushButton::clicked, this, &Lbf_CtrlDisplay::CmdDisplayCancelar_Click);

  timer1_ = new QTimer(this);
  timer1_->setObjectName("Timer1");
  timer1_->setInterval(kIntervaloMs);
  connect(timer1_, &QTimer::timeout, this, &Lbf_CtrlDisplay::Timer1_Timer);

  Form_Load();
  timer1_->start();
}

Lbf_CtrlDisplay::~Lbf_CtrlDisplay() = default;

void Lbf_CtrlDisplay::Form_Load() {
  if (QScreen* pantalla = QGuiApplication::primaryScreen()) {
    const QRect r = pantalla->geometry();
    move(r.left() + (r.width() - width()) / 2, r.top() + (r.height() - height()) / 2);
  }
  cmdCancelar_->setText("&Cancelar");
  MostrarImagen(1);
  // 200 of 255: translucent where the platform composes windows, ignored elsewhere.
  setWindowOpacity(200.0 / 255.0);
}

void Lbf_CtrlDisplay::MostrarImagen(int numero) {
  if (numero < 1 || numero > static_cast<int>(imageList1_.size())) return;
  imagenMostrada_ = numero;
  image1_->setPixmap(imageList1_[static_cast<size_t>(numero - 1)]);
}

void Lbf_CtrlDisplay::Timer1_Timer() {
  contador_ = static_cast<int16_t>(contador_ + 1);
  MostrarImagen(contador_);
  if (contador_ >= kCuadros) contador_ = 0;
}

void Lbf_CtrlDisplay::CmdDisplayCancelar_Click() { cmdCancelar_->setText("Abortado"); }

void Lbf_CtrlDisplay::FijarSiempreVisible(bool siempre) {
  if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == siempre) return;
  const bool visible = isVisible();
  const QPoint pos = this->pos();
  // Changing a window flag hides the window; show it again where it was.
  setWindowFlag(Qt::WindowStaysOnTopHint, siempre);
  move(pos);
  if (visible) show();
}

QPixmap Lbf_CtrlDisplay::DibujarCuadro(int n, QSize tamano) {
  QPixmap pm(tamano);
  pm.fill(Qt::white);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF centro(tamano.width() / 2.0, tamano.height() / 2.0);
  const double radio = std::min(tamano.width(), tamano.height()) / 2.0 - 3.0;
  const double pi = std::acos(-1.0);

  // Dial.
  p.setPen(QPen(QColor(200, 208, 220), 2.0));
  p.setBrush(QColor(246, 248, 252));
  p.drawEllipse(centro, radio, radio);

  // Twelve marks; the current one bright, the four before it fading behind.
  for (int i = 0; i < kCuadros; ++i) {
    const double ang = (i * 30.0 - 90.0) * pi / 180.0;
    const QPointF punto(centro.x() + std::cos(ang) * radio * 0.78, centro.y() + std::sin(ang) * radio * 0.78);
    const int atras = (n - i + kCuadros) % kCuadros;
    QColor c(31, 95, 168);
    double r = radio * 0.07;
    if (atras == 0) {
      r = radio * 0.12;
    } else if (atras <= 4) {
      c.setAlpha(220 - atras * 40);
      r = radio * (0.12 - atras * 0.012);
    } else {
      c = QColor(190, 198, 212);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(punto, r, r);
  }

  // The hand, pointing at the current mark.
  const double ang = (n * 30.0 - 90.0) * pi / 180.0;
  p.setPen(QPen(QColor(31, 95, 168), std::max(2.0, radio * 0.06), Qt::SolidLine, Qt::RoundCap));
  p.drawLine(centro,
             QPointF(centro.x() + std::cos(ang) * radio * 0.55, centro.y() + std::sin(ang) * radio * 0.55));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(31, 95, 168));
  p.drawEllipse(centro, radio * 0.08, radio * 0.08);
  return pm;
}
