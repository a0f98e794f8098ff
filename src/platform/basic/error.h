#pragma once
// The run-time error that a failing statement raises inside a routine.
#include <stdexcept>
#include <string>

struct ErrorEjecucion : std::runtime_error {
  long Number;
  std::string Description;
  std::string Source;
  ErrorEjecucion(long number, std::string description, std::string source = "")
      : std::runtime_error(description),
        Number(number),
        Description(std::move(description)),
        Source(std::move(source)) {}
};
