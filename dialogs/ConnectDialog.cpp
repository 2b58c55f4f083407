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
    m_comboConnect.SetCurSel(static_cast<int>(
        CRegistry::GetInt(QUARVEL_SETTINGS_SECTION, _T("Connect String Index"), 0)));
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
    if (m_nRelative)
        MakeRelativeDatabasePath();
    else
        m_strDatabase = ResolveDatabasePath(strDrawing, m_strDatabase);
    UpdateData(FALSE);
}

void CConnectDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;
    const CString strResolved = ResolveDatabasePath(CurrentDrawingPath(), m_strDatabase);
    if (!PathFileExists(strResolved.GetString())) {
        CString strMessage;
        strMessage.Format(_T("Failed to find %s"), m_strDatabase);
        AfxMessageBox(strMessage);
        return;
    }
    const int nIndex = m_comboConnect.GetCurSel();
    m_strConnectString.Empty();
    if (nIndex != CB_ERR)
        m_comboConnect.GetLBText(nIndex, m_strConnectString);
    CRegistry::SetInt(QUARVEL_SETTINGS_SECTION, _T("Connect String Index"),
                      static_cast<DWORD>(nIndex));
    CRegistry::SetInt(QUARVEL_SETTINGS_SECTION, _T("Relative Path"),
                      static_cast<DWORD>(m_nRelative));
    EndDialog(IDOK);
}
