#include "platform/os/argumentos.h"

#include <cstring>

namespace os {

namespace {

constexpr char kClave[] = "@password";
constexpr size_t kLargoClave = sizeof(kClave) - 1;
constexpr char kSeparador = '\0';  // between two arguments in the joined line

bool EsClave(const std::string& s, size_t p) {
  if (s.size() - p < kLargoClave) return false;
  for (size_t i = 0; i < kLargoClave; ++i) {
    char c = s[p + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kClave[i]) return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> ConClaveOculta(std::vector<std::string> argumentos) {
  // Joined with a separator that no argument holds, so that the masked text splits back
  // at the same places.
  std::string linea;
  for (size_t i = 0; i < argumentos.size(); ++i) {
    if (i > 0) linea += kSeparador;
    linea += argumentos[i];
  }
  for (size_t p = 0; p < linea.size(); ++p) {
    if (!EsClave(linea, p)) continue;
    p += kLargoClave;
    while (p < linea.size() && (linea[p] == ' ' || linea[p] == '=' || linea[p] == kSeparador)) ++p;
    for (; p < linea.size() && linea[p] != ';'; ++p)
      if (linea[p] != kSeparador) linea[p] = '*';
  }
  size_t desde = 0;
  for (std::string& a : argumentos) {
    a = linea.substr(desde, a.size());
    desde += a.size() + 1;
  }
  return argumentos;
}

void OcultarClaveEnArgumentos(int argc, char** argv) {
  if (argc < 2 || argv == nullptr) return;
  const std::vector<std::string> originales(argv + 1, argv + argc);
  const std::vector<std::string> ocultos = ConClaveOculta(originales);
  for (size_t i = 0; i < ocultos.size(); ++i)
    if (ocultos[i] != originales[i]) std::memcpy(argv[i + 1], ocultos[i].data(), ocultos[i].size());
}

}  // namespace os
