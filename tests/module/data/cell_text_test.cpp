// The value-to-text rules of the record set and the error-code meanings.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <limits>

#include "platform/ATLComTime.h"
#include "test_support.h"

namespace {

VARIANT Make(VARTYPE vt) {
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    return v;
}

struct TextCase {
    const char* label;
    VARIANT value;
    const char* expected;
};

DECIMAL Decimal(ULONGLONG mantissa, BYTE scale, bool negative) {
    DECIMAL d{};
    d.Lo64 = mantissa;
    d.scale = scale;
    d.sign = negative ? DECIMAL_NEG : 0;
    return d;
}

TEST(CellText, ConvertsEachListedTypeTag) {
    std::vector<TextCase> cases;
    auto add = [&](const char* label, VARIANT v, const char* expected) {
        cases.push_back({label, v, expected});
    };
    add("empty", Make(VT_EMPTY), "");
    add("null", Make(VT_NULL), "");
    {
        VARIANT v = Make(VT_I2);
        v.iVal = -32768;
        add("i2", v, "-32768");
    }
    {
        VARIANT v = Make(VT_UI1);
        v.bVal = 255;
        add("ui1", v, "255");
    }
    {
        VARIANT v = Make(VT_I4);
        v.lVal = -2147483647 - 1;
        add("i4", v, "-2147483648");
    }
    {
        VARIANT v = Make(VT_INT);
        v.intVal = 42;
        add("int", v, "42");
    }
    {
        VARIANT v = Make(VT_UI4);
        v.ulVal = 4000000000u;
        add("ui4", v, "4000000000");
    }
    {
        VARIANT v = Make(VT_I8);
        v.llVal = -9007199254740993LL;
        add("i8 gives its digits", v, "-9007199254740993");
    }
    {
        VARIANT v = Make(VT_I8);
        v.llVal = -9223372036854775807LL - 1;
        add("i8 lowest", v, "-9223372036854775808");
    }
    {
        VARIANT v = Make(VT_UI8);
        v.ullVal = 18446744073709551615ULL;
        add("ui8 gives its digits", v, "18446744073709551615");
    }
    {
        VARIANT v = Make(VT_R4);
        v.fltVal = 0.5f;
        add("r4", v, "0.5");
    }
    {
        VARIANT v = Make(VT_R8);
        v.dblVal = 1234567.0;
        add("r8 large keeps its digits", v, "1234567");
    }
    {
        VARIANT v = Make(VT_R8);
        v.dblVal = 0.5;
        add("r8 half", v, "0.5");
    }
    {
        VARIANT v = Make(VT_DECIMAL);
        v.decVal = Decimal(1234, 2, true);
        v.vt = VT_DECIMAL;
        add("decimal negative", v, "-12.34");
    }
    {
        VARIANT v = Make(VT_DECIMAL);
        v.decVal = Decimal(5, 0, false);
        v.decVal.Hi32 = 1;
        v.vt = VT_DECIMAL;
        add("decimal 96-bit keeps its digits", v, "18446744073709551621");
    }
    {
        VARIANT v = Make(VT_DATE);
        v.date = COleDateTime(2024, 1, 31, 13, 5, 9).m_dt;
        add("date", v, "2024-01-31 13:05:09");
    }
    {
        VARIANT v = Make(VT_DATE);
        v.date = -1.25;
        add("date before 1899-12-30", v, "1899-12-29 06:00:00");
    }
    {
        VARIANT v = Make(VT_BOOL);
        v.boolVal = VARIANT_TRUE;
        add("bool true", v, "T");
    }
    {
        VARIANT v = Make(VT_BOOL);
        v.boolVal = VARIANT_FALSE;
        add("bool false", v, "F");
    }
    {
        VARIANT v = Make(VT_BOOL);
        v.boolVal = 1;
        add("bool other", v, "F");
    }
    for (const auto& c : cases) {
        CString text = _T("unchanged");
        EXPECT_TRUE(ValueToCellText(c.value, text)) << c.label;
        EXPECT_EQ(Utf8(text), c.expected) << c.label;
    }
}

// Numbers keep the "%g" text where it reads back as the stored value, and otherwise get the
// digits they need: never a silently rounded value.
TEST(CellText, NumbersNeverLoseDigits) {
    struct RealCase {
        double value;
        const char* expected;
    };
    const RealCase doubles[] = {
        {0.5, "0.5"},
        {1e+20, "1e+20"},
        {-2.5e-7, "-2.5e-07"},
        {100000, "100000"},
        {1000000, "1e+06"},
        {0.0, "0"},
        {12.25, "12.25"},
        {9999999999.99, "9999999999.99"},
        {0.1234567891, "0.1234567891"},
        {1234567.89, "1234567.89"},
        {0.1, "0.1"},
        {1.0 / 3.0, "0.3333333333333333"},
        {123456789012345678.0, "1.2345678901234568e+17"},
        {1.2345678901234567e+20, "1.2345678901234567e+20"},
        {5e-324, "4.94066e-324"},
        {-0.0, "-0"},
        {12499.875, "12499.875"},
        {123456.5, "123456.5"},
        {0.000123456, "0.000123456"},
        {-1.5e-5, "-1.5e-05"},
        {HUGE_VAL, "inf"},
        {-HUGE_VAL, "-inf"},
    };
    for (const auto& c : doubles) {
        VARIANT v = Make(VT_R8);
        v.dblVal = c.value;
        CString text;
        ASSERT_TRUE(ValueToCellText(v, text));
        EXPECT_EQ(Utf8(text), c.expected) << c.expected;
    }
    const RealCase floats[] = {
        {0.1f, "0.1"},
        {16777216.0f, "16777216"},
        {16777215.0f, "16777215"},
        {3.14159274f, "3.1415927"},
        {0.123456789f, "0.12345679"},
        {1e10f, "1e+10"},
    };
    for (const auto& c : floats) {
        VARIANT v = Make(VT_R4);
        v.fltVal = static_cast<float>(c.value);
        CString text;
        ASSERT_TRUE(ValueToCellText(v, text));
        EXPECT_EQ(Utf8(text), c.expected) << c.expected;
    }
    struct DecimalCase {
        ULONGLONG mantissa;
        ULONG hi;
        BYTE scale;
        bool negative;
        const char* expected;
    };
    const DecimalCase decimals[] = {
        {999999999999ULL, 0, 2, false, "9999999999.99"},
        {123456789ULL, 0, 2, false, "1234567.89"},
        {1250, 0, 2, false, "12.5"},
        {1234, 0, 2, true, "-12.34"},
        {5, 0, 1, false, "0.5"},
        {0, 0, 2, true, "0"},
        {1, 0, 28, false, "1e-28"},
        {12345678901ULL, 0, 10, false, "1.2345678901"},
        {1000000, 0, 0, false, "1e+06"},
        {1000001, 0, 0, true, "-1000001"},
        {7, 0, 9, true, "-7e-09"},
        {0xFFFFFFFFFFFFFFFFULL, 0xFFFFFFFF, 0, false, "79228162514264337593543950335"},
        {0xFFFFFFFFFFFFFFFFULL, 0xFFFFFFFF, 28, false, "7.9228162514264337593543950335"},
    };
    for (const auto& c : decimals) {
        VARIANT v = Make(VT_DECIMAL);
        v.decVal = Decimal(c.mantissa, c.scale, c.negative);
        v.decVal.Hi32 = c.hi;
        v.vt = VT_DECIMAL;
        CString text;
        ASSERT_TRUE(ValueToCellText(v, text));
        EXPECT_EQ(Utf8(text), c.expected) << c.expected;
    }
}

TEST(CellText, TextKeepsNonAsciiLettersInBothBuilds) {
    struct Case {
        std::u16string value;
        const char* expected;  // UTF-8; a lone surrogate reads as U+FFFD
    };
    const std::vector<Case> cases = {
        {u"Kühlwasserpumpe Ø 180 — Резервуар", "Kühlwasserpumpe Ø 180 — Резервуар"},
        {u"", ""},
        // Three bytes for every unit, the most a 1-byte text grows by.
        {u"€€€€€€€€", "€€€€€€€€"},
        {u"a😀b😀", "a😀b😀"},
        {std::u16string(u"x") + char16_t(0xD83D), "x\xEF\xBF\xBD"},
        {std::u16string(1, char16_t(0xDE00)) + u"y", "\xEF\xBF\xBDy"},
        {std::u16string(1, char16_t(0xD83D)) + char16_t(0xD83D) + char16_t(0xDE00),
         "\xEF\xBF\xBD😀"},
    };
    for (const Case& c : cases) {
        _variant_t v(_bstr_t(std::u16string_view(c.value)));
        CString text = _T("previous text, longer than some of the cases");
        ASSERT_TRUE(ValueToCellText(v, text));
        EXPECT_EQ(Utf8(text), c.expected);
        if constexpr (sizeof(TCHAR) == 1) {
            EXPECT_EQ(static_cast<std::size_t>(text.GetLength()), std::strlen(c.expected));
        } else {
            EXPECT_EQ(static_cast<std::size_t>(text.GetLength()), c.value.size());
        }
    }
}

TEST(CellText, DateUsesTheGivenFormat) {
    VARIANT v = Make(VT_DATE);
    v.date = COleDateTime(2024, 1, 31, 13, 5, 9).m_dt;
    CString text;
    ASSERT_TRUE(ValueToCellText(v, text, _T("%d.%m.%Y")));
    EXPECT_EQ(Utf8(text), "31.01.2024");
}

// The rule for reals, written plainly with printf: "%g" when it reads back, else the shortest
// digits that read back, laid out by "%g" with that many digits (at least six), else those
// digits in scientific form.
template <class Real>
std::string PlainRealText(Real value) {
    const auto readsBack = [value](const char* text) {
        char* end = nullptr;
        const Real back = sizeof(Real) == 4 ? static_cast<Real>(std::strtof(text, &end))
                                            : static_cast<Real>(std::strtod(text, &end));
        return *end == 0 && back == value;
    };
    char g[64];
    std::snprintf(g, sizeof g, "%g", static_cast<double>(value));
    if (!std::isfinite(value) || readsBack(g))
        return g;
    char shortest[64];
    *std::to_chars(shortest, shortest + 63, value, std::chars_format::scientific).ptr = 0;
    int digits = 0;
    for (const char* p = shortest; *p && *p != 'e'; ++p)
        digits += *p >= '0' && *p <= '9';
    std::snprintf(g, sizeof g, "%.*g", std::max(digits, 6), static_cast<double>(value));
    return readsBack(g) ? g : shortest;
}

TEST(CellText, RealsFollowThePlainRuleOverTheirWholeRange) {
    std::vector<double> doubles = {0.0,
                                   -0.0,
                                   0.5,
                                   1234567.0,
                                   1e-4,
                                   1e-5,
                                   123456.0,
                                   999999.5,
                                   100000.0,
                                   1e6,
                                   1.5e6,
                                   9999999999.99,
                                   12345.125,
                                   1e300,
                                   -1e-300,
                                   std::numeric_limits<double>::min(),
                                   std::numeric_limits<double>::denorm_min(),
                                   std::numeric_limits<double>::max(),
                                   4.94e-320};
    for (int e = -1074; e <= 1023; ++e) {
        doubles.push_back(std::ldexp(1.0, e));
        doubles.push_back(std::nextafter(std::ldexp(1.0, e), 0.0));
    }
    for (int e = -320; e <= 308; ++e)
        doubles.push_back(std::pow(10.0, e));
    for (int i = 0; i < 20000; ++i) {
        doubles.push_back(i * 0.125);
        doubles.push_back((i % 1000) * 1.75 - 300);
        doubles.push_back(i / 1000.0);
    }
    std::uint64_t seed = 0x9E3779B97F4A7C15ull;  // fixed, so a failure repeats
    for (int i = 0; i < 100000; ++i) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        double d;
        std::memcpy(&d, &seed, sizeof d);
        if (std::isfinite(d))
            doubles.push_back(d);
        float f;
        const auto bits = static_cast<std::uint32_t>(seed >> 32);
        std::memcpy(&f, &bits, sizeof f);
        if (std::isfinite(f))
            doubles.push_back(static_cast<double>(f));  // also checked as a float below
    }
    int failures = 0;
    CString text;
    for (double d : doubles) {
        VARIANT v = Make(VT_R8);
        v.dblVal = d;
        ASSERT_TRUE(ValueToCellText(v, text));
        if (Utf8(text) != PlainRealText(d) && ++failures < 10)
            ADD_FAILURE() << "double " << PlainRealText(d) << " gave " << Utf8(text);
        const auto f = static_cast<float>(d);
        if (!std::isfinite(f))
            continue;
        v = Make(VT_R4);
        v.fltVal = f;
        ASSERT_TRUE(ValueToCellText(v, text));
        if (Utf8(text) != PlainRealText(f) && ++failures < 10)
            ADD_FAILURE() << "float " << PlainRealText(f) << " gave " << Utf8(text);
    }
    EXPECT_EQ(failures, 0);
}

TEST(CellText, DefaultDateTextIsStrftimesOverTheWholeRange) {
    CString text;
    // Every 13.37 days from the year 100 to 9999, at changing times of day.
    for (double date = COleDateTime::kMin; date <= COleDateTime::kMax; date += 13.37) {
        VARIANT v = Make(VT_DATE);
        v.date = date;
        ASSERT_TRUE(ValueToCellText(v, text));
        std::tm parts{};
        ASSERT_TRUE(COleDateTime(date).GetAsTm(parts));
        char expected[64];
        std::strftime(expected, sizeof expected, "%Y-%m-%d %H:%M:%S", &parts);
        ASSERT_EQ(Utf8(text), expected) << date;
    }
    VARIANT invalid = Make(VT_DATE);
    invalid.date = COleDateTime::kMax + 1;
    text = _T("before");
    ASSERT_TRUE(ValueToCellText(invalid, text));
    EXPECT_EQ(Utf8(text), "");
}

TEST(CellText, ValuesWithoutTextFormLeaveTheTextUnchanged) {
    _variant_t binary;
    binary.parray = SafeArrayCreateVector(VT_UI1, 0, 4);
    binary.vt = VT_ARRAY | VT_UI1;
    VARIANT i1 = Make(VT_I1);
    VARIANT error = Make(VT_ERROR);
    for (const VARIANT* v : std::vector<const VARIANT*>{&binary, &i1, &error}) {
        CString text = _T("keep");
        EXPECT_FALSE(ValueToCellText(*v, text)) << v->vt;
        EXPECT_EQ(Utf8(text), "keep");
    }
}

TEST(CellText, CurrencyFallsBackToFixedNotationWithoutALocaleCurrency) {
    // The test environment runs in the C locale family, which defines no currency format.
    VARIANT v = Make(VT_CY);
    v.cyVal.int64 = 123456789;  // 12345.6789
    CString text;
    ASSERT_TRUE(ValueToCellText(v, text));
    char expected[32];
    std::snprintf(expected, sizeof expected, "%f", 12345.6789);
    EXPECT_EQ(Utf8(text), expected);
}

TEST(ErrorMeaning, UsesSystemTextsThenDispatchNumbersThenUnknown) {
    const struct {
        std::uint32_t code;
        const char* meaning;
    } cases[] = {
        {0x80004005u, "Unspecified error"},        {0x80004003u, "Invalid pointer"},
        {0x80040205u, "IDispatch error #5"},       {0x80040E14u, "IDispatch error #3092"},
        {0x80040200u, "Unknown error 0x80040200"}, {0x800A0CC1u, "Unknown error 0x800A0CC1"},
        {0x80050000u, "Unknown error 0x80050000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8(DescribeErrorCode(static_cast<HRESULT>(c.code))), c.meaning)
            << std::hex << c.code;
    }
}

}  // namespace
