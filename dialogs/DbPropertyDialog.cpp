#include "dialogs/DbPropertyDialog.h"

#include "dialogs/ConnectDialog.h"
#include "link/DbRecords.h"
#include "platform/shlwapi.h"
#include "resources/resource.h"

BEGIN_MESSAGE_MAP(CDbPropertyDialog, CDialog)
ON_BN_CLICKED(IDC_BROWSE_DATABASE, OnBrowse)
END_MESSAGE_MAP()

CDbPropertyDialog::CDbPropertyDialog(const CString& strConnectString, const CString& strDatabase,
                                     const CString& strTable, const CString& strSQL,
                                     const CString& strUser, const CString& strPassword,
                                     CWnd* pParent)
    : CDialog(_T(IDD_PROPERTY_DIALOG), pParent),
      m_strDatabase(strDatabase),
      m_strUser(strUser),
      m_strPassword(strPassword),
      m_strSQL(strSQL),
      m_strTable(strTable),
      m_strConnectString(strConnectString),
      m_nUpdateTable(0) {}

void CDbPropertyDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_COMBO_CONNECT_STRING, m_comboConnect);
    DDX_Text(pDX, IDC_EDIT_DATABASE, m_strDatabase);
    DDX_Text(pDX, IDC_EDIT_USER, m_strUser);
    DDX_Text(pDX, IDC_EDIT_PASSWORD, m_strPassword);
    DDX_Control(pDX, IDC_COMBO_TABLE, m_comboTable);
    DDX_Text(pDX, IDC_EDIT_SQL, m_strSQL);
    DDX_Check(pDX, IDC_CHECK_UPDATE_TABLE, m_nUpdateTable);
}

BOOL CDbPropertyDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    FillConnectStringList(m_comboConnect);
    m_comboConnect.SetCurSel(0);
    m_comboConnect.SelectString(-1, m_strConnectString.GetString());
    m_nShownConnect = m_comboConnect.GetCurSel();

    // The tables and views of the link's database, when it is open in the module already.
    if (CMyDatabase* pDb = g_dbList.FindDatabase(m_strDatabase, m_strConnectString)) {
        CStringArray names;
        pDb->ListTableNames(names);
        for (int i = 0; i < names.GetSize(); ++i)
            m_comboTable.AddString(names[i].GetString());
    }
    m_comboTable.SetWindowText(m_strTable.GetString());

    UpdateData(FALSE);
    return TRUE;
}

void CDbPropertyDialog::OnBrowse() {
    UpdateData(TRUE);
    if (BrowseDatabaseFile(this, m_strDatabase))
        UpdateData(FALSE);
}

void CDbPropertyDialog::Refuse(const TCHAR* message, int nIDControl) {
    MessageBox(m_hWnd, message, _T("Quarvel"), MB_ICONINFORMATION);
    if (CWnd* pControl = GetDlgItem(nIDControl))
        GotoDlgCtrl(pControl);
}

void CDbPropertyDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;
    m_comboTable.GetWindowText(m_strTable);

    const CString strDrawing = CurrentDrawingPath();
    if (m_strDatabase.IsEmpty()) {
        Refuse(_T("You must specify a database."), IDC_EDIT_DATABASE);
        return;
    }
    const bool bRelative = PathIsRelative(m_strDatabase.GetString()) != FALSE;
    if (bRelative && strDrawing.IsEmpty()) {
        Refuse(
            _T("Current drawing must be saved before importing a database with a relative ")
            _T("path."),
            IDC_EDIT_DATABASE);
        return;
    }
    const CString strFile =
        bRelative ? ResolveDatabasePath(strDrawing, m_strDatabase) : m_strDatabase;
    if (!PathFileExists(strFile.GetString())) {
        Refuse(_T("Cannot find the specified database. Please verify that the database exists."),
               IDC_EDIT_DATABASE);
        return;
    }
    if (m_strTable.IsEmpty() && m_strSQL.IsEmpty()) {
        Refuse(_T("You must specify a table or enter a SQL statement."), IDC_COMBO_TABLE);
        return;
    }

    // The link keeps its own connect string unless the user chose another entry: a name the
    // list only starts with, or one it does not hold, is not replaced behind the user's back.
    const int nConnect = m_comboConnect.GetCurSel();
    if (nConnect != CB_ERR && nConnect != m_nShownConnect)
        m_comboConnect.GetLBText(nConnect, m_strConnectString);
    EndDialog(IDOK);
}
