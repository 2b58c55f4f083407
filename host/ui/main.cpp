// The console host: loads modules, opens drawings and runs commands typed or from a script.
#include "host/ui/console.h"
#if defined(QUARVEL_HAVE_WX)
#include "host/ui/wx/desktop.h"
#endif

int main(int argc, char** argv) {
#if defined(QUARVEL_HAVE_WX)
    host::SetDesktopToolkitStarter(&host::ui::wx::StartDesktopToolkit);
    host::SetMainWindowHooks({&host::ui::wx::OpenMainWindow, &host::ui::wx::CloseMainWindow});
    const int status = host::ConsoleMain(argc, argv);
    host::ui::wx::StopDesktopToolkit();
    return status;
#else
    return host::ConsoleMain(argc, argv);
#endif
}
