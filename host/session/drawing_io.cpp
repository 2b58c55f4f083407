#include "host/session/drawing_io.h"

#include <algorithm>

#include "host/dxf/drawing.h"
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

bool SaveDrawing(AcDbDatabase& db, const std::string& path, std::string& error) {
    return dxf::SaveDxf(db, path, error);
}

}  // namespace host
