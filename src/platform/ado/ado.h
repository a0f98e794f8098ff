#pragma once
// ADO-like data access: Connection, Recordset, Field, Error over two roads, the embedded
// engine (SQLite) and ODBC. Failures raise ErrorEjecucion with ADO's numbers and leave
// one entry per diagnostic record in the connection's Errors list. The list describes the
// last operation only: every operation that reaches the provider (Execute, Recordset Open
// and Update, transactions, OpenSchema) clears it first, so an earlier failure is never
// read as a later one's. Reading a later row that fails fills it like any other failure.
//
// EOF and BOF are macros of the C library, so the cursor tests are spelled Eof()/Bof().
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/basic/error.h"
#include "platform/basic/variant.h"

namespace ado {

enum ObjectState : long { adStateClosed = 0, adStateOpen = 1 };
enum CursorTypeEnum : long {
  adOpenUnspecified = -1,
  adOpenForwardOnly = 0,
  adOpenKeyset = 1,
  adOpenDynamic = 2,
  adOpenStatic = 3
};
enum LockTypeEnum : long {
  adLockUnspecified = -1,
  adLockReadOnly = 1,
  adLockPessimistic = 2,
  adLockOptimistic = 3,
  adLockBatchOptimistic = 4
};
enum CursorLocationEnum : long { adUseServer = 2, adUseClient = 3 };
enum SchemaEnum : long { adSchemaColumns = 4, adSchemaTables = 20 };
enum DataTypeEnum : long {
  adEmpty = 0,
  adSmallInt = 2,
  adInteger = 3,
  adSingle = 4,
  adDouble = 5,
  adCurrency = 6,
  adDate = 7,
  adBoolean = 11,
  adBigInt = 20,
  adNumeric = 131,
  adDBTimeStamp = 135,
  adChar = 129,
  adVarChar = 200,
  adLongVarChar = 201,
  adWChar = 130,
  adVarWChar = 202,
  adLongVarWChar = 203,
  adLongVarBinary = 205
};

// Run-time error numbers raised by this layer.
constexpr long errOperacionNoPermitidaAbierto = 3705;  // object open
constexpr long errOperacionNoPermitidaCerrado = 3704;  // object closed
constexpr long errConexionNoUsable = 3709;
constexpr long errOperacionNoPermitida = 3219;  // e.g. Close with a pending edit
constexpr long errCampoNoEncontrado = 3265;
constexpr long errBofEof = 3021;
constexpr long errProveedor = -2147467259;      // 0x80004005
constexpr long errIntegridad = -2147217873;     // 0x80040E2F
constexpr long errTablaNoExiste = -2147217865;  // 0x80040E37
constexpr long errComando = -2147217900;        // 0x80040E14
constexpr long errProveedorNoEncontrado = 3706;
constexpr long errNoActualizable = 3251;           // read-only recordset
constexpr long errFilaNoEncontrada = -2147217864;  // optimistic update lost its row
constexpr long errSoloAvance = -2147217884;        // moving back on a forward-only cursor
constexpr long errTiempoAgotado = -2147217871;     // query timeout, or a database locked too long
constexpr long errTipoIncorrecto = 3421;           // a value a field cannot take (text into a date)

// Where the ODBC road takes its driver names. The program sets it at start-up from its
// INI file; the defaults serve a stock Debian machine.
struct ConfiguracionOdbc {
  std::string driverSqlServer = "FreeTDS";
  std::string driverOracle = "Oracle";
  std::string extraSqlServer = "ClientCharset=UTF-8;";  // keywords appended to SQL Server strings
  std::string extraOracle;
  long segundosConexion = 15;  // login timeout
};
void FijarConfiguracionOdbc(const ConfiguracionOdbc& c);
const ConfiguracionOdbc& ConfiguracionOdbcActual();

// The wait for a database that another program holds locked: called over and over on the
// waiting thread (every few milliseconds) with the seconds waited so far in this wait;
// false ends the wait as a time-out would (the statement fails with a time-out). One per
// process; none by default (the wait only sleeps). The embedded road calls it from its busy
// handler; the ODBC road while it polls a statement run asynchronously (where the driver
// allows it; false then cancels the statement). The wait is bounded by CommandTimeout
// either way.
using AlEsperarBase = std::function<bool(double segundos)>;
void FijarAlEsperarBase(AlEsperarBase f);
// Calls the hook (true when there is none).
bool EsperandoBase(double segundos);
// Whether a hook is set (the ODBC road then runs statements asynchronously to call it).
bool HayAlEsperarBase();

// Embedded databases named without a path are found in the application folder of
// os::CarpetaAplicacion (tests set it with os::FijarCarpetaAplicacion).

// What a connection string turns into (see conexion.cpp for the rules).
struct DestinoConexion {
  enum Via { Embebida, Odbc } via = Embebida;
  std::string archivo;     // embedded: the database file
  std::string catalogo;    // the database name as written in the string
  std::string cadenaOdbc;  // ODBC: the string handed to SQLDriverConnect
};
// Raises ErrorEjecucion 3706 for a provider it cannot serve.
DestinoConexion ResolverConexion(const std::string& connectionString, const std::string& userId = "",
                                 const std::string& password = "");

struct Error {
  long Number = 0;
  std::string Description;
  std::string Source;
  std::string SQLState;
  long NativeError = 0;
};

class Errors {
 public:
  long Count() const { return static_cast<long>(items_.size()); }
  const Error& Item(long i) const { return items_.at(static_cast<size_t>(i)); }
  const Error& operator[](long i) const { return Item(i); }
  void Clear() { items_.clear(); }
  void Append(Error e) { items_.push_back(std::move(e)); }

 private:
  std::vector<Error> items_;
};

class Field {
 public:
  const std::string& Name() const { return name_; }
  const basic::Variant& Value() const;
  void SetValue(basic::Variant v);  // only inside AddNew or an edit of an updatable recordset
  long Type() const { return type_; }
  long DefinedSize() const { return definedSize_; }

 private:
  friend class Recordset;
  class Recordset* rs_ = nullptr;
  size_t index_ = 0;
  std::string name_;
  long type_ = adEmpty;
  long definedSize_ = 0;
};

class Recordset;
class Backend;  // one road: SQLite or ODBC
class Cursor;   // rows of one statement

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // The string is kept as given; an empty one uses ConnectionString.
  void Open(const std::string& connectionString = "", const std::string& userId = "",
            const std::string& password = "", long options = -1);
  void Close();
  // Runs a statement (or a batch); returns the rows it produced (closed when none).
  std::shared_ptr<Recordset> Execute(const std::string& commandText, long* recordsAffected = nullptr,
                                     long options = -1);
  long BeginTrans();
  void CommitTrans();
  void RollbackTrans();
  // adSchemaTables (TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE) and
  // adSchemaColumns (TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME, ORDINAL_POSITION,
  // DATA_TYPE, CHARACTER_MAXIMUM_LENGTH); restrictions in ADO's order, Empty = any.
  std::shared_ptr<Recordset> OpenSchema(long schema, const std::vector<basic::Variant>& restrictions = {});

  const std::string& ConnectionString() const { return connectionString_; }
  void SetConnectionString(const std::string& s);  // 3705 when open
  long CursorLocation() const { return cursorLocation_; }
  void SetCursorLocation(long v) { cursorLocation_ = v; }
  long CommandTimeout() const { return commandTimeout_; }
  void SetCommandTimeout(long v);
  long IsolationLevel() const { return isolationLevel_; }
  void SetIsolationLevel(long v) { isolationLevel_ = v; }
  std::string DefaultDatabase() const { return defaultDatabase_; }
  void SetDefaultDatabase(const std::string& db);  // 3709 when closed
  long State() const;
  ado::Errors& Errors() { return errors_; }
  const ado::Errors& Errors() const { return errors_; }

  Backend* backend() const { return backend_.get(); }  // for Recordset

 private:
  std::string connectionString_;
  long cursorLocation_ = adUseServer;
  long commandTimeout_ = 30;
  long isolationLevel_ = 4096;
  std::string defaultDatabase_;
  ado::Errors errors_;
  std::unique_ptr<Backend> backend_;
  // Recordsets open on this connection: Close closes them, as ADO does.
  friend class Recordset;
  std::vector<Recordset*> recordsets_;
};

class Recordset {
 public:
  Recordset();
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  void Open(const std::string& source, Connection& activeConnection, long cursorType = adOpenForwardOnly,
            long lockType = adLockReadOnly, long options = -1);
  void Close();  // 3704 when closed, 3219 with a pending edit
  long State() const;
  bool Bof() const;
  bool Eof() const;
  void MoveFirst();
  void MoveNext();
  void MovePrevious();  // -2147217884 on a forward-only cursor
  void MoveLast();
  long RecordCount() const;  // -1 when unknown (forward-only)

  long FieldCount() const;
  Field& Fields(long index);               // 3265 out of range
  Field& Fields(const std::string& name);  // without regard to case; 3265 when missing

  void AddNew();
  void Update();
  void CancelUpdate();
  bool EditMode() const;  // a pending AddNew or edit

  // All remaining rows from the current one, as rows of values (the cursor ends at EOF).
  std::vector<std::vector<basic::Variant>> GetRows();

  struct Impl;

 private:
  friend class Field;
  friend class Connection;
  // Opens over rows a connection already produced (Execute, OpenSchema).
  static void AbrirSobre(Recordset& rs, Connection& c, std::unique_ptr<Cursor> cursor, long cursorType,
                         long lockType, const std::string& fuente);
  static void CerrarPorConexion(Recordset& rs);
  std::unique_ptr<Impl> impl_;
};

}  // namespace ado
