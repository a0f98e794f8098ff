#pragma once
// The suite's editor programs that "N&uevo" of the list lookup window starts for the
// table being looked up. Their executable names are set in TM440kv.INI, section
// "Consultas" (see docs/lookup.md); the parameter each one takes is fixed.
#include <string>

struct EditorTabla {
  std::string clave;      // INI key naming the program
  std::string programa;   // executable name (INI value or default)
  std::string parametro;  // text handed to the program
};

// The editor for a table (compared trimmed, without regard to case).
EditorTabla EditorDeTabla(const std::string& tabla);
