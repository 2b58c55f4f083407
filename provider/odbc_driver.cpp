#include "provider/odbc_driver.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "platform/longwork.h"

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t),
              "the driver manager must use UTF-16 wide characters");

namespace provider::odbc {
namespace {

SQLWCHAR* W(const std::u16string& s) {
    return reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(s.c_str()));
}

std::string Narrow(std::u16string_view s) {
    // Diagnostics are mostly ASCII; other characters are encoded as UTF-8.
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size())
            c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

Error Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    Error error;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLWCHAR sqlState[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR message[1024] = {};
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(
                SQLGetDiagRecW(type, handle, i, sqlState, &native, message, 1024, &length)))
            break;
        const std::string state =
            Narrow(std::u16string_view(reinterpret_cast<const char16_t*>(sqlState), 5));
        if (error.state.empty())
            error.state = state;
        if (!error.text.empty())
            error.text += "\n";
        error.text += Narrow(reinterpret_cast<const char16_t*>(message));
        error.text += " (SQLSTATE " + state + ", native error " + std::to_string(native) + ")";
    }
    if (error.text.empty())
        error.text = "The ODBC driver reported an error without a message.";
    return error;
}

class Handle {
public:
    Handle(SQLSMALLINT type, SQLHANDLE parent) : m_type(type) {
        if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &m_handle))) {
            m_handle = SQL_NULL_HANDLE;
            throw Error{"HY001", "Cannot allocate an ODBC handle.", false};
        }
    }
    ~Handle() {
        if (m_handle != SQL_NULL_HANDLE)
            SQLFreeHandle(m_type, m_handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    SQLHANDLE Get() const { return m_handle; }
    void Check(SQLRETURN rc) const {
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
            throw Diagnostics(m_type, m_handle);
    }

private:
    SQLSMALLINT m_type;
    SQLHANDLE m_handle = SQL_NULL_HANDLE;
};

Kind KindOf(SQLSMALLINT sqlType) {
    switch (sqlType) {
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER:
        case SQL_BIGINT:
        case SQL_BIT:
            return Kind::Integer;
        case SQL_REAL:
        case SQL_FLOAT:
        case SQL_DOUBLE:
            return Kind::Real;
        case SQL_DATE:
        case SQL_TIMESTAMP:
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIMESTAMP:
            return Kind::Timestamp;
        case SQL_TIME:
        case SQL_TYPE_TIME:
            return Kind::Time;
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY:
            return Kind::Binary;
        default:
            return Kind::Text;  // text, decimals, GUIDs and anything else as text
    }
}

// "2000-02-29 00:00:01.5" without its fraction of a second: cell texts show whole seconds,
// and a fraction carried into a date would round the second up.
std::u16string WithoutSecondFraction(const std::u16string& text) {
    static constexpr char16_t kPattern[] = u"0000-00-00 00:00:00";
    const std::size_t n = std::char_traits<char16_t>::length(kPattern);
    if (text.size() <= n + 1 || text[n] != u'.')
        return text;
    for (std::size_t i = 0; i < n; ++i) {
        const bool digit = text[i] >= u'0' && text[i] <= u'9';
        if (kPattern[i] == u'0' ? !digit : text[i] != kPattern[i])
            return text;
    }
    std::size_t end = n + 1;
    while (end < text.size() && text[end] >= u'0' && text[end] <= u'9')
        ++end;
    return text.substr(0, n) + text.substr(end);
}

// Space for the pieces of long texts and binaries, kept for every cell of a fetch.
struct ReadBuffers {
    std::vector<char16_t> text = std::vector<char16_t>(4096);
    std::vector<std::uint8_t> binary;
};

Value ReadValue(const Handle& stmt, SQLUSMALLINT column, Kind kind, ReadBuffers& buffers) {
    SQLLEN indicator = 0;
    switch (kind) {
        case Kind::Integer: {
            SQLBIGINT value = 0;
            stmt.Check(
                SQLGetData(stmt.Get(), column, SQL_C_SBIGINT, &value, sizeof value, &indicator));
            if (indicator == SQL_NULL_DATA)
                return std::monostate{};
            return static_cast<std::int64_t>(value);
        }
        case Kind::Real: {
            double value = 0;
            stmt.Check(
                SQLGetData(stmt.Get(), column, SQL_C_DOUBLE, &value, sizeof value, &indicator));
            if (indicator == SQL_NULL_DATA)
                return std::monostate{};
            return value;
        }
        case Kind::Time:
        case Kind::Timestamp: {
            // As the source writes them: ISO texts within the automation-date range become
            // dates; the rest (years past 9999 or before 100, "infinity", zones, BC) stay the
            // source's own text rather than a made-up date.
            Value text = ReadValue(stmt, column, Kind::Text, buffers);
            if (auto* t = std::get_if<std::u16string>(&text); t && kind == Kind::Timestamp)
                *t = WithoutSecondFraction(*t);
            return text;
        }
        case Kind::Text: {
            std::u16string text;
            std::vector<char16_t>& chunk = buffers.text;
            for (;;) {
                const SQLRETURN rc =
                    SQLGetData(stmt.Get(), column, SQL_C_WCHAR, chunk.data(),
                               static_cast<SQLLEN>(chunk.size() * sizeof(char16_t)), &indicator);
                if (rc == SQL_NO_DATA)
                    break;
                stmt.Check(rc);
                if (indicator == SQL_NULL_DATA)
                    return std::monostate{};
                text.append(chunk.data(), std::char_traits<char16_t>::length(chunk.data()));
                if (rc == SQL_SUCCESS)
                    break;  // the last piece
            }
            return text;
        }
        case Kind::Binary: {
            std::vector<std::uint8_t> data;
            std::vector<std::uint8_t>& chunk = buffers.binary;
            chunk.resize(8192);
            for (;;) {
                const SQLRETURN rc = SQLGetData(stmt.Get(), column, SQL_C_BINARY, chunk.data(),
                                                static_cast<SQLLEN>(chunk.size()), &indicator);
                if (rc == SQL_NO_DATA)
                    break;
                stmt.Check(rc);
                if (indicator == SQL_NULL_DATA)
                    return std::monostate{};
                const std::size_t got =
                    indicator == SQL_NO_TOTAL || indicator > static_cast<SQLLEN>(chunk.size())
                        ? chunk.size()
                        : static_cast<std::size_t>(indicator);
                data.insert(data.end(), chunk.begin(),
                            chunk.begin() + static_cast<std::ptrdiff_t>(got));
                if (rc == SQL_SUCCESS)
                    break;
            }
            return data;
        }
    }
    return std::monostate{};
}

Rows Fetch(const Handle& stmt) {
    Rows rows;
    SQLSMALLINT count = 0;
    stmt.Check(SQLNumResultCols(stmt.Get(), &count));
    for (SQLSMALLINT c = 0; c < count; ++c) {
        SQLWCHAR name[512] = {};
        SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        stmt.Check(SQLDescribeColW(stmt.Get(), c + 1, name, 512, &nameLength, &type, &size, &digits,
                                   &nullable));
        ColumnInfo info;
        info.name = reinterpret_cast<const char16_t*>(name);
        info.sqlType = type;
        SQLWCHAR typeName[128] = {};
        SQLSMALLINT typeNameLength = 0;
        if (SQL_SUCCEEDED(SQLColAttributeW(stmt.Get(), c + 1, SQL_DESC_TYPE_NAME, typeName,
                                           sizeof typeName, &typeNameLength, nullptr))) {
            info.typeName = reinterpret_cast<const char16_t*>(typeName);
        }
        info.size = static_cast<unsigned long>(size);
        info.digits = digits;
        info.kind = KindOf(type);
        rows.columns.push_back(std::move(info));
    }
    // Long reads show the rows read so far and stop when the user cancels the command.
    ReadBuffers buffers;
    long long read = 0;
    try {
        for (;;) {
            const SQLRETURN rc = SQLFetch(stmt.Get());
            if (rc == SQL_NO_DATA)
                break;
            stmt.Check(rc);
            for (SQLSMALLINT c = 0; c < count; ++c) {
                rows.cells.push_back(ReadValue(stmt, static_cast<SQLUSMALLINT>(c + 1),
                                               rows.columns[c].kind, buffers));
            }
            if (++read % 1024 == 0 && !qv::LongWorkGoesOn("Reading rows", read)) {
                SQLCancel(stmt.Get());
                rows = Rows{};
                throw Error{"HY008",
                            "The query was cancelled (" + std::to_string(read) + " rows read).",
                            false};
            }
        }
    } catch (const std::bad_alloc&) {
        rows = Rows{};
        throw Error{
            "HY001",
            "Not enough memory for the rows of the query (" + std::to_string(read) + " rows read).",
            false};
    }
    return rows;
}

}  // namespace

namespace {

// An environment handle for the driver manager's listings.
struct ListingEnvironment {
    SQLHENV env = SQL_NULL_HENV;
    ListingEnvironment() {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
            env = SQL_NULL_HENV;
            return;
        }
        SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    }
    ~ListingEnvironment() {
        if (env != SQL_NULL_HENV)
            SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
    ListingEnvironment(const ListingEnvironment&) = delete;
    ListingEnvironment& operator=(const ListingEnvironment&) = delete;
};

std::u16string FromW(const SQLWCHAR* text) {
    return reinterpret_cast<const char16_t*>(text);
}

}  // namespace

std::vector<RegisteredDriver> ListDrivers() {
    std::vector<RegisteredDriver> drivers;
    ListingEnvironment listing;
    if (listing.env == SQL_NULL_HENV)
        return drivers;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLWCHAR name[512] = {};
        SQLWCHAR attributes[4096] = {};
        SQLSMALLINT nameLength = 0, attributesLength = 0;
        const SQLRETURN rc = SQLDriversW(listing.env, direction, name, 512, &nameLength, attributes,
                                         4096, &attributesLength);
        if (!SQL_SUCCEEDED(rc))
            break;
        direction = SQL_FETCH_NEXT;
        RegisteredDriver driver;
        driver.name = FromW(name);
        // The attributes are "key=value" texts, each ended by a NUL, the list by another.
        for (const SQLWCHAR* a = attributes; *a != 0 && a < attributes + 4096;) {
            const std::u16string pair = FromW(a);
            const std::u16string key = pair.substr(0, pair.find(u'='));
            const std::u16string value =
                pair.find(u'=') == std::u16string::npos ? u"" : pair.substr(pair.find(u'=') + 1);
            if ((key == u"FileUsage" || key == u"fileusage" || key == u"FILEUSAGE") &&
                (value == u"1" || value == u"2"))
                driver.usesFile = true;
            a += pair.size() + 1;
        }
        if (!driver.name.empty())
            drivers.push_back(std::move(driver));
    }
    return drivers;
}

std::vector<RegisteredDataSource> ListDataSources() {
    std::vector<RegisteredDataSource> sources;
    ListingEnvironment listing;
    if (listing.env == SQL_NULL_HENV)
        return sources;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLWCHAR name[SQL_MAX_DSN_LENGTH + 1] = {};
        SQLWCHAR driver[512] = {};
        SQLSMALLINT nameLength = 0, driverLength = 0;
        const SQLRETURN rc = SQLDataSourcesW(listing.env, direction, name, SQL_MAX_DSN_LENGTH + 1,
                                             &nameLength, driver, 512, &driverLength);
        if (!SQL_SUCCEEDED(rc))
            break;
        direction = SQL_FETCH_NEXT;
        if (name[0] != 0)
            sources.push_back({FromW(name), FromW(driver)});
    }
    return sources;
}

struct Connection::Handles {
    Handle env{SQL_HANDLE_ENV, SQL_NULL_HANDLE};
    std::unique_ptr<Handle> dbc;
    bool connected = false;
};

Connection::Connection(const std::u16string& connectionString)
    : m_handles(std::make_unique<Handles>()) {
    SQLSetEnvAttr(m_handles->env.Get(), SQL_ATTR_ODBC_VERSION,
                  reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    m_handles->dbc = std::make_unique<Handle>(SQL_HANDLE_DBC, m_handles->env.Get());
    // Asked for before connecting, when drivers decide how to open the source; a driver
    // without the mode ignores it.
    SQLSetConnectAttrW(m_handles->dbc->Get(), SQL_ATTR_ACCESS_MODE,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_MODE_READ_ONLY)), 0);
    SQLWCHAR out[1024];
    SQLSMALLINT outLength = 0;
    const SQLRETURN rc = SQLDriverConnectW(m_handles->dbc->Get(), nullptr, W(connectionString),
                                           SQL_NTS, out, 1024, &outLength, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        Error error = Diagnostics(SQL_HANDLE_DBC, m_handles->dbc->Get());
        error.connecting = true;
        throw error;
    }
    m_handles->connected = true;
    SQLWCHAR quote[8] = {};
    SQLSMALLINT length = 0;
    if (SQL_SUCCEEDED(SQLGetInfoW(m_handles->dbc->Get(), SQL_IDENTIFIER_QUOTE_CHAR, quote,
                                  sizeof quote, &length)) &&
        quote[0] != u' ' && quote[0] != 0) {
        m_quote = static_cast<char16_t>(quote[0]);
    }
}

Connection::~Connection() {
    if (m_handles->connected)
        SQLDisconnect(m_handles->dbc->Get());
}

Rows Connection::Execute(const std::u16string& sql) {
    Handle stmt(SQL_HANDLE_STMT, m_handles->dbc->Get());
    stmt.Check(SQLExecDirectW(stmt.Get(), W(sql), SQL_NTS));
    return Fetch(stmt);
}

Rows Connection::Tables() {
    Handle stmt(SQL_HANDLE_STMT, m_handles->dbc->Get());
    const std::u16string types = u"TABLE,VIEW";
    stmt.Check(SQLTablesW(stmt.Get(), nullptr, 0, nullptr, 0, nullptr, 0, W(types), SQL_NTS));
    return Fetch(stmt);
}

}  // namespace provider::odbc
