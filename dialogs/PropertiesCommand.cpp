// The link properties command: the table properties dialog on one picked linked table.
#include "dialogs/DbPropertyDialog.h"
#include "dialogs/DialogCommands.h"
#include "link/DbRecords.h"
#include "platform/acdocman.h"
#include "platform/acedads.h"
#include "platform/acrxapp.h"
#include "platform/acutads.h"
#include "platform/afxwin.h"
#include "tables/TableCommands.h"

namespace {

// Whether the dialog's values differ from the link's; letter case does not count.
bool LinkChanged(const CDbPropertyDialog& dlg, const TableLink& link) {
    return dlg.m_strConnectString.CompareNoCase(link.m_strConnectDriver) != 0 ||
           dlg.m_strDatabase.CompareNoCase(link.m_strDatabase) != 0 ||
           dlg.m_strTable.CompareNoCase(link.m_strTable) != 0 ||
           dlg.m_strSQL.CompareNoCase(link.m_strSQL) != 0 ||
           dlg.m_strUser.CompareNoCase(link.m_strUser) != 0 ||
           dlg.m_strPassword.CompareNoCase(link.m_strPassword) != 0;
}

}  // namespace

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

    // The module's resources are current while the dialog runs, also when it throws.
    HINSTANCE hResources = acrxGetApp()->ResourceInstance();
    if (!hResources)
        hResources = AfxFindModuleInstance(reinterpret_cast<const void*>(&CmdDbTableProperties));
    acDocManager->pushResourceHandle(hResources);
    struct PopOnExit {
        ~PopOnExit() { acDocManager->popResourceHandle(); }
    } popOnExit;

    CDbPropertyDialog dlg(link.m_strConnectDriver, link.m_strDatabase, link.m_strTable,
                          link.m_strSQL, link.m_strUser, link.m_strPassword);
    if (dlg.DoModal() != IDOK)
        return;

    if (!LinkChanged(dlg, link)) {
        if (dlg.m_nUpdateTable)
            acutPrintf(
                _T("\nThe link did not change; the table was not refreshed (DbTable_Update ")
                _T("refreshes it)."));
        return;
    }

    // A link that names a table refreshes from that table. A new SQL text typed over a link
    // that still names its old table would never run: the link then names no table, as the
    // links of composed queries do.
    const bool bSQLOverTable =
        !dlg.m_strSQL.IsEmpty() && dlg.m_strSQL.CompareNoCase(link.m_strSQL) != 0 &&
        !dlg.m_strTable.IsEmpty() && dlg.m_strTable.CompareNoCase(link.m_strTable) == 0;

    // Another table chosen over the SQL text of the old one: the link reads as the browser
    // writes a table's link, its SQL selecting all of the new table.
    const bool bTableOverSQL =
        !dlg.m_strTable.IsEmpty() && dlg.m_strTable.CompareNoCase(link.m_strTable) != 0 &&
        !dlg.m_strSQL.IsEmpty() && dlg.m_strSQL.CompareNoCase(link.m_strSQL) == 0;

    link.m_strConnectDriver = dlg.m_strConnectString;
    link.m_strDatabase = dlg.m_strDatabase;
    link.m_strTable = bSQLOverTable ? CString() : dlg.m_strTable;
    link.m_strSQL = bTableOverSQL ? SelectAllFrom(dlg.m_strTable) : dlg.m_strSQL;
    link.m_strUser = dlg.m_strUser;
    link.m_strPassword = dlg.m_strPassword;
    if (!link.WriteLinkById(id))
        return;
    if (bSQLOverTable)
        acutPrintf(_T("\nThe table is linked by its SQL text now (no longer by the table %s)."),
                   dlg.m_strTable);
    if (!dlg.m_nUpdateTable)
        return;

    // A refresh that fails leaves the cells as they were; the stored link stays changed.
    switch (RefreshLinkedTable(id, link)) {
        case RefreshResult::kRefreshed:
            break;
        case RefreshResult::kNoDatabase:
            acutPrintf(_T("\nFailed to open database %s."), link.m_strDatabase);
            acutPrintf(_T("\nThe table keeps its contents; the changed link is stored."));
            break;
        case RefreshResult::kNoRows:
            acutPrintf(
                _T("\nThe table was not refreshed: its query failed or returned no rows. The ")
                _T("table keeps its contents; the changed link is stored."));
            break;
        case RefreshResult::kNotATable:
            acutPrintf(
                _T("\nThe linked object is not a table and was not refreshed; the changed ")
                _T("link is stored."));
            break;
    }
}
