#include "connection/acceso_directo.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "companion/companion.h"
#include "platform/basic/error.h"
#include "platform/basic/texto.h"
#include "platform/os/rutas.h"
#include "platform/os/sistema.h"

namespace fs = std::filesystem;

namespace {

constexpr long errAccesoArchivo = 75;

std::string Entorno(const std::string& nombre) {
  auto v = os::sistema().Entorno(nombre);
  return v ? basic::Trim(*v) : std::string();
}

// Value escaping of the desktop-entry format.
std::string EscaparValor(const std::string& s) {
  std::string r;
  for (char c : s) {
    switch (c) {
      case '\\': r += "\\\\"; break;
      case '\n': r += "\\n"; break;
      case '\t': r += "\\t"; break;
      case '\r': r += "\\r"; break;
      default: r += c;
    }
  }
  return r;
}

// One argument of an Exec line: quoted when it holds a reserved character, with ", `, $
// and \ escaped inside the quotes and % doubled (field codes).
std::string ArgumentoExec(const std::string& arg) {
  static const std::string reservados = " \t\n\"'\\><~|&;$*?#()`";
  std::string r;
  const bool comillas = arg.empty() || arg.find_first_of(reservados) != std::string::npos;
  for (char c : arg) {
    if (c == '%') {
      r += "%%";
    } else if (comillas && (c == '"' || c == '`' || c == '$' || c == '\\')) {
      r += '\\';
      r += c;
    } else {
      r += c;
    }
  }
  return comillas ? "\"" + r + "\"" : r;
}

std::string DesdeUserDirs(const std::string& home) {
  std::string config = Entorno("XDG_CONFIG_HOME");
  if (config.empty()) config = home + "/.config";
  std::ifstream f(config + "/user-dirs.dirs");
  std::string linea;
  while (std::getline(f, linea)) {
    linea = basic::Trim(linea);
    const std::string clave = "XDG_DESKTOP_DIR=";
    if (linea.rfind(clave, 0) != 0) continue;
    std::string v = linea.substr(clave.size());
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    if (v.rfind("$HOME", 0) == 0) v = home + v.substr(5);
    // "$HOME/" alone means no desktop folder of its own.
    if (!v.empty() && v.front() == '/' &&
        fs::path(v).lexically_normal() != fs::path(home + "/").lexically_normal())
      return v;
  }
  return "";
}

}  // namespace

std::string CarpetaEscritorio() {
  std::string carpeta = Entorno("XDG_DESKTOP_DIR");
  if (!carpeta.empty()) return carpeta;
  const std::string home = Entorno("HOME");
  if (home.empty()) throw ErrorEjecucion(76, "No se encontró la carpeta del usuario (HOME)");
  carpeta = DesdeUserDirs(home);
  if (!carpeta.empty()) return carpeta;
  std::error_code ec;
  if (fs::is_directory(home + "/Escritorio", ec)) return home + "/Escritorio";
  return home + "/Desktop";
}

std::string IconoPrograma(const std::string& programa) {
  for (const char* ext : {".svg", ".png", ".xpm", ".ico"}) {
    const std::string hallado = os::BuscarArchivoSinCaso(programa + ext);
    if (!hallado.empty()) return hallado;
  }
  return programa;
}

std::string ContenidoAccesoDirecto(const std::string& programa, const std::string& icono) {
  std::ostringstream o;
  o << "[Desktop Entry]\n"
    << "Type=Application\n"
    << "Version=1.0\n"
    << "Name=Relojero\n"
    << "Exec=" << EscaparValor(ArgumentoExec(programa)) << "\n"
    << "Icon=" << EscaparValor(icono) << "\n"
    << "Terminal=false\n";
  return o.str();
}

std::string CrearAccesoDirecto() {
  const std::string programa = gFunciones().AgregarBarra(os::CarpetaAplicacion()) + os::NombreEjecutable();
  const std::string carpeta = CarpetaEscritorio();
  std::error_code ec;
  fs::create_directories(carpeta, ec);
  const std::string ruta = gFunciones().AgregarBarra(carpeta) + kArchivoAccesoDirecto;
  {
    std::ofstream f(ruta, std::ios::binary | std::ios::trunc);
    if (!f) throw ErrorEjecucion(errAccesoArchivo, "Error de acceso a la ruta o al archivo: " + ruta);
    f << ContenidoAccesoDirecto(programa, IconoPrograma(programa));
    f.close();
    if (!f) throw ErrorEjecucion(errAccesoArchivo, "No se pudo escribir " + ruta);
  }
  // Desktops only start entries marked executable.
  fs::permissions(ruta, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                  fs::perm_options::add, ec);
  return ruta;
}
