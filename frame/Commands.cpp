// The module's command table: groups, global and local names, flags and handlers.
#include "dialogs/DialogCommands.h"
#include "online/OnlineCommands.h"
#include "platform/acrxapp.h"
#include "tables/TableCommands.h"

namespace {

// Does nothing and returns at once.
void CmdDbTableTest() {}

}  // namespace

BEGIN_ARX_COMMAND_TABLE()
ARX_COMMAND_ENTRY(_T("Quarv"), _T("_DbTable_Create"), _T("DbTable_Create"), ACRX_CMD_MODAL,
                  CmdDbTableCreate)
ARX_COMMAND_ENTRY(_T("Quarv"), _T("_DbTable_Properties"), _T("DbTable_Properties"), ACRX_CMD_MODAL,
                  CmdDbTableProperties)
ARX_COMMAND_ENTRY(_T("Quarv"), _T("_DbTable_Update"), _T("DbTable_Update"), ACRX_CMD_MODAL,
                  CmdDbTableUpdate)
ARX_COMMAND_ENTRY(_T("Quarv"), _T("_DbTable_Test"), _T("DbTable_Test"), ACRX_CMD_MODAL,
                  CmdDbTableTest)
ARX_COMMAND_ENTRY(_T("Morvane"), _T("_Quarv_Website"), _T("Quarv_Website"), ACRX_CMD_MODAL,
                  CmdQuarvWebsite)
ARX_COMMAND_ENTRY(_T("Morvane"), _T("_Quarv_Support"), _T("Quarv_Support"), ACRX_CMD_MODAL,
                  CmdQuarvSupport)
ARX_COMMAND_ENTRY(_T("Morvane"), _T("_Quarv_Faq"), _T("Quarv_Faq"), ACRX_CMD_MODAL, CmdQuarvFaq)
ARX_COMMAND_ENTRY(_T("Morvane"), _T("_Quarv_New"), _T("Quarv_New"), ACRX_CMD_MODAL, CmdQuarvNew)
ARX_COMMAND_ENTRY(_T("Morvane"), _T("_Quarv_Help"), _T("Quarv_Help"), ACRX_CMD_MODAL, CmdQuarvHelp)
ARX_COMMAND_ENTRY(_T("Morvane"), _T("_Quarv_About"), _T("Quarv_About"), ACRX_CMD_MODAL,
                  CmdQuarvAbout)
ARX_COMMAND_ENTRY(_T("Morvane"), _T("_Quarv_Demo"), _T("Quarv_Demo"), ACRX_CMD_MODAL, CmdQuarvDemo)
ARX_COMMAND_ENTRY(_T("Morvane"), _T("_Quarv_Live_Update"), _T("Quarv_Live_Update"), ACRX_CMD_MODAL,
                  CmdQuarvLiveUpdate)
END_ARX_COMMAND_TABLE()
