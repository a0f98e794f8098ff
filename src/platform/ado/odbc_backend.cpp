// The ODBC road (unixODBC): SQL Server through FreeTDS, Oracle through the site's
// driver, or any driver named in the string. Every diagnostic record becomes one entry
// of the connection's Errors list.
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/ado/backend.h"
#include "platform/basic/fecha.h"
#include "platform/basic/numero.h"

namespace ado {
namespace {

const char* kFuente = "Microsoft OLE DB Provider for ODBC Drivers";

long NumeroDe(const std::string& estado, const std::string& msg) {
  auto empieza = [&](const char* p) { return estado.rfind(p, 0) == 0; };
  if (empieza("42S02")) return errTablaNoExiste;
  if (empieza("23")) return errIntegridad;
  if (empieza("42") || empieza("37")) return errComando;
  if (empieza("HYT")) return errTiempoAgotado;
  if (empieza("08") || empieza("28")) return errProveedor;
  // Drivers that report everything as HY000 (the SQLite one) say it in the message.
  std::string m = Mayus(msg);
  if (m.find("NO SUCH TABLE") != std::string::npos) return errTablaNoExiste;
  if (m.find("CONSTRAINT") != std::string::npos) return errIntegridad;
  if (m.find("SYNTAX ERROR") != std::string::npos || m.find("NO SUCH COLUMN") != std::string::npos ||
      m.find("INCOMPLETE INPUT") != std::string::npos || m.find("UNRECOGNIZED TOKEN") != std::string::npos)
    return errComando;
  return errProveedor;
}

std::vector<Error> Diagnosticos(SQLSMALLINT tipo, SQLHANDLE h) {
  std::vector<Error> r;
  for (SQLSMALLINT i = 1;; ++i) {
    SQLCHAR estado[8] = {0};
    SQLINTEGER nativo = 0;
    std::vector<SQLCHAR> msg(2048);
    SQLSMALLINT largo = 0;
    SQLRETURN rc =
        SQLGetDiagRec(tipo, h, i, estado, &nativo, msg.data(), static_cast<SQLSMALLINT>(msg.size()), &largo);
    if (rc == SQL_NO_DATA || !SQL_SUCCEEDED(rc)) break;
    Error e;
    e.SQLState = reinterpret_cast<char*>(estado);
    e.NativeError = nativo;
    e.Description.assign(
        reinterpret_cast<char*>(msg.data()),
        static_cast<size_t>(std::min<SQLSMALLINT>(largo, static_cast<SQLSMALLINT>(msg.size() - 1))));
    e.Source = kFuente;
    e.Number = NumeroDe(e.SQLState, e.Description);
    r.push_back(std::move(e));
  }
  return r;
}

long TipoAdo(SQLSMALLINT sqlTipo, const std::string& nombreTipo, SQLULEN tamano, long& definido) {
  std::string n = Mayus(nombreTipo);
  if (n.find("MONEY") != std::string::npos) {
    definido = 8;
    return adCurrency;
  }
  switch (sqlTipo) {
    case SQL_CHAR: definido = static_cast<long>(tamano); return adChar;
    case SQL_VARCHAR: definido = static_cast<long>(tamano); return adVarChar;
    case SQL_LONGVARCHAR: definido = 2147483647; return adLongVarChar;
    case SQL_WCHAR: definido = static_cast<long>(tamano); return adWChar;
    case SQL_WVARCHAR: definido = static_cast<long>(tamano); return adVarWChar;
    case SQL_WLONGVARCHAR: definido = 2147483647; return adLongVarWChar;
    case SQL_GUID: definido = 38; return adVarChar;
    case SQL_BIT: definido = 2; return adBoolean;
    case SQL_TINYINT: definido = 1; return 17;
    case SQL_SMALLINT: definido = 2; return adSmallInt;
    case SQL_INTEGER: definido = 4; return adInteger;
    case SQL_BIGINT: definido = 8; return adBigInt;
    case SQL_REAL: definido = 4; return adSingle;
    case SQL_FLOAT:
    case SQL_DOUBLE: definido = 8; return adDouble;
    case SQL_NUMERIC:
    case SQL_DECIMAL: definido = 19; return adNumeric;
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIMESTAMP:
    case SQL_TYPE_TIME:
    case SQL_DATETIME:
    case SQL_TIMESTAMP: definido = 16; return adDBTimeStamp;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY: definido = 2147483647; return adLongVarBinary;
    default: definido = static_cast<long>(tamano); return adVarChar;
  }
}

double FechaDe(const SQL_TIMESTAMP_STRUCT& ts) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02u:%02u:%02u", ts.year, ts.month, ts.day, ts.hour,
                ts.minute, ts.second);
  basic::Fecha f = 0;
  IsoAFecha(buf, std::strlen(buf), f);
  return f;
}

std::string ConLlaves(const std::string& v) {
  if (v.find_first_of(";{}") == std::string::npos && (v.empty() || (v.front() != ' ' && v.back() != ' ')))
    return v;
  std::string r = "{";
  for (char c : v) {
    r += c;
    if (c == '}') r += '}';
  }
  return r + "}";
}

class BackendOdbc : public Backend {
 public:
  using Backend::Backend;
  ~BackendOdbc() override { Cerrar(); }

  void Abrir(const DestinoConexion& d, long tiempoEspera) override {
    tiempo_ = tiempoEspera;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
    SQLSetConnectAttr(
        dbc_, SQL_ATTR_LOGIN_TIMEOUT,
        reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(ConfiguracionOdbcActual().segundosConexion)),
        SQL_IS_UINTEGER);
    std::vector<SQLCHAR> cad(d.cadenaOdbc.begin(), d.cadenaOdbc.end());
    cad.push_back(0);
    SQLCHAR salida[2048];
    SQLSMALLINT largo = 0;
    SQLRETURN rc = SQLDriverConnect(dbc_, nullptr, cad.data(), SQL_NTS, salida, sizeof salida, &largo,
                                    SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
      auto lista = Diagnosticos(SQL_HANDLE_DBC, dbc_);
      Cerrar();
      if (lista.empty()) {
        Error e;
        e.Description = "No se pudo establecer la conexión ODBC";
        e.SQLState = "08001";
        e.Source = kFuente;
        lista.push_back(e);
      }
      // Whatever a driver says about a failed login, the connection was refused.
      for (auto& e : lista) e.Number = errProveedor;
      Fallar(lista);
    }
    // Informational records of a good login ("Changed database context"...) are not
    // errors: callers read a non-empty list as a failure.
    errores_.Clear();
    conectado_ = true;
  }

  void Cerrar() override {
    if (dbc_) {
      if (conectado_) SQLDisconnect(dbc_);
      SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    }
    if (env_) SQLFreeHandle(SQL_HANDLE_ENV, env_);
    dbc_ = env_ = nullptr;
    conectado_ = false;
  }

  struct Sentencia {
    SQLHSTMT h = nullptr;
    ~Sentencia() {
      if (h) SQLFreeHandle(SQL_HANDLE_STMT, h);
    }
  };

  // With a waiting hook set and a driver that allows it, a statement runs asynchronously
  // and is polled from this thread, so the hook runs (a window repaints) while the server
  // holds it, and the hook ending the wait cancels it. Otherwise it runs synchronously,
  // bounded by the query time-out alone.
  static void Asincrona(Sentencia& s) {
    if (HayAlEsperarBase())
      SQLSetStmtAttr(s.h, SQL_ATTR_ASYNC_ENABLE, reinterpret_cast<SQLPOINTER>(SQL_ASYNC_ENABLE_ON), 0);
  }

  // Calls an ODBC function until it is no longer running asynchronously.
  template <class F>
  static SQLRETURN Sondear(SQLHSTMT h, F&& llamada) {
    SQLRETURN rc = llamada();
    if (rc != SQL_STILL_EXECUTING) return rc;
    const auto inicio = std::chrono::steady_clock::now();
    bool cancelada = false;
    for (int vueltas = 0; rc == SQL_STILL_EXECUTING; ++vueltas) {
      const double esperado =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
      if (!cancelada && !EsperandoBase(esperado)) {
        SQLCancel(h);  // the driver ends the call with HY008
        cancelada = true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(vueltas < 10 ? 2 : 20));
      rc = llamada();
    }
    return rc;
  }

  void Comprobar(SQLRETURN rc, SQLSMALLINT tipo, SQLHANDLE h, bool avisos = true) {
    if (rc == SQL_SUCCESS || rc == SQL_NO_DATA) return;
    if (rc == SQL_SUCCESS_WITH_INFO) {
      if (avisos) {
        auto l = Diagnosticos(tipo, h);
        if (!l.empty()) {
          errores_.Clear();
          for (auto& e : l) errores_.Append(e);
        }
      }
      return;
    }
    auto l = Diagnosticos(tipo, h);
    if (l.empty()) {
      Error e;
      e.Number = errProveedor;
      e.Source = kFuente;
      e.Description = "Error del controlador ODBC";
      l.push_back(e);
    }
    Fallar(l);
  }

  void NuevaSentencia(Sentencia& s) {
    Comprobar(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &s.h), SQL_HANDLE_DBC, dbc_);
    if (tiempo_ > 0)
      SQLSetStmtAttr(s.h, SQL_ATTR_QUERY_TIMEOUT,
                     reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(tiempo_)), 0);
  }

  // Every row of the current result of s.
  std::unique_ptr<CursorMemoria> LeerResultado(SQLHSTMT h, SQLSMALLINT ncol) {
    std::vector<Columna> cols(static_cast<size_t>(ncol));
    std::vector<SQLSMALLINT> tipos(static_cast<size_t>(ncol));
    for (SQLSMALLINT i = 1; i <= ncol; ++i) {
      SQLCHAR nombre[512];
      SQLSMALLINT largo = 0, tipo = 0, dec = 0, nul = 0;
      SQLULEN tam = 0;
      Sondear(h,
              [&] { return SQLDescribeCol(h, i, nombre, sizeof nombre, &largo, &tipo, &tam, &dec, &nul); });
      Columna& c = cols[static_cast<size_t>(i - 1)];
      c.nombre = reinterpret_cast<char*>(nombre);
      char buf[512];
      SQLSMALLINT bl = 0;
      std::string nombreTipo;
      if (SQL_SUCCEEDED(Sondear(
              h, [&] { return SQLColAttribute(h, i, SQL_DESC_TYPE_NAME, buf, sizeof buf, &bl, nullptr); })))
        nombreTipo.assign(buf, static_cast<size_t>(std::max<SQLSMALLINT>(0, std::min<SQLSMALLINT>(bl, 511))));
      if (SQL_SUCCEEDED(Sondear(h, [&] {
            return SQLColAttribute(h, i, SQL_DESC_BASE_TABLE_NAME, buf, sizeof buf, &bl, nullptr);
          })))
        c.tabla.assign(buf, static_cast<size_t>(std::max<SQLSMALLINT>(0, std::min<SQLSMALLINT>(bl, 511))));
      if (SQL_SUCCEEDED(Sondear(h, [&] {
            return SQLColAttribute(h, i, SQL_DESC_BASE_COLUMN_NAME, buf, sizeof buf, &bl, nullptr);
          })))
        c.origen.assign(buf, static_cast<size_t>(std::max<SQLSMALLINT>(0, std::min<SQLSMALLINT>(bl, 511))));
      c.tipo = TipoAdo(tipo, nombreTipo, tam, c.tamano);
      tipos[static_cast<size_t>(i - 1)] = tipo;
    }
    auto m = std::make_unique<CursorMemoria>(cols);
    std::vector<basic::Variant> fila(static_cast<size_t>(ncol));
    for (;;) {
      SQLRETURN rc = Sondear(h, [&] { return SQLFetch(h); });
      if (rc == SQL_NO_DATA) break;
      Comprobar(rc, SQL_HANDLE_STMT, h);
      for (SQLSMALLINT i = 1; i <= ncol; ++i)
        Valor(h, i, cols[static_cast<size_t>(i - 1)].tipo, fila[static_cast<size_t>(i - 1)]);
      m->Agregar(fila);
    }
    return m;
  }

  void Valor(SQLHSTMT h, SQLUSMALLINT i, long tipo, basic::Variant& d) {
    SQLLEN ind = 0;
    switch (tipo) {
      case adBoolean:
      case adSmallInt:
      case 17:
      case adInteger:
      case adBigInt: {
        SQLBIGINT v = 0;
        Comprobar(Sondear(h, [&] { return SQLGetData(h, i, SQL_C_SBIGINT, &v, 0, &ind); }), SQL_HANDLE_STMT,
                  h, false);
        if (ind == SQL_NULL_DATA)
          d = basic::Variant::Null();
        else if (tipo == adBoolean)
          d = basic::Variant(v != 0);
        else if (tipo != adInteger && tipo != adBigInt && v >= INT16_MIN && v <= INT16_MAX)
          d = basic::Variant(static_cast<int16_t>(v));
        else if (v >= INT32_MIN && v <= INT32_MAX)
          d = basic::Variant(static_cast<int32_t>(v));
        else
          d = basic::Variant(static_cast<double>(v));
        return;
      }
      case adDouble:
      case adSingle: {
        double v = 0;
        Comprobar(Sondear(h, [&] { return SQLGetData(h, i, SQL_C_DOUBLE, &v, 0, &ind); }), SQL_HANDLE_STMT, h,
                  false);
        d = ind == SQL_NULL_DATA ? basic::Variant::Null() : basic::Variant(v);
        return;
      }
      case adDBTimeStamp: {
        SQL_TIMESTAMP_STRUCT ts{};
        SQLRETURN rc =
            Sondear(h, [&] { return SQLGetData(h, i, SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts, &ind); });
        if (SQL_SUCCEEDED(rc)) {
          d = ind == SQL_NULL_DATA ? basic::Variant::Null() : basic::Variant::DeFecha(FechaDe(ts));
          return;
        }
        break;  // read it as text
      }
      default: break;
    }
    std::string s;
    char buf[4096];
    for (;;) {
      SQLRETURN rc = Sondear(h, [&] {
        return SQLGetData(h, i, tipo == adLongVarBinary ? SQL_C_BINARY : SQL_C_CHAR, buf, sizeof buf, &ind);
      });
      if (rc == SQL_NO_DATA) break;
      Comprobar(rc, SQL_HANDLE_STMT, h, false);
      if (ind == SQL_NULL_DATA) {
        d = basic::Variant::Null();
        return;
      }
      size_t util = tipo == adLongVarBinary ? sizeof buf : sizeof buf - 1;
      size_t n = (ind == SQL_NO_TOTAL || static_cast<size_t>(ind) > util) ? util : static_cast<size_t>(ind);
      s.append(buf, n);
      if (rc == SQL_SUCCESS) break;
    }
    if (tipo == adNumeric || tipo == adCurrency) {
      // Val reads "." whatever the C locale (strtod would stop at it under a comma locale).
      double v = basic::Val(s);
      if (tipo == adCurrency) {
        basic::Moneda m;
        m.escalado = static_cast<int64_t>(std::llround(v * 10000.0));
        d = basic::Variant(m);
      } else {
        d = basic::Variant(v);
      }
      return;
    }
    if (tipo == adDBTimeStamp) {
      basic::Fecha f;
      if (IsoAFecha(s.data(), s.size(), f)) {
        d = basic::Variant::DeFecha(f);
        return;
      }
    }
    d = basic::Variant(std::move(s));
  }

  std::unique_ptr<Cursor> Ejecutar(const std::string& sql, long& afectados) override {
    Sentencia s;
    NuevaSentencia(s);
    std::vector<SQLCHAR> t(sql.begin(), sql.end());
    t.push_back(0);
    Asincrona(s);
    Comprobar(Sondear(s.h, [&] { return SQLExecDirect(s.h, t.data(), SQL_NTS); }), SQL_HANDLE_STMT, s.h);
    afectados = -1;
    std::unique_ptr<Cursor> resultado;
    for (;;) {
      SQLSMALLINT ncol = 0;
      Sondear(s.h, [&] { return SQLNumResultCols(s.h, &ncol); });
      if (ncol > 0) {
        auto m = LeerResultado(s.h, ncol);
        if (!resultado) resultado = std::move(m);
      } else {
        SQLLEN n = -1;
        if (SQL_SUCCEEDED(Sondear(s.h, [&] { return SQLRowCount(s.h, &n); })) && n >= 0)
          afectados = (afectados < 0 ? 0 : afectados) + static_cast<long>(n);
      }
      SQLRETURN rc = Sondear(s.h, [&] { return SQLMoreResults(s.h); });
      if (rc == SQL_NO_DATA) break;
      Comprobar(rc, SQL_HANDLE_STMT, s.h);
    }
    return resultado;
  }

  void Enlazar(SQLHSTMT h, SQLUSMALLINT i, const basic::Variant& v, std::vector<std::string>& textos,
               std::vector<SQLLEN>& ind, std::vector<double>& dobles, std::vector<SQLBIGINT>& enteros,
               std::vector<SQL_TIMESTAMP_STRUCT>& fechas) {
    using T = basic::TipoVariant;
    SQLLEN& in = ind[i - 1];
    switch (v.Tipo()) {
      case T::Empty:
      case T::Null:
        in = SQL_NULL_DATA;
        Comprobar(SQLBindParameter(h, i, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 1, 0, nullptr, 0, &in),
                  SQL_HANDLE_STMT, h);
        return;
      case T::Integer:
      case T::Long:
      case T::Boolean:
        enteros[i - 1] = v.Tipo() == T::Boolean ? (v.Booleano() ? 1 : 0) : v.Entero();
        in = 0;
        Comprobar(
            SQLBindParameter(h, i, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &enteros[i - 1], 0, &in),
            SQL_HANDLE_STMT, h);
        return;
      case T::Double:
      case T::Currency:
        dobles[i - 1] = v.Numero();
        in = 0;
        Comprobar(
            SQLBindParameter(h, i, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &dobles[i - 1], 0, &in),
            SQL_HANDLE_STMT, h);
        return;
      case T::Date: {
        // A timestamp, not text: the server's reading of "yyyy-mm-dd" depends on the
        // login's date order.
        const basic::Fecha f = v.AFecha();
        SQL_TIMESTAMP_STRUCT& ts = fechas[i - 1];
        ts = SQL_TIMESTAMP_STRUCT{};
        ts.year = static_cast<SQLSMALLINT>(basic::Year(f));
        ts.month = static_cast<SQLUSMALLINT>(basic::Month(f));
        ts.day = static_cast<SQLUSMALLINT>(basic::Day(f));
        ts.hour = static_cast<SQLUSMALLINT>(basic::Hour(f));
        ts.minute = static_cast<SQLUSMALLINT>(basic::Minute(f));
        ts.second = static_cast<SQLUSMALLINT>(basic::Second(f));
        in = sizeof ts;
        Comprobar(SQLBindParameter(h, i, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 19, 0,
                                   &ts, sizeof ts, &in),
                  SQL_HANDLE_STMT, h);
        return;
      }
      default: {
        std::string& t = textos[i - 1];
        t = v.Cadena() ? *v.Cadena() : v.Texto();
        in = static_cast<SQLLEN>(t.size());
        Comprobar(
            SQLBindParameter(h, i, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, std::max<SQLULEN>(1, t.size()),
                             0, t.data(), static_cast<SQLLEN>(t.size()), &in),
            SQL_HANDLE_STMT, h);
      }
    }
  }

  long EjecutarConValores(const std::string& sql, const std::vector<basic::Variant>& valores) override {
    Sentencia s;
    NuevaSentencia(s);
    size_t n = valores.size();
    std::vector<std::string> textos(n);
    std::vector<SQLLEN> ind(n);
    std::vector<double> dobles(n);
    std::vector<SQLBIGINT> enteros(n);
    std::vector<SQL_TIMESTAMP_STRUCT> fechas(n);
    for (size_t i = 0; i < n; ++i)
      Enlazar(s.h, static_cast<SQLUSMALLINT>(i + 1), valores[i], textos, ind, dobles, enteros, fechas);
    std::vector<SQLCHAR> t(sql.begin(), sql.end());
    t.push_back(0);
    Asincrona(s);
    Comprobar(Sondear(s.h, [&] { return SQLExecDirect(s.h, t.data(), SQL_NTS); }), SQL_HANDLE_STMT, s.h);
    SQLLEN c = 0;
    Sondear(s.h, [&] { return SQLRowCount(s.h, &c); });
    return static_cast<long>(c);
  }

  std::vector<basic::Variant> ReleerInsertada(const std::string&, const std::vector<std::string>&) override {
    return {};
  }

  std::vector<std::string> ClavePrimaria(const std::string& tabla) override {
    Sentencia s;
    NuevaSentencia(s);
    std::vector<SQLCHAR> t(tabla.begin(), tabla.end());
    t.push_back(0);
    std::vector<std::string> r;
    if (!SQL_SUCCEEDED(SQLPrimaryKeys(s.h, nullptr, 0, nullptr, 0, t.data(), SQL_NTS))) return r;
    std::vector<std::pair<int, std::string>> pk;
    while (SQL_SUCCEEDED(SQLFetch(s.h))) {
      char col[512];
      SQLLEN ind = 0;
      SQLSMALLINT seq = 0;
      SQLGetData(s.h, 4, SQL_C_CHAR, col, sizeof col, &ind);
      SQLGetData(s.h, 5, SQL_C_SSHORT, &seq, 0, nullptr);
      if (ind > 0) pk.emplace_back(seq, std::string(col));
    }
    std::sort(pk.begin(), pk.end());
    for (auto& p : pk) r.push_back(p.second);
    return r;
  }

  void Autocommit(bool si) {
    Comprobar(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT,
                                reinterpret_cast<SQLPOINTER>(si ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), 0),
              SQL_HANDLE_DBC, dbc_);
  }
  void Iniciar() override { Autocommit(false); }
  void Confirmar() override {
    Comprobar(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT), SQL_HANDLE_DBC, dbc_);
    Autocommit(true);
  }
  void Deshacer() override {
    Comprobar(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK), SQL_HANDLE_DBC, dbc_);
    Autocommit(true);
  }

  std::unique_ptr<Cursor> Esquema(long esquema, const std::vector<basic::Variant>& r) override {
    std::vector<std::vector<SQLCHAR>> args(4);
    std::vector<bool> dado(4, false);
    for (size_t i = 0; i < 4 && i < r.size(); ++i) {
      if (r[i].EsNull() || r[i].EsEmpty()) continue;
      std::string t = r[i].Texto();
      args[i].assign(t.begin(), t.end());
      args[i].push_back(0);
      dado[i] = true;
    }
    auto p = [&](size_t i) { return dado[i] ? args[i].data() : nullptr; };
    auto l = [&](size_t i) -> SQLSMALLINT { return dado[i] ? SQL_NTS : 0; };
    Sentencia s;
    NuevaSentencia(s);
    if (esquema == adSchemaTables) {
      Comprobar(SQLTables(s.h, p(0), l(0), p(1), l(1), p(2), l(2), p(3), l(3)), SQL_HANDLE_STMT, s.h);
      auto m = LeerResultado(s.h, 4);
      const char* nombres[] = {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "TABLE_TYPE"};
      for (size_t i = 0; i < 4; ++i) m->ColumnasMod()[i].nombre = nombres[i];
      return m;
    }
    if (esquema == adSchemaColumns) {
      Comprobar(SQLColumns(s.h, p(0), l(0), p(1), l(1), p(2), l(2), p(3), l(3)), SQL_HANDLE_STMT, s.h);
      SQLSMALLINT ncol = 0;
      Sondear(s.h, [&] { return SQLNumResultCols(s.h, &ncol); });
      auto todo = LeerResultado(s.h, ncol);
      // TABLE_CAT, TABLE_SCHEM, TABLE_NAME, COLUMN_NAME, DATA_TYPE (5), TYPE_NAME (6),
      // COLUMN_SIZE (7), NULLABLE (11), ORDINAL_POSITION (17).
      Columna ord, dt, len, nul;
      ord.nombre = "ORDINAL_POSITION", ord.tipo = adInteger, ord.tamano = 4;
      dt.nombre = "DATA_TYPE", dt.tipo = adSmallInt, dt.tamano = 2;
      len.nombre = "CHARACTER_MAXIMUM_LENGTH", len.tipo = adInteger, len.tamano = 4;
      nul.nombre = "IS_NULLABLE", nul.tipo = adBoolean, nul.tamano = 2;
      std::vector<Columna> cols(todo->Columnas().begin(), todo->Columnas().begin() + 4);
      const char* nombres[] = {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "COLUMN_NAME"};
      for (size_t i = 0; i < 4; ++i) cols[i].nombre = nombres[i];
      cols.insert(cols.end(), {ord, dt, len, nul});
      auto m = std::make_unique<CursorMemoria>(cols);
      std::vector<basic::Variant> v(static_cast<size_t>(ncol));
      while (todo->Siguiente()) {
        for (size_t i = 0; i < v.size(); ++i) todo->Leer(i, v[i]);
        long definido = 0;
        long ado = TipoAdo(static_cast<SQLSMALLINT>(v[4].Entero()), v[5].Texto(),
                           static_cast<SQLULEN>(v[6].Numero()), definido);
        bool esTexto = ado == adChar || ado == adVarChar || ado == adWChar || ado == adVarWChar ||
                       ado == adLongVarChar || ado == adLongVarWChar;
        m->Agregar(
            {v[0], v[1], v[2], v[3],
             ncol >= 17 ? basic::Variant(static_cast<int32_t>(v[16].Entero())) : basic::Variant::Null(),
             basic::Variant(static_cast<int16_t>(ado)),
             esTexto ? basic::Variant(static_cast<int32_t>(definido)) : basic::Variant::Null(),
             basic::Variant(v[10].Entero() != 0)});
      }
      return m;
    }
    Error e;
    e.Number = errProveedor;
    e.Source = kFuente;
    e.SQLState = "HYC00";
    e.Description = "Esquema no admitido: " + std::to_string(esquema);
    Fallar({e});
  }

  void FijarTiempoEspera(long segundos) override { tiempo_ = segundos; }

  void FijarBaseDefecto(const std::string& base) override {
    std::vector<SQLCHAR> t(base.begin(), base.end());
    t.push_back(0);
    SQLRETURN rc = SQLSetConnectAttr(dbc_, SQL_ATTR_CURRENT_CATALOG, t.data(), SQL_NTS);
    if (SQL_SUCCEEDED(rc)) return;
    auto l = Diagnosticos(SQL_HANDLE_DBC, dbc_);
    // Drivers without catalogs (SQLite's) simply do not support it.
    for (const auto& e : l)
      if (e.SQLState == "HYC00" || e.SQLState == "HY092" || e.SQLState == "HY024" || e.SQLState == "IM001")
        return;
    if (!l.empty()) Fallar(l);
  }

 private:
  SQLHENV env_ = nullptr;
  SQLHDBC dbc_ = nullptr;
  bool conectado_ = false;
  long tiempo_ = 30;
};

}  // namespace

std::unique_ptr<Backend> CrearBackendOdbc(Errors& e) { return std::make_unique<BackendOdbc>(e); }

std::string ValorOdbc(const std::string& v) { return ConLlaves(v); }

}  // namespace ado
