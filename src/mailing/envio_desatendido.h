#pragma once
// "ocmail --enviar": the dispatch run without a window, for scheduled sending. The same
// start-up and pending-order query as the window (with "Con envio de mail pendiente" on)
// and the same Despacho on every listed order with a valid address. No question waits for
// a person: each gets the safe answer (stop, do not stamp), written to standard error.
// Plain C++; described in docs/mailing.md.
#include <ostream>
#include <string>
#include <vector>

#include "mailing/consulta_pendientes.h"

struct OpcionesEnvioDesatendido {
  std::string linea;  // the suite's launch line
  FiltrosPendientes filtros;
  bool hayAsunto = false, hayMensaje = false;  // given on the command line
  std::string asunto, mensaje;
  bool simular = false;  // list what would be sent; write nothing
};

enum CodigoEnvioDesatendido : int {
  kTodasEntregadas = 0,  // every listed order was handed over to the mail program
  kAlgunaOmitida = 1,    // some were skipped (no valid address, no longer pending)
  kEnvioFallido = 2,     // a failure stopped the run (start-up, query, an order), or bad arguments
};

// The arguments after "--enviar". False with the reason on unknown options or a missing
// value.
bool LeerArgumentosEnvio(const std::vector<std::string>& args, OpcionesEnvioDesatendido& o,
                         std::string& error);

// The longest subject or message the window takes; the command line takes no more.
constexpr int kLargoTextoCorreo = 254;

// The option values as this run reads them (the regional date format must be loaded): false
// with the reason naming the option and the value when a date is not a date, a text holds
// a control character (the message may hold line breaks) or a subject or message is too long.
bool ValidarArgumentosEnvio(const OpcionesEnvioDesatendido& o, std::string& error);

// Runs it: the values are checked first (exit 2, nothing written, when one is not valid);
// one line per order and a summary on `salida`, questions and errors on `errores`.
int EnviarDesatendido(const OpcionesEnvioDesatendido& o, std::ostream& salida, std::ostream& errores);

// The usage text.
extern const char* const kUsoEnviar;
