// Shell execution: hands a file or an address to the program the user chose for it (the web
// browser for http: addresses, the mail program for mailto: addresses, the help viewer for help
// files).
//
// With a desktop (the host shows real windows) the host passes the file or address to the
// desktop's opener as one argument, never through a command interpreter. Without one it
// prints the line "open: FILE" on its command line, so that scripts and tests see what would
// have been opened.
#pragma once

#include "platform/windef.h"

// Results above 32 mean success; the error results of the platform otherwise.
#define SE_ERR_FNF 2
#define SE_ERR_NOASSOC 31

// operation: "open" (or null, the same); parameters and directory are not used for addresses.
HINSTANCE ShellExecuteA(HWND owner, const char* operation, const char* file, const char* parameters,
                        const char* directory, int showCommand);
HINSTANCE ShellExecuteW(HWND owner, const char16_t* operation, const char16_t* file,
                        const char16_t* parameters, const char16_t* directory, int showCommand);
#if defined(QUARVEL_MODULE)
#if defined(_UNICODE)
#define ShellExecute ShellExecuteW
#else
#define ShellExecute ShellExecuteA
#endif
#endif
