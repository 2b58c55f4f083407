#include "host/session/drawing_io.h"

#include <algorithm>

#include "host/db/hostdb.h"
#include "host/dxf/drawing.h"
#include "host/dxf/record_groups.h"
#include "platform/acutads.h"
#include "platform/dbmain.h"

namespace host {

namespace {

constexpr std::size_t kRepairsListed = 20;

}  // namespace

std::unique_ptr<AcDbDatabase> LoadDrawing(const std::string& path, std::string& error) {
    std::vector<dxf::Repair> repairs;
    std::string why;
    std::unique_ptr<AcDbDatabase> db = dxf::LoadDxf(path, why, &repairs);
    if (!db) {
        error = "cannot open " + why;
        return nullptr;
    }
    if (!repairs.empty()) {
        acutPrintfText(("\n" + path + " was damaged; recovered with " +
                        std::to_string(repairs.size()) + " repair(s):")
                           .c_str());
        // The first ones tell what was wrong; a badly damaged file is not listed whole.
        const std::size_t shown = std::min(repairs.size(), kRepairsListed);
        for (std::size_t i = 0; i < shown; ++i)
            acutPrintfText(("\n  " + repairs[i].Message()).c_str());
        if (shown < repairs.size())
            acutPrintfText(
                ("\n  ... and " + std::to_string(repairs.size() - shown) + " more repair(s)")
                    .c_str());
    }
    return db;
}

bool SaveDrawing(AcDbDatabase& db, const std::string& path, std::string& error,
                 dxf::DxfVersion version, std::vector<std::string>* notes) {
    dxf::SaveReport report;
    if (!dxf::SaveDxf(db, path, error, version, &report))
        return false;
    if (notes)
        *notes = report.Lines();
    return true;
}

std::vector<std::string> FormerTableNotes(AcDbDatabase& db) {
    std::vector<std::string> notes;
    for (AcDbObjectId space : {db.modelSpaceId(), db.paperSpaceId()}) {
        if (space.isNull())
            continue;
        for (AcDbObjectId id : EntitiesOf(&db, space)) {
            auto* ref = dxf::Obj(id) ? AcDbBlockReference::cast(dxf::Obj(id)) : nullptr;
            AcDbObject* block = ref ? dxf::Obj(ref->blockTableRecord()) : nullptr;
            auto* btr = block ? AcDbBlockTableRecord::cast(block) : nullptr;
            if (!btr || XDataOf(ref).empty())
                continue;
            const std::string name(btr->nameA().View());
            if (name.size() > 2 && dxf::Upper(name.substr(0, 2)) == "*T") {
                notes.push_back("Block reference " + dxf::FormatHandle(id.handle().value()) +
                                " of the table block " + name +
                                " carries a table's extended data: the file was saved without "
                                "table entities, so it is not a table here and DbTable_Update "
                                "cannot refresh it.");
            }
        }
    }
    return notes;
}

std::string DrawingFileFormat(AcDbDatabase& db) {
    const std::string acadver = dxf::FileAcadVer(db);
    if (acadver.empty())
        return "DXF without a version";
    const std::string release = dxf::ReleaseOfAcadVer(acadver);
    return release.empty() ? "DXF " + acadver : "DXF " + release;
}

}  // namespace host
