// The online resources in both builds: the update check against a real HTTP server on
// 127.0.0.1, the version comparison and the update list's key, the vendor addresses, the help
// file's place, the support mail and the operating-system description of version records.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "dialogs/probed_input.h"
#include "host/base/report.h"
#include "http_server.h"
#include "module_fixture.h"
#include "online/DemoDialog.h"
#include "online/LiveUpdateDlg.h"
#include "online/OnlineResources.h"
#include "platform/acdocman.h"
#include "platform/acrxapp.h"

namespace {

namespace fs = std::filesystem;

std::string Utf8(const CString& text) {
    return qv::ToUtf8(text.GetString());
}

// Sets an environment value for the life of the object (unset: removed).
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

// ---- Version comparison and the update list -----------------------------------------------

TEST(IsVersionCurrent, ComparesPartByPartUpToTheShorterList) {
    const struct {
        const char* published;
        bool current;
    } cases[] = {
        {"2.6.0.0", true},  {"2.6.1", false},       {"2.5.9.9", true},
        {"3", false},       {"2.6.0.0.7", true},    {"2.6.x.0", true},
        {"2.6.1.0", false}, {"2.7.0.0", false},     {"l:2.7", true},
        {"", true},         {"2..1", true},         {" 2.6.0.1", false},
        {"-3.0", true},     {"99999999999", false}, {"2.6.0.0a", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CLiveUpdateDlg::IsVersionCurrent(Txt(c.published)), c.current) << c.published;
}

TEST(FindPublishedVersion, LastMatchingLineWinsKeyIgnoresCase) {
    const CString key = Txt("acad*quarvel:");
    const struct {
        std::vector<const char*> lines;
        const char* version;
    } cases[] = {
        {{"ACAD*QUARVEL: 2.7.0.0 "}, "2.7.0.0"},
        {{"acad*quarvel:2.5.0.0", "acad*quarvel:2.7.0.0"}, "2.7.0.0"},
        {{"acadlt*quarvel:9.0.0.0"}, ""},
        {{"x acad*quarvel:2.7"}, "l:2.7"},
        {{"ACAD*Other:3.0.0.0", "ACAD*Quarvel:2.6.1.0", "ACADLT*Quarvel:4.0"}, "2.6.1.0"},
        {{}, ""},
    };
    for (const auto& c : cases) {
        CStringArray lines;
        for (const char* line : c.lines)
            lines.Add(Txt(line));
        EXPECT_EQ(Utf8(CLiveUpdateDlg::FindPublishedVersion(key, lines)), c.version);
    }
}

// ---- The update check against a server ------------------------------------------------------

class LiveUpdateTest : public DrawingTest {
protected:
    void SetUp() override {
        DrawingTest::SetUp();
        host::SetErrorCapture(&m_errors);
        m_www = fs::path(testing::TempDir()) / ("quarvel_www_" + std::to_string(getpid()));
        fs::remove_all(m_www);
        fs::create_directories(m_www / "updatelist");
    }
    void TearDown() override {
        fs::remove_all(m_www);
        host::SetErrorCapture(nullptr);
        DrawingTest::TearDown();
    }
    void Publish(const std::string& text) {
        std::ofstream(m_www / "updatelist" / "checkforupdate.txt", std::ios::binary) << text;
    }

    struct Shown {
        std::string status;
        bool linkShown = false;
        bool checkEnabled = false;
        std::string linkText;
    };
    // Runs the dialog, presses "Check up" and reads what it shows then.
    Shown Check(const std::string& site) {
        ScopedEnv env("QUARVEL_VENDOR_SITE", site.c_str());
        ScopedEnv limit("QUARVEL_HTTP_TIMEOUT", "2");
        CLiveUpdateDlg dialog;
        Shown shown;
        ProbedInput input;
        input.lines = {"@click 214", "!probe", "@ok"};
        input.probes = {[&] {
            CString text;
            dialog.GetDlgItemText(211, text);
            shown.status = Utf8(text);
            CWnd* link = dialog.GetDlgItem(3556);
            shown.linkShown = link && link->IsWindowVisible();
            CWnd* check = dialog.GetDlgItem(214);
            shown.checkEnabled = check && check->IsWindowEnabled();
            if (link) {
                CString linkText;
                shown.linkText = Utf8(static_cast<CHyperlink*>(link)->GetLinkText());
            }
        }};
        host::ScopedInput scoped(input);
        acDocManager->pushResourceHandle(acrxGetApp()->ResourceInstance());
        dialog.DoModal();
        acDocManager->popResourceHandle();
        return shown;
    }

    fs::path m_www;
    std::string m_errors;
};

TEST_F(LiveUpdateTest, PublishedVersionsGiveTheirStatusAndLink) {
    testsupport::HttpServer server(testsupport::HttpServer::Mode::Files, m_www);
    ASSERT_TRUE(server.Started());
    const struct {
        const char* list;
        const char* status;
        bool link;
    } cases[] = {
        {"ACAD*Other:9.9.9.9\nACAD*Quarvel:2.6.1.0\n",
         "The new version 2.6.1.0 is available.\nPlease download the new version by visiting",
         true},
        {"ACAD*Quarvel:2.6.0.0\r\n", "Quarvel version is current and up-to-date.", false},
        {"ACAD*Quarvel:2.5.9.9", "Quarvel version is current and up-to-date.", false},
        {"", "Quarvel version is current and up-to-date.", false},
        {"acadlt*quarvel:9.0.0.0\n", "Quarvel version is current and up-to-date.", false},
    };
    for (const auto& c : cases) {
        Publish(c.list);
        const Shown shown = Check(server.Site());
        EXPECT_EQ(shown.status, c.status) << c.list;
        EXPECT_EQ(shown.linkShown, c.link) << c.list;
        EXPECT_TRUE(shown.checkEnabled);
        EXPECT_EQ(shown.linkText, server.Site() + "/download");
    }
    EXPECT_EQ(m_errors, "");
    ASSERT_FALSE(server.Requests().empty());
    EXPECT_EQ(server.Requests().front(), "GET /updatelist/checkforupdate.txt HTTP/1.1");
}

TEST_F(LiveUpdateTest, LoopbackServersAreReachedPastTheEnvironmentsProxy) {
    testsupport::HttpServer server(testsupport::HttpServer::Mode::Files, m_www);
    const std::string deadProxy =
        "http://127.0.0.1:" + std::to_string(testsupport::HttpServer::UnusedPort());
    ScopedEnv proxy("http_proxy", deadProxy.c_str());
    Publish("ACAD*Quarvel:2.7.0.0\n");
    const Shown shown = Check(server.Site());
    EXPECT_EQ(shown.status,
              "The new version 2.7.0.0 is available.\nPlease download the new version by visiting");
    EXPECT_TRUE(shown.linkShown);
}

TEST_F(LiveUpdateTest, MissingDocumentGivesTheStatusCodeWithoutErrorBox) {
    testsupport::HttpServer server(testsupport::HttpServer::Mode::Files, m_www / "nothing");
    const Shown shown = Check(server.Site());
    EXPECT_EQ(shown.status, "Network connection failed: 404.");
    EXPECT_FALSE(shown.linkShown);
    EXPECT_EQ(m_errors, "");
}

TEST_F(LiveUpdateTest, RefusedConnectionShowsTheErrorBox) {
    const int port = testsupport::HttpServer::UnusedPort();
    const Shown shown = Check("http://127.0.0.1:" + std::to_string(port));
    EXPECT_EQ(shown.status, "Network connection failed.");
    EXPECT_FALSE(shown.linkShown);
    EXPECT_TRUE(shown.checkEnabled);
    EXPECT_NE(m_output.find("A connection with the server could not be established (127.0.0.1 "
                            "port " +
                            std::to_string(port) + ")."),
              std::string::npos)
        << m_output;
}

TEST_F(LiveUpdateTest, ServerThatNeverAnswersEndsAtTheTimeLimit) {
    testsupport::HttpServer server(testsupport::HttpServer::Mode::Silent);
    const auto start = std::chrono::steady_clock::now();
    const Shown shown = Check(server.Site());
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(shown.status, "Network connection failed.");
    EXPECT_NE(m_output.find("The server did not answer in time"), std::string::npos) << m_output;
    // The limit is 2 s here; far less than the minutes a dead server could otherwise hold it.
    EXPECT_LT(took, std::chrono::seconds(30));
}

// ---- Vendor addresses --------------------------------------------------------------------------

TEST(VendorSite, EnvironmentReplacesTheBuiltInAddressWhenWellFormed) {
    const struct {
        const char* value;
        const char* site;
        const char* host;
        int port;
    } cases[] = {
        {nullptr, "http://www.morvane.example", "www.morvane.example", 0},
        {"http://127.0.0.1:8123", "http://127.0.0.1:8123", "127.0.0.1", 8123},
        {"HTTP://example.org/", "HTTP://example.org", "example.org", 0},
        {"ftp://example.org", "http://www.morvane.example", "www.morvane.example", 0},
        {"http://example.org:99999", "http://www.morvane.example", "www.morvane.example", 0},
        {"http://exa mple.org", "http://www.morvane.example", "www.morvane.example", 0},
        {"http://example.org/sub", "http://www.morvane.example", "www.morvane.example", 0},
    };
    for (const auto& c : cases) {
        ScopedEnv env("QUARVEL_VENDOR_SITE", c.value);
        const CString site = GetVendorSite();
        EXPECT_EQ(Utf8(site), c.site) << (c.value ? c.value : "(unset)");
        CString host;
        WORD port = 0;
        ASSERT_TRUE(SplitSiteAddress(site, host, port));
        EXPECT_EQ(Utf8(host), c.host);
        EXPECT_EQ(port, c.port);
    }
}

TEST(VendorSite, PagesCarryTheLowerCaseProductTag) {
    ScopedEnv env("QUARVEL_VENDOR_SITE", "http://vendor.test:81");
    EXPECT_EQ(Utf8(VendorPageAddress(_T("faq"))),
              "http://vendor.test:81/redirect.php?page=faq&product=quarv");
    EXPECT_EQ(Utf8(VendorPageAddress(_T("whatsnew"))),
              "http://vendor.test:81/redirect.php?page=whatsnew&product=quarv");
    EXPECT_EQ(Utf8(VendorPageAddress(_T("demo"))),
              "http://vendor.test:81/redirect.php?page=demo&product=quarv");
    EXPECT_EQ(Utf8(DownloadPageAddress()), "http://vendor.test:81/download");
}

TEST(SupportAddress, EnvironmentReplacesItWhenItIsAnAddress) {
    const struct {
        const char* value;
        const char* address;
    } cases[] = {
        {nullptr, "support@morvane.example"},
        {"help@example.org", "help@example.org"},
        {"help@example.org?cc=x@y", "support@morvane.example"},
        {"no-at-sign", "support@morvane.example"},
        {"a b@example.org", "support@morvane.example"},
    };
    for (const auto& c : cases) {
        ScopedEnv env("QUARVEL_SUPPORT_MAIL", c.value);
        EXPECT_EQ(Utf8(GetSupportAddress()), c.address);
    }
}

// ---- Help file, support mail, system description -----------------------------------------

TEST(HelpFile, LiesBesideTheModuleWithOneSeparator) {
    EXPECT_EQ(Utf8(HelpFilePathBeside(Txt("C:\\Tools\\Quarvel16.arx"))), "C:\\Tools\\Quarvel.chm");
    EXPECT_EQ(Utf8(HelpFilePathBeside(Txt("D:\\Quarvel16.arx"))), "D:\\Quarvel.chm");
    EXPECT_EQ(Utf8(HelpFilePathBeside(Txt("/opt/quarvel/Quarvel17.so"))),
              "/opt/quarvel/Quarvel.chm");
    EXPECT_EQ(Utf8(HelpFilePathBeside(Txt("/Quarvel17.so"))), "/Quarvel.chm");
}

TEST(SupportMail, BodyNamesSystemReleaseProductAndVersion) {
    const std::string mail = Utf8(ComposeSupportMail(
        Txt("support@morvane.example"), Txt("Debian 12 Linux 6.1 x86_64 "), Txt("R17.0")));
    EXPECT_EQ(mail,
              "mailto:support@morvane.example?body= Please provide the following info to help us "
              "troubleshooting. Thanks. %0a%0d Operation System: Debian 12 Linux 6.1 x86_64  "
              "%0a%0d CAD Platform Version: R17.0 %0a%0d Product: Quarvel %0a%0d Product "
              "Version: 2.6.0.0 %0a%0d Problem Description: (Step by Step) %0a%0d "
              "Screenshot(s): (Optional) %0a%0d Please attach sample files (.dwg and/or .xls) to "
              "help us troubleshooting if applicable. %0a%0d We will working on your problem and "
              "give you answers ASAP.");
}

TEST(SupportMail, SubstitutedTextsCannotBreakTheAddress) {
    const std::string mail = Utf8(ComposeSupportMail(
        Txt("s@x"), Txt("Microsoft Windows XP SP2 (Build 2600)\n"), Txt("R16.1 #5 & 100%\tok")));
    EXPECT_NE(mail.find("Operation System: Microsoft Windows XP SP2 (Build 2600) %0a%0d"),
              std::string::npos)
        << mail;
    EXPECT_NE(mail.find("CAD Platform Version: R16.1 %235 %26 100%25%09ok %0a%0d"),
              std::string::npos)
        << mail;
    EXPECT_EQ(mail.find('\n'), std::string::npos);
}

OSVERSIONINFOEX Record(DWORD platform, DWORD major, DWORD minor, DWORD build, const char* sp,
                       BYTE productType = 0, WORD suite = 0) {
    OSVERSIONINFOEX info{};
    info.dwOSVersionInfoSize = sizeof info;
    info.dwPlatformId = platform;
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    info.dwBuildNumber = build;
    const CString text = Txt(sp);
    for (int i = 0; i < text.GetLength() && i < 127; ++i)
        info.szCSDVersion[i] = text[i];
    info.wProductType = productType;
    info.wSuiteMask = suite;
    return info;
}

CString g_productType;
CString ProductType() {
    return g_productType;
}

TEST(SystemDescription, VersionRecordsByThePlatformsRules) {
    const struct {
        OSVERSIONINFOEX info;
        bool extended;
        const char* productType;
        const char* text;
    } cases[] = {
        {Record(0, 3, 1, 0, ""), true, "", "Microsoft Win32s "},
        {Record(1, 4, 0, 950, " C"), true, "", "Microsoft Windows 95 OSR2 "},
        {Record(1, 4, 0, 950, " B"), true, "", "Microsoft Windows 95 OSR2 "},
        {Record(1, 4, 0, 950, ""), true, "", "Microsoft Windows 95 "},
        {Record(1, 4, 10, 2222, " A "), true, "", "Microsoft Windows 98 SE "},
        {Record(1, 4, 90, 3000, ""), true, "", "Microsoft Windows Me "},
        {Record(1, 5, 0, 0, ""), true, "", ""},
        {Record(2, 5, 1, 0x0A280A28, "Service Pack 2", 1, 0), true, "",
         "Microsoft Windows XP Professional Service Pack 2 (Build 2600)\n"},
        {Record(2, 5, 1, 2600, "Service Pack 1", 1, 0x0200), true, "",
         "Microsoft Windows XP Personal Service Pack 1 (Build 2600)\n"},
        {Record(2, 6, 1, 7601, "Service Pack 1", 1, 0), true, "",
         "Professional Service Pack 1 (Build 7601)\n"},
        {Record(2, 5, 0, 2195, "Service Pack 4", 3, 0x0080), true, "",
         "Microsoft Windows 2000 DataCenter Server Service Pack 4 (Build 2195)\n"},
        {Record(2, 5, 0, 2195, "", 3, 0x0002), true, "",
         "Microsoft Windows 2000 Advanced Server  (Build 2195)\n"},
        {Record(2, 5, 2, 3790, "", 3, 0), true, "", "Server  (Build 3790)\n"},
        {Record(2, 5, 2, 3790, "", 2, 0), true, "", " (Build 3790)\n"},
        {Record(2, 4, 0, 1381, "Service Pack 6"), false, "winnt",
         "Microsoft Windows NT Professional version 4.0 Service Pack 6 (Build 1381)\n"},
        {Record(2, 4, 0, 1381, "Service Pack 6"), false, "LanmanNT",
         "Microsoft Windows NT Server version 4.0 Service Pack 6 (Build 1381)\n"},
        {Record(2, 4, 0, 1381, ""), false, "ServerNT",
         "Microsoft Windows NT Advanced Server version 4.0  (Build 1381)\n"},
        {Record(2, 4, 0, 1381, ""), false, "", "Microsoft Windows NT version 4.0  (Build 1381)\n"},
        {Record(7, 1, 0, 0, ""), true, "", ""},
    };
    for (const auto& c : cases) {
        g_productType = Txt(c.productType);
        EXPECT_EQ(Utf8(DescribeVersionRecord(c.info, c.extended, &ProductType)), c.text);
    }
}

TEST(SystemDescription, RunningSystemInBlankEndedPieces) {
    SYSTEMRELEASEINFO info{};
    std::snprintf(info.szDistribution, sizeof info.szDistribution, "Debian GNU/Linux 12");
    std::snprintf(info.szKernelName, sizeof info.szKernelName, "Linux");
    std::snprintf(info.szKernelRelease, sizeof info.szKernelRelease, "6.1.0-18-amd64");
    std::snprintf(info.szMachine, sizeof info.szMachine, "x86_64");
    EXPECT_EQ(Utf8(DescribeSystemRelease(info)),
              "Debian GNU/Linux 12 Linux 6.1.0-18-amd64 x86_64 ");
    info.szDistribution[0] = '\0';
    EXPECT_EQ(Utf8(DescribeSystemRelease(info)), "Linux 6.1.0-18-amd64 x86_64 ");
    // On this machine: the platform has no version record, so the running system is described.
    const std::string here = Utf8(DescribeWindowsVersion());
    ASSERT_FALSE(here.empty());
    EXPECT_EQ(here.back(), ' ');
    EXPECT_NE(here.find("Linux "), std::string::npos) << here;
}

// ---- Demo window
// ---------------------------------------------------------------------------------

TEST(DemoWindow, CentredOnTheFullScreenAreaWithoutClamping) {
    EXPECT_EQ(CDemoDialog::PlaceWindow(3, 19, 1280, 1000), CRect(168, 179, 168 + 944, 179 + 641));
    const CRect small = CDemoDialog::PlaceWindow(3, 19, 800, 600);
    EXPECT_EQ(small.left, (800 - 944) / 2);
    EXPECT_EQ(small.top, (600 - 641) / 2);
    EXPECT_LT(small.left, 0);
}

}  // namespace
