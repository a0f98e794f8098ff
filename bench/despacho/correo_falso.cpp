// Stand-in mail program for the dispatch benchmark: takes its job (renames the job file named
// by its arguments, the launch token dropped, then reads and removes it) and exits.
#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
  std::string ruta;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i == argc - 1 && !a.empty() && a[0] == ';') break;
    if (!ruta.empty()) ruta += ' ';
    ruta += a;
  }
  const std::string tomado = ruta + ".tomado";
  if (std::rename(ruta.c_str(), tomado.c_str()) != 0) return 2;
  std::ifstream f(tomado, std::ios::binary);
  if (!f) return 2;
  std::string trabajo((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  f.close();
  return trabajo.empty() || std::remove(tomado.c_str()) != 0 ? 2 : 0;
}
