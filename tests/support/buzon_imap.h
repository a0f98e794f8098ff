#pragma once
// A real IMAP server on loopback for tests: Dovecot (dovecot-imapd) started with its own
// configuration in the test's folder, one user with a static password and a maildir, and
// the mail_log plugin logging every flag change. Stopped when the object goes.
#include <sys/types.h>

#include <string>

class BuzonImap {
 public:
  static constexpr const char* kUsuario = "compras";
  static constexpr const char* kClave = "secreto";

  BuzonImap(int puerto, std::string carpeta);
  ~BuzonImap();
  BuzonImap(const BuzonImap&) = delete;
  BuzonImap& operator=(const BuzonImap&) = delete;

  bool Listo() const { return listo_; }
  std::string Error() const { return error_; }
  // Delivers a message into INBOX (new/), as the mail server would.
  void Entregar(const std::string& nombre, const std::string& mensaje);
  // The maildir file names of INBOX (their ":2,<flags>" part says the flags).
  std::string Archivos() const;
  // Dovecot's log.
  std::string Registro() const;

 private:
  std::string carpeta_, maildir_;
  pid_t pid_ = -1;
  bool listo_ = false;
  std::string error_;
  uid_t uid_ = 0;
  gid_t gid_ = 0;
};
