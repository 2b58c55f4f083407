#include "host/base/command_line.h"

#include <cstdio>

#include "platform/acutads.h"
#include "platform/textconv.h"

namespace host {

namespace {

enum class LineState {
    Normal,        // ordinary output
    AnswerEchoed,  // an echoed answer ends the current line; it needs a line break
    AnswerTyped,   // the user's Enter already broke the line
};

LineState g_state = LineState::AnswerTyped;  // the output starts at the start of a line
std::string* g_capture = nullptr;
bool g_captureEcho = false;
CommandLineListener g_listener = nullptr;

void WriteStdout(std::string_view text) {
    if (text.empty())
        return;
    if (g_listener)
        g_listener(text, false);
    std::fwrite(text.data(), 1, text.size(), stdout);
}

}  // namespace

void CommandLineWrite(std::string_view text) {
    if (text.empty())
        return;
    if (g_capture) {
        g_capture->append(text);
        if (!g_captureEcho)
            return;
    }
    if (g_state == LineState::AnswerEchoed && text.front() != '\n')
        WriteStdout("\n");
    if (g_state == LineState::AnswerTyped && text.front() == '\n')
        text.remove_prefix(1);
    g_state = LineState::Normal;
    WriteStdout(text);
    std::fflush(stdout);
}

void CommandLineAnswerEchoed() {
    g_state = LineState::AnswerEchoed;
}
void CommandLineAnswerTyped() {
    g_state = LineState::AnswerTyped;
}

void CommandLineFinish() {
    if (g_capture && !g_captureEcho)
        return;
    if (g_state != LineState::AnswerTyped)
        WriteStdout("\n");
    g_state = LineState::AnswerTyped;
    std::fflush(stdout);
}

void SetCommandLineCapture(std::string* capture, bool echo) {
    g_capture = capture;
    g_captureEcho = echo;
}

void SetCommandLineListener(CommandLineListener listener) {
    g_listener = listener;
}

void CommandLineNotifyError(std::string_view line) {
    if (g_listener)
        g_listener(line, true);
}

void CommandLineFlush() {
    std::fflush(stdout);
    if (g_state == LineState::AnswerEchoed) {
        WriteStdout("\n");
        std::fflush(stdout);
        g_state = LineState::AnswerTyped;
    }
}

}  // namespace host

int acutPrintfText(const char* text) {
    if (!text)
        return RTERROR;
    host::CommandLineWrite(text);
    return RTNORM;
}

int acutPrintfText(const char16_t* text) {
    if (!text)
        return RTERROR;
    host::CommandLineWrite(qv::ToUtf8(text));
    return RTNORM;
}
