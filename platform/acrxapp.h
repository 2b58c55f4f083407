// The application-object framework a module is built on: one application object receives the
// host's messages through the module's entry point, registers the module with the host at
// load time and adds the commands of the module's command table to the host's command stack;
// at unload it removes them again.
//
// A module derives its application class from AcRxArxApp, lists its commands between
// BEGIN_ARX_COMMAND_TABLE and END_ARX_COMMAND_TABLE, and places IMPLEMENT_ARX_ENTRYPOINT once.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/accmd.h"
#include "platform/rxdefs.h"
#include "platform/rxregsvc.h"
#include "platform/windef.h"

#if defined(QUARVEL_MODULE)

// One command of a module's command table.
struct _ARXCOMMAND_ENTRY {
    const TCHAR* pszCmdGroupName;
    const TCHAR* pszCmdGlobalName;
    const TCHAR* pszCmdLocalName;
    std::int32_t commandFlags;
    AcRxFunctionPtr pCmdFct;
    AcEdUIContext* pUIContext;
    UINT nLocalNameID;  // resource number of the local name (not used by registration)
};

// The command table, defined by the module with the macros below.
extern const _ARXCOMMAND_ENTRY g_arxCommandTable[];
extern const std::size_t g_arxCommandCount;

#define BEGIN_ARX_COMMAND_TABLE() const _ARXCOMMAND_ENTRY g_arxCommandTable[] = {
#define ARX_COMMAND_ENTRY(group, globalName, localName, flags, function) \
    {group, globalName, localName, flags, function, nullptr, 0},
#define END_ARX_COMMAND_TABLE() \
    }                           \
    ;                           \
    const std::size_t g_arxCommandCount = sizeof(g_arxCommandTable) / sizeof(g_arxCommandTable[0]);

// The database-side part of the application object: host registration and message dispatch.
class AcRxDbxApp {
public:
    AcRxDbxApp() : m_hdllInstance(nullptr), m_bUnlocked(1), m_bMDIAware(1) {}
    virtual ~AcRxDbxApp() = default;

    // One handler per host message, codes 1 to 15 in the order of their values, then the
    // null message, then the server-registration hook.
    virtual AcRx::AppRetCode On_kInitAppMsg(void* pkt) {
        if (m_bUnlocked)
            acrxDynamicLinker->unlockApplication(pkt);
        if (m_bMDIAware)
            acrxDynamicLinker->registerAppMDIAware(pkt);
        RegisterServerComponents();
        // The class table of this framework is empty: no custom class to initialise, so the
        // host's class hierarchy is not rebuilt.
        return AcRx::kRetOK;
    }
    virtual AcRx::AppRetCode On_kUnloadAppMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kLoadDwgMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kUnloadDwgMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kInvkSubrMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kCfgMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kEndMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kQuitMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kSaveMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kDependencyMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kNoDependencyMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kOleUnloadAppMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kPreQuitMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kInitDialogMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kEndDialogMsg(void*) { return AcRx::kRetOK; }
    virtual AcRx::AppRetCode On_kNullMsg(void*) { return AcRx::kRetOK; }
    virtual void RegisterServerComponents() {}

    // Calls the handler of a message; codes above the last known one give 0.
    AcRx::AppRetCode EntryPoint(AcRx::AppMsgCode msg, void* pkt) {
        switch (msg) {
            case AcRx::kNullMsg:
                return On_kNullMsg(pkt);
            case AcRx::kInitAppMsg:
                return On_kInitAppMsg(pkt);
            case AcRx::kUnloadAppMsg:
                return On_kUnloadAppMsg(pkt);
            case AcRx::kLoadDwgMsg:
                return On_kLoadDwgMsg(pkt);
            case AcRx::kUnloadDwgMsg:
                return On_kUnloadDwgMsg(pkt);
            case AcRx::kInvkSubrMsg:
                return On_kInvkSubrMsg(pkt);
            case AcRx::kCfgMsg:
                return On_kCfgMsg(pkt);
            case AcRx::kEndMsg:
                return On_kEndMsg(pkt);
            case AcRx::kQuitMsg:
                return On_kQuitMsg(pkt);
            case AcRx::kSaveMsg:
                return On_kSaveMsg(pkt);
            case AcRx::kDependencyMsg:
                return On_kDependencyMsg(pkt);
            case AcRx::kNoDependencyMsg:
                return On_kNoDependencyMsg(pkt);
            case AcRx::kOleUnloadAppMsg:
                return On_kOleUnloadAppMsg(pkt);
            case AcRx::kPreQuitMsg:
                return On_kPreQuitMsg(pkt);
            case AcRx::kInitDialogMsg:
                return On_kInitDialogMsg(pkt);
            case AcRx::kEndDialogMsg:
                return On_kEndDialogMsg(pkt);
        }
        return static_cast<AcRx::AppRetCode>(0);
    }

    HINSTANCE ResourceInstance() const { return m_hdllInstance; }
    void SetResourceInstance(HINSTANCE instance) { m_hdllInstance = instance; }

protected:
    HINSTANCE m_hdllInstance;  // the module's resource instance
    std::uint8_t m_bUnlocked;  // the module may be unloaded
    std::uint8_t m_bMDIAware;  // the module works with several open drawings
};

// The editor-side part: adds and removes the module's commands.
class AcRxArxApp : public AcRxDbxApp {
public:
    AcRx::AppRetCode On_kInitAppMsg(void* pkt) override {
        const AcRx::AppRetCode result = AcRxDbxApp::On_kInitAppMsg(pkt);
        AcEdCommandStack* stack =
            static_cast<AcEdCommandStack*>(acrxSysRegistry()->at(ACRX_COMMAND_DOCK));
        for (std::size_t i = 0; stack && i < g_arxCommandCount; ++i) {
            const _ARXCOMMAND_ENTRY& e = g_arxCommandTable[i];
            if (!e.pszCmdGlobalName)
                continue;
            HINSTANCE resource = (e.commandFlags & ACRX_CMD_SESSION) ? nullptr : m_hdllInstance;
            stack->addCommand(e.pszCmdGroupName, e.pszCmdGlobalName, e.pszCmdLocalName,
                              e.commandFlags, e.pCmdFct, e.pUIContext, -1, resource, nullptr);
        }
        return result;
    }
    AcRx::AppRetCode On_kUnloadAppMsg(void* pkt) override {
        const AcRx::AppRetCode result = AcRxDbxApp::On_kUnloadAppMsg(pkt);
        AcEdCommandStack* stack =
            static_cast<AcEdCommandStack*>(acrxSysRegistry()->at(ACRX_COMMAND_DOCK));
        for (std::size_t i = 0; stack && i < g_arxCommandCount; ++i) {
            const _ARXCOMMAND_ENTRY& e = g_arxCommandTable[i];
            if (!e.pszCmdGlobalName)
                continue;
            stack->removeCmd(e.pszCmdGroupName, e.pszCmdGlobalName);
        }
        return result;
    }
};

// The module's single application object.
AcRxDbxApp* acrxGetApp();

// Defines the application object and the two exported entry points of the module.
#define IMPLEMENT_ARX_ENTRYPOINT(CLASS)                                          \
    static CLASS g_theArxApp;                                                    \
    AcRxDbxApp* acrxGetApp() {                                                   \
        return &g_theArxApp;                                                     \
    }                                                                            \
    QV_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* pkt) { \
        return g_theArxApp.EntryPoint(msg, pkt);                                 \
    }                                                                            \
    QV_EXPORT int acrxGetApiVersion() {                                          \
        return ACRX_MAKE_API_VERSION(QUARVEL_RELEASE);                           \
    }

#endif  // QUARVEL_MODULE
