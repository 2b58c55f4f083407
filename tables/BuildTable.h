// Building host tables from cell grids: a new table sized from its table style and dragged
// into place, or an existing table filled from a start cell.
#pragma once

#include "link/TableLink.h"
#include "platform/dbtable.h"
#include "tables/CellGrid.h"

// With no existing table: builds a new table in the current space from the grid, stores the
// link on it and lets the user place it (a cancelled placement erases it). Returns 0 when the
// table style cannot be found, 1 otherwise.
// With an existing table (open for write, left open): writes the grid from the link's start
// cell, the table gaining or losing rows so that it ends with the block and gaining columns
// when the block is wider. Returns 1.
int BuildTable(const CellGrid& grid, TableLink& link, AcDbTable* pExisting = nullptr);

// Asks for a point and finds the table of the current space under it, with the hit cell.
// Returns 0 when the user gave no point or the drawing holds no entity; 1 otherwise, with a
// null table id when no table was hit.
int PickStartCell(AcDbObjectId& tableId, int& row, int& column);
