// The delivery state of mailed orders out of the mail program's journal, and the
// background retry of what waits in its spool.
#include "companion/rutas_correo.h"
#include "mailing/estado_entregas.h"
#include "mailing/devueltas.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <thread>
#include <string>
#include <vector>

#include "platform/os/procesos.h"
#include "support/estado_global.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

basic::LineaEntrega Linea(const std::string& fecha, const std::string& archivo, const char* resultado,
                          const std::string& detalle = "", const std::string& idCola = "id") {
  return {fecha, archivo, "compras@example.com", resultado, detalle, "<m@x>", idCola};
}

TEST(EstadoEntregas, UltimaLineaDeCadaOrdenYLineaDeEstado) {
  using basic::kEntregaEnviado, basic::kEntregaPendiente, basic::kEntregaFallido;
  struct Caso {
    const char* nombre;
    std::vector<basic::LineaEntrega> lineas;
    EstadoEntrega estadoP001;  // order P001 / 000100001000A
    std::string estado;
  };
  const std::string a = "P001-000100001000A.html";
  const Caso casos[] = {
      {"sin diario", {}, EstadoEntrega::Ninguno, ""},
      {"otra orden",
       {Linea("2026-05-21 10:00:00", "P002-X.html", kEntregaEnviado)},
       EstadoEntrega::Ninguno,
       ""},
      {"entregada al reintentar",
       {Linea("2026-05-21 10:00:00", a, kEntregaPendiente, "421 ocupado"),
        Linea("2026-05-21 10:05:00", a, kEntregaEnviado, "250 Ok")},
       EstadoEntrega::Enviado,
       ""},
      {"espera: la respuesta de su último intento",
       {Linea("2026-05-21 10:00:00", a, kEntregaPendiente, "421 ocupado"),
        Linea("2026-05-21 10:01:00", a, kEntregaPendiente, "conexión rechazada")},
       EstadoEntrega::Pendiente,
       "1 mail espera en la cola de envío (último error: conexión rechazada)"},
      {"abandonada",
       {Linea("2026-05-21 10:00:00", a, kEntregaPendiente),
        Linea("2026-05-21 11:00:00", a, kEntregaFallido, "550 no existe")},
       EstadoEntrega::Fallido,
       "1 mail no se pudo entregar"},
      {"una fallida y otra en espera",
       {Linea("2026-05-21 10:00:00", a, kEntregaFallido, "550 no existe"),
        Linea("2026-05-21 10:02:00", "P002-B.html", kEntregaPendiente, "421 ocupado")},
       EstadoEntrega::Fallido,
       "1 mail no se pudo entregar; 1 mail espera en la cola de envío (último error: 421 ocupado)"},
      {"rebotada después de entregada",
       {Linea("2026-05-21 10:00:00", a, kEntregaEnviado, "250 Ok"),
        Linea("2026-05-21 11:00:00", a, basic::kEntregaRebotado, "550 5.1.1 no existe")},
       EstadoEntrega::Fallido,
       "1 mail no se pudo entregar"},
      {"una línea que no es un resultado solo anota",
       {Linea("2026-05-21 10:00:00", a, kEntregaPendiente, "421 ocupado"),
        Linea("2026-05-21 10:03:00", a, "AVISO", "el servidor tarda")},
       EstadoEntrega::Pendiente,
       "1 mail espera en la cola de envío (último error: 421 ocupado)"},
      // The latest attempt by date among the waiting orders, whatever the line order.
      {"varias esperan",
       {Linea("2026-05-21 10:09:00", "P003-C.html", kEntregaPendiente, "451 más tarde"),
        Linea("2026-05-21 10:00:00", a, kEntregaPendiente, "421 ocupado"),
        Linea("2026-05-21 10:03:00", "P002-B.html", kEntregaPendiente, "")},
       EstadoEntrega::Pendiente,
       "3 mails esperan en la cola de envío (último error: 451 más tarde)"},
      {"enviada como PDF tras esperar como HTML",
       {Linea("2026-05-21 10:00:00", a, kEntregaPendiente, "421 ocupado"),
        Linea("2026-05-21 10:05:00", "P001-000100001000A.pdf", kEntregaEnviado, "250 Ok")},
       EstadoEntrega::Enviado,
       ""},
      {"sin respuesta del servidor",
       {Linea("2026-05-21 10:00:00", a, kEntregaPendiente, "")},
       EstadoEntrega::Pendiente,
       "1 mail espera en la cola de envío"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    const EntregasOrdenes e(c.lineas);
    EXPECT_EQ(e.Estado("P001", "000100001000A"), c.estadoP001);
    EXPECT_EQ(TextoEstadoCola(e), c.estado);
  }
}

TEST(EstadoEntregas, LineasDeUnaOrdenPorSuNombreDeArchivo) {
  // The attachment name keeps the order's file in the run folder: "/" becomes "_".
  const EntregasOrdenes e(
      {Linea("2026-05-21 10:00:00", "A_B-0001.html", basic::kEntregaPendiente, "421 ocupado"),
       Linea("2026-05-21 10:00:30", "A_B-0002.html", basic::kEntregaEnviado, "250 Ok"),
       Linea("2026-05-21 10:01:00", "A_B-0001.pdf", basic::kEntregaEnviado, "250 Ok")});
  EXPECT_EQ(e.Estado("A/B", "0001"), EstadoEntrega::Enviado);
  const auto lineas = e.Lineas("A/B", "0001");
  ASSERT_EQ(lineas.size(), 2u);
  EXPECT_EQ(TextoEntregas(lineas),
            "2026-05-21 10:00:00  PENDIENTE  compras@example.com  421 ocupado\n"
            "2026-05-21 10:01:00  ENVIADO  compras@example.com  250 Ok");
  EXPECT_TRUE(e.Lineas("A/B", "0003").empty());
  EXPECT_EQ(TextoEntregas({}), "No hay entregas registradas para esta orden.");
}

// The mail program as the retry sees it: records each command line.
struct ProcesosFalsos : os::Procesos {
  std::vector<std::string> lineas;
  bool vive = false;
  long Iniciar(const std::string& linea, int) override {
    lineas.push_back(linea);
    return 70000 + static_cast<long>(lineas.size());
  }
  bool Vive(long) override { return vive; }
};

class Reintento : public ::testing::Test {
 protected:
  TempDir dir;
  ProcesosFalsos procesos;
  std::string app;
  void SetUp() override {
    app = dir / "Mi App";
    fs::create_directories(app);
    os::InstalarProcesos(&procesos);
  }
  void TearDown() override {
    os::InstalarProcesos(nullptr);
    ReiniciarEstadoGlobal();
  }
};

TEST_F(Reintento, SoloConCorreosEnLaColaYUnoALaVez) {
  const std::string cola = RutaCarpetaLocal(app) + "/PENDIENTES";  // the spool's default
  EXPECT_FALSE(ReintentarEnSegundoPlano(app));                     // no spool folder
  fs::create_directories(cola);
  WriteBytes(cola + "/.reintentar.lck", "");
  WriteBytes(cola + "/20260521-100000-1-a.eml", "x");  // a message without its envelope
  WriteBytes(cola + "/20260521-100000-2-b.rechazado", "x");
  EXPECT_FALSE(ReintentarEnSegundoPlano(app));
  EXPECT_TRUE(procesos.lineas.empty());

  for (const char* item : {"20260521-100000-3-c.sobre", "20260521-100000-4-d.trabajo"}) {
    SCOPED_TRACE(item);
    fs::remove_all(cola);
    fs::create_directories(cola);
    WriteBytes(cola + "/" + item, "x");
    procesos.lineas.clear();
    procesos.vive = false;
    ASSERT_TRUE(ReintentarEnSegundoPlano(app));
    ASSERT_EQ(procesos.lineas.size(), 1u);
    EXPECT_EQ(procesos.lineas[0], "\"" + app + "/TSPOST.EXE\" --reintentar");
    EXPECT_EQ(os::DividirLineaComandos(procesos.lineas[0]),
              (std::vector<std::string>{app + "/TSPOST.EXE", "--reintentar"}));
    // While the retry started here runs, no second one.
    procesos.vive = true;
    EXPECT_FALSE(ReintentarEnSegundoPlano(app));
    procesos.vive = false;
    EXPECT_TRUE(ReintentarEnSegundoPlano(app));
    EXPECT_EQ(procesos.lineas.size(), 2u);
  }
}

TEST_F(Reintento, CarpetasDelIniComoLasLeeElProgramaDeCorreo) {
  WriteBytes(app + "/tm440KV.ini",
             "[CORREO]\r\nCarpetaPendientes=COLA\\ESPERA\r\nArchivoEntregas=\"REGISTRO\\ENTREGAS.TXT\"\r\n");
  EXPECT_EQ(ArchivoEntregasDe(app), app + "/REGISTRO/ENTREGAS.TXT");
  fs::create_directories(app + "/CORREO/PENDIENTES");
  WriteBytes(app + "/CORREO/PENDIENTES/1.sobre", "x");  // not the configured spool
  EXPECT_FALSE(ReintentarEnSegundoPlano(app));
  fs::create_directories(app + "/COLA/ESPERA");
  WriteBytes(app + "/COLA/ESPERA/1.sobre", "x");
  EXPECT_TRUE(ReintentarEnSegundoPlano(app));

  // The journal file as written, read back; a missing one reads as empty.
  fs::create_directories(app + "/REGISTRO");
  WriteBytes(ArchivoEntregasDe(app), basic::LineaDiario(Linea("2026-05-21 10:00:00", "P001-X.html",
                                                              basic::kEntregaPendiente, "421")));
  EXPECT_EQ(EntregasOrdenes::Leer(ArchivoEntregasDe(app)).Estado("P001", "X"), EstadoEntrega::Pendiente);
  EXPECT_EQ(EntregasOrdenes::Leer(app + "/no-esta.txt").Cuantas(EstadoEntrega::Pendiente), 0);

  // Lines of the PCs' folders beside it (REGISTRO/ENTREGAS): the latest date wins whichever
  // file it is in, and an order's lines come in date order.
  const std::string entregas = ArchivoEntregasDe(app);
  ASSERT_TRUE(basic::AgregarAlDiarioDelEquipo(
      entregas, Linea("2026-05-21 10:09:00", "P001-X.html", basic::kEntregaEnviado, "250"), "PC-B"));
  ASSERT_TRUE(basic::AgregarAlDiarioDelEquipo(
      entregas, Linea("2026-05-21 10:05:00", "P001-X.html", basic::kEntregaPendiente, "451"), "PC-A"));
  ASSERT_TRUE(basic::AgregarAlDiarioDelEquipo(
      entregas, Linea("2026-05-21 10:06:00", "P002-Y.pdf", basic::kEntregaPendiente, "452"), "PC-A"));
  const EntregasOrdenes leidas = EntregasOrdenes::Leer(entregas);
  EXPECT_EQ(leidas.Estado("P001", "X"), EstadoEntrega::Enviado);
  EXPECT_EQ(leidas.Cuantas(EstadoEntrega::Pendiente), 1);
  EXPECT_EQ(leidas.UltimoError(), "452");
  std::vector<std::string> detalles;
  for (const auto& l : leidas.Lineas("P001", "X")) detalles.push_back(l.detalle);
  EXPECT_EQ(detalles, (std::vector<std::string>{"421", "451", "250"}));

  // Text outside ASCII reads as the journal's reader gives it; a line with a field too many
  // is no line.
  ASSERT_TRUE(basic::AgregarAlDiarioDelEquipo(
      entregas, Linea("2026-05-21 10:07:00", "P003-Z.html", basic::kEntregaPendiente, "451 se\u00f1or"),
      "PC-A"));
  WriteBytes(app + "/REGISTRO/ENTREGAS/PC-A/2026-05.TXT",
             ReadBytes(app + "/REGISTRO/ENTREGAS/PC-A/2026-05.TXT") +
                 "2026-05-21 10:08:00\tP004-W.html\tc@x\tPENDIENTE\t4\t<m>\tid\tde mas\r\n");
  const EntregasOrdenes conAcentos = EntregasOrdenes::Leer(entregas);
  EXPECT_EQ(conAcentos.UltimoError(), "451 se\u00f1or");
  EXPECT_EQ(conAcentos.Cuantas(EstadoEntrega::Pendiente), 2);
}

}  // namespace

// At start-up the window names once what failed or bounced since the last session: nothing
// the first time (only the moment is kept), then each failure newer than it, once.
TEST(EstadoEntregas, LasFallidasNuevasSeDicenUnaSolaVez) {
  TempDir dir;
  const EntregasOrdenes antes(
      {Linea("2026-05-21 10:00:00", "P001-A.html", basic::kEntregaFallido, "550 no")});
  EXPECT_EQ(TextoFallidasNuevas(dir.str(), antes), "");
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // the next failure comes a second later
  const EntregasOrdenes despues(
      {Linea("2026-05-21 10:00:00", "P001-A.html", basic::kEntregaFallido, "550 no"),
       Linea(basic::FechaDiario(std::time(nullptr)), "P002-B.html", basic::kEntregaRebotado,
             "550 5.1.1 no existe")});
  EXPECT_EQ(TextoFallidasNuevas(dir.str(), despues),
            "Desde la última sesión no se pudo entregar 1 orden:\n\nP002-B: 550 5.1.1 no existe\n\n"
            "Vuelve a la lista de pendientes, en rojo.");
  EXPECT_EQ(TextoFallidasNuevas(dir.str(), despues), "");
}
