#pragma once
// A real SMB share for tests, seen from two PCs: scripts/recurso-compartido (Samba's smbd on
// 127.0.0.1 and a free port, the share mounted twice with smbnetfs, each client with its own
// HOME and settings) run for the life of the object. Needs root, /dev/fuse and the packages
// samba, smbnetfs and fuse3; without them Listo() is false and Error() says why, and the
// test fails: a missing server is never a skip.
#include <sys/types.h>

#include <string>

#include "support/temp_dir.h"

class RecursoCompartido {
 public:
  // Starts the bed in a folder of its own and waits until both mounts answer.
  RecursoCompartido();
  // Unmounts both PCs, stops the server and removes the folder, even after a failed test.
  ~RecursoCompartido();
  RecursoCompartido(const RecursoCompartido&) = delete;
  RecursoCompartido& operator=(const RecursoCompartido&) = delete;

  bool Listo() const { return listo_; }
  // Why the bed did not start, with the script's last words.
  const std::string& Error() const { return error_; }

  // The shared folder as PC A and PC B see it (MOUNT/127.0.0.1:PORT/compartido).
  const std::string& A() const { return a_; }
  const std::string& B() const { return b_; }
  // The same folder on the server's side: the plain local folder Samba shares.
  const std::string& Servidor() const { return servidor_; }
  int Puerto() const { return puerto_; }
  // The bed's own folder: server state, each PC's HOME and logs.
  const TempDir& Carpeta() const { return carpeta_; }

 private:
  void Detener();

  TempDir carpeta_;
  pid_t pid_ = -1;
  bool listo_ = false;
  std::string error_, a_, b_, servidor_;
  int puerto_ = 0;
};
