// Frames of a drawing holding one large table (as the DXF benchmark makes it: "Item r/c" in
// every cell, 10 columns), drawn into a 1600 x 1000 image surface.
//
//   BM_FullExtent/100000     the whole table (1,000,000 cells) in the picture
//   BM_ZoomedIn/N            a view of about 30 rows x 8 columns in the middle of an
//                            N-row table: its cost is that of the visible cells, whatever N
//   BM_ZoomedInPanning/100000  that view panned down a little every frame
//   BM_SceneBuild/100000     the scene (boxes, row and column edges, index) after a change
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <string>

#include "host/db/hostdb.h"
#include "host/render/render.h"
#include "platform/dbmain.h"
#include "platform/dbtable.h"

namespace {

constexpr int kColumns = 10;

// One drawing per row count, made once.
AcDbDatabase& Drawing(int rows) {
    static std::map<int, std::unique_ptr<AcDbDatabase>> drawings;
    auto& db = drawings[rows];
    if (db)
        return *db;
    db = std::make_unique<AcDbDatabase>(true);
    AcDbBlockTableRecord* ms = nullptr;
    acdbOpenObject(ms, db->modelSpaceId(), AcDb::kForWrite);
    auto* t = new AcDbTable();
    t->setTableStyle(db->tablestyle());
    t->setNumRows(rows);
    t->setNumColumns(kColumns);
    std::string text;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            text = "Item " + std::to_string(r) + "/" + std::to_string(c);
            t->setTextString(r, c, text.c_str());
        }
    }
    ms->appendAcDbEntity(t);
    t->close();
    ms->close();
    return *db;
}

void Frame(benchmark::State& state, AcDbDatabase& db, const host::render::View& view) {
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, view.widthPx, view.heightPx);
    cairo_t* cr = cairo_create(surface);
    host::render::Options options;
    host::render::Draw(cr, db, view, options);  // builds the scene once
    for (auto _ : state) {
        host::render::Draw(cr, db, view, options);
        cairo_surface_flush(surface);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

void BM_FullExtent(benchmark::State& state) {
    AcDbDatabase& db = Drawing(int(state.range(0)));
    const auto view = host::render::View::Fit(host::render::SpaceExtents(db), 1600, 1000);
    Frame(state, db, view);
    state.counters["px_per_unit"] = view.pixelsPerUnit;
}

void BM_ZoomedIn(benchmark::State& state) {
    AcDbDatabase& db = Drawing(int(state.range(0)));
    const host::render::Box ext = host::render::SpaceExtents(db);
    host::render::View view;
    view.widthPx = 1600, view.heightPx = 1000;
    view.pixelsPerUnit = 4;  // text 2.5 units high: 10 pixels
    view.center = {(ext.minX + ext.maxX) / 2, (ext.minY + ext.maxY) / 2};
    Frame(state, db, view);
    // The cells in the picture (rows of equal height).
    const host::render::Box vis = view.VisibleBox();
    const double rowHeight = ext.Height() / double(state.range(0));
    const double columnWidth = ext.Width() / kColumns;
    state.counters["cells_shown"] = std::ceil(std::min(vis.Height(), ext.Height()) / rowHeight) *
                                    std::ceil(std::min(vis.Width(), ext.Width()) / columnWidth);
}

// The zoomed-in view panned down 100 pixels a frame: new rows come into the picture (their
// texts are laid out), the others are drawn from the layouts kept.
void BM_ZoomedInPanning(benchmark::State& state) {
    AcDbDatabase& db = Drawing(int(state.range(0)));
    const host::render::Box ext = host::render::SpaceExtents(db);
    host::render::View view;
    view.widthPx = 1600, view.heightPx = 1000;
    view.pixelsPerUnit = 4;
    const host::render::Point start{(ext.minX + ext.maxX) / 2, ext.maxY - 150};
    view.center = start;
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, view.widthPx, view.heightPx);
    cairo_t* cr = cairo_create(surface);
    host::render::Options options;
    for (auto _ : state) {
        view.PanBy(0, -100);
        if (view.center.y < ext.minY + 150)
            view.center = start;
        host::render::Draw(cr, db, view, options);
        cairo_surface_flush(surface);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

void BM_SceneBuild(benchmark::State& state) {
    AcDbDatabase& db = Drawing(int(state.range(0)));
    const AcDbObjectId table = host::EntitiesOf(&db, db.modelSpaceId()).front();
    for (auto _ : state) {
        // Opening for write marks the drawing changed: the next call rebuilds.
        AcDbObject* obj = nullptr;
        acdbOpenAcDbObject(obj, table, AcDb::kForWrite);
        obj->close();
        benchmark::DoNotOptimize(host::render::SpaceExtents(db));
    }
}

BENCHMARK(BM_FullExtent)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZoomedIn)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZoomedInPanning)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SceneBuild)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
