#pragma once
// DB_Dll: the program's data-access class over one ADO connection. Connections and
// reconnection, statements and result sets, SQL value formatting, single-row lookups and
// codes, schema inspection with the security synonyms and the Oracle dialect, and the
// operator dialog for its errors.
//
// Conventions of this class:
// - Flags stored in members are 16-bit booleans, true = -1, false = 0 (Booleano).
//   Flags passed in and results of predicates are plain bool.
// - Where a routine rewrites its caller's text (AbrirRecordset, EjecutaConsultaSQL,
//   StripOwner, stSTF) the parameter is std::string&; an overload taking const
//   std::string& serves literals and temporaries (the rewrite is then lost).
// - Every ADO call that touches a connection goes through CanalADO (below), so that tests
//   can watch the statements sent and stand in for a server that is not there.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "companion/companion.h"
#include "platform/ado/ado.h"
#include "platform/basic/error.h"
#include "platform/basic/variant.h"

// A member object created the first time it is used; assigning replaces it (the
// object setter). gCnn->Open(...), *gCnn, gCnn.get(), gCnn = otra.
template <class T>
class CreadoAlUsar {
 public:
  T* get() {
    if (!p_) p_ = std::make_shared<T>();
    return p_.get();
  }
  T* operator->() { return get(); }
  T& operator*() { return *get(); }
  std::shared_ptr<T> compartido() {
    get();
    return p_;
  }
  CreadoAlUsar& operator=(std::shared_ptr<T> p) {
    p_ = std::move(p);
    return *this;
  }
  bool creado() const { return p_ != nullptr; }

 private:
  std::shared_ptr<T> p_;
};

// The ADO calls DB_Dll makes, in one place. The default forwards to ado; tests install a
// subclass that records the calls (and may answer them itself).
class CanalADO {
 public:
  virtual ~CanalADO() = default;
  virtual void Open(ado::Connection& cn, const std::string& cadena, const std::string& usuario,
                    const std::string& clave, long opciones);
  virtual void Close(ado::Connection& cn);
  virtual std::shared_ptr<ado::Recordset> Execute(ado::Connection& cn, const std::string& sql,
                                                  long* afectados, long opciones);
  virtual void OpenRecordset(ado::Recordset& rs, const std::string& fuente, ado::Connection& cn, long cursor,
                             long bloqueo, long opciones);
  virtual std::shared_ptr<ado::Recordset> OpenSchema(ado::Connection& cn, long esquema,
                                                     const std::vector<basic::Variant>& restricciones);
  virtual void BeginTrans(ado::Connection& cn);
  virtual void CommitTrans(ado::Connection& cn);
  virtual void RollbackTrans(ado::Connection& cn);
};

CanalADO& canalADO();
void InstalarCanalADO(CanalADO* canal);  // not owned; nullptr restores the default

// The configuration value "SS_CONFIDENCIALIDAD" (true = -1): statements on MV_ASIENTOS
// also go through the security synonyms. Loaded by the configuration start-up.
extern int16_t SS_CONFIDENCIALIDAD;

// A connection text (or any message holding one) with the values of its password keys
// (Pwd=, Password=, "Database Password=") replaced by "****": what may be shown or logged.
std::string OcultarClaves(const std::string& texto);

class DB_Dll {
 public:
  using Booleano = int16_t;
  static constexpr Booleano Verdadero = -1;
  static constexpr Booleano Falso = 0;

  DB_Dll() = default;
  DB_Dll(const DB_Dll&) = delete;
  DB_Dll& operator=(const DB_Dll&) = delete;

  // ---- Members, in declared order ----
  CreadoAlUsar<DialogoArchivo> CmdDlg;
  Booleano gOpenFlag = Falso;
  basic::Variant gIgnoraPassWord;  // read as a flag; Empty/Null = false
  CreadoAlUsar<ado::Connection> gCnn;
  CreadoAlUsar<ado::Recordset> glrcs;
  basic::Variant gCursorLocation;
  std::string gProveedor;
  std::string gDsn;
  std::string gServidor;  // "#" in it marks an Oracle server
  std::string gDBName;
  std::string gUsuario;
  Booleano gEsAdmin = Falso;
  std::string gUserPassWord;
  std::string gConnString;
  std::string gExtended;
  std::string gLogErr;  // blank = "QZERR.LOG" in the application folder
  int16_t ParametrosSQL = 0;
  int16_t gQZTimeOut = 0;

  // ---- Connections ----
  void OpenServerADODB(bool PideParametrosSQL, long lCursor, const std::string& ConnString, bool ValidaAdmin,
                       bool MuestraError);
  void ReintentaConectar();
  void OpenLocalADODB(const std::string& ConnString, const std::string& CadenaID,
                      const std::string& CadenaPWD);
  std::string pJETOLEDB40() const { return "Microsoft.Jet.OLEDB.4.0"; }
  std::string pJETOLEDB35() const { return "Microsoft.Jet.OLEDB.3.51"; }
  std::string pSQLOLEDB() const { return "SQLOLEDB"; }

  // ---- Statements and result sets ----
  // Lrcs must exist; on return it is open, or closed when the operator gave up.
  // Conexionactiva: the connection to open on; nullptr = gCnn.
  void AbrirRecordset(std::string& SentenciaSQL, ado::Recordset& Lrcs,
                      ado::Connection* Conexionactiva = nullptr, long CursorType = 0, long LockType = 1,
                      long Options = -1, bool ConvOracle = true);
  void AbrirRecordset(const std::string& SentenciaSQL, ado::Recordset& Lrcs,
                      ado::Connection* Conexionactiva = nullptr, long CursorType = 0, long LockType = 1,
                      long Options = -1, bool ConvOracle = true);
  void CierraRecordset(ado::Recordset& LrcsTemp);
  // Never raises: a failure is left in the connection's Errors list and RecordsAffected
  // keeps its value. Lrcs (when given) receives the rows the statement returns.
  void EjecutaConsultaSQL(std::string& SentenciaSQL, long& RecordsAffected,
                          std::shared_ptr<ado::Recordset>* Lrcs = nullptr);
  void EjecutaConsultaSQL(const std::string& SentenciaSQL, long& RecordsAffected,
                          std::shared_ptr<ado::Recordset>* Lrcs = nullptr);
  void EjecutaConsultaSQL(const std::string& SentenciaSQL);
  // The same, reporting failures to the operator and cleaning gDBAuxiliar's Errors list.
  void EjecutaConsultaRSQL(std::string& SentenciaSQL, long& RecordsAffected,
                           std::shared_ptr<ado::Recordset>* Lrcs = nullptr);
  // Accept their arguments and do nothing.
  void QConsulta(const std::string& TB, const basic::Variant& Rsp, const std::string& Cl1,
                 const std::string& Cl2, const std::string& CmpDisplay, const std::string& SQLWHERE);
  void QGridConsulta(const std::string& Sentencia, const std::string& CampoDevuelto1,
                     const std::string& gCnnString, const std::string& CampoDevuelto2,
                     const std::string& CampoDevuelto3);

  // ---- SQL value formatting ----
  // Tipo "@" number (point as decimal mark), "'" quoted text (apostrophes doubled),
  // anything else as it stands. Null: NULL, or 0 for numbers.
  basic::Variant SQLValue(const basic::Variant& Valor, const std::string& Tipo);
  bool adodate(const basic::Variant& Qtype) const;
  bool ADOText(const basic::Variant& Qtype) const;
  bool ADONumeric(const basic::Variant& Qtype) const;
  bool ADOCurrency(const basic::Variant& Qtype) const;
  bool ADOBoolean(const basic::Variant& Qtype) const;
  std::string ADOComilla(const basic::Variant& Qtype) const;
  std::string AddBrackets(const std::string& rObjName) const;
  std::string StripBrackets(const std::string& rsObjName) const;
  // ErrorEjecucion 5 for a name that starts with the arrow.
  std::string StripConnect(const std::string& rsTblName) const;
  std::string StripOwner(std::string& rsTblName) const;
  std::string StripOwner(const std::string& rsTblName) const;
  // ErrorEjecucion 5 for a name without "." and rnPart false.
  std::string stSTF(std::string& rsName, bool rnPart) const;
  std::string stSTF(const std::string& rsName, bool rnPart) const;
  // The folder of a path ("\" or "/"), without the separator; "" without one.
  std::string StripFileName(const std::string& rsFileName) const;

  // ---- Lookups and codes ----
  // Tipodato: 8 text, 7 date, 3/5/4 numbers, anything else written as given.
  bool ExisteEnTabla(const std::string& Tabla, const std::string& ValorBuscado, const std::string& Campo,
                     ado::Recordset* Lrcs = nullptr,
                     const basic::Variant& Tipodato = basic::Variant(int32_t{8}),
                     const std::string& Condicion = "", bool SoloLectura = true);
  bool ExisteEnTablaST(const std::string& Tabla, const std::string& ValorBuscado, const std::string& Campo,
                       ado::Recordset* Lrcs = nullptr,
                       const basic::Variant& Tipodato = basic::Variant(int32_t{8}),
                       const std::string& Condicion = "", bool SoloLectura = true);
  // Text of the column of the first matching row; "" without one; Empty when the
  // connection was lost and not re-established.
  basic::Variant DatosTabla(const std::string& Tabla, const std::string& ValorBuscado,
                            const std::string& CampoDevuelto, const std::string& Campo,
                            const basic::Variant& Tipodato = basic::Variant(int32_t{8}),
                            const std::string& Condicion = "", bool UsaTrim = true, bool IgnoraError = false);
  // Raise to the caller. Empty when there is no row.
  basic::Variant BuscaMaximo(const std::string& QueTabla, const std::string& QueCampo,
                             std::optional<basic::Variant> Tipo = std::nullopt,
                             std::optional<std::string> Condicion = std::nullopt);
  basic::Variant BuscaMinimo(const std::string& QueTabla, const std::string& QueCampo,
                             std::optional<basic::Variant> Tipo = std::nullopt,
                             std::optional<std::string> Condicion = std::nullopt);
  basic::Variant BuscaUltimoCodigo(const std::string& QueTabla, const std::string& QueCampo,
                                   const basic::Variant& Tipo = basic::Variant(),
                                   const std::string& Condicion = "");

  // ---- Schema, synonyms, Oracle dialect ----
  bool ExisteTablaDB(const std::string& Tabla);
  bool ExisteCampoDB(const std::string& Tabla, const std::string& Campo);
  bool VerCampoDB(const std::string& Tabla, const std::string& Campo, bool Agregar, const std::string& Tipo,
                  bool PermiteNulos, std::optional<basic::Variant> ValorDefault = std::nullopt);
  void AddField(const std::string& Tabla, const std::string& Campo, const std::string& Tipo,
                bool PermiteNulos, std::optional<basic::Variant> ValorDefault = std::nullopt);
  std::string SS_TSinonimos(const std::string& SQL);
  std::string ORACLE_Dicc(const std::string& Valor);

  // ---- Errors ----
  // Shows the error (Abort/Retry/Ignore with the critical icon unless Botones says
  // otherwise), appends a line to the error log and returns the answer; 0 for error 0.
  int16_t TratamientoErrores(const ErrorEjecucion& CodErr, std::optional<int> Botones = {},
                             std::optional<std::string> Rutina = {});
  std::string ArchivoErrores() const { return gLogErr; }
  void SetArchivoErrores(const basic::Variant& vNewValue) { gLogErr = vNewValue.Texto(); }

  // Private in the class's interface; public here so that the Oracle runner can be
  // tested on the calls it makes.
  std::string FiltraSentencia(std::string& SentenciaSQL);
  // Runs a SQL Server style script statement by statement on an Oracle connection;
  // adds the affected rows to RecordsAffected. Returns the normalised script.
  std::string EjecutaScriptOracle(const std::string& SentenciaSQL, long& RecordsAffected);

  // The connection string built from the members (Oracle form when gServidor has "#").
  std::string CadenaConexion() const;

 private:
  Funciones& funciones();
  void ArmarConnString() { gConnString = CadenaConexion(); }
  // Loads frmAcceso, exchanges the values, shows it modally; false = cancelled (and
  // gOpenFlag false).
  bool IntercambioVentanaAcceso();
  bool PedirArchivoLocal();
  void EjecutarConsulta(std::string& SentenciaSQL, long& RecordsAffected,
                        std::shared_ptr<ado::Recordset>* Lrcs, bool reportar);
  std::string CondicionPorTipo(const std::string& Campo, const std::string& ValorBuscado,
                               const basic::Variant& Tipodato, bool conTrim, bool st, bool datos) const;
  bool ExisteEnTablaComun(const std::string& sentencia, ado::Connection& cn, ado::Recordset* Lrcs,
                          bool SoloLectura, bool sinonimos);

  std::unique_ptr<Funciones> funciones_;
};

// ---- Program-wide instances, created on first use ----
// References stay valid until the instance is released.
DB_Dll& gDB();              // main connection
DB_Dll& gDBEstadisticas();  // statistics database
DB_Dll& gDBAuxiliar();      // never opened here; EjecutaConsultaRSQL reads its Errors
DB_Dll& gDBConsultas();     // list lookup window with UsarUDBC
// Releases gDB (shut-down releases it in its own order); the next use creates it again.
void LiberarGDB();
// Releases the four instances (end of the program, tests).
void LiberarInstanciasDB();
