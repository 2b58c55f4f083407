// The link properties command: the table properties dialog on one picked linked table.
#include "dialogs/DialogCommands.h"
#include "dialogs/PropertiesDialogStep.h"
#include "link/DbRecords.h"
#include "platform/acdocman.h"
#include "platform/acedads.h"
#include "platform/acrxapp.h"
#include "platform/acutads.h"
#include "platform/afxwin.h"
#include "tables/TableCommands.h"

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
    if (updateTable && RefreshLinkedTable(id, link) == RefreshResult::kNoDatabase) {
        acutPrintf(_T("\nFailed to open database %s."), link.m_strDatabase);
    }
}
