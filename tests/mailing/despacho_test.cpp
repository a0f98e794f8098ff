// The dispatch run ("&Enviar") and the preview ("&Ver") on the demo database, with a real
// report engine, a stand-in mail program and the scripted operator.
#include <gtest/gtest.h>

#include "reports/escritor_pdf.h"
#include "reports/formula.h"
#include "mailing/despacho.h"
#include "mailing/vista_previa.h"
#include "mailing/despacho_soporte.h"
#include "mailing/puesto_trabajo.h"
#include "platform/basic/archivos.h"
#include "platform/basic/texto.h"

#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <thread>

namespace {

using namespace despacho_prueba;

OpcionesDespacho Espera(int ms) {
  OpcionesDespacho o;
  o.esperaEntrega = std::chrono::milliseconds(ms);
  return o;
}

// ---------------------------------------------------------------- hand-over, end to end

// Two checked rows around an unchecked one, in an application folder with and without a
// blank in its name: two HTML files in one run folder, two mail programs that each read
// their own order although they wait before reading, two stamps, one reload.
class Entrega : public Aplicacion, public ::testing::WithParamInterface<const char*> {};

TEST_P(Entrega, CadaProgramaDeCorreoLeeSuOrden) {
  Preparar(GetParam());
  const std::string copias = raiz / "copias";
  EscribirCorreoGuion(app, copias, 0.3);

  int recargas = 0;
  const auto r = Despacho().Ejecutar({Fila(0), Fila(1, false), Fila(2)}, "Orden de compra",
                                     "Adjunto OC\r\nSaludos", [&] { ++recargas; });

  EXPECT_EQ(Avisos(), 0) << op->pedidos[0].texto;
  EXPECT_EQ(Resumenes(), 1);
  EXPECT_EQ(r.carpeta, CarpetaEnvio());
  ASSERT_EQ(r.ordenes.size(), 2u);
  EXPECT_EQ(r.Cuantas(EstadoOrden::Enviada), 2);
  EXPECT_EQ(recargas, 1);

  for (long i : {0L, 2L}) {
    const std::string html = ReadBytes(Html(i));
    EXPECT_NE(html.find("<html"), std::string::npos) << Html(i);
    EXPECT_NE(html.find(demo::NumeroPedido(i).substr(4, 8)), std::string::npos);
  }
  size_t enCarpeta = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(CarpetaEnvio())) ++enCarpeta;
  EXPECT_EQ(enCarpeta, 2u);

  // The jobs in the order handed over, each exactly its own.
  for (int k = 0; k < 2; ++k) {
    const long i = k == 0 ? 0 : 2;
    EXPECT_EQ(ReadBytes(copias + "/" + std::to_string(k) + ".txt"),
              "DESTINATARIO=" + Mail(i) +
                  "\r\nASUNTO=Orden de compra\r\nMENSAJE=Adjunto OC\r\nMENSAJE=\nSaludos\r\n" +
                  "ARCHIVO=" + Html(i) + "\r\n");
  }
  EXPECT_FALSE(fs::exists(copias + "/2.txt"));
  EXPECT_FALSE(fs::exists(Trabajo()));

  EXPECT_TRUE(Marcada(0));
  EXPECT_EQ(FechaEnvio(1), "NULL");
  EXPECT_TRUE(Marcada(2));
}

INSTANTIATE_TEST_SUITE_P(Carpetas, Entrega, ::testing::Values("app", "Mi App"));

class Despachos : public Aplicacion {
 public:
  CorreoFalso correo;
  void SetUp() override {
    Preparar();
    correo.trabajo = Trabajo();
    os::InstalarProcesos(&correo);
  }
};

TEST_F(Despachos, SinFilasMarcadasCreaLaCarpetaYAvisa) {
  int recargas = 0;
  const auto r = Despacho().Ejecutar({Fila(0, false), Fila(1, false)}, "", "", [&] { ++recargas; });
  EXPECT_TRUE(fs::is_directory(CarpetaEnvio()));
  EXPECT_FALSE(r.filaAtendida);
  EXPECT_EQ(recargas, 0);
  EXPECT_TRUE(correo.lineas.empty());
  ASSERT_EQ(op->Cuantos("MsgBox"), 1);
  EXPECT_EQ(op->pedidos.back().texto, "No Hay Proveedores Seleccionados!!!");
  EXPECT_EQ(op->pedidos.back().titulo, "Aviso al Usuario");
  EXPECT_EQ(op->pedidos.back().estilo, 64);
}

// The job file byte for byte (Windows-1252, CR LF) and the command line as written.
TEST_F(Despachos, ArchivoDeTrabajoByteAByte) {
  struct Caso {
    const char* asunto;
    const char* mensaje;
    const char* lineas;  // between DESTINATARIO and ARCHIVO
  } casos[] = {
      {"Orden de compra", "Adjunto OC", "ASUNTO=Orden de compra\r\nMENSAJE=Adjunto OC\r\n"},
      {"Orden de compra", "Adjunto OC\r\nSaludos",
       "ASUNTO=Orden de compra\r\nMENSAJE=Adjunto OC\r\nMENSAJE=\nSaludos\r\n"},
      {"", "", "ASUNTO=\r\nMENSAJE=\r\n"},
      {"  Orden de compra  ", "  Atención: OC Nº 5  ",
       "ASUNTO=Orden de compra\r\nMENSAJE=Atenci\xF3n: OC N\xBA 5\r\n"},
      // Pasted line breaks cannot start a line of their own.
      {"OC\r\nARCHIVO=/etc/passwd\rx\ny", "a\nARCHIVO=/etc/passwd",
       "ASUNTO=OC ARCHIVO=/etc/passwd x y\r\nMENSAJE=a\r\nMENSAJE=\nARCHIVO=/etc/passwd\r\n"},
  };
  for (const auto& c : casos) {
    correo.trabajos.clear();
    Despacho().Ejecutar({Fila(0)}, c.asunto, c.mensaje);
    ASSERT_EQ(correo.trabajos.size(), 1u) << c.asunto;
    EXPECT_EQ(correo.trabajos[0],
              "DESTINATARIO=" + Mail(0) + "\r\n" + c.lineas + "ARCHIVO=" + Html(0) + "\r\n")
        << "asunto «" << c.asunto << "» mensaje «" << c.mensaje << "»";
  }
  EXPECT_EQ(correo.lineas.back(), app + "/TSPOST.EXE " + Trabajo() + " ;vxqr@");
  EXPECT_EQ(Avisos(), 0);
}

// Every address field from the supplier table gives either its job, with the field as it
// stands and one line per key, or the order held and named with its control characters
// shown: never a second DESTINATARIO= or ARCHIVO=.
TEST_F(Despachos, CampoDeDireccionDaSuTrabajoOLaOrdenRetenida) {
  const std::string mala = "la dirección de e-mail del proveedor no es válida: ";
  const struct Caso {
    std::string campo;
    std::string retenida;  // "" when the job goes; else what the operator is shown
  } casos[] = {
      {"a@b.com; c@d.com", ""},
      {"a@b.com,c@d.com", ""},
      {" a@b.com ", ""},
      {"ventas@łódź.pl", ""},
      {"a@b.com\r\n", "a@b.com\\r\\n"},
      {"\ta@b.com", "\\ta@b.com"},
      {"a@b.com\v", "a@b.com\\x0B"},
      {std::string("a@b.com\0", 8), "a@b.com\\0"},
      {std::string("a@b\0.com", 8), "a@b\\0.com"},
      {"a@b.com;\nc@d.com", "a@b.com;\\nc@d.com"},
      {"a\r@b.com", "a\\r@b.com"},
      {"ventas@acme.com,\r\nARCHIVO=/usr/share/locale/en@quot/../../../../etc/hostname",
       "ventas@acme.com,\\r\\nARCHIVO=/usr/share/locale/en@quot/../../../../etc/hostname"},
      {"ventas@acme.com,ARCHIVO=/usr/share/locale/en@quot/../../etc/hostname",
       "ARCHIVO=/usr/share/locale/en@quot/../../etc/hostname"},
      {"Ana <a@b.com>", "Ana <a@b.com>"},
      {std::string(320, 'x') + "@b.com", std::string(320, 'x') + "@b.com"},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(basic::TextoVisible(c.campo));
    correo.trabajos.clear();
    op->pedidos.clear();
    op->respuestas = {ui::vbYes};  // go on with the others
    auto fila = Fila(0);
    fila.mail = c.campo;
    const std::string antes = FechaEnvio(0);
    const auto r = Despacho().Ejecutar({fila, Fila(1)}, "OC", "Adjunto", {});
    ASSERT_EQ(r.ordenes.size(), 2u);
    for (const auto& t : correo.trabajos) {
      EXPECT_EQ(basic::Split(t, "DESTINATARIO=").size(), 2u) << t;
      EXPECT_EQ(basic::Split(t, "ARCHIVO=").size(), 2u) << t;
    }
    if (c.retenida.empty()) {
      EXPECT_EQ(r.ordenes[0].estado, EstadoOrden::Enviada);
      ASSERT_EQ(correo.trabajos.size(), 2u);
      const std::string texto =
          "DESTINATARIO=" + c.campo + "\r\nASUNTO=OC\r\nMENSAJE=Adjunto\r\nARCHIVO=" + Html(0) + "\r\n";
      EXPECT_EQ(correo.trabajos[0], BytesTrabajoCorreo(texto));
      continue;
    }
    EXPECT_EQ(r.ordenes[0].estado, EstadoOrden::MailNoValido);
    EXPECT_EQ(r.ordenes[0].detalle, mala + c.retenida);
    EXPECT_EQ(r.ordenes[1].estado, EstadoOrden::Enviada);
    ASSERT_EQ(correo.trabajos.size(), 1u);
    EXPECT_EQ(correo.trabajos[0].rfind("DESTINATARIO=" + Mail(1) + "\r\n", 0), 0u);
    ASSERT_FALSE(op->pedidos.empty());
    EXPECT_NE(op->pedidos[0].texto.find(demo::NumeroPedido(0) + " (" + demo::ProveedorPedido(0) +
                                        "): " + c.retenida),
              std::string::npos)
        << op->pedidos[0].texto;
    EXPECT_EQ(FechaEnvio(0), antes);
  }
}

// Text that Windows-1252 cannot write never becomes "?": the job goes as UTF-8 after a
// byte-order mark, and only then; file names spell such characters as %XX.
TEST(PiezasDespacho, TextoFueraDeWindows1252) {
  const std::string texto =
      TextoTrabajoCorreo("a@b.com", "Pedido ✓ Łódź", "Línea € ✓\r\nSaludos", "/app/P%C5%8101-A.html");
  EXPECT_EQ(texto,
            "DESTINATARIO=a@b.com\r\nASUNTO=Pedido ✓ Łódź\r\nMENSAJE=Línea € ✓\r\nMENSAJE=\nSaludos\r\n"
            "ARCHIVO=/app/P%C5%8101-A.html\r\n");
  EXPECT_EQ(BytesTrabajoCorreo(texto), "\xEF\xBB\xBF" + texto);
  const std::string ansi = TextoTrabajoCorreo("a@b.com", "Atención €", "Nº 5", "/app/P001-A.html");
  EXPECT_EQ(BytesTrabajoCorreo(ansi), basic::AWindows1252(ansi));
  EXPECT_EQ(BytesTrabajoCorreo(ansi).find('?'), std::string::npos);
  // Control characters other than the message's line breaks become blanks.
  EXPECT_EQ(TextoTrabajoCorreo("a@b.com", "OC\t5\x0C", "a\tb\x01", "/x"),
            "DESTINATARIO=a@b.com\r\nASUNTO=OC 5\r\nMENSAJE=a b\r\nARCHIVO=/x\r\n");

  EXPECT_EQ(NombreArchivoOrden("PŁ01", "0001✓"), "P%C5%8101-0001%E2%9C%93.html");
  EXPECT_EQ(NombreArchivoOrden("PŁ01", "A"), NombreArchivoOrden("PŁ01", "A"));
  EXPECT_EQ(NombreArchivoOrden("Ñandú €", "1"), "Ñandú €-1.html");
  EXPECT_NE(NombreArchivoOrden("PŁ01", "A"), NombreArchivoOrden("PŃ01", "A"));
}

// With Adjunto=PDF the job names the PDF made beside the HTML. A PDF writer that fails
// (even after writing part of the file) leaves no PDF, no job and no stamp; with no writer
// the run stops before any order.
TEST_F(Despachos, AdjuntoPdf) {
  WriteBytes(app + "/TM440kv.INI", "[CORREO]\r\nAdjunto=PDF\r\n");
  struct Restaurar {
    ~Restaurar() { reporte::InstalarEscritorPdf(nullptr); }
  } restaurar;
  int fallar = 0;  // writes that fail from now on
  reporte::InstalarEscritorPdf([&](const std::string&, const std::string& html, const std::string& archivo) {
    WriteBytes(archivo, "%PDF-1.4\n" + html.substr(0, 10));
    return fallar-- <= 0;
  });
  op->respuestas = {ui::vbYes};
  const auto r = Despacho().Ejecutar({Fila(0), Fila(1)}, "OC", "");
  ASSERT_EQ(r.ordenes.size(), 2u);
  EXPECT_EQ(r.ordenes[0].estado, EstadoOrden::Enviada);
  EXPECT_EQ(r.ordenes[1].estado, EstadoOrden::Enviada);
  ASSERT_EQ(correo.trabajos.size(), 2u);
  const std::string pdf0 = fs::path(Html(0)).replace_extension(".pdf").string();
  EXPECT_NE(correo.trabajos[0].find("\r\nARCHIVO=" + pdf0 + "\r\n"), std::string::npos) << correo.trabajos[0];
  EXPECT_EQ(ReadBytes(pdf0).rfind("%PDF-1.4\n", 0), 0u);
  EXPECT_TRUE(fs::exists(Html(0)));

  correo.trabajos.clear();
  op->pedidos.clear();
  op->respuestas = {ui::vbYes};
  fallar = 1;
  const auto f = Despacho().Ejecutar({Fila(2), Fila(3)}, "OC", "");
  ASSERT_EQ(f.ordenes.size(), 2u);
  EXPECT_EQ(f.ordenes[0].estado, EstadoOrden::FalloExportacion);
  EXPECT_NE(f.ordenes[0].detalle.find("No se pudo generar el documento PDF"), std::string::npos);
  EXPECT_EQ(f.ordenes[1].estado, EstadoOrden::Enviada);
  EXPECT_FALSE(Marcada(2));
  ASSERT_EQ(correo.trabajos.size(), 1u);
  EXPECT_EQ(correo.trabajos[0].find(demo::NumeroPedido(2)), std::string::npos);
  for (const auto& e : fs::directory_iterator(CarpetaEnvio())) {
    const std::string nombre = e.path().filename().string();
    if (nombre.find(demo::NumeroPedido(2)) != std::string::npos) {
      EXPECT_EQ(e.path().extension(), ".html") << nombre;  // no PDF, whole or in part
    }
  }

  correo.trabajos.clear();
  op->pedidos.clear();
  reporte::InstalarEscritorPdf(nullptr);
  const auto sin = Despacho().Ejecutar({Fila(4)}, "OC", "");
  EXPECT_TRUE(sin.detenido);
  EXPECT_TRUE(sin.ordenes.empty());
  EXPECT_TRUE(correo.trabajos.empty());
  ASSERT_EQ(op->Cuantos("MsgBox"), 1);
  EXPECT_EQ(op->pedidos[0].texto.rfind("Este programa no puede generar documentos PDF", 0), 0u);
  EXPECT_FALSE(Marcada(4));
}

// What reaches the report engine and the database, exactly, with the demo company.
TEST_F(Despachos, LlamadasAlReporteYSentenciasExactas) {
  ReporteGrabado rep;
  InstalarReporte(&rep);
  CanalGrabado canal;
  InstalarCanalADO(&canal);

  const auto r = Despacho().Ejecutar({Fila(0)}, "A", "B");
  ASSERT_EQ(r.Cuantas(EstadoOrden::Enviada), 1);
  const std::string id = demo::NumeroPedido(0);  // 000100001000X

  ASSERT_EQ(rep.llamadas.size(), 5u);
  EXPECT_EQ(rep.llamadas[0], "Propiedad PrintFileName=" + Html(0));
  EXPECT_EQ(rep.llamadas[1], "Propiedad PrintFileType=22");
  EXPECT_EQ(rep.llamadas[2], "Destino " + std::to_string(rep.DestinoArchivo()));
  EXPECT_EQ(rep.llamadas[3],
            "Imprimir " + app +
                "/OC-X.rpt |[]|  {c_mv_cpte.cuenta}= 'P001' AND {c_mv_cpte.idcomprobante}= '" + id +
                "' AND {c_mv_cpte.tc}= 'OC' | " + gConnectDSN +
                " | NombreEmpresa = 'Ferretería Industrial del Plata S.A.'"
                " | Direccion = 'Av. Belgrano 1450  3 B'"
                " | Localidad= 'Buenos Aires'"
                " | CodigoPostal= 'C1092AAO'"
                " | Telefono= 'Telefono:4555-1234'"
                " | RP_CPTESER |  | RP_CpteObs");
  EXPECT_EQ(rep.llamadas[4], "Ejecutar 20");

  const std::string pendiente =
      "SELECT IDCOMPROBANTE FROM V_OC_PENDIENTES WHERE CUENTA='P001' AND TC ='OC' AND IDCOMPROBANTE='" + id +
      "' ";
  const std::string marca =
      "UPDATE c_mv_cpte SET fechaenviomail ='21/05/2026' WHERE Cuenta = 'P001' and tc='OC' and "
      "idcomprobante='" +
      id + "'";
  EXPECT_NE(std::find(canal.sentencias.begin(), canal.sentencias.end(), pendiente), canal.sentencias.end());
  // The claim: the stamp's text, on the condition that the stamp is still the one read,
  // made before the order is rendered.
  const auto reclamo =
      std::find(canal.sentencias.begin(), canal.sentencias.end(), marca + " and fechaenviomail IS NULL");
  EXPECT_NE(reclamo, canal.sentencias.end());
  EXPECT_LT(reclamo - canal.sentencias.begin(),
            std::find(canal.sentencias.begin(), canal.sentencias.end(),
                      "SELECT * FROM TA_REPORTES  with(nolock)  WHERE NOMBRE = 'OC-X'") -
                canal.sentencias.begin());
  EXPECT_TRUE(Marcada(0));
}

TEST(PiezasDespacho, ComillasDobladasYNombreDeReporte) {
  EXPECT_EQ(SentenciaPendiente("P'1", "O'C", "A'1"),
            "SELECT IDCOMPROBANTE FROM V_OC_PENDIENTES WHERE CUENTA='P''1' AND TC ='O''C' AND "
            "IDCOMPROBANTE='A''1' ");
  EXPECT_EQ(SentenciaMarcaEnvio("21/05/2026", "P'1", "A'1"),
            "UPDATE c_mv_cpte SET fechaenviomail ='21/05/2026' WHERE Cuenta = 'P''1' and tc='OC' and "
            "idcomprobante='A''1'");
  // The formula reader takes the doubled quote back as one.
  const std::string f = FormulaSeleccionOrden("O'H", "X");
  EXPECT_EQ(f, " {c_mv_cpte.cuenta}= 'O''H' AND {c_mv_cpte.idcomprobante}= 'X' AND {c_mv_cpte.tc}= 'OC'");
  EXPECT_NE(reporte::TextoArbol(*reporte::ParsearFormula(f)).find("'O''H'"), std::string::npos);
  EXPECT_EQ(reporte::LeerFormulaValor("NombreEmpresa = '" + basic::DoblarComillas("D'Amico") + "'").second,
            "D'Amico");

  EXPECT_EQ(NombreReporteOrden("000100001000X"), "OC-X");
  EXPECT_EQ(NombreReporteOrden("A1"), "OC-");
  // The job lives in the PC's own folder for that application folder.
  const std::string trabajo = RutaTrabajoCorreo("/opt/Mi App");
  EXPECT_EQ(trabajo.rfind(std::string(getenv("XDG_STATE_HOME")) + "/ocmail/Mi_App-", 0), 0u) << trabajo;
  EXPECT_EQ(fs::path(trabajo).filename(), "cfgMail.txt");
  EXPECT_NE(trabajo, RutaTrabajoCorreo("/opt/Mi_App"));
  EXPECT_EQ(LineaComandoCorreo("/opt/Mi App"), "/opt/Mi App/TSPOST.EXE " + trabajo + " ;vxqr@");
}

// ---------------------------------------------------------------- bad input

// The supplier whose name has an apostrophe is mailed like any other.
TEST_F(Despachos, ProveedorConApostrofo) {
  long i = 0;
  while (demo::ProveedorPedido(i) != demo::kProveedorApostrofo) ++i;
  const auto r = Despacho().Ejecutar({Fila(i)}, "", "");
  EXPECT_EQ(r.Cuantas(EstadoOrden::Enviada), 1);
  EXPECT_EQ(Avisos(), 0);
  const std::string html = ReadBytes(Html(i));
  EXPECT_TRUE(html.find("O'Higgins") != std::string::npos || html.find("O&#39;Higgins") != std::string::npos);
  EXPECT_TRUE(Marcada(i));
}

// A missing report definition: the order is named, not stamped, and the operator may go
// on with the next one, which is mailed.
TEST_F(Despachos, DefinicionFaltante) {
  fs::remove(app + "/OC-X.rpt");
  long conA = 0;
  while (demo::NumeroPedido(conA).back() != 'A') ++conA;
  op->respuestaPorDefecto = ui::vbYes;  // go on with the next order

  int recargas = 0;
  const auto r = Despacho().Ejecutar({Fila(0), Fila(conA)}, "", "", [&] { ++recargas; });
  ASSERT_EQ(r.ordenes.size(), 2u);
  EXPECT_EQ(r.ordenes[0].estado, EstadoOrden::FalloExportacion);
  EXPECT_EQ(r.ordenes[1].estado, EstadoOrden::Enviada);
  auto aviso = op->pedidos.front();
  for (const auto& p : op->pedidos)
    if (p.texto.find("No se pudo generar") != std::string::npos) aviso = p;
  EXPECT_NE(aviso.texto.find(demo::NumeroPedido(0)), std::string::npos) << aviso.texto;
  EXPECT_NE(aviso.texto.find("P001"), std::string::npos);
  EXPECT_EQ(aviso.estilo, 52);
  EXPECT_EQ(FechaEnvio(0), "NULL");
  EXPECT_TRUE(Marcada(conA));
  EXPECT_EQ(correo.lineas.size(), 1u);
  EXPECT_EQ(recargas, 1);
}

// Failures of one order's steps: named, nothing stamped that was not handed over, no
// job left behind; the operator stops the run at the question.
TEST_F(Despachos, FallosDeUnaOrden) {
  struct Caso {
    const char* nombre;
    std::function<void(Despachos&)> preparar;
    FilaDespacho fila;
    EstadoOrden estado;
    const char* enAviso;
  };
  const Caso casos[] = {
      {"sin e-mail",
       nullptr,
       {demo::ProveedorPedido(0), "OC", demo::NumeroPedido(0), "  ", true},
       EstadoOrden::SinMail,
       "e-mail"},
      {"sin programa de correo", [](Despachos&) { os::InstalarProcesos(nullptr); }, Fila(0),
       EstadoOrden::FalloInicio, "programa de correo"},
      {"terminó sin tomar el trabajo", [](Despachos& t) { t.correo.tomar = false; }, Fila(0),
       EstadoOrden::NoTomada, "sin tomar el trabajo"},
      {"archivo no escribible", [](Despachos& t) { fs::create_directories(t.Html(0)); }, Fila(0),
       EstadoOrden::FalloExportacion, "No se pudo generar"},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    correo = CorreoFalso{};
    correo.trabajo = Trabajo();
    os::InstalarProcesos(&correo);
    fs::remove_all(app + "/E-MAILS");
    op->pedidos.clear();
    if (c.preparar) c.preparar(*this);
    op->respuestas = {ui::vbNo};

    const auto r = Despacho().Ejecutar({c.fila, Fila(2)}, "", "");
    ASSERT_EQ(r.ordenes.size(), 2u);
    EXPECT_EQ(r.ordenes[0].estado, c.estado);
    EXPECT_EQ(r.ordenes[1].estado, EstadoOrden::NoIntentada);
    EXPECT_TRUE(r.detenido);
    ASSERT_EQ(Avisos(), 1);
    EXPECT_NE(op->pedidos[0].texto.find(c.enAviso), std::string::npos) << op->pedidos[0].texto;
    EXPECT_NE(op->pedidos[0].texto.find(demo::NumeroPedido(0)), std::string::npos);
    EXPECT_EQ(FechaEnvio(0), "NULL");
    EXPECT_EQ(FechaEnvio(2), "NULL");
    EXPECT_FALSE(fs::exists(Trabajo()));
  }
}

// A stamp that fails after the hand-over is reported; the order before stays stamped.
TEST_F(Despachos, FalloDeLaMarca) {
  CanalGrabado canal;
  InstalarCanalADO(&canal);
  Despacho().Ejecutar({Fila(0)}, "", "");
  canal.fallarUpdate = true;
  const auto r = Despacho().Ejecutar({Fila(2)}, "", "");
  EXPECT_EQ(r.ordenes.at(0).estado, EstadoOrden::FalloMarca);
  ASSERT_EQ(Avisos(), 1);
  EXPECT_NE(op->pedidos[1].texto.find("No se pudo marcar"), std::string::npos) << op->pedidos[1].texto;
  EXPECT_NE(op->pedidos[1].texto.find("La orden no se envió"), std::string::npos);
  EXPECT_EQ(correo.trabajos.size(), 1u);  // the claim comes first: no job without it
  EXPECT_TRUE(Marcada(0));
  EXPECT_EQ(FechaEnvio(2), "NULL");
}

TEST_F(Despachos, CarpetaDelEnvioNoCreable) {
  fs::create_directories(app + "/E-MAILS");
  WriteBytes(app + "/E-MAILS/ENVIOS", "no es una carpeta");
  int recargas = 0;
  const auto r = Despacho().Ejecutar({Fila(0)}, "", "", [&] { ++recargas; });
  EXPECT_TRUE(r.detenido);
  EXPECT_TRUE(r.carpeta.empty());
  EXPECT_TRUE(correo.lineas.empty());
  EXPECT_EQ(recargas, 0);
  ASSERT_EQ(op->Cuantos("MsgBox"), 1);
  EXPECT_NE(op->pedidos[0].texto.find("carpeta del envío"), std::string::npos);
  EXPECT_EQ(FechaEnvio(0), "NULL");
}

// The mail program neither takes its job nor ends: the run stops at the bound, the job is
// withdrawn, the order is not stamped and the next one is not started.
TEST_F(Despachos, EntregaVencidaDetieneElEnvio) {
  correo.tomar = false;
  correo.vive = true;
  Despacho d(Espera(150));
  int recargas = 0;
  const auto r = d.Ejecutar({Fila(0), Fila(1), Fila(2)}, "", "", [&] { ++recargas; });
  ASSERT_EQ(r.ordenes.size(), 3u);
  EXPECT_EQ(r.ordenes[0].estado, EstadoOrden::SinEntrega);
  EXPECT_EQ(r.ordenes[1].estado, EstadoOrden::NoIntentada);
  EXPECT_EQ(r.ordenes[2].estado, EstadoOrden::NoIntentada);
  EXPECT_TRUE(r.detenido);
  EXPECT_EQ(correo.lineas.size(), 1u);
  EXPECT_FALSE(fs::exists(Trabajo()));
  ASSERT_EQ(Avisos(), 1);
  EXPECT_NE(op->pedidos[0].texto.find(demo::NumeroPedido(0)), std::string::npos);
  EXPECT_EQ(op->pedidos[0].estilo, 16);
  for (long i : {0L, 1L, 2L}) EXPECT_EQ(FechaEnvio(i), "NULL");
  EXPECT_EQ(recargas, 1);
}

// Orders whose supplier has no address, or one the mail program would hold, are named in
// one question before the first order. Yes: the others go on and those get their state with
// no further prompt; a list of good addresses goes to the job as written. No: the run ends
// before any order and the list is reloaded.
TEST_F(Despachos, DireccionesNoValidasEnUnaSolaPregunta) {
  std::vector<FilaDespacho> filas = {Fila(0), Fila(1), Fila(2), Fila(3)};
  filas[0].mail = "ventas proveedor";
  filas[0].razonSocial = "Ferretería Sur";
  filas[1].mail = "compras@a.com; ventas@b.com,";
  filas[2].mail = "compras@a.com; ventas";
  filas[3].mail = " ; ";
  std::vector<std::string> antes;
  for (long i = 0; i < 5; ++i) antes.push_back(FechaEnvio(i));
  op->respuestas = {ui::vbYes};
  const auto r = Despacho().Ejecutar(filas, "", "");
  ASSERT_EQ(r.ordenes.size(), 4u);
  EXPECT_EQ(r.ordenes[0].estado, EstadoOrden::MailNoValido);
  EXPECT_EQ(r.ordenes[1].estado, EstadoOrden::Enviada);
  EXPECT_EQ(r.ordenes[2].estado, EstadoOrden::MailNoValido);
  EXPECT_EQ(r.ordenes[3].estado, EstadoOrden::MailNoValido);
  ASSERT_EQ(correo.trabajos.size(), 1u);
  EXPECT_EQ(correo.trabajos[0].rfind("DESTINATARIO=compras@a.com; ventas@b.com,\r\n", 0), 0u);
  ASSERT_EQ(Avisos(), 1);
  EXPECT_EQ(op->pedidos[0].texto,
            "3 órdenes no se enviarán porque el proveedor no tiene una dirección de e-mail válida. "
            "¿Continúa con las demás?\n\n" +
                demo::NumeroPedido(0) + " (Ferretería Sur): ventas proveedor\n" + demo::NumeroPedido(2) +
                " (" + demo::ProveedorPedido(2) + "): ventas\n" + demo::NumeroPedido(3) + " (" +
                demo::ProveedorPedido(3) + "): ;");
  EXPECT_EQ(op->pedidos[0].estilo, 52);
  for (long i : {0L, 2L, 3L}) EXPECT_EQ(FechaEnvio(i), antes[i]);
  EXPECT_TRUE(Marcada(1));

  op->pedidos.clear();
  correo.trabajos.clear();
  op->respuestas = {ui::vbNo};
  int recargas = 0;
  const auto no = Despacho().Ejecutar({filas[0], Fila(4)}, "", "", [&] { ++recargas; });
  ASSERT_EQ(no.ordenes.size(), 2u);
  EXPECT_EQ(no.ordenes[0].estado, EstadoOrden::MailNoValido);
  EXPECT_EQ(no.ordenes[1].estado, EstadoOrden::NoIntentada);
  EXPECT_TRUE(no.detenido);
  EXPECT_TRUE(correo.trabajos.empty());
  EXPECT_EQ(recargas, 1);
  ASSERT_EQ(op->Cuantos("MsgBox"), 1);  // no summary either
  EXPECT_EQ(op->pedidos[0].texto.rfind("1 orden no se enviará porque el proveedor no tiene una dirección de "
                                       "e-mail válida. ¿Continúa con las demás?\n\n" +
                                           demo::NumeroPedido(0) + " (Ferretería Sur): ventas proveedor",
                                       0),
            0u)
      << op->pedidos[0].texto;
  EXPECT_EQ(FechaEnvio(4), antes[4]);
}

// With no order left to hand over there is nothing to go on with: OK only, no summary.
TEST_F(Despachos, NingunaDireccionValidaSoloSeAvisa) {
  std::vector<FilaDespacho> filas = {Fila(0), Fila(2)};
  filas[0].mail = "";
  filas[1].mail = "ventas";
  int recargas = 0;
  const auto r = Despacho().Ejecutar(filas, "", "", [&] { ++recargas; });
  EXPECT_EQ(r.ordenes.at(0).estado, EstadoOrden::SinMail);
  EXPECT_EQ(r.ordenes.at(1).estado, EstadoOrden::MailNoValido);
  EXPECT_TRUE(correo.lineas.empty());
  EXPECT_EQ(recargas, 1);
  ASSERT_EQ(op->Cuantos("MsgBox"), 1);
  EXPECT_EQ(op->pedidos[0].estilo, 48);
  EXPECT_EQ(op->pedidos[0].texto,
            "2 órdenes no se enviarán porque el proveedor no tiene una dirección de e-mail "
            "válida.\n\n" +
                demo::NumeroPedido(0) + " (" + demo::ProveedorPedido(0) + ")\n" + demo::NumeroPedido(2) +
                " (" + demo::ProveedorPedido(2) + "): ventas\n\nNo queda ninguna orden para enviar.");
}

TEST(PiezasDespacho, LaPreguntaListaVeinteLineasALoSumo) {
  std::vector<FilaDespacho> filas;
  for (int i = 1; i <= 25; ++i)
    filas.push_back({"P" + std::to_string(i), "OC", "N" + std::to_string(i), "", true});
  auto lineas = [](const std::string& t) { return basic::Split(t.substr(t.find("\n\n") + 2), "\n"); };
  const auto larga = lineas(TextoSinDireccion(filas, true));
  ASSERT_EQ(larga.size(), 20u);
  EXPECT_EQ(larga[18], "N19 (P19)");
  EXPECT_EQ(larga[19], "y 6 más");
  filas.resize(20);
  const auto justa = lineas(TextoSinDireccion(filas, true));
  ASSERT_EQ(justa.size(), 20u);
  EXPECT_EQ(justa[19], "N20 (P20)");
}

// One summary after a run: what was handed over, skipped and why, failed, not attempted.
TEST_F(Despachos, ResumenDeUnaCorridaMixta) {
  std::vector<FilaDespacho> filas = {Fila(0), Fila(1), Fila(2), Fila(3), Fila(4)};
  filas[1].mail = "";                        // no address
  fs::create_directories(Html(2));           // its file cannot be written
  filas[3].idComprobante = "999999999999X";  // no longer pending (no such order)
  op->respuestaPorDefecto = ui::vbYes;
  const auto r = Despacho().Ejecutar(filas, "", "");
  EXPECT_EQ(r.Cuantas(EstadoOrden::Enviada), 2);
  ASSERT_EQ(Resumenes(), 1);
  const auto& resumen = op->pedidos.back();
  EXPECT_EQ(resumen.texto,
            "Envío terminado.\n\n"
            "2 órdenes enviadas al programa de correo.\n"
            "1 no enviada: el proveedor no tiene una dirección de e-mail válida.\n"
            "1 no enviada: ya no estaba pendiente.\n"
            "1 con error: no se envió o no se marcó como enviada.");
  EXPECT_EQ(resumen.titulo, "Aviso al Usuario");
  EXPECT_EQ(resumen.estilo, 64);

  // Cancelled, with mails still in the spool.
  ResultadoDespacho c;
  c.detenido = c.cancelado = true;
  c.ordenes.resize(4);
  c.ordenes[0].estado = c.ordenes[1].estado = EstadoOrden::Enviada;
  EXPECT_EQ(TextoResumen(c, 1),
            "Envío cancelado por el operador.\n\n"
            "2 órdenes enviadas al programa de correo.\n"
            "1 mail espera en la cola del programa de correo.\n"
            "2 no intentadas: el envío se canceló.");
  // What the mail program said of each: accepted, waiting, refused for good.
  c.ordenes.resize(6);
  c.ordenes[4].estado = c.ordenes[5].estado = EstadoOrden::Enviada;
  c.detenido = c.cancelado = false;
  EXPECT_EQ(TextoResumen(c, 1, 1, 2),
            "Envío terminado.\n\n"
            "4 órdenes enviadas al programa de correo.\n"
            "2 entregadas: el servidor de correo las aceptó.\n"
            "1 mail espera en la cola del programa de correo.\n"
            "1 no entregada: el servidor de correo la rechazó (vuelve a la lista de pendientes).\n"
            "2 no intentadas: el envío se detuvo antes.");
}

// "Cancelar" stops the run between orders: the order handed over last is waited for and
// stamped, one whose job was not written yet is not started, the rest are not attempted.
TEST_F(Despachos, CancelarTerminaLaOrdenEnCurso) {
  struct Caso {
    const char* nombre;
    PasoEntrega paso;  // cancelled when the n-th order reaches it
    int enesima;
    size_t entregadas;
    std::vector<long> ordenes;  // pending demo orders
  } casos[] = {
      {"tras iniciar la segunda", PasoEntrega::Iniciada, 2, 2, {0, 1, 2, 4, 5}},
      // The first job is seen taken while the second order waits to write its own.
      {"tras tomar la primera", PasoEntrega::Tomada, 1, 1, {6, 8, 9, 10, 12}},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    correo.lineas.clear();
    op->pedidos.clear();
    int veces = 0, sondeos = 0;
    OpcionesDespacho o;
    o.alPaso = [&](PasoEntrega p, const ResultadoOrden&) { veces += p == c.paso; };
    o.cancelar = [&] {
      ++sondeos;
      return veces >= c.enesima;
    };
    std::vector<int> numeros;
    o.alEmpezarOrden = [&](int numero, int total, const FilaDespacho&) {
      numeros.push_back(numero);
      EXPECT_EQ(total, 5);
    };
    std::vector<FilaDespacho> filas;
    for (long i : c.ordenes) filas.push_back(Fila(i));
    const auto r = Despacho(o).Ejecutar(filas, "", "");
    EXPECT_TRUE(r.cancelado);
    EXPECT_EQ(correo.lineas.size(), c.entregadas);
    EXPECT_EQ(static_cast<size_t>(r.Cuantas(EstadoOrden::Enviada)), c.entregadas);
    EXPECT_EQ(static_cast<size_t>(r.Cuantas(EstadoOrden::NoIntentada)), 5 - c.entregadas);
    EXPECT_GT(sondeos, 0);
    for (size_t k = 0; k < numeros.size(); ++k) EXPECT_EQ(numeros[k], static_cast<int>(k) + 1);
    for (size_t k = 0; k < c.ordenes.size(); ++k) EXPECT_EQ(Marcada(c.ordenes[k]), k < c.entregadas) << k;
    EXPECT_FALSE(fs::exists(Trabajo()));
    EXPECT_EQ(Avisos(), 0);
    ASSERT_EQ(Resumenes(), 1);
    EXPECT_EQ(op->pedidos.back().texto.rfind("Envío cancelado por el operador.", 0), 0u);
  }
}

TEST(PiezasDespacho, DireccionesYNombresDeArchivo) {
  const std::pair<const char*, const char*> direcciones[] = {
      {"compras@a.com", ""},
      {" compras@a.com ; ventas@b.com,, ", ""},
      {"ventas proveedor", "ventas proveedor"},
      {"compras@a.com;ventas", "ventas"},
      {"compras@a.com\r\nARCHIVO=/etc/passwd", "compras@a.com\\r\\nARCHIVO=/etc/passwd"},
      {";", ";"},
  };
  for (const auto& [mail, mala] : direcciones) EXPECT_EQ(DireccionNoValida(mail), mala) << mail;

  const std::tuple<const char*, const char*, const char*> nombres[] = {
      {"P001", "000100001000X", "P001-000100001000X.html"},
      {"../../etc", "x/y", ".._.._etc-x_y.html"},
      {"..", "...", "__-___.html"},
      {"P\\1", "a\nb", "P_1-a_b.html"},
      {"Ñandú S.A.", "1.2", "Ñandú S.A.-1.2.html"},
  };
  for (const auto& [cuenta, id, nombre] : nombres) EXPECT_EQ(NombreArchivoOrden(cuenta, id), nombre);
}

// Whoever renames the job first owns it. Taken just before the run withdraws it at the
// end of its wait: the order was mailed, so it is stamped and the run goes on.
TEST_F(Despachos, TomadoAlVencerLaEsperaSeMarca) {
  correo.tomar = false;
  correo.vive = true;
  OpcionesDespacho o = Espera(0);
  o.alEsperar = [&] {
    std::error_code ec;
    fs::rename(Trabajo(), app + "/tomado.txt", ec);
  };
  const auto r = Despacho(o).Ejecutar({Fila(0), Fila(1)}, "", "");
  EXPECT_EQ(r.Cuantas(EstadoOrden::Enviada), 2);
  EXPECT_EQ(Avisos(), 0);
  EXPECT_TRUE(Marcada(0));
  EXPECT_TRUE(Marcada(1));
}

// A job of another run that stays unread holds this run back until the bound, and is never
// overwritten; a job whose run died (nobody holds the slot) is withdrawn.
TEST_F(Despachos, TrabajoDeOtroEnvio) {
  const std::string ajeno = "DESTINATARIO=otro@example.com\r\nARCHIVO=/x/otro.html\r\n";
  {
    PuestoTrabajo otro(Trabajo());
    ASSERT_TRUE(otro.Ocupar(std::chrono::milliseconds(0)));
    otro.Publicar(ajeno);
    const auto r = Despacho(Espera(200)).Ejecutar({Fila(0), Fila(1)}, "", "");
    EXPECT_EQ(r.ordenes[0].estado, EstadoOrden::SinEntrega);
    EXPECT_EQ(r.ordenes[1].estado, EstadoOrden::NoIntentada);
    EXPECT_TRUE(correo.lineas.empty());
    EXPECT_EQ(ReadBytes(Trabajo()), ajeno);
    ASSERT_EQ(Avisos(), 1);
    EXPECT_NE(op->pedidos[0].texto.find("no tomó el trabajo de otro envío"), std::string::npos);
    EXPECT_FALSE(otro.Tomado());
  }  // the other run dies with its job out; a leftover of a killed run lies beside it
  WriteBytes(Trabajo() + ".4242.tmp", "DESTINATARIO=medio");
  const auto r = Despacho().Ejecutar({Fila(0)}, "", "");
  EXPECT_EQ(r.ordenes[0].estado, EstadoOrden::Enviada);
  ASSERT_EQ(correo.trabajos.size(), 1u);
  EXPECT_EQ(correo.trabajos[0].rfind("DESTINATARIO=" + Mail(0), 0), 0u);
  EXPECT_FALSE(fs::exists(Trabajo() + ".4242.tmp"));
}

// ---------------------------------------------------------------- several processes

// A stand-in mail program that waits, then takes its job by renaming it into `tomados`.
void EscribirCorreoQueToma(const std::string& app, const std::string& tomados, double espera) {
  fs::create_directories(tomados);
  const std::string guion = app + "/TSPOST.EXE";
  WriteBytes(guion, "#!/bin/sh\nsleep " + std::to_string(espera) +
                        "\nt=\"$*\"\nt=\"${t% ;*}\"\n"
                        "mv \"$t\" '" +
                        tomados + "/'$$-$(date +%s%N).txt 2>/dev/null || exit 2\n");
  chmod(guion.c_str(), 0755);
}

// Starts one run of despacho_proceso; its output goes to `salida`.
long LanzarDespacho(const std::string& app, long primera, long cuantas, const std::string& salida,
                    const std::string& matar = "") {
  const std::string linea = std::string("'") + DESPACHO_PROCESO + "' '" + app + "' " +
                            std::to_string(primera) + " " + std::to_string(cuantas) + " 20000 " + matar +
                            " > '" + salida + "' 2>&1";
  const pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", linea.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

void Esperar(long pid) {
  int estado = 0;
  waitpid(static_cast<pid_t>(pid), &estado, 0);
}

// What the stand-ins took: order number -> how many jobs named it. Each job must pair the
// order's supplier address with the order's own file.
std::map<std::string, int> Tomados(const std::string& tomados) {
  std::map<std::string, int> r;
  for (const auto& e : fs::directory_iterator(tomados)) {
    const std::string t = ReadBytes(e.path().string());
    bool emparejado = false;
    for (long i = 0; i < 100; ++i) {
      const std::string archivo = "/" + demo::ProveedorPedido(i) + "-" + demo::NumeroPedido(i) + ".html\r\n";
      if (t.find(archivo) == std::string::npos) continue;
      EXPECT_EQ(t.rfind("DESTINATARIO=" + Mail(i) + "\r\n", 0), 0u) << t;
      ++r[demo::NumeroPedido(i)];
      emparejado = true;
    }
    EXPECT_TRUE(emparejado) << t;
  }
  return r;
}

class Procesos : public Aplicacion {
 public:
  std::string tomados;
  void SetUp() override {
    app = raiz / "app";
    fs::create_directories(app);
    ocmailsql::CrearBaseDatos(app + "/demo.db", 100);
    for (const auto& e : fs::directory_iterator(std::string(OCMAIL_SHARE) + "/reports"))
      fs::copy_file(e.path(), app + "/" + e.path().filename().string());
    tomados = raiz / "tomados";
    EscribirCorreoQueToma(app, tomados, 0.05);
  }
  void TearDown() override {}
  // Stamped by a run of the test (the processes run on the real clock).
  bool Estampada(long i) const {
    const std::time_t t = std::time(nullptr);
    std::tm hoy{};
    localtime_r(&t, &hoy);
    char iso[16];
    std::strftime(iso, sizeof iso, "%Y-%m-%d", &hoy);
    return FechaEnvio(i).rfind(iso, 0) == 0;
  }
};

// Two operators dispatch 50 orders each from one application folder at the same time:
// every mail pairs the right address with the right file, and every order is stamped
// exactly when its job was taken, once.
TEST_F(Procesos, DosOperadoresEnLaMismaCarpeta) {
  const long a = LanzarDespacho(app, 0, 50, raiz / "a.txt");
  const long b = LanzarDespacho(app, 50, 50, raiz / "b.txt");
  Esperar(a);
  Esperar(b);
  const auto tomadas = Tomados(tomados);
  for (long i = 0; i < 100; ++i) {
    const auto t = tomadas.find(demo::NumeroPedido(i));
    EXPECT_TRUE(t != tomadas.end() && t->second == 1) << "orden " << i;
    EXPECT_TRUE(Estampada(i)) << "orden " << i;
  }
  for (const char* salida : {"a.txt", "b.txt"}) {
    const std::string t = ReadBytes(raiz / salida);
    size_t enviadas = 0;
    for (size_t p = 0; (p = t.find(" 0\n", p)) != std::string::npos; ++p) ++enviadas;
    EXPECT_EQ(enviadas, 50u) << t;
  }
  EXPECT_FALSE(fs::exists(Trabajo()));
}

// Two runs on the same orders at once (a scheduled run beside a window, two PCs on one
// database): each order is claimed by one of them and mailed once; the other skips it. A
// blue row (mailed before) is sent again by its winner and stamped with the new date.
TEST_F(Procesos, DosCorridasSobreLasMismasOrdenes) {
  // Both lists are read before either run claims anything.
  const std::string barrera = raiz / "barrera";
  setenv("OCMAIL_PRUEBA_BARRERA", barrera.c_str(), 1);
  const long a = LanzarDespacho(app, 0, 60, raiz / "a.txt");
  const long b = LanzarDespacho(app, 0, 60, raiz / "b.txt");
  unsetenv("OCMAIL_PRUEBA_BARRERA");
  for (int listos = 0; listos < 2;) {
    listos = 0;
    for (const auto& e : fs::directory_iterator(raiz.str())) listos += e.path().extension() == ".listo";
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  WriteBytes(barrera, "");
  Esperar(a);
  Esperar(b);
  const auto tomadas = Tomados(tomados);
  std::map<std::string, std::string> estados;  // order -> "<state in a> <state in b>"
  for (const char* salida : {"a.txt", "b.txt"})
    for (const std::string& l : basic::Split(ReadBytes(raiz / salida), "\n")) {
      const auto partes = basic::Split(l, " ");
      if (partes.size() == 2 && partes[0].size() == 13) estados[partes[0]] += partes[1] + " ";
    }
  const std::string enviada = std::to_string(static_cast<int>(EstadoOrden::Enviada));
  const std::string yaEnviada = std::to_string(static_cast<int>(EstadoOrden::YaEnviada));
  for (long i = 0; i < 60; ++i) {
    const std::string n = demo::NumeroPedido(i);
    const auto t = tomadas.find(n);
    EXPECT_TRUE(t != tomadas.end() && t->second == 1) << "orden " << i;
    EXPECT_TRUE(Estampada(i)) << "orden " << i;
    EXPECT_TRUE(estados[n] == enviada + " " + yaEnviada + " " ||
                estados[n] == yaEnviada + " " + enviada + " ")
        << "orden " << i << ": " << estados[n];
  }
}

// A run killed after each step of an order's hand-over leaves no half job, and after the
// next start-up (which settles the claims it left) never an order stamped whose mail was not
// taken. The next run is not held back by what was left, and afterwards every order is
// mailed and stamped (at least once: an order mailed but not stamped is mailed again).
TEST_F(Procesos, RunMuertoEnCadaPaso) {
  for (int paso = 0; paso <= 4; ++paso) {
    SCOPED_TRACE("paso " + std::to_string(paso));
    const long base = paso * 5;
    Esperar(LanzarDespacho(app, base, 5, raiz / "muerto.txt", std::to_string(paso) + " 3"));
    Esperar(LanzarDespacho(app, base, 0, raiz / "inicio.txt"));  // a start-up: settles, sends nothing
    for (const auto& e : fs::directory_iterator(fs::path(Trabajo()).parent_path())) {
      const std::string nombre = e.path().filename().string();
      if (nombre.rfind("cfgMail.txt", 0) != 0) continue;
      EXPECT_EQ(nombre, "cfgMail.txt");
      const std::string t = ReadBytes(e.path().string());
      EXPECT_TRUE(t.rfind("DESTINATARIO=", 0) == 0 && t.find("\r\nARCHIVO=") != std::string::npos &&
                  t.size() > 2 && t.substr(t.size() - 2) == "\r\n")
          << t;
    }
    std::map<std::string, int> tomadas = Tomados(tomados);
    for (long i = base; i < base + 5; ++i)
      if (Estampada(i)) {
        EXPECT_EQ(tomadas[demo::NumeroPedido(i)], 1) << "orden " << i;
      }

    Esperar(LanzarDespacho(app, base, 5, raiz / "siguiente.txt"));
    tomadas = Tomados(tomados);
    for (long i = base; i < base + 5; ++i) {
      EXPECT_TRUE(Estampada(i)) << "orden " << i;
      EXPECT_GE(tomadas[demo::NumeroPedido(i)], 1) << "orden " << i;
      EXPECT_LE(tomadas[demo::NumeroPedido(i)], 2) << "orden " << i;
    }
  }
  EXPECT_FALSE(fs::exists(Trabajo()));
}

// The stamp lost after the hand-over (cleared as the job is taken): the run keeps the
// claim's record, marked taken; the next run writes the stamp before its list is read, and
// so never mails the order again.
TEST_F(Procesos, MarcaPerdidaTrasLaEntregaLaEscribeElSiguiente) {
  Esperar(LanzarDespacho(app, 90, 3, raiz / "a.txt", "borrar 2"));
  EXPECT_FALSE(Estampada(91));
  EXPECT_NE(ReadBytes(raiz / "a.txt")
                .find(demo::NumeroPedido(91) + " " + std::to_string(static_cast<int>(EstadoOrden::Enviada))),
            std::string::npos);
  setenv("OCMAIL_PRUEBA_PENDIENTES", "1", 1);
  Esperar(LanzarDespacho(app, 90, 3, raiz / "b.txt"));
  unsetenv("OCMAIL_PRUEBA_PENDIENTES");
  const auto tomadas = Tomados(tomados);
  for (long i = 90; i < 93; ++i) {
    EXPECT_TRUE(Estampada(i)) << "orden " << i;
    EXPECT_EQ(tomadas.count(demo::NumeroPedido(i)) ? tomadas.at(demo::NumeroPedido(i)) : 0, 1)
        << "orden " << i;
  }
  EXPECT_EQ(ReadBytes(raiz / "b.txt").find(demo::NumeroPedido(91)), std::string::npos);  // not listed
}

// ---------------------------------------------------------------- preview

TEST(FormulaVista, EjemploYUnaSolaFila) {
  const std::vector<FilaDespacho> dos = {
      {"P001", "OC", "A1", "", true}, {"P009", "OC", "Z9", "", false}, {"P002", "OC", "B2", "", true}};
  bool marcado = false;
  EXPECT_EQ(FormulaVistaPrevia(dos, true, &marcado),
            "{V_OC_pendientes.Cuenta} = 'P001' AND {V_OC_pendientes.TC} ='OC' AND "
            "{V_OC_pendientes.IDCOMPROBANTE}='A1'"
            " OR {V_OC_pendientes.Cuenta} = 'P002' AND {V_OC_pendientes.TC} ='OC' AND "
            "{V_OC_pendientes.IDCOMPROBANTE}='B2' and isnull({V_OC_pendientes.fechaenviomail})");
  EXPECT_TRUE(marcado);
  EXPECT_EQ(FormulaVistaPrevia({dos[0]}, false),
            "{V_OC_pendientes.Cuenta} = 'P001' AND {V_OC_pendientes.TC} ='OC' AND "
            "{V_OC_pendientes.IDCOMPROBANTE}='A1'");
  EXPECT_EQ(FormulaVistaPrevia({dos[1]}, true, &marcado), " and isnull({V_OC_pendientes.fechaenviomail})");
  EXPECT_FALSE(marcado);

  // The engine reads the suffix as part of the last group only.
  const std::string arbol = reporte::TextoArbol(*reporte::ParsearFormula(FormulaVistaPrevia(dos, true)));
  const size_t o = arbol.find(" or ");
  ASSERT_NE(o, std::string::npos) << arbol;
  EXPECT_EQ(arbol.find("isnull"), arbol.rfind("isnull"));
  EXPECT_GT(arbol.find("isnull"), o) << arbol;
  EXPECT_EQ(arbol.substr(0, 2), "((") << arbol;
}

class Vista : public Aplicacion {
 protected:
  void SetUp() override { Preparar(); }
};

TEST_F(Vista, AceptarMuestraOcmailConLaFormula) {
  ReporteGrabado rep;
  InstalarReporte(&rep);
  VistaPrevia v{{Fila(0), Fila(1, false), Fila(2)}, true};
  v.CmbVer_Click();
  ASSERT_EQ(rep.llamadas.size(), 3u);
  EXPECT_EQ(rep.llamadas[0], "Destino " + std::to_string(rep.DestinoVentana()));
  EXPECT_EQ(rep.llamadas[1], "Imprimir OCMAIL |[]| " + FormulaVistaPrevia(v.filas, true) + " | " +
                                 gConnectDSN +
                                 " | <ausente> | <ausente> | <ausente> | <ausente> | <ausente> |  |  | ");
  EXPECT_EQ(rep.llamadas[2], "Ejecutar 20");
  EXPECT_EQ(op->Cuantos("Modal"), 1);
  EXPECT_EQ(op->Cuantos("MsgBox"), 0);
  // Both orders are listed in the preview.
  EXPECT_NE(rep.UltimoHtml().find(demo::NumeroPedido(0).substr(4, 8)), std::string::npos);
  EXPECT_NE(rep.UltimoHtml().find(demo::NumeroPedido(2).substr(4, 8)), std::string::npos);
}

TEST_F(Vista, SinSeleccionSoloElMensajeYFalloDelReporteAvisado) {
  ReporteGrabado rep;
  InstalarReporte(&rep);
  VistaPrevia sin{{Fila(0, false)}, true};
  sin.CmbVer_Click();
  ASSERT_EQ(rep.llamadas.size(), 1u);
  EXPECT_EQ(rep.llamadas[0], "Destino " + std::to_string(rep.DestinoVentana()));
  ASSERT_EQ(op->Cuantos("MsgBox"), 1);
  EXPECT_EQ(op->pedidos[0].texto, "No Hay Proveedores Seleccionados!!!");
  EXPECT_EQ(op->pedidos[0].estilo, 64);

  fs::remove(app + "/OCMAIL.rpt");
  VistaPrevia falla{{Fila(0)}, true};
  EXPECT_NO_THROW(falla.CmbVer_Click());
  ASSERT_EQ(op->Cuantos("MsgBox"), 2);
  EXPECT_NE(op->pedidos[1].texto.find("OCMAIL"), std::string::npos);
  EXPECT_EQ(op->Cuantos("Modal"), 0);
}

}  // namespace
