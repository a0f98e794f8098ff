// The embedded road: a SQLite file, statements translated from T-SQL, failures
// reported in SQL Server's terms (2627 duplicate key, 547 broken reference...).
#include <chrono>
#include <thread>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <cstring>
#include <filesystem>

#include "platform/ado/backend.h"
#include "platform/ado/dialecto_sqlite.h"
#include "platform/ado/texto_sqlite.h"
#include "platform/basic/texto.h"

namespace ado {
namespace {

// A rollback journal that is truncated rather than deleted after each write saves making and
// removing a file per statement; other connections read it like the usual one. Only from
// the default mode (a WAL database stays as it is) and never an error.
void TruncarDiario(sqlite3* db) {
  sqlite3_stmt* st = nullptr;
  bool borrar = false;
  if (sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &st, nullptr) == SQLITE_OK &&
      sqlite3_step(st) == SQLITE_ROW) {
    const auto* modo = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    borrar = modo && sqlite3_stricmp(modo, "delete") == 0;
  }
  sqlite3_finalize(st);
  if (borrar) sqlite3_exec(db, "PRAGMA journal_mode=TRUNCATE", nullptr, nullptr, nullptr);
}

const char* kFuente = "Microsoft OLE DB Provider for SQL Server (SQLite)";

Error ErrorDe(sqlite3* db, int rc, const std::string& contexto = "") {
  Error e;
  e.Source = kFuente;
  std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  int ext = db ? sqlite3_extended_errcode(db) : rc;
  e.Description = contexto.empty() ? msg : contexto + ": " + msg;
  e.Number = errProveedor;
  e.SQLState = "HY000";
  e.NativeError = ext;
  switch (ext & 0xff) {
    case SQLITE_CONSTRAINT:
      e.Number = errIntegridad;
      e.SQLState = "23000";
      if (ext == SQLITE_CONSTRAINT_PRIMARYKEY || ext == SQLITE_CONSTRAINT_UNIQUE) {
        e.NativeError = 2627;
        e.Description =
            "Infracción de la restricción de clave única; no se puede insertar una "
            "clave duplicada (" +
            msg + ")";
      } else if (ext == SQLITE_CONSTRAINT_FOREIGNKEY || ext == SQLITE_CONSTRAINT_CHECK) {
        e.NativeError = 547;
        e.Description = "Conflicto con una restricción de referencia o de comprobación (" + msg + ")";
      } else if (ext == SQLITE_CONSTRAINT_NOTNULL) {
        e.NativeError = 515;
        e.Description = "No se puede insertar el valor NULL en la columna (" + msg + ")";
      }
      break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      // Another program holds the file past CommandTimeout: a time-out, as on the server,
      // not a lost connection (which would reconnect).
      e.Number = errTiempoAgotado;
      e.SQLState = "HYT00";
      e.NativeError = 1222;
      e.Description =
          "La base de datos está bloqueada por otro proceso; se agotó el tiempo de "
          "espera (" +
          msg + ")";
      break;
    case SQLITE_CANTOPEN:
    case SQLITE_NOTADB:
    case SQLITE_PERM:
    case SQLITE_IOERR:
    case SQLITE_CORRUPT:
      e.SQLState = "08001";
      e.NativeError = 4060;
      break;
    case SQLITE_ERROR:
      if (msg.find("no such table") != std::string::npos) {
        e.Number = errTablaNoExiste;
        e.SQLState = "42S02";
        e.NativeError = 208;
      } else if (msg.find("syntax error") != std::string::npos ||
                 msg.find("incomplete input") != std::string::npos ||
                 msg.find("unrecognized token") != std::string::npos) {
        e.Number = errComando;
        e.SQLState = "42000";
        e.NativeError = 102;
      } else if (msg.find("no such column") != std::string::npos) {
        e.Number = errComando;
        e.SQLState = "42S22";
        e.NativeError = 207;
      } else if (msg.find("no such function") != std::string::npos) {
        e.Number = errComando;
        e.SQLState = "42000";
        e.NativeError = 195;
      } else {
        e.Number = errComando;
        e.SQLState = "42000";
      }
      break;
    default: break;
  }
  return e;
}

// ---- functions of the T-SQL dialect ----------------------------------------------

size_t CaracteresUtf8(const unsigned char* p, size_t n) {
  size_t c = 0;
  for (size_t i = 0; i < n; ++i)
    if ((p[i] & 0xC0) != 0x80) ++c;
  return c;
}

void FnLen(sqlite3_context* ctx, int, sqlite3_value** v) {
  if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const unsigned char* p = sqlite3_value_text(v[0]);
  size_t n = static_cast<size_t>(sqlite3_value_bytes(v[0]));
  while (n > 0 && p[n - 1] == ' ') --n;  // LEN ignores trailing blanks
  sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(CaracteresUtf8(p, n)));
}

void FnCaso(sqlite3_context* ctx, int, sqlite3_value** v) {
  if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const std::string t(reinterpret_cast<const char*>(sqlite3_value_text(v[0])),
                      static_cast<size_t>(sqlite3_value_bytes(v[0])));
  const std::string r = sqlite3_user_data(ctx) != nullptr ? basic::UCase(t) : basic::LCase(t);
  sqlite3_result_text(ctx, r.data(), static_cast<int>(r.size()), SQLITE_TRANSIENT);
}

std::string Plegado(sqlite3_value* v) {
  return basic::PlegarMayusculas(std::string_view(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                                  static_cast<size_t>(sqlite3_value_bytes(v))));
}

// CHARINDEX(sought, text[, start]) without regard to case, 1-based in characters.
void FnCharindex(sqlite3_context* ctx, int argc, sqlite3_value** v) {
  if (sqlite3_value_type(v[0]) == SQLITE_NULL || sqlite3_value_type(v[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  const std::string b = Plegado(v[0]);
  const std::string t = Plegado(v[1]);
  long inicio = argc > 2 ? static_cast<long>(sqlite3_value_int64(v[2])) : 1;
  if (inicio < 1) inicio = 1;
  // byte offset of the start character
  size_t off = 0;
  for (long c = 1; c < inicio && off < t.size(); ++off)
    if (off + 1 >= t.size() || (static_cast<unsigned char>(t[off + 1]) & 0xC0) != 0x80) ++c;
  if (b.empty()) return sqlite3_result_int64(ctx, 0);
  size_t p = t.find(b, off);
  if (p == std::string::npos) return sqlite3_result_int64(ctx, 0);
  sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(
                                CaracteresUtf8(reinterpret_cast<const unsigned char*>(t.data()), p) + 1));
}

void FnGetdate(sqlite3_context* ctx, int, sqlite3_value**) {
  time_t t = time(nullptr);
  struct tm lt;
  localtime_r(&t, &lt);
  char buf[32];
  strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &lt);
  sqlite3_result_text(ctx, buf, -1, SQLITE_TRANSIENT);
}

void FnSpace(sqlite3_context* ctx, int, sqlite3_value** v) {
  long n = static_cast<long>(sqlite3_value_int64(v[0]));
  if (n < 0) return sqlite3_result_null(ctx);
  std::string s(static_cast<size_t>(std::min(n, 8000L)), ' ');
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void FnReplicate(sqlite3_context* ctx, int, sqlite3_value** v) {
  if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  long n = static_cast<long>(sqlite3_value_int64(v[1]));
  if (n < 0) return sqlite3_result_null(ctx);
  std::string u(reinterpret_cast<const char*>(sqlite3_value_text(v[0])),
                static_cast<size_t>(sqlite3_value_bytes(v[0])));
  std::string s;
  for (long i = 0; i < n && s.size() < 8000; ++i) s += u;
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void RegistrarFunciones(sqlite3* db) {
  const int f = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  static int marca = 1;
  sqlite3_create_function(db, "LEN", 1, f, nullptr, FnLen, nullptr, nullptr);
  sqlite3_create_function(db, "UPPER", 1, f, &marca, FnCaso, nullptr, nullptr);
  sqlite3_create_function(db, "LOWER", 1, f, nullptr, FnCaso, nullptr, nullptr);
  sqlite3_create_function(db, "CHARINDEX", 2, f, nullptr, FnCharindex, nullptr, nullptr);
  sqlite3_create_function(db, "CHARINDEX", 3, f, nullptr, FnCharindex, nullptr, nullptr);
  sqlite3_create_function(db, "GETDATE", 0, SQLITE_UTF8, nullptr, FnGetdate, nullptr, nullptr);
  sqlite3_create_function(db, "SPACE", 1, f, nullptr, FnSpace, nullptr, nullptr);
  sqlite3_create_function(db, "REPLICATE", 2, f, nullptr, FnReplicate, nullptr, nullptr);
  RegistrarTextoSinCaso(db);
}

// ---- reading values --------------------------------------------------------------

enum class Conv : unsigned char {
  Dinamica,
  Texto,
  Entero16,
  Entero32,
  Booleano,
  Fecha,
  Doble,
  Moneda,
  Binario
};

Conv ConvDe(long tipo) {
  switch (tipo) {
    case adChar:
    case adVarChar:
    case adLongVarChar:
    case adWChar:
    case adVarWChar:
    case adLongVarWChar: return Conv::Texto;
    case adSmallInt:
    case 17: return Conv::Entero16;
    case adInteger:
    case adBigInt: return Conv::Entero32;
    case adBoolean: return Conv::Booleano;
    case adDBTimeStamp:
    case adDate: return Conv::Fecha;
    case adDouble:
    case adSingle:
    case adNumeric: return Conv::Doble;
    case adCurrency: return Conv::Moneda;
    case adLongVarBinary: return Conv::Binario;
    default: return Conv::Dinamica;
  }
}

inline void EnteroA(basic::Variant& d, sqlite3_int64 v) {
  if (v >= INT32_MIN && v <= INT32_MAX)
    d = basic::Variant(static_cast<int32_t>(v));
  else
    d = basic::Variant(static_cast<double>(v));
}

class CursorSqlite : public Cursor {
 public:
  CursorSqlite(sqlite3* db, sqlite3_stmt* st, int primerPaso, Errors& errores)
      : db_(db), st_(st), paso_(primerPaso), errores_(errores) {
    int n = sqlite3_column_count(st);
    columnas_.resize(static_cast<size_t>(n));
    conv_.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
      Columna& c = columnas_[static_cast<size_t>(i)];
      c.nombre = sqlite3_column_name(st, i);
      const char* decl = sqlite3_column_decltype(st, i);
      const char* tabla = sqlite3_column_table_name(st, i);
      const char* origen = sqlite3_column_origin_name(st, i);
      if (tabla) c.tabla = tabla;
      if (origen) c.origen = origen;
      TipoDeclarado(decl ? decl : "", c.tipo, c.tamano);
      if (c.tipo == adEmpty) {
        // An expression: typed by its first value, as the server types it.
        switch (primerPaso == SQLITE_ROW ? sqlite3_column_type(st, i) : SQLITE_TEXT) {
          case SQLITE_INTEGER: c.tipo = adInteger, c.tamano = 4; break;
          case SQLITE_FLOAT: c.tipo = adDouble, c.tamano = 8; break;
          case SQLITE_BLOB: c.tipo = adLongVarBinary, c.tamano = 2147483647; break;
          default: c.tipo = adVarChar, c.tamano = 8000; break;
        }
        conv_[static_cast<size_t>(i)] = Conv::Dinamica;
      } else {
        conv_[static_cast<size_t>(i)] = ConvDe(c.tipo);
      }
    }
  }
  ~CursorSqlite() override { Liberar(); }

  const std::vector<Columna>& Columnas() const override { return columnas_; }

  bool Siguiente() override {
    if (!st_) return false;
    int rc;
    if (paso_ != 0) {
      rc = paso_;
      paso_ = 0;
    } else {
      rc = sqlite3_step(st_);
    }
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) {
      // A failure on a later row is reported like one on the first.
      Error e = ErrorDe(db_, rc);
      Liberar();
      errores_.Clear();
      errores_.Append(e);
      throw ErrorEjecucion(e.Number, e.Description, e.Source);
    }
    Liberar();
    return false;
  }

  void Leer(size_t c, basic::Variant& d) override {
    int i = static_cast<int>(c);
    int st = sqlite3_column_type(st_, i);
    if (st == SQLITE_NULL) {
      if (!d.EsNull()) d = basic::Variant::Null();
      return;
    }
    switch (conv_[c]) {
      case Conv::Texto:
        AsignarTexto(d, reinterpret_cast<const char*>(sqlite3_column_text(st_, i)),
                     static_cast<size_t>(sqlite3_column_bytes(st_, i)));
        return;
      case Conv::Entero16:
        if (st == SQLITE_INTEGER) {
          sqlite3_int64 v = sqlite3_column_int64(st_, i);
          if (v >= INT16_MIN && v <= INT16_MAX)
            d = basic::Variant(static_cast<int16_t>(v));
          else
            EnteroA(d, v);
          return;
        }
        break;
      case Conv::Entero32:
        if (st == SQLITE_INTEGER) return EnteroA(d, sqlite3_column_int64(st_, i));
        break;
      case Conv::Booleano:
        if (st == SQLITE_INTEGER || st == SQLITE_FLOAT) {
          d = basic::Variant(sqlite3_column_double(st_, i) != 0);
          return;
        }
        break;
      case Conv::Fecha:
        if (st == SQLITE_TEXT) {
          basic::Fecha f;
          if (IsoAFecha(reinterpret_cast<const char*>(sqlite3_column_text(st_, i)),
                        static_cast<size_t>(sqlite3_column_bytes(st_, i)), f)) {
            d = basic::Variant::DeFecha(f);
            return;
          }
        } else {
          d = basic::Variant::DeFecha(sqlite3_column_double(st_, i));
          return;
        }
        break;
      case Conv::Doble:
        if (st == SQLITE_INTEGER || st == SQLITE_FLOAT) {
          d = basic::Variant(sqlite3_column_double(st_, i));
          return;
        }
        break;
      case Conv::Moneda:
        if (st == SQLITE_INTEGER || st == SQLITE_FLOAT) {
          basic::Moneda m;
          m.escalado = static_cast<int64_t>(std::llround(sqlite3_column_double(st_, i) * 10000.0));
          d = basic::Variant(m);
          return;
        }
        break;
      case Conv::Binario:
      case Conv::Dinamica: break;
    }
    // By the stored value.
    switch (st) {
      case SQLITE_INTEGER: return EnteroA(d, sqlite3_column_int64(st_, i));
      case SQLITE_FLOAT: d = basic::Variant(sqlite3_column_double(st_, i)); return;
      case SQLITE_BLOB:
        AsignarTexto(d, static_cast<const char*>(sqlite3_column_blob(st_, i)),
                     static_cast<size_t>(sqlite3_column_bytes(st_, i)));
        return;
      default:
        AsignarTexto(d, reinterpret_cast<const char*>(sqlite3_column_text(st_, i)),
                     static_cast<size_t>(sqlite3_column_bytes(st_, i)));
    }
  }

 private:
  void Liberar() {
    if (st_) sqlite3_finalize(st_);
    st_ = nullptr;
  }
  sqlite3* db_;
  sqlite3_stmt* st_;
  int paso_;
  Errors& errores_;
  std::vector<Columna> columnas_;
  std::vector<Conv> conv_;
};

void Enlazar(sqlite3_stmt* st, int i, const basic::Variant& v) {
  using T = basic::TipoVariant;
  switch (v.Tipo()) {
    case T::Empty:
    case T::Null: sqlite3_bind_null(st, i); break;
    case T::Integer:
    case T::Long: sqlite3_bind_int64(st, i, v.Entero()); break;
    case T::Boolean: sqlite3_bind_int(st, i, v.Booleano() ? 1 : 0); break;
    case T::Double:
    case T::Currency: sqlite3_bind_double(st, i, v.Numero()); break;
    case T::Date: {
      std::string iso = FechaAIso(v.AFecha());
      sqlite3_bind_text(st, i, iso.data(), static_cast<int>(iso.size()), SQLITE_TRANSIENT);
      break;
    }
    default: {
      const std::string* s = v.Cadena();
      std::string t = s ? *s : v.Texto();
      sqlite3_bind_text(st, i, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
    }
  }
}

std::string Comillas(const std::string& n) {
  std::string r = "\"";
  for (char c : n) {
    if (c == '"') r += '"';
    r += c;
  }
  return r + "\"";
}

class BackendSqlite : public Backend {
 public:
  using Backend::Backend;
  ~BackendSqlite() override { Cerrar(); }

  void Abrir(const DestinoConexion& d, long tiempoEspera) override {
    archivo_ = d.archivo;
    catalogo_ = d.catalogo;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(archivo_, ec)) {
      Error e;
      e.Number = errProveedor;
      e.Source = kFuente;
      e.SQLState = "08001";
      e.NativeError = 4060;
      e.Description =
          "No se puede abrir la base de datos \"" + d.catalogo + "\": no existe el archivo " + archivo_;
      Fallar({e});
    }
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(archivo_.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
      Error e = ErrorDe(db, rc, "No se puede abrir la base de datos " + archivo_);
      sqlite3_close_v2(db);
      Fallar({e});
    }
    db_ = db;
    sqlite3_extended_result_codes(db_, 1);
    FijarTiempoEspera(tiempoEspera);
    RegistrarFunciones(db_);
    // Proves the file is a database and turns references on.
    char* err = nullptr;
    rc = sqlite3_exec(db_, "PRAGMA foreign_keys=ON; SELECT count(*) FROM sqlite_master;", nullptr, nullptr,
                      &err);
    sqlite3_free(err);
    if (rc == SQLITE_OK) TruncarDiario(db_);
    if (rc != SQLITE_OK) {
      Error e = ErrorDe(db_, rc, "No se puede abrir la base de datos " + archivo_);
      e.Number = errProveedor;
      Cerrar();
      Fallar({e});
    }
    rc = OrdenarIndices();
    if (rc != SQLITE_OK) {
      // Two keys that only our order makes equal ("P004" and "P004 "), or a lock.
      Error e = ErrorDe(db_, rc);
      e.Number = errProveedor;
      e.Description = "No se puede abrir la base de datos " + archivo_ +
                      ": no se pueden reordenar sus índices (" + sqlite3_errmsg(db_) + ")";
      Cerrar();  // rolls the transaction back
      Fallar({e});
    }
  }

  int VersionUsuario() {
    sqlite3_stmt* st = nullptr;
    int v = 0;
    if (sqlite3_prepare_v2(db_, "PRAGMA user_version", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
      v = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    return v;
  }

  // Indexes of a file built with SQLite's own NOCASE (ASCII only) are sorted by another
  // order than ours: re-sorted once, under a write lock so two programs do it once. A
  // read-only file is left as it is.
  int OrdenarIndices() {
    if (VersionUsuario() >= kVersionTextoSinCaso || sqlite3_db_readonly(db_, "main") == 1) return SQLITE_OK;
    int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
    if (VersionUsuario() < kVersionTextoSinCaso) {
      const std::string sql = "REINDEX NOCASE; PRAGMA user_version = " + std::to_string(kVersionTextoSinCaso);
      rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
    }
    // On failure the transaction stays open with the error: the caller closes.
    return rc == SQLITE_OK ? sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) : rc;
  }

  void Cerrar() override {
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
  }

  // Prepares one translated statement; raises on failure.
  sqlite3_stmt* Preparar(const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &st, nullptr);
    if (rc != SQLITE_OK) {
      Error e = ErrorDe(db_, rc);
      sqlite3_finalize(st);
      Fallar({e});
    }
    return st;
  }

  int Paso(sqlite3_stmt* st) {
    int rc = sqlite3_step(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
      Error e = ErrorDe(db_, rc);
      sqlite3_finalize(st);
      Fallar({e});
    }
    return rc;
  }

  std::unique_ptr<Cursor> Ejecutar(const std::string& sql, long& afectados) override {
    std::vector<std::string> sentencias = TraducirLoteTSql(sql);
    afectados = -1;
    if (sentencias.empty()) return nullptr;
    std::unique_ptr<Cursor> resultado;
    for (size_t k = 0; k < sentencias.size(); ++k) {
      sqlite3_stmt* st = Preparar(sentencias[k]);
      if (!st) continue;  // a comment alone
      int rc = Paso(st);
      if (sqlite3_column_count(st) > 0) {
        auto c = std::make_unique<CursorSqlite>(db_, st, rc, errores_);
        if (sentencias.size() == 1) return c;  // streamed
        if (!resultado) {
          auto m = std::make_unique<CursorMemoria>(c->Columnas());
          m->Copiar(*c);
          resultado = std::move(m);
        } else {
          while (c->Siguiente()) {
          }
        }
        continue;
      }
      if (IniciaDml(sentencias[k])) afectados = (afectados < 0 ? 0 : afectados) + sqlite3_changes(db_);
      sqlite3_finalize(st);
    }
    return resultado;
  }

  static bool IniciaDml(const std::string& s) {
    std::string u = Mayus(s.substr(0, 7));
    return u.rfind("INSERT", 0) == 0 || u.rfind("UPDATE", 0) == 0 || u.rfind("DELETE", 0) == 0;
  }

  long EjecutarConValores(const std::string& sql, const std::vector<basic::Variant>& valores) override {
    sqlite3_stmt* st = Preparar(sql);
    for (size_t i = 0; i < valores.size(); ++i) Enlazar(st, static_cast<int>(i + 1), valores[i]);
    Paso(st);
    sqlite3_finalize(st);
    return sqlite3_changes(db_);
  }

  std::vector<basic::Variant> ReleerInsertada(const std::string& tabla,
                                              const std::vector<std::string>& columnas) override {
    std::string sql = "SELECT ";
    for (size_t i = 0; i < columnas.size(); ++i) sql += (i ? "," : "") + Comillas(columnas[i]);
    sql += " FROM " + Comillas(tabla) + " WHERE rowid = last_insert_rowid()";
    sqlite3_stmt* st = nullptr;
    std::vector<basic::Variant> fila;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
      sqlite3_finalize(st);
      return fila;  // a table without rowid: the values as written stay
    }
    int rc = sqlite3_step(st);
    CursorSqlite c(db_, st, rc, errores_);  // takes the statement
    if (c.Siguiente()) {
      fila.resize(columnas.size());
      for (size_t i = 0; i < columnas.size(); ++i) c.Leer(i, fila[i]);
      while (c.Siguiente()) {
      }
    }
    return fila;
  }

  std::vector<std::string> ClavePrimaria(const std::string& tabla) override {
    std::vector<std::pair<int, std::string>> pk;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, "SELECT name, pk FROM pragma_table_info(?) WHERE pk > 0", -1, &st, nullptr) ==
        SQLITE_OK) {
      sqlite3_bind_text(st, 1, tabla.c_str(), -1, SQLITE_TRANSIENT);
      while (sqlite3_step(st) == SQLITE_ROW)
        pk.emplace_back(sqlite3_column_int(st, 1), reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    }
    sqlite3_finalize(st);
    std::sort(pk.begin(), pk.end());
    std::vector<std::string> r;
    for (auto& p : pk) r.push_back(p.second);
    return r;
  }

  void Simple(const char* sql) {
    sqlite3_stmt* st = Preparar(sql);
    Paso(st);
    sqlite3_finalize(st);
  }
  void Iniciar() override { Simple("BEGIN TRANSACTION"); }
  void Confirmar() override { Simple("COMMIT TRANSACTION"); }
  void Deshacer() override { Simple("ROLLBACK TRANSACTION"); }

  std::unique_ptr<Cursor> Esquema(long esquema, const std::vector<basic::Variant>& r) override {
    auto restr = [&](size_t i) -> std::string {
      if (i >= r.size() || r[i].EsNull() || r[i].EsEmpty()) return "";
      return r[i].Texto();
    };
    std::vector<std::pair<std::string, std::string>> tablas;  // name, type
    {
      sqlite3_stmt* st = Preparar(
          "SELECT name, type FROM sqlite_master WHERE type IN ('table','view') AND name NOT LIKE "
          "'sqlite!_%' ESCAPE '!' ORDER BY name COLLATE NOCASE");
      while (Paso(st) == SQLITE_ROW)
        tablas.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                            Mayus(reinterpret_cast<const char*>(sqlite3_column_text(st, 1))));
      sqlite3_finalize(st);
    }
    auto texto = [](const char* n, long tam = 128) {
      Columna c;
      c.nombre = n;
      c.tipo = adVarWChar;
      c.tamano = tam;
      return c;
    };
    if (esquema == adSchemaTables) {
      auto m = std::make_unique<CursorMemoria>(std::vector<Columna>{
          texto("TABLE_CATALOG"), texto("TABLE_SCHEMA"), texto("TABLE_NAME"), texto("TABLE_TYPE", 32)});
      std::string nom = restr(2), tipo = restr(3);
      for (auto& [n, t] : tablas) {
        if (!nom.empty() && !IgualSinCaso(nom, n)) continue;
        if (!tipo.empty() && !IgualSinCaso(tipo, t)) continue;
        m->Agregar({basic::Variant(catalogo_), basic::Variant::Null(), basic::Variant(n), basic::Variant(t)});
      }
      return m;
    }
    if (esquema == adSchemaColumns) {
      Columna ord, dt, len, nul;
      ord.nombre = "ORDINAL_POSITION", ord.tipo = adInteger, ord.tamano = 4;
      dt.nombre = "DATA_TYPE", dt.tipo = adSmallInt, dt.tamano = 2;
      len.nombre = "CHARACTER_MAXIMUM_LENGTH", len.tipo = adInteger, len.tamano = 4;
      nul.nombre = "IS_NULLABLE", nul.tipo = adBoolean, nul.tamano = 2;
      auto m = std::make_unique<CursorMemoria>(
          std::vector<Columna>{texto("TABLE_CATALOG"), texto("TABLE_SCHEMA"), texto("TABLE_NAME"),
                               texto("COLUMN_NAME"), ord, dt, len, nul});
      std::string nom = restr(2), col = restr(3);
      for (auto& tn : tablas) {
        const std::string& n = tn.first;
        if (!nom.empty() && !IgualSinCaso(nom, n)) continue;
        sqlite3_stmt* st = Preparar("SELECT cid, name, type, \"notnull\" FROM pragma_table_info(?)");
        sqlite3_bind_text(st, 1, n.c_str(), -1, SQLITE_TRANSIENT);
        while (Paso(st) == SQLITE_ROW) {
          std::string cn = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
          if (!col.empty() && !IgualSinCaso(col, cn)) continue;
          const unsigned char* decl = sqlite3_column_text(st, 2);
          long tipo, tam;
          TipoDeclarado(decl ? reinterpret_cast<const char*>(decl) : "", tipo, tam);
          if (tipo == adEmpty) tipo = adVarChar, tam = 8000;
          bool esTexto = tipo == adChar || tipo == adVarChar || tipo == adWChar || tipo == adVarWChar ||
                         tipo == adLongVarChar || tipo == adLongVarWChar;
          m->Agregar({basic::Variant(catalogo_), basic::Variant::Null(), basic::Variant(n),
                      basic::Variant(cn), basic::Variant(static_cast<int32_t>(sqlite3_column_int(st, 0) + 1)),
                      basic::Variant(static_cast<int16_t>(tipo)),
                      esTexto ? basic::Variant(static_cast<int32_t>(tam)) : basic::Variant::Null(),
                      basic::Variant(sqlite3_column_int(st, 3) == 0)});
        }
        sqlite3_finalize(st);
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

  // A file another program holds: the wait is bounded by CommandTimeout (zero or less: a
  // day), and the process's waiting hook runs on every turn, so a window keeps painting and
  // its operator may end the wait as a time-out would.
  void FijarTiempoEspera(long segundos) override {
    limite_ = segundos <= 0 ? 24.0 * 3600 : static_cast<double>(segundos);
    if (db_) sqlite3_busy_handler(db_, &BackendSqlite::Ocupada, this);
  }
  void FijarBaseDefecto(const std::string&) override {}

 private:
  static int Ocupada(void* yo, int veces) {
    auto* b = static_cast<BackendSqlite*>(yo);
    const auto ahora = std::chrono::steady_clock::now();
    if (veces == 0) b->inicioEspera_ = ahora;
    const double esperado = std::chrono::duration<double>(ahora - b->inicioEspera_).count();
    if (esperado >= b->limite_) return 0;
    if (!EsperandoBase(esperado)) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(veces < 10 ? 2 : 20));
    return 1;
  }

  double limite_ = 30;
  std::chrono::steady_clock::time_point inicioEspera_{};
  sqlite3* db_ = nullptr;
  std::string archivo_, catalogo_;
};

}  // namespace

std::unique_ptr<Backend> CrearBackendSqlite(Errors& e) { return std::make_unique<BackendSqlite>(e); }

}  // namespace ado
