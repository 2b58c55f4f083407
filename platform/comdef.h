// Component object support: interface identifiers, IUnknown/IDispatch, COM initialisation and
// object creation, and the compiler support classes _com_error, _bstr_t, _variant_t and the
// interface smart pointer _com_ptr_t.
#pragma once

#include <cstring>
#include <string>
#include <utility>

#include "platform/oleauto.h"
#include "platform/textconv.h"

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
    friend bool operator==(const GUID& a, const GUID& b) {
        return std::memcmp(&a, &b, sizeof a) == 0;
    }
};
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFIID;
typedef const GUID& REFCLSID;

// The identifier of a class or interface type, as the compiler extension of the same name.
template <class T>
const GUID& QvUuidOf();
#define __uuidof(T) QvUuidOf<T>()

struct QV_OLE_API IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};
struct QV_OLE_API IDispatch : IUnknown {};

template <>
inline const GUID& QvUuidOf<IUnknown>() {
    static const GUID id = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    return id;
}
template <>
inline const GUID& QvUuidOf<IDispatch>() {
    static const GUID id = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    return id;
}

#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_INPROC_HANDLER 0x2
#define CLSCTX_LOCAL_SERVER 0x4
#define CLSCTX_REMOTE_SERVER 0x10
#define CLSCTX_ALL \
    (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154L)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110L)

// Initialisation is counted per process; every successful CoInitialize needs a CoUninitialize.
QV_OLE_API HRESULT CoInitialize(void* reserved);
QV_OLE_API void CoUninitialize();
// Creates the provider's Connection, Recordset or Command object.
QV_OLE_API HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid,
                                    void** object);

// An error raised by a failing operation: its HRESULT, source and description.
class _bstr_t;
class QV_OLE_API _com_error {
public:
    explicit _com_error(HRESULT hr, std::u16string source = {}, std::u16string description = {})
        : m_hr(hr), m_source(std::move(source)), m_description(std::move(description)) {}
    // Out of line in the provider, so that the type's identity (for catching it in a module)
    // lives in one library only.
    virtual ~_com_error();
    _com_error(const _com_error&) = default;
    _com_error& operator=(const _com_error&) = default;
    HRESULT Error() const { return m_hr; }
    _bstr_t Source() const;
    _bstr_t Description() const;
    const std::u16string& SourceText() const { return m_source; }
    const std::u16string& DescriptionText() const { return m_description; }

private:
    HRESULT m_hr;
    std::u16string m_source;
    std::u16string m_description;
};

[[noreturn]] inline void _com_issue_error(HRESULT hr) {
    throw _com_error(hr);
}

// An owned BSTR. Converts from and to UTF-8 (char) and UTF-16 (char16_t) text.
class _bstr_t {
public:
    _bstr_t() = default;
    _bstr_t(const char16_t* s) : m_bstr(s ? SysAllocString(s) : nullptr) {}
    _bstr_t(const char* s) {
        if (s)
            Assign(qv::ToUtf16(std::string_view(s)));
    }
    _bstr_t(std::u16string_view s) { Assign(s); }
    // Takes ownership of (copy = false) or copies a BSTR.
    _bstr_t(BSTR s, bool copy) : m_bstr(copy && s ? SysAllocStringLen(s, SysStringLen(s)) : s) {}
    _bstr_t(const _bstr_t& o)
        : m_bstr(o.m_bstr ? SysAllocStringLen(o.m_bstr, o.length()) : nullptr) {}
    _bstr_t(_bstr_t&& o) noexcept : m_bstr(std::exchange(o.m_bstr, nullptr)) {}
    _bstr_t& operator=(_bstr_t o) noexcept {
        std::swap(m_bstr, o.m_bstr);
        return *this;
    }
    ~_bstr_t() { SysFreeString(m_bstr); }

    unsigned int length() const { return SysStringLen(m_bstr); }
    std::u16string_view View() const { return {m_bstr ? m_bstr : u"", length()}; }
    std::string Utf8() const { return qv::ToUtf8(View()); }
    operator const char16_t*() const { return m_bstr ? m_bstr : u""; }
    BSTR GetBSTR() const { return m_bstr; }
    BSTR copy() const { return SysAllocStringLen(m_bstr, length()); }
    BSTR Detach() { return std::exchange(m_bstr, nullptr); }
    friend bool operator==(const _bstr_t& a, const _bstr_t& b) { return a.View() == b.View(); }

private:
    void Assign(std::u16string_view s) {
        m_bstr = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    }
    BSTR m_bstr = nullptr;
};

inline _bstr_t _com_error::Source() const {
    return _bstr_t(m_source);
}
inline _bstr_t _com_error::Description() const {
    return _bstr_t(m_description);
}

// An owned VARIANT.
class _variant_t : public VARIANT {
public:
    _variant_t() { VariantInit(this); }
    _variant_t(const VARIANT& v) {
        VariantInit(this);
        Check(VariantCopy(this, &v));
    }
    _variant_t(const _variant_t& v) : _variant_t(static_cast<const VARIANT&>(v)) {}
    _variant_t(_variant_t&& v) noexcept : VARIANT(v) { VariantInit(&v); }
    _variant_t(short value, VARTYPE type = VT_I2) {
        Set(type == VT_BOOL ? VT_BOOL : VT_I2), iVal = value;
    }
    _variant_t(long value, VARTYPE type = VT_I4) {
        if (type == VT_ERROR) {
            Set(VT_ERROR), scode = static_cast<HRESULT>(value);
        } else {
            Set(VT_I4), lVal = static_cast<LONG>(value);
        }
    }
    _variant_t(int value) { Set(VT_I4), lVal = value; }
    _variant_t(double value, VARTYPE type = VT_R8) {
        if (type == VT_DATE) {
            Set(VT_DATE), date = value;
        } else {
            Set(VT_R8), dblVal = value;
        }
    }
    _variant_t(bool value) { Set(VT_BOOL), boolVal = value ? VARIANT_TRUE : VARIANT_FALSE; }
    _variant_t(long long value) { Set(VT_I8), llVal = value; }
    _variant_t(const CY& value) { Set(VT_CY), cyVal = value; }
    _variant_t(const DECIMAL& value) {
        decVal = value;
        vt = VT_DECIMAL;
    }
    _variant_t(const char16_t* s) { Set(VT_BSTR), bstrVal = SysAllocString(s ? s : u""); }
    _variant_t(const char* s) { Set(VT_BSTR), bstrVal = _bstr_t(s ? s : "").Detach(); }
    _variant_t(const _bstr_t& s) { Set(VT_BSTR), bstrVal = s.copy(); }
    // An interface value; adds a reference unless addRef is false.
    _variant_t(IDispatch* p, bool addRef = true) {
        Set(VT_DISPATCH), pdispVal = p;
        if (p && addRef)
            p->AddRef();
    }
    _variant_t& operator=(const _variant_t& v) {
        if (this != &v)
            Check(VariantCopy(this, &v));
        return *this;
    }
    _variant_t& operator=(_variant_t&& v) noexcept {
        if (this != &v) {
            VariantClear(this);
            static_cast<VARIANT&>(*this) = v;
            VariantInit(&v);
        }
        return *this;
    }
    ~_variant_t() { VariantClear(this); }

    void Clear() { Check(VariantClear(this)); }
    // Changes the value's type in place; throws _com_error when it cannot.
    void ChangeType(VARTYPE type, const _variant_t* source = nullptr) {
        Check(VariantChangeType(this, source ? source : this, 0, type));
    }
    VARIANT Detach() {
        VARIANT v = *this;
        VariantInit(this);
        return v;
    }

private:
    void Set(VARTYPE type) {
        VariantInit(this);
        vt = type;
    }
    static void Check(HRESULT hr) {
        if (FAILED(hr))
            _com_issue_error(hr);
    }
};

// An interface pointer that counts its reference. Calls through a null pointer raise
// E_POINTER.
template <class I>
class _com_ptr_t {
public:
    _com_ptr_t() = default;
    _com_ptr_t(std::nullptr_t) {}
    _com_ptr_t(I* p, bool addRef = true) : m_p(p) {
        if (m_p && addRef)
            m_p->AddRef();
    }
    _com_ptr_t(const _com_ptr_t& o) : _com_ptr_t(o.m_p) {}
    _com_ptr_t(_com_ptr_t&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    _com_ptr_t& operator=(_com_ptr_t o) noexcept {
        std::swap(m_p, o.m_p);
        return *this;
    }
    _com_ptr_t& operator=(std::nullptr_t) {
        Release();
        return *this;
    }
    ~_com_ptr_t() { Release(); }

    HRESULT CreateInstance(REFCLSID clsid, IUnknown* outer = nullptr, DWORD context = CLSCTX_ALL) {
        Release();
        void* object = nullptr;
        const HRESULT hr = CoCreateInstance(clsid, outer, context, __uuidof(I), &object);
        if (SUCCEEDED(hr))
            m_p = static_cast<I*>(object);
        return hr;
    }
    void Attach(I* p) {
        Release();
        m_p = p;
    }
    I* Detach() { return std::exchange(m_p, nullptr); }
    void Release() {
        if (m_p)
            std::exchange(m_p, nullptr)->Release();
    }
    void AddRef() {
        if (!m_p)
            _com_issue_error(E_POINTER);
        m_p->AddRef();
    }
    I* GetInterfacePtr() const { return m_p; }
    I* operator->() const {
        if (!m_p)
            _com_issue_error(E_POINTER);
        return m_p;
    }
    I& operator*() const {
        if (!m_p)
            _com_issue_error(E_POINTER);
        return *m_p;
    }
    operator I*() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    bool operator!() const { return m_p == nullptr; }
    friend bool operator==(const _com_ptr_t& a, std::nullptr_t) { return a.m_p == nullptr; }

private:
    I* m_p = nullptr;
};

#define _COM_SMARTPTR_TYPEDEF(Interface, iid) typedef _com_ptr_t<Interface> Interface##Ptr
