// The desktop host's main window: the drawing view, the command line (output pane, prompt and
// input line), the status bar with the cursor's coordinates and the progress meter, the File
// menu, and the menu groups' menus and toolbars.
//
// One thread: the command engine runs where wxWidgets runs, as the module's dialogs do (their
// modal loops run on the command's thread). A prompt waits for its answer in a nested event
// loop, so the window stays live while a command asks for something; a click or the typed line
// answers the prompt as typed text would ("x,y", "#2A x,y", "W x1,y1 x2,y2"), so that every
// answer goes through the same editor code as a script's.
#pragma once

#include <wx/frame.h>
#include <wx/timer.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "host/base/input.h"
#include "host/render/render.h"

class wxGauge;
class wxStaticText;
class wxTextCtrl;
class wxToolBar;
class wxMenu;
class wxBoxSizer;
class wxGUIEventLoop;

namespace host {
class Document;
}

namespace host::ui::wx {

class MainWindow;
class DrawingView;

// The prompts' answers from the window.
class WindowInput final : public InputSource {
public:
    explicit WindowInput(MainWindow& window) : m_window(window) {}
    bool IsInteractive() const override { return true; }
    std::string Location() const override { return {}; }

protected:
    std::optional<std::string> ReadRaw(std::string_view prompt) override;
    // The answer goes to the output pane after its prompt, as a script's does.
    bool EchoesAnswers() const override { return true; }

private:
    MainWindow& m_window;
};

// Recalled lines of the command line, oldest first; Up and Down walk them.
class CommandHistory {
public:
    void Add(const std::string& line);  // not blank, not a repeat of the last one
    // The line before (Up) or after (Down) the one shown; the text being typed comes back
    // after the newest line.
    std::string Older(const std::string& typing);
    std::string Newer();
    void ResetWalk() { m_at = m_lines.size(); }
    const std::vector<std::string>& Lines() const { return m_lines; }

private:
    std::vector<std::string> m_lines;
    std::size_t m_at = 0;
    std::string m_typing;
};

// Completing a command name: the names starting with the typed text (ignoring case, "_" and
// "." prefixes kept), and the longest text every match starts with.
struct Completion {
    std::vector<std::string> matches;
    std::string text;  // the typed text extended as far as the matches agree
};
Completion CompleteCommandName(const std::string& typed, const std::vector<std::string>& names);
// The built-ins' names and the loaded modules' global and local command names, sorted, once
// each.
std::vector<std::string> CommandNames();

class MainWindow final : public wxFrame {
public:
    // takesInput: the prompts are answered in the window (else a script answers them and the
    // window only shows the session).
    explicit MainWindow(bool takesInput);
    ~MainWindow() override;

    InputSource& Input() { return m_input; }
    // Waits for the answer of a prompt; nullopt once the window is closing.
    std::optional<std::string> Ask(std::string_view prompt);
    // Whether a prompt is waiting for an answer, and whether it is the "Command:" prompt.
    bool Waiting() const { return m_loop != nullptr; }
    bool AtCommandPrompt() const;
    // Answers the waiting prompt (nothing when none waits).
    void Answer(const std::string& line);
    // Answers with lines: the first to the waiting prompt (at the "Command:" prompt) or a
    // cancel first (inside a command, when cancelling), the rest typed after it.
    void Type(const std::vector<std::string>& lines, bool cancelRunningCommand);

    // Brings the title, menus, toolbars and view up to date with the session.
    void SyncWithSession();
    void ZoomExtents();

    // The File menu's actions (also reachable from tests).
    void FileNew();
    void FileOpen();
    void FileOpenPath(const std::string& path);
    void FileSave();
    void FileSaveAs();
    // Asks to save each modified drawing (Yes, No, Cancel); false when the user cancelled or a
    // save failed. Then ends the session.
    bool Quit();

    // Recent drawings, newest first, kept in the settings store.
    static std::vector<std::string> RecentFiles();
    static void AddRecentFile(const std::string& path);

    // The command line's pieces and the view, for tests and the status bar.
    wxTextCtrl* OutputPane() const { return m_output; }
    wxTextCtrl* InputLine() const { return m_line; }
    wxStaticText* PromptLabel() const { return m_prompt; }
    DrawingView* View() const { return m_view; }
    std::string StatusCoordinates() const;
    std::string Title() const;
    // The wx id of the menu item "group > menu > item" of the menu groups' menus; -1 if none.
    int MenuItemId(const std::string& path) const;
    wxToolBar* GroupToolbar(std::size_t index) const;
    CommandHistory& History() { return m_history; }

    // The output pane hears the command line and the errors; the status bar the meter.
    void AppendOutput(std::string_view text, bool isError);
    void ShowProgress();

    void SetCoordinates(const std::string& text);

private:
    void BuildMenus();
    void BuildGroupMenus();
    std::string GroupSignature() const;
    void UpdateTitle();
    void UpdateRecentMenu();
    void SyncRecentFiles();
    bool SaveDocumentTo(host::Document& doc, const std::string& path);
    bool SaveDocumentAsked(host::Document& doc);

    void OnClose(wxCloseEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnLineKey(wxKeyEvent& event);
    void OnLineEnter(wxCommandEvent& event);
    void OnMenu(wxCommandEvent& event);
    void OnSize(wxSizeEvent& event);

    WindowInput m_input;
    bool m_takesInput;
    wxWindow* m_panel = nullptr;
    DrawingView* m_view = nullptr;
    wxTextCtrl* m_output = nullptr;
    wxTextCtrl* m_line = nullptr;
    wxStaticText* m_prompt = nullptr;
    wxGauge* m_gauge = nullptr;
    wxBoxSizer* m_toolbars = nullptr;
    wxMenu* m_recentMenu = nullptr;
    std::vector<wxToolBar*> m_groupToolbars;
    std::vector<wxMenu*> m_groupMenus;
    std::vector<std::string> m_itemPaths;  // by id - kFirstGroupItem
    std::vector<std::string> m_recentShown;
    std::string m_groupSignature;
    std::string m_promptText;
    CommandHistory m_history;
    wxGUIEventLoop* m_loop = nullptr;
    std::optional<std::string> m_answer;
    std::deque<std::string> m_pendingLines;  // typed before a prompt was waiting
    bool m_closing = false;
    bool m_quitting = false;
    long long m_lastYield = 0;
};

// The main window while one is open.
MainWindow* CurrentMainWindow();
// Opens the main window (the console host does for --ui gui); its input when it takes the
// prompts' answers. Needs the desktop toolkit started.
InputSource* OpenMainWindow(bool takesInput);
void CloseMainWindow();

// Converting drawing points to what a prompt is answered with.
std::string PointAnswer(double x, double y);

}  // namespace host::ui::wx
