// Building and refreshing linked tables with the real host runtime and data provider.
//
// 1. A new table from a 100,000 x 10 SQLite result: FillGrid, then BuildTable (placement
//    answered with a queued point), against the raw read of the same rows (CADORecordset and
//    ReadCellText of every cell) in the same run. The two steps are also timed apart.
// 2. DbTable_Update (CmdDbTableUpdate, selection answered "ALL" and Enter) of N linked tables
//    in one drawing: N = 10 and 100 tables of 201 x 5 cells (headings and 200 records), 100
//    tables of 51 x 5 and 801 x 5 cells, and 1000 tables of 51 x 5. The time should be linear
//    in the cells (plus a small constant per table: its query and link).
//
// After the runs a summary is printed: FillGrid + BuildTable over the raw read, the time per
// refreshed cell of each update case, and a fit of the update's time to cells and tables.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/common/raw_read.h"
#include "data/ADORecordset.h"
#include "host/base/command_line.h"
#include "host/session/documents.h"
#include "host/ui/editor.h"
#include "host/ui/input_source.h"
#include "host/ui/progress_meter.h"
#include "host/ui/ui_sink.h"
#include "link/DbRecords.h"
#include "platform/acedads.h"
#include "platform/dbtable.h"
#include "tables/BuildTable.h"
#include "tables/TableCommands.h"

namespace {

constexpr int kScheduleRows = 100000;
constexpr int kScheduleColumns = 10;
constexpr int kPartsColumns = 5;
const int kPartsSizes[] = {50, 200, 800};

const std::filesystem::path& BenchFolder() {
    static const std::filesystem::path folder = [] {
        auto dir = std::filesystem::temp_directory_path() /
                   ("quarvel_tables_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        return dir;
    }();
    return folder;
}

bool Exec(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK)
        return true;
    std::fprintf(stderr, "sqlite3: %s\n", error ? error : "?");
    sqlite3_free(error);
    return false;
}

// The benchmark database: Schedule, 100,000 rows of 10 columns (integers, reals, text, dates,
// booleans, 64-bit integers and some NULLs, as the data-access benchmark reads), and Parts50,
// Parts200, Parts800 of 5 columns for the linked tables. Empty when it could not be made.
const std::string& BenchDatabase() {
    static const std::string path = [] {
        const std::string file = (BenchFolder() / "tables.sqlite").string();
        sqlite3* db = nullptr;
        bool ok = sqlite3_open(file.c_str(), &db) == SQLITE_OK;
        ok = ok &&
             Exec(db,
                  "CREATE TABLE Schedule (Id INTEGER, Tag VARCHAR(16), Description VARCHAR(80), "
                  "Quantity INTEGER, Weight DOUBLE, Price DOUBLE, Installed DATETIME, "
                  "Active BOOLEAN, Serial BIGINT, Notes TEXT);"
                  "BEGIN;"
                  "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                  "100000) "
                  "INSERT INTO Schedule SELECT i, printf('P-%06d', i), "
                  "printf('Kühlwasserpumpe Nr. %d', i), i % 97, i * 0.125, (i % 1000) * 1.75, "
                  "datetime(1577836800 + i * 3600, 'unixepoch'), i % 2, 4000000000 + i, "
                  "CASE WHEN i % 5 = 0 THEN NULL ELSE 'Gleitringdichtung prüfen' END FROM n;"
                  "COMMIT;");
        for (const int rows : kPartsSizes) {
            const std::string table = "Parts" + std::to_string(rows);
            ok =
                ok && Exec(db, "CREATE TABLE " + table +
                                   " (Id INTEGER, Tag VARCHAR(16), Description VARCHAR(80), "
                                   "Quantity INTEGER, Price DOUBLE);"
                                   "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                                   "WHERE i < " +
                                   std::to_string(rows) + ") INSERT INTO " + table +
                                   " SELECT i, printf('V-%04d', i), printf('Absperrventil DN %d', "
                                   "i % 300), i % 40, (i % 500) * 2.25 FROM n;");
        }
        sqlite3_close(db);
        return ok ? file : std::string();
    }();
    return path;
}

CString Txt(const std::string& utf8) {
    return CString(qv::ConvertText<TCHAR>(std::string_view(utf8)));
}

// A link to one table of the benchmark database, for a new table of the standard style.
TableLink BenchLink(const std::string& table) {
    TableLink link;
    link.m_strTableStyle = _T("Standard");
    link.m_strConnectDriver = _T("SQLite3 ODBC Driver");
    link.m_strDatabase = Txt(BenchDatabase());
    link.m_strTable = Txt(table);
    return link;
}

// The host as the module sees it while a command runs: the document manager with one new
// drawing, the interactive selector, the command line and message boxes captured, and the
// module's connection templates. Closing it frees the module's database list.
class HostSession {
public:
    HostSession() {
        host::InstallInteractiveSelector();
        host::SetProgressBarDrawing(false);
        host::StartDocuments();
        host::Documents()->Open();
        host::SetCommandLineCapture(&output);
        m_previousSink = host::SetUiSink(&boxes);
        RegisterConnectTemplates();
    }
    ~HostSession() {
        FreeDatabases();
        host::SetUiSink(m_previousSink);
        host::SetCommandLineCapture(nullptr);
        host::StopDocuments();
        host::ClearProgressMeterHistory();
    }
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // Replaces the drawing by a new empty one (tables built so far go with it).
    void NewDrawing() {
        host::StopDocuments();
        host::StartDocuments();
        host::Documents()->Open();
        host::ClearProgressMeterHistory();
        output.clear();
    }

    std::string output;
    host::RecordingUiSink boxes;

private:
    host::UiSink* m_previousSink = nullptr;
};

// ---- 1. A new table of 100,000 x 10 against the raw read -------------------------------

void BM_RawReadEveryCell(benchmark::State& state) {
    if (BenchDatabase().empty()) {
        state.SkipWithError("cannot make the benchmark database");
        return;
    }
    CADODatabase db;
    if (!db.OpenConnection(
            Txt("Driver={SQLite3 ODBC Driver};Database=" + BenchDatabase() + ";").GetString())) {
        state.SkipWithError("cannot open the database");
        return;
    }
    long cells = 0;
    for (auto _ : state) {
        std::size_t length = 0;
        cells = ReadAllCells(db, _T("SELECT * FROM `Schedule`"), length);
        if (cells < 0) {
            state.SkipWithError("query failed");
            return;
        }
        benchmark::DoNotOptimize(length);
    }
    if (cells != static_cast<long>(kScheduleRows) * kScheduleColumns)
        state.SkipWithError("wrong number of cells read");
    state.SetItemsProcessed(state.iterations() * cells);
}

// The grid and the new table, as DbTable_Create makes them once the user has chosen the table.
// part 0: both steps; 1: FillGrid only; 2: BuildTable only (from a grid read before).
void BM_NewTable(benchmark::State& state) {
    const int part = static_cast<int>(state.range(0));
    if (BenchDatabase().empty()) {
        state.SkipWithError("cannot make the benchmark database");
        return;
    }
    HostSession session;
    const TableLink templateLink = BenchLink("Schedule");
    CMyDatabase db;
    if (!db.Open(templateLink.m_strConnectDriver, templateLink.m_strDatabase, CString(),
                 CString())) {
        state.SkipWithError("cannot open the database");
        return;
    }
    CellGrid ready;
    if (part == 2) {
        TableLink link = templateLink;
        db.FillGrid(link, ready);
    }
    long cells = 0;
    for (auto _ : state) {
        TableLink link = templateLink;
        CellGrid grid;
        const CellGrid* used = &ready;
        if (part != 2) {
            if (!db.FillGrid(link, grid)) {
                state.SkipWithError("FillGrid failed");
                return;
            }
            used = &grid;
        }
        if (part != 1) {
            host::QueueInput input({"10,20"});
            host::ScopedInput scope(input);
            if (BuildTable(*used, link) != 1 || !input.Empty()) {
                state.SkipWithError("BuildTable failed");
                return;
            }
        }
        cells = static_cast<long>(used->m_nRows) * used->m_nColumns;
        // The drawing and the grid go away untimed, so that tables do not pile up.
        state.PauseTiming();
        grid = CellGrid();
        session.NewDrawing();
        state.ResumeTiming();
    }
    if (cells != static_cast<long>(kScheduleRows + 1) * kScheduleColumns)
        state.SkipWithError("wrong number of cells");
    state.SetItemsProcessed(state.iterations() * cells);
}

// ---- 2. DbTable_Update of many linked tables --------------------------------------------

// Changes the last cell of the drawing's last table, runs the update and tells whether the
// cell holds the database's text ("V-<records>" heads the last record) again.
bool CellComesBack(int records) {
    ads_name last;
    AcDbObjectId id;
    if (acdbEntLast(last) != RTNORM || acdbGetObjectId(id, last) != Acad::eOk)
        return false;
    AcDbTable* table = nullptr;
    if (acdbOpenObject(table, id, AcDb::kForWrite) != Acad::eOk)
        return false;
    const int row = static_cast<int>(table->numRows()) - 1;
    table->setTextString(row, 1, _T("changed"));
    table->close();
    {
        host::QueueInput input({"ALL", ""});
        host::ScopedInput scope(input);
        CmdDbTableUpdate();
    }
    if (acdbOpenObject(table, id, AcDb::kForRead) != Acad::eOk)
        return false;
    const CString text = table->textString(row, 1);
    table->close();
    CString expected;
    expected.Format(_T("V-%04d"), records);
    return text == expected;
}

// args: number of linked tables, records per table (5 columns, plus the headings row).
void BM_DbTableUpdate(benchmark::State& state) {
    const int tables = static_cast<int>(state.range(0));
    const int records = static_cast<int>(state.range(1));
    if (BenchDatabase().empty()) {
        state.SkipWithError("cannot make the benchmark database");
        return;
    }
    HostSession session;
    {
        // The drawing: the linked tables side by side, built as DbTable_Create builds them.
        const TableLink templateLink = BenchLink("Parts" + std::to_string(records));
        CMyDatabase db;
        if (!db.Open(templateLink.m_strConnectDriver, templateLink.m_strDatabase, CString(),
                     CString())) {
            state.SkipWithError("cannot open the database");
            return;
        }
        for (int i = 0; i < tables; ++i) {
            TableLink link = templateLink;
            CellGrid grid;
            if (!db.FillGrid(link, grid)) {
                state.SkipWithError("FillGrid failed");
                return;
            }
            host::QueueInput input({std::to_string(i * 400) + ",0"});
            host::ScopedInput scope(input);
            BuildTable(grid, link);
        }
    }
    const long cells = static_cast<long>(tables) * (records + 1) * kPartsColumns;
    for (auto _ : state) {
        host::QueueInput input({"ALL", ""});
        host::ScopedInput scope(input);
        CmdDbTableUpdate();
        if (!input.Empty() || session.output.find("was not updated") != std::string::npos) {
            state.SkipWithError("the update did not run through");
            return;
        }
        session.output.clear();
    }
    // The update really rewrites the tables: a cell changed in the last table comes back.
    if (!CellComesBack(records)) {
        state.SkipWithError("the update did not restore a changed cell");
        return;
    }
    state.SetItemsProcessed(state.iterations() * cells);
    state.counters["cells"] = static_cast<double>(cells);
    state.counters["tables"] = tables;
    state.counters["time_per_cell"] = benchmark::Counter(
        static_cast<double>(cells),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Keeps the real and CPU time per iteration of every benchmark, for the summary at the end:
// the median when the runs were repeated, else the single run.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    struct Times {
        double real = 0;  // seconds per iteration
        double cpu = 0;
        double cells = 0;   // the "cells" counter, 0 when there is none
        double tables = 0;  // the "tables" counter, 0 when there is none
        bool median = false;
    };

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations <= 0)
                continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type != Run::RT_Iteration && !median)
                continue;
            Times& times = results[run.run_name.str()];
            if (times.median && !median)
                continue;
            const double iterations = static_cast<double>(run.iterations);
            times.real = run.real_accumulated_time / iterations;
            times.cpu = run.cpu_accumulated_time / iterations;
            times.median = median;
            if (const auto cells = run.counters.find("cells"); cells != run.counters.end())
                times.cells = cells->second.value;
            if (const auto tables = run.counters.find("tables"); tables != run.counters.end())
                times.tables = tables->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, Times> results;
};

void PrintSummary(const SummaryReporter& reporter) {
    using Times = SummaryReporter::Times;
    auto find = [&](const std::string& prefix) -> const Times* {
        for (const auto& [name, times] : reporter.results) {
            if (name.rfind(prefix, 0) == 0)
                return &times;
        }
        return nullptr;
    };
    std::printf("\nSummary (module build with %d-byte text; real time, CPU time in brackets)\n",
                static_cast<int>(sizeof(TCHAR)));
    if (const Times* raw = find("BM_RawReadEveryCell")) {
        std::printf("  %-52s %8.0f ms (%5.0f ms)\n", "raw read of 100,000 x 10", raw->real * 1e3,
                    raw->cpu * 1e3);
        const std::pair<const char*, const char*> steps[] = {
            {"BM_NewTable/part:0", "FillGrid + BuildTable"},
            {"BM_NewTable/part:1", "FillGrid alone"},
            {"BM_NewTable/part:2", "BuildTable alone"}};
        for (const auto& [prefix, label] : steps) {
            if (const Times* step = find(prefix)) {
                std::printf("  %-52s %8.0f ms (%5.0f ms)  %.2f x the raw read (%.2f x)\n", label,
                            step->real * 1e3, step->cpu * 1e3, step->real / raw->real,
                            step->cpu / raw->cpu);
            }
        }
    }
    // The update cases, and the CPU time model time = cells x perCell + tables x perTable
    // fitted to them (least squares of the relative deviations): how far the cases lie from
    // it tells how linear the update is in the cells.
    double scc = 0, scn = 0, snn = 0, stc = 0, stn = 0;
    for (const auto& [name, times] : reporter.results) {
        if (name.rfind("BM_DbTableUpdate", 0) != 0 || times.cells <= 0 || times.cpu <= 0)
            continue;
        const double weight = 1 / (times.cpu * times.cpu);
        scc += weight * times.cells * times.cells;
        scn += weight * times.cells * times.tables;
        snn += weight * times.tables * times.tables;
        stc += weight * times.cpu * times.cells;
        stn += weight * times.cpu * times.tables;
        std::printf("  %-52s %8.1f ms (%5.1f ms)  %7.0f cells  %4.0f ns per cell (%4.0f ns)\n",
                    name.c_str(), times.real * 1e3, times.cpu * 1e3, times.cells,
                    times.real / times.cells * 1e9, times.cpu / times.cells * 1e9);
    }
    const double det = scc * snn - scn * scn;
    if (det <= 0)
        return;
    const double perCell = (stc * snn - stn * scn) / det;
    const double perTable = (stn * scc - stc * scn) / det;
    double squaredDeviations = 0;
    int cases = 0;
    for (const auto& [name, times] : reporter.results) {
        if (name.rfind("BM_DbTableUpdate", 0) != 0 || times.cells <= 0 || times.cpu <= 0)
            continue;
        const double deviation = (perCell * times.cells + perTable * times.tables) / times.cpu - 1;
        squaredDeviations += deviation * deviation;
        ++cases;
    }
    std::printf(
        "  DbTable_Update CPU time fitted as %.0f ns per cell + %.1f us per table; the cases lie "
        "within %.1f %% (RMS) of it\n",
        perCell * 1e9, perTable * 1e6, std::sqrt(squaredDeviations / cases) * 100);
}

}  // namespace

BENCHMARK(BM_RawReadEveryCell)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_NewTable)
    ->ArgName("part")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_DbTableUpdate)
    ->ArgNames({"tables", "records"})
    ->Args({10, 200})
    ->Args({100, 50})
    ->Args({100, 200})
    ->Args({100, 800})
    ->Args({1000, 50})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintSummary(reporter);
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(BenchFolder(), ignored);
    return 0;
}
