// The host's command line: what commands and modules print (prompts, acutPrintf text,
// results) goes to standard output. Errors go to standard error (see report.h).
#pragma once

#include <string>
#include <string_view>

namespace host {

// Prints text on the command line (UTF-8). A leading "\n" starts a new line, as on a CAD
// command line; line breaks are tidied so that transcripts read like a session: after an
// answer typed at a terminal the cursor is already on a new line, and after an echoed script
// answer the next output starts a new line.
void CommandLineWrite(std::string_view text);

// An answer was echoed after its prompt (script or queued input): the line stays open until
// the next output starts a new line.
void CommandLineAnswerEchoed();
// A person typed an answer and Enter: the cursor is at the start of a line.
void CommandLineAnswerTyped();
// Ends an open line (at exit).
void CommandLineFinish();

// Tests: collects the raw text of every command-line write (exactly as given) in *capture;
// with echo false nothing reaches standard output. nullptr stops collecting.
void SetCommandLineCapture(std::string* capture, bool echo = false);

// A window that shows the command line (the desktop host's output pane) hears every text as
// it goes to standard output, line breaks tidied, and every error and warning line (kind
// true). nullptr stops it.
using CommandLineListener = void (*)(std::string_view text, bool isError);
void SetCommandLineListener(CommandLineListener listener);
// Tells the listener of an error or warning line (report.cpp does).
void CommandLineNotifyError(std::string_view line);

// Before text goes to standard error: ends a line left open after an echoed answer and
// flushes standard output, so that both read in order on one terminal.
void CommandLineFlush();

}  // namespace host
