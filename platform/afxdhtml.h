// The framework's HTML dialog: a dialog whose client area is an embedded web browser, showing
// an HTML resource of the module first and then the pages it navigates to.
//
// The host's browser pane is a child window (AFX_IDW_PANE_FIRST) filling the dialog. It shows
// the address of the page it holds; without a desktop the host also prints "browser: ADDRESS"
// on its command line when the dialog navigates, so scripts see which page is shown.
#pragma once

#include "platform/afxwin.h"

#ifndef AFX_IDW_PANE_FIRST
#define AFX_IDW_PANE_FIRST 0xE900
#endif

class QV_UI_API CDHtmlDialog : public CDialog {
public:
    CDHtmlDialog(UINT nIDTemplate, UINT nHtmlResID = 0, CWnd* pParent = nullptr)
        : CDHtmlDialog(nIDTemplate, nHtmlResID, pParent, QV_UNICODE_BUILD) {}
    CDHtmlDialog(UINT nIDTemplate, UINT nHtmlResID, CWnd* pParent, bool unicodeBuild);
    ~CDHtmlDialog() override;

    // Creates the browser pane over the client area, showing the HTML resource.
    BOOL OnInitDialog() override;
    // Makes the browser show an address (flags, target frame, headers and post data are not
    // used).
    void Navigate(const char* url, DWORD flags = 0, const char* targetFrame = nullptr,
                  const char* headers = nullptr, LPVOID postData = nullptr, DWORD postLength = 0);
    void Navigate(const char16_t* url, DWORD flags = 0, const char16_t* targetFrame = nullptr,
                  const char16_t* headers = nullptr, LPVOID postData = nullptr,
                  DWORD postLength = 0);
    // The address shown now (UTF-8): "res://MODULE/ID" for the HTML resource.
    CStringA GetCurrentUrlA() const { return m_strCurrentUrl; }

    UINT m_nHtmlResID;

private:
    CStringA m_strCurrentUrl;
    CStatic m_wndBrowser;
};
