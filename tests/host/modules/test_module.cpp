// A small loadable module for the loader tests. What it does is chosen at build time:
//   TEST_RELEASE        the release it reports through acrxGetApiVersion
//   TEST_REVISION       the interface revision it reports (default: the host's)
//   TEST_NO_ENTRY       it exports no acrxEntryPoint
//   TEST_LOCKED         it does not unlock itself (cannot be unloaded)
//   TEST_LEAVE_BEHIND   it keeps its commands and reactor registered at unload
//   TEST_STATIC_REACTOR its reactor is registered by a static constructor (at load time,
//                       before any message) and never removed
// It reports every message it gets on the command line ("[init]", "[loaddwg]" ...) so that
// tests see the order from the host side, also after the module is gone.
#include "platform/accmd.h"
#include "platform/acdocman.h"
#include "platform/acutads.h"
#include "platform/rxdefs.h"
#include "platform/rxregsvc.h"
#include "platform/windef.h"

#ifndef TEST_REVISION
#define TEST_REVISION ACRX_API_REVISION
#endif

namespace {

[[maybe_unused]] void HelloCommand() {
    acutPrintfText("\nhello from the test module");
}
[[maybe_unused]] void OtherCommand() {}

class Reactor : public AcApDocManagerReactor {
public:
    void documentCreated(AcApDocument*) override { acutPrintfText("\n[reactor created]"); }
    void documentToBeDestroyed(AcApDocument*) override { acutPrintfText("\n[reactor destroyed]"); }
};

[[maybe_unused]] Reactor g_reactor;

#if defined(TEST_STATIC_REACTOR)
struct Registrar {
    Registrar() {
        if (acDocManager)
            acDocManager->addReactor(&g_reactor);
    }
} g_registrar;
#endif

}  // namespace

#if !defined(TEST_NO_ENTRY)
QV_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode message, void* appId) {
    switch (message) {
        case AcRx::kInitAppMsg:
#if !defined(TEST_LOCKED)
            acrxDynamicLinker->unlockApplication(appId);
#endif
            acrxDynamicLinker->registerAppMDIAware(appId);
            acedRegCmds->addCommand("HUI_TEST", "_HuiHello", "HuiHallo", ACRX_CMD_MODAL,
                                    HelloCommand);
            acedRegCmds->addCommand(u"HUI_TEST", u"_HuiOther", u"HuiAndere", ACRX_CMD_MODAL,
                                    OtherCommand);
            acDocManager->addReactor(&g_reactor);
            acutPrintfText("\n[init]");
            break;
        case AcRx::kUnloadAppMsg:
#if !defined(TEST_LEAVE_BEHIND)
            acedRegCmds->removeCmd("HUI_TEST", "_HuiHello");
            acedRegCmds->removeCmd("HUI_TEST", "_HuiOther");
            acDocManager->removeReactor(&g_reactor);
#endif
            acutPrintfText("\n[unload]");
            break;
        case AcRx::kLoadDwgMsg:
            acutPrintfText("\n[loaddwg]");
            break;
        case AcRx::kUnloadDwgMsg:
            acutPrintfText("\n[unloaddwg]");
            break;
        default:
            break;
    }
    return AcRx::kRetOK;
}
#endif

QV_EXPORT int acrxGetApiVersion() {
    return (TEST_RELEASE << 16) | TEST_REVISION;
}
