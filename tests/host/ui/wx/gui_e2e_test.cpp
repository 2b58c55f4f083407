// cadhost --ui gui on scripts: the test module's dialogs as real windows, driven by the
// script's action lines, compared with the headless run of the same script.
#include <gtest/gtest.h>
#include <unistd.h>
#include <wx/image.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>
#include <vector>

#include "host_run.h"
#include "http_server.h"

namespace {

using ProcessRun = testsupport::ProcessResult;

std::string TestName() {
    return testing::UnitTest::GetInstance()->current_test_info()->name();
}

std::string Script(const std::string& suffix, const std::string& text) {
    const std::string path = testing::TempDir() + TestName() + suffix + ".scr";
    testsupport::WriteFile(path, text);
    return path;
}

// Runs cadhost with the test module loaded; `prefix` comes before the command (env ...).
ProcessRun Cadhost(const std::string& args, const std::string& prefix = "") {
    return testsupport::RunProcess(
        {"/bin/sh", "-c", prefix + " " + CADHOST_EXE + " --load " + WX_TEST_MODULE + " " + args},
        testing::TempDir());
}

const char* kSession = R"(WXT_CONTROLS
@show
@set 1001 Bolt M8
@click 1005
@pick 1008 ODBC
@click 1007
@pick 1010 #1
@pick 1011 Nut
@pick 1012 sales.sqlite > Customers
@expand 1012 parts.mdb
@key 1001 Tab
@set 1004 first line
@key 1004 Enter
@menu 1001 Select All
@hover 1013 5,5
@click 1013
@click 1016
Yes
@click 1019
@dblclick 142 0,1
@set 3456 nested
@key 3456 Enter
@ok
@click 1020
3,4
@show
@ok
WXT_COLUMNS
@dblclick 142 0,0
@set 3456 Name
@key 3456 Enter
@dblclick 142 0,2
@set 3456 Stock
@focus 136
@dblclick 142 0,3
@set 3456 dropped
@key 3456 Esc
@show 142
@click 137
{SAVED}
@ok
WXT_CONTROLS
@click 1018
)";

TEST(GuiHost, ScriptGivesTheSameModelStateAsHeadless) {
    const std::string saved = testing::TempDir() + "hostwx_columns";
    std::filesystem::remove(saved + ".txt");
    std::string text = kSession;
    text.replace(text.find("{SAVED}"), 7, saved);
    const std::string script = Script("", text);
    const ProcessRun headless = Cadhost("--script " + script);
    std::filesystem::remove(saved + ".txt");
    const ProcessRun gui = Cadhost("--ui gui --script " + script);
    // A disabled button refuses the click: the script stops there with status 1, in both.
    EXPECT_EQ(headless.status, 1) << headless.err;
    EXPECT_EQ(gui.status, headless.status) << gui.err;
    EXPECT_EQ(gui.out, headless.out);
    EXPECT_EQ(gui.err, headless.err);
    EXPECT_NE(headless.out.find("[answer yes]"), std::string::npos) << headless.out;
    EXPECT_NE(headless.out.find("[link clicked]"), std::string::npos) << headless.out;
    EXPECT_NE(headless.out.find("[cells ||nested|"), std::string::npos) << headless.out;
    EXPECT_NE(headless.out.find("[picked 3,4]"), std::string::npos) << headless.out;
}

TEST(GuiHost, EditedGridIsTheSameInBothToolkits) {
    const std::string saved = testing::TempDir() + "hostwx_grid";
    std::string text = kSession;
    text = text.substr(text.find("WXT_COLUMNS"));
    text = text.substr(0, text.find("WXT_CONTROLS"));
    text.replace(text.find("{SAVED}"), 7, saved);
    const std::string script = Script("", text);
    std::filesystem::remove(saved + ".txt");
    const ProcessRun headless = Cadhost("--script " + script);
    const std::string headlessFile = testsupport::ReadFile(saved + ".txt");
    std::filesystem::remove(saved + ".txt");
    const ProcessRun gui = Cadhost("--ui gui --script " + script);
    ASSERT_EQ(headless.status, 0) << headless.err;
    ASSERT_EQ(gui.status, 0) << gui.err;
    EXPECT_EQ(gui.out, headless.out);
    EXPECT_EQ(testsupport::ReadFile(saved + ".txt"), headlessFile);
    EXPECT_EQ(headlessFile, "Name,,Stock");
    EXPECT_NE(gui.out.find("[cells |Name||Stock|"), std::string::npos) << gui.out;
}

TEST(GuiHost, TheEndOfTheScriptCancelsTheDialog) {
    const ProcessRun gui = Cadhost("--ui gui --script " + Script("", "WXT_COLUMNS\n@show\n"));
    EXPECT_EQ(gui.status, 0) << gui.err;
    EXPECT_NE(gui.out.find("[columns cancel]"), std::string::npos) << gui.out;
}

TEST(GuiHost, WithoutDisplayGuiIsAUsageError) {
    const ProcessRun run =
        Cadhost("--ui gui --script " + Script("", "WXT_COLUMNS\n"), "env -u DISPLAY");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("no display"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("Dialog"), std::string::npos);
}

TEST(GuiHost, UiOptionsAreChecked) {
    EXPECT_EQ(Cadhost("--ui desktop").status, 2);
    const ProcessRun pictures = Cadhost("--dialog-screenshots /tmp/x");
    EXPECT_EQ(pictures.status, 2);
    EXPECT_NE(pictures.err.find("--ui gui"), std::string::npos) << pictures.err;
}

// The first and last column from `x` on a row where the colour changes from the dialog's.
std::pair<int, int> EdgesAround(const wxImage& image, int y, int from, int to) {
    auto differs = [&](int x) {
        const int dr = image.GetRed(x, y) - image.GetRed(0, y);
        const int dg = image.GetGreen(x, y) - image.GetGreen(0, y);
        const int db = image.GetBlue(x, y) - image.GetBlue(0, y);
        return dr * dr + dg * dg + db * db > 300;
    };
    int first = -1, last = -1;
    for (int x = std::max(0, from); x < std::min(image.GetWidth(), to); ++x) {
        if (differs(x)) {
            if (first < 0)
                first = x;
            last = x;
        }
    }
    return {first, last};
}

TEST(GuiHost, PicturesShowTheControlsWhereTheDialogPutsThem) {
    const std::string dir = testing::TempDir() + "hostwx_pictures";
    std::filesystem::remove_all(dir);
    const std::string shot = dir + "/after.png";
    const ProcessRun run = Cadhost("--ui gui --dialog-screenshots " + dir + " --script " +
                                   Script("", "WXT_CONTROLS\n@click 1015\n@screenshot " + shot +
                                                  "\n@ok\nWXT_COLUMNS\n"
                                                  "@cancel\nWXT_COLUMNS\n@cancel\n"));
    ASSERT_EQ(run.status, 0) << run.err;
    // One picture of every dialog as it opened, numbered per template.
    EXPECT_TRUE(std::filesystem::exists(dir + "/2001-1.png"));
    EXPECT_TRUE(std::filesystem::exists(dir + "/WXT_COLUMNS-1.png"));
    EXPECT_TRUE(std::filesystem::exists(dir + "/WXT_COLUMNS-2.png"));

    std::map<int, std::array<int, 4>> rects;
    const std::regex line(R"(\[rect (-?\d+) (-?\d+) (-?\d+) (-?\d+) (-?\d+)\])");
    for (std::sregex_iterator it(run.out.begin(), run.out.end(), line), end; it != end; ++it) {
        rects[std::stoi((*it)[1])] = {std::stoi((*it)[2]), std::stoi((*it)[3]), std::stoi((*it)[4]),
                                      std::stoi((*it)[5])};
    }
    ASSERT_EQ(rects.size(), 4u) << run.out;
    wxImage picture;
    ASSERT_TRUE(picture.LoadFile(shot, wxBITMAP_TYPE_PNG)) << run.out;
    // The marker's red box starts at its window's origin.
    const auto marker = rects[1014];
    EXPECT_EQ(picture.GetRed(marker[0], marker[1]), 255);
    EXPECT_LT(picture.GetGreen(marker[0], marker[1]), 20);
    if (marker[0] > 0) {
        EXPECT_LT(picture.GetRed(marker[0] - 1, marker[1]), 250);
    }
    if (marker[1] > 0) {
        EXPECT_LT(picture.GetRed(marker[0], marker[1] - 1), 250);
    }
    // The OK button's frame lies on its rectangle, within the theme's rounding.
    const auto ok = rects[1];
    const auto [left, right] = EdgesAround(picture, (ok[1] + ok[3]) / 2, ok[0] - 4, ok[2] + 4);
    EXPECT_NEAR(left, ok[0], 2);
    EXPECT_NEAR(right, ok[2] - 1, 2);
}

// With a desktop, addresses go to xdg-open as its one argument, never through a shell: a
// stand-in xdg-open early on the path records what it was given.
TEST(GuiHost, AddressesGoToTheDesktopOpenerAsOneArgument) {
    const std::filesystem::path bin = testing::TempDir() + TestName() + "_bin";
    std::filesystem::create_directories(bin);
    const std::filesystem::path record = bin / "opened.txt";
    std::filesystem::remove(record);
    // One line per start, written at once (the openers run side by side).
    const std::filesystem::path opener = bin / "xdg-open";
    testsupport::WriteFile(
        opener, "#!/bin/sh\nprintf 'argc=%s %s\\n' \"$#\" \"$1\" >> '" + record.string() + "'\n");
    std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
    const ProcessRun run =
        Cadhost("--ui gui --load " QUARVEL17_MODULE " --release 17.0 --script " +
                    Script("", "Quarv_Faq\nQuarv_New\n"),
                "env PATH=" + bin.string() + ":$PATH QUARVEL_VENDOR_SITE=http://a.test:81");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.find("open:"), std::string::npos) << run.out;
    // The openers run on their own; the host does not wait for them.
    std::vector<std::string> lines;
    for (int i = 0; i < 200; ++i) {
        std::istringstream in(testsupport::ReadFile(record));
        lines.clear();
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        if (lines.size() >= 2)
            break;
        usleep(50000);
    }
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "argc=1 http://a.test:81/redirect.php?page=faq&product=quarv",
                         "argc=1 http://a.test:81/redirect.php?page=whatsnew&product=quarv"}));
}

// The demo window's browser pane is a real web view: it shows the module's HTML page first,
// then loads the vendor's demo page from the server, and the script's next line waits for
// the page, as a user would.
TEST(GuiHost, DemoWindowLoadsTheVendorPageInItsBrowser) {
    const std::filesystem::path pages = testing::TempDir() + TestName();
    std::filesystem::create_directories(pages);
    testsupport::HttpServer server(testsupport::HttpServer::Mode::Files, pages);
    ASSERT_TRUE(server.Started());
    const ProcessRun run = Cadhost("--ui gui --load " QUARVEL17_MODULE " --release 17.0 --script " +
                                       Script("", "Quarv_Demo\n@close\n"),
                                   "env QUARVEL_VENDOR_SITE=" + server.Site());
    EXPECT_EQ(run.status, 0) << run.err;
    // Headless runs print the address; the desktop shows the page instead.
    EXPECT_EQ(run.out.find("browser:"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Command: Quarv_Demo"), std::string::npos) << run.out;
    const std::vector<std::string> requests = server.Requests();
    ASSERT_FALSE(requests.empty()) << run.out << run.err;
    EXPECT_EQ(requests.front().rfind("GET /redirect.php?page=demo&product=quarv ", 0), 0u)
        << requests.front();
}

}  // namespace
