// CADORecordset: one record set on the connection of a CADODatabase — runs a query or the
// table listing, walks the rows, describes the columns and turns cell values into text.
#pragma once

#include <vector>

#include "data/ADODatabase.h"

// Facts about one column, filled by CADORecordset::ReadColumnFacts.
struct ColumnFacts {
    TCHAR szName[64];   // column name, terminated (longer names are cut at a character boundary)
    SHORT nType;        // ADO data type number
    LONG lActualSize;   // ActualSize of the current row; 0 past the last row
    LONG lDefinedSize;  // DefinedSize
    LONG lAttributes;   // Attributes
};

class CADORecordset {
public:
    // Open modes of OpenQuery.
    enum OpenMode { openUnknown = 0, openQuery = 1, openTable = 2, openStoredProc = 3 };

    explicit CADORecordset(CADODatabase* pDatabase);
    virtual ~CADORecordset();

    CADORecordset(const CADORecordset&) = delete;
    CADORecordset& operator=(const CADORecordset&) = delete;

    bool OpenQuery(LPCTSTR text, int mode = openUnknown);
    bool OpenQuery(_ConnectionPtr connection, LPCTSTR text, int mode = openUnknown);
    bool OpenSchemaRows(int schema, LPCTSTR schemaId = _T(""));
    bool IsQueryOpen();
    void CloseQuery();

    long CountRows();
    long CountColumns();
    bool AtEndOfRows();
    void ToFirstRow();
    void ToNextRow();
    bool ReadColumnFacts(int position, ColumnFacts& facts);

    // The cell of the current row as text; false (text unchanged) for values without a text
    // form and for reported provider errors.
    bool ReadCellText(LPCTSTR column, CString& text, LPCTSTR dateFormat = _T(""));
    bool ReadCellText(int position, CString& text, LPCTSTR dateFormat = _T(""));

    const CString& GetQueryText() const { return m_queryText; }
    const CString& GetLastErrorText() const { return m_lastErrorText; }
    DWORD GetLastErrorCode() const { return m_lastErrorCode; }

    _RecordsetPtr m_pRecordset;
    _CommandPtr m_pCommand;
    _ConnectionPtr m_pConnection;
    CString m_queryText;
    CString m_lastErrorText;
    DWORD m_lastErrorCode;

private:
    bool ReadCellValue(const _variant_t& index, CString& text, LPCTSTR dateFormat);
    // The field at a position of the open record set, kept for the next rows; null when the
    // position is not one of its columns.
    Field* FieldAt(int position);
    void ForgetFields();
    void Report(const _com_error& e);

    // The fields of m_pRecordset by position, fetched once per opening (reading a cell by
    // position then costs no collection lookup); m_fieldsOf is the record set they belong to.
    _Recordset* m_fieldsOf = nullptr;
    std::vector<FieldPtr> m_fields;
};

// The cell text of a value: the conversion rules of the record set, usable on their own.
bool ValueToCellText(const VARIANT& value, CString& text, LPCTSTR dateFormat = _T(""));
