// The table properties dialog: the database link of one table (connect string, database,
// table or view, SQL text, user and password) and whether to refresh the table afterwards.
#pragma once

#include "platform/CString.h"
#include "platform/afxwin.h"

class CDbPropertyDialog : public CDialog {
public:
    CDbPropertyDialog(const CString& strConnectString, const CString& strDatabase,
                      const CString& strTable, const CString& strSQL, const CString& strUser,
                      const CString& strPassword, CWnd* pParent = nullptr);

    CComboBox m_comboConnect;    // control 107
    CString m_strDatabase;       // control 108: as typed, relative paths stay relative
    CString m_strUser;           // control 110
    CString m_strPassword;       // control 111
    CComboBox m_comboTable;      // control 132: the tables and views of the database
    CString m_strSQL;            // control 123
    CString m_strTable;          // on OK: the text of the table list
    CString m_strConnectString;  // the link's connect string, or the entry the user chose
    int m_nUpdateTable;          // control 130

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    afx_msg void OnBrowse();

    // Shows a refused OK in the dialog's message box and moves the focus to the control.
    void Refuse(const TCHAR* message, int nIDControl);

    DECLARE_MESSAGE_MAP()

private:
    int m_nShownConnect = CB_ERR;  // the connect-string entry selected when the dialog opened
};
