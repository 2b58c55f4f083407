// The desktop toolkit's inner side: the toolkit object, the native window of every model
// window, and the helpers its parts share. Only the files of this folder include it (it
// brings in wxWidgets).
#pragma once

#include <wx/treebase.h>
#include <wx/wx.h>

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/ui/dialogs/session.h"
#include "host/ui/dialogs/toolkit.h"
#include "host/ui/ui_sink.h"

class wxImageList;

namespace host::ui::wx {

// ---- Text and colours ---------------------------------------------------------------------

inline wxString Wx(const std::string& utf8) {
    return wxString::FromUTF8(utf8.data(), utf8.size());
}
inline std::string Utf8(const wxString& text) {
    const wxScopedCharBuffer buffer = text.utf8_str();
    return std::string(buffer.data(), buffer.length());
}
inline wxColour ColourOf(COLORREF colour) {
    return wxColour(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

// ---- Fonts (fonts.cpp) ------------------------------------------------------------------------

// The real font of a model font: the dialog faces ("MS Shell Dlg" ...) become the desktop's
// default face; the size is the model's pixel height at the screen's resolution.
const wxFont& FontFor(const FontDesc& desc);
// Average character width and height, measured as the platform measures dialog units.
BaseUnits MeasureUnits(const FontDesc& desc);
SIZE MeasureText(const FontDesc& desc, const std::string& utf8);
// A report list's header height and row height for a font and list style, measured on a
// hidden list.
struct ListMetrics {
    int header = 0;
    int row = 0;
};
ListMetrics MeasureList(const FontDesc& desc, long wxStyle);
void ForgetFonts();

// ---- Images (images.cpp) ------------------------------------------------------------------

// The picture of an icon resource (its .ico bytes) at a size; an empty bitmap when the bytes
// are no icon.
wxBitmap BitmapOfIcon(const Icon& icon, int cx, int cy);
// A native image list of a model image list.
std::unique_ptr<wxImageList> NativeImageList(const ImageList& images);

// ---- Native dialogs (native_dialogs.cpp) --------------------------------------------------------

// Message boxes as wxMessageDialog; answered from the input source when it is a script.
class WxUiSink : public UiSink {
public:
    explicit WxUiSink(UiSink* scripted) : m_scripted(scripted) {}
    int ShowMessageBox(const MessageBoxRequest& request) override;

private:
    UiSink* m_scripted;
};
std::optional<std::string> ShowFileDialog(wxWindow* parent, const FileDialogRequest& request);
UINT_PTR ShowPopupMenu(wxWindow* window, const Menu& menu, POINT screen);
// The desktop's clipboard text; `opened` says whether the clipboard could be opened at all.
std::optional<std::string> ReadClipboard(bool& opened);
bool WriteClipboard(const std::string& utf8);
void EmptyClipboard();

// ---- The toolkit ----------------------------------------------------------------------------

enum Dirty : unsigned {
    kText = 1,
    kStyle = 2,
    kGeometry = 4,
    kItems = 8,
    kSelection = 16,
    kPaint = 32,
    kAll = 63,
};

// The native side of one model window.
struct Record {
    Window* model = nullptr;
    wxWindow* native = nullptr;  // null until made (and for windows their parent shows)
    unsigned dirty = kAll;
    std::string fontKey;
    // Combo and list boxes: the entries shown.
    std::vector<std::string> entries;
    // List views: columns shown and the first row the model asked for.
    std::vector<ListColumn> columns;
    long rows = -1;
    int appliedTop = 0;
    HIMAGELIST appliedImages = nullptr;
    std::size_t appliedImageCount = 0;
    // Trees: the nodes shown, in display order with their parents, and their items.
    std::vector<const TreeNode*> nodes;
    std::unordered_map<const TreeNode*, wxTreeItemId> items;
};

// A modal run: the session, its native dialog and what drives it.
struct ModalRun {
    DialogSession* session = nullptr;
    wxDialog* dialog = nullptr;
    bool scripted = false;
    bool busy = false;      // a script line is being carried out
    bool pictured = false;  // the picture of the opened dialog was taken
    bool ready = false;     // the dialog shows the model's state (and focus) once
    // Until when a script's next line waits for the dialog's web pages to load (0: not yet
    // waiting), as a user waits for the page before acting on it.
    wxLongLong pageWait = 0;
    std::exception_ptr error;
};

class WxToolkit final : public Toolkit, public ModelObserver {
public:
    explicit WxToolkit(std::string screenshotFolder);
    ~WxToolkit() override;

    const char* Name() const override { return "gui"; }
    void RunModal(DialogSession& session) override;
    void HideForEditor(DialogSession& session) override;
    void ShowAfterEditor(DialogSession& session) override;
    std::optional<std::string> ChooseFile(const FileDialogRequest& request) override;
    UINT_PTR TrackMenu(const Menu& menu, POINT screen, Window* owner) override;
    BaseUnits UnitsOf(const FontDesc& font) override;
    SIZE TextExtent(const FontDesc& font, const std::string& utf8) override;
    int SystemMetric(int index) override;
    COLORREF SystemColour(int index) override;
    int ListHeaderHeight(Window& list) override;
    int ListRowHeight(Window& list) override;
    void Screenshot(DialogSession& session, const std::string& path) override;
    std::optional<std::string> ClipboardText() override;
    void SetClipboardText(const std::string& utf8) override;
    void ClearClipboard() override;

    void Changed(Window& window, Change change) override;

    // Applies every pending model change to the native windows; ends the modal loops of
    // sessions that ended.
    void Flush();
    // Lets the windows paint what they show now.
    void Settle(wxWindow* window, int milliseconds);
    // Whether a scripted dialog's next line is to wait for its web pages to load.
    bool WaitingForPages(ModalRun& run);

    // Carries out a user action that a native event started, then shows its effects. Actions
    // the model refuses are answered with a beep; any other failure ends the modal run and
    // reaches the code that opened the dialog.
    template <class F>
    void UserAction(F&& action);
    // The same for an action on one window, which must still be there.
    template <class F>
    void ActOn(Window* window, F&& action) {
        if (Window::FromHandle(window->Handle()))
            UserAction(std::forward<F>(action));
    }
    bool Applying() const { return m_applying > 0; }

    Record* RecordOf(Window* window);
    // The model window a native window (or one inside it) shows.
    Window* ModelOf(wxWindow* native);
    wxWindow* NativeOf(Window* window);
    ModalRun* RunOf(const DialogSession* session);
    // The native window new top-level windows (message boxes, file dialogs) belong to.
    wxWindow* TopNative();

private:
    void Create(Record& record);
    void CreateControl(Record& record, wxWindow* parent);
    void Apply(Record& record);
    void ApplyText(Record& record);
    void ApplyStyle(Record& record);
    void ApplyGeometry(Record& record);
    void ApplyItems(Record& record);
    void ApplySelection(Record& record);
    void ApplyFocus();
    void ApplyTree(Record& record);
    void ApplyTreeSelection(Record& record);
    void ApplyListSelection(Record& record);
    void Forget(Window& window);
    void BindCommon(Window& window, wxWindow* native);
    void OnCharHook(DialogSession& session, wxKeyEvent& event);
    void OnIdle(wxIdleEvent& event);
    void TakePicture(ModalRun& run, const std::string& path);
    ListMetrics ListMetricsOf(Window& list);

    std::string m_screenshots;
    std::unordered_map<Window*, Record> m_records;
    std::unordered_map<wxWindow*, Window*> m_models;
    std::vector<ModalRun*> m_runs;
    std::unordered_map<std::string, int> m_pictureCounts;
    int m_applying = 0;
    bool m_flushing = false;
    bool m_wakePending = false;
};

WxToolkit* CurrentWxToolkit();

template <class F>
void WxToolkit::UserAction(F&& action) {
    // While a script drives the dialog, what happens on the screen is not the user's doing
    // (a window appearing under the pointer, the focus coming back to a window).
    if (m_applying > 0 || (!m_runs.empty() && m_runs.back()->scripted))
        return;
    try {
        action();
    } catch (const ActionError&) {
        wxBell();
    } catch (...) {
        if (!m_runs.empty() && !m_runs.back()->error) {
            m_runs.back()->error = std::current_exception();
            m_runs.back()->dialog->EndModal(IDCANCEL);
        }
    }
    Flush();
}

}  // namespace host::ui::wx
