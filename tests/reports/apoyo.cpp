#include "apoyo.h"

#include <fstream>

#include "reports/reporte.h"
#include "data/db_dll.h"
#include "ocmail-sql/base_datos.h"
#include "platform/os/rutas.h"

BaseDemo::BaseDemo() {
  os::FijarCarpetaAplicacion(dir.str());
  os::InstalarSistema(&sistema);
  ui::InstalarOperador(&op);
  std::string archivo = ocmailsql::CrearBaseDatos(dir / "demo.db", 60);
  DB_Dll& db = gDB();
  db.gCnn->Open("PROVIDER=SQLOLEDB;Server=sqlite;Database =" + archivo + ";UId=admin;Pwd=;");
  db.gOpenFlag = DB_Dll::Verdadero;
}

BaseDemo::~BaseDemo() {
  InstalarReporte(nullptr);
  LiberarReporte();
  LiberarInstanciasDB();
  ui::InstalarOperador(nullptr);
  os::InstalarSistema(nullptr);
  os::FijarCarpetaAplicacion("");
}

ado::Connection& BaseDemo::Cn() { return *gDB().gCnn; }

void BaseDemo::Ejecutar(const std::string& sql) { Cn().Execute(sql); }

std::string BaseDemo::Valor(const std::string& sql) {
  ado::Recordset rs;
  rs.Open(sql, Cn());
  std::string v = rs.Eof() ? "" : rs.Fields(0L).Value().Texto();
  rs.Close();
  return v;
}

void BaseDemo::Crear(const std::string& nombre, const std::string& contenido) {
  std::ofstream(dir / nombre, std::ios::binary) << contenido;
}
