// A throw-away PostgreSQL server for a test suite (tests/support/pg_test_server.sh): started in
// a folder of its own on 127.0.0.1, filled with SQL, stopped and removed at the end, and the
// PostgreSQL ODBC driver registered in a private odbcinst.ini and odbc.ini of this process.
#pragma once

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace testsupport {

class PgTestServer {
public:
    static constexpr const char* kOdbcDriver = "/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so";

    // script: the path of pg_test_server.sh; folder: where the server and its files live.
    PgTestServer(std::string script, std::filesystem::path folder)
        : m_script(std::move(script)), m_folder(std::move(folder)) {}
    ~PgTestServer() { Stop(); }
    PgTestServer(const PgTestServer&) = delete;
    PgTestServer& operator=(const PgTestServer&) = delete;

    // Starts the server. Empty on success; otherwise why the tests are skipped ("skip: ...")
    // or why the start failed.
    std::string Start() {
        namespace fs = std::filesystem;
        if (!fs::exists(kOdbcDriver)) {
            return std::string("skip: the PostgreSQL ODBC driver is not installed (") +
                   kOdbcDriver + ", Debian package odbc-postgresql)";
        }
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
        // Under root the server runs as the postgres account, which must reach the folder.
        fs::permissions(m_folder, fs::perms::owner_all | fs::perms::group_read |
                                      fs::perms::group_exec | fs::perms::others_read |
                                      fs::perms::others_exec);
        int status = 0;
        const std::string port = Shell(Quoted(m_script) + " start " + Quoted(Server()), status);
        if (status == 77)
            return "skip: no PostgreSQL server programs to run (Debian package postgresql)";
        if (status != 0)
            return "the PostgreSQL test server did not start (status " + std::to_string(status) +
                   ")";
        m_port = port.substr(0, port.find('\n'));
        m_started = true;
        return {};
    }

    // Runs SQL as the superuser in a database; false when psql failed.
    bool Sql(const std::string& sql, const std::string& database = "postgres") {
        const std::filesystem::path file = m_folder / "statements.sql";
        std::ofstream(file) << sql;
        int status = 0;
        Shell("PGDATABASE_NAME=" + database + " " + Quoted(m_script) + " psql " + Quoted(Server()) +
                  " < " + Quoted(file.string()),
              status);
        return status == 0;
    }

    // Registers the driver as "PostgreSQL Unicode" and, when dataSource is not empty, a data
    // source of that name for database, in ini files of the folder (the driver manager reads
    // their place once per process: call this before anything asks it).
    void RegisterOdbc(const std::string& dataSource, const std::string& database) const {
        const std::filesystem::path odbc = m_folder / "odbc";
        std::filesystem::create_directories(odbc);
        std::ofstream(odbc / "odbcinst.ini")
            << "[PostgreSQL Unicode]\nDriver=" << kOdbcDriver << "\n";
        std::ofstream ini(odbc / "odbc.ini");
        if (!dataSource.empty()) {
            ini << "[" << dataSource << "]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\n"
                << "Port=" << m_port << "\nDatabase=" << database << "\n";
        }
        ::setenv("ODBCSYSINI", odbc.c_str(), 1);
        ::setenv("ODBCINI", (odbc / "odbc.ini").c_str(), 1);
    }

    void Stop() {
        if (m_started) {
            int status = 0;
            Shell(Quoted(m_script) + " stop " + Quoted(Server()), status);
            m_started = false;
        }
        std::error_code ec;
        std::filesystem::remove_all(m_folder, ec);
    }

    const std::string& Port() const { return m_port; }

private:
    std::string Server() const { return (m_folder / "server").string(); }

    static std::string Quoted(const std::string& text) {
        std::string out = "'";
        for (char c : text)
            out += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return out + "'";
    }

    static std::string Shell(const std::string& command, int& status) {
        std::string out;
        FILE* pipe = ::popen(command.c_str(), "r");
        if (!pipe) {
            status = -1;
            return out;
        }
        char buf[256];
        while (std::fgets(buf, sizeof buf, pipe))
            out += buf;
        const int raw = ::pclose(pipe);
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        return out;
    }

    std::string m_script;
    std::filesystem::path m_folder;
    std::string m_port;
    bool m_started = false;
};

}  // namespace testsupport
