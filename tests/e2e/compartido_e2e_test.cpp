// The application folder on a real SMB share seen from two PCs (two mounts, each its own
// HOME and local folder), the database on local disk as a server would be, a loopback SMTP
// server: what an office with several PCs and a scheduled run does.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "ocmail-sql/base_datos.h"
#include "platform/basic/texto.h"
#include "support/lanzar.h"
#include "support/puertos.h"
#include "support/recurso_compartido.h"
#include "support/servidor_smtp.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::string Comillas(const std::string& s) {
  std::string r = "'";
  for (char c : s) r += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return r + "'";
}

class CarpetaCompartida : public ::testing::Test {
 protected:
  RecursoCompartido recurso;
  TempDir local;  // this machine's own disk: the database, each PC's HOME
  std::string base;
  int puerto = 0;

  void SetUp() override {
    ASSERT_TRUE(recurso.Listo()) << recurso.Error();
    puerto = PuertoLibre();
    base = local / "empresa.db";
  }

  // The application folder as the suite installs it, written on the server's side.
  void InstalarAplicacion(const std::string& extraIni = "") {
    const std::string app = recurso.Servidor() + "/Compras OC";
    fs::create_directories(app);
    for (const auto& e : fs::directory_iterator(std::string(OCMAIL_SHARE) + "/reports"))
      fs::copy_file(e.path(), app + "/" + e.path().filename().string());
    std::string ini = ReadBytes(std::string(OCMAIL_SHARE) + "/demo/TM440kv.INI");
    ini.replace(ini.find("Servidor="), 9, "Puerto=" + std::to_string(puerto) + "\r\nServidor=127.0.0.1");
    WriteBytes(app + "/TM440kv.INI", ini + extraIni);
    for (const auto& [origen, nombre] :
         {std::pair{OCMAIL_PROGRAMA, "ocmail"}, std::pair{TSPOST_PROGRAMA, "tspost"}}) {
      fs::copy_file(origen, app + "/" + nombre);
      ::chmod((app + "/" + nombre).c_str(), 0755);
    }
  }
  std::string App(const std::string& pc) const {
    return (pc == "A" ? recurso.A() : recurso.B()) + "/Compras OC";
  }
  std::string Linea(const std::string& db) const {
    return "@Server=sqlite;@DbName=" + db + ";@Usuario=admin;@Password=x;@UsuarioLogeado=ADMIN;";
  }

  // `ocmail --enviar` on PC `pc` (its mount, its HOME and local folder), in the background.
  pid_t Enviar(const std::string& pc, const std::string& db, const std::string& opciones = "") {
    const std::string home = local / ("home" + pc);
    fs::create_directories(home);
    const std::string orden = "cd " + Comillas(App(pc)) + " && env -u DISPLAY HOME=" + Comillas(home) +
                              " XDG_STATE_HOME=" + Comillas(home + "/estado") + " ./ocmail --enviar " +
                              Comillas(Linea(db)) + " " + opciones + " </dev/null >" +
                              Comillas(local / ("salida" + pc + ".txt")) + " 2>" +
                              Comillas(local / ("errores" + pc + ".txt"));
    return Lanzar({"/bin/sh", "-c", orden});
  }
  std::string Salida(const std::string& pc) const { return ReadBytes(local / ("salida" + pc + ".txt")); }
  std::string Errores(const std::string& pc) const { return ReadBytes(local / ("errores" + pc + ".txt")); }
};

// Two PCs send at once from one shared folder on 100 orders: every order is mailed exactly
// once (counted at the server, by attachment) and named "Entregada" by one PC only.
TEST_F(CarpetaCompartida, DosPcsEnvianCadaOrdenUnaVez) {
  ocmailsql::CrearBaseDatos(base, 100);
  InstalarAplicacion();
  ServidorSmtp smtp(puerto, local / "recibidos");
  ASSERT_TRUE(smtp.Listo());

  const pid_t a = Enviar("A", base), b = Enviar("B", base);
  const int ra = Esperar(a), rb = Esperar(b);
  const std::string todo =
      "--- A ---\n" + Salida("A") + Errores("A") + "--- B ---\n" + Salida("B") + Errores("B");
  EXPECT_TRUE(ra == 0 || ra == 1) << todo;
  EXPECT_TRUE(rb == 0 || rb == 1) << todo;

  // "Entregada   <cuenta> OC <número>": each order by one PC only.
  std::map<std::string, int> entregadas;
  for (const std::string& pc : {"A", "B"})
    for (const std::string& l : basic::Split(Salida(pc), "\n"))
      if (l.rfind("Entregada   ", 0) == 0) {
        const auto partes = basic::Split(l.substr(12), " ");
        ++entregadas[partes.at(0) + "-" + partes.at(2) + ".html"];
      }
  ASSERT_GT(entregadas.size(), 50u) << todo;
  for (const auto& [adjunto, veces] : entregadas) EXPECT_EQ(veces, 1) << adjunto;

  const auto mensajes = smtp.EsperarMensajes(entregadas.size() + 1);
  std::map<std::string, int> recibidos;
  for (const auto& m : mensajes)
    for (const auto& adj : m.value("attachments").toArray())
      ++recibidos[adj.toObject().value("filename").toString().toStdString()];
  EXPECT_EQ(recibidos.size(), entregadas.size()) << todo;
  for (const auto& [adjunto, veces] : recibidos) {
    EXPECT_EQ(veces, 1) << adjunto;
    EXPECT_EQ(entregadas.count(adjunto), 1u) << adjunto;
  }
}

// The embedded database's file on the share: a warning at start-up that says why and what
// to do, which a PC alone on the share may silence in its INI.
TEST_F(CarpetaCompartida, BaseEmbebidaEnLaCarpetaCompartidaAvisa) {
  InstalarAplicacion();
  ocmailsql::CrearBaseDatos(recurso.Servidor() + "/Compras OC/demo.db", 3);
  EXPECT_EQ(Esperar(Enviar("A", App("A") + "/demo.db", "--simular")), 0) << Salida("A") << Errores("A");
  EXPECT_NE(Errores("A").find("está en una carpeta de red (FUSE)"), std::string::npos) << Errores("A");
  EXPECT_NE(Errores("A").find("AvisarEnRed=NO en la sección [BaseEmbebida]"), std::string::npos);

  const std::string ini = recurso.Servidor() + "/Compras OC/TM440kv.INI";
  WriteBytes(ini, ReadBytes(ini) + "[BaseEmbebida]\r\nAvisarEnRed=NO\r\n");
  EXPECT_EQ(Esperar(Enviar("A", App("A") + "/demo.db", "--simular")), 0) << Salida("A") << Errores("A");
  EXPECT_EQ(Errores("A").find("carpeta de red"), std::string::npos) << Errores("A");
}

}  // namespace
