// Two drawings of one session, in two folders, each linked to the database beside it through
// the same relative path: the console host opens one, refreshes it, opens the other and
// refreshes that; each table shows the rows of its own database, with each module build.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "host_run.h"

namespace fs = std::filesystem;

namespace {

class TwoFolders : public ::testing::Test {
protected:
    void SetUp() override {
        m_work = fs::path(testing::TempDir()) / ("quarvel_two_folders_" + std::to_string(getpid()));
        testsupport::MakeFreshFolder(m_work);
        // The project's sample drawing links its table to "quarvel_sample.sqlite" beside it.
        for (const char* folder : {"a", "b"}) {
            fs::create_directories(m_work / folder);
            fs::copy_file(testsupport::SourceDir() / "sample/equipment.dxf",
                          m_work / folder / "plan.dxf");
            fs::copy_file(testsupport::BuildDir() / "sample/quarvel_sample.sqlite",
                          m_work / folder / "quarvel_sample.sqlite");
        }
        const auto changed = testsupport::RunProcess(
            {"sqlite3", "b/quarvel_sample.sqlite",
             "UPDATE Equipment SET Description = 'Pumpe aus B' WHERE Tag = 'P-101'"},
            m_work);
        ASSERT_EQ(changed.status, 0) << changed.err;
    }
    void TearDown() override { fs::remove_all(m_work); }

    fs::path m_work;
};

TEST_F(TwoFolders, EachDrawingIsRefreshedFromTheDatabaseBesideIt) {
    for (const int build : testsupport::kModuleBuilds) {
        const auto run = testsupport::RunHostScript(
            build, m_work,
            "OPEN\na/plan.dxf\nDbTable_Update\nALL\n\n"
            "OPEN\nb/plan.dxf\nDbTable_Update\nALL\n\nTABLEEXPORT\nALL\n\n-\n"
            "OPEN\na/plan.dxf\nDbTable_Update\nALL\n\nTABLEEXPORT\nALL\n\n-\n");
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(run.err, "");
        const std::size_t b = run.out.find("P-101,Pumpe aus B,Halle Süd,2,");
        ASSERT_NE(b, std::string::npos) << build << "\n" << run.out;
        // Back in the first drawing, its own rows again.
        EXPECT_NE(run.out.find("P-101,Kühlwasserpumpe,Halle Süd,2,", b), std::string::npos)
            << run.out;
    }
}

}  // namespace
