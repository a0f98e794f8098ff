// Recordset and Field. A forward-only, read-only recordset on a server-side cursor
// streams its rows (one row in memory, reused); every other one holds its rows, so it
// can move back, count them, and write added or changed rows back to their table.
#include <algorithm>

#include "platform/ado/backend.h"
#include "platform/basic/fecha.h"

namespace ado {

namespace {
const char* kFuenteRs = "ADODB.Recordset";
const char* kFuenteField = "ADODB.Field";
}  // namespace

struct Recordset::Impl {
  enum class Modo { Ninguno, Nuevo, Edicion };

  Recordset* self = nullptr;
  Connection* cnn = nullptr;
  bool abierto = false;
  long cursorType = adOpenForwardOnly;
  long lockType = adLockReadOnly;
  std::string fuente;
  std::vector<Columna> cols;
  std::vector<Field> fields;

  std::unique_ptr<Cursor> cursor;  // streaming
  bool enMemoria = false;
  std::vector<basic::Variant> fila;  // streaming: the current row
  bool movido = false;               // streaming: past the first row

  std::vector<basic::Variant> datos;  // in memory: rows one after another
  size_t nfilas = 0;
  long pos = 0;
  bool bof = true, eof = true;

  Modo modo = Modo::Ninguno;
  std::vector<basic::Variant> edit;
  std::vector<char> cambiado;

  size_t ncol() const { return cols.size(); }

  void ComprobarAbierto() const {
    if (!abierto) ErrorAdo(errOperacionNoPermitidaCerrado, kFuenteRs);
  }

  const basic::Variant* FilaActual() const {
    if (enMemoria) return &datos[static_cast<size_t>(pos) * ncol()];
    return fila.data();
  }

  void Registrar() {
    auto& v = cnn->recordsets_;
    if (std::find(v.begin(), v.end(), self) == v.end()) v.push_back(self);
  }
  void Desregistrar() {
    if (!cnn) return;
    auto& v = cnn->recordsets_;
    v.erase(std::remove(v.begin(), v.end(), self), v.end());
  }

  void Liberar() {
    cursor.reset();
    datos.clear();
    datos.shrink_to_fit();
    fila.clear();
    nfilas = 0;
    fields.clear();
    cols.clear();
    modo = Modo::Ninguno;
    abierto = false;
    bof = eof = true;
    Desregistrar();
    cnn = nullptr;
  }

  // Streaming: the next row of the cursor into `fila`.
  bool LeerSiguiente() {
    if (!cursor) return false;
    if (!cursor->Siguiente()) {
      cursor.reset();
      return false;
    }
    for (size_t c = 0; c < fila.size(); ++c) cursor->Leer(c, fila[c]);
    return true;
  }

  void Empezar(std::unique_ptr<Cursor> c) {
    cols = c->Columnas();
    fields.clear();
    fields.resize(cols.size());
    for (size_t i = 0; i < cols.size(); ++i) {
      Field& f = fields[i];
      f.rs_ = self;
      f.index_ = i;
      f.name_ = cols[i].nombre;
      f.type_ = cols[i].tipo;
      f.definedSize_ = cols[i].tamano;
    }
    bool soloAvance = cursorType == adOpenForwardOnly || cursorType == adOpenUnspecified;
    enMemoria = !soloAvance || lockType != adLockReadOnly || cnn->CursorLocation() == adUseClient;
    modo = Modo::Ninguno;
    movido = false;
    if (enMemoria) {
      datos.clear();
      nfilas = 0;
      size_t n = cols.size();
      while (c->Siguiente()) {
        datos.resize(datos.size() + n);
        for (size_t i = 0; i < n; ++i) c->Leer(i, datos[nfilas * n + i]);
        ++nfilas;
      }
      pos = 0;
      bof = eof = nfilas == 0;
    } else {
      cursor = std::move(c);
      fila.assign(cols.size(), basic::Variant());
      bool hay = LeerSiguiente();
      bof = eof = !hay;
    }
    abierto = true;
    Registrar();
  }

  std::string TablaBase() const {
    std::string t;
    for (const auto& c : cols) {
      if (c.tabla.empty()) continue;
      if (t.empty())
        t = c.tabla;
      else if (!IgualSinCaso(t, c.tabla))
        return "";  // a join
    }
    if (!t.empty()) return t;
    // The road did not say: a single table after FROM.
    std::string u = Mayus(fuente);
    size_t f = u.find(" FROM ");
    if (f == std::string::npos) return "";
    size_t i = f + 6;
    while (i < fuente.size() && fuente[i] == ' ') ++i;
    size_t j = i;
    while (j < fuente.size() && fuente[j] != ' ' && fuente[j] != ',' && fuente[j] != '\r' &&
           fuente[j] != '\n')
      ++j;
    std::string nombre = fuente.substr(i, j - i);
    if (u.find(" JOIN ") != std::string::npos || u.find(',', f) != std::string::npos) return "";
    if (Mayus(nombre).rfind("DBO.", 0) == 0) nombre = nombre.substr(4);
    if (nombre.size() >= 2 && (nombre.front() == '[' || nombre.front() == '"'))
      nombre = nombre.substr(1, nombre.size() - 2);
    return nombre;
  }

  bool DeTabla(const Columna& c, const std::string& tabla) const {
    return c.tabla.empty() ? cols.size() > 0 && std::all_of(cols.begin(), cols.end(),
                                                            [](const Columna& x) { return x.tabla.empty(); })
                           : IgualSinCaso(c.tabla, tabla);
  }
  static std::string Origen(const Columna& c) { return c.origen.empty() ? c.nombre : c.origen; }

  [[noreturn]] void FalloProveedor(long numero, const std::string& texto) {
    Error e;
    e.Number = numero;
    e.Description = texto;
    e.Source = "Microsoft Cursor Engine";
    e.SQLState = "HY000";
    cnn->Errors().Clear();
    cnn->Errors().Append(e);
    throw ErrorEjecucion(numero, texto, e.Source);
  }

  static std::string Q(const std::string& n) {
    std::string r = "\"";
    for (char c : n) {
      if (c == '"') r += '"';
      r += c;
    }
    return r + "\"";
  }

  void Guardar() {
    if (modo == Modo::Ninguno) return;
    cnn->Errors().Clear();
    std::string tabla = TablaBase();
    if (tabla.empty())
      FalloProveedor(errProveedor, "Información de columna clave insuficiente para actualizar.");
    Backend* b = cnn->backend();
    if (modo == Modo::Nuevo) {
      std::string nombres, marcas;
      std::vector<basic::Variant> valores;
      for (size_t i = 0; i < ncol(); ++i) {
        if (!cambiado[i] || !DeTabla(cols[i], tabla)) continue;
        nombres += (nombres.empty() ? "" : ",") + Q(Origen(cols[i]));
        marcas += marcas.empty() ? "?" : ",?";
        valores.push_back(edit[i]);
      }
      std::string sql = "INSERT INTO " + Q(tabla) +
                        (valores.empty() ? " DEFAULT VALUES" : " (" + nombres + ") VALUES (" + marcas + ")");
      b->EjecutarConValores(sql, valores);
      // Read back identities and defaults.
      std::vector<std::string> origenes;
      bool todas = true;
      for (const auto& c : cols) {
        if (!DeTabla(c, tabla)) todas = false;
        origenes.push_back(Origen(c));
      }
      if (todas) {
        auto leida = b->ReleerInsertada(tabla, origenes);
        if (leida.size() == ncol()) edit = std::move(leida);
      }
      for (auto& v : edit)
        if (v.EsEmpty()) v = basic::Variant::Null();
      if (!enMemoria) {  // cannot happen: updatable recordsets hold their rows
        modo = Modo::Ninguno;
        return;
      }
      datos.insert(datos.end(), edit.begin(), edit.end());
      ++nfilas;
      pos = static_cast<long>(nfilas) - 1;
      bof = eof = false;
      modo = Modo::Ninguno;
      return;
    }
    // Edit of the current row: UPDATE by primary key, else by every original value.
    std::string sets;
    std::vector<basic::Variant> valores;
    for (size_t i = 0; i < ncol(); ++i) {
      if (!cambiado[i] || !DeTabla(cols[i], tabla)) continue;
      sets += (sets.empty() ? "" : ",") + Q(Origen(cols[i])) + "=?";
      valores.push_back(edit[i]);
    }
    if (sets.empty()) {
      modo = Modo::Ninguno;
      return;
    }
    const basic::Variant* orig = FilaActual();
    std::vector<size_t> clave;
    for (const auto& k : b->ClavePrimaria(tabla)) {
      auto it = std::find_if(cols.begin(), cols.end(), [&](const Columna& c) {
        return DeTabla(c, tabla) && IgualSinCaso(Origen(c), k);
      });
      if (it == cols.end()) {
        clave.clear();
        break;
      }
      clave.push_back(static_cast<size_t>(it - cols.begin()));
    }
    if (clave.empty())
      for (size_t i = 0; i < ncol(); ++i)
        if (DeTabla(cols[i], tabla) && cols[i].tipo != adLongVarBinary) clave.push_back(i);
    std::string donde;
    for (size_t i : clave) {
      donde += donde.empty() ? " WHERE " : " AND ";
      if (orig[i].EsNull() || orig[i].EsEmpty()) {
        donde += Q(Origen(cols[i])) + " IS NULL";
      } else {
        donde += Q(Origen(cols[i])) + "=?";
        valores.push_back(orig[i]);
      }
    }
    long n = b->EjecutarConValores("UPDATE " + Q(tabla) + " SET " + sets + donde, valores);
    if (n <= 0)
      FalloProveedor(errFilaNoEncontrada,
                     "No se encuentra la fila para actualizarla. Algunos valores pueden haber cambiado "
                     "desde la última lectura.");
    std::copy(edit.begin(), edit.end(), datos.begin() + static_cast<long>(static_cast<size_t>(pos) * ncol()));
    modo = Modo::Ninguno;
  }

  void Requery() {
    cnn->Errors().Clear();
    long af = 0;
    auto c = cnn->backend()->Ejecutar(fuente, af);
    if (!c) ErrorAdo(errBofEof, kFuenteRs);
    cursor = std::move(c);
    bool hay = LeerSiguiente();
    bof = eof = !hay;
    movido = false;
  }
};

// ---- Field ---------------------------------------------------------------------------

const basic::Variant& Field::Value() const {
  const auto& im = *rs_->impl_;
  if (!im.abierto) ErrorAdo(errOperacionNoPermitidaCerrado, kFuenteField);
  if (im.modo != Recordset::Impl::Modo::Ninguno) return im.edit[index_];
  if (im.bof || im.eof) ErrorAdo(errBofEof, kFuenteField);
  if (im.enMemoria) return im.datos[static_cast<size_t>(im.pos) * im.cols.size() + index_];
  return im.fila[index_];
}

// A date column takes a date: a Date, a number of days, or a text in the regional short
// date (and time). Anything else is refused here, before it could be stored as text.
static basic::Variant ComoFecha(basic::Variant v) {
  using T = basic::TipoVariant;
  switch (v.Tipo()) {
    case T::Empty:
    case T::Null:
    case T::Date: return v;
    case T::Integer:
    case T::Long:
    case T::Double:
    case T::Currency: return basic::Variant::DeFecha(v.Numero());
    default: break;
  }
  if (v.Cadena() && basic::IsDate(*v.Cadena())) return basic::Variant::DeFecha(basic::CDate(*v.Cadena()));
  ErrorAdo(errTipoIncorrecto, kFuenteField);
}

void Field::SetValue(basic::Variant v) {
  auto& im = *rs_->impl_;
  im.ComprobarAbierto();
  if (im.lockType == adLockReadOnly || !im.enMemoria) ErrorAdo(errNoActualizable, kFuenteField);
  if (type_ == adDBTimeStamp || type_ == adDate) v = ComoFecha(std::move(v));
  if (im.modo == Recordset::Impl::Modo::Ninguno) {
    if (im.bof || im.eof) ErrorAdo(errBofEof, kFuenteField);
    const basic::Variant* f = im.FilaActual();
    im.edit.assign(f, f + im.ncol());
    im.cambiado.assign(im.ncol(), 0);
    im.modo = Recordset::Impl::Modo::Edicion;
  }
  im.edit[index_] = std::move(v);
  im.cambiado[index_] = 1;
}

// ---- Recordset -----------------------------------------------------------------------

Recordset::Recordset() : impl_(std::make_unique<Impl>()) { impl_->self = this; }

Recordset::~Recordset() {
  impl_->cursor.reset();
  impl_->Desregistrar();
}

void Recordset::AbrirSobre(Recordset& rs, Connection& c, std::unique_ptr<Cursor> cursor, long cursorType,
                           long lockType, const std::string& fuente) {
  auto& im = *rs.impl_;
  im.cnn = &c;
  im.cursorType = cursorType;
  im.lockType = lockType;
  im.fuente = fuente;
  try {
    im.Empezar(std::move(cursor));
  } catch (...) {
    im.Liberar();
    throw;
  }
}

void Recordset::CerrarPorConexion(Recordset& rs) { rs.impl_->Liberar(); }

void Recordset::Open(const std::string& source, Connection& activeConnection, long cursorType, long lockType,
                     long options) {
  auto& im = *impl_;
  if (im.abierto) ErrorAdo(errOperacionNoPermitidaAbierto, kFuenteRs);
  if (activeConnection.State() != adStateOpen) ErrorAdo(errConexionNoUsable, kFuenteRs);
  std::string sql = source;
  bool esTabla = options != -1 && (options & (2 | 512));
  if (!esTabla) {
    std::string t = source;
    while (!t.empty() && t.back() == ' ') t.pop_back();
    while (!t.empty() && t.front() == ' ') t.erase(0, 1);
    esTabla = !t.empty() && t.find_first_of(" \t\r\n(") == std::string::npos &&
              !IgualSinCaso(t.substr(0, 6), "SELECT");
    if (esTabla) sql = t;
  }
  if (esTabla) sql = "SELECT * FROM " + sql;
  activeConnection.Errors().Clear();
  long af = 0;
  auto c = activeConnection.backend()->Ejecutar(sql, af);
  if (!c) return;  // a statement without rows leaves the recordset closed
  AbrirSobre(*this, activeConnection, std::move(c), cursorType, lockType, sql);
}

void Recordset::Close() {
  auto& im = *impl_;
  im.ComprobarAbierto();
  if (im.modo != Impl::Modo::Ninguno) ErrorAdo(errOperacionNoPermitida, kFuenteRs);
  im.Liberar();
}

long Recordset::State() const { return impl_->abierto ? adStateOpen : adStateClosed; }

bool Recordset::Bof() const {
  impl_->ComprobarAbierto();
  return impl_->modo == Impl::Modo::Nuevo ? false : impl_->bof;
}

bool Recordset::Eof() const {
  impl_->ComprobarAbierto();
  return impl_->modo == Impl::Modo::Nuevo ? false : impl_->eof;
}

void Recordset::MoveFirst() {
  auto& im = *impl_;
  im.ComprobarAbierto();
  im.Guardar();
  if (im.enMemoria) {
    if (im.nfilas == 0) ErrorAdo(errBofEof, kFuenteRs);
    im.pos = 0;
    im.bof = im.eof = false;
    return;
  }
  if (!im.movido && !im.eof) return;
  im.Requery();
  if (im.eof) ErrorAdo(errBofEof, kFuenteRs);
}

void Recordset::MoveNext() {
  auto& im = *impl_;
  im.ComprobarAbierto();
  im.Guardar();
  if (im.eof) ErrorAdo(errBofEof, kFuenteRs);
  if (im.enMemoria) {
    ++im.pos;
    im.bof = false;
    if (static_cast<size_t>(im.pos) >= im.nfilas) {
      im.pos = static_cast<long>(im.nfilas);
      im.eof = true;
    }
    return;
  }
  im.movido = true;
  if (!im.LeerSiguiente()) im.eof = true;
}

void Recordset::MovePrevious() {
  auto& im = *impl_;
  im.ComprobarAbierto();
  if (!im.enMemoria || im.cursorType == adOpenForwardOnly || im.cursorType == adOpenUnspecified)
    ErrorAdo(errSoloAvance, kFuenteRs);
  im.Guardar();
  if (im.bof) ErrorAdo(errBofEof, kFuenteRs);
  --im.pos;
  im.eof = false;
  if (im.pos < 0) {
    im.pos = -1;
    im.bof = true;
  }
}

void Recordset::MoveLast() {
  auto& im = *impl_;
  im.ComprobarAbierto();
  im.Guardar();
  if (im.enMemoria) {
    if (im.nfilas == 0) ErrorAdo(errBofEof, kFuenteRs);
    im.pos = static_cast<long>(im.nfilas) - 1;
    im.bof = im.eof = false;
    return;
  }
  if (im.eof) ErrorAdo(errBofEof, kFuenteRs);
  // Forward only: read on, keeping the last row read.
  std::vector<basic::Variant> ultima = im.fila;
  while (im.LeerSiguiente()) {
    im.movido = true;
    ultima = im.fila;
  }
  im.fila = std::move(ultima);
  im.eof = im.bof = false;
}

long Recordset::RecordCount() const {
  impl_->ComprobarAbierto();
  return impl_->enMemoria ? static_cast<long>(impl_->nfilas) : -1;
}

long Recordset::FieldCount() const {
  impl_->ComprobarAbierto();
  return static_cast<long>(impl_->fields.size());
}

Field& Recordset::Fields(long index) {
  impl_->ComprobarAbierto();
  if (index < 0 || static_cast<size_t>(index) >= impl_->fields.size())
    ErrorAdo(errCampoNoEncontrado, kFuenteRs);
  return impl_->fields[static_cast<size_t>(index)];
}

Field& Recordset::Fields(const std::string& name) {
  impl_->ComprobarAbierto();
  for (auto& f : impl_->fields)
    if (IgualSinCaso(f.name_, name)) return f;
  // Names are compared trimmed too, as callers sometimes pad them.
  std::string t = name;
  while (!t.empty() && t.back() == ' ') t.pop_back();
  while (!t.empty() && t.front() == ' ') t.erase(0, 1);
  for (auto& f : impl_->fields)
    if (IgualSinCaso(f.name_, t)) return f;
  ErrorAdo(errCampoNoEncontrado, kFuenteRs);
}

void Recordset::AddNew() {
  auto& im = *impl_;
  im.ComprobarAbierto();
  if (im.lockType == adLockReadOnly || !im.enMemoria) ErrorAdo(errNoActualizable, kFuenteRs);
  im.Guardar();
  im.edit.assign(im.ncol(), basic::Variant());
  im.cambiado.assign(im.ncol(), 0);
  im.modo = Impl::Modo::Nuevo;
}

void Recordset::Update() {
  impl_->ComprobarAbierto();
  impl_->Guardar();
}

void Recordset::CancelUpdate() {
  impl_->ComprobarAbierto();
  impl_->modo = Impl::Modo::Ninguno;
}

bool Recordset::EditMode() const { return impl_->abierto && impl_->modo != Impl::Modo::Ninguno; }

std::vector<std::vector<basic::Variant>> Recordset::GetRows() {
  auto& im = *impl_;
  im.ComprobarAbierto();
  im.Guardar();
  if (im.eof || im.bof) ErrorAdo(errBofEof, kFuenteRs);
  std::vector<std::vector<basic::Variant>> r;
  while (!im.eof) {
    const basic::Variant* f = im.FilaActual();
    r.emplace_back(f, f + im.ncol());
    MoveNext();
  }
  return r;
}

}  // namespace ado
