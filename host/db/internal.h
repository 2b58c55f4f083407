// Inside the drawing database: the object records (stubs), the database's own state and the
// per-class data of the modelled objects. Private to the database layer (host/db/): the
// layers above see the database through hostdb.h and the platform headers only.
#pragma once

#include <cmath>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/base/text.h"
#include "host/db/cell_store.h"
#include "host/db/hostdb.h"
#include "platform/dbdict.h"
#include "platform/dbmain.h"
#include "platform/dbtable.h"

// The record of one object of a database; AcDbObjectId points at it. A placeholder stub (made
// for a handle before its object exists) has no object.
class AcDbStub {
public:
    AcDbDatabase* database = nullptr;
    AcDbHandle handle;
    std::unique_ptr<AcDbObject> object;  // the resident object
    bool erased = false;
};

class AcDbDatabase::Impl {
public:
    explicit Impl(AcDbDatabase* self);
    ~Impl();

    AcDbStub* StubFor(AcDbHandle handle, bool create);
    // Makes obj resident under owner with the handle (null: next free one).
    Acad::ErrorStatus Attach(AcDbObject* obj, AcDbObjectId owner, AcDbHandle handle,
                             AcDbObjectId* outId);

    AcDbDatabase* self;
    std::vector<std::unique_ptr<AcDbStub>> stubs;  // every stub, placeholders included
    std::vector<AcDbStub*> order;                  // resident objects in database order
    std::unordered_map<std::uint64_t, AcDbStub*> byHandle;
    std::uint64_t handseed = 1;
    AcDbObjectId modelSpace, paperSpace, currentSpace;
    AcDbObjectId namedObjects, tableStyle;
    std::vector<AcDbObjectId> blocks;
    std::unordered_map<std::string, AcDbObjectId> blockNames;  // folded name to block
    std::unordered_map<std::string, int> anonymousCounters;    // "*t" to the last number used
    std::vector<AcDbObjectId> regApps;
    std::uint64_t changeSerial = 0;  // see host::ChangeSerial
};

class AcDbBlockTableRecord::Data {
public:
    std::string name;
    AcGePoint3d origin;
    std::vector<AcDbObjectId> entities;
};

class AcDbBlockReference::Data {
public:
    AcDbObjectId block;
    AcGePoint3d position;
    double rotation = 0;
    AcGeVector3d scale{1, 1, 1};
    AcGeVector3d normal{0, 0, 1};
};

class AcDbDictionary::Data {
public:
    struct Entry {
        std::string name;
        AcDbObjectId id;
    };
    std::vector<Entry> entries;  // in the order they were added
    // Index of the entry of a name (case ignored), or -1.
    int Find(std::string_view name) const;
};

class AcDbTableStyle::Data {
public:
    std::string name;
    double dataHeight = 2.5;
    double headerHeight = 2.5;
    double titleHeight = 3.5;
    double horzMargin = 0.6;
    double vertMargin = 0.6;
};

class AcDbTable::Data {
public:
    struct Range {
        int minRow, maxRow, minColumn, maxColumn;
        bool Contains(int r, int c) const {
            return r >= minRow && r <= maxRow && c >= minColumn && c <= maxColumn;
        }
    };
    AcDbObjectId style;
    int rows = 0;
    int columns = 0;
    std::vector<double> rowHeights;
    std::vector<double> columnWidths;
    host::CellStore cells;  // row-major, UTF-8
    std::vector<Range> merged;
    AcGePoint3d position;
    AcGeVector3d direction{1, 0, 0};
    AcGeVector3d normal{0, 0, 1};
    AcDbObjectId block;
};

namespace host {

// Whether all coordinates are finite: the drawing never holds what its file cannot store.
inline bool IsFinitePoint(const AcGePoint3d& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

// Notes a change to the objects of the stub's database (see ChangeSerial): an object added,
// opened for write or closed after writing.
void NoteChange(const AcDbStub* stub);

// Live stubs of every open database (ids of destroyed databases are not in it).
bool IsLiveStub(const AcDbStub* stub);
void AddLiveStub(const AcDbStub* stub);
void RemoveLiveStub(const AcDbStub* stub);

// The registered spelling of an application name, or "" when it is not registered.
std::string RegisteredAppName(const AcDbDatabase* db, std::string_view name);

// Copies the host's common object state (extended data, layer, extra groups) for clone().
void CopyCommonState(const AcDbObject& from, AcDbObject& to);

// The database's table-style defaults when a table has no readable style.
const AcDbTableStyle::Data& DefaultStyleData();
// The style data a table uses (its style object's, or the defaults).
const AcDbTableStyle::Data& StyleDataOf(AcDbObjectId styleId);

}  // namespace host
