#include "global/lanzamiento.h"

#include <fstream>
#include <iterator>

#include "companion/companion.h"
#include "platform/basic/texto.h"

using basic::InStr;
using basic::Len;
using basic::Mid;
using basic::Trim;
using basic::UCase;

namespace {

constexpr int kLargoParametroAdicional = 19;  // the length of the key itself

std::string SinIgual(const std::string& s) {
  std::string r;
  r.reserve(s.size());
  for (char c : s)
    if (c != '=') r += c;
  return r;
}

// Value of one key; false when the key is present but has no ";" after it.
bool LeerClave(const std::string& linea, const std::string& clave, const std::string& defecto,
               bool largoFijoSinCierre, std::string& valor) {
  const int p = InStr(1, linea, clave, basic::CompararTexto);
  if (p == 0) {
    valor = defecto;
    return true;
  }
  const int s = InStr(p, linea, ";");
  int n = s - p - Len(clave);
  if (s == 0 || n < 0) {
    if (!largoFijoSinCierre) return false;
    n = kLargoParametroAdicional;
  }
  valor = Trim(SinIgual(Mid(linea, p + Len(clave), n)));
  return true;
}

}  // namespace

ValoresLanzamiento LeerLineaLanzamiento(const std::string& linea, const ValoresLanzamiento& previos) {
  ValoresLanzamiento v = previos;
  struct Clave {
    const char* nombre;
    std::string ValoresLanzamiento::*destino;
    const char* defecto;
  };
  static const Clave kClaves[] = {
      {"@ParametroAdicional", &ValoresLanzamiento::parametroAdicional, ""},
      {"@Menu", &ValoresLanzamiento::menu, ""},
      {"@Server", &ValoresLanzamiento::servidor, ""},
      {"@DbName", &ValoresLanzamiento::dbName, ""},
      {"@Usuario", &ValoresLanzamiento::usuario, ""},
      {"@Password", &ValoresLanzamiento::password, ""},
      {"@UsuarioLogeado", &ValoresLanzamiento::usuarioLogeado, ""},
      {"@Caja", &ValoresLanzamiento::caja, "1"},
  };
  for (const auto& c : kClaves) {
    const bool esParametroAdicional = c.destino == &ValoresLanzamiento::parametroAdicional;
    LeerClave(linea, c.nombre, c.defecto, esParametroAdicional, v.*c.destino);
  }
  return v;
}

std::string NombreServidor(const std::string& servidor) {
  std::string s = servidor;
  if (const int barra = InStr(s, "/"); barra > 0) s = Mid(s, barra + 1);
  if (const int dosPuntos = InStr(s, ":"); dosPuntos > 0) s = basic::Left(s, dosPuntos - 1);
  return s;
}

std::string ClaveEquipo(const std::string& nombreEquipo, const std::string& usuario) {
  std::string clave = UCase(nombreEquipo) + "|" + UCase(usuario);
  if (Len(Trim(clave)) > 50) clave = basic::Left(clave, 50);
  return clave;
}

std::string SeccionBaseDeDatos(const std::string& nombreEquipo, const std::string& usuario) {
  return UCase(nombreEquipo) + "|" + UCase(usuario) + "BaseDeDatos";
}

std::string LineaPorDefectoIni(const std::string& nombreEquipo, const std::string& usuario) {
  const std::string seccion = SeccionBaseDeDatos(nombreEquipo, usuario);
  Funciones& f = gFunciones();
  const ArchivoIni& ini = gArchivoIni();
  std::string servidor = ini.LeerIni(kArchivoIniEquipo, seccion, "Servidor", "");
  std::string dbName = ini.LeerIni(kArchivoIniEquipo, seccion, "DbName", "");
  std::string user =
      f.Decodificar(ini.LeerIni(kArchivoIniEquipo, seccion, "Usuario", f.Codificar("TesSera")));
  std::string password =
      f.Decodificar(ini.LeerIni(kArchivoIniEquipo, seccion, "UserPassWord", f.Codificar("kumquat")));
  servidor = f.QuitarCaracter(servidor, "|");
  dbName = f.QuitarCaracter(dbName, "|");
  user = f.QuitarCaracter(user, "|");
  password = f.QuitarCaracter(password, "|");
  return "@server=" + servidor + "; @dbname= " + dbName + "; @usuario= " + user + "; @Password= " + password +
         "; @ParametroAdicional=; @Caja=1;vxqr@";
}

std::string LineaDeLanzamiento(bool usarValoresIni, const std::string& lineaComando) {
  std::string linea = lineaComando.empty() ? LineaComandoProceso() : lineaComando;
  if (usarValoresIni && Trim(linea).empty()) {
    const Equipo& equipo = gEquipo();
    linea = LineaPorDefectoIni(equipo.NombreEquipo(), equipo.UsuarioWindows());
  }
  return linea;
}

std::string LineaComandoProceso() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  const std::string todo((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string linea;
  size_t inicio = todo.find('\0');  // skip the program name
  if (inicio == std::string::npos) return "";
  ++inicio;
  bool primero = true;
  while (inicio < todo.size()) {
    size_t fin = todo.find('\0', inicio);
    if (fin == std::string::npos) fin = todo.size();
    if (!primero) linea += ' ';
    primero = false;
    linea += todo.substr(inicio, fin - inicio);
    inicio = fin + 1;
  }
  return linea;
}
