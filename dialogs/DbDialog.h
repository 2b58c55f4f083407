// The database browser of DbTable_Create: the databases with their tables, views and queries,
// the rows of the chosen one, and the table built from them or written into a table of the
// drawing.
#pragma once

#include <vector>

#include "platform/CString.h"
#include "platform/acui.h"
#include "platform/afxcmn.h"

class CMyDatabase;
class CMyDbTable;
class CellGrid;
class TableLink;

class CDbDialog : public CAcUiDialog {
public:
    explicit CDbDialog(CWnd* pParent = nullptr);

    CTreeCtrl m_tree;              // 100: databases, their tables, views and queries
    CListCtrl m_list;              // 103: the rows of the selection
    CImageList m_imageList;        // database, table, view or query
    CComboBox m_comboTableStyle;   // 134
    CString m_strTableStyle;       // the style chosen in 134
    CStringArray m_arrHeadings;    // one per shown column: field names, or custom headings
    std::vector<double> m_arrWidths;  // one per column once customised; 0: automatic
    int m_nIncHeader;              // 128
    int m_nInsert;                 // 130

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    afx_msg void OnOpenDatabase();
    afx_msg void OnCloseDatabase();
    afx_msg void OnNewQuery();
    afx_msg void OnCreateTable();
    afx_msg void OnInsertClicked();
    afx_msg void OnCustomizeHeading();
    afx_msg void OnCustomizeWidth();
    afx_msg void OnSelchangedTree(NMHDR* pNMHDR, LRESULT* pResult);

    // Adds a database's node with its tables and views (opening the connection first when it
    // is closed); false when the connection cannot be opened.
    bool ListDatabase(CMyDatabase* pDb);
    // Shows the rows of a table, view or query in the list.
    void ShowRows(CMyDbTable* pTable);
    // The shown rows as a grid, with the heading row when the header option is on.
    void FillGrid(CellGrid& grid, TableLink& link);
    // Sets the caption of a list column (cut to 1023 characters).
    void SetColumnCaption(int nColumn, const CString& strCaption);

    DECLARE_MESSAGE_MAP()
};
