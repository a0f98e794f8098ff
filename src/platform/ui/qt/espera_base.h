#pragma once
// The wait for a database that another program holds locked, over the windows: the data
// layer calls this over and over while it waits (ado::FijarAlEsperarBase). After about a
// second "Esperando la base de datos…" shows with "Cancelar", every other window is
// disabled (the connection must not be used again from inside the wait) and events keep
// being processed, so the windows repaint. "Cancelar" ends the wait as a time-out would.
// The notice goes, and the windows are enabled again, once events run after the wait.
class QDialog;

namespace ui {

// false once the operator has cancelled this wait.
bool EsperarBaseQt(double segundos);
// The notice while it shows (tests); nullptr otherwise.
QDialog* AvisoEsperaBase();

}  // namespace ui
