#include "host/base/input.h"

#include "host/base/command_line.h"

namespace host {

namespace {

// The input when none was installed: it has ended before it began.
class NoInput final : public InputSource {
protected:
    std::optional<std::string> ReadRaw(std::string_view) override { return std::nullopt; }
};

NoInput g_noInput;
InputSource* g_input = &g_noInput;

}  // namespace

std::optional<std::string> InputSource::ReadLine(std::string_view prompt) {
    if (m_failed)
        return std::nullopt;
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
