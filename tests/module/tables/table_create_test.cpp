// New tables from grids, grids from queries, and the update command on linked tables.
#include <filesystem>

#include "dialogs/DialogCommands.h"
#include "host/base/command_line.h"
#include "host/db/hostdb.h"
#include "host/session/documents.h"
#include "host/ui/input_source.h"
#include "host/ui/progress_meter.h"
#include "host/ui/ui_sink.h"
#include "link/DbRecords.h"
#include "module_fixture.h"
#include "tables/BuildTable.h"
#include "tables/TableCommands.h"

namespace {

// Tables of the drawing's model space that are not erased.
std::vector<AcDbObjectId> ModelSpaceTables(AcDbDatabase* db) {
    std::vector<AcDbObjectId> tables;
    for (AcDbObjectId id : host::EntitiesOf(db, db->modelSpaceId())) {
        if (!id.isErased() && host::DxfNameOf(host::ObjectOf(id)) == "ACAD_TABLE") {
            tables.push_back(id);
        }
    }
    return tables;
}

class TableCreation : public DrawingTest {
protected:
    void SetUp() override {
        DrawingTest::SetUp();
        m_previousSink = host::SetUiSink(&m_boxes);
        host::ClearProgressMeterHistory();
        RegisterConnectTemplates();
    }
    void TearDown() override {
        FreeDatabases();
        host::SetUiSink(m_previousSink);
        DrawingTest::TearDown();
    }

    static CellGrid SampleGrid() {
        CellGrid grid;
        grid.Init(3, 2);
        const char* texts[] = {"Tag", "Description", "P-101", "Kühlwasserpumpe", "F-201", "Fan"};
        for (int i = 0; i < 6; ++i)
            grid.SetCell(i / 2, i % 2, Txt(texts[i]));
        return grid;
    }
    // A link to the project's sample database.
    static TableLink SampleLink(const char* table) {
        TableLink link;
        link.m_strTableStyle = _T("Standard");
        link.m_strConnectDriver = _T("SQLite3 ODBC Driver");
        link.m_strDatabase = Txt(QUARVEL_SAMPLE_DB);
        link.m_strTable = Txt(table);
        return link;
    }
    // Builds a linked table from the sample database and places it at the given point.
    AcDbObjectId BuildLinked(const char* table, const char* point) {
        TableLink link = SampleLink(table);
        CMyDatabase db;
        EXPECT_TRUE(db.Open(link.m_strConnectDriver, link.m_strDatabase, link.m_strUser,
                            link.m_strPassword));
        CellGrid grid;
        EXPECT_TRUE(db.FillGrid(link, grid));
        host::QueueInput input({point});
        host::ScopedInput scope(input);
        EXPECT_EQ(BuildTable(grid, link), 1);
        return ModelSpaceTables(m_db).back();
    }

    host::RecordingUiSink m_boxes;
    host::UiSink* m_previousSink = nullptr;
};

TEST_F(TableCreation, NewTableIsSizedFromItsStyleAndPlacedAtThePickedPoint) {
    CellGrid grid = SampleGrid();
    TableLink link;
    link.m_strTableStyle = _T("Standard");
    link.m_widths = {0.00001, 0.00002};
    host::QueueInput input({"10,20"});
    host::ScopedInput scope(input);
    ASSERT_EQ(BuildTable(grid, link), 1);
    ASSERT_EQ(input.prompts.size(), 1u);
    EXPECT_NE(input.prompts[0].find("Specify insertion point: "), std::string::npos);

    const std::vector<AcDbObjectId> tables = ModelSpaceTables(m_db);
    ASSERT_EQ(tables.size(), 1u);
    AcDbTable* table = nullptr;
    ASSERT_EQ(acdbOpenObject(table, tables[0], AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(table->numRows(), 3u);
    EXPECT_EQ(table->numColumns(), 2u);
    for (int r = 0; r < 3; ++r)
        EXPECT_DOUBLE_EQ(table->rowHeight(r), 3.7);
    // Column 0: a custom width at the threshold counts as automatic; "P-101" has 5 characters.
    EXPECT_DOUBLE_EQ(table->columnWidth(0), (5 + 3) * 2.5 + 1.2);
    EXPECT_DOUBLE_EQ(table->columnWidth(1), 0.00002);
    EXPECT_EQ(table->position(), AcGePoint3d(10, 20, 0));
    EXPECT_EQ(table->textString(1, 1), Txt("Kühlwasserpumpe"));
    table->close();

    TableLink stored;
    EXPECT_EQ(stored.ReadLinkById(tables[0]), 1);
    const auto& meters = host::ProgressMeterHistory();
    ASSERT_EQ(meters.size(), 1u);
    EXPECT_EQ(meters[0].label, "Creating AutoCAD Table...");
    EXPECT_EQ(meters[0].maxPos, 6);
    EXPECT_TRUE(meters[0].restored);
}

TEST_F(TableCreation, LengthsCountTheBuildsCharacters) {
    CellGrid grid;
    grid.Init(1, 1);
    grid.SetCell(0, 0, Txt("Größe"));  // 7 bytes, 5 UTF-16 units
    TableLink link;
    link.m_strTableStyle = _T("Standard");
    host::QueueInput input({"0,0"});
    host::ScopedInput scope(input);
    ASSERT_EQ(BuildTable(grid, link), 1);
    AcDbTable* table = nullptr;
    ASSERT_EQ(acdbOpenObject(table, ModelSpaceTables(m_db).at(0), AcDb::kForRead), Acad::eOk);
    const int length = sizeof(TCHAR) == 1 ? 7 : 5;
    EXPECT_DOUBLE_EQ(table->columnWidth(0), (length + 3) * 2.5 + 1.2);
    table->close();
}

TEST_F(TableCreation, CancelledPlacementLeavesNoTable) {
    CellGrid grid = SampleGrid();
    TableLink link;
    link.m_strTableStyle = _T("Standard");
    host::QueueInput input({"*Cancel*"});
    host::ScopedInput scope(input);
    EXPECT_EQ(BuildTable(grid, link), 1);
    EXPECT_TRUE(ModelSpaceTables(m_db).empty());
}

TEST_F(TableCreation, UnknownStyleCreatesNothing) {
    CellGrid grid = SampleGrid();
    TableLink link;
    link.m_strTableStyle = _T("NoSuchStyle");
    EXPECT_EQ(BuildTable(grid, link), 0);
    EXPECT_NE(m_output.find("Faield to open the table style. NoSuchStyle"), std::string::npos);
    EXPECT_TRUE(ModelSpaceTables(m_db).empty());
}

TEST_F(TableCreation, GridFromQueryTakesHeadingsFromLinkThenFieldNames) {
    TableLink link = SampleLink("Equipment");
    link.m_headings.Add(_T("Kennung"));
    CMyDatabase db;
    ASSERT_TRUE(db.Open(link.m_strConnectDriver, link.m_strDatabase, _T(""), _T("")));
    CellGrid grid;
    ASSERT_TRUE(db.FillGrid(link, grid));
    EXPECT_EQ(link.m_strSQL, CString(_T("SELECT * FROM `Equipment`")));
    EXPECT_EQ(grid.m_nRows, 9);  // headings and eight records
    EXPECT_EQ(link.m_nRowCount, 9);
    EXPECT_EQ(grid.GetCell(0, 0), CString(_T("Kennung")));
    EXPECT_EQ(grid.GetCell(0, 1), CString(_T("Description")));
    EXPECT_EQ(grid.GetCell(1, 1), Txt("Kühlwasserpumpe"));

    TableLink dataOnly = SampleLink("Equipment");
    dataOnly.m_nHeader = 0;
    CellGrid plain;
    ASSERT_TRUE(db.FillGrid(dataOnly, plain));
    EXPECT_EQ(plain.m_nRows, 8);
    EXPECT_EQ(plain.GetCell(0, 0), CString(_T("P-101")));
}

TEST_F(TableCreation, SavedQueryLinksRunTheirSql) {
    TableLink link = SampleLink("Pumps only");
    link.m_strSQL = _T("SELECT Tag FROM Equipment WHERE Tag LIKE 'P-%' ORDER BY Tag");
    CMyDatabase db;
    ASSERT_TRUE(db.Open(link.m_strConnectDriver, link.m_strDatabase, _T(""), _T("")));
    CellGrid grid;
    ASSERT_TRUE(db.FillGrid(link, grid));
    EXPECT_EQ(grid.m_nRows, 3);
    EXPECT_EQ(grid.GetCell(2, 0), CString(_T("P-102")));
}

TEST(SelectAllFromTest, QuotesBackQuotesInNames) {
    EXPECT_EQ(SelectAllFrom(_T("Order Details")), CString(_T("SELECT * FROM `Order Details`")));
    EXPECT_EQ(SelectAllFrom(_T("a`b")), CString(_T("SELECT * FROM `a``b`")));
}

TEST(ResolveDatabasePathTest, RelativeToTheDrawingFolder) {
    struct Case {
        const char* drawing;
        const char* path;
        const char* want;
    };
    const Case cases[] = {
        {"/work/plan.dxf", "data/parts.mdb", "/work/data/parts.mdb"},
        {"/work/plan.dxf", "../parts.mdb", "/parts.mdb"},
        {"/work/plan.dxf", "data\\parts.mdb", "/work/data/parts.mdb"},
        {"/work/plan.dxf", "..\\x\\.\\parts.mdb", "/x/parts.mdb"},
        {"/work/plan.dxf", "/abs/parts.mdb", "/abs/parts.mdb"},
        {"/work/plan.dxf", "C:\\data\\parts.mdb", "C:\\data\\parts.mdb"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResolveDatabasePath(Txt(c.drawing), Txt(c.path)), Txt(c.want)) << c.path;
    }
}

TEST_F(TableCreation, UpdateRefreshesLinkedTablesAndKeepsThoseItCannotRead) {
    const AcDbObjectId good = BuildLinked("Parts", "0,0");
    const AcDbObjectId missing = BuildLinked("Equipment", "200,0");
    // Damage the first table's cells; point the second at a database that is gone.
    {
        AcDbTable* table = nullptr;
        ASSERT_EQ(acdbOpenObject(table, good, AcDb::kForWrite), Acad::eOk);
        table->setTextString(1, 2, _T("changed"));
        table->deleteRows(3, 2);
        table->close();
        TableLink link;
        ASSERT_EQ(link.ReadLinkById(missing), 1);
        link.m_strDatabase = _T("/nonexistent/gone.sqlite");
        ASSERT_EQ(link.WriteLinkById(missing), 1);
    }
    const std::vector<CString> before = RowTexts(missing, 1);

    host::QueueInput input({"ALL", ""});
    host::ScopedInput scope(input);
    CmdDbTableUpdate();
    EXPECT_NE(m_output.find("Preparing for table update..."), std::string::npos);

    AcDbTable* table = nullptr;
    ASSERT_EQ(acdbOpenObject(table, good, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(table->numRows(), 7u);  // headings and six parts again
    EXPECT_EQ(table->textString(1, 2), Txt("Laufrad Ø 180"));
    table->close();
    EXPECT_EQ(RowTexts(missing, 1), before);
    EXPECT_FALSE(m_boxes.shown.empty());  // the provider's error was shown
}

TEST_F(TableCreation, ANarrowerResultEmptiesTheRestOfTheOldBlockOnly) {
    // A block of three columns from column 1 of a table of six; the new result has two.
    const AcDbObjectId id = MakeTable(4, 6);
    TableLink link = SampleLink("");
    link.m_strSQL = _T("SELECT Tag, Description FROM Equipment WHERE Quantity > 3 ORDER BY Tag");
    link.m_nStartCol = 1;
    link.m_nColCount = 3;
    ASSERT_EQ(RefreshLinkedTable(id, link), RefreshResult::kRefreshed);

    // Headings and three records: the table keeps its four rows.
    const struct {
        int row;
        std::vector<const char*> texts;
    } rows[] = {
        {0, {"0,0", "Tag", "Description", "", "0,4", "0,5"}},
        {1, {"1,0", "F-201", "Ventilateur d'extraction", "", "1,4", "1,5"}},
        {3, {"3,0", "V-301", "Überdruckventil DN50", "", "3,4", "3,5"}},
    };
    for (const auto& row : rows) {
        std::vector<CString> expected;
        for (const char* text : row.texts)
            expected.push_back(Txt(text));
        EXPECT_EQ(RowTexts(id, row.row), expected) << "row " << row.row;
    }
}

TEST_F(TableCreation, UpdateKeepsATableWhoseQueryNowReturnsNothing) {
    const AcDbObjectId id = BuildLinked("Parts", "0,0");
    TableLink link;
    ASSERT_EQ(link.ReadLinkById(id), 1);
    link.m_strTable.Empty();
    link.m_strSQL = _T("SELECT * FROM Parts WHERE PartNo < 0");
    ASSERT_EQ(link.WriteLinkById(id), 1);
    const std::vector<CString> before = RowTexts(id, 3);

    host::QueueInput input({"ALL", ""});
    host::ScopedInput scope(input);
    CmdDbTableUpdate();
    EXPECT_EQ(RowTexts(id, 3), before);
    AcDbTable* table = nullptr;
    ASSERT_EQ(acdbOpenObject(table, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(table->numRows(), 7u);
    table->close();
    EXPECT_NE(m_output.find("returned no rows; the table keeps its contents"), std::string::npos)
        << m_output;
}

}  // namespace

namespace {

TEST_F(TableCreation, PropertiesCommandReadsTheLinkAndCancelChangesNothing) {
    const AcDbObjectId linked = BuildLinked("Parts", "0,0");
    MakeTable(2, 2, AcGePoint3d(500, 0, 0));  // a table without a link
    TableLink before;
    ASSERT_EQ(before.ReadLinkById(linked), 1);

    {
        host::QueueInput input({"501,-1"});
        host::ScopedInput scope(input);
        CmdDbTableProperties();
    }
    EXPECT_NE(m_output.find("\nFailed to read the information of the database table."),
              std::string::npos);

    m_output.clear();
    {
        host::QueueInput input({"1,-1", "@set 132 Equipment", "@set 123 SELECT 1", "@cancel"});
        host::ScopedInput scope(input);
        CmdDbTableProperties();
        ASSERT_FALSE(input.prompts.empty());
        EXPECT_NE(input.prompts[0].find("Please select a database table:"), std::string::npos);
    }
    TableLink after;
    ASSERT_EQ(after.ReadLinkById(linked), 1);
    EXPECT_EQ(after.m_strDatabase, before.m_strDatabase);
    EXPECT_EQ(after.m_strTable, before.m_strTable);
    EXPECT_EQ(after.m_strSQL, before.m_strSQL);
    EXPECT_EQ(host::ResourceStack().depth, 0u);  // the resource handle was popped again
}

}  // namespace

namespace {

TEST_F(TableCreation, DrawingDatabasesAreCollectedOncePerFile) {
    BuildLinked("Parts", "0,0");
    BuildLinked("Equipment", "200,0");
    FreeDatabases();
    g_dbList.CollectDrawingDatabases();
    ASSERT_EQ(g_dbList.GetSize(), 1);
    EXPECT_EQ(g_dbList[0]->m_strDatabase, Txt(QUARVEL_SAMPLE_DB));
    EXPECT_EQ(g_dbList[0]->m_tables.size(), 3u);  // Equipment, Parts and the view
    // The same file named through another spelling of its path is the same database.
    EXPECT_EQ(g_dbList.FindDatabase(Txt((std::string(QUARVEL_SAMPLE_DB) + "/../.").c_str())),
              nullptr);
    const std::string folder = std::filesystem::path(QUARVEL_SAMPLE_DB).parent_path().string();
    const std::string other =
        folder + "/./../sample/" + std::filesystem::path(QUARVEL_SAMPLE_DB).filename().string();
    EXPECT_EQ(g_dbList.FindDatabase(Txt(other.c_str())), g_dbList[0]);
    EXPECT_FALSE(
        g_dbList.AddDatabase(_T("SQLite3 ODBC Driver"), Txt(other.c_str()), _T("u"), _T("p")));
}

}  // namespace
