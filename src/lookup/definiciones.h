#pragma once
// The lookup definitions file (consultas.qzx): fixed-length records of 1202 bytes, no
// header, single-byte text (Windows-1252), each record ending in CR LF so the file also
// reads as lines of 1200 characters.
#include <optional>
#include <string>
#include <vector>

inline constexpr int kLargoDefConsulta = 1202;

// One record. In memory the fields keep their fixed length (blank padded, decoded to
// UTF-8 one character per byte).
struct DefConsulta {
  std::string TituloConsulta;  // 100
  std::string TablaConsulta;   // 100
  std::string CamposConsulta;  // 500: "|COL1|COL2|"
  std::string FiltroConsulta;  // 500: condition without WHERE, or blanks
  std::string FinDeLinea;      // 2: CR LF

  // The record as it is stored (1202 bytes). Each text is left-justified and padded
  // with blanks, or cut, to its field length.
  std::string Bytes() const;
  // A record from its bytes; a short record (the file's incomplete tail) is read as if
  // padded with NUL bytes.
  static DefConsulta DesdeBytes(const std::string& bytes);
};

// A field text without Chr(0) and Chr(255), trimmed of blanks: how table names and
// filters are compared and used.
std::string LimpiarCampoDefinicion(const std::string& campo);
// The columns of a definition as a list for SELECT: cleaned like the table name, "|"
// becomes ",", one leading and one trailing "," removed; "*" when nothing is left.
std::string ColumnasDefinicion(const DefConsulta& def);

// Appends the eleven default definitions to the file at `ruta` (creating it). Each record
// goes at record number (length / 1202) + 1, so an incomplete tail is written over.
// Raises ErrorEjecucion when the file cannot be written.
void GenerarConsultas(const std::string& ruta);
// The same on the program-wide lookup object's gRutaMascaraConsultas.
void GenerarConsultas();

// Sequential reader of the definitions file, as the lookup engine scans it.
class ArchivoDefiniciones {
 public:
  // False when the file cannot be opened for reading.
  bool Abrir(const std::string& ruta);
  // Number of records, counting an incomplete last one.
  long Registros() const { return registros_; }
  // Record n (1-based); nullopt past the end.
  std::optional<DefConsulta> Leer(long n) const;

 private:
  std::string bytes_;
  long registros_ = 0;
};

// The first record whose cleaned TablaConsulta equals `tabla` (trimmed) without regard
// to case; nullopt when the file is missing or nothing matches.
std::optional<DefConsulta> BuscarDefinicion(const std::string& ruta, const std::string& tabla);
