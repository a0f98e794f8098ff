// Statements and result sets: synonyms, failures, the lost-connection loop.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>

#include "apoyo_datos.h"
#include "support/odbc_sustituto/sustituto.h"

namespace {

class Consultas : public ::testing::Test {
 protected:
  Consultas() {
    InstalarCanalADO(&canal);
    db.gEsAdmin = DB_Dll::Falso;  // statements go through the synonyms
  }
  EntornoDatos env;
  CanalGrabador canal;
  DB_Dll& db = env.Abrir();

  // The next `n` recordset opens find the connection dropped: it is closed underneath
  // and the provider reports a communication failure.
  void PerderConexion(int n) {
    perdidas_ = n;
    canal.fingir = [this](const std::string& op, const std::string&) {
      if (op != "OpenRecordset" || perdidas_ == 0) return false;
      --perdidas_;
      if (db.gCnn->State() == ado::adStateOpen) db.gCnn->Close();
      db.gCnn->Errors().Append({ado::errProveedor, "Communication link failure",
                                "Microsoft OLE DB Provider for ODBC Drivers", "08S01", 10054});
      throw ErrorEjecucion(ado::errProveedor, "Communication link failure",
                           "Microsoft OLE DB Provider for ODBC Drivers");
    };
    canal.llamadas.clear();
  }
  std::string Primera(ado::Recordset& rs) { return rs.Fields(0).Value().Texto(); }

 private:
  int perdidas_ = 0;
};

TEST_F(Consultas, StatementsReachTheDatabaseWithSynonymsForNonAdministrators) {
  ado::Recordset rs;
  std::string sql = "SELECT codigo FROM MA_CUENTAS WHERE x>0";
  db.AbrirRecordset(sql, rs);
  EXPECT_EQ(sql, "SELECT codigo FROM SS_MA_CUENTAS WHERE x>0");
  EXPECT_EQ(Primera(rs), "A");
  rs.MoveNext();
  EXPECT_TRUE(rs.Eof());

  // An open recordset is closed first; administrators see the table.
  db.gEsAdmin = DB_Dll::Verdadero;
  sql = "SELECT codigo FROM @Admin_MA_CUENTAS WHERE x>0 ORDER BY codigo DESC";
  db.AbrirRecordset(sql, rs, db.gCnn.get(), ado::adOpenStatic, ado::adLockReadOnly, -1, true);
  EXPECT_EQ(sql, "SELECT codigo FROM MA_CUENTAS WHERE x>0 ORDER BY codigo DESC");
  EXPECT_EQ(Primera(rs), "B");
  EXPECT_EQ(env.op.pedidos.size(), 0u);
}

TEST_F(Consultas, AFailingStatementGoesToTheOperatorDialog) {
  struct Caso {
    std::string sql;
    int respuesta;
  } casos[] = {{"SELECT * FROM no_existe", ui::vbIgnore}, {"SELEC * FROM t", ui::vbAbort}};
  for (const auto& c : casos) {
    env.op.pedidos.clear();
    env.op.respuestas = {c.respuesta};
    ado::Recordset rs;
    db.AbrirRecordset(c.sql, rs);
    EXPECT_EQ(rs.State(), ado::adStateClosed) << c.sql;
    ASSERT_EQ(env.op.pedidos.size(), 1u) << c.sql;
    EXPECT_NE(env.op.pedidos[0].titulo.find(" - AbrirRecordset Aviso al operador!!! - 5 "),
              std::string::npos);
  }
  // Retry repeats the open: once the table exists it succeeds.
  env.op.pedidos.clear();
  canal.llamadas.clear();
  ado::Recordset rs;
  env.op.respuestas = {ui::vbRetry};
  canal.fingir = [&](const std::string& op, const std::string&) {
    if (op == "OpenRecordset" && canal.De("OpenRecordset").size() == 2)
      env.Sql("CREATE TABLE nueva (a int);");
    return false;
  };
  db.AbrirRecordset("SELECT * FROM nueva", rs);
  EXPECT_EQ(rs.State(), ado::adStateOpen);
  const std::string log = ReadBytes(env.dir / "QZERR.LOG");
  EXPECT_NE(log.find("Rutina: - AbrirRecordset Mensaje Ha ocurrido el Siguiente Error ("), std::string::npos);
  EXPECT_NE(log.find("Respondi\xF3 : Ignorar\r\n"), std::string::npos);
  EXPECT_NE(log.find("Respondi\xF3 : Abortar\r\n"), std::string::npos);
  EXPECT_NE(log.find("Respondi\xF3 : Reintentar\r\n"), std::string::npos);
}

TEST_F(Consultas, LostConnectionIsReopenedAndTheOpenRepeatedSilently) {
  PerderConexion(1);
  ado::Recordset rs;
  db.AbrirRecordset("SELECT c FROM t ORDER BY c", rs);
  EXPECT_EQ(rs.State(), ado::adStateOpen);
  EXPECT_EQ(Primera(rs), "3");
  EXPECT_EQ(env.op.pedidos.size(), 0u);
  EXPECT_EQ(canal.llamadas, (std::vector<std::string>{"OpenRecordset: SELECT c FROM t ORDER BY c",
                                                      "Close: ", "Open: " + env.Cadena(),
                                                      "OpenRecordset: SELECT c FROM t ORDER BY c"}));
}

TEST_F(Consultas, LostTwiceInOneCallShowsTheOperatorDialog) {
  PerderConexion(2);
  env.op.respuestas = {ui::vbRetry};
  ado::Recordset rs;
  db.AbrirRecordset("SELECT c FROM t ORDER BY c", rs);
  ASSERT_EQ(env.op.pedidos.size(), 1u);
  EXPECT_EQ(env.op.pedidos[0].titulo,
            "Microsoft OLE DB Provider for ODBC Drivers - AbrirRecordset Aviso al operador!!! - 5 ");
  EXPECT_EQ(env.op.pedidos[0].texto,
            "Ha ocurrido el Siguiente Error (-2147467259) Communication link failure");
  EXPECT_EQ(rs.State(), ado::adStateOpen);  // Retry, on the reopened connection
  EXPECT_EQ(canal.De("OpenRecordset").size(), 3u);
}

TEST_F(Consultas, UnreachableDatabaseAsksUntilTheOperatorGivesUp) {
  const std::string fuera = env.archivo + ".fuera";
  std::filesystem::rename(env.archivo, fuera);
  PerderConexion(1);
  // Yes: retried and still unreachable; the second time the file is back.
  int aperturas = 0;
  auto perder = canal.fingir;
  canal.fingir = [&](const std::string& op, const std::string& t) {
    if (op == "Open" && ++aperturas == 3) std::filesystem::rename(fuera, env.archivo);
    return perder(op, t);
  };
  env.op.respuestas = {ui::vbYes, ui::vbYes};
  ado::Recordset rs;
  db.AbrirRecordset("SELECT c FROM t", rs);
  EXPECT_EQ(rs.State(), ado::adStateOpen);
  ASSERT_EQ(env.op.Cuantos("MsgBox"), 2);
  EXPECT_EQ(env.op.pedidos[0].titulo, "AVISO AL OPERADOR");
  EXPECT_EQ(env.op.pedidos[0].estilo, 16 + 4);
  EXPECT_EQ(env.op.pedidos[0].texto, "\r\n\r\n\r\nSe perdio la conexion con la base de datos " + env.archivo +
                                         "\r\n Servidor sqlite\r\n\r\nElija SI para reintentar conectarse\r\n"
                                         "Elija NO para cerrar la aplicacion\r\n\r\n\r\n");
}

TEST_F(Consultas, NoInTheLostConnectionDialogEndsTheProgram) {
  std::filesystem::rename(env.archivo, env.archivo + ".fuera");
  PerderConexion(1);
  env.op.respuestas = {ui::vbYes, ui::vbNo};
  ado::Recordset rs;
  EXPECT_THROW(db.AbrirRecordset("SELECT c FROM t", rs), ui::FinDelPrograma);
  EXPECT_EQ(env.op.Cuantos("MsgBox"), 2);
  EXPECT_EQ(env.op.pedidos.back().tipo, "Fin");
}

TEST_F(Consultas, EjecutaConsultaSQLNeverRaises) {
  long afectados = -7;
  std::string sql = "UPDATE t SET activo = 2 WHERE activo = 1 AND c FROM";
  db.EjecutaConsultaSQL(sql, afectados);
  EXPECT_EQ(afectados, -7);  // failed: unchanged, the provider's error in the list
  EXPECT_GT(gDB().gCnn->Errors().Count(), 0);
  EXPECT_EQ(env.op.pedidos.size(), 0u);

  sql = "UPDATE t SET activo = 2 WHERE @Admin_activo = 1";
  db.EjecutaConsultaSQL(sql, afectados);
  EXPECT_EQ(sql, "UPDATE t SET activo = 2 WHERE activo = 1");
  EXPECT_EQ(afectados, 2);
  EXPECT_EQ(env.Valor("SELECT count(*) FROM t WHERE activo = 2"), "2");

  std::shared_ptr<ado::Recordset> filas;
  db.EjecutaConsultaSQL("SELECT c FROM t ORDER BY c DESC", afectados, &filas);
  ASSERT_TRUE(filas);
  EXPECT_EQ(filas->Fields("c").Value().Texto(), "7");

  // Ordinary statements keep their table names; a drop-and-create script gets synonyms.
  canal.fingir = [](const std::string& op, const std::string&) { return op == "Execute"; };
  sql = "DELETE FROM MA_CUENTAS WHERE x = 9";
  db.EjecutaConsultaSQL(sql, afectados);
  EXPECT_EQ(sql, "DELETE FROM MA_CUENTAS WHERE x = 9");
  sql = "DROP VIEW v CREATE VIEW v AS SELECT * FROM MA_CUENTAS WHERE x = 1";
  db.EjecutaConsultaSQL(sql, afectados);
  EXPECT_EQ(sql, "DROP VIEW v CREATE VIEW v AS SELECT * FROM SS_MA_CUENTAS WHERE x = 1");
}

TEST_F(Consultas, TruncationWarningsAreClearedOutsideTransactions) {
  canal.fingir = [&](const std::string& op, const std::string&) {
    if (op != "Execute") return false;
    gDB().gCnn->Errors().Append({0, "String or binary data would be truncated.", "", "01004", 8152});
    return true;
  };
  db.EjecutaConsultaSQL("UPDATE t SET a = 'largo'");
  EXPECT_EQ(gDB().gCnn->Errors().Count(), 0);
  db.EjecutaConsultaSQL("BEGIN TRANSACTION UPDATE t SET a = 'largo'");
  EXPECT_EQ(gDB().gCnn->Errors().Count(), 1);
}

// gDB on the stand-in ODBC driver: the diagnostics and return codes SQL Server gives.
class ConsultasOdbc : public ::testing::Test {
 protected:
  ConsultasOdbc() {
    db.gCnn->Open(sustituto::Cadena(registro));
    db.gOpenFlag = DB_Dll::Verdadero;
    db.gEsAdmin = DB_Dll::Verdadero;
  }
  EntornoDatos env;
  DB_Dll& db = gDB();
  std::string registro = env.dir / "sentencias.log";
};

TEST_F(ConsultasOdbc, ARefusedWriteStaysAFailureWhileATruncationWarningIsCleared) {
  const std::string rechazo = std::string("UPDATE t SET a = '") + sustituto::kRechazo22001 + "'";
  const std::string aviso = std::string("UPDATE t SET a = '") + sustituto::kAviso01004 + "'";
  struct Caso {
    std::string sql;
    long afectados;                    // -7: unchanged, the statement failed
    std::vector<std::string> estados;  // SQLState of each entry left in Errors
  } casos[] = {
      {rechazo, -7, {"22001", "01000"}},
      {aviso, 1, {}},
      {"BEGIN TRANSACTION " + aviso, 1, {"01004"}},
      {"BEGIN TRANSACTION " + rechazo, -7, {"22001", "01000"}},
  };
  std::vector<std::string> enviadas;
  for (const auto& c : casos) {
    SCOPED_TRACE(c.sql);
    enviadas.push_back(c.sql);
    db.gCnn->Errors().Clear();
    long afectados = -7;
    db.EjecutaConsultaSQL(c.sql, afectados);
    EXPECT_EQ(afectados, c.afectados);
    const ado::Errors& errores = db.gCnn->Errors();
    std::vector<std::string> estados;
    for (long i = 0; i < errores.Count(); ++i) estados.push_back(errores[i].SQLState);
    EXPECT_EQ(estados, c.estados);
    if (c.afectados == -7 && errores.Count() == 2) {
      EXPECT_EQ(errores[0].NativeError, 8152);
      EXPECT_EQ(errores[0].Description, "[FreeTDS][SQL Server]String or binary data would be truncated.");
      EXPECT_EQ(errores[1].NativeError, 3621);
    }
  }
  EXPECT_EQ(sustituto::Registro(registro), enviadas);  // every one went over ODBC
  EXPECT_EQ(env.op.pedidos.size(), 0u);
}

// A statement the server holds (a lock): with a waiting hook it runs asynchronously and the
// hook runs while it is polled; the hook ending the wait cancels it (HY008, as SQL Server
// answers a cancel). With no hook it runs synchronously.
TEST_F(ConsultasOdbc, AStatementHeldByTheServerIsPolledAndCancelledByTheHook) {
  struct Quitar {
    ~Quitar() { ado::FijarAlEsperarBase(nullptr); }
  } quitar;
  int llamadas = 0;
  double ultima = -1;
  ado::FijarAlEsperarBase([&](double segundos) {
    EXPECT_GE(segundos, ultima);
    ultima = segundos;
    ++llamadas;
    return true;
  });
  db.gCnn->Execute("UPDATE t SET a = 1 -- ESPERA_MS=200");
  EXPECT_GT(llamadas, 3);
  EXPECT_GE(ultima, 0.1);

  llamadas = 0;
  ado::FijarAlEsperarBase([&](double) { return ++llamadas < 3; });  // the operator cancels
  std::string estado;
  try {
    db.gCnn->Execute("UPDATE t SET a = 2 -- ESPERA_MS=60000");
  } catch (const std::exception&) {
    estado = db.gCnn->Errors().Count() > 0 ? db.gCnn->Errors()[0].SQLState : "?";
  }
  EXPECT_EQ(estado, "HY008");
  EXPECT_EQ(llamadas, 3);

  ado::FijarAlEsperarBase(nullptr);
  db.gCnn->Execute("UPDATE t SET a = 3 -- ESPERA_MS=20");
  EXPECT_EQ(sustituto::Registro(registro), (std::vector<std::string>{"UPDATE t SET a = 1 -- ESPERA_MS=200",
                                                                     "UPDATE t SET a = 3 -- ESPERA_MS=20"}));
}

TEST_F(Consultas, EjecutaConsultaRSQLReportsAllButCommandErrors) {
  long afectados = 0;
  std::string sql = "UPDATE t SET WHERE";
  db.EjecutaConsultaRSQL(sql, afectados);
  EXPECT_EQ(env.op.pedidos.size(), 0u);
  db.gCnn->Close();
  sql = "UPDATE t SET activo = 0";
  db.EjecutaConsultaRSQL(sql, afectados);
  ASSERT_EQ(env.op.pedidos.size(), 1u);
  EXPECT_EQ(env.op.pedidos[0].titulo, "Aviso al operador!!!");
  EXPECT_EQ(env.op.pedidos[0].estilo, 16);
}

// A database another program holds is a time-out for the operator, not a lost connection:
// no silent reconnection, and the time-out the start-up set stays.
TEST_F(Consultas, ALockedDatabaseIsATimeOutNotALostConnection) {
  db.gCnn->SetCommandTimeout(1);
  sqlite3* otro = nullptr;
  ASSERT_EQ(sqlite3_open(env.archivo.c_str(), &otro), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(otro, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  canal.llamadas.clear();
  env.op.respuestas = {ui::vbAbort};
  ado::Recordset rs;
  db.AbrirRecordset("SELECT * FROM t", rs);
  sqlite3_exec(otro, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(otro);
  ASSERT_EQ(env.op.Cuantos("MsgBox"), 1);
  EXPECT_EQ(env.op.pedidos[0].texto.rfind("Ha ocurrido el Siguiente Error (-2147217871) ", 0), 0u)
      << env.op.pedidos[0].texto;
  EXPECT_TRUE(canal.De("Open").empty());
  EXPECT_TRUE(canal.De("Close").empty());
  EXPECT_EQ(db.gCnn->CommandTimeout(), 1);
  EXPECT_EQ(rs.State(), ado::adStateClosed);
}

TEST_F(Consultas, CierraRecordsetDropsAPendingEdit) {
  ado::Recordset rs;
  db.AbrirRecordset("SELECT * FROM t", rs, nullptr, ado::adOpenDynamic, ado::adLockOptimistic, -1);
  rs.AddNew();
  rs.Fields("c").SetValue(basic::Variant(int32_t{99}));
  db.CierraRecordset(rs);
  EXPECT_EQ(rs.State(), ado::adStateClosed);
  db.CierraRecordset(rs);  // a closed one is left alone
  EXPECT_EQ(env.op.pedidos.size(), 0u);
  EXPECT_EQ(env.Valor("SELECT count(*) FROM t"), "3");
}

}  // namespace
