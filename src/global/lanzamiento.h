#pragma once
// The launch line: the key=value text with which the suite's menu starts its programs,
// and the default line built from the workstation INI file.
#include <string>

// Values read from a launch line. The first four stay local to the start-up; the rest
// go to the launch context.
struct ValoresLanzamiento {
  std::string servidor;
  std::string dbName;
  std::string usuario;
  std::string password;
  std::string parametroAdicional;
  std::string menu;
  std::string usuarioLogeado;
  std::string caja;
};

// Reads every key of the launch line, in the suite's order. A key that is absent takes
// its default ("" or "1" for @Caja); a key without a following ";" leaves the value of
// `previos` untouched, except @ParametroAdicional, which then takes at most 19
// characters. Keys are found without regard to case, only their first occurrence
// counts, and "=" is removed from the values.
ValoresLanzamiento LeerLineaLanzamiento(const std::string& linea, const ValoresLanzamiento& previos = {});

// The bare server name: what follows the first "/", then what precedes the first ":".
std::string NombreServidor(const std::string& servidor);

// Workstation key: upper-case computer name + "|" + upper-case user, cut to 50 characters.
std::string ClaveEquipo(const std::string& nombreEquipo, const std::string& usuario);

// INI section of the default connection values (not cut to 50 characters).
std::string SeccionBaseDeDatos(const std::string& nombreEquipo, const std::string& usuario);

// The default launch line from TM440kv.INI for this computer and user.
std::string LineaPorDefectoIni(const std::string& nombreEquipo, const std::string& usuario);

// The launch line the start-up works on: `lineaComando` when not empty, else the process
// command line; when `usarValoresIni` is set and that is blank, the INI default line.
std::string LineaDeLanzamiento(bool usarValoresIni, const std::string& lineaComando);

// The process command line: the arguments after the program name joined by blanks.
std::string LineaComandoProceso();
