#include "host/base/report.h"

#include <cstdio>

#include "host/base/command_line.h"
#include "host/base/input.h"

namespace host {

namespace {

std::string* g_errorCapture = nullptr;

void WriteError(std::string_view kind, std::string_view message) {
    std::string line;
    const std::string where = CurrentInput().Location();
    if (!where.empty())
        line += where + ": ";
    line += kind;
    line += message;
    line += '\n';
    if (g_errorCapture) {
        g_errorCapture->append(line);
        return;
    }
    CommandLineFlush();
    CommandLineNotifyError(line);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

void SetErrorCapture(std::string* capture) {
    g_errorCapture = capture;
}

void ReportError(std::string_view message) {
    // One error per line: what follows from the first one is not reported again. Without an
    // input source (host calls from a test) every error is reported.
    if (!HasInput()) {
        WriteError("error: ", message);
        return;
    }
    if (CurrentInput().Failed())
        return;
    WriteError("error: ", message);
    CurrentInput().MarkFailed();
}

void ReportWarning(std::string_view message) {
    WriteError("warning: ", message);
}

}  // namespace host
