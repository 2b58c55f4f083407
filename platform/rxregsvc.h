// The host's dynamic linker: what a module tells the host about itself at load time.
#pragma once

#include "platform/rxobject.h"

class AcRxDynamicLinker : public AcRxObject {
public:
    // The module may be unloaded again (appId is the load message's packet).
    virtual bool unlockApplication(void* appId) const = 0;
    virtual bool lockApplication(void* appId) const = 0;
    virtual bool isApplicationLocked(const char* name) const = 0;
    // The module works with several open drawings.
    virtual bool registerAppMDIAware(void* appId) const = 0;
    virtual bool registerAppNotMDIAware(void* appId) const = 0;
};

AcRxDynamicLinker* acrxDynamicLinkerPtr();
#define acrxDynamicLinker acrxDynamicLinkerPtr()
