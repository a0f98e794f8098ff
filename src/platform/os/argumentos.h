#pragma once
// The launch line's database password in the process's own arguments: once the program has
// copied its launch line, the value of every "@Password" is overwritten with '*' so that
// `ps` and /proc/PID/cmdline no longer show it.
#include <string>
#include <vector>

namespace os {

// The arguments with each "@Password" value masked, byte for byte ('*', same length). The
// key matches without regard to case; blanks and '=' right after it stay; the value runs
// to the next ';' or the end of the last argument, across arguments when the line came
// split at blanks.
std::vector<std::string> ConClaveOculta(std::vector<std::string> argumentos);

// Masks argv[1] .. argv[argc - 1] in place.
void OcultarClaveEnArgumentos(int argc, char** argv);

}  // namespace os
