#include "host/ui/dialogs/session.h"

#include <algorithm>

#include "host/ui/dialogs/controls.h"
#include "host/ui/dialogs/toolkit.h"
#include "host/ui/input_source.h"
#include "platform/afxcmn.h"
#include "platform/textconv.h"

namespace host::ui {

namespace {

std::vector<DialogSession*>& SessionStack() {
    static auto* sessions = new std::vector<DialogSession*>;  // never destroyed
    return *sessions;
}

Window* g_focus = nullptr;
Window* g_capture = nullptr;

LPARAM PackPoint(POINT p) {
    return static_cast<LPARAM>((static_cast<std::uint32_t>(static_cast<std::uint16_t>(p.y)) << 16) |
                               static_cast<std::uint16_t>(p.x));
}

int MulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    return static_cast<int>((product + (product >= 0 ? denominator / 2 : -denominator / 2)) /
                            denominator);
}

FontDesc TemplateFont(const RESOURCE_DIALOG& t) {
    FontDesc font;
    if (t.fontFace) {
        font.face = t.fontFace;
        font.height = FontHeightForPoints(t.fontPoints > 0 ? t.fontPoints : 8);
        font.weight = t.fontWeight > 0 ? t.fontWeight : FW_NORMAL;
        font.italic = t.fontItalic != 0;
    }
    return font;
}

const RESOURCE_DIALOG* FindTemplate(const CDialog& dialog) {
    const void* name = dialog.m_lpszTemplateName;
    if (!name)
        return nullptr;
    auto find = [&](HINSTANCE instance) -> const RESOURCE_DIALOG* {
        if (dialog.m_bWideName)
            return AfxFindDialogTemplate(instance, static_cast<const char16_t*>(name));
        return AfxFindDialogTemplate(instance, static_cast<const char*>(name));
    };
    // The current resource handle first, then every image with resources (the framework's
    // search through its extension libraries).
    if (const RESOURCE_DIALOG* found = find(AfxGetResourceHandle()))
        return found;
    return find(nullptr);
}

void RequireUsable(Window& control) {
    if (!control.EffectivelyVisible())
        throw ActionError("control " + std::to_string(control.id) + " is hidden");
    if (!control.EffectivelyEnabled())
        throw ActionError("control " + std::to_string(control.id) + " is disabled");
}

DWORD ButtonType(const Window& w) {
    return w.style & BS_TYPEMASK;
}

bool IsCheckBox(const Window& w) {
    const DWORD type = ButtonType(w);
    return w.kind == Kind::Button && (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX ||
                                      type == BS_3STATE || type == BS_AUTO3STATE);
}

bool IsRadio(const Window& w) {
    const DWORD type = ButtonType(w);
    return w.kind == Kind::Button && (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON);
}

// Unchecks the other radio buttons of the group a radio button belongs to.
void CheckRadioInGroup(Window& radio) {
    Window* parent = radio.parent;
    if (!parent)
        return;
    auto& siblings = parent->children;
    const auto self = std::find_if(siblings.begin(), siblings.end(),
                                   [&](const auto& c) { return c.get() == &radio; });
    if (self == siblings.end())
        return;
    auto first = self;
    while (first != siblings.begin() && !((*first)->style & WS_GROUP))
        --first;
    for (auto it = first; it != siblings.end(); ++it) {
        if (it != first && ((*it)->style & WS_GROUP))
            break;
        Window& w = **it;
        if (IsRadio(w) && &w != &radio && w.As<ButtonState>().check != BST_UNCHECKED) {
            w.As<ButtonState>().check = BST_UNCHECKED;
            NotifyChanged(w, Change::Selection);
        }
    }
}

void PaintNewWindows(Window& parent) {
    for (const auto& child : parent.children) {
        Window* w = child.get();
        if (auto* custom = w->Try<CustomState>(); custom && custom->needsPaint && w->Visible()) {
            if (CWnd* wnd = CWnd::FromHandle(w->Handle()))
                wnd->UpdateWindow();
        }
        if (Window::FromHandle(w->Handle()))
            PaintNewWindows(*w);
    }
}

POINT CenterOnScreen(Window& w) {
    const RECT client = w.ClientRect();
    POINT p{client.right / 2, client.bottom / 2};
    const POINT origin = w.ClientOriginOnScreen();
    p.x += origin.x;
    p.y += origin.y;
    return p;
}

// The platform's keyboard handling in dialogs: Tab moves the focus, Enter presses the default
// button (or a focused push button), Esc cancels; controls that ask for those keys get them.
bool DialogKeyboard(Window& control, UINT virtualKey) {
    Window* root = control.Root();
    if (!root || root->kind != Kind::Dialog || !root->session)
        return false;
    MSG msg{control.Handle(), WM_KEYDOWN, virtualKey, 0, 0, {0, 0}};
    const LRESULT code = Send(&control, WM_GETDLGCODE, virtualKey, reinterpret_cast<LPARAM>(&msg));
    if (code & DLGC_WANTALLKEYS)
        return false;
    DialogSession& session = *root->session;
    switch (virtualKey) {
        case VK_TAB:
            if (code & DLGC_WANTTAB)
                return false;
            session.dialog.NextDlgCtrl();
            return true;
        case VK_RETURN:
            if (control.kind == Kind::Button && !IsCheckBox(control) && !IsRadio(control) &&
                ButtonType(control) != BS_GROUPBOX) {
                user::Click(control);
                return true;
            }
            user::Ok(session);
            return true;
        case VK_ESCAPE:
            user::Cancel(session);
            return true;
        default:
            return false;
    }
}

}  // namespace

// ---- Sessions
// -------------------------------------------------------------------------------------

DialogSession::DialogSession(Window& root, CDialog& dialog, const RESOURCE_DIALOG& dialogTemplate)
    : root(root), dialog(dialog), dialogTemplate(dialogTemplate) {
    SessionStack().push_back(this);
}

DialogSession::~DialogSession() {
    auto& stack = SessionStack();
    stack.erase(std::remove(stack.begin(), stack.end(), this), stack.end());
}

std::string DialogSession::TemplateName() const {
    if (dialogTemplate.name)
        return dialogTemplate.name;
    return std::to_string(dialogTemplate.id);
}

void DialogSession::End(INT_PTR value) {
    if (ended)
        return;
    ended = true;
    result = value;
    root.style &= ~WS_VISIBLE;
    NotifyChanged(root, Change::Style);
}

const std::vector<DialogSession*>& Sessions() {
    return SessionStack();
}

DialogSession* InnermostSession() {
    auto& stack = SessionStack();
    return stack.empty() ? nullptr : stack.back();
}

RECT DialogUnitsToPixels(const RESOURCE_DIALOG& t, short x, short y, short cx, short cy) {
    const BaseUnits units = CurrentToolkit().UnitsOf(TemplateFont(t));
    const int left = MulDiv(x, units.cx, 4);
    const int top = MulDiv(y, units.cy, 8);
    return RECT{left, top, left + MulDiv(cx, units.cx, 4), top + MulDiv(cy, units.cy, 8)};
}

INT_PTR RunModalDialog(CDialog& dialog) {
    const RESOURCE_DIALOG* t = FindTemplate(dialog);
    if (!t || dialog.m_hWnd)
        return -1;

    // The dialog window with its controls, from the template.
    auto* root = new Window(Kind::Dialog, nullptr);
    root->className = "#32770";
    root->style = (t->style | WS_VISIBLE) & ~WS_CHILD;
    root->exStyle = t->exStyle;
    root->text = t->caption ? t->caption : "";
    root->unicode = dialog.m_bUnicodeBuild;
    const HFONT font = NewFont(TemplateFont(*t));
    root->font = font;
    const RECT size = DialogUnitsToPixels(*t, 0, 0, t->cx, t->cy);
    const RECT screen = MainWindow()->rect;
    const LONG width = size.right, height = size.bottom;
    root->rect = RECT{(screen.right - width) / 2, (screen.bottom - height) / 2,
                      (screen.right - width) / 2 + width, (screen.bottom - height) / 2 + height};

    DialogSession session(*root, dialog, *t);
    root->session = &session;
    session.previousFocus = FocusWindow();

    struct TearDown {
        Window* root;
        HFONT font;
        DialogSession& session;
        ~TearDown() {
            DestroyWindowTree(root);
            DeleteFont(font);
            if (Window* back = session.previousFocus; back && Window::FromHandle(back->Handle()))
                SetFocusWindow(back);
        }
    } tearDown{root, font, session};

    for (int i = 0; i < t->itemCount; ++i) {
        const RESOURCE_DIALOG_ITEM& item = t->items[i];
        const RECT rect = DialogUnitsToPixels(*t, item.x, item.y, item.cx, item.cy);
        Window* control = CreateChildWindow(root, item.className ? item.className : "Static",
                                            item.text ? item.text : "", item.style | WS_CHILD,
                                            item.exStyle, rect, item.id, root->unicode);
        if (control && IsDefaultPushButtonWindow(control))
            session.defaultId = static_cast<UINT>(item.id);
    }
    NotifyChanged(*root, Change::Created);

    dialog.Attach(root->Handle());
    const BOOL focusFirst = dialog.OnInitDialog();
    if (focusFirst && !session.ended) {
        for (const auto& child : root->children) {
            Window* c = child.get();
            if ((c->style & WS_TABSTOP) && c->EffectivelyVisible() && c->EffectivelyEnabled()) {
                SetFocusWindow(c);
                if (c->kind == Kind::Edit)
                    EditSetSelection(c, 0, -1, false);
                break;
            }
        }
    }
    if (!session.ended) {
        // The dialog is on the screen: windows of registered classes paint, as the platform
        // sends WM_PAINT to windows as they are first shown.
        PaintNewWindows(*root);
        CurrentToolkit().RunModal(session);
    }
    return session.result;
}

// ---- Focus and capture
// ---------------------------------------------------------------------------

Window* FocusWindow() {
    return g_focus;
}

void SetFocusWindow(Window* window) {
    Window* old = g_focus;
    if (old == window)
        return;
    g_focus = window;
    if (old) {
        NotifyChanged(*old, Change::Focus);
        Send(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window ? window->Handle() : nullptr));
    }
    if (window && g_focus == window && Window::FromHandle(window->Handle())) {
        NotifyChanged(*window, Change::Focus);
        Send(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(old ? old->Handle() : nullptr));
    }
}

void ForgetWindow(Window* window) {
    if (g_focus == window)
        g_focus = nullptr;
    if (g_capture == window)
        g_capture = nullptr;
    for (DialogSession* session : SessionStack()) {
        if (session->previousFocus == window)
            session->previousFocus = nullptr;
    }
}

Window* CaptureWindow() {
    return g_capture;
}

void SetCaptureWindow(Window* window) {
    Window* old = g_capture;
    if (old == window)
        return;
    g_capture = window;
    if (old)
        Send(old, WM_CAPTURECHANGED, 0,
             reinterpret_cast<LPARAM>(window ? window->Handle() : nullptr));
}

// ---- User actions
// -----------------------------------------------------------------------------------

namespace user {

void Focus(Window& control) {
    RequireUsable(control);
    SetFocusWindow(&control);
}

void Click(Window& control) {
    RequireUsable(control);
    if (control.kind == Kind::Custom) {
        const RECT client = control.ClientRect();
        const POINT at{client.right / 2, client.bottom / 2};
        Send(&control, WM_MOUSEMOVE, 0, PackPoint(at));
        Send(&control, WM_LBUTTONDOWN, MK_LBUTTON, PackPoint(at));
        Send(&control, WM_LBUTTONUP, 0, PackPoint(at));
        return;
    }
    if (control.kind != Kind::Button || ButtonType(control) == BS_GROUPBOX)
        throw ActionError("control " + std::to_string(control.id) + " (" + KindName(control.kind) +
                          ") cannot be clicked");
    SetFocusWindow(&control);
    ButtonState& button = control.As<ButtonState>();
    switch (ButtonType(control)) {
        case BS_AUTOCHECKBOX:
            button.check = button.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
            NotifyChanged(control, Change::Selection);
            break;
        case BS_AUTO3STATE:
            button.check = (button.check + 1) % 3;
            NotifyChanged(control, Change::Selection);
            break;
        case BS_AUTORADIOBUTTON:
            button.check = BST_CHECKED;
            CheckRadioInGroup(control);
            NotifyChanged(control, Change::Selection);
            break;
        default:
            break;
    }
    CommandToParent(&control, BN_CLICKED);
}

void SetCheck(Window& control, int check) {
    if (!IsCheckBox(control) && !IsRadio(control))
        throw ActionError("control " + std::to_string(control.id) + " (" + KindName(control.kind) +
                          ") is not a check box");
    RequireUsable(control);
    if ((control.As<ButtonState>().check != BST_UNCHECKED) != (check != 0))
        Click(control);
}

void SetText(Window& control, const std::string& utf8) {
    RequireUsable(control);
    if (control.kind == Kind::Edit) {
        if (EditReadOnly(&control))
            throw ActionError("control " + std::to_string(control.id) + " is read-only");
        SetFocusWindow(&control);
        EditSetTextFromUser(&control, utf8);
        return;
    }
    if (control.kind == Kind::ComboBox && (control.style & 0x3) != CBS_DROPDOWNLIST) {
        SetFocusWindow(&control);
        control.text = utf8;
        control.As<ComboState>().curSel = -1;
        NotifyChanged(control, Change::Text);
        CommandToParent(&control, CBN_EDITUPDATE);
        CommandToParent(&control, CBN_EDITCHANGE);
        return;
    }
    if (IsCheckBox(control) || IsRadio(control)) {
        const std::string value(host::TrimBlanks(utf8));
        if (value != "0" && value != "1")
            throw ActionError("a check box is set to 0 or 1");
        SetCheck(control, value == "1");
        return;
    }
    throw ActionError("control " + std::to_string(control.id) + " (" + KindName(control.kind) +
                      ") takes no typed text" +
                      (control.kind == Kind::ComboBox ? "; use @pick to choose an entry" : ""));
}

void SelectText(Window& control, int start, int end) {
    if (control.kind != Kind::Edit)
        throw ActionError("control " + std::to_string(control.id) + " (" + KindName(control.kind) +
                          ") has no text selection");
    Focus(control);
    EditSetSelection(&control, start, end, true);
}

void PickIndex(Window& control, int index) {
    RequireUsable(control);
    if (control.kind == Kind::ComboBox || control.kind == Kind::ListBox) {
        const int count = static_cast<int>(ItemsOf(&control)->size());
        if (index < 0 || index >= count)
            throw ActionError("control " + std::to_string(control.id) + " has no entry " +
                              std::to_string(index));
        SetFocusWindow(&control);
        SetCurSelModel(&control, index);
        if (control.kind == Kind::ComboBox) {
            CommandToParent(&control, CBN_SELCHANGE);
            CommandToParent(&control, CBN_SELENDOK);
        } else if (control.style & LBS_NOTIFY) {
            CommandToParent(&control, LBN_SELCHANGE);
        }
        return;
    }
    if (control.kind == Kind::ListView) {
        const int count = static_cast<int>(control.As<ListViewState>().rows.size());
        if (index < 0 || index >= count)
            throw ActionError("control " + std::to_string(control.id) + " has no row " +
                              std::to_string(index));
        SetFocusWindow(&control);
        ListSetItemState(&control, index, LVIS_SELECTED | LVIS_FOCUSED,
                         LVIS_SELECTED | LVIS_FOCUSED);
        NMITEMACTIVATE nm{};
        nm.iItem = index;
        NotifyParent(&control, nm.hdr, NM_CLICK);
        return;
    }
    throw ActionError("control " + std::to_string(control.id) + " (" + KindName(control.kind) +
                      ") has no entries to pick");
}

void PickNode(Window& tree, TreeNode* node) {
    RequireUsable(tree);
    if (tree.kind != Kind::TreeView)
        throw ActionError("control " + std::to_string(tree.id) + " is not a tree");
    SetFocusWindow(&tree);
    for (TreeNode* p = node ? node->parent : nullptr; p; p = p->parent)
        TreeExpand(&tree, p, TVE_EXPAND);
    TreeSelect(&tree, node, TVC_BYMOUSE);
}

void ExpandNode(Window& tree, TreeNode* node, bool expand) {
    RequireUsable(tree);
    if (tree.kind != Kind::TreeView)
        throw ActionError("control " + std::to_string(tree.id) + " is not a tree");
    TreeExpand(&tree, node, expand ? TVE_EXPAND : TVE_COLLAPSE);
}

void DoubleClickCell(Window& list, int row, int column) {
    RequireUsable(list);
    if (list.kind != Kind::ListView)
        throw ActionError("control " + std::to_string(list.id) + " (" + KindName(list.kind) +
                          ") has no cells");
    ListViewState& state = list.As<ListViewState>();
    const int columns = std::max<int>(1, static_cast<int>(state.columns.size()));
    if (column < 0 || column >= columns)
        throw ActionError("control " + std::to_string(list.id) + " has no column " +
                          std::to_string(column));
    SetFocusWindow(&list);
    // A double click below the last row hits no item.
    const int item = row >= 0 && row < static_cast<int>(state.rows.size()) ? row : -1;
    if (item >= 0)
        ListSetItemState(&list, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    const RECT cell = item >= 0 ? ListCellRect(&list, item, column, LVIR_BOUNDS) : RECT{0, 0, 0, 0};
    NMITEMACTIVATE nm{};
    nm.iItem = item;
    nm.iSubItem = column;
    nm.ptAction = POINT{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
    NotifyParent(&list, nm.hdr, NM_CLICK);
    NMITEMACTIVATE dbl = nm;
    NotifyParent(&list, dbl.hdr, NM_DBLCLK);
}

void Key(Window& control, UINT virtualKey) {
    RequireUsable(control);
    if (FocusWindow() != &control)
        SetFocusWindow(&control);
    // The framework objects from the control up to its dialog may take the key first.
    MSG msg{control.Handle(), WM_KEYDOWN, virtualKey, 0, 0, {0, 0}};
    for (Window* w = &control; w; w = w->parent) {
        if (w->attached && w->attached->PreTranslateMessage(&msg))
            return;
        if (w->kind == Kind::Dialog)
            break;
    }
    if (DialogKeyboard(control, virtualKey))
        return;
    Send(&control, WM_KEYDOWN, virtualKey, 1);
    char32_t ch = 0;
    switch (virtualKey) {
        case VK_RETURN:
            ch = '\r';
            break;
        case VK_ESCAPE:
            ch = 0x1B;
            break;
        case VK_TAB:
            ch = '\t';
            break;
        case VK_BACK:
            ch = 8;
            break;
        case VK_SPACE:
            ch = ' ';
            break;
        default:
            break;
    }
    if (ch && Window::FromHandle(control.Handle()))
        Send(&control, WM_CHAR, ch, 1);
}

void ContextMenu(Window& control, POINT screen) {
    RequireUsable(control);
    Send(&control, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control.Handle()), PackPoint(screen));
}

void MouseMove(Window& window, POINT client) {
    RequireUsable(window);
    Window* target = CaptureWindow() ? CaptureWindow() : &window;
    if (target != &window) {
        // The window holding the capture gets the move, in its own coordinates.
        const POINT from = window.ClientOriginOnScreen();
        const POINT to = target->ClientOriginOnScreen();
        client.x += from.x - to.x;
        client.y += from.y - to.y;
    }
    Send(target, WM_MOUSEMOVE, 0, PackPoint(client));
}

void ScrollList(Window& list, int topIndex, int scrollX) {
    if (list.kind != Kind::ListView)
        throw ActionError("control " + std::to_string(list.id) + " is not a list view");
    ListViewState& state = list.As<ListViewState>();
    state.topIndex = std::max(0, topIndex);
    state.scrollX = std::max(0, scrollX);
}

void Ok(DialogSession& session) {
    const UINT id = session.defaultId;
    Window* button = session.root.FindChild(static_cast<int>(id));
    if (button && !button->EffectivelyEnabled())
        throw ActionError("the default button " + std::to_string(id) + " is disabled");
    const WPARAM wParam = (static_cast<WPARAM>(BN_CLICKED) << 16) | (id & 0xFFFF);
    Send(&session.root, WM_COMMAND, wParam,
         reinterpret_cast<LPARAM>(button ? button->Handle() : nullptr));
}

void Cancel(DialogSession& session) {
    Window* button = session.root.FindChild(IDCANCEL);
    if (button && !button->EffectivelyEnabled())
        throw ActionError("the Cancel button is disabled");
    Send(&session.root, WM_COMMAND, IDCANCEL,
         reinterpret_cast<LPARAM>(button ? button->Handle() : nullptr));
}

void Close(DialogSession& session) {
    Send(&session.root, WM_CLOSE);
}

}  // namespace user

POINT ScreenCenterOf(Window& window) {
    return CenterOnScreen(window);
}

}  // namespace host::ui
