// Basic Windows-style scalar types and the build's text type.
//
// Module code is compiled twice: with single-byte text (TCHAR = char, UTF-8 as the system
// code page) and with UTF-16 text (TCHAR = char16_t, when _UNICODE is defined). The host and
// the provider are compiled once and offer both forms where text crosses the boundary, so the
// text-dependent names (TCHAR, ACHAR, _T, LPCTSTR) exist only inside a module build.
#pragma once

#include <cstddef>
#include <cstdint>

typedef int BOOL;
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

typedef std::uint8_t BYTE;
typedef std::uint16_t WORD;
typedef std::uint32_t DWORD;
typedef std::int32_t LONG;  // 32 bits, as on Windows
typedef std::uint32_t ULONG;
typedef std::uint32_t UINT;
typedef std::int64_t LONGLONG;
typedef std::uint64_t ULONGLONG;
typedef std::intptr_t INT_PTR;
typedef std::intptr_t LONG_PTR;
typedef std::uintptr_t UINT_PTR;
typedef std::uintptr_t ULONG_PTR;
typedef std::uintptr_t DWORD_PTR;
typedef std::uintptr_t WPARAM;
typedef std::intptr_t LPARAM;
typedef std::intptr_t LRESULT;
typedef std::int32_t HRESULT;
typedef std::int16_t SHORT;
typedef std::uint16_t USHORT;

typedef char16_t WCHAR;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef const char16_t* LPCWSTR;
typedef char16_t* LPWSTR;
typedef void* LPVOID;

// Opaque handles of the host's user interface.
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
struct HWND__;
typedef HWND__* HWND;
struct HFONT__;
typedef HFONT__* HFONT;
struct HICON__;
typedef HICON__* HICON;
typedef HICON HCURSOR;
struct HMENU__;
typedef HMENU__* HMENU;
struct HBRUSH__;
typedef HBRUSH__* HBRUSH;
struct HDC__;
typedef HDC__* HDC;
typedef void* HGDIOBJ;
typedef void* HANDLE;

// Geometry in pixels: x grows to the right, y downwards.
typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT, *LPPOINT;
typedef struct tagSIZE {
    LONG cx;
    LONG cy;
} SIZE, *LPSIZE;
typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT, *LPRECT;
typedef const RECT* LPCRECT;

// Colours as 0x00BBGGRR.
typedef DWORD COLORREF;
#define RGB(r, g, b) \
    ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) ((BYTE)(rgb))
#define GetGValue(rgb) ((BYTE)(((WORD)(rgb)) >> 8))
#define GetBValue(rgb) ((BYTE)((rgb) >> 16))

// A resource named by number: the number in the low word of a name pointer.
#define IS_INTRESOURCE(p) ((((ULONG_PTR)(p)) >> 16) == 0)
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCEW(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))

#if defined(QUARVEL_MODULE)
#if defined(_UNICODE)
typedef char16_t TCHAR;
#define QV_TEXT_(x) u##x
#else
typedef char TCHAR;
#define QV_TEXT_(x) x
#endif
#define _T(x) QV_TEXT_(x)
#define _TEXT(x) QV_TEXT_(x)
#define ACRX_T(x) QV_TEXT_(x)
typedef TCHAR ACHAR;
typedef const TCHAR* LPCTSTR;
typedef TCHAR* LPTSTR;
#if defined(_UNICODE)
#define MAKEINTRESOURCE MAKEINTRESOURCEW
#else
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#endif
#endif

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_POINTER ((HRESULT)0x80004003L)
#define E_FAIL ((HRESULT)0x80004005L)
#define E_ABORT ((HRESULT)0x80004004L)
#define E_NOINTERFACE ((HRESULT)0x80004002L)
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#define E_INVALIDARG ((HRESULT)0x80070057L)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

// Exported from a loadable module (everything else in a module stays hidden).
#define QV_EXPORT extern "C" __attribute__((visibility("default")))
