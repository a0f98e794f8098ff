#include "support/estado_global.h"

#include "banner/dll_display.h"
#include "companion/companion.h"
#include "data/db_dll.h"
#include "data/ventana_acceso.h"
#include "global/configuracion.h"
#include "global/contexto.h"
#include "global/sql_texto.h"
#include "lookup/lib_clscons3.h"
#include "platform/os/procesos.h"
#include "platform/os/rutas.h"
#include "platform/os/sistema.h"
#include "reports/reporte.h"
#include "reports/vista_reporte.h"
#include "startup/acceso.h"

void ReiniciarEstadoGlobal() {
  InstalarReporte(nullptr);
  reporte::InstalarFabricaVistaReporte(nullptr);
  InstalarCanalADO(nullptr);
  InstalarFabricaVentanaAcceso(nullptr);
  LiberarInstanciasDB();
  LiberarCompanion();
  LiberarReporte();
  LiberarDisplay();
  gClsCons3().gConnString.clear();
  gClsCons3().gRutaMascaraConsultas.clear();
  gClsCons3().gUsarMascarasConsultas = false;
  gUsuarioLogeado.clear();
  gCaja.clear();
  gMenu.clear();
  gParametroAdicional.clear();
  gClaveEquipo.clear();
  gFlatToolbars = 1;
  gConnectDSN.clear();
  gColorFondo = 0xFFFFFF;
  gColorLetra = 0;
  gTimeOut = 360;
  gIdAcceso = 0;
  gTablaConfiguracion.clear();
  gCamposSentencia.clear();
  os::InstalarProcesos(nullptr);
  os::InstalarSistema(nullptr);
  os::FijarCarpetaAplicacion("");
}
