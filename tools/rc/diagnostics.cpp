#include "tools/rc/diagnostics.h"

namespace rc {

namespace {

std::string Report(const Location& where, const std::string& message) {
    std::string text = where.file ? *where.file : std::string("quarvel_rc");
    if (where.line > 0)
        text += ":" + std::to_string(where.line);
    return text + ": error: " + message;
}

}  // namespace

Error::Error(const Location& where, const std::string& message)
    : std::runtime_error(Report(where, message)), where_(where), message_(message) {}

}  // namespace rc
