#include "lookup/lib_clscons3.h"

Lib_ClsCons3& gClsCons3() {
  static Lib_ClsCons3 instancia;
  return instancia;
}
