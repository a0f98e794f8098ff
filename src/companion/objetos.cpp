// Equipo, Formulario, DialogoArchivo and the program-wide instances.
#include <memory>

#include "companion/companion.h"
#include "platform/basic/texto.h"
#include "platform/os/rutas.h"
#include "platform/os/sistema.h"
#include "platform/ui/operador.h"

std::string Equipo::NombreEquipo() const { return os::sistema().NombreEquipo(); }

std::string Equipo::UsuarioWindows() const { return os::sistema().UsuarioSistema(); }

std::string Equipo::CarpetaTemporal() const { return os::CarpetaTemporal(); }

bool Formulario::TeclaAbajo(int& codigoTecla) const {
  if (codigoTecla != 13) return false;
  codigoTecla = 0;
  return true;
}

void Formulario::TeclaPresionada(const std::string&, int& caracter) const {
  switch (caracter) {
    case 1:   // Ctrl+A
    case 3:   // Ctrl+C
    case 8:   // Backspace
    case 10:  // Ctrl+Enter: a line break in a multi-line field
    case 13:  // Enter: the caller discards it
    case 22:  // Ctrl+V
    case 24:  // Ctrl+X
    case 26:  // Ctrl+Z
      return;
    default:
      if ((caracter >= 0 && caracter < 32) || caracter == 127) caracter = 0;
  }
}

int Formulario::IndiceControl(const std::string& nombre, const std::vector<std::string>& nombres) const {
  const std::string buscado = basic::Trim(nombre);
  for (size_t i = 0; i < nombres.size(); ++i)
    if (basic::IgualesSinCaso(basic::Trim(nombres[i]), buscado)) return static_cast<int>(i);
  return -1;
}

void DialogoArchivo::MostrarAbrir() {
  nombreArchivo_ = ui::operador().AbrirArchivo(TituloDialogo, Filtro, CarpetaInicial);
  cancelado_ = nombreArchivo_.empty();
}

namespace {

struct Objetos {
  std::unique_ptr<Funciones> funciones;
  std::unique_ptr<Equipo> equipo;
  std::unique_ptr<ArchivoIni> ini;
  std::unique_ptr<Formulario> formulario;
};

Objetos& objetos() {
  static Objetos o;
  return o;
}

template <class T>
T& Crear(std::unique_ptr<T>& p) {
  if (!p) p = std::make_unique<T>();
  return *p;
}

}  // namespace

Funciones& gFunciones() { return Crear(objetos().funciones); }
Equipo& gEquipo() { return Crear(objetos().equipo); }
ArchivoIni& gArchivoIni() { return Crear(objetos().ini); }
Formulario& gFormulario() { return Crear(objetos().formulario); }

void LiberarCompanion() {
  auto& o = objetos();
  o.formulario.reset();
  o.ini.reset();
  o.equipo.reset();
  o.funciones.reset();
}
