// The DXF versions drawings are saved in, and what each of them can hold.
//
// Saving writes R2010 unless told otherwise. R2004 and later hold table entities (R2004 with
// the cell text right after the cell's flags, R2007 and later with cell values); R2000 and
// R12 do not, and a table goes into them as a reference to its anonymous block. R12 has no
// classes, objects, subclass markers or owner handles. Files of R2007 and later are UTF-8;
// older ones are ASCII (part of their code page, ANSI_1252) with \U+XXXX escapes for
// everything else.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host::dxf {

enum class DxfVersion { kR12, kR2000, kR2004, kR2007, kR2010, kR2013, kR2018 };

inline constexpr DxfVersion kDefaultDxfVersion = DxfVersion::kR2010;
inline constexpr DxfVersion kAllDxfVersions[] = {
    DxfVersion::kR12,   DxfVersion::kR2000, DxfVersion::kR2004, DxfVersion::kR2007,
    DxfVersion::kR2010, DxfVersion::kR2013, DxfVersion::kR2018};

const char* VersionName(DxfVersion v);  // "R2010"
const char* AcadVerOf(DxfVersion v);    // "AC1024"
// A version by its name, ignoring case ("r2000", "R2000"); none for anything else.
std::optional<DxfVersion> ParseVersionName(std::string_view name);
// "R12/R2000/.../R2018", for prompts and messages.
std::string VersionList();
// The release a $ACADVER value stands for ("AC1015" -> "R2000", "AC1014" -> "R14"); empty
// for a value no release uses.
std::string ReleaseOfAcadVer(std::string_view acadver);

inline bool HasTableEntity(DxfVersion v) {
    return v >= DxfVersion::kR2004;
}
inline bool IsUnicodeVersion(DxfVersion v) {
    return v >= DxfVersion::kR2007;
}

// Whether records of a type can be written in a version (entities with entity set, objects
// otherwise). Types this list does not know are written as they are.
bool VersionHolds(DxfVersion v, std::string_view type, bool entity);

// What a save in an older version changed: tables written as block references, light
// polylines as polylines, multi-line texts as single-line texts, and what was left out
// because the version cannot hold it (counted per type).
struct SaveReport {
    DxfVersion version = kDefaultDxfVersion;
    std::size_t tablesAsBlocks = 0;
    std::size_t lightPolylines = 0, multiLineTexts = 0;
    std::map<std::string, std::size_t> entitiesLeftOut, objectsLeftOut;
    std::size_t headerVariablesLeftOut = 0, sectionsLeftOut = 0;
    // One line per change, e.g. "2 entities of type MESH cannot be written in DXF R12 and were
    // left out."
    std::vector<std::string> Lines() const;
};

}  // namespace host::dxf
