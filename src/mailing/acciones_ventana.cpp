#include "mailing/acciones_ventana.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <memory>
#include <string>

#include "mailing/estado_entregas.h"
#include "mailing/frm_ocmailing.h"
#include "mailing/ventana_progreso.h"
#include "mailing/vista_previa.h"
#include "platform/os/rutas.h"

std::vector<FilaDespacho> FilasDeVentana(const frmOCMailing& frm) {
  std::vector<FilaDespacho> filas;
  const int n = frm.CantidadFilas();
  filas.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const FilaPendiente& f = frm.Fila(i);
    filas.push_back({f.Texto(), f.SubItem(colTC), f.SubItem(colIdComprobante), f.SubItem(colMail),
                     frm.FilaMarcada(i), f.SubItem(colRazonSocial), f.SubItem(colEnviado)});
  }
  return filas;
}

void EnviarDesdeVentana(frmOCMailing& frm) {
  if (frm.Enviando()) return;
  const std::vector<FilaDespacho> filas = FilasDeVentana(frm);
  const std::string asunto = frm.TextoCampo("ENCABEZADO");
  const std::string mensaje = frm.TextoCampo("PIEDEPAGINA");
  // The run waits for each mail program on this thread: events go on being processed so
  // the window paints, while the guard keeps its input off and refuses to close it.
  frmOCMailing::EnvioEnCurso enCurso(frm);
  OpcionesDespacho opciones = opcionesDespacho();
  opciones.alEsperar = [previo = opciones.alEsperar] {
    if (previo) previo();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  };
  // More than two orders: their progress over the window, whose "Cancelar" stops the run
  // after the order in hand. It goes before the reload and the summary.
  int marcadas = 0;
  for (const FilaDespacho& f : filas) marcadas += f.marcada;
  std::unique_ptr<VentanaProgreso> progreso;
  opciones.alEmpezarOrden = [&, previo = opciones.alEmpezarOrden](int numero, int total,
                                                                  const FilaDespacho& f) {
    if (previo) previo(numero, total, f);
    if (marcadas <= 2) return;
    if (!progreso) {
      progreso = std::make_unique<VentanaProgreso>(&frm);
      progreso->show();
    }
    progreso->Orden(numero, total, f.razonSocial.empty() ? f.cuenta : f.razonSocial);
  };
  opciones.cancelar = [&, previo = opciones.cancelar] {
    return (previo && previo()) || (progreso && progreso->Cancelada());
  };
  opciones.alTerminar = [&, previo = opciones.alTerminar] {
    if (previo) previo();
    progreso.reset();
  };
  Despacho(opciones).Ejecutar(filas, asunto, mensaje, [&frm] { frm.RecargarLista(); });
  // What the run left in the spool (server down) is retried in the background.
  ReintentarEnSegundoPlano(os::CarpetaAplicacion());
}

void VerDesdeVentana(frmOCMailing& frm) {
  VistaPrevia vista{FilasDeVentana(frm), frm.ConEnvioPendiente()};
  vista.CmbVer_Click();
}

void ConectarEnvioYVista(frmOCMailing& frm) {
  frm.FijarAccionEnviar([](frmOCMailing& f) { EnviarDesdeVentana(f); });
  frm.FijarAccionVer([](frmOCMailing& f) { VerDesdeVentana(f); });
}
