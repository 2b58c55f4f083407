// Online resources and information boxes.
#pragma once

void CmdQuarvWebsite();
void CmdQuarvSupport();
void CmdQuarvFaq();
void CmdQuarvNew();
void CmdQuarvHelp();
void CmdQuarvAbout();
void CmdQuarvDemo();
void CmdQuarvLiveUpdate();
