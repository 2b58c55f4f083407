// Dialogs and menus as text, for the @show action and headless menus.
#pragma once

#include <string>

#include "host/ui/dialogs/session.h"
#include "host/ui/dialogs/toolkit.h"

namespace host::ui {

// The whole dialog (lists of many rows are cut short), or one control in full.
std::string ShowDialog(DialogSession& session, Window* only = nullptr);
// A popup menu: command ids, texts and greyed entries.
std::string ShowMenu(const Menu& menu);

}  // namespace host::ui
