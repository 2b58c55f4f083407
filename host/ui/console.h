// The console host: a session (documents, services, modules) and the command loop that reads
// commands from the current input source.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace host {

class InputSource;

// Starts the host's session services: the document manager with its first drawing and the
// interactive selector (the editor's "Select objects:" loop). The command stack and the
// dynamic linker are in the system registry as soon as the host runtime is loaded. Stopping closes
// the documents and unloads every module. One session at a time.
class Session {
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    // Without a first drawing (the console opens the one it was given instead).
    struct NoDrawing {};
    explicit Session(NoDrawing);
};

// Runs one command by name: a built-in, else a module command. False for an unknown name
// (reported as the failure of the line).
bool RunCommand(std::string_view name);

// Reads commands at the "Command:" prompt from the current input source and runs them until
// the input ends, QUIT is given, or (for a non-interactive source) a line fails. True when
// no line failed.
bool RunCommandLoop();

// The desktop toolkit (--ui gui) lives in a library that only the cadhost executable links;
// its main() registers the toolkit's starter before ConsoleMain runs. The starter installs
// the toolkit and returns an error message (no display ...), empty on success; pictures of
// every dialog go to the folder given, unless it is empty.
using DesktopToolkitStarter = std::string (*)(const std::string& screenshotFolder);
void SetDesktopToolkitStarter(DesktopToolkitStarter starter);

// The main window (--ui gui) lives in the same library: opening it returns the input source
// of its command line when it takes the prompts' answers (no script), else null; closing it
// comes after the session has ended.
struct MainWindowHooks {
    InputSource* (*open)(bool takesInput) = nullptr;
    void (*close)() = nullptr;
};
void SetMainWindowHooks(MainWindowHooks hooks);

// The console host's main: parses the options and runs the session. Exit status 0 when
// every line succeeded, 1 when one failed, 2 for a usage error.
int ConsoleMain(int argc, char** argv);

}  // namespace host
