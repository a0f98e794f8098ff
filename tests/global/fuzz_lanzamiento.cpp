// libFuzzer target for the launch-line reader (built when the compiler has -fsanitize=fuzzer).
#include "global/fuzz_lanzamiento.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo) {
  ProbarLineaLanzamiento(datos, largo);
  return 0;
}
