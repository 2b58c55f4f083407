// Rows fetched by a backend: column descriptions and row-major cells, ready for a client-side
// cursor.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/ado.h"

namespace provider {

using Blob = std::vector<std::uint8_t>;

// One value. The backend stores it in the domain of its column: integers for VT_I1..VT_I8 and
// VT_BOOL, ten-thousandths for VT_CY, OLE dates for VT_DATE, text for VT_BSTR. A value that does
// not fit its column's type is kept as it came (text stays text): nothing is lost.
using Cell = std::variant<std::monostate, std::int64_t, double, std::u16string, Blob, DECIMAL>;

struct Column {
    std::u16string name;
    VARTYPE vt = VT_BSTR;            // tag of the values handed out
    DataTypeEnum type = adVarWChar;  // the field's ADO type
    long definedSize = 0;
    long attributes = adFldMayBeNull | adFldIsNullable | adFldUnknownUpdatable;
    unsigned char precision = 255;
    unsigned char scale = 255;
};

struct ResultSet {
    std::vector<Column> columns;
    std::vector<Cell> cells;  // row-major, columns.size() per row
    std::size_t RowCount() const { return columns.empty() ? 0 : cells.size() / columns.size(); }
};

// Sets the ADO type, defined size and attributes that go with a column's VARIANT tag.
void DescribeColumn(Column& column, bool longText = false);

// Error raising with the provider's codes. Source names the component that failed.
[[noreturn]] void Fail(HRESULT hr, std::u16string_view source, std::string_view description);

}  // namespace provider
