// SMTP delivery through libcurl: plain, STARTTLS or TLS from the first byte.
#include <curl/curl.h>

#include <cstring>
#include <mutex>
#include <vector>

#include "tspost.h"

namespace tspost {
namespace {

struct Lectura {
  const std::string* datos;
  size_t pos = 0;
};

size_t Leer(char* buf, size_t tam, size_t n, void* usuario) {
  auto* l = static_cast<Lectura*>(usuario);
  size_t quedan = l->datos->size() - l->pos;
  size_t cuantos = std::min(quedan, tam * n);
  std::memcpy(buf, l->datos->data() + l->pos, cuantos);
  l->pos += cuantos;
  return cuantos;
}

// Server replies come through the header callback; each line is kept.
size_t Respuesta(char* buf, size_t tam, size_t n, void* usuario) {
  auto* lineas = static_cast<std::vector<std::string>*>(usuario);
  std::string l(buf, tam * n);
  while (!l.empty() && (l.back() == '\n' || l.back() == '\r')) l.pop_back();
  if (!l.empty()) lineas->push_back(std::move(l));
  return tam * n;
}

}  // namespace

bool ErrorPermanente(long codigoSmtp) {
  // 5xx is final for this message, except a refused login: that is the sender's settings,
  // which the operator may still correct.
  if (codigoSmtp == 530 || codigoSmtp == 534 || codigoSmtp == 535 || codigoSmtp == 538) return false;
  return codigoSmtp >= 500 && codigoSmtp <= 599;
}

ResultadoEnvio EnviarSmtp(const Mensaje& m, const Configuracion& c, const Credenciales& login) {
  static std::once_flag inicio;
  std::call_once(inicio, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

  ResultadoEnvio r;
  CURL* curl = curl_easy_init();
  if (!curl) {
    r.error = "no se pudo iniciar libcurl";
    return r;
  }
  char error[CURL_ERROR_SIZE] = {};
  Lectura lectura{&m.eml};
  curl_slist* rcpt = nullptr;
  for (const auto& d : m.destinatarios) rcpt = curl_slist_append(rcpt, ("<" + d + ">").c_str());

  const std::string url = c.Url();
  std::string from = "<" + m.remitenteSobre + ">";
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.c_str());
  curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, rcpt);
  curl_easy_setopt(curl, CURLOPT_READFUNCTION, Leer);
  curl_easy_setopt(curl, CURLOPT_READDATA, &lectura);
  curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(m.eml.size()));
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, c.tiempoEspera);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, std::min(c.tiempoEspera, 30L));
  if (c.seguridad == Seguridad::StartTls)
    curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
  if (!c.verificarCertificado) {
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
  }
  std::vector<std::string> respuestas;
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, Respuesta);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &respuestas);
  // libcurl never reads the netrc itself: it would fall back to a "default" entry. The
  // netrc's login comes parsed, like any other.
  curl_easy_setopt(curl, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_IGNORED));
  if (login.origen == OrigenClave::Token) {
    // Only XOAUTH2: a server that does not offer it refuses the login rather than
    // receiving the token as a password.
    curl_easy_setopt(curl, CURLOPT_USERNAME, login.usuario.c_str());
    curl_easy_setopt(curl, CURLOPT_XOAUTH2_BEARER, login.clave.c_str());
    curl_easy_setopt(curl, CURLOPT_LOGIN_OPTIONS, "AUTH=XOAUTH2");
    curl_easy_setopt(curl, CURLOPT_SASL_IR, 1L);
  } else if (login.origen != OrigenClave::Ninguna) {
    curl_easy_setopt(curl, CURLOPT_USERNAME, login.usuario.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, login.clave.c_str());
  }

  CURLcode res = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &r.codigo);
  // The reply line of that code: the last one that starts with it (a QUIT may follow).
  const std::string prefijo = std::to_string(r.codigo);
  for (auto it = respuestas.rbegin(); r.codigo && it != respuestas.rend(); ++it)
    if (it->rfind(prefijo, 0) == 0) {
      r.respuesta = *it;
      break;
    }
  if (res == CURLE_OK) {
    r.ok = true;
  } else {
    r.error = error[0] ? error : curl_easy_strerror(res);
    if (r.codigo) r.error += " (SMTP " + std::to_string(r.codigo) + ")";
    r.permanente = ErrorPermanente(r.codigo);
  }
  curl_slist_free_all(rcpt);
  curl_easy_cleanup(curl);
  return r;
}

}  // namespace tspost
