// Reads every cell of a 100,000 x 10 SQLite table through CADORecordset and ReadCellText, and
// compares with the engine's own loop (sqlite3_step and sqlite3_column_text over the same
// query, the limit of any reader) and the sqlite3 tool writing the query as CSV; imports
// nwind.mdb and reads Orders or every table (time, and the process's peak memory as a counter),
// against mdb-export writing the same tables. Ends with the wrapper's time as a multiple of the
// engine loop's, and the Access import's as a multiple of mdb-export's.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/common/raw_read.h"
#include "data/ADORecordset.h"

namespace {

constexpr int kRows = 100000;
const char* const kQuery = "SELECT * FROM Schedule";

const std::filesystem::path& BenchFolder() {
    static const std::filesystem::path folder = [] {
        auto dir = std::filesystem::temp_directory_path() /
                   ("quarvel_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        return dir;
    }();
    return folder;
}

// A 100,000-row, 10-column schedule: integers, reals, text, dates, booleans and some NULLs.
const std::string& BenchDatabase() {
    static const std::string path = [] {
        const std::string file = (BenchFolder() / "schedule.sqlite").string();
        sqlite3* db = nullptr;
        sqlite3_open(file.c_str(), &db);
        sqlite3_exec(
            db,
            "CREATE TABLE Schedule (Id INTEGER, Tag VARCHAR(16), Description VARCHAR(80), "
            "Quantity INTEGER, Weight DOUBLE, Price DOUBLE, Installed DATETIME, Active BOOLEAN, "
            "Serial BIGINT, Notes TEXT);"
            "BEGIN;"
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
            "INSERT INTO Schedule SELECT i, printf('P-%06d', i), printf('Kühlwasserpumpe Nr. %d', "
            "i), "
            "i % 97, i * 0.125, (i % 1000) * 1.75, "
            "datetime(1577836800 + i * 3600, 'unixepoch'), i % 2, 4000000000 + i, "
            "CASE WHEN i % 5 = 0 THEN NULL ELSE 'Gleitringdichtung prüfen' END FROM n;"
            "COMMIT;",
            nullptr, nullptr, nullptr);
        sqlite3_close(db);
        return file;
    }();
    return path;
}

long PeakMemoryKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// User and system time of the finished child processes.
double ChildCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Reads every cell as text; returns the number of cells read.
long ReadAllCells(CADODatabase& db, const char* sql, benchmark::State& state) {
    std::size_t length = 0;
    const long cells = ReadAllCells(db, CString(sql).GetString(), length);
    if (cells < 0) {
        state.SkipWithError("query failed");
        return 0;
    }
    benchmark::DoNotOptimize(length);
    return cells;
}

void BM_RecordsetReadsEveryCell(benchmark::State& state) {
    const std::string file = BenchDatabase();
    CADODatabase db;
    if (!db.OpenConnection(
            CString(("Driver={SQLite3 ODBC Driver};Database=" + file + ";").c_str()).GetString())) {
        state.SkipWithError("cannot open the database");
        return;
    }
    for (auto _ : state)
        ReadAllCells(db, kQuery, state);
    state.counters["rows"] = kRows;
}
// At least a second of runs each, so that the first query's fresh pages do not weigh in a
// handful of runs.
BENCHMARK(BM_RecordsetReadsEveryCell)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();

// The engine's limit: every cell of the same query as text straight from the engine.
void BM_EngineLoopReadsEveryCell(benchmark::State& state) {
    const std::string file = BenchDatabase();
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        state.SkipWithError("cannot open the database");
        return;
    }
    for (auto _ : state) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, kQuery, -1, &statement, nullptr) != SQLITE_OK) {
            state.SkipWithError("query failed");
            break;
        }
        const int columns = sqlite3_column_count(statement);
        std::size_t length = 0;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c) {
                const unsigned char* text = sqlite3_column_text(statement, c);
                length += text ? std::strlen(reinterpret_cast<const char*>(text)) : 0;
            }
        }
        sqlite3_finalize(statement);
        benchmark::DoNotOptimize(length);
    }
    sqlite3_close(db);
    state.counters["rows"] = kRows;
}
BENCHMARK(BM_EngineLoopReadsEveryCell)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();

void BM_Sqlite3ToolWritesCsv(benchmark::State& state) {
    const std::string file = BenchDatabase();
    const std::string out = (BenchFolder() / "schedule.csv").string();
    const std::string command =
        std::string(QUARVEL_SQLITE3_TOOL) + " -csv '" + file + "' '" + kQuery + "' > '" + out + "'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("sqlite3 failed");
            return;
        }
    }
    state.counters["rows"] = kRows;
}
BENCHMARK(BM_Sqlite3ToolWritesCsv)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AccessImportsAndReadsOrders(benchmark::State& state) {
    const std::string connect =
        "Driver={Microsoft Access Driver (*.mdb)};Dbq=" + std::string(QUARVEL_TESTDATA_DIR) +
        "/nwind.mdb;Uid=;Pwd=;";
    for (auto _ : state) {
        // A fresh connection each time: its tables are copied from the file on first use.
        CADODatabase db;
        if (!db.OpenConnection(CString(connect.c_str()).GetString())) {
            state.SkipWithError("cannot open nwind.mdb");
            return;
        }
        state.counters["cells"] =
            static_cast<double>(ReadAllCells(db, "SELECT * FROM Orders", state));
    }
    state.counters["peak_rss_KiB"] = static_cast<double>(PeakMemoryKiB());
}
BENCHMARK(BM_AccessImportsAndReadsOrders)->Unit(benchmark::kMillisecond)->UseRealTime();

const char* const kNwindTables[] = {"Categories",    "Customers", "Employees",
                                    "Order Details", "Orders",    "Products",
                                    "Shippers",      "Suppliers", "Umsätze"};

std::string NwindPath() {
    return std::string(QUARVEL_TESTDATA_DIR) + "/nwind.mdb";
}

// A fresh connection copies each table from the file on its first query; every cell is then
// read as text.
void BM_AccessImportsEveryTable(benchmark::State& state) {
    const std::string connect = "Driver={Microsoft Access Driver (*.mdb)};Dbq=" + NwindPath() + ";";
    for (auto _ : state) {
        CADODatabase db;
        db.OpenConnection(CString(connect.c_str()).GetString());
        long cells = 0;
        for (const char* table : kNwindTables) {
            cells +=
                ReadAllCells(db, ("SELECT * FROM [" + std::string(table) + "]").c_str(), state);
        }
        state.counters["cells"] = static_cast<double>(cells);
    }
    state.counters["peak_rss_KiB"] = static_cast<double>(PeakMemoryKiB());
}
BENCHMARK(BM_AccessImportsEveryTable)->Unit(benchmark::kMillisecond)->UseRealTime();

// mdbtools' own exporter writing the same tables as CSV to /dev/null, one process per table
// as it is used from a shell.
void BM_MdbExportWritesEveryTable(benchmark::State& state) {
    if (std::string(QUARVEL_MDB_EXPORT_TOOL).empty()) {
        state.SkipWithError("mdb-export is not installed");
        return;
    }
    std::string command = "{";
    for (const char* table : kNwindTables) {
        command += std::string(" '") + QUARVEL_MDB_EXPORT_TOOL + "' '" + NwindPath() + "' '" +
                   table + "' || exit 1;";
    }
    command += " } > /dev/null";
    const double before = ChildCpuSeconds();
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("mdb-export failed");
            return;
        }
    }
    // The processes' own CPU time (user and system) per run, beside the real time.
    state.counters["child_cpu_ms"] =
        (ChildCpuSeconds() - before) * 1e3 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_MdbExportWritesEveryTable)->Unit(benchmark::kMillisecond)->UseRealTime();

// Keeps the real and CPU time per iteration of every benchmark (of its best repetition) for
// the comparison at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    struct Times {
        double real = 0;  // seconds per iteration
        double cpu = 0;
    };
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations <= 0 || run.run_type != Run::RT_Iteration)
                continue;
            const double iterations = static_cast<double>(run.iterations);
            const Times times{run.real_accumulated_time / iterations,
                              run.cpu_accumulated_time / iterations};
            // With --benchmark_repetitions the best repetition counts: other work on the
            // machine only ever adds time.
            const auto [kept, added] = results.try_emplace(run.run_name.str(), times);
            if (!added && times.real < kept->second.real)
                kept->second = times;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, Times> results;
};

// The Access import against mdb-export, and the wrapper's read and the sqlite3 tool against the
// engine loop. The tools run in child processes, so only their real time counts.
void PrintRatios(const RatioReporter& reporter) {
    const auto find = [&](const char* name) -> const RatioReporter::Times* {
        // Run names carry suffixes such as "/real_time".
        for (const auto& [run, times] : reporter.results) {
            if (run.rfind(name, 0) == 0)
                return &times;
        }
        return static_cast<const RatioReporter::Times*>(nullptr);
    };
    const auto* import = find("BM_AccessImportsEveryTable");
    const auto* exporter = find("BM_MdbExportWritesEveryTable");
    if (import && exporter && exporter->real > 0) {
        std::printf("\nnwind.mdb, every table, against mdb-export of the same tables\n");
        std::printf("  %-40s %8.1f ms real\n", "mdb-export to /dev/null", exporter->real * 1e3);
        std::printf("  %-40s %8.1f ms real              %.2f x\n", "import + ReadCellText",
                    import->real * 1e3, import->real / exporter->real);
    }
    const auto* engine = find("BM_EngineLoopReadsEveryCell");
    if (!engine || engine->cpu <= 0 || engine->real <= 0)
        return;
    std::printf("\nAgainst the engine loop (module build with %d-byte text)\n",
                static_cast<int>(sizeof(TCHAR)));
    std::printf("  %-40s %8.0f ms real (%5.0f ms CPU)\n", "engine loop, 100,000 x 10",
                engine->real * 1e3, engine->cpu * 1e3);
    if (const auto* wrapper = find("BM_RecordsetReadsEveryCell")) {
        std::printf("  %-40s %8.0f ms real (%5.0f ms CPU)  %.2f x (%.2f x CPU)\n",
                    "CADORecordset + ReadCellText", wrapper->real * 1e3, wrapper->cpu * 1e3,
                    wrapper->real / engine->real, wrapper->cpu / engine->cpu);
    }
    if (const auto* tool = find("BM_Sqlite3ToolWritesCsv")) {
        std::printf("  %-40s %8.0f ms real              %.2f x\n", "sqlite3 tool, CSV to a file",
                    tool->real * 1e3, tool->real / engine->real);
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintRatios(reporter);
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(BenchFolder(), ignored);
    return 0;
}
