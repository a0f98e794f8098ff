#pragma once
// The system's regional settings, one instance for the whole program. The companion
// layer overrides the defaults from TM440kv.INI at start-up.
//
// fechaCorta and hora are patterns in the terms of Format (d, m, y, h, n/m, s; the case
// does not matter, "mm" next to hours or seconds means minutes).
#include <string>

namespace basic {

struct Regional {
  std::string fechaCorta = "dd/mm/yyyy";
  std::string hora = "HH:mm:ss";
  std::string separadorDecimal = ",";
  std::string separadorMiles = ".";
};

Regional& regional();

}  // namespace basic
