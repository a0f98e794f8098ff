#pragma once
// A real SMTP server on loopback for tests: tests/fixtures/tspost/smtp_sink.py (aiosmtpd)
// as a child process.
#include <sys/types.h>

#include <QJsonObject>
#include <map>
#include <string>
#include <vector>

// The Python that runs the server: $OCMAIL_PYTHON, else python3.
std::string Python();
// The server script.
std::string ScriptSmtp();
// True when something accepts connections on the loopback port.
bool Escucha(int puerto);
// Waits (at most 10 s) until the server started as `pid` listens on `puerto`; a server that
// ended meanwhile leaves pid -1. True when it listens.
bool EsperarQueEscuche(pid_t& pid, int puerto);

// The server on 127.0.0.1:puerto, writing what it receives into `carpeta`; stopped when
// the object goes.
class ServidorSmtp {
 public:
  // `extra`: mode, user and password of a server that requires TLS and AUTH.
  // `entorno`: e.g. SMTP_SINK_RECHAZAR for recipients it refuses.
  ServidorSmtp(int puerto, std::string carpeta, const std::vector<std::string>& extra = {},
               const std::map<std::string, std::string>& entorno = {});
  ~ServidorSmtp();
  ServidorSmtp(const ServidorSmtp&) = delete;
  ServidorSmtp& operator=(const ServidorSmtp&) = delete;

  bool Listo() const { return listo_; }
  // Decoded messages received so far, in order of arrival.
  std::vector<QJsonObject> Mensajes() const;
  // The messages once `n` have arrived, or what came within 20 seconds (mail programs
  // started by the code under test deliver on their own).
  std::vector<QJsonObject> EsperarMensajes(size_t n) const;

 private:
  std::string carpeta_;
  pid_t pid_ = -1;
  bool listo_ = false;
};
