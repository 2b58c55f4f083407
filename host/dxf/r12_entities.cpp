#include "host/dxf/r12_entities.h"

#include <string>

#include "host/dxf/tags.h"

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
    Tags common;  // layer, colour, ... in their order
    Tags xdata;
    std::string handle, layer = "0", space;
    std::string elevation = "0.0", thickness, constantWidth;
    std::string normal[3];
    std::int64_t flags = 0;
    std::vector<LightPoint> points;
    bool inGroup = false;
    for (std::size_t i = 1; i < light.tags.size(); ++i) {
        const Tag& t = light.tags[i];
        if (t.code == 1001) {
            xdata.assign(light.tags.begin() + static_cast<std::ptrdiff_t>(i), light.tags.end());
            break;
        }
        if (t.code == 102) {
            inGroup = !t.value.empty() && t.value[0] == '{';
            continue;
        }
        if (inGroup)
            continue;
        if (IsCommonEntityCode(t.code)) {
            common.push_back(t);
            if (t.code == 8)
                layer = t.value;
            if (t.code == 67)
                space = t.value;
            continue;
        }
        switch (t.code) {
            case 5:
                if (handle.empty())
                    handle = t.value;
                break;
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
    }
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
    if (!handle.empty())
        head.tags.push_back({5, handle});
    head.tags.insert(head.tags.end(), common.begin(), common.end());
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
    head.tags.insert(head.tags.end(), xdata.begin(), xdata.end());
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

}  // namespace host::dxf
