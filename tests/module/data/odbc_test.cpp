// The ODBC backend, driven through the wrappers with the SQLite ODBC driver registered in a
// private odbcinst.ini.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "test_support.h"

namespace {

class OdbcSample : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir =
            std::filesystem::temp_directory_path() /
            ("quarvel_odbc_" + std::to_string(::getpid()) + "_" + std::to_string(QUARVEL_RELEASE));
        std::filesystem::create_directories(s_dir);
        std::ofstream(s_dir / "odbcinst.ini") << "[Quarvel SQLite Test Driver]\n"
                                                 "Description=SQLite 3 through ODBC\n"
                                                 "Driver=" QUARVEL_SQLITE_ODBC_DRIVER "\n";
        std::ofstream(s_dir / "odbc.ini") << "";
        ::setenv("ODBCSYSINI", s_dir.c_str(), 1);
        ::setenv("ODBCINI", (s_dir / "odbc.ini").c_str(), 1);
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(s_dir); }

    void SetUp() override {
        if (!std::filesystem::exists(QUARVEL_SQLITE_ODBC_DRIVER))
            GTEST_SKIP() << "SQLite ODBC driver not installed";
        CString odbc;
        odbc.Format(_T("Driver={Quarvel SQLite Test Driver};Database=%s;"), QUARVEL_SAMPLE_DB);
        ASSERT_TRUE(m_odbc.OpenConnection(odbc)) << Utf8(m_odbc.GetLastErrorText());
        ASSERT_TRUE(m_native.OpenConnection(SampleConnectText()))
            << Utf8(m_native.GetLastErrorText());
    }

    static std::filesystem::path s_dir;
    CADODatabase m_odbc;
    CADODatabase m_native;
};
std::filesystem::path OdbcSample::s_dir;

TEST_F(OdbcSample, GivesTheSameTextsAsTheSqliteBackend) {
    for (const TCHAR* sql :
         {_T("SELECT Tag, Description, Location, Quantity, PowerKW, Installed, InService, "
             "SerialNumber, Notes FROM `Equipment` ORDER BY [Tag]"),
          _T("SELECT * FROM Parts ORDER BY PartNo"), _T("SELECT * FROM Equipment ORDER BY Tag"),
          _T("SELECT * FROM [EquipmentParts] ORDER BY 1, 3")}) {
        const std::string odbc = QueryTexts(m_odbc, sql);
        EXPECT_FALSE(odbc.empty()) << Utf8(sql);
        EXPECT_EQ(odbc, QueryTexts(m_native, sql)) << Utf8(sql);
    }
}

TEST_F(OdbcSample, ListsTablesAndViews) {
    CADORecordset rs(&m_odbc);
    ASSERT_TRUE(rs.OpenSchemaRows(adSchemaTables));
    std::set<std::string> listed;
    for (rs.ToFirstRow(); !rs.AtEndOfRows(); rs.ToNextRow()) {
        CString name, type;
        ASSERT_TRUE(rs.ReadCellText(_T("TABLE_NAME"), name));
        ASSERT_TRUE(rs.ReadCellText(_T("TABLE_TYPE"), type));
        listed.insert(Utf8(name) + ":" + Utf8(type));
    }
    EXPECT_EQ(listed,
              (std::set<std::string>{"Equipment:TABLE", "Parts:TABLE", "EquipmentParts:VIEW"}));
}

TEST_F(OdbcSample, DriverDiagnosticsBecomeTheReport) {
    RecordedBoxes boxes;
    CADORecordset rs(&m_odbc);
    // A query with a fault the driver finds (a misspelt first word is refused before it).
    EXPECT_FALSE(rs.OpenQuery(_T("SELECT * FROM Equipment WHERE")));
    EXPECT_EQ(rs.GetLastErrorCode(), 0x80040E14u);
    ASSERT_EQ(boxes.Shown().size(), 1u);
    EXPECT_NE(boxes.Shown()[0].text.find("SQLSTATE"), std::string::npos);
    EXPECT_EQ(Utf8(rs.GetLastErrorText()),
              "Query = SELECT * FROM Equipment WHERE\n" + boxes.Shown()[0].text);
}

TEST_F(OdbcSample, UnknownDriverIsReportedWhenConnecting) {
    RecordedBoxes boxes;
    CADODatabase db;
    EXPECT_FALSE(db.OpenConnection(_T("Driver={No Such Driver};Database=x;")));
    EXPECT_EQ(db.GetLastErrorCode(), 0x80004005u);
    ASSERT_EQ(boxes.Shown().size(), 1u);
    EXPECT_NE(boxes.Shown()[0].text.find("No Such Driver"), std::string::npos)
        << boxes.Shown()[0].text;
}

}  // namespace
