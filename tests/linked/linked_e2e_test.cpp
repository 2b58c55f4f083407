// Linked tables end to end: the console host opens a drawing written by another program whose
// table is linked to a real Access database through a path relative to the drawing, refreshes
// it with each module build, exports it and saves it; the link survives group for group, and a
// drawing refreshed by one build is refreshed again by the other.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "host_run.h"

namespace fs = std::filesystem;

namespace {

using testsupport::ReadFile;
using testsupport::RunHostScript;

class LinkedDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        m_work = fs::path(testing::TempDir()) /
                 ("quarvel_linked_" + std::to_string(getpid()) + "_" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        testsupport::MakeFreshFolder(m_work / "data");
        fs::copy_file(testsupport::TestDataDir() / "nwind.mdb", m_work / "data/nwind.mdb");
    }
    void TearDown() override { fs::remove_all(m_work); }

    // A drawing of another program, linked to table through "data/nwind.mdb".
    void MakeDrawing(const char* table) {
        const auto made = testsupport::RunProcess(
            {"python3", MAKE_LINKED_DRAWING, "plan.dxf", "data/nwind.mdb", table}, m_work);
        ASSERT_EQ(made.status, 0) << made.err;
    }

    // Runs the host with one module build on plan.dxf.
    testsupport::ProcessResult Host(int build, const std::string& script) {
        return RunHostScript(build, m_work, script, {"plan.dxf"});
    }

    fs::path m_work;
};

const char* const kRefreshAndExport =
    "DbTable_Update\nALL\n\nTABLEEXPORT\nALL\n\nshippers.csv\nSAVE\n";

// CSV files end their records with CR LF.
constexpr const char* kShippersCsv =
    "ShipperID,CompanyName,Phone\r\n"
    "1,Speedy Express,(503) 555-9831\r\n"
    "2,United Package,(503) 555-3199\r\n"
    "3,Federal Shipping,(503) 555-9931\r\n";

TEST_F(LinkedDrawing, EachBuildRefreshesADrawingOfAnotherProgram) {
    for (const int build : testsupport::kModuleBuilds) {
        MakeDrawing("Shippers");
        const std::string linkBefore = Host(build, "XDLIST\nALL\n\n").out;
        const auto run = Host(build, kRefreshAndExport);
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_NE(run.out.find("Preparing for table update..."), std::string::npos);
        EXPECT_EQ(ReadFile(m_work / "shippers.csv"), kShippersCsv) << build;

        // The saved drawing keeps the link exactly as it was.
        const auto reopened = Host(build, "XDLIST\nALL\n\n");
        EXPECT_EQ(reopened.status, 0);
        EXPECT_NE(reopened.out.find("1000  data/nwind.mdb"), std::string::npos);
        EXPECT_EQ(reopened.out, linkBefore);
    }
}

TEST_F(LinkedDrawing, ADrawingRefreshedByOneBuildIsRefreshedByTheOther) {
    MakeDrawing("Order Details");
    const auto first = Host(17, "DbTable_Update\nALL\n\nSAVE\n");
    ASSERT_EQ(first.status, 0) << first.err;
    const auto second = Host(16, "LIST\nALL\n\nDbTable_Update\nALL\n\nLIST\nALL\n\n");
    ASSERT_EQ(second.status, 0) << second.err;
    // Headings and the 2155 order lines, before and after the second refresh.
    const std::size_t at = second.out.find("Rows: 2156");
    ASSERT_NE(at, std::string::npos) << second.out;
    EXPECT_NE(second.out.find("Rows: 2156", at + 1), std::string::npos);
    EXPECT_NE(second.out.find("Preparing for table update..."), std::string::npos);
}

TEST_F(LinkedDrawing, MissingDatabaseLeavesTheTableAsItWas) {
    MakeDrawing("Shippers");
    fs::remove(m_work / "data/nwind.mdb");
    const auto run = Host(17, "DbTable_Update\nALL\n\nTABLEEXPORT\nALL\n\n-\n");
    EXPECT_NE(run.out.find("old 1,1"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("could not be opened"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("CADODataBase Error"), std::string::npos);
}

// The module follows drawings being opened and closed without a word, and once unloaded no
// document event reaches it.
TEST_F(LinkedDrawing, DocumentEventsAreQuietAndEndWithTheModule) {
    for (const int build : testsupport::kModuleBuilds) {
        const std::string name = testsupport::ModuleFile(build).filename().string();
        const auto run = RunHostScript(
            build, m_work, "NEW\nNEW\nCLOSE\nARX\nUnload\n" + name + "\nNEW\nCLOSE\nCLOSE\n");
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out,
                  "Command: NEW\nCommand: NEW\nCommand: CLOSE\nCommand: ARX\n"
                  "Enter an option [?/Load/Unload/Commands]: Unload\n"
                  "Module to unload: " +
                      name + "\n" + name +
                      " unloaded.\n"
                      "Command: NEW\nCommand: CLOSE\nCommand: CLOSE\n");
    }
}

}  // namespace
