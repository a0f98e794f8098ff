// Test entry: every test program runs headless, with a QApplication available to
// window tests and never a real dialog.
#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // The PC's local folder of the programs (job file, records of claims) lives under
  // XDG_STATE_HOME: one of its own per test program, never the user's.
  std::string estado = std::filesystem::temp_directory_path().string() + "/ocmail-estado-XXXXXX";
  if (mkdtemp(estado.data())) setenv("XDG_STATE_HOME", estado.c_str(), 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  const int r = RUN_ALL_TESTS();
  std::error_code ec;
  std::filesystem::remove_all(estado, ec);
  return r;
}
