#include "host/ui/wx/drawing_view.h"

#include <cairo.h>
#include <wx/dcbuffer.h>
#include <wx/dcclient.h>
#include <wx/image.h>
#include <wx/utils.h>

#include <cmath>
#include <cstdio>

#include "host/db/hostdb.h"
#include "host/session/documents.h"
#include "host/ui/editor.h"
#include "host/ui/wx/main_window.h"
#include "platform/dbmain.h"

namespace host::ui::wx {

namespace {

constexpr double kZoomStep = 1.25;      // per wheel notch
constexpr double kPickTolerancePx = 4;  // the pick box, half its side
constexpr int kClickSlopPx = 3;         // a press and release closer than this is a click

bool SameIds(const std::vector<AcDbObjectId>& a, const std::vector<AcDbObjectId>& b) {
    return a == b;
}

bool SameOptions(const render::Options& a, const render::Options& b) {
    return a.paperSpace == b.paperSpace && a.darkBackground == b.darkBackground &&
           SameIds(a.highlighted, b.highlighted) &&
           a.highlightedCell.table == b.highlightedCell.table &&
           a.highlightedCell.row == b.highlightedCell.row &&
           a.highlightedCell.column == b.highlightedCell.column && a.preview == b.preview &&
           a.previewOffset.x == b.previewOffset.x && a.previewOffset.y == b.previewOffset.y;
}

bool SameView(const render::View& a, const render::View& b) {
    return a.center.x == b.center.x && a.center.y == b.center.y &&
           a.pixelsPerUnit == b.pixelsPerUnit && a.widthPx == b.widthPx && a.heightPx == b.heightPx;
}

std::string HandleText(AcDbObjectId id) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "#%llX", static_cast<unsigned long long>(id.handle().value()));
    return buf;
}

}  // namespace

DrawingView::DrawingView(wxWindow* parent, MainWindow& main)
    : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxSize(800, 500), wxWANTS_CHARS), m_main(main) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &DrawingView::OnPaint, this);
    Bind(wxEVT_SIZE, &DrawingView::OnSize, this);
    Bind(wxEVT_MOUSEWHEEL, &DrawingView::OnWheel, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &DrawingView::OnCaptureLost, this);
    for (const auto& type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_UP, wxEVT_MIDDLE_DOWN, wxEVT_MIDDLE_UP,
                             wxEVT_MIDDLE_DCLICK, wxEVT_MOTION, wxEVT_LEAVE_WINDOW, wxEVT_RIGHT_UP})
        Bind(type, &DrawingView::OnMouse, this);
}

AcDbDatabase* DrawingView::Database() const {
    return WorkingDatabase();
}

bool DrawingView::PaperSpace() const {
    const AcDbDatabase* db = Database();
    return db && db->currentSpaceId() == db->paperSpaceId();
}

void DrawingView::SetViewState(const render::View& view) {
    m_view = view;
    m_fitted = true;
    Refresh(false);
}

void DrawingView::ZoomExtents() {
    const wxSize size = GetClientSize();
    AcDbDatabase* db = Database();
    const render::Box extents = db ? render::SpaceExtents(*db, PaperSpace()) : render::Box{};
    m_view = render::View::Fit(extents, std::max(1, size.x), std::max(1, size.y));
    m_fitted = true;
    Refresh(false);
}

wxPoint DrawingView::ToDevice(double x, double y) const {
    const render::Point p = m_view.ToDevice(render::Point{x, y});
    return wxPoint(static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y)));
}

render::Point DrawingView::ToDrawing(wxPoint device) const {
    return m_view.ToDrawing(
        render::Point{static_cast<double>(device.x), static_cast<double>(device.y)});
}

void DrawingView::PromptChanged() {
    if (CurrentPrompt().kind != PromptKind::Selection)
        m_windowStart.reset();
    if (m_cursor.x >= 0)
        Hover(m_cursor);
    else {
        m_options.highlighted.clear();
        m_options.highlightedCell = {};
        m_options.preview = nullptr;
        m_cursorLabel.clear();
    }
    CheckDrawingChanged();
    Refresh(false);
}

void DrawingView::CheckDrawingChanged() {
    if (Database() != m_drawnDb || ChangeSerial(Database()) != m_drawnChanges)
        Refresh(false);
}

void DrawingView::CancelWindow() {
    m_windowStart.reset();
    Refresh(false);
}

void DrawingView::SetSpacePan(bool on) {
    m_spacePan = on;
    if (!on)
        m_panFrom.reset();
}

bool DrawingView::Render() {
    AcDbDatabase* db = Database();
    const wxSize size = GetClientSize();
    if (size.x <= 0 || size.y <= 0)
        return false;
    if (!m_fitted) {
        ZoomExtents();
    } else if (m_view.widthPx != size.x || m_view.heightPx != size.y) {
        m_view.widthPx = size.x;
        m_view.heightPx = size.y;
    }
    m_options.paperSpace = PaperSpace();
    const std::uint64_t changes = ChangeSerial(db);
    if (m_frame.IsOk() && db == m_drawnDb && changes == m_drawnChanges &&
        SameView(m_view, m_drawnView) && SameOptions(m_options, m_drawnWith))
        return true;  // the frame shows all of it already

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, size.x, size.y);
    cairo_t* cr = cairo_create(surface);
    if (db) {
        render::Draw(cr, *db, m_view, m_options);
    } else {
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_paint(cr);
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    // Cairo's pixels (native 32-bit words 0x00RRGGBB) as the image's bytes.
    wxImage image(size.x, size.y, false);
    unsigned char* out = image.GetData();
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < size.y; ++y) {
        const auto* row =
            reinterpret_cast<const std::uint32_t*>(data + static_cast<long>(y) * stride);
        for (int x = 0; x < size.x; ++x) {
            const std::uint32_t pixel = row[x];
            *out++ = static_cast<unsigned char>(pixel >> 16);
            *out++ = static_cast<unsigned char>(pixel >> 8);
            *out++ = static_cast<unsigned char>(pixel);
        }
    }
    cairo_surface_destroy(surface);
    m_frame = wxBitmap(image);
    m_drawnDb = db;
    m_drawnChanges = changes;
    m_drawnView = m_view;
    m_drawnWith = m_options;
    ++m_frames;
    return true;
}

void DrawingView::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    if (!Render()) {
        dc.SetBackground(*wxBLACK_BRUSH);
        dc.Clear();
        return;
    }
    dc.DrawBitmap(m_frame, 0, 0);
    // What follows the cursor is drawn over the frame: the window being dragged open and the
    // coordinates of a point prompt.
    if (m_windowStart && m_cursor.x >= 0) {
        const bool crossing = m_cursor.x < m_windowStart->x;
        wxPen pen(crossing ? wxColour(80, 220, 80) : wxColour(80, 140, 255), 1,
                  crossing ? wxPENSTYLE_SHORT_DASH : wxPENSTYLE_SOLID);
        dc.SetPen(pen);
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.DrawRectangle(wxRect(*m_windowStart, m_cursor));
    }
    if (!m_cursorLabel.empty() && m_cursor.x >= 0) {
        dc.SetTextForeground(wxColour(255, 255, 160));
        dc.SetTextBackground(wxColour(40, 40, 40));
        dc.SetBackgroundMode(wxBRUSHSTYLE_SOLID);
        dc.DrawText(wxString::FromUTF8(m_cursorLabel), m_cursor.x + 14, m_cursor.y + 16);
    }
}

void DrawingView::OnSize(wxSizeEvent& event) {
    event.Skip();
    Refresh(false);
}

void DrawingView::OnWheel(wxMouseEvent& event) {
    const int notches = event.GetWheelRotation() / std::max(1, event.GetWheelDelta());
    if (notches == 0)
        return;
    m_view.ZoomAt(
        render::Point{static_cast<double>(event.GetX()), static_cast<double>(event.GetY())},
        std::pow(kZoomStep, notches));
    m_fitted = true;
    Hover(event.GetPosition());
    Refresh(false);
}

void DrawingView::OnCaptureLost(wxMouseCaptureLostEvent&) {
    m_panFrom.reset();
}

void DrawingView::OnMouse(wxMouseEvent& event) {
    const wxPoint at = event.GetPosition();
    const wxEventType type = event.GetEventType();
    if (type == wxEVT_MIDDLE_DCLICK) {
        ZoomExtents();
        return;
    }
    if (type == wxEVT_MIDDLE_DOWN || (type == wxEVT_LEFT_DOWN && m_spacePan)) {
        m_panFrom = at;
        if (!HasCapture())
            CaptureMouse();
        return;
    }
    if (type == wxEVT_MIDDLE_UP || (type == wxEVT_LEFT_UP && m_panFrom)) {
        m_panFrom.reset();
        if (HasCapture())
            ReleaseMouse();
        return;
    }
    if (type == wxEVT_LEFT_DOWN) {
        m_pressAt = at;
        return;
    }
    if (type == wxEVT_MOTION) {
        if (m_spacePan && !wxGetKeyState(WXK_SPACE))
            SetSpacePan(false);
        if (m_panFrom) {
            m_view.PanBy(at.x - m_panFrom->x, at.y - m_panFrom->y);
            m_panFrom = at;
            m_fitted = true;
        }
        Hover(at);
        Refresh(false);
        return;
    }
    if (type == wxEVT_LEAVE_WINDOW) {
        m_cursor = wxPoint(-1, -1);
        m_cursorLabel.clear();
        m_main.SetCoordinates("");
        Refresh(false);
        return;
    }
    if (type == wxEVT_RIGHT_UP) {
        // As Enter: ends "Select objects:" and takes a prompt's default.
        if (m_main.Waiting())
            m_main.Answer("");
        return;
    }
    if (type == wxEVT_LEFT_UP) {
        // A press dragged open at "Select objects:" is a window from the press to here.
        if (m_pressAt && !m_windowStart && m_main.Waiting() &&
            CurrentPrompt().kind == PromptKind::Selection &&
            (std::abs(m_pressAt->x - at.x) >= kClickSlopPx ||
             std::abs(m_pressAt->y - at.y) >= kClickSlopPx))
            m_windowStart = *m_pressAt;
        m_pressAt.reset();
        OnLeftClick(at);
    }
}

void DrawingView::Hover(wxPoint at) {
    m_cursor = at;
    const render::Point p = ToDrawing(at);
    const AcGePoint3d ucs = WcsToUcs(AcGePoint3d(p.x, p.y, 0));
    char text[96];
    std::snprintf(text, sizeof text, "%.4f, %.4f", ucs.x, ucs.y);
    m_main.SetCoordinates(text);

    m_options.highlighted.clear();
    m_options.highlightedCell = {};
    m_options.preview = nullptr;
    m_options.previewOffset = {};
    m_cursorLabel.clear();
    AcDbDatabase* db = Database();
    if (!m_main.Waiting() || !db)
        return;
    const PromptContext& prompt = CurrentPrompt();
    switch (prompt.kind) {
        case PromptKind::Point: {
            m_cursorLabel = text;
            if (!prompt.dragged.empty()) {
                // The set being placed follows the cursor.
                const AcGeVector3d offset = DragOffset(AcGePoint3d(p.x, p.y, 0));
                m_options.preview = AcDbEntity::cast(ObjectOf(prompt.dragged.front()));
                m_options.previewOffset = render::Point{offset.x, offset.y};
                break;
            }
            // A point on a table picks a cell (the start cell of a link, for one).
            const render::Hit hit = render::PickAt(
                *db, m_view, render::Point{static_cast<double>(at.x), static_cast<double>(at.y)},
                kPickTolerancePx, PaperSpace());
            if (hit.cell.Valid())
                m_options.highlightedCell = hit.cell;
            break;
        }
        case PromptKind::Entity:
        case PromptKind::Selection: {
            const render::Hit hit = render::PickAt(
                *db, m_view, render::Point{static_cast<double>(at.x), static_cast<double>(at.y)},
                kPickTolerancePx, PaperSpace());
            if (!hit.entity.isNull() && !m_windowStart)
                m_options.highlighted.push_back(hit.entity);
            break;
        }
        case PromptKind::Text:
            break;
    }
}

void DrawingView::OnLeftClick(wxPoint at) {
    if (!m_main.Waiting())
        return;
    AcDbDatabase* db = Database();
    const render::Point p = ToDrawing(at);
    const AcGePoint3d ucs = WcsToUcs(AcGePoint3d(p.x, p.y, 0));
    const std::string point = PointAnswer(ucs.x, ucs.y);
    const PromptContext& prompt = CurrentPrompt();
    const render::Point device{static_cast<double>(at.x), static_cast<double>(at.y)};
    switch (prompt.kind) {
        case PromptKind::Text:
            // A point typed into the line, as CAD command lines take a click for a point.
            m_main.Answer(point);
            return;
        case PromptKind::Point:
            m_main.Answer(point);
            return;
        case PromptKind::Entity: {
            const render::Hit hit =
                db ? render::PickAt(*db, m_view, device, kPickTolerancePx, PaperSpace())
                   : render::Hit{};
            m_main.Answer(hit.entity.isNull() ? point : HandleText(hit.entity) + " " + point);
            return;
        }
        case PromptKind::Selection: {
            if (m_windowStart) {
                const wxPoint start = *m_windowStart;
                m_windowStart.reset();
                if (std::abs(start.x - at.x) < kClickSlopPx &&
                    std::abs(start.y - at.y) < kClickSlopPx)
                    return;
                const render::Point a = ToDrawing(start);
                const AcGePoint3d first = WcsToUcs(AcGePoint3d(a.x, a.y, 0));
                // Left to right: a window (wholly inside); right to left: crossing.
                const bool crossing = at.x < start.x;
                m_main.Answer(std::string(crossing ? "C " : "W ") + PointAnswer(first.x, first.y) +
                              " " + point);
                return;
            }
            const render::Hit hit =
                db ? render::PickAt(*db, m_view, device, kPickTolerancePx, PaperSpace())
                   : render::Hit{};
            if (!hit.entity.isNull()) {
                m_main.Answer(HandleText(hit.entity));
                return;
            }
            m_windowStart = at;
            Refresh(false);
            return;
        }
    }
}

}  // namespace host::ui::wx
