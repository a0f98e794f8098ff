#include "support/recurso_compartido.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "support/puertos.h"

namespace {

std::string Script() { return std::string(OCMAIL_SCRIPTS) + "/recurso-compartido"; }

// The last lines the script wrote on standard error.
std::string Final(const std::string& registro) {
  std::string texto = ReadBytes(registro);
  if (texto.size() > 4000) texto = "..." + texto.substr(texto.size() - 4000);
  return texto;
}

}  // namespace

RecursoCompartido::RecursoCompartido() {
  // Other Unix users (tests that run a program as another user) reach the mounts through it.
  chmod(carpeta_.str().c_str(), 0711);
  const std::string listo = carpeta_ / "listo";
  const std::string registro = carpeta_ / "recurso-compartido.log";
  const std::string puerto = std::to_string(PuertoLibre());
  std::vector<std::string> args = {"/bin/bash", Script(), "--puerto",        puerto,
                                   "--listo",   listo,    carpeta_ / "banco"};
  pid_ = fork();
  if (pid_ == 0) {
    // Its own session: a signal meant for the bed never reaches the test, nor the reverse.
    setsid();
    int fd = open(registro.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd >= 0) {
      dup2(fd, STDOUT_FILENO);
      dup2(fd, STDERR_FILENO);
      close(fd);
    }
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (pid_ < 0) {
    error_ = "no se pudo arrancar " + Script();
    return;
  }
  // The script exits on any failure of its own (missing program, server or mount that
  // died), so waiting while it runs cannot hang on a bed that will never come up.
  while (access(listo.c_str(), F_OK) != 0) {
    int estado = 0;
    if (waitpid(pid_, &estado, WNOHANG) == pid_) {
      pid_ = -1;
      error_ = "el recurso compartido no arrancó (" + Script() + "): " + Final(registro);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::ifstream in(listo);
  for (std::string linea; std::getline(in, linea);) {
    const auto igual = linea.find('=');
    if (igual == std::string::npos) continue;
    const std::string clave = linea.substr(0, igual), valor = linea.substr(igual + 1);
    if (clave == "A") a_ = valor;
    if (clave == "B") b_ = valor;
    if (clave == "SERVIDOR") servidor_ = valor;
    if (clave == "PUERTO") puerto_ = std::stoi(valor);
  }
  listo_ = !a_.empty() && !b_.empty() && !servidor_.empty();
  if (!listo_) error_ = "el archivo " + listo + " no tiene las rutas del recurso";
}

RecursoCompartido::~RecursoCompartido() { Detener(); }

void RecursoCompartido::Detener() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  // The script unmounts on its way out; should it have been killed before, no mount may
  // outlive the bed, or removing its folder would reach into the share.
  std::ifstream montajes("/proc/self/mounts");
  const std::string raiz = carpeta_.str() + "/";
  for (std::string linea; std::getline(montajes, linea);) {
    std::istringstream campos(linea);
    std::string origen, destino;
    campos >> origen >> destino;
    if (destino.rfind(raiz, 0) == 0) umount2(destino.c_str(), MNT_DETACH);
  }
}
