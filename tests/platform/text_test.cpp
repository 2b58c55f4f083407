// The text layer: printf-style formatting, conversions and the framework string, both widths.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/CString.h"
#include "platform/printf.h"
#include "platform/textconv.h"

namespace {

template <class C>
std::basic_string<C> T(const char* s) {
    return qv::ConvertText<C>(std::string_view(s));
}

template <class C>
class TextWidth : public ::testing::Test {};
using Widths = ::testing::Types<char, char16_t>;
TYPED_TEST_SUITE(TextWidth, Widths);

TYPED_TEST(TextWidth, FormatsTheConversionsTheModuleUses) {
    using C = TypeParam;
    struct Case {
        std::basic_string<C> got;
        const char* want;
    };
    const std::uint32_t hr = 0x80004005u;
    const Case cases[] = {
        {qv::FormatText(T<C>("%g").c_str(), 1234567.0), "1.23457e+06"},
        {qv::FormatText(T<C>("%g").c_str(), 0.5), "0.5"},
        {qv::FormatText(T<C>("%g").c_str(), 25.0), "25"},
        {qv::FormatText(T<C>("%g").c_str(), 0.0001), "0.0001"},
        {qv::FormatText(T<C>("%08lx").c_str(), hr), "80004005"},
        {qv::FormatText(T<C>("%08lx").c_str(), static_cast<std::int32_t>(0x80040E14)), "80040e14"},
        {qv::FormatText(T<C>("Unknown error 0x%0lX").c_str(), 0x80040200u), "Unknown error 0x80040200"},
        {qv::FormatText(T<C>("%d|%5d|%-3d|").c_str(), -7, 42, 1), "-7|   42|1  |"},
        {qv::FormatText(T<C>("%s and %s").c_str(), "narrow", u"wide"), "narrow and wide"},
        {qv::FormatText(T<C>("%f").c_str(), 12.5), "12.500000"},
        {qv::FormatText(T<C>("100%% %c").c_str(), 'x'), "100% x"},
        {qv::FormatText(T<C>("%I64d").c_str(), static_cast<long long>(1) << 40), "1099511627776"},
        {qv::FormatText(T<C>("%s|%d").c_str(), "only"), "only|"},  // missing argument
        {qv::FormatText(T<C>("%-6s|%3s").c_str(), "äb", "x"), "äb    |  x"},
    };
    for (const auto& c : cases) EXPECT_EQ(qv::ToUtf8(std::basic_string_view<C>(c.got)), c.want);
}

TYPED_TEST(TextWidth, StringOperations) {
    using C = TypeParam;
    using S = CStringT<C>;
    S s(T<C>("  Order Details \t").c_str());
    s.Trim();
    EXPECT_EQ(s.GetLength(), 13);
    EXPECT_EQ(s.Find(T<C>("Det").c_str()), 6);
    EXPECT_EQ(s.Find(C('x')), -1);
    EXPECT_EQ(S(s.Left(5)), S(T<C>("Order").c_str()));
    EXPECT_EQ(S(s.Mid(6)), S(T<C>("Details").c_str()));
    EXPECT_EQ(S(s.Right(3)), S(T<C>("ils").c_str()));
    EXPECT_EQ(S(s.Mid(20)), S());
    EXPECT_EQ(s.CompareNoCase(T<C>("ORDER details").c_str()), 0);
    EXPECT_NE(s.CompareNoCase(T<C>("ORDER detail").c_str()), 0);

    S umlaut(T<C>("UMSÄTZE").c_str());
    EXPECT_EQ(umlaut.CompareNoCase(T<C>("umsätze").c_str()), 0);
    umlaut.MakeLower();
    EXPECT_EQ(umlaut, S(T<C>("umsätze").c_str()));

    S f;
    f.Format(T<C>("\nFailed to open database %s.").c_str(), S(T<C>("/tmp/ä.mdb").c_str()));
    EXPECT_EQ(f, S(T<C>("\nFailed to open database /tmp/ä.mdb.").c_str()));

    S r(T<C>("a,b,,c").c_str());
    EXPECT_EQ(r.Replace(T<C>(",").c_str(), T<C>(";;").c_str()), 3);
    EXPECT_EQ(r, S(T<C>("a;;b;;;;c").c_str()));
    EXPECT_EQ(r.Remove(C(';')), 6);

    int pos = 0;
    S list(T<C>(",x,,y").c_str());
    EXPECT_EQ(list.Tokenize(T<C>(",").c_str(), pos), S(T<C>("x").c_str()));
    EXPECT_EQ(list.Tokenize(T<C>(",").c_str(), pos), S(T<C>("y").c_str()));
    list.Tokenize(T<C>(",").c_str(), pos);
    EXPECT_EQ(pos, -1);
}

TEST(TextConversion, RoundTripsAndRepairsMalformedInput) {
    const std::string text = "Größe 𝄞 Ω";
    EXPECT_EQ(qv::ToUtf8(qv::ToUtf16(text)), text);
    EXPECT_EQ(qv::ToUtf16(std::string_view("\xC3")), u"\uFFFD");  // truncated sequence
    EXPECT_EQ(qv::ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");  // lone surrogate
    EXPECT_EQ(qv::ToUtf16(std::string_view("\xC0\xAF")), u"\uFFFD\uFFFD");     // overlong
}

TEST(TextConversion, StringsConvertBetweenWidths) {
    CStringW w(u"Café");
    CStringA a(w);
    EXPECT_EQ(a.GetLength(), 5);  // bytes in the single-byte build
    EXPECT_EQ(w.GetLength(), 4);  // UTF-16 code units
    EXPECT_EQ(CStringW(a), w);
}

}  // namespace
