// Table entities (ACAD_TABLE) and table styles (TABLESTYLE).
//
// A table has rows and columns counted from 0, a row height per row and a column width per
// column, one text per cell, a position (its top-left corner) and a direction (along its
// rows). Rows run from the position toward negative Y in the table's own frame.
#pragma once

#include "platform/dbmain.h"

class AcDbTableStyle : public AcDbObject {
public:
    ACRX_DECLARE_MEMBERS(AcDbTableStyle)
    AcDbTableStyle();
    ~AcDbTableStyle() override;
    // The style's name (its entry name in the table-style dictionary); the caller releases
    // the copy with delete[].
    Acad::ErrorStatus getName(char*& name) const;
    Acad::ErrorStatus getName(char16_t*& name) const;
    Acad::ErrorStatus setName(const char* name);
    double textHeight(AcDb::RowType rowType = AcDb::kDataRow) const;
    Acad::ErrorStatus setTextHeight(double height, int rowTypes = AcDb::kDataRow);
    double horzCellMargin() const;
    Acad::ErrorStatus setHorzCellMargin(double margin);
    double vertCellMargin() const;
    Acad::ErrorStatus setVertCellMargin(double margin);
};

class AcDbTable : public AcDbEntity {
public:
    ACRX_DECLARE_MEMBERS(AcDbTable)
    AcDbTable();
    ~AcDbTable() override;

    AcDbObjectId tableStyle() const;
    Acad::ErrorStatus setTableStyle(AcDbObjectId styleId);

    // Size. New rows take the height of the last row (or the style's default), new columns
    // the width of the last column.
    std::uint32_t numRows() const;
    std::uint32_t numColumns() const;
    Acad::ErrorStatus setNumRows(int rows);
    Acad::ErrorStatus setNumColumns(int columns);
    double rowHeight(int row) const;
    double columnWidth(int column) const;
    Acad::ErrorStatus setRowHeight(int row, double height);
    Acad::ErrorStatus setColumnWidth(int column, double width);
    Acad::ErrorStatus setColumnWidth(double width);  // every column
    double width() const;   // sum of the column widths
    double height() const;  // sum of the row heights

    // Inserting and deleting: eInvalidInput for an index out of range or a count below 1.
    Acad::ErrorStatus insertRows(int row, double height, int rows = 1);
    Acad::ErrorStatus deleteRows(int row, int rows = 1);
    Acad::ErrorStatus insertColumns(int column, double width, int columns = 1);
    Acad::ErrorStatus deleteColumns(int column, int columns = 1);

    // Cell texts (UTF-8 inside the drawing).
    Acad::ErrorStatus setTextString(int row, int column, const char* text);
    Acad::ErrorStatus setTextString(int row, int column, const char16_t* text);
    CStringA textStringA(int row, int column) const;
    CStringW textStringW(int row, int column) const;
#if defined(QUARVEL_MODULE)
#if defined(_UNICODE)
    CString textString(int row, int column) const { return textStringW(row, column); }
#else
    CString textString(int row, int column) const { return textStringA(row, column); }
#endif
#endif

    // Merged cells: a range of cells shown as one.
    Acad::ErrorStatus mergeCells(int minRow, int maxRow, int minColumn, int maxColumn);
    Acad::ErrorStatus unmergeCells(int minRow, int maxRow, int minColumn, int maxColumn);
    bool isMergedCell(int row, int column, int* minRow = nullptr, int* maxRow = nullptr,
                      int* minColumn = nullptr, int* maxColumn = nullptr) const;

    // Placement.
    AcGePoint3d position() const;
    Acad::ErrorStatus setPosition(const AcGePoint3d& position);
    AcGeVector3d direction() const;
    Acad::ErrorStatus setDirection(const AcGeVector3d& direction);
    AcGeVector3d normal() const;

    // Finds the cell under a point seen along a view direction, within the given apertures;
    // true with the cell's row and column when the point lies on the table.
    bool hitTest(const AcGePoint3d& point, const AcGeVector3d& viewVector, double xAperture,
                 double yAperture, int& row, int& column) const;

    // Rebuilds the table's graphics (its anonymous block) from its current state.
    Acad::ErrorStatus recomputeTableBlock(bool forceUpdate = true);
    AcDbObjectId tableBlockId() const;

    Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform) override;
    Acad::ErrorStatus getGeomExtents(AcGePoint3d& minPoint, AcGePoint3d& maxPoint) const override;

    // The host's table state, for the host's use.
    class Data;
    Data* data() const { return m_pData; }

private:
    Data* m_pData;
};
