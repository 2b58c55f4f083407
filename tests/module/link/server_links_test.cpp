// Server databases and ODBC data sources: the keys offered for every registered driver and
// data source, their connection strings, the identity of their records, and tables linked to
// a real PostgreSQL server started for the suite on 127.0.0.1.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "host/session/documents.h"
#include "host/ui/input_source.h"
#include "host/ui/ui_sink.h"
#include "link/DbRecords.h"
#include "link/TableLink.h"
#include "module_fixture.h"
#include "tables/TableCommands.h"
#include "tests/support/pg_test_server.h"

namespace fs = std::filesystem;

namespace {

std::string Utf8(const CString& s) {
    return qv::ToUtf8(s.GetString());
}

fs::path SuiteFolder(const char* what) {
    return fs::temp_directory_path() /
           ("quarvel_" + std::string(what) + "_" + std::to_string(::getpid()) + "_" +
            std::to_string(QUARVEL_RELEASE));
}

// A private odbcinst.ini and odbc.ini for the driver manager of this process.
void RegisterOdbc(const fs::path& dir, const std::string& drivers, const std::string& sources) {
    fs::create_directories(dir);
    std::ofstream(dir / "odbcinst.ini") << drivers;
    std::ofstream(dir / "odbc.ini") << sources;
    ::setenv("ODBCSYSINI", dir.c_str(), 1);
    ::setenv("ODBCINI", (dir / "odbc.ini").c_str(), 1);
}

class ServerKeys : public DrawingTest {
protected:
    void SetUp() override {
        DrawingTest::SetUp();
        // The folder the server suite registers its driver in: the driver manager keeps the
        // first place it reads its files from for the whole process.
        m_dir = SuiteFolder("pg") / "odbc";
        RegisterOdbc(m_dir,
                     "[PostgreSQL Unicode]\nDriver=/nonexistent/psqlodbcw.so\n\n"
                     "[Text Files]\nDriver=/nonexistent/text.so\nFileUsage=1\n\n"
                     "[MDBTools]\nDriver=/nonexistent/mdb.so\nFileUsage=1\n\n"
                     "[SQLite3]\nDriver=/nonexistent/sqlite3.so\n",
                     "[plant]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\n");
        ConnectTemplateMap.RemoveAll();
        RegisterConnectTemplates();
    }
    void TearDown() override {
        FreeDatabases();
        ConnectTemplateMap.RemoveAll();
        RegisterConnectTemplates();
        DrawingTest::TearDown();
        fs::remove_all(m_dir.parent_path());
    }
    fs::path m_dir;
};

TEST_F(ServerKeys, EveryDriverAndDataSourceIsOfferedBesideAccessAndSqlite) {
    std::vector<std::string> keys;
    for (const auto& entry : ConnectTemplateMap)
        keys.push_back(Utf8(entry.first));
    EXPECT_EQ(keys, (std::vector<std::string>{"Microsoft Access Driver (*.mdb)",
                                              "ODBC Data Source (DSN)", "PostgreSQL Unicode",
                                              "SQLite3 ODBC Driver", "Text Files", "plant (DSN)"}));
    EXPECT_EQ(ConnectKindOf(_T("PostgreSQL Unicode")), ConnectKind::kServer);
    EXPECT_EQ(ConnectKindOf(_T("Text Files")), ConnectKind::kFile);
    EXPECT_EQ(ConnectKindOf(_T("plant (DSN)")), ConnectKind::kDataSource);
    EXPECT_EQ(ConnectKindOf(_T("ODBC Data Source (DSN)")), ConnectKind::kDataSource);
    EXPECT_EQ(ConnectKindOf(_T("Microsoft Access Driver (*.mdb)")), ConnectKind::kFile);
    EXPECT_EQ(ConnectKindOf(_T("No Such Driver")), ConnectKind::kFile);
}

// Every value stands in the connection text as one value: braced when it holds a separator
// or a brace, so that a drawing cannot add keys (another driver, an option).
TEST_F(ServerKeys, ConnectionStringsNameTheServerAndQuoteEveryValue) {
    const struct {
        const char* driver;
        const char* database;
        const char* user;
        const char* password;
        const char* expected;
    } cases[] = {
        {"PostgreSQL Unicode", "127.0.0.1:5433/sales", "ann", "pa;ss}w",
         "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=5433;Database=sales;Uid=ann;"
         "Pwd={pa;ss}}w};"},
        {"PostgreSQL Unicode", "db.example.org/sales", "", "",
         "Driver={PostgreSQL Unicode};Server=db.example.org;Database=sales;Uid=;Pwd=;"},
        {"PostgreSQL Unicode", "[::1]:5432/x", "u", "p",
         "Driver={PostgreSQL Unicode};Server=::1;Port=5432;Database=x;Uid=u;Pwd=p;"},
        {"PostgreSQL Unicode", "h/x;Driver={SQLite3 ODBC Driver}", "u",
         "p;Driver={SQLite3 ODBC Driver};Database=/etc/passwd",
         "Driver={PostgreSQL Unicode};Server=h;Database={x;Driver={SQLite3 ODBC Driver}}};Uid=u;"
         "Pwd={p;Driver={SQLite3 ODBC Driver}};Database=/etc/passwd};"},
        {"plant (DSN)", "plant", "u", "{p}", "DSN=plant;Uid=u;Pwd={{p}}};"},
        {"ODBC Data Source (DSN)", "other;Driver=x", "", "", "DSN={other;Driver=x};Uid=;Pwd=;"},
        {"Text Files", "/data/a b.txt", "", "", "Driver={Text Files};Dbq=/data/a b.txt;Uid=;Pwd=;"},
        {"No Such Driver", "x", "", "", ""},
    };
    for (const auto& c : cases) {
        CMyDatabase db;
        db.SetConnection(Txt(c.driver), Txt(c.database), Txt(c.user), Txt(c.password));
        EXPECT_EQ(Utf8(db.BuildConnectionString()), c.expected) << c.database;
    }
}

TEST_F(ServerKeys, ServerAddressesAreSplitOrRefused) {
    const struct {
        const char* text;
        bool ok;
        const char* host;
        const char* port;
        const char* name;
    } cases[] = {
        {"127.0.0.1:5432/quarvel", true, "127.0.0.1", "5432", "quarvel"},
        {"db.example.org/sales/2024", true, "db.example.org", "", "sales/2024"},
        {"localhost", true, "localhost", "", ""},
        {"[fe80::1]:6543/x", true, "fe80::1", "6543", "x"},
        {"[fe80::1]/x", true, "fe80::1", "", "x"},
        {"host:port/x", false, "", "", ""},
        {":5432/x", false, "", "", ""},
        {"[::1/x", false, "", "", ""},
        {"/x", false, "", "", ""},
    };
    for (const auto& c : cases) {
        CString host, port, name;
        EXPECT_EQ(SplitServerAddress(Txt(c.text), host, port, name), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(Utf8(host), c.host) << c.text;
            EXPECT_EQ(Utf8(port), c.port) << c.text;
            EXPECT_EQ(Utf8(name), c.name) << c.text;
        }
    }
}

// A server's Database value is never resolved as a file; records are told apart by driver
// and address, a data source by its name.
TEST_F(ServerKeys, IdentityIsTheDriverAndTheAddress) {
    const CString a = DatabaseIdentity(_T("PostgreSQL Unicode"), _T("Db.Example:5432/sales"));
    EXPECT_EQ(
        a.CompareNoCase(DatabaseIdentity(_T("PostgreSQL Unicode"), _T("db.example:5432/sales"))),
        0);
    EXPECT_NE(a, DatabaseIdentity(_T("PostgreSQL Unicode"), _T("db.example:5433/sales")));
    EXPECT_NE(a, DatabaseIdentity(_T("PostgreSQL Unicode"), _T("db.example:5432/other")));
    EXPECT_NE(a, DatabaseIdentity(_T("Text Files"), _T("db.example:5432/sales")));
    EXPECT_EQ(Utf8(a).find('/') != std::string::npos && Utf8(a)[0] != '/', true);
    EXPECT_EQ(DatabaseIdentity(_T("plant (DSN)"), _T("plant")),
              DatabaseIdentity(_T("ODBC Data Source (DSN)"), _T("plant")));
    // A file driver's value is a path resolved against the drawing's folder.
    EXPECT_EQ(DatabaseIdentity(_T("Text Files"), _T("/data/./a.txt")), Txt("/data/a.txt"));
}

// A real PostgreSQL server.

// The password holds the separator, both braces and '=' of connection strings.
constexpr const char* kPassword = "pa;ss}w{rd=1";

constexpr const char* kTables = R"(
SET ROLE quarvel;
CREATE TABLE items (id integer, price numeric(12,2), name text, day date, stamp timestamp,
    ok boolean, note varchar(20), ratio double precision, at time, big bigint, small smallint);
INSERT INTO items VALUES
 (1, 9999999999.99, 'Ωμέγα 日本語 Привет', '2024-01-31', '2024-01-31 13:05:09', true, NULL,
  0.1234567891, '13:05:09', 9007199254740993, -32768),
 (2, 1234567.89, 'plain', '1899-12-30', '2000-02-29 00:00:01.5', false, 'x', 0.5, '00:00:00',
  -1, 7),
 (3, -12.30, '', '0099-12-31', NULL, NULL, 'y', 1e20, NULL, NULL, NULL);
CREATE SCHEMA inv;
CREATE TABLE inv.stock (sku text, qty integer);
INSERT INTO inv.stock VALUES ('A-1', 5), ('B-2', NULL);
CREATE VIEW inv."odd.name" AS SELECT sku FROM inv.stock WHERE qty IS NULL;
)";

class PostgresLinks : public DrawingTest {
protected:
    static void SetUpTestSuite() {
        s_server =
            std::make_unique<testsupport::PgTestServer>(QUARVEL_PG_TEST_SERVER, SuiteFolder("pg"));
        const std::string failure = s_server->Start();
        if (failure.rfind("skip: ", 0) == 0) {
            s_skip = failure.substr(6);
            return;
        }
        ASSERT_EQ(failure, "");
        ASSERT_TRUE(s_server->Sql(std::string("CREATE ROLE quarvel LOGIN PASSWORD '") + kPassword +
                                  "';\nCREATE DATABASE quarvel OWNER quarvel;\n"));
        ASSERT_TRUE(s_server->Sql(kTables, "quarvel"));
        s_started = true;
        // The keys tests registered their own drivers in the shared folder: take it over.
        s_server->RegisterOdbc("quarvel_pg", "quarvel");
    }
    static void TearDownTestSuite() { s_server.reset(); }

    void SetUp() override {
        if (!s_skip.empty())
            GTEST_SKIP() << s_skip;
        ASSERT_TRUE(s_started);
        DrawingTest::SetUp();
        m_previousSink = host::SetUiSink(&m_boxes);
        ConnectTemplateMap.RemoveAll();
        RegisterConnectTemplates();
    }
    void TearDown() override {
        if (!s_skip.empty())
            return;
        FreeDatabases();
        host::SetUiSink(m_previousSink);
        ConnectTemplateMap.RemoveAll();
        RegisterConnectTemplates();
        DrawingTest::TearDown();
    }

    // A new drawing as the current one, with no database records.
    void NextDrawing() {
        FreeDatabases();
        m_boxes.shown.clear();
        m_output.clear();
        m_db = host::Documents()->Open()->database();
    }

    static CString Address() { return Txt(("127.0.0.1:" + s_server->Port() + "/quarvel").c_str()); }

    AcDbObjectId Linked(const CString& driver, const CString& database, const char* table,
                        const char* sql, const char* password = kPassword) {
        const AcDbObjectId id = MakeTable(2, 2);
        TableLink link;
        link.m_strConnectDriver = driver;
        link.m_strDatabase = database;
        link.m_strTable = Txt(table);
        link.m_strSQL = Txt(sql);
        link.m_strUser = _T("quarvel");
        link.m_strPassword = Txt(password);
        EXPECT_EQ(link.WriteLinkById(id), 1);
        return id;
    }

    void UpdateAll() {
        host::QueueInput input({"ALL", ""});
        host::ScopedInput scope(input);
        CmdDbTableUpdate();
    }

    // Every row of a table, cells joined by '|'.
    std::vector<std::string> Rows(AcDbObjectId id, int count) {
        std::vector<std::string> rows;
        for (int r = 0; r < count; ++r) {
            std::string line;
            for (const CString& cell : RowTexts(id, r))
                line += (line.empty() ? "" : "|") + Utf8(cell);
            rows.push_back(line);
        }
        return rows;
    }

    static inline std::string s_skip;
    static inline std::unique_ptr<testsupport::PgTestServer> s_server;
    static inline bool s_started = false;
    host::RecordingUiSink m_boxes;
    host::UiSink* m_previousSink = nullptr;
};

const std::vector<std::string> kItems = {
    "id|price|name|day|stamp|ok|note|ratio|at|big|small",
    "1|9999999999.99|Ωμέγα 日本語 Привет|2024-01-31 00:00:00|2024-01-31 13:05:09|T||0.1234567891|"
    "13:05:09|9007199254740993|-32768",
    "2|1234567.89|plain|1899-12-30 00:00:00|2000-02-29 00:00:01|F|x|0.5|00:00:00|-1|7",
    // Dates outside the automation-date range keep the server's own text.
    "3|-12.3||0099-12-31|||y|1e+20|||",
};

// One server start per build: every case in one test, each in a drawing of its own and with
// the database list emptied.
TEST_F(PostgresLinks, ServerTablesAreLinkedRefreshedAndListed) {
    {
        SCOPED_TRACE("a table linked by driver and address is refreshed with every cell text");
        NextDrawing();
        const AcDbObjectId id =
            Linked(_T("PostgreSQL Unicode"), Address(), "", "SELECT * FROM items ORDER BY id");
        UpdateAll();
        EXPECT_EQ(Rows(id, 4), kItems) << m_output;
        EXPECT_TRUE(m_boxes.shown.empty()) << m_boxes.shown.at(0).text;
        ASSERT_EQ(g_dbList.GetSize(), 1);
        EXPECT_EQ(ConnectKindOf(g_dbList[0]->m_strConnectDriver), ConnectKind::kServer);
    }
    {
        SCOPED_TRACE("a data source by its name reads the same rows");
        NextDrawing();
        CString pattern;
        ASSERT_TRUE(ConnectTemplateMap.Lookup(_T("quarvel_pg (DSN)"), pattern));
        const AcDbObjectId id =
            Linked(_T("quarvel_pg (DSN)"), _T("quarvel_pg"), "", "SELECT * FROM items ORDER BY id");
        UpdateAll();
        EXPECT_EQ(Rows(id, 4), kItems) << m_output;
    }
    {
        SCOPED_TRACE("schema-qualified names are listed and quoted part by part");
        NextDrawing();
        ASSERT_TRUE(g_dbList.AddDatabase(_T("PostgreSQL Unicode"), Address(), _T("quarvel"),
                                         Txt(kPassword)));
        // The same server and database again is the same record.
        EXPECT_FALSE(g_dbList.AddDatabase(_T("PostgreSQL Unicode"), Address(), _T("quarvel"),
                                          Txt(kPassword)));
        CStringArray names;
        g_dbList[0]->ListTableNames(names);
        std::vector<std::string> listed;
        for (int i = 0; i < names.GetSize(); ++i)
            listed.push_back(Utf8(names[i]));
        std::sort(listed.begin(), listed.end());
        EXPECT_EQ(listed, (std::vector<std::string>{"inv.odd.name", "inv.stock", "items"}));

        const AcDbObjectId stock = Linked(_T("PostgreSQL Unicode"), Address(), "inv.stock", "");
        const AcDbObjectId odd = Linked(_T("PostgreSQL Unicode"), Address(), "inv.odd.name", "");
        UpdateAll();
        EXPECT_EQ(Rows(stock, 3), (std::vector<std::string>{"sku|qty", "A-1|5", "B-2|"}));
        // One column written into a table of two: the second keeps its text.
        EXPECT_EQ(Rows(odd, 2), (std::vector<std::string>{"sku|0,1", "B-2|1,1"}));
    }
    {
        SCOPED_TRACE("a password that tries to add keys is only a wrong password");
        NextDrawing();
        const AcDbObjectId id = Linked(_T("PostgreSQL Unicode"), Address(), "items", "",
                                       "x;Driver={SQLite3 ODBC Driver};Database=/etc/passwd");
        UpdateAll();
        EXPECT_EQ(Rows(id, 1), (std::vector<std::string>{"0,0|0,1"}));
        ASSERT_FALSE(m_boxes.shown.empty());
        EXPECT_NE(m_boxes.shown[0].text.find("password authentication failed"), std::string::npos)
            << m_boxes.shown[0].text;
    }
}

}  // namespace
