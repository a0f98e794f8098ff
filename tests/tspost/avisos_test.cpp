// Bounces, delays and replies as the common mail servers write them (samples written for
// these tests), read against the Message-IDs of the journal.
#include "avisos.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using tspost::Aviso;
using tspost::LeerAviso;
using tspost::TipoAviso;

namespace {

const std::string kUno = "<1765450000.4242.1@empresa.example.com>";
const std::string kDos = "<1765450000.4242.2@empresa.example.com>";
const std::string kAjeno = "<CAF=otro@mail.example.net>";

// A multipart/report DSN: the human part, the status and the returned part.
std::string Informe(const std::string& estado, const std::string& devuelto, const std::string& extra = "") {
  return "From: MAILER-DAEMON@mx.example.org (Mail Delivery System)\r\n"
         "To: compras@empresa.example.com\r\n"
         "Subject: Undelivered Mail Returned to Sender\r\n"
         "MIME-Version: 1.0\r\n" +
         extra +
         "Content-Type: multipart/report; report-type=delivery-status;\r\n"
         "\tboundary=\"B1\"\r\n"
         "\r\n"
         "--B1\r\n"
         "Content-Type: text/plain; charset=us-ascii\r\n"
         "\r\n"
         "I'm sorry to have to inform you that your message could not be delivered.\r\n"
         "--B1\r\n"
         "Content-Type: message/delivery-status\r\n"
         "\r\n" +
         estado + "--B1\r\n" + devuelto + "--B1--\r\n";
}

std::string Cabeceras(const std::string& id) {
  return "Content-Type: text/rfc822-headers\r\n\r\n"
         "From: compras@empresa.example.com\r\nTo: ventas@proveedor.example\r\n"
         "Subject: Orden de compra\r\nMessage-ID: " +
         id + "\r\n\r\n";
}

std::string Devuelto(const std::string& id) {
  return "Content-Type: message/rfc822\r\n\r\n"
         "From: compras@empresa.example.com\r\nTo: ventas@proveedor.example\r\n"
         "Subject: Orden de compra\r\nMessage-ID: " +
         id + "\r\n\r\nAdjuntamos la orden.\r\n";
}

const std::string kPostfix =
    "Reporting-MTA: dns; mx.example.org\r\n"
    "Arrival-Date: Thu, 10 Dec 2026 10:00:00 -0300\r\n"
    "\r\n"
    "Final-Recipient: rfc822; ventas@proveedor.example\r\n"
    "Original-Recipient: rfc822;ventas@proveedor.example\r\n"
    "Action: failed\r\n"
    "Status: 5.1.1\r\n"
    "Remote-MTA: dns; mx.proveedor.example\r\n"
    "Diagnostic-Code: smtp; 550 5.1.1 <ventas@proveedor.example>: Recipient address\r\n"
    "    rejected: User unknown in virtual mailbox table\r\n"
    "\r\n";

const std::string kExchange =
    "Reporting-MTA: dns;EX01.proveedor.local\r\n"
    "Received-From-MTA: dns;EX01.proveedor.local\r\n"
    "\r\n"
    "Final-Recipient: rfc822;compras@proveedor.example\r\n"
    "Action: failed\r\n"
    "Status: 5.1.10\r\n"
    "Diagnostic-Code: smtp;550 5.1.10 RESOLVER.ADR.RecipientNotFound; Recipient not found by SMTP address "
    "lookup\r\n"
    "\r\n";

const std::string kDemora =
    "Reporting-MTA: dns; mx.example.org\r\n"
    "\r\n"
    "Final-Recipient: rfc822; ventas@proveedor.example\r\n"
    "Action: delayed\r\n"
    "Status: 4.4.1\r\n"
    "Diagnostic-Code: X-Postfix; connect to mx.proveedor.example[192.0.2.1]:25: Connection timed out\r\n"
    "Will-Retry-Until: Mon, 14 Dec 2026 10:00:00 -0300\r\n"
    "\r\n";

const std::string kUnoDeDos =
    "Reporting-MTA: dns; mx.example.org\r\n"
    "\r\n"
    "Final-Recipient: rfc822; ventas@proveedor.example\r\n"
    "Action: delivered\r\n"
    "Status: 2.0.0\r\n"
    "\r\n"
    "Final-Recipient: rfc822; viejo@proveedor.example\r\n"
    "Action: failed\r\n"
    "Status: 5.2.1\r\n"
    "Diagnostic-Code: smtp; 550 5.2.1 The email account that you tried to reach is disabled.\r\n"
    "\r\n";

// Exim's default: plain text, the returned message quoted after a line.
const std::string kExim =
    "From: Mail Delivery System <Mailer-Daemon@mx.example.org>\r\n"
    "To: compras@empresa.example.com\r\n"
    "Subject: Mail delivery failed: returning message to sender\r\n"
    "Content-Type: text/plain; charset=iso-8859-1\r\n"
    "Content-Transfer-Encoding: 8bit\r\n"
    "\r\n"
    "This message was created automatically by mail delivery software.\r\n"
    "\r\n"
    "A message that you sent could not be delivered to one or more of its\r\n"
    "recipients. This is a permanent error. The following address(es) failed:\r\n"
    "\r\n"
    "  ventas@proveedor.example\r\n"
    "    host mx.proveedor.example [192.0.2.1]\r\n"
    "    SMTP error from remote mail server after RCPT TO:<ventas@proveedor.example>:\r\n"
    "    550 5.1.1 No existe el usuario (direcci\xf3n desconocida)\r\n"
    "\r\n"
    "------ This is a copy of the message, including all the headers. ------\r\n"
    "\r\n"
    "Message-ID: " +
    kUno +
    "\r\n"
    "Subject: Orden de compra\r\n"
    "\r\n";

// Gmail-style: the human part in base64, the returned message whole.
const std::string kBase64Texto =
    "Content-Type: text/plain; charset=UTF-8\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "\r\n"
    "VHUgbWVuc2FqZSBubyBzZSBlbnRyZWfDsy4=\r\n";

std::string Respuesta(const std::string& extra, const std::string& asunto) {
  return "From: Ana Vendedora <ventas@proveedor.example>\r\n"
         "To: compras@empresa.example.com\r\n"
         "Date: Fri, 11 Dec 2026 09:15:00 -0300\r\n"
         "Subject: " +
         asunto +
         "\r\n"
         "In-Reply-To: " +
         kDos + "\r\nReferences: " + kDos + "\r\n" + extra +
         "Content-Type: text/plain; charset=utf-8\r\n"
         "\r\n"
         "Recibido, gracias.\r\n";
}

}  // namespace

TEST(Avisos, FormasDeRebotesDemorasYRespuestas) {
  const std::set<std::string> nuestros = {kUno, kDos};
  const struct {
    const char* nombre;
    std::string mensaje;
    std::vector<Aviso> esperados;
  } casos[] = {
      {"DSN de Postfix con las cabeceras devueltas",
       Informe(kPostfix, Cabeceras(kUno)),
       {{TipoAviso::Rebotado, kUno, "ventas@proveedor.example",
         "550 5.1.1 <ventas@proveedor.example>: Recipient address rejected: User unknown in virtual mailbox "
         "table"}}},
      {"DSN de Exchange con el mensaje devuelto",
       Informe(kExchange, Devuelto(kDos)),
       {{TipoAviso::Rebotado, kDos, "compras@proveedor.example",
         "550 5.1.10 RESOLVER.ADR.RecipientNotFound; Recipient not found by SMTP address lookup"}}},
      {"DSN con la parte humana en base64 y el mensaje entero",
       "From: Mail Delivery Subsystem <mailer-daemon@googlemail.com>\r\nSubject: Delivery Status "
       "Notification (Failure)\r\nMIME-Version: 1.0\r\nContent-Type: multipart/report; "
       "report-type=delivery-status; boundary=\"G\"\r\n\r\n--G\r\n" +
           kBase64Texto + "--G\r\nContent-Type: message/delivery-status\r\n\r\n" + kExchange + "--G\r\n" +
           Devuelto(kUno) + "--G--\r\n",
       {{TipoAviso::Rebotado, kUno, "compras@proveedor.example",
         "550 5.1.10 RESOLVER.ADR.RecipientNotFound; Recipient not found by SMTP address lookup"}}},
      {"aviso de demora: solo DEMORADO",
       Informe(kDemora, Cabeceras(kUno)),
       {{TipoAviso::Demorado, kUno, "ventas@proveedor.example",
         "connect to mx.proveedor.example[192.0.2.1]:25: Connection timed out"}}},
      {"dos destinatarios, uno falla",
       Informe(kUnoDeDos, Cabeceras(kDos)),
       {{TipoAviso::Rebotado, kDos, "viejo@proveedor.example",
         "550 5.2.1 The email account that you tried to reach is disabled."}}},
      {"DSN de un mensaje que no es nuestro", Informe(kPostfix, Cabeceras(kAjeno)), {}},
      {"rebote en texto plano de Exim, 8 bits",
       kExim,
       {{TipoAviso::Rebotado, kUno, "", "550 5.1.1 No existe el usuario (direcci\xf3n desconocida)"}}},
      {"respuesta del proveedor", Respuesta("", "=?utf-8?q?Re:_Orden_de_compra_N=C2=B0_1?="), {}},
      {"respuesta automática por Auto-Submitted",
       Respuesta("Auto-Submitted: auto-replied\r\n", "Fuera de la oficina"),
       {}},
      {"un mail cualquiera",
       "From: banco@example.com\r\nSubject: Su resumen\r\nContent-Type: text/plain\r\n\r\nHola " + kUno +
           "\r\n",
       {}},
      {"MIME roto",
       "Content-Type: multipart/report; report-type=delivery-status; boundary=\"X\"\r\n\r\n--X\r\n"
       "Content-Type: message/delivery-status\r\n\r\nAction: failed\r\n--Y\r\n\x01\xff",
       {}},
      {"vacío", "", {}},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    const std::vector<Aviso> avisos = LeerAviso(c.mensaje, nuestros);
    if (std::string(c.nombre) == "respuesta del proveedor") {
      ASSERT_EQ(avisos.size(), 1u);
      EXPECT_EQ(avisos[0].tipo, TipoAviso::Respondido);
      EXPECT_EQ(avisos[0].messageId, kDos);
      EXPECT_EQ(avisos[0].remitente, "Ana Vendedora <ventas@proveedor.example>");
      EXPECT_EQ(avisos[0].fecha, "Fri, 11 Dec 2026 09:15:00 -0300");
      EXPECT_EQ(avisos[0].asunto, "Re: Orden de compra N\u00b0 1");
      continue;
    }
    if (std::string(c.nombre) == "respuesta automática por Auto-Submitted") {
      ASSERT_EQ(avisos.size(), 1u);
      EXPECT_EQ(avisos[0].tipo, TipoAviso::RespuestaAutomatica);
      continue;
    }
    ASSERT_EQ(avisos.size(), c.esperados.size());
    for (size_t i = 0; i < avisos.size(); ++i) {
      EXPECT_EQ(avisos[i].tipo, c.esperados[i].tipo);
      EXPECT_EQ(avisos[i].messageId, c.esperados[i].messageId);
      EXPECT_EQ(avisos[i].destinatario, c.esperados[i].destinatario);
      EXPECT_EQ(avisos[i].diagnostico, c.esperados[i].diagnostico);
    }
  }
  // Without our Message-IDs in the journal nothing is ever ours.
  EXPECT_TRUE(LeerAviso(Informe(kPostfix, Cabeceras(kUno)), {}).empty());
  EXPECT_EQ(tspost::PalabraAviso(TipoAviso::RespuestaAutomatica), std::string("RESPUESTA AUTOMATICA"));
}
