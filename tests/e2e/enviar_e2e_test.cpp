// "ocmail --enviar" as cron runs it: the real program with no display and no input, its
// mail program tspost, a loopback SMTP server and the embedded demo database.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <thread>

#include <QJsonArray>
#include <sqlite3.h>

#include "carpeta_demo.h"
#include "mailing/despacho.h"
#include "mailing/estado_entregas.h"
#include "platform/basic/texto.h"
#include "support/lanzar.h"
#include "support/puertos.h"
#include "support/servidor_smtp.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

const std::string kLinea = "@Server=sqlite;@DbName=demo;@Usuario=admin;@Password=x;@UsuarioLogeado=ADMIN;";

std::string Comillas(const std::string& s) {
  std::string r = "'";
  for (char c : s) r += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return r + "'";
}

size_t Veces(const std::string& texto, const std::string& buscado) {
  size_t n = 0;
  for (size_t p = texto.find(buscado); p != std::string::npos; p = texto.find(buscado, p + 1)) ++n;
  return n;
}

class EnvioSinVentana : public ::testing::Test {
 protected:
  TempDir raiz;
  std::string app;
  int puerto = 0;
  std::string salida, errores;

  void SetUp() override {
    app = raiz / "Compras OC";
    CrearCarpetaDemo(app);
    fs::copy_file(OCMAIL_PROGRAMA, app + "/ocmail");
    fs::copy_file(TSPOST_PROGRAMA, app + "/tspost");
    puerto = PuertoLibre();
    std::string ini = ReadBytes(app + "/TM440kv.INI");
    // Subject and message from the INI (Windows-1252, as the suite writes it).
    ini.replace(ini.find("Servidor="), 9,
                "Asunto=Orden de compra de Ferreter\xed"
                "a del Plata\r\nMensaje=Adjuntamos la orden.\\nSaludos.\r\n"
                "Puerto=" +
                    std::to_string(puerto) + "\r\nServidor=127.0.0.1");
    WriteBytes(app + "/TM440kv.INI", ini);
  }

  // Runs the program with no display and no input; its exit code, its outputs kept.
  // `entorno`: "NAME=value ..." put before the program.
  int Enviar(const std::string& opciones, const std::string& entorno = "") {
    const std::string out = raiz / "salida.txt", err = raiz / "errores.txt";
    const std::string orden = "cd " + Comillas(app) +
                              " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + entorno +
                              " ./ocmail --enviar " + Comillas(kLinea) + " " + opciones + " </dev/null >" +
                              Comillas(out) + " 2>" + Comillas(err);
    const int r = std::system(orden.c_str());
    salida = ReadBytes(out);
    errores = ReadBytes(err);
    return WIFEXITED(r) ? WEXITSTATUS(r) : -1;
  }
  std::string SinDisplay() const { return salida + "\n--- stderr ---\n" + errores; }

  // Runs statements on the demo database through ocmail-sql (one per line).
  void Sql(const std::string& sentencias) {
    const std::string sql = raiz / "sql.txt";
    WriteBytes(sql, sentencias);
    if (!fs::exists(app + "/ocmail-sql")) fs::copy_file(OCMAIL_SQL_PROGRAMA, app + "/ocmail-sql");
    const std::string orden = "cd " + Comillas(app) + " && ./ocmail-sql " + Comillas(kLinea) + " <" +
                              Comillas(sql) + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(orden.c_str()), 0) << sentencias;
  }

  // The document numbers of the lines "<etiqueta> <cuenta> OC <número>" of the output.
  std::vector<std::string> Numeros(const std::string& etiqueta, const std::string& cuenta) const {
    std::vector<std::string> r;
    const std::string buscado = etiqueta + cuenta + " OC ";
    for (size_t p = salida.find(buscado); p != std::string::npos; p = salida.find(buscado, p + 1)) {
      const size_t inicio = p + buscado.size();
      r.push_back(salida.substr(inicio, salida.find(' ', inicio) - inicio));
    }
    return r;
  }
};

// --simular lists and writes nothing; the run hands every order over, the server receives
// them with the INI's subject, they are stamped (a second run finds nothing pending).
TEST_F(EnvioSinVentana, SimulaEnviaYMarca) {
  ServidorSmtp smtp(puerto, raiz / "recibidos");
  ASSERT_TRUE(smtp.Listo());

  EXPECT_EQ(Enviar("--proveedor-desde P001 --proveedor-hasta P002 --simular"), 0) << SinDisplay();
  EXPECT_EQ(Veces(salida, "Se enviaría P00"), 6u) << SinDisplay();
  EXPECT_NE(salida.find("Simulación: 6 orden(es) se enviarían, 0 se omitirían."), std::string::npos);
  EXPECT_FALSE(fs::exists(app + "/E-MAILS"));
  EXPECT_FALSE(fs::exists(app + "/CORREO"));
  EXPECT_FALSE(fs::exists(RutaTrabajoCorreo(app)));

  EXPECT_EQ(Enviar("--proveedor-desde P001 --proveedor-hasta P002"), 0) << SinDisplay();
  EXPECT_EQ(Veces(salida, "Entregada   P00"), 6u) << SinDisplay();
  EXPECT_NE(salida.find("Resumen: 6 entregada(s), 0 en cola"), std::string::npos) << SinDisplay();
  const auto mensajes = smtp.EsperarMensajes(6);
  ASSERT_EQ(mensajes.size(), 6u) << ReadBytes(app + "/TSPOST.LOG");
  for (const auto& m : mensajes) {
    EXPECT_EQ(m.value("subject").toString().toStdString(), "Orden de compra de Ferretería del Plata");
    // The INI's "\n" is a line break.
    const std::string cuerpo = m.value("body").toString().toStdString();
    EXPECT_EQ(cuerpo.rfind("Adjuntamos la orden.", 0), 0u) << cuerpo;
    EXPECT_NE(cuerpo.find("\nSaludos."), std::string::npos) << cuerpo;
  }

  EXPECT_EQ(Enviar("--proveedor-desde P001 --proveedor-hasta P002 --simular"), 0);
  EXPECT_NE(salida.find("Simulación: 0 orden(es) se enviarían"), std::string::npos) << SinDisplay();
}

// Orders without an address are skipped and said so: exit 1; the others go.
TEST_F(EnvioSinVentana, LasOrdenesSinDireccionSeOmitenConCodigoUno) {
  ServidorSmtp smtp(puerto, raiz / "recibidos");
  ASSERT_TRUE(smtp.Listo());
  EXPECT_EQ(Enviar("--proveedor-desde P010 --proveedor-hasta P011 --asunto 'OC urgente'"), 1) << SinDisplay();
  EXPECT_EQ(Veces(salida, "Omitida     P011"), 3u) << SinDisplay();
  EXPECT_NE(salida.find("el proveedor no tiene dirección de e-mail."), std::string::npos);
  EXPECT_EQ(Veces(salida, "Entregada   P010"), 2u) << SinDisplay();
  const auto mensajes = smtp.EsperarMensajes(2);
  ASSERT_EQ(mensajes.size(), 2u);
  EXPECT_EQ(mensajes[0].value("subject").toString().toStdString(), "OC urgente");
}

// A database without the pending-order view: the question gets the safe answer, the error
// goes to standard error and QZERR.LOG, nothing is written or stamped, exit 2.
TEST_F(EnvioSinVentana, SinLaTablaDePendientesTerminaConCodigoDos) {
  Sql("DROP VIEW V_OC_pendientes\n");

  EXPECT_EQ(Enviar(""), 2) << SinDisplay();
  EXPECT_NE(errores.find("no such table: V_Oc_pendientes"), std::string::npos) << SinDisplay();
  EXPECT_NE(errores.find("(respuesta sin operador: Anular)"), std::string::npos) << SinDisplay();
  EXPECT_NE(salida.find("Envío detenido: no se pudo leer la lista de órdenes pendientes."),
            std::string::npos);
  EXPECT_NE(ReadBytes(app + "/QZERR.LOG").find("no such table"), std::string::npos);
  EXPECT_FALSE(fs::exists(app + "/E-MAILS"));
  EXPECT_FALSE(fs::exists(RutaTrabajoCorreo(app)));

  EXPECT_EQ(Enviar("--opcion-rara"), 2);
  EXPECT_NE(errores.find("opcion desconocida --opcion-rara"), std::string::npos) << SinDisplay();
}

// A supplier address the server refuses for good (550): "Fallida" with the reply, exit 2,
// and the orders are pending again. A second run the same day does not mail the dead
// address again (exit 1); once the address is corrected, the orders go to the new one.
TEST_F(EnvioSinVentana, RechazoDefinitivoEsFallidaYLaOrdenVuelve) {
  ServidorSmtp smtp(puerto, raiz / "recibidos", {},
                    {{"SMTP_SINK_RECHAZAR", "ventas@acerosdelsur.com.ar=550"}});
  ASSERT_TRUE(smtp.Listo());
  auto marca = [&](const std::string& numero) {
    sqlite3* db = nullptr;
    sqlite3_open((app + "/demo.db").c_str(), &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(
        db, ("SELECT FechaEnvioMail FROM c_mv_cpte WHERE TC='OC' AND IdComprobante='" + numero + "'").c_str(),
        -1, &st, nullptr);
    std::string r = "?";
    if (sqlite3_step(st) == SQLITE_ROW)
      r = sqlite3_column_type(st, 0) == SQLITE_NULL
              ? "NULL"
              : reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return r;
  };

  EXPECT_EQ(Enviar("--proveedor-desde P001 --proveedor-hasta P001"), 2) << SinDisplay();
  const std::vector<std::string> fallidas = Numeros("Fallida     ", "P001");
  ASSERT_FALSE(fallidas.empty()) << SinDisplay();
  EXPECT_EQ(Veces(salida, "<ventas@acerosdelsur.com.ar>: 550"), fallidas.size()) << SinDisplay();
  for (const auto& n : fallidas) EXPECT_EQ(marca(n), "NULL") << n;

  EXPECT_EQ(Enviar("--proveedor-desde P001 --proveedor-hasta P001"), 1) << SinDisplay();
  EXPECT_EQ(Veces(salida,
                  "el mail a ventas@acerosdelsur.com.ar no se pudo entregar; corrija la dirección del "
                  "proveedor"),
            fallidas.size())
      << SinDisplay();
  EXPECT_EQ(Veces(salida, "Fallida"), 0u) << SinDisplay();

  Sql("UPDATE vt_proveedores SET Mail = 'compras@acerosdelsur.com.ar' WHERE Codigo = 'P001'\n");
  EXPECT_EQ(Enviar("--proveedor-desde P001 --proveedor-hasta P001"), 0) << SinDisplay();
  EXPECT_EQ(Numeros("Entregada   ", "P001"), fallidas) << SinDisplay();
  const auto mensajes = smtp.EsperarMensajes(fallidas.size());
  ASSERT_EQ(mensajes.size(), fallidas.size()) << ReadBytes(app + "/TSPOST.LOG");
  for (const auto& m : mensajes)
    EXPECT_EQ(m.value("to").toString().toStdString(), "compras@acerosdelsur.com.ar");
  for (const auto& n : fallidas) EXPECT_NE(marca(n), "NULL") << n;
}

// A supplier address that smuggles a job line: that supplier's orders are held and named
// with the line end shown, the others go, and no mail carries a second attachment.
TEST_F(EnvioSinVentana, DireccionConSaltoDeLineaRetieneSoloEsasOrdenes) {
  ServidorSmtp smtp(puerto, raiz / "recibidos");
  ASSERT_TRUE(smtp.Listo());
  Sql("UPDATE vt_proveedores SET Mail = 'ventas@acme.com,' || char(13) || char(10) || "
      "'ARCHIVO=/usr/share/locale/en@quot/../../../../etc/hostname' WHERE Codigo = 'P001'\n");

  EXPECT_EQ(Enviar("--proveedor-desde P001 --proveedor-hasta P002"), 1) << SinDisplay();
  EXPECT_EQ(salida.find('\r'), std::string::npos);
  const size_t retenidas = Veces(salida, "Omitida     P001");
  EXPECT_GT(retenidas, 0u) << SinDisplay();
  EXPECT_EQ(Veces(salida, "no es válida: ventas@acme.com,\\r\\nARCHIVO=/usr/share/locale/en@quot/"),
            retenidas)
      << SinDisplay();
  EXPECT_EQ(Veces(salida, "Entregada   P001"), 0u);
  const size_t entregadas = Veces(salida, "Entregada   P002");
  ASSERT_GT(entregadas, 0u) << SinDisplay();
  const auto mensajes = smtp.EsperarMensajes(entregadas + 1);
  ASSERT_EQ(mensajes.size(), entregadas) << ReadBytes(app + "/TSPOST.LOG");
  for (const auto& m : mensajes) {
    const QJsonArray adjuntos = m.value("attachments").toArray();
    ASSERT_EQ(adjuntos.size(), 1) << m.value("to").toString().toStdString();
    EXPECT_EQ(adjuntos[0].toObject().value("filename").toString().toStdString().rfind("P002-", 0), 0u);
    EXPECT_EQ(m.value("to").toString().toStdString().find("acme"), std::string::npos);
  }
}

// A supplier code, subject and message that Windows-1252 cannot write: with the server
// down the list finds each order waiting; sent later, the mail carries the exact texts and
// that order's attachment.
TEST_F(EnvioSinVentana, TextosFueraDeWindows1252LleganExactos) {
  // P001's orders move to a new supplier PŁ01 (straight on the file: the documents'
  // references are turned off for the move).
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((app + "/demo.db").c_str(), &db), SQLITE_OK);
  const int r = sqlite3_exec(db,
                             "PRAGMA foreign_keys = OFF;"
                             "INSERT INTO vt_proveedores (Codigo, Razon_Social, Mail) "
                             "VALUES ('PŁ01', 'Łódź Sp.', 'biuro@example.com');"
                             "UPDATE c_mv_cpte SET Cuenta = 'PŁ01' WHERE Cuenta = 'P001';"
                             "UPDATE c_mv_cpteser SET Cuenta = 'PŁ01' WHERE Cuenta = 'P001';"
                             "UPDATE c_mv_cpteobs SET Cuenta = 'PŁ01' WHERE Cuenta = 'P001';",
                             nullptr, nullptr, nullptr);
  EXPECT_EQ(r, SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
  const std::string opciones =
      "--proveedor-desde PŁ01 --proveedor-hasta PŁ01 --asunto 'Pedido ✓ Łódź' --mensaje 'Línea € ✓\\nAdiós "
      "✓'";
  // No server on the port: every mail waits in the spool.
  EXPECT_EQ(Enviar(opciones), 0) << SinDisplay();
  const std::vector<std::string> numeros = Numeros("En cola     ", "PŁ01");
  ASSERT_FALSE(numeros.empty()) << SinDisplay();
  const EntregasOrdenes entregas = EntregasOrdenes::Leer(app + "/CORREO/ENTREGAS.TXT");
  for (const auto& n : numeros) EXPECT_EQ(entregas.Estado("PŁ01", n), EstadoEntrega::Pendiente) << n;
  EXPECT_EQ(ReadBytes(app + "/CORREO/ENTREGAS.TXT").find("P?01"), std::string::npos);

  ServidorSmtp smtp(puerto, raiz / "recibidos");
  ASSERT_TRUE(smtp.Listo());
  const std::string orden = "cd " + Comillas(app) + " && ./tspost --reintentar --ahora >/dev/null 2>&1";
  std::system(orden.c_str());
  const auto mensajes = smtp.EsperarMensajes(numeros.size());
  ASSERT_EQ(mensajes.size(), numeros.size()) << ReadBytes(app + "/TSPOST.LOG");
  std::set<std::string> adjuntos;
  for (const auto& m : mensajes) {
    EXPECT_EQ(m.value("subject").toString().toStdString(), "Pedido ✓ Łódź");
    const std::string cuerpo = basic::Replace(m.value("body").toString().toStdString(), "\r\n", "\n");
    EXPECT_EQ(cuerpo.rfind("Línea € ✓\nAdiós ✓", 0), 0u) << basic::TextoVisible(cuerpo);
    const QJsonArray a = m.value("attachments").toArray();
    ASSERT_EQ(a.size(), 1);
    adjuntos.insert(a[0].toObject().value("filename").toString().toStdString());
  }
  for (const auto& n : numeros) EXPECT_EQ(adjuntos.count("P%C5%8101-" + n + ".html"), 1u) << n;
  const EntregasOrdenes despues = EntregasOrdenes::Leer(app + "/CORREO/ENTREGAS.TXT");
  for (const auto& n : numeros) EXPECT_EQ(despues.Estado("PŁ01", n), EstadoEntrega::Enviado) << n;
}

// A value that is not valid stops the run before it connects: exit 2, the option and the
// value named, nothing written (not even the usage log in the database).
TEST_F(EnvioSinVentana, ValorNoValidoTerminaConCodigoDosSinEscribirNada) {
  const std::string base = ReadBytes(app + "/demo.db");
  const struct {
    const char* opciones;
    const char* mensaje;
  } casos[] = {
      {"--fecha-desde 31/02/2024 --fecha-hasta 31/02/2024 --simular",
       "el valor de --fecha-desde \"31/02/2024\" no es una fecha válida (escriba la fecha como dd/mm/aaaa)"},
      {"--fecha-hasta abc", "el valor de --fecha-hasta \"abc\" no es una fecha válida"},
      {"--usuario \"$(printf 'ANA\\r')\"", "el valor de --usuario \"ANA\\r\" tiene caracteres de control"},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.opciones);
    EXPECT_EQ(Enviar(c.opciones), 2) << SinDisplay();
    EXPECT_NE(errores.find(c.mensaje), std::string::npos) << SinDisplay();
    EXPECT_EQ(salida, "");
    EXPECT_FALSE(fs::exists(app + "/E-MAILS"));
    EXPECT_FALSE(fs::exists(app + "/CORREO"));
    EXPECT_FALSE(fs::exists(RutaTrabajoCorreo(app)));
    EXPECT_FALSE(fs::exists(app + "/QZERR.LOG"));
    EXPECT_TRUE(ReadBytes(app + "/demo.db") == base);
  }
}

// File systems that lack what the hand-over needs, simulated (shim_fs): without hard links
// the run stops before any order with one message naming the folder and what it lacks, and
// nothing is stamped; with NFS's lock rule (an exclusive lock needs a descriptor open for
// writing) everything works.
TEST_F(EnvioSinVentana, SistemaDeArchivosSinLoQueHaceFalta) {
  ServidorSmtp smtp(puerto, raiz / "recibidos");
  ASSERT_TRUE(smtp.Listo());
  const std::string shim = std::string("LD_PRELOAD=") + OCMAIL_SHIM_FS;

  EXPECT_EQ(Enviar("--proveedor-desde P001 --proveedor-hasta P002", shim + " OCMAIL_SHIM_SIN_LINK=1"), 2)
      << SinDisplay();
  EXPECT_NE(errores.find("no permite enlaces de archivos (Operation not permitted)"), std::string::npos)
      << SinDisplay();
  EXPECT_NE(errores.find("No se envió ninguna orden."), std::string::npos);
  EXPECT_EQ(Veces(salida, "Entregada"), 0u);
  EXPECT_TRUE(smtp.Mensajes().empty());
  // Nothing was claimed: the same orders are still pending.
  EXPECT_EQ(Enviar("--proveedor-desde P001 --proveedor-hasta P002 --simular"), 0);
  EXPECT_NE(salida.find("Simulación: 6 orden(es) se enviarían"), std::string::npos) << SinDisplay();

  EXPECT_EQ(Enviar("--proveedor-desde P001 --proveedor-hasta P002", shim + " OCMAIL_SHIM_NFS=1"), 0)
      << SinDisplay() << ReadBytes(app + "/TSPOST.LOG");
  EXPECT_EQ(Veces(salida, "Entregada   P00"), 6u) << SinDisplay();
  EXPECT_EQ(smtp.EsperarMensajes(6).size(), 6u) << ReadBytes(app + "/TSPOST.LOG");
}

// A database another program holds: the run says on standard error that it waits, and goes
// on when the lock goes (every order mailed once); held past CommandTimeout (the
// statistics database's TIMEOUT), the run ends with exit 2, nothing sent, nothing stamped.
TEST_F(EnvioSinVentana, BaseBloqueadaSeEsperaYSeAvisa) {
  ServidorSmtp smtp(puerto, raiz / "recibidos");
  ASSERT_TRUE(smtp.Listo());
  auto sql = [](const std::string& archivo, const char* sentencia) {
    sqlite3* db = nullptr;
    sqlite3_open(archivo.c_str(), &db);
    const int r = sqlite3_exec(db, sentencia, nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return r;
  };
  ASSERT_EQ(
      sql(app + "/QZ_ESTADISTICAS.db", "UPDATE TA_CONFIGURACION SET Valor = '4' WHERE Clave = 'TIMEOUT'"),
      SQLITE_OK);
  sqlite3* otra = nullptr;
  ASSERT_EQ(sqlite3_open((app + "/demo.db").c_str(), &otra), SQLITE_OK);

  ASSERT_EQ(sqlite3_exec(otra, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  std::thread soltar([otra] {
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    sqlite3_exec(otra, "COMMIT", nullptr, nullptr, nullptr);
  });
  const int r = Enviar("--proveedor-desde P001 --proveedor-hasta P002");
  soltar.join();
  EXPECT_EQ(r, 0) << SinDisplay();
  EXPECT_NE(errores.find("ocmail: esperando la base de datos (bloqueada por otro programa)…"),
            std::string::npos)
      << SinDisplay();
  EXPECT_EQ(Veces(salida, "Entregada   P00"), 6u) << SinDisplay();
  EXPECT_EQ(smtp.EsperarMensajes(7).size(), 6u);

  // Every statement of the start-up waits its whole time-out: a short one.
  ASSERT_EQ(
      sql(app + "/QZ_ESTADISTICAS.db", "UPDATE TA_CONFIGURACION SET Valor = '1' WHERE Clave = 'TIMEOUT'"),
      SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(otra, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  EXPECT_EQ(Enviar("--proveedor-desde P003 --proveedor-hasta P004"), 2) << SinDisplay();
  sqlite3_exec(otra, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(otra);
  EXPECT_NE(errores.find("bloqueada por otro proceso"), std::string::npos) << SinDisplay();
  EXPECT_EQ(Veces(salida, "Entregada"), 0u) << SinDisplay();
  EXPECT_EQ(smtp.Mensajes().size(), 6u);
  // Nothing stamped: the same orders are still pending.
  EXPECT_EQ(Enviar("--proveedor-desde P003 --proveedor-hasta P004 --simular"), 0) << SinDisplay();
  EXPECT_EQ(Veces(salida, "Se enviaría"), Veces(salida, "Se enviaría P00")) << SinDisplay();
  EXPECT_GT(Veces(salida, "Se enviaría"), 0u) << SinDisplay();
}

}  // namespace
