// Dialog actions written as lines: "@click 105", "@set 108 parts.mdb", "@pick 100 nwind.mdb >
// Orders", "@show" ... Scripts, the headless toolkit and scripted runs of the desktop toolkit
// use them; the forms are stable (other people's scripts rely on them).
#pragma once

#include <string>
#include <string_view>

#include "host/ui/dialogs/session.h"

namespace host::ui {

// Carries out one action line on a dialog; throws ActionError when it cannot (an unknown
// action or control, an action the control does not take, a disabled control).
void PerformAction(DialogSession& session, std::string_view line);

// The actions, one a line, for @help.
std::string ActionHelp();

// A key name of @key ("Enter", "Esc", "Tab" ...) as a virtual key, or 0.
UINT KeyFromName(std::string_view name);

}  // namespace host::ui
