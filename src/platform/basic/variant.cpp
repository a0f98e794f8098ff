#include "platform/basic/variant.h"

#include <cmath>

#include "platform/basic/decimal.h"
#include "platform/basic/error.h"
#include "platform/basic/fecha.h"
#include "platform/basic/formato.h"
#include "platform/basic/numero.h"
#include "platform/basic/regional.h"
#include "platform/basic/texto.h"

namespace basic {

Moneda Moneda::DesdeDouble(double v) {
  // Half to even on the decimal value, as the classic CCur.
  if (!(std::fabs(v) < 9.2e14)) throw ErrorEjecucion(6, "Desbordamiento", "CCur");
  const int64_t e = std::stoll(DigitosRedondeados(v, 4, true));
  return Moneda{v < 0 ? -e : e};
}

Variant Variant::Null() {
  Variant v;
  v.v_ = NullTag{};
  return v;
}

Variant Variant::DeFecha(Fecha f) {
  Variant v;
  v.v_ = FechaTag{f};
  return v;
}

TipoVariant Variant::Tipo() const {
  static const TipoVariant tipos[] = {TipoVariant::Empty,    TipoVariant::Null,    TipoVariant::String,
                                      TipoVariant::Integer,  TipoVariant::Long,    TipoVariant::Double,
                                      TipoVariant::Currency, TipoVariant::Boolean, TipoVariant::Date};
  return tipos[v_.index()];
}

bool Variant::EsNull() const { return std::holds_alternative<NullTag>(v_); }
bool Variant::EsEmpty() const { return std::holds_alternative<std::monostate>(v_); }

bool Variant::EsNumerico() const {
  switch (Tipo()) {
    case TipoVariant::Integer:
    case TipoVariant::Long:
    case TipoVariant::Double:
    case TipoVariant::Currency:
    case TipoVariant::Boolean: return true;
    default: return false;
  }
}

std::string Variant::Texto() const {
  const std::string& dec = regional().separadorDecimal;
  switch (Tipo()) {
    case TipoVariant::Empty:
    case TipoVariant::Null: return "";
    case TipoVariant::String: return std::get<std::string>(v_);
    case TipoVariant::Integer: return std::to_string(std::get<int16_t>(v_));
    case TipoVariant::Long: return std::to_string(std::get<int32_t>(v_));
    case TipoVariant::Double: return NumeroATexto(std::get<double>(v_), dec);
    case TipoVariant::Currency: {
      const int64_t e = std::get<Moneda>(v_).escalado;
      const uint64_t a = e < 0 ? 0 - static_cast<uint64_t>(e) : static_cast<uint64_t>(e);
      std::string t = std::to_string(a / 10000);
      std::string f = std::to_string(a % 10000);
      f.insert(f.begin(), 4 - f.size(), '0');
      while (!f.empty() && f.back() == '0') f.pop_back();
      if (!f.empty()) t += dec + f;
      return (e < 0 ? "-" : "") + t;
    }
    case TipoVariant::Boolean: return std::get<BoolTag>(v_).valor ? "Verdadero" : "Falso";
    case TipoVariant::Date: return Format(*this, "General Date");
  }
  return "";
}

double Variant::Numero() const {
  switch (Tipo()) {
    case TipoVariant::String: return Val(std::get<std::string>(v_));
    case TipoVariant::Integer: return std::get<int16_t>(v_);
    case TipoVariant::Long: return std::get<int32_t>(v_);
    case TipoVariant::Double: return std::get<double>(v_);
    case TipoVariant::Currency: return std::get<Moneda>(v_).ADouble();
    case TipoVariant::Boolean: return std::get<BoolTag>(v_).valor ? -1.0 : 0.0;
    case TipoVariant::Date: return std::get<FechaTag>(v_).valor;
    default: return 0.0;
  }
}

int32_t Variant::Entero() const {
  const double r = Round(Numero(), 0);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) throw ErrorEjecucion(6, "Desbordamiento", "CLng");
  return static_cast<int32_t>(r);
}

bool Variant::Booleano() const {
  if (const std::string* s = Cadena()) {
    const std::string t = LCase(Trim(*s));
    if (t == "true" || t == "verdadero") return true;
    if (t == "false" || t == "falso") return false;
    return Val(t) != 0;
  }
  return Numero() != 0;
}

Fecha Variant::AFecha() const {
  switch (Tipo()) {
    case TipoVariant::Date: return std::get<FechaTag>(v_).valor;
    case TipoVariant::String: return CDate(std::get<std::string>(v_));
    case TipoVariant::Null: throw ErrorEjecucion(94, "Uso no válido de Null", "CDate");
    default: return Numero();
  }
}

}  // namespace basic
