// The lookup definitions file: the default file, finding a table, damaged files.
#include <gtest/gtest.h>

#include "lookup/definiciones.h"
#include "support/temp_dir.h"

namespace {

std::string Registro(const std::string& titulo, const std::string& tabla, const std::string& campos,
                     char relleno = ' ') {
  auto campo = [relleno](std::string s, size_t n) {
    s.resize(n, relleno);
    return s;
  };
  return campo(titulo, 100) + campo(tabla, 100) + campo(campos, 500) + campo("", 500) + "\r\n";
}

TEST(Definiciones, ArchivoPorDefecto) {
  TempDir dir;
  const std::string ruta = dir / "consultas.qzx";
  GenerarConsultas(ruta);
  const std::string bytes = ReadBytes(ruta);
  ASSERT_EQ(bytes.size(), 13222u);
  // Line 3 of the file read as lines of 1200 characters.
  EXPECT_EQ(bytes.substr(2 * 1202, 1202), Registro("PROVEEDORES", "VT_PROVEEDORES", "|RAZON_SOCIAL|CODIGO|"));
  // The table listed with two trailing blanks and the columns given with one.
  EXPECT_EQ(bytes.substr(8 * 1202, 1202), Registro("TAREAS", "V_TA_Tareas", "|Descripcion|IdTarea|"));

  const auto def = BuscarDefinicion(ruta, " vt_proveedores ");
  ASSERT_TRUE(def.has_value());
  EXPECT_EQ(LimpiarCampoDefinicion(def->TituloConsulta), "PROVEEDORES");
  EXPECT_EQ(ColumnasDefinicion(*def), "RAZON_SOCIAL,CODIGO");
  EXPECT_EQ(LimpiarCampoDefinicion(def->FiltroConsulta), "");
  EXPECT_EQ(def->FinDeLinea, "\r\n");
  EXPECT_FALSE(BuscarDefinicion(ruta, "ta_usuarios").has_value());
  EXPECT_FALSE(BuscarDefinicion(dir / "no_existe.qzx", "VT_PROVEEDORES").has_value());
}

TEST(Definiciones, RegistrosConNulYCola) {
  TempDir dir;
  const std::string ruta = dir / "consultas.qzx";
  // A record padded with NUL and Chr(255), a table listed twice (the first wins) and an
  // incomplete last record.
  std::string bytes = Registro("Uno", "MA_X", "|A|B|", '\0') + Registro("Dos", "ma_x", "|C|") +
                      Registro("Tres", "MA_Y\xff", "|D|E|").substr(0, 300);
  WriteBytes(ruta, bytes);
  ArchivoDefiniciones archivo;
  ASSERT_TRUE(archivo.Abrir(ruta));
  EXPECT_EQ(archivo.Registros(), 3);
  auto uno = BuscarDefinicion(ruta, "ma_x");
  ASSERT_TRUE(uno.has_value());
  EXPECT_EQ(LimpiarCampoDefinicion(uno->TituloConsulta), "Uno");
  EXPECT_EQ(ColumnasDefinicion(*uno), "A,B");
  auto tres = BuscarDefinicion(ruta, "MA_Y");
  ASSERT_TRUE(tres.has_value());
  EXPECT_EQ(ColumnasDefinicion(*tres), "D,E");  // the missing tail reads as NUL bytes

  // Writing the defaults after an incomplete tail writes over it.
  GenerarConsultas(ruta);
  EXPECT_EQ(ReadBytes(ruta).size(), (2u + 11u) * 1202u);
  EXPECT_EQ(ReadBytes(ruta).substr(2 * 1202, 9), "ARTICULOS");
}

TEST(Definiciones, ArchivoBasuraNoRompeLaLectura) {
  TempDir dir;
  const std::string ruta = dir / "consultas.qzx";
  std::string basura;
  for (int i = 0; i < 5000; ++i) basura += static_cast<char>((i * 7919) % 256);
  WriteBytes(ruta, basura);
  EXPECT_FALSE(BuscarDefinicion(ruta, "VT_PROVEEDORES").has_value());
  WriteBytes(ruta, "");
  EXPECT_FALSE(BuscarDefinicion(ruta, "VT_PROVEEDORES").has_value());
}

}  // namespace
