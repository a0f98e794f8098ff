// Loading the main window's list of 10,000 pending orders with a year of delivery journal
// written by 20 PCs, against the same load with no journal, in the same run; prints the
// ratio and how much more memory the process peaked at with the journal.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "data/db_dll.h"
#include "mailing/frm_ocmailing.h"
#include "ocmail-sql/base_datos.h"
#include "platform/basic/diario_entregas.h"
#include "platform/os/rutas.h"
#include "platform/ui/operador_guionado.h"
#include "startup/acceso.h"

#include "support/informe.h"

namespace fs = std::filesystem;

namespace {

constexpr long kPedidos = 10000;
constexpr int kEquipos = 20;
constexpr int kMeses = 12;
constexpr int kLineasPorMes = 2130;  // 511,000 lines a year in all: a busy office

std::string& Carpeta() {
  static std::string c;
  return c;
}

frmOCMailing*& Ventana() {
  static frmOCMailing* v = nullptr;
  return v;
}

std::string Diarios() { return Carpeta() + "/CORREO/ENTREGAS"; }
std::string Apartados() { return Carpeta() + "/CORREO/ENTREGAS.aparte"; }

// Peak and current resident memory of this process, in megabytes.
double MemoriaMb(const char* campo) {
  std::ifstream status("/proc/self/status");
  std::string linea;
  while (std::getline(status, linea))
    if (linea.rfind(campo, 0) == 0) return std::atof(linea.c_str() + std::string(campo).size()) / 1024.0;
  return -1;
}

double& PicoSinDiario() {
  static double mb = 0;
  return mb;
}

// One journal line of PC `e`'s mail number `correo` (two lines per mail: waiting, then
// sent), one mail in ten for a listed order.
std::string LineaBanco(int e, long correo, int i, const std::string& mes) {
  const std::string equipo = "PC" + std::to_string(e);
  const long pedido = (correo * kEquipos + e) % (10 * kPedidos);
  const std::string adjunto = pedido < kPedidos ? ocmailsql::demo::ProveedorPedido(pedido) + "-" +
                                                      ocmailsql::demo::NumeroPedido(pedido) + ".html"
                                                : equipo + "-" + std::to_string(correo) + ".html";
  char fecha[32];
  std::snprintf(fecha, sizeof fecha, "%s-%02d %02d:%02d:%02d", mes.c_str(), 1 + i * 27 / kLineasPorMes,
                8 + i % 10, i % 60, i % 2);
  const bool enviado = i % 2 == 1;
  return basic::LineaDiario({fecha, adjunto, "compras@proveedor.example.com",
                             enviado ? basic::kEntregaEnviado : basic::kEntregaPendiente,
                             enviado ? "250 2.0.0 Ok: queued as 4BD2A1C3" : "421 4.3.2 Service not available",
                             "<1757696733.4242." + std::to_string(correo) + "@empresa.example.com>",
                             "20260912-140533-4242-" + std::to_string(correo)});
}

// Each PC: kMeses months of lines up to this one, then one line as tspost writes it (the
// summary brought up to it), then the worst case for a reader: lines appended until just
// short of the bound that makes the writer sum them up.
long long CrearDiario() {
  const std::time_t ahora = std::time(nullptr);
  std::tm t{};
  localtime_r(&ahora, &t);
  long long bytes = 0;
  std::string mesActual;
  std::vector<long> correos(kEquipos);
  for (int e = 0; e < kEquipos; ++e) {
    const fs::path carpeta = fs::path(Diarios()) / ("PC" + std::to_string(e));
    fs::create_directories(carpeta);
    long& correo = correos[e];
    for (int m = kMeses - 1; m >= 0; --m) {
      const int n = (t.tm_year + 1900) * 12 + t.tm_mon - m;
      char mes[16];
      std::snprintf(mes, sizeof mes, "%04d-%02d", n / 12, n % 12 + 1);
      mesActual = mes;
      std::string texto;
      for (int i = 0; i < kLineasPorMes; ++i, correo += i % 2 == 0) texto += LineaBanco(e, correo, i, mes);
      std::ofstream(carpeta / (std::string(mes) + ".TXT"), std::ios::binary) << texto;
      bytes += static_cast<long long>(texto.size());
    }
  }
  for (int e = 0; e < kEquipos; ++e) {
    const std::string equipo = "PC" + std::to_string(e);
    basic::AgregarAlDiarioDelEquipo(
        Carpeta() + "/CORREO/ENTREGAS.TXT",
        {basic::FechaDiario(ahora), equipo + "-fin.html", "compras@proveedor.example.com",
         basic::kEntregaEnviado, "250 2.0.0 Ok", "<fin@empresa.example.com>", "fin"},
        equipo);
    std::string cola;
    for (int i = 0;; ++i, correos[e] += i % 2 == 0) {
      const std::string linea = LineaBanco(e, correos[e], i, mesActual);
      if (static_cast<long long>(cola.size() + linea.size()) >= basic::kDiarioSinResumir - 400) break;
      cola += linea;
    }
    std::ofstream(fs::path(Diarios()) / equipo / (mesActual + ".TXT"), std::ios::binary | std::ios::app)
        << cola;
    bytes += static_cast<long long>(cola.size());
  }
  return bytes;
}

void BM_CargaSinDiario(benchmark::State& state) {
  fs::rename(Diarios(), Apartados());
  for (auto _ : state) {
    Ventana()->CargarProveedores();
    state.counters["filas"] = Ventana()->CantidadFilas();
  }
  fs::rename(Apartados(), Diarios());
  PicoSinDiario() = MemoriaMb("VmHWM:");
}

void BM_CargaConDiario(benchmark::State& state) {
  for (auto _ : state) {
    Ventana()->CargarProveedores();
    state.counters["filas"] = Ventana()->CantidadFilas();
  }
}

BENCHMARK(BM_CargaSinDiario)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_CargaConDiario)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  ui::OperadorGuionado::Instalado operador;

  char plantilla[] = "/tmp/entregas_bench_XXXXXX";
  Carpeta() = mkdtemp(plantilla);
  std::printf("Creando la base de demostración con %ld órdenes y el diario de %d equipos...\n", kPedidos,
              kEquipos);
  std::fflush(stdout);
  const std::string base = ocmailsql::CrearBaseDatos(Carpeta() + "/demo.db", kPedidos);
  os::FijarCarpetaAplicacion(Carpeta());
  const long long bytes = CrearDiario();
  long long leidos = 0;
  for (const auto& t : basic::TramosDelDiario(Carpeta() + "/CORREO/ENTREGAS.TXT"))
    leidos += static_cast<long long>(fs::file_size(t.ruta)) - t.desde;
  std::printf("Diario: %.0f MB en %d equipos y %d meses; una carga lee %.2f MB\n", bytes / 1e6, kEquipos,
              kMeses, leidos / 1e6);

  auto ventana = std::make_unique<frmOCMailing>();
  Ventana() = ventana.get();
  ventana->LineaComando = "@Server=sqlite;@DbName=" + base + ";@Usuario=admin;@Password=x;";
  ventana->Form_Load();
  ventana->chkConEnvioPendiente->setChecked(false);  // reloads: every listed order
  ventana->show();

  benchmark::Initialize(&argc, argv);
  Informe informe;
  benchmark::RunSpecifiedBenchmarks(&informe);
  const double sin = informe.tiempos["BM_CargaSinDiario"];
  const double con = informe.tiempos["BM_CargaConDiario"];
  if (sin > 0 && con > 0)
    std::printf("Carga con diario / sin diario = %.2f (meta <= 1.20), %d filas\n", con / sin,
                ventana->CantidadFilas());
  if (PicoSinDiario() > 0)
    std::printf("Memoria de más con el diario: %.0f MB (pico %.0f MB contra %.0f MB; meta < 50 MB)\n",
                MemoriaMb("VmHWM:") - PicoSinDiario(), MemoriaMb("VmHWM:"), PicoSinDiario());
  if (operador->Cuantos("MsgBox") > 0) std::printf("Avisos al operador: %d\n", operador->Cuantos("MsgBox"));

  ventana.reset();
  CerrarSistemaSinSalir();
  LiberarInstanciasDB();
  fs::remove_all(Carpeta());
  return 0;
}
