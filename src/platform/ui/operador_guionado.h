#pragma once
// A scripted operator for tests: answers from queues and records every prompt.
// Install it for the length of a test with OperadorGuionado::Instalado.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/operador.h"

namespace ui {

class OperadorGuionado : public Operador {
 public:
  struct Pedido {
    std::string tipo;   // "MsgBox", "InputBox", "ElegirFecha", "AbrirArchivo", "Modal", "Fin"
    std::string texto;  // prompt text (or the window's name for "Modal")
    int estilo = 0;     // MsgBox style
    std::string titulo;
  };

  // Answers for MsgBox, in order; when empty, MsgBox answers `respuestaPorDefecto`.
  std::deque<int> respuestas;
  int respuestaPorDefecto = vbCancel;
  // Answers for InputBox, ElegirFecha and AbrirArchivo, in order; "" when empty.
  std::deque<std::string> textos;
  // Handlers for MostrarModal, in order; they drive the window (set fields, press
  // buttons). When empty the window is shown and closed untouched.
  std::deque<std::function<void(VentanaModal&)>> modales;
  // Everything asked, in order.
  std::vector<Pedido> pedidos;

  int MsgBox(const std::string& texto, int estilo, const std::string& titulo) override;
  std::string InputBox(const std::string& texto, const std::string& titulo,
                       const std::string& defecto) override;
  std::string ElegirFecha() override;
  std::string AbrirArchivo(const std::string& titulo, const std::string& filtro,
                           const std::string& carpeta) override;
  void MostrarModal(VentanaModal& ventana) override;
  [[noreturn]] void FinPrograma(int codigo) override;  // records "Fin", throws FinDelPrograma

  // Number of recorded requests of a kind.
  int Cuantos(const std::string& tipo) const;

  // Installs itself as the program-wide operator while alive.
  struct Instalado;
};

struct OperadorGuionado::Instalado {
  OperadorGuionado op;
  Instalado() { InstalarOperador(&op); }
  ~Instalado() { InstalarOperador(nullptr); }
  OperadorGuionado* operator->() { return &op; }
};

}  // namespace ui
