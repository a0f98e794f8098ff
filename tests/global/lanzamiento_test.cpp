// The launch line: keys, defaults, the suite's quirks and the INI default line.
#include <gtest/gtest.h>

#include "global/lanzamiento.h"
#include "global/entorno.h"
#include "platform/basic/archivos.h"

namespace {

struct Caso {
  const char* nombre;
  std::string linea;
  bool usarIni = false;
  std::string ini;  // TM440kv.INI contents; "" = no file
  std::string equipo = "pc01";
  std::string usuario = "juan";
  ValoresLanzamiento previos;
  ValoresLanzamiento esperado;
  std::string claveEquipo;  // "" = not checked
};

ValoresLanzamiento V(std::string servidor, std::string db, std::string usuario, std::string password,
                     std::string adicional = "", std::string menu = "", std::string logeado = "",
                     std::string caja = "1") {
  return {servidor, db, usuario, password, adicional, menu, logeado, caja};
}

std::string Ini(const std::string& seccion, const std::vector<std::string>& claves) {
  std::string s = "[" + seccion + "]\r\n";
  for (const auto& c : claves) s += c + "\r\n";
  return s;
}

TEST(LineaLanzamiento, ClavesValoresYLineaPorDefecto) {
  const Funciones f;
  const std::string largoEquipo(40, 'e'), largoUsuario(20, 'u');
  const std::vector<Caso> casos = {
      {"linea vacia", "", false, "", "pc01", "juan", {}, V("", "", "", ""), "PC01|JUAN"},
      {"espacios libres",
       "@server=SRV ; @dbname= DB;@usuario=sa;@Password=pw;",
       false,
       "",
       "pc01",
       "juan",
       {},
       V("SRV", "DB", "sa", "pw")},
      {"claves en cualquier caso",
       "@SERVER=SRV;@DBNAME=Db;@PASSWORD = p w ;",
       false,
       "",
       "pc01",
       "juan",
       {},
       V("SRV", "Db", "", "p w")},
      {"@Usuario dentro de @UsuarioLogeado",
       "@UsuarioLogeado=ANA; @Usuario=sa;",
       false,
       "",
       "pc01",
       "juan",
       {},
       V("", "", "LogeadoANA", "", "", "", "ANA")},
      {"solo cuenta la primera aparicion",
       "@Server=UNO; @Server=DOS;",
       false,
       "",
       "pc01",
       "juan",
       {},
       V("UNO", "", "", "")},
      {"@Caja sin ';' no toma valor ni el defecto",
       "@server=S; @Caja=3",
       false,
       "",
       "pc01",
       "juan",
       {},
       V("S", "", "", "", "", "", "", "")},
      {"@Caja sin ';' conserva el valor anterior", "@Caja=3", false, "", "pc01", "juan",
       V("", "", "", "", "", "", "", "7"), V("", "", "", "", "", "", "", "7")},
      {"@Server sin ';' queda vacio",
       "@dbname=DB; @server=SRV",
       false,
       "",
       "pc01",
       "juan",
       {},
       V("", "DB", "", "")},
      {"@ParametroAdicional sin ';': 19 caracteres",
       "@ParametroAdicional=abcdefghijklmnopqrstuvwxyz",
       false,
       "",
       "pc01",
       "juan",
       {},
       V("", "", "", "", "abcdefghijklmnopqr")},
      {"linea del menu de la suite",
       "@server=SRV; @dbname=DB; @usuario=U; @Password=P; @ParametroAdicional=; @Caja=1;vxqr@",
       false,
       "",
       "pc01",
       "juan",
       {},
       V("SRV", "DB", "U", "P")},
      {"todas las claves",
       "@UsuarioLogeado=Ana; @Menu=M1; @Caja=4; @ParametroAdicional=X 15; @server=S;",
       false,
       "",
       "pc01",
       "juan",
       {},
       V("S", "", "LogeadoAna", "", "X 15", "M1", "Ana", "4")},
      {"INI: linea por defecto de la seccion del equipo",
       "",
       true,
       Ini("PC01|JUANBaseDeDatos", {"Servidor=SRV|1", "DbName=EMP", "Usuario=" + f.Codificar("ana"),
                                    "UserPassWord=" + f.Codificar("clave|x")}),
       "pc01",
       "juan",
       {},
       V("SRV1", "EMP", "ana", "clavex"),
       "PC01|JUAN"},
      {"INI: seccion en otro caso, usuario y clave ausentes",
       "  ",
       true,
       Ini("pc01|juanbasededatos", {"servidor=SRV", "dbname=EMP"}),
       "pc01",
       "juan",
       {},
       V("SRV", "EMP", "TesSera", "kumquat")},
      {"INI: sin archivo", "", true, "", "pc01", "juan", {}, V("", "", "TesSera", "kumquat")},
      {"INI: archivo ilegible",
       "",
       true,
       std::string("\x00\xff[\r\n=\x01\x02[[]]==;\n", 16),
       "pc01",
       "juan",
       {},
       V("", "", "TesSera", "kumquat")},
      {"INI: ignorado cuando hay linea",
       "@server=LINEA;",
       true,
       Ini("PC01|JUANBaseDeDatos", {"Servidor=INI"}),
       "pc01",
       "juan",
       {},
       V("LINEA", "", "", "")},
      {"INI: nombres largos, seccion sin cortar y clave de 50",
       "",
       true,
       Ini(basic::UCase(largoEquipo) + "|" + basic::UCase(largoUsuario) + "BaseDeDatos", {"Servidor=LARGO"}),
       largoEquipo,
       largoUsuario,
       {},
       V("LARGO", "", "TesSera", "kumquat"),
       (basic::UCase(largoEquipo) + "|" + basic::UCase(largoUsuario)).substr(0, 50)},
  };

  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    EntornoGlobal entorno(false);
    entorno.sistema.equipo = c.equipo;
    entorno.sistema.usuario = c.usuario;
    if (!c.ini.empty()) WriteBytes(entorno.dir / "TM440kv.INI", c.ini);

    const std::string linea = LineaDeLanzamiento(c.usarIni, c.linea.empty() ? " " : c.linea);
    const ValoresLanzamiento v = LeerLineaLanzamiento(linea, c.previos);
    EXPECT_EQ(v.servidor, c.esperado.servidor);
    EXPECT_EQ(v.dbName, c.esperado.dbName);
    EXPECT_EQ(v.usuario, c.esperado.usuario);
    EXPECT_EQ(v.password, c.esperado.password);
    EXPECT_EQ(v.parametroAdicional, c.esperado.parametroAdicional);
    EXPECT_EQ(v.menu, c.esperado.menu);
    EXPECT_EQ(v.usuarioLogeado, c.esperado.usuarioLogeado);
    EXPECT_EQ(v.caja, c.esperado.caja);
    if (!c.claveEquipo.empty()) EXPECT_EQ(ClaveEquipo(c.equipo, c.usuario), c.claveEquipo);
  }
}

TEST(LineaLanzamiento, LineaPorDefectoTextoExacto) {
  EntornoGlobal entorno(false);
  const Funciones f;
  WriteBytes(entorno.dir / "TM440kv.INI",
             Ini("PC01|JUANBaseDeDatos", {"Servidor=SRV", "DbName=EMP", "Usuario=" + f.Codificar("ana"),
                                          "UserPassWord=" + f.Codificar("pw")}));
  EXPECT_EQ(LineaPorDefectoIni("pc01", "juan"),
            "@server=SRV; @dbname= EMP; @usuario= ana; @Password= pw; @ParametroAdicional=; "
            "@Caja=1;vxqr@");
  EXPECT_EQ(SeccionBaseDeDatos("pc01", "juan"), "PC01|JUANBaseDeDatos");
}

TEST(LineaLanzamiento, NombreServidor) {
  const std::pair<const char*, const char*> casos[] = {
      {"tcp/SRV01:1433", "SRV01"}, {"SRV01\\SQL2008", "SRV01\\SQL2008"},
      {"SRV01:1433", "SRV01"},     {"np/SRV02", "SRV02"},
      {"sqlite", "sqlite"},        {"", ""},
  };
  for (const auto& [entrada, salida] : casos) EXPECT_EQ(NombreServidor(entrada), salida) << entrada;
}

}  // namespace
