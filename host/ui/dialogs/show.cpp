// A dialog as text (the @show action): title, then every control with its id, kind, text or
// value, state, and its entries, rows or items with the selection, columns aligned.
#include "host/ui/dialogs/show.h"

#include <algorithm>
#include <sstream>

#include "host/ui/dialogs/controls.h"
#include "host/ui/dialogs/session.h"

namespace host::ui {

namespace {

constexpr std::size_t kRowsShown = 20;  // rows of a list view in a whole-dialog listing

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += c;
        }
    }
    return out + "\"";
}

std::string Padded(const std::string& text, std::size_t width) {
    const std::size_t shown = CodePointCount(text);
    return shown >= width ? text : text + std::string(width - shown, ' ');
}

std::string Hex(COLORREF colour) {
    static const char* digits = "0123456789ABCDEF";
    std::string out = "#";
    for (const BYTE part : {GetRValue(colour), GetGValue(colour), GetBValue(colour)}) {
        out += digits[part >> 4];
        out += digits[part & 0xF];
    }
    return out;
}

const char* KindLabel(const Window& w) {
    if (w.kind == Kind::Button) {
        switch (w.style & BS_TYPEMASK) {
            case BS_CHECKBOX:
            case BS_AUTOCHECKBOX:
            case BS_3STATE:
            case BS_AUTO3STATE:
                return "check box";
            case BS_RADIOBUTTON:
            case BS_AUTORADIOBUTTON:
                return "radio";
            default:
                return "button";
        }
    }
    if (w.kind == Kind::Static && w.className == "Button")
        return "group box";
    if (w.kind == Kind::ComboBox && (w.style & 0x3) == CBS_DROPDOWNLIST)
        return "drop list";
    return KindName(w.kind);
}

std::string ValueOf(Window& w) {
    switch (w.kind) {
        case Kind::Button: {
            std::string value = Quote(w.text);
            const DWORD type = w.style & BS_TYPEMASK;
            if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON && type != BS_GROUPBOX) {
                const int check = w.As<ButtonState>().check;
                value += check == BST_CHECKED         ? " [x]"
                         : check == BST_INDETERMINATE ? " [-]"
                                                      : " [ ]";
            }
            return value;
        }
        case Kind::Static:
            if ((w.style & SS_TYPEMASK) == SS_ETCHEDHORZ ||
                (w.style & SS_TYPEMASK) == SS_ETCHEDVERT)
                return "(line)";
            return Quote(w.text);
        case Kind::Edit: {
            if (w.style & ES_PASSWORD)
                return Quote(std::string(CodePointCount(w.text), '*'));
            std::string value = Quote(w.text);
            const EditState& e = w.As<EditState>();
            if (e.selStart != e.selEnd) {
                value += " selected " +
                         std::to_string(UnitsOfByteOffset(w.text, e.selStart, true)) + "-" +
                         std::to_string(UnitsOfByteOffset(w.text, e.selEnd, true));
            }
            return value;
        }
        case Kind::ComboBox:
            return Quote(w.text);
        case Kind::ListView: {
            const ListViewState& list = w.As<ListViewState>();
            std::string value = std::to_string(list.rows.size()) +
                                (list.rows.size() == 1 ? " row, " : " rows, ") +
                                std::to_string(list.columns.size()) +
                                (list.columns.size() == 1 ? " column" : " columns");
            if (list.exStyle & LVS_EX_FULLROWSELECT)
                value += ", full-row select";
            if (list.exStyle & LVS_EX_GRIDLINES)
                value += ", grid lines";
            return value;
        }
        case Kind::TreeView: {
            const std::size_t count = w.As<TreeState>().count;
            return std::to_string(count) + (count == 1 ? " item" : " items");
        }
        case Kind::Custom:
            return Quote(w.className);
        default:
            return Quote(w.text);
    }
}

std::string FlagsOf(Window& w, const DialogSession& session) {
    std::string flags;
    auto add = [&](const char* flag) {
        flags += "  ";
        flags += flag;
    };
    if (!w.Enabled())
        add("disabled");
    if (!w.Visible())
        add("hidden");
    if (FocusWindow() == &w)
        add("focus");
    if (w.kind == Kind::Button && static_cast<UINT>(w.id) == session.defaultId &&
        ((w.style & BS_TYPEMASK) == BS_PUSHBUTTON || (w.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON))
        add("default");
    if (w.kind == Kind::Edit) {
        if (w.style & ES_READONLY)
            add("read-only");
        if (w.style & ES_PASSWORD)
            add("password");
        if (w.style & ES_MULTILINE)
            add("multi-line");
    }
    return flags;
}

void ShowEntries(Window& w, std::ostream& out, const std::string& indent) {
    const std::vector<ListItem>& items = *ItemsOf(&w);
    const int sel = *CurSelOf(&w);
    out << '\n' << indent << "entries:";
    if (items.empty())
        out << " (none)";
    for (std::size_t i = 0; i < items.size(); ++i) {
        out << (i ? " | " : " ");
        if (static_cast<int>(i) == sel)
            out << '[' << items[i].text << ']';
        else
            out << items[i].text;
    }
}

void ShowRows(Window& w, std::ostream& out, const std::string& indent, bool all) {
    const ListViewState& list = w.As<ListViewState>();
    const std::size_t columns = std::max<std::size_t>(list.columns.size(), 1);
    const std::size_t shown = all ? list.rows.size() : std::min(list.rows.size(), kRowsShown);
    std::vector<std::size_t> widths(columns, 0);
    for (std::size_t c = 0; c < list.columns.size(); ++c)
        widths[c] = CodePointCount(list.columns[c].text);
    for (std::size_t r = 0; r < shown; ++r) {
        for (std::size_t c = 0; c < columns; ++c)
            widths[c] = std::max(
                widths[c], CodePointCount(ListCell(&w, static_cast<int>(r), static_cast<int>(c))));
    }
    const std::size_t numberWidth = std::to_string(shown > 0 ? shown - 1 : 0).size();
    auto line = [&](const std::string& mark, const std::string& number, auto cellOf) {
        out << '\n'
            << indent << mark << std::string(numberWidth - CodePointCount(number), ' ') << number;
        for (std::size_t c = 0; c < columns; ++c)
            out << " | " << Padded(cellOf(c), widths[c]);
        out << " |";
    };
    if (!list.columns.empty())
        line("  ", "", [&](std::size_t c) { return list.columns[c].text; });
    for (std::size_t r = 0; r < shown; ++r) {
        const bool selected = (list.rows[r].state & LVIS_SELECTED) != 0;
        line(selected ? "> " : "  ", std::to_string(r),
             [&](std::size_t c) { return ListCell(&w, static_cast<int>(r), static_cast<int>(c)); });
    }
    if (shown < list.rows.size()) {
        out << '\n'
            << indent << "(" << list.rows.size() - shown << " more rows; @show " << w.id
            << " lists them all)";
    }
}

void ShowTree(Window& w, std::ostream& out, const std::string& indent) {
    const TreeState& tree = w.As<TreeState>();
    for (TreeNode* node : TreeNodesInOrder(&w, true)) {
        int depth = 0;
        for (TreeNode* p = node->parent; p; p = p->parent)
            ++depth;
        const char* fold = node->children.empty() ? "  " : node->expanded ? "- " : "+ ";
        out << '\n'
            << indent << (tree.selected == node ? "> " : "  ") << std::string(depth * 2, ' ')
            << fold << node->text << "  [" << node->image << ']';
    }
}

void ShowPaint(Window& w, std::ostream& out, const std::string& indent) {
    for (const PaintRun& run : w.As<CustomState>().runs) {
        out << '\n'
            << indent << "text " << Quote(run.text) << " at " << run.x << ',' << run.y << ' '
            << Hex(run.textColour);
        if (run.opaque)
            out << " on " << Hex(run.backColour);
        if (run.font.underline)
            out << " underlined";
    }
}

void ShowControl(Window& w, const DialogSession& session, std::ostream& out, bool all) {
    const std::string id = std::to_string(w.id);
    out << '\n'
        << std::string(id.size() < 5 ? 5 - id.size() : 0, ' ') << id << "  "
        << Padded(KindLabel(w), 10) << ' ' << ValueOf(w) << FlagsOf(w, session);
    const std::string indent(18, ' ');
    switch (w.kind) {
        case Kind::ComboBox:
        case Kind::ListBox:
            ShowEntries(w, out, indent);
            break;
        case Kind::ListView:
            ShowRows(w, out, indent, all);
            break;
        case Kind::TreeView:
            ShowTree(w, out, indent);
            break;
        case Kind::Custom:
            ShowPaint(w, out, indent);
            break;
        default:
            break;
    }
}

void ShowChildren(Window& parent, const DialogSession& session, std::ostream& out) {
    for (const auto& child : parent.children) {
        Window& w = *child;
        if (w.kind == Kind::Header)
            continue;
        ShowControl(w, session, out, false);
        ShowChildren(w, session, out);
    }
}

}  // namespace

std::string ShowDialog(DialogSession& session, Window* only) {
    std::ostringstream out;
    if (only) {
        ShowControl(*only, session, out, true);
        return out.str();
    }
    const RESOURCE_DIALOG& t = session.dialogTemplate;
    out << "\nDialog " << Quote(session.Caption()) << " (" << session.TemplateName() << "), "
        << t.cx << " x " << t.cy;
    ShowChildren(session.root, session, out);
    return out.str();
}

std::string ShowMenu(const Menu& menu) {
    std::ostringstream out;
    out << "\nMenu:";
    for (const MenuEntry& entry : menu.entries) {
        if (entry.Separator()) {
            out << "\n        ----";
            continue;
        }
        const std::string id = std::to_string(entry.id);
        out << '\n'
            << std::string(id.size() < 6 ? 6 - id.size() : 0, ' ') << id << "  " << entry.text;
        if (entry.Greyed())
            out << "  (greyed)";
        if (entry.flags & MF_CHECKED)
            out << "  (checked)";
    }
    return out.str();
}

}  // namespace host::ui
