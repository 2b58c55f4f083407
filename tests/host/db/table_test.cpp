// Table entities: sizes, texts that move with inserted and deleted rows and columns, merged
// ranges, the hit test on the real geometry (also after moving and turning the table) and
// extents.
#include <cmath>
#include <numbers>

#include "fixture.h"
#include "host/db/cell_store.h"

namespace {

class Table : public DrawingTest {
protected:
    // An open-for-write table with cell (r, c) holding "rRcC".
    AcDbTable* Filled(int rows, int columns) {
        id = AddTable(rows, columns);
        AcDbTable* t = nullptr;
        EXPECT_EQ(acdbOpenObject(t, id, AcDb::kForWrite), Acad::eOk);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c)
                t->setTextString(r, c, ("r" + std::to_string(r) + "c" + std::to_string(c)).c_str());
        return t;
    }
    static std::vector<std::string> Column(const AcDbTable* t, int c) {
        std::vector<std::string> out;
        for (int r = 0; r < static_cast<int>(t->numRows()); ++r)
            out.emplace_back(t->textStringA(r, c).GetString());
        return out;
    }
    static std::vector<std::string> Row(const AcDbTable* t, int r) {
        std::vector<std::string> out;
        for (int c = 0; c < static_cast<int>(t->numColumns()); ++c)
            out.emplace_back(t->textStringA(r, c).GetString());
        return out;
    }
    AcDbObjectId id;
};

TEST_F(Table, NewTableTakesSizesFromStandardStyle) {
    auto* t = new AcDbTable;
    t->setTableStyle(db->tablestyle());
    ASSERT_EQ(t->setNumRows(3), Acad::eOk);
    ASSERT_EQ(t->setNumColumns(2), Acad::eOk);
    EXPECT_DOUBLE_EQ(t->rowHeight(2), 2.5 + 2 * 0.6);
    EXPECT_GT(t->columnWidth(1), 0);
    EXPECT_EQ(t->direction(), AcGeVector3d(1, 0, 0));
    EXPECT_EQ(t->normal(), AcGeVector3d(0, 0, 1));
    EXPECT_EQ(t->setNumRows(0), Acad::eInvalidInput);
    delete t;
}

TEST_F(Table, InsertRowsShiftsTextsDown) {
    AcDbTable* t = Filled(4, 2);
    ASSERT_EQ(t->insertRows(2, 5.0, 2), Acad::eOk);
    EXPECT_EQ(Column(t, 0), (std::vector<std::string>{"r0c0", "r1c0", "", "", "r2c0", "r3c0"}));
    EXPECT_EQ(Column(t, 1)[5], "r3c1");
    EXPECT_DOUBLE_EQ(t->rowHeight(2), 5.0);
    EXPECT_DOUBLE_EQ(t->rowHeight(4), 4.0);
    // Appending after the last row is allowed.
    ASSERT_EQ(t->insertRows(6, 1.0), Acad::eOk);
    EXPECT_EQ(t->numRows(), 7u);
    t->close();
}

TEST_F(Table, GrowingAtLastRowKeepsItsTextAtTheEnd) {
    // Four rows, four more inserted at index 3 with the height of row 3: eight rows.
    AcDbTable* t = Filled(4, 1);
    ASSERT_EQ(t->insertRows(3, t->rowHeight(3), 4), Acad::eOk);
    EXPECT_EQ(t->numRows(), 8u);
    EXPECT_EQ(Column(t, 0),
              (std::vector<std::string>{"r0c0", "r1c0", "r2c0", "", "", "", "", "r3c0"}));
    t->close();
}

TEST_F(Table, DeleteRowsShiftsTextsUp) {
    AcDbTable* t = Filled(10, 1);
    ASSERT_EQ(t->deleteRows(7, 3), Acad::eOk);
    EXPECT_EQ(t->numRows(), 7u);
    ASSERT_EQ(t->deleteRows(1, 2), Acad::eOk);
    EXPECT_EQ(Column(t, 0), (std::vector<std::string>{"r0c0", "r3c0", "r4c0", "r5c0", "r6c0"}));
    t->close();
}

TEST_F(Table, InsertAndDeleteColumnsShiftTextsAcross) {
    AcDbTable* t = Filled(2, 3);
    ASSERT_EQ(t->insertColumns(2, 7.5, 2), Acad::eOk);
    EXPECT_EQ(Row(t, 1), (std::vector<std::string>{"r1c0", "r1c1", "", "", "r1c2"}));
    EXPECT_DOUBLE_EQ(t->columnWidth(3), 7.5);
    EXPECT_DOUBLE_EQ(t->width(), 10 + 10 + 7.5 + 7.5 + 10);
    ASSERT_EQ(t->deleteColumns(0, 2), Acad::eOk);
    EXPECT_EQ(Row(t, 0), (std::vector<std::string>{"", "", "r0c2"}));
    ASSERT_EQ(t->setNumColumns(4), Acad::eOk);  // grows with the last column's width
    EXPECT_DOUBLE_EQ(t->columnWidth(3), 10);
    EXPECT_EQ(Row(t, 0), (std::vector<std::string>{"", "", "r0c2", ""}));
    ASSERT_EQ(t->setNumRows(1), Acad::eOk);
    EXPECT_EQ(t->numRows(), 1u);
    t->close();
}

struct BadCall {
    const char* name;
    Acad::ErrorStatus (*call)(AcDbTable*);
};

TEST_F(Table, OutOfRangeCallsAreRefusedAndChangeNothing) {
    const BadCall calls[] = {
        {"InsertRowPastEnd", [](AcDbTable* t) { return t->insertRows(4, 1.0); }},
        {"InsertRowNegative", [](AcDbTable* t) { return t->insertRows(-1, 1.0); }},
        {"InsertZeroRows", [](AcDbTable* t) { return t->insertRows(0, 1.0, 0); }},
        {"InsertRowZeroHeight", [](AcDbTable* t) { return t->insertRows(0, 0.0); }},
        {"DeleteRowPastEnd", [](AcDbTable* t) { return t->deleteRows(3, 2); }},
        {"DeleteEveryRow", [](AcDbTable* t) { return t->deleteRows(0, 3); }},
        {"InsertColumnPastEnd", [](AcDbTable* t) { return t->insertColumns(3, 1.0); }},
        {"DeleteColumnPastEnd", [](AcDbTable* t) { return t->deleteColumns(2, 1); }},
        {"TextOutside", [](AcDbTable* t) { return t->setTextString(3, 0, "x"); }},
        {"TextOutsideWide", [](AcDbTable* t) { return t->setTextString(0, -1, u"x"); }},
        {"RowHeightOutside", [](AcDbTable* t) { return t->setRowHeight(3, 1.0); }},
        {"NegativeWidth", [](AcDbTable* t) { return t->setColumnWidth(0, -1.0); }},
        {"MergeOutside", [](AcDbTable* t) { return t->mergeCells(0, 3, 0, 1); }},
        {"MergeOneCell", [](AcDbTable* t) { return t->mergeCells(1, 1, 1, 1); }},
        {"UnmergeOutside", [](AcDbTable* t) { return t->unmergeCells(0, 0, 0, 2); }},
    };
    AcDbTable* t = Filled(3, 2);
    for (const BadCall& c : calls) {
        EXPECT_EQ(c.call(t), Acad::eInvalidInput) << c.name;
        EXPECT_EQ(t->numRows(), 3u) << c.name;
        EXPECT_EQ(t->numColumns(), 2u) << c.name;
        EXPECT_EQ(Column(t, 1), (std::vector<std::string>{"r0c1", "r1c1", "r2c1"})) << c.name;
    }
    EXPECT_EQ(t->textStringA(5, 5), "");
    t->close();
}

TEST_F(Table, TextsAreUtf8InsideForBothWidths) {
    AcDbTable* t = Filled(1, 2);
    ASSERT_EQ(t->setTextString(0, 0, u"Umsätze €"), Acad::eOk);
    EXPECT_STREQ(t->textStringA(0, 0), "Umsätze €");
    ASSERT_EQ(t->setTextString(0, 1, "Größe"), Acad::eOk);
    EXPECT_EQ(std::u16string(t->textStringW(0, 1).GetString()), u"Größe");
    t->close();
}

TEST_F(Table, MergeAndUnmerge) {
    AcDbTable* t = Filled(4, 3);
    ASSERT_EQ(t->mergeCells(0, 0, 0, 2), Acad::eOk);
    int minRow = -1, maxRow = -1, minColumn = -1, maxColumn = -1;
    EXPECT_TRUE(t->isMergedCell(0, 1, &minRow, &maxRow, &minColumn, &maxColumn));
    EXPECT_EQ(std::vector<int>({minRow, maxRow, minColumn, maxColumn}),
              std::vector<int>({0, 0, 0, 2}));
    EXPECT_EQ(t->mergeCells(0, 1, 1, 2), Acad::eInvalidInput);  // overlaps
    ASSERT_EQ(t->mergeCells(2, 3, 1, 2), Acad::eOk);
    // Rows inserted above move a range; a row inserted inside it widens it.
    ASSERT_EQ(t->insertRows(1, 4.0), Acad::eOk);
    EXPECT_TRUE(t->isMergedCell(4, 2, &minRow, &maxRow));
    EXPECT_EQ(minRow, 3);
    EXPECT_EQ(maxRow, 4);
    ASSERT_EQ(t->insertRows(4, 4.0), Acad::eOk);
    EXPECT_TRUE(t->isMergedCell(5, 2, &minRow, &maxRow));
    EXPECT_EQ(maxRow, 5);
    ASSERT_EQ(t->unmergeCells(0, 0, 0, 2), Acad::eOk);
    EXPECT_FALSE(t->isMergedCell(0, 1));
    EXPECT_TRUE(t->isMergedCell(3, 1));
    ASSERT_EQ(t->unmergeCells(0, 0, 0, 2), Acad::eOk);  // nothing merged there: fine
    ASSERT_EQ(t->deleteRows(3, 3), Acad::eOk);          // removes the whole range
    EXPECT_FALSE(t->isMergedCell(3, 1));
    t->close();
}

struct Hit {
    const char* name;
    AcGePoint3d point;
    double xAperture, yAperture;
    bool hit;
    int row, column;
};

// Checks hits on a table of 3 rows (4 high) and 2 columns (10 wide).
void ExpectHits(const AcDbTable* t, const std::vector<Hit>& hits) {
    for (const Hit& h : hits) {
        int row = -1, column = -1;
        EXPECT_EQ(t->hitTest(h.point, AcGeVector3d::kZAxis, h.xAperture, h.yAperture, row, column),
                  h.hit)
            << h.name;
        if (h.hit) {
            EXPECT_EQ(row, h.row) << h.name;
            EXPECT_EQ(column, h.column) << h.name;
        }
    }
}

TEST_F(Table, HitTestFindsCellsBelowThePosition) {
    id = AddTable(3, 2, AcGePoint3d(10, 20, 0));
    AcDbTable* t = nullptr;
    ASSERT_EQ(acdbOpenObject(t, id, AcDb::kForRead), Acad::eOk);
    ExpectHits(t, {
                      {"FirstCell", {11, 19, 0}, 0, 0, true, 0, 0},
                      {"LastCell", {29, 9, 0}, 0, 0, true, 2, 1},
                      {"MiddleRow", {15, 14, 0}, 0, 0, true, 1, 0},
                      {"AboveTable", {15, 21, 0}, 0, 0, false, 0, 0},
                      {"AboveWithinAperture", {15, 20.5, 0}, 0, 1, true, 0, 0},
                      {"RightOfTable", {31, 15, 0}, 0, 0, false, 0, 0},
                      {"RightWithinAperture", {31, 15, 0}, 1.5, 0, true, 1, 1},
                      {"BelowTable", {15, 7, 0}, 0, 0, false, 0, 0},
                      {"LeftOfTable", {9, 15, 0}, 0.5, 0.5, false, 0, 0},
                      {"OffThePlane", {11, 19, 50}, 0, 0, true, 0, 0},
                  });
    t->close();
}

TEST_F(Table, HitTestFollowsTheMovedAndTurnedTable) {
    id = AddTable(3, 2, AcGePoint3d(10, 20, 0));
    AcDbTable* t = nullptr;
    ASSERT_EQ(acdbOpenObject(t, id, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(t->transformBy(AcGeMatrix3d::translation(AcGeVector3d(100, -50, 0))), Acad::eOk);
    EXPECT_EQ(t->position(), AcGePoint3d(110, -30, 0));
    ExpectHits(t, {
                      {"OldPlace", {11, 19, 0}, 0, 0, false, 0, 0},
                      {"NewPlace", {111, -31, 0}, 0, 0, true, 0, 0},
                      {"NewLastCell", {129, -41, 0}, 0, 0, true, 2, 1},
                  });
    // A quarter turn about the position: columns run up +Y, rows toward +X.
    ASSERT_EQ(t->transformBy(AcGeMatrix3d::rotation(std::numbers::pi / 2, AcGeVector3d::kZAxis,
                                                    AcGePoint3d(110, -30, 0))),
              Acad::eOk);
    EXPECT_NEAR(t->direction().y, 1.0, 1e-12);
    EXPECT_NEAR(t->normal().z, 1.0, 1e-12);
    ExpectHits(t, {
                      {"TurnedFirstCell", {111, -29, 0}, 0, 0, true, 0, 0},
                      {"TurnedSecondColumn", {111, -15, 0}, 0, 0, true, 0, 1},
                      {"TurnedLastRow", {121, -29, 0}, 0, 0, true, 2, 0},
                      {"TurnedOldDirection", {115, -31, 0}, 0, 0, false, 0, 0},
                  });
    AcGePoint3d lo, hi;
    ASSERT_EQ(t->getGeomExtents(lo, hi), Acad::eOk);
    EXPECT_NEAR(lo.x, 110, 1e-9);
    EXPECT_NEAR(hi.x, 122, 1e-9);
    EXPECT_NEAR(lo.y, -30, 1e-9);
    EXPECT_NEAR(hi.y, -10, 1e-9);
    EXPECT_EQ(t->transformBy(AcGeMatrix3d::scaling(2.0)), Acad::eOk);
    EXPECT_DOUBLE_EQ(t->height(), 24);
    t->close();
}

TEST_F(Table, TableSeenFromBelowRunsItsRowsTheOtherWay) {
    id = AddTable(3, 2);
    AcDbTable* t = nullptr;
    ASSERT_EQ(acdbOpenObject(t, id, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(host::SetTableNormal(t, AcGeVector3d(0, 0, -2)), Acad::eOk);
    EXPECT_EQ(t->normal(), AcGeVector3d(0, 0, -1));
    EXPECT_EQ(host::SetTableNormal(t, AcGeVector3d()), Acad::eInvalidInput);
    ExpectHits(t, {{"BelowTheOrigin", {5, -2, 0}, 0, 0, false, 0, 0},
                   {"AboveTheOrigin", {5, 9, 0}, 0, 0, true, 2, 0}});
    t->close();
    ASSERT_EQ(acdbOpenObject(t, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(host::SetTableNormal(t, AcGeVector3d::kZAxis), Acad::eNotOpenForWrite);
    t->close();
}

TEST_F(Table, HitOnMergedRangeAnswersItsFirstCell) {
    id = AddTable(3, 2);
    AcDbTable* t = nullptr;
    ASSERT_EQ(acdbOpenObject(t, id, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(t->mergeCells(1, 2, 0, 1), Acad::eOk);
    ExpectHits(t, {{"InsideMerged", {15, -10, 0}, 0, 0, true, 1, 0}});
    t->close();
}

TEST_F(Table, EmptyTableHasNoExtentsAndIsNeverHit) {
    AcDbTable t;
    AcGePoint3d lo, hi;
    EXPECT_EQ(t.getGeomExtents(lo, hi), Acad::eInvalidExtents);
    int row = 0, column = 0;
    EXPECT_FALSE(t.hitTest(AcGePoint3d(), AcGeVector3d::kZAxis, 1, 1, row, column));
}

TEST_F(Table, StyleValuesAreChecked) {
    AcDbTableStyle style;
    EXPECT_EQ(style.setTextHeight(0.0), Acad::eInvalidInput);
    EXPECT_EQ(style.setTextHeight(3.0, AcDb::kTitleRow | AcDb::kHeaderRow), Acad::eOk);
    EXPECT_DOUBLE_EQ(style.textHeight(AcDb::kHeaderRow), 3.0);
    EXPECT_DOUBLE_EQ(style.textHeight(AcDb::kDataRow), 2.5);
    EXPECT_EQ(style.setHorzCellMargin(-1), Acad::eInvalidInput);
    char16_t* name = nullptr;
    ASSERT_EQ(style.getName(name), Acad::eOk);
    EXPECT_EQ(std::u16string(name), u"");
    delete[] name;
}

}  // namespace

namespace {

TEST(CellStore, KeepsTextsThroughOverwritesCompactionAndLargeTexts) {
    host::CellStore cells;
    cells.Assign(6);
    const std::string large(100000, 'L');  // more than a block
    ASSERT_TRUE(cells.Set(0, "alpha"));
    ASSERT_TRUE(cells.Set(1, large));
    ASSERT_TRUE(cells.Set(2, "beta"));
    ASSERT_TRUE(cells.Set(0, "al"));  // in place
    EXPECT_EQ(cells.Get(0), "al");
    EXPECT_EQ(cells.Get(1), large);
    // A text taken from the store itself.
    ASSERT_TRUE(cells.Set(3, cells.Get(2)));
    EXPECT_EQ(cells.Get(3), "beta");
    // Many overwrites with growing texts: the dead bytes are reclaimed along the way.
    std::string grow;
    for (int i = 0; i < 5000; ++i) {
        grow += static_cast<char>('a' + i % 26);
        ASSERT_TRUE(cells.Set(4, grow));
    }
    EXPECT_EQ(cells.Get(4), grow);
    EXPECT_EQ(cells.Get(2), "beta");
    EXPECT_EQ(cells.Get(1), large);
    host::CellStore copy = cells;
    ASSERT_TRUE(cells.Set(1, ""));
    EXPECT_EQ(copy.Get(1), large);
    EXPECT_EQ(cells.Get(1), "");
    cells.InsertColumns(2, 3, 1, 1);  // 2 x 3 becomes 2 x 4
    EXPECT_EQ(cells.size(), 8u);
    EXPECT_EQ(cells.Get(0), "al");
    EXPECT_EQ(cells.Get(1), "");
    EXPECT_EQ(cells.Get(3), "beta");
    EXPECT_EQ(cells.Get(4), "beta");
    EXPECT_EQ(cells.Get(6), grow);
    cells.EraseColumns(2, 4, 0, 2);
    EXPECT_EQ(cells.size(), 4u);
    EXPECT_EQ(cells.Get(1), "beta");
    EXPECT_EQ(cells.Get(2), grow);
    cells.Erase(0, 2);
    EXPECT_EQ(cells.Get(0), grow);
}

// Copies of stores in every state: equal to the original, independent of it, and still
// writable (in place and at the end). A store with little dead text is copied block by block,
// one with much dead text packed anew.
struct CopyCase {
    const char* name;
    int overwrites;  // texts written over cell 0 before the copy, each longer than the last
    bool large;      // cell 1 holds a text longer than a block
};

class CellStoreCopy : public ::testing::TestWithParam<CopyCase> {};

TEST_P(CellStoreCopy, CopyEqualsTheOriginalAndLivesOnItsOwn) {
    host::CellStore cells;
    for (int i = 0; i < 3000; ++i)
        ASSERT_TRUE(cells.PushBack(i % 7 == 0 ? std::string() : "cell " + std::to_string(i)));
    std::string grow;
    for (int i = 0; i < GetParam().overwrites; ++i) {
        grow += static_cast<char>('a' + i % 26);
        ASSERT_TRUE(cells.Set(0, grow));
    }
    const std::string large(70000, 'L');
    if (GetParam().large) {
        ASSERT_TRUE(cells.Set(1, large));
    }
    host::CellStore copy;
    copy = cells;
    ASSERT_EQ(copy.size(), cells.size());
    for (std::size_t i = 0; i < cells.size(); ++i)
        ASSERT_EQ(copy.Get(i), cells.Get(i)) << i;
    ASSERT_TRUE(copy.Set(2, "x"));            // in place
    ASSERT_TRUE(copy.Set(3, grow + "more"));  // at the end
    ASSERT_TRUE(copy.PushBack("last"));
    EXPECT_EQ(copy.Get(2), "x");
    EXPECT_EQ(copy.Get(3), grow + "more");
    EXPECT_EQ(copy.Get(cells.size()), "last");
    EXPECT_EQ(cells.Get(2), "cell 2");
    EXPECT_EQ(cells.Get(3), "cell 3");
    EXPECT_EQ(cells.Get(1), GetParam().large ? large : std::string("cell 1"));
    EXPECT_EQ(copy.Get(1), cells.Get(1));
    EXPECT_EQ(copy.Get(0), grow);
    for (std::size_t i = 4; i < cells.size(); ++i)
        ASSERT_EQ(copy.Get(i), cells.Get(i)) << i;
}

INSTANTIATE_TEST_SUITE_P(Cases, CellStoreCopy,
                         ::testing::Values(CopyCase{"fresh", 0, false},
                                           CopyCase{"little_dead", 20, false},
                                           CopyCase{"much_dead", 300, false},
                                           CopyCase{"compacted_on_the_way", 3000, false},
                                           CopyCase{"with_large_text", 20, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
