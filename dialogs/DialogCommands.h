// The module's dialog-driven commands.
#pragma once

// DbTable_Create: the database browser.
void CmdDbTableCreate();
// DbTable_Properties: the table properties dialog on a picked linked table.
void CmdDbTableProperties();
