#include "host/base/input.h"

#include <deque>

#include "host/base/command_line.h"

namespace host {

namespace {

// The input when none was installed: it has ended before it began.
class NoInput final : public InputSource {
protected:
    std::optional<std::string> ReadRaw(std::string_view) override { return std::nullopt; }
};

NoInput g_noInput;
std::deque<std::string> g_typeahead;
InputSource* g_input = &g_noInput;

}  // namespace

std::optional<std::string> InputSource::ReadLine(std::string_view prompt) {
    if (m_failed)
        return std::nullopt;
    if (!g_typeahead.empty()) {
        // Typed by the host for the user: shown as if it had been typed.
        std::string typed = std::move(g_typeahead.front());
        g_typeahead.pop_front();
        CommandLineWrite(prompt);
        CommandLineWrite(typed);
        CommandLineAnswerEchoed();
        return typed;
    }
    std::optional<std::string> line = ReadRaw(prompt);
    if (!line)
        return line;
    if (EchoesAnswers()) {
        CommandLineWrite(prompt);
        CommandLineWrite(*line);
        CommandLineAnswerEchoed();
    } else {
        CommandLineAnswerTyped();
    }
    return line;
}

void QueueTypeahead(const std::vector<std::string>& lines) {
    g_typeahead.insert(g_typeahead.end(), lines.begin(), lines.end());
}

void ClearTypeahead() {
    g_typeahead.clear();
}

InputSource& CurrentInput() {
    return *g_input;
}

bool HasInput() {
    return g_input != &g_noInput;
}

InputSource* SetInput(InputSource* source) {
    InputSource* previous = g_input;
    g_input = source ? source : &g_noInput;
    return previous == &g_noInput ? nullptr : previous;
}

}  // namespace host
