// The desktop toolkit: the module's dialogs as real windows (wxWidgets on GTK). The cadhost
// executable starts it for --ui gui; the control model stays the one the headless toolkit
// uses, so that behaviour is the same in both and a script gives the same model state.
#pragma once

#include <optional>
#include <string>

#include "host/ui/dialogs/model.h"

namespace host {
class InputSource;
}

namespace host::ui::wx {

// Starts wxWidgets (once per process) and installs the toolkit, its message boxes and the
// model observer. Pictures of every dialog as it opens go to `screenshotFolder`
// (<template>-<n>.png) unless it is empty. Returns an error message (no display ...), empty
// on success.
std::string StartDesktopToolkit(const std::string& screenshotFolder);
// Restores the headless toolkit and shuts wxWidgets down; nothing when it was not started.
void StopDesktopToolkit();

// Opens the desktop host's main window (main_window.h) once the toolkit runs: with takesInput,
// its command line answers the prompts and its input source is returned; else it shows the
// session a script drives, and null is returned. Closing destroys it (after the session).
InputSource* OpenMainWindow(bool takesInput);
void CloseMainWindow();

// ---- For tests that compare the windows with the model --------------------------------------

struct NativeState {
    RECT rect{0, 0, 0, 0};  // in the parent's client coordinates (dialogs: the client size)
    bool shown = false;
    bool enabled = false;
    bool focused = false;
    std::string text;    // label, caption, edit text, or the selected tree item's text
    int check = -1;      // check boxes and radio buttons: 0, 1 or 2
    int selection = -1;  // the chosen entry or the first selected row
    long rows = -1;      // list views: the rows the list shows
};
// What the native window of a model window shows, after every pending change is applied;
// nothing when the window has no native window of its own.
std::optional<NativeState> InspectNative(Window& window);
// A report list's cell as the native list puts it, in the list's client coordinates.
std::optional<RECT> NativeCellRect(Window& list, int row, int column);
// A point of a window's client area on the desktop's screen (where a mouse would go).
std::optional<POINT> NativeScreenPoint(Window& window, POINT client);
// The first row the native list shows.
int NativeTopRow(Window& list);
// Scrolls the native list as a user would (by rows and pixels).
void ScrollNative(Window& list, int rows, int pixels);

}  // namespace host::ui::wx
