// Table entities (ACAD_TABLE): everything the DXF engine knows about them in one place.
//
// A table entity is parsed into TableData instead of being kept as tags, since it can hold
// millions of cells. It is written back in the cell layout of AC1021 and later; files of
// R2004 and before (the cell text in group 1 right after the cell's flags) are read too.
// The table's anonymous block ("*T1" ...) shows its grid lines and cell texts; that block is
// generated from the table on writing, never kept. In the drawing database a table is an
// AcDbTable, made from TableData on loading and turned into TableData on saving.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/db/cell_store.h"
#include "host/dxf/document.h"
#include "host/dxf/repair.h"
#include "host/dxf/tags.h"

class AcDbDatabase;
class AcDbTable;

namespace host::dxf {

// The cells and geometry of a table entity.
struct TableData {
    std::uint64_t styleHandle = 0;        // 342, the TABLESTYLE
    std::uint64_t blockRecordHandle = 0;  // 343, the anonymous block's BLOCK_RECORD
    std::string blockName;                // 2 in AcDbBlockReference ("*T1")
    double position[3] = {0, 0, 0};       // insertion point: the top-left corner
    double direction[3] = {1, 0, 0};      // 11/21/31
    double normal[3] = {0, 0, 1};         // 210/220/230
    std::uint32_t rows = 0;
    std::uint32_t columns = 0;
    std::vector<double> rowHeights;
    std::vector<double> columnWidths;
    host::CellStore cells;  // row-major texts, "\n" for line breaks
    // Merged ranges: for the top-left cell of a range, its size in cells (1 x 1 otherwise).
    struct Merge {
        std::uint32_t row, column, rows, columns;
    };
    std::vector<Merge> merges;
    // Text height and cell margins used to place the cell texts of the anonymous block.
    double textHeight = 2.5;
    double horzMargin = 0.6;
    double vertMargin = 0.6;
    std::string_view cell(std::uint32_t r, std::uint32_t c) const {
        return cells.Get(static_cast<std::size_t>(r) * columns + c);
    }
};

// Reads the groups of one table entity, one at a time, after its (0, ACAD_TABLE) tag: the
// common groups stay in the record's tags, the table's own groups go into TableData and the
// extended data into the record's xdata.
class TableEntityReader {
public:
    explicit TableEntityReader(Record& record);
    // One group. Throws DxfError for impossible sizes and for more cells, row heights or
    // column widths than the table declares.
    void Take(const TagView& tag);
    // After the last group: checks that the cells and sizes match the table's rows and
    // columns (missing row heights and column widths are a repair) and hands the table to
    // the record. line: the entity's line in the file.
    void Finish(std::size_t line, RepairLog& log);

private:
    enum class Phase { kCommon, kBlockReference, kTable, kCells, kAfterCells, kXData };
    void TakeCommon(const TagView& t);
    void TakeBlockReference(const TagView& t);
    void TakeTable(const TagView& t);
    void TakeCell(const TagView& t);
    void TakeCellValue(const TagView& t);
    void StartCell(std::size_t line);
    void FinishCell();
    void SetText(std::string_view pieces, std::string_view last);
    bool AllCellsRead() const;

    Record& m_record;
    std::shared_ptr<TableData> m_table;
    Phase m_phase = Phase::kCommon;
    bool m_haveRows = false, m_haveColumns = false;
    // The cell being read: its text pieces (2, then 1) and its merged size (175, 176).
    std::string m_chunks;
    std::string m_joined, m_text;  // room for a text made of pieces or with line breaks
    bool m_hasText = false;        // the cell has its text (later ones are not its own)
    bool m_mergeSeen = false;
    std::int64_t m_mergeWidth = 1, m_mergeHeight = 1;
    // Inside a cell's value (301 to 304): its text and formatted text, each in pieces.
    bool m_inValue = false;
    // (The last pieces are views into the text being read, which outlives the reader.)
    std::string_view m_valueText, m_formatted;
    std::string m_valueChunks, m_formattedChunks;
    std::int64_t m_int = 0;
    double m_double = 0;
};

// Writes the tags of a table entity (after its common groups) in the cell layout of a version
// that has table entities: R2004 keeps the cell text in the cell (2 ... 1), R2007 and later
// in a cell value (301 ... 304).
void WriteTableEntity(const Record& record, TagWriter& out,
                      DxfVersion version = kDefaultDxfVersion);
// Writes the grid lines and cell texts of a table's anonymous block, one handle from handles
// per entity, in order. The texts are MTEXT where the version has table entities, else one
// TEXT per line of a cell (some readers of such files know no MTEXT); R12 entities have no
// owners or subclass markers.
void WriteTableBlockEntities(const TableData& table, std::uint64_t blockRecordHandle,
                             const std::string& layer, const std::vector<std::uint64_t>& handles,
                             TagWriter& out, DxfVersion version = kDefaultDxfVersion);
// How many entities WriteTableBlockEntities writes for a table in a version.
std::size_t CountTableBlockEntities(const TableData& table,
                                    DxfVersion version = kDefaultDxfVersion);

// A new table entity (not in a database) with the table's geometry and the given cells (the
// table's own, copied or moved out of it); its style and block are set once the drawing's
// objects exist.
AcDbTable* NewTable(const TableData& table, host::CellStore cells);
// The table data that saving a table writes: its cells and geometry, the style it uses (a
// usable one of db when its own is not) with that style's text height and margins, and its
// anonymous block.
std::shared_ptr<TableData> TableDataOf(AcDbDatabase* db, const AcDbTable* table);

}  // namespace host::dxf
