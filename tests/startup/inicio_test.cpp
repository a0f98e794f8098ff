// The start-up on the embedded demo database, end to end: connection, statistics,
// lookup definitions, configuration, usage log and shut-down.
#include <gtest/gtest.h>

#include <filesystem>

#include "startup/acceso.h"
#include "startup/cargar_parametros.h"
#include "global/entorno.h"
#include "lookup/definiciones.h"

namespace {

namespace fs = std::filesystem;

void Iniciar(const std::string& linea) {
  std::string cs;
  CargarParametros(false, linea, cs, 3);
}

// Runs a routine that ends the program; true when it did.
template <class F>
bool TerminaElPrograma(F&& f) {
  try {
    f();
  } catch (const ui::FinDelPrograma&) {
    return true;
  }
  return false;
}

TEST(Inicio, ArranqueRegistraElUsoYElCierreSellaElEgresoUnaVez) {
  EntornoGlobal e;
  Iniciar(kLineaDemo);

  ASSERT_TRUE(gDB().gOpenFlag);
  EXPECT_EQ(e.op.Cuantos("MsgBox"), 0);
  EXPECT_EQ(gUsuarioLogeado, "admin");
  EXPECT_EQ(gCaja, "1");
  EXPECT_EQ(gClaveEquipo, "PC01|JUAN");
  EXPECT_EQ(gConnectDSN, "DSN=demo; UID=admin; PWD=x");
  EXPECT_EQ(gTimeOut, 360);
  EXPECT_EQ(gDB().gCnn->CommandTimeout(), 360);
  EXPECT_EQ(gDB().gCnn->IsolationLevel(), 256);
  EXPECT_EQ(gClsCons3().gConnString, gDB().gConnString);
  EXPECT_TRUE(gClsCons3().gUsarMascarasConsultas);
  EXPECT_EQ(gClsCons3().gRutaMascaraConsultas, e.dir / "consultas.qzx");
  EXPECT_EQ(gColorFondo, 16777215);  // "CFondo" of the demo configuration
  EXPECT_EQ(gTablaConfiguracion, "ta_configuracion");

  // One usage row; the embedded engine keeps the "dd/mm/yy hh:mm" text as a date.
  const auto filas = e.Filas(
      "SELECT id, Maquina, Usuario, Formulario, Tarea, Ingreso, NombreUsuario, EGRESO "
      "FROM Control_Acceso");
  ASSERT_EQ(filas.size(), 1u);
  EXPECT_EQ(filas[0], (std::vector<std::string>{std::to_string(gIdAcceso), "PC01", "ADMIN",
                                                basic::UCase(os::NombreEjecutable()), "",
                                                "2026-05-21 14:03:00", "admin", "NULL"}));

  // The default definitions file was written.
  const std::string qzx = ReadBytes(e.dir / "consultas.qzx");
  ASSERT_EQ(qzx.size(), 13222u);
  const std::string linea3 = qzx.substr(2 * 1202, 1200);
  EXPECT_EQ(linea3.substr(0, 100), "PROVEEDORES" + std::string(89, ' '));
  EXPECT_EQ(linea3.substr(100, 14), "VT_PROVEEDORES");

  e.sistema.ahora = basic::DateSerial(2026, 5, 21) + basic::TimeSerial(15, 10, 0);
  RegistrarEgreso();
  e.sistema.ahora = basic::DateSerial(2026, 5, 21) + basic::TimeSerial(16, 0, 0);
  EXPECT_TRUE(TerminaElPrograma([] { CerrarSistema(); }));
  EXPECT_EQ(e.op.pedidos.back().tipo, "Fin");
  EXPECT_EQ(e.Filas("SELECT EGRESO FROM Control_Acceso")[0][0], "2026-05-21 15:10:00");
}

TEST(Inicio, SegundaEjecucionNoVuelveAConectarNiLeeLaLinea) {
  EntornoGlobal e;
  Iniciar(kLineaDemo);
  const std::string conexion = gDB().gConnString;
  Iniciar("@Server=otro; @DbName=otra; @Usuario=nadie; @Caja=9;");
  EXPECT_EQ(gDB().gConnString, conexion);
  EXPECT_EQ(gCaja, "1");
  EXPECT_EQ(e.Filas("SELECT COUNT(*) FROM Control_Acceso")[0][0], "2");
}

TEST(Inicio, TareaDelUsuarioAliasYProgramasSinRegistro) {
  EntornoGlobal e;
  Iniciar(kLineaDemo);
  struct Caso {
    const char* programa;
    const char* formulario;  // nullptr: no row
    const char* tarea;
  };
  const Caso casos[] = {
      {"OCMAIL", "OCMAIL", "ENVIO DE OC POR MAIL"},  // admin holds task COM_OCMAIL
      {"OCCARGA", "OCCARGA", "ORDENES DE COMPRA"},
      {"COMPRAS2", "COMPRAS", ""},   // alias, no task
      {"TSPOST", nullptr, nullptr},  // leaves no row at all
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.programa);
    e.Ejecutar("DELETE FROM Control_Acceso");
    RegistrarAcceso(c.programa);
    const auto filas = e.Filas("SELECT id, Formulario, Tarea FROM Control_Acceso");
    if (!c.formulario) {
      EXPECT_TRUE(filas.empty());
      continue;
    }
    ASSERT_EQ(filas.size(), 1u);
    EXPECT_EQ(filas[0][0], std::to_string(gIdAcceso));
    EXPECT_EQ(filas[0][1], c.formulario);
    EXPECT_EQ(filas[0][2], c.tarea);
  }
}

// The task lookup compares the user name followed by a blank; the server ignores the
// blank and the case, so "juan" holds the task registered for JUAN.
TEST(Inicio, TareaSinImportarMayusculasDelUsuario) {
  EntornoGlobal e;
  Iniciar(kLineaDemo);
  const std::pair<const char*, const char*> casos[] = {
      {"juan", "ENVIO DE OC POR MAIL"}, {"Julia", "ENVIO DE OC POR MAIL"}, {"pedro", ""}};
  for (const auto& [usuario, tarea] : casos) {
    SCOPED_TRACE(usuario);
    e.Ejecutar("DELETE FROM Control_Acceso");
    gDB().gUsuario = usuario;
    RegistrarAcceso("OCMAIL");
    EXPECT_EQ(e.Filas("SELECT Tarea FROM Control_Acceso")[0][0], tarea);
  }
}

TEST(Inicio, UsuarioConApostrofoYUsuarioIgualALaBase) {
  EntornoGlobal e;
  Iniciar(kLineaDemo);
  e.Ejecutar("DELETE FROM Control_Acceso");
  gDB().gUsuario = "O'Neil";
  RegistrarAcceso("OCMAIL");
  EXPECT_EQ(gUsuarioLogeado, "ONeil");  // the variable itself loses the apostrophe
  EXPECT_EQ(e.Filas("SELECT Usuario, NombreUsuario FROM Control_Acceso")[0],
            (std::vector<std::string>{"ONEIL", "ONeil"}));

  e.Ejecutar("DELETE FROM Control_Acceso");
  gDB().gUsuario = "DEMO";  // same as the database name, no task row
  RegistrarAcceso("");
  EXPECT_EQ(e.Filas("SELECT Tarea FROM Control_Acceso")[0][0], basic::UCase(os::NombreEjecutable()));
  EXPECT_EQ(e.op.Cuantos("MsgBox"), 0);
}

// The failed task lookup (answered "Ignorar") must not be read as the insert's failure.
TEST(Inicio, UnaConsultaFallidaAntesNoRevierteElRegistroDeUso) {
  EntornoGlobal e;
  Iniciar(kLineaDemo);
  e.Ejecutar("DELETE FROM Control_Acceso");
  e.Ejecutar("DELETE FROM AUX_ERR");
  e.Ejecutar("DROP VIEW IF EXISTS V_TA_TAREAS");
  e.Ejecutar("DROP TABLE TA_TAREAS");
  e.op.pedidos.clear();
  e.op.respuestas = {ui::vbIgnore};
  RegistrarAcceso("OCMAIL");
  ASSERT_EQ(e.op.Cuantos("MsgBox"), 1);  // the lookup's own prompt, nothing after it
  EXPECT_NE(e.op.pedidos[0].titulo.find("AbrirRecordset"), std::string::npos);
  const auto filas = e.Filas("SELECT id, Formulario, Tarea FROM Control_Acceso");
  ASSERT_EQ(filas.size(), 1u);
  EXPECT_EQ(filas[0], (std::vector<std::string>{std::to_string(gIdAcceso), "OCMAIL", ""}));
  EXPECT_TRUE(e.Filas("SELECT * FROM AUX_ERR").empty());
}

TEST(Inicio, SinServidorMuestraLaVentanaYCancelarTerminaElPrograma) {
  EntornoGlobal e;
  InstalarFabricaVentanaAcceso([] { return std::make_unique<VentanaAccesoGuionada>(); });
  e.op.modales.push_back([](ui::VentanaModal& v) {
    EXPECT_EQ(dynamic_cast<VentanaAcceso&>(v).TxtDbName(), "demo");
  });  // closed without accepting: "Cancelar"
  EXPECT_TRUE(TerminaElPrograma([] { Iniciar("@DbName=demo; @Usuario=admin;"); }));
  ASSERT_EQ(e.op.Cuantos("Modal"), 1);
  EXPECT_EQ(e.op.pedidos[0].texto, "frmAcceso");
  EXPECT_EQ(e.op.pedidos.back().tipo, "Fin");
  EXPECT_EQ(e.Filas("SELECT COUNT(*) FROM Control_Acceso")[0][0], "0");
  EXPECT_FALSE(fs::exists(e.dir / "consultas.qzx"));
}

TEST(Inicio, LoginRechazadoOfreceReintentarYLaVentanaCorrigeLaBase) {
  EntornoGlobal e;
  InstalarFabricaVentanaAcceso([] { return std::make_unique<VentanaAccesoGuionada>(); });
  e.op.respuestas.push_back(ui::vbYes);  // " Error de Conexion a Base de Datos": try again
  e.op.modales.push_back([](ui::VentanaModal& v) {
    auto& w = dynamic_cast<VentanaAccesoGuionada&>(v);
    EXPECT_EQ(w.dbName, "noexiste");
    w.dbName = "demo";
    w.aceptar = true;
  });
  Iniciar("@Server=sqlite; @DbName=noexiste; @Usuario=admin; @Password=secreta;");
  ASSERT_TRUE(gDB().gOpenFlag);
  ASSERT_GE(e.op.pedidos.size(), 2u);
  EXPECT_EQ(e.op.pedidos[0].tipo, "MsgBox");
  EXPECT_EQ(e.op.pedidos[0].titulo, " Error de Conexion a Base de Datos");
  EXPECT_EQ(e.op.pedidos[0].texto.find("secreta"), std::string::npos);
  EXPECT_EQ(e.op.pedidos[1].texto, "frmAcceso");
  EXPECT_EQ(e.Filas("SELECT COUNT(*) FROM Control_Acceso")[0][0], "1");
  EXPECT_FALSE(fs::exists(e.dir / "noexiste.db"));
}

TEST(Inicio, LoginRechazadoYNoReintentarTerminaElPrograma) {
  EntornoGlobal e;
  e.op.respuestas.push_back(ui::vbNo);
  EXPECT_TRUE(
      TerminaElPrograma([] { Iniciar("@Server=sqlite; @DbName=noexiste; @Usuario=admin; @Password=x;"); }));
  EXPECT_EQ(e.op.Cuantos("MsgBox"), 1);
}

TEST(Inicio, EstadisticasInexistentesNoSeCreanYElTiempoQuedaEn360) {
  EntornoGlobal e;
  fs::remove(e.dir / "QZ_ESTADISTICAS.db");
  Iniciar(kLineaDemo);
  EXPECT_TRUE(gDB().gOpenFlag);
  EXPECT_FALSE(gDBEstadisticas().gOpenFlag);
  EXPECT_EQ(gTimeOut, 360);
  EXPECT_FALSE(fs::exists(e.dir / "QZ_ESTADISTICAS.db"));
  EXPECT_EQ(e.op.Cuantos("MsgBox"), 0);
  EXPECT_EQ(e.Filas("SELECT COUNT(*) FROM Control_Acceso")[0][0], "1");
}

TEST(Inicio, TiempoDeEsperaDeLasEstadisticas) {
  struct Caso {
    const char* valor;  // nullptr: key missing
    int16_t tiempo;
    const char* guardado;
  };
  const Caso casos[] = {{"90", 90, "90"}, {"0", 360, "0"}, {nullptr, 360, "0"}, {"texto", 360, "0"}};
  for (const auto& c : casos) {
    SCOPED_TRACE(c.valor ? c.valor : "(sin clave)");
    EntornoGlobal e;
    e.Ejecutar("DELETE FROM TA_CONFIGURACION", "QZ_ESTADISTICAS.db");
    if (c.valor)
      e.Ejecutar(std::string("INSERT INTO TA_CONFIGURACION (Grupo, Clave, Valor) VALUES "
                             "('BaseDeDatos','TIMEOUT','") +
                     c.valor + "')",
                 "QZ_ESTADISTICAS.db");
    Iniciar(kLineaDemo);
    EXPECT_EQ(gTimeOut, c.tiempo);
    EXPECT_EQ(gDB().gCnn->CommandTimeout(), c.tiempo);
    const auto filas = e.Filas("SELECT Grupo, Clave, Valor FROM TA_CONFIGURACION", "QZ_ESTADISTICAS.db");
    ASSERT_EQ(filas.size(), 1u);
    EXPECT_EQ(filas[0][0], "BaseDeDatos");
    EXPECT_EQ(filas[0][2], c.guardado);
  }
}

TEST(Inicio, EntradasDanadasNoRompenElArranque) {
  // A garbled INI, a truncated definitions file and an error log folder that cannot exist.
  EntornoGlobal e;
  WriteBytes(e.dir / "TM440kv.INI", std::string("\xff\xfe[\x00]\r\nFlatToolbars\r\n=", 21));
  WriteBytes(e.dir / "consultas.qzx", std::string(1500, 'x'));
  WriteBytes(e.dir / "archivo", "x");
  e.sistema.entorno = {{"temp", e.dir / "archivo/sub"}, {"tmp", e.dir / "archivo/sub"}};
  Iniciar(kLineaDemo);
  EXPECT_TRUE(gDB().gOpenFlag);
  EXPECT_EQ(gFlatToolbars, 1);
  EXPECT_EQ(ReadBytes(e.dir / "consultas.qzx").size(), 1500u);  // present: left alone
  EXPECT_FALSE(BuscarDefinicion(e.dir / "consultas.qzx", "VT_PROVEEDORES").has_value());
  EXPECT_EQ(e.Filas("SELECT COUNT(*) FROM Control_Acceso")[0][0], "1");
}

}  // namespace
