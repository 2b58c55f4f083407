#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/session/app_services.h"
#include "host/session/menu_groups.h"
#include "host/ui/ui_sink.h"
#include "module_fixture.h"
#include "online/MenuInstaller.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kVendorGroup = R"(group "Morvane Tools"
menu "Morvane"
    item "Home" "^C^C_HOME "
end
toolbar "Morvane Drawing"
    button "Open" "" "^C^C_OPEN "
end
)";

class MenuInstall : public DrawingTest {
protected:
    void SetUp() override {
        DrawingTest::SetUp();
        m_previousSink = host::SetUiSink(&m_boxes);
        m_release = host::CurrentRelease();
        host::SetRelease({16, 1});
        m_dir = fs::temp_directory_path() /
                ("menu_install_" + std::to_string(getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        host::UnloadMenuGroups();
        host::SetProgramBaseName("acad");
        host::SetRelease(m_release);
        host::SetUiSink(m_previousSink);
        fs::remove_all(m_dir);
        DrawingTest::TearDown();
    }

    host::MenuGroup* Load(const std::string& text, const char* name = "vendor.menu") {
        std::ofstream(m_dir / name) << text;
        std::string error;
        host::MenuGroup* group = host::LoadMenuGroup((m_dir / name).string(), error);
        EXPECT_NE(group, nullptr) << error;
        return group;
    }

    static void Install() { InstallMenusAndToolbars(); }

    std::vector<std::string> Boxes(unsigned icon) const {
        std::vector<std::string> texts;
        for (const auto& box : m_boxes.shown) {
            if ((box.type & MB_ICONMASK) == icon)
                texts.push_back(box.caption + ": " + box.text);
        }
        return texts;
    }

    host::RecordingUiSink m_boxes;
    host::UiSink* m_previousSink = nullptr;
    host::HostRelease m_release;
    fs::path m_dir;
};

// The labels of a menu, one level deep per "  ", with end marks.
void Outline(const host::PopupMenu& menu, int depth, std::string& out) {
    for (const auto& item : menu.items) {
        out += std::string(2 * depth, ' ') + item->label;
        if (item->endSubMenuLevel)
            out += " <" + std::to_string(item->endSubMenuLevel);
        out += "\n";
        if (item->subMenu)
            Outline(*item->subMenu, depth + 1, out);
    }
}

std::string Outline(const host::PopupMenu& menu) {
    std::string out;
    Outline(menu, 0, out);
    return out;
}

TEST_F(MenuInstall, AddsTheSubMenuAndToolbarOnceAndSavesOnlyThen) {
    host::MenuGroup* group = Load(kVendorGroup);
    Install();
    EXPECT_TRUE(m_boxes.shown.empty());
    EXPECT_EQ(Outline(*group->menus[0]), R"(Home
Quarvel
  Create table from database
  Update table
  Table properties
  -
  Quarvel Help
  -
  Demo
  Online Resources
    Morvane Home
    What's New
    FAQ <1
  Support
  Check for Update...
  -
  About... <1
)");
    const host::PopupMenu& quarvel = *group->menus[0]->items[1]->subMenu;
    EXPECT_EQ(quarvel.items[0]->macro, "\x10\x03\x03_DbTable_Create ");
    EXPECT_EQ(quarvel.items[7]->macro, "-");

    ASSERT_EQ(group->toolbars.size(), 2u);
    const host::Toolbar& bar = *group->toolbars[1];
    EXPECT_EQ(bar.name, "Quarvel");
    std::string buttons;
    for (const auto& b : bar.items)
        buttons +=
            (b->kind == host::ToolbarItem::Kind::Separator ? "-" : b->name + " " + b->smallBitmap) +
            "\n";
    EXPECT_EQ(buttons, R"(Create table from database Quarv_CREATETABLE_SMALL.bmp
Update table Quarv_UpdateTable_SMALL.BMP
Table properties Quarv_TableProperty_SMALL.BMP
-
Quarvel Help Quarv_HELP_SMALL.BMP
)");
    EXPECT_EQ(bar.items[4]->largeBitmap, "Quarv_HELP_large.BMP");
    EXPECT_EQ(bar.items[4]->macro, "\x10\x03\x03_Quarv_HELP ");
    EXPECT_FALSE(bar.items[4]->flyout);

    // One save for the menu's one new top-level entry, one for the toolbar; the file holds them.
    EXPECT_EQ(group->saves, 2);
    std::ifstream in(group->path);
    std::stringstream saved;
    saved << in.rdbuf();
    EXPECT_EQ(saved.str(), host::WriteMenuSource(*group));

    Install();
    EXPECT_EQ(group->saves, 2);
    EXPECT_EQ(group->menus[0]->items.size(), 2u);
    EXPECT_EQ(group->toolbars.size(), 2u);
    EXPECT_TRUE(m_boxes.shown.empty());
}

TEST_F(MenuInstall, AnItemOfTheSameLabelInAnyCaseCountsAsTheSubMenu) {
    host::MenuGroup* group = Load(R"(group "Morvane"
menu "Morvane Menu"
    item "QUARVEL" "^C^C_OLD "
end
)");
    Install();
    EXPECT_EQ(Outline(*group->menus[0]), "QUARVEL\n");
    // The toolbar was missing: it is added and saved.
    EXPECT_EQ(group->toolbars.size(), 1u);
    EXPECT_EQ(group->saves, 1);
}

TEST_F(MenuInstall, OnlyTheHostAcadUpToRelease16_1GetsMenus) {
    struct Case {
        host::HostRelease release;
        const char* program;
        bool installs;
    } cases[] = {
        {{16, 0}, "acad", true},  {{16, 1}, "ACAD", true},   {{16, 2}, "acad", false},
        {{17, 0}, "acad", false}, {{16, 1}, "mycad", false}, {{16, 1}, "acad.exe", true},
    };
    for (const Case& c : cases) {
        host::UnloadMenuGroups();
        host::MenuGroup* group = Load(kVendorGroup);
        host::SetRelease(c.release);
        host::SetProgramBaseName(c.program);
        m_boxes.shown.clear();
        Install();
        EXPECT_EQ(group->menus[0]->items.size(), c.installs ? 2u : 1u) << c.program;
        EXPECT_EQ(group->toolbars.size(), c.installs ? 2u : 1u) << c.program;
        EXPECT_EQ(group->saves, c.installs ? 2 : 0) << c.program;
        EXPECT_TRUE(m_boxes.shown.empty()) << c.program;
    }
}

TEST_F(MenuInstall, AMissingGroupOrMenuIsReportedWithItsIcon) {
    Install();
    EXPECT_EQ(Boxes(MB_ICONINFORMATION),
              std::vector<std::string>{"Morvane Quarvel: Menu group could not be found."});
    EXPECT_EQ(Boxes(MB_ICONWARNING),
              std::vector<std::string>{"Morvane Quarvel: Menu group could not be found."});

    // A group without the vendor's pull-down menu: a warning, and the toolbar still comes.
    m_boxes.shown.clear();
    host::MenuGroup* group = Load("group \"Morvane\"\nmenu \"Other\"\nend\n");
    Install();
    EXPECT_TRUE(Boxes(MB_ICONINFORMATION).empty());
    EXPECT_EQ(Boxes(MB_ICONWARNING),
              std::vector<std::string>{"Morvane Quarvel: Menu group could not be found."});
    EXPECT_EQ(group->toolbars.size(), 1u);
    EXPECT_TRUE(group->menus[0]->items.empty());
}

TEST_F(MenuInstall, GroupAndMenuNamesMustContainTheVendorNameInItsCase) {
    Load("group \"MORVANE\"\nmenu \"Morvane\"\nend\n", "a.menu");
    host::MenuGroup* second = Load(
        "group \"The Morvane group\"\nmenu \"morvane\"\nend\n"
        "menu \"Morvane's own\"\nend\n",
        "b.menu");
    Install();
    EXPECT_TRUE(m_boxes.shown.empty());
    EXPECT_TRUE(second->menus[0]->items.empty());
    EXPECT_EQ(second->menus[1]->items.size(), 1u);
    EXPECT_EQ(second->toolbars.size(), 1u);
}

TEST_F(MenuInstall, ListsOfDifferentLengthsAreAScriptErrorOfThatPartOnly) {
    host::MenuGroup* group = Load(kVendorGroup);
    const TCHAR* labels[] = {_T("Quarvel"), _T("->One"), _T("->Two"), _T("\n")};
    const TCHAR* macros[] = {_T("-"), _T("one "), _T("\n")};
    CACADMenu::InstallMenusAndToolbars(labels, macros, CACADMenu::s_buttonNames,
                                       CACADMenu::s_buttonMacros, CACADMenu::s_smallBitmaps,
                                       CACADMenu::s_largeBitmaps);
    EXPECT_EQ(Boxes(MB_ICONINFORMATION),
              std::vector<std::string>{"Morvane Quarvel: Menu script has an error."});
    EXPECT_EQ(group->menus[0]->items.size(), 1u);
    EXPECT_EQ(group->toolbars.size(), 2u);

    // A toolbar list one short: the menu is still installed.
    m_boxes.shown.clear();
    const TCHAR* smalls[] = {_T("a.bmp"), _T("\n")};
    const TCHAR* names[] = {_T("A"), _T("B"), _T("\n")};
    const TCHAR* bmacros[] = {_T("a "), _T("b "), _T("\n")};
    const TCHAR* larges[] = {_T("A.bmp"), _T("B.bmp"), _T("\n")};
    group->toolbars.pop_back();
    CACADMenu::InstallMenusAndToolbars(CACADMenu::s_menuLabels, CACADMenu::s_menuMacros, names,
                                       bmacros, smalls, larges);
    EXPECT_EQ(Boxes(MB_ICONINFORMATION),
              std::vector<std::string>{"Morvane Quarvel: Menu script has an error."});
    EXPECT_EQ(group->menus[0]->items.size(), 2u);
    EXPECT_EQ(group->toolbars.size(), 1u);
}

TEST_F(MenuInstall, EmptyTextsAreSkippedAndEmptyListsInstallNothing) {
    host::MenuGroup* group = Load(kVendorGroup);
    const TCHAR* labels[] = {_T("A"), _T(""), _T("-"), _T("B"), _T("\n")};
    const TCHAR* macros[] = {_T("a "), _T("-"), _T(""), _T("b "), _T("\n")};
    const TCHAR* none[] = {_T("\n")};
    CACADMenu::InstallMenusAndToolbars(labels, macros, none, none, none, none);
    EXPECT_TRUE(m_boxes.shown.empty());
    // Top-level entries keep the order of the list; each one added is saved.
    EXPECT_EQ(Outline(*group->menus[0]), "Home\nA\n-\nB\n");
    EXPECT_EQ(group->menus[0]->items[3]->macro, "b ");
    EXPECT_EQ(group->saves, 3);
    EXPECT_EQ(group->toolbars.size(), 1u);
}

TEST_F(MenuInstall, AHostRefusalIsShownAndTheOtherPartStillInstalled) {
    // The host keeps toolbar names unique ignoring case: "QUARVEL" does not contain "Quarvel",
    // so the installer asks for the toolbar and the host refuses.
    host::MenuGroup* group = Load(R"(group "Morvane"
menu "Morvane"
end
toolbar "QUARVEL"
end
)");
    Install();
    ASSERT_EQ(m_boxes.shown.size(), 1u);
    EXPECT_NE(m_boxes.shown[0].text.find("has a toolbar named \"QUARVEL\" already"),
              std::string::npos)
        << m_boxes.shown[0].text;
    EXPECT_EQ(group->menus[0]->items.size(), 1u);
    EXPECT_EQ(group->toolbars.size(), 1u);
    EXPECT_EQ(group->saves, 1);
}

TEST_F(MenuInstall, AFailedSaveEndsEachPartWithTheHostsReason) {
    host::MenuGroup* group = Load(kVendorGroup);
    fs::remove_all(m_dir);
    Install();
    ASSERT_EQ(m_boxes.shown.size(), 2u);
    for (const auto& box : m_boxes.shown)
        EXPECT_NE(box.text.find("could not be saved"), std::string::npos) << box.text;
    EXPECT_EQ(group->saves, 0);
}

}  // namespace
