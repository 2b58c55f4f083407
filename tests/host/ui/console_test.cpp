// The console host run as a process: options, exit status, standard output and errors.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "host_run.h"

namespace {

using ProcessRun = testsupport::ProcessResult;

// Runs cadhost with the arguments (shell words, as typed) and the given standard input.
ProcessRun Cadhost(const std::string& args, const std::string& input = "") {
    // Files named after the test: tests run in parallel processes.
    const std::string in = testing::TempDir() + "cadhost_" +
                           testing::UnitTest::GetInstance()->current_test_info()->name() + ".in";
    testsupport::WriteFile(in, input);
    return testsupport::RunProcess(
        {"/bin/sh", "-c", std::string(CADHOST_EXE) + " " + args + " <" + in}, testing::TempDir());
}

std::string Script(const std::string& name, const std::string& text) {
    const std::string path = testing::TempDir() + name;
    testsupport::WriteFile(path, text);
    return path;
}

TEST(ConsoleHost, UsageErrorsExitWithTwo) {
    for (const char* args : {"--bogus", "--release", "--release 15.0", "--load",
                             "--script /nonexistent/x.scr", "a.dxf b.dxf", "--program-name ''"}) {
        const ProcessRun run = Cadhost(args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_NE(run.err.find("cadhost: "), std::string::npos) << args;
        EXPECT_EQ(run.out, "") << args;
    }
    const ProcessRun help = Cadhost("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--load PATH"), std::string::npos);
}

TEST(ConsoleHost, ScriptStopsAtTheFirstFailedLineAndNamesIt) {
    const std::string path = Script("fail.scr", "; comment\nARX\n?\nNOSUCHCOMMAND\nARX\n?\n");
    const ProcessRun run = Cadhost("--script " + path);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, path + ":4: error: Unknown command \"NOSUCHCOMMAND\".\n");
    EXPECT_EQ(run.out,
              "Command: ARX\nEnter an option [?/Load/Unload/Commands]: ?\nNo modules are "
              "loaded.\nCommand: NOSUCHCOMMAND\n");
}

TEST(ConsoleHost, StandardInputWithoutAScript) {
    const ProcessRun run =
        Cadhost("--release 16.0 --program-name mycad", "ARX\nC\n*Cancel*\nQUIT\nARX\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "Command: ARX\nEnter an option [?/Load/Unload/Commands]: C\nNo module commands "
              "are registered.\nCommand: *Cancel*\nCommand: QUIT\n");
}

TEST(ConsoleHost, ModuleOfAnotherReleaseIsRefused) {
    const ProcessRun run =
        Cadhost("--release 16.1 --load " + std::string(HUI_MODULE_DIR) + "/hui_module17.so");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("built for release 17 and this host is release 16.1"), std::string::npos)
        << run.err;
}

TEST(ConsoleHost, DrawingArgumentMustBeReadable) {
    const ProcessRun run = Cadhost("/nonexistent/plan.dxf");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot open /nonexistent/plan.dxf"), std::string::npos) << run.err;
}

}  // namespace

namespace {

TEST(ConsoleHost, ScriptCommandRunsANestedScript) {
    const std::string inner = Script("inner.scr", "ARX\n?\n");
    const std::string bad = Script("bad.scr", "NOPE\n");
    const std::string outer =
        Script("outer.scr", "SCRIPT\n" + inner + "\nHELP\nSCRIPT\n" + bad + "\nARX\n?\n");
    const ProcessRun run = Cadhost("--script " + outer);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("Enter script file name: " + inner +
                           "\nCommand: ARX\nEnter an option [?/Load/Unload/Commands]: ?\nNo "
                           "modules are loaded."),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("  TABLEEXPORT  writes a table's cells"), std::string::npos);
    EXPECT_EQ(run.err, bad + ":1: error: Unknown command \"NOPE\".\n" + outer +
                           ":5: error: SCRIPT: " + bad + " stopped at a failed line\n");
}

}  // namespace
