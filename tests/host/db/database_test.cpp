// The drawing database: open rules and their status codes, handles, erasing, the default
// drawing, dictionaries, copies and the access a drawing-file reader uses.
#include <cstring>
#include <set>

#include "fixture.h"
#include "platform/acdocman.h"
#include "platform/rxobject.h"

namespace {

using Database = DrawingTest;

struct OpenCase {
    const char* name;
    AcDb::OpenMode first;
    AcDb::OpenMode second;
    Acad::ErrorStatus expected;
    friend void PrintTo(const OpenCase& c, std::ostream* os) { *os << c.name; }
};

class OpenRules : public DrawingTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenRules, SecondOpenGivesStatus) {
    const OpenCase& c = GetParam();
    const AcDbObjectId id = AddTable(2, 2);
    AcDbObject* a = nullptr;
    AcDbObject* b = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(a, id, c.first), Acad::eOk);
    EXPECT_EQ(acdbOpenAcDbObject(b, id, c.second), c.expected);
    if (c.expected == Acad::eOk) {
        EXPECT_EQ(b, a);  // the resident object itself
        EXPECT_EQ(b->close(), Acad::eOk);
    } else {
        EXPECT_EQ(b, nullptr);
    }
    EXPECT_EQ(a->close(), Acad::eOk);
    // Everything closed: it opens for write again.
    ASSERT_EQ(acdbOpenAcDbObject(a, id, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(a->close(), Acad::eOk);
}

INSTANTIATE_TEST_SUITE_P(
    Database, OpenRules,
    ::testing::Values(
        OpenCase{"WriteThenWrite", AcDb::kForWrite, AcDb::kForWrite, Acad::eWasOpenForWrite},
        OpenCase{"ReadThenWrite", AcDb::kForRead, AcDb::kForWrite, Acad::eWasOpenForRead},
        OpenCase{"WriteThenRead", AcDb::kForWrite, AcDb::kForRead, Acad::eWasOpenForWrite},
        OpenCase{"ReadThenRead", AcDb::kForRead, AcDb::kForRead, Acad::eOk},
        OpenCase{"ReadThenNotify", AcDb::kForRead, AcDb::kForNotify, Acad::eOk}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Database, ModifyingObjectOpenForReadIsRefused) {
    const AcDbObjectId id = AddTable(2, 2);
    AcDbTable* t = nullptr;
    ASSERT_EQ(acdbOpenObject(t, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(t->setTextString(0, 0, "x"), Acad::eNotOpenForWrite);
    EXPECT_EQ(t->insertRows(0, 1.0), Acad::eNotOpenForWrite);
    EXPECT_EQ(t->erase(), Acad::eNotOpenForWrite);
    resbufA* rb = acutBuildListT<char>(1001, "ACAD", 1000, "x", 0);
    EXPECT_EQ(t->setXData(rb), Acad::eNotOpenForWrite);
    acutRelRbT(rb);
    EXPECT_EQ(t->upgradeOpen(), Acad::eOk);
    EXPECT_TRUE(t->isWriteEnabled());
    EXPECT_EQ(t->setTextString(0, 0, "x"), Acad::eOk);
    EXPECT_EQ(t->close(), Acad::eOk);
    EXPECT_EQ(t->close(), Acad::eNotOpenForRead);  // nothing left to close
}

TEST_F(Database, UpgradeWithTwoReadersIsRefused) {
    const AcDbObjectId id = AddTable(1, 1);
    AcDbObject* a = nullptr;
    AcDbObject* b = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(a, id, AcDb::kForRead), Acad::eOk);
    ASSERT_EQ(acdbOpenAcDbObject(b, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(a->upgradeOpen(), Acad::eHadMultipleReaders);
    b->close();
    EXPECT_EQ(a->upgradeOpen(), Acad::eOk);
    a->close();
}

TEST_F(Database, ObjectOutsideDatabaseCannotBeClosed) {
    AcDbTable t;
    EXPECT_EQ(t.close(), Acad::eNotInDatabase);
    EXPECT_TRUE(t.objectId().isNull());
    EXPECT_EQ(t.setTextString(0, 0, "x"), Acad::eInvalidInput);  // no cells yet
    EXPECT_EQ(t.setNumRows(1), Acad::eOk);                       // freely writable
}

TEST_F(Database, OpenByClassRefusesOtherClass) {
    const AcDbObjectId id = AddInsert(AcGePoint3d());
    AcDbTable* t = nullptr;
    EXPECT_EQ(acdbOpenObject(t, id, AcDb::kForWrite), Acad::eNotThatKindOfClass);
    EXPECT_EQ(t, nullptr);
    AcDbEntity* e = nullptr;
    EXPECT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite), Acad::eOk);  // left closed before
    e->close();
    AcDbEntity* notEntity = nullptr;
    EXPECT_EQ(acdbOpenAcDbEntity(notEntity, db->tablestyle(), AcDb::kForRead), Acad::eNotAnEntity);
}

TEST_F(Database, ErasedObjectsOpenOnlyWhenAsked) {
    const AcDbObjectId id = AddTable(1, 1);
    AcDbObject* obj = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(obj->erase(), Acad::eOk);
    EXPECT_EQ(obj->erase(), Acad::eWasErased);
    obj->close();
    EXPECT_TRUE(id.isErased());
    EXPECT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForRead), Acad::eWasErased);
    ASSERT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForWrite, true), Acad::eOk);
    EXPECT_EQ(obj->erase(false), Acad::eOk);
    EXPECT_EQ(obj->erase(false), Acad::eWasNotErased);
    obj->close();
    EXPECT_FALSE(id.isErased());
}

TEST_F(Database, NullAndDeadIdsAreRefused) {
    AcDbObject* obj = nullptr;
    EXPECT_EQ(acdbOpenAcDbObject(obj, AcDbObjectId(), AcDb::kForRead), Acad::eNullObjectId);
    AcDbObjectId id;
    {
        AcDbDatabase other;
        id = other.modelSpaceId();
        EXPECT_TRUE(id.isValid());
        EXPECT_EQ(id.database(), &other);
    }
    EXPECT_FALSE(id.isValid());
    EXPECT_EQ(id.database(), nullptr);
    EXPECT_TRUE(id.handle().isNull());
    EXPECT_NE(acdbOpenAcDbObject(obj, id, AcDb::kForRead), Acad::eOk);
}

TEST_F(Database, HandlesAreUniqueAndBelowHandseed) {
    for (int i = 0; i < 20; ++i)
        AddTable(1, 1);
    std::set<std::uint64_t> seen;
    for (AcDbObjectId id : host::AllObjects(db.get(), true)) {
        const std::uint64_t h = id.handle().value();
        EXPECT_NE(h, 0u);
        EXPECT_TRUE(seen.insert(h).second) << "duplicate handle " << h;
        EXPECT_LT(h, db->handseed().value());
        AcDbObjectId found;
        ASSERT_EQ(db->getAcDbObjectId(found, false, id.handle()), Acad::eOk);
        EXPECT_EQ(found, id);
    }
    AcDbObjectId none;
    EXPECT_EQ(db->getAcDbObjectId(none, false, db->handseed()), Acad::eUnknownHandle);
    char buf[17];
    AcDbHandle(0x1F2Aull).getIntoAsciiBuffer(buf);
    EXPECT_STREQ(buf, "1F2A");
}

TEST_F(Database, DefaultDrawingHasSpacesStylesAndApps) {
    AcDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(acdbOpenObject(ms, db->modelSpaceId(), AcDb::kForRead), Acad::eOk);
    EXPECT_STREQ(ms->nameA(), "*Model_Space");
    EXPECT_TRUE(ms->isLayout());
    ms->close();
    AcDbBlockTableRecord* ps = nullptr;
    ASSERT_EQ(acdbOpenObject(ps, db->paperSpaceId(), AcDb::kForRead), Acad::eOk);
    EXPECT_STREQ(ps->nameA(), "*Paper_Space");
    ps->close();
    EXPECT_EQ(db->currentSpaceId(), db->modelSpaceId());
    EXPECT_EQ(db->setCurrentSpace(db->paperSpaceId()), Acad::eOk);
    EXPECT_EQ(db->currentSpaceId(), db->paperSpaceId());
    EXPECT_EQ(db->setCurrentSpace(db->tablestyle()), Acad::eInvalidInput);

    EXPECT_TRUE(db->isAppRegistered("acad"));
    EXPECT_FALSE(db->isAppRegistered("Quarvel"));
    EXPECT_EQ(acdbRegApp("Quarvel"), RTNORM);
    EXPECT_EQ(acdbRegApp(u"QUARVEL"), RTNORM);  // already there, any case
    EXPECT_EQ(host::RegisteredApps(db.get()).size(), 2u);
    EXPECT_EQ(acdbRegApp("bad*name"), RTERROR);
    EXPECT_EQ(acdbRegApp(""), RTERROR);

    AcDbDictionary* styles = nullptr;
    ASSERT_EQ(db->getTableStyleDictionary(styles, AcDb::kForRead), Acad::eOk);
    AcDbObject* obj = nullptr;
    ASSERT_EQ(styles->getAt(u"STANDARD", obj, AcDb::kForRead), Acad::eOk);
    styles->close();
    auto* style = AcDbTableStyle::cast(obj);
    ASSERT_NE(style, nullptr);
    EXPECT_EQ(style->objectId(), db->tablestyle());
    EXPECT_DOUBLE_EQ(style->textHeight(AcDb::kDataRow), 2.5);
    EXPECT_DOUBLE_EQ(style->horzCellMargin(), 0.6);
    EXPECT_DOUBLE_EQ(style->vertCellMargin(), 0.6);
    char* name = nullptr;
    ASSERT_EQ(style->getName(name), Acad::eOk);
    EXPECT_STREQ(name, "Standard");
    delete[] name;
    style->close();

    AcDbDictionary* nod = nullptr;
    ASSERT_EQ(acdbOpenObject(nod, db->namedObjectsDictionaryId(), AcDb::kForRead), Acad::eOk);
    EXPECT_TRUE(nod->has("acad_layout"));
    EXPECT_TRUE(nod->has("ACAD_TABLESTYLE"));
    nod->close();
}

TEST_F(Database, DictionaryKeepsInsertionOrderAndIgnoresCase) {
    AcDbDictionary* styles = nullptr;
    ASSERT_EQ(db->getTableStyleDictionary(styles, AcDb::kForWrite), Acad::eOk);
    for (const char* name : {"Zeta", "alpha", "Mid"}) {
        auto* s = new AcDbTableStyle;
        AcDbObjectId id;
        ASSERT_EQ(styles->setAt(name, s, id), Acad::eOk);
        EXPECT_EQ(s->ownerId(), styles->objectId());
        s->close();
    }
    std::vector<std::string> names;
    AcDbDictionaryIterator* it = styles->newIterator();
    for (; !it->done(); it->next())
        names.emplace_back(it->nameUtf8());
    delete it;
    EXPECT_EQ(names, (std::vector<std::string>{"Standard", "Zeta", "alpha", "Mid"}));
    AcDbObjectId id;
    EXPECT_EQ(styles->getAt("ALPHA", id), Acad::eOk);
    EXPECT_EQ(styles->getAt("beta", id), Acad::eKeyNotFound);
    EXPECT_EQ(styles->remove("zeta"), Acad::eOk);
    EXPECT_EQ(styles->numEntries(), 3u);
    styles->close();
}

TEST_F(Database, CloneCopiesDataAndExtendedDataOutsideDatabase) {
    const AcDbObjectId id = AddTable(2, 3, AcGePoint3d(5, 5, 0));
    Tag(id, "Database", "C:\\data\\nwind.mdb");
    AcDbTable* t = nullptr;
    ASSERT_EQ(acdbOpenObject(t, id, AcDb::kForWrite), Acad::eOk);
    t->setTextString(1, 2, "cell");
    auto* copy = AcDbTable::cast(t->clone());
    t->close();
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->objectId().isNull());
    EXPECT_EQ(copy->database(), nullptr);
    EXPECT_EQ(copy->numColumns(), 3u);
    EXPECT_STREQ(copy->textStringA(1, 2), "cell");
    EXPECT_EQ(copy->position(), AcGePoint3d(5, 5, 0));
    resbufA* rb = copy->xData("DATABASE");
    ASSERT_NE(rb, nullptr);
    ASSERT_NE(rb->rbnext, nullptr);
    EXPECT_STREQ(rb->rbnext->resval.rstring, "C:\\data\\nwind.mdb");
    acutRelRbT(rb);
    const AcDbObjectId copyId = Append(copy);
    EXPECT_NE(copyId, id);
    EXPECT_TRUE(host::HasXData(host::ObjectOf(copyId), "Database"));
}

TEST_F(Database, AppendRequiresBlockOpenForWrite) {
    AcDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(acdbOpenObject(ms, db->modelSpaceId(), AcDb::kForRead), Acad::eOk);
    auto* t = new AcDbTable;
    EXPECT_EQ(ms->appendAcDbEntity(t), Acad::eNotOpenForWrite);
    ms->close();
    delete t;  // still the caller's
    EXPECT_TRUE(host::EntitiesOf(db.get(), db->modelSpaceId()).empty());
}

TEST_F(Database, ReaderCreatesObjectsWithGivenHandlesAndForwardReferences) {
    AcDbDatabase loaded(false);
    EXPECT_TRUE(host::AllObjects(&loaded).empty());
    // A dictionary naming a style that comes later in the file.
    auto* nod = new AcDbDictionary;
    AcDbObjectId nodId;
    ASSERT_EQ(host::AddObject(&loaded, nod, AcDbObjectId(), AcDbHandle(0xC), &nodId), Acad::eOk);
    auto* styles = new AcDbDictionary;
    AcDbObjectId stylesId;
    ASSERT_EQ(host::AddObject(&loaded, styles, nodId, AcDbHandle(0x20), &stylesId), Acad::eOk);
    host::SetDictionaryEntry(nod, "ACAD_TABLESTYLE", stylesId);
    const AcDbObjectId pending = host::IdForHandle(&loaded, AcDbHandle(0x30));
    EXPECT_FALSE(pending.isValid());
    host::SetDictionaryEntry(styles, "Standard", pending);
    host::SetNamedObjectsDictionary(&loaded, nodId);
    auto* style = new AcDbTableStyle;
    AcDbObjectId styleId;
    ASSERT_EQ(host::AddObject(&loaded, style, stylesId, AcDbHandle(0x30), &styleId), Acad::eOk);
    EXPECT_EQ(styleId, pending);
    EXPECT_TRUE(pending.isValid());
    EXPECT_EQ(loaded.tablestyle(), styleId);  // found through the dictionaries

    auto* ms = new AcDbBlockTableRecord;
    ms->setName("*MODEL_SPACE");
    AcDbObjectId msId;
    ASSERT_EQ(host::AddBlock(&loaded, ms, AcDbHandle(0x1F), &msId), Acad::eOk);
    EXPECT_EQ(loaded.modelSpaceId(), msId);
    EXPECT_EQ(loaded.currentSpaceId(), msId);
    auto* line = new host::RawEntity(
        "LINE", {{10, "0"}, {20, "0"}, {30, "0"}, {11, "10"}, {21, "5"}, {31, "0"}});
    AcDbObjectId lineId;
    ASSERT_EQ(host::AppendEntity(&loaded, msId, line, AcDbHandle(0x40), &lineId), Acad::eOk);
    EXPECT_EQ(host::EntitiesOf(&loaded, msId), std::vector<AcDbObjectId>{lineId});
    EXPECT_EQ(host::DxfNameOf(host::ObjectOf(lineId)), "LINE");
    auto* clash = new host::RawObject("XRECORD", {});
    EXPECT_EQ(host::AddObject(&loaded, clash, nodId, AcDbHandle(0x40), nullptr),
              Acad::eHandleInUse);
    delete clash;
    EXPECT_GT(loaded.handseed().value(), 0x40u);
    host::SetHandseed(&loaded, AcDbHandle(0x100));
    EXPECT_EQ(loaded.handseed().value(), 0x100u);

    const std::vector<AcDbObjectId> all = host::AllObjects(&loaded);
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all.front(), nodId);
    EXPECT_EQ(host::DxfNameOf(host::ObjectOf(all[2])), "TABLESTYLE");
    EXPECT_EQ(host::ObjectOf(lineId)->ownerId(), msId);
}

TEST_F(Database, BlockReferenceExtentsCoverTheBlockEvenWhenItNestsItself) {
    auto* def = new AcDbBlockTableRecord;
    def->setName("BOX");
    AcDbObjectId defId;
    ASSERT_EQ(host::AddBlock(db.get(), def, AcDbHandle(), &defId), Acad::eOk);
    auto* line = new host::RawEntity(
        "LINE", {{10, "0"}, {20, "0"}, {30, "0"}, {11, "4"}, {21, "2"}, {31, "0"}});
    ASSERT_EQ(host::AppendEntity(db.get(), defId, line, AcDbHandle(), nullptr), Acad::eOk);
    ASSERT_EQ(host::AppendEntity(db.get(), defId, new AcDbBlockReference(AcGePoint3d(), defId),
                                 AcDbHandle(), nullptr),
              Acad::eOk);
    auto* ref = new AcDbBlockReference(AcGePoint3d(10, 10, 0), defId);
    ASSERT_EQ(host::SetScale(ref, AcGeVector3d(2, 2, 1)), Acad::eOk);
    const AcDbObjectId refId = Append(ref);
    AcDbEntity* ent = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(ent, refId, AcDb::kForRead), Acad::eOk);
    AcGePoint3d lo, hi;
    ASSERT_EQ(ent->getGeomExtents(lo, hi), Acad::eOk);
    ent->close();
    EXPECT_EQ(lo, AcGePoint3d(10, 10, 0));
    EXPECT_EQ(hi, AcGePoint3d(18, 14, 0));
}

TEST_F(Database, AnonymousBlocksAreNumbered) {
    std::vector<std::string> names;
    for (int i = 0; i < 3; ++i) {
        auto* b = new AcDbBlockTableRecord;
        b->setName("*T");
        AcDbObjectId id;
        ASSERT_EQ(host::AddBlock(db.get(), b, AcDbHandle(), &id), Acad::eOk);
        names.emplace_back(b->nameA().GetString());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"*T1", "*T2", "*T3"}));
    auto* dup = new AcDbBlockTableRecord;
    dup->setName("*t2");
    EXPECT_EQ(host::AddBlock(db.get(), dup, AcDbHandle(), nullptr), Acad::eDuplicateRecordName);
    delete dup;
    // A renamed block is found by its new name only.
    const AcDbObjectId first = host::FindBlock(db.get(), "*T1");
    AcDbBlockTableRecord* block = nullptr;
    ASSERT_EQ(acdbOpenObject(block, first, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(block->setName("*t3"), Acad::eDuplicateRecordName);
    EXPECT_EQ(block->setName("Legend"), Acad::eOk);
    block->close();
    EXPECT_EQ(host::FindBlock(db.get(), "LEGEND"), first);
    EXPECT_TRUE(host::FindBlock(db.get(), "*T1").isNull());
}

TEST(RuntimeClasses, EveryClassIsRegisteredAndDerivationHolds) {
    for (const char* name : {"AcDbTable", "acdbtable", "AcDbDictionary", "AcDbBlockReference",
                             "AcApDocManagerReactor", "AcDbTableStyle", "AcRxObject"}) {
        EXPECT_NE(acrxClassDictionary->at(name), nullptr) << name;
    }
    EXPECT_EQ(acrxSysRegistry()->at(ACRX_CLASS_DICTIONARY), acrxClassDictionary);
    EXPECT_TRUE(AcDbTable::desc()->isDerivedFrom(AcDbEntity::desc()));
    EXPECT_FALSE(AcDbTable::desc()->isDerivedFrom(AcDbDictionary::desc()));
    EXPECT_STREQ(AcDbTable::desc()->dxfNameUtf8(), "ACAD_TABLE");
    EXPECT_STREQ(AcDbBlockReference::desc()->dxfNameUtf8(), "INSERT");
    AcApDocManagerReactor reactor;
    EXPECT_EQ(reactor.isA(), AcApDocManagerReactor::desc());
    reactor.documentCreated(nullptr);  // the default callbacks do nothing
}

TEST(RuntimeClasses, RegistryEntriesIgnoreCase) {
    AcRxObject entry;
    EXPECT_EQ(acrxSysRegistry()->atPut("TestEntry", &entry), nullptr);
    EXPECT_EQ(acrxSysRegistry()->at(u"testentry"), &entry);
    EXPECT_EQ(acrxSysRegistry()->remove("TESTENTRY"), &entry);
    EXPECT_EQ(acrxSysRegistry()->at("TestEntry"), nullptr);
}

TEST(StatusTexts, AreTheCodeNames) {
    EXPECT_STREQ(acadErrorStatusTextA(Acad::eOk), "eOk");
    EXPECT_STREQ(acadErrorStatusTextA(Acad::eInvalidInput), "eInvalidInput");
    EXPECT_STREQ(acadErrorStatusTextA(Acad::eXdataSizeExceeded), "eXdataSizeExceeded");
    EXPECT_EQ(std::u16string(acadErrorStatusTextW(Acad::eWasOpenForWrite)), u"eWasOpenForWrite");
}

}  // namespace
