// Running programs for the tests: what is captured, where they run, and that a hung one is
// killed instead of hanging the test run.
#include "host_run.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace testsupport;

namespace {

fs::path Work() {
    const fs::path dir = fs::path(testing::TempDir()) /
                         ("host_run_" + std::to_string(getpid()) + "_" +
                          testing::UnitTest::GetInstance()->current_test_info()->name());
    MakeFreshFolder(dir);
    return dir;
}

ProcessResult Shell(const std::string& script,
                    std::chrono::milliseconds timeout = kDefaultTimeout) {
    return RunProcess({"/bin/sh", "-c", script}, Work(), timeout);
}

TEST(RunProcess, CapturesOutputErrorsAndExitStatusApart) {
    const ProcessResult r = Shell("echo out; echo err >&2; printf 'no end'; exit 3");
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "out\nno end");
    EXPECT_EQ(r.err, "err\n");
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.Describe(), "exit status 3");
}

TEST(RunProcess, RunsInTheGivenFolder) {
    const fs::path work = Work();
    const ProcessResult r = RunProcess({"/bin/sh", "-c", "pwd -P"}, work);
    EXPECT_EQ(r.out, fs::canonical(work).string() + "\n");
}

TEST(RunProcess, StandardInputIsEmpty) {
    // A program reading its input sees its end at once instead of waiting for a terminal.
    const ProcessResult r = Shell("cat; echo done");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "done\n");
}

TEST(RunProcess, ReadsLargeOutputOnBothStreamsWithoutBlocking) {
    // More than a pipe holds on each stream, the error stream first.
    const ProcessResult r = Shell("head -c 300000 /dev/zero >&2; head -c 500000 /dev/zero");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.size(), 500000u);
    EXPECT_EQ(r.err.size(), 300000u);
}

TEST(RunProcess, AHungProgramIsKilledAtItsTimeLimit) {
    const ProcessResult r = Shell("echo started; sleep 60", std::chrono::milliseconds(300));
    EXPECT_TRUE(r.timedOut);
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.out, "started\n");
    EXPECT_NE(r.Describe().find("time limit"), std::string::npos);
}

TEST(RunProcess, AProgramThatClosesItsOutputAndHangsIsKilledToo) {
    const ProcessResult r =
        Shell("echo bye; exec >&- 2>&-; sleep 60", std::chrono::milliseconds(300));
    EXPECT_TRUE(r.timedOut);
    EXPECT_EQ(r.out, "bye\n");
}

TEST(RunProcess, ReportsTheSignalThatEndedTheProgram) {
    const ProcessResult r = Shell("kill -SEGV $$");
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.signal, SIGSEGV);
    EXPECT_NE(r.Describe().find("signal 11"), std::string::npos);
}

TEST(RunProcess, AProgramThatCannotStartEndsWithStatus127) {
    const ProcessResult r = RunProcess({"/nonexistent/program"}, Work());
    EXPECT_EQ(r.status, 127);
    EXPECT_NE(r.err.find("cannot start /nonexistent/program"), std::string::npos) << r.err;
    const ProcessResult inMissingFolder = RunProcess({"/bin/true"}, "/nonexistent/folder");
    EXPECT_EQ(inMissingFolder.status, 127);
}

TEST(RunHost, RunsTheBuiltConsoleHost) {
    const ProcessResult r = RunHost({"--help"}, Work());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Usage: cadhost", 0), 0u) << r.out;
}

TEST(RunHost, ModuleArgumentsLoadEachBuildIntoItsRelease) {
    for (int build : kModuleBuilds) {
        const fs::path work = Work();
        WriteFile(work / "s.scr", "ARX\n?\n");
        std::vector<std::string> args = ModuleArgs(build);
        args.insert(args.end(), {"--script", "s.scr"});
        const ProcessResult r = RunHost(args, work);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("Quarvel" + std::to_string(build) + ".so"), std::string::npos)
            << r.out;
    }
}

TEST(CommandText, QuotesOnlyWhatAShellWouldSplitOrExpand) {
    EXPECT_EQ(CommandText({"cadhost", "--script", "a.scr"}), "cadhost --script a.scr");
    EXPECT_EQ(CommandText({"cadhost", "my plan.dxf", ""}), "cadhost 'my plan.dxf' ''");
    EXPECT_EQ(CommandText({"it's"}), "'it'\\''s'");
}

}  // namespace
