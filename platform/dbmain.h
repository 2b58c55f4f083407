// The drawing database: objects with handles and owners, opened for reading or writing and
// closed again, extended data, entities, blocks and the database itself.
//
// Objects live in their database from appendAcDbEntity (or the database's own creation) until
// the database is destroyed; opening gives access to the resident object and closing ends that
// access. Misuse is refused with a status code: an object open for write cannot be opened
// again (eWasOpenForWrite), an object open for read cannot be opened for write
// (eWasOpenForRead), an erased object does not open unless asked (eWasErased), and a
// modification of an object not open for write is refused (eNotOpenForWrite).
#pragma once

#include <cstdint>

#include "platform/CString.h"
#include "platform/acadstrc.h"
#include "platform/adsdef.h"
#include "platform/dbid.h"
#include "platform/gept3d.h"
#include "platform/rxobject.h"

namespace AcDb {
enum OpenMode { kForRead = 0, kForWrite = 1, kForNotify = 2 };
// Row kinds of a table style.
enum RowType { kUnknownRow = 0, kDataRow = 1, kTitleRow = 2, kHeaderRow = 4 };
}  // namespace AcDb

class AcDbDictionary;
class AcDbEntity;
class AcDbObject;
class AcDbImpObject;  // the host's bookkeeping of one object (defined by the host)

class AcDbDatabase : public AcRxObject {
public:
    ACRX_DECLARE_MEMBERS(AcDbDatabase)
    // A new drawing database: model space, one paper-space layout, the registered application
    // "ACAD", the "Standard" table style and the named-object dictionary.
    explicit AcDbDatabase(bool buildDefaultDrawing = true);
    ~AcDbDatabase() override;
    AcDbDatabase(const AcDbDatabase&) = delete;
    AcDbDatabase& operator=(const AcDbDatabase&) = delete;

    // The block that new entities go to: model space or the current layout's paper space.
    AcDbObjectId currentSpaceId() const;
    Acad::ErrorStatus setCurrentSpace(AcDbObjectId blockId);
    AcDbObjectId modelSpaceId() const;
    AcDbObjectId paperSpaceId() const;
    // The table-style dictionary (ACAD_TABLESTYLE), opened in the given mode.
    Acad::ErrorStatus getTableStyleDictionary(AcDbDictionary*& dict, AcDb::OpenMode mode);
    AcDbObjectId tableStyleDictionaryId() const;
    // The current table style ("Standard" in a new drawing).
    AcDbObjectId tablestyle() const;
    Acad::ErrorStatus setTablestyle(AcDbObjectId styleId);
    AcDbObjectId namedObjectsDictionaryId() const;

    // Handles.
    Acad::ErrorStatus getAcDbObjectId(AcDbObjectId& id, bool createIfNotFound,
                                      const AcDbHandle& handle);
    AcDbHandle handseed() const;  // above every handle in use

    // Registered application names (for extended data), compared ignoring case.
    bool isAppRegistered(const char* appName) const;
    Acad::ErrorStatus registerApp(const char* appName);

    // The host's own state, for the host's use.
    class Impl;
    Impl* impl() const { return m_pImpl; }

private:
    Impl* m_pImpl;
};

class AcDbObject : public AcRxObject {
public:
    ACRX_DECLARE_MEMBERS(AcDbObject)
    ~AcDbObject() override;

    AcDbObjectId objectId() const;
    AcDbObjectId ownerId() const;
    Acad::ErrorStatus setOwnerId(AcDbObjectId owner);
    AcDbDatabase* database() const;
    AcDbHandle getDbHandle() const;

    // Ends this access; eOk. An object not in a database cannot be closed (use delete).
    Acad::ErrorStatus close();
    // From read to write (only when this is the sole reader) and back.
    Acad::ErrorStatus upgradeOpen();
    Acad::ErrorStatus downgradeOpen();
    bool isReadEnabled() const;
    bool isWriteEnabled() const;
    bool isNotifyEnabled() const;
    bool isNewObject() const;
    Acad::ErrorStatus erase(bool erasing = true);
    bool isErased() const;

    // Extended data. xData gives a new chain (release with acutRelRb) holding the data of the
    // named application (1001 head first), or of every application when no name is given;
    // null when there is none. setXData replaces, for each application named in the chain,
    // that application's data; a 1001 group alone removes it. Refused: an unregistered
    // application (eRegappIdNotFound), a text over 255 bytes in UTF-8 (eStringTooLong),
    // unbalanced 1002 braces (eInvalidResBuf), more than 16 KB in all (eXdataSizeExceeded).
    resbufA* xData(const char* appName) const;
    resbufW* xData(const char16_t* appName) const;
    Acad::ErrorStatus setXData(const resbufA* chain);
    Acad::ErrorStatus setXData(const resbufW* chain);

    // A deep copy that is not in a database (extended data included); null for objects that
    // cannot be copied on their own (dictionaries, blocks).
    AcRxObject* clone() const override;

    // The host's bookkeeping, for the host's use.
    AcDbImpObject* state() const { return m_pState; }

protected:
    AcDbObject();

private:
    AcDbImpObject* m_pState;
};

class AcDbEntity : public AcDbObject {
public:
    ACRX_DECLARE_MEMBERS(AcDbEntity)
    ~AcDbEntity() override;
    AcDbObjectId blockId() const;  // the owning block (model space, a layout, a block)
    // Moves, rotates or scales the entity (it must be open for write).
    virtual Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform);
    // The entity's extents in world coordinates; eInvalidExtents when it has none.
    virtual Acad::ErrorStatus getGeomExtents(AcGePoint3d& minPoint, AcGePoint3d& maxPoint) const;
    CStringA layerA() const;
    Acad::ErrorStatus setLayer(const char* layerName);

protected:
    AcDbEntity();
};

// A block definition: model space ("*Model_Space"), a layout's paper space ("*Paper_Space"),
// a named block or an anonymous one ("*T1" ...).
class AcDbBlockTableRecord : public AcDbObject {
public:
    ACRX_DECLARE_MEMBERS(AcDbBlockTableRecord)
    AcDbBlockTableRecord();
    ~AcDbBlockTableRecord() override;
    // Adds a new entity (not yet in a database) to this block, which must be open for write.
    // The block's database takes ownership; the entity stays open for write.
    Acad::ErrorStatus appendAcDbEntity(AcDbObjectId& id, AcDbEntity* entity);
    Acad::ErrorStatus appendAcDbEntity(AcDbEntity* entity);
    CStringA nameA() const;
    Acad::ErrorStatus setName(const char* name);
    bool isLayout() const;
    AcGePoint3d origin() const;
    Acad::ErrorStatus setOrigin(const AcGePoint3d& origin);

    // The host's block state, for the host's use.
    class Data;
    Data* data() const { return m_pData; }

private:
    Data* m_pData;
};

// A reference to a block definition (entity type "INSERT").
class AcDbBlockReference : public AcDbEntity {
public:
    ACRX_DECLARE_MEMBERS(AcDbBlockReference)
    AcDbBlockReference();
    AcDbBlockReference(const AcGePoint3d& position, AcDbObjectId blockId);
    ~AcDbBlockReference() override;
    AcDbObjectId blockTableRecord() const;
    Acad::ErrorStatus setBlockTableRecord(AcDbObjectId blockId);
    AcGePoint3d position() const;
    Acad::ErrorStatus setPosition(const AcGePoint3d& position);
    double rotation() const;
    Acad::ErrorStatus setRotation(double angle);
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform) override;
    Acad::ErrorStatus getGeomExtents(AcGePoint3d& minPoint, AcGePoint3d& maxPoint) const override;

    // The host's reference state, for the host's use.
    class Data;
    Data* data() const { return m_pData; }

private:
    Data* m_pData;
};

// Opening objects by id. The class form (acdbOpenObject) refuses an object of another class
// with eNotThatKindOfClass, leaving it closed.
Acad::ErrorStatus acdbOpenAcDbObject(AcDbObject*& obj, AcDbObjectId id, AcDb::OpenMode mode,
                                     bool openErased = false);
Acad::ErrorStatus acdbOpenAcDbEntity(AcDbEntity*& ent, AcDbObjectId id, AcDb::OpenMode mode,
                                     bool openErased = false);

template <class T>
Acad::ErrorStatus acdbOpenObject(T*& obj, AcDbObjectId id, AcDb::OpenMode mode,
                                 bool openErased = false) {
    obj = nullptr;
    AcDbObject* any = nullptr;
    Acad::ErrorStatus es = acdbOpenAcDbObject(any, id, mode, openErased);
    if (es != Acad::eOk)
        return es;
    obj = T::cast(any);
    if (!obj) {
        any->close();
        return Acad::eNotThatKindOfClass;
    }
    return Acad::eOk;
}

// Entity names of the command-line interface and object ids.
Acad::ErrorStatus acdbGetObjectId(AcDbObjectId& id, const ads_name entity);
Acad::ErrorStatus acdbGetAdsName(ads_name& entity, AcDbObjectId id);
// Erases (or, for an erased entity, restores) an entity by name; RTNORM or RTERROR.
int acdbEntDel(const ads_name entity);
// The last entity appended to the current document's drawing; RTNORM or RTERROR.
int acdbEntLast(ads_name entity);
// Registers an application name in the working database; RTNORM, or RTERROR for a bad name.
int acdbRegApp(const char* appName);
int acdbRegApp(const char16_t* appName);
