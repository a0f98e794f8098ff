#include "platform/basic/regional.h"

namespace basic {

Regional& regional() {
  static Regional instancia;
  return instancia;
}

}  // namespace basic
