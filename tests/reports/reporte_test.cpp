// The report engine on the demo database: the order exported to HTML as the dispatch run
// asks for it, the preview through the operator, and broken definitions.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "apoyo.h"
#include "reports/definicion.h"
#include "reports/reporte.h"
#include "reports/qt/vista_previa.h"
#include "ocmail-sql/base_datos.h"
#include "platform/basic/formato.h"

namespace fs = std::filesystem;
namespace demo = ocmailsql::demo;

namespace {

size_t Veces(const std::string& texto, const std::string& buscado) {
  size_t n = 0;
  for (size_t p = texto.find(buscado); p != std::string::npos; p = texto.find(buscado, p + 1)) ++n;
  return n;
}

class ReporteDemo : public ::testing::Test, public BaseDemo {
 protected:
  ReporteDemo() {
    r.CarpetaSistema(CarpetaReportes());
    r.Conexion(&Cn());
    reporte::InstalarVistaPreviaQt();
  }
  ~ReporteDemo() override { reporte::InstalarFabricaVistaReporte(nullptr); }

  // The calls of the dispatch run for one order.
  void ExportarOrden(const std::string& archivoRpt, const std::string& cuenta, const std::string& numero,
                     const std::string& salida) {
    r.Propiedad("PrintFileName", basic::Variant(salida));
    r.Propiedad("PrintFileType", basic::Variant(int16_t{22}));
    r.Destino(r.DestinoArchivo());
    r.Imprimir(archivoRpt, {""},
               " {c_mv_cpte.cuenta}= '" + cuenta + "' AND {c_mv_cpte.idcomprobante}= '" + numero +
                   "' AND {c_mv_cpte.tc}= 'OC'",
               "DSN=demo; UID=admin; PWD=", "NombreEmpresa = 'Ferretería Industrial del Plata S.A.'",
               "Direccion = 'Av. Belgrano 1450  3 B'", "Localidad= 'Buenos Aires'",
               "CodigoPostal= 'C1092AAO'", "Telefono= 'Telefono:4555-1234'", "RP_CPTESER", "", "RP_CpteObs");
    r.Ejecutar(20);
  }

  Reporte r;
};

TEST_F(ReporteDemo, OrderExportIsOneCompleteHtmlFileWithHeadingLinesTotalsAndObservations) {
  const long i = 3;  // supplier with an apostrophe and accents, four lines, one observation
  const std::string cuenta = demo::ProveedorPedido(i), numero = demo::NumeroPedido(i);
  ASSERT_EQ(cuenta, demo::kProveedorApostrofo);
  const std::string salida = dir / (cuenta + "-" + numero + ".html");

  ExportarOrden(CarpetaReportes() + "/OC-X.rpt", cuenta, numero, salida);

  const std::string html = ReadBytes(salida);
  ASSERT_FALSE(html.empty());
  EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_NE(html.find("</html>"), std::string::npos);
  EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
  EXPECT_NE(html.find("<style>"), std::string::npos);
  for (const char* externo : {"<link", "src=", "url(", "@import"})
    EXPECT_EQ(html.find(externo), std::string::npos) << externo;
  // Nothing but the order file in the folder: no temporary left behind.
  size_t archivos = 0;
  for (const auto& e : fs::directory_iterator(dir.path()))
    archivos += e.path().extension() == ".html" || e.path().string().find(".tmp") != std::string::npos;
  EXPECT_EQ(archivos, 1u);

  // Heading formulas.
  for (const char* f : {"Ferretería Industrial del Plata S.A.", "Av. Belgrano 1450  3 B", "Buenos Aires",
                        "C1092AAO", "Telefono:4555-1234"})
    EXPECT_NE(html.find(f), std::string::npos) << f;
  // Supplier and order; the apostrophe escaped, accents as they are.
  EXPECT_NE(html.find("Distribuidora O&#39;Higgins Añasco"), std::string::npos);
  EXPECT_EQ(html.find("O'Higgins"), std::string::npos);
  EXPECT_NE(html.find(numero), std::string::npos);

  // Every line, its total and the order's totals.
  const std::string donde = " WHERE Cuenta='" + cuenta + "' AND TC='OC' AND IdComprobante='" + numero + "'";
  EXPECT_EQ(Valor("SELECT COUNT(*) FROM c_mv_cpteser" + donde), "4");
  // The demo's lines of order 3, quotes escaped as the template writes them.
  for (const char* linea : {"<td>Válvula esférica 1/2&quot;</td>", "<td>Arandela plana 1/4&quot;</td>",
                            "<td>Rodillo de lana 22 cm</td>", "<td>Tornillo hexagonal 1/4 x 2&quot;</td>"})
    EXPECT_NE(html.find(linea), std::string::npos) << linea;
  ado::Recordset rs;
  rs.Open("SELECT SUM(Importe), (SELECT Total FROM c_mv_cpte" + donde + ") FROM c_mv_cpteser" + donde, Cn());
  const std::string suma = basic::FormatRegional(rs.Fields(0L).Value(), "#,##0.00");
  const std::string total = basic::FormatRegional(rs.Fields(1L).Value(), "#,##0.00");
  rs.Close();
  EXPECT_NE(html.find("<td>Suma de renglones</td><td class=\"num\">" + suma + "</td>"), std::string::npos)
      << suma;
  EXPECT_NE(html.find("ARS " + total + "</td>"), std::string::npos) << total;
  // Observations.
  EXPECT_NE(html.find("Observaciones"), std::string::npos);
  EXPECT_NE(html.find("Entregar en Depósito Central, de lunes a viernes de 8 a 16 hs."), std::string::npos);
  // Only this order.
  EXPECT_EQ(Veces(html, "class=\"orden\""), 1u);
}

TEST_F(ReporteDemo, OrderWithoutObservationsLeavesTheBlockOutAndTheSelectionValueIsBound) {
  const long i = 1;  // no observation
  const std::string salida = dir / "orden.html";
  ExportarOrden(CarpetaReportes() + "/OC.rpt", demo::ProveedorPedido(i), demo::NumeroPedido(i), salida);
  std::string html = ReadBytes(salida);
  EXPECT_EQ(Veces(html, "class=\"orden\""), 1u);
  EXPECT_EQ(html.find("Observaciones"), std::string::npos);

  // A value that tries to widen the selection selects nothing.
  ExportarOrden(CarpetaReportes() + "/OC.rpt", "x'' OR ''1''=''1", demo::NumeroPedido(i), salida);
  html = ReadBytes(salida);
  EXPECT_EQ(Veces(html, "class=\"orden\""), 0u);
  EXPECT_NE(html.find("No hay órdenes de compra para la selección."), std::string::npos);
}

// The engine reads from the connection it is handed, never from the program's own.
TEST_F(ReporteDemo, WithoutItsConnectionTheEngineReadsNothing) {
  Reporte otro;
  otro.CarpetaSistema(CarpetaReportes());
  otro.Destino(otro.DestinoVentana());
  otro.Imprimir("OCMAIL", {""}, "", "DSN=demo; UID=admin; PWD=");
  try {
    otro.Ejecutar(20);
    ADD_FAILURE() << "ran without a connection";
  } catch (const ErrorEjecucion& e) {
    EXPECT_EQ(e.Number, Reporte::errDatos);
  }
  EXPECT_EQ(op.Cuantos("Modal"), 0);
}

TEST_F(ReporteDemo, PreviewGoesThroughTheOperatorAndTheSuffixBindsToTheLastGroup) {
  // Orders 3 and 7 were both mailed before.
  ASSERT_TRUE(demo::PedidoEnviado(3) && demo::PedidoEnviado(7));
  auto grupo = [](long i) {
    return "{V_OC_pendientes.Cuenta} = '" + demo::ProveedorPedido(i) +
           "' AND {V_OC_pendientes.TC} ='OC' AND {V_OC_pendientes.IDCOMPROBANTE}='" + demo::NumeroPedido(i) +
           "'";
  };
  const std::string formula = grupo(3) + " OR " + grupo(7) + " and isnull({V_OC_pendientes.fechaenviomail})";

  std::string vista, pdf = dir / "vista.pdf";
  bool guardado = false;
  op.modales.push_back([&](ui::VentanaModal& v) {
    auto* ventana = dynamic_cast<reporte::VentanaVistaPrevia*>(&v);
    ASSERT_NE(ventana, nullptr);
    vista = ventana->Html();
    guardado = ventana->GuardarPdf(pdf);
  });
  r.Destino(r.DestinoVentana());
  r.Imprimir("OCMAIL", {""}, formula, "DSN=demo; UID=admin; PWD=", std::nullopt, std::nullopt, std::nullopt,
             std::nullopt, std::nullopt, "", "", "");
  r.Ejecutar(20);

  ASSERT_EQ(op.Cuantos("Modal"), 1);
  EXPECT_EQ(op.pedidos.back().texto, "frmVistaPrevia");
  EXPECT_EQ(vista, r.UltimoHtml());
  EXPECT_NE(vista.find(demo::NumeroPedido(3)), std::string::npos) << "the first group ignores the suffix";
  EXPECT_EQ(vista.find(demo::NumeroPedido(7)), std::string::npos) << "the last group takes the suffix";
  EXPECT_NE(vista.find("Órdenes de compra pendientes"), std::string::npos);
  EXPECT_TRUE(guardado);
  EXPECT_EQ(ReadBytes(pdf).rfind("%PDF", 0), 0u);
}

// "Guardar PDF" reports success only for the file it wrote: a folder of that name, or an
// older file left in place, does not pass for a saved PDF.
TEST(VistaPreviaPdf, SuccessOnlyForTheFileItWrote) {
  TempDir dir;
  const reporte::VentanaVistaPrevia ventana("Orden", "<p>Orden de compra</p>");
  const std::string carpeta = dir / "carpeta.pdf";
  fs::create_directories(carpeta);
  EXPECT_FALSE(ventana.GuardarPdf(carpeta));
  EXPECT_TRUE(fs::is_directory(carpeta));

  const std::string viejo = dir / "viejo.pdf";
  WriteBytes(viejo, "contenido anterior");
  EXPECT_TRUE(ventana.GuardarPdf(viejo));
  EXPECT_EQ(ReadBytes(viejo).rfind("%PDF", 0), 0u);
}

TEST_F(ReporteDemo, BrokenOrMissingDefinitionIsAClearErrorNamingTheFile) {
  struct Caso {
    const char* archivo;
    const char* texto;
    const char* motivo;
  };
  const Caso casos[] = {
      {"sin_plantilla.rpt", "[Reporte]\nSentencia = SELECT 1\n", "falta la [Plantilla]"},
      {"clave.rpt", "[Reporte]\nSentencia = SELECT 1\nColor = rojo\n[Plantilla]\nx\n",
       "clave desconocida Color"},
      {"sin_sentencia.rpt", "[Reporte]\nTitulo = x\n[Plantilla]\nx\n", "falta la Sentencia"},
      {"plantilla.rpt", "[Reporte]\nSentencia = SELECT 1\n[Plantilla]\n{{#filas}}x\n", "plantilla"},
      {"vinculo.rpt",
       "[Reporte]\nSentencia = SELECT 1\n[Subreporte RP_X]\nSentencia = SELECT 2\n[Plantilla]\nx\n",
       "falta el Vinculo del subreporte RP_X"},
      {"usar.rpt", "[Reporte]\nUsar = NOHAY.rpt\n", "No se encuentra el reporte"},
      {"suelto.rpt", "texto suelto\n[Reporte]\n", "línea 1"},
      {"seccion.rpt", "[Reporte]\nSentencia = SELECT 1\n[Encabezado]\n[Plantilla]\nx\n",
       "sección desconocida"},
      {"columna.rpt",
       "[Reporte]\nSentencia = SELECT 1\n[Columnas]\nFecha = 9%\nTotal = 120%, derecha\n[Plantilla]\nx\n",
       "(línea 5): valor no válido «120%» para la columna Total"},
      {"alineacion.rpt", "[Reporte]\nSentencia = SELECT 1\n[Columnas]\nFecha = arriba\n[Plantilla]\nx\n",
       "valor no válido «arriba»"},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.archivo);
    Crear(c.archivo, c.texto);
    try {
      r.Imprimir(dir / c.archivo, {""}, "", "");
      ADD_FAILURE() << "no error";
    } catch (const ErrorEjecucion& e) {
      EXPECT_EQ(e.Number, Reporte::errDefinicion);
      EXPECT_NE(e.Description.find(c.archivo), std::string::npos) << e.Description;
      EXPECT_NE(e.Description.find(c.motivo), std::string::npos) << e.Description;
    }
  }
  try {
    r.Imprimir("NOEXISTE", {""}, "", "");
    ADD_FAILURE() << "no error";
  } catch (const ErrorEjecucion& e) {
    EXPECT_EQ(e.Number, Reporte::errDefinicion);
    EXPECT_NE(e.Description.find("No se encuentra el reporte NOEXISTE"), std::string::npos) << e.Description;
  }
  // A sub-report the definition does not have; a formula that does not parse.
  EXPECT_THROW(r.Imprimir("OC", {""}, "", "", {}, {}, {}, {}, {}, "RP_NOHAY", "", ""), ErrorEjecucion);
  try {
    r.Imprimir("OC", {""}, "{c_mv_cpte.cuenta}= 'P001' AND", "");
    ADD_FAILURE() << "no error";
  } catch (const ErrorEjecucion& e) {
    EXPECT_EQ(e.Number, Reporte::errFormula);
    EXPECT_NE(e.Description.find("«{c_mv_cpte.cuenta}= 'P001' AND»"), std::string::npos) << e.Description;
  }
  // Nothing prepared after a failed Imprimir.
  EXPECT_THROW(r.Ejecutar(20), ErrorEjecucion);
}

TEST_F(ReporteDemo, FailingDataOrOutputLeavesNoFile) {
  const std::string salida = dir / "salida.html";
  r.Propiedad("PrintFileName", basic::Variant(salida));
  r.Destino(r.DestinoArchivo());

  Crear("datos.rpt", "[Reporte]\nSentencia = SELECT * FROM NO_EXISTE\n[Plantilla]\n{{#filas}}x{{/filas}}\n");
  r.Imprimir(dir / "datos.rpt", {""}, "", "");
  try {
    r.Ejecutar(20);
    ADD_FAILURE() << "no error";
  } catch (const ErrorEjecucion& e) {
    EXPECT_EQ(e.Number, Reporte::errDatos);
    EXPECT_NE(e.Description.find("datos.rpt"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(salida));

  const std::string sinCarpeta = dir / "no/existe/salida.html";
  r.Propiedad("PrintFileName", basic::Variant(sinCarpeta));
  r.Imprimir("OCMAIL", {""}, "", "");
  try {
    r.Ejecutar(20);
    ADD_FAILURE() << "no error";
  } catch (const ErrorEjecucion& e) {
    EXPECT_EQ(e.Number, Reporte::errSalida);
    EXPECT_NE(e.Description.find(sinCarpeta), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(dir / "no"));

  // Only type 22 is offered for files; an unknown action is refused.
  r.Propiedad("PrintFileName", basic::Variant(salida));
  r.Propiedad("PrintFileType", basic::Variant(int16_t{14}));
  EXPECT_THROW(r.Ejecutar(20), ErrorEjecucion);
  r.Propiedad("PrintFileType", basic::Variant(int16_t{22}));
  EXPECT_THROW(r.Ejecutar(1), ErrorEjecucion);
  EXPECT_FALSE(fs::exists(salida));
  r.Ejecutar(20);
  EXPECT_TRUE(fs::exists(salida));
}

// The text of a PDF as pdftotext lays it out (poppler-utils, installed by scripts/setup).
std::string TextoPdf(const std::string& pdf) {
  const std::string txt = pdf + ".txt";
  const std::string orden = "pdftotext -layout -enc UTF-8 '" + pdf + "' '" + txt + "'";
  EXPECT_EQ(std::system(orden.c_str()), 0) << orden;
  return ReadBytes(txt);
}

// The list of every pending order on A4: each order number, date and total is printed whole
// on one line, and the page is used across its width.
TEST_F(ReporteDemo, ThePdfOfThePendingOrdersFitsTheA4PageWithNumbersAndDatesWhole) {
  std::string html;
  const std::string pdf = dir / "pendientes.pdf";
  bool guardado = false;
  op.modales.push_back([&](ui::VentanaModal& v) {
    auto* ventana = dynamic_cast<reporte::VentanaVistaPrevia*>(&v);
    ASSERT_NE(ventana, nullptr);
    html = ventana->Html();
    guardado = ventana->GuardarPdf(pdf);
  });
  r.Destino(r.DestinoVentana());
  r.Imprimir("OCMAIL", {""}, "", "DSN=demo; UID=admin; PWD=", std::nullopt, std::nullopt, std::nullopt,
             std::nullopt, std::nullopt, "", "", "");
  r.Ejecutar(20);
  ASSERT_TRUE(guardado);
  if (const char* copia = std::getenv("OCMAIL_COPIA_PDF")) {
    fs::copy_file(pdf, copia, fs::copy_options::overwrite_existing);
    WriteBytes(std::string(copia) + ".html", html);
  }
  const std::string texto = TextoPdf(pdf);

  std::vector<std::string> enteros;
  for (long i = 1; i <= demo::kPedidosPorDefecto; ++i)
    if (html.find(demo::NumeroPedido(i)) != std::string::npos) enteros.push_back(demo::NumeroPedido(i));
  ASSERT_GT(enteros.size(), 40u);
  // Dates and totals as the HTML shows them: every dd/mm/yyyy and every amount of the cells.
  for (size_t p = html.find("<td"); p != std::string::npos; p = html.find("<td", p + 1)) {
    const size_t a = html.find('>', p) + 1, b = html.find("</td>", a);
    const std::string celda = html.substr(a, b - a);
    const bool fecha = celda.size() == 10 && celda[2] == '/' && celda[5] == '/';
    const bool importe = !celda.empty() && celda.find(',') != std::string::npos &&
                         celda.find_first_not_of("0123456789.,-") == std::string::npos;
    if (fecha || importe) enteros.push_back(celda);
  }
  ASSERT_GT(enteros.size(), 40u * 3);
  for (const auto& e : enteros)
    EXPECT_NE(texto.find(e), std::string::npos) << "partido: " << e << "\n" << texto;
  // Across the page: a line of the table is wider than two thirds of an A4 line of text.
  size_t ancho = 0;
  std::istringstream lineas(texto);
  for (std::string l; std::getline(lineas, l);) ancho = std::max(ancho, l.size());
  EXPECT_GT(ancho, 100u) << texto;
}

// One order on A4, as the dispatch attaches it: its number, the supplier with its accents
// and every line's amount come back whole from the PDF's text.
TEST_F(ReporteDemo, TheOrderAsPdfKeepsItsNumberSupplierAndAmountsWhole) {
  const long i = 3;
  const std::string cuenta = demo::ProveedorPedido(i), numero = demo::NumeroPedido(i);
  const std::string salida = dir / "orden.html", pdf = dir / "orden.pdf";
  ExportarOrden(CarpetaReportes() + "/OC.rpt", cuenta, numero, salida);
  const std::string html = ReadBytes(salida);
  ASSERT_TRUE(reporte::VentanaVistaPrevia("Orden", html).GuardarPdf(pdf));
  if (const char* copia = std::getenv("OCMAIL_COPIA_ORDEN"))
    fs::copy_file(pdf, copia, fs::copy_options::overwrite_existing);
  const std::string texto = TextoPdf(pdf);
  EXPECT_NE(texto.find(numero), std::string::npos) << texto;
  EXPECT_NE(texto.find("Ferretería Industrial del Plata S.A."), std::string::npos) << texto;
  size_t importes = 0;
  for (size_t p = html.find("<td"); p != std::string::npos; p = html.find("<td", p + 1)) {
    const size_t a = html.find('>', p) + 1, b = html.find("</td>", a);
    const std::string celda = html.substr(a, b - a);
    if (celda.size() > 4 && celda.find(',') != std::string::npos &&
        celda.find_first_not_of("0123456789.,") == std::string::npos) {
      ++importes;
      EXPECT_NE(texto.find(celda), std::string::npos) << "partido: " << celda << "\n" << texto;
    }
  }
  EXPECT_GT(importes, 3u);
}

// [Columnas] becomes the cells' attributes; a column with a display pattern never breaks.
TEST(DefinicionColumnas, AttributesOfEachColumn) {
  const reporte::Definicion d = reporte::LeerDefinicion(
      "[Reporte]\nSentencia = SELECT 1\n[Subreporte RP_X]\nSentencia = SELECT 2\nVinculo = A\n"
      "[Formatos]\nFecha = dd/mm/yyyy\n[Columnas]\nProveedor = 30%\nTotal = DERECHA, 12%, sin corte\n"
      "RP_X.Total = centro\nNumero = sin corte\n[Plantilla]\nx\n",
      "columnas.rpt");
  const struct {
    const char* sub;
    const char* columna;
    const char* atributos;
  } casos[] = {
      {"", "Proveedor", " width=\"30%\""},
      {"", "total", " width=\"12%\" align=\"right\" nowrap"},
      {"RP_X", "Total", " align=\"center\""},
      {"", "Numero", " nowrap"},
      {"", "Fecha", " nowrap"},
      {"", "Otra", ""},
  };
  for (const auto& c : casos) EXPECT_EQ(d.AtributosColumna(c.sub, c.columna), c.atributos) << c.columna;
}

}  // namespace
