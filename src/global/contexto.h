#pragma once
// The launch context: program-wide values written at start-up and read afterwards.
#include <cstdint>
#include <string>

extern std::string gUsuarioLogeado;      // user working in the program (the connection's user once connected)
extern std::string gCaja;                // cash-register number
extern std::string gMenu;                // menu value, kept for the suite
extern std::string gParametroAdicional;  // free additional parameter, kept for the suite
extern std::string gClaveEquipo;         // "COMPUTER|USER", at most 50 characters
extern double gFlatToolbars;             // toolbar style number from TM440kv.INI
extern std::string gConnectDSN;          // "DSN=db; UID=user; PWD=password" for the report engine
extern int32_t gColorFondo;              // 0x00BBGGRR
extern int32_t gColorLetra;              // 0x00BBGGRR
extern int16_t gTimeOut;                 // query time-out in seconds
extern int32_t gIdAcceso;                // id of this run's Control_Acceso row, 0 when none

// The application folder with its trailing "/" and the help file, set by CargarParametros.
extern std::string gCarpetaAplicacion;
extern std::string gArchivoAyuda;
