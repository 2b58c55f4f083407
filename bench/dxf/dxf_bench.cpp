// Saving and opening a drawing with one large table, timed, with the process's peak memory.
//
//   dxf_bench save ROWS COLUMNS FILE   builds the table, saves it; prints the timings
//   dxf_bench open FILE                opens the drawing; prints the timing
// Each run is one process so that its peak memory belongs to that step alone. Output lines
// are "key value" pairs for run_bench.sh.
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/db/hostdb.h"
#include "host/dxf/drawing.h"
#include "platform/dbmain.h"
#include "platform/dbtable.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long PeakKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

int Save(int rows, int columns, const std::string& path) {
    auto start = std::chrono::steady_clock::now();
    AcDbDatabase db(true);
    AcDbBlockTableRecord* ms = nullptr;
    acdbOpenObject(ms, db.modelSpaceId(), AcDb::kForWrite);
    auto* t = new AcDbTable();
    t->setTableStyle(db.tablestyle());
    t->setNumRows(rows);
    t->setNumColumns(columns);
    std::string text;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            text = "Item " + std::to_string(r) + "/" + std::to_string(c);
            t->setTextString(r, c, text.c_str());
        }
    }
    ms->appendAcDbEntity(t);
    t->close();
    ms->close();
    std::printf("build_s %.3f\n", Seconds(start));
    start = std::chrono::steady_clock::now();
    std::string error;
    if (!host::dxf::SaveDxf(db, path, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::printf("save_s %.3f\n", Seconds(start));
    struct stat st {};
    stat(path.c_str(), &st);
    std::printf("file_bytes %lld\n", static_cast<long long>(st.st_size));
    std::printf("peak_kib %ld\n", PeakKiB());
    return 0;
}

int Open(const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    std::string error;
    auto db = host::dxf::LoadDxf(path, error, nullptr);
    if (!db) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::printf("open_s %.3f\n", Seconds(start));
    std::size_t cells = 0;
    for (AcDbObjectId id : host::EntitiesOf(db.get(), db->modelSpaceId())) {
        if (auto* t = AcDbTable::cast(host::ObjectOf(id)))
            cells += std::size_t(t->numRows()) * t->numColumns();
    }
    std::printf("cells %zu\n", cells);
    std::printf("peak_kib %ld\n", PeakKiB());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "save" && argc == 5)
        return Save(std::atoi(argv[2]), std::atoi(argv[3]), argv[4]);
    if (mode == "open" && argc == 3)
        return Open(argv[2]);
    std::fprintf(stderr, "usage: dxf_bench save ROWS COLUMNS FILE | dxf_bench open FILE\n");
    return 2;
}
