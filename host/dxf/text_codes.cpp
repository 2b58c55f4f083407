#include "host/dxf/text_codes.h"

#include <cstdlib>

namespace host::dxf {

namespace {

void AppendUtf8(std::string& out, unsigned long cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x110000) {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "\U+XXXX" at i (i at the backslash): appends the character and returns true.
bool TakeUnicode(const std::string& s, std::size_t& i, std::string& out) {
    if (i + 6 < s.size() && (s[i + 1] == 'U' || s[i + 1] == 'u') && s[i + 2] == '+' &&
        IsHex(s[i + 3]) && IsHex(s[i + 4]) && IsHex(s[i + 5]) && IsHex(s[i + 6])) {
        std::size_t end = i + 3;
        while (end < s.size() && end < i + 8 && IsHex(s[end]))
            ++end;
        AppendUtf8(out, std::strtoul(s.substr(i + 3, end - i - 3).c_str(), nullptr, 16));
        i = end;
        return true;
    }
    return false;
}

// Replaces the %% codes of a text: %%d degree, %%c diameter, %%p plus-minus, %%% percent,
// %%nnn the character nnn; %%u and %%o (underline, overline) are dropped.
std::string PercentCodes(const std::string& s) {
    if (s.find("%%") == std::string::npos)
        return s;
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%' || i + 2 >= s.size() || s[i + 1] != '%') {
            out += s[i];
            continue;
        }
        const char c = s[i + 2];
        switch (c) {
            case 'd':
            case 'D':
                out += "\u00B0";
                break;
            case 'c':
            case 'C':
                out += "\u2300";
                break;
            case 'p':
            case 'P':
                out += "\u00B1";
                break;
            case '%':
                out += '%';
                break;
            case 'u':
            case 'U':
            case 'o':
            case 'O':
            case 'k':
            case 'K':
                break;
            default:
                if (c >= '0' && c <= '9') {
                    std::size_t end = i + 2;
                    while (end < s.size() && end < i + 5 && s[end] >= '0' && s[end] <= '9')
                        ++end;
                    AppendUtf8(out,
                               std::strtoul(s.substr(i + 2, end - i - 2).c_str(), nullptr, 10));
                    i = end - 1;
                    continue;
                }
                out += s.substr(i, 3);
        }
        i += 2;
    }
    return out;
}

}  // namespace

std::string TextPlain(const std::string& text) {
    std::string out;
    const std::string s = PercentCodes(text);
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && TakeUnicode(s, i, out)) {
            --i;
            continue;
        }
        out += s[i];
    }
    return out;
}

std::string MTextPlain(const std::string& contents) {
    const std::string s = PercentCodes(contents);
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (c == '{' || c == '}') {
            ++i;
            continue;
        }
        if (c != '\\' || i + 1 >= s.size()) {
            out += c;
            ++i;
            continue;
        }
        if (TakeUnicode(s, i, out))
            continue;
        const char code = s[i + 1];
        switch (code) {
            case 'P':
            case 'X':
                out += '\n';
                i += 2;
                break;
            case '~':
                out += "\u00A0";
                i += 2;
                break;
            case '\\':
            case '{':
            case '}':
                out += code;
                i += 2;
                break;
            case 'L':
            case 'l':
            case 'O':
            case 'o':
            case 'K':
            case 'k':
            case 'N':
                i += 2;
                break;
            case 'S': {
                // Stacked text "\Sup^down;" (also "/" and "#"): shown as up/down.
                const std::size_t end = s.find(';', i + 2);
                const std::string body =
                    s.substr(i + 2, (end == std::string::npos ? s.size() : end) - i - 2);
                for (char b : body)
                    out += (b == '^' || b == '#') ? '/' : b;
                i = end == std::string::npos ? s.size() : end + 1;
                break;
            }
            case 'A':
            case 'C':
            case 'c':
            case 'F':
            case 'f':
            case 'H':
            case 'h':
            case 'Q':
            case 'q':
            case 'T':
            case 't':
            case 'W':
            case 'w':
            case 'p': {
                // A code with a value up to ';'.
                const std::size_t end = s.find(';', i + 2);
                i = end == std::string::npos ? s.size() : end + 1;
                break;
            }
            default:
                // Not a code: the backslash stands for itself.
                out += c;
                ++i;
        }
    }
    return out;
}

}  // namespace host::dxf
