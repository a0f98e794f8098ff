#include <gtest/gtest.h>

#include "platform/ui/operador_guionado.h"

namespace {

class VentanaPrueba : public ui::VentanaModal {
 public:
  std::string campo;
  bool ejecutada = false;
  std::string NombreVentana() const override { return "frmPrueba"; }
  void EjecutarModal() override { ejecutada = true; }
};

TEST(OperadorGuionado, AnswersFromItsQueuesAndRecordsEveryRequest) {
  ui::OperadorGuionado::Instalado op;
  op->respuestas = {ui::vbRetry, ui::vbIgnore};
  op->respuestaPorDefecto = ui::vbAbort;
  op->textos = {"uno", "01/03/2024", "/x/base.mdb"};

  ui::Operador& o = ui::operador();
  EXPECT_EQ(o.MsgBox("m1", 18, "t1"), ui::vbRetry);
  EXPECT_EQ(o.MsgBox("m2", 0, "t2"), ui::vbIgnore);
  EXPECT_EQ(o.MsgBox("m3", 0, "t3"), ui::vbAbort);  // queue empty: the default answer
  EXPECT_EQ(o.InputBox("p", "t", "def"), "uno");
  EXPECT_EQ(o.ElegirFecha(), "01/03/2024");
  EXPECT_EQ(o.AbrirArchivo("Buscar", "Base |*.MDB", ""), "/x/base.mdb");
  EXPECT_EQ(o.InputBox("p", "t", ""), "");  // texts exhausted

  VentanaPrueba v;
  op->modales.push_back([](ui::VentanaModal& w) { static_cast<VentanaPrueba&>(w).campo = "ok"; });
  o.MostrarModal(v);
  o.MostrarModal(v);  // no handler left: closed untouched, never a real modal loop
  EXPECT_EQ(v.campo, "ok");
  EXPECT_FALSE(v.ejecutada);

  EXPECT_THROW(o.FinPrograma(3), ui::FinDelPrograma);

  ASSERT_EQ(op->pedidos.size(), 10u);
  EXPECT_EQ(op->pedidos[0].texto, "m1");
  EXPECT_EQ(op->pedidos[0].estilo, 18);
  EXPECT_EQ(op->pedidos[0].titulo, "t1");
  EXPECT_EQ(op->pedidos[5].tipo, "AbrirArchivo");
  EXPECT_EQ(op->pedidos[5].titulo, "Buscar");
  EXPECT_EQ(op->pedidos[7].texto, "frmPrueba");
  EXPECT_EQ(op->Cuantos("MsgBox"), 3);
  EXPECT_EQ(op->Cuantos("Modal"), 2);
  EXPECT_EQ(op->Cuantos("Fin"), 1);
}

TEST(Operador, DefaultOperatorCancelsAndUninstallRestoresIt) {
  {
    ui::OperadorGuionado::Instalado op;
    op->respuestaPorDefecto = ui::vbYes;
    EXPECT_EQ(ui::operador().MsgBox("x", 4, ""), ui::vbYes);
  }
  EXPECT_EQ(ui::operador().MsgBox("x", 4, ""), ui::vbCancel);
  EXPECT_EQ(ui::operador().InputBox("x", "", "d"), "");
  VentanaPrueba v;
  ui::operador().MostrarModal(v);
  EXPECT_FALSE(v.ejecutada);
}

TEST(Operador, TwipsToPixelsRoundsAtTheScreenResolution) {
  struct Caso {
    double dpi;
    int twips, pixeles;
  };
  const Caso casos[] = {{96, 1440, 96},  {96, 15, 1},      {96, 7, 0},   {96, 8, 1},   {96, 1200, 80},
                        {96, -150, -10}, {120, 1440, 120}, {144, 10, 1}, {0, 1440, 96}};
  for (const auto& c : casos) {
    ui::FijarDpi(c.dpi);
    EXPECT_EQ(ui::TwipsAPixeles(c.twips), c.pixeles) << c.dpi << " " << c.twips;
  }
  ui::FijarDpi(96);
}

}  // namespace
