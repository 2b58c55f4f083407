// The connection dialog: the connect string, the database file (absolute or relative to the
// drawing's folder), user and password of a database to add.
#pragma once

#include "platform/CString.h"
#include "platform/afxwin.h"

// The file dialog's filter of database files.
#define DATABASE_FILE_FILTER _T("Microsoft Office Access(*.mdb)|*.mdb|All Files(*.*)|*.*||")

// Fills a connect-string list with the keys of ConnectTemplateMap (the list sorts them).
void FillConnectStringList(CComboBox& combo);
// Asks for a database file with the file-open dialog. On OK the chosen full path is stored
// in strPath and true is returned; on Cancel strPath is left as it was.
bool BrowseDatabaseFile(CWnd* pParent, CString& strPath);

class CConnectDialog : public CDialog {
public:
    explicit CConnectDialog(CWnd* pParent = nullptr);

    CString m_strConnectString;  // on OK: the chosen key of ConnectTemplateMap
    CComboBox m_comboConnect;    // control 107
    CString m_strDatabase;       // control 108: absolute, or relative to the drawing's folder
    CString m_strUser;           // control 110
    CString m_strPassword;       // control 111
    int m_nRelative;             // control 130

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    afx_msg void OnBrowse();
    afx_msg void OnRelativePath();

    // Makes the database path relative to the drawing's folder when it can be.
    void MakeRelativeDatabasePath();

    DECLARE_MESSAGE_MAP()
};
