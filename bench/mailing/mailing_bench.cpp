// Filling the main window's list with 100,000 pending orders (CargarProveedores, switch
// off so every order of a supplier with an address is listed) against reading the same
// statement's rows through Recordset, in the same run; prints the ratio and the peak
// memory of the process with the list loaded.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>

#include "data/db_dll.h"
#include "startup/acceso.h"
#include "mailing/consulta_pendientes.h"
#include "mailing/frm_ocmailing.h"
#include "ocmail-sql/base_datos.h"
#include "platform/ado/ado.h"
#include "platform/os/rutas.h"
#include "platform/ui/operador_guionado.h"

#include "support/informe.h"

namespace {

constexpr long kPedidos = 100000;

std::string& Carpeta() {
  static std::string c;
  return c;
}

frmOCMailing*& Ventana() {
  static frmOCMailing* v = nullptr;
  return v;
}

void BM_LecturaRecordset(benchmark::State& state) {
  const std::string sentencia = ConsultaPendientes({}, false);
  for (auto _ : state) {
    ado::Recordset rs;
    gDB().AbrirRecordset(sentencia, rs, nullptr, ado::adOpenForwardOnly, ado::adLockReadOnly, -1, true);
    long long suma = 0;
    long filas = 0;
    const long campos = rs.FieldCount();
    while (!rs.Eof()) {
      for (long c = 0; c < campos; ++c) suma += static_cast<int>(rs.Fields(c).Value().Tipo());
      rs.MoveNext();
      ++filas;
    }
    gDB().CierraRecordset(rs);
    benchmark::DoNotOptimize(suma);
    state.counters["filas"] = static_cast<double>(filas);
  }
}

void BM_CargarProveedores(benchmark::State& state) {
  frmOCMailing& v = *Ventana();
  for (auto _ : state) {
    v.CargarProveedores();
    state.counters["filas"] = v.CantidadFilas();
  }
}

BENCHMARK(BM_LecturaRecordset)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_CargarProveedores)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Peak resident memory of this process, in megabytes (VmHWM).
double PicoMemoriaMb() {
  std::ifstream status("/proc/self/status");
  std::string linea;
  while (std::getline(status, linea))
    if (linea.rfind("VmHWM:", 0) == 0) return std::atof(linea.c_str() + 6) / 1024.0;
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  ui::OperadorGuionado::Instalado operador;

  char plantilla[] = "/tmp/mailing_bench_XXXXXX";
  Carpeta() = mkdtemp(plantilla);
  std::printf("Creando la base de demostración con %ld órdenes...\n", kPedidos);
  std::fflush(stdout);
  const std::string base = ocmailsql::CrearBaseDatos(Carpeta() + "/demo.db", kPedidos);
  os::FijarCarpetaAplicacion(Carpeta());

  auto ventana = std::make_unique<frmOCMailing>();
  Ventana() = ventana.get();
  ventana->LineaComando = "@Server=sqlite;@DbName=" + base + ";@Usuario=admin;@Password=x;";
  ventana->Form_Load();
  ventana->chkConEnvioPendiente->setChecked(false);  // reloads: every listed order
  ventana->show();

  benchmark::Initialize(&argc, argv);
  Informe informe;
  benchmark::RunSpecifiedBenchmarks(&informe);
  const double lectura = informe.tiempos["BM_LecturaRecordset"];
  const double carga = informe.tiempos["BM_CargarProveedores"];
  if (lectura > 0 && carga > 0)
    std::printf("CargarProveedores / lectura por Recordset = %.2f (meta <= 3.00), %d filas\n",
                carga / lectura, ventana->CantidadFilas());
  std::printf("Pico de memoria del proceso: %.0f MB (meta < 300 MB)\n", PicoMemoriaMb());
  if (operador->Cuantos("MsgBox") > 0) std::printf("Avisos al operador: %d\n", operador->Cuantos("MsgBox"));

  ventana.reset();
  CerrarSistemaSinSalir();
  LiberarInstanciasDB();
  std::filesystem::remove_all(Carpeta());
  return 0;
}
