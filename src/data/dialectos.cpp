// Statement rewrites: the security synonyms for non-administrators and the translation of
// SQL Server statements and scripts into Oracle syntax.
#include <array>
#include <cstdio>
#include <string>

#include "data/db_dll.h"
#include "platform/basic/fecha.h"
#include "platform/basic/texto.h"

namespace {

using basic::CompararTexto;

bool Contiene(const std::string& texto, const std::string& buscado) {
  return basic::InStr(texto, buscado, CompararTexto) > 0;
}

// Every occurrence, without regard to case.
std::string Cambiar(const std::string& s, const std::string& buscado, const std::string& nuevo) {
  return basic::Replace(s, buscado, nuevo, 1, -1, CompararTexto);
}

std::string QuitarAdmin(const std::string& s) { return Cambiar(s, "@Admin_", ""); }

// The five places a table name is recognised: after a blank or "(" and before a blank or
// ".", or after a comma and before ".".
std::string Sinonimo(std::string s, const std::string& tabla, const std::string& sinonimo) {
  const std::array<std::pair<std::string, std::string>, 5> marcos = {
      {{" ", " "}, {"(", " "}, {" ", "."}, {"(", "."}, {",", "."}}};
  for (const auto& [antes, despues] : marcos)
    s = Cambiar(s, antes + tabla + despues, antes + sinonimo + despues);
  return s;
}

std::string DosDigitos(int n) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", n);
  return b;
}

std::string FechaOracle(const std::string& texto) {
  const basic::Fecha f = basic::CDate(texto);
  char anio[8];
  std::snprintf(anio, sizeof anio, "%04d", basic::Year(f));
  return "TO_DATE('" + DosDigitos(basic::Day(f)) + "/" + DosDigitos(basic::Month(f)) + "/" + anio +
         "','DD/MM/YYYY')";
}

// Quotes paired left to right; every literal holding a valid date becomes TO_DATE(...).
std::string FechasOracle(const std::string& s) {
  std::string r;
  size_t i = 0;
  for (;;) {
    const size_t abre = s.find('\'', i);
    if (abre == std::string::npos) break;
    const size_t cierra = s.find('\'', abre + 1);
    if (cierra == std::string::npos) break;
    const std::string contenido = s.substr(abre + 1, cierra - abre - 1);
    r.append(s, i, abre - i);
    if (!contenido.empty() && basic::IsDate(contenido))
      r += FechaOracle(contenido);
    else
      r.append(s, abre, cierra - abre + 1);
    i = cierra + 1;
  }
  r.append(s, i, std::string::npos);
  while (Contiene(r, "TO_DATE(TO_DATE(")) r = Cambiar(r, "TO_DATE(TO_DATE(", "TO_DATE(");
  while (Contiene(r, "'DD/MM/YYYY'),'DD/MM/YYYY')"))
    r = Cambiar(r, "'DD/MM/YYYY'),'DD/MM/YYYY')", "'DD/MM/YYYY')");
  return r;
}

// TOP n becomes a ROWNUM condition placed before GROUP BY / ORDER BY.
std::string LimiteOracle(const std::string& s) {
  const int pTop = basic::InStr(s, "top", CompararTexto);
  const std::string antes = basic::Left(s, pTop - 1);
  const std::string despues = basic::Trim(basic::Mid(s, pTop + 3));
  const int blanco = basic::InStr(despues, " ");
  const std::string numero = blanco > 0 ? basic::Left(despues, blanco - 1) : despues;
  std::string resto = blanco > 0 ? basic::Mid(despues, blanco + 1) : "";

  std::string colaGroup, colaOrder;
  const int pGroup = basic::InStr(s, " GROUP BY ", CompararTexto);
  if (pGroup > 0) {
    colaGroup = basic::Mid(s, pGroup);
  } else {
    const int pOrder = basic::InStr(s, "ORDER BY ", CompararTexto);
    if (pOrder > 0) colaOrder = basic::Mid(s, pOrder);
  }
  const std::string condicion =
      Contiene(s, " WHERE ") ? " AND ROWNUM <= " + numero : " WHERE ROWNUM <= " + numero;
  for (const std::string& cola : {basic::Trim(colaGroup), basic::Trim(colaOrder)})
    if (!cola.empty()) resto = Cambiar(resto, cola, " ");
  return antes + " " + resto + " " + condicion + " " + colaGroup + " " + colaOrder;
}

// "103" right after TO_CHAR( ... becomes the Oracle date mask.
std::string Estilo103(std::string s) {
  int desde = 1;
  for (;;) {
    const int p = basic::InStr(desde, s, "103");
    if (p == 0) break;
    const int parentesis = basic::InStrRev(s, "(", p);
    if (parentesis >= 8 && basic::IgualesSinCaso(basic::Mid(s, parentesis - 7, 8), "TO_CHAR("))
      s = basic::Left(s, p - 1) + "'DD/MM/YYYY'" + basic::Mid(s, p + 3);
    desde = p + 3;
    if (desde > basic::Len(s)) break;
  }
  return s;
}

}  // namespace

std::string DB_Dll::SS_TSinonimos(const std::string& SQL) {
  if (gEsAdmin) return QuitarAdmin(SQL);
  if (Contiene(SQL, "MV_ASIENTOS") && !SS_CONFIDENCIALIDAD) return QuitarAdmin(SQL);

  std::string s = Sinonimo(SQL, "MA_CUENTAS", "SS_MA_CUENTAS");
  s = Cambiar(s, "{MA_CUENTAS.", "{SS_MA_CUENTAS.");
  s = Cambiar(s, "@Admin_MA_CUENTAS", "MA_CUENTAS");
  s = Sinonimo(s, "V_TA_DEPOSITO", "SS_V_TA_DEPOSITO");
  s = Sinonimo(s, "MV_ASIENTOS", "SS_MV_ASIENTOS");
  s = Sinonimo(s, "V_TA_FAMILIAS", "SS_V_TA_FAMILIAS");
  s = Sinonimo(s, "V_TA_CAJAS", "SS_V_TA_CAJAS");
  s = Sinonimo(s, "AC_CUENTASDIARIO", "SS_AC_CUENTASDIARIO");
  s = Sinonimo(s, "AC_CUENTASDIARIO_CCOSTO", "SS_AC_CUENTAS_DIARIO_CCOSTO");
  return QuitarAdmin(s);
}

std::string DB_Dll::ORACLE_Dicc(const std::string& Valor) {
  if (!Contiene(gConnString, "ORACLE")) return Valor;
  if (funciones().ContarPalabras(Valor) < 2) return basic::IgualesSinCaso(Valor, "LEN") ? "LENGTH" : Valor;

  std::string s = Valor;
  if (Contiene(s, "top ")) s = LimiteOracle(s);
  for (const char* len : {" LEN(", " LEN (", " LEN  (", " LEN   (", " LEN    ("})
    s = Cambiar(s, len, " LENGTH(");
  s = Cambiar(s, "[", "\"");
  s = Cambiar(s, "]", "\"");
  s = FechasOracle(s);
  s = Cambiar(s, "Charindex", "InStr");
  s = Cambiar(s, "CONVERT(NVARCHAR,", "TO_CHAR(");
  s = Cambiar(s, "CONVERT(INT,", "TO_NUMBER(");
  const int pWhere = basic::InStr(s, "WHERE ", CompararTexto);
  if (pWhere > 0) {
    std::string cola = basic::Mid(s, pWhere);
    cola = Cambiar(cola, "= ''", " IS NULL ");
    cola = Cambiar(cola, "=''", " IS NULL ");
    s = basic::Left(s, pWhere - 1) + cola;
  }
  s = Estilo103(s);
  s = Cambiar(s, "SUBSTRING(", "SUBSTR(");
  s = Cambiar(s, "ISNULL(", "NVL(");
  return s;
}

std::string DB_Dll::EjecutaScriptOracle(const std::string& SentenciaSQL, long& RecordsAffected) {
  std::string script = SentenciaSQL;
  script = Cambiar(script, "SET NOCOUNT ON", "");
  script = Cambiar(script, "SET NOCOUNT OFF", "");
  script = Cambiar(script, " GO ", " ");
  script = Cambiar(script, "\r\nGO ", " ");
  script = Cambiar(script, "\r\nGO\r\n", " ");
  // Every kind of line end becomes a blank, so statements compare and split cleanly.
  script = Cambiar(script, "\r\n", " ");
  script = Cambiar(script, "\r", " ");
  script = Cambiar(script, "\n", " ");
  script = Cambiar(script, "BEGIN TRANSACTION", "SET TRANSACTION");
  script = Cambiar(script, "BEGIN TRANS", "SET TRANSACTION");
  script = Cambiar(script, "COMMIT TRANSACTION", "COMMIT");
  script = Cambiar(script, "COMMIT TRANS", "COMMIT");
  script = Cambiar(script, "ROLLBACK TRANSACTION", "ROLLBACK");
  script = Cambiar(script, "ROLLBACK TRANS", "ROLLBACK");
  const std::string normalizado = script;

  static const std::array<const char*, 12> claves = {"INSERT ",  "DELETE ",      "UPDATE ",         "CREATE ",
                                                     "DROP ",    "ALTER ",       "SET TRANSACTION", "COMMIT",
                                                     "ROLLBACK", "IF NOT EXIST", "IF EXIST",        "GRANT "};
  auto primeraClave = [&](int desde) {
    int mejor = 0;
    for (const char* c : claves) {
      const int p = basic::InStr(desde, script, c, CompararTexto);
      if (p > 0 && (mejor == 0 || p < mejor)) mejor = p;
    }
    return mejor;
  };

  for (;;) {
    const int inicio = primeraClave(1);
    if (inicio == 0) break;
    const int siguiente = inicio < basic::Len(script) ? primeraClave(inicio + 1) : 0;
    std::string sentencia = basic::Trim(siguiente > 0 ? basic::Mid(script, inicio, siguiente - inicio)
                                                      : basic::Mid(script, inicio));
    script = siguiente > 0 ? basic::Trim(basic::Mid(script, siguiente)) : "";

    if (basic::IgualesSinCaso(sentencia, "SET TRANSACTION")) {
      canalADO().BeginTrans(*gCnn);
    } else if (basic::IgualesSinCaso(sentencia, "COMMIT")) {
      canalADO().CommitTrans(*gCnn);
    } else if (basic::IgualesSinCaso(sentencia, "ROLLBACK")) {
      canalADO().RollbackTrans(*gCnn);
    } else {
      std::string traducida = ORACLE_Dicc(sentencia);
      FiltraSentencia(traducida);
      if (!traducida.empty()) {
        long afectados = 0;
        canalADO().Execute(*gCnn, traducida, &afectados, -1);
        RecordsAffected += afectados;
      }
    }
  }

  ado::Errors& errores = gCnn->Errors();
  if (errores.Count() == 1 && errores.Item(0).Number == 265929) errores.Clear();
  return normalizado;
}
