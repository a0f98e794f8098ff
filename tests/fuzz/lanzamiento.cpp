// The launch line that the suite's menu passes to the program.
#include "fuzz/lanzamiento.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo) {
  ProbarLineaLanzamiento(datos, largo);
  return 0;
}
