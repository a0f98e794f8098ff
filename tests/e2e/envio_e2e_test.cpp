// End to end, offscreen: the main window on the embedded demo database, "&Enviar" and
// "&Ver" wired as the program wires them, the real report engine, and the mail program:
// a stand-in that waits before reading its job, then the real tspost with the demo's
// workstation settings (no server: the messages go to the outbox) and against a loopback
// SMTP server that is down at the run and up for the retry.
#include <QAbstractItemModel>
#include <QBrush>
#include <QCheckBox>
#include <QGroupBox>
#include <QJsonArray>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>

#include "companion/rutas_correo.h"
#include "mailing/acciones_ventana.h"
#include "mailing/despacho.h"
#include "mailing/despacho_soporte.h"
#include "mailing/frm_ocmailing.h"
#include "mailing/modelo_proveedores.h"
#include "reports/escritor_pdf.h"
#include "reports/qt/vista_previa.h"
#include "support/estado_global.h"
#include "carpeta_demo.h"
#include "support/lanzar.h"
#include "support/puertos.h"
#include "support/servidor_smtp.h"
#include "platform/basic/archivos.h"
#include "platform/basic/correo.h"
#include "platform/basic/diario_entregas.h"
#include "platform/os/rutas.h"

namespace {

using namespace despacho_prueba;

// A mail program that takes its job only when the window's events are processed: its
// start posts the taking as an event. `alTomar` runs in that event, before the taking.
struct CorreoPorEventos : CorreoFalso {
  std::function<void()> alTomar;
  QObject contexto;  // pending takings go with the stand-in

  CorreoPorEventos() {
    tomar = false;
    vive = true;
  }
  long Iniciar(const std::string& linea, int estilo) override {
    const long pid = CorreoFalso::Iniciar(linea, estilo);
    QTimer::singleShot(0, &contexto, [this] {
      if (alTomar) alTomar();
      fs::remove(trabajo);
    });
    return pid;
  }
};

// The real processes, each start recorded so that a test can wait for them.
struct ProcesosVistos : os::Procesos {
  std::vector<long> iniciados;
  long Iniciar(const std::string& linea, int estilo) override {
    iniciados.push_back(os::Procesos::Iniciar(linea, estilo));
    return iniciados.back();
  }
  bool Terminaron() {
    for (long pid : iniciados)
      if (Vive(pid)) return false;
    return true;
  }
};

class EnvioDesdeVentana : public ::testing::Test {
 protected:
  TempDir raiz;
  std::string app;
  Reloj reloj;
  ui::OperadorGuionado::Instalado op;
  std::unique_ptr<frmOCMailing> v;

  void SetUp() override {
    app = raiz / "Compras OC";
    CrearCarpetaDemo(app);
    os::FijarCarpetaAplicacion(app);
    os::InstalarSistema(&reloj);
  }

  void Abrir(const std::string& clave = "x") {
    v = std::make_unique<frmOCMailing>();
    v->LineaComando =
        "@Server=sqlite;@DbName=demo;@Usuario=admin;@Password=" + clave + ";@UsuarioLogeado=ADMIN;";
    v->Form_Load();
    ConectarEnvioYVista(*v);
    ASSERT_EQ(op->Cuantos("MsgBox"), 0);
    ASSERT_GT(v->CantidadFilas(), 2);
  }

  void TearDown() override {
    reporte::InstalarEscritorPdf(nullptr);
    // A test's stand-in mail program is gone by now.
    os::InstalarProcesos(nullptr);
    opcionesDespacho() = {};
    v.reset();
    CerrarSistemaSinSalir();
    ReiniciarEstadoGlobal();
  }

  // Checks only the first `n` rows; returns their (supplier, document) pairs.
  std::vector<std::pair<std::string, std::string>> MarcarPrimeras(int n) {
    std::vector<std::pair<std::string, std::string>> r;
    for (int i = 0; i < v->CantidadFilas(); ++i) {
      v->MarcarFila(i, i < n);
      if (i < n) r.emplace_back(v->Fila(i).Texto(), v->Fila(i).SubItem(colIdComprobante));
    }
    return r;
  }
  bool EnLista(const std::string& id) const {
    for (int i = 0; i < v->CantidadFilas(); ++i)
      if (v->Fila(i).SubItem(colIdComprobante) == id) return true;
    return false;
  }
  std::string Carpeta() const { return app + "/E-MAILS/ENVIOS/21-05-2026/14.03.11"; }
};

TEST_F(EnvioDesdeVentana, DosFilasMarcadasVistaYSinSeleccion) {
  const std::string copias = raiz / "copias";
  EscribirCorreoGuion(app, copias, 0.3);
  Abrir();
  const int antes = v->CantidadFilas();
  const auto ordenes = MarcarPrimeras(2);
  v->Campo("ENCABEZADO")->SetText("Orden de compra");
  v->Campo("PIEDEPAGINA")->SetText("Adjunto OC\nSaludos");

  v->CmbVer_Click();
  EXPECT_EQ(op->Cuantos("Modal"), 1);
  EXPECT_EQ(op->Cuantos("MsgBox"), 0);

  v->CmdEnviar_Click();
  EXPECT_EQ(Avisos(op.op), 0) << op->pedidos[0].texto;
  ASSERT_EQ(Resumenes(op.op), 1);
  EXPECT_EQ(op->pedidos.back().texto, "Envío terminado.\n\n2 órdenes enviadas al programa de correo.");
  for (size_t k = 0; k < ordenes.size(); ++k) {
    const auto& [cuenta, id] = ordenes[k];
    const std::string html = Carpeta() + "/" + cuenta + "-" + id + ".html";
    EXPECT_TRUE(fs::is_regular_file(html)) << html;
    const std::string trabajo = ReadBytes(copias + "/" + std::to_string(k) + ".txt");
    EXPECT_NE(trabajo.find("MENSAJE=Adjunto OC\r\nMENSAJE=\nSaludos\r\nARCHIVO=" + html + "\r\n"),
              std::string::npos)
        << trabajo;
    EXPECT_FALSE(EnLista(id)) << id;  // reloaded: mailed orders left the list
  }
  EXPECT_EQ(v->CantidadFilas(), antes - 2);

  // Nothing checked: the folder levels and the message only.
  for (int i = 0; i < v->CantidadFilas(); ++i) v->MarcarFila(i, false);
  fs::remove_all(app + "/E-MAILS");
  v->CmdEnviar_Click();
  EXPECT_TRUE(fs::is_directory(Carpeta()));
  ASSERT_EQ(op->Cuantos("MsgBox"), 2);  // no summary
  EXPECT_EQ(op->pedidos.back().texto, "No Hay Proveedores Seleccionados!!!");
  EXPECT_EQ(v->CantidadFilas(), antes - 2);
}

// The run waits for each mail program on the window's thread; meanwhile the window's
// events go on (it paints) but its input is off: no second run, no preview, no reload, no
// closing. Everything comes back when the run ends.
TEST_F(EnvioDesdeVentana, MientrasEsperaAlCorreoLaVentanaAtiendeEventosSinOtraCorrida) {
  Abrir();
  v->show();
  CorreoPorEventos correo;
  correo.trabajo = RutaTrabajoCorreo(app);
  os::InstalarProcesos(&correo);
  int vistas = 0, recargas = 0;
  v->FijarAccionVer([&](frmOCMailing&) { ++vistas; });
  QObject::connect(v->ListProveedoresModelo, &QAbstractItemModel::modelReset, [&] { ++recargas; });
  const int antes = v->CantidadFilas();
  MarcarPrimeras(2);
  QWidget* entradas[] = {
      v->Frame2, v->Frame3,    v->ListProveedores, v->chkConEnvioPendiente, v->cmdCargarProveedores,
      v->CmbVer, v->CmdEnviar, v->CmdSalir};

  int tomas = 0, recargasDurante = -1;
  bool entradasApagadas = false, ventanaHabilitada = false;
  correo.alTomar = [&] {
    if (++tomas > 1) return;
    ventanaHabilitada = v->isEnabled();  // the parent of the operator's message boxes
    entradasApagadas = true;
    for (QWidget* w : entradas) entradasApagadas &= !w->isEnabled();
    QTest::mouseClick(v->CmdEnviar, Qt::LeftButton);
    v->CmdEnviar_Click();
    EnviarDesdeVentana(*v);
    v->CmbVer_Click();
    v->cmdCargarProveedores_Click();
    recargasDurante = recargas;
    QTest::keyClick(v.get(), Qt::Key_Escape);
    v->close();
  };
  QTest::mouseClick(v->CmdEnviar, Qt::LeftButton);

  EXPECT_EQ(tomas, 2);                  // each job was taken by an event delivered during the wait
  EXPECT_EQ(correo.lineas.size(), 2u);  // one run: one mail program per checked order
  EXPECT_TRUE(ventanaHabilitada);
  EXPECT_TRUE(entradasApagadas);
  EXPECT_EQ(vistas, 0);
  EXPECT_EQ(recargasDurante, 0);
  EXPECT_TRUE(v->isVisible());
  EXPECT_EQ(op->Cuantos("Fin"), 0);
  EXPECT_EQ(Avisos(op.op), 0) << op->pedidos[0].texto;
  EXPECT_EQ(v->CantidadFilas(), antes - 2);
  EXPECT_FALSE(v->Enviando());
  for (QWidget* w : entradas) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
}

TEST_F(EnvioDesdeVentana, UnaCorridaQueFallaDejaLaVentanaComoEstaba) {
  Abrir();
  v->show();
  CorreoFalso correo;
  correo.trabajo = RutaTrabajoCorreo(app);
  os::InstalarProcesos(&correo);
  MarcarPrimeras(1);
  v->txtFields_GotFocus(v->Campo("ENCABEZADO")->Index);
  ASSERT_FALSE(v->cmdConsultar->isEnabled());
  opcionesDespacho().alEsperar = [] { throw ErrorEjecucion(7, "Memoria insuficiente"); };
  v->CmdEnviar_Click();
  ASSERT_EQ(op->Cuantos("MsgBox"), 1);
  EXPECT_NE(op->pedidos[0].titulo.find("CmdEnviar_Click"), std::string::npos);
  EXPECT_FALSE(v->Enviando());
  QWidget* entradas[] = {v->Frame2, v->Frame3, v->ListProveedores, v->CmdEnviar, v->CmdSalir};
  for (QWidget* w : entradas) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
  EXPECT_FALSE(v->cmdConsultar->isEnabled());  // as it was for the subject field
  // And the next click runs again.
  opcionesDespacho().alEsperar = nullptr;
  v->CmdEnviar_Click();
  EXPECT_EQ(correo.lineas.size(), static_cast<size_t>(1));
}

// The demo set-up: tspost beside the program with the demo's settings leaves one .eml per
// mailed order in the outbox, with the order attached.
TEST_F(EnvioDesdeVentana, ConTspostLosMensajesQuedanEnLaSalida) {
  fs::copy_file(TSPOST_PROGRAMA, app + "/tspost");
  Abrir();
  const auto ordenes = MarcarPrimeras(2);
  v->Campo("ENCABEZADO")->SetText("Orden de compra");
  v->Campo("PIEDEPAGINA")->SetText("Adjunto la orden.");
  v->CmdEnviar_Click();
  EXPECT_EQ(Avisos(op.op), 0) << op->pedidos[0].texto;

  // tspost runs on its own: wait (bounded) for its two outcomes in the log.
  const std::string salida = app + "/CORREO/SALIDA";
  std::vector<std::string> eml;
  for (int intento = 0; intento < 400 && eml.size() < 2; ++intento) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    eml.clear();
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(salida, ec))
      if (e.path().extension() == ".eml") eml.push_back(e.path());
  }
  ASSERT_EQ(eml.size(), 2u) << ReadBytes(app + "/TSPOST.LOG");
  std::string todos;
  for (const auto& e : eml) todos += ReadBytes(e);
  for (const auto& [cuenta, id] : ordenes)
    EXPECT_NE(todos.find(cuenta + "-" + id + ".html"), std::string::npos) << id;
  EXPECT_NE(todos.find("Subject: Orden de compra"), std::string::npos);
}

// The server is down during the run: the five mails wait in the spool and the summary, the
// journal and the window say so. Once the server is up, one retry delivers each mail once
// and the window shows them sent.
TEST_F(EnvioDesdeVentana, ConElServidorCaidoLosCorreosEsperanYElReintentoLosEntrega) {
  fs::copy_file(TSPOST_PROGRAMA, app + "/tspost");
  const int puerto = PuertoLibre();  // nobody listens yet
  std::string ini = ReadBytes(app + "/TM440kv.INI");
  ini.replace(ini.find("Servidor="), 9, "Puerto=" + std::to_string(puerto) + "\r\nServidor=127.0.0.1");
  WriteBytes(app + "/TM440kv.INI", ini);
  ProcesosVistos procesos;
  os::InstalarProcesos(&procesos);
  Abrir();

  std::vector<std::pair<std::string, std::string>> ordenes;
  std::multiset<std::string> adjuntos;
  for (int i = 0; i < v->CantidadFilas(); ++i) {
    const bool marcar = ordenes.size() < 5 && basic::DireccionCorreoValida(v->Fila(i).SubItem(colMail));
    v->MarcarFila(i, marcar);
    if (!marcar) continue;
    ordenes.emplace_back(v->Fila(i).Texto(), v->Fila(i).SubItem(colIdComprobante));
    adjuntos.insert(NombreArchivoOrden(ordenes.back().first, ordenes.back().second));
  }
  ASSERT_EQ(ordenes.size(), 5u);
  v->Campo("ENCABEZADO")->SetText("Orden de compra");
  v->Campo("PIEDEPAGINA")->SetText("Adjunto la orden.");
  v->CmdEnviar_Click();
  EXPECT_EQ(Avisos(op.op), 0) << op->pedidos[0].texto;
  ASSERT_EQ(Resumenes(op.op), 1);
  EXPECT_EQ(op->pedidos.back().texto,
            "Envío terminado.\n\n5 órdenes enviadas al programa de correo.\n"
            "5 mails esperan en la cola del programa de correo.");

  // The five mail programs and the background retry run on their own.
  for (int i = 0; i < 400 && !procesos.Terminaron(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(procesos.Terminaron());
  EXPECT_EQ(procesos.iniciados.size(), 6u);
  const std::string diario = app + "/CORREO/ENTREGAS.TXT";
  const auto pendientes = basic::LeerDiarios(diario);
  std::multiset<std::string> archivos;
  for (const auto& l : pendientes) {
    EXPECT_EQ(l.resultado, basic::kEntregaPendiente) << l.archivo << " " << l.detalle;
    archivos.insert(l.archivo);
  }
  EXPECT_EQ(archivos, adjuntos);

  auto fila = [&](const std::string& id) {
    for (int f = 0; f < v->CantidadFilas(); ++f)
      if (v->Fila(f).SubItem(colIdComprobante) == id) return f;
    ADD_FAILURE() << "falta la orden " << id;
    return 0;
  };
  auto color = [&](const std::string& id, int rol) {
    const QVariant c = v->ListProveedoresModelo->index(fila(id), colRazonSocial).data(rol);
    return c.isValid() ? c.value<QBrush>().color().name().toStdString() : std::string("ninguno");
  };
  v->chkConEnvioPendiente->setChecked(false);  // reloads, mailed orders listed
  for (const auto& [cuenta, id] : ordenes) EXPECT_EQ(color(id, Qt::BackgroundRole), "#ffff80") << id;
  EXPECT_THAT(v->EstadoCola->text().toStdString(),
              ::testing::StartsWith("5 mails esperan en la cola de envío"));

  ServidorSmtp smtp(puerto, raiz / "recibidos");
  ASSERT_TRUE(smtp.Listo()) << "no arranca " << Python() << " " << ScriptSmtp() << " (python3-aiosmtpd)";
  // The test's clock: every mail's turn has come. Then only the window's timer, no click
  // and no restart: it starts the mail program's retry, which delivers the spool.
  const std::string cola = LeerRutasCorreo(app).carpetaPendientes;
  for (const auto& e : std::filesystem::directory_iterator(cola)) {
    if (e.path().extension() != ".sobre") continue;
    std::string t = ReadBytes(e.path().string());
    const size_t p = t.find("PROXIMO_INTENTO=");
    ASSERT_NE(p, std::string::npos) << t;
    t.replace(p + 16, 19, "2000-01-01 00:00:00");
    WriteBytes(e.path().string(), t);
  }
  v->TemporizadorRevision()->start(20);
  for (int i = 0; i < 1000 && smtp.Mensajes().size() < 5; ++i) QTest::qWait(20);
  v->TemporizadorRevision()->stop();
  for (int i = 0; i < 400 && !procesos.Terminaron(); ++i) QTest::qWait(20);

  std::multiset<std::string> recibidos;
  for (const QJsonObject& m : smtp.Mensajes())
    for (const auto& a : m.value("attachments").toArray())
      recibidos.insert(a.toObject().value("filename").toString().toStdString());
  EXPECT_EQ(smtp.Mensajes().size(), 5u);
  EXPECT_EQ(recibidos, adjuntos);
  const auto lineas = basic::LeerDiarios(diario);
  EXPECT_EQ(lineas.size(), 10u);
  for (const auto& [archivo, l] : basic::UltimoEstadoPorArchivo(lineas))
    EXPECT_EQ(l.resultado, basic::kEntregaEnviado) << archivo;

  v->cmdCargarProveedores->click();
  for (const auto& [cuenta, id] : ordenes) {
    EXPECT_EQ(color(id, Qt::BackgroundRole), "ninguno") << id;
    EXPECT_EQ(color(id, Qt::ForegroundRole), "#0000ff") << id;
  }
  EXPECT_TRUE(v->EstadoCola->text().isEmpty()) << v->EstadoCola->text().toStdString();
}

// With Adjunto=PDF each supplier receives its order as a PDF (application/pdf) whose text
// holds the order number and the supplier's name with its accents.
TEST_F(EnvioDesdeVentana, ConAdjuntoPdfCadaProveedorRecibeSuOrdenEnPdf) {
  reporte::InstalarEscritorPdfQt();
  fs::copy_file(TSPOST_PROGRAMA, app + "/tspost");
  const int puerto = PuertoLibre();
  ServidorSmtp smtp(puerto, raiz / "recibidos");
  ASSERT_TRUE(smtp.Listo());
  std::string ini = ReadBytes(app + "/TM440kv.INI");
  ini.replace(ini.find("Servidor="), 9,
              "Adjunto=PDF\r\nPuerto=" + std::to_string(puerto) + "\r\nServidor=127.0.0.1");
  WriteBytes(app + "/TM440kv.INI", ini);
  ProcesosVistos procesos;
  os::InstalarProcesos(&procesos);
  Abrir();

  // Three orders with valid addresses, among them a supplier with accents in its name.
  std::map<std::string, std::string> razonPorPdf;  // attachment name -> supplier name
  for (int i = 0; i < v->CantidadFilas(); ++i) {
    const std::string razon = v->Fila(i).SubItem(colRazonSocial);
    const bool acentos = razon.find_first_of("\xc3") != std::string::npos;
    const bool marcar = basic::DireccionCorreoValida(v->Fila(i).SubItem(colMail)) &&
                        (razonPorPdf.size() < 2 || (acentos && razonPorPdf.size() < 3));
    v->MarcarFila(i, marcar);
    if (marcar) {
      const std::string html = NombreArchivoOrden(v->Fila(i).Texto(), v->Fila(i).SubItem(colIdComprobante));
      razonPorPdf[html.substr(0, html.size() - 5) + ".pdf"] = razon;
    }
  }
  ASSERT_EQ(razonPorPdf.size(), 3u);
  v->Campo("ENCABEZADO")->SetText("Orden de compra");
  v->Campo("PIEDEPAGINA")->SetText("Adjunto la orden.");
  v->CmdEnviar_Click();
  EXPECT_EQ(Avisos(op.op), 0) << op->pedidos[0].texto;
  for (int i = 0; i < 600 && !procesos.Terminaron(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(procesos.Terminaron());

  const auto mensajes = smtp.Mensajes();
  ASSERT_EQ(mensajes.size(), 3u) << ReadBytes(app + "/TSPOST.LOG");
  std::set<std::string> vistos;
  for (const QJsonObject& m : mensajes) {
    const auto adjuntos = m.value("attachments").toArray();
    ASSERT_EQ(adjuntos.size(), 1);
    const QJsonObject a = adjuntos[0].toObject();
    const std::string nombre = a.value("filename").toString().toStdString();
    EXPECT_EQ(a.value("content_type").toString().toStdString(), "application/pdf") << nombre;
    ASSERT_TRUE(razonPorPdf.count(nombre)) << nombre;
    vistos.insert(nombre);
    const std::string pdf = raiz / nombre;
    WriteBytes(pdf, QByteArray::fromBase64(a.value("data").toString().toLatin1()).toStdString());
    ASSERT_EQ(std::system(("pdftotext -enc UTF-8 '" + pdf + "' '" + pdf + ".txt'").c_str()), 0);
    const std::string texto = ReadBytes(pdf + ".txt");
    const std::string numero = nombre.substr(nombre.find('-') + 1, nombre.size() - nombre.find('-') - 5);
    EXPECT_NE(texto.find("N° " + numero), std::string::npos) << texto;
    EXPECT_NE(texto.find(razonPorPdf[nombre]), std::string::npos) << razonPorPdf[nombre] << "\n" << texto;
    // The HTML stays beside it in the run's folder.
    EXPECT_TRUE(fs::exists(Carpeta() + "/" + nombre.substr(0, nombre.size() - 4) + ".html")) << nombre;
  }
  EXPECT_EQ(vistos.size(), 3u);
}

// Adjunto with another value: nothing is sent, the operator is told why.
TEST_F(EnvioDesdeVentana, ConUnAdjuntoDesconocidoNoSeEnviaNada) {
  std::string ini = ReadBytes(app + "/TM440kv.INI");
  ini.replace(ini.find("Servidor="), 9, "Adjunto=DOCX\r\nServidor=");
  WriteBytes(app + "/TM440kv.INI", ini);
  Abrir();
  MarcarPrimeras(2);
  v->CmdEnviar_Click();
  ASSERT_EQ(op->Cuantos("MsgBox"), 1);
  EXPECT_EQ(
      op->pedidos.back().texto,
      "El valor Adjunto=DOCX de la sección [CORREO] de TM440kv.INI no es válido: escriba HTML o PDF.\n\n"
      "No se envió ninguna orden.");
  EXPECT_FALSE(fs::exists(app + "/CORREO"));
}

// Every form in which a secret could have been written: its UTF-8 and Windows-1252 bytes,
// and for each the base64 text of its bytes at the three alignments a longer text can
// give them (so the XOAUTH2 string, which holds the token, is covered too).
std::vector<std::string> FormasDe(const std::string& secreto) {
  std::vector<std::string> r;
  for (const std::string& b : {secreto, basic::AWindows1252(secreto)}) {
    r.push_back(b);
    for (size_t k = 0; k < 3; ++k) {
      const std::string enc = QByteArray::fromStdString(std::string(k, '\0') + b).toBase64().toStdString();
      // Only the characters made of the secret's bits alone.
      const size_t desde = (8 * k + 5) / 6, hasta = (8 * (k + b.size())) / 6;
      r.push_back(enc.substr(desde, hasta - desde));
    }
  }
  return r;
}

// A dispatch with an SMTP password (ArchivoClave), then one with an OAuth token
// (TokenComando), the database password on the launch line: no file under the application
// folder, the temp folder or the received mails, and nothing the programs printed, holds
// any of them in any form.
TEST_F(EnvioDesdeVentana, NingunSecretoQuedaEnLoQueEscribenLosProgramas) {
  const std::string claveSmtp = "smtp S3creto; \u00f1and\u00fa = x";
  const std::string token = "ya29.t0kenS3creto-_~+/";
  const std::string claveBase = "baseS3creta=\u00f1\u00fa";
  const std::string casa = raiz / "casa", tmp = raiz / "tmp", salida = raiz / "salida.txt";
  fs::create_directories(casa);
  fs::create_directories(tmp);
  WriteBytes(casa + "/clave-smtp", claveSmtp + "\n");
  chmod((casa + "/clave-smtp").c_str(), 0600);
  WriteBytes(casa + "/token.sh", "#!/bin/sh\necho '" + token + "'\n");
  chmod((casa + "/token.sh").c_str(), 0700);
  fs::copy_file(TSPOST_PROGRAMA, app + "/tspost");
  const std::string iniDemo = ReadBytes(app + "/TM440kv.INI");
  auto escribirIni = [&](int puerto, const std::string& login) {
    std::string ini = iniDemo;
    ini.replace(ini.find("Servidor="), 9,
                "Puerto=" + std::to_string(puerto) + "\r\n" + login + "Servidor=127.0.0.1");
    WriteBytes(app + "/TM440kv.INI", ini);
    chmod((app + "/TM440kv.INI").c_str(), 0600);
  };
  const int puertoClave = PuertoLibre();
  ServidorSmtp smtpClave(puertoClave, raiz / "recibidos-clave", {"auth", "compras", claveSmtp});
  ASSERT_TRUE(smtpClave.Listo());
  const int puertoToken = PuertoLibre();
  ServidorSmtp smtpToken(puertoToken, raiz / "recibidos-token", {"xoauth2", "compras@empresa.com", token});
  ASSERT_TRUE(smtpToken.Listo());

  // The programs get their own home and temp folder; what they print goes to a file.
  const std::map<std::string, std::string> entorno{{"HOME", casa}, {"TMPDIR", tmp}};
  std::map<std::string, std::optional<std::string>> antes;
  for (const auto& [k, val] : entorno) {
    const char* a = std::getenv(k.c_str());
    antes[k] = a ? std::optional<std::string>(a) : std::nullopt;
    setenv(k.c_str(), val.c_str(), 1);
  }
  std::fflush(stdout);
  std::fflush(stderr);
  const int copia1 = dup(1), copia2 = dup(2);
  const int fd = open(salida.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  dup2(fd, 1);
  dup2(fd, 2);
  close(fd);

  ProcesosVistos procesos;
  os::InstalarProcesos(&procesos);
  auto enviarDos = [&] {
    int marcadas = 0;
    for (int i = 0; i < v->CantidadFilas(); ++i) {
      const bool marcar = marcadas < 2 && basic::DireccionCorreoValida(v->Fila(i).SubItem(colMail));
      v->MarcarFila(i, marcar);
      marcadas += marcar;
    }
    v->Campo("ENCABEZADO")->SetText("Orden de compra");
    v->Campo("PIEDEPAGINA")->SetText("Adjunto la orden.");
    v->CmdEnviar_Click();
    for (int i = 0; i < 600 && !procesos.Terminaron(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
  };
  escribirIni(puertoClave, "Usuario=compras\r\nArchivoClave=" + casa + "/clave-smtp\r\n");
  Abrir(claveBase);
  enviarDos();
  escribirIni(puertoToken, "Usuario=compras@empresa.com\r\nAutenticacion=XOAUTH2\r\nTokenComando=" + casa +
                               "/token.sh\r\n");
  enviarDos();
  const bool terminaron = procesos.Terminaron();
  v.reset();
  CerrarSistemaSinSalir();

  std::fflush(stdout);
  std::fflush(stderr);
  dup2(copia1, 1);
  dup2(copia2, 2);
  close(copia1);
  close(copia2);
  for (const auto& [k, a] : antes) a ? (void)setenv(k.c_str(), a->c_str(), 1) : (void)unsetenv(k.c_str());

  ASSERT_TRUE(terminaron);
  EXPECT_EQ(smtpClave.Mensajes().size(), 2u) << ReadBytes(app + "/TSPOST.LOG");
  EXPECT_EQ(smtpToken.Mensajes().size(), 2u) << ReadBytes(app + "/TSPOST.LOG");

  std::vector<std::string> archivos{salida};
  for (const std::string& carpeta :
       {app, tmp, std::string(raiz / "recibidos-clave"), std::string(raiz / "recibidos-token")})
    for (const auto& e : fs::recursive_directory_iterator(carpeta))
      if (e.is_regular_file()) archivos.push_back(e.path());
  ASSERT_GT(archivos.size(), 10u);
  for (const std::string& secreto : {claveSmtp, token, claveBase})
    for (const std::string& forma : FormasDe(secreto))
      for (const auto& a : archivos)
        EXPECT_EQ(ReadBytes(a).find(forma), std::string::npos) << "«" << forma << "» en " << a;
}

}  // namespace
