#pragma once
// Decimal rounding of a double as its 15 significant digits are written, so that
// 2.675 rounds like the text "2.675" and not like its binary neighbour.
#include <string>

namespace basic {

// Digits of round(|v| * 10^decimales), without leading zeros ("0" for zero).
// mitadPar: a tie goes to the even digit (Round, CLng); otherwise away from zero (Format).
std::string DigitosRedondeados(double v, int decimales, bool mitadPar);

}  // namespace basic
