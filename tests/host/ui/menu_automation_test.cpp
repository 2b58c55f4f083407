#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "host/session/menu_groups.h"
#include "platform/acmenus.h"
#include "platform/comdef.h"

namespace fs = std::filesystem;

namespace {

class MenuAutomation : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("menu_automation_" + std::to_string(getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        std::ofstream(m_dir / "g.menu")
            << "group \"Vendor\"\nmenu \"Main\"\n    item \"A\" \"a \"\n"
               "end\ntoolbar \"Tools\"\nend\n";
        std::string error;
        ASSERT_NE(host::LoadMenuGroup((m_dir / "g.menu").string(), error), nullptr) << error;
        m_group = acedGetAcadApplication().GetMenuGroups().Item(_variant_t(0));
    }
    void TearDown() override {
        host::UnloadMenuGroups();
        fs::remove_all(m_dir);
    }

    // The host's description of a refused call, or "" when the call was carried out.
    static std::string Refusal(const std::function<void()>& call) {
        try {
            call();
        } catch (COleDispatchException* e) {
            const std::string text = e->m_strDescription.GetString();
            e->Delete();
            return text;
        }
        return "";
    }

    fs::path m_dir;
    IAcadMenuGroup m_group;
};

TEST_F(MenuAutomation, AddsAtPositionsAndAppendsPastTheEnd) {
    IAcadPopupMenu menu = m_group.GetMenus().Item(_variant_t("main"));
    menu.AddMenuItemUtf8(_variant_t(0), "First", "f ");
    menu.AddSeparator(_variant_t(99));
    IAcadPopupMenu sub = menu.AddSubMenuUtf8(_variant_t(short(1)), "Sub");
    EXPECT_EQ(sub.NameUtf8(), "Sub");
    ASSERT_EQ(menu.GetCount(), 4);
    const char* labels[] = {"First", "Sub", "A", "-"};
    for (long i = 0; i < 4; ++i)
        EXPECT_EQ(menu.Item(_variant_t(i)).LabelUtf8(), labels[i]);

    IAcadToolbar bar = m_group.GetToolbars().Item(_variant_t(0));
    bar.AddToolbarButtonUtf8(_variant_t(5), "B", "help", "b ", _variant_t(true))
        .SetBitmapsUtf8("b16.bmp", "b32.bmp");
    bar.AddSeparator(_variant_t(0));
    EXPECT_EQ(bar.GetCount(), 2);
    EXPECT_EQ(bar.Item(_variant_t(1)).NameUtf8(), "B");

    m_group.Save(acMenuFileSource);
    std::string error;
    host::UnloadMenuGroups();
    host::MenuGroup* again = host::LoadMenuGroup((m_dir / "g.menu").string(), error);
    ASSERT_NE(again, nullptr) << error;
    EXPECT_EQ(again->menus[0]->items.size(), 4u);
    EXPECT_EQ(again->toolbars[0]->items[1]->largeBitmap, "b32.bmp");
    EXPECT_TRUE(again->toolbars[0]->items[1]->flyout);
}

TEST_F(MenuAutomation, RefusesWhatTheHostCannotDo) {
    IAcadPopupMenu menu = m_group.GetMenus().Item(_variant_t(0));
    IAcadToolbars bars = m_group.GetToolbars();
    struct Case {
        const char* what;
        std::function<void()> call;
        const char* description;
    } cases[] = {
        {"index past the end", [&] { menu.Item(_variant_t(1)); }, "out of range"},
        {"unknown name", [&] { m_group.GetMenus().Item(_variant_t("Nope")); }, "no pop-up menu"},
        {"text position", [&] { menu.AddSeparator(_variant_t("x")); }, "must be an integer"},
        {"negative position", [&] { menu.AddSeparator(_variant_t(-1)); }, "count from 0"},
        {"empty label", [&] { menu.AddMenuItemUtf8(_variant_t(0), "", "x "); }, "needs a label"},
        {"same toolbar name", [&] { bars.AddUtf8("TOOLS"); }, "has a toolbar named"},
        {"compiled file", [&] { m_group.Save(acMenuFileCompiled); }, "menu source files only"},
        {"end mark on separator", [&] { menu.AddSeparator(_variant_t(9)).SetEndSubMenuLevel(1); },
         "Only a menu item"},
        {"null handle", [&] { IAcadPopupMenu().GetCount(); }, "refers to nothing"},
    };
    for (const Case& c : cases)
        EXPECT_NE(Refusal(c.call).find(c.description), std::string::npos) << c.what;

    fs::remove_all(m_dir);
    EXPECT_NE(Refusal([&] { m_group.Save(acMenuFileSource); }).find("could not be saved"),
              std::string::npos);
}

}  // namespace
