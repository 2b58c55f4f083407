// The drawing database as the rest of the host sees it: the working database, selection
// primitives for the editor, and the access a drawing-file reader and writer needs.
//
// Objects and ownership
//   Every object of a database is reached through its AcDbStub (an AcDbObjectId is a stub
//   pointer). The database owns its stubs and its resident objects; they live until the
//   database is destroyed (erasing only marks them). Handles are unique per database and
//   handseed() is always above every handle in use.
//
// Reading a drawing file (creating objects with given handles)
//   1. Make an empty database: `new AcDbDatabase(false)` (no default objects at all).
//   2. For each object of the file, build the object (not yet in a database, so it is freely
//      writable), then add it with AddObject(db, obj, ownerId, handle, &id). It is resident and
//      closed afterwards. Block definitions go in with AddBlock, entities of a block with
//      AppendEntity (which also records the entity in the block's entity list, in order).
//      Forward references (a dictionary naming an object that comes later in the file) use
//      IdForHandle(db, handle), which makes a placeholder stub that AddObject fills later.
//   3. Name the well-known objects: blocks named "*Model_Space" and "*Paper_Space" become model
//      and paper space by themselves; SetNamedObjectsDictionary names the root dictionary (its
//      "ACAD_TABLESTYLE" entry is then the table-style dictionary); SetCurrentTableStyle and
//      SetHandseed finish the job. RegisterApp adds APPID records with their handles.
//   Anything the host does not model is kept as a RawObject (non-graphical) or RawEntity
//   (in a block) holding its type name and its group list exactly as read; modelled objects
//   carry the groups they do not interpret in ObjectState::extraGroups.
//
// Writing a drawing file (enumerating)
//   AllObjects(db) lists every resident object in database order (the order they were added),
//   erased ones excluded unless asked. ObjectOf(id) gives read access to the resident object
//   without opening it (do not hold it across commands or modify it this way). For each:
//   id.handle(), obj->ownerId(), DxfNameOf(obj) ("ACAD_TABLE", "INSERT", "DICTIONARY",
//   "TABLESTYLE", "BLOCK_RECORD", "APPID" or the raw object's own name), the class's data
//   through the public platform accessors, XDataOf(obj) and obj->state()->extraGroups.
//   Blocks() lists the block definitions, EntitiesOf(db, blockId) their entities in order.
//   Dictionaries list their entries with newIterator(); a table's merged ranges show through
//   isMergedCell(). A new database has: the root dictionary (with "ACAD_TABLESTYLE" holding
//   "Standard" and "ACAD_LAYOUT" holding raw LAYOUT objects "Model" and "Layout1"), the blocks
//   "*Model_Space" and "*Paper_Space" and the application "ACAD". Symbol tables themselves
//   (BLOCK_RECORD, APPID, LAYER ...) are not objects here: the file engine writes their table
//   headers itself; layers exist only as the entities' layer names.
//
// Open rules (status codes)
//   Several readers at once; one writer and no readers beside it. Opening for write an object
//   open for read: eWasOpenForRead; opening an object open for write: eWasOpenForWrite; an
//   erased object: eWasErased (unless asked for); a dead id: eInvalidInput; a placeholder:
//   eUnknownHandle; a change to an object in a database that is not open for write:
//   eNotOpenForWrite (objects not in a database are freely writable); close() of an object not
//   in a database: eNotInDatabase; upgradeOpen with two readers: eHadMultipleReaders.
//
// Entity and selection-set names
//   An entity name holds its record and a tag; a set name its serial number and another tag.
//   Names are checked against the live records before use, so a made-up name is refused
//   (eInvalidAdsName / RTERROR) and never followed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/db/cell_store.h"
#include "platform/adsdef.h"
#include "platform/dbdict.h"
#include "platform/dbmain.h"
#include "platform/dbtable.h"
#include "platform/gept3d.h"

// The class-descriptor members of a runtime class (the counterpart of ACRX_DECLARE_MEMBERS),
// for host classes; CLASS must be a plain name, PARENT the parent class, DXF its type name in
// drawing files (or "").
#define HOST_RX_DEFINE_MEMBERS_NAMED(CLASS, NAME, PARENT, DXF) \
    AcRxClass* CLASS::desc() {                                 \
        static AcRxClass cls(NAME, PARENT::desc(), DXF);       \
        return &cls;                                           \
    }                                                          \
    AcRxClass* CLASS::isA() const {                            \
        return CLASS::desc();                                  \
    }
#define HOST_RX_DEFINE_MEMBERS(CLASS, PARENT, DXF) \
    HOST_RX_DEFINE_MEMBERS_NAMED(CLASS, #CLASS, PARENT, DXF)

namespace host {

// A runtime dictionary (keys ignore case, insertion order, entries not owned), as the system
// registry uses for its sub-dictionaries.
std::unique_ptr<AcRxDictionary> MakeRxDictionary();

// ---------------------------------------------------------------------------------------------
// Working database

AcDbDatabase* WorkingDatabase();            // the current document's database (null: none)
void SetWorkingDatabase(AcDbDatabase* db);  // called by the document manager

// ---------------------------------------------------------------------------------------------
// Selection

// A compiled selection filter: the resbuf filter chain of acedSSGet, either width. An empty
// filter matches every entity. Understood groups: 0 (entity type), 2 (block name of a block
// reference), 8 (layer), each a comma list of names compared ignoring case, with the wildcards
// "*" (any run), "?" (any character), "#" (digit), "@" (letter), "`" (escape) and a leading "~"
// (not); 5 (handle); 67 (0 model space, 1 paper space); -3 followed by 1001 groups (extended
// data of every listed application, names may use the same wildcards); and -4 "<and" "and>"
// "<or" "or>" "<not" "not>" (one operand) "<xor" "xor>" (two operands). Any other group, and a
// relational -4 test with the group it applies to, is not modelled: every entity passes it.
class SelectionFilter {
public:
    SelectionFilter();
    ~SelectionFilter();
    SelectionFilter(const SelectionFilter& other);
    SelectionFilter& operator=(const SelectionFilter& other);
    // Compiles a chain; false (and an empty filter) when its -4 brackets do not balance.
    bool Compile(const resbufA* chain);
    bool Compile(const resbufW* chain);
    bool IsEmpty() const;
    // Whether an entity passes (erased entities pass too; selection skips them separately).
    bool Matches(const AcDbEntity* entity) const;
    bool Matches(AcDbObjectId id) const;

    struct Node;

private:
    std::shared_ptr<const Node> m_root;  // null: everything
};

// Interactive selection hook, installed by the editor: fills `out` in pick order, returns
// RTNORM/RTCAN/RTERROR. acedSSGet applies the filter again and drops erased entities.
using InteractiveSelector = int (*)(AcDbDatabase* db, const SelectionFilter& filter,
                                    std::vector<AcDbObjectId>& out);
void SetInteractiveSelector(InteractiveSelector selector);

// Selection primitives (entities not erased, passing the filter):
// every space (model space and layouts, not block definitions), database order
std::vector<AcDbObjectId> SelectAll(AcDbDatabase* db, const SelectionFilter& f);
// current space; a window holds entities whose extents lie inside it, a crossing window also
// those whose extents meet it (compared in the XY plane)
std::vector<AcDbObjectId> SelectWindow(AcDbDatabase* db, const AcGePoint3d& a, const AcGePoint3d& b,
                                       bool crossing, const SelectionFilter& f);
// current space, last drawn first; tables by their hit test, other entities by their extents
// widened by the aperture
std::vector<AcDbObjectId> SelectAtPoint(AcDbDatabase* db, const AcGePoint3d& p, double aperture,
                                        const SelectionFilter& f);
// the last non-erased entity appended to the current space (null id: none)
AcDbObjectId LastEntity(AcDbDatabase* db);
// Makes a new selection set holding the ids; returns RTNORM.
int MakeSelectionSet(const std::vector<AcDbObjectId>& ids, ads_name ss);
// The ids of a selection set (empty when the name is not a live set).
std::vector<AcDbObjectId> SelectionSetIds(const ads_name ss);
// Number of live selection sets (for leak checks in tests).
std::size_t SelectionSetCount();
// a block's entities in order (erased ones left out)
std::vector<AcDbObjectId> EntitiesOf(AcDbDatabase* db, AcDbObjectId blockId);

// ---------------------------------------------------------------------------------------------
// Objects as the file engine and the editor see them

// One group of a drawing file as it stood in the file: code and value text, verbatim.
struct DxfGroup {
    int code = 0;
    std::string value;
    bool operator==(const DxfGroup&) const = default;
};

// A non-graphical object the host does not model (kept verbatim).
class RawObject : public AcDbObject {
public:
    ACRX_DECLARE_MEMBERS(RawObject)
    RawObject() = default;
    RawObject(std::string dxfName, std::vector<DxfGroup> groups)
        : dxfName(std::move(dxfName)), groups(std::move(groups)) {}
    std::string dxfName;           // "LAYOUT", "MLINESTYLE", ...
    std::vector<DxfGroup> groups;  // every group after the object's handle and owner
};

// An entity the host does not model (kept verbatim). Moving it moves its point groups (codes
// 10 to 18 with 20 to 28 and 30 to 38), except the direction vectors of MTEXT, XLINE and RAY
// (code 11); its extents are the box of those points.
class RawEntity : public AcDbEntity {
public:
    ACRX_DECLARE_MEMBERS(RawEntity)
    RawEntity() = default;
    RawEntity(std::string dxfName, std::vector<DxfGroup> groups)
        : dxfName(std::move(dxfName)), groups(std::move(groups)) {}
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform) override;
    Acad::ErrorStatus getGeomExtents(AcGePoint3d& minPoint, AcGePoint3d& maxPoint) const override;
    std::string dxfName;           // "LINE", "MTEXT", ...
    std::vector<DxfGroup> groups;  // every group after handle, owner and the common ones
};

// A registered application (an APPID record).
class RegAppRecord : public AcDbObject {
public:
    ACRX_DECLARE_MEMBERS(RegAppRecord)
    RegAppRecord() = default;
    explicit RegAppRecord(std::string name) : name(std::move(name)) {}
    std::string name;
};

// One extended-data group. Text values (1000, 1001 inside data, 1002, 1003, 1005) are UTF-8 in
// `text`; 1004 keeps bytes in `binary`; 1010-1013 use `point`; 1040-1042 `real`; 1070 and 1071
// `integer`.
struct XDataGroup {
    short code = 0;
    std::string text;
    std::vector<unsigned char> binary;
    double point[3] = {0, 0, 0};
    double real = 0;
    std::int32_t integer = 0;
};
// The extended data of one application on one object.
struct XDataApp {
    std::string app;                 // the registered name as registered
    std::vector<XDataGroup> groups;  // after the 1001 head
};

// Bytes counted towards the 16 KB limit per object (the size the groups take in a drawing
// file): per application 2 bytes (its application reference); per group 1 byte for the code
// plus its value: 1000/1003 text 2 bytes of length plus its UTF-8 bytes, 1002 1 byte, 1004
// 1 byte of length plus the bytes, 1005 8 bytes, 1010-1013 24 bytes, 1040-1042 8 bytes, 1070
// 2 bytes, 1071 4 bytes.
constexpr std::size_t kXDataLimit = 16384;
constexpr std::size_t kXDataStringLimit = 255;  // bytes of a 1000 or 1003 text in UTF-8
constexpr std::size_t kXDataBinaryLimit = 127;  // bytes of one 1004 chunk
std::size_t XDataSize(const std::vector<XDataApp>& data);

// The host's bookkeeping for one object (AcDbObject::state(); see below).
using ObjectState = AcDbImpObject;

const std::vector<XDataApp>& XDataOf(const AcDbObject* obj);
// Whether an object carries extended data of an application (case ignored).
bool HasXData(const AcDbObject* obj, const std::string& app);

// The type name of an object in drawing files ("ACAD_TABLE", "INSERT", a raw object's own ...).
std::string DxfNameOf(const AcDbObject* obj);

// The resident object of an id without opening it; null for a null, dead or placeholder id.
AcDbObject* ObjectOf(AcDbObjectId id);
// Whether an id names a stub of a live database.
bool IsLiveId(AcDbObjectId id);

// Adds a new object (not in a database) with the given owner and handle (a null handle takes
// the next free one). The object is resident and closed afterwards. eHandleInUse when the
// handle belongs to another object; eAlreadyInDb when obj is resident already.
Acad::ErrorStatus AddObject(AcDbDatabase* db, AcDbObject* obj, AcDbObjectId owner,
                            AcDbHandle handle, AcDbObjectId* outId);
// Adds an entity to a block's entity list (and to the database, closed afterwards).
Acad::ErrorStatus AppendEntity(AcDbDatabase* db, AcDbObjectId blockId, AcDbEntity* entity,
                               AcDbHandle handle, AcDbObjectId* outId);
// Adds a block definition. Its name must be unique (eDuplicateRecordName); a name made of "*"
// and letters only ("*T", "*U") gets the next free number ("*T1", "*T2" ...). The first blocks
// named "*Model_Space" and "*Paper_Space" become model and paper space.
Acad::ErrorStatus AddBlock(AcDbDatabase* db, AcDbBlockTableRecord* block, AcDbHandle handle,
                           AcDbObjectId* outId);
// The id of a handle, making a placeholder stub for a handle not yet in use.
AcDbObjectId IdForHandle(AcDbDatabase* db, AcDbHandle handle);
// Every resident object in database order.
std::vector<AcDbObjectId> AllObjects(AcDbDatabase* db, bool includeErased = false);
// Block definitions in the order they were added; a block by name (case ignored).
std::vector<AcDbObjectId> Blocks(AcDbDatabase* db);
AcDbObjectId FindBlock(AcDbDatabase* db, const std::string& name);
// Registered applications (their APPID records), in registration order.
std::vector<AcDbObjectId> RegisteredApps(AcDbDatabase* db);
// Registers an application with a given handle (file reading); eOk when it was there already.
Acad::ErrorStatus RegisterApp(AcDbDatabase* db, const std::string& name, AcDbHandle handle);
void SetNamedObjectsDictionary(AcDbDatabase* db, AcDbObjectId dictId);
void SetCurrentTableStyle(AcDbDatabase* db, AcDbObjectId styleId);
// Raises the handle seed (never below the handles in use).
void SetHandseed(AcDbDatabase* db, AcDbHandle seed);
// Puts an existing object of the same database under a name of a dictionary (no open check;
// the entry's owner becomes the dictionary when the object is resident).
Acad::ErrorStatus SetDictionaryEntry(AcDbDictionary* dict, const std::string& name,
                                     AcDbObjectId id);
// The anonymous block holding a table's graphics (set by the file engine).
void SetTableBlockId(AcDbTable* table, AcDbObjectId blockId);
// A table's cell texts (row-major, UTF-8), read and set whole by the file engine. Setting
// needs a store of rows x columns cells (eInvalidInput otherwise) and write access.
const CellStore& CellsOf(const AcDbTable* table);
Acad::ErrorStatus SetCells(AcDbTable* table, CellStore cells);
// The most cells a table holds (rows times columns); drawing files with more are refused
// too. Growing a table beyond it fails with eOutOfRange before anything is allocated.
inline constexpr std::size_t kMaxTableCells = std::size_t(1) << 28;
// A table's merged ranges (rows and columns inclusive), in the order they were merged.
struct CellRange {
    int minRow = 0, maxRow = 0, minColumn = 0, maxColumn = 0;
};
std::vector<CellRange> MergedRangesOf(const AcDbTable* table);
// A table's plane (its normal, unit length; the direction is turned into the new plane).
// eInvalidInput for a zero vector; eNotOpenForWrite as for any change.
Acad::ErrorStatus SetTableNormal(AcDbTable* table, const AcGeVector3d& normal);
// Scale factors (x, y, z; default 1) and normal (default +Z) of a block reference.
AcGeVector3d ScaleOf(const AcDbBlockReference* ref);
Acad::ErrorStatus SetScale(AcDbBlockReference* ref, const AcGeVector3d& scale);
AcGeVector3d NormalOf(const AcDbBlockReference* ref);
Acad::ErrorStatus SetNormal(AcDbBlockReference* ref, const AcGeVector3d& normal);

// A number that changes whenever an object of the database may have changed (an object added,
// opened for write, upgraded to write or closed after writing; an erase needs write access).
// Serials are unique across databases, so a cache keyed on it is never confused by another
// database at the same address.
std::uint64_t ChangeSerial(const AcDbDatabase* db);

// Status of the open rules for modifying an object: eOk when not in a database or open for
// write, eNotOpenForWrite otherwise.
Acad::ErrorStatus CheckWritable(const AcDbObject* obj);

}  // namespace host

// The host's bookkeeping for one object (AcDbObject::state()), the platform's opaque type.
class AcDbImpObject {
public:
    AcDbStub* stub = nullptr;  // null until the object is in a database
    AcDbObjectId owner;
    int readers = 0;
    bool writing = false;
    bool notifying = false;
    bool newObject = false;  // added and not yet closed
    std::vector<host::XDataApp> xdata;
    std::string layer = "0";                  // entities only
    std::vector<host::DxfGroup> extraGroups;  // file groups a modelled object does not interpret
};
