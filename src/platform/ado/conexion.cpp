// Connection: the suite's ADO-style connection strings mapped onto the two roads.
//
// Mapping rules (keys without regard to case or surrounding blanks, "Database =" too):
//  - a DRIVER= or DSN= key: ODBC with the string as written (a PROVIDER= key dropped),
//    UID/PWD added from Open's arguments when the string has none;
//  - Provider SQLOLEDB (or SQLNCLI*, MSOLEDBSQL) with Server (or Data Source) "sqlite":
//    the embedded engine on the file named by Database (or Initial Catalog): absolute
//    paths as written, others in the application folder, ".db" added when the name has
//    no extension; the file must exist (found without regard to case);
//  - Provider SQLOLEDB with any other server: ODBC "DRIVER={<FreeTDS>};SERVER=host;
//    PORT=port;DATABASE=..;UID=..;PWD=..;" + the configured extra keywords, where
//    Server is "host", "host,port", "host\instance" (kept whole: FreeTDS asks the
//    instance's port) or "(local)"/"." for this machine;
//  - Provider OraOLEDB.Oracle* (or MSDAORA): ODBC "DRIVER={<Oracle>};DBQ=<Data Source>;
//    UID=..;PWD=..;" + extra keywords;
//  - Provider Microsoft.Jet.OLEDB.*: the embedded engine on the Data Source file;
//  - anything else: error 3706 (provider not found).
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <mutex>

#include <unistd.h>

#include "platform/ado/backend.h"
#include "platform/os/rutas.h"

namespace ado {
namespace {

ConfiguracionOdbc& Config() {
  static ConfiguracionOdbc c;
  return c;
}

std::string Recortar(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
  return s.substr(a, b - a);
}

std::string Minus(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// key (lower case, inner blanks kept single) -> value, in the order written.
std::vector<std::pair<std::string, std::string>> Pares(const std::string& cadena) {
  std::vector<std::pair<std::string, std::string>> r;
  size_t i = 0, n = cadena.size();
  while (i < n) {
    size_t igual = cadena.find('=', i);
    size_t pc = cadena.find(';', i);
    if (igual == std::string::npos || (pc != std::string::npos && pc < igual)) {
      i = pc == std::string::npos ? n : pc + 1;
      continue;
    }
    std::string clave = Minus(Recortar(cadena.substr(i, igual - i)));
    size_t j = igual + 1;
    while (j < n && cadena[j] == ' ') ++j;
    std::string valor;
    if (j < n && (cadena[j] == '"' || cadena[j] == '\'' || cadena[j] == '{')) {
      char cierre = cadena[j] == '{' ? '}' : cadena[j];
      size_t k = j + 1;
      for (; k < n; ++k) {
        if (cadena[k] == cierre) {
          if (k + 1 < n && cadena[k + 1] == cierre) {
            valor += cierre;
            ++k;
            continue;
          }
          break;
        }
        valor += cadena[k];
      }
      size_t fin = cadena.find(';', k);
      i = fin == std::string::npos ? n : fin + 1;
    } else {
      size_t fin = cadena.find(';', j);
      valor = Recortar(cadena.substr(j, (fin == std::string::npos ? n : fin) - j));
      i = fin == std::string::npos ? n : fin + 1;
    }
    r.emplace_back(clave, valor);
  }
  return r;
}

std::string Buscar(const std::vector<std::pair<std::string, std::string>>& p,
                   std::initializer_list<const char*> claves, bool* hallada = nullptr) {
  for (const char* c : claves)
    for (const auto& [k, v] : p)
      if (k == c) {
        if (hallada) *hallada = true;
        return v;
      }
  if (hallada) *hallada = false;
  return "";
}

std::string ArchivoEmbebido(const std::string& nombre) {
  namespace fs = std::filesystem;
  fs::path p(nombre);
  if (!p.has_extension()) p += ".db";
  if (p.is_relative()) p = fs::path(os::CarpetaAplicacion()) / p;
  return os::ResolverSinCaso(p.string());
}

}  // namespace

void FijarConfiguracionOdbc(const ConfiguracionOdbc& c) { Config() = c; }

namespace {
AlEsperarBase& Espera() {
  static AlEsperarBase f;
  return f;
}
}  // namespace

void FijarAlEsperarBase(AlEsperarBase f) { Espera() = std::move(f); }

bool HayAlEsperarBase() { return static_cast<bool>(Espera()); }

bool EsperandoBase(double segundos) {
  // A hook that throws must not unwind through the database engine.
  try {
    return !Espera() || Espera()(segundos);
  } catch (...) {
    return false;
  }
}
const ConfiguracionOdbc& ConfiguracionOdbcActual() { return Config(); }

DestinoConexion ResolverConexion(const std::string& cadena, const std::string& usuario,
                                 const std::string& clave) {
  auto p = Pares(cadena);
  DestinoConexion d;
  std::string proveedor = Minus(Buscar(p, {"provider"}));
  bool hayDriver = false, hayDsn = false;
  Buscar(p, {"driver"}, &hayDriver);
  Buscar(p, {"dsn", "filedsn"}, &hayDsn);
  bool hayUid = false, hayPwd = false;
  std::string uid = Buscar(p, {"uid", "user id", "user"}, &hayUid);
  std::string pwd = Buscar(p, {"pwd", "password"}, &hayPwd);
  if (!usuario.empty()) uid = usuario, hayUid = false;
  if (!clave.empty()) pwd = clave, hayPwd = false;

  if (hayDriver || hayDsn) {
    d.via = DestinoConexion::Odbc;
    // The string as written, without an OLE DB provider keyword.
    std::string s;
    size_t i = 0;
    while (i < cadena.size()) {
      size_t fin = cadena.find(';', i);
      std::string trozo = cadena.substr(i, (fin == std::string::npos ? cadena.size() : fin) - i);
      size_t ig = trozo.find('=');
      if (ig == std::string::npos || Minus(Recortar(trozo.substr(0, ig))) != "provider") {
        if (!Recortar(trozo).empty()) s += trozo + ";";
      }
      i = fin == std::string::npos ? cadena.size() : fin + 1;
    }
    if (!hayUid && !uid.empty()) s += "UID=" + ValorOdbc(uid) + ";";
    if (!hayPwd && !pwd.empty()) s += "PWD=" + ValorOdbc(pwd) + ";";
    d.cadenaOdbc = s;
    d.catalogo = Buscar(p, {"database", "initial catalog"});
    return d;
  }

  const auto& cfg = Config();
  if (proveedor.rfind("sqloledb", 0) == 0 || proveedor.rfind("sqlncli", 0) == 0 ||
      proveedor.rfind("msoledbsql", 0) == 0) {
    std::string servidor = Buscar(p, {"server", "data source", "address", "addr"});
    std::string base = Buscar(p, {"database", "initial catalog"});
    d.catalogo = base;
    if (Minus(servidor) == "sqlite") {
      d.via = DestinoConexion::Embebida;
      d.archivo = base.empty() ? "" : ArchivoEmbebido(base);
      return d;
    }
    d.via = DestinoConexion::Odbc;
    std::string host = servidor, puerto;
    if (Minus(host).rfind("tcp:", 0) == 0) host = host.substr(4);
    size_t coma = host.find(',');
    if (coma != std::string::npos) {
      puerto = Recortar(host.substr(coma + 1));
      host = Recortar(host.substr(0, coma));
    }
    std::string h = Minus(host);
    if (h == "(local)" || h == "." || h == "localhost")
      host = "127.0.0.1";
    else if (h.rfind("(local)\\", 0) == 0 || h.rfind(".\\", 0) == 0)
      host = "127.0.0.1" + host.substr(host.find('\\'));
    std::string s = "DRIVER={" + cfg.driverSqlServer + "};SERVER=" + ValorOdbc(host) + ";";
    if (!puerto.empty()) s += "PORT=" + puerto + ";";
    if (!base.empty()) s += "DATABASE=" + ValorOdbc(base) + ";";
    s += "UID=" + ValorOdbc(uid) + ";PWD=" + ValorOdbc(pwd) + ";";
    s += cfg.extraSqlServer;
    d.cadenaOdbc = s;
    return d;
  }
  if (proveedor.rfind("oraoledb", 0) == 0 || proveedor.rfind("msdaora", 0) == 0) {
    d.via = DestinoConexion::Odbc;
    std::string fuente = Buscar(p, {"data source", "server"});
    d.catalogo = fuente;
    d.cadenaOdbc = "DRIVER={" + cfg.driverOracle + "};DBQ=" + ValorOdbc(fuente) + ";UID=" + ValorOdbc(uid) +
                   ";PWD=" + ValorOdbc(pwd) + ";" + cfg.extraOracle;
    return d;
  }
  if (proveedor.rfind("microsoft.jet.oledb", 0) == 0 || proveedor.rfind("microsoft.ace.oledb", 0) == 0) {
    d.via = DestinoConexion::Embebida;
    std::string fuente = Buscar(p, {"data source"});
    d.catalogo = fuente;
    std::filesystem::path f(fuente);
    d.archivo = os::ResolverSinCaso(
        f.is_relative() ? (std::filesystem::path(os::CarpetaAplicacion()) / f).string() : fuente);
    return d;
  }
  ErrorAdo(errProveedorNoEncontrado, "ADODB.Connection");
}

// ---- Connection --------------------------------------------------------------------

Connection::Connection() = default;

Connection::~Connection() {
  if (backend_) {
    try {
      Close();
    } catch (...) {
    }
  }
}

void Connection::Open(const std::string& cs, const std::string& userId, const std::string& password, long) {
  if (backend_) ErrorAdo(errOperacionNoPermitidaAbierto, "ADODB.Connection");
  if (!cs.empty()) connectionString_ = cs;
  errors_.Clear();
  DestinoConexion d = ResolverConexion(connectionString_, userId, password);
  std::unique_ptr<Backend> b =
      d.via == DestinoConexion::Embebida ? CrearBackendSqlite(errors_) : CrearBackendOdbc(errors_);
  b->Abrir(d, commandTimeout_);
  backend_ = std::move(b);
  defaultDatabase_ = d.catalogo;
}

void Connection::Close() {
  if (!backend_) ErrorAdo(errOperacionNoPermitidaCerrado, "ADODB.Connection");
  auto abiertos = recordsets_;
  for (Recordset* r : abiertos) Recordset::CerrarPorConexion(*r);
  recordsets_.clear();
  backend_->Cerrar();
  backend_.reset();
}

std::shared_ptr<Recordset> Connection::Execute(const std::string& commandText, long* recordsAffected, long) {
  if (!backend_) ErrorAdo(errConexionNoUsable, "ADODB.Connection");
  errors_.Clear();
  long afectados = -1;
  std::unique_ptr<Cursor> c = backend_->Ejecutar(commandText, afectados);
  if (recordsAffected) *recordsAffected = afectados;
  auto rs = std::make_shared<Recordset>();
  if (c) Recordset::AbrirSobre(*rs, *this, std::move(c), adOpenForwardOnly, adLockReadOnly, commandText);
  return rs;
}

long Connection::BeginTrans() {
  if (!backend_) ErrorAdo(errConexionNoUsable, "ADODB.Connection");
  errors_.Clear();
  backend_->Iniciar();
  return 1;
}

void Connection::CommitTrans() {
  if (!backend_) ErrorAdo(errConexionNoUsable, "ADODB.Connection");
  errors_.Clear();
  backend_->Confirmar();
}

void Connection::RollbackTrans() {
  if (!backend_) ErrorAdo(errConexionNoUsable, "ADODB.Connection");
  errors_.Clear();
  backend_->Deshacer();
}

std::shared_ptr<Recordset> Connection::OpenSchema(long schema,
                                                  const std::vector<basic::Variant>& restrictions) {
  if (!backend_) ErrorAdo(errConexionNoUsable, "ADODB.Connection");
  errors_.Clear();
  auto c = backend_->Esquema(schema, restrictions);
  auto rs = std::make_shared<Recordset>();
  Recordset::AbrirSobre(*rs, *this, std::move(c), adOpenStatic, adLockReadOnly, "");
  return rs;
}

void Connection::SetConnectionString(const std::string& s) {
  if (backend_) ErrorAdo(errOperacionNoPermitidaAbierto, "ADODB.Connection");
  connectionString_ = s;
}

void Connection::SetCommandTimeout(long v) {
  commandTimeout_ = v;
  if (backend_) backend_->FijarTiempoEspera(v);
}

void Connection::SetDefaultDatabase(const std::string& db) {
  if (!backend_) ErrorAdo(errConexionNoUsable, "ADODB.Connection");
  backend_->FijarBaseDefecto(db);
  defaultDatabase_ = db;
}

long Connection::State() const { return backend_ ? adStateOpen : adStateClosed; }

}  // namespace ado
