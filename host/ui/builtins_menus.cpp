// The menu commands: MENULOAD loads a menu group from its menu source file, MENUS prints the
// loaded groups, MENUPICK chooses a menu item (as a click on it would).
#include <string>

#include "host/base/command_line.h"
#include "host/base/input.h"
#include "host/base/report.h"
#include "host/base/text.h"
#include "host/session/menu_groups.h"
#include "host/ui/builtins.h"
#include "host/ui/editor.h"
#include "host/ui/input_source.h"
#include "platform/adscodes.h"

namespace host {

namespace {

void PrintItems(const PopupMenu& menu, int level) {
    const std::string indent(2 * level + 2, ' ');
    const std::string levelText = "level " + std::to_string(level) + " ";
    for (const auto& item : menu.items) {
        std::string line = "\n" + indent + levelText;
        switch (item->kind) {
            case MenuItem::Kind::Separator:
                CommandLineWrite(line + "separator");
                break;
            case MenuItem::Kind::SubMenu:
                CommandLineWrite(line + "sub-menu " + QuoteMenuText(item->label));
                PrintItems(*item->subMenu, level + 1);
                break;
            case MenuItem::Kind::Command:
                line +=
                    "item " + QuoteMenuText(item->label) + " macro " + QuoteMenuText(item->macro);
                if (item->endSubMenuLevel)
                    line += " end " + std::to_string(item->endSubMenuLevel);
                CommandLineWrite(line);
                break;
        }
    }
}

void CmdMenuLoad() {
    std::string path;
    const int rc = GetText("\nMenu source file to load: ", path);
    if (rc == RTCAN)
        return;
    if (rc != RTNORM) {
        ReportError("MENULOAD: no menu source file given");
        return;
    }
    std::string error;
    const MenuGroup* group = LoadMenuGroup(path, error);
    if (!group) {
        ReportError(error);
        return;
    }
    CommandLineWrite("\nMenu group \"" + group->name + "\" loaded.");
}

void CmdMenus() {
    if (MenuGroups().empty()) {
        CommandLineWrite("\nNo menu groups are loaded.");
        return;
    }
    for (const auto& group : MenuGroups()) {
        CommandLineWrite("\nMenu group " + QuoteMenuText(group->name) + "  file " + group->path +
                         "  saved " + std::to_string(group->saves) + " time" +
                         (group->saves == 1 ? "" : "s"));
        for (const auto& menu : group->menus) {
            CommandLineWrite("\n  menu " + QuoteMenuText(menu->name));
            PrintItems(*menu, 1);
        }
        for (const auto& toolbar : group->toolbars) {
            CommandLineWrite("\n  toolbar " + QuoteMenuText(toolbar->name));
            for (const auto& item : toolbar->items) {
                if (item->kind == ToolbarItem::Kind::Separator) {
                    CommandLineWrite("\n    separator");
                    continue;
                }
                std::string line = "\n    button " + QuoteMenuText(item->name);
                if (!item->help.empty())
                    line += " help " + QuoteMenuText(item->help);
                line += " macro " + QuoteMenuText(item->macro);
                if (!item->smallBitmap.empty() || !item->largeBitmap.empty())
                    line += " bitmaps " + QuoteMenuText(item->smallBitmap) + " " +
                            QuoteMenuText(item->largeBitmap);
                if (item->flyout)
                    line += " flyout";
                CommandLineWrite(line);
            }
        }
    }
}

void CmdMenuPick() {
    std::string path;
    const int rc = GetText("\nMenu item to choose (group > menu > item): ", path);
    if (rc == RTCAN)
        return;
    if (rc != RTNORM) {
        ReportError("MENUPICK: no menu item given");
        return;
    }
    ChooseMenuItem(path);
}

}  // namespace

MenuChoice ChooseMenuItem(std::string_view path) {
    std::string error;
    const MenuItem* item = FindMenuItem(path, error);
    if (!item) {
        ReportError("MENUPICK: " + error);
        return MenuChoice::Failed;
    }
    const MacroInputs macro = SplitMacro(item->macro);
    QueueTypeahead(macro.inputs);
    return macro.cancels ? MenuChoice::Cancels : MenuChoice::Types;
}

std::optional<std::string_view> MenuPickLine(std::string_view line) {
    line = TrimBlanks(line);
    constexpr std::string_view kForm = "@menupick";
    if (line.size() < kForm.size() || !EqualNoCase(line.substr(0, kForm.size()), kForm))
        return std::nullopt;
    if (line.size() > kForm.size() && line[kForm.size()] != ' ' && line[kForm.size()] != '\t')
        return std::nullopt;
    return TrimBlanks(line.substr(kForm.size()));
}

void AddMenuBuiltins(std::vector<Builtin>& list) {
    list.push_back({"MENULOAD", CmdMenuLoad, "loads a menu group from its menu source file"});
    list.push_back({"MENUS", CmdMenus, "prints the loaded menu groups, their menus and toolbars"});
    list.push_back({"MENUPICK", CmdMenuPick, "chooses a menu item (group > menu > item)"});
}

}  // namespace host
