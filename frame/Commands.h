// Handlers of the module's commands (the command table is in Commands.cpp).
#pragma once

#include "platform/windef.h"

// Table commands.
void CmdDbTableCreate();
void CmdDbTableUpdate();
void CmdDbTableProperties();
void CmdDbTableTest();

// Online resources and information boxes.
void CmdQuarvWebsite();
void CmdQuarvSupport();
void CmdQuarvFaq();
void CmdQuarvNew();
void CmdQuarvHelp();
void CmdQuarvAbout();
void CmdQuarvDemo();
void CmdQuarvLiveUpdate();

// Tells the user that a command of this module cannot run in this build yet.
void ReportCommandNotAvailable(const TCHAR* localName);
