#pragma once
// The suite's configuration store: key/value rows of the configuration table, in the
// main database and in the statistics database QZ_ESTADISTICAS, and the program-wide
// configuration values loaded once at start.
#include <cstdint>
#include <string>

#include "platform/basic/variant.h"

// Name of the configuration table ("TA_CONFIGURACION" when blank).
extern std::string gTablaConfiguracion;

// Value of a key in the main database; " " (one blank) when the key is missing, "" when
// the main connection is not open. `valorAux` receives the second value.
std::string Cfg(const std::string& clave, std::string& valorAux);
std::string Cfg(const std::string& clave);
// The same on the statistics database.
std::string CfgQZ(const std::string& clave, std::string& valorAux);
std::string CfgQZ(const std::string& clave);
// Writes (adds or replaces) one key in the statistics database. Never reports.
void GrabaCfgQZ(const std::string& clave, const basic::Variant& valor, const std::string& valorAux,
                bool politicaNegocio, const std::string& grupo, bool recortar);
// Opens the statistics connection and fixes gTimeOut (360 unless the database says
// otherwise). Never reports.
void AbrirEstadisticas();
// Loads every program-wide configuration value. Never reports.
void CargarConfiguracion(const std::string& carpetaAplicacion);

// ---- Program-wide configuration values (booleans are -1/0) ----
extern int16_t gMostrarStockenConsultas;
extern std::string gTituloClientes;
extern std::string gTituloProveedores;
extern std::string gArchivoTareas;  // application folder + "QZDOCTareas.qzx"
extern int16_t gEXIGECLAVECONSULTALIKEARTICULOS;
extern int16_t gUsaConsultaLike;
extern std::string gCantidadDecimales;
// SS_CONFIDENCIALIDAD lives in data/db_dll.h (the synonyms read it).
extern int16_t gUsaMultilesMonedas;
extern int16_t gUsaFacturaProforma;
extern int16_t gUSACCOSTO;
extern int16_t gUSA_STK_STOCK_UDKG;
extern std::string gUNegocio;  // the user's business unit, "   1" when blank
extern std::string gUNIDADDEMEDIDA_M3;
extern std::string gUNIDADDEMEDIDA_BL;
extern std::string gUNIDADDEMEDIDA_KG;
extern int16_t gPERIODO;
extern int16_t gRazonSocialPorUneg;
extern int16_t gVALIDACODIGOBARRA;
extern int16_t gModuloOrdenDeTrabajo;
extern int16_t gV_ModificaCPrecio;
extern int16_t gC_ModificaCPrecio;
extern int16_t gMADERERA;
extern std::string gMAD_TIRAS;
extern std::string gMAD_P2;
extern std::string gMAD_ML;
extern std::string gMAD_M2;
extern std::string gMAD_HOJAS;
extern std::string gMAD_ML_P2;
extern std::string gMAD_M2_P2;
extern std::string gMAD_ML_M2;
extern std::string gCuentaCtroDist;
extern basic::Moneda gMaxDto;
extern basic::Moneda gMaxDtoProforma;
extern int16_t gPideClave_StockNeg;
extern int16_t gPideClave_MarkUpBase;
extern int16_t gPideClave_LimiteCredito;
extern int16_t gSS_BloqueoActivo;
extern int16_t gUTILIZARFECHADIA;
extern int16_t gAsignacionAutomaticaDeLoteING;
extern int16_t gAsignacionAutomaticaDeLoteINGOP;
extern int16_t gCONDIVAEMPRESA;
extern std::string gTop_Default;
