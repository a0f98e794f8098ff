#include "platform/ui/operador_guionado.h"

#include <algorithm>

namespace ui {

namespace {

std::string Siguiente(std::deque<std::string>& cola) {
  if (cola.empty()) return "";
  std::string t = std::move(cola.front());
  cola.pop_front();
  return t;
}

}  // namespace

int OperadorGuionado::MsgBox(const std::string& texto, int estilo, const std::string& titulo) {
  pedidos.push_back({"MsgBox", texto, estilo, titulo});
  if (respuestas.empty()) return respuestaPorDefecto;
  const int r = respuestas.front();
  respuestas.pop_front();
  return r;
}

std::string OperadorGuionado::InputBox(const std::string& texto, const std::string& titulo,
                                       const std::string&) {
  pedidos.push_back({"InputBox", texto, 0, titulo});
  return Siguiente(textos);
}

std::string OperadorGuionado::ElegirFecha() {
  pedidos.push_back({"ElegirFecha", "", 0, ""});
  return Siguiente(textos);
}

std::string OperadorGuionado::AbrirArchivo(const std::string& titulo, const std::string& filtro,
                                           const std::string&) {
  pedidos.push_back({"AbrirArchivo", filtro, 0, titulo});
  return Siguiente(textos);
}

void OperadorGuionado::MostrarModal(VentanaModal& ventana) {
  pedidos.push_back({"Modal", ventana.NombreVentana(), 0, ""});
  if (modales.empty()) return;
  auto manejador = std::move(modales.front());
  modales.pop_front();
  if (manejador) manejador(ventana);
}

void OperadorGuionado::FinPrograma(int codigo) {
  pedidos.push_back({"Fin", std::to_string(codigo), codigo, ""});
  throw FinDelPrograma{codigo};
}

int OperadorGuionado::Cuantos(const std::string& tipo) const {
  return static_cast<int>(
      std::count_if(pedidos.begin(), pedidos.end(), [&](const Pedido& p) { return p.tipo == tipo; }));
}

}  // namespace ui
