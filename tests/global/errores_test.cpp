// The operator prompt's log line, the AUX_ERR row and scripts run as one transaction.
#include <gtest/gtest.h>

#include <filesystem>

#include "startup/cargar_parametros.h"
#include "global/entorno.h"
#include "global/errores.h"
#include "support/odbc_sustituto/sustituto.h"

namespace {

namespace fs = std::filesystem;

TEST(AvisoError, LineaDeQzErrByteAByteEnLaCarpetaDeLaRegla) {
  struct Caso {
    const char* nombre;
    const char* temp;  // folder name under the test folder, "" = blank, nullptr = not set
    const char* tmp;
    const char* carpeta;   // expected folder under the test folder
    bool blancos = false;  // "tmp" written with blanks around it
  };
  // "tmp" is read only when "temp" is set; otherwise the companion's temporary folder,
  // which takes the first non-blank of the two.
  const Caso casos[] = {
      {"temp y tmp", "a", "b", "b"},
      {"temp sin tmp", "a", "", "a"},
      {"tmp sin temp", "", "b", "b"},
      {"tmp con blancos", "a", "b", "b", true},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    EntornoGlobal e(false);
    const auto valor = [&](const char* v, bool blancos) -> std::string {
      if (!*v) return "";
      const std::string ruta = e.dir / v;
      return blancos ? "  " + ruta + "  " : ruta;
    };
    e.sistema.entorno.clear();
    if (c.temp) e.sistema.entorno["temp"] = valor(c.temp, false);
    if (c.tmp) e.sistema.entorno["tmp"] = valor(c.tmp, c.blancos);
    EXPECT_EQ(RutaQzErr(), e.dir / c.carpeta + "/QZERR.LOG");
  }

  EntornoGlobal e(false);
  const std::string log = e.dir / "log/QZERR.LOG";
  e.op.respuestas = {ui::vbIgnore, ui::vbYes};
  EXPECT_EQ(AvisoError(ErrorEjecucion(3021, " Registro inexistente ", "DAO"), std::nullopt, "Cfg"), 5);
  EXPECT_EQ(AvisoError(ErrorEjecucion(13, "No coinciden los tipos")), 6);
  EXPECT_EQ(ReadBytes(log),
            "05-21-2026 14:03:11 Rutina: Cfg - Mensaje Ha ocurrido el Siguiente Error (3021) "
            "Registro inexistente Respondi\xF3 : Ignorar\r\n"
            "05-21-2026 14:03:11 Rutina:  Mensaje Ha ocurrido el Siguiente Error (13) "
            "No coinciden los tipos Respondi\xF3 : S\xED\r\n");
  ASSERT_EQ(e.op.pedidos.size(), 2u);
  EXPECT_EQ(e.op.pedidos[0].texto, "Ha ocurrido el Siguiente Error (3021) Registro inexistente");
  EXPECT_EQ(e.op.pedidos[0].titulo, "Cfg - DAO Aviso al operador!!! - 2 ");
  EXPECT_EQ(e.op.pedidos[0].estilo, 18);
  EXPECT_EQ(e.op.pedidos[1].titulo, " Aviso al operador!!! - 2 ");

  // Error 0: no prompt, no line.
  EXPECT_EQ(AvisoError(ErrorEjecucion(0, "nada"), std::nullopt, "Cfg"), 0);
  EXPECT_EQ(e.op.pedidos.size(), 2u);
  const std::string despues = ReadBytes(log);
  EXPECT_EQ(std::count(despues.begin(), despues.end(), '\n'), 2);
}

TEST(AvisoError, SinClavesEnClaroYSinCarpetaSigueAvisando) {
  EntornoGlobal e(false);
  e.op.respuestas = {ui::vbRetry, ui::vbAbort};
  const ErrorEjecucion error(-2147467259, "Fallo PROVIDER=SQLOLEDB;Server=S;UId=u;Pwd=secreto;", "ADO");
  EXPECT_EQ(AvisoError(error, std::nullopt, "Abrir"), 4);
  EXPECT_EQ(e.op.pedidos[0].texto.find("secreto"), std::string::npos);
  const std::string linea = ReadBytes(e.dir / "log/QZERR.LOG");
  EXPECT_NE(linea.find("Pwd=****"), std::string::npos);
  EXPECT_EQ(linea.find("secreto"), std::string::npos);

  WriteBytes(e.dir / "archivo", "x");
  e.sistema.entorno = {{"temp", e.dir / "archivo/sub"}, {"tmp", e.dir / "archivo/sub"}};
  EXPECT_EQ(AvisoError(error, std::nullopt, "Abrir"), 3);
  EXPECT_EQ(e.op.Cuantos("MsgBox"), 2);
}

class Script : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string cs;
    CargarParametros(false, kLineaDemo, cs, 3);
    ASSERT_TRUE(gDB().gOpenFlag);
    e.op.pedidos.clear();
  }
  EntornoGlobal e;
};

TEST_F(Script, ClaveDuplicadaRevierteYGrabaAuxErr) {
  const std::vector<std::string> lineas = {
      "INSERT INTO TA_CONFIGURACION (Grupo, Clave, Valor) VALUES ('G','NUEVA','1')", "",
      "INSERT INTO TA_CONFIGURACION (Grupo, Clave, Valor) VALUES ('G','NUEVA','2')"};
  for (const bool ignorar : {true, false}) {
    SCOPED_TRACE(ignorar ? "ignorando duplicados" : "sin ignorar");
    e.Ejecutar("DELETE FROM AUX_ERR");
    e.op.pedidos.clear();
    bool fallo = false;
    long nativo = 0;
    std::string script, texto;
    GActualizarDatoScript(lineas, fallo, nativo, ignorar, false, script, texto, true);
    EXPECT_TRUE(fallo);
    EXPECT_EQ(nativo, 2627);
    EXPECT_EQ(script, "BEGIN TRANSACTION \r\r\r" + lineas[0] + "\r" + lineas[2] + "\r");
    EXPECT_TRUE(e.Filas("SELECT * FROM TA_CONFIGURACION WHERE Clave = 'NUEVA'").empty());
    const auto aux = e.Filas("SELECT Proceso, Error, Descripcion, SQL, pc, Usuario, Fecha FROM AUX_ERR");
    ASSERT_EQ(aux.size(), 1u);
    EXPECT_EQ(aux[0][0], os::NombreEjecutable());
    EXPECT_EQ(aux[0][1], "2627");
    EXPECT_EQ(aux[0][3], script);
    EXPECT_EQ(aux[0][4], "pc01");
    EXPECT_EQ(aux[0][5], "admin");
    EXPECT_EQ(aux[0][6], "2026-05-21 14:03:00");  // a date, not the text it was given
    if (ignorar) {
      EXPECT_EQ(aux[0][2], "");
      EXPECT_EQ(e.op.Cuantos("MsgBox"), 0);
      EXPECT_FALSE(texto.empty());
      EXPECT_EQ(texto.find("2627 : "), std::string::npos);  // the description alone
    } else {
      EXPECT_EQ(aux[0][2].rfind("2627 : ", 0), 0u);
      ASSERT_EQ(e.op.Cuantos("MsgBox"), 1);
      EXPECT_EQ(e.op.pedidos[0].titulo, "Aviso al Operador!");
      EXPECT_EQ(e.op.pedidos[0].estilo, 16);
      EXPECT_EQ(texto, aux[0][2]);  // one line per error, ended by CR LF
    }
  }
  // The connection is usable afterwards: no transaction left open.
  bool fallo = true;
  long nativo = -1;
  std::string script, texto;
  GActualizarDatoScript({"INSERT INTO TA_CONFIGURACION (Grupo, Clave, Valor) VALUES ('G','OTRA','1')"}, fallo,
                        nativo, false, false, script, texto, true);
  EXPECT_FALSE(fallo);
  EXPECT_EQ(nativo, 0);
  EXPECT_EQ(e.Filas("SELECT Valor FROM TA_CONFIGURACION WHERE Clave = 'OTRA'").size(), 1u);
}

TEST_F(Script, LineasEnBlancoNoEnvianNada) {
  bool fallo = true;
  long nativo = 77;
  std::string script = "antes", texto = "antes";
  GActualizarDatoScript({"", "   ", ""}, fallo, nativo, false, false, script, texto, true);
  EXPECT_FALSE(fallo);
  EXPECT_EQ(nativo, 77);
  EXPECT_EQ(script, "antes");
  EXPECT_EQ(texto, "antes");
}

// The batch on the stand-in ODBC driver, which refuses a write as SQL Server does when a
// text would be truncated (SQL_ERROR, 22001/8152 then 01000/3621).
TEST(ScriptOdbc, EscrituraRechazadaPorTruncadoRevierteGrabaAuxErrYAvisa) {
  EntornoGlobal e(false);
  const std::string registro = e.dir / "sentencias.log";
  DB_Dll& db = gDB();
  db.gCnn->Open(sustituto::Cadena(registro, "Id,Proceso,Fecha,Error,Descripcion,SQL,pc,Usuario"));
  db.gOpenFlag = DB_Dll::Verdadero;
  db.gEsAdmin = DB_Dll::Verdadero;
  db.gUsuario = "admin";
  const std::string insercion =
      std::string("INSERT INTO TA_CONFIGURACION (Grupo, Clave, Valor) VALUES ('G','K','") +
      sustituto::kRechazo22001 + "')";

  bool fallo = false;
  long nativo = 0;
  std::string script, texto;
  GActualizarDatoScript({insercion}, fallo, nativo, false, false, script, texto, true);

  const std::string aviso = "8152 : [FreeTDS][SQL Server]String or binary data would be truncated.\r\n";
  EXPECT_TRUE(fallo);
  EXPECT_EQ(nativo, 8152);
  EXPECT_EQ(texto, aviso);
  const auto enviadas = sustituto::Registro(registro);
  ASSERT_EQ(enviadas.size(), 4u);
  EXPECT_EQ(enviadas[0], "BEGIN TRANSACTION \\r\\r\\r" + insercion + "\\r");
  EXPECT_EQ(enviadas[1], "ROLLBACK TRANSACTION");
  EXPECT_EQ(enviadas[2], "select  top 1 * from AUX_ERR  with(nolock) ");
  // The AUX_ERR row: its INSERT carries the native error and the text the operator sees.
  EXPECT_EQ(enviadas[3].rfind("INSERT INTO \"AUX_ERR\"", 0), 0u) << enviadas[3];
  EXPECT_NE(enviadas[3].find("\t8152\t8152 : [FreeTDS][SQL Server]String or binary data would be "
                             "truncated.\\r\\n\t"),
            std::string::npos)
      << enviadas[3];
  ASSERT_EQ(e.op.Cuantos("MsgBox"), 1);
  EXPECT_EQ(e.op.pedidos[0].titulo, "Aviso al Operador!");
  EXPECT_EQ(e.op.pedidos[0].estilo, 16);
  EXPECT_EQ(e.op.pedidos[0].texto, aviso);

  // The same batch without the refusal is committed, with nothing to report.
  GActualizarDatoScript({"INSERT INTO TA_CONFIGURACION (Grupo, Clave, Valor) VALUES ('G','K','1')"}, fallo,
                        nativo, false, false, script, texto, true);
  EXPECT_FALSE(fallo);
  EXPECT_EQ(sustituto::Registro(registro).back(), "COMMIT TRANSACTION");
  EXPECT_EQ(e.op.Cuantos("MsgBox"), 1);
}

}  // namespace
