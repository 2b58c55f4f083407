// The column heading and width dialog: one editable row under the current headings, a column
// file to load the row from or save it to.
#pragma once

#include "dialogs/EditListCtrl.h"
#include "platform/CString.h"
#include "platform/afxwin.h"

class CCustomizeHeaderDialog : public CDialog {
public:
    enum { modeHeading = 0, modeWidth = 1 };

    explicit CCustomizeHeaderDialog(CWnd* pParent = nullptr);

    CEditListCtrl m_list;        // the one-row grid (control 142)
    CStringArray m_arrHeadings;  // input: one heading per column
    CStringArray m_arrResult;    // on OK: one text per column, in column order
    int m_nMode;                 // modeHeading or modeWidth
    CString m_strInstruction;    // the text of control 143

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    afx_msg void OnLoadFromFile();
    afx_msg void OnSaveToFile();

    int ColumnCount();

    DECLARE_MESSAGE_MAP()
};

// The file dialogs' filter of column files.
#define COLUMN_FILE_FILTER _T("Text Files (*.txt)|*.txt|All Files (*.*)|*.*||")
