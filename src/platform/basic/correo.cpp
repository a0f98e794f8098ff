#include "platform/basic/correo.h"

#include "platform/basic/texto.h"

namespace basic {

std::vector<std::string> DividirDirecciones(const std::string& lista) {
  std::vector<std::string> r;
  size_t i = 0;
  for (;;) {
    const size_t j = lista.find_first_of(";,", i);
    std::string parte = RecortarEspacios(lista.substr(i, j == std::string::npos ? std::string::npos : j - i));
    if (!parte.empty()) r.push_back(std::move(parte));
    if (j == std::string::npos) return r;
    i = j + 1;
  }
}

bool DireccionCorreoValida(const std::string& d) {
  const size_t arroba = d.rfind('@');
  if (arroba == std::string::npos || arroba == 0 || arroba + 1 == d.size()) return false;
  for (unsigned char c : d)
    if (c <= 32 || c == 127 || c == '<' || c == '>' || c == '"' || c == ',' || c == ';' || c == '(' ||
        c == ')' || c == '\\')
      return false;
  return true;
}

}  // namespace basic
