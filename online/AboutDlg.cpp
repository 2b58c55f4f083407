// The about box.
#include "online/AboutDlg.h"

#include "online/OnlineResources.h"
#include "resources/resource.h"

CAboutDlg::CAboutDlg() : CDialog(_T(IDD_ABOUT_DIALOG), nullptr) {}

void CAboutDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_STATIC_VERSION, m_strVersion);
    DDX_Text(pDX, IDC_STATIC_WARNING, m_strWarning);
}

BOOL CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetWindowText((CString(_T("About ")) + kProductName).GetString());
    // The version line, and the maker's copyright notice under it.
    m_strVersion.Format(_T("%s Version %s\nCopyright (C) 2004-2026 Morvane. All rights reserved."),
                        kProductName, kProductVersion);
    m_strWarning =
        _T("Warning: this program is protected by copyright law and international treaties. ")
        _T("Copying or distributing it, or any part of it, without the written permission of ")
        _T("Morvane is not allowed and may be prosecuted.");
    UpdateData(FALSE);
    return TRUE;
}
