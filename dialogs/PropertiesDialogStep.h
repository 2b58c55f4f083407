// The table properties dialog step of the link properties command.
#pragma once

#include "platform/CString.h"

// The six link values the dialog shows and edits, in the dialog's order.
struct LinkValues {
    CString strConnectDriver;
    CString strDatabase;
    CString strTable;
    CString strSQL;
    CString strUser;
    CString strPassword;
};

// Shows the table properties dialog modally with the values. Returns IDOK with the edited
// values and the state of its "Update Table" check box, IDCANCEL when cancelled, or -1 when
// the dialog cannot be shown (nothing is changed then).
int RunTablePropertiesDialog(LinkValues& values, bool& updateTable);
