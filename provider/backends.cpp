// Choosing a backend from the connection string, and the SQLite file backend.
#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "provider/backend.h"
#include "provider/connstr.h"
#include "provider/sqlite_engine.h"

namespace provider {

void Fail(HRESULT hr, std::u16string_view source, std::string_view description) {
    throw _com_error(hr, std::u16string(source), qv::ToUtf16(description));
}

namespace {

class SqliteBackend : public Backend {
public:
    SqliteBackend(const std::string& path, int busyTimeoutMs)
        : m_db(SqliteDatabase::OpenReadOnly(path, kSqliteSource, busyTimeoutMs)) {}
    ResultSet Query(const std::u16string& sql) override { return m_db.Query(qv::ToUtf8(sql)); }
    ResultSet Tables() override { return m_db.Tables(); }
    std::u16string QuoteName(std::u16string_view name) override {
        std::u16string out = u"\"";
        for (char16_t c : name) {
            out += c;
            if (c == u'"')
                out += c;
        }
        return out + u"\"";
    }

private:
    SqliteDatabase m_db;
};

bool IsAccessDriver(const std::string& driver) {
    return qv::CompareNoCase<char>(driver, "Microsoft Access Driver (*.mdb)") == 0 ||
           qv::CompareNoCase<char>(driver, "Microsoft Access Driver (*.mdb, *.accdb)") == 0;
}

bool IsSqliteDriver(const std::string& driver) {
    return qv::CompareNoCase<char>(driver, "SQLite3 ODBC Driver") == 0 ||
           qv::CompareNoCase<char>(driver, "SQLite3") == 0;
}

// The "Timeout" of a connection string (milliseconds, as the SQLite ODBC driver reads it),
// within 0 to 60 s; the engine's default when absent or not a number.
int BusyTimeout(const ConnectionString& parsed) {
    const auto text = parsed.Get("Timeout");
    if (!text || text->empty())
        return SqliteDatabase::kDefaultBusyTimeoutMs;
    char* end = nullptr;
    const long ms = std::strtol(text->c_str(), &end, 10);
    if (!end || *end != 0)
        return SqliteDatabase::kDefaultBusyTimeoutMs;
    return static_cast<int>(std::clamp(ms, 0L, 60000L));
}

}  // namespace

std::unique_ptr<Backend> OpenSqliteBackend(const std::string& path, int busyTimeoutMs) {
    return std::make_unique<SqliteBackend>(path, busyTimeoutMs);
}

std::unique_ptr<Backend> OpenBackend(const std::string& text, const std::string& user,
                                     const std::string& password) {
    std::optional<ConnectionString> parsed;
    try {
        parsed.emplace(text);
    } catch (const std::invalid_argument& e) {
        Fail(E_FAIL, u"ADODB.Connection", std::string("Malformed connection string: ") + e.what());
    }
    const auto driver = parsed->Get("Driver");
    const auto file = parsed->GetAny({"Dbq", "Database", "Data Source"});
    if (driver && (IsAccessDriver(*driver) || IsSqliteDriver(*driver))) {
        if (!file || file->empty()) {
            Fail(E_FAIL, IsAccessDriver(*driver) ? kAccessSource : kSqliteSource,
                 "The connection string names no database file (Dbq=...).");
        }
        return IsAccessDriver(*driver) ? OpenAccessBackend(*file)
                                       : OpenSqliteBackend(*file, BusyTimeout(*parsed));
    }
    if (!driver && !parsed->Get("DSN") && !parsed->Get("FileDSN")) {
        Fail(E_FAIL, kOdbcSource, "Data source name not found and no default driver specified");
    }
    // Any other driver: through the ODBC driver manager, with the caller's user and password
    // added when the string has none.
    std::string full = text;
    if (!user.empty() && !parsed->GetAny({"Uid", "User", "User ID"})) {
        if (!full.empty() && full.back() != ';')
            full += ';';
        full += "Uid={" + user + "};";
    }
    if (!password.empty() && !parsed->GetAny({"Pwd", "Password"})) {
        if (!full.empty() && full.back() != ';')
            full += ';';
        full += "Pwd={" + password + "};";
    }
    return OpenOdbcBackend(full);
}

}  // namespace provider
