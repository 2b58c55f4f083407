// Saving: a drawing database as a DXF document, and the document into a file.
#include <algorithm>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "host/db/hostdb.h"
#include "host/dxf/atomic_file.h"
#include "host/dxf/drawing.h"
#include "host/dxf/encoding.h"
#include "host/dxf/handle_set.h"
#include "host/dxf/insert_entity.h"
#include "host/dxf/r12_entities.h"
#include "host/dxf/record_groups.h"
#include "host/dxf/structure.h"
#include "host/dxf/table_entity.h"
#include "platform/dbdict.h"
#include "platform/dbmain.h"
#include "platform/dbtable.h"

namespace host::dxf {

namespace {

struct ClassInfo {
    const char* name;
    const char* cpp;
    const char* app;
    const char* flags;
    const char* isEntity;
};
const ClassInfo kNeededClasses[] = {
    {"ACAD_TABLE", "AcDbTable", "ObjectDBX Classes", "1025", "1"},
    {"TABLESTYLE", "AcDbTableStyle", "ObjectDBX Classes", "4095", "0"},
    {"LAYOUT", "AcDbLayout", "ObjectDBX Classes", "0", "0"},
};

// A table entity as a reference to its anonymous block, for versions without table entities:
// its common groups, its block and insertion point, its extended data.
Record TableAsInsert(const Record& table) {
    const TableData& t = *table.table;
    Record r;
    r.tags = table.tags;
    r.tags.front().value = "INSERT";
    r.tags.push_back({100, "AcDbBlockReference"});
    r.tags.push_back({2, t.blockName});
    r.tags.push_back({10, FormatDouble(t.position[0])});
    r.tags.push_back({20, FormatDouble(t.position[1])});
    r.tags.push_back({30, FormatDouble(t.position[2])});
    if (t.normal[0] != 0 || t.normal[1] != 0 || t.normal[2] != 1) {
        r.tags.push_back({210, FormatDouble(t.normal[0])});
        r.tags.push_back({220, FormatDouble(t.normal[1])});
        r.tags.push_back({230, FormatDouble(t.normal[2])});
    }
    r.tags.insert(r.tags.end(), table.xdata.begin(), table.xdata.end());
    return r;
}

// Builds the document that saving a database writes: what a complete file needs is added to
// the database first; then the symbol tables, the blocks (a table's block generated from the
// table), the entities of the two spaces, the objects (the named-object dictionary first),
// the kept sections, classes and header.
class Saver {
public:
    Saver(AcDbDatabase* db, DxfVersion version, SaveReport* report)
        : db(db), version_(version), report_(report ? *report : ownReport_) {
        report_ = SaveReport{};
        report_.version = version;
    }
    Document Run();

private:
    std::uint64_t NewHandle() {
        const std::uint64_t h = db->handseed().value();
        SetHandseed(db, AcDbHandle(h + 1));
        return h;
    }
    void Note(std::uint64_t h) {
        maxHandle_ = std::max(maxHandle_, h);
        written_.insert(h);
    }
    // A handle for a record that exists only in the file written (the parts of a polyline
    // and the texts of a multi-line text made for R12): above every handle of the drawing, and the
    // database is left as it is.
    std::uint64_t FileOnlyHandle() {
        const std::uint64_t h = std::max(db->handseed().value(), maxHandle_ + 1);
        Note(h);
        return h;
    }
    void CheckReferences(Document& doc);
    void Downgrade(Document& doc);
    void StripForR12(Document& doc);
    HandleSet written_;
    void Header(Document& doc);
    void Classes(Document& doc);
    void Tables(Document& doc);
    void Blocks(Document& doc);
    Record EntityRecord(AcDbObjectId id, AcDbObjectId block, bool paperSpace);
    Record ObjectRecord(AcDbObjectId id);
    void AddXData(Record& r, const AcDbObject* o) {
        const auto& x = XDataOf(o);
        if (x.empty())
            return;
        XDataToTags(x, r.table ? r.xdata : r.tags);
    }

    AcDbDatabase* db;
    DxfVersion version_;
    SaveReport ownReport_;
    SaveReport& report_;
    std::uint64_t maxHandle_ = 0;
    std::vector<AcDbObjectId> all_;
    Structure structure_;
    std::unordered_map<AcDbStub*, AcDbObjectId> tableOfBlock_;  // block record -> table
    double ext_[6] = {1e20, 1e20, 1e20, -1e20, -1e20, -1e20};
};

void Saver::Header(Document& doc) {
    for (AcDbObjectId id : all_) {
        RawObject* raw = AsRaw(Obj(id));
        if (!raw || raw->dxfName != kHeaderHolder)
            continue;
        for (const auto& g : raw->groups) {
            if (g.code == 9) {
                doc.header.push_back(HeaderVariable{g.value, {}});
            } else if (!doc.header.empty()) {
                doc.header.back().values.push_back({g.code, g.value});
            }
        }
        break;
    }
    auto set = [&](const char* name, Tags values, bool front = false) {
        if (HeaderVariable* v = doc.headerVariable(name)) {
            v->values = std::move(values);
        } else if (front) {
            doc.header.insert(doc.header.begin(), HeaderVariable{name, std::move(values)});
        } else {
            doc.header.push_back(HeaderVariable{name, std::move(values)});
        }
    };
    auto point = [](double x, double y, double z) {
        return Tags{{10, FormatDouble(x)}, {20, FormatDouble(y)}, {30, FormatDouble(z)}};
    };
    set("$ACADVER", {{1, AcadVerOf(version_)}}, true);
    set("$DWGCODEPAGE", {{3, "ANSI_1252"}});
    if (version_ == DxfVersion::kR12) {
        // Handles are written (entities, symbol tables), so that extended data referring to
        // them and a reader keeping them find the same ones.
        set("$HANDLING", {{70, "1"}});
        // Variables of later versions carry group codes R12 does not have.
        std::vector<HeaderVariable> kept;
        for (auto& v : doc.header) {
            const bool fits = std::all_of(v.values.begin(), v.values.end(),
                                          [](const Tag& t) { return t.code >= 0 && t.code < 100; });
            if (fits) {
                kept.push_back(std::move(v));
            } else {
                ++report_.headerVariablesLeftOut;
            }
        }
        doc.header = std::move(kept);
    }
    if (!doc.headerVariable("$INSBASE"))
        set("$INSBASE", point(0, 0, 0));
    set("$EXTMIN", point(ext_[0], ext_[1], ext_[2]));
    set("$EXTMAX", point(ext_[3], ext_[4], ext_[5]));
    if (!doc.headerVariable("$LIMMIN"))
        set("$LIMMIN", {{10, "0.0"}, {20, "0.0"}});
    if (!doc.headerVariable("$LIMMAX"))
        set("$LIMMAX", {{10, "420.0"}, {20, "297.0"}});
    if (!doc.headerVariable("$CLAYER"))
        set("$CLAYER", {{8, "0"}});
    if (!doc.headerVariable("$TEXTSTYLE"))
        set("$TEXTSTYLE", {{7, "Standard"}});
    if (!doc.headerVariable("$DIMSTYLE"))
        set("$DIMSTYLE", {{2, "Standard"}});
    set("$HANDSEED", {{5, FormatHandle(maxHandle_ + 1)}});
}

void Saver::Classes(Document& doc) {
    for (AcDbObjectId id : all_) {
        RawObject* raw = AsRaw(Obj(id));
        if (!raw || raw->dxfName != kClassesHolder)
            continue;
        for (const auto& g : raw->groups) {
            if (g.code == 0)
                doc.classes.emplace_back();
            if (!doc.classes.empty())
                doc.classes.back().tags.push_back({g.code, g.value});
        }
        break;
    }
    for (const auto& c : kNeededClasses) {
        bool have = false;
        for (const auto& r : doc.classes)
            have = have || r.value(1) == c.name;
        if (have)
            continue;
        Record r;
        r.tags = {{0, "CLASS"},  {1, c.name}, {2, c.cpp}, {3, c.app},
                  {90, c.flags}, {91, "0"},   {280, "0"}, {281, c.isEntity}};
        doc.classes.push_back(std::move(r));
    }
}

void Saver::Tables(Document& doc) {
    // Heads in the usual order, then any others.
    std::vector<AcDbObjectId> heads;
    for (const char* name : kStandardTables) {
        if (auto it = structure_.heads.find(name); it != structure_.heads.end())
            heads.push_back(it->second);
    }
    for (AcDbObjectId id : structure_.headOrder) {
        if (std::find(heads.begin(), heads.end(), id) == heads.end())
            heads.push_back(id);
    }
    std::unordered_map<AcDbStub*, std::vector<AcDbObjectId>> entries;
    for (AcDbObjectId id : all_) {
        AcDbObject* o = Obj(id);
        RawObject* raw = AsRaw(o);
        if (raw && IsSymbolTableEntry(raw->dxfName) && structure_.heads.size() &&
            Obj(o->ownerId()) && AsRaw(Obj(o->ownerId())) &&
            AsRaw(Obj(o->ownerId()))->dxfName == "TABLE") {
            entries[o->ownerId().stub()].push_back(id);
        }
    }
    for (AcDbObjectId headId : heads) {
        RawObject* head = AsRaw(Obj(headId));
        const std::string name = Upper(RawName(head));
        SymbolTable table;
        std::vector<Record> list;
        if (name == "APPID") {
            for (AcDbObjectId id : RegisteredApps(db)) {
                AcDbObject* o = Obj(id);
                auto* app = o ? RegAppRecord::cast(o) : nullptr;
                if (!app)
                    continue;
                std::vector<DxfGroup> g = o->state()->extraGroups;
                if (g.empty()) {
                    g = {{100, "AcDbSymbolTableRecord"},
                         {100, "AcDbRegAppTableRecord"},
                         {2, app->name},
                         {70, "0"}};
                }
                Patch(g, 2, app->name);
                Record r;
                Assemble(r, "APPID", id.handle().value(), headId.handle().value(), nullptr, g);
                AddXData(r, o);
                Note(id.handle().value());
                list.push_back(std::move(r));
            }
        } else if (name == "BLOCK_RECORD") {
            // Layouts of the blocks.
            std::unordered_map<std::uint64_t, std::uint64_t> layoutOf;
            for (AcDbObjectId id : all_) {
                RawObject* raw = AsRaw(Obj(id));
                if (raw && raw->dxfName == "LAYOUT")
                    layoutOf[LayoutBlock(raw)] = id.handle().value();
            }
            for (AcDbObjectId id : host::Blocks(db)) {
                auto* btr = Obj(id) ? AcDbBlockTableRecord::cast(Obj(id)) : nullptr;
                if (!btr)
                    continue;
                BlockExtras ex = ReadBlockExtras(btr->state()->extraGroups);
                const std::string bname(btr->nameA().View());
                std::vector<DxfGroup> g = ex.record;
                if (g.empty()) {
                    g = {{100, "AcDbSymbolTableRecord"}, {100, "AcDbBlockTableRecord"}, {2, bname}};
                    auto lt = layoutOf.find(id.handle().value());
                    g.push_back({340, FormatHandle(lt != layoutOf.end() ? lt->second : 0)});
                    g.insert(g.end(), {{70, "0"}, {280, "1"}, {281, "0"}});
                }
                Patch(g, 2, bname);
                Record r;
                Assemble(r, "BLOCK_RECORD", id.handle().value(), headId.handle().value(), nullptr,
                         g);
                AddXData(r, btr);
                Note(id.handle().value());
                list.push_back(std::move(r));
            }
        } else {
            for (AcDbObjectId id : entries[headId.stub()]) {
                RawObject* raw = AsRaw(Obj(id));
                std::vector<DxfGroup> g = raw->groups;
                AddSubclassMarkers(raw->dxfName, g, false);
                Record r;
                Assemble(r, raw->dxfName, id.handle().value(), headId.handle().value(), nullptr, g);
                AddXData(r, raw);
                Note(id.handle().value());
                list.push_back(std::move(r));
            }
        }
        std::vector<DxfGroup> hg = head->groups;
        Patch(hg, 70, std::to_string(list.size()));
        Assemble(table.head, "TABLE", headId.handle().value(), 0, nullptr, hg);
        AddXData(table.head, head);
        Note(headId.handle().value());
        table.entries = std::move(list);
        doc.tables.push_back(std::move(table));
    }
}

Record Saver::EntityRecord(AcDbObjectId id, AcDbObjectId block, bool paperSpace) {
    AcDbObject* o = Obj(id);
    auto* ent = AcDbEntity::cast(o);
    const std::uint64_t handle = id.handle().value();
    const std::uint64_t owner = block.handle().value();  // the block it is listed in
    Note(handle);
    Record r;
    std::vector<DxfGroup> g = o->state()->extraGroups;
    std::string layer = o->state()->layer.empty() ? std::string("0") : o->state()->layer;
    AcGePoint3d lo, hi;
    if (!paperSpace && ent->getGeomExtents(lo, hi) == Acad::eOk) {
        ext_[0] = std::min(ext_[0], lo.x), ext_[1] = std::min(ext_[1], lo.y);
        ext_[2] = std::min(ext_[2], lo.z), ext_[3] = std::max(ext_[3], hi.x);
        ext_[4] = std::max(ext_[4], hi.y), ext_[5] = std::max(ext_[5], hi.z);
    }
    if (auto* raw = RawEntity::cast(o)) {
        g = raw->groups;
        std::uint64_t partOf = 0;
        if (g.size() >= 2 && g[0].code == 0 && g[0].value == kOwnerMarker && g[1].code == 330 &&
            ParseHandle(g[1].value, partOf)) {
            g.erase(g.begin(), g.begin() + 2);
        }
        AddSubclassMarkers(raw->dxfName, g, true);
        Assemble(r, raw->dxfName, handle, partOf ? partOf : owner, &layer, g);
    } else if (auto* t = AcDbTable::cast(o)) {
        if (g.empty())
            g = {{100, "AcDbEntity"}};
        if (paperSpace)
            Patch(g, 67, "1", "AcDbEntity");
        Assemble(r, "ACAD_TABLE", handle, owner, &layer, g);
        r.table = TableDataOf(db, t);
    } else if (auto* ref = AcDbBlockReference::cast(o)) {
        if (g.empty())
            g = {{100, "AcDbEntity"}, {100, "AcDbBlockReference"}};
        if (paperSpace)
            Patch(g, 67, "1", "AcDbEntity");
        PutInsertGroups(ref, g);
        Assemble(r, "INSERT", handle, owner, &layer, g);
    } else {
        Assemble(r, DxfNameOf(o), handle, owner, &layer, g);
    }
    AddXData(r, o);
    return r;
}

Record Saver::ObjectRecord(AcDbObjectId id) {
    AcDbObject* o = Obj(id);
    const std::uint64_t handle = id.handle().value();
    const std::uint64_t owner = o->ownerId().handle().value();
    Note(handle);
    Record r;
    std::vector<DxfGroup> g = o->state()->extraGroups;
    if (auto* raw = RawObject::cast(o)) {
        Assemble(r, raw->dxfName, handle, owner, nullptr, raw->groups);
    } else if (auto* dict = AcDbDictionary::cast(o)) {
        if (g.empty())
            g = {{100, "AcDbDictionary"}, {281, "1"}, {0, "*ENTRIES"}};
        int entryCode = 350;
        for (const auto& x : g) {
            if (x.code == 280 && TrimSpaces(x.value) == "1")
                entryCode = 360;
        }
        std::vector<DxfGroup> out;
        for (const auto& x : g) {
            if (x.code == 0 && x.value == "*ENTRIES") {
                std::unique_ptr<AcDbDictionaryIterator> it(dict->newIterator());
                for (; !it->done(); it->next()) {
                    if (!Obj(it->objectId()))
                        continue;
                    out.push_back({3, it->nameUtf8()});
                    out.push_back({entryCode, FormatHandle(it->objectId().handle().value())});
                }
            } else {
                out.push_back(x);
            }
        }
        Assemble(r, "DICTIONARY", handle, owner, nullptr, out);
    } else if (auto* style = AcDbTableStyle::cast(o)) {
        if (g.empty()) {
            char* name = nullptr;
            style->getName(name);
            g = {{100, "AcDbTableStyle"},
                 {280, "0"},
                 {3, name ? name : ""},
                 {70, "0"},
                 {71, "0"},
                 {40, "0"},
                 {41, "0"},
                 {280, "0"},
                 {281, "0"}};
            delete[] name;
            for (int row : {AcDb::kDataRow, AcDb::kHeaderRow, AcDb::kTitleRow}) {
                g.insert(g.end(),
                         {{7, "Standard"},
                          {140, FormatDouble(style->textHeight(static_cast<AcDb::RowType>(row)))},
                          {170, row == AcDb::kDataRow ? "1" : "2"},
                          {62, "0"},
                          {63, "7"},
                          {283, "0"},
                          {90, "512"},
                          {91, "0"},
                          {1, ""},
                          {274, "-2"},
                          {275, "-2"},
                          {276, "-2"},
                          {277, "-2"},
                          {278, "-2"},
                          {279, "-2"},
                          {284, "1"},
                          {285, "1"},
                          {286, "1"},
                          {287, "1"},
                          {288, "1"},
                          {289, "1"},
                          {64, "0"},
                          {65, "0"},
                          {66, "0"},
                          {67, "0"},
                          {68, "0"},
                          {69, "0"}});
            }
        }
        Patch(g, 40, FormatDouble(style->horzCellMargin()), "AcDbTableStyle");
        Patch(g, 41, FormatDouble(style->vertCellMargin()), "AcDbTableStyle");
        // The first text height is the data rows'.
        for (auto& x : g) {
            if (x.code == 140) {
                x.value = FormatDouble(style->textHeight(AcDb::kDataRow));
                break;
            }
        }
        Assemble(r, "TABLESTYLE", handle, owner, nullptr, g);
    } else {
        Assemble(r, DxfNameOf(o), handle, owner, nullptr, g);
    }
    AddXData(r, o);
    return r;
}

void Saver::Blocks(Document& doc) {
    const AcDbObjectId model = db->modelSpaceId(), paper = db->paperSpaceId();
    // Handles kept with block records must not be taken twice (a damaged file may have
    // given one to two things): a handle in use gets a new one.
    HandleSet taken;
    for (AcDbObjectId id : all_)
        taken.insert(id.handle().value());
    bool changed = false;
    auto claim = [&](std::uint64_t& h) {
        if (h == 0 || !taken.insert(h)) {
            h = NewHandle();
            taken.insert(h);
            changed = true;
        }
    };
    for (AcDbObjectId id : host::Blocks(db)) {
        auto* btr = Obj(id) ? AcDbBlockTableRecord::cast(Obj(id)) : nullptr;
        if (!btr)
            continue;
        BlockExtras ex = ReadBlockExtras(btr->state()->extraGroups);
        changed = false;
        claim(ex.beginHandle);
        claim(ex.endHandle);
        const std::string name(btr->nameA().View());
        const bool space = id == model || id == paper;
        Block block;
        std::vector<DxfGroup> bg = ex.begin;
        if (bg.empty()) {
            bg = {{100, "AcDbEntity"}};
            if (id == paper)
                bg.push_back({67, "1"});
            bg.insert(bg.end(), {{8, "0"},
                                 {100, "AcDbBlockBegin"},
                                 {2, name},
                                 {70, !space && !name.empty() && name[0] == '*' ? "1" : "0"},
                                 {10, "0.0"},
                                 {20, "0.0"},
                                 {30, "0.0"},
                                 {3, name},
                                 {1, ""}});
        }
        Patch(bg, 2, name, "AcDbBlockBegin");
        Patch(bg, 3, name, "AcDbBlockBegin");
        const AcGePoint3d origin = btr->origin();
        Patch(bg, 10, FormatDouble(origin.x), "AcDbBlockBegin");
        Patch(bg, 20, FormatDouble(origin.y), "AcDbBlockBegin");
        Patch(bg, 30, FormatDouble(origin.z), "AcDbBlockBegin");
        Assemble(block.begin, "BLOCK", ex.beginHandle, id.handle().value(), nullptr, bg);
        std::vector<DxfGroup> eg = ex.end;
        if (eg.empty()) {
            eg = {{100, "AcDbEntity"}};
            if (id == paper)
                eg.push_back({67, "1"});
            eg.insert(eg.end(), {{8, "0"}, {100, "AcDbBlockEnd"}});
        }
        Assemble(block.end, "ENDBLK", ex.endHandle, id.handle().value(), nullptr, eg);
        Note(ex.beginHandle);
        Note(ex.endHandle);
        auto table = tableOfBlock_.find(id.stub());
        if (table != tableOfBlock_.end()) {
            auto* t = AcDbTable::cast(Obj(table->second));
            std::shared_ptr<TableData> td = TableDataOf(db, t);
            const std::size_t n = CountTableBlockEntities(*td, version_);
            if (ex.generated.size() != n) {
                ex.generated.resize(n);
                changed = true;
            }
            for (auto& h : ex.generated)
                claim(h);
            for (auto h : ex.generated)
                Note(h);
            block.generatedFrom = td;
            block.generatedHandles = ex.generated;
            block.generatedLayer = t->state()->layer.empty() ? "0" : t->state()->layer;
        } else if (!space) {
            for (AcDbObjectId e : EntitiesOf(db, id))
                block.entities.push_back(EntityRecord(e, id, false));
        }
        if (changed)
            btr->state()->extraGroups = WriteBlockExtras(ex);
        doc.blocks.push_back(std::move(block));
    }
}

Document Saver::Run() {
    EnsureStructure(db);
    // Handles kept with block records (their BLOCK and ENDBLK entities, generated table
    // entities) are not objects of the database: new handles must come from above them.
    std::uint64_t kept = 0;
    for (AcDbObjectId id : host::Blocks(db)) {
        auto* btr = Obj(id) ? AcDbBlockTableRecord::cast(Obj(id)) : nullptr;
        if (!btr)
            continue;
        const BlockExtras ex = ReadBlockExtras(btr->state()->extraGroups);
        kept = std::max({kept, ex.beginHandle, ex.endHandle});
        for (auto h : ex.generated)
            kept = std::max(kept, h);
    }
    if (kept >= db->handseed().value())
        SetHandseed(db, AcDbHandle(kept + 1));
    // Tables without their anonymous block get one.
    for (AcDbObjectId id : AllObjects(db)) {
        auto* t = Obj(id) ? AcDbTable::cast(Obj(id)) : nullptr;
        if (!t)
            continue;
        AcDbObjectId block = t->tableBlockId();
        auto* btr = Obj(block) ? AcDbBlockTableRecord::cast(Obj(block)) : nullptr;
        if (!btr || tableOfBlock_.count(block.stub())) {
            auto* nb = new AcDbBlockTableRecord();
            nb->setName("*T");
            if (AddBlock(db, nb, AcDbHandle(), &block) != Acad::eOk) {
                delete nb;
                continue;
            }
            SetTableBlockId(t, block);
        }
        tableOfBlock_[block.stub()] = id;
    }
    all_ = AllObjects(db);
    structure_ = FindStructure(db);
    Document doc;
    Tables(doc);
    Blocks(doc);
    for (AcDbObjectId space : {db->modelSpaceId(), db->paperSpaceId()}) {
        if (space.isNull())
            continue;
        for (AcDbObjectId e : EntitiesOf(db, space)) {
            doc.entities.push_back(EntityRecord(e, space, space == db->paperSpaceId()));
        }
    }
    // Objects: the named-object dictionary first.
    const AcDbObjectId root = db->namedObjectsDictionaryId();
    if (Obj(root))
        doc.objects.push_back(ObjectRecord(root));
    for (AcDbObjectId id : all_) {
        AcDbObject* o = Obj(id);
        if (!o || id == root || AcDbEntity::cast(o) || AcDbBlockTableRecord::cast(o) ||
            RegAppRecord::cast(o)) {
            continue;
        }
        if (RawObject* raw = AsRaw(o)) {
            if (raw->dxfName == "TABLE" || raw->dxfName.empty() || raw->dxfName[0] == '*')
                continue;
            AcDbObject* owner = Obj(o->ownerId());
            if (owner && AsRaw(owner) && AsRaw(owner)->dxfName == "TABLE" &&
                IsSymbolTableEntry(raw->dxfName))
                continue;
        }
        doc.objects.push_back(ObjectRecord(id));
    }
    for (AcDbObjectId id : all_) {
        RawObject* raw = AsRaw(Obj(id));
        if (!raw || raw->dxfName != kSectionHolder || raw->groups.size() < 2)
            continue;
        OtherSection s;
        s.name = raw->groups[0].value;
        s.after = raw->groups[1].value;
        for (std::size_t i = 2; i < raw->groups.size(); ++i) {
            s.tags.push_back({raw->groups[i].code, raw->groups[i].value});
        }
        doc.otherSections.push_back(std::move(s));
    }
    Downgrade(doc);
    CheckReferences(doc);
    Classes(doc);
    if (version_ == DxfVersion::kR12) {
        doc.classes.clear();
    } else if (version_ < DxfVersion::kR2004) {
        // Classes of what the version cannot hold go too; instance counts (91) came later.
        std::vector<Record> kept;
        for (Record& r : doc.classes) {
            if (!VersionHolds(version_, r.value(1), TrimSpaces(r.value(281)) == "1"))
                continue;
            std::erase_if(r.tags, [](const Tag& t) { return t.code == 91; });
            kept.push_back(std::move(r));
        }
        doc.classes = std::move(kept);
    }
    Header(doc);
    if (version_ == DxfVersion::kR12)
        StripForR12(doc);
    doc.writeVersion = version_;
    doc.hasHeader = doc.hasClasses = doc.hasTables = doc.hasBlocks = doc.hasEntities =
        doc.hasObjects = true;
    return doc;
}

// What the version cannot hold: a table becomes a reference to its anonymous block (that
// keeps its extended data) where there are no table entities, entities and objects of later
// versions are left out, and so are the sections R12 does not know; light polylines become
// polylines and multi-line texts single-line texts in R12. Each change is counted in the
// report.
void Saver::Downgrade(Document& doc) {
    const DxfVersion v = version_;
    auto entities = [&](std::vector<Record>& list) {
        std::vector<Record> kept;
        kept.reserve(list.size());
        for (Record& r : list) {
            if (r.table && !HasTableEntity(v)) {
                kept.push_back(TableAsInsert(r));
                ++report_.tablesAsBlocks;
                continue;
            }
            if (v == DxfVersion::kR12 && r.type() == "LWPOLYLINE") {
                for (Record& part : PolylineOfLightPolyline(r, [&] { return FileOnlyHandle(); }))
                    kept.push_back(std::move(part));
                ++report_.lightPolylines;
                continue;
            }
            if (v == DxfVersion::kR12 && r.type() == "MTEXT") {
                for (Record& text : TextsOfMText(r, [&] { return FileOnlyHandle(); }))
                    kept.push_back(std::move(text));
                ++report_.multiLineTexts;
                continue;
            }
            if (!VersionHolds(v, r.type(), true)) {
                ++report_.entitiesLeftOut[std::string(r.type())];
                continue;
            }
            kept.push_back(std::move(r));
        }
        list = std::move(kept);
    };
    entities(doc.entities);
    for (Block& b : doc.blocks)
        entities(b.entities);
    std::vector<Record> objects;
    for (Record& r : doc.objects) {
        if (VersionHolds(v, r.type(), false)) {
            objects.push_back(std::move(r));
        } else {
            ++report_.objectsLeftOut[std::string(r.type())];
        }
    }
    doc.objects = std::move(objects);
    if (v == DxfVersion::kR12) {
        report_.sectionsLeftOut += doc.otherSections.size();
        doc.otherSections.clear();
    }
}

namespace {

// The group codes of R12 records: the common ones, extrusion, extended data; dimension styles
// and dimensions also have 140-149 and 170-179.
bool IsR12Code(int code, bool dimension) {
    if (code >= 0 && code < 100)
        return true;
    if (dimension && ((code >= 140 && code <= 149) || (code >= 170 && code <= 179)))
        return true;
    return (code >= 210 && code <= 239) || (code >= 1000 && code <= 1071);
}

// A record in R12 form: no subclass markers, no owners or reactor groups (102 ... 102), no
// groups of later versions. Extended data stays whole.
void StripRecord(Record& r) {
    const bool dimension = r.type() == "DIMSTYLE" || r.type() == "DIMENSION";
    Tags out;
    out.reserve(r.tags.size());
    bool inGroup = false, inXData = false;
    for (Tag& t : r.tags) {
        if (t.code == 1001)
            inXData = true;
        if (inXData) {
            out.push_back(std::move(t));
            continue;
        }
        if (t.code == 102) {
            inGroup = !t.value.empty() && t.value[0] == '{';
            continue;
        }
        if (inGroup || !IsR12Code(t.code, dimension))
            continue;
        out.push_back(std::move(t));
    }
    r.tags = std::move(out);
}

}  // namespace

// R12 records: no block records (the spaces' blocks get their R12 names), every record
// stripped to the groups R12 has.
void Saver::StripForR12(Document& doc) {
    std::erase_if(doc.tables,
                  [](const SymbolTable& t) { return Upper(t.name()) == "BLOCK_RECORD"; });
    for (SymbolTable& t : doc.tables) {
        StripRecord(t.head);
        for (Record& e : t.entries)
            StripRecord(e);
    }
    for (Block& b : doc.blocks) {
        const std::string name = Upper(b.name());
        const char* r12Name = name == "*MODEL_SPACE"   ? "$MODEL_SPACE"
                              : name == "*PAPER_SPACE" ? "$PAPER_SPACE"
                                                       : nullptr;
        if (r12Name) {
            b.begin.set(2, r12Name);
            b.begin.set(3, r12Name);
        }
        StripRecord(b.begin);
        StripRecord(b.end);
        for (Record& e : b.entities)
            StripRecord(e);
    }
    for (Record& e : doc.entities)
        StripRecord(e);
}

// The last guard before writing: owners and dictionary entries of objects name only objects
// that are written, so that the file opens without repairs.
void Saver::CheckReferences(Document& doc) {
    const std::uint64_t root = doc.objects.empty() ? 0 : doc.objects.front().handle();
    // Dictionary entries name objects of the OBJECTS section, nothing else.
    std::unordered_set<std::uint64_t> objects;
    for (const Record& r : doc.objects)
        objects.insert(r.handle());
    for (Record& r : doc.objects) {
        const std::uint64_t owner = r.owner();
        if (owner && !written_.contains(owner) && &r != &doc.objects.front()) {
            int depth = 0;
            for (std::size_t i = 1; i < r.tags.size(); ++i) {
                Tag& t = r.tags[i];
                if (t.code == 102)
                    depth = (!t.value.empty() && t.value[0] == '{') ? 1 : 0;
                if (t.code == 330 && depth == 0) {
                    t.value = FormatHandle(root);
                    break;
                }
            }
        }
        if (r.type() != "DICTIONARY")
            continue;
        Tags kept;
        kept.reserve(r.tags.size());
        for (std::size_t i = 0; i < r.tags.size(); ++i) {
            const Tag& t = r.tags[i];
            std::uint64_t h = 0;
            if (t.code == 3 && i + 1 < r.tags.size() &&
                (r.tags[i + 1].code == 350 || r.tags[i + 1].code == 360) &&
                ParseHandle(r.tags[i + 1].value, h) && !objects.count(h)) {
                ++i;  // an entry naming nothing that is written is left out
                continue;
            }
            kept.push_back(t);
        }
        r.tags = std::move(kept);
    }
}

}  // namespace

Document DocumentFromDatabase(AcDbDatabase& db, DxfVersion version, SaveReport* report) {
    Saver saver(&db, version, report);
    return saver.Run();
}

namespace {

// Writes the document into a sink: UTF-8 for R2007 and later, ASCII with \U+XXXX escapes
// before (see UnicodeEscaper).
void WriteTo(const Document& doc, const ByteSink& sink) {
    if (IsUnicodeVersion(doc.writeVersion)) {
        TagWriter writer(sink);
        WriteDocument(doc, writer);
        return;
    }
    UnicodeEscaper escaper;
    std::string escaped;
    TagWriter writer([&](std::string_view text) {
        escaped.clear();
        escaper.Escape(text, escaped);
        sink(escaped);
    });
    WriteDocument(doc, writer);
    escaped.clear();
    escaper.Finish(escaped);
    if (!escaped.empty())
        sink(escaped);
}

}  // namespace

void WriteDxf(AcDbDatabase& db, std::string& out, DxfVersion version, SaveReport* report) {
    Document doc = DocumentFromDatabase(db, version, report);
    WriteTo(doc, [&](std::string_view s) { out.append(s); });
}

bool SaveDxf(AcDbDatabase& db, const std::string& path, std::string& error, DxfVersion version,
             SaveReport* report) {
    return SaveFileAtomically(
        path,
        [&](const ByteSink& sink) {
            Document doc = DocumentFromDatabase(db, version, report);
            WriteTo(doc, sink);
        },
        error);
}

}  // namespace host::dxf

namespace host::dxf {

std::string FileAcadVer(AcDbDatabase& db) {
    for (AcDbObjectId id : AllObjects(&db)) {
        RawObject* raw = AsRaw(Obj(id));
        if (!raw || raw->dxfName != kHeaderHolder)
            continue;
        const auto& g = raw->groups;
        for (std::size_t i = 0; i + 1 < g.size(); ++i) {
            if (g[i].code == 9 && g[i].value == "$ACADVER")
                return std::string(TrimSpaces(g[i + 1].value));
        }
        return {};
    }
    return {};
}

}  // namespace host::dxf
