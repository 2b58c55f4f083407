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
