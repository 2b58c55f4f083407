// Places in source files and the compile errors reported at them.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

namespace rc {

// A line of a source file. The file name is shared by every location in that file.
struct Location {
    std::shared_ptr<const std::string> file;
    int line = 0;  // 1-based; 0 when the error concerns the file as a whole
};

// A compile error. what() is the report: "file:line: error: message".
class Error : public std::runtime_error {
public:
    Error(const Location& where, const std::string& message);

    const Location& where() const { return where_; }
    const std::string& message() const { return message_; }

private:
    Location where_;
    std::string message_;
};

}  // namespace rc
