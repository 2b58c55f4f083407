// The subset of the application framework's window services that module code uses outside
// dialogs: message boxes. The dialog classes and controls live in afxdlgs.h.
#pragma once

#include "platform/CString.h"
#include "platform/windef.h"

// Message box styles.
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
#define MB_ICONHAND 0x00000010u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_DEFBUTTON2 0x00000100u
#define MB_TYPEMASK 0x0000000Fu
#define MB_ICONMASK 0x000000F0u

// Message box answers.
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

// Shows a modal message box through the host's user interface and returns the answer. The
// caption is the application's title ("AutoCAD" style host title) unless one is given.
int AfxMessageBox(const char* text, UINT type = MB_OK, UINT helpId = 0);
int AfxMessageBox(const char16_t* text, UINT type = MB_OK, UINT helpId = 0);
int MessageBox(HWND owner, const char* text, const char* caption, UINT type);
int MessageBox(HWND owner, const char16_t* text, const char16_t* caption, UINT type);

// The framework document of a drawing: its path name is the drawing's full file path, empty
// until the drawing is first saved.
class CDocument {
public:
    virtual ~CDocument() = default;
    virtual CStringA GetPathNameA() const = 0;
    CStringW GetPathNameW() const { return CStringW(GetPathNameA()); }
#if defined(QUARVEL_MODULE)
#if defined(_UNICODE)
    CString GetPathName() const { return GetPathNameW(); }
#else
    CString GetPathName() const { return GetPathNameA(); }
#endif
#endif
};

// The module resource handle in use for dialogs and string lookups.
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE resource);

// The instance handle of the loaded module that contains the given address (the start of its
// image), or null. A module stores its own as its resource instance at start-up.
HINSTANCE AfxFindModuleInstance(const void* addressInModule);
