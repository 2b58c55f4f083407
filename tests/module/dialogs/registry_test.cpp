// The module's per-user settings through the registry helpers, in both builds.
#include "dialogs/Registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "module_fixture.h"

namespace {

class RegistryTest : public DrawingTest {
protected:
    void SetUp() override {
        DrawingTest::SetUp();
        m_vendor = CRegistry::GetVendorKey();
        std::filesystem::remove_all(getenv("XDG_CONFIG_HOME"));
    }
    void TearDown() override {
        CRegistry::SetVendorKey(m_vendor);
        std::filesystem::remove_all(getenv("XDG_CONFIG_HOME"));
        DrawingTest::TearDown();
    }
    CString m_vendor;
};

TEST_F(RegistryTest, TheModuleStartsWithItsVendorKey) {
    EXPECT_EQ(qv::ToUtf8(CRegistry::GetVendorKey().View()), "Morvane");
}

TEST_F(RegistryTest, MissingValuesReadAsTheDefaultAndWrittenOnesPersist) {
    EXPECT_EQ(CRegistry::GetInt(QUARVEL_SETTINGS_SECTION, _T("Inc Header"), 1), 1u);
    EXPECT_TRUE(CRegistry::SetInt(QUARVEL_SETTINGS_SECTION, _T("Inc Header"), 0));
    EXPECT_TRUE(CRegistry::SetInt(QUARVEL_SETTINGS_SECTION, _T("Connect String Index"), 3));
    EXPECT_EQ(CRegistry::GetInt(QUARVEL_SETTINGS_SECTION, _T("Inc Header"), 1), 0u);
    EXPECT_EQ(CRegistry::GetInt(QUARVEL_SETTINGS_SECTION, _T("Connect String Index"), 0), 3u);
    const std::filesystem::path file =
        std::filesystem::path(getenv("XDG_CONFIG_HOME")) / "Morvane" / "settings.ini";
    std::ifstream in(file);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "[Quarvel]\nInc Header=0\nConnect String Index=3\n");
}

TEST_F(RegistryTest, WithoutAVendorKeyReadsGiveTheDefaultAndWritesAreSkipped) {
    EXPECT_TRUE(CRegistry::SetInt(QUARVEL_SETTINGS_SECTION, _T("Relative Path"), 1));
    CRegistry::SetVendorKey(CString());
    EXPECT_EQ(CRegistry::GetInt(QUARVEL_SETTINGS_SECTION, _T("Relative Path"), 0), 0u);
    EXPECT_FALSE(CRegistry::SetInt(QUARVEL_SETTINGS_SECTION, _T("Relative Path"), 0));
    CRegistry::SetVendorKey(_T("Morvane"));
    EXPECT_EQ(CRegistry::GetInt(QUARVEL_SETTINGS_SECTION, _T("Relative Path"), 0), 1u);
}

}  // namespace
