// Block definitions (model space, layouts, named and anonymous blocks) and block references.
#include <algorithm>
#include <cmath>
#include <limits>

#include "host/db/hostdb.h"
#include "host/db/internal.h"

// ---------------------------------------------------------------------------------------------
// AcDbBlockTableRecord

HOST_RX_DEFINE_MEMBERS(AcDbBlockTableRecord, AcDbObject, "BLOCK_RECORD")

AcDbBlockTableRecord::AcDbBlockTableRecord() : m_pData(new Data) {}
AcDbBlockTableRecord::~AcDbBlockTableRecord() {
    delete m_pData;
}

Acad::ErrorStatus AcDbBlockTableRecord::appendAcDbEntity(AcDbObjectId& id, AcDbEntity* entity) {
    id.setNull();
    if (!entity)
        return Acad::eNullEntityPointer;
    AcDbDatabase* db = database();
    if (!db)
        return Acad::eNoDatabase;
    if (!state()->writing)
        return Acad::eNotOpenForWrite;
    if (entity->state()->stub)
        return Acad::eAlreadyInDb;
    const Acad::ErrorStatus es = host::AppendEntity(db, objectId(), entity, AcDbHandle(), &id);
    if (es != Acad::eOk)
        return es;
    // The new entity stays open for write for its creator.
    entity->state()->writing = true;
    entity->state()->newObject = true;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecord::appendAcDbEntity(AcDbEntity* entity) {
    AcDbObjectId id;
    return appendAcDbEntity(id, entity);
}

CStringA AcDbBlockTableRecord::nameA() const {
    return CStringA(m_pData->name.c_str());
}

Acad::ErrorStatus AcDbBlockTableRecord::setName(const char* name) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    if (!name || !*name)
        return Acad::eNullBlockName;
    if (AcDbDatabase* db = database()) {
        const AcDbObjectId other = host::FindBlock(db, name);
        if (!other.isNull() && other != objectId())
            return Acad::eDuplicateRecordName;
        auto& names = db->impl()->blockNames;
        names.erase(host::FoldKey(m_pData->name));
        names[host::FoldKey(name)] = objectId();
    }
    m_pData->name = name;
    return Acad::eOk;
}

bool AcDbBlockTableRecord::isLayout() const {
    const std::string key = host::FoldKey(m_pData->name);
    return key.rfind("*model_space", 0) == 0 || key.rfind("*paper_space", 0) == 0;
}

AcGePoint3d AcDbBlockTableRecord::origin() const {
    return m_pData->origin;
}

Acad::ErrorStatus AcDbBlockTableRecord::setOrigin(const AcGePoint3d& origin) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    m_pData->origin = origin;
    return Acad::eOk;
}

namespace host {

std::vector<AcDbObjectId> EntitiesOf(AcDbDatabase* db, AcDbObjectId blockId) {
    std::vector<AcDbObjectId> ids;
    auto* block = AcDbBlockTableRecord::cast(ObjectOf(blockId));
    if (!block || blockId.database() != db)
        return ids;
    for (AcDbObjectId id : block->data()->entities) {
        if (!id.isErased())
            ids.push_back(id);
    }
    return ids;
}

}  // namespace host

// ---------------------------------------------------------------------------------------------
// AcDbBlockReference

HOST_RX_DEFINE_MEMBERS(AcDbBlockReference, AcDbEntity, "INSERT")

AcDbBlockReference::AcDbBlockReference() : m_pData(new Data) {}

AcDbBlockReference::AcDbBlockReference(const AcGePoint3d& position, AcDbObjectId blockId)
    : m_pData(new Data) {
    m_pData->position = position;
    m_pData->block = blockId;
}

AcDbBlockReference::~AcDbBlockReference() {
    delete m_pData;
}

AcDbObjectId AcDbBlockReference::blockTableRecord() const {
    return m_pData->block;
}

Acad::ErrorStatus AcDbBlockReference::setBlockTableRecord(AcDbObjectId blockId) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    // A placeholder (a block that a drawing file names before defining it) is accepted.
    AcDbObject* obj = host::ObjectOf(blockId);
    if (blockId.isNull() || (obj && !AcDbBlockTableRecord::cast(obj)))
        return Acad::eInvalidInput;
    m_pData->block = blockId;
    return Acad::eOk;
}

AcGePoint3d AcDbBlockReference::position() const {
    return m_pData->position;
}

Acad::ErrorStatus AcDbBlockReference::setPosition(const AcGePoint3d& position) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    if (!host::IsFinitePoint(position))
        return Acad::eInvalidInput;
    m_pData->position = position;
    return Acad::eOk;
}

double AcDbBlockReference::rotation() const {
    return m_pData->rotation;
}

Acad::ErrorStatus AcDbBlockReference::setRotation(double angle) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    m_pData->rotation = angle;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockReference::transformBy(const AcGeMatrix3d& xform) {
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    const AcGeVector3d xAxis(std::cos(m_pData->rotation), std::sin(m_pData->rotation), 0);
    const AcGeVector3d newX = xform.applyToVector(xAxis);
    const double factor = newX.length();
    if (!(factor > 0) || !std::isfinite(factor))
        return Acad::eInvalidInput;
    // A result out of the range of numbers is refused, leaving the reference as it was.
    const AcGePoint3d position = xform.apply(m_pData->position);
    const AcGeVector3d scale = m_pData->scale * factor;
    if (!host::IsFinitePoint(position) ||
        !host::IsFinitePoint(AcGePoint3d(scale.x, scale.y, scale.z)))
        return Acad::eInvalidInput;
    m_pData->position = position;
    m_pData->rotation = std::atan2(newX.y, newX.x);
    m_pData->scale = scale;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockReference::getGeomExtents(AcGePoint3d& minPoint,
                                                     AcGePoint3d& maxPoint) const {
    // The block's contents placed by this reference; an empty block gives its insertion point.
    auto* block = AcDbBlockTableRecord::cast(host::ObjectOf(m_pData->block));
    const AcGePoint3d base = block ? block->data()->origin : AcGePoint3d();
    const double c = std::cos(m_pData->rotation), s = std::sin(m_pData->rotation);
    auto place = [&](const AcGePoint3d& p) {
        const double x = (p.x - base.x) * m_pData->scale.x;
        const double y = (p.y - base.y) * m_pData->scale.y;
        const double z = (p.z - base.z) * m_pData->scale.z;
        return AcGePoint3d(m_pData->position.x + x * c - y * s, m_pData->position.y + x * s + y * c,
                           m_pData->position.z + z);
    };
    const double inf = std::numeric_limits<double>::infinity();
    AcGePoint3d lo(inf, inf, inf), hi(-inf, -inf, -inf);
    auto grow = [&](const AcGePoint3d& p) {
        lo = AcGePoint3d(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
        hi = AcGePoint3d(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
    };
    bool any = false;
    // Blocks nest; a block that (wrongly) contains itself must not recurse for ever.
    static thread_local int depth = 0;
    if (block && depth < 32) {
        ++depth;
        for (AcDbObjectId id : block->data()->entities) {
            auto* ent = AcDbEntity::cast(host::ObjectOf(id));
            AcGePoint3d a, b;
            if (!ent || id.isErased() || ent == this || ent->getGeomExtents(a, b) != Acad::eOk)
                continue;
            for (int k = 0; k < 8; ++k) {
                grow(place(AcGePoint3d(k & 1 ? b.x : a.x, k & 2 ? b.y : a.y, k & 4 ? b.z : a.z)));
            }
            any = true;
        }
        --depth;
    }
    if (!any)
        grow(m_pData->position);
    minPoint = lo;
    maxPoint = hi;
    return Acad::eOk;
}

namespace host {

AcGeVector3d ScaleOf(const AcDbBlockReference* ref) {
    return ref->data()->scale;
}

Acad::ErrorStatus SetScale(AcDbBlockReference* ref, const AcGeVector3d& scale) {
    if (const Acad::ErrorStatus es = CheckWritable(ref); es != Acad::eOk)
        return es;
    if (scale.x == 0 || scale.y == 0 || scale.z == 0)
        return Acad::eInvalidInput;
    ref->data()->scale = scale;
    return Acad::eOk;
}

AcGeVector3d NormalOf(const AcDbBlockReference* ref) {
    return ref->data()->normal;
}

Acad::ErrorStatus SetNormal(AcDbBlockReference* ref, const AcGeVector3d& normal) {
    if (const Acad::ErrorStatus es = CheckWritable(ref); es != Acad::eOk)
        return es;
    if (normal.isZeroLength())
        return Acad::eInvalidInput;
    ref->data()->normal = normal.normal();
    return Acad::eOk;
}

}  // namespace host
