// Automation values (BSTR, VARIANT, SAFEARRAY), COM initialisation, and the text services of
// winnls.h (currency format, system message texts).
#include <langinfo.h>
#include <locale.h>
#include <monetary.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "platform/ATLComTime.h"
#include "platform/comdef.h"
#include "platform/winnls.h"

// ---- Strings ---------------------------------------------------------------------------

// A BSTR points just past a 32-bit byte count; the text is terminated.
BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    auto* block = static_cast<std::uint32_t*>(std::malloc(
        sizeof(std::uint32_t) + (static_cast<std::size_t>(length) + 1) * sizeof(OLECHAR)));
    if (!block)
        return nullptr;
    *block = length * sizeof(OLECHAR);
    auto* s = reinterpret_cast<OLECHAR*>(block + 1);
    if (text && length)
        std::memcpy(s, text, length * sizeof(OLECHAR));
    if (!text && length)
        std::memset(s, 0, length * sizeof(OLECHAR));
    s[length] = 0;
    return s;
}

BSTR SysAllocString(const OLECHAR* text) {
    if (!text)
        return nullptr;
    return SysAllocStringLen(text, static_cast<UINT>(std::char_traits<char16_t>::length(text)));
}

void SysFreeString(BSTR text) {
    if (text)
        std::free(reinterpret_cast<std::uint32_t*>(text) - 1);
}

UINT SysStringLen(BSTR text) {
    return text ? reinterpret_cast<const std::uint32_t*>(text)[-1] / sizeof(OLECHAR) : 0;
}

// ---- Arrays ----------------------------------------------------------------------------

SAFEARRAY* SafeArrayCreateVector(VARTYPE type, LONG lowerBound, ULONG count) {
    if (type != VT_UI1 && type != VT_I1)
        return nullptr;  // byte vectors only
    auto* array = static_cast<SAFEARRAY*>(std::calloc(1, sizeof(SAFEARRAY)));
    if (!array)
        return nullptr;
    array->cDims = 1;
    array->cbElements = 1;
    array->rgsabound[0] = {count, lowerBound};
    array->pvData = std::calloc(count ? count : 1, 1);
    if (!array->pvData) {
        std::free(array);
        return nullptr;
    }
    return array;
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) {
    if (array) {
        std::free(array->pvData);
        std::free(array);
    }
    return S_OK;
}

// ---- Values ----------------------------------------------------------------------------

void VariantInit(VARIANTARG* value) {
    std::memset(value, 0, sizeof *value);
    value->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANTARG* value) {
    if (!value)
        return E_INVALIDARG;
    switch (value->vt) {
        case VT_BSTR:
            SysFreeString(value->bstrVal);
            break;
        case VT_DISPATCH:
        case VT_UNKNOWN:
            if (value->punkVal)
                value->punkVal->Release();
            break;
        default:
            if (value->vt & VT_ARRAY)
                SafeArrayDestroy(value->parray);
            break;
    }
    VariantInit(value);
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* destination, const VARIANTARG* source) {
    if (!destination || !source)
        return E_INVALIDARG;
    if (destination == source)
        return S_OK;
    VARIANT copy = *source;
    switch (source->vt) {
        case VT_BSTR:
            copy.bstrVal = source->bstrVal
                               ? SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal))
                               : nullptr;
            if (source->bstrVal && !copy.bstrVal)
                return E_OUTOFMEMORY;
            break;
        case VT_DISPATCH:
        case VT_UNKNOWN:
            if (copy.punkVal)
                copy.punkVal->AddRef();
            break;
        default:
            if (source->vt & VT_ARRAY) {
                const SAFEARRAY* a = source->parray;
                if (a) {
                    copy.parray =
                        SafeArrayCreateVector(source->vt & VT_TYPEMASK, a->rgsabound[0].lLbound,
                                              a->rgsabound[0].cElements);
                    if (!copy.parray)
                        return E_OUTOFMEMORY;
                    std::memcpy(copy.parray->pvData, a->pvData, a->rgsabound[0].cElements);
                }
            }
            break;
    }
    VariantClear(destination);
    *destination = copy;
    return S_OK;
}

namespace {

double DecimalToDouble(const DECIMAL& d) {
    const long double mantissa = static_cast<long double>(d.Hi32) * 18446744073709551616.0L +
                                 static_cast<long double>(d.Lo64);
    const long double value = mantissa / std::pow(10.0L, d.scale);
    return static_cast<double>(d.sign & DECIMAL_NEG ? -value : value);
}

// Exact integers travel as integers, everything else as a long double.
struct Number {
    bool isInteger = false;
    long long i = 0;
    unsigned long long u = 0;  // for VT_UI8 above the signed range
    bool isUnsignedBig = false;
    long double d = 0;
};

bool ParseNumber(std::u16string_view text, long double& out) {
    std::string s = qv::ToUtf8(text);
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return false;
    s.erase(0, first);
    s.erase(s.find_last_not_of(" \t") + 1);
    char* end = nullptr;
    errno = 0;
    out = std::strtold(s.c_str(), &end);
    return end && *end == 0 && end != s.c_str() && errno != ERANGE;
}

bool ParseDate(std::u16string_view text, double& out) {
    const std::string s = qv::ToUtf8(text);
    int y = 0, m = 0, d = 0, hh = 0, mm = 0, ss = 0;
    char sep = 0;
    const int n = std::sscanf(s.c_str(), "%d-%d-%d%c%d:%d:%d", &y, &m, &d, &sep, &hh, &mm, &ss);
    if (n != 3 && n < 6)
        return false;
    if (n == 6)
        ss = 0;
    if (n > 3 && sep != ' ' && sep != 'T')
        return false;
    COleDateTime t(y, m, d, hh, mm, ss);
    if (t.GetStatus() != COleDateTime::valid)
        return false;
    out = t.m_dt;
    return true;
}

HRESULT ToNumber(const VARIANT& v, Number& n) {
    switch (v.vt) {
        case VT_I1:
            n.isInteger = true, n.i = v.cVal;
            break;
        case VT_UI1:
            n.isInteger = true, n.i = v.bVal;
            break;
        case VT_I2:
            n.isInteger = true, n.i = v.iVal;
            break;
        case VT_UI2:
            n.isInteger = true, n.i = v.uiVal;
            break;
        case VT_I4:
            n.isInteger = true, n.i = v.lVal;
            break;
        case VT_UI4:
            n.isInteger = true, n.i = v.ulVal;
            break;
        case VT_INT:
            n.isInteger = true, n.i = v.intVal;
            break;
        case VT_UINT:
            n.isInteger = true, n.i = v.uintVal;
            break;
        case VT_I8:
            n.isInteger = true, n.i = v.llVal;
            break;
        case VT_UI8:
            if (v.ullVal > static_cast<unsigned long long>(std::numeric_limits<long long>::max())) {
                n.isUnsignedBig = true, n.u = v.ullVal;
            } else {
                n.isInteger = true, n.i = static_cast<long long>(v.ullVal);
            }
            break;
        case VT_BOOL:
            n.isInteger = true, n.i = v.boolVal ? -1 : 0;
            break;
        case VT_R4:
            n.d = v.fltVal;
            break;
        case VT_R8:
            n.d = v.dblVal;
            break;
        case VT_DATE:
            n.d = v.date;
            break;
        case VT_CY:
            n.d = static_cast<long double>(v.cyVal.int64) / 10000.0L;
            break;
        case VT_DECIMAL:
            n.d = DecimalToDouble(v.decVal);
            break;
        case VT_BSTR: {
            const std::u16string_view text(v.bstrVal ? v.bstrVal : u"", SysStringLen(v.bstrVal));
            if (!ParseNumber(text, n.d)) {
                double date = 0;
                if (!ParseDate(text, date))
                    return DISP_E_TYPEMISMATCH;
                n.d = date;
            }
            break;
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
    if (n.isInteger)
        n.d = static_cast<long double>(n.i);
    if (n.isUnsignedBig)
        n.d = static_cast<long double>(n.u);
    return S_OK;
}

std::string NumberText(const VARIANT& v) {
    char buf[64];
    switch (v.vt) {
        case VT_R4:
            std::snprintf(buf, sizeof buf, "%.7g", static_cast<double>(v.fltVal));
            break;
        case VT_R8:
            std::snprintf(buf, sizeof buf, "%.15g", v.dblVal);
            break;
        case VT_CY: {
            const long long c = v.cyVal.int64;
            const unsigned long long a = c < 0 ? 0ULL - static_cast<unsigned long long>(c) : c;
            std::snprintf(buf, sizeof buf, "%s%llu.%04llu", c < 0 ? "-" : "", a / 10000, a % 10000);
            std::string s = buf;
            s.erase(s.find_last_not_of('0') + 1);
            if (s.back() == '.')
                s.pop_back();
            return s;
        }
        case VT_DATE:
            return COleDateTime(v.date).FormatAs<char>("%Y-%m-%d %H:%M:%S").Str();
        case VT_BOOL:
            return v.boolVal ? "True" : "False";
        case VT_UI8:
            std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(v.ullVal));
            break;
        case VT_DECIMAL:
            std::snprintf(buf, sizeof buf, "%.15g", DecimalToDouble(v.decVal));
            break;
        default: {
            Number n;
            if (FAILED(ToNumber(v, n)))
                return {};
            std::snprintf(buf, sizeof buf, "%lld", n.i);
            break;
        }
    }
    return buf;
}

template <class T>
bool InRange(long double d) {
    return d >= static_cast<long double>(std::numeric_limits<T>::lowest()) &&
           d <= static_cast<long double>(std::numeric_limits<T>::max());
}

// Integer targets round half to even, as automation conversions do.
long long RoundToInteger(long double d) {
    return static_cast<long long>(std::nearbyint(d));
}

}  // namespace

HRESULT VariantChangeType(VARIANTARG* destination, const VARIANTARG* source, USHORT, VARTYPE type) {
    if (!destination || !source)
        return E_INVALIDARG;
    VARIANT result;
    VariantInit(&result);
    if (source->vt == type) {
        const HRESULT hr = VariantCopy(&result, source);
        if (FAILED(hr))
            return hr;
    } else if (type == VT_EMPTY) {
        // Nothing to keep.
    } else if (source->vt == VT_NULL || source->vt == VT_EMPTY) {
        if (source->vt == VT_NULL && type != VT_NULL)
            return DISP_E_TYPEMISMATCH;
        // Empty converts to zero or the empty text.
        result.vt = type;
        if (type == VT_BSTR)
            result.bstrVal = SysAllocStringLen(u"", 0);
    } else if (type == VT_BSTR) {
        const std::string text = NumberText(*source);
        if (text.empty() && source->vt != VT_DATE)
            return DISP_E_TYPEMISMATCH;
        const std::u16string wide = qv::ToUtf16(text);
        result.vt = VT_BSTR;
        result.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    } else {
        Number n;
        HRESULT hr = ToNumber(*source, n);
        if (FAILED(hr))
            return hr;
        const long double d = n.d;
        if (!std::isfinite(d) && type != VT_R8 && type != VT_R4)
            return DISP_E_OVERFLOW;
        const long long i =
            n.isInteger ? n.i : (std::isfinite(d) && InRange<long long>(d) ? RoundToInteger(d) : 0);
        const bool fitsI64 = n.isInteger || (std::isfinite(d) && InRange<long long>(d));
        result.vt = type;
        switch (type) {
            case VT_I1:
                if (!fitsI64 || i < -128 || i > 127)
                    return DISP_E_OVERFLOW;
                result.cVal = static_cast<CHAR>(i);
                break;
            case VT_UI1:
                if (!fitsI64 || i < 0 || i > 255)
                    return DISP_E_OVERFLOW;
                result.bVal = static_cast<BYTE>(i);
                break;
            case VT_I2:
                if (!fitsI64 || !InRange<SHORT>(i))
                    return DISP_E_OVERFLOW;
                result.iVal = static_cast<SHORT>(i);
                break;
            case VT_UI2:
                if (!fitsI64 || !InRange<USHORT>(i))
                    return DISP_E_OVERFLOW;
                result.uiVal = static_cast<USHORT>(i);
                break;
            case VT_I4:
            case VT_INT:
                if (!fitsI64 || !InRange<LONG>(i))
                    return DISP_E_OVERFLOW;
                result.lVal = static_cast<LONG>(i);
                break;
            case VT_UI4:
            case VT_UINT:
                if (!fitsI64 || !InRange<ULONG>(i))
                    return DISP_E_OVERFLOW;
                result.ulVal = static_cast<ULONG>(i);
                break;
            case VT_I8:
                if (!fitsI64)
                    return DISP_E_OVERFLOW;
                result.llVal = i;
                break;
            case VT_UI8:
                if (n.isUnsignedBig)
                    result.ullVal = n.u;
                else if (!fitsI64 || i < 0)
                    return DISP_E_OVERFLOW;
                else
                    result.ullVal = static_cast<ULONGLONG>(i);
                break;
            case VT_R4:
                result.fltVal = static_cast<float>(d);
                break;
            case VT_R8:
                result.dblVal = static_cast<double>(d);
                break;
            case VT_DATE:
                if (d < COleDateTime::kMin || d > COleDateTime::kMax)
                    return DISP_E_OVERFLOW;
                result.date = static_cast<double>(d);
                break;
            case VT_BOOL:
                result.boolVal = d != 0 ? VARIANT_TRUE : VARIANT_FALSE;
                break;
            case VT_CY: {
                const long double scaled = d * 10000.0L;
                if (!InRange<long long>(scaled))
                    return DISP_E_OVERFLOW;
                result.cyVal.int64 =
                    n.isInteger && InRange<long long>(static_cast<long double>(n.i) * 10000.0L)
                        ? n.i * 10000
                        : RoundToInteger(scaled);
                break;
            }
            case VT_DECIMAL: {
                // Up to 15 significant digits, scale chosen to keep them.
                DECIMAL dec{};
                long double a = std::fabs(d);
                if (a >= 7.9e28L)
                    return DISP_E_OVERFLOW;
                int scale = 0;
                while (scale < 28 && a != 0 && a < 1e14L && a * 10 < 7.9e28L &&
                       std::fabs(a - std::nearbyint(a)) > 1e-9L * a) {
                    a *= 10;
                    ++scale;
                }
                const long double m = std::nearbyint(a);
                const long double two64 = 18446744073709551616.0L;
                dec.Hi32 = static_cast<ULONG>(std::floor(m / two64));
                dec.Lo64 = static_cast<ULONGLONG>(m - static_cast<long double>(dec.Hi32) * two64);
                dec.scale = static_cast<BYTE>(scale);
                dec.sign = d < 0 ? DECIMAL_NEG : 0;
                result.decVal = dec;
                result.vt = VT_DECIMAL;
                break;
            }
            default:
                return DISP_E_BADVARTYPE;
        }
    }
    VariantClear(destination);
    *destination = result;
    return S_OK;
}

// ---- COM -------------------------------------------------------------------------------

namespace {
std::atomic<long> g_comInits{0};
thread_local DWORD t_lastError = 0;
}  // namespace

HRESULT CoInitialize(void*) {
    return g_comInits.fetch_add(1) == 0 ? S_OK : S_FALSE;
}
void CoUninitialize() {
    long n = g_comInits.load();
    while (n > 0 && !g_comInits.compare_exchange_weak(n, n - 1)) {
    }
}

DWORD GetLastError() {
    return t_lastError;
}
void SetLastError(DWORD error) {
    t_lastError = error;
}

// ---- Currency format -------------------------------------------------------------------

namespace {

// The user's monetary locale (LC_ALL, LC_MONETARY or LANG), or nullptr when it cannot be
// loaded. Loaded once.
locale_t UserMonetaryLocale() {
    static const locale_t loc = newlocale(LC_MONETARY_MASK, "", static_cast<locale_t>(nullptr));
    return loc;
}

bool ValidNumberText(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && s[i] == '-')
        ++i;
    std::size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i, ++digits;
    }
    return digits > 0 && i == s.size();
}

// The formatted text, or empty when the locale has no currency format.
std::string FormatMoney(std::string_view value) {
    if (!ValidNumberText(value)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return {};
    }
    const locale_t loc = UserMonetaryLocale();
    const char* symbol = loc ? nl_langinfo_l(CRNCYSTR, loc) : nullptr;
    if (!loc || !symbol || std::strlen(symbol) <= 1) {
        // The C and POSIX locales define no currency.
        SetLastError(ERROR_INVALID_PARAMETER);
        return {};
    }
    const double number = std::strtod(std::string(value).c_str(), nullptr);
    char buf[256];
    const ssize_t n = strfmon_l(buf, sizeof buf, loc, "%n", number);
    if (n < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return {};
    }
    return std::string(buf, static_cast<std::size_t>(n));
}

template <class C>
int CopyOut(const std::basic_string<C>& text, C* buffer, int size) {
    const int needed = static_cast<int>(text.size()) + 1;
    if (size == 0)
        return needed;  // the size the caller needs
    if (!buffer || size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
    return needed;
}

}  // namespace

int GetCurrencyFormatA(LCID, DWORD, const char* value, const CURRENCYFMTA*, char* buffer,
                       int size) {
    const std::string text = FormatMoney(value ? value : "");
    return text.empty() ? 0 : CopyOut(text, buffer, size);
}

int GetCurrencyFormatW(LCID, DWORD, const char16_t* value, const CURRENCYFMTW*, char16_t* buffer,
                       int size) {
    const std::string text = FormatMoney(qv::ToUtf8(value));
    return text.empty() ? 0 : CopyOut(qv::ToUtf16(text), buffer, size);
}

// ---- System messages -------------------------------------------------------------------

namespace {

const char* SystemMessage(DWORD code) {
    // HRESULTs of the Win32 facility (0x8007xxxx) share the text of their Win32 code.
    if ((code & 0xFFFF0000u) == 0x80070000u)
        code &= 0xFFFFu;
    switch (code) {
        case 0:
            return "The operation completed successfully.";
        case 2:
            return "The system cannot find the file specified.";
        case 3:
            return "The system cannot find the path specified.";
        case 5:
            return "Access is denied.";
        case 8:
            return "Not enough memory resources are available to process this command.";
        case 14:
            return "Not enough memory resources are available to complete this operation.";
        case 87:
            return "The parameter is incorrect.";
        case 122:
            return "The data area passed to a system call is too small.";
        case 0x80004001u:
            return "Not implemented";
        case 0x80004002u:
            return "No such interface supported";
        case 0x80004003u:
            return "Invalid pointer";
        case 0x80004004u:
            return "Operation aborted";
        case 0x80004005u:
            return "Unspecified error";
        case 0x8000FFFFu:
            return "Catastrophic failure";
        case 0x80020005u:
            return "Type mismatch.";
        case 0x80020008u:
            return "Bad variable type.";
        case 0x8002000Au:
            return "Out of present range.";
        case 0x80040110u:
            return "Class does not support aggregation (or class object is remote)";
        case 0x80040154u:
            return "Class not registered";
        case 0x800401F0u:
            return "CoInitialize has not been called.";
        default:
            return nullptr;
    }
}

template <class C>
DWORD FormatSystemMessage(DWORD flags, DWORD id, C* buffer, DWORD size) {
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char* text = SystemMessage(id);
    if (!text) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    const std::basic_string<C> out =
        qv::ConvertText<C>(std::string_view(std::string(text) + "\r\n"));
    if (!buffer || size < out.size() + 1) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(out.begin(), out.end(), buffer);
    buffer[out.size()] = 0;
    return static_cast<DWORD>(out.size());
}

}  // namespace

DWORD FormatMessageA(DWORD flags, const void*, DWORD messageId, DWORD, char* buffer, DWORD size,
                     void*) {
    return FormatSystemMessage(flags, messageId, buffer, size);
}

DWORD FormatMessageW(DWORD flags, const void*, DWORD messageId, DWORD, char16_t* buffer, DWORD size,
                     void*) {
    return FormatSystemMessage(flags, messageId, buffer, size);
}

_com_error::~_com_error() = default;
