#include "dialogs/PropertiesDialogStep.h"

#include "platform/acutads.h"

int RunTablePropertiesDialog(LinkValues&, bool& updateTable) {
    updateTable = false;
    acutPrintf(
        _T("\nThe table properties dialog is not available in this build yet; the link ")
        _T("was not changed."));
    return -1;
}
