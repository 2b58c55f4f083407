// Running the console host from tests: where the build put the host, the module builds and the
// test data, and one way of starting a program in a working folder with its standard input at
// /dev/null, its standard output, standard error and exit status captured, and a time limit
// after which it is killed (a hung host fails its test instead of hanging the test run).
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

namespace fs = std::filesystem;

// What the build made and where the sources are. Absolute, without "." or ".." parts.
fs::path HostExecutable();  // build/bin/cadhost
fs::path SourceDir();
fs::path BuildDir();
fs::path TestDataDir();    // the shared test databases (read only)
fs::path TestModuleDir();  // the host's test modules (hui_module17.so, ...)

// The module builds: 16 (single-byte text) and 17 (UTF-16).
constexpr int kModuleBuilds[] = {16, 17};
fs::path ModuleFile(int build);     // build/lib/Quarvel16.so, build/lib/Quarvel17.so
std::string ReleaseFor(int build);  // the host release a build loads into: 16.1, 17.0
// "--load MODULE --release X.Y": the host options that run with one module build.
std::vector<std::string> ModuleArgs(int build);

struct ProcessResult {
    int status = -1;  // exit status; -1 when the program did not exit normally
    int signal = 0;   // the signal that ended it, if one did
    bool timedOut = false;
    std::string out;  // standard output
    std::string err;  // standard error
    // "exit status 1", "killed by signal 11 (...)", "killed: still running at the end ...".
    std::string Describe() const;
};

constexpr std::chrono::seconds kDefaultTimeout{60};

// Runs a program (argv[0] is its path, or a name looked up on PATH; no shell) in a working
// folder. Standard input is /dev/null. After the timeout the program and everything it started
// are killed. A program that cannot be started ends with status 127 and says why on its
// standard error. Environment values ("NAME=VALUE") given replace those of the test's own
// environment.
ProcessResult RunProcess(const std::vector<std::string>& argv, const fs::path& workDir,
                         std::chrono::milliseconds timeout = kDefaultTimeout,
                         const std::vector<std::string>& environment = {});

// Runs the console host with these arguments in a working folder.
ProcessResult RunHost(const std::vector<std::string>& args, const fs::path& workDir,
                      std::chrono::milliseconds timeout = kDefaultTimeout,
                      const std::vector<std::string>& environment = {});

// Runs the console host with one module build on a script: writes the script to run.scr in the
// working folder and runs "--load MODULE --release X.Y --script run.scr", then the extra
// arguments (a drawing to open, "--ui", ...).
ProcessResult RunHostScript(int build, const fs::path& workDir, const std::string& script,
                            const std::vector<std::string>& extra = {},
                            std::chrono::milliseconds timeout = kDefaultTimeout);

// A command line as one might type it, for messages: arguments with blanks or quotes are
// quoted.
std::string CommandText(const std::vector<std::string>& argv);

// Whole files, bytes as they are.
std::string ReadFile(const fs::path& path);
// Writes a file, making its folder first; false when it cannot be written.
bool WriteFile(const fs::path& path, const std::string& text);

// An empty folder of that path: removed with its content first if it exists.
void MakeFreshFolder(const fs::path& path);

}  // namespace testsupport
