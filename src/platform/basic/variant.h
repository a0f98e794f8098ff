#pragma once
// The suite's Variant: Empty, Null, text, 16/32-bit integers, double, fixed-point
// currency (four decimals), boolean (-1/0) and date, converted the way the suite's
// language converts them.
#include <cstdint>
#include <string>
#include <variant>

namespace basic {

// A date is an OLE automation date: whole days since 30/12/1899, time as the fraction.
using Fecha = double;

// Type numbers as the suite's language reports them (VarType).
enum class TipoVariant : int {
  Empty = 0,
  Null = 1,
  Integer = 2,
  Long = 3,
  Double = 5,
  Currency = 6,
  Date = 7,
  String = 8,
  Boolean = 11
};

// Fixed-point with four decimals, held as value * 10000.
struct Moneda {
  int64_t escalado = 0;
  static Moneda DesdeDouble(double v);
  double ADouble() const { return static_cast<double>(escalado) / 10000.0; }
  bool operator==(const Moneda&) const = default;
};

class Variant {
 public:
  Variant() = default;  // Empty
  Variant(const char* s) : v_(std::string(s)) {}
  Variant(std::string s) : v_(std::move(s)) {}
  Variant(int16_t i) : v_(i) {}
  Variant(int32_t i) : v_(i) {}
  Variant(double d) : v_(d) {}
  Variant(Moneda m) : v_(m) {}
  Variant(bool b) : v_(BoolTag{b}) {}

  static Variant Null();
  static Variant DeFecha(Fecha f);

  TipoVariant Tipo() const;
  bool EsNull() const;
  bool EsEmpty() const;
  bool EsNumerico() const;  // integer, long, double, currency, boolean

  // Text as CStr gives it; Null and Empty give "" (callers that must reject Null test EsNull).
  // Dates: short date, plus " " and the time when the fraction is not zero.
  // Numbers: shortest form, with the regional decimal separator. Booleans: "Verdadero"/"Falso".
  std::string Texto() const;
  double Numero() const;   // numbers as they are, text through Val, Null/Empty 0
  int32_t Entero() const;  // Numero rounded half to even, as CLng
  bool Booleano() const;   // non-zero numbers, "true"/"verdadero" texts
  Fecha AFecha() const;    // dates as they are, text through CDate, numbers as days

  const std::string* Cadena() const { return std::get_if<std::string>(&v_); }

  bool operator==(const Variant& o) const { return v_ == o.v_; }

 private:
  struct NullTag {
    bool operator==(const NullTag&) const = default;
  };
  struct BoolTag {
    bool valor;
    bool operator==(const BoolTag&) const = default;
  };
  struct FechaTag {
    Fecha valor;
    bool operator==(const FechaTag&) const = default;
  };
  std::variant<std::monostate, NullTag, std::string, int16_t, int32_t, double, Moneda, BoolTag, FechaTag> v_;
};

}  // namespace basic
