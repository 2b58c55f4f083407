// Pictures of icon resources: the .ico bytes of an image's resources decoded with wxImage,
// the entry nearest the wanted size chosen, and scaled when no entry has that size.
#include <wx/imaglist.h>
#include <wx/mstream.h>

#include "host/ui/wx/wx_toolkit.h"

namespace host::ui::wx {

wxBitmap BitmapOfIcon(const Icon& icon, int cx, int cy) {
    if (!icon.bytes || icon.size == 0)
        return wxBitmap();
    wxMemoryInputStream count(icon.bytes, icon.size);
    const int entries = wxImage::GetImageCount(count, wxBITMAP_TYPE_ICO);
    wxImage best;
    for (int i = 0; i < entries; ++i) {
        wxMemoryInputStream in(icon.bytes, icon.size);
        wxImage image;
        if (!image.LoadFile(in, wxBITMAP_TYPE_ICO, i))
            continue;
        const auto distance = [&](const wxImage& im) {
            return std::abs(im.GetWidth() - cx) + std::abs(im.GetHeight() - cy);
        };
        if (!best.IsOk() || distance(image) < distance(best))
            best = image;
    }
    if (!best.IsOk())
        return wxBitmap();
    if (best.GetWidth() != cx || best.GetHeight() != cy)
        best.Rescale(cx, cy, wxIMAGE_QUALITY_HIGH);
    return wxBitmap(best);
}

std::unique_ptr<wxImageList> NativeImageList(const ImageList& images) {
    auto list = std::make_unique<wxImageList>(images.cx, images.cy, true,
                                              static_cast<int>(images.images.size()));
    for (const Icon* icon : images.images) {
        wxBitmap bitmap = icon ? BitmapOfIcon(*icon, images.cx, images.cy) : wxBitmap();
        if (!bitmap.IsOk()) {
            // An icon that cannot be decoded keeps its place, so later indexes stay right.
            wxImage blank(images.cx, images.cy);
            blank.InitAlpha();
            std::fill_n(blank.GetAlpha(), images.cx * images.cy, 0);
            bitmap = wxBitmap(blank);
        }
        list->Add(bitmap);
    }
    return list;
}

}  // namespace host::ui::wx
