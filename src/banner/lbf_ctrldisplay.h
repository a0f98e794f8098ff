#pragma once
// The banner window: three centred lines, an animated picture and a cancel button on a
// white, borderless, translucent window. Driven by Dll_Display; tests drive it directly.
#include <QPixmap>
#include <QWidget>
#include <array>
#include <cstdint>
#include <vector>

class QLabel;
class QPushButton;
class QTimer;

class Lbf_CtrlDisplay : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kCuadros = 12;  // frames of the animation
  static constexpr int kIntervaloMs = 100;

  explicit Lbf_CtrlDisplay(QWidget* parent = nullptr);
  ~Lbf_CtrlDisplay() override;

  QLabel* LblCtrol(int i) const { return lblCtrol_.at(static_cast<size_t>(i)); }
  QPushButton* CmdDisplayCancelar() const { return cmdCancelar_; }
  QLabel* Image1() const { return image1_; }
  QTimer* Timer1() const { return timer1_; }
  const std::vector<QPixmap>& ImageList1() const { return imageList1_; }
  // Frame counter (0..11) and the 1-based number of the image shown.
  int16_t Contador() const { return contador_; }
  int ImagenMostrada() const { return imagenMostrada_; }

  // Always-on-top band; keeps position and size and the visible state.
  void FijarSiempreVisible(bool siempre);

  // Draws frame n (0..11) of the animation at the given size.
  static QPixmap DibujarCuadro(int n, QSize tamano);

 public slots:
  void Timer1_Timer();
  void CmdDisplayCancelar_Click();

 private:
  void Form_Load();
  void MostrarImagen(int numero);

  std::array<QLabel*, 3> lblCtrol_{};
  QLabel* image1_ = nullptr;
  QPushButton* cmdCancelar_ = nullptr;
  QTimer* timer1_ = nullptr;
  std::vector<QPixmap> imageList1_;
  int16_t contador_ = 0;
  int imagenMostrada_ = 0;
};
