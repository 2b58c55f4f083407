// Where the host's user interface goes: message boxes and, later, dialogs. The console host
// prints them and answers from its input; tests install a recording sink.
#pragma once

#include <string>
#include <vector>

namespace host {

struct MessageBoxRequest {
    std::string text;     // UTF-8
    std::string caption;  // UTF-8; the host's title when the caller gave none
    unsigned type = 0;    // MB_* style bits
};

class UiSink {
public:
    virtual ~UiSink() = default;
    // Shows a message box and returns the button pressed (IDOK, IDYES ...).
    virtual int ShowMessageBox(const MessageBoxRequest& request) = 0;
};

// Prints message boxes on the command line. A box that asks a question (more than an OK
// button) is answered from the current input source: the button's name or its first letter
// (Yes, No, OK, Cancel, Abort, Retry, Ignore), an empty line for the default button, and
// *Cancel* (or the end of the input) for Cancel where the box has one.
class ConsoleUiSink : public UiSink {
public:
    int ShowMessageBox(const MessageBoxRequest& request) override;
};

// Keeps every message box for inspection and answers with a queued answer, or the default.
class RecordingUiSink : public UiSink {
public:
    int ShowMessageBox(const MessageBoxRequest& request) override;
    std::vector<MessageBoxRequest> shown;
    std::vector<int> answers;  // consumed front to back
};

// The sink in use; never null (the console sink until another is installed).
UiSink& CurrentUiSink();
// Installs a sink (nullptr restores the console sink); returns the previous one.
UiSink* SetUiSink(UiSink* sink);

// The default answer of a message box of the given style: its first button, or its second
// with MB_DEFBUTTON2.
int DefaultMessageBoxAnswer(unsigned type);

// The title the host gives message boxes without a caption.
const std::string& HostTitle();

}  // namespace host
