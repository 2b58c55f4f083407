// Runs one script case with the console host and compares what the run gives with what the
// case expects; with --rewrite (or QUARVEL_REWRITE_CASES=1 in the environment) writes the
// expected sections anew from the run instead.
//
//   case_runner [--build 16|17|none] [--work FOLDER] [--rewrite] [--keep] CASE_FILE
//
// Without --build every build the case names runs. The work folder (default: one under the
// system's temporary folder) gets a fresh sub-folder per build; it is removed after a run
// that passed unless --keep is given, and kept for a look after one that failed.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>

#include "case_file.h"
#include "host_run.h"
#include "http_server.h"
#include "text_diff.h"

namespace fs = std::filesystem;
using namespace cases;

namespace {

struct Options {
    fs::path caseFile;
    std::optional<int> build;
    fs::path work;
    bool rewrite = false;
    bool keep = false;
};

int Usage(const std::string& message) {
    std::cerr << "case_runner: " << message
              << "\nUsage: case_runner [--build 16|17|none] [--work FOLDER] [--rewrite] [--keep] "
                 "CASE_FILE\n";
    return 2;
}

fs::path RootOf(FileRef::Root root) {
    switch (root) {
        case FileRef::Root::Build:
            return testsupport::BuildDir();
        case FileRef::Root::TestData:
            return testsupport::TestDataDir();
        case FileRef::Root::Source:
            break;
    }
    return testsupport::SourceDir();
}

// The running system as the module describes it in its support mail: the distribution's name
// (os-release), the kernel's name and release and the machine, each followed by a blank.
std::string SystemDescription() {
    std::string distribution;
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::ifstream in(path);
        if (!in)
            continue;
        std::string line, name;
        while (std::getline(in, line)) {
            for (const std::string key : {"PRETTY_NAME=", "NAME="}) {
                if (line.compare(0, key.size(), key) != 0)
                    continue;
                std::string value = line.substr(key.size());
                if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                    value.back() == value.front())
                    value = value.substr(1, value.size() - 2);
                if (key == "PRETTY_NAME=")
                    distribution = value;
                else
                    name = value;
            }
        }
        if (distribution.empty())
            distribution = name;
        break;
    }
    utsname names{};
    if (::uname(&names) != 0)
        return {};
    std::string text;
    for (const std::string& piece : {distribution, std::string(names.sysname),
                                     std::string(names.release), std::string(names.machine)}) {
        if (!piece.empty())
            text += piece + " ";
    }
    return text;
}

// The machine's folders as the case names them. The module of the build, if there is one.
Placeholders PlaceholdersFor(const fs::path& work, int build, const testsupport::HttpServer* server,
                             int unusedPort) {
    Placeholders p;
    if (server) {
        p.Add("HTTP", server->Site());
        p.Add("HTTPPORT", std::to_string(server->Port()));
    }
    if (unusedPort)
        p.Add("UNUSEDPORT", std::to_string(unusedPort));
    p.Add("WORK", work.string());
    p.Add("SYSTEM", SystemDescription());
    p.Add("SRC", testsupport::SourceDir().string());
    p.Add("BUILD", testsupport::BuildDir().string());
    p.Add("TESTDATA", testsupport::TestDataDir().string());
    p.Add("TESTMODULES", testsupport::TestModuleDir().string());
    p.Add("MODULE", build == kNoModule ? "" : testsupport::ModuleFile(build).string());
    return p;
}

struct Run {
    Outcome outcome;      // masked: placeholders where the machine's paths were
    std::string failure;  // why the run itself failed (not started, killed), or empty
    bool ran = false;     // the host was started
    std::string command;
    fs::path work;
};

// Runs a case with one build in a fresh work folder.
Run RunCase(const Case& c, const fs::path& caseFile, int build, const fs::path& work) {
    Run run;
    run.work = work;
    testsupport::MakeFreshFolder(work);
    std::unique_ptr<testsupport::HttpServer> server;
    if (!c.httpServer.empty()) {
        server = std::make_unique<testsupport::HttpServer>(
            c.httpServer == "silent" ? testsupport::HttpServer::Mode::Silent
                                     : testsupport::HttpServer::Mode::Files,
            fs::canonical(work) / "www");
        if (!server->Started())
            run.failure += "cannot start the HTTP server on 127.0.0.1\n";
    }
    const int unusedPort = testsupport::HttpServer::UnusedPort();
    const Placeholders p = PlaceholdersFor(fs::canonical(work), build, server.get(), unusedPort);

    auto copyIn = [&](const FileRef& ref) {
        const fs::path from = RootOf(ref.root) / ref.path;
        const fs::path to = work / ref.target;
        std::error_code ec;
        fs::create_directories(to.parent_path(), ec);
        fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
        if (ec)
            run.failure +=
                "cannot copy " + from.string() + " into the work folder: " + ec.message() + "\n";
    };
    if (c.drawing)
        copyIn(*c.drawing);
    for (const FileRef& ref : c.files)
        copyIn(ref);
    for (const InputFile& input : c.inputs) {
        if (!testsupport::WriteFile(work / input.name, p.Fill(input.text)))
            run.failure += "cannot write " + input.name + " in the work folder\n";
    }
    // The script is named after the case, as its errors name it ("bad_point.scr:4: error:").
    const std::string script = caseFile.stem().string() + ".scr";
    if (!testsupport::WriteFile(work / script, p.Fill(c.script)))
        run.failure += "cannot write the script in the work folder\n";

    std::vector<std::string> args;
    if (build != kNoModule)
        args = testsupport::ModuleArgs(build);
    // Quarvel16 installs its menus into the vendor's menu group at start: a host as installed
    // has that group loaded, so runs with it get a copy of the sample group (saved in the work
    // folder), unless the case loads menu groups of its own.
    if (build == 16 && std::find(c.args.begin(), c.args.end(), "--menu") == c.args.end()) {
        std::error_code ec;
        fs::create_directories(work / ".menus", ec);
        fs::copy_file(RootOf(FileRef::Root::Source) / "sample" / "morvane.menu",
                      work / ".menus" / "morvane.menu", fs::copy_options::overwrite_existing, ec);
        if (ec)
            run.failure +=
                "cannot copy the vendor's menu group into the work folder: " + ec.message() + "\n";
        args.insert(args.begin(), {"--menu", ".menus/morvane.menu"});
    }
    for (const std::string& a : c.args)
        args.push_back(p.Fill(a));
    args.insert(args.end(), {"--script", script});
    if (c.drawing)
        args.push_back(c.drawing->target);
    std::vector<std::string> argv = {testsupport::HostExecutable().string()};
    argv.insert(argv.end(), args.begin(), args.end());
    run.command = testsupport::CommandText(argv);
    if (!run.failure.empty())
        return run;

    std::vector<std::string> environment;
    for (const std::string& e : c.env)
        environment.push_back(p.Fill(e));
    const testsupport::ProcessResult r =
        testsupport::RunHost(args, work, std::chrono::seconds(c.timeoutSeconds), environment);
    run.ran = true;
    run.outcome.out = p.Mask(r.out);
    run.outcome.err = p.Mask(r.err);
    run.outcome.exit = r.status;
    if (r.timedOut)
        run.failure =
            "the host did not end within " + std::to_string(c.timeoutSeconds) + " s and was killed";
    else if (r.signal)
        run.failure = "the host was " + r.Describe();
    for (const std::string& name : ExpectedFileNames(c)) {
        const fs::path file = work / name;
        if (fs::is_regular_file(file))
            run.outcome.files[name] = p.Mask(testsupport::ReadFile(file));
        else
            run.outcome.files[name] = std::nullopt;
    }
    return run;
}

// What differs between the expected and the actual outcome; empty when they agree.
std::string Differences(const Outcome& expected, const Outcome& actual) {
    std::string report;
    if (expected.exit != actual.exit)
        report += "exit status: expected " + std::to_string(expected.exit) + ", got " +
                  std::to_string(actual.exit) + "\n";
    if (const std::string d =
            UnifiedDiff(expected.out, actual.out, "expected output", "actual output");
        !d.empty())
        report += "standard output differs:\n" + d;
    if (const std::string d =
            UnifiedDiff(expected.err, actual.err, "expected errors", "actual errors");
        !d.empty())
        report += "standard error differs:\n" + d;
    for (const auto& [name, want] : expected.files) {
        const auto it = actual.files.find(name);
        const std::optional<std::string> got = it == actual.files.end() ? std::nullopt : it->second;
        if (want && !got) {
            report += "file " + name + ": expected, but the run did not leave it\n";
        } else if (!want && got) {
            report += "file " + name + ": expected absent, but the run left it\n";
        } else if (want && got) {
            if (const std::string d =
                    UnifiedDiff(*want, *got, "expected " + name, "actual " + name);
                !d.empty())
                report += "file " + name + " differs:\n" + d;
        }
    }
    return report;
}

// Holds an exclusive lock on a file for as long as it lives: the tests of a case's builds may
// rewrite the same case file at the same time.
class FileLock {
public:
    explicit FileLock(const fs::path& path) : m_fd(::open(path.c_str(), O_RDWR)) {
        if (m_fd >= 0)
            ::flock(m_fd, LOCK_EX);
    }
    ~FileLock() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool Held() const { return m_fd >= 0; }

private:
    int m_fd;
};

Case Load(const fs::path& file) {
    try {
        return ParseCase(testsupport::ReadFile(file));
    } catch (const CaseError& e) {
        throw std::runtime_error(file.string() + ":" + std::to_string(e.Line()) + ": " + e.what());
    }
}

bool EnvironmentAsksForRewrite() {
    const char* value = std::getenv("QUARVEL_REWRITE_CASES");
    return value && *value && std::string(value) != "0";
}

int RunMain(const Options& options) {
    if (!fs::is_regular_file(options.caseFile))
        return Usage("no case file " + options.caseFile.string());
    // In a rewrite the test of another build may be writing the file: it is read under its
    // lock here, and again before it is written, so that the build that writes second keeps
    // what the first one wrote.
    std::optional<FileLock> lock;
    if (options.rewrite)
        lock.emplace(options.caseFile);
    const Case c = Load(options.caseFile);
    lock.reset();

    std::vector<int> builds = c.builds;
    if (options.build) {
        if (std::find(builds.begin(), builds.end(), *options.build) == builds.end())
            return Usage(options.caseFile.string() + " does not run with " +
                         BuildTag(*options.build));
        builds = {*options.build};
    }
    const fs::path workRoot =
        options.work.empty()
            ? fs::temp_directory_path() / ("quarvel_case_" + options.caseFile.stem().string() +
                                           "_" + std::to_string(::getpid()))
            : fs::absolute(options.work);

    bool passed = true;
    std::map<int, Outcome> actual;
    for (int build : builds) {
        const Run run = RunCase(c, options.caseFile, build, workRoot / BuildTag(build));
        const std::string title = options.caseFile.string() + " (" + BuildTag(build) + ")";
        // What the host gave is compared unless it is to be written; a run that failed is
        // never written, and what it gave up to its end may tell why.
        std::string report = run.failure.empty() ? "" : run.failure + "\n";
        if (run.ran && (!options.rewrite || !run.failure.empty()))
            report += Differences(ExpectedOf(c, build), run.outcome);
        if (report.empty()) {
            actual[build] = run.outcome;
            if (!options.keep)
                fs::remove_all(run.work);
            continue;
        }
        passed = false;
        std::cout << title << ": FAILED\n"
                  << "command: " << run.command << "\nwork folder (kept): " << run.work.string()
                  << "\n"
                  << report;
        if (run.failure.empty())
            std::cout << "(if the change is meant, QUARVEL_REWRITE_CASES=1 ctest -R cases "
                         "rewrites the expected sections from the runs)\n";
    }
    if (passed && !options.keep && options.work.empty()) {
        std::error_code ec;
        fs::remove(workRoot, ec);  // only when empty
    }
    if (!options.rewrite || !passed)
        return passed ? 0 : 1;

    // The builds not run keep what the file expects of them.
    FileLock rewriteLock(options.caseFile);
    const std::string before = testsupport::ReadFile(options.caseFile);
    const Case current = Load(options.caseFile);
    std::map<int, Outcome> outcomes;
    for (int build : current.builds)
        outcomes[build] = actual.count(build) ? actual[build] : ExpectedOf(current, build);
    std::string after;
    try {
        after = WriteCase(current, outcomes);
    } catch (const CaseError& e) {
        std::cout << options.caseFile.string() << ": cannot rewrite: " << e.what() << "\n";
        return 1;
    }
    if (after == before) {
        std::cout << options.caseFile.string() << ": expected sections are up to date\n";
        return 0;
    }
    if (!testsupport::WriteFile(options.caseFile, after)) {
        std::cout << options.caseFile.string() << ": cannot write the file\n";
        return 1;
    }
    std::cout << options.caseFile.string() << ": rewritten\n"
              << UnifiedDiff(before, after, "before", "after");
    return 0;
}

}  // namespace

// The host sees no ODBC driver or data source of the machine (empty odbcinst.ini and
// odbc.ini of its own), so that what the connection dialog lists is the same everywhere.
void HideMachineOdbcSources() {
    const fs::path folder = fs::temp_directory_path() / "quarvel_cases_odbc";
    std::error_code ec;
    fs::create_directories(folder, ec);
    for (const char* name : {"odbcinst.ini", "odbc.ini"}) {
        if (!fs::exists(folder / name))
            testsupport::WriteFile(folder / name, "");
    }
    ::setenv("ODBCSYSINI", folder.c_str(), 1);
    ::setenv("ODBCINI", (folder / "odbc.ini").c_str(), 1);
}

int main(int argc, char** argv) {
    HideMachineOdbcSources();
    Options options;
    options.rewrite = EnvironmentAsksForRewrite();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rewrite") {
            options.rewrite = true;
        } else if (arg == "--keep") {
            options.keep = true;
        } else if (arg == "--build" && i + 1 < argc) {
            const std::string b = argv[++i];
            if (b == "none")
                options.build = kNoModule;
            else if (b == "16" || b == "17")
                options.build = std::stoi(b);
            else
                return Usage("unknown build " + b);
        } else if (arg == "--work" && i + 1 < argc) {
            options.work = argv[++i];
        } else if (!arg.empty() && arg[0] != '-' && options.caseFile.empty()) {
            options.caseFile = arg;
        } else {
            return Usage("unexpected argument " + arg);
        }
    }
    if (options.caseFile.empty())
        return Usage("no case file given");
    try {
        return RunMain(options);
    } catch (const std::exception& e) {
        std::cout << e.what() << "\n";
        return 1;
    }
}
