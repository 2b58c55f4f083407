// The console host's OPEN, SAVE and SAVEAS on DXF files, and its drawing argument.
#include <gtest/gtest.h>

#include "dxf_test_util.h"

using namespace dxftest;

namespace {

std::string Cadhost(const std::string& dir, const std::string& script, const std::string& args,
                    int* status) {
    WriteFile(dir + "/s.scr", script);
    std::string out;
    *status = RunCommand("cd " + dir + " && " + CADHOST_EXE + " --script s.scr " + args, &out);
    return out;
}

}  // namespace

TEST(DxfConsole, SaveAsThenOpenAtStartKeepsTheTable) {
    const std::string dir = TempDir();
    int status = 0;
    std::string out = Cadhost(dir,
                              "-TABLE\n3\n2\n0,0\nTABLEEDIT\n1,-1\nGrüße\nSAVEAS\nout.dxf\n"
                              "TABLEEDIT\n21,-1\nzwei\nSAVE\n",
                              "", &status);
    ASSERT_EQ(status, 0) << out;
    const std::string saved = ReadFile(dir + "/out.dxf");
    EXPECT_NE(saved.find("Grüße"), std::string::npos);
    EXPECT_NE(saved.find("zwei"), std::string::npos) << "SAVE writes to the document's path";
    out = Cadhost(dir, "LIST\nALL\n\n", "out.dxf", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("ACAD_TABLE"), std::string::npos) << out;
    EXPECT_NE(out.find("Rows: 2  Columns: 3"), std::string::npos) << out;
}

TEST(DxfConsole, OpenReportsRepairsAndRefusesBrokenFiles) {
    const std::string dir = TempDir();
    int status = 0;
    Cadhost(dir, "-TABLE\n2\n2\n0,0\nSAVEAS\nok.dxf\n", "", &status);
    ASSERT_EQ(status, 0);
    std::string text = ReadFile(dir + "/ok.dxf");
    WriteFile(dir + "/noeof.dxf", text.substr(0, text.rfind("  0\nEOF")));
    std::string out = Cadhost(dir, "OPEN\nnoeof.dxf\nLIST\nALL\n\n", "", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("recovered with 1 repair(s)"), std::string::npos) << out;
    EXPECT_NE(out.find("end marker was added"), std::string::npos) << out;
    WriteFile(dir + "/broken.dxf", text.substr(0, text.size() / 3));
    out = Cadhost(dir, "OPEN\nbroken.dxf\n", "", &status);
    EXPECT_NE(status, 0);
    EXPECT_NE(out.find("cannot open broken.dxf: line "), std::string::npos) << out;
}
