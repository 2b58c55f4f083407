// Boxes and views: the mapping between drawing coordinates and device pixels.
#include <algorithm>
#include <cmath>

#include "host/render/render.h"

namespace host::render {

bool Box::Empty() const {
    return !(minX <= maxX && minY <= maxY);
}

void Box::Add(Point p) {
    minX = std::min(minX, p.x);
    minY = std::min(minY, p.y);
    maxX = std::max(maxX, p.x);
    maxY = std::max(maxY, p.y);
}

void Box::Add(const Box& b) {
    if (b.Empty())
        return;
    Add(Point{b.minX, b.minY});
    Add(Point{b.maxX, b.maxY});
}

bool Box::Intersects(const Box& b) const {
    if (Empty() || b.Empty())
        return false;
    return minX <= b.maxX && b.minX <= maxX && minY <= b.maxY && b.minY <= maxY;
}

bool Box::Contains(const Box& b) const {
    if (Empty() || b.Empty())
        return false;
    return minX <= b.minX && b.maxX <= maxX && minY <= b.minY && b.maxY <= maxY;
}

Point View::ToDevice(Point drawing) const {
    return {widthPx / 2.0 + (drawing.x - center.x) * pixelsPerUnit,
            heightPx / 2.0 - (drawing.y - center.y) * pixelsPerUnit};
}

Point View::ToDrawing(Point device) const {
    return {center.x + (device.x - widthPx / 2.0) / pixelsPerUnit,
            center.y - (device.y - heightPx / 2.0) / pixelsPerUnit};
}

Box View::VisibleBox() const {
    Box b;
    b.Add(ToDrawing({0, 0}));
    b.Add(ToDrawing({double(widthPx), double(heightPx)}));
    return b;
}

View View::Fit(const Box& extents, int widthPx, int heightPx, double marginPx) {
    View v;
    v.widthPx = std::max(widthPx, 1);
    v.heightPx = std::max(heightPx, 1);
    if (extents.Empty()) {
        v.pixelsPerUnit = 1;
        return v;
    }
    v.center = {(extents.minX + extents.maxX) / 2, (extents.minY + extents.maxY) / 2};
    const double freeW = std::max(1.0, v.widthPx - 2 * marginPx);
    const double freeH = std::max(1.0, v.heightPx - 2 * marginPx);
    const double w = extents.maxX - extents.minX, h = extents.maxY - extents.minY;
    double scale = std::numeric_limits<double>::infinity();
    if (w > 0)
        scale = freeW / w;
    if (h > 0)
        scale = std::min(scale, freeH / h);
    if (!std::isfinite(scale) || scale <= 0)
        scale = 1;  // a single point, or a line of no width and height
    v.pixelsPerUnit = scale;
    return v;
}

void View::ZoomAt(Point device, double factor) {
    if (!(factor > 0) || !std::isfinite(factor))
        return;
    const Point fixed = ToDrawing(device);
    pixelsPerUnit *= factor;
    // Move the centre so that `fixed` maps to `device` again.
    center.x = fixed.x - (device.x - widthPx / 2.0) / pixelsPerUnit;
    center.y = fixed.y + (device.y - heightPx / 2.0) / pixelsPerUnit;
}

void View::PanBy(double dxPx, double dyPx) {
    center.x -= dxPx / pixelsPerUnit;
    center.y += dyPx / pixelsPerUnit;
}

}  // namespace host::render
