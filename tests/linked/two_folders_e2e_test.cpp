// Two drawings of one session, in two folders, each linked to the database beside it through
// the same relative path: the console host opens one, refreshes it, opens the other and
// refreshes that; each table shows the rows of its own database, with each module build.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct ShellRun {
    int status = -1;
    std::string out, err;
};

ShellRun Shell(const fs::path& work, const std::string& command) {
    const std::string full =
        "cd '" + work.string() + "' && " + command + " >stdout.txt 2>stderr.txt </dev/null";
    const int raw = std::system(full.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadAll(work / "stdout.txt"),
            ReadAll(work / "stderr.txt")};
}

class TwoFolders : public ::testing::Test {
protected:
    void SetUp() override {
        m_work = fs::path(testing::TempDir()) / ("quarvel_two_folders_" + std::to_string(getpid()));
        fs::remove_all(m_work);
        // The project's sample drawing links its table to "quarvel_sample.sqlite" beside it.
        for (const char* folder : {"a", "b"}) {
            fs::create_directories(m_work / folder);
            fs::copy_file(fs::path(QUARVEL_SOURCE_DIR) / "sample/equipment.dxf",
                          m_work / folder / "plan.dxf");
            fs::copy_file(fs::path(QUARVEL_BINARY_DIR) / "sample/quarvel_sample.sqlite",
                          m_work / folder / "quarvel_sample.sqlite");
        }
        const ShellRun changed = Shell(m_work,
                                       "sqlite3 b/quarvel_sample.sqlite \"UPDATE Equipment SET "
                                       "Description = 'Pumpe aus B' WHERE Tag = 'P-101'\"");
        ASSERT_EQ(changed.status, 0) << changed.err;
    }
    void TearDown() override { fs::remove_all(m_work); }

    fs::path m_work;
};

TEST_F(TwoFolders, EachDrawingIsRefreshedFromTheDatabaseBesideIt) {
    const struct {
        const char* module;
        const char* release;
    } builds[] = {{QUARVEL16_MODULE, "16.1"}, {QUARVEL17_MODULE, "17.0"}};
    for (const auto& build : builds) {
        std::ofstream(m_work / "run.scr", std::ios::binary)
            << "OPEN\na/plan.dxf\nDbTable_Update\nALL\n\n"
               "OPEN\nb/plan.dxf\nDbTable_Update\nALL\n\nTABLEEXPORT\nALL\n\n-\n"
               "OPEN\na/plan.dxf\nDbTable_Update\nALL\n\nTABLEEXPORT\nALL\n\n-\n";
        const ShellRun run =
            Shell(m_work, std::string("'") + CADHOST_EXE + "' --load '" + build.module +
                              "' --release " + build.release + " --script run.scr");
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(run.err, "");
        const std::size_t b = run.out.find("P-101,Pumpe aus B,Halle Süd,2,");
        ASSERT_NE(b, std::string::npos) << build.release << "\n" << run.out;
        // Back in the first drawing, its own rows again.
        EXPECT_NE(run.out.find("P-101,Kühlwasserpumpe,Halle Süd,2,", b), std::string::npos)
            << run.out;
    }
}

}  // namespace
