// Skin, icon, the sibling-program launcher and the file test.
#include <gtest/gtest.h>

#include <QWidget>
#include <filesystem>

#include "global/apariencia.h"
#include "global/entorno.h"
#include "platform/os/procesos.h"

namespace {

namespace fs = std::filesystem;

struct ProcesosGrabados : os::Procesos {
  std::vector<std::string> lineas;
  long pid = 4321;
  bool falla = false;
  long Iniciar(const std::string& linea, int) override {
    lineas.push_back(linea);
    if (falla) throw ErrorEjecucion(53, "No se encontró el archivo");
    return pid;
  }
};

struct ConProcesos {
  ProcesosGrabados p;
  ConProcesos() { os::InstalarProcesos(&p); }
  ~ConProcesos() { os::InstalarProcesos(nullptr); }
};

TEST(Apariencia, SkinSegunElIniDelUsuario) {
  struct Caso {
    const char* valor;  // nullptr: no key
    const char* archivo;
    const char* ini;
    const char* hoja;
  };
  const Caso casos[] = {
      {nullptr, "Styles/Vista.cjstyles", "", "Styles/Vista.qss"},
      {"2", "Styles/WinXP.Luna.cjstyles", "", "Styles/WinXP.Luna.qss"},
      {"3", "Styles/WinXP.Royale.cjstyles", "", "Styles/WinXP.Royale.qss"},
      {"4", "Styles/iTunes", "Normalitunes.ini", "Styles/iTunes/Normalitunes.qss"},
      {"0", "Styles/Office2007.cjstyles", "", "Styles/Office2007.qss"},
      {"7", "Styles/Office2007.cjstyles", "", "Styles/Office2007.qss"},
      {"texto", "Styles/Office2007.cjstyles", "", "Styles/Office2007.qss"},
      {"99999999", "Styles/Office2007.cjstyles", "", "Styles/Office2007.qss"},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.valor ? c.valor : "(sin clave)");
    EntornoGlobal e(false);
    if (c.valor) WriteBytes(e.dir / "tm440kv.ini", std::string("[JUANStyles]\r\nStyles=") + c.valor + "\r\n");
    const Skin skin = SkinDeValor(ValorSkinEquipo());
    EXPECT_EQ(skin.archivo, c.archivo);
    EXPECT_EQ(skin.ini, c.ini);
    EXPECT_EQ(HojaDeEstiloDeSkin(skin), c.hoja);
  }
}

TEST(Apariencia, AplicarSkinCargaLaHojaYSinHojaQuedaNativo) {
  EntornoGlobal e(false);
  QWidget sinHoja;
  AplicarSkin(&sinHoja);
  EXPECT_TRUE(sinHoja.styleSheet().isEmpty());

  fs::copy(fs::path(OCMAIL_SHARE) / "Styles", e.dir.path() / "Styles", fs::copy_options::recursive);
  for (const char* valor : {"1", "5"}) {
    WriteBytes(e.dir / "TM440KV.INI", std::string("[juanstyles]\r\nstyles=") + valor + "\r\n");
    QWidget w;
    AplicarSkin(&w);
    EXPECT_TRUE(w.styleSheet().contains("QPushButton")) << valor;
    EXPECT_EQ(w.property("ApplyOptions").toInt() & 1, 1);
  }
}

TEST(Apariencia, AsignarIconoDaElIconoDelPrograma) {
  EntornoGlobal e(false);
  QWidget w;
  AsignarIcono(&w);
  EXPECT_FALSE(w.windowIcon().isNull());
  EXPECT_FALSE(w.windowIcon().availableSizes().isEmpty());
}

TEST(Apariencia, MenuExesArmaLaLineaYElComando) {
  EntornoGlobal e(false);
  ConProcesos procesos;
  gDB().gServidor = "SRV";
  gDB().gDBName = "DB";
  gDB().gUsuario = "sa";
  gDB().gUserPassWord = "pw";
  gUsuarioLogeado = "ANA";
  gCaja = "2";
  const std::string linea =
      " ; @server=SRV; @dbname=DB; @usuario=sa; @Password=pw; @ParametroAdicional=15; vxqr@ ; "
      "@UsuarioLogeado = ANA; @Caja=2;";
  struct Caso {
    const char* programa;
    const char* parametro;
    std::string comando;
  };
  const std::string app = e.dir.str() + "/";
  const Caso casos[] = {
      {"SHELL:EDITOR1", "X 15", app + "EDITOR1" + linea},
      {"shell:EDITOR1", "15", app + "EDITOR1" + linea},
      {"SHELL:/opt/suite/EDITOR1", "15", "/opt/suite/EDITOR1" + linea},
      {"EDITOR2", "A B 15",
       app + "EDITOR2" +
           " ; @server=SRV; @dbname=DB; @usuario=sa; @Password=pw; "
           "@ParametroAdicional=B 15; vxqr@ ; @UsuarioLogeado = ANA; @Caja=2;"},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.programa);
    procesos.p.lineas.clear();
    std::string parametro = c.parametro;
    long tarea = 0;
    MenuExes(c.programa, parametro, tarea);
    EXPECT_EQ(tarea, 4321);
    ASSERT_EQ(procesos.p.lineas.size(), 1u);
    EXPECT_EQ(procesos.p.lineas[0], c.comando);
  }
  std::string parametro = "X 15";
  long tarea = 0;
  MenuExes("SHELL:EDITOR1", parametro, tarea);
  EXPECT_EQ(parametro, "15");

  // The line reads back with the launch-line reader.
  EXPECT_EQ(e.op.Cuantos("MsgBox"), 0);
}

TEST(Apariencia, MenuExesSinProgramaAvisa) {
  EntornoGlobal e(false);
  ConProcesos procesos;
  procesos.p.falla = true;
  e.op.respuestas = {ui::vbIgnore};  // AvisoError: go on
  std::string parametro = "1";
  long tarea = 99;
  MenuExes("NOEXISTE", parametro, tarea);
  EXPECT_EQ(tarea, 0);
  ASSERT_EQ(e.op.Cuantos("MsgBox"), 2);
  EXPECT_EQ(e.op.pedidos[0].titulo, "MenuExes -  Aviso al operador!!! - 2 ");
  EXPECT_EQ(e.op.pedidos[1].texto, "Opcion no Implementada!\rComuniquese con su proveedor de sistemas");
  EXPECT_EQ(e.op.pedidos[1].estilo, 16);
  EXPECT_EQ(e.op.pedidos[1].titulo, "Atención");
}

TEST(Apariencia, ArchivoExiste) {
  EntornoGlobal e(false);
  WriteBytes(e.dir / "Datos.TXT", "x");
  EXPECT_TRUE(ArchivoExiste("\"" + (e.dir / "Datos.TXT") + "\""));
  EXPECT_TRUE(ArchivoExiste(e.dir / "datos.txt"));
  EXPECT_FALSE(ArchivoExiste(e.dir.str()));
  EXPECT_FALSE(ArchivoExiste(e.dir / "otro.txt"));
  EXPECT_FALSE(ArchivoExiste(""));
}

}  // namespace
