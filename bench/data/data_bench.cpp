// Reads every cell of a 100,000 x 10 SQLite table through CADORecordset and ReadCellText, and
// compares with the sqlite3 tool writing the same query as CSV; imports nwind.mdb and reads
// Orders (time, and the process's peak memory as a counter).
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

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
    if (!db.OpenConnection(("Driver={SQLite3 ODBC Driver};Database=" + file + ";").c_str())) {
        state.SkipWithError("cannot open the database");
        return;
    }
    for (auto _ : state)
        ReadAllCells(db, kQuery, state);
    state.counters["rows"] = kRows;
}
BENCHMARK(BM_RecordsetReadsEveryCell)->Unit(benchmark::kMillisecond)->UseRealTime();

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
        if (!db.OpenConnection(connect.c_str())) {
            state.SkipWithError("cannot open nwind.mdb");
            return;
        }
        state.counters["cells"] =
            static_cast<double>(ReadAllCells(db, "SELECT * FROM Orders", state));
    }
    state.counters["peak_rss_KiB"] = static_cast<double>(PeakMemoryKiB());
}
BENCHMARK(BM_AccessImportsAndReadsOrders)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AccessImportsEveryTable(benchmark::State& state) {
    const std::string connect =
        "Driver={Microsoft Access Driver (*.mdb)};Dbq=" + std::string(QUARVEL_TESTDATA_DIR) +
        "/nwind.mdb;";
    for (auto _ : state) {
        CADODatabase db;
        db.OpenConnection(connect.c_str());
        long cells = 0;
        for (const char* table : {"Categories", "Customers", "Employees", "Order Details", "Orders",
                                  "Products", "Shippers", "Suppliers", "Umsätze"}) {
            cells +=
                ReadAllCells(db, ("SELECT * FROM [" + std::string(table) + "]").c_str(), state);
        }
        state.counters["cells"] = static_cast<double>(cells);
    }
    state.counters["peak_rss_KiB"] = static_cast<double>(PeakMemoryKiB());
}
BENCHMARK(BM_AccessImportsEveryTable)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(BenchFolder(), ignored);
    return 0;
}
