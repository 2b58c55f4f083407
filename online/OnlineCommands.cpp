// Online resource commands, the about and demo boxes and the update check.
#include "online/OnlineCommands.h"

#include "ArxUtils/ArxUtils.h"

void CmdQuarvWebsite() {
    ReportCommandNotAvailable(_T("Quarv_Website"));
}
void CmdQuarvSupport() {
    ReportCommandNotAvailable(_T("Quarv_Support"));
}
void CmdQuarvFaq() {
    ReportCommandNotAvailable(_T("Quarv_Faq"));
}
void CmdQuarvNew() {
    ReportCommandNotAvailable(_T("Quarv_New"));
}
void CmdQuarvHelp() {
    ReportCommandNotAvailable(_T("Quarv_Help"));
}
void CmdQuarvAbout() {
    ReportCommandNotAvailable(_T("Quarv_About"));
}
void CmdQuarvDemo() {
    ReportCommandNotAvailable(_T("Quarv_Demo"));
}
void CmdQuarvLiveUpdate() {
    ReportCommandNotAvailable(_T("Quarv_Live_Update"));
}
