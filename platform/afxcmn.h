// The framework's common controls: image lists, tree views, report-style list views and
// their header, with the notification records they send.
#pragma once

#include "platform/afxwin.h"
#include "platform/commctrl.h"

struct HTREEITEM__;
typedef HTREEITEM__* HTREEITEM;
struct HIMAGELIST__;
typedef HIMAGELIST__* HIMAGELIST;

#define TVI_ROOT (reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x10000)))
#define TVI_FIRST (reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x0FFFF)))
#define TVI_LAST (reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x0FFFE)))
#define TVI_SORT (reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x0FFFD)))

// A tree item as notifications carry it. Selection notifications fill the handle, state and
// item data; they carry no text.
template <class C>
struct TVITEMT {
    UINT mask;
    HTREEITEM hItem;
    UINT state;
    UINT stateMask;
    C* pszText;
    int cchTextMax;
    int iImage;
    int iSelectedImage;
    int cChildren;
    LPARAM lParam;
};
typedef TVITEMT<char> TVITEMA;
typedef TVITEMT<char16_t> TVITEMW;

template <class C>
struct NMTREEVIEWT {
    NMHDR hdr;
    UINT action;  // TVC_* for selection changes, TVE_* for expansion
    TVITEMT<C> itemOld;
    TVITEMT<C> itemNew;
    POINT ptDrag;
};
typedef NMTREEVIEWT<char> NMTREEVIEWA;
typedef NMTREEVIEWT<char16_t> NMTREEVIEWW;

// List-view notifications about one item (selection and state changes).
struct NMLISTVIEW {
    NMHDR hdr;
    int iItem;
    int iSubItem;
    UINT uNewState;
    UINT uOldState;
    UINT uChanged;
    POINT ptAction;
    LPARAM lParam;
};
typedef NMLISTVIEW* LPNMLISTVIEW;

// Activation notifications (NM_CLICK, NM_DBLCLK, NM_RCLICK): the item and sub-item hit.
struct NMITEMACTIVATE {
    NMHDR hdr;
    int iItem;
    int iSubItem;
    UINT uNewState;
    UINT uOldState;
    UINT uChanged;
    POINT ptAction;
    LPARAM lParam;
    UINT uKeyFlags;
};
typedef NMITEMACTIVATE* LPNMITEMACTIVATE;

template <class C>
struct LVCOLUMNT {
    UINT mask;  // LVCF_*
    int fmt;
    int cx;
    C* pszText;
    int cchTextMax;
    int iSubItem;
};
typedef LVCOLUMNT<char> LVCOLUMNA;
typedef LVCOLUMNT<char16_t> LVCOLUMNW;

#if defined(QUARVEL_MODULE)
#if defined(_UNICODE)
typedef TVITEMW TVITEM;
typedef NMTREEVIEWW NMTREEVIEW;
typedef LVCOLUMNW LVCOLUMN;
#else
typedef TVITEMA TVITEM;
typedef NMTREEVIEWA NMTREEVIEW;
typedef LVCOLUMNA LVCOLUMN;
#endif
typedef NMTREEVIEW* LPNMTREEVIEW;
#endif

class QV_UI_API CImageList : public CObject {
public:
    CImageList();
    ~CImageList() override;
    HIMAGELIST m_hImageList = nullptr;
    // An empty list of cx x cy images (ILC_* flags), room for `initial`, growing by `grow`.
    BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
    BOOL DeleteImageList();
    // Appends an icon; its index, or -1.
    int Add(HICON icon);
    int GetImageCount() const;
    operator HIMAGELIST() const { return m_hImageList; }
};

class QV_UI_API CHeaderCtrl : public CWnd {
public:
    int GetItemCount() const;
};

class QV_UI_API CTreeCtrl : public CWnd {
public:
    using CWnd::Create;
    BOOL Create(DWORD style, const RECT& rect, CWnd* pParent, UINT nID);
    CImageList* SetImageList(CImageList* pImageList, int nImageListType);

    // Adds an item under a parent (TVI_ROOT) after a sibling (TVI_LAST, TVI_FIRST, TVI_SORT);
    // its handle, or null.
    HTREEITEM InsertItem(const char* text, int nImage, int nSelectedImage,
                         HTREEITEM hParent = TVI_ROOT, HTREEITEM hInsertAfter = TVI_LAST);
    HTREEITEM InsertItem(const char16_t* text, int nImage, int nSelectedImage,
                         HTREEITEM hParent = TVI_ROOT, HTREEITEM hInsertAfter = TVI_LAST);
    HTREEITEM InsertItem(const char* text, HTREEITEM hParent = TVI_ROOT,
                         HTREEITEM hInsertAfter = TVI_LAST);
    HTREEITEM InsertItem(const char16_t* text, HTREEITEM hParent = TVI_ROOT,
                         HTREEITEM hInsertAfter = TVI_LAST);
    BOOL DeleteItem(HTREEITEM hItem);
    BOOL DeleteAllItems();

    DWORD_PTR GetItemData(HTREEITEM hItem) const;
    BOOL SetItemData(HTREEITEM hItem, DWORD_PTR data);
    BOOL SetItemText(HTREEITEM hItem, const char* text);
    BOOL SetItemText(HTREEITEM hItem, const char16_t* text);
    template <class C>
    CStringT<C> GetItemTextT(HTREEITEM hItem) const;
#if defined(QUARVEL_MODULE)
    CString GetItemText(HTREEITEM hItem) const {
        return GetItemTextT<TCHAR>(hItem);
    }
#endif
    BOOL GetItemImage(HTREEITEM hItem, int& nImage, int& nSelectedImage) const;

    HTREEITEM GetRootItem() const;
    HTREEITEM GetChildItem(HTREEITEM hItem) const;
    HTREEITEM GetNextSiblingItem(HTREEITEM hItem) const;
    HTREEITEM GetPrevSiblingItem(HTREEITEM hItem) const;
    HTREEITEM GetParentItem(HTREEITEM hItem) const;
    HTREEITEM GetNextItem(HTREEITEM hItem, UINT nCode) const;
    BOOL ItemHasChildren(HTREEITEM hItem) const;
    UINT GetCount() const;

    HTREEITEM GetSelectedItem() const;
    // Selects an item (null: none); the tree notifies its parent as for a user's choice.
    BOOL SelectItem(HTREEITEM hItem);
    BOOL Expand(HTREEITEM hItem, UINT nCode);
    UINT GetItemState(HTREEITEM hItem, UINT nStateMask) const;
    BOOL EnsureVisible(HTREEITEM hItem);
};

class QV_UI_API CListCtrl : public CWnd {
public:
    using CWnd::Create;
    BOOL Create(DWORD style, const RECT& rect, CWnd* pParent, UINT nID);
    DWORD GetExtendedStyle() const;
    DWORD SetExtendedStyle(DWORD exStyle);
    CImageList* SetImageList(CImageList* pImageList, int nImageListType);

    // Columns.
    int InsertColumn(int nCol, const char* heading, int nFormat = LVCFMT_LEFT, int nWidth = -1,
                     int nSubItem = -1);
    int InsertColumn(int nCol, const char16_t* heading, int nFormat = LVCFMT_LEFT, int nWidth = -1,
                     int nSubItem = -1);
    BOOL DeleteColumn(int nCol);
    BOOL GetColumn(int nCol, LVCOLUMNA* column) const;
    BOOL GetColumn(int nCol, LVCOLUMNW* column) const;
    BOOL SetColumn(int nCol, const LVCOLUMNA* column);
    BOOL SetColumn(int nCol, const LVCOLUMNW* column);
    int GetColumnWidth(int nCol) const;
    BOOL SetColumnWidth(int nCol, int cx);
    CHeaderCtrl* GetHeaderCtrl() const;

    // Items (rows) and their sub-items (cells of the further columns).
    int GetItemCount() const;
    // Reserves room for many rows (a hint; the count does not change).
    void SetItemCount(int nItems);
    int InsertItem(int nItem, const char* text);
    int InsertItem(int nItem, const char16_t* text);
    int InsertItem(int nItem, const char* text, int nImage);
    int InsertItem(int nItem, const char16_t* text, int nImage);
    BOOL SetItemText(int nItem, int nSubItem, const char* text);
    BOOL SetItemText(int nItem, int nSubItem, const char16_t* text);
    template <class C>
    CStringT<C> GetItemTextT(int nItem, int nSubItem) const;
#if defined(QUARVEL_MODULE)
    CString GetItemText(int nItem, int nSubItem) const {
        return GetItemTextT<TCHAR>(nItem, nSubItem);
    }
#endif
    BOOL DeleteItem(int nItem);
    BOOL DeleteAllItems();
    DWORD_PTR GetItemData(int nItem) const;
    BOOL SetItemData(int nItem, DWORD_PTR data);

    UINT GetItemState(int nItem, UINT nMask) const;
    BOOL SetItemState(int nItem, UINT nState, UINT nMask);
    int GetNextItem(int nItem, int nFlags) const;
    int GetSelectionMark() const;
    int GetSelectedCount() const;
    BOOL EnsureVisible(int nItem, BOOL partialOK);

    // Rectangles in the list's client coordinates (LVIR_*). A sub-item 0 rectangle is the
    // first column's.
    BOOL GetItemRect(int nItem, LPRECT rect, UINT nCode) const;
    BOOL GetSubItemRect(int nItem, int nSubItem, int nArea, CRect& rect) const;
};
