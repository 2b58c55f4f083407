#include "dialogs/QueryDialog.h"

#include "data/ADORecordset.h"
#include "link/DbRecords.h"
#include "resources/resource.h"

BEGIN_MESSAGE_MAP(CQueryDialog, CDialog)
ON_LBN_SELCHANGE(IDC_LIST_TABLES, OnSelchangeTables)
ON_BN_CLICKED(IDC_INSERT_TABLE_NAME, OnInsertTableName)
ON_BN_CLICKED(IDC_INSERT_FIELD_NAME, OnInsertFieldName)
END_MESSAGE_MAP()

CQueryDialog::CQueryDialog(CMyDatabase* pDatabase, CWnd* pParent)
    : CDialog(_T(IDD_QUERY_DIALOG), pParent), m_pDatabase(pDatabase) {}

void CQueryDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_LIST_TABLES, m_listTables);
    DDX_Control(pDX, IDC_LIST_FIELDS, m_listFields);
    DDX_Control(pDX, IDC_EDIT_SQL, m_editSQL);
    DDX_Text(pDX, IDC_EDIT_QUERY_NAME, m_strName);
}

BOOL CQueryDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    if (m_pDatabase) {
        for (CMyDbTable* pTable : m_pDatabase->m_tables) {
            if (pTable->m_nType != CMyDbTable::typeTable &&
                pTable->m_nType != CMyDbTable::typeView)
                continue;
            const int nIndex = m_listTables.AddString(pTable->m_strName);
            m_listTables.SetItemDataPtr(nIndex, pTable);
        }
    }
    return TRUE;
}

void CQueryDialog::OnSelchangeTables() {
    const int nIndex = m_listTables.GetCurSel();
    if (nIndex == LB_ERR)
        return;
    m_listFields.ResetContent();
    auto* pTable = static_cast<CMyDbTable*>(m_listTables.GetItemDataPtr(nIndex));
    if (!pTable || !pTable->m_pDatabase)
        return;
    CADORecordset rs(&pTable->m_pDatabase->m_db);
    if (!rs.OpenQuery(SelectAllFrom(pTable->m_strName)))
        return;
    const long nColumns = rs.CountColumns();
    for (int i = 0; i < nColumns; ++i) {
        ColumnFacts facts;
        if (rs.ReadColumnFacts(i, facts))
            m_listFields.AddString(facts.szName);
    }
    rs.CloseQuery();
}

void CQueryDialog::OnInsertTableName() {
    const int nIndex = m_listTables.GetCurSel();
    if (nIndex == LB_ERR)
        return;
    CString strName;
    m_listTables.GetText(nIndex, strName);
    m_editSQL.ReplaceSel(strName, TRUE);
}

void CQueryDialog::OnInsertFieldName() {
    const int nIndex = m_listFields.GetCurSel();
    if (nIndex == LB_ERR)
        return;
    CString strName;
    m_listFields.GetText(nIndex, strName);
    m_editSQL.ReplaceSel(strName, TRUE);
}

void CQueryDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;
    if (m_strName.IsEmpty()) {
        MessageBox(m_hWnd, _T("Please enter the query name."), _T("Morvane Quarvel"),
                   MB_ICONINFORMATION);
        return;
    }
    m_editSQL.GetWindowText(m_strSQL);
    EndDialog(IDOK);
}
