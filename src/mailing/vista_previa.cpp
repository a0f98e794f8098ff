#include "mailing/vista_previa.h"

#include "reports/reporte.h"
#include "global/contexto.h"
#include "platform/basic/error.h"
#include "platform/ui/operador.h"
#include "platform/basic/texto.h"

namespace {
constexpr const char* kTitulo = "Aviso al Usuario";
}

std::string FormulaVistaPrevia(const std::vector<FilaDespacho>& filas, bool conEnvioPendiente,
                               bool* marcado) {
  std::string formula;
  bool hay = false;
  const size_t n = filas.size();  // taken once
  for (size_t i = 0; i < n; ++i) {
    const FilaDespacho& f = filas[i];
    if (!f.marcada) continue;
    if (hay) formula += " OR ";
    formula += "{V_OC_pendientes.Cuenta} = '" + basic::DoblarComillas(f.cuenta) +
               "' AND {V_OC_pendientes.TC} ='" + basic::DoblarComillas(f.tc) +
               "' AND {V_OC_pendientes.IDCOMPROBANTE}='" + basic::DoblarComillas(f.idComprobante) + "'";
    hay = true;
  }
  if (conEnvioPendiente) formula += " and isnull({V_OC_pendientes.fechaenviomail})";
  if (marcado) *marcado = hay;
  return formula;
}

bool VistaPrevia::Aceptar() {
  bool marcado = false;
  const std::string formula = FormulaVistaPrevia(filas, conEnvioPendiente, &marcado);
  if (!marcado) {
    ui::operador().MsgBox("No Hay Proveedores Seleccionados!!!", int{ui::vbOKOnly} + int{ui::vbInformation},
                          kTitulo);
    return false;
  }
  Reporte& rep = gReporte();
  rep.Imprimir("OCMAIL", {""}, formula, gConnectDSN, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
               std::nullopt, "", "", "");
  rep.Ejecutar(int16_t{Reporte::kEjecutarReporte});
  return true;
}

void VistaPrevia::CmbVer_Click() {
  std::string error;
  try {
    Reporte& rep = gReporte();
    rep.Destino(rep.DestinoVentana());
    Aceptar();
    return;
  } catch (const ErrorEjecucion& e) {
    error = e.Description;
  } catch (const std::exception& e) {
    error = e.what();
  }
  ui::operador().MsgBox("No se pudo mostrar el reporte OCMAIL:\n" + error,
                        int{ui::vbOKOnly} + int{ui::vbCritical}, kTitulo);
}
