// The host's own commands, found before the modules' commands:
//   NEW, OPEN, SAVE, SAVEAS, CLOSE, QUIT, EXIT  documents
//   ARX (?, Load, Unload, Commands)             modules
//   UCS                                         user coordinate system (origin or World)
//   SCRIPT, HELP                                run a script file; list the commands
//   LIST, XDLIST, -TABLE, TABLEEDIT,            entities
//   TABLEEXPORT, INSERT,
//   ERASE, COPY, MODEL, LAYOUT
// A built-in name may be typed with a leading "_" or "." as well.
#pragma once

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

// QUIT was given: the command loop ends after the current command.
bool QuitRequested();
void SetQuitRequested(bool quit);

}  // namespace host
