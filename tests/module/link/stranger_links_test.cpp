// Links from strangers' drawings: databases named by relative paths in drawings of different
// folders, link values that try to add keys to the connection string, link SQL that would
// write, and links the update command cannot use.
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>

#include "host/session/documents.h"
#include "host/ui/input_source.h"
#include "host/ui/ui_sink.h"
#include "link/DbRecords.h"
#include "link/TableLink.h"
#include "module_fixture.h"
#include "tables/TableCommands.h"

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& file, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
}

CString Handle(AcDbObjectId id) {
    char buf[32] = {0};
    id.handle().getIntoAsciiBuffer(buf);
    return Txt(buf);
}

class StrangerLinks : public DrawingTest {
protected:
    void SetUp() override {
        DrawingTest::SetUp();
        m_previousSink = host::SetUiSink(&m_boxes);
        RegisterConnectTemplates();
        m_dir = fs::path(testing::TempDir()) /
                ("quarvel_stranger_" + std::to_string(::getpid()) + "_" +
                 std::to_string(QUARVEL_RELEASE) + "_" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        for (const char* folder : {"a", "b"}) {
            fs::create_directories(m_dir / folder);
            fs::copy_file(QUARVEL_SAMPLE_DB, m_dir / folder / "data.sqlite");
        }
        Write(m_dir / "b/data.sqlite", "UPDATE Parts SET Name = 'Teil aus B' WHERE PartNo = 1");
    }
    void TearDown() override {
        FreeDatabases();
        host::SetUiSink(m_previousSink);
        DrawingTest::TearDown();
        fs::remove_all(m_dir);
    }

    // The current drawing, as if it had been saved at path.
    void SaveCurrentAs(const fs::path& path) { host::Documents()->Current()->SetPath(path); }

    // A small table of the current drawing linked to a table or an SQL text.
    AcDbObjectId Linked(const char* database, const char* table, const std::string& sql = "") {
        const AcDbObjectId id = MakeTable(2, 2);
        TableLink link;
        link.m_strConnectDriver = _T("SQLite3 ODBC Driver");
        link.m_strDatabase = Txt(database);
        link.m_strTable = Txt(table);
        link.m_strSQL = Txt(sql.c_str());
        EXPECT_EQ(link.WriteLinkById(id), 1);
        return id;
    }

    void UpdateAll() {
        host::QueueInput input({"ALL", ""});
        host::ScopedInput scope(input);
        CmdDbTableUpdate();
    }

    fs::path m_dir;
    host::RecordingUiSink m_boxes;
    host::UiSink* m_previousSink = nullptr;
};

TEST_F(StrangerLinks, DrawingsOfTwoFoldersReadTheDatabasesBesideThem) {
    host::Document* first = host::Documents()->Current();
    SaveCurrentAs(m_dir / "a/plan.dxf");
    const AcDbObjectId inA = Linked("data.sqlite", "Parts");
    UpdateAll();
    EXPECT_EQ(RowTexts(inA, 1).at(2), Txt("Laufrad Ø 180"));

    // A second drawing in another folder, linked through the same relative path.
    m_db = host::Documents()->Open()->database();
    SaveCurrentAs(m_dir / "b/plan.dxf");
    const AcDbObjectId inB = Linked("data.sqlite", "Parts");
    UpdateAll();
    EXPECT_EQ(RowTexts(inB, 1).at(2), Txt("Teil aus B"));
    ASSERT_EQ(g_dbList.GetSize(), 2);
    // The records show the path as the links give it, and know the files they opened.
    EXPECT_EQ(g_dbList[0]->m_strDatabase, Txt("data.sqlite"));
    EXPECT_EQ(g_dbList[1]->m_strDatabase, Txt("data.sqlite"));
    EXPECT_EQ(g_dbList[1]->m_strFilePath, Txt((m_dir / "b/data.sqlite").c_str()));

    // Back in the first drawing its own database is found again.
    host::Documents()->Activate(first);
    m_db = first->database();
    EXPECT_EQ(g_dbList.FindDatabase(_T("data.sqlite")), g_dbList[0]);
    Write(m_dir / "a/data.sqlite", "UPDATE Parts SET Name = 'Teil aus A' WHERE PartNo = 1");
    UpdateAll();
    EXPECT_EQ(RowTexts(inA, 1).at(2), Txt("Teil aus A"));
    EXPECT_EQ(g_dbList.GetSize(), 2);
}

TEST_F(StrangerLinks, APathThroughALinkedFolderIsTheSameDatabase) {
    fs::create_directory_symlink(m_dir / "a", m_dir / "alias");
    SaveCurrentAs(m_dir / "plan.dxf");
    ASSERT_TRUE(
        g_dbList.AddDatabase(_T("SQLite3 ODBC Driver"), _T("a/data.sqlite"), _T(""), _T("")));
    EXPECT_EQ(g_dbList.FindDatabase(_T("alias/data.sqlite")), g_dbList[0]);
    EXPECT_EQ(g_dbList.FindDatabase(_T("b/data.sqlite")), nullptr);
}

TEST_F(StrangerLinks, LinkValuesCannotAddKeysToTheConnectionString) {
    SaveCurrentAs(m_dir / "a/plan.dxf");
    struct Case {
        const char* database;
        const char* user;
        const char* want;  // in the connection string
    };
    const Case cases[] = {
        {"data.sqlite", "", "Database=/a/data.sqlite;Uid=;Pwd=;"},
        {"data.sqlite;Driver={SQLite}", "", "Database={/a/data.sqlite;Driver={SQLite}}};Uid=;"},
        {"data.sqlite", "me;Timeout=60000", "Uid={me;Timeout=60000};"},
        {"data.sqlite", " padded ", "Uid={ padded };"},
    };
    for (const Case& c : cases) {
        CMyDatabase db;
        db.m_strConnectDriver = _T("SQLite3 ODBC Driver");
        db.m_strDatabase = Txt(c.database);
        db.m_strUser = Txt(c.user);
        CString want = Txt(c.want);
        want.Replace(_T("/a/"), Txt((m_dir.string() + "/a/").c_str()));
        EXPECT_NE(db.BuildConnectionString().Find(want), -1)
            << qv::ToUtf8(db.BuildConnectionString().View());
    }
    // The provider looks for the file named by the whole text, not for another driver.
    EXPECT_FALSE(g_dbList.AddDatabase(_T("SQLite3 ODBC Driver"), _T("data.sqlite;Driver={SQLite}"),
                                      _T(""), _T("")));
    ASSERT_EQ(m_boxes.shown.size(), 1u);
    EXPECT_NE(m_boxes.shown[0].text.find("Could not find file '" + m_dir.string() +
                                         "/a/data.sqlite;Driver={SQLite}'"),
              std::string::npos)
        << m_boxes.shown[0].text;
}

TEST_F(StrangerLinks, LinkSqlThatWouldWriteIsReportedAndTheTableKept) {
    SaveCurrentAs(m_dir / "a/plan.dxf");
    const fs::path copy = m_dir / "copy.db";
    const AcDbObjectId vacuum = Linked("data.sqlite", "", "VACUUM INTO '" + copy.string() + "'");
    const AcDbObjectId attach = Linked(
        "data.sqlite", "", "ATTACH DATABASE '" + (m_dir / "b/data.sqlite").string() + "' AS o");
    UpdateAll();
    EXPECT_FALSE(fs::exists(copy));
    ASSERT_EQ(m_boxes.shown.size(), 2u);
    EXPECT_EQ(m_boxes.shown[0].text.rfind("CADORecordset Error\n\tCode = 80040e14\n", 0), 0u);
    EXPECT_NE(m_boxes.shown[0].text.find("Description = The command was refused: VACUUM"),
              std::string::npos)
        << m_boxes.shown[0].text;
    EXPECT_NE(m_boxes.shown[1].text.find("ATTACH would open another database file"),
              std::string::npos)
        << m_boxes.shown[1].text;
    for (AcDbObjectId id : {vacuum, attach}) {
        EXPECT_EQ(RowTexts(id, 1).at(1), Txt("1,1"));
        EXPECT_NE(
            m_output.find(qv::ToUtf8(Handle(id).View()) + " was not updated: its query failed"),
            std::string::npos)
            << m_output;
    }
}

TEST_F(StrangerLinks, UpdateSaysWhichLinkedObjectsItSkippedAndWhy) {
    SaveCurrentAs(m_dir / "a/plan.dxf");
    const AcDbObjectId noData = Linked("data.sqlite", "Parts");
    {
        // The six texts stay, the data entry goes.
        AcDbObject* pObj = nullptr;
        ASSERT_EQ(acdbOpenAcDbObject(pObj, noData, AcDb::kForWrite), Acad::eOk);
        resbuf* pEmpty = acutBuildList(AcDb::kDxfRegAppName, LinkDataAppName, 0);
        EXPECT_EQ(pObj->setXData(pEmpty), Acad::eOk);
        acutRelRb(pEmpty);
        pObj->close();
    }
    const AcDbObjectId noDriver = Linked("data.sqlite", "Parts");
    const AcDbObjectId noDatabase = Linked("", "Parts");
    const AcDbObjectId noQuery = Linked("data.sqlite", "");
    const AcDbObjectId good = Linked("data.sqlite", "Parts");
    {
        TableLink link;
        ASSERT_EQ(link.ReadLinkById(noDriver), 1);
        link.m_strConnectDriver.Empty();
        ASSERT_EQ(link.WriteLinkById(noDriver), 1);
    }
    UpdateAll();
    const struct {
        AcDbObjectId id;
        const char* why;
    } skipped[] = {
        {noData, "its link has no data entry"},
        {noDriver, "its link names no connection driver"},
        {noDatabase, "its link names no database"},
        {noQuery, "its link names neither a table nor an SQL query"},
    };
    for (const auto& s : skipped) {
        const std::string line =
            "\nTable " + qv::ToUtf8(Handle(s.id).View()) + " was not updated: " + s.why + ".";
        EXPECT_NE(m_output.find(line), std::string::npos) << line << "\n" << m_output;
        EXPECT_EQ(RowTexts(s.id, 1).at(1), Txt("1,1"));
    }
    EXPECT_EQ(RowTexts(good, 1).at(2), Txt("Laufrad Ø 180"));
    EXPECT_EQ(m_output.find("Table " + qv::ToUtf8(Handle(good).View()) + " was not"),
              std::string::npos);
}

}  // namespace
