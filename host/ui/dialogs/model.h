// The control model: every window the module's dialogs show, with the whole state of each
// control (texts, items, selection, check state, enabled, visible, focus). The framework
// classes of the platform (CWnd, CDialog, the controls) work on this model; a toolkit only
// shows it and feeds the user's actions back, so behaviour is the same in every toolkit.
//
// A window is a node of a tree: a dialog (or the host's main window) at the root, its
// controls below, and windows created at run time (an in-place edit box) below those. An HWND
// is a node's address; handles are checked against the live nodes before use, so a stale
// handle is refused rather than followed.
//
// The model's registries (live windows, fonts, icons, menus ...) are made on first use and
// never destroyed: framework objects in the static storage of an image (the main window's
// object, a compiled resource file) still reach them while the process exits.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/afxcmn.h"

namespace host::ui {

class Window;
class DialogSession;

// ---- Fonts ------------------------------------------------------------------------------

struct FontDesc {
    std::string face = "MS Shell Dlg";
    int height = -11;  // LOGFONT height: negative is the character height in pixels
    int weight = FW_NORMAL;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
};

// A font object (HFONT). Fonts made by the host (dialog fonts) live with their dialog; fonts
// made by the module live until deleted.
struct Font {
    FontDesc desc;
};
Font* FontFromHandle(HFONT handle);  // null for a dead or null handle
HFONT NewFont(const FontDesc& desc);
void DeleteFont(HFONT handle);
// The font a window shows its text in (its own, else the default dialog font).
FontDesc FontOfWindow(const Window* window);
// The point size a template font of `points` gets in pixels (96 pixels an inch).
int FontHeightForPoints(int points);

// ---- Icons and image lists ----------------------------------------------------------------

// An icon of an image's resources: the bytes of its .ico file.
struct Icon {
    int id = 0;
    std::string name;
    const unsigned char* bytes = nullptr;
    std::size_t size = 0;
};
Icon* IconFromHandle(HICON handle);
// The icon of an image's resources (made once per resource), or null when it has none.
HICON IconOfResource(HINSTANCE instance, const std::string& name, int id);

struct ImageList {
    int cx = 16, cy = 16;
    UINT flags = 0;
    std::vector<const Icon*> images;
};
ImageList* ImageListFromHandle(HIMAGELIST handle);
HIMAGELIST NewImageList(int cx, int cy, UINT flags);
// Forgets the icons of an image whose resources go away.
void ForgetResourceIcons(HINSTANCE instance);
void DeleteImageList(HIMAGELIST handle);

// ---- Per-kind control state ------------------------------------------------------------------

struct ButtonState {
    int check = BST_UNCHECKED;
};

struct EditState {
    // Selection as byte offsets into the window text (UTF-8), start <= end.
    std::size_t selStart = 0;
    std::size_t selEnd = 0;
    bool canUndo = false;
    std::string undoText;
    std::size_t undoSelStart = 0, undoSelEnd = 0;
    std::size_t limit = 0;  // 0: none
};

struct ListItem {
    std::string text;
    DWORD_PTR data = 0;
};

struct ComboState {
    std::vector<ListItem> items;
    int curSel = -1;
};

struct ListBoxState {
    std::vector<ListItem> items;
    int curSel = -1;
};

struct ListColumn {
    std::string text;
    int format = LVCFMT_LEFT;
    int width = 80;
};

struct ListRow {
    std::vector<std::string> cells;  // one per column (missing ones read as empty)
    DWORD_PTR data = 0;
    UINT state = 0;  // LVIS_*
};

struct ListViewState {
    DWORD exStyle = 0;
    std::vector<ListColumn> columns;
    std::vector<ListRow> rows;
    int selectionMark = -1;
    int topIndex = 0;
    // How far the user scrolled the list to the right, in pixels. Only a toolkit with real
    // windows scrolls (user::ScrollList); the cell rectangles move left by it.
    int scrollX = 0;
    HIMAGELIST smallImages = nullptr;
    Window* header = nullptr;  // the header control child
};

struct TreeNode {
    std::string text;
    int image = 0;
    int selectedImage = 0;
    DWORD_PTR data = 0;
    bool expanded = false;
    TreeNode* parent = nullptr;
    std::vector<std::unique_ptr<TreeNode>> children;
};

struct TreeState {
    std::vector<std::unique_ptr<TreeNode>> roots;
    TreeNode* selected = nullptr;
    HIMAGELIST images = nullptr;
    std::size_t count = 0;
};

// What a window of a registered class drew when it last painted.
struct PaintRun {
    int x = 0, y = 0;
    std::string text;
    COLORREF textColour = 0;
    COLORREF backColour = 0xFFFFFF;
    bool opaque = true;
    FontDesc font;
};
struct CustomState {
    std::vector<PaintRun> runs;
    bool needsPaint = true;
};

// The cursor the module last set (SetCursor), for a toolkit that shows a real pointer; null
// for the default arrow.
HCURSOR CurrentCursor();

enum class Kind {
    Frame,  // the host's main window
    Dialog,
    Button,
    Static,
    Edit,
    ComboBox,
    ListBox,
    ListView,
    Header,
    TreeView,
    Custom,  // a window of a class registered with AfxRegisterClass
};
const char* KindName(Kind kind);

using ControlState = std::variant<std::monostate, ButtonState, EditState, ComboState, ListBoxState,
                                  ListViewState, TreeState, CustomState>;

// ---- Windows ----------------------------------------------------------------------------------

class Window {
public:
    Window(Kind kind, Window* parent);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Handle() { return reinterpret_cast<HWND>(this); }
    // The live window of a handle, or null.
    static Window* FromHandle(HWND handle);

    Kind kind;
    std::string className;  // "Button", "Edit", ... or the registered name
    int id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::string text;       // UTF-8: caption, or an edit control's contents
    RECT rect{0, 0, 0, 0};  // in the parent's client coordinates (dialogs: screen)
    HFONT font = nullptr;
    bool unicode = false;  // created by UTF-16 code (tree notifications in the W form)

    Window* parent = nullptr;
    std::vector<std::unique_ptr<Window>> children;  // in creation (tab) order

    // The framework object attached to the window, if any; temporary objects made for
    // FromHandle are owned here.
    CWnd* attached = nullptr;
    std::unique_ptr<CWnd> temporary;

    ControlState state;

    bool Enabled() const { return (style & WS_DISABLED) == 0; }
    bool Visible() const { return (style & WS_VISIBLE) != 0; }
    // Whether the window and every parent up to its dialog are visible and enabled.
    bool EffectivelyEnabled() const;
    bool EffectivelyVisible() const;
    // The dialog (or frame) at the root of this window's tree.
    Window* Root();
    DialogSession* Session();
    // A direct or deeper child with an id (searching children before grandchildren).
    Window* FindChild(int id);
    // Border width around the client area.
    int BorderWidth() const;
    RECT ClientRect() const;
    // The offset of the client area's origin in screen coordinates.
    POINT ClientOriginOnScreen() const;

    template <class T>
    T& As() {
        return std::get<T>(state);
    }
    template <class T>
    T* Try() {
        return std::get_if<T>(&state);
    }

    // A dialog's session (set on the root window of a modal dialog).
    DialogSession* session = nullptr;
};

// Creates a control or a child window. The class name picks the kind; unknown names must be
// registered classes (AfxRegisterClass), else null.
Window* CreateChildWindow(Window* parent, const std::string& className, const std::string& text,
                          DWORD style, DWORD exStyle, const RECT& rect, int id, bool unicode);
// Destroys a window and its children: attached framework objects are sent WM_DESTROY, are
// detached and get PostNcDestroy; the toolkit is told first.
void DestroyWindowTree(Window* window);

// Whether a class name was registered with AfxRegisterClass (names ignore case).
bool IsRegisteredClass(const std::string& name);
void RegisterClassName(const std::string& name);

// The host's main window (the root of windows shown without a parent).
Window* MainWindow();

// ---- Changes the toolkit shows -----------------------------------------------------------------

enum class Change {
    Created,
    Destroyed,
    Text,
    Style,  // enabled, visible, other style bits
    Geometry,
    Items,      // list, combo, tree or column contents
    Selection,  // selected item, edit selection, check state
    Focus,
    Paint,  // a custom window has new paint runs
};

// The toolkit's view of the model: told of every change so that it can show it.
class ModelObserver {
public:
    virtual ~ModelObserver() = default;
    virtual void Changed(Window& window, Change change) = 0;
};
void SetModelObserver(ModelObserver* observer);
void NotifyChanged(Window& window, Change change);

// ---- Messages -----------------------------------------------------------------------------------

// Sends a message to a window: to its attached framework object (message map, then default
// handling), or straight to the default handling of its kind.
LRESULT Send(Window* window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// The default handling of a message by a window of its kind (edit editing, dialog commands,
// passing context menus to the parent ...).
LRESULT DefaultProc(Window* window, UINT message, WPARAM wParam, LPARAM lParam);
// A control tells its parent (WM_COMMAND with its id and the code).
void CommandToParent(Window* control, UINT code);
// A common control tells its parent (WM_NOTIFY); the header's fields are filled in here.
LRESULT NotifyParent(Window* control, NMHDR& header, UINT code);

// Text in the width of a window's framework (used where a window hands out text pointers).
std::u16string ToWide(const std::string& text);

}  // namespace host::ui
