// The configuration store on the demo database and the values loaded at start.
#include <gtest/gtest.h>

#include "startup/cargar_parametros.h"
#include "global/configuracion.h"
#include "global/entorno.h"
#include "platform/basic/regional.h"

namespace {

class Configuracion : public ::testing::Test {
 protected:
  void Iniciar() {
    std::string cs;
    CargarParametros(false, kLineaDemo, cs, 3);
    ASSERT_TRUE(gDB().gOpenFlag);
  }
  void Fijar(const std::string& clave, const std::string& valor) {
    e.Ejecutar("DELETE FROM TA_CONFIGURACION WHERE Clave = '" + clave + "'");
    e.Ejecutar("INSERT INTO TA_CONFIGURACION (Grupo, Clave, Valor, ValorAux) VALUES ('G', '" + clave +
               "', '" + valor + "', 'aux')");
  }
  void Quitar(const std::string& clave) {
    e.Ejecutar("DELETE FROM TA_CONFIGURACION WHERE Clave = '" + clave + "'");
  }
  EntornoGlobal e;
};

TEST_F(Configuracion, CfgDeClavesPresentesYAusentes) {
  EXPECT_EQ(Cfg("NOMBRE"), "");  // no connection: nothing asked
  Iniciar();
  Fijar("CLAVE_X", "valor x");
  Quitar("THEME");
  std::string aux = "antes";
  EXPECT_EQ(Cfg("clave_x", aux), "valor x");
  EXPECT_EQ(aux, "aux");
  EXPECT_EQ(Cfg("NO_EXISTE", aux), " ");
  EXPECT_EQ(aux, "");
  EXPECT_EQ(Cfg("THEME"), "1");
  EXPECT_EQ(Cfg("NOMBRE"), "Ferretería Industrial del Plata S.A.");
  // An apostrophe in the key is part of the value compared, not the end of the literal.
  e.Ejecutar(
      "INSERT INTO TA_CONFIGURACION (Grupo, Clave, Valor, ValorAux) "
      "VALUES ('G', 'D''ALBA', 'con comilla', '')");
  EXPECT_EQ(Cfg("D'ALBA"), "con comilla");
  EXPECT_EQ(e.op.Cuantos("MsgBox"), 0);
}

TEST_F(Configuracion, ValoresCargadosYSusReglas) {
  Fijar("Top_Default", "   ");
  Quitar("CFondo");
  Quitar("CLetra");
  Fijar("UsaMultilesMonedas", "si");
  Fijar("RazonSocialPorUneg", " SI ");
  Fijar("MostrarStockenConsultas", " SI");  // the plain test does not trim
  Fijar("V_ModificaCPrecio", "no");
  Fijar("C_ModificaCPrecio", "x");
  Fijar("ModuloOrdenDeTrabajo", " NO ");
  Fijar("MaxDto", " 12,5 ");
  Fijar("CONDIVAEMPRESA", "0");
  Fijar("CONDIVA", "0");
  Fijar("PERIODO", "99999");  // does not fit: left as it was
  Fijar("UsaFacturaProforma", "SI");
  gPERIODO = 5;
  Iniciar();

  EXPECT_EQ(gTop_Default, "1000");
  EXPECT_EQ(gColorFondo, 0xFFFF00);
  EXPECT_EQ(gColorLetra, 0);
  EXPECT_EQ(gUsaMultilesMonedas, -1);
  EXPECT_EQ(gRazonSocialPorUneg, -1);
  EXPECT_EQ(gMostrarStockenConsultas, 0);
  EXPECT_EQ(gUsaConsultaLike, -1);
  EXPECT_EQ(gV_ModificaCPrecio, 0);
  EXPECT_EQ(gC_ModificaCPrecio, -1);
  EXPECT_EQ(gMADERERA, 0);  // missing
  EXPECT_EQ(gModuloOrdenDeTrabajo, 0);
  EXPECT_DOUBLE_EQ(gMaxDto.ADouble(), 12.5);
  EXPECT_EQ(gCONDIVAEMPRESA, 1);
  EXPECT_EQ(gPERIODO, 5);
  EXPECT_EQ(gTituloProveedores, "Proveedores");
  EXPECT_EQ(gCantidadDecimales, "2");
  EXPECT_EQ(SS_CONFIDENCIALIDAD, 0);
  EXPECT_EQ(gUNegocio, "   1");
  EXPECT_EQ(gUsaFacturaProforma, 0);  // admin's verproforma replaces it
  EXPECT_EQ(gArchivoTareas, e.dir / "QZDOCTareas.qzx");
  EXPECT_EQ(e.op.Cuantos("MsgBox"), 0);
}

TEST_F(Configuracion, GrabaCfgQZAgregaYReemplaza) {
  Iniciar();
  ASSERT_TRUE(gDBEstadisticas().gOpenFlag);
  GrabaCfgQZ(" clave nueva ", basic::Variant("  valor  "), " aux ", true, "Grupo1", true);
  GrabaCfgQZ("CLAVE NUEVA", basic::Variant("otro  "), "", false, "Grupo2", false);
  GrabaCfgQZ("NULA", basic::Variant::Null(), "", false, "G", true);
  const auto filas = e.Filas(
      "SELECT Grupo, Clave, Valor, ValorAux, PoliticaNegocio FROM TA_CONFIGURACION "
      "WHERE Clave <> 'TIMEOUT' ORDER BY Clave",
      "QZ_ESTADISTICAS.db");
  ASSERT_EQ(filas.size(), 2u);
  EXPECT_EQ(filas[0], (std::vector<std::string>{"Grupo2", "CLAVE NUEVA", "otro  ", "aux", "0"}));
  EXPECT_EQ(filas[1][2], "");
  std::string aux;
  EXPECT_EQ(CfgQZ("clave nueva", aux), "otro  ");
  EXPECT_EQ(aux, "aux");
}

}  // namespace

namespace {

// The workstation's INI sets the regional formats and the ODBC drivers at start-up.
TEST(AjustesDeEquipo, RegionalYOdbcDesdeElIni) {
  EntornoGlobal e(false);
  WriteBytes(e.dir / "tm440kv.ini",
             "[Regional]\r\nSeparadorDecimal=.\r\n[ODBC]\r\nDriverSqlServer=TDS propio\r\n"
             "SegundosConexion=4\r\n");
  CargarAjustesDeEquipo();
  EXPECT_EQ(basic::regional().separadorDecimal, ".");
  EXPECT_EQ(basic::regional().fechaCorta, "dd/mm/yyyy");  // missing keys keep their defaults
  EXPECT_EQ(ado::ConfiguracionOdbcActual().driverOracle, "Oracle");
  EXPECT_EQ(ado::ConfiguracionOdbcActual().segundosConexion, 4);
  const auto destino =
      ado::ResolverConexion("PROVIDER=SQLOLEDB;Server=srv1;Database =EMPRESA;UId=ana;Pwd=x;");
  EXPECT_NE(destino.cadenaOdbc.find("DRIVER={TDS propio}"), std::string::npos) << destino.cadenaOdbc;
  basic::regional() = basic::Regional{};
  ado::FijarConfiguracionOdbc(ado::ConfiguracionOdbc{});
}

}  // namespace
