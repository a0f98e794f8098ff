#include "platform/ado/dialecto_sqlite.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace ado {
namespace {

enum class Tk { Blanco, Comentario, Literal, Palabra, Corchete, Comillas, Numero, Simbolo };

struct Token {
  Tk tipo;
  std::string texto;
};

bool EsLetra(unsigned char c) {
  return std::isalpha(c) || c == '_' || c == '@' || c == '#' || c == '$' || c >= 0x80;
}
bool EsLetraODigito(unsigned char c) { return EsLetra(c) || std::isdigit(c); }

std::string Mayusculas(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::vector<Token> Tokenizar(const std::string& s) {
  std::vector<Token> out;
  size_t i = 0, n = s.size();
  auto add = [&](Tk t, size_t desde, size_t hasta) { out.push_back({t, s.substr(desde, hasta - desde)}); };
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t ini = i;
    if (std::isspace(c)) {
      while (i < n && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
      add(Tk::Blanco, ini, i);
    } else if (c == '-' && i + 1 < n && s[i + 1] == '-') {
      while (i < n && s[i] != '\n' && s[i] != '\r') ++i;
      add(Tk::Comentario, ini, i);
    } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
      size_t fin = s.find("*/", i + 2);
      i = fin == std::string::npos ? n : fin + 2;
      add(Tk::Comentario, ini, i);
    } else if (c == '\'' || ((c == 'N' || c == 'n') && i + 1 < n && s[i + 1] == '\'')) {
      if (c != '\'') ++i;
      ++i;  // opening quote
      while (i < n) {
        if (s[i] == '\'') {
          if (i + 1 < n && s[i + 1] == '\'') {
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        ++i;
      }
      add(Tk::Literal, ini, i);
    } else if (c == '[') {
      ++i;
      while (i < n) {
        if (s[i] == ']') {
          if (i + 1 < n && s[i + 1] == ']') {
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        ++i;
      }
      add(Tk::Corchete, ini, i);
    } else if (c == '"') {
      ++i;
      while (i < n) {
        if (s[i] == '"') {
          if (i + 1 < n && s[i + 1] == '"') {
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        ++i;
      }
      add(Tk::Comillas, ini, i);
    } else if (std::isdigit(c)) {
      while (i < n && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '.')) ++i;
      add(Tk::Numero, ini, i);
    } else if (EsLetra(c)) {
      while (i < n && EsLetraODigito(static_cast<unsigned char>(s[i]))) ++i;
      add(Tk::Palabra, ini, i);
    } else {
      static const char* dobles[] = {"<=", ">=", "<>", "!=", "!<", "!>", "||"};
      bool doble = false;
      if (i + 1 < n)
        for (const char* d : dobles)
          if (s[i] == d[0] && s[i + 1] == d[1]) doble = true;
      i += doble ? 2 : 1;
      add(Tk::Simbolo, ini, i);
    }
  }
  return out;
}

bool Vacio(const Token& t) { return t.tipo == Tk::Blanco || t.tipo == Tk::Comentario; }

bool EsPalabra(const Token& t, const char* w) {
  if (t.tipo != Tk::Palabra || t.texto.size() != std::char_traits<char>::length(w)) return false;
  for (size_t i = 0; i < t.texto.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(t.texto[i])) != w[i]) return false;
  return true;
}
bool EsSimbolo(const Token& t, const char* s) { return t.tipo == Tk::Simbolo && t.texto == s; }

// Index of the next token that is not blank or comment, from i on.
size_t Sig(const std::vector<Token>& t, size_t i) {
  while (i < t.size() && Vacio(t[i])) ++i;
  return i;
}

std::string Unir(const std::vector<Token>& t, size_t desde, size_t hasta) {
  std::string s;
  for (size_t i = desde; i < hasta && i < t.size(); ++i) s += t[i].texto;
  return s;
}

bool Recortable(const std::string& s) {
  for (char c : s)
    if (!std::isspace(static_cast<unsigned char>(c))) return false;
  return true;
}

std::string Recortar(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
  return s.substr(a, b - a);
}

// ---- batch splitting -------------------------------------------------------------

std::vector<std::vector<Token>> Dividir(const std::vector<Token>& toks) {
  std::vector<std::vector<Token>> sentencias;
  std::vector<Token> actual;
  std::string primera;   // first keyword of the current statement
  std::string anterior;  // last meaningful token, upper-case
  bool vioValues = false, vioSelect = false;
  int prof = 0;
  auto cerrar = [&]() {
    bool util = false;
    for (const auto& t : actual)
      if (!Vacio(t)) util = true;
    if (util) sentencias.push_back(std::move(actual));
    actual.clear();
    primera.clear();
    anterior.clear();
    vioValues = vioSelect = false;
  };
  for (size_t i = 0; i < toks.size(); ++i) {
    const Token& t = toks[i];
    if (t.tipo == Tk::Simbolo) {
      if (t.texto == "(") ++prof;
      if (t.texto == ")" && prof > 0) --prof;
      if (t.texto == ";" && prof == 0) {
        cerrar();
        continue;
      }
    }
    if (t.tipo == Tk::Palabra && prof == 0) {
      std::string w = Mayusculas(t.texto);
      bool vacia = primera.empty();
      bool corta = false;
      if (w == "GO") {
        // GO alone on its line separates batches.
        bool inicioLinea = actual.empty() || anterior.empty() ||
                           (i > 0 && toks[i - 1].tipo == Tk::Blanco &&
                            toks[i - 1].texto.find_first_of("\r\n") != std::string::npos);
        size_t j = i + 1;
        bool finLinea =
            j >= toks.size() ||
            (toks[j].tipo == Tk::Blanco && toks[j].texto.find_first_of("\r\n") != std::string::npos) ||
            (toks[j].tipo == Tk::Simbolo && toks[j].texto == ";");
        if (inicioLinea && finLinea) {
          cerrar();
          continue;
        }
      }
      // ON DELETE / ON UPDATE of a reference, INSTEAD OF INSERT, FOR UPDATE...
      bool tras = (anterior == "ON" && (primera == "CREATE" || primera == "ALTER")) || anterior == "OF" ||
                  anterior == "OR" || anterior == "," || anterior == "(" || anterior == "FOR";
      bool dmlTras = tras && (w == "INSERT" || w == "DELETE" || w == "UPDATE");
      if (!vacia && !dmlTras) {
        if (w == "INSERT" || w == "DELETE" || w == "UPDATE" || w == "DROP" || w == "ALTER" ||
            w == "TRUNCATE" || w == "DECLARE" || w == "EXEC" || w == "EXECUTE" || w == "PRINT") {
          corta = primera != "CREATE";
        } else if (w == "CREATE") {
          corta = true;
        } else if (w == "SELECT") {
          bool compuesto = anterior == "UNION" || anterior == "ALL" || anterior == "EXCEPT" ||
                           anterior == "INTERSECT" || anterior == "AS";
          bool insertSelect = primera == "INSERT" && !vioValues && !vioSelect;
          corta = !compuesto && !insertSelect && primera != "CREATE" && primera != "WITH";
        } else if (w == "SET") {
          corta = primera != "UPDATE" && primera != "ALTER" && primera != "CREATE" && anterior != "DELETE" &&
                  anterior != "UPDATE";
        } else if (w == "BEGIN" || w == "COMMIT" || w == "ROLLBACK" || w == "SAVE") {
          corta = primera != "CREATE";
        }
      }
      if (corta) cerrar();
      if (primera.empty()) primera = w;
      if (w == "VALUES") vioValues = true;
      if (w == "SELECT" && !primera.empty() && primera != "SELECT") vioSelect = true;
      anterior = w;
      actual.push_back(t);
      continue;
    }
    if (!Vacio(t)) {
      if (primera.empty()) primera = t.tipo == Tk::Palabra ? Mayusculas(t.texto) : t.texto;
      anterior = t.tipo == Tk::Palabra ? Mayusculas(t.texto) : t.texto;
    }
    actual.push_back(t);
  }
  cerrar();
  return sentencias;
}

// ---- translation -----------------------------------------------------------------

bool EsSugerenciaTabla(const Token& t) {
  static const char* hints[] = {"NOLOCK",         "READUNCOMMITTED", "ROWLOCK",     "UPDLOCK",
                                "HOLDLOCK",       "NOWAIT",          "READPAST",    "TABLOCK",
                                "TABLOCKX",       "PAGLOCK",         "XLOCK",       "READCOMMITTED",
                                "REPEATABLEREAD", "SERIALIZABLE",    "FASTFIRSTROW"};
  for (const char* h : hints)
    if (EsPalabra(t, h)) return true;
  return false;
}

// From t[i] == "(", the index after the ")" of a hint list such as (NOLOCK) or
// (NOLOCK, ROWLOCK); 0 when it is not one.
size_t FinSugerencias(const std::vector<Token>& t, size_t i) {
  size_t j = Sig(t, i + 1);
  bool alguna = false;
  while (j < t.size()) {
    if (!EsSugerenciaTabla(t[j])) return 0;
    alguna = true;
    j = Sig(t, j + 1);
    if (j < t.size() && EsSimbolo(t[j], ",")) {
      j = Sig(t, j + 1);
      continue;
    }
    break;
  }
  if (!alguna || j >= t.size() || !EsSimbolo(t[j], ")")) return 0;
  return j + 1;
}

std::string LiteralContenido(const std::string& lit) {
  // lit is 'x' with doubled quotes inside (the N prefix already dropped).
  std::string c;
  if (lit.size() < 2) return c;
  size_t fin = lit.back() == '\'' && lit.size() >= 2 ? lit.size() - 1 : lit.size();
  for (size_t i = 1; i < fin; ++i) {
    c += lit[i];
    if (lit[i] == '\'' && i + 1 < fin && lit[i + 1] == '\'') ++i;
  }
  return c;
}

void Simples(std::vector<Token>& t) {
  std::vector<Token> o;
  o.reserve(t.size());
  std::string ultimaPalabra;  // previous meaningful word, upper-case
  for (size_t i = 0; i < t.size(); ++i) {
    Token k = t[i];
    if (k.tipo == Tk::Literal) {
      if (k.texto[0] != '\'') k.texto.erase(0, 1);  // N'..'
      std::string iso;
      if (k.texto.size() >= 2 && k.texto.back() == '\'' && FechaTSqlAIso(LiteralContenido(k.texto), iso))
        k.texto = "'" + iso + "'";
      o.push_back(k);
      ultimaPalabra.clear();
      continue;
    }
    // dbo. and [dbo].
    bool esDbo = EsPalabra(k, "DBO") || (k.tipo == Tk::Corchete && Mayusculas(k.texto) == "[DBO]") ||
                 (k.tipo == Tk::Comillas && Mayusculas(k.texto) == "\"DBO\"");
    if (esDbo && i + 1 < t.size() && EsSimbolo(t[i + 1], ".")) {
      ++i;
      continue;
    }
    if (k.tipo == Tk::Corchete) {
      std::string in = k.texto.substr(1, k.texto.size() >= 2 ? k.texto.size() - 2 : 0);
      std::string q = "\"";
      for (size_t j = 0; j < in.size(); ++j) {
        if (in[j] == ']' && j + 1 < in.size() && in[j + 1] == ']') ++j;
        if (in[j] == '"') q += '"';
        q += in[j];
      }
      k.texto = q + "\"";
      k.tipo = Tk::Comillas;
      o.push_back(k);
      ultimaPalabra.clear();
      continue;
    }
    if (k.tipo == Tk::Palabra) {
      size_t j = Sig(t, i + 1);
      bool abre = j < t.size() && EsSimbolo(t[j], "(");
      if (EsPalabra(k, "@@IDENTITY")) {
        k.texto = "last_insert_rowid()";
      } else if ((EsPalabra(k, "SCOPE_IDENTITY") || EsPalabra(k, "GETDATE")) && abre) {
        size_t c = Sig(t, j + 1);
        if (c < t.size() && EsSimbolo(t[c], ")")) {
          k.texto = EsPalabra(k, "GETDATE") ? "datetime('now','localtime')" : "last_insert_rowid()";
          i = c;
        }
      } else if (EsPalabra(k, "ISNULL") && abre) {
        k.texto = "IFNULL";
      } else if (EsPalabra(k, "WITH") && abre) {
        size_t fin = FinSugerencias(t, j);
        if (fin) {
          o.push_back({Tk::Blanco, " "});
          i = fin - 1;
          continue;
        }
      } else if (EsPalabra(k, "TRAN") &&
                 (ultimaPalabra == "BEGIN" || ultimaPalabra == "COMMIT" || ultimaPalabra == "ROLLBACK")) {
        k.texto = "TRANSACTION";
      }
      ultimaPalabra = Mayusculas(k.texto);
      o.push_back(k);
      continue;
    }
    if (EsSimbolo(k, "(")) {
      // Old-style hint after a table name: FROM t (NOLOCK)
      size_t p = o.size();
      while (p > 0 && Vacio(o[p - 1])) --p;
      bool trasNombre = p > 0 && (o[p - 1].tipo == Tk::Palabra || o[p - 1].tipo == Tk::Comillas);
      size_t fin = trasNombre ? FinSugerencias(t, i) : 0;
      if (fin) {
        i = fin - 1;
        continue;
      }
    }
    if (!Vacio(k)) ultimaPalabra.clear();
    o.push_back(k);
  }
  t.swap(o);
}

// Text functions lose the column's NOCASE collation in the embedded engine, while the
// suite's server keeps comparing their result without regard to case
// (LTRIM(RTRIM(nombre)) = 'ANA'): give the result the collation back.
void CotejoSinCaso(std::vector<Token>& t) {
  std::vector<size_t> cierres;
  for (size_t i = 0; i < t.size(); ++i) {
    if (!(EsPalabra(t[i], "LTRIM") || EsPalabra(t[i], "RTRIM") || EsPalabra(t[i], "TRIM") ||
          EsPalabra(t[i], "UPPER") || EsPalabra(t[i], "LOWER") || EsPalabra(t[i], "SUBSTRING")))
      continue;
    size_t j = Sig(t, i + 1);
    if (j >= t.size() || !EsSimbolo(t[j], "(")) continue;
    int nivel = 0;
    for (size_t k = j; k < t.size(); ++k) {
      if (EsSimbolo(t[k], "(")) ++nivel;
      if (EsSimbolo(t[k], ")") && --nivel == 0) {
        cierres.push_back(k);
        break;
      }
    }
  }
  if (cierres.empty()) return;
  std::sort(cierres.begin(), cierres.end());
  std::vector<Token> o;
  o.reserve(t.size() + 2 * cierres.size());
  size_t c = 0;
  for (size_t i = 0; i < t.size(); ++i) {
    o.push_back(t[i]);
    while (c < cierres.size() && cierres[c] == i) {
      o.push_back({Tk::Blanco, " "});
      o.push_back({Tk::Palabra, "COLLATE NOCASE"});
      ++c;
    }
  }
  t.swap(o);
}

bool EsCompuesto(const Token& t) {
  return EsPalabra(t, "UNION") || EsPalabra(t, "EXCEPT") || EsPalabra(t, "INTERSECT");
}

// Index of the meaningful token before i, npos when none.
size_t Ant(const std::vector<Token>& t, size_t i) {
  while (i > 0)
    if (!Vacio(t[--i])) return i;
  return std::string::npos;
}

// A compound operator at the level of t[s], between the "(" that opens that level (or
// the start) and s.
bool CompuestoAntes(const std::vector<Token>& t, size_t s) {
  int prof = 0;
  for (size_t i = s; i-- > 0;) {
    if (EsSimbolo(t[i], ")")) {
      ++prof;
    } else if (EsSimbolo(t[i], "(")) {
      if (prof == 0) return false;
      --prof;
    } else if (prof == 0 && EsCompuesto(t[i])) {
      return true;
    }
  }
  return false;
}

// T-SQL may put the members of a compound in parentheses, "(SELECT ...) UNION (SELECT
// ...)", each with its own TOP and ORDER BY; SQLite takes no parentheses there, so each
// becomes a sub-query: "SELECT * FROM (SELECT ...)".
void MiembrosEntreParentesis(std::vector<Token>& t) {
  for (size_t i = t.size(); i-- > 0;) {
    if (!EsSimbolo(t[i], "(")) continue;
    size_t s = Sig(t, i + 1);
    if (s >= t.size() || !EsPalabra(t[s], "SELECT")) continue;
    size_t a = Ant(t, i);
    bool miembro = false;
    if (a != std::string::npos && EsCompuesto(t[a])) {
      miembro = true;
    } else if (a != std::string::npos && EsPalabra(t[a], "ALL")) {
      size_t u = Ant(t, a);
      miembro = u != std::string::npos && EsPalabra(t[u], "UNION");
    } else if (a == std::string::npos || EsSimbolo(t[a], "(")) {
      // First member: its ")" is followed by the operator.
      int prof = 0;
      size_t c = i;
      for (; c < t.size(); ++c) {
        if (EsSimbolo(t[c], "(")) ++prof;
        if (EsSimbolo(t[c], ")") && --prof == 0) break;
      }
      size_t d = c < t.size() ? Sig(t, c + 1) : c;
      miembro = d < t.size() && EsCompuesto(t[d]);
    }
    if (!miembro) continue;
    const std::vector<Token> envoltura = {{Tk::Palabra, "SELECT"}, {Tk::Blanco, " "},     {Tk::Simbolo, "*"},
                                          {Tk::Blanco, " "},       {Tk::Palabra, "FROM"}, {Tk::Blanco, " "}};
    t.insert(t.begin() + static_cast<long>(i), envoltura.begin(), envoltura.end());
  }
}

// TOP n becomes LIMIT n at the end of its SELECT. SQLite takes LIMIT only at the end of a
// compound, where it limits the whole; on the server each SELECT of a UNION keeps its own
// TOP and a final ORDER BY orders the whole. So in a compound a SELECT with TOP becomes a
// sub-query, "SELECT * FROM (SELECT ... LIMIT n)", and the final ORDER BY stays outside.
void Top(std::vector<Token>& t) {
  std::vector<size_t> selects;
  for (size_t i = 0; i < t.size(); ++i)
    if (EsPalabra(t[i], "SELECT")) selects.push_back(i);
  for (auto it = selects.rbegin(); it != selects.rend(); ++it) {
    size_t s = *it;
    size_t j = Sig(t, s + 1);
    if (j < t.size() && (EsPalabra(t[j], "DISTINCT") || EsPalabra(t[j], "ALL"))) j = Sig(t, j + 1);
    if (j >= t.size() || !EsPalabra(t[j], "TOP")) continue;
    size_t k = Sig(t, j + 1);
    std::string n;
    size_t tras;
    if (k < t.size() && t[k].tipo == Tk::Numero) {
      n = t[k].texto;
      tras = k + 1;
    } else if (k < t.size() && EsSimbolo(t[k], "(")) {
      size_t m = Sig(t, k + 1);
      size_t c = m < t.size() ? Sig(t, m + 1) : m;
      if (m >= t.size() || t[m].tipo != Tk::Numero || c >= t.size() || !EsSimbolo(t[c], ")")) continue;
      n = t[m].texto;
      tras = c + 1;
    } else {
      continue;
    }
    bool porcentaje = false;
    size_t p = Sig(t, tras);
    if (p < t.size() && EsPalabra(t[p], "PERCENT")) {
      porcentaje = true;
      tras = p + 1;
      p = Sig(t, tras);
    }
    if (p < t.size() && EsPalabra(t[p], "WITH")) {
      size_t q = Sig(t, p + 1);
      if (q < t.size() && EsPalabra(t[q], "TIES")) tras = q + 1;
    }
    while (tras < t.size() && t[tras].tipo == Tk::Blanco) ++tras;
    // End of this SELECT: the ")" that closes its level, a ";", the end, or the operator
    // to the next member of a compound.
    size_t e = tras;
    size_t orden = t.size();  // ORDER BY of this level
    bool compuesto = false;
    int prof = 0;
    for (; e < t.size(); ++e) {
      if (EsSimbolo(t[e], "(")) {
        ++prof;
      } else if (EsSimbolo(t[e], ")")) {
        if (prof == 0) break;
        --prof;
      } else if (prof == 0 && EsSimbolo(t[e], ";")) {
        break;
      } else if (prof == 0 && EsCompuesto(t[e])) {
        compuesto = true;
        break;
      } else if (prof == 0 && orden == t.size() && EsPalabra(t[e], "ORDER")) {
        size_t b = Sig(t, e + 1);
        if (b < t.size() && EsPalabra(t[b], "BY")) orden = e;
      }
    }
    // The last member: the ORDER BY after it is the compound's.
    if (!compuesto && CompuestoAntes(t, s)) {
      compuesto = true;
      e = std::min(e, orden);
    }
    while (e > tras && Vacio(t[e - 1])) --e;
    std::vector<Token> limite;
    double valor = std::atof(n.c_str());
    if (!porcentaje) {
      limite = {{Tk::Blanco, " "}, {Tk::Palabra, "LIMIT"}, {Tk::Blanco, " "}, {Tk::Numero, n}};
    } else if (valor < 100) {
      std::string cuerpo = "SELECT " + Unir(t, tras, e);
      limite = {{Tk::Blanco, " "},
                {Tk::Palabra,
                 "LIMIT (SELECT CAST(ceil(COUNT(*) * " + n + " / 100.0) AS INTEGER) FROM (" + cuerpo + "))"}};
    }
    const bool subconsulta = compuesto && !limite.empty();
    if (subconsulta) limite.push_back({Tk::Simbolo, ")"});
    t.insert(t.begin() + static_cast<long>(e), limite.begin(), limite.end());
    // Drop "TOP n [PERCENT] [WITH TIES]" and the blanks after it.
    t.erase(t.begin() + static_cast<long>(j), t.begin() + static_cast<long>(tras));
    if (subconsulta) {
      const std::vector<Token> inicio = {{Tk::Palabra, "SELECT"}, {Tk::Blanco, " "},     {Tk::Simbolo, "*"},
                                         {Tk::Blanco, " "},       {Tk::Palabra, "FROM"}, {Tk::Blanco, " "},
                                         {Tk::Simbolo, "("}};
      t.insert(t.begin() + static_cast<long>(s), inicio.begin(), inicio.end());
    }
  }
}

bool EsOpcionSesion(const std::vector<Token>& t) {
  size_t i = Sig(t, 0);
  return i < t.size() && EsPalabra(t[i], "SET");
}

std::string Traducir(std::vector<Token> t) {
  Simples(t);
  CotejoSinCaso(t);
  MiembrosEntreParentesis(t);
  Top(t);
  return Recortar(Unir(t, 0, t.size()));
}

int Digitos(const std::string& s, size_t& i, size_t min, size_t max) {
  size_t ini = i;
  int v = 0;
  while (i < s.size() && i - ini < max && std::isdigit(static_cast<unsigned char>(s[i])))
    v = v * 10 + (s[i++] - '0');
  return i - ini >= min ? v : -1;
}

}  // namespace

bool FechaTSqlAIso(const std::string& texto, std::string& iso) {
  const std::string& s = texto;
  size_t i = 0;
  int d = Digitos(s, i, 1, 2);
  if (d < 0 || i >= s.size() || (s[i] != '/' && s[i] != '-' && s[i] != '.')) return false;
  const char sep = s[i++];
  int m = Digitos(s, i, 1, 2);
  if (m < 0 || i >= s.size() || s[i] != sep) return false;
  ++i;
  size_t iy = i;
  int y = Digitos(s, i, 2, 4);
  if (y < 0 || (i - iy) == 3) return false;
  // "-" and "." only with a four-digit year: "1.2.24" is more likely a version than a date.
  if (sep != '/' && i - iy != 4) return false;
  if (i - iy == 2) y += y < 30 ? 2000 : 1900;  // the platform's century rule
  int hh = 0, mi = 0, ss = 0;
  if (i < s.size()) {
    if (s[i] != ' ' && s[i] != 'T') return false;
    while (i < s.size() && s[i] == ' ') ++i;
    if (i < s.size() && s[i] == 'T') ++i;
    hh = Digitos(s, i, 1, 2);
    if (hh < 0 || i >= s.size() || s[i] != ':') return false;
    ++i;
    mi = Digitos(s, i, 2, 2);
    if (mi < 0) return false;
    if (i < s.size() && s[i] == ':') {
      ++i;
      ss = Digitos(s, i, 2, 2);
      if (ss < 0) return false;
    }
    if (i != s.size()) return false;
  }
  static const int dias[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m < 1 || m > 12 || d < 1 || y < 1753 || hh > 23 || mi > 59 || ss > 59) return false;
  bool bisiesto = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (d > dias[m - 1] + (m == 2 && bisiesto ? 1 : 0)) return false;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, hh, mi, ss);
  iso = buf;
  return true;
}

std::vector<std::string> DividirLoteTSql(const std::string& lote) {
  std::vector<std::string> out;
  for (auto& s : Dividir(Tokenizar(lote))) out.push_back(Recortar(Unir(s, 0, s.size())));
  return out;
}

std::vector<std::string> TraducirLoteTSql(const std::string& lote) {
  std::vector<std::string> out;
  for (auto& s : Dividir(Tokenizar(lote))) {
    if (EsOpcionSesion(s)) continue;
    std::string r = Traducir(std::move(s));
    if (!Recortable(r)) out.push_back(std::move(r));
  }
  return out;
}

std::string TraducirTSql(const std::string& sentencia) {
  std::string r;
  for (const auto& s : TraducirLoteTSql(sentencia)) r += (r.empty() ? "" : "; ") + s;
  return r;
}

}  // namespace ado
