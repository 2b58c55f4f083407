// The resource compiler as a whole: a script in, the generated tables out.
//
//   quarvel_rc SCRIPT.rc [-I DIR]... [-D NAME[=VALUE]]... -o OUTPUT.cpp [--depfile FILE]
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tools/rc/resources.h"

namespace rc {

struct CompileOptions {
    std::filesystem::path script;
    std::vector<std::filesystem::path> includeDirs;
    std::vector<std::pair<std::string, std::string>> defines;
};

struct CompileResult {
    ResourceScript resources;
    std::vector<std::filesystem::path> files;  // the script and every file it read
};

// Throws rc::Error for a script that does not compile.
CompileResult Compile(const CompileOptions& options);

// The command line: 0 on success, 1 when the script does not compile (the error goes to err
// and no output file is left), 2 for a usage error.
int RunCommandLine(const std::vector<std::string>& args, std::ostream& err);

}  // namespace rc
