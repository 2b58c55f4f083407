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
    // How long a statement waits for another program's write to end before it gives up.
    static constexpr int kDefaultBusyTimeoutMs = 5000;

    // Opens a database file read-only; throws _com_error 0x80004005 when it cannot be opened
    // (anything but a regular file is refused before SQLite sees it).
    static SqliteDatabase OpenReadOnly(const std::string& path, std::u16string_view source,
                                       int busyTimeoutMs = kDefaultBusyTimeoutMs);
    // A private in-memory database.
    static SqliteDatabase InMemory(std::u16string_view source);

    SqliteDatabase(SqliteDatabase&&) noexcept;
    SqliteDatabase& operator=(SqliteDatabase&&) noexcept;
    ~SqliteDatabase();

    // Called with the name of a table the statement needs but the database lacks; returns true
    // when it created the table (the statement is then prepared again).
    using MissingTableHook = std::function<bool(const std::string& name)>;

    // Runs one statement that only reads this database and returns its rows. Anything else is
    // refused with 0x80040E14 before it runs: a second statement, ATTACH and DETACH, VACUUM,
    // changes to data or schema, transactions, PRAGMAs other than the schema listings, and the
    // functions that reach outside the database (load_extension, fts3_tokenizer). Other
    // errors: 0x80040E37 for a missing table, 0x80040E14 for any other fault of the command.
    ResultSet Query(std::string_view sql, const MissingTableHook& onMissingTable = {});
    // Runs one statement of the provider's own, unchecked (used to build the in-memory copy);
    // throws on error.
    void Execute(std::string_view sql);
    // Tables and views (internal tables left out): TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME,
    // TABLE_TYPE.
    ResultSet Tables();
    sqlite3* Handle() const { return m_db; }

    // While alive, statements the provider prepares itself on Handle() are not checked.
    class OwnStatements {
    public:
        explicit OwnStatements(SqliteDatabase& db);
        ~OwnStatements();
        OwnStatements(const OwnStatements&) = delete;
        OwnStatements& operator=(const OwnStatements&) = delete;

    private:
        SqliteDatabase& m_db;
    };

private:
    struct Guard;
    SqliteDatabase(sqlite3* db, std::u16string_view source);
    // Turns off what a statement from outside must not reach, and checks every statement.
    void Harden();
    static int Authorize(void* guard, int action, const char* first, const char* second,
                         const char* database, const char* trigger);
    [[noreturn]] void FailWithMessage(HRESULT hr, std::string_view prefix = {});

    sqlite3* m_db = nullptr;
    std::u16string m_source;
    std::unique_ptr<Guard> m_guard;  // on the heap: the authorizer keeps its address
};

// A schema rowset of tables and views from (name, type) pairs.
ResultSet MakeTablesRowset(const std::vector<std::pair<std::u16string, std::u16string>>& rows);

// Types columns without a declared type from their values, widens 32-bit integer columns that
// hold larger values, and brings text, currency and date values into their column's domain.
void SettleColumnTypes(ResultSet& rs, const std::vector<bool>& declared);
// The same for rows whose values in declared columns are already in their column's domain.
void TypeAndWidenColumns(ResultSet& rs, const std::vector<bool>& declared);

}  // namespace provider
