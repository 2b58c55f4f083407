// The quarvel_rc command: its output files, exit status and error reports.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "compiler_test_support.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class CommandTest : public ScriptTest {
protected:
    // Runs quarvel_rc with the arguments; returns its exit status, standard error in err_.
    int Run(const std::string& arguments) {
        const fs::path errors = dir_ / "stderr.txt";
        const std::string command =
            std::string(QUARVEL_RC_EXE) + " " + arguments + " 2>" + errors.string();
        const int status = std::system(command.c_str());
        err_ = ReadAll(errors);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string Arguments(const std::string& extra = "") const {
        return (dir_ / "test.rc").string() + " -I " + QUARVEL_SOURCE_DIR + " -o " +
               (dir_ / "out.cpp").string() + " --depfile " + (dir_ / "out.d").string() + extra;
    }

    std::string err_;
};

TEST_F(CommandTest, WritesTheSourceAndTheDependenciesTheSameWayEachTime) {
    Write("ids.h", "#define IDS_HELLO 7\n");
    Write("test.rc",
          "#include \"ids.h\"\n#include \"platform/winuser.h\"\n"
          "STRINGTABLE BEGIN IDS_HELLO \"Hello\" END\n"
          "1 DIALOGEX 0, 0, 50, 20 CAPTION \"Hi\" BEGIN LTEXT \"a\", -1, 1, 2, 3, 4 END\n");
    ASSERT_EQ(Run(Arguments()), 0) << err_;
    EXPECT_EQ(err_, "");
    const std::string source = ReadAll(dir_ / "out.cpp");
    EXPECT_NE(source.find("{7u, \"Hello\"}"), std::string::npos) << source;
    EXPECT_NE(source.find("{-1, \"Static\", \"a\", 0x50020000u, 0x00000000u, 1, 2, 3, 4}"),
              std::string::npos)
        << source;
    EXPECT_NE(source.find("AfxResourceImage g_resourceImage(&kDirectory);"), std::string::npos);
    EXPECT_EQ(source.find(dir_.string()), std::string::npos);  // no paths of the build machine

    const std::string depfile = ReadAll(dir_ / "out.d");
    EXPECT_EQ(depfile.rfind((dir_ / "out.cpp").string() + ":", 0), 0u) << depfile;
    EXPECT_NE(depfile.find("ids.h"), std::string::npos);
    EXPECT_NE(depfile.find("platform/winuser.h"), std::string::npos);
    EXPECT_NE(depfile.find("platform/windef.h"), std::string::npos);

    ASSERT_EQ(Run(Arguments()), 0) << err_;
    EXPECT_EQ(ReadAll(dir_ / "out.cpp"), source);
}

TEST_F(CommandTest, AFailedCompileReportsTheLineAndLeavesNoOutput) {
    Write("test.rc", "STRINGTABLE BEGIN 1 \"ok\" END\n");
    ASSERT_EQ(Run(Arguments()), 0) << err_;
    ASSERT_TRUE(fs::exists(dir_ / "out.cpp"));

    Write("test.rc", "STRINGTABLE\nBEGIN\n  1 \"ok\"\n  2 NOT_A_STRING\nEND\n");
    EXPECT_EQ(Run(Arguments()), 1);
    EXPECT_EQ(err_, (dir_ / "test.rc").string() +
                        ":4: error: expected the string's text in quotes, found "
                        "'NOT_A_STRING'\n");
    // The output of the earlier run is gone too, so a build cannot use stale tables.
    EXPECT_FALSE(fs::exists(dir_ / "out.cpp"));
    EXPECT_FALSE(fs::exists(dir_ / "out.d"));
    for (const auto& entry : fs::directory_iterator(dir_))
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
}

TEST_F(CommandTest, AMissingScriptIsAnErrorAndBadArgumentsAUsageError) {
    EXPECT_EQ(Run((dir_ / "none.rc").string() + " -o " + (dir_ / "out.cpp").string()), 1);
    EXPECT_NE(err_.find("none.rc: error: cannot open"), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(dir_ / "out.cpp"));

    EXPECT_EQ(Run(""), 2);
    EXPECT_NE(err_.find("usage: quarvel_rc"), std::string::npos);
    EXPECT_EQ(Run((dir_ / "test.rc").string() + " --frobnicate -o x.cpp"), 2);
    EXPECT_NE(err_.find("unknown option '--frobnicate'"), std::string::npos);
    EXPECT_EQ(Run((dir_ / "test.rc").string()), 2);  // no -o
}

TEST_F(CommandTest, DefinesFromTheCommandLine) {
    Write("test.rc", "#ifdef FEATURE\nSTRINGTABLE BEGIN VALUE \"on\" END\n#endif\n");
    ASSERT_EQ(Run(Arguments(" -DFEATURE -D VALUE=40+2")), 0) << err_;
    EXPECT_NE(ReadAll(dir_ / "out.cpp").find("{42u, \"on\"}"), std::string::npos);
}

}  // namespace
