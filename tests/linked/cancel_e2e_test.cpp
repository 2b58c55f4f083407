// Ctrl-C during a refresh whose query never ends: the console host cancels the command, says
// so, and goes on (here: the script stops at the cancelled line), with each module build.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "host_run.h"

namespace fs = std::filesystem;

namespace {

using testsupport::ReadFile;

class CancelRefresh : public ::testing::Test {
protected:
    void SetUp() override {
        m_work = fs::path(testing::TempDir()) / ("quarvel_cancel_" + std::to_string(getpid()));
        testsupport::MakeFreshFolder(m_work);
        fs::copy_file(testsupport::SourceDir() / "sample/equipment.dxf", m_work / "plan.dxf");
        fs::copy_file(testsupport::BuildDir() / "sample/quarvel_sample.sqlite",
                      m_work / "quarvel_sample.sqlite");
        // The linked table becomes a view that works for ever without giving a row.
        const std::string sql =
            "ALTER TABLE Equipment RENAME TO Kept; CREATE VIEW Equipment AS WITH RECURSIVE "
            "n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT Kept.* FROM n, Kept "
            "WHERE n.i < 0;";
        const auto made =
            testsupport::RunProcess({"sqlite3", "quarvel_sample.sqlite", sql}, m_work);
        ASSERT_EQ(made.status, 0) << made.err;
        ASSERT_TRUE(testsupport::WriteFile(m_work / "run.scr", "DbTable_Update\nALL\n\nHELP\n"));
    }
    void TearDown() override { fs::remove_all(m_work); }

    fs::path m_work;
};

TEST_F(CancelRefresh, CtrlCCancelsTheRunningRefreshInsteadOfEndingTheHost) {
    // The host is started here rather than through the test support's runner, which waits for
    // the end: Ctrl-C comes while it runs.
    const std::string host = testsupport::HostExecutable().string();
    for (const int build : testsupport::kModuleBuilds) {
        const std::string module = testsupport::ModuleFile(build).string();
        const std::string release = testsupport::ReleaseFor(build);
        // The previous build's output would say at once that this one is in the refresh.
        fs::remove(m_work / "stdout.txt");
        fs::remove(m_work / "stderr.txt");
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(m_work.c_str()) != 0)
                _exit(126);
            if (!freopen("stdout.txt", "w", stdout) || !freopen("stderr.txt", "w", stderr) ||
                !freopen("/dev/null", "r", stdin))
                _exit(126);
            execl(host.c_str(), host.c_str(), "--load", module.c_str(), "--release",
                  release.c_str(), "plan.dxf", "--script", "run.scr", static_cast<char*>(nullptr));
            _exit(127);
        }
        // The host is in the refresh once the module has said so (or, with its output still
        // in a buffer, a while after it started).
        const auto start = std::chrono::steady_clock::now();
        while (ReadFile(m_work / "stdout.txt").find("Preparing for table update") ==
                   std::string::npos &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(4))
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        kill(pid, SIGINT);
        int status = 0;
        for (int i = 0; i < 200 && waitpid(pid, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (waitpid(pid, &status, WNOHANG) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            FAIL() << release << ": the host did not stop after Ctrl-C";
        }
        const std::string out = ReadFile(m_work / "stdout.txt");
        const std::string err = ReadFile(m_work / "stderr.txt");
        ASSERT_TRUE(WIFEXITED(status)) << release << " ended by a signal\n" << out << err;
        EXPECT_EQ(WEXITSTATUS(status), 1) << out << err;
        EXPECT_NE(out.find("was not updated"), std::string::npos) << out;
        // The error names the line that ended the selection, where the command ran.
        EXPECT_NE(err.find("run.scr:3: error: DbTable_Update: cancelled"), std::string::npos)
            << err;
        EXPECT_EQ(out.find("Host commands:"), std::string::npos) << out;
    }
}

}  // namespace
