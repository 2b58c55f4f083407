// Recovering a damaged drawing once every object of its file is in the database: references
// that point nowhere are repaired (in strict reading they are refused), each repair reported
// to the log.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "host/db/hostdb.h"
#include "host/dxf/repair.h"

namespace host::dxf {

// Dictionary entries that name a missing object are removed (dictionaries: each with the
// line of the file it was read from).
void RemoveDanglingEntries(const std::vector<std::pair<AcDbObjectId, std::size_t>>& dictionaries,
                           RepairLog& log);

// Objects whose owner does not exist, and objects other than symbol-table entries owned by a
// symbol table, are given to the named-object dictionary.
void AdoptOrphans(AcDbDatabase* db, RepairLog& log);

// Applications named by extended data are registered; the data of an application whose name
// cannot be registered is removed from every object. uses: each application named, with the
// line where it was.
void RegisterExtendedDataApps(AcDbDatabase* db,
                              const std::vector<std::pair<std::string, std::size_t>>& uses,
                              RepairLog& log);

}  // namespace host::dxf
