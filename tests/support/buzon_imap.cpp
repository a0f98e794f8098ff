#include "support/buzon_imap.h"

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "support/lanzar.h"
#include "support/servidor_smtp.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

BuzonImap::BuzonImap(int puerto, std::string carpeta) : carpeta_(std::move(carpeta)) {
  const std::string dovecot = "/usr/sbin/dovecot";
  if (::access(dovecot.c_str(), X_OK) != 0) {
    error_ = "falta " + dovecot + " (paquete dovecot-imapd, lo instala scripts/setup)";
    return;
  }
  // Dovecot never serves mail as root: as root the mail belongs to "nobody".
  uid_ = ::getuid() == 0 ? kNadie : ::getuid();
  gid_ = ::getuid() == 0 ? kNadie : ::getgid();
  const passwd* yo = ::getpwuid(::getuid());
  const std::string usuario = yo ? yo->pw_name : "root";
  for (const char* sub : {"run", "state", "home"}) fs::create_directories(carpeta_ + "/" + sub);
  maildir_ = carpeta_ + "/home/" + kUsuario + "/Maildir";
  for (const char* sub : {"cur", "new", "tmp"}) fs::create_directories(maildir_ + "/" + sub);
  for (const auto& e : fs::recursive_directory_iterator(carpeta_ + "/home"))
    ::chown(e.path().c_str(), uid_, gid_);
  ::chown((carpeta_ + "/home").c_str(), uid_, gid_);
  ::chmod(carpeta_.c_str(), 0755);
  // The mail user must reach the maildir through the test's folders.
  for (fs::path p = fs::path(carpeta_).parent_path(); p != p.root_path(); p = p.parent_path()) {
    struct stat st {};
    if (::stat(p.c_str(), &st) == 0 && st.st_uid == ::getuid())
      ::chmod(p.c_str(), (st.st_mode & 07777) | S_IXOTH);
  }
  std::ostringstream c;
  c << "base_dir = " << carpeta_ << "/run\n"
    << "state_dir = " << carpeta_ << "/state\n"
    << "log_path = " << carpeta_ << "/dovecot.log\n"
    << "protocols = imap\nlisten = 127.0.0.1\nssl = no\n"
    << "disable_plaintext_auth = no\nauth_mechanisms = plain login\n"
    << "mail_location = maildir:" << carpeta_ << "/home/%u/Maildir\n"
    << "passdb {\n  driver = static\n  args = password=" << kClave << "\n}\n"
    << "userdb {\n  driver = static\n  args = uid=" << uid_ << " gid=" << gid_ << " home=" << carpeta_
    << "/home/%u\n}\n"
    << "service imap-login {\n  chroot =\n  inet_listener imap {\n    port = " << puerto
    << "\n  }\n  inet_listener imaps {\n    port = 0\n  }\n}\n"
    << "service anvil {\n  chroot =\n}\n"
    << "mail_plugins = $mail_plugins notify mail_log\n"
    << "plugin {\n  mail_log_events = flag_change save copy delete undelete expunge\n"
    << "  mail_log_fields = uid box msgid flags\n}\n";
  if (::getuid() != 0)
    c << "default_internal_user = " << usuario << "\ndefault_login_user = " << usuario << "\n";
  std::ofstream(carpeta_ + "/dovecot.conf") << c.str();
  pid_ = Lanzar({dovecot, "-F", "-c", carpeta_ + "/dovecot.conf"});
  listo_ = EsperarQueEscuche(pid_, puerto);
  if (!listo_) error_ = "Dovecot no arranco: " + Registro();
}

BuzonImap::~BuzonImap() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    Esperar(pid_);
  }
}

void BuzonImap::Entregar(const std::string& nombre, const std::string& mensaje) {
  const std::string tmp = maildir_ + "/tmp/" + nombre;
  WriteBytes(tmp, mensaje);
  ::chown(tmp.c_str(), uid_, gid_);
  fs::rename(tmp, maildir_ + "/new/" + nombre);
}

std::string BuzonImap::Archivos() const {
  std::vector<std::string> nombres;
  for (const char* sub : {"new", "cur"})
    for (const auto& e : fs::directory_iterator(maildir_ + "/" + sub))
      nombres.push_back(std::string(sub) + "/" + e.path().filename().string());
  std::sort(nombres.begin(), nombres.end());
  std::string r;
  for (const auto& n : nombres) r += n + "\n";
  return r;
}

std::string BuzonImap::Registro() const { return ReadBytes(carpeta_ + "/dovecot.log"); }
