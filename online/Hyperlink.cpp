// The hyperlink control: a window of its own class over a dialog's static control.
#include "online/Hyperlink.h"

#include "platform/acrxapp.h"
#include "platform/shellapi.h"

namespace {

const TCHAR* const kHyperlinkClass = _T("HyperlinkWnd");

}  // namespace

BEGIN_MESSAGE_MAP(CHyperlink, CWnd)
ON_WM_PAINT()
ON_WM_MOUSEMOVE()
ON_WM_LBUTTONUP()
ON_WM_SETCURSOR()
ON_WM_CAPTURECHANGED()
END_MESSAGE_MAP()

CHyperlink::CHyperlink()
    : m_crCurrent(RGB(0, 0, 255)),
      m_crHover(RGB(255, 0, 0)),
      m_crBackground(0),
      m_crNormal(0),
      m_bUnderline(false),
      m_hCursor(LoadCursorA(nullptr, IDC_ARROW)) {}

// The window goes with the framework object (CWnd); the font is the link's own.
CHyperlink::~CHyperlink() {
    m_font.DeleteObject();
}

void CHyperlink::SetColours(COLORREF crHover, COLORREF crNormal, COLORREF crBackground) {
    m_crHover = crHover;
    m_crNormal = crNormal;
    m_crBackground = crBackground;
}

void CHyperlink::SetUnderline(bool bUnderline) {
    m_bUnderline = bUnderline;
}

void CHyperlink::SetLinkCursor(HCURSOR hCursor) {
    m_hCursor = hCursor;
}

void CHyperlink::SetLinkText(const CString& strText) {
    m_strText = strText;
    if (m_hWnd)
        Invalidate();
}

void CHyperlink::SetUrl(const CString& strUrl) {
    m_strUrl = strUrl;
}

BOOL CHyperlink::CreateFromStatic(CWnd* pStatic, UINT nID) {
    if (!pStatic || !pStatic->GetSafeHwnd())
        return FALSE;
    WNDCLASS wndClass{};
    wndClass.style = CS_HREDRAW | CS_VREDRAW;
    wndClass.lpfnWndProc = ::DefWindowProc;
    wndClass.hInstance = AfxFindModuleInstance(reinterpret_cast<const void*>(&kHyperlinkClass));
    wndClass.lpszClassName = kHyperlinkClass;
    if (!AfxRegisterClass(&wndClass))
        return FALSE;

    CRect rect;
    pStatic->GetWindowRect(&rect);
    CWnd* pParent = pStatic->GetParent();
    if (pParent)
        pParent->ScreenToClient(&rect);
    const BOOL created = Create(kHyperlinkClass, _T(""), WS_CHILD | WS_VISIBLE, rect, pParent, nID);

    if (CFont* pFont = pStatic->GetFont()) {
        LOGFONT logFont{};
        pFont->GetLogFont(&logFont);
        logFont.lfUnderline = m_bUnderline ? 1 : 0;
        m_font.DeleteObject();
        m_font.CreateFontIndirect(&logFont);
    }
    return created;
}

void CHyperlink::OnPaint() {
    CPaintDC dc(this);
    CFont* pOldFont = m_font.m_hObject ? dc.SelectObject(&m_font) : nullptr;
    dc.SetBkColor(m_crBackground);
    dc.SetTextColor(m_crCurrent);
    dc.TextOut(0, 0, m_strText);
    if (pOldFont)
        dc.SelectObject(pOldFont);
}

void CHyperlink::OnMouseMove(UINT nFlags, CPoint point) {
    CRect rect;
    GetWindowRect(&rect);
    ClientToScreen(&point);
    if (rect.PtInRect(point)) {
        SetCapture();
        m_crCurrent = m_crHover;
    } else {
        m_crCurrent = m_crNormal;
        ReleaseCapture();
    }
    Invalidate(TRUE);
    CWnd::OnMouseMove(nFlags, point);
}

void CHyperlink::OnLButtonUp(UINT nFlags, CPoint point) {
    ShellExecute(nullptr, _T("open"), m_strUrl.GetString(), nullptr, nullptr, SW_SHOW);
    CWnd::OnLButtonUp(nFlags, point);
}

BOOL CHyperlink::OnSetCursor(CWnd*, UINT, UINT) {
    ::SetCursor(m_hCursor);
    return TRUE;
}

void CHyperlink::OnCaptureChanged(CWnd* pWnd) {
    if (pWnd != this) {
        m_crCurrent = m_crNormal;
        ReleaseCapture();
        Invalidate();
    }
}
