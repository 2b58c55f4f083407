#include "dialogs/CustomizeHeaderDialog.h"

#include "link/TableLink.h"
#include "platform/afx.h"
#include "platform/afxdlgs.h"
#include "resources/resource.h"

BEGIN_MESSAGE_MAP(CCustomizeHeaderDialog, CDialog)
ON_BN_CLICKED(IDC_LOAD_FROM_FILE, OnLoadFromFile)
ON_BN_CLICKED(IDC_SAVE_TO_FILE, OnSaveToFile)
END_MESSAGE_MAP()

CCustomizeHeaderDialog::CCustomizeHeaderDialog(CWnd* pParent)
    : CDialog(_T(IDD_CUSTOMIZE_HEADER_DIALOG), pParent), m_nMode(modeWidth) {}

void CCustomizeHeaderDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_LIST_COLUMNS, m_list);
    DDX_Text(pDX, IDC_STATIC_INSTRUCTION, m_strInstruction);
}

int CCustomizeHeaderDialog::ColumnCount() {
    CHeaderCtrl* pHeader = m_list.GetHeaderCtrl();
    return pHeader ? pHeader->GetItemCount() : 0;
}

BOOL CCustomizeHeaderDialog::OnInitDialog() {
    // The template's instruction stays for modes other than the two known ones.
    if (m_strInstruction.IsEmpty())
        GetDlgItemText(IDC_STATIC_INSTRUCTION, m_strInstruction);
    CDialog::OnInitDialog();

    for (int i = 0; i < m_arrHeadings.GetSize(); ++i)
        m_list.InsertColumn(i, m_arrHeadings[i], LVCFMT_LEFT, 80);
    m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    m_list.SetFormulaEntry(FALSE);
    m_list.InsertItem(0, _T(""));

    if (m_nMode == modeHeading) {
        SetWindowText(_T("Customize Column Heading"));
        m_strInstruction = _T("Double click on the first row to modify the column heading.");
    } else if (m_nMode == modeWidth) {
        SetWindowText(_T("Customize Column Width"));
        m_strInstruction = _T("Double click on the first row to modify the column width.");
    }
    UpdateData(FALSE);
    return TRUE;
}

void CCustomizeHeaderDialog::OnOK() {
    m_arrResult.RemoveAll();
    const int nColumns = ColumnCount();
    for (int i = 0; i < nColumns; ++i)
        m_arrResult.Add(m_list.GetItemText(0, i));
    EndDialog(IDOK);
}

void CCustomizeHeaderDialog::OnLoadFromFile() {
    CFileDialog dlg(TRUE, _T("txt"), nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                    COLUMN_FILE_FILTER, this);
    if (dlg.DoModal() != IDOK)
        return;

    CString strLine;
    bool bFound = false;
    try {
        CStdioFile file(dlg.GetPathName(), CFile::modeRead | CFile::typeText);
        CString strRead;
        while (file.ReadString(strRead)) {
            strRead.Trim();
            if (!strRead.IsEmpty()) {
                strLine = strRead;
                bFound = true;
                break;
            }
        }
        file.Close();
    } catch (CFileException* e) {
        e->ReportError();
        e->Delete();
        return;
    }
    if (!bFound)
        return;

    CStringArray pieces;
    SplitList(strLine, pieces);
    const int nColumns = ColumnCount();
    for (int i = 0; i < pieces.GetSize() && i < nColumns; ++i)
        m_list.SetItemText(0, i, pieces[i]);
}

void CCustomizeHeaderDialog::OnSaveToFile() {
    CStringArray cells;
    const int nColumns = ColumnCount();
    for (int i = 0; i < nColumns; ++i)
        cells.Add(m_list.GetItemText(0, i));
    const CString strJoined = JoinList(cells);

    CFileDialog dlg(FALSE, _T("txt"), nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                    COLUMN_FILE_FILTER, this);
    if (dlg.DoModal() != IDOK)
        return;
    try {
        CStdioFile file(dlg.GetPathName(), CFile::modeCreate | CFile::modeWrite | CFile::typeText);
        file.WriteString(strJoined);
        file.Close();
    } catch (CFileException* e) {
        e->ReportError();
        e->Delete();
    }
}
