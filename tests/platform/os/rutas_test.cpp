#include <gtest/gtest.h>
#include <strings.h>

#include <ctime>
#include <filesystem>
#include <map>

#include "platform/os/rutas.h"
#include "platform/os/sistema.h"
#include "support/temp_dir.h"

namespace {

// A machine whose environment is a fixed table.
class SistemaFijo : public os::Sistema {
 public:
  std::map<std::string, std::string> entorno;
  std::optional<std::string> Entorno(const std::string& n) const override {
    for (const auto& [k, v] : entorno)
      if (strcasecmp(k.c_str(), n.c_str()) == 0) return v;
    return std::nullopt;
  }
};

struct SistemaInstalado {
  SistemaFijo s;
  SistemaInstalado() { os::InstalarSistema(&s); }
  ~SistemaInstalado() { os::InstalarSistema(nullptr); }
};

TEST(Rutas, FindsFilesAndFoldersWhateverTheirCase) {
  TempDir t;
  std::filesystem::create_directories(t.path() / "Styles" / "Sub");
  WriteBytes(t / "TM440kv.INI", "x");
  WriteBytes((t.path() / "Styles" / "Sub" / "Vista.cjstyles").string(), "x");
  WriteBytes(t / "exacto.txt", "x");
  WriteBytes(t / "EXACTO.TXT", "y");

  struct Caso {
    std::string pedido, esperado;
  };
  const Caso casos[] = {
      {"tm440kv.ini", "TM440kv.INI"},
      {"TM440KV.INI", "TM440kv.INI"},
      {"styles/sub/VISTA.CJSTYLES", "Styles/Sub/Vista.cjstyles"},
      {"STYLES//sub/./vista.cjstyles", "Styles/Sub/./Vista.cjstyles"},
      {"exacto.txt", "exacto.txt"},  // the exact name wins over another case
      {"EXACTO.TXT", "EXACTO.TXT"},
      {"Exacto.Txt", ""},  // either of the two; checked below
      {"falta.ini", "-"},
      {"nope/tm440kv.ini", "-"},
  };
  for (const auto& c : casos) {
    const std::string r = os::BuscarArchivoSinCaso(t / c.pedido);
    if (c.esperado == "-") {
      EXPECT_EQ(r, "") << c.pedido;
    } else if (c.esperado.empty()) {
      EXPECT_TRUE(r == t / "exacto.txt" || r == t / "EXACTO.TXT") << r;
    } else {
      EXPECT_EQ(r, t / c.esperado) << c.pedido;
    }
  }
  EXPECT_EQ(os::BuscarArchivoSinCaso(""), "");
  EXPECT_EQ(os::BuscarArchivoSinCaso("   "), "");
  EXPECT_TRUE(os::ArchivoExisteSinCaso(t / "tm440KV.ini"));
  EXPECT_FALSE(os::ArchivoExisteSinCaso(t / "STYLES"));  // a folder is not a file
  EXPECT_FALSE(os::ArchivoExisteSinCaso(t / "otro.ini"));
  // A new file goes into the existing folder whatever the folder's case.
  EXPECT_EQ(os::ResolverSinCaso(t / "STYLES/nuevo.txt"), t / "Styles/nuevo.txt");
  EXPECT_EQ(os::ResolverSinCaso(t / "tm440kv.ini"), t / "TM440kv.INI");
}

TEST(Rutas, TemporaryFolderFromEnvironmentWithoutCase) {
  SistemaInstalado m;
  EXPECT_EQ(os::CarpetaTemporal(), "/tmp");
  m.s.entorno = {{"TMP", "/var/tmp/"}};
  EXPECT_EQ(os::CarpetaTemporal(), "/var/tmp");
  m.s.entorno = {{"TEMP", "  "}, {"Tmp", "/otra"}};
  EXPECT_EQ(os::CarpetaTemporal(), "/otra");
}

TEST(Sistema, EnvironmentLookupIgnoresCaseOfName) {
  setenv("OCMAIL_Prueba_Var", "valor", 1);
  EXPECT_EQ(os::sistema().Entorno("ocmail_prueba_var").value_or("?"), "valor");
  EXPECT_EQ(os::sistema().Entorno("OCMAIL_PRUEBA_VAR").value_or("?"), "valor");
  EXPECT_FALSE(os::sistema().Entorno("OCMAIL_PRUEBA_NO_HAY").has_value());
  unsetenv("OCMAIL_Prueba_Var");
}

TEST(Sistema, ClockIsAnOleDateNearTheCurrentDay) {
  // Local time differs from UTC by less than a day; 25569 is 01/01/1970 as an OLE date.
  const double utc = static_cast<double>(std::time(nullptr)) / 86400.0 + 25569.0;
  EXPECT_NEAR(os::sistema().Ahora(), utc, 15.0 / 24.0);
  EXPECT_FALSE(os::NombreEjecutable().empty());
  EXPECT_EQ(os::NombreEjecutable().find('/'), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(os::CarpetaAplicacion() + "/" + os::NombreEjecutable()));
}

}  // namespace
