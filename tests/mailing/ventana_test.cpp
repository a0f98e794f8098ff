// The main window offscreen on a fresh demo database per test, with the scripted operator.
#include <QAction>
#include <QApplication>
#include <QBrush>
#include <QColor>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "companion/rutas_correo.h"
#include "data/db_dll.h"
#include "startup/acceso.h"
#include "global/contexto.h"
#include "mailing/acciones_ventana.h"
#include "mailing/despacho_soporte.h"
#include "mailing/devueltas.h"
#include "mailing/frm_ocmailing.h"
#include "mailing/ventana_progreso.h"
#include "lookup/lib_frmcons3.h"
#include "mailing/modelo_proveedores.h"
#include "ocmail-sql/base_datos.h"
#include "platform/ado/ado.h"
#include "platform/ui/qt/espera_base.h"
#include "platform/basic/fecha.h"
#include "platform/basic/regional.h"
#include "platform/basic/diario_entregas.h"
#include "platform/basic/formato.h"
#include "platform/basic/texto.h"
#include "platform/os/rutas.h"
#include "platform/ui/operador_guionado.h"
#include "support/temp_dir.h"
#include "support/estado_global.h"

namespace {

namespace demo = ocmailsql::demo;

constexpr long kPedidos = 60;

// Facts of demo order i (docs/database.md), computed here independently of the window.
basic::Fecha FechaPedido(long i) { return basic::DateSerial(2024, 2, 15) + (7 * i) % 75; }
bool ConMail(long i) { return demo::ProveedorPedido(i) != demo::kProveedorSinMail; }

// Single-statement access to the test's database, beside the program's connection.
struct Sqlite {
  sqlite3* db = nullptr;
  explicit Sqlite(const std::string& archivo) { sqlite3_open(archivo.c_str(), &db); }
  ~Sqlite() { sqlite3_close(db); }
  void Ejecutar(const std::string& sql) {
    char* error = nullptr;
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
  }
  std::string Texto(const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    std::string r = "<sin filas>";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
      r = sqlite3_column_type(st, 0) == SQLITE_NULL
              ? "NULL"
              : reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    return r;
  }
};

class Ventana : public ::testing::Test {
 protected:
  TempDir dir;
  ui::OperadorGuionado::Instalado op;
  std::unique_ptr<frmOCMailing> v;

  std::string Base() const { return dir / "demo.db"; }

  void SetUp() override {
    ocmailsql::CrearBaseDatos(Base(), kPedidos);
    os::FijarCarpetaAplicacion(dir.str());
  }

  // Creates the window and runs its start-up on the test's database.
  void Abrir(const std::function<void(Sqlite&)>& antes = nullptr) {
    if (antes) {
      Sqlite s(Base());
      antes(s);
    }
    v = std::make_unique<frmOCMailing>();
    v->LineaComando =
        "@Server=sqlite;@DbName=" + Base() + ";@Usuario=admin;@Password=x;@UsuarioLogeado=ADMIN;";
    v->Form_Load();
  }

  void TearDown() override {
    v.reset();
    CerrarSistemaSinSalir();
    ReiniciarEstadoGlobal();
  }

  // Rows the list must show for the switch and a condition on order i.
  int Esperadas(bool soloPendientes, const std::function<bool(long)>& condicion = nullptr) const {
    int n = 0;
    for (long i = 0; i < kPedidos; ++i)
      if (ConMail(i) && !(soloPendientes && demo::PedidoEnviado(i)) && (!condicion || condicion(i))) ++n;
    return n;
  }

  void Filtro(const std::string& nombre, const std::string& valor) { v->Campo(nombre)->SetText(valor); }

  std::vector<std::string> Columna(int columna) const {
    std::vector<std::string> r;
    for (int i = 0; i < v->CantidadFilas(); ++i) r.push_back(v->Fila(i).SubItem(columna));
    return r;
  }
};

TEST_F(Ventana, ListaAlArrancarYConElInterruptorApagado) {
  Abrir();
  EXPECT_EQ(op->Cuantos("MsgBox"), 0);
  ASSERT_TRUE(v->RsTablaActiva);
  EXPECT_EQ(v->RsTablaActiva->State(), ado::adStateOpen);  // the probe stays open
  EXPECT_EQ(v->ListProveedoresModelo->Columnas(),
            (QStringList{"Cuenta", "TC", "IdComprobante", "Razon Social", "Domicilio", "Localidad",
                         "Telefono", "E-Mail", "Enviado"}));

  // Never-mailed orders of suppliers with an address, by supplier name, all checked.
  ASSERT_EQ(v->CantidadFilas(), Esperadas(true));
  ASSERT_EQ(v->CantidadFilas(), 42);
  const auto razones = Columna(colRazonSocial);
  for (size_t i = 1; i < razones.size(); ++i)
    EXPECT_LE(CompararTextoLista(razones[i - 1], razones[i]), 0) << razones[i - 1] << " / " << razones[i];
  bool vioMitre = false, vioMailVacio = false;
  for (int i = 0; i < v->CantidadFilas(); ++i) {
    const FilaPendiente& f = v->Fila(i);
    EXPECT_TRUE(f.marcada);
    EXPECT_FALSE(f.enviada);
    EXPECT_EQ(f.SubItem(colEnviado), "");
    EXPECT_NE(f.Texto(), demo::kProveedorSinMail);
    EXPECT_EQ(f.Clave(), "D" + f.Texto() + f.SubItem(colIdComprobante));
    EXPECT_EQ(f.SubItem(colTC), "OC");
    if (f.Texto() == demo::kProveedorMitre) {
      vioMitre = true;
      EXPECT_EQ(f.SubItem(colDomicilio), "Mitre1234");
    }
    if (f.Texto() == demo::kProveedorMailVacio) {
      vioMailVacio = true;
      EXPECT_EQ(f.SubItem(colMail), "");
    }
  }
  EXPECT_TRUE(vioMitre);
  EXPECT_TRUE(vioMailVacio);
  const QModelIndex primera = v->ListProveedoresModelo->index(0, colCuenta);
  EXPECT_EQ(primera.data(Qt::CheckStateRole).toInt(), Qt::Checked);
  EXPECT_FALSE(primera.data(Qt::ForegroundRole).isValid());

  // Switch off (a click reloads): mailed orders too, blue and unchecked.
  v->chkConEnvioPendiente->click();
  ASSERT_EQ(v->CantidadFilas(), Esperadas(false));
  int azules = 0;
  for (int i = 0; i < v->CantidadFilas(); ++i) {
    const FilaPendiente& f = v->Fila(i);
    EXPECT_EQ(f.enviada, !f.SubItem(colEnviado).empty());
    EXPECT_EQ(f.marcada, !f.enviada);
    if (!f.enviada) continue;
    ++azules;
    const QModelIndex celda = v->ListProveedoresModelo->index(i, colRazonSocial);
    EXPECT_EQ(celda.data(Qt::ForegroundRole).value<QBrush>().color(), QColor(0, 0, 255));
    EXPECT_EQ(v->ListProveedoresModelo->index(i, colCuenta).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
  }
  EXPECT_EQ(azules, 15);
  // Order 3 was mailed the day after its date: shown in the short-date format.
  const std::string doc3 = demo::NumeroPedido(3);
  for (int i = 0; i < v->CantidadFilas(); ++i)
    if (v->Fila(i).SubItem(colIdComprobante) == doc3)
      EXPECT_EQ(v->Fila(i).SubItem(colEnviado), basic::FormatFecha(FechaPedido(3) + 1, "dd/mm/yyyy"));
  EXPECT_EQ(op->Cuantos("MsgBox"), 0);
}

TEST_F(Ventana, CadaFiltroCargaLoQueSelecciona) {
  Abrir();
  struct Caso {
    const char* nombre;
    std::vector<std::pair<std::string, std::string>> campos;
    std::function<bool(long)> condicion;
  };
  const basic::Fecha marzo1 = basic::DateSerial(2024, 3, 1);
  const basic::Fecha marzo15 = basic::DateSerial(2024, 3, 15);
  const Caso casos[] = {
      {"rango de proveedores",
       {{"ProvDesde", "P002"}, {"ProvHasta", "P004"}},
       [](long i) {
         const auto p = demo::ProveedorPedido(i);
         return p >= "P002" && p <= "P004";
       }},
      {"prefijo JU", {{"Usuario", "JU"}}, [](long i) { return demo::CompradorPedido(i) != "PEDRO"; }},
      {"usuario en minusculas",
       {{"usuario", "  ju  "}},
       [](long i) { return demo::CompradorPedido(i) != "PEDRO"; }},
      {"fechas validas",
       {{"FechaD", "01/03/2024"}, {"FechaH", "15/03/2024"}},
       [&](long i) { return FechaPedido(i) >= marzo1 && FechaPedido(i) <= marzo15; }},
      {"fecha desde invalida", {{"FechaD", "31/02/2024"}}, nullptr},
      {"fecha hasta invalida con desde valida",
       {{"FechaD", "01/03/2024"}, {"FechaH", "31/04/2024"}},
       [&](long i) { return FechaPedido(i) >= marzo1; }},
      {"comilla en el proveedor", {{"ProvDesde", "O'H"}}, nullptr},  // every code "P.." > "O'H"
      {"comilla en el usuario", {{"Usuario", "D'A"}}, [](long) { return false; }},
      {"comilla en las fechas", {{"FechaD", "01/03/'024"}}, nullptr},
  };
  for (const Caso& c : casos) {
    for (const char* n : {"ProvDesde", "ProvHasta", "Usuario", "FechaD", "FechaH"}) Filtro(n, "");
    for (const auto& [campo, valor] : c.campos) Filtro(campo, valor);
    v->cmdCargarProveedores->click();
    EXPECT_EQ(v->CantidadFilas(), Esperadas(true, c.condicion)) << c.nombre;
    EXPECT_EQ(op->Cuantos("MsgBox"), 0) << c.nombre;
  }
}

TEST_F(Ventana, BotonDeConsultaSegunElCampo) {
  Abrir();
  v->show();
  const bool conConsulta[7] = {true, true, true, true, true, false, false};
  for (int i = 0; i < 7; ++i) {
    v->txtFields_GotFocus(i);
    EXPECT_EQ(v->cmdConsultar->isEnabled(), conConsulta[i]) << v->txtFields[i].Nombre;
    EXPECT_EQ(v->CampoActual, &v->txtFields[i]);
  }
  // The focus itself reaches the handler.
  QFocusEvent foco(QEvent::FocusIn, Qt::TabFocusReason);
  QApplication::sendEvent(v->Campo("FechaH")->Control(), &foco);
  EXPECT_EQ(v->CampoActual, v->Campo("FechaH"));
  EXPECT_TRUE(v->cmdConsultar->isEnabled());
  QApplication::sendEvent(v->Campo("ENCABEZADO")->Control(), &foco);
  EXPECT_FALSE(v->cmdConsultar->isEnabled());
}

TEST_F(Ventana, ConsultaDeFechaYEnterAlSiguienteCampo) {
  Abrir();
  v->show();
  v->activateWindow();
  QApplication::setActiveWindow(v.get());
  CampoTexto* desde = v->Campo("FechaD");
  desde->Control()->setFocus();
  v->txtFields_GotFocus(desde->Index);
  op->textos.push_back("05/03/2024");
  v->cmdConsultar->click();
  EXPECT_EQ(op->Cuantos("ElegirFecha"), 1);
  EXPECT_EQ(desde->Text(), "05/03/2024");
  EXPECT_EQ(QApplication::focusWidget(), v->Campo("FechaH")->Control());  // Enter handed over

  // F5 on the subject field: the handler runs although the button is disabled; with no
  // lookup kind only Enter is handed over.
  CampoTexto* asunto = v->Campo("ENCABEZADO");
  asunto->SetText("Orden de compra");
  asunto->Control()->setFocus();
  v->txtFields_GotFocus(asunto->Index);
  ASSERT_FALSE(v->cmdConsultar->isEnabled());
  QKeyEvent f5(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
  EXPECT_TRUE(v->eventFilter(asunto->Control(), &f5));
  EXPECT_EQ(op->Cuantos("ElegirFecha"), 1);
  EXPECT_EQ(asunto->Text(), "Orden de compra");
  EXPECT_EQ(QApplication::focusWidget(), v->Campo("PIEDEPAGINA")->Control());

  // Enter typed in a field moves on and never reaches the box.
  CampoTexto* mensaje = v->Campo("PIEDEPAGINA");
  mensaje->SetText("Adjunto OC");
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
  EXPECT_TRUE(v->eventFilter(mensaje->Control(), &enter));
  EXPECT_EQ(mensaje->Text(), "Adjunto OC");
  QKeyEvent letra(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
  EXPECT_FALSE(v->eventFilter(mensaje->Control(), &letra));  // ordinary keys reach the box
}

// Real key events to the focused box, through the window's key preview.
TEST_F(Ventana, CtrlOShiftEnterHaceUnSaltoDeLineaEnLasCajasDeVariasLineas) {
  Abrir();
  v->show();
  v->activateWindow();
  QApplication::setActiveWindow(v.get());
  struct Caso {
    const char* campo;
    Qt::Key tecla;
    Qt::KeyboardModifiers mods;
    bool salto;  // else the focus moves on and the box keeps one line
  };
  const Caso casos[] = {
      {"PIEDEPAGINA", Qt::Key_Return, Qt::ControlModifier, true},
      {"PIEDEPAGINA", Qt::Key_Return, Qt::ShiftModifier, true},
      {"PIEDEPAGINA", Qt::Key_Enter, Qt::KeypadModifier | Qt::ControlModifier, true},
      {"PIEDEPAGINA", Qt::Key_Enter, Qt::KeypadModifier | Qt::ShiftModifier, true},
      {"ENCABEZADO", Qt::Key_Return, Qt::ControlModifier, true},
      {"PIEDEPAGINA", Qt::Key_Return, Qt::NoModifier, false},
      {"PIEDEPAGINA", Qt::Key_Enter, Qt::KeypadModifier, false},
      {"ProvDesde", Qt::Key_Return, Qt::ControlModifier, false},  // one line only
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(std::string(c.campo) + " tecla " + std::to_string(c.tecla) + " mods " +
                 std::to_string(c.mods.toInt()));
    for (CampoTexto& t : v->txtFields) t.SetText("");
    QWidget* caja = v->Campo(c.campo)->Control();
    caja->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), caja);
    QTest::keyClicks(QApplication::focusWidget(), "Adjunto OC");
    QTest::keyClick(QApplication::focusWidget(), c.tecla, c.mods);
    QTest::keyClicks(QApplication::focusWidget(), "Saludos");
    if (c.salto) {
      EXPECT_EQ(v->TextoCampo(c.campo), "Adjunto OC\r\nSaludos");
      EXPECT_EQ(QApplication::focusWidget(), caja);
    } else {
      EXPECT_EQ(v->TextoCampo(c.campo), "Adjunto OC");
      EXPECT_NE(QApplication::focusWidget(), caja);
    }
  }
}

TEST_F(Ventana, SeleccionarTodosYMenuDelBotonDerecho) {
  Abrir();
  v->chkConEnvioPendiente->setChecked(false);  // mailed rows (unchecked) too
  ASSERT_EQ(v->CantidadFilas(), 57);
  auto marcadas = [&] {
    int n = 0;
    for (int i = 0; i < v->CantidadFilas(); ++i) n += v->FilaMarcada(i);
    return n;
  };
  ASSERT_EQ(marcadas(), 42);

  // A check box clicked in the view reaches the row.
  ASSERT_TRUE(v->ListProveedoresModelo->setData(v->ListProveedoresModelo->index(0, colCuenta),
                                                QVariant::fromValue(Qt::Unchecked), Qt::CheckStateRole));
  EXPECT_FALSE(v->FilaMarcada(0));
  EXPECT_EQ(marcadas(), 41);

  v->SelectAll->trigger();
  EXPECT_EQ(marcadas(), 57);  // blue rows checked too
  EXPECT_TRUE(v->SelectAll->isChecked());
  EXPECT_EQ(v->MarcaTodos, -1);
  v->SelectAll->trigger();
  EXPECT_EQ(marcadas(), 0);
  EXPECT_FALSE(v->SelectAll->isChecked());

  // A reload checks the unmailed rows; the toggle keeps its own state.
  v->cmdCargarProveedores->click();
  EXPECT_EQ(marcadas(), 42);
  v->SelectAll_Click();
  EXPECT_EQ(marcadas(), 57);

  v->ListProveedores_MouseDown(1, 0, 10, 10);
  EXPECT_FALSE(v->MEN->isVisible());
  v->ListProveedores_MouseDown(2, 0, 10, 10);
  EXPECT_TRUE(v->MEN->isVisible());
  v->MEN->hide();

  // Row texts cannot be edited in place.
  v->show();
  const QModelIndex celda = v->ListProveedoresModelo->index(0, colCuenta);
  const QString antes = celda.data().toString();
  v->ListProveedores->edit(celda);
  EXPECT_TRUE(v->ListProveedores->viewport()->findChildren<QLineEdit*>().isEmpty());
  EXPECT_EQ(celda.data().toString(), antes);
}

TEST_F(Ventana, OrdenPorColumnaSeInvierteEnCadaClic) {
  Abrir();
  auto ordenada = [&](int columna, bool descendente) {
    const auto t = Columna(columna);
    for (size_t i = 1; i < t.size(); ++i) {
      const int c = CompararTextoLista(t[i - 1], t[i]);
      if (descendente ? c < 0 : c > 0) return false;
    }
    return true;
  };
  QHeaderView* h = v->ListProveedores->header();
  emit h->sectionClicked(colRazonSocial);  // "Razon Social": descending first
  EXPECT_TRUE(ordenada(colRazonSocial, true));
  EXPECT_FALSE(ordenada(colRazonSocial, false));
  emit h->sectionClicked(colRazonSocial);
  EXPECT_TRUE(ordenada(colRazonSocial, false));
  emit h->sectionClicked(colCuenta);  // another column: the order flips again
  EXPECT_TRUE(ordenada(colCuenta, true));
  EXPECT_EQ(h->sortIndicatorSection(), colCuenta);

  // The sort settings survive a reload; checks follow their rows.
  v->MarcarFila(0, false);
  const std::string primera = v->Fila(0).Clave();
  emit h->sectionClicked(colIdComprobante);
  for (int i = 0; i < v->CantidadFilas(); ++i) EXPECT_EQ(v->FilaMarcada(i), v->Fila(i).Clave() != primera);
  v->cmdCargarProveedores->click();
  EXPECT_TRUE(ordenada(colIdComprobante, false));
}

TEST_F(Ventana, ReglasDeRedimensionado) {
  Abrir();
  v->show();
  const int px = ui::TwipsAPixeles(1440);  // pixels per inch
  auto tw = [&](int twips) { return ui::TwipsAPixeles(twips); };
  // Outer size: the client plus the frame the layout was drawn for; at the start the list
  // and the lower frame sit where the layout puts them.
  EXPECT_EQ(v->AnchoTwips(), v->width() * 1440 / px + 70);
  EXPECT_EQ(v->AltoTwips(), v->height() * 1440 / px + 590);
  EXPECT_EQ(v->ListProveedores->geometry(), QRect(tw(0), tw(1335), tw(10365), tw(2655)));
  EXPECT_EQ(v->Frame3->width(), tw(10315));
  for (QSize tam : {QSize(900, 600), QSize(700, 420), QSize(1200, 800)}) {
    v->resize(tam);
    const int ancho = v->AnchoTwips(), alto = v->AltoTwips();
    EXPECT_EQ(v->ListProveedores->width(), tw(ancho - 100));
    EXPECT_EQ(v->ListProveedores->height(), tw(alto - 1170 - 1680 - 800));
    EXPECT_EQ(v->Frame3->y(), tw(1335 + alto - 1170 - 1680 - 800));
    EXPECT_EQ(v->Frame3->width(), tw(ancho - 150));
    EXPECT_EQ(v->Campo("encabezado")->Control()->width(), tw(ancho - 150 - 1200));
    EXPECT_EQ(v->Campo("piedepagina")->Control()->width(), tw(ancho - 150 - 1200));
    // Nothing else moves.
    EXPECT_EQ(v->ListProveedores->y(), tw(1335));
    EXPECT_EQ(v->Frame2->geometry(), QRect(tw(15), tw(-90), tw(5370), tw(1170)));
    EXPECT_EQ(v->CmdSalir->pos(), QPoint(tw(9375), tw(-15)));
  }
  // Too small for the list: its height is left alone, the widths still follow.
  const QSize alto = v->ListProveedores->size();
  v->resize(400, 60);
  EXPECT_EQ(v->ListProveedores->height(), alto.height());
  EXPECT_EQ(v->Frame3->width(), tw(v->AnchoTwips() - 150));
  EXPECT_EQ(op->Cuantos("MsgBox"), 0);
}

TEST_F(Ventana, EscapeTerminaPorCerrarSistema) {
  Abrir();
  ASSERT_NE(gIdAcceso, 0);
  QLineEdit* campo = v->Campo("ProvDesde")->linea;
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  EXPECT_THROW(v->eventFilter(campo, &escape), ui::FinDelPrograma);
  EXPECT_EQ(op->Cuantos("Fin"), 1);
  EXPECT_EQ(op->Cuantos("MsgBox"), 0);  // no question asked
  Sqlite s(Base());
  EXPECT_NE(s.Texto("SELECT EGRESO FROM Control_Acceso WHERE id = " + std::to_string(gIdAcceso)), "NULL");
}

TEST_F(Ventana, OrdenRepetidaSeInformaUnaVez) {
  Abrir([](Sqlite& s) {
    const std::string vista = s.Texto("SELECT sql FROM sqlite_master WHERE name = 'V_Oc_pendientes'");
    const std::string cuerpo = vista.substr(vista.find("SELECT"));
    s.Ejecutar("CREATE VIEW V_Base AS " + cuerpo);
    s.Ejecutar("DROP VIEW V_Oc_pendientes");
    s.Ejecutar(
        "CREATE VIEW V_Oc_pendientes AS SELECT * FROM V_Base UNION ALL "
        "SELECT * FROM V_Base WHERE Cuenta = 'P001'");
  });
  EXPECT_EQ(v->CantidadFilas(), 42);
  ASSERT_EQ(op->Cuantos("MsgBox"), 1);
  EXPECT_NE(op->pedidos[0].texto.find("repetida"), std::string::npos);
  EXPECT_NE(op->pedidos[0].texto.find("DP001" + demo::NumeroPedido(0)), std::string::npos);
}

TEST_F(Ventana, FallosDeCargaSeMuestranYLaVentanaSigue) {
  // Start-up: a missing view fails the probe and the load; the Form_Load prompt leaves.
  Abrir([](Sqlite& s) { s.Ejecutar("DROP VIEW V_Oc_pendientes"); });
  bool vioFormLoad = false;
  for (const auto& p : op->pedidos) vioFormLoad |= p.titulo.find("Form_Load") != std::string::npos;
  EXPECT_TRUE(vioFormLoad);
  EXPECT_EQ(v->CantidadFilas(), 0);

  // From a click: the data layer's dialog, then the failure; nothing escapes.
  const int antes = op->Cuantos("MsgBox");
  EXPECT_FALSE(v->RecargarLista());
  v->cmdCargarProveedores->click();
  EXPECT_GT(op->Cuantos("MsgBox"), antes + 1);
  EXPECT_EQ(op->Cuantos("Fin"), 0);
}

TEST_F(Ventana, BaseQueSeFueMuestraLosDialogosDeDatos) {
  Abrir();
  ASSERT_EQ(v->CantidadFilas(), 42);
  gDB().gCnn->Close();
  v->cmdCargarProveedores->click();
  // The data layer's dialog first, then the failed load; the window goes on, empty.
  ASSERT_EQ(op->Cuantos("MsgBox"), 2);
  EXPECT_NE(op->pedidos[0].titulo.find("AbrirRecordset"), std::string::npos);
  EXPECT_NE(op->pedidos[1].titulo.find("CargarProveedores"), std::string::npos);
  EXPECT_EQ(v->CantidadFilas(), 0);
  EXPECT_EQ(op->Cuantos("Fin"), 0);
  EXPECT_TRUE(v->isEnabled());
}

TEST_F(Ventana, EnviarYVerEjecutanSusAcciones) {
  Abrir();
  EXPECT_FALSE(v->CmdEnviar->isEnabled());  // nothing installed yet
  EXPECT_FALSE(v->CmbVer->isEnabled());
  int envios = 0;
  v->FijarAccionEnviar([&](frmOCMailing& f) {
    ++envios;
    EXPECT_EQ(&f, v.get());
    throw ErrorEjecucion(53, "No se encontró el archivo");
  });
  v->FijarAccionVer([&](frmOCMailing&) { ++envios; });
  ASSERT_TRUE(v->CmdEnviar->isEnabled());
  v->CmdEnviar->click();  // the failure is shown, not thrown
  v->CmbVer->click();
  EXPECT_EQ(envios, 2);
  ASSERT_EQ(op->Cuantos("MsgBox"), 1);
  EXPECT_NE(op->pedidos[0].titulo.find("CmdEnviar_Click"), std::string::npos);
}

}  // namespace

namespace {

// Drives the next lookup window: picks the row whose column `columna` starts with `valor`
// and accepts, or cancels when `valor` is empty.
void ElegirEnConsulta(ui::OperadorGuionado& op, std::string columna, std::string valor) {
  op.modales.push_back([columna, valor](ui::VentanaModal& m) {
    auto& w = dynamic_cast<Lib_FrmCons3&>(m);
    if (valor.empty()) {
      w.CmdCancelar_Click();
      return;
    }
    const int c = w.IndiceColumna(columna);
    ASSERT_GT(c, 0) << columna;
    const long fila = w.Busqueda(c - 1, valor);
    ASSERT_GT(fila, 0) << valor;
    w.SeleccionarFila(static_cast<int>(fila));
    w.CmdAceptar_Click();
  });
}

}  // namespace

TEST_F(Ventana, ConsultasDeProveedorYUsuarioLlenanElCampo) {
  Abrir();
  v->show();
  CampoTexto* desde = v->Campo("ProvDesde");
  v->txtFields_GotFocus(desde->Index);
  ElegirEnConsulta(op.op, "Codigo", "P015");
  v->cmdConsultar->click();
  EXPECT_EQ(op->Cuantos("Modal"), 1);
  EXPECT_EQ(desde->Text(), "P015");
  v->cmdCargarProveedores_Click();
  ASSERT_GT(v->CantidadFilas(), 0);
  for (int i = 0; i < v->CantidadFilas(); ++i) EXPECT_GE(v->Fila(i).Texto(), "P015");
  EXPECT_EQ(v->CantidadFilas(), Esperadas(true, [](long i) { return demo::ProveedorPedido(i) >= "P015"; }));

  CampoTexto* usuario = v->Campo("Usuario");
  v->txtFields_GotFocus(usuario->Index);
  ElegirEnConsulta(op.op, "Nombre", "JULIA");
  QKeyEvent f5(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
  v->eventFilter(usuario->Control(), &f5);
  EXPECT_EQ(usuario->Text(), "JULIA");

  // A cancelled lookup writes the empty value into the field.
  v->txtFields_GotFocus(desde->Index);
  ElegirEnConsulta(op.op, "", "");
  v->cmdConsultar->click();
  EXPECT_EQ(desde->Text(), "");
  EXPECT_EQ(op->Cuantos("Modal"), 3);
}

namespace {

// The window on a database with enough pending orders for a long run, the shipped report
// definitions and a mail program that takes each job at once.
// A database another program holds during "&Cargar": the window keeps painting, its
// commands are disabled and "Esperando la base de datos…" shows; once the lock goes the list
// loads and everything is as before.
TEST_F(Ventana, CargarEsperaLaBaseBloqueadaSinCongelarse) {
  Abrir();
  v->show();
  struct Quitar {
    ~Quitar() { ado::FijarAlEsperarBase(nullptr); }
  } quitar;
  ado::FijarAlEsperarBase(ui::EsperarBaseQt);
  sqlite3* otra = nullptr;
  ASSERT_EQ(sqlite3_open(Base().c_str(), &otra), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(otra, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);

  struct Pinturas : QObject {
    QWidget* ventana;
    int n = 0;
    explicit Pinturas(QWidget* w) : ventana(w) {}
    bool eventFilter(QObject* o, QEvent* e) override {
      if (e->type() == QEvent::Paint && o->isWidgetType() && static_cast<QWidget*>(o)->window() == ventana)
        ++n;
      return false;
    }
  } pinturas(v.get());
  bool deshabilitada = false, aviso = false;
  QTimer::singleShot(1500, [&] {
    pinturas.n = 0;
    v->update();
    QCoreApplication::processEvents();  // as the wait does
    deshabilitada = !v->isEnabled() && !v->cmdCargarProveedores->isEnabled();
    aviso = ui::AvisoEsperaBase() != nullptr;
    QTimer::singleShot(300, [&] { sqlite3_exec(otra, "COMMIT", nullptr, nullptr, nullptr); });
  });
  qApp->installEventFilter(&pinturas);
  v->cmdCargarProveedores->click();
  qApp->removeEventFilter(&pinturas);
  sqlite3_close(otra);

  EXPECT_TRUE(deshabilitada);
  EXPECT_TRUE(aviso);
  EXPECT_GT(pinturas.n, 0);
  EXPECT_EQ(v->CantidadFilas(), Esperadas(true));
  EXPECT_EQ(op->Cuantos("MsgBox"), 0);
  for (int i = 0; i < 50 && ui::AvisoEsperaBase(); ++i) QTest::qWait(20);
  EXPECT_EQ(ui::AvisoEsperaBase(), nullptr);
  EXPECT_TRUE(v->isEnabled());
  EXPECT_TRUE(v->cmdCargarProveedores->isEnabled());
}

class VentanaEnvio : public Ventana {
 protected:
  despacho_prueba::CorreoFalso correo;

  void SetUp() override {
    ocmailsql::CrearBaseDatos(Base(), 120);
    os::FijarCarpetaAplicacion(dir.str());
    for (const auto& e : std::filesystem::directory_iterator(std::string(OCMAIL_SHARE) + "/reports"))
      std::filesystem::copy_file(e.path(), dir / e.path().filename().string());
    correo.trabajo = RutaTrabajoCorreo(dir.str());
    os::InstalarProcesos(&correo);
  }
  void TearDown() override {
    os::InstalarProcesos(nullptr);
    opcionesDespacho() = {};
    Ventana::TearDown();
  }
};

// Counts the paint events of every widget.
struct Pinturas : QObject {
  std::function<void(QWidget*)> alPintar;
  bool eventFilter(QObject* objeto, QEvent* evento) override {
    if (evento->type() == QEvent::Paint)
      if (auto* w = qobject_cast<QWidget*>(objeto)) alPintar(w);
    return false;
  }
};

}  // namespace

// 50 checked orders: the progress window follows the run, and "Cancelar" pressed once the
// 10th job is taken stops it: the 10 orders taken are stamped, the 11th (not handed over
// yet) and the rest are untouched, and both windows went on painting meanwhile.
TEST_F(VentanaEnvio, CancelarEnUnaCorridaDeCincuentaOrdenes) {
  Abrir();
  ConectarEnvioYVista(*v);
  v->show();
  std::vector<std::string> marcadas, otras;
  for (int i = 0; i < v->CantidadFilas(); ++i) {
    const std::string mail = v->Fila(i).SubItem(colMail);
    const bool marcar = marcadas.size() < 50 && !basic::Trim(mail).empty() && DireccionNoValida(mail).empty();
    v->MarcarFila(i, marcar);
    (marcar ? marcadas : otras).push_back(v->Fila(i).SubItem(colIdComprobante));
  }
  ASSERT_EQ(marcadas.size(), 50u);

  int tomadas = 0;
  std::set<int> conPinturaPrincipal, conPinturaProgreso;  // jobs taken when a paint came
  Pinturas pinturas;
  pinturas.alPintar = [&](QWidget* w) {
    if (w->window() == v.get()) conPinturaPrincipal.insert(tomadas);
    if (qobject_cast<VentanaProgreso*>(w->window())) conPinturaProgreso.insert(tomadas);
  };
  qApp->installEventFilter(&pinturas);
  QPointer<VentanaProgreso> progreso;
  QString alCancelar;
  opcionesDespacho().alPaso = [&](PasoEntrega paso, const ResultadoOrden&) {
    if (paso != PasoEntrega::Tomada) return;
    if (++tomadas == 5) v->update();  // must be painted before the run ends
    if (tomadas != 10) return;
    progreso = v->findChild<VentanaProgreso*>();
    ASSERT_TRUE(progreso);
    EXPECT_TRUE(progreso->isVisible());
    alCancelar = progreso->lblOrden->text();
    QTest::mouseClick(progreso->cmdCancelar, Qt::LeftButton);
  };
  QTest::mouseClick(v->CmdEnviar, Qt::LeftButton);
  qApp->removeEventFilter(&pinturas);

  EXPECT_EQ(alCancelar.toStdString(), "Enviando orden 11 de 50");
  EXPECT_TRUE(progreso.isNull());  // closed at the end of the run
  EXPECT_EQ(correo.lineas.size(), 10u);
  Sqlite s(Base());
  auto fecha = [&](const std::string& id) {
    return s.Texto("SELECT FechaEnvioMail FROM c_mv_cpte WHERE TC='OC' AND IdComprobante='" + id + "'");
  };
  for (size_t k = 0; k < marcadas.size(); ++k) EXPECT_EQ(fecha(marcadas[k]) != "NULL", k < 10) << k;
  for (const auto& id : otras) EXPECT_EQ(fecha(id), "NULL") << id;
  ASSERT_EQ(op->Cuantos("MsgBox"), 1);
  EXPECT_EQ(op->pedidos[0].texto,
            "Envío cancelado por el operador.\n\n10 órdenes enviadas al programa de correo.\n"
            "40 no intentadas: el envío se canceló.");
  EXPECT_EQ(op->pedidos[0].estilo, 64);
  // Painted while the run went on, not only before or after it (paints are paced by the
  // platform, so not necessarily once per order).
  EXPECT_NE(conPinturaProgreso.lower_bound(1), conPinturaProgreso.lower_bound(10));
  EXPECT_NE(conPinturaPrincipal.lower_bound(5), conPinturaPrincipal.lower_bound(10));
}

// A database another program locks during "&Enviar", just as the first of two jobs is
// taken: the run waits visibly (the window paints, its commands are disabled, the notice
// shows), and once the lock goes it finishes: each order mailed once and stamped.
TEST_F(VentanaEnvio, EnviarEsperaLaBaseBloqueadaYCadaOrdenSeEnviaUnaVez) {
  Abrir();
  ConectarEnvioYVista(*v);
  v->show();
  struct Quitar {
    ~Quitar() { ado::FijarAlEsperarBase(nullptr); }
  } quitar;
  ado::FijarAlEsperarBase(ui::EsperarBaseQt);
  std::vector<std::string> marcadas;
  for (int i = 0; i < v->CantidadFilas(); ++i) {
    const std::string mail = v->Fila(i).SubItem(colMail);
    const bool marcar = marcadas.size() < 2 && !basic::Trim(mail).empty() && DireccionNoValida(mail).empty();
    v->MarcarFila(i, marcar);
    if (marcar) marcadas.push_back(v->Fila(i).SubItem(colIdComprobante));
  }
  ASSERT_EQ(marcadas.size(), 2u);

  sqlite3* otra = nullptr;
  ASSERT_EQ(sqlite3_open(Base().c_str(), &otra), SQLITE_OK);
  int pinturas = 0;
  Pinturas contar;
  contar.alPintar = [&](QWidget* w) { pinturas += w->window() == v.get(); };
  bool bloqueada = false, deshabilitada = false, aviso = false;
  int pinturasEnLaEspera = 0;
  opcionesDespacho().alPaso = [&](PasoEntrega paso, const ResultadoOrden&) {
    if (paso != PasoEntrega::Tomada || bloqueada) return;
    bloqueada = true;
    ASSERT_EQ(sqlite3_exec(otra, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    QTimer::singleShot(1500, [&] {
      pinturas = 0;
      v->update();
      QCoreApplication::processEvents();  // as the wait does
      pinturasEnLaEspera = pinturas;
      deshabilitada = !v->isEnabled() && !v->CmdEnviar->isEnabled();
      aviso = ui::AvisoEsperaBase() != nullptr;
      QTimer::singleShot(300, [&] { sqlite3_exec(otra, "COMMIT", nullptr, nullptr, nullptr); });
    });
  };
  qApp->installEventFilter(&contar);
  QTest::mouseClick(v->CmdEnviar, Qt::LeftButton);
  qApp->removeEventFilter(&contar);
  sqlite3_close(otra);

  EXPECT_TRUE(deshabilitada);
  EXPECT_TRUE(aviso);
  EXPECT_GT(pinturasEnLaEspera, 0);
  EXPECT_EQ(correo.lineas.size(), 2u);
  Sqlite s(Base());
  for (const auto& id : marcadas)
    EXPECT_NE(s.Texto("SELECT FechaEnvioMail FROM c_mv_cpte WHERE TC='OC' AND IdComprobante='" + id + "'"),
              "NULL")
        << id;
  for (const auto& p : op->pedidos) EXPECT_EQ(p.texto.find("No se pudo"), std::string::npos) << p.texto;
  for (int i = 0; i < 50 && ui::AvisoEsperaBase(); ++i) QTest::qWait(20);  // the notice goes once calls stop
  EXPECT_TRUE(v->isEnabled());
}

namespace {

// A journal line of demo order i as the mail program writes it.
std::string LineaDiario(long i, const char* resultado, const std::string& detalle, const std::string& fecha) {
  return basic::LineaDiario({fecha, demo::ProveedorPedido(i) + "-" + demo::NumeroPedido(i) + ".html",
                             "compras@example.com", resultado, detalle, "<m@x>", "id" + std::to_string(i)});
}

}  // namespace

TEST_F(Ventana, EstadoDeEntregaDeLasOrdenesEnviadas) {
  // Mailed orders 3, 7, 11 and 15: 3 waits, 7 was delivered on its retry, 11 was given up;
  // 15 has no journal line.
  std::filesystem::create_directories(dir / "CORREO");
  WriteBytes(
      dir / "CORREO/ENTREGAS.TXT",
      LineaDiario(3, basic::kEntregaPendiente, "421 4.3.2 servicio no disponible", "2026-05-21 10:00:00") +
          LineaDiario(7, basic::kEntregaPendiente, "conexión rechazada", "2026-05-21 10:00:05") +
          LineaDiario(7, basic::kEntregaEnviado, "250 2.0.0 Ok", "2026-05-21 10:06:00") +
          LineaDiario(11, basic::kEntregaFallido, "550 5.1.1 no existe", "2026-05-21 10:00:09") +
          LineaDiario(3, basic::kEntregaPendiente, "451 4.4.1 sin respuesta", "2026-05-21 10:05:00") +
          LineaDiario(7, "RESPONDIDO",
                      "Ana <ventas@proveedor.example> | Fri, 22 May 2026 09:00:00 -0300 | Re: Orden",
                      "2026-05-22 09:01:00"));
  Abrir();
  v->show();
  // The switch on shows no mailed order, but the line still tells what waits.
  EXPECT_TRUE(v->BarraEntregas->isVisible());
  EXPECT_EQ(v->EstadoCola->text().toStdString(),
            "1 mail no se pudo entregar; 1 mail espera en la cola de envío (último error: 451 4.4.1 sin "
            "respuesta)");
  EXPECT_EQ(v->Label9->text(), QString::fromUtf8("Los registros pintados ya fueron enviados por mail."));

  v->chkConEnvioPendiente->setChecked(false);
  auto fila = [&](long i) {
    for (int f = 0; f < v->CantidadFilas(); ++f)
      if (v->Fila(f).SubItem(colIdComprobante) == demo::NumeroPedido(i)) return f;
    ADD_FAILURE() << "falta la orden " << i;
    return 0;
  };
  auto color = [&](long i, int rol) {
    const QVariant c = v->ListProveedoresModelo->index(fila(i), colRazonSocial).data(rol);
    return c.isValid() ? c.value<QBrush>().color().name().toStdString() : std::string("ninguno");
  };
  EXPECT_EQ(color(3, Qt::BackgroundRole), "#ffff80");
  EXPECT_EQ(color(3, Qt::ForegroundRole), "#0000ff");  // mailed: still blue
  EXPECT_EQ(color(7, Qt::BackgroundRole), "ninguno");
  EXPECT_EQ(color(7, Qt::ForegroundRole), "#0000ff");  // a reply only annotates: still delivered
  // The supplier answered: "Enviado" in green, the reply as the tooltip.
  const QModelIndex enviado7 = v->ListProveedoresModelo->index(fila(7), colEnviado);
  EXPECT_EQ(enviado7.data(Qt::ForegroundRole).value<QBrush>().color().name().toStdString(), "#008000");
  EXPECT_EQ(enviado7.data(Qt::ToolTipRole).toString().toStdString(),
            "Respondida: Ana <ventas@proveedor.example> | Fri, 22 May 2026 09:00:00 -0300 | Re: Orden");
  EXPECT_EQ(color(11, Qt::ForegroundRole), "#ff0000");
  EXPECT_EQ(color(15, Qt::BackgroundRole), "ninguno");
  EXPECT_EQ(color(15, Qt::ForegroundRole), "#0000ff");
  EXPECT_EQ(color(0, Qt::ForegroundRole), "ninguno");
  // The bar lies over the foot of the list, the list where it was.
  const QRect lista = v->ListProveedores->geometry();
  EXPECT_EQ(v->BarraEntregas->geometry().bottom(), lista.bottom());
  EXPECT_EQ(v->BarraEntregas->width(), lista.width());
  EXPECT_EQ(lista.y(), ui::TwipsAPixeles(1335));

  // The journal of one order: double click, or the right click's "Ver entregas".
  ASSERT_EQ(op->Cuantos("MsgBox"), 0);
  v->ListProveedores_DblClick(fila(3));
  ASSERT_EQ(op->Cuantos("MsgBox"), 1);
  EXPECT_EQ(op->pedidos.back().texto,
            "2026-05-21 10:00:00  PENDIENTE  compras@example.com  421 4.3.2 servicio no disponible\n"
            "2026-05-21 10:05:00  PENDIENTE  compras@example.com  451 4.4.1 sin respuesta");
  EXPECT_EQ(op->pedidos.back().titulo,
            "Entregas de la orden " + demo::ProveedorPedido(3) + " " + demo::NumeroPedido(3));
  v->ListProveedores_DblClick(fila(15));  // nothing to show
  EXPECT_EQ(op->Cuantos("MsgBox"), 1);

  v->ListProveedores->scrollTo(v->ListProveedoresModelo->index(fila(7), 0));
  const QRect celda = v->ListProveedores->visualRect(v->ListProveedoresModelo->index(fila(7), 0));
  v->ListProveedores_MouseDown(2, 0, celda.center().x(), celda.center().y());
  ASSERT_TRUE(v->MEN->isVisible());
  EXPECT_TRUE(v->VerEntregas->isEnabled());
  v->MEN->hide();
  v->VerEntregas->trigger();
  ASSERT_EQ(op->Cuantos("MsgBox"), 2);
  EXPECT_NE(op->pedidos.back().texto.find("ENVIADO  compras@example.com  250 2.0.0 Ok"), std::string::npos);

  // The journal is read again on reload: once 3 is delivered (a line of another PC's file,
  // beside the old ENTREGAS.TXT) nothing waits.
  std::filesystem::create_directories(dir / "CORREO/ENTREGAS/PC-B");
  WriteBytes(dir / "CORREO/ENTREGAS/PC-B/2026-05.TXT",
             LineaDiario(3, basic::kEntregaEnviado, "250 2.0.0 Ok", "2026-05-21 10:20:00"));
  v->cmdCargarProveedores->click();
  EXPECT_EQ(color(3, Qt::BackgroundRole), "ninguno");
  EXPECT_EQ(v->EstadoCola->text().toStdString(), "1 mail no se pudo entregar");  // 11
  EXPECT_TRUE(v->BarraEntregas->isVisible());
}

// A mail the mail program gave up after DiasReintento days (its FALLIDO line days after the
// mailing): the stamp of that mailing is cleared and the order is listed again, red. A
// stamp of another date (mailed again since) is left alone.
TEST_F(Ventana, CorreoAbandonadoDevuelveLaOrdenSoloConLaMarcaDeEseEnvio) {
  Abrir();
  v->show();
  ASSERT_GE(v->CantidadFilas(), 2);
  const FilaPendiente a = v->Fila(0), b = v->Fila(1);
  const std::string dia =
      FechasDelEnvio({"", "", "", "", "20261201-080000-5-1"}, basic::regional().fechaCorta)[0];
  const std::string otroDia =
      FechasDelEnvio({"", "", "", "", "20261203-080000-5-1"}, basic::regional().fechaCorta)[0];
  for (const auto& [f, fecha] : {std::pair{a, dia}, std::pair{b, otroDia}}) {
    gDB().EjecutaConsultaSQL("UPDATE c_mv_cpte SET fechaenviomail ='" + fecha + "' WHERE Cuenta = '" +
                             f.Texto() + "' and tc='OC' and idcomprobante='" + f.SubItem(colIdComprobante) +
                             "'");
    for (const char* resultado : {basic::kEntregaPendiente, basic::kEntregaFallido})
      basic::AgregarAlDiarioDelEquipo(
          dir / "CORREO/ENTREGAS.TXT",
          {resultado == basic::kEntregaPendiente ? "2026-12-01 08:00:00" : "2026-12-06 08:00:00",
           NombreArchivoOrden(f.Texto(), f.SubItem(colIdComprobante)), f.SubItem(colMail), resultado,
           "421 4.3.2 sin servicio", "<m@x>", "20261201-080000-5-1"});
  }
  v->cmdCargarProveedores->click();
  auto listada = [&](const FilaPendiente& f) {
    for (int i = 0; i < v->CantidadFilas(); ++i)
      if (v->Fila(i).Clave() == f.Clave()) return v->Fila(i).entrega == EstadoEntrega::Fallido;
    return false;
  };
  EXPECT_TRUE(listada(a));
  EXPECT_FALSE(listada(b));  // stamped on another day: mailed again since
}

// While the window stays open its timer retries the spool ([CORREO] MinutosRevision, 5 by
// default, 0 none): the mail program is started with --reintentar when the spool holds
// mail, never while a run goes on.
TEST_F(VentanaEnvio, ElTemporizadorReintentaLaColaMientrasLaVentanaEstaAbierta) {
  Abrir();
  v->show();
  ASSERT_NE(v->TemporizadorRevision(), nullptr);
  EXPECT_TRUE(v->TemporizadorRevision()->isActive());
  EXPECT_EQ(v->TemporizadorRevision()->interval(), 5 * 60 * 1000);
  EXPECT_FALSE(v->RevisarCola());  // nothing in the spool
  EXPECT_TRUE(correo.lineas.empty());

  const std::string cola = LeerRutasCorreo(dir.str()).carpetaPendientes;
  std::filesystem::create_directories(cola);
  WriteBytes(cola + "/20261211-093000-1-1.sobre", "x");
  bool duranteElEnvio = true;
  opcionesDespacho().alPaso = [&](PasoEntrega, const ResultadoOrden&) { duranteElEnvio = v->RevisarCola(); };
  ConectarEnvioYVista(*v);
  for (int i = 0; i < v->CantidadFilas(); ++i) v->MarcarFila(i, i == 0);
  QTest::mouseClick(v->CmdEnviar, Qt::LeftButton);
  EXPECT_FALSE(duranteElEnvio);
  const size_t antes = correo.lineas.size();  // the run's own mail program and its retry
  v->TemporizadorRevision()->start(1);        // the test's clock: the period runs out at once
  for (int i = 0; i < 100 && correo.lineas.size() == antes; ++i) QTest::qWait(5);
  v->TemporizadorRevision()->stop();
  ASSERT_GT(correo.lineas.size(), antes);
  for (size_t i = antes; i < correo.lineas.size(); ++i)
    EXPECT_NE(correo.lineas[i].find("TSPOST.EXE\" --reintentar"), std::string::npos) << correo.lineas[i];

  // With the sender's mailbox set, each turn also reads it for bounces and replies.
  WriteBytes(dir / "TM440kv.INI", "[CORREO]\r\nBuzonEntrada=imap://127.0.0.1/INBOX\r\n");
  v->RevisarCola();
  EXPECT_NE(correo.lineas.back().find("TSPOST.EXE\" --revisar"), std::string::npos) << correo.lineas.back();

  WriteBytes(dir / "TM440kv.INI", "[CORREO]\r\nMinutosRevision=0\r\n");
  v->Form_Load();
  EXPECT_FALSE(v->TemporizadorRevision()->isActive());
}

// A mail of the run refused for good (the mail program's FALLIDO line): at the reload the
// order is pending again, listed with the switch on, red, unchecked while its supplier's
// address is the one that failed, with the reason as its tooltip; the clearing is in the
// usage log. Once the address is changed in the database the order comes back checked.
TEST_F(VentanaEnvio, OrdenRechazadaVuelveSinMarcarHastaQueCambiaLaDireccion) {
  Abrir();
  ConectarEnvioYVista(*v);
  v->show();
  int fila = -1;
  for (int i = 0; i < v->CantidadFilas(); ++i) {
    const bool esta = fila < 0 && DireccionNoValida(v->Fila(i).SubItem(colMail)).empty() &&
                      !basic::Trim(v->Fila(i).SubItem(colMail)).empty();
    if (esta) fila = i;
    v->MarcarFila(i, esta);
  }
  ASSERT_GE(fila, 0);
  const std::string cuenta = v->Fila(fila).Texto(), id = v->Fila(fila).SubItem(colIdComprobante);
  const std::string mail = v->Fila(fila).SubItem(colMail);
  // The mail program refuses it as tspost writes it.
  opcionesDespacho().alPaso = [&](PasoEntrega paso, const ResultadoOrden& o) {
    if (paso != PasoEntrega::Tomada) return;
    const std::time_t ahora = std::time(nullptr);
    char cola[32];
    std::strftime(cola, sizeof cola, "%Y%m%d-%H%M%S-77-1", std::localtime(&ahora));
    basic::AgregarAlDiarioDelEquipo(
        (dir / "CORREO/ENTREGAS.TXT"),
        {basic::FechaDiario(ahora), NombreArchivoOrden(o.cuenta, o.idComprobante), mail,
         basic::kEntregaFallido, "550 5.1.1 <" + mail + ">: no existe", "<m@x>", cola});
  };
  QTest::mouseClick(v->CmdEnviar, Qt::LeftButton);
  ASSERT_EQ(correo.lineas.size(), 1u);
  ASSERT_TRUE(v->chkConEnvioPendiente->isChecked());

  Sqlite s(Base());
  EXPECT_EQ(s.Texto("SELECT FechaEnvioMail FROM c_mv_cpte WHERE TC='OC' AND IdComprobante='" + id + "'"),
            "NULL");
  EXPECT_EQ(s.Texto("SELECT COUNT(*) FROM Control_Acceso WHERE Tarea LIKE 'MAIL NO ENTREGADO %" + id + "%'"),
            "1");
  auto buscar = [&] {
    for (int i = 0; i < v->CantidadFilas(); ++i)
      if (v->Fila(i).SubItem(colIdComprobante) == id) return i;
    return -1;
  };
  int f = buscar();
  ASSERT_GE(f, 0) << "la orden rechazada no volvió a la lista";
  const QModelIndex celda = v->ListProveedoresModelo->index(f, colRazonSocial);
  EXPECT_EQ(celda.data(Qt::ForegroundRole).value<QBrush>().color().name().toStdString(), "#ff0000");
  EXPECT_EQ(celda.data(Qt::ToolTipRole).toString().toStdString(),
            "No se pudo entregar: 550 5.1.1 <" + mail + ">: no existe");
  EXPECT_FALSE(v->FilaMarcada(f));
  EXPECT_EQ(v->EstadoCola->text().toStdString(), "1 mail no se pudo entregar");
  EXPECT_NE(op->pedidos.back().texto.find(
                "1 no entregada: el servidor de correo la rechazó (vuelve a la lista de pendientes)."),
            std::string::npos)
      << op->pedidos.back().texto;

  s.Ejecutar("UPDATE vt_proveedores SET Mail = 'nueva@example.com' WHERE Codigo = '" + cuenta + "'");
  v->cmdCargarProveedores->click();
  f = buscar();
  ASSERT_GE(f, 0);
  EXPECT_TRUE(v->FilaMarcada(f));
}
