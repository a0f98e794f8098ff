// The pending-order statement and the list's plain model (no database, no window).
#include <gtest/gtest.h>

#include "mailing/consulta_pendientes.h"
#include "mailing/lista_pendientes.h"

namespace {

TEST(ConsultaPendientes, FiltroPorCampo) {
  struct Caso {
    const char* nombre;
    FiltrosPendientes filtros;
    const char* filtro;
  };
  const Caso casos[] = {
      {"vacio", {}, ""},
      {"rango de proveedores", {"P002", "P004", "", "", ""},
       " AND CODIGO >= 'P002'  AND CODIGO <= 'P004' "},
      {"prefijo de usuario", {"", "", "JU", "", ""}, " AND USUARIO LIKE 'JU%' "},
      {"fechas validas", {"", "", "", "01/03/2024", "15/03/2024"},
       " AND FECHA >= '01/03/2024'  AND FECHA <= '15/03/2024' "},
      {"fecha desde invalida", {"", "", "", "31/02/2024", ""}, ""},
      {"fecha hasta que no es fecha", {"", "", "", "", "ayer"}, ""},
      {"comillas dobladas", {"O'H", "", "D'Ar'", "", ""},
       " AND CODIGO >= 'O''H'  AND USUARIO LIKE 'D''Ar''%' "},
      {"todo junto", {"P001", "P009", "JU", "01/03/2024", "31/02/2024"},
       " AND CODIGO >= 'P001'  AND CODIGO <= 'P009'  AND USUARIO LIKE 'JU%' "
       " AND FECHA >= '01/03/2024' "},
  };
  for (const Caso& c : casos) EXPECT_EQ(FiltroPendientes(c.filtros), c.filtro) << c.nombre;
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
  l.Cargar({Fila("P10", "1", "beta"), Fila("P2", "2", "Alfa"), Fila("P1", "3", "BETA"),
            Fila("p3", "4", "alfa")});
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
