// DbTable_Create end to end with the console host and each module build: every row of Orders
// from nwind.mdb through the browser, saved, and refreshed later to the same cells.
#include <gtest/gtest.h>
#include <unistd.h>

#include "host_run.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;

class BrowserEndToEnd : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        m_work = fs::path(testing::TempDir()) /
                 ("quarvel_browser_" + std::to_string(GetParam()) + "_" + std::to_string(getpid()));
        fs::remove_all(m_work);
        fs::create_directories(m_work);
        fs::copy_file(testsupport::TestDataDir() / "nwind.mdb", m_work / "nwind.mdb");
    }
    void TearDown() override { fs::remove_all(m_work); }

    testsupport::ProcessResult Run(const std::string& script,
                                   const std::vector<std::string>& extra = {}) {
        return testsupport::RunHostScript(GetParam(), m_work, script, extra);
    }

    fs::path m_work;
};

TEST_P(BrowserEndToEnd, EveryRowOfOrdersIsBuiltAndRefreshesToTheSameCells) {
    const auto built =
        Run("DbTable_Create\n@click 101\n@set 108 nwind.mdb\n@ok\n@pick 100 nwind.mdb > Orders\n"
            "@click 105\n0,0\nSAVEAS\norders.dxf\nTABLEEXPORT\nL\n\nbuilt.csv\n");
    ASSERT_EQ(built.status, 0) << built.err << built.out;
    EXPECT_EQ(built.err, "");
    const std::string cells = ReadFile(m_work / "built.csv");
    // The heading row and all 830 orders: records end with CR LF outside quotes (addresses
    // hold line ends of their own, inside their quotes).
    std::size_t records = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (cells[i] == '"')
            quoted = !quoted;
        else if (!quoted && cells[i] == '\n')
            ++records;
    }
    EXPECT_EQ(records, 831u);
    EXPECT_EQ(cells.substr(0, cells.find("\r\n")),
              "OrderID,CustomerID,EmployeeID,OrderDate,RequiredDate,ShippedDate,ShipVia,Freight,"
              "ShipName,ShipAddress,ShipCity,ShipRegion,ShipPostalCode,ShipCountry");

    // A later session: the saved drawing's link refreshes the table to the same cells, also
    // after the cells were changed in the drawing.
    const auto refreshed =
        Run("TABLEEDIT\n1,-5\nchanged\nDbTable_Update\nALL\n\nTABLEEXPORT\nL\n\nrefreshed.csv\n",
            {"orders.dxf"});
    ASSERT_EQ(refreshed.status, 0) << refreshed.err << refreshed.out;
    EXPECT_EQ(ReadFile(m_work / "refreshed.csv"), cells);
}

INSTANTIATE_TEST_SUITE_P(Builds, BrowserEndToEnd, ::testing::ValuesIn(testsupport::kModuleBuilds),
                         [](const auto& info) { return "R" + std::to_string(info.param); });

}  // namespace
