// The table creation command (database browser).
#include "frame/Commands.h"

void CmdDbTableCreate() {
    ReportCommandNotAvailable(_T("DbTable_Create"));
}
