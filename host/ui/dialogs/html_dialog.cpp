// The HTML dialog (platform/afxdhtml.h): its browser pane is a static child that holds the
// address of the page shown; without a desktop each navigation is also printed on the command
// line ("browser: ADDRESS").
#include <string>

#include "host/base/command_line.h"
#include "host/ui/dialogs/toolkit.h"
#include "platform/afxdhtml.h"
#include "platform/textconv.h"

CDHtmlDialog::CDHtmlDialog(UINT nIDTemplate, UINT nHtmlResID, CWnd* pParent, bool unicodeBuild)
    : CDialog(nIDTemplate, pParent, unicodeBuild), m_nHtmlResID(nHtmlResID) {}

CDHtmlDialog::~CDHtmlDialog() = default;

BOOL CDHtmlDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    CRect client;
    GetClientRect(&client);
    if (m_nHtmlResID)
        m_strCurrentUrl.Format("res://module/%u", m_nHtmlResID);
    m_wndBrowser.Create(m_strCurrentUrl.GetString(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                        client, this, AFX_IDW_PANE_FIRST);
    return TRUE;
}

void CDHtmlDialog::Navigate(const char* url, DWORD, const char*, const char*, LPVOID, DWORD) {
    m_strCurrentUrl = url ? url : "";
    if (m_wndBrowser.GetSafeHwnd())
        m_wndBrowser.SetWindowText(m_strCurrentUrl.GetString());
    if (std::string(host::ui::CurrentToolkit().Name()) != "gui")
        host::CommandLineWrite("\nbrowser: " + std::string(m_strCurrentUrl.GetString()));
}

void CDHtmlDialog::Navigate(const char16_t* url, DWORD flags, const char16_t*, const char16_t*,
                            LPVOID, DWORD) {
    const std::string narrow = url ? qv::ToUtf8(url) : std::string();
    Navigate(narrow.c_str(), flags);
}
