// The browser pane of HTML dialogs as an embedded web view (WebKit through wxWebView). The
// model's pane is a static child whose text is the address shown; here that address is loaded
// into a real browser. Addresses of the form "res://MODULE/ID" show the HTML resource ID of the
// loaded modules. Without the web view library, or when its engine cannot start, the pane is a
// label showing the address, as before.
#include "host/ui/wx/web_pane.h"

#include <wx/stattext.h>

#include <cstdlib>
#include <string>

#include "host/ui/wx/wx_toolkit.h"
#include "platform/afxres.h"

#if QUARVEL_HAVE_WEBVIEW
#include <wx/webview.h>
#endif

namespace host::ui::wx {

namespace {

// The HTML resource an address "res://MODULE/ID" names (every loaded module is searched, as
// the framework's resource chain does), or null for any other address.
const RESOURCE_DATA* HtmlResourceOf(const std::string& address) {
    const std::string prefix = "res://";
    if (address.compare(0, prefix.size(), prefix) != 0)
        return nullptr;
    const std::size_t slash = address.rfind('/');
    if (slash == std::string::npos || slash + 1 >= address.size())
        return nullptr;
    char* end = nullptr;
    const unsigned long id = std::strtoul(address.c_str() + slash + 1, &end, 10);
    if (*end != '\0' || id == 0 || id > 0xFFFF)
        return nullptr;
    return AfxFindResourceData(nullptr, MAKEINTRESOURCEA(static_cast<WORD>(id)), "HTML");
}

// What a pane was last asked to show, and whether that page is still on its way. The web view
// starts loading only later, from its own event loop, so IsBusy() alone would say "done"
// before the load began.
struct PaneState : wxClientData {
    std::string asked;
    bool loading = false;
};

PaneState& StateOf(wxWindow* pane) {
    auto* state = static_cast<PaneState*>(pane->GetClientObject());
    if (!state) {
        state = new PaneState;
        pane->SetClientObject(state);
    }
    return *state;
}

#if QUARVEL_HAVE_WEBVIEW

bool WebViewAvailable() {
    // WebKit's compositing needs a GPU context that virtual X servers do not offer.
    setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);
    return wxWebView::IsBackendAvailable(wxWebViewBackendDefault);
}

#endif

}  // namespace

wxWindow* MakeBrowserPane(wxWindow* parent, const wxPoint& pos, const wxSize& size) {
#if QUARVEL_HAVE_WEBVIEW
    static const bool available = WebViewAvailable();
    if (available) {
        if (wxWebView* view = wxWebView::New(parent, wxID_ANY, wxWebViewDefaultURLStr, pos, size)) {
            const auto done = [view](wxWebViewEvent& event) {
                event.Skip();
                StateOf(view).loading = false;
            };
            view->Bind(wxEVT_WEBVIEW_LOADED, done);
            view->Bind(wxEVT_WEBVIEW_ERROR, done);
            return view;
        }
    }
#endif
    return new wxStaticText(parent, wxID_ANY, wxString(), pos, size,
                            wxALIGN_LEFT | wxST_NO_AUTORESIZE);
}

bool IsWebView(wxWindow* pane) {
#if QUARVEL_HAVE_WEBVIEW
    return dynamic_cast<wxWebView*>(pane) != nullptr;
#else
    (void)pane;
    return false;
#endif
}

void ShowInBrowserPane(wxWindow* pane, const std::string& address) {
    // Only a new address loads again: the page may have moved on by itself (redirects, links
    // the user followed) since the module asked for it.
    PaneState& state = StateOf(pane);
    if (state.asked == address)
        return;
    state.asked = address;
#if QUARVEL_HAVE_WEBVIEW
    if (auto* view = dynamic_cast<wxWebView*>(pane)) {
        state.loading = true;
        if (const RESOURCE_DATA* page = HtmlResourceOf(address)) {
            view->SetPage(
                wxString::FromUTF8(reinterpret_cast<const char*>(page->bytes), page->size),
                Wx(address));
        } else if (!address.empty()) {
            view->LoadURL(Wx(address));
        }
        return;
    }
#endif
    if (auto* label = dynamic_cast<wxStaticText*>(pane))
        label->SetLabel(wxControl::EscapeMnemonics(Wx(address)));
}

bool BrowserPaneBusy(wxWindow* pane) {
#if QUARVEL_HAVE_WEBVIEW
    if (auto* view = dynamic_cast<wxWebView*>(pane))
        return StateOf(view).loading || view->IsBusy();
#endif
    (void)pane;
    return false;
}

std::string BrowserPaneAddress(wxWindow* pane) {
#if QUARVEL_HAVE_WEBVIEW
    if (auto* view = dynamic_cast<wxWebView*>(pane))
        return Utf8(view->GetCurrentURL());
#endif
    return Utf8(pane->GetLabel());
}

}  // namespace host::ui::wx
