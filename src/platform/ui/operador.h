#pragma once
// The operator seam: everything that asks the person at the screen, shows a window
// modally or ends the program. Plain C++; the Qt implementation lives in ui_qt and
// tests install OperadorGuionado (operador_guionado.h).
#include <string>

namespace ui {

// Message-box style numbers as the suite writes them.
enum Botones : int {
  vbOKOnly = 0,
  vbOKCancel = 1,
  vbAbortRetryIgnore = 2,
  vbYesNoCancel = 3,
  vbYesNo = 4,
  vbRetryCancel = 5
};
enum Icono : int { vbCritical = 16, vbQuestion = 32, vbExclamation = 48, vbInformation = 64 };
// Answers.
enum Respuesta : int { vbOK = 1, vbCancel = 2, vbAbort = 3, vbRetry = 4, vbIgnore = 5, vbYes = 6, vbNo = 7 };

// A window that can be shown modally; windows implement it so tests can drive them.
class VentanaModal {
 public:
  virtual ~VentanaModal() = default;
  virtual std::string NombreVentana() const = 0;  // "frmAcceso", "Lib_FrmCons3"...
  virtual void EjecutarModal() = 0;               // real modal loop (QDialog::exec)
};

// Thrown by the scripted operator when the program would end, so tests survive it.
struct FinDelPrograma {
  int codigo;
};

class Operador {
 public:
  virtual ~Operador() = default;
  // style = buttons (0..5) + icon (16/32/48/64) [+ default button 256/512]; returns 1..7.
  virtual int MsgBox(const std::string& texto, int estilo, const std::string& titulo) = 0;
  // Returns the typed text; "" when cancelled.
  virtual std::string InputBox(const std::string& texto, const std::string& titulo,
                               const std::string& defecto) = 0;
  // A calendar: the picked date in the regional short-date format, "" when cancelled.
  virtual std::string ElegirFecha() = 0;
  // Open-file dialog: the chosen path, "" when cancelled.
  virtual std::string AbrirArchivo(const std::string& titulo, const std::string& filtro,
                                   const std::string& carpeta) = 0;
  // Shows a window modally and returns when it is closed.
  virtual void MostrarModal(VentanaModal& ventana) = 0;
  // The program ends at once.
  [[noreturn]] virtual void FinPrograma(int codigo) = 0;
};

// The program-wide operator. Defaults to a console-free implementation that answers
// Cancel/empty until the program installs the Qt one or a test installs a scripted one.
Operador& operador();
void InstalarOperador(Operador* o);  // not owned; nullptr restores the default

// Twips (1/1440 inch) to pixels at the screen's resolution (96 dpi unless set).
int TwipsAPixeles(int twips);
void FijarDpi(double dpi);

}  // namespace ui
