// The drawing view of the main window: the current space rendered into a cairo image surface
// that is blitted to the window, redrawn only when the view, the drawing or what the prompt
// shows (a highlighted entity or cell, the set being dragged) has changed.
//
// Mouse and keys:
//   wheel                       zoom at the cursor
//   middle drag, space + drag   pan
//   middle double-click         zoom to the extents
//   left click                  answers the waiting prompt: a point, the entity under the
//                               cursor, or at "Select objects:" the entity or the corners of
//                               a window (left to right: window, right to left: crossing)
#pragma once

#include <wx/bitmap.h>
#include <wx/window.h>

#include <cstdint>
#include <optional>
#include <string>

#include "host/render/render.h"

class AcDbDatabase;

namespace host::ui::wx {

class MainWindow;

class DrawingView final : public wxWindow {
public:
    DrawingView(wxWindow* parent, MainWindow& main);

    const render::View& ViewState() const { return m_view; }
    void SetViewState(const render::View& view);
    void ZoomExtents();
    // The device point of a drawing point, and the other way.
    wxPoint ToDevice(double x, double y) const;
    render::Point ToDrawing(wxPoint device) const;

    // The prompt has changed: what the cursor shows is worked out again.
    void PromptChanged();
    // Redraws when the drawing has changed since the last frame.
    void CheckDrawingChanged();
    // What the last frame showed, for tests.
    const render::Options& LastOptions() const { return m_options; }
    int FramesDrawn() const { return m_frames; }
    // A pending window corner of "Select objects:".
    bool WindowStarted() const { return m_windowStart.has_value(); }
    void CancelWindow();
    // Space held over the view: dragging pans.
    void SetSpacePan(bool on);

private:
    void OnPaint(wxPaintEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnMouse(wxMouseEvent& event);
    void OnWheel(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);
    void OnLeftClick(wxPoint at);
    void Hover(wxPoint at);
    bool Render();
    AcDbDatabase* Database() const;
    bool PaperSpace() const;

    MainWindow& m_main;
    render::View m_view;
    bool m_fitted = false;
    render::Options m_options;    // of the next frame
    render::Options m_drawnWith;  // of the frame in m_frame
    render::View m_drawnView;
    std::uint64_t m_drawnChanges = 0;
    const AcDbDatabase* m_drawnDb = nullptr;
    wxBitmap m_frame;
    bool m_dirty = true;
    int m_frames = 0;
    std::optional<wxPoint> m_panFrom;
    bool m_spacePan = false;
    std::optional<wxPoint> m_windowStart;  // device point
    std::optional<wxPoint> m_pressAt;      // where the left button went down
    wxPoint m_cursor{-1, -1};
    std::string m_cursorLabel;  // coordinates shown under the cursor at a point prompt
};

}  // namespace host::ui::wx
