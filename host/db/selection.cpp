// Entity names, selection sets and object selection: the selection modes of acedSSGet and the
// editor's interactive hook (the filters are in selection_filter.cpp).
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/db/hostdb.h"
#include "host/db/internal.h"
#include "platform/acedads.h"
#include "platform/acutads.h"
#include "platform/textconv.h"

namespace {

// The second word of a name tells entity names from selection-set names; the first is the
// entity's record or the set's serial number.
constexpr std::intptr_t kEntityTag = 0x456E7459;  // "EntY"
constexpr std::intptr_t kSetTag = 0x53536574;     // "SSet"

struct SelectionSets {
    std::map<std::intptr_t, std::vector<AcDbObjectId>> sets;
    std::intptr_t nextSerial = 1;
    std::vector<AcDbObjectId> previous;  // the last set acedSSGet made
};

SelectionSets& Sets() {
    static SelectionSets s;
    return s;
}

std::vector<AcDbObjectId>* FindSet(const ads_name ss) {
    if (!ss || ss[1] != kSetTag)
        return nullptr;
    auto it = Sets().sets.find(ss[0]);
    return it == Sets().sets.end() ? nullptr : &it->second;
}

host::InteractiveSelector g_interactive = nullptr;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Entity names

Acad::ErrorStatus acdbGetObjectId(AcDbObjectId& id, const ads_name entity) {
    id.setNull();
    if (!entity || entity[1] != kEntityTag)
        return Acad::eInvalidAdsName;
    // The first word is only trusted once it is known to be a live record.
    auto* stub = reinterpret_cast<AcDbStub*>(entity[0]);
    if (!host::IsLiveStub(stub) || !stub->object)
        return Acad::eInvalidAdsName;
    id = AcDbObjectId(stub);
    return Acad::eOk;
}

namespace {
Acad::ErrorStatus NameOf(std::intptr_t* entity, AcDbObjectId id) {
    entity[0] = entity[1] = 0;
    if (id.isNull())
        return Acad::eNullObjectId;
    if (!id.isValid())
        return Acad::eInvalidInput;
    entity[0] = reinterpret_cast<std::intptr_t>(id.stub());
    entity[1] = kEntityTag;
    return Acad::eOk;
}
}  // namespace

Acad::ErrorStatus acdbGetAdsName(ads_name& entity, AcDbObjectId id) {
    return NameOf(entity, id);
}

int acdbEntDel(const ads_name entity) {
    AcDbObjectId id;
    if (acdbGetObjectId(id, entity) != Acad::eOk)
        return RTERROR;
    AcDbEntity* ent = nullptr;
    if (acdbOpenAcDbEntity(ent, id, AcDb::kForWrite, true) != Acad::eOk)
        return RTERROR;
    const Acad::ErrorStatus es = ent->erase(!ent->isErased());
    ent->close();
    return es == Acad::eOk ? RTNORM : RTERROR;
}

int acdbEntLast(ads_name entity) {
    entity[0] = entity[1] = 0;
    AcDbDatabase* db = host::WorkingDatabase();
    if (!db)
        return RTERROR;
    const auto& order = db->impl()->order;
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        AcDbStub* stub = *it;
        auto* ent = AcDbEntity::cast(stub->object.get());
        if (!ent || stub->erased)
            continue;
        auto* block = AcDbBlockTableRecord::cast(host::ObjectOf(ent->ownerId()));
        if (!block || !block->isLayout())
            continue;
        return NameOf(entity, AcDbObjectId(stub)) == Acad::eOk ? RTNORM : RTERROR;
    }
    return RTERROR;
}

// ---------------------------------------------------------------------------------------------
// Selection primitives

namespace host {

namespace {

bool IsSpace(const AcDbBlockTableRecord* block) {
    return block && block->isLayout();
}

template <class Fn>
void ForEachInCurrentSpace(AcDbDatabase* db, bool reverse, Fn fn) {
    auto* space = AcDbBlockTableRecord::cast(ObjectOf(db->currentSpaceId()));
    if (!space)
        return;
    const std::vector<AcDbObjectId> ids = space->data()->entities;
    auto visit = [&](AcDbObjectId id) {
        auto* ent = AcDbEntity::cast(ObjectOf(id));
        if (ent && !id.isErased())
            fn(id, ent);
    };
    if (reverse) {
        std::for_each(ids.rbegin(), ids.rend(), visit);
    } else {
        std::for_each(ids.begin(), ids.end(), visit);
    }
}

}  // namespace

void SetInteractiveSelector(InteractiveSelector selector) {
    g_interactive = selector;
}

std::vector<AcDbObjectId> SelectAll(AcDbDatabase* db, const SelectionFilter& f) {
    std::vector<AcDbObjectId> ids;
    if (!db)
        return ids;
    for (AcDbStub* stub : db->impl()->order) {
        auto* ent = AcDbEntity::cast(stub->object.get());
        if (!ent || stub->erased)
            continue;
        if (!IsSpace(AcDbBlockTableRecord::cast(ObjectOf(ent->ownerId()))))
            continue;
        if (f.Matches(ent))
            ids.emplace_back(stub);
    }
    return ids;
}

std::vector<AcDbObjectId> SelectWindow(AcDbDatabase* db, const AcGePoint3d& a, const AcGePoint3d& b,
                                       bool crossing, const SelectionFilter& f) {
    std::vector<AcDbObjectId> ids;
    if (!db)
        return ids;
    const double x0 = std::min(a.x, b.x), x1 = std::max(a.x, b.x);
    const double y0 = std::min(a.y, b.y), y1 = std::max(a.y, b.y);
    ForEachInCurrentSpace(db, false, [&](AcDbObjectId id, AcDbEntity* ent) {
        AcGePoint3d lo, hi;
        if (ent->getGeomExtents(lo, hi) != Acad::eOk)
            return;
        const bool inside = lo.x >= x0 && hi.x <= x1 && lo.y >= y0 && hi.y <= y1;
        const bool meets = lo.x <= x1 && hi.x >= x0 && lo.y <= y1 && hi.y >= y0;
        if ((crossing ? meets : inside) && f.Matches(ent))
            ids.push_back(id);
    });
    return ids;
}

std::vector<AcDbObjectId> SelectAtPoint(AcDbDatabase* db, const AcGePoint3d& p, double aperture,
                                        const SelectionFilter& f) {
    std::vector<AcDbObjectId> ids;
    if (!db)
        return ids;
    const double ap = std::fabs(aperture);
    ForEachInCurrentSpace(db, true, [&](AcDbObjectId id, AcDbEntity* ent) {
        bool hit = false;
        if (auto* table = AcDbTable::cast(ent)) {
            int row = 0, column = 0;
            hit = table->hitTest(p, AcGeVector3d::kZAxis, ap, ap, row, column);
        } else {
            AcGePoint3d lo, hi;
            hit = ent->getGeomExtents(lo, hi) == Acad::eOk && p.x >= lo.x - ap &&
                  p.x <= hi.x + ap && p.y >= lo.y - ap && p.y <= hi.y + ap;
        }
        if (hit && f.Matches(ent))
            ids.push_back(id);
    });
    return ids;
}

AcDbObjectId LastEntity(AcDbDatabase* db) {
    AcDbObjectId last;
    if (!db)
        return last;
    ForEachInCurrentSpace(db, true, [&](AcDbObjectId id, AcDbEntity*) {
        if (last.isNull())
            last = id;
    });
    return last;
}

int MakeSelectionSet(const std::vector<AcDbObjectId>& ids, ads_name ss) {
    SelectionSets& s = Sets();
    const std::intptr_t serial = s.nextSerial++;
    s.sets.emplace(serial, ids);
    ss[0] = serial;
    ss[1] = kSetTag;
    return RTNORM;
}

std::vector<AcDbObjectId> SelectionSetIds(const ads_name ss) {
    const std::vector<AcDbObjectId>* set = FindSet(ss);
    return set ? *set : std::vector<AcDbObjectId>();
}

std::size_t SelectionSetCount() {
    return Sets().sets.size();
}

}  // namespace host

// ---------------------------------------------------------------------------------------------
// acedSSGet and the selection-set functions

namespace {

// Keeps live, non-erased entities that pass the filter, each once, in their order.
std::vector<AcDbObjectId> Clean(const std::vector<AcDbObjectId>& ids,
                                const host::SelectionFilter& f) {
    std::vector<AcDbObjectId> out;
    std::set<AcDbObjectId> seen;
    for (AcDbObjectId id : ids) {
        if (!id.isValid() || id.isErased() || !f.Matches(id))
            continue;
        if (seen.insert(id).second)
            out.push_back(id);
    }
    return out;
}

int SSGet(const std::string* mode, const void* pt1, const void* pt2,
          const host::SelectionFilter& filter, ads_name ss) {
    ss[0] = ss[1] = 0;
    AcDbDatabase* db = host::WorkingDatabase();
    if (!db)
        return RTERROR;
    std::vector<AcDbObjectId> ids;
    std::string m = mode ? host::FoldKey(*mode) : std::string();
    if (!m.empty() && m[0] == '_')
        m.erase(0, 1);
    if (m.empty()) {
        if (!g_interactive)
            return RTERROR;
        const int rc = g_interactive(db, filter, ids);
        if (rc != RTNORM)
            return rc;
    } else if (m == "x") {
        ids = host::SelectAll(db, filter);
    } else if (m == "l") {
        const AcDbObjectId last = host::LastEntity(db);
        if (!last.isNull())
            ids.push_back(last);
    } else if (m == "w" || m == "c") {
        if (!pt1 || !pt2)
            return RTERROR;
        const auto* a = static_cast<const double*>(pt1);
        const auto* b = static_cast<const double*>(pt2);
        ids = host::SelectWindow(db, AcGePoint3d(a[0], a[1], a[2]), AcGePoint3d(b[0], b[1], b[2]),
                                 m == "c", filter);
    } else if (m == "p") {
        ids = Sets().previous;
    } else {
        return RTERROR;  // modes the host does not offer
    }
    ids = Clean(ids, filter);
    if (ids.empty())
        return RTERROR;
    Sets().previous = ids;
    return host::MakeSelectionSet(ids, ss);
}

}  // namespace

int acedSSGet(const char* mode, const void* pt1, const void* pt2, const resbufA* filter,
              ads_name ss) {
    host::SelectionFilter f;
    if (!f.Compile(filter)) {
        ss[0] = ss[1] = 0;
        return RTERROR;
    }
    const std::string m = mode ? mode : "";
    return SSGet(mode ? &m : nullptr, pt1, pt2, f, ss);
}

int acedSSGet(const char16_t* mode, const void* pt1, const void* pt2, const resbufW* filter,
              ads_name ss) {
    host::SelectionFilter f;
    if (!f.Compile(filter)) {
        ss[0] = ss[1] = 0;
        return RTERROR;
    }
    const std::string m = qv::ToUtf8(mode);
    return SSGet(mode ? &m : nullptr, pt1, pt2, f, ss);
}

int acedSSFree(const ads_name ss) {
    if (!FindSet(ss))
        return RTERROR;
    Sets().sets.erase(ss[0]);
    return RTNORM;
}

int acedSSLength(const ads_name ss, std::int32_t* length) {
    const std::vector<AcDbObjectId>* set = FindSet(ss);
    if (!set || !length)
        return RTERROR;
    *length = static_cast<std::int32_t>(set->size());
    return RTNORM;
}

int acedSSName(const ads_name ss, std::int32_t index, ads_name entity) {
    const std::vector<AcDbObjectId>* set = FindSet(ss);
    if (!set || index < 0 || static_cast<std::size_t>(index) >= set->size())
        return RTERROR;
    return NameOf(entity, (*set)[index]) == Acad::eOk ? RTNORM : RTERROR;
}

int acedSSAdd(const ads_name entity, const ads_name ss, ads_name result) {
    AcDbObjectId id;
    const bool hasEntity = entity && !ads_name_nil(entity);
    if (hasEntity && acdbGetObjectId(id, entity) != Acad::eOk)
        return RTERROR;
    if (!ss || ads_name_nil(ss)) {
        std::vector<AcDbObjectId> ids;
        if (hasEntity)
            ids.push_back(id);
        return host::MakeSelectionSet(ids, result);
    }
    std::vector<AcDbObjectId>* set = FindSet(ss);
    if (!set)
        return RTERROR;
    if (hasEntity && std::find(set->begin(), set->end(), id) == set->end())
        set->push_back(id);
    if (result != ss) {
        result[0] = ss[0];
        result[1] = ss[1];
    }
    return RTNORM;
}

int acedSSDel(const ads_name entity, const ads_name ss) {
    AcDbObjectId id;
    std::vector<AcDbObjectId>* set = FindSet(ss);
    if (!set || acdbGetObjectId(id, entity) != Acad::eOk)
        return RTERROR;
    auto it = std::find(set->begin(), set->end(), id);
    if (it == set->end())
        return RTERROR;
    set->erase(it);
    return RTNORM;
}

int acedSSMemb(const ads_name entity, const ads_name ss) {
    AcDbObjectId id;
    const std::vector<AcDbObjectId>* set = FindSet(ss);
    if (!set || acdbGetObjectId(id, entity) != Acad::eOk)
        return RTERROR;
    return std::find(set->begin(), set->end(), id) != set->end() ? RTNORM : RTERROR;
}

int acedXformSS(const ads_name ss, ads_matrix matrix) {
    const std::vector<AcDbObjectId>* set = FindSet(ss);
    if (!set || !matrix)
        return RTERROR;
    AcGeMatrix3d m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m.entry[r][c] = matrix[r][c];
    bool allMoved = true;
    for (AcDbObjectId id : std::vector<AcDbObjectId>(*set)) {
        AcDbEntity* ent = nullptr;
        if (acdbOpenAcDbEntity(ent, id, AcDb::kForWrite) != Acad::eOk) {
            allMoved = false;
            continue;
        }
        if (ent->transformBy(m) != Acad::eOk)
            allMoved = false;
        ent->close();
    }
    return allMoved ? RTNORM : RTERROR;
}
