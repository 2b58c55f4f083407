// A thin layer over the unixODBC driver manager's Unicode functions. Kept free of the
// platform headers: the driver manager's headers define Windows type names of their own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace provider::odbc {

// A failure with the driver's diagnostics.
struct Error {
    std::string state;  // first SQLSTATE, may be empty
    std::string text;   // every diagnostic record, with its SQLSTATE and native code
    bool connecting = false;
};

enum class Kind { Integer, Real, Timestamp, Time, Text, Binary };

struct ColumnInfo {
    std::u16string name;
    std::u16string typeName;  // the source's own name of the type (SQL_DESC_TYPE_NAME)
    short sqlType = 0;
    unsigned long size = 0;
    short digits = 0;
    Kind kind = Kind::Text;
};

using Value =
    std::variant<std::monostate, std::int64_t, double, std::u16string, std::vector<std::uint8_t>>;

struct Rows {
    std::vector<ColumnInfo> columns;
    std::vector<Value> cells;  // row-major
};

struct RegisteredDriver {
    std::u16string name;
    bool usesFile = false;  // FileUsage 1 or 2 among its attributes
};

struct RegisteredDataSource {
    std::u16string name;
    std::u16string driver;
};

// The driver manager's lists (SQLDrivers, SQLDataSources); empty when it has none.
std::vector<RegisteredDriver> ListDrivers();
std::vector<RegisteredDataSource> ListDataSources();

class Connection {
public:
    // Connects with SQLDriverConnectW; throws Error.
    explicit Connection(const std::u16string& connectionString);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Rows Execute(const std::u16string& sql);
    Rows Tables();  // SQLTables for TABLE and VIEW
    char16_t QuoteChar() const { return m_quote; }

private:
    struct Handles;
    std::unique_ptr<Handles> m_handles;
    char16_t m_quote = u'"';
};

}  // namespace provider::odbc
