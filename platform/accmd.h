// The host's command stack: commands registered by modules (and by the host itself) under a
// group, a global name (typed with a leading "_") and a local name. Name lookup ignores case.
#pragma once

#include "platform/CString.h"
#include "platform/rxobject.h"
#include "platform/windef.h"

typedef void (*AcRxFunctionPtr)();

// Command flags.
#define ACRX_CMD_MODAL 0x00000000
#define ACRX_CMD_TRANSPARENT 0x00000001
#define ACRX_CMD_USEPICKSET 0x00000002
#define ACRX_CMD_REDRAW 0x00000004
#define ACRX_CMD_NOPERSPECTIVE 0x00000008
#define ACRX_CMD_NOTILEMODE 0x00000010
#define ACRX_CMD_NOPAPERSPACE 0x00000020
#define ACRX_CMD_UNDEFINED 0x00000100
#define ACRX_CMD_INPROGRESS 0x01000000
#define ACRX_CMD_SESSION 0x00200000  // runs in the application context, not in one drawing

class AcEdUIContext;

class AcEdCommand : public AcRxObject {
public:
    virtual AcRxFunctionPtr functionAddr() const = 0;
    virtual int functionCode() const = 0;
    virtual int commandFlags() const = 0;
    virtual HINSTANCE resourceHandle() const = 0;
    // Names in UTF-8.
    virtual const char* globalNameUtf8() const = 0;
    virtual const char* localNameUtf8() const = 0;
    virtual const char* groupNameUtf8() const = 0;
};

class AcEdCommandStack : public AcRxObject {
public:
    // Returns eOk, or eDuplicateKey when the group already has a command of that global or
    // local name, eInvalidInput for empty names or no function.
    virtual Acad::ErrorStatus addCommand(const char* groupName, const char* globalName,
                                         const char* localName, int flags,
                                         AcRxFunctionPtr function,
                                         AcEdUIContext* uiContext = nullptr, int fcode = -1,
                                         HINSTANCE resourceHandle = nullptr,
                                         AcEdCommand** cmdPtrRet = nullptr) = 0;
    virtual Acad::ErrorStatus addCommand(const char16_t* groupName, const char16_t* globalName,
                                         const char16_t* localName, int flags,
                                         AcRxFunctionPtr function,
                                         AcEdUIContext* uiContext = nullptr, int fcode = -1,
                                         HINSTANCE resourceHandle = nullptr,
                                         AcEdCommand** cmdPtrRet = nullptr) = 0;
    // Removes one command by group and global name; eKeyNotFound when there is none.
    virtual Acad::ErrorStatus removeCmd(const char* groupName, const char* globalName) = 0;
    virtual Acad::ErrorStatus removeCmd(const char16_t* groupName,
                                        const char16_t* globalName) = 0;
    virtual Acad::ErrorStatus removeGroup(const char* groupName) = 0;
    virtual Acad::ErrorStatus removeGroup(const char16_t* groupName) = 0;
    // Finds a command by global name (with or without its "_") or local name, ignoring case.
    virtual AcEdCommand* lookupCmd(const char* name) const = 0;
    virtual AcEdCommand* lookupCmd(const char16_t* name) const = 0;
};

AcEdCommandStack* acedRegCmdsPtr();
#define acedRegCmds acedRegCmdsPtr()
