// Exports by the console host, checked by other programs: a drawing written by ezdxf (lines,
// arcs, a text, a multi-line text, a block reference, a hatch) rendered by EXPORT and by
// ezdxf's own renderer, every entity where ezdxf puts it (compared by colour boxes and probe
// points in ezdxf_drawing.py); the sample drawing as PDF, read by poppler's pdftotext and
// pdfinfo.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "host_run.h"

namespace {

namespace fs = std::filesystem;
using testsupport::RunHost;
using testsupport::RunProcess;

TEST(EzdxfDrawingTest, HostPictureMatchesEzdxfRenderer) {
    const fs::path work = testsupport::BuildDir() / "tests" / "render" / "ezdxf";
    testsupport::MakeFreshFolder(work);
    const std::string script = std::string(QUARVEL_RENDER_SCRIPTS) + "/ezdxf_drawing.py";
    const auto written = RunProcess({QUARVEL_PYTHON, script, "write", work.string()}, work);
    ASSERT_EQ(written.status, 0) << written.Describe() << "\n" << written.out << written.err;

    // The same window at the same size: 0,0 to 160,100 at 800 x 500 pixels.
    ASSERT_TRUE(testsupport::WriteFile(work / "export.scr",
                                       "EXPORT\nhost.png\n800x500\nWindow\n0,0\n160,100\n"));
    const auto host = RunHost({"--script", "export.scr", "other.dxf"}, work);
    ASSERT_EQ(host.status, 0) << host.Describe() << "\n" << host.out << host.err;
    EXPECT_NE(host.out.find("Exported host.png (800 x 500 pixels)."), std::string::npos)
        << host.out;

    const auto compared = RunProcess({QUARVEL_PYTHON, script, "compare", work.string()}, work);
    EXPECT_EQ(compared.status, 0) << compared.out << compared.err;
}

TEST(ExportTest, PdfOfTheSampleDrawingHoldsItsTableTexts) {
    const fs::path work = testsupport::BuildDir() / "tests" / "render" / "pdf";
    testsupport::MakeFreshFolder(work);
    fs::copy_file(testsupport::SourceDir() / "sample" / "equipment.dxf", work / "equipment.dxf");
    ASSERT_TRUE(testsupport::WriteFile(work / "export.scr", "EXPORT\ntable.pdf\n900x300\n\n"));
    const auto host = RunHost({"--script", "export.scr", "equipment.dxf"}, work);
    ASSERT_EQ(host.status, 0) << host.Describe() << "\n" << host.out << host.err;
    const auto text = RunProcess({"pdftotext", "-layout", "table.pdf", "-"}, work);
    ASSERT_EQ(text.status, 0) << text.Describe() << text.err;
    for (const char* expected : {"Description", "P-101", "Резервуар", "Kühlwasserpumpe"})
        EXPECT_NE(text.out.find(expected), std::string::npos) << expected << "\n" << text.out;
    const auto info = RunProcess({"pdfinfo", "table.pdf"}, work);
    EXPECT_NE(info.out.find("900 x 300 pts"), std::string::npos) << info.out;
}

}  // namespace
