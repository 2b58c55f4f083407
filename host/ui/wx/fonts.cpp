// Real fonts for the model's fonts, and what the toolkit measures with them: dialog base
// units, text extents and the geometry of report lists.
#include <wx/dcmemory.h>
#include <wx/listctrl.h>

#include <map>

#include "host/ui/wx/wx_toolkit.h"

namespace host::ui::wx {

namespace {

// Faces that stand for "the system's dialog font" in dialog templates and module code.
bool IsDialogFace(const std::string& face) {
    static const char* const faces[] = {
        "MS Shell Dlg", "MS Shell Dlg 2", "MS Sans Serif", "System", "Tahoma", "Segoe UI", ""};
    for (const char* f : faces) {
        if (wxString(Wx(face)).IsSameAs(f, false))
            return true;
    }
    return false;
}

std::string KeyOf(const FontDesc& d) {
    return d.face + '|' + std::to_string(d.height) + '|' + std::to_string(d.weight) + '|' +
           (d.italic ? 'i' : '-') + (d.underline ? 'u' : '-') + (d.strikeOut ? 's' : '-');
}

std::map<std::string, wxFont>& Fonts() {
    static std::map<std::string, wxFont> fonts;
    return fonts;
}

std::map<std::string, BaseUnits>& Units() {
    static std::map<std::string, BaseUnits> units;
    return units;
}

std::map<std::string, ListMetrics>& Lists() {
    static std::map<std::string, ListMetrics> lists;
    return lists;
}

// One memory device context for every measurement (gone before the toolkit shuts down).
struct Measuring {
    wxBitmap bitmap{8, 8};
    wxMemoryDC dc{bitmap};
};
std::unique_ptr<Measuring> g_measuring;

wxMemoryDC& MeasuringDc() {
    if (!g_measuring)
        g_measuring = std::make_unique<Measuring>();
    return g_measuring->dc;
}

}  // namespace

const wxFont& FontFor(const FontDesc& desc) {
    auto& fonts = Fonts();
    const std::string key = KeyOf(desc);
    if (auto it = fonts.find(key); it != fonts.end())
        return it->second;
    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    if (!IsDialogFace(desc.face))
        font.SetFaceName(Wx(desc.face));
    // A LOGFONT height is the character height in pixels when negative, the cell height when
    // positive (about a quarter more); points follow from the screen's resolution.
    const int pixels = desc.height < 0 ? -desc.height : (desc.height * 3 + 2) / 4;
    const int dpi = std::max(72, wxScreenDC().GetPPI().y);
    font.SetFractionalPointSize(std::max(1, pixels) * 72.0 / dpi);
    font.SetWeight(desc.weight >= FW_BOLD ? wxFONTWEIGHT_BOLD : wxFONTWEIGHT_NORMAL);
    font.SetStyle(desc.italic ? wxFONTSTYLE_ITALIC : wxFONTSTYLE_NORMAL);
    font.SetUnderlined(desc.underline);
    font.SetStrikethrough(desc.strikeOut);
    return fonts.emplace(key, font).first->second;
}

BaseUnits MeasureUnits(const FontDesc& desc) {
    auto& units = Units();
    const std::string key = KeyOf(desc);
    if (auto it = units.find(key); it != units.end())
        return it->second;
    // The platform's dialog base units: the average width of the 52 letters, rounded, and
    // the font's character height.
    wxMemoryDC& dc = MeasuringDc();
    dc.SetFont(FontFor(desc));
    wxCoord width = 0, height = 0;
    dc.GetTextExtent("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &width, &height);
    const BaseUnits result{std::max(1, (width / 26 + 1) / 2),
                           std::max(1, static_cast<int>(dc.GetCharHeight()))};
    return units.emplace(key, result).first->second;
}

SIZE MeasureText(const FontDesc& desc, const std::string& utf8) {
    wxMemoryDC& dc = MeasuringDc();
    dc.SetFont(FontFor(desc));
    wxCoord width = 0, height = 0;
    dc.GetTextExtent(Wx(utf8), &width, &height);
    if (utf8.empty())
        height = dc.GetCharHeight();
    return SIZE{width, height};
}

ListMetrics MeasureList(const FontDesc& desc, long wxStyle) {
    auto& lists = Lists();
    const std::string key = KeyOf(desc) + '|' + std::to_string(wxStyle);
    if (auto it = lists.find(key); it != lists.end())
        return it->second;
    // A hidden report list with the same font and style and one row: where its row lies is
    // where every list of that kind puts its rows.
    wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "measure");
    wxListCtrl* list = new wxListCtrl(frame, wxID_ANY, wxPoint(0, 0), wxSize(200, 200),
                                      (wxStyle & ~wxLC_VIRTUAL) | wxLC_REPORT);
    list->SetFont(FontFor(desc));
    list->InsertColumn(0, "W", wxLIST_FORMAT_LEFT, 80);
    list->InsertItem(0, "W");
    wxRect rect;
    ListMetrics metrics;
    if (list->GetItemRect(0, rect)) {
        metrics.header = rect.y;
        metrics.row = rect.height;
    } else {
        metrics.row = MeasureUnits(desc).cy + 4;
        metrics.header = (wxStyle & wxLC_NO_HEADER) ? 0 : metrics.row + 4;
    }
    frame->Destroy();
    return lists.emplace(key, metrics).first->second;
}

void ForgetFonts() {
    Fonts().clear();
    Units().clear();
    Lists().clear();
    g_measuring.reset();
}

}  // namespace host::ui::wx
