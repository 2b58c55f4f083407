// Filling existing tables from a start cell: rows and columns grow and shrink with the block.
#include "host/ui/input_source.h"
#include "module_fixture.h"
#include "tables/BuildTable.h"

namespace {

CellGrid Grid(int rows, int columns) {
    CellGrid grid;
    grid.Init(rows, columns);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            CString text;
            text.Format(_T("g%d.%d"), r, c);
            grid.SetCell(r, c, text);
        }
    }
    return grid;
}

TEST(CellGridTest, CellsOutsideTheGridAreRefused) {
    CellGrid grid;
    grid.Init(2, 3);
    EXPECT_TRUE(grid.SetCell(1, 2, _T("x")));
    EXPECT_FALSE(grid.SetCell(2, 0, _T("y")));
    EXPECT_FALSE(grid.SetCell(0, -1, _T("y")));
    EXPECT_EQ(grid.GetCell(1, 2), CString(_T("x")));
    EXPECT_TRUE(grid.GetCell(5, 5).IsEmpty());
    EXPECT_EQ(grid.m_cells.size(), 6u);
}

class FillExisting : public DrawingTest {
protected:
    struct Size {
        unsigned rows, columns;
    };
    Size Fill(AcDbObjectId id, const CellGrid& grid, int startRow, int startCol) {
        TableLink link;
        link.m_nStartRow = startRow;
        link.m_nStartCol = startCol;
        AcDbTable* table = nullptr;
        EXPECT_EQ(acdbOpenObject(table, id, AcDb::kForWrite), Acad::eOk);
        EXPECT_EQ(BuildTable(grid, link, table), 1);
        Size size{table->numRows(), table->numColumns()};
        table->close();
        return size;
    }
};

TEST_F(FillExisting, RowsFollowTheBlock) {
    struct Case {
        int tableRows, startRow, gridRows;
        unsigned wantRows;
    };
    const Case cases[] = {
        {10, 2, 5, 7}, {10, 5, 2, 7}, {4, 3, 5, 8}, {3, 0, 3, 3}, {2, 4, 2, 6},
    };
    for (const Case& c : cases) {
        const AcDbObjectId id = MakeTable(c.tableRows, 2);
        const Size size = Fill(id, Grid(c.gridRows, 2), c.startRow, 0);
        EXPECT_EQ(size.rows, c.wantRows) << c.tableRows << " rows from " << c.startRow;
        // Rows above the block are untouched; the block holds the grid.
        for (int r = 0; r < std::min(c.startRow, c.tableRows); ++r) {
            CString want;
            want.Format(_T("%d,0"), r);
            EXPECT_EQ(RowTexts(id, r)[0], want);
        }
        for (int i = 0; i < c.gridRows; ++i) {
            CString want;
            want.Format(_T("g%d.1"), i);
            EXPECT_EQ(RowTexts(id, c.startRow + i)[1], want);
        }
    }
}

TEST_F(FillExisting, ColumnsGrowButNeverShrink) {
    struct Case {
        int tableColumns, startCol, gridColumns;
        unsigned wantColumns;
    };
    const Case cases[] = {
        {3, 1, 4, 5},  // two columns added
        {6, 0, 2, 6},  // far columns kept
        {2, 4, 2, 6},  // the block starts beyond the last column: the table still grows
    };
    for (const Case& c : cases) {
        const AcDbObjectId id = MakeTable(2, c.tableColumns);
        const Size size = Fill(id, Grid(2, c.gridColumns), 0, c.startCol);
        EXPECT_EQ(size.columns, c.wantColumns);
        const std::vector<CString> row = RowTexts(id, 1);
        for (int j = 0; j < c.gridColumns; ++j) {
            CString want;
            want.Format(_T("g1.%d"), j);
            EXPECT_EQ(row.at(c.startCol + j), want);
        }
        // Columns left of the block keep their texts.
        for (int j = 0; j < std::min(c.startCol, c.tableColumns); ++j) {
            CString want;
            want.Format(_T("1,%d"), j);
            EXPECT_EQ(row.at(j), want);
        }
        if (c.tableColumns > c.startCol + c.gridColumns) {
            CString want;
            want.Format(_T("1,%d"), c.tableColumns - 1);
            EXPECT_EQ(row.back(), want);
        }
    }
}

}  // namespace

namespace {

class StartCellPick : public DrawingTest {
protected:
    struct Pick {
        int success;
        AcDbObjectId table;
        int row, column;
    };
    Pick PickAt(const char* answer) {
        host::QueueInput input({answer});
        host::ScopedInput scope(input);
        Pick p{};
        p.success = PickStartCell(p.table, p.row, p.column);
        return p;
    }
};

TEST_F(StartCellPick, FindsTheCellUnderThePoint) {
    // Rows are 3.7 high and run toward negative Y from the position; columns 25 wide.
    const AcDbObjectId id = MakeTable(4, 3, AcGePoint3d(100, 50, 0));
    const Pick p = PickAt("130,42");
    EXPECT_EQ(p.success, 1);
    EXPECT_EQ(p.table, id);
    EXPECT_EQ(p.row, 2);
    EXPECT_EQ(p.column, 1);

    const Pick miss = PickAt("0,0");
    EXPECT_EQ(miss.success, 1);
    EXPECT_TRUE(miss.table.isNull());
    EXPECT_EQ(PickAt("*Cancel*").success, 0);
}

TEST_F(StartCellPick, EmptyDrawingGivesNoPick) {
    EXPECT_EQ(PickAt("1,1").success, 0);
}

TEST_F(StartCellPick, FirstTableInDrawingOrderWinsAndOnlyTheCurrentSpaceCounts) {
    const AcDbObjectId paper = [&] {
        m_db->setCurrentSpace(m_db->paperSpaceId());
        const AcDbObjectId id = MakeTable(2, 2);
        m_db->setCurrentSpace(m_db->modelSpaceId());
        return id;
    }();
    const AcDbObjectId first = MakeTable(2, 2);
    MakeTable(2, 2, AcGePoint3d(10, 0, 0));  // overlaps the first at the point below
    const Pick model = PickAt("12,-1");
    EXPECT_EQ(model.table, first);
    EXPECT_EQ(model.column, 0);

    m_db->setCurrentSpace(m_db->paperSpaceId());
    const Pick layout = PickAt("12,-1");
    EXPECT_EQ(layout.table, paper);
}

}  // namespace
