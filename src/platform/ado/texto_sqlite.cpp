#include "platform/ado/texto_sqlite.h"

#include <sqlite3.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/basic/texto.h"

namespace ado {
namespace {

std::string_view SinBlancosFinales(const void* p, int n) {
  std::string_view s(static_cast<const char*>(p), static_cast<size_t>(n));
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

int CotejoSinCaso(void*, int na, const void* a, int nb, const void* b) {
  return basic::CompararSinCaso(SinBlancosFinales(a, na), SinBlancosFinales(b, nb));
}

// ---- LIKE -------------------------------------------------------------------------

struct Elemento {
  enum Tipo : char { Literal, Uno, Varios } tipo;
  char32_t c;  // Literal: folded
};

struct Patron {
  std::string texto;  // as given, to know it again on the next row
  char32_t escape = 0;
  bool conEscape = false;
  bool valido = true;  // an escape at the very end matches nothing
  std::vector<Elemento> elementos;
};

void Compilar(Patron& p) {
  const std::u32string c = basic::ACodigos(p.texto);
  for (size_t i = 0; i < c.size(); ++i) {
    if (p.conEscape && c[i] == p.escape) {
      if (++i == c.size()) {
        p.valido = false;
        return;
      }
      p.elementos.push_back({Elemento::Literal, basic::Minuscula(c[i])});
    } else if (c[i] == U'%') {
      if (p.elementos.empty() || p.elementos.back().tipo != Elemento::Varios)
        p.elementos.push_back({Elemento::Varios, 0});
    } else if (c[i] == U'_') {
      p.elementos.push_back({Elemento::Uno, 0});
    } else {
      p.elementos.push_back({Elemento::Literal, basic::Minuscula(c[i])});
    }
  }
}

// The server ignores the trailing blanks of the text (not of the pattern): the match
// may end anywhere in them. Backtracks to the last "%" only, which is enough because
// what lies between two "%" has a fixed length.
bool Coincide(const std::vector<Elemento>& p, const std::u32string& v) {
  size_t fin = v.size();
  while (fin > 0 && v[fin - 1] == U' ') --fin;
  constexpr size_t kNinguna = static_cast<size_t>(-1);
  size_t k = 0, i = 0, estrellaK = kNinguna, estrellaI = 0;
  for (;;) {
    if (k < p.size() && p[k].tipo == Elemento::Varios) {
      if (++k == p.size()) return true;
      estrellaK = k;
      estrellaI = i;
      continue;
    }
    if (k == p.size()) {
      if (i >= fin) return true;
    } else if (i < v.size() && (p[k].tipo == Elemento::Uno || p[k].c == v[i])) {
      ++k;
      ++i;
      continue;
    }
    if (estrellaK == kNinguna || estrellaI >= v.size()) return false;
    k = estrellaK;
    i = ++estrellaI;
  }
}

void BorrarPatron(void* p) { delete static_cast<Patron*>(p); }

void FnLike(sqlite3_context* ctx, int argc, sqlite3_value** v) {
  const auto* patron = reinterpret_cast<const char*>(sqlite3_value_text(v[0]));
  const auto* texto = reinterpret_cast<const char*>(sqlite3_value_text(v[1]));
  if (!patron || !texto) return;  // null
  char32_t escape = 0;
  if (argc > 2) {
    const auto* e = reinterpret_cast<const char*>(sqlite3_value_text(v[2]));
    if (!e) return;
    const std::u32string c = basic::ACodigos(std::string(e, static_cast<size_t>(sqlite3_value_bytes(v[2]))));
    if (c.size() != 1) return sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
    escape = c[0];
  }
  // The pattern is compiled once per statement, not once per row.
  const std::string_view pt(patron, static_cast<size_t>(sqlite3_value_bytes(v[0])));
  auto* p = static_cast<Patron*>(sqlite3_get_auxdata(ctx, 0));
  if (!p || p->texto != pt || p->conEscape != (argc > 2) || p->escape != escape) {
    p = new Patron;
    p->texto = pt;
    p->conEscape = argc > 2;
    p->escape = escape;
    Compilar(*p);
    sqlite3_set_auxdata(ctx, 0, p, BorrarPatron);
    p = static_cast<Patron*>(sqlite3_get_auxdata(ctx, 0));  // null when it was not kept
    if (!p) return sqlite3_result_error_nomem(ctx);
  }
  if (!p->valido) return sqlite3_result_int(ctx, 0);
  thread_local std::u32string valor;
  valor = basic::ACodigos(std::string(texto, static_cast<size_t>(sqlite3_value_bytes(v[1]))));
  for (auto& c : valor) c = basic::Minuscula(c);
  sqlite3_result_int(ctx, Coincide(p->elementos, valor) ? 1 : 0);
}

}  // namespace

void RegistrarTextoSinCaso(sqlite3* db) {
  const int f = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  sqlite3_create_collation_v2(db, "NOCASE", SQLITE_UTF8, nullptr, CotejoSinCaso, nullptr);
  sqlite3_create_function(db, "like", 2, f, nullptr, FnLike, nullptr, nullptr);
  sqlite3_create_function(db, "like", 3, f, nullptr, FnLike, nullptr, nullptr);
}

}  // namespace ado
