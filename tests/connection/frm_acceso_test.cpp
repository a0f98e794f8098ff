// frmAcceso driven offscreen: its buttons and list called directly, the operator scripted,
// the database an embedded one in a fresh application folder.
#include <QLineEdit>
#include <QListWidget>
#include <gtest/gtest.h>

#include <filesystem>

#include "companion/companion.h"
#include "connection/frm_acceso.h"
#include "connection/soporte.h"
#include "data/db_dll.h"
#include "platform/ado/ado.h"
#include "platform/os/rutas.h"
#include "platform/ui/operador_guionado.h"
#include "support/temp_dir.h"

namespace {

class Acceso : public ::testing::Test {
 protected:
  void SetUp() override {
    os::FijarCarpetaAplicacion(dir.str());
    sistema.entorno = {{"HOME", dir / "home"}, {"temp", dir.str()}};
    os::InstalarSistema(&sistema);
    os::InstalarProcesos(&procesos);
  }
  void TearDown() override {
    LiberarInstanciasDB();
    os::InstalarProcesos(nullptr);
    os::InstalarSistema(nullptr);
    os::FijarCarpetaAplicacion("");
  }
  // An embedded database file the standard login can open.
  void CrearBase(const std::string& nombre) { WriteBytes(dir / (nombre + ".db"), ""); }
  std::string Bases() const { return ReadBytes(dir / "BASES.TXT"); }
  static std::vector<std::string> Lista(const frmAcceso& f) {
    std::vector<std::string> r;
    auto* l = f.findChild<QListWidget*>("lstBases");
    for (int i = 0; i < l->count(); ++i) r.push_back(l->item(i)->text().toStdString());
    return r;
  }
  static QListWidget* Lst(const frmAcceso& f) { return f.findChild<QListWidget*>("lstBases"); }
  std::vector<std::string> Mensajes() const {
    std::vector<std::string> r;
    for (const auto& p : op.op.pedidos)
      if (p.tipo == "MsgBox") r.push_back(p.texto);
    return r;
  }

  TempDir dir;
  SistemaFijo sistema;
  ProcesosGrabados procesos;
  ui::OperadorGuionado::Instalado op;
};

TEST_F(Acceso, CancelarAndAceptarSetTheFlag) {
  frmAcceso f;
  EXPECT_EQ(f.windowTitle(), "Control de Acceso");
  EXPECT_FALSE(f.Aceptar());
  f.bcAceptar_Click();
  EXPECT_TRUE(f.Aceptar());
  f.bcCancelar_Click();
  EXPECT_FALSE(f.Aceptar());
  f.bcAceptar_Click();
  f.reject();  // Escape and the close box
  EXPECT_FALSE(f.Aceptar());
}

TEST_F(Acceso, TheDataLayerLoadsItThroughTheInstalledFactory) {
  InstalarVentanaAccesoQt();
  CrearBase("empresa");
  // Cancelled: no connection.
  op->modales.push_back([](ui::VentanaModal& v) { dynamic_cast<frmAcceso&>(v).bcCancelar_Click(); });
  gDB().OpenServerADODB(true, 3, "", true, true);
  EXPECT_EQ(gDB().gOpenFlag, DB_Dll::Falso);
  // Filled and accepted: connected with the window's values.
  op->modales.push_back([](ui::VentanaModal& v) {
    auto& f = dynamic_cast<frmAcceso&>(v);
    EXPECT_EQ(f.CboPlataformaDB(), 0);
    f.SetTxtServidor("sqlite");
    f.SetTxtDbName("empresa");
    f.SetTxtUserId("ana");
    f.SetTxtUserPassword("x");
    f.bcAceptar_Click();
  });
  gDB().OpenServerADODB(true, 3, "", true, true);
  EXPECT_EQ(gDB().gOpenFlag, DB_Dll::Verdadero);
  EXPECT_EQ(gDB().gServidor, "sqlite");
  EXPECT_EQ(gDB().gDBName, "empresa");
  InstalarFabricaVentanaAcceso(nullptr);
}

TEST_F(Acceso, RegistrarAppendsTheStandardLoginLineOnce) {
  CrearBase("empresa");
  frmAcceso f;
  EXPECT_TRUE(Lista(f).empty());  // no BASES.TXT yet
  f.SetTxtServidor(" sqlite ");
  f.SetTxtDbName(" empresa ");
  f.SetTxtUserId("otro");
  f.CmdRegistrar_Click();
  const std::string linea =
      "EMPRESA / SQLITE,empresa,empresa," + gFunciones().Codificar("empresa") + ",sqlite\r\n";
  EXPECT_EQ(Bases(), linea);
  EXPECT_TRUE(Mensajes().empty());
  EXPECT_EQ(Lista(f), std::vector<std::string>{"EMPRESA / SQLITE"});
  EXPECT_EQ(f.TxtDbName(), "empresa");    // trimmed in place
  EXPECT_TRUE(procesos.inicios.empty());  // no ALTADSN.exe beside the program
  EXPECT_NE(gDB().gCnn->State(), ado::adStateOpen);

  // The same key again: told, nothing written.
  f.CmdRegistrar_Click();
  ASSERT_EQ(Mensajes().size(), 1u);
  EXPECT_EQ(op->pedidos.back().texto, "La conexion que intenta registrar ya existe ");
  EXPECT_EQ(op->pedidos.back().titulo, "Atencion");
  EXPECT_EQ(op->pedidos.back().estilo, 64);
  EXPECT_EQ(Bases(), linea);
}

// Stands in for a SQL Server: every open works and is recorded.
struct CanalAceptaTodo : CanalADO {
  std::vector<std::string> abiertas;
  void Open(ado::Connection&, const std::string& cadena, const std::string&, const std::string&,
            long) override {
    abiertas.push_back(cadena);
  }
  void Close(ado::Connection&) override {}
};

TEST_F(Acceso, RegistrarOnAServerWithAPort) {
  CanalAceptaTodo canal;
  InstalarCanalADO(&canal);
  frmAcceso f;
  f.SetTxtServidor("srv1:1450");
  f.SetTxtDbName("empresa");
  f.CmdRegistrar_Click();
  InstalarCanalADO(nullptr);
  ASSERT_EQ(canal.abiertas.size(), 1u);
  EXPECT_EQ(canal.abiertas[0],
            "PROVIDER=SQLOLEDB;Server=srv1,1450;Database =EMPRESA;UId=EMPRESA;Pwd=EMPRESA;");
  EXPECT_EQ(Bases(),
            "EMPRESA / SRV1,empresa,empresa," + gFunciones().Codificar("empresa") + ",srv1:1450\r\n");
  EXPECT_TRUE(Mensajes().empty());
}

TEST(ServidorConPuerto, PortOfTheBoxOrOfTheText) {
  struct Caso {
    std::string servidor, puerto;
    int plataforma;
    std::string esperado;
  };
  for (const Caso& c : std::vector<Caso>{
           {"srv1", "1433", 0, "srv1"},
           {"srv1", "", 0, "srv1"},
           {"srv1", "1450", 0, "srv1,1450"},
           {"srv1:1450", "1433", 0, "srv1,1450"},
           {"srv1,1500", "1450", 0, "srv1,1500"},
           {"srv1\\inst", "1450", 0, "srv1\\inst,1450"},
           {"", "1450", 0, ""},
           {"#ORA", "1450", 1, "#ORA"},
       }) {
    EXPECT_EQ(ServidorConPuerto(c.servidor, c.puerto, c.plataforma), c.esperado) << c.servidor;
  }
}

TEST_F(Acceso, RegistrarStartsAltadsnWhenItIsBesideTheProgram) {
  CrearBase("empresa");
  WriteBytes(dir / "altadsn.EXE", "");  // found whatever its case
  frmAcceso f;
  f.SetTxtServidor("sqlite");
  f.SetTxtDbName("empresa");
  f.CmdRegistrar_Click();
  ASSERT_EQ(procesos.inicios.size(), 1u);
  EXPECT_EQ(procesos.inicios[0].linea, dir.str() + "/ALTADSN.exe Server=SQLITE;DB=empresa;");
  EXPECT_EQ(procesos.inicios[0].estilo, os::vbMinimizedNoFocus);
}

TEST_F(Acceso, RegistrarThatCannotConnectWritesNothing) {
  op->respuestaPorDefecto = ui::vbNo;  // no retry in the connection failure dialog
  frmAcceso f;
  f.SetTxtServidor("sqlite");
  f.SetTxtDbName("noexiste");
  f.SetTxtUserId("ana");
  f.SetTxtUserPassword("clave");
  f.CmdRegistrar_Click();
  ASSERT_FALSE(Mensajes().empty());
  EXPECT_EQ(Mensajes().back(),
            "NO SE PUDO CONECTAR AL SERVIDOR sqlite VERIFIQUE EL NOMBRE DE USUARIO Y PASSWORD INGRESADO");
  EXPECT_EQ(op->pedidos.back().titulo, "AVISO AL OPERADOR");
  EXPECT_FALSE(std::filesystem::exists(dir / "BASES.TXT"));
}

TEST_F(Acceso, AFailedAppendIsReportedAndTheRestStillRuns) {
  CrearBase("empresa");
  std::filesystem::create_directory(dir / "BASES.TXT");  // cannot be written as a file
  WriteBytes(dir / "ALTADSN.exe", "");
  frmAcceso f;
  f.SetTxtServidor("sqlite");
  f.SetTxtDbName("empresa");
  f.CmdRegistrar_Click();
  bool avisado = false;
  for (const auto& m : Mensajes()) {
    if (m.rfind("SQL Server start failed.  \rSQL-DMO error:   75 ", 0) == 0) avisado = true;
  }
  EXPECT_TRUE(avisado);
  EXPECT_EQ(procesos.inicios.size(), 1u);  // went on to ALTADSN.exe
  EXPECT_NE(gDB().gCnn->State(), ado::adStateOpen);
}

TEST_F(Acceso, RegisteredListToleratesIncompleteLines) {
  std::filesystem::copy_file(std::string(OCMAIL_FIXTURES) + "/connection/bases_incompletas.txt",
                             dir / "bases.txt");
  frmAcceso f;
  EXPECT_EQ(Lista(f), (std::vector<std::string>{"EMPRESA / SRV1", "SOLO CLAVE", "OTRA / SRV2",
                                                "CON COMILLAS / SRV4", "ULTIMA / SRV3"}));
  EXPECT_EQ(Lst(f)->currentRow(), 0);
  EXPECT_TRUE(Mensajes().empty());
  // Loading does not choose: the boxes keep their hints.
  EXPECT_EQ(f.TxtServidor(), "ingrese el nombre del servidor e instancia");

  f.SetTxtUserId("ana");
  f.SetTxtUserPassword("x");
  Lst(f)->setCurrentRow(0);
  f.lstBases_Click();
  EXPECT_EQ(f.TextoServidor(), "srv1");
  EXPECT_EQ(f.TxtPuerto(), "1450");
  EXPECT_EQ(f.TxtServidor(), "srv1,1450");  // what the connection is opened with
  EXPECT_EQ(f.TxtDbName(), "empresa");
  EXPECT_EQ(f.TxtUserId(), "");
  EXPECT_EQ(f.TxtUserPassword(), "");

  Lst(f)->setCurrentRow(1);  // a key alone: blanks, and the boxes show their hints
  EXPECT_EQ(f.TxtServidor(), "ingrese el nombre del servidor e instancia");
  EXPECT_EQ(f.TxtDbName(), "ingrese el nombre de la base de datos");
  EXPECT_EQ(f.TxtPuerto(), "1433");
  Lst(f)->setCurrentRow(3);
  EXPECT_EQ(f.TxtDbName(), "base, con coma");
  Lst(f)->setCurrentRow(2);
  EXPECT_EQ(f.TxtDbName(), "otra");

  // A double click chooses and accepts.
  Lst(f)->setCurrentRow(4);
  f.lstBases_DblClick();
  EXPECT_TRUE(f.Aceptar());
  EXPECT_EQ(f.TxtServidor(), "srv3");

  // The file's last line had no line end: a new registration still gets its own line.
  CrearBase("empresa");
  f.SetTxtServidor("sqlite");
  f.SetTxtDbName("empresa");
  f.CmdRegistrar_Click();
  const std::string bytes = ReadBytes(dir / "bases.txt");
  EXPECT_NE(bytes.find(",srv3\r\nEMPRESA / SQLITE,empresa,"), std::string::npos) << bytes;
  EXPECT_EQ(Lista(f).size(), 6u);
  EXPECT_FALSE(std::filesystem::exists(dir / "BASES.TXT"));  // the existing name was used
}

TEST_F(Acceso, EmptiedBoxesShowTheirHintSelected) {
  frmAcceso f;
  auto* db = f.findChild<QLineEdit*>("TxtDbName");
  db->setText("empresa");
  db->setText("  ");
  EXPECT_EQ(db->text(), "ingrese el nombre de la base de datos");
  EXPECT_EQ(db->selectedText(), db->text());
  auto* pw = f.findChild<QLineEdit*>("TxtUserPassword");
  pw->setText("");
  EXPECT_EQ(pw->text(), "");
}

TEST_F(Acceso, ShortcutIsWrittenOnTheDesktop) {
  sistema.entorno["XDG_DESKTOP_DIR"] = dir / "escritorio";
  const std::string programa = dir.str() + "/" + os::NombreEjecutable();
  WriteBytes(programa + ".png", "");
  frmAcceso f;
  f.CmdLineaComando_Click();
  const std::string ruta = dir / "escritorio/Relojero.desktop";
  EXPECT_EQ(ReadBytes(ruta), "[Desktop Entry]\nType=Application\nVersion=1.0\nName=Relojero\nExec=" +
                                 programa + "\nIcon=" + programa + ".png\nTerminal=false\n");
  const auto permisos = std::filesystem::status(ruta).permissions();
  EXPECT_NE(permisos & std::filesystem::perms::owner_exec, std::filesystem::perms::none);
  EXPECT_TRUE(Mensajes().empty());
}

}  // namespace
