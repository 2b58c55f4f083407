// Building the scene of a space: each entity the host keeps turned into primitives in drawing
// coordinates, block references expanded, layers' colours applied, and the grid index.
#include "host/render/scene.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <mutex>
#include <numbers>
#include <unordered_map>

#include "host/db/hostdb.h"
#include "host/dxf/record_groups.h"
#include "host/dxf/structure.h"
#include "platform/dbtable.h"

namespace host::render {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int kMaxNesting = 16;

// ---------------------------------------------------------------------------------------------
// Groups

double ToDouble(const std::string& s, double fallback = 0) {
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    return (end == s.c_str() || !std::isfinite(v)) ? fallback : v;
}
long ToLong(const std::string& s, long fallback = 0) {
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    return end == s.c_str() ? fallback : v;
}

// The groups of one entity with look-ups by code.
class Groups {
public:
    explicit Groups(const std::vector<DxfGroup>& g) : m_g(g) {}
    const std::vector<DxfGroup>& all() const { return m_g; }
    const DxfGroup* Find(int code) const {
        for (const auto& g : m_g)
            if (g.code == code)
                return &g;
        return nullptr;
    }
    bool Has(int code) const { return Find(code) != nullptr; }
    double Real(int code, double fallback = 0) const {
        const DxfGroup* g = Find(code);
        return g ? ToDouble(g->value, fallback) : fallback;
    }
    long Int(int code, long fallback = 0) const {
        const DxfGroup* g = Find(code);
        return g ? ToLong(g->value, fallback) : fallback;
    }
    std::string Str(int code) const {
        const DxfGroup* g = Find(code);
        return g ? g->value : std::string();
    }
    Point Pt(int code) const { return {Real(code), Real(code + 10)}; }
    // The text of codes 3 (pieces) then 1.
    std::string LongText() const {
        std::string s;
        for (const auto& g : m_g)
            if (g.code == 3)
                s += g.value;
        s += Str(1);
        return s;
    }

private:
    const std::vector<DxfGroup>& m_g;
};

// The colour groups of an entity's common part: 62 (index) and 420 (true colour).
struct ColorSpec {
    int index = 256;  // 256 by layer, 0 by block
    long trueColor = -1;
};
ColorSpec ColorSpecOf(const std::vector<DxfGroup>& groups) {
    ColorSpec c;
    bool inEntity = false;
    for (const auto& g : groups) {
        if (g.code == 100) {
            if (inEntity)
                break;  // past the common part
            inEntity = g.value == "AcDbEntity";
            continue;
        }
        if (g.code == 62)
            c.index = int(ToLong(g.value, 256));
        else if (g.code == 420)
            c.trueColor = ToLong(g.value, -1);
    }
    return c;
}

Color TrueColor(long rgb) {
    return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, false};
}

// The arbitrary-axis algorithm: the plane coordinates of an object coordinate system with
// normal n, seen from above (z dropped).
Affine OcsAffine(double nx, double ny, double nz, double elevation = 0) {
    const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (len < 1e-12 || (std::fabs(nx) < 1e-12 && std::fabs(ny) < 1e-12 && nz > 0))
        return Affine::Translate(0, 0);
    nx /= len, ny /= len, nz /= len;
    double ax, ay, az;
    if (std::fabs(nx) < 1.0 / 64 && std::fabs(ny) < 1.0 / 64) {
        ax = nz, ay = 0, az = -nx;  // world Y cross N
    } else {
        ax = -ny, ay = nx, az = 0;  // world Z cross N
    }
    const double al = std::sqrt(ax * ax + ay * ay + az * az);
    ax /= al, ay /= al, az /= al;
    const double bx = ny * az - nz * ay, by = nz * ax - nx * az;  // N cross Ax
    return {ax, ay, bx, by, elevation * nx, elevation * ny};
}

Affine OcsOf(const Groups& g, double elevation = 0) {
    return OcsAffine(g.Real(210, 0), g.Real(220, 0), g.Real(230, 1), elevation);
}

// ---------------------------------------------------------------------------------------------
// Curves

void ArcPoints(Point c, double r, double a0, double sweep, std::vector<Point>& out) {
    const int n = std::clamp(int(std::ceil(std::fabs(sweep) / (2 * kPi) * 128)), 2, 4096);
    for (int i = 0; i <= n; ++i) {
        const double a = a0 + sweep * i / n;
        out.push_back({c.x + r * std::cos(a), c.y + r * std::sin(a)});
    }
}

// A segment from a to b with a bulge (the tangent of a quarter of its arc's angle).
void BulgeTo(Point a, Point b, double bulge, std::vector<Point>& out) {
    if (std::fabs(bulge) < 1e-9) {
        out.push_back(b);
        return;
    }
    const double theta = 4 * std::atan(bulge);
    const double dx = b.x - a.x, dy = b.y - a.y, chord = std::hypot(dx, dy);
    if (chord < 1e-12) {
        out.push_back(b);
        return;
    }
    const double h = (chord / 2) / std::tan(theta / 2);
    const Point c{(a.x + b.x) / 2 - dy / chord * h, (a.y + b.y) / 2 + dx / chord * h};
    const double r = std::hypot(a.x - c.x, a.y - c.y);
    std::vector<Point> arc;
    ArcPoints(c, r, std::atan2(a.y - c.y, a.x - c.x), theta, arc);
    out.insert(out.end(), arc.begin() + 1, arc.end());
}

void EllipsePoints(Point c, Point major, double ratio, double t0, double t1, bool mirrored,
                   std::vector<Point>& out) {
    Point minor{-major.y * ratio, major.x * ratio};
    if (mirrored)
        minor = {-minor.x, -minor.y};
    while (t1 <= t0)
        t1 += 2 * kPi;
    const int n = std::clamp(int(std::ceil((t1 - t0) / (2 * kPi) * 128)), 2, 4096);
    for (int i = 0; i <= n; ++i) {
        const double t = t0 + (t1 - t0) * i / n;
        out.push_back({c.x + major.x * std::cos(t) + minor.x * std::sin(t),
                       c.y + major.y * std::cos(t) + minor.y * std::sin(t)});
    }
}

// A B-spline (rational when weights are given) sampled by de Boor's algorithm; false when
// the knots do not fit the control points.
bool SplinePoints(int degree, const std::vector<double>& knots, const std::vector<Point>& ctrl,
                  const std::vector<double>& weights, std::vector<Point>& out) {
    const int n = int(ctrl.size());
    if (degree < 1 || n <= degree || int(knots.size()) != n + degree + 1)
        return false;
    const bool rational = int(weights.size()) == n;
    const double u0 = knots[degree], u1 = knots[n];
    if (!(u1 > u0))
        return false;
    const int samples = std::clamp(n * 16, 32, 4096);
    std::vector<double> x(degree + 1), y(degree + 1), w(degree + 1);
    for (int s = 0; s <= samples; ++s) {
        const double u = s == samples ? u1 : u0 + (u1 - u0) * s / samples;
        int k = degree;
        while (k < n - 1 && u >= knots[k + 1])
            ++k;
        for (int j = 0; j <= degree; ++j) {
            const int i = k - degree + j;
            const double wi = rational ? weights[i] : 1;
            x[j] = ctrl[i].x * wi, y[j] = ctrl[i].y * wi, w[j] = wi;
        }
        for (int r = 1; r <= degree; ++r) {
            for (int j = degree; j >= r; --j) {
                const int i = k - degree + j;
                const double den = knots[i + degree - r + 1] - knots[i];
                const double a = den > 0 ? (u - knots[i]) / den : 0;
                x[j] = (1 - a) * x[j - 1] + a * x[j];
                y[j] = (1 - a) * y[j - 1] + a * y[j];
                w[j] = (1 - a) * w[j - 1] + a * w[j];
            }
        }
        if (w[degree] == 0)
            return false;
        out.push_back({x[degree] / w[degree], y[degree] / w[degree]});
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Layers

struct Layer {
    Color color;
    bool shown = true;
};

std::unordered_map<std::string, Layer> LayersOf(AcDbDatabase& db) {
    std::unordered_map<std::string, Layer> layers;
    for (AcDbObjectId id : AllObjects(&db)) {
        auto* raw = RawObject::cast(ObjectOf(id));
        if (!raw || raw->dxfName != "LAYER")
            continue;
        Groups g(raw->groups);
        Layer layer;
        const long index = g.Int(62, 7);
        layer.shown = index >= 0 && !(g.Int(70) & 1);
        layer.color = g.Has(420) ? TrueColor(g.Int(420)) : AciColor(int(std::labs(index)));
        layers[dxf::Upper(g.Str(2))] = layer;
    }
    return layers;
}

// ---------------------------------------------------------------------------------------------
// The builder

class Builder {
public:
    explicit Builder(AcDbDatabase& db) : m_db(db), m_layers(LayersOf(db)) {}

    // Adds the primitives of an entity (and the parts that follow it) to item.
    void Entity(const AcDbEntity* e, const Affine& m, const Color* byBlock, Item& item, int depth);
    // The parts of a complex entity (VERTEX, ATTRIB, SEQEND) that follow their head.
    static bool IsPart(const AcDbEntity* e);

private:
    struct Style {
        Color color;
        bool shown = true;
    };
    Style StyleOf(const AcDbEntity* e, const std::vector<DxfGroup>& groups,
                  const Color* byBlock) const;
    void Raw(const RawEntity& raw, const Affine& m, const Color& color, Item& item);
    void Insert(const AcDbBlockReference& ref, const Affine& m, const Color& color, Item& item,
                int depth);
    void Table(const AcDbTable& table, const Affine& m, const Color& color, Item& item);
    void Polyline(const RawEntity& head, const Affine& m, const Color& color, Item& item);
    void Hatch(const Groups& g, const Affine& m, const Color& color, Item& item);
    void Text(const Groups& g, const Affine& m, const Color& color, Item& item, bool attribute);
    void MText(const Groups& g, const Affine& m, const Color& color, Item& item);
    void AddText(TextPrim text, int hAlign, int vAlign, bool mtext, Point at, double angle,
                 double height, double widthFactor, Point mirror, const Affine& m,
                 const Color& color, Item& item);
    void Stroke(std::vector<Point> pts, bool closed, const Affine& m, const Color& color,
                Item& item);
    void Fill(std::vector<Point> pts, const Affine& m, const Color& color, Item& item);

    AcDbDatabase& m_db;
    std::unordered_map<std::string, Layer> m_layers;
    // The parts after the current head entity (VERTEX and SEQEND of a POLYLINE, ATTRIB of an
    // INSERT), gathered while the scene walks the space.
public:
    std::vector<const RawEntity*> parts;
};

bool Builder::IsPart(const AcDbEntity* e) {
    const auto* raw = RawEntity::cast(e);
    return raw && !raw->groups.empty() && raw->groups[0].code == 0 &&
           raw->groups[0].value == dxf::kOwnerMarker;
}

Builder::Style Builder::StyleOf(const AcDbEntity* e, const std::vector<DxfGroup>& groups,
                                const Color* byBlock) const {
    Style s;
    const std::string& layerName = e->state()->layer;
    const Layer* layer = nullptr;
    if (auto it = m_layers.find(dxf::Upper(layerName)); it != m_layers.end())
        layer = &it->second;
    s.shown = !layer || layer->shown;
    const ColorSpec spec = ColorSpecOf(groups);
    if (spec.trueColor >= 0)
        s.color = TrueColor(spec.trueColor);
    else if (spec.index == 0)
        s.color = byBlock ? *byBlock : AciColor(7);
    else if (spec.index > 0 && spec.index < 256)
        s.color = AciColor(spec.index);
    else
        s.color = layer ? layer->color : AciColor(7);
    return s;
}

void Builder::Stroke(std::vector<Point> pts, bool closed, const Affine& m, const Color& color,
                     Item& item) {
    if (pts.empty())
        return;
    Prim p;
    p.kind = Prim::Kind::Stroke;
    p.closed = closed;
    p.color = color;
    for (Point& q : pts) {
        q = m.Apply(q);
        item.box.Add(q);
    }
    p.points = std::move(pts);
    item.prims.push_back(std::move(p));
}

void Builder::Fill(std::vector<Point> pts, const Affine& m, const Color& color, Item& item) {
    if (pts.size() < 3)
        return;
    Prim p;
    p.kind = Prim::Kind::Fill;
    p.closed = true;
    p.color = color;
    for (Point& q : pts) {
        if (std::isnan(q.x))
            continue;
        q = m.Apply(q);
        item.box.Add(q);
    }
    p.points = std::move(pts);
    item.prims.push_back(std::move(p));
}

void Builder::Entity(const AcDbEntity* e, const Affine& m, const Color* byBlock, Item& item,
                     int depth) {
    if (!e)
        return;
    if (auto* table = AcDbTable::cast(e)) {
        const Style s = StyleOf(e, e->state()->extraGroups, byBlock);
        if (s.shown)
            Table(*table, m, s.color, item);
        return;
    }
    if (auto* ref = AcDbBlockReference::cast(e)) {
        const Style s = StyleOf(e, e->state()->extraGroups, byBlock);
        if (s.shown)
            Insert(*ref, m, s.color, item, depth);
        return;
    }
    if (auto* raw = RawEntity::cast(e)) {
        const Style s = StyleOf(e, raw->groups, byBlock);
        if (raw->dxfName == "POLYLINE") {
            if (s.shown)
                Polyline(*raw, m, s.color, item);
            return;
        }
        if (raw->dxfName == "ATTRIB") {
            if (s.shown && !(Groups(raw->groups).Int(70) & 1))
                Text(Groups(raw->groups), m, s.color, item, true);
            return;
        }
        if (s.shown)
            Raw(*raw, m, s.color, item);
    }
}

void Builder::Raw(const RawEntity& raw, const Affine& m, const Color& color, Item& item) {
    const Groups g(raw.groups);
    const std::string& type = raw.dxfName;
    if (type == "LINE") {
        Stroke({g.Pt(10), g.Pt(11)}, false, m, color, item);
    } else if (type == "CIRCLE" || type == "ARC") {
        const Affine ocs = OcsOf(g).Then(m);
        std::vector<Point> pts;
        const double r = std::fabs(g.Real(40));
        double a0 = 0, sweep = 2 * kPi;
        if (type == "ARC") {
            a0 = g.Real(50) * kPi / 180;
            double a1 = g.Real(51) * kPi / 180;
            while (a1 <= a0)
                a1 += 2 * kPi;
            sweep = a1 - a0;
        }
        ArcPoints(g.Pt(10), r, a0, sweep, pts);
        Stroke(std::move(pts), type == "CIRCLE", ocs, color, item);
    } else if (type == "ELLIPSE") {
        std::vector<Point> pts;
        const double t0 = g.Real(41, 0), t1 = g.Real(42, 2 * kPi);
        EllipsePoints(g.Pt(10), g.Pt(11), g.Real(40, 1), t0, t1, g.Real(230, 1) < 0, pts);
        const bool full = std::fabs(std::fmod(t1 - t0, 2 * kPi)) < 1e-9;
        Stroke(std::move(pts), full, m, color, item);
    } else if (type == "LWPOLYLINE") {
        const Affine ocs = OcsOf(g, g.Real(38)).Then(m);
        std::vector<Point> verts;
        std::vector<double> bulges;
        for (std::size_t i = 0; i < g.all().size(); ++i) {
            const DxfGroup& x = g.all()[i];
            if (x.code == 10) {
                double y = 0;
                if (i + 1 < g.all().size() && g.all()[i + 1].code == 20)
                    y = ToDouble(g.all()[i + 1].value);
                verts.push_back({ToDouble(x.value), y});
                bulges.push_back(0);
            } else if (x.code == 42 && !bulges.empty()) {
                bulges.back() = ToDouble(x.value);
            }
        }
        const bool closed = g.Int(70) & 1;
        if (verts.empty())
            return;
        std::vector<Point> pts{verts[0]};
        for (std::size_t i = 0; i + 1 < verts.size(); ++i)
            BulgeTo(verts[i], verts[i + 1], bulges[i], pts);
        if (closed && verts.size() > 1)
            BulgeTo(verts.back(), verts[0], bulges.back(), pts);
        Stroke(std::move(pts), closed, ocs, color, item);
    } else if (type == "SPLINE") {
        std::vector<double> knots, weights;
        std::vector<Point> ctrl, fit;
        for (std::size_t i = 0; i < g.all().size(); ++i) {
            const DxfGroup& x = g.all()[i];
            const double y = (i + 1 < g.all().size() && g.all()[i + 1].code == x.code + 10)
                                 ? ToDouble(g.all()[i + 1].value)
                                 : 0;
            if (x.code == 40)
                knots.push_back(ToDouble(x.value));
            else if (x.code == 41)
                weights.push_back(ToDouble(x.value, 1));
            else if (x.code == 10)
                ctrl.push_back({ToDouble(x.value), y});
            else if (x.code == 11)
                fit.push_back({ToDouble(x.value), y});
        }
        std::vector<Point> pts;
        if (!SplinePoints(int(g.Int(71, 3)), knots, ctrl, weights, pts))
            pts = fit.size() >= 2 ? fit : ctrl;
        Stroke(std::move(pts), false, m, color, item);
    } else if (type == "POINT") {
        Prim p;
        p.kind = Prim::Kind::Dot;
        p.color = color;
        p.points = {m.Apply(g.Pt(10))};
        item.box.Add(p.points[0]);
        item.prims.push_back(std::move(p));
    } else if (type == "SOLID" || type == "TRACE") {
        const Affine ocs = OcsOf(g).Then(m);
        std::vector<Point> pts{g.Pt(10), g.Pt(11)};
        if (g.Has(13))
            pts.push_back(g.Pt(13));
        pts.push_back(g.Pt(12));
        Fill(std::move(pts), ocs, color, item);
    } else if (type == "3DFACE") {
        Stroke({g.Pt(10), g.Pt(11), g.Pt(12), g.Has(13) ? g.Pt(13) : g.Pt(12)}, true, m, color,
               item);
    } else if (type == "HATCH") {
        Hatch(g, OcsOf(g).Then(m), color, item);
    } else if (type == "TEXT") {
        Text(g, m, color, item, false);
    } else if (type == "MTEXT") {
        MText(g, m, color, item);
    }
    // Other kept entities (dimensions, images, 3D solids ...) carry no geometry drawn here.
}

void Builder::Polyline(const RawEntity& head, const Affine& m, const Color& color, Item& item) {
    const Groups g(head.groups);
    const long flags = g.Int(70);
    if (flags & 64)
        return;  // a polyface mesh: its faces are not outlined here
    const bool is3d = flags & (8 | 16);
    const Affine place = is3d ? m : OcsOf(g, g.Real(30)).Then(m);
    std::vector<Point> verts;
    std::vector<double> bulges;
    for (const RawEntity* part : parts) {
        if (part->dxfName != "VERTEX")
            continue;
        const Groups v(part->groups);
        if (v.Int(70) & 16)
            continue;  // a spline frame point
        verts.push_back(v.Pt(10));
        bulges.push_back(v.Real(42));
    }
    if (verts.empty())
        return;
    const bool closed = flags & 1;
    std::vector<Point> pts{verts[0]};
    for (std::size_t i = 0; i + 1 < verts.size(); ++i)
        BulgeTo(verts[i], verts[i + 1], bulges[i], pts);
    if (closed && verts.size() > 1)
        BulgeTo(verts.back(), verts[0], bulges.back(), pts);
    Stroke(std::move(pts), closed, place, color, item);
}

void Builder::Hatch(const Groups& g, const Affine& m, const Color& color, Item& item) {
    const auto& all = g.all();
    std::size_t i = 0;
    auto at = [&](int code) { return i < all.size() && all[i].code == code; };
    auto real = [&](int code, double fallback = 0) {
        // The next group with the code, not passing a group that starts another path.
        while (i < all.size() && all[i].code != code)
            ++i;
        return i < all.size() ? ToDouble(all[i++].value, fallback) : fallback;
    };
    auto point = [&](int code) {
        const double x = real(code);
        return Point{x, at(code + 10) ? ToDouble(all[i++].value) : 0};
    };
    while (i < all.size() && all[i].code != 91)
        ++i;
    if (i >= all.size())
        return;
    const long paths = ToLong(all[i++].value);
    const bool solid = g.Int(70) == 1;
    std::vector<Point> rings;  // every ring, split by NaN points (for the fill)
    for (long p = 0; p < paths && i < all.size(); ++p) {
        const long type = long(real(92));
        std::vector<Point> ring;
        if (type & 2) {
            const bool bulged = ToLong(at(72) ? all[i++].value : "0");
            if (at(73))
                ++i;  // closed: a boundary always is
            const long count = long(real(93));
            std::vector<Point> verts;
            std::vector<double> bulges;
            for (long k = 0; k < count && i < all.size(); ++k) {
                verts.push_back(point(10));
                bulges.push_back(bulged && at(42) ? ToDouble(all[i++].value) : 0);
            }
            if (!verts.empty()) {
                ring.push_back(verts[0]);
                for (std::size_t k = 0; k + 1 < verts.size(); ++k)
                    BulgeTo(verts[k], verts[k + 1], bulges[k], ring);
                BulgeTo(verts.back(), verts[0], bulges.back(), ring);
            }
        } else {
            const long edges = long(real(93));
            for (long k = 0; k < edges && i < all.size(); ++k) {
                const long edge = long(real(72));
                std::vector<Point> seg;
                if (edge == 1) {
                    seg.push_back(point(10));
                    seg.push_back(point(11));
                } else if (edge == 2 || edge == 3) {
                    // Clockwise edges give their angles mirrored: the arc runs counter-
                    // clockwise from 360 - end to 360 - start, backward.
                    const Point c = point(10);
                    const Point major = edge == 3 ? point(11) : Point{};
                    const double r = real(40);
                    double a0 = real(50) * kPi / 180, a1 = real(51) * kPi / 180;
                    const bool ccw = at(73) ? ToLong(all[i++].value) != 0 : true;
                    if (!ccw) {
                        const double s0 = 2 * kPi - a1, s1 = 2 * kPi - a0;
                        a0 = s0, a1 = s1;
                    }
                    if (edge == 2) {
                        while (a1 <= a0)
                            a1 += 2 * kPi;
                        ArcPoints(c, r, a0, a1 - a0, seg);
                    } else {
                        EllipsePoints(c, major, r, a0, a1, false, seg);
                    }
                    if (!ccw)
                        std::reverse(seg.begin(), seg.end());
                } else if (edge == 4) {
                    const int degree = int(real(94));
                    if (at(73))
                        ++i;
                    if (at(74))
                        ++i;
                    const long nk = long(real(95)), nc = long(real(96));
                    std::vector<double> knots, weights;
                    std::vector<Point> ctrl;
                    for (long q = 0; q < nk && at(40); ++q)
                        knots.push_back(ToDouble(all[i++].value));
                    for (long q = 0; q < nc && at(10); ++q) {
                        ctrl.push_back(point(10));
                        if (at(42))
                            weights.push_back(ToDouble(all[i++].value, 1));
                    }
                    if (!SplinePoints(degree, knots, ctrl, weights, seg))
                        seg = ctrl;
                    if (at(97)) {
                        const long fits = ToLong(all[i++].value);
                        for (long q = 0; q < fits && at(11); ++q)
                            point(11);
                        if (at(12))
                            point(12);
                        if (at(13))
                            point(13);
                    }
                }
                ring.insert(ring.end(), seg.begin(), seg.end());
            }
        }
        // Source boundary objects.
        if (at(97)) {
            const long refs = ToLong(all[i++].value);
            for (long q = 0; q < refs && at(330); ++q)
                ++i;
        }
        if (ring.size() >= 2) {
            Stroke(ring, true, m, color, item);
            if (!rings.empty())
                rings.push_back({kNaN, kNaN});
            rings.insert(rings.end(), ring.begin(), ring.end());
        }
    }
    if (solid && !rings.empty())
        Fill(std::move(rings), m, color, item);
}

void Builder::AddText(TextPrim text, int hAlign, int vAlign, bool mtext, Point at, double angle,
                      double height, double widthFactor, Point mirror, const Affine& m,
                      const Color& color, Item& item) {
    if (text.text.empty() || !(height > 0))
        return;
    const double cap = kCapHeightEm * kLayoutPx;
    const double k = height / cap;
    if (!(widthFactor > 0))
        widthFactor = 1;
    PangoLayout* layout = NewLayout(MeasureContext(), text);
    PangoRectangle ink, logical;
    pango_layout_get_extents(layout, &ink, &logical);
    const double baseline = pango_layout_get_baseline(layout) / double(PANGO_SCALE);
    double lastBaseline = baseline;
    if (PangoLayoutIter* it = pango_layout_get_iter(layout)) {
        while (pango_layout_iter_next_line(it)) {
        }
        lastBaseline = pango_layout_iter_get_baseline(it) / double(PANGO_SCALE);
        pango_layout_iter_free(it);
    }
    g_object_unref(layout);
    const double lx = logical.x / double(PANGO_SCALE), lw = logical.width / double(PANGO_SCALE);
    const double ly = logical.y / double(PANGO_SCALE), lh = logical.height / double(PANGO_SCALE);
    double left = lx, width = lw;
    if (text.wrapWidthPx > 0) {
        left = 0;
        width = text.wrapWidthPx;
    }
    const double ax = hAlign == 0 ? left : hAlign == 1 ? left + width / 2 : left + width;
    const double top = baseline - cap;
    double ay = baseline;
    if (mtext) {
        ay = vAlign == 3 ? top : vAlign == 2 ? (top + lastBaseline) / 2 : lastBaseline;
    } else {
        ay = vAlign == 0   ? baseline
             : vAlign == 1 ? ly + lh
             : vAlign == 2 ? baseline - cap / 2
                           : top;
    }
    text.heightUnits = height * std::sqrt(std::fabs(m.Determinant()));
    text.place =
        Affine{k * widthFactor * mirror.x, 0, 0, -k * mirror.y, -ax * k * widthFactor * mirror.x,
               ay * k * mirror.y}
            .Then(Affine::Rotate(angle))
            .Then(Affine::Translate(at.x, at.y))
            .Then(m);
    Prim p;
    p.kind = Prim::Kind::Text;
    p.color = color;
    const double x0 = std::min(lx, left), x1 = std::max(lx + lw, left + width);
    for (Point c : {Point{x0, ly}, Point{x1, ly}, Point{x1, ly + lh}, Point{x0, ly + lh}}) {
        p.points.push_back(text.place.Apply(c));
        item.box.Add(p.points.back());
    }
    p.text = std::make_shared<TextPrim>(std::move(text));
    item.prims.push_back(std::move(p));
}

void Builder::Text(const Groups& g, const Affine& m, const Color& color, Item& item,
                   bool attribute) {
    TextPrim text;
    text.text = TextPlain(g.Str(1));
    const Affine ocs = OcsOf(g).Then(m);
    double height = g.Real(40, 0);
    const long h = g.Int(72, 0);
    const long v = g.Int(attribute ? 74 : 73, 0);
    double angle = g.Real(50) * kPi / 180;
    double widthFactor = g.Real(41, 1);
    Point at = (h == 0 && v == 0) || !g.Has(11) ? g.Pt(10) : g.Pt(11);
    int hAlign = h == 1 || h == 4 ? 1 : h == 2 ? 2 : 0, vAlign = int(std::clamp(v, 0L, 3L));
    if (h == 4)
        vAlign = 2;
    if ((h == 3 || h == 5) && g.Has(11)) {
        // Aligned and fit: the text runs from the first alignment point to the second.
        const Point a = g.Pt(10), b = g.Pt(11);
        angle = std::atan2(b.y - a.y, b.x - a.x);
        at = {(a.x + b.x) / 2, (a.y + b.y) / 2};
        hAlign = 1;
        vAlign = 0;
        const double len = std::hypot(b.x - a.x, b.y - a.y);
        PangoLayout* layout = NewLayout(MeasureContext(), text);
        PangoRectangle logical;
        pango_layout_get_extents(layout, nullptr, &logical);
        g_object_unref(layout);
        const double natural =
            logical.width / double(PANGO_SCALE) * height / (kCapHeightEm * kLayoutPx);
        if (natural > 0 && len > 0) {
            if (h == 3)
                height *= len / natural;  // aligned: the height follows the width
            else
                widthFactor = len / natural;  // fit: the text is stretched
        }
    }
    const long gen = g.Int(71, 0);
    const Point mirror{(gen & 2) ? -1.0 : 1.0, (gen & 4) ? -1.0 : 1.0};
    AddText(std::move(text), hAlign, vAlign, false, at, angle, height, widthFactor, mirror, ocs,
            color, item);
}

void Builder::MText(const Groups& g, const Affine& m, const Color& color, Item& item) {
    TextPrim text;
    text.text = MTextPlain(g.LongText());
    const double height = g.Real(40, 2.5);
    const long attach = std::clamp(g.Int(71, 1), 1L, 9L);
    const int hAlign = int((attach - 1) % 3);
    const int vAlign = 3 - int((attach - 1) / 3);  // 3 top, 2 middle, 1 bottom
    const double cap = kCapHeightEm * kLayoutPx;
    const double refWidth = g.Real(41, 0);
    if (refWidth > 0)
        text.wrapWidthPx = refWidth / height * cap;
    text.align = hAlign == 0   ? PANGO_ALIGN_LEFT
                 : hAlign == 1 ? PANGO_ALIGN_CENTER
                               : PANGO_ALIGN_RIGHT;
    // Lines 5/3 of the text height apart, times the drawing's factor (the font's own line
    // height is 1.164 em).
    text.lineSpacing = g.Real(44, 1) * (5.0 / 3.0) * kCapHeightEm / 1.164;
    double angle = g.Real(50) * kPi / 180;
    if (g.Has(11)) {
        const Point d = g.Pt(11);
        if (std::hypot(d.x, d.y) > 1e-12)
            angle = std::atan2(d.y, d.x);
    }
    AddText(std::move(text), hAlign, vAlign, true, g.Pt(10), angle, height, 1, {1, 1}, m, color,
            item);
}

void Builder::Insert(const AcDbBlockReference& ref, const Affine& m, const Color& color, Item& item,
                     int depth) {
    if (depth >= kMaxNesting)
        return;
    const AcDbObjectId blockId = ref.blockTableRecord();
    auto* block = AcDbBlockTableRecord::cast(ObjectOf(blockId));
    if (block) {
        const AcGePoint3d origin = block->origin();
        const AcGePoint3d pos = ref.position();
        const AcGeVector3d scale = ScaleOf(&ref);
        const AcGeVector3d normal = NormalOf(&ref);
        const Affine place = Affine::Translate(-origin.x, -origin.y)
                                 .Then(Affine::Scale(scale.x, scale.y))
                                 .Then(Affine::Rotate(ref.rotation()))
                                 .Then(Affine::Translate(pos.x, pos.y))
                                 .Then(OcsAffine(normal.x, normal.y, normal.z))
                                 .Then(m);
        std::vector<const RawEntity*> saved;
        saved.swap(parts);
        const std::vector<AcDbObjectId> ids = EntitiesOf(&m_db, blockId);
        for (std::size_t i = 0; i < ids.size(); ++i) {
            auto* e = AcDbEntity::cast(ObjectOf(ids[i]));
            if (!e || IsPart(e))
                continue;
            parts.clear();
            for (std::size_t j = i + 1; j < ids.size(); ++j) {
                auto* p = AcDbEntity::cast(ObjectOf(ids[j]));
                if (!p || !IsPart(p))
                    break;
                parts.push_back(RawEntity::cast(p));
            }
            Entity(e, place, &color, item, depth + 1);
        }
        parts.swap(saved);
    }
    // The attributes (in world coordinates already).
    for (const RawEntity* part : parts) {
        if (part->dxfName == "ATTRIB") {
            const Style s = StyleOf(part, part->groups, &color);
            if (s.shown && !(Groups(part->groups).Int(70) & 1))
                Text(Groups(part->groups), m, s.color, item, true);
        }
    }
}

void Builder::Table(const AcDbTable& table, const Affine& m, const Color& color, Item& item) {
    TableGrid grid;
    grid.id = table.objectId();
    if (grid.id.isNull())
        grid.direct = &table;
    const int rows = int(table.numRows()), columns = int(table.numColumns());
    if (rows == 0 || columns == 0)
        return;
    grid.rowTop.resize(rows + 1);
    for (int r = 0; r < rows; ++r)
        grid.rowTop[r + 1] = grid.rowTop[r] + table.rowHeight(r);
    grid.columnLeft.resize(columns + 1);
    for (int c = 0; c < columns; ++c)
        grid.columnLeft[c + 1] = grid.columnLeft[c] + table.columnWidth(c);
    grid.merged = MergedRangesOf(&table);
    const AcDbObjectId styleId = dxf::UsableStyle(&m_db, table.tableStyle());
    if (auto* style = AcDbTableStyle::cast(ObjectOf(styleId))) {
        grid.textHeight = style->textHeight(AcDb::kDataRow);
        grid.horzMargin = style->horzCellMargin();
        grid.vertMargin = style->vertCellMargin();
    }
    const AcGePoint3d pos = table.position();
    AcGeVector3d dir = table.direction();
    const AcGeVector3d n = table.normal();
    // The table's frame: x along its direction, y = normal x direction, seen from above.
    AcGeVector3d up = n.crossProduct(dir);
    grid.place = Affine{dir.x, dir.y, up.x, up.y, pos.x, pos.y}.Then(m);
    grid.color = color;
    const double w = grid.columnLeft.back(), h = grid.rowTop.back();
    for (Point c : {Point{0, 0}, Point{w, 0}, Point{w, -h}, Point{0, -h}})
        item.box.Add(grid.place.Apply(c));
    item.tables.push_back(std::move(grid));
}

// ---------------------------------------------------------------------------------------------
// The scene cache

void BuildIndex(Scene& s) {
    const std::size_t n = s.items.size();
    if (n < 64 || s.extents.Empty())
        return;  // a plain scan is as fast
    const int side = std::clamp(int(std::sqrt(double(n))), 4, 256);
    s.gridColumns = s.gridRows = side;
    s.cells.assign(std::size_t(side) * side, {});
    const double cw = std::max(s.extents.Width(), 1e-9) / side;
    const double ch = std::max(s.extents.Height(), 1e-9) / side;
    for (std::uint32_t i = 0; i < n; ++i) {
        const Box& b = s.items[i].box;
        if (b.Empty())
            continue;
        const int c0 = std::clamp(int((b.minX - s.extents.minX) / cw), 0, side - 1);
        const int c1 = std::clamp(int((b.maxX - s.extents.minX) / cw), 0, side - 1);
        const int r0 = std::clamp(int((b.minY - s.extents.minY) / ch), 0, side - 1);
        const int r1 = std::clamp(int((b.maxY - s.extents.minY) / ch), 0, side - 1);
        if ((c1 - c0 + 1) * (r1 - r0 + 1) > 64) {
            s.large.push_back(i);
            continue;
        }
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c)
                s.cells[std::size_t(r) * side + c].push_back(i);
    }
}

}  // namespace

Affine Affine::Then(const Affine& o) const {
    return {o.xx * xx + o.xy * yx, o.yx * xx + o.yy * yx,        o.xx * xy + o.xy * yy,
            o.yx * xy + o.yy * yy, o.xx * x0 + o.xy * y0 + o.x0, o.yx * x0 + o.yy * y0 + o.y0};
}

Affine Affine::Inverse() const {
    const double det = Determinant();
    if (std::fabs(det) < 1e-300)
        return {};
    const double ixx = yy / det, ixy = -xy / det, iyx = -yx / det, iyy = xx / det;
    return {ixx, iyx, ixy, iyy, -(ixx * x0 + ixy * y0), -(iyx * x0 + iyy * y0)};
}

Affine Affine::Rotate(double a) {
    const double c = std::cos(a), s = std::sin(a);
    return {c, s, -s, c, 0, 0};
}

Color AciColor(int index) {
    static const double kFixed[10][3] = {{0, 0, 0},       {1, 0, 0},         {1, 1, 0}, {0, 1, 0},
                                         {0, 1, 1},       {0, 0, 1},         {1, 0, 1}, {1, 1, 1},
                                         {0.5, 0.5, 0.5}, {0.75, 0.75, 0.75}};
    if (index == 7)
        return {1, 1, 1, true};
    if (index >= 1 && index <= 9)
        return {kFixed[index][0], kFixed[index][1], kFixed[index][2], false};
    if (index >= 250 && index <= 255) {
        static const double kGray[6] = {0.2, 0.357, 0.518, 0.678, 0.839, 1.0};
        const double v = kGray[index - 250];
        return {v, v, v, false};
    }
    if (index < 10 || index > 249)
        return {1, 1, 1, true};
    // Hues in steps of 15 degrees, five brightness levels each at full and half saturation.
    const int hueStep = (index - 10) / 10, shade = (index - 10) % 10;
    static const double kValue[5] = {1.0, 0.65, 0.5, 0.3, 0.15};
    const double v = kValue[shade / 2];
    const double sat = (shade % 2) ? 0.5 : 1.0;
    const double hue = hueStep * 15.0 / 60.0;
    const int sector = int(hue) % 6;
    const double f = hue - int(hue);
    const double p = v * (1 - sat), q = v * (1 - sat * f), t = v * (1 - sat * (1 - f));
    switch (sector) {
        case 0:
            return {v, t, p, false};
        case 1:
            return {q, v, p, false};
        case 2:
            return {p, v, t, false};
        case 3:
            return {p, q, v, false};
        case 4:
            return {t, p, v, false};
        default:
            return {v, p, q, false};
    }
}

const AcDbTable* TableGrid::Table() const {
    return direct ? direct : AcDbTable::cast(ObjectOf(id));
}

std::vector<std::uint32_t> Scene::Query(const Box& b) const {
    std::vector<std::uint32_t> out;
    if (!b.Intersects(extents))
        return out;
    if (cells.empty() || b.Contains(extents)) {
        for (std::uint32_t i = 0; i < items.size(); ++i)
            if (items[i].box.Intersects(b))
                out.push_back(i);
        return out;
    }
    const int side = gridColumns;
    const double cw = std::max(extents.Width(), 1e-9) / side;
    const double ch = std::max(extents.Height(), 1e-9) / side;
    const int c0 = std::clamp(int((b.minX - extents.minX) / cw), 0, side - 1);
    const int c1 = std::clamp(int((b.maxX - extents.minX) / cw), 0, side - 1);
    const int r0 = std::clamp(int((b.minY - extents.minY) / ch), 0, side - 1);
    const int r1 = std::clamp(int((b.maxY - extents.minY) / ch), 0, side - 1);
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c)
            for (std::uint32_t i : cells[std::size_t(r) * side + c])
                if (items[i].box.Intersects(b))
                    out.push_back(i);
    for (std::uint32_t i : large)
        if (items[i].box.Intersects(b))
            out.push_back(i);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::shared_ptr<const Scene> SceneOf(AcDbDatabase& db, bool paperSpace) {
    static std::mutex mutex;
    // A few scenes: both spaces of the drawings shown most recently.
    static std::vector<std::shared_ptr<const Scene>> cache;
    const std::uint64_t serial = ChangeSerial(&db);
    std::lock_guard lock(mutex);
    for (auto& s : cache)
        if (s->db == &db && s->paperSpace == paperSpace && s->serial == serial)
            return s;
    auto scene = std::make_shared<Scene>();
    scene->db = &db;
    scene->paperSpace = paperSpace;
    scene->serial = serial;
    Builder builder(db);
    const AcDbObjectId space = paperSpace ? db.paperSpaceId() : db.modelSpaceId();
    const std::vector<AcDbObjectId> ids = EntitiesOf(&db, space);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        auto* e = AcDbEntity::cast(ObjectOf(ids[i]));
        if (!e || Builder::IsPart(e))
            continue;
        builder.parts.clear();
        for (std::size_t j = i + 1; j < ids.size(); ++j) {
            auto* p = AcDbEntity::cast(ObjectOf(ids[j]));
            if (!p || !Builder::IsPart(p))
                break;
            builder.parts.push_back(RawEntity::cast(p));
        }
        Item item;
        item.id = ids[i];
        builder.Entity(e, Affine{}, nullptr, item, 0);
        if (item.prims.empty() && item.tables.empty())
            continue;
        scene->extents.Add(item.box);
        scene->items.push_back(std::move(item));
    }
    BuildIndex(*scene);
    std::erase_if(cache, [&](const std::shared_ptr<const Scene>& s) {
        return s->db == &db && s->paperSpace == paperSpace;
    });
    cache.push_back(scene);
    if (cache.size() > 4)
        cache.erase(cache.begin());
    return scene;
}

Item ItemOfEntity(AcDbDatabase& db, const AcDbEntity* entity, Point offset) {
    Builder builder(db);
    Item item;
    item.id = entity ? entity->objectId() : AcDbObjectId();
    builder.Entity(entity, Affine::Translate(offset.x, offset.y), nullptr, item, 0);
    return item;
}

}  // namespace host::render
