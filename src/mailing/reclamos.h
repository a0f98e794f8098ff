#pragma once
// Orders claimed in the database whose hand-over is not settled yet.
//
// A run claims an order (a conditional write of its stamp that one run wins) before it
// writes the order's job, and undoes the claim when the hand-over fails. A run that dies in
// between would leave the order stamped and never mailed, so each claim is first recorded
// in the PC's local folder (one file per claim, written and synced before the claim, removed
// once its hand-over is settled) under a folder of the run that the run keeps locked while
// it lives. The next run or start-up on that PC settles the records of runs that are gone:
// an order whose mail reached the mail program (its record says so, or its spool or its
// journal names the attachment) gets its stamp written where it is missing; any other gets
// its stamp back.
#include <functional>
#include <string>
#include <vector>

struct Reclamo {
  std::string base;           // the database: server and name, as the connection has them
  std::string cuenta;         // supplier code
  std::string idComprobante;  // document number
  std::string leida;          // the stamp the run's list read ("" = none)
  std::string escrita;        // the stamp the claim writes
  std::string adjunto;        // full path of the file the mail carries
  std::string momento;        // "yyyy-mm-dd hh:mm:ss" of the claim (local time)
  bool tomado = false;        // the mail program took the job, and the stamp was not seen after
};

// The claim: the stamp's UPDATE with the condition that the stamp still holds what the list
// read (none, or the earlier date of an order mailed before).
std::string SentenciaReclamo(const Reclamo& r);
// The undo: the stamp read is put back where the stamp still holds what the claim wrote.
std::string SentenciaDeshacerReclamo(const Reclamo& r);
// The stamp of one order, to read it back when the data layer cannot count rows.
std::string SentenciaLeerMarca(const Reclamo& r);
// For a mail that went: the claim's stamp written again where the stamp is gone or still
// holds what the list read (it was lost after the hand-over, or never written).
std::string SentenciaConfirmarReclamo(const Reclamo& r);

// The records of one run: "<local>/RECLAMOS/<run>/", locked while the object lives.
class ReclamosEnCurso {
 public:
  // Raises ErrorEjecucion 75 when the folder or its lock cannot be made.
  explicit ReclamosEnCurso(const std::string& carpetaLocal);
  ~ReclamosEnCurso();
  ReclamosEnCurso(const ReclamosEnCurso&) = delete;
  ReclamosEnCurso& operator=(const ReclamosEnCurso&) = delete;

  // Writes the record and syncs it; its file name. Raises ErrorEjecucion 75 on failure.
  std::string Registrar(const Reclamo& r);
  // The claim is settled (handed over, or undone): its record goes.
  void Quitar(const std::string& archivo);
  // The job was taken but the stamp could not be seen: the record stays, marked taken, so
  // that a later run writes the stamp and never mails the order again. Raises
  // ErrorEjecucion 75 on failure.
  void MarcarTomado(const std::string& archivo, Reclamo r);

 private:
  std::string carpeta_;
  int fdBloqueo_ = -1;
  int siguiente_ = 0;
};

// Where the mail program keeps what it took: its spool folder and its journal files.
struct LugaresCorreo {
  std::string carpetaPendientes;
  std::vector<std::string> diarios;
};

// Settles the records of runs that are gone (their lock is free): see above. `ejecutar`
// runs a statement and gives the rows it changed (or raises). Records of another database, and those whose
// undo fails, stay for a later run. Returns the orders whose stamp was given back.
int SaldarReclamos(const std::string& carpetaLocal, const std::string& base, const LugaresCorreo& correo,
                   const std::function<long(const std::string&)>& ejecutar);

// Whether the mail program has taken the job of the file `adjunto` since `momento`: an item
// of its spool names it, or a journal line for it is that recent.
bool CorreoTomado(const LugaresCorreo& correo, const std::string& adjunto, const std::string& momento);
