#pragma once
// Key codes as the suite's windows number them (65-90 letters, 48-57 digits, 96-105 and
// 106-111 the keypad, 112... F1, 13 Enter, 27 Escape...), for the handlers written
// against those codes.

namespace ui {

// The code of a Qt key; teclado_numerico for keys of the keypad. 0 when it has none.
int CodigoTecla(int qtKey, bool teclado_numerico);

}  // namespace ui
