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
#include <vector>

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

// A drawing saved by one run is opened by the next, given on the command line or with OPEN.
TEST(EndToEnd, DrawingsSavedAndOpenedAgain) {
    const fs::path work = WorkFolder("drawings");
    std::ofstream(work / "make.scr") << "-TABLE\n2\n1\n0,0\nTABLEEDIT\n1,-1\nkept, quoted\n"
                                        "SAVE\nplan.dxf\nSAVE\n";
    auto run = [&](const std::string& args) {
        const std::string command = "cd '" + work.string() + "' && '" + CADHOST_EXE + "' " + args +
                                    " >stdout.txt 2>stderr.txt </dev/null";
        const int raw = std::system(command.c_str());
        Result result;
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.out = ReadAll(work / "stdout.txt");
        result.err = ReadAll(work / "stderr.txt");
        return result;
    };
    Result first = run("--script make.scr");
    ASSERT_EQ(first.status, 0) << first.err;
    // The first SAVE asks for a name; the second saves under it without asking.
    EXPECT_NE(first.out.find("Command: SAVE\nSave drawing as <Drawing1.dxf>: plan.dxf\n"
                             "Command: SAVE\n"),
              std::string::npos)
        << first.out;
    ASSERT_TRUE(fs::exists(work / "plan.dxf"));

    std::ofstream(work / "read.scr") << "TABLEEXPORT\nALL\n\n-\nNEW\nOPEN\nplan.dxf\n";
    const Result second = run("plan.dxf --script read.scr");
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_NE(second.out.find("\n\"kept, quoted\",\n"), std::string::npos) << second.out;
    EXPECT_NE(second.out.find("plan.dxf is open already; it is now current."), std::string::npos);

    const Result missing = run("--script read.scr nothere.dxf");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("cannot open"), std::string::npos) << missing.err;
    fs::remove_all(work);
}

// The module in both builds: its twelve commands come with it, go with it, and come back.
TEST(EndToEnd, QuarvelModuleCommandsFollowLoadAndUnload) {
    struct Build {
        const char* module;
        const char* release;
        const char* name;
    };
    for (const Build& build : {Build{QUARVEL16_MODULE, "16.1", "Quarvel16"},
                               Build{QUARVEL17_MODULE, "17.0", "Quarvel17"}}) {
        SCOPED_TRACE(build.name);
        const fs::path work = WorkFolder(build.name);
        const fs::path script = work / "module.scr";
        std::ofstream(script) << "ARX\nCommands\nDbTable_Test\nARX\nUnload\n"
                              << build.name << "\nARX\nCommands\nARX\nLoad\n"
                              << build.module << "\nARX\nCommands\n";
        const std::string command = "cd '" + work.string() + "' && '" + CADHOST_EXE + "' --load '" +
                                    build.module + "' --release " + build.release +
                                    " --script module.scr >stdout.txt 2>stderr.txt";
        const int raw = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(raw));
        EXPECT_EQ(WEXITSTATUS(raw), 0);
        // Nothing on standard error: the module unloads completely (no warning that it stayed
        // in memory or left commands or reactors behind).
        EXPECT_EQ(ReadAll(work / "stderr.txt"), "");
        const std::string out = ReadAll(work / "stdout.txt");
        // The listing of each "ARX Commands", between its prompt and the next command.
        std::vector<std::string> listings;
        const std::string marker = "Commands]: Commands\n";
        for (std::size_t at = out.find(marker); at != std::string::npos;
             at = out.find(marker, at + 1)) {
            const std::size_t begin = at + marker.size();
            const std::size_t end = out.find("Command: ", begin);
            listings.push_back(out.substr(begin, end == std::string::npos ? end : end - begin));
        }
        ASSERT_EQ(listings.size(), 3u) << out;
        const std::string twelve =
            "Quarv        _DbTable_Create              DbTable_Create\n"
            "Quarv        _DbTable_Properties          DbTable_Properties\n"
            "Quarv        _DbTable_Update              DbTable_Update\n"
            "Quarv        _DbTable_Test                DbTable_Test\n"
            "Morvane      _Quarv_Website               Quarv_Website\n"
            "Morvane      _Quarv_Support               Quarv_Support\n"
            "Morvane      _Quarv_Faq                   Quarv_Faq\n"
            "Morvane      _Quarv_New                   Quarv_New\n"
            "Morvane      _Quarv_Help                  Quarv_Help\n"
            "Morvane      _Quarv_About                 Quarv_About\n"
            "Morvane      _Quarv_Demo                  Quarv_Demo\n"
            "Morvane      _Quarv_Live_Update           Quarv_Live_Update\n";
        EXPECT_EQ(listings[0], twelve);
        EXPECT_EQ(listings[1], "No module commands are registered.\n");
        EXPECT_EQ(listings[2], twelve);
        // DbTable_Test prints nothing.
        EXPECT_NE(out.find("Command: DbTable_Test\nCommand: ARX"), std::string::npos) << out;
        fs::remove_all(work);
    }
}

}  // namespace
