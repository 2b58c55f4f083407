#include "host/ui/console.h"

#include <unistd.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <new>
#include <stdexcept>

#include "host/base/command_line.h"
#include "host/base/interrupt.h"
#include "host/base/report.h"
#include "host/session/app_services.h"
#include "host/session/command_stack.h"
#include "host/session/documents.h"
#include "host/session/drawing_io.h"
#include "host/session/loader.h"
#include "host/session/menu_groups.h"
#include "host/ui/builtins.h"
#include "host/ui/editor.h"
#include "host/ui/input_source.h"
#include "host/ui/progress_meter.h"
#include "platform/dbmain.h"
#include "platform/rxregsvc.h"

namespace host {

namespace {

constexpr const char* kUsage =
    "Usage: cadhost [options] [drawing]\n"
    "\n"
    "Runs the CAD host on the command line: commands are read from a script file, or typed\n"
    "at the \"Command:\" prompt.\n"
    "\n"
    "Options:\n"
    "  --menu FILE          load a menu group from its menu source file at start-up, before\n"
    "                       the modules (repeatable)\n"
    "  --load PATH          load a module at start-up (repeatable)\n"
    "  --release X.Y        the host release to present: 16.0, 16.1, 16.2, 17.0, 17.1, 17.2\n"
    "                       (default 17.0); a module loads only into its own major release\n"
    "  --script FILE        run the commands of a script file, then quit\n"
    "  --program-name NAME  the executable base name reported to modules (default acad)\n"
    "  --ui headless|gui    how dialogs are shown: driven by script lines (default), or as\n"
    "                       real windows (needs a display)\n"
    "  --dialog-screenshots DIR  with --ui gui: a picture of every dialog as it opens\n"
    "  --window             with --ui gui and --script: show the main window while the\n"
    "                       script runs (without a script, --ui gui always opens it and\n"
    "                       its command line takes the input)\n"
    "  --help               show this text\n"
    "\n"
    "Script files: one input per line (a command name, or the answer to the current prompt);\n"
    "an empty line is Enter; a line starting with ';' is a comment; *Cancel* cancels the\n"
    "prompt. Points are x,y or x,y,z. At \"Select objects:\" give pick points, L, ALL,\n"
    "W x1,y1 x2,y2 or C x1,y1 x2,y2 and end with an empty line; entities may also be named\n"
    "by handle (#2A).\n"
    "\n"
    "Exit status: 0 when every line succeeded, 1 when a line failed, 2 for a usage error.\n";

struct Options {
    std::vector<std::string> menus;
    std::vector<std::string> loads;
    std::string script;
    std::string drawing;
    bool gui = false;
    bool window = false;
    std::string screenshots;
    bool help = false;
};

DesktopToolkitStarter g_desktopStarter = nullptr;
MainWindowHooks g_mainWindow;

int UsageError(const std::string& message) {
    std::fprintf(stderr, "cadhost: %s\nTry 'cadhost --help'.\n", message.c_str());
    return 2;
}

}  // namespace

void SetDesktopToolkitStarter(DesktopToolkitStarter starter) {
    g_desktopStarter = starter;
}

void SetMainWindowHooks(MainWindowHooks hooks) {
    g_mainWindow = hooks;
}

Session::Session(NoDrawing) {
    StartDocuments();
    InstallInteractiveSelector();
    SetQuitRequested(false);
}

Session::Session() : Session(NoDrawing{}) {
    Documents()->Open();
}

Session::~Session() {
    // As a host quits: the drawings close first, then the modules are unloaded while the
    // document manager still exists, then the manager goes.
    if (Documents())
        Documents()->CloseAll();
    UnloadAllModules();
    StopDocuments();
    UnloadMenuGroups();
    ClearTypeahead();
}

namespace {

// Carries out a command; what it throws ends the command, not the host.
void RunGuarded(const std::string& name, const std::function<void()>& run) {
    CommandScope scope;
    try {
        run();
    } catch (const std::bad_alloc&) {
        ReportError(name +
                    ": out of memory; the command was stopped and the drawing is as "
                    "the command left it");
    } catch (const std::length_error&) {
        ReportError(name +
                    ": out of memory; the command was stopped and the drawing is as "
                    "the command left it");
    } catch (const std::exception& e) {
        ReportError("command " + name + " ended by an exception: " + e.what());
    } catch (...) {
        ReportError("command " + name + " ended by an exception");
    }
    EndLongWork();
    if (CancelRequested())
        ReportError(name + ": cancelled");
}

}  // namespace

bool RunCommand(std::string_view name) {
    const std::string typed(name);
    if (const Builtin* builtin = FindBuiltin(name)) {
        RunGuarded(builtin->name, builtin->run);
        return true;
    }
    AcEdCommand* command = acedRegCmds->lookupCmd(typed.c_str());
    if (!command) {
        ReportError("Unknown command \"" + typed + "\".");
        return false;
    }
    const AcRxFunctionPtr function = command->functionAddr();
    RunGuarded(typed, [function] { function(); });
    return true;
}

bool RunCommandLoop() {
    InputSource& input = CurrentInput();
    bool ok = true;
    while (!QuitRequested()) {
        input.ClearFailure();
        std::optional<std::string> line = input.ReadLine("\nCommand: ");
        if (!line)
            break;
        const std::string_view name = TrimBlanks(*line);
        if (name.empty() || IsCancelToken(name))
            continue;
        input.SetInCommand(true);
        if (const std::optional<std::string_view> pick = MenuPickLine(name))
            ChooseMenuItem(*pick);
        else
            RunCommand(name);
        input.SetInCommand(false);
        if (input.Failed()) {
            ok = false;
            if (!input.IsInteractive())
                break;
        }
    }
    input.ClearFailure();
    return ok && !input.AnyFailed();
}

int ConsoleMain(int argc, char** argv) {
    Options options;
    HostRelease release;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--load") {
            if (!value(text))
                return UsageError("--load needs a module file");
            options.loads.push_back(text);
        } else if (arg == "--menu") {
            if (!value(text))
                return UsageError("--menu needs a menu source file");
            options.menus.push_back(text);
        } else if (arg == "--release") {
            if (!value(text))
                return UsageError("--release needs a release such as 16.1");
            if (!ParseRelease(text, release))
                return UsageError("unknown release " + text +
                                  " (use 16.0, 16.1, 16.2, 17.0, 17.1 or 17.2)");
        } else if (arg == "--script") {
            if (!value(options.script))
                return UsageError("--script needs a file");
        } else if (arg == "--program-name") {
            if (!value(text) || text.empty() || text.find('/') != std::string::npos)
                return UsageError("--program-name needs a base name such as acad");
            SetProgramBaseName(text);
        } else if (arg == "--ui") {
            if (!value(text) || (text != "headless" && text != "gui"))
                return UsageError("--ui needs headless or gui");
            options.gui = text == "gui";
        } else if (arg == "--window") {
            options.window = true;
        } else if (arg == "--dialog-screenshots") {
            if (!value(options.screenshots) || options.screenshots.empty())
                return UsageError("--dialog-screenshots needs a folder");
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return UsageError("unknown option " + arg);
        } else if (options.drawing.empty()) {
            options.drawing = arg;
        } else {
            return UsageError("only one drawing can be given");
        }
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    SetRelease(release);
    if (!options.screenshots.empty() && !options.gui)
        return UsageError("--dialog-screenshots needs --ui gui");
    if (options.window && !options.gui)
        return UsageError("--window needs --ui gui");
    if (options.gui) {
        if (!g_desktopStarter)
            return UsageError("--ui gui: this cadhost was built without the desktop toolkit");
        if (const std::string error = g_desktopStarter(options.screenshots); !error.empty())
            return UsageError("--ui gui: " + error);
    }

    // The main window: with --ui gui unless a script runs without --window.
    const bool showWindow = options.gui && (options.script.empty() || options.window);
    InputSource* windowInput = nullptr;
    if (showWindow && g_mainWindow.open) {
        windowInput = g_mainWindow.open(options.script.empty());
    }
    struct CloseWindow {
        bool shown;
        ~CloseWindow() {
            if (shown && g_mainWindow.close)
                g_mainWindow.close();
        }
    } closeWindow{showWindow};

    std::unique_ptr<InputSource> input;
    if (windowInput) {
        // The window's command line: nothing to own.
    } else if (!options.script.empty()) {
        std::string why;
        input = ScriptFileInput::Open(options.script, &why);
        if (!input)
            return UsageError("cannot read the script " + options.script + ": " + why);
    } else {
        const bool terminal = isatty(STDIN_FILENO);
        input = std::make_unique<StreamInput>(std::cin, "stdin", terminal);
    }
    ScopedInput scopedInput(windowInput ? *windowInput : *input);
    InstallInterruptHandlers();

    // The session ends before the transcript does: what modules print while being unloaded
    // belongs to it.
    const int status = [&] {
        Session session{Session::NoDrawing{}};
        if (!options.drawing.empty()) {
            std::string error;
            std::unique_ptr<AcDbDatabase> db = LoadDrawing(options.drawing, error);
            if (!db) {
                ReportError(error);
                return 1;
            }
            std::error_code ec;
            const auto absolute = std::filesystem::absolute(options.drawing, ec);
            Documents()->Open(std::move(db),
                              ec ? options.drawing : absolute.lexically_normal().string());
        } else {
            Documents()->Open();
        }
        for (const std::string& path : options.menus) {
            std::string error;
            if (!LoadMenuGroup(path, error)) {
                ReportError(error);
                return 1;
            }
        }
        for (const std::string& path : options.loads) {
            std::string error;
            if (!LoadModule(path, &error)) {
                ReportError(error);
                return 1;
            }
        }
        return RunCommandLoop() ? 0 : 1;
    }();
    CommandLineFinish();
    return status;
}

}  // namespace host
