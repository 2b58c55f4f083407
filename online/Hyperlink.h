// A text that looks and acts like a web link: drawn in its normal colour, in the hover colour
// while the mouse is over it, and opening its address when clicked.
#pragma once

#include "platform/afxwin.h"

class CHyperlink : public CWnd {
public:
    CHyperlink();
    ~CHyperlink() override;

    // Must be called before the control is shown.
    void SetColours(COLORREF crHover, COLORREF crNormal, COLORREF crBackground);
    // Takes effect when the control is created: call it before CreateFromStatic.
    void SetUnderline(bool bUnderline);
    void SetLinkCursor(HCURSOR hCursor);
    void SetLinkText(const CString& strText);
    void SetUrl(const CString& strUrl);

    // Creates the link window in place of a static control of a dialog, with the static's font
    // (underlined when asked); false when the window could not be made.
    BOOL CreateFromStatic(CWnd* pStatic, UINT nID);

    COLORREF GetCurrentColour() const { return m_crCurrent; }
    const CString& GetLinkText() const { return m_strText; }
    const CString& GetUrl() const { return m_strUrl; }

protected:
    afx_msg void OnPaint();
    afx_msg void OnMouseMove(UINT nFlags, CPoint point);
    afx_msg void OnLButtonUp(UINT nFlags, CPoint point);
    afx_msg BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    afx_msg void OnCaptureChanged(CWnd* pWnd);
    DECLARE_MESSAGE_MAP()

private:
    COLORREF m_crCurrent;
    COLORREF m_crHover;
    COLORREF m_crBackground;
    COLORREF m_crNormal;
    CString m_strText;
    CString m_strUrl;
    CFont m_font;
    bool m_bUnderline;
    HCURSOR m_hCursor;
};
