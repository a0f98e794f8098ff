// One ocmail dispatch run as its own process, for the tests that need several at once or a
// run killed in the middle:
//   despacho_proceso <app> <first order> <count> <wait ms> [<step> <n>]
// starts on <app>/demo.db, dispatches the demo orders first..first+count-1 (every prompt
// answered "yes") and prints "<order> <state>" per order. With <step> (0..4, the steps of
// the hand-over) the process kills itself right after the n-th order (1-based) reaches it;
// with "borrar" <n> the n-th order's stamp is cleared as its job is taken. With
// OCMAIL_PRUEBA_PENDIENTES set, orders already stamped are left out, as the default list does.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "companion/companion.h"
#include "data/db_dll.h"
#include "global/contexto.h"
#include "platform/ado/ado.h"
#include "mailing/despacho.h"
#include "ocmail-sql/base_datos.h"
#include "platform/os/rutas.h"
#include "platform/ui/operador_guionado.h"
#include "startup/cargar_parametros.h"

int main(int argc, char** argv) {
  if (argc < 5) return 64;
  const std::string app = argv[1];
  const long primera = std::atol(argv[2]);
  const long cuantas = std::atol(argv[3]);
  OpcionesDespacho opciones;
  opciones.esperaEntrega = std::chrono::milliseconds(std::atol(argv[4]));
  if (argc >= 7 && std::string(argv[5]) == "borrar") {
    // The stamp lost as the job is taken (another program, a write that did not hold).
    const int enesima = std::atoi(argv[6]);
    opciones.alPaso = [enesima, n = 0](PasoEntrega p, const ResultadoOrden& o) mutable {
      if (p != PasoEntrega::Tomada || ++n != enesima) return;
      long afectados = 0;
      canalADO().Execute(*gDB().gCnn,
                         "UPDATE c_mv_cpte SET fechaenviomail = NULL WHERE tc='OC' AND idcomprobante='" +
                             o.idComprobante + "'",
                         &afectados, -1);
    };
  } else if (argc >= 7) {
    const int paso = std::atoi(argv[5]);
    const int enesima = std::atoi(argv[6]);
    opciones.alPaso = [paso, enesima, n = 0](PasoEntrega p, const ResultadoOrden&) mutable {
      if (static_cast<int>(p) == paso && ++n == enesima) ::kill(::getpid(), SIGKILL);
    };
  }

  ui::OperadorGuionado::Instalado op;
  op->respuestaPorDefecto = ui::vbYes;
  os::FijarCarpetaAplicacion(app);
  std::string cs;
  CargarParametros(
      false, "@Server=sqlite;@DbName=" + app + "/demo.db;@Usuario=admin;@Password=x;@UsuarioLogeado=ADMIN;",
      cs, 3);

  SaldarReclamosDe(app);  // as the window's list load does
  namespace demo = ocmailsql::demo;
  std::vector<FilaDespacho> filas;
  for (long i = primera; i < primera + cuantas; ++i) {
    // The stamp as the list shows it: a blue row is sent again on purpose.
    ado::Recordset rs;
    gDB().AbrirRecordset("SELECT FechaEnvioMail FROM c_mv_cpte WHERE TC='OC' AND IdComprobante='" +
                             demo::NumeroPedido(i) + "'",
                         rs, nullptr, ado::adOpenForwardOnly, ado::adLockReadOnly, -1, true);
    const std::string leida = rs.Eof() ? "" : gFunciones().SinNulo(rs.Fields(0L).Value());
    gDB().CierraRecordset(rs);
    if (std::getenv("OCMAIL_PRUEBA_PENDIENTES") && !leida.empty()) continue;  // as the default list
    filas.push_back({demo::ProveedorPedido(i), "OC", demo::NumeroPedido(i),
                     "compras." + demo::ProveedorPedido(i) + "@example.com", true, "", leida});
  }
  // With a barrier, the list is read and the run waits until the test lets every run go.
  if (const char* barrera = std::getenv("OCMAIL_PRUEBA_BARRERA")) {
    std::FILE* listo =
        std::fopen((std::string(barrera) + "." + std::to_string(::getpid()) + ".listo").c_str(), "w");
    if (listo) std::fclose(listo);
    while (::access(barrera, F_OK) != 0) ::usleep(1000);
  }
  const ResultadoDespacho r = Despacho(opciones).Ejecutar(filas, "Orden de compra", "Adjunto OC");
  for (const auto& p : op->pedidos) std::fprintf(stderr, "%s: %s\n", p.tipo.c_str(), p.texto.c_str());
  for (const auto& o : r.ordenes) std::printf("%s %d\n", o.idComprobante.c_str(), static_cast<int>(o.estado));
  std::fflush(stdout);
  std::_Exit(0);  // the shut-down of the suite asks questions; nothing of it is under test
}
