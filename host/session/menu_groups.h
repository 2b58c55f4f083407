// The host's menus and toolbars: the menu groups loaded from menu source files, each with its
// pop-up menus (items, separators, sub-menus) and toolbars (buttons, separators).
//
// A menu source file is text, one statement a line; blank lines and lines starting with '#'
// are skipped. Words are separated by blanks; a word with blanks is written in double quotes.
//
//   group "Morvane"                          the group's name: the file's first statement
//   menu "Morvane"                           a pop-up menu, up to its "end"
//       item "Home page" "^C^C_HOME "        an item: label and macro
//       item "Last" "^C^C_LAST " endlevel 1  ... closing one sub-menu level
//       separator
//       submenu "More"                       a sub-menu, up to its "end"
//           item ...
//       end
//   end
//   toolbar "Morvane Tools"                  a toolbar, up to its "end"
//       button "Open" "Opens a drawing" "^C^C_OPEN " bitmaps "open16.bmp" "open32.bmp"
//       button "Draw" "" "^C^C_LINE " flyout
//       separator
//   end
//
// Inside quotes, \" is a quote, \\ a backslash, \^ a caret, and ^X the control character X
// (^C is Ctrl+C, code 3; ^P is Ctrl+P, code 16). Saving writes the same form.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace host {

struct PopupMenu;

struct MenuItem {
    enum class Kind { Command, Separator, SubMenu };
    Kind kind = Kind::Command;
    std::string label;
    std::string macro;
    int endSubMenuLevel = 0;
    std::unique_ptr<PopupMenu> subMenu;  // Kind::SubMenu
};

struct PopupMenu {
    std::string name;  // a sub-menu's name is its label
    std::vector<std::unique_ptr<MenuItem>> items;
};

struct ToolbarItem {
    enum class Kind { Button, Separator };
    Kind kind = Kind::Button;
    std::string name;
    std::string help;
    std::string macro;
    std::string smallBitmap;
    std::string largeBitmap;
    bool flyout = false;
};

struct Toolbar {
    std::string name;
    std::vector<std::unique_ptr<ToolbarItem>> items;
};

struct MenuGroup {
    std::string name;
    std::string path;  // the menu source file (absolute)
    std::vector<std::unique_ptr<PopupMenu>> menus;
    std::vector<std::unique_ptr<Toolbar>> toolbars;
    int saves = 0;  // how often the group was saved in this session
};

// A menu source text that cannot be read: the line and what is wrong there.
class MenuSourceError : public std::runtime_error {
public:
    MenuSourceError(int line, const std::string& message)
        : std::runtime_error(message), m_line(line) {}
    int Line() const { return m_line; }

private:
    int m_line;
};

// Reads a menu source text; throws MenuSourceError.
std::unique_ptr<MenuGroup> ParseMenuSource(std::string_view text);
// The menu source text of a group (ParseMenuSource reads it back to the same group).
std::string WriteMenuSource(const MenuGroup& group);

// A text in the quoted form of the menu source ("^C^C_LINE ", quotes included).
std::string QuoteMenuText(std::string_view text);

// The loaded groups, in load order.
const std::vector<std::unique_ptr<MenuGroup>>& MenuGroups();
// Loads a group from its menu source file. A group of the same name (ignoring case) must not be
// loaded already. The group on success, else null with the reason in error.
MenuGroup* LoadMenuGroup(const std::string& path, std::string& error);
// Writes a group to its menu source file (all new or untouched). False with the reason.
bool SaveMenuGroup(MenuGroup& group, std::string& error);
// Forgets every group (the end of a session).
void UnloadMenuGroups();

// Finds a menu item by its path "group > menu > item [> item ...]", names and labels compared
// without regard to case. Null with the reason in error.
const MenuItem* FindMenuItem(std::string_view path, std::string& error);

// What choosing an item with this macro types: whether it cancels a running command (a Ctrl+C
// in it) and the inputs it enters (each blank or ';' ends one; the text after the last one is
// entered when the macro ends). Ctrl+P (menu echo) is ignored; other control characters are
// dropped.
struct MacroInputs {
    bool cancels = false;
    std::vector<std::string> inputs;
};
MacroInputs SplitMacro(std::string_view macro);

}  // namespace host
