#include <algorithm>
#include <cctype>

#include "companion/companion.h"
#include "platform/basic/regional.h"
#include "platform/basic/texto.h"
#include "platform/ui/operador.h"

namespace {

bool EsBlanco(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string ReemplazarTodo(const std::string& s, const std::string& viejo, const std::string& nuevo) {
  if (viejo.empty()) return s;
  std::string r;
  size_t i = 0;
  for (size_t p; (p = s.find(viejo, i)) != std::string::npos; i = p + viejo.size())
    r.append(s, i, p - i).append(nuevo);
  return r.append(s, i, std::string::npos);
}

// Key stream of the encoding: depends on the position, so repeated characters differ.
unsigned char Clave(size_t i) {
  static const char kClave[] = "ocmail-Orbital";
  return static_cast<unsigned char>((kClave[i % (sizeof kClave - 1)] + 31 * i + 0x5A) & 0xFF);
}

// Fletcher-16 of the plain bytes: tells an encoded text from any other text.
uint16_t Suma(const std::string& s) {
  uint16_t a = 0, b = 0;
  for (unsigned char c : s) {
    a = static_cast<uint16_t>((a + c) % 255);
    b = static_cast<uint16_t>((b + a) % 255);
  }
  return static_cast<uint16_t>((b << 8) | a);
}

int ValorHex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string Funciones::CortarTexto(const std::string& texto, int n) const {
  return basic::Left(texto, std::max(n, 0));
}

basic::Moneda Funciones::ANumero(const std::string& texto) const {
  size_t i = 0;
  while (i < texto.size() && EsBlanco(texto[i])) ++i;
  bool negativo = false;
  if (i < texto.size() && (texto[i] == '-' || texto[i] == '+')) negativo = texto[i++] == '-';
  while (i < texto.size() && texto[i] == ' ') ++i;
  // The numeric run: digits and the two marks.
  const size_t inicio = i;
  while (i < texto.size() &&
         (std::isdigit(static_cast<unsigned char>(texto[i])) || texto[i] == ',' || texto[i] == '.'))
    ++i;
  const std::string run = texto.substr(inicio, i - inicio);

  const auto comas = std::count(run.begin(), run.end(), ',');
  const auto puntos = std::count(run.begin(), run.end(), '.');
  char decimal = 0;
  if (comas && puntos) {
    decimal = run.find_last_of(',') > run.find_last_of('.') ? ',' : '.';
  } else if (comas == 1 || puntos == 1) {
    decimal = comas ? ',' : '.';
    // The regional thousands mark before exactly three digits is a group, as CDbl reads it.
    const std::string& miles = basic::regional().separadorMiles;
    const size_t p = run.find(decimal);
    if (miles.size() == 1 && miles[0] == decimal && p > 0 && run.size() - p - 1 == 3 &&
        basic::regional().separadorDecimal != miles)
      decimal = 0;
  }

  int64_t entero = 0;
  std::string fraccion;
  bool enFraccion = false;
  for (char c : run) {
    if (c == decimal) {
      if (enFraccion) break;
      enFraccion = true;
    } else if (c == ',' || c == '.') {
      if (enFraccion) break;  // a group mark after the decimal one ends the number
    } else if (enFraccion) {
      fraccion += c;
    } else {
      if (entero > 92233720368547LL) throw ErrorEjecucion(6, "Desbordamiento", "ANumero");
      entero = entero * 10 + (c - '0');
    }
  }
  if (entero > 922337203685476LL) throw ErrorEjecucion(6, "Desbordamiento", "ANumero");
  fraccion.resize(5, '0');
  int64_t escalado = entero * 10000 + std::stoll(fraccion.substr(0, 4));
  if (fraccion[4] >= '5') ++escalado;  // half away from zero
  basic::Moneda m;
  m.escalado = negativo ? -escalado : escalado;
  return m;
}

int16_t Funciones::AEntero(const std::string& texto) const {
  const int64_t e = ANumero(texto).escalado;
  int64_t q = e / 10000, r = e % 10000;
  // Half to even, as the classic integer conversion.
  if (r > 5000 || (r == 5000 && (q & 1))) ++q;
  if (r < -5000 || (r == -5000 && (q & 1))) --q;
  if (q < INT16_MIN || q > INT16_MAX) throw ErrorEjecucion(6, "Desbordamiento", "AEntero");
  return static_cast<int16_t>(q);
}

std::string Funciones::SinNulo(const basic::Variant& valor) const {
  return valor.EsNull() ? std::string() : valor.Texto();
}

int Funciones::ContarPalabras(const std::string& texto) const {
  int n = 0;
  bool enPalabra = false;
  for (char c : texto) {
    if (EsBlanco(c)) {
      enPalabra = false;
    } else if (!enPalabra) {
      enPalabra = true;
      ++n;
    }
  }
  return n;
}

std::string Funciones::QuitarCaracter(const std::string& texto, const std::string& c1, const std::string& c2,
                                      const std::string& c3) const {
  std::string r = texto;
  for (const std::string* c : {&c1, &c2, &c3}) r = ReemplazarTodo(r, *c, "");
  return r;
}

std::string Funciones::ReemplazarCaracter(const std::string& texto, const std::string& viejo,
                                          const std::string& nuevo) const {
  return ReemplazarTodo(texto, viejo, nuevo);
}

std::string Funciones::Reemplazar(const std::string& texto, const std::string& viejo,
                                  const std::string& nuevo) const {
  return ReemplazarTodo(texto, viejo, nuevo);
}

std::string Funciones::ElegirFecha() const { return ui::operador().ElegirFecha(); }

void Funciones::AbrirFormulario(void*, bool) {}

void Funciones::CerrarFormulario(void*, const std::string&) {}

std::string Funciones::FormatearTexto(const std::string& texto, int n) const {
  if (n <= 0) return texto;
  const std::string t = basic::Trim(texto);
  const int largo = basic::Len(t);
  return largo >= n ? t : std::string(static_cast<size_t>(n - largo), ' ') + t;
}

std::string Funciones::FormatearTexto(const basic::Variant& valor, int n) const {
  return FormatearTexto(SinNulo(valor), n);
}

int Funciones::MostrarError(const ErrorEjecucion& error, std::optional<int> botones,
                            const std::string& rutina) const {
  if (error.Number == 0) return 0;
  const std::string mensaje = "Ha ocurrido el Siguiente Error (" + std::to_string(error.Number) + ") " +
                              basic::Trim(error.Description);
  const std::string r = basic::Trim(rutina);
  const std::string titulo = (r.empty() ? "" : r + " - ") + "Aviso al operador!!!";
  return ui::operador().MsgBox(mensaje, botones.value_or(int{ui::vbAbortRetryIgnore} + int{ui::vbCritical}),
                               titulo);
}

std::string Funciones::Codificar(const std::string& texto) const {
  if (texto.empty()) return "";
  static const char kHex[] = "0123456789ABCDEF";
  std::string r;
  r.reserve(texto.size() * 2 + 4);
  for (size_t i = 0; i < texto.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(texto[i]) ^ Clave(i);
    r += kHex[b >> 4];
    r += kHex[b & 15];
  }
  const uint16_t s = Suma(texto);
  for (int sh : {12, 8, 4, 0}) r += kHex[(s >> sh) & 15];
  return r;
}

std::string Funciones::Decodificar(const std::string& texto) const {
  const std::string t = basic::Trim(texto);
  if (t.size() < 6 || t.size() % 2 != 0) return texto;
  std::string plano;
  const size_t n = (t.size() - 4) / 2;
  for (size_t i = 0; i < n; ++i) {
    const int a = ValorHex(t[2 * i]), b = ValorHex(t[2 * i + 1]);
    if (a < 0 || b < 0) return texto;
    plano += static_cast<char>(static_cast<unsigned char>(a * 16 + b) ^ Clave(i));
  }
  uint16_t s = 0;
  for (size_t i = t.size() - 4; i < t.size(); ++i) {
    const int v = ValorHex(t[i]);
    if (v < 0) return texto;
    s = static_cast<uint16_t>(s * 16 + v);
  }
  return s == Suma(plano) ? plano : texto;
}

std::string Funciones::AgregarBarra(const std::string& carpeta) const {
  if (basic::Trim(carpeta).empty()) return "";
  std::string r = carpeta;
  while (!r.empty() && (r.back() == '/' || r.back() == '\\')) r.pop_back();
  return r + "/";
}
