#pragma once
#include "platform/basic/regional.h"

// Restores the program-wide regional settings when a test changed them.
class RegionalGuard {
 public:
  RegionalGuard() : antes_(basic::regional()) {}
  ~RegionalGuard() { basic::regional() = antes_; }

 private:
  basic::Regional antes_;
};
