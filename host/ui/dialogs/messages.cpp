// Messages: sending them to windows, the framework's routing through message maps (with
// notifications reflected to the control that sent them first), and the default handling of
// each kind of window.
#include <vector>

#include "host/ui/dialogs/controls.h"
#include "host/ui/dialogs/model.h"
#include "host/ui/dialogs/session.h"
#include "host/ui/dialogs/toolkit.h"

namespace host::ui {

namespace {

// The message each framework object is handling, innermost last (for CWnd::Default).
struct CurrentMessage {
    CWnd* wnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<CurrentMessage>& MessageStack() {
    static auto* stack = new std::vector<CurrentMessage>;  // never destroyed
    return *stack;
}

// Tree notifications carry the same meaning in their single-byte and UTF-16 codes.
UINT CanonicalCode(UINT code) {
    switch (code) {
        case TVN_SELCHANGINGW:
            return TVN_SELCHANGINGA;
        case TVN_SELCHANGEDW:
            return TVN_SELCHANGEDA;
        case TVN_ITEMEXPANDINGW:
            return TVN_ITEMEXPANDINGA;
        case TVN_ITEMEXPANDEDW:
            return TVN_ITEMEXPANDEDA;
        case TVN_DELETEITEMW:
            return TVN_DELETEITEMA;
        default:
            return code;
    }
}

const AFX_MSGMAP_ENTRY* FindEntry(const AFX_MSGMAP* map, UINT message, UINT code, UINT id) {
    const UINT wanted = CanonicalCode(code);
    for (; map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e && e->pfn; ++e) {
            if (e->nMessage == message && CanonicalCode(e->nCode) == wanted && id >= e->nID &&
                id <= e->nLastID)
                return e;
        }
    }
    return nullptr;
}

bool IsPushButton(const Window* w) {
    if (w->kind != Kind::Button)
        return false;
    const DWORD type = w->style & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

LRESULT EditDefault(Window* w, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_GETDLGCODE: {
            LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
            if ((w->style & ES_MULTILINE) && (w->style & ES_WANTRETURN))
                code |= DLGC_WANTALLKEYS;
            return code;
        }
        case WM_CHAR:
            EditTypeChar(w, static_cast<char32_t>(wParam));
            return 0;
        case WM_KEYDOWN:
            EditKeyDown(w, static_cast<UINT>(wParam));
            return 0;
        case WM_SETFOCUS:
            CommandToParent(w, EN_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            CommandToParent(w, EN_KILLFOCUS);
            return 0;
        case WM_CUT:
            EditCut(w);
            return 0;
        case WM_COPY:
            EditCopy(w);
            return 0;
        case WM_PASTE:
            EditPaste(w);
            return 0;
        case WM_CLEAR:
            EditClear(w);
            return 0;
        case WM_UNDO:
        case EM_UNDO:
            return EditUndo(w) ? TRUE : FALSE;
        case EM_CANUNDO:
            return w->As<EditState>().canUndo ? TRUE : FALSE;
        case EM_EMPTYUNDOBUFFER:
            w->As<EditState>().canUndo = false;
            return 0;
        case EM_SETSEL:
            EditSetSelection(w, static_cast<long>(static_cast<int>(wParam)),
                             static_cast<long>(static_cast<int>(lParam)), false);
            return 0;
        case WM_CONTEXTMENU:
            EditStandardContextMenu(w, lParam);
            return 0;
        default:
            return 0;
    }
}

LRESULT ButtonDefault(Window* w, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_GETDLGCODE: {
            const DWORD type = w->style & BS_TYPEMASK;
            if (type == BS_DEFPUSHBUTTON)
                return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
            if (type == BS_PUSHBUTTON)
                return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
            if (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON)
                return DLGC_BUTTON | DLGC_RADIOBUTTON;
            return DLGC_BUTTON;
        }
        case WM_KEYDOWN:
            if (wParam == VK_SPACE)
                user::Click(*w);
            return 0;
        case WM_SETFOCUS:
            if (w->style & BS_NOTIFY)
                CommandToParent(w, BN_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            if (w->style & BS_NOTIFY)
                CommandToParent(w, BN_KILLFOCUS);
            return 0;
        default:
            return 0;
    }
}

LRESULT CommonControlFocus(Window* w, UINT message) {
    NMHDR header{};
    NotifyParent(w, header, message == WM_SETFOCUS ? NM_SETFOCUS : NM_KILLFOCUS);
    return 0;
}

}  // namespace

LRESULT Send(Window* window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!window)
        return 0;
    if (CWnd* wnd = window->attached)
        return wnd->WindowProc(message, wParam, lParam);
    return DefaultProc(window, message, wParam, lParam);
}

LRESULT DefaultProc(Window* w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!w)
        return 0;
    if (message == WM_SETFONT) {
        w->font = reinterpret_cast<HFONT>(wParam);
        NotifyChanged(*w, Change::Style);
        return 0;
    }
    if (message == WM_GETFONT)
        return reinterpret_cast<LRESULT>(w->font);
    switch (w->kind) {
        case Kind::Edit:
            return EditDefault(w, message, wParam, lParam);
        case Kind::Button:
            return ButtonDefault(w, message, wParam, lParam);
        case Kind::ComboBox:
            if (message == WM_SETFOCUS || message == WM_KILLFOCUS) {
                CommandToParent(w, message == WM_SETFOCUS ? CBN_SETFOCUS : CBN_KILLFOCUS);
                return 0;
            }
            if (message == WM_GETDLGCODE)
                return DLGC_WANTARROWS | DLGC_WANTCHARS;
            break;
        case Kind::ListBox:
            if ((message == WM_SETFOCUS || message == WM_KILLFOCUS) && (w->style & LBS_NOTIFY)) {
                CommandToParent(w, message == WM_SETFOCUS ? LBN_SETFOCUS : LBN_KILLFOCUS);
                return 0;
            }
            if (message == WM_GETDLGCODE)
                return DLGC_WANTARROWS | DLGC_WANTCHARS;
            break;
        case Kind::ListView:
        case Kind::TreeView:
            if (message == WM_SETFOCUS || message == WM_KILLFOCUS)
                return CommonControlFocus(w, message);
            if (message == WM_GETDLGCODE)
                return DLGC_WANTARROWS | DLGC_WANTCHARS;
            break;
        case Kind::Static:
            if (message == WM_GETDLGCODE)
                return DLGC_STATIC;
            break;
        case Kind::Dialog:
            if (message == WM_CLOSE) {
                Send(w, WM_COMMAND, IDCANCEL, 0);
                return 0;
            }
            return 0;
        default:
            break;
    }
    // A child's context menu goes to its parent when the child does not show one.
    if (message == WM_CONTEXTMENU && w->parent && w->kind != Kind::Dialog)
        return Send(w->parent, WM_CONTEXTMENU, wParam, lParam);
    return 0;
}

void CommandToParent(Window* control, UINT code) {
    if (!control || !control->parent)
        return;
    const WPARAM wParam =
        (static_cast<WPARAM>(code & 0xFFFF) << 16) | (static_cast<WPARAM>(control->id) & 0xFFFF);
    Send(control->parent, WM_COMMAND, wParam, reinterpret_cast<LPARAM>(control->Handle()));
}

LRESULT NotifyParent(Window* control, NMHDR& header, UINT code) {
    if (!control || !control->parent)
        return 0;
    header.hwndFrom = control->Handle();
    header.idFrom = static_cast<UINT_PTR>(control->id);
    header.code = code;
    if (control->unicode) {
        switch (code) {
            case TVN_SELCHANGINGA:
                header.code = TVN_SELCHANGINGW;
                break;
            case TVN_SELCHANGEDA:
                header.code = TVN_SELCHANGEDW;
                break;
            case TVN_ITEMEXPANDINGA:
                header.code = TVN_ITEMEXPANDINGW;
                break;
            case TVN_ITEMEXPANDEDA:
                header.code = TVN_ITEMEXPANDEDW;
                break;
            case TVN_DELETEITEMA:
                header.code = TVN_DELETEITEMW;
                break;
            default:
                break;
        }
    }
    return Send(control->parent, WM_NOTIFY, static_cast<WPARAM>(control->id),
                reinterpret_cast<LPARAM>(&header));
}

bool IsDefaultPushButtonWindow(const Window* w) {
    return IsPushButton(w) && (w->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

}  // namespace host::ui

using host::ui::Window;

// ---- Command targets -------------------------------------------------------------------------

CObject::~CObject() = default;

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const {
    return GetThisMessageMap();
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, AFX_MSG_CALL& call) {
    const AFX_MSGMAP_ENTRY* entry =
        host::ui::FindEntry(GetMessageMap(), WM_COMMAND, static_cast<UINT>(nCode), nID);
    return entry && entry->pfn(this, call);
}

// ---- Window message routing --------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    auto& stack = host::ui::MessageStack();
    stack.push_back({this, message, wParam, lParam});
    struct Pop {
        ~Pop() { host::ui::MessageStack().pop_back(); }
    } pop;
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam))
            return FALSE;
        *pResult = 0;
        return TRUE;
    }
    if (message == WM_NOTIFY) {
        LRESULT result = 0;
        if (!OnNotify(wParam, lParam, &result))
            return FALSE;
        *pResult = result;
        return TRUE;
    }
    const AFX_MSGMAP_ENTRY* entry = host::ui::FindEntry(GetMessageMap(), message, 0, 0);
    if (!entry)
        return FALSE;
    AFX_MSG_CALL call{message, wParam, lParam, 0};
    if (!entry->pfn(this, call))
        return FALSE;
    *pResult = call.result;
    return TRUE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return host::ui::DefaultProc(Window::FromHandle(m_hWnd), message, wParam, lParam);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    const UINT id = static_cast<UINT>(wParam & 0xFFFF);
    const int code = static_cast<int>((wParam >> 16) & 0xFFFF);
    if (HWND control = reinterpret_cast<HWND>(lParam)) {
        CWnd* child = FromHandlePermanent(control);
        if (child && child->OnChildNotify(WM_COMMAND, wParam, lParam, nullptr))
            return TRUE;
    }
    AFX_MSG_CALL call{WM_COMMAND, wParam, lParam, 0};
    return OnCmdMsg(id, code, call);
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* pResult) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (!header)
        return FALSE;
    CWnd* child = FromHandlePermanent(header->hwndFrom);
    if (child && child->OnChildNotify(WM_NOTIFY, header->idFrom, lParam, pResult))
        return TRUE;
    const AFX_MSGMAP_ENTRY* entry = host::ui::FindEntry(GetMessageMap(), WM_NOTIFY, header->code,
                                                        static_cast<UINT>(header->idFrom));
    if (!entry)
        return FALSE;
    AFX_MSG_CALL call{WM_NOTIFY, header->idFrom, lParam, 0};
    if (!entry->pfn(this, call))
        return FALSE;
    if (pResult)
        *pResult = call.result;
    return TRUE;
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    UINT code = 0;
    if (message == WM_COMMAND)
        code = static_cast<UINT>((wParam >> 16) & 0xFFFF);
    else if (message == WM_NOTIFY)
        code = reinterpret_cast<NMHDR*>(lParam)->code;
    else
        return FALSE;
    const AFX_MSGMAP_ENTRY* entry =
        host::ui::FindEntry(GetMessageMap(), WM_REFLECT_BASE + message, code, 0);
    if (!entry)
        return FALSE;
    AFX_MSG_CALL call{message, wParam, lParam, 0};
    if (!entry->pfn(this, call))
        return FALSE;
    if (pResult)
        *pResult = call.result;
    return TRUE;
}

BOOL CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

LRESULT CWnd::Default() {
    const auto& stack = host::ui::MessageStack();
    for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
        if (it->wnd == this)
            return DefWindowProc(it->message, it->wParam, it->lParam);
    }
    return 0;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return host::ui::Send(Window::FromHandle(m_hWnd), message, wParam, lParam);
}

// Handlers whose own work is the default handling.
void CWnd::OnPaint() {
    Default();
}
void CWnd::OnKeyDown(UINT, UINT, UINT) {
    Default();
}
void CWnd::OnChar(UINT, UINT, UINT) {
    Default();
}
void CWnd::OnKillFocus(CWnd*) {
    Default();
}
void CWnd::OnSetFocus(CWnd*) {
    Default();
}
void CWnd::OnContextMenu(CWnd*, CPoint) {
    Default();
}
void CWnd::OnMouseMove(UINT, CPoint) {
    Default();
}
void CWnd::OnLButtonDown(UINT, CPoint) {
    Default();
}
void CWnd::OnLButtonUp(UINT, CPoint) {
    Default();
}
void CWnd::OnCaptureChanged(CWnd*) {
    Default();
}
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) {
    return static_cast<BOOL>(Default());
}
UINT CWnd::OnGetDlgCode() {
    return static_cast<UINT>(Default());
}
void CWnd::OnDestroy() {
    Default();
}
void CWnd::OnClose() {
    Default();
}

LRESULT DefWindowProcA(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return host::ui::DefaultProc(Window::FromHandle(hWnd), message, wParam, lParam);
}

LRESULT DefWindowProcW(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return host::ui::DefaultProc(Window::FromHandle(hWnd), message, wParam, lParam);
}
