// Programs that know no table entity draw the tables of R12 and R2000 files: the demo drawing
// saved in both versions by the console host is turned into PDF by LibreCAD (under xvfb-run)
// and by LibreOffice, and the table's texts are found in each PDF: with pdftotext in
// LibreOffice's, by reading the page (tesseract) in LibreCAD's, which draws texts with its own
// stroke fonts and so has no text in the PDF. Multi-line texts saved in R12 as single-line
// texts are found in LibreOffice's PDF too.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "host_run.h"

namespace fs = std::filesystem;
using testsupport::RunProcess;

namespace {

constexpr std::chrono::seconds kConvertTimeout{120};

// A work folder with the demo drawing saved as r12.dxf and r2000.dxf.
fs::path SavedDrawings(const std::string& name) {
    const fs::path dir =
        fs::path(testing::TempDir()) / ("quarvel_viewer_" + std::to_string(getpid())) / name;
    testsupport::MakeFreshFolder(dir);
    fs::copy_file(testsupport::SourceDir() / "sample/equipment.dxf", dir / "equipment.dxf");
    EXPECT_TRUE(
        testsupport::WriteFile(dir / "run.scr", "SAVEAS\nR12 r12.dxf\nSAVEAS\nR2000 r2000.dxf\n"));
    const auto r = testsupport::RunHost({"--script", "run.scr", "equipment.dxf"}, dir);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    return dir;
}

// The PDF's text, or what went wrong.
std::string PdfText(const fs::path& pdf) {
    if (!fs::exists(pdf))
        return "(no PDF " + pdf.string() + ")";
    const auto r = RunProcess({"pdftotext", "-layout", pdf.string(), "-"}, pdf.parent_path());
    return r.status == 0 ? r.out : "(pdftotext: " + r.Describe() + " " + r.err + ")";
}

// Texts of the demo table: the header row, plain cells, cells with non-ASCII text.
void ExpectTableTexts(const std::string& text, const std::string& what,
                      const std::vector<const char*>& texts) {
    for (const char* t : texts)
        EXPECT_NE(text.find(t), std::string::npos) << what << " lacks \"" << t << "\":\n" << text;
}

// The text a page shows, read from its picture.
std::string ReadPage(const fs::path& pdf) {
    if (!fs::exists(pdf))
        return "(no PDF " + pdf.string() + ")";
    const fs::path dir = pdf.parent_path();
    const std::string stem = pdf.stem().string();
    auto r = RunProcess(
        {"pdftoppm", "-r", "300", "-gray", "-png", "-singlefile", pdf.string(), stem}, dir);
    if (r.status != 0)
        return "(pdftoppm: " + r.Describe() + " " + r.err + ")";
    r = RunProcess({"tesseract", stem + ".png", "-"}, dir, kConvertTimeout);
    return r.status == 0 ? r.out : "(tesseract: " + r.Describe() + " " + r.err + ")";
}

TEST(DxfViewers, LibreCadDrawsTheTablesOfR12AndR2000Files) {
    const fs::path dir = SavedDrawings("librecad");
    for (const char* name : {"r12", "r2000"}) {
        const std::string pdf = std::string(name) + ".pdf";
        const auto r = RunProcess(
            {"xvfb-run", "-a", "librecad", "dxf2pdf", "-a", "-o", pdf, std::string(name) + ".dxf"},
            dir, kConvertTimeout, {"HOME=" + dir.string(), "QT_QPA_PLATFORM=xcb"});
        EXPECT_EQ(r.status, 0) << r.Describe() << "\n" << r.err;
        // Words the page reader reads surely (it does not know the umlauts of the stroke
        // font, nor Cyrillic).
        ExpectTableTexts(
            ReadPage(dir / pdf), std::string("LibreCAD's PDF of ") + name,
            {"Description", "SerialNumber", "Gleitringdichtung", "Kesselhaus", "Ansprechdruck"});
    }
}

TEST(DxfViewers, LibreOfficeDrawsTheTablesOfR12AndR2000Files) {
    const fs::path dir = SavedDrawings("libreoffice");
    // A private profile: no first-start dialogs, no lock shared with another instance.
    const std::string profile = "-env:UserInstallation=file://" + (dir / "profile").string();
    const auto r = RunProcess({"soffice", profile, "--headless", "--convert-to", "pdf", "--outdir",
                               "pdf", "r12.dxf", "r2000.dxf"},
                              dir, kConvertTimeout, {"HOME=" + dir.string()});
    EXPECT_EQ(r.status, 0) << r.Describe() << "\n" << r.out << r.err;
    for (const char* name : {"r12", "r2000"}) {
        ExpectTableTexts(PdfText(dir / "pdf" / (std::string(name) + ".pdf")),
                         std::string("LibreOffice's PDF of ") + name,
                         {"Description", "SerialNumber", "P-101", "Kühlwasserpumpe", "Halle Süd",
                          "Резервуар питьевой воды"});
    }
}

TEST(DxfViewers, LibreOfficeDrawsTheLinesOfMultiLineTextsInR12) {
    const fs::path dir =
        fs::path(testing::TempDir()) / ("quarvel_viewer_" + std::to_string(getpid())) / "mtext";
    testsupport::MakeFreshFolder(dir);
    fs::copy_file(testsupport::SourceDir() / "tests/files/dxf/multi_line_texts.dxf",
                  dir / "texts.dxf");
    EXPECT_TRUE(testsupport::WriteFile(dir / "run.scr", "SAVEAS\nR12 r12.dxf\n"));
    auto r = testsupport::RunHost({"--script", "run.scr", "texts.dxf"}, dir);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string profile = "-env:UserInstallation=file://" + (dir / "profile").string();
    r = RunProcess(
        {"soffice", profile, "--headless", "--convert-to", "pdf", "--outdir", "pdf", "r12.dxf"},
        dir, kConvertTimeout, {"HOME=" + dir.string()});
    EXPECT_EQ(r.status, 0) << r.Describe() << "\n" << r.out << r.err;
    ExpectTableTexts(PdfText(dir / "pdf" / "r12.pdf"), "LibreOffice's PDF of the R12 texts",
                     {"Pump P-101", "Cooling water", "first", "third", "in a block"});
}

}  // namespace
