// The test dialogs: resource tables written out by hand (as the resource compiler writes
// them), two small icons made at start-up, and the dialog classes.
#include "tests/host/ui/wx/test_dialogs.h"

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/acedads.h"
#include "platform/acutads.h"
#include "platform/adui.h"
#include "platform/afxcmn.h"
#include "platform/afxdlgs.h"
#include "platform/afxres.h"
#include "platform/afxwin.h"

namespace wxtest {

namespace {

constexpr DWORD kDialogStyle = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

const RESOURCE_DIALOG_ITEM kControlsItems[] = {
    {kName, "Edit", "", kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 0, 7, 7, 120, 12},
    {kPassword, "Edit", "", kChild | WS_BORDER | WS_TABSTOP | ES_PASSWORD, 0, 7, 22, 120, 12},
    {kReadOnly, "Edit", "fixed", kChild | WS_BORDER | ES_READONLY, 0, 7, 37, 120, 12},
    {kNotes, "Edit", "", kChild | WS_BORDER | WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN, 0, 7, 52,
     120, 30},
    {kHeader, "Button", "&Header row", kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 140, 7, 80, 10},
    {IDC_STATIC, "Button", "Align", kChild | BS_GROUPBOX, 0, 135, 19, 85, 30},
    {kLeft, "Button", "&Left", kChild | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 0, 140, 29, 35,
     10},
    {kRight, "Button", "&Right", kChild | BS_AUTORADIOBUTTON, 0, 178, 29, 35, 10},
    {kDropList, "ComboBox", "", kChild | WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, 0, 140, 52, 80,
     60},
    {kCombo, "ComboBox", "", kChild | WS_TABSTOP | CBS_DROPDOWN | WS_VSCROLL, 0, 140, 68, 80, 60},
    {kListBox, "ListBox", "", kChild | WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY, 0, 225, 7,
     68, 44},
    {IDC_STATIC, "Static", "Label:", kChild | SS_LEFT, 0, 225, 56, 68, 8},
    {kHidden, "Static", "hidden", kChild | SS_LEFT, 0, 225, 66, 68, 8},
    {kDisabled, "Button", "Disabled", kChild | WS_TABSTOP | WS_DISABLED, 0, 225, 76, 68, 12},
    {kList, "SysListView32", "", kChild | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL, 0, 7,
     90, 140, 60},
    {kTree, "SysTreeView32", "",
     kChild | WS_TABSTOP | WS_BORDER | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT, 0, 155, 90,
     90, 60},
    {kMarker, "WxtMarker", "", kChild, 0, 250, 92, 40, 20},
    {IDC_STATIC, "Static", "", kChild | SS_ETCHEDHORZ, 0, 7, 155, 286, 1},
    {kLink, "WxtLink", "", kChild, 0, 7, 162, 100, 10},
    {kWhere, "Button", "&Where", kChild | WS_TABSTOP, 0, 7, 178, 50, 14},
    {kAsk, "Button", "&Ask", kChild | WS_TABSTOP, 0, 62, 178, 50, 14},
    {kMore, "Button", "&More", kChild | WS_TABSTOP, 0, 117, 178, 50, 14},
    {kPick, "Button", "&Pick <", kChild | WS_TABSTOP, 0, 62, 162, 50, 14},
    {IDOK, "Button", "OK", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 180, 178, 50, 14},
    {IDCANCEL, "Button", "Cancel", kChild | WS_TABSTOP, 0, 240, 178, 50, 14},
};

const RESOURCE_DIALOG_ITEM kColumnsItems[] = {
    {kGrid, "SysListView32", "", kChild | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_ALIGNLEFT, 0, 7,
     7, 273, 41},
    {143, "Static", "Double click on the first row to modify the column heading.", kChild, 0, 7, 54,
     273, 8},
    {kLoad, "Button", "Load from file", kChild | WS_TABSTOP, 0, 7, 71, 61, 14},
    {kSave, "Button", "Save to file", kChild | WS_TABSTOP, 0, 84, 71, 61, 14},
    {IDOK, "Button", "OK", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 161, 71, 50, 14},
    {IDCANCEL, "Button", "Cancel", kChild | WS_TABSTOP, 0, 230, 71, 50, 14},
};

const RESOURCE_DIALOG_ITEM kBigListItems[] = {
    {kBigList, "SysListView32", "", kChild | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL, 0,
     7, 7, 286, 160},
    {kToEnd, "Button", "&End", kChild | WS_TABSTOP, 0, 7, 178, 50, 14},
    {kToMiddle, "Button", "&Middle", kChild | WS_TABSTOP, 0, 62, 178, 50, 14},
    {IDOK, "Button", "OK", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 180, 178, 50, 14},
    {IDCANCEL, "Button", "Cancel", kChild | WS_TABSTOP, 0, 240, 178, 50, 14},
};

const RESOURCE_DIALOG kDialogs[] = {
    {kControlsDialog, nullptr, 0, 0, 300, 200, kDialogStyle, 0, "Controls", "MS Shell Dlg", 8,
     FW_NORMAL, 0, 1, kControlsItems, static_cast<int>(std::size(kControlsItems))},
    {0, kColumnsDialog, 0, 0, 287, 92, kDialogStyle, 0, "Customize Column Heading", "MS Shell Dlg",
     8, FW_NORMAL, 0, 1, kColumnsItems, static_cast<int>(std::size(kColumnsItems))},
    {kBigListDialog, nullptr, 0, 0, 300, 200, kDialogStyle, 0, "Many rows", "MS Shell Dlg", 8,
     FW_NORMAL, 0, 1, kBigListItems, static_cast<int>(std::size(kBigListItems))},
};

// A 16 x 16 icon file of one colour (32 bits a pixel, its mask empty).
std::vector<unsigned char> SolidIcon(unsigned char r, unsigned char g, unsigned char b) {
    std::vector<unsigned char> out;
    auto u16 = [&](unsigned v) {
        out.push_back(static_cast<unsigned char>(v & 0xFF));
        out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
    };
    auto u32 = [&](unsigned v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    const unsigned pixels = 16 * 16 * 4, mask = 16 * 4;
    u16(0), u16(1), u16(1);  // directory: one icon
    out.push_back(16), out.push_back(16), out.push_back(0), out.push_back(0);
    u16(1), u16(32), u32(40 + pixels + mask), u32(22);  // its entry
    u32(40), u32(16), u32(32), u16(1), u16(32), u32(0), u32(pixels + mask), u32(0), u32(0), u32(0),
        u32(0);  // bitmap header
    for (int i = 0; i < 16 * 16; ++i) {
        out.push_back(b), out.push_back(g), out.push_back(r), out.push_back(255);
    }
    out.insert(out.end(), mask, 0);
    return out;
}

const std::vector<unsigned char> kFolderIcon = SolidIcon(230, 180, 40);
const std::vector<unsigned char> kTableIcon = SolidIcon(40, 90, 200);

const RESOURCE_DATA kData[] = {
    {301, nullptr, "ICON", kFolderIcon.data(), kFolderIcon.size()},
    {302, nullptr, "ICON", kTableIcon.data(), kTableIcon.size()},
};

const RESOURCE_DIRECTORY kDirectory = {kDialogs, static_cast<int>(std::size(kDialogs)), nullptr, 0,
                                       kData,    static_cast<int>(std::size(kData))};
const AfxResourceImage kImage(&kDirectory);

HINSTANCE Instance() {
    return AfxFindModuleInstance(reinterpret_cast<const void*>(&RunControlsDialog));
}

void Print(const std::string& text) {
    acutPrintfText(("\n" + text).c_str());
}

std::string Text(const CWnd& wnd) {
    CStringA text;
    wnd.GetWindowText(text);
    return text.GetString();
}

// ---- Windows of registered classes ---------------------------------------------------------

void RegisterClasses() {
    static bool done = false;
    if (done)
        return;
    done = true;
    for (const char* name : {"WxtLink", "WxtMarker"}) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = name;
        AfxRegisterClass(&wc);
    }
}

// A link: blue and underlined, red while the mouse is over it (it holds the capture then),
// with the hand cursor.
class CLink : public CWnd {
public:
    void OnPaint() {
        CPaintDC dc(this);
        CFont* base = GetFont();
        LOGFONTA logFont{};
        if (base)
            base->GetLogFont(&logFont);
        logFont.lfUnderline = TRUE;
        CFont underlined;
        underlined.CreateFontIndirect(&logFont);
        dc.SelectObject(&underlined);
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextColor(m_hover ? RGB(255, 0, 0) : RGB(0, 0, 255));
        dc.TextOut(0, 0, "Visit the site", -1);
    }
    void OnMouseMove(UINT, CPoint point) {
        CRect client;
        GetClientRect(&client);
        const bool inside = client.PtInRect(point);
        if (inside)
            SetCursor(LoadCursorA(nullptr, IDC_HAND));
        if (inside == m_hover)
            return;
        m_hover = inside;
        if (inside)
            SetCapture();
        else
            ReleaseCapture();
        Invalidate();
    }
    void OnLButtonUp(UINT, CPoint) { Print("[link clicked]"); }

    bool m_hover = false;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CLink, CWnd)
ON_WM_PAINT()
ON_WM_MOUSEMOVE()
ON_WM_LBUTTONUP()
END_MESSAGE_MAP()

// A red box at its origin, for finding the window in a picture.
class CMarker : public CWnd {
public:
    void OnPaint() {
        CPaintDC dc(this);
        dc.SetBkMode(OPAQUE);
        dc.SetBkColor(RGB(255, 0, 0));
        dc.SetTextColor(RGB(255, 0, 0));
        dc.TextOut(0, 0, "MMMM", -1);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CMarker, CWnd)
ON_WM_PAINT()
END_MESSAGE_MAP()

// ---- The controls dialog --------------------------------------------------------------------

class CControlsDialog : public CAdUiBaseDialog {
public:
    CControlsDialog() : CAdUiBaseDialog(static_cast<UINT>(kControlsDialog)) {}

    BOOL OnInitDialog() override {
        CAdUiBaseDialog::OnInitDialog();
        m_link.SubclassDlgItem(kLink, this);
        m_marker.SubclassDlgItem(kMarker, this);
        auto* drop = static_cast<CComboBox*>(GetDlgItem(kDropList));
        for (const char* e : {"Access", "SQLite", "ODBC"})
            drop->AddString(e);
        drop->SetCurSel(1);
        auto* combo = static_cast<CComboBox*>(GetDlgItem(kCombo));
        for (const char* e : {"alpha", "beta"})
            combo->AddString(e);
        auto* box = static_cast<CListBox*>(GetDlgItem(kListBox));
        for (const char* e : {"one", "two", "three"})
            box->AddString(e);
        GetDlgItem(kHidden)->ShowWindow(SW_HIDE);
        CheckDlgButton(kLeft, BST_CHECKED);

        m_list.SubclassDlgItem(kList, this);
        m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
        m_list.InsertColumn(0, "Part", LVCFMT_LEFT, 70);
        m_list.InsertColumn(1, "Price", LVCFMT_RIGHT, 60);
        m_list.InsertColumn(2, "Stock", LVCFMT_LEFT, 50);
        const char* rows[][3] = {{"Bolt", "0.10", "500"},
                                 {"Nut", "0.05", "900"},
                                 {"Washer", "0.02", "1200"},
                                 {"Screw", "0.08", "300"}};
        for (int r = 0; r < 4; ++r) {
            m_list.InsertItem(r, rows[r][0]);
            m_list.SetItemText(r, 1, rows[r][1]);
            m_list.SetItemText(r, 2, rows[r][2]);
        }

        m_tree.SubclassDlgItem(kTree, this);
        m_images.Create(16, 16, ILC_COLOR32 | ILC_MASK, 2, 0);
        m_images.Add(LoadIconA(Instance(), MAKEINTRESOURCEA(301)));
        m_images.Add(LoadIconA(Instance(), MAKEINTRESOURCEA(302)));
        m_tree.SetImageList(&m_images, TVSIL_NORMAL);
        HTREEITEM db = m_tree.InsertItem("parts.mdb", 0, 0);
        m_tree.InsertItem("Orders", 1, 1, db);
        m_tree.InsertItem("Stock", 1, 1, db);
        HTREEITEM other = m_tree.InsertItem("sales.sqlite", 0, 0);
        m_tree.InsertItem("Customers", 1, 1, other);
        m_tree.Expand(db, TVE_EXPAND);

        GotoDlgCtrl(GetDlgItem(kName));
        return FALSE;
    }

    void OnHeader() {
        Print(std::string("[header ") + (IsDlgButtonChecked(kHeader) ? "on" : "off") + "]");
    }
    void OnDropList() {
        CStringA text;
        GetDlgItem(kDropList)->GetWindowText(text);
        Print(std::string("[driver ") + text.GetString() + "]");
    }
    void OnTreeSelect(NMHDR*, LRESULT*) {
        Print("[tree " +
              std::string(m_tree.GetItemTextT<char>(m_tree.GetSelectedItem()).GetString()) + "]");
    }
    // Where the controls are in the dialog's client area, in pixels.
    void OnWhere() {
        for (int id :
             {static_cast<int>(kMarker), IDOK, static_cast<int>(kList), static_cast<int>(kName)}) {
            CRect rect;
            GetDlgItem(id)->GetWindowRect(&rect);
            ScreenToClient(&rect);
            char line[96];
            std::snprintf(line, sizeof line, "[rect %d %d %d %d %d]", id,
                          static_cast<int>(rect.left), static_cast<int>(rect.top),
                          static_cast<int>(rect.right), static_cast<int>(rect.bottom));
            Print(line);
        }
    }
    void OnAsk() {
        const int answer = AfxMessageBox("Keep the changes?", MB_YESNO | MB_ICONQUESTION);
        Print(answer == IDYES ? "[answer yes]" : "[answer no]");
    }
    void OnMore() { RunColumnsDialog(); }
    void OnPick() {
        BeginEditorCommand();
        ads_point point{0, 0, 0};
        const int status = acedGetPoint(nullptr, "\nPick a point: ", point);
        CompleteEditorCommand();
        if (status == RTNORM) {
            char line[64];
            std::snprintf(line, sizeof line, "[picked %g,%g]", point[0], point[1]);
            Print(line);
        }
    }
    void OnOK() override {
        Print("[name " + Text(*GetDlgItem(kName)) + "] [notes " + Text(*GetDlgItem(kNotes)) + "]");
        CAdUiBaseDialog::OnOK();
    }

    CLink m_link;
    CMarker m_marker;
    CListCtrl m_list;
    CTreeCtrl m_tree;
    CImageList m_images;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CControlsDialog, CAdUiBaseDialog)
ON_BN_CLICKED(kHeader, OnHeader)
ON_CBN_SELCHANGE(kDropList, OnDropList)
ON_NOTIFY(TVN_SELCHANGEDA, kTree, OnTreeSelect)
ON_BN_CLICKED(kWhere, OnWhere)
ON_BN_CLICKED(kAsk, OnAsk)
ON_BN_CLICKED(kMore, OnMore)
ON_BN_CLICKED(kPick, OnPick)
END_MESSAGE_MAP()

// ---- The editable grid
// ---------------------------------------------------------------------------

// The in-place edit box: Enter writes the text into its cell, Esc drops it, leaving the box
// writes it; the box grows with its text up to the list's right edge.
class CCellEdit : public CEdit {
public:
    UINT OnGetDlgCode() { return DLGC_WANTALLKEYS; }
    void OnKeyDown(UINT key, UINT, UINT) {
        if (key == VK_RETURN) {
            ShowWindow(SW_HIDE);
            Commit();
        } else if (key == VK_ESCAPE) {
            ShowWindow(SW_HIDE);
            m_row = m_column = -1;
        } else {
            Default();
        }
    }
    void OnKillFocus(CWnd* pNewWnd) {
        Default();
        if (pNewWnd == this)
            return;
        ShowWindow(SW_HIDE);
        Commit();
    }
    void OnChange() {
        CClientDC dc(this);
        dc.SelectObject(GetParent()->GetFont());
        const CSize size = dc.GetTextExtent(CStringA(Text(*this).c_str()) + "W");
        CRect rect, list;
        GetWindowRect(&rect);
        GetParent()->ScreenToClient(&rect);
        GetParent()->GetClientRect(&list);
        if (rect.Width() < size.cx)
            rect.right = rect.left + size.cx;
        if (rect.right < list.right)
            MoveWindow(&rect);
    }
    void Commit() {
        if (m_row < 0)
            return;
        static_cast<CListCtrl*>(GetParent())->SetItemText(m_row, m_column, Text(*this).c_str());
        m_row = m_column = -1;
    }

    int m_row = -1;
    int m_column = -1;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CCellEdit, CEdit)
ON_WM_GETDLGCODE()
ON_WM_KEYDOWN()
ON_WM_KILLFOCUS()
ON_CONTROL_REFLECT(EN_CHANGE, OnChange)
END_MESSAGE_MAP()

class CGrid : public CListCtrl {
public:
    void OnDoubleClick(NMHDR* header, LRESULT* result) {
        *result = 0;
        auto* hit = reinterpret_cast<NMITEMACTIVATE*>(header);
        if (hit->iItem < 0 || hit->iSubItem < 0)
            return;
        CRect cell;
        GetSubItemRect(hit->iItem, hit->iSubItem, LVIR_LABEL, cell);
        CRect client;
        GetClientRect(&client);
        if (cell.right > client.right)
            cell.right = client.right - GetSystemMetrics(SM_CXEDGE);
        if (!m_edit.m_hWnd) {
            m_edit.Create(WS_CHILD | WS_BORDER | ES_AUTOHSCROLL, CRect(0, 0, 0, 0), this,
                          kCellEdit);
            m_edit.SetFont(GetFont());
        }
        m_edit.m_row = hit->iItem;
        m_edit.m_column = hit->iSubItem;
        m_edit.SetWindowText(GetItemTextT<char>(hit->iItem, hit->iSubItem).GetString());
        m_edit.MoveWindow(&cell);
        m_edit.ShowWindow(SW_SHOW);
        m_edit.SetFocus();
    }

    CCellEdit m_edit;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CGrid, CListCtrl)
ON_NOTIFY_REFLECT(NM_DBLCLK, OnDoubleClick)
END_MESSAGE_MAP()

const char* kFilter = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";

class CColumnsDialog : public CDialog {
public:
    CColumnsDialog() : CDialog(kColumnsDialog) {}

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_grid.SubclassDlgItem(kGrid, this);
        for (int c = 0; c < kColumns; ++c)
            m_grid.InsertColumn(c, ("Col" + std::to_string(c + 1)).c_str(), LVCFMT_LEFT, 80);
        m_grid.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
        m_grid.InsertItem(0, "");
        return TRUE;
    }
    void OnSave() {
        std::string joined;
        for (int c = 0; c < kColumns; ++c)
            joined += m_grid.GetItemTextT<char>(0, c).GetString() + std::string(",");
        while (!joined.empty() && joined.back() == ',')
            joined.pop_back();
        CFileDialog dialog(FALSE, "txt", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kFilter,
                           this);
        if (dialog.DoModal() != IDOK)
            return;
        const std::string path = dialog.GetPathNameT<char>().GetString();
        if (FILE* f = std::fopen(path.c_str(), "w")) {
            std::fputs(joined.c_str(), f);
            std::fclose(f);
            Print("[saved " + joined + "]");
        }
    }
    void OnOK() override {
        std::string cells;
        for (int c = 0; c < kColumns; ++c)
            cells += "|" + std::string(m_grid.GetItemTextT<char>(0, c).GetString());
        Print("[cells " + cells + "|]");
        CDialog::OnOK();
    }

    CGrid m_grid;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CColumnsDialog, CDialog)
ON_BN_CLICKED(kSave, OnSave)
END_MESSAGE_MAP()

// ---- Many rows ---------------------------------------------------------------------------------

class CBigListDialog : public CDialog {
public:
    CBigListDialog() : CDialog(static_cast<UINT>(kBigListDialog)) {}

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_list.SubclassDlgItem(kBigList, this);
        m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
        m_list.InsertColumn(0, "Row", LVCFMT_LEFT, 80);
        m_list.InsertColumn(1, "Twice", LVCFMT_RIGHT, 80);
        m_list.InsertColumn(2, "Text", LVCFMT_LEFT, 200);
        m_list.SetItemCount(kBigRows);
        for (int r = 0; r < kBigRows; ++r) {
            m_list.InsertItem(r, ("row " + std::to_string(r)).c_str());
            m_list.SetItemText(r, 1, std::to_string(2 * r).c_str());
            m_list.SetItemText(r, 2, "some text of the row");
        }
        return TRUE;
    }
    void OnEnd() { m_list.EnsureVisible(kBigRows - 1, FALSE); }
    void OnMiddle() { m_list.EnsureVisible(kBigRows / 2, FALSE); }

    CListCtrl m_list;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBigListDialog, CDialog)
ON_BN_CLICKED(kToEnd, OnEnd)
ON_BN_CLICKED(kToMiddle, OnMiddle)
END_MESSAGE_MAP()

void PrintResult(const char* name, INT_PTR result) {
    Print(std::string("[") + name + " " +
          (result == IDOK       ? "ok"
           : result == IDCANCEL ? "cancel"
                                : std::to_string(result)) +
          "]");
}

}  // namespace

void RunControlsDialog() {
    // The dialogs are found among the resources of the image that holds this code.
    AfxSetResourceHandle(Instance());
    RegisterClasses();
    CControlsDialog dialog;
    PrintResult("controls", dialog.DoModal());
}

void RunColumnsDialog() {
    AfxSetResourceHandle(Instance());
    CColumnsDialog dialog;
    PrintResult("columns", dialog.DoModal());
}

void RunBigListDialog() {
    AfxSetResourceHandle(Instance());
    CBigListDialog dialog;
    PrintResult("big list", dialog.DoModal());
}

}  // namespace wxtest
