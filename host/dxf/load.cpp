// Loading: a DXF document into a new drawing database.
#include <algorithm>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "host/base/text.h"
#include "host/db/hostdb.h"
#include "host/dxf/drawing.h"
#include "host/dxf/handle_set.h"
#include "host/dxf/insert_entity.h"
#include "host/dxf/record_groups.h"
#include "host/dxf/recover.h"
#include "host/dxf/structure.h"
#include "host/dxf/table_entity.h"
#include "platform/dbdict.h"
#include "platform/dbmain.h"
#include "platform/dbtable.h"

namespace host::dxf {

namespace {

// Builds the database from a document, in the order references need: handles first, then the
// symbol tables, the blocks (with their entities), the entities of the two spaces and the
// objects; then what every drawing has, the links of the tables, and the repairs of
// references that point nowhere.
class Loader {
public:
    Loader(Document& doc, std::vector<Repair>* repairs) : doc_(doc), log_(repairs) {}
    std::unique_ptr<AcDbDatabase> Run();

private:
    // The name a block gets in the drawing. The database keeps names as C strings, so a name
    // with a NUL character in it would be cut there without notice, and the cut name could be
    // that of model space or of another block; the cut is made here, as a repair, before the
    // name is compared. The file's spellings of the two spaces become the drawing's.
    std::string BlockName(const std::string& fileName, std::size_t line, std::uint64_t handle) {
        std::string name = fileName.substr(0, fileName.find('\0'));
        if (name.size() != fileName.size()) {
            log_.Report(RepairCode::kBlockNameCut, line, handle,
                        "block name \"" + name + "\" is followed by a NUL character",
                        "the name was cut there");
        }
        if (EqualNoCase(name, "$MODEL_SPACE") || EqualNoCase(name, "*MODEL_SPACE"))
            name = "*Model_Space";
        if (EqualNoCase(name, "$PAPER_SPACE") || EqualNoCase(name, "*PAPER_SPACE"))
            name = "*Paper_Space";
        return name;
    }
    // Calls f(Record&) for each record and deferred(DeferredEntity&) for each deferred entity,
    // in file order.
    template <class F, class D>
    void ForEachRecord(F f, D deferred) {
        for (auto& t : doc_.tables) {
            f(t.head);
            for (auto& e : t.entries)
                f(e);
        }
        for (auto& b : doc_.blocks) {
            f(b.begin);
            b.ForEachEntity(f, deferred);
            f(b.end);
        }
        for (auto& e : doc_.entities)
            f(e);
        for (auto& o : doc_.objects)
            f(o);
    }
    void AssignHandles();
    std::uint64_t H(const Record& r) const {
        auto it = assigned_.find(&r);
        return it != assigned_.end() ? it->second : r.handle();
    }
    std::uint64_t H(const DeferredEntity& e) const {
        auto it = assignedDeferred_.find(&e);
        return it != assignedDeferred_.end() ? it->second : e.handle;
    }
    void LoadTables();
    void LoadBlocks();
    void LoadEntity(Record& rec, AcDbObjectId blockId);
    AcDbEntity* MakeEntity(Record& rec, Parts& parts);
    // Reads an object's extended data and notes the applications it names.
    void TakeXData(AcDbObject* obj, const Tags& xdata, std::size_t line);
    void LoadObjects();
    void LinkTables();
    void ReadVersion();
    void NoteNames();
    void EnsureSpaces();
    void LoadSpaces();
    void KeepRest();
    void Fail(const Record& r, Acad::ErrorStatus es) {
        throw DxfError(r.line, std::string(r.type()) + " " + FormatHandle(H(r)) +
                                   " cannot be added to the drawing (status " +
                                   std::to_string(static_cast<int>(es)) + ")");
    }

    Document& doc_;
    RepairLog log_;
    std::unique_ptr<AcDbDatabase> db_;
    AcDbDatabase* db = nullptr;
    std::unordered_map<const Record*, std::uint64_t> assigned_;
    std::unordered_map<const DeferredEntity*, std::uint64_t> assignedDeferred_;
    std::uint64_t seed_ = 1;
    bool old_ = false;
    std::unordered_map<std::uint64_t, std::string> entryNames_;
    std::unordered_set<std::uint64_t> tableBlockHandles_;
    std::unordered_set<std::string> tableBlockNames_;
    std::vector<std::pair<AcDbObjectId, std::size_t>> dictionaries_;  // with their file line
    std::vector<std::pair<AcDbTable*, std::pair<std::uint64_t, std::string>>> tableBlocks_;
    std::vector<std::pair<AcDbObjectId, std::uint64_t>> tableStyles_;
    std::vector<std::pair<std::string, std::size_t>> xdataApps_;
};

void Loader::AssignHandles() {
    // Handles are mostly written in increasing order; then none repeats, and no set of them
    // (millions in the blocks of large tables) is needed to find those that do.
    bool increasing = true;
    std::uint64_t last = 0;
    auto follow = [&](std::uint64_t h) {
        if (h) {
            increasing = increasing && h > last;
            last = h;
        }
    };
    ForEachRecord(
        [&](Record& r) {
            if (!r.tags.empty())
                follow(r.handle());
        },
        [&](DeferredEntity& e) { follow(e.handle); });

    HandleSet used;
    std::uint64_t max = 0;
    // Whether an object may keep handle h (not 0, not another object's).
    auto keep = [&](std::uint64_t h, std::string_view type, std::size_t line) {
        if (h == 0)
            return false;
        if (!increasing && !used.insert(h)) {
            log_.Report(
                RepairCode::kDuplicateHandle, line, h,
                std::string(type) + " uses handle " + FormatHandle(h) + " of another object",
                "a new handle was given");
            return false;
        }
        max = std::max(max, h);
        return true;
    };
    // Records and deferred entities that get a new handle, in file order.
    std::vector<std::pair<const Record*, const DeferredEntity*>> need;
    ForEachRecord(
        [&](Record& r) {
            if (r.tags.empty())
                return;
            std::uint64_t h = r.handle();
            if (h == 0) {
                const Tag* t = r.find(r.type() == "DIMSTYLE" ? 105 : 5);
                if (t && !ParseHandle(t->value, h)) {
                    log_.Report(
                        RepairCode::kInvalidHandle, r.line, 0,
                        std::string(r.type()) + " has an invalid handle \"" + t->value + "\"",
                        "a new handle was given");
                }
                h = 0;
            }
            if (!keep(h, r.type(), r.line))
                need.push_back({&r, nullptr});
        },
        [&](DeferredEntity& e) {
            if (!keep(e.handle, doc_.deferredTypes[e.type], e.line))
                need.push_back({nullptr, &e});
        });
    std::uint64_t seed = max + 1;
    if (const HeaderVariable* v = doc_.headerVariable("$HANDSEED"); v && !v->values.empty()) {
        std::uint64_t h = 0;
        if (ParseHandle(v->values.front().value, h))
            seed = std::max(seed, h);
    }
    for (auto [r, e] : need) {
        if (r)
            assigned_[r] = seed++;
        else
            assignedDeferred_[e] = seed++;
    }
    seed_ = seed;
}

void Loader::LoadTables() {
    for (auto& table : doc_.tables) {
        Parts hp = SplitRecord(table.head, false);
        const std::string name = Upper(TrimSpaces(table.name()));
        if (old_ && !HasSubclassMarkers(hp.groups)) {
            hp.groups.insert(hp.groups.begin() + 1, DxfGroup{100, "AcDbSymbolTable"});
            if (name == "DIMSTYLE")
                hp.groups.push_back({100, "AcDbDimStyleTable"});
        }
        auto* head = new RawObject("TABLE", std::move(hp.groups));
        AcDbObjectId headId;
        if (auto es = AddObject(db, head, AcDbObjectId(), AcDbHandle(H(table.head)), &headId);
            es != Acad::eOk) {
            delete head;
            Fail(table.head, es);
        }
        for (auto& e : table.entries) {
            Parts p = SplitRecord(e, false);
            const std::string type(e.type());
            if (old_)
                AddSubclassMarkers(type, p.groups, false);
            std::string entryName;
            for (const auto& g : p.groups) {
                if (g.code == 2) {
                    entryName = g.value;
                    break;
                }
            }
            AcDbObject* obj = nullptr;
            if (type == "APPID" && name == "APPID") {
                if (auto es = RegisterApp(db, entryName, AcDbHandle(H(e))); es != Acad::eOk) {
                    log_.Report(RepairCode::kInvalidApplication, e.line, H(e),
                                "registered application \"" + entryName + "\" is invalid (status " +
                                    std::to_string(static_cast<int>(es)) + ")",
                                "it was left out");
                    continue;
                }
                obj = Obj(IdForHandle(db, AcDbHandle(H(e))));
                if (!obj)
                    continue;
                obj->state()->extraGroups = std::move(p.groups);
            } else if (type == "BLOCK_RECORD" && name == "BLOCK_RECORD") {
                continue;  // made with their blocks
            } else {
                auto* raw = new RawObject(type, std::move(p.groups));
                AcDbObjectId id;
                if (auto es = AddObject(db, raw, headId, AcDbHandle(H(e)), &id); es != Acad::eOk) {
                    delete raw;
                    Fail(e, es);
                }
                obj = raw;
            }
            TakeXData(obj, p.xdata, e.line);
        }
    }
}

void Loader::LoadBlocks() {
    // Block records of the file (R2000 and later) and the blocks, matched by handle or name.
    SymbolTable* recordTable = nullptr;
    for (auto& t : doc_.tables) {
        if (Upper(TrimSpaces(t.name())) == "BLOCK_RECORD")
            recordTable = &t;
    }
    std::unordered_map<std::uint64_t, Record*> recordByHandle;
    std::unordered_map<std::string, Record*> recordByName;
    if (recordTable) {
        for (auto& e : recordTable->entries) {
            if (e.type() != "BLOCK_RECORD")
                continue;
            recordByHandle[H(e)] = &e;
            recordByName[Upper(e.value(2))] = &e;
        }
    }
    std::unordered_set<const Record*> usedRecords;
    std::vector<std::pair<Block*, AcDbObjectId>> made;
    for (auto& block : doc_.blocks) {
        const std::string name = BlockName(block.name(), block.begin.line, H(block.begin));
        Record* rec = nullptr;
        if (auto it = recordByHandle.find(block.begin.owner()); it != recordByHandle.end()) {
            rec = it->second;
        } else if (auto jt = recordByName.find(Upper(block.name())); jt != recordByName.end()) {
            rec = jt->second;
        }
        if (rec && !usedRecords.insert(rec).second)
            rec = nullptr;
        if (!FindBlock(db, name).isNull()) {
            log_.Report(RepairCode::kDuplicateBlock, block.begin.line, H(block.begin),
                        "block \"" + name + "\" is defined twice",
                        "the second definition was left out");
            continue;
        }
        BlockExtras extras;
        if (rec) {
            Parts rp = SplitRecord(*rec, false);
            extras.record = std::move(rp.groups);
        }
        Parts bp = SplitRecord(block.begin, false);
        if (old_)
            AddSubclassMarkers("BLOCK", bp.groups, true);
        Parts ep = SplitRecord(block.end, false);
        if (old_)
            AddSubclassMarkers("ENDBLK", ep.groups, true);
        extras.begin = std::move(bp.groups);
        extras.end = std::move(ep.groups);
        extras.beginHandle = H(block.begin);
        extras.endHandle = H(block.end);
        for (auto& g : extras.begin) {
            if ((g.code == 2 || g.code == 3) && name != block.name())
                g.value = name;
        }
        auto* btr = new AcDbBlockTableRecord();
        btr->setName(name.c_str());
        double origin[3] = {0, 0, 0};
        for (const auto& g : extras.begin) {
            if (g.code == 10 || g.code == 20 || g.code == 30)
                ParseDouble(g.value, origin[g.code / 10 - 1]);
        }
        btr->setOrigin(AcGePoint3d(origin[0], origin[1], origin[2]));
        const bool isTableBlock =
            (rec && tableBlockHandles_.count(H(*rec))) || tableBlockNames_.count(Upper(name));
        if (isTableBlock) {
            extras.generated.reserve(block.entities.size() + block.deferred.size());
            block.ForEachEntity([&](const Record& e) { extras.generated.push_back(H(e)); },
                                [&](const DeferredEntity& e) { extras.generated.push_back(H(e)); });
        }
        btr->state()->extraGroups = WriteBlockExtras(extras);
        Parts recParts;
        if (rec)
            recParts = SplitRecord(*rec, false);
        const std::uint64_t handle = rec ? H(*rec) : seed_++;
        AcDbObjectId id;
        if (auto es = AddBlock(db, btr, AcDbHandle(handle), &id); es != Acad::eOk) {
            delete btr;
            Fail(rec ? *rec : block.begin, es);
        }
        if (rec)
            TakeXData(btr, recParts.xdata, rec->line);
        if (!isTableBlock)
            made.push_back({&block, id});
    }
    // Block records without a block in the BLOCKS section.
    if (recordTable) {
        for (auto& e : recordTable->entries) {
            if (e.type() != "BLOCK_RECORD" || usedRecords.count(&e))
                continue;
            const std::string name = BlockName(e.value(2), e.line, H(e));
            if (!FindBlock(db, name).isNull())
                continue;
            log_.Report(RepairCode::kBlockWithoutDefinition, e.line, H(e),
                        "block record \"" + name + "\" has no block definition",
                        "an empty block was made");
            BlockExtras extras;
            Parts rp = SplitRecord(e, false);
            extras.record = std::move(rp.groups);
            auto* btr = new AcDbBlockTableRecord();
            btr->setName(name.c_str());
            btr->state()->extraGroups = WriteBlockExtras(extras);
            if (auto es = AddBlock(db, btr, AcDbHandle(H(e)), nullptr); es != Acad::eOk) {
                delete btr;
                Fail(e, es);
            }
        }
    }
    // Entities of the blocks, once every block exists (references may point forward).
    for (auto& [block, id] : made) {
        const AcDbObjectId blockId = id;
        block->ForEachEntity([&](Record& e) { LoadEntity(e, blockId); },
                             [&](const DeferredEntity& d) {
                                 // Not a table's block after all: read as ordinary records.
                                 Record e = doc_.Materialize(d);
                                 if (auto it = assignedDeferred_.find(&d);
                                     it != assignedDeferred_.end())
                                     assigned_[&e] = it->second;
                                 LoadEntity(e, blockId);
                                 assigned_.erase(&e);
                             });
    }
}

AcDbEntity* Loader::MakeEntity(Record& rec, Parts& parts) {
    const std::string type(rec.type());
    if (rec.table) {
        // The cells move to the drawing (see DatabaseFromDocument).
        AcDbTable* t = NewTable(*rec.table, std::move(rec.table->cells));
        tableBlocks_.push_back({t, {rec.table->blockRecordHandle, rec.table->blockName}});
        tableStyles_.push_back({AcDbObjectId(), rec.table->styleHandle});
        return t;
    }
    if (type == "INSERT") {
        const InsertGroups insert = ReadInsertGroups(parts.groups, old_);
        const AcDbObjectId blockId = FindBlock(db, InsertedBlockName(insert.blockName));
        if (blockId.isNull()) {
            log_.Report(RepairCode::kMissingBlock, rec.line, H(rec),
                        "INSERT refers to the missing block \"" + insert.blockName + "\"",
                        "the reference was left out");
            return nullptr;
        }
        return NewBlockReference(insert, blockId);
    }
    if (old_)
        AddSubclassMarkers(type, parts.groups, true);
    return new RawEntity(type, parts.groups);
}

void Loader::TakeXData(AcDbObject* obj, const Tags& xdata, std::size_t line) {
    if (xdata.empty())
        return;
    obj->state()->xdata = XDataFromTags(xdata, line);
    for (auto& a : obj->state()->xdata)
        xdataApps_.push_back({a.app, line});
}

void Loader::LoadEntity(Record& rec, AcDbObjectId blockId) {
    Parts parts = SplitRecord(rec, true);
    // Parts of complex entities keep their head entity as owner, behind a marker.
    if (parts.owner && parts.owner != blockId.handle().value() && rec.type() != "ACAD_TABLE" &&
        rec.type() != "INSERT") {
        AcDbObject* head = Obj(IdForHandle(db, AcDbHandle(parts.owner)));
        if (head && AcDbEntity::cast(head)) {
            parts.groups.insert(parts.groups.begin(), {DxfGroup{0, kOwnerMarker},
                                                       DxfGroup{330, FormatHandle(parts.owner)}});
        }
    }
    // Owned here until the database takes it (reading its extended data may still fail).
    std::unique_ptr<AcDbEntity> owned(MakeEntity(rec, parts));
    AcDbEntity* ent = owned.get();
    if (!ent)
        return;
    if (!RawEntity::cast(ent)) {
        if (old_)
            AddSubclassMarkers(rec.table ? std::string("INSERT") : std::string(rec.type()),
                               parts.groups, true);
        ent->state()->extraGroups = std::move(parts.groups);
    }
    ent->state()->layer = parts.hasLayer ? parts.layer : std::string("0");
    TakeXData(ent, parts.xdata, rec.line);
    if (auto es = AppendEntity(db, blockId, ent, AcDbHandle(H(rec)), nullptr); es != Acad::eOk) {
        Fail(rec, es);
    }
    owned.release();
    if (auto* t = AcDbTable::cast(ent);
        t && !tableStyles_.empty() && tableStyles_.back().first.isNull()) {
        tableStyles_.back().first = t->objectId();
    }
}

void Loader::LoadObjects() {
    bool first = true;
    for (auto& rec : doc_.objects) {
        const std::string type(rec.type());
        Parts p = SplitRecord(rec, false);
        AcDbObjectId owner = p.owner ? IdForHandle(db, AcDbHandle(p.owner)) : AcDbObjectId();
        AcDbObject* obj = nullptr;
        std::vector<std::pair<std::string, std::uint64_t>> entries;
        if (type == "DICTIONARY") {
            auto* dict = new AcDbDictionary();
            std::vector<DxfGroup> kept;
            bool marked = false;
            for (std::size_t i = 0; i < p.groups.size(); ++i) {
                const DxfGroup& g = p.groups[i];
                if (g.code == 3 && i + 1 < p.groups.size() &&
                    (p.groups[i + 1].code == 350 || p.groups[i + 1].code == 360)) {
                    std::uint64_t h = 0;
                    ParseHandle(p.groups[i + 1].value, h);
                    entries.push_back({g.value, h});
                    if (!marked)
                        kept.push_back({0, "*ENTRIES"});
                    marked = true;
                    ++i;
                    continue;
                }
                kept.push_back(g);
            }
            if (!marked)
                kept.push_back({0, "*ENTRIES"});
            dict->state()->extraGroups = std::move(kept);
            obj = dict;
        } else if (type == "TABLESTYLE") {
            auto* style = new AcDbTableStyle();
            auto it = entryNames_.find(H(rec));
            style->setName(it != entryNames_.end() ? it->second.c_str() : rec.value(3).c_str());
            int heights = 0;
            bool inStyle = false;
            for (const auto& g : p.groups) {
                double v = 0;
                if (g.code == 100)
                    inStyle = g.value == "AcDbTableStyle";
                if (!inStyle || !ParseDouble(g.value, v))
                    continue;
                if (g.code == 40)
                    style->setHorzCellMargin(v);
                if (g.code == 41)
                    style->setVertCellMargin(v);
                if (g.code == 140 && heights < 3) {
                    static const int kRows[] = {AcDb::kDataRow, AcDb::kHeaderRow, AcDb::kTitleRow};
                    style->setTextHeight(v, kRows[heights++]);
                }
            }
            style->state()->extraGroups = std::move(p.groups);
            obj = style;
        } else {
            obj = new RawObject(type, std::move(p.groups));
        }
        AcDbObjectId id;
        if (auto es = AddObject(db, obj, owner, AcDbHandle(H(rec)), &id); es != Acad::eOk) {
            delete obj;
            Fail(rec, es);
        }
        if (auto* dict = AcDbDictionary::cast(obj)) {
            for (auto& [name, h] : entries) {
                const AcDbObjectId entry = IdForHandle(db, AcDbHandle(h));
                // Entries name objects: never an entity, a block or a symbol-table entry (a
                // damaged file can point there, for instance after duplicate handles).
                AcDbObject* eo = Obj(entry);
                RawObject* raw = AsRaw(eo);
                AcDbObject* eowner = eo ? Obj(eo->ownerId()) : nullptr;
                if (eo && (AcDbEntity::cast(eo) || AcDbBlockTableRecord::cast(eo) ||
                           RegAppRecord::cast(eo) || (raw && raw->dxfName == "TABLE") ||
                           (eowner && AsRaw(eowner) && AsRaw(eowner)->dxfName == "TABLE"))) {
                    log_.Report(RepairCode::kInvalidDictionaryEntry, rec.line, H(rec),
                                "dictionary entry \"" + name + "\" names " + DxfNameOf(eo) + " " +
                                    FormatHandle(h) + ", which cannot be a dictionary entry",
                                "the entry was removed");
                    continue;
                }
                SetDictionaryEntry(dict, name, entry);
            }
            dictionaries_.push_back({id, rec.line});
            if (first)
                SetNamedObjectsDictionary(db, id);
        }
        first = false;
        TakeXData(obj, p.xdata, rec.line);
    }
}

// Tables get their styles and their anonymous blocks, once both exist.
void Loader::LinkTables() {
    const AcDbObjectId standard = UsableStyle(db, AcDbObjectId());
    for (auto& [tableId, styleHandle] : tableStyles_) {
        if (tableId.isNull())
            continue;
        AcDbObjectId style =
            styleHandle ? IdForHandle(db, AcDbHandle(styleHandle)) : AcDbObjectId();
        AcDbObject* so = Obj(style);
        if (!so || !AcDbTableStyle::cast(so)) {
            if (styleHandle) {
                log_.Report(RepairCode::kMissingTableStyle, 0, tableId.handle().value(),
                            "ACAD_TABLE " + FormatHandle(tableId.handle().value()) +
                                " uses the missing table style " + FormatHandle(styleHandle),
                            "it uses the current table style");
            }
            style = standard;
        }
        AcDbTable* t = nullptr;
        if (acdbOpenObject(t, tableId, AcDb::kForWrite) == Acad::eOk) {
            t->setTableStyle(style);
            t->close();
        }
    }
    for (auto& [table, ref] : tableBlocks_) {
        AcDbObjectId block;
        if (ref.first) {
            AcDbObjectId id = IdForHandle(db, AcDbHandle(ref.first));
            if (Obj(id) && AcDbBlockTableRecord::cast(Obj(id)))
                block = id;
        }
        if (block.isNull() && !ref.second.empty())
            block = FindBlock(db, ref.second);
        if (!block.isNull())
            SetTableBlockId(table, block);
    }
}

void Loader::KeepRest() {
    std::vector<DxfGroup> header;
    for (const auto& v : doc_.header) {
        header.push_back({9, v.name});
        for (const auto& t : v.values)
            header.push_back({t.code, t.value});
    }
    AddRaw(db, kHeaderHolder, std::move(header), AcDbObjectId());
    std::vector<DxfGroup> classes;
    for (const auto& c : doc_.classes) {
        for (const auto& t : c.tags)
            classes.push_back({t.code, t.value});
    }
    AddRaw(db, kClassesHolder, std::move(classes), AcDbObjectId());
    for (const auto& s : doc_.otherSections) {
        std::vector<DxfGroup> g = {{2, s.name}, {3, s.after}};
        for (const auto& t : s.tags)
            g.push_back({t.code, t.value});
        AddRaw(db, kSectionHolder, std::move(g), AcDbObjectId());
    }
}

// Whether the file is older than R2000 (no subclass markers, no OBJECTS section), and the
// sections a newer file must have.
void Loader::ReadVersion() {
    const std::string version = doc_.version();
    old_ = !version.empty() && version < "AC1015";
    if (version.empty() && doc_.hasObjects)
        old_ = false;
    if (version.empty() && !doc_.hasObjects)
        old_ = true;
    if (!version.empty() && (version < "AC1009" || version > "AC1032")) {
        log_.Report(RepairCode::kUnknownVersion, 0, 0, "unknown drawing version " + version,
                    "read as the nearest known version");
    }
    if (old_)
        return;
    for (auto [has, name] :
         {std::pair{doc_.hasTables, "TABLES"}, std::pair{doc_.hasBlocks, "BLOCKS"},
          std::pair{doc_.hasEntities, "ENTITIES"}, std::pair{doc_.hasObjects, "OBJECTS"}}) {
        if (!has) {
            log_.Report(RepairCode::kMissingSection, 0, 0,
                        std::string("the ") + name + " section is missing",
                        "an empty one was made");
        }
    }
}

// What dictionaries call their entries (table styles take their names from there), and which
// blocks show tables.
void Loader::NoteNames() {
    for (const auto& rec : doc_.objects) {
        if (rec.type() != "DICTIONARY")
            continue;
        for (std::size_t i = 1; i + 1 < rec.tags.size(); ++i) {
            if (rec.tags[i].code == 3 &&
                (rec.tags[i + 1].code == 350 || rec.tags[i + 1].code == 360)) {
                std::uint64_t h = 0;
                if (ParseHandle(rec.tags[i + 1].value, h))
                    entryNames_.emplace(h, rec.tags[i].value);
            }
        }
    }
    auto noteTable = [&](const Record& r) {
        if (!r.table)
            return;
        if (r.table->blockRecordHandle)
            tableBlockHandles_.insert(r.table->blockRecordHandle);
        if (!r.table->blockName.empty())
            tableBlockNames_.insert(Upper(r.table->blockName));
    };
    for (const auto& e : doc_.entities)
        noteTable(e);
    for (const auto& b : doc_.blocks) {
        for (const auto& e : b.entities)
            noteTable(e);
    }
}

// Model space and paper space must exist before the entities that go there.
void Loader::EnsureSpaces() {
    for (const char* name : {"*Model_Space", "*Paper_Space"}) {
        if (!FindBlock(db, name).isNull())
            continue;
        BlockExtras extras;
        extras.beginHandle = seed_++;
        extras.endHandle = seed_++;
        auto* btr = new AcDbBlockTableRecord();
        btr->setName(name);
        btr->state()->extraGroups = WriteBlockExtras(extras);
        if (AddBlock(db, btr, AcDbHandle(seed_++), nullptr) != Acad::eOk)
            delete btr;
    }
}

// The entities of the ENTITIES section, each in the space (or block) that owns it.
void Loader::LoadSpaces() {
    for (auto& e : doc_.entities) {
        AcDbObjectId block;
        const std::uint64_t owner = e.owner();
        if (owner) {
            AcDbObjectId id = IdForHandle(db, AcDbHandle(owner));
            if (Obj(id) && AcDbBlockTableRecord::cast(Obj(id))) {
                block = id;
            } else if (Obj(id) && AcDbEntity::cast(Obj(id))) {
                // A part of a complex entity (VERTEX, ATTRIB, SEQEND): in its head's block.
                block = AcDbEntity::cast(Obj(id))->blockId();
            } else {
                log_.Report(RepairCode::kEntityOwnerNotBlock, e.line, H(e),
                            std::string(e.type()) + " " + FormatHandle(H(e)) + ": its owner " +
                                FormatHandle(owner) + " is not a block",
                            "it was put in model space");
            }
        }
        if (block.isNull()) {
            const Tag* space = e.find(67);
            block = (space && TrimSpaces(space->value) == "1") ? FindBlock(db, "*Paper_Space")
                                                               : FindBlock(db, "*Model_Space");
        }
        LoadEntity(e, block);
    }
}

std::unique_ptr<AcDbDatabase> Loader::Run() {
    ReadVersion();
    NoteNames();
    AssignHandles();
    db_ = std::make_unique<AcDbDatabase>(false);
    db = db_.get();
    LoadTables();
    LoadBlocks();
    EnsureSpaces();
    LoadSpaces();
    LoadObjects();
    SetHandseed(db, AcDbHandle(seed_));
    EnsureStructure(db);
    RemoveDanglingEntries(dictionaries_, log_);
    AdoptOrphans(db, log_);
    LinkTables();
    RegisterExtendedDataApps(db, xdataApps_, log_);
    KeepRest();
    return std::move(db_);
}

}  // namespace

std::unique_ptr<AcDbDatabase> DatabaseFromDocument(Document& doc, std::vector<Repair>* repairs) {
    Loader loader(doc, repairs);
    return loader.Run();
}

std::unique_ptr<AcDbDatabase> LoadDxfBytes(std::string bytes, std::string& error,
                                           std::vector<Repair>* repairs) {
    try {
        Document doc = ReadDocumentBytes(std::move(bytes), repairs);
        return DatabaseFromDocument(doc, repairs);
    } catch (const DxfError& e) {
        error = e.what();
    } catch (const std::bad_alloc&) {
        error = "not enough memory to read the drawing";
    } catch (const std::exception& e) {
        error = e.what();
    }
    return nullptr;
}

std::unique_ptr<AcDbDatabase> LoadDxf(const std::string& path, std::string& error,
                                      std::vector<Repair>* repairs) {
    try {
        Document doc = ReadDocumentFile(path, repairs);
        return DatabaseFromDocument(doc, repairs);
    } catch (const DxfError& e) {
        error = path + ": " + e.what();
    } catch (const std::bad_alloc&) {
        error = path + ": not enough memory to read the drawing";
    } catch (const std::exception& e) {
        error = path + ": " + e.what();
    }
    return nullptr;
}

}  // namespace host::dxf
