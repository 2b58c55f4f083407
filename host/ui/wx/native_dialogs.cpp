// The desktop's own dialogs: message boxes, file dialogs, popup menus and the clipboard.
#include <wx/clipbrd.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>

#include <filesystem>

#include "host/ui/input_source.h"
#include "host/ui/wx/wx_toolkit.h"
#include "platform/afxdlgs.h"
#include "platform/afxwin.h"

namespace host::ui::wx {

// ---- Message boxes ----------------------------------------------------------------------------

int WxUiSink::ShowMessageBox(const MessageBoxRequest& request) {
    // A script answers message boxes on its lines, as it does without windows: nobody would
    // click a box shown on the screen.
    if (!CurrentInput().IsInteractive() && m_scripted)
        return m_scripted->ShowMessageBox(request);
    WxToolkit* toolkit = CurrentWxToolkit();
    if (toolkit)
        toolkit->Flush();
    long style = 0;
    const unsigned buttons = request.type & MB_TYPEMASK;
    const bool second = (request.type & MB_DEFBUTTON2) != 0;
    switch (buttons) {
        case MB_OKCANCEL:
        case MB_RETRYCANCEL:
            style = wxOK | wxCANCEL | (second ? wxCANCEL_DEFAULT : 0);
            break;
        case MB_YESNO:
            style = wxYES_NO | (second ? wxNO_DEFAULT : 0);
            break;
        case MB_YESNOCANCEL:
        case MB_ABORTRETRYIGNORE:
            style = wxYES_NO | wxCANCEL | (second ? wxNO_DEFAULT : 0);
            break;
        default:
            style = wxOK;
            break;
    }
    switch (request.type & MB_ICONMASK) {
        case MB_ICONHAND:
            style |= wxICON_ERROR;
            break;
        case MB_ICONQUESTION:
            style |= wxICON_QUESTION;
            break;
        case MB_ICONEXCLAMATION:
            style |= wxICON_WARNING;
            break;
        case MB_ICONASTERISK:
            style |= wxICON_INFORMATION;
            break;
        default:
            break;
    }
    wxMessageDialog box(toolkit ? toolkit->TopNative() : nullptr, Wx(request.text),
                        Wx(request.caption), style);
    if (buttons == MB_RETRYCANCEL)
        box.SetOKCancelLabels("&Retry", "Cancel");
    if (buttons == MB_ABORTRETRYIGNORE)
        box.SetYesNoCancelLabels("&Abort", "&Retry", "&Ignore");
    const int answer = box.ShowModal();
    switch (buttons) {
        case MB_RETRYCANCEL:
            return answer == wxID_OK ? IDRETRY : IDCANCEL;
        case MB_ABORTRETRYIGNORE:
            return answer == wxID_YES ? IDABORT : answer == wxID_NO ? IDRETRY : IDIGNORE;
        default:
            break;
    }
    switch (answer) {
        case wxID_YES:
            return IDYES;
        case wxID_NO:
            return IDNO;
        case wxID_CANCEL:
            return IDCANCEL;
        default:
            return IDOK;
    }
}

// ---- File dialogs
// ---------------------------------------------------------------------------------

std::optional<std::string> ShowFileDialog(wxWindow* parent, const FileDialogRequest& request) {
    wxString wildcard;
    for (const FileDialogRequest::Filter& filter : request.filters) {
        if (!wildcard.empty())
            wildcard += '|';
        wxString patterns;
        for (const std::string& p : filter.patterns) {
            if (!patterns.empty())
                patterns += ';';
            patterns += Wx(p);
        }
        wildcard += Wx(filter.description) + '|' + (patterns.empty() ? "*" : patterns);
    }
    if (wildcard.empty())
        wildcard = "*";
    long style = request.open ? wxFD_OPEN : wxFD_SAVE;
    if (request.open && (request.flags & OFN_FILEMUSTEXIST))
        style |= wxFD_FILE_MUST_EXIST;
    if (!request.open && (request.flags & OFN_OVERWRITEPROMPT))
        style |= wxFD_OVERWRITE_PROMPT;
    const std::filesystem::path initial(request.fileName);
    wxFileDialog dialog(parent, Wx(request.title), Wx(initial.parent_path().string()),
                        Wx(initial.filename().string()), wildcard, style);
    if (dialog.ShowModal() != wxID_OK)
        return std::nullopt;
    const std::string typed = Utf8(dialog.GetPath());
    const std::string path = CompleteChosenPath(request, typed);
    // The dialog asked about the name as typed; a name completed with the default extension
    // is asked about here.
    std::error_code ec;
    if (!request.open && (request.flags & OFN_OVERWRITEPROMPT) && path != typed &&
        std::filesystem::exists(path, ec)) {
        const std::string name = std::filesystem::path(path).filename().string();
        const int reply =
            CurrentUiSink().ShowMessageBox({name + " already exists.\nDo you want to replace it?",
                                            request.title, MB_YESNO | MB_ICONEXCLAMATION});
        if (reply != IDYES)
            return std::nullopt;
    }
    return path;
}

// ---- Popup menus
// ---------------------------------------------------------------------------------

UINT_PTR ShowPopupMenu(wxWindow* window, const Menu& menu, POINT screen) {
    // Entries get ids of their own (the module's command ids could fall among wxWidgets'
    // stock ids); the choice maps back by position.
    constexpr int kFirstId = 1000;
    wxMenu popup;
    for (std::size_t i = 0; i < menu.entries.size(); ++i) {
        const MenuEntry& entry = menu.entries[i];
        if (entry.Separator()) {
            popup.AppendSeparator();
            continue;
        }
        const int id = kFirstId + static_cast<int>(i);
        wxMenuItem* item = (entry.flags & MF_CHECKED) ? popup.AppendCheckItem(id, Wx(entry.text))
                                                      : popup.Append(id, Wx(entry.text));
        if (entry.flags & MF_CHECKED)
            item->Check(true);
        item->Enable(!entry.Greyed());
    }
    const wxPoint at = window->ScreenToClient(wxPoint(screen.x, screen.y));
    const int chosen = window->GetPopupMenuSelectionFromUser(popup, at);
    const int index = chosen - kFirstId;
    if (chosen == wxID_NONE || index < 0 || index >= static_cast<int>(menu.entries.size()))
        return 0;
    return menu.entries[index].id;
}

// ---- Clipboard ----------------------------------------------------------------------------------

std::optional<std::string> ReadClipboard(bool& opened) {
    wxClipboardLocker lock;
    opened = !!lock;
    if (!lock || !wxTheClipboard->IsSupported(wxDF_UNICODETEXT))
        return std::nullopt;
    wxTextDataObject data;
    if (!wxTheClipboard->GetData(data))
        return std::nullopt;
    return Utf8(data.GetText());
}

void EmptyClipboard() {
    wxClipboardLocker lock;
    if (!!lock)
        wxTheClipboard->Clear();
}

bool WriteClipboard(const std::string& utf8) {
    wxClipboardLocker lock;
    if (!lock)
        return false;
    return wxTheClipboard->SetData(new wxTextDataObject(Wx(utf8)));
}

}  // namespace host::ui::wx
