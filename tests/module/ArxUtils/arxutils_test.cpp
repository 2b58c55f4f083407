// Drawing utilities: string extended data, splitting, table style names.
#include "ArxUtils/ArxUtils.h"

#include "module_fixture.h"

namespace {

TEST(SplitStringTest, KeepsEmptyInnerPieces) {
    struct Case {
        const char* text;
        bool found;
        std::vector<const char*> parts;
    };
    const Case cases[] = {
        {"2.6.0.0", true, {"2", "6", "0", "0"}},
        {"2.6.", true, {"2", "6"}},
        {"2..6.", true, {"2", "", "6"}},
        {"abc", false, {"abc"}},
        {"", false, {""}},
        {".x", true, {"", "x"}},
    };
    for (const Case& c : cases) {
        CStringArray parts;
        EXPECT_EQ(SplitString(Txt(c.text), TCHAR('.'), parts), c.found) << c.text;
        ASSERT_EQ(parts.GetSize(), static_cast<int>(c.parts.size())) << c.text;
        for (int i = 0; i < parts.GetSize(); ++i)
            EXPECT_EQ(parts[i], Txt(c.parts[i]));
    }
}

class StringXData : public DrawingTest {};

TEST_F(StringXData, ReplaceKeepsOneTextAppendKeepsAll) {
    const AcDbObjectId id = MakeTable(1, 1);
    AcDbObject* obj = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForWrite), Acad::eOk);
    EXPECT_TRUE(SetStringXData(obj, _T("APP"), _T("one"), false));
    EXPECT_TRUE(SetStringXData(obj, _T("APP"), _T("two"), false));
    resbuf* rb = obj->xData(_T("APP"));
    ASSERT_NE(rb, nullptr);
    ASSERT_NE(rb->rbnext, nullptr);
    EXPECT_EQ(CString(rb->rbnext->resval.rstring), CString(_T("two")));
    EXPECT_EQ(rb->rbnext->rbnext, nullptr);
    acutRelRb(rb);

    EXPECT_TRUE(SetStringXData(obj, _T("APP"), _T("three"), true));
    rb = obj->xData(_T("APP"));
    ASSERT_NE(rb->rbnext->rbnext, nullptr);
    EXPECT_EQ(CString(rb->rbnext->rbnext->resval.rstring), CString(_T("three")));
    acutRelRb(rb);

    EXPECT_FALSE(SetStringXData(nullptr, _T("APP"), _T("x"), false));
    EXPECT_FALSE(SetStringXData(obj, _T(""), _T("x"), false));
    // A text the host refuses is reported, not claimed as written.
    EXPECT_FALSE(SetStringXData(obj, _T("APP"), Txt(std::string(300, 'y').c_str()), false));
    obj->close();
}

TEST_F(StringXData, ReadsTheFirstStringOutsideBraces) {
    const AcDbObjectId id = MakeTable(1, 1);
    AcDbObject* obj = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForWrite), Acad::eOk);
    acdbRegApp(_T("APP"));
    resbuf* rb = acutBuildList(1001, _T("APP"), 1002, _T("{"), 1000, _T("inner"), 1002, _T("}"),
                               1000, _T("outer"), 0);
    ASSERT_EQ(obj->setXData(rb), Acad::eOk);
    acutRelRb(rb);
    CString text = _T("unchanged");
    EXPECT_TRUE(GetStringXData(obj, _T("APP"), text));
    EXPECT_EQ(text, CString(_T("outer")));
    text = _T("unchanged");
    EXPECT_FALSE(GetStringXData(obj, _T("NONE"), text));
    EXPECT_TRUE(text.IsEmpty());
    obj->close();

    ads_name name;
    ASSERT_EQ(acdbGetAdsName(name, id), Acad::eOk);
    text.Empty();
    EXPECT_TRUE(GetStringXData(name, _T("APP"), text));
    EXPECT_EQ(text, CString(_T("outer")));
}

TEST_F(StringXData, ListsTheStandardTableStyle) {
    CStringArray names;
    names.Add(_T("kept"));
    EXPECT_EQ(ListTableStyleNames(names), Acad::eOk);
    ASSERT_EQ(names.GetSize(), 2);
    EXPECT_EQ(names[0], CString(_T("kept")));
    EXPECT_EQ(names[1], CString(_T("Standard")));
}

}  // namespace
