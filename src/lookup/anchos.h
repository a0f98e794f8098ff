#pragma once
// The column-width file CONSULTASLEN.QZX that the suite's lookup windows share: one line
// per table, two quoted texts, the table name and its widths in twips each followed by
// "|" ("VT_PROVEEDORES","2400|1500|"). Windows-1252 with CR LF.
#include <optional>
#include <string>
#include <vector>

inline constexpr const char* kArchivoAnchos = "CONSULTASLEN.QZX";

// The widths recorded for `tabla` (compared without regard to case), in column order.
// Every record of the table is applied in turn, so the last one wins where they
// overlap. A piece without a number stays nullopt (its column keeps its width). A missing
// or unreadable file gives no widths; malformed lines are skipped.
std::vector<std::optional<int>> LeerAnchos(const std::string& archivo, const std::string& tabla);

// Rewrites the file with the records of other tables kept as they are and one record for
// `tabla`. The new file is written beside it (".AUX") and then put in its place.
// Raises ErrorEjecucion when it cannot be written.
void GrabarAnchos(const std::string& archivo, const std::string& tabla, const std::vector<int>& anchos);
