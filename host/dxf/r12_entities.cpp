#include "host/dxf/r12_entities.h"

#include <cmath>
#include <string>

#include "host/dxf/tags.h"
#include "host/dxf/text_codes.h"

namespace host::dxf {

namespace {

// Groups of the entity itself (AcDbEntity) rather than of its geometry.
bool IsCommonEntityCode(int code) {
    switch (code) {
        case 6:
        case 8:
        case 48:
        case 60:
        case 62:
        case 67:
        case 284:
        case 347:
        case 370:
        case 390:
        case 420:
        case 430:
        case 440:
            return true;
        default:
            return false;
    }
}

// The common groups of an entity record (layer, colour, space, ...) in their order, its
// handle, and its extended data; geometry groups go to geometry(). After a subclass marker
// other than AcDbEntity the codes are the entity's own (48 is a column width in MTEXT).
struct EntityParts {
    Tags common, xdata;
    std::string handle, layer = "0", space;
};
template <class Geometry>
EntityParts TakeApart(const Record& r, Geometry geometry) {
    EntityParts p;
    bool inGroup = false, ownGroups = false;
    for (std::size_t i = 1; i < r.tags.size(); ++i) {
        const Tag& t = r.tags[i];
        if (t.code == 1001) {
            p.xdata.assign(r.tags.begin() + static_cast<std::ptrdiff_t>(i), r.tags.end());
            break;
        }
        if (t.code == 102) {
            inGroup = !t.value.empty() && t.value[0] == '{';
            continue;
        }
        if (inGroup)
            continue;
        if (t.code == 100) {
            ownGroups = ownGroups || t.value != "AcDbEntity";
            continue;
        }
        if (!ownGroups && IsCommonEntityCode(t.code)) {
            p.common.push_back(t);
            if (t.code == 8)
                p.layer = t.value;
            if (t.code == 67)
                p.space = t.value;
        } else if (t.code == 5) {
            if (p.handle.empty())
                p.handle = t.value;
        } else {
            geometry(t);
        }
    }
    return p;
}

double Number(const std::string& value, double otherwise) {
    double d = 0;
    return ParseDouble(value, d) && std::isfinite(d) ? d : otherwise;
}

bool IsNonZero(const std::string& value) {
    double d = 0;
    return ParseDouble(value, d) && d != 0;
}

struct LightPoint {
    std::string x, y = "0.0";
    std::string startWidth, endWidth, bulge;  // empty: not given
};

}  // namespace

std::vector<Record> PolylineOfLightPolyline(const Record& light,
                                            const std::function<std::uint64_t()>& newHandle) {
    std::string elevation = "0.0", thickness, constantWidth;
    std::string normal[3];
    std::int64_t flags = 0;
    std::vector<LightPoint> points;
    const EntityParts parts = TakeApart(light, [&](const Tag& t) {
        switch (t.code) {
            case 38:
                elevation = t.value;
                break;
            case 39:
                thickness = t.value;
                break;
            case 43:
                constantWidth = t.value;
                break;
            case 70:
                ParseInt(t.value, flags);
                break;
            case 10:
                points.emplace_back();
                points.back().x = t.value;
                break;
            case 20:
                if (!points.empty())
                    points.back().y = t.value;
                break;
            case 40:
            case 41:
            case 42:
                if (!points.empty()) {
                    LightPoint& p = points.back();
                    (t.code == 40 ? p.startWidth : t.code == 41 ? p.endWidth : p.bulge) = t.value;
                }
                break;
            case 210:
            case 220:
            case 230:
                normal[(t.code - 210) / 10] = t.value;
                break;
            default:
                break;  // vertex ids (91), the point count (90), subclass markers, owner
        }
    });
    const std::string& layer = parts.layer;
    const std::string& space = parts.space;
    // Parts of the polyline: its layer, and the space of its head (R12 has no owners, so
    // the space tells a reader where they belong).
    auto part = [&](const char* type) {
        Record r;
        r.line = light.line;
        r.tags = {{0, type}, {5, FormatHandle(newHandle())}, {8, layer}};
        if (!space.empty())
            r.tags.push_back({67, space});
        return r;
    };

    std::vector<Record> out;
    out.reserve(points.size() + 2);
    Record head;
    head.line = light.line;
    head.tags = {{0, "POLYLINE"}};
    if (!parts.handle.empty())
        head.tags.push_back({5, parts.handle});
    head.tags.insert(head.tags.end(), parts.common.begin(), parts.common.end());
    head.tags.insert(head.tags.end(), {{66, "1"}, {10, "0.0"}, {20, "0.0"}, {30, elevation}});
    if (!thickness.empty())
        head.tags.push_back({39, thickness});
    // Only "closed" and "line type generated along the whole polyline" mean the same in both.
    head.tags.push_back({70, std::to_string(flags & (1 | 128))});
    if (!constantWidth.empty()) {
        head.tags.push_back({40, constantWidth});
        head.tags.push_back({41, constantWidth});
    }
    for (int k = 0; k < 3; ++k) {
        if (!normal[k].empty())
            head.tags.push_back({210 + 10 * k, normal[k]});
    }
    head.tags.insert(head.tags.end(), parts.xdata.begin(), parts.xdata.end());
    out.push_back(std::move(head));

    for (const LightPoint& p : points) {
        Record v = part("VERTEX");
        v.tags.insert(v.tags.end(), {{10, p.x}, {20, p.y}, {30, elevation}});
        // A point without widths of its own has the constant width.
        const std::string& start = p.startWidth.empty() ? constantWidth : p.startWidth;
        const std::string& end = p.endWidth.empty() ? constantWidth : p.endWidth;
        if (!start.empty())
            v.tags.push_back({40, start});
        if (!end.empty())
            v.tags.push_back({41, end});
        if (IsNonZero(p.bulge))
            v.tags.push_back({42, p.bulge});
        v.tags.push_back({70, "0"});
        out.push_back(std::move(v));
    }
    out.push_back(part("SEQEND"));
    return out;
}

namespace {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};
double Dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3 Unit(const Vec3& v) {
    const double n = std::sqrt(Dot(v, v));
    return n > 1e-12 ? Vec3{v.x / n, v.y / n, v.z / n} : Vec3{0, 0, 1};
}

// The axes of the object coordinate system of an extrusion (the arbitrary axis algorithm).
struct Ocs {
    Vec3 ax, ay, az;
    explicit Ocs(const Vec3& normal) : az(Unit(normal)) {
        const bool nearZ = std::abs(az.x) < 1.0 / 64 && std::abs(az.y) < 1.0 / 64;
        ax = Unit(Cross(nearZ ? Vec3{0, 1, 0} : Vec3{0, 0, 1}, az));
        ay = Cross(az, ax);
    }
    Vec3 Of(const Vec3& world) const { return {Dot(world, ax), Dot(world, ay), Dot(world, az)}; }
};

}  // namespace

std::vector<Record> TextsOfMText(const Record& mtext,
                                 const std::function<std::uint64_t()>& newHandle) {
    Vec3 at, direction, normal{0, 0, 1};
    bool hasDirection = false, hasRotation = false;
    double height = 2.5, rotation = 0, spacing = 1;
    std::int64_t attachment = 1;
    std::string contents, style;
    const EntityParts parts = TakeApart(mtext, [&](const Tag& t) {
        switch (t.code) {
            case 10:
            case 20:
            case 30:
                (t.code == 10 ? at.x : t.code == 20 ? at.y : at.z) = Number(t.value, 0);
                break;
            case 11:
            case 21:
            case 31:
                hasDirection = true;
                (t.code == 11   ? direction.x
                 : t.code == 21 ? direction.y
                                : direction.z) = Number(t.value, 0);
                break;
            case 210:
            case 220:
            case 230:
                (t.code == 210   ? normal.x
                 : t.code == 220 ? normal.y
                                 : normal.z) = Number(t.value, 0);
                break;
            case 40:
                height = Number(t.value, height);
                break;
            case 44:
                spacing = Number(t.value, spacing);
                break;
            case 50:  // the rotation; later ones are heights of columns
                if (!hasRotation)
                    rotation = Number(t.value, 0) * 3.14159265358979323846 / 180;
                hasRotation = true;
                break;
            case 71:
                ParseInt(t.value, attachment);
                break;
            case 3:
            case 1:
                contents += t.value;  // the pieces (3) come before the last one (1)
                break;
            case 7:
                style = t.value;
                break;
            default:
                break;
        }
    });
    if (attachment < 1 || attachment > 9)
        attachment = 1;
    // The insertion point and direction are in world coordinates, TEXT has them in the
    // object coordinate system of its extrusion.
    const Ocs ocs(normal);
    const Vec3 origin = ocs.Of(at);
    double angle = rotation;
    if (hasDirection) {
        const Vec3 d = ocs.Of(direction);
        if (std::hypot(d.x, d.y) > 1e-12)
            angle = std::atan2(d.y, d.x);
    }
    const double c = std::cos(angle), s = std::sin(angle);

    // Lines of the plain text; empty ones take their place but get no TEXT.
    const std::string plain = MTextPlain(contents);
    struct Line {
        std::string text;
        std::size_t index;
    };
    std::vector<Line> lines;
    std::size_t count = 0;
    for (std::size_t start = 0; start <= plain.size(); ++count) {
        std::size_t end = plain.find('\n', start);
        if (end == std::string::npos)
            end = plain.size();
        std::string line = plain.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back({line, count});
        start = end + 1;
    }
    if (lines.empty())
        lines.push_back({"", 0});
    // Base lines a line pitch apart (5/3 of the height, times the spacing factor): for a top
    // attachment the first one a height below the insertion point, for a bottom one the last
    // one on it, for a middle one the block of lines centred on it.
    const double pitch = height * 5.0 / 3.0 * (spacing > 0 ? spacing : 1);
    const double block = height + pitch * static_cast<double>(count - 1);
    const int row = static_cast<int>((attachment - 1) / 3);     // 0 top, 1 middle, 2 bottom
    const int column = static_cast<int>((attachment - 1) % 3);  // 0 left, 1 centre, 2 right
    const double top = row == 0 ? 0 : row == 1 ? block / 2 : block;

    std::vector<Record> out;
    out.reserve(lines.size());
    const std::string heightText = FormatDouble(height);
    const double degrees = angle * 180 / 3.14159265358979323846;
    for (const Line& line : lines) {
        const double v = top - height - pitch * static_cast<double>(line.index);
        const double x = origin.x - s * v, y = origin.y + c * v;
        Record r;
        r.line = mtext.line;
        r.tags = {{0, "TEXT"}};
        if (out.empty()) {
            if (!parts.handle.empty())
                r.tags.push_back({5, parts.handle});
            r.tags.insert(r.tags.end(), parts.common.begin(), parts.common.end());
        } else {
            r.tags.push_back({5, FormatHandle(newHandle())});
            r.tags.push_back({8, parts.layer});
            if (!parts.space.empty())
                r.tags.push_back({67, parts.space});
        }
        r.tags.insert(r.tags.end(), {{10, FormatDouble(x)},
                                     {20, FormatDouble(y)},
                                     {30, FormatDouble(origin.z)},
                                     {40, heightText},
                                     {1, line.text}});
        if (degrees != 0)
            r.tags.push_back({50, FormatDouble(degrees)});
        if (!style.empty())
            r.tags.push_back({7, style});
        if (column != 0) {
            // Centred or right-aligned on the point: the alignment point is the one used.
            r.tags.push_back({72, std::to_string(column)});
            r.tags.insert(
                r.tags.end(),
                {{11, FormatDouble(x)}, {21, FormatDouble(y)}, {31, FormatDouble(origin.z)}});
        }
        if (normal.x != 0 || normal.y != 0 || normal.z != 1) {
            r.tags.insert(r.tags.end(), {{210, FormatDouble(normal.x)},
                                         {220, FormatDouble(normal.y)},
                                         {230, FormatDouble(normal.z)}});
        }
        if (out.empty())
            r.tags.insert(r.tags.end(), parts.xdata.begin(), parts.xdata.end());
        out.push_back(std::move(r));
    }
    return out;
}

}  // namespace host::dxf
