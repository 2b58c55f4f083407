#include "data/ADODatabase.h"

#include "platform/afxwin.h"
#include "platform/winnls.h"

namespace {
// Text from the provider (UTF-16) in the build's width.
CString FromProvider(const _bstr_t& text) {
    return CString(static_cast<const char16_t*>(text));
}
}  // namespace

CString DescribeErrorCode(HRESULT hr) {
    const DWORD code = static_cast<DWORD>(hr);
    TCHAR buffer[512] = {};
    const DWORD length =
        FormatMessage(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, 512, nullptr);
    CString meaning;
    if (length > 0) {
        meaning = buffer;
        // The system texts end in "\r\n": drop one line feed, then one carriage return.
        if (!meaning.IsEmpty() && meaning[meaning.GetLength() - 1] == _T('\n')) {
            meaning = meaning.Left(meaning.GetLength() - 1);
            if (!meaning.IsEmpty() && meaning[meaning.GetLength() - 1] == _T('\r')) {
                meaning = meaning.Left(meaning.GetLength() - 1);
            }
        }
    } else if (code >= 0x80040201u && code <= 0x8004FFFFu) {
        meaning.Format(_T("IDispatch error #%d"), static_cast<int>(code - 0x80040200u));
    } else {
        meaning.Format(_T("Unknown error 0x%0lX"), code);
    }
    return meaning;
}

CString ReportProviderError(const _com_error& e, LPCTSTR reportFormat, const CString& contextLine,
                            CString& lastErrorText, DWORD& lastErrorCode) {
    const DWORD code = static_cast<DWORD>(e.Error());
    // A missing source or description shows as an empty field.
    const CString source = FromProvider(e.Source());
    const CString description = FromProvider(e.Description());
    CString report;
    report.Format(reportFormat, code, DescribeErrorCode(e.Error()), source, description);
    lastErrorText = contextLine + _T("\n") + report;
    lastErrorCode = code;
    AfxMessageBox(report.GetString(), MB_ICONERROR);
    return description;
}

CADODatabase::CADODatabase() : m_lastErrorCode(0), m_connectTimeout(0) {
    CoInitialize(nullptr);
    // On failure the pointer stays null and later calls fail through the error path.
    m_pConnection.CreateInstance(__uuidof(Connection), nullptr, CLSCTX_ALL);
}

CADODatabase::~CADODatabase() {
    try {
        CloseConnection();
    } catch (const _com_error&) {
        // A destructor cannot pass the provider's error on; the connection is released below.
    }
    m_pConnection = nullptr;
    m_connectText.Empty();
    m_lastErrorText.Empty();
    m_lastErrorDescription.Empty();
    m_lastErrorCode = 0;
    CoUninitialize();
}

bool CADODatabase::IsConnected() {
    if (!m_pConnection)
        return false;
    return m_pConnection->GetState() != adStateClosed;
}

void CADODatabase::CloseConnection() {
    if (IsConnected())
        m_pConnection->Close();
}

bool CADODatabase::OpenConnection(LPCTSTR connection, LPCTSTR user, LPCTSTR password) {
    if (IsConnected())
        CloseConnection();
    const CString newText(connection ? connection : _T(""));
    if (!newText.IsEmpty())
        m_connectText = newText;
    try {
        if (m_connectTimeout != 0)
            m_pConnection->PutConnectionTimeout(m_connectTimeout);
        const HRESULT hr =
            m_pConnection->Open(_bstr_t(m_connectText.GetString()), _bstr_t(user ? user : _T("")),
                                _bstr_t(password ? password : _T("")), 0);
        return hr == S_OK;
    } catch (const _com_error& e) {
        m_lastErrorDescription = ReportProviderError(e, ADO_DATABASE_ERROR_FORMAT,
                                                     _T("Connection String = ") + m_connectText,
                                                     m_lastErrorText, m_lastErrorCode);
        return false;
    }
}
