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

// Prints message boxes to standard output and answers with the default button.
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

// The default answer of a message box of the given style: OK, Yes, Abort or Retry.
int DefaultMessageBoxAnswer(unsigned type);

// The title the host gives message boxes without a caption.
const std::string& HostTitle();

}  // namespace host
