#pragma once
// Orders whose mail failed for good come back as pending. The mail program has no
// database, so ocmail clears the stamp of an order whose last delivery outcome is
// FALLIDO (given up, or refused for good at hand-over), only while the stamp still holds
// the date of that mailing: a later mailing, or another program's stamp, is never undone.
#include <string>
#include <vector>

#include "mailing/estado_entregas.h"

// The dates a failed mail's mailing may be stamped with (the claim writes the day's short
// date): the day of its spool id and the day of its failed line, as `fechaCorta` writes them.
std::vector<std::string> FechasDelEnvio(const EntregaFallida& f, const std::string& fechaCorta);

// The stamp's conditional clearing: one statement for each way of reading the attachment
// name as "<supplier>-<order>" (the name is made so; a reading that names no order
// changes no row) and each date of FechasDelEnvio.
std::vector<std::string> SentenciasDevolver(const EntregaFallida& f, const std::string& fechaCorta);

// Clears the stamps of the failed orders of `entregas` that this PC has not handled yet (a
// list kept in its local folder), and records each one cleared as a row of the usage log.
// The orders whose stamp was cleared; a statement that fails is tried again at the next call.
int DevolverFallidas(const std::string& carpetaAplicacion, const EntregasOrdenes& entregas);

// The orders whose mail failed or bounced since this PC's user last started the window (a
// date kept in the local folder), as the start-up tells them once: "" when none, and the
// first time (the date is only written then). At most 20 orders are named.
std::string TextoFallidasNuevas(const std::string& carpetaAplicacion, const EntregasOrdenes& entregas);
