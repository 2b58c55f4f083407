// The table creation command (database browser).
#include "ArxUtils/ArxUtils.h"
#include "dialogs/DialogCommands.h"

void CmdDbTableCreate() {
    ReportCommandNotAvailable(_T("DbTable_Create"));
}
