#pragma once
// Creating embedded databases: the schema of share/schema and the deterministic demo set.
// Used by `ocmail-sql --crear` and by tests that need a fresh database:
//
//   ocmailsql::CrearBaseDatos(dir / "demo.db", 60);   // demo.db + QZ_ESTADISTICAS.db in dir
//
// The facts of the demo set that tests rely on are in namespace ocmailsql::demo below and
// in docs/database.md.
#include <string>

struct sqlite3;

namespace ocmailsql {

// Folder holding ocmail.sql and estadisticas.sql: "schema" beside the executable (the
// installed application folder), else the source tree's share/schema.
std::string CarpetaEsquema();

// The file name a database name stands for: ".db" added when it has no extension.
std::string ArchivoBase(const std::string& nombre);

// Name of the statistics database file created beside every main database.
inline constexpr const char* kArchivoEstadisticas = "QZ_ESTADISTICAS.db";

// Creates the embedded database `archivo` (".db" added when it has no extension) with the
// schema and, when pedidosDemo >= 0, the demo set with that many pending orders; and the
// statistics database beside it (kept when it exists, unless `forzar`).
// An existing `archivo` is refused unless `forzar`; the file appears complete or not at all.
// Returns the path created. Failures throw std::runtime_error with a Spanish message.
std::string CrearBaseDatos(const std::string& archivo, long pedidosDemo = -1, bool forzar = false);

// Demo data into databases that already hold the schema (one transaction each).
void CargarDemo(sqlite3* principal, long pedidos);
void CargarDemoEstadisticas(sqlite3* estadisticas);

namespace demo {
// Users: the administrator and the three buyers who own the orders.
inline constexpr const char* kAdministrador = "admin";
inline constexpr const char* kCompradores[3] = {"JUAN", "JULIA", "PEDRO"};
inline constexpr int kProveedores = 20;                     // P001 .. P020
inline constexpr int kProveedoresConPedidos = 18;           // P001 .. P018 own orders
inline constexpr const char* kProveedorApostrofo = "P004";  // "Distribuidora O'Higgins Añasco"
inline constexpr const char* kRazonApostrofo = "Distribuidora O'Higgins Añasco";
inline constexpr const char* kProveedorSinMail = "P007";       // Mail NULL: never listed
inline constexpr const char* kProveedorMailVacio = "P011";     // Mail '': listed
inline constexpr const char* kProveedorSinDomicilio = "P013";  // Calle and Numero ''
inline constexpr const char* kProveedorMitre = "P001";         // Calle "Mitre", Numero "1234"
inline constexpr const char* kProveedorDeBaja = "P019";        // Dada_De_Baja = 1
inline constexpr long kPedidosPorDefecto = 60;
inline constexpr const char* kTelefonoEmpresa = "4555-1234";

// Pending order i (0-based) of the demo set: already mailed when i % 4 == 3.
inline bool PedidoEnviado(long i) { return i % 4 == 3; }
// Its document number "PPPPNNNNNNNNL".
std::string NumeroPedido(long i);
// Its supplier code ("P001" .. "P018") and buyer.
std::string ProveedorPedido(long i);
std::string CompradorPedido(long i);
}  // namespace demo

}  // namespace ocmailsql
