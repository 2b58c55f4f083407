// The sources a Connection reads from: SQLite files, Access files and ODBC data sources.
#pragma once

#include <memory>
#include <string>

#include "provider/result.h"

namespace provider {

class Backend {
public:
    virtual ~Backend() = default;
    // Runs a command and fetches all its rows.
    virtual ResultSet Query(const std::u16string& sql) = 0;
    // User tables (TABLE) and views or saved queries (VIEW).
    virtual ResultSet Tables() = 0;
    // The name quoted for this source's SQL (used for table and stored-procedure commands).
    virtual std::u16string QuoteName(std::u16string_view name) = 0;
};

// Picks the backend from the Driver key and opens the source; throws _com_error.
std::unique_ptr<Backend> OpenBackend(const std::string& connectionString, const std::string& user,
                                     const std::string& password);

// busyTimeoutMs: how long a statement waits while another program writes the file.
std::unique_ptr<Backend> OpenSqliteBackend(const std::string& path, int busyTimeoutMs);
std::unique_ptr<Backend> OpenAccessBackend(const std::string& path);
std::unique_ptr<Backend> OpenOdbcBackend(const std::string& connectionString);

inline constexpr std::u16string_view kSqliteSource = u"Quarvel SQLite Provider";
inline constexpr std::u16string_view kAccessSource = u"Quarvel Access Provider";
inline constexpr std::u16string_view kOdbcSource = u"Quarvel ODBC Provider";

}  // namespace provider
