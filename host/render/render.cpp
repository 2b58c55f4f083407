// Drawing a space, picking, window selection and exports.
#include "host/render/render.h"

#include <algorithm>

namespace host::render {

Box SpaceExtents(AcDbDatabase&, bool) {
    return {};
}

void Draw(cairo_t* cr, AcDbDatabase&, const View&, const Options& options) {
    const double bg = options.darkBackground ? 0.0 : 1.0;
    cairo_save(cr);
    cairo_set_source_rgb(cr, bg, bg, bg);
    cairo_paint(cr);
    cairo_restore(cr);
}

Hit PickAt(AcDbDatabase&, const View&, Point, double, bool) {
    return {};
}

std::vector<AcDbObjectId> EntitiesInWindow(AcDbDatabase&, const View&, Box, bool, bool) {
    return {};
}

bool FormatOfPath(const std::string& path, Format& format) {
    const auto dot = path.rfind('.');
    if (dot == std::string::npos)
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

bool Export(AcDbDatabase&, const std::string&, Format, const View&, const Options&,
            std::string& error) {
    error = "exporting is not available yet";
    return false;
}

}  // namespace host::render
