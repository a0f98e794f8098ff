#include "platform/basic/formato.h"

#include <cctype>
#include <cmath>
#include <optional>
#include <vector>

#include "platform/basic/decimal.h"
#include "platform/basic/error.h"
#include "platform/basic/fecha.h"
#include "platform/basic/numero.h"
#include "platform/basic/regional.h"
#include "platform/basic/texto.h"

namespace basic {

namespace {

const char* const kMeses[] = {"enero", "febrero", "marzo",      "abril",   "mayo",      "junio",
                              "julio", "agosto",  "septiembre", "octubre", "noviembre", "diciembre"};
const char* const kMesesCortos[] = {"ene", "feb", "mar", "abr", "may", "jun",
                                    "jul", "ago", "sep", "oct", "nov", "dic"};
const char* const kDias[] = {"domingo", "lunes", "martes", "miércoles", "jueves", "viernes", "sábado"};
const char* const kDiasCortos[] = {"dom", "lun", "mar", "mié", "jue", "vie", "sáb"};

struct Separadores {
  std::string decimal = ".";
  std::string miles = ",";
};

Separadores DeRegion(bool usarRegion) {
  Separadores s;
  if (usarRegion) {
    s.decimal = regional().separadorDecimal;
    s.miles = regional().separadorMiles;
  }
  return s;
}

char Min(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool Empieza(const std::string& p, size_t i, const char* t) {
  for (size_t k = 0; t[k]; ++k)
    if (i + k >= p.size() || p[i + k] != t[k]) return false;
  return true;
}

// Literal at position i ("quoted" or \x), appended to out; returns the length used, 0 when
// there is none.
size_t Literal(const std::string& p, size_t i, std::string* out) {
  if (p[i] == '"') {
    const size_t fin = p.find('"', i + 1);
    const size_t hasta = fin == std::string::npos ? p.size() : fin;
    if (out) *out += p.substr(i + 1, hasta - i - 1);
    return (fin == std::string::npos ? p.size() : fin + 1) - i;
  }
  if (p[i] == '\\' && i + 1 < p.size()) {
    size_t n = 1;  // one UTF-8 character
    while (i + 1 + n < p.size() && (static_cast<unsigned char>(p[i + 1 + n]) & 0xC0) == 0x80) ++n;
    if (out) *out += p.substr(i + 1, n);
    return n + 1;
  }
  return 0;
}

// Splits a pattern into its sections at ";" outside literals.
std::vector<std::string> Secciones(const std::string& p) {
  std::vector<std::string> s(1);
  for (size_t i = 0; i < p.size();) {
    if (size_t n = Literal(p, i, nullptr)) {
      s.back() += p.substr(i, n);
      i += n;
    } else if (p[i] == ';') {
      s.emplace_back();
      ++i;
    } else {
      s.back() += p[i++];
    }
  }
  return s;
}

enum class Clase { Fecha, Numero, Texto, Literal };

Clase Clasificar(const std::string& p) {
  bool numero = false, texto = false;
  for (size_t i = 0; i < p.size();) {
    if (size_t n = Literal(p, i, nullptr)) {
      i += n;
      continue;
    }
    const char c = Min(p[i]);
    if (c == 'd' || c == 'y' || c == 'h' || c == 'n' || c == 's' || c == 'w' || c == 'q' || c == 'c' ||
        c == 't' || (c == 'm' && !numero) || Empieza(p, i, "AM/PM") || Empieza(p, i, "am/pm") ||
        Empieza(p, i, "A/P") || Empieza(p, i, "a/p"))
      return Clase::Fecha;
    if (c == '0' || c == '#') numero = true;
    if (c == '@' || c == '&' || c == '<' || c == '>' || c == '!') texto = true;
    ++i;
  }
  if (numero) return Clase::Numero;
  return texto ? Clase::Texto : Clase::Literal;
}

std::string DosDigitos(int v) {
  std::string s = std::to_string(v);
  return s.size() < 2 ? "0" + s : s;
}

std::string TextoGeneralFecha(Fecha f);

// ---- dates ----

struct TokenFecha {
  enum Tipo { Literal, Dia, Semana, Mes, Trimestre, Anio, Hora, Minuto, Segundo, AmPm, Completo, HoraLarga };
  Tipo tipo;
  int largo = 0;      // run length of the letter
  std::string texto;  // literal text, or the AM/PM pattern as written
};

std::vector<TokenFecha> TokensFecha(const std::string& p) {
  std::vector<TokenFecha> t;
  auto literal = [&](const std::string& s) {
    if (!t.empty() && t.back().tipo == TokenFecha::Literal)
      t.back().texto += s;
    else
      t.push_back({TokenFecha::Literal, 0, s});
  };
  for (size_t i = 0; i < p.size();) {
    std::string lit;
    if (size_t n = Literal(p, i, &lit)) {
      literal(lit);
      i += n;
      continue;
    }
    for (const char* ampm : {"AMPM", "AM/PM", "am/pm", "A/P", "a/p"}) {
      if (Empieza(p, i, ampm)) {
        t.push_back({TokenFecha::AmPm, 0, ampm});
        i += std::string(ampm).size();
        goto siguiente;
      }
    }
    {
      const char c = Min(p[i]);
      size_t j = i;
      while (j < p.size() && Min(p[j]) == c) ++j;
      const int largo = static_cast<int>(j - i);
      TokenFecha::Tipo tipo;
      switch (c) {
        case 'd': tipo = TokenFecha::Dia; break;
        case 'w': tipo = TokenFecha::Semana; break;
        case 'm': tipo = TokenFecha::Mes; break;
        case 'q': tipo = TokenFecha::Trimestre; break;
        case 'y': tipo = TokenFecha::Anio; break;
        case 'h': tipo = TokenFecha::Hora; break;
        case 'n': tipo = TokenFecha::Minuto; break;
        case 's': tipo = TokenFecha::Segundo; break;
        case 'c': tipo = TokenFecha::Completo; break;
        case 't':
          if (largo >= 5) {
            tipo = TokenFecha::HoraLarga;
            break;
          }
          [[fallthrough]];
        default: {
          // any other character (one UTF-8 character at a time) stands for itself
          size_t n = 1;
          while (i + n < p.size() && (static_cast<unsigned char>(p[i + n]) & 0xC0) == 0x80) ++n;
          literal(p.substr(i, n));
          i += n;
          continue;
        }
      }
      t.push_back({tipo, largo, ""});
      i = j;
    }
  siguiente:;
  }
  // "m"/"mm" next to hours or seconds are minutes.
  for (size_t k = 0; k < t.size(); ++k) {
    if (t[k].tipo != TokenFecha::Mes || t[k].largo > 2) continue;
    int antes = static_cast<int>(k) - 1;
    while (antes >= 0 && t[antes].tipo == TokenFecha::Literal) --antes;
    size_t despues = k + 1;
    while (despues < t.size() && t[despues].tipo == TokenFecha::Literal) ++despues;
    if ((antes >= 0 && t[antes].tipo == TokenFecha::Hora) ||
        (despues < t.size() && t[despues].tipo == TokenFecha::Segundo))
      t[k].tipo = TokenFecha::Minuto;
  }
  return t;
}

std::string FormatoFechaPatron(Fecha f, const std::string& patron);

std::string FechaLarga(Fecha f) { return FormatoFechaPatron(f, "dddd, d \"de\" mmmm \"de\" yyyy"); }

std::string FormatoFechaPatron(Fecha f, const std::string& patron) {
  const auto tokens = TokensFecha(patron);
  bool doceHoras = false;
  for (const auto& t : tokens) doceHoras = doceHoras || t.tipo == TokenFecha::AmPm;
  const int y = Year(f), m = Month(f), d = Day(f), h = Hour(f), mi = Minute(f), s = Second(f);
  std::string out;
  for (const auto& t : tokens) {
    switch (t.tipo) {
      case TokenFecha::Literal: out += t.texto; break;
      case TokenFecha::Dia:
        if (t.largo == 1)
          out += std::to_string(d);
        else if (t.largo == 2)
          out += DosDigitos(d);
        else if (t.largo == 3)
          out += kDiasCortos[Weekday(f) - 1];
        else if (t.largo == 4)
          out += kDias[Weekday(f) - 1];
        else if (t.largo == 5)
          out += FormatoFechaPatron(f, regional().fechaCorta);
        else
          out += FechaLarga(f);
        break;
      case TokenFecha::Semana:
        if (t.largo == 1)
          out += std::to_string(Weekday(f));
        else
          out += std::to_string(DateDiff("ww", DateSerial(y, 1, 1), f) + 1);
        break;
      case TokenFecha::Mes:
        if (t.largo == 1)
          out += std::to_string(m);
        else if (t.largo == 2)
          out += DosDigitos(m);
        else if (t.largo == 3)
          out += kMesesCortos[m - 1];
        else
          out += kMeses[m - 1];
        break;
      case TokenFecha::Trimestre: out += std::to_string((m - 1) / 3 + 1); break;
      case TokenFecha::Anio:
        if (t.largo == 1)
          out += std::to_string(DateDiff("d", DateSerial(y, 1, 1), f) + 1);
        else if (t.largo == 2)
          out += DosDigitos(y % 100);
        else {
          std::string a = std::to_string(y);
          while (a.size() < 4) a.insert(a.begin(), '0');
          out += a;
        }
        break;
      case TokenFecha::Hora: {
        int hh = h;
        if (doceHoras) {
          hh = h % 12;
          if (hh == 0) hh = 12;
        }
        out += t.largo == 1 ? std::to_string(hh) : DosDigitos(hh);
        break;
      }
      case TokenFecha::Minuto: out += t.largo == 1 ? std::to_string(mi) : DosDigitos(mi); break;
      case TokenFecha::Segundo: out += t.largo == 1 ? std::to_string(s) : DosDigitos(s); break;
      case TokenFecha::AmPm: {
        const bool pm = h >= 12;
        if (t.texto == "AMPM" || t.texto == "AM/PM")
          out += pm ? "PM" : "AM";
        else if (t.texto == "am/pm")
          out += pm ? "pm" : "am";
        else if (t.texto == "A/P")
          out += pm ? "P" : "A";
        else
          out += pm ? "p" : "a";
        break;
      }
      case TokenFecha::Completo: out += TextoGeneralFecha(f); break;
      case TokenFecha::HoraLarga: out += FormatoFechaPatron(f, regional().hora); break;
    }
  }
  return out;
}

// The date as CStr writes it: short date, plus the time when there is one; a time alone
// when the date part is 30/12/1899.
std::string TextoGeneralFecha(Fecha f) {
  const bool conHora = TimeValue(f) != 0;
  const bool conFecha = DateValue(f) != 0 || !conHora;
  std::string out;
  if (conFecha) out = FormatoFechaPatron(f, regional().fechaCorta);
  if (conHora) out += (conFecha ? " " : "") + FormatoFechaPatron(f, regional().hora);
  return out;
}

// ---- numbers ----

std::string Agrupar(const std::string& digitos, const std::string& miles) {
  std::string out;
  const size_t n = digitos.size();
  for (size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out += miles;
    out += digitos[i];
  }
  return out;
}

struct Item {
  bool marcador;  // a digit placeholder
  char cual;      // '0' or '#'
  std::string texto;
};

std::string FormatoNumeroSeccion(double v, const std::string& p, const Separadores& sep) {
  // Read the section into integer items, fraction items, exponent and the rest.
  std::vector<Item> enteros, fraccion, despues;
  bool hayPunto = false, agrupar = false, hayExponente = false;
  bool exponenteSigno = false;
  int ceroExponente = 0, escalas = 0, porcentajes = 0;
  std::string letraE;
  int comasPendientes = 0;
  bool hayMarcador = false;
  for (size_t i = 0; i < p.size();) {
    std::string lit;
    std::vector<Item>& destino = hayExponente ? despues : (hayPunto ? fraccion : enteros);
    if (size_t n = Literal(p, i, &lit)) {
      destino.push_back({false, 0, lit});
      i += n;
      continue;
    }
    const char c = p[i];
    if (!hayExponente && (c == '0' || c == '#')) {
      if (comasPendientes > 0 && !hayPunto && hayMarcador) agrupar = true;
      comasPendientes = 0;
      hayMarcador = true;
      destino.push_back({true, c, ""});
      ++i;
    } else if (!hayExponente && c == '.' && !hayPunto) {
      escalas += comasPendientes;
      comasPendientes = 0;
      hayPunto = true;
      ++i;
    } else if (!hayExponente && c == ',') {
      if (hayMarcador && !hayPunto) ++comasPendientes;
      ++i;
    } else if (!hayExponente && (c == 'E' || c == 'e') && i + 1 < p.size() &&
               (p[i + 1] == '+' || p[i + 1] == '-') && hayMarcador) {
      hayExponente = true;
      letraE = std::string(1, c);
      exponenteSigno = p[i + 1] == '+';
      i += 2;
      while (i < p.size() && (p[i] == '0' || p[i] == '#')) {
        if (p[i] == '0') ++ceroExponente;
        ++i;
      }
    } else {
      if (c == '%') ++porcentajes;
      size_t n = 1;
      while (i + n < p.size() && (static_cast<unsigned char>(p[i + n]) & 0xC0) == 0x80) ++n;
      destino.push_back({false, 0, p.substr(i, n)});
      i += n;
    }
  }
  if (!hayPunto) escalas += comasPendientes;  // commas at the end scale too
  if (!hayMarcador) {
    std::string out;
    for (const auto& it : enteros) out += it.texto;
    return out;
  }

  double valor = std::fabs(v);
  for (int k = 0; k < porcentajes; ++k) valor *= 100;
  for (int k = 0; k < escalas; ++k) valor /= 1000;
  // Infinity (Val of "1E999") has no digits to write: the classic overflow, not "0".
  if (!std::isfinite(valor)) throw ErrorEjecucion(6, "Desbordamiento", "Format");

  int decimales = 0;
  for (const auto& it : fraccion) decimales += it.marcador;
  int marcadoresEnteros = 0;
  for (const auto& it : enteros) marcadoresEnteros += it.marcador;

  int exponente = 0;
  if (hayExponente && valor != 0) {
    const int digitosEnteros = std::max(1, marcadoresEnteros);
    exponente = static_cast<int>(std::floor(std::log10(valor))) - (digitosEnteros - 1);
    double mantisa = valor / std::pow(10.0, exponente);
    // Rounding may add a digit (9.99 -> 10.0): move the exponent once more.
    std::string prueba = DigitosRedondeados(mantisa, decimales, false);
    if (static_cast<int>(prueba.size()) - decimales > digitosEnteros) {
      ++exponente;
      mantisa = valor / std::pow(10.0, exponente);
    }
    valor = mantisa;
  }

  std::string digitos = DigitosRedondeados(valor, decimales, false);
  while (static_cast<int>(digitos.size()) <= decimales) digitos.insert(digitos.begin(), '0');
  std::string parteEntera = digitos.substr(0, digitos.size() - decimales);
  std::string parteDecimal = digitos.substr(digitos.size() - decimales);
  if (parteEntera == "0") parteEntera.clear();

  // Fraction: '#' positions at the end drop their zeros.
  int mostrar = decimales;
  {
    int k = decimales;
    for (int idx = static_cast<int>(fraccion.size()) - 1; idx >= 0; --idx) {
      if (!fraccion[idx].marcador) continue;
      --k;
      if (fraccion[idx].cual == '#' && parteDecimal[k] == '0' && mostrar == k + 1)
        mostrar = k;
      else
        break;
    }
  }
  std::string textoFraccion;
  {
    int k = 0;
    for (const auto& it : fraccion) {
      if (!it.marcador)
        textoFraccion += it.texto;
      else if (k < mostrar)
        textoFraccion += parteDecimal[k++];
      else
        ++k;
    }
  }

  // Integer: zeros from the first '0' placeholder on are always written.
  int minimo = 0;
  {
    int posicion = 0;
    for (const auto& it : enteros) {
      if (!it.marcador) continue;
      if (it.cual == '0') {
        minimo = marcadoresEnteros - posicion;
        break;
      }
      ++posicion;
    }
  }
  while (static_cast<int>(parteEntera.size()) < minimo) parteEntera.insert(parteEntera.begin(), '0');

  std::string textoEntero;
  if (agrupar) {
    // Literals before the first and after the last placeholder keep their place.
    size_t primero = enteros.size(), ultimo = 0;
    for (size_t k = 0; k < enteros.size(); ++k)
      if (enteros[k].marcador) {
        primero = std::min(primero, k);
        ultimo = k;
      }
    for (size_t k = 0; k < primero; ++k) textoEntero += enteros[k].texto;
    textoEntero += Agrupar(parteEntera, sep.miles);
    for (size_t k = ultimo + 1; k < enteros.size(); ++k) textoEntero += enteros[k].texto;
  } else {
    // Digits fill the placeholders from the right; extra digits go to the first one.
    std::vector<std::string> piezas(enteros.size());
    int resto = static_cast<int>(parteEntera.size());
    int primerMarcador = -1;
    for (int k = static_cast<int>(enteros.size()) - 1; k >= 0; --k) {
      if (!enteros[k].marcador) {
        piezas[k] = enteros[k].texto;
        continue;
      }
      primerMarcador = k;
      if (resto > 0) piezas[k] = parteEntera.substr(--resto, 1);
    }
    if (resto > 0 && primerMarcador >= 0)
      piezas[primerMarcador] = parteEntera.substr(0, resto) + piezas[primerMarcador];
    for (const auto& pz : piezas) textoEntero += pz;
  }

  std::string out = textoEntero;
  if (!textoFraccion.empty() && mostrar > 0) out += sep.decimal;
  out += textoFraccion;
  if (hayExponente) {
    std::string e = std::to_string(std::abs(exponente));
    while (static_cast<int>(e.size()) < ceroExponente) e.insert(e.begin(), '0');
    out += letraE + (exponente < 0 ? "-" : (exponenteSigno ? "+" : "")) + e;
    for (const auto& it : despues) out += it.texto;
  }
  return out;
}

// Whether v shows only zeros under the section (so that -0.001 with "0.00" is "0.00").
bool RedondeaACero(double v, const std::string& seccion) {
  return FormatoNumeroSeccion(v, seccion, Separadores{}).find_first_of("123456789") == std::string::npos;
}

std::string FormatoNumero(double v, const std::string& patron, const Separadores& sep) {
  const auto s = Secciones(patron);
  if (v < 0 && s.size() >= 2 && !s[1].empty()) return FormatoNumeroSeccion(v, s[1], sep);
  if (v == 0 && s.size() >= 3 && !s[2].empty()) return FormatoNumeroSeccion(v, s[2], sep);
  if (v < 0 && !RedondeaACero(v, s[0])) return "-" + FormatoNumeroSeccion(v, s[0], sep);
  return FormatoNumeroSeccion(v, s[0], sep);
}

// ---- texts ----

std::string FormatoTexto(const std::string& texto, const std::string& patron) {
  const std::string p = Secciones(patron)[0];
  bool izquierda = false;
  int caso = 0;
  struct Pieza {
    bool marcador;
    char cual;
    std::string texto;
  };
  std::vector<Pieza> piezas;
  int marcadores = 0;
  for (size_t i = 0; i < p.size();) {
    std::string lit;
    if (size_t n = Literal(p, i, &lit)) {
      piezas.push_back({false, 0, lit});
      i += n;
      continue;
    }
    const char c = p[i];
    if (c == '@' || c == '&') {
      piezas.push_back({true, c, ""});
      ++marcadores;
      ++i;
    } else if (c == '<') {
      caso = -1;
      ++i;
    } else if (c == '>') {
      caso = 1;
      ++i;
    } else if (c == '!') {
      izquierda = true;
      ++i;
    } else {
      piezas.push_back({false, 0, std::string(1, c)});
      ++i;
    }
  }
  std::string t = caso < 0 ? LCase(texto) : (caso > 0 ? UCase(texto) : texto);
  if (marcadores == 0) {
    std::string out;
    for (const auto& pz : piezas) out += pz.texto;
    return t + out;
  }
  const auto c = ACodigos(t);
  const int n = static_cast<int>(c.size());
  std::vector<std::string> salida(piezas.size());
  if (!izquierda) {  // fill from the right; extra characters go to the first placeholder
    int resto = n, primero = -1;
    for (int k = static_cast<int>(piezas.size()) - 1; k >= 0; --k) {
      if (!piezas[k].marcador) {
        salida[k] = piezas[k].texto;
        continue;
      }
      primero = k;
      if (resto > 0)
        salida[k] = DeCodigos(c.substr(--resto, 1));
      else
        salida[k] = piezas[k].cual == '@' ? " " : "";
    }
    if (resto > 0) salida[primero] = DeCodigos(c.substr(0, resto)) + salida[primero];
  } else {
    int usado = 0, ultimo = -1;
    for (size_t k = 0; k < piezas.size(); ++k) {
      if (!piezas[k].marcador) {
        salida[k] = piezas[k].texto;
        continue;
      }
      ultimo = static_cast<int>(k);
      if (usado < n)
        salida[k] = DeCodigos(c.substr(usado++, 1));
      else
        salida[k] = piezas[k].cual == '@' ? " " : "";
    }
    if (usado < n) salida[ultimo] += DeCodigos(c.substr(usado));
  }
  std::string out;
  for (const auto& s : salida) out += s;
  return out;
}

// ---- dispatch ----

std::optional<std::string> Nombrado(const std::string& patron, std::string& equivalente) {
  const std::string p = LCase(Trim(patron));
  if (p == "short date")
    equivalente = regional().fechaCorta;
  else if (p == "long date")
    equivalente = "dddddd";
  else if (p == "medium date")
    equivalente = "dd-mmm-yy";
  else if (p == "long time")
    equivalente = regional().hora;
  else if (p == "medium time")
    equivalente = "hh:mm AMPM";
  else if (p == "short time")
    equivalente = "hh:mm";
  else if (p == "fixed")
    equivalente = "0.00";
  else if (p == "standard")
    equivalente = "#,##0.00";
  else if (p == "percent")
    equivalente = "0.00%";
  else if (p == "scientific")
    equivalente = "0.00E+00";
  else if (p == "general date" || p == "general number" || p == "yes/no" || p == "true/false" ||
           p == "on/off")
    return p;
  else
    return std::nullopt;
  return std::string();
}

// A number text: regional separators first, then "." as the decimal point.
std::optional<double> NumeroDeTexto(const std::string& s) {
  if (IsNumeric(s)) return CDbl(s);
  const std::string t = Trim(s);
  if (t.empty()) return std::nullopt;
  size_t i = (t[0] == '-' || t[0] == '+') ? 1 : 0;
  size_t digitos = 0;
  bool punto = false;
  for (; i < t.size(); ++i) {
    if (std::isdigit(static_cast<unsigned char>(t[i])))
      ++digitos;
    else if (t[i] == '.' && !punto)
      punto = true;
    else
      return std::nullopt;
  }
  if (digitos == 0) return std::nullopt;
  return Val(t);
}

std::string FormatoGeneral(const Variant& v, bool usarRegion, const std::string& nombre) {
  const Separadores sep = DeRegion(usarRegion);
  if (v.Tipo() == TipoVariant::Boolean) {
    const bool b = v.Booleano();
    if (nombre == "yes/no") return b ? "Sí" : "No";
    if (nombre == "on/off") return b ? "Activado" : "Desactivado";
    if (nombre == "general number") return b ? "-1" : "0";
    return b ? "Verdadero" : "Falso";
  }
  if (v.Tipo() == TipoVariant::Date || nombre == "general date") return TextoGeneralFecha(v.AFecha());
  const double x = v.Numero();
  if (nombre == "yes/no") return x != 0 ? "Sí" : "No";
  if (nombre == "true/false") return x != 0 ? "Verdadero" : "Falso";
  if (nombre == "on/off") return x != 0 ? "Activado" : "Desactivado";
  return NumeroATexto(x, sep.decimal);
}

std::string FormatoValor(const Variant& v, const std::string& patron, bool usarRegion) {
  const Separadores sep = DeRegion(usarRegion);
  if (v.EsEmpty()) return "";
  if (v.EsNull()) {
    const auto s = Secciones(patron);
    if (s.size() >= 4) return FormatoNumeroSeccion(0, s[3], sep);
    return "";
  }
  std::string equivalente;
  const auto nombre = Nombrado(patron, equivalente);
  const std::string p = nombre && nombre->empty() ? equivalente : patron;

  if (const std::string* texto = v.Cadena()) {
    if (p.empty()) return *texto;
    if (IsDate(*texto)) return FormatoValor(Variant::DeFecha(CDate(*texto)), p, usarRegion);
    if (auto n = NumeroDeTexto(*texto)) return FormatoValor(Variant(*n), p, usarRegion);
    if (nombre && !nombre->empty()) return *texto;
    const Clase c = Clasificar(p);
    if (c == Clase::Texto || c == Clase::Literal) return FormatoTexto(*texto, p);
    return *texto;
  }
  if (nombre && !nombre->empty()) return FormatoGeneral(v, usarRegion, *nombre);
  if (p.empty()) return FormatoGeneral(v, usarRegion, "");
  switch (Clasificar(p)) {
    case Clase::Fecha: return FormatoFechaPatron(v.AFecha(), p);
    case Clase::Numero: return FormatoNumero(v.Numero(), p, sep);
    case Clase::Texto:
      return FormatoTexto(
          v.Tipo() == TipoVariant::Date ? TextoGeneralFecha(v.AFecha()) : FormatoGeneral(v, usarRegion, ""),
          p);
    case Clase::Literal: return FormatoNumero(v.Numero(), p, sep);
  }
  return "";
}

}  // namespace

std::string Format(const Variant& v, const std::string& patron) { return FormatoValor(v, patron, false); }

std::string FormatRegional(const Variant& v, const std::string& patron) {
  return FormatoValor(v, patron, true);
}

std::string FormatFecha(Fecha f, const std::string& patron) {
  return FormatoValor(Variant::DeFecha(f), patron, false);
}

}  // namespace basic
