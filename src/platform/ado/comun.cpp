// Pieces both roads share: error raising, type names, dates as ISO text.
#include <cctype>
#include <cmath>
#include <cstdio>

#include "platform/ado/backend.h"

namespace ado {

void CursorMemoria::Copiar(Cursor& otro) {
  size_t n = columnas_.size();
  std::vector<basic::Variant> fila(n);
  while (otro.Siguiente()) {
    for (size_t c = 0; c < n; ++c) otro.Leer(c, fila[c]);
    for (auto& v : fila) datos_.push_back(v);
    ++filas_;
  }
}

void Backend::Fallar(std::vector<Error> lista) {
  errores_.Clear();
  for (const auto& e : lista) errores_.Append(e);
  const Error& p = lista.front();
  throw ErrorEjecucion(p.Number, p.Description, p.Source);
}

std::string Mayus(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool IgualSinCaso(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

void ErrorAdo(long numero, const std::string& fuente) {
  const char* d = "";
  switch (numero) {
    case 3705: d = "No se permite realizar esta operación si el objeto está abierto."; break;
    case 3704: d = "No se permite realizar esta operación si el objeto está cerrado."; break;
    case 3709:
      d = "No se puede usar la conexión para realizar esta operación. Está cerrada o no es "
          "válida en este contexto.";
      break;
    case 3219: d = "No se permite realizar la operación en este contexto."; break;
    case 3265:
      d = "No se encontró el elemento en la colección que corresponde al nombre o al ordinal "
          "solicitado.";
      break;
    case 3021:
      d = "BOF o EOF es True, o el registro actual se eliminó. La operación solicitada requiere "
          "un registro actual.";
      break;
    case 3251:
      d = "El Recordset actual no admite actualizaciones. Puede tratarse de una limitación del "
          "proveedor o del tipo de bloqueo seleccionado.";
      break;
    case 3421: d = "La aplicación usa un valor de tipo incorrecto para la operación actual."; break;
    case 3706: d = "No se encuentra el proveedor. Es posible que no esté instalado correctamente."; break;
    case -2147217884: d = "El conjunto de filas no admite recuperar hacia atrás."; break;
    default: d = "Error de la capa de datos."; break;
  }
  throw ErrorEjecucion(numero, d, fuente);
}

void TipoDeclarado(const std::string& declarado, long& tipo, long& tamano) {
  std::string d = Mayus(declarado);
  long n = 0;
  size_t p = d.find('(');
  if (p != std::string::npos) {
    n = std::atol(d.c_str() + p + 1);
    if (d.find("MAX", p) != std::string::npos) n = -1;
  }
  auto tiene = [&](const char* w) { return d.find(w) != std::string::npos; };
  if (tiene("CHAR") || tiene("TEXT") || tiene("CLOB") || tiene("UNIQUEIDENTIFIER")) {
    bool ancho = d.rfind("N", 0) == 0;  // NCHAR, NVARCHAR, NTEXT
    if (tiene("TEXT") || tiene("CLOB") || n < 0) {
      tipo = ancho ? adLongVarWChar : adLongVarChar;
      tamano = 2147483647;
    } else if (tiene("VARCHAR") || tiene("UNIQUEIDENTIFIER")) {
      tipo = ancho ? adVarWChar : adVarChar;
      tamano = n > 0 ? n : (tiene("UNIQUEIDENTIFIER") ? 38 : 8000);
    } else {
      tipo = ancho ? adWChar : adChar;
      tamano = n > 0 ? n : 1;
    }
  } else if (tiene("BIT") || tiene("BOOL")) {
    tipo = adBoolean, tamano = 2;
  } else if (tiene("TINYINT")) {
    tipo = 17, tamano = 1;  // adUnsignedTinyInt
  } else if (tiene("SMALLINT")) {
    tipo = adSmallInt, tamano = 2;
  } else if (tiene("BIGINT")) {
    tipo = adBigInt, tamano = 8;
  } else if (tiene("INT")) {
    tipo = adInteger, tamano = 4;
  } else if (tiene("MONEY")) {
    tipo = adCurrency, tamano = 8;
  } else if (tiene("DATE") || tiene("TIME")) {
    tipo = adDBTimeStamp, tamano = 16;
  } else if (tiene("NUMERIC") || tiene("DECIMAL")) {
    tipo = adNumeric, tamano = 19;
  } else if (tiene("REAL")) {
    tipo = adSingle, tamano = 4;
  } else if (tiene("FLOA") || tiene("DOUB")) {
    tipo = adDouble, tamano = 8;
  } else if (tiene("BLOB") || tiene("BINARY") || tiene("IMAGE")) {
    tipo = adLongVarBinary, tamano = 2147483647;
  } else {
    tipo = adEmpty, tamano = 0;  // decided by the values
  }
}

namespace {
long DiasCiviles(long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long>(doe) - 719468;  // days since 1970-01-01
}
constexpr long kDias1899 = -25569;  // 1899-12-30 from 1970-01-01

int Num(const char* s, size_t n, size_t& i, size_t digitos) {
  int v = 0;
  for (size_t k = 0; k < digitos; ++k, ++i) {
    if (i >= n || !std::isdigit(static_cast<unsigned char>(s[i]))) return -1;
    v = v * 10 + (s[i] - '0');
  }
  return v;
}
}  // namespace

bool IsoAFecha(const char* s, size_t n, basic::Fecha& f) {
  size_t i = 0;
  int y = Num(s, n, i, 4);
  if (y < 0 || i >= n || s[i++] != '-') return false;
  int m = Num(s, n, i, 2);
  if (m < 1 || m > 12 || i >= n || s[i++] != '-') return false;
  int d = Num(s, n, i, 2);
  if (d < 1 || d > 31) return false;
  double seg = 0;
  if (i < n) {
    if (s[i] != ' ' && s[i] != 'T') return false;
    ++i;
    int hh = Num(s, n, i, 2);
    if (hh < 0 || i >= n || s[i++] != ':') return false;
    int mi = Num(s, n, i, 2);
    if (mi < 0) return false;
    double ss = 0;
    if (i < n && s[i] == ':') {
      ++i;
      int e = Num(s, n, i, 2);
      if (e < 0) return false;
      ss = e;
      if (i < n && s[i] == '.') {
        ++i;
        double esc = 0.1;
        while (i < n && std::isdigit(static_cast<unsigned char>(s[i]))) {
          ss += (s[i++] - '0') * esc;
          esc /= 10;
        }
      }
    }
    if (i != n) return false;
    seg = hh * 3600.0 + mi * 60.0 + ss;
  }
  long dias = DiasCiviles(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) - kDias1899;
  // OLE dates before 1899-12-30 count the time away from zero.
  double frac = seg / 86400.0;
  f = dias >= 0 ? dias + frac : dias - frac;
  return true;
}

std::string FechaAIso(basic::Fecha f) {
  double dias = std::trunc(f);
  double frac = std::fabs(f - dias);
  long segundos = std::lround(frac * 86400.0);
  long dd = static_cast<long>(dias);
  if (segundos >= 86400) {
    segundos -= 86400;
    dd += f >= 0 ? 1 : -1;
  }
  long z = dd + kDias1899 + 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long y = static_cast<long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04ld-%02u-%02u %02ld:%02ld:%02ld", y, m, d, segundos / 3600,
                (segundos / 60) % 60, segundos % 60);
  return buf;
}

}  // namespace ado
