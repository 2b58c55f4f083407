// Writing a DXF document: sections in order, records as kept, table entities in the cell
// layout of AC1021 and later, and the anonymous blocks of tables generated from their cells.
#include <algorithm>
#include <cmath>

#include "host/dxf/document.h"

namespace host::dxf {

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

void WriteRecord(const Document& doc, const Record& rec, TagWriter& out) {
    if (rec.deferred) {
        // Written straight from the source text.
        out.Write(rec.tags.front());
        TagReader reader(doc.sourceView);
        reader.Seek(rec.srcOffset, rec.srcLine);
        TagView t;
        while (reader.Next(t)) {
            if (t.code == 0)
                break;
            if (t.code != 999)
                out.Raw(t.code, t.value);
        }
        return;
    }
    if (rec.table) {
        WriteTableEntity(rec, out);
        return;
    }
    for (const Tag& t : rec.tags)
        out.Write(t);
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

std::size_t CountTableBlockEntities(const TableData& table) {
    if (!table.rows || !table.columns)
        return 0;
    Grid g(table);
    std::size_t n = 0;
    g.Lines([&](double, double, double, double) { ++n; });
    std::uint32_t lr, lc;
    for (std::uint32_t r = 0; r < table.rows; ++r) {
        for (std::uint32_t c = 0; c < table.columns; ++c) {
            if (!table.cell(r, c).empty() && g.Shown(r, c, lr, lc))
                ++n;
        }
    }
    return n;
}

void WriteTableBlockEntities(const TableData& table, std::uint64_t blockRecordHandle,
                             const std::string& layer, const std::vector<std::uint64_t>& handles,
                             TagWriter& out) {
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
            const std::string& text = table.cell(r, c);
            if (text.empty() || !g.Shown(r, c, lr, lc))
                continue;
            const double u = g.x[c] + table.horzMargin;
            const double v = g.y[r] - table.vertMargin;
            head("MTEXT", "AcDbMText");
            if (axisAligned) {
                out.Raw(10, xs[c]);
                out.Raw(20, ys[r]);
                out.Raw(30, "0.0");
                out.Raw(40, height);
                if (lc == c + 1) {
                    out.Raw(41, widths[c]);
                } else {
                    out.Real(41, std::max(0.0, g.x[lc] - g.x[c] - 2 * table.horzMargin));
                }
            } else {
                out.Point(10, X(u, v), Y(u, v), 0);
                out.Raw(40, height);
                out.Real(41, std::max(0.0, g.x[lc] - g.x[c] - 2 * table.horzMargin));
            }
            out.Raw(71, "1");  // attached at the top left
            out.Raw(72, "1");  // left to right
            if (text.find_first_of("\n\r\\{}") == std::string::npos && text.size() <= 250) {
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

void WriteTableEntity(const Record& rec, TagWriter& out) {
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
        out.Raw(145, "0.0");
        out.Raw(92, "0");
        out.Raw(301, "CELL_VALUE");
        out.Raw(93, "2");
        out.Raw(90, "4");
        const std::string& cell = t.cells[i];
        const bool plain = cell.size() <= 250 && cell.find_first_of("\n\r") == std::string::npos;
        if (!plain)
            text = CellTextToFile(cell);
        const std::string& stored = plain ? cell : text;
        WriteLongText(out, 2, 1, stored);
        out.Raw(94, "0");
        out.Raw(300, "");
        WriteLongText(out, 303, 302, stored);
        out.Raw(304, "ACVALUE_END");
    }
    for (const Tag& tag : rec.xdata)
        out.Write(tag);
}

void WriteDocument(const Document& doc, TagWriter& out) {
    // Sections the model does not know go back, in their order, after the known section they
    // followed.
    auto others = [&](const std::string& after) {
        for (const auto& s : doc.otherSections) {
            if (s.after != after)
                continue;
            out.Raw(0, "SECTION");
            out.Str(2, s.name);
            for (const Tag& t : s.tags)
                out.Write(t);
            out.Raw(0, "ENDSEC");
        }
    };
    others("");
    out.Raw(0, "SECTION");
    out.Raw(2, "HEADER");
    for (const auto& v : doc.header) {
        out.Str(9, v.name);
        for (const Tag& t : v.values)
            out.Write(t);
    }
    out.Raw(0, "ENDSEC");
    others("HEADER");

    out.Raw(0, "SECTION");
    out.Raw(2, "CLASSES");
    for (const auto& r : doc.classes)
        WriteRecord(doc, r, out);
    out.Raw(0, "ENDSEC");
    others("CLASSES");

    out.Raw(0, "SECTION");
    out.Raw(2, "TABLES");
    for (const auto& table : doc.tables) {
        WriteRecord(doc, table.head, out);
        for (const auto& e : table.entries)
            WriteRecord(doc, e, out);
        out.Raw(0, "ENDTAB");
    }
    out.Raw(0, "ENDSEC");
    others("TABLES");

    out.Raw(0, "SECTION");
    out.Raw(2, "BLOCKS");
    for (const auto& block : doc.blocks) {
        WriteRecord(doc, block.begin, out);
        if (block.generatedFrom) {
            WriteTableBlockEntities(*block.generatedFrom, block.begin.owner(), block.generatedLayer,
                                    block.generatedHandles, out);
        } else {
            for (const auto& e : block.entities)
                WriteRecord(doc, e, out);
        }
        WriteRecord(doc, block.end, out);
    }
    out.Raw(0, "ENDSEC");
    others("BLOCKS");

    out.Raw(0, "SECTION");
    out.Raw(2, "ENTITIES");
    for (const auto& e : doc.entities)
        WriteRecord(doc, e, out);
    out.Raw(0, "ENDSEC");
    others("ENTITIES");

    out.Raw(0, "SECTION");
    out.Raw(2, "OBJECTS");
    for (const auto& o : doc.objects)
        WriteRecord(doc, o, out);
    out.Raw(0, "ENDSEC");
    others("OBJECTS");
    out.Raw(0, "EOF");
    out.Flush();
}

}  // namespace host::dxf
