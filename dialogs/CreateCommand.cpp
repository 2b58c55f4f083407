// The table creation command: the database browser over the databases of the drawing's linked
// tables and those opened before.
#include "dialogs/DbDialog.h"
#include "dialogs/DialogCommands.h"
#include "link/DbRecords.h"
#include "platform/acdocman.h"
#include "platform/acrxapp.h"
#include "platform/afxwin.h"

void CmdDbTableCreate() {
    g_dbList.CollectDrawingDatabases();

    // The module's resources are current while the browser runs, also when it throws.
    HINSTANCE hResources = acrxGetApp()->ResourceInstance();
    if (!hResources)
        hResources = AfxFindModuleInstance(reinterpret_cast<const void*>(&CmdDbTableCreate));
    acDocManager->pushResourceHandle(hResources);
    struct PopOnExit {
        ~PopOnExit() { acDocManager->popResourceHandle(); }
    } popOnExit;

    CDbDialog dlg;
    dlg.DoModal();
}
