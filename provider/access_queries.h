// Saved Access queries: their definition rows (MSysQueries) and the SQL rebuilt from them.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct sqlite3;

namespace provider {

// One definition row: the attribute says what the row holds (type, table, column, join,
// condition, grouping, order ...).
struct QueryRow {
    int attribute = 0;
    std::string expression;
    long flag = 0;
    std::string name1;
    std::string name2;
};

struct RebuiltQuery {
    bool ok = false;
    std::string sql;     // a SELECT in SQLite's dialect
    std::string reason;  // why it could not be rebuilt
};

// Rebuilds a select query; other kinds (action, crosstab, pass-through) and expressions that
// use functions without an equivalent are refused with a reason.
// isTable tells a base table from a saved query among the names the query reads.
RebuiltQuery RebuildSelectQuery(const std::vector<QueryRow>& rows,
                                const std::function<bool(const std::string&)>& isTable);

// Translates one Access SQL expression ("[a] & ' ' & [b]", "#1/31/2024#", IIf(...)) into
// SQLite's dialect; false with a reason when it cannot.
bool TranslateExpression(std::string_view access, std::string& out, std::string& reason);

// Translates a statement typed in Access's dialect: its expressions as above, and
// "SELECT [DISTINCT] TOP n ..." as "SELECT ... LIMIT n". False with a reason when a part has no
// faithful equivalent (TOP n PERCENT, a function without an equivalent, ...).
bool TranslateStatement(std::string_view access, std::string& out, std::string& reason);

// Adds the functions the translations call (qv_left, qv_right, qv_ucase, qv_lcase, qv_format)
// to a SQLite database.
void RegisterAccessFunctions(sqlite3* db);

}  // namespace provider
