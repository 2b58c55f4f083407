// The table update and link properties commands.
#include <cstdint>

#include "dialogs/PropertiesDialogStep.h"
#include "frame/QuarvelApp.h"
#include "link/DbRecords.h"
#include "platform/acdocman.h"
#include "platform/acedads.h"
#include "platform/acutads.h"
#include "platform/afxwin.h"
#include "platform/dbtable.h"
#include "tables/BuildTable.h"

namespace {

bool IsUsable(const TableLink& link) {
    return !link.m_strConnectDriver.IsEmpty() && !link.m_strDatabase.IsEmpty() &&
           (!link.m_strTable.IsEmpty() || !link.m_strSQL.IsEmpty());
}

CString HandleText(AcDbObjectId id) {
    char buf[32] = {0};
    id.handle().getIntoAsciiBuffer(buf);
    return CString(qv::ConvertText<TCHAR>(std::string_view(buf)));
}

enum class RefreshResult { kRefreshed, kNoDatabase, kNoRows, kNotATable };

// Re-runs the link's query and writes the rows into the table from its start cell. A table
// whose query fails or returns nothing keeps its contents.
RefreshResult RefreshTable(AcDbObjectId id, TableLink link) {
    CMyDatabase* pDb = g_dbList.FindDatabase(link.m_strDatabase);
    if (!pDb) {
        g_dbList.AddDatabase(link.m_strConnectDriver, link.m_strDatabase, link.m_strUser,
                             link.m_strPassword);
        pDb = g_dbList.FindDatabase(link.m_strDatabase);
    }
    if (!pDb)
        return RefreshResult::kNoDatabase;
    CellGrid grid;
    if (!pDb->FillGrid(link, grid))
        return RefreshResult::kNoRows;
    AcDbTable* pTable = nullptr;
    if (acdbOpenObject(pTable, id, AcDb::kForWrite) != Acad::eOk) {
        return RefreshResult::kNotATable;
    }
    BuildTable(grid, link, pTable);
    pTable->close();
    return RefreshResult::kRefreshed;
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
        ads_name entity;
        AcDbObjectId id;
        if (acedSSName(ss, i, entity) != RTNORM || acdbGetObjectId(id, entity) != Acad::eOk) {
            continue;
        }
        TableLink link;
        if (!link.ReadLinkById(id) || !IsUsable(link))
            continue;
        switch (RefreshTable(id, link)) {
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
            default:
                break;
        }
    }
    acedSSFree(ss);
}

void CmdDbTableProperties() {
    ads_name entity;
    ads_point picked;
    if (acedEntSel(_T("\nPlease select a database table:"), entity, picked) != RTNORM)
        return;
    AcDbObjectId id;
    if (acdbGetObjectId(id, entity) != Acad::eOk)
        return;
    TableLink link;
    if (!link.ReadLinkById(id)) {
        acutPrintf(_T("\nFailed to read the information of the database table."));
        return;
    }

    acDocManager->pushResourceHandle(acrxGetApp()->ResourceInstance());
    struct PopOnExit {
        ~PopOnExit() { acDocManager->popResourceHandle(); }
    } popOnExit;

    LinkValues values{link.m_strConnectDriver, link.m_strDatabase, link.m_strTable,
                      link.m_strSQL,           link.m_strUser,     link.m_strPassword};
    bool updateTable = false;
    if (RunTablePropertiesDialog(values, updateTable) != IDOK)
        return;

    const bool unchanged = values.strConnectDriver.CompareNoCase(link.m_strConnectDriver) == 0 &&
                           values.strDatabase.CompareNoCase(link.m_strDatabase) == 0 &&
                           values.strTable.CompareNoCase(link.m_strTable) == 0 &&
                           values.strSQL.CompareNoCase(link.m_strSQL) == 0 &&
                           values.strUser.CompareNoCase(link.m_strUser) == 0 &&
                           values.strPassword.CompareNoCase(link.m_strPassword) == 0;
    if (unchanged)
        return;

    link.m_strConnectDriver = values.strConnectDriver;
    link.m_strDatabase = values.strDatabase;
    link.m_strTable = values.strTable;
    link.m_strSQL = values.strSQL;
    link.m_strUser = values.strUser;
    link.m_strPassword = values.strPassword;
    if (!link.WriteLinkById(id))
        return;
    if (updateTable && RefreshTable(id, link) == RefreshResult::kNoDatabase) {
        acutPrintf(_T("\nFailed to open database %s."), link.m_strDatabase);
    }
}
