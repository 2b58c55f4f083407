// The application framework's window classes as module code uses them: message boxes, windows
// and their message maps, dialogs with data exchange, the basic controls (button, static
// text, edit, combo box, list box), menus, fonts and device contexts. The common controls
// (tree, list view, image list) are in afxcmn.h, the file dialog in afxdlgs.h, files and
// exceptions in afx.h.
//
// The host implements every class here. Each window is a node of the host's control model;
// a framework object (CWnd and its kinds) is attached to a node through m_hWnd and receives
// the node's messages through its message map, as in the platform's own framework. Texts are
// taken in both widths (a const char* overload for UTF-8 and a const char16_t* one for UTF-16)
// and returned in the width of the string given (CStringA& or CStringW&), or, for functions
// that return a string, through a template that module code calls in its own width.
#pragma once

#include "platform/CString.h"
#include "platform/windef.h"
#include "platform/winuser.h"

#if defined(__GNUC__)
#define QV_UI_API __attribute__((visibility("default")))
#else
#define QV_UI_API
#endif

#define afx_msg

// Whether the code including this header is built with UTF-16 text: windows a module creates
// then send it the UTF-16 forms of notifications that carry text.
#if defined(QUARVEL_MODULE) && defined(_UNICODE)
#define QV_UNICODE_BUILD true
#else
#define QV_UNICODE_BUILD false
#endif

// ---- Message boxes -------------------------------------------------------------------------

// Message box styles.
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
#define MB_ICONHAND 0x00000010u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_DEFBUTTON2 0x00000100u
#define MB_TYPEMASK 0x0000000Fu
#define MB_ICONMASK 0x000000F0u

// Message box answers; IDOK and IDCANCEL are also the command ids of a dialog's OK and Cancel.
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

// Shows a modal message box through the host's user interface and returns the answer. The
// caption is the application's title unless one is given.
int AfxMessageBox(const char* text, UINT type = MB_OK, UINT helpId = 0);
int AfxMessageBox(const char16_t* text, UINT type = MB_OK, UINT helpId = 0);
int MessageBox(HWND owner, const char* text, const char* caption, UINT type);
int MessageBox(HWND owner, const char16_t* text, const char16_t* caption, UINT type);

// ---- Documents and resources ---------------------------------------------------------------

// The framework document of a drawing: its path name is the drawing's full file path, empty
// until the drawing is first saved.
class CDocument {
public:
    virtual ~CDocument() = default;
    virtual CStringA GetPathNameA() const = 0;
    CStringW GetPathNameW() const { return CStringW(GetPathNameA()); }
#if defined(QUARVEL_MODULE)
#if defined(_UNICODE)
    CString GetPathName() const {
        return GetPathNameW();
    }
#else
    CString GetPathName() const {
        return GetPathNameA();
    }
#endif
#endif
};

// The module resource handle in use for dialogs and string lookups.
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE resource);

// The instance handle of the loaded module that contains the given address (the start of its
// image), or null. A module stores its own as its resource instance at start-up.
HINSTANCE AfxFindModuleInstance(const void* addressInModule);

// Icons and cursors of an image's resources (by number or name), or of the system (instance
// null and one of the IDC_* numbers). Null when missing. Resource icons live as long as the
// image's resources; system cursors for ever.
HICON LoadIconA(HINSTANCE instance, const char* name);
HICON LoadIconW(HINSTANCE instance, const char16_t* name);
HCURSOR LoadCursorA(HINSTANCE instance, const char* name);
HCURSOR LoadCursorW(HINSTANCE instance, const char16_t* name);
// Makes a cursor the one shown; returns the previous one.
HCURSOR SetCursor(HCURSOR cursor);
#define IDC_ARROW MAKEINTRESOURCEA(IDC_ARROW_ID)
#define IDC_IBEAM MAKEINTRESOURCEA(IDC_IBEAM_ID)
#define IDC_WAIT MAKEINTRESOURCEA(IDC_WAIT_ID)
#define IDC_HAND MAKEINTRESOURCEA(IDC_HAND_ID)
#if defined(QUARVEL_MODULE)
#if defined(_UNICODE)
#define LoadIcon LoadIconW
#define LoadCursor LoadCursorW
#else
#define LoadIcon LoadIconA
#define LoadCursor LoadCursorA
#endif
#endif

// System metrics (SM_*) and colours (COLOR_*) of the user interface in use.
int GetSystemMetrics(int index);
COLORREF GetSysColor(int index);

// The clipboard: whether it holds data of a format (CF_TEXT, CF_UNICODETEXT: text).
BOOL IsClipboardFormatAvailable(UINT format);

// ---- Geometry ---------------------------------------------------------------------------------

class CPoint : public POINT {
public:
    CPoint() : POINT{0, 0} {}
    CPoint(int x0, int y0) : POINT{x0, y0} {}
    CPoint(POINT p) : POINT(p) {}
    // The point packed in a message parameter (x in the low word, y in the high word).
    explicit CPoint(LPARAM packed)
        : POINT{static_cast<SHORT>(packed & 0xFFFF), static_cast<SHORT>((packed >> 16) & 0xFFFF)} {}
    void Offset(int dx, int dy) {
        x += dx;
        y += dy;
    }
    bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
};

class CSize : public SIZE {
public:
    CSize() : SIZE{0, 0} {}
    CSize(int cx0, int cy0) : SIZE{cx0, cy0} {}
    CSize(SIZE s) : SIZE(s) {}
    bool operator==(const CSize& o) const { return cx == o.cx && cy == o.cy; }
};

class CRect : public RECT {
public:
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    CRect(const RECT& r) : RECT(r) {}
    CRect(POINT topLeft, SIZE size)
        : RECT{topLeft.x, topLeft.y, topLeft.x + size.cx, topLeft.y + size.cy} {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    CSize Size() const { return CSize(Width(), Height()); }
    CPoint TopLeft() const { return CPoint(left, top); }
    CPoint BottomRight() const { return CPoint(right, bottom); }
    CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
    bool IsRectEmpty() const { return right <= left || bottom <= top; }
    bool PtInRect(POINT p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    void SetRect(int l, int t, int r, int b) {
        left = l;
        top = t;
        right = r;
        bottom = b;
    }
    void SetRectEmpty() { SetRect(0, 0, 0, 0); }
    void OffsetRect(int dx, int dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }
    void InflateRect(int dx, int dy) {
        left -= dx;
        right += dx;
        top -= dy;
        bottom += dy;
    }
    void DeflateRect(int dx, int dy) { InflateRect(-dx, -dy); }
    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }
    bool operator==(const CRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// ---- Message maps ---------------------------------------------------------------------------

class CCmdTarget;
class CWnd;

// The message being handled, as a handler thunk sees it.
struct AFX_MSG_CALL {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result;
};

// A handler thunk: calls the member function of the entry on the target with the message's
// arguments; returns whether the message counts as handled.
typedef bool (*AFX_PMSG_THUNK)(CCmdTarget* target, AFX_MSG_CALL& call);

// One entry of a message map. Command and notification entries name their code and control
// id (a range for command ranges); window-message entries have code and ids 0. Reflected
// notifications (handled by the control that sent them) use the message plus
// WM_REFLECT_BASE.
struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;
    UINT nID;
    UINT nLastID;
    AFX_PMSG_THUNK pfn;  // null ends the map
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define WM_REFLECT_BASE 0xBC00

#define DECLARE_MESSAGE_MAP()                         \
protected:                                            \
    static const AFX_MSGMAP* GetThisMessageMap();     \
    const AFX_MSGMAP* GetMessageMap() const override; \
                                                      \
private:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)          \
    const AFX_MSGMAP* theClass::GetMessageMap() const { \
        return GetThisMessageMap();                     \
    }                                                   \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {   \
        using ThisClass [[maybe_unused]] = theClass;    \
        using TheBaseClass = baseClass;                 \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {
#define END_MESSAGE_MAP()                                                                         \
    { 0, 0, 0, 0, nullptr }                                                                       \
    }                                                                                             \
    ;                                                                                             \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
    return &messageMap;                                                                           \
    }

// Command and control notifications (WM_COMMAND), handler `void f()`.
#define ON_COMMAND(id, memberFxn)                                 \
    {WM_COMMAND, 0, static_cast<UINT>(id), static_cast<UINT>(id), \
     [](CCmdTarget* t, AFX_MSG_CALL&) -> bool {                   \
         static_cast<ThisClass*>(t)->memberFxn();                 \
         return true;                                             \
     }},
#define ON_COMMAND_RANGE(id, idLast, memberFxn)                                       \
    {WM_COMMAND, 0, static_cast<UINT>(id), static_cast<UINT>(idLast),                 \
     [](CCmdTarget* t, AFX_MSG_CALL& c) -> bool {                                     \
         static_cast<ThisClass*>(t)->memberFxn(static_cast<UINT>(c.wParam & 0xFFFF)); \
         return true;                                                                 \
     }},
#define ON_CONTROL(code, id, memberFxn)                                                 \
    {WM_COMMAND, static_cast<UINT>(code), static_cast<UINT>(id), static_cast<UINT>(id), \
     [](CCmdTarget* t, AFX_MSG_CALL&) -> bool {                                         \
         static_cast<ThisClass*>(t)->memberFxn();                                       \
         return true;                                                                   \
     }},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_BN_DOUBLECLICKED(id, memberFxn) ON_CONTROL(BN_DOUBLECLICKED, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
#define ON_EN_UPDATE(id, memberFxn) ON_CONTROL(EN_UPDATE, id, memberFxn)
#define ON_EN_SETFOCUS(id, memberFxn) ON_CONTROL(EN_SETFOCUS, id, memberFxn)
#define ON_EN_KILLFOCUS(id, memberFxn) ON_CONTROL(EN_KILLFOCUS, id, memberFxn)
#define ON_LBN_SELCHANGE(id, memberFxn) ON_CONTROL(LBN_SELCHANGE, id, memberFxn)
#define ON_LBN_DBLCLK(id, memberFxn) ON_CONTROL(LBN_DBLCLK, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
#define ON_CBN_EDITCHANGE(id, memberFxn) ON_CONTROL(CBN_EDITCHANGE, id, memberFxn)
#define ON_CBN_DROPDOWN(id, memberFxn) ON_CONTROL(CBN_DROPDOWN, id, memberFxn)

// Common-control notifications (WM_NOTIFY), handler `void f(NMHDR*, LRESULT*)`.
#define ON_NOTIFY(code, id, memberFxn)                                                         \
    {WM_NOTIFY, static_cast<UINT>(code), static_cast<UINT>(id), static_cast<UINT>(id),         \
     [](CCmdTarget* t, AFX_MSG_CALL& c) -> bool {                                              \
         static_cast<ThisClass*>(t)->memberFxn(reinterpret_cast<NMHDR*>(c.lParam), &c.result); \
         return true;                                                                          \
     }},
// Notifications a control handles itself instead of its parent.
#define ON_NOTIFY_REFLECT(code, memberFxn)                                                     \
    {WM_REFLECT_BASE + WM_NOTIFY, static_cast<UINT>(code), 0, 0,                               \
     [](CCmdTarget* t, AFX_MSG_CALL& c) -> bool {                                              \
         static_cast<ThisClass*>(t)->memberFxn(reinterpret_cast<NMHDR*>(c.lParam), &c.result); \
         return true;                                                                          \
     }},
#define ON_CONTROL_REFLECT(code, memberFxn)                       \
    {WM_REFLECT_BASE + WM_COMMAND, static_cast<UINT>(code), 0, 0, \
     [](CCmdTarget* t, AFX_MSG_CALL&) -> bool {                   \
         static_cast<ThisClass*>(t)->memberFxn();                 \
         return true;                                             \
     }},

// Window messages, with the framework's handler names and signatures.
#define QV_ON_WM(msg, body)                                     \
    {msg, 0, 0, 0, [](CCmdTarget* t, AFX_MSG_CALL& c) -> bool { \
         ThisClass* self = static_cast<ThisClass*>(t);          \
         (void)c;                                               \
         body;                                                  \
         return true;                                           \
     }},
#define ON_WM_PAINT() QV_ON_WM(WM_PAINT, self->OnPaint())
#define ON_WM_KEYDOWN()                                                  \
    QV_ON_WM(WM_KEYDOWN, self->OnKeyDown(static_cast<UINT>(c.wParam), 1, \
                                         static_cast<UINT>((c.lParam >> 16) & 0xFFFF)))
#define ON_WM_CHAR()                                               \
    QV_ON_WM(WM_CHAR, self->OnChar(static_cast<UINT>(c.wParam), 1, \
                                   static_cast<UINT>((c.lParam >> 16) & 0xFFFF)))
#define ON_WM_KILLFOCUS() \
    QV_ON_WM(WM_KILLFOCUS, self->OnKillFocus(CWnd::FromHandle(reinterpret_cast<HWND>(c.wParam))))
#define ON_WM_SETFOCUS() \
    QV_ON_WM(WM_SETFOCUS, self->OnSetFocus(CWnd::FromHandle(reinterpret_cast<HWND>(c.wParam))))
#define ON_WM_CONTEXTMENU() \
    QV_ON_WM(               \
        WM_CONTEXTMENU,     \
        self->OnContextMenu(CWnd::FromHandle(reinterpret_cast<HWND>(c.wParam)), CPoint(c.lParam)))
#define ON_WM_MOUSEMOVE() \
    QV_ON_WM(WM_MOUSEMOVE, self->OnMouseMove(static_cast<UINT>(c.wParam), CPoint(c.lParam)))
#define ON_WM_LBUTTONDOWN() \
    QV_ON_WM(WM_LBUTTONDOWN, self->OnLButtonDown(static_cast<UINT>(c.wParam), CPoint(c.lParam)))
#define ON_WM_LBUTTONUP() \
    QV_ON_WM(WM_LBUTTONUP, self->OnLButtonUp(static_cast<UINT>(c.wParam), CPoint(c.lParam)))
#define ON_WM_CAPTURECHANGED()  \
    QV_ON_WM(WM_CAPTURECHANGED, \
             self->OnCaptureChanged(CWnd::FromHandle(reinterpret_cast<HWND>(c.lParam))))
#define ON_WM_SETCURSOR()                                                                     \
    QV_ON_WM(WM_SETCURSOR,                                                                    \
             c.result = self->OnSetCursor(CWnd::FromHandle(reinterpret_cast<HWND>(c.wParam)), \
                                          static_cast<UINT>(c.lParam & 0xFFFF),               \
                                          static_cast<UINT>((c.lParam >> 16) & 0xFFFF)))
#define ON_WM_GETDLGCODE() QV_ON_WM(WM_GETDLGCODE, c.result = self->OnGetDlgCode())
#define ON_WM_DESTROY() QV_ON_WM(WM_DESTROY, self->OnDestroy())
#define ON_WM_CLOSE() QV_ON_WM(WM_CLOSE, self->OnClose())

// The header of every common-control notification.
struct NMHDR {
    HWND hwndFrom;
    UINT_PTR idFrom;
    UINT code;
};
typedef NMHDR* LPNMHDR;

// A queued message, as PreTranslateMessage sees it.
struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
typedef MSG* LPMSG;

// ---- Command targets and windows -------------------------------------------------------------

class QV_UI_API CObject {
public:
    virtual ~CObject();
};

class QV_UI_API CCmdTarget : public CObject {
public:
    // Routes a command or control notification to this object's message map; true when a
    // handler took it.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, AFX_MSG_CALL& call);

    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

class CDataExchange;
class CFont;
class CMenu;
class CDC;

class QV_UI_API CWnd : public CCmdTarget {
public:
    CWnd();
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The framework object of a window: the one attached to it, or a temporary object of the
    // window's kind owned by the host (valid while the window exists). Null for null.
    static CWnd* FromHandle(HWND hWnd);
    static CWnd* FromHandlePermanent(HWND hWnd);
    BOOL Attach(HWND hWnd);
    HWND Detach();
    // Attaches this object to a control of a dialog (or to a window), so that the control's
    // messages reach this object's message map.
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    BOOL SubclassWindow(HWND hWnd);
    HWND UnsubclassWindow();

    // Creates a child window of a registered or predefined class ("Edit", "Button",
    // "Static", "ListBox", "ComboBox", "SysListView32", "SysTreeView32" or a class registered
    // with AfxRegisterClass) and attaches this object to it.
    virtual BOOL Create(const char* className, const char* windowName, DWORD style,
                        const RECT& rect, CWnd* pParent, UINT nID);
    BOOL Create(const char16_t* className, const char16_t* windowName, DWORD style,
                const RECT& rect, CWnd* pParent, UINT nID);
    virtual BOOL DestroyWindow();

    // Messages.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    // Default handling of the message being handled now.
    LRESULT Default();

    // Identity and family.
    int GetDlgCtrlID() const;
    CWnd* GetDlgItem(int nID) const;
    CWnd* GetParent() const;
    CWnd* GetOwner() const { return GetParent(); }
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    BOOL IsWindowUnicode() const;

    // Text.
    void SetWindowText(const char* text);
    void SetWindowText(const char16_t* text);
    int GetWindowText(CStringA& text) const;
    int GetWindowText(CStringW& text) const;
    int GetWindowTextLength() const;
    void SetDlgItemText(int nID, const char* text);
    void SetDlgItemText(int nID, const char16_t* text);
    int GetDlgItemText(int nID, CStringA& text) const;
    int GetDlgItemText(int nID, CStringW& text) const;

    // State.
    BOOL EnableWindow(BOOL enable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const;
    CWnd* SetFocus();
    static CWnd* GetFocus();
    void SetFont(CFont* pFont, BOOL redraw = TRUE);
    CFont* GetFont() const;
    void Invalidate(BOOL erase = TRUE);
    void UpdateWindow();
    CWnd* SetCapture();
    static CWnd* GetCapture();

    // Geometry: window rectangles in screen coordinates, client rectangles from (0, 0).
    void GetWindowRect(LPRECT rect) const;
    void GetClientRect(LPRECT rect) const;
    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
    void MoveWindow(LPCRECT rect, BOOL repaint = TRUE);
    BOOL SetWindowPos(const CWnd* pInsertAfter, int x, int y, int cx, int cy, UINT flags);
    void CenterWindow(CWnd* pAlternateOwner = nullptr);
    void ScreenToClient(LPPOINT point) const;
    void ScreenToClient(LPRECT rect) const;
    void ClientToScreen(LPPOINT point) const;
    void ClientToScreen(LPRECT rect) const;

    // Dialog data: moves member values into the controls (false) or back (true).
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    virtual void DoDataExchange(CDataExchange* pDX);

    // Dialog helpers that work on any window with controls.
    void CheckDlgButton(int nID, UINT check);
    UINT IsDlgButtonChecked(int nID) const;

    // Message handlers with default handling (Default()).
    afx_msg void OnPaint();
    afx_msg void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    afx_msg void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
    afx_msg void OnKillFocus(CWnd* pNewWnd);
    afx_msg void OnSetFocus(CWnd* pOldWnd);
    afx_msg void OnContextMenu(CWnd* pWnd, CPoint pos);
    afx_msg void OnMouseMove(UINT nFlags, CPoint point);
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnLButtonUp(UINT nFlags, CPoint point);
    afx_msg void OnCaptureChanged(CWnd* pWnd);
    afx_msg BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    afx_msg UINT OnGetDlgCode();
    afx_msg void OnDestroy();
    afx_msg void OnClose();

    static const AFX_MSGMAP* GetThisMessageMap();
    const AFX_MSGMAP* GetMessageMap() const override;

    // Called after the window went away; the object may delete itself here.
    virtual void PostNcDestroy();
};

BOOL ReleaseCapture();

// The host's main window (the owner of dialogs shown without a parent).
CWnd* AfxGetMainWnd();

// Window classes for Create.
typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);
struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    const char* lpszMenuName;
    const char* lpszClassName;
};
struct WNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    const char16_t* lpszMenuName;
    const char16_t* lpszClassName;
};
#if defined(QUARVEL_MODULE)
#if defined(_UNICODE)
typedef WNDCLASSW WNDCLASS;
#else
typedef WNDCLASSA WNDCLASS;
#endif
#endif
// The platform's default window procedure, for window classes that have no procedure of
// their own (their windows are handled by the framework objects attached to them).
LRESULT DefWindowProcA(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcW(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
#if defined(QUARVEL_MODULE)
#if defined(_UNICODE)
#define DefWindowProc DefWindowProcW
#else
#define DefWindowProc DefWindowProcA
#endif
#endif
// Registers a window class (true also when it was registered already with the same name).
BOOL AfxRegisterClass(WNDCLASSA* wndClass);
BOOL AfxRegisterClass(WNDCLASSW* wndClass);

// ---- Dialogs ------------------------------------------------------------------------------------

class QV_UI_API CDialog : public CWnd {
public:
    CDialog() : CDialog(0u, nullptr, QV_UNICODE_BUILD) {}
    explicit CDialog(UINT nIDTemplate, CWnd* pParent = nullptr)
        : CDialog(nIDTemplate, pParent, QV_UNICODE_BUILD) {}
    explicit CDialog(const char* templateName, CWnd* pParent = nullptr)
        : CDialog(templateName, pParent, QV_UNICODE_BUILD) {}
    explicit CDialog(const char16_t* templateName, CWnd* pParent = nullptr)
        : CDialog(templateName, pParent, QV_UNICODE_BUILD) {}
    // The text width of the code that made the dialog travels with it.
    CDialog(UINT nIDTemplate, CWnd* pParent, bool unicodeBuild);
    CDialog(const char* templateName, CWnd* pParent, bool unicodeBuild);
    CDialog(const char16_t* templateName, CWnd* pParent, bool unicodeBuild);
    ~CDialog() override;

    // Shows the dialog of the template modally; returns the value given to EndDialog, or -1
    // when the template cannot be found.
    virtual INT_PTR DoModal();
    // Ends the modal run with a result: the dialog is hidden at once and closes when the
    // handler that called this returns.
    void EndDialog(int nResult);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    // Moves the focus to a control (selecting an edit control's text) or to the next or
    // previous tab stop.
    void GotoDlgCtrl(CWnd* pWndCtrl);
    void NextDlgCtrl() const;
    void PrevDlgCtrl() const;
    // The default button's id (IDOK unless the template or SetDefID says otherwise).
    DWORD GetDefID() const;
    void SetDefID(UINT nID);

    // The template: a MAKEINTRESOURCE pointer or a name (UTF-8 or UTF-16, see m_bWideName).
    const void* m_lpszTemplateName = nullptr;
    bool m_bWideName = false;
    UINT m_nIDHelp = 0;
    CWnd* m_pParentWnd = nullptr;
    bool m_bUnicodeBuild = false;

    static const AFX_MSGMAP* GetThisMessageMap();
    const AFX_MSGMAP* GetMessageMap() const override;

private:
    std::basic_string<char> m_strTemplateA;      // a copy of a template name given as text
    std::basic_string<char16_t> m_strTemplateW;  // (names outlive the caller's buffer)
};

// ---- Data exchange ------------------------------------------------------------------------------

class QV_UI_API CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate);
    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
    // The control being exchanged (for a failing validation) and the way to reject a value:
    // Fail() ends the exchange; UpdateData then returns false.
    HWND PrepareCtrl(int nIDC);
    HWND PrepareEditCtrl(int nIDC);
    [[noreturn]] void Fail();
    HWND m_hWndLastControl = nullptr;
};

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
void DDX_Text(CDataExchange* pDX, int nIDC, CStringA& value);
void DDX_Text(CDataExchange* pDX, int nIDC, CStringW& value);
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
void DDX_Text(CDataExchange* pDX, int nIDC, double& value);
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
void DDX_CBString(CDataExchange* pDX, int nIDC, CStringA& value);
void DDX_CBString(CDataExchange* pDX, int nIDC, CStringW& value);
void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index);
void DDX_LBString(CDataExchange* pDX, int nIDC, CStringA& value);
void DDX_LBString(CDataExchange* pDX, int nIDC, CStringW& value);
void DDX_LBIndex(CDataExchange* pDX, int nIDC, int& index);

// ---- Basic controls
// -------------------------------------------------------------------------------

class QV_UI_API CStatic : public CWnd {
public:
    using CWnd::Create;
    BOOL Create(const char* text, DWORD style, const RECT& rect, CWnd* pParent, UINT nID = 0xFFFF);
    BOOL Create(const char16_t* text, DWORD style, const RECT& rect, CWnd* pParent,
                UINT nID = 0xFFFF);
};

class QV_UI_API CButton : public CWnd {
public:
    using CWnd::Create;
    BOOL Create(const char* caption, DWORD style, const RECT& rect, CWnd* pParent, UINT nID);
    BOOL Create(const char16_t* caption, DWORD style, const RECT& rect, CWnd* pParent, UINT nID);
    int GetCheck() const;
    void SetCheck(int nCheck);
    UINT GetButtonStyle() const;
    void SetButtonStyle(UINT style, BOOL redraw = TRUE);
};

class QV_UI_API CEdit : public CWnd {
public:
    using CWnd::Create;
    BOOL Create(DWORD style, const RECT& rect, CWnd* pParent, UINT nID);
    // Selection in characters of the build's width: start and end (end == start: the caret).
    void GetSel(int& nStartChar, int& nEndChar) const;
    DWORD GetSel() const;
    void SetSel(int nStartChar, int nEndChar, BOOL noScroll = FALSE);
    void SetSel(DWORD selection, BOOL noScroll = FALSE);
    // Replaces the selection (inserts at the caret); with canUndo the change can be undone.
    void ReplaceSel(const char* text, BOOL canUndo = FALSE);
    void ReplaceSel(const char16_t* text, BOOL canUndo = FALSE);
    BOOL CanUndo() const;
    BOOL Undo();
    void EmptyUndoBuffer();
    void Clear();
    void Copy();
    void Cut();
    void Paste();
    BOOL SetReadOnly(BOOL readOnly = TRUE);
    void LimitText(int nChars = 0);
    int GetLineCount() const;
};

class QV_UI_API CComboBox : public CWnd {
public:
    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int nSelect);
    // Adds a string (in sorted place when the box sorts); the index, or CB_ERR.
    int AddString(const char* text);
    int AddString(const char16_t* text);
    int InsertString(int nIndex, const char* text);
    int InsertString(int nIndex, const char16_t* text);
    int DeleteString(UINT nIndex);
    void ResetContent();
    int GetLBText(int nIndex, CStringA& text) const;
    int GetLBText(int nIndex, CStringW& text) const;
    int GetLBTextLen(int nIndex) const;
    // The first entry after nStartAfter (-1: from the start, wrapping round) that starts with
    // the text (or equals it, for the exact form), ignoring case; CB_ERR when none.
    int FindString(int nStartAfter, const char* text) const;
    int FindString(int nStartAfter, const char16_t* text) const;
    int FindStringExact(int nIndexStart, const char* text) const;
    int FindStringExact(int nIndexStart, const char16_t* text) const;
    // Selects the entry FindString finds; its index or CB_ERR (the selection is then kept).
    int SelectString(int nStartAfter, const char* text);
    int SelectString(int nStartAfter, const char16_t* text);
    DWORD_PTR GetItemData(int nIndex) const;
    int SetItemData(int nIndex, DWORD_PTR data);
    void* GetItemDataPtr(int nIndex) const;
    int SetItemDataPtr(int nIndex, void* data);
};

class QV_UI_API CListBox : public CWnd {
public:
    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int nSelect);
    int AddString(const char* text);
    int AddString(const char16_t* text);
    int InsertString(int nIndex, const char* text);
    int InsertString(int nIndex, const char16_t* text);
    int DeleteString(UINT nIndex);
    void ResetContent();
    int GetText(int nIndex, CStringA& text) const;
    int GetText(int nIndex, CStringW& text) const;
    int GetTextLen(int nIndex) const;
    int FindString(int nStartAfter, const char* text) const;
    int FindString(int nStartAfter, const char16_t* text) const;
    int FindStringExact(int nStartAfter, const char* text) const;
    int FindStringExact(int nStartAfter, const char16_t* text) const;
    int SelectString(int nStartAfter, const char* text);
    int SelectString(int nStartAfter, const char16_t* text);
    DWORD_PTR GetItemData(int nIndex) const;
    int SetItemData(int nIndex, DWORD_PTR data);
    void* GetItemDataPtr(int nIndex) const;
    int SetItemDataPtr(int nIndex, void* data);
};

// ---- Menus
// ------------------------------------------------------------------------------------------

class QV_UI_API CMenu : public CObject {
public:
    CMenu();
    ~CMenu() override;
    HMENU m_hMenu = nullptr;
    BOOL CreatePopupMenu();
    BOOL CreateMenu();
    BOOL DestroyMenu();
    BOOL AppendMenu(UINT flags, UINT_PTR idNewItem = 0, const char* text = nullptr);
    BOOL AppendMenu(UINT flags, UINT_PTR idNewItem, const char16_t* text);
    // Old state of the entry, or (UINT)-1 when there is none.
    UINT EnableMenuItem(UINT idOrPosition, UINT enable);
    UINT GetMenuItemCount() const;
    UINT GetMenuItemID(int position) const;
    UINT GetMenuState(UINT idOrPosition, UINT flags) const;
    // Shows the menu at a screen position and sends the chosen command to the owner
    // (WM_COMMAND), or returns it with TPM_RETURNCMD; 0 when nothing was chosen.
    BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* pOwner, LPCRECT rect = nullptr);
};

// ---- Fonts and drawing
// -----------------------------------------------------------------------------

#define LF_FACESIZE 32
struct LOGFONTA {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    char lfFaceName[LF_FACESIZE];
};
struct LOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    char16_t lfFaceName[LF_FACESIZE];
};
#if defined(QUARVEL_MODULE)
#if defined(_UNICODE)
typedef LOGFONTW LOGFONT;
#else
typedef LOGFONTA LOGFONT;
#endif
#endif
#define FW_NORMAL 400
#define FW_BOLD 700

class QV_UI_API CGdiObject : public CObject {
public:
    HGDIOBJ m_hObject = nullptr;
    BOOL DeleteObject();
    ~CGdiObject() override;
};

class QV_UI_API CFont : public CGdiObject {
public:
    BOOL CreateFontIndirect(const LOGFONTA* logFont);
    BOOL CreateFontIndirect(const LOGFONTW* logFont);
    int GetLogFont(LOGFONTA* logFont) const;
    int GetLogFont(LOGFONTW* logFont) const;
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
    // A temporary object for a font handle (valid while the font exists).
    static CFont* FromHandle(HFONT font);
};

// A drawing surface of a window. Text drawn while the window paints becomes what the window
// shows; measuring works on any window.
class QV_UI_API CDC : public CObject {
public:
    CDC();
    ~CDC() override;
    HDC m_hDC = nullptr;
    CFont* SelectObject(CFont* pFont);
    CSize GetTextExtent(const char* text, int count) const;
    CSize GetTextExtent(const char16_t* text, int count) const;
    CSize GetTextExtent(const CStringA& text) const;
    CSize GetTextExtent(const CStringW& text) const;
    BOOL TextOut(int x, int y, const char* text, int count);
    BOOL TextOut(int x, int y, const char16_t* text, int count);
    BOOL TextOut(int x, int y, const CStringA& text);
    BOOL TextOut(int x, int y, const CStringW& text);
    COLORREF SetTextColor(COLORREF colour);
    COLORREF SetBkColor(COLORREF colour);
    int SetBkMode(int mode);
    void FillSolidRect(LPCRECT rect, COLORREF colour);

protected:
    void Bind(CWnd* pWnd, bool painting);
    void Unbind();
};

class QV_UI_API CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC() override;
};

class QV_UI_API CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;
};

// ---- The host's frame windows -------------------------------------------------------------

class QV_UI_API CFrameWnd : public CWnd {};
class QV_UI_API CMDIFrameWnd : public CFrameWnd {};
class QV_UI_API CWinApp : public CCmdTarget {};
