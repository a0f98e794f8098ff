#pragma once
// The operator on the screen: Qt message boxes, input boxes, a calendar and the file
// dialog. InstalarOperadorQt() makes it the program-wide operator once a QApplication
// exists, and takes the screen's resolution for twips.
#include <QString>

#include "platform/ui/operador.h"

class QWidget;

namespace ui {

class OperadorQt : public Operador {
 public:
  int MsgBox(const std::string& texto, int estilo, const std::string& titulo) override;
  std::string InputBox(const std::string& texto, const std::string& titulo,
                       const std::string& defecto) override;
  std::string ElegirFecha() override;
  std::string AbrirArchivo(const std::string& titulo, const std::string& filtro,
                           const std::string& carpeta) override;
  void MostrarModal(VentanaModal& ventana) override;
  // Output is flushed, then the process ends without running more of the program.
  [[noreturn]] void FinPrograma(int codigo) override;
};

void InstalarOperadorQt();

// A filter of the suite ("Base de Datos |*.MDB|Todos|*.*", patterns joined by ";") in
// Qt's form ("Base de Datos (*.MDB *.mdb);;Todos (*)"), each pattern in both cases since
// names on this platform are case-sensitive.
QString FiltroQt(const std::string& filtro);

// Enter in a field: the focus goes to the next control in tab order that can take it.
// Returns that control (nullptr when there is none).
QWidget* MoverFocoSiguiente(QWidget* desde);

}  // namespace ui
