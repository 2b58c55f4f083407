// A loadable module that shows the test dialogs from commands: WXT_CONTROLS, WXT_COLUMNS,
// WXT_BIGLIST.
#include "platform/accmd.h"
#include "platform/rxdefs.h"
#include "platform/rxregsvc.h"
#include "tests/host/ui/wx/test_dialogs.h"

QV_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode message, void* appId) {
    switch (message) {
        case AcRx::kInitAppMsg:
            acrxDynamicLinker->unlockApplication(appId);
            acrxDynamicLinker->registerAppMDIAware(appId);
            acedRegCmds->addCommand("WXT", "WXT_CONTROLS", "WXT_CONTROLS", ACRX_CMD_MODAL,
                                    wxtest::RunControlsDialog);
            acedRegCmds->addCommand("WXT", "WXT_COLUMNS", "WXT_COLUMNS", ACRX_CMD_MODAL,
                                    wxtest::RunColumnsDialog);
            acedRegCmds->addCommand("WXT", "WXT_BIGLIST", "WXT_BIGLIST", ACRX_CMD_MODAL,
                                    wxtest::RunBigListDialog);
            break;
        case AcRx::kUnloadAppMsg:
            acedRegCmds->removeGroup("WXT");
            break;
        default:
            break;
    }
    return AcRx::kRetOK;
}

QV_EXPORT int acrxGetApiVersion() {
    return (17 << 16) | ACRX_API_REVISION;
}
