// The per-user settings store behind the registry functions: an INI file per vendor under the
// user's configuration folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/winreg.h"

namespace fs = std::filesystem;

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_config = fs::path(testing::TempDir()) / ("settings_" + std::to_string(getpid()));
        fs::remove_all(m_config);
        setenv("XDG_CONFIG_HOME", m_config.c_str(), 1);
    }
    void TearDown() override { fs::remove_all(m_config); }

    std::string File() const {
        std::ifstream in(m_config / "Morvane" / "settings.ini", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static LSTATUS SetDword(const char* key, const char* name, DWORD value) {
        HKEY hKey = nullptr;
        LSTATUS status = RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr,
                                         &hKey, nullptr);
        if (status != ERROR_SUCCESS)
            return status;
        status = RegSetValueExA(hKey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                sizeof value);
        RegCloseKey(hKey);
        return status;
    }

    static LSTATUS GetDword(const char* key, const char* name, DWORD& value) {
        HKEY hKey = nullptr;
        LSTATUS status = RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &hKey);
        if (status != ERROR_SUCCESS)
            return status;
        DWORD type = 0, size = sizeof value;
        status =
            RegQueryValueExA(hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(hKey);
        return status == ERROR_SUCCESS && type != REG_DWORD ? ERROR_INVALID_PARAMETER : status;
    }

    fs::path m_config;
};

TEST_F(SettingsStoreTest, ValuesRoundTripThroughTheVendorsFile) {
    ASSERT_EQ(SetDword("Software\\Morvane\\Quarvel", "Connect String Index", 1), ERROR_SUCCESS);
    ASSERT_EQ(SetDword("Software\\Morvane\\Quarvel", "Inc Header", 0), ERROR_SUCCESS);
    ASSERT_EQ(SetDword("Software\\Morvane\\Quarvel", "connect string index", 4294967295u),
              ERROR_SUCCESS);
    DWORD value = 7;
    ASSERT_EQ(GetDword("SOFTWARE\\morvane\\QUARVEL", "Connect String Index", value), ERROR_SUCCESS);
    EXPECT_EQ(value, 4294967295u);  // names and keys ignore case; the value was replaced
    EXPECT_EQ(File(), "[Quarvel]\nConnect String Index=4294967295\nInc Header=0\n");
    struct stat st {};
    ASSERT_EQ(stat((m_config / "Morvane" / "settings.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(SettingsStoreTest, MissingKeysAndValuesReadAsNotFound) {
    DWORD value = 0;
    EXPECT_EQ(GetDword("Software\\Morvane\\Quarvel", "Inc Header", value), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(SetDword("Software\\Morvane\\Quarvel", "Relative Path", 1), ERROR_SUCCESS);
    EXPECT_EQ(GetDword("Software\\Morvane\\Quarvel", "Inc Header", value), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetDword("Software\\Morvane\\Other", "Relative Path", value), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetDword("Software\\Nobody\\Quarvel", "Relative Path", value), ERROR_FILE_NOT_FOUND);
}

TEST_F(SettingsStoreTest, TextsAndHandEditedLinesSurviveAChange) {
    fs::create_directories(m_config / "Morvane");
    std::ofstream(m_config / "Morvane" / "settings.ini")
        << "; written by hand\n[Quarvel]\nInc Header = 1\n\n[Other]\nKept=\"x\"\n";
    HKEY hKey = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Morvane\\Quarvel", 0, nullptr, 0,
                              KEY_WRITE, nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    const char text[] = "C:\\db \"quoted\"";
    ASSERT_EQ(
        RegSetValueExA(hKey, "Last", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text),
        ERROR_SUCCESS);
    char16_t buffer[64] = {};
    DWORD type = 0, size = sizeof buffer;
    ASSERT_EQ(
        RegQueryValueExW(hKey, u"last", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::u16string(buffer), u"C:\\db \"quoted\"");
    DWORD small = 2;
    EXPECT_EQ(
        RegQueryValueExA(hKey, "Last", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &small),
        ERROR_MORE_DATA);
    EXPECT_EQ(small, sizeof text);
    RegCloseKey(hKey);
    DWORD value = 0;
    EXPECT_EQ(GetDword("Software\\Morvane\\Quarvel", "Inc Header", value), ERROR_SUCCESS);
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(File(),
              "; written by hand\n[Quarvel]\nInc Header = 1\nLast=\"C:\\\\db \\\"quoted\\\"\"\n\n"
              "[Other]\nKept=\"x\"\n");
}

TEST_F(SettingsStoreTest, OnlyTheUsersSoftwareKeyIsWritable) {
    HKEY hKey = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Morvane", 0, nullptr, 0, KEY_WRITE,
                              nullptr, &hKey, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\ProductOptions", 0,
                      KEY_READ, &hKey),
        ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SetDword("Environment\\Quarvel", "x", 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(SetDword("Software\\..\\Quarvel", "x", 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(&hKey)), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(fs::exists(m_config));
}

TEST_F(SettingsStoreTest, AFileThatCannotBeReplacedKeepsItsValues) {
    ASSERT_EQ(SetDword("Software\\Morvane\\Quarvel", "Inc Header", 1), ERROR_SUCCESS);
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    fs::permissions(m_config / "Morvane", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(SetDword("Software\\Morvane\\Quarvel", "Inc Header", 0), ERROR_ACCESS_DENIED);
    fs::permissions(m_config / "Morvane", fs::perms::owner_all);
    DWORD value = 0;
    EXPECT_EQ(GetDword("Software\\Morvane\\Quarvel", "Inc Header", value), ERROR_SUCCESS);
    EXPECT_EQ(value, 1u);
}

}  // namespace
