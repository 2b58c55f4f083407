// A grid of cell texts, row-major: the cell (row, column) is at column + row * columns.
#pragma once

#include <vector>

#include "platform/CString.h"

class CellGrid {
public:
    // Sets both counts and sizes the grid to rows x columns empty texts.
    void Init(int rows, int columns);
    // Stores a cell text (moved in when given a temporary); false for a cell outside the grid.
    bool SetCell(int row, int column, CString text);
    // The cell text, or empty text for a cell outside the grid. Grids of a large query hold a
    // million texts or more, so the text is lent, not copied: the reference stays valid until
    // the grid is changed or goes away.
    const CString& GetCell(int row, int column) const;

    int m_nRows = 0;
    int m_nColumns = 0;
    std::vector<CString> m_cells;
};
