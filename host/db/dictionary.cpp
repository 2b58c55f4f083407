// Dictionaries of the drawing database: named entries in the order they were added, names
// compared ignoring case.
#include "host/db/hostdb.h"
#include "host/db/internal.h"
#include "platform/textconv.h"

int AcDbDictionary::Data::Find(std::string_view name) const {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (host::EqualNoCase(entries[i].name, name))
            return static_cast<int>(i);
    }
    return -1;
}

HOST_RX_DEFINE_MEMBERS(AcDbDictionary, AcDbObject, "DICTIONARY")

AcDbDictionary::AcDbDictionary() : m_pData(new Data) {}
AcDbDictionary::~AcDbDictionary() {
    delete m_pData;
}

Acad::ErrorStatus AcDbDictionary::getAt(const char* name, AcDbObjectId& id) const {
    id.setNull();
    if (!name)
        return Acad::eInvalidKey;
    const int i = m_pData->Find(name);
    if (i < 0)
        return Acad::eKeyNotFound;
    id = m_pData->entries[i].id;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDictionary::getAt(const char16_t* name, AcDbObjectId& id) const {
    if (!name)
        return Acad::eInvalidKey;
    return getAt(qv::ToUtf8(name).c_str(), id);
}

Acad::ErrorStatus AcDbDictionary::getAt(const char* name, AcDbObject*& obj,
                                        AcDb::OpenMode mode) const {
    obj = nullptr;
    AcDbObjectId id;
    const Acad::ErrorStatus es = getAt(name, id);
    if (es != Acad::eOk)
        return es;
    return acdbOpenAcDbObject(obj, id, mode);
}

Acad::ErrorStatus AcDbDictionary::getAt(const char16_t* name, AcDbObject*& obj,
                                        AcDb::OpenMode mode) const {
    obj = nullptr;
    if (!name)
        return Acad::eInvalidKey;
    return getAt(qv::ToUtf8(name).c_str(), obj, mode);
}

bool AcDbDictionary::has(const char* name) const {
    return name && m_pData->Find(name) >= 0;
}

Acad::ErrorStatus AcDbDictionary::setAt(const char* name, AcDbObject* obj, AcDbObjectId& id) {
    id.setNull();
    if (!name || !*name)
        return Acad::eInvalidKey;
    if (!obj)
        return Acad::eNullObjectPointer;
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    AcDbDatabase* db = database();
    if (!db)
        return Acad::eNoDatabase;
    if (obj->state()->stub) {
        if (obj->database() != db)
            return Acad::eWrongDatabase;
        id = obj->objectId();
        obj->state()->owner = objectId();
    } else {
        // A new object joins the database, owned by this dictionary; it stays open for write.
        if (auto* style = AcDbTableStyle::cast(obj); style && style->data()->name.empty())
            style->data()->name = name;
        const Acad::ErrorStatus es = host::AddObject(db, obj, objectId(), AcDbHandle(), &id);
        if (es != Acad::eOk)
            return es;
        obj->state()->writing = true;
        obj->state()->newObject = true;
    }
    const int i = m_pData->Find(name);
    if (i >= 0) {
        m_pData->entries[i].id = id;
    } else {
        m_pData->entries.push_back({name, id});
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbDictionary::remove(const char* name) {
    if (!name)
        return Acad::eInvalidKey;
    if (const Acad::ErrorStatus es = host::CheckWritable(this); es != Acad::eOk)
        return es;
    const int i = m_pData->Find(name);
    if (i < 0)
        return Acad::eKeyNotFound;
    m_pData->entries.erase(m_pData->entries.begin() + i);
    return Acad::eOk;
}

std::uint32_t AcDbDictionary::numEntries() const {
    return static_cast<std::uint32_t>(m_pData->entries.size());
}

namespace {

// Walks a snapshot of the entries taken when the iterator was made.
class DictionaryIterator : public AcDbDictionaryIterator {
public:
    explicit DictionaryIterator(std::vector<AcDbDictionary::Data::Entry> entries)
        : m_entries(std::move(entries)) {}
    bool done() const override { return m_pos >= m_entries.size(); }
    bool next() override {
        if (m_pos < m_entries.size())
            ++m_pos;
        return !done();
    }
    AcDbObjectId objectId() const override { return done() ? AcDbObjectId() : m_entries[m_pos].id; }
    const char* nameUtf8() const override { return done() ? "" : m_entries[m_pos].name.c_str(); }
    Acad::ErrorStatus getObject(AcDbObject*& obj, AcDb::OpenMode mode) override {
        obj = nullptr;
        if (done())
            return Acad::eIteratorDone;
        return acdbOpenAcDbObject(obj, m_entries[m_pos].id, mode);
    }

private:
    std::vector<AcDbDictionary::Data::Entry> m_entries;
    std::size_t m_pos = 0;
};

}  // namespace

AcDbDictionaryIterator* AcDbDictionary::newIterator() const {
    return new DictionaryIterator(m_pData->entries);
}

namespace host {

Acad::ErrorStatus SetDictionaryEntry(AcDbDictionary* dict, const std::string& name,
                                     AcDbObjectId id) {
    if (!dict)
        return Acad::eNullObjectPointer;
    if (name.empty())
        return Acad::eInvalidKey;
    if (id.isNull())
        return Acad::eNullObjectId;
    if (AcDbObject* obj = ObjectOf(id)) {
        obj->state()->owner = dict->objectId();
        if (auto* style = AcDbTableStyle::cast(obj); style && style->data()->name.empty())
            style->data()->name = name;
    }
    const int i = dict->data()->Find(name);
    if (i >= 0) {
        dict->data()->entries[i].id = id;
    } else {
        dict->data()->entries.push_back({name, id});
    }
    return Acad::eOk;
}

}  // namespace host
