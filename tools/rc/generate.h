// The C++ source holding a script's resource tables (platform/afxres.h) and the object that
// registers them, and the dependency file naming everything the script read.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tools/rc/resources.h"

namespace rc {

// The same script always gives the same text. scriptName appears in a comment only.
std::string GenerateSource(const ResourceScript& script, const std::string& scriptName);

// A make-style dependency file: "output: input...".
std::string GenerateDepfile(const std::filesystem::path& output,
                            const std::vector<std::filesystem::path>& inputs);

}  // namespace rc
