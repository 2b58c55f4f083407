// Script cases: one file holds a console-host run and what it must give.
//
//   # what the case is about
//   drawing sample/equipment.dxf
//   file build:sample/quarvel_sample.sqlite
//   builds 16 17
//   ==== script
//   DbTable_Update
//   ALL
//
//   ==== output
//   Command: DbTable_Update
//   ...
//   ==== exit 0
//
// The header (before the first "==== " line) names what is copied into the run's work folder,
// the module builds to run with and extra host arguments. Sections follow: the script and the
// input files first, kept as written, then what is expected (standard output, standard error,
// exit status, files the run leaves), which a rewrite makes again from real runs. The README's
// test section describes the format for case writers.
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace cases {

// A case file that cannot be read: its line and what is wrong there.
class CaseError : public std::runtime_error {
public:
    CaseError(int line, const std::string& message) : std::runtime_error(message), m_line(line) {}
    int Line() const { return m_line; }

private:
    int m_line;
};

// A file copied into the work folder: from the source tree, the build tree or the shared test
// data, to its name there (the source's file name unless "as NAME" gives another).
struct FileRef {
    enum class Root { Source, Build, TestData };
    Root root = Root::Source;
    std::string path;    // relative to the root
    std::string target;  // relative to the work folder
};

// kNoModule stands in the build list of a case that runs the host without a module.
constexpr int kNoModule = 0;

// One expected section. build is kNoModule for a section that holds for every build, else the
// build (16, 17) it is for.
struct Expectation {
    enum class Kind { Output, Errors, Exit, File, Absent };
    Kind kind = Kind::Output;
    std::string name;  // the file of a File or Absent section
    int build = kNoModule;
    std::string text;  // the exact expected bytes, placeholders included
    int exit = 0;
};

// A file the script finds in its work folder, written from the case itself.
struct InputFile {
    std::string name;
    std::string text;
};

struct Case {
    std::vector<int> builds = {kNoModule};  // 16 and/or 17, or kNoModule alone
    std::optional<FileRef> drawing;
    std::vector<FileRef> files;
    std::vector<std::string> args;
    // Environment values of the run ("NAME=VALUE", placeholders filled).
    std::vector<std::string> env;
    // An HTTP server on 127.0.0.1 for the run: "files" serves the work folder's www/ folder,
    // "silent" accepts and never answers; empty for none. @HTTP@ stands for its address
    // (http://127.0.0.1:PORT), @HTTPPORT@ for its port, @UNUSEDPORT@ for a port where nothing
    // listens.
    std::string httpServer;
    int timeoutSeconds = 60;
    std::string script;
    std::vector<InputFile> inputs;
    std::vector<Expectation> expectations;
    // The header and the script and input sections exactly as written: a rewrite keeps them.
    std::string kept;
};

// Reads a case file's text; throws CaseError.
Case ParseCase(const std::string& text);

// What one run gives, or what a case expects of one build. Files are those the case's file
// and absent sections name; nullopt where the file does not exist.
struct Outcome {
    std::string out;
    std::string err;
    int exit = 0;
    std::map<std::string, std::optional<std::string>> files;
    bool operator==(const Outcome&) const = default;
};

// The names of the files that a case's sections expect or expect absent, in order of first
// appearance.
std::vector<std::string> ExpectedFileNames(const Case& c);

// What the case expects of a build: its own sections where it has them, else the common ones;
// no output or errors section means none, no exit section means 0.
Outcome ExpectedOf(const Case& c, int build);

// The case file again, with the expected sections made from an outcome per build: kept text
// first, then output, errors, exit and the files. A section common to every build where they
// agree, one per build where they differ. Throws CaseError (line 0) for a text that a section
// cannot hold (a line starting with "==== ").
std::string WriteCase(const Case& c, const std::map<int, Outcome>& outcomes);

// Where a text has a machine's paths (work folder, source folder, ...), the placeholders
// "@WORK@", "@SRC@", ... stand in the case file.
class Placeholders {
public:
    // A value may be empty (the name is then left as it is). Longer values are replaced
    // first, so that a folder inside another keeps its own name.
    void Add(const std::string& name, const std::string& value);
    // Placeholders to values: what the case says to what the run uses.
    std::string Fill(std::string text) const;
    // Values to placeholders: what the run gave to what the case says.
    std::string Mask(std::string text) const;

private:
    std::vector<std::pair<std::string, std::string>> m_values;  // "@NAME@", value
};

// "R16", "R17", or "host" for a run without a module.
std::string BuildTag(int build);

}  // namespace cases
