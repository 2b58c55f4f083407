// OLE automation values: VARIANT with its VT_* type tags, DECIMAL, CY, the OLE DATE, BSTR
// (length-prefixed UTF-16 strings) and one-dimensional byte SAFEARRAYs, with the functions
// that create, copy, clear and convert them. Implemented by the data provider library.
#pragma once

#include "platform/windef.h"

#if defined(__GNUC__)
#define QV_OLE_API __attribute__((visibility("default")))
#else
#define QV_OLE_API
#endif

typedef char16_t OLECHAR;
typedef OLECHAR* BSTR;
typedef const OLECHAR* LPCOLESTR;
typedef std::int16_t VARIANT_BOOL;
typedef unsigned short VARTYPE;
typedef double DATE;
typedef std::uint32_t LCID;
typedef std::int8_t CHAR;
typedef float FLOAT;
typedef double DOUBLE;
typedef std::int64_t LONG64;

#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

// Type tags, with their automation numbers.
enum VARENUM : unsigned short {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0xfff,
};

// Currency: a 64-bit integer counting ten-thousandths.
union CY {
    struct {
        ULONG Lo;
        LONG Hi;
    };
    LONGLONG int64;
};

// 96-bit unsigned mantissa, a power-of-ten scale (0 to 28) and a sign byte (0x80 = negative).
struct DECIMAL {
    USHORT wReserved;
    BYTE scale;
    BYTE sign;
    ULONG Hi32;
    ULONGLONG Lo64;
};
#define DECIMAL_NEG ((BYTE)0x80)

struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};

struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
};

struct IUnknown;
struct IDispatch;

// The automation value. DECIMAL overlays the whole value; its first two bytes are the tag.
struct VARIANT {
    union {
        struct {
            VARTYPE vt;
            WORD wReserved1;
            WORD wReserved2;
            WORD wReserved3;
            union {
                LONGLONG llVal;
                ULONGLONG ullVal;
                LONG lVal;
                ULONG ulVal;
                BYTE bVal;
                SHORT iVal;
                USHORT uiVal;
                CHAR cVal;
                INT_PTR intValPad;
                int intVal;
                unsigned int uintVal;
                FLOAT fltVal;
                DOUBLE dblVal;
                VARIANT_BOOL boolVal;
                HRESULT scode;
                CY cyVal;
                DATE date;
                BSTR bstrVal;
                IUnknown* punkVal;
                IDispatch* pdispVal;
                SAFEARRAY* parray;
            };
        };
        DECIMAL decVal;
    };
};
typedef VARIANT VARIANTARG;

#define DISP_E_TYPEMISMATCH ((HRESULT)0x80020005L)
#define DISP_E_OVERFLOW ((HRESULT)0x8002000AL)
#define DISP_E_BADVARTYPE ((HRESULT)0x80020008L)

// Strings: allocated with a length prefix, always terminated; a null BSTR is the empty string.
QV_OLE_API BSTR SysAllocString(const OLECHAR* text);
QV_OLE_API BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
QV_OLE_API void SysFreeString(BSTR text);
QV_OLE_API UINT SysStringLen(BSTR text);

// Values.
QV_OLE_API void VariantInit(VARIANTARG* value);
QV_OLE_API HRESULT VariantClear(VARIANTARG* value);
QV_OLE_API HRESULT VariantCopy(VARIANTARG* destination, const VARIANTARG* source);
// Converts source into destination (which may be the same value) as type `type`: numbers,
// currency, dates, booleans and text convert among each other; text is read and written in
// the invariant form ("1234.5", "2024-01-31 13:05:09"). flags are accepted and ignored.
QV_OLE_API HRESULT VariantChangeType(VARIANTARG* destination, const VARIANTARG* source,
                                     USHORT flags, VARTYPE type);

// One-dimensional arrays (the provider hands out binary values as VT_ARRAY | VT_UI1).
QV_OLE_API SAFEARRAY* SafeArrayCreateVector(VARTYPE type, LONG lowerBound, ULONG count);
QV_OLE_API HRESULT SafeArrayDestroy(SAFEARRAY* array);
