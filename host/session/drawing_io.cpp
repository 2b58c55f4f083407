#include "host/session/drawing_io.h"

#include "host/dxf/drawing.h"
#include "platform/acutads.h"
#include "platform/dbmain.h"

namespace host {

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
        for (const auto& r : repairs)
            acutPrintfText(("\n  " + r.Message()).c_str());
    }
    return db;
}

bool SaveDrawing(AcDbDatabase& db, const std::string& path, std::string& error) {
    return dxf::SaveDxf(db, path, error);
}

}  // namespace host
