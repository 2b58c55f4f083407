// Reads every cell of a 100,000 x 10 PostgreSQL table through CADORecordset and ReadCellText
// (the raw read of DbTable_Update) over the PostgreSQL ODBC driver, and compares with psql
// writing the same query as CSV over the same TCP connection. The server is started for the
// run in a folder of its own on 127.0.0.1 and removed at the end.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "bench/common/raw_read.h"
#include "tests/support/pg_test_server.h"

namespace {

constexpr int kRows = 100000;
constexpr const char* kQuery = "SELECT * FROM schedule";
constexpr const char* kPassword = "bench;pw}";

std::unique_ptr<testsupport::PgTestServer> g_server;
std::string g_failure;

void StartServer() {
    g_server = std::make_unique<testsupport::PgTestServer>(
        QUARVEL_PG_TEST_SERVER,
        std::filesystem::temp_directory_path() / ("quarvel_pg_bench_" + std::to_string(getpid())));
    g_failure = g_server->Start();
    if (!g_failure.empty())
        return;
    const bool made =
        g_server->Sql(std::string("CREATE ROLE bench LOGIN PASSWORD '") + kPassword +
                      "';\nCREATE DATABASE bench OWNER bench;\n") &&
        g_server->Sql(
            "SET ROLE bench;\n"
            "CREATE TABLE schedule (id integer, tag varchar(16), description varchar(80),\n"
            "  quantity integer, weight double precision, price numeric(12,2),\n"
            "  installed timestamp, active boolean, serial bigint, notes text);\n"
            "INSERT INTO schedule SELECT i, 'P-' || lpad(i::text, 6, '0'),\n"
            "  'Kühlwasserpumpe Nr. ' || i, i % 97, i * 0.125, (i % 1000) * 1.75,\n"
            "  timestamp '2020-01-01' + i * interval '1 hour', i % 2 = 1, 4000000000 + i,\n"
            "  CASE WHEN i % 5 = 0 THEN NULL ELSE 'Gleitringdichtung prüfen' END\n"
            "  FROM generate_series(1, 100000) AS i;\n",
            "bench");
    if (!made)
        g_failure = "the benchmark table could not be made";
    g_server->RegisterOdbc("", "");
}

void BM_RecordsetReadsEveryCellOverOdbc(benchmark::State& state) {
    if (!g_failure.empty()) {
        state.SkipWithError(g_failure.c_str());
        return;
    }
    CADODatabase db;
    const std::string connect =
        "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + g_server->Port() +
        ";Database=bench;Uid=bench;Pwd={bench;pw}}};";
    if (!db.OpenConnection(connect.c_str())) {
        state.SkipWithError("cannot connect");
        return;
    }
    for (auto _ : state) {
        std::size_t length = 0;
        const long cells = ReadAllCells(db, CString(kQuery).GetString(), length);
        if (cells != kRows * 10L) {
            state.SkipWithError("the query did not give every cell");
            return;
        }
        benchmark::DoNotOptimize(length);
    }
    state.counters["rows"] = kRows;
}
BENCHMARK(BM_RecordsetReadsEveryCellOverOdbc)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PsqlWritesCsv(benchmark::State& state) {
    if (!g_failure.empty()) {
        state.SkipWithError(g_failure.c_str());
        return;
    }
    std::string psql;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql")) {
        if (std::filesystem::exists(entry.path() / "bin/psql"))
            psql = (entry.path() / "bin/psql").string();
    }
    const std::string out = (std::filesystem::temp_directory_path() /
                             ("quarvel_pg_bench_" + std::to_string(getpid()) + ".csv"))
                                .string();
    const std::string command = "PGPASSWORD='" + std::string(kPassword) + "' '" + psql +
                                "' -X -q --csv -h 127.0.0.1 -p " + g_server->Port() +
                                " -U bench -d bench -c '" + kQuery + "' > '" + out + "'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("psql failed");
            return;
        }
    }
    std::filesystem::remove(out);
    state.counters["rows"] = kRows;
}
BENCHMARK(BM_PsqlWritesCsv)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    StartServer();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_server.reset();
    return 0;
}
