#pragma once
// What a message of the sender's own mailbox says about a mail we sent: a bounce (a
// delivery status notification, or a plain-text bounce of the common servers), a delay, a
// supplier's reply or an automatic reply. MIME is read with GMime.
#include <set>
#include <string>
#include <vector>

namespace tspost {

enum class TipoAviso { Ninguno, Rebotado, Demorado, Respondido, RespuestaAutomatica };

// The journal's word for each kind ("" for Ninguno).
const char* PalabraAviso(TipoAviso tipo);

struct Aviso {
  TipoAviso tipo = TipoAviso::Ninguno;
  std::string messageId;     // our mail's Message-ID, "<...>", always one of `nuestros`
  std::string destinatario;  // bounce or delay: the recipient it names ("" when none)
  std::string diagnostico;   // bounce or delay: "550 5.1.1 ...", or the Status code
  std::string remitente;     // reply: From
  std::string fecha;         // reply: Date as written
  std::string asunto;        // reply: Subject
};

// One notice per (our Message-ID, recipient) the message speaks of; none for anything else.
// `nuestros` are the Message-IDs of the journal, "<...>". Never raises on any bytes.
std::vector<Aviso> LeerAviso(const std::string& mensaje, const std::set<std::string>& nuestros);

}  // namespace tspost
