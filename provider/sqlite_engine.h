// Queries over a SQLite database (a file opened read-only, or the in-memory copy an Access
// file is loaded into), fetched whole into a ResultSet with VARIANT column types.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "provider/result.h"

struct sqlite3;

namespace provider {

// Maps a declared column type ("INTEGER", "VARCHAR(40)", "CURRENCY", "DATETIME" ...) to the
// column's VARIANT tag and ADO facts; false when the declaration says nothing usable, so the
// column is typed from its values after the fetch.
bool ColumnFromDeclaredType(std::string_view declared, Column& column);

// An exact decimal from text such as "-12.34" (up to 28 digits); false when malformed.
bool ParseDecimal(std::string_view text, DECIMAL& out);

// OLE date from an ISO text ("2024-01-31", "2024-01-31 13:05:09", 'T' allowed).
bool OleDateFromIso(std::string_view text, double& out);

class SqliteDatabase {
public:
    // Opens a database file read-only; throws _com_error 0x80004005 when it cannot be opened.
    static SqliteDatabase OpenReadOnly(const std::string& path, std::u16string_view source);
    // A private in-memory database.
    static SqliteDatabase InMemory(std::u16string_view source);

    SqliteDatabase(SqliteDatabase&&) noexcept;
    SqliteDatabase& operator=(SqliteDatabase&&) noexcept;
    ~SqliteDatabase();

    // Called with the name of a table the statement needs but the database lacks; returns true
    // when it created the table (the statement is then prepared again).
    using MissingTableHook = std::function<bool(const std::string& name)>;

    // Runs the statement(s) and returns the rows of the last one that yields columns. Errors:
    // 0x80040E37 for a missing table, 0x80040E14 for any other fault of the command.
    ResultSet Query(std::string_view sql, const MissingTableHook& onMissingTable = {});
    // Runs statements without rows (used to build the in-memory copy); throws on error.
    void Execute(std::string_view sql);
    // Tables and views (internal tables left out): TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME,
    // TABLE_TYPE.
    ResultSet Tables();
    sqlite3* Handle() const { return m_db; }

private:
    SqliteDatabase(sqlite3* db, std::u16string_view source) : m_db(db), m_source(source) {}
    [[noreturn]] void FailWithMessage(HRESULT hr, std::string_view prefix = {});

    sqlite3* m_db = nullptr;
    std::u16string m_source;
};

// A schema rowset of tables and views from (name, type) pairs.
ResultSet MakeTablesRowset(const std::vector<std::pair<std::u16string, std::u16string>>& rows);

// Types columns without a declared type from their values, widens 32-bit integer columns that
// hold larger values, and brings text, currency and date values into their column's domain.
void SettleColumnTypes(ResultSet& rs, const std::vector<bool>& declared);

}  // namespace provider
