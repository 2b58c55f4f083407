// The table update command and the refresh of one linked table.
#include "tables/TableCommands.h"

#include <algorithm>
#include <cstdint>

#include "link/DbRecords.h"
#include "platform/acedads.h"
#include "platform/acutads.h"
#include "platform/dbtable.h"
#include "platform/longwork.h"
#include "tables/BuildTable.h"
#include "tables/CellGrid.h"

bool IsUsableLink(const TableLink& link) {
    return UnusableLinkReason(link) == nullptr;
}

const TCHAR* UnusableLinkReason(const TableLink& link) {
    if (link.m_strConnectDriver.IsEmpty())
        return _T("its link names no connection driver");
    if (link.m_strDatabase.IsEmpty())
        return _T("its link names no database");
    if (link.m_strTable.IsEmpty() && link.m_strSQL.IsEmpty())
        return _T("its link names neither a table nor an SQL query");
    return nullptr;
}

namespace {

// A result narrower than the block written before leaves that block's further columns beside
// the new rows, holding texts of the old records: those cells are emptied. The columns stay,
// and so do columns beyond the old block.
void ClearColumnsLeftBehind(AcDbTable* pTable, const TableLink& link, const CellGrid& grid,
                            int nWrittenColumns) {
    const std::int64_t nTableColumns = pTable->numColumns();
    const std::int64_t nFirst = std::int64_t{link.m_nStartCol} + grid.m_nColumns;
    const std::int64_t nEnd =
        std::min(std::int64_t{link.m_nStartCol} + std::max(nWrittenColumns, 0), nTableColumns);
    if (link.m_nStartCol < 0 || link.m_nStartRow < 0 || nFirst >= nEnd)
        return;
    const std::int64_t nLastRow =
        std::min(std::int64_t{link.m_nStartRow} + grid.m_nRows, std::int64_t{pTable->numRows()});
    for (std::int64_t row = link.m_nStartRow; row < nLastRow; ++row) {
        for (std::int64_t column = nFirst; column < nEnd; ++column)
            pTable->setTextString(static_cast<int>(row), static_cast<int>(column), _T(""));
    }
}

}  // namespace

RefreshResult RefreshLinkedTable(AcDbObjectId id, TableLink link) {
    CMyDatabase* pDb = g_dbList.FindDatabase(link.m_strDatabase, link.m_strConnectDriver);
    if (!pDb) {
        g_dbList.AddDatabase(link.m_strConnectDriver, link.m_strDatabase, link.m_strUser,
                             link.m_strPassword);
        pDb = g_dbList.FindDatabase(link.m_strDatabase, link.m_strConnectDriver);
    }
    if (!pDb)
        return RefreshResult::kNoDatabase;
    const int nWrittenColumns = link.m_nColCount;  // the block's width before this refresh
    CellGrid grid;
    if (!pDb->FillGrid(link, grid))
        return RefreshResult::kNoRows;
    AcDbTable* pTable = nullptr;
    if (acdbOpenObject(pTable, id, AcDb::kForWrite) != Acad::eOk)
        return RefreshResult::kNotATable;
    BuildTable(grid, link, pTable);
    ClearColumnsLeftBehind(pTable, link, grid, nWrittenColumns);
    pTable->close();
    return RefreshResult::kRefreshed;
}

namespace {

CString HandleText(AcDbObjectId id) {
    char buf[32] = {0};
    id.handle().getIntoAsciiBuffer(buf);
    return CString(qv::ConvertText<TCHAR>(std::string_view(buf)));
}

}  // namespace

void CmdDbTableUpdate() {
    resbuf* pFilter = LinkedEntityFilter();
    ads_name ss;
    const int result = acedSSGet(nullptr, nullptr, nullptr, pFilter, ss);
    acutRelRb(pFilter);
    if (result != RTNORM)
        return;
    std::int32_t length = 0;
    acedSSLength(ss, &length);
    if (length > 0)
        acutPrintf(_T("\nPreparing for table update...\n"));
    for (std::int32_t i = 0; i < length; ++i) {
        // The user's cancel (Ctrl-C, Esc) stops at the table being refreshed; the tables after
        // it are left as they are.
        if (!qv::LongWorkGoesOn("Updating tables", i)) {
            acutPrintf(_T("\n*Cancel*"));
            break;
        }
        ads_name entity;
        AcDbObjectId id;
        if (acedSSName(ss, i, entity) != RTNORM || acdbGetObjectId(id, entity) != Acad::eOk) {
            continue;
        }
        // A linked object that is not refreshed says why: the drawing may come from someone
        // else, and a silent skip looks like a refresh.
        TableLink link;
        if (!link.ReadLinkById(id)) {
            acutPrintf(_T("\nTable %s was not updated: its link has no data entry."),
                       HandleText(id));
            continue;
        }
        if (const TCHAR* reason = UnusableLinkReason(link)) {
            acutPrintf(_T("\nTable %s was not updated: %s."), HandleText(id), reason);
            continue;
        }
        switch (RefreshLinkedTable(id, link)) {
            case RefreshResult::kNoRows:
                acutPrintf(
                    _T("\nTable %s was not updated: its query failed or returned no ")
                    _T("rows; the table keeps its contents."),
                    HandleText(id));
                break;
            case RefreshResult::kNoDatabase:
                acutPrintf(
                    _T("\nTable %s was not updated: its database %s could not be ")
                    _T("opened."),
                    HandleText(id), link.m_strDatabase);
                break;
            case RefreshResult::kNotATable:
                acutPrintf(_T("\nTable %s was not updated: the linked object is not a table."),
                           HandleText(id));
                break;
            case RefreshResult::kRefreshed:
                break;
        }
    }
    acedSSFree(ss);
}
