#include "host/ui/dialogs/controls.h"

#include <algorithm>
#include <unordered_set>

#include "host/ui/dialogs/session.h"
#include "host/ui/dialogs/toolkit.h"
#include "platform/textconv.h"

namespace host::ui {

namespace {

// Offset of the character boundary at or before `offset`.
std::size_t SnapToBoundary(const std::string& s, std::size_t offset) {
    offset = std::min(offset, s.size());
    while (offset > 0 && offset < s.size() &&
           (static_cast<unsigned char>(s[offset]) & 0xC0) == 0x80)
        --offset;
    return offset;
}

std::size_t NextBoundary(const std::string& s, std::size_t offset) {
    if (offset >= s.size())
        return s.size();
    ++offset;
    while (offset < s.size() && (static_cast<unsigned char>(s[offset]) & 0xC0) == 0x80)
        ++offset;
    return offset;
}

std::size_t PreviousBoundary(const std::string& s, std::size_t offset) {
    if (offset == 0)
        return 0;
    --offset;
    while (offset > 0 && (static_cast<unsigned char>(s[offset]) & 0xC0) == 0x80)
        --offset;
    return offset;
}

bool SingleLineEdit(const Window* w) {
    return w->kind == Kind::Edit && !(w->style & ES_MULTILINE);
}

void SaveUndo(Window* w) {
    EditState& e = w->As<EditState>();
    e.canUndo = true;
    e.undoText = w->text;
    e.undoSelStart = e.selStart;
    e.undoSelEnd = e.selEnd;
}

void EditChanged(Window* w) {
    NotifyChanged(*w, Change::Text);
    CommandToParent(w, EN_UPDATE);
    CommandToParent(w, EN_CHANGE);
}

std::string SelectedText(Window* w) {
    const EditState& e = w->As<EditState>();
    return w->text.substr(e.selStart, e.selEnd - e.selStart);
}

int CompareItems(const std::string& a, const std::string& b) {
    return qv::CompareNoCase<char>(a, b);
}

std::unordered_set<const TreeNode*>& LiveNodes() {
    static auto* nodes = new std::unordered_set<const TreeNode*>;  // never destroyed
    return *nodes;
}

void ForgetNodes(TreeNode* node, std::size_t& count) {
    for (auto& child : node->children)
        ForgetNodes(child.get(), count);
    LiveNodes().erase(node);
    if (count > 0)
        --count;
}

void CollectNodes(TreeNode* node, bool visibleOnly, std::vector<TreeNode*>& out) {
    out.push_back(node);
    if (visibleOnly && !node->expanded)
        return;
    for (auto& child : node->children)
        CollectNodes(child.get(), visibleOnly, out);
}

template <class C>
void FillTreeItem(TVITEMT<C>& item, TreeNode* node) {
    item = {};
    if (!node)
        return;
    item.mask = TVIF_HANDLE | TVIF_STATE | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    item.hItem = HandleOfNode(node);
    item.lParam = static_cast<LPARAM>(node->data);
    item.iImage = node->image;
    item.iSelectedImage = node->selectedImage;
    item.state = node->expanded ? TVIS_EXPANDED : 0;
}

LRESULT SendTreeNotify(Window* tree, UINT code, UINT action, TreeNode* oldNode, TreeNode* newNode) {
    NMTREEVIEWA nm{};
    nm.action = action;
    FillTreeItem(nm.itemOld, oldNode);
    FillTreeItem(nm.itemNew, newNode);
    return NotifyParent(tree, nm.hdr, code);
}

}  // namespace

std::size_t ByteOffsetOfUnits(const std::string& utf8, long units, bool utf16) {
    if (units <= 0)
        return 0;
    if (!utf16)
        return SnapToBoundary(utf8, static_cast<std::size_t>(units));
    std::size_t i = 0;
    long counted = 0;
    while (i < utf8.size() && counted < units) {
        const std::size_t start = i;
        const char32_t cp = qv::DecodeUtf8(utf8, i);
        const long width = cp > 0xFFFF ? 2 : 1;
        if (counted + width > units)
            return start;
        counted += width;
    }
    return i;
}

long UnitsOfByteOffset(const std::string& utf8, std::size_t offset, bool utf16) {
    offset = std::min(offset, utf8.size());
    if (!utf16)
        return static_cast<long>(offset);
    long units = 0;
    std::size_t i = 0;
    while (i < offset) {
        const char32_t cp = qv::DecodeUtf8(utf8, i);
        units += cp > 0xFFFF ? 2 : 1;
    }
    return units;
}

std::size_t CodePointCount(std::string_view utf8) {
    std::size_t n = 0;
    for (const char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++n;
    }
    return n;
}

// ---- Window text -------------------------------------------------------------------------------

void SetWindowTextModel(Window* w, std::string utf8) {
    if (!w)
        return;
    w->text = std::move(utf8);
    if (w->kind == Kind::Edit) {
        EditState& e = w->As<EditState>();
        e.selStart = e.selEnd = 0;
        e.canUndo = false;
        NotifyChanged(*w, Change::Text);
        if (SingleLineEdit(w))
            CommandToParent(w, EN_CHANGE);
        return;
    }
    NotifyChanged(*w, Change::Text);
}

// ---- Edit controls
// -------------------------------------------------------------------------------

bool EditReadOnly(const Window* w) {
    return (w->style & ES_READONLY) != 0;
}

void EditSetSelection(Window* w, long start, long end, bool utf16Units) {
    EditState& e = w->As<EditState>();
    // The platform's rules: start -1 removes the selection (caret at its start); end -1
    // selects to the end.
    if (start < 0) {
        e.selEnd = e.selStart;
    } else {
        std::size_t s = ByteOffsetOfUnits(w->text, start, utf16Units);
        std::size_t t = end < 0 ? w->text.size() : ByteOffsetOfUnits(w->text, end, utf16Units);
        if (s > t)
            std::swap(s, t);
        e.selStart = s;
        e.selEnd = t;
    }
    NotifyChanged(*w, Change::Selection);
}

void EditReplaceSelection(Window* w, std::string_view utf8, bool canUndo, bool notify) {
    EditState& e = w->As<EditState>();
    std::string insert(utf8);
    if (SingleLineEdit(w)) {
        // A single-line box keeps one line.
        const std::size_t end = insert.find_first_of("\r\n");
        if (end != std::string::npos)
            insert.resize(end);
    }
    if (e.limit > 0) {
        const std::size_t kept = w->text.size() - (e.selEnd - e.selStart);
        if (kept >= e.limit)
            return;
        if (kept + insert.size() > e.limit)
            insert.resize(SnapToBoundary(insert, e.limit - kept));
    }
    if (canUndo)
        SaveUndo(w);
    w->text.replace(e.selStart, e.selEnd - e.selStart, insert);
    e.selStart += insert.size();
    e.selEnd = e.selStart;
    if (notify)
        EditChanged(w);
    else
        NotifyChanged(*w, Change::Text);
}

void EditSetTextFromUser(Window* w, const std::string& utf8) {
    EditState& e = w->As<EditState>();
    e.selStart = 0;
    e.selEnd = w->text.size();
    EditReplaceSelection(w, utf8, true);
}

bool EditUndo(Window* w) {
    EditState& e = w->As<EditState>();
    if (!e.canUndo || EditReadOnly(w))
        return false;
    // One level of undo that an undo itself reverses, as the platform's edit control does.
    std::string text = std::move(e.undoText);
    const std::size_t selStart = e.undoSelStart, selEnd = e.undoSelEnd;
    e.undoText = w->text;
    e.undoSelStart = e.selStart;
    e.undoSelEnd = e.selEnd;
    w->text = std::move(text);
    e.selStart = std::min(selStart, w->text.size());
    e.selEnd = std::min(selEnd, w->text.size());
    EditChanged(w);
    return true;
}

void EditCopy(Window* w) {
    const EditState& e = w->As<EditState>();
    if (e.selStart == e.selEnd || (w->style & ES_PASSWORD))
        return;
    CurrentToolkit().SetClipboardText(SelectedText(w));
}

void EditCut(Window* w) {
    const EditState& e = w->As<EditState>();
    if (e.selStart == e.selEnd || EditReadOnly(w) || (w->style & ES_PASSWORD))
        return;
    EditCopy(w);
    EditReplaceSelection(w, "", true);
}

void EditClear(Window* w) {
    const EditState& e = w->As<EditState>();
    if (e.selStart == e.selEnd || EditReadOnly(w))
        return;
    EditReplaceSelection(w, "", true);
}

void EditPaste(Window* w) {
    if (EditReadOnly(w))
        return;
    if (std::optional<std::string> text = CurrentToolkit().ClipboardText())
        EditReplaceSelection(w, *text, true);
}

void EditTypeChar(Window* w, char32_t ch) {
    if (EditReadOnly(w))
        return;
    EditState& e = w->As<EditState>();
    if (ch == 8) {  // backspace
        if (e.selStart == e.selEnd)
            e.selStart = PreviousBoundary(w->text, e.selStart);
        if (e.selStart != e.selEnd)
            EditReplaceSelection(w, "", true);
        return;
    }
    if (ch == '\r') {
        if (!(w->style & ES_MULTILINE))
            return;
        EditReplaceSelection(w, "\n", true);
        return;
    }
    if (ch < 0x20 && ch != '\t')
        return;
    std::string typed;
    qv::AppendUtf8(typed, ch);
    EditReplaceSelection(w, typed, true);
}

void EditKeyDown(Window* w, UINT virtualKey) {
    EditState& e = w->As<EditState>();
    switch (virtualKey) {
        case VK_DELETE:
            if (EditReadOnly(w))
                return;
            if (e.selStart == e.selEnd)
                e.selEnd = NextBoundary(w->text, e.selEnd);
            if (e.selStart != e.selEnd)
                EditReplaceSelection(w, "", true);
            return;
        case VK_LEFT:
            e.selStart = e.selEnd =
                e.selStart == e.selEnd ? PreviousBoundary(w->text, e.selStart) : e.selStart;
            break;
        case VK_RIGHT:
            e.selStart = e.selEnd =
                e.selStart == e.selEnd ? NextBoundary(w->text, e.selEnd) : e.selEnd;
            break;
        case VK_HOME:
            e.selStart = e.selEnd = 0;
            break;
        case VK_END:
            e.selStart = e.selEnd = w->text.size();
            break;
        default:
            return;
    }
    NotifyChanged(*w, Change::Selection);
}

void EditStandardContextMenu(Window* w, LPARAM screenPoint) {
    const EditState& e = w->As<EditState>();
    const bool selection = e.selStart != e.selEnd;
    const bool readOnly = EditReadOnly(w);
    const bool clipboard = CurrentToolkit().ClipboardText().has_value();
    Menu menu;
    auto add = [&](UINT id, const char* text, bool enabled) {
        menu.entries.push_back(
            {static_cast<UINT>(enabled ? MF_STRING : MF_STRING | MF_GRAYED), id, text});
    };
    add(WM_UNDO, "&Undo", e.canUndo && !readOnly);
    menu.entries.push_back({MF_SEPARATOR, 0, ""});
    add(WM_CUT, "Cu&t", selection && !readOnly);
    add(WM_COPY, "&Copy", selection);
    add(WM_PASTE, "&Paste", clipboard && !readOnly);
    add(WM_CLEAR, "&Delete", selection && !readOnly);
    menu.entries.push_back({MF_SEPARATOR, 0, ""});
    add(0x00B1 /* select all */, "Select &All", !w->text.empty());
    POINT at{static_cast<SHORT>(screenPoint & 0xFFFF),
             static_cast<SHORT>((screenPoint >> 16) & 0xFFFF)};
    const UINT_PTR chosen = CurrentToolkit().TrackMenu(menu, at, w);
    if (chosen == 0x00B1) {
        EditSetSelection(w, 0, -1, false);
    } else if (chosen != 0) {
        Send(w, static_cast<UINT>(chosen));
    }
}

// ---- Combo boxes and list boxes
// -------------------------------------------------------------------

std::vector<ListItem>* ItemsOf(Window* w) {
    if (auto* combo = w->Try<ComboState>())
        return &combo->items;
    if (auto* list = w->Try<ListBoxState>())
        return &list->items;
    return nullptr;
}

int* CurSelOf(Window* w) {
    if (auto* combo = w->Try<ComboState>())
        return &combo->curSel;
    if (auto* list = w->Try<ListBoxState>())
        return &list->curSel;
    return nullptr;
}

bool Sorted(const Window* w) {
    if (w->kind == Kind::ComboBox)
        return (w->style & CBS_SORT) != 0;
    if (w->kind == Kind::ListBox)
        return (w->style & LBS_SORT) != 0;
    return false;
}

int InsertItemAt(Window* w, int index, std::string utf8) {
    std::vector<ListItem>* items = ItemsOf(w);
    if (!items)
        return CB_ERR;
    if (index < 0 || index > static_cast<int>(items->size()))
        index = static_cast<int>(items->size());
    items->insert(items->begin() + index, ListItem{std::move(utf8), 0});
    int* sel = CurSelOf(w);
    if (*sel >= index)
        ++*sel;
    NotifyChanged(*w, Change::Items);
    return index;
}

int AddItem(Window* w, std::string utf8) {
    std::vector<ListItem>* items = ItemsOf(w);
    if (!items)
        return CB_ERR;
    int index = static_cast<int>(items->size());
    if (Sorted(w)) {
        const auto at = std::upper_bound(items->begin(), items->end(), utf8,
                                         [](const std::string& text, const ListItem& item) {
                                             return CompareItems(text, item.text) < 0;
                                         });
        index = static_cast<int>(at - items->begin());
    }
    return InsertItemAt(w, index, std::move(utf8));
}

int DeleteItemAt(Window* w, int index) {
    std::vector<ListItem>* items = ItemsOf(w);
    if (!items || index < 0 || index >= static_cast<int>(items->size()))
        return CB_ERR;
    items->erase(items->begin() + index);
    int* sel = CurSelOf(w);
    if (*sel == index)
        *sel = -1;
    else if (*sel > index)
        --*sel;
    NotifyChanged(*w, Change::Items);
    return static_cast<int>(items->size());
}

void ResetItems(Window* w) {
    if (std::vector<ListItem>* items = ItemsOf(w)) {
        items->clear();
        *CurSelOf(w) = -1;
        if (w->kind == Kind::ComboBox)
            w->text.clear();
        NotifyChanged(*w, Change::Items);
    }
}

int FindItem(Window* w, int startAfter, std::string_view utf8, bool exact) {
    std::vector<ListItem>* items = ItemsOf(w);
    if (!items || items->empty())
        return CB_ERR;
    const int n = static_cast<int>(items->size());
    const int first = (startAfter < 0 || startAfter >= n) ? 0 : startAfter + 1;
    const std::string wanted = qv::ToLower<char>(utf8);
    for (int k = 0; k < n; ++k) {
        const int i = (first + k) % n;
        const std::string text = qv::ToLower<char>((*items)[i].text);
        if (exact ? text == wanted : text.compare(0, wanted.size(), wanted) == 0)
            return i;
    }
    return CB_ERR;
}

int SetCurSelModel(Window* w, int index) {
    std::vector<ListItem>* items = ItemsOf(w);
    if (!items)
        return CB_ERR;
    const bool valid = index >= 0 && index < static_cast<int>(items->size());
    *CurSelOf(w) = valid ? index : -1;
    if (w->kind == Kind::ComboBox)
        w->text = valid ? (*items)[index].text : std::string();
    NotifyChanged(*w, Change::Selection);
    return valid ? index : CB_ERR;
}

// ---- List views
// ------------------------------------------------------------------------------------

int ListInsertColumn(Window* w, int column, std::string heading, int format, int width) {
    ListViewState& list = w->As<ListViewState>();
    const int count = static_cast<int>(list.columns.size());
    if (column < 0)
        return -1;
    column = std::min(column, count);
    if (width < 0)
        width = 80;
    list.columns.insert(list.columns.begin() + column,
                        ListColumn{std::move(heading), format, width});
    for (ListRow& row : list.rows) {
        if (static_cast<int>(row.cells.size()) > column)
            row.cells.insert(row.cells.begin() + column, std::string());
    }
    NotifyChanged(*w, Change::Items);
    return column;
}

bool ListDeleteColumn(Window* w, int column) {
    ListViewState& list = w->As<ListViewState>();
    if (column < 0 || column >= static_cast<int>(list.columns.size()))
        return false;
    list.columns.erase(list.columns.begin() + column);
    for (ListRow& row : list.rows) {
        if (static_cast<int>(row.cells.size()) > column)
            row.cells.erase(row.cells.begin() + column);
    }
    NotifyChanged(*w, Change::Items);
    return true;
}

int ListInsertRow(Window* w, int row, std::string text) {
    ListViewState& list = w->As<ListViewState>();
    const int count = static_cast<int>(list.rows.size());
    if (row < 0)
        return -1;
    row = std::min(row, count);
    ListRow item;
    // Room for the row's sub-items, which usually follow at once.
    item.cells.reserve(std::max<std::size_t>(list.columns.size(), 1));
    item.cells.push_back(std::move(text));
    list.rows.insert(list.rows.begin() + row, std::move(item));
    if (list.selectionMark >= row)
        ++list.selectionMark;
    NotifyChanged(*w, Change::Items);
    return row;
}

bool ListSetCell(Window* w, int row, int column, std::string text) {
    ListViewState& list = w->As<ListViewState>();
    if (row < 0 || row >= static_cast<int>(list.rows.size()) || column < 0 ||
        (column > 0 && column >= static_cast<int>(list.columns.size())))
        return false;
    std::vector<std::string>& cells = list.rows[row].cells;
    if (static_cast<int>(cells.size()) <= column)
        cells.resize(column + 1);
    cells[column] = std::move(text);
    NotifyChanged(*w, Change::Items);
    return true;
}

const std::string& ListCell(Window* w, int row, int column) {
    static const std::string empty;
    ListViewState& list = w->As<ListViewState>();
    if (row < 0 || row >= static_cast<int>(list.rows.size()) || column < 0)
        return empty;
    const std::vector<std::string>& cells = list.rows[row].cells;
    return column < static_cast<int>(cells.size()) ? cells[column] : empty;
}

bool ListDeleteRow(Window* w, int row) {
    ListViewState& list = w->As<ListViewState>();
    if (row < 0 || row >= static_cast<int>(list.rows.size()))
        return false;
    list.rows.erase(list.rows.begin() + row);
    if (list.selectionMark == row)
        list.selectionMark = -1;
    else if (list.selectionMark > row)
        --list.selectionMark;
    NotifyChanged(*w, Change::Items);
    return true;
}

void ListDeleteAllRows(Window* w) {
    ListViewState& list = w->As<ListViewState>();
    list.rows.clear();
    list.rows.shrink_to_fit();
    list.selectionMark = -1;
    list.topIndex = 0;
    NotifyChanged(*w, Change::Items);
}

bool ListSetItemState(Window* w, int row, UINT state, UINT mask) {
    ListViewState& list = w->As<ListViewState>();
    const int count = static_cast<int>(list.rows.size());
    if (row < -1 || row >= count)
        return false;
    auto change = [&](int i, UINT newState) {
        ListRow& r = list.rows[i];
        const UINT old = r.state;
        if (old == newState)
            return;
        r.state = newState;
        NMLISTVIEW nm{};
        nm.iItem = i;
        nm.uNewState = newState;
        nm.uOldState = old;
        nm.uChanged = LVIF_STATE;
        nm.lParam = static_cast<LPARAM>(r.data);
        NotifyParent(w, nm.hdr, LVN_ITEMCHANGED);
    };
    const bool single = (w->style & LVS_SINGLESEL) != 0;
    for (int i = (row < 0 ? 0 : row); i < (row < 0 ? count : row + 1); ++i) {
        const UINT newState = (list.rows[i].state & ~mask) | (state & mask);
        if (single && (newState & LVIS_SELECTED)) {
            for (int j = 0; j < count; ++j) {
                if (j != i && (list.rows[j].state & LVIS_SELECTED))
                    change(j, list.rows[j].state & ~LVIS_SELECTED);
            }
        }
        if ((mask & LVIS_FOCUSED) && (newState & LVIS_FOCUSED)) {
            for (int j = 0; j < count; ++j) {
                if (j != i && (list.rows[j].state & LVIS_FOCUSED))
                    change(j, list.rows[j].state & ~LVIS_FOCUSED);
            }
        }
        change(i, newState);
        if (newState & LVIS_SELECTED)
            list.selectionMark = i;
    }
    NotifyChanged(*w, Change::Selection);
    return true;
}

RECT ListRowRect(Window* w, int row, UINT area) {
    ListViewState& list = w->As<ListViewState>();
    Toolkit& toolkit = CurrentToolkit();
    const int header = (w->style & LVS_NOCOLUMNHEADER) ? 0 : toolkit.ListHeaderHeight(*w);
    const int height = toolkit.ListRowHeight(*w);
    int width = 0;
    for (const ListColumn& c : list.columns)
        width += c.width;
    const int top = header + (row - list.topIndex) * height;
    RECT r{-list.scrollX, top, width - list.scrollX, top + height};
    if (area == LVIR_LABEL && !list.columns.empty())
        r.right = list.columns[0].width - list.scrollX;
    return r;
}

RECT ListCellRect(Window* w, int row, int column, int area) {
    ListViewState& list = w->As<ListViewState>();
    RECT r = ListRowRect(w, row, LVIR_BOUNDS);
    if (column == 0 && area == LVIR_BOUNDS)
        return r;
    int left = -list.scrollX;
    for (int i = 0; i < column && i < static_cast<int>(list.columns.size()); ++i)
        left += list.columns[i].width;
    const int width =
        column < static_cast<int>(list.columns.size()) ? list.columns[column].width : 0;
    r.left = left;
    r.right = left + width;
    if (column == 0 && area == LVIR_LABEL) {
        // The first column's label starts after the small icon when the list has images.
        if (list.smallImages)
            r.left += 16 + 2;
    }
    return r;
}

// ---- Trees
// --------------------------------------------------------------------------------------------

TreeNode* TreeNodeFromHandle(Window* tree, HTREEITEM item) {
    (void)tree;
    auto* node = reinterpret_cast<TreeNode*>(item);
    return item && LiveNodes().count(node) ? node : nullptr;
}

HTREEITEM HandleOfNode(TreeNode* node) {
    return reinterpret_cast<HTREEITEM>(node);
}

TreeNode* TreeInsert(Window* tree, HTREEITEM parentItem, HTREEITEM after, std::string text,
                     int image, int selectedImage) {
    TreeState& state = tree->As<TreeState>();
    TreeNode* parent = nullptr;
    if (parentItem && parentItem != TVI_ROOT) {
        parent = TreeNodeFromHandle(tree, parentItem);
        if (!parent)
            return nullptr;
    }
    auto& siblings = parent ? parent->children : state.roots;
    auto node = std::make_unique<TreeNode>();
    node->text = std::move(text);
    node->image = image;
    node->selectedImage = selectedImage;
    node->parent = parent;
    TreeNode* raw = node.get();
    auto position = siblings.end();
    if (after == TVI_FIRST) {
        position = siblings.begin();
    } else if (after == TVI_SORT) {
        position = std::upper_bound(siblings.begin(), siblings.end(), raw->text,
                                    [](const std::string& t, const std::unique_ptr<TreeNode>& n) {
                                        return CompareItems(t, n->text) < 0;
                                    });
    } else if (after && after != TVI_LAST) {
        TreeNode* previous = TreeNodeFromHandle(tree, after);
        const auto it = std::find_if(siblings.begin(), siblings.end(),
                                     [previous](const auto& n) { return n.get() == previous; });
        if (it != siblings.end())
            position = it + 1;
    }
    siblings.insert(position, std::move(node));
    LiveNodes().insert(raw);
    ++state.count;
    NotifyChanged(*tree, Change::Items);
    return raw;
}

bool TreeDelete(Window* tree, TreeNode* node) {
    TreeState& state = tree->As<TreeState>();
    if (!node)
        return false;
    // The selection leaves a deleted branch: to the next sibling, else the previous one,
    // else the parent.
    bool selectionInside = false;
    for (TreeNode* n = state.selected; n; n = n->parent) {
        if (n == node)
            selectionInside = true;
    }
    auto& siblings = node->parent ? node->parent->children : state.roots;
    const auto it = std::find_if(siblings.begin(), siblings.end(),
                                 [node](const auto& n) { return n.get() == node; });
    if (it == siblings.end())
        return false;
    TreeNode* successor = nullptr;
    if (selectionInside) {
        if (it + 1 != siblings.end())
            successor = (it + 1)->get();
        else if (it != siblings.begin())
            successor = (it - 1)->get();
        else
            successor = node->parent;
        state.selected = nullptr;
    }
    ForgetNodes(node, state.count);
    siblings.erase(it);
    NotifyChanged(*tree, Change::Items);
    if (selectionInside)
        TreeSelect(tree, successor, TVC_UNKNOWN);
    return true;
}

void ForgetTreeNodes(Window* tree) {
    if (TreeState* state = tree->Try<TreeState>()) {
        for (auto& root : state->roots)
            ForgetNodes(root.get(), state->count);
    }
}

void TreeDeleteAll(Window* tree) {
    TreeState& state = tree->As<TreeState>();
    for (auto& root : state.roots)
        ForgetNodes(root.get(), state.count);
    state.roots.clear();
    state.count = 0;
    state.selected = nullptr;
    NotifyChanged(*tree, Change::Items);
}

bool TreeSelect(Window* tree, TreeNode* node, UINT action) {
    TreeState& state = tree->As<TreeState>();
    if (state.selected == node)
        return true;
    TreeNode* old = state.selected;
    if (SendTreeNotify(tree, TVN_SELCHANGINGA, action, old, node) != 0)
        return false;  // the parent refused the change
    // The notification's handler may have deleted either node.
    if (node && !TreeNodeFromHandle(tree, HandleOfNode(node)))
        return false;
    state.selected = node;
    for (TreeNode* p = node ? node->parent : nullptr; p; p = p->parent)
        p->expanded = true;
    NotifyChanged(*tree, Change::Selection);
    if (old && !TreeNodeFromHandle(tree, HandleOfNode(old)))
        old = nullptr;
    SendTreeNotify(tree, TVN_SELCHANGEDA, action, old, node);
    return true;
}

bool TreeExpand(Window* tree, TreeNode* node, UINT code) {
    if (!node)
        return false;
    bool expand = node->expanded;
    switch (code & 0x3) {
        case TVE_EXPAND:
            expand = true;
            break;
        case TVE_COLLAPSE:
            expand = false;
            break;
        case TVE_TOGGLE:
            expand = !node->expanded;
            break;
        default:
            return false;
    }
    if (expand == node->expanded)
        return true;
    node->expanded = expand;
    NotifyChanged(*tree, Change::Items);
    return true;
}

std::vector<TreeNode*> TreeNodesInOrder(Window* tree, bool visibleOnly) {
    std::vector<TreeNode*> out;
    for (auto& root : tree->As<TreeState>().roots)
        CollectNodes(root.get(), visibleOnly, out);
    return out;
}

std::string TreePath(const TreeNode* node) {
    std::vector<const TreeNode*> chain;
    for (; node; node = node->parent)
        chain.push_back(node);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty())
            path += " > ";
        path += (*it)->text;
    }
    return path;
}

}  // namespace host::ui
