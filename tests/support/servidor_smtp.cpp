#include "support/servidor_smtp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QJsonDocument>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "support/lanzar.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

std::string Python() {
  if (const char* p = std::getenv("OCMAIL_PYTHON"); p && *p) return p;
  return fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

std::string ScriptSmtp() { return std::string(OCMAIL_FIXTURES) + "/tspost/smtp_sink.py"; }

bool Escucha(int puerto) {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(puerto));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  close(s);
  return ok;
}

ServidorSmtp::ServidorSmtp(int puerto, std::string carpeta, const std::vector<std::string>& extra,
                           const std::map<std::string, std::string>& entorno)
    : carpeta_(std::move(carpeta)) {
  std::vector<std::string> args = {Python(), ScriptSmtp(), "serve", std::to_string(puerto), carpeta_};
  args.insert(args.end(), extra.begin(), extra.end());
  pid_ = Lanzar(args, entorno);
  listo_ = EsperarQueEscuche(pid_, puerto);
}

bool EsperarQueEscuche(pid_t& pid, int puerto) {
  for (int i = 0; i < 200 && !Escucha(puerto); ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) {
      pid = -1;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return pid > 0 && Escucha(puerto);
}

ServidorSmtp::~ServidorSmtp() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    Esperar(pid_);
  }
}

std::vector<QJsonObject> ServidorSmtp::EsperarMensajes(size_t n) const {
  std::vector<QJsonObject> m = Mensajes();
  for (int i = 0; i < 400 && m.size() < n; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    m = Mensajes();
  }
  return m;
}

std::vector<QJsonObject> ServidorSmtp::Mensajes() const {
  std::vector<std::string> nombres;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(carpeta_, ec))
    if (e.path().extension() == ".json") nombres.push_back(e.path().string());
  std::sort(nombres.begin(), nombres.end());
  std::vector<QJsonObject> r;
  for (const auto& n : nombres)
    r.push_back(QJsonDocument::fromJson(QByteArray::fromStdString(ReadBytes(n))).object());
  return r;
}
