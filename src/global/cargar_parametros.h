#pragma once
// The start-up routine: launch line, connection, statistics, lookup definitions,
// configuration and usage log.
#include <string>

// UsarValoresIni: build the launch line from TM440kv.INI when it is blank.
// LineaComando: the launch line; empty = the process command line.
// ConnString: a ready connection string for gDB ("" = built from the launch values).
// lCursor: cursor location for the connection (3 = client side).
// Ends the program (ui::operador().FinPrograma) when no connection is obtained.
void CargarParametros(bool UsarValoresIni, const std::string& LineaComando,
                      std::string& ConnString, long lCursor);
