// The about box: the product's name, version and copyright, and the warning text.
#pragma once

#include "platform/afxwin.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

private:
    CString m_strVersion;  // 222
    CString m_strWarning;  // 224
};
