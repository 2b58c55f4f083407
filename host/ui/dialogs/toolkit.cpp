// The toolkit in use, the metrics every toolkit starts from, and the headless toolkit: a
// modal dialog reads its actions from the host's input source, one a line, and file dialogs
// and popup menus are answered the same way.
#include "host/ui/dialogs/toolkit.h"

#include <filesystem>

#include "host/base/command_line.h"
#include "host/base/report.h"
#include "host/ui/dialogs/actions.h"
#include "host/ui/dialogs/controls.h"
#include "host/ui/dialogs/session.h"
#include "host/ui/dialogs/show.h"
#include "host/ui/input_source.h"
#include "host/ui/ui_sink.h"
#include "platform/adscodes.h"
#include "platform/afxdlgs.h"
#include "platform/textconv.h"

namespace host::ui {

namespace {

int PixelHeight(const FontDesc& font) {
    return font.height < 0 ? -font.height : (font.height * 3 + 2) / 4;
}

std::string WithoutMnemonic(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size() && text[i + 1] != '&')
            continue;
        out += text[i];
    }
    return out;
}

class HeadlessToolkitImpl : public Toolkit {
public:
    const char* Name() const override { return "headless"; }

    void RunModal(DialogSession& session) override {
        while (!session.ended && RunScriptedDialogLine(session)) {
        }
    }

    void HideForEditor(DialogSession&) override {}
    void ShowAfterEditor(DialogSession&) override {}

    std::optional<std::string> ChooseFile(const FileDialogRequest& request) override {
        std::string filters;
        for (const auto& f : request.filters) {
            if (!filters.empty())
                filters += ", ";
            filters += f.description;
        }
        const std::string prompt =
            "\n" + request.title + " file" + (filters.empty() ? "" : " (" + filters + ")") + ": ";
        while (true) {
            const Answer answer = Ask(prompt);
            if (answer.status == RTCAN)
                return std::nullopt;
            if (answer.status == RTNONE) {
                if (RejectAnswer("a file dialog needs a file name or *Cancel*"))
                    continue;
                return std::nullopt;
            }
            const std::string path = CompleteChosenPath(request, answer.text);
            std::error_code ec;
            const bool exists = std::filesystem::exists(path, ec);
            if (request.open && (request.flags & OFN_FILEMUSTEXIST) && !exists) {
                CurrentUiSink().ShowMessageBox(
                    {path + "\nFile not found.\nCheck the file name and try again.", request.title,
                     MB_OK | MB_ICONEXCLAMATION});
                if (CurrentInput().IsInteractive())
                    continue;
                return std::nullopt;
            }
            if (!request.open && (request.flags & OFN_OVERWRITEPROMPT) && exists) {
                const std::string name = std::filesystem::path(path).filename().string();
                const int reply = CurrentUiSink().ShowMessageBox(
                    {name + " already exists.\nDo you want to replace it?", request.title,
                     MB_YESNO | MB_ICONEXCLAMATION});
                if (reply != IDYES)
                    continue;
            }
            return path;
        }
    }

    UINT_PTR TrackMenu(const Menu& menu, POINT, Window* owner) override {
        CommandLineWrite(ShowMenu(menu));
        DialogSession* session = owner ? owner->Session() : InnermostSession();
        if (!session)
            return 0;
        session->menuShown = true;
        const std::string choice = session->pendingMenuText;
        session->pendingMenuText.clear();
        if (choice.empty())
            return 0;
        const MenuEntry* chosen = nullptr;
        char* end = nullptr;
        const unsigned long number = std::strtoul(choice.c_str(), &end, 10);
        for (const MenuEntry& entry : menu.entries) {
            if (entry.Separator())
                continue;
            const bool byNumber = end && *end == '\0' && entry.id == number;
            const bool byText = qv::ToLower<char>(WithoutMnemonic(entry.text)) ==
                                    qv::ToLower<char>(WithoutMnemonic(choice)) ||
                                qv::ToLower<char>(entry.text) == qv::ToLower<char>(choice);
            if (byNumber || byText) {
                chosen = &entry;
                break;
            }
        }
        if (!chosen) {
            session->menuError = "the menu has no entry \"" + choice + "\"";
            return 0;
        }
        if (chosen->Greyed()) {
            session->menuError =
                "the menu entry \"" + WithoutMnemonic(chosen->text) + "\" is greyed";
            return 0;
        }
        return chosen->id;
    }
};

Toolkit* g_toolkit = nullptr;

void EndForLostInput(DialogSession& session) {
    try {
        user::Cancel(session);
    } catch (const ActionError&) {
    }
    if (!session.ended)
        session.End(IDCANCEL);
}

}  // namespace

bool RunScriptedDialogLine(DialogSession& session) {
    // The end of the input at a dialog cancels the dialog (not an error, as it is at a
    // prompt of the command line).
    InputSource& input = CurrentInput();
    const bool inCommand = input.InCommand();
    input.SetInCommand(false);
    const std::optional<std::string> line =
        input.ReadLine("\nDialog \"" + session.Caption() + "\": ");
    input.SetInCommand(inCommand);
    if (!line) {
        // The input ended (or a line failed): the dialog is cancelled.
        EndForLostInput(session);
        return false;
    }
    const std::string_view text = TrimBlanks(*line);
    if (text.empty()) {
        RejectAnswer("a dialog is open: give a dialog action (@help lists them)");
        return true;
    }
    try {
        if (IsCancelToken(text)) {
            user::Cancel(session);
        } else if (text.front() != '@') {
            throw ActionError("a dialog is open: \"" + std::string(text) +
                              "\" is no dialog action (@help lists them)");
        } else {
            PerformAction(session, text);
        }
    } catch (const ActionError& error) {
        ReportError(error.what());
    }
    return true;
}

BaseUnits Toolkit::UnitsOf(const FontDesc& font) {
    // The proportions of the platform's dialog font: 6 by 13 pixels at 11 pixels high.
    const int height = PixelHeight(font);
    return BaseUnits{std::max(1, (height * 6 + 5) / 11), std::max(1, (height * 13 + 5) / 11)};
}

SIZE Toolkit::TextExtent(const FontDesc& font, const std::string& utf8) {
    const BaseUnits units = UnitsOf(font);
    return SIZE{static_cast<LONG>(CodePointCount(utf8)) * units.cx, units.cy};
}

int Toolkit::SystemMetric(int index) {
    switch (index) {
        case SM_CXSCREEN:
        case SM_CXFULLSCREEN:
            return 1920;
        case SM_CYSCREEN:
            return 1080;
        case SM_CYFULLSCREEN:
            return 1057;
        case SM_CXVSCROLL:
        case SM_CYHSCROLL:
            return 17;
        case SM_CYCAPTION:
            return 23;
        case SM_CXBORDER:
        case SM_CYBORDER:
            return 1;
        case SM_CXDLGFRAME:
        case SM_CYDLGFRAME:
            return 3;
        case SM_CXEDGE:
        case SM_CYEDGE:
            return 2;
        default:
            return 0;
    }
}

COLORREF Toolkit::SystemColour(int index) {
    switch (index) {
        case COLOR_WINDOW:
            return RGB(255, 255, 255);
        case COLOR_BTNFACE:
            return RGB(240, 240, 240);
        case COLOR_GRAYTEXT:
            return RGB(109, 109, 109);
        case COLOR_HOTLIGHT:
            return RGB(0, 102, 204);
        default:
            return RGB(0, 0, 0);
    }
}

int Toolkit::ListHeaderHeight(Window& list) {
    return UnitsOf(FontOfWindow(&list)).cy + 7;
}

int Toolkit::ListRowHeight(Window& list) {
    return UnitsOf(FontOfWindow(&list)).cy + 4;
}

void Toolkit::Screenshot(DialogSession&, const std::string&) {
    ReportWarning("@screenshot needs the desktop toolkit (--ui gui); no picture was taken");
}

std::optional<std::string> Toolkit::ClipboardText() {
    return m_clipboard;
}

void Toolkit::SetClipboardText(const std::string& utf8) {
    m_clipboard = utf8;
}

void Toolkit::ClearClipboard() {
    m_clipboard.reset();
}

Toolkit& HeadlessToolkit() {
    static HeadlessToolkitImpl toolkit;
    return toolkit;
}

Toolkit& CurrentToolkit() {
    return g_toolkit ? *g_toolkit : HeadlessToolkit();
}

Toolkit* SetToolkit(Toolkit* toolkit) {
    Toolkit* previous = g_toolkit;
    g_toolkit = toolkit;
    return previous;
}

}  // namespace host::ui
