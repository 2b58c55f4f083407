// Shell execution (platform/shellapi.h). With the desktop toolkit in use (--ui gui, which needs
// a display) the file or address goes to the desktop's opener, xdg-open, as its one argument:
// it is started directly, never through a command interpreter, so nothing in the address is
// read as a command. Otherwise the host prints "open: ADDRESS" on its command line.
#include <spawn.h>
#include <sys/wait.h>

#include <mutex>
#include <string>
#include <vector>

#include "host/base/command_line.h"
#include "host/ui/dialogs/toolkit.h"
#include "platform/shellapi.h"
#include "platform/textconv.h"

extern char** environ;

namespace {

// Openers started earlier are reaped when the next one starts, so none is left a zombie for
// long; the host does not wait for them (a browser may run for hours).
std::mutex g_openersMutex;
std::vector<pid_t> g_openers;

void ReapFinishedOpeners() {
    std::erase_if(g_openers, [](pid_t pid) {
        int status = 0;
        return waitpid(pid, &status, WNOHANG) != 0;
    });
}

bool StartOpener(const std::string& target) {
    const std::lock_guard lock(g_openersMutex);
    ReapFinishedOpeners();
    std::string program = "xdg-open";
    std::string argument = target;
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0)
        return false;
    g_openers.push_back(pid);
    return true;
}

HINSTANCE Result(int code) {
    return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(code));
}

}  // namespace

HINSTANCE ShellExecuteA(HWND, const char* operation, const char* file, const char*, const char*,
                        int) {
    if (!file || !*file)
        return Result(SE_ERR_FNF);
    const std::string verb = operation ? operation : "open";
    if (!verb.empty() && verb != "open")
        return Result(SE_ERR_NOASSOC);
    if (std::string(host::ui::CurrentToolkit().Name()) == "gui")
        return StartOpener(file) ? Result(42) : Result(SE_ERR_FNF);
    host::CommandLineWrite("\nopen: " + std::string(file));
    return Result(42);
}

HINSTANCE ShellExecuteW(HWND owner, const char16_t* operation, const char16_t* file,
                        const char16_t* parameters, const char16_t* directory, int showCommand) {
    const std::string op = operation ? qv::ToUtf8(operation) : std::string("open");
    const std::string f = file ? qv::ToUtf8(file) : std::string();
    const std::string p = parameters ? qv::ToUtf8(parameters) : std::string();
    const std::string d = directory ? qv::ToUtf8(directory) : std::string();
    return ShellExecuteA(owner, op.c_str(), f.c_str(), parameters ? p.c_str() : nullptr,
                         directory ? d.c_str() : nullptr, showCommand);
}
