// The module loader and the dynamic linker. A module is a shared object exporting
// acrxEntryPoint and acrxGetApiVersion. It is loaded only when it was built for the host's
// major release and for the host's interface revision; it then gets kInitAppMsg with its
// application id (the packet it hands back to unlockApplication and registerAppMDIAware),
// kLoadDwgMsg for each open drawing, and later kUnloadDwgMsg and kUnloadAppMsg before it is
// closed. A module that did not unlock itself cannot be unloaded (except at host exit).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/rxdefs.h"

namespace host {

struct LoadedModule {
    std::string path;  // absolute
    std::string name;  // file name
    int apiRelease = 0;
    bool unlocked = false;
    bool mdiAware = false;
};

// Loads a module; false with the reason in *error.
bool LoadModule(const std::string& path, std::string* error);
// Unloads a module given by file name (with or without ".so") or path; false with the reason.
bool UnloadModule(std::string_view nameOrPath, std::string* error);
// Unloads every module, locked ones included (host exit).
void UnloadAllModules();
// The loaded modules, in load order.
std::vector<const LoadedModule*> LoadedModules();
// Sends a message to every loaded module, in load order.
void SendToModules(AcRx::AppMsgCode message, void* packet);

}  // namespace host
