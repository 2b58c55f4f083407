// What every saved drawing has: the named-object dictionary with its group, table-style and
// layout dictionaries, the "Standard" table style, model space and paper space with their
// layouts, the symbol tables with their standard entries, a layer entry for every layer in
// use and the application "ACAD". Loading makes sure of it (a damaged or minimal file may lack
// any of it), and so does saving (a database made by a program may too).
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "host/db/hostdb.h"

namespace host::dxf {

// The symbol tables, in the order files list them.
extern const char* const kStandardTables[9];

// The symbol tables' heads (raw "TABLE" objects) of a database.
struct Structure {
    std::unordered_map<std::string, AcDbObjectId> heads;  // table name (upper) -> head
    std::vector<AcDbObjectId> headOrder;
};
Structure FindStructure(AcDbDatabase* db);

// Adds what a complete drawing file needs and the database lacks.
void EnsureStructure(AcDbDatabase* db);

// Adds a raw object with the next free handle (null id when it cannot be added).
AcDbObjectId AddRaw(AcDbDatabase* db, const std::string& type, std::vector<DxfGroup> groups,
                    AcDbObjectId owner);
// The block record a LAYOUT object belongs to (the 330 of its AcDbLayout part).
std::uint64_t LayoutBlock(const RawObject* raw);
// A table style for a table: the one given when it is one, else the current style, else
// "Standard", else any style of the drawing (null when there is none).
AcDbObjectId UsableStyle(AcDbDatabase* db, AcDbObjectId id);

}  // namespace host::dxf
