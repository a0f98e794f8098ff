#include "support/lanzar.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

pid_t Lanzar(const std::vector<std::string>& args, const std::map<std::string, std::string>& entorno,
             bool sinPrivilegios) {
  pid_t pid = fork();
  if (pid == 0) {
    if (sinPrivilegios && geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(kNadie) != 0 || setuid(kNadie) != 0))
      _exit(126);
    for (const auto& [k, v] : entorno) setenv(k.c_str(), v.c_str(), 1);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

int Esperar(pid_t pid) {
  int estado = 0;
  waitpid(pid, &estado, 0);
  return WIFEXITED(estado) ? WEXITSTATUS(estado) : -1;
}
