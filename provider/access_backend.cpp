// Access files (.mdb, .accdb) read with libmdb. Tables are copied, when a statement first needs
// them, into a private in-memory SQLite database, so every statement runs with SQLite's full
// SQL; saved select queries become views there.
#include <glib.h>
#include <mdbtools.h>
#include <sqlite3.h>

#include <cctype>
#include <cstring>
#include <map>
#include <set>

#include "platform/ATLComTime.h"
#include "provider/access_queries.h"
#include "provider/backend.h"
#include "provider/captured_output.h"
#include "provider/database_file.h"
#include "provider/sqlite_engine.h"

namespace provider {
namespace {

std::string QuoteSql(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"')
            out += c;
    }
    return out + "\"";
}

std::string Folded(std::string_view s) {
    return qv::ToUtf8(qv::ToLower<char16_t>(qv::ToUtf16(s)));
}

// Declared type of the copy: chosen so the SQLite engine maps it back to the Access type.
std::string DeclaredType(const MdbColumn& col) {
    switch (col.col_type) {
        case MDB_BOOL:
            return "BOOLEAN";
        case MDB_BYTE:
            return "TINYINT";
        case MDB_INT:
            return "SMALLINT";
        case MDB_LONGINT:
            return "INTEGER";
        case MDB_MONEY:
            return "CURRENCY";
        case MDB_FLOAT:
            return "FLOAT4";
        case MDB_DOUBLE:
            return "DOUBLE";
        case MDB_DATETIME:
            return "DATETIME";
        case MDB_TEXT:
            return "VARCHAR(" + std::to_string(col.col_size > 0 ? col.col_size / 2 : 255) + ")";
        case MDB_MEMO:
            return "TEXT";
        case MDB_REPID:
            return "GUID";
        case MDB_NUMERIC:
            return "DECIMAL(" + std::to_string(col.col_prec) + "," + std::to_string(col.col_scale) +
                   ")";
        default:
            return "BLOB";  // OLE objects, binary and complex columns
    }
}

std::int64_t ReadInt64(const unsigned char* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return static_cast<std::int64_t>(v);
}

double ReadDouble(const unsigned char* p) {
    const std::uint64_t bits = static_cast<std::uint64_t>(ReadInt64(p));
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

float ReadFloat(const unsigned char* p) {
    const std::uint32_t bits =
        p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

std::string MoneyText(std::int64_t tenThousandths) {
    const std::uint64_t a = tenThousandths < 0 ? 0 - static_cast<std::uint64_t>(tenThousandths)
                                               : static_cast<std::uint64_t>(tenThousandths);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%s%llu.%04llu", tenThousandths < 0 ? "-" : "",
                  static_cast<unsigned long long>(a / 10000),
                  static_cast<unsigned long long>(a % 10000));
    return buf;
}

// Numeric: a sign byte (0x80 negative) and a 128-bit magnitude stored as four 32-bit little-endian
// words, most significant word first.
std::string NumericText(const unsigned char* p, int scale) {
    unsigned __int128 m = 0;
    for (int w = 0; w < 4; ++w) {
        const unsigned char* q = p + 1 + w * 4;
        const std::uint32_t word =
            q[0] | (q[1] << 8) | (q[2] << 16) | (static_cast<std::uint32_t>(q[3]) << 24);
        m = (m << 32) | word;
    }
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
        m /= 10;
    } while (m != 0);
    if (scale > 0) {
        while (static_cast<int>(digits.size()) <= scale)
            digits.insert(digits.begin(), '0');
        digits.insert(digits.end() - scale, '.');
    }
    return ((p[0] & 0x80) ? "-" : "") + digits;
}

std::string DateText(double oleDate) {
    const COleDateTime t(oleDate);
    return t.FormatAs<char>("%Y-%m-%d %H:%M:%S").Str();
}

struct GFreeDeleter {
    void operator()(void* p) const { g_free(p); }
};

class AccessFile {
public:
    explicit AccessFile(const std::string& path) {
        // The library opens the file by name: it gets the name of a descriptor that is known
        // to be a regular file, so that nothing it opens can block.
        const RegularFile file(path, kAccessSource);
        const CapturedOutput quiet;
        m_mdb = mdb_open(file.Name().c_str(), MDB_NOFLAGS);
        if (!m_mdb) {
            Fail(E_FAIL, kAccessSource,
                 "Unrecognized database format '" + path + "'." + quiet.Summary());
        }
        if (!mdb_read_catalog(m_mdb, MDB_ANY)) {
            const std::string summary = quiet.Summary();
            mdb_close(m_mdb);
            Fail(E_FAIL, kAccessSource, "Cannot read the catalog of '" + path + "'." + summary);
        }
    }
    ~AccessFile() {
        const CapturedOutput quiet;
        mdb_close(m_mdb);
    }
    AccessFile(const AccessFile&) = delete;
    AccessFile& operator=(const AccessFile&) = delete;

    MdbHandle* Handle() const { return m_mdb; }

    // Catalog entries of one kind, in catalog order.
    std::vector<MdbCatalogEntry*> Entries(int type, bool includeSystem) const {
        std::vector<MdbCatalogEntry*> out;
        for (guint i = 0; i < m_mdb->num_catalog; ++i) {
            auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(m_mdb->catalog, i));
            if (e->object_type == type && (includeSystem || !mdb_is_system_table(e)))
                out.push_back(e);
        }
        return out;
    }

    // Copies one table into the SQLite database under the given name.
    // Copies one table into the SQLite database under the given name; OLE objects are left
    // NULL unless copyObjects.
    void CopyTable(MdbCatalogEntry* entry, SqliteDatabase& db, const std::string& name,
                   bool copyObjects = true);

private:
    MdbHandle* m_mdb = nullptr;
};

struct TableDeleter {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};

void AccessFile::CopyTable(MdbCatalogEntry* entry, SqliteDatabase& db, const std::string& name,
                           bool copyObjects) {
    const SqliteDatabase::OwnStatements own(db);
    std::unique_ptr<MdbTableDef, TableDeleter> table(mdb_read_table(entry));
    if (!table)
        Fail(E_FAIL, kAccessSource, "Cannot read the table '" + name + "'.");
    mdb_read_columns(table.get());
    const unsigned ncols = table->num_cols;
    std::vector<MdbColumn*> cols(ncols);
    std::string create = "CREATE TABLE " + QuoteSql(name) + " (";
    std::string insert = "INSERT INTO " + QuoteSql(name) + " VALUES (";
    for (unsigned c = 0; c < ncols; ++c) {
        cols[c] = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
        create += (c ? ", " : "") + QuoteSql(cols[c]->name) + " " + DeclaredType(*cols[c]);
        insert += c ? ", ?" : "?";
    }
    // The whole copy is one savepoint: a table that fails half-way is not left behind.
    db.Execute("SAVEPOINT copy_table");
    struct Undo {
        SqliteDatabase& db;
        bool done = false;
        ~Undo() {
            if (!done)
                sqlite3_exec(db.Handle(), "ROLLBACK TO copy_table; RELEASE copy_table", nullptr,
                             nullptr, nullptr);
        }
    } undo{db};
    db.Execute(create + ")");
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db.Handle(), (insert + ")").c_str(), -1, &raw, nullptr) != SQLITE_OK) {
        Fail(E_FAIL, kAccessSource,
             std::string("Cannot copy the table: ") + sqlite3_errmsg(db.Handle()));
    }
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, sqlite3_finalize);
    std::vector<MdbField> fields(std::max(ncols, 1u) + 256);
    std::vector<std::unique_ptr<char[]>> bound;
    if (copyObjects) {
        for (unsigned c = 0; c < ncols; ++c) {
            if (cols[c]->col_type != MDB_OLE)
                continue;
            bound.push_back(std::make_unique<char[]>(MDB_BIND_SIZE));
            mdb_bind_column(table.get(), static_cast<int>(c) + 1, bound.back().get(), nullptr);
        }
    }
    MdbHandle* mdb = m_mdb;
    const std::size_t defaultBind = MDB_BIND_SIZE;
    mdb_rewind_table(table.get());
    while (mdb_fetch_row(table.get())) {
        // The row just read is the previous one of the current data page; take its fields
        // with their NULL flags and raw bytes.
        int start = 0;
        size_t size = 0;
        if (mdb_find_row(mdb, static_cast<int>(table->cur_row) - 1, &start, &size) != 0)
            continue;
        const int nfields = mdb_crack_row(table.get(), start & 0x1FFF, size, fields.data());
        sqlite3_reset(stmt.get());
        sqlite3_clear_bindings(stmt.get());
        for (int f = 0; f < nfields; ++f) {
            const MdbField& field = fields[f];
            if (field.colnum < 0 || static_cast<unsigned>(field.colnum) >= ncols)
                continue;
            MdbColumn* col = cols[field.colnum];
            const int slot = field.colnum + 1;
            const auto* raw = static_cast<const unsigned char*>(field.value);
            if (col->col_type == MDB_BOOL) {
                // Yes/No lives in the NULL mask: a set bit (reported as "not null") is Yes.
                sqlite3_bind_int(stmt.get(), slot, field.is_null ? 0 : 1);
                continue;
            }
            if (field.is_null)
                continue;  // stays NULL
            switch (col->col_type) {
                case MDB_BYTE:
                    sqlite3_bind_int(stmt.get(), slot, raw[0]);
                    break;
                case MDB_INT:
                    sqlite3_bind_int(stmt.get(), slot,
                                     static_cast<std::int16_t>(raw[0] | (raw[1] << 8)));
                    break;
                case MDB_LONGINT:
                    sqlite3_bind_int(
                        stmt.get(), slot,
                        static_cast<std::int32_t>(raw[0] | (raw[1] << 8) | (raw[2] << 16) |
                                                  (static_cast<std::uint32_t>(raw[3]) << 24)));
                    break;
                case MDB_MONEY: {
                    const std::string text = MoneyText(ReadInt64(raw));
                    sqlite3_bind_text(stmt.get(), slot, text.c_str(), -1, SQLITE_TRANSIENT);
                    break;
                }
                case MDB_FLOAT:
                    sqlite3_bind_double(stmt.get(), slot, ReadFloat(raw));
                    break;
                case MDB_DOUBLE:
                    sqlite3_bind_double(stmt.get(), slot, ReadDouble(raw));
                    break;
                case MDB_DATETIME: {
                    const double ole = ReadDouble(raw);
                    if (COleDateTime(ole).GetStatus() == COleDateTime::valid) {
                        const std::string text = DateText(ole);
                        sqlite3_bind_text(stmt.get(), slot, text.c_str(), -1, SQLITE_TRANSIENT);
                    } else {
                        sqlite3_bind_double(stmt.get(), slot, ole);
                    }
                    break;
                }
                case MDB_NUMERIC: {
                    const std::string text = NumericText(raw, col->col_scale);
                    sqlite3_bind_text(stmt.get(), slot, text.c_str(), -1, SQLITE_TRANSIENT);
                    break;
                }
                case MDB_TEXT:
                case MDB_MEMO:
                case MDB_REPID: {
                    // Memo text may be far longer than the default conversion buffer: size the
                    // buffer from the stored length so nothing is cut.
                    std::size_t bind = defaultBind;
                    if (col->col_type == MDB_MEMO && field.siz >= 4) {
                        const std::uint32_t stored = (raw[0] | (raw[1] << 8) | (raw[2] << 16) |
                                                      (static_cast<std::uint32_t>(raw[3]) << 24)) &
                                                     0x3FFFFFFFu;
                        bind = std::max<std::size_t>(defaultBind,
                                                     static_cast<std::size_t>(stored) * 3 + 16);
                    }
                    mdb_set_bind_size(mdb, bind);
                    std::unique_ptr<char, GFreeDeleter> text(
                        mdb_col_to_string(mdb, mdb->pg_buf, field.start, col->col_type, field.siz));
                    mdb_set_bind_size(mdb, defaultBind);
                    sqlite3_bind_text(stmt.get(), slot, text ? text.get() : "", -1,
                                      SQLITE_TRANSIENT);
                    break;
                }
                case MDB_OLE: {
                    if (!copyObjects)
                        break;  // left NULL
                    // The library reads the object from the bound copy of the field's header.
                    size_t length = 0;
                    std::unique_ptr<void, GFreeDeleter> data(mdb_ole_read_full(mdb, col, &length));
                    if (data) {
                        sqlite3_bind_blob64(stmt.get(), slot, data.get(), length, SQLITE_TRANSIENT);
                    } else {
                        sqlite3_bind_zeroblob(stmt.get(), slot, 0);
                    }
                    break;
                }
                default:
                    sqlite3_bind_blob64(stmt.get(), slot, raw,
                                        static_cast<sqlite3_uint64>(field.siz), SQLITE_TRANSIENT);
                    break;
            }
        }
        if (sqlite3_step(stmt.get()) != SQLITE_DONE) {
            const std::string message = sqlite3_errmsg(db.Handle());
            Fail(E_FAIL, kAccessSource, "Cannot copy a row of '" + name + "': " + message);
        }
    }
    db.Execute("RELEASE copy_table");
    undo.done = true;
}

// Whether a statement starts as a query does: SELECT, WITH or a parenthesis.
bool IsQueryText(std::string_view sql) {
    const std::size_t start = sql.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos)
        return false;
    if (sql[start] == '(')
        return true;
    std::string word;
    for (std::size_t i = start; i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i]));
         ++i)
        word += static_cast<char>(std::tolower(static_cast<unsigned char>(sql[i])));
    return word == "select" || word == "with";
}

class AccessBackend : public Backend {
public:
    explicit AccessBackend(const std::string& path)
        : m_file(path), m_db(SqliteDatabase::InMemory(kAccessSource)) {
        for (MdbCatalogEntry* e : m_file.Entries(MDB_TABLE, false))
            m_tables[Folded(e->object_name)] = e;
        for (MdbCatalogEntry* e : m_file.Entries(MDB_QUERY, true))
            m_queries[Folded(e->object_name)] = e->object_name;
        // The copy is read-only to statements, as the file is: only loading writes to it.
        m_db.Execute("PRAGMA query_only = ON");
        RegisterAccessFunctions(m_db.Handle());
    }

    ResultSet Query(const std::u16string& sql) override {
        // Statements are in Access's dialect: & joins texts, TOP n counts rows, Format, Mid,
        // Nz ... are Access's functions. What has no faithful equivalent is refused by name.
        // Only queries are translated: anything else reaches the engine as written, which
        // refuses it for what it is.
        std::string translated = qv::ToUtf8(sql), reason;
        if (IsQueryText(translated) && !TranslateStatement(qv::ToUtf8(sql), translated, reason))
            Fail(DB_E_ERRORSINCOMMAND, kAccessSource, "The query was refused: " + reason + ".");
        const CapturedOutput quiet;
        try {
            return m_db.Query(translated, [this](const std::string& name) { return Load(name); });
        } catch (const _com_error& e) {
            FailWithSummary(e, quiet);
        }
    }

    ResultSet Tables() override {
        const CapturedOutput quiet;
        try {
            return ListTables();
        } catch (const _com_error& e) {
            FailWithSummary(e, quiet);
        }
    }

    std::u16string QuoteName(std::u16string_view name) override {
        std::u16string out = u"[";
        for (char16_t c : name)
            out += c == u']' ? std::u16string(u"]]") : std::u16string(1, c);
        return out + u"]";
    }

private:
    // Rethrows an error with what the reader printed meanwhile, in short.
    [[noreturn]] static void FailWithSummary(const _com_error& e, const CapturedOutput& quiet) {
        const std::string summary = quiet.Summary();
        if (summary.empty())
            throw e;
        Fail(e.Error(), kAccessSource, e.Description().Utf8() + summary);
    }

    ResultSet ListTables() {
        std::vector<std::pair<std::u16string, std::u16string>> rows;
        for (MdbCatalogEntry* e : m_file.Entries(MDB_TABLE, false)) {
            rows.emplace_back(qv::ToUtf16(std::string_view(e->object_name)), u"TABLE");
        }
        for (const auto& [folded, name] : m_queries) {
            // Only the saved queries whose SQL can be rebuilt are offered as views.
            if (SavedQuery(name).ok)
                rows.emplace_back(qv::ToUtf16(name), u"VIEW");
        }
        return MakeTablesRowset(rows);
    }

    // Creates the table or view a statement asked for; false when the file has no such object.
    bool Load(const std::string& requested) {
        const std::string key = Folded(requested);
        if (!m_loaded.insert(key).second)
            return false;  // already there: a real error
        struct Writable {
            SqliteDatabase& db;
            explicit Writable(SqliteDatabase& d) : db(d) { db.Execute("PRAGMA query_only = OFF"); }
            ~Writable() {
                sqlite3_exec(db.Handle(), "PRAGMA query_only = ON", nullptr, nullptr, nullptr);
            }
        } writable(m_db);
        try {
            return Create(key);
        } catch (...) {
            m_loaded.erase(key);  // nothing was kept: the next statement reports it again
            throw;
        }
    }

    bool Create(const std::string& key) {
        if (auto t = m_tables.find(key); t != m_tables.end()) {
            m_file.CopyTable(t->second, m_db, t->second->object_name);
            return true;
        }
        if (auto q = m_queries.find(key); q != m_queries.end()) {
            const RebuiltQuery rebuilt = SavedQuery(q->second);
            if (!rebuilt.ok) {
                Fail(DB_E_ERRORSINCOMMAND, kAccessSource,
                     "The saved query '" + q->second + "' cannot be used: " + rebuilt.reason);
            }
            m_db.Execute("CREATE VIEW " + QuoteSql(q->second) + " AS " + rebuilt.sql);
            return true;
        }
        m_loaded.erase(key);
        return false;
    }

    RebuiltQuery SavedQuery(const std::string& name) {
        if (!m_queryDefs)
            m_queryDefs = ReadQueryDefinitions();
        const auto it = m_queryDefs->find(name);
        if (it == m_queryDefs->end())
            return {false, {}, "its definition was not found"};
        return RebuildSelectQuery(it->second, [this](const std::string& table) {
            return m_tables.count(Folded(table)) > 0;
        });
    }

    // The rows of MSysQueries grouped by query name (through MSysObjects ids).
    std::unique_ptr<std::map<std::string, std::vector<QueryRow>>> ReadQueryDefinitions() {
        auto defs = std::make_unique<std::map<std::string, std::vector<QueryRow>>>();
        MdbCatalogEntry* objects = mdb_get_catalogentry_by_name(m_file.Handle(), "MSysObjects");
        MdbCatalogEntry* queries = mdb_get_catalogentry_by_name(m_file.Handle(), "MSysQueries");
        if (!objects || !queries)
            return defs;
        SqliteDatabase scratch = SqliteDatabase::InMemory(kAccessSource);
        m_file.CopyTable(objects, scratch, "objects", false);
        m_file.CopyTable(queries, scratch, "queries", false);
        const ResultSet rows = scratch.Query(
            "SELECT o.Name, q.Attribute, q.Expression, q.Flag, q.Name1, q.Name2 FROM queries q "
            "JOIN objects o "
            "ON o.Id = q.ObjectId ORDER BY o.Name, q.Attribute, q.rowid");
        for (std::size_t r = 0; r < rows.RowCount(); ++r) {
            const auto text = [&](std::size_t c) {
                const Cell& cell = rows[r * 6 + c];
                if (cell.kind == Cell::Kind::Text)
                    return qv::ToUtf8(rows.Text(cell));
                if (cell.kind == Cell::Kind::Integer)
                    return std::to_string(cell.integer);
                return std::string();
            };
            const auto number = [&](std::size_t c) {
                const Cell& cell = rows[r * 6 + c];
                if (cell.kind == Cell::Kind::Integer)
                    return static_cast<long>(cell.integer);
                return 0L;
            };
            QueryRow row{static_cast<int>(number(1)), text(2), number(3), text(4), text(5)};
            (*defs)[text(0)].push_back(std::move(row));
        }
        return defs;
    }

    AccessFile m_file;
    SqliteDatabase m_db;
    std::map<std::string, MdbCatalogEntry*> m_tables;  // by folded name
    std::map<std::string, std::string> m_queries;      // folded name -> name
    std::set<std::string> m_loaded;
    std::unique_ptr<std::map<std::string, std::vector<QueryRow>>> m_queryDefs;
};

}  // namespace

std::unique_ptr<Backend> OpenAccessBackend(const std::string& path) {
    return std::make_unique<AccessBackend>(path);
}

}  // namespace provider
