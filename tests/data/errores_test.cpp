// The operator dialog of the data layer and its QZERR.LOG lines.
#include <gtest/gtest.h>

#include "apoyo_datos.h"

namespace {

class TratamientoErroresTest : public ::testing::Test {
 protected:
  EntornoDatos env;
  DB_Dll db;
  std::string Log() const { return ReadBytes(env.dir / "QZERR.LOG"); }
};

TEST_F(TratamientoErroresTest, ShowsLogsAndReturnsTheAnswer) {
  env.op.respuestas = {ui::vbRetry, ui::vbYes};
  EXPECT_EQ(
      db.TratamientoErrores(ErrorEjecucion(3709, " D ", "S"), std::nullopt, std::string("AbrirRecordset")),
      ui::vbRetry);
  ASSERT_EQ(env.op.pedidos.size(), 1u);
  EXPECT_EQ(env.op.pedidos[0].titulo, "S - AbrirRecordset Aviso al operador!!! - 5 ");
  EXPECT_EQ(env.op.pedidos[0].texto, "Ha ocurrido el Siguiente Error (3709) D");
  EXPECT_EQ(env.op.pedidos[0].estilo, 18);

  // Appended, Windows-1252 with CR LF.
  EXPECT_EQ(db.TratamientoErrores(ErrorEjecucion(-2147217900, "Sintaxis", "S"), 4 + 32), ui::vbYes);
  EXPECT_EQ(env.op.pedidos[1].titulo, "S Aviso al operador!!! - 5 ");
  EXPECT_EQ(env.op.pedidos[1].estilo, 36);
  EXPECT_EQ(Log(),
            "03-07-2024 09:05:30 Rutina: - AbrirRecordset Mensaje Ha ocurrido el Siguiente Error "
            "(3709) D Respondi\xF3 : Reintentar\r\n"
            "03-07-2024 09:05:30 Rutina:  Mensaje Ha ocurrido el Siguiente Error (-2147217900) "
            "Sintaxis Respondi\xF3 : S\xED\r\n");
}

// A driver's message with line ends stays on one log line, its breaks shown.
TEST_F(TratamientoErroresTest, OneLogLinePerEvent) {
  env.op.respuestas = {ui::vbIgnore};
  db.TratamientoErrores(ErrorEjecucion(3709, "fila\r\n03-07-2024 falsa\tx", "S"), std::nullopt,
                        std::string("Rutina\n2"));
  EXPECT_EQ(Log(),
            "03-07-2024 09:05:30 Rutina: - Rutina\\n2 Mensaje Ha ocurrido el Siguiente Error (3709) "
            "fila\\r\\n03-07-2024 falsa\\tx Respondi\xF3 : Ignorar\r\n");
}

TEST_F(TratamientoErroresTest, ErrorZeroIsNotShownNorLogged) {
  EXPECT_EQ(db.TratamientoErrores(ErrorEjecucion(0, "nada")), 0);
  EXPECT_TRUE(env.op.pedidos.empty());
  EXPECT_EQ(Log(), "");
}

TEST_F(TratamientoErroresTest, AnswersOutsideTheTableAndOwnLogPath) {
  db.SetArchivoErrores(basic::Variant(env.dir / "otro.log"));
  EXPECT_EQ(db.ArchivoErrores(), env.dir / "otro.log");
  env.op.respuestas = {ui::vbOK};
  EXPECT_EQ(db.TratamientoErrores(ErrorEjecucion(5, "x"), 0, std::string("R")), ui::vbOK);
  EXPECT_EQ(ReadBytes(env.dir / "otro.log"),
            "03-07-2024 09:05:30 Rutina: - R Mensaje Ha ocurrido el Siguiente Error (5) x "
            "Respondi\xF3 : \r\n");
  EXPECT_EQ(Log(), "");
}

TEST_F(TratamientoErroresTest, PasswordsNeverReachTheScreenOrTheLog) {
  db.TratamientoErrores(ErrorEjecucion(-2147467259, "Fallo en PROVIDER=SQLOLEDB;UId=a;Pwd=secreto;"));
  EXPECT_EQ(env.op.pedidos[0].texto,
            "Ha ocurrido el Siguiente Error (-2147467259) Fallo en PROVIDER=SQLOLEDB;UId=a;Pwd=****;");
  EXPECT_EQ(Log().find("secreto"), std::string::npos);
}

TEST_F(TratamientoErroresTest, AnUnwritableLogStillReturnsTheAnswer) {
  db.gLogErr = env.dir / "no/existe/QZERR.LOG";
  env.op.respuestas = {ui::vbIgnore};
  EXPECT_EQ(db.TratamientoErrores(ErrorEjecucion(1, "x")), ui::vbIgnore);
}

}  // namespace
