// Values and object names as pieces of SQL text.
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>

#include "data/db_dll.h"
#include "platform/basic/numero.h"
#include "platform/basic/regional.h"
#include "platform/basic/texto.h"

namespace {

// ADO type values are compared by value: a number or its decimal text.
long TipoADO(const basic::Variant& q) {
  if (q.EsNull() || q.EsEmpty()) return -1;
  double n = 0;
  if (q.EsNumerico()) {
    n = q.Numero();
  } else {
    const std::string t = basic::Trim(q.Texto());
    if (t.empty() || !basic::IsNumeric(t)) return -1;
    n = basic::Val(t);
  }
  // A number beyond a long is no type (and must not be converted to one).
  return std::fabs(n) < 2147483648.0 ? static_cast<long>(n) : -1;
}

bool EsUno(const basic::Variant& q, std::initializer_list<long> tipos) {
  const long t = TipoADO(q);
  return std::find(tipos.begin(), tipos.end(), t) != tipos.end();
}

ErrorEjecucion ArgumentoNoValido() {
  return ErrorEjecucion(5, "Llamada a procedimiento o argumento no válidos", "DB_Dll");
}

}  // namespace

basic::Variant DB_Dll::SQLValue(const basic::Variant& Valor, const std::string& Tipo) {
  if (Valor.EsNull()) return basic::Variant(std::string(Tipo == "@" ? "0" : "NULL"));
  if (Tipo == "@") {
    const basic::Moneda m = funciones().ANumero(Valor.Texto());
    const std::string texto = basic::NumeroATexto(m.ADouble(), basic::regional().separadorDecimal);
    return basic::Variant(funciones().ReemplazarCaracter(texto, ",", "."));
  }
  if (Tipo == "'")  // apostrophes doubled, so the literal stays one literal
    return basic::Variant("'" + funciones().Reemplazar(Valor.Texto(), "'", "''") + "'");
  return basic::Variant(Valor.Texto());
}

bool DB_Dll::adodate(const basic::Variant& Qtype) const { return EsUno(Qtype, {7, 133, 137, 134, 135, 64}); }

bool DB_Dll::ADOText(const basic::Variant& Qtype) const {
  return EsUno(Qtype, {8, 201, 203, 200, 202, 130, 129});
}

bool DB_Dll::ADONumeric(const basic::Variant& Qtype) const {
  return EsUno(Qtype, {20, 14, 5, 3, 131, 4, 2, 16, 21, 19, 18, 17});
}

bool DB_Dll::ADOCurrency(const basic::Variant& Qtype) const { return EsUno(Qtype, {6}); }

bool DB_Dll::ADOBoolean(const basic::Variant& Qtype) const { return EsUno(Qtype, {11}); }

std::string DB_Dll::ADOComilla(const basic::Variant& Qtype) const {
  return adodate(Qtype) || ADOText(Qtype) ? "'" : "";
}

std::string DB_Dll::AddBrackets(const std::string& rObjName) const {
  if (basic::InStr(rObjName, " ") > 0 && basic::Left(rObjName, 1) != "[") return "[" + rObjName + "]";
  return rObjName;
}

std::string DB_Dll::StripBrackets(const std::string& rsObjName) const {
  if (basic::Left(rsObjName, 1) != "[") return rsObjName;
  return basic::Mid(rsObjName, 2, std::max(basic::Len(rsObjName) - 2, 0));
}

std::string DB_Dll::StripConnect(const std::string& rsTblName) const {
  const int p = basic::InStr(rsTblName, "->");
  if (p == 0) return rsTblName;
  if (p < 2) throw ArgumentoNoValido();
  return basic::Left(rsTblName, p - 2);
}

std::string DB_Dll::StripOwner(std::string& rsTblName) const {
  const int p = basic::InStr(rsTblName, ".");
  if (p > 0) rsTblName = basic::Mid(rsTblName, p + 1);
  return rsTblName;
}

std::string DB_Dll::StripOwner(const std::string& rsTblName) const {
  std::string copia = rsTblName;
  return StripOwner(copia);
}

std::string DB_Dll::stSTF(std::string& rsName, bool rnPart) const {
  const int p = basic::InStr(rsName, ".");
  const int segundo = p > 0 ? basic::InStr(p + 1, rsName, ".") : 0;
  if (segundo > 0) return StripOwner(rsName);
  if (rnPart) return basic::Mid(rsName, p + 1);
  if (p == 0) throw ArgumentoNoValido();
  return basic::Left(rsName, p - 1);
}

std::string DB_Dll::stSTF(const std::string& rsName, bool rnPart) const {
  std::string copia = rsName;
  return stSTF(copia, rnPart);
}

std::string DB_Dll::StripFileName(const std::string& rsFileName) const {
  const int p = std::max(basic::InStrRev(rsFileName, "\\"), basic::InStrRev(rsFileName, "/"));
  return p > 0 ? basic::Left(rsFileName, p - 1) : "";
}
