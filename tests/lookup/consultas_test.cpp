// The lookup engine and its windows on a fresh embedded demo database, driven offscreen
// through the scripted operator.
#include <QComboBox>
#include <QPushButton>
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "data/db_dll.h"
#include "lookup/definiciones.h"
#include "lookup/lib_clscons3.h"
#include "lookup/lib_frmcons3.h"
#include "lookup/lib_frmcons3tree.h"
#include "lookup/modelo_filas.h"
#include "ocmail-sql/base_datos.h"
#include "platform/ado/ado.h"
#include "platform/basic/texto.h"
#include "platform/os/procesos.h"
#include "platform/os/rutas.h"
#include "platform/ui/operador_guionado.h"
#include "support/casos_sin_caso.h"
#include "support/temp_dir.h"

namespace {

struct ProcesosAnotados : os::Procesos {
  std::vector<std::string> lineas;
  long Iniciar(const std::string& linea, int) override {
    lineas.push_back(linea);
    return 4242;
  }
};

class Consultas : public ::testing::Test {
 protected:
  void SetUp() override {
    os::FijarCarpetaAplicacion(dir.str());
    os::InstalarProcesos(&procesos);
    ocmailsql::CrearBaseDatos(dir / "demo.db", 8);
    DB_Dll& db = gDB();
    db.gServidor = "sqlite";
    db.gDBName = "demo";
    db.gUsuario = "admin";
    db.gUserPassWord = "x";
    db.OpenServerADODB(false, 3, "", true, false);
    ASSERT_TRUE(db.gOpenFlag);
    definiciones = dir / "consultas.qzx";
    GenerarConsultas(definiciones);
  }
  void TearDown() override {
    LiberarInstanciasDB();
    os::InstalarProcesos(nullptr);
    os::FijarCarpetaAplicacion("");
  }
  void Sql(const std::string& s) {
    long n = 0;
    gDB().EjecutaConsultaSQL(s, n);
    ASSERT_EQ(gDB().gCnn->Errors().Count(), 0) << s;
  }
  void Config(const std::string& clave, const std::string& valor) {
    Sql("DELETE FROM TA_CONFIGURACION WHERE Clave = '" + clave + "'");
    Sql("INSERT INTO TA_CONFIGURACION (Grupo, Clave, Valor) VALUES ('General', '" + clave + "', '" + valor +
        "')");
  }
  // An engine configured as the start-up does it.
  std::unique_ptr<Lib_ClsCons3> Motor() {
    auto m = std::make_unique<Lib_ClsCons3>();
    m->gUsarMascarasConsultas = true;
    m->gRutaMascaraConsultas = definiciones;
    return m;
  }
  // Row (1-based) of the list whose column c (1-based) holds `valor`.
  static int FilaCon(const Lib_FrmCons3& w, int c, const std::string& valor) {
    for (int r = 0; r < w.Lista().Filas(); ++r)
      if (w.Lista().Celda(r, c - 1) == valor) return r + 1;
    return 0;
  }
  std::vector<std::string> Mensajes() const {
    std::vector<std::string> r;
    for (const auto& p : op.op.pedidos)
      if (p.tipo == "MsgBox") r.push_back(p.texto);
    return r;
  }
  static Lib_FrmCons3& Lista(ui::VentanaModal& v) { return dynamic_cast<Lib_FrmCons3&>(v); }

  TempDir dir;
  std::string definiciones;
  ProcesosAnotados procesos;
  ui::OperadorGuionado::Instalado op;
};

// ---------------------------------------------------------------- engine

TEST_F(Consultas, SupplierCodeFromTheDefinition) {
  auto m = Motor();
  std::string sql, sqlVentana;
  int filas = 0;
  op->modales.push_back([&](ui::VentanaModal& v) {
    auto& w = Lista(v);
    sqlVentana = w.SQL;
    filas = w.Lista().Filas();
    w.SeleccionarFila(FilaCon(w, 2, "P002"));
    w.CmdAceptar_Click();
  });
  m->CampoDevuelto = "Codigo";
  m->ConsultaSearch("vt_proveedores");
  EXPECT_EQ(m->UltimaSentencia(),
            "SELECT TOP 1000 RAZON_SOCIAL,CODIGO FROM VT_PROVEEDORES  with(nolock)  WHERE Dada_De_Baja = 0 "
            "ORDER BY "
            "RAZON_SOCIAL");
  EXPECT_EQ(sqlVentana, m->UltimaSentencia() + " ");    // the load routine appends a blank
  EXPECT_EQ(filas, ocmailsql::demo::kProveedores - 1);  // P019 is de baja
  EXPECT_EQ(m->ValorDevuelto.Texto(), "P002");
  EXPECT_EQ(m->CampoDevuelto, "");
  EXPECT_FALSE(m->Checks);

  // Cancelled: an empty value, Valores refers to nothing.
  op->modales.push_back([](ui::VentanaModal& v) { Lista(v).CmdCancelar_Click(); });
  m->CampoDevuelto = "Codigo";
  m->ConsultaSearch("vt_proveedores");
  EXPECT_EQ(m->ValorDevuelto.Texto(), "");
  EXPECT_EQ(m->ValorDevuelto.Tipo(), basic::TipoVariant::String);
  EXPECT_EQ(m->Valores, nullptr);
}

TEST_F(Consultas, UserNameFromATableWithoutDefinition) {
  auto m = Motor();
  op->modales.push_back([&](ui::VentanaModal& v) {
    auto& w = Lista(v);
    EXPECT_EQ(w.IndiceColumna("nombre"), 1);  // Nombre is the table's last field
    w.SeleccionarFila(FilaCon(w, 1, "JULIA"));
    w.CmdAceptar_Click();
  });
  m->CampoDevuelto = "Nombre";
  m->ConsultaSearch("ta_usuarios");
  EXPECT_EQ(m->UltimaSentencia(),
            "SELECT TOP 1000 Nombre,NombreCompleto,Sector,Administrador,Mail,UNegocio,verproforma FROM "
            "ta_usuarios  "
            "ORDER BY Nombre");
  EXPECT_EQ(m->ValorDevuelto.Texto(), "JULIA");
}

TEST_F(Consultas, RowLimitWhereAndGivenStatements) {
  auto m = Motor();
  Config("TopConsArt", "50");
  m->ConsultaSearch("vt_proveedores");
  EXPECT_EQ(m->UltimaSentencia().rfind("SELECT TOP 50 RAZON_SOCIAL", 0), 0u) << m->UltimaSentencia();
  m->ConsultaSearch("ta_usuarios");
  EXPECT_EQ(m->UltimaSentencia().rfind("SELECT TOP 50 Nombre", 0), 0u) << m->UltimaSentencia();
  Config("TopConsArt", "0");
  m->ConsultaSearch("vt_proveedores");
  EXPECT_EQ(m->UltimaSentencia().rfind("SELECT TOP 1000 ", 0), 0u);

  // The caller's condition comes back normalised and stands in for the blank filter.
  RefColeccion ninguna;
  std::string campo, where = "Codigo = 'P003'";
  int filas = -1;
  op->modales.push_back([&](ui::VentanaModal& v) { filas = Lista(v).Lista().Filas(); });
  m->ConsultaSearch("vt_proveedores", ninguna, "", campo, where, "", false, "");
  EXPECT_EQ(where, " (Codigo = 'P003') ");
  EXPECT_EQ(campo, "RAZON_SOCIAL");
  EXPECT_EQ(filas, 1);

  // A statement in lower case is used as it stands, with the condition appended.
  where = "Codigo = 'P004'";
  campo.clear();
  op->modales.push_back([&](ui::VentanaModal& v) { filas = Lista(v).Lista().Filas(); });
  m->ConsultaSearch("select Codigo, Razon_Social from vt_proveedores", ninguna, "", campo, where, "", false,
                    "");
  EXPECT_EQ(m->UltimaSentencia(),
            "select Codigo, Razon_Social from vt_proveedores WHERE  (Codigo = 'P004') ");
  EXPECT_EQ(filas, 1);
  EXPECT_EQ(campo, "");
}

TEST_F(Consultas, ReturnedColumnsAndTheCallersCollection) {
  auto m = Motor();
  auto columnas = std::make_shared<Coleccion>(Coleccion{"Razon_Social", "NoExiste", "Codigo"});
  const RefColeccion propia = columnas;
  op->modales.push_back([&](ui::VentanaModal& v) {
    auto& w = Lista(v);
    w.SeleccionarFila(FilaCon(w, 2, "P004"));
    w.CmdAceptar_Click();
  });
  std::string campo, where;
  m->ConsultaSearch("vt_proveedores", columnas, "", campo, where, "", false, "");
  ASSERT_NE(m->Valores, nullptr);
  // A name the list does not have repeats the value taken last.
  EXPECT_EQ(*m->Valores,
            (Coleccion{ocmailsql::demo::kRazonApostrofo, ocmailsql::demo::kRazonApostrofo, "P004"}));
  EXPECT_EQ(columnas, nullptr);
  EXPECT_TRUE(propia->empty());
  EXPECT_EQ(m->ValorDevuelto.Texto(), "P004");  // no CampoDevuelto: the value taken last
}

TEST_F(Consultas, ChecksStartClearedAndReturnTheCheckedRows) {
  auto m = Motor();
  std::vector<bool> marcas;
  op->modales.push_back([&](ui::VentanaModal& v) {
    auto& w = Lista(v);
    for (int r = 0; r < w.Lista().Filas(); ++r) marcas.push_back(w.Lista().FilaEn(r).marcada);
    w.Lista().FijarMarcada(FilaCon(w, 2, "P010") - 1, true);
    w.Lista().FijarMarcada(FilaCon(w, 2, "P002") - 1, true);
    w.CmdAceptar_Click();
  });
  m->Checks = true;
  m->CampoDevuelto = "Codigo";
  RefColeccion ninguna;
  std::string campo, where;
  m->ConsultaSearch("vt_proveedores", ninguna, "", campo, where, "", false, "P002,P010");
  EXPECT_EQ(std::count(marcas.begin(), marcas.end(), true), 0);
  ASSERT_NE(m->Valores, nullptr);
  EXPECT_EQ(m->Valores->size(), 2u);
  EXPECT_FALSE(m->Checks);
}

TEST_F(Consultas, DefinitionsFileEdges) {
  // A one-column definition stored with NUL padding, and a short last record.
  DefConsulta d;
  d.TituloConsulta = "MANT";
  d.TablaConsulta = "V_MA_MANTENIMIENTOS";
  d.CamposConsulta = "|DESCRIPCION|";
  d.FinDeLinea = "\r\n";
  std::string bytes = d.Bytes();
  for (size_t i = 100 + 19; i < 200; ++i) bytes[i] = '\0';
  DefConsulta corto;
  corto.TablaConsulta = "VT_CLIENTES";
  corto.CamposConsulta = "|CODIGO|RAZON_SOCIAL|";
  const std::string archivo = dir / "cortas.qzx";
  WriteBytes(archivo, bytes + corto.Bytes().substr(0, 600));

  auto m = Motor();
  m->gRutaMascaraConsultas = archivo;
  m->ValorDevuelto = basic::Variant(std::string("antes"));
  m->CampoDevuelto = "Codigo";
  m->ConsultaSearch("v_ma_mantenimientos");
  EXPECT_EQ(op->Cuantos("Modal"), 0);
  EXPECT_EQ(Mensajes(), (std::vector<std::string>{"Debe configurar la consulta para esta tabla"}));
  EXPECT_EQ(m->ValorDevuelto.Texto(), "antes");
  EXPECT_EQ(m->CampoDevuelto, "Codigo");

  // With a search column it runs.
  RefColeccion ninguna;
  std::string campo = "DESCRIPCION", where;
  m->ConsultaSearch("v_ma_mantenimientos", ninguna, "", campo, where, "", false, "");
  EXPECT_EQ(m->UltimaSentencia(),
            "SELECT TOP 1000 DESCRIPCION FROM V_MA_MANTENIMIENTOS  with(nolock)  ORDER BY DESCRIPCION");

  // The short last record is read as far as it goes.
  m->ConsultaSearch("vt_clientes");
  EXPECT_EQ(
      m->UltimaSentencia(),
      "SELECT TOP 1000 CODIGO,RAZON_SOCIAL FROM VT_CLIENTES  with(nolock)  WHERE Dada_De_Baja = 0 ORDER BY "
      "CODIGO");

  // Without a definitions file the table describes itself.
  m->gRutaMascaraConsultas = dir / "no_existe.qzx";
  m->ConsultaSearch("V_TA_VENDEDORES");
  EXPECT_EQ(m->UltimaSentencia(), "SELECT TOP 1000 IdVendedor,Nombre FROM V_TA_VENDEDORES  ORDER BY Nombre");
}

TEST_F(Consultas, AMissingTableShowsNoWindow) {
  auto m = Motor();
  m->ValorDevuelto = basic::Variant(std::string("antes"));
  m->CampoDevuelto = "Codigo";
  m->ConsultaSearch("no_existe_tabla");
  EXPECT_EQ(op->Cuantos("Modal"), 0);
  EXPECT_GE(op->Cuantos("MsgBox"), 1);  // the data layer reports the failed statement
  EXPECT_EQ(m->ValorDevuelto.Texto(), "");
  EXPECT_EQ(m->CampoDevuelto, "");
}

TEST_F(Consultas, OptionLists) {
  auto m = Motor();
  std::vector<std::pair<std::string, bool>> filas;
  op->modales.push_back([&](ui::VentanaModal& v) {
    auto& w = Lista(v);
    EXPECT_EQ(w.windowTitle().toStdString(), "Opciones");
    EXPECT_TRUE(w.CmdNueva()->isHidden());
    for (int r = 0; r < w.Lista().Filas(); ++r)
      filas.emplace_back(w.Lista().Celda(r, 0), w.Lista().FilaEn(r).marcada);
    w.Lista().FijarMarcada(1, true);
    w.CmdAceptar_Click();
  });
  EXPECT_EQ(m->CheckOpciones("Opciones", nullptr, {"1Uno", "0Dos", "1Tres"}), "");
  EXPECT_EQ(filas,
            (std::vector<std::pair<std::string, bool>>{{"Uno", true}, {"Dos", false}, {"Tres", true}}));
  ASSERT_NE(m->Valores, nullptr);
  EXPECT_EQ(*m->Valores, (Coleccion{"Uno", "Dos", "Tres"}));

  // A single option is listed too; the chosen text comes back; a cancel gives "".
  int cuantas = 0;
  op->modales.push_back([&](ui::VentanaModal& v) {
    auto& w = Lista(v);
    cuantas = w.Lista().Filas();
    w.SeleccionarFila(1);
    w.CmdAceptar_Click();
  });
  EXPECT_EQ(m->MenuOpciones("Menu", {"Solo"}), "Solo");
  EXPECT_EQ(cuantas, 1);
  op->modales.push_back([](ui::VentanaModal& v) { Lista(v).CmdCancelar_Click(); });
  EXPECT_EQ(m->MenuOpciones("Menu", {"A", "B"}), "");

  WriteBytes(dir / "lineas.txt", "primera\r\nsegunda l\xEDnea\r\n");
  op->modales.push_back([](ui::VentanaModal& v) {
    auto& w = Lista(v);
    w.SeleccionarFila(2);
    w.CmdAceptar_Click();
  });
  EXPECT_EQ(m->ConsultaDesdeArchivo("Archivo", "\"" + (dir / "lineas.txt") + "\""), "segunda línea");
  const std::string falta = dir / "falta.txt";
  EXPECT_EQ(m->ConsultaDesdeArchivo("Archivo", falta), "");
  EXPECT_EQ(Mensajes().back(), "No existe el archivo " + falta + " que desea consultar consulta ");
}

// ---------------------------------------------------------------- list window

class Ventana : public Consultas {
 protected:
  void Abrir(const std::string& sql) {
    w.SQL = sql;
    w.Cargar();
  }
  Lib_FrmCons3 w;
};

TEST_F(Ventana, IncrementalSearchAndF5Narrowing) {
  w.CfgUsaConsultaLIKE = true;
  Abrir("SELECT Razon_Social, Codigo FROM vt_proveedores ORDER BY Codigo");
  ASSERT_EQ(w.Lista().Filas(), ocmailsql::demo::kProveedores);
  EXPECT_EQ(w.TablaActual(), "vt_proveedores");
  EXPECT_EQ(w.TagCaja(1), "Codigo");

  // Box 1 sits over the second column; the search ignores case.
  w.CmbSearch(1)->setEditText("p01");
  EXPECT_EQ(w.Lista().Celda(w.FilaSeleccionada() - 1, 1), "P010");
  w.CmbSearch(1)->setEditText("zz");  // no row: the selection stays
  EXPECT_EQ(w.Lista().Celda(w.FilaSeleccionada() - 1, 1), "P010");
  w.CmbSearch(1)->setEditText("");
  EXPECT_EQ(w.FilaSeleccionada(), 1);
  EXPECT_EQ(w.Busqueda(0, "  distribuidora o'h"), FilaCon(w, 2, "P004"));

  // F5 with a quote: doubled inside the literal, the list narrows to the one supplier.
  w.CmbSearch(0)->setEditText("o'higgins");
  EXPECT_TRUE(w.CmbSearch_KeyDown(0, 116));
  EXPECT_EQ(w.SQL,
            "SELECT Razon_Social, Codigo FROM vt_proveedores  where Razon_Social like '%o''higgins%' ORDER "
            "BY Codigo  ");
  EXPECT_EQ(w.CmbSearch(0)->currentText(), "");
  ASSERT_EQ(w.Lista().Filas(), 1);
  EXPECT_EQ(w.Lista().Celda(0, 1), "P004");

  // "&Nueva Busqueda" returns to the first statement.
  w.CmdNueva_Click();
  EXPECT_EQ(w.Lista().Filas(), ocmailsql::demo::kProveedores);
}

// The search in the list and F5 (a LIKE on the embedded database) find the same rows.
TEST_F(Ventana, SearchAndF5AgreeOnTheTableOfCases) {
  for (const auto& c : casos_sin_caso::kCasos) {
    SCOPED_TRACE(std::string(c.guardado) + " / " + c.buscado);
    Sql("DELETE FROM vt_proveedores WHERE Codigo = 'T01'");
    Sql(std::string("INSERT INTO vt_proveedores (Codigo, Razon_Social) VALUES ('T01', '") + c.guardado +
        "')");
    Lib_FrmCons3 v;
    v.SQL = "SELECT Razon_Social, Codigo FROM vt_proveedores WHERE Codigo = 'T01'";
    v.Cargar();
    ASSERT_EQ(v.Lista().Filas(), 1);
    EXPECT_EQ(v.Busqueda(0, c.buscado), c.igual ? 1 : 0);
    v.CmbSearch(0)->setEditText(QString::fromStdString(c.buscado));
    EXPECT_TRUE(v.CmbSearch_KeyDown(0, 116));
    EXPECT_EQ(v.Lista().Filas(), c.igual ? 1 : 0) << v.SQL;
  }
}

TEST_F(Ventana, ListKeysSortingAndChecks) {
  Abrir("SELECT Razon_Social, Codigo FROM vt_proveedores ORDER BY Codigo");
  // Typing in the list goes to the current search box.
  w.CmbSearch_GotFocus(1);
  EXPECT_TRUE(w.ListView1_KeyDown(80, 0));  // P
  EXPECT_TRUE(w.ListView1_KeyDown(97, 0));  // keypad 1 is the character "a"
  EXPECT_EQ(w.CmbSearch(1)->currentText(), "Pa");
  EXPECT_TRUE(w.ListView1_KeyDown(8, 0));
  EXPECT_EQ(w.CmbSearch(1)->currentText(), "P");
  EXPECT_FALSE(w.ListView1_KeyDown(116, 0));  // a function key types nothing
  EXPECT_EQ(w.CmbSearch(1)->currentText(), "P");

  // Header clicks: descending first, then back.
  w.ListView1_ColumnClick(1);
  EXPECT_EQ(w.Lista().Celda(0, 1), "P020");
  w.ListView1_ColumnClick(1);
  EXPECT_EQ(w.Lista().Celda(0, 1), "P001");

  w.MostrarCasillas(true);
  w.CheckBoxes = true;
  w.Lista().FijarMarcada(0, true);
  w.CmdTodos_Click();
  EXPECT_FALSE(w.Lista().FilaEn(0).marcada);
  EXPECT_TRUE(w.Lista().FilaEn(1).marcada);

  // Enter accepts; with check boxes the first column's values of checked rows return.
  w.CampoDevuelto = "";
  EXPECT_TRUE(w.ListView1_KeyDown(13, 0));
  ASSERT_NE(w.Valores, nullptr);
  EXPECT_EQ(w.Valores->size(), static_cast<size_t>(ocmailsql::demo::kProveedores - 1));
  EXPECT_EQ(w.CampoDevuelto, "Razon_Social");
}

TEST_F(Ventana, QuantityKeys) {
  Abrir("SELECT Descripcion, '0' AS [**Cantidad**] FROM MA_ARTICULOS ORDER BY Descripcion");
  w.UsaCantidades = true;
  w.MostrarCasillas(true);
  w.SeleccionarFila(1);
  const int c = w.IndiceColumna("**Cantidad**");
  ASSERT_EQ(c, 2);
  std::vector<std::pair<std::string, bool>> pasos;
  for (int tecla : {45, 45, 46, 46, 46}) {
    EXPECT_TRUE(w.ListView1_KeyDown(tecla, 0));
    pasos.emplace_back(w.Lista().Celda(0, 1), w.Lista().FilaEn(0).marcada);
  }
  EXPECT_EQ(pasos, (std::vector<std::pair<std::string, bool>>{
                       {"1.0", true}, {"2.0", true}, {"1.0", true}, {"0.00", false}, {"0.00", false}}));

  op->textos = {"3,5", ""};
  EXPECT_TRUE(w.ListView1_KeyDown(45, 1));
  EXPECT_EQ(w.Lista().Celda(0, 1), "3.50");
  EXPECT_TRUE(w.Lista().FilaEn(0).marcada);
  EXPECT_EQ(op.op.pedidos.back().texto, "Ingrese la Cantidad del Articulo...");
  EXPECT_TRUE(w.ListView1_KeyDown(45, 1));  // cancelled: unchanged
  EXPECT_EQ(w.Lista().Celda(0, 1), "3.50");
}

TEST_F(Ventana, ShortageReportAndNewRecord) {
  Abrir("SELECT Descripcion, IdArticulo FROM V_MA_ARTICULOS ORDER BY IdArticulo");
  ASSERT_TRUE(w.EsArticulos());
  ASSERT_GT(w.Lista().Filas(), 0);
  w.SeleccionarFila(1);
  const std::string id = w.Lista().Celda(0, 1);
  op->respuestas = {ui::vbNo, ui::vbYes};
  EXPECT_TRUE(w.Form_KeyDown(123));
  EXPECT_TRUE(w.Form_KeyDown(123));
  ado::Recordset rs;
  gDB().AbrirRecordset("SELECT IdArticulo, Usuario FROM V_MV_FALTANTES", rs);
  ASSERT_FALSE(rs.Eof());
  EXPECT_EQ(basic::Trim(rs.Fields(0L).Value().Texto()), id);
  EXPECT_EQ(rs.Fields(1L).Value().Texto(), "admin");
  rs.MoveNext();
  EXPECT_TRUE(rs.Eof());  // "No" wrote nothing
  gDB().CierraRecordset(rs);
  EXPECT_EQ(op.op.pedidos[0].texto.rfind("Desea informar el articulo " + id, 0), 0u);

  // "N&uevo" starts the articles editor with no parameter.
  w.CmdNuevo_Click();
  ASSERT_EQ(procesos.lineas.size(), 1u);
  EXPECT_NE(procesos.lineas[0].find("editor_articulos"), std::string::npos) << procesos.lineas[0];
  EXPECT_NE(procesos.lineas[0].find("@ParametroAdicional=;"), std::string::npos) << procesos.lineas[0];
}

TEST_F(Ventana, StockColoursOfArticleRows) {
  w.MuestraStock = "si";
  w.StkNivel1 = basic::Variant(int32_t{0x0000FF});
  w.StkNivel2 = basic::Variant(int32_t{0x00FF00});
  w.StkNivel3 = basic::Variant(int32_t{0xFF0000});
  w.StkNivel4 = basic::Variant(int32_t{0x00FFFF});
  Abrir("SELECT Descripcion, IdArticulo, PuntoPedido, Stock FROM V_MA_ARTICULOS");
  ASSERT_GT(w.Lista().Filas(), 3);
  std::set<int32_t> vistos;
  for (int r = 0; r < w.Lista().Filas(); ++r) {
    const double punto = std::stod(w.Lista().Celda(r, 2)), stock = std::stod(w.Lista().Celda(r, 3));
    const int32_t esperado = punto == 0 && stock > 0      ? 0x0000FF
                             : punto > 0 && stock > punto ? 0x00FF00
                             : punto > 0 && stock < punto ? 0xFF0000
                                                          : 0x00FFFF;
    ASSERT_TRUE(w.Lista().FilaEn(r).color.has_value());
    EXPECT_EQ(*w.Lista().FilaEn(r).color, esperado) << punto << " " << stock;
    vistos.insert(esperado);
  }
  EXPECT_GE(vistos.size(), 3u);  // the demo articles reach several levels

  // Without the reorder point there is no colour.
  Lib_FrmCons3 sinPunto;
  sinPunto.MuestraStock = "SI";
  sinPunto.SQL = "SELECT Descripcion, Stock FROM V_MA_ARTICULOS";
  sinPunto.Cargar();
  ASSERT_GT(sinPunto.Lista().Filas(), 0);
  EXPECT_FALSE(sinPunto.Lista().FilaEn(0).color.has_value());
}

TEST_F(Ventana, ColumnWidthsFile) {
  WriteBytes(dir / "consultaslen.qzx", "\"vt_proveedores\",\"2400|\"\r\n\"roto\r\n");
  Abrir("SELECT Razon_Social, Codigo FROM vt_proveedores");
  EXPECT_EQ(w.AnchoColumna(1), 2400);
  const int segunda = w.AnchoColumna(2);
  EXPECT_EQ(segunda, w.AnchoTexto(std::string(20, 'X')));  // VARCHAR(20): its computed width

  w.GrabarCfg = true;
  w.FijarAnchoColumna(2, 1500);
  w.Form_Unload();
  EXPECT_EQ(ReadBytes(dir / "consultaslen.qzx"), "\"roto\r\n\"vt_proveedores\",\"2400|1500|\"\r\n");
}

TEST_F(Ventana, AcceptWithoutSelectionKeepsTheValue) {
  Abrir("SELECT Razon_Social, Codigo FROM vt_proveedores WHERE 1 = 0");
  w.CampoDevuelto = "Codigo";
  w.CmdAceptar_Click();
  EXPECT_EQ(w.ValorDevuelto.Texto(), "");
  EXPECT_EQ(w.ValorDevuelto.Tipo(), basic::TipoVariant::String);
}

// ---------------------------------------------------------------- tree window

class Arbol : public Consultas {
 protected:
  std::map<std::string, std::string> Padres() {
    std::map<std::string, std::string> r;
    for (const auto& k : t.Claves()) r[k] = t.ClavePadre(k);
    return r;
  }
  Lib_FrmCons3Tree t;
};

TEST_F(Arbol, FamilyTreeFromItsOwnStatement) {
  t.SQL = "SELECT IdFamilia, Descripcion FROM V_TA_FAMILIAS";
  t.Cargar();
  EXPECT_EQ(
      Padres(),
      (std::map<std::string, std::string>{
          {"A", ""}, {"A01", "A"}, {"A0101", "A01"}, {"A010101", "A0101"}, {"A02", "A"}, {"A0201", "A02"}}));
  EXPECT_EQ(t.TextoNodo("A0101"), "0101 - Tornillería");

  t.CampoDevuelto = "idfamilia";
  t.Seleccionar("A0201");
  t.CmdAceptar_Click();
  EXPECT_EQ(t.ValorDevuelto.Texto(), "0201");
}

TEST_F(Arbol, AutomaticTreeChecksSearchAndAccept) {
  Sql("INSERT INTO TA_CCOSTO (Codigo, Descripcion) VALUES ('1', 'Uno')");
  Sql("INSERT INTO TA_CCOSTO (Codigo, Descripcion) VALUES ('10', 'Diez')");
  Sql("INSERT INTO TA_CCOSTO (Codigo, Descripcion) VALUES ('2', 'Dos')");
  // A chain eight levels deep: 7 > 71 > 712 > ... > 71234567.
  std::string codigo;
  for (char d : std::string("71234567")) {
    codigo += d;
    Sql("INSERT INTO TA_CCOSTO (Codigo, Descripcion) VALUES ('" + codigo + "', 'Cadena " + codigo + "')");
  }
  t.CheckBoxes = true;
  t.CampoDevuelto = "CODIGO";
  t.SQL = "SELECT Codigo, Descripcion FROM TA_CCOSTO WHERE Codigo NOT IN ('100','200','300') ORDER BY Codigo";
  t.Cargar();
  auto padres = Padres();
  EXPECT_EQ(padres["A1"], "A");
  EXPECT_EQ(padres["A10"], "A1");
  EXPECT_EQ(padres["A2"], "A");
  EXPECT_EQ(padres["A71234567"], "A7123456");

  // Checking a node checks six levels below it; deeper nodes keep their state.
  t.Marcar("A7", true);
  for (const char* k : {"A71", "A712", "A7123", "A71234", "A712345", "A7123456"})
    EXPECT_TRUE(t.Marcado(k)) << k;
  EXPECT_FALSE(t.Marcado("A71234567"));
  t.Marcar("A1", true);
  EXPECT_TRUE(t.Marcado("A10"));
  t.Marcar("A1", false);
  EXPECT_FALSE(t.Marcado("A10"));
  t.Marcar("A2", true);

  t.CmdAceptar_Click();
  ASSERT_NE(t.Valores, nullptr);
  EXPECT_EQ(*t.Valores, (Coleccion{"2", "7", "71", "712", "7123", "71234", "712345", "7123456"}));

  // Search by code and by description.
  t.CmbSearch()->setEditText("71");
  EXPECT_EQ(t.ClaveSeleccionada(), "A71");
  t.CmbSearch()->setEditText("dos");
  EXPECT_EQ(t.ClaveSeleccionada(), "A2");

  // Single choice: a cost centre is found; the root looks up an empty code.
  t.CheckBoxes = false;
  t.Seleccionar("A10");
  t.CmdAceptar_Click();
  EXPECT_EQ(t.ValorDevuelto.Texto(), "10");
  t.Seleccionar("A");
  t.CmdAceptar_Click();
  EXPECT_EQ(t.ValorDevuelto.Texto(), "");

  // F5 narrows on the description.
  t.CmbSearch()->setEditText("diez");
  EXPECT_TRUE(t.CmbSearch_KeyDown(116));
  EXPECT_NE(t.SQL.find(" and Descripcion like '%diez%' ORDER BY Codigo"), std::string::npos) << t.SQL;
  EXPECT_EQ(t.Claves(), (std::vector<std::string>{"A", "A10"}));
}

TEST_F(Arbol, EngineOpensTheTreeAndReturnsItsValue) {
  auto m = Motor();
  op->modales.push_back([](ui::VentanaModal& v) {
    auto& t = dynamic_cast<Lib_FrmCons3Tree&>(v);
    t.Seleccionar("A111");
    t.CmdAceptar_Click();
  });
  m->CampoDevuelto = "CODIGO";
  RefColeccion ninguna;
  std::string campo, where;
  where = "Codigo <> '5'";
  m->ConsultaSearch("SELECT Codigo, Descripcion FROM MA_CUENTAS", ninguna, "", campo, where, "", true, "");
  EXPECT_EQ(m->UltimaSentencia(), "SELECT Codigo, Descripcion FROM MA_CUENTAS WHERE  (Codigo <> '5') ");
  EXPECT_EQ(m->ValorDevuelto.Texto(), "111");
}

}  // namespace
