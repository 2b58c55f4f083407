// Errors and warnings: they go to standard error, tagged with the input line that caused them
// ("build.scr:12: error: ..."), and an error fails that line.
#pragma once

#include <string>
#include <string_view>

namespace host {

// An error in what the user asked (unknown command, bad answer, failed file operation): the
// message goes to standard error with the input location ("build.scr:12: ..."), and the
// current input line counts as failed (a script stops after the current command).
void ReportError(std::string_view message);
// A warning: standard error, the line does not fail.
void ReportWarning(std::string_view message);

// Tests: collects error and warning texts instead of writing them to standard error.
void SetErrorCapture(std::string* capture);

}  // namespace host
