// The Qt operator without opening any dialog: its filters and focus moves.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>

#include "platform/ui/qt/operador_qt.h"

namespace {

TEST(OperadorQt, FiltersAndFocusMoves) {
  EXPECT_EQ(ui::FiltroQt("Base de Datos de Microsoft Access |*.MDB").toStdString(),
            "Base de Datos de Microsoft Access (*.MDB *.mdb)");
  EXPECT_EQ(ui::FiltroQt("Informes|*.rpt;*.RPT|Todos|*.*").toStdString(),
            "Informes (*.rpt *.RPT);;Todos (*)");
  EXPECT_EQ(ui::FiltroQt("").toStdString(), "");

  QWidget w;
  auto* l = new QVBoxLayout(&w);
  auto* a = new QLineEdit;
  auto* oculto = new QLineEdit;
  auto* inactivo = new QLineEdit;
  auto* b = new QCheckBox("x");
  for (QWidget* c : {static_cast<QWidget*>(a), static_cast<QWidget*>(oculto), static_cast<QWidget*>(inactivo),
                     static_cast<QWidget*>(b)})
    l->addWidget(c);
  oculto->hide();
  inactivo->setEnabled(false);
  EXPECT_EQ(ui::MoverFocoSiguiente(a), b);
  EXPECT_EQ(ui::MoverFocoSiguiente(b), a);  // wraps round within the window
  EXPECT_EQ(ui::MoverFocoSiguiente(nullptr), nullptr);

  ui::InstalarOperadorQt();
  EXPECT_GT(ui::TwipsAPixeles(1440), 0);
  ui::InstalarOperador(nullptr);
  ui::FijarDpi(96);
}

}  // namespace
