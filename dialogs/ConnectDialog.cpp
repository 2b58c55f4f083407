#include "dialogs/ConnectDialog.h"

#include "dialogs/Registry.h"
#include "link/DbRecords.h"
#include "platform/afxdlgs.h"
#include "platform/shlwapi.h"
#include "resources/resource.h"

BEGIN_MESSAGE_MAP(CConnectDialog, CDialog)
ON_BN_CLICKED(IDC_BROWSE_DATABASE, OnBrowse)
ON_BN_CLICKED(IDC_CHECK_RELATIVE_PATH, OnRelativePath)
END_MESSAGE_MAP()

void FillConnectStringList(CComboBox& combo) {
    for (const auto& entry : ConnectTemplateMap)
        combo.AddString(entry.first);
}

bool BrowseDatabaseFile(CWnd* pParent, CString& strPath) {
    CFileDialog dlg(TRUE, _T("mdb"), nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                    DATABASE_FILE_FILTER, pParent);
    if (dlg.DoModal() != IDOK)
        return false;
    strPath = dlg.GetPathName();
    return true;
}

CConnectDialog::CConnectDialog(CWnd* pParent)
    : CDialog(_T(IDD_CONNECT_DIALOG), pParent), m_nRelative(0) {}

void CConnectDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_COMBO_CONNECT_STRING, m_comboConnect);
    DDX_Text(pDX, IDC_EDIT_DATABASE, m_strDatabase);
    DDX_Text(pDX, IDC_EDIT_USER, m_strUser);
    DDX_Text(pDX, IDC_EDIT_PASSWORD, m_strPassword);
    DDX_Check(pDX, IDC_CHECK_RELATIVE_PATH, m_nRelative);
}

BOOL CConnectDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    FillConnectStringList(m_comboConnect);
    // Without a stored choice the Access entry is selected: installed ODBC drivers may sort
    // before it.
    const DWORD kNoChoice = 0xFFFFFFFEu;
    const DWORD nStored =
        CRegistry::GetInt(QUARVEL_SETTINGS_SECTION, _T("Connect String Index"), kNoChoice);
    if (nStored == kNoChoice) {
        const int nAccess =
            m_comboConnect.FindStringExact(-1, _T("Microsoft Access Driver (*.mdb)"));
        m_comboConnect.SetCurSel(nAccess == CB_ERR ? 0 : nAccess);
    } else {
        m_comboConnect.SetCurSel(static_cast<int>(nStored));
    }
    m_nRelative = static_cast<int>(CRegistry::GetInt(QUARVEL_SETTINGS_SECTION, _T("Relative Path"),
                                                     static_cast<DWORD>(m_nRelative)));
    // A drawing never saved has no folder to be relative to.
    if (CurrentDrawingPath().IsEmpty())
        m_nRelative = 0;
    UpdateData(FALSE);
    return TRUE;
}

void CConnectDialog::MakeRelativeDatabasePath() {
    TCHAR szRelative[MAX_PATH] = {0};
    const CString strDrawing = CurrentDrawingPath();
    if (PathRelativePathTo(szRelative, strDrawing.GetString(), FILE_ATTRIBUTE_NORMAL,
                           m_strDatabase.GetString(), FILE_ATTRIBUTE_NORMAL))
        m_strDatabase = szRelative;
}

void CConnectDialog::OnBrowse() {
    UpdateData(TRUE);
    if (!BrowseDatabaseFile(this, m_strDatabase))
        return;
    if (m_nRelative)
        MakeRelativeDatabasePath();
    UpdateData(FALSE);
}

void CConnectDialog::OnRelativePath() {
    const CString strDrawing = CurrentDrawingPath();
    if (strDrawing.IsEmpty()) {
        AfxMessageBox(
            _T("Current drawing must be saved before importing a database with a relative path."));
        CheckDlgButton(IDC_CHECK_RELATIVE_PATH, BST_UNCHECKED);
        return;
    }
    UpdateData(TRUE);
    // A server address or a data source name is no path: it stays as typed.
    CString strKey;
    if (m_comboConnect.GetCurSel() != CB_ERR)
        m_comboConnect.GetLBText(m_comboConnect.GetCurSel(), strKey);
    if (ConnectKindOf(strKey) != ConnectKind::kFile)
        return;
    if (m_nRelative)
        MakeRelativeDatabasePath();
    else
        m_strDatabase = ResolveDatabasePath(strDrawing, m_strDatabase);
    UpdateData(FALSE);
}

void CConnectDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;
    const int nIndex = m_comboConnect.GetCurSel();
    CString strKey;
    if (nIndex != CB_ERR)
        m_comboConnect.GetLBText(nIndex, strKey);
    const ConnectKind kind = ConnectKindOf(strKey);
    CString strHost, strPort, strName;
    if (kind == ConnectKind::kServer &&
        !SplitServerAddress(m_strDatabase, strHost, strPort, strName)) {
        // A server is named, not a file: "host[:port]/database".
        CString strMessage;
        strMessage.Format(_T("%s does not name a server: write host[:port]/database."),
                          m_strDatabase);
        AfxMessageBox(strMessage);
        return;
    }
    if (kind == ConnectKind::kDataSource && m_strDatabase.Trim().IsEmpty()) {
        AfxMessageBox(_T("Write the name of the ODBC data source as the database."));
        return;
    }
    const CString strResolved = ResolveDatabasePath(CurrentDrawingPath(), m_strDatabase);
    if (kind == ConnectKind::kFile && !PathFileExists(strResolved.GetString())) {
        CString strMessage;
        strMessage.Format(_T("Failed to find %s"), m_strDatabase);
        AfxMessageBox(strMessage);
        return;
    }
    m_strConnectString = strKey;
    CRegistry::SetInt(QUARVEL_SETTINGS_SECTION, _T("Connect String Index"),
                      static_cast<DWORD>(nIndex));
    CRegistry::SetInt(QUARVEL_SETTINGS_SECTION, _T("Relative Path"),
                      static_cast<DWORD>(m_nRelative));
    EndDialog(IDOK);
}
