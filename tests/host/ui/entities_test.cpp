// The editor's selection and the host's entity commands on a real drawing database.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "../host_test.h"
#include "host/db/hostdb.h"
#include "platform/acdocman.h"
#include "platform/acedads.h"
#include "platform/acutads.h"
#include "platform/dbmain.h"
#include "platform/dbtable.h"

namespace {

class Entities : public HostTest {
protected:
    AcDbDatabase* Db() { return acdbCurDwg(); }

    AcDbObjectId Append(AcDbEntity* entity, AcDbObjectId block = AcDbObjectId()) {
        if (block.isNull())
            block = Db()->currentSpaceId();
        AcDbBlockTableRecord* record = nullptr;
        EXPECT_EQ(acdbOpenObject(record, block, AcDb::kForWrite), Acad::eOk);
        AcDbObjectId id;
        EXPECT_EQ(record->appendAcDbEntity(id, entity), Acad::eOk);
        entity->close();
        record->close();
        return id;
    }

    // A table with columns 10 wide and rows 4 high, its top-left corner at `at`.
    AcDbObjectId AddTable(int rows, int columns, AcGePoint3d at) {
        auto* table = new AcDbTable;
        table->setTableStyle(Db()->tablestyle());
        table->setNumRows(rows);
        table->setNumColumns(columns);
        for (int r = 0; r < rows; ++r)
            table->setRowHeight(r, 4);
        table->setColumnWidth(10);
        table->setPosition(at);
        return Append(table);
    }

    static std::string Handle(AcDbObjectId id) {
        char buf[20];
        id.handle().getIntoAsciiBuffer(buf);
        return buf;
    }

    // Runs interactive selection (acedSSGet without a mode) on queued answers.
    std::vector<AcDbObjectId> Select(const std::vector<std::string>& answers, int* rc = nullptr,
                                     const resbufA* filter = nullptr) {
        Feed(answers);
        ads_name ss;
        const int result =
            acedSSGet(static_cast<const char*>(nullptr), nullptr, nullptr, filter, ss);
        if (rc)
            *rc = result;
        std::vector<AcDbObjectId> ids;
        if (result != RTNORM)
            return ids;
        ids = host::SelectionSetIds(ss);
        acedSSFree(ss);
        return ids;
    }

    std::vector<std::string> CellTexts(AcDbObjectId id) {
        AcDbTable* table = nullptr;
        EXPECT_EQ(acdbOpenObject(table, id, AcDb::kForRead), Acad::eOk);
        std::vector<std::string> texts;
        for (std::uint32_t r = 0; r < table->numRows(); ++r)
            for (std::uint32_t c = 0; c < table->numColumns(); ++c)
                texts.push_back(table->textStringA(r, c).GetString());
        table->close();
        return texts;
    }
};

TEST_F(Entities, InteractiveSelectionTakesPicksLastAllAndWindows) {
    const AcDbObjectId a = AddTable(2, 2, {0, 0, 0});      // x 0..20, y -8..0
    const AcDbObjectId b = AddTable(1, 1, {100, 0, 0});    // x 100..110, y -4..0
    const AcDbObjectId c = AddTable(1, 1, {100, -50, 0});  // x 100..110, y -54..-50

    EXPECT_EQ(Select({"ALL", ""}), (std::vector<AcDbObjectId>{a, b, c}));
    EXPECT_EQ(Select({"L", ""}), (std::vector<AcDbObjectId>{c}));
    EXPECT_EQ(Select({"5,-3", ""}), (std::vector<AcDbObjectId>{a}));
    EXPECT_EQ(Select({"W 90,-60 120,-45", ""}), (std::vector<AcDbObjectId>{c}));
    // A window holds only what lies wholly inside; a crossing also what it touches.
    EXPECT_TRUE(Select({"W -1,-5 105,1", ""}).empty());
    EXPECT_EQ(Select({"C -1,-5 105,1", ""}), (std::vector<AcDbObjectId>{a, b}));
    EXPECT_EQ(Select({"W", "90,-60", "120,-45", ""}), (std::vector<AcDbObjectId>{c}));
    EXPECT_EQ(Select({"#" + Handle(b), ""}), (std::vector<AcDbObjectId>{b}));
    // Picks add up; a repeated pick counts once.
    EXPECT_EQ(Select({"105,-2", "5,-3", "105,-2", ""}), (std::vector<AcDbObjectId>{b, a}));
    EXPECT_NE(out.find("1 found (1 duplicate), 2 total"), std::string::npos) << out;

    int rc = 0;
    EXPECT_TRUE(Select({"ALL", "*Cancel*"}, &rc).empty());
    EXPECT_EQ(rc, RTCAN);
    EXPECT_TRUE(Select({"500,500", ""}, &rc).empty());  // nothing there: an empty set
    EXPECT_EQ(rc, RTERROR);
    EXPECT_FALSE(input.Failed());
    Select({"bogus"}, &rc);
    EXPECT_NE(rc, RTNORM);
    EXPECT_TRUE(input.Failed());
}

TEST_F(Entities, InteractiveSelectionAppliesTheFilter) {
    const AcDbObjectId table = AddTable(1, 1, {0, 0, 0});
    auto* ref = new AcDbBlockReference(AcGePoint3d(50, 50, 0), Db()->modelSpaceId());
    AcDbObjectId block;
    auto* def = new AcDbBlockTableRecord;
    def->setName("MARK");
    ASSERT_EQ(host::AddBlock(Db(), def, AcDbHandle(), &block), Acad::eOk);
    ref->setBlockTableRecord(block);
    const AcDbObjectId insert = Append(ref);
    resbufA* filter = acutBuildListT<char>(0, "ACAD_TABLE", 0);
    EXPECT_EQ(Select({"ALL", ""}, nullptr, filter), (std::vector<AcDbObjectId>{table}));
    // Last, handles and picks are filtered too.
    EXPECT_TRUE(Select({"L", "#" + Handle(insert), "50,50", ""}, nullptr, filter).empty());
    EXPECT_EQ(Select({"L", "#" + Handle(table), ""}, nullptr, filter),
              (std::vector<AcDbObjectId>{table}));
    acutRelRbT(filter);
}

TEST_F(Entities, EntSelTakesAPointAHandleOrLast) {
    const AcDbObjectId a = AddTable(2, 2, {0, 0, 0});
    const AcDbObjectId b = AddTable(1, 1, {100, 0, 0});
    Feed({"15,-6", "#" + Handle(a) + " 1,-1", "#" + Handle(b), "L", "300,300", "#FFFF", "junk"});
    ads_name name;
    ads_point picked;
    AcDbObjectId id;
    ASSERT_EQ(acedEntSel("\nSelect table: ", name, picked), RTNORM);
    ASSERT_EQ(acdbGetObjectId(id, name), Acad::eOk);
    EXPECT_EQ(id, a);
    EXPECT_DOUBLE_EQ(picked[0], 15);
    ASSERT_EQ(acedEntSel(u"\nSelect table: ", name, picked), RTNORM);
    acdbGetObjectId(id, name);
    EXPECT_EQ(id, a);
    EXPECT_DOUBLE_EQ(picked[1], -1);  // the point given after the handle
    ASSERT_EQ(acedEntSel("\nSelect table: ", name, picked), RTNORM);
    acdbGetObjectId(id, name);
    EXPECT_EQ(id, b);
    EXPECT_DOUBLE_EQ(picked[0], 105);  // the centre of its extents
    ASSERT_EQ(acedEntSel("\nSelect table: ", name, picked), RTNORM);
    acdbGetObjectId(id, name);
    EXPECT_EQ(id, b);
    EXPECT_EQ(acedEntSel("\nSelect table: ", name, picked), RTERROR);  // nothing there
    EXPECT_EQ(acedEntSel("\nSelect table: ", name, picked), RTERROR);  // no such handle
    EXPECT_FALSE(input.Failed());
    EXPECT_EQ(acedEntSel("\nSelect table: ", name, picked), RTERROR);  // not an answer
    EXPECT_TRUE(input.Failed());
}

// Remembers the points the drag preview was given.
std::vector<double> g_samples;
int Sample(ads_point point, ads_matrix matrix) {
    g_samples.push_back(point[0]);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            matrix[r][c] = r == c ? 1 : 0;
    return RTNORM;
}

TEST_F(Entities, DragReadsThePointAndShowsThePreview) {
    const AcDbObjectId a = AddTable(1, 1, {0, 0, 0});
    ads_name entity, ss;
    ASSERT_EQ(acdbGetAdsName(entity, a), Acad::eOk);
    ASSERT_EQ(acedSSAdd(entity, nullptr, ss), RTNORM);
    Feed({"30,40", "*Cancel*"});
    ads_point to;
    g_samples.clear();
    EXPECT_EQ(acedDragGen(ss, "\nSpecify insertion point: ", 0, Sample, to), RTNORM);
    EXPECT_DOUBLE_EQ(to[0], 30);
    EXPECT_DOUBLE_EQ(to[1], 40);
    EXPECT_EQ(g_samples, std::vector<double>{30});
    EXPECT_EQ(acedDragGen(ss, u"\nSpecify insertion point: ", 0, nullptr, to), RTCAN);
    acedSSFree(ss);
    // The drag itself moves nothing.
    AcDbTable* table = nullptr;
    ASSERT_EQ(acdbOpenObject(table, a, AcDb::kForRead), Acad::eOk);
    EXPECT_DOUBLE_EQ(table->position().x, 0);
    table->close();
}

TEST_F(Entities, TableCommandsMakeEditAndExport) {
    ASSERT_TRUE(RunScript({"-TABLE", "3", "2", "10,20", "TABLEEDIT", "11,19", "Name", "TABLEEDIT",
                           "35,19", "Say \"hi\", ok", "TABLEEDIT", "55,15", "x"}))
        << errors;
    const AcDbObjectId id = host::LastEntity(Db());
    AcDbTable* table = nullptr;
    ASSERT_EQ(acdbOpenObject(table, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(table->numRows(), 2u);
    EXPECT_EQ(table->numColumns(), 3u);
    EXPECT_EQ(table->position(), AcGePoint3d(10, 20, 0));
    EXPECT_DOUBLE_EQ(table->rowHeight(0), 2.5 + 2 * 0.6);  // the Standard style
    EXPECT_EQ(table->tableStyle(), Db()->tablestyle());
    table->close();
    EXPECT_EQ(CellTexts(id), (std::vector<std::string>{"Name", "Say \"hi\", ok", "", "", "", "x"}));

    out.clear();
    ASSERT_TRUE(RunScript({"TABLEEXPORT", "L", "", "-"}));
    EXPECT_NE(out.find("\nName,\"Say \"\"hi\"\", ok\",\n,,x"), std::string::npos) << out;

    const std::string path = testing::TempDir() + "hostui_export.csv";
    ASSERT_TRUE(RunScript({"TABLEEXPORT", "L", "", path}));
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_EQ(text.str(), "Name,\"Say \"\"hi\"\", ok\",\r\n,,x\r\n");
    std::remove(path.c_str());

    // Not a table, not writable.
    ASSERT_TRUE(RunScript({"INSERT", "Door", "200,200"}));
    EXPECT_FALSE(RunScript({"TABLEEXPORT", "L", "", "-"}));
    EXPECT_NE(errors.find("TABLEEXPORT: no table selected"), std::string::npos) << errors;
    errors.clear();
    ASSERT_TRUE(RunScript({"-TABLE", "1", "1", "300,300"}));
    EXPECT_FALSE(RunScript({"TABLEEXPORT", "ALL", "", "-"}));
    EXPECT_NE(errors.find("2 tables selected; select one"), std::string::npos) << errors;
    errors.clear();
    EXPECT_FALSE(RunScript({"TABLEEXPORT", "11,19", "", "/nonexistent/dir/x.csv"}));
    EXPECT_NE(errors.find("cannot write /nonexistent/dir/x.csv"), std::string::npos) << errors;
}

TEST_F(Entities, CopyCarriesExtendedDataAndEraseRemoves) {
    const AcDbObjectId original = AddTable(1, 2, {0, 0, 0});
    ASSERT_EQ(acdbRegApp("QUARV_LINK"), RTNORM);
    {
        AcDbObject* object = nullptr;
        ASSERT_EQ(acdbOpenAcDbObject(object, original, AcDb::kForWrite), Acad::eOk);
        resbufA* chain = acutBuildListT<char>(1001, "QUARV_LINK", 1000, "orders.mdb", 1070, 3, 0);
        EXPECT_EQ(object->setXData(chain), Acad::eOk);
        acutRelRbT(chain);
        object->close();
    }
    ASSERT_TRUE(RunScript({"COPY", "L", "", "0,0", "0,-30"})) << errors;
    const AcDbObjectId copy = host::LastEntity(Db());
    ASSERT_NE(copy, original);
    AcDbTable* table = nullptr;
    ASSERT_EQ(acdbOpenObject(table, copy, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(table->position(), AcGePoint3d(0, -30, 0));
    resbufA* data = table->xData("QUARV_LINK");
    table->close();
    ASSERT_NE(data, nullptr);
    ASSERT_NE(data->rbnext, nullptr);
    EXPECT_STREQ(data->rbnext->resval.rstring, "orders.mdb");
    acutRelRbT(data);

    out.clear();
    ASSERT_TRUE(RunScript({"XDLIST", "#" + Handle(copy), ""}));
    EXPECT_NE(out.find("Extended data of ACAD_TABLE " + Handle(copy) +
                       ":\n  1001  QUARV_LINK"
                       "\n  1000  orders.mdb\n  1070  3"),
              std::string::npos)
        << out;

    ASSERT_TRUE(RunScript({"ERASE", "#" + Handle(original), ""}));
    EXPECT_TRUE(original.isErased());
    EXPECT_FALSE(copy.isErased());
    EXPECT_FALSE(RunScript({"ERASE", ""}));
    EXPECT_NE(errors.find("ERASE: nothing selected"), std::string::npos);
}

TEST_F(Entities, InsertMakesTheBlockOnceAndListShowsIt) {
    ASSERT_TRUE(RunScript({"INSERT", "Door", "5,5", "INSERT", "door", "15,5"})) << errors;
    const AcDbObjectId block = host::FindBlock(Db(), "Door");
    ASSERT_FALSE(block.isNull());
    EXPECT_EQ(host::EntitiesOf(Db(), block).size(), 0u);  // an empty definition
    const std::vector<AcDbObjectId> spaceEntities = host::EntitiesOf(Db(), Db()->modelSpaceId());
    ASSERT_EQ(spaceEntities.size(), 2u);
    for (const AcDbObjectId& id : spaceEntities) {
        AcDbBlockReference* ref = nullptr;
        ASSERT_EQ(acdbOpenObject(ref, id, AcDb::kForRead), Acad::eOk);
        EXPECT_EQ(ref->blockTableRecord(), block);
        ref->close();
    }
    out.clear();
    ASSERT_TRUE(RunScript({"LIST", "L", ""}));
    EXPECT_NE(out.find("INSERT  Handle: " + Handle(spaceEntities[1]) +
                       "  Space: Model space  Layer: 0\n  Block: Door\n  Position: "
                       "15.0000,5.0000,0.0000"),
              std::string::npos)
        << out;
    EXPECT_FALSE(RunScript({"INSERT", "*Model_Space", "0,0"}));
}

TEST_F(Entities, ModelAndLayoutSwitchTheCurrentSpace) {
    ASSERT_TRUE(RunScript({"LAYOUT", "-TABLE", "1", "1", "0,0"}));
    EXPECT_EQ(Db()->currentSpaceId(), Db()->paperSpaceId());
    const AcDbObjectId paperTable = host::LastEntity(Db());
    ASSERT_TRUE(RunScript({"MODEL", "-TABLE", "1", "1", "0,0"}));
    EXPECT_EQ(Db()->currentSpaceId(), Db()->modelSpaceId());
    out.clear();
    ASSERT_TRUE(RunScript({"LIST", "ALL", ""}));
    EXPECT_NE(out.find("ACAD_TABLE  Handle: " + Handle(paperTable) + "  Space: Paper space"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Space: Model space"), std::string::npos);
}

TEST_F(Entities, TableCommandRefusesBadSizes) {
    EXPECT_FALSE(RunScript({"-TABLE", "0"}));
    EXPECT_NE(errors.find("Requires a whole number"), std::string::npos);
    EXPECT_TRUE(host::LastEntity(Db()).isNull());
    EXPECT_TRUE(RunScript({"-TABLE", "2", "*Cancel*"}));  // a cancel is no failure
    EXPECT_TRUE(host::LastEntity(Db()).isNull());
}

}  // namespace
