// Runtime classes and the system registry: the root object class, class descriptors and the
// registry dictionary through which a module finds the host's services.
#pragma once

#include "platform/acadstrc.h"
#include "platform/windef.h"

class AcRxClass;

class AcRxObject {
public:
    virtual ~AcRxObject();
    static AcRxClass* desc();
    virtual AcRxClass* isA() const;
    bool isKindOf(const AcRxClass* cls) const;
    virtual AcRxObject* clone() const;
    virtual Acad::ErrorStatus copyFrom(const AcRxObject* other);
    virtual bool isEqualTo(const AcRxObject* other) const;
};

// A class descriptor. Names are stored in UTF-8.
class AcRxClass : public AcRxObject {
public:
    AcRxClass(const char* name, AcRxClass* parent, const char* dxfName = nullptr);
    const char* nameUtf8() const;
    // The entity or object type name in drawing files ("ACAD_TABLE", "INSERT"), or "".
    const char* dxfNameUtf8() const;
    bool isDerivedFrom(const AcRxClass* other) const;
    AcRxClass* myParent() const;

private:
    const char* m_name;
    AcRxClass* m_parent;
    const char* m_dxfName;
};

// The class-descriptor members each runtime class carries: desc(), isA() and cast().
#define ACRX_DECLARE_MEMBERS(CLASS)                                                  \
    static AcRxClass* desc();                                                       \
    AcRxClass* isA() const override;                                                \
    static CLASS* cast(const AcRxObject* obj) {                                     \
        return (obj && obj->isKindOf(CLASS::desc())) ? (CLASS*)obj : nullptr;       \
    }

// A dictionary of named runtime objects: the system registry and its sub-dictionaries.
class AcRxDictionary : public AcRxObject {
public:
    virtual AcRxObject* at(const char* key) const = 0;
    virtual AcRxObject* at(const char16_t* key) const = 0;
    virtual AcRxObject* atPut(const char* key, AcRxObject* obj) = 0;
    virtual AcRxObject* remove(const char* key) = 0;
    virtual unsigned numEntries() const = 0;
};

// The host's system registry ("ACAD_REGISTERED_COMMANDS", "DynamicLinker", "ClassDictionary").
AcRxDictionary* acrxSysRegistry();
// The dictionary of runtime classes by name.
AcRxDictionary* acrxClassDictionaryPtr();
#define acrxClassDictionary acrxClassDictionaryPtr()

// Registry keys.
#define ACRX_COMMAND_DOCK "ACAD_REGISTERED_COMMANDS"
#define ACRX_DYNAMIC_LINKER "DynamicLinker"
#define ACRX_CLASS_DICTIONARY "ClassDictionary"
