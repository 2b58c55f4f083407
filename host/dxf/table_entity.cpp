#include "host/dxf/table_entity.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "host/db/hostdb.h"
#include "host/dxf/record_groups.h"
#include "host/dxf/structure.h"
#include "platform/dbmain.h"
#include "platform/dbtable.h"

namespace host::dxf {

// ---- reading ----

namespace {

// The most cells a table may have: what the drawing database holds.
constexpr std::size_t kMaxCells = host::kMaxTableCells;

// Cell texts: "\P" in the file is a line break. The text is s itself when it has none, else
// made in out.
std::string_view CellTextFromFile(std::string_view s, std::string& out) {
    if (s.find("\\P") == std::string_view::npos)
        return s;
    out.clear();
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'P') {
            out += '\n';
            ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string TooManyCells(const TableData& td) {
    return "ACAD_TABLE has more cells than its " + std::to_string(td.rows) + " x " +
           std::to_string(td.columns) + " rows and columns";
}

}  // namespace

TableEntityReader::TableEntityReader(Record& record)
    : m_record(record), m_table(std::make_shared<TableData>()) {}

void TableEntityReader::Take(const TagView& t) {
    if (t.code == 1001)
        m_phase = Phase::kXData;
    switch (m_phase) {
        case Phase::kCommon:
            TakeCommon(t);
            break;
        case Phase::kBlockReference:
            TakeBlockReference(t);
            break;
        case Phase::kTable:
            TakeTable(t);
            break;
        case Phase::kCells:
            TakeCell(t);
            break;
        case Phase::kAfterCells:
            break;
        case Phase::kXData:
            m_record.xdata.push_back(OwnTag(t));
            break;
    }
}

// The groups every entity has, up to the block-reference part.
void TableEntityReader::TakeCommon(const TagView& t) {
    if (t.code == 100 && t.value == "AcDbBlockReference") {
        m_phase = Phase::kBlockReference;
    } else if (t.code == 100 && t.value == "AcDbTable") {
        m_phase = Phase::kTable;
    } else {
        m_record.tags.push_back(OwnTag(t));
    }
}

// The block-reference part: the anonymous block's name, the position and the normal.
void TableEntityReader::TakeBlockReference(const TagView& t) {
    TableData& td = *m_table;
    if (t.code == 100 && t.value == "AcDbTable") {
        m_phase = Phase::kTable;
    } else if (t.code == 2) {
        td.blockName = std::string(t.value);
    } else if (t.code == 10 || t.code == 20 || t.code == 30) {
        ParseDouble(t.value, td.position[t.code / 10 - 1]);
    } else if (t.code == 210 || t.code == 220 || t.code == 230) {
        ParseDouble(t.value, td.normal[(t.code - 210) / 10]);
    }
}

// The table part up to its first cell: style, block, direction, sizes.
void TableEntityReader::TakeTable(const TagView& t) {
    TableData& td = *m_table;
    switch (t.code) {
        case 342:
            ParseHandle(t.value, td.styleHandle);
            break;
        case 343:
            ParseHandle(t.value, td.blockRecordHandle);
            break;
        case 11:
        case 21:
        case 31:
            ParseDouble(t.value, td.direction[t.code / 10 - 1]);
            break;
        case 91:
        case 92:
            ParseInt(t.value, m_int);
            if (m_int < 0 || m_int > (1 << 24)) {
                throw DxfError(t.line, "ACAD_TABLE has an impossible number of " +
                                           std::string(t.code == 91 ? "rows" : "columns") + " (" +
                                           std::to_string(m_int) + ")");
            }
            (t.code == 91 ? td.rows : td.columns) = static_cast<std::uint32_t>(m_int);
            (t.code == 91 ? m_haveRows : m_haveColumns) = true;
            break;
        case 141:
            ParseDouble(t.value, m_double);
            if (td.rowHeights.size() >= td.rows)
                throw DxfError(t.line, "ACAD_TABLE has more row heights than rows");
            td.rowHeights.push_back(m_double);
            break;
        case 142:
            ParseDouble(t.value, m_double);
            if (td.columnWidths.size() >= td.columns)
                throw DxfError(t.line, "ACAD_TABLE has more column widths than columns");
            td.columnWidths.push_back(m_double);
            break;
        case 171:
            if (!m_haveRows || !m_haveColumns) {
                throw DxfError(t.line,
                               "ACAD_TABLE cells come before its numbers of rows and columns "
                               "(91, 92)");
            }
            if (static_cast<std::size_t>(td.rows) * td.columns > kMaxCells)
                throw DxfError(t.line, "ACAD_TABLE is too large");
            // Room for the cells at once (for a few million; a larger table grows as read, so
            // that a file declaring a huge table without its cells takes no memory for them).
            td.cells.Reserve(std::min<std::size_t>(static_cast<std::size_t>(td.rows) * td.columns,
                                                   std::size_t(1) << 22));
            m_phase = Phase::kCells;
            StartCell(t.line);
            break;
        default:
            break;
    }
}

// The cells, each starting with a 171 group: the text in pieces (2 ... 1) as files of R2004
// and before store it, or in a value block (301 ... 304); the merged size (175, 176).
void TableEntityReader::TakeCell(const TagView& t) {
    if (m_inValue) {
        TakeCellValue(t);
        return;
    }
    switch (t.code) {
        case 171:
            if (AllCellsRead())
                throw DxfError(t.line, TooManyCells(*m_table));
            StartCell(t.line);
            break;
        case 301:
            m_inValue = true;
            m_valueText = {};
            m_valueChunks.clear();
            m_formatted = {};
            m_formattedChunks.clear();
            break;
        case 2:
            m_chunks += t.value;
            break;
        case 1:
            SetText(m_chunks, t.value);
            m_chunks.clear();
            break;
        case 175:
        case 176:
            // The first pair is the cell's merged size; later ones belong to its contents.
            if (!m_mergeSeen || t.code == 176) {
                ParseInt(t.value, m_int);
                (t.code == 175 ? m_mergeWidth : m_mergeHeight) =
                    std::clamp<std::int64_t>(m_int, 1, 1 << 24);
                if (t.code == 176)
                    m_mergeSeen = true;
            }
            break;
        default:
            break;
    }
    if (t.code == 304 && AllCellsRead())
        m_phase = Phase::kAfterCells;
}

// A cell's value block: its text (2 ... 1) or, without one, its formatted text (303 ... 302).
void TableEntityReader::TakeCellValue(const TagView& t) {
    switch (t.code) {
        case 304:
            m_inValue = false;
            if (!m_valueText.empty() || !m_valueChunks.empty()) {
                SetText(m_valueChunks, m_valueText);
            } else {
                SetText(m_formattedChunks, m_formatted);
            }
            break;
        case 1:
            m_valueText = t.value;
            break;
        case 2:
            m_valueChunks += t.value;
            break;
        case 302:
            m_formatted = t.value;
            break;
        case 303:
            m_formattedChunks += t.value;
            break;
        default:
            break;
    }
}

bool TableEntityReader::AllCellsRead() const {
    return m_table->cells.size() == static_cast<std::size_t>(m_table->rows) * m_table->columns;
}

void TableEntityReader::StartCell(std::size_t line) {
    FinishCell();
    TableData& td = *m_table;
    if (td.cells.size() >= static_cast<std::size_t>(td.rows) * td.columns)
        throw DxfError(line, TooManyCells(td));
    td.cells.PushBack({});
    m_inValue = false;
    m_chunks.clear();
    m_hasText = false;
    m_mergeSeen = false;
    m_mergeWidth = m_mergeHeight = 1;
}

void TableEntityReader::FinishCell() {
    TableData& td = *m_table;
    if (td.cells.size() == 0)
        return;
    const std::size_t index = td.cells.size() - 1;
    if ((m_mergeWidth > 1 || m_mergeHeight > 1) && td.columns) {
        td.merges.push_back({static_cast<std::uint32_t>(index / td.columns),
                             static_cast<std::uint32_t>(index % td.columns),
                             static_cast<std::uint32_t>(std::max<std::int64_t>(m_mergeHeight, 1)),
                             static_cast<std::uint32_t>(std::max<std::int64_t>(m_mergeWidth, 1))});
    }
}

// The first text found for a cell is its text: the pieces before its last one, then that.
void TableEntityReader::SetText(std::string_view pieces, std::string_view last) {
    TableData& td = *m_table;
    const std::size_t n = td.cells.size();
    if (n == 0 || m_hasText)
        return;
    std::string_view text;
    if (pieces.empty()) {
        text = CellTextFromFile(last, m_text);
    } else {
        m_joined.assign(pieces).append(last);
        text = CellTextFromFile(m_joined, m_text);
    }
    m_hasText = !text.empty();
    // The database keeps cell texts as C strings: a NUL character ends the text there.
    td.cells.Set(n - 1, text.substr(0, text.find('\0')));
}

void TableEntityReader::Finish(std::size_t line, RepairLog& log) {
    TableData& td = *m_table;
    if (m_phase == Phase::kCommon || m_phase == Phase::kBlockReference) {
        // Not a table we can read: keep it as it stands.
        if (m_record.xdata.size())
            m_record.tags.insert(m_record.tags.end(), m_record.xdata.begin(), m_record.xdata.end());
        m_record.xdata.clear();
        throw DxfError(line, "ACAD_TABLE without its table data (subclass AcDbTable)");
    }
    FinishCell();
    const std::size_t cells = static_cast<std::size_t>(td.rows) * td.columns;
    if (td.rows && td.columns && td.cells.size() == 0)
        td.cells.Assign(cells);  // a table written without cell records (all empty)
    if (td.cells.size() != cells) {
        throw DxfError(line, "ACAD_TABLE declares " + std::to_string(td.rows) + " x " +
                                 std::to_string(td.columns) + " cells but holds " +
                                 std::to_string(td.cells.size()));
    }
    if (td.rowHeights.size() != td.rows || td.columnWidths.size() != td.columns) {
        if (!log.Recovering()) {
            throw DxfError(line, "ACAD_TABLE has " + std::to_string(td.rowHeights.size()) +
                                     " row heights and " + std::to_string(td.columnWidths.size()) +
                                     " column widths for " + std::to_string(td.rows) +
                                     " rows and " + std::to_string(td.columns) + " columns");
        }
        log.Add({RepairCode::kMissingTableSizes, line, m_record.handle(),
                 "ACAD_TABLE row heights or column widths were missing; filled in with the last "
                 "known size"});
        td.rowHeights.resize(td.rows, td.rowHeights.empty() ? 1.0 : td.rowHeights.back());
        td.columnWidths.resize(td.columns, td.columnWidths.empty() ? 10.0 : td.columnWidths.back());
    }
    m_record.table = std::move(m_table);
}

// ---- writing ----

namespace {

// Splits UTF-8 text into pieces of at most n bytes without cutting a character.
std::vector<std::string_view> Chunks(std::string_view s, std::size_t n) {
    std::vector<std::string_view> out;
    while (s.size() > n) {
        std::size_t cut = n;
        while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80)
            --cut;
        if (cut == 0)
            cut = n;
        out.push_back(s.substr(0, cut));
        s.remove_prefix(cut);
    }
    out.push_back(s);
    return out;
}

bool HasLineBreak(std::string_view s) {
    for (char c : s) {
        if (c == '\n' || c == '\r')
            return true;
    }
    return false;
}

// Whether text shown as MTEXT needs escapes or line breaks (see MTextContent).
bool NeedsMTextContent(std::string_view s) {
    for (char c : s) {
        if (c == '\n' || c == '\r' || c == '\\' || c == '{' || c == '}')
            return true;
    }
    return false;
}

// Cell text as stored in the table entity: line breaks become "\P".
std::string CellTextToFile(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c == '\n') {
            out += "\\P";
        } else if (c != '\r') {
            out += c;
        }
    }
    return out;
}

// Cell text as MTEXT content: backslashes and braces are escaped, line breaks become "\P".
std::string MTextContent(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 8);
    for (char c : s) {
        switch (c) {
            case '\n':
                out += "\\P";
                break;
            case '\r':
                break;
            case '\\':
                out += "\\\\";
                break;
            case '{':
                out += "\\{";
                break;
            case '}':
                out += "\\}";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// Long text: chunks of 250 bytes under chunkCode, the rest under lastCode.
void WriteLongText(TagWriter& out, int chunkCode, int lastCode, std::string_view text) {
    if (text.size() <= 250) {
        out.Str(lastCode, text);
        return;
    }
    auto pieces = Chunks(text, 250);
    for (std::size_t i = 0; i + 1 < pieces.size(); ++i)
        out.Str(chunkCode, pieces[i]);
    out.Str(lastCode, pieces.back());
}

// Segments of one grid line: runs of cells along the line where no merged range crosses it.
// Cells are indexed along the line; open(k) says whether the line is drawn at cell k.
template <class Open>
void ForRuns(std::uint32_t n, Open open,
             const std::function<void(std::uint32_t, std::uint32_t)>& f) {
    std::uint32_t k = 0;
    while (k < n) {
        while (k < n && !open(k))
            ++k;
        const std::uint32_t start = k;
        while (k < n && open(k))
            ++k;
        if (k > start)
            f(start, k);
    }
}

// The lines of a cell text that R12 and R2000 write, one TEXT each (empty lines take their
// place but get no entity).
struct TextLine {
    std::string_view text;
    std::size_t index;  // line number in the cell
};
std::vector<TextLine> TextLines(std::string_view text) {
    std::vector<TextLine> lines;
    std::size_t index = 0, start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty())
            lines.push_back({line, index});
        ++index;
        start = end + 1;
    }
    return lines;
}

struct Grid {
    const TableData& t;
    std::vector<double> y;  // top of each row, then the bottom
    std::vector<double> x;  // left of each column, then the right
    // For each cell, the index of the merged range covering it, or -1.
    std::vector<std::int32_t> cover;
    explicit Grid(const TableData& table) : t(table) {
        y.resize(t.rows + 1);
        x.resize(t.columns + 1);
        for (std::uint32_t r = 0; r < t.rows; ++r)
            y[r + 1] = y[r] - t.rowHeights[r];
        for (std::uint32_t c = 0; c < t.columns; ++c)
            x[c + 1] = x[c] + t.columnWidths[c];
        if (!t.merges.empty()) {
            cover.assign(static_cast<std::size_t>(t.rows) * t.columns, -1);
            for (std::size_t m = 0; m < t.merges.size(); ++m) {
                const auto& g = t.merges[m];
                for (std::uint32_t r = g.row; r < std::min(t.rows, g.row + g.rows); ++r) {
                    for (std::uint32_t c = g.column; c < std::min(t.columns, g.column + g.columns);
                         ++c) {
                        cover[static_cast<std::size_t>(r) * t.columns + c] =
                            static_cast<std::int32_t>(m);
                    }
                }
            }
        }
    }
    std::int32_t At(std::uint32_t r, std::uint32_t c) const {
        return cover.empty() ? -1 : cover[static_cast<std::size_t>(r) * t.columns + c];
    }
    // Whether the horizontal line above row r is drawn at column c.
    bool HOpen(std::uint32_t r, std::uint32_t c) const {
        if (r == 0 || r == t.rows || cover.empty())
            return true;
        const auto a = At(r - 1, c), b = At(r, c);
        return a < 0 || a != b;
    }
    bool VOpen(std::uint32_t c, std::uint32_t r) const {
        if (c == 0 || c == t.columns || cover.empty())
            return true;
        const auto a = At(r, c - 1), b = At(r, c);
        return a < 0 || a != b;
    }
    // Whether the cell's text is shown (not hidden inside a merged range).
    bool Shown(std::uint32_t r, std::uint32_t c, std::uint32_t& lastRow,
               std::uint32_t& lastCol) const {
        lastRow = r + 1;
        lastCol = c + 1;
        const auto m = At(r, c);
        if (m < 0)
            return true;
        const auto& g = t.merges[static_cast<std::size_t>(m)];
        if (g.row != r || g.column != c)
            return false;
        lastRow = std::min(t.rows, g.row + g.rows);
        lastCol = std::min(t.columns, g.column + g.columns);
        return true;
    }
    template <class F>
    void Lines(F f) const {
        for (std::uint32_t r = 0; r <= t.rows; ++r) {
            ForRuns(
                t.columns, [&](std::uint32_t c) { return HOpen(r, c); },
                [&](std::uint32_t a, std::uint32_t b) { f(x[a], y[r], x[b], y[r]); });
        }
        for (std::uint32_t c = 0; c <= t.columns; ++c) {
            ForRuns(
                t.rows, [&](std::uint32_t r) { return VOpen(c, r); },
                [&](std::uint32_t a, std::uint32_t b) { f(x[c], y[a], x[c], y[b]); });
        }
    }
};

}  // namespace

std::size_t CountTableBlockEntities(const TableData& table, DxfVersion version) {
    if (!table.rows || !table.columns)
        return 0;
    Grid g(table);
    std::size_t n = 0;
    g.Lines([&](double, double, double, double) { ++n; });
    std::uint32_t lr, lc;
    for (std::uint32_t r = 0; r < table.rows; ++r) {
        for (std::uint32_t c = 0; c < table.columns; ++c) {
            const std::string_view text = table.cell(r, c);
            if (text.empty() || !g.Shown(r, c, lr, lc))
                continue;
            n += HasTableEntity(version) ? 1 : TextLines(text).size();
        }
    }
    return n;
}

void WriteTableBlockEntities(const TableData& table, std::uint64_t blockRecordHandle,
                             const std::string& layer, const std::vector<std::uint64_t>& handles,
                             TagWriter& out, DxfVersion version) {
    // Versions without table entities get TEXT (one line each), which every reader draws.
    const bool r12 = version == DxfVersion::kR12;
    const bool singleLine = !HasTableEntity(version);
    if (!table.rows || !table.columns)
        return;
    const std::string owner = FormatHandle(blockRecordHandle);
    Grid g(table);
    // The block is drawn in the table's frame: x along its direction, rows toward -y.
    double dx = table.direction[0], dy = table.direction[1];
    const double len = std::hypot(dx, dy);
    if (len < 1e-12) {
        dx = 1, dy = 0;
    } else {
        dx /= len, dy /= len;
    }
    auto X = [&](double u, double v) { return u * dx - v * dy; };
    auto Y = [&](double u, double v) { return u * dy + v * dx; };
    std::size_t next = 0;
    auto head = [&](const char* type, const char* subclass) {
        out.Raw(0, type);
        out.Handle(5, next < handles.size() ? handles[next] : 0);
        ++next;
        if (r12) {
            out.Str(8, layer);
            return;
        }
        out.Raw(330, owner);
        out.Raw(100, "AcDbEntity");
        out.Str(8, layer);
        out.Raw(100, subclass);
    };
    g.Lines([&](double x1, double y1, double x2, double y2) {
        head("LINE", "AcDbLine");
        out.Point(10, X(x1, y1), Y(x1, y1), 0);
        out.Point(11, X(x2, y2), Y(x2, y2), 0);
    });
    // Along the axes (the usual case) a text's x depends on its column and y on its row, so
    // their texts are made once.
    const bool axisAligned = dx == 1 && dy == 0;
    std::vector<std::string> xs, ys, widths;
    if (axisAligned) {
        for (std::uint32_t c = 0; c < table.columns; ++c) {
            xs.push_back(FormatDouble(g.x[c] + table.horzMargin));
            widths.push_back(
                FormatDouble(std::max(0.0, g.x[c + 1] - g.x[c] - 2 * table.horzMargin)));
        }
        for (std::uint32_t r = 0; r < table.rows; ++r) {
            ys.push_back(FormatDouble(g.y[r] - table.vertMargin));
        }
    }
    const std::string height = FormatDouble(table.textHeight);
    std::string content;
    std::uint32_t lr, lc;
    for (std::uint32_t r = 0; r < table.rows; ++r) {
        for (std::uint32_t c = 0; c < table.columns; ++c) {
            const std::string_view text = table.cell(r, c);
            if (text.empty() || !g.Shown(r, c, lr, lc))
                continue;
            const double u = g.x[c] + table.horzMargin;
            const double v = g.y[r] - table.vertMargin;
            if (singleLine) {
                // TEXT has one line and sits on its base line: each line of the cell a line
                // pitch lower, the first one a text height below the cell's top margin.
                const double pitch = table.textHeight * 5.0 / 3.0;
                const double angle = std::atan2(dy, dx) * 180.0 / 3.14159265358979323846;
                for (const TextLine& line : TextLines(text)) {
                    const double lv =
                        v - table.textHeight - pitch * static_cast<double>(line.index);
                    head("TEXT", "AcDbText");
                    out.Point(10, X(u, lv), Y(u, lv), 0);
                    out.Formatted(40, height);
                    out.Str(1, line.text);
                    if (!axisAligned)
                        out.Real(50, angle);
                    out.Raw(7, "Standard");
                    if (!r12)
                        out.Raw(100, "AcDbText");
                }
                continue;
            }
            head("MTEXT", "AcDbMText");
            if (axisAligned) {
                out.Formatted(10, xs[c]);
                out.Formatted(20, ys[r]);
                out.Formatted(30, "0.0");
                out.Formatted(40, height);
                if (lc == c + 1) {
                    out.Formatted(41, widths[c]);
                } else {
                    out.Real(41, std::max(0.0, g.x[lc] - g.x[c] - 2 * table.horzMargin));
                }
            } else {
                out.Point(10, X(u, v), Y(u, v), 0);
                out.Formatted(40, height);
                out.Real(41, std::max(0.0, g.x[lc] - g.x[c] - 2 * table.horzMargin));
            }
            out.Raw(71, "1");  // attached at the top left
            out.Raw(72, "1");  // left to right
            if (!NeedsMTextContent(text) && text.size() <= 250) {
                out.Str(1, text);
            } else {
                content = MTextContent(text);
                WriteLongText(out, 3, 1, content);
            }
            out.Raw(7, "Standard");
            if (!axisAligned)
                out.Point(11, dx, dy, 0);
        }
    }
}

void WriteTableEntity(const Record& rec, TagWriter& out, DxfVersion version) {
    const bool cellValues = version >= DxfVersion::kR2007;
    const TableData& t = *rec.table;
    for (const Tag& tag : rec.tags)
        out.Write(tag);
    out.Raw(100, "AcDbBlockReference");
    out.Str(2, t.blockName);
    out.Point(10, t.position[0], t.position[1], t.position[2]);
    if (t.normal[0] != 0 || t.normal[1] != 0 || t.normal[2] != 1) {
        out.Point(210, t.normal[0], t.normal[1], t.normal[2]);
    }
    out.Raw(100, "AcDbTable");
    out.Int(280, 0);
    out.Handle(342, t.styleHandle);
    out.Handle(343, t.blockRecordHandle);
    out.Point(11, t.direction[0], t.direction[1], t.direction[2]);
    out.Int(90, 22);
    out.Int(91, t.rows);
    out.Int(92, t.columns);
    out.Int(93, 0);
    out.Int(94, 0);
    out.Int(95, 0);
    out.Int(96, 0);
    for (double h : t.rowHeights)
        out.Real(141, h);
    for (double w : t.columnWidths)
        out.Real(142, w);
    // Merged ranges: the top-left cell carries the size, covered cells are flagged.
    std::vector<std::uint32_t> span;  // per cell: (rows << 16 | columns) for a range's corner
    std::vector<char> covered;
    if (!t.merges.empty()) {
        span.assign(t.cells.size(), 0);
        covered.assign(t.cells.size(), 0);
        for (const auto& m : t.merges) {
            if (m.row >= t.rows || m.column >= t.columns)
                continue;
            span[static_cast<std::size_t>(m.row) * t.columns + m.column] =
                (std::min(m.rows, 0xFFFFu) << 16) | std::min(m.columns, 0xFFFFu);
            for (std::uint32_t r = m.row; r < std::min(t.rows, m.row + m.rows); ++r) {
                for (std::uint32_t c = m.column; c < std::min(t.columns, m.column + m.columns);
                     ++c) {
                    covered[static_cast<std::size_t>(r) * t.columns + c] = 1;
                }
            }
        }
    }
    std::string text;
    for (std::size_t i = 0; i < t.cells.size(); ++i) {
        std::uint32_t spanRows = 1, spanCols = 1;
        if (!span.empty() && span[i]) {
            spanRows = span[i] >> 16;
            spanCols = span[i] & 0xFFFF;
        }
        out.Raw(171, "1");
        out.Raw(172, "0");
        out.Int(173, !covered.empty() && covered[i] ? 1 : 0);
        out.Raw(174, "0");
        out.Int(175, spanCols);
        out.Int(176, spanRows);
        out.Raw(91, "0");
        out.Raw(178, "0");
        out.Formatted(145, "0.0");
        const std::string_view cell = t.cells.Get(i);
        const bool plain = cell.size() <= 250 && !HasLineBreak(cell);
        if (!plain)
            text = CellTextToFile(cell);
        const std::string_view stored = plain ? cell : std::string_view(text);
        if (!cellValues) {
            WriteLongText(out, 2, 1, stored);
            continue;
        }
        out.Raw(92, "0");
        out.Raw(301, "CELL_VALUE");
        out.Raw(93, "2");
        out.Raw(90, "4");
        WriteLongText(out, 2, 1, stored);
        out.Raw(94, "0");
        out.Raw(300, "");
        WriteLongText(out, 303, 302, stored);
        out.Raw(304, "ACVALUE_END");
    }
    for (const Tag& tag : rec.xdata)
        out.Write(tag);
}

// ---- the table in the drawing database ----

AcDbTable* NewTable(const TableData& td, host::CellStore cells) {
    auto* t = new AcDbTable();
    t->setNumRows(static_cast<int>(td.rows));
    t->setNumColumns(static_cast<int>(td.columns));
    for (std::uint32_t r = 0; r < td.rows; ++r)
        t->setRowHeight(static_cast<int>(r), td.rowHeights[r]);
    for (std::uint32_t c = 0; c < td.columns; ++c)
        t->setColumnWidth(static_cast<int>(c), td.columnWidths[c]);
    SetCells(t, std::move(cells));
    for (const auto& m : td.merges) {
        if (m.row + m.rows > td.rows || m.column + m.columns > td.columns)
            continue;
        t->mergeCells(static_cast<int>(m.row), static_cast<int>(m.row + m.rows - 1),
                      static_cast<int>(m.column), static_cast<int>(m.column + m.columns - 1));
    }
    t->setPosition(AcGePoint3d(td.position[0], td.position[1], td.position[2]));
    t->setDirection(AcGeVector3d(td.direction[0], td.direction[1], td.direction[2]));
    if (td.normal[0] != 0 || td.normal[1] != 0 || td.normal[2] != 1)
        SetTableNormal(t, AcGeVector3d(td.normal[0], td.normal[1], td.normal[2]));
    return t;
}

std::shared_ptr<TableData> TableDataOf(AcDbDatabase* db, const AcDbTable* t) {
    auto td = std::make_shared<TableData>();
    td->rows = t->numRows();
    td->columns = t->numColumns();
    td->rowHeights.resize(td->rows);
    td->columnWidths.resize(td->columns);
    for (std::uint32_t r = 0; r < td->rows; ++r)
        td->rowHeights[r] = t->rowHeight(static_cast<int>(r));
    for (std::uint32_t c = 0; c < td->columns; ++c)
        td->columnWidths[c] = t->columnWidth(static_cast<int>(c));
    td->cells = CellsOf(t);
    // Merged ranges by their top-left cells, in row-major order.
    const bool merged = !MergedRangesOf(t).empty();
    for (std::uint32_t r = 0; merged && r < td->rows; ++r) {
        for (std::uint32_t c = 0; c < td->columns; ++c) {
            int r0 = 0, r1 = 0, c0 = 0, c1 = 0;
            if (t->isMergedCell(static_cast<int>(r), static_cast<int>(c), &r0, &r1, &c0, &c1) &&
                r0 == static_cast<int>(r) && c0 == static_cast<int>(c)) {
                td->merges.push_back({r, c, static_cast<std::uint32_t>(r1 - r0 + 1),
                                      static_cast<std::uint32_t>(c1 - c0 + 1)});
            }
        }
    }
    const AcGePoint3d p = t->position();
    const AcGeVector3d d = t->direction();
    const AcGeVector3d n = t->normal();
    td->position[0] = p.x, td->position[1] = p.y, td->position[2] = p.z;
    td->direction[0] = d.x, td->direction[1] = d.y, td->direction[2] = d.z;
    td->normal[0] = n.x, td->normal[1] = n.y, td->normal[2] = n.z;
    const AcDbObjectId style = UsableStyle(db, t->tableStyle());
    td->styleHandle = style.handle().value();
    if (auto* s = Obj(style) ? AcDbTableStyle::cast(Obj(style)) : nullptr) {
        td->textHeight = s->textHeight(AcDb::kDataRow);
        td->horzMargin = s->horzCellMargin();
        td->vertMargin = s->vertCellMargin();
    }
    const AcDbObjectId block = t->tableBlockId();
    td->blockRecordHandle = block.handle().value();
    if (auto* b = Obj(block) ? AcDbBlockTableRecord::cast(Obj(block)) : nullptr)
        td->blockName = std::string(b->nameA().View());
    return td;
}

}  // namespace host::dxf
