#include "mailing/acciones_ventana.h"

#include "mailing/frm_ocmailing.h"
#include "mailing/vista_previa.h"

std::vector<FilaDespacho> FilasDeVentana(const frmOCMailing& frm) {
  std::vector<FilaDespacho> filas;
  const int n = frm.CantidadFilas();
  filas.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const FilaPendiente& f = frm.Fila(i);
    filas.push_back(
        {f.Texto(), f.SubItem(colTC), f.SubItem(colIdComprobante), f.SubItem(colMail), frm.FilaMarcada(i)});
  }
  return filas;
}

void EnviarDesdeVentana(frmOCMailing& frm) {
  Despacho().Ejecutar(FilasDeVentana(frm), frm.TextoCampo("ENCABEZADO"), frm.TextoCampo("PIEDEPAGINA"),
                      [&frm] { frm.RecargarLista(); });
}

void VerDesdeVentana(frmOCMailing& frm) {
  VistaPrevia vista{FilasDeVentana(frm), frm.ConEnvioPendiente()};
  vista.CmbVer_Click();
}

void ConectarEnvioYVista(frmOCMailing& frm) {
  frm.FijarAccionEnviar([](frmOCMailing& f) { EnviarDesdeVentana(f); });
  frm.FijarAccionVer([](frmOCMailing& f) { VerDesdeVentana(f); });
}
