// The OAuth 2.0 access token: TokenComando runs without a shell and writes the token on its
// standard output. The output is a secret: no part of it reaches a message.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "platform/os/procesos.h"
#include "tspost.h"

extern char** environ;

namespace tspost {
namespace {

namespace fs = std::filesystem;
using Reloj = std::chrono::steady_clock;

// Kills the command and whatever it started (its own process group) and reaps it.
void Terminar(pid_t pid) {
  ::kill(-pid, SIGKILL);
  ::kill(pid, SIGKILL);
  int estado = 0;
  while (::waitpid(pid, &estado, 0) < 0 && errno == EINTR) {
  }
}

int MsRestantes(Reloj::time_point limite) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(limite - Reloj::now()).count();
  return ms < 0 ? 0 : static_cast<int>(std::min<long long>(ms, 1000));
}

}  // namespace

bool ObtenerToken(const std::string& comando, const std::string& carpetaAplicacion, long segundos,
                  size_t maximo, std::string& token, std::string& motivo) {
  token.clear();
  std::vector<std::string> args = os::DividirLineaComandos(comando);
  if (args.empty()) {
    motivo = "falta TokenComando en la seccion [CORREO]";
    return false;
  }
  // A relative path names a program in the application folder; a bare name is searched in PATH.
  if (args[0].find('/') != std::string::npos && fs::path(args[0]).is_relative())
    args[0] = (fs::path(carpetaAplicacion) / args[0]).lexically_normal().string();
  const std::string programa = args[0];

  int tubo[2];
  if (::pipe2(tubo, O_CLOEXEC) != 0) {
    motivo = std::string("no se puede ejecutar TokenComando (") + std::strerror(errno) + ")";
    return false;
  }
  posix_spawn_file_actions_t acciones;
  posix_spawn_file_actions_init(&acciones);
  posix_spawn_file_actions_addopen(&acciones, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&acciones, tubo[1], 1);
  // Its error output could echo the token or the client's secret: it goes nowhere.
  posix_spawn_file_actions_addopen(&acciones, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t atributos;
  posix_spawnattr_init(&atributos);
  posix_spawnattr_setflags(&atributos, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&atributos, 0);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int err = ::posix_spawnp(&pid, programa.c_str(), &acciones, &atributos, argv.data(), environ);
  posix_spawn_file_actions_destroy(&acciones);
  posix_spawnattr_destroy(&atributos);
  ::close(tubo[1]);
  if (err != 0) {
    ::close(tubo[0]);
    if (err == ENOENT)
      motivo = "no se encuentra el programa de TokenComando " + programa;
    else if (err == EACCES)
      motivo = "el programa de TokenComando " + programa +
               " no tiene permiso de ejecucion (o es una carpeta); delo con chmod 700 " + programa;
    else if (err == ENOEXEC)
      motivo = "el programa de TokenComando " + programa +
               " no es un programa ni un script que empiece con #! y su interprete";
    else
      motivo =
          "no se puede ejecutar el programa de TokenComando " + programa + " (" + std::strerror(err) + ")";
    return false;
  }

  const auto limite = Reloj::now() + std::chrono::seconds(segundos);
  std::string salida;
  bool fin = false;
  while (!fin) {
    if (Reloj::now() >= limite) {
      motivo = "TokenComando no termino en " + std::to_string(segundos) + " segundos";
      break;
    }
    pollfd p{tubo[0], POLLIN, 0};
    const int n = ::poll(&p, 1, MsRestantes(limite));
    if (n < 0 && errno != EINTR) {
      motivo = std::string("no se puede leer la salida de TokenComando (") + std::strerror(errno) + ")";
      break;
    }
    if (n <= 0) continue;
    char buf[4096];
    const ssize_t leidos = ::read(tubo[0], buf, sizeof buf);
    if (leidos < 0 && errno == EINTR) continue;
    if (leidos <= 0) {
      fin = true;
      break;
    }
    salida.append(buf, static_cast<size_t>(leidos));
    if (salida.size() > maximo) {
      motivo = "la salida de TokenComando supera " + std::to_string(maximo) + " bytes";
      break;
    }
  }
  ::close(tubo[0]);
  if (!fin) {
    Terminar(pid);
    std::fill(salida.begin(), salida.end(), '\0');
    return false;
  }
  // The output has ended; the command gets the time that is left to exit.
  int estado = 0;
  pid_t w = 0;
  while ((w = ::waitpid(pid, &estado, WNOHANG)) == 0 && Reloj::now() < limite) ::poll(nullptr, 0, 10);
  if (w == 0) {
    Terminar(pid);
    motivo = "TokenComando no termino en " + std::to_string(segundos) + " segundos";
  } else if (w < 0) {
    motivo = std::string("no se puede esperar a TokenComando (") + std::strerror(errno) + ")";
  } else if (WIFSIGNALED(estado)) {
    motivo = "TokenComando termino por la senal " + std::to_string(WTERMSIG(estado));
  } else if (WEXITSTATUS(estado) != 0) {
    motivo = "TokenComando termino con el codigo " + std::to_string(WEXITSTATUS(estado));
  } else {
    const size_t desde = salida.find_first_not_of(" \t\r\n");
    const std::string t = desde == std::string::npos
                              ? ""
                              : salida.substr(desde, salida.find_last_not_of(" \t\r\n") + 1 - desde);
    size_t i = 0;
    while (i < t.size() && static_cast<unsigned char>(t[i]) > 0x20 && static_cast<unsigned char>(t[i]) < 0x7F)
      ++i;
    if (t.empty())
      motivo = "TokenComando no escribio ningun token";
    else if (i != t.size())
      motivo = "la salida de TokenComando no es un token (una sola linea de caracteres visibles)";
    else
      token = t;
  }
  std::fill(salida.begin(), salida.end(), '\0');
  return !token.empty();
}

}  // namespace tspost
