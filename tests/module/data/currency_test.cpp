// Currency cells in the user's monetary locale. The locale is chosen before the first currency
// value is formatted (the provider reads the user's locale once), so this runs in its own
// executable.
#include <cstdlib>
#include <filesystem>

#include "test_support.h"

// glibc keeps the search path it parses from LOCPATH for the life of the process; the leak
// checker of sanitizer builds is told so. (Unused in other builds.)
extern "C" const char* __lsan_default_suppressions() {
    return "leak:__argz_add_sep\n";
}

namespace {

TEST(CurrencyCell, UsesTheUsersMonetaryLocale) {
    const std::filesystem::path locale =
        std::filesystem::path(QUARVEL_TEST_LOCALE_DIR) / "de_DE.UTF-8";
    if (!std::filesystem::exists(locale / "LC_MONETARY"))
        GTEST_SKIP() << "no compiled de_DE locale";
    ::setenv("LOCPATH", QUARVEL_TEST_LOCALE_DIR, 1);
    ::unsetenv("LC_ALL");
    ::setenv("LC_MONETARY", "de_DE.UTF-8", 1);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_CY;
    v.cyVal.int64 = 123456789;  // 12345.6789
    CString text;
    ASSERT_TRUE(ValueToCellText(v, text));
    EXPECT_EQ(Utf8(text), "12.345,68 €");
    v.cyVal.int64 = -5000;  // -0.5
    ASSERT_TRUE(ValueToCellText(v, text));
    EXPECT_EQ(Utf8(text), "-0,50 €");
}

}  // namespace
