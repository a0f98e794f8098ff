#include "avisos.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

namespace tspost {
namespace {

void IniciarGMime() {
  static std::once_flag una;
  std::call_once(una, [] { g_mime_init(); });
}

std::string Minus(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Recortar(const std::string& s) {
  const size_t i = s.find_first_not_of(" \t\r\n");
  if (i == std::string::npos) return "";
  return s.substr(i, s.find_last_not_of(" \t\r\n") - i + 1);
}

// "<id>" whatever form it came in.
std::string ConAngulos(std::string id) {
  id = Recortar(id);
  if (id.empty()) return id;
  if (id.front() != '<') id = "<" + id;
  if (id.back() != '>') id += ">";
  return id;
}

GMimeMessage* Analizar(const std::string& bytes) {
  GMimeStream* flujo = g_mime_stream_mem_new_with_buffer(bytes.data(), bytes.size());
  GMimeParser* analizador = g_mime_parser_new_with_stream(flujo);
  g_object_unref(flujo);
  GMimeMessage* m = g_mime_parser_construct_message(analizador, nullptr);
  g_object_unref(analizador);
  return m;
}

// The decoded bytes of a leaf part.
std::string Contenido(GMimePart* parte) {
  GMimeDataWrapper* datos = g_mime_part_get_content(parte);
  if (!datos) return "";
  GMimeStream* mem = g_mime_stream_mem_new();
  g_mime_data_wrapper_write_to_stream(datos, mem);
  GByteArray* a = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(mem));
  std::string r = a ? std::string(reinterpret_cast<const char*>(a->data), a->len) : std::string();
  g_object_unref(mem);
  return r;
}

// The Message-IDs of a header's text (In-Reply-To, References).
std::vector<std::string> Identificadores(const char* texto) {
  std::vector<std::string> r;
  if (!texto) return r;
  GMimeReferences* refs = g_mime_references_parse(nullptr, texto);
  if (!refs) return r;
  for (int i = 0; i < g_mime_references_length(refs); ++i)
    if (const char* id = g_mime_references_get_message_id(refs, i)) r.push_back(ConAngulos(id));
  g_mime_references_free(refs);
  return r;
}

std::string Encabezado(GMimeObject* o, const char* nombre) {
  const char* v = o ? g_mime_object_get_header(o, nombre) : nullptr;
  return v ? Recortar(v) : "";
}

// One recipient's block of a delivery status: its fields by lower-case name.
using Campos = std::map<std::string, std::string>;

// The blocks of a message/delivery-status body (per message, then per recipient).
std::vector<Campos> BloquesDeEstado(const std::string& texto) {
  std::vector<Campos> bloques(1);
  std::string ultimo;
  size_t i = 0;
  while (i <= texto.size()) {
    size_t fin = texto.find('\n', i);
    if (fin == std::string::npos) fin = texto.size();
    std::string linea = texto.substr(i, fin - i);
    if (!linea.empty() && linea.back() == '\r') linea.pop_back();
    i = fin + 1;
    if (Recortar(linea).empty()) {
      if (!bloques.back().empty()) bloques.emplace_back();
      ultimo.clear();
      continue;
    }
    if ((linea[0] == ' ' || linea[0] == '\t') && !ultimo.empty()) {
      bloques.back()[ultimo] += " " + Recortar(linea);
      continue;
    }
    const size_t dos = linea.find(':');
    if (dos == std::string::npos) continue;
    ultimo = Minus(Recortar(linea.substr(0, dos)));
    bloques.back()[ultimo] = Recortar(linea.substr(dos + 1));
  }
  if (bloques.back().empty()) bloques.pop_back();
  return bloques;
}

// "rfc822; a@b" -> "a@b"; "smtp; 550 ..." -> "550 ...".
std::string SinTipo(const std::string& valor) {
  const size_t p = valor.find(';');
  return Recortar(p == std::string::npos ? valor : valor.substr(p + 1));
}

// What the parts of a message hold, gathered over its tree.
struct Partes {
  bool informe = false;               // multipart/report; report-type=delivery-status
  std::vector<Campos> destinatarios;  // per-recipient blocks of the status
  std::vector<std::string> ids;       // Message-IDs of the returned message or headers
  std::string texto;                  // every text part, decoded
};

void Recorrer(GMimeObject* o, Partes& p, int profundidad) {
  if (!o || profundidad > 20) return;
  if (GMIME_IS_MULTIPART(o)) {
    GMimeMultipart* mp = GMIME_MULTIPART(o);
    for (int i = 0; i < g_mime_multipart_get_count(mp); ++i)
      Recorrer(g_mime_multipart_get_part(mp, i), p, profundidad + 1);
    return;
  }
  if (GMIME_IS_MESSAGE_PART(o)) {
    // The returned message: its Message-ID, not its contents.
    GMimeMessage* m = g_mime_message_part_get_message(GMIME_MESSAGE_PART(o));
    if (m && g_mime_message_get_message_id(m)) p.ids.push_back(ConAngulos(g_mime_message_get_message_id(m)));
    return;
  }
  if (!GMIME_IS_PART(o)) return;
  GMimeContentType* tipo = g_mime_object_get_content_type(o);
  const std::string t =
      tipo ? Minus(g_mime_content_type_get_media_type(tipo) ? g_mime_content_type_get_media_type(tipo) : "") +
                 "/" +
                 Minus(g_mime_content_type_get_media_subtype(tipo)
                           ? g_mime_content_type_get_media_subtype(tipo)
                           : "")
           : "text/plain";
  const std::string contenido = Contenido(GMIME_PART(o));
  if (t == "message/delivery-status" || t == "message/global-delivery-status") {
    const auto bloques = BloquesDeEstado(contenido);
    for (size_t i = 1; i < bloques.size(); ++i) p.destinatarios.push_back(bloques[i]);
    if (bloques.size() == 1 && bloques[0].count("action")) p.destinatarios.push_back(bloques[0]);
  } else if (t == "text/rfc822-headers" || t == "message/rfc822-headers") {
    GMimeMessage* m = Analizar(contenido + "\r\n\r\n");
    if (m) {
      if (g_mime_message_get_message_id(m)) p.ids.push_back(ConAngulos(g_mime_message_get_message_id(m)));
      g_object_unref(m);
    }
  } else if (t.rfind("text/", 0) == 0) {
    p.texto += contenido + "\n";
  }
}

// Our Message-IDs written anywhere in a text (a plain bounce quotes the returned headers).
std::vector<std::string> NuestrosEnTexto(const std::string& texto, const std::set<std::string>& nuestros) {
  std::vector<std::string> r;
  for (size_t a = texto.find('<'); a != std::string::npos; a = texto.find('<', a + 1)) {
    const size_t b = texto.find('>', a);
    if (b == std::string::npos || b - a > 998) break;
    const std::string id = texto.substr(a, b - a + 1);
    if (nuestros.count(id) && std::find(r.begin(), r.end(), id) == r.end()) r.push_back(id);
  }
  return r;
}

// The first line of a plain bounce that carries an SMTP refusal ("550 5.1.1 ...").
std::string LineaDeRechazo(const std::string& texto, bool& transitorio) {
  size_t i = 0;
  while (i < texto.size()) {
    size_t fin = texto.find('\n', i);
    if (fin == std::string::npos) fin = texto.size();
    const std::string linea = Recortar(texto.substr(i, fin - i));
    i = fin + 1;
    for (size_t k = 0; k + 3 <= linea.size(); ++k) {
      const char c = linea[k];
      if ((c != '5' && c != '4') || (k > 0 && std::isalnum(static_cast<unsigned char>(linea[k - 1]))))
        continue;
      if (!std::isdigit(static_cast<unsigned char>(linea[k + 1])) ||
          !std::isdigit(static_cast<unsigned char>(linea[k + 2])))
        continue;
      if (k + 3 < linea.size() && linea[k + 3] != ' ' && linea[k + 3] != '-') continue;
      transitorio = c == '4';
      return linea.substr(k);
    }
  }
  return "";
}

bool EsRebotePlano(GMimeMessage* m) {
  const std::string de = Minus(Encabezado(GMIME_OBJECT(m), "From"));
  for (const char* quien : {"mailer-daemon", "postmaster", "mail delivery"})
    if (de.find(quien) != std::string::npos) return true;
  const char* s = g_mime_message_get_subject(m);
  const std::string asunto = Minus(s ? s : "");
  for (const char* marca :
       {"undeliver", "delivery status notification", "mail delivery failed", "returned mail",
        "delivery failure", "failure notice", "no se pudo entregar", "no entregado"})
    if (asunto.find(marca) != std::string::npos) return true;
  return false;
}

bool EsRespuestaAutomatica(GMimeMessage* m) {
  GMimeObject* o = GMIME_OBJECT(m);
  const std::string auto_ = Minus(Encabezado(o, "Auto-Submitted"));
  if (!auto_.empty() && auto_ != "no") return true;
  if (!Encabezado(o, "X-Autoreply").empty() || !Encabezado(o, "X-Autorespond").empty()) return true;
  const std::string precedencia = Minus(Encabezado(o, "Precedence"));
  if (precedencia == "auto_reply") return true;
  const char* s = g_mime_message_get_subject(m);
  const std::string asunto = Minus(s ? s : "");
  for (const char* marca : {"out of office", "automatic reply", "autoreply", "auto:", "respuesta autom",
                            "fuera de la oficina", "ausente"})
    if (asunto.rfind(marca, 0) == 0) return true;
  return false;
}

}  // namespace

const char* PalabraAviso(TipoAviso tipo) {
  switch (tipo) {
    case TipoAviso::Rebotado: return "REBOTADO";
    case TipoAviso::Demorado: return "DEMORADO";
    case TipoAviso::Respondido: return "RESPONDIDO";
    case TipoAviso::RespuestaAutomatica: return "RESPUESTA AUTOMATICA";
    case TipoAviso::Ninguno: break;
  }
  return "";
}

std::vector<Aviso> LeerAviso(const std::string& mensaje, const std::set<std::string>& nuestros) {
  IniciarGMime();
  std::vector<Aviso> r;
  GMimeMessage* m = Analizar(mensaje);
  if (!m) return r;
  GMimeObject* raiz = g_mime_message_get_mime_part(m);
  Partes partes;
  if (raiz) {
    GMimeContentType* tipo = g_mime_object_get_content_type(raiz);
    const char* informe = g_mime_object_get_content_type_parameter(raiz, "report-type");
    partes.informe = tipo && g_mime_content_type_is_type(tipo, "multipart", "report") && informe &&
                     Minus(informe) == "delivery-status";
    Recorrer(raiz, partes, 0);
  }
  std::vector<std::string> referidos =
      Identificadores(g_mime_object_get_header(GMIME_OBJECT(m), "In-Reply-To"));
  for (const auto& id : Identificadores(g_mime_object_get_header(GMIME_OBJECT(m), "References")))
    referidos.push_back(id);

  auto agregar = [&](TipoAviso tipo, const std::string& id, const std::string& destinatario,
                     const std::string& diagnostico) {
    if (!nuestros.count(id)) return;  // never a notice for a mail that is not ours
    for (const Aviso& a : r)
      if (a.messageId == id && a.destinatario == destinatario && a.tipo == tipo) return;
    Aviso a;
    a.tipo = tipo;
    a.messageId = id;
    a.destinatario = destinatario;
    a.diagnostico = diagnostico;
    r.push_back(a);
  };

  const bool rebotePlano = !partes.informe && EsRebotePlano(m);
  if (partes.informe || rebotePlano) {
    std::vector<std::string> ids = partes.ids;
    ids.insert(ids.end(), referidos.begin(), referidos.end());
    if (std::none_of(ids.begin(), ids.end(), [&](const std::string& id) { return nuestros.count(id) > 0; }))
      ids = NuestrosEnTexto(partes.texto, nuestros);
    if (partes.informe) {
      for (const Campos& c : partes.destinatarios) {
        const auto accion = c.find("action");
        const std::string a = accion == c.end() ? "" : Minus(accion->second);
        const TipoAviso t = a == "failed"    ? TipoAviso::Rebotado
                            : a == "delayed" ? TipoAviso::Demorado
                                             : TipoAviso::Ninguno;
        if (t == TipoAviso::Ninguno) continue;
        std::string destinatario = c.count("final-recipient") ? SinTipo(c.at("final-recipient")) : "";
        if (destinatario.empty() && c.count("original-recipient"))
          destinatario = SinTipo(c.at("original-recipient"));
        std::string diagnostico = c.count("diagnostic-code") ? SinTipo(c.at("diagnostic-code")) : "";
        if (diagnostico.empty() && c.count("status")) diagnostico = c.at("status");
        for (const auto& id : ids) agregar(t, id, destinatario, diagnostico);
      }
    } else {
      bool transitorio = false;
      const std::string linea = LineaDeRechazo(partes.texto, transitorio);
      for (const auto& id : ids)
        agregar(transitorio ? TipoAviso::Demorado : TipoAviso::Rebotado, id, "", linea);
    }
  } else {
    const TipoAviso t = EsRespuestaAutomatica(m) ? TipoAviso::RespuestaAutomatica : TipoAviso::Respondido;
    for (const auto& id : referidos) {
      if (!nuestros.count(id)) continue;
      agregar(t, id, "", "");
      Aviso& a = r.back();
      if (InternetAddressList* de = g_mime_message_get_from(m)) {
        char* texto = internet_address_list_to_string(de, nullptr, FALSE);
        a.remitente = texto ? texto : "";
        g_free(texto);
      }
      a.fecha = Encabezado(GMIME_OBJECT(m), "Date");
      const char* s = g_mime_message_get_subject(m);
      a.asunto = s ? s : "";
      break;  // one reply answers one mail
    }
  }
  g_object_unref(m);
  return r;
}

}  // namespace tspost
