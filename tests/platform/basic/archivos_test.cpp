#include <gtest/gtest.h>

#include <filesystem>

#include "platform/basic/archivos.h"
#include "platform/basic/error.h"
#include "platform/basic/fecha.h"
#include "support/temp_dir.h"

using namespace basic;

namespace {

long NumeroDeError(const std::function<void()>& f) {
  try {
    f();
  } catch (const ErrorEjecucion& e) {
    return e.Number;
  }
  return 0;
}

const std::string kFixture = std::string(OCMAIL_FIXTURES) + "/basic/campos_1252.txt";

}  // namespace

TEST(Archivos, Windows1252Conversion) {
  EXPECT_EQ(AWindows1252("Respondió €"), "Respondi\xF3 \x80");
  EXPECT_EQ(AWindows1252("中文 ok"), "?? ok");
  EXPECT_EQ(AWindows1252(std::string("a\xFF"
                                     "b")),
            "a?b");  // invalid UTF-8
  EXPECT_EQ(DeWindows1252("Respondi\xF3 \x80\x81"), "Respondió €\xC2\x81");
  std::string todos;
  for (int b = 0; b < 256; ++b) todos += static_cast<char>(b);
  EXPECT_EQ(AWindows1252(DeWindows1252(todos)), todos);
}

TEST(Archivos, TextFileIsWindows1252WithCrLf) {
  TempDir dir;
  const std::string ruta = dir / "QZERR.LOG";
  AgregarLinea(ruta, "Rutina: Cfg - Respondió : Ignorar");
  AgregarLinea(ruta, "中 fuera de la página");
  EXPECT_EQ(ReadBytes(ruta), "Rutina: Cfg - Respondi\xF3 : Ignorar\r\n? fuera de la p\xE1gina\r\n");
  EXPECT_EQ(LeerLineas(ruta),
            (std::vector<std::string>{"Rutina: Cfg - Respondió : Ignorar", "? fuera de la página"}));
  EscribirLineas(ruta, {"nuevo"});
  EXPECT_EQ(ReadBytes(ruta), "nuevo\r\n");
}

TEST(Archivos, ReadsAnyLineEnd) {
  TempDir dir;
  const std::string ruta = dir / "lineas.txt";
  WriteBytes(ruta, "uno\ndos\r\n\r\ntres\rcuatro");
  EXPECT_EQ(LeerLineas(ruta), (std::vector<std::string>{"uno", "dos", "", "tres", "cuatro"}));
  // A file saved as UTF-8 by an editor of this system reads as it is.
  WriteBytes(ruta, "Respondió\r\n");
  EXPECT_EQ(LeerLineas(ruta), std::vector<std::string>{"Respondió"});

  ArchivoTexto f(ruta, ArchivoTexto::Modo::Lectura);
  EXPECT_FALSE(f.Eof());
  EXPECT_EQ(f.LeerLinea(), "Respondió");
  EXPECT_TRUE(f.Eof());
  std::string linea;
  EXPECT_FALSE(f.LeerLinea(linea));
  EXPECT_EQ(NumeroDeError([&] { f.LeerLinea(); }), 62);
}

TEST(Archivos, FieldsOfASharedFile) {
  ArchivoTexto f(kFixture, ArchivoTexto::Modo::Lectura);
  EXPECT_EQ(f.LeerCampo(), "VT_PROVEEDORES");
  EXPECT_EQ(f.LeerCampo(), "2400|1500|");
  EXPECT_EQ(f.LeerCampos(), (std::vector<std::string>{"Años, señor", "€ 5", "12", "sin comillas", ""}));
  EXPECT_EQ(f.LeerCampos(), std::vector<std::string>{"ÚLTIMA LÍNEA SIN FIN"});
  EXPECT_TRUE(f.Eof());
  EXPECT_EQ(NumeroDeError([&] { f.LeerCampo(); }), 62);
}

TEST(Archivos, CsvLines) {
  EXPECT_EQ(CamposCSV("\"a\",\"b c\",12"), (std::vector<std::string>{"a", "b c", "12"}));
  EXPECT_EQ(CamposCSV("srv, base ,usr,,x"), (std::vector<std::string>{"srv", "base", "usr", "", "x"}));
  EXPECT_EQ(CamposCSV(""), std::vector<std::string>{""});
  EXPECT_EQ(CamposCSV("\"dice \"\"hola\"\"\",2"), (std::vector<std::string>{"dice \"hola\"", "2"}));
  EXPECT_EQ(LineaCSV(std::vector<std::string>{"VT_PROVEEDORES", "2400|1500|"}),
            "\"VT_PROVEEDORES\",\"2400|1500|\"");
  const std::vector<std::string> raros = {"a,b", "dice \"hola\"", "", " blancos "};
  EXPECT_EQ(CamposCSV(LineaCSV(raros)), raros);
  EXPECT_EQ(
      LineaCSV(std::vector<Variant>{Variant("x"), Variant(1.5), Variant(int16_t{-2}), Variant(true),
                                    Variant::Null(), Variant(), Variant::DeFecha(DateSerial(2026, 12, 9))}),
      "\"x\",1.5,-2,#TRUE#,#NULL#,,#2026-12-09#");

  TempDir dir;
  const std::string ruta = dir / "CONSULTASLEN.QZX";
  {
    ArchivoTexto f(ruta, ArchivoTexto::Modo::Escritura);
    f.EscribirCampos({Variant("Artículos"), Variant("2400|1500|")});
  }
  EXPECT_EQ(ReadBytes(ruta),
            "\"Art\xED"
            "culos\",\"2400|1500|\"\r\n");
}

TEST(Archivos, OpenErrors) {
  TempDir dir;
  using M = ArchivoTexto::Modo;
  EXPECT_EQ(NumeroDeError([&] { ArchivoTexto(dir / "no.txt", M::Lectura); }), 53);
  EXPECT_EQ(NumeroDeError([&] { ArchivoTexto("", M::Lectura); }), 75);
  EXPECT_EQ(NumeroDeError([&] { ArchivoTexto("   ", M::Agregar); }), 75);
  EXPECT_EQ(NumeroDeError([&] { ArchivoTexto(dir.str(), M::Escritura); }), 75);
  EXPECT_EQ(NumeroDeError([&] { ArchivoTexto(dir / "falta/x.txt", M::Agregar); }), 76);
  EXPECT_EQ(NumeroDeError([&] { ArchivoRegistros("", 10); }), 75);
  EXPECT_EQ(NumeroDeError([&] { ArchivoRegistros(dir / "falta/x.qzx", 10); }), 76);
  EXPECT_EQ(NumeroDeError([&] { LeerLineas(dir / "no.txt"); }), 53);
  ArchivoTexto f(dir / "w.txt", M::Escritura);
  EXPECT_EQ(NumeroDeError([&] { f.LeerLinea(); }), 54);
}

TEST(Archivos, NamesAreFoundWithoutRegardToCase) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "Styles");
  WriteBytes(dir / "Styles/TM440kv.INI", "[X]\r\n");
  EXPECT_EQ(LeerLineas(dir / "styles/tm440kv.ini"), std::vector<std::string>{"[X]"});
  // Appending to a case variant writes into the existing file, not a twin.
  AgregarLinea(dir / "STYLES/tm440KV.ini", "a=1");
  EXPECT_EQ(ReadBytes(dir / "Styles/TM440kv.INI"), "[X]\r\na=1\r\n");
  EXPECT_EQ(ResolverRuta(dir / "STYLES/nuevo.txt"), dir / "Styles/nuevo.txt");
}

TEST(Archivos, FixedLengthRecords) {
  TempDir dir;
  const std::string ruta = dir / "consultas.qzx";
  {
    ArchivoRegistros f(ruta, 12);
    EXPECT_EQ(f.LOF(), 0u);
    f.Escribir(1, CampoFijo("TAREAS", 10) + "\r\n");
    f.Escribir(2, CampoFijo("Depósito", 10) + "\r\n");
    f.Escribir(3, "corto");
    EXPECT_EQ(f.LOF(), 36u);
    EXPECT_EQ(f.CantidadRegistros(), 3u);
    EXPECT_EQ(f.Leer(2), "Dep\xF3sito  \r\n");
    EXPECT_EQ(f.Leer(3), "corto       ");
    EXPECT_EQ(f.Leer(4), "");
    EXPECT_EQ(NumeroDeError([&] { f.Leer(0); }), 63);
    EXPECT_EQ(NumeroDeError([&] { f.Escribir(1, std::string(13, 'x')); }), 59);
    f.Escribir(5, "cinco");  // past the end: record 4 becomes NUL bytes
    EXPECT_EQ(f.Leer(4), std::string(12, '\0'));
  }
  EXPECT_EQ(ReadBytes(ruta).substr(0, 24), "TAREAS    \r\nDep\xF3sito  \r\n");

  // An incomplete last record reads padded and is overwritten by the next record.
  WriteBytes(ruta, std::string(12, 'a') + "bbb");
  ArchivoRegistros f(ruta, 12);
  EXPECT_EQ(f.CantidadRegistros(), 1u);
  EXPECT_EQ(f.Leer(2), std::string("bbb") + std::string(9, '\0'));
  f.Escribir(f.LOF() / 12 + 1, CampoFijo("nuevo", 12));
  f.Cerrar();
  EXPECT_EQ(ReadBytes(ruta), std::string(12, 'a') + "nuevo       ");
}
