// Entity names and selection sets: acedSSGet modes (X, W, C, L, P and interactive), the
// filters the module uses in both text widths, set operations, transforming a set and names
// that do not name anything.
#include <vector>

#include "fixture.h"
#include "platform/acedads.h"

namespace {

class Selection : public DrawingTest {
protected:
    void SetUp() override {
        DrawingTest::SetUp();
        table = AddTable(3, 2);                      // x 0..20, y -12..0
        insert = AddInsert(AcGePoint3d(50, 50, 0));  // a point
        paperTable = AddTable(2, 2, AcGePoint3d(0, 0, 0), db->paperSpaceId());
        line = Append(new host::RawEntity(
            "LINE", {{10, "100"}, {20, "0"}, {30, "0"}, {11, "110"}, {21, "10"}, {31, "0"}}));
        Tag(insert, "Database");
        Tag(paperTable, "Database");
        Tag(table, "Table");
    }
    void TearDown() override {
        host::SetInteractiveSelector(nullptr);
        EXPECT_EQ(host::SelectionSetCount(), 0u) << "a test left a selection set behind";
        DrawingTest::TearDown();
    }

    // Runs acedSSGet and gives the selected ids (freeing the set); rc receives the result.
    template <class C>
    std::vector<AcDbObjectId> Get(const C* mode, const resbufT<C>* filter, int* rc = nullptr,
                                  const double* a = nullptr, const double* b = nullptr) {
        ads_name ss = {0, 0};
        const int result = acedSSGet(mode, a, b, filter, ss);
        if (rc)
            *rc = result;
        std::vector<AcDbObjectId> ids;
        if (result != RTNORM)
            return ids;
        std::int32_t n = 0;
        EXPECT_EQ(acedSSLength(ss, &n), RTNORM);
        for (std::int32_t i = 0; i < n; ++i) {
            ads_name ent;
            EXPECT_EQ(acedSSName(ss, i, ent), RTNORM);
            AcDbObjectId id;
            EXPECT_EQ(acdbGetObjectId(id, ent), Acad::eOk);
            ids.push_back(id);
        }
        EXPECT_EQ(acedSSFree(ss), RTNORM);
        return ids;
    }

    AcDbObjectId table, insert, paperTable, line;
};

using Ids = std::vector<AcDbObjectId>;

TEST_F(Selection, ModuleFilterSelectsLinkedTablesAndInsertsInEverySpace) {
    // (-4 "<or") (0 "INSERT") (0 "ACAD_TABLE") (-4 "or>") (-3 (1001 "Database"))
    resbufA* a = acutBuildListT<char>(-4, "<or", 0, "INSERT", 0, "ACAD_TABLE", -4, "or>", -3, 1001,
                                      "Database", 0);
    resbufW* w = acutBuildListT<char16_t>(-4, u"<OR", 0, u"insert", 0, u"acad_table", -4, u"OR>",
                                          -3, 1001, u"DATABASE", 0);
    EXPECT_EQ(Get("X", a), (Ids{insert, paperTable}));
    EXPECT_EQ(Get(u"_X", w), (Ids{insert, paperTable}));
    acutRelRbT(a);
    acutRelRbT(w);
}

struct FilterCase {
    const char* name;
    resbufA* (*build)();
    std::vector<int> expected;  // indexes into {table, insert, paperTable, line}
};

TEST_F(Selection, FiltersInModeX) {
    const FilterCase cases[] = {
        {"None", [] { return static_cast<resbufA*>(nullptr); }, {0, 1, 2, 3}},
        {"TypeList", [] { return acutBuildListT<char>(0, "insert,ACAD_TABLE", 0); }, {0, 1, 2}},
        {"TypeOne", [] { return acutBuildListT<char>(0, "line", 0); }, {3}},
        {"Not",
         [] { return acutBuildListT<char>(-4, "<not", 0, "LINE", -4, "not>", 0); },
         {0, 1, 2}},
        {"And",
         [] {
             return acutBuildListT<char>(-4, "<and", 0, "ACAD_TABLE", -3, 1001, "Database", -4,
                                         "and>", 0);
         },
         {2}},
        {"XDataOfEveryApp",
         [] { return acutBuildListT<char>(-3, 1001, "Database", 1001, "Table", 0); },
         {}},
        {"XDataAnyApp", [] { return acutBuildListT<char>(-3, 1001, "*", 0); }, {0, 1, 2}},
        {"PaperSpace", [] { return acutBuildListT<char>(67, 1, 0); }, {2}},
        {"BlockName", [] { return acutBuildListT<char>(2, "mark", 0); }, {1}},
        {"Layer", [] { return acutBuildListT<char>(8, "Walls", 0); }, {0}},
        {"TypeWildcard", [] { return acutBuildListT<char>(0, "acad_*,L?NE", 0); }, {0, 2, 3}},
        {"TypeNotWildcard", [] { return acutBuildListT<char>(0, "~*TABLE", 0); }, {1, 3}},
        {"XDataWildcard", [] { return acutBuildListT<char>(-3, 1001, "Data*", 0); }, {1, 2}},
        {"UnknownCodeIgnored", [] { return acutBuildListT<char>(62, 1, 0, "LINE", 0); }, {3}},
    };
    {
        AcDbEntity* ent = nullptr;
        ASSERT_EQ(acdbOpenAcDbEntity(ent, table, AcDb::kForWrite), Acad::eOk);
        ASSERT_EQ(ent->setLayer("WALLS"), Acad::eOk);
        ent->close();
    }
    const AcDbObjectId all[] = {table, insert, paperTable, line};
    for (const FilterCase& c : cases) {
        resbufA* filter = c.build();
        int rc = 0;
        const Ids got = Get("X", filter, &rc);
        Ids expected;
        for (int i : c.expected)
            expected.push_back(all[i]);
        EXPECT_EQ(got, expected) << c.name;
        EXPECT_EQ(rc, expected.empty() ? RTERROR : RTNORM) << c.name;
        acutRelRbT(filter);
    }
}

TEST_F(Selection, UnbalancedFilterIsAnError) {
    for (resbufA* filter : {acutBuildListT<char>(-4, "<or", 0, "LINE", 0),
                            acutBuildListT<char>(0, "LINE", -4, "or>", 0),
                            acutBuildListT<char>(-4, "<not", 0, "LINE", 0, "INSERT", -4, "not>", 0),
                            acutBuildListT<char>(-4, "<or", 0, "LINE", -4, "and>", 0)}) {
        int rc = 0;
        EXPECT_TRUE(Get("X", filter, &rc).empty());
        EXPECT_EQ(rc, RTERROR);
        acutRelRbT(filter);
    }
}

TEST_F(Selection, WindowAndCrossingWorkInTheCurrentSpaceOnly) {
    const double a[3] = {-1, -13, 0}, b[3] = {21, 1, 0};
    EXPECT_EQ(Get<char>("W", nullptr, nullptr, a, b), (Ids{table}));
    const double c[3] = {5, -5, 0}, d[3] = {105, 5, 0};
    EXPECT_EQ(Get<char>("C", nullptr, nullptr, c, d), (Ids{table, line}));
    int rc = 0;
    EXPECT_TRUE(Get<char>("W", nullptr, &rc, c, d).empty());  // nothing wholly inside
    EXPECT_EQ(rc, RTERROR);
    EXPECT_TRUE(Get<char>("W", nullptr, &rc, nullptr, nullptr).empty());
    EXPECT_EQ(rc, RTERROR);
    ASSERT_EQ(db->setCurrentSpace(db->paperSpaceId()), Acad::eOk);
    EXPECT_EQ(Get<char>("W", nullptr, nullptr, a, b), (Ids{paperTable}));
    EXPECT_EQ(Get<char>("L", nullptr), (Ids{paperTable}));
}

TEST_F(Selection, LastAndPreviousAndErasedEntities) {
    EXPECT_EQ(Get<char>("L", nullptr), (Ids{line}));
    ads_name name;
    ASSERT_EQ(acdbGetAdsName(name, line), Acad::eOk);
    ASSERT_EQ(acdbEntDel(name), RTNORM);  // erase
    EXPECT_TRUE(line.isErased());
    EXPECT_EQ(Get<char>("L", nullptr), (Ids{insert}));  // last drawn in model space
    EXPECT_EQ(Get<char>("X", nullptr), (Ids{table, insert, paperTable}));
    EXPECT_EQ(Get<char>("P", nullptr), (Ids{table, insert, paperTable}));
    ads_name last;
    ASSERT_EQ(acdbEntLast(last), RTNORM);
    AcDbObjectId lastId;
    ASSERT_EQ(acdbGetObjectId(lastId, last), Acad::eOk);
    EXPECT_EQ(lastId, paperTable);
    ASSERT_EQ(acdbEntDel(name), RTNORM);  // restore
    EXPECT_FALSE(line.isErased());
    EXPECT_EQ(host::LastEntity(db.get()), line);
}

Ids g_picked;
int g_pickResult = RTNORM;
int Picker(AcDbDatabase*, const host::SelectionFilter&, std::vector<AcDbObjectId>& out) {
    out = g_picked;
    return g_pickResult;
}

TEST_F(Selection, InteractiveSelectionGoesThroughTheEditorHook) {
    resbufA* filter = acutBuildListT<char>(-3, 1001, "Database", 0);
    int rc = 0;
    EXPECT_TRUE(Get<char>(nullptr, filter, &rc).empty());  // no editor
    EXPECT_EQ(rc, RTERROR);
    host::SetInteractiveSelector(Picker);
    // The host drops what the filter refuses and repeated picks.
    g_picked = {line, paperTable, insert, paperTable};
    g_pickResult = RTNORM;
    EXPECT_EQ(Get<char>(nullptr, filter), (Ids{paperTable, insert}));
    g_pickResult = RTCAN;
    EXPECT_TRUE(Get<char>(nullptr, filter, &rc).empty());
    EXPECT_EQ(rc, RTCAN);
    g_pickResult = RTNORM;
    g_picked = {line};
    EXPECT_TRUE(Get<char>(nullptr, filter, &rc).empty());
    EXPECT_EQ(rc, RTERROR);
    acutRelRbT(filter);
}

TEST_F(Selection, PointSelectionGivesLastDrawnFirst) {
    const AcDbObjectId over = AddTable(1, 1, AcGePoint3d(5, -1, 0));
    host::SelectionFilter all;
    EXPECT_EQ(host::SelectAtPoint(db.get(), AcGePoint3d(6, -2, 0), 0, all), (Ids{over, table}));
    EXPECT_EQ(host::SelectAtPoint(db.get(), AcGePoint3d(51, 50, 0), 0, all), Ids{});
    EXPECT_EQ(host::SelectAtPoint(db.get(), AcGePoint3d(51, 50, 0), 1.5, all), (Ids{insert}));
}

TEST_F(Selection, SetOperations) {
    ads_name ss = {0, 0}, result;
    ads_name nil = {0, 0};
    ads_name t, i;
    ASSERT_EQ(acdbGetAdsName(t, table), Acad::eOk);
    ASSERT_EQ(acdbGetAdsName(i, insert), Acad::eOk);
    ASSERT_EQ(acedSSAdd(t, nil, ss), RTNORM);  // a new set
    EXPECT_EQ(acedSSMemb(t, ss), RTNORM);
    EXPECT_EQ(acedSSMemb(i, ss), RTERROR);
    ASSERT_EQ(acedSSAdd(i, ss, result), RTNORM);
    EXPECT_TRUE(ads_name_equal(result, ss));
    ASSERT_EQ(acedSSAdd(i, ss, result), RTNORM);  // already there: once only
    std::int32_t n = 0;
    ASSERT_EQ(acedSSLength(ss, &n), RTNORM);
    EXPECT_EQ(n, 2);
    ads_name ent;
    EXPECT_EQ(acedSSName(ss, 2, ent), RTERROR);
    EXPECT_EQ(acedSSName(ss, -1, ent), RTERROR);
    EXPECT_EQ(acedSSDel(t, ss), RTNORM);
    EXPECT_EQ(acedSSDel(t, ss), RTERROR);
    ASSERT_EQ(acedSSName(ss, 0, ent), RTNORM);
    EXPECT_TRUE(ads_name_equal(ent, i));
    EXPECT_EQ(acedSSFree(ss), RTNORM);
    EXPECT_EQ(acedSSFree(ss), RTERROR);  // gone
    EXPECT_EQ(acedSSLength(ss, &n), RTERROR);
    ads_name empty;
    ASSERT_EQ(acedSSAdd(nullptr, nullptr, empty), RTNORM);
    ASSERT_EQ(acedSSLength(empty, &n), RTNORM);
    EXPECT_EQ(n, 0);
    acedSSFree(empty);
}

TEST_F(Selection, TransformingASetMovesEveryEntity) {
    ads_name ss;
    ASSERT_EQ(host::MakeSelectionSet({table, insert, line}, ss), RTNORM);
    ads_matrix m = {{1, 0, 0, 5}, {0, 1, 0, 7}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    ASSERT_EQ(acedXformSS(ss, m), RTNORM);
    acedSSFree(ss);
    AcDbTable* t = nullptr;
    ASSERT_EQ(acdbOpenObject(t, table, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(t->position(), AcGePoint3d(5, 7, 0));
    t->close();
    AcDbBlockReference* r = nullptr;
    ASSERT_EQ(acdbOpenObject(r, insert, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(r->position(), AcGePoint3d(55, 57, 0));
    r->close();
    auto* raw = host::RawEntity::cast(host::ObjectOf(line));
    EXPECT_EQ(raw->groups[0].value, "105");
    EXPECT_EQ(raw->groups[4].value, "17");
    // An entity that is open elsewhere is not moved and the call says so.
    ASSERT_EQ(host::MakeSelectionSet({table}, ss), RTNORM);
    ASSERT_EQ(acdbOpenObject(t, table, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(acedXformSS(ss, m), RTERROR);
    t->close();
    acedSSFree(ss);
}

TEST_F(Selection, GarbageNamesAreRejected) {
    ads_name ss;
    ASSERT_EQ(host::MakeSelectionSet({table}, ss), RTNORM);
    int local = 0;
    const std::intptr_t garbage[][2] = {
        {0, 0},
        {12345, 678},
        {reinterpret_cast<std::intptr_t>(&local), 0x456E7459},  // right tag, wrong record
        {ss[0], ss[1]},                                         // a set is not an entity
        {-1, -1},
    };
    for (const auto& g : garbage) {
        ads_name name = {g[0], g[1]};
        AcDbObjectId id;
        EXPECT_EQ(acdbGetObjectId(id, name), Acad::eInvalidAdsName);
        EXPECT_TRUE(id.isNull());
        EXPECT_EQ(acdbEntDel(name), RTERROR);
        std::int32_t n = 0;
        if (!ads_name_equal(name, ss)) {
            EXPECT_EQ(acedSSLength(name, &n), RTERROR);
            EXPECT_EQ(acedSSFree(name), RTERROR);
        }
        ads_name result;
        EXPECT_EQ(acedSSAdd(name, ss, result), g[0] == 0 && g[1] == 0 ? RTNORM : RTERROR);
    }
    acedSSFree(ss);
    // A name from a database that is gone.
    ads_name stale;
    {
        AcDbDatabase other;
        ASSERT_EQ(acdbGetAdsName(stale, other.modelSpaceId()), Acad::eOk);
    }
    AcDbObjectId id;
    EXPECT_EQ(acdbGetObjectId(id, stale), Acad::eInvalidAdsName);
}

}  // namespace
