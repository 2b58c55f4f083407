#include "host/dxf/version.h"

#include <cctype>
#include <unordered_map>

namespace host::dxf {

namespace {

struct VersionInfo {
    DxfVersion version;
    const char* name;
    const char* acadver;
};
constexpr VersionInfo kVersions[] = {
    {DxfVersion::kR12, "R12", "AC1009"},     {DxfVersion::kR2000, "R2000", "AC1015"},
    {DxfVersion::kR2004, "R2004", "AC1018"}, {DxfVersion::kR2007, "R2007", "AC1021"},
    {DxfVersion::kR2010, "R2010", "AC1024"}, {DxfVersion::kR2013, "R2013", "AC1027"},
    {DxfVersion::kR2018, "R2018", "AC1032"},
};

const VersionInfo& Info(DxfVersion v) {
    for (const auto& i : kVersions) {
        if (i.version == v)
            return i;
    }
    return kVersions[4];
}

// The entities of R12: nothing else can be written there.
constexpr const char* kR12Entities[] = {
    "LINE",   "POINT",  "CIRCLE",   "ARC",    "TRACE",  "SOLID",  "TEXT",     "SHAPE",    "INSERT",
    "ATTDEF", "ATTRIB", "POLYLINE", "VERTEX", "SEQEND", "3DFACE", "VIEWPORT", "DIMENSION"};

// Entities and objects that came after R2000, with the first version that holds them.
const std::unordered_map<std::string_view, DxfVersion>& LaterEntities() {
    static const std::unordered_map<std::string_view, DxfVersion> map = {
        {"ACAD_TABLE", DxfVersion::kR2004},
        {"ARC_DIMENSION", DxfVersion::kR2004},
        {"LARGE_RADIAL_DIMENSION", DxfVersion::kR2004},
        {"MULTILEADER", DxfVersion::kR2007},
        {"MLEADER", DxfVersion::kR2007},
        {"SURFACE", DxfVersion::kR2007},
        {"EXTRUDEDSURFACE", DxfVersion::kR2007},
        {"LOFTEDSURFACE", DxfVersion::kR2007},
        {"REVOLVEDSURFACE", DxfVersion::kR2007},
        {"SWEPTSURFACE", DxfVersion::kR2007},
        {"PLANESURFACE", DxfVersion::kR2007},
        {"SECTION", DxfVersion::kR2007},
        {"LIGHT", DxfVersion::kR2007},
        {"HELIX", DxfVersion::kR2007},
        {"DWFUNDERLAY", DxfVersion::kR2007},
        {"DGNUNDERLAY", DxfVersion::kR2007},
        {"MESH", DxfVersion::kR2010},
        {"PDFUNDERLAY", DxfVersion::kR2010},
        {"GEOPOSITIONMARKER", DxfVersion::kR2010},
        {"POINTCLOUD", DxfVersion::kR2010},
        {"NURBSURFACE", DxfVersion::kR2013},
        {"POINTCLOUDEX", DxfVersion::kR2013},
    };
    return map;
}
const std::unordered_map<std::string_view, DxfVersion>& LaterObjects() {
    static const std::unordered_map<std::string_view, DxfVersion> map = {
        {"TABLESTYLE", DxfVersion::kR2004},
        {"FIELD", DxfVersion::kR2004},
        {"FIELDLIST", DxfVersion::kR2004},
        {"DBCOLOR", DxfVersion::kR2004},
        {"VISUALSTYLE", DxfVersion::kR2007},
        {"MATERIAL", DxfVersion::kR2007},
        {"SCALE", DxfVersion::kR2007},
        {"MLEADERSTYLE", DxfVersion::kR2007},
        {"TABLECONTENT", DxfVersion::kR2007},
        {"TABLEGEOMETRY", DxfVersion::kR2007},
        {"CELLSTYLEMAP", DxfVersion::kR2007},
        {"SUN", DxfVersion::kR2007},
        {"SUNSTUDY", DxfVersion::kR2007},
        {"RENDERENVIRONMENT", DxfVersion::kR2007},
        {"RENDERGLOBAL", DxfVersion::kR2007},
        {"MENTALRAYRENDERSETTINGS", DxfVersion::kR2007},
        {"DWFDEFINITION", DxfVersion::kR2007},
        {"DGNDEFINITION", DxfVersion::kR2007},
        {"GEODATA", DxfVersion::kR2010},
        {"PDFDEFINITION", DxfVersion::kR2010},
        {"POINTCLOUDDEF", DxfVersion::kR2010},
        {"POINTCLOUDDEFEX", DxfVersion::kR2013},
        {"RAPIDRTRENDERSETTINGS", DxfVersion::kR2013},
        {"SECTIONVIEWSTYLE", DxfVersion::kR2013},
        {"DETAILVIEWSTYLE", DxfVersion::kR2013},
    };
    return map;
}

std::string Plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

const char* VersionName(DxfVersion v) {
    return Info(v).name;
}

const char* AcadVerOf(DxfVersion v) {
    return Info(v).acadver;
}

std::optional<DxfVersion> ParseVersionName(std::string_view name) {
    for (const auto& i : kVersions) {
        const std::string_view n = i.name;
        if (n.size() != name.size())
            continue;
        bool same = true;
        for (std::size_t k = 0; k < n.size() && same; ++k)
            same = std::toupper(static_cast<unsigned char>(name[k])) == n[k];
        if (same)
            return i.version;
    }
    return std::nullopt;
}

std::string VersionList() {
    std::string out;
    for (const auto& i : kVersions) {
        if (!out.empty())
            out += '/';
        out += i.name;
    }
    return out;
}

std::string ReleaseOfAcadVer(std::string_view acadver) {
    for (const auto& i : kVersions) {
        if (acadver == i.acadver)
            return i.name;
    }
    static const std::pair<const char*, const char*> kOlder[] = {
        {"AC1006", "R10"}, {"AC1012", "R13"}, {"AC1014", "R14"}};
    for (const auto& [ver, name] : kOlder) {
        if (acadver == ver)
            return name;
    }
    return {};
}

bool VersionHolds(DxfVersion v, std::string_view type, bool entity) {
    if (v == DxfVersion::kR12) {
        if (!entity)
            return false;
        for (const char* t : kR12Entities) {
            if (type == t)
                return true;
        }
        return false;
    }
    const auto& later = entity ? LaterEntities() : LaterObjects();
    const auto it = later.find(type);
    return it == later.end() || v >= it->second;
}

std::vector<std::string> SaveReport::Lines() const {
    std::vector<std::string> lines;
    const std::string in = std::string(" in DXF ") + VersionName(version);
    if (tablesAsBlocks == 1) {
        lines.push_back("1 table was written as a block reference" + in +
                        " (no table entity there); its link is kept in the extended data of the "
                        "block reference, which DbTable_Update cannot refresh.");
    } else if (tablesAsBlocks) {
        lines.push_back(std::to_string(tablesAsBlocks) +
                        " tables were written as block references" + in +
                        " (no table entity there); their links are kept in the extended data of "
                        "the block references, which DbTable_Update cannot refresh.");
    }
    if (lightPolylines) {
        lines.push_back(Plural(lightPolylines, "light polyline was", "light polylines were") +
                        " written as " + (lightPolylines == 1 ? "a polyline" : "polylines") + in +
                        ".");
    }
    if (multiLineTexts) {
        lines.push_back(Plural(multiLineTexts, "multi-line text was", "multi-line texts were") +
                        " written as single-line texts" + in + ".");
    }
    for (const auto& [type, n] : entitiesLeftOut) {
        lines.push_back(Plural(n, "entity", "entities") + " of type " + type +
                        " cannot be written" + in + " and " + (n == 1 ? "was" : "were") +
                        " left out.");
    }
    if (version == DxfVersion::kR12 && !objectsLeftOut.empty()) {
        // R12 has no objects at all: one line for the whole section.
        std::size_t total = 0;
        std::string kinds;
        for (const auto& [type, n] : objectsLeftOut) {
            total += n;
            kinds += (kinds.empty() ? "" : ", ") + std::to_string(n) + " " + type;
        }
        lines.push_back(Plural(total, "object", "objects") + " (" + kinds + ") cannot be written" +
                        in + ", which has no objects section, and " +
                        (total == 1 ? "was" : "were") + " left out.");
    } else {
        for (const auto& [type, n] : objectsLeftOut) {
            lines.push_back(Plural(n, "object", "objects") + " of type " + type +
                            " cannot be written" + in + " and " + (n == 1 ? "was" : "were") +
                            " left out.");
        }
    }
    if (headerVariablesLeftOut) {
        lines.push_back(Plural(headerVariablesLeftOut, "header variable", "header variables") +
                        " of later versions cannot be written" + in + " and " +
                        (headerVariablesLeftOut == 1 ? "was" : "were") + " left out.");
    }
    if (sectionsLeftOut) {
        lines.push_back(Plural(sectionsLeftOut, "section", "sections") +
                        " of later versions cannot be written" + in + " and " +
                        (sectionsLeftOut == 1 ? "was" : "were") + " left out.");
    }
    return lines;
}

}  // namespace host::dxf
