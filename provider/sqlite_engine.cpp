#include "provider/sqlite_engine.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <string>

#include "platform/ATLComTime.h"
#include "platform/longwork.h"
#include "provider/database_file.h"

namespace provider {

namespace {

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

bool Has(const std::string& s, std::string_view part) {
    return s.find(part) != std::string::npos;
}

// The numbers inside "(p)" or "(p,s)"; -1 where absent.
void SizeArguments(std::string_view declared, int& first, int& second) {
    first = second = -1;
    const auto open = declared.find('(');
    if (open == std::string_view::npos)
        return;
    std::sscanf(std::string(declared.substr(open + 1)).c_str(), "%d , %d", &first, &second);
}

bool IsIntegerTag(VARTYPE vt) {
    return vt == VT_I1 || vt == VT_UI1 || vt == VT_I2 || vt == VT_UI2 || vt == VT_I4 ||
           vt == VT_UI4 || vt == VT_I8 || vt == VT_UI8 || vt == VT_INT || vt == VT_UINT;
}

bool ParseInteger(std::string_view s, std::int64_t& out) {
    if (s.empty())
        return false;
    std::string text(s);
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno == ERANGE || !end || *end != 0 || end == text.c_str())
        return false;
    out = v;
    return true;
}

bool ParseReal(std::string_view s, double& out) {
    if (s.empty())
        return false;
    std::string text(s);
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end && *end == 0 && end != text.c_str();
}

std::u16string RealText(double d) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", d);
    return qv::ToUtf16(std::string_view(buf));
}

std::u16string IntegerText(std::int64_t i) {
    return qv::ToUtf16(std::to_string(i));
}

// Brings a text value into the domain of its column's tag: digits into an integer column, an
// ISO text into a date column ... True when it converted (cell i then holds the new value).
bool SettleText(std::string_view u, VARTYPE vt, ResultSet& rs, std::size_t i) {
    if (IsIntegerTag(vt) || vt == VT_BOOL) {
        std::int64_t n = 0;
        if (ParseInteger(u, n)) {
            rs.SetInteger(i, n);
            return true;
        }
        if (vt == VT_BOOL) {
            const std::string up = Upper(u);
            if (up == "TRUE" || up == "YES") {
                rs.SetInteger(i, 1);
                return true;
            }
            if (up == "FALSE" || up == "NO") {
                rs.SetInteger(i, 0);
                return true;
            }
        }
    } else if (vt == VT_R8 || vt == VT_R4) {
        double d = 0;
        if (ParseReal(u, d)) {
            rs.SetReal(i, d);
            return true;
        }
    } else if (vt == VT_CY) {
        DECIMAL dec{};
        if (ParseDecimal(u, dec) && dec.Hi32 == 0 && dec.scale <= 4) {
            unsigned long long m = dec.Lo64;
            for (int k = dec.scale; k < 4; ++k)
                m *= 10;
            if (m < 9223372036854775807ULL) {
                rs.SetInteger(
                    i, dec.sign ? -static_cast<std::int64_t>(m) : static_cast<std::int64_t>(m));
                return true;
            }
        }
    } else if (vt == VT_DATE) {
        double d = 0;
        if (OleDateFromIso(u, d)) {
            rs.SetReal(i, d);
            return true;
        }
    } else if (vt == VT_DECIMAL) {
        DECIMAL dec{};
        if (ParseDecimal(u, dec)) {
            rs.SetDecimal(i, dec);
            return true;
        }
    }
    return false;
}

// Brings cell i into the domain of its column's tag; cells that do not convert stay as they
// are.
void Settle(ResultSet& rs, std::size_t i, VARTYPE vt) {
    const Cell cell = rs[i];
    if (cell.kind == Cell::Kind::Null || cell.kind == Cell::Kind::Blob ||
        cell.kind == Cell::Kind::Decimal) {
        return;
    }
    if (cell.kind == Cell::Kind::Text) {
        if (vt != VT_BSTR)
            SettleText(qv::ToUtf8(rs.Text(cell)), vt, rs, i);
        return;
    }
    const bool integer = cell.kind == Cell::Kind::Integer;
    if (IsIntegerTag(vt) || vt == VT_BOOL) {
        if (!integer && std::isfinite(cell.real) && std::trunc(cell.real) == cell.real &&
            std::fabs(cell.real) < 9.2e18) {
            rs.SetInteger(i, static_cast<std::int64_t>(cell.real));
        }
    } else if (vt == VT_R8 || vt == VT_R4) {
        if (integer)
            rs.SetReal(i, static_cast<double>(cell.integer));
    } else if (vt == VT_CY) {
        if (integer) {
            if (std::llabs(cell.integer) < 922337203685477LL)
                rs.SetInteger(i, cell.integer * 10000);
        } else if (std::fabs(cell.real) < 922337203685477.0) {
            rs.SetInteger(i, static_cast<std::int64_t>(std::llround(cell.real * 10000.0)));
        }
    } else if (vt == VT_DATE) {
        if (integer)
            rs.SetReal(i, static_cast<double>(cell.integer) / 86400.0 + 25569.0);  // Unix time
        else
            rs.SetReal(i, cell.real - 2415018.5);  // Julian day number
    } else if (vt == VT_DECIMAL) {
        DECIMAL dec{};
        if (ParseDecimal(integer ? std::to_string(cell.integer) : qv::ToUtf8(RealText(cell.real)),
                         dec)) {
            rs.SetDecimal(i, dec);
        }
    } else if (vt == VT_BSTR) {
        rs.SetText(i, integer ? IntegerText(cell.integer) : RealText(cell.real));
    }
}

}  // namespace

void DescribeColumn(Column& c, bool longText) {
    long size = 0;
    switch (c.vt) {
        case VT_UI1:
            c.type = adUnsignedTinyInt, size = 1;
            break;
        case VT_I1:
            c.type = adTinyInt, size = 1;
            break;
        case VT_I2:
            c.type = adSmallInt, size = 2;
            break;
        case VT_I4:
            c.type = adInteger, size = 4;
            break;
        case VT_I8:
            c.type = adBigInt, size = 8;
            break;
        case VT_R4:
            c.type = adSingle, size = 4;
            break;
        case VT_R8:
            c.type = adDouble, size = 8;
            break;
        case VT_CY:
            c.type = adCurrency, size = 8;
            break;
        case VT_DATE:
            c.type = adDate, size = 8;
            break;
        case VT_BOOL:
            c.type = adBoolean, size = 2;
            break;
        case VT_DECIMAL:
            c.type = adNumeric, size = 19;
            break;
        case VT_BSTR:
            c.type = longText ? adLongVarWChar : adVarWChar;
            size = longText || c.definedSize <= 0 ? 536870910 : c.definedSize;
            break;
        default:
            c.type = adLongVarBinary;
            c.vt = VT_ARRAY | VT_UI1;
            longText = true;
            size = c.definedSize > 0 ? c.definedSize : 1073741823;
            break;
    }
    c.definedSize = size;
    c.attributes = adFldMayBeNull | adFldIsNullable | adFldUnknownUpdatable;
    if (c.type != adVarWChar && c.type != adLongVarWChar && c.type != adLongVarBinary)
        c.attributes |= adFldFixed;
    if (longText)
        c.attributes |= adFldLong;
    if (c.vt != VT_DECIMAL) {
        c.precision = 255;
        c.scale = 255;
    }
}

bool ColumnFromDeclaredType(std::string_view declared, Column& c) {
    const std::string t = Upper(declared);
    int a = -1, b = -1;
    SizeArguments(t, a, b);
    bool longText = false;
    c.definedSize = 0;
    if (t.empty())
        return false;
    if (Has(t, "BIGINT") || Has(t, "INT8") || Has(t, "INT64") || Has(t, "LONGLONG"))
        c.vt = VT_I8;
    else if (Has(t, "TINYINT") || t == "BYTE")
        c.vt = VT_UI1;
    else if (Has(t, "SMALLINT") || Has(t, "INT2") || t == "SHORT")
        c.vt = VT_I2;
    else if (Has(t, "BOOL") || t == "BIT" || Has(t, "YESNO") || Has(t, "LOGICAL"))
        c.vt = VT_BOOL;
    else if (Has(t, "INT") || t == "LONG" || t == "COUNTER" || t == "AUTOINCREMENT")
        c.vt = VT_I4;
    else if (Has(t, "CURRENCY") || Has(t, "MONEY"))
        c.vt = VT_CY;
    else if (Has(t, "DATE") || Has(t, "TIME"))
        c.vt = VT_DATE;
    else if (Has(t, "DEC") || Has(t, "NUMERIC")) {
        c.vt = VT_DECIMAL;
        c.precision = static_cast<unsigned char>(a > 0 && a <= 28 ? a : 18);
        c.scale = static_cast<unsigned char>(b >= 0 && b <= 28 ? b : 0);
    } else if (t == "SINGLE" || Has(t, "FLOAT4") || t == "REAL4")
        c.vt = VT_R4;
    else if (Has(t, "REAL") || Has(t, "FLOA") || Has(t, "DOUB"))
        c.vt = VT_R8;
    else if (Has(t, "CHAR") || Has(t, "CLOB") || Has(t, "TEXT") || Has(t, "MEMO") ||
             Has(t, "STRING") || Has(t, "GUID") || Has(t, "UUID")) {
        c.vt = VT_BSTR;
        longText = Has(t, "CLOB") || Has(t, "TEXT") || Has(t, "MEMO");
        if (a > 0 && !longText)
            c.definedSize = a;
    } else if (Has(t, "BLOB") || Has(t, "BINARY") || Has(t, "OLE") || Has(t, "IMAGE")) {
        c.vt = VT_ARRAY | VT_UI1;
    } else {
        return false;
    }
    DescribeColumn(c, longText);
    return true;
}

bool ParseDecimal(std::string_view text, DECIMAL& out) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    unsigned __int128 mantissa = 0;
    int scale = 0, digits = 0;
    bool point = false;
    const unsigned __int128 limit = (static_cast<unsigned __int128>(1) << 96);
    for (; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == '.' && !point) {
            point = true;
            continue;
        }
        if (ch < '0' || ch > '9')
            break;
        ++digits;
        const unsigned __int128 next = mantissa * 10 + static_cast<unsigned>(ch - '0');
        if (next >= limit || (point && scale == 28)) {
            if (!point)
                return false;  // integer part too large
            continue;          // further fraction digits are beyond the precision
        }
        mantissa = next;
        if (point)
            ++scale;
    }
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (digits == 0 || i != text.size())
        return false;
    out = DECIMAL{};
    out.scale = static_cast<BYTE>(scale);
    out.sign = negative && mantissa != 0 ? DECIMAL_NEG : 0;
    out.Lo64 = static_cast<ULONGLONG>(mantissa);
    out.Hi32 = static_cast<ULONG>(mantissa >> 64);
    return true;
}

bool OleDateFromIso(std::string_view text, double& out) {
    // "YYYY-MM-DD", optionally followed by ' ' or 'T' and "HH:MM", ":SS" and a fraction.
    std::size_t i = 0;
    const auto number = [&](std::size_t digits, int& value) {
        if (i + digits > text.size())
            return false;
        value = 0;
        for (std::size_t k = 0; k < digits; ++k) {
            const char c = text[i + k];
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + (c - '0');
        }
        i += digits;
        return true;
    };
    const auto expect = [&](char c) {
        if (i >= text.size() || text[i] != c)
            return false;
        ++i;
        return true;
    };
    int y = 0, m = 0, d = 0, hh = 0, mm = 0, ss = 0;
    double fraction = 0;
    if (!number(4, y) || !expect('-') || !number(2, m) || !expect('-') || !number(2, d))
        return false;
    if (i < text.size()) {
        if (text[i] != ' ' && text[i] != 'T')
            return false;
        ++i;
        if (!number(2, hh) || !expect(':') || !number(2, mm))
            return false;
        if (i < text.size() && text[i] == ':') {
            ++i;
            if (!number(2, ss))
                return false;
            if (i < text.size() && text[i] == '.') {
                double scale = 0.1;
                for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, scale /= 10) {
                    fraction += (text[i] - '0') * scale;
                }
            }
        }
        if (i != text.size())
            return false;
    }
    COleDateTime t(y, m, d, hh, mm, ss);
    if (t.GetStatus() != COleDateTime::valid)
        return false;
    out = t.m_dt + (t.m_dt >= 0 ? 1 : -1) * fraction / 86400.0;
    return true;
}

namespace {

// ---- Opening files ---------------------------------------------------------------------------

using OpenCall = int (*)(const char*, int, int);
OpenCall g_systemOpen = nullptr;

// SQLite's open(2): non-blocking, and refusing named pipes and sockets. The provider checks a
// database file before SQLite opens it; this closes the window in which the path could be
// replaced by a pipe that would block the host until some writer comes.
int NonBlockingOpen(const char* path, int flags, int mode) {
    const int fd = g_systemOpen(path, flags | O_NONBLOCK, mode);
    if (fd < 0)
        return fd;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))) {
        ::close(fd);
        errno = ENXIO;
        return -1;
    }
    if (!(flags & O_NONBLOCK))
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// Installs NonBlockingOpen in SQLite's Unix file layer, once for the process.
void InstallNonBlockingOpen() {
    static std::once_flag once;
    std::call_once(once, [] {
        sqlite3_vfs* vfs = sqlite3_vfs_find("unix");
        if (!vfs || vfs->iVersion < 3 || !vfs->xGetSystemCall || !vfs->xSetSystemCall)
            return;
        g_systemOpen = reinterpret_cast<OpenCall>(vfs->xGetSystemCall(vfs, "open"));
        if (g_systemOpen) {
            vfs->xSetSystemCall(vfs, "open",
                                reinterpret_cast<sqlite3_syscall_ptr>(&NonBlockingOpen));
        }
    });
}

// The name SQLite gets for a path: never read as a URI ("file:...") or as the in-memory
// database (":memory:").
std::string PlainFileName(const std::string& path) {
    if (!path.empty() && (path[0] == ':' || path.rfind("file:", 0) == 0))
        return "./" + path;
    return path;
}

// ---- Checking statements ---------------------------------------------------------------------

// Past blanks, semicolons and comments.
const char* SkipFiller(const char* p) {
    while (p && *p) {
        if (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\f' || *p == ';') {
            ++p;
        } else if (p[0] == '-' && p[1] == '-') {
            while (*p && *p != '\n')
                ++p;
        } else if (p[0] == '/' && p[1] == '*') {
            const char* end = std::strstr(p + 2, "*/");
            p = end ? end + 2 : p + std::strlen(p);  // an unclosed comment runs to the end
        } else {
            break;
        }
    }
    return p;
}

// Blanks, semicolons and comments only.
bool NothingMoreIn(const char* text) {
    return !text || *SkipFiller(text) == 0;
}

// The first word of a statement, in capitals ("VACUUM", "EXPLAIN").
std::string FirstWord(const char* sql) {
    const char* p = SkipFiller(sql);
    while (*p == '(' || *p == ' ')
        ++p;
    std::string word;
    while (std::isalpha(static_cast<unsigned char>(*p)))
        word += static_cast<char>(std::toupper(static_cast<unsigned char>(*p++)));
    return word;
}

bool IsOneOf(const char* name, std::initializer_list<std::string_view> names) {
    if (!name)
        return false;
    const std::string lower = qv::ToUtf8(qv::ToLower<char16_t>(qv::ToUtf16(name)));
    return std::find(names.begin(), names.end(), lower) != names.end();
}

}  // namespace

// What the authorizer needs: whether the provider runs its own statements, why the last
// statement was refused, and the busy timeout for messages.
struct SqliteDatabase::Guard {
    int own = 0;
    std::string statementWord;  // the first word of the statement being prepared
    std::string refusal;
    int busyTimeoutMs = 0;
};

SqliteDatabase::SqliteDatabase(sqlite3* db, std::u16string_view source)
    : m_db(db), m_source(source), m_guard(std::make_unique<Guard>()) {}

SqliteDatabase::OwnStatements::OwnStatements(SqliteDatabase& db) : m_db(db) {
    ++m_db.m_guard->own;
}
SqliteDatabase::OwnStatements::~OwnStatements() {
    --m_db.m_guard->own;
}

int SqliteDatabase::Authorize(void* data, int action, const char* first, const char* second,
                              const char*, const char*) {
    auto* guard = static_cast<Guard*>(data);
    if (guard->own > 0)
        return SQLITE_OK;
    // The first refusal names the statement; SQLite may ask about its parts afterwards.
    const auto refuse = [guard](std::string why) {
        if (guard->refusal.empty())
            guard->refusal = std::move(why);
        return SQLITE_DENY;
    };
    // Named after the statement where it says what it does: creating a table also inserts
    // into the schema table, and ANALYZE writes statistics.
    const auto changes = [&](const char* verb) {
        const std::string& word = guard->statementWord;
        const bool query = word == "SELECT" || word == "WITH" || word == "VALUES" ||
                           word == "EXPLAIN" || word.empty();
        return refuse((query ? std::string(verb) : word) + " would change the database");
    };
    switch (action) {
        case SQLITE_SELECT:
        case SQLITE_READ:
        case SQLITE_RECURSIVE:
            return SQLITE_OK;
        case SQLITE_FUNCTION:
            if (IsOneOf(second,
                        {"load_extension", "fts3_tokenizer", "readfile", "writefile", "edit"})) {
                return refuse(std::string("the function ") + second +
                              "() reaches outside the database");
            }
            return SQLITE_OK;
        case SQLITE_PRAGMA:
            // The listings of the schema only read; every other PRAGMA sets or runs something.
            if (IsOneOf(first, {"table_info", "table_xinfo", "table_list", "index_list",
                                "index_info", "index_xinfo", "foreign_key_list"})) {
                return SQLITE_OK;
            }
            return refuse(std::string("PRAGMA ") + (first ? first : "") +
                          " is not one of the PRAGMAs that only list the schema");
        case SQLITE_ATTACH:
            return refuse("ATTACH would open another database file");
        case SQLITE_DETACH:
            return refuse("DETACH would change the databases of the connection");
        case SQLITE_TRANSACTION:
        case SQLITE_SAVEPOINT:
            return refuse("a transaction statement is not a query");
        case SQLITE_INSERT:
            return changes("INSERT");
        case SQLITE_UPDATE:
            // Asked about the schema table while SQLite sets up a built-in table-valued
            // function such as pragma_table_info; a real change of it is a write, refused
            // after preparing.
            if (IsOneOf(first, {"sqlite_master", "sqlite_temp_master"}))
                return SQLITE_OK;
            return changes("UPDATE");
        case SQLITE_DELETE:
            return changes("DELETE");
        case SQLITE_CREATE_INDEX:
        case SQLITE_CREATE_TABLE:
        case SQLITE_CREATE_TEMP_INDEX:
        case SQLITE_CREATE_TEMP_TABLE:
        case SQLITE_CREATE_TEMP_TRIGGER:
        case SQLITE_CREATE_TEMP_VIEW:
        case SQLITE_CREATE_TRIGGER:
        case SQLITE_CREATE_VIEW:
        case SQLITE_CREATE_VTABLE:
            return changes("CREATE");
        case SQLITE_DROP_INDEX:
        case SQLITE_DROP_TABLE:
        case SQLITE_DROP_TEMP_INDEX:
        case SQLITE_DROP_TEMP_TABLE:
        case SQLITE_DROP_TEMP_TRIGGER:
        case SQLITE_DROP_TEMP_VIEW:
        case SQLITE_DROP_TRIGGER:
        case SQLITE_DROP_VIEW:
        case SQLITE_DROP_VTABLE:
            return changes("DROP");
        case SQLITE_ALTER_TABLE:
            return changes("ALTER TABLE");
        case SQLITE_REINDEX:
            return changes("REINDEX");
        case SQLITE_ANALYZE:
            return changes("ANALYZE");
        default:
            return refuse("the statement is not a query");
    }
}

void SqliteDatabase::Harden() {
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    // Views, triggers and defaults of a database from elsewhere call only harmless functions.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_limit(m_db, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_set_authorizer(m_db, &SqliteDatabase::Authorize, m_guard.get());
}

SqliteDatabase SqliteDatabase::OpenReadOnly(const std::string& path, std::u16string_view source,
                                            int busyTimeoutMs) {
    RequireRegularFile(path, source);
    InstallNonBlockingOpen();
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(PlainFileName(path).c_str(), &db,
                                   SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    SqliteDatabase result(db, source);
    const std::string prefix = "Cannot open database file '" + path + "': ";
    if (rc != SQLITE_OK)
        result.FailWithMessage(E_FAIL, prefix);
    result.Harden();
    // Set before the first read: a file another program is writing is waited for.
    result.m_guard->busyTimeoutMs = busyTimeoutMs;
    sqlite3_busy_timeout(db, busyTimeoutMs);
    // Opening is lazy in SQLite: read the schema now so a missing or foreign file fails here.
    if (sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) !=
        SQLITE_OK) {
        result.FailWithMessage(E_FAIL, prefix);
    }
    return result;
}

SqliteDatabase SqliteDatabase::InMemory(std::u16string_view source) {
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    SqliteDatabase result(db, source);
    if (rc != SQLITE_OK)
        result.FailWithMessage(E_FAIL);
    result.Harden();
    return result;
}

SqliteDatabase::SqliteDatabase(SqliteDatabase&& o) noexcept
    : m_db(std::exchange(o.m_db, nullptr)),
      m_source(std::move(o.m_source)),
      m_guard(std::move(o.m_guard)) {}
SqliteDatabase& SqliteDatabase::operator=(SqliteDatabase&& o) noexcept {
    std::swap(m_db, o.m_db);
    std::swap(m_source, o.m_source);
    std::swap(m_guard, o.m_guard);
    return *this;
}
SqliteDatabase::~SqliteDatabase() {
    sqlite3_close_v2(m_db);
}

void SqliteDatabase::FailWithMessage(HRESULT hr, std::string_view prefix) {
    std::string message(prefix);
    const int code = m_db ? sqlite3_errcode(m_db) : SQLITE_NOMEM;
    if (code == SQLITE_BUSY && m_guard) {
        char waited[32];
        std::snprintf(waited, sizeof waited, "%g", m_guard->busyTimeoutMs / 1000.0);
        message += std::string(prefix.empty() ? "the database" : "it") +
                   " is locked by another program; gave up waiting after " + waited + " s.";
    } else {
        message += m_db ? sqlite3_errmsg(m_db) : "out of memory";
    }
    Fail(hr, m_source, message);
}

namespace {

[[noreturn]] void FailRefused(std::u16string_view source, const std::string& why) {
    Fail(DB_E_ERRORSINCOMMAND, source,
         "The command was refused: " + why +
             ". Only a single statement that reads the database is run.");
}

// How often a query reports: every so many rows, and every so many steps of SQLite's machine
// between rows.
constexpr long long kRowsPerReport = 1024;
constexpr int kProgressSteps = 1 << 20;

struct ProgressPoll {
    const long long* rows;
    bool cancelled;
    static int Callback(void* self) {
        auto* poll = static_cast<ProgressPoll*>(self);
        if (!qv::LongWorkGoesOn("Reading rows", *poll->rows))
            poll->cancelled = true;
        return poll->cancelled ? 1 : 0;  // non-zero interrupts the statement
    }
};

struct StatementDeleter {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

// The UTF-16 form of a text, as the engine would convert it; false when the engine must
// convert it itself. ASCII and well-formed UTF-8 are converted here; the engine keeps its own
// rules for malformed sequences and for U+FFFE and U+FFFF, which it replaces.
bool WidenUtf8(std::string_view s, std::u16string& out) {
    // Written in place: a character takes no more UTF-16 units than it takes UTF-8 bytes.
    out.resize(s.size());
    char16_t* p = out.data();
    for (std::size_t i = 0; i < s.size();) {
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            *p++ = static_cast<char16_t>(s[i++]);  // ASCII, the common case
            continue;
        }
        const std::size_t start = i;
        const char32_t cp = qv::DecodeUtf8(s, i);
        if (i == start + 1 || cp == 0xFFFE || cp == 0xFFFF)
            return false;  // a malformed sequence (which advances one byte) or a noncharacter
        p = qv::WriteUtf16(p, cp);
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
    return true;
}

// Appends one value of the current row. With a tag (a declared column), it is brought into
// that column's domain at once; a text that converts (digits, an ISO date) never becomes
// UTF-16. Wide is room for widening texts, kept from cell to cell.
void FetchCell(sqlite3_stmt* stmt, int c, VARTYPE settleAs, ResultSet& rs, std::u16string& wide) {
    const std::size_t i = rs.CellCount();
    switch (sqlite3_column_type(stmt, c)) {
        case SQLITE_INTEGER:
            rs.AddInteger(sqlite3_column_int64(stmt, c));
            if (IsIntegerTag(settleAs) || settleAs == VT_BOOL)
                return;  // already in its column's domain
            break;
        case SQLITE_FLOAT:
            rs.AddReal(sqlite3_column_double(stmt, c));
            if (settleAs == VT_R8 || settleAs == VT_R4)
                return;
            break;
        case SQLITE_TEXT: {
            const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
            const std::string_view utf8(p ? p : "",
                                        static_cast<std::size_t>(sqlite3_column_bytes(stmt, c)));
            rs.AddNull();
            if (settleAs != VT_EMPTY && settleAs != VT_BSTR && SettleText(utf8, settleAs, rs, i))
                return;
            if (WidenUtf8(utf8, wide)) {
                rs.SetText(i, wide);
            } else {
                const auto* w = static_cast<const char16_t*>(sqlite3_column_text16(stmt, c));
                const int bytes = sqlite3_column_bytes16(stmt, c);
                rs.SetText(i,
                           std::u16string_view(w ? w : u"", static_cast<std::size_t>(bytes) / 2));
            }
            return;  // text that did not convert stays text
        }
        case SQLITE_BLOB: {
            const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt, c));
            rs.AddBlob(Blob(p, p + sqlite3_column_bytes(stmt, c)));
            return;
        }
        default:
            rs.AddNull();
            return;
    }
    if (settleAs != VT_EMPTY)
        Settle(rs, i, settleAs);
}

std::string MissingTableName(const char* message) {
    static constexpr std::string_view kPrefix = "no such table: ";
    std::string_view m(message);
    if (m.substr(0, kPrefix.size()) != kPrefix)
        return {};
    std::string name(m.substr(kPrefix.size()));
    if (name.rfind("main.", 0) == 0)
        name.erase(0, 5);
    return name;
}
}  // namespace

void SqliteDatabase::Execute(std::string_view sql) {
    const OwnStatements own(*this);
    const std::string text(sql);
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(m_db, text.c_str(), -1, &raw, &tail) != SQLITE_OK)
        FailWithMessage(DB_E_ERRORSINCOMMAND);
    const Statement stmt(raw);
    // One statement: text the provider builds from names in a file can never add a second.
    if (!NothingMoreIn(tail))
        FailRefused(m_source, "the text holds more than one statement");
    if (!stmt)
        return;
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE)
        FailWithMessage(DB_E_ERRORSINCOMMAND);
}

ResultSet SqliteDatabase::Query(std::string_view sql, const MissingTableHook& onMissingTable) {
    const std::string text(sql);
    m_guard->statementWord = FirstWord(text.c_str());
    const auto prepare = [&](sqlite3_stmt*& raw, const char*& tail) {
        m_guard->refusal.clear();
        return sqlite3_prepare_v2(m_db, text.c_str(), -1, &raw, &tail);
    };
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    int rc = prepare(raw, tail);
    // The hook runs statements of its own, which replace the connection's last error.
    std::string missing = rc == SQLITE_OK ? std::string() : MissingTableName(sqlite3_errmsg(m_db));
    for (int attempt = 0; !missing.empty() && onMissingTable && attempt < 256; ++attempt) {
        bool created = false;
        {
            const OwnStatements own(*this);
            created = onMissingTable(missing);
        }
        if (!created)
            Fail(DB_E_NOTABLE, m_source, "no such table: " + missing);
        rc = prepare(raw, tail);
        missing = rc == SQLITE_OK ? std::string() : MissingTableName(sqlite3_errmsg(m_db));
    }
    if (rc != SQLITE_OK) {
        if (!m_guard->refusal.empty())
            FailRefused(m_source, m_guard->refusal);
        FailWithMessage(missing.empty() ? DB_E_ERRORSINCOMMAND : DB_E_NOTABLE);
    }
    Statement stmt(raw);
    if (!stmt)
        Fail(DB_E_NOCOMMAND, m_source, "The command text is empty.");
    if (!NothingMoreIn(tail))
        FailRefused(m_source, "the text holds more than one statement");
    if (!sqlite3_stmt_readonly(stmt.get()))
        FailRefused(m_source, m_guard->statementWord + " would write to the database or a file");
    const int count = sqlite3_column_count(stmt.get());
    ResultSet rs;
    rs.ReuseStorage();
    std::vector<bool> declared(count, false);
    // Values of a declared column are settled into its domain as they are fetched; the others
    // wait until all values of their column are known.
    std::vector<VARTYPE> settleAs(count, VT_EMPTY);
    for (int c = 0; c < count; ++c) {
        Column column;
        const char* name = sqlite3_column_name(stmt.get(), c);
        column.name = qv::ToUtf16(std::string_view(name ? name : ""));
        const char* decl = sqlite3_column_decltype(stmt.get(), c);
        declared[c] = decl && ColumnFromDeclaredType(decl, column);
        if (declared[c])
            settleAs[c] = column.vt;
        rs.columns.push_back(std::move(column));
    }
    // Long reads show the rows read so far and stop when the user cancels the command; so
    // does a statement that works long without giving rows (polled from inside SQLite).
    long long rows = 0;
    std::u16string wide;
    ProgressPoll poll{&rows, false};
    sqlite3_progress_handler(m_db, kProgressSteps, &ProgressPoll::Callback, &poll);
    const struct Unhook {
        sqlite3* db;
        ~Unhook() { sqlite3_progress_handler(db, 0, nullptr, nullptr); }
    } unhook{m_db};
    try {
        for (;;) {
            rc = sqlite3_step(stmt.get());
            if (rc == SQLITE_DONE)
                break;
            if (poll.cancelled)
                Fail(E_ABORT, m_source,
                     "The query was cancelled (" + std::to_string(rows) + " rows read).");
            if (rc != SQLITE_ROW)
                FailWithMessage(DB_E_ERRORSINCOMMAND);
            if (++rows % kRowsPerReport == 0 && !qv::LongWorkGoesOn("Reading rows", rows)) {
                rs = ResultSet{};
                Fail(E_ABORT, m_source,
                     "The query was cancelled (" + std::to_string(rows) + " rows read).");
            }
            for (int c = 0; c < count; ++c)
                FetchCell(stmt.get(), c, settleAs[c], rs, wide);
        }
    } catch (const std::bad_alloc&) {
        rs = ResultSet{};
        Fail(E_OUTOFMEMORY, m_source,
             "Not enough memory for the rows of the query (" + std::to_string(rows) +
                 " rows read).");
    }
    TypeAndWidenColumns(rs, declared);
    return rs;
}

ResultSet MakeTablesRowset(const std::vector<std::pair<std::u16string, std::u16string>>& rows) {
    ResultSet rs;
    for (const char16_t* name : {u"TABLE_CATALOG", u"TABLE_SCHEMA", u"TABLE_NAME", u"TABLE_TYPE"}) {
        Column c;
        c.name = name;
        c.vt = VT_BSTR;
        c.definedSize = 128;
        DescribeColumn(c);
        rs.columns.push_back(std::move(c));
    }
    for (const auto& [name, type] : rows) {
        rs.AddNull();
        rs.AddNull();
        rs.AddText(name);
        rs.AddText(type);
    }
    return rs;
}

ResultSet SqliteDatabase::Tables() {
    const ResultSet names = Query(
        "SELECT name, upper(type) FROM sqlite_master WHERE type IN ('table','view') AND name NOT "
        "LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY type, name");
    std::vector<std::pair<std::u16string, std::u16string>> rows;
    for (std::size_t r = 0; r < names.RowCount(); ++r) {
        rows.emplace_back(names.Text(names[r * 2]), names.Text(names[r * 2 + 1]));
    }
    return MakeTablesRowset(rows);
}

void SettleColumnTypes(ResultSet& rs, const std::vector<bool>& declared) {
    const std::size_t cols = rs.columns.size();
    const std::size_t rows = rs.RowCount();
    for (std::size_t c = 0; c < cols; ++c) {
        if (!declared[c])
            continue;
        for (std::size_t r = 0; r < rows; ++r)
            Settle(rs, r * cols + c, rs.columns[c].vt);
    }
    TypeAndWidenColumns(rs, declared);
}

void TypeAndWidenColumns(ResultSet& rs, const std::vector<bool>& declared) {
    const std::size_t cols = rs.columns.size();
    const std::size_t rows = rs.RowCount();
    for (std::size_t c = 0; c < cols; ++c) {
        Column& column = rs.columns[c];
        if (!declared[c]) {
            // Typed from the values: integers, reals, text or binary.
            bool ints = false, reals = false, text = false, blobs = false;
            for (std::size_t r = 0; r < rows; ++r) {
                const Cell::Kind kind = rs[r * cols + c].kind;
                ints |= kind == Cell::Kind::Integer;
                reals |= kind == Cell::Kind::Real;
                text |= kind == Cell::Kind::Text;
                blobs |= kind == Cell::Kind::Blob;
            }
            column.vt = text || (!ints && !reals && !blobs) ? VT_BSTR
                        : blobs                             ? VT_ARRAY | VT_UI1
                        : reals                             ? VT_R8
                                                            : VT_I4;
            column.definedSize = 0;
            DescribeColumn(column, column.vt == VT_BSTR);
            for (std::size_t r = 0; r < rows; ++r)
                Settle(rs, r * cols + c, column.vt);
        }
        if (IsIntegerTag(column.vt) && column.vt != VT_I8) {
            // An integer column whose values do not fit its declared width is widened, never cut.
            std::int64_t low = 0, high = 0;
            for (std::size_t r = 0; r < rows; ++r) {
                const Cell& cell = rs[r * cols + c];
                if (cell.kind == Cell::Kind::Integer) {
                    low = std::min(low, cell.integer);
                    high = std::max(high, cell.integer);
                }
            }
            VARTYPE widened = column.vt;
            if (column.vt == VT_UI1 && (low < 0 || high > 255))
                widened = VT_I2;
            if ((widened == VT_I2) && (low < -32768 || high > 32767))
                widened = VT_I4;
            if (low < std::numeric_limits<std::int32_t>::min() ||
                high > std::numeric_limits<std::int32_t>::max()) {
                widened = VT_I8;
            }
            if (widened != column.vt) {
                column.vt = widened;
                DescribeColumn(column);
            }
        }
    }
}

}  // namespace provider
