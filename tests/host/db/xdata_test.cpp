// Extended data through both text widths: round trip of every kept group code, replacement
// per application, and the limits (255-byte texts, 16 KB per object, registered names,
// balanced braces), which refuse and leave the old data in place.
#include <deque>
#include <string>

#include "fixture.h"
#include "platform/textconv.h"

namespace {

template <class C>
class XData : public DrawingTest {
protected:
    using Rb = resbufT<C>;
    // Texts of the chain's width, kept alive for the test.
    const C* T(const std::string& utf8) {
        texts.push_back(qv::ConvertText<C>(std::string_view(utf8)));
        return texts.back().c_str();
    }
    static std::string U8(const C* s) { return qv::ToUtf8(s); }

    Acad::ErrorStatus Set(Rb* chain) {
        AcDbObject* obj = nullptr;
        EXPECT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForWrite), Acad::eOk);
        const Acad::ErrorStatus es = obj->setXData(chain);
        obj->close();
        acutRelRbT(chain);
        return es;
    }
    Rb* Get(const C* app) {
        AcDbObject* obj = nullptr;
        EXPECT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForRead), Acad::eOk);
        Rb* rb = obj->xData(app);
        obj->close();
        return rb;
    }
    // The (code, value) pairs of an application's data, values as text.
    std::vector<std::string> Dump(const C* app) {
        std::vector<std::string> out;
        Rb* chain = Get(app);
        for (Rb* rb = chain; rb; rb = rb->rbnext) {
            std::string v;
            switch (acutValueKindOf(rb->restype)) {
                case AcutValueKind::Text:
                    v = U8(rb->resval.rstring);
                    break;
                case AcutValueKind::Short:
                    v = std::to_string(rb->resval.rint);
                    break;
                case AcutValueKind::Long:
                    v = std::to_string(rb->resval.rlong);
                    break;
                case AcutValueKind::Real:
                    v = std::to_string(rb->resval.rreal);
                    break;
                case AcutValueKind::Point:
                    v = std::to_string(rb->resval.rpoint[0]) + "," +
                        std::to_string(rb->resval.rpoint[1]) + "," +
                        std::to_string(rb->resval.rpoint[2]);
                    break;
                default:
                    break;
            }
            out.push_back(std::to_string(rb->restype) + " " + v);
        }
        acutRelRbT(chain);
        return out;
    }

    void SetUp() override {
        DrawingTest::SetUp();
        id = AddTable(1, 1);
        acdbRegApp("Database");
        acdbRegApp("4E679C82-0FD2-43e8-8D7F-465BF47E479F");
    }

    AcDbObjectId id;
    std::deque<std::basic_string<C>> texts;  // stable addresses
};

using Widths = ::testing::Types<char, char16_t>;
TYPED_TEST_SUITE(XData, Widths);

TYPED_TEST(XData, EveryKeptGroupRoundTrips) {
    using C = TypeParam;
    const ads_point where = {1.5, -2, 3};
    auto* chain =
        acutBuildListT<C>(1001, this->T("4E679C82-0FD2-43e8-8D7F-465BF47E479F"), 1070, 1, 1002,
                          this->T("{"), 1000, this->T("Umsätze €"), 1002, this->T("}"), 1071,
                          123456789, 1040, 2.5, 1010, where, 1005, this->T("1F"), 1070, -7, 0);
    ASSERT_EQ(this->Set(chain), Acad::eOk);
    const std::vector<std::string> expected = {
        "1001 4E679C82-0FD2-43e8-8D7F-465BF47E479F",
        "1070 1",
        "1002 {",
        "1000 Umsätze €",
        "1002 }",
        "1071 123456789",
        "1040 " + std::to_string(2.5),
        "1010 " + std::to_string(1.5) + "," + std::to_string(-2.0) + "," + std::to_string(3.0),
        "1005 1F",
        "1070 -7"};
    // Looked up ignoring case; the head names the application as registered.
    EXPECT_EQ(this->Dump(this->T("4e679c82-0fd2-43E8-8d7f-465bf47e479f")), expected);
}

TYPED_TEST(XData, LayerBinaryAndOtherPointAndRealCodesKeepTheirValues) {
    using C = TypeParam;
    const ads_point p1 = {1, 2, 3}, p2 = {4, 5, 6}, p3 = {0, 0, 1};
    auto* chain = acutBuildListT<C>(1001, this->T("Database"), 1003, this->T("Walls"), 1011, p1,
                                    1012, p2, 1013, p3, 1041, 7.25, 1042, 0.5, 0);
    // A binary chunk (the list builder takes no binary values).
    auto* bin = acutNewRbT<C>(1004);
    bin->resval.rbinary.clen = 3;
    bin->resval.rbinary.buf = new char[3]{'\x01', '\x00', '\x7F'};
    auto* tail = chain;
    while (tail->rbnext)
        tail = tail->rbnext;
    tail->rbnext = bin;
    ASSERT_EQ(this->Set(chain), Acad::eOk);
    resbufT<C>* got = this->Get(this->T("Database"));
    std::vector<int> codes;
    for (auto* rb = got; rb; rb = rb->rbnext)
        codes.push_back(rb->restype);
    EXPECT_EQ(codes, (std::vector<int>{1001, 1003, 1011, 1012, 1013, 1041, 1042, 1004}));
    auto* rb = got->rbnext;
    EXPECT_EQ(this->U8(rb->resval.rstring), "Walls");
    rb = rb->rbnext;
    EXPECT_EQ(rb->resval.rpoint[2], 3);
    rb = rb->rbnext->rbnext->rbnext;
    EXPECT_EQ(rb->resval.rreal, 7.25);
    rb = rb->rbnext->rbnext;
    ASSERT_EQ(rb->resval.rbinary.clen, 3);
    EXPECT_EQ(rb->resval.rbinary.buf[2], '\x7F');
    acutRelRbT(got);
    // A chunk over 127 bytes is refused.
    auto* big = acutBuildListT<C>(1001, this->T("Database"), 0);
    big->rbnext = acutNewRbT<C>(1004);
    big->rbnext->resval.rbinary.clen = 128;
    big->rbnext->resval.rbinary.buf = new char[128]();
    EXPECT_EQ(this->Set(big), Acad::eInvalidResBuf);
}

TYPED_TEST(XData, SetReplacesPerApplicationAndHeadAloneRemoves) {
    using C = TypeParam;
    ASSERT_EQ(this->Set(acutBuildListT<C>(1001, this->T("Database"), 1000, this->T("one"), 1001,
                                          this->T("ACAD"), 1000, this->T("acad data"), 0)),
              Acad::eOk);
    ASSERT_EQ(this->Set(acutBuildListT<C>(1001, this->T("database"), 1000, this->T("two"), 0)),
              Acad::eOk);
    EXPECT_EQ(this->Dump(this->T("Database")),
              (std::vector<std::string>{"1001 Database", "1000 two"}));
    // No name: every application, in the order they were first set.
    EXPECT_EQ(this->Dump(nullptr), (std::vector<std::string>{"1001 Database", "1000 two",
                                                             "1001 ACAD", "1000 acad data"}));
    ASSERT_EQ(this->Set(acutBuildListT<C>(1001, this->T("Database"), 0)), Acad::eOk);
    EXPECT_EQ(this->Get(this->T("Database")), nullptr);
    EXPECT_EQ(this->Dump(nullptr), (std::vector<std::string>{"1001 ACAD", "1000 acad data"}));
}

TYPED_TEST(XData, TextLimitIsCountedInUtf8Bytes) {
    using C = TypeParam;
    std::string euros85, euros86;
    for (int i = 0; i < 85; ++i)
        euros85 += "€";  // three bytes each
    euros86 = euros85 + "€";
    ASSERT_EQ(this->Set(acutBuildListT<C>(1001, this->T("Database"), 1000, this->T(euros85), 0)),
              Acad::eOk);
    EXPECT_EQ(this->Set(acutBuildListT<C>(1001, this->T("Database"), 1000, this->T(euros86), 0)),
              Acad::eStringTooLong);
    // Refused, not cut: the earlier value stays.
    const std::vector<std::string> kept = this->Dump(this->T("Database"));
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[1], "1000 " + euros85);
    EXPECT_EQ(this->Set(acutBuildListT<C>(1001, this->T("Database"), 1000,
                                          this->T(std::string(256, 'a')), 0)),
              Acad::eStringTooLong);
}

struct Refusal {
    const char* name;
    std::vector<std::pair<int, std::string>> groups;  // text groups only
    Acad::ErrorStatus expected;
};

TYPED_TEST(XData, MalformedChainsAreRefusedAndLeaveDataAlone) {
    using C = TypeParam;
    ASSERT_EQ(this->Set(acutBuildListT<C>(1001, this->T("Database"), 1000, this->T("keep"), 0)),
              Acad::eOk);
    const std::vector<Refusal> cases = {
        {"UnregisteredApp", {{1001, "NotRegistered"}, {1000, "x"}}, Acad::eRegappIdNotFound},
        {"OpenBrace", {{1001, "Database"}, {1002, "{"}, {1000, "x"}}, Acad::eInvalidResBuf},
        {"CloseFirst", {{1001, "Database"}, {1002, "}"}, {1002, "{"}}, Acad::eInvalidResBuf},
        {"BraceAcrossApps",
         {{1001, "Database"}, {1002, "{"}, {1001, "ACAD"}, {1002, "}"}},
         Acad::eInvalidResBuf},
        {"NotABrace", {{1001, "Database"}, {1002, "("}}, Acad::eInvalidResBuf},
        {"NoHead", {{1000, "x"}}, Acad::eInvalidResBuf},
        {"BadHandle", {{1001, "Database"}, {1005, "XYZ"}}, Acad::eInvalidResBuf},
        {"NotExtendedData", {{1001, "Database"}, {1, "x"}}, Acad::eInvalidResBuf},
    };
    for (const Refusal& c : cases) {
        resbufT<C>* head = nullptr;
        resbufT<C>* tail = nullptr;
        for (const auto& [code, text] : c.groups) {
            auto* rb = acutNewRbT<C>(code);
            rb->resval.rstring = acutNewStringT<C>(this->T(text));
            (tail ? tail->rbnext : head) = rb;
            tail = rb;
        }
        EXPECT_EQ(this->Set(head), c.expected) << c.name;
        EXPECT_EQ(this->Dump(this->T("Database")),
                  (std::vector<std::string>{"1001 Database", "1000 keep"}))
            << c.name;
    }
}

TYPED_TEST(XData, SixteenKilobytesPerObjectInAll) {
    using C = TypeParam;
    const std::string text(250, 'x');  // 253 bytes as a group
    auto build = [&](const char* app, int count) {
        resbufT<C>* head = acutBuildListT<C>(1001, this->T(app), 0);
        resbufT<C>* tail = head;
        for (int i = 0; i < count; ++i) {
            tail->rbnext = acutBuildListT<C>(1000, this->T(text), 0);
            tail = tail->rbnext;
        }
        return head;
    };
    // 2 + 64 * 253 = 16194 bytes fit; 65 groups (16447 bytes) do not.
    ASSERT_EQ(this->Set(build("Database", 64)), Acad::eOk);
    EXPECT_EQ(this->Set(build("Database", 65)), Acad::eXdataSizeExceeded);
    // The limit covers all applications together.
    EXPECT_EQ(this->Set(build("ACAD", 1)), Acad::eXdataSizeExceeded);
    ASSERT_EQ(this->Set(build("Database", 60)), Acad::eOk);
    EXPECT_EQ(this->Set(build("ACAD", 1)), Acad::eOk);
    EXPECT_LE(host::XDataSize(host::XDataOf(host::ObjectOf(this->id))), host::kXDataLimit);
}

TEST(XDataSize, FollowsTheDocumentedRule) {
    host::XDataApp app{"A", {}};
    host::XDataGroup text;
    text.code = 1000;
    text.text = "abc";
    host::XDataGroup shortInt;
    shortInt.code = 1070;
    host::XDataGroup point;
    point.code = 1010;
    app.groups = {text, shortInt, point};
    EXPECT_EQ(host::XDataSize({app}), 2u + (1 + 2 + 3) + (1 + 2) + (1 + 24));
}

}  // namespace
