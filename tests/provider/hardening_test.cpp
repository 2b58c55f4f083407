// The provider against input from strangers: the SQL of a link, the file a link names, a
// database another program holds locked, a damaged Access file and ODBC drivers that write.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "platform/ado.h"
#include "provider/query_text.h"

namespace fs = std::filesystem;

namespace {

// When the test's user cancels long work (rows done; -1: never), and what was reported last.
long long g_stopAfter = -1;
std::string g_lastWhat;
long long g_lastDone = 0;

struct Failure {
    std::uint32_t code = 0;
    std::string description;
};

_ConnectionPtr Connect(const std::string& connectionString) {
    _ConnectionPtr connection;
    EXPECT_TRUE(SUCCEEDED(connection.CreateInstance(__uuidof(Connection))));
    connection->Open(_bstr_t(connectionString.c_str()), _bstr_t(""), _bstr_t(""), 0);
    return connection;
}

// The provider's error of a call, or none when it succeeded.
std::optional<Failure> FailureOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const _com_error& e) {
        return Failure{static_cast<std::uint32_t>(e.Error()), e.Description().Utf8()};
    }
    return std::nullopt;
}

long RowsOf(_ConnectionPtr& connection, const std::string& sql) {
    _RecordsetPtr rs = connection->Execute(_bstr_t(sql.c_str()), nullptr, adCmdText);
    return static_cast<long>(rs->GetRecordCount());
}

std::string SqliteText(const fs::path& path) {
    return "Driver={SQLite3 ODBC Driver};Database=" + path.string() + ";";
}
std::string AccessText(const fs::path& path) {
    return "Driver={Microsoft Access Driver (*.mdb)};Dbq=" + path.string() + ";Uid=;Pwd=;";
}

// Runs SQL on a scratch SQLite file with the library itself (the other program of a test).
void Write(const fs::path& file, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

class Strangers : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::path(testing::TempDir()) /
                ("quarvel_harden_" + std::to_string(::getpid()) + "_" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        fs::copy_file(QUARVEL_SAMPLE_DB, m_dir / "data.sqlite");
        fs::copy_file(fs::path(QUARVEL_TESTDATA_DIR) / "nwind.mdb", m_dir / "nwind.mdb");
        fs::permissions(m_dir / "nwind.mdb", fs::perms::owner_write, fs::perm_options::add);
        Write(m_dir / "secret.sqlite", "CREATE TABLE t(x); INSERT INTO t VALUES ('top secret');");
    }
    void TearDown() override { fs::remove_all(m_dir); }

    fs::path m_dir;
};

TEST_F(Strangers, LinkSqlRunsOneStatementThatOnlyReads) {
    const std::string copy = (m_dir / "copy.db").string();
    const std::string secret = (m_dir / "secret.sqlite").string();
    struct Case {
        std::string sql;
        const char* refusal;  // part of the description; null: the statement runs
    };
    const Case cases[] = {
        {"VACUUM INTO '" + copy + "'", "VACUUM"},
        {"ATTACH DATABASE '" + secret + "' AS o", "ATTACH"},
        {"SELECT 1; ATTACH DATABASE '" + secret + "' AS o", "more than one statement"},
        {"SELECT 1;\n VACUUM INTO '" + copy + "'", "more than one statement"},
        {"DETACH DATABASE main", "DETACH"},
        {"PRAGMA user_version = 7", "PRAGMA user_version"},
        {"PRAGMA journal_mode = WAL", "PRAGMA journal_mode"},
        {"SELECT load_extension('" + copy + "')", "load_extension"},
        {"SELECT fts3_tokenizer('simple', x'0000000000000000')", "fts3_tokenizer"},
        {"BEGIN", "transaction"},
        {"SAVEPOINT s", "transaction"},
        {"CREATE TEMP TABLE scratch(x)", "CREATE"},
        {"CREATE TEMP VIEW v AS SELECT 1", "CREATE"},
        {"ANALYZE", "ANALYZE"},
        {"WITH x AS (SELECT 1) SELECT * FROM x", nullptr},
        {"  SELECT 1 ; -- a closing remark\n", nullptr},
        {"SELECT 2; /* and a comment */ ;", nullptr},
    };
    const std::string drivers[] = {SqliteText(m_dir / "data.sqlite"),
                                   AccessText(m_dir / "nwind.mdb")};
    for (const std::string& driver : drivers) {
        _ConnectionPtr connection = Connect(driver);
        for (const Case& c : cases) {
            const auto failure = FailureOf([&] { RowsOf(connection, c.sql); });
            if (!c.refusal) {
                EXPECT_FALSE(failure) << c.sql << ": " << failure->description;
                continue;
            }
            ASSERT_TRUE(failure) << driver << ": " << c.sql;
            EXPECT_EQ(failure->code, 0x80040E14u) << c.sql;
            EXPECT_NE(failure->description.find("refused"), std::string::npos)
                << failure->description;
            EXPECT_NE(failure->description.find(c.refusal), std::string::npos)
                << c.sql << ": " << failure->description;
        }
        EXPECT_FALSE(fs::exists(copy)) << driver;
        // The provider's own schema listing still works, and so do plain queries.
        _RecordsetPtr tables = connection->OpenSchema(adSchemaTables, _variant_t(), _variant_t());
        EXPECT_GT(tables->GetRecordCount(), 2);
        connection->Close();
    }
    _ConnectionPtr sqlite = Connect(drivers[0]);
    EXPECT_EQ(RowsOf(sqlite, "SELECT * FROM Parts"), 6);
    EXPECT_EQ(RowsOf(sqlite, "PRAGMA table_info(Parts)"), 7);
    EXPECT_EQ(RowsOf(sqlite, "SELECT name FROM pragma_table_info('Parts')"), 7);
    // With ATTACH refused, nothing from another file ever reaches a result.
    EXPECT_TRUE(FailureOf([&] { RowsOf(sqlite, "SELECT * FROM o.t"); }));
}

TEST_F(Strangers, AccessLinksCannotWriteThroughTheirCopy) {
    _ConnectionPtr access = Connect(AccessText(m_dir / "nwind.mdb"));
    EXPECT_EQ(RowsOf(access, "SELECT * FROM Shippers"), 3);
    for (const char* sql : {"DELETE FROM Shippers", "PRAGMA query_only = OFF",
                            "UPDATE Shippers SET Phone = ''", "DROP TABLE Shippers"}) {
        const auto failure = FailureOf([&] { RowsOf(access, sql); });
        ASSERT_TRUE(failure) << sql;
        EXPECT_EQ(failure->code, 0x80040E14u);
    }
    EXPECT_EQ(RowsOf(access, "SELECT * FROM Shippers WHERE Phone <> ''"), 3);
    // A table the file does not have is named as missing (loading the others in between
    // does not hide the reason).
    const auto missing = FailureOf([&] { RowsOf(access, "SELECT * FROM Shippers, NoSuchTable"); });
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->code, 0x80040E37u);
    EXPECT_EQ(missing->description, "no such table: NoSuchTable");
}

// Runs a call in a child process and gives its result, or none when it is still running after
// the deadline (the child is then killed).
std::optional<std::string> WithinDeadline(const std::function<std::string()>& call) {
    int fds[2];
    if (::pipe(fds) != 0)
        return std::string("pipe failed");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        const std::string result = call();
        const ssize_t written = ::write(fds[1], result.data(), result.size());
        ::_exit(written == static_cast<ssize_t>(result.size()) ? 0 : 1);
    }
    ::close(fds[1]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            ::close(fds[0]);
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::string out;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    return out;
}

TEST_F(Strangers, OnlyRegularFilesAreOpened) {
    ASSERT_EQ(::mkfifo((m_dir / "pipe.sqlite").c_str(), 0600), 0);
    fs::create_directories(m_dir / "folder.mdb");
    struct Case {
        fs::path path;
        const char* want;
    };
    const Case cases[] = {
        {m_dir / "pipe.sqlite", "is a named pipe (FIFO), not a database file"},
        {m_dir / "folder.mdb", "is a folder, not a database file"},
        {"/dev/null", "is a device, not a database file"},
        {m_dir / "missing.sqlite", "Could not find file"},
    };
    for (const Case& c : cases) {
        for (const std::string& text : {SqliteText(c.path), AccessText(c.path)}) {
            const auto result = WithinDeadline([&] {
                const auto failure = FailureOf([&] { Connect(text); });
                if (!failure)
                    return std::string("opened");
                char code[16];
                std::snprintf(code, sizeof code, "%08x ", failure->code);
                return code + failure->description;
            });
            ASSERT_TRUE(result) << text << " hangs";
            EXPECT_EQ(result->rfind("80004005 ", 0), 0u) << text << ": " << *result;
            EXPECT_NE(result->find(c.want), std::string::npos) << text << ": " << *result;
            EXPECT_NE(result->find(c.path.string()), std::string::npos) << *result;
        }
    }
    // Should the checked file be replaced by a pipe before SQLite opens it, SQLite's own
    // opening does not wait for a writer either.
    const auto direct = WithinDeadline([&] {
        Connect(SqliteText(m_dir / "data.sqlite"));
        sqlite3* db = nullptr;
        sqlite3_open_v2((m_dir / "pipe.sqlite").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        const int rc =
            sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        return std::to_string(rc);
    });
    ASSERT_TRUE(direct) << "SQLite's open of a pipe hangs";
    EXPECT_NE(*direct, "0");
}

TEST_F(Strangers, ADatabaseLockedByAWriterIsWaitedForABoundedTime) {
    const fs::path file = m_dir / "data.sqlite";
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::thread finisher([writer] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sqlite3_exec(writer, "UPDATE Parts SET Name = 'neu' WHERE PartNo = 1; COMMIT", nullptr,
                     nullptr, nullptr);
    });
    const auto failure = FailureOf([&] {
        _ConnectionPtr reader = Connect(SqliteText(file));
        EXPECT_EQ(RowsOf(reader, "SELECT * FROM Parts WHERE Name = 'neu'"), 1);
    });
    finisher.join();
    EXPECT_FALSE(failure) << failure->description;

    // Held for longer than the connection's timeout (in milliseconds): a clear error.
    ASSERT_EQ(sqlite3_exec(writer, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    const auto locked = FailureOf([&] { Connect(SqliteText(file) + "Timeout=100;"); });
    ASSERT_TRUE(locked);
    EXPECT_EQ(locked->code, 0x80004005u);
    EXPECT_NE(locked->description.find("is locked by another program"), std::string::npos)
        << locked->description;
    sqlite3_exec(writer, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(writer);
}

// Everything written to standard output and standard error while the call runs.
std::string OutputOf(const fs::path& capture, const std::function<void()>& call) {
    std::fflush(stdout);
    std::fflush(stderr);
    const int file = ::open(capture.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    const int savedOut = ::dup(1), savedErr = ::dup(2);
    ::dup2(file, 1);
    ::dup2(file, 2);
    call();
    std::fflush(stdout);
    std::fflush(stderr);
    ::dup2(savedOut, 1);
    ::dup2(savedErr, 2);
    ::close(savedOut);
    ::close(savedErr);
    ::close(file);
    std::ifstream in(capture);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A copy of nwind.mdb with every thirteenth byte of the pages from..to replaced by noise.
void Damage(const fs::path& file, int from, int to) {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    std::uint32_t state = 12345;
    for (int page = from; page < to; ++page) {
        for (int i = 0; i < 4096; i += 13) {
            state = state * 1103515245u + 12345u;
            f.seekp(page * 4096 + i);
            f.put(static_cast<char>(state >> 16));
        }
    }
}

TEST_F(Strangers, ADamagedAccessFileIsReportedWithoutTheReadersNoise) {
    const fs::path rows = m_dir / "rows.mdb", catalog = m_dir / "catalog.mdb";
    fs::copy_file(m_dir / "nwind.mdb", rows);
    fs::copy_file(m_dir / "nwind.mdb", catalog);
    Damage(rows, 400, 460);  // table pages: rows cannot be read whole
    Damage(catalog, 1, 40);  // the catalog itself
    std::optional<Failure> catalogFailure;
    const std::string noise = OutputOf(m_dir / "capture.txt", [&] {
        catalogFailure = FailureOf([&] { Connect(AccessText(catalog)); });
        _ConnectionPtr connection;
        if (FailureOf([&] { connection = Connect(AccessText(rows)); }))
            return;
        _RecordsetPtr tables = connection->OpenSchema(adSchemaTables, _variant_t(), _variant_t());
        for (tables->MoveFirst(); !tables->GetadoEOF(); tables->MoveNext()) {
            const std::string name =
                _bstr_t(tables->GetFields()->GetItem(_variant_t(u"TABLE_NAME"))->GetValue().bstrVal,
                        true)
                    .Utf8();
            FailureOf([&] { RowsOf(connection, "SELECT * FROM [" + name + "]"); });
        }
    });
    EXPECT_EQ(noise, "");
    ASSERT_TRUE(catalogFailure);
    EXPECT_EQ(catalogFailure->code, 0x80004005u);
    EXPECT_NE(catalogFailure->description.find(catalog.string()), std::string::npos);
    // A short summary of what the reader said, not its whole output.
    EXPECT_NE(catalogFailure->description.find("The reader reported: "), std::string::npos)
        << catalogFailure->description;
    EXPECT_LT(catalogFailure->description.size(), 400u) << catalogFailure->description;
}

TEST(QueryText, OnlySingleReadingQueriesPass) {
    struct Case {
        const char16_t* sql;
        const char* why;  // part of the reason; null: it passes
    };
    const Case cases[] = {
        {u"SELECT * FROM [Order Details]", nullptr},
        {u" ( SELECT 1 ) ;  -- done\n", nullptr},
        {u"/* report */ WITH t AS (SELECT 1) SELECT * FROM t", nullptr},
        {u"VALUES (1), (2)", nullptr},
        {u"SELECT 'a; DELETE FROM t' AS [x]] INTO], \"UPDATE\" FROM `drop`", nullptr},
        {u"SELECT 'it''s; INTO' FROM t", nullptr},
        {u"select * from t where deleted = 0", nullptr},
        {u"SELECT 1; SELECT 2", "more than one statement"},
        {u"SELECT 1;; ;\n DROP TABLE t", "more than one statement"},
        {u"INSERT INTO t VALUES (1)", "begins with INSERT"},
        {u"exec sp_who", "begins with EXEC"},
        {u"SELECT * INTO copy FROM t", "INTO does not belong"},
        {u"WITH d AS (DELETE FROM t RETURNING *) SELECT * FROM d", "DELETE does not belong"},
        {u"SELECT * FROM t FOR UPDATE", "UPDATE does not belong"},
        {u"SELECT load_file('/etc/passwd')", "LOAD_FILE does not belong"},
        {u"'SELECT'", "does not begin with SELECT"},
        {u"", "no statement"},
        {u"  -- nothing but a comment", "no statement"},
    };
    for (const Case& c : cases) {
        const auto why = provider::WhyNotAReadOnlyQuery(c.sql);
        const std::string sql = qv::ToUtf8(std::u16string_view(c.sql));
        if (!c.why) {
            EXPECT_FALSE(why) << sql << ": " << *why;
            continue;
        }
        ASSERT_TRUE(why) << sql;
        EXPECT_NE(why->find(c.why), std::string::npos) << sql << ": " << *why;
    }
}

// The SQLite ODBC driver, registered under a name of its own so that it is reached through the
// driver manager; it has no read-only mode of its own.
class OdbcStrangers : public Strangers {
protected:
    void SetUp() override {
        Strangers::SetUp();
        if (!fs::exists(QUARVEL_SQLITE_ODBC_DRIVER))
            GTEST_SKIP() << "SQLite ODBC driver not installed";
        std::ofstream(m_dir / "odbcinst.ini") << "[Quarvel Hardening Driver]\n"
                                                 "Driver=" QUARVEL_SQLITE_ODBC_DRIVER "\n";
        std::ofstream(m_dir / "odbc.ini") << "";
        ::setenv("ODBCSYSINI", m_dir.c_str(), 1);
        ::setenv("ODBCINI", (m_dir / "odbc.ini").c_str(), 1);
    }
};

TEST_F(OdbcStrangers, StatementsThatWriteAreRefusedBeforeTheyRun) {
    const fs::path file = m_dir / "data.sqlite";
    const std::string copy = (m_dir / "copy.db").string();
    _ConnectionPtr odbc =
        Connect("Driver={Quarvel Hardening Driver};Database=" + file.string() + ";");
    for (const std::string& sql :
         {std::string("CREATE TABLE x(a)"), std::string("DELETE FROM Parts"),
          "VACUUM INTO '" + copy + "'", "ATTACH DATABASE '" + copy + "' AS o",
          std::string("DELETE FROM Parts RETURNING *"),
          std::string("WITH p AS (SELECT 1) DELETE FROM Parts"),
          std::string("SELECT 1; DELETE FROM Parts"), std::string("SELECT * INTO x FROM Parts"),
          std::string("PRAGMA user_version = 3")}) {
        const auto failure = FailureOf([&] { RowsOf(odbc, sql); });
        ASSERT_TRUE(failure) << sql;
        EXPECT_EQ(failure->code, 0x80040E14u) << sql;
        EXPECT_NE(failure->description.find("refused"), std::string::npos)
            << sql << ": " << failure->description;
    }
    EXPECT_EQ(RowsOf(odbc, "SELECT * FROM Parts"), 6);
    EXPECT_EQ(RowsOf(odbc, " -- the parts\n WITH p AS (SELECT * FROM Parts) SELECT * FROM p"), 6);
    EXPECT_EQ(RowsOf(odbc, "SELECT 'DELETE FROM Parts; INTO' AS \"Update\""), 1);
    odbc->Close();
    EXPECT_FALSE(fs::exists(copy));
    _ConnectionPtr native = Connect(SqliteText(file));
    EXPECT_EQ(RowsOf(native, "SELECT * FROM sqlite_master WHERE name = 'x'"), 0);
    EXPECT_EQ(RowsOf(native, "SELECT * FROM Parts"), 6);
}

// A query without end: its rows are reported as they come, and the user's cancel ends it with
// a clear error instead of taking all memory; so does one that works long without rows.
TEST_F(Strangers, LongQueriesReportTheirRowsAndCanBeCancelled) {
    _ConnectionPtr connection = Connect(SqliteText(m_dir / "data.sqlite"));
    g_stopAfter = 50000;
    const auto endless = FailureOf([&] {
        RowsOf(connection,
               "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT i FROM n");
    });
    ASSERT_TRUE(endless);
    EXPECT_EQ(endless->code, static_cast<std::uint32_t>(E_ABORT));
    EXPECT_NE(endless->description.find("The query was cancelled"), std::string::npos)
        << endless->description;
    EXPECT_EQ(g_lastWhat, "Reading rows");
    EXPECT_GE(g_lastDone, 50000);

    g_stopAfter = 0;  // cancelled at once, before any row came
    const auto rowless = FailureOf([&] {
        RowsOf(connection,
               "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) "
               "SELECT i FROM n WHERE i < 0");
    });
    ASSERT_TRUE(rowless);
    EXPECT_EQ(rowless->code, static_cast<std::uint32_t>(E_ABORT));

    g_stopAfter = -1;  // the connection is fine afterwards
    EXPECT_EQ(RowsOf(connection, "SELECT * FROM Parts"), 6);
}

}  // namespace

// The application's side of long work (platform/longwork.h): here the test decides when the
// user cancels.
extern "C" bool qvLongWorkStep(const char* what, long long done) {
    g_lastWhat = what ? what : "";
    g_lastDone = done;
    return g_stopAfter < 0 || done < g_stopAfter;
}
