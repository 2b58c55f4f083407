// Drawing a space, picking, window selection and exports.
#include "host/render/render.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <deque>
#include <unordered_map>

#include "host/db/hostdb.h"
#include "host/dxf/atomic_file.h"
#include "host/render/scene.h"
#include "platform/dbtable.h"

namespace host::render {

namespace {

// Texts smaller than this many pixels are not laid out (they would not be readable).
constexpr double kSmallestTextPx = 1.5;
// Grid lines closer than this to the last one drawn are left out.
constexpr double kLinePitchPx = 1.0;

const Color kHighlight{0.25, 0.6, 1.0, false};

// Layouts of the texts drawn lately, kept across frames: laid out in the measuring context
// (hinting off, so that a layout does not depend on the scale it is drawn at), they are drawn
// again at any view without laying them out again. The oldest are dropped beyond kMaxLayouts.
PangoLayout* CachedLayout(const TextPrim& t) {
    constexpr std::size_t kMaxLayouts = 8192;
    struct Cache {
        std::unordered_map<std::string, PangoLayout*> layouts;
        std::deque<std::string> order;
        ~Cache() {
            for (auto& [key, layout] : layouts)
                g_object_unref(layout);
        }
    };
    static Cache cache;
    std::string key = t.text;
    key += '\0';
    key += std::to_string(t.wrapWidthPx) + ' ' + std::to_string(int(t.align)) + ' ' +
           std::to_string(t.lineSpacing);
    if (auto it = cache.layouts.find(key); it != cache.layouts.end())
        return it->second;
    if (cache.order.size() >= kMaxLayouts) {
        auto it = cache.layouts.find(cache.order.front());
        g_object_unref(it->second);
        cache.layouts.erase(it);
        cache.order.pop_front();
    }
    PangoLayout* layout = NewLayout(MeasureContext(), t);
    cache.layouts.emplace(key, layout);
    cache.order.push_back(std::move(key));
    return layout;
}

// The layout y of the first baseline of a text in the text font (the same for every cell).
double FirstBaselinePx() {
    static const double baseline = [] {
        TextPrim t;
        t.text = "M";
        PangoLayout* layout = NewLayout(MeasureContext(), t);
        const double b = pango_layout_get_baseline(layout) / double(PANGO_SCALE);
        g_object_unref(layout);
        return b;
    }();
    return baseline;
}

struct Painter {
    cairo_t* cr;
    const View& view;
    const Options& options;
    Box visible;

    void SetColor(const Color& c) const {
        if (c.foreground) {
            const double v = options.darkBackground ? 1.0 : 0.0;
            cairo_set_source_rgb(cr, v, v, v);
        } else if (!options.darkBackground && c.r > 0.9 && c.g > 0.9 && c.b > 0.9) {
            cairo_set_source_rgb(cr, 0, 0, 0);  // white on white would not show
        } else {
            cairo_set_source_rgb(cr, c.r, c.g, c.b);
        }
    }

    // Strokes are drawn half a pixel off, so that a 1-pixel line on whole device coordinates
    // covers one row of pixels rather than two halves.
    void MoveTo(Point p, double shift = 0.5) const {
        const Point d = view.ToDevice(p);
        cairo_move_to(cr, d.x + shift, d.y + shift);
    }
    void LineTo(Point p, double shift = 0.5) const {
        const Point d = view.ToDevice(p);
        cairo_line_to(cr, d.x + shift, d.y + shift);
    }

    // The cairo matrix of an affine map to drawing coordinates followed by the view.
    cairo_matrix_t DeviceMatrix(const Affine& a) const {
        const double p = view.pixelsPerUnit;
        const double ox = view.widthPx / 2.0 - view.center.x * p;
        const double oy = view.heightPx / 2.0 + view.center.y * p;
        cairo_matrix_t m;
        cairo_matrix_init(&m, p * a.xx, -p * a.yx, p * a.xy, -p * a.yy, p * a.x0 + ox,
                          -p * a.y0 + oy);
        return m;
    }

    void Text(const TextPrim& t) {
        if (t.heightUnits * view.pixelsPerUnit < kSmallestTextPx)
            return;
        cairo_save(cr);
        const cairo_matrix_t m = DeviceMatrix(t.place);
        cairo_set_matrix(cr, &m);
        cairo_move_to(cr, 0, 0);
        pango_cairo_show_layout(cr, CachedLayout(t));
        cairo_restore(cr);
    }

    void Prim(const render::Prim& p, bool highlighted) {
        if (highlighted)
            SetColor(kHighlight);
        else
            SetColor(p.color);
        switch (p.kind) {
            case Prim::Kind::Stroke: {
                MoveTo(p.points[0]);
                for (std::size_t i = 1; i < p.points.size(); ++i)
                    LineTo(p.points[i]);
                if (p.points.size() == 1)
                    LineTo(p.points[0]);
                if (p.closed)
                    cairo_close_path(cr);
                cairo_stroke(cr);
                break;
            }
            case Prim::Kind::Fill: {
                bool start = true;
                for (const Point& q : p.points) {
                    if (std::isnan(q.x)) {
                        cairo_close_path(cr);
                        start = true;
                        continue;
                    }
                    if (start)
                        MoveTo(q, 0);
                    else
                        LineTo(q, 0);
                    start = false;
                }
                cairo_close_path(cr);
                cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
                cairo_fill(cr);
                break;
            }
            case Prim::Kind::Dot: {
                const Point d = view.ToDevice(p.points[0]);
                cairo_rectangle(cr, std::floor(d.x) - 1, std::floor(d.y) - 1, 2, 2);
                cairo_fill(cr);
                break;
            }
            case Prim::Kind::Text:
                Text(*p.text);
                break;
        }
    }

    // The rows (or columns) whose bands meet [lo, hi] of edges (ascending).
    static std::pair<int, int> Bands(const std::vector<double>& edges, double lo, double hi) {
        const int n = int(edges.size()) - 1;
        int first = int(std::upper_bound(edges.begin(), edges.end(), lo) - edges.begin()) - 1;
        int last = int(std::lower_bound(edges.begin(), edges.end(), hi) - edges.begin()) - 1;
        return {std::clamp(first, 0, n - 1), std::clamp(last, 0, n - 1)};
    }

    void Table(const TableGrid& g, bool highlighted, const CellRef* cell) {
        const AcDbTable* table = g.Table();
        if (!table || g.rowTop.size() < 2 || g.columnLeft.size() < 2)
            return;
        // The visible box in the table's frame (x along, y down from the top edge).
        const Affine toTable = g.place.Inverse();
        Box local;
        for (Point c : {Point{visible.minX, visible.minY}, Point{visible.maxX, visible.minY},
                        Point{visible.maxX, visible.maxY}, Point{visible.minX, visible.maxY}}) {
            const Point t = toTable.Apply(c);
            local.Add(Point{t.x, -t.y});
        }
        const double w = g.columnLeft.back(), h = g.rowTop.back();
        if (local.maxX < 0 || local.minX > w || local.maxY < 0 || local.minY > h)
            return;
        const auto [r0, r1] = Bands(g.rowTop, local.minY, local.maxY);
        const auto [c0, c1] = Bands(g.columnLeft, local.minX, local.maxX);
        const double x0 = g.columnLeft[c0], x1 = g.columnLeft[c1 + 1];
        const double y0 = g.rowTop[r0], y1 = g.rowTop[r1 + 1];
        auto at = [&](double x, double y) { return g.place.Apply({x, -y}); };
        // Units of the table frame per pixel along its rows and columns.
        const double scale = std::sqrt(std::fabs(g.place.Determinant())) * view.pixelsPerUnit;
        const double pitch = kLinePitchPx / std::max(scale, 1e-300);

        // The highlighted cell under the grid.
        if (cell && cell->Valid() && cell->row < int(g.rowTop.size()) - 1 &&
            cell->column < int(g.columnLeft.size()) - 1) {
            int rr0 = cell->row, rr1 = cell->row, cc0 = cell->column, cc1 = cell->column;
            for (const CellRange& m : g.merged) {
                if (cell->row >= m.minRow && cell->row <= m.maxRow && cell->column >= m.minColumn &&
                    cell->column <= m.maxColumn) {
                    rr0 = m.minRow, rr1 = m.maxRow, cc0 = m.minColumn, cc1 = m.maxColumn;
                }
            }
            MoveTo(at(g.columnLeft[cc0], g.rowTop[rr0]));
            LineTo(at(g.columnLeft[cc1 + 1], g.rowTop[rr0]));
            LineTo(at(g.columnLeft[cc1 + 1], g.rowTop[rr1 + 1]));
            LineTo(at(g.columnLeft[cc0], g.rowTop[rr1 + 1]));
            cairo_close_path(cr);
            cairo_set_source_rgba(cr, kHighlight.r, kHighlight.g, kHighlight.b, 0.45);
            cairo_fill(cr);
        }

        SetColor(highlighted ? kHighlight : g.color);
        // Whether the line between two cells is hidden by a merged range holding both.
        auto inside = [&](int ra, int ca, int rb, int cb) {
            for (const CellRange& m : g.merged) {
                if (ra >= m.minRow && ra <= m.maxRow && rb >= m.minRow && rb <= m.maxRow &&
                    ca >= m.minColumn && ca <= m.maxColumn && cb >= m.minColumn &&
                    cb <= m.maxColumn)
                    return true;
            }
            return false;
        };
        // Row edges r0 .. r1+1, then column edges c0 .. c1+1.
        double last = -1e300;
        for (int r = r0; r <= r1 + 1; ++r) {
            const double y = g.rowTop[r];
            if (y - last < pitch && r != int(g.rowTop.size()) - 1)
                continue;
            last = y;
            if (g.merged.empty() || r == 0 || r == int(g.rowTop.size()) - 1) {
                MoveTo(at(x0, y));
                LineTo(at(x1, y));
                continue;
            }
            for (int c = c0; c <= c1; ++c) {
                if (inside(r - 1, c, r, c))
                    continue;
                MoveTo(at(g.columnLeft[c], y));
                LineTo(at(g.columnLeft[c + 1], y));
            }
        }
        last = -1e300;
        for (int c = c0; c <= c1 + 1; ++c) {
            const double x = g.columnLeft[c];
            if (x - last < pitch && c != int(g.columnLeft.size()) - 1)
                continue;
            last = x;
            if (g.merged.empty() || c == 0 || c == int(g.columnLeft.size()) - 1) {
                MoveTo(at(x, y0));
                LineTo(at(x, y1));
                continue;
            }
            for (int r = r0; r <= r1; ++r) {
                if (inside(r, c - 1, r, c))
                    continue;
                MoveTo(at(x, g.rowTop[r]));
                LineTo(at(x, g.rowTop[r + 1]));
            }
        }
        cairo_stroke(cr);

        // Cell texts, attached at the top left inside the margins, wrapped to the cell.
        if (g.textHeight * scale < kSmallestTextPx)
            return;
        const double cap = kCapHeightEm * kLayoutPx;
        const double k = g.textHeight / cap;
        auto drawCell = [&](int r, int c, int lastColumn) {
            const CStringA value = table->textStringA(r, c);
            if (value.IsEmpty())
                return;
            TextPrim t;
            t.text = TextPlain(std::string(value.View()));
            const double wrap = g.columnLeft[lastColumn + 1] - g.columnLeft[c] - 2 * g.horzMargin;
            t.wrapWidthPx = std::max(wrap, 1e-6) / k;
            t.lineSpacing = (5.0 / 3.0) * kCapHeightEm / 1.164;
            t.heightUnits = g.textHeight * std::sqrt(std::fabs(g.place.Determinant()));
            // The first line's cap top at the margin: layout y of its top is baseline - cap.
            const double baseline = FirstBaselinePx();
            const double left = g.columnLeft[c] + g.horzMargin;
            const double top = g.rowTop[r] + g.vertMargin;
            t.place = Affine{k, 0, 0, -k, left, -top + (baseline - cap) * k}.Then(g.place);
            Text(t);
            SetColor(highlighted ? kHighlight : g.color);
        };
        SetColor(highlighted ? kHighlight : g.color);
        for (int r = r0; r <= r1; ++r) {
            for (int c = c0; c <= c1; ++c) {
                int lastColumn = c;
                bool shown = true;
                for (const CellRange& m : g.merged) {
                    if (r >= m.minRow && r <= m.maxRow && c >= m.minColumn && c <= m.maxColumn) {
                        shown = r == m.minRow && c == m.minColumn;
                        lastColumn = m.maxColumn;
                    }
                }
                if (shown)
                    drawCell(r, c, lastColumn);
            }
        }
        // Merged ranges whose top-left cell lies outside the visible cells show their text
        // too.
        for (const CellRange& m : g.merged) {
            if ((m.minRow < r0 || m.minColumn < c0) && m.maxRow >= r0 && m.minRow <= r1 &&
                m.maxColumn >= c0 && m.minColumn <= c1)
                drawCell(m.minRow, m.minColumn, m.maxColumn);
        }
    }

    void Item(const render::Item& item, bool highlighted) {
        for (const auto& p : item.prims)
            if (!p.points.empty())
                Prim(p, highlighted);
        for (const auto& t : item.tables) {
            const CellRef* cell = nullptr;
            if (options.highlightedCell.Valid() && options.highlightedCell.table == t.id &&
                !t.id.isNull())
                cell = &options.highlightedCell;
            Table(t, highlighted, cell);
        }
    }
};

double SegmentDistance(Point p, Point a, Point b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

bool InsidePolygon(Point p, const std::vector<Point>& poly) {
    bool in = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= poly.size(); ++i) {
        if (i == poly.size() || std::isnan(poly[i].x)) {
            // Ring [start, i).
            for (std::size_t a = start, b = i - 1; a < i; b = a++) {
                const Point& pa = poly[a];
                const Point& pb = poly[b];
                if ((pa.y > p.y) != (pb.y > p.y) &&
                    p.x < (pb.x - pa.x) * (p.y - pa.y) / (pb.y - pa.y) + pa.x)
                    in = !in;
            }
            start = i + 1;
        }
    }
    return in;
}

// Whether p (drawing coordinates) lies within tol of a primitive.
bool Touches(const Prim& prim, Point p, double tol) {
    const auto& pts = prim.points;
    switch (prim.kind) {
        case Prim::Kind::Stroke:
            if (pts.size() == 1)
                return std::hypot(p.x - pts[0].x, p.y - pts[0].y) <= tol;
            for (std::size_t i = 0; i + 1 < pts.size(); ++i)
                if (SegmentDistance(p, pts[i], pts[i + 1]) <= tol)
                    return true;
            return prim.closed && pts.size() > 2 &&
                   SegmentDistance(p, pts.back(), pts.front()) <= tol;
        case Prim::Kind::Dot:
            return std::hypot(p.x - pts[0].x, p.y - pts[0].y) <= tol;
        case Prim::Kind::Fill:
        case Prim::Kind::Text:
            if (InsidePolygon(p, pts))
                return true;
            for (std::size_t i = 0; i < pts.size(); ++i) {
                const Point& a = pts[i];
                const Point& b = pts[(i + 1) % pts.size()];
                if (!std::isnan(a.x) && !std::isnan(b.x) && SegmentDistance(p, a, b) <= tol)
                    return true;
            }
            return false;
    }
    return false;
}

// The cell of a table under p, within tol; false when p is off the table.
bool CellAt(const TableGrid& g, Point p, double tol, int& row, int& column) {
    const Affine toTable = g.place.Inverse();
    const double scale = std::sqrt(std::fabs(toTable.Determinant()));
    const Point t = toTable.Apply(p);
    const double x = t.x, y = -t.y, tl = tol * scale;
    const double w = g.columnLeft.back(), h = g.rowTop.back();
    if (x < -tl || x > w + tl || y < -tl || y > h + tl)
        return false;
    // Band edges: a point on an edge belongs to the band below it.
    row = int(std::upper_bound(g.rowTop.begin(), g.rowTop.end(), std::clamp(y, 0.0, h)) -
              g.rowTop.begin()) -
          1;
    column = int(std::upper_bound(g.columnLeft.begin(), g.columnLeft.end(), std::clamp(x, 0.0, w)) -
                 g.columnLeft.begin()) -
             1;
    row = std::clamp(row, 0, int(g.rowTop.size()) - 2);
    column = std::clamp(column, 0, int(g.columnLeft.size()) - 2);
    for (const CellRange& m : g.merged) {
        if (row >= m.minRow && row <= m.maxRow && column >= m.minColumn && column <= m.maxColumn) {
            row = m.minRow;
            column = m.minColumn;
            break;
        }
    }
    return true;
}

Box DeviceToDrawing(const View& view, const Box& device) {
    Box b;
    if (device.Empty())
        return b;
    b.Add(view.ToDrawing({device.minX, device.minY}));
    b.Add(view.ToDrawing({device.maxX, device.maxY}));
    return b;
}

}  // namespace

Box SpaceExtents(AcDbDatabase& db, bool paperSpace) {
    return SceneOf(db, paperSpace)->extents;
}

void Draw(cairo_t* cr, AcDbDatabase& db, const View& view, const Options& options) {
    const std::shared_ptr<const Scene> scene = SceneOf(db, options.paperSpace);
    cairo_save(cr);
    const double bg = options.darkBackground ? 0.0 : 1.0;
    cairo_set_source_rgb(cr, bg, bg, bg);
    cairo_rectangle(cr, 0, 0, view.widthPx, view.heightPx);
    cairo_fill(cr);
    cairo_set_line_width(cr, 1.0);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);

    Painter painter{cr, view, options, view.VisibleBox()};
    std::vector<AcDbObjectId> highlighted = options.highlighted;
    std::sort(highlighted.begin(), highlighted.end());
    // An entity of the drawing being moved shows only where it is going.
    const AcDbObjectId moving = options.preview ? options.preview->objectId() : AcDbObjectId();
    for (std::uint32_t i : scene->Query(painter.visible)) {
        const Item& item = scene->items[i];
        if (!moving.isNull() && item.id == moving)
            continue;
        const bool lit = std::binary_search(highlighted.begin(), highlighted.end(), item.id);
        if (lit) {
            const double dash[] = {6, 3};
            cairo_set_dash(cr, dash, 2, 0);
            cairo_set_line_width(cr, 2.0);
        }
        painter.Item(item, lit);
        if (lit) {
            cairo_set_dash(cr, nullptr, 0, 0);
            cairo_set_line_width(cr, 1.0);
        }
    }
    if (options.preview) {
        Item preview = ItemOfEntity(db, options.preview, options.previewOffset);
        painter.Item(preview, false);
    }
    cairo_restore(cr);
}

Hit PickAt(AcDbDatabase& db, const View& view, Point device, double tolerancePx, bool paperSpace) {
    const std::shared_ptr<const Scene> scene = SceneOf(db, paperSpace);
    const Point p = view.ToDrawing(device);
    const double tol = std::max(tolerancePx, 0.0) / view.pixelsPerUnit;
    Box near;
    near.Add(Point{p.x - tol, p.y - tol});
    near.Add(Point{p.x + tol, p.y + tol});
    const std::vector<std::uint32_t> candidates = scene->Query(near);
    for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
        const Item& item = scene->items[*it];
        for (const TableGrid& g : item.tables) {
            int row = -1, column = -1;
            if (CellAt(g, p, tol, row, column))
                return {item.id, {g.id, row, column}};
        }
        for (const Prim& prim : item.prims)
            if (!prim.points.empty() && Touches(prim, p, tol))
                return {item.id, {}};
    }
    return {};
}

std::vector<AcDbObjectId> EntitiesInWindow(AcDbDatabase& db, const View& view, Box device,
                                           bool crossing, bool paperSpace) {
    const std::shared_ptr<const Scene> scene = SceneOf(db, paperSpace);
    const Box window = DeviceToDrawing(view, device);
    std::vector<AcDbObjectId> out;
    for (std::uint32_t i : scene->Query(window)) {
        const Item& item = scene->items[i];
        if (crossing ? item.box.Intersects(window) : window.Contains(item.box))
            out.push_back(item.id);
    }
    return out;
}

bool FormatOfPath(const std::string& path, Format& format) {
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return false;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (ext == "png")
        format = Format::Png;
    else if (ext == "svg")
        format = Format::Svg;
    else if (ext == "pdf")
        format = Format::Pdf;
    else
        return false;
    return true;
}

namespace {

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

bool Export(AcDbDatabase& db, const std::string& path, Format format, const View& view,
            const Options& options, std::string& error) {
    if (view.widthPx < 1 || view.heightPx < 1 || view.widthPx > 30000 || view.heightPx > 30000) {
        error = "cannot export " + path + ": the picture size " + std::to_string(view.widthPx) +
                " x " + std::to_string(view.heightPx) + " is out of range (1 to 30000 pixels)";
        return false;
    }
    std::string bytes;
    cairo_surface_t* surface = nullptr;
    switch (format) {
        case Format::Png:
            surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, view.widthPx, view.heightPx);
            break;
        case Format::Svg:
            surface = cairo_svg_surface_create_for_stream(AppendBytes, &bytes, view.widthPx,
                                                          view.heightPx);
            break;
        case Format::Pdf:
            surface = cairo_pdf_surface_create_for_stream(AppendBytes, &bytes, view.widthPx,
                                                          view.heightPx);
            break;
    }
    cairo_t* cr = cairo_create(surface);
    Draw(cr, db, view, options);
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    if (format == Format::Png && status == CAIRO_STATUS_SUCCESS)
        status = cairo_surface_write_to_png_stream(surface, AppendBytes, &bytes);
    cairo_surface_finish(surface);
    if (status == CAIRO_STATUS_SUCCESS)
        status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        error = "cannot export " + path + ": " + cairo_status_to_string(status);
        return false;
    }
    dxf::SaveTarget target;
    target.verb = "export";
    return dxf::SaveFileAtomically(
        path, [&](const dxf::ByteSink& sink) { sink(bytes); }, error, target);
}

}  // namespace host::render
