// Helpers shared by the data-access tests: a recording message-box sink and connection strings.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "data/ADORecordset.h"
#include "host/ui/ui_sink.h"
#include "platform/afxwin.h"

// Records message boxes for the lifetime of a test.
class RecordedBoxes {
public:
    RecordedBoxes() : m_previous(host::SetUiSink(&m_sink)) {}
    ~RecordedBoxes() { host::SetUiSink(m_previous); }
    const std::vector<host::MessageBoxRequest>& Shown() const { return m_sink.shown; }

private:
    host::RecordingUiSink m_sink;
    host::UiSink* m_previous;
};

inline std::string Utf8(const CString& s) {
    return qv::ToUtf8(s.GetString());
}

inline CString SampleConnectText() {
    CString text;
    text.Format(_T("Driver={SQLite3 ODBC Driver};Database=%s;"), QUARVEL_SAMPLE_DB);
    return text;
}

inline CString AccessConnectText(const std::string& path) {
    CString text;
    text.Format(_T("Driver={Microsoft Access Driver (*.mdb)};Dbq=%s;Uid=%s;Pwd=%s;"), path.c_str(),
                "", "");
    return text;
}

inline std::string NwindPath() {
    return std::string(QUARVEL_TESTDATA_DIR) + "/nwind.mdb";
}

// Every cell of a query as text, rows separated by '\n' and cells by '|'; "?" marks a cell
// without a text form.
inline std::string QueryTexts(CADODatabase& db, const CString& sql) {
    CADORecordset rs(&db);
    EXPECT_TRUE(rs.OpenQuery(sql.GetString())) << Utf8(rs.GetLastErrorText());
    std::string out;
    if (rs.CountRows() != 0) {
        rs.ToFirstRow();
        const long columns = rs.CountColumns();
        while (!rs.AtEndOfRows()) {
            for (long c = 0; c < columns; ++c) {
                CString text = _T("?");
                rs.ReadCellText(static_cast<int>(c), text);
                out += (c ? "|" : "") + Utf8(text);
            }
            out += "\n";
            rs.ToNextRow();
        }
    }
    rs.CloseQuery();
    return out;
}
