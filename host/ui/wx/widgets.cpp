// The native windows of the control model: one wxWidgets window per model window, made from
// the window's kind and style, brought up to date from the model's changes, and its events
// turned into the user actions of the model. The model is never changed here except through
// those actions; what the widgets show always comes back from the model.
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/dcbuffer.h>
#include <wx/imaglist.h>
#include <wx/listbox.h>
#include <wx/listctrl.h>
#include <wx/statline.h>
#include <wx/treectrl.h>

#include <algorithm>

#include "host/ui/dialogs/controls.h"
#include "host/ui/wx/web_pane.h"
#include "host/ui/wx/wx_toolkit.h"
#include "platform/afxcmn.h"

namespace host::ui::wx {

namespace {

DWORD ButtonType(const Window& w) {
    return w.style & BS_TYPEMASK;
}

bool IsCheckBox(const Window& w) {
    const DWORD type = ButtonType(w);
    return w.kind == Kind::Button && (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX ||
                                      type == BS_3STATE || type == BS_AUTO3STATE);
}

bool IsRadio(const Window& w) {
    const DWORD type = ButtonType(w);
    return w.kind == Kind::Button && (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON);
}

bool IsGroupBox(const Window& w) {
    return w.kind == Kind::Static && wxString(Wx(w.className)).IsSameAs("Button", false);
}

bool IsDropList(const Window& w) {
    return w.kind == Kind::ComboBox && (w.style & 0x3) == CBS_DROPDOWNLIST;
}

long BorderOf(const Window& w) {
    if (w.exStyle & WS_EX_CLIENTEDGE)
        return wxBORDER_SUNKEN;
    if ((w.style & WS_BORDER) || (w.exStyle & WS_EX_STATICEDGE))
        return wxBORDER_SIMPLE;
    return wxBORDER_NONE;
}

wxRect RectOf(const Window& w) {
    return wxRect(w.rect.left, w.rect.top, std::max<LONG>(0, w.rect.right - w.rect.left),
                  std::max<LONG>(0, w.rect.bottom - w.rect.top));
}

// Character positions of the native text (code points) and byte offsets of the model's.
long CodePointsBefore(const std::string& utf8, std::size_t offset) {
    return static_cast<long>(CodePointCount(std::string_view(utf8).substr(0, offset)));
}

std::size_t ByteOffsetOfCodePoints(const std::string& utf8, long count) {
    std::size_t i = 0;
    for (long n = 0; i < utf8.size() && n < count; ++n) {
        ++i;
        while (i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80)
            ++i;
    }
    return i;
}

long ListStyleOf(const Window& w) {
    long style = wxLC_REPORT | wxLC_VIRTUAL | BorderOf(w);
    if (w.style & LVS_SINGLESEL)
        style |= wxLC_SINGLE_SEL;
    if (w.style & LVS_NOCOLUMNHEADER)
        style |= wxLC_NO_HEADER;
    if (std::get<ListViewState>(w.state).exStyle & LVS_EX_GRIDLINES)
        style |= wxLC_HRULES | wxLC_VRULES;
    return style;
}

int FormatOf(int format) {
    switch (format & LVCFMT_JUSTIFYMASK) {
        case LVCFMT_RIGHT:
            return wxLIST_FORMAT_RIGHT;
        case LVCFMT_CENTER:
            return wxLIST_FORMAT_CENTRE;
        default:
            return wxLIST_FORMAT_LEFT;
    }
}

// The point of a native event as the model's screen coordinates: through the client
// coordinates of the window, which both sides share.
POINT ModelScreenPoint(Window& model, wxWindow* native, const wxPoint& nativeScreen) {
    const wxPoint client = native->ScreenToClient(nativeScreen);
    const POINT origin = model.ClientOriginOnScreen();
    return POINT{origin.x + client.x, origin.y + client.y};
}

// ---- Native classes ------------------------------------------------------------------------

class ModelDialog : public wxDialog {
public:
    ModelDialog(wxWindow* parent, const Window& model)
        : wxDialog(parent, wxID_ANY, Wx(model.text), wxPoint(model.rect.left, model.rect.top),
                   wxDefaultSize, StyleOf(model)) {
        SetClientSize(RectOf(model).GetSize());
    }

private:
    static long StyleOf(const Window& model) {
        long style = wxCAPTION;
        if (model.style & WS_SYSMENU)
            style |= wxSYSTEM_MENU | wxCLOSE_BOX;
        if (model.style & WS_THICKFRAME)
            style |= wxRESIZE_BORDER;
        return style;
    }
};

// A report list that reads its rows from the model when it paints them, so that a list of
// any length costs only the rows on the screen.
class ModelList : public wxListCtrl {
public:
    ModelList(wxWindow* parent, Window& model)
        : wxListCtrl(parent, wxID_ANY, wxPoint(model.rect.left, model.rect.top),
                     RectOf(model).GetSize(), ListStyleOf(model)),
          m_model(&model) {}
    void Forget() { m_model = nullptr; }
    // The window that shows the rows (and takes the focus and the mouse).
    wxWindow* Rows() { return reinterpret_cast<wxWindow*>(m_mainWin); }

    wxString OnGetItemText(long item, long column) const override {
        if (!m_model || !Window::FromHandle(m_model->Handle()))
            return wxString();
        return Wx(ListCell(m_model, static_cast<int>(item), static_cast<int>(column)));
    }
    int OnGetItemImage(long) const override { return -1; }

private:
    Window* m_model;
};

struct NodeData : wxTreeItemData {
    explicit NodeData(const TreeNode* n) : node(n) {}
    const TreeNode* node;
};

// A window of a registered class: shows what the module painted last.
class PaintedWindow : public wxWindow {
public:
    PaintedWindow(wxWindow* parent, Window& model)
        : wxWindow(parent, wxID_ANY, wxPoint(model.rect.left, model.rect.top),
                   RectOf(model).GetSize(), BorderOf(model) | wxFULL_REPAINT_ON_RESIZE),
          m_model(&model) {
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        Bind(wxEVT_PAINT, &PaintedWindow::OnPaint, this);
    }
    void Forget() { m_model = nullptr; }

private:
    void OnPaint(wxPaintEvent&) {
        wxAutoBufferedPaintDC dc(this);
        dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
        dc.Clear();
        if (!m_model || !Window::FromHandle(m_model->Handle()))
            return;
        for (const PaintRun& run : m_model->As<CustomState>().runs) {
            dc.SetFont(FontFor(run.font));
            const wxString text = Wx(run.text);
            const wxSize extent = dc.GetTextExtent(text);
            if (run.opaque) {
                dc.SetPen(*wxTRANSPARENT_PEN);
                dc.SetBrush(wxBrush(ColourOf(run.backColour)));
                dc.DrawRectangle(run.x, run.y, extent.x, extent.y);
            }
            dc.SetTextForeground(ColourOf(run.textColour));
            dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
            dc.DrawText(text, run.x, run.y);
        }
    }

    Window* m_model;
};

wxStockCursor CursorOf(HCURSOR cursor) {
    const Icon* icon = IconFromHandle(reinterpret_cast<HICON>(cursor));
    switch (icon ? icon->id : 0) {
        case IDC_HAND_ID:
            return wxCURSOR_HAND;
        case IDC_IBEAM_ID:
            return wxCURSOR_IBEAM;
        case IDC_WAIT_ID:
            return wxCURSOR_WAIT;
        default:
            return wxCURSOR_ARROW;
    }
}

}  // namespace

// ---- Records --------------------------------------------------------------------------------

Record* WxToolkit::RecordOf(Window* window) {
    auto it = window ? m_records.find(window) : m_records.end();
    return it == m_records.end() ? nullptr : &it->second;
}

wxWindow* WxToolkit::NativeOf(Window* window) {
    Record* r = RecordOf(window);
    return r ? r->native : nullptr;
}

Window* WxToolkit::ModelOf(wxWindow* native) {
    for (wxWindow* w = native; w; w = w->GetParent()) {
        if (auto it = m_models.find(w); it != m_models.end())
            return Window::FromHandle(it->second->Handle());
        if (w->IsTopLevel())
            break;
    }
    return nullptr;
}

void WxToolkit::Changed(Window& window, Change change) {
    if (change == Change::Created) {
        Record& r = m_records[&window];
        r = Record{};
        r.model = &window;
        return;
    }
    if (change == Change::Destroyed) {
        Forget(window);
        return;
    }
    Record* r = RecordOf(&window);
    if (!r)
        return;
    switch (change) {
        case Change::Text:
            r->dirty |= kText;
            break;
        case Change::Style:
            r->dirty |= kStyle;
            break;
        case Change::Geometry:
            r->dirty |= kGeometry;
            break;
        case Change::Items:
            r->dirty |= kItems | kSelection;
            break;
        case Change::Selection:
            r->dirty |= kSelection;
            break;
        case Change::Paint:
            r->dirty |= kPaint;
            break;
        default:
            break;
    }
    if (!m_wakePending) {
        m_wakePending = true;
        wxWakeUpIdle();
    }
}

void WxToolkit::Forget(Window& window) {
    auto it = m_records.find(&window);
    if (it == m_records.end())
        return;
    wxWindow* native = it->second.native;
    m_records.erase(it);
    if (!native)
        return;
    for (auto m = m_models.begin(); m != m_models.end();) {
        if (m->second == &window)
            m = m_models.erase(m);
        else
            ++m;
    }
    if (auto* list = dynamic_cast<ModelList*>(native))
        list->Forget();
    if (auto* painted = dynamic_cast<PaintedWindow*>(native))
        painted->Forget();
    if (window.kind == Kind::Dialog) {
        // The modal loop is over (the model tears a dialog down after its run): no handler
        // of the dialog is running.
        delete native;
        return;
    }
    // A control may go while one of its own events is being handled: it goes when the
    // events are through.
    native->Hide();
    wxTheApp->ScheduleForDestruction(native);
}

// ---- Making native windows ------------------------------------------------------------------

void WxToolkit::Create(Record& record) {
    Window& root = *record.model;
    // A dialog opened from another one belongs to it.
    wxWindow* parent = nullptr;
    for (DialogSession* s : Sessions()) {
        if (&s->root == &root)
            break;
        if (wxWindow* n = NativeOf(&s->root))
            parent = n;
    }
    auto* dialog = new ModelDialog(parent, root);
    record.native = dialog;
    m_models[dialog] = &root;
    DialogSession* session = root.session;
    dialog->Bind(wxEVT_CLOSE_WINDOW, [this, session](wxCloseEvent& event) {
        event.Veto();
        UserAction([&] { user::Close(*session); });
    });
    dialog->Bind(wxEVT_CHAR_HOOK,
                 [this, session](wxKeyEvent& event) { OnCharHook(*session, event); });
}

void WxToolkit::CreateControl(Record& record, wxWindow* parent) {
    Window& w = *record.model;
    const wxPoint pos(w.rect.left, w.rect.top);
    const wxSize size = RectOf(w).GetSize();
    const wxString text = Wx(w.text);
    Window* model = &w;
    wxWindow* native = nullptr;
    switch (w.kind) {
        case Kind::Button: {
            if (IsCheckBox(w)) {
                const bool three = ButtonType(w) == BS_3STATE || ButtonType(w) == BS_AUTO3STATE;
                auto* box = new wxCheckBox(
                    parent, wxID_ANY, text, pos, size,
                    three ? wxCHK_3STATE | wxCHK_ALLOW_3RD_STATE_FOR_USER : wxCHK_2STATE);
                box->Bind(wxEVT_CHECKBOX, [this, model](wxCommandEvent&) {
                    ActOn(model, [&] { user::Click(*model); });
                    if (Record* r = RecordOf(model))
                        r->dirty |= kSelection;
                    Flush();
                });
                native = box;
            } else if (IsRadio(w)) {
                auto* radio = new wxRadioButton(parent, wxID_ANY, text, pos, size,
                                                (w.style & WS_GROUP) ? wxRB_GROUP : 0);
                radio->Bind(wxEVT_RADIOBUTTON, [this, model](wxCommandEvent&) {
                    ActOn(model, [&] { user::Click(*model); });
                    // The model decides which buttons of the group are checked.
                    if (Window* dialog =
                            Window::FromHandle(model->Handle()) ? model->Root() : nullptr) {
                        for (const auto& child : dialog->children) {
                            if (Record* r = RecordOf(child.get()); r && IsRadio(*child))
                                r->dirty |= kSelection;
                        }
                    }
                    Flush();
                });
                native = radio;
            } else {
                // As small a frame as the desktop allows: templates size buttons to their
                // captions, and a narrow one ("<") would otherwise hide its caption.
                auto* button = new wxButton(parent, wxID_ANY, text, pos, size, wxBU_EXACTFIT);
                button->Bind(wxEVT_BUTTON, [this, model](wxCommandEvent&) {
                    ActOn(model, [&] { user::Click(*model); });
                });
                native = button;
            }
            break;
        }
        case Kind::Static: {
            if (w.id == kBrowserPaneId) {
                native = MakeBrowserPane(parent, pos, size);
                break;
            }
            if (IsGroupBox(w)) {
                native = new wxStaticBox(parent, wxID_ANY, text, pos, size);
                break;
            }
            const DWORD type = w.style & SS_TYPEMASK;
            if (type == SS_ETCHEDHORZ || type == SS_ETCHEDVERT) {
                native = new wxStaticLine(parent, wxID_ANY, pos, size,
                                          type == SS_ETCHEDHORZ ? wxLI_HORIZONTAL : wxLI_VERTICAL);
                break;
            }
            long align = wxALIGN_LEFT;
            if (type == SS_CENTER)
                align = wxALIGN_CENTRE_HORIZONTAL;
            else if (type == SS_RIGHT)
                align = wxALIGN_RIGHT;
            native = new wxStaticText(parent, wxID_ANY, wxString(), pos, size,
                                      align | wxST_NO_AUTORESIZE | BorderOf(w));
            break;
        }
        case Kind::Edit: {
            long style = BorderOf(w);
            if (w.style & ES_MULTILINE)
                style |= wxTE_MULTILINE;
            if (w.style & ES_PASSWORD)
                style |= wxTE_PASSWORD;
            if (w.style & ES_READONLY)
                style |= wxTE_READONLY;
            if ((w.style & 0x3) == ES_CENTER)
                style |= wxTE_CENTRE;
            else if ((w.style & 0x3) == ES_RIGHT)
                style |= wxTE_RIGHT;
            auto* edit = new wxTextCtrl(parent, wxID_ANY, text, pos, size, style);
            edit->Bind(wxEVT_TEXT, [this, model, edit](wxCommandEvent&) {
                if (Applying() || !Window::FromHandle(model->Handle()))
                    return;
                const std::string typed = Utf8(edit->GetValue());
                if (typed == model->text)
                    return;
                ActOn(model, [&] { user::SetText(*model, typed); });
                // A limit or a single line may keep less than was typed.
                if (Record* r = RecordOf(model))
                    r->dirty |= kText;
                Flush();
            });
            native = edit;
            break;
        }
        case Kind::ComboBox: {
            const wxSize one(size.x, -1);
            if (IsDropList(w)) {
                auto* choice = new wxChoice(parent, wxID_ANY, pos, one);
                choice->Bind(wxEVT_CHOICE, [this, model](wxCommandEvent& event) {
                    ActOn(model, [&] { user::PickIndex(*model, event.GetSelection()); });
                });
                native = choice;
            } else {
                auto* combo =
                    new wxComboBox(parent, wxID_ANY, text, pos, one, 0, nullptr,
                                   (w.style & 0x3) == CBS_SIMPLE ? wxCB_SIMPLE : wxCB_DROPDOWN);
                combo->Bind(wxEVT_COMBOBOX, [this, model](wxCommandEvent& event) {
                    ActOn(model, [&] { user::PickIndex(*model, event.GetSelection()); });
                });
                combo->Bind(wxEVT_TEXT, [this, model, combo](wxCommandEvent&) {
                    if (Applying() || !Window::FromHandle(model->Handle()))
                        return;
                    const std::string typed = Utf8(combo->GetValue());
                    // Choosing an entry changes the text first; the choice follows.
                    const int sel = combo->GetSelection();
                    if (typed == model->text ||
                        (sel != wxNOT_FOUND && Utf8(combo->GetString(sel)) == typed))
                        return;
                    ActOn(model, [&] { user::SetText(*model, typed); });
                });
                native = combo;
            }
            break;
        }
        case Kind::ListBox: {
            auto* list =
                new wxListBox(parent, wxID_ANY, pos, size, 0, nullptr, wxLB_SINGLE | BorderOf(w));
            list->Bind(wxEVT_LISTBOX, [this, model](wxCommandEvent& event) {
                ActOn(model, [&] { user::PickIndex(*model, event.GetSelection()); });
            });
            native = list;
            break;
        }
        case Kind::ListView: {
            auto* list = new ModelList(parent, w);
            list->Bind(wxEVT_LIST_ITEM_SELECTED, [this, model](wxListEvent& event) {
                ActOn(model, [&] { user::PickIndex(*model, static_cast<int>(event.GetIndex())); });
            });
            list->Bind(wxEVT_LIST_ITEM_ACTIVATED, [this, model, list](wxListEvent& event) {
                // The cell under the mouse; the model learns how far the list is scrolled
                // first, so that the cell rectangles it gives out are those on the screen.
                const long row = event.GetIndex();
                const wxPoint at = list->ScreenToClient(wxGetMousePosition());
                int scrollX = 0;
                wxRect cell;
                if (list->GetSubItemRect(list->GetTopItem(), 0, cell))
                    scrollX = -cell.x;
                int column = 0, left = -scrollX;
                for (int c = 0; c < list->GetColumnCount(); ++c) {
                    const int width = list->GetColumnWidth(c);
                    if (at.x >= left && at.x < left + width) {
                        column = c;
                        break;
                    }
                    left += width;
                }
                const int top = static_cast<int>(list->GetTopItem());
                ActOn(model, [&] {
                    user::ScrollList(*model, top, scrollX);
                    user::DoubleClickCell(*model, static_cast<int>(row), column);
                });
            });
            // Column widths belong to the model.
            list->Bind(wxEVT_LIST_COL_BEGIN_DRAG, [](wxListEvent& event) { event.Veto(); });
            m_models[list->Rows()] = model;
            BindCommon(w, list->Rows());
            native = list;
            break;
        }
        case Kind::TreeView: {
            long style = wxTR_HIDE_ROOT | wxTR_SINGLE | BorderOf(w);
            style |= (w.style & TVS_HASBUTTONS) ? wxTR_HAS_BUTTONS : wxTR_NO_BUTTONS;
            if (w.style & TVS_LINESATROOT)
                style |= wxTR_LINES_AT_ROOT;
            if (!(w.style & TVS_HASLINES))
                style |= wxTR_NO_LINES;
            if (w.style & TVS_FULLROWSELECT)
                style |= wxTR_FULL_ROW_HIGHLIGHT;
            auto* tree = new wxTreeCtrl(parent, wxID_ANY, pos, size, style);
            tree->AddRoot("");
            auto nodeOf = [this, model, tree](const wxTreeItemId& item) -> TreeNode* {
                auto* data =
                    item.IsOk() ? dynamic_cast<NodeData*>(tree->GetItemData(item)) : nullptr;
                if (!data || !Window::FromHandle(model->Handle()))
                    return nullptr;
                return TreeNodeFromHandle(model, HandleOfNode(const_cast<TreeNode*>(data->node)));
            };
            tree->Bind(wxEVT_TREE_SEL_CHANGED, [this, model, nodeOf](wxTreeEvent& event) {
                TreeNode* node = nodeOf(event.GetItem());
                if (!node || Applying())
                    return;
                ActOn(model, [&] { user::PickNode(*model, node); });
                // The module may refuse the change.
                if (Record* r = RecordOf(model))
                    r->dirty |= kSelection;
                Flush();
            });
            auto expand = [this, model, nodeOf](wxTreeEvent& event, bool open) {
                TreeNode* node = nodeOf(event.GetItem());
                if (!node || Applying() || node->expanded == open)
                    return;
                ActOn(model, [&] { user::ExpandNode(*model, node, open); });
            };
            tree->Bind(wxEVT_TREE_ITEM_EXPANDED,
                       [expand](wxTreeEvent& event) { expand(event, true); });
            tree->Bind(wxEVT_TREE_ITEM_COLLAPSED,
                       [expand](wxTreeEvent& event) { expand(event, false); });
            native = tree;
            break;
        }
        case Kind::Custom: {
            auto* painted = new PaintedWindow(parent, w);
            painted->Bind(wxEVT_MOTION, [this, model, painted](wxMouseEvent& event) {
                ActOn(model, [&] { user::MouseMove(*model, POINT{event.GetX(), event.GetY()}); });
                painted->SetCursor(wxCursor(CursorOf(CurrentCursor())));
            });
            painted->Bind(wxEVT_LEAVE_WINDOW, [this, model](wxMouseEvent&) {
                // The window that holds the capture hears of the mouse leaving it.
                if (CaptureWindow() == model)
                    ActOn(model, [&] { user::MouseMove(*model, POINT{-1, -1}); });
            });
            painted->Bind(wxEVT_LEFT_UP, [this, model](wxMouseEvent&) {
                ActOn(model, [&] { user::Click(*model); });
            });
            native = painted;
            break;
        }
        default:
            return;  // the list's header is part of the native list; frames show nothing
    }
    record.native = native;
    m_models[native] = model;
    BindCommon(w, native);
    record.dirty = kAll;
}

void WxToolkit::BindCommon(Window& window, wxWindow* native) {
    Window* model = &window;
    native->Bind(wxEVT_SET_FOCUS, [this, model](wxFocusEvent& event) {
        event.Skip();
        if (Applying() || !Window::FromHandle(model->Handle()) || FocusWindow() == model)
            return;
        ModalRun* run = RunOf(model->Session());
        // Until the dialog shows the model's focus, the focus the desktop gives is not the
        // user's.
        if (!run || !run->ready)
            return;
        ActOn(model, [&] { user::Focus(*model); });
    });
    native->Bind(wxEVT_CONTEXT_MENU, [this, model, native](wxContextMenuEvent& event) {
        if (!Window::FromHandle(model->Handle()))
            return;
        wxPoint at = event.GetPosition();
        if (at == wxDefaultPosition)
            at = native->ClientToScreen(
                wxPoint(native->GetClientSize().x / 2, native->GetClientSize().y / 2));
        const POINT screen = ModelScreenPoint(*model, native, at);
        ActOn(model, [&] { user::ContextMenu(*model, screen); });
    });
}

// ---- Bringing native windows up to date ----------------------------------------------------

void WxToolkit::Flush() {
    if (m_flushing)
        return;
    m_flushing = true;
    ++m_applying;
    // Native windows for new model windows, parents before children and in the model's
    // (tab) order.
    for (DialogSession* session : Sessions()) {
        Record* root = RecordOf(&session->root);
        if (!root)
            continue;
        if (!root->native)
            Create(*root);
        auto walk = [&](auto& self, Window& parent) -> void {
            wxWindow* parentNative = NativeOf(&parent);
            for (const auto& child : parent.children) {
                Record* r = RecordOf(child.get());
                if (!r)
                    continue;
                if (!r->native && parentNative)
                    CreateControl(*r, parentNative);
                self(self, *child);
            }
        };
        walk(walk, session->root);
    }
    for (auto& [window, record] : m_records) {
        if (record.dirty && record.native)
            Apply(record);
    }
    ApplyFocus();
    --m_applying;
    m_flushing = false;
    // A session that ended leaves its modal loop.
    for (ModalRun* run : m_runs) {
        if (run->session->ended && run->dialog->IsModal())
            run->dialog->EndModal(static_cast<int>(run->session->result));
    }
}

void WxToolkit::Apply(Record& record) {
    const unsigned dirty = record.dirty;
    record.dirty = 0;
    if (dirty & kStyle)
        ApplyStyle(record);
    if (dirty & kGeometry)
        ApplyGeometry(record);
    if (dirty & kItems)
        ApplyItems(record);
    if (dirty & kText)
        ApplyText(record);
    if (dirty & kSelection)
        ApplySelection(record);
    if (dirty & kPaint)
        record.native->Refresh();
}

void WxToolkit::ApplyStyle(Record& record) {
    Window& w = *record.model;
    wxWindow* native = record.native;
    const FontDesc font = FontOfWindow(&w);
    const std::string fontKey = font.face + '|' + std::to_string(font.height) + '|' +
                                std::to_string(font.weight) + '|' + (font.italic ? 'i' : '-') +
                                (font.underline ? 'u' : '-') + (font.strikeOut ? 's' : '-');
    if (record.fontKey != fontKey) {
        record.fontKey = fontKey;
        native->SetFont(FontFor(font));
    }
    if (w.kind == Kind::Dialog)
        return;  // shown and hidden by its modal run
    if (native->IsThisEnabled() != w.Enabled()) {
        native->Enable(w.Enabled());
        // GTK does not always redraw a control whose sensitivity changed while it waited.
        native->Refresh();
    }
    native->Show(w.Visible());
    switch (w.kind) {
        case Kind::Edit:
            static_cast<wxTextCtrl*>(native)->SetEditable(!(w.style & ES_READONLY));
            break;
        case Kind::Button:
            if (auto* button = dynamic_cast<wxButton*>(native)) {
                DialogSession* session = w.Session();
                if (session && static_cast<UINT>(w.id) == session->defaultId)
                    button->SetDefault();
            }
            break;
        case Kind::ListView: {
            const long style = ListStyleOf(w);
            const long mask = wxLC_HRULES | wxLC_VRULES | wxLC_SINGLE_SEL | wxLC_NO_HEADER;
            if ((native->GetWindowStyleFlag() & mask) != (style & mask))
                native->SetWindowStyleFlag((native->GetWindowStyleFlag() & ~mask) | (style & mask));
            break;
        }
        default:
            break;
    }
}

void WxToolkit::ApplyGeometry(Record& record) {
    Window& w = *record.model;
    const wxRect rect = RectOf(w);
    if (w.kind == Kind::Dialog) {
        record.native->SetPosition(rect.GetPosition());
        record.native->SetClientSize(rect.GetSize());
        return;
    }
    if (w.kind == Kind::ComboBox) {
        // The template's height is that of the dropped list; the box has its own.
        record.native->SetSize(rect.x, rect.y, rect.width, record.native->GetBestSize().y);
        return;
    }
    record.native->SetSize(rect);
    if (w.kind == Kind::ListView) {
        auto* list = static_cast<ModelList*>(record.native);
        const int top = w.As<ListViewState>().topIndex;
        if (top != record.appliedTop && list->GetItemCount() > 0) {
            record.appliedTop = top;
            const long nativeTop = list->GetTopItem();
            const int row = std::max(1, ListMetricsOf(w).row);
            list->ScrollList(0, static_cast<int>((top - nativeTop) * row));
        }
    }
}

void WxToolkit::ApplyText(Record& record) {
    Window& w = *record.model;
    wxWindow* native = record.native;
    const wxString text = Wx(w.text);
    switch (w.kind) {
        case Kind::Dialog:
            if (static_cast<wxDialog*>(native)->GetTitle() != text)
                static_cast<wxDialog*>(native)->SetTitle(text);
            break;
        case Kind::Button:
            if (native->GetLabel() != text)
                native->SetLabel(text);
            break;
        case Kind::Static:
            if (w.id == kBrowserPaneId)
                ShowInBrowserPane(native, w.text);
            else if (auto* label = dynamic_cast<wxStaticText*>(native)) {
                const wxString shown =
                    (w.style & SS_NOPREFIX) ? wxControl::EscapeMnemonics(text) : text;
                if (label->GetLabel() != shown) {
                    label->SetLabel(shown);
                    // Labels of more than one line wrap at the control's width.
                    if (label->GetSize().y >= 2 * label->GetCharHeight())
                        label->Wrap(label->GetSize().x);
                }
            } else if (auto* box = dynamic_cast<wxStaticBox*>(native)) {
                if (box->GetLabel() != text)
                    box->SetLabel(text);
            }
            break;
        case Kind::Edit: {
            auto* edit = static_cast<wxTextCtrl*>(native);
            if (edit->GetValue() != text) {
                edit->ChangeValue(text);
                ApplySelection(record);
            }
            break;
        }
        case Kind::ComboBox:
            if (auto* combo = dynamic_cast<wxComboBox*>(native); combo && combo->GetValue() != text)
                combo->ChangeValue(text);
            break;
        default:
            break;
    }
}

void WxToolkit::ApplyItems(Record& record) {
    Window& w = *record.model;
    switch (w.kind) {
        case Kind::ComboBox:
        case Kind::ListBox: {
            std::vector<std::string> entries;
            for (const ListItem& item : *ItemsOf(&w))
                entries.push_back(item.text);
            if (entries == record.entries)
                return;
            record.entries = entries;
            wxArrayString strings;
            for (const std::string& e : entries)
                strings.Add(Wx(e));
            auto* items = dynamic_cast<wxItemContainer*>(record.native);
            items->Set(strings);
            if (auto* combo = dynamic_cast<wxComboBox*>(record.native))
                combo->ChangeValue(Wx(w.text));
            break;
        }
        case Kind::ListView: {
            auto* list = static_cast<ModelList*>(record.native);
            const ListViewState& state = w.As<ListViewState>();
            bool same = state.columns.size() == record.columns.size();
            for (std::size_t c = 0; same && c < state.columns.size(); ++c) {
                same = state.columns[c].text == record.columns[c].text &&
                       state.columns[c].width == record.columns[c].width &&
                       state.columns[c].format == record.columns[c].format;
            }
            if (!same) {
                list->DeleteAllColumns();
                for (std::size_t c = 0; c < state.columns.size(); ++c) {
                    const ListColumn& column = state.columns[c];
                    list->InsertColumn(static_cast<long>(c), Wx(column.text),
                                       FormatOf(column.format), column.width);
                }
                record.columns = state.columns;
            }
            const long rows = static_cast<long>(state.rows.size());
            if (rows != record.rows) {
                record.rows = rows;
                list->SetItemCount(rows);
            }
            list->Refresh();
            break;
        }
        case Kind::TreeView:
            ApplyTree(record);
            break;
        default:
            break;
    }
}

void WxToolkit::ApplySelection(Record& record) {
    Window& w = *record.model;
    wxWindow* native = record.native;
    switch (w.kind) {
        case Kind::Button:
            if (auto* box = dynamic_cast<wxCheckBox*>(native)) {
                const int check = w.As<ButtonState>().check;
                box->Set3StateValue(check == BST_CHECKED         ? wxCHK_CHECKED
                                    : check == BST_INDETERMINATE ? wxCHK_UNDETERMINED
                                                                 : wxCHK_UNCHECKED);
            } else if (auto* radio = dynamic_cast<wxRadioButton*>(native)) {
                const bool checked = w.As<ButtonState>().check == BST_CHECKED;
                if (radio->GetValue() != checked)
                    radio->SetValue(checked);
            }
            break;
        case Kind::Edit: {
            auto* edit = static_cast<wxTextCtrl*>(native);
            const EditState& e = w.As<EditState>();
            const long from = CodePointsBefore(w.text, e.selStart);
            const long to = CodePointsBefore(w.text, e.selEnd);
            long nativeFrom = 0, nativeTo = 0;
            edit->GetSelection(&nativeFrom, &nativeTo);
            if (nativeFrom != from || nativeTo != to)
                edit->SetSelection(from, to);
            break;
        }
        case Kind::ComboBox:
        case Kind::ListBox: {
            const int sel = *CurSelOf(&w);
            auto* items = dynamic_cast<wxItemContainer*>(native);
            if (items->GetSelection() != sel)
                items->SetSelection(sel);
            if (auto* combo = dynamic_cast<wxComboBox*>(native);
                combo && combo->GetValue() != Wx(w.text))
                combo->ChangeValue(Wx(w.text));
            break;
        }
        case Kind::ListView:
            ApplyListSelection(record);
            break;
        case Kind::TreeView:
            ApplyTreeSelection(record);
            break;
        default:
            break;
    }
}

void WxToolkit::ApplyListSelection(Record& record) {
    auto* list = static_cast<ModelList*>(record.native);
    const std::vector<ListRow>& rows = record.model->As<ListViewState>().rows;
    const long count = std::min<long>(static_cast<long>(rows.size()), list->GetItemCount());
    for (long i = list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); i != -1;
         i = list->GetNextItem(i, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED)) {
        if (i >= count || !(rows[i].state & LVIS_SELECTED))
            list->SetItemState(i, 0, wxLIST_STATE_SELECTED);
    }
    for (long i = 0; i < count; ++i) {
        const UINT state = rows[i].state;
        const long wanted = ((state & LVIS_SELECTED) ? wxLIST_STATE_SELECTED : 0) |
                            ((state & LVIS_FOCUSED) ? wxLIST_STATE_FOCUSED : 0);
        const long mask = wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED;
        if (wanted && (list->GetItemState(i, mask) & mask) != wanted)
            list->SetItemState(i, wanted, mask);
    }
}

void WxToolkit::ApplyTree(Record& record) {
    Window& w = *record.model;
    auto* tree = static_cast<wxTreeCtrl*>(record.native);
    TreeState& state = w.As<TreeState>();
    ImageList* images = ImageListFromHandle(state.images);
    const std::size_t imageCount = images ? images->images.size() : 0;
    if (state.images != record.appliedImages || imageCount != record.appliedImageCount) {
        record.appliedImages = state.images;
        record.appliedImageCount = imageCount;
        tree->AssignImageList(images ? NativeImageList(*images).release() : nullptr);
    }
    const std::vector<TreeNode*> order = TreeNodesInOrder(&w, false);
    const bool same =
        std::equal(order.begin(), order.end(), record.nodes.begin(), record.nodes.end());
    if (!same) {
        tree->DeleteChildren(tree->GetRootItem());
        record.items.clear();
        record.nodes.assign(order.begin(), order.end());
        for (const TreeNode* node : order) {
            const wxTreeItemId parent =
                node->parent ? record.items[node->parent] : tree->GetRootItem();
            record.items[node] =
                tree->AppendItem(parent, Wx(node->text), images ? node->image : -1,
                                 images ? node->selectedImage : -1, new NodeData(node));
        }
    }
    for (const TreeNode* node : order) {
        const wxTreeItemId item = record.items[node];
        if (same) {
            if (tree->GetItemText(item) != Wx(node->text))
                tree->SetItemText(item, Wx(node->text));
            const int image = images ? node->image : -1;
            const int selected = images ? node->selectedImage : -1;
            if (tree->GetItemImage(item) != image)
                tree->SetItemImage(item, image);
            if (tree->GetItemImage(item, wxTreeItemIcon_Selected) != selected)
                tree->SetItemImage(item, selected, wxTreeItemIcon_Selected);
        }
        tree->SetItemHasChildren(item, !node->children.empty());
        if (node->expanded && !node->children.empty() && !tree->IsExpanded(item))
            tree->Expand(item);
        else if (!node->expanded && tree->IsExpanded(item))
            tree->Collapse(item);
    }
}

void WxToolkit::ApplyTreeSelection(Record& record) {
    auto* tree = static_cast<wxTreeCtrl*>(record.native);
    const TreeNode* selected = record.model->As<TreeState>().selected;
    auto it = selected ? record.items.find(selected) : record.items.end();
    if (it == record.items.end()) {
        if (tree->GetSelection().IsOk())
            tree->Unselect();
        return;
    }
    if (tree->GetSelection() != it->second) {
        tree->SelectItem(it->second);
        tree->EnsureVisible(it->second);
    }
}

void WxToolkit::ApplyFocus() {
    Window* focus = FocusWindow();
    Record* r = RecordOf(focus);
    if (!r || !r->native)
        return;
    wxWindow* target = r->native;
    if (auto* list = dynamic_cast<ModelList*>(target))
        target = list->Rows();
    if (!target->IsShownOnScreen() || !target->IsEnabled())
        return;
    if (ModelOf(wxWindow::FindFocus()) == focus)
        return;
    target->SetFocus();
}

ListMetrics WxToolkit::ListMetricsOf(Window& list) {
    return MeasureList(FontOfWindow(&list),
                       ListStyleOf(list) & (wxLC_NO_HEADER | wxLC_HRULES | wxLC_VRULES));
}

// ---- Keyboard --------------------------------------------------------------------------------

void WxToolkit::OnCharHook(DialogSession& session, wxKeyEvent& event) {
    ModalRun* run = RunOf(&session);
    if (!run || run->scripted || session.ended) {
        event.Skip();
        return;
    }
    const int code = event.GetKeyCode();
    const bool plain = !event.HasAnyModifiers();
    Window* focus = FocusWindow();
    if (focus && focus->Session() != &session)
        focus = nullptr;
    UINT key = 0;
    switch (code) {
        case WXK_TAB:
            if (event.ShiftDown() && !event.ControlDown() && !event.AltDown()) {
                UserAction([&] { session.dialog.PrevDlgCtrl(); });
                return;
            }
            key = plain ? VK_TAB : 0;
            break;
        case WXK_RETURN:
        case WXK_NUMPAD_ENTER:
            key = plain ? VK_RETURN : 0;
            break;
        case WXK_ESCAPE:
            key = VK_ESCAPE;
            break;
        case WXK_F1:
            key = VK_F1;
            break;
        case WXK_F2:
            key = VK_F2;
            break;
        case WXK_DELETE:
        case WXK_BACK:
            // The model edits the text of edit controls for these keys, so that the module's
            // key handlers see them.
            if (plain && focus && focus->kind == Kind::Edit)
                key = code == WXK_DELETE ? VK_DELETE : VK_BACK;
            break;
        default:
            break;
    }
    if (!key) {
        event.Skip();
        return;
    }
    UserAction([&] {
        if (!focus) {
            if (key == VK_RETURN)
                user::Ok(session);
            else if (key == VK_ESCAPE)
                user::Cancel(session);
            else if (key == VK_TAB)
                session.dialog.NextDlgCtrl();
            return;
        }
        if (focus->kind == Kind::Edit) {
            // Where the user put the caret is where the model edits.
            if (auto* edit = dynamic_cast<wxTextCtrl*>(NativeOf(focus))) {
                long from = 0, to = 0;
                edit->GetSelection(&from, &to);
                const std::size_t start = ByteOffsetOfCodePoints(focus->text, from);
                const std::size_t end = ByteOffsetOfCodePoints(focus->text, to);
                const EditState& e = focus->As<EditState>();
                if (start != e.selStart || end != e.selEnd)
                    user::SelectText(*focus, UnitsOfByteOffset(focus->text, start, true),
                                     UnitsOfByteOffset(focus->text, end, true));
            }
        }
        user::Key(*focus, key);
    });
}

}  // namespace host::ui::wx
