// The raw read that the data-access and table benchmarks measure and compare against: every
// cell of a query turned into text through the record-set wrapper.
#pragma once

#include <cstddef>

#include "data/ADORecordset.h"

// Reads every cell of the query as text. Returns the number of cells read, or -1 when the
// query does not open; length receives the total length of the texts.
inline long ReadAllCells(CADODatabase& db, LPCTSTR sql, std::size_t& length) {
    CADORecordset rs(&db);
    if (!rs.OpenQuery(sql))
        return -1;
    long cells = 0;
    length = 0;
    if (rs.CountRows() != 0) {
        rs.ToFirstRow();
        const int columns = static_cast<int>(rs.CountColumns());
        CString text;
        while (!rs.AtEndOfRows()) {
            for (int c = 0; c < columns; ++c) {
                rs.ReadCellText(c, text);
                length += static_cast<std::size_t>(text.GetLength());
                ++cells;
            }
            rs.ToNextRow();
        }
    }
    rs.CloseQuery();
    return cells;
}
