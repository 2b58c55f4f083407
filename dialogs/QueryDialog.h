// The query dialog: a name and an SQL text for one database, with its tables and views and
// the chosen one's fields ready to be put into the text.
#pragma once

#include "platform/CString.h"
#include "platform/afxwin.h"

class CMyDatabase;

class CQueryDialog : public CDialog {
public:
    explicit CQueryDialog(CMyDatabase* pDatabase, CWnd* pParent = nullptr);

    CListBox m_listTables;  // 113: tables and views, each with its record as item data
    CListBox m_listFields;  // 114: the field names of the chosen table
    CEdit m_editSQL;        // 123
    CString m_strName;      // 126: the query's name
    CString m_strSQL;       // the SQL text, taken from 123 on OK
    CMyDatabase* m_pDatabase;  // not owned

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    afx_msg void OnSelchangeTables();
    afx_msg void OnInsertTableName();
    afx_msg void OnInsertFieldName();

    DECLARE_MESSAGE_MAP()
};
