// Module instance handles: the start of a loaded image, found through the dynamic loader.
#include <dlfcn.h>

#include "platform/afxwin.h"

HINSTANCE AfxFindModuleInstance(const void* addressInModule) {
    Dl_info info{};
    if (!addressInModule || dladdr(addressInModule, &info) == 0)
        return nullptr;
    return static_cast<HINSTANCE>(info.dli_fbase);
}
