#pragma once
// Shared bits of the fuzz targets: the input as text, a private temp folder removed when
// the fuzzer exits, and a check that aborts (so libFuzzer keeps the input) when a
// property of the reader fails.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <signal.h>
#include <unistd.h>

namespace fuzz {

inline std::string Texto(const uint8_t* datos, size_t largo) {
  return std::string(reinterpret_cast<const char*>(datos), largo);
}

// Aborts with the message: a broken promise of the reader, not a crash of it.
inline void Exigir(bool cumple, const char* que) {
  if (!cumple) {
    std::fprintf(stderr, "propiedad incumplida: %s\n", que);
    std::abort();
  }
}

// One folder per fuzzer process under the system temp folder, removed at exit. A fuzzer
// that stops on a finding cannot remove its own: the next one removes the folders of
// processes that are gone.
class Carpeta {
 public:
  static Carpeta& Unica() {
    static Carpeta c;
    return c;
  }
  const std::string& Ruta() const { return ruta_; }
  std::string operator/(const std::string& nombre) const { return ruta_ + "/" + nombre; }
  ~Carpeta() {
    std::error_code ec;
    std::filesystem::remove_all(ruta_, ec);
  }

 private:
  Carpeta() {
    namespace fs = std::filesystem;
    const std::string prefijo = "ocmail-fuzz.";
    std::error_code ec;
    for (fs::directory_iterator it(fs::temp_directory_path(), ec), fin; !ec && it != fin; it.increment(ec)) {
      const std::string nombre = it->path().filename().string();
      if (nombre.rfind(prefijo, 0) != 0) continue;
      const std::string pid = nombre.substr(prefijo.size());
      if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
      if (kill(static_cast<pid_t>(std::stol(pid)), 0) != 0 && errno == ESRCH) {
        std::error_code e;
        fs::remove_all(it->path(), e);
      }
    }
    ruta_ = (fs::temp_directory_path() / (prefijo + std::to_string(getpid()))).string();
    fs::remove_all(ruta_, ec);
    if (!fs::create_directory(ruta_, ec)) std::abort();
  }
  std::string ruta_;
};

inline void Escribir(const std::string& ruta, const std::string& bytes) {
  std::ofstream f(ruta, std::ios::binary | std::ios::trunc);
  f << bytes;
}

}  // namespace fuzz
