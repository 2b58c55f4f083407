// Refreshing linked tables from their databases, and the update command.
#pragma once

#include "link/TableLink.h"
#include "platform/dbid.h"

// Whether a link names what a refresh needs: a driver, a database and a table or SQL text.
bool IsUsableLink(const TableLink& link);
// What an unusable link lacks, as the end of "Table h was not updated: ..."; null for a
// usable one.
const TCHAR* UnusableLinkReason(const TableLink& link);

enum class RefreshResult { kRefreshed, kNoDatabase, kNoRows, kNotATable };

// Finds or opens the link's database in the module-wide list, re-runs the link's query and
// writes the rows into the table from its start cell. A table whose database cannot be opened
// or whose query fails or returns nothing keeps its contents.
RefreshResult RefreshLinkedTable(AcDbObjectId id, TableLink link);

// DbTable_Update: refreshes every selected linked table.
void CmdDbTableUpdate();
