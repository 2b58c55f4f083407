// The renderer on small drawings made through the database: pictures checked by their pixels
// (where a line is, which colour it has, which cell a text lies in), culling seen on a
// recording surface, picking, window selection and the exported files.
#include "host/render/render.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "host/db/hostdb.h"
#include "host/render/scene.h"
#include "platform/dbmain.h"
#include "platform/dbtable.h"

namespace {

using host::DxfGroup;
using namespace host::render;
namespace fs = std::filesystem;

struct Rgb {
    int r, g, b;
};

// A picture rendered into an image surface.
class Picture {
public:
    Picture(AcDbDatabase& db, const View& view, const Options& options)
        : m_surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, view.widthPx, view.heightPx)) {
        cairo_t* cr = cairo_create(m_surface);
        Draw(cr, db, view, options);
        cairo_destroy(cr);
        cairo_surface_flush(m_surface);
    }
    ~Picture() { cairo_surface_destroy(m_surface); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    int Width() const { return cairo_image_surface_get_width(m_surface); }
    int Height() const { return cairo_image_surface_get_height(m_surface); }
    Rgb At(int x, int y) const {
        const unsigned char* row =
            cairo_image_surface_get_data(m_surface) + y * cairo_image_surface_get_stride(m_surface);
        const std::uint32_t px = reinterpret_cast<const std::uint32_t*>(row)[x];
        return {int((px >> 16) & 0xFF), int((px >> 8) & 0xFF), int(px & 0xFF)};
    }
    // Pixels in [x0, x1) x [y0, y1) that are not the background.
    int InkIn(int x0, int y0, int x1, int y1, Rgb background) const {
        int n = 0;
        for (int y = std::max(y0, 0); y < std::min(y1, Height()); ++y)
            for (int x = std::max(x0, 0); x < std::min(x1, Width()); ++x) {
                const Rgb p = At(x, y);
                if (std::abs(p.r - background.r) + std::abs(p.g - background.g) +
                        std::abs(p.b - background.b) >
                    60)
                    ++n;
            }
        return n;
    }
    // Whether a pixel near (x, y) (within radius) is close to the colour.
    bool Near(double x, double y, Rgb want, int radius = 1) const {
        for (int dy = -radius; dy <= radius; ++dy)
            for (int dx = -radius; dx <= radius; ++dx) {
                const int px = int(std::floor(x)) + dx, py = int(std::floor(y)) + dy;
                if (px < 0 || py < 0 || px >= Width() || py >= Height())
                    continue;
                const Rgb p = At(px, py);
                if (std::abs(p.r - want.r) < 60 && std::abs(p.g - want.g) < 60 &&
                    std::abs(p.b - want.b) < 60)
                    return true;
            }
        return false;
    }

private:
    cairo_surface_t* m_surface;
};

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

constexpr Rgb kWhite{255, 255, 255}, kBlack{0, 0, 0}, kRed{255, 0, 0}, kGreen{0, 255, 0},
    kBlue{0, 0, 255};

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override { db = std::make_unique<AcDbDatabase>(); }

    AcDbObjectId Append(AcDbEntity* e, const std::string& layer = "0") {
        e->state()->layer = layer;
        AcDbObjectId id;
        EXPECT_EQ(host::AppendEntity(db.get(), db->modelSpaceId(), e, AcDbHandle(), &id),
                  Acad::eOk);
        return id;
    }
    AcDbObjectId Raw(const std::string& type, std::vector<DxfGroup> groups,
                     const std::string& layer = "0") {
        return Append(new host::RawEntity(type, std::move(groups)), layer);
    }
    AcDbObjectId Line(double x1, double y1, double x2, double y2, int color = 256,
                      const std::string& layer = "0") {
        std::vector<DxfGroup> g{{100, "AcDbEntity"}};
        if (color != 256)
            g.push_back({62, std::to_string(color)});
        g.insert(g.end(), {{100, "AcDbLine"},
                           {10, std::to_string(x1)},
                           {20, std::to_string(y1)},
                           {30, "0"},
                           {11, std::to_string(x2)},
                           {21, std::to_string(y2)},
                           {31, "0"}});
        return Raw("LINE", g, layer);
    }
    AcDbObjectId Layer(const std::string& name, int color, int flags = 0) {
        auto* raw = new host::RawObject("LAYER", {{100, "AcDbSymbolTableRecord"},
                                                  {100, "AcDbLayerTableRecord"},
                                                  {2, name},
                                                  {70, std::to_string(flags)},
                                                  {62, std::to_string(color)}});
        AcDbObjectId id;
        EXPECT_EQ(host::AddObject(db.get(), raw, AcDbObjectId(), AcDbHandle(), &id), Acad::eOk);
        return id;
    }
    // A table with its top-left corner at (x, y), equal rows and columns.
    AcDbObjectId Table(double x, double y, int rows, int columns, double rowHeight,
                       double columnWidth) {
        auto* t = new AcDbTable;
        EXPECT_EQ(t->setNumRows(rows), Acad::eOk);
        EXPECT_EQ(t->setNumColumns(columns), Acad::eOk);
        for (int r = 0; r < rows; ++r)
            t->setRowHeight(r, rowHeight);
        t->setColumnWidth(columnWidth);
        t->setPosition(AcGePoint3d(x, y, 0));
        return Append(t);
    }
    // A view of 200 x 200 pixels, 1 pixel per unit, showing 0..200 both ways.
    static View Unit() {
        View v;
        v.widthPx = v.heightPx = 200;
        v.center = {100, 100};
        return v;
    }
    static Options Light() {
        Options o;
        o.darkBackground = false;
        return o;
    }

    std::unique_ptr<AcDbDatabase> db;
};

TEST(ViewTest, MapsBothWaysAndKeepsTheZoomPoint) {
    View v;
    v.center = {50, 20};
    v.pixelsPerUnit = 4;
    v.widthPx = 400, v.heightPx = 300;
    const Point d = v.ToDevice({50, 20});
    EXPECT_DOUBLE_EQ(d.x, 200);
    EXPECT_DOUBLE_EQ(d.y, 150);
    const Point up = v.ToDevice({50, 30});  // drawing y up is device y down
    EXPECT_DOUBLE_EQ(up.y, 110);
    const Box vis = v.VisibleBox();
    EXPECT_DOUBLE_EQ(vis.minX, 0);
    EXPECT_DOUBLE_EQ(vis.maxX, 100);
    EXPECT_DOUBLE_EQ(vis.minY, 20 - 37.5);

    const Point under = v.ToDrawing({37, 251});
    v.ZoomAt({37, 251}, 2.5);
    const Point after = v.ToDevice(under);
    EXPECT_NEAR(after.x, 37, 1e-9);
    EXPECT_NEAR(after.y, 251, 1e-9);
    EXPECT_DOUBLE_EQ(v.pixelsPerUnit, 10);

    const Point before = v.ToDevice({0, 0});
    v.PanBy(15, -7);
    const Point moved = v.ToDevice({0, 0});
    EXPECT_NEAR(moved.x - before.x, 15, 1e-9);
    EXPECT_NEAR(moved.y - before.y, -7, 1e-9);
}

TEST(ViewTest, FitsExtentsInsideTheMargins) {
    struct Case {
        Box extents;
        int w, h;
        double ppu;
    };
    Box wide, tall, dot, empty;
    wide.Add(Point{0, 0}), wide.Add(Point{100, 10});
    tall.Add(Point{-5, -50}), tall.Add(Point{5, 50});
    dot.Add(Point{3, 3});
    const Case cases[] = {
        {wide, 232, 232, 2.0},   // (232 - 32) / 100
        {tall, 400, 132, 1.0},   // (132 - 32) / 100
        {dot, 100, 100, 1.0},    // nothing to fit: unit scale around the point
        {empty, 100, 100, 1.0},  // empty drawing
    };
    for (const Case& c : cases) {
        const View v = View::Fit(c.extents, c.w, c.h, 16);
        EXPECT_DOUBLE_EQ(v.pixelsPerUnit, c.ppu);
        if (!c.extents.Empty()) {
            const Point lo = v.ToDevice({c.extents.minX, c.extents.minY});
            const Point hi = v.ToDevice({c.extents.maxX, c.extents.maxY});
            EXPECT_GE(lo.x, 16 - 1e-9);
            EXPECT_LE(hi.x, c.w - 16 + 1e-9);
            EXPECT_LE(lo.y, c.h - 16 + 1e-9);
            EXPECT_GE(hi.y, 16 - 1e-9);
        }
    }
}

TEST(BoxTest, EmptyBoxesNeverMeet) {
    Box a, b;
    EXPECT_TRUE(a.Empty());
    EXPECT_FALSE(a.Intersects(a));
    a.Add(Point{0, 0});
    a.Add(Point{10, 10});
    EXPECT_FALSE(a.Intersects(b));
    EXPECT_FALSE(a.Contains(b));
    b.Add(Point{10, 10});  // touching at a corner counts
    EXPECT_TRUE(a.Intersects(b));
    EXPECT_TRUE(a.Contains(b));
    b.Add(Point{11, 5});
    EXPECT_FALSE(a.Contains(b));
}

TEST(TextTest, FormattingCodesBecomePlainText) {
    const std::pair<const char*, const char*> mtext[] = {
        {"one\\Ptwo", "one\ntwo"},
        {"{\\fArial|b1;bold} and {\\H2x;big}", "bold and big"},
        {"a\\~b", "a\u00A0b"},
        {"\\LUnder\\l \\Oover\\o", "Under over"},
        {"1\\S1^2; in", "11/2 in"},
        {"\\C1;red \\c255;x", "red x"},
        {"\\\\path\\{x\\}", "\\path{x}"},
        {"\\U+00E9t\\U+00E9", "\u00E9t\u00E9"},
        {"%%c50 %%d %%p0.1", "\u230050 \u00B0 \u00B10.1"},
        {"\\pxqc;centred\\Pnext", "centred\nnext"},
        {"trailing \\", "trailing \\"},
    };
    for (const auto& [in, want] : mtext)
        EXPECT_EQ(MTextPlain(in), want) << in;
    const std::pair<const char*, const char*> text[] = {
        {"%%c20", "\u230020"},
        {"100%%%", "100%"},
        {"%%uunderlined%%u", "underlined"},
        {"%%176", "\u00B0"},
        {"50%", "50%"},
        {"a\\Pb", "a\\Pb"},  // single-line texts keep backslashes
    };
    for (const auto& [in, want] : text)
        EXPECT_EQ(TextPlain(in), want) << in;
}

TEST_F(RenderTest, LineIsDrawnWhereItLiesInItsColour) {
    Line(20, 50, 180, 50, 1);  // red, y = 50 is device row 150
    const Picture p(*db, Unit(), Light());
    EXPECT_TRUE(p.Near(100, 150, kRed));
    EXPECT_TRUE(p.Near(25, 150, kRed));
    EXPECT_FALSE(p.Near(100, 140, kRed, 3));
    EXPECT_FALSE(p.Near(10, 150, kRed));  // before its start
    EXPECT_EQ(p.At(100, 100).r, 255);     // background
    EXPECT_EQ(p.At(100, 100).g, 255);
}

TEST_F(RenderTest, ColoursFollowIndexLayerAndTrueColour) {
    Layer("Walls", 3);                    // green
    Layer("Hidden", -5);                  // off
    Layer("Frozen", 5, 1);                // frozen
    Line(10, 10, 190, 10, 256, "Walls");  // by layer: green
    Line(10, 30, 190, 30, 5, "Walls");    // own index wins: blue
    Line(10, 50, 190, 50, 256, "walls");  // layer names ignore case
    Line(10, 70, 190, 70, 256, "Hidden");
    Line(10, 90, 190, 90, 256, "Frozen");
    Raw("LINE", {{100, "AcDbEntity"},
                 {62, "1"},
                 {420, "16711935"},  // 0xFF00FF: true colour beats the index
                 {100, "AcDbLine"},
                 {10, "10"},
                 {20, "110"},
                 {11, "190"},
                 {21, "110"}});
    Line(10, 130, 190, 130, 7);  // foreground
    Line(10, 150, 190, 150);     // layer 0 without a record: foreground

    const Picture light(*db, Unit(), Light());
    EXPECT_TRUE(light.Near(100, 190, kGreen));
    EXPECT_TRUE(light.Near(100, 170, kBlue));
    EXPECT_TRUE(light.Near(100, 150, kGreen));
    EXPECT_EQ(light.InkIn(0, 125, 200, 135, kWhite), 0) << "a line on a layer that is off";
    EXPECT_EQ(light.InkIn(0, 105, 200, 115, kWhite), 0) << "a line on a frozen layer";
    EXPECT_TRUE(light.Near(100, 90, Rgb{255, 0, 255}));
    EXPECT_TRUE(light.Near(100, 70, kBlack));
    EXPECT_TRUE(light.Near(100, 50, kBlack));

    Options dark;
    const Picture darkPicture(*db, Unit(), dark);
    EXPECT_TRUE(darkPicture.Near(100, 70, kWhite));
    EXPECT_EQ(darkPicture.At(100, 60).r, 0);
}

TEST_F(RenderTest, ChangedLayerColourShowsInTheNextFrame) {
    const AcDbObjectId layer = Layer("Walls", 3);
    Line(10, 100, 190, 100, 256, "Walls");
    {
        const Picture p(*db, Unit(), Light());
        EXPECT_TRUE(p.Near(100, 100, kGreen));
    }
    AcDbObject* obj = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(obj, layer, AcDb::kForWrite), Acad::eOk);
    for (auto& g : static_cast<host::RawObject*>(obj)->groups)
        if (g.code == 62)
            g.value = "1";
    obj->close();
    const Picture p(*db, Unit(), Light());
    EXPECT_TRUE(p.Near(100, 100, kRed));
    EXPECT_FALSE(p.Near(100, 100, kGreen));
}

TEST_F(RenderTest, ExtentsOfCurvesTextsAndBlockReferences) {
    Raw("CIRCLE", {{10, "10"}, {20, "20"}, {40, "5"}});
    Box b = SpaceExtents(*db);
    EXPECT_NEAR(b.minX, 5, 1e-6);
    EXPECT_NEAR(b.maxX, 15, 1e-6);
    EXPECT_NEAR(b.minY, 15, 1e-6);
    EXPECT_NEAR(b.maxY, 25, 1e-6);

    // A quarter arc from 0 to 90 degrees around (100, 0), radius 10.
    Raw("ARC", {{10, "100"}, {20, "0"}, {40, "10"}, {50, "0"}, {51, "90"}});
    b = SpaceExtents(*db);
    EXPECT_NEAR(b.maxX, 110, 1e-6);
    EXPECT_NEAR(b.minY, 0, 1e-6);

    // A block holding a unit square, referenced at (200, 0) scaled by 3 and turned 90 degrees.
    auto* block = new AcDbBlockTableRecord;
    block->setName("SQUARE");
    AcDbObjectId blockId;
    ASSERT_EQ(host::AddBlock(db.get(), block, AcDbHandle(), &blockId), Acad::eOk);
    ASSERT_EQ(host::AppendEntity(db.get(), blockId,
                                 new host::RawEntity("LWPOLYLINE", {{90, "4"},
                                                                    {70, "1"},
                                                                    {10, "0"},
                                                                    {20, "0"},
                                                                    {10, "1"},
                                                                    {20, "0"},
                                                                    {10, "1"},
                                                                    {20, "1"},
                                                                    {10, "0"},
                                                                    {20, "1"}}),
                                 AcDbHandle(), nullptr),
              Acad::eOk);
    auto* ref = new AcDbBlockReference(AcGePoint3d(200, 0, 0), blockId);
    ref->setRotation(std::numbers::pi / 2);
    host::SetScale(ref, AcGeVector3d(3, 3, 1));
    Append(ref);
    b = SpaceExtents(*db);
    EXPECT_NEAR(b.maxX, 200, 1e-6);  // turned left: x from 197 to 200
    EXPECT_NEAR(b.minY, 0, 1e-6);
    EXPECT_NEAR(b.maxY, 25, 1e-6);  // the circle still
    EXPECT_NEAR(b.minX, 5, 1e-6);

    // A text 10 high at (0, -100): its box starts near its insertion point.
    Raw("TEXT", {{10, "0"}, {20, "-100"}, {40, "10"}, {1, "Hello"}});
    b = SpaceExtents(*db);
    EXPECT_LT(b.minY, -100);
    EXPECT_GT(b.minY, -104);  // the descender reaches a little below the baseline
}

TEST_F(RenderTest, CellTextsLieInTheirCells) {
    // 3 x 3 cells of 60 x 40 units, top-left corner at (10, 130): at one pixel per unit the
    // cell (r, c) covers device x 10+60c .. 70+60c, y 70+40r .. 110+40r.
    const AcDbObjectId id = Table(10, 130, 3, 3, 40, 60);
    AcDbTable* t = nullptr;
    ASSERT_EQ(acdbOpenObject(t, id, AcDb::kForWrite), Acad::eOk);
    t->setTextString(1, 2, "MMMM");
    t->setTextString(2, 0, "\u65E5\u672C");  // CJK: needs a font that has it
    t->close();
    // Larger texts to see them: 8 units high.
    AcDbTableStyle* style = nullptr;
    ASSERT_EQ(acdbOpenObject(style, db->tablestyle(), AcDb::kForWrite), Acad::eOk);
    style->setTextHeight(8, AcDb::kDataRow);
    style->close();

    const Picture p(*db, Unit(), Light());
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            const int x0 = 10 + 60 * c, y0 = 70 + 40 * r;
            const int ink = p.InkIn(x0 + 2, y0 + 2, x0 + 58, y0 + 38, kWhite);
            if ((r == 1 && c == 2) || (r == 2 && c == 0)) {
                EXPECT_GT(ink, 20) << "cell " << r << "," << c;
                // Attached at the top left: the lower right quarter stays empty.
                EXPECT_EQ(p.InkIn(x0 + 40, y0 + 25, x0 + 58, y0 + 38, kWhite), 0);
            } else {
                EXPECT_EQ(ink, 0) << "cell " << r << "," << c;
            }
        }
    }
    // The grid: the outer border and an inner line.
    EXPECT_TRUE(p.Near(10, 90, kBlack));
    EXPECT_TRUE(p.Near(100, 110, kBlack));
    EXPECT_TRUE(p.Near(190, 150, kBlack));
}

TEST_F(RenderTest, MergedCellsHideTheirInnerLinesAndAnswerWithTheirFirstCell) {
    const AcDbObjectId id = Table(10, 130, 3, 3, 40, 60);
    AcDbTable* t = nullptr;
    ASSERT_EQ(acdbOpenObject(t, id, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(t->mergeCells(0, 1, 0, 1), Acad::eOk);  // rows 0-1, columns 0-1
    t->close();
    const Picture p(*db, Unit(), Light());
    EXPECT_FALSE(p.Near(70, 80, kBlack, 0)) << "the line between merged columns";
    EXPECT_FALSE(p.Near(40, 110, kBlack, 0)) << "the line between merged rows";
    EXPECT_TRUE(p.Near(160, 110, kBlack)) << "the row line outside the range";

    const Hit hit = PickAt(*db, Unit(), {100, 120});  // cell (1, 1) inside the range
    EXPECT_EQ(hit.entity, id);
    EXPECT_EQ(hit.cell.row, 0);
    EXPECT_EQ(hit.cell.column, 0);
    const Hit other = PickAt(*db, Unit(), {160, 140});
    EXPECT_EQ(other.cell.row, 1);
    EXPECT_EQ(other.cell.column, 2);
}

// Draws into an unbounded recording surface: whatever is drawn outside the picture shows in
// its ink extents.
Box InkExtents(AcDbDatabase& db, const View& view) {
    cairo_surface_t* rec = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr);
    cairo_t* cr = cairo_create(rec);
    Options o;
    o.darkBackground = false;
    Draw(cr, db, view, o);
    cairo_destroy(cr);
    double x, y, w, h;
    cairo_recording_surface_ink_extents(rec, &x, &y, &w, &h);
    cairo_surface_destroy(rec);
    Box b;
    b.Add(Point{x, y});
    b.Add(Point{x + w, y + h});
    return b;
}

TEST_F(RenderTest, OnlyWhatIsVisibleIsDrawn) {
    // Many lines along x, and a big table: a zoomed view draws nothing outside the picture.
    for (int i = 0; i < 200; ++i)
        Line(i * 10, 0, i * 10 + 5, 5, 1);
    const AcDbObjectId id = Table(0, -10, 5000, 4, 2, 20);
    AcDbTable* t = nullptr;
    ASSERT_EQ(acdbOpenObject(t, id, AcDb::kForWrite), Acad::eOk);
    for (int r = 0; r < 5000; ++r)
        t->setTextString(r, 1, ("row " + std::to_string(r)).c_str());
    t->close();

    // 100 x 100 pixels at 4 per unit: 25 units square. Culling is by entity (and by a
    // table's rows and columns): what meets the view is drawn whole, the rest not at all.
    View v;
    v.widthPx = v.heightPx = 100;
    v.pixelsPerUnit = 4;
    struct Case {
        Point center;
        Box bound;  // device pixels the ink must stay in
    };
    Box lines, cells;
    lines.Add(Point{-2, -2});  // the lines at 490, 500 and 510 lie inside the view
    lines.Add(Point{102, 102});
    cells.Add(Point{-34, -16});  // columns 1 and 2 (x 20 to 60), the rows the view meets
    cells.Add(Point{134, 116});
    for (const Case& c : {Case{{502.5, 2.5}, lines}, Case{{40, -5000}, cells}}) {
        v.center = c.center;
        const Box ink = InkExtents(*db, v);
        EXPECT_TRUE(c.bound.Contains(ink))
            << c.center.x << "," << c.center.y << ": ink " << ink.minX << "," << ink.minY << " "
            << ink.maxX << "," << ink.maxY;
        EXPECT_GT(ink.Width(), 50);  // but something is
    }
    // The index hands out the visible entities only.
    const auto scene = SceneOf(*db, false);
    v.center = {502.5, 2.5};
    EXPECT_EQ(scene->Query(v.VisibleBox()).size(), 3u);
    EXPECT_EQ(scene->items.size(), 201u);
}

TEST_F(RenderTest, PickingAndWindowSelection) {
    const AcDbObjectId a = Line(20, 20, 80, 20);
    const AcDbObjectId b = Line(20, 30, 80, 90);
    const AcDbObjectId c = Raw("CIRCLE", {{10, "150"}, {20, "150"}, {40, "20"}});
    const View v = Unit();
    EXPECT_EQ(PickAt(*db, v, {50, 181}).entity, a);  // within 4 pixels
    EXPECT_TRUE(PickAt(*db, v, {50, 170}).entity.isNull());
    EXPECT_EQ(PickAt(*db, v, {60, 131}).entity, b);
    EXPECT_EQ(PickAt(*db, v, {170, 50}).entity, c);  // on the circle
    EXPECT_TRUE(PickAt(*db, v, {150, 50}).entity.isNull()) << "inside an unfilled circle";

    Box window;  // device rectangle around both lines, not the circle
    window.Add(Point{10, 100});
    window.Add(Point{90, 185});
    EXPECT_EQ(EntitiesInWindow(*db, v, window, false), (std::vector<AcDbObjectId>{a, b}));
    Box small;  // meets line a only partly
    small.Add(Point{10, 175});
    small.Add(Point{40, 185});
    EXPECT_TRUE(EntitiesInWindow(*db, v, small, false).empty());
    EXPECT_EQ(EntitiesInWindow(*db, v, small, true), (std::vector<AcDbObjectId>{a}));
}

TEST_F(RenderTest, AnEntityOfTheDrawingBeingMovedShowsOnlyWhereItGoes) {
    const AcDbObjectId a = Line(20, 100, 180, 100, 1);
    AcDbEntity* line = nullptr;
    ASSERT_EQ(acdbOpenObject(line, a, AcDb::kForRead), Acad::eOk);
    Options o = Light();
    o.preview = line;
    o.previewOffset = {0, 50};
    const Picture p(*db, Unit(), o);
    line->close();
    EXPECT_FALSE(p.Near(100, 100, kRed, 3)) << "not at its own place";
    EXPECT_TRUE(p.Near(100, 50, kRed)) << "where it is going";
}

TEST_F(RenderTest, HighlightedEntitiesPreviewAndCell) {
    const AcDbObjectId a = Line(20, 100, 180, 100, 1);
    Options o = Light();
    o.highlighted = {a};
    AcDbTable preview;  // not in the database, drawn displaced
    preview.setNumRows(1);
    preview.setNumColumns(1);
    preview.setRowHeight(0, 20);
    preview.setColumnWidth(0, 20);
    o.preview = &preview;
    o.previewOffset = {150, 40};
    const Picture p(*db, Unit(), o);
    EXPECT_FALSE(p.Near(100, 100, kRed)) << "highlighted lines change colour";
    EXPECT_GT(p.InkIn(95, 98, 105, 103, kWhite), 0);
    EXPECT_TRUE(p.Near(150, 160, kBlack)) << "the preview's top-left corner";
    EXPECT_TRUE(p.Near(170, 180, kBlack));

    const AcDbObjectId t = Table(20, 60, 2, 2, 20, 40);
    o = Light();
    o.highlightedCell = {t, 1, 0};
    const Picture q(*db, Unit(), o);
    const Rgb inCell = q.At(40, 170), other = q.At(80, 170);
    EXPECT_NE(inCell.b, inCell.r) << "the highlighted cell is tinted";
    EXPECT_EQ(other.r, 255);
}

TEST_F(RenderTest, ExportsWriteValidFilesAndKeepTheOldOneOnFailure) {
    Line(10, 10, 190, 190, 1);
    Raw("TEXT", {{10, "20"}, {20, "150"}, {40, "12"}, {1, "Findable"}});
    const fs::path dir =
        fs::temp_directory_path() / ("render_export_test." + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    View v = Unit();
    v.widthPx = 320, v.heightPx = 240;
    std::string error;
    ASSERT_TRUE(Export(*db, (dir / "a.png").string(), Format::Png, v, Light(), error)) << error;
    cairo_surface_t* png = cairo_image_surface_create_from_png((dir / "a.png").c_str());
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(png), 320);
    EXPECT_EQ(cairo_image_surface_get_height(png), 240);
    cairo_surface_destroy(png);

    ASSERT_TRUE(Export(*db, (dir / "a.svg").string(), Format::Svg, v, Light(), error)) << error;
    const std::string svg = Slurp(dir / "a.svg");
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_NE(svg.find("width=\"320"), std::string::npos);

    ASSERT_TRUE(Export(*db, (dir / "a.pdf").string(), Format::Pdf, v, Light(), error)) << error;
    EXPECT_EQ(Slurp(dir / "a.pdf").substr(0, 5), "%PDF-");

    // Failures: a folder that does not exist, a size out of range; the old file stays.
    EXPECT_FALSE(Export(*db, (dir / "none" / "b.png").string(), Format::Png, v, Light(), error));
    EXPECT_NE(error.find("none/b.png"), std::string::npos) << error;
    const std::string before = Slurp(dir / "a.png");
    View huge = v;
    huge.widthPx = 0;
    EXPECT_FALSE(Export(*db, (dir / "a.png").string(), Format::Png, huge, Light(), error));
    EXPECT_NE(error.find("out of range"), std::string::npos) << error;
    EXPECT_EQ(Slurp(dir / "a.png"), before);
    fs::remove_all(dir);
}

TEST(TextTest, ScriptsOtherThanLatinHaveGlyphs) {
    const char* samples[] = {"Объём", "Ελληνικά", "日本語の表", "한국어", "עברית", "العربية"};
    for (const char* sample : samples) {
        TextPrim t;
        t.text = sample;
        PangoLayout* layout = NewLayout(MeasureContext(), t);
        EXPECT_EQ(pango_layout_get_unknown_glyphs_count(layout), 0) << sample;
        g_object_unref(layout);
    }
}

TEST(ColorTest, IndexColoursOfTheStandardPalette) {
    struct Case {
        int index;
        Rgb rgb;
    };
    const Case cases[] = {
        {1, {255, 0, 0}},     {3, {0, 255, 0}},   {5, {0, 0, 255}},      {8, {128, 128, 128}},
        {9, {192, 192, 192}}, {10, {255, 0, 0}},  {11, {255, 127, 127}}, {12, {165, 0, 0}},
        {16, {76, 0, 0}},     {18, {38, 0, 0}},   {30, {255, 127, 0}},   {40, {255, 191, 0}},
        {90, {0, 255, 0}},    {170, {0, 0, 255}}, {250, {51, 51, 51}},   {255, {255, 255, 255}},
    };
    for (const Case& c : cases) {
        const Color got = AciColor(c.index);
        EXPECT_NEAR(got.r * 255, c.rgb.r, 1.5) << c.index;
        EXPECT_NEAR(got.g * 255, c.rgb.g, 1.5) << c.index;
        EXPECT_NEAR(got.b * 255, c.rgb.b, 1.5) << c.index;
        EXPECT_FALSE(got.foreground) << c.index;
    }
    EXPECT_TRUE(AciColor(7).foreground);
}

TEST(FormatTest, FormatsByExtension) {
    const std::pair<const char*, int> cases[] = {
        {"a.png", 0},  {"B.PNG", 0},  {"x/y.svg", 1},       {"p.Pdf", 2},
        {"a.jpg", -1}, {"noext", -1}, {"dir.png/file", -1},
    };
    for (const auto& [path, want] : cases) {
        Format f = Format::Png;
        const bool ok = FormatOfPath(path, f);
        EXPECT_EQ(ok ? int(f) : -1, want) << path;
    }
}

}  // namespace
