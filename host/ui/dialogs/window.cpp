// Windows of the control model: the live set, creation by class name, destruction of a tree,
// the main window, fonts, and the observer the toolkit installs.
#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "host/ui/dialogs/controls.h"
#include "host/ui/dialogs/model.h"
#include "host/ui/dialogs/session.h"
#include "host/ui/dialogs/toolkit.h"
#include "platform/textconv.h"

namespace host::ui {

namespace {

std::unordered_set<const Window*>& LiveWindows() {
    static auto* live = new std::unordered_set<const Window*>;  // never destroyed
    return *live;
}

ModelObserver* g_observer = nullptr;

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::unordered_set<std::string>& RegisteredClasses() {
    static auto* classes = new std::unordered_set<std::string>;  // never destroyed
    return *classes;
}

// The kind a predefined class name makes; nothing for names that are not predefined.
std::optional<Kind> KindOfClass(const std::string& className, DWORD style) {
    const std::string name = LowerAscii(className);
    if (name == "button") {
        return (style & BS_TYPEMASK) == BS_GROUPBOX ? Kind::Static : Kind::Button;
    }
    if (name == "static")
        return Kind::Static;
    if (name == "edit")
        return Kind::Edit;
    if (name == "combobox")
        return Kind::ComboBox;
    if (name == "listbox")
        return Kind::ListBox;
    if (name == "syslistview32")
        return Kind::ListView;
    if (name == "systreeview32")
        return Kind::TreeView;
    if (name == "sysheader32")
        return Kind::Header;
    return std::nullopt;
}

ControlState InitialState(Kind kind) {
    switch (kind) {
        case Kind::Button:
            return ButtonState{};
        case Kind::Edit:
            return EditState{};
        case Kind::ComboBox:
            return ComboState{};
        case Kind::ListBox:
            return ListBoxState{};
        case Kind::ListView:
            return ListViewState{};
        case Kind::TreeView:
            return TreeState{};
        case Kind::Custom:
            return CustomState{};
        default:
            return std::monostate{};
    }
}

}  // namespace

const char* KindName(Kind kind) {
    switch (kind) {
        case Kind::Frame:
            return "frame";
        case Kind::Dialog:
            return "dialog";
        case Kind::Button:
            return "button";
        case Kind::Static:
            return "static";
        case Kind::Edit:
            return "edit";
        case Kind::ComboBox:
            return "combo box";
        case Kind::ListBox:
            return "list box";
        case Kind::ListView:
            return "list view";
        case Kind::Header:
            return "header";
        case Kind::TreeView:
            return "tree";
        case Kind::Custom:
            return "window";
    }
    return "window";
}

Window::Window(Kind kind, Window* parent) : kind(kind), parent(parent), state(InitialState(kind)) {
    LiveWindows().insert(this);
}

Window::~Window() {
    ForgetTreeNodes(this);
    LiveWindows().erase(this);
}

Window* Window::FromHandle(HWND handle) {
    auto* window = reinterpret_cast<Window*>(handle);
    return handle && LiveWindows().count(window) ? window : nullptr;
}

bool Window::EffectivelyEnabled() const {
    for (const Window* w = this; w; w = w->parent) {
        if (!w->Enabled())
            return false;
        if (w->kind == Kind::Dialog)
            break;
    }
    return true;
}

bool Window::EffectivelyVisible() const {
    for (const Window* w = this; w; w = w->parent) {
        if (!w->Visible())
            return false;
        if (w->kind == Kind::Dialog)
            break;
    }
    return true;
}

Window* Window::Root() {
    Window* w = this;
    while (w->parent && w->kind != Kind::Dialog)
        w = w->parent;
    return w;
}

DialogSession* Window::Session() {
    return Root()->session;
}

Window* Window::FindChild(int wanted) {
    for (const auto& child : children) {
        if (child->id == wanted)
            return child.get();
    }
    for (const auto& child : children) {
        if (child->kind == Kind::Dialog)
            continue;
        if (Window* found = child->FindChild(wanted))
            return found;
    }
    return nullptr;
}

int Window::BorderWidth() const {
    if (kind == Kind::Dialog || kind == Kind::Frame)
        return 0;
    int border = 0;
    if (style & WS_BORDER)
        border += 1;
    if (exStyle & WS_EX_CLIENTEDGE)
        border += 2;
    if (exStyle & WS_EX_STATICEDGE)
        border += 1;
    return border;
}

RECT Window::ClientRect() const {
    const int b = BorderWidth();
    const LONG w = std::max<LONG>(0, rect.right - rect.left - 2 * b);
    const LONG h = std::max<LONG>(0, rect.bottom - rect.top - 2 * b);
    return RECT{0, 0, w, h};
}

POINT Window::ClientOriginOnScreen() const {
    POINT origin{0, 0};
    for (const Window* w = this; w; w = w->parent) {
        origin.x += w->rect.left + w->BorderWidth();
        origin.y += w->rect.top + w->BorderWidth();
        if (w->kind == Kind::Dialog || w->kind == Kind::Frame)
            break;
    }
    return origin;
}

Window* CreateChildWindow(Window* parent, const std::string& className, const std::string& text,
                          DWORD style, DWORD exStyle, const RECT& rect, int id, bool unicode) {
    std::optional<Kind> kind = KindOfClass(className, style);
    if (!kind) {
        if (!IsRegisteredClass(className))
            return nullptr;
        kind = Kind::Custom;
    }
    auto window = std::make_unique<Window>(*kind, parent);
    Window* w = window.get();
    w->className = className;
    w->text = text;
    w->style = style;
    w->exStyle = exStyle;
    w->rect = rect;
    w->id = id;
    w->unicode = unicode;
    w->font = parent ? parent->font : nullptr;
    if (*kind == Kind::ListView) {
        // The list's header control, a child of its own.
        auto header = std::make_unique<Window>(Kind::Header, w);
        header->className = "SysHeader32";
        header->style = WS_CHILD | WS_VISIBLE;
        header->id = 0;
        header->font = w->font;
        w->As<ListViewState>().header = header.get();
        w->children.push_back(std::move(header));
    }
    if (*kind == Kind::ComboBox && (style & 0x3) == CBS_DROPDOWNLIST)
        w->text.clear();
    if (parent)
        parent->children.push_back(std::move(window));
    else
        window.release();
    NotifyChanged(*w, Change::Created);
    return w;
}

void DestroyWindowTree(Window* window) {
    if (!window || !Window::FromHandle(window->Handle()))
        return;
    // Children first, newest first, as the platform destroys them.
    while (!window->children.empty()) {
        Window* child = window->children.back().get();
        DestroyWindowTree(child);
    }
    NotifyChanged(*window, Change::Destroyed);
    ForgetWindow(window);
    if (CWnd* wnd = window->attached) {
        Send(window, WM_DESTROY);
        window->attached = nullptr;
        wnd->m_hWnd = nullptr;
        wnd->PostNcDestroy();
    }
    if (window->temporary)
        window->temporary->m_hWnd = nullptr;
    window->temporary.reset();
    if (Window* parent = window->parent) {
        auto& siblings = parent->children;
        const auto it = std::find_if(siblings.begin(), siblings.end(),
                                     [window](const auto& c) { return c.get() == window; });
        if (it != siblings.end()) {
            siblings.erase(it);  // deletes the window
            return;
        }
    }
    delete window;
}

bool IsRegisteredClass(const std::string& name) {
    return RegisteredClasses().count(LowerAscii(name)) != 0;
}

void RegisterClassName(const std::string& name) {
    RegisteredClasses().insert(LowerAscii(name));
}

Window* MainWindow() {
    static Window* main = [] {
        auto* w = new Window(Kind::Frame, nullptr);
        w->className = "MainFrame";
        w->style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
        const int cx = CurrentToolkit().SystemMetric(SM_CXSCREEN);
        const int cy = CurrentToolkit().SystemMetric(SM_CYSCREEN);
        w->rect = RECT{0, 0, cx, cy};
        return w;
    }();
    return main;
}

void SetModelObserver(ModelObserver* observer) {
    g_observer = observer;
}

void NotifyChanged(Window& window, Change change) {
    if (g_observer)
        g_observer->Changed(window, change);
}

std::u16string ToWide(const std::string& text) {
    return qv::ConvertText<char16_t>(std::string_view(text));
}

// ---- Fonts --------------------------------------------------------------------------------

namespace {

std::unordered_map<const Font*, std::unique_ptr<Font>>& Fonts() {
    static auto* fonts =
        new std::unordered_map<const Font*, std::unique_ptr<Font>>;  // never destroyed
    return *fonts;
}

}  // namespace

Font* FontFromHandle(HFONT handle) {
    auto* font = reinterpret_cast<Font*>(handle);
    auto& fonts = Fonts();
    return handle && fonts.count(font) ? font : nullptr;
}

HFONT NewFont(const FontDesc& desc) {
    auto font = std::make_unique<Font>(Font{desc});
    Font* raw = font.get();
    Fonts().emplace(raw, std::move(font));
    return reinterpret_cast<HFONT>(raw);
}

void DeleteFont(HFONT handle) {
    if (Font* font = FontFromHandle(handle))
        Fonts().erase(font);
}

int FontHeightForPoints(int points) {
    // LOGFONT height of a point size at 96 pixels an inch (negative: character height).
    return -((points * 96 + 36) / 72);
}

}  // namespace host::ui
