// The pending-order statement and the list's plain model (no database, no window).
#include <gtest/gtest.h>

#include <set>

#include "mailing/consulta_pendientes.h"
#include "mailing/lista_pendientes.h"
#include "ocmail-sql/base_datos.h"
#include "platform/ado/ado.h"
#include "platform/basic/fecha.h"
#include "platform/basic/formato.h"
#include "support/temp_dir.h"

namespace {

TEST(ConsultaPendientes, FiltroPorCampo) {
  struct Caso {
    const char* nombre;
    FiltrosPendientes filtros;
    const char* filtro;
  };
  const Caso casos[] = {
      {"vacio", {}, ""},
      {"rango de proveedores", {"P002", "P004", "", "", ""}, " AND CODIGO >= 'P002'  AND CODIGO <= 'P004' "},
      {"prefijo de usuario", {"", "", "JU", "", ""}, " AND USUARIO LIKE 'JU%' "},
      {"fechas validas",
       {"", "", "", "01/03/2024", "15/03/2024"},
       " AND FECHA >= '01/03/2024'  AND FECHA <= '15/03/2024' "},
      {"fecha desde invalida", {"", "", "", "31/02/2024", ""}, ""},
      {"fecha hasta que no es fecha", {"", "", "", "", "ayer"}, ""},
      {"comillas dobladas",
       {"O'H", "", "D'Ar'", "", ""},
       " AND CODIGO >= 'O''H'  AND USUARIO LIKE 'D''Ar''%' "},
      {"todo junto",
       {"P001", "P009", "JU", "01/03/2024", "31/02/2024"},
       " AND CODIGO >= 'P001'  AND CODIGO <= 'P009'  AND USUARIO LIKE 'JU%' "
       " AND FECHA >= '01/03/2024' "},
  };
  for (const Caso& c : casos) EXPECT_EQ(FiltroPendientes(c.filtros), c.filtro) << c.nombre;
}

// Every form IsDate accepts is the same date in the statement, so no road can read it
// differently; two-digit years follow the platform's century rule (00-29 are 2000s).
TEST(ConsultaPendientes, CadaFormaDeFechaEsLaMismaFecha) {
  const char* formas[] = {"15/03/2024", "15-03-2024", "15.03.2024", "15/3/24", "15-03-24", "2024-03-15"};
  for (const char* f : formas) {
    EXPECT_EQ(FiltroPendientes({"", "", "", f, f}), " AND FECHA >= '15/03/2024'  AND FECHA <= '15/03/2024' ")
        << f;
  }
  EXPECT_EQ(FiltroPendientes({"", "", "", "01.02.35", ""}), " AND FECHA >= '01/02/1935' ");
  EXPECT_EQ(FiltroPendientes({"", "", "", "", "01.02.29 10:30"}), " AND FECHA <= '01/02/2029 10:30:00' ");
}

// On the embedded engine, "desde"/"hasta" typed with "-" or "." list what "/" lists.
TEST(ConsultaPendientes, LaMismaListaConCualquierSeparador) {
  TempDir dir;
  ocmailsql::CrearBaseDatos(dir / "demo.db", 60);
  ado::Connection cn;
  cn.Open("PROVIDER=SQLOLEDB;Server=sqlite;Database =" + (dir / "demo.db") + ";UId=admin;Pwd=x;");
  auto filas = [&](const FiltrosPendientes& f) {
    std::multiset<std::string> r;
    auto rs = cn.Execute(ConsultaPendientes(f, false));
    while (!rs->Eof()) {
      r.insert(rs->Fields("idcomprobante").Value().Texto());
      rs->MoveNext();
    }
    return r;
  };
  // A date in the middle of the orders, so each bound leaves some out.
  auto fechas = cn.Execute("SELECT Fecha FROM V_Oc_pendientes ORDER BY Fecha");
  std::vector<basic::Fecha> todas;
  while (!fechas->Eof()) {
    todas.push_back(fechas->Fields(0).Value().AFecha());
    fechas->MoveNext();
  }
  ASSERT_GT(todas.size(), 10u);
  const basic::Fecha medio = todas[todas.size() / 2];
  const std::size_t total = filas({}).size();
  for (const char* patron : {"dd-mm-yyyy", "dd.mm.yyyy", "d/m/yy"}) {
    const std::string barra = basic::FormatFecha(medio, "dd/mm/yyyy");
    const std::string otra = basic::FormatFecha(medio, patron);
    const auto hastaBarra = filas({"", "", "", "", barra});
    const auto desdeBarra = filas({"", "", "", barra, ""});
    ASSERT_GT(hastaBarra.size(), 0u);
    ASSERT_LT(hastaBarra.size(), total);
    ASSERT_LT(desdeBarra.size(), total);
    EXPECT_EQ(filas({"", "", "", "", otra}), hastaBarra) << otra;
    EXPECT_EQ(filas({"", "", "", otra, ""}), desdeBarra) << otra;
  }
}

TEST(ConsultaPendientes, SentenciaSegunElInterruptor) {
  const FiltrosPendientes f{"", "", "JU", "", ""};
  const std::string campos =
      " SELECT vt_proveedores.Codigo, vt_proveedores.razon_social, vt_proveedores.Calle, "
      "vt_proveedores.numero,vt_proveedores.localidad, vt_proveedores.telefono ,vt_proveedores.mail, "
      "v_oc_pendientes.tc, v_oc_pendientes.idcomprobante,v_oc_pendientes.FechaEnvioMail";
  const std::string desde =
      "from V_Oc_pendientes inner join vt_proveedores on  V_Oc_pendientes.cuenta  = "
      "vt_proveedores.codigo Where Not vt_proveedores.mail Is Null ";
  EXPECT_EQ(ConsultaPendientes(f, true),
            campos + " " + desde + " AND V_Oc_pendientes.FECHAENVIOMAIL IS NULL " +
                " AND USUARIO LIKE 'JU%' " + " ORDER BY vt_proveedores.razon_social ");
  EXPECT_EQ(ConsultaPendientes(f, false),
            campos + "  " + desde + " AND USUARIO LIKE 'JU%' " + " ORDER BY vt_proveedores.razon_social");
}

FilaPendiente Fila(const std::string& cuenta, const std::string& doc, const std::string& razon) {
  FilaPendiente f;
  f.textos[colCuenta] = cuenta;
  f.textos[colIdComprobante] = doc;
  f.textos[colRazonSocial] = razon;
  return f;
}

TEST(ListaPendientes, OrdenComoTextoSinCasoYEstable) {
  ListaPendientes l;
  l.Cargar(
      {Fila("P10", "1", "beta"), Fila("P2", "2", "Alfa"), Fila("P1", "3", "BETA"), Fila("p3", "4", "alfa")});
  EXPECT_EQ(l.filas[0].Texto(), "P10");  // not sorted: statement order kept

  l.SortKey = colCuenta;
  l.SortOrder = ListaPendientes::lvwAscending;
  l.Sorted = true;
  l.Ordenar();
  std::vector<std::string> cuentas;
  for (const auto& f : l.filas) cuentas.push_back(f.Texto());
  EXPECT_EQ(cuentas, (std::vector<std::string>{"P1", "P10", "P2", "p3"}));  // text, not numbers

  l.SortKey = colRazonSocial;
  l.SortOrder = ListaPendientes::lvwDescending;
  l.Ordenar();
  cuentas.clear();
  for (const auto& f : l.filas) cuentas.push_back(f.Texto());
  // "beta" and "BETA" are equal and keep their previous order, as do "Alfa" and "alfa".
  EXPECT_EQ(cuentas, (std::vector<std::string>{"P1", "P10", "P2", "p3"}));

  // A new load keeps the sort settings.
  l.Cargar({Fila("A", "1", "a"), Fila("B", "2", "c"), Fila("C", "3", "b")});
  EXPECT_EQ(l.filas[0].Texto(), "B");
  EXPECT_EQ(l.filas[2].Texto(), "A");
  EXPECT_EQ(l.filas[0].Clave(), "DB2");
}

}  // namespace
