// PRE-MERGE PLACEHOLDER, removed when the drawing-database half is merged: minimal runtime
// classes, registry and an empty database so that the editor, documents, commands and loader
// link and can be tested on their own.
#include "host/hostdb.h"

#if defined(QUARVEL_HOSTDB_PRELINK)
#include <map>
#include <string>

#include "platform/acedads.h"
#include "platform/dbmain.h"

AcRxObject::~AcRxObject() = default;
AcRxClass* AcRxObject::desc() {
    static AcRxClass cls("AcRxObject", nullptr);
    return &cls;
}
AcRxClass* AcRxObject::isA() const {
    return desc();
}
bool AcRxObject::isKindOf(const AcRxClass* cls) const {
    return isA()->isDerivedFrom(cls);
}
AcRxObject* AcRxObject::clone() const {
    return nullptr;
}
Acad::ErrorStatus AcRxObject::copyFrom(const AcRxObject*) {
    return Acad::eNotApplicable;
}
bool AcRxObject::isEqualTo(const AcRxObject* other) const {
    return other == this;
}

AcRxClass::AcRxClass(const char* name, AcRxClass* parent, const char* dxfName)
    : m_name(name), m_parent(parent), m_dxfName(dxfName ? dxfName : "") {}
const char* AcRxClass::nameUtf8() const {
    return m_name;
}
const char* AcRxClass::dxfNameUtf8() const {
    return m_dxfName;
}
bool AcRxClass::isDerivedFrom(const AcRxClass* other) const {
    for (const AcRxClass* c = this; c; c = c->m_parent) {
        if (c == other)
            return true;
    }
    return false;
}
AcRxClass* AcRxClass::myParent() const {
    return m_parent;
}

namespace {
class MapDictionary : public AcRxDictionary {
public:
    AcRxObject* at(const char* key) const override {
        auto it = m_map.find(key);
        return it == m_map.end() ? nullptr : it->second;
    }
    AcRxObject* at(const char16_t*) const override { return nullptr; }
    AcRxObject* atPut(const char* key, AcRxObject* obj) override {
        AcRxObject* old = at(key);
        m_map[key] = obj;
        return old;
    }
    AcRxObject* remove(const char* key) override {
        AcRxObject* old = at(key);
        m_map.erase(key);
        return old;
    }
    unsigned numEntries() const override { return static_cast<unsigned>(m_map.size()); }

private:
    std::map<std::string, AcRxObject*> m_map;
};
}  // namespace

AcRxDictionary* acrxSysRegistry() {
    static MapDictionary registry;
    return &registry;
}
AcRxDictionary* acrxClassDictionaryPtr() {
    static MapDictionary classes;
    return &classes;
}

AcDbDatabase::AcDbDatabase(bool) : m_pImpl(nullptr) {}
AcDbDatabase::~AcDbDatabase() = default;
AcRxClass* AcDbDatabase::desc() {
    static AcRxClass cls("AcDbDatabase", AcRxObject::desc());
    return &cls;
}
AcRxClass* AcDbDatabase::isA() const {
    return desc();
}
Acad::ErrorStatus AcDbDatabase::getAcDbObjectId(AcDbObjectId& id, bool, const AcDbHandle&) {
    id = AcDbObjectId();
    return Acad::eUnknownHandle;
}
bool AcDbObjectId::isErased() const {
    return false;
}
Acad::ErrorStatus AcDbObject::close() {
    return Acad::eOk;
}
Acad::ErrorStatus acdbOpenAcDbEntity(AcDbEntity*& ent, AcDbObjectId, AcDb::OpenMode, bool) {
    ent = nullptr;
    return Acad::eNullObjectId;
}
Acad::ErrorStatus acdbGetAdsName(ads_name& entity, AcDbObjectId) {
    entity[0] = entity[1] = 0;
    return Acad::eNullObjectId;
}
Acad::ErrorStatus acdbGetObjectId(AcDbObjectId& id, const ads_name) {
    id = AcDbObjectId();
    return Acad::eInvalidAdsName;
}
int acedSSLength(const ads_name, std::int32_t* length) {
    *length = 0;
    return RTERROR;
}

namespace host {
namespace {
AcDbDatabase* g_working = nullptr;
}
AcDbDatabase* WorkingDatabase() {
    return g_working;
}
void SetWorkingDatabase(AcDbDatabase* db) {
    g_working = db;
}
void SetInteractiveSelector(InteractiveSelector) {}
std::vector<AcDbObjectId> SelectAll(AcDbDatabase*, const SelectionFilter&) {
    return {};
}
std::vector<AcDbObjectId> SelectWindow(AcDbDatabase*, const AcGePoint3d&, const AcGePoint3d&, bool,
                                       const SelectionFilter&) {
    return {};
}
std::vector<AcDbObjectId> SelectAtPoint(AcDbDatabase*, const AcGePoint3d&, double,
                                        const SelectionFilter&) {
    return {};
}
AcDbObjectId LastEntity(AcDbDatabase*) {
    return {};
}
}  // namespace host
#endif
