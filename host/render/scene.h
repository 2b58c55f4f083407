// The drawing as the renderer keeps it between frames: every entity of a space turned into
// simple primitives in drawing coordinates (strokes, fills, texts, dots) with its box, tables
// kept as their grid for drawing only the visible rows and columns, and a grid index of the
// boxes. Private to the renderer.
#pragma once

#include <pango/pangocairo.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/db/hostdb.h"
#include "host/dxf/text_codes.h"
#include "host/render/render.h"

class AcDbTable;

namespace host::render {

// An affine map of the plane: x' = xx*x + xy*y + x0, y' = yx*x + yy*y + y0.
struct Affine {
    double xx = 1, yx = 0, xy = 0, yy = 1, x0 = 0, y0 = 0;

    Point Apply(Point p) const { return {xx * p.x + xy * p.y + x0, yx * p.x + yy * p.y + y0}; }
    Point ApplyVector(Point v) const { return {xx * v.x + xy * v.y, yx * v.x + yy * v.y}; }
    // this after inner (inner applies first).
    Affine Then(const Affine& outer) const;
    Affine Inverse() const;  // the identity when not invertible
    double Determinant() const { return xx * yy - xy * yx; }
    static Affine Translate(double dx, double dy) { return {1, 0, 0, 1, dx, dy}; }
    static Affine Scale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
    static Affine Rotate(double radians);
};

// A colour as drawn; index 7 (foreground) follows the background.
struct Color {
    double r = 1, g = 1, b = 1;
    bool foreground = false;
};
// The colour of an ACI index (1 to 255; 7 gives the foreground colour).
Color AciColor(int index);

// Text laid out by pango, placed by an affine map from layout pixels to drawing units.
struct TextPrim {
    std::string text;         // plain text, lines separated by '\n'
    Affine place;             // layout pixels (y down) to drawing coordinates
    double wrapWidthPx = -1;  // layout width for word wrapping (-1: none)
    PangoAlignment align = PANGO_ALIGN_LEFT;
    double lineSpacing = 1;  // factor of the font's line height
    double heightUnits = 0;  // the text height in drawing units (for skipping tiny text)
};

struct Prim {
    enum class Kind : std::uint8_t { Stroke, Fill, Text, Dot };
    Kind kind = Kind::Stroke;
    bool closed = false;
    Color color;
    std::vector<Point> points;  // Stroke, Fill (several rings split by a NaN point), Dot (one);
                                // Text: its box as four corners
    std::shared_ptr<TextPrim> text;
};

// A table drawn from its model: a local frame (x along the rows, y up, the top-left corner at
// the origin; rows go toward negative y) and the band edges of its rows and columns.
struct TableGrid {
    AcDbObjectId id;
    const AcDbTable* direct = nullptr;  // a table not in the database (a preview)
    Affine place;                       // table frame to drawing coordinates
    std::vector<double> rowTop;         // rows+1 edges, 0 then the heights summed (downward)
    std::vector<double> columnLeft;     // columns+1 edges
    std::vector<CellRange> merged;
    double textHeight = 2.5, horzMargin = 0.6, vertMargin = 0.6;
    Color color;
    const AcDbTable* Table() const;
};

struct Item {
    AcDbObjectId id;  // the entity of the space (a block reference for its contents)
    Box box;
    std::vector<Prim> prims;
    std::vector<TableGrid> tables;
};

struct Scene {
    std::uint64_t serial = 0;
    const AcDbDatabase* db = nullptr;
    bool paperSpace = false;
    std::vector<Item> items;  // in drawing order
    Box extents;
    // The grid index: cells of the extents, each listing the items whose box meets it.
    int gridColumns = 0, gridRows = 0;
    std::vector<std::vector<std::uint32_t>> cells;
    std::vector<std::uint32_t> large;  // items spanning many cells, checked always
    // The indices of the items whose boxes meet b, in drawing order.
    std::vector<std::uint32_t> Query(const Box& b) const;
};

// The scene of a space, built when the database changed since the last call (shared: the next
// call may replace it, the returned pointer keeps this one alive).
std::shared_ptr<const Scene> SceneOf(AcDbDatabase& db, bool paperSpace);
// Primitives of one entity that need not be in a database (a preview), displaced.
Item ItemOfEntity(AcDbDatabase& db, const AcDbEntity* entity, Point offset);

// Text: the plain text of MTEXT contents and of single-line texts (see text_codes.h).
using dxf::MTextPlain;
using dxf::TextPlain;

// The shared pango context for measuring (hinting off, so that sizes scale).
PangoContext* MeasureContext();
// A layout of text at the layout size (kLayoutPx pixels per em).
PangoLayout* NewLayout(PangoContext* context, const TextPrim& text);
inline constexpr double kLayoutPx = 100;
// The cap height of the text font in em (drawing text heights are cap heights).
inline constexpr double kCapHeightEm = 0.729;

}  // namespace host::render
