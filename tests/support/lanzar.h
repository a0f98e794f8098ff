#pragma once
// Child processes for tests: started without a shell, waited for by pid.
#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

// The user "nobody": folder permissions do not stop root, so tests that need them run
// their program as this user.
constexpr uid_t kNadie = 65534;

// Starts args[0] (searched in PATH) with `entorno` added to the environment; as root and
// with `sinPrivilegios`, as kNadie.
pid_t Lanzar(const std::vector<std::string>& args, const std::map<std::string, std::string>& entorno = {},
             bool sinPrivilegios = false);

// Waits for the process; its exit code, -1 when it did not exit normally.
int Esperar(pid_t pid);
