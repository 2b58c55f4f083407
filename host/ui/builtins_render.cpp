// The picture commands: EXPORT renders the current space to a PNG, SVG or PDF file at a size
// or a scale, of the drawing's extents or of a window; PNGOUT writes the extents to a PNG file
// at the default size.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/base/command_line.h"
#include "host/base/report.h"
#include "host/db/hostdb.h"
#include "host/render/render.h"
#include "host/ui/builtins.h"
#include "host/ui/editor.h"
#include "host/ui/input_source.h"
#include "platform/adscodes.h"
#include "platform/dbmain.h"

namespace host {

namespace {

constexpr int kDefaultWidth = 1600, kDefaultHeight = 1000;
constexpr int kLargestSide = 30000;

bool IsWord(std::string_view answer, std::string_view word) {
    // The whole word or any start of it (at least one letter), case ignored.
    if (answer.empty() || answer.size() > word.size())
        return false;
    for (std::size_t i = 0; i < answer.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(answer[i])) !=
            std::tolower(static_cast<unsigned char>(word[i])))
            return false;
    return true;
}

// "1600x1000" (also with "X" or "*"), each side 1 to kLargestSide.
bool ParseSize(std::string_view text, int& width, int& height) {
    const auto x = text.find_first_of("xX*");
    if (x == std::string_view::npos)
        return false;
    auto number = [](std::string_view s, int& out) {
        s = TrimBlanks(s);
        if (s.empty() || s.size() > 6)
            return false;
        int v = 0;
        for (char c : s) {
            if (c < '0' || c > '9')
                return false;
            v = v * 10 + (c - '0');
        }
        out = v;
        return v >= 1 && v <= kLargestSide;
    };
    return number(text.substr(0, x), width) && number(text.substr(x + 1), height);
}

std::string Number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

struct Request {
    std::string path;
    render::Format format = render::Format::Png;
    int width = kDefaultWidth, height = kDefaultHeight;
    double scale = 0;  // pixels per drawing unit; 0: fit the size
    bool window = false;
    AcGePoint3d corner1, corner2;
};

// Asks for the file; RTNORM, RTCAN or RTERROR (reported).
int AskPath(const char* command, bool pngOnly, Request& req) {
    while (true) {
        const Answer a =
            Ask(pngOnly ? "\nPNG file to write: " : "\nFile to export to (.png, .svg or .pdf): ");
        if (a.status == RTCAN)
            return RTCAN;
        if (a.status == RTNONE) {
            ReportError(std::string(command) + ": no file name given");
            return RTERROR;
        }
        req.path = a.text;
        if (pngOnly && !render::FormatOfPath(req.path, req.format))
            req.path += ".png";
        if (render::FormatOfPath(req.path, req.format) &&
            (!pngOnly || req.format == render::Format::Png))
            return RTNORM;
        if (!RejectAnswer(pngOnly ? "Invalid answer: the file name must end in .png."
                                  : "Invalid answer: the file name must end in .png, .svg or "
                                    ".pdf."))
            return RTERROR;
    }
}

int AskSize(Request& req) {
    while (true) {
        const Answer a =
            Ask("\nPicture size in pixels WIDTHxHEIGHT or [Scale] <" +
                std::to_string(kDefaultWidth) + "x" + std::to_string(kDefaultHeight) + ">: ");
        if (a.status == RTCAN)
            return RTCAN;
        if (a.status == RTNONE)
            return RTNORM;
        if (ParseSize(a.text, req.width, req.height))
            return RTNORM;
        if (IsWord(a.text, "Scale")) {
            while (true) {
                const Answer s = Ask("\nPixels per drawing unit: ");
                if (s.status == RTCAN)
                    return RTCAN;
                char* end = nullptr;
                const double v = std::strtod(s.text.c_str(), &end);
                if (s.status == RTNORM && end && *end == '\0' && std::isfinite(v) && v > 0) {
                    req.scale = v;
                    return RTNORM;
                }
                if (!RejectAnswer("Invalid answer: expects a positive number."))
                    return RTERROR;
            }
        }
        if (!RejectAnswer("Invalid answer: expects a size such as 1600x1000 (1 to 30000 pixels a "
                          "side), or Scale."))
            return RTERROR;
    }
}

int AskArea(Request& req) {
    while (true) {
        const Answer a = Ask("\nArea to export [Extents/Window] <Extents>: ");
        if (a.status == RTCAN)
            return RTCAN;
        if (a.status == RTNONE || IsWord(a.text, "Extents"))
            return RTNORM;
        if (IsWord(a.text, "Window")) {
            int rc = GetPoint("\nFirst corner: ", req.corner1);
            if (rc != RTNORM)
                return rc == RTNONE ? RTERROR : rc;
            rc = GetPoint("\nOther corner: ", req.corner2);
            if (rc != RTNORM)
                return rc == RTNONE ? RTERROR : rc;
            req.window = true;
            return RTNORM;
        }
        if (!RejectAnswer("Invalid answer: expects Extents or Window."))
            return RTERROR;
    }
}

void Run(const char* command, const Request& req) {
    AcDbDatabase* db = WorkingDatabase();
    if (!db) {
        ReportError(std::string(command) + ": no drawing is open");
        return;
    }
    render::Options options;
    options.paperSpace = db->currentSpaceId() == db->paperSpaceId();
    options.darkBackground = false;
    render::Box area;
    if (req.window) {
        area.Add(render::Point{req.corner1.x, req.corner1.y});
        area.Add(render::Point{req.corner2.x, req.corner2.y});
        if (area.Width() <= 0 || area.Height() <= 0) {
            ReportError(std::string(command) + ": the window has no area");
            return;
        }
    } else {
        area = render::SpaceExtents(*db, options.paperSpace);
        if (area.Empty()) {
            ReportError(std::string(command) + ": the " +
                        (options.paperSpace ? "layout" : "model space") + " is empty");
            return;
        }
    }
    // The extents get a margin; a window is shown as given.
    const double margin = req.window ? 0 : 16;
    render::View view;
    if (req.scale > 0) {
        const double w = std::ceil(area.Width() * req.scale + 2 * margin);
        const double h = std::ceil(area.Height() * req.scale + 2 * margin);
        if (w > kLargestSide || h > kLargestSide) {
            ReportError(std::string(command) + ": at " + Number(req.scale) +
                        " pixels per unit the picture would be " + Number(w) + " x " + Number(h) +
                        " pixels (at most " + std::to_string(kLargestSide) + " a side)");
            return;
        }
        view.widthPx = int(w);
        view.heightPx = int(h);
        view.pixelsPerUnit = req.scale;
        view.center = {(area.minX + area.maxX) / 2, (area.minY + area.maxY) / 2};
    } else {
        view = render::View::Fit(area, req.width, req.height, margin);
    }
    std::string error;
    if (!render::Export(*db, req.path, req.format, view, options, error)) {
        ReportError(std::string(command) + ": " + error);
        return;
    }
    CommandLineWrite("\nExported " + req.path + " (" + std::to_string(view.widthPx) + " x " +
                     std::to_string(view.heightPx) + " pixels).");
}

void CmdExport() {
    Request req;
    int rc = AskPath("EXPORT", false, req);
    if (rc == RTNORM)
        rc = AskSize(req);
    if (rc == RTNORM)
        rc = AskArea(req);
    if (rc == RTNORM)
        Run("EXPORT", req);
}

void CmdPngOut() {
    Request req;
    if (AskPath("PNGOUT", true, req) == RTNORM)
        Run("PNGOUT", req);
}

}  // namespace

void AddRenderBuiltins(std::vector<Builtin>& list) {
    list.push_back({"EXPORT", CmdExport,
                    "renders the current space to a PNG, SVG or PDF file (size or scale, "
                    "extents or window)"});
    list.push_back({"PNGOUT", CmdPngOut, "renders the current space's extents to a PNG file"});
}

}  // namespace host
