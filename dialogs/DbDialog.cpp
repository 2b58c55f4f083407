#include "dialogs/DbDialog.h"

#include <cstdlib>

#include "ArxUtils/ArxUtils.h"
#include "data/ADORecordset.h"
#include "dialogs/ConnectDialog.h"
#include "dialogs/CustomizeHeaderDialog.h"
#include "dialogs/QueryDialog.h"
#include "dialogs/Registry.h"
#include "link/DbRecords.h"
#include "link/TableLink.h"
#include "platform/acdocman.h"
#include "platform/acrxapp.h"
#include "platform/acutads.h"
#include "platform/dbapserv.h"
#include "platform/dbtable.h"
#include "resources/resource.h"
#include "tables/BuildTable.h"
#include "tables/CellGrid.h"

namespace {

// Images of the tree.
enum { imageDatabase = 0, imageTable = 1, imageViewOrQuery = 2 };

// Column captions are held in buffers of this many characters, terminator included.
constexpr int kCaptionBuffer = 1024;

// Makes the module's resources current for a dialog while it lives (also when it throws).
class CModuleResources {
public:
    CModuleResources() { acDocManager->pushResourceHandle(acrxGetApp()->ResourceInstance()); }
    ~CModuleResources() { acDocManager->popResourceHandle(); }
    CModuleResources(const CModuleResources&) = delete;
    CModuleResources& operator=(const CModuleResources&) = delete;
};

void ShowMessage(HWND hWnd, const TCHAR* text, const TCHAR* caption) {
    MessageBox(hWnd, text, caption, MB_ICONINFORMATION);
}

// A width as typed: a decimal number after leading white space, read up to the first
// character that does not fit; no number, or none that is finite, reads as 0 (automatic).
double ReadWidth(const CString& text) {
    const std::string narrow = qv::ToUtf8(text.View());
    const char* start = narrow.c_str();
    while (*start == ' ' || *start == '\t' || *start == '\n' || *start == '\r' || *start == '\f' ||
           *start == '\v')
        ++start;
    // Only a decimal number counts (not "inf", "nan" or a hexadecimal form).
    const char* p = start;
    if (*p == '+' || *p == '-')
        ++p;
    if (!((*p >= '0' && *p <= '9') || (*p == '.' && p[1] >= '0' && p[1] <= '9')))
        return 0;
    const char* digits = p;
    while (*p >= '0' && *p <= '9')
        ++p;
    if (*p == '.')
        for (++p; *p >= '0' && *p <= '9'; ++p) {
        }
    if ((*p == 'e' || *p == 'E') && p > digits) {
        const char* exponent = p + 1;
        if (*exponent == '+' || *exponent == '-')
            ++exponent;
        if (*exponent >= '0' && *exponent <= '9') {
            p = exponent;
            while (*p >= '0' && *p <= '9')
                ++p;
        }
    }
    const double value = std::strtod(std::string(start, p).c_str(), nullptr);
    return std::isfinite(value) ? value : 0;
}

}  // namespace

BEGIN_MESSAGE_MAP(CDbDialog, CAcUiDialog)
ON_BN_CLICKED(IDC_OPEN_DATABASE, OnOpenDatabase)
ON_BN_CLICKED(IDC_CLOSE_DATABASE, OnCloseDatabase)
ON_BN_CLICKED(IDC_NEW_QUERY, OnNewQuery)
ON_BN_CLICKED(IDC_CREATE_TABLE, OnCreateTable)
ON_BN_CLICKED(IDC_CHECK_INSERT, OnInsertClicked)
ON_BN_CLICKED(IDC_CUSTOMIZE_HEADING, OnCustomizeHeading)
ON_BN_CLICKED(IDC_CUSTOMIZE_WIDTH, OnCustomizeWidth)
ON_NOTIFY(TVN_SELCHANGED, IDC_TREE_DATASOURCE, OnSelchangedTree)
END_MESSAGE_MAP()

CDbDialog::CDbDialog(CWnd* pParent)
    : CAcUiDialog(IDD_DBDIALOG, pParent), m_nIncHeader(1), m_nInsert(0) {}

void CDbDialog::DoDataExchange(CDataExchange* pDX) {
    CAcUiDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_TREE_DATASOURCE, m_tree);
    DDX_Control(pDX, IDC_LIST_DATAVIEW, m_list);
    DDX_Control(pDX, IDC_COMBO_TABLE_STYLE, m_comboTableStyle);
    DDX_CBString(pDX, IDC_COMBO_TABLE_STYLE, m_strTableStyle);
    DDX_Check(pDX, IDC_CHECK_INCLUDE_HEADER, m_nIncHeader);
    DDX_Check(pDX, IDC_CHECK_INSERT, m_nInsert);
}

BOOL CDbDialog::OnInitDialog() {
    CAcUiDialog::OnInitDialog();
    m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);

    m_imageList.Create(16, 16, ILC_COLOR24 | ILC_MASK, 3, 3);
    const HINSTANCE hResources = AfxGetResourceHandle();
    for (const int nIcon : {IDI_DATABASE, IDI_TABLE, IDI_VIEW})
        m_imageList.Add(LoadIcon(hResources, MAKEINTRESOURCE(nIcon)));
    m_tree.SetImageList(&m_imageList, TVSIL_NORMAL);

    for (const int nId :
         {IDC_CLOSE_DATABASE, IDC_NEW_QUERY, IDC_CUSTOMIZE_HEADING, IDC_CUSTOMIZE_WIDTH})
        GetDlgItem(nId)->EnableWindow(FALSE);

    for (int i = 0; i < g_dbList.GetSize(); ++i)
        ListDatabase(g_dbList[i]);
    if (HTREEITEM hFirst = m_tree.GetRootItem())
        m_tree.Expand(hFirst, TVE_COLLAPSE);

    CStringArray styles;
    ListTableStyleNames(styles);
    for (int i = 0; i < styles.GetSize(); ++i)
        m_comboTableStyle.AddString(styles[i]);
    // The drawing's current style; when it cannot be opened the box starts on its first entry.
    m_strTableStyle.Empty();
    AcDbDatabase* pDb = acdbHostApplicationServices()->workingDatabase();
    AcDbTableStyle* pStyle = nullptr;
    if (pDb && acdbOpenObject(pStyle, pDb->tablestyle(), AcDb::kForRead) == Acad::eOk) {
        TCHAR* pszName = nullptr;
        if (pStyle->getName(pszName) == Acad::eOk) {
            m_strTableStyle = pszName;
            delete[] pszName;
        }
        pStyle->close();
    }
    m_comboTableStyle.SelectString(-1, m_strTableStyle);

    m_nIncHeader = static_cast<int>(CRegistry::GetInt(QUARVEL_SETTINGS_SECTION, _T("Inc Header"),
                                                      static_cast<DWORD>(m_nIncHeader)));
    UpdateData(FALSE);
    return TRUE;
}

bool CDbDialog::ListDatabase(CMyDatabase* pDb) {
    if (!pDb->m_db.IsConnected() && !pDb->m_db.OpenConnection(_T(""), _T(""), _T("")))
        return false;
    HTREEITEM hDb =
        m_tree.InsertItem(pDb->m_strDatabase, imageDatabase, imageDatabase, TVI_ROOT, TVI_LAST);
    m_tree.SetItemData(hDb, reinterpret_cast<DWORD_PTR>(pDb));
    pDb->ReloadTables();
    for (CMyDbTable* pTable : pDb->m_tables) {
        const int nImage = pTable->m_nType == CMyDbTable::typeTable ? imageTable : imageViewOrQuery;
        HTREEITEM hTable = m_tree.InsertItem(pTable->m_strName, nImage, nImage, hDb, TVI_LAST);
        m_tree.SetItemData(hTable, reinterpret_cast<DWORD_PTR>(pTable));
    }
    m_tree.Expand(hDb, TVE_EXPAND);
    return true;
}

void CDbDialog::OnSelchangedTree(NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    const auto* pTreeView = reinterpret_cast<const NMTREEVIEW*>(pNMHDR);
    HTREEITEM hNew = pTreeView->itemNew.hItem;

    m_list.DeleteAllItems();
    m_arrHeadings.RemoveAll();
    m_arrWidths.clear();
    while (m_list.DeleteColumn(0)) {
    }

    const bool bDatabase = hNew && !m_tree.GetParentItem(hNew);
    const bool bTable = hNew && !bDatabase;
    GetDlgItem(IDC_NEW_QUERY)->EnableWindow(bDatabase);
    GetDlgItem(IDC_CLOSE_DATABASE)->EnableWindow(bDatabase);
    for (const int nId : {IDC_CREATE_TABLE, IDC_CUSTOMIZE_WIDTH, IDC_CUSTOMIZE_HEADING})
        GetDlgItem(nId)->EnableWindow(bTable);

    if (!bTable)
        return;
    auto* pTable = reinterpret_cast<CMyDbTable*>(m_tree.GetItemData(hNew));
    if (!pTable || !pTable->m_pDatabase)
        return;
    ShowRows(pTable);
}

void CDbDialog::ShowRows(CMyDbTable* pTable) {
    CString strSQL;
    if (pTable->m_nType == CMyDbTable::typeQuery) {
        if (pTable->m_strSQL.IsEmpty())
            return;
        strSQL = pTable->m_strSQL;
    } else {
        if (pTable->m_strName.IsEmpty())
            return;
        strSQL = SelectAllFrom(pTable->m_strName);
    }
    CADORecordset rs(&pTable->m_pDatabase->m_db);
    if (!rs.OpenQuery(strSQL))
        return;
    const int nColumns = static_cast<int>(rs.CountColumns());
    for (int i = 0; i < nColumns; ++i) {
        ColumnFacts facts;
        CString strName;
        if (rs.ReadColumnFacts(i, facts))
            strName = facts.szName;
        m_list.InsertColumn(i, strName, LVCFMT_LEFT, 80);
        m_arrHeadings.Add(strName);
    }
    // Every row of the result is shown.
    m_list.SetItemCount(static_cast<int>(rs.CountRows()));
    rs.ToFirstRow();
    for (int nRow = 0; !rs.AtEndOfRows(); ++nRow) {
        CString strText;
        if (!rs.ReadCellText(0, strText))
            strText.Empty();
        m_list.InsertItem(nRow, strText);
        for (int i = 1; i < nColumns; ++i) {
            if (!rs.ReadCellText(i, strText))
                strText.Empty();
            m_list.SetItemText(nRow, i, strText);
        }
        rs.ToNextRow();
    }
    rs.CloseQuery();
}

void CDbDialog::OnOpenDatabase() {
    CConnectDialog dlg(this);
    {
        CModuleResources resources;
        if (dlg.DoModal() != IDOK)
            return;
    }
    if (g_dbList.FindDatabase(dlg.m_strDatabase, dlg.m_strConnectString)) {
        CString strMessage;
        strMessage.Format(_T("%s already exists."), dlg.m_strDatabase);
        ShowMessage(m_hWnd, strMessage, _T("Quarvel"));
        return;
    }
    auto* pDb = new CMyDatabase;
    pDb->SetConnection(dlg.m_strConnectString, dlg.m_strDatabase, dlg.m_strUser, dlg.m_strPassword);
    if (ListDatabase(pDb))
        g_dbList.Add(pDb);
    else
        delete pDb;
}

void CDbDialog::OnCloseDatabase() {
    HTREEITEM hSelected = m_tree.GetSelectedItem();
    if (!hSelected || m_tree.GetParentItem(hSelected))
        return;
    auto* pDb = reinterpret_cast<CMyDatabase*>(m_tree.GetItemData(hSelected));
    if (!pDb)
        return;
    for (int i = 0; i < g_dbList.GetSize(); ++i) {
        if (g_dbList[i] != pDb)
            continue;
        pDb->FreeTables();
        g_dbList.RemoveAt(i);
        delete pDb;
        m_tree.DeleteItem(hSelected);
        return;
    }
}

void CDbDialog::OnNewQuery() {
    HTREEITEM hSelected = m_tree.GetSelectedItem();
    if (!hSelected || m_tree.GetParentItem(hSelected)) {
        ShowMessage(m_hWnd, _T("Please select a database."), _T("Morvane Quarvel"));
        return;
    }
    auto* pDb = reinterpret_cast<CMyDatabase*>(m_tree.GetItemData(hSelected));
    if (!pDb) {
        ShowMessage(m_hWnd, _T("Please select a valid database."), _T("Morvane Quarvel"));
        return;
    }
    CQueryDialog dlg(pDb, this);
    {
        CModuleResources resources;
        if (dlg.DoModal() != IDOK)
            return;
    }
    if (dlg.m_strName.IsEmpty() || dlg.m_strSQL.IsEmpty())
        return;

    // The statement is tried before it becomes a query of the database.
    {
        CADORecordset rs(&pDb->m_db);
        if (!rs.OpenQuery(dlg.m_strSQL)) {
            CString strMessage;
            strMessage.Format(_T("Failed to execute the SQL: %s"), dlg.m_strSQL);
            ShowMessage(m_hWnd, strMessage, _T("Morvane Quarvel"));
            return;
        }
        rs.CloseQuery();
    }
    auto* pQuery = new CMyDbTable;
    pQuery->m_strName = dlg.m_strName;
    pQuery->m_strSQL = dlg.m_strSQL;
    pQuery->m_nType = CMyDbTable::typeQuery;
    pQuery->m_pDatabase = pDb;
    pDb->m_tables.push_back(pQuery);
    HTREEITEM hQuery = m_tree.InsertItem(pQuery->m_strName, imageViewOrQuery, imageViewOrQuery,
                                         hSelected, TVI_LAST);
    m_tree.SetItemData(hQuery, reinterpret_cast<DWORD_PTR>(pQuery));
    m_tree.SelectItem(hQuery);
}

void CDbDialog::OnInsertClicked() {
    UpdateData(TRUE);
    SetDlgItemText(IDC_CREATE_TABLE, m_nInsert ? _T("Insert ...") : _T("Create Table ..."));
}

void CDbDialog::SetColumnCaption(int nColumn, const CString& strCaption) {
    TCHAR szCaption[kCaptionBuffer] = {0};
    const int nLength = std::min(strCaption.GetLength(), kCaptionBuffer - 1);
    std::copy(strCaption.GetString(), strCaption.GetString() + nLength, szCaption);
    LVCOLUMN column = {};
    column.mask = LVCF_TEXT;
    column.pszText = szCaption;
    m_list.SetColumn(nColumn, &column);
}

void CDbDialog::OnCustomizeHeading() {
    CCustomizeHeaderDialog dlg(this);
    dlg.m_nMode = CCustomizeHeaderDialog::modeHeading;
    dlg.m_arrHeadings = m_arrHeadings;
    if (dlg.DoModal() != IDOK)
        return;
    for (int i = 0; i < dlg.m_arrResult.GetSize(); ++i) {
        const CString& strHeading = dlg.m_arrResult[i];
        if (strHeading.IsEmpty() || i >= m_arrHeadings.GetSize())
            continue;
        m_arrHeadings.SetAt(i, strHeading);
        SetColumnCaption(i, strHeading);
    }
}

void CDbDialog::OnCustomizeWidth() {
    CCustomizeHeaderDialog dlg(this);
    dlg.m_nMode = CCustomizeHeaderDialog::modeWidth;
    dlg.m_arrHeadings = m_arrHeadings;
    if (dlg.DoModal() != IDOK)
        return;
    m_arrWidths.clear();
    for (int i = 0; i < dlg.m_arrResult.GetSize(); ++i) {
        const CString& strWidth = dlg.m_arrResult[i];
        if (strWidth.IsEmpty()) {
            m_arrWidths.push_back(0);
            continue;
        }
        const double dWidth = ReadWidth(strWidth);
        m_arrWidths.push_back(dWidth);
        CString strCaption;
        strCaption.Format(_T("%s(%g)"), i < m_arrHeadings.GetSize() ? m_arrHeadings[i] : CString(),
                          dWidth);
        SetColumnCaption(i, strCaption);
    }
}

void CDbDialog::FillGrid(CellGrid& grid, TableLink& link) {
    const int nRows = m_list.GetItemCount();
    const int nColumns = m_list.GetHeaderCtrl()->GetItemCount();
    const bool bHeader = m_nIncHeader != 0;
    grid.Init(nRows + (bHeader ? 1 : 0), nColumns);
    if (bHeader) {
        for (int i = 0; i < m_arrHeadings.GetSize() && i < nColumns; ++i)
            grid.SetCell(0, i, m_arrHeadings[i]);
    }
    const int nFirst = bHeader ? 1 : 0;
    for (int r = 0; r < nRows; ++r) {
        for (int c = 0; c < nColumns; ++c)
            grid.SetCell(r + nFirst, c, m_list.GetItemText(r, c));
    }
    link.m_nRowCount = grid.m_nRows;
    link.m_nColCount = grid.m_nColumns;
}

void CDbDialog::OnCreateTable() {
    if (!UpdateData(TRUE))
        return;
    CRegistry::SetInt(QUARVEL_SETTINGS_SECTION, _T("Inc Header"), static_cast<DWORD>(m_nIncHeader));

    HTREEITEM hSelected = m_tree.GetSelectedItem();
    if (hSelected && !m_tree.GetParentItem(hSelected)) {
        ShowMessage(m_hWnd, _T("Please select a table or query first."), _T("Morvane Quarvel"));
        return;
    }
    auto* pTable =
        hSelected ? reinterpret_cast<CMyDbTable*>(m_tree.GetItemData(hSelected)) : nullptr;
    if (!pTable || !pTable->m_pDatabase) {
        ShowMessage(m_hWnd, _T("Invalid table or query."), _T("Morvane Quarvel"));
        return;
    }

    // The dialog hides now and closes when this returns; the table is built in between.
    EndDialog(IDOK);

    const CMyDatabase* pDb = pTable->m_pDatabase;
    TableLink link;
    link.m_strConnectDriver = pDb->m_strConnectDriver;
    link.m_strDatabase = pDb->m_strDatabase;
    link.m_strUser = pDb->m_strUser;
    link.m_strPassword = pDb->m_strPassword;
    // A composed query is linked by its SQL alone, so that refreshing it runs the query even
    // when its name is also the name of a table of the database.
    if (pTable->m_nType != CMyDbTable::typeQuery)
        link.m_strTable = pTable->m_strName;
    link.m_strSQL = pTable->m_strSQL;
    link.m_nHeader = m_nIncHeader;
    link.m_strTableStyle = m_strTableStyle;
    link.m_headings = m_arrHeadings;
    link.m_widths = m_arrWidths;
    link.m_nStartRow = 0;
    link.m_nStartCol = 0;

    CellGrid grid;
    FillGrid(grid, link);
    // A table needs a cell: a result without rows (and no heading row) builds nothing, and
    // writes nothing into a table, whose rows it would otherwise cut.
    if (grid.m_nRows == 0 || grid.m_nColumns == 0) {
        acutPrintf(_T("\nThe selection has no rows to build a table from; nothing was built."));
        return;
    }

    AcDbTable* pExisting = nullptr;
    if (m_nInsert) {
        AcDbObjectId tableId;
        int nRow = -1;
        int nColumn = -1;
        if (PickStartCell(tableId, nRow, nColumn) && !tableId.isNull() &&
            acdbOpenObject(pExisting, tableId, AcDb::kForWrite) == Acad::eOk) {
            link.m_nStartRow = nRow;
            link.m_nStartCol = nColumn;
        } else {
            pExisting = nullptr;
        }
    }
    if (pExisting) {
        BuildTable(grid, link, pExisting);
        link.WriteLink(pExisting);
        pExisting->close();
    } else {
        BuildTable(grid, link);
    }
}
