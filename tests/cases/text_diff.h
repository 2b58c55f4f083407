// Line differences between two texts in unified form ("--- expected", "+++ actual", "@@"
// hunks with a few lines of context), as a reader of a failed test wants to see them.
#pragma once

#include <string>

namespace cases {

// Empty when the texts are equal. A last line without a line end is marked as diff marks it,
// and a carriage return at the end of a line is shown as "\r".
std::string UnifiedDiff(const std::string& expected, const std::string& actual,
                        const std::string& expectedName = "expected",
                        const std::string& actualName = "actual", int context = 3);

}  // namespace cases
