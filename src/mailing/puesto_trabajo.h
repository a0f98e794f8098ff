#pragma once
// The job slot: the one mail job file of an application folder ("cfgMail.txt"), shared by
// every run of every operator who starts ocmail from that folder.
//
// A run holds the slot (an exclusive flock on "cfgMail.lck" beside the job file) from just
// before it writes its job until the mail program has taken it or the run has withdrawn it.
// So while a run holds the slot, no other run writes or withdraws a job, and a job found at
// the path by the holder belongs to a run that died (its lock went with it): it is withdrawn.
//
// The job is written under a private name and linked at the path in one step, so a mail
// program never reads half a job. The mail program takes the job by renaming it away; a run
// withdraws it the same way. Whoever renames first owns the job.
#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>

class PuestoTrabajo {
 public:
  explicit PuestoTrabajo(std::string rutaTrabajo);
  ~PuestoTrabajo();
  PuestoTrabajo(const PuestoTrabajo&) = delete;
  PuestoTrabajo& operator=(const PuestoTrabajo&) = delete;

  const std::string& Ruta() const { return ruta_; }

  // Checks that the job's folder can do what the hand-over needs (an exclusive lock on its
  // lock file, a hard link): raises ErrorEjecucion 75 with a message naming the folder and
  // what it lacks. Contention for the lock is not a failure.
  void Comprobar();
  bool Ocupado() const { return ocupado_; }

  // Waits until no other run has a job out, then holds the slot. The wait ends with false
  // when one job of another run stays at the path longer than `espera` (a job that changes
  // is progress and starts the wait again). `alEsperar` is called while waiting. Raises
  // ErrorEjecucion 75 when the lock file cannot be opened.
  bool Ocupar(std::chrono::milliseconds espera, const std::function<void()>& alEsperar = {});
  // Writes the job (Windows-1252 bytes) and puts it at the path. The slot must be held.
  // Raises ErrorEjecucion 75 when it cannot be written; nothing is left at the path then.
  void Publicar(const std::string& bytes);
  // Whether the published job has left the path (taken by a mail program).
  bool Tomado() const;
  // Withdraws the published job: true when this run got it back (it was not taken), false
  // when a mail program had taken it first.
  bool Retirar();
  // Lets the slot go (after the job was taken or withdrawn).
  void Liberar();

 private:
  void LimpiarRestos();

  std::string ruta_;
  std::string rutaBloqueo_;
  int fdBloqueo_ = -1;
  bool ocupado_ = false;
  bool publicado_ = false;
  bool limpio_ = false;
  dev_t dev_ = 0;
  ino_t ino_ = 0;
};
