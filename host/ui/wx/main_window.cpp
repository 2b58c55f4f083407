#include "host/ui/wx/main_window.h"

#include <wx/artprov.h>
#include <wx/evtloop.h>
#include <wx/filedlg.h>
#include <wx/gauge.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/splitter.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/toolbar.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

#include "host/base/command_line.h"
#include "host/base/interrupt.h"
#include "host/base/text.h"
#include "host/session/command_stack.h"
#include "host/session/documents.h"
#include "host/session/drawing_io.h"
#include "host/session/menu_groups.h"
#include "host/ui/builtins.h"
#include "host/ui/editor.h"
#include "host/ui/input_source.h"
#include "host/ui/progress_meter.h"
#include "host/ui/ui_sink.h"
#include "host/ui/wx/drawing_view.h"
#include "host/ui/wx/wx_toolkit.h"
#include "platform/afxwin.h"
#include "platform/winreg.h"

namespace host::ui::wx {

namespace {

enum : int {
    kZoomExtents = wxID_HIGHEST + 1,
    kFirstRecent = wxID_HIGHEST + 10,
    kRecentCount = 8,
    kFirstGroupItem = wxID_HIGHEST + 100,
};

constexpr const char* kRecentKey = "Software\\Quarvel\\cadhost\\Recent Files";
constexpr long kYieldEveryMs = 50;  // how often long work lets the user's Esc in

MainWindow* g_window = nullptr;

void HearCommandLine(std::string_view text, bool isError) {
    if (g_window)
        g_window->AppendOutput(text, isError);
}

void HearProgress() {
    if (g_window)
        g_window->ShowProgress();
}

std::string PromptLabelText(std::string_view prompt) {
    std::string text(prompt);
    while (!text.empty() && (text.front() == '\n' || text.front() == '\r'))
        text.erase(text.begin());
    const std::size_t lastBreak = text.find_last_of('\n');
    if (lastBreak != std::string::npos)
        text.erase(0, lastBreak + 1);
    return text;
}

}  // namespace

// ---- Answers ------------------------------------------------------------------------------------

std::string PointAnswer(double x, double y) {
    char buf[80];
    std::snprintf(buf, sizeof buf, "%.10g,%.10g", x, y);
    return buf;
}

std::optional<std::string> WindowInput::ReadRaw(std::string_view prompt) {
    return m_window.Ask(prompt);
}

void CommandHistory::Add(const std::string& line) {
    if (!TrimBlanks(line).empty() && (m_lines.empty() || m_lines.back() != line))
        m_lines.push_back(line);
    ResetWalk();
}

std::string CommandHistory::Older(const std::string& typing) {
    if (m_at == m_lines.size())
        m_typing = typing;
    if (m_at > 0)
        --m_at;
    return m_lines.empty() ? typing : m_lines[m_at];
}

std::string CommandHistory::Newer() {
    if (m_at < m_lines.size())
        ++m_at;
    return m_at == m_lines.size() ? m_typing : m_lines[m_at];
}

Completion CompleteCommandName(const std::string& typed, const std::vector<std::string>& names) {
    Completion result;
    std::string_view word = typed;
    std::string prefix;
    while (!word.empty() && (word.front() == '_' || word.front() == '.')) {
        prefix += word.front();
        word.remove_prefix(1);
    }
    for (const std::string& name : names) {
        if (name.size() >= word.size() &&
            EqualNoCase(std::string_view(name).substr(0, word.size()), word))
            result.matches.push_back(name);
    }
    if (result.matches.empty()) {
        result.text = typed;
        return result;
    }
    std::string common = result.matches.front();
    for (const std::string& match : result.matches) {
        std::size_t n = 0;
        while (n < common.size() && n < match.size() &&
               FoldKey(common.substr(n, 1)) == FoldKey(match.substr(n, 1)))
            ++n;
        common.resize(n);
    }
    // The names' own spelling once they say more than was typed.
    result.text = common.size() > word.size() ? prefix + common : typed;
    return result;
}

std::vector<std::string> CommandNames() {
    std::vector<std::string> names;
    for (const Builtin& builtin : Builtins())
        names.push_back(builtin.name);
    for (const Command* command : Commands().Commands()) {
        names.push_back(command->globalNameUtf8());
        names.push_back(command->localNameUtf8());
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return FoldKey(a) < FoldKey(b); });
    names.erase(
        std::unique(names.begin(), names.end(),
                    [](const std::string& a, const std::string& b) { return EqualNoCase(a, b); }),
        names.end());
    names.erase(std::remove(names.begin(), names.end(), std::string()), names.end());
    return names;
}

// ---- The window ---------------------------------------------------------------------------------

MainWindow::MainWindow(bool takesInput)
    : wxFrame(nullptr, wxID_ANY, "cadhost", wxPoint(0, 0), wxSize(1100, 760)),
      m_input(*this),
      m_takesInput(takesInput) {
    auto* panel = new wxPanel(this);
    m_panel = panel;
    auto* column = new wxBoxSizer(wxVERTICAL);
    m_toolbars = new wxBoxSizer(wxHORIZONTAL);
    column->Add(m_toolbars, 0, wxEXPAND);

    auto* split = new wxSplitterWindow(panel, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                       wxSP_LIVE_UPDATE | wxSP_3D);
    m_view = new DrawingView(split, *this);
    auto* commandPanel = new wxPanel(split);
    auto* commandColumn = new wxBoxSizer(wxVERTICAL);
    m_output = new wxTextCtrl(commandPanel, wxID_ANY, "", wxDefaultPosition, wxSize(-1, 120),
                              wxTE_MULTILINE | wxTE_READONLY | wxTE_RICH2 | wxTE_DONTWRAP);
    m_output->SetFont(wxFont(wxFontInfo(9).Family(wxFONTFAMILY_TELETYPE)));
    auto* lineRow = new wxBoxSizer(wxHORIZONTAL);
    m_prompt = new wxStaticText(commandPanel, wxID_ANY, "");
    m_line = new wxTextCtrl(commandPanel, wxID_ANY, "", wxDefaultPosition, wxDefaultSize,
                            wxTE_PROCESS_ENTER | wxTE_PROCESS_TAB | wxWANTS_CHARS);
    m_line->SetFont(m_output->GetFont());
    m_prompt->SetFont(m_output->GetFont());
    lineRow->Add(m_prompt, 0, wxALIGN_CENTER_VERTICAL | wxLEFT | wxRIGHT, 4);
    lineRow->Add(m_line, 1, wxEXPAND);
    commandColumn->Add(m_output, 1, wxEXPAND);
    commandColumn->Add(lineRow, 0, wxEXPAND | wxTOP, 2);
    commandPanel->SetSizer(commandColumn);
    split->SplitHorizontally(m_view, commandPanel, -160);
    split->SetSashGravity(1.0);
    split->SetMinimumPaneSize(60);
    column->Add(split, 1, wxEXPAND);
    panel->SetSizer(column);

    CreateStatusBar(3);
    const int widths[] = {-1, 220, 200};
    GetStatusBar()->SetStatusWidths(3, widths);
    m_gauge = new wxGauge(GetStatusBar(), wxID_ANY, 100);
    m_gauge->Hide();

    BuildMenus();
    SyncWithSession();

    Bind(wxEVT_CLOSE_WINDOW, &MainWindow::OnClose, this);
    Bind(wxEVT_CHAR_HOOK, &MainWindow::OnCharHook, this);
    Bind(wxEVT_MENU, &MainWindow::OnMenu, this);
    Bind(wxEVT_TOOL, &MainWindow::OnMenu, this);
    GetStatusBar()->Bind(wxEVT_SIZE, &MainWindow::OnSize, this);
    m_line->Bind(wxEVT_KEY_DOWN, &MainWindow::OnLineKey, this);
    m_line->Bind(wxEVT_TEXT_ENTER, &MainWindow::OnLineEnter, this);
    Bind(wxEVT_IDLE, [this](wxIdleEvent& event) {
        event.Skip();
        SyncWithSession();
    });
    g_window = this;
    SetCommandLineListener(&HearCommandLine);
    SetProgressListener(&HearProgress);
}

MainWindow::~MainWindow() {
    SetCommandLineListener(nullptr);
    SetProgressListener(nullptr);
    if (g_window == this)
        g_window = nullptr;
}

void MainWindow::BuildMenus() {
    auto* bar = new wxMenuBar;
    auto* file = new wxMenu;
    file->Append(wxID_NEW, "&New\tCtrl+N");
    file->Append(wxID_OPEN, "&Open...\tCtrl+O");
    file->Append(wxID_SAVE, "&Save\tCtrl+S");
    file->Append(wxID_SAVEAS, "Save &As...\tCtrl+Shift+S");
    file->AppendSeparator();
    m_recentMenu = new wxMenu;
    file->AppendSubMenu(m_recentMenu, "Recent &Files");
    file->AppendSeparator();
    file->Append(wxID_EXIT, "&Quit\tCtrl+Q");
    bar->Append(file, "&File");
    auto* view = new wxMenu;
    view->Append(kZoomExtents, "Zoom &Extents\tCtrl+E");
    bar->Append(view, "&View");
    SetMenuBar(bar);

    auto* tools = new wxToolBar(m_panel, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                wxTB_HORIZONTAL | wxTB_FLAT);
    tools->AddTool(wxID_OPEN, "Open", wxArtProvider::GetBitmap(wxART_FILE_OPEN, wxART_TOOLBAR),
                   "Opens a drawing");
    tools->AddTool(wxID_SAVE, "Save", wxArtProvider::GetBitmap(wxART_FILE_SAVE, wxART_TOOLBAR),
                   "Saves the drawing");
    tools->AddTool(kZoomExtents, "Zoom extents",
                   wxArtProvider::GetBitmap(wxART_FULL_SCREEN, wxART_TOOLBAR),
                   "Shows the whole drawing");
    tools->Realize();
    m_toolbars->Add(tools, 0, wxEXPAND);
    UpdateRecentMenu();
}

std::string MainWindow::GroupSignature() const {
    std::string signature;
    for (const auto& group : MenuGroups()) {
        signature += group->name + '\x1f';
        std::function<void(const host::PopupMenu&)> add = [&](const host::PopupMenu& menu) {
            signature += menu.name + '\x1e';
            for (const auto& item : menu.items) {
                signature += item->label + '\x1d' + item->macro + '\x1c';
                if (item->subMenu)
                    add(*item->subMenu);
            }
        };
        for (const auto& menu : group->menus)
            add(*menu);
        for (const auto& toolbar : group->toolbars) {
            signature += toolbar->name + '\x1e';
            for (const auto& item : toolbar->items)
                signature += item->name + '\x1d';
        }
    }
    return signature;
}

void MainWindow::BuildGroupMenus() {
    wxMenuBar* bar = GetMenuBar();
    // The groups' menus follow File and View; old ones go first.
    while (bar->GetMenuCount() > 2)
        delete bar->Remove(2);
    for (wxToolBar* toolbar : m_groupToolbars) {
        m_toolbars->Detach(toolbar);
        toolbar->Destroy();
    }
    m_groupToolbars.clear();
    m_itemPaths.clear();

    std::function<void(wxMenu*, const host::PopupMenu&, const std::string&)> fill =
        [&](wxMenu* into, const host::PopupMenu& menu, const std::string& path) {
            for (const auto& item : menu.items) {
                switch (item->kind) {
                    case MenuItem::Kind::Separator:
                        into->AppendSeparator();
                        break;
                    case MenuItem::Kind::SubMenu: {
                        auto* sub = new wxMenu;
                        fill(sub, *item->subMenu, path + " > " + item->label);
                        into->AppendSubMenu(sub, Wx(item->label));
                        break;
                    }
                    case MenuItem::Kind::Command: {
                        const int id = kFirstGroupItem + static_cast<int>(m_itemPaths.size());
                        m_itemPaths.push_back(path + " > " + item->label);
                        // '&' would make a mnemonic of the next letter.
                        wxString label = Wx(item->label);
                        label.Replace("&", "&&");
                        into->Append(id, label, Wx(item->macro));
                        break;
                    }
                }
            }
        };
    for (const auto& group : MenuGroups()) {
        for (const auto& menu : group->menus) {
            auto* popup = new wxMenu;
            fill(popup, *menu, group->name + " > " + menu->name);
            bar->Append(popup, Wx(menu->name));
        }
        for (const auto& toolbar : group->toolbars) {
            auto* tools = new wxToolBar(m_panel, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                        wxTB_HORIZONTAL | wxTB_FLAT | wxTB_TEXT | wxTB_NOICONS);
            for (const auto& item : toolbar->items) {
                if (item->kind == ToolbarItem::Kind::Separator) {
                    tools->AddSeparator();
                    continue;
                }
                const int id = kFirstGroupItem + static_cast<int>(m_itemPaths.size());
                // A button is chosen by its toolbar's path, as MENUPICK would not reach it:
                // its macro is kept under a path of its own.
                m_itemPaths.push_back("\x01" + item->macro);
                tools->AddTool(id, Wx(item->name), wxNullBitmap,
                               Wx(item->help.empty() ? item->name : item->help));
            }
            tools->Realize();
            m_toolbars->Add(tools, 0, wxEXPAND | wxLEFT, 8);
            m_groupToolbars.push_back(tools);
        }
    }
    m_panel->Layout();
}

int MainWindow::MenuItemId(const std::string& path) const {
    for (std::size_t i = 0; i < m_itemPaths.size(); ++i) {
        if (EqualNoCase(m_itemPaths[i], path))
            return kFirstGroupItem + static_cast<int>(i);
    }
    return -1;
}

wxToolBar* MainWindow::GroupToolbar(std::size_t index) const {
    return index < m_groupToolbars.size() ? m_groupToolbars[index] : nullptr;
}

void MainWindow::SyncWithSession() {
    UpdateTitle();
    if (std::string signature = GroupSignature(); signature != m_groupSignature) {
        m_groupSignature = std::move(signature);
        BuildGroupMenus();
    }
    m_view->CheckDrawingChanged();
}

void MainWindow::SyncRecentFiles() {
    // Only a session of the user's own goes into the recent drawings (not a script's).
    if (!m_takesInput)
        return;
    if (const Document* doc = CurrentDocument(); doc && !doc->Path().empty()) {
        const std::vector<std::string> recent = RecentFiles();
        if (recent.empty() || recent.front() != doc->Path())
            AddRecentFile(doc->Path());
    }
    UpdateRecentMenu();
}

std::string MainWindow::Title() const {
    return Utf8(GetTitle());
}

void MainWindow::UpdateTitle() {
    const Document* doc = CurrentDocument();
    std::string title = doc ? std::string(doc->docTitleUtf8()) : std::string("no drawing");
    if (doc && doc->Modified())
        title += " *";
    title += " - " + HostTitle();
    if (Title() != title)
        SetTitle(Wx(title));
}

// ---- Recent files -------------------------------------------------------------------------------

std::vector<std::string> MainWindow::RecentFiles() {
    std::vector<std::string> files;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRecentKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return files;
    for (int i = 1; i <= kRecentCount; ++i) {
        const std::string name = "File" + std::to_string(i);
        char buffer[4096];
        DWORD size = sizeof buffer;
        DWORD type = 0;
        if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                             &size) != ERROR_SUCCESS ||
            type != REG_SZ)
            continue;
        std::string path(buffer, strnlen(buffer, std::min<DWORD>(size, sizeof buffer)));
        if (!path.empty())
            files.push_back(path);
    }
    RegCloseKey(key);
    return files;
}

void MainWindow::AddRecentFile(const std::string& path) {
    std::vector<std::string> files = RecentFiles();
    files.erase(std::remove(files.begin(), files.end(), path), files.end());
    files.insert(files.begin(), path);
    if (files.size() > static_cast<std::size_t>(kRecentCount))
        files.resize(kRecentCount);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kRecentKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    for (int i = 1; i <= kRecentCount; ++i) {
        const std::string name = "File" + std::to_string(i);
        if (i <= static_cast<int>(files.size())) {
            const std::string& value = files[i - 1];
            RegSetValueExA(key, name.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>(value.size() + 1));
        } else {
            RegDeleteValueA(key, name.c_str());
        }
    }
    RegCloseKey(key);
}

void MainWindow::UpdateRecentMenu() {
    std::vector<std::string> files = RecentFiles();
    if (files == m_recentShown)
        return;
    m_recentShown = files;
    while (m_recentMenu->GetMenuItemCount() > 0)
        m_recentMenu->Destroy(m_recentMenu->FindItemByPosition(0));
    for (std::size_t i = 0; i < files.size(); ++i) {
        wxString label = wxString::Format("&%d %s", static_cast<int>(i + 1), Wx(files[i]));
        m_recentMenu->Append(kFirstRecent + static_cast<int>(i), label);
    }
    if (files.empty())
        m_recentMenu->Append(kFirstRecent + kRecentCount, "(none)")->Enable(false);
}

// ---- Prompts ------------------------------------------------------------------------------------

std::optional<std::string> MainWindow::Ask(std::string_view prompt) {
    if (m_closing)
        return std::nullopt;
    m_promptText = PromptLabelText(prompt);
    m_prompt->SetLabel(Wx(m_promptText));
    m_line->GetParent()->Layout();
    SyncWithSession();
    SyncRecentFiles();
    if (!m_quitting && IsShown() && !m_line->HasFocus())
        m_line->SetFocus();

    wxGUIEventLoop loop;
    m_loop = &loop;
    m_answer.reset();
    m_view->PromptChanged();
    loop.Run();
    m_loop = nullptr;
    m_history.ResetWalk();
    if (!m_answer)
        return std::nullopt;
    std::string answer = std::move(*m_answer);
    m_answer.reset();
    return answer;
}

bool MainWindow::AtCommandPrompt() const {
    return m_loop && !m_input.InCommand();
}

void MainWindow::Answer(const std::string& line) {
    if (!m_loop || m_answer)
        return;
    m_answer = line;
    m_view->CancelWindow();
    m_loop->ScheduleExit();
}

void MainWindow::Type(const std::vector<std::string>& lines, bool cancelRunningCommand) {
    if (lines.empty() || !Waiting() || m_answer)
        return;
    if (!AtCommandPrompt() && cancelRunningCommand) {
        QueueTypeahead(lines);
        Answer("*Cancel*");
        return;
    }
    QueueTypeahead(std::vector<std::string>(lines.begin() + 1, lines.end()));
    Answer(lines.front());
}

void MainWindow::AppendOutput(std::string_view text, bool isError) {
    if (!m_output)
        return;
    if (isError) {
        m_output->SetDefaultStyle(wxTextAttr(wxColour(200, 0, 0)));
        if (!m_output->IsEmpty() && m_output->GetLastPosition() > 0 &&
            m_output->GetRange(m_output->GetLastPosition() - 1, m_output->GetLastPosition()) !=
                "\n")
            m_output->AppendText("\n");
    }
    std::string copy(text);
    if (isError && !copy.empty() && copy.back() == '\n')
        copy.pop_back();
    m_output->AppendText(Wx(copy));
    if (isError)
        m_output->SetDefaultStyle(wxTextAttr(m_output->GetForegroundColour()));
}

void MainWindow::SetCoordinates(const std::string& text) {
    SetStatusText(Wx(text), 1);
}

std::string MainWindow::StatusCoordinates() const {
    return Utf8(GetStatusBar()->GetStatusText(1));
}

void MainWindow::ShowProgress() {
    if (ProgressMeterActive() && !ProgressMeterHistory().empty()) {
        const ProgressMeterRecord& meter = ProgressMeterHistory().back();
        const int range = std::max(1, meter.maxPos - meter.minPos);
        const int pos = meter.positions.empty() ? meter.minPos : meter.positions.back();
        m_gauge->SetRange(range);
        m_gauge->SetValue(std::clamp(pos - meter.minPos, 0, range));
        m_gauge->Show();
        SetStatusText(Wx(meter.label), 0);
    } else if (LastLongWork().reports > 0) {
        m_gauge->Hide();
        SetStatusText(Wx(LastLongWork().what + "... " + std::to_string(LastLongWork().done)), 0);
    } else {
        m_gauge->Hide();
        SetStatusText("", 0);
    }
    // Long work lets the user's input in now and then: an Esc stops it.
    const long long now = wxGetLocalTimeMillis().GetValue();
    if (now - m_lastYield >= kYieldEveryMs && !Waiting()) {
        m_lastYield = now;
        if (wxEventLoopBase* loop = wxEventLoopBase::GetActive())
            loop->YieldFor(wxEVT_CATEGORY_UI | wxEVT_CATEGORY_USER_INPUT);
    }
}

void MainWindow::OnSize(wxSizeEvent& event) {
    event.Skip();
    wxRect rect;
    if (GetStatusBar()->GetFieldRect(2, rect))
        m_gauge->SetSize(rect.Deflate(2));
}

// ---- Keys ---------------------------------------------------------------------------------------

void MainWindow::OnCharHook(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    if (key == WXK_ESCAPE) {
        if (m_view->WindowStarted()) {
            m_view->CancelWindow();
        } else if (!Waiting()) {
            RequestCancel();  // long work polls it
        } else if (m_input.InCommand()) {
            // As Ctrl-C at the console: the command is asked to stop, its prompt cancelled.
            RequestCancel();
            m_line->Clear();
            Answer("*Cancel*");
        } else {
            m_line->Clear();
        }
        return;
    }
    if (key == WXK_SPACE && m_line->IsEmpty() &&
        m_view->GetScreenRect().Contains(wxGetMousePosition())) {
        m_view->SetSpacePan(true);
        return;
    }
    event.Skip();
}

void MainWindow::OnLineKey(wxKeyEvent& event) {
    switch (event.GetKeyCode()) {
        case WXK_UP:
            m_line->ChangeValue(Wx(m_history.Older(Utf8(m_line->GetValue()))));
            m_line->SetInsertionPointEnd();
            return;
        case WXK_DOWN:
            m_line->ChangeValue(Wx(m_history.Newer()));
            m_line->SetInsertionPointEnd();
            return;
        case WXK_TAB: {
            if (!AtCommandPrompt())
                return;
            const std::string typed = Utf8(m_line->GetValue());
            const Completion completion = CompleteCommandName(typed, CommandNames());
            if (completion.matches.size() > 1) {
                std::string list = "\n";
                for (const std::string& match : completion.matches)
                    list += match + "  ";
                CommandLineWrite(list);
            }
            m_line->ChangeValue(Wx(completion.text));
            m_line->SetInsertionPointEnd();
            return;
        }
        default:
            event.Skip();
    }
}

void MainWindow::OnLineEnter(wxCommandEvent&) {
    const std::string line = Utf8(m_line->GetValue());
    m_line->Clear();
    m_history.Add(line);
    Answer(line);
}

// ---- Menus and files ----------------------------------------------------------------------------

void MainWindow::OnMenu(wxCommandEvent& event) {
    const int id = event.GetId();
    switch (id) {
        case wxID_NEW:
            FileNew();
            return;
        case wxID_OPEN:
            FileOpen();
            return;
        case wxID_SAVE:
            FileSave();
            return;
        case wxID_SAVEAS:
            FileSaveAs();
            return;
        case wxID_EXIT:
            Quit();
            return;
        case kZoomExtents:
            ZoomExtents();
            return;
        default:
            break;
    }
    if (id >= kFirstRecent && id < kFirstRecent + kRecentCount) {
        const std::vector<std::string> files = RecentFiles();
        const std::size_t i = static_cast<std::size_t>(id - kFirstRecent);
        if (i < files.size())
            FileOpenPath(files[i]);
        return;
    }
    if (id >= kFirstGroupItem && id < kFirstGroupItem + static_cast<int>(m_itemPaths.size())) {
        const std::string& path = m_itemPaths[static_cast<std::size_t>(id - kFirstGroupItem)];
        std::string macro;
        if (!path.empty() && path.front() == '\x01') {
            macro = path.substr(1);
        } else {
            std::string error;
            const MenuItem* item = FindMenuItem(path, error);
            if (!item)
                return;
            macro = item->macro;
        }
        const MacroInputs inputs = SplitMacro(macro);
        Type(inputs.inputs, inputs.cancels);
    }
}

void MainWindow::ZoomExtents() {
    m_view->ZoomExtents();
}

void MainWindow::FileNew() {
    Type({"_NEW"}, true);
}

void MainWindow::FileOpen() {
    if (!Waiting())
        return;
    wxFileDialog dialog(this, "Open drawing", "", "", "Drawings (*.dxf)|*.dxf;*.DXF|All files|*",
                        wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() == wxID_OK)
        FileOpenPath(Utf8(dialog.GetPath()));
}

void MainWindow::FileOpenPath(const std::string& path) {
    Type({"_OPEN", path}, true);
}

void MainWindow::FileSave() {
    const Document* doc = CurrentDocument();
    if (doc && doc->Path().empty())
        FileSaveAs();
    else
        Type({"_SAVE"}, true);
}

void MainWindow::FileSaveAs() {
    const Document* doc = CurrentDocument();
    if (!doc || !Waiting())
        return;
    wxFileDialog dialog(this, "Save drawing as", "", Wx(doc->docTitleUtf8()),
                        "Drawings (*.dxf)|*.dxf", wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() == wxID_OK)
        Type({"_SAVEAS", Utf8(dialog.GetPath())}, true);
}

bool MainWindow::SaveDocumentTo(Document& doc, const std::string& path) {
    std::string error;
    if (!SaveDrawing(*doc.database(), path, error)) {
        CurrentUiSink().ShowMessageBox({error, HostTitle(), MB_OK | MB_ICONERROR});
        return false;
    }
    doc.SetPath(path);
    doc.MarkSaved();
    AddRecentFile(path);
    CommandLineWrite("\nSaved " + path);
    return true;
}

bool MainWindow::SaveDocumentAsked(Document& doc) {
    if (!doc.Path().empty())
        return SaveDocumentTo(doc, doc.Path());
    wxFileDialog dialog(this, "Save drawing as", "", Wx(doc.docTitleUtf8()),
                        "Drawings (*.dxf)|*.dxf", wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK)
        return false;
    return SaveDocumentTo(doc, Utf8(dialog.GetPath()));
}

bool MainWindow::Quit() {
    if (!m_takesInput || !Waiting() || m_quitting)
        return false;
    m_quitting = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{m_quitting};
    if (DocManager* docs = Documents()) {
        for (const auto& doc : docs->Documents()) {
            if (!doc->Modified())
                continue;
            const int answer = CurrentUiSink().ShowMessageBox(
                {std::string("Save changes to ") + doc->docTitleUtf8() + "?", HostTitle(),
                 MB_YESNOCANCEL | MB_ICONQUESTION});
            if (answer == IDCANCEL)
                return false;
            if (answer == IDYES && !SaveDocumentAsked(*doc))
                return false;
        }
    }
    Type({"_QUIT"}, true);
    return true;
}

void MainWindow::OnClose(wxCloseEvent& event) {
    if (!event.CanVeto() || !m_takesInput) {
        // The session ends with the window: the prompts see the end of the input.
        m_closing = true;
        if (m_loop)
            m_loop->ScheduleExit();
        if (!m_takesInput)
            Hide();
        else
            event.Veto();  // destroyed by CloseMainWindow, after the session
        return;
    }
    event.Veto();
    if (!Waiting()) {
        RequestCancel();
        return;
    }
    Quit();
}

// ---- Life ---------------------------------------------------------------------------------------

MainWindow* CurrentMainWindow() {
    return g_window;
}

InputSource* OpenMainWindow(bool takesInput) {
    if (!wxTheApp)
        return nullptr;
    if (!g_window) {
        auto* window = new MainWindow(takesInput);
        window->Show();
        window->Raise();
    }
    return takesInput ? &g_window->Input() : nullptr;
}

void CloseMainWindow() {
    if (!g_window)
        return;
    MainWindow* window = g_window;
    g_window = nullptr;
    SetCommandLineListener(nullptr);
    SetProgressListener(nullptr);
    window->Destroy();
    // Destroy only queues the window; it goes when the loop next idles.
    if (wxTheApp)
        wxTheApp->ProcessIdle();
}

}  // namespace host::ui::wx
