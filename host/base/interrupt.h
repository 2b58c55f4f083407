// Interrupting the host: Ctrl-C (SIGINT) while a command runs asks that command to stop
// instead of ending the host; SIGTERM, SIGHUP and a Ctrl-C between commands end the host as
// the signal would, after removing the temporary files of saves under way (the files being
// saved stay as they were).
#pragma once

#include <string>

namespace host {

// Installs the signal handlers (the console host does, at start-up).
void InstallInterruptHandlers();

// Whether the user asked the running command to stop (Ctrl-C at the console, Esc in the
// desktop toolkit). Long work polls it and gives up, leaving what it worked on as it was.
bool CancelRequested();
// Asks the running command to stop (the desktop toolkit's Esc; the SIGINT handler).
void RequestCancel();

// A command runs for the life of the scope: Ctrl-C cancels it; the request ends with it.
class CommandScope {
public:
    CommandScope();
    ~CommandScope();
    CommandScope(const CommandScope&) = delete;
    CommandScope& operator=(const CommandScope&) = delete;

private:
    bool m_outer;
};

// A temporary file that a signal ending the host removes (a save's file beside the one it
// replaces); for the life of the scope. The path is kept in a fixed table the signal handler
// can read; without a free place the file is simply not removed by a signal.
class TemporaryFileGuard {
public:
    explicit TemporaryFileGuard(const std::string& path);
    ~TemporaryFileGuard();
    TemporaryFileGuard(const TemporaryFileGuard&) = delete;
    TemporaryFileGuard& operator=(const TemporaryFileGuard&) = delete;

private:
    int m_slot = -1;
};

}  // namespace host
