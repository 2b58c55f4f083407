// Drawing the entities of a space with cairo: to a window's surface, to PNG, SVG and PDF
// files, and the hit tests of a mouse pointer (picking an entity or a table cell, window and
// crossing selection).
//
// What is drawn: tables (grid lines and cell texts from the table model), block references
// (nested, scaled and rotated, with their attributes) and the entities the database keeps
// verbatim as raw entities: LINE, ARC, CIRCLE, ELLIPSE, LWPOLYLINE, POLYLINE with its VERTEX
// parts, SPLINE (through its fit or control points), POINT, SOLID, TEXT, MTEXT and the
// boundaries of HATCH. Colours are the entity's colour index or true colour, BYLAYER the
// layer's (from the drawing's LAYER records); index 7 is white on a dark background and black
// on a light one. Texts are laid out by pango.
//
// Culling: each space has an index of its entities' boxes (and a table's rows by their y
// range), built on first use and rebuilt when the database has changed since, so a frame of a
// zoomed-in view touches only what it shows.
#pragma once

#include <cairo.h>

#include <limits>
#include <string>
#include <vector>

#include "platform/dbmain.h"

class AcDbDatabase;
class AcDbEntity;

namespace host::render {

struct Point {
    double x = 0, y = 0;
};

// An axis-aligned box; empty until something is added.
struct Box {
    double minX = std::numeric_limits<double>::infinity();
    double minY = std::numeric_limits<double>::infinity();
    double maxX = -std::numeric_limits<double>::infinity();
    double maxY = -std::numeric_limits<double>::infinity();

    bool Empty() const;
    void Add(Point p);
    void Add(const Box& b);
    bool Intersects(const Box& b) const;
    // Whether b lies wholly inside this box (an empty b never does).
    bool Contains(const Box& b) const;
    double Width() const { return Empty() ? 0 : maxX - minX; }
    double Height() const { return Empty() ? 0 : maxY - minY; }
};

// Drawing coordinates to device pixels: the drawing point `center` sits in the middle of a
// widthPx x heightPx picture, pixelsPerUnit pixels per drawing unit, drawing y up, device y
// down.
struct View {
    Point center;
    double pixelsPerUnit = 1;
    int widthPx = 800, heightPx = 600;

    Point ToDevice(Point drawing) const;
    Point ToDrawing(Point device) const;
    Box VisibleBox() const;  // the drawing area the picture shows
    // The view that shows extents whole, centred, with marginPx pixels left free around it
    // (an empty box gives the unit view around the origin).
    static View Fit(const Box& extents, int widthPx, int heightPx, double marginPx = 16);
    void ZoomAt(Point device, double factor);  // keeps the drawing point under device fixed
    void PanBy(double dxPx, double dyPx);
};

struct CellRef {
    AcDbObjectId table;
    int row = -1, column = -1;
    bool Valid() const { return !table.isNull() && row >= 0 && column >= 0; }
};

struct Options {
    bool paperSpace = false;                // model space otherwise
    bool darkBackground = true;             // black background as CAD programs (white for exports)
    std::vector<AcDbObjectId> highlighted;  // drawn highlighted (selection, picked entity)
    CellRef highlightedCell;                // a table cell drawn highlighted
    // Drawn on top, displaced (e.g. a table being placed); when it is an entity of the
    // drawing, it is drawn only there.
    const AcDbEntity* preview = nullptr;
    Point previewOffset;  // displacement of the preview
};

// The box of every entity of a space (empty for an empty space).
Box SpaceExtents(AcDbDatabase& db, bool paperSpace = false);

// Draws the space into cr (already sized widthPx x heightPx): the background, then what
// intersects the visible box, then the preview.
void Draw(cairo_t* cr, AcDbDatabase& db, const View& view, const Options& options);

struct Hit {
    AcDbObjectId entity;  // null: nothing there
    CellRef cell;         // set when a table cell was hit
};
// The entity under a device point (the topmost, that is the last drawn), within tolerancePx.
Hit PickAt(AcDbDatabase& db, const View& view, Point device, double tolerancePx = 4,
           bool paperSpace = false);

// Window (inside) or crossing (touching) selection of a device rectangle, in drawing order.
std::vector<AcDbObjectId> EntitiesInWindow(AcDbDatabase& db, const View& view, Box device,
                                           bool crossing, bool paperSpace = false);

enum class Format { Png, Svg, Pdf };
// The format a file name's extension names (.png, .svg, .pdf, case ignored); false otherwise.
bool FormatOfPath(const std::string& path, Format& format);

// Renders the view to a file, atomically: a failed export leaves an existing file as it was.
// False with the reason in error.
bool Export(AcDbDatabase& db, const std::string& path, Format format, const View& view,
            const Options& options, std::string& error);

}  // namespace host::render
