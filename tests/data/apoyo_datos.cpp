#include "apoyo_datos.h"

#include <sqlite3.h>

#include <stdexcept>

#include "platform/ado/ado.h"
#include "platform/basic/fecha.h"
#include "platform/os/rutas.h"

namespace {

const char* kEsquema = R"(
BEGIN;
CREATE TABLE CLIENTES (codigo varchar(10) COLLATE NOCASE, nombre varchar(40) COLLATE NOCASE,
                       activo int, alta datetime);
INSERT INTO CLIENTES VALUES (' C01 ', 'Uno', 1, '2024-03-05 00:00:00');
INSERT INTO CLIENTES VALUES ('C02', 'O''Brien', 0, '2024-03-06 00:00:00');
CREATE TABLE ta_usuarios (nombre varchar(20) COLLATE NOCASE, Administrador varchar(5), baja int);
CREATE TABLE MA_CUENTAS (codigo varchar(10), x int);
INSERT INTO MA_CUENTAS VALUES ('A', 1);
INSERT INTO MA_CUENTAS VALUES ('B', 2);
CREATE VIEW SS_MA_CUENTAS AS SELECT * FROM MA_CUENTAS WHERE codigo = 'A';
CREATE TABLE V_MA_ARTICULOS (idarticulo varchar(15));
INSERT INTO V_MA_ARTICULOS VALUES ('0999');
INSERT INTO V_MA_ARTICULOS VALUES (' 123');
CREATE TABLE t (c int, activo int);
INSERT INTO t VALUES (7, 1);
INSERT INTO t VALUES (3, 0);
INSERT INTO t VALUES (5, 1);
COMMIT;
)";

}  // namespace

void CanalGrabador::Open(ado::Connection& cn, const std::string& cadena, const std::string& usuario,
                         const std::string& clave, long opciones) {
  llamadas.push_back("Open: " + cadena);
  if (fingir && fingir("Open", cadena)) return;
  CanalADO::Open(cn, cadena, usuario, clave, opciones);
}

void CanalGrabador::Close(ado::Connection& cn) {
  llamadas.push_back("Close: ");
  if (fingir && fingir("Close", "")) return;
  CanalADO::Close(cn);
}

std::shared_ptr<ado::Recordset> CanalGrabador::Execute(ado::Connection& cn, const std::string& sql,
                                                       long* afectados, long opciones) {
  llamadas.push_back("Execute: " + sql);
  if (fingir && fingir("Execute", sql)) {
    if (afectados) *afectados = afectadosFingidos;
    return std::make_shared<ado::Recordset>();
  }
  return CanalADO::Execute(cn, sql, afectados, opciones);
}

void CanalGrabador::OpenRecordset(ado::Recordset& rs, const std::string& fuente, ado::Connection& cn,
                                  long cursor, long bloqueo, long opciones) {
  llamadas.push_back("OpenRecordset: " + fuente);
  if (fingir && fingir("OpenRecordset", fuente)) return;
  CanalADO::OpenRecordset(rs, fuente, cn, cursor, bloqueo, opciones);
}

std::shared_ptr<ado::Recordset> CanalGrabador::OpenSchema(ado::Connection& cn, long esquema,
                                                          const std::vector<basic::Variant>& r) {
  llamadas.push_back("OpenSchema: " + std::to_string(esquema));
  if (fingir && fingir("OpenSchema", std::to_string(esquema))) return nullptr;
  return CanalADO::OpenSchema(cn, esquema, r);
}

void CanalGrabador::BeginTrans(ado::Connection& cn) {
  llamadas.push_back("BeginTrans: ");
  if (fingir && fingir("BeginTrans", "")) return;
  CanalADO::BeginTrans(cn);
}

void CanalGrabador::CommitTrans(ado::Connection& cn) {
  llamadas.push_back("CommitTrans: ");
  if (fingir && fingir("CommitTrans", "")) return;
  CanalADO::CommitTrans(cn);
}

void CanalGrabador::RollbackTrans(ado::Connection& cn) {
  llamadas.push_back("RollbackTrans: ");
  if (fingir && fingir("RollbackTrans", "")) return;
  CanalADO::RollbackTrans(cn);
}

std::vector<std::string> CanalGrabador::De(const std::string& operacion) const {
  std::vector<std::string> r;
  const std::string prefijo = operacion + ": ";
  for (const auto& l : llamadas)
    if (l.rfind(prefijo, 0) == 0) r.push_back(l.substr(prefijo.size()));
  return r;
}

std::function<void(ui::VentanaModal&)> ResponderVentana(std::string servidor, std::string base,
                                                        std::string usuario, std::string clave,
                                                        int plataforma, bool acepta) {
  return [=](ui::VentanaModal& v) {
    auto& w = dynamic_cast<VentanaAccesoGuionada&>(v);
    w.servidor = servidor;
    w.base = base;
    w.usuario = usuario;
    w.clave = clave;
    w.plataforma = plataforma;
    w.aceptar = acepta;
  };
}

EntornoDatos::EntornoDatos() {
  archivo = dir / "base.db";
  Sql(kEsquema);
  os::FijarCarpetaAplicacion(dir.str());
  reloj.ahora = basic::DateSerial(2024, 3, 7) + basic::TimeSerial(9, 5, 30);
  os::InstalarSistema(&reloj);
  ui::InstalarOperador(&op);
  InstalarFabricaVentanaAcceso([] { return std::make_unique<VentanaAccesoGuionada>(); });
  LiberarInstanciasDB();
  SS_CONFIDENCIALIDAD = 0;
}

EntornoDatos::~EntornoDatos() {
  LiberarInstanciasDB();
  InstalarCanalADO(nullptr);
  InstalarFabricaVentanaAcceso(nullptr);
  ui::InstalarOperador(nullptr);
  os::InstalarSistema(nullptr);
  os::FijarCarpetaAplicacion("");
}

std::string EntornoDatos::Cadena(const std::string& usuario, const std::string& clave) const {
  return "PROVIDER=SQLOLEDB;Server=sqlite;Database =" + archivo + ";UId=" + usuario + ";Pwd=" + clave + ";";
}

void EntornoDatos::Sql(const std::string& sql) const {
  sqlite3* db = nullptr;
  sqlite3_open(archivo.c_str(), &db);
  sqlite3_exec(db, "PRAGMA synchronous=OFF;", nullptr, nullptr, nullptr);
  char* err = nullptr;
  const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
  const std::string mensaje = err ? err : "";
  sqlite3_free(err);
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw std::runtime_error(mensaje);
}

std::string EntornoDatos::Valor(const std::string& sql) const {
  sqlite3* db = nullptr;
  sqlite3_open(archivo.c_str(), &db);
  sqlite3_stmt* st = nullptr;
  std::string r;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW &&
      sqlite3_column_text(st, 0))
    r = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
  sqlite3_finalize(st);
  sqlite3_close(db);
  return r;
}

DB_Dll& EntornoDatos::Abrir() {
  DB_Dll& db = gDB();
  db.gServidor = "sqlite";
  db.gDBName = archivo;
  db.gUsuario = "ana";
  db.gUserPassWord = "pw";
  db.OpenServerADODB(false, 3, "", false, false);
  if (!db.gOpenFlag) throw std::runtime_error("could not open " + archivo);
  return db;
}
