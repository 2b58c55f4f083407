#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "host/base/text.h"
#include "host/db/hostdb.h"
#include "host/dxf/drawing.h"
#include "platform/dbdict.h"
#include "platform/dbmain.h"
#include "platform/dbtable.h"

namespace host::dxf {

namespace {

constexpr const char* kHeaderHolder = "*HEADER";
constexpr const char* kClassesHolder = "*CLASSES";
constexpr const char* kSectionHolder = "*SECTION";
constexpr const char* kGeneratedMarker = "*GENERATED";
constexpr const char* kOwnerMarker = "*OWNER";

std::string Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return std::string(s);
}

bool IsSymbolTableEntry(std::string_view type) {
    static const char* kTypes[] = {"VPORT", "LTYPE", "LAYER",    "STYLE",       "VIEW",
                                   "UCS",   "APPID", "DIMSTYLE", "BLOCK_RECORD"};
    for (const char* t : kTypes) {
        if (type == t)
            return true;
    }
    return false;
}

// ---- the kept groups of a record (see the header for the conventions) ----

struct Parts {
    std::uint64_t owner = 0;
    bool hasOwner = false;
    std::string layer;
    bool hasLayer = false;
    std::vector<DxfGroup> groups;
    Tags xdata;
};

Parts SplitRecord(const Record& rec, bool entity) {
    Parts p;
    const int handleCode = rec.type() == "DIMSTYLE" ? 105 : 5;
    bool handleSeen = false;
    int depth = 0;
    std::size_t i = 1;
    const Tags& tags = rec.tags;
    p.groups.reserve(tags.size());
    for (; i < tags.size(); ++i) {
        const Tag& t = tags[i];
        if (t.code == 1001)
            break;
        if (t.code == handleCode && !handleSeen) {
            handleSeen = true;
            continue;
        }
        if (t.code == 102) {
            depth = (!t.value.empty() && t.value[0] == '{') ? 1 : 0;
        } else if (t.code == 330 && depth == 0 && !p.hasOwner) {
            p.hasOwner = true;
            ParseHandle(t.value, p.owner);
            continue;
        } else if (entity && t.code == 8 && !p.hasLayer) {
            p.hasLayer = true;
            p.layer = t.value;
            continue;
        }
        p.groups.push_back(DxfGroup{t.code, t.value});
    }
    const Tags& xsrc = rec.table ? rec.xdata : rec.tags;
    if (rec.table) {
        p.xdata = xsrc;
    } else {
        p.xdata.assign(tags.begin() + static_cast<std::ptrdiff_t>(i), tags.end());
    }
    return p;
}

// Rebuilds a record from its kept groups.
void Assemble(Record& out, std::string_view type, std::uint64_t handle, std::uint64_t owner,
              const std::string* layer, const std::vector<DxfGroup>& groups) {
    out.tags.clear();
    out.tags.reserve(groups.size() + 4);
    out.tags.push_back({0, std::string(type)});
    std::size_t i = 0;
    // A symbol table's name comes before its handle.
    if (type == "TABLE" && !groups.empty() && groups[0].code == 2) {
        out.tags.push_back({2, groups[0].value});
        i = 1;
    }
    out.tags.push_back({type == "DIMSTYLE" ? 105 : 5, FormatHandle(handle)});
    // Leading 102 groups (reactors, extension dictionary) come before the owner.
    while (i < groups.size() && groups[i].code == 102 && !groups[i].value.empty() &&
           groups[i].value[0] == '{') {
        while (i < groups.size()) {
            const DxfGroup& g = groups[i++];
            out.tags.push_back({g.code, g.value});
            if (g.code == 102 && g.value == "}")
                break;
        }
    }
    out.tags.push_back({330, FormatHandle(owner)});
    bool layerPlaced = layer == nullptr;
    if (!layerPlaced && (i >= groups.size() || groups[i].code != 100)) {
        out.tags.push_back({8, *layer});
        layerPlaced = true;
    }
    for (; i < groups.size(); ++i) {
        out.tags.push_back({groups[i].code, groups[i].value});
        if (!layerPlaced && groups[i].code == 100 && groups[i].value == "AcDbEntity") {
            out.tags.push_back({8, *layer});
            layerPlaced = true;
        }
    }
    if (!layerPlaced)
        out.tags.push_back({8, *layer});
}

// Sets the value of the first group with the code (in the subclass after marker, when given),
// or inserts it after the marker (or at the end).
void Patch(std::vector<DxfGroup>& groups, int code, const std::string& value,
           const char* marker = nullptr) {
    std::size_t i = 0;
    if (marker) {
        while (i < groups.size() && !(groups[i].code == 100 && groups[i].value == marker))
            ++i;
        if (i == groups.size()) {
            groups.push_back({100, marker});
        }
        ++i;
    }
    const std::size_t start = i;
    for (; i < groups.size(); ++i) {
        if (marker && groups[i].code == 100)
            break;
        if (groups[i].code == code) {
            groups[i].value = value;
            return;
        }
    }
    groups.insert(groups.begin() + static_cast<std::ptrdiff_t>(marker ? i : groups.size()),
                  DxfGroup{code, value});
    (void)start;
}

// ---- records of files before R2000: subclass markers ----

const char* EntitySubclass(std::string_view type) {
    static const std::pair<const char*, const char*> kMap[] = {{"LINE", "AcDbLine"},
                                                               {"POINT", "AcDbPoint"},
                                                               {"CIRCLE", "AcDbCircle"},
                                                               {"ARC", "AcDbCircle"},
                                                               {"TEXT", "AcDbText"},
                                                               {"ATTDEF", "AcDbText"},
                                                               {"ATTRIB", "AcDbText"},
                                                               {"SOLID", "AcDbTrace"},
                                                               {"TRACE", "AcDbTrace"},
                                                               {"3DFACE", "AcDbFace"},
                                                               {"INSERT", "AcDbBlockReference"},
                                                               {"SHAPE", "AcDbShape"},
                                                               {"VERTEX", "AcDbVertex"},
                                                               {"POLYLINE", "AcDb2dPolyline"},
                                                               {"DIMENSION", "AcDbDimension"},
                                                               {"VIEWPORT", "AcDbViewport"},
                                                               {"BLOCK", "AcDbBlockBegin"},
                                                               {"ENDBLK", "AcDbBlockEnd"}};
    for (auto& [t, s] : kMap) {
        if (type == t)
            return s;
    }
    return nullptr;
}

const char* TableRecordSubclass(std::string_view type) {
    static const std::pair<const char*, const char*> kMap[] = {
        {"LAYER", "AcDbLayerTableRecord"},       {"LTYPE", "AcDbLinetypeTableRecord"},
        {"STYLE", "AcDbTextStyleTableRecord"},   {"VIEW", "AcDbViewTableRecord"},
        {"UCS", "AcDbUCSTableRecord"},           {"VPORT", "AcDbViewportTableRecord"},
        {"APPID", "AcDbRegAppTableRecord"},      {"DIMSTYLE", "AcDbDimStyleTableRecord"},
        {"BLOCK_RECORD", "AcDbBlockTableRecord"}};
    for (auto& [t, s] : kMap) {
        if (type == t)
            return s;
    }
    return nullptr;
}

bool HasSubclassMarkers(const std::vector<DxfGroup>& groups) {
    for (const auto& g : groups) {
        if (g.code == 100)
            return true;
    }
    return false;
}

// Adds the subclass markers that files from R2000 on carry to the groups of an older record.
void AddSubclassMarkers(std::string_view type, std::vector<DxfGroup>& groups, bool entity) {
    if (HasSubclassMarkers(groups))
        return;
    std::vector<DxfGroup> out;
    out.reserve(groups.size() + 3);
    if (!entity) {
        const char* sub = TableRecordSubclass(type);
        if (!sub)
            return;
        out.push_back({100, "AcDbSymbolTableRecord"});
        out.push_back({100, sub});
        out.insert(out.end(), groups.begin(), groups.end());
        groups = std::move(out);
        return;
    }
    static const std::unordered_set<int> kCommon = {6,   8,   62,  67,  370, 48, 60,
                                                    420, 430, 440, 284, 347, 390};
    out.push_back({100, "AcDbEntity"});
    std::size_t i = 0;
    while (i < groups.size() && kCommon.count(groups[i].code))
        out.push_back(groups[i++]);
    const char* sub = EntitySubclass(type);
    std::int64_t flags = 0;
    for (const auto& g : groups) {
        if (g.code == 70)
            ParseInt(g.value, flags);
    }
    if (type == "POLYLINE") {
        sub = (flags & 64)   ? "AcDbPolyFaceMesh"
              : (flags & 16) ? "AcDbPolygonMesh"
              : (flags & 8)  ? "AcDb3dPolyline"
                             : "AcDb2dPolyline";
    }
    if (sub)
        out.push_back({100, sub});
    if (type == "VERTEX") {
        out.push_back({100, (flags & 128) && (flags & 64) ? "AcDbPolyFaceMeshVertex"
                            : (flags & 64)                ? "AcDbPolygonMeshVertex"
                            : (flags & 32)                ? "AcDb3dPolylineVertex"
                                                          : "AcDb2dVertex"});
    }
    const char* attribute = type == "ATTDEF"   ? "AcDbAttributeDefinition"
                            : type == "ATTRIB" ? "AcDbAttribute"
                                               : nullptr;
    for (; i < groups.size(); ++i) {
        const DxfGroup& g = groups[i];
        if (attribute && (g.code == 2 || g.code == 3 || g.code == 70 || g.code == 73 ||
                          g.code == 74 || g.code == 280)) {
            out.push_back({100, attribute});
            attribute = nullptr;
        }
        if (type == "ARC" && g.code == 50)
            out.push_back({100, "AcDbArc"});
        if ((type == "TEXT") && g.code == 73)
            out.push_back({100, "AcDbText"});
        out.push_back(g);
    }
    if (type == "TEXT" && std::none_of(groups.begin(), groups.end(),
                                       [](const DxfGroup& g) { return g.code == 73; })) {
        out.push_back({100, "AcDbText"});
    }
    if (attribute)
        out.push_back({100, attribute});
    groups = std::move(out);
}

// ---- extended data ----

std::vector<XDataApp> XDataFromTags(const Tags& tags, std::size_t line) {
    std::vector<XDataApp> apps;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const Tag& t = tags[i];
        if (t.code == 1001) {
            apps.push_back(XDataApp{t.value, {}});
            continue;
        }
        if (apps.empty())
            continue;
        XDataGroup g;
        g.code = static_cast<short>(t.code);
        if (t.code >= 1010 && t.code <= 1013) {
            ParseDouble(t.value, g.point[0]);
            for (int k = 1; k <= 2; ++k) {
                if (i + 1 < tags.size() && tags[i + 1].code == t.code + 10 * k) {
                    ParseDouble(tags[++i].value, g.point[k]);
                } else if (k == 1) {
                    throw DxfError(line, "extended data point (group " + std::to_string(t.code) +
                                             ") without its Y value");
                }
            }
        } else if (t.code >= 1040 && t.code <= 1042) {
            ParseDouble(t.value, g.real);
        } else if (t.code == 1070 || t.code == 1071) {
            std::int64_t v = 0;
            ParseInt(t.value, v);
            g.integer = static_cast<std::int32_t>(v);
        } else if (t.code == 1004) {
            for (std::size_t k = 0; k + 1 < t.value.size(); k += 2) {
                g.binary.push_back(
                    static_cast<unsigned char>(std::stoi(t.value.substr(k, 2), nullptr, 16)));
            }
        } else if ((t.code >= 1020 && t.code <= 1023) || (t.code >= 1030 && t.code <= 1033)) {
            throw DxfError(line, "extended data coordinate (group " + std::to_string(t.code) +
                                     ") without its point");
        } else {
            g.text = t.value;
        }
        apps.back().groups.push_back(std::move(g));
    }
    return apps;
}

void XDataToTags(const std::vector<XDataApp>& apps, Tags& out) {
    static const char* kHex = "0123456789ABCDEF";
    for (const auto& app : apps) {
        out.push_back({1001, app.app});
        for (const auto& g : app.groups) {
            if (g.code >= 1010 && g.code <= 1013) {
                out.push_back({g.code, FormatDouble(g.point[0])});
                out.push_back({g.code + 10, FormatDouble(g.point[1])});
                out.push_back({g.code + 20, FormatDouble(g.point[2])});
            } else if (g.code >= 1040 && g.code <= 1042) {
                out.push_back({g.code, FormatDouble(g.real)});
            } else if (g.code == 1070 || g.code == 1071) {
                out.push_back({g.code, std::to_string(g.integer)});
            } else if (g.code == 1004) {
                std::string hex;
                for (unsigned char b : g.binary) {
                    hex += kHex[b >> 4];
                    hex += kHex[b & 15];
                }
                out.push_back({1004, hex});
            } else {
                std::string v = g.text;
                for (char& c : v) {
                    if (static_cast<unsigned char>(c) < 0x20)
                        c = ' ';
                }
                out.push_back({g.code, v});
            }
        }
    }
}

// ---- kept groups stored on block records ----

struct BlockExtras {
    std::vector<DxfGroup> record;  // the BLOCK_RECORD's own groups
    std::uint64_t beginHandle = 0, endHandle = 0;
    std::vector<DxfGroup> begin, end;  // BLOCK and ENDBLK groups
    std::vector<std::uint64_t> generated;
};

BlockExtras ReadBlockExtras(const std::vector<DxfGroup>& extra) {
    BlockExtras b;
    int part = 0;
    for (const auto& g : extra) {
        if (g.code == 0) {
            part = g.value == "BLOCK"            ? 1
                   : g.value == "ENDBLK"         ? 2
                   : g.value == kGeneratedMarker ? 3
                                                 : 0;
            continue;
        }
        if (part == 0) {
            b.record.push_back(g);
        } else if (part == 3) {
            std::uint64_t h = 0;
            ParseHandle(g.value, h);
            b.generated.push_back(h);
        } else if (g.code == 5 && (part == 1 ? b.beginHandle : b.endHandle) == 0) {
            ParseHandle(g.value, part == 1 ? b.beginHandle : b.endHandle);
        } else {
            (part == 1 ? b.begin : b.end).push_back(g);
        }
    }
    return b;
}

std::vector<DxfGroup> WriteBlockExtras(const BlockExtras& b) {
    std::vector<DxfGroup> out = b.record;
    out.push_back({0, "BLOCK"});
    out.push_back({5, FormatHandle(b.beginHandle)});
    out.insert(out.end(), b.begin.begin(), b.begin.end());
    out.push_back({0, "ENDBLK"});
    out.push_back({5, FormatHandle(b.endHandle)});
    out.insert(out.end(), b.end.begin(), b.end.end());
    if (!b.generated.empty()) {
        out.push_back({0, kGeneratedMarker});
        for (auto h : b.generated)
            out.push_back({5, FormatHandle(h)});
    }
    return out;
}

// ---- structure every saved drawing has ----

AcDbObject* Obj(AcDbObjectId id) {
    return id.isNull() ? nullptr : ObjectOf(id);
}

RawObject* AsRaw(AcDbObject* o) {
    return o ? RawObject::cast(o) : nullptr;
}

std::string RawName(const RawObject* raw) {
    for (const auto& g : raw->groups) {
        if (g.code == 2)
            return g.value;
    }
    return {};
}

const char* const kStandardTables[] = {"VPORT", "LTYPE", "LAYER",    "STYLE",       "VIEW",
                                       "UCS",   "APPID", "DIMSTYLE", "BLOCK_RECORD"};

struct Structure {
    std::unordered_map<std::string, AcDbObjectId> heads;  // table name (upper) -> head
    std::vector<AcDbObjectId> headOrder;
};

std::string Upper(std::string_view s) {
    std::string u(s);
    for (char& c : u)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
}

Structure FindStructure(AcDbDatabase* db) {
    Structure s;
    for (AcDbObjectId id : AllObjects(db)) {
        RawObject* raw = AsRaw(Obj(id));
        if (raw && raw->dxfName == "TABLE") {
            const std::string name = Upper(RawName(raw));
            if (!s.heads.count(name)) {
                s.heads[name] = id;
                s.headOrder.push_back(id);
            }
        }
    }
    return s;
}

AcDbObjectId AddRaw(AcDbDatabase* db, const std::string& type, std::vector<DxfGroup> groups,
                    AcDbObjectId owner) {
    auto* raw = new RawObject(type, std::move(groups));
    AcDbObjectId id;
    if (AddObject(db, raw, owner, AcDbHandle(), &id) != Acad::eOk) {
        delete raw;
        return {};
    }
    return id;
}

// Entries of a symbol table by upper-case name.
std::unordered_set<std::string> EntryNames(AcDbDatabase* db, AcDbObjectId head) {
    std::unordered_set<std::string> names;
    for (AcDbObjectId id : AllObjects(db)) {
        AcDbObject* o = Obj(id);
        RawObject* raw = AsRaw(o);
        if (raw && o->ownerId() == head && raw->dxfName != "TABLE")
            names.insert(Upper(RawName(raw)));
    }
    return names;
}

std::vector<DxfGroup> DefaultEntry(const std::string& table, const std::string& name) {
    std::vector<DxfGroup> g = {
        {100, "AcDbSymbolTableRecord"}, {100, TableRecordSubclass(table)}, {2, name}, {70, "0"}};
    if (table == "LTYPE") {
        g.insert(
            g.end(),
            {{3, name == "Continuous" ? "Solid line" : ""}, {72, "65"}, {73, "0"}, {40, "0.0"}});
    } else if (table == "LAYER") {
        g.insert(g.end(), {{62, "7"}, {6, "Continuous"}, {370, "-3"}});
    } else if (table == "STYLE") {
        g.insert(
            g.end(),
            {{40, "0.0"}, {41, "1.0"}, {50, "0.0"}, {71, "0"}, {42, "2.5"}, {3, "txt"}, {4, ""}});
    } else if (table == "VPORT") {
        g.insert(g.end(),
                 {{10, "0.0"},   {20, "0.0"}, {11, "1.0"},  {21, "1.0"}, {12, "0.0"}, {22, "0.0"},
                  {13, "0.0"},   {23, "0.0"}, {14, "1.0"},  {24, "1.0"}, {15, "0.0"}, {25, "0.0"},
                  {16, "0.0"},   {26, "0.0"}, {36, "1.0"},  {17, "0.0"}, {27, "0.0"}, {37, "0.0"},
                  {40, "100.0"}, {41, "1.5"}, {42, "50.0"}, {43, "0.0"}, {44, "0.0"}, {50, "0.0"},
                  {51, "0.0"},   {71, "0"},   {72, "100"},  {73, "1"},   {74, "3"},   {75, "0"},
                  {76, "0"},     {77, "0"},   {78, "0"}});
    } else if (table == "DIMSTYLE") {
        g.insert(g.end(), {{40, "1.0"},
                           {41, "2.5"},
                           {42, "0.625"},
                           {43, "3.75"},
                           {44, "1.25"},
                           {140, "2.5"},
                           {141, "2.5"},
                           {147, "0.625"}});
    }
    return g;
}

std::vector<DxfGroup> LayoutGroups(const std::string& name, int tabOrder,
                                   std::uint64_t blockRecord) {
    std::vector<DxfGroup> g = {{100, "AcDbPlotSettings"},
                               {1, ""},
                               {2, "none_device"},
                               {4, ""},
                               {6, ""},
                               {40, "0.0"},
                               {41, "0.0"},
                               {42, "0.0"},
                               {43, "0.0"},
                               {44, "420.0"},
                               {45, "297.0"},
                               {46, "0.0"},
                               {47, "0.0"},
                               {48, "0.0"},
                               {49, "0.0"},
                               {140, "0.0"},
                               {141, "0.0"},
                               {142, "1.0"},
                               {143, "1.0"},
                               {70, tabOrder == 0 ? "1024" : "0"},
                               {72, "1"},
                               {73, "0"},
                               {74, "5"},
                               {7, ""},
                               {75, "16"},
                               {76, "0"},
                               {77, "2"},
                               {78, "300"},
                               {147, "1.0"},
                               {148, "0.0"},
                               {149, "0.0"},
                               {100, "AcDbLayout"},
                               {1, name},
                               {70, "1"},
                               {71, std::to_string(tabOrder)},
                               {10, "0.0"},
                               {20, "0.0"},
                               {11, "420.0"},
                               {21, "297.0"},
                               {12, "0.0"},
                               {22, "0.0"},
                               {32, "0.0"},
                               {14, "1e+20"},
                               {24, "1e+20"},
                               {34, "1e+20"},
                               {15, "-1e+20"},
                               {25, "-1e+20"},
                               {35, "-1e+20"},
                               {146, "0.0"},
                               {13, "0.0"},
                               {23, "0.0"},
                               {33, "0.0"},
                               {16, "1.0"},
                               {26, "0.0"},
                               {36, "0.0"},
                               {17, "0.0"},
                               {27, "1.0"},
                               {37, "0.0"},
                               {76, "1"},
                               {330, FormatHandle(blockRecord)}};
    return g;
}

// The block record a LAYOUT object belongs to (the 330 of its AcDbLayout part).
std::uint64_t LayoutBlock(const RawObject* raw) {
    bool inLayout = false;
    for (const auto& g : raw->groups) {
        if (g.code == 100)
            inLayout = g.value == "AcDbLayout";
        if (inLayout && g.code == 330) {
            std::uint64_t h = 0;
            ParseHandle(g.value, h);
            return h;
        }
    }
    return 0;
}

AcDbObjectId DictEntry(AcDbObjectId dictId, const char* name) {
    AcDbDictionary* dict = Obj(dictId) ? AcDbDictionary::cast(Obj(dictId)) : nullptr;
    AcDbObjectId id;
    if (dict && dict->getAt(name, id) == Acad::eOk)
        return id;
    return {};
}

AcDbObjectId AddDictionary(AcDbDatabase* db, AcDbObjectId parent, const char* name) {
    auto* dict = new AcDbDictionary();
    AcDbObjectId id;
    if (AddObject(db, dict, parent, AcDbHandle(), &id) != Acad::eOk) {
        delete dict;
        return {};
    }
    if (!parent.isNull()) {
        if (auto* p = AcDbDictionary::cast(Obj(parent)))
            SetDictionaryEntry(p, name, id);
    }
    return id;
}

// A table style for a table: the one given when it is one, else the current style, else
// "Standard", else any style of the drawing (null when there is none).
AcDbObjectId UsableStyle(AcDbDatabase* db, AcDbObjectId id) {
    auto isStyle = [](AcDbObjectId x) { return Obj(x) && AcDbTableStyle::cast(Obj(x)); };
    if (isStyle(id))
        return id;
    if (isStyle(db->tablestyle()))
        return db->tablestyle();
    const AcDbObjectId styles = DictEntry(db->namedObjectsDictionaryId(), "ACAD_TABLESTYLE");
    if (isStyle(DictEntry(styles, "Standard")))
        return DictEntry(styles, "Standard");
    if (auto* dict = AcDbDictionary::cast(Obj(styles))) {
        std::unique_ptr<AcDbDictionaryIterator> it(dict->newIterator());
        for (; !it->done(); it->next()) {
            if (isStyle(it->objectId()))
                return it->objectId();
        }
    }
    return {};
}

// Adds what a complete drawing file needs and the database lacks.
void EnsureStructure(AcDbDatabase* db) {
    // Root dictionary and its standard entries.
    AcDbObjectId root = db->namedObjectsDictionaryId();
    if (root.isNull() || !Obj(root)) {
        root = AddDictionary(db, AcDbObjectId(), "");
        SetNamedObjectsDictionary(db, root);
    }
    if (DictEntry(root, "ACAD_GROUP").isNull())
        AddDictionary(db, root, "ACAD_GROUP");
    AcDbObjectId styles = DictEntry(root, "ACAD_TABLESTYLE");
    if (styles.isNull())
        styles = AddDictionary(db, root, "ACAD_TABLESTYLE");
    if (DictEntry(styles, "Standard").isNull()) {
        auto* style = new AcDbTableStyle();
        style->setName("Standard");
        style->setTextHeight(2.5, AcDb::kDataRow | AcDb::kHeaderRow);
        style->setTextHeight(3.5, AcDb::kTitleRow);
        style->setHorzCellMargin(0.6);
        style->setVertCellMargin(0.6);
        AcDbObjectId id;
        if (AddObject(db, style, styles, AcDbHandle(), &id) == Acad::eOk) {
            SetDictionaryEntry(AcDbDictionary::cast(Obj(styles)), "Standard", id);
        } else {
            delete style;
        }
    }
    if (!Obj(db->tablestyle()) || !AcDbTableStyle::cast(Obj(db->tablestyle()))) {
        SetCurrentTableStyle(db, UsableStyle(db, DictEntry(styles, "Standard")));
    }
    // Model space and paper space.
    auto ensureBlock = [&](const char* name) {
        if (!FindBlock(db, name).isNull())
            return;
        auto* block = new AcDbBlockTableRecord();
        block->setName(name);
        if (AddBlock(db, block, AcDbHandle(), nullptr) != Acad::eOk)
            delete block;
    };
    ensureBlock("*Model_Space");
    ensureBlock("*Paper_Space");
    // Layouts for model space and paper space.
    AcDbObjectId layouts = DictEntry(root, "ACAD_LAYOUT");
    if (layouts.isNull())
        layouts = AddDictionary(db, root, "ACAD_LAYOUT");
    std::unordered_set<std::uint64_t> withLayout;
    for (AcDbObjectId id : AllObjects(db)) {
        RawObject* raw = AsRaw(Obj(id));
        if (!raw || raw->dxfName != "LAYOUT")
            continue;
        withLayout.insert(LayoutBlock(raw));
        // A layout made without its plot settings gets the full set of groups.
        bool plot = false;
        std::string name;
        std::int64_t tab = 0;
        bool inLayout = false;
        for (const auto& g : raw->groups) {
            if (g.code == 100) {
                plot = plot || g.value == "AcDbPlotSettings";
                inLayout = g.value == "AcDbLayout";
            }
            if (inLayout && g.code == 1)
                name = g.value;
            if (inLayout && g.code == 71)
                ParseInt(g.value, tab);
        }
        if (!plot)
            raw->groups = LayoutGroups(name, static_cast<int>(tab), LayoutBlock(raw));
    }
    auto* layoutDict = AcDbDictionary::cast(Obj(layouts));
    int tab = 0;
    for (auto [space, name] :
         {std::pair{db->modelSpaceId(), "Model"}, std::pair{db->paperSpaceId(), "Layout1"}}) {
        if (!space.isNull() && !withLayout.count(space.handle().value()) && layoutDict) {
            std::string layoutName = name;
            while (layoutDict->has(layoutName.c_str()))
                layoutName += "_";
            AcDbObjectId id = AddRaw(
                db, "LAYOUT", LayoutGroups(layoutName, tab, space.handle().value()), layouts);
            SetDictionaryEntry(layoutDict, layoutName, id);
        }
        ++tab;
    }
    // Symbol tables and their standard entries.
    Structure s = FindStructure(db);
    for (const char* table : kStandardTables) {
        if (s.heads.count(table))
            continue;
        std::vector<DxfGroup> g = {{2, table}, {100, "AcDbSymbolTable"}, {70, "0"}};
        if (std::string_view(table) == "DIMSTYLE")
            g.push_back({100, "AcDbDimStyleTable"});
        s.heads[table] = AddRaw(db, "TABLE", std::move(g), AcDbObjectId());
    }
    auto ensureEntries = [&](const char* table, std::vector<std::string> names) {
        const AcDbObjectId head = s.heads[table];
        auto have = EntryNames(db, head);
        for (const auto& n : names) {
            if (!have.count(Upper(n))) {
                AddRaw(db, table, DefaultEntry(table, n), head);
                have.insert(Upper(n));
            }
        }
    };
    ensureEntries("VPORT", {"*Active"});
    ensureEntries("LTYPE", {"ByBlock", "ByLayer", "Continuous"});
    ensureEntries("STYLE", {"Standard"});
    ensureEntries("DIMSTYLE", {"Standard"});
    // Every layer in use has an entry.
    std::vector<std::string> layers = {"0"};
    std::unordered_set<std::string> seen = {"0"};
    for (AcDbObjectId id : AllObjects(db)) {
        AcDbObject* o = Obj(id);
        if (o && AcDbEntity::cast(o)) {
            const std::string& layer = o->state()->layer;
            if (!layer.empty() && seen.insert(Upper(layer)).second)
                layers.push_back(layer);
        }
    }
    ensureEntries("LAYER", layers);
    if (!db->isAppRegistered("ACAD"))
        db->registerApp("ACAD");
}

// ---- loading ----

class Loader {
public:
    Loader(Document& doc, std::vector<std::string>* repairs) : doc_(doc), repairs_(repairs) {}
    std::unique_ptr<AcDbDatabase> Run();

private:
    void Problem(std::size_t line, const std::string& what, const std::string& fix) {
        if (!repairs_)
            throw DxfError(line, what);
        repairs_->push_back((line ? "line " + std::to_string(line) + ": " : std::string()) + what +
                            "; " + fix);
    }
    // The name a block gets in the drawing. The database keeps names as C strings, so a name
    // with a NUL character in it would be cut there without notice, and the cut name could be
    // that of model space or of another block; the cut is made here, as a repair, before the
    // name is compared. The file's spellings of the two spaces become the drawing's.
    std::string BlockName(const std::string& fileName, std::size_t line) {
        std::string name = fileName.substr(0, fileName.find('\0'));
        if (name.size() != fileName.size()) {
            Problem(line, "block name \"" + name + "\" is followed by a NUL character",
                    "the name was cut there");
        }
        if (EqualNoCase(name, "$MODEL_SPACE") || EqualNoCase(name, "*MODEL_SPACE"))
            name = "*Model_Space";
        if (EqualNoCase(name, "$PAPER_SPACE") || EqualNoCase(name, "*PAPER_SPACE"))
            name = "*Paper_Space";
        return name;
    }
    template <class F>
    void ForEachRecord(F f) {
        for (auto& t : doc_.tables) {
            f(t.head);
            for (auto& e : t.entries)
                f(e);
        }
        for (auto& b : doc_.blocks) {
            f(b.begin);
            for (auto& e : b.entities)
                f(e);
            f(b.end);
        }
        for (auto& e : doc_.entities)
            f(e);
        for (auto& o : doc_.objects)
            f(o);
    }
    void AssignHandles();
    std::uint64_t H(const Record& r) const {
        auto it = assigned_.find(&r);
        return it != assigned_.end() ? it->second : r.handle();
    }
    void LoadTables();
    void LoadBlocks();
    void LoadEntity(Record& rec, AcDbObjectId blockId);
    AcDbEntity* MakeEntity(Record& rec, Parts& parts);
    void LoadObjects();
    void CheckReferences();
    void KeepRest();
    void Fail(const Record& r, Acad::ErrorStatus es) {
        throw DxfError(r.line, std::string(r.type()) + " " + FormatHandle(H(r)) +
                                   " cannot be added to the drawing (status " +
                                   std::to_string(static_cast<int>(es)) + ")");
    }

    Document& doc_;
    std::vector<std::string>* repairs_;
    std::unique_ptr<AcDbDatabase> db_;
    AcDbDatabase* db = nullptr;
    std::unordered_map<const Record*, std::uint64_t> assigned_;
    std::uint64_t seed_ = 1;
    bool old_ = false;
    std::unordered_map<std::uint64_t, std::string> entryNames_;
    std::unordered_set<std::uint64_t> tableBlockHandles_;
    std::unordered_set<std::string> tableBlockNames_;
    std::vector<std::pair<AcDbObjectId, std::size_t>> dictionaries_;  // with their file line
    std::vector<std::pair<AcDbTable*, std::pair<std::uint64_t, std::string>>> tableBlocks_;
    std::vector<std::pair<AcDbObjectId, std::uint64_t>> tableStyles_;
    std::vector<std::pair<std::string, std::size_t>> xdataApps_;
};

void Loader::AssignHandles() {
    std::unordered_set<std::uint64_t> used;
    std::uint64_t max = 0;
    std::vector<const Record*> need;
    ForEachRecord([&](Record& r) {
        if (r.tags.empty())
            return;
        std::uint64_t h = r.handle();
        if (h == 0 && !r.deferred) {
            const Tag* t = r.find(r.type() == "DIMSTYLE" ? 105 : 5);
            if (t && !ParseHandle(t->value, h)) {
                Problem(r.line,
                        std::string(r.type()) + " has an invalid handle \"" + t->value + "\"",
                        "a new handle was given");
            }
            h = 0;
        }
        if (h == 0) {
            need.push_back(&r);
            return;
        }
        if (!used.insert(h).second) {
            Problem(
                r.line,
                std::string(r.type()) + " uses handle " + FormatHandle(h) + " of another object",
                "a new handle was given");
            need.push_back(&r);
            return;
        }
        max = std::max(max, h);
    });
    std::uint64_t seed = max + 1;
    if (const HeaderVariable* v = doc_.headerVariable("$HANDSEED"); v && !v->values.empty()) {
        std::uint64_t h = 0;
        if (ParseHandle(v->values.front().value, h))
            seed = std::max(seed, h);
    }
    for (const Record* r : need)
        assigned_[r] = seed++;
    seed_ = seed;
}

void Loader::LoadTables() {
    for (auto& table : doc_.tables) {
        Parts hp = SplitRecord(table.head, false);
        const std::string name = Upper(Trimmed(table.name()));
        if (old_ && !HasSubclassMarkers(hp.groups)) {
            hp.groups.insert(hp.groups.begin() + 1, DxfGroup{100, "AcDbSymbolTable"});
            if (name == "DIMSTYLE")
                hp.groups.push_back({100, "AcDbDimStyleTable"});
        }
        auto* head = new RawObject("TABLE", std::move(hp.groups));
        AcDbObjectId headId;
        if (auto es = AddObject(db, head, AcDbObjectId(), AcDbHandle(H(table.head)), &headId);
            es != Acad::eOk) {
            delete head;
            Fail(table.head, es);
        }
        for (auto& e : table.entries) {
            Parts p = SplitRecord(e, false);
            const std::string type(e.type());
            if (old_)
                AddSubclassMarkers(type, p.groups, false);
            std::string entryName;
            for (const auto& g : p.groups) {
                if (g.code == 2) {
                    entryName = g.value;
                    break;
                }
            }
            AcDbObject* obj = nullptr;
            if (type == "APPID" && name == "APPID") {
                if (auto es = RegisterApp(db, entryName, AcDbHandle(H(e))); es != Acad::eOk) {
                    Problem(e.line,
                            "registered application \"" + entryName + "\" is invalid (status " +
                                std::to_string(static_cast<int>(es)) + ")",
                            "it was left out");
                    continue;
                }
                obj = Obj(IdForHandle(db, AcDbHandle(H(e))));
                if (!obj)
                    continue;
                obj->state()->extraGroups = std::move(p.groups);
            } else if (type == "BLOCK_RECORD" && name == "BLOCK_RECORD") {
                continue;  // made with their blocks
            } else {
                auto* raw = new RawObject(type, std::move(p.groups));
                AcDbObjectId id;
                if (auto es = AddObject(db, raw, headId, AcDbHandle(H(e)), &id); es != Acad::eOk) {
                    delete raw;
                    Fail(e, es);
                }
                obj = raw;
            }
            if (!p.xdata.empty()) {
                obj->state()->xdata = XDataFromTags(p.xdata, e.line);
                for (auto& a : obj->state()->xdata)
                    xdataApps_.push_back({a.app, e.line});
            }
        }
    }
}

void Loader::LoadBlocks() {
    // Block records of the file (R2000 and later) and the blocks, matched by handle or name.
    SymbolTable* recordTable = nullptr;
    for (auto& t : doc_.tables) {
        if (Upper(Trimmed(t.name())) == "BLOCK_RECORD")
            recordTable = &t;
    }
    std::unordered_map<std::uint64_t, Record*> recordByHandle;
    std::unordered_map<std::string, Record*> recordByName;
    if (recordTable) {
        for (auto& e : recordTable->entries) {
            if (e.type() != "BLOCK_RECORD")
                continue;
            recordByHandle[H(e)] = &e;
            recordByName[Upper(e.value(2))] = &e;
        }
    }
    std::unordered_set<const Record*> usedRecords;
    std::vector<std::pair<Block*, AcDbObjectId>> made;
    for (auto& block : doc_.blocks) {
        const std::string name = BlockName(block.name(), block.begin.line);
        Record* rec = nullptr;
        if (auto it = recordByHandle.find(block.begin.owner()); it != recordByHandle.end()) {
            rec = it->second;
        } else if (auto jt = recordByName.find(Upper(block.name())); jt != recordByName.end()) {
            rec = jt->second;
        }
        if (rec && !usedRecords.insert(rec).second)
            rec = nullptr;
        if (!FindBlock(db, name).isNull()) {
            Problem(block.begin.line, "block \"" + name + "\" is defined twice",
                    "the second definition was left out");
            continue;
        }
        BlockExtras extras;
        if (rec) {
            Parts rp = SplitRecord(*rec, false);
            extras.record = std::move(rp.groups);
        }
        Parts bp = SplitRecord(block.begin, false);
        if (old_)
            AddSubclassMarkers("BLOCK", bp.groups, true);
        Parts ep = SplitRecord(block.end, false);
        if (old_)
            AddSubclassMarkers("ENDBLK", ep.groups, true);
        extras.begin = std::move(bp.groups);
        extras.end = std::move(ep.groups);
        extras.beginHandle = H(block.begin);
        extras.endHandle = H(block.end);
        for (auto& g : extras.begin) {
            if ((g.code == 2 || g.code == 3) && name != block.name())
                g.value = name;
        }
        auto* btr = new AcDbBlockTableRecord();
        btr->setName(name.c_str());
        double origin[3] = {0, 0, 0};
        for (const auto& g : extras.begin) {
            if (g.code == 10 || g.code == 20 || g.code == 30)
                ParseDouble(g.value, origin[g.code / 10 - 1]);
        }
        btr->setOrigin(AcGePoint3d(origin[0], origin[1], origin[2]));
        const bool isTableBlock =
            (rec && tableBlockHandles_.count(H(*rec))) || tableBlockNames_.count(Upper(name));
        if (isTableBlock) {
            for (auto& e : block.entities)
                extras.generated.push_back(H(e));
        }
        btr->state()->extraGroups = WriteBlockExtras(extras);
        Parts recParts;
        if (rec)
            recParts = SplitRecord(*rec, false);
        const std::uint64_t handle = rec ? H(*rec) : seed_++;
        AcDbObjectId id;
        if (auto es = AddBlock(db, btr, AcDbHandle(handle), &id); es != Acad::eOk) {
            delete btr;
            Fail(rec ? *rec : block.begin, es);
        }
        if (rec && !recParts.xdata.empty()) {
            btr->state()->xdata = XDataFromTags(recParts.xdata, rec->line);
            for (auto& a : btr->state()->xdata)
                xdataApps_.push_back({a.app, rec->line});
        }
        if (!isTableBlock)
            made.push_back({&block, id});
    }
    // Block records without a block in the BLOCKS section.
    if (recordTable) {
        for (auto& e : recordTable->entries) {
            if (e.type() != "BLOCK_RECORD" || usedRecords.count(&e))
                continue;
            const std::string name = BlockName(e.value(2), e.line);
            if (!FindBlock(db, name).isNull())
                continue;
            Problem(e.line, "block record \"" + name + "\" has no block definition",
                    "an empty block was made");
            BlockExtras extras;
            Parts rp = SplitRecord(e, false);
            extras.record = std::move(rp.groups);
            auto* btr = new AcDbBlockTableRecord();
            btr->setName(name.c_str());
            btr->state()->extraGroups = WriteBlockExtras(extras);
            if (auto es = AddBlock(db, btr, AcDbHandle(H(e)), nullptr); es != Acad::eOk) {
                delete btr;
                Fail(e, es);
            }
        }
    }
    // Entities of the blocks, once every block exists (references may point forward).
    for (auto& [block, id] : made) {
        for (auto& e : block->entities) {
            doc_.Materialize(e);
            LoadEntity(e, id);
        }
    }
}

AcDbEntity* Loader::MakeEntity(Record& rec, Parts& parts) {
    const std::string type(rec.type());
    if (rec.table) {
        const TableData& td = *rec.table;
        auto* t = new AcDbTable();
        t->setNumRows(static_cast<int>(td.rows));
        t->setNumColumns(static_cast<int>(td.columns));
        for (std::uint32_t r = 0; r < td.rows; ++r)
            t->setRowHeight(static_cast<int>(r), td.rowHeights[r]);
        for (std::uint32_t c = 0; c < td.columns; ++c) {
            t->setColumnWidth(static_cast<int>(c), td.columnWidths[c]);
        }
        for (std::uint32_t r = 0; r < td.rows; ++r) {
            for (std::uint32_t c = 0; c < td.columns; ++c) {
                const std::string& text = td.cell(r, c);
                if (!text.empty())
                    t->setTextString(static_cast<int>(r), static_cast<int>(c), text.c_str());
            }
        }
        for (const auto& m : td.merges) {
            if (m.row + m.rows > td.rows || m.column + m.columns > td.columns)
                continue;
            t->mergeCells(static_cast<int>(m.row), static_cast<int>(m.row + m.rows - 1),
                          static_cast<int>(m.column), static_cast<int>(m.column + m.columns - 1));
        }
        t->setPosition(AcGePoint3d(td.position[0], td.position[1], td.position[2]));
        t->setDirection(AcGeVector3d(td.direction[0], td.direction[1], td.direction[2]));
        if (td.normal[0] != 0 || td.normal[1] != 0 || td.normal[2] != 1) {
            SetTableNormal(t, AcGeVector3d(td.normal[0], td.normal[1], td.normal[2]));
        }
        tableBlocks_.push_back({t, {td.blockRecordHandle, td.blockName}});
        tableStyles_.push_back({AcDbObjectId(), td.styleHandle});
        (void)parts;
        return t;
    }
    if (type == "INSERT") {
        std::string name;
        double pos[3] = {0, 0, 0};
        double scale[3] = {1, 1, 1};
        double normal[3] = {0, 0, 1};
        double rotation = 0;
        bool inRef = old_;
        for (const auto& g : parts.groups) {
            if (g.code == 100)
                inRef = g.value == "AcDbBlockReference";
            if (!inRef)
                continue;
            if (g.code == 2 && name.empty())
                name = g.value;
            if (g.code == 10 || g.code == 20 || g.code == 30)
                ParseDouble(g.value, pos[g.code / 10 - 1]);
            if (g.code == 50)
                ParseDouble(g.value, rotation);
            if (g.code >= 41 && g.code <= 43)
                ParseDouble(g.value, scale[g.code - 41]);
            if (g.code == 210 || g.code == 220 || g.code == 230) {
                ParseDouble(g.value, normal[(g.code - 210) / 10]);
            }
        }
        std::string lookup = name;
        if (EqualNoCase(lookup, "$MODEL_SPACE"))
            lookup = "*Model_Space";
        if (EqualNoCase(lookup, "$PAPER_SPACE"))
            lookup = "*Paper_Space";
        AcDbObjectId blockId = FindBlock(db, lookup);
        if (blockId.isNull()) {
            Problem(rec.line, "INSERT refers to the missing block \"" + name + "\"",
                    "the reference was left out");
            return nullptr;
        }
        auto* ref = new AcDbBlockReference(AcGePoint3d(pos[0], pos[1], pos[2]), blockId);
        ref->setRotation(rotation * M_PI / 180.0);
        SetScale(ref, AcGeVector3d(scale[0], scale[1], scale[2]));
        if (normal[0] != 0 || normal[1] != 0 || normal[2] != 1) {
            SetNormal(ref, AcGeVector3d(normal[0], normal[1], normal[2]));
        }
        return ref;
    }
    if (old_)
        AddSubclassMarkers(type, parts.groups, true);
    return new RawEntity(type, parts.groups);
}

void Loader::LoadEntity(Record& rec, AcDbObjectId blockId) {
    Parts parts = SplitRecord(rec, true);
    // Parts of complex entities keep their head entity as owner, behind a marker.
    if (parts.owner && parts.owner != blockId.handle().value() && rec.type() != "ACAD_TABLE" &&
        rec.type() != "INSERT") {
        AcDbObject* head = Obj(IdForHandle(db, AcDbHandle(parts.owner)));
        if (head && AcDbEntity::cast(head)) {
            parts.groups.insert(parts.groups.begin(), {DxfGroup{0, kOwnerMarker},
                                                       DxfGroup{330, FormatHandle(parts.owner)}});
        }
    }
    // Owned here until the database takes it (reading its extended data may still fail).
    std::unique_ptr<AcDbEntity> owned(MakeEntity(rec, parts));
    AcDbEntity* ent = owned.get();
    if (!ent)
        return;
    if (!RawEntity::cast(ent)) {
        if (old_)
            AddSubclassMarkers(rec.table ? std::string("INSERT") : std::string(rec.type()),
                               parts.groups, true);
        ent->state()->extraGroups = std::move(parts.groups);
    }
    ent->state()->layer = parts.hasLayer ? parts.layer : std::string("0");
    if (!parts.xdata.empty()) {
        ent->state()->xdata = XDataFromTags(parts.xdata, rec.line);
        for (auto& a : ent->state()->xdata)
            xdataApps_.push_back({a.app, rec.line});
    }
    if (auto es = AppendEntity(db, blockId, ent, AcDbHandle(H(rec)), nullptr); es != Acad::eOk) {
        Fail(rec, es);
    }
    owned.release();
    if (auto* t = AcDbTable::cast(ent);
        t && !tableStyles_.empty() && tableStyles_.back().first.isNull()) {
        tableStyles_.back().first = t->objectId();
    }
}

void Loader::LoadObjects() {
    bool first = true;
    for (auto& rec : doc_.objects) {
        const std::string type(rec.type());
        Parts p = SplitRecord(rec, false);
        AcDbObjectId owner = p.owner ? IdForHandle(db, AcDbHandle(p.owner)) : AcDbObjectId();
        AcDbObject* obj = nullptr;
        std::vector<std::pair<std::string, std::uint64_t>> entries;
        if (type == "DICTIONARY") {
            auto* dict = new AcDbDictionary();
            std::vector<DxfGroup> kept;
            bool marked = false;
            for (std::size_t i = 0; i < p.groups.size(); ++i) {
                const DxfGroup& g = p.groups[i];
                if (g.code == 3 && i + 1 < p.groups.size() &&
                    (p.groups[i + 1].code == 350 || p.groups[i + 1].code == 360)) {
                    std::uint64_t h = 0;
                    ParseHandle(p.groups[i + 1].value, h);
                    entries.push_back({g.value, h});
                    if (!marked)
                        kept.push_back({0, "*ENTRIES"});
                    marked = true;
                    ++i;
                    continue;
                }
                kept.push_back(g);
            }
            if (!marked)
                kept.push_back({0, "*ENTRIES"});
            dict->state()->extraGroups = std::move(kept);
            obj = dict;
        } else if (type == "TABLESTYLE") {
            auto* style = new AcDbTableStyle();
            auto it = entryNames_.find(H(rec));
            style->setName(it != entryNames_.end() ? it->second.c_str() : rec.value(3).c_str());
            int heights = 0;
            bool inStyle = false;
            for (const auto& g : p.groups) {
                double v = 0;
                if (g.code == 100)
                    inStyle = g.value == "AcDbTableStyle";
                if (!inStyle || !ParseDouble(g.value, v))
                    continue;
                if (g.code == 40)
                    style->setHorzCellMargin(v);
                if (g.code == 41)
                    style->setVertCellMargin(v);
                if (g.code == 140 && heights < 3) {
                    static const int kRows[] = {AcDb::kDataRow, AcDb::kHeaderRow, AcDb::kTitleRow};
                    style->setTextHeight(v, kRows[heights++]);
                }
            }
            style->state()->extraGroups = std::move(p.groups);
            obj = style;
        } else {
            obj = new RawObject(type, std::move(p.groups));
        }
        AcDbObjectId id;
        if (auto es = AddObject(db, obj, owner, AcDbHandle(H(rec)), &id); es != Acad::eOk) {
            delete obj;
            Fail(rec, es);
        }
        if (auto* dict = AcDbDictionary::cast(obj)) {
            for (auto& [name, h] : entries) {
                const AcDbObjectId entry = IdForHandle(db, AcDbHandle(h));
                // Entries name objects: never an entity, a block or a symbol-table entry (a
                // damaged file can point there, for instance after duplicate handles).
                AcDbObject* eo = Obj(entry);
                RawObject* raw = AsRaw(eo);
                AcDbObject* eowner = eo ? Obj(eo->ownerId()) : nullptr;
                if (eo && (AcDbEntity::cast(eo) || AcDbBlockTableRecord::cast(eo) ||
                           RegAppRecord::cast(eo) || (raw && raw->dxfName == "TABLE") ||
                           (eowner && AsRaw(eowner) && AsRaw(eowner)->dxfName == "TABLE"))) {
                    Problem(rec.line,
                            "dictionary entry \"" + name + "\" names " + DxfNameOf(eo) + " " +
                                FormatHandle(h) + ", which cannot be a dictionary entry",
                            "the entry was removed");
                    continue;
                }
                SetDictionaryEntry(dict, name, entry);
            }
            dictionaries_.push_back({id, rec.line});
            if (first)
                SetNamedObjectsDictionary(db, id);
        }
        first = false;
        if (!p.xdata.empty()) {
            obj->state()->xdata = XDataFromTags(p.xdata, rec.line);
            for (auto& a : obj->state()->xdata)
                xdataApps_.push_back({a.app, rec.line});
        }
    }
}

void Loader::CheckReferences() {
    const AcDbObjectId root = db->namedObjectsDictionaryId();
    // Dictionary entries that name nothing.
    for (auto& [dictId, line] : dictionaries_) {
        auto* dict = AcDbDictionary::cast(Obj(dictId));
        if (!dict)
            continue;
        std::vector<std::string> dangling;
        std::unique_ptr<AcDbDictionaryIterator> it(dict->newIterator());
        for (; !it->done(); it->next()) {
            if (!Obj(it->objectId()))
                dangling.push_back(it->nameUtf8());
        }
        for (const auto& name : dangling) {
            Problem(line, "dictionary entry \"" + name + "\" names a missing object",
                    "the entry was removed");
            AcDbDictionary* w = nullptr;
            if (acdbOpenObject(w, dictId, AcDb::kForWrite) == Acad::eOk) {
                w->remove(name.c_str());
                w->close();
            }
        }
    }
    // Owners that do not exist.
    for (AcDbObjectId id : AllObjects(db)) {
        AcDbObject* o = Obj(id);
        if (!o || AcDbEntity::cast(o) || AcDbBlockTableRecord::cast(o) || RegAppRecord::cast(o))
            continue;
        const AcDbObjectId owner = o->ownerId();
        RawObject* raw = AsRaw(o);
        if (raw && raw->dxfName == "TABLE")
            continue;
        // Only symbol-table entries belong to symbol tables.
        RawObject* ownerRaw = AsRaw(Obj(owner));
        const bool ownedByTable = ownerRaw && ownerRaw->dxfName == "TABLE";
        const bool entry = raw && IsSymbolTableEntry(raw->dxfName);
        if (owner.isNull() || (Obj(owner) && ownedByTable == entry) ||
            (Obj(owner) && !ownedByTable))
            continue;
        Problem(0,
                DxfNameOf(o) + " " + FormatHandle(id.handle().value()) + ": its owner " +
                    FormatHandle(owner.handle().value()) +
                    (Obj(owner) ? " is a symbol table" : " does not exist"),
                "it was given to the named-object dictionary");
        AcDbObject* w = nullptr;
        if (acdbOpenAcDbObject(w, id, AcDb::kForWrite) == Acad::eOk) {
            w->setOwnerId(root);
            w->close();
        }
    }
    // Tables: their styles and blocks.
    const AcDbObjectId standard = UsableStyle(db, AcDbObjectId());
    for (auto& [tableId, styleHandle] : tableStyles_) {
        if (tableId.isNull())
            continue;
        AcDbObjectId style =
            styleHandle ? IdForHandle(db, AcDbHandle(styleHandle)) : AcDbObjectId();
        AcDbObject* so = Obj(style);
        if (!so || !AcDbTableStyle::cast(so)) {
            if (styleHandle) {
                Problem(0,
                        "ACAD_TABLE " + FormatHandle(tableId.handle().value()) +
                            " uses the missing table style " + FormatHandle(styleHandle),
                        "it uses the current table style");
            }
            style = standard;
        }
        AcDbTable* t = nullptr;
        if (acdbOpenObject(t, tableId, AcDb::kForWrite) == Acad::eOk) {
            t->setTableStyle(style);
            t->close();
        }
    }
    for (auto& [table, ref] : tableBlocks_) {
        AcDbObjectId block;
        if (ref.first) {
            AcDbObjectId id = IdForHandle(db, AcDbHandle(ref.first));
            if (Obj(id) && AcDbBlockTableRecord::cast(Obj(id)))
                block = id;
        }
        if (block.isNull() && !ref.second.empty())
            block = FindBlock(db, ref.second);
        if (!block.isNull())
            SetTableBlockId(table, block);
    }
}

void Loader::KeepRest() {
    std::vector<DxfGroup> header;
    for (const auto& v : doc_.header) {
        header.push_back({9, v.name});
        for (const auto& t : v.values)
            header.push_back({t.code, t.value});
    }
    AddRaw(db, kHeaderHolder, std::move(header), AcDbObjectId());
    std::vector<DxfGroup> classes;
    for (const auto& c : doc_.classes) {
        for (const auto& t : c.tags)
            classes.push_back({t.code, t.value});
    }
    AddRaw(db, kClassesHolder, std::move(classes), AcDbObjectId());
    for (const auto& s : doc_.otherSections) {
        std::vector<DxfGroup> g = {{2, s.name}, {3, s.after}};
        for (const auto& t : s.tags)
            g.push_back({t.code, t.value});
        AddRaw(db, kSectionHolder, std::move(g), AcDbObjectId());
    }
}

std::unique_ptr<AcDbDatabase> Loader::Run() {
    const std::string version = doc_.version();
    old_ = !version.empty() && version < "AC1015";
    if (version.empty() && doc_.hasObjects)
        old_ = false;
    if (version.empty() && !doc_.hasObjects)
        old_ = true;
    if (!version.empty() && (version < "AC1009" || version > "AC1032")) {
        Problem(0, "unknown drawing version " + version, "read as the nearest known version");
    }
    if (!old_) {
        for (auto [has, name] :
             {std::pair{doc_.hasTables, "TABLES"}, std::pair{doc_.hasBlocks, "BLOCKS"},
              std::pair{doc_.hasEntities, "ENTITIES"}, std::pair{doc_.hasObjects, "OBJECTS"}}) {
            if (!has)
                Problem(0, std::string("the ") + name + " section is missing",
                        "an empty one was made");
        }
    }
    // What dictionaries call their entries, and which blocks show tables.
    for (const auto& rec : doc_.objects) {
        if (rec.type() != "DICTIONARY")
            continue;
        for (std::size_t i = 1; i + 1 < rec.tags.size(); ++i) {
            if (rec.tags[i].code == 3 &&
                (rec.tags[i + 1].code == 350 || rec.tags[i + 1].code == 360)) {
                std::uint64_t h = 0;
                if (ParseHandle(rec.tags[i + 1].value, h))
                    entryNames_.emplace(h, rec.tags[i].value);
            }
        }
    }
    auto noteTable = [&](const Record& r) {
        if (!r.table)
            return;
        if (r.table->blockRecordHandle)
            tableBlockHandles_.insert(r.table->blockRecordHandle);
        if (!r.table->blockName.empty())
            tableBlockNames_.insert(Upper(r.table->blockName));
    };
    for (const auto& e : doc_.entities)
        noteTable(e);
    for (const auto& b : doc_.blocks) {
        for (const auto& e : b.entities)
            noteTable(e);
    }
    AssignHandles();
    db_ = std::make_unique<AcDbDatabase>(false);
    db = db_.get();
    LoadTables();
    LoadBlocks();
    // Model space and paper space must exist before the entities that go there.
    for (const char* name : {"*Model_Space", "*Paper_Space"}) {
        if (!FindBlock(db, name).isNull())
            continue;
        BlockExtras extras;
        extras.beginHandle = seed_++;
        extras.endHandle = seed_++;
        auto* btr = new AcDbBlockTableRecord();
        btr->setName(name);
        btr->state()->extraGroups = WriteBlockExtras(extras);
        if (AddBlock(db, btr, AcDbHandle(seed_++), nullptr) != Acad::eOk)
            delete btr;
    }
    for (auto& e : doc_.entities) {
        AcDbObjectId block;
        const std::uint64_t owner = e.owner();
        if (owner) {
            AcDbObjectId id = IdForHandle(db, AcDbHandle(owner));
            if (Obj(id) && AcDbBlockTableRecord::cast(Obj(id))) {
                block = id;
            } else if (Obj(id) && AcDbEntity::cast(Obj(id))) {
                // A part of a complex entity (VERTEX, ATTRIB, SEQEND): in its head's block.
                block = AcDbEntity::cast(Obj(id))->blockId();
            } else {
                Problem(e.line,
                        std::string(e.type()) + " " + FormatHandle(H(e)) + ": its owner " +
                            FormatHandle(owner) + " is not a block",
                        "it was put in model space");
            }
        }
        if (block.isNull()) {
            const Tag* space = e.find(67);
            block = (space && Trimmed(space->value) == "1") ? FindBlock(db, "*Paper_Space")
                                                            : FindBlock(db, "*Model_Space");
        }
        LoadEntity(e, block);
    }
    LoadObjects();
    SetHandseed(db, AcDbHandle(seed_));
    EnsureStructure(db);
    CheckReferences();
    // Applications named by extended data must be registered.
    std::unordered_set<std::string> refused;
    for (auto& [app, line] : xdataApps_) {
        if (db->isAppRegistered(app.c_str()) || refused.count(app))
            continue;
        if (db->registerApp(app.c_str()) == Acad::eOk && db->isAppRegistered(app.c_str())) {
            Problem(line, "extended data of the unregistered application \"" + app + "\"",
                    "the application was registered");
        } else {
            Problem(line, "extended data of the application \"" + app + "\", an invalid name",
                    "that application's data was removed");
            refused.insert(app);
        }
    }
    if (!refused.empty()) {
        for (AcDbObjectId id : AllObjects(db)) {
            AcDbObject* o = Obj(id);
            if (!o)
                continue;
            auto& x = o->state()->xdata;
            x.erase(std::remove_if(x.begin(), x.end(),
                                   [&](const XDataApp& a) { return refused.count(a.app) > 0; }),
                    x.end());
        }
    }
    KeepRest();
    return std::move(db_);
}

// ---- saving ----

struct ClassInfo {
    const char* name;
    const char* cpp;
    const char* app;
    const char* flags;
    const char* isEntity;
};
const ClassInfo kNeededClasses[] = {
    {"ACAD_TABLE", "AcDbTable", "ObjectDBX Classes", "1025", "1"},
    {"TABLESTYLE", "AcDbTableStyle", "ObjectDBX Classes", "4095", "0"},
    {"LAYOUT", "AcDbLayout", "ObjectDBX Classes", "0", "0"},
};

class Saver {
public:
    explicit Saver(AcDbDatabase* db) : db(db) {}
    Document Run();

private:
    std::uint64_t NewHandle() {
        const std::uint64_t h = db->handseed().value();
        SetHandseed(db, AcDbHandle(h + 1));
        return h;
    }
    void Note(std::uint64_t h) {
        maxHandle_ = std::max(maxHandle_, h);
        written_.insert(h);
    }
    void CheckReferences(Document& doc);
    std::unordered_set<std::uint64_t> written_;
    void Header(Document& doc);
    void Classes(Document& doc);
    void Tables(Document& doc);
    void Blocks(Document& doc);
    Record EntityRecord(AcDbObjectId id, AcDbObjectId block, bool paperSpace);
    Record ObjectRecord(AcDbObjectId id);
    void AddXData(Record& r, const AcDbObject* o) {
        const auto& x = XDataOf(o);
        if (x.empty())
            return;
        XDataToTags(x, r.table ? r.xdata : r.tags);
    }
    std::shared_ptr<TableData> TableDataOf(const AcDbTable* t);

    AcDbDatabase* db;
    std::uint64_t maxHandle_ = 0;
    std::vector<AcDbObjectId> all_;
    Structure structure_;
    std::unordered_map<AcDbStub*, AcDbObjectId> tableOfBlock_;  // block record -> table
    double ext_[6] = {1e20, 1e20, 1e20, -1e20, -1e20, -1e20};
};

std::shared_ptr<TableData> Saver::TableDataOf(const AcDbTable* t) {
    auto td = std::make_shared<TableData>();
    td->rows = t->numRows();
    td->columns = t->numColumns();
    td->rowHeights.resize(td->rows);
    td->columnWidths.resize(td->columns);
    for (std::uint32_t r = 0; r < td->rows; ++r)
        td->rowHeights[r] = t->rowHeight(static_cast<int>(r));
    for (std::uint32_t c = 0; c < td->columns; ++c) {
        td->columnWidths[c] = t->columnWidth(static_cast<int>(c));
    }
    td->cells.resize(static_cast<std::size_t>(td->rows) * td->columns);
    for (std::uint32_t r = 0; r < td->rows; ++r) {
        for (std::uint32_t c = 0; c < td->columns; ++c) {
            const CStringA text = t->textStringA(static_cast<int>(r), static_cast<int>(c));
            td->cells[static_cast<std::size_t>(r) * td->columns + c] = std::string(text.View());
            int r0 = 0, r1 = 0, c0 = 0, c1 = 0;
            if (t->isMergedCell(static_cast<int>(r), static_cast<int>(c), &r0, &r1, &c0, &c1) &&
                r0 == static_cast<int>(r) && c0 == static_cast<int>(c)) {
                td->merges.push_back({r, c, static_cast<std::uint32_t>(r1 - r0 + 1),
                                      static_cast<std::uint32_t>(c1 - c0 + 1)});
            }
        }
    }
    const AcGePoint3d p = t->position();
    const AcGeVector3d d = t->direction();
    const AcGeVector3d n = t->normal();
    td->position[0] = p.x, td->position[1] = p.y, td->position[2] = p.z;
    td->direction[0] = d.x, td->direction[1] = d.y, td->direction[2] = d.z;
    td->normal[0] = n.x, td->normal[1] = n.y, td->normal[2] = n.z;
    const AcDbObjectId style = UsableStyle(db, t->tableStyle());
    td->styleHandle = style.handle().value();
    if (auto* s = Obj(style) ? AcDbTableStyle::cast(Obj(style)) : nullptr) {
        td->textHeight = s->textHeight(AcDb::kDataRow);
        td->horzMargin = s->horzCellMargin();
        td->vertMargin = s->vertCellMargin();
    }
    const AcDbObjectId block = t->tableBlockId();
    td->blockRecordHandle = block.handle().value();
    if (auto* b = Obj(block) ? AcDbBlockTableRecord::cast(Obj(block)) : nullptr) {
        td->blockName = std::string(b->nameA().View());
    }
    return td;
}

void Saver::Header(Document& doc) {
    for (AcDbObjectId id : all_) {
        RawObject* raw = AsRaw(Obj(id));
        if (!raw || raw->dxfName != kHeaderHolder)
            continue;
        for (const auto& g : raw->groups) {
            if (g.code == 9) {
                doc.header.push_back(HeaderVariable{g.value, {}});
            } else if (!doc.header.empty()) {
                doc.header.back().values.push_back({g.code, g.value});
            }
        }
        break;
    }
    auto set = [&](const char* name, Tags values, bool front = false) {
        if (HeaderVariable* v = doc.headerVariable(name)) {
            v->values = std::move(values);
        } else if (front) {
            doc.header.insert(doc.header.begin(), HeaderVariable{name, std::move(values)});
        } else {
            doc.header.push_back(HeaderVariable{name, std::move(values)});
        }
    };
    auto point = [](double x, double y, double z) {
        return Tags{{10, FormatDouble(x)}, {20, FormatDouble(y)}, {30, FormatDouble(z)}};
    };
    set("$ACADVER", {{1, "AC1024"}}, true);
    set("$DWGCODEPAGE", {{3, "ANSI_1252"}});
    if (!doc.headerVariable("$INSBASE"))
        set("$INSBASE", point(0, 0, 0));
    set("$EXTMIN", point(ext_[0], ext_[1], ext_[2]));
    set("$EXTMAX", point(ext_[3], ext_[4], ext_[5]));
    if (!doc.headerVariable("$LIMMIN"))
        set("$LIMMIN", {{10, "0.0"}, {20, "0.0"}});
    if (!doc.headerVariable("$LIMMAX"))
        set("$LIMMAX", {{10, "420.0"}, {20, "297.0"}});
    if (!doc.headerVariable("$CLAYER"))
        set("$CLAYER", {{8, "0"}});
    if (!doc.headerVariable("$TEXTSTYLE"))
        set("$TEXTSTYLE", {{7, "Standard"}});
    if (!doc.headerVariable("$DIMSTYLE"))
        set("$DIMSTYLE", {{2, "Standard"}});
    set("$HANDSEED", {{5, FormatHandle(maxHandle_ + 1)}});
}

void Saver::Classes(Document& doc) {
    for (AcDbObjectId id : all_) {
        RawObject* raw = AsRaw(Obj(id));
        if (!raw || raw->dxfName != kClassesHolder)
            continue;
        for (const auto& g : raw->groups) {
            if (g.code == 0)
                doc.classes.emplace_back();
            if (!doc.classes.empty())
                doc.classes.back().tags.push_back({g.code, g.value});
        }
        break;
    }
    for (const auto& c : kNeededClasses) {
        bool have = false;
        for (const auto& r : doc.classes)
            have = have || r.value(1) == c.name;
        if (have)
            continue;
        Record r;
        r.tags = {{0, "CLASS"},  {1, c.name}, {2, c.cpp}, {3, c.app},
                  {90, c.flags}, {91, "0"},   {280, "0"}, {281, c.isEntity}};
        doc.classes.push_back(std::move(r));
    }
}

void Saver::Tables(Document& doc) {
    // Heads in the usual order, then any others.
    std::vector<AcDbObjectId> heads;
    for (const char* name : kStandardTables) {
        if (auto it = structure_.heads.find(name); it != structure_.heads.end())
            heads.push_back(it->second);
    }
    for (AcDbObjectId id : structure_.headOrder) {
        if (std::find(heads.begin(), heads.end(), id) == heads.end())
            heads.push_back(id);
    }
    std::unordered_map<AcDbStub*, std::vector<AcDbObjectId>> entries;
    for (AcDbObjectId id : all_) {
        AcDbObject* o = Obj(id);
        RawObject* raw = AsRaw(o);
        if (raw && IsSymbolTableEntry(raw->dxfName) && structure_.heads.size() &&
            Obj(o->ownerId()) && AsRaw(Obj(o->ownerId())) &&
            AsRaw(Obj(o->ownerId()))->dxfName == "TABLE") {
            entries[o->ownerId().stub()].push_back(id);
        }
    }
    for (AcDbObjectId headId : heads) {
        RawObject* head = AsRaw(Obj(headId));
        const std::string name = Upper(RawName(head));
        SymbolTable table;
        std::vector<Record> list;
        if (name == "APPID") {
            for (AcDbObjectId id : RegisteredApps(db)) {
                AcDbObject* o = Obj(id);
                auto* app = o ? RegAppRecord::cast(o) : nullptr;
                if (!app)
                    continue;
                std::vector<DxfGroup> g = o->state()->extraGroups;
                if (g.empty()) {
                    g = {{100, "AcDbSymbolTableRecord"},
                         {100, "AcDbRegAppTableRecord"},
                         {2, app->name},
                         {70, "0"}};
                }
                Patch(g, 2, app->name);
                Record r;
                Assemble(r, "APPID", id.handle().value(), headId.handle().value(), nullptr, g);
                AddXData(r, o);
                Note(id.handle().value());
                list.push_back(std::move(r));
            }
        } else if (name == "BLOCK_RECORD") {
            // Layouts of the blocks.
            std::unordered_map<std::uint64_t, std::uint64_t> layoutOf;
            for (AcDbObjectId id : all_) {
                RawObject* raw = AsRaw(Obj(id));
                if (raw && raw->dxfName == "LAYOUT")
                    layoutOf[LayoutBlock(raw)] = id.handle().value();
            }
            for (AcDbObjectId id : host::Blocks(db)) {
                auto* btr = Obj(id) ? AcDbBlockTableRecord::cast(Obj(id)) : nullptr;
                if (!btr)
                    continue;
                BlockExtras ex = ReadBlockExtras(btr->state()->extraGroups);
                const std::string bname(btr->nameA().View());
                std::vector<DxfGroup> g = ex.record;
                if (g.empty()) {
                    g = {{100, "AcDbSymbolTableRecord"}, {100, "AcDbBlockTableRecord"}, {2, bname}};
                    auto lt = layoutOf.find(id.handle().value());
                    g.push_back({340, FormatHandle(lt != layoutOf.end() ? lt->second : 0)});
                    g.insert(g.end(), {{70, "0"}, {280, "1"}, {281, "0"}});
                }
                Patch(g, 2, bname);
                Record r;
                Assemble(r, "BLOCK_RECORD", id.handle().value(), headId.handle().value(), nullptr,
                         g);
                AddXData(r, btr);
                Note(id.handle().value());
                list.push_back(std::move(r));
            }
        } else {
            for (AcDbObjectId id : entries[headId.stub()]) {
                RawObject* raw = AsRaw(Obj(id));
                std::vector<DxfGroup> g = raw->groups;
                AddSubclassMarkers(raw->dxfName, g, false);
                Record r;
                Assemble(r, raw->dxfName, id.handle().value(), headId.handle().value(), nullptr, g);
                AddXData(r, raw);
                Note(id.handle().value());
                list.push_back(std::move(r));
            }
        }
        std::vector<DxfGroup> hg = head->groups;
        Patch(hg, 70, std::to_string(list.size()));
        Assemble(table.head, "TABLE", headId.handle().value(), 0, nullptr, hg);
        AddXData(table.head, head);
        Note(headId.handle().value());
        table.entries = std::move(list);
        doc.tables.push_back(std::move(table));
    }
}

Record Saver::EntityRecord(AcDbObjectId id, AcDbObjectId block, bool paperSpace) {
    AcDbObject* o = Obj(id);
    auto* ent = AcDbEntity::cast(o);
    const std::uint64_t handle = id.handle().value();
    const std::uint64_t owner = block.handle().value();  // the block it is listed in
    Note(handle);
    Record r;
    std::vector<DxfGroup> g = o->state()->extraGroups;
    std::string layer = o->state()->layer.empty() ? std::string("0") : o->state()->layer;
    AcGePoint3d lo, hi;
    if (!paperSpace && ent->getGeomExtents(lo, hi) == Acad::eOk) {
        ext_[0] = std::min(ext_[0], lo.x), ext_[1] = std::min(ext_[1], lo.y);
        ext_[2] = std::min(ext_[2], lo.z), ext_[3] = std::max(ext_[3], hi.x);
        ext_[4] = std::max(ext_[4], hi.y), ext_[5] = std::max(ext_[5], hi.z);
    }
    if (auto* raw = RawEntity::cast(o)) {
        g = raw->groups;
        std::uint64_t partOf = 0;
        if (g.size() >= 2 && g[0].code == 0 && g[0].value == kOwnerMarker && g[1].code == 330 &&
            ParseHandle(g[1].value, partOf)) {
            g.erase(g.begin(), g.begin() + 2);
        }
        AddSubclassMarkers(raw->dxfName, g, true);
        Assemble(r, raw->dxfName, handle, partOf ? partOf : owner, &layer, g);
    } else if (auto* t = AcDbTable::cast(o)) {
        if (g.empty())
            g = {{100, "AcDbEntity"}};
        if (paperSpace)
            Patch(g, 67, "1", "AcDbEntity");
        Assemble(r, "ACAD_TABLE", handle, owner, &layer, g);
        r.table = TableDataOf(t);
    } else if (auto* ref = AcDbBlockReference::cast(o)) {
        if (g.empty())
            g = {{100, "AcDbEntity"}, {100, "AcDbBlockReference"}};
        if (paperSpace)
            Patch(g, 67, "1", "AcDbEntity");
        auto* btr = Obj(ref->blockTableRecord())
                        ? AcDbBlockTableRecord::cast(Obj(ref->blockTableRecord()))
                        : nullptr;
        Patch(g, 2, btr ? std::string(btr->nameA().View()) : std::string("*Model_Space"),
              "AcDbBlockReference");
        const AcGePoint3d p = ref->position();
        Patch(g, 10, FormatDouble(p.x), "AcDbBlockReference");
        Patch(g, 20, FormatDouble(p.y), "AcDbBlockReference");
        Patch(g, 30, FormatDouble(p.z), "AcDbBlockReference");
        const double degrees = ref->rotation() * 180.0 / M_PI;
        bool hasRotation = false;
        for (const auto& x : g)
            hasRotation = hasRotation || x.code == 50;
        if (hasRotation || degrees != 0)
            Patch(g, 50, FormatDouble(degrees), "AcDbBlockReference");
        // Scale and normal: written when they differ from the defaults or were in the file.
        auto has = [&](int code) {
            return std::any_of(g.begin(), g.end(),
                               [&](const DxfGroup& x) { return x.code == code; });
        };
        const AcGeVector3d scale = ScaleOf(ref), normal = NormalOf(ref);
        const double sv[3] = {scale.x, scale.y, scale.z};
        for (int k = 0; k < 3; ++k) {
            if (has(41 + k) || sv[k] != 1) {
                Patch(g, 41 + k, FormatDouble(sv[k]), "AcDbBlockReference");
            }
        }
        if (has(210) || normal.x != 0 || normal.y != 0 || normal.z != 1) {
            Patch(g, 210, FormatDouble(normal.x), "AcDbBlockReference");
            Patch(g, 220, FormatDouble(normal.y), "AcDbBlockReference");
            Patch(g, 230, FormatDouble(normal.z), "AcDbBlockReference");
        }
        Assemble(r, "INSERT", handle, owner, &layer, g);
    } else {
        Assemble(r, DxfNameOf(o), handle, owner, &layer, g);
    }
    AddXData(r, o);
    return r;
}

Record Saver::ObjectRecord(AcDbObjectId id) {
    AcDbObject* o = Obj(id);
    const std::uint64_t handle = id.handle().value();
    const std::uint64_t owner = o->ownerId().handle().value();
    Note(handle);
    Record r;
    std::vector<DxfGroup> g = o->state()->extraGroups;
    if (auto* raw = RawObject::cast(o)) {
        Assemble(r, raw->dxfName, handle, owner, nullptr, raw->groups);
    } else if (auto* dict = AcDbDictionary::cast(o)) {
        if (g.empty())
            g = {{100, "AcDbDictionary"}, {281, "1"}, {0, "*ENTRIES"}};
        int entryCode = 350;
        for (const auto& x : g) {
            if (x.code == 280 && Trimmed(x.value) == "1")
                entryCode = 360;
        }
        std::vector<DxfGroup> out;
        for (const auto& x : g) {
            if (x.code == 0 && x.value == "*ENTRIES") {
                std::unique_ptr<AcDbDictionaryIterator> it(dict->newIterator());
                for (; !it->done(); it->next()) {
                    if (!Obj(it->objectId()))
                        continue;
                    out.push_back({3, it->nameUtf8()});
                    out.push_back({entryCode, FormatHandle(it->objectId().handle().value())});
                }
            } else {
                out.push_back(x);
            }
        }
        Assemble(r, "DICTIONARY", handle, owner, nullptr, out);
    } else if (auto* style = AcDbTableStyle::cast(o)) {
        if (g.empty()) {
            char* name = nullptr;
            style->getName(name);
            g = {{100, "AcDbTableStyle"},
                 {280, "0"},
                 {3, name ? name : ""},
                 {70, "0"},
                 {71, "0"},
                 {40, "0"},
                 {41, "0"},
                 {280, "0"},
                 {281, "0"}};
            delete[] name;
            for (int row : {AcDb::kDataRow, AcDb::kHeaderRow, AcDb::kTitleRow}) {
                g.insert(g.end(),
                         {{7, "Standard"},
                          {140, FormatDouble(style->textHeight(static_cast<AcDb::RowType>(row)))},
                          {170, row == AcDb::kDataRow ? "1" : "2"},
                          {62, "0"},
                          {63, "7"},
                          {283, "0"},
                          {90, "512"},
                          {91, "0"},
                          {1, ""},
                          {274, "-2"},
                          {275, "-2"},
                          {276, "-2"},
                          {277, "-2"},
                          {278, "-2"},
                          {279, "-2"},
                          {284, "1"},
                          {285, "1"},
                          {286, "1"},
                          {287, "1"},
                          {288, "1"},
                          {289, "1"},
                          {64, "0"},
                          {65, "0"},
                          {66, "0"},
                          {67, "0"},
                          {68, "0"},
                          {69, "0"}});
            }
        }
        Patch(g, 40, FormatDouble(style->horzCellMargin()), "AcDbTableStyle");
        Patch(g, 41, FormatDouble(style->vertCellMargin()), "AcDbTableStyle");
        // The first text height is the data rows'.
        for (auto& x : g) {
            if (x.code == 140) {
                x.value = FormatDouble(style->textHeight(AcDb::kDataRow));
                break;
            }
        }
        Assemble(r, "TABLESTYLE", handle, owner, nullptr, g);
    } else {
        Assemble(r, DxfNameOf(o), handle, owner, nullptr, g);
    }
    AddXData(r, o);
    return r;
}

void Saver::Blocks(Document& doc) {
    const AcDbObjectId model = db->modelSpaceId(), paper = db->paperSpaceId();
    // Handles kept with block records must not be taken twice (a damaged file may have
    // given one to two things): a handle in use gets a new one.
    std::unordered_set<std::uint64_t> taken;
    for (AcDbObjectId id : all_)
        taken.insert(id.handle().value());
    bool changed = false;
    auto claim = [&](std::uint64_t& h) {
        if (h == 0 || !taken.insert(h).second) {
            h = NewHandle();
            taken.insert(h);
            changed = true;
        }
    };
    for (AcDbObjectId id : host::Blocks(db)) {
        auto* btr = Obj(id) ? AcDbBlockTableRecord::cast(Obj(id)) : nullptr;
        if (!btr)
            continue;
        BlockExtras ex = ReadBlockExtras(btr->state()->extraGroups);
        changed = false;
        claim(ex.beginHandle);
        claim(ex.endHandle);
        const std::string name(btr->nameA().View());
        const bool space = id == model || id == paper;
        Block block;
        std::vector<DxfGroup> bg = ex.begin;
        if (bg.empty()) {
            bg = {{100, "AcDbEntity"}};
            if (id == paper)
                bg.push_back({67, "1"});
            bg.insert(bg.end(), {{8, "0"},
                                 {100, "AcDbBlockBegin"},
                                 {2, name},
                                 {70, !space && !name.empty() && name[0] == '*' ? "1" : "0"},
                                 {10, "0.0"},
                                 {20, "0.0"},
                                 {30, "0.0"},
                                 {3, name},
                                 {1, ""}});
        }
        Patch(bg, 2, name, "AcDbBlockBegin");
        Patch(bg, 3, name, "AcDbBlockBegin");
        const AcGePoint3d origin = btr->origin();
        Patch(bg, 10, FormatDouble(origin.x), "AcDbBlockBegin");
        Patch(bg, 20, FormatDouble(origin.y), "AcDbBlockBegin");
        Patch(bg, 30, FormatDouble(origin.z), "AcDbBlockBegin");
        Assemble(block.begin, "BLOCK", ex.beginHandle, id.handle().value(), nullptr, bg);
        std::vector<DxfGroup> eg = ex.end;
        if (eg.empty()) {
            eg = {{100, "AcDbEntity"}};
            if (id == paper)
                eg.push_back({67, "1"});
            eg.insert(eg.end(), {{8, "0"}, {100, "AcDbBlockEnd"}});
        }
        Assemble(block.end, "ENDBLK", ex.endHandle, id.handle().value(), nullptr, eg);
        Note(ex.beginHandle);
        Note(ex.endHandle);
        auto table = tableOfBlock_.find(id.stub());
        if (table != tableOfBlock_.end()) {
            auto* t = AcDbTable::cast(Obj(table->second));
            std::shared_ptr<TableData> td = TableDataOf(t);
            const std::size_t n = CountTableBlockEntities(*td);
            if (ex.generated.size() != n) {
                ex.generated.resize(n);
                changed = true;
            }
            for (auto& h : ex.generated)
                claim(h);
            for (auto h : ex.generated)
                Note(h);
            block.generatedFrom = td;
            block.generatedHandles = ex.generated;
            block.generatedLayer = t->state()->layer.empty() ? "0" : t->state()->layer;
        } else if (!space) {
            for (AcDbObjectId e : EntitiesOf(db, id))
                block.entities.push_back(EntityRecord(e, id, false));
        }
        if (changed)
            btr->state()->extraGroups = WriteBlockExtras(ex);
        doc.blocks.push_back(std::move(block));
    }
}

Document Saver::Run() {
    EnsureStructure(db);
    // Handles kept with block records (their BLOCK and ENDBLK entities, generated table
    // entities) are not objects of the database: new handles must come from above them.
    std::uint64_t kept = 0;
    for (AcDbObjectId id : host::Blocks(db)) {
        auto* btr = Obj(id) ? AcDbBlockTableRecord::cast(Obj(id)) : nullptr;
        if (!btr)
            continue;
        const BlockExtras ex = ReadBlockExtras(btr->state()->extraGroups);
        kept = std::max({kept, ex.beginHandle, ex.endHandle});
        for (auto h : ex.generated)
            kept = std::max(kept, h);
    }
    if (kept >= db->handseed().value())
        SetHandseed(db, AcDbHandle(kept + 1));
    // Tables without their anonymous block get one.
    for (AcDbObjectId id : AllObjects(db)) {
        auto* t = Obj(id) ? AcDbTable::cast(Obj(id)) : nullptr;
        if (!t)
            continue;
        AcDbObjectId block = t->tableBlockId();
        auto* btr = Obj(block) ? AcDbBlockTableRecord::cast(Obj(block)) : nullptr;
        if (!btr || tableOfBlock_.count(block.stub())) {
            auto* nb = new AcDbBlockTableRecord();
            nb->setName("*T");
            if (AddBlock(db, nb, AcDbHandle(), &block) != Acad::eOk) {
                delete nb;
                continue;
            }
            SetTableBlockId(t, block);
        }
        tableOfBlock_[block.stub()] = id;
    }
    all_ = AllObjects(db);
    structure_ = FindStructure(db);
    Document doc;
    Tables(doc);
    Blocks(doc);
    for (AcDbObjectId space : {db->modelSpaceId(), db->paperSpaceId()}) {
        if (space.isNull())
            continue;
        for (AcDbObjectId e : EntitiesOf(db, space)) {
            doc.entities.push_back(EntityRecord(e, space, space == db->paperSpaceId()));
        }
    }
    // Objects: the named-object dictionary first.
    const AcDbObjectId root = db->namedObjectsDictionaryId();
    if (Obj(root))
        doc.objects.push_back(ObjectRecord(root));
    for (AcDbObjectId id : all_) {
        AcDbObject* o = Obj(id);
        if (!o || id == root || AcDbEntity::cast(o) || AcDbBlockTableRecord::cast(o) ||
            RegAppRecord::cast(o)) {
            continue;
        }
        if (RawObject* raw = AsRaw(o)) {
            if (raw->dxfName == "TABLE" || raw->dxfName.empty() || raw->dxfName[0] == '*')
                continue;
            AcDbObject* owner = Obj(o->ownerId());
            if (owner && AsRaw(owner) && AsRaw(owner)->dxfName == "TABLE" &&
                IsSymbolTableEntry(raw->dxfName))
                continue;
        }
        doc.objects.push_back(ObjectRecord(id));
    }
    for (AcDbObjectId id : all_) {
        RawObject* raw = AsRaw(Obj(id));
        if (!raw || raw->dxfName != kSectionHolder || raw->groups.size() < 2)
            continue;
        OtherSection s;
        s.name = raw->groups[0].value;
        s.after = raw->groups[1].value;
        for (std::size_t i = 2; i < raw->groups.size(); ++i) {
            s.tags.push_back({raw->groups[i].code, raw->groups[i].value});
        }
        doc.otherSections.push_back(std::move(s));
    }
    CheckReferences(doc);
    Classes(doc);
    Header(doc);
    doc.hasHeader = doc.hasClasses = doc.hasTables = doc.hasBlocks = doc.hasEntities =
        doc.hasObjects = true;
    return doc;
}

// The last guard before writing: owners and dictionary entries of objects name only objects
// that are written, so that the file opens without repairs.
void Saver::CheckReferences(Document& doc) {
    const std::uint64_t root = doc.objects.empty() ? 0 : doc.objects.front().handle();
    // Dictionary entries name objects of the OBJECTS section, nothing else.
    std::unordered_set<std::uint64_t> objects;
    for (const Record& r : doc.objects)
        objects.insert(r.handle());
    for (Record& r : doc.objects) {
        const std::uint64_t owner = r.owner();
        if (owner && !written_.count(owner) && &r != &doc.objects.front()) {
            int depth = 0;
            for (std::size_t i = 1; i < r.tags.size(); ++i) {
                Tag& t = r.tags[i];
                if (t.code == 102)
                    depth = (!t.value.empty() && t.value[0] == '{') ? 1 : 0;
                if (t.code == 330 && depth == 0) {
                    t.value = FormatHandle(root);
                    break;
                }
            }
        }
        if (r.type() != "DICTIONARY")
            continue;
        Tags kept;
        kept.reserve(r.tags.size());
        for (std::size_t i = 0; i < r.tags.size(); ++i) {
            const Tag& t = r.tags[i];
            std::uint64_t h = 0;
            if (t.code == 3 && i + 1 < r.tags.size() &&
                (r.tags[i + 1].code == 350 || r.tags[i + 1].code == 360) &&
                ParseHandle(r.tags[i + 1].value, h) && !objects.count(h)) {
                ++i;  // an entry naming nothing that is written is left out
                continue;
            }
            kept.push_back(t);
        }
        r.tags = std::move(kept);
    }
}

}  // namespace

std::unique_ptr<AcDbDatabase> DatabaseFromDocument(Document& doc,
                                                   std::vector<std::string>* repairs) {
    Loader loader(doc, repairs);
    return loader.Run();
}

Document DocumentFromDatabase(AcDbDatabase& db) {
    Saver saver(&db);
    return saver.Run();
}

std::unique_ptr<AcDbDatabase> LoadDxfBytes(std::string bytes, std::string& error,
                                           std::vector<std::string>* repairs) {
    try {
        Document doc = ReadDocumentBytes(std::move(bytes), repairs);
        return DatabaseFromDocument(doc, repairs);
    } catch (const DxfError& e) {
        error = e.what();
    } catch (const std::bad_alloc&) {
        error = "not enough memory to read the drawing";
    } catch (const std::exception& e) {
        error = e.what();
    }
    return nullptr;
}

std::unique_ptr<AcDbDatabase> LoadDxf(const std::string& path, std::string& error,
                                      std::vector<std::string>* repairs) {
    try {
        Document doc = ReadDocumentFile(path, repairs);
        return DatabaseFromDocument(doc, repairs);
    } catch (const DxfError& e) {
        error = path + ": " + e.what();
    } catch (const std::bad_alloc&) {
        error = path + ": not enough memory to read the drawing";
    } catch (const std::exception& e) {
        error = path + ": " + e.what();
    }
    return nullptr;
}

void WriteDxf(AcDbDatabase& db, std::string& out) {
    Document doc = DocumentFromDatabase(db);
    TagWriter writer([&](std::string_view s) { out.append(s); });
    WriteDocument(doc, writer);
}

namespace {

struct SaveFailure {
    std::string why;
};

std::string Folder(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool SaveDxf(AcDbDatabase& db, const std::string& path, std::string& error) {
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        error = "cannot save " + path + ": cannot create a file in " + Folder(path) + ": " +
                std::strerror(errno);
        return false;
    }
    try {
        struct stat old {};
        if (stat(path.c_str(), &old) == 0) {
            fchmod(fd, old.st_mode & 07777);
        } else {
            const mode_t mask = umask(0);
            umask(mask);
            fchmod(fd, 0666 & ~mask);
        }
        Document doc = DocumentFromDatabase(db);
        TagWriter writer([&](std::string_view s) {
            while (!s.empty()) {
                const ssize_t n = ::write(fd, s.data(), s.size());
                if (n < 0) {
                    if (errno == EINTR)
                        continue;
                    throw SaveFailure{std::strerror(errno)};
                }
                s.remove_prefix(static_cast<std::size_t>(n));
            }
        });
        WriteDocument(doc, writer);
        if (fsync(fd) != 0)
            throw SaveFailure{std::strerror(errno)};
        if (close(fd) != 0) {
            const int err = errno;
            unlink(temp.c_str());
            error = "cannot save " + path + ": " + std::strerror(err);
            return false;
        }
    } catch (const SaveFailure& f) {
        close(fd);
        unlink(temp.c_str());
        error = "cannot save " + path + ": " + f.why;
        return false;
    } catch (const std::exception& e) {
        close(fd);
        unlink(temp.c_str());
        error = "cannot save " + path + ": " + e.what();
        return false;
    }
    if (rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        unlink(temp.c_str());
        error = "cannot save " + path + ": " + std::strerror(err);
        return false;
    }
    // The new directory entry is made durable too.
    const int dir = open(Folder(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

}  // namespace host::dxf
