// Table styles and table entities: rows and columns with their heights and widths, cell texts
// kept row-major, merged ranges, placement in space and the hit test on the real geometry.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "host/db/hostdb.h"
#include "host/db/internal.h"
#include "platform/textconv.h"

namespace host {

const AcDbTableStyle::Data& DefaultStyleData() {
    static const AcDbTableStyle::Data defaults;
    return defaults;
}

const AcDbTableStyle::Data& StyleDataOf(AcDbObjectId styleId) {
    auto* style = AcDbTableStyle::cast(ObjectOf(styleId));
    return style ? *style->data() : DefaultStyleData();
}

void SetTableBlockId(AcDbTable* table, AcDbObjectId blockId) {
    if (table)
        table->data()->block = blockId;
}

const CellStore& CellsOf(const AcDbTable* table) {
    return table->data()->cells;
}

Acad::ErrorStatus SetCells(AcDbTable* table, CellStore cells) {
    if (const Acad::ErrorStatus es = CheckWritable(table); es != Acad::eOk)
        return es;
    AcDbTable::Data& d = *table->data();
    if (cells.size() != static_cast<std::size_t>(d.rows) * d.columns)
        return Acad::eInvalidInput;
    d.cells = std::move(cells);
    return Acad::eOk;
}

Acad::ErrorStatus SetTableNormal(AcDbTable* table, const AcGeVector3d& normal) {
    if (const Acad::ErrorStatus es = CheckWritable(table); es != Acad::eOk)
        return es;
    if (normal.isZeroLength())
        return Acad::eInvalidInput;
    AcDbTable::Data& d = *table->data();
    d.normal = normal.normal();
    // Keep the direction in the new plane; any direction there when it stood along the normal.
    AcGeVector3d dir = d.direction - d.normal * d.direction.dotProduct(d.normal);
    if (dir.isZeroLength()) {
        dir = std::fabs(d.normal.x) < 0.9 ? AcGeVector3d::kXAxis : AcGeVector3d::kYAxis;
        dir = dir - d.normal * dir.dotProduct(d.normal);
    }
    d.direction = dir.normal();
    return Acad::eOk;
}

}  // namespace host

namespace {

template <class C>
Acad::ErrorStatus CopyName(const std::string& name, C*& out) {
    const std::basic_string<C> text = qv::ConvertText<C>(std::string_view(name));
    out = new C[text.size() + 1];
    std::char_traits<C>::copy(out, text.c_str(), text.size() + 1);
    return Acad::eOk;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// AcDbTableStyle

HOST_RX_DEFINE_MEMBERS(AcDbTableStyle, AcDbObject, "TABLESTYLE")

AcDbTableStyle::AcDbTableStyle() : m_pData(new Data) {}
AcDbTableStyle::~AcDbTableStyle() {
    delete m_pData;
}

Acad::ErrorStatus AcDbTableStyle::getName(char*& name) const {
    return CopyName(m_pData->name, name);
}
Acad::ErrorStatus AcDbTableStyle::getName(char16_t*& name) const {
    return CopyName(m_pData->name, name);
}

Acad::ErrorStatus AcDbTableStyle::setName(const char* name) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    if (!name || !*name)
        return Acad::eInvalidInput;
    m_pData->name = name;
    return Acad::eOk;
}

double AcDbTableStyle::textHeight(AcDb::RowType rowType) const {
    switch (rowType) {
        case AcDb::kTitleRow:
            return m_pData->titleHeight;
        case AcDb::kHeaderRow:
            return m_pData->headerHeight;
        default:
            return m_pData->dataHeight;
    }
}

Acad::ErrorStatus AcDbTableStyle::setTextHeight(double height, int rowTypes) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    if (!(height > 0) || !std::isfinite(height))
        return Acad::eInvalidInput;
    if (rowTypes & AcDb::kDataRow)
        m_pData->dataHeight = height;
    if (rowTypes & AcDb::kTitleRow)
        m_pData->titleHeight = height;
    if (rowTypes & AcDb::kHeaderRow)
        m_pData->headerHeight = height;
    return Acad::eOk;
}

double AcDbTableStyle::horzCellMargin() const {
    return m_pData->horzMargin;
}
double AcDbTableStyle::vertCellMargin() const {
    return m_pData->vertMargin;
}

Acad::ErrorStatus AcDbTableStyle::setHorzCellMargin(double margin) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    if (!(margin >= 0) || !std::isfinite(margin))
        return Acad::eInvalidInput;
    m_pData->horzMargin = margin;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTableStyle::setVertCellMargin(double margin) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    if (!(margin >= 0) || !std::isfinite(margin))
        return Acad::eInvalidInput;
    m_pData->vertMargin = margin;
    return Acad::eOk;
}

// ---------------------------------------------------------------------------------------------
// AcDbTable

HOST_RX_DEFINE_MEMBERS(AcDbTable, AcDbEntity, "ACAD_TABLE")

namespace {

using Range = AcDbTable::Data::Range;

// Sizes a table gets before anyone sets them: a row fits one line of data text with its
// margins; a column holds about ten characters.
double DefaultRowHeight(const AcDbTable::Data& d) {
    const auto& s = host::StyleDataOf(d.style);
    return s.dataHeight + 2 * s.vertMargin;
}
double DefaultColumnWidth(const AcDbTable::Data& d) {
    const auto& s = host::StyleDataOf(d.style);
    return 10 * s.dataHeight + 2 * s.horzMargin;
}

// Whether a table of rows x columns stays within the cells a table may have.
bool FitsCells(std::int64_t rows, std::int64_t columns) {
    return rows >= 0 && columns >= 0 &&
           static_cast<std::uint64_t>(rows) * static_cast<std::uint64_t>(columns) <=
               host::kMaxTableCells;
}

bool ValidSize(double v) {
    return v > 0 && std::isfinite(v);
}

// Shifts a merged range's [lo, hi] for count rows (or columns) inserted before index.
void ShiftForInsert(int& lo, int& hi, int index, int count) {
    if (lo >= index) {
        lo += count;
        hi += count;
    } else if (hi >= index) {
        hi += count;  // inserted inside the range: it grows
    }
}

// Adjusts [lo, hi] for count rows (or columns) deleted at index; false when nothing is left.
bool ShiftForDelete(int& lo, int& hi, int index, int count) {
    const int before = std::clamp(lo - index, 0, count);
    const int upTo = std::clamp(hi - index + 1, 0, count);
    lo -= before;
    hi -= upTo;
    return lo <= hi;
}

bool IsSingleCell(const Range& r) {
    return r.minRow == r.maxRow && r.minColumn == r.maxColumn;
}

void DropDegenerate(std::vector<Range>& merged) {
    merged.erase(std::remove_if(merged.begin(), merged.end(), IsSingleCell), merged.end());
}

// The index of the band (row or column) at distance d from the start, sizes given; d is
// clamped into the table.
int BandAt(const std::vector<double>& sizes, double d) {
    double edge = 0;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        edge += sizes[i];
        if (d < edge)
            return static_cast<int>(i);
    }
    return static_cast<int>(sizes.size()) - 1;
}

}  // namespace

AcDbTable::AcDbTable() : m_pData(new Data) {}
AcDbTable::~AcDbTable() {
    delete m_pData;
}

AcDbObjectId AcDbTable::tableStyle() const {
    return m_pData->style;
}

Acad::ErrorStatus AcDbTable::setTableStyle(AcDbObjectId styleId) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    // A placeholder (a style a drawing file names before defining it) is accepted.
    AcDbObject* obj = host::ObjectOf(styleId);
    if (styleId.isNull() || (obj && !AcDbTableStyle::cast(obj)))
        return Acad::eInvalidInput;
    m_pData->style = styleId;
    return Acad::eOk;
}

std::uint32_t AcDbTable::numRows() const {
    return static_cast<std::uint32_t>(m_pData->rows);
}
std::uint32_t AcDbTable::numColumns() const {
    return static_cast<std::uint32_t>(m_pData->columns);
}

Acad::ErrorStatus AcDbTable::setNumRows(int rows) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    Data& d = *m_pData;
    if (rows < 1)
        return Acad::eInvalidInput;
    if (!FitsCells(rows, d.columns))
        return Acad::eOutOfRange;
    if (rows == d.rows)
        return Acad::eOk;
    if (rows > d.rows) {
        if (d.rows == 0) {
            d.rows = rows;
            d.rowHeights.assign(rows, DefaultRowHeight(d));
            d.cells.Assign(static_cast<std::size_t>(rows) * d.columns);
            return Acad::eOk;
        }
        return insertRows(d.rows, d.rowHeights.back(), rows - d.rows);
    }
    return deleteRows(rows, d.rows - rows);
}

Acad::ErrorStatus AcDbTable::setNumColumns(int columns) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    Data& d = *m_pData;
    if (columns < 1)
        return Acad::eInvalidInput;
    if (!FitsCells(d.rows, columns))
        return Acad::eOutOfRange;
    if (columns == d.columns)
        return Acad::eOk;
    if (columns > d.columns) {
        if (d.columns == 0) {
            d.columns = columns;
            d.columnWidths.assign(columns, DefaultColumnWidth(d));
            d.cells.Assign(static_cast<std::size_t>(d.rows) * columns);
            return Acad::eOk;
        }
        return insertColumns(d.columns, d.columnWidths.back(), columns - d.columns);
    }
    return deleteColumns(columns, d.columns - columns);
}

double AcDbTable::rowHeight(int row) const {
    return (row >= 0 && row < m_pData->rows) ? m_pData->rowHeights[row] : 0.0;
}

double AcDbTable::columnWidth(int column) const {
    return (column >= 0 && column < m_pData->columns) ? m_pData->columnWidths[column] : 0.0;
}

Acad::ErrorStatus AcDbTable::setRowHeight(int row, double height) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    if (row < 0 || row >= m_pData->rows || !ValidSize(height))
        return Acad::eInvalidInput;
    m_pData->rowHeights[row] = height;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTable::setColumnWidth(int column, double width) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    if (column < 0 || column >= m_pData->columns || !ValidSize(width))
        return Acad::eInvalidInput;
    m_pData->columnWidths[column] = width;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTable::setColumnWidth(double width) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    if (!ValidSize(width))
        return Acad::eInvalidInput;
    std::fill(m_pData->columnWidths.begin(), m_pData->columnWidths.end(), width);
    return Acad::eOk;
}

double AcDbTable::width() const {
    double w = 0;
    for (double c : m_pData->columnWidths)
        w += c;
    return w;
}

double AcDbTable::height() const {
    double h = 0;
    for (double r : m_pData->rowHeights)
        h += r;
    return h;
}

Acad::ErrorStatus AcDbTable::insertRows(int row, double height, int rows) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    Data& d = *m_pData;
    if (row < 0 || row > d.rows || rows < 1 || !ValidSize(height))
        return Acad::eInvalidInput;
    if (!FitsCells(std::int64_t(d.rows) + rows, d.columns))
        return Acad::eOutOfRange;
    const auto at = static_cast<std::size_t>(row) * d.columns;
    d.cells.Insert(at, static_cast<std::size_t>(rows) * d.columns);
    d.rowHeights.insert(d.rowHeights.begin() + row, rows, height);
    d.rows += rows;
    for (Range& r : d.merged)
        ShiftForInsert(r.minRow, r.maxRow, row, rows);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTable::deleteRows(int row, int rows) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    Data& d = *m_pData;
    // A table keeps at least one row.
    if (row < 0 || rows < 1 || row >= d.rows || rows > d.rows - row || rows == d.rows)
        return Acad::eInvalidInput;
    const auto at = static_cast<std::size_t>(row) * d.columns;
    d.cells.Erase(at, static_cast<std::size_t>(rows) * d.columns);
    d.rowHeights.erase(d.rowHeights.begin() + row, d.rowHeights.begin() + row + rows);
    d.rows -= rows;
    std::vector<Range> kept;
    for (Range r : d.merged) {
        if (ShiftForDelete(r.minRow, r.maxRow, row, rows))
            kept.push_back(r);
    }
    d.merged = std::move(kept);
    DropDegenerate(d.merged);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTable::insertColumns(int column, double width, int columns) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    Data& d = *m_pData;
    if (column < 0 || column > d.columns || columns < 1 || !ValidSize(width))
        return Acad::eInvalidInput;
    if (!FitsCells(d.rows, std::int64_t(d.columns) + columns))
        return Acad::eOutOfRange;
    const int newColumns = d.columns + columns;
    d.cells.InsertColumns(d.rows, d.columns, column, columns);
    d.columnWidths.insert(d.columnWidths.begin() + column, columns, width);
    d.columns = newColumns;
    for (Range& r : d.merged)
        ShiftForInsert(r.minColumn, r.maxColumn, column, columns);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTable::deleteColumns(int column, int columns) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    Data& d = *m_pData;
    if (column < 0 || columns < 1 || column >= d.columns || columns > d.columns - column ||
        columns == d.columns)
        return Acad::eInvalidInput;
    const int newColumns = d.columns - columns;
    d.cells.EraseColumns(d.rows, d.columns, column, columns);
    d.columnWidths.erase(d.columnWidths.begin() + column,
                         d.columnWidths.begin() + column + columns);
    d.columns = newColumns;
    std::vector<Range> kept;
    for (Range r : d.merged) {
        if (ShiftForDelete(r.minColumn, r.maxColumn, column, columns))
            kept.push_back(r);
    }
    d.merged = std::move(kept);
    DropDegenerate(d.merged);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTable::setTextString(int row, int column, const char* text) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    Data& d = *m_pData;
    if (row < 0 || row >= d.rows || column < 0 || column >= d.columns)
        return Acad::eInvalidInput;
    const std::size_t i = static_cast<std::size_t>(row) * d.columns + column;
    return d.cells.Set(i, text ? std::string_view(text) : std::string_view()) ? Acad::eOk
                                                                              : Acad::eOutOfMemory;
}

Acad::ErrorStatus AcDbTable::setTextString(int row, int column, const char16_t* text) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    Data& d = *m_pData;
    if (row < 0 || row >= d.rows || column < 0 || column >= d.columns)
        return Acad::eInvalidInput;
    const std::size_t i = static_cast<std::size_t>(row) * d.columns + column;
    return d.cells.Set(i, qv::ToUtf8(text)) ? Acad::eOk : Acad::eOutOfMemory;
}

CStringA AcDbTable::textStringA(int row, int column) const {
    const Data& d = *m_pData;
    if (row < 0 || row >= d.rows || column < 0 || column >= d.columns)
        return CStringA();
    return CStringA(d.cells.Get(static_cast<std::size_t>(row) * d.columns + column));
}

CStringW AcDbTable::textStringW(int row, int column) const {
    const Data& d = *m_pData;
    if (row < 0 || row >= d.rows || column < 0 || column >= d.columns)
        return CStringW();
    return CStringW(qv::ToUtf16(d.cells.Get(static_cast<std::size_t>(row) * d.columns + column)));
}

Acad::ErrorStatus AcDbTable::mergeCells(int minRow, int maxRow, int minColumn, int maxColumn) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    Data& d = *m_pData;
    const Range range{minRow, maxRow, minColumn, maxColumn};
    if (minRow < 0 || minColumn < 0 || minRow > maxRow || minColumn > maxColumn ||
        maxRow >= d.rows || maxColumn >= d.columns || IsSingleCell(range))
        return Acad::eInvalidInput;
    // Merged ranges never overlap.
    for (const Range& r : d.merged) {
        if (r.minRow <= maxRow && minRow <= r.maxRow && r.minColumn <= maxColumn &&
            minColumn <= r.maxColumn)
            return Acad::eInvalidInput;
    }
    d.merged.push_back(range);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTable::unmergeCells(int minRow, int maxRow, int minColumn, int maxColumn) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    Data& d = *m_pData;
    if (minRow < 0 || minColumn < 0 || minRow > maxRow || minColumn > maxColumn ||
        maxRow >= d.rows || maxColumn >= d.columns)
        return Acad::eInvalidInput;
    // Every merged range that meets the given cells is split up again.
    std::erase_if(d.merged, [&](const Range& r) {
        return r.minRow <= maxRow && minRow <= r.maxRow && r.minColumn <= maxColumn &&
               minColumn <= r.maxColumn;
    });
    return Acad::eOk;
}

std::vector<host::CellRange> host::MergedRangesOf(const AcDbTable* table) {
    std::vector<CellRange> out;
    if (!table)
        return out;
    for (const auto& r : table->data()->merged)
        out.push_back({r.minRow, r.maxRow, r.minColumn, r.maxColumn});
    return out;
}

bool AcDbTable::isMergedCell(int row, int column, int* minRow, int* maxRow, int* minColumn,
                             int* maxColumn) const {
    for (const Range& r : m_pData->merged) {
        if (r.Contains(row, column)) {
            if (minRow)
                *minRow = r.minRow;
            if (maxRow)
                *maxRow = r.maxRow;
            if (minColumn)
                *minColumn = r.minColumn;
            if (maxColumn)
                *maxColumn = r.maxColumn;
            return true;
        }
    }
    return false;
}

AcGePoint3d AcDbTable::position() const {
    return m_pData->position;
}

Acad::ErrorStatus AcDbTable::setPosition(const AcGePoint3d& position) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    if (!host::IsFinitePoint(position))
        return Acad::eInvalidInput;
    m_pData->position = position;
    return Acad::eOk;
}

AcGeVector3d AcDbTable::direction() const {
    return m_pData->direction;
}

Acad::ErrorStatus AcDbTable::setDirection(const AcGeVector3d& direction) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    // The direction lies in the table's plane.
    const AcGeVector3d n = m_pData->normal;
    const AcGeVector3d inPlane = direction - n * direction.dotProduct(n);
    if (inPlane.isZeroLength())
        return Acad::eInvalidInput;
    m_pData->direction = inPlane.normal();
    return Acad::eOk;
}

AcGeVector3d AcDbTable::normal() const {
    return m_pData->normal;
}

bool AcDbTable::hitTest(const AcGePoint3d& point, const AcGeVector3d& viewVector, double xAperture,
                        double yAperture, int& row, int& column) const {
    const Data& d = *m_pData;
    if (d.rows == 0 || d.columns == 0)
        return false;
    const AcGeVector3d n = d.normal;
    const AcGeVector3d xDir = d.direction;
    const AcGeVector3d yDir = n.crossProduct(xDir);  // rows run along -yDir
    // Project the point onto the table's plane along the view direction (straight onto the
    // plane when the view runs parallel to it).
    AcGeVector3d view = viewVector;
    if (view.isZeroLength() || std::fabs(view.normal().dotProduct(n)) < 1e-12)
        view = n;
    const double t = (d.position - point).dotProduct(n) / view.dotProduct(n);
    const AcGePoint3d onPlane = point + view * t;
    const AcGeVector3d rel = onPlane - d.position;
    const double along = rel.dotProduct(xDir);
    const double down = -rel.dotProduct(yDir);
    const double xAp = std::fabs(xAperture), yAp = std::fabs(yAperture);
    const double w = width(), h = height();
    if (!(along >= -xAp && along <= w + xAp && down >= -yAp && down <= h + yAp))
        return false;
    row = BandAt(d.rowHeights, std::clamp(down, 0.0, h));
    column = BandAt(d.columnWidths, std::clamp(along, 0.0, w));
    // A merged range answers with its top-left cell.
    int minRow = row, minColumn = column;
    if (isMergedCell(row, column, &minRow, nullptr, &minColumn, nullptr)) {
        row = minRow;
        column = minColumn;
    }
    return true;
}

Acad::ErrorStatus AcDbTable::recomputeTableBlock(bool) {
    // The graphics block is drawn by whoever writes the drawing; nothing is cached here.
    return Acad::eOk;
}

AcDbObjectId AcDbTable::tableBlockId() const {
    return m_pData->block;
}

Acad::ErrorStatus AcDbTable::transformBy(const AcGeMatrix3d& xform) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    Data& d = *m_pData;
    const AcGeVector3d yDir = d.normal.crossProduct(d.direction);
    const AcGeVector3d newX = xform.applyToVector(d.direction);
    const AcGeVector3d newY = xform.applyToVector(yDir);
    const double sx = newX.length(), sy = newY.length();
    if (sx < 1e-12 || sy < 1e-12)
        return Acad::eInvalidInput;
    if (std::fabs(sx - sy) > 1e-9 * std::max(sx, sy) ||
        std::fabs(newX.dotProduct(newY)) > 1e-9 * sx * sy)
        return Acad::eCannotScaleNonUniformly;
    // A result out of the range of numbers is refused, leaving the table as it was.
    const AcGePoint3d position = xform.apply(d.position);
    if (!host::IsFinitePoint(position) || !std::isfinite(sx) || !std::isfinite(width() * sx) ||
        !std::isfinite(height() * sx))
        return Acad::eInvalidInput;
    d.position = position;
    d.direction = newX.normal();
    // The rows keep running along the transformed -Y (a mirror turns the table over).
    d.normal = d.direction.crossProduct(newY.normal()).normal();
    if (std::fabs(sx - 1) > 1e-12) {
        for (double& h : d.rowHeights)
            h *= sx;
        for (double& w : d.columnWidths)
            w *= sx;
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTable::getGeomExtents(AcGePoint3d& minPoint, AcGePoint3d& maxPoint) const {
    const Data& d = *m_pData;
    if (d.rows == 0 || d.columns == 0)
        return Acad::eInvalidExtents;
    const AcGeVector3d across = d.direction * width();
    const AcGeVector3d down = d.normal.crossProduct(d.direction) * -height();
    const AcGePoint3d corners[4] = {d.position, d.position + across, d.position + down,
                                    d.position + across + down};
    minPoint = maxPoint = corners[0];
    for (const AcGePoint3d& p : corners) {
        minPoint = AcGePoint3d(std::min(minPoint.x, p.x), std::min(minPoint.y, p.y),
                               std::min(minPoint.z, p.z));
        maxPoint = AcGePoint3d(std::max(maxPoint.x, p.x), std::max(maxPoint.y, p.y),
                               std::max(maxPoint.z, p.z));
    }
    return Acad::eOk;
}
