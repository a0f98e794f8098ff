#include "global/contexto.h"

std::string gUsuarioLogeado;
std::string gCaja;
std::string gMenu;
std::string gParametroAdicional;
std::string gClaveEquipo;
double gFlatToolbars = 1;
std::string gConnectDSN;
int32_t gColorFondo = 0xFFFFFF;
int32_t gColorLetra = 0;
int16_t gTimeOut = 360;
int32_t gIdAcceso = 0;
std::string gCarpetaAplicacion;
std::string gArchivoAyuda;
