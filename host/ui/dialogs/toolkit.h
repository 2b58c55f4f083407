// The toolkit that shows dialogs: the headless one (dialogs driven by lines of the input
// source: "@click 105") or a desktop one (real windows). A toolkit shows the control model
// (model.h) and feeds the user's actions back through the user actions (session.h); it also
// answers what depends on how things are drawn: font metrics, text extents, list geometry and
// the system's metrics.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/ui/dialogs/model.h"

namespace host::ui {

// What a file dialog asks for.
struct FileDialogRequest {
    bool open = true;
    std::string title;             // "Open" or "Save As" unless given
    std::string defaultExtension;  // without the dot
    std::string fileName;          // initial name
    DWORD flags = 0;               // OFN_*
    struct Filter {
        std::string description;
        std::vector<std::string> patterns;  // "*.mdb"
    };
    std::vector<Filter> filters;
};
// Parses the framework's filter text ("Text Files (*.txt)|*.txt|All Files (*.*)|*.*||").
std::vector<FileDialogRequest::Filter> ParseFileFilter(const std::string& filter);
// Adds the default extension to a name without one; resolves a relative path against the
// working folder.
std::string CompleteChosenPath(const FileDialogRequest& request, const std::string& typed);

// One entry of a popup menu.
struct MenuEntry {
    UINT flags = 0;  // MF_*
    UINT_PTR id = 0;
    std::string text;  // UTF-8, with its & mnemonic marker
    bool Separator() const { return (flags & MF_SEPARATOR) != 0; }
    bool Greyed() const { return (flags & (MF_GRAYED | MF_DISABLED)) != 0; }
};
struct Menu {
    std::vector<MenuEntry> entries;
};
Menu* MenuFromHandle(HMENU handle);

// Average character width and height of a font, the units of dialog coordinates.
struct BaseUnits {
    int cx = 6;
    int cy = 13;
};

class Toolkit {
public:
    virtual ~Toolkit() = default;
    virtual const char* Name() const = 0;

    // Runs a modal dialog until its session ends (EndDialog). The dialog is initialised.
    virtual void RunModal(DialogSession& session) = 0;
    // The dialog hides while the user works in the drawing, and comes back.
    virtual void HideForEditor(DialogSession& session) = 0;
    virtual void ShowAfterEditor(DialogSession& session) = 0;

    // A file dialog: the chosen full path, or nothing when cancelled.
    virtual std::optional<std::string> ChooseFile(const FileDialogRequest& request) = 0;
    // A popup menu at a screen point: the chosen command, or 0.
    virtual UINT_PTR TrackMenu(const Menu& menu, POINT screen, Window* owner) = 0;

    // Metrics. The defaults give the headless toolkit's fixed metrics.
    virtual BaseUnits UnitsOf(const FontDesc& font);
    virtual SIZE TextExtent(const FontDesc& font, const std::string& utf8);
    virtual int SystemMetric(int index);
    virtual COLORREF SystemColour(int index);
    // A list view's header height and row height in pixels.
    virtual int ListHeaderHeight(Window& list);
    virtual int ListRowHeight(Window& list);

    // Saves a picture of a dialog as PNG (toolkits without windows say they cannot).
    virtual void Screenshot(DialogSession& session, const std::string& path);

    // Clipboard text (UTF-8); nothing when the clipboard holds no text.
    virtual std::optional<std::string> ClipboardText();
    virtual void SetClipboardText(const std::string& utf8);
    virtual void ClearClipboard();

private:
    std::optional<std::string> m_clipboard;
};

// One line of a dialog driven by the input source: reads an action ("@click 105", *Cancel*)
// and carries it out; a failing action fails the line. False when the input ended, which
// cancels the dialog. The headless toolkit runs a dialog with it, a desktop toolkit runs a
// scripted dialog with it.
bool RunScriptedDialogLine(DialogSession& session);

// The toolkit in use (the headless one unless another was installed).
Toolkit& CurrentToolkit();
// Installs a toolkit (nullptr restores the headless one); returns the previous one.
Toolkit* SetToolkit(Toolkit* toolkit);
// The headless toolkit.
Toolkit& HeadlessToolkit();

}  // namespace host::ui
