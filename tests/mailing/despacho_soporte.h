#pragma once
// Shared set-up of the dispatch and preview tests: an application folder with the demo
// database and the shipped report definitions, the program started on it, a fixed clock,
// the scripted operator, and stand-ins for the mail program, the report object and the
// ADO channel that record what reaches them.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "reports/reporte.h"
#include "data/db_dll.h"
#include "startup/acceso.h"
#include "startup/cargar_parametros.h"
#include "global/contexto.h"
#include "mailing/despacho.h"
#include "ocmail-sql/base_datos.h"
#include "platform/ado/ado.h"
#include "platform/basic/fecha.h"
#include "platform/os/procesos.h"
#include "platform/os/rutas.h"
#include "platform/os/sistema.h"
#include "platform/ui/operador_guionado.h"
#include "support/estado_global.h"
#include "support/temp_dir.h"

namespace despacho_prueba {

namespace fs = std::filesystem;
namespace demo = ocmailsql::demo;

// 21/05/2026 14:03:11: the run folder is E-MAILS/ENVIOS/21-05-2026/14.03.11.
struct Reloj : os::Sistema {
  basic::Fecha ahora = basic::DateSerial(2026, 5, 21) + basic::TimeSerial(14, 3, 11);
  basic::Fecha Ahora() const override { return ahora; }
};

// The mail program as a test sees it: records each command line and the job file as it
// was when the program started; takes the job (removes the file) unless told otherwise.
struct CorreoFalso : os::Procesos {
  std::string trabajo;  // the job file path
  bool tomar = true;    // remove the job file when started
  bool vive = false;    // what Vive answers
  std::vector<std::string> lineas;
  std::vector<std::string> trabajos;

  long Iniciar(const std::string& linea, int) override {
    lineas.push_back(linea);
    trabajos.push_back(ReadBytes(trabajo));
    if (tomar) fs::remove(trabajo);
    return 90000 + static_cast<long>(lineas.size());
  }
  bool Vive(long) override { return vive; }
};

// Records every call on the report object, then runs it.
struct ReporteGrabado : Reporte {
  std::vector<std::string> llamadas;
  using Reporte::Destino;
  // Reads where the start-up's report object reads: the main connection.
  ReporteGrabado() { Conexion(gDB().gCnn.get()); }

  void Propiedad(const std::string& nombre, basic::Variant& valor) override {
    llamadas.push_back("Propiedad " + nombre + "=" + valor.Texto());
    Reporte::Propiedad(nombre, valor);
  }
  void Destino(int16_t d) override {
    llamadas.push_back("Destino " + std::to_string(d));
    Reporte::Destino(d);
  }
  void Imprimir(const std::string& reporte, const std::vector<std::string>& parametros,
                const std::string& seleccion, const std::string& conexion,
                const std::optional<std::string>& f1, const std::optional<std::string>& f2,
                const std::optional<std::string>& f3, const std::optional<std::string>& f4,
                const std::optional<std::string>& f5, const std::string& s1, const std::string& s2,
                const std::string& s3) override {
    std::string t = "Imprimir " + reporte + " |";
    for (const auto& p : parametros) t += "[" + p + "]";
    t += "| " + seleccion + " | " + conexion;
    for (const auto* f : {&f1, &f2, &f3, &f4, &f5}) t += " | " + (f->has_value() ? **f : "<ausente>");
    t += " | " + s1 + " | " + s2 + " | " + s3;
    llamadas.push_back(t);
    Reporte::Imprimir(reporte, parametros, seleccion, conexion, f1, f2, f3, f4, f5, s1, s2, s3);
  }
  void Ejecutar(int16_t& accion) override {
    llamadas.push_back("Ejecutar " + std::to_string(accion));
    Reporte::Ejecutar(accion);
  }
};

// Records the statements sent; can make the stamp fail.
struct CanalGrabado : CanalADO {
  std::vector<std::string> sentencias;
  bool fallarUpdate = false;
  std::shared_ptr<ado::Recordset> Execute(ado::Connection& cn, const std::string& sql, long* afectados,
                                          long opciones) override {
    sentencias.push_back(sql);
    if (fallarUpdate && sql.rfind("UPDATE", 0) == 0)
      throw ErrorEjecucion(-2147467259, "bloqueo de prueba", "prueba");
    return CanalADO::Execute(cn, sql, afectados, opciones);
  }
  void OpenRecordset(ado::Recordset& rs, const std::string& fuente, ado::Connection& cn, long cursor,
                     long bloqueo, long opciones) override {
    sentencias.push_back(fuente);
    CanalADO::OpenRecordset(rs, fuente, cn, cursor, bloqueo, opciones);
  }
};

inline std::string Mail(long i) { return "compras." + demo::ProveedorPedido(i) + "@example.com"; }

// Demo order i as a list row.
inline FilaDespacho Fila(long i, bool marcada = true) {
  return {demo::ProveedorPedido(i), "OC", demo::NumeroPedido(i), Mail(i), marcada};
}

// The summary after a run (its first line names how the run ended).
inline bool EsResumen(const ui::OperadorGuionado::Pedido& p) {
  return p.tipo == "MsgBox" && p.texto.rfind("Envío ", 0) == 0;
}
// The message boxes other than the summaries, and the summaries.
inline int Avisos(const ui::OperadorGuionado& op) {
  int n = 0;
  for (const auto& p : op.pedidos) n += p.tipo == "MsgBox" && !EsResumen(p);
  return n;
}
inline int Resumenes(const ui::OperadorGuionado& op) {
  int n = 0;
  for (const auto& p : op.pedidos) n += EsResumen(p);
  return n;
}

class Aplicacion : public ::testing::Test {
 public:
  TempDir raiz;
  std::string app;
  Reloj reloj;
  ui::OperadorGuionado::Instalado op;

  // The application folder `nombre` under the test's folder, started on its demo database.
  void Preparar(const std::string& nombre = "app") {
    app = raiz / nombre;
    fs::create_directories(app);
    ocmailsql::CrearBaseDatos(app + "/demo.db", demo::kPedidosPorDefecto);
    for (const auto& e : fs::directory_iterator(std::string(OCMAIL_SHARE) + "/reports"))
      fs::copy_file(e.path(), app + "/" + e.path().filename().string());
    os::FijarCarpetaAplicacion(app);
    os::InstalarSistema(&reloj);
    std::string cs;
    CargarParametros(
        false, "@Server=sqlite;@DbName=" + app + "/demo.db;@Usuario=admin;@Password=x;@UsuarioLogeado=ADMIN;",
        cs, 3);
    ASSERT_EQ(op->Cuantos("MsgBox"), 0);
  }

  void TearDown() override {
    // The test's stand-ins may be gone already: off before the shut-down uses them.
    os::InstalarProcesos(nullptr);
    InstalarReporte(nullptr);
    InstalarCanalADO(nullptr);
    opcionesDespacho() = {};
    CerrarSistemaSinSalir();
    ReiniciarEstadoGlobal();
  }

  int Avisos() { return despacho_prueba::Avisos(op.op); }
  int Resumenes() { return despacho_prueba::Resumenes(op.op); }

  std::string CarpetaEnvio() const { return app + "/E-MAILS/ENVIOS/21-05-2026/14.03.11"; }
  std::string Html(long i) const {
    return CarpetaEnvio() + "/" + demo::ProveedorPedido(i) + "-" + demo::NumeroPedido(i) + ".html";
  }
  std::string Trabajo() const { return RutaTrabajoCorreo(app); }

  // The stamp of demo order i straight from the database file ("NULL" when none).
  std::string FechaEnvio(long i) const {
    sqlite3* db = nullptr;
    sqlite3_open_v2((app + "/demo.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    std::string r = "<sin fila>";
    const std::string sql = "SELECT FechaEnvioMail FROM c_mv_cpte WHERE TC='OC' AND IdComprobante='" +
                            demo::NumeroPedido(i) + "'";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
      r = sqlite3_column_type(st, 0) == SQLITE_NULL
              ? "NULL"
              : reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return r;
  }
  bool Marcada(long i) const { return FechaEnvio(i).rfind("2026-05-21", 0) == 0; }
  // The stamp of demo order i as the list shows it ("" when never mailed).
  std::string Leida(long i) const {
    const std::string f = FechaEnvio(i);
    return f == "NULL" || f == "<sin fila>" ? "" : basic::Variant::DeFecha(basic::CDate(f)).Texto();
  }
  // Demo order i as the list shows it now (with the stamp it read).
  FilaDespacho Fila(long i, bool marcada = true) const {
    FilaDespacho f = despacho_prueba::Fila(i, marcada);
    f.fechaEnvio = Leida(i);
    return f;
  }
};

// A stand-in mail program: a shell script named tspost in `carpeta` that waits, then copies
// the job it was given (its arguments joined, the launch token dropped) into `copias` as
// 0.txt, 1.txt... and takes it.
inline void EscribirCorreoGuion(const std::string& carpeta, const std::string& copias, double espera) {
  fs::create_directories(copias);
  const std::string guion = carpeta + "/tspost";
  WriteBytes(guion,
             "#!/bin/sh\n"
             "sleep " +
                 std::to_string(espera) +
                 "\n"
                 "trabajo=\"$*\"\n"
                 "trabajo=\"${trabajo% ;*}\"\n"
                 "n=$(ls '" +
                 copias +
                 "' | wc -l)\n"
                 "cp \"$trabajo\" '" +
                 copias +
                 "/'$n.txt\n"
                 "rm -f \"$trabajo\"\n");
  chmod(guion.c_str(), 0755);
}

}  // namespace despacho_prueba
