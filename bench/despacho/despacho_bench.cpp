// Dispatching 500 pending orders (pending check, HTML export through the report engine,
// job file, mail program, hand-over wait, stamp) against starting the same stand-in mail
// program 500 times on a job of its own and waiting for it, in the same run; prints the
// ratio (goal <= 3).
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "companion/companion.h"
#include "reports/reporte.h"
#include "data/db_dll.h"
#include "startup/acceso.h"
#include "startup/cargar_parametros.h"
#include "mailing/despacho.h"
#include "mailing/envio_desatendido.h"
#include "ocmail-sql/base_datos.h"
#include "platform/ado/ado.h"
#include "platform/basic/archivos.h"
#include "platform/os/procesos.h"
#include "platform/os/rutas.h"
#include "platform/ui/operador_guionado.h"

#include "support/informe.h"

namespace fs = std::filesystem;

namespace {

constexpr int kOrdenes = 500;
constexpr long kPedidosDemo = 600;  // leaves more than 500 pending after the received ones

std::string gApp;
std::vector<FilaDespacho> gFilas;
ui::OperadorGuionado gOperador;

void Preparar() {
  char plantilla[] = "/tmp/despacho_bench_XXXXXX";
  gApp = mkdtemp(plantilla);
  ocmailsql::CrearBaseDatos(gApp + "/demo.db", kPedidosDemo);
  for (const auto& e : fs::directory_iterator(std::string(OCMAIL_SHARE) + "/reports"))
    fs::copy_file(e.path(), gApp + "/" + e.path().filename().string());
  fs::copy_file(CORREO_FALSO, gApp + "/tspost");

  // The first 500 pending orders, as list rows.
  sqlite3* db = nullptr;
  sqlite3_open_v2((gApp + "/demo.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT Cuenta, TC, IdComprobante FROM V_Oc_pendientes ORDER BY IdComprobante LIMIT 500",
                     -1, &st, nullptr);
  while (sqlite3_step(st) == SQLITE_ROW) {
    auto col = [&](int c) { return std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, c))); };
    gFilas.push_back({col(0), col(1), col(2), "compras." + col(0) + "@example.com", true});
  }
  sqlite3_finalize(st);
  sqlite3_close(db);

  ui::InstalarOperador(&gOperador);
  os::FijarCarpetaAplicacion(gApp);
  std::string cs;
  CargarParametros(false, "@Server=sqlite;@DbName=demo;@Usuario=admin;@Password=x;@UsuarioLogeado=ADMIN;", cs,
                   3);
}

void BM_IniciarCorreo500(benchmark::State& state) {
  const std::string trabajo = gApp + "/cfgMail.txt";
  const std::string linea = LineaComandoCorreo(gApp);
  for (auto _ : state) {
    for (int i = 0; i < kOrdenes; ++i) {
      basic::EscribirLineas(trabajo,
                            {"DESTINATARIO=compras@example.com", "ASUNTO=", "MENSAJE=", "ARCHIVO=x.html"});
      os::procesos().EjecutarYEsperar(linea, os::vbNormalFocus);
    }
  }
}

void BM_Despacho500(benchmark::State& state) {
  int enviadas = 0;
  for (auto _ : state) {
    const ResultadoDespacho r = Despacho().Ejecutar(gFilas, "Orden de compra", "Adjunto la orden.");
    enviadas = r.Cuantas(EstadoOrden::Enviada);
  }
  state.counters["enviadas"] = enviadas;
  // One message per run: its summary.
  if (enviadas != kOrdenes || gOperador.Cuantos("MsgBox") != static_cast<int>(state.iterations()))
    state.SkipWithError("no se enviaron las 500 órdenes");
}

void Sql(const std::string& sentencia) {
  sqlite3* db = nullptr;
  sqlite3_open((gApp + "/demo.db").c_str(), &db);
  sqlite3_exec(db, sentencia.c_str(), nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

// "ocmail --enviar" on the same 500 orders: start-up (connected already), the pending-order
// query, the same Despacho. Before each run those 500 are the only orders pending mailing.
void BM_EnvioDesatendido500(benchmark::State& state) {
  std::string claves;
  for (const FilaDespacho& f : gFilas)
    claves += (claves.empty() ? "'" : ",'") + f.cuenta + "|" + f.idComprobante + "'";
  Sql("UPDATE vt_proveedores SET Mail = 'compras.' || Codigo || '@example.com'");
  OpcionesEnvioDesatendido o;
  o.linea = "@Server=sqlite;@DbName=demo;@Usuario=admin;@Password=x;@UsuarioLogeado=ADMIN;";
  o.hayAsunto = o.hayMensaje = true;
  o.asunto = "Orden de compra";
  o.mensaje = "Adjunto la orden.";
  int codigo = -1;
  size_t lineas = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Sql("UPDATE c_mv_cpte SET FechaEnvioMail = '2024-01-01 00:00:00'");
    Sql("UPDATE c_mv_cpte SET FechaEnvioMail = NULL WHERE Cuenta || '|' || IdComprobante IN (" + claves +
        ")");
    state.ResumeTiming();
    std::ostringstream salida, errores;
    codigo = EnviarDesatendido(o, salida, errores);
    lineas = 0;
    for (const char c : salida.str()) lineas += c == '\n';
  }
  // One line per order and the summary.
  if (codigo != kTodasEntregadas || lineas != kOrdenes + 1)
    state.SkipWithError("no se enviaron las 500 órdenes");
}

BENCHMARK(BM_IniciarCorreo500)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Despacho500)->Iterations(2)->Unit(benchmark::kMillisecond);
// Last: it closes the system at the end of each run, as the program does.
BENCHMARK(BM_EnvioDesatendido500)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication qt(argc, argv);
  Preparar();
  benchmark::Initialize(&argc, argv);
  Informe informe;
  benchmark::RunSpecifiedBenchmarks(&informe);
  const double base = informe.tiempos["BM_IniciarCorreo500"];
  const double despacho = informe.tiempos["BM_Despacho500"];
  if (base > 0 && despacho > 0)
    std::printf("despacho de %d órdenes / %d inicios del programa de correo = %.2f (meta <= 1.50)\n",
                kOrdenes, kOrdenes, despacho / base);
  if (const double desatendido = informe.tiempos["BM_EnvioDesatendido500"]; desatendido > 0 && despacho > 0)
    std::printf("ocmail --enviar de %d órdenes / despacho de la ventana = %.2f (meta <= 1.50)\n", kOrdenes,
                desatendido / despacho);
  CerrarSistemaSinSalir();
  LiberarInstanciasDB();
  LiberarReporte();
  ui::InstalarOperador(nullptr);
  std::error_code ec;
  fs::remove_all(gApp, ec);
  return 0;
}
