#include "tables/CellGrid.h"

#include <utility>

void CellGrid::Init(int rows, int columns) {
    m_nRows = rows > 0 ? rows : 0;
    m_nColumns = columns > 0 ? columns : 0;
    m_cells.assign(static_cast<std::size_t>(m_nRows) * m_nColumns, CString());
}

bool CellGrid::SetCell(int row, int column, CString text) {
    if (row < 0 || column < 0 || row >= m_nRows || column >= m_nColumns)
        return false;
    m_cells[static_cast<std::size_t>(row) * m_nColumns + column] = std::move(text);
    return true;
}

const CString& CellGrid::GetCell(int row, int column) const {
    static const CString empty;
    if (row < 0 || column < 0 || row >= m_nRows || column >= m_nColumns)
        return empty;
    return m_cells[static_cast<std::size_t>(row) * m_nColumns + column];
}
