#pragma once
// The machine seam: clock, computer and user names, environment. Tests install a
// scripted Sistema (set fixed values) through InstalarSistema.
#include <optional>
#include <string>

#include "platform/basic/variant.h"

namespace os {

class Sistema {
 public:
  virtual ~Sistema() = default;
  virtual basic::Fecha Ahora() const;          // local date and time
  virtual std::string NombreEquipo() const;    // host name
  virtual std::string UsuarioSistema() const;  // operating-system user
  // Environment lookup without regard to the case of the name.
  virtual std::optional<std::string> Entorno(const std::string& nombre) const;
};

Sistema& sistema();
// No core file and no ptrace by other processes of the same user: a crash must not write
// the passwords and tokens the process holds. Called before any secret is read.
void DesactivarVolcados();
void InstalarSistema(Sistema* s);  // not owned; nullptr restores the real one

}  // namespace os
