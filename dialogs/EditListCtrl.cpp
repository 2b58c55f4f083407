#include "dialogs/EditListCtrl.h"

// ---- The in-place edit box
// -----------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CLvEdit, CEdit)
ON_WM_GETDLGCODE()
ON_WM_KEYDOWN()
ON_WM_CHAR()
ON_WM_KILLFOCUS()
ON_CONTROL_REFLECT(EN_CHANGE, OnChange)
ON_WM_CONTEXTMENU()
ON_COMMAND(ID_LVEDIT_UNDO, OnEditUndo)
ON_COMMAND(ID_LVEDIT_CUT, OnEditCut)
ON_COMMAND(ID_LVEDIT_COPY, OnEditCopy)
ON_COMMAND(ID_LVEDIT_PASTE, OnEditPaste)
ON_COMMAND(ID_LVEDIT_CLEAR, OnEditClear)
ON_COMMAND(ID_LVEDIT_INSERT_FORMULA, OnInsertFormula)
END_MESSAGE_MAP()

CLvEdit::CLvEdit() : m_nRow(-1), m_nColumn(-1), m_bInsertFormula(TRUE) {}

CListCtrl* CLvEdit::GetList() const {
    return static_cast<CListCtrl*>(GetParent());
}

UINT CLvEdit::OnGetDlgCode() {
    // Enter and Esc end the edit here instead of pressing the dialog's buttons.
    return CEdit::OnGetDlgCode() | DLGC_WANTALLKEYS;
}

void CLvEdit::CommitPendingCell() {
    if (m_nRow < 0 || m_nColumn < 0)
        return;
    CString text;
    GetWindowText(text);
    const int row = m_nRow;
    const int column = m_nColumn;
    m_nRow = -1;
    m_nColumn = -1;
    if (CListCtrl* pList = GetList())
        pList->SetItemText(row, column, text);
}

void CLvEdit::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
    if (nChar == VK_RETURN) {
        ShowWindow(SW_HIDE);
        CommitPendingCell();
        return;
    }
    if (nChar == VK_ESCAPE) {
        ShowWindow(SW_HIDE);
        m_nRow = -1;
        m_nColumn = -1;
        return;
    }
    CEdit::OnKeyDown(nChar, nRepCnt, nFlags);
}

void CLvEdit::OnChar(UINT nChar, UINT nRepCnt, UINT nFlags) {
    // Enter and Esc were handled as keys; their characters would only beep.
    if (nChar == '\r' || nChar == 0x1B)
        return;
    CEdit::OnChar(nChar, nRepCnt, nFlags);
}

void CLvEdit::OnKillFocus(CWnd* pNewWnd) {
    CEdit::OnKillFocus(pNewWnd);
    if (pNewWnd && pNewWnd->m_hWnd == m_hWnd)
        return;
    ShowWindow(SW_HIDE);
    CommitPendingCell();
}

void CLvEdit::OnChange() {
    CListCtrl* pList = GetList();
    if (!pList)
        return;
    // The box grows while the text does, never past the list's right edge, and never shrinks.
    CString text;
    GetWindowText(text);
    CClientDC dc(this);
    CFont* pOldFont = dc.SelectObject(pList->GetFont());
    const CSize size = dc.GetTextExtent(text + _T("W"));
    dc.SelectObject(pOldFont);

    CRect rcBox;
    GetWindowRect(&rcBox);
    pList->ScreenToClient(&rcBox);
    CRect rcList;
    pList->GetClientRect(&rcList);
    if (rcBox.Width() < size.cx)
        rcBox.right = rcBox.left + size.cx;
    if (rcBox.right < rcList.right)
        MoveWindow(&rcBox);
}

void CLvEdit::OnContextMenu(CWnd*, CPoint point) {
    SetFocus();
    int nStart = 0;
    int nEnd = 0;
    GetSel(nStart, nEnd);
    const bool bSelection = nStart != nEnd;
    const bool bReadOnly = (GetStyle() & ES_READONLY) != 0;
    auto state = [](bool bGreyed) { return MF_STRING | (bGreyed ? MF_GRAYED : MF_ENABLED); };

    CMenu menu;
    menu.CreatePopupMenu();
    menu.AppendMenu(state(!CanUndo() || bReadOnly), ID_LVEDIT_UNDO, _T("&Undo"));
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(state(!bSelection), ID_LVEDIT_COPY, _T("&Copy"));
    menu.AppendMenu(state(!bSelection || bReadOnly), ID_LVEDIT_CUT, _T("Cu&t"));
    menu.AppendMenu(state(!bSelection || bReadOnly), ID_LVEDIT_CLEAR, _T("&Delete"));
    menu.AppendMenu(state(!IsClipboardFormatAvailable(CF_TEXT) || bReadOnly), ID_LVEDIT_PASTE,
                    _T("&Paste"));
    if (m_bInsertFormula) {
        menu.AppendMenu(MF_SEPARATOR);
        menu.AppendMenu(MF_STRING, ID_LVEDIT_INSERT_FORMULA, _T("&Insert Formula..."));
    }
    menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, this);
    menu.DestroyMenu();
}

void CLvEdit::OnEditUndo() {
    SendMessage(EM_UNDO);
}

void CLvEdit::OnEditCut() {
    SendMessage(WM_CUT);
}

void CLvEdit::OnEditCopy() {
    SendMessage(WM_COPY);
}

void CLvEdit::OnEditPaste() {
    SendMessage(WM_PASTE);
}

void CLvEdit::OnEditClear() {
    SendMessage(WM_CLEAR);
}

// Formulas are not inserted in this system; the entry is accepted and does nothing.
void CLvEdit::OnInsertFormula() {}

// ---- The list
// -------------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CEditListCtrl, CListCtrl)
ON_NOTIFY_REFLECT(NM_DBLCLK, OnDblclk)
END_MESSAGE_MAP()

CEditListCtrl::CEditListCtrl() : m_nFirstEditableColumn(0) {}

void CEditListCtrl::OnDblclk(NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    const auto* pActivate = reinterpret_cast<const NMITEMACTIVATE*>(pNMHDR);
    const int nRow = pActivate->iItem;
    const int nColumn = pActivate->iSubItem;
    if (nRow < 0 || nColumn < m_nFirstEditableColumn)
        return;

    CRect rcCell;
    if (!GetSubItemRect(nRow, nColumn, LVIR_LABEL, rcCell))
        return;
    CRect rcList;
    GetClientRect(&rcList);
    if (rcCell.right > rcList.right)
        rcCell.right = rcList.right - GetSystemMetrics(SM_CXEDGE);

    if (!m_edit.m_hWnd) {
        m_edit.Create(WS_CHILD | WS_BORDER | ES_AUTOHSCROLL, CRect(0, 0, 0, 0), this, IDC_LVEDIT);
        m_edit.SetFont(GetFont());
    }
    m_edit.m_nRow = nRow;
    m_edit.m_nColumn = nColumn;
    m_edit.SetWindowText(GetItemText(nRow, nColumn));
    m_edit.MoveWindow(&rcCell);
    m_edit.ShowWindow(SW_SHOW);
    m_edit.SetFocus();
}
