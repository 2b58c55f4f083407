// Database objects and entities: opening and closing with the host's rules, erasing, owners,
// layers, copies, and the verbatim objects kept for drawing files.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "host/db/hostdb.h"
#include "host/db/internal.h"

namespace {
constexpr int kMaxReaders = 256;
}

namespace host {

Acad::ErrorStatus CheckWritable(const AcDbObject* obj) {
    if (!obj)
        return Acad::eNullObjectPointer;
    const ObjectState* s = obj->state();
    return (!s->stub || s->writing) ? Acad::eOk : Acad::eNotOpenForWrite;
}

void CopyCommonState(const AcDbObject& from, AcDbObject& to) {
    to.state()->xdata = from.state()->xdata;
    to.state()->layer = from.state()->layer;
    to.state()->extraGroups = from.state()->extraGroups;
}

std::string DxfNameOf(const AcDbObject* obj) {
    if (!obj)
        return {};
    if (auto* raw = RawObject::cast(obj))
        return raw->dxfName;
    if (auto* raw = RawEntity::cast(obj))
        return raw->dxfName;
    for (const AcRxClass* c = obj->isA(); c; c = c->myParent()) {
        if (*c->dxfNameUtf8())
            return c->dxfNameUtf8();
    }
    return {};
}

}  // namespace host

// ---------------------------------------------------------------------------------------------
// Opening by id

Acad::ErrorStatus acdbOpenAcDbObject(AcDbObject*& obj, AcDbObjectId id, AcDb::OpenMode mode,
                                     bool openErased) {
    obj = nullptr;
    if (id.isNull())
        return Acad::eNullObjectId;
    AcDbStub* stub = id.stub();
    if (!host::IsLiveStub(stub))
        return Acad::eInvalidInput;
    if (!stub->object)
        return Acad::eUnknownHandle;
    if (stub->erased && !openErased)
        return Acad::eWasErased;
    host::ObjectState& s = *stub->object->state();
    switch (mode) {
        case AcDb::kForRead:
            if (s.writing)
                return Acad::eWasOpenForWrite;
            if (s.readers >= kMaxReaders)
                return Acad::eAtMaxReaders;
            ++s.readers;
            break;
        case AcDb::kForWrite:
            if (s.writing)
                return Acad::eWasOpenForWrite;
            if (s.readers > 0)
                return Acad::eWasOpenForRead;
            if (s.notifying)
                return Acad::eWasOpenForNotify;
            s.writing = true;
            host::NoteChange(stub);
            break;
        case AcDb::kForNotify:
            if (s.notifying)
                return Acad::eWasOpenForNotify;
            s.notifying = true;
            break;
        default:
            return Acad::eInvalidOpenState;
    }
    obj = stub->object.get();
    return Acad::eOk;
}

Acad::ErrorStatus acdbOpenAcDbEntity(AcDbEntity*& ent, AcDbObjectId id, AcDb::OpenMode mode,
                                     bool openErased) {
    ent = nullptr;
    AcDbObject* obj = nullptr;
    const Acad::ErrorStatus es = acdbOpenAcDbObject(obj, id, mode, openErased);
    if (es != Acad::eOk)
        return es;
    ent = AcDbEntity::cast(obj);
    if (!ent) {
        obj->close();
        return Acad::eNotAnEntity;
    }
    return Acad::eOk;
}

// ---------------------------------------------------------------------------------------------
// AcDbObject

HOST_RX_DEFINE_MEMBERS(AcDbObject, AcRxObject, "")

AcDbObject::AcDbObject() : m_pState(new host::ObjectState) {}

AcDbObject::~AcDbObject() {
    // A resident object deleted by mistake leaves an erased, empty record rather than a
    // dangling one (the database deletes its objects through the record, which lets go first).
    if (AcDbStub* stub = m_pState->stub; stub && stub->object.get() == this) {
        (void)stub->object.release();
        stub->erased = true;
    }
    delete m_pState;
}

AcDbObjectId AcDbObject::objectId() const {
    return AcDbObjectId(m_pState->stub);
}
AcDbObjectId AcDbObject::ownerId() const {
    return m_pState->owner;
}

Acad::ErrorStatus AcDbObject::setOwnerId(AcDbObjectId owner) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    m_pState->owner = owner;
    return Acad::eOk;
}

AcDbDatabase* AcDbObject::database() const {
    return m_pState->stub ? m_pState->stub->database : nullptr;
}

AcDbHandle AcDbObject::getDbHandle() const {
    return m_pState->stub ? m_pState->stub->handle : AcDbHandle();
}

Acad::ErrorStatus AcDbObject::close() {
    host::ObjectState& s = *m_pState;
    if (!s.stub)
        return Acad::eNotInDatabase;
    if (s.writing) {
        s.writing = false;
        host::NoteChange(s.stub);
    } else if (s.readers > 0) {
        --s.readers;
    } else if (s.notifying) {
        s.notifying = false;
    } else {
        return Acad::eNotOpenForRead;
    }
    if (!s.writing && s.readers == 0)
        s.newObject = false;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::upgradeOpen() {
    host::ObjectState& s = *m_pState;
    if (!s.stub)
        return Acad::eOk;  // a new object is writable already
    if (s.writing)
        return Acad::eWasOpenForWrite;
    if (s.readers > 1)
        return Acad::eHadMultipleReaders;
    if (s.readers == 0)
        return Acad::eNotOpenForRead;
    s.readers = 0;
    s.writing = true;
    host::NoteChange(s.stub);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::downgradeOpen() {
    host::ObjectState& s = *m_pState;
    if (!s.stub)
        return Acad::eOk;
    if (!s.writing)
        return Acad::eNotOpenForWrite;
    s.writing = false;
    s.readers = 1;
    return Acad::eOk;
}

bool AcDbObject::isReadEnabled() const {
    return !m_pState->stub || m_pState->readers > 0 || m_pState->writing;
}
bool AcDbObject::isWriteEnabled() const {
    return !m_pState->stub || m_pState->writing;
}
bool AcDbObject::isNotifyEnabled() const {
    return m_pState->notifying;
}
bool AcDbObject::isNewObject() const {
    return !m_pState->stub || m_pState->newObject;
}

Acad::ErrorStatus AcDbObject::erase(bool erasing) {
    host::ObjectState& s = *m_pState;
    if (!s.stub)
        return Acad::eNotInDatabase;
    if (!s.writing)
        return Acad::eNotOpenForWrite;
    if (erasing && s.stub->erased)
        return Acad::eWasErased;
    if (!erasing && !s.stub->erased)
        return Acad::eWasNotErased;
    s.stub->erased = erasing;
    return Acad::eOk;
}

bool AcDbObject::isErased() const {
    return m_pState->stub && m_pState->stub->erased;
}

AcRxObject* AcDbObject::clone() const {
    AcDbObject* copy = nullptr;
    if (auto* table = AcDbTable::cast(this)) {
        auto* t = new AcDbTable;
        *t->data() = *table->data();
        t->data()->block = AcDbObjectId();
        copy = t;
    } else if (auto* ref = AcDbBlockReference::cast(this)) {
        auto* r = new AcDbBlockReference;
        *r->data() = *ref->data();
        copy = r;
    } else if (auto* style = AcDbTableStyle::cast(this)) {
        auto* s = new AcDbTableStyle;
        *s->data() = *style->data();
        copy = s;
    } else if (auto* raw = host::RawEntity::cast(this)) {
        copy = new host::RawEntity(raw->dxfName, raw->groups);
    } else if (auto* rawObj = host::RawObject::cast(this)) {
        copy = new host::RawObject(rawObj->dxfName, rawObj->groups);
    } else {
        return nullptr;  // containers (blocks, dictionaries) and records are not copied alone
    }
    host::CopyCommonState(*this, *copy);
    return copy;
}

// ---------------------------------------------------------------------------------------------
// AcDbEntity

HOST_RX_DEFINE_MEMBERS(AcDbEntity, AcDbObject, "")

AcDbEntity::AcDbEntity() = default;
AcDbEntity::~AcDbEntity() = default;

AcDbObjectId AcDbEntity::blockId() const {
    return ownerId();
}

Acad::ErrorStatus AcDbEntity::transformBy(const AcGeMatrix3d&) {
    return Acad::eNotApplicable;
}

Acad::ErrorStatus AcDbEntity::getGeomExtents(AcGePoint3d&, AcGePoint3d&) const {
    return Acad::eInvalidExtents;
}

CStringA AcDbEntity::layerA() const {
    return CStringA(state()->layer.c_str());
}

Acad::ErrorStatus AcDbEntity::setLayer(const char* layerName) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    if (!layerName || !*layerName)
        return Acad::eInvalidInput;
    state()->layer = layerName;
    return Acad::eOk;
}

// ---------------------------------------------------------------------------------------------
// Verbatim objects and application records

namespace host {

HOST_RX_DEFINE_MEMBERS_NAMED(RawObject, "AcDbRawObject", AcDbObject, "")
HOST_RX_DEFINE_MEMBERS_NAMED(RawEntity, "AcDbRawEntity", AcDbEntity, "")
HOST_RX_DEFINE_MEMBERS_NAMED(RegAppRecord, "AcDbRegAppTableRecord", AcDbObject, "APPID")

namespace {

// Point groups of a raw entity: x in 10..18, y and z 10 and 20 codes further.
bool IsPointX(int code) {
    return code >= 10 && code <= 18;
}

// Direction vectors that share the point codes.
bool IsVectorGroup(const std::string& type, int code) {
    return code == 11 && (type == "MTEXT" || type == "XLINE" || type == "RAY");
}

template <class Groups, class Fn>
void ForEachPoint(Groups& groups, const std::string& type, Fn fn) {
    for (std::size_t i = 0; i < groups.size(); ++i) {
        const int code = groups[i].code;
        if (!IsPointX(code))
            continue;
        // y and z follow the x group directly in drawing files.
        auto* y =
            (i + 1 < groups.size() && groups[i + 1].code == code + 10) ? &groups[i + 1] : nullptr;
        auto* z = (y && i + 2 < groups.size() && groups[i + 2].code == code + 20) ? &groups[i + 2]
                                                                                  : nullptr;
        fn(groups[i], y, z, IsVectorGroup(type, code));
    }
}

std::string FormatReal(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.16g", v);
    return buf;
}

}  // namespace

Acad::ErrorStatus RawEntity::transformBy(const AcGeMatrix3d& xform) {
    if (const Acad::ErrorStatus es = CheckWritable(this); es != Acad::eOk)
        return es;
    // Worked on a copy: a point out of the range of numbers leaves the entity as it was.
    std::vector<DxfGroup> moved = groups;
    bool finite = true;
    ForEachPoint(moved, dxfName, [&](DxfGroup& x, DxfGroup* y, DxfGroup* z, bool vector) {
        const AcGePoint3d p(std::strtod(x.value.c_str(), nullptr),
                            y ? std::strtod(y->value.c_str(), nullptr) : 0,
                            z ? std::strtod(z->value.c_str(), nullptr) : 0);
        AcGePoint3d q;
        if (vector) {
            const AcGeVector3d v = xform.applyToVector(p.asVector());
            q = AcGePoint3d(v.x, v.y, v.z);
        } else {
            q = xform.apply(p);
        }
        finite = finite && IsFinitePoint(q);
        x.value = FormatReal(q.x);
        if (y)
            y->value = FormatReal(q.y);
        if (z)
            z->value = FormatReal(q.z);
    });
    if (!finite)
        return Acad::eInvalidInput;
    groups = std::move(moved);
    return Acad::eOk;
}

Acad::ErrorStatus RawEntity::getGeomExtents(AcGePoint3d& minPoint, AcGePoint3d& maxPoint) const {
    bool any = false;
    const double inf = std::numeric_limits<double>::infinity();
    AcGePoint3d lo(inf, inf, inf), hi(-inf, -inf, -inf);
    ForEachPoint(
        groups, dxfName, [&](const DxfGroup& x, const DxfGroup* y, const DxfGroup* z, bool vector) {
            if (vector)
                return;
            const double p[3] = {std::strtod(x.value.c_str(), nullptr),
                                 y ? std::strtod(y->value.c_str(), nullptr) : 0,
                                 z ? std::strtod(z->value.c_str(), nullptr) : 0};
            lo = AcGePoint3d(std::min(lo.x, p[0]), std::min(lo.y, p[1]), std::min(lo.z, p[2]));
            hi = AcGePoint3d(std::max(hi.x, p[0]), std::max(hi.y, p[1]), std::max(hi.z, p[2]));
            any = true;
        });
    if (!any)
        return Acad::eInvalidExtents;
    minPoint = lo;
    maxPoint = hi;
    return Acad::eOk;
}

}  // namespace host
