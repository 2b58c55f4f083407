// Modal dialogs and what a user does to them. A DialogSession is one modal run of a dialog
// template; the user actions below are what every toolkit calls when the user clicks, types,
// picks or presses a key, so that the framework objects get the messages the platform would
// send them, in the same order.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/ui/dialogs/model.h"
#include "platform/afxres.h"

namespace host::ui {

class DialogSession {
public:
    DialogSession(Window& root, CDialog& dialog, const RESOURCE_DIALOG& dialogTemplate);
    ~DialogSession();
    DialogSession(const DialogSession&) = delete;
    DialogSession& operator=(const DialogSession&) = delete;

    Window& root;
    CDialog& dialog;
    const RESOURCE_DIALOG& dialogTemplate;
    // The template's identifier as a user would name it ("113" or its name).
    std::string TemplateName() const;
    std::string Caption() const { return root.text; }

    bool ended = false;
    INT_PTR result = IDCANCEL;
    UINT defaultId = IDOK;
    bool hiddenForEditor = false;
    // The window that had the focus when the dialog opened (restored when it closes).
    Window* previousFocus = nullptr;

    // The entry chosen ahead (@menu) for the next popup menu this dialog shows: a command id
    // or an entry's text; whether a menu was shown, and why the choice failed.
    std::string pendingMenuText;
    std::optional<UINT_PTR> pendingMenuChoice;
    bool menuShown = false;
    std::string menuError;

    // Ends the run (EndDialog): hidden at once, closed when the current handler returns.
    void End(INT_PTR value);
};

// The modal dialogs running, innermost last.
const std::vector<DialogSession*>& Sessions();
DialogSession* InnermostSession();

// Runs a dialog modally from its template: builds the windows, attaches the dialog object,
// initialises it (WM_INITDIALOG), lets the toolkit run it and tears everything down (also
// when a handler throws). Returns the result, or -1 when the template cannot be found.
INT_PTR RunModalDialog(CDialog& dialog);

// Converts a template rectangle in dialog units to pixels with the template's font.
RECT DialogUnitsToPixels(const RESOURCE_DIALOG& dialogTemplate, short x, short y, short cx,
                         short cy);

// ---- Focus and capture
// ---------------------------------------------------------------------------

Window* FocusWindow();
// Moves the keyboard focus (WM_KILLFOCUS to the old window, WM_SETFOCUS to the new one, and
// the edit and button focus notifications their parents get).
void SetFocusWindow(Window* window);
// Forgets a window that goes away.
void ForgetWindow(Window* window);
Window* CaptureWindow();
void SetCaptureWindow(Window* window);
// The centre of a window's client area in screen coordinates.
POINT ScreenCenterOf(Window& window);

// ---- User actions
// --------------------------------------------------------------------------------

// A user action that cannot be carried out (unknown control, disabled control, an action the
// control does not take); the message says why.
class ActionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

namespace user {

// A click: pushes a button (and moves the focus to it), toggles a check box, checks a radio
// button, or presses and releases the mouse button over a window of a registered class.
void Click(Window& control);
// Sets a check box: 0 or 1 (a click when it changes).
void SetCheck(Window& control, int check);
// Types a text over the whole contents of an edit control or an editable combo box.
void SetText(Window& control, const std::string& utf8);
// Selects part of an edit control's text (offsets in characters; end -1: to the end).
void SelectText(Window& control, int start, int end);
// Chooses an entry of a combo box or list box, or a row of a list view.
void PickIndex(Window& control, int index);
// Chooses a tree item (its parents are expanded).
void PickNode(Window& tree, TreeNode* node);
void ExpandNode(Window& tree, TreeNode* node, bool expand);
// Double-clicks a cell of a list view (row, column).
void DoubleClickCell(Window& list, int row, int column);
// Presses a key (VK_*) in a control, with the platform's dialog keyboard handling.
void Key(Window& control, UINT virtualKey);
// Moves the focus to a control (as a click into it does).
void Focus(Window& control);
// Opens a control's context menu (right click or the menu key) at a screen point.
void ContextMenu(Window& control, POINT screen);
// The mouse moves to a point of a window (client coordinates).
void MouseMove(Window& window, POINT client);
// The user scrolled a list view: its first visible row and its horizontal offset in pixels.
// Only a toolkit with real windows calls this (before a double click, so that the cell
// rectangles the module asks for are those on the screen); nothing is notified, the list
// already shows it.
void ScrollList(Window& list, int topIndex, int scrollX);
// The dialog's OK (Enter) and Cancel (Esc), and its frame's close box.
void Ok(DialogSession& session);
void Cancel(DialogSession& session);
void Close(DialogSession& session);

}  // namespace user

}  // namespace host::ui
