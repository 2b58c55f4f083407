#include "host/dxf/record_groups.h"

#include <algorithm>
#include <unordered_set>

namespace host::dxf {

std::string Upper(std::string_view s) {
    std::string u(s);
    for (char& c : u)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
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

void Patch(std::vector<DxfGroup>& groups, int code, const std::string& value, const char* marker) {
    std::size_t i = 0;
    if (marker) {
        while (i < groups.size() && !(groups[i].code == 100 && groups[i].value == marker))
            ++i;
        if (i == groups.size()) {
            groups.push_back({100, marker});
        }
        ++i;
    }
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
}

// ---- records of files before R2000: subclass markers ----

namespace {

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

}  // namespace

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
        } else if (part == 3 && g.code == 90) {
            std::int64_t more = 0;
            ParseInt(g.value, more);
            const std::uint64_t first = b.generated.empty() ? 0 : b.generated.back();
            for (std::int64_t k = 1; k <= more; ++k)
                b.generated.push_back(first + static_cast<std::uint64_t>(k));
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
        // In runs of consecutive handles (a large table's block has millions): the first of a
        // run, then how many follow it when any do.
        const std::vector<std::uint64_t>& g = b.generated;
        for (std::size_t i = 0; i < g.size();) {
            std::size_t n = 1;
            while (i + n < g.size() && g[i + n] == g[i] + n)
                ++n;
            out.push_back({5, FormatHandle(g[i])});
            if (n > 1)
                out.push_back({90, std::to_string(n - 1)});
            i += n;
        }
    }
    return out;
}

// ---- objects ----

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

}  // namespace host::dxf
