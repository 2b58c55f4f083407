// Type-safe printf-style formatting for both text widths.
//
// FormatText(fmt, args...) accepts the C printf conversions (d i u o x X c s S f F e E g G a A
// p %) with flags, width, precision ('*' taken from the arguments) and any length modifier
// (hh h l ll L z j t I64 are accepted and ignored: the argument's own type decides). Integer
// conversions without "ll" treat their value as 32 bits, as a Windows "long" is; so
// "%08lx" of an HRESULT gives eight digits. Strings may be of either width in any format.
// A missing argument formats as nothing; surplus arguments are ignored.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/textconv.h"

namespace qv {

struct FormatArg {
    enum class Kind { Signed, Unsigned, Real, Text8, Text16, Pointer };
    Kind kind = Kind::Signed;
    long long i = 0;
    unsigned long long u = 0;
    double d = 0;
    const void* p = nullptr;
    std::size_t len = 0;  // for text arguments
};

template <class T>
FormatArg MakeFormatArg(const T& v) {
    using U = std::decay_t<T>;
    if constexpr (std::is_array_v<T>) {
        const std::remove_extent_t<T>* p =
            v;  // arrays (string literals) format as the pointer they decay to
        return MakeFormatArg(p);
    }
    FormatArg a;
    if constexpr (std::is_array_v<T>) {
        return a;
    } else if constexpr (std::is_same_v<U, bool>) {
        a.kind = FormatArg::Kind::Signed, a.i = v ? 1 : 0;
    } else if constexpr (std::is_same_v<U, char16_t> || std::is_same_v<U, char32_t>) {
        a.kind = FormatArg::Kind::Unsigned, a.u = static_cast<unsigned long long>(v);
    } else if constexpr (std::is_enum_v<U>) {
        a.kind = FormatArg::Kind::Signed, a.i = static_cast<long long>(v);
    } else if constexpr (std::is_integral_v<U> && std::is_signed_v<U>) {
        a.kind = FormatArg::Kind::Signed, a.i = v;
    } else if constexpr (std::is_integral_v<U>) {
        a.kind = FormatArg::Kind::Unsigned, a.u = v;
    } else if constexpr (std::is_floating_point_v<U>) {
        a.kind = FormatArg::Kind::Real, a.d = static_cast<double>(v);
    } else if constexpr (std::is_same_v<U, const char*> || std::is_same_v<U, char*>) {
        a.kind = FormatArg::Kind::Text8, a.p = v, a.len = v ? std::strlen(v) : 0;
    } else if constexpr (std::is_same_v<U, const char16_t*> || std::is_same_v<U, char16_t*>) {
        a.kind = FormatArg::Kind::Text16, a.p = v;
        a.len = v ? std::char_traits<char16_t>::length(v) : 0;
    } else if constexpr (std::is_convertible_v<const U&, std::string_view>) {
        const std::string_view s(v);
        a.kind = FormatArg::Kind::Text8, a.p = s.data(), a.len = s.size();
    } else if constexpr (std::is_convertible_v<const U&, std::u16string_view>) {
        const std::u16string_view s(v);
        a.kind = FormatArg::Kind::Text16, a.p = s.data(), a.len = s.size();
    } else if constexpr (std::is_pointer_v<U>) {
        a.kind = FormatArg::Kind::Pointer, a.p = static_cast<const void*>(v);
    } else if constexpr (requires { v.GetString(); }) {
        // Framework strings (CString) of either width.
        return MakeFormatArg(v.GetString());
    } else {
        static_assert(sizeof(U) == 0, "type not supported by FormatText");
    }
    return a;
}

namespace detail {

inline void AppendSnprintf(std::string& out, const std::string& conversion, auto value) {
    char buf[128];
    int n = std::snprintf(buf, sizeof buf, conversion.c_str(), value);
    if (n < 0)
        return;
    if (static_cast<std::size_t>(n) < sizeof buf) {
        out.append(buf, n);
    } else {
        std::string big(static_cast<std::size_t>(n) + 1, '\0');
        std::snprintf(big.data(), big.size(), conversion.c_str(), value);
        out.append(big.data(), n);
    }
}

inline void AppendPadded(std::string& out, std::string_view text, bool left, int width) {
    // Width counts characters (code points), not bytes.
    int chars = 0;
    for (std::size_t i = 0; i < text.size();) {
        DecodeUtf8(text, i);
        ++chars;
    }
    const int pad = width > chars ? width - chars : 0;
    if (!left)
        out.append(pad, ' ');
    out.append(text);
    if (left)
        out.append(pad, ' ');
}

}  // namespace detail

// The engine: formats into UTF-8.
inline std::string FormatUtf8(std::string_view fmt, const FormatArg* args, std::size_t count) {
    std::string out;
    out.reserve(fmt.size() + 16 * count);
    std::size_t next = 0;
    auto take = [&]() -> const FormatArg* { return next < count ? &args[next++] : nullptr; };
    auto asInt = [](const FormatArg* a) -> long long {
        if (!a)
            return 0;
        switch (a->kind) {
            case FormatArg::Kind::Signed:
                return a->i;
            case FormatArg::Kind::Unsigned:
                return static_cast<long long>(a->u);
            case FormatArg::Kind::Real:
                return static_cast<long long>(a->d);
            default:
                return 0;
        }
    };
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        const char c = fmt[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (i + 1 < fmt.size() && fmt[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        std::string flags;
        while (j < fmt.size() && std::strchr("-+ #0", fmt[j]))
            flags += fmt[j++];
        int width = -1;
        if (j < fmt.size() && fmt[j] == '*') {
            width = static_cast<int>(asInt(take()));
            if (width < 0) {
                flags += '-';
                width = -width;
            }
            ++j;
        } else {
            while (j < fmt.size() && fmt[j] >= '0' && fmt[j] <= '9') {
                width = (width < 0 ? 0 : width * 10) + (fmt[j++] - '0');
                if (width > 4096)
                    width = 4096;
            }
        }
        int precision = -1;
        if (j < fmt.size() && fmt[j] == '.') {
            ++j;
            precision = 0;
            if (j < fmt.size() && fmt[j] == '*') {
                precision = static_cast<int>(asInt(take()));
                ++j;
            } else {
                while (j < fmt.size() && fmt[j] >= '0' && fmt[j] <= '9') {
                    precision = precision * 10 + (fmt[j++] - '0');
                    if (precision > 4096)
                        precision = 4096;
                }
            }
        }
        bool wide = false;  // "ll" / "I64": 64-bit integers
        while (j < fmt.size() && std::strchr("hlLqjztI", fmt[j])) {
            if (fmt[j] == 'I' && j + 2 < fmt.size() && fmt[j + 1] == '6' && fmt[j + 2] == '4') {
                wide = true;
                j += 3;
                continue;
            }
            if (fmt[j] == 'l' && j + 1 < fmt.size() && fmt[j + 1] == 'l') {
                wide = true;
                ++j;
            }
            if (fmt[j] == 'j' || fmt[j] == 'z' || fmt[j] == 't' || fmt[j] == 'q')
                wide = true;
            ++j;
        }
        if (j >= fmt.size()) {  // incomplete conversion: keep it as text
            out.append(fmt.substr(i));
            break;
        }
        const char conv = fmt[j];
        std::string conversion = "%" + flags;
        if (width >= 0)
            conversion += std::to_string(width);
        if (precision >= 0)
            conversion += "." + std::to_string(precision);
        const FormatArg* a = nullptr;
        if (std::strchr("diuoxXcCsSfFeEgGaAp", conv) && next >= count) {
            i = j;  // a missing argument formats as nothing
            continue;
        }
        switch (conv) {
            case 'd':
            case 'i': {
                a = take();
                long long v = asInt(a);
                if (!wide)
                    v = static_cast<int>(v);
                detail::AppendSnprintf(out, conversion + "lld", v);
                break;
            }
            case 'u':
            case 'o':
            case 'x':
            case 'X': {
                a = take();
                unsigned long long v = static_cast<unsigned long long>(asInt(a));
                if (!wide)
                    v &= 0xFFFFFFFFull;
                detail::AppendSnprintf(out, conversion + "ll" + conv, v);
                break;
            }
            case 'c':
            case 'C': {
                a = take();
                std::string ch;
                AppendUtf8(ch, static_cast<char32_t>(asInt(a)));
                detail::AppendPadded(out, ch, flags.find('-') != std::string::npos, width);
                break;
            }
            case 's':
            case 'S': {
                a = take();
                std::string text;
                if (a && a->kind == FormatArg::Kind::Text8) {
                    text.assign(static_cast<const char*>(a->p), a->len);
                } else if (a && a->kind == FormatArg::Kind::Text16) {
                    text = ToUtf8(std::u16string_view(static_cast<const char16_t*>(a->p), a->len));
                } else if (a && a->kind == FormatArg::Kind::Pointer && !a->p) {
                    text = "(null)";
                }
                if (precision >= 0) {
                    // Precision counts characters; never cut inside a UTF-8 sequence.
                    std::size_t pos = 0;
                    for (int k = 0; k < precision && pos < text.size(); ++k)
                        DecodeUtf8(text, pos);
                    text.resize(pos);
                }
                detail::AppendPadded(out, text, flags.find('-') != std::string::npos, width);
                break;
            }
            case 'f':
            case 'F':
            case 'e':
            case 'E':
            case 'g':
            case 'G':
            case 'a':
            case 'A': {
                a = take();
                double v = 0;
                if (a) {
                    if (a->kind == FormatArg::Kind::Real)
                        v = a->d;
                    else if (a->kind == FormatArg::Kind::Unsigned)
                        v = static_cast<double>(a->u);
                    else
                        v = static_cast<double>(asInt(a));
                }
                detail::AppendSnprintf(out, conversion + conv, v);
                break;
            }
            case 'p': {
                a = take();
                detail::AppendSnprintf(out, conversion + "p", a ? a->p : nullptr);
                break;
            }
            default:
                // Unknown conversion: keep the text as written.
                out.append(fmt.substr(i, j - i + 1));
                break;
        }
        i = j;
    }
    return out;
}

template <class C, class... Args>
std::basic_string<C> FormatText(const C* fmt, const Args&... args) {
    const FormatArg list[sizeof...(Args) + 1] = {MakeFormatArg(args)..., FormatArg{}};
    if constexpr (sizeof(C) == 1) {
        return FormatUtf8(fmt ? std::string_view(fmt) : std::string_view(), list, sizeof...(Args));
    } else {
        return ToUtf16(FormatUtf8(ToUtf8(fmt), list, sizeof...(Args)));
    }
}

}  // namespace qv
