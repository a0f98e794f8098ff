// The T-SQL dialect of the embedded engine, statement in and SQL out.
#include <gtest/gtest.h>

#include "platform/ado/dialecto_sqlite.h"

namespace {

struct Caso {
  const char* tsql;
  const char* sqlite;
};

TEST(Dialecto, Traduccion) {
  const Caso casos[] = {
      {"SELECT TOP 2 Codigo FROM vt_proveedores with(nolock) ORDER BY Codigo",
       "SELECT Codigo FROM vt_proveedores   ORDER BY Codigo LIMIT 2"},
      {"SELECT TOP 1  * FROM clientes with(nolock)  WHERE LTRIM(RTRIM(codigo)) ='C01'",
       "SELECT * FROM clientes    WHERE LTRIM(RTRIM(codigo) COLLATE NOCASE) COLLATE NOCASE ='C01' LIMIT 1"},
      {"select  top 1 * from AUX_ERR  with(nolock) ", "select  * from AUX_ERR LIMIT 1"},
      {"SELECT * FROM t WITH (NOLOCK, ROWLOCK) WHERE a = 1", "SELECT * FROM t   WHERE a = 1"},
      {"SELECT * FROM t (nolock) WHERE a = 1", "SELECT * FROM t  WHERE a = 1"},
      {"SELECT TOP (5) a FROM t", "SELECT a FROM t LIMIT 5"},
      {"SELECT DISTINCT TOP 3 a FROM t", "SELECT DISTINCT a FROM t LIMIT 3"},
      {"SELECT TOP 100 PERCENT a FROM t ORDER BY a", "SELECT a FROM t ORDER BY a"},
      {"SELECT TOP 10 PERCENT a FROM t",
       "SELECT a FROM t LIMIT (SELECT CAST(ceil(COUNT(*) * 10 / 100.0) AS INTEGER) FROM (SELECT a FROM t))"},
      {"SELECT a, (SELECT TOP 1 b FROM u WHERE u.k = t.k ORDER BY b DESC) AS r FROM t",
       "SELECT a, (SELECT b FROM u WHERE u.k = t.k ORDER BY b DESC LIMIT 1) AS r FROM t"},
      {"SELECT * FROM dbo.clientes INNER JOIN [dbo].[Pedidos] p ON p.c = clientes.c",
       "SELECT * FROM clientes INNER JOIN \"Pedidos\" p ON p.c = clientes.c"},
      {"SELECT [relative], [a \"b\"] FROM t", "SELECT \"relative\", \"a \"\"b\"\"\" FROM t"},
      {"SELECT ISNULL(a, N'x'), GETDATE(), @@IDENTITY, SCOPE_IDENTITY() FROM t",
       "SELECT IFNULL(a, 'x'), datetime('now','localtime'), last_insert_rowid(), last_insert_rowid() FROM t"},
      {"UPDATE c_mv_cpte SET fechaenviomail ='05/03/2024' WHERE Cuenta = 'P1' and tc='OC'",
       "UPDATE c_mv_cpte SET fechaenviomail ='2024-03-05 00:00:00' WHERE Cuenta = 'P1' and tc='OC'"},
      {"UPDATE CONTROL_ACCESO  SET EGRESO = '01/02/24 13:45' WHERE EGRESO IS NULL AND  ID = 7",
       "UPDATE CONTROL_ACCESO  SET EGRESO = '2024-02-01 13:45:00' WHERE EGRESO IS NULL AND  ID = 7"},
      {"INSERT INTO V_MV_FALTANTES (FechaHora) values('31/12/2023 23:59:58')",
       "INSERT INTO V_MV_FALTANTES (FechaHora) values('2023-12-31 23:59:58')"},
      // Quotes are never rewritten, and a doubled quote stays inside its literal.
      {"SELECT 'TOP 5 with(nolock) dbo.x [a] GETDATE()' FROM t",
       "SELECT 'TOP 5 with(nolock) dbo.x [a] GETDATE()' FROM t"},
      {"SELECT * FROM t WHERE n = 'O''Brien with(nolock) '' TOP 3' AND m = 'x'",
       "SELECT * FROM t WHERE n = 'O''Brien with(nolock) '' TOP 3' AND m = 'x'"},
      {"SELECT * FROM t WHERE f = '31/02/2024' OR g LIKE '01/02/2024%' OR h = '1/2/2024x'",
       "SELECT * FROM t WHERE f = '31/02/2024' OR g LIKE '01/02/2024%' OR h = '1/2/2024x'"},
      {"SELECT a -- TOP 5 with(nolock)\nFROM t", "SELECT a -- TOP 5 with(nolock)\nFROM t"},
      {"SET NOCOUNT ON", ""},
      {"BEGIN TRAN INSERT INTO t VALUES (1) COMMIT TRAN",
       "BEGIN TRANSACTION; INSERT INTO t VALUES (1); COMMIT TRANSACTION"},
  };
  for (const auto& c : casos) EXPECT_EQ(ado::TraducirTSql(c.tsql), c.sqlite) << c.tsql;
}

// Each SELECT of a compound keeps its own TOP; a final ORDER BY orders the whole.
TEST(Dialecto, TopEnCadaSelectDeUnCompuesto) {
  const Caso casos[] = {
      {"select top 1 a from t union select top 1 b from u",
       "SELECT * FROM (select a from t LIMIT 1) union SELECT * FROM (select b from u LIMIT 1)"},
      {"SELECT TOP 2 a FROM t UNION ALL SELECT b FROM u ORDER BY 1",
       "SELECT * FROM (SELECT a FROM t LIMIT 2) UNION ALL SELECT b FROM u ORDER BY 1"},
      {"SELECT a FROM t UNION SELECT TOP 3 b FROM u ORDER BY a DESC",
       "SELECT a FROM t UNION SELECT * FROM (SELECT b FROM u LIMIT 3) ORDER BY a DESC"},
      {"SELECT a FROM t EXCEPT SELECT DISTINCT TOP 1 b FROM u",
       "SELECT a FROM t EXCEPT SELECT * FROM (SELECT DISTINCT b FROM u LIMIT 1)"},
      {"SELECT TOP (2) a FROM t INTERSECT SELECT b FROM u",
       "SELECT * FROM (SELECT a FROM t LIMIT 2) INTERSECT SELECT b FROM u"},
      {"SELECT TOP 100 PERCENT a FROM t UNION SELECT b FROM u", "SELECT a FROM t UNION SELECT b FROM u"},
      {"SELECT TOP 50 PERCENT a FROM t UNION ALL SELECT b FROM u",
       "SELECT * FROM (SELECT a FROM t LIMIT (SELECT CAST(ceil(COUNT(*) * 50 / 100.0) AS INTEGER) FROM "
       "(SELECT a FROM t))) UNION ALL SELECT b FROM u"},
      // A compound inside parentheses, and a TOP inside a member's own sub-query.
      {"SELECT * FROM x WHERE k IN (SELECT TOP 1 a FROM t UNION SELECT TOP 1 b FROM u)",
       "SELECT * FROM x WHERE k IN (SELECT * FROM (SELECT a FROM t LIMIT 1) UNION SELECT * FROM (SELECT b "
       "FROM u "
       "LIMIT 1))"},
      {"SELECT a FROM t WHERE a IN (SELECT TOP 1 b FROM u) UNION SELECT c FROM v",
       "SELECT a FROM t WHERE a IN (SELECT b FROM u LIMIT 1) UNION SELECT c FROM v"},
      // Members in parentheses, each with its own ORDER BY.
      {"(SELECT TOP 1 a FROM t ORDER BY a) UNION (SELECT TOP 1 b FROM u ORDER BY b DESC)",
       "SELECT * FROM (SELECT a FROM t ORDER BY a LIMIT 1) UNION SELECT * FROM (SELECT b FROM u ORDER BY b "
       "DESC "
       "LIMIT 1)"},
  };
  for (const auto& c : casos) EXPECT_EQ(ado::TraducirTSql(c.tsql), c.sqlite) << c.tsql;
}

TEST(Dialecto, LotesSinPuntoYComa) {
  struct Lote {
    const char* lote;
    std::vector<std::string> sentencias;
  };
  const Lote lotes[] = {
      {"BEGIN TRANSACTION \r\r\rINSERT INTO t (a,b) VALUES ('x;y','SELECT')\rUPDATE t SET a = 2 WHERE b IN "
       "(SELECT c FROM u)\rCOMMIT TRANSACTION",
       {"BEGIN TRANSACTION", "INSERT INTO t (a,b) VALUES ('x;y','SELECT')",
        "UPDATE t SET a = 2 WHERE b IN (SELECT c FROM u)", "COMMIT TRANSACTION"}},
      {"INSERT INTO t (a) SELECT a FROM u", {"INSERT INTO t (a) SELECT a FROM u"}},
      {"SELECT 1 UNION ALL SELECT 2", {"SELECT 1 UNION ALL SELECT 2"}},
      {"SET NOCOUNT ON\r\nSELECT a FROM t\r\nGO\r\nDELETE FROM t",
       {"SET NOCOUNT ON", "SELECT a FROM t", "DELETE FROM t"}},
      {"INSERT INTO t VALUES (1); INSERT INTO t VALUES (2);",
       {"INSERT INTO t VALUES (1)", "INSERT INTO t VALUES (2)"}},
      {"ALTER TABLE dbo.clientes ADD email varchar(80) Null  CONSTRAINT DF_clientes_email DEFAULT ('')",
       {"ALTER TABLE dbo.clientes ADD email varchar(80) Null  CONSTRAINT DF_clientes_email DEFAULT ('')"}},
      {"UPDATE t SET a = 1 WHERE b = 2 DELETE FROM u", {"UPDATE t SET a = 1 WHERE b = 2", "DELETE FROM u"}},
  };
  for (const auto& l : lotes) EXPECT_EQ(ado::DividirLoteTSql(l.lote), l.sentencias) << l.lote;
}

// The date forms the filters accept mean one date; a two-digit year follows the platform's
// rule, and texts that only look like dates keep their form.
TEST(Dialecto, FechasConCualquierSeparador) {
  struct Caso {
    const char* literal;
    const char* iso;  // nullptr: not a date literal
  };
  const Caso casos[] = {
      {"15/03/2024", "2024-03-15 00:00:00"},
      {"15-03-2024", "2024-03-15 00:00:00"},
      {"15.03.2024 10:30", "2024-03-15 10:30:00"},
      {"15/3/24", "2024-03-15 00:00:00"},
      {"01/02/29", "2029-02-01 00:00:00"},
      {"01/02/30", "1930-02-01 00:00:00"},
      {"1.2.24", nullptr},
      {"15-03-24", nullptr},
      {"15-03.2024", nullptr},
      {"31-02-2024", nullptr},
  };
  for (const auto& c : casos) {
    const std::string sql = std::string("SELECT a FROM t WHERE f >= '") + c.literal + "'";
    const std::string esperado =
        std::string("SELECT a FROM t WHERE f >= '") + (c.iso ? c.iso : c.literal) + "'";
    EXPECT_EQ(ado::TraducirTSql(sql), esperado) << c.literal;
  }
}

}  // namespace
