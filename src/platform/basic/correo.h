#pragma once
// E-mail addresses as the suite's mail program reads them. One rule, used by the dispatch
// (before an order is handed over) and by the mail program (before a message is built), so
// that ocmail never hands over an address that the mail program would hold.
#include <string>
#include <vector>

namespace basic {

// The addresses of a recipient field: split at ";" and ",", blanks trimmed, empty parts dropped.
std::vector<std::string> DividirDirecciones(const std::string& lista);
// One address: "@" with text before and after it, and no blank, control character or any of
// < > " , ; ( ) \ anywhere.
bool DireccionCorreoValida(const std::string& direccion);

}  // namespace basic
