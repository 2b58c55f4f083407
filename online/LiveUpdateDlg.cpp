// The update-check dialog and its exchange with the vendor's web server.
#include "online/LiveUpdateDlg.h"

#include "ArxUtils/ArxUtils.h"
#include "online/OnlineResources.h"
#include "platform/afxinet.h"
#include "resources/resource.h"

namespace {

const TCHAR* const kUpdateDocument = _T("updatelist/checkforupdate.txt");
const TCHAR* const kHostEditionTag = _T("ACAD");
// The host's LT edition; this build always reports the full edition.
[[maybe_unused]] const TCHAR* const kHostEditionTagLt = _T("ACADLT");

// atoi: leading blanks, an optional sign, the digits up to the first other character.
int PartValue(const CString& part) {
    int i = 0;
    const int n = part.GetLength();
    while (i < n && (part[i] == TCHAR(' ') || (part[i] >= TCHAR('\t') && part[i] <= TCHAR('\r'))))
        ++i;
    bool negative = false;
    if (i < n && (part[i] == TCHAR('+') || part[i] == TCHAR('-'))) {
        negative = part[i] == TCHAR('-');
        ++i;
    }
    long long value = 0;
    for (; i < n && part[i] >= TCHAR('0') && part[i] <= TCHAR('9'); ++i) {
        // Parts too long for an int count as the largest one (atoi's overflow is undefined).
        if (value < 0x7FFFFFFF)
            value = value * 10 + (part[i] - TCHAR('0'));
    }
    if (value > 0x7FFFFFFF)
        value = 0x7FFFFFFF;
    return static_cast<int>(negative ? -value : value);
}

}  // namespace

BEGIN_MESSAGE_MAP(CLiveUpdateDlg, CDialog)
ON_BN_CLICKED(IDC_CHECK_UP, OnCheckUp)
END_MESSAGE_MAP()

CLiveUpdateDlg::CLiveUpdateDlg() : CDialog(_T(IDD_LIVE_UPDATE_DIALOG), nullptr) {}

void CLiveUpdateDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_STATIC_STATUS, m_staticStatus);
    DDX_Control(pDX, IDC_STATIC_LINK, m_staticLink);
    DDX_Control(pDX, IDC_STATIC_DOWNLOAD, m_staticDownload);
}

BOOL CLiveUpdateDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    const CString download = DownloadPageAddress();
    m_hyperlink.SetColours(RGB(255, 0, 0), RGB(0, 0, 255), GetSysColor(COLOR_BTNFACE));
    m_hyperlink.SetLinkText(download);
    m_hyperlink.SetUrl(download);
    m_hyperlink.SetLinkCursor(LoadCursorA(nullptr, IDC_HAND));
    m_hyperlink.SetUnderline(true);
    m_hyperlink.CreateFromStatic(&m_staticLink, IDC_HYPERLINK);
    if (m_hyperlink.GetSafeHwnd())
        m_hyperlink.ShowWindow(SW_HIDE);
    m_staticDownload.ShowWindow(SW_HIDE);
    return TRUE;
}

void CLiveUpdateDlg::SetStatus(const CString& strText) {
    m_staticStatus.SetWindowText(strText.GetString());
    m_staticStatus.UpdateWindow();
}

void CLiveUpdateDlg::OnCheckUp() {
    CWnd* pCheck = GetDlgItem(IDC_CHECK_UP);
    CWnd* pClose = GetDlgItem(IDOK);
    if (pCheck)
        pCheck->EnableWindow(FALSE);
    if (pClose)
        pClose->EnableWindow(FALSE);
    if (m_hyperlink.GetSafeHwnd())
        m_hyperlink.ShowWindow(SW_HIDE);
    m_staticDownload.ShowWindow(SW_HIDE);

    CheckForUpdate();

    if (pCheck)
        pCheck->EnableWindow(TRUE);
    if (pClose)
        pClose->EnableWindow(TRUE);
}

CString CLiveUpdateDlg::FindPublishedVersion(const CString& strKey, CStringArray& lines) {
    CString published;
    for (int i = 0; i < lines.GetSize(); ++i) {
        CString lower = lines.GetAt(i);
        lower.MakeLower();
        if (lower.Find(strKey.GetString()) >= 0) {
            CString value = lines.GetAt(i).Mid(strKey.GetLength());
            value.Trim();
            published = value;
        }
    }
    return published;
}

bool CLiveUpdateDlg::CheckForUpdate() {
    CInternetSession session(static_cast<const TCHAR*>(nullptr), 1);
    CHttpConnection* pConnection = nullptr;
    CHttpFile* pFile = nullptr;
    SetStatus(_T("Connecting..."));
    try {
        CString server;
        WORD port = 0;
        SplitSiteAddress(GetVendorSite(), server, port);
        pConnection = session.GetHttpConnection(server.GetString(), port, nullptr, nullptr);
        if (!pConnection) {
            SetStatus(_T("Network connection failed."));
            session.Close();
            return false;
        }
        pFile = pConnection->OpenRequest(_T("GET"), kUpdateDocument, nullptr, 1, nullptr, nullptr,
                                         INTERNET_FLAG_EXISTING_CONNECT);
        pFile->SendRequest();
        DWORD dwStatus = 0;
        pFile->QueryInfoStatusCode(dwStatus);
        if (dwStatus != 200) {
            CString status;
            status.Format(_T("Network connection failed: %ld."), static_cast<long>(dwStatus));
            SetStatus(status);
            pFile->Close();
            delete pFile;
            pConnection->Close();
            delete pConnection;
            session.Close();
            return false;
        }

        CString key;
        key.Format(_T("%s*%s:"), kHostEditionTag, kProductName);
        key.MakeLower();
        CStringArray lines;
        CString line;
        while (pFile->ReadString(line))
            lines.Add(line);
        CString published = FindPublishedVersion(key, lines);

        pFile->Close();
        delete pFile;
        pFile = nullptr;
        pConnection->Close();
        delete pConnection;
        pConnection = nullptr;

        if (published.IsEmpty())
            published = kProductVersion;
        CString status;
        if (IsVersionCurrent(published)) {
            status.Format(_T("%s version is current and up-to-date."), kProductName);
            SetStatus(status);
            if (m_hyperlink.GetSafeHwnd())
                m_hyperlink.ShowWindow(SW_HIDE);
        } else {
            status.Format(
                _T("The new version %s is available.\nPlease download the new version ")
                _T("by visiting"),
                published.GetString());
            SetStatus(status);
            if (m_hyperlink.GetSafeHwnd())
                m_hyperlink.ShowWindow(SW_SHOW);
        }
        session.Close();
        return true;
    } catch (CInternetException* pException) {
        if (pFile) {
            pFile->Close();
            delete pFile;
        }
        if (pConnection) {
            pConnection->Close();
            delete pConnection;
        }
        session.Close();
        SetStatus(_T("Network connection failed."));
        pException->ReportError();
        pException->Delete();
        return false;
    }
}

bool CLiveUpdateDlg::IsVersionCurrent(const CString& strPublished) {
    CStringArray own, published;
    SplitString(kProductVersion, TCHAR('.'), own);
    SplitString(strPublished, TCHAR('.'), published);
    for (int i = 0; i < own.GetSize() && i < published.GetSize(); ++i) {
        const int mine = PartValue(own.GetAt(i));
        const int theirs = PartValue(published.GetAt(i));
        if (mine < theirs)
            return false;
        if (mine > theirs)
            return true;
    }
    return true;
}
