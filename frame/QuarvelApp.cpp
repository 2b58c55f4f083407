// Module entry: the application object, its load and unload handlers and the module's
// start-up step.
#include "frame/QuarvelApp.h"

#include "dialogs/Registry.h"
#include "link/DbRecords.h"
#include "online/MenuInstaller.h"
#include "platform/acui.h"
#include "platform/afxwin.h"

AcRx::AppRetCode CQuarvelApp::On_kInitAppMsg(void* pkt) {
    // Host registration and the command table.
    const AcRx::AppRetCode result = AcRxArxApp::On_kInitAppMsg(pkt);
    // The data providers the module knows.
    RegisterConnectTemplates();
#if QUARVEL_RELEASE == 16
    // Only the release-16 build installs its menus and toolbars.
    InstallMenusAndToolbars();
#endif
    return result;
}

AcRx::AppRetCode CQuarvelApp::On_kUnloadAppMsg(void* pkt) {
    AcRxArxApp::On_kUnloadAppMsg(pkt);
    FreeDatabases();
    return AcRx::kRetOK;
}

// No server components to register.
void CQuarvelApp::RegisterServerComponents() {}

IMPLEMENT_ARX_ENTRYPOINT(CQuarvelApp)

namespace {

// The module's start-up step, run when the host maps the module (before any host message):
// the module's own image becomes the application's resource instance, the host's dialog
// library is started and the settings get their vendor key.
struct ModuleStartup {
    ModuleStartup() {
        acrxGetApp()->SetResourceInstance(
            AfxFindModuleInstance(reinterpret_cast<const void*>(&acrxGetApp)));
        InitAcUiDLL();
        // The vendor key of the per-user settings.
        CRegistry::SetVendorKey(_T("Morvane"));
    }
} g_moduleStartup;

}  // namespace
