// Opening the connection: strings, administrator check, connection window, failures.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

#include "apoyo_datos.h"
#include "support/puertos.h"

namespace {

class Conexiones : public ::testing::Test {
 protected:
  Conexiones() { InstalarCanalADO(&canal); }
  EntornoDatos env;
  CanalGrabador canal;
  DB_Dll& db = gDB();

  void Apuntar(const std::string& usuario = "ana") {
    db.gServidor = "sqlite";
    db.gDBName = env.archivo;
    db.gUsuario = usuario;
    db.gUserPassWord = "pw";
  }
};

TEST_F(Conexiones, BuildsTheSuitesConnectionStrings) {
  db.gServidor = "SRV1";
  db.gDBName = "EMPRESA";
  db.gUsuario = "ana";
  db.gUserPassWord = "clave";
  db.gProveedor = "OraOLEDB.Oracle.1";  // the SQL Server form names SQLOLEDB whatever this holds
  EXPECT_EQ(db.CadenaConexion(), "PROVIDER=SQLOLEDB;Server=SRV1;Database =EMPRESA;UId=ana;Pwd=clave;");
  db.gExtended = "Network Library=DBMSSOCN;";
  EXPECT_EQ(db.CadenaConexion(),
            "PROVIDER=SQLOLEDB;Server=SRV1;Database =EMPRESA;UId=ana;Pwd=clave;Network Library=DBMSSOCN;");
  db.gServidor = "#ORA";
  db.gDBName = "PROD";
  db.gUserPassWord = "";
  EXPECT_EQ(db.CadenaConexion(), "Provider=OraOLEDB.Oracle.1;Data Source=PROD;User Id=ana;Password=;");
  EXPECT_EQ(db.pSQLOLEDB(), "SQLOLEDB");
  EXPECT_EQ(db.pJETOLEDB40(), "Microsoft.Jet.OLEDB.4.0");
  EXPECT_EQ(db.pJETOLEDB35(), "Microsoft.Jet.OLEDB.3.51");
}

TEST_F(Conexiones, OpensTheBuiltOrTheGivenString) {
  Apuntar();
  db.OpenServerADODB(false, 3, "  ", true, true);
  EXPECT_EQ(db.gOpenFlag, -1);
  EXPECT_EQ(db.gProveedor, "SQLOLEDB");
  EXPECT_EQ(db.gCnn->CursorLocation(), 3);
  EXPECT_EQ(canal.De("Open"), std::vector<std::string>{env.Cadena()});
  EXPECT_EQ(db.gConnString, env.Cadena());

  // A given string is used as it stands; a second open of an open connection closes and
  // repeats once (3705).
  const std::string dada = env.Cadena("otro", "x") + "App=ocmail;";
  db.OpenServerADODB(false, 3, dada, true, false);
  EXPECT_EQ(db.gOpenFlag, -1);
  EXPECT_EQ(db.gConnString, dada);
  EXPECT_EQ(canal.llamadas,
            (std::vector<std::string>{"Open: " + env.Cadena(), "OpenSchema: 20",
                                      "OpenRecordset: SELECT TOP 1 * FROM ta_usuarios with(nolock)  WHERE "
                                      "LTRIM(RTRIM(nombre)) ='ana' ",
                                      "Open: " + dada, "Close: ", "Open: " + dada, "OpenSchema: 20"}));
  EXPECT_EQ(env.op.Cuantos("MsgBox"), 0);
}

TEST_F(Conexiones, AdministratorCheckReadsTaUsuarios) {
  env.Sql(
      "INSERT INTO ta_usuarios VALUES ('uno', '1', 0), ('cero', '0', 0), ('blanco', '', 0),"
      " ('dos', '2', 0), ('nulo', NULL, 0);");
  struct Caso {
    std::string usuario;
    int16_t esAdmin;
  } casos[] = {{"uno", -1}, {"  uno ", -1}, {"cero", 0}, {"blanco", 0},
               {"dos", 0},  {"nulo", 0},    {"nadie", 0}};
  for (const auto& c : casos) {
    Apuntar(c.usuario);
    db.gEsAdmin = 7;  // any previous value
    db.OpenServerADODB(false, 3, "", true, true);
    EXPECT_EQ(db.gOpenFlag, -1) << c.usuario;
    EXPECT_EQ(db.gEsAdmin, c.esAdmin) << c.usuario;
  }
  // Without the check (ValidaAdmin false) or without MuestraError: administrator.
  Apuntar("cero");
  db.OpenServerADODB(false, 3, "", false, true);
  EXPECT_EQ(db.gEsAdmin, -1);
  db.gEsAdmin = 0;
  db.OpenServerADODB(false, 3, "", true, false);
  EXPECT_EQ(db.gEsAdmin, -1);
}

TEST_F(Conexiones, WithoutTaUsuariosTheFlagKeepsItsValue) {
  env.Sql("DROP TABLE ta_usuarios;");
  Apuntar();
  db.gEsAdmin = 0;
  db.OpenServerADODB(false, 3, "", true, true);
  EXPECT_EQ(db.gOpenFlag, -1);
  EXPECT_EQ(db.gEsAdmin, 0);
}

TEST_F(Conexiones, ConnectionWindowExchange) {
  // Cancelled: nothing is opened.
  env.op.modales.push_back(ResponderVentana("x", "y", "z", "w", 0, false));
  db.OpenServerADODB(true, 3, env.Cadena(), true, true);
  EXPECT_EQ(db.gOpenFlag, 0);
  EXPECT_TRUE(canal.llamadas.empty());

  // ORACLE for SRV stores #SRV and the Oracle provider (no Oracle here: the open fails
  // silently); for #SRV the name stays.
  env.op.modales.push_back(ResponderVentana("SRV", "PROD", "ana", "k", 1, true));
  db.OpenServerADODB(true, 3, "", true, false);
  EXPECT_EQ(db.gServidor, "#SRV");
  EXPECT_EQ(db.gProveedor, "OraOLEDB.Oracle.1");
  EXPECT_EQ(db.gOpenFlag, 0);
  EXPECT_EQ(canal.De("Open").back(), "Provider=OraOLEDB.Oracle.1;Data Source=PROD;User Id=ana;Password=k;");
  env.op.modales.push_back(ResponderVentana("#SRV", "PROD", "ana", "k", 1, true));
  db.OpenServerADODB(true, 3, "", true, false);
  EXPECT_EQ(db.gServidor, "#SRV");

  // Accepted SQL Server values replace a given string and open.
  env.op.modales.push_back([&](ui::VentanaModal& v) {
    auto& w = dynamic_cast<VentanaAccesoGuionada&>(v);
    // The window was filled from the members before it was shown.
    EXPECT_EQ(w.servidor, "#SRV");
    EXPECT_EQ(w.plataforma, 0);
    ResponderVentana("sqlite", env.archivo, "ana", "pw", 0, true)(v);
  });
  db.OpenServerADODB(true, 3, "PROVIDER=SQLOLEDB;Server=nada;", true, true);
  EXPECT_EQ(db.gOpenFlag, -1);
  EXPECT_EQ(db.gProveedor, "SQLOLEDB");
  EXPECT_EQ(db.gConnString, env.Cadena());
  EXPECT_EQ(env.op.Cuantos("MsgBox"), 0);
}

TEST_F(Conexiones, RefusedServerAsksAndRetriesThroughTheWindow) {
  db.gServidor = "127.0.0.1," + std::to_string(PuertoLibre());
  db.gDBName = "EMPRESA";
  db.gUsuario = "ana";
  db.gUserPassWord = "secreto";

  // Silent: nothing shown, flag false.
  db.OpenServerADODB(false, 3, "", true, false);
  EXPECT_EQ(db.gOpenFlag, 0);
  EXPECT_EQ(env.op.pedidos.size(), 0u);
  EXPECT_GT(db.gCnn->Errors().Count(), 0);

  // Shown: No ends with the flag false.
  env.op.respuestas = {ui::vbNo};
  db.OpenServerADODB(false, 3, "", true, true);
  EXPECT_EQ(db.gOpenFlag, 0);
  ASSERT_EQ(env.op.Cuantos("MsgBox"), 1);
  const auto& aviso = env.op.pedidos[0];
  EXPECT_EQ(aviso.titulo, " Error de Conexion a Base de Datos");
  EXPECT_EQ(aviso.estilo, 16 + 4);
  const ado::Error& e = db.gCnn->Errors().Item(0);
  const std::string inicio =
      " Estado de Sql: " + e.SQLState + "\rNumero de Error: " + std::to_string(e.Number) + "\rDescripcion: ";
  EXPECT_EQ(aviso.texto.substr(0, inicio.size()), inicio);
  EXPECT_NE(aviso.texto.find("\rCodigo Nativo: " + std::to_string(e.NativeError) +
                             "\r\r\nNombre de Proceso: data_test\r\r\n\r\n"
                             "1. Verifique el Usuario, contraseña y base de datos\r\n"
                             "2. Verifique el nombre del servidor, quizas necesite agregarle el "
                             "nombre de la instancia, por ejemplo : " +
                             db.gServidor +
                             "\\ORBITAL\r\n3. Verifique si el inicio de sesion para el usuario ana "
                             "existe\r\n\r\n\r\n - Desea Intentarlo Nuevamente??? "),
            std::string::npos)
      << aviso.texto;
  EXPECT_EQ(aviso.texto.find("secreto"), std::string::npos);

  // Yes: the connection window, then the open is repeated with its values.
  env.op.pedidos.clear();
  env.op.respuestas = {ui::vbYes};
  env.op.modales.push_back(ResponderVentana("sqlite", env.archivo, "ana", "pw", 0, true));
  db.OpenServerADODB(false, 3, "", false, true);
  EXPECT_EQ(db.gOpenFlag, -1);
  EXPECT_EQ(db.gCnn->State(), ado::adStateOpen);
  EXPECT_EQ(env.op.Cuantos("MsgBox"), 1);
  EXPECT_EQ(env.op.Cuantos("Modal"), 1);
  EXPECT_EQ(canal.De("Open").back(), env.Cadena());
}

TEST_F(Conexiones, ReintentaConectarReopensAClosedConnection) {
  env.Abrir();
  db.gCnn->Close();
  canal.llamadas.clear();
  db.ReintentaConectar();
  EXPECT_EQ(db.gOpenFlag, -1);
  EXPECT_EQ(db.gCnn->State(), ado::adStateOpen);
  EXPECT_EQ(db.gCnn->CommandTimeout(), 5);
  EXPECT_EQ(canal.llamadas, (std::vector<std::string>{"Close: ", "Open: " + env.Cadena()}));

  // A file that is gone: the flag is false and nothing is shown (the caller asks).
  std::filesystem::rename(env.archivo, env.archivo + ".fuera");
  db.ReintentaConectar();
  EXPECT_EQ(db.gOpenFlag, 0);
  EXPECT_EQ(env.op.pedidos.size(), 0u);
  EXPECT_FALSE(std::filesystem::exists(env.archivo));  // never created by opening it
}

TEST_F(Conexiones, OpenLocalADODBAsksForTheFileWhenNoneIsNamed) {
  db.gProveedor = db.pJETOLEDB40();
  db.gUsuario = "Admin";
  db.gUserPassWord = "k";
  // Cancelled: nothing opened.
  db.OpenLocalADODB("", "User ID", "Jet OLEDB:Database Password");
  ASSERT_EQ(env.op.pedidos.size(), 1u);
  EXPECT_EQ(env.op.pedidos[0].titulo, "Buscar Base de Datos");
  EXPECT_EQ(env.op.pedidos[0].texto, "Base de Datos de Microsoft Access |*.MDB");
  EXPECT_TRUE(canal.llamadas.empty());

  env.op.textos = {env.archivo};
  db.OpenLocalADODB("", "User ID", "Jet OLEDB:Database Password");
  const std::string cadena = "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source =" + env.archivo +
                             ";User ID=Admin;Jet OLEDB:Database Password=k;";
  EXPECT_EQ(canal.De("Open"), std::vector<std::string>{cadena});
  EXPECT_EQ(db.gConnString, cadena);
  EXPECT_EQ(db.gCnn->State(), ado::adStateOpen);

  // Any other failure: number and description, and the operation ends.
  db.gCnn->Close();
  db.gDBName = env.dir / "falta.mdb";
  env.op.pedidos.clear();
  db.OpenLocalADODB("", "User ID", "Jet OLEDB:Database Password");
  ASSERT_EQ(env.op.pedidos.size(), 1u);
  EXPECT_EQ(env.op.pedidos[0].texto.rfind("-2147467259  ", 0), 0u) << env.op.pedidos[0].texto;
  EXPECT_EQ(env.op.pedidos[0].estilo, 16);
  EXPECT_EQ(db.gCnn->State(), ado::adStateClosed);
}

}  // namespace
