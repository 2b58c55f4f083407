// The framework's control classes over the control model: static texts, buttons, edit
// controls, combo boxes, list boxes, image lists, trees, list views and their header.
#include "host/ui/dialogs/controls.h"
#include "host/ui/dialogs/model.h"
#include "host/ui/dialogs/toolkit.h"
#include "platform/afxcmn.h"
#include "platform/textconv.h"

using host::ui::Kind;
using host::ui::Window;

namespace {

Window* W(HWND handle) {
    return Window::FromHandle(handle);
}

// The window when it is of the kind, else null.
Window* Of(HWND handle, Kind kind) {
    Window* w = W(handle);
    return w && w->kind == kind ? w : nullptr;
}

std::string U8(const char* text) {
    return text ? std::string(text) : std::string();
}

std::string U8(const char16_t* text) {
    return text ? qv::ToUtf8(text) : std::string();
}

template <class C>
int Assign(CStringT<C>& out, const std::string& utf8) {
    out = CStringT<C>(qv::ConvertText<C>(std::string_view(utf8)));
    return out.GetLength();
}

BOOL CreateControl(CWnd& wnd, const char* className, const char* text, DWORD style,
                   const RECT& rect, CWnd* pParent, UINT nID) {
    return wnd.CWnd::Create(className, text, style, rect, pParent, nID);
}

int ItemTextLength(Window* w, int index) {
    auto* items = w ? host::ui::ItemsOf(w) : nullptr;
    if (!items || index < 0 || index >= static_cast<int>(items->size()))
        return CB_ERR;
    const std::string& text = (*items)[index].text;
    return static_cast<int>(host::ui::UnitsOfByteOffset(text, text.size(), w->unicode));
}

template <class C>
int ItemText(Window* w, int index, CStringT<C>& text) {
    auto* items = w ? host::ui::ItemsOf(w) : nullptr;
    if (!items || index < 0 || index >= static_cast<int>(items->size())) {
        text.Empty();
        return CB_ERR;
    }
    return Assign(text, (*items)[index].text);
}

DWORD_PTR ItemData(Window* w, int index) {
    auto* items = w ? host::ui::ItemsOf(w) : nullptr;
    if (!items || index < 0 || index >= static_cast<int>(items->size()))
        return static_cast<DWORD_PTR>(CB_ERR);
    return (*items)[index].data;
}

int SetItemDataOf(Window* w, int index, DWORD_PTR data) {
    auto* items = w ? host::ui::ItemsOf(w) : nullptr;
    if (!items || index < 0 || index >= static_cast<int>(items->size()))
        return CB_ERR;
    (*items)[index].data = data;
    return 0;
}

int Select(Window* w, int startAfter, const std::string& text) {
    if (!w)
        return CB_ERR;
    const int found = host::ui::FindItem(w, startAfter, text, false);
    if (found == CB_ERR)
        return CB_ERR;
    host::ui::SetCurSelModel(w, found);
    return found;
}

}  // namespace

// ---- Static text and buttons --------------------------------------------------------------

BOOL CStatic::Create(const char* text, DWORD style, const RECT& rect, CWnd* pParent, UINT nID) {
    return CreateControl(*this, "Static", text, style, rect, pParent, nID);
}

BOOL CStatic::Create(const char16_t* text, DWORD style, const RECT& rect, CWnd* pParent, UINT nID) {
    return CreateControl(*this, "Static", U8(text).c_str(), style, rect, pParent, nID);
}

BOOL CButton::Create(const char* caption, DWORD style, const RECT& rect, CWnd* pParent, UINT nID) {
    return CreateControl(*this, "Button", caption, style, rect, pParent, nID);
}

BOOL CButton::Create(const char16_t* caption, DWORD style, const RECT& rect, CWnd* pParent,
                     UINT nID) {
    return CreateControl(*this, "Button", U8(caption).c_str(), style, rect, pParent, nID);
}

int CButton::GetCheck() const {
    Window* w = Of(m_hWnd, Kind::Button);
    return w ? w->As<host::ui::ButtonState>().check : BST_UNCHECKED;
}

void CButton::SetCheck(int nCheck) {
    if (Window* w = Of(m_hWnd, Kind::Button)) {
        w->As<host::ui::ButtonState>().check = nCheck;
        host::ui::NotifyChanged(*w, host::ui::Change::Selection);
    }
}

UINT CButton::GetButtonStyle() const {
    Window* w = Of(m_hWnd, Kind::Button);
    return w ? (w->style & 0xFFFF) : 0;
}

void CButton::SetButtonStyle(UINT style, BOOL) {
    if (Window* w = Of(m_hWnd, Kind::Button)) {
        w->style = (w->style & ~0xFFFFu) | (style & 0xFFFF);
        host::ui::NotifyChanged(*w, host::ui::Change::Style);
    }
}

// ---- Edit controls --------------------------------------------------------------------------

BOOL CEdit::Create(DWORD style, const RECT& rect, CWnd* pParent, UINT nID) {
    return CreateControl(*this, "Edit", "", style, rect, pParent, nID);
}

void CEdit::GetSel(int& nStartChar, int& nEndChar) const {
    Window* w = Of(m_hWnd, Kind::Edit);
    if (!w) {
        nStartChar = nEndChar = 0;
        return;
    }
    const auto& e = w->As<host::ui::EditState>();
    nStartChar = static_cast<int>(host::ui::UnitsOfByteOffset(w->text, e.selStart, w->unicode));
    nEndChar = static_cast<int>(host::ui::UnitsOfByteOffset(w->text, e.selEnd, w->unicode));
}

DWORD CEdit::GetSel() const {
    int start = 0, end = 0;
    GetSel(start, end);
    return (static_cast<DWORD>(end & 0xFFFF) << 16) | static_cast<DWORD>(start & 0xFFFF);
}

void CEdit::SetSel(int nStartChar, int nEndChar, BOOL) {
    if (Window* w = Of(m_hWnd, Kind::Edit))
        host::ui::EditSetSelection(w, nStartChar, nEndChar, w->unicode);
}

void CEdit::SetSel(DWORD selection, BOOL noScroll) {
    SetSel(static_cast<SHORT>(selection & 0xFFFF), static_cast<SHORT>(selection >> 16), noScroll);
}

void CEdit::ReplaceSel(const char* text, BOOL canUndo) {
    if (Window* w = Of(m_hWnd, Kind::Edit))
        host::ui::EditReplaceSelection(w, U8(text), canUndo != FALSE);
}

void CEdit::ReplaceSel(const char16_t* text, BOOL canUndo) {
    if (Window* w = Of(m_hWnd, Kind::Edit))
        host::ui::EditReplaceSelection(w, U8(text), canUndo != FALSE);
}

BOOL CEdit::CanUndo() const {
    Window* w = Of(m_hWnd, Kind::Edit);
    return w && w->As<host::ui::EditState>().canUndo;
}

BOOL CEdit::Undo() {
    return static_cast<BOOL>(SendMessage(EM_UNDO));
}

void CEdit::EmptyUndoBuffer() {
    SendMessage(EM_EMPTYUNDOBUFFER);
}

void CEdit::Clear() {
    SendMessage(WM_CLEAR);
}

void CEdit::Copy() {
    SendMessage(WM_COPY);
}

void CEdit::Cut() {
    SendMessage(WM_CUT);
}

void CEdit::Paste() {
    SendMessage(WM_PASTE);
}

BOOL CEdit::SetReadOnly(BOOL readOnly) {
    Window* w = Of(m_hWnd, Kind::Edit);
    if (!w)
        return FALSE;
    if (readOnly)
        w->style |= ES_READONLY;
    else
        w->style &= ~static_cast<DWORD>(ES_READONLY);
    host::ui::NotifyChanged(*w, host::ui::Change::Style);
    return TRUE;
}

void CEdit::LimitText(int nChars) {
    if (Window* w = Of(m_hWnd, Kind::Edit))
        w->As<host::ui::EditState>().limit = nChars > 0 ? static_cast<std::size_t>(nChars) : 0;
}

int CEdit::GetLineCount() const {
    Window* w = Of(m_hWnd, Kind::Edit);
    if (!w)
        return 0;
    int lines = 1;
    for (const char c : w->text) {
        if (c == '\n')
            ++lines;
    }
    return lines;
}

// ---- Combo boxes
// ---------------------------------------------------------------------------------

int CComboBox::GetCount() const {
    Window* w = Of(m_hWnd, Kind::ComboBox);
    return w ? static_cast<int>(host::ui::ItemsOf(w)->size()) : CB_ERR;
}

int CComboBox::GetCurSel() const {
    Window* w = Of(m_hWnd, Kind::ComboBox);
    return w ? *host::ui::CurSelOf(w) : CB_ERR;
}

int CComboBox::SetCurSel(int nSelect) {
    Window* w = Of(m_hWnd, Kind::ComboBox);
    return w ? host::ui::SetCurSelModel(w, nSelect) : CB_ERR;
}

int CComboBox::AddString(const char* text) {
    Window* w = Of(m_hWnd, Kind::ComboBox);
    return w ? host::ui::AddItem(w, U8(text)) : CB_ERR;
}

int CComboBox::AddString(const char16_t* text) {
    Window* w = Of(m_hWnd, Kind::ComboBox);
    return w ? host::ui::AddItem(w, U8(text)) : CB_ERR;
}

int CComboBox::InsertString(int nIndex, const char* text) {
    Window* w = Of(m_hWnd, Kind::ComboBox);
    return w ? host::ui::InsertItemAt(w, nIndex, U8(text)) : CB_ERR;
}

int CComboBox::InsertString(int nIndex, const char16_t* text) {
    Window* w = Of(m_hWnd, Kind::ComboBox);
    return w ? host::ui::InsertItemAt(w, nIndex, U8(text)) : CB_ERR;
}

int CComboBox::DeleteString(UINT nIndex) {
    Window* w = Of(m_hWnd, Kind::ComboBox);
    return w ? host::ui::DeleteItemAt(w, static_cast<int>(nIndex)) : CB_ERR;
}

void CComboBox::ResetContent() {
    if (Window* w = Of(m_hWnd, Kind::ComboBox))
        host::ui::ResetItems(w);
}

int CComboBox::GetLBText(int nIndex, CStringA& text) const {
    return ItemText(Of(m_hWnd, Kind::ComboBox), nIndex, text);
}

int CComboBox::GetLBText(int nIndex, CStringW& text) const {
    return ItemText(Of(m_hWnd, Kind::ComboBox), nIndex, text);
}

int CComboBox::GetLBTextLen(int nIndex) const {
    return ItemTextLength(Of(m_hWnd, Kind::ComboBox), nIndex);
}

int CComboBox::FindString(int nStartAfter, const char* text) const {
    Window* w = Of(m_hWnd, Kind::ComboBox);
    return w ? host::ui::FindItem(w, nStartAfter, U8(text), false) : CB_ERR;
}

int CComboBox::FindString(int nStartAfter, const char16_t* text) const {
    Window* w = Of(m_hWnd, Kind::ComboBox);
    return w ? host::ui::FindItem(w, nStartAfter, U8(text), false) : CB_ERR;
}

int CComboBox::FindStringExact(int nIndexStart, const char* text) const {
    Window* w = Of(m_hWnd, Kind::ComboBox);
    return w ? host::ui::FindItem(w, nIndexStart, U8(text), true) : CB_ERR;
}

int CComboBox::FindStringExact(int nIndexStart, const char16_t* text) const {
    Window* w = Of(m_hWnd, Kind::ComboBox);
    return w ? host::ui::FindItem(w, nIndexStart, U8(text), true) : CB_ERR;
}

int CComboBox::SelectString(int nStartAfter, const char* text) {
    return Select(Of(m_hWnd, Kind::ComboBox), nStartAfter, U8(text));
}

int CComboBox::SelectString(int nStartAfter, const char16_t* text) {
    return Select(Of(m_hWnd, Kind::ComboBox), nStartAfter, U8(text));
}

DWORD_PTR CComboBox::GetItemData(int nIndex) const {
    return ItemData(Of(m_hWnd, Kind::ComboBox), nIndex);
}

int CComboBox::SetItemData(int nIndex, DWORD_PTR data) {
    return SetItemDataOf(Of(m_hWnd, Kind::ComboBox), nIndex, data);
}

void* CComboBox::GetItemDataPtr(int nIndex) const {
    return reinterpret_cast<void*>(GetItemData(nIndex));
}

int CComboBox::SetItemDataPtr(int nIndex, void* data) {
    return SetItemData(nIndex, reinterpret_cast<DWORD_PTR>(data));
}

// ---- List boxes
// ------------------------------------------------------------------------------------

int CListBox::GetCount() const {
    Window* w = Of(m_hWnd, Kind::ListBox);
    return w ? static_cast<int>(host::ui::ItemsOf(w)->size()) : LB_ERR;
}

int CListBox::GetCurSel() const {
    Window* w = Of(m_hWnd, Kind::ListBox);
    return w ? *host::ui::CurSelOf(w) : LB_ERR;
}

int CListBox::SetCurSel(int nSelect) {
    Window* w = Of(m_hWnd, Kind::ListBox);
    if (!w)
        return LB_ERR;
    const int result = host::ui::SetCurSelModel(w, nSelect);
    // Clearing the selection with -1 is no error for a list box.
    return nSelect == -1 ? 0 : result;
}

int CListBox::AddString(const char* text) {
    Window* w = Of(m_hWnd, Kind::ListBox);
    return w ? host::ui::AddItem(w, U8(text)) : LB_ERR;
}

int CListBox::AddString(const char16_t* text) {
    Window* w = Of(m_hWnd, Kind::ListBox);
    return w ? host::ui::AddItem(w, U8(text)) : LB_ERR;
}

int CListBox::InsertString(int nIndex, const char* text) {
    Window* w = Of(m_hWnd, Kind::ListBox);
    return w ? host::ui::InsertItemAt(w, nIndex, U8(text)) : LB_ERR;
}

int CListBox::InsertString(int nIndex, const char16_t* text) {
    Window* w = Of(m_hWnd, Kind::ListBox);
    return w ? host::ui::InsertItemAt(w, nIndex, U8(text)) : LB_ERR;
}

int CListBox::DeleteString(UINT nIndex) {
    Window* w = Of(m_hWnd, Kind::ListBox);
    return w ? host::ui::DeleteItemAt(w, static_cast<int>(nIndex)) : LB_ERR;
}

void CListBox::ResetContent() {
    if (Window* w = Of(m_hWnd, Kind::ListBox))
        host::ui::ResetItems(w);
}

int CListBox::GetText(int nIndex, CStringA& text) const {
    return ItemText(Of(m_hWnd, Kind::ListBox), nIndex, text);
}

int CListBox::GetText(int nIndex, CStringW& text) const {
    return ItemText(Of(m_hWnd, Kind::ListBox), nIndex, text);
}

int CListBox::GetTextLen(int nIndex) const {
    return ItemTextLength(Of(m_hWnd, Kind::ListBox), nIndex);
}

int CListBox::FindString(int nStartAfter, const char* text) const {
    Window* w = Of(m_hWnd, Kind::ListBox);
    return w ? host::ui::FindItem(w, nStartAfter, U8(text), false) : LB_ERR;
}

int CListBox::FindString(int nStartAfter, const char16_t* text) const {
    Window* w = Of(m_hWnd, Kind::ListBox);
    return w ? host::ui::FindItem(w, nStartAfter, U8(text), false) : LB_ERR;
}

int CListBox::FindStringExact(int nStartAfter, const char* text) const {
    Window* w = Of(m_hWnd, Kind::ListBox);
    return w ? host::ui::FindItem(w, nStartAfter, U8(text), true) : LB_ERR;
}

int CListBox::FindStringExact(int nStartAfter, const char16_t* text) const {
    Window* w = Of(m_hWnd, Kind::ListBox);
    return w ? host::ui::FindItem(w, nStartAfter, U8(text), true) : LB_ERR;
}

int CListBox::SelectString(int nStartAfter, const char* text) {
    return Select(Of(m_hWnd, Kind::ListBox), nStartAfter, U8(text));
}

int CListBox::SelectString(int nStartAfter, const char16_t* text) {
    return Select(Of(m_hWnd, Kind::ListBox), nStartAfter, U8(text));
}

DWORD_PTR CListBox::GetItemData(int nIndex) const {
    return ItemData(Of(m_hWnd, Kind::ListBox), nIndex);
}

int CListBox::SetItemData(int nIndex, DWORD_PTR data) {
    return SetItemDataOf(Of(m_hWnd, Kind::ListBox), nIndex, data);
}

void* CListBox::GetItemDataPtr(int nIndex) const {
    return reinterpret_cast<void*>(GetItemData(nIndex));
}

int CListBox::SetItemDataPtr(int nIndex, void* data) {
    return SetItemData(nIndex, reinterpret_cast<DWORD_PTR>(data));
}

// ---- Image lists
// ---------------------------------------------------------------------------------------

CImageList::CImageList() = default;

CImageList::~CImageList() {
    DeleteImageList();
}

BOOL CImageList::Create(int cx, int cy, UINT flags, int initial, int) {
    DeleteImageList();
    m_hImageList = host::ui::NewImageList(cx, cy, flags);
    if (initial > 0)
        host::ui::ImageListFromHandle(m_hImageList)->images.reserve(initial);
    return TRUE;
}

BOOL CImageList::DeleteImageList() {
    if (!m_hImageList)
        return FALSE;
    host::ui::DeleteImageList(m_hImageList);
    m_hImageList = nullptr;
    return TRUE;
}

int CImageList::Add(HICON icon) {
    host::ui::ImageList* list = host::ui::ImageListFromHandle(m_hImageList);
    const host::ui::Icon* picture = host::ui::IconFromHandle(icon);
    if (!list || !picture)
        return -1;
    list->images.push_back(picture);
    return static_cast<int>(list->images.size()) - 1;
}

int CImageList::GetImageCount() const {
    host::ui::ImageList* list = host::ui::ImageListFromHandle(m_hImageList);
    return list ? static_cast<int>(list->images.size()) : 0;
}

// ---- Header
// ----------------------------------------------------------------------------------------------

int CHeaderCtrl::GetItemCount() const {
    Window* w = Of(m_hWnd, Kind::Header);
    if (!w || !w->parent || w->parent->kind != Kind::ListView)
        return -1;
    return static_cast<int>(w->parent->As<host::ui::ListViewState>().columns.size());
}

// ---- Trees
// -----------------------------------------------------------------------------------------------

BOOL CTreeCtrl::Create(DWORD style, const RECT& rect, CWnd* pParent, UINT nID) {
    return CreateControl(*this, "SysTreeView32", "", style, rect, pParent, nID);
}

CImageList* CTreeCtrl::SetImageList(CImageList* pImageList, int nImageListType) {
    Window* w = Of(m_hWnd, Kind::TreeView);
    if (!w || nImageListType != TVSIL_NORMAL)
        return nullptr;
    w->As<host::ui::TreeState>().images = pImageList ? pImageList->m_hImageList : nullptr;
    host::ui::NotifyChanged(*w, host::ui::Change::Items);
    return nullptr;
}

HTREEITEM CTreeCtrl::InsertItem(const char* text, int nImage, int nSelectedImage, HTREEITEM hParent,
                                HTREEITEM hInsertAfter) {
    Window* w = Of(m_hWnd, Kind::TreeView);
    if (!w)
        return nullptr;
    return host::ui::HandleOfNode(
        host::ui::TreeInsert(w, hParent, hInsertAfter, U8(text), nImage, nSelectedImage));
}

HTREEITEM CTreeCtrl::InsertItem(const char16_t* text, int nImage, int nSelectedImage,
                                HTREEITEM hParent, HTREEITEM hInsertAfter) {
    const std::string utf8 = U8(text);
    return InsertItem(utf8.c_str(), nImage, nSelectedImage, hParent, hInsertAfter);
}

HTREEITEM CTreeCtrl::InsertItem(const char* text, HTREEITEM hParent, HTREEITEM hInsertAfter) {
    return InsertItem(text, 0, 0, hParent, hInsertAfter);
}

HTREEITEM CTreeCtrl::InsertItem(const char16_t* text, HTREEITEM hParent, HTREEITEM hInsertAfter) {
    return InsertItem(text, 0, 0, hParent, hInsertAfter);
}

BOOL CTreeCtrl::DeleteItem(HTREEITEM hItem) {
    Window* w = Of(m_hWnd, Kind::TreeView);
    if (!w)
        return FALSE;
    if (hItem == TVI_ROOT) {
        host::ui::TreeDeleteAll(w);
        return TRUE;
    }
    return host::ui::TreeDelete(w, host::ui::TreeNodeFromHandle(w, hItem));
}

BOOL CTreeCtrl::DeleteAllItems() {
    Window* w = Of(m_hWnd, Kind::TreeView);
    if (!w)
        return FALSE;
    host::ui::TreeDeleteAll(w);
    return TRUE;
}

DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM hItem) const {
    Window* w = Of(m_hWnd, Kind::TreeView);
    host::ui::TreeNode* node = w ? host::ui::TreeNodeFromHandle(w, hItem) : nullptr;
    return node ? node->data : 0;
}

BOOL CTreeCtrl::SetItemData(HTREEITEM hItem, DWORD_PTR data) {
    Window* w = Of(m_hWnd, Kind::TreeView);
    host::ui::TreeNode* node = w ? host::ui::TreeNodeFromHandle(w, hItem) : nullptr;
    if (!node)
        return FALSE;
    node->data = data;
    return TRUE;
}

BOOL CTreeCtrl::SetItemText(HTREEITEM hItem, const char* text) {
    Window* w = Of(m_hWnd, Kind::TreeView);
    host::ui::TreeNode* node = w ? host::ui::TreeNodeFromHandle(w, hItem) : nullptr;
    if (!node)
        return FALSE;
    node->text = U8(text);
    host::ui::NotifyChanged(*w, host::ui::Change::Items);
    return TRUE;
}

BOOL CTreeCtrl::SetItemText(HTREEITEM hItem, const char16_t* text) {
    return SetItemText(hItem, U8(text).c_str());
}

template <class C>
CStringT<C> CTreeCtrl::GetItemTextT(HTREEITEM hItem) const {
    Window* w = Of(m_hWnd, Kind::TreeView);
    host::ui::TreeNode* node = w ? host::ui::TreeNodeFromHandle(w, hItem) : nullptr;
    CStringT<C> text;
    if (node)
        Assign(text, node->text);
    return text;
}
template QV_UI_API CStringT<char> CTreeCtrl::GetItemTextT<char>(HTREEITEM) const;
template QV_UI_API CStringT<char16_t> CTreeCtrl::GetItemTextT<char16_t>(HTREEITEM) const;

BOOL CTreeCtrl::GetItemImage(HTREEITEM hItem, int& nImage, int& nSelectedImage) const {
    Window* w = Of(m_hWnd, Kind::TreeView);
    host::ui::TreeNode* node = w ? host::ui::TreeNodeFromHandle(w, hItem) : nullptr;
    if (!node)
        return FALSE;
    nImage = node->image;
    nSelectedImage = node->selectedImage;
    return TRUE;
}

HTREEITEM CTreeCtrl::GetRootItem() const {
    return GetNextItem(nullptr, TVGN_ROOT);
}

HTREEITEM CTreeCtrl::GetChildItem(HTREEITEM hItem) const {
    return GetNextItem(hItem, TVGN_CHILD);
}

HTREEITEM CTreeCtrl::GetNextSiblingItem(HTREEITEM hItem) const {
    return GetNextItem(hItem, TVGN_NEXT);
}

HTREEITEM CTreeCtrl::GetPrevSiblingItem(HTREEITEM hItem) const {
    return GetNextItem(hItem, TVGN_PREVIOUS);
}

HTREEITEM CTreeCtrl::GetParentItem(HTREEITEM hItem) const {
    return GetNextItem(hItem, TVGN_PARENT);
}

HTREEITEM CTreeCtrl::GetNextItem(HTREEITEM hItem, UINT nCode) const {
    Window* w = Of(m_hWnd, Kind::TreeView);
    if (!w)
        return nullptr;
    auto& state = w->As<host::ui::TreeState>();
    if (nCode == TVGN_ROOT)
        return state.roots.empty() ? nullptr : host::ui::HandleOfNode(state.roots.front().get());
    if (nCode == TVGN_CARET)
        return host::ui::HandleOfNode(state.selected);
    host::ui::TreeNode* node = hItem == TVI_ROOT ? nullptr : host::ui::TreeNodeFromHandle(w, hItem);
    if (nCode == TVGN_CHILD) {
        auto& children = node ? node->children : state.roots;
        return children.empty() ? nullptr : host::ui::HandleOfNode(children.front().get());
    }
    if (!node)
        return nullptr;
    if (nCode == TVGN_PARENT)
        return host::ui::HandleOfNode(node->parent);
    auto& siblings = node->parent ? node->parent->children : state.roots;
    for (std::size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i].get() != node)
            continue;
        if (nCode == TVGN_NEXT)
            return i + 1 < siblings.size() ? host::ui::HandleOfNode(siblings[i + 1].get())
                                           : nullptr;
        if (nCode == TVGN_PREVIOUS)
            return i > 0 ? host::ui::HandleOfNode(siblings[i - 1].get()) : nullptr;
    }
    return nullptr;
}

BOOL CTreeCtrl::ItemHasChildren(HTREEITEM hItem) const {
    return GetChildItem(hItem) != nullptr;
}

UINT CTreeCtrl::GetCount() const {
    Window* w = Of(m_hWnd, Kind::TreeView);
    return w ? static_cast<UINT>(w->As<host::ui::TreeState>().count) : 0;
}

HTREEITEM CTreeCtrl::GetSelectedItem() const {
    return GetNextItem(nullptr, TVGN_CARET);
}

BOOL CTreeCtrl::SelectItem(HTREEITEM hItem) {
    Window* w = Of(m_hWnd, Kind::TreeView);
    if (!w)
        return FALSE;
    host::ui::TreeNode* node = host::ui::TreeNodeFromHandle(w, hItem);
    if (hItem && !node)
        return FALSE;
    return host::ui::TreeSelect(w, node, TVC_UNKNOWN);
}

BOOL CTreeCtrl::Expand(HTREEITEM hItem, UINT nCode) {
    Window* w = Of(m_hWnd, Kind::TreeView);
    return w && host::ui::TreeExpand(w, host::ui::TreeNodeFromHandle(w, hItem), nCode);
}

UINT CTreeCtrl::GetItemState(HTREEITEM hItem, UINT nStateMask) const {
    Window* w = Of(m_hWnd, Kind::TreeView);
    host::ui::TreeNode* node = w ? host::ui::TreeNodeFromHandle(w, hItem) : nullptr;
    if (!node)
        return 0;
    UINT state = node->expanded ? TVIS_EXPANDED : 0;
    if (w->As<host::ui::TreeState>().selected == node)
        state |= TVIS_SELECTED;
    return state & nStateMask;
}

BOOL CTreeCtrl::EnsureVisible(HTREEITEM hItem) {
    Window* w = Of(m_hWnd, Kind::TreeView);
    host::ui::TreeNode* node = w ? host::ui::TreeNodeFromHandle(w, hItem) : nullptr;
    if (!node)
        return FALSE;
    for (host::ui::TreeNode* p = node->parent; p; p = p->parent)
        host::ui::TreeExpand(w, p, TVE_EXPAND);
    return TRUE;
}

// ---- List views
// ------------------------------------------------------------------------------------------

BOOL CListCtrl::Create(DWORD style, const RECT& rect, CWnd* pParent, UINT nID) {
    return CreateControl(*this, "SysListView32", "", style, rect, pParent, nID);
}

DWORD CListCtrl::GetExtendedStyle() const {
    Window* w = Of(m_hWnd, Kind::ListView);
    return w ? w->As<host::ui::ListViewState>().exStyle : 0;
}

DWORD CListCtrl::SetExtendedStyle(DWORD exStyle) {
    Window* w = Of(m_hWnd, Kind::ListView);
    if (!w)
        return 0;
    auto& list = w->As<host::ui::ListViewState>();
    const DWORD old = list.exStyle;
    list.exStyle = exStyle;
    host::ui::NotifyChanged(*w, host::ui::Change::Style);
    return old;
}

CImageList* CListCtrl::SetImageList(CImageList* pImageList, int nImageListType) {
    Window* w = Of(m_hWnd, Kind::ListView);
    if (!w || nImageListType != LVSIL_SMALL)
        return nullptr;
    w->As<host::ui::ListViewState>().smallImages = pImageList ? pImageList->m_hImageList : nullptr;
    host::ui::NotifyChanged(*w, host::ui::Change::Items);
    return nullptr;
}

int CListCtrl::InsertColumn(int nCol, const char* heading, int nFormat, int nWidth, int) {
    Window* w = Of(m_hWnd, Kind::ListView);
    return w ? host::ui::ListInsertColumn(w, nCol, U8(heading), nFormat, nWidth) : -1;
}

int CListCtrl::InsertColumn(int nCol, const char16_t* heading, int nFormat, int nWidth, int) {
    Window* w = Of(m_hWnd, Kind::ListView);
    return w ? host::ui::ListInsertColumn(w, nCol, U8(heading), nFormat, nWidth) : -1;
}

BOOL CListCtrl::DeleteColumn(int nCol) {
    Window* w = Of(m_hWnd, Kind::ListView);
    return w && host::ui::ListDeleteColumn(w, nCol);
}

namespace {

template <class C>
BOOL GetColumnOf(Window* w, int nCol, LVCOLUMNT<C>* column) {
    if (!w || !column)
        return FALSE;
    auto& list = w->As<host::ui::ListViewState>();
    if (nCol < 0 || nCol >= static_cast<int>(list.columns.size()))
        return FALSE;
    const host::ui::ListColumn& c = list.columns[nCol];
    if (column->mask & LVCF_FMT)
        column->fmt = c.format;
    if (column->mask & LVCF_WIDTH)
        column->cx = c.width;
    if (column->mask & LVCF_SUBITEM)
        column->iSubItem = nCol;
    if ((column->mask & LVCF_TEXT) && column->pszText && column->cchTextMax > 0) {
        const std::basic_string<C> text = qv::ConvertText<C>(std::string_view(c.text));
        const std::size_t n = std::min<std::size_t>(text.size(), column->cchTextMax - 1);
        std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), column->pszText);
        column->pszText[n] = C(0);
    }
    return TRUE;
}

template <class C>
BOOL SetColumnOf(Window* w, int nCol, const LVCOLUMNT<C>* column) {
    if (!w || !column)
        return FALSE;
    auto& list = w->As<host::ui::ListViewState>();
    if (nCol < 0 || nCol >= static_cast<int>(list.columns.size()))
        return FALSE;
    host::ui::ListColumn& c = list.columns[nCol];
    if (column->mask & LVCF_FMT)
        c.format = column->fmt;
    if (column->mask & LVCF_WIDTH)
        c.width = column->cx;
    if (column->mask & LVCF_TEXT)
        c.text = column->pszText ? qv::ToUtf8(std::basic_string_view<C>(column->pszText))
                                 : std::string();
    host::ui::NotifyChanged(*w, host::ui::Change::Items);
    return TRUE;
}

}  // namespace

BOOL CListCtrl::GetColumn(int nCol, LVCOLUMNA* column) const {
    return GetColumnOf(Of(m_hWnd, Kind::ListView), nCol, column);
}

BOOL CListCtrl::GetColumn(int nCol, LVCOLUMNW* column) const {
    return GetColumnOf(Of(m_hWnd, Kind::ListView), nCol, column);
}

BOOL CListCtrl::SetColumn(int nCol, const LVCOLUMNA* column) {
    return SetColumnOf(Of(m_hWnd, Kind::ListView), nCol, column);
}

BOOL CListCtrl::SetColumn(int nCol, const LVCOLUMNW* column) {
    return SetColumnOf(Of(m_hWnd, Kind::ListView), nCol, column);
}

int CListCtrl::GetColumnWidth(int nCol) const {
    Window* w = Of(m_hWnd, Kind::ListView);
    if (!w)
        return 0;
    auto& columns = w->As<host::ui::ListViewState>().columns;
    return nCol >= 0 && nCol < static_cast<int>(columns.size()) ? columns[nCol].width : 0;
}

BOOL CListCtrl::SetColumnWidth(int nCol, int cx) {
    Window* w = Of(m_hWnd, Kind::ListView);
    if (!w)
        return FALSE;
    auto& list = w->As<host::ui::ListViewState>();
    if (nCol < 0 || nCol >= static_cast<int>(list.columns.size()))
        return FALSE;
    if (cx == LVSCW_AUTOSIZE || cx == LVSCW_AUTOSIZE_USEHEADER) {
        // As wide as the widest text of the column (and its heading), with a margin.
        const host::ui::FontDesc font = host::ui::FontOfWindow(w);
        int widest = cx == LVSCW_AUTOSIZE_USEHEADER
                         ? host::ui::CurrentToolkit().TextExtent(font, list.columns[nCol].text).cx
                         : 0;
        for (std::size_t r = 0; r < list.rows.size(); ++r) {
            const std::string& cell = host::ui::ListCell(w, static_cast<int>(r), nCol);
            widest = std::max<int>(widest, host::ui::CurrentToolkit().TextExtent(font, cell).cx);
        }
        cx = widest + 12;
    }
    list.columns[nCol].width = cx;
    host::ui::NotifyChanged(*w, host::ui::Change::Items);
    return TRUE;
}

CHeaderCtrl* CListCtrl::GetHeaderCtrl() const {
    Window* w = Of(m_hWnd, Kind::ListView);
    if (!w)
        return nullptr;
    Window* header = w->As<host::ui::ListViewState>().header;
    return header ? static_cast<CHeaderCtrl*>(CWnd::FromHandle(header->Handle())) : nullptr;
}

int CListCtrl::GetItemCount() const {
    Window* w = Of(m_hWnd, Kind::ListView);
    return w ? static_cast<int>(w->As<host::ui::ListViewState>().rows.size()) : 0;
}

void CListCtrl::SetItemCount(int nItems) {
    if (Window* w = Of(m_hWnd, Kind::ListView); w && nItems > 0)
        w->As<host::ui::ListViewState>().rows.reserve(static_cast<std::size_t>(nItems));
}

int CListCtrl::InsertItem(int nItem, const char* text) {
    Window* w = Of(m_hWnd, Kind::ListView);
    return w ? host::ui::ListInsertRow(w, nItem, U8(text)) : -1;
}

int CListCtrl::InsertItem(int nItem, const char16_t* text) {
    Window* w = Of(m_hWnd, Kind::ListView);
    return w ? host::ui::ListInsertRow(w, nItem, U8(text)) : -1;
}

int CListCtrl::InsertItem(int nItem, const char* text, int) {
    return InsertItem(nItem, text);
}

int CListCtrl::InsertItem(int nItem, const char16_t* text, int) {
    return InsertItem(nItem, text);
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, const char* text) {
    Window* w = Of(m_hWnd, Kind::ListView);
    return w && host::ui::ListSetCell(w, nItem, nSubItem, U8(text));
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, const char16_t* text) {
    Window* w = Of(m_hWnd, Kind::ListView);
    return w && host::ui::ListSetCell(w, nItem, nSubItem, U8(text));
}

template <class C>
CStringT<C> CListCtrl::GetItemTextT(int nItem, int nSubItem) const {
    Window* w = Of(m_hWnd, Kind::ListView);
    CStringT<C> text;
    if (w)
        Assign(text, host::ui::ListCell(w, nItem, nSubItem));
    return text;
}
template QV_UI_API CStringT<char> CListCtrl::GetItemTextT<char>(int, int) const;
template QV_UI_API CStringT<char16_t> CListCtrl::GetItemTextT<char16_t>(int, int) const;

BOOL CListCtrl::DeleteItem(int nItem) {
    Window* w = Of(m_hWnd, Kind::ListView);
    return w && host::ui::ListDeleteRow(w, nItem);
}

BOOL CListCtrl::DeleteAllItems() {
    Window* w = Of(m_hWnd, Kind::ListView);
    if (!w)
        return FALSE;
    host::ui::ListDeleteAllRows(w);
    return TRUE;
}

DWORD_PTR CListCtrl::GetItemData(int nItem) const {
    Window* w = Of(m_hWnd, Kind::ListView);
    if (!w)
        return 0;
    auto& rows = w->As<host::ui::ListViewState>().rows;
    return nItem >= 0 && nItem < static_cast<int>(rows.size()) ? rows[nItem].data : 0;
}

BOOL CListCtrl::SetItemData(int nItem, DWORD_PTR data) {
    Window* w = Of(m_hWnd, Kind::ListView);
    if (!w)
        return FALSE;
    auto& rows = w->As<host::ui::ListViewState>().rows;
    if (nItem < 0 || nItem >= static_cast<int>(rows.size()))
        return FALSE;
    rows[nItem].data = data;
    return TRUE;
}

UINT CListCtrl::GetItemState(int nItem, UINT nMask) const {
    Window* w = Of(m_hWnd, Kind::ListView);
    if (!w)
        return 0;
    auto& rows = w->As<host::ui::ListViewState>().rows;
    return nItem >= 0 && nItem < static_cast<int>(rows.size()) ? rows[nItem].state & nMask : 0;
}

BOOL CListCtrl::SetItemState(int nItem, UINT nState, UINT nMask) {
    Window* w = Of(m_hWnd, Kind::ListView);
    return w && host::ui::ListSetItemState(w, nItem, nState, nMask);
}

int CListCtrl::GetNextItem(int nItem, int nFlags) const {
    Window* w = Of(m_hWnd, Kind::ListView);
    if (!w)
        return -1;
    auto& rows = w->As<host::ui::ListViewState>().rows;
    for (int i = nItem + 1; i < static_cast<int>(rows.size()); ++i) {
        const UINT wanted = static_cast<UINT>(nFlags) & (LVNI_SELECTED | LVNI_FOCUSED);
        const UINT state = rows[i].state;
        const bool selected = !(wanted & LVNI_SELECTED) || (state & LVIS_SELECTED);
        const bool focused = !(wanted & LVNI_FOCUSED) || (state & LVIS_FOCUSED);
        if (selected && focused)
            return i;
    }
    return -1;
}

int CListCtrl::GetSelectionMark() const {
    Window* w = Of(m_hWnd, Kind::ListView);
    return w ? w->As<host::ui::ListViewState>().selectionMark : -1;
}

int CListCtrl::GetSelectedCount() const {
    Window* w = Of(m_hWnd, Kind::ListView);
    if (!w)
        return 0;
    int count = 0;
    for (const auto& row : w->As<host::ui::ListViewState>().rows) {
        if (row.state & LVIS_SELECTED)
            ++count;
    }
    return count;
}

BOOL CListCtrl::EnsureVisible(int nItem, BOOL) {
    Window* w = Of(m_hWnd, Kind::ListView);
    if (!w)
        return FALSE;
    auto& list = w->As<host::ui::ListViewState>();
    if (nItem < 0 || nItem >= static_cast<int>(list.rows.size()))
        return FALSE;
    const int rowHeight = std::max(1, host::ui::CurrentToolkit().ListRowHeight(*w));
    const int header = host::ui::CurrentToolkit().ListHeaderHeight(*w);
    const int visible =
        std::max(1, (static_cast<int>(w->ClientRect().bottom) - header) / rowHeight);
    if (nItem < list.topIndex)
        list.topIndex = nItem;
    else if (nItem >= list.topIndex + visible)
        list.topIndex = nItem - visible + 1;
    host::ui::NotifyChanged(*w, host::ui::Change::Geometry);
    return TRUE;
}

BOOL CListCtrl::GetItemRect(int nItem, LPRECT rect, UINT nCode) const {
    Window* w = Of(m_hWnd, Kind::ListView);
    if (!w || !rect || nItem < 0 ||
        nItem >= static_cast<int>(w->As<host::ui::ListViewState>().rows.size()))
        return FALSE;
    *rect = host::ui::ListRowRect(w, nItem, nCode);
    return TRUE;
}

BOOL CListCtrl::GetSubItemRect(int nItem, int nSubItem, int nArea, CRect& rect) const {
    Window* w = Of(m_hWnd, Kind::ListView);
    if (!w)
        return FALSE;
    auto& list = w->As<host::ui::ListViewState>();
    if (nItem < 0 || nItem >= static_cast<int>(list.rows.size()) || nSubItem < 0 ||
        nSubItem >= std::max<int>(1, static_cast<int>(list.columns.size())))
        return FALSE;
    rect = host::ui::ListCellRect(w, nItem, nSubItem, nArea);
    return TRUE;
}
