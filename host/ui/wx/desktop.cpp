// The desktop toolkit's life (start, stop), its modal runs (a native modal loop; a script
// drives the dialog from the loop's idle time, one action line at a time, so the window
// repaints between actions), what it answers about metrics, and pictures of dialogs.
#include "host/ui/wx/desktop.h"

#include <wx/combobox.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/evtloop.h>
#include <wx/listctrl.h>
#include <wx/textctrl.h>
#include <wx/treectrl.h>

#include <cstdlib>
#include <filesystem>

#include "host/base/command_line.h"
#include "host/base/report.h"
#include "host/ui/dialogs/controls.h"
#include "host/ui/input_source.h"
#include "host/ui/wx/main_window.h"
#include "host/ui/wx/web_pane.h"
#include "host/ui/wx/wx_toolkit.h"

namespace host::ui::wx {

namespace {

class DesktopApp : public wxApp {
public:
    bool OnInit() override { return true; }
    // The console reports errors itself; wxWidgets' own log windows would wait for a click.
    void OnAssertFailure(const wxChar*, int, const wxChar*, const wxChar*, const wxChar*) override {
    }
};

struct Installed {
    std::unique_ptr<WxToolkit> toolkit;
    std::unique_ptr<WxUiSink> sink;
    Toolkit* previousToolkit = nullptr;
    UiSink* previousSink = nullptr;
};
std::unique_ptr<Installed> g_installed;
bool g_wxStarted = false;

}  // namespace

WxToolkit* CurrentWxToolkit() {
    return g_installed ? g_installed->toolkit.get() : nullptr;
}

// ---- Start and stop -----------------------------------------------------------------------------

std::string StartDesktopToolkit(const std::string& screenshotFolder) {
    if (g_installed)
        return {};
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!display || !*display) && (!wayland || !*wayland))
        return "no display (DISPLAY is not set); run under a desktop or xvfb-run";
    if (!screenshotFolder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(screenshotFolder, ec);
        if (ec || !std::filesystem::is_directory(screenshotFolder))
            return "cannot make the folder " + screenshotFolder + " for dialog pictures";
    }
    if (!g_wxStarted) {
        wxApp::SetInstance(new DesktopApp);
        static char name[] = "cadhost";
        static char* argv[] = {name, nullptr};
        int argc = 1;
        wxLog::EnableLogging(false);
        if (!wxEntryStart(argc, argv)) {
            wxEntryCleanup();
            return std::string("cannot open the display ") + (display ? display : "");
        }
        wxTheApp->CallOnInit();
        wxInitAllImageHandlers();
        g_wxStarted = true;
    }
    auto installed = std::make_unique<Installed>();
    installed->toolkit = std::make_unique<WxToolkit>(screenshotFolder);
    installed->previousToolkit = SetToolkit(installed->toolkit.get());
    SetModelObserver(installed->toolkit.get());
    installed->sink = std::make_unique<WxUiSink>(&CurrentUiSink());
    installed->previousSink = SetUiSink(installed->sink.get());
    g_installed = std::move(installed);
    return {};
}

void StopDesktopToolkit() {
    if (g_installed) {
        SetModelObserver(nullptr);
        SetToolkit(g_installed->previousToolkit);
        SetUiSink(g_installed->previousSink);
        g_installed.reset();
    }
    if (g_wxStarted) {
        ForgetFonts();
        wxEntryCleanup();
        g_wxStarted = false;
    }
}

// ---- The toolkit ------------------------------------------------------------------------------

WxToolkit::WxToolkit(std::string screenshotFolder) : m_screenshots(std::move(screenshotFolder)) {
    wxTheApp->Bind(wxEVT_IDLE, &WxToolkit::OnIdle, this);
}

WxToolkit::~WxToolkit() {
    wxTheApp->Unbind(wxEVT_IDLE, &WxToolkit::OnIdle, this);
}

ModalRun* WxToolkit::RunOf(const DialogSession* session) {
    for (ModalRun* run : m_runs) {
        if (run->session == session)
            return run;
    }
    return nullptr;
}

wxWindow* WxToolkit::TopNative() {
    for (auto it = Sessions().rbegin(); it != Sessions().rend(); ++it) {
        if (wxWindow* native = NativeOf(&(*it)->root); native && native->IsShown())
            return native;
    }
    return nullptr;
}

void WxToolkit::RunModal(DialogSession& session) {
    Flush();
    auto* dialog = dynamic_cast<wxDialog*>(NativeOf(&session.root));
    if (!dialog) {
        HeadlessToolkit().RunModal(session);
        return;
    }
    ModalRun run;
    run.session = &session;
    run.dialog = dialog;
    run.scripted = !CurrentInput().IsInteractive();
    m_runs.push_back(&run);
    struct Pop {
        std::vector<ModalRun*>& runs;
        ~Pop() { runs.pop_back(); }
    } pop{m_runs};
    if (!session.ended)
        dialog->ShowModal();
    if (run.error)
        std::rethrow_exception(run.error);
}

void WxToolkit::OnIdle(wxIdleEvent& event) {
    event.Skip();
    m_wakePending = false;
    Flush();
    if (m_runs.empty())
        return;
    ModalRun& run = *m_runs.back();
    if (run.busy || run.session->ended || InnermostSession() != run.session ||
        !run.dialog->IsShown())
        return;
    if (!run.ready) {
        // The first time the dialog is on the screen: it takes the model's focus, and its
        // picture is taken when pictures were asked for (no script line runs meanwhile).
        run.ready = true;
        run.busy = true;
        Settle(run.dialog, 60);
        Flush();
        if (!m_screenshots.empty() && !run.pictured) {
            run.pictured = true;
            std::string name = run.session->TemplateName();
            for (char& c : name) {
                if (c == '/' || c == '\\')
                    c = '_';
            }
            const int n = ++m_pictureCounts[name];
            try {
                TakePicture(run, (std::filesystem::path(m_screenshots) /
                                  (name + "-" + std::to_string(n) + ".png"))
                                     .string());
            } catch (const ActionError& error) {
                ReportWarning(error.what());
            }
        }
        run.busy = false;
    }
    if (!run.scripted)
        return;
    if (WaitingForPages(run)) {
        wxMilliSleep(5);
        event.RequestMore();
        return;
    }
    run.busy = true;
    try {
        RunScriptedDialogLine(*run.session);
    } catch (...) {
        run.error = std::current_exception();
        run.dialog->EndModal(IDCANCEL);
    }
    run.busy = false;
    Flush();
    event.RequestMore();
}

namespace {

bool AnyPageLoading(wxWindow* window) {
    if (BrowserPaneBusy(window))
        return true;
    for (wxWindow* child : window->GetChildren()) {
        if (AnyPageLoading(child))
            return true;
    }
    return false;
}

}  // namespace

bool WxToolkit::WaitingForPages(ModalRun& run) {
    constexpr int kPageWaitMilliseconds = 10000;
    if (!AnyPageLoading(run.dialog)) {
        run.pageWait = 0;
        return false;
    }
    const wxLongLong now = wxGetLocalTimeMillis();
    if (run.pageWait == 0)
        run.pageWait = now + kPageWaitMilliseconds;
    // A page that does not finish loading in time does not hold the script up for ever.
    return now < run.pageWait;
}

void WxToolkit::Settle(wxWindow* window, int milliseconds) {
    window->Update();
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    const wxLongLong end = wxGetLocalTimeMillis() + milliseconds;
    do {
        if (loop)
            loop->YieldFor(wxEVT_CATEGORY_UI);
        window->Update();
        wxMilliSleep(2);
    } while (wxGetLocalTimeMillis() < end);
}

void WxToolkit::HideForEditor(DialogSession& session) {
    Flush();
    if (auto* dialog = dynamic_cast<wxDialog*>(NativeOf(&session.root)))
        dialog->wxTopLevelWindow::Show(false);  // hidden, its modal loop still running
}

void WxToolkit::ShowAfterEditor(DialogSession& session) {
    Flush();
    if (auto* dialog = dynamic_cast<wxDialog*>(NativeOf(&session.root)))
        dialog->wxTopLevelWindow::Show(true);
}

std::optional<std::string> WxToolkit::ChooseFile(const FileDialogRequest& request) {
    // A script names the file on its lines, as it does without windows.
    if (!CurrentInput().IsInteractive())
        return HeadlessToolkit().ChooseFile(request);
    Flush();
    return ShowFileDialog(TopNative(), request);
}

UINT_PTR WxToolkit::TrackMenu(const Menu& menu, POINT screen, Window* owner) {
    if (!CurrentInput().IsInteractive())
        return HeadlessToolkit().TrackMenu(menu, screen, owner);
    Flush();
    Window* shown = owner;
    wxWindow* native = NativeOf(shown);
    if (!native) {
        shown = InnermostSession() ? &InnermostSession()->root : nullptr;
        native = TopNative();
    }
    if (!native || !shown)
        return 0;
    // The model's screen point, through the window's client coordinates, on the screen.
    const POINT origin = shown->ClientOriginOnScreen();
    const wxPoint at = native->ClientToScreen(wxPoint(screen.x - origin.x, screen.y - origin.y));
    return ShowPopupMenu(native, menu, POINT{at.x, at.y});
}

// ---- Metrics
// -------------------------------------------------------------------------------------

BaseUnits WxToolkit::UnitsOf(const FontDesc& font) {
    return MeasureUnits(font);
}

SIZE WxToolkit::TextExtent(const FontDesc& font, const std::string& utf8) {
    return MeasureText(font, utf8);
}

int WxToolkit::SystemMetric(int index) {
    switch (index) {
        case SM_CXSCREEN:
        case SM_CXFULLSCREEN:
            return wxSystemSettings::GetMetric(wxSYS_SCREEN_X);
        case SM_CYSCREEN:
        case SM_CYFULLSCREEN:
            return wxSystemSettings::GetMetric(wxSYS_SCREEN_Y);
        case SM_CXVSCROLL: {
            const int width = wxSystemSettings::GetMetric(wxSYS_VSCROLL_X);
            return width > 0 ? width : Toolkit::SystemMetric(index);
        }
        case SM_CYHSCROLL: {
            const int height = wxSystemSettings::GetMetric(wxSYS_HSCROLL_Y);
            return height > 0 ? height : Toolkit::SystemMetric(index);
        }
        default:
            return Toolkit::SystemMetric(index);
    }
}

COLORREF WxToolkit::SystemColour(int index) {
    wxSystemColour colour = wxSYS_COLOUR_WINDOWTEXT;
    switch (index) {
        case COLOR_WINDOW:
            colour = wxSYS_COLOUR_WINDOW;
            break;
        case COLOR_WINDOWTEXT:
            colour = wxSYS_COLOUR_WINDOWTEXT;
            break;
        case COLOR_BTNFACE:
            colour = wxSYS_COLOUR_BTNFACE;
            break;
        case COLOR_BTNTEXT:
            colour = wxSYS_COLOUR_BTNTEXT;
            break;
        case COLOR_GRAYTEXT:
            colour = wxSYS_COLOUR_GRAYTEXT;
            break;
        case COLOR_HOTLIGHT:
            colour = wxSYS_COLOUR_HOTLIGHT;
            break;
        default:
            return Toolkit::SystemColour(index);
    }
    const wxColour c = wxSystemSettings::GetColour(colour);
    return RGB(c.Red(), c.Green(), c.Blue());
}

int WxToolkit::ListHeaderHeight(Window& list) {
    return ListMetricsOf(list).header;
}

int WxToolkit::ListRowHeight(Window& list) {
    return ListMetricsOf(list).row;
}

// ---- Pictures
// ------------------------------------------------------------------------------------

void WxToolkit::Screenshot(DialogSession& session, const std::string& path) {
    ModalRun* run = RunOf(&session);
    if (!run)
        throw ActionError("the dialog \"" + session.Caption() + "\" is not on the screen");
    TakePicture(*run, path);
}

void WxToolkit::TakePicture(ModalRun& run, const std::string& path) {
    Flush();
    // GTK draws a changed control on its next frame, which may come late on a virtual server:
    // the picture waits long enough for every control to show the model.
    Settle(run.dialog, 250);
    wxBitmap bitmap;
    if (MainWindow* main = CurrentMainWindow(); main && main->IsShown()) {
        // With the main window on the screen: the window with the dialog over it, as the
        // screen shows them.
        main->Update();
        const wxRect rect = main->GetScreenRect();
        bitmap = wxBitmap(rect.width, rect.height, 24);
        wxMemoryDC memory(bitmap);
        wxScreenDC screen;
        memory.Blit(0, 0, rect.width, rect.height, &screen, rect.x, rect.y);
    } else {
        // What the dialog's client area shows on the screen, its controls included.
        const wxSize size = run.dialog->GetClientSize();
        bitmap = wxBitmap(size.x, size.y, 24);
        wxMemoryDC memory(bitmap);
        wxClientDC client(run.dialog);
        memory.Blit(0, 0, size.x, size.y, &client, 0, 0);
    }
    std::error_code ec;
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty())
        std::filesystem::create_directories(parent, ec);
    if (!bitmap.SaveFile(Wx(path), wxBITMAP_TYPE_PNG))
        throw ActionError("cannot write the picture " + path);
    CommandLineWrite("\nPicture of \"" + run.session->Caption() + "\" saved as " + path);
}

// ---- Clipboard ----------------------------------------------------------------------------------

std::optional<std::string> WxToolkit::ClipboardText() {
    // Without the desktop's clipboard, the toolkit keeps its own.
    bool opened = false;
    std::optional<std::string> text = ReadClipboard(opened);
    return opened ? text : Toolkit::ClipboardText();
}

void WxToolkit::SetClipboardText(const std::string& utf8) {
    if (!WriteClipboard(utf8))
        Toolkit::SetClipboardText(utf8);
}

void WxToolkit::ClearClipboard() {
    EmptyClipboard();
    Toolkit::ClearClipboard();
}

// ---- Inspection for tests ---------------------------------------------------------------------

std::optional<NativeState> InspectNative(Window& window) {
    WxToolkit* toolkit = CurrentWxToolkit();
    if (!toolkit)
        return std::nullopt;
    toolkit->Flush();
    wxWindow* native = toolkit->NativeOf(&window);
    if (!native)
        return std::nullopt;
    NativeState state;
    const wxRect rect =
        native->IsTopLevel() ? wxRect(wxPoint(0, 0), native->GetClientSize()) : native->GetRect();
    state.rect = RECT{rect.x, rect.y, rect.x + rect.width, rect.y + rect.height};
    state.shown = native->IsShown();
    state.enabled = native->IsEnabled();
    state.focused = toolkit->ModelOf(wxWindow::FindFocus()) == &window;
    if (auto* edit = dynamic_cast<wxTextCtrl*>(native))
        state.text = Utf8(edit->GetValue());
    else if (auto* top = dynamic_cast<wxTopLevelWindow*>(native))
        state.text = Utf8(top->GetTitle());
    else if (auto* combo = dynamic_cast<wxComboBox*>(native))
        state.text = Utf8(combo->GetValue());
    else if (IsWebView(native))
        state.text = BrowserPaneAddress(native);
    else if (auto* tree = dynamic_cast<wxTreeCtrl*>(native))
        state.text = tree->GetSelection().IsOk() ? Utf8(tree->GetItemText(tree->GetSelection()))
                                                 : std::string();
    else
        state.text = Utf8(native->GetLabel());
    if (auto* box = dynamic_cast<wxCheckBox*>(native))
        state.check = static_cast<int>(box->Get3StateValue());
    if (auto* radio = dynamic_cast<wxRadioButton*>(native))
        state.check = radio->GetValue() ? 1 : 0;
    if (auto* items = dynamic_cast<wxItemContainer*>(native))
        state.selection = items->GetSelection();
    if (auto* list = dynamic_cast<wxListCtrl*>(native)) {
        state.rows = list->GetItemCount();
        state.selection =
            static_cast<int>(list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED));
    }
    return state;
}

std::optional<RECT> NativeCellRect(Window& list, int row, int column) {
    WxToolkit* toolkit = CurrentWxToolkit();
    if (!toolkit)
        return std::nullopt;
    toolkit->Flush();
    auto* native = dynamic_cast<wxListCtrl*>(toolkit->NativeOf(&list));
    wxRect rect;
    if (!native || !native->GetSubItemRect(row, column, rect))
        return std::nullopt;
    return RECT{rect.x, rect.y, rect.x + rect.width, rect.y + rect.height};
}

std::optional<POINT> NativeScreenPoint(Window& window, POINT client) {
    WxToolkit* toolkit = CurrentWxToolkit();
    if (!toolkit)
        return std::nullopt;
    toolkit->Flush();
    wxWindow* native = toolkit->NativeOf(&window);
    if (!native)
        return std::nullopt;
    const wxPoint at = native->ClientToScreen(wxPoint(client.x, client.y));
    return POINT{at.x, at.y};
}

int NativeTopRow(Window& list) {
    WxToolkit* toolkit = CurrentWxToolkit();
    auto* native = toolkit ? dynamic_cast<wxListCtrl*>(toolkit->NativeOf(&list)) : nullptr;
    return native ? static_cast<int>(native->GetTopItem()) : -1;
}

void ScrollNative(Window& list, int rows, int pixels) {
    WxToolkit* toolkit = CurrentWxToolkit();
    auto* native = toolkit ? dynamic_cast<wxListCtrl*>(toolkit->NativeOf(&list)) : nullptr;
    if (!native)
        return;
    toolkit->Flush();
    int x = 0, y = 0, unitX = 1, unitY = 1;
    native->GetViewStart(&x, &y);
    native->GetScrollPixelsPerUnit(&unitX, &unitY);
    native->Scroll(x + pixels / std::max(1, unitX), y + rows);
    native->Update();
}

}  // namespace host::ui::wx
