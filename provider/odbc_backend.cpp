// Any other driver: through the ODBC driver manager, with identifier quotes rewritten to the
// driver's quote character and its diagnostics turned into provider errors.
#include <map>

#include "platform/odbcinst.h"
#include "provider/backend.h"
#include "provider/odbc_driver.h"
#include "provider/query_text.h"
#include "provider/sqlite_engine.h"

namespace provider {
namespace {

[[noreturn]] void FailWith(const odbc::Error& e, HRESULT otherwise) {
    HRESULT hr = otherwise;
    if (e.connecting)
        hr = E_FAIL;
    else if (e.state == "HY008")
        hr = E_ABORT;  // cancelled by the user
    else if (e.state == "HY001")
        hr = E_OUTOFMEMORY;
    else if (e.state == "42S02")
        hr = DB_E_NOTABLE;
    else if (e.state.rfind("42", 0) == 0 || e.state == "37000" || e.state == "HY000")
        hr = DB_E_ERRORSINCOMMAND;
    Fail(hr, kOdbcSource, e.text);
}

// Column type from the ODBC SQL type (numbers as sql.h defines them).
void DescribeFromSqlType(const odbc::ColumnInfo& info, Column& c) {
    bool longText = false;
    c.definedSize = 0;
    switch (info.sqlType) {
        case -6:
            c.vt = VT_UI1;
            break;  // SQL_TINYINT
        case 5:
            c.vt = VT_I2;
            break;  // SQL_SMALLINT
        case 4:
            c.vt = VT_I4;
            break;  // SQL_INTEGER
        case -5:
            c.vt = VT_I8;
            break;  // SQL_BIGINT
        case 7:
            c.vt = VT_R4;
            break;  // SQL_REAL
        case 6:     // SQL_FLOAT
        case 8:
            c.vt = VT_R8;
            break;  // SQL_DOUBLE
        case -7:
            c.vt = VT_BOOL;
            break;  // SQL_BIT
        case 2:     // SQL_NUMERIC
        case 3:     // SQL_DECIMAL
            c.vt = VT_DECIMAL;
            c.precision =
                static_cast<unsigned char>(info.size > 0 && info.size <= 28 ? info.size : 28);
            c.scale =
                static_cast<unsigned char>(info.digits >= 0 && info.digits <= 28 ? info.digits : 0);
            break;
        case 9:   // SQL_DATE
        case 11:  // SQL_TIMESTAMP
        case 91:  // SQL_TYPE_DATE
        case 93:
            c.vt = VT_DATE;
            break;  // SQL_TYPE_TIMESTAMP
        case 10:    // SQL_TIME
        case 92:    // SQL_TYPE_TIME
            // A time of day as the source writes it ("13:05:09"), not as a time on
            // 30 December 1899.
            c.vt = VT_BSTR;
            break;
        case -2:  // SQL_BINARY
        case -3:  // SQL_VARBINARY
        case -4:
            c.vt = VT_ARRAY | VT_UI1;
            break;  // SQL_LONGVARBINARY
        case -1:    // SQL_LONGVARCHAR
        case -10:   // SQL_WLONGVARCHAR
            c.vt = VT_BSTR;
            longText = true;
            break;
        default:
            c.vt = VT_BSTR;
            if (info.size > 0 && info.size < 65536)
                c.definedSize = static_cast<long>(info.size);
            break;
    }
    // Money types reach ODBC as decimals or doubles, and booleans of some drivers as "1" and
    // "0" texts; their own type name tells them apart.
    const std::u16string typeName = qv::ToUpper<char16_t>(info.typeName);
    if (typeName == u"BOOL" || typeName == u"BOOLEAN") {
        c.vt = VT_BOOL;
        longText = false;
    }
    if (typeName.find(u"MONEY") != std::u16string::npos ||
        typeName.find(u"CURRENCY") != std::u16string::npos) {
        c.vt = VT_CY;
        longText = false;
    }
    DescribeColumn(c, longText);
}

ResultSet ToResultSet(odbc::Rows&& rows) {
    ResultSet rs;
    for (const auto& info : rows.columns) {
        Column c;
        c.name = info.name;
        DescribeFromSqlType(info, c);
        rs.columns.push_back(std::move(c));
    }
    for (auto& v : rows.cells) {
        if (const auto* i = std::get_if<std::int64_t>(&v))
            rs.AddInteger(*i);
        else if (const auto* d = std::get_if<double>(&v))
            rs.AddReal(*d);
        else if (const auto* s = std::get_if<std::u16string>(&v))
            rs.AddText(*s);
        else if (auto* b = std::get_if<std::vector<std::uint8_t>>(&v))
            rs.AddBlob(std::move(*b));
        else
            rs.AddNull();
    }
    SettleColumnTypes(rs, std::vector<bool>(rs.columns.size(), true));
    return rs;
}

class OdbcBackend : public Backend {
public:
    explicit OdbcBackend(const std::string& connectionString)
        : m_connection(Connect(connectionString)) {}

    ResultSet Query(const std::u16string& sql) override {
        // Drivers that honour the read-only access mode refuse writes themselves; many ignore
        // it (the SQLite ODBC driver among them), so every statement must also read as a
        // single query before the driver sees it.
        if (const auto why = WhyNotAReadOnlyQuery(sql)) {
            Fail(DB_E_ERRORSINCOMMAND, kOdbcSource,
                 "The command was refused: " + *why +
                     ". Only a single statement that reads the database is run.");
        }
        try {
            return ToResultSet(m_connection->Execute(RewriteQuotes(sql)));
        } catch (const odbc::Error& e) {
            FailWith(e, DB_E_ERRORSINCOMMAND);
        }
    }

    ResultSet Tables() override {
        odbc::Rows all;
        try {
            all = m_connection->Tables();
        } catch (const odbc::Error& e) {
            FailWith(e, E_FAIL);
        }
        const std::u16string defaultSchema = DefaultSchema();
        std::vector<std::pair<std::u16string, std::u16string>> rows;
        m_qualified.clear();
        const std::size_t width = all.columns.size();
        for (std::size_t r = 0; width >= 4 && r < all.cells.size() / width; ++r) {
            const auto* schema = std::get_if<std::u16string>(&all.cells[r * width + 1]);
            const auto* name = std::get_if<std::u16string>(&all.cells[r * width + 2]);
            const auto* type = std::get_if<std::u16string>(&all.cells[r * width + 3]);
            if (!name || !type)
                continue;
            const std::u16string upper = qv::ToUpper<char16_t>(*type);
            if (upper != u"TABLE" && upper != u"VIEW")
                continue;
            // Outside the default schema a name is shown with its schema, and quoted part by
            // part when a statement names it so.
            std::u16string shown = *name;
            if (schema && !schema->empty() && *schema != defaultSchema) {
                shown = *schema + u"." + *name;
                m_qualified[shown] = {*schema, *name};
            }
            rows.emplace_back(shown, upper);
        }
        m_listed = true;
        return MakeTablesRowset(rows);
    }

    std::u16string QuoteName(std::u16string_view name) override {
        if (name.find(u'.') != std::u16string_view::npos) {
            if (!m_listed) {
                try {
                    Tables();
                } catch (const _com_error&) {
                    m_listed = true;  // without a listing the name stays whole
                }
            }
            const auto it = m_qualified.find(std::u16string(name));
            if (it != m_qualified.end())
                return QuotePart(it->second.first) + u"." + QuotePart(it->second.second);
        }
        return QuotePart(name);
    }

private:
    std::u16string QuotePart(std::u16string_view name) const {
        const char16_t q = m_connection->QuoteChar();
        const char16_t close = q == u'[' ? u']' : q;
        std::u16string out(1, q);
        for (char16_t c : name) {
            out += c;
            if (c == close)
                out += c;
        }
        return out + close;
    }

    // The schema unqualified names are looked up in, where the source has the notion
    // (current_schema() of PostgreSQL); empty otherwise.
    std::u16string DefaultSchema() {
        try {
            const odbc::Rows rows = m_connection->Execute(u"SELECT current_schema()");
            if (rows.cells.size() == 1) {
                if (const auto* s = std::get_if<std::u16string>(&rows.cells[0]))
                    return *s;
            }
        } catch (const odbc::Error&) {
        }
        return {};
    }

    static std::unique_ptr<odbc::Connection> Connect(const std::string& text) {
        try {
            return std::make_unique<odbc::Connection>(qv::ToUtf16(text));
        } catch (const odbc::Error& e) {
            FailWith(e, E_FAIL);
        }
    }

    // `name` and [name] become the driver's quoted identifiers; text literals stay as they are.
    std::u16string RewriteQuotes(const std::u16string& sql) {
        const char16_t q = m_connection->QuoteChar();
        std::u16string out;
        for (std::size_t i = 0; i < sql.size(); ++i) {
            const char16_t c = sql[i];
            if (c == u'\'') {
                const std::size_t end = sql.find(u'\'', i + 1);
                const std::size_t stop = end == std::u16string::npos ? sql.size() : end + 1;
                out.append(sql, i, stop - i);
                i = stop - 1;
                continue;
            }
            if ((c == u'`' && q != u'`') || (c == u'[' && q != u'[')) {
                const std::size_t end = sql.find(c == u'`' ? u'`' : u']', i + 1);
                if (end != std::u16string::npos) {
                    out += QuoteName(std::u16string_view(sql).substr(i + 1, end - i - 1));
                    i = end;
                    continue;
                }
            }
            out += c;
        }
        return out;
    }

    std::unique_ptr<odbc::Connection> m_connection;
    // Names shown as "schema.name" by the last listing, with their two parts.
    std::map<std::u16string, std::pair<std::u16string, std::u16string>> m_qualified;
    bool m_listed = false;
};

}  // namespace

}  // namespace provider

std::vector<QvOdbcDriverInfo> QvListOdbcDrivers() {
    std::vector<QvOdbcDriverInfo> out;
    for (auto& d : provider::odbc::ListDrivers())
        out.push_back({std::move(d.name), d.usesFile});
    return out;
}

std::vector<QvOdbcDataSourceInfo> QvListOdbcDataSources() {
    std::vector<QvOdbcDataSourceInfo> out;
    for (auto& d : provider::odbc::ListDataSources())
        out.push_back({std::move(d.name), std::move(d.driver)});
    return out;
}

namespace provider {

std::unique_ptr<Backend> OpenOdbcBackend(const std::string& connectionString) {
    return std::make_unique<OdbcBackend>(connectionString);
}

}  // namespace provider
