#pragma once
// BASES.TXT: the registered connections, beside the program. One line per connection,
// five comma-separated fields (key, database, user, encoded password, server), Windows-1252
// with CR LF line ends.
#include <string>
#include <vector>

struct RegistroBases {
  std::string clave;  // "EMPRESA / SRV1"
  std::string base;   // database as typed
  std::string usuario;
  std::string password;  // as stored (encoded)
  std::string servidor;  // server as typed, may be server:port
};

// AgregarBarra(application folder) + "BASES.TXT", an existing file found whatever its case.
std::string RutaBases();

// The key of a connection: database in capitals + " / " + server in capitals cut before
// any ":", both trimmed.
std::string ClaveBases(const std::string& base, const std::string& servidor);
// The server part of a key (capitals, trimmed, cut before the first ":").
std::string ServidorClave(const std::string& servidor);

// One line (without its line end) into its fields. Missing fields are empty, extra fields
// are ignored, blanks around a field are dropped, a quoted field is read as Input # reads it.
RegistroBases LeerLineaBases(const std::string& linea);
// Every line of the file, in order (blank lines included, as empty records). A missing file
// gives no line; a file that exists but cannot be read raises ErrorEjecucion.
std::vector<RegistroBases> LeerBases(const std::string& ruta);

// The text of a line (no line end): trimmed key, database, user, Codificar(password) and
// server. A field holding a comma or a quote is written between quotes so it reads back whole.
std::string LineaBases(const std::string& clave, const std::string& base, const std::string& usuario,
                       const std::string& password, const std::string& servidor);
// Appends one line to BASES.TXT (created when missing). Failures raise ErrorEjecucion.
void GrabarBases(const std::string& clave, const std::string& base, const std::string& usuario,
                 const std::string& password, const std::string& servidor);
