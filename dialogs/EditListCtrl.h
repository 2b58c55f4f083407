// A report list whose cells are edited in place: a double click opens an edit box exactly over
// the cell; Enter or leaving the box writes the text back, Esc drops it. The edit box has its
// own context menu with the clipboard commands.
#pragma once

#include "platform/afxcmn.h"

// Command ids of the edit box's context menu: the edit messages themselves, and the formula
// entry.
#define ID_LVEDIT_UNDO 199   // EM_UNDO
#define ID_LVEDIT_CUT 768    // WM_CUT
#define ID_LVEDIT_COPY 769   // WM_COPY
#define ID_LVEDIT_PASTE 770  // WM_PASTE
#define ID_LVEDIT_CLEAR 771  // WM_CLEAR
#define ID_LVEDIT_INSERT_FORMULA 1025
// The control id of the in-place edit box.
#define IDC_LVEDIT 3456

class CEditListCtrl;

// The in-place edit box of a CEditListCtrl.
class CLvEdit : public CEdit {
public:
    CLvEdit();

    int m_nRow;  // the cell being edited, -1 when none is pending
    int m_nColumn;
    BOOL m_bInsertFormula;  // whether the context menu offers "&Insert Formula..."

protected:
    afx_msg UINT OnGetDlgCode();
    afx_msg void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    afx_msg void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
    afx_msg void OnKillFocus(CWnd* pNewWnd);
    afx_msg void OnChange();
    afx_msg void OnContextMenu(CWnd* pWnd, CPoint point);
    afx_msg void OnEditUndo();
    afx_msg void OnEditCut();
    afx_msg void OnEditCopy();
    afx_msg void OnEditPaste();
    afx_msg void OnEditClear();
    afx_msg void OnInsertFormula();

    // Writes the box's text into the pending cell and forgets the cell.
    void CommitPendingCell();
    CListCtrl* GetList() const;

    DECLARE_MESSAGE_MAP()
};

class CEditListCtrl : public CListCtrl {
public:
    CEditListCtrl();

    // Shows or hides the "&Insert Formula..." entry of the edit box's context menu.
    void SetFormulaEntry(BOOL bShow) { m_edit.m_bInsertFormula = bShow; }
    // Cells in columns before this one cannot be edited.
    void SetFirstEditableColumn(int nColumn) { m_nFirstEditableColumn = nColumn; }

    CLvEdit m_edit;
    int m_nFirstEditableColumn;

protected:
    afx_msg void OnDblclk(NMHDR* pNMHDR, LRESULT* pResult);

    DECLARE_MESSAGE_MAP()
};
