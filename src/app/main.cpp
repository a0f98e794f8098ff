// ocmail: purchase-order mailing. Starts with the launch line the suite's menu passes
// (the arguments after the program name, joined by blanks).
//
//   ocmail "@Server=sqlite; @DbName=demo; @Usuario=admin; @Password=x;"
//   ocmail --medir-arranque <launch line>   prints the seconds from process start to the
//                                           end of the start-up routine and exits
//   ocmail --captura FILE.png <launch line> opens the main window, saves a picture of it
//                                           and exits (run with QT_QPA_PLATFORM=offscreen)
//   ocmail --enviar <launch line> [options]  mails the pending orders without a window
//                                           (docs/mailing.md)
#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <ctime>
#include <fstream>
#include <string>
#include <utility>
#include <vector>
#include <unistd.h>

#include "connection/frm_acceso.h"
#include "startup/acceso.h"
#include "global/apariencia.h"
#include "startup/cargar_parametros.h"
#include "mailing/acciones_ventana.h"
#include "mailing/despacho.h"
#include "mailing/devueltas.h"
#include "platform/ui/operador.h"
#include "mailing/envio_desatendido.h"
#include "mailing/estado_entregas.h"
#include "mailing/frm_ocmailing.h"
#include "platform/ado/ado.h"
#include "platform/os/argumentos.h"
#include "platform/ui/qt/espera_base.h"
#include "platform/os/sistema.h"
#include "platform/os/rutas.h"
#include "platform/ui/qt/operador_qt.h"
#include "reports/qt/vista_previa.h"

namespace {

constexpr const char* kMedirArranque = "--medir-arranque";
constexpr const char* kCaptura = "--captura";
constexpr const char* kEnviar = "--enviar";

// Seconds since this process started (field 22 of /proc/self/stat, in clock ticks since
// boot, against CLOCK_BOOTTIME).
double SegundosDesdeInicioProceso() {
  std::ifstream stat("/proc/self/stat");
  std::string contenido((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const auto cierre = contenido.rfind(')');
  if (cierre == std::string::npos) return -1;
  std::string resto = contenido.substr(cierre + 2);
  unsigned long long inicio = 0;
  int campo = 3;  // resto starts at field 3 (state)
  size_t pos = 0;
  while (campo < 22 && pos != std::string::npos) {
    pos = resto.find(' ', pos);
    if (pos != std::string::npos) ++pos;
    ++campo;
  }
  if (pos == std::string::npos) return -1;
  inicio = std::stoull(resto.substr(pos));
  timespec ahora{};
  clock_gettime(CLOCK_BOOTTIME, &ahora);
  const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
  return static_cast<double>(ahora.tv_sec) + ahora.tv_nsec / 1e9 - inicio / ticks;
}

}  // namespace

int main(int argc, char** argv) {
  os::DesactivarVolcados();
  // The password leaves the process list before Qt starts (a display may be slow to
  // answer). The arguments are read from copies kept by address: QApplication takes its
  // own options out of argv but leaves the others' pointers as they were.
  std::vector<std::pair<const char*, std::string>> copias;
  for (int i = 0; i < argc; ++i) copias.emplace_back(argv[i], argv[i]);
  os::OcultarClaveEnArgumentos(argc, argv);
  auto original = [&copias](const char* a) {
    for (const auto& [p, s] : copias)
      if (p == a) return s;
    return std::string(a);
  };

  // Without a window, for scheduled sending: no display is needed or looked for.
  if (argc > 1 && original(argv[1]) == kEnviar) {
    std::vector<std::string> args;
    for (int i = 2; i < argc; ++i) args.push_back(original(argv[i]));
    OpcionesEnvioDesatendido opciones;
    std::string error;
    if (!LeerArgumentosEnvio(args, opciones, error)) {
      std::fprintf(stderr, "ocmail: %s\n%s", error.c_str(), kUsoEnviar);
      return kEnvioFallido;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);  // Qt printing, for PDF attachments
    reporte::InstalarEscritorPdfQt();
    return EnviarDesatendido(opciones, std::cout, std::cerr);
  }

  QApplication app(argc, argv);
  // A database another program holds: the windows keep painting, and the operator may cancel.
  ado::FijarAlEsperarBase(ui::EsperarBaseQt);
  ui::InstalarOperadorQt();
  InstalarVentanaAccesoQt();
  reporte::InstalarVistaPreviaQt();

  bool medir = false;
  std::string captura;
  std::string linea;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = original(argv[i]);
    if (arg == kMedirArranque && !medir) {
      medir = true;
      continue;
    }
    if (arg == kCaptura && captura.empty() && i + 1 < argc) {
      captura = original(argv[++i]);
      continue;
    }
    if (!linea.empty()) linea += ' ';
    linea += arg;
  }

  if (medir) {
    std::string connString;
    CargarParametros(false, linea, connString, 3);
    std::printf("%.6f\n", SegundosDesdeInicioProceso());
    std::fflush(stdout);
    CerrarSistemaSinSalir();
    return 0;
  }

  // The main window runs the start-up itself (CargarParametros, icon, skin, first load).
  frmOCMailing ventana;
  ConectarEnvioYVista(ventana);  // "&Enviar" and "&Ver"
  ventana.LineaComando = linea;
  ventana.Form_Load();
  ventana.show();
  if (!captura.empty()) {
    QApplication::processEvents();
    const bool guardada = ventana.grab().save(QString::fromStdString(captura), "PNG");
    if (!guardada) std::fprintf(stderr, "No se pudo guardar la captura en %s\n", captura.c_str());
    CerrarSistemaSinSalir();
    return guardada ? 0 : 1;
  }
  // Mails left in the spool by an earlier session go out without waiting for a run.
  // What failed or bounced since the last session, said once.
  const std::string fallidas = TextoFallidasNuevas(os::CarpetaAplicacion(), ventana.Entregas);
  if (!fallidas.empty())
    QTimer::singleShot(0, [fallidas] {
      ui::operador().MsgBox(fallidas, int{ui::vbOKOnly} + int{ui::vbExclamation}, "Aviso al Usuario");
    });
  QTimer::singleShot(0, [] {
    ReintentarEnSegundoPlano(os::CarpetaAplicacion());
    RevisarBuzonEnSegundoPlano(os::CarpetaAplicacion());  // bounces and replies since last time
  });
  return app.exec();
}
