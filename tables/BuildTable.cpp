#include "tables/BuildTable.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "ArxUtils/ArxUtils.h"
#include "platform/acdocman.h"
#include "platform/acedads.h"
#include "platform/acutads.h"
#include "platform/dbapserv.h"
#include "platform/dbdict.h"

namespace {

// A custom width at or below this is "automatic".
constexpr double kAutomaticWidth = 0.00001;

int FillExistingTable(const CellGrid& grid, const TableLink& link, AcDbTable* pTable) {
    const int rows = grid.m_nRows;
    const int columns = grid.m_nColumns;
    const int r0 = std::max(link.m_nStartRow, 0);
    const int c0 = std::max(link.m_nStartCol, 0);
    const int n = static_cast<int>(pTable->numRows());
    const int m = static_cast<int>(pTable->numColumns());

    // Rows: the table ends exactly with the block.
    if (rows < n - r0) {
        pTable->deleteRows(r0 + rows, n - r0 - rows);
    } else if (rows > n - r0) {
        // New rows go in before the last row, with its height. When the block starts below
        // the last row they go in after it instead, so that its contents stay in place.
        const int like = n > 0 ? n - 1 : 0;
        const int at = r0 >= n ? n : like;
        pTable->insertRows(at, pTable->rowHeight(like), r0 + rows - n);
    }
    // Columns grow to hold the block, also when the block starts beyond the last column;
    // columns are never deleted.
    if (columns > m - c0) {
        const int like = m > 0 ? m - 1 : 0;
        const int at = c0 >= m ? m : like;
        pTable->insertColumns(at, pTable->columnWidth(like), c0 + columns - m);
    }
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < columns; ++j) {
            pTable->setTextString(r0 + i, c0 + j, grid.GetCell(i, j));
        }
    }
    return 1;
}

}  // namespace

int BuildTable(const CellGrid& grid, TableLink& link, AcDbTable* pExisting) {
    if (pExisting)
        return FillExistingTable(grid, link, pExisting);

    AcDbDatabase* pDb = acdbHostApplicationServices()->workingDatabase();
    AcDbDictionary* pDict = nullptr;
    if (!pDb || pDb->getTableStyleDictionary(pDict, AcDb::kForRead) != Acad::eOk) {
        acutPrintf(_T("\nFailed to open the table style dictionary."));
        return 0;
    }
    AcDbObject* pStyleObj = nullptr;
    if (pDict->getAt(link.m_strTableStyle, pStyleObj, AcDb::kForRead) != Acad::eOk) {
        acutPrintf(_T("\nFaield to open the table style. %s"), link.m_strTableStyle);
        pDict->close();
        return 0;
    }
    pDict->close();
    AcDbTableStyle* pStyle = AcDbTableStyle::cast(pStyleObj);
    if (!pStyle) {
        acutPrintf(_T("\nFaield to open the table style. %s"), link.m_strTableStyle);
        pStyleObj->close();
        return 0;
    }
    const double textHeight = pStyle->textHeight(AcDb::kDataRow);
    const double hMargin = pStyle->horzCellMargin();
    const double vMargin = pStyle->vertCellMargin();
    const AcDbObjectId styleId = pStyle->objectId();
    pStyle->close();

    const int rows = grid.m_nRows;
    const int columns = grid.m_nColumns;
    // Longest text of each column, in the build's characters.
    std::vector<int> longest(columns, 0);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            longest[c] = std::max(longest[c], grid.GetCell(r, c).GetLength());
        }
    }

    AcDbTable* pTable = new AcDbTable;
    pTable->setTableStyle(styleId);
    pTable->setNumRows(rows);
    pTable->setNumColumns(columns);
    pTable->unmergeCells(0, 0, 0, columns - 1);

    acedSetStatusBarProgressMeter(_T("Creating AutoCAD Table..."), 0, rows * columns);
    int written = 0;
    for (int r = 0; r < rows; ++r) {
        pTable->setRowHeight(r, textHeight + 2 * vMargin);
        for (int c = 0; c < columns; ++c) {
            if (r == 0) {
                // A width that is no finite number (a stranger's link may hold one) is
                // automatic too: the table's geometry must stay finite.
                const bool custom = c < static_cast<int>(link.m_widths.size()) &&
                                    std::isfinite(link.m_widths[c]) &&
                                    link.m_widths[c] > kAutomaticWidth;
                pTable->setColumnWidth(
                    c, custom ? link.m_widths[c] : (longest[c] + 3) * textHeight + 2 * hMargin);
            }
            pTable->setTextString(r, c, grid.GetCell(r, c));
            acedSetStatusBarProgressMeterPos(written++);
        }
    }
    acedRestoreStatusBar();

    if (AppendToCurrentSpace(pTable, pDb) != Acad::eOk) {
        delete pTable;
        return 1;
    }
    link.WriteLink(pTable);
    const AcDbObjectId tableId = pTable->objectId();
    pTable->close();

    ads_name tableName;
    if (acdbGetAdsName(tableName, tableId) != Acad::eOk)
        return 1;

    if (AcApDocument* pDoc = acDocManager->curDocument()) {
        pDoc->transactionManager()->flushGraphics();
    }
    acedRedraw(tableName, ADS_REDRAW_HIDE);
    ads_name ss = {0, 0};
    ads_name none = {0, 0};
    acedSSAdd(tableName, none, ss);
    DragSelectionSet(ss, _T("\nSpecify insertion point: "), AcGePoint3d(0, 0, 0));
    return 1;
}

int PickStartCell(AcDbObjectId& tableId, int& row, int& column) {
    tableId.setNull();
    row = column = -1;
    ads_point picked;
    if (acedGetPoint(nullptr, _T("\nPlease select the start cell:"), picked) != RTNORM)
        return 0;

    ads_name ss;
    if (acedSSGet(_T("X"), nullptr, nullptr, nullptr, ss) != RTNORM)
        return 0;
    std::int32_t length = 0;
    if (acedSSLength(ss, &length) != RTNORM || length == 0) {
        acedSSFree(ss);
        return 0;
    }
    AcDbDatabase* pDb = acdbHostApplicationServices()->workingDatabase();
    const AcDbObjectId currentSpace = pDb ? pDb->currentSpaceId() : AcDbObjectId();
    ads_point world;
    acdbUcs2Wcs(picked, world, false);
    const AcGePoint3d point(world[0], world[1], world[2]);

    for (std::int32_t i = 0; i < length && tableId.isNull(); ++i) {
        ads_name entity;
        AcDbObjectId id;
        if (acedSSName(ss, i, entity) != RTNORM || acdbGetObjectId(id, entity) != Acad::eOk) {
            continue;
        }
        AcDbTable* pTable = nullptr;
        if (acdbOpenObject(pTable, id, AcDb::kForRead) != Acad::eOk)
            continue;
        int hitRow = -1, hitColumn = -1;
        if (pTable->ownerId() == currentSpace &&
            pTable->hitTest(point, AcGeVector3d::kZAxis, 0.0, 0.0, hitRow, hitColumn)) {
            tableId = id;
            row = hitRow;
            column = hitColumn;
        }
        pTable->close();
    }
    acedSSFree(ss);
    return 1;
}
