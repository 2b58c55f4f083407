// The host's own commands, found before the modules' commands:
//   NEW, OPEN, SAVE, SAVEAS, CLOSE, QUIT, EXIT  documents
//   ARX (?, Load, Unload, Commands)             modules
//   UCS                                         user coordinate system (origin or World)
//   SCRIPT, HELP                                run a script file; list the commands
//   LIST, XDLIST, -TABLE, TABLEEDIT,            entities
//   TABLEEXPORT, INSERT,
//   ERASE, COPY, MODEL, LAYOUT
//   MENULOAD, MENUS, MENUPICK                  menu groups (builtins_menus.cpp)
//   EXPORT, PNGOUT                             pictures of the drawing (builtins_render.cpp)
// A built-in name may be typed with a leading "_" or "." as well.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace host {

struct Builtin {
    const char* name;
    void (*run)();
    const char* summary;
};

const std::vector<Builtin>& Builtins();
const Builtin* FindBuiltin(std::string_view name);

// The entity commands (builtins_entities.cpp).
void AddEntityBuiltins(std::vector<Builtin>& list);

// The menu commands (builtins_menus.cpp).
void AddMenuBuiltins(std::vector<Builtin>& list);

// The picture commands (builtins_render.cpp).
void AddRenderBuiltins(std::vector<Builtin>& list);

// Chooses a menu item by its path "group > menu > item": its macro is queued as typeahead.
// Cancels: the macro starts with Ctrl+C, so a running command is to be cancelled first;
// Types: its inputs go to the current prompt; Failed: no such item (reported).
enum class MenuChoice { Failed, Cancels, Types };
MenuChoice ChooseMenuItem(std::string_view path);
// The item path of an input line "@menupick PATH" (the form that chooses a menu item at any
// command prompt), else nullopt.
std::optional<std::string_view> MenuPickLine(std::string_view line);

// QUIT was given: the command loop ends after the current command.
bool QuitRequested();
void SetQuitRequested(bool quit);

}  // namespace host
