// System services of the platform's kernel library that module code uses: the file name of a
// loaded module and the operating system's version record.
#pragma once

#include "platform/windef.h"

// The full path of the loaded module whose instance handle is given (null: the host program),
// copied into buffer with its terminator and cut to size - 1 characters; the number of
// characters copied, 0 when the module is not known.
DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size);
DWORD GetModuleFileNameW(HMODULE module, char16_t* buffer, DWORD size);

// Platform identifiers of the version record.
#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2

// Product types and suite bits of the extended record.
#define VER_NT_WORKSTATION 0x0000001
#define VER_NT_DOMAIN_CONTROLLER 0x0000002
#define VER_NT_SERVER 0x0000003
#define VER_SUITE_ENTERPRISE 0x00000002
#define VER_SUITE_DATACENTER 0x00000080
#define VER_SUITE_PERSONAL 0x00000200

// The version records, in the platform's layout: 148 and 156 bytes in their narrow forms.
struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
};
struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char16_t szCSDVersion[128];
};
struct OSVERSIONINFOEXA : OSVERSIONINFOA {
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};
struct OSVERSIONINFOEXW : OSVERSIONINFOW {
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};
static_assert(sizeof(OSVERSIONINFOA) == 148 && sizeof(OSVERSIONINFOEXA) == 156);

// Fills the record whose size field is set (the basic or the extended form). This platform is
// not of the family the record describes: the call fails (FALSE) and the running system is
// described by GetSystemReleaseInfo instead.
BOOL GetVersionExA(OSVERSIONINFOA* info);
BOOL GetVersionExW(OSVERSIONINFOW* info);

// The running system as the platform names it (UTF-8): the distribution's name and version
// (PRETTY_NAME of /etc/os-release, empty when not known), the kernel's name and release and the
// machine's hardware name (as uname gives them).
struct SYSTEMRELEASEINFO {
    char szDistribution[256];
    char szKernelName[65];
    char szKernelRelease[65];
    char szMachine[65];
};
BOOL GetSystemReleaseInfo(SYSTEMRELEASEINFO* info);

#if defined(QUARVEL_MODULE)
#if defined(_UNICODE)
#define GetModuleFileName GetModuleFileNameW
#define GetVersionEx GetVersionExW
typedef OSVERSIONINFOW OSVERSIONINFO;
typedef OSVERSIONINFOEXW OSVERSIONINFOEX;
#else
#define GetModuleFileName GetModuleFileNameA
#define GetVersionEx GetVersionExA
typedef OSVERSIONINFOA OSVERSIONINFO;
typedef OSVERSIONINFOEXA OSVERSIONINFOEX;
#endif
#endif
