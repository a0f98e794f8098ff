#pragma once
// The suite's lookup service. Only what the start-up configures lives here for now:
// the connection string handed to the lookup windows and the definitions file.
#include <string>

class Lib_ClsCons3 {
 public:
  // Connection string handed to the list window; filled from gDB when blank at lookup time.
  std::string gConnString;
  // Full path of the lookup definitions file (consultas.qzx).
  std::string gRutaMascaraConsultas;
  // Look table names up in the definitions file.
  bool gUsarMascarasConsultas = false;
};

// The program-wide lookup object, created on first use and kept until the program ends.
Lib_ClsCons3& gClsCons3();
