// tspost --revisar: the sender's own mailbox, read for bounces and replies. libcurl makes
// the connection, TLS and login (CURLOPT_CONNECT_ONLY); EXAMINE and UID FETCH BODY.PEEK[]
// are sent here, so no flag changes (\Seen included) and nothing is moved or deleted.
#include <curl/curl.h>
#include <poll.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "avisos.h"
#include "platform/basic/diario_entregas.h"
#include "platform/basic/texto.h"
#include "tspost.h"

namespace fs = std::filesystem;

namespace tspost {
namespace {

// Commands and replies over the connection libcurl logged in.
class Conversacion {
 public:
  Conversacion(CURL* curl, long segundos) : curl_(curl), segundos_(segundos) {}

  // Sends "<tag> <orden>" and reads until the tagged reply; everything before it (literals
  // included) goes to `datos`. False with `error` on a failure or a reply other than OK.
  bool Orden(const std::string& orden, std::string& datos, std::string& error) {
    const std::string tag = "T" + std::to_string(++numero_);
    if (!Enviar(tag + " " + orden + "\r\n", error)) return false;
    datos.clear();
    size_t p = 0;
    for (;;) {
      // One line at a time; a line ending in {n} carries n bytes after it.
      const size_t fin = leido_.find("\r\n", p);
      if (fin == std::string::npos) {
        if (!Recibir(error)) return false;
        continue;
      }
      const std::string linea = leido_.substr(p, fin - p);
      size_t literal = 0;
      if (!linea.empty() && linea.back() == '}') {
        const size_t llave = linea.rfind('{');
        if (llave != std::string::npos) literal = std::strtoul(linea.c_str() + llave + 1, nullptr, 10);
      }
      if (literal > 0) {
        while (leido_.size() < fin + 2 + literal)
          if (!Recibir(error)) return false;
        p = fin + 2 + literal;
        continue;  // the rest of the logical line follows the literal
      }
      if (linea.rfind(tag + " ", 0) == 0) {
        datos = leido_.substr(0, fin - linea.size());
        leido_.erase(0, fin + 2);
        if (linea.compare(tag.size() + 1, 2, "OK") != 0) {
          error = "el servidor respondio: " + linea.substr(tag.size() + 1);
          return false;
        }
        return true;
      }
      p = fin + 2;
    }
  }

 private:
  bool Esperar(bool escribir, std::string& error) {
    curl_socket_t s = CURL_SOCKET_BAD;
    curl_easy_getinfo(curl_, CURLINFO_ACTIVESOCKET, &s);
    if (s == CURL_SOCKET_BAD) {
      error = "la conexion con el buzon se cerro";
      return false;
    }
    pollfd pfd{static_cast<int>(s), static_cast<short>(escribir ? POLLOUT : POLLIN), 0};
    if (::poll(&pfd, 1, static_cast<int>(segundos_ * 1000)) <= 0) {
      error = "el buzon no respondio en " + std::to_string(segundos_) + " segundos";
      return false;
    }
    return true;
  }
  bool Enviar(const std::string& texto, std::string& error) {
    size_t hecho = 0;
    while (hecho < texto.size()) {
      size_t n = 0;
      const CURLcode r = curl_easy_send(curl_, texto.data() + hecho, texto.size() - hecho, &n);
      if (r == CURLE_AGAIN) {
        if (!Esperar(true, error)) return false;
        continue;
      }
      if (r != CURLE_OK) {
        error = curl_easy_strerror(r);
        return false;
      }
      hecho += n;
    }
    return true;
  }
  bool Recibir(std::string& error) {
    char buf[16384];
    for (;;) {
      size_t n = 0;
      const CURLcode r = curl_easy_recv(curl_, buf, sizeof buf, &n);
      if (r == CURLE_AGAIN) {
        if (!Esperar(false, error)) return false;
        continue;
      }
      if (r != CURLE_OK || n == 0) {
        error = r != CURLE_OK ? curl_easy_strerror(r) : "la conexion con el buzon se cerro";
        return false;
      }
      leido_.append(buf, n);
      return true;
    }
  }

  CURL* curl_;
  long segundos_;
  std::string leido_;
  int numero_ = 0;
};

// The mailbox of the URL's path ("INBOX" when none), %XX decoded, quoted for IMAP.
std::string Buzon(const std::string& url) {
  const size_t esquema = url.find("://");
  const size_t barra = url.find('/', esquema == std::string::npos ? 0 : esquema + 3);
  std::string nombre = barra == std::string::npos ? "" : url.substr(barra + 1);
  std::string r;
  for (size_t i = 0; i < nombre.size(); ++i) {
    if (nombre[i] == '%' && i + 2 < nombre.size()) {
      r += static_cast<char>(std::strtol(nombre.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else if (nombre[i] == ';' || nombre[i] == '?') {
      break;
    } else {
      r += nombre[i];
    }
  }
  if (r.empty()) r = "INBOX";
  std::string q = "\"";
  for (char ch : r) {
    if (ch == '"' || ch == '\\') q += '\\';
    q += ch;
  }
  return q + "\"";
}

// What the last run saw, per PC beside the spool: the mailbox, UIDVALIDITY, last UID.
struct Estado {
  std::string buzon;
  unsigned long validez = 0, ultimo = 0;
};

std::string ArchivoEstado(const Configuracion& c) {
  return (fs::path(c.carpetaPendientes).parent_path() / "BUZON.TXT").string();
}

Estado LeerEstado(const std::string& ruta) {
  Estado e;
  std::ifstream f(ruta);
  for (std::string l; std::getline(f, l);) {
    const size_t tab = l.find('\t');
    if (tab == std::string::npos) continue;
    const std::string k = l.substr(0, tab), v = l.substr(tab + 1);
    if (k == "BUZON") e.buzon = v;
    if (k == "UIDVALIDITY") e.validez = std::strtoul(v.c_str(), nullptr, 10);
    if (k == "ULTIMO") e.ultimo = std::strtoul(v.c_str(), nullptr, 10);
  }
  return e;
}

void GuardarEstado(const std::string& ruta, const Estado& e) {
  std::error_code ec;
  const fs::path carpeta = fs::path(ruta).parent_path();
  if (!fs::exists(carpeta, ec) && fs::create_directories(carpeta, ec))
    fs::permissions(carpeta, fs::perms::owner_all, ec);  // the PC's own folder: the user's alone
  const std::string tmp = ruta + ".tmp";
  {
    std::ofstream f(tmp, std::ios::trunc);
    f << "BUZON\t" << e.buzon << "\nUIDVALIDITY\t" << e.validez << "\nULTIMO\t" << e.ultimo << "\n";
  }
  fs::rename(tmp, ruta, ec);
}

// The messages of a UID FETCH reply: UID and bytes.
std::vector<std::pair<unsigned long, std::string>> Mensajes(const std::string& datos) {
  std::vector<std::pair<unsigned long, std::string>> r;
  const std::string marca = "BODY[] {";
  for (size_t p = datos.find(marca); p != std::string::npos; p = datos.find(marca, p + 1)) {
    const size_t cierre = datos.find("}\r\n", p);
    if (cierre == std::string::npos) break;
    const size_t largo = std::strtoul(datos.c_str() + p + marca.size(), nullptr, 10);
    if (cierre + 3 + largo > datos.size()) break;
    const size_t inicio = datos.rfind("* ", p);
    const size_t uid = datos.find("UID ", inicio == std::string::npos ? 0 : inicio);
    unsigned long numero = 0;
    if (uid != std::string::npos && uid < p) numero = std::strtoul(datos.c_str() + uid + 4, nullptr, 10);
    r.emplace_back(numero, datos.substr(cierre + 3, largo));
    p = cierre + 3 + largo - 1;
  }
  return r;
}

}  // namespace

int Revisar(const Configuracion& c) {
  if (c.buzonEntrada.empty()) return kEntregado;
  auto falla = [&](const std::string& por) {
    Registrar(c, "ERROR", "", "", "no se pudo revisar el buzon " + c.buzonEntrada + ": " + por);
    return kSinTrabajo;
  };
  if (!c.errores.empty()) return falla(c.errores.front());
  std::string usuario = c.usuarioEntrada, clave = c.claveEntrada;
  if (usuario.empty() || clave.empty()) {
    const Credenciales smtp = ObtenerCredenciales(c);
    if (usuario.empty()) usuario = smtp.usuario;
    if (clave.empty()) clave = smtp.clave;
  }

  // Our mails: the journal's Message-IDs, with the line that names each one last.
  std::map<std::string, basic::LineaEntrega> enviados;
  std::map<std::string, std::string> inicio;  // Message-ID -> date of its first line: the attempt
  for (const auto& l : basic::LeerDiarios(c.archivoEntregas, true))
    if (!l.messageId.empty() && !l.archivo.empty()) {
      enviados[l.messageId] = l;
      inicio.emplace(l.messageId, l.fecha);
    }
  std::set<std::string> nuestros;
  for (const auto& [id, l] : enviados) nuestros.insert(id);
  // A bounce counts for the latest attempt of its order only: a late one of a mail sent
  // again since is left out.
  std::map<std::string, std::pair<std::string, std::string>> ultimoIntento;  // attachment -> date, Message-ID
  for (const auto& [id, l] : enviados) {
    auto& u = ultimoIntento[l.archivo];
    if (inicio[id] >= u.first) u = {inicio[id], id};
  }

  CURL* curl = curl_easy_init();
  if (!curl) return falla("no se pudo iniciar libcurl");
  const size_t esquema = c.buzonEntrada.find("://");
  const size_t barra = c.buzonEntrada.find('/', esquema + 3);
  curl_easy_setopt(curl, CURLOPT_URL, (c.buzonEntrada.substr(0, barra) + "/").c_str());
  curl_easy_setopt(curl, CURLOPT_CONNECT_ONLY, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, c.tiempoEspera);
  if (!usuario.empty()) curl_easy_setopt(curl, CURLOPT_USERNAME, usuario.c_str());
  if (!clave.empty()) curl_easy_setopt(curl, CURLOPT_PASSWORD, clave.c_str());
  if (!c.verificarCertificado) {
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
  }
  const CURLcode r = curl_easy_perform(curl);
  if (r != CURLE_OK) {
    curl_easy_cleanup(curl);
    return falla(curl_easy_strerror(r));
  }
  Conversacion imap(curl, c.tiempoEspera);
  const std::string ruta = ArchivoEstado(c);
  Estado estado = LeerEstado(ruta);
  const std::string buzon = c.buzonEntrada + "|" + usuario;
  std::string datos, error;
  if (!imap.Orden("EXAMINE " + Buzon(c.buzonEntrada), datos, error)) {
    curl_easy_cleanup(curl);
    return falla(error);
  }
  unsigned long validez = 0;
  if (const size_t v = datos.find("[UIDVALIDITY "); v != std::string::npos)
    validez = std::strtoul(datos.c_str() + v + 13, nullptr, 10);
  // Another mailbox, or the same one renumbered: everything in it is new.
  if (estado.buzon != buzon || estado.validez != validez) estado = {buzon, validez, 0};
  if (!imap.Orden("UID FETCH " + std::to_string(estado.ultimo + 1) + ":* (UID BODY.PEEK[])", datos, error)) {
    curl_easy_cleanup(curl);
    return falla(error);
  }
  int nuevos = 0, avisos = 0;
  for (const auto& [uid, mensaje] : Mensajes(datos)) {
    if (uid <= estado.ultimo) continue;  // "n:*" names the last message even when n is past it
    ++nuevos;
    estado.ultimo = std::max(estado.ultimo, uid);
    for (const Aviso& a : LeerAviso(mensaje, nuestros)) {
      const basic::LineaEntrega& l = enviados.at(a.messageId);
      if ((a.tipo == TipoAviso::Rebotado || a.tipo == TipoAviso::Demorado) &&
          ultimoIntento[l.archivo].second != a.messageId)
        continue;
      std::string detalle = a.diagnostico;
      if (a.tipo == TipoAviso::Respondido || a.tipo == TipoAviso::RespuestaAutomatica)
        detalle = a.remitente + " | " + a.fecha + " | " + a.asunto;
      basic::AgregarAlDiarioDelEquipo(
          c.archivoEntregas, {basic::FechaDiario(std::time(nullptr)), l.archivo,
                              a.destinatario.empty() ? l.destinatario : a.destinatario, PalabraAviso(a.tipo),
                              basic::TextoVisible(detalle), a.messageId, l.idCola});
      ++avisos;
    }
  }
  std::string nada;
  imap.Orden("LOGOUT", nada, error);
  curl_easy_cleanup(curl);
  GuardarEstado(ruta, estado);
  Registrar(c, "REVISADO", "", "",
            c.buzonEntrada + ": " + std::to_string(nuevos) + " mensaje(s) nuevo(s), " +
                std::to_string(avisos) + " aviso(s)");
  return kEntregado;
}

}  // namespace tspost
