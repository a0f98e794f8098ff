#pragma once
// The classic Format.
//
// Date patterns (tokens without regard to case): d dd ddd dddd ddddd dddddd, w ww, m mm
// mmm mmmm, q, y yy yyyy, h hh, n nn, s ss, ttttt, c, AM/PM am/pm A/P a/p AMPM; "m"/"mm"
// right after an hour token or before a seconds token are minutes, otherwise months.
// "/", ":", "-", "." and any other character are written as they stand; "\x" and
// "quoted" texts are literals. Day and month names are Spanish.
//
// Number patterns: 0 # . , % E+ E- and literals, up to four sections
// positive;negative;zero;null. Rounding is half away from zero on the decimal value.
//
// Decimal separator: Format always writes "." (and "," for thousands), whatever the
// region. Every caller of a number pattern reads the text back with Val (the leading
// number parse, "." only) or pastes it into SQL, so a regional comma would lose the
// decimals on the way back. FormatRegional writes the regional separators instead, for
// text meant only for display. A number pattern never leaves a bare trailing decimal
// point: Format(2, "0.##") is "2", not "2.".
//
// Text patterns: @ & < > !. Named formats: "General Date", "Long Date", "Medium Date",
// "Short Date", "Long Time", "Medium Time", "Short Time", "General Number", "Fixed",
// "Standard", "Percent", "Scientific", "Yes/No", "True/False", "On/Off".
//
// A text value that is a date is formatted as a date, one that is a number (regional
// separators, or "." as decimal point) as a number, anything else as text. Null and
// Empty give "" (Null takes the fourth number section when there is one). An empty
// pattern gives the text as CStr would, with the separators described above.
#include <string>

#include "platform/basic/variant.h"

namespace basic {

std::string Format(const Variant& v, const std::string& patron = "");
std::string FormatRegional(const Variant& v, const std::string& patron = "");
// A date held as a plain double.
std::string FormatFecha(Fecha f, const std::string& patron);

}  // namespace basic
