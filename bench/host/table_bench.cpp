// Filling a table the way the module builds one (size, unmerge the first row, then per cell:
// the row height, the column width in the first row and the text), for 10,000 and 100,000
// rows of 10 columns. The time per cell should stay flat: ten times the cells, at most
// twelve times the time.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstring>
#include <memory>

#include "host/db/hostdb.h"
#include "platform/dbmain.h"
#include "platform/dbtable.h"

namespace {

constexpr int kColumns = 10;

void FillTable(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    char text[32] = "Customer ";
    for (auto _ : state) {
        // A fresh drawing each time (not timed), so earlier tables do not pile up.
        state.PauseTiming();
        auto db = std::make_unique<AcDbDatabase>();
        state.ResumeTiming();
        auto* table = new AcDbTable;
        table->setTableStyle(db->tablestyle());
        table->setNumRows(rows);
        table->setNumColumns(kColumns);
        table->unmergeCells(0, 0, 0, kColumns - 1);
        for (int r = 0; r < rows; ++r) {
            table->setRowHeight(r, 3.7);
            for (int c = 0; c < kColumns; ++c) {
                if (r == 0)
                    table->setColumnWidth(c, 33.7);
                *std::to_chars(text + 9, text + sizeof text - 1, r * kColumns + c).ptr = '\0';
                table->setTextString(r, c, text);
            }
        }
        // Into the drawing and closed, as a new table ends.
        AcDbBlockTableRecord* space = nullptr;
        acdbOpenObject(space, db->currentSpaceId(), AcDb::kForWrite);
        space->appendAcDbEntity(table);
        table->close();
        space->close();
        benchmark::DoNotOptimize(table);
        state.PauseTiming();
        db.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * rows * kColumns);
    state.SetComplexityN(static_cast<benchmark::IterationCount>(rows) * kColumns);
}
BENCHMARK(FillTable)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// Inserting rows in the middle of a large table moves the cells below (linear in the cells).
void InsertRowsMidTable(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    AcDbTable table;
    table.setNumRows(rows);
    table.setNumColumns(kColumns);
    for (auto _ : state) {
        table.insertRows(rows / 2, 3.7, 1);
        table.deleteRows(rows / 2, 1);
    }
    state.SetComplexityN(static_cast<benchmark::IterationCount>(rows) * kColumns);
}
BENCHMARK(InsertRowsMidTable)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
