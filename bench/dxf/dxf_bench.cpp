// Saving and opening a drawing with one large table, timed, with the process's peak memory.
//
//   dxf_bench save ROWS COLUMNS FILE   builds the table, saves it; prints the timings
//   dxf_bench open FILE                opens the drawing; prints the timing
//   dxf_bench read FILE                reads the file's bytes and nothing else: the I/O limit
//                                      of opening
//   dxf_bench write BYTES FILE         writes that many bytes and flushes them to disk, as
//                                      saving does: the I/O limit of saving
// Each run is one process so that its peak memory belongs to that step alone. Output lines
// are "key value" pairs for run_bench.sh; cpu_s is the process's processor time (user and
// system), which other work on the machine disturbs less than the elapsed time.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
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

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto s = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

constexpr std::size_t kChunk = std::size_t(1) << 20;

int Read(const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    const double cpu = CpuSeconds();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::perror(path.c_str());
        return 1;
    }
    auto buf = std::make_unique<char[]>(kChunk);
    std::size_t total = 0;
    unsigned sum = 0;  // touches what was read
    for (;;) {
        const ssize_t n = read(fd, buf.get(), kChunk);
        if (n <= 0)
            break;
        total += static_cast<std::size_t>(n);
        sum += static_cast<unsigned char>(buf[static_cast<std::size_t>(n) - 1]);
    }
    close(fd);
    std::printf("read_s %.3f\n", Seconds(start));
    std::printf("cpu_s %.3f\n", CpuSeconds() - cpu);
    std::printf("file_bytes %zu\n", total);
    std::printf("check %u\n", sum);
    return 0;
}

int Write(std::size_t bytes, const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    const double cpu = CpuSeconds();
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::perror(path.c_str());
        return 1;
    }
    auto buf = std::make_unique<char[]>(kChunk);
    std::memset(buf.get(), 'x', kChunk);
    for (std::size_t done = 0; done < bytes;) {
        const std::size_t n = std::min(kChunk, bytes - done);
        if (write(fd, buf.get(), n) != static_cast<ssize_t>(n)) {
            std::perror(path.c_str());
            close(fd);
            return 1;
        }
        done += n;
    }
    fsync(fd);
    close(fd);
    std::printf("write_s %.3f\n", Seconds(start));
    std::printf("cpu_s %.3f\n", CpuSeconds() - cpu);
    return 0;
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
    const double cpu = CpuSeconds();
    std::string error;
    if (!host::dxf::SaveDxf(db, path, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::printf("save_s %.3f\n", Seconds(start));
    std::printf("cpu_s %.3f\n", CpuSeconds() - cpu);
    struct stat st {};
    stat(path.c_str(), &st);
    std::printf("file_bytes %lld\n", static_cast<long long>(st.st_size));
    std::printf("peak_kib %ld\n", PeakKiB());
    return 0;
}

int Open(const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    const double cpu = CpuSeconds();
    std::string error;
    auto db = host::dxf::LoadDxf(path, error, nullptr);
    if (!db) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::printf("open_s %.3f\n", Seconds(start));
    std::printf("cpu_s %.3f\n", CpuSeconds() - cpu);
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
    if (mode == "read" && argc == 3)
        return Read(argv[2]);
    if (mode == "write" && argc == 4)
        return Write(std::strtoull(argv[2], nullptr, 10), argv[3]);
    std::fprintf(stderr,
                 "usage: dxf_bench save ROWS COLUMNS FILE | open FILE | read FILE | "
                 "write BYTES FILE\n");
    return 2;
}
