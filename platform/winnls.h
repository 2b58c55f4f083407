// Operating-system text services used by the data-access code: the locale's currency format
// and the system's message texts. Implemented by the data provider library.
#pragma once

#include "platform/oleauto.h"

#define LOCALE_USER_DEFAULT ((LCID)0x0400)
#define LOCALE_SYSTEM_DEFAULT ((LCID)0x0800)
#define LANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000

#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_MR_MID_NOT_FOUND 317L

struct CURRENCYFMTA;
struct CURRENCYFMTW;

// Formats a number text ("-1234.5": optional minus, digits, optional '.' and digits) as money
// in the user's monetary locale (LC_MONETARY). Returns the characters written including the
// terminator, or 0 when the number is malformed, the locale defines no currency format, or the
// buffer is too small (GetLastError tells which). A null format means the locale's own.
QV_OLE_API int GetCurrencyFormatA(LCID locale, DWORD flags, const char* value,
                                  const CURRENCYFMTA* format, char* buffer, int size);
QV_OLE_API int GetCurrencyFormatW(LCID locale, DWORD flags, const char16_t* value,
                                  const CURRENCYFMTW* format, char16_t* buffer, int size);

// FORMAT_MESSAGE_FROM_SYSTEM: the system's text for an error code, ending in "\r\n". Returns
// the characters written (without the terminator), 0 when there is no text.
QV_OLE_API DWORD FormatMessageA(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                                char* buffer, DWORD size, void* arguments);
QV_OLE_API DWORD FormatMessageW(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                                char16_t* buffer, DWORD size, void* arguments);

QV_OLE_API DWORD GetLastError();
QV_OLE_API void SetLastError(DWORD error);

#if defined(QUARVEL_MODULE)
#if defined(_UNICODE)
#define GetCurrencyFormat GetCurrencyFormatW
#define FormatMessage FormatMessageW
#else
#define GetCurrencyFormat GetCurrencyFormatA
#define FormatMessage FormatMessageA
#endif
#endif
