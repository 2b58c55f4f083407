// The resource statements of a preprocessed script.
#pragma once

#include <filesystem>
#include <functional>
#include <vector>

#include "tools/rc/resources.h"
#include "tools/rc/tokens.h"

namespace rc {

struct ParseOptions {
    // Files named by ICON, HTML, BITMAP and typed resources are looked for in the script's
    // folder, then in these folders.
    std::filesystem::path scriptDir;
    std::vector<std::filesystem::path> searchDirs;
    // Told of every file read.
    std::function<void(const std::filesystem::path&)> onFileRead;
};

ResourceScript ParseResources(TokenStream& tokens, const ParseOptions& options);

}  // namespace rc
