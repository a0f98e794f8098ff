// The embedded database (schema and demo set) and the ocmail-sql console.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "ocmail-sql/base_datos.h"
#include "ocmail-sql/consola.h"
#include "platform/ado/texto_sqlite.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace ocmailsql;

namespace {

struct Resultado {
  int codigo = -1;
  std::string salida, errores;
};

std::string Comillas(const std::string& s) {
  std::string r = "'";
  for (char c : s) r += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return r + "'";
}

// Runs the ocmail-sql program; `entrada` goes to its standard input.
Resultado Correr(const TempDir& dir, const std::vector<std::string>& args, const std::string& entrada = "") {
  std::string cmd = Comillas(OCMAIL_SQL_EXE);
  for (const auto& a : args) cmd += " " + Comillas(a);
  WriteBytes(dir / "stdin.txt", entrada);
  cmd += " <" + Comillas(dir / "stdin.txt") + " >" + Comillas(dir / "stdout.txt") + " 2>" +
         Comillas(dir / "stderr.txt");
  Resultado r;
  int st = std::system(cmd.c_str());
  r.codigo = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.salida = ReadBytes(dir / "stdout.txt");
  r.errores = ReadBytes(dir / "stderr.txt");
  return r;
}

std::string Linea(const std::string& archivo, const std::string& usuario = "admin") {
  return "@Server=sqlite; @DbName=" + archivo + "; @Usuario=" + usuario + "; @Password=x;";
}

// Plain sqlite3 access, independent of the data layer, to check what was created.
class Sqlite {
 public:
  explicit Sqlite(const std::string& archivo) {
    EXPECT_EQ(sqlite3_open_v2(archivo.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  }
  ~Sqlite() { sqlite3_close(db_); }
  // Text compared from now on as the program compares it (its NOCASE and LIKE).
  void ComoElPrograma() { ado::RegistrarTextoSinCaso(db_); }
  // First column of every row, as text ("NULL" for null).
  std::vector<std::string> Columna(const std::string& sql) {
    std::vector<std::string> r;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << sqlite3_errmsg(db_) << " in " << sql;
      return r;
    }
    while (sqlite3_step(st) == SQLITE_ROW) {
      const unsigned char* t = sqlite3_column_text(st, 0);
      r.push_back(t ? reinterpret_cast<const char*>(t) : "NULL");
    }
    sqlite3_finalize(st);
    return r;
  }
  std::string Valor(const std::string& sql) {
    auto c = Columna(sql);
    return c.empty() ? "<sin filas>" : c[0];
  }
  long Numero(const std::string& sql) { return std::atol(Valor(sql).c_str()); }

 private:
  sqlite3* db_ = nullptr;
};

long Lineas(const std::string& texto) {
  long n = 0;
  for (char c : texto) n += c == '\n';
  return n;
}

const std::string kPendientes = "SELECT count(*) FROM c_mv_cpte WHERE TC='OC' AND Pendiente=1 AND Anulado=0";

}  // namespace

// The command creates both databases, and the console answers through the data layer
// with the suite's dialect (TOP, with(nolock)).
TEST(OcmailSql, CrearYConsultarProveedores) {
  TempDir dir;
  Resultado c = Correr(dir, {"--crear", dir / "demo", "--demo"});
  ASSERT_EQ(c.codigo, 0) << c.errores;
  EXPECT_TRUE(fs::is_regular_file(dir / "demo.db"));
  EXPECT_TRUE(fs::is_regular_file(dir / "QZ_ESTADISTICAS.db"));
  for (const auto& e : fs::directory_iterator(dir.path()))  // no temporary left behind
    EXPECT_EQ(e.path().filename().string().find(".nuevo-"), std::string::npos) << e.path();

  Resultado r = Correr(
      dir, {Linea(dir / "demo.db"), "SELECT TOP 2 Codigo FROM vt_proveedores with(nolock) ORDER BY Codigo"});
  ASSERT_EQ(r.codigo, 0) << r.errores;
  EXPECT_EQ(r.salida, "Codigo\nP001\nP002\n");

  Sqlite est(dir / "QZ_ESTADISTICAS.db");
  EXPECT_EQ(est.Valor("SELECT Valor FROM ta_configuracion WHERE clave='timeout'"), "360");
}

TEST(OcmailSql, EntradaEstandarUnaSentenciaPorLinea) {
  TempDir dir;
  CrearBaseDatos(dir / "demo.db", 10);
  Resultado r = Correr(dir, {Linea(dir / "demo.db")},
                       "SELECT Valor FROM TA_CONFIGURACION WHERE Clave = 'telefono'\n"
                       "\n"
                       "UPDATE c_mv_cpte SET fechaenviomail = '09/12/2026' WHERE IdComprobante = '" +
                           demo::NumeroPedido(0) +
                           "'\n"
                           "SELECT FechaEnvioMail, Razon_Social FROM V_Oc_pendientes v"
                           " INNER JOIN vt_proveedores p ON p.Codigo = v.Cuenta WHERE IdComprobante = '" +
                           demo::NumeroPedido(0) + "'\n");
  ASSERT_EQ(r.codigo, 0) << r.errores;
  EXPECT_EQ(r.salida,
            "Valor\n4555-1234\n"
            "FechaEnvioMail\tRazon_Social\n2026-12-09 00:00:00\tAceros del Sur S.A.\n");
  EXPECT_NE(r.errores.find("(1 filas afectadas)"), std::string::npos) << r.errores;
}

// Failures print the Errors list and end with a non-zero code; the rest of the input is
// not run after a failing statement.
TEST(OcmailSql, ErroresConListaYCodigoDistintoDeCero) {
  TempDir dir;
  CrearBaseDatos(dir / "demo.db", 5);
  struct Caso {
    const char* nombre;
    std::string sentencia;
  } casos[] = {
      {"sintaxis", "SELECT FROM WHERE"},
      {"tabla inexistente", "SELECT * FROM NO_EXISTE"},
      {"clave duplicada", "INSERT INTO ta_usuarios (Nombre) VALUES ('ADMIN')"},
      {"referencia rota",
       "INSERT INTO c_mv_cpteobs (Cuenta, TC, IdComprobante, Renglon) VALUES ('X','OC','000100009999X',1)"},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    Resultado r = Correr(dir, {Linea(dir / "demo.db")}, c.sentencia + "\nSELECT 'despues'\n");
    EXPECT_NE(r.codigo, 0);
    EXPECT_NE(r.errores.find("Error "), std::string::npos) << r.errores;
    EXPECT_NE(r.errores.find("SQLState "), std::string::npos) << r.errores;
    EXPECT_NE(r.errores.find("Nativo "), std::string::npos) << r.errores;
    EXPECT_EQ(r.salida.find("despues"), std::string::npos);
  }
  // The suite's native numbers for the integrity failures.
  Resultado dup = Correr(dir, {Linea(dir / "demo.db"), casos[2].sentencia});
  EXPECT_NE(dup.errores.find("Nativo 2627"), std::string::npos) << dup.errores;
  Resultado ref = Correr(dir, {Linea(dir / "demo.db"), casos[3].sentencia});
  EXPECT_NE(ref.errores.find("Nativo 547"), std::string::npos) << ref.errores;

  // A database that does not exist is reported, and not created by the attempt.
  Resultado falta = Correr(dir, {Linea(dir / "falta.db"), "SELECT 1"});
  EXPECT_NE(falta.codigo, 0);
  EXPECT_NE(falta.errores.find("Error "), std::string::npos) << falta.errores;
  EXPECT_FALSE(fs::exists(dir / "falta.db"));
}

TEST(OcmailSql, NoReemplazaSinForzar) {
  TempDir dir;
  CrearBaseDatos(dir / "demo.db", 5);
  EXPECT_THROW(CrearBaseDatos(dir / "demo.db", 60), std::runtime_error);
  EXPECT_EQ(Sqlite(dir / "demo.db").Numero(kPendientes), 5);

  Resultado r = Correr(dir, {"--crear", dir / "demo.db", "--demo", "60"});
  EXPECT_NE(r.codigo, 0);
  EXPECT_NE(r.errores.find("ya existe"), std::string::npos) << r.errores;
  EXPECT_EQ(Sqlite(dir / "demo.db").Numero(kPendientes), 5);

  r = Correr(dir, {"--crear", dir / "demo.db", "--demo", "60", "--forzar"});
  EXPECT_EQ(r.codigo, 0) << r.errores;
  EXPECT_EQ(Sqlite(dir / "demo.db").Numero(kPendientes), 60);

  // Without --demo: the schema alone.
  CrearBaseDatos(dir / "vacia.db");
  Sqlite vacia(dir / "vacia.db");
  EXPECT_EQ(vacia.Numero("SELECT count(*) FROM c_mv_cpte"), 0);
  EXPECT_EQ(vacia.Numero("SELECT count(*) FROM V_Oc_pendientes"), 0);
}

// Facts of the demo set that other tests rely on (documented in docs/database.md).
TEST(DemoSet, Invariantes) {
  TempDir dir;
  CrearBaseDatos(dir / "demo.db", demo::kPedidosPorDefecto);
  Sqlite db(dir / "demo.db");

  EXPECT_EQ(db.Numero("SELECT count(*) FROM V_Oc_pendientes"), 60);
  EXPECT_EQ(db.Numero("SELECT count(*) FROM V_Oc_pendientes WHERE FechaEnvioMail IS NOT NULL"), 15);
  EXPECT_GT(db.Numero("SELECT count(*) FROM c_mv_cpte WHERE TC='OC' AND Pendiente=0"), 0);
  EXPECT_EQ(db.Numero("SELECT count(*) FROM c_mv_cpte WHERE TC='OC' AND Anulado=1"), 1);

  // Users: the administrator, a buyer who is not, the «JU» prefix matching two buyers.
  EXPECT_EQ(db.Valor("SELECT Administrador FROM ta_usuarios WHERE Nombre='ADMIN'"), "1");
  EXPECT_EQ(db.Valor("SELECT Administrador FROM ta_usuarios WHERE Nombre='juan'"), "0");
  EXPECT_EQ(db.Columna("SELECT DISTINCT Usuario FROM V_Oc_pendientes WHERE Usuario LIKE 'JU%'"
                       " ORDER BY 1"),
            (std::vector<std::string>{"JUAN", "JULIA"}));
  EXPECT_EQ(db.Numero("SELECT count(DISTINCT Usuario) FROM V_Oc_pendientes"), 3);

  // The usage log's task lookup compares the user followed by a blank, as the program
  // writes it, and in any case; PEDRO has no task.
  db.ComoElPrograma();
  // Its indexes follow that NOCASE, and the file says so: no re-sorting on the first open.
  EXPECT_EQ(db.Valor("PRAGMA integrity_check"), "ok");
  EXPECT_EQ(db.Numero("PRAGMA user_version"), ado::kVersionTextoSinCaso);
  const std::string tarea =
      "SELECT TA_MENU.Nombre FROM TA_TAREAS INNER JOIN TA_MENU ON TA_TAREAS.TAREA = TA_MENU.Clave"
      " WHERE (TA_TAREAS.USUARIO = '%1 ') AND (TA_MENU.Proceso LIKE '%ocmail%')";
  auto conUsuario = [&](const std::string& u) {
    return tarea.substr(0, tarea.find("%1")) + u + tarea.substr(tarea.find("%1") + 2);
  };
  EXPECT_EQ(db.Valor(conUsuario("admin")), "Envio de OC por mail");
  EXPECT_EQ(db.Valor(conUsuario("JUAN")), "Envio de OC por mail");
  EXPECT_EQ(db.Valor(conUsuario("juan")), "Envio de OC por mail");
  EXPECT_EQ(db.Columna(conUsuario("PEDRO")).size(), 0u);

  // Suppliers.
  EXPECT_EQ(db.Numero("SELECT count(*) FROM vt_proveedores"), demo::kProveedores);
  EXPECT_EQ(db.Valor("SELECT Razon_Social FROM vt_proveedores WHERE Codigo='P004'"),
            "Distribuidora O'Higgins Añasco");
  EXPECT_EQ(db.Valor("SELECT Mail FROM vt_proveedores WHERE Codigo='P007'"), "NULL");
  EXPECT_EQ(db.Valor("SELECT Mail FROM vt_proveedores WHERE Codigo='P011'"), "");
  EXPECT_EQ(db.Valor("SELECT Calle || Numero FROM vt_proveedores WHERE Codigo='P001'"), "Mitre1234");
  for (const char* p : {"P004", "P007", "P011"}) {
    SCOPED_TRACE(p);
    EXPECT_GT(db.Numero(std::string("SELECT count(*) FROM V_Oc_pendientes WHERE Cuenta='") + p +
                        "' AND FechaEnvioMail IS NULL"),
              0);
  }
  EXPECT_GT(db.Numero("SELECT count(*) FROM V_Oc_pendientes WHERE Cuenta='P004'"
                      " AND FechaEnvioMail IS NOT NULL"),
            0);

  // Document numbers "PPPPNNNNNNNNL"; every order has lines; the report of every letter.
  EXPECT_EQ(db.Numero("SELECT count(*) FROM c_mv_cpte WHERE IdComprobante NOT GLOB"
                      " '[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][A-Z]'"),
            0);
  EXPECT_EQ(db.Valor("SELECT IdComprobante FROM V_Oc_pendientes ORDER BY IdComprobante LIMIT 1"),
            demo::NumeroPedido(0));
  EXPECT_EQ(db.Numero("SELECT count(*) FROM c_mv_cpte c WHERE NOT EXISTS (SELECT 1 FROM"
                      " c_mv_cpteser s WHERE s.Cuenta=c.Cuenta AND s.TC=c.TC AND"
                      " s.IdComprobante=c.IdComprobante) AND c.TC='OC'"),
            0);
  EXPECT_GT(db.Numero("SELECT count(*) FROM c_mv_cpteobs"), 0);
  EXPECT_EQ(db.Numero("SELECT count(*) FROM V_Oc_pendientes v WHERE NOT EXISTS (SELECT 1 FROM"
                      " TA_REPORTES r WHERE r.NOMBRE = 'OC-' || substr(v.IdComprobante, 13, 1))"),
            0);
  EXPECT_EQ(db.Numero("SELECT count(DISTINCT substr(IdComprobante, 13, 1)) FROM V_Oc_pendientes"), 2);

  // Dates on both sides of 01/03/2024; the company's heading in the configuration.
  EXPECT_GT(db.Numero("SELECT count(*) FROM V_Oc_pendientes WHERE Fecha < '2024-03-01'"), 0);
  EXPECT_GT(db.Numero("SELECT count(*) FROM V_Oc_pendientes WHERE Fecha >= '2024-03-01'"), 0);
  for (const char* k : {"NOMBRE", "CALLE", "NUMERO", "PISO", "Departamento", "LOCALIDAD", "CPOSTAL"}) {
    SCOPED_TRACE(k);
    EXPECT_NE(db.Valor(std::string("SELECT trim(Valor) FROM TA_CONFIGURACION WHERE Clave='") + k + "'"), "");
  }
  EXPECT_EQ(db.Valor("SELECT Valor FROM TA_CONFIGURACION WHERE CLAVE='telefono'"), "4555-1234");
  EXPECT_EQ(db.Columna("PRAGMA foreign_key_check").size(), 0u);
}

TEST(DemoSet, Determinista) {
  TempDir dir;
  CrearBaseDatos(dir / "a.db", 200);
  CrearBaseDatos(dir / "b.db", 200);
  const std::string q =
      "SELECT group_concat(Cuenta || IdComprobante || Fecha || Usuario || Total ||"
      " ifnull(FechaEnvioMail,'-'), ';') FROM (SELECT * FROM c_mv_cpte ORDER BY 1,2,3)";
  EXPECT_EQ(Sqlite(dir / "a.db").Valor(q), Sqlite(dir / "b.db").Valor(q));
  Sqlite a(dir / "a.db");
  for (long i : {0L, 3L, 9L, 57L, 199L}) {
    SCOPED_TRACE(i);
    EXPECT_EQ(a.Valor("SELECT Cuenta || '|' || Usuario || '|' || (FechaEnvioMail IS NOT NULL) FROM"
                      " c_mv_cpte WHERE TC='OC' AND IdComprobante='" +
                      demo::NumeroPedido(i) + "'"),
              demo::ProveedorPedido(i) + "|" + demo::CompradorPedido(i) + "|" +
                  (demo::PedidoEnviado(i) ? "1" : "0"));
  }
}

// The main window's pending-order statement, every filter on, runs on this schema through
// the console (no ambiguous column, dates typed dd/mm/yyyy) and finds the orders that the
// base tables say it should.
TEST(DemoSet, ConsultaDeOrdenesPendientesConFiltros) {
  TempDir dir;
  CrearBaseDatos(dir / "demo.db", 60);
  const std::string sql =
      " SELECT vt_proveedores.Codigo, vt_proveedores.razon_social, vt_proveedores.Calle,"
      " vt_proveedores.numero,vt_proveedores.localidad, vt_proveedores.telefono ,"
      "vt_proveedores.mail, v_oc_pendientes.tc, v_oc_pendientes.idcomprobante,"
      "v_oc_pendientes.FechaEnvioMail from V_Oc_pendientes inner join vt_proveedores on "
      " V_Oc_pendientes.cuenta  = vt_proveedores.codigo Where Not vt_proveedores.mail Is Null "
      " AND V_Oc_pendientes.FECHAENVIOMAIL IS NULL "
      " AND CODIGO >= 'p002'  AND CODIGO <= 'P015'  AND USUARIO LIKE 'ju%' "
      " AND FECHA >= '01/03/2024'  AND FECHA <= '15/04/2024' "
      " ORDER BY vt_proveedores.razon_social ";
  Resultado r = Correr(dir, {Linea(dir / "demo.db"), sql});
  ASSERT_EQ(r.codigo, 0) << r.errores;
  const long esperadas =
      Sqlite(dir / "demo.db")
          .Numero(
              "SELECT count(*) FROM c_mv_cpte c JOIN vt_proveedores p ON p.Codigo = c.Cuenta"
              " WHERE c.TC='OC' AND c.Pendiente=1 AND c.Anulado=0 AND p.Mail IS NOT NULL"
              " AND c.FechaEnvioMail IS NULL AND p.Codigo BETWEEN 'P002' AND 'P015'"
              " AND c.Usuario IN ('JUAN','JULIA') AND c.Fecha BETWEEN '2024-03-01' AND '2024-04-15 "
              "00:00:00'");
  EXPECT_GT(esperadas, 0);
  EXPECT_EQ(Lineas(r.salida), esperadas + 1) << r.salida;
  std::string cabecera = r.salida.substr(0, r.salida.find('\n'));
  for (char& c : cabecera) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(cabecera,
            "codigo\trazon_social\tcalle\tnumero\tlocalidad\ttelefono\tmail\ttc\t"
            "idcomprobante\tfechaenviomail");
}

// The console connects as the program does: the administrator check decides whether the
// security synonyms apply.
TEST(OcmailSql, SinonimosSegunAdministrador) {
  TempDir dir;
  CrearBaseDatos(dir / "demo.db", 5);
  const std::string sql = "SELECT Codigo FROM MA_CUENTAS WHERE Codigo LIKE '5%' ORDER BY Codigo";
  Resultado admin = Correr(dir, {Linea(dir / "demo.db", "admin"), sql});
  ASSERT_EQ(admin.codigo, 0) << admin.errores;
  EXPECT_EQ(admin.salida, "Codigo\n5\n51\n52\n");
  Resultado juan = Correr(dir, {Linea(dir / "demo.db", "JUAN"), sql});
  ASSERT_EQ(juan.codigo, 0) << juan.errores;
  EXPECT_EQ(juan.salida, "Codigo\n5\n52\n");  // the confidential account is not shown
}

TEST(OcmailSql, LineaDeLanzamiento) {
  auto v = LeerLineaLanzamiento(
      "@UsuarioLogeado=ANA; @SERVER = sqlite ;@dbname= demo;"
      "@Usuario=admin;@Password=p=w;vxqr@");
  EXPECT_EQ(v.servidor, "sqlite");
  EXPECT_EQ(v.base, "demo");
  EXPECT_EQ(v.usuario, "admin");
  EXPECT_EQ(v.clave, "p=w");
  EXPECT_TRUE(DevuelveFilas("  select 1"));
  EXPECT_TRUE(DevuelveFilas("(SELECT 1) UNION (SELECT 2)"));
  EXPECT_FALSE(DevuelveFilas("UPDATE t SET a = 1"));
}
