#pragma once
// The start-up routine: launch line, connection, statistics, lookup definitions,
// configuration and usage log.
#include <string>

// UsarValoresIni: build the launch line from TM440kv.INI when it is blank.
// LineaComando: the launch line; empty = the process command line.
// ConnString: a ready connection string for gDB ("" = built from the launch values).
// lCursor: cursor location for the connection (3 = client side).
// Ends the program (ui::operador().FinPrograma) when no connection is obtained.
void CargarParametros(bool UsarValoresIni, const std::string& LineaComando, std::string& ConnString,
                      long lCursor);

// The workstation's platform settings of TM440kv.INI: the regional formats of section
// [Regional] and the ODBC drivers of section [ODBC] (DriverSqlServer, DriverOracle,
// ExtraSqlServer, ExtraOracle, SegundosConexion). Missing keys keep their defaults.
void CargarAjustesDeEquipo();
// An embedded database file on a network or user-space file system: a warning (why, and
// what to do), unless [BaseEmbebida] AvisarEnRed=NO in TM440kv.INI silences it for a PC that
// is alone on the share. SQLite's locks are not seen between the PCs of a share.
void AvisarBaseEmbebidaEnRed(const std::string& cadenaConexion);
