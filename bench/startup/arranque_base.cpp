// Baseline of the start-up benchmark: a bare Qt program that creates its application
// object, prints one line and exits, as `ocmail --medir-arranque` does after its start-up.
#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  std::printf("0\n");
  std::fflush(stdout);
  return 0;
}
