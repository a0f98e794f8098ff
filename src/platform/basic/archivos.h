#pragma once
// Files the suite shares: single-byte Windows-1252 text with CR LF line ends, and
// fixed-length record files. Text in memory is UTF-8.
//
// Errors are ErrorEjecucion with the classic numbers:
//   53 "No se encontró el archivo"          (reading a file that does not exist)
//   75 "Error de acceso a la ruta o el archivo" (a blank path, a folder, no permission)
//   76 "No se encontró la ruta de acceso"   (the folder does not exist)
//   62 "La entrada pasó del final del archivo" (reading past the end)
//   63 "Número de registro incorrecto", 59 "Longitud de registro incorrecta"
//
// A path that does not exist as written is looked up without regard to case, folder by
// folder ("tm440kv.ini" finds "TM440kv.INI"), so the suite's names work on this system.
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/basic/variant.h"

namespace basic {

// Characters outside Windows-1252 (and invalid UTF-8 bytes) become "?".
std::string AWindows1252(const std::string& utf8);
std::string DeWindows1252(const std::string& bytes);
// Whether Windows-1252 can write the text exactly (no character would become "?").
bool CabeEnWindows1252(const std::string& utf8);

// The path as it exists on disk when some case variant of it does; else the path as given.
std::string ResolverRuta(const std::string& ruta);

// A text file open for one routine, closed when the object goes (or by Cerrar).
class ArchivoTexto {
 public:
  enum class Modo { Lectura, Escritura, Agregar };  // Input, Output (create/overwrite), Append
  ArchivoTexto(const std::string& ruta, Modo modo);
  ~ArchivoTexto();
  ArchivoTexto(const ArchivoTexto&) = delete;
  ArchivoTexto& operator=(const ArchivoTexto&) = delete;

  const std::string& Ruta() const { return ruta_; }
  void Cerrar();

  // Writing: the text in Windows-1252; EscribirLinea ends it with CR LF.
  void Escribir(const std::string& texto);
  void EscribirLinea(const std::string& texto = "");
  // One line of comma-separated fields: texts between quotes (a quote inside doubled),
  // numbers with "." as decimal point, booleans #TRUE#/#FALSE#, Null #NULL#, Empty as
  // nothing, dates #yyyy-mm-dd hh:mm:ss#.
  void EscribirCampos(const std::vector<Variant>& campos);

  // Reading: a line without its end (CR LF, LF or a lone CR), as UTF-8.
  bool Eof();
  bool LeerLinea(std::string& linea);  // false at the end of the file
  std::string LeerLinea();             // raises 62 at the end of the file
  // The next comma-separated field, as the classic Input #: quoted or not, blanks around
  // an unquoted field dropped; a line end also ends a field. Raises 62 at the end.
  std::string LeerCampo();
  // All the fields of the next line (the fields of one CSV record).
  std::vector<std::string> LeerCampos();

 private:
  int Siguiente();  // next byte, -1 at the end
  int Mirar();
  std::string ruta_;
  Modo modo_;
  std::fstream f_;
};

// Whole-file helpers.
std::vector<std::string> LeerLineas(const std::string& ruta);
void EscribirLineas(const std::string& ruta, const std::vector<std::string>& lineas);
void AgregarLinea(const std::string& ruta, const std::string& linea);

// CSV text of one line (no line end) and back, as EscribirCampos / LeerCampos do them.
std::string LineaCSV(const std::vector<Variant>& campos);
std::string LineaCSV(const std::vector<std::string>& campos);  // every field quoted
std::vector<std::string> CamposCSV(const std::string& linea);

// Text cut or padded with blanks to exactly n Windows-1252 bytes, for record fields.
std::string CampoFijo(const std::string& utf8, size_t n);

// A file of fixed-length records numbered from 1 (the classic Random access). Opening
// creates the file when it is missing.
class ArchivoRegistros {
 public:
  ArchivoRegistros(const std::string& ruta, size_t longitudRegistro);
  ~ArchivoRegistros();
  ArchivoRegistros(const ArchivoRegistros&) = delete;
  ArchivoRegistros& operator=(const ArchivoRegistros&) = delete;

  size_t LongitudRegistro() const { return longitud_; }
  uint64_t LOF();                // file length in bytes
  uint64_t CantidadRegistros();  // whole records (LOF integer-divided by the length)
  // Record n as raw bytes, always the record length: an incomplete last record is filled
  // with NUL bytes; "" when n is past the end of the file.
  std::string Leer(uint64_t n);
  // Bytes shorter than the record are padded with blanks; longer raise 59. Writing past
  // the end extends the file (a gap is filled with NUL bytes).
  void Escribir(uint64_t n, const std::string& bytes);
  void Cerrar();

 private:
  std::string ruta_;
  size_t longitud_;
  std::fstream f_;
};

}  // namespace basic
