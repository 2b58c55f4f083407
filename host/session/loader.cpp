#include "host/session/loader.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "host/base/report.h"
#include "host/base/text.h"
#include "host/session/app_services.h"
#include "host/session/command_stack.h"
#include "host/session/documents.h"
#include "platform/rxregsvc.h"

namespace host {

namespace {

using EntryPoint = AcRx::AppRetCode (*)(AcRx::AppMsgCode, void*);
using ApiVersion = int (*)();

struct Module : LoadedModule {
    void* handle = nullptr;
    EntryPoint entry = nullptr;
    bool initialised = false;
};

std::vector<std::unique_ptr<Module>> g_modules;

Module* FromAppId(void* appId) {
    for (const auto& m : g_modules) {
        if (m.get() == appId)
            return m.get();
    }
    return nullptr;
}

// The address range of a loaded shared object's segments.
struct AddressRange {
    const void* begin = nullptr;
    const void* end = nullptr;
};

AddressRange RangeOf(void* handle) {
    struct link_map* map = nullptr;
    AddressRange range;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map)
        return range;
    struct Search {
        ElfW(Addr) base;
        std::uintptr_t lo = UINTPTR_MAX, hi = 0;
    } search{map->l_addr};
    dl_iterate_phdr(
        [](struct dl_phdr_info* info, size_t, void* data) {
            auto* s = static_cast<Search*>(data);
            if (info->dlpi_addr != s->base)
                return 0;
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const auto& ph = info->dlpi_phdr[i];
                if (ph.p_type != PT_LOAD)
                    continue;
                const std::uintptr_t a = info->dlpi_addr + ph.p_vaddr;
                s->lo = std::min(s->lo, a);
                s->hi = std::max<std::uintptr_t>(s->hi, a + ph.p_memsz);
            }
            return 1;
        },
        &search);
    if (search.lo < search.hi) {
        range.begin = reinterpret_cast<const void*>(search.lo);
        range.end = reinterpret_cast<const void*>(search.hi);
    }
    return range;
}

std::string ReleaseText() {
    const HostRelease r = CurrentRelease();
    return std::to_string(r.major) + "." + std::to_string(r.minor);
}

// Closes a module after its unload message; whatever it left registered in the host is
// taken out first, so that nothing points into code that is gone.
void Close(std::unique_ptr<Module> module) {
    const AddressRange range = RangeOf(module->handle);
    if (range.begin) {
        const std::size_t commands = Commands().RemoveCommandsIn(range.begin, range.end);
        if (commands)
            ReportWarning(module->name + " left " + std::to_string(commands) +
                          " command(s) registered; they were removed");
    }
    dlclose(module->handle);
    // A library the dynamic loader keeps (it holds unique symbols, or another library uses it)
    // keeps its static state: a later load does not start it afresh.
    if (void* still = dlopen(module->path.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
        dlclose(still);
        ReportWarning(module->name +
                      " stays in memory after unloading; its static data is not reset when it "
                      "is loaded again");
    }
    // Static reactors of the module are gone with it.
    if (range.begin && Documents()) {
        const std::size_t reactors = Documents()->RemoveReactorsIn(range.begin, range.end);
        if (reactors)
            ReportWarning(module->name + " left " + std::to_string(reactors) +
                          " document reactor(s) registered; they were removed");
    }
}

bool SameModule(const Module& m, std::string_view nameOrPath) {
    if (m.path == nameOrPath || EqualNoCase(m.name, nameOrPath))
        return true;
    // Without the ".so" ending.
    const std::string_view name(m.name);
    if (name.size() > 3 && name.substr(name.size() - 3) == ".so" &&
        EqualNoCase(name.substr(0, name.size() - 3), nameOrPath))
        return true;
    std::error_code ec;
    const auto absolute = std::filesystem::weakly_canonical(std::string(nameOrPath), ec);
    return !ec && absolute.string() == m.path;
}

class DynamicLinker final : public AcRxDynamicLinker {
public:
    bool unlockApplication(void* appId) const override {
        return Set(appId, &Module::unlocked, true);
    }
    bool lockApplication(void* appId) const override {
        return Set(appId, &Module::unlocked, false);
    }
    bool isApplicationLocked(const char* name) const override {
        for (const auto& m : g_modules) {
            if (name && SameModule(*m, name))
                return !m->unlocked;
        }
        return false;
    }
    bool registerAppMDIAware(void* appId) const override {
        return Set(appId, &Module::mdiAware, true);
    }
    bool registerAppNotMDIAware(void* appId) const override {
        return Set(appId, &Module::mdiAware, false);
    }

private:
    static bool Set(void* appId, bool LoadedModule::*flag, bool value) {
        Module* m = FromAppId(appId);
        if (!m)
            return false;
        m->*flag = value;
        return true;
    }
};

}  // namespace

bool LoadModule(const std::string& path, std::string* error) {
    auto fail = [&](std::string message) {
        if (error)
            *error = "cannot load " + path + ": " + message;
        return false;
    };
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return fail("no such file");
    const std::string absolute = std::filesystem::weakly_canonical(path, ec).string();
    for (const auto& m : g_modules) {
        if (m->path == absolute)
            return fail("it is already loaded");
    }

    auto module = std::make_unique<Module>();
    module->path = absolute;
    module->name = std::filesystem::path(absolute).filename().string();
    module->handle = dlopen(absolute.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module->handle) {
        const char* why = dlerror();
        return fail(why ? why : "the file is not a loadable module");
    }
    // Loading ran the module's static constructors, which may have registered reactors:
    // a refused module is taken out as thoroughly as an unloaded one.
    auto refuse = [&](std::string message) {
        Close(std::move(module));
        return fail(std::move(message));
    };
    module->entry = reinterpret_cast<EntryPoint>(dlsym(module->handle, "acrxEntryPoint"));
    if (!module->entry)
        return refuse("it has no acrxEntryPoint, so it is not a module of this host");
    const auto version = reinterpret_cast<ApiVersion>(dlsym(module->handle, "acrxGetApiVersion"));
    if (!version)
        return refuse("it has no acrxGetApiVersion, so the release it was built for is unknown");
    const int api = version();
    const int release = (api >> 16) & 0xFFFF;
    const int revision = api & 0xFFFF;
    if (revision != ACRX_API_REVISION)
        return refuse("it was built for interface revision " + std::to_string(revision) +
                      "; this host offers revision " + std::to_string(ACRX_API_REVISION));
    if (release != CurrentRelease().major)
        return refuse("it was built for release " + std::to_string(release) +
                      " and this host is release " + ReleaseText() +
                      " (choose the host release with --release)");
    module->apiRelease = release;

    Module* m = module.get();
    g_modules.push_back(std::move(module));
    if (m->entry(AcRx::kInitAppMsg, m) != AcRx::kRetOK) {
        std::unique_ptr<Module> failed = std::move(g_modules.back());
        g_modules.pop_back();
        Close(std::move(failed));
        return fail("its start-up (kInitAppMsg) reported an error");
    }
    m->initialised = true;
    // A module loaded into a running session learns about the drawings already open.
    if (DocManager* docs = Documents()) {
        for (const auto& doc : docs->Documents())
            m->entry(AcRx::kLoadDwgMsg, doc.get());
    }
    return true;
}

bool UnloadModule(std::string_view nameOrPath, std::string* error) {
    const auto it = std::find_if(g_modules.begin(), g_modules.end(),
                                 [&](const auto& m) { return SameModule(*m, nameOrPath); });
    if (it == g_modules.end()) {
        if (error)
            *error = "cannot unload " + std::string(nameOrPath) + ": no such module is loaded";
        return false;
    }
    Module& m = **it;
    if (!m.unlocked) {
        if (error)
            *error =
                "cannot unload " + m.name + ": the module is locked (it did not unlock itself)";
        return false;
    }
    if (DocManager* docs = Documents()) {
        for (const auto& doc : docs->Documents())
            m.entry(AcRx::kUnloadDwgMsg, doc.get());
    }
    if (m.entry(AcRx::kUnloadAppMsg, &m) != AcRx::kRetOK) {
        if (error)
            *error = "cannot unload " + m.name + ": the module refused to unload";
        return false;
    }
    std::unique_ptr<Module> owned = std::move(*it);
    g_modules.erase(it);
    Close(std::move(owned));
    return true;
}

void UnloadAllModules() {
    // Last loaded first.
    while (!g_modules.empty()) {
        std::unique_ptr<Module> m = std::move(g_modules.back());
        g_modules.pop_back();
        m->entry(AcRx::kUnloadAppMsg, m.get());
        Close(std::move(m));
    }
}

std::vector<const LoadedModule*> LoadedModules() {
    std::vector<const LoadedModule*> list;
    for (const auto& m : g_modules)
        list.push_back(m.get());
    return list;
}

void SendToModules(AcRx::AppMsgCode message, void* packet) {
    // A module may not unload itself in answer; copy the list anyway.
    std::vector<Module*> modules;
    for (const auto& m : g_modules) {
        if (m->initialised)
            modules.push_back(m.get());
    }
    for (Module* m : modules)
        m->entry(message, packet);
}

AcRxDynamicLinker& Linker() {
    static DynamicLinker linker;
    return linker;
}

}  // namespace host

AcRxDynamicLinker* acrxDynamicLinkerPtr() {
    return &host::Linker();
}
