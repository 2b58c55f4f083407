// The drawing database: object records, handles, the default drawing, registered
// applications and the well-known objects (spaces, dictionaries, the current table style).
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "host/db/hostdb.h"
#include "host/db/internal.h"
#include "platform/acutads.h"
#include "platform/textconv.h"

namespace host {

namespace {

std::unordered_set<const AcDbStub*>& LiveStubs() {
    static std::unordered_set<const AcDbStub*> live;
    return live;
}

AcDbDatabase* g_workingDatabase = nullptr;

// A name made of "*" and letters only asks for the next anonymous block of that kind.
bool IsAnonymousPrefix(const std::string& name) {
    if (name.size() < 2 || name[0] != '*')
        return false;
    return std::all_of(name.begin() + 1, name.end(),
                       [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; });
}

// Application names follow the symbol-name rules: not empty, at most 255 bytes, no control
// characters and none of the characters the host reserves.
bool IsValidAppName(std::string_view name) {
    if (name.empty() || name.size() > 255)
        return false;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || std::strchr("<>/\\\":;?*|,=`", c))
            return false;
    }
    return true;
}

}  // namespace

bool IsLiveStub(const AcDbStub* stub) {
    return stub && LiveStubs().count(stub) != 0;
}
void AddLiveStub(const AcDbStub* stub) {
    LiveStubs().insert(stub);
}
void RemoveLiveStub(const AcDbStub* stub) {
    LiveStubs().erase(stub);
}

AcDbDatabase* WorkingDatabase() {
    return g_workingDatabase;
}
void SetWorkingDatabase(AcDbDatabase* db) {
    g_workingDatabase = db;
}

bool IsLiveId(AcDbObjectId id) {
    return IsLiveStub(id.stub());
}

AcDbObject* ObjectOf(AcDbObjectId id) {
    return IsLiveStub(id.stub()) ? id.stub()->object.get() : nullptr;
}

Acad::ErrorStatus AddObject(AcDbDatabase* db, AcDbObject* obj, AcDbObjectId owner,
                            AcDbHandle handle, AcDbObjectId* outId) {
    if (!db)
        return Acad::eNoDatabase;
    if (!obj)
        return Acad::eNullObjectPointer;
    return db->impl()->Attach(obj, owner, handle, outId);
}

Acad::ErrorStatus AppendEntity(AcDbDatabase* db, AcDbObjectId blockId, AcDbEntity* entity,
                               AcDbHandle handle, AcDbObjectId* outId) {
    if (!db)
        return Acad::eNoDatabase;
    if (!entity)
        return Acad::eNullEntityPointer;
    auto* block = AcDbBlockTableRecord::cast(ObjectOf(blockId));
    if (!block || blockId.database() != db)
        return Acad::eInvalidInput;
    AcDbObjectId id;
    const Acad::ErrorStatus es = db->impl()->Attach(entity, blockId, handle, &id);
    if (es != Acad::eOk)
        return es;
    block->data()->entities.push_back(id);
    if (outId)
        *outId = id;
    return Acad::eOk;
}

Acad::ErrorStatus AddBlock(AcDbDatabase* db, AcDbBlockTableRecord* block, AcDbHandle handle,
                           AcDbObjectId* outId) {
    if (!db)
        return Acad::eNoDatabase;
    if (!block)
        return Acad::eNullObjectPointer;
    AcDbDatabase::Impl& impl = *db->impl();
    std::string& name = block->data()->name;
    if (name.empty())
        return Acad::eNullBlockName;
    if (IsAnonymousPrefix(name)) {
        // The next free number of that kind.
        int& counter = impl.anonymousCounters[FoldKey(name)];
        std::string candidate;
        do {
            candidate = name + std::to_string(++counter);
        } while (!FindBlock(db, candidate).isNull());
        name = candidate;
    } else if (!FindBlock(db, name).isNull()) {
        return Acad::eDuplicateRecordName;
    }
    AcDbObjectId id;
    const Acad::ErrorStatus es = impl.Attach(block, AcDbObjectId(), handle, &id);
    if (es != Acad::eOk)
        return es;
    impl.blocks.push_back(id);
    impl.blockNames[FoldKey(name)] = id;
    if (impl.modelSpace.isNull() && EqualNoCase(name, "*Model_Space")) {
        impl.modelSpace = id;
        if (impl.currentSpace.isNull())
            impl.currentSpace = id;
    } else if (impl.paperSpace.isNull() && EqualNoCase(name, "*Paper_Space")) {
        impl.paperSpace = id;
    }
    if (outId)
        *outId = id;
    return Acad::eOk;
}

AcDbObjectId IdForHandle(AcDbDatabase* db, AcDbHandle handle) {
    if (!db || handle.isNull())
        return AcDbObjectId();
    return AcDbObjectId(db->impl()->StubFor(handle, true));
}

std::vector<AcDbObjectId> AllObjects(AcDbDatabase* db, bool includeErased) {
    std::vector<AcDbObjectId> ids;
    if (!db)
        return ids;
    ids.reserve(db->impl()->order.size());
    for (AcDbStub* stub : db->impl()->order) {
        if (includeErased || !stub->erased)
            ids.emplace_back(stub);
    }
    return ids;
}

std::vector<AcDbObjectId> Blocks(AcDbDatabase* db) {
    return db ? db->impl()->blocks : std::vector<AcDbObjectId>();
}

AcDbObjectId FindBlock(AcDbDatabase* db, const std::string& name) {
    if (!db)
        return AcDbObjectId();
    const auto& names = db->impl()->blockNames;
    auto it = names.find(FoldKey(name));
    if (it == names.end() || it->second.isErased() || !ObjectOf(it->second))
        return AcDbObjectId();
    return it->second;
}

std::vector<AcDbObjectId> RegisteredApps(AcDbDatabase* db) {
    return db ? db->impl()->regApps : std::vector<AcDbObjectId>();
}

namespace {
RegAppRecord* FindApp(const AcDbDatabase* db, std::string_view name) {
    for (AcDbObjectId id : db->impl()->regApps) {
        auto* app = RegAppRecord::cast(ObjectOf(id));
        if (app && EqualNoCase(app->name, name))
            return app;
    }
    return nullptr;
}
}  // namespace

// The registered spelling of an application name, or "" when it is not registered.
std::string RegisteredAppName(const AcDbDatabase* db, std::string_view name) {
    const RegAppRecord* app = db ? FindApp(db, name) : nullptr;
    return app ? app->name : std::string();
}

Acad::ErrorStatus RegisterApp(AcDbDatabase* db, const std::string& name, AcDbHandle handle) {
    if (!db)
        return Acad::eNoDatabase;
    if (!IsValidAppName(name))
        return Acad::eInvalidSymbolTableName;
    if (FindApp(db, name))
        return Acad::eOk;
    auto* app = new RegAppRecord(name);
    AcDbObjectId id;
    const Acad::ErrorStatus es = db->impl()->Attach(app, AcDbObjectId(), handle, &id);
    if (es != Acad::eOk) {
        delete app;
        return es;
    }
    db->impl()->regApps.push_back(id);
    return Acad::eOk;
}

void SetNamedObjectsDictionary(AcDbDatabase* db, AcDbObjectId dictId) {
    if (db)
        db->impl()->namedObjects = dictId;
}

void SetCurrentTableStyle(AcDbDatabase* db, AcDbObjectId styleId) {
    if (db)
        db->impl()->tableStyle = styleId;
}

void SetHandseed(AcDbDatabase* db, AcDbHandle seed) {
    if (db)
        db->impl()->handseed = std::max(db->impl()->handseed, seed.value());
}

}  // namespace host

// ---------------------------------------------------------------------------------------------
// Handles and ids

void AcDbHandle::getIntoAsciiBuffer(char* buf) const {
    std::snprintf(buf, 17, "%llX", static_cast<unsigned long long>(m_value));
}

bool AcDbObjectId::isValid() const {
    return host::IsLiveStub(m_id) && m_id->object != nullptr;
}

bool AcDbObjectId::isErased() const {
    return host::IsLiveStub(m_id) && m_id->erased;
}

AcDbHandle AcDbObjectId::handle() const {
    return host::IsLiveStub(m_id) ? m_id->handle : AcDbHandle();
}

AcDbDatabase* AcDbObjectId::database() const {
    return host::IsLiveStub(m_id) ? m_id->database : nullptr;
}

// ---------------------------------------------------------------------------------------------
// The database's record keeping

AcDbDatabase::Impl::~Impl() {
    for (auto& stub : stubs)
        host::RemoveLiveStub(stub.get());
    // Objects go in reverse order of creation, entities before their blocks.
    for (auto it = order.rbegin(); it != order.rend(); ++it)
        (*it)->object.reset();
    stubs.clear();
}

AcDbStub* AcDbDatabase::Impl::StubFor(AcDbHandle handle, bool create) {
    auto it = byHandle.find(handle.value());
    if (it != byHandle.end())
        return it->second;
    if (!create)
        return nullptr;
    auto stub = std::make_unique<AcDbStub>();
    stub->database = self;
    stub->handle = handle;
    AcDbStub* raw = stub.get();
    stubs.push_back(std::move(stub));
    byHandle.emplace(handle.value(), raw);
    host::AddLiveStub(raw);
    handseed = std::max(handseed, handle.value() + 1);
    return raw;
}

namespace {
// One counter for every database, so that no two states of any databases share a serial.
std::atomic<std::uint64_t> g_changeSerial{0};
}  // namespace

AcDbDatabase::Impl::Impl(AcDbDatabase* self) : self(self), changeSerial(++g_changeSerial) {}

namespace host {

void NoteChange(const AcDbStub* stub) {
    if (stub && stub->database)
        stub->database->impl()->changeSerial = ++g_changeSerial;
}

std::uint64_t ChangeSerial(const AcDbDatabase* db) {
    return db ? db->impl()->changeSerial : 0;
}

}  // namespace host

Acad::ErrorStatus AcDbDatabase::Impl::Attach(AcDbObject* obj, AcDbObjectId owner, AcDbHandle handle,
                                             AcDbObjectId* outId) {
    host::ObjectState* state = obj->state();
    if (state->stub)
        return Acad::eAlreadyInDb;
    if (handle.isNull()) {
        while (byHandle.count(handseed))
            ++handseed;
        handle = AcDbHandle(handseed++);
    } else {
        auto it = byHandle.find(handle.value());
        if (it != byHandle.end() && it->second->object)
            return Acad::eHandleInUse;
    }
    AcDbStub* stub = StubFor(handle, true);
    stub->object.reset(obj);
    state->stub = stub;
    state->owner = owner;
    state->readers = 0;
    state->writing = false;
    state->notifying = false;
    state->newObject = false;
    order.push_back(stub);
    changeSerial = ++g_changeSerial;
    if (outId)
        *outId = AcDbObjectId(stub);
    return Acad::eOk;
}

// ---------------------------------------------------------------------------------------------
// AcDbDatabase

HOST_RX_DEFINE_MEMBERS(AcDbDatabase, AcRxObject, "")

namespace {

void AddDictionaryEntry(AcDbDatabase* db, AcDbDictionary* dict, AcDbObjectId dictId,
                        const std::string& name, AcDbObject* obj, AcDbObjectId* outId = nullptr) {
    AcDbObjectId id;
    host::AddObject(db, obj, dictId, AcDbHandle(), &id);
    dict->data()->entries.push_back({name, id});
    if (outId)
        *outId = id;
}

}  // namespace

AcDbDatabase::AcDbDatabase(bool buildDefaultDrawing) : m_pImpl(new Impl(this)) {
    if (!buildDefaultDrawing)
        return;
    // The root dictionary first, then the spaces, the applications and the styles.
    auto* nod = new AcDbDictionary;
    AcDbObjectId nodId;
    host::AddObject(this, nod, AcDbObjectId(), AcDbHandle(), &nodId);
    m_pImpl->namedObjects = nodId;

    AcDbObjectId modelId, paperId;
    auto* model = new AcDbBlockTableRecord;
    model->setName("*Model_Space");
    host::AddBlock(this, model, AcDbHandle(), &modelId);
    auto* paper = new AcDbBlockTableRecord;
    paper->setName("*Paper_Space");
    host::AddBlock(this, paper, AcDbHandle(), &paperId);

    host::RegisterApp(this, "ACAD", AcDbHandle());

    auto* styles = new AcDbDictionary;
    AcDbObjectId stylesId;
    AddDictionaryEntry(this, nod, nodId, "ACAD_TABLESTYLE", styles, &stylesId);
    auto* standard = new AcDbTableStyle;
    standard->setName("Standard");
    AcDbObjectId standardId;
    AddDictionaryEntry(this, styles, stylesId, "Standard", standard, &standardId);
    m_pImpl->tableStyle = standardId;

    auto* layouts = new AcDbDictionary;
    AcDbObjectId layoutsId;
    AddDictionaryEntry(this, nod, nodId, "ACAD_LAYOUT", layouts, &layoutsId);
    auto layout = [](const char* name, int tab, AcDbObjectId block) {
        char handle[17];
        block.handle().getIntoAsciiBuffer(handle);
        return new host::RawObject(
            "LAYOUT", {{100, "AcDbLayout"}, {1, name}, {71, std::to_string(tab)}, {330, handle}});
    };
    AddDictionaryEntry(this, layouts, layoutsId, "Model", layout("Model", 0, modelId));
    AddDictionaryEntry(this, layouts, layoutsId, "Layout1", layout("Layout1", 1, paperId));
}

AcDbDatabase::~AcDbDatabase() {
    if (host::WorkingDatabase() == this)
        host::SetWorkingDatabase(nullptr);
    delete m_pImpl;
}

AcDbObjectId AcDbDatabase::currentSpaceId() const {
    return m_pImpl->currentSpace;
}

Acad::ErrorStatus AcDbDatabase::setCurrentSpace(AcDbObjectId blockId) {
    auto* block = AcDbBlockTableRecord::cast(host::ObjectOf(blockId));
    if (!block || blockId.database() != this || blockId.isErased() || !block->isLayout())
        return Acad::eInvalidInput;
    m_pImpl->currentSpace = blockId;
    return Acad::eOk;
}

AcDbObjectId AcDbDatabase::modelSpaceId() const {
    return m_pImpl->modelSpace;
}
AcDbObjectId AcDbDatabase::paperSpaceId() const {
    return m_pImpl->paperSpace;
}
AcDbObjectId AcDbDatabase::namedObjectsDictionaryId() const {
    return m_pImpl->namedObjects;
}

AcDbObjectId AcDbDatabase::tableStyleDictionaryId() const {
    auto* nod = AcDbDictionary::cast(host::ObjectOf(m_pImpl->namedObjects));
    if (!nod)
        return AcDbObjectId();
    const int i = nod->data()->Find("ACAD_TABLESTYLE");
    return i < 0 ? AcDbObjectId() : nod->data()->entries[i].id;
}

Acad::ErrorStatus AcDbDatabase::getTableStyleDictionary(AcDbDictionary*& dict,
                                                        AcDb::OpenMode mode) {
    dict = nullptr;
    const AcDbObjectId id = tableStyleDictionaryId();
    if (id.isNull())
        return Acad::eKeyNotFound;
    return acdbOpenObject(dict, id, mode);
}

AcDbObjectId AcDbDatabase::tablestyle() const {
    if (!m_pImpl->tableStyle.isNull())
        return m_pImpl->tableStyle;
    auto* styles = AcDbDictionary::cast(host::ObjectOf(tableStyleDictionaryId()));
    if (!styles)
        return AcDbObjectId();
    const int i = styles->data()->Find("Standard");
    return i < 0 ? AcDbObjectId() : styles->data()->entries[i].id;
}

Acad::ErrorStatus AcDbDatabase::setTablestyle(AcDbObjectId styleId) {
    if (!AcDbTableStyle::cast(host::ObjectOf(styleId)) || styleId.database() != this)
        return Acad::eWrongObjectType;
    m_pImpl->tableStyle = styleId;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::getAcDbObjectId(AcDbObjectId& id, bool createIfNotFound,
                                                const AcDbHandle& handle) {
    id.setNull();
    if (handle.isNull())
        return Acad::eNullHandle;
    AcDbStub* stub = m_pImpl->StubFor(handle, createIfNotFound);
    if (!stub || (!createIfNotFound && !stub->object))
        return Acad::eUnknownHandle;
    id = AcDbObjectId(stub);
    return Acad::eOk;
}

AcDbHandle AcDbDatabase::handseed() const {
    return AcDbHandle(m_pImpl->handseed);
}

bool AcDbDatabase::isAppRegistered(const char* appName) const {
    return appName && !host::RegisteredAppName(this, appName).empty();
}

Acad::ErrorStatus AcDbDatabase::registerApp(const char* appName) {
    return host::RegisterApp(this, appName ? appName : "", AcDbHandle());
}

// ---------------------------------------------------------------------------------------------
// Registered applications of the working database

int acdbRegApp(const char* appName) {
    AcDbDatabase* db = host::WorkingDatabase();
    if (!db || !appName)
        return RTERROR;
    return db->registerApp(appName) == Acad::eOk ? RTNORM : RTERROR;
}

int acdbRegApp(const char16_t* appName) {
    if (!appName)
        return RTERROR;
    return acdbRegApp(qv::ToUtf8(appName).c_str());
}
