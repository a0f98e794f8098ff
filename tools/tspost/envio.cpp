// SMTP delivery through libcurl: plain, STARTTLS or TLS from the first byte.
#include <curl/curl.h>

#include <cstring>
#include <mutex>

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

}  // namespace

ResultadoEnvio EnviarSmtp(const Mensaje& m, const Configuracion& c) {
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

  std::string url = c.Url();
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
  if (!c.usuario.empty()) {
    curl_easy_setopt(curl, CURLOPT_USERNAME, c.usuario.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, c.clave.c_str());
  }

  CURLcode res = curl_easy_perform(curl);
  if (res == CURLE_OK) {
    r.ok = true;
  } else {
    r.error = error[0] ? error : curl_easy_strerror(res);
    long respuesta = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &respuesta);
    if (respuesta) r.error += " (SMTP " + std::to_string(respuesta) + ")";
  }
  curl_slist_free_all(rcpt);
  curl_easy_cleanup(curl);
  return r;
}

}  // namespace tspost
