#include "host/session/menu_groups.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const char* const kSource = R"(# a comment
group "Vendor Menus"

menu "Vendor"
    item "Open \"it\"" "^P^C^C_OPEN "
    separator
    submenu "Deeper"
        item "One" "^C^C_ONE "
        submenu "Deepest"
            item "Two" "^C^C_TWO \^ \\" endlevel 2
        end
    end
end

toolbar "Tools"
    button "Open" "Opens" "^C^C_OPEN " bitmaps "o16.bmp" "o32.bmp"
    separator
    button "Fly" "" "^C^C_FLY " flyout
end
)";

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(MenuSource, ReadsGroupsMenusSubMenusAndToolbars) {
    const auto group = host::ParseMenuSource(kSource);
    EXPECT_EQ(group->name, "Vendor Menus");
    ASSERT_EQ(group->menus.size(), 1u);
    const host::PopupMenu& menu = *group->menus[0];
    ASSERT_EQ(menu.items.size(), 3u);
    EXPECT_EQ(menu.items[0]->label, "Open \"it\"");
    EXPECT_EQ(menu.items[0]->macro, "\x10\x03\x03_OPEN ");
    EXPECT_EQ(menu.items[1]->kind, host::MenuItem::Kind::Separator);
    ASSERT_EQ(menu.items[2]->kind, host::MenuItem::Kind::SubMenu);
    const host::PopupMenu& deeper = *menu.items[2]->subMenu;
    EXPECT_EQ(deeper.name, "Deeper");
    ASSERT_EQ(deeper.items.size(), 2u);
    const host::MenuItem& two = *deeper.items[1]->subMenu->items[0];
    EXPECT_EQ(two.macro, "\x03\x03_TWO ^ \\");
    EXPECT_EQ(two.endSubMenuLevel, 2);

    ASSERT_EQ(group->toolbars.size(), 1u);
    const host::Toolbar& bar = *group->toolbars[0];
    ASSERT_EQ(bar.items.size(), 3u);
    EXPECT_EQ(bar.items[0]->smallBitmap, "o16.bmp");
    EXPECT_EQ(bar.items[0]->largeBitmap, "o32.bmp");
    EXPECT_EQ(bar.items[1]->kind, host::ToolbarItem::Kind::Separator);
    EXPECT_TRUE(bar.items[2]->flyout);
}

TEST(MenuSource, WritesWhatItReadsBack) {
    const auto group = host::ParseMenuSource(kSource);
    const std::string written = host::WriteMenuSource(*group);
    const auto again = host::ParseMenuSource(written);
    EXPECT_EQ(host::WriteMenuSource(*again), written);
    EXPECT_NE(written.find("item \"Two\" \"^C^C_TWO \\^ \\\\\" endlevel 2"), std::string::npos)
        << written;
}

TEST(MenuSource, RefusesBrokenTextsNamingTheLine) {
    struct Case {
        const char* text;
        int line;
        const char* message;
    } cases[] = {
        {"", 1, "no \"group NAME\""},
        {"menu \"A\"\nend\n", 1, "first statement"},
        {"group G\nmenu M\n  item \"x\n", 3, "not closed"},
        {"group G\nmenu M\n  item A B\n", 2, "has no \"end\""},
        {"group G\nmenu M\n  item A \"^1\"\nend\n", 3, "no control character"},
        {"group G\nmenu M\n  item A B endlevel x\nend\n", 3, "endlevel N"},
        {"group G\nmenu M\nend\nmenu m\nend\n", 4, "exists already"},
        {"group G\ntoolbar T\n  button A\nend\n", 3, "button NAME HELP MACRO"},
        {"group G\nwindow W\n", 2, "expected menu or toolbar"},
        {"group G\nmenu M\n  item \"\" B\nend\n", 3, "needs a name"},
    };
    for (const Case& c : cases) {
        try {
            host::ParseMenuSource(c.text);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const host::MenuSourceError& e) {
            EXPECT_EQ(e.Line(), c.line) << c.text;
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
                << c.text << ": " << e.what();
        }
    }
}

TEST(MenuMacro, ControlPrefixCancelsAndBlanksEndInputs) {
    struct Case {
        const char* macro;
        bool cancels;
        std::vector<std::string> inputs;
    } cases[] = {
        {"\x10\x03\x03_DbTable_Create ", true, {"_DbTable_Create"}},
        {"_LINE 0,0 1,1  ", false, {"_LINE", "0,0", "1,1", ""}},
        {"_ZOOM;E", false, {"_ZOOM", "E"}},
        {"", false, {}},
    };
    for (const Case& c : cases) {
        const host::MacroInputs m = host::SplitMacro(c.macro);
        EXPECT_EQ(m.cancels, c.cancels) << c.macro;
        EXPECT_EQ(m.inputs, c.inputs) << c.macro;
    }
}

class MenuGroupFiles : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir =
            fs::temp_directory_path() /
            ("menu_groups_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        std::ofstream(m_dir / "vendor.menu") << kSource;
    }
    void TearDown() override {
        host::UnloadMenuGroups();
        fs::remove_all(m_dir);
    }
    fs::path m_dir;
};

TEST_F(MenuGroupFiles, LoadsOnceFindsItemsAndSavesAtomically) {
    std::string error;
    host::MenuGroup* group = host::LoadMenuGroup((m_dir / "vendor.menu").string(), error);
    ASSERT_NE(group, nullptr) << error;
    EXPECT_EQ(host::LoadMenuGroup((m_dir / "vendor.menu").string(), error), nullptr);
    EXPECT_NE(error.find("is loaded already"), std::string::npos) << error;

    const host::MenuItem* two =
        host::FindMenuItem("vendor menus > VENDOR > deeper>deepest>two", error);
    ASSERT_NE(two, nullptr) << error;
    EXPECT_EQ(two->label, "Two");
    EXPECT_EQ(host::FindMenuItem("Vendor Menus > Vendor > Deeper", error), nullptr);
    EXPECT_NE(error.find("opens a sub-menu"), std::string::npos);
    EXPECT_EQ(host::FindMenuItem("Vendor Menus > Vendor > Nothing", error), nullptr);
    EXPECT_EQ(host::FindMenuItem("Other > Vendor > One", error), nullptr);

    group->menus[0]->items.pop_back();
    ASSERT_TRUE(host::SaveMenuGroup(*group, error)) << error;
    EXPECT_EQ(group->saves, 1);
    EXPECT_EQ(ReadAll(m_dir / "vendor.menu"), host::WriteMenuSource(*group));

    // A folder that has gone: the save fails and says why.
    fs::remove_all(m_dir);
    EXPECT_FALSE(host::SaveMenuGroup(*group, error));
    EXPECT_NE(error.find("vendor.menu"), std::string::npos) << error;
    EXPECT_EQ(group->saves, 1);
}

TEST_F(MenuGroupFiles, ABrokenFileIsNotLoaded) {
    std::ofstream(m_dir / "broken.menu") << "group G\nmenu M\n";
    std::string error;
    EXPECT_EQ(host::LoadMenuGroup((m_dir / "broken.menu").string(), error), nullptr);
    EXPECT_NE(error.find("broken.menu:2: "), std::string::npos) << error;
    EXPECT_EQ(host::LoadMenuGroup((m_dir / "missing.menu").string(), error), nullptr);
    EXPECT_TRUE(host::MenuGroups().empty());
}

}  // namespace
