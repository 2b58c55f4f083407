// PRE-MERGE PLACEHOLDER: the drawing-database half of the host provides this header; until it
// is merged, these declarations (as agreed) let the editor and documents build.
#pragma once

#include <vector>

#include "platform/adsdef.h"
#include "platform/dbid.h"
#include "platform/gept3d.h"

#define QUARVEL_HOSTDB_PRELINK 1

class AcDbDatabase;

namespace host {
AcDbDatabase* WorkingDatabase();
void SetWorkingDatabase(AcDbDatabase* db);
class SelectionFilter {};
using InteractiveSelector = int (*)(AcDbDatabase* db, const SelectionFilter& filter,
                                    std::vector<AcDbObjectId>& out);
void SetInteractiveSelector(InteractiveSelector selector);
std::vector<AcDbObjectId> SelectAll(AcDbDatabase*, const SelectionFilter&);
std::vector<AcDbObjectId> SelectWindow(AcDbDatabase*, const AcGePoint3d& a, const AcGePoint3d& b,
                                       bool crossing, const SelectionFilter&);
std::vector<AcDbObjectId> SelectAtPoint(AcDbDatabase*, const AcGePoint3d& p, double aperture,
                                        const SelectionFilter&);
AcDbObjectId LastEntity(AcDbDatabase*);
int MakeSelectionSet(const std::vector<AcDbObjectId>& ids, ads_name ss);
std::vector<AcDbObjectId> EntitiesOf(AcDbDatabase* db, AcDbObjectId blockId);
}  // namespace host
