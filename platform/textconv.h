// Text conversion between the host's storage form (UTF-8) and the two module text widths.
//
// Malformed input never fails: an invalid UTF-8 byte or a lone UTF-16 surrogate becomes
// U+FFFD, so text from files and databases always converts.
#pragma once

#include <string>
#include <string_view>

namespace qv {

// Decodes one code point from UTF-8 at s[i], advancing i. Invalid sequences give U+FFFD and
// advance by one byte.
inline char32_t DecodeUtf8(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int len = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + len > s.size()) {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += len;
    return cp;
}

// Writes cp as UTF-8 at p (room for four bytes) and returns the end of what it wrote.
inline char* WriteUtf8(char* p, char32_t cp) {
    if (cp < 0x80) {
        *p++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *p++ = static_cast<char>(0xC0 | (cp >> 6));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *p++ = static_cast<char>(0xE0 | (cp >> 12));
        *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *p++ = static_cast<char>(0xF0 | (cp >> 18));
        *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return p;
}

inline void AppendUtf8(std::string& out, char32_t cp) {
    char bytes[4];
    out.append(bytes, WriteUtf8(bytes, cp));
}

// Decodes one code point from UTF-16 at s[i], advancing i.
inline char32_t DecodeUtf16(std::u16string_view s, std::size_t& i) {
    const char16_t u = s[i++];
    if (u >= 0xD800 && u <= 0xDBFF) {
        if (i < s.size() && s[i] >= 0xDC00 && s[i] <= 0xDFFF) {
            return 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (s[i++] - 0xDC00);
        }
        return 0xFFFD;
    }
    if (u >= 0xDC00 && u <= 0xDFFF)
        return 0xFFFD;
    return u;
}

// Writes cp as one or two UTF-16 units at p and returns the end of what it wrote.
inline char16_t* WriteUtf16(char16_t* p, char32_t cp) {
    if (cp < 0x10000) {
        *p++ = static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        *p++ = static_cast<char16_t>(0xD800 + (cp >> 10));
        *p++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
    return p;
}

inline void AppendUtf16(std::u16string& out, char32_t cp) {
    char16_t units[2];
    out.append(units, WriteUtf16(units, cp));
}

inline std::string ToUtf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] < 0x80) {
            out.push_back(static_cast<char>(s[i++]));  // ASCII, the common case
            continue;
        }
        AppendUtf8(out, DecodeUtf16(s, i));
    }
    return out;
}
inline std::string ToUtf8(std::string_view s) {
    return std::string(s);
}
inline std::string ToUtf8(const char16_t* s) {
    return s ? ToUtf8(std::u16string_view(s)) : std::string();
}
inline std::string ToUtf8(const char* s) {
    return s ? std::string(s) : std::string();
}

inline std::u16string ToUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            out.push_back(static_cast<char16_t>(s[i++]));  // ASCII, the common case
            continue;
        }
        AppendUtf16(out, DecodeUtf8(s, i));
    }
    return out;
}
inline std::u16string ToUtf16(std::u16string_view s) {
    return std::u16string(s);
}
inline std::u16string ToUtf16(const char* s) {
    return s ? ToUtf16(std::string_view(s)) : std::u16string();
}
inline std::u16string ToUtf16(const char16_t* s) {
    return s ? std::u16string(s) : std::u16string();
}

// Converts to the text width C (char or char16_t).
template <class C>
std::basic_string<C> ConvertText(std::string_view s) {
    if constexpr (sizeof(C) == 1) {
        return std::basic_string<C>(s);
    } else {
        return ToUtf16(s);
    }
}
template <class C>
std::basic_string<C> ConvertText(std::u16string_view s) {
    if constexpr (sizeof(C) == 1) {
        return ToUtf8(s);
    } else {
        return std::basic_string<C>(s);
    }
}

// Simple case folding (to lower case) for the scripts that names and paths in drawings and
// databases commonly use: Latin (Basic, Latin-1, Extended-A), Greek and Cyrillic.
inline char32_t FoldCase(char32_t c) {
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return c + 32;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130)
            return 'i';
        if (c == 0x178)
            return 0xFF;
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return (c & 1) ? c + 1 : c;
        if (c == 0x149 || c == 0x17F || c == 0x138)
            return c;
        return (c & 1) ? c : c + 1;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
        return c + 32;
    if (c >= 0x410 && c <= 0x42F)
        return c + 32;
    if (c >= 0x400 && c <= 0x40F)
        return c + 80;
    return c;
}

inline char32_t UpperCase(char32_t c) {
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') ? c - 32 : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return c - 32;
    if (c == 0xFF)
        return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x131)
            return 'I';
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return (c & 1) ? c : c - 1;
        if (c == 0x149 || c == 0x17F || c == 0x138 || c == 0x130)
            return c;
        return (c & 1) ? c - 1 : c;
    }
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2)
        return c - 32;
    if (c >= 0x430 && c <= 0x44F)
        return c - 32;
    if (c >= 0x450 && c <= 0x45F)
        return c - 80;
    return c;
}

// Decodes either width into code points.
template <class C>
char32_t DecodeText(std::basic_string_view<C> s, std::size_t& i) {
    if constexpr (sizeof(C) == 1) {
        return DecodeUtf8(std::string_view(reinterpret_cast<const char*>(s.data()), s.size()), i);
    } else {
        return DecodeUtf16(
            std::u16string_view(reinterpret_cast<const char16_t*>(s.data()), s.size()), i);
    }
}
template <class C>
void AppendText(std::basic_string<C>& out, char32_t cp) {
    if constexpr (sizeof(C) == 1) {
        std::string tmp;
        AppendUtf8(tmp, cp);
        out.append(tmp.begin(), tmp.end());
    } else {
        std::u16string tmp;
        AppendUtf16(tmp, cp);
        out.append(tmp.begin(), tmp.end());
    }
}

// Compares two texts ignoring letter case; <0, 0 or >0.
template <class C>
int CompareNoCase(std::basic_string_view<C> a, std::basic_string_view<C> b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t x = FoldCase(DecodeText<C>(a, i));
        const char32_t y = FoldCase(DecodeText<C>(b, j));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

template <class C>
std::basic_string<C> ToLower(std::basic_string_view<C> s) {
    std::basic_string<C> out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();)
        AppendText(out, FoldCase(DecodeText<C>(s, i)));
    return out;
}
template <class C>
std::basic_string<C> ToUpper(std::basic_string_view<C> s) {
    std::basic_string<C> out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();)
        AppendText(out, UpperCase(DecodeText<C>(s, i)));
    return out;
}

}  // namespace qv
