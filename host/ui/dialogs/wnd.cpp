// The framework's window, dialog and data-exchange classes over the control model.
#include <cmath>
#include <cstdlib>

#include "host/base/command_line.h"
#include "host/base/report.h"
#include "host/ui/dialogs/controls.h"
#include "host/ui/dialogs/model.h"
#include "host/ui/dialogs/session.h"
#include "host/ui/dialogs/toolkit.h"
#include "host/ui/input_source.h"
#include "platform/acedads.h"
#include "platform/acui.h"
#include "platform/afxcmn.h"
#include "platform/textconv.h"

using host::ui::Kind;
using host::ui::Window;

namespace {

Window* W(HWND handle) {
    return Window::FromHandle(handle);
}

// A temporary framework object of the window's kind, for FromHandle.
std::unique_ptr<CWnd> MakeTemporary(Window* w) {
    switch (w->kind) {
        case Kind::Button:
            return std::make_unique<CButton>();
        case Kind::Static:
            return std::make_unique<CStatic>();
        case Kind::Edit:
            return std::make_unique<CEdit>();
        case Kind::ComboBox:
            return std::make_unique<CComboBox>();
        case Kind::ListBox:
            return std::make_unique<CListBox>();
        case Kind::ListView:
            return std::make_unique<CListCtrl>();
        case Kind::Header:
            return std::make_unique<CHeaderCtrl>();
        case Kind::TreeView:
            return std::make_unique<CTreeCtrl>();
        case Kind::Frame:
            return std::make_unique<CMDIFrameWnd>();
        default:
            return std::make_unique<CWnd>();
    }
}

// Thrown by CDataExchange::Fail and caught by UpdateData.
struct DataExchangeFailure {};

template <class C>
int AssignText(CStringT<C>& out, const std::string& utf8) {
    out = CStringT<C>(qv::ConvertText<C>(std::string_view(utf8)));
    return out.GetLength();
}

std::vector<Window*> TabStops(Window* root) {
    std::vector<Window*> stops;
    for (const auto& child : root->children) {
        Window* c = child.get();
        if ((c->style & WS_TABSTOP) && c->EffectivelyVisible() && c->EffectivelyEnabled())
            stops.push_back(c);
    }
    return stops;
}

void MoveFocusInTabOrder(Window* root, bool forward) {
    const std::vector<Window*> stops = TabStops(root);
    if (stops.empty())
        return;
    Window* focus = host::ui::FocusWindow();
    // The focus may be inside a control (an in-place editor): use the root's child.
    while (focus && focus->parent && focus->parent != root)
        focus = focus->parent;
    std::size_t at = stops.size();
    for (std::size_t i = 0; i < stops.size(); ++i) {
        if (stops[i] == focus)
            at = i;
    }
    std::size_t next = 0;
    if (at == stops.size())
        next = forward ? 0 : stops.size() - 1;
    else
        next = forward ? (at + 1) % stops.size() : (at + stops.size() - 1) % stops.size();
    host::ui::SetFocusWindow(stops[next]);
    if (stops[next]->kind == Kind::Edit)
        host::ui::EditSetSelection(stops[next], 0, -1, false);
}

}  // namespace

// ---- CWnd
// -----------------------------------------------------------------------------------------

CWnd::CWnd() = default;

CWnd::~CWnd() {
    Window* w = W(m_hWnd);
    if (w && w->attached == this) {
        // A framework object that goes away with its window still there takes the window
        // with it, as the platform's framework does.
        w->attached = nullptr;
        m_hWnd = nullptr;
        host::ui::DestroyWindowTree(w);
    }
    m_hWnd = nullptr;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    Window* w = W(hWnd);
    if (!w)
        return nullptr;
    if (w->attached)
        return w->attached;
    if (!w->temporary) {
        w->temporary = MakeTemporary(w);
        w->temporary->m_hWnd = hWnd;
    }
    return w->temporary.get();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    Window* w = W(hWnd);
    return w ? w->attached : nullptr;
}

BOOL CWnd::Attach(HWND hWnd) {
    Window* w = W(hWnd);
    if (!w || m_hWnd || (w->attached && w->attached != this))
        return FALSE;
    w->attached = this;
    m_hWnd = hWnd;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND handle = m_hWnd;
    if (Window* w = W(handle); w && w->attached == this)
        w->attached = nullptr;
    m_hWnd = nullptr;
    return handle;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    return Attach(hWnd);
}

HWND CWnd::UnsubclassWindow() {
    return Detach();
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
    Window* parent = pParent ? W(pParent->m_hWnd) : nullptr;
    Window* child = parent ? parent->FindChild(static_cast<int>(nID)) : nullptr;
    return child ? Attach(child->Handle()) : FALSE;
}

BOOL CWnd::Create(const char* className, const char* windowName, DWORD style, const RECT& rect,
                  CWnd* pParent, UINT nID) {
    Window* parent = pParent ? W(pParent->m_hWnd) : nullptr;
    if (m_hWnd || !parent || !className)
        return FALSE;
    Window* w = host::ui::CreateChildWindow(parent, className, windowName ? windowName : "", style,
                                            0, rect, static_cast<int>(nID), parent->unicode);
    if (!w)
        return FALSE;
    w->attached = this;
    m_hWnd = w->Handle();
    SendMessage(WM_CREATE);
    return TRUE;
}

BOOL CWnd::Create(const char16_t* className, const char16_t* windowName, DWORD style,
                  const RECT& rect, CWnd* pParent, UINT nID) {
    const std::string name = className ? qv::ToUtf8(className) : std::string();
    const std::string title = windowName ? qv::ToUtf8(windowName) : std::string();
    if (!Create(className ? name.c_str() : nullptr, title.c_str(), style, rect, pParent, nID))
        return FALSE;
    W(m_hWnd)->unicode = true;
    return TRUE;
}

BOOL CWnd::DestroyWindow() {
    Window* w = W(m_hWnd);
    if (!w)
        return FALSE;
    host::ui::DestroyWindowTree(w);
    return TRUE;
}

void CWnd::PostNcDestroy() {}

int CWnd::GetDlgCtrlID() const {
    Window* w = W(m_hWnd);
    return w ? w->id : 0;
}

CWnd* CWnd::GetDlgItem(int nID) const {
    Window* w = W(m_hWnd);
    Window* child = w ? w->FindChild(nID) : nullptr;
    return child ? FromHandle(child->Handle()) : nullptr;
}

CWnd* CWnd::GetParent() const {
    Window* w = W(m_hWnd);
    if (!w)
        return nullptr;
    if (w->parent)
        return FromHandle(w->parent->Handle());
    return w->kind == Kind::Dialog ? AfxGetMainWnd() : nullptr;
}

DWORD CWnd::GetStyle() const {
    Window* w = W(m_hWnd);
    return w ? w->style : 0;
}

DWORD CWnd::GetExStyle() const {
    Window* w = W(m_hWnd);
    return w ? w->exStyle : 0;
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT) {
    Window* w = W(m_hWnd);
    if (!w)
        return FALSE;
    const DWORD style = (w->style & ~remove) | add;
    if (style == w->style)
        return FALSE;
    w->style = style;
    host::ui::NotifyChanged(*w, host::ui::Change::Style);
    return TRUE;
}

BOOL CWnd::IsWindowUnicode() const {
    Window* w = W(m_hWnd);
    return w && w->unicode;
}

void CWnd::SetWindowText(const char* text) {
    host::ui::SetWindowTextModel(W(m_hWnd), text ? text : "");
}

void CWnd::SetWindowText(const char16_t* text) {
    host::ui::SetWindowTextModel(W(m_hWnd), text ? qv::ToUtf8(text) : std::string());
}

int CWnd::GetWindowText(CStringA& text) const {
    Window* w = W(m_hWnd);
    return AssignText(text, w ? w->text : std::string());
}

int CWnd::GetWindowText(CStringW& text) const {
    Window* w = W(m_hWnd);
    return AssignText(text, w ? w->text : std::string());
}

int CWnd::GetWindowTextLength() const {
    Window* w = W(m_hWnd);
    if (!w)
        return 0;
    return static_cast<int>(host::ui::UnitsOfByteOffset(w->text, w->text.size(), w->unicode));
}

void CWnd::SetDlgItemText(int nID, const char* text) {
    if (CWnd* item = GetDlgItem(nID))
        item->SetWindowText(text);
}

void CWnd::SetDlgItemText(int nID, const char16_t* text) {
    if (CWnd* item = GetDlgItem(nID))
        item->SetWindowText(text);
}

int CWnd::GetDlgItemText(int nID, CStringA& text) const {
    if (CWnd* item = GetDlgItem(nID))
        return item->GetWindowText(text);
    text.Empty();
    return 0;
}

int CWnd::GetDlgItemText(int nID, CStringW& text) const {
    if (CWnd* item = GetDlgItem(nID))
        return item->GetWindowText(text);
    text.Empty();
    return 0;
}

BOOL CWnd::EnableWindow(BOOL enable) {
    Window* w = W(m_hWnd);
    if (!w)
        return FALSE;
    const BOOL wasDisabled = !w->Enabled();
    if (enable)
        w->style &= ~WS_DISABLED;
    else
        w->style |= WS_DISABLED;
    if (wasDisabled != !enable)
        host::ui::NotifyChanged(*w, host::ui::Change::Style);
    return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const {
    Window* w = W(m_hWnd);
    return w && w->Enabled();
}

BOOL CWnd::ShowWindow(int nCmdShow) {
    Window* w = W(m_hWnd);
    if (!w)
        return FALSE;
    const BOOL wasVisible = w->Visible();
    if (nCmdShow == SW_HIDE)
        w->style &= ~WS_VISIBLE;
    else
        w->style |= WS_VISIBLE;
    if (wasVisible != w->Visible())
        host::ui::NotifyChanged(*w, host::ui::Change::Style);
    return wasVisible;
}

BOOL CWnd::IsWindowVisible() const {
    Window* w = W(m_hWnd);
    return w && w->EffectivelyVisible();
}

CWnd* CWnd::SetFocus() {
    Window* w = W(m_hWnd);
    Window* old = host::ui::FocusWindow();
    if (w)
        host::ui::SetFocusWindow(w);
    return old ? FromHandle(old->Handle()) : nullptr;
}

CWnd* CWnd::GetFocus() {
    Window* focus = host::ui::FocusWindow();
    return focus ? FromHandle(focus->Handle()) : nullptr;
}

void CWnd::SetFont(CFont* pFont, BOOL) {
    if (Window* w = W(m_hWnd))
        host::ui::Send(w, WM_SETFONT, reinterpret_cast<WPARAM>(pFont ? pFont->m_hObject : nullptr));
}

CFont* CWnd::GetFont() const {
    Window* w = W(m_hWnd);
    return w && w->font ? CFont::FromHandle(w->font) : nullptr;
}

void CWnd::Invalidate(BOOL) {
    Window* w = W(m_hWnd);
    if (!w)
        return;
    if (auto* custom = w->Try<host::ui::CustomState>()) {
        custom->needsPaint = true;
        // Windows of registered classes paint at once, so what they show is always current.
        host::ui::Send(w, WM_PAINT);
        custom->needsPaint = false;
        host::ui::NotifyChanged(*w, host::ui::Change::Paint);
    }
}

void CWnd::UpdateWindow() {
    Window* w = W(m_hWnd);
    if (auto* custom = w ? w->Try<host::ui::CustomState>() : nullptr; custom && custom->needsPaint)
        Invalidate();
}

CWnd* CWnd::SetCapture() {
    Window* old = host::ui::CaptureWindow();
    host::ui::SetCaptureWindow(W(m_hWnd));
    return old ? FromHandle(old->Handle()) : nullptr;
}

CWnd* CWnd::GetCapture() {
    Window* capture = host::ui::CaptureWindow();
    return capture ? FromHandle(capture->Handle()) : nullptr;
}

BOOL ReleaseCapture() {
    host::ui::SetCaptureWindow(nullptr);
    return TRUE;
}

void CWnd::GetWindowRect(LPRECT rect) const {
    Window* w = W(m_hWnd);
    if (!w || !rect)
        return;
    RECT r = w->rect;
    if (w->parent && w->kind != Kind::Dialog) {
        const POINT origin = w->parent->ClientOriginOnScreen();
        r.left += origin.x;
        r.right += origin.x;
        r.top += origin.y;
        r.bottom += origin.y;
    }
    *rect = r;
}

void CWnd::GetClientRect(LPRECT rect) const {
    Window* w = W(m_hWnd);
    if (w && rect)
        *rect = w->ClientRect();
}

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL) {
    Window* w = W(m_hWnd);
    if (!w)
        return;
    w->rect = RECT{x, y, x + width, y + height};
    host::ui::NotifyChanged(*w, host::ui::Change::Geometry);
}

void CWnd::MoveWindow(LPCRECT rect, BOOL repaint) {
    if (rect)
        MoveWindow(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
                   repaint);
}

BOOL CWnd::SetWindowPos(const CWnd*, int x, int y, int cx, int cy, UINT flags) {
    Window* w = W(m_hWnd);
    if (!w)
        return FALSE;
    RECT r = w->rect;
    if (!(flags & SWP_NOMOVE)) {
        const LONG width = r.right - r.left, height = r.bottom - r.top;
        r = RECT{x, y, x + width, y + height};
    }
    if (!(flags & SWP_NOSIZE)) {
        r.right = r.left + cx;
        r.bottom = r.top + cy;
    }
    w->rect = r;
    host::ui::NotifyChanged(*w, host::ui::Change::Geometry);
    if (flags & SWP_SHOWWINDOW)
        ShowWindow(SW_SHOW);
    if (flags & SWP_HIDEWINDOW)
        ShowWindow(SW_HIDE);
    return TRUE;
}

void CWnd::CenterWindow(CWnd* pAlternateOwner) {
    Window* w = W(m_hWnd);
    if (!w)
        return;
    RECT owner{};
    if (pAlternateOwner && W(pAlternateOwner->m_hWnd))
        pAlternateOwner->GetWindowRect(&owner);
    else
        owner = host::ui::MainWindow()->rect;
    RECT mine{};
    GetWindowRect(&mine);
    const LONG width = mine.right - mine.left, height = mine.bottom - mine.top;
    const LONG left = owner.left + (owner.right - owner.left - width) / 2;
    const LONG top = owner.top + (owner.bottom - owner.top - height) / 2;
    POINT at{left, top};
    if (w->parent && w->kind != Kind::Dialog) {
        const POINT origin = w->parent->ClientOriginOnScreen();
        at.x -= origin.x;
        at.y -= origin.y;
    }
    MoveWindow(at.x, at.y, width, height);
}

void CWnd::ScreenToClient(LPPOINT point) const {
    Window* w = W(m_hWnd);
    if (!w || !point)
        return;
    const POINT origin = w->ClientOriginOnScreen();
    point->x -= origin.x;
    point->y -= origin.y;
}

void CWnd::ScreenToClient(LPRECT rect) const {
    Window* w = W(m_hWnd);
    if (!w || !rect)
        return;
    const POINT origin = w->ClientOriginOnScreen();
    rect->left -= origin.x;
    rect->right -= origin.x;
    rect->top -= origin.y;
    rect->bottom -= origin.y;
}

void CWnd::ClientToScreen(LPPOINT point) const {
    Window* w = W(m_hWnd);
    if (!w || !point)
        return;
    const POINT origin = w->ClientOriginOnScreen();
    point->x += origin.x;
    point->y += origin.y;
}

void CWnd::ClientToScreen(LPRECT rect) const {
    Window* w = W(m_hWnd);
    if (!w || !rect)
        return;
    const POINT origin = w->ClientOriginOnScreen();
    rect->left += origin.x;
    rect->right += origin.x;
    rect->top += origin.y;
    rect->bottom += origin.y;
}

BOOL CWnd::UpdateData(BOOL saveAndValidate) {
    if (!W(m_hWnd))
        return FALSE;
    CDataExchange dx(this, saveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const DataExchangeFailure&) {
        return FALSE;
    }
    return TRUE;
}

void CWnd::DoDataExchange(CDataExchange*) {}

void CWnd::CheckDlgButton(int nID, UINT check) {
    Window* w = W(m_hWnd);
    Window* child = w ? w->FindChild(nID) : nullptr;
    if (auto* button = child ? child->Try<host::ui::ButtonState>() : nullptr) {
        button->check = static_cast<int>(check);
        host::ui::NotifyChanged(*child, host::ui::Change::Selection);
    }
}

UINT CWnd::IsDlgButtonChecked(int nID) const {
    Window* w = W(m_hWnd);
    Window* child = w ? w->FindChild(nID) : nullptr;
    auto* button = child ? child->Try<host::ui::ButtonState>() : nullptr;
    return button ? static_cast<UINT>(button->check) : 0;
}

// ---- Main window and window classes
// ----------------------------------------------------------------

CWnd* AfxGetMainWnd() {
    static CMDIFrameWnd frame;
    if (!frame.m_hWnd)
        frame.Attach(host::ui::MainWindow()->Handle());
    return &frame;
}

// The host's main window (the owner of module dialogs) and application object.
CMDIFrameWnd* acedGetAcadFrame() {
    return static_cast<CMDIFrameWnd*>(AfxGetMainWnd());
}

CWinApp* acedGetAcadWinApp() {
    static CWinApp app;
    return &app;
}

BOOL AfxRegisterClass(WNDCLASSA* wndClass) {
    if (!wndClass || !wndClass->lpszClassName || !*wndClass->lpszClassName)
        return FALSE;
    host::ui::RegisterClassName(wndClass->lpszClassName);
    return TRUE;
}

BOOL AfxRegisterClass(WNDCLASSW* wndClass) {
    if (!wndClass || !wndClass->lpszClassName || !*wndClass->lpszClassName)
        return FALSE;
    host::ui::RegisterClassName(qv::ToUtf8(wndClass->lpszClassName));
    return TRUE;
}

// ---- CDialog
// ----------------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParent, bool unicodeBuild)
    : m_lpszTemplateName(MAKEINTRESOURCEA(nIDTemplate)),
      m_nIDHelp(nIDTemplate),
      m_pParentWnd(pParent),
      m_bUnicodeBuild(unicodeBuild) {}

CDialog::CDialog(const char* templateName, CWnd* pParent, bool unicodeBuild)
    : m_pParentWnd(pParent), m_bUnicodeBuild(unicodeBuild) {
    if (templateName && !IS_INTRESOURCE(templateName)) {
        m_strTemplateA = templateName;
        m_lpszTemplateName = m_strTemplateA.c_str();
    } else {
        m_lpszTemplateName = templateName;
    }
}

CDialog::CDialog(const char16_t* templateName, CWnd* pParent, bool unicodeBuild)
    : m_bWideName(true), m_pParentWnd(pParent), m_bUnicodeBuild(unicodeBuild) {
    if (templateName && !IS_INTRESOURCE(templateName)) {
        m_strTemplateW = templateName;
        m_lpszTemplateName = m_strTemplateW.c_str();
    } else {
        m_lpszTemplateName = templateName;
        m_bWideName = false;
    }
}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal() {
    return host::ui::RunModalDialog(*this);
}

void CDialog::EndDialog(int nResult) {
    Window* w = W(m_hWnd);
    if (w && w->session)
        w->session->End(nResult);
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::GotoDlgCtrl(CWnd* pWndCtrl) {
    Window* w = pWndCtrl ? W(pWndCtrl->m_hWnd) : nullptr;
    if (!w)
        return;
    host::ui::SetFocusWindow(w);
    if (w->kind == Kind::Edit)
        host::ui::EditSetSelection(w, 0, -1, false);
}

void CDialog::NextDlgCtrl() const {
    if (Window* w = W(m_hWnd))
        MoveFocusInTabOrder(w, true);
}

void CDialog::PrevDlgCtrl() const {
    if (Window* w = W(m_hWnd))
        MoveFocusInTabOrder(w, false);
}

DWORD CDialog::GetDefID() const {
    Window* w = W(m_hWnd);
    return w && w->session ? w->session->defaultId : IDOK;
}

void CDialog::SetDefID(UINT nID) {
    Window* w = W(m_hWnd);
    if (w && w->session)
        w->session->defaultId = nID;
}

// ---- The host's dialog base ---------------------------------------------------------------------

void InitAdUiDLL() {}
void InitAcUiDLL() {}

void CAdUiBaseDialog::BeginEditorCommand() {
    Window* w = W(m_hWnd);
    if (!w || !w->session || w->session->hiddenForEditor)
        return;
    w->session->hiddenForEditor = true;
    host::ui::CurrentToolkit().HideForEditor(*w->session);
}

void CAdUiBaseDialog::CompleteEditorCommand(BOOL restoreDialogs) {
    Window* w = W(m_hWnd);
    if (!w || !w->session || !w->session->hiddenForEditor)
        return;
    w->session->hiddenForEditor = false;
    if (restoreDialogs && !w->session->ended)
        host::ui::CurrentToolkit().ShowAfterEditor(*w->session);
}

void CAdUiBaseDialog::CancelEditorCommand() {
    CompleteEditorCommand(TRUE);
}

// ---- Data exchange
// -------------------------------------------------------------------------------------

CDataExchange::CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

HWND CDataExchange::PrepareCtrl(int nIDC) {
    Window* dialog = W(m_pDlgWnd ? m_pDlgWnd->m_hWnd : nullptr);
    Window* control = dialog ? dialog->FindChild(nIDC) : nullptr;
    if (!control) {
        host::ReportWarning("dialog data exchange names control " + std::to_string(nIDC) +
                            ", which the dialog does not have");
        Fail();
    }
    m_hWndLastControl = control->Handle();
    return m_hWndLastControl;
}

HWND CDataExchange::PrepareEditCtrl(int nIDC) {
    return PrepareCtrl(nIDC);
}

void CDataExchange::Fail() {
    // A rejected value: the focus goes to the control that holds it.
    if (Window* last = W(m_hWndLastControl); last && m_bSaveAndValidate)
        host::ui::SetFocusWindow(last);
    throw DataExchangeFailure{};
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.m_hWnd)
        return;
    HWND control = pDX->PrepareCtrl(nIDC);
    if (!rControl.SubclassWindow(control))
        pDX->Fail();
}

namespace {

template <class C>
void ExchangeText(CDataExchange* pDX, int nIDC, CStringT<C>& value) {
    Window* w = W(pDX->PrepareEditCtrl(nIDC));
    if (pDX->m_bSaveAndValidate)
        AssignText(value, w->text);
    else
        host::ui::SetWindowTextModel(w, qv::ToUtf8(value.View()));
}

template <class C>
void ExchangeComboText(CDataExchange* pDX, int nIDC, CStringT<C>& value) {
    Window* w = W(pDX->PrepareCtrl(nIDC));
    if (pDX->m_bSaveAndValidate) {
        AssignText(value, w->text);
        return;
    }
    const std::string text = qv::ToUtf8(value.View());
    const int found = host::ui::FindItem(w, -1, text, false);
    if (found != CB_ERR) {
        host::ui::SetCurSelModel(w, found);
    } else if ((w->style & 0x3) != CBS_DROPDOWNLIST) {
        // An editable box shows the text even when no entry starts with it.
        w->text = text;
        host::ui::NotifyChanged(*w, host::ui::Change::Text);
    }
}

template <class C>
void ExchangeListText(CDataExchange* pDX, int nIDC, CStringT<C>& value) {
    Window* w = W(pDX->PrepareCtrl(nIDC));
    auto* items = host::ui::ItemsOf(w);
    if (pDX->m_bSaveAndValidate) {
        const int sel = *host::ui::CurSelOf(w);
        AssignText(value, sel >= 0 ? (*items)[sel].text : std::string());
        return;
    }
    const int found = host::ui::FindItem(w, -1, qv::ToUtf8(value.View()), false);
    host::ui::SetCurSelModel(w, found);
}

}  // namespace

void DDX_Text(CDataExchange* pDX, int nIDC, CStringA& value) {
    ExchangeText(pDX, nIDC, value);
}

void DDX_Text(CDataExchange* pDX, int nIDC, CStringW& value) {
    ExchangeText(pDX, nIDC, value);
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value) {
    Window* w = W(pDX->PrepareEditCtrl(nIDC));
    if (!pDX->m_bSaveAndValidate) {
        host::ui::SetWindowTextModel(w, std::to_string(value));
        return;
    }
    const std::string text(host::TrimBlanks(w->text));
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX) {
        AfxMessageBox("Please enter an integer.", MB_ICONEXCLAMATION);
        pDX->Fail();
    }
    value = static_cast<int>(parsed);
}

void DDX_Text(CDataExchange* pDX, int nIDC, double& value) {
    Window* w = W(pDX->PrepareEditCtrl(nIDC));
    if (!pDX->m_bSaveAndValidate) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.15g", value);
        host::ui::SetWindowTextModel(w, buffer);
        return;
    }
    const std::string text(host::TrimBlanks(w->text));
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(parsed)) {
        AfxMessageBox("Please enter a number.", MB_ICONEXCLAMATION);
        pDX->Fail();
    }
    value = parsed;
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
    Window* w = W(pDX->PrepareCtrl(nIDC));
    auto* button = w->Try<host::ui::ButtonState>();
    if (!button)
        pDX->Fail();
    if (pDX->m_bSaveAndValidate) {
        value = button->check;
    } else {
        button->check = value;
        host::ui::NotifyChanged(*w, host::ui::Change::Selection);
    }
}

void DDX_CBString(CDataExchange* pDX, int nIDC, CStringA& value) {
    ExchangeComboText(pDX, nIDC, value);
}

void DDX_CBString(CDataExchange* pDX, int nIDC, CStringW& value) {
    ExchangeComboText(pDX, nIDC, value);
}

void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index) {
    Window* w = W(pDX->PrepareCtrl(nIDC));
    if (pDX->m_bSaveAndValidate)
        index = *host::ui::CurSelOf(w);
    else
        host::ui::SetCurSelModel(w, index);
}

void DDX_LBString(CDataExchange* pDX, int nIDC, CStringA& value) {
    ExchangeListText(pDX, nIDC, value);
}

void DDX_LBString(CDataExchange* pDX, int nIDC, CStringW& value) {
    ExchangeListText(pDX, nIDC, value);
}

void DDX_LBIndex(CDataExchange* pDX, int nIDC, int& index) {
    DDX_CBIndex(pDX, nIDC, index);
}
