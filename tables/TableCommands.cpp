// The table update and link properties commands.
#include "frame/Commands.h"

void CmdDbTableUpdate() {
    ReportCommandNotAvailable(_T("DbTable_Update"));
}
void CmdDbTableProperties() {
    ReportCommandNotAvailable(_T("DbTable_Properties"));
}
