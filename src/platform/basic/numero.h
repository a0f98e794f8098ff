#pragma once
// Numbers from text and back, as the classic functions do them.
//
// Val is the leading-number parse: "." is the only decimal point, whatever the region.
// CDbl/CLng/CInt/IsNumeric read text with the regional separators (thousands groups of
// three digits only) and raise ErrorEjecucion 13 "No coinciden los tipos" for a text
// that is not a number, 6 "Desbordamiento" out of range, 94 "Uso no válido de Null".
#include <cstdint>
#include <string>

#include "platform/basic/variant.h"

namespace basic {

// Leading blanks, tabs and line ends skipped; optional sign; digits; "." and decimals;
// exponent (E or D); or "&H" hexadecimal / "&O" octal. Stops at the first character
// that cannot continue the number: Val("12abc") = 12, Val("") = 0, Val("abc") = 0.
double Val(const std::string& s);

bool IsNumeric(const std::string& s);
bool IsNumeric(const Variant& v);  // numbers and booleans; texts as above; Null no, Empty yes

double CDbl(const std::string& s);
double CDbl(const Variant& v);
int32_t CLng(const std::string& s);  // rounded half to even
int32_t CLng(const Variant& v);
int16_t CInt(const std::string& s);
int16_t CInt(const Variant& v);
// Literals choose the text overloads.
inline bool IsNumeric(const char* s) { return IsNumeric(std::string(s)); }
inline double CDbl(const char* s) { return CDbl(std::string(s)); }
inline int32_t CLng(const char* s) { return CLng(std::string(s)); }
inline int16_t CInt(const char* s) { return CInt(std::string(s)); }

// Round half to even to the given decimals (the classic Round); Int = floor; Fix = toward 0.
double Round(double v, int decimales = 0);
double Int(double v);
double Fix(double v);

// Str: "." decimal point and a leading blank for numbers that are not negative.
std::string Str(double v);

// Shortest text of a number with up to 15 significant digits, with the given decimal
// separator ("1234.5" or "1234,5"); exponent form "1E+20" for very large or small ones.
std::string NumeroATexto(double v, const std::string& separadorDecimal = ".");

}  // namespace basic
