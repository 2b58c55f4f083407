// A PostgreSQL table end to end with the console host and each module build: built through the
// browser and the connection dialog from the documented driver key and "host:port/database",
// saved, and refreshed by DbTable_Update in a later session after the server's rows changed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>

#include "host_run.h"
#include "pg_test_server.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;

constexpr const char* kPassword = "x;y}z{=";

class PostgresEndToEnd : public ::testing::TestWithParam<int> {
protected:
    static void SetUpTestSuite() {
        s_server = std::make_unique<testsupport::PgTestServer>(
            QUARVEL_PG_TEST_SERVER,
            fs::temp_directory_path() / ("quarvel_pg_e2e_" + std::to_string(getpid())));
        s_failure = s_server->Start();
        if (!s_failure.empty())
            return;
        const bool made = s_server->Sql(std::string("CREATE ROLE ann LOGIN PASSWORD '") +
                                        kPassword + "';\nCREATE DATABASE plant OWNER ann;\n") &&
                          s_server->Sql(
                              "SET ROLE ann;\n"
                              "CREATE TABLE parts (no integer, name text, price numeric(12,2),\n"
                              "  due date, ok boolean);\n"
                              "INSERT INTO parts VALUES (1, 'Laufrad Ø 180', 9999999999.99,\n"
                              "  '2024-01-31', true), (2, 'Вал', 0.10, NULL, false),\n"
                              "  (3, NULL, NULL, '1999-12-31', NULL);\n",
                              "plant");
        if (!made)
            s_failure = "the test tables could not be made";
        s_server->RegisterOdbc("", "");
    }
    static void TearDownTestSuite() { s_server.reset(); }

    void SetUp() override {
        if (s_failure.rfind("skip: ", 0) == 0)
            GTEST_SKIP() << s_failure.substr(6);
        ASSERT_EQ(s_failure, "");
        m_work = fs::path(testing::TempDir()) /
                 ("quarvel_pg_work_" + std::to_string(GetParam()) + "_" + std::to_string(getpid()));
        testsupport::MakeFreshFolder(m_work);
    }
    void TearDown() override { fs::remove_all(m_work); }

    testsupport::ProcessResult Run(const std::string& script,
                                   const std::vector<std::string>& extra = {}) {
        return testsupport::RunHostScript(GetParam(), m_work, script, extra);
    }

    static inline std::unique_ptr<testsupport::PgTestServer> s_server;
    static inline std::string s_failure;
    fs::path m_work;
};

TEST_P(PostgresEndToEnd, ATableBuiltFromTheServerIsRefreshedInALaterSession) {
    const std::string database = "127.0.0.1:" + s_server->Port() + "/plant";
    const auto built =
        Run("DbTable_Create\n@click 101\n@pick 107 PostgreSQL Unicode\n@set 108 " + database +
            "\n@set 110 ann\n@set 111 " + kPassword + "\n@ok\n@pick 100 " + database +
            " > parts\n@click 105\n0,0\nSAVEAS\nparts.dxf\n"
            "TABLEEXPORT\nL\n\nbuilt.csv\n");
    ASSERT_EQ(built.status, 0) << built.err << built.out;
    EXPECT_EQ(ReadFile(m_work / "built.csv"),
              "no,name,price,due,ok\r\n"
              "1,Laufrad Ø 180,9999999999.99,2024-01-31 00:00:00,T\r\n"
              "2,Вал,0.1,,F\r\n"
              "3,,,1999-12-31 00:00:00,\r\n")
        << built.out;

    ASSERT_TRUE(s_server->Sql("UPDATE parts SET price = 1234567.89 WHERE no = 3;\n", "plant"));
    const auto refreshed =
        Run("DbTable_Update\nALL\n\nTABLEEXPORT\nALL\n\nrefreshed.csv\n", {"parts.dxf"});
    ASSERT_EQ(refreshed.status, 0) << refreshed.err << refreshed.out;
    EXPECT_NE(refreshed.out.find("Preparing for table update..."), std::string::npos);
    EXPECT_EQ(ReadFile(m_work / "refreshed.csv"),
              "no,name,price,due,ok\r\n"
              "1,Laufrad Ø 180,9999999999.99,2024-01-31 00:00:00,T\r\n"
              "2,Вал,0.1,,F\r\n"
              "3,,1234567.89,1999-12-31 00:00:00,\r\n")
        << refreshed.out;
    ASSERT_TRUE(s_server->Sql("UPDATE parts SET price = NULL WHERE no = 3;\n", "plant"));
}

INSTANTIATE_TEST_SUITE_P(Builds, PostgresEndToEnd, ::testing::ValuesIn(testsupport::kModuleBuilds),
                         [](const testing::TestParamInfo<int>& info) {
                             return "Quarvel" + std::to_string(info.param);
                         });

}  // namespace
