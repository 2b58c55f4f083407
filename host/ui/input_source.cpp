#include "host/ui/input_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "host/base/command_line.h"
#include "host/base/interrupt.h"
#include "host/base/report.h"
#include "host/base/text.h"
#include "host/ui/builtins.h"
#include "platform/adscodes.h"

namespace host {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::optional<double> ParseNumber(std::string_view text) {
    text = TrimBlanks(text);
    if (text.empty())
        return std::nullopt;
    if (text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool IsComment(std::string_view line) {
    line = TrimBlanks(line);
    return !line.empty() && line.front() == ';';
}

}  // namespace

// ---- Sources ---------------------------------------------------------------------------

StreamInput::StreamInput(std::istream& in, std::string name, bool interactive)
    : m_in(in), m_name(std::move(name)), m_interactive(interactive) {}

std::string StreamInput::Location() const {
    if (m_line == 0)
        return {};
    return m_name + ":" + std::to_string(m_line);
}

std::optional<std::string> StreamInput::ReadRaw(std::string_view prompt) {
    if (m_interactive)
        CommandLineWrite(prompt);
    std::string line;
    while (std::getline(m_in, line)) {
        ++m_line;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (IsComment(line))
            continue;
        return line;
    }
    if (m_interactive && CancelRequested()) {
        // Ctrl-C at a command's prompt cancels the prompt; the terminal reads on.
        m_in.clear();
        std::clearerr(stdin);
        return std::nullopt;
    }
    if (!m_interactive && InCommand()) {
        const std::string asked(TrimBlanks(prompt));
        ReportError("the input ends in the middle of a command" +
                    (asked.empty() ? std::string() : " (no answer to \"" + asked + "\")"));
    }
    return std::nullopt;
}

std::unique_ptr<ScriptFileInput> ScriptFileInput::Open(const std::string& path,
                                                       std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return nullptr;
    };
    // Without blocking, so that a FIFO cannot hang the open; then only a plain file is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return fail(std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a plain file");
    }
    std::string text;
    char buf[65536];
    while (true) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            return fail(std::strerror(err));
        }
        if (n == 0)
            break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (text.starts_with("\xEF\xBB\xBF"))
        text.erase(0, 3);
    auto stream = std::make_unique<std::istringstream>(std::move(text));
    return std::unique_ptr<ScriptFileInput>(new ScriptFileInput(std::move(stream), path));
}

ScriptFileInput::ScriptFileInput(std::unique_ptr<std::istream> file, const std::string& path)
    : StreamInput(*file, path, false), m_file(std::move(file)) {}

ScriptFileInput::~ScriptFileInput() = default;

QueueInput::QueueInput(std::vector<std::string> lines) : m_lines(lines.begin(), lines.end()) {}

std::string QueueInput::Location() const {
    return m_read == 0 ? std::string() : "input " + std::to_string(m_read);
}

std::optional<std::string> QueueInput::ReadRaw(std::string_view prompt) {
    prompts.emplace_back(prompt);
    while (!m_lines.empty()) {
        std::string line = std::move(m_lines.front());
        m_lines.pop_front();
        ++m_read;
        if (IsComment(line))
            continue;
        return line;
    }
    return std::nullopt;
}

// ---- Tokens ----------------------------------------------------------------------------

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool IsCancelToken(std::string_view line) {
    return EqualNoCase(TrimBlanks(line), "*Cancel*");
}

std::optional<AcGePoint3d> ParsePoint(std::string_view text) {
    text = TrimBlanks(text);
    double v[3] = {0, 0, 0};
    int count = 0;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view part = text.substr(0, comma);
        if (count == 3)
            return std::nullopt;
        const std::optional<double> value = ParseNumber(part);
        if (!value)
            return std::nullopt;
        v[count++] = *value;
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    if (count < 2)
        return std::nullopt;
    return AcGePoint3d(v[0], v[1], v[2]);
}

std::optional<std::uint64_t> ParseHandle(std::string_view text) {
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '#') {
        text.remove_prefix(1);
    } else if (text.size() > 7 && EqualNoCase(text.substr(0, 6), "handle") && IsBlank(text[6])) {
        text = TrimBlanks(text.substr(7));
    } else {
        return std::nullopt;
    }
    if (text.empty() || text.size() > 16)
        return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc() || end != text.data() + text.size() || value == 0)
        return std::nullopt;
    return value;
}

SelectionInput ParseSelectionInput(std::string_view text) {
    text = TrimBlanks(text);
    SelectionInput result;
    if (EqualNoCase(text, "L") || EqualNoCase(text, "Last")) {
        result.kind = SelectionInput::Kind::Last;
        return result;
    }
    if (EqualNoCase(text, "ALL")) {
        result.kind = SelectionInput::Kind::All;
        return result;
    }
    if (auto handle = ParseHandle(text)) {
        result.kind = SelectionInput::Kind::Handle;
        result.handle = *handle;
        return result;
    }
    if (auto point = ParsePoint(text)) {
        result.kind = SelectionInput::Kind::Pick;
        result.first = *point;
        return result;
    }
    // A window or crossing: the keyword, then optionally both corners.
    std::size_t end = 0;
    while (end < text.size() && !IsBlank(text[end]))
        ++end;
    const std::string_view word = text.substr(0, end);
    const bool window = EqualNoCase(word, "W") || EqualNoCase(word, "Window");
    const bool crossing = EqualNoCase(word, "C") || EqualNoCase(word, "Crossing");
    if (!window && !crossing)
        return result;
    std::string_view rest = TrimBlanks(text.substr(end));
    if (rest.empty()) {
        result.kind =
            window ? SelectionInput::Kind::WindowPrompt : SelectionInput::Kind::CrossingPrompt;
        return result;
    }
    std::size_t gap = 0;
    while (gap < rest.size() && !IsBlank(rest[gap]))
        ++gap;
    const auto a = ParsePoint(rest.substr(0, gap));
    const auto b = ParsePoint(TrimBlanks(rest.substr(gap)));
    if (!a || !b)
        return result;
    result.kind = window ? SelectionInput::Kind::Window : SelectionInput::Kind::Crossing;
    result.first = *a;
    result.second = *b;
    return result;
}

// ---- Answers ---------------------------------------------------------------------------

Answer Ask(std::string_view prompt) {
    Answer answer;
    std::optional<std::string> line = CurrentInput().ReadLine(prompt);
    // A menu item chosen at the prompt: a macro with the control prefix cancels the command
    // and runs at the next "Command:" prompt; any other macro answers this prompt.
    while (line) {
        const std::optional<std::string_view> pick = MenuPickLine(*line);
        if (!pick)
            break;
        const MenuChoice choice = ChooseMenuItem(*pick);
        if (choice != MenuChoice::Types) {
            if (choice == MenuChoice::Cancels)
                CommandLineWrite("\n*Cancel*");
            answer.status = RTCAN;
            return answer;
        }
        line = CurrentInput().ReadLine(prompt);
    }
    if (!line || IsCancelToken(*line)) {
        answer.status = RTCAN;
        return answer;
    }
    answer.text = std::string(TrimBlanks(*line));
    answer.status = answer.text.empty() ? RTNONE : RTNORM;
    return answer;
}

bool RejectAnswer(std::string_view message) {
    if (CurrentInput().IsInteractive()) {
        CommandLineWrite("\n");
        CommandLineWrite(message);
        return true;
    }
    ReportError(message);
    return false;
}

}  // namespace host
