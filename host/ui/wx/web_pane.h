// The browser pane of HTML dialogs (the static child AFX_IDW_PANE_FIRST whose text is the
// address shown) as a native window: an embedded web view when the desktop has one, a label
// with the address otherwise.
#pragma once

#include <wx/window.h>

#include <string>

namespace host::ui::wx {

// The control id of an HTML dialog's browser pane.
constexpr int kBrowserPaneId = 0xE900;

wxWindow* MakeBrowserPane(wxWindow* parent, const wxPoint& pos, const wxSize& size);
bool IsWebView(wxWindow* pane);
// Loads an address ("res://MODULE/ID" shows a module's HTML resource).
void ShowInBrowserPane(wxWindow* pane, const std::string& address);
// Whether the pane is still loading its page.
bool BrowserPaneBusy(wxWindow* pane);
// The address of the page the pane holds now (after redirects).
std::string BrowserPaneAddress(wxWindow* pane);

}  // namespace host::ui::wx
