#pragma once
// Dates as OLE automation dates (days since 30/12/1899, time as the fraction) and the
// classic date functions. Texts are read in the order of the regional short date.
#include <ctime>
#include <string>

#include "platform/basic/variant.h"

namespace basic {

// Months and days out of range carry over (month 13 = January of the next year, day 0 =
// last day of the previous month). Years 0-29 are 2000-2029, 30-99 are 1930-1999.
Fecha DateSerial(int year, int month, int day);
Fecha TimeSerial(int hour, int minute, int second);

int Year(Fecha f);
int Month(Fecha f);
int Day(Fecha f);
int Hour(Fecha f);
int Minute(Fecha f);
int Second(Fecha f);
// 1..7; primerDia 1 = Sunday (the classic default), 2 = Monday...
int Weekday(Fecha f, int primerDia = 1);

Fecha DateValue(Fecha f);  // the date alone
Fecha TimeValue(Fecha f);  // the time alone

// A text is a date when it holds a real calendar date in the order of the regional short
// date (day-month-year by default; also "yyyy-mm-dd"), fields separated by "/", "-" or
// "." (the same twice), a year of 2 or 4 digits, optionally followed by blanks and a time
// "h:mm" or "h:mm:ss" (with AM/PM allowed). "31/02/2024" is not a date.
bool IsDate(const std::string& texto);
bool IsDate(const Variant& v);  // dates, and texts as above
// Raises ErrorEjecucion 13 "No coinciden los tipos" when the text is not a date.
Fecha CDate(const std::string& texto);
Fecha CDate(const Variant& v);  // numbers as days; Null raises 94
inline bool IsDate(const char* s) { return IsDate(std::string(s)); }
inline Fecha CDate(const char* s) { return CDate(std::string(s)); }

// Local broken-down time and back (seconds rounded).
std::tm ATm(Fecha f);
Fecha FechaDesdeTm(const std::tm& t);

// Intervals: "yyyy" years, "q" quarters, "m" months, "ww" weeks, "d"/"y"/"w" days,
// "h" hours, "n" minutes, "s" seconds (case ignored). Adding months keeps the day when
// it exists, else the last day of that month. An unknown interval raises error 5.
Fecha DateAdd(const std::string& intervalo, double numero, Fecha f);
// Number of interval boundaries crossed from f1 to f2 (classic DateDiff).
long DateDiff(const std::string& intervalo, Fecha f1, Fecha f2);

}  // namespace basic
