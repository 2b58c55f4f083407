// DbTable_Properties across the module builds: a link edited in the properties dialog under one
// build (single-byte or UTF-16 text) is stored so that the other build reads the same link and
// refreshes the table to the same cells.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <utility>

#include "host_run.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;

// The build that edits the link, and the build that reads it afterwards.
class PropertiesAcrossBuilds : public ::testing::TestWithParam<std::pair<int, int>> {
protected:
    void SetUp() override {
        m_work = fs::path(testing::TempDir()) /
                 ("quarvel_properties_" + std::to_string(GetParam().first) + "_" +
                  std::to_string(getpid()));
        testsupport::MakeFreshFolder(m_work);
        fs::copy_file(testsupport::SourceDir() / "sample/equipment.dxf", m_work / "equipment.dxf");
        fs::copy_file(testsupport::BuildDir() / "sample/quarvel_sample.sqlite",
                      m_work / "quarvel_sample.sqlite");
    }
    void TearDown() override { fs::remove_all(m_work); }

    testsupport::ProcessResult Run(int build, const std::string& script) {
        return testsupport::RunHostScript(build, m_work, script, {"equipment.dxf"});
    }

    fs::path m_work;
};

// Text beyond ASCII in the SQL: the two builds hold it in different widths.
constexpr const char* kSQL =
    "SELECT Tag, Description, Location FROM Equipment WHERE Location = 'Halle Süd' ORDER BY Tag";

TEST_P(PropertiesAcrossBuilds, ALinkEditedUnderOneBuildRefreshesUnderTheOther) {
    const auto [editor, reader] = GetParam();
    const auto edited = Run(editor, std::string("DbTable_Properties\nL\n@set 123 ") + kSQL +
                                        "\n@click 130\n@ok\nTABLEEXPORT\nL\n\nedited.csv\nSAVE\n");
    ASSERT_EQ(edited.status, 0) << edited.err << edited.out;
    EXPECT_EQ(edited.err, "");
    const std::string cells = ReadFile(m_work / "edited.csv");
    // The table keeps its ten columns; those the three-column result leaves are emptied.
    EXPECT_EQ(cells,
              "Tag,Description,Location,,,,,,,\r\n"
              "P-101,Kühlwasserpumpe,Halle Süd,,,,,,,\r\n"
              "P-102,Kühlwasserpumpe (Reserve),Halle Süd,,,,,,,\r\n");

    // The other build finds the same SQL in the saved link and, after the cells were edited
    // by hand, refreshes them to the same texts.
    const auto read = Run(reader,
                          "XDLIST\nL\n\nTABLEEDIT\n1,-5\nstale\nDbTable_Update\nL\n\n"
                          "TABLEEXPORT\nL\n\nrefreshed.csv\n");
    ASSERT_EQ(read.status, 0) << read.err << read.out;
    EXPECT_EQ(read.err, "");
    EXPECT_NE(read.out.find(std::string("1000  ") + kSQL + "\n"), std::string::npos) << read.out;
    EXPECT_EQ(ReadFile(m_work / "refreshed.csv"), cells);
}

INSTANTIATE_TEST_SUITE_P(Builds, PropertiesAcrossBuilds,
                         ::testing::Values(std::pair{16, 17}, std::pair{17, 16}),
                         [](const auto& info) {
                             return "R" + std::to_string(info.param.first) + "ThenR" +
                                    std::to_string(info.param.second);
                         });

}  // namespace
