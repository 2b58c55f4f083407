#include "host/ui/editor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "host/base/command_line.h"
#include "host/db/hostdb.h"
#include "host/session/documents.h"
#include "host/ui/input_source.h"
#include "platform/acedads.h"
#include "platform/dbmain.h"
#include "platform/textconv.h"

namespace host {

namespace {

std::string Format(const char* format, auto... args) {
    char buf[256];
    std::snprintf(buf, sizeof buf, format, args...);
    return buf;
}

// The entity of a handle in the working database, if it is a live entity.
AcDbObjectId EntityByHandle(std::uint64_t handle) {
    AcDbDatabase* db = WorkingDatabase();
    if (!db)
        return {};
    AcDbObjectId id;
    if (db->getAcDbObjectId(id, false, AcDbHandle(handle)) != Acad::eOk || id.isNull() ||
        id.isErased())
        return {};
    AcDbEntity* entity = nullptr;
    if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk)
        return {};
    entity->close();
    return id;
}

AcGePoint3d ExtentsCentre(AcDbObjectId id) {
    AcDbEntity* entity = nullptr;
    AcGePoint3d centre;
    if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk)
        return centre;
    AcGePoint3d lo, hi;
    if (entity->getGeomExtents(lo, hi) == Acad::eOk)
        centre = AcGePoint3d((lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2);
    entity->close();
    return centre;
}

PromptContext g_prompt;

// The prompt's context for the life of the scope; the one outside it comes back afterwards.
class ScopedPrompt {
public:
    // keepDrag: a point prompt asked for a drag keeps the dragged set.
    ScopedPrompt(PromptKind kind, bool keepDrag = false) : m_outer(g_prompt) {
        if (!keepDrag) {
            g_prompt.dragged.clear();
            g_prompt.sample = nullptr;
        }
        g_prompt.kind = kind;
    }
    explicit ScopedPrompt(PromptContext context) : m_outer(g_prompt) {
        g_prompt = std::move(context);
    }
    ~ScopedPrompt() { g_prompt = std::move(m_outer); }
    ScopedPrompt(const ScopedPrompt&) = delete;
    ScopedPrompt& operator=(const ScopedPrompt&) = delete;

private:
    PromptContext m_outer;
};

int AskCorner(std::string_view prompt, AcGePoint3d& corner) {
    return GetPoint(prompt, corner);
}

int SelectorLoop(AcDbDatabase* db, const SelectionFilter& filter, std::vector<AcDbObjectId>& out) {
    out.clear();
    if (!db)
        return RTERROR;
    while (true) {
        const Answer answer = [] {
            ScopedPrompt scope(PromptKind::Selection);
            return Ask("\nSelect objects: ");
        }();
        if (answer.status == RTCAN)
            return RTCAN;
        if (answer.status == RTNONE)
            return RTNORM;
        SelectionInput input = ParseSelectionInput(answer.text);
        std::vector<AcDbObjectId> found;
        switch (input.kind) {
            case SelectionInput::Kind::Pick:
                found = SelectAtPoint(db, UcsToWcs(input.first), PickAperture(), filter);
                if (found.size() > 1)
                    found.resize(1);
                break;
            case SelectionInput::Kind::Handle: {
                const AcDbObjectId id = EntityByHandle(input.handle);
                // The handle must name an entity the filter accepts.
                if (!id.isNull() && id.database() == db && filter.Matches(id))
                    found.push_back(id);
                break;
            }
            case SelectionInput::Kind::Last: {
                const AcDbObjectId last = LastEntity(db);
                if (!last.isNull() && filter.Matches(last))
                    found.push_back(last);
                break;
            }
            case SelectionInput::Kind::All:
                found = SelectAll(db, filter);
                break;
            case SelectionInput::Kind::WindowPrompt:
            case SelectionInput::Kind::CrossingPrompt: {
                int rc = AskCorner("\nSpecify first corner: ", input.first);
                if (rc == RTNORM)
                    rc = AskCorner("\nSpecify opposite corner: ", input.second);
                if (rc == RTCAN)
                    return RTCAN;
                if (rc != RTNORM)
                    return RTERROR;
                found = SelectWindow(db, input.first, input.second,
                                     input.kind == SelectionInput::Kind::CrossingPrompt, filter);
                break;
            }
            case SelectionInput::Kind::Window:
            case SelectionInput::Kind::Crossing:
                found = SelectWindow(db, UcsToWcs(input.first), UcsToWcs(input.second),
                                     input.kind == SelectionInput::Kind::Crossing, filter);
                break;
            case SelectionInput::Kind::Invalid:
                if (RejectAnswer("Invalid selection: expects a point, Last, ALL, "
                                 "W x1,y1 x2,y2, C x1,y1 x2,y2 or a handle (#2A)."))
                    continue;
                return RTERROR;
        }
        int duplicates = 0;
        for (const AcDbObjectId& id : found) {
            if (std::find(out.begin(), out.end(), id) != out.end()) {
                ++duplicates;
            } else {
                out.push_back(id);
            }
        }
        std::string report = Format("\n%d found", static_cast<int>(found.size()));
        if (duplicates)
            report += Format(" (%d duplicate)", duplicates);
        if (found.size() != out.size() || duplicates)
            report += Format(", %d total", static_cast<int>(out.size()));
        CommandLineWrite(report);
    }
}

}  // namespace

double PickAperture() {
    return 0.5;
}

const PromptContext& CurrentPrompt() {
    return g_prompt;
}

AcGeVector3d DragOffset(const AcGePoint3d& cursor) {
    if (!g_prompt.sample)
        return AcGeVector3d(0, 0, 0);
    const AcGePoint3d ucs = WcsToUcs(cursor);
    ads_point at = {ucs.x, ucs.y, ucs.z};
    ads_matrix matrix;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            matrix[r][c] = r == c ? 1.0 : 0.0;
    if (g_prompt.sample(at, matrix) != RTNORM)
        return AcGeVector3d(0, 0, 0);
    // The matrix moves the set in the UCS; its translation, as a vector in world coordinates.
    const AcGePoint3d from = UcsToWcs(AcGePoint3d(0, 0, 0));
    const AcGePoint3d to = UcsToWcs(AcGePoint3d(matrix[0][3], matrix[1][3], matrix[2][3]));
    return to - from;
}

int GetPoint(std::string_view prompt, AcGePoint3d& point) {
    ScopedPrompt scope(PromptKind::Point, true);
    while (true) {
        const Answer answer = Ask(prompt);
        if (answer.status != RTNORM)
            return answer.status;
        if (const auto p = ParsePoint(answer.text)) {
            const AcGePoint3d world = UcsToWcs(*p);
            if (std::isfinite(world.x) && std::isfinite(world.y) && std::isfinite(world.z)) {
                point = world;
                return RTNORM;
            }
            if (!RejectAnswer("Invalid point: beyond the range of coordinates."))
                return RTERROR;
            continue;
        }
        if (!RejectAnswer("Invalid point: expects x,y or x,y,z."))
            return RTERROR;
    }
}

int GetInteger(std::string_view prompt, int defaultValue, int minValue, int& value) {
    ScopedPrompt scope(PromptKind::Text);
    while (true) {
        const Answer answer = Ask(prompt);
        if (answer.status == RTCAN)
            return RTCAN;
        if (answer.status == RTNONE) {
            value = defaultValue;
            return RTNORM;
        }
        char* end = nullptr;
        const long number = std::strtol(answer.text.c_str(), &end, 10);
        if (end && *end == '\0' && number >= minValue && number <= 1000000) {
            value = static_cast<int>(number);
            return RTNORM;
        }
        if (!RejectAnswer(Format("Requires a whole number from %d to 1000000.", minValue)))
            return RTERROR;
    }
}

int GetText(std::string_view prompt, std::string& text) {
    ScopedPrompt scope(PromptKind::Text);
    const Answer answer = Ask(prompt);
    text = answer.text;
    return answer.status;
}

int GetEntity(std::string_view prompt, AcDbObjectId& id, AcGePoint3d& picked) {
    AcDbDatabase* db = WorkingDatabase();
    ScopedPrompt scope(PromptKind::Entity);
    while (true) {
        const Answer answer = Ask(prompt);
        if (answer.status != RTNORM)
            return answer.status == RTNONE ? RTERROR : answer.status;
        std::string_view text = answer.text;
        // A handle, optionally followed by the picked point.
        if (!text.empty() && (text.front() == '#' || text.size() > 6)) {
            std::string_view handleText = text;
            std::optional<AcGePoint3d> point;
            const std::size_t space = text.find_last_of(" \t");
            if (space != std::string_view::npos && ParsePoint(text.substr(space + 1))) {
                point = ParsePoint(text.substr(space + 1));
                handleText = TrimBlanks(text.substr(0, space));
            }
            if (const auto handle = ParseHandle(handleText)) {
                id = EntityByHandle(*handle);
                if (id.isNull()) {
                    CommandLineWrite("\nNo entity has that handle.");
                    return RTERROR;
                }
                picked = point ? UcsToWcs(*point) : ExtentsCentre(id);
                return RTNORM;
            }
        }
        if (ParseSelectionInput(text).kind == SelectionInput::Kind::Last) {
            id = db ? LastEntity(db) : AcDbObjectId();
            if (id.isNull()) {
                CommandLineWrite("\nNothing found.");
                return RTERROR;
            }
            picked = ExtentsCentre(id);
            return RTNORM;
        }
        if (const auto p = ParsePoint(text)) {
            picked = UcsToWcs(*p);
            const std::vector<AcDbObjectId> found =
                db ? SelectAtPoint(db, picked, PickAperture(), SelectionFilter{})
                   : std::vector<AcDbObjectId>{};
            if (found.empty()) {
                CommandLineWrite("\nNothing found.");
                return RTERROR;
            }
            id = found.front();
            return RTNORM;
        }
        if (!RejectAnswer("Invalid pick: expects a point x,y or a handle (#2A)."))
            return RTERROR;
    }
}

int SelectObjects(const SelectionFilter& filter, std::vector<AcDbObjectId>& ids) {
    return SelectorLoop(WorkingDatabase(), filter, ids);
}

AcGePoint3d UcsToWcs(const AcGePoint3d& p) {
    const Document* doc = CurrentDocument();
    if (!doc)
        return p;
    const AcGeVector3d z(doc->ucsXAxis.y * doc->ucsYAxis.z - doc->ucsXAxis.z * doc->ucsYAxis.y,
                         doc->ucsXAxis.z * doc->ucsYAxis.x - doc->ucsXAxis.x * doc->ucsYAxis.z,
                         doc->ucsXAxis.x * doc->ucsYAxis.y - doc->ucsXAxis.y * doc->ucsYAxis.x);
    return doc->ucsOrigin + doc->ucsXAxis * p.x + doc->ucsYAxis * p.y + z * p.z;
}

AcGePoint3d WcsToUcs(const AcGePoint3d& p) {
    const Document* doc = CurrentDocument();
    if (!doc)
        return p;
    // The axes are orthonormal: project onto them.
    const AcGeVector3d d = p - doc->ucsOrigin;
    const AcGeVector3d& x = doc->ucsXAxis;
    const AcGeVector3d& y = doc->ucsYAxis;
    const AcGeVector3d z(x.y * y.z - x.z * y.y, x.z * y.x - x.x * y.z, x.x * y.y - x.y * y.x);
    auto dot = [](const AcGeVector3d& a, const AcGeVector3d& b) {
        return a.x * b.x + a.y * b.y + a.z * b.z;
    };
    return AcGePoint3d(dot(d, x), dot(d, y), dot(d, z));
}

void InstallInteractiveSelector() {
    SetInteractiveSelector(&SelectorLoop);
}

}  // namespace host

// ---- Exported surface ------------------------------------------------------------------

namespace {

template <class C>
std::string PromptText(const C* prompt, const char* fallback) {
    if (!prompt)
        return fallback;
    return qv::ToUtf8(prompt);
}

void ToAds(const AcGePoint3d& p, ads_point out) {
    out[0] = p.x;
    out[1] = p.y;
    out[2] = p.z;
}

template <class C>
int GetPointImpl(const C* prompt, ads_point result) {
    if (!result)
        return RTERROR;
    AcGePoint3d p;
    const int rc = host::GetPoint(PromptText(prompt, "\nSpecify point: "), p);
    if (rc == RTNORM)
        ToAds(host::WcsToUcs(p), result);
    return rc;
}

template <class C>
int EntSelImpl(const C* prompt, ads_name entity, ads_point picked) {
    AcDbObjectId id;
    AcGePoint3d point;
    const int rc = host::GetEntity(PromptText(prompt, "\nSelect object: "), id, point);
    if (rc != RTNORM)
        return rc;
    ads_name name;
    if (acdbGetAdsName(name, id) != Acad::eOk)
        return RTERROR;
    ads_name_set(name, entity);
    if (picked)
        ToAds(host::WcsToUcs(point), picked);
    return RTNORM;
}

template <class C>
int DragImpl(const ads_name ss, const C* prompt, AcedDragSampleFunc sample, ads_point result) {
    std::int32_t length = 0;
    if (!ss || acedSSLength(ss, &length) != RTNORM || !result)
        return RTERROR;
    host::PromptContext drag;
    drag.kind = host::PromptKind::Point;
    drag.sample = sample;
    for (std::int32_t i = 0; i < length; ++i) {
        ads_name entity;
        AcDbObjectId id;
        if (acedSSName(ss, i, entity) == RTNORM && acdbGetObjectId(id, entity) == Acad::eOk)
            drag.dragged.push_back(id);
    }
    AcGePoint3d p;
    const int rc = [&] {
        host::ScopedPrompt scope(std::move(drag));
        return host::GetPoint(PromptText(prompt, "\nSpecify insertion point: "), p);
    }();
    if (rc != RTNORM)
        return rc;
    ToAds(host::WcsToUcs(p), result);
    if (sample) {
        // The preview of the final cursor position.
        ads_matrix matrix;
        ads_point cursor = {result[0], result[1], result[2]};
        sample(cursor, matrix);
    }
    return RTNORM;
}

}  // namespace

int acedGetPoint(const ads_point, const char* prompt, ads_point result) {
    return GetPointImpl(prompt, result);
}
int acedGetPoint(const ads_point, const char16_t* prompt, ads_point result) {
    return GetPointImpl(prompt, result);
}
int acedEntSel(const char* prompt, ads_name entity, ads_point picked) {
    return EntSelImpl(prompt, entity, picked);
}
int acedEntSel(const char16_t* prompt, ads_name entity, ads_point picked) {
    return EntSelImpl(prompt, entity, picked);
}
int acedDragGen(const ads_name ss, const char* prompt, int, AcedDragSampleFunc sample,
                ads_point result) {
    return DragImpl(ss, prompt, sample, result);
}
int acedDragGen(const ads_name ss, const char16_t* prompt, int, AcedDragSampleFunc sample,
                ads_point result) {
    return DragImpl(ss, prompt, sample, result);
}

int acedRedraw(const ads_name entityOrSs, int mode) {
    if (mode < 0 || mode > ADS_REDRAW_UNHIGHLIGHT)
        return RTERROR;
    host::Document* doc = host::CurrentDocument();
    if (!doc)
        return RTERROR;
    if (entityOrSs && !ads_name_nil(entityOrSs)) {
        // An entity name or a selection set.
        AcDbObjectId id;
        std::int32_t length = 0;
        if (acdbGetObjectId(id, entityOrSs) != Acad::eOk &&
            acedSSLength(entityOrSs, &length) != RTNORM)
            return RTERROR;
    }
    doc->CountRedraw();
    return RTNORM;
}

bool acdbUcs2Wcs(const ads_point point, ads_point result, bool vector) {
    if (!point || !result)
        return false;
    const AcGePoint3d p(point[0], point[1], point[2]);
    AcGePoint3d w = host::UcsToWcs(p);
    if (vector) {
        const AcGePoint3d o = host::UcsToWcs(AcGePoint3d::kOrigin);
        w = AcGePoint3d(w.x - o.x, w.y - o.y, w.z - o.z);
    }
    ToAds(w, result);
    return true;
}

bool acdbWcs2Ucs(const ads_point point, ads_point result, bool vector) {
    if (!point || !result)
        return false;
    const AcGePoint3d p(point[0], point[1], point[2]);
    AcGePoint3d u = host::WcsToUcs(p);
    if (vector) {
        const AcGePoint3d o = host::WcsToUcs(AcGePoint3d::kOrigin);
        u = AcGePoint3d(u.x - o.x, u.y - o.y, u.z - o.z);
    }
    ToAds(u, result);
    return true;
}
