#include "host/dxf/structure.h"

#include <unordered_set>

#include "host/dxf/record_groups.h"
#include "platform/dbdict.h"
#include "platform/dbtable.h"

namespace host::dxf {

const char* const kStandardTables[9] = {"VPORT", "LTYPE", "LAYER",    "STYLE",       "VIEW",
                                        "UCS",   "APPID", "DIMSTYLE", "BLOCK_RECORD"};

Structure FindStructure(AcDbDatabase* db) {
    Structure s;
    for (AcDbObjectId id : AllObjects(db)) {
        RawObject* raw = AsRaw(Obj(id));
        if (raw && raw->dxfName == "TABLE") {
            const std::string name = Upper(RawName(raw));
            if (!s.heads.count(name)) {
                s.heads[name] = id;
                s.headOrder.push_back(id);
            }
        }
    }
    return s;
}

AcDbObjectId AddRaw(AcDbDatabase* db, const std::string& type, std::vector<DxfGroup> groups,
                    AcDbObjectId owner) {
    auto* raw = new RawObject(type, std::move(groups));
    AcDbObjectId id;
    if (AddObject(db, raw, owner, AcDbHandle(), &id) != Acad::eOk) {
        delete raw;
        return {};
    }
    return id;
}

namespace {

// Entries of a symbol table by upper-case name.
std::unordered_set<std::string> EntryNames(AcDbDatabase* db, AcDbObjectId head) {
    std::unordered_set<std::string> names;
    for (AcDbObjectId id : AllObjects(db)) {
        AcDbObject* o = Obj(id);
        RawObject* raw = AsRaw(o);
        if (raw && o->ownerId() == head && raw->dxfName != "TABLE")
            names.insert(Upper(RawName(raw)));
    }
    return names;
}

std::vector<DxfGroup> DefaultEntry(const std::string& table, const std::string& name) {
    std::vector<DxfGroup> g = {
        {100, "AcDbSymbolTableRecord"}, {100, TableRecordSubclass(table)}, {2, name}, {70, "0"}};
    if (table == "LTYPE") {
        g.insert(
            g.end(),
            {{3, name == "Continuous" ? "Solid line" : ""}, {72, "65"}, {73, "0"}, {40, "0.0"}});
    } else if (table == "LAYER") {
        g.insert(g.end(), {{62, "7"}, {6, "Continuous"}, {370, "-3"}});
    } else if (table == "STYLE") {
        g.insert(
            g.end(),
            {{40, "0.0"}, {41, "1.0"}, {50, "0.0"}, {71, "0"}, {42, "2.5"}, {3, "txt"}, {4, ""}});
    } else if (table == "VPORT") {
        g.insert(g.end(),
                 {{10, "0.0"},   {20, "0.0"}, {11, "1.0"},  {21, "1.0"}, {12, "0.0"}, {22, "0.0"},
                  {13, "0.0"},   {23, "0.0"}, {14, "1.0"},  {24, "1.0"}, {15, "0.0"}, {25, "0.0"},
                  {16, "0.0"},   {26, "0.0"}, {36, "1.0"},  {17, "0.0"}, {27, "0.0"}, {37, "0.0"},
                  {40, "100.0"}, {41, "1.5"}, {42, "50.0"}, {43, "0.0"}, {44, "0.0"}, {50, "0.0"},
                  {51, "0.0"},   {71, "0"},   {72, "100"},  {73, "1"},   {74, "3"},   {75, "0"},
                  {76, "0"},     {77, "0"},   {78, "0"}});
    } else if (table == "DIMSTYLE") {
        g.insert(g.end(), {{40, "1.0"},
                           {41, "2.5"},
                           {42, "0.625"},
                           {43, "3.75"},
                           {44, "1.25"},
                           {140, "2.5"},
                           {141, "2.5"},
                           {147, "0.625"}});
    }
    return g;
}

std::vector<DxfGroup> LayoutGroups(const std::string& name, int tabOrder,
                                   std::uint64_t blockRecord) {
    std::vector<DxfGroup> g = {{100, "AcDbPlotSettings"},
                               {1, ""},
                               {2, "none_device"},
                               {4, ""},
                               {6, ""},
                               {40, "0.0"},
                               {41, "0.0"},
                               {42, "0.0"},
                               {43, "0.0"},
                               {44, "420.0"},
                               {45, "297.0"},
                               {46, "0.0"},
                               {47, "0.0"},
                               {48, "0.0"},
                               {49, "0.0"},
                               {140, "0.0"},
                               {141, "0.0"},
                               {142, "1.0"},
                               {143, "1.0"},
                               {70, tabOrder == 0 ? "1024" : "0"},
                               {72, "1"},
                               {73, "0"},
                               {74, "5"},
                               {7, ""},
                               {75, "16"},
                               {76, "0"},
                               {77, "2"},
                               {78, "300"},
                               {147, "1.0"},
                               {148, "0.0"},
                               {149, "0.0"},
                               {100, "AcDbLayout"},
                               {1, name},
                               {70, "1"},
                               {71, std::to_string(tabOrder)},
                               {10, "0.0"},
                               {20, "0.0"},
                               {11, "420.0"},
                               {21, "297.0"},
                               {12, "0.0"},
                               {22, "0.0"},
                               {32, "0.0"},
                               {14, "1e+20"},
                               {24, "1e+20"},
                               {34, "1e+20"},
                               {15, "-1e+20"},
                               {25, "-1e+20"},
                               {35, "-1e+20"},
                               {146, "0.0"},
                               {13, "0.0"},
                               {23, "0.0"},
                               {33, "0.0"},
                               {16, "1.0"},
                               {26, "0.0"},
                               {36, "0.0"},
                               {17, "0.0"},
                               {27, "1.0"},
                               {37, "0.0"},
                               {76, "1"},
                               {330, FormatHandle(blockRecord)}};
    return g;
}

}  // namespace

std::uint64_t LayoutBlock(const RawObject* raw) {
    bool inLayout = false;
    for (const auto& g : raw->groups) {
        if (g.code == 100)
            inLayout = g.value == "AcDbLayout";
        if (inLayout && g.code == 330) {
            std::uint64_t h = 0;
            ParseHandle(g.value, h);
            return h;
        }
    }
    return 0;
}

namespace {

AcDbObjectId DictEntry(AcDbObjectId dictId, const char* name) {
    AcDbDictionary* dict = Obj(dictId) ? AcDbDictionary::cast(Obj(dictId)) : nullptr;
    AcDbObjectId id;
    if (dict && dict->getAt(name, id) == Acad::eOk)
        return id;
    return {};
}

AcDbObjectId AddDictionary(AcDbDatabase* db, AcDbObjectId parent, const char* name) {
    auto* dict = new AcDbDictionary();
    AcDbObjectId id;
    if (AddObject(db, dict, parent, AcDbHandle(), &id) != Acad::eOk) {
        delete dict;
        return {};
    }
    if (!parent.isNull()) {
        if (auto* p = AcDbDictionary::cast(Obj(parent)))
            SetDictionaryEntry(p, name, id);
    }
    return id;
}

}  // namespace

AcDbObjectId UsableStyle(AcDbDatabase* db, AcDbObjectId id) {
    auto isStyle = [](AcDbObjectId x) { return Obj(x) && AcDbTableStyle::cast(Obj(x)); };
    if (isStyle(id))
        return id;
    if (isStyle(db->tablestyle()))
        return db->tablestyle();
    const AcDbObjectId styles = DictEntry(db->namedObjectsDictionaryId(), "ACAD_TABLESTYLE");
    if (isStyle(DictEntry(styles, "Standard")))
        return DictEntry(styles, "Standard");
    if (auto* dict = AcDbDictionary::cast(Obj(styles))) {
        std::unique_ptr<AcDbDictionaryIterator> it(dict->newIterator());
        for (; !it->done(); it->next()) {
            if (isStyle(it->objectId()))
                return it->objectId();
        }
    }
    return {};
}

void EnsureStructure(AcDbDatabase* db) {
    // Root dictionary and its standard entries.
    AcDbObjectId root = db->namedObjectsDictionaryId();
    if (root.isNull() || !Obj(root)) {
        root = AddDictionary(db, AcDbObjectId(), "");
        SetNamedObjectsDictionary(db, root);
    }
    if (DictEntry(root, "ACAD_GROUP").isNull())
        AddDictionary(db, root, "ACAD_GROUP");
    AcDbObjectId styles = DictEntry(root, "ACAD_TABLESTYLE");
    if (styles.isNull())
        styles = AddDictionary(db, root, "ACAD_TABLESTYLE");
    if (DictEntry(styles, "Standard").isNull()) {
        auto* style = new AcDbTableStyle();
        style->setName("Standard");
        style->setTextHeight(2.5, AcDb::kDataRow | AcDb::kHeaderRow);
        style->setTextHeight(3.5, AcDb::kTitleRow);
        style->setHorzCellMargin(0.6);
        style->setVertCellMargin(0.6);
        AcDbObjectId id;
        if (AddObject(db, style, styles, AcDbHandle(), &id) == Acad::eOk) {
            SetDictionaryEntry(AcDbDictionary::cast(Obj(styles)), "Standard", id);
        } else {
            delete style;
        }
    }
    if (!Obj(db->tablestyle()) || !AcDbTableStyle::cast(Obj(db->tablestyle()))) {
        SetCurrentTableStyle(db, UsableStyle(db, DictEntry(styles, "Standard")));
    }
    // Model space and paper space.
    auto ensureBlock = [&](const char* name) {
        if (!FindBlock(db, name).isNull())
            return;
        auto* block = new AcDbBlockTableRecord();
        block->setName(name);
        if (AddBlock(db, block, AcDbHandle(), nullptr) != Acad::eOk)
            delete block;
    };
    ensureBlock("*Model_Space");
    ensureBlock("*Paper_Space");
    // Layouts for model space and paper space.
    AcDbObjectId layouts = DictEntry(root, "ACAD_LAYOUT");
    if (layouts.isNull())
        layouts = AddDictionary(db, root, "ACAD_LAYOUT");
    std::unordered_set<std::uint64_t> withLayout;
    for (AcDbObjectId id : AllObjects(db)) {
        RawObject* raw = AsRaw(Obj(id));
        if (!raw || raw->dxfName != "LAYOUT")
            continue;
        withLayout.insert(LayoutBlock(raw));
        // A layout made without its plot settings gets the full set of groups.
        bool plot = false;
        std::string name;
        std::int64_t tab = 0;
        bool inLayout = false;
        for (const auto& g : raw->groups) {
            if (g.code == 100) {
                plot = plot || g.value == "AcDbPlotSettings";
                inLayout = g.value == "AcDbLayout";
            }
            if (inLayout && g.code == 1)
                name = g.value;
            if (inLayout && g.code == 71)
                ParseInt(g.value, tab);
        }
        if (!plot)
            raw->groups = LayoutGroups(name, static_cast<int>(tab), LayoutBlock(raw));
    }
    auto* layoutDict = AcDbDictionary::cast(Obj(layouts));
    int tab = 0;
    for (auto [space, name] :
         {std::pair{db->modelSpaceId(), "Model"}, std::pair{db->paperSpaceId(), "Layout1"}}) {
        if (!space.isNull() && !withLayout.count(space.handle().value()) && layoutDict) {
            std::string layoutName = name;
            while (layoutDict->has(layoutName.c_str()))
                layoutName += "_";
            AcDbObjectId id = AddRaw(
                db, "LAYOUT", LayoutGroups(layoutName, tab, space.handle().value()), layouts);
            SetDictionaryEntry(layoutDict, layoutName, id);
        }
        ++tab;
    }
    // Symbol tables and their standard entries.
    Structure s = FindStructure(db);
    for (const char* table : kStandardTables) {
        if (s.heads.count(table))
            continue;
        std::vector<DxfGroup> g = {{2, table}, {100, "AcDbSymbolTable"}, {70, "0"}};
        if (std::string_view(table) == "DIMSTYLE")
            g.push_back({100, "AcDbDimStyleTable"});
        s.heads[table] = AddRaw(db, "TABLE", std::move(g), AcDbObjectId());
    }
    auto ensureEntries = [&](const char* table, std::vector<std::string> names) {
        const AcDbObjectId head = s.heads[table];
        auto have = EntryNames(db, head);
        for (const auto& n : names) {
            if (!have.count(Upper(n))) {
                AddRaw(db, table, DefaultEntry(table, n), head);
                have.insert(Upper(n));
            }
        }
    };
    ensureEntries("VPORT", {"*Active"});
    ensureEntries("LTYPE", {"ByBlock", "ByLayer", "Continuous"});
    ensureEntries("STYLE", {"Standard"});
    ensureEntries("DIMSTYLE", {"Standard"});
    // Every layer in use has an entry.
    std::vector<std::string> layers = {"0"};
    std::unordered_set<std::string> seen = {"0"};
    for (AcDbObjectId id : AllObjects(db)) {
        AcDbObject* o = Obj(id);
        if (o && AcDbEntity::cast(o)) {
            const std::string& layer = o->state()->layer;
            if (!layer.empty() && seen.insert(Upper(layer)).second)
                layers.push_back(layer);
        }
    }
    ensureEntries("LAYER", layers);
    if (!db->isAppRegistered("ACAD"))
        db->registerApp("ACAD");
}

}  // namespace host::dxf
