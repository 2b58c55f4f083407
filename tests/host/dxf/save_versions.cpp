// Saving drawings in every DXF version through the console host: the demo drawing saved in a
// version opens again in the host (the table's cells, or for R12 and R2000 the block
// reference with the table's link data) and in ezdxf (read and audited), and text beyond
// ASCII survives saving as escapes in the older versions and opening.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "host_run.h"

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::RunHost;
using testsupport::WriteFile;

namespace {

struct VersionCase {
    const char* name;
    const char* acadver;
    bool tableEntity;       // ACAD_TABLE in the file; else an INSERT of the table's block
    const char* blockText;  // the entity type of the texts of the table's block
};

const VersionCase kVersions[] = {
    {"R12", "AC1009", false, "TEXT"},   {"R2000", "AC1015", false, "TEXT"},
    {"R2004", "AC1018", true, "MTEXT"}, {"R2007", "AC1021", true, "MTEXT"},
    {"R2010", "AC1024", true, "MTEXT"}, {"R2013", "AC1027", true, "MTEXT"},
    {"R2018", "AC1032", true, "MTEXT"},
};

fs::path WorkFolder(const std::string& name) {
    const fs::path dir =
        fs::path(testing::TempDir()) / ("quarvel_dxfver_" + std::to_string(getpid())) / name;
    testsupport::MakeFreshFolder(dir);
    return dir;
}

// Runs a script in dir (the drawing given, if any, opened first).
testsupport::ProcessResult Script(const fs::path& dir, const std::string& script,
                                  const std::string& drawing = {}) {
    EXPECT_TRUE(WriteFile(dir / "run.scr", script));
    std::vector<std::string> args = {"--script", "run.scr"};
    if (!drawing.empty())
        args.push_back(drawing);
    return RunHost(args, dir);
}

// What ezdxf finds: version, audit errors, the model space's tables and block references.
std::string Ezdxf(const fs::path& file) {
    const auto r =
        testsupport::RunProcess({QUARVEL_PYTHON, std::string(QUARVEL_DXF_SCRIPTS) + "/check_dxf.py",
                                 "model", file.string()},
                                file.parent_path());
    EXPECT_EQ(r.status, 0) << r.Describe() << "\n" << r.err;
    return r.out;
}

// The groups XDLIST prints, without the line naming the entity and its type.
std::string XDataGroups(const std::string& out) {
    const std::size_t at = out.find("Command: XDLIST");
    if (at == std::string::npos)
        return {};
    std::string groups;
    std::size_t line = out.find('\n', at);
    while (line != std::string::npos && line + 1 < out.size()) {
        const std::size_t end = out.find('\n', line + 1);
        const std::string text = out.substr(line + 1, end - line - 1);
        if (text.rfind("Command:", 0) == 0)
            break;
        if (text.rfind("Extended data of ", 0) && text.rfind("Select objects", 0) &&
            text.find(" found") == std::string::npos)
            groups += text + "\n";
        line = end;
    }
    return groups;
}

// The group codes a DXF text uses (every other line, from the first).
std::set<int> GroupCodes(const std::string& text) {
    std::set<int> codes;
    std::size_t at = 0;
    bool code = true;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        if (code)
            codes.insert(std::atoi(text.c_str() + at));
        code = !code;
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return codes;
}

class SaveVersion : public testing::TestWithParam<VersionCase> {};

TEST_P(SaveVersion, DemoDrawingOpensAgainInTheHostAndInEzdxf) {
    const VersionCase& v = GetParam();
    const fs::path dir = WorkFolder(v.name);
    fs::copy_file(testsupport::SourceDir() / "sample/equipment.dxf", dir / "equipment.dxf");
    const std::string look = "XDLIST\nALL\n\nTABLEEXPORT\nALL\n\n";

    // The original's link data and cells, then the save.
    auto r = Script(dir, look + "before.csv\nSAVEAS\n" + std::string(v.name) + "\nout.dxf\n",
                    "equipment.dxf");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string before = XDataGroups(r.out);
    ASSERT_NE(before.find("SELECT * FROM `Equipment`"), std::string::npos) << r.out;
    const std::string out = (dir / "out.dxf").string();
    EXPECT_NE(r.out.find("Saved " + out + " (DXF " + v.name + ")."), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("1 table was written as a block reference in DXF") != std::string::npos,
              !v.tableEntity)
        << r.out;
    const std::string text = ReadFile(dir / "out.dxf");
    EXPECT_NE(text.find("$ACADVER\n  1\n" + std::string(v.acadver) + "\n"), std::string::npos);
    if (std::string(v.name) == "R12") {
        // No classes, objects, block records, subclass markers, owners or reactors.
        for (const char* name : {"CLASSES", "OBJECTS", "BLOCK_RECORD"})
            EXPECT_EQ(text.find(std::string("\n") + name + "\n"), std::string::npos) << name;
        const std::set<int> codes = GroupCodes(text);
        for (int code : {100, 102, 330, 340, 360})
            EXPECT_EQ(codes.count(code), 0u) << "group code " << code;
        EXPECT_NE(text.find("$HANDLING\n 70\n1\n"), std::string::npos);
    } else {
        EXPECT_NE(text.find("\n  0\nCLASS\n"), std::string::npos);
    }

    // The host opens it again: the same link data, and the same cells where tables are kept.
    r = Script(dir, "OPEN\nout.dxf\nLIST\nALL\n\n" + look + "after.csv\n");
    EXPECT_NE(r.out.find("Opened " + out + " (DXF " + v.name + ")."), std::string::npos) << r.out;
    EXPECT_EQ(XDataGroups(r.out), before) << r.out;
    if (v.tableEntity) {
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_NE(r.out.find("ACAD_TABLE  Handle: A"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("Rows: 9  Columns: 10"), std::string::npos) << r.out;
        EXPECT_EQ(ReadFile(dir / "after.csv"), ReadFile(dir / "before.csv"));
    } else {
        // A block reference: TABLEEXPORT finds no table.
        EXPECT_NE(r.out.find("INSERT  Handle: A"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("Block reference A of the table block *T1 carries a table's "
                             "extended data"),
                  std::string::npos)
            << r.out;
        EXPECT_EQ(r.out.find("ACAD_TABLE"), std::string::npos) << r.out;
        EXPECT_FALSE(fs::exists(dir / "after.csv"));
    }

    // ezdxf reads and audits it and finds the table or the block reference with the link.
    const std::string model = Ezdxf(dir / "out.dxf");
    EXPECT_NE(model.find("\"version\": \"" + std::string(v.acadver) + "\""), std::string::npos)
        << model;
    EXPECT_NE(model.find("\"errors\": []"), std::string::npos) << model;
    EXPECT_NE(model.find(std::string("\"type\": \"") + (v.tableEntity ? "ACAD_TABLE" : "INSERT") +
                         "\", \"block\": \"*T"),
              std::string::npos)
        << model;
    EXPECT_NE(model.find("[1000, \"SELECT * FROM `Equipment`\"]"), std::string::npos) << model;
    EXPECT_NE(model.find("\"LINE\": 21"), std::string::npos) << model;
    EXPECT_NE(model.find("\"" + std::string(v.blockText) + "\": "), std::string::npos) << model;
    EXPECT_NE(model.find("\"Kühlwasserpumpe\""), std::string::npos) << model;
}

INSTANTIATE_TEST_SUITE_P(Dxf, SaveVersion, testing::ValuesIn(kVersions),
                         [](const testing::TestParamInfo<VersionCase>& info) {
                             return std::string(info.param.name);
                         });

// Text beyond ASCII goes into R2004 and before as \U+XXXX escapes (a character beyond U+FFFF
// as two) and comes back on opening; R2007 and later are UTF-8.
TEST(SaveVersionText, CharactersOutsideTheCodePageSurviveSavingAndOpening) {
    const fs::path dir = WorkFolder("text");
    auto r = Script(dir,
                    "-TABLE\n1\n1\n0,0\nTABLEEDIT\n1,-1\nGrüße € Ωmega 😀 C:\\U+0041\n"
                    "SAVEAS\nR2004 old.dxf\nSAVEAS\nR2018 new.dxf\n");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string old = ReadFile(dir / "old.dxf");
    EXPECT_NE(old.find("Gr\\U+00FC\\U+00DFe \\U+20AC \\U+03A9mega \\U+D83D\\U+DE00 "
                       "C:\\U+005CU+0041"),
              std::string::npos);
    EXPECT_EQ(std::count_if(old.begin(), old.end(), [](char c) { return c & 0x80; }), 0)
        << "ASCII only";
    EXPECT_NE(ReadFile(dir / "new.dxf").find("Ωmega 😀"), std::string::npos);
    std::vector<std::string> exports;
    for (const char* file : {"old.dxf", "new.dxf"}) {
        fs::remove(dir / "cells.csv");
        r = Script(dir, std::string("OPEN\n") + file + "\nTABLEEXPORT\nALL\n\ncells.csv\n");
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        exports.push_back(ReadFile(dir / "cells.csv"));
        EXPECT_NE(exports.back().find("Grüße € Ωmega 😀 C:\\U+0041"), std::string::npos)
            << file << ": " << exports.back();
    }
    EXPECT_EQ(exports[0], exports[1]);
    // ezdxf turns the escapes of the R2000 block's texts back too.
    r = Script(dir, "OPEN\nold.dxf\nSAVEAS\nR2000 r2000.dxf\n");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string model = Ezdxf(dir / "r2000.dxf");
    EXPECT_NE(model.find("\"Grüße € Ωmega"), std::string::npos) << model;
}

}  // namespace

namespace {

// What ezdxf finds of a file's 2D polylines, one line each in the same form for LWPOLYLINE
// and POLYLINE (see check_dxf.py polylines), after a line on the file's handles.
std::vector<std::string> Polylines(const fs::path& file) {
    const auto r =
        testsupport::RunProcess({QUARVEL_PYTHON, std::string(QUARVEL_DXF_SCRIPTS) + "/check_dxf.py",
                                 "polylines", file.string()},
                                file.parent_path());
    EXPECT_EQ(r.status, 0) << r.Describe() << "\n" << r.err;
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < r.out.size()) {
        const std::size_t end = std::min(r.out.find('\n', at), r.out.size());
        lines.push_back(r.out.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// Every light polyline of a drawing (open and closed, bulges, widths of the points and a
// constant width, elevation and thickness, extrusion, extended data, in model space, paper
// space and a block) goes into R12 as a POLYLINE with a VERTEX per point, which ezdxf reads
// as the same polyline and the host opens again.
TEST(SaveVersionR12, LightPolylinesBecomePolylinesWithTheSamePoints) {
    const fs::path dir = WorkFolder("lwpolyline");
    fs::copy_file(testsupport::SourceDir() / "tests/files/dxf/light_polylines.dxf",
                  dir / "light.dxf");
    // The R12 save leaves the drawing as it was: R2010 files before and after are the same.
    auto r = Script(dir, "SAVEAS\nR2010 before.dxf\nSAVEAS\nR12 out.dxf\nSAVEAS\nR2010 after.dxf\n",
                    "light.dxf");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(ReadFile(dir / "after.dxf"), ReadFile(dir / "before.dxf"));
    EXPECT_EQ(Count(ReadFile(dir / "after.dxf"), "\nLWPOLYLINE\n"), 6u);
    EXPECT_NE(r.out.find("6 light polylines were written as polylines in DXF R12."),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("LWPOLYLINE"), std::string::npos) << r.out;  // nothing left out

    const std::string text = ReadFile(dir / "out.dxf");
    EXPECT_EQ(Count(text, "\nLWPOLYLINE\n"), 0u);
    EXPECT_EQ(Count(text, "\nPOLYLINE\n"), 6u);
    EXPECT_EQ(Count(text, "\nVERTEX\n"), 20u);
    EXPECT_EQ(Count(text, "\nSEQEND\n"), 6u);

    const std::vector<std::string> source = Polylines(dir / "light.dxf");
    const std::vector<std::string> saved = Polylines(dir / "out.dxf");
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(saved.front(), "handles unique below $HANDSEED");
    EXPECT_EQ(saved, source);

    // What the drawing holds, as ezdxf reads the R12 file.
    struct Expected {
        const char* handle;
        const char* fragment;
    };
    const Expected expected[] = {
        {"32", "32 Model layer=Walls "},
        {"33", "flags=129 "},
        {"33",
         "[0.0, 10.0, 0.0, 0.0, 0.5], [10.0, 10.0, 0.0, 0.0, 0.0], "
         "[10.0, 20.0, 0.0, 0.0, -1.0], [0.0, 20.0, 0.0, 0.0, 0.0]]"},
        {"33", "color=3 ltype=DASHED "},
        {"33", R"(xdata=[["OTHERAPP", [1001, "OTHERAPP"], [1000, "closed with bulges"], )"},
        {"34", "elev=2.5 thick=1.25 "},
        {"34", "[[20.0, 0.0, 0.5, 1.5, 0.0], [30.0, 0.0, 1.5, 0.0, 0.25], "},
        {"35", "elev=-3.0 thick=0.0 ext=[0.0, 0.0, -1.0] width=0.75 "},
        {"35", "[45.0, 5.0, 0.75, 0.75, 0.0]"},
        {"39", "39 FRAME layer=Walls color=256 ltype=BYLAYER flags=1 "},
        {"3D", "3D Layout1 "},
        {"3D", "[100.0, 0.0, 0.0, 0.0, 1.0]"},
    };
    for (const Expected& e : expected) {
        const auto line = std::find_if(saved.begin(), saved.end(), [&](const std::string& s) {
            return s.rfind(std::string(e.handle) + " ", 0) == 0;
        });
        ASSERT_NE(line, saved.end()) << e.handle;
        EXPECT_NE(line->find(e.fragment), std::string::npos) << *line << "\n" << e.fragment;
    }

    // The host opens it with the polylines (under their handles), and saving it again in
    // R2010 keeps them as they are.
    r = Script(dir, "OPEN\nout.dxf\nLIST\nALL\n\nSAVEAS\nR2010 again.dxf\n");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    for (const char* place :
         {"Handle: 32  Space: Model space  Layer: Walls",
          "Handle: 35  Space: Model space  Layer: 0", "Handle: 3D  Space: Paper space  Layer: 0"})
        EXPECT_NE(r.out.find(place), std::string::npos) << place << "\n" << r.out;
    std::vector<std::string> again = Polylines(dir / "again.dxf");
    ASSERT_FALSE(again.empty());
    EXPECT_EQ(again.front(), "handles unique below $HANDSEED");
    EXPECT_EQ(again, source);
}

}  // namespace

namespace {

// The TEXTs and MTEXTs ezdxf finds in a file, one line each (see check_dxf.py texts).
std::vector<std::string> Texts(const fs::path& file) {
    const auto r =
        testsupport::RunProcess({QUARVEL_PYTHON, std::string(QUARVEL_DXF_SCRIPTS) + "/check_dxf.py",
                                 "texts", file.string()},
                                file.parent_path());
    EXPECT_EQ(r.status, 0) << r.Describe() << "\n" << r.err;
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < r.out.size();) {
        const std::size_t end = std::min(r.out.find('\n', at), r.out.size());
        lines.push_back(r.out.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

// Multi-line texts go into R12 as one TEXT per line of their plain text, placed by their
// attachment point (top left, middle centre, bottom right), direction or rotation, height and
// line spacing, in model space, paper space and a block; the first line keeps the handle and
// the extended data.
TEST(SaveVersionR12, MultiLineTextsBecomeOneTextPerLine) {
    const fs::path dir = WorkFolder("mtext");
    fs::copy_file(testsupport::SourceDir() / "tests/files/dxf/multi_line_texts.dxf",
                  dir / "texts.dxf");
    auto r = Script(dir, "SAVEAS\nR12 out.dxf\n", "texts.dxf");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("5 multi-line texts were written as single-line texts in DXF R12."),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("MTEXT"), std::string::npos) << r.out;  // nothing left out
    const std::vector<std::string> expected = {
        R"(31 Model TEXT layer=Notes at=[10.0, 18.0, 0.0] height=2.0 angle=0.0 align=0 )"
        R"("Pump P-101" xdata=[["OTHERAPP", [1001, "OTHERAPP"], [1000, "note"], [1070, 5]]])",
        R"(32 Model TEXT layer=0 at=[45.0, 0.0, 0.0] height=1.5 angle=90.0 align=2 "first" )"
        R"(xdata=[])",
        R"(33 Model TEXT layer=0 at=[-1.75, 3.031089, 0.0] height=3.0 angle=30.0 align=1 "a" )"
        R"(xdata=[])",
        R"(37 LABEL TEXT layer=0 at=[0.0, -1.0, 0.0] height=1.0 angle=0.0 align=0 )"
        R"("in a block" xdata=[])",
        R"(3A Layout1 TEXT layer=0 at=[5.0, 2.5, 0.0] height=2.5 angle=0.0 align=0 "on paper" )"
        R"(xdata=[])",
        R"(41 Model TEXT layer=Notes at=[10.0, 14.666667, 0.0] height=2.0 angle=0.0 align=0 )"
        R"("Cooling water" xdata=[])",
        R"(42 Model TEXT layer=0 at=[50.0, 0.0, 0.0] height=1.5 angle=90.0 align=2 "third" )"
        R"(xdata=[])",
        R"(43 Model TEXT layer=0 at=[3.25, -5.629165, 0.0] height=3.0 angle=30.0 align=1 "b" )"
        R"(xdata=[])",
    };
    EXPECT_EQ(Texts(dir / "out.dxf"), expected);
    const std::vector<std::string> handles = Polylines(dir / "out.dxf");
    ASSERT_FALSE(handles.empty());
    EXPECT_EQ(handles.front(), "handles unique below $HANDSEED");
}

}  // namespace
