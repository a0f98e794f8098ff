// Rendering one purchase order of 50 lines to an HTML file (Imprimir + Ejecutar(20), the
// dispatch run's calls), against the raw reading of the same rows (header, lines and
// observations through Recordset) in the same run; prints the time and the ratio.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include <QGuiApplication>

#include "reports/escritor_pdf.h"
#include "reports/qt/vista_previa.h"
#include "reports/reporte.h"
#include "ocmail-sql/base_datos.h"
#include "platform/ado/ado.h"

#include "support/informe.h"

namespace {

namespace fs = std::filesystem;

const std::string kCuenta = "P001";
const std::string kNumero = "000900000001X";
const std::string kDonde = " WHERE Cuenta='" + kCuenta + "' AND TC='OC' AND IdComprobante='" + kNumero + "'";

std::string Carpeta() {
  return (fs::temp_directory_path() / ("ocmail-bench-reports-" + std::to_string(::getpid()))).string();
}

ado::Connection& Cn() {
  static ado::Connection cn;
  return cn;
}

void CrearBase() {
  fs::create_directories(Carpeta());
  std::string archivo = ocmailsql::CrearBaseDatos(Carpeta() + "/bench.db", 20);
  Cn().Open("PROVIDER=SQLOLEDB;Server=sqlite;Database =" + archivo + ";");
  Cn().Execute(
      "INSERT INTO c_mv_cpte (Cuenta, TC, IdComprobante, Fecha, FechaEntrega, Usuario, UNegocio,"
      " CondicionPago, Subtotal, Iva, Total) VALUES ('" +
      kCuenta + "', 'OC', '" + kNumero +
      "', '2024-03-01 00:00:00', '2024-03-15 00:00:00', 'JUAN', '   1', 'Contado', 50000, 10500, 60500)");
  for (int r = 1; r <= 50; ++r) {
    Cn().Execute(
        "INSERT INTO c_mv_cpteser (Cuenta, TC, IdComprobante, Renglon, IdArticulo, Descripcion, Unidad,"
        " Cantidad, PrecioUnitario, Bonificacion, Importe) VALUES ('" +
        kCuenta + "', 'OC', '" + kNumero + "', " + std::to_string(r) + ", 'ART" + std::to_string(1000 + r) +
        "', 'Artículo de prueba \"" + std::to_string(r) + "\" con descripción larga', 'UN', " +
        std::to_string(r) + ", 1234.5, 0, " + std::to_string(r * 1234.5) + ")");
  }
  for (int r = 1; r <= 2; ++r) {
    Cn().Execute("INSERT INTO c_mv_cpteobs (Cuenta, TC, IdComprobante, Renglon, Observacion) VALUES ('" +
                 kCuenta + "', 'OC', '" + kNumero + "', " + std::to_string(r) +
                 ", 'Entregar en Depósito Central.')");
  }
}

void BM_LecturaCruda(benchmark::State& state) {
  for (auto _ : state) {
    size_t bytes = 0;
    for (const std::string& sql : {"SELECT c.*, p.* FROM c_mv_cpte c LEFT JOIN vt_proveedores p ON p.Codigo "
                                   "= c.Cuenta WHERE c.Cuenta='" +
                                       kCuenta + "' AND c.TC='OC' AND c.IdComprobante='" + kNumero + "'",
                                   "SELECT * FROM c_mv_cpteser" + kDonde + " ORDER BY Renglon",
                                   "SELECT * FROM c_mv_cpteobs" + kDonde + " ORDER BY Renglon"}) {
      ado::Recordset rs;
      rs.Open(sql, Cn());
      while (!rs.Eof()) {
        for (long i = 0; i < rs.FieldCount(); ++i) bytes += rs.Fields(i).Value().Texto().size();
        rs.MoveNext();
      }
      rs.Close();
    }
    benchmark::DoNotOptimize(bytes);
  }
}

void Renderizar(Reporte& r, const std::string& archivo) {
  r.Propiedad("PrintFileName", basic::Variant(archivo));
  r.Propiedad("PrintFileType", basic::Variant(int16_t{22}));
  r.Destino(r.DestinoArchivo());
  r.Imprimir("OC-X", {""},
             " {c_mv_cpte.cuenta}= '" + kCuenta + "' AND {c_mv_cpte.idcomprobante}= '" + kNumero +
                 "' AND {c_mv_cpte.tc}= 'OC'",
             "DSN=bench; UID=; PWD=", "NombreEmpresa = 'Ferretería Industrial del Plata S.A.'",
             "Direccion = 'Av. Belgrano 1450  3 B'", "Localidad= 'Buenos Aires'", "CodigoPostal= 'C1092AAO'",
             "Telefono= 'Telefono:4555-1234'", "RP_CPTESER", "", "RP_CpteObs");
  r.Ejecutar(20);
}

// The same order to HTML and then to PDF beside it, as the dispatch does with Adjunto=PDF.
void BM_PdfOrden50(benchmark::State& state) {
  Reporte r;
  r.CarpetaSistema(OCMAIL_SHARE "/reports");
  r.Conexion(&Cn());
  long n = 0;
  for (auto _ : state) {
    const std::string base = Carpeta() + "/pdf" + std::to_string(++n);
    Renderizar(r, base + ".html");
    reporte::EscribirPdf("Orden de compra " + kNumero, r.UltimoHtml(), base + ".pdf");
  }
}

void BM_RenderOrden50(benchmark::State& state) {
  Reporte r;
  r.CarpetaSistema(OCMAIL_SHARE "/reports");
  r.Conexion(&Cn());
  long n = 0;
  for (auto _ : state) {
    // A new file per order, as in a dispatch run.
    Renderizar(r, Carpeta() + "/orden" + std::to_string(++n) + ".html");
  }
  state.counters["bytes"] = static_cast<double>(r.UltimoHtml().size());
}

BENCHMARK(BM_LecturaCruda)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderOrden50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PdfOrden50)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);  // Qt printing needs it
  reporte::InstalarEscritorPdfQt();
  CrearBase();
  benchmark::Initialize(&argc, argv);
  Informe informe;
  benchmark::RunSpecifiedBenchmarks(&informe);
  double base = informe.tiempos["BM_LecturaCruda"], render = informe.tiempos["BM_RenderOrden50"];
  if (base > 0 && render > 0) {
    std::printf("orden de 50 renglones a HTML: %.3f ms (goal < 5 ms)\n", render);
    std::printf("render / lectura cruda de las mismas filas = %.2f\n", render / base);
  }
  if (const double pdf = informe.tiempos["BM_PdfOrden50"]; pdf > 0 && render > 0)
    std::printf("orden de 50 renglones a PDF: %.3f ms; PDF / HTML = %.2f (goal <= 10)\n", pdf, pdf / render);
  Cn().Close();
  fs::remove_all(Carpeta());
  return 0;
}
