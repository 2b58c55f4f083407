// The groups of a record as the drawing database keeps them, for loading and saving.
//
// Conventions for the kept groups of every object: the groups after the object's type, without
// its handle (5), its owner (the 330 outside any 102 group), its layer (8, entities) and its
// extended data; on writing, the owner goes after the leading 102 groups and the layer after
// "100/AcDbEntity". Block records keep their BLOCK and ENDBLK entities behind (0, "BLOCK") and
// (0, "ENDBLK") markers, and the handles of a table block's generated entities behind
// (0, "*GENERATED"), in runs of consecutive handles: (5, first), then (90, how many follow)
// when any do; parts of complex entities (VERTEX, ATTRIB, SEQEND) keep their head entity
// as owner behind (0, "*OWNER"), (330, head). Header variables, classes and sections the model
// does not know are kept in raw objects named "*HEADER", "*CLASSES" and "*SECTION" that are
// never written as objects.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/db/hostdb.h"
#include "host/dxf/document.h"

namespace host::dxf {

inline constexpr const char* kHeaderHolder = "*HEADER";
inline constexpr const char* kClassesHolder = "*CLASSES";
inline constexpr const char* kSectionHolder = "*SECTION";
inline constexpr const char* kGeneratedMarker = "*GENERATED";
inline constexpr const char* kOwnerMarker = "*OWNER";

// ASCII upper case (symbol-table and block names are compared this way).
std::string Upper(std::string_view s);
bool IsSymbolTableEntry(std::string_view type);

// A record taken apart: its owner, its layer, the groups kept and its extended data.
struct Parts {
    std::uint64_t owner = 0;
    bool hasOwner = false;
    std::string layer;
    bool hasLayer = false;
    std::vector<DxfGroup> groups;
    Tags xdata;
};
Parts SplitRecord(const Record& rec, bool entity);
// Rebuilds a record from its kept groups (layer: entities only).
void Assemble(Record& out, std::string_view type, std::uint64_t handle, std::uint64_t owner,
              const std::string* layer, const std::vector<DxfGroup>& groups);
// Sets the value of the first group with the code (in the subclass after marker, when given),
// or inserts it after the marker (or at the end).
void Patch(std::vector<DxfGroup>& groups, int code, const std::string& value,
           const char* marker = nullptr);

// Records of files before R2000 have no subclass markers (100 groups).
const char* TableRecordSubclass(std::string_view type);
bool HasSubclassMarkers(const std::vector<DxfGroup>& groups);
// Adds the subclass markers that files from R2000 on carry to the groups of an older record.
void AddSubclassMarkers(std::string_view type, std::vector<DxfGroup>& groups, bool entity);

// Extended data between its tags and the database's form. Throws DxfError (naming line) for
// a point without its Y value or a coordinate without its point.
std::vector<XDataApp> XDataFromTags(const Tags& tags, std::size_t line);
void XDataToTags(const std::vector<XDataApp>& apps, Tags& out);

// What a block record keeps besides its own groups: its BLOCK and ENDBLK entities and the
// handles of the entities generated for a table.
struct BlockExtras {
    std::vector<DxfGroup> record;  // the BLOCK_RECORD's own groups
    std::uint64_t beginHandle = 0, endHandle = 0;
    std::vector<DxfGroup> begin, end;  // BLOCK and ENDBLK groups
    std::vector<std::uint64_t> generated;
};
BlockExtras ReadBlockExtras(const std::vector<DxfGroup>& extra);
std::vector<DxfGroup> WriteBlockExtras(const BlockExtras& b);

// The resident object of an id (null for a null id), and the raw-object view of an object.
AcDbObject* Obj(AcDbObjectId id);
RawObject* AsRaw(AcDbObject* o);
// A raw record's name (its group 2).
std::string RawName(const RawObject* raw);

}  // namespace host::dxf
