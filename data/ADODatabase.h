// CADODatabase: one data-provider connection with its connection string, and the error report
// shared by the connection and record-set wrappers.
#pragma once

#include "platform/CString.h"
#include "platform/ado.h"

// Report headings of the two wrappers.
#define ADO_DATABASE_ERROR_FORMAT                                                                  \
    _T("CADODataBase Error\n\tCode = %08lx\n\tCode meaning = %s\n\tSource = %s\n\tDescription = ") \
    _T("%s\n")
#define ADO_RECORDSET_ERROR_FORMAT                                                                \
    _T("CADORecordset Error\n\tCode = %08lx\n\tCode meaning = %s\n\tSource = %s\n\tDescription ") \
    _T("= %s\n")

// The system's text for an HRESULT, without its line end; "IDispatch error #n" or
// "Unknown error 0x..." when the system has none.
CString DescribeErrorCode(HRESULT hr);

// Builds the report of a provider error from the heading format, stores it with its context
// line into lastErrorText and the code into lastErrorCode, and shows the report in an error
// message box. Returns the provider's description text.
CString ReportProviderError(const _com_error& e, LPCTSTR reportFormat, const CString& contextLine,
                            CString& lastErrorText, DWORD& lastErrorCode);

class CADODatabase {
public:
    CADODatabase();
    virtual ~CADODatabase();

    CADODatabase(const CADODatabase&) = delete;
    CADODatabase& operator=(const CADODatabase&) = delete;

    // Opens the connection. A non-empty connection text replaces m_connectText; empty texts
    // open the stored string. Reports provider errors and returns false.
    bool OpenConnection(LPCTSTR connection = _T(""), LPCTSTR user = _T(""),
                        LPCTSTR password = _T(""));
    void CloseConnection();
    bool IsConnected();

    _ConnectionPtr GetConnection() const { return m_pConnection; }
    const CString& GetConnectText() const { return m_connectText; }
    const CString& GetLastErrorText() const { return m_lastErrorText; }
    const CString& GetLastErrorDescription() const { return m_lastErrorDescription; }
    DWORD GetLastErrorCode() const { return m_lastErrorCode; }

    _ConnectionPtr m_pConnection;    // null when the provider could not create it
    CString m_connectText;           // set by the caller before OpenConnection
    CString m_lastErrorText;         // context line + "\n" + report
    CString m_lastErrorDescription;  // the provider's description of the last error
    DWORD m_lastErrorCode;           // HRESULT of the last error
    int m_connectTimeout;            // seconds; 0 leaves the provider's default
};
