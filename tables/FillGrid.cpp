// Running a link's query into a cell grid: the rows of the database side of a linked table.
#include <utility>

#include "data/ADORecordset.h"
#include "link/DbRecords.h"
#include "link/TableLink.h"
#include "tables/CellGrid.h"

bool CMyDatabase::FillGrid(TableLink& link, CellGrid& grid) {
    if (!m_db.IsConnected() && !m_db.OpenConnection(_T(""), _T(""), _T("")))
        return false;

    if (!link.m_strTable.IsEmpty()) {
        // A table built from a saved query names the query, which is no table of the
        // database; its SQL text is what to run then.
        bool isTableOrView = link.m_strSQL.IsEmpty() || m_tables.empty();
        for (const CMyDbTable* pTable : m_tables) {
            if (pTable->m_nType != CMyDbTable::typeQuery &&
                pTable->m_strName.CompareNoCase(link.m_strTable) == 0) {
                isTableOrView = true;
                break;
            }
        }
        if (isTableOrView)
            link.m_strSQL = SelectAllFrom(link.m_strTable);
    }

    CADORecordset rs(&m_db);
    if (!rs.OpenQuery(link.m_strSQL, CADORecordset::openUnknown))
        return false;
    const long count = rs.CountRows();
    if (count == 0) {
        rs.CloseQuery();
        return false;
    }
    const bool header = link.m_nHeader != 0;
    const int columns = static_cast<int>(rs.CountColumns());
    grid.Init(static_cast<int>(count) + (header ? 1 : 0), columns);

    if (header) {
        for (int i = 0; i < columns; ++i) {
            CString heading;
            if (i < link.m_headings.GetSize()) {
                heading = link.m_headings[i];
            } else {
                ColumnFacts facts;
                if (rs.ReadColumnFacts(i, facts))
                    heading = facts.szName;
            }
            grid.SetCell(0, i, std::move(heading));
        }
    }
    rs.ToFirstRow();
    for (int row = header ? 1 : 0; !rs.AtEndOfRows(); ++row) {
        for (int i = 0; i < columns; ++i) {
            CString text;
            if (!rs.ReadCellText(i, text))
                text.Empty();
            grid.SetCell(row, i, std::move(text));
        }
        rs.ToNextRow();
    }
    rs.CloseQuery();
    link.m_nRowCount = grid.m_nRows;
    link.m_nColCount = grid.m_nColumns;
    return true;
}
