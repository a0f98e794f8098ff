// Report file resolution on the demo database: the report table, the workstation rows,
// the fallbacks of the application folder and the operator's message.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "apoyo.h"
#include "reports/reporte.h"
#include "data/db_dll.h"
#include "reports/nombre_reporte.h"

namespace fs = std::filesystem;

namespace {

// Records the statements opened through the data layer.
struct CanalVisto : CanalADO {
  std::vector<std::string> fuentes;
  void OpenRecordset(ado::Recordset& rs, const std::string& fuente, ado::Connection& cn, long cursor,
                     long bloqueo, long opciones) override {
    fuentes.push_back(fuente);
    CanalADO::OpenRecordset(rs, fuente, cn, cursor, bloqueo, opciones);
  }
};

class Resolucion : public ::testing::Test, public BaseDemo {
 protected:
  Resolucion() { InstalarCanalADO(&canal); }
  ~Resolucion() override { InstalarCanalADO(nullptr); }

  void Fila(const std::string& nombre, const std::string& a1, const std::string& a2 = "",
            const std::string& a3 = "", const std::string& a4 = "") {
    Ejecutar("DELETE FROM TA_REPORTES WHERE NOMBRE = '" + nombre + "'");
    Ejecutar("INSERT INTO TA_REPORTES (NOMBRE, Archivo, Archivo2, Archivo3, Archivo4) VALUES ('" + nombre +
             "', '" + a1 + "', '" + a2 + "', '" + a3 + "', '" + a4 + "')");
  }
  // The message of a missing file, as the operator sees it.
  std::string Aviso(const std::string& archivo, const std::string& nombre) {
    return "No se encuentra el Archivo " + archivo + " (" + nombre + ")" +
           " por favor verifique la configuración de Reportes\r\n Se tomara en su lugar el formulario " +
           app() + nombre + ".rpt";
  }
  void EsperarAvisos(const std::vector<std::string>& textos) {
    ASSERT_EQ(op.pedidos.size(), textos.size());
    for (size_t i = 0; i < textos.size(); ++i) {
      EXPECT_EQ(op.pedidos[i].tipo, "MsgBox");
      EXPECT_EQ(op.pedidos[i].texto, textos[i]);
      EXPECT_EQ(op.pedidos[i].titulo, "Aviso al Operador");
      EXPECT_EQ(op.pedidos[i].estilo, 16);
    }
  }

  CanalVisto canal;
};

TEST_F(Resolucion, WorkstationRowWinsOnItsWorkstationOnly) {
  // A bare name is completed in the application folder; a name with its extension must
  // be a path.
  Fila("PC01|juan|OC-X", "OCW");
  Fila("OC-X", app() + "OCX.RPT");
  Crear("OCW.rpt");
  Crear("OCX.RPT");

  std::string nombre = "OC-X";
  EXPECT_EQ(NombreReporte(nombre, "", nullptr, ""), app() + "OCW.rpt");
  EXPECT_EQ(nombre, "PC01|juan|OC-X");
  EXPECT_NE(std::find(canal.fuentes.begin(), canal.fuentes.end(),
                      "SELECT * FROM TA_REPORTES  with(nolock)  WHERE NOMBRE = 'PC01|juan|OC-X'"),
            canal.fuentes.end());

  sistema.equipo = "PC02";
  nombre = "OC-X";
  EXPECT_EQ(NombreReporte(nombre, "", nullptr, ""), app() + "OCX.RPT");
  EXPECT_EQ(canal.fuentes.back(), "SELECT * FROM TA_REPORTES  with(nolock)  WHERE NOMBRE = 'OC-X'");

  // A search mode skips the workstation row and leaves the name alone.
  sistema.equipo = "PC01";
  nombre = "OC-X";
  EXPECT_EQ(NombreReporte(nombre, "X", nullptr, ""), app() + "OCX.RPT");
  EXPECT_EQ(nombre, "OC-X");
  EXPECT_TRUE(op.pedidos.empty());
}

TEST_F(Resolucion, CopyFilesOfPlainAndWorkstationRows) {
  Fila("OC-X", app() + "OCX.RPT");
  Crear("OCX.RPT");
  Crear("OC-X.rpt");
  ArchivosReporte copias;
  EXPECT_EQ(NombreReporte("OC-X", "", &copias, ""), app() + "OCX.RPT");
  for (const auto& c : copias) EXPECT_EQ(c, app() + "OCX.RPT");

  // The same content on the workstation: the empty columns give the default file.
  Fila("PC01|juan|OC-X", app() + "OCX.RPT");
  EXPECT_EQ(NombreReporte("OC-X", "", &copias, ""), app() + "OCX.RPT");
  EXPECT_EQ(copias[0], app() + "OCX.RPT");
  for (int i = 1; i < 4; ++i) EXPECT_EQ(copias[i], app() + "OC-X.rpt");
  EXPECT_TRUE(op.pedidos.empty());
}

TEST_F(Resolucion, ValidarArchivoReporteFallsBackOnTheApplicationFolder) {
  Ejecutar("INSERT INTO TA_CPTE (Codigo, Descripcion, SISTEMA) VALUES ('LiqOpg', 'Liquidacion', 'COMPRAS')");
  TempDir otra;
  std::ofstream(otra / "OC.RPT") << "x";

  struct Caso {
    std::vector<std::string> archivos;  // created in the application folder
    std::string entrada, nombre, resultado;
    std::vector<std::pair<std::string, std::string>> avisos;  // (file named, report name)
  };
  const std::vector<Caso> casos = {
      {{"OC-X.rpt", "OC.RPT"}, "", "OC-X", app() + "OC-X.rpt", {}},
      {{"oc.rpt"}, "", "OC-X", app() + "OC.RPT", {}},  // found whatever its case
      {{"cptecompras.rpt"}, "", "OC-X", app() + "CpteCompras.RPT", {}},
      {{}, "", "OC-X", app() + "OC-X.rpt", {{app() + "CpteCompras.RPT", "OC-X"}}},
      {{}, "", "FC-X", app() + "FC-X.rpt", {{app() + ".rpt", "FC-X"}}},
      {{}, otra / "OC.RPT", "OC-X", otra / "OC.RPT", {}},
      {{"OCMAIL.rpt"}, "OCMAIL", "OCMAIL", app() + "OCMAIL.rpt", {}},
      {{}, "OCMAIL.rpt", "OC-X", app() + "OC-X.rpt", {{"OCMAIL.rpt", "OC-X"}}},
      {{"CpteCompras.RPT"}, "", "LiqOpg", app() + "CpteCompras.RPT", {}},
      {{"FACT.RPT"}, "", "FACT-B", app() + "FACT.RPT", {}},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre + " / " + c.entrada);
    for (const auto& e : fs::directory_iterator(dir.path()))
      if (e.path().extension() != ".db") fs::remove(e.path());
    for (const auto& a : c.archivos) Crear(a);
    op.pedidos.clear();

    std::string archivo = c.entrada;
    EXPECT_EQ(ValidarArchivoReporte(archivo, c.nombre), c.resultado);
    EXPECT_EQ(archivo, c.resultado);
    std::vector<std::string> avisos;
    for (const auto& [a, n] : c.avisos) avisos.push_back(Aviso(a, n));
    EsperarAvisos(avisos);
  }
}

TEST_F(Resolucion, NoDefinitionGivesTheDefaultFileForEveryCopy) {
  Ejecutar("DELETE FROM TA_CPTE WHERE Codigo = 'OC'");  // no purchasing fallback
  ArchivosReporte copias;
  EXPECT_EQ(NombreReporte("OC-Z", "", &copias, ""), app() + "OC-Z.rpt");
  for (const auto& c : copias) EXPECT_EQ(c, app() + "OC-Z.rpt");
  // One message for the result and one per copy.
  EsperarAvisos(std::vector<std::string>(5, Aviso(app() + ".rpt", "OC-Z")));
}

TEST_F(Resolucion, SettlementTakesThePaymentOrderRowOnlyWithACopyList) {
  Fila("OPG-X", "OPG");
  Crear("OPG.rpt");
  Crear("LiqOpg.rpt");
  ArchivosReporte copias;
  EXPECT_EQ(NombreReporte("LiqOpg", "", &copias, ""), app() + "OPG.rpt");
  EXPECT_EQ(copias[0], app() + "OPG.rpt");
  EXPECT_EQ(copias[1], app() + "LiqOpg.rpt");
  // Without a list the default file replaces it.
  EXPECT_EQ(NombreReporte("LiqOpg", "", nullptr, ""), app() + "LiqOpg.rpt");
  EXPECT_TRUE(op.pedidos.empty());
}

TEST_F(Resolucion, ElectronicDocumentTakesTheFormFromTheConfiguredFolder) {
  TempDir formularios;
  std::ofstream(formularios / "efc-a.rpt") << "x";
  Ejecutar("UPDATE TA_CONFIGURACION SET Valor = '" + formularios.str() +
           "' WHERE Clave = 'RUTA_FORMULARIOS_EFACTURA'");
  Crear("FC-A.rpt");
  ArchivosReporte copias;
  // The point of sale's unit does not issue electronic documents: the configured folder.
  const std::string esperado = formularios.str() + "/eFC-A.RPT";
  EXPECT_EQ(NombreReporte("FC-A", "", &copias, "000100000001A"), esperado);
  for (const auto& c : copias) EXPECT_EQ(c, esperado);
  // Not listed as electronic: the earlier steps stand.
  EXPECT_EQ(NombreReporte("FC-A", "", nullptr, "000100000099A"), app() + "FC-A.rpt");
  EXPECT_TRUE(op.pedidos.empty());
}

TEST_F(Resolucion, DemoReportNamesReachShippedDefinitionsThatLoad) {
  for (const auto& e : fs::directory_iterator(CarpetaReportes()))
    fs::copy_file(e.path(), dir / e.path().filename().string());
  Reporte r;
  r.CarpetaSistema(app());
  struct Caso {
    const char* nombre;
    std::string archivo;
  };
  // OC-X has its own row, OC-A points at "OC", another letter falls back on OC.RPT, and a
  // document number too short for a letter ("OC-") on the general purchasing report.
  const Caso casos[] = {{"OC-X", app() + "OC-X.rpt"},
                        {"OC-A", app() + "OC.rpt"},
                        {"OC-B", app() + "OC.RPT"},
                        {"OC-", app() + "CpteCompras.RPT"}};
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    std::string archivo = NombreReporte(c.nombre, "", nullptr, "");
    EXPECT_EQ(archivo, c.archivo);
    EXPECT_NO_THROW(r.Imprimir(archivo, {""}, "{c_mv_cpte.tc}= 'OC'", "", {}, {}, {}, {}, {}, "RP_CPTESER",
                               "", "RP_CpteObs"));
  }
  EXPECT_NO_THROW(r.Imprimir("OCMAIL", {""}, "", ""));
  EXPECT_TRUE(op.pedidos.empty());
}

}  // namespace
