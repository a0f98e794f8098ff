#pragma once
// One fuzz input for the launch-line reader: any bytes must give values without "=" and
// without blanks at either end, and never crash or hang.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "global/lanzamiento.h"

inline bool ValorLimpio(const std::string& v) {
  return v.find('=') == std::string::npos && (v.empty() || (v.front() != ' ' && v.back() != ' '));
}

inline void ProbarLineaLanzamiento(const uint8_t* datos, size_t largo) {
  const std::string linea(reinterpret_cast<const char*>(datos), largo);
  const ValoresLanzamiento v = LeerLineaLanzamiento(linea);
  for (const std::string* s : {&v.servidor, &v.dbName, &v.usuario, &v.password, &v.parametroAdicional,
                               &v.menu, &v.usuarioLogeado, &v.caja})
    if (!ValorLimpio(*s)) std::abort();
  (void)NombreServidor(v.servidor);
  (void)ClaveEquipo(linea, v.usuario);
}
