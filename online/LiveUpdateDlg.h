// The update check: asks the vendor's web server for the published version of the module and
// says whether this one is current, with a link to the download page when it is not.
#pragma once

#include "online/Hyperlink.h"
#include "platform/afxwin.h"

class CLiveUpdateDlg : public CDialog {
public:
    CLiveUpdateDlg();

    // The exchange with the server; true when a result (current or not) was shown, false on
    // any network failure.
    bool CheckForUpdate();
    // Whether the module's own version is not older than the published one.
    static bool IsVersionCurrent(const CString& strPublished);
    // The published version in the update list's text: the rest of the last line that holds
    // the key (letter case ignored), blanks stripped; empty when no line does.
    static CString FindPublishedVersion(const CString& strKey, CStringArray& lines);

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    afx_msg void OnCheckUp();
    DECLARE_MESSAGE_MAP()

private:
    void SetStatus(const CString& strText);

    CStatic m_staticStatus;    // 211
    CStatic m_staticLink;      // 212, where the link is created
    CStatic m_staticDownload;  // 213
    CHyperlink m_hyperlink;
};
