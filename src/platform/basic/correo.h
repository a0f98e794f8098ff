#pragma once
// E-mail addresses as the suite's mail program reads them. One rule, used by the dispatch
// (before an order is handed over) and by the mail program (before a message is built), so
// that ocmail never hands over an address that the mail program would hold.
#include <string>
#include <vector>

namespace basic {

// The addresses of a recipient field: split at ";" and ",", blanks trimmed, empty parts dropped.
std::vector<std::string> DividirDirecciones(const std::string& lista);
// One address: a local part of at most 64 bytes with no blank, control character or any of
// < > " , ; ( ) \ [ ] : @, then "@" and a domain of dot-separated labels of letters (also
// an international domain's), digits and hyphens; at most 254 bytes in all.
bool DireccionCorreoValida(const std::string& direccion);

}  // namespace basic
