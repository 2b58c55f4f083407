// Dictionaries: named entries of the drawing database (the named-object dictionary, the
// table-style dictionary ACAD_TABLESTYLE, the layout dictionary ACAD_LAYOUT ...).
#pragma once

#include "platform/dbmain.h"

class AcDbDictionaryIterator {
public:
    virtual ~AcDbDictionaryIterator() = default;
    virtual bool done() const = 0;
    virtual bool next() = 0;
    virtual AcDbObjectId objectId() const = 0;
    virtual const char* nameUtf8() const = 0;
    virtual Acad::ErrorStatus getObject(AcDbObject*& obj, AcDb::OpenMode mode) = 0;
};

class AcDbDictionary : public AcDbObject {
public:
    ACRX_DECLARE_MEMBERS(AcDbDictionary)
    AcDbDictionary();
    ~AcDbDictionary() override;
    // Looks an entry up by name (case ignored); eKeyNotFound when there is none.
    Acad::ErrorStatus getAt(const char* name, AcDbObject*& obj, AcDb::OpenMode mode) const;
    Acad::ErrorStatus getAt(const char16_t* name, AcDbObject*& obj, AcDb::OpenMode mode) const;
    Acad::ErrorStatus getAt(const char* name, AcDbObjectId& id) const;
    Acad::ErrorStatus getAt(const char16_t* name, AcDbObjectId& id) const;
    bool has(const char* name) const;
    // Adds an object under a name (the dictionary must be open for write); a new object is
    // added to the database and owned by the dictionary.
    Acad::ErrorStatus setAt(const char* name, AcDbObject* obj, AcDbObjectId& id);
    Acad::ErrorStatus remove(const char* name);
    std::uint32_t numEntries() const;
    // Entries in dictionary order (the order they were added). Delete the iterator after use.
    AcDbDictionaryIterator* newIterator() const;

    // The host's entries, for the host's use.
    class Data;
    Data* data() const { return m_pData; }

private:
    Data* m_pData;
};
