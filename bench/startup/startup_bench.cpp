// Start-up time: from process start to the end of CargarParametros on the embedded demo
// database, median of 20 starts of `ocmail --medir-arranque`, against the median of 20
// starts of a bare Qt program measured in the same run. Goal: under 0.3 s.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ocmail-sql/base_datos.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
constexpr int kArranques = 20;
constexpr double kObjetivo = 0.3;

// Seconds from spawning the program to reading the first line it prints; < 0 on failure.
double Medir(const std::string& programa, const std::vector<std::string>& argumentos) {
  int tubo[2];
  if (pipe(tubo) != 0) return -1;
  posix_spawn_file_actions_t acciones;
  posix_spawn_file_actions_init(&acciones);
  posix_spawn_file_actions_adddup2(&acciones, tubo[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&acciones, tubo[0]);
  posix_spawn_file_actions_addopen(&acciones, STDERR_FILENO, "/dev/null", 0, 0);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(programa.c_str()));
  for (const auto& a : argumentos) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  const auto inicio = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, programa.c_str(), &acciones, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&acciones);
  close(tubo[1]);
  if (rc != 0) {
    close(tubo[0]);
    return -1;
  }
  char c = 0;
  bool linea = false;
  while (read(tubo[0], &c, 1) == 1)
    if (c == '\n') {
      linea = true;
      break;
    }
  const auto fin = std::chrono::steady_clock::now();
  close(tubo[0]);
  int estado = 0;
  waitpid(pid, &estado, 0);
  if (!linea) return -1;
  return std::chrono::duration<double>(fin - inicio).count();
}

double Mediana(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main() {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // The program's folder is its application folder: a copy beside a fresh demo database.
  const fs::path carpeta = fs::temp_directory_path() / ("ocmail_arranque_" + std::to_string(getpid()));
  fs::create_directories(carpeta);
  const fs::path ocmail = carpeta / "ocmail";
  fs::copy_file(OCMAIL_PROGRAMA, ocmail, fs::copy_options::overwrite_existing);
  ocmailsql::CrearBaseDatos((carpeta / "demo.db").string(), ocmailsql::demo::kPedidosPorDefecto);

  const std::vector<std::string> linea = {"--medir-arranque", "@Server=sqlite;", "@DbName=demo;",
                                          "@Usuario=admin;", "@Password=x;"};
  std::vector<double> programa, base;
  Medir(ocmail, linea);  // warm the file cache once
  Medir(OCMAIL_BASE, {});
  for (int i = 0; i < kArranques; ++i) {
    base.push_back(Medir(OCMAIL_BASE, {}));
    programa.push_back(Medir(ocmail, linea));
  }
  fs::remove_all(carpeta);
  if (std::count_if(programa.begin(), programa.end(), [](double s) { return s < 0; }) ||
      std::count_if(base.begin(), base.end(), [](double s) { return s < 0; })) {
    std::printf("arranque: un proceso no llego al final del arranque\n");
    return 1;
  }
  const double m = Mediana(programa), b = Mediana(base);
  std::printf("arranque ocmail (mediana de %d): %.3f s\n", kArranques, m);
  std::printf("arranque Qt vacio (mediana de %d): %.3f s\n", kArranques, b);
  std::printf("razon ocmail / base: %.2f\n", m / b);
  std::printf("objetivo < %.1f s: %s\n", kObjetivo, m < kObjetivo ? "cumplido" : "NO cumplido");
  return 0;
}
