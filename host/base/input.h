// The current input: where the line being carried out came from and whether it failed. Every
// layer reports errors against it (see command_line.h); the user interface installs the
// sources (a terminal, a script file, a test's queue; see host/ui/input_source.h) and reads
// its prompts' answers from them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

class InputSource {
public:
    virtual ~InputSource() = default;

    // Shows the prompt and reads one input line (without its line end); nullopt at the end of
    // the input. A source that has failed (MarkFailed) reads as ended until Reset.
    std::optional<std::string> ReadLine(std::string_view prompt);

    // A person answers: a rejected answer is asked again instead of failing the line.
    virtual bool IsInteractive() const { return false; }
    // Where the line just read came from ("build.scr:12"), for messages; "" when unknown.
    virtual std::string Location() const { return {}; }

    // The line just read could not be carried out. The rest of the current command sees the
    // end of the input; the command loop then stops (unless the source is interactive).
    void MarkFailed() { m_failed = true; }
    bool Failed() const { return m_failed; }
    // Whether any line failed since the source was made.
    bool AnyFailed() const { return m_anyFailed; }
    // Whether a command is being carried out (set by the command loop): a script that ends
    // then ends in the middle of the command, which is an error.
    void SetInCommand(bool inCommand) { m_inCommand = inCommand; }
    bool InCommand() const { return m_inCommand; }
    // Called by the command loop before each command.
    void ClearFailure() {
        m_anyFailed = m_anyFailed || m_failed;
        m_failed = false;
    }

protected:
    // Reads the next raw line, after showing the prompt; nullopt at the end.
    virtual std::optional<std::string> ReadRaw(std::string_view prompt) = 0;
    // Whether an answer read is echoed after its prompt (script and piped input).
    virtual bool EchoesAnswers() const { return true; }

private:
    bool m_failed = false;
    bool m_anyFailed = false;
    bool m_inCommand = false;
};

// Lines the host types for the user (a chosen menu item's macro): every source's next reads
// return them first, echoed after their prompts, before reading lines of its own.
void QueueTypeahead(const std::vector<std::string>& lines);
void ClearTypeahead();

// The source in use (an empty one when none was installed: every prompt is cancelled).
InputSource& CurrentInput();
// Whether a source was installed (else prompts see the empty default).
bool HasInput();
// Installs a source (nullptr restores the empty default); returns the previous one.
InputSource* SetInput(InputSource* source);

// Installs a source for the life of the scope.
class ScopedInput {
public:
    explicit ScopedInput(InputSource& source) : m_previous(SetInput(&source)) {}
    ~ScopedInput() { SetInput(m_previous); }
    ScopedInput(const ScopedInput&) = delete;
    ScopedInput& operator=(const ScopedInput&) = delete;

private:
    InputSource* m_previous;
};

}  // namespace host
