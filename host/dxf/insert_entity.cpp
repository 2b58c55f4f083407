#include "host/dxf/insert_entity.h"

#include <algorithm>
#include <cmath>

#include "host/base/text.h"
#include "host/dxf/record_groups.h"
#include "host/dxf/tags.h"

namespace host::dxf {

namespace {

constexpr const char* kSubclass = "AcDbBlockReference";

}  // namespace

InsertGroups ReadInsertGroups(const std::vector<DxfGroup>& groups, bool oldFile) {
    InsertGroups in;
    bool inRef = oldFile;
    for (const auto& g : groups) {
        if (g.code == 100)
            inRef = g.value == kSubclass;
        if (!inRef)
            continue;
        if (g.code == 2 && in.blockName.empty())
            in.blockName = g.value;
        if (g.code == 10 || g.code == 20 || g.code == 30)
            ParseDouble(g.value, in.position[g.code / 10 - 1]);
        if (g.code == 50)
            ParseDouble(g.value, in.rotation);
        if (g.code >= 41 && g.code <= 43)
            ParseDouble(g.value, in.scale[g.code - 41]);
        if (g.code == 210 || g.code == 220 || g.code == 230)
            ParseDouble(g.value, in.normal[(g.code - 210) / 10]);
    }
    return in;
}

std::string InsertedBlockName(const std::string& fileName) {
    if (EqualNoCase(fileName, "$MODEL_SPACE"))
        return "*Model_Space";
    if (EqualNoCase(fileName, "$PAPER_SPACE"))
        return "*Paper_Space";
    return fileName;
}

AcDbBlockReference* NewBlockReference(const InsertGroups& in, AcDbObjectId block) {
    auto* ref =
        new AcDbBlockReference(AcGePoint3d(in.position[0], in.position[1], in.position[2]), block);
    ref->setRotation(in.rotation * M_PI / 180.0);
    SetScale(ref, AcGeVector3d(in.scale[0], in.scale[1], in.scale[2]));
    if (in.normal[0] != 0 || in.normal[1] != 0 || in.normal[2] != 1)
        SetNormal(ref, AcGeVector3d(in.normal[0], in.normal[1], in.normal[2]));
    return ref;
}

void PutInsertGroups(const AcDbBlockReference* ref, std::vector<DxfGroup>& g) {
    auto* btr = Obj(ref->blockTableRecord())
                    ? AcDbBlockTableRecord::cast(Obj(ref->blockTableRecord()))
                    : nullptr;
    Patch(g, 2, btr ? std::string(btr->nameA().View()) : std::string("*Model_Space"), kSubclass);
    const AcGePoint3d p = ref->position();
    Patch(g, 10, FormatDouble(p.x), kSubclass);
    Patch(g, 20, FormatDouble(p.y), kSubclass);
    Patch(g, 30, FormatDouble(p.z), kSubclass);
    auto has = [&](int code) {
        return std::any_of(g.begin(), g.end(), [&](const DxfGroup& x) { return x.code == code; });
    };
    const double degrees = ref->rotation() * 180.0 / M_PI;
    if (has(50) || degrees != 0)
        Patch(g, 50, FormatDouble(degrees), kSubclass);
    const AcGeVector3d scale = ScaleOf(ref), normal = NormalOf(ref);
    const double sv[3] = {scale.x, scale.y, scale.z};
    for (int k = 0; k < 3; ++k) {
        if (has(41 + k) || sv[k] != 1)
            Patch(g, 41 + k, FormatDouble(sv[k]), kSubclass);
    }
    if (has(210) || normal.x != 0 || normal.y != 0 || normal.z != 1) {
        Patch(g, 210, FormatDouble(normal.x), kSubclass);
        Patch(g, 220, FormatDouble(normal.y), kSubclass);
        Patch(g, 230, FormatDouble(normal.z), kSubclass);
    }
}

}  // namespace host::dxf
