// Link storage on tables: lists, the stored groups, long values and refusals.
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "host/session/drawing_io.h"
#include "link/TableLink.h"
#include "module_fixture.h"

namespace {

TEST(CommaLists, JoinAndSplitHeadings) {
    struct Case {
        std::vector<const char*> items;
        const char* joined;
        std::vector<const char*> readBack;
    };
    const Case cases[] = {
        {{"Name", "", "Price"}, "Name,,Price", {"Name", "Price"}},
        {{"Name", "Price", ""}, "Name,Price", {"Name", "Price"}},
        {{"a,b"}, "a,b", {"a", "b"}},
        {{" spaced ", "x"}, " spaced ,x", {" spaced ", "x"}},
        {{}, "", {}},
    };
    for (const Case& c : cases) {
        CStringArray items;
        for (const char* s : c.items)
            items.Add(Txt(s));
        const CString joined = JoinList(items);
        EXPECT_EQ(joined, Txt(c.joined));
        CStringArray back;
        SplitList(joined, back);
        ASSERT_EQ(back.GetSize(), static_cast<int>(c.readBack.size())) << c.joined;
        for (int i = 0; i < back.GetSize(); ++i)
            EXPECT_EQ(back[i], Txt(c.readBack[i]));
    }
}

TEST(CommaLists, WidthsUseShortestNumberForm) {
    const std::vector<double> widths = {20, 0, 35.5, 25, 12.5, 0.0001};
    const CString joined = JoinList(widths);
    EXPECT_EQ(joined, Txt("20,0,35.5,25,12.5,0.0001"));
    std::vector<double> back;
    SplitList(joined, back);
    EXPECT_EQ(back, widths);

    std::vector<double> parsed;
    SplitList(Txt(" 7.5,abc,,3x"), parsed);
    EXPECT_EQ(parsed, (std::vector<double>{7.5, 0, 3}));
}

class LinkStorage : public DrawingTest {
protected:
    TableLink SampleLink() {
        TableLink link;
        link.m_strConnectDriver = Txt("Microsoft Access Driver (*.mdb)");
        link.m_strDatabase = Txt("data/nwind.mdb");
        link.m_strTable = Txt("Order Details");
        link.m_strSQL = Txt("");
        link.m_strUser = Txt("admin");
        link.m_strPassword = Txt("Geheim-ß");
        link.m_nHeader = 1;
        link.m_nStartRow = 2;
        link.m_nStartCol = 1;
        link.m_nRowCount = 2156;
        link.m_nColCount = 5;
        link.m_headings.Add(Txt("Name"));
        link.m_headings.Add(Txt(""));
        link.m_headings.Add(Txt("Price"));
        link.m_widths = {20, 0, 35.5};
        return link;
    }
};

TEST_F(LinkStorage, StoresTheSevenEntriesInTheirExactForm) {
    const AcDbObjectId id = MakeTable(3, 3);
    TableLink link = SampleLink();
    ASSERT_EQ(link.WriteLinkById(id), 1);

    AcDbEntity* entity = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(entity, id, AcDb::kForRead), Acad::eOk);
    resbuf* table = entity->xData(_T("Table"));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->restype, 1001);
    ASSERT_NE(table->rbnext, nullptr);
    EXPECT_EQ(table->rbnext->restype, 1000);
    EXPECT_EQ(CString(table->rbnext->resval.rstring), Txt("Order Details"));
    EXPECT_EQ(table->rbnext->rbnext, nullptr);
    acutRelRb(table);

    resbuf* data = entity->xData(LinkDataAppName);
    ASSERT_NE(data, nullptr);
    const short codes[] = {1001, 1070, 1070, 1070, 1070, 1000, 1000, 1071, 1071};
    const resbuf* rb = data;
    for (short code : codes) {
        ASSERT_NE(rb, nullptr);
        EXPECT_EQ(rb->restype, code);
        rb = rb->rbnext;
    }
    EXPECT_EQ(rb, nullptr);
    EXPECT_EQ(CString(data->rbnext->rbnext->rbnext->rbnext->rbnext->resval.rstring),
              Txt("Name,,Price"));
    EXPECT_EQ(CString(data->rbnext->rbnext->rbnext->rbnext->rbnext->rbnext->resval.rstring),
              Txt("20,0,35.5"));
    acutRelRb(data);
    entity->close();

    TableLink back;
    ASSERT_EQ(back.ReadLinkById(id), 1);
    EXPECT_EQ(back.m_strDatabase, link.m_strDatabase);
    EXPECT_EQ(back.m_strPassword, link.m_strPassword);
    EXPECT_EQ(back.m_nStartRow, 2);
    EXPECT_EQ(back.m_nStartCol, 1);
    EXPECT_EQ(back.m_nRowCount, 2156);
    ASSERT_EQ(back.m_headings.GetSize(), 2);  // the empty heading is lost
    EXPECT_EQ(back.m_headings[1], Txt("Price"));
    EXPECT_EQ(back.m_widths, (std::vector<double>{20, 0, 35.5}));
}

TEST_F(LinkStorage, WritingTwiceLeavesOneValuePerKey) {
    const AcDbObjectId id = MakeTable(2, 2);
    TableLink link = SampleLink();
    ASSERT_EQ(link.WriteLinkById(id), 1);
    link.m_strUser = Txt("second");
    ASSERT_EQ(link.WriteLinkById(id), 1);
    AcDbEntity* entity = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(entity, id, AcDb::kForRead), Acad::eOk);
    resbuf* user = entity->xData(_T("User"));
    ASSERT_NE(user, nullptr);
    ASSERT_NE(user->rbnext, nullptr);
    EXPECT_EQ(CString(user->rbnext->resval.rstring), Txt("second"));
    EXPECT_EQ(user->rbnext->rbnext, nullptr);
    acutRelRb(user);
    entity->close();
}

TEST_F(LinkStorage, TextEntriesWithoutTheDataEntryAreNoLink) {
    const AcDbObjectId id = MakeTable(2, 2);
    AcDbEntity* entity = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(entity, id, AcDb::kForWrite), Acad::eOk);
    for (const TCHAR* key : {_T("Connect_Driver"), _T("Database"), _T("Table"), _T("SQL"),
                             _T("User"), _T("Password")}) {
        acdbRegApp(key);
        resbuf* rb = acutBuildList(1001, key, 1000, _T("x"), 0);
        EXPECT_EQ(entity->setXData(rb), Acad::eOk);
        acutRelRb(rb);
    }
    entity->close();
    TableLink link;
    EXPECT_EQ(link.ReadLinkById(id), 0);
}

TEST_F(LinkStorage, LongValuesRoundTripWhileThePlainReaderSeesTheirStart) {
    const AcDbObjectId id = MakeTable(2, 2);
    TableLink link = SampleLink();
    std::string sql = "SELECT ";
    while (sql.size() < 1000)
        sql += "\"Größe\", ";
    sql += "1 FROM `Products`";
    link.m_strTable.Empty();
    link.m_strSQL = Txt(sql.c_str());
    for (int i = 0; i < 120; ++i)
        link.m_headings.Add(Txt("Überschrift"));
    ASSERT_EQ(link.WriteLinkById(id), 1);

    TableLink back;
    ASSERT_EQ(back.ReadLinkById(id), 1);
    EXPECT_EQ(back.m_strSQL, link.m_strSQL);
    EXPECT_EQ(back.m_headings.GetSize(), 122);
    EXPECT_EQ(back.m_nRowCount, 2156);  // positions after the headings are unchanged

    // A reader that knows only the plain form gets the first piece, cut at a character.
    AcDbEntity* entity = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(entity, id, AcDb::kForRead), Acad::eOk);
    resbuf* rb = entity->xData(_T("SQL"));
    const std::string first = qv::ToUtf8(CString(rb->rbnext->resval.rstring).View());
    EXPECT_LE(first.size(), 255u);
    EXPECT_GE(first.size(), 253u);
    EXPECT_EQ(sql.compare(0, first.size(), first), 0);
    acutRelRb(rb);
    entity->close();
}

TEST_F(LinkStorage, RefusedLinkIsReportedAndThePreviousOneKept) {
    const AcDbObjectId id = MakeTable(2, 2);
    TableLink link = SampleLink();
    ASSERT_EQ(link.WriteLinkById(id), 1);
    TableLink huge = SampleLink();
    huge.m_strSQL = Txt(std::string(20000, 'x').c_str());  // beyond the per-object limit
    EXPECT_EQ(huge.WriteLinkById(id), 0);
    TableLink back;
    ASSERT_EQ(back.ReadLinkById(id), 1);
    EXPECT_EQ(back.m_strSQL, link.m_strSQL);
    EXPECT_EQ(back.m_strTable, link.m_strTable);
}

}  // namespace

namespace {

TEST_F(LinkStorage, LongLinkSurvivesSavingAndOpeningTheDrawing) {
    const AcDbObjectId id = MakeTable(2, 2);
    TableLink link = SampleLink();
    std::string sql = "SELECT ";
    while (sql.size() < 1000)
        sql += "`Größe` || 'ü', ";
    sql += "1 FROM Parts";
    link.m_strTable.Empty();
    link.m_strSQL = Txt(sql.c_str());
    ASSERT_EQ(link.WriteLinkById(id), 1);
    const AcDbHandle handle = id.handle();

    const std::string path = testing::TempDir() + "/quarvel_long_link_" +
                             std::to_string(static_cast<long>(getpid())) + ".dxf";
    std::string error;
    ASSERT_TRUE(host::SaveDrawing(*m_db, path, error)) << error;
    std::unique_ptr<AcDbDatabase> reopened = host::LoadDrawing(path, error);
    ASSERT_TRUE(reopened) << error;
    std::remove(path.c_str());

    AcDbObjectId again;
    ASSERT_EQ(reopened->getAcDbObjectId(again, false, handle), Acad::eOk);
    TableLink back;
    ASSERT_EQ(back.ReadLinkById(again), 1);
    EXPECT_EQ(back.m_strSQL, link.m_strSQL);
    EXPECT_EQ(back.m_strPassword, link.m_strPassword);
    EXPECT_EQ(back.m_widths, link.m_widths);
}

}  // namespace
