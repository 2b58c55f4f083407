// Where the host's input comes from: a person at a terminal, a script file, or a queue filled
// by a test. Every source delivers lines; what a line means (a command name, a point, a
// selection keyword, later a dialog action) is decided by whoever asked for it.
//
// Script syntax (also for queued and piped input):
//   - one input per line: a command name at the "Command:" prompt, else the answer to the
//     current prompt;
//   - an empty line is Enter (an empty answer);
//   - a line whose first non-blank character is ';' is a comment and is skipped;
//   - the line *Cancel* (any letter case) cancels the current prompt.
//
// Sources know nothing of what a line means, so further kinds of input travel the same way:
// a headless dialog, for example, reads its actions (lines such as "DIALOG ...") with
// CurrentInput().ReadLine() while it is open, and gets the same echo, comments, line numbers
// and failure handling as any prompt.
#pragma once

#include <cstdint>
#include <deque>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/base/input.h"
#include "platform/gept3d.h"

namespace host {

// Lines from a stream: a script file, or standard input.
class StreamInput : public InputSource {
public:
    // name: for messages ("build.scr", "stdin"); interactive: a person at a terminal (answers
    // are not echoed, rejected answers are asked again).
    StreamInput(std::istream& in, std::string name, bool interactive);
    bool IsInteractive() const override { return m_interactive; }
    std::string Location() const override;
    int LineNumber() const { return m_line; }

protected:
    std::optional<std::string> ReadRaw(std::string_view prompt) override;
    bool EchoesAnswers() const override { return !m_interactive; }

private:
    std::istream& m_in;
    std::string m_name;
    bool m_interactive;
    int m_line = 0;
};

// A script file, owned.
class ScriptFileInput : public StreamInput {
public:
    // Reads the whole file (a plain file only: a FIFO or device would hang the host); null
    // with the reason in error. A UTF-8 byte-order mark at the start is skipped.
    static std::unique_ptr<ScriptFileInput> Open(const std::string& path,
                                                 std::string* error = nullptr);
    ~ScriptFileInput() override;

private:
    ScriptFileInput(std::unique_ptr<std::istream> file, const std::string& path);
    std::unique_ptr<std::istream> m_file;
};

// Lines queued by a test; the prompts asked are kept.
class QueueInput : public InputSource {
public:
    QueueInput() = default;
    explicit QueueInput(std::vector<std::string> lines);
    void Push(std::string line) { m_lines.push_back(std::move(line)); }
    bool Empty() const { return m_lines.empty(); }
    std::string Location() const override;
    std::vector<std::string> prompts;  // every prompt shown, in order

protected:
    std::optional<std::string> ReadRaw(std::string_view prompt) override;

private:
    std::deque<std::string> m_lines;
    int m_read = 0;
};

// ---- Reading answers -------------------------------------------------------------------

// The token that cancels a prompt.
bool IsCancelToken(std::string_view line);

// Text without leading and trailing blanks.
std::string_view TrimBlanks(std::string_view text);

// A point "x,y" or "x,y,z" (blanks around the numbers allowed); nullopt when malformed.
std::optional<AcGePoint3d> ParsePoint(std::string_view text);

// An entity handle written "#2A" or "handle 2A" (hexadecimal); nullopt otherwise.
std::optional<std::uint64_t> ParseHandle(std::string_view text);

// One answer at an object-selection prompt.
struct SelectionInput {
    enum class Kind {
        Pick,
        Handle,
        Last,
        All,
        Window,
        Crossing,
        WindowPrompt,
        CrossingPrompt,
        Invalid
    };
    Kind kind = Kind::Invalid;
    AcGePoint3d first;   // Pick: the point; Window/Crossing: one corner
    AcGePoint3d second;  // Window/Crossing: the other corner
    std::uint64_t handle = 0;
};
// "x,y[,z]" (pick), "#2A" / "handle 2A", "L" / "Last", "ALL", "W x1,y1 x2,y2",
// "C x1,y1 x2,y2"; "W" or "C" alone asks for the corners.
SelectionInput ParseSelectionInput(std::string_view text);

// Result of asking for one answer, with the codes of the editor functions.
struct Answer {
    int status = 0;    // RTNORM (text holds the answer), RTNONE (empty line), RTCAN
    std::string text;  // trimmed
};
// Shows the prompt and reads one answer: RTNORM with the text, RTNONE for an empty line,
// RTCAN for *Cancel* or the end of the input.
Answer Ask(std::string_view prompt);

// Rejects the answer just read. At a terminal the message is shown and true is returned
// (ask again); otherwise the message is reported as the failure of the line and false is
// returned (give up with RTERROR).
bool RejectAnswer(std::string_view message);

}  // namespace host
