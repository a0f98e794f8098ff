#pragma once
// The window's actions: what "&Enviar" and "&Ver" of frmOCMailing run. The dispatch run
// and the preview stay plain C++ (despacho.h, vista_previa.h); this is the one place that
// joins them to the window.
#include <vector>

#include "mailing/despacho.h"

class frmOCMailing;

// The rows of the window's list, in list order.
std::vector<FilaDespacho> FilasDeVentana(const frmOCMailing& frm);
// CmdEnviar_Click: the run on the window's rows, subject ("ENCABEZADO") and message
// ("PIEDEPAGINA"), reloading the list afterwards. While the run waits for a mail program
// the window's events are processed, with the window in its run state
// (frmOCMailing::EnvioEnCurso); during a run it does nothing. A run of more than two
// checked rows shows its progress (VentanaProgreso), whose "Cancelar" stops it after the
// order in hand.
void EnviarDesdeVentana(frmOCMailing& frm);
// CmbVer_Click on the window's rows and switch.
void VerDesdeVentana(frmOCMailing& frm);
// Installs the dispatch run ("&Enviar") and the preview ("&Ver") on the window.
void ConectarEnvioYVista(frmOCMailing& frm);
