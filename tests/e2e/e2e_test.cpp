// Runs the console host on every script in scripts/ and compares its standard output with the
// script's ".out" file and its exit status with 0. "@HUI_MODULE_DIR@" in a script or its
// expected output stands for the folder of the test modules.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Substitute(std::string text) {
    const std::string key = "@HUI_MODULE_DIR@";
    for (std::size_t at; (at = text.find(key)) != std::string::npos;)
        text.replace(at, key.size(), HUI_MODULE_DIR);
    return text;
}

struct Result {
    int status = -1;
    std::string out, err;
};

// Runs cadhost in its own working folder on a script.
Result RunScript(const fs::path& work, const fs::path& script) {
    const fs::path prepared = work / script.filename();
    std::ofstream(prepared, std::ios::binary) << Substitute(ReadAll(script));
    const std::string command = "cd '" + work.string() + "' && '" + CADHOST_EXE + "' --script '" +
                                prepared.string() + "' >stdout.txt 2>stderr.txt </dev/null";
    const int raw = std::system(command.c_str());
    Result result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadAll(work / "stdout.txt");
    result.err = ReadAll(work / "stderr.txt");
    return result;
}

fs::path WorkFolder(const std::string& name) {
    const fs::path work =
        fs::path(testing::TempDir()) / ("cadhost_e2e_" + name + "_" + std::to_string(getpid()));
    fs::remove_all(work);
    fs::create_directories(work);
    return work;
}

TEST(EndToEnd, EveryScriptGivesItsExpectedOutput) {
    int scripts = 0;
    for (const auto& entry : fs::directory_iterator(E2E_SCRIPT_DIR)) {
        if (entry.path().extension() != ".scr")
            continue;
        ++scripts;
        const std::string name = entry.path().stem().string();
        SCOPED_TRACE(name);
        const fs::path work = WorkFolder(name);
        const Result result = RunScript(work, entry.path());
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        fs::path expected = entry.path();
        expected.replace_extension(".out");
        EXPECT_EQ(result.out, Substitute(ReadAll(expected)));
        fs::remove_all(work);
    }
    EXPECT_GE(scripts, 2);
}

TEST(EndToEnd, TableExportFileIsCsv) {
    const fs::path work = WorkFolder("export");
    const Result result = RunScript(work, fs::path(E2E_SCRIPT_DIR) / "tables.scr");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(ReadAll(work / "export.csv"),
              "Product,\"Price, EUR\",Note\r\nChai,18.00,\"says \"\"very good\"\"\"\r\n");
    fs::remove_all(work);
}

TEST(EndToEnd, FailingLineStopsTheScriptWithStatusOne) {
    const fs::path work = WorkFolder("failing");
    const fs::path script =
        fs::path(testing::TempDir()) / ("failing_" + std::to_string(getpid()) + ".scr");
    std::ofstream(script) << "-TABLE\n2\n2\nnot-a-point\nERASE\nALL\n\n";
    const Result result = RunScript(work, script);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, (work / script.filename()).string() +
                              ":4: error: Invalid point: expects x,y or x,y,z.\n");
    EXPECT_EQ(result.out.find("ERASE"), std::string::npos);  // nothing ran after the failure
    fs::remove_all(work);
    fs::remove(script);
}

}  // namespace
