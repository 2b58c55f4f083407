#include "host/dxf/recover.h"

#include <algorithm>
#include <memory>
#include <unordered_set>

#include "host/dxf/record_groups.h"
#include "host/dxf/tags.h"
#include "platform/dbdict.h"

namespace host::dxf {

void RemoveDanglingEntries(const std::vector<std::pair<AcDbObjectId, std::size_t>>& dictionaries,
                           RepairLog& log) {
    for (auto& [dictId, line] : dictionaries) {
        auto* dict = AcDbDictionary::cast(Obj(dictId));
        if (!dict)
            continue;
        std::vector<std::string> dangling;
        std::unique_ptr<AcDbDictionaryIterator> it(dict->newIterator());
        for (; !it->done(); it->next()) {
            if (!Obj(it->objectId()))
                dangling.push_back(it->nameUtf8());
        }
        for (const auto& name : dangling) {
            log.Report(RepairCode::kDanglingDictionaryEntry, line, dictId.handle().value(),
                       "dictionary entry \"" + name + "\" names a missing object",
                       "the entry was removed");
            AcDbDictionary* w = nullptr;
            if (acdbOpenObject(w, dictId, AcDb::kForWrite) == Acad::eOk) {
                w->remove(name.c_str());
                w->close();
            }
        }
    }
}

void AdoptOrphans(AcDbDatabase* db, RepairLog& log) {
    const AcDbObjectId root = db->namedObjectsDictionaryId();
    for (AcDbObjectId id : AllObjects(db)) {
        AcDbObject* o = Obj(id);
        if (!o || AcDbEntity::cast(o) || AcDbBlockTableRecord::cast(o) || RegAppRecord::cast(o))
            continue;
        const AcDbObjectId owner = o->ownerId();
        RawObject* raw = AsRaw(o);
        if (raw && raw->dxfName == "TABLE")
            continue;
        // Only symbol-table entries belong to symbol tables.
        RawObject* ownerRaw = AsRaw(Obj(owner));
        const bool ownedByTable = ownerRaw && ownerRaw->dxfName == "TABLE";
        const bool entry = raw && IsSymbolTableEntry(raw->dxfName);
        if (owner.isNull() || (Obj(owner) && ownedByTable == entry) ||
            (Obj(owner) && !ownedByTable))
            continue;
        log.Report(RepairCode::kDanglingOwner, 0, id.handle().value(),
                   DxfNameOf(o) + " " + FormatHandle(id.handle().value()) + ": its owner " +
                       FormatHandle(owner.handle().value()) +
                       (Obj(owner) ? " is a symbol table" : " does not exist"),
                   "it was given to the named-object dictionary");
        AcDbObject* w = nullptr;
        if (acdbOpenAcDbObject(w, id, AcDb::kForWrite) == Acad::eOk) {
            w->setOwnerId(root);
            w->close();
        }
    }
}

void RegisterExtendedDataApps(AcDbDatabase* db,
                              const std::vector<std::pair<std::string, std::size_t>>& uses,
                              RepairLog& log) {
    std::unordered_set<std::string> refused;
    for (auto& [app, line] : uses) {
        if (db->isAppRegistered(app.c_str()) || refused.count(app))
            continue;
        if (db->registerApp(app.c_str()) == Acad::eOk && db->isAppRegistered(app.c_str())) {
            log.Report(RepairCode::kUnregisteredApplication, line, 0,
                       "extended data of the unregistered application \"" + app + "\"",
                       "the application was registered");
        } else {
            log.Report(RepairCode::kInvalidApplicationData, line, 0,
                       "extended data of the application \"" + app + "\", an invalid name",
                       "that application's data was removed");
            refused.insert(app);
        }
    }
    if (refused.empty())
        return;
    for (AcDbObjectId id : AllObjects(db)) {
        AcDbObject* o = Obj(id);
        if (!o)
            continue;
        auto& x = o->state()->xdata;
        x.erase(std::remove_if(x.begin(), x.end(),
                               [&](const XDataApp& a) { return refused.count(a.app) > 0; }),
                x.end());
    }
}

}  // namespace host::dxf
