// Online resource commands: the vendor's pages, the help file, the support mail, and the about
// box, demo window and update check run as modal dialogs with the module's resources current.
#include "online/OnlineCommands.h"

#include "ArxUtils/ArxUtils.h"
#include "online/AboutDlg.h"
#include "online/DemoDialog.h"
#include "online/LiveUpdateDlg.h"
#include "online/OnlineResources.h"
#include "platform/acdocman.h"
#include "platform/acrxapp.h"
#include "platform/shellapi.h"
#include "platform/shlwapi.h"
#include "platform/winbase.h"

namespace {

// The instance whose resources the module's dialogs use: the resource instance, else the
// module's own.
HINSTANCE ModuleInstance() {
    HINSTANCE instance = acrxGetApp()->ResourceInstance();
    if (!instance)
        instance = AfxFindModuleInstance(reinterpret_cast<const void*>(&ModuleInstance));
    return instance;
}

// Runs a dialog of the module modally, the module's resources current meanwhile (restored also
// when the dialog throws). The dialog's result is not used.
template <class Dialog>
void RunModuleDialog() {
    acDocManager->pushResourceHandle(ModuleInstance());
    struct PopOnExit {
        ~PopOnExit() { acDocManager->popResourceHandle(); }
    } popOnExit;
    Dialog dlg;
    dlg.DoModal();
}

// Hands an address or file to the shell; what the shell makes of it is not reported.
void OpenWithShell(const CString& target) {
    ShellExecute(nullptr, _T("open"), target.GetString(), nullptr, nullptr, SW_SHOWNORMAL);
}

void OpenVendorHomePage() {
    OpenWithShell(GetVendorSite() + _T("/"));
}

void OpenVendorPage(const TCHAR* pageKey) {
    OpenWithShell(VendorPageAddress(pageKey));
}

void OpenHelpFile(const TCHAR* fileName) {
    TCHAR modulePath[MAX_PATH + 1] = {};
    GetModuleFileName(ModuleInstance(), modulePath, MAX_PATH);
    CString path = HelpFilePathBeside(modulePath);
    // The name given replaces the standard one at the end of the path.
    path = path.Left(path.GetLength() - CString(kHelpFileName).GetLength()) + fileName;
    OpenWithShell(path);
}

void SendSupportMail() {
    OpenWithShell(
        ComposeSupportMail(GetSupportAddress(), DescribeWindowsVersion(), GetHostReleaseMarker()));
}

}  // namespace

void CmdQuarvWebsite() {
    OpenVendorHomePage();
}
void CmdQuarvSupport() {
    SendSupportMail();
}
void CmdQuarvFaq() {
    OpenVendorPage(_T("faq"));
}
void CmdQuarvNew() {
    OpenVendorPage(_T("whatsnew"));
}
void CmdQuarvHelp() {
    OpenHelpFile(kHelpFileName);
}
void CmdQuarvAbout() {
    RunModuleDialog<CAboutDlg>();
}
void CmdQuarvDemo() {
    RunModuleDialog<CDemoDialog>();
}
void CmdQuarvLiveUpdate() {
    RunModuleDialog<CLiveUpdateDlg>();
}
