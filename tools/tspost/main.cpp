// tspost: the suite's mail program. See docs/tspost.md.
#include <filesystem>
#include <string>
#include <vector>

#include "platform/os/sistema.h"
#include "tspost.h"

int main(int argc, char** argv) {
  os::DesactivarVolcados();
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) exe = fs::absolute(argv[0], ec);
  std::vector<std::string> args(argv + 1, argv + argc);
  return tspost::Ejecutar(args, exe.parent_path().string());
}
