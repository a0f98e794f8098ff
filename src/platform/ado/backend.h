#pragma once
// Internal: the two roads (embedded SQLite, ODBC) behind Connection and Recordset.
#include <memory>
#include <string>
#include <vector>

#include "platform/ado/ado.h"

namespace ado {

struct Columna {
  std::string nombre;
  long tipo = adVarChar;
  long tamano = 0;
  std::string tabla;   // base table when the road knows it
  std::string origen;  // the column's name in that table
};

// Rows of one statement, read forward.
class Cursor {
 public:
  virtual ~Cursor() = default;
  virtual const std::vector<Columna>& Columnas() const = 0;
  // To the next row (the first one on the first call); false at the end, after which
  // the statement is given back.
  virtual bool Siguiente() = 0;
  virtual void Leer(size_t columna, basic::Variant& destino) = 0;
};

// Rows held in memory: schema rowsets, whole results read from ODBC, batches.
class CursorMemoria : public Cursor {
 public:
  explicit CursorMemoria(std::vector<Columna> c) : columnas_(std::move(c)) {}
  const std::vector<Columna>& Columnas() const override { return columnas_; }
  std::vector<Columna>& ColumnasMod() { return columnas_; }
  bool Siguiente() override {
    if (filas_ == 0 || pos_ + 1 >= filas_) {
      pos_ = filas_;
      return false;
    }
    ++pos_;
    return true;
  }
  void Leer(size_t c, basic::Variant& d) override { d = datos_[pos_ * columnas_.size() + c]; }
  void Agregar(std::vector<basic::Variant> fila) {
    for (auto& v : fila) datos_.push_back(std::move(v));
    ++filas_;
  }
  // Reads every row of another cursor.
  void Copiar(Cursor& otro);

 private:
  std::vector<Columna> columnas_;
  std::vector<basic::Variant> datos_;
  size_t filas_ = 0;
  size_t pos_ = static_cast<size_t>(-1);
};

class Backend {
 public:
  explicit Backend(Errors& e) : errores_(e) {}
  virtual ~Backend() = default;
  virtual void Abrir(const DestinoConexion& d, long tiempoEspera) = 0;
  virtual void Cerrar() = 0;
  // Runs a statement or a batch: the rows of the first statement that yields rows
  // (nullptr when none), and the count of rows changed (-1 when none was). ODBC reads
  // the rows whole, as drivers rarely allow a second statement while rows are pending.
  virtual std::unique_ptr<Cursor> Ejecutar(const std::string& sql, long& afectados) = 0;
  // One statement with "?" markers and their values (AddNew/Update); rows changed.
  virtual long EjecutarConValores(const std::string& sql, const std::vector<basic::Variant>& valores) = 0;
  // The row just inserted into `tabla` with these columns, to read back defaults and
  // identities; empty when the road cannot tell.
  virtual std::vector<basic::Variant> ReleerInsertada(const std::string& tabla,
                                                      const std::vector<std::string>& columnas) = 0;
  virtual std::vector<std::string> ClavePrimaria(const std::string& tabla) = 0;
  virtual void Iniciar() = 0;
  virtual void Confirmar() = 0;
  virtual void Deshacer() = 0;
  virtual std::unique_ptr<Cursor> Esquema(long esquema, const std::vector<basic::Variant>& restricciones) = 0;
  virtual void FijarTiempoEspera(long segundos) = 0;
  virtual void FijarBaseDefecto(const std::string& base) = 0;

 protected:
  // Replaces the Errors list by these records and raises the first one.
  [[noreturn]] void Fallar(std::vector<Error> lista);
  Errors& errores_;
};

std::unique_ptr<Backend> CrearBackendSqlite(Errors& e);
std::unique_ptr<Backend> CrearBackendOdbc(Errors& e);

// ADO type number and size from a declared SQL type ("varchar(40)", "DATETIME", "money").
void TipoDeclarado(const std::string& declarado, long& tipo, long& tamano);

// 'yyyy-mm-dd[ hh:mm[:ss[.fff]]]' to a date, and back (always with the time).
bool IsoAFecha(const char* s, size_t n, basic::Fecha& f);
std::string FechaAIso(basic::Fecha f);

// Sets a text into a Variant, reusing the text it already holds.
inline void AsignarTexto(basic::Variant& v, const char* p, size_t n) {
  if (const std::string* s = v.Cadena()) {
    // The Variant is ours and not const: reuse its buffer instead of a new allocation.
    const_cast<std::string*>(s)->assign(p, n);
  } else {
    v = basic::Variant(std::string(p, n));
  }
}

std::string Mayus(std::string s);
// A value for an ODBC connection string, in braces when it needs them.
std::string ValorOdbc(const std::string& v);
bool IgualSinCaso(const std::string& a, const std::string& b);

[[noreturn]] void ErrorAdo(long numero, const std::string& fuente);

}  // namespace ado
