// Starting programs with posix_spawn, no shell. A detached child is reaped by a small
// thread of its own, so it never stays a zombie and no SIGCHLD handler is needed.
#include "platform/os/procesos.h"

#include <signal.h>
#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <set>
#include <thread>

#include "platform/basic/error.h"
#include "platform/os/rutas.h"
#include "platform/os/sistema.h"

extern char** environ;

namespace os {

namespace {

Procesos gReal;
Procesos* gActual = &gReal;

std::mutex gMutex;
std::set<long> gVivos;  // detached children not yet reaped

bool EsEjecutable(const std::string& ruta) {
  struct stat st {};
  return stat(ruta.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Unir(const std::string& carpeta, const std::string& nombre) {
  if (carpeta.empty()) return nombre;
  return carpeta.back() == '/' ? carpeta + nombre : carpeta + "/" + nombre;
}

// A regular file for `nombre` in any case, looked up as given, then in the application
// folder, then (bare names only) along PATH. "" when none.
std::string BuscarEn(const std::string& nombre) {
  auto probar = [](const std::string& r) -> std::string {
    const std::string h = BuscarArchivoSinCaso(r);
    return !h.empty() && EsEjecutable(h) ? h : "";
  };
  if (auto h = probar(nombre); !h.empty()) return h.find('/') == std::string::npos ? "./" + h : h;
  if (nombre.front() == '/') return "";
  if (auto h = probar(Unir(CarpetaAplicacion(), nombre)); !h.empty()) return h;
  if (nombre.find('/') != std::string::npos) return "";
  const std::string path = sistema().Entorno("PATH").value_or("/usr/local/bin:/usr/bin:/bin");
  size_t i = 0;
  while (i <= path.size()) {
    size_t j = path.find(':', i);
    if (j == std::string::npos) j = path.size();
    const std::string carpeta = path.substr(i, j - i);
    i = j + 1;
    if (carpeta.empty()) continue;
    if (auto h = probar(Unir(carpeta, nombre)); !h.empty()) return h;
  }
  return "";
}

// The program file for the first argument: as given, else without a ".exe" extension.
std::string ResolverPrograma(const std::string& programa) {
  if (programa.empty()) return "";
  if (auto h = BuscarEn(programa); !h.empty()) return h;
  if (programa.size() > 4 && strcasecmp(programa.c_str() + programa.size() - 4, ".exe") == 0) {
    const std::string sin = programa.substr(0, programa.size() - 4);
    if (!sin.empty() && sin.back() != '/')
      if (auto h = BuscarEn(sin); !h.empty()) return h;
  }
  return "";
}

// An unquoted program path with blanks ("/opt/Mi App/TSPOST.EXE x"), as the suite's
// platform runs it: the text up to each later blank is tried in turn as the program, the
// rest of the line gives the arguments. Returns the program file ("" when none) and
// rewrites `args`.
std::string ResolverProgramaConBlancos(const std::string& linea, std::vector<std::string>& args) {
  const size_t inicio = linea.find_first_not_of(" \t");
  if (inicio == std::string::npos || linea[inicio] == '"') return "";
  size_t fin = linea.find_first_of(" \t", inicio);  // end of the first word
  while (fin != std::string::npos) {
    const size_t siguiente = linea.find_first_not_of(" \t", fin);
    if (siguiente == std::string::npos) break;
    fin = linea.find_first_of(" \t", siguiente);  // end of the next word
    const std::string candidato =
        linea.substr(inicio, (fin == std::string::npos ? linea.size() : fin) - inicio);
    if (candidato.find('"') != std::string::npos) break;
    if (auto h = ResolverPrograma(candidato); !h.empty()) {
      args.assign(1, candidato);
      if (fin != std::string::npos) {
        std::vector<std::string> resto = DividirLineaComandos(linea.substr(fin));
        args.insert(args.end(), resto.begin(), resto.end());
      }
      return h;
    }
  }
  return "";
}

pid_t Lanzar(const std::string& lineaComandos, bool separado) {
  std::vector<std::string> args = DividirLineaComandos(lineaComandos);
  if (args.empty()) throw ErrorEjecucion(5, "Llamada a procedimiento o argumento no válidos", "");
  std::string programa = ResolverPrograma(args[0]);
  if (programa.empty() && args.size() > 1) programa = ResolverProgramaConBlancos(lineaComandos, args);
  if (programa.empty()) throw ErrorEjecucion(53, "No se encontró el archivo", args[0]);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(programa.c_str()));
  for (size_t i = 1; i < args.size(); ++i) argv.push_back(args[i].data());
  argv.push_back(nullptr);

  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (separado) {
    // Its own process group: a Ctrl+C meant for us does not reach it.
    flags |= POSIX_SPAWN_SETPGROUP;
    posix_spawnattr_setpgroup(&attr, 0);
  }
  sigset_t vacio, todas;
  sigemptyset(&vacio);
  sigfillset(&todas);
  posix_spawnattr_setsigmask(&attr, &vacio);
  posix_spawnattr_setsigdefault(&attr, &todas);
  posix_spawnattr_setflags(&attr, flags);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, programa.c_str(), nullptr, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  if (rc == ENOENT) throw ErrorEjecucion(53, "No se encontró el archivo", args[0]);
  if (rc == EACCES || rc == ENOEXEC || rc == EPERM)
    throw ErrorEjecucion(75, "Error de acceso a la ruta o el archivo", args[0]);
  if (rc != 0) throw ErrorEjecucion(5, "Llamada a procedimiento o argumento no válidos", args[0]);
  return pid;
}

}  // namespace

std::vector<std::string> DividirLineaComandos(const std::string& linea) {
  std::vector<std::string> args;
  std::string actual;
  bool enArg = false, entreComillas = false;
  for (char c : linea) {
    if (c == '"') {
      entreComillas = !entreComillas;
      enArg = true;  // "" is an empty argument
    } else if (!entreComillas && (c == ' ' || c == '\t')) {
      if (enArg) args.push_back(std::move(actual));
      actual.clear();
      enArg = false;
    } else {
      actual += c;
      enArg = true;
    }
  }
  if (enArg) args.push_back(std::move(actual));
  return args;
}

long Procesos::Iniciar(const std::string& lineaComandos, int /*estilo*/) {
  const pid_t pid = Lanzar(lineaComandos, true);
  {
    std::lock_guard<std::mutex> l(gMutex);
    gVivos.insert(pid);
  }
  std::thread([pid] {
    int st = 0;
    while (waitpid(pid, &st, 0) < 0 && errno == EINTR) {
    }
    std::lock_guard<std::mutex> l(gMutex);
    gVivos.erase(pid);
  }).detach();
  return pid;
}

int Procesos::EjecutarYEsperar(const std::string& lineaComandos, int /*estilo*/) {
  const pid_t pid = Lanzar(lineaComandos, false);
  int st = 0;
  while (waitpid(pid, &st, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(st)) return WEXITSTATUS(st);
  if (WIFSIGNALED(st)) return 128 + WTERMSIG(st);
  return -1;
}

bool Procesos::Vive(long pid) {
  if (pid <= 0) return false;
  {
    std::lock_guard<std::mutex> l(gMutex);
    if (gVivos.count(pid)) return true;
  }
  return false;
}

Procesos& procesos() { return *gActual; }

void InstalarProcesos(Procesos* p) { gActual = p ? p : &gReal; }

}  // namespace os
