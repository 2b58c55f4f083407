// Runtime classes: the root object, class descriptors, the class dictionary and the system
// registry.
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "host/base/text.h"
#include "host/db/hostdb.h"
#include "platform/acdocman.h"
#include "platform/rxobject.h"
#include "platform/textconv.h"

// ---------------------------------------------------------------------------------------------
// AcRxObject and AcRxClass

AcRxObject::~AcRxObject() = default;

AcRxClass* AcRxObject::desc() {
    static AcRxClass cls("AcRxObject", nullptr, "");
    return &cls;
}

AcRxClass* AcRxObject::isA() const {
    return AcRxObject::desc();
}

bool AcRxObject::isKindOf(const AcRxClass* cls) const {
    return cls && isA()->isDerivedFrom(cls);
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
    : m_name(name ? name : ""), m_parent(parent), m_dxfName(dxfName ? dxfName : "") {}

const char* AcRxClass::nameUtf8() const {
    return m_name;
}
const char* AcRxClass::dxfNameUtf8() const {
    return m_dxfName;
}
AcRxClass* AcRxClass::myParent() const {
    return m_parent;
}

bool AcRxClass::isDerivedFrom(const AcRxClass* other) const {
    for (const AcRxClass* c = this; c; c = c->m_parent) {
        if (c == other)
            return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Dictionaries of runtime objects

namespace host {

namespace {

// Entries in the order they were put, keys compared ignoring case. The dictionary does not own
// its entries: whoever puts an object keeps it alive while it is registered.
class RxDictionary : public AcRxDictionary {
public:
    AcRxObject* at(const char* key) const override {
        const int i = Find(key ? key : "");
        return i < 0 ? nullptr : m_entries[i].second;
    }
    AcRxObject* at(const char16_t* key) const override { return at(qv::ToUtf8(key).c_str()); }
    AcRxObject* atPut(const char* key, AcRxObject* obj) override {
        const std::string k = key ? key : "";
        const int i = Find(k);
        if (i >= 0)
            return std::exchange(m_entries[i].second, obj);
        m_entries.emplace_back(k, obj);
        return nullptr;
    }
    AcRxObject* remove(const char* key) override {
        const int i = Find(key ? key : "");
        if (i < 0)
            return nullptr;
        AcRxObject* old = m_entries[i].second;
        m_entries.erase(m_entries.begin() + i);
        return old;
    }
    unsigned numEntries() const override { return static_cast<unsigned>(m_entries.size()); }

private:
    int Find(std::string_view key) const {
        for (std::size_t i = 0; i < m_entries.size(); ++i) {
            if (EqualNoCase(m_entries[i].first, key))
                return static_cast<int>(i);
        }
        return -1;
    }
    std::vector<std::pair<std::string, AcRxObject*>> m_entries;
};

}  // namespace

std::unique_ptr<AcRxDictionary> MakeRxDictionary() {
    return std::make_unique<RxDictionary>();
}

}  // namespace host

AcRxDictionary* acrxClassDictionaryPtr() {
    static host::RxDictionary* const dict = [] {
        static host::RxDictionary classes;
        const AcRxClass* all[] = {
            AcRxObject::desc(),
            AcDbDatabase::desc(),
            AcDbObject::desc(),
            AcDbEntity::desc(),
            AcDbBlockTableRecord::desc(),
            AcDbBlockReference::desc(),
            AcDbDictionary::desc(),
            AcDbTableStyle::desc(),
            AcDbTable::desc(),
            AcApDocManagerReactor::desc(),
            host::RawObject::desc(),
            host::RawEntity::desc(),
            host::RegAppRecord::desc(),
        };
        for (const AcRxClass* cls : all) {
            classes.atPut(cls->nameUtf8(), const_cast<AcRxClass*>(cls));
        }
        return &classes;
    }();
    return dict;
}

AcRxDictionary* acrxSysRegistry() {
    static host::RxDictionary* const registry = [] {
        static host::RxDictionary sys;
        sys.atPut(ACRX_CLASS_DICTIONARY, acrxClassDictionaryPtr());
        return &sys;
    }();
    return registry;
}

// ---------------------------------------------------------------------------------------------
// Document reactor base: every callback does nothing unless a module overrides it.

HOST_RX_DEFINE_MEMBERS(AcApDocManagerReactor, AcRxObject, "")

void AcApDocManagerReactor::documentCreateStarted(AcApDocument*) {}
void AcApDocManagerReactor::documentCreated(AcApDocument*) {}
void AcApDocManagerReactor::documentToBeDestroyed(AcApDocument*) {}
void AcApDocManagerReactor::documentDestroyed(const char*) {}
void AcApDocManagerReactor::documentCreateCanceled(AcApDocument*) {}
void AcApDocManagerReactor::documentLockModeWillChange(AcApDocument*, AcAp::DocLockMode,
                                                       AcAp::DocLockMode, AcAp::DocLockMode,
                                                       const char*) {}
void AcApDocManagerReactor::documentLockModeChangeVetoed(AcApDocument*, const char*) {}
void AcApDocManagerReactor::documentLockModeChanged(AcApDocument*, AcAp::DocLockMode,
                                                    AcAp::DocLockMode, AcAp::DocLockMode,
                                                    const char*) {}
void AcApDocManagerReactor::documentBecameCurrent(AcApDocument*) {}
void AcApDocManagerReactor::documentToBeActivated(AcApDocument*) {}
void AcApDocManagerReactor::documentToBeDeactivated(AcApDocument*) {}
void AcApDocManagerReactor::documentActivationModified(bool) {}
void AcApDocManagerReactor::documentActivated(AcApDocument*) {}
