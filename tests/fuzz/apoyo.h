#pragma once
// Shared bits of the fuzz targets: the input as text, a private temp folder removed when
// the fuzzer exits, and a check that aborts (so libFuzzer keeps the input) when a
// property of the reader fails.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

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

// One folder per fuzzer process under the system temp folder, removed at exit.
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
    std::string plantilla = (std::filesystem::temp_directory_path() / "ocmail-fuzz.XXXXXX").string();
    if (!mkdtemp(plantilla.data())) std::abort();
    ruta_ = plantilla;
  }
  std::string ruta_;
};

inline void Escribir(const std::string& ruta, const std::string& bytes) {
  std::ofstream f(ruta, std::ios::binary | std::ios::trunc);
  f << bytes;
}

}  // namespace fuzz
