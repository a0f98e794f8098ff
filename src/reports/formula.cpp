#include "reports/formula.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "reports/reporte.h"
#include "platform/basic/formato.h"
#include "platform/basic/texto.h"

namespace reporte {
namespace {

struct Token {
  enum class Tipo { Fin, Campo, Texto, Numero, Palabra, Operador, Abre, Cierra } tipo;
  std::string texto;  // Campo: inside the braces; Texto: unquoted; others as written
  size_t pos = 0;     // 1-based character offset in the formula
};

[[noreturn]] void ErrorFormula(const std::string& formula, const std::string& motivo, size_t pos) {
  std::string msg = "Error en la fórmula de selección: " + motivo;
  if (pos > 0) msg += " (posición " + std::to_string(pos) + ")";
  msg += ": «" + formula + "»";
  throw ErrorEjecucion(Reporte::errFormula, msg, "Reporte");
}

bool EsLetra(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

bool EsIdentificador(const std::string& s) {
  if (s.empty() || std::isdigit(static_cast<unsigned char>(s[0]))) return false;
  for (char c : s) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  }
  return true;
}

std::vector<Token> Tokens(const std::string& f) {
  std::vector<Token> t;
  size_t i = 0;
  const size_t n = f.size();
  while (i < n) {
    char c = f[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
      continue;
    }
    size_t pos = i + 1;
    if (c == '{') {
      size_t fin = f.find('}', i);
      if (fin == std::string::npos) ErrorFormula(f, "falta la llave de cierre del campo", pos);
      t.push_back({Token::Tipo::Campo, f.substr(i + 1, fin - i - 1), pos});
      i = fin + 1;
    } else if (c == '\'' || c == '"') {
      std::string valor;
      size_t j = i + 1;
      bool cerrado = false;
      while (j < n) {
        if (f[j] == c) {
          if (j + 1 < n && f[j + 1] == c) {  // doubled quote
            valor += c;
            j += 2;
            continue;
          }
          cerrado = true;
          break;
        }
        valor += f[j++];
      }
      if (!cerrado) ErrorFormula(f, "texto sin comilla de cierre", pos);
      t.push_back({Token::Tipo::Texto, valor, pos});
      i = j + 1;
    } else if (std::isdigit(static_cast<unsigned char>(c)) ||
               (c == '-' && i + 1 < n && std::isdigit(static_cast<unsigned char>(f[i + 1])))) {
      size_t j = i + 1;
      bool punto = false;
      while (j < n && (std::isdigit(static_cast<unsigned char>(f[j])) || (f[j] == '.' && !punto))) {
        if (f[j] == '.') punto = true;
        ++j;
      }
      t.push_back({Token::Tipo::Numero, f.substr(i, j - i), pos});
      i = j;
    } else if (EsLetra(c)) {
      size_t j = i;
      while (j < n && (EsLetra(f[j]) || std::isdigit(static_cast<unsigned char>(f[j])))) ++j;
      t.push_back({Token::Tipo::Palabra, basic::LCase(f.substr(i, j - i)), pos});
      i = j;
    } else if (c == '(') {
      t.push_back({Token::Tipo::Abre, "(", pos});
      ++i;
    } else if (c == ')') {
      t.push_back({Token::Tipo::Cierra, ")", pos});
      ++i;
    } else if (c == '=' || c == '<' || c == '>') {
      std::string op(1, c);
      if (c == '<' && i + 1 < n && (f[i + 1] == '>' || f[i + 1] == '='))
        op += f[i + 1];
      else if (c == '>' && i + 1 < n && f[i + 1] == '=')
        op += f[i + 1];
      t.push_back({Token::Tipo::Operador, op, pos});
      i += op.size();
    } else {
      ErrorFormula(f, std::string("carácter inesperado '") + c + "'", pos);
    }
  }
  t.push_back({Token::Tipo::Fin, "", n + 1});
  return t;
}

class Parser {
 public:
  Parser(const std::string& f) : f_(f), t_(Tokens(f)) {}

  std::unique_ptr<Nodo> Todo() {
    auto n = O();
    if (Actual().tipo != Token::Tipo::Fin) Falla("se esperaba and, or o el fin de la fórmula");
    return n;
  }

 private:
  const Token& Actual() const { return t_[i_]; }
  bool EsPalabra(const char* p) const { return Actual().tipo == Token::Tipo::Palabra && Actual().texto == p; }
  [[noreturn]] void Falla(const std::string& motivo) const {
    const Token& a = Actual();
    std::string cerca = a.tipo == Token::Tipo::Fin ? "el fin de la fórmula" : "«" + a.texto + "»";
    if (a.tipo == Token::Tipo::Campo) cerca = "{" + a.texto + "}";
    if (a.tipo == Token::Tipo::Texto) cerca = "'" + a.texto + "'";
    ErrorFormula(f_, motivo + ", se encontró " + cerca, a.pos);
  }

  std::unique_ptr<Nodo> Grupo(Nodo::Tipo tipo, std::unique_ptr<Nodo> primero) {
    auto g = std::make_unique<Nodo>();
    g->tipo = tipo;
    g->hijos.push_back(std::move(primero));
    return g;
  }

  std::unique_ptr<Nodo> O() {
    auto izq = Y();
    if (!EsPalabra("or")) return izq;
    auto g = Grupo(Nodo::Tipo::O, std::move(izq));
    while (EsPalabra("or")) {
      ++i_;
      g->hijos.push_back(Y());
    }
    return g;
  }

  std::unique_ptr<Nodo> Y() {
    auto izq = No();
    if (!EsPalabra("and")) return izq;
    auto g = Grupo(Nodo::Tipo::Y, std::move(izq));
    while (EsPalabra("and")) {
      ++i_;
      g->hijos.push_back(No());
    }
    return g;
  }

  // Parentheses and "not" nest by recursion here and in every walk of the tree: a bound
  // keeps a crafted formula from exhausting the stack.
  static constexpr int kMaxAnidado = 256;
  void Entrar() {
    if (++anidado_ > kMaxAnidado) Falla("demasiados paréntesis o not anidados");
  }

  std::unique_ptr<Nodo> No() {
    if (EsPalabra("not")) {
      Entrar();
      ++i_;
      auto g = std::make_unique<Nodo>();
      g->tipo = Nodo::Tipo::No;
      g->hijos.push_back(No());
      --anidado_;
      return g;
    }
    return Primario();
  }

  std::unique_ptr<Nodo> Primario() {
    if (Actual().tipo == Token::Tipo::Abre) {
      Entrar();
      ++i_;
      auto n = O();
      if (Actual().tipo != Token::Tipo::Cierra) Falla("falta el paréntesis de cierre");
      ++i_;
      --anidado_;
      return n;
    }
    if (EsPalabra("isnull")) {
      ++i_;
      if (Actual().tipo != Token::Tipo::Abre) Falla("se esperaba ( después de isnull");
      ++i_;
      if (Actual().tipo != Token::Tipo::Campo) Falla("isnull espera un campo {tabla.columna}");
      auto n = std::make_unique<Nodo>();
      n->tipo = Nodo::Tipo::EsNulo;
      n->izquierdo = Campo(Actual());
      ++i_;
      if (Actual().tipo != Token::Tipo::Cierra) Falla("falta el paréntesis de cierre de isnull");
      ++i_;
      return n;
    }
    auto n = std::make_unique<Nodo>();
    n->tipo = Nodo::Tipo::Comparacion;
    n->izquierdo = Valor();
    if (Actual().tipo != Token::Tipo::Operador) Falla("se esperaba una comparación (=, <>, <, >, <=, >=)");
    n->operador = Actual().texto;
    ++i_;
    n->derecho = Valor();
    if (n->izquierdo.tipo != Operando::Tipo::Campo && n->derecho.tipo != Operando::Tipo::Campo)
      ErrorFormula(f_, "la comparación no nombra ningún campo", t_[i_ - 1].pos);
    return n;
  }

  Operando Campo(const Token& tk) const {
    Operando o;
    o.tipo = Operando::Tipo::Campo;
    std::string interior = basic::Trim(tk.texto);
    size_t punto = interior.find('.');
    if (punto == std::string::npos)
      ErrorFormula(f_, "el campo {" + tk.texto + "} no es {tabla.columna}", tk.pos);
    o.tabla = basic::Trim(interior.substr(0, punto));
    o.columna = basic::Trim(interior.substr(punto + 1));
    if (!EsIdentificador(o.tabla) || !EsIdentificador(o.columna))
      ErrorFormula(f_, "el campo {" + tk.texto + "} no es {tabla.columna}", tk.pos);
    return o;
  }

  Operando Valor() {
    const Token& a = Actual();
    Operando o;
    switch (a.tipo) {
      case Token::Tipo::Campo: o = Campo(a); break;
      case Token::Tipo::Texto:
        o.tipo = Operando::Tipo::Texto;
        o.valor = a.texto;
        break;
      case Token::Tipo::Numero:
        o.tipo = Operando::Tipo::Numero;
        o.valor = a.texto;
        break;
      default: Falla("se esperaba un campo, un texto o un número");
    }
    ++i_;
    return o;
  }

  const std::string& f_;
  std::vector<Token> t_;
  size_t i_ = 0;
  int anidado_ = 0;
};

std::string TextoOperando(const Operando& o) {
  switch (o.tipo) {
    case Operando::Tipo::Campo: return "{" + o.tabla + "." + o.columna + "}";
    case Operando::Tipo::Numero: return o.valor;
    case Operando::Tipo::Texto: return "'" + basic::DoblarComillas(o.valor) + "'";
  }
  return "";
}

struct Traductor {
  const std::vector<std::string>& tablas;
  const std::string& formula;
  Fragmento f;

  void Operando_(const Operando& o) {
    switch (o.tipo) {
      case Operando::Tipo::Campo: {
        if (!tablas.empty()) {
          bool ok = false;
          for (const auto& t : tablas) ok = ok || basic::IgualesSinCaso(t, o.tabla);
          if (!ok) {
            ErrorFormula(formula,
                         "el campo {" + o.tabla + "." + o.columna + "} no es de una tabla del reporte", 0);
          }
        }
        f.sql += o.tabla + "." + o.columna;
        break;
      }
      case Operando::Tipo::Texto:
        f.sql += "?";
        f.valores.emplace_back(o.valor);
        break;
      case Operando::Tipo::Numero: {
        f.sql += "?";
        double d = 0;
        std::from_chars(o.valor.data(), o.valor.data() + o.valor.size(), d);
        if (o.valor.find('.') == std::string::npos && std::fabs(d) < 2147483647.0)
          f.valores.emplace_back(static_cast<int32_t>(d));
        else
          f.valores.emplace_back(d);
        break;
      }
    }
  }

  void Nodo_(const Nodo& n) {
    switch (n.tipo) {
      case Nodo::Tipo::O:
      case Nodo::Tipo::Y: {
        f.sql += "(";
        for (size_t i = 0; i < n.hijos.size(); ++i) {
          if (i) f.sql += n.tipo == Nodo::Tipo::O ? " OR " : " AND ";
          Nodo_(*n.hijos[i]);
        }
        f.sql += ")";
        break;
      }
      case Nodo::Tipo::No:
        f.sql += "(NOT ";
        Nodo_(*n.hijos[0]);
        f.sql += ")";
        break;
      case Nodo::Tipo::EsNulo:
        f.sql += "(";
        Operando_(n.izquierdo);
        f.sql += " IS NULL)";
        break;
      case Nodo::Tipo::Comparacion:
        f.sql += "(";
        Operando_(n.izquierdo);
        f.sql += " " + n.operador + " ";
        Operando_(n.derecho);
        f.sql += ")";
        break;
    }
  }
};

}  // namespace

std::unique_ptr<Nodo> ParsearFormula(const std::string& formula) {
  bool blanca = true;
  for (char c : formula) blanca = blanca && std::isspace(static_cast<unsigned char>(c));
  if (blanca) return nullptr;
  return Parser(formula).Todo();
}

std::string TextoArbol(const Nodo& n) {
  switch (n.tipo) {
    case Nodo::Tipo::O:
    case Nodo::Tipo::Y: {
      std::string s = "(";
      for (size_t i = 0; i < n.hijos.size(); ++i) {
        if (i) s += n.tipo == Nodo::Tipo::O ? " or " : " and ";
        s += TextoArbol(*n.hijos[i]);
      }
      return s + ")";
    }
    case Nodo::Tipo::No: return "not " + TextoArbol(*n.hijos[0]);
    case Nodo::Tipo::EsNulo: return "isnull(" + TextoOperando(n.izquierdo) + ")";
    case Nodo::Tipo::Comparacion:
      return TextoOperando(n.izquierdo) + " " + n.operador + " " + TextoOperando(n.derecho);
  }
  return "";
}

Fragmento SqlFormula(const Nodo& nodo, const std::vector<std::string>& tablas, const std::string& formula) {
  Traductor t{tablas, formula, {}};
  t.Nodo_(nodo);
  return std::move(t.f);
}

std::string LiteralSql(const basic::Variant& v) {
  using T = basic::TipoVariant;
  switch (v.Tipo()) {
    case T::Empty:
    case T::Null: return "NULL";
    case T::Integer:
    case T::Long: return std::to_string(v.Entero());
    case T::Boolean: return v.Booleano() ? "1" : "0";
    case T::Double:
    case T::Currency: {
      char buf[64];
      auto r = std::to_chars(buf, buf + sizeof buf, v.Numero());
      return std::string(buf, r.ptr);
    }
    case T::Date: {
      basic::Fecha d = v.AFecha();
      return "'" + basic::FormatFecha(d, "yyyy-mm-dd hh:nn:ss") + "'";
    }
    case T::String: break;
  }
  std::string s = "'";
  for (char c : *v.Cadena()) {
    if (c == '\0') continue;
    s += c;
    if (c == '\'') s += '\'';
  }
  return s + "'";
}

std::string Enlazar(const Fragmento& f) {
  std::string s;
  s.reserve(f.sql.size() + 16 * f.valores.size());
  size_t k = 0;
  for (char c : f.sql) {
    if (c == '?' && k < f.valores.size()) {
      s += LiteralSql(f.valores[k++]);
    } else {
      s += c;
    }
  }
  return s;
}

std::pair<std::string, std::string> LeerFormulaValor(const std::string& texto) {
  size_t igual = texto.find('=');
  std::string nombre = igual == std::string::npos ? "" : basic::Trim(texto.substr(0, igual));
  for (auto& c : nombre) {
    if (c == '\t') c = ' ';
  }
  nombre = basic::Trim(nombre);
  if (!EsIdentificador(nombre)) {
    throw ErrorEjecucion(Reporte::errFormula, "La fórmula «" + texto + "» no tiene la forma Nombre = 'valor'",
                         "Reporte");
  }
  std::string valor = basic::Trim(texto.substr(igual + 1));
  if (valor.size() >= 2 && (valor[0] == '\'' || valor[0] == '"') && valor.back() == valor[0]) {
    const std::string q(1, valor[0]);
    valor = basic::Replace(valor.substr(1, valor.size() - 2), q + q, q);
  }
  return {nombre, valor};
}

}  // namespace reporte
