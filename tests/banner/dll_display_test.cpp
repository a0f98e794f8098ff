#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "banner/dll_display.h"
#include "banner/lbf_ctrldisplay.h"

namespace {

QString Linea(const Dll_Display& d, int i) { return d.Ventana()->LblCtrol(i)->text(); }

TEST(Banner, LinesChangeOnlyWhereAValueIsGivenAndNullClears) {
  Dll_Display d;
  d.CartelInicio("Exportando", -1);
  ASSERT_NE(d.Ventana(), nullptr);
  EXPECT_EQ(d.Ventana()->windowTitle(), "Exportando");
  EXPECT_TRUE(d.Ventana()->isVisible());

  int16_t cancelado = 99;
  d.CartelMostrar(cancelado, basic::Variant("uno"), basic::Variant("dos"), basic::Variant(int32_t{3}));
  EXPECT_EQ(cancelado, 0);
  EXPECT_EQ(Linea(d, 0), "uno");
  EXPECT_EQ(Linea(d, 1), "dos");
  EXPECT_EQ(Linea(d, 2), "3");

  d.CartelMostrar(cancelado, std::nullopt, basic::Variant("segunda"));
  EXPECT_EQ(Linea(d, 0), "uno");
  EXPECT_EQ(Linea(d, 1), "segunda");
  EXPECT_EQ(Linea(d, 2), "3");

  d.CartelMostrar(cancelado, basic::Variant::Null());
  EXPECT_EQ(Linea(d, 0), "");
  EXPECT_EQ(Linea(d, 1), "segunda");
}

TEST(Banner, CancelIsSeenByEveryLaterCallUntilClosed) {
  Dll_Display d;
  d.CartelInicio("Procesando", -1);
  QPushButton* boton = d.Ventana()->CmdDisplayCancelar();
  EXPECT_EQ(boton->text(), "&Cancelar");
  EXPECT_FALSE(boton->isHidden());

  int16_t cancelado = 0;
  d.CartelMostrar(cancelado);
  EXPECT_EQ(cancelado, 0);
  boton->click();
  EXPECT_EQ(boton->text(), "Abortado");
  d.CartelMostrar(cancelado, basic::Variant("a"));
  EXPECT_EQ(cancelado, -1);
  d.CartelMostrar(cancelado);
  EXPECT_EQ(cancelado, -1);

  // Closing drops the window: the next banner starts fresh.
  d.CartelCerrar();
  EXPECT_EQ(d.Ventana(), nullptr);
  d.CartelInicio("Otra vez", -1);
  d.CartelMostrar(cancelado);
  EXPECT_EQ(cancelado, 0);
  EXPECT_EQ(Linea(d, 0), "");
}

TEST(Banner, WithoutCancelTheButtonIsHiddenAndNeverCancels) {
  Dll_Display d;
  d.CartelInicio("Sin cancelar", 0);
  EXPECT_TRUE(d.Ventana()->CmdDisplayCancelar()->isHidden());
  int16_t cancelado = 5;
  d.CartelMostrar(cancelado, basic::Variant("x"));
  EXPECT_EQ(cancelado, 0);
}

TEST(Banner, AnimationCyclesThroughTwelveDistinctFrames) {
  Lbf_CtrlDisplay v;
  ASSERT_EQ(v.ImageList1().size(), 12u);
  EXPECT_EQ(v.ImagenMostrada(), 1);
  EXPECT_EQ(v.Timer1()->interval(), 100);
  std::vector<int> vistas;
  for (int i = 0; i < 13; ++i) {
    v.Timer1_Timer();
    vistas.push_back(v.ImagenMostrada());
  }
  EXPECT_EQ(vistas, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 1}));
  EXPECT_EQ(v.Contador(), 1);
  // Every frame is different from the next one, so the picture really moves.
  for (int i = 0; i < 12; ++i) {
    EXPECT_NE(v.ImageList1()[i].toImage(), v.ImageList1()[(i + 1) % 12].toImage()) << i;
  }
}

TEST(Banner, AlwaysOnTopBandCanBeLeftAndRejoinedWithoutLosingPlace) {
  Dll_Display d;
  d.CartelInicio("Arriba", 0);
  Lbf_CtrlDisplay* v = d.Ventana();
  EXPECT_TRUE(v->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  const QPoint antes = v->pos();
  d.SetSiempre_Visible(false);
  EXPECT_FALSE(v->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(v->isVisible());
  EXPECT_EQ(v->pos(), antes);
  d.SetSiempre_Visible(true);
  EXPECT_TRUE(v->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(v->windowFlags().testFlag(Qt::FramelessWindowHint));
}

TEST(Banner, SharedInstanceIsReleasedSafely) {
  gDisplay().CartelInicio("Compartido", -1);
  EXPECT_NE(gDisplay().Ventana(), nullptr);
  LiberarDisplay();
  LiberarDisplay();                          // twice is harmless
  EXPECT_EQ(gDisplay().Ventana(), nullptr);  // a new object, no window yet
  LiberarDisplay();
}

}  // namespace
