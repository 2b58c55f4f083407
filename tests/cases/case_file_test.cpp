// Reading and rewriting case files, and the placeholders for a machine's paths.
#include "case_file.h"

#include <gtest/gtest.h>

using namespace cases;

namespace {

const char* const kModuleCase =
    "# DbTable_Update on the sample\n"
    "drawing sample/equipment.dxf\n"
    "file build:sample/quarvel_sample.sqlite\n"
    "file testdata:nwind.mdb as data/nwind.mdb\n"
    "builds 16 17\n"
    "args --release 17.1\n"
    "timeout 20\n"
    "\n"
    "==== script\n"
    "; a comment line of the script\n"
    "@set 1001 Orders\n"
    "DbTable_Update\n"
    "ALL\n"
    "\n"
    "==== input sub.scr\n"
    "HELP\n"
    "==== output\n"
    "Command: DbTable_Update\n"
    "\n"
    "==== errors R17\n"
    "warning\n"
    "==== exit 0\n"
    "==== exit 1 R17\n"
    "==== file table.csv crlf\n"
    "a,b\n"
    "1,2\n"
    "==== absent table.csv R16\n";

TEST(CaseFile, HeaderNamesFilesBuildsArgumentsAndTimeLimit) {
    const Case c = ParseCase(kModuleCase);
    ASSERT_TRUE(c.drawing);
    EXPECT_EQ(c.drawing->root, FileRef::Root::Source);
    EXPECT_EQ(c.drawing->path, "sample/equipment.dxf");
    EXPECT_EQ(c.drawing->target, "equipment.dxf");
    ASSERT_EQ(c.files.size(), 2u);
    EXPECT_EQ(c.files[0].root, FileRef::Root::Build);
    EXPECT_EQ(c.files[0].target, "quarvel_sample.sqlite");
    EXPECT_EQ(c.files[1].root, FileRef::Root::TestData);
    EXPECT_EQ(c.files[1].path, "nwind.mdb");
    EXPECT_EQ(c.files[1].target, "data/nwind.mdb");
    EXPECT_EQ(c.builds, (std::vector<int>{16, 17}));
    EXPECT_EQ(c.args, (std::vector<std::string>{"--release", "17.1"}));
    EXPECT_EQ(c.timeoutSeconds, 20);
}

TEST(CaseFile, WithoutBuildsLineTheHostRunsAlone) {
    const Case c = ParseCase("==== script\nHELP\n");
    EXPECT_EQ(c.builds, (std::vector<int>{kNoModule}));
    EXPECT_FALSE(c.drawing);
    EXPECT_EQ(c.timeoutSeconds, 60);
    EXPECT_EQ(ParseCase("builds none\n==== script\nHELP\n").builds, c.builds);
}

TEST(CaseFile, ScriptLinesAreKeptAsWrittenWithTheirEmptyLines) {
    const Case c = ParseCase(kModuleCase);
    // Comments, dialog actions and the final empty line (Enter) belong to the script.
    EXPECT_EQ(c.script,
              "; a comment line of the script\n@set 1001 Orders\nDbTable_Update\nALL\n\n");
    ASSERT_EQ(c.inputs.size(), 1u);
    EXPECT_EQ(c.inputs[0].name, "sub.scr");
    EXPECT_EQ(c.inputs[0].text, "HELP\n");
}

TEST(CaseFile, EachBuildGetsItsOwnSectionsElseTheCommonOnes) {
    const Case c = ParseCase(kModuleCase);
    const Outcome r16 = ExpectedOf(c, 16), r17 = ExpectedOf(c, 17);
    EXPECT_EQ(r16.out, "Command: DbTable_Update\n\n");
    EXPECT_EQ(r17.out, r16.out);
    EXPECT_EQ(r16.err, "");  // no common errors section: none expected
    EXPECT_EQ(r17.err, "warning\n");
    EXPECT_EQ(r16.exit, 0);
    EXPECT_EQ(r17.exit, 1);
    EXPECT_EQ(r16.files.at("table.csv"), std::nullopt);
    EXPECT_EQ(r17.files.at("table.csv"), std::optional<std::string>("a,b\r\n1,2\r\n"));
}

TEST(CaseFile, AnEmptyCaseExpectsNoOutputAndExitZero) {
    const Outcome o = ExpectedOf(ParseCase("==== script\nNEW\n"), kNoModule);
    EXPECT_EQ(o, Outcome{});
}

TEST(CaseFile, NoEolMarksTextWithoutAFinalLineEnd) {
    const Case c = ParseCase(
        "==== script\nX\n==== output noeol\nCommand: \n==== file a crlf noeol\n"
        "x\ny\n");
    const Outcome o = ExpectedOf(c, kNoModule);
    EXPECT_EQ(o.out, "Command: ");
    EXPECT_EQ(o.files.at("a"), std::optional<std::string>("x\r\ny"));
}

TEST(CaseFile, ALastLineWithoutLineEndInTheCaseFileIsAWholeLine) {
    EXPECT_EQ(ExpectedOf(ParseCase("==== script\nX\n==== output\nlast"), kNoModule).out, "last\n");
}

TEST(CaseFile, MistakesAreReportedWithTheirLine) {
    const struct {
        const char* text;
        int line;
        const char* message;
    } mistakes[] = {
        {"builds 16\nbuilds 17\n==== script\n", 2, "builds is given twice"},
        {"builds 15\n==== script\n", 1, "unknown build 15"},
        {"drawing /abs/plan.dxf\n==== script\n", 1, "relative"},
        {"file cache:x.db\n==== script\n", 1, "unknown root cache"},
        {"file a b\n==== script\n", 1, "as NAME"},
        {"plan.dxf\n==== script\n", 1, "unknown header line plan.dxf"},
        {"timeout soon\n==== script\n", 1, "timeout takes a number"},
        {"==== script\nX\n==== outptu\n", 3, "unknown section outptu"},
        {"==== script\nX\n==== output R16\n", 3, "a build the case does not run"},
        {"builds 16\n==== script\nX\n==== output R16\n==== output R16\n", 5, "given twice"},
        {"==== script\nX\n==== file a\n==== absent a\n", 4, "given twice"},
        {"==== script\nX\n==== exit\n", 3, "exit takes the exit status"},
        {"==== script\nX\n==== exit 0\nsomething\n", 3, "nothing under it"},
        {"==== script\nX\n==== output\n==== input a.scr\n", 4, "come before"},
        {"==== script\nX\n==== script\nY\n", 3, "one script"},
        {"==== script crlf\nX\n", 1, "unexpected \"crlf\""},
        {"==== script\nX\n==== output R16 crlf\n", 3, "unexpected \"R16\""},
        {"==== input ../x\n==== script\n", 1, "relative"},
        {"# only a header\n", 1, "no \"==== script\""},
    };
    for (const auto& m : mistakes) {
        SCOPED_TRACE(m.text);
        try {
            ParseCase(m.text);
            ADD_FAILURE() << "accepted";
        } catch (const CaseError& e) {
            EXPECT_EQ(e.Line(), m.line);
            EXPECT_NE(std::string(e.what()).find(m.message), std::string::npos) << e.what();
        }
    }
}

// Every text a run can give comes back as it was after being written into a case.
TEST(CaseRewrite, TextsSurviveWritingAndReadingBack) {
    const std::string texts[] = {"",           "\n",      "one line\n",         "no end",
                                 "a\r\nb\r\n", "a\r\nb",  "a\r\nb\n",           "lone\r",
                                 "\r\n",       "a\n\n\n", "Select objects: \n", "x\r\r\n"};
    const Case c = ParseCase("==== script\nX\n==== file f\n");
    for (const std::string& text : texts) {
        SCOPED_TRACE(testing::PrintToString(text));
        Outcome o;
        o.out = text;
        o.err = text;
        o.files["f"] = text;
        const Outcome back = ExpectedOf(ParseCase(WriteCase(c, {{kNoModule, o}})), kNoModule);
        EXPECT_EQ(back, o);
    }
}

TEST(CaseRewrite, KeepsTheHeaderScriptAndInputsAndRenewsTheRest) {
    const Case c = ParseCase(kModuleCase);
    Outcome same;
    same.out = "new output\n";
    same.files["table.csv"] = "x\r\n";
    const std::string written = WriteCase(c, {{16, same}, {17, same}});
    const std::string kept =
        std::string(kModuleCase).substr(0, std::string(kModuleCase).find("==== output"));
    EXPECT_EQ(written, kept +
                           "==== output\nnew output\n"
                           "==== exit 0\n"
                           "==== file table.csv crlf\nx\n");
}

TEST(CaseRewrite, BuildsThatDifferGetSectionsOfTheirOwn) {
    const Case c = ParseCase("builds 16 17\n==== script\nX\n==== file t.csv\n");
    Outcome r16, r17;
    r16.out = "same\n";
    r17.out = "same\n";
    r17.err = "only 17\n";
    r16.exit = 1;
    r16.files["t.csv"] = "16\n";
    r17.files["t.csv"] = std::nullopt;
    const std::string written = WriteCase(c, {{16, r16}, {17, r17}});
    EXPECT_EQ(written,
              "builds 16 17\n==== script\nX\n"
              "==== output\nsame\n"
              "==== errors R17\nonly 17\n"
              "==== exit 1 R16\n==== exit 0 R17\n"
              "==== file t.csv R16\n16\n"
              "==== absent t.csv R17\n");
    const Case back = ParseCase(written);
    EXPECT_EQ(ExpectedOf(back, 16), r16);
    EXPECT_EQ(ExpectedOf(back, 17), r17);
}

TEST(CaseRewrite, RefusesATextThatWouldEndItsSection) {
    const Case c = ParseCase("==== script\nX\n");
    Outcome o;
    o.out = "fine\n==== output\n";
    EXPECT_THROW(WriteCase(c, {{kNoModule, o}}), CaseError);
}

TEST(Placeholders, FillAndMaskAreInverseWithNestedFolders) {
    Placeholders p;
    p.Add("SRC", "/home/me/quarvel");
    p.Add("BUILD", "/home/me/quarvel/build");
    p.Add("WORK", "/home/me/quarvel/build/tests/cases/work/x/R16");
    p.Add("MODULE", "");
    const std::string masked = "@WORK@/plan.dxf @BUILD@/lib @SRC@/sample @MODULE@";
    const std::string filled = p.Fill(masked);
    EXPECT_EQ(filled,
              "/home/me/quarvel/build/tests/cases/work/x/R16/plan.dxf /home/me/quarvel/build/lib "
              "/home/me/quarvel/sample @MODULE@");
    EXPECT_EQ(p.Mask(filled), masked);
    EXPECT_EQ(p.Mask("/home/me/quarvel/build/tests/cases/work/x/R16"), "@WORK@");
}

TEST(Placeholders, DialogLinesAndUnknownNamesStayAsTheyAre) {
    Placeholders p;
    p.Add("WORK", "/w");
    EXPECT_EQ(p.Fill("@click 1\n@set 1001 @WORK@/a.mdb\n@OTHER@\n"),
              "@click 1\n@set 1001 /w/a.mdb\n@OTHER@\n");
}

}  // namespace
