// Ctrl-C during a refresh whose query never ends: the console host cancels the command, says
// so, and goes on (here: the script stops at the cancelled line), with each module build.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class CancelRefresh : public ::testing::Test {
protected:
    void SetUp() override {
        m_work = fs::path(testing::TempDir()) / ("quarvel_cancel_" + std::to_string(getpid()));
        fs::remove_all(m_work);
        fs::create_directories(m_work);
        fs::copy_file(fs::path(QUARVEL_SOURCE_DIR) / "sample/equipment.dxf", m_work / "plan.dxf");
        fs::copy_file(fs::path(QUARVEL_BINARY_DIR) / "sample/quarvel_sample.sqlite",
                      m_work / "quarvel_sample.sqlite");
        // The linked table becomes a view that works for ever without giving a row.
        const std::string sql =
            "ALTER TABLE Equipment RENAME TO Kept; CREATE VIEW Equipment AS WITH RECURSIVE "
            "n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT Kept.* FROM n, Kept "
            "WHERE n.i < 0;";
        const std::string command =
            "sqlite3 '" + (m_work / "quarvel_sample.sqlite").string() + "' \"" + sql + "\"";
        ASSERT_EQ(std::system(command.c_str()), 0);
        std::ofstream(m_work / "run.scr", std::ios::binary) << "DbTable_Update\nALL\n\nHELP\n";
    }
    void TearDown() override { fs::remove_all(m_work); }

    fs::path m_work;
};

TEST_F(CancelRefresh, CtrlCCancelsTheRunningRefreshInsteadOfEndingTheHost) {
    const struct {
        const char* module;
        const char* release;
    } builds[] = {{QUARVEL16_MODULE, "16.1"}, {QUARVEL17_MODULE, "17.0"}};
    for (const auto& build : builds) {
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(m_work.c_str()) != 0)
                _exit(126);
            if (!freopen("stdout.txt", "w", stdout) || !freopen("stderr.txt", "w", stderr) ||
                !freopen("/dev/null", "r", stdin))
                _exit(126);
            execl(CADHOST_EXE, CADHOST_EXE, "--load", build.module, "--release", build.release,
                  "plan.dxf", "--script", "run.scr", static_cast<char*>(nullptr));
            _exit(127);
        }
        // The host is in the refresh once the module has said so (or, with its output still
        // in a buffer, a while after it started).
        const auto start = std::chrono::steady_clock::now();
        while (ReadAll(m_work / "stdout.txt").find("Preparing for table update") ==
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
            FAIL() << build.release << ": the host did not stop after Ctrl-C";
        }
        const std::string out = ReadAll(m_work / "stdout.txt");
        const std::string err = ReadAll(m_work / "stderr.txt");
        ASSERT_TRUE(WIFEXITED(status)) << build.release << " ended by a signal\n" << out << err;
        EXPECT_EQ(WEXITSTATUS(status), 1) << out << err;
        EXPECT_NE(out.find("was not updated"), std::string::npos) << out;
        // The error names the line that ended the selection, where the command ran.
        EXPECT_NE(err.find("run.scr:3: error: DbTable_Update: cancelled"), std::string::npos)
            << err;
        EXPECT_EQ(out.find("Host commands:"), std::string::npos) << out;
    }
}

}  // namespace
