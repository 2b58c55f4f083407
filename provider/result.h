// Rows fetched by a backend: column descriptions and row-major cells, ready for a client-side
// cursor.
#pragma once

#include <cstdint>
#include <limits>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado.h"

namespace provider {

using Blob = std::vector<std::uint8_t>;

// One value, 16 bytes. The backend stores it in the domain of its column: integers for
// VT_I1..VT_I8 and VT_BOOL, ten-thousandths for VT_CY, OLE dates for VT_DATE, text for VT_BSTR.
// A value that does not fit its column's type is kept as it came (text stays text): nothing is
// lost. Numbers are held in the cell; texts, byte strings and decimals are kept by the result
// set, and the cell says where.
struct Cell {
    enum class Kind : std::uint8_t { Null, Integer, Real, Text, Blob, Decimal };
    union {
        std::int64_t integer = 0;
        double real;
        std::uint64_t at;  // Text: its first unit in the text block; Blob, Decimal: an index
    };
    std::uint32_t length = 0;  // Text: its length in UTF-16 units
    Kind kind = Kind::Null;
};

struct Column {
    std::u16string name;
    VARTYPE vt = VT_BSTR;            // tag of the values handed out
    DataTypeEnum type = adVarWChar;  // the field's ADO type
    long definedSize = 0;
    long attributes = adFldMayBeNull | adFldIsNullable | adFldUnknownUpdatable;
    unsigned char precision = 255;
    unsigned char scale = 255;
};

// The columns and the cells of a result, row-major, columns.size() per row. The texts of all
// cells lie one after another in a single block, so a query costs a few allocations however
// many texts it fetches.
class ResultSet {
public:
    std::vector<Column> columns;

    ResultSet() = default;
    ResultSet(ResultSet&&) = default;
    ResultSet& operator=(ResultSet&&) = default;
    // Hands its storage to the next large query of this thread (see ReuseStorage).
    ~ResultSet();

    // Takes the storage of the last result set that went on this thread, if any: a query of
    // many rows then fills memory the process already has rather than fresh pages, which the
    // system must map and clear one by one. Called before the first cell is added.
    void ReuseStorage();

    std::size_t RowCount() const { return columns.empty() ? 0 : m_cells.size() / columns.size(); }
    std::size_t CellCount() const { return m_cells.size(); }
    const Cell& operator[](std::size_t i) const { return m_cells[i]; }

    // Cells are added in row-major order.
    void AddNull() { m_cells.emplace_back(); }
    void AddInteger(std::int64_t value) { m_cells.push_back(IntegerCell(value)); }
    void AddReal(double value) { m_cells.push_back(RealCell(value)); }
    void AddText(std::u16string_view text) { m_cells.push_back(StoreText(text)); }
    void AddBlob(Blob bytes) { m_cells.push_back(StoreBlob(std::move(bytes))); }
    void AddDecimal(const DECIMAL& value) { m_cells.push_back(StoreDecimal(value)); }

    // Replace the value of cell i. A text replaced stays in the block unused.
    void SetInteger(std::size_t i, std::int64_t value) { m_cells[i] = IntegerCell(value); }
    void SetReal(std::size_t i, double value) { m_cells[i] = RealCell(value); }
    void SetText(std::size_t i, std::u16string_view text) { m_cells[i] = StoreText(text); }
    void SetBlob(std::size_t i, Blob bytes) { m_cells[i] = StoreBlob(std::move(bytes)); }
    void SetDecimal(std::size_t i, const DECIMAL& value) { m_cells[i] = StoreDecimal(value); }

    // What a cell of this result set holds. The view stays valid until a text is added.
    std::u16string_view Text(const Cell& cell) const {
        return std::u16string_view(m_text).substr(cell.at, cell.length);
    }
    const Blob& Bytes(const Cell& cell) const { return m_blobs[cell.at]; }
    const DECIMAL& Decimal(const Cell& cell) const { return m_decimals[cell.at]; }

private:
    static Cell IntegerCell(std::int64_t value) {
        Cell cell;
        cell.kind = Cell::Kind::Integer;
        cell.integer = value;
        return cell;
    }
    static Cell RealCell(double value) {
        Cell cell;
        cell.kind = Cell::Kind::Real;
        cell.real = value;
        return cell;
    }
    Cell StoreText(std::u16string_view text) {
        // The cell keeps a 32-bit length; no engine hands out a longer text.
        if (text.size() > std::numeric_limits<std::uint32_t>::max())
            throw std::bad_alloc();
        Cell cell;
        cell.kind = Cell::Kind::Text;
        cell.at = m_text.size();
        cell.length = static_cast<std::uint32_t>(text.size());
        m_text.append(text);
        return cell;
    }
    Cell StoreBlob(Blob bytes) {
        Cell cell;
        cell.kind = Cell::Kind::Blob;
        cell.at = m_blobs.size();
        m_blobs.push_back(std::move(bytes));
        return cell;
    }
    Cell StoreDecimal(const DECIMAL& value) {
        Cell cell;
        cell.kind = Cell::Kind::Decimal;
        cell.at = m_decimals.size();
        m_decimals.push_back(value);
        return cell;
    }

    std::vector<Cell> m_cells;
    std::u16string m_text;  // every text of every cell, one after another
    std::vector<Blob> m_blobs;
    std::vector<DECIMAL> m_decimals;
};

// Sets the ADO type, defined size and attributes that go with a column's VARIANT tag.
void DescribeColumn(Column& column, bool longText = false);

// Error raising with the provider's codes. Source names the component that failed.
[[noreturn]] void Fail(HRESULT hr, std::u16string_view source, std::string_view description);

}  // namespace provider
