#pragma once
// The suite writes its statements in T-SQL; the embedded engine speaks SQLite. These
// functions rewrite a statement on its tokens, so text inside quotes is never touched:
//   TOP n / TOP n PERCENT        -> LIMIT at the end of that SELECT (sub-queries too;
//                                   TOP 100 PERCENT = no limit); in a UNION, EXCEPT or
//                                   INTERSECT that SELECT becomes
//                                   SELECT * FROM (SELECT ... LIMIT n), so each keeps its
//                                   own TOP and a final ORDER BY orders the whole
//   (SELECT ...) UNION (SELECT ...) -> SELECT * FROM (SELECT ...) UNION SELECT * FROM (...)
//   with(nolock), WITH (NOLOCK)  -> removed (any list of table hints)
//   dbo.name, [dbo].[name]       -> name
//   [name]                       -> "name"
//   N'text'                      -> 'text'
//   ISNULL(                      -> IFNULL(
//   GETDATE()                    -> datetime('now','localtime')
//   @@IDENTITY, SCOPE_IDENTITY() -> last_insert_rowid()
//   'dd/mm/yyyy[ hh:mm[:ss]]'    -> 'yyyy-mm-dd hh:mm:ss' (also dd/mm/yy, years 00-29
//                                   in the 2000s; dd-mm-yyyy and dd.mm.yyyy too)
//   BEGIN/COMMIT/ROLLBACK TRAN   -> ... TRANSACTION
//   SET options, GO              -> dropped
// LEN, CHARINDEX and friends are functions registered on the embedded connection.
#include <string>
#include <vector>

namespace ado {

// The statements of a batch, as written (not translated). Statements are separated by
// ";", by "GO" lines, and by a statement keyword (INSERT, UPDATE, DELETE, SELECT, BEGIN,
// COMMIT, ROLLBACK, CREATE, DROP, ALTER, SET...) that cannot continue the statement
// before it, as SQL Server reads a batch written without semicolons.
std::vector<std::string> DividirLoteTSql(const std::string& lote);

// Every statement of the batch translated for SQLite; statements that only set
// session options (SET NOCOUNT ON...) are left out.
std::vector<std::string> TraducirLoteTSql(const std::string& lote);

// The translated statements joined with "; " (one statement comes back without it).
std::string TraducirTSql(const std::string& sentencia);

// 'dd/mm/yyyy[ hh:mm[:ss]]' (or a two-digit year; "-" or "." with a four-digit year) as
// 'yyyy-mm-dd hh:mm:ss';
// false when the text is not such a valid date.
bool FechaTSqlAIso(const std::string& texto, std::string& iso);

}  // namespace ado
