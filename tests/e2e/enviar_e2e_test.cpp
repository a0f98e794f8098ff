// "ocmail --enviar" as cron runs it: the real program with no display and no input, its
// mail program tspost, a loopback SMTP server and the embedded demo database.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "carpeta_demo.h"
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
  int Enviar(const std::string& opciones) {
    const std::string out = raiz / "salida.txt", err = raiz / "errores.txt";
    const std::string orden = "cd " + Comillas(app) +
                              " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ./ocmail --enviar " +
                              Comillas(kLinea) + " " + opciones + " </dev/null >" + Comillas(out) + " 2>" +
                              Comillas(err);
    const int r = std::system(orden.c_str());
    salida = ReadBytes(out);
    errores = ReadBytes(err);
    return WIFEXITED(r) ? WEXITSTATUS(r) : -1;
  }
  std::string SinDisplay() const { return salida + "\n--- stderr ---\n" + errores; }
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
  EXPECT_FALSE(fs::exists(app + "/cfgMail.txt"));

  EXPECT_EQ(Enviar("--proveedor-desde P001 --proveedor-hasta P002"), 0) << SinDisplay();
  EXPECT_EQ(Veces(salida, "Entregada   P00"), 6u) << SinDisplay();
  EXPECT_NE(salida.find("Resumen: 6 entregada(s) al programa de correo"), std::string::npos) << SinDisplay();
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
  const std::string sql = raiz / "sql.txt";
  WriteBytes(sql, "DROP VIEW V_OC_pendientes\n");
  fs::copy_file(OCMAIL_SQL_PROGRAMA, app + "/ocmail-sql");
  const std::string orden = "cd " + Comillas(app) + " && ./ocmail-sql " + Comillas(kLinea) + " <" +
                            Comillas(sql) + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(orden.c_str()), 0);

  EXPECT_EQ(Enviar(""), 2) << SinDisplay();
  EXPECT_NE(errores.find("no such table: V_Oc_pendientes"), std::string::npos) << SinDisplay();
  EXPECT_NE(errores.find("(respuesta sin operador: Anular)"), std::string::npos) << SinDisplay();
  EXPECT_NE(salida.find("Envío detenido: no se pudo leer la lista de órdenes pendientes."),
            std::string::npos);
  EXPECT_NE(ReadBytes(app + "/QZERR.LOG").find("no such table"), std::string::npos);
  EXPECT_FALSE(fs::exists(app + "/E-MAILS"));
  EXPECT_FALSE(fs::exists(app + "/cfgMail.txt"));

  EXPECT_EQ(Enviar("--opcion-rara"), 2);
  EXPECT_NE(errores.find("opcion desconocida --opcion-rara"), std::string::npos) << SinDisplay();
}

}  // namespace
