#include "host/dxf/encoding.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/textconv.h"

namespace host::dxf {

std::string IconvNameOfCodepage(std::string_view cp) {
    std::string up;
    for (char c : TrimSpaces(cp))
        up += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    auto digitsAfter = [&](std::string_view prefix) -> std::string {
        if (up.rfind(prefix, 0) != 0)
            return {};
        std::string d = up.substr(prefix.size());
        if (d.empty() || d.find_first_not_of("0123456789") != std::string::npos)
            return {};
        return d;
    };
    if (up == "UTF-8" || up == "UTF8")
        return "UTF-8";
    if (auto d = digitsAfter("ANSI_"); !d.empty())
        return "CP" + d;
    if (auto d = digitsAfter("DOS"); !d.empty())
        return "CP" + d;
    if (auto d = digitsAfter("ISO8859-"); !d.empty())
        return "ISO-8859-" + d;
    if (up == "MACINTOSH" || up == "MAC-ROMAN")
        return "MACINTOSH";
    if (up == "BIG5")
        return "BIG5";
    if (up == "GB2312")
        return "GB2312";
    if (up == "JOHAB")
        return "JOHAB";
    return {};
}

namespace {

// The length of the UTF-8 sequence a byte starts (1 for a byte that starts none).
std::size_t SequenceLength(unsigned char b) {
    return (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 1;
}

int HexDigit(char c) {
    return (c >= '0' && c <= '9')   ? c - '0'
           : (c >= 'a' && c <= 'f') ? c - 'a' + 10
           : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                    : -1;
}

}  // namespace

std::string DecodeUnicodeEscapes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t at = text.find("\\U+", i);
        if (at == std::string_view::npos)
            break;
        out.append(text.substr(i, at - i));
        char32_t cp = 0;
        bool ok = at + 7 <= text.size();
        for (std::size_t k = 0; ok && k < 4; ++k) {
            const char c = text[at + 3 + k];
            const int v = HexDigit(c);
            if (v < 0)
                ok = false;
            cp = cp * 16 + static_cast<char32_t>(v < 0 ? 0 : v);
        }
        // A high surrogate followed by the escape of a low one is one character.
        char32_t low = 0;
        if (ok && cp >= 0xD800 && cp <= 0xDBFF && at + 14 <= text.size() &&
            text.substr(at + 7, 3) == "\\U+") {
            for (std::size_t k = 0; k < 4; ++k) {
                const int v = HexDigit(text[at + 10 + k]);
                low = v < 0 ? 0 : low * 16 + static_cast<char32_t>(v);
                if (v < 0)
                    break;
            }
        }
        if (low >= 0xDC00 && low <= 0xDFFF) {
            qv::AppendUtf8(out, 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00));
            i = at + 14;
        } else if (ok && !(cp >= 0xD800 && cp <= 0xDFFF)) {
            qv::AppendUtf8(out, cp);
            i = at + 7;
        } else {
            out.append("\\U+");
            i = at + 3;
        }
    }
    out.append(text.substr(i));
    return out;
}

namespace {

// Finds a header variable's value in raw bytes: the tag following "9 / name".
std::string FindHeaderValue(std::string_view bytes, std::string_view name) {
    TagReader reader(bytes);
    TagView tag;
    try {
        // Only the HEADER section counts: the tag after "0/SECTION" names the section.
        bool inHeader = false, sectionName = false;
        while (reader.Next(tag)) {
            if (tag.code == 0) {
                if (tag.value == "ENDSEC" && inHeader)
                    return {};
                if (tag.value == "EOF")
                    return {};
                sectionName = tag.value == "SECTION";
                continue;
            }
            if (sectionName && tag.code == 2)
                inHeader = TrimSpaces(tag.value) == "HEADER";
            sectionName = false;
            if (inHeader && tag.code == 9 && TrimSpaces(tag.value) == name) {
                if (reader.Next(tag))
                    return std::string(TrimSpaces(tag.value));
                return {};
            }
            if (reader.line() > 200000 && !inHeader)
                return {};
        }
    } catch (const DxfError&) {
    }
    return {};
}

// The end of the plain ASCII that starts at i, looking no further than end.
std::size_t AsciiEnd(std::string_view in, std::size_t i, std::size_t end) {
    // 32 bytes a step while all are ASCII (most of a drawing is), then 8.
    while (i + 32 <= end) {
        std::uint64_t w[4];
        std::memcpy(w, in.data() + i, 32);
        if ((w[0] | w[1] | w[2] | w[3]) & 0x8080808080808080ull)
            break;
        i += 32;
    }
    while (i + 8 <= end) {
        std::uint64_t w;
        std::memcpy(&w, in.data() + i, 8);
        if (w & 0x8080808080808080ull)
            break;
        i += 8;
    }
    while (i < end && static_cast<unsigned char>(in[i]) < 0x80)
        ++i;
    return i;
}

// Decodes the sequence at i (moving i past it); whether it is invalid (U+FFFD written as
// such is valid).
bool InvalidSequence(std::string_view in, std::size_t& i, char32_t& cp) {
    const std::size_t start = i;
    cp = qv::DecodeUtf8(in, i);
    return cp == 0xFFFD && !(i - start == 3 && in.substr(start, 3) == "\xEF\xBF\xBD");
}

// Copies UTF-8 text with its invalid sequences replaced by U+FFFD; counts the replacements.
std::size_t RepairUtf8(std::string_view in, std::string& out) {
    std::size_t bad = 0;
    out.reserve(in.size());
    std::size_t i = 0;
    while (i < in.size()) {
        const std::size_t j = AsciiEnd(in, i, in.size());
        out.append(in.data() + i, j - i);
        i = j;
        if (i >= in.size())
            break;
        const std::size_t start = i;
        char32_t cp = 0;
        if (InvalidSequence(in, i, cp))
            ++bad;
        if (cp == 0xFFFD && i - start != 3) {
            qv::AppendUtf8(out, cp);
        } else {
            out.append(in.data() + start, i - start);
        }
    }
    return bad;
}

// Counts the invalid sequences of UTF-8 text, telling reached where it has got to every few
// megabytes.
std::size_t CountInvalidUtf8(std::string_view in, const ReachedFn& reached) {
    constexpr std::size_t kReachedStep = std::size_t(4) << 20;
    Utf8Check check(in);
    while (check.checked() < in.size()) {
        const std::size_t at = check.checked();
        if (reached)
            reached(in.data() + at);
        check.CheckTo(reached ? at + kReachedStep : in.size());
    }
    return check.bad();
}

std::string ConvertWithIconv(std::string_view in, const std::string& from) {
    iconv_t cd = iconv_open("UTF-8", from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw DxfError(0, "the code page " + from + " cannot be converted on this system");
    }
    std::string out;
    out.resize(in.size() * 2 + 16);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    std::size_t done = 0;
    while (srcLeft > 0) {
        char* dst = out.data() + done;
        std::size_t dstLeft = out.size() - done;
        const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        done = out.size() - dstLeft;
        if (r != static_cast<std::size_t>(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
        } else {
            // A byte the code page does not define: keep going with a replacement character.
            ++src;
            --srcLeft;
            if (out.size() - done < 8)
                out.resize(out.size() * 2);
            std::memcpy(out.data() + done, "\xEF\xBF\xBD", 3);
            done += 3;
        }
    }
    iconv_close(cd);
    out.resize(done);
    return out;
}

}  // namespace

void Utf8Check::CheckTo(std::size_t end) {
    end = std::min(end, m_text.size());
    std::size_t i = m_checked;
    while (i < end) {
        i = AsciiEnd(m_text, i, end);
        if (i >= end)
            break;
        char32_t cp = 0;
        if (InvalidSequence(m_text, i, cp))
            ++m_bad;
    }
    m_checked = std::max(m_checked, i);
}

void UnicodeEscaper::Escape(std::string_view text, std::string& out) {
    std::string joined;
    if (!m_carry.empty()) {
        // The sequence cut at the end of the last piece goes first (rare: a copy is fine).
        joined = std::move(m_carry);
        m_carry.clear();
        joined.append(text);
        text = joined;
    }
    auto escape = [&](char32_t u) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        const char e[7] = {'\\',
                           'U',
                           '+',
                           kHex[(u >> 12) & 0xF],
                           kHex[(u >> 8) & 0xF],
                           kHex[(u >> 4) & 0xF],
                           kHex[u & 0xF]};
        out.append(e, sizeof e);
    };
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        std::size_t j = i;
        while (j < n && static_cast<unsigned char>(text[j]) < 0x80 && text[j] != '\\')
            ++j;
        out.append(text.data() + i, j - i);
        i = j;
        if (i >= n)
            break;
        if (text[i] == '\\') {
            // A backslash that would start an escape is one itself, so that reading gives the
            // text back as it was.
            const std::string_view rest = text.substr(i, 3);
            if (rest.size() < 3 && std::string_view("\\U+").substr(0, rest.size()) == rest) {
                m_carry.assign(rest);
                return;
            }
            if (rest == "\\U+") {
                escape(U'\\');
            } else {
                out += '\\';
            }
            ++i;
            continue;
        }
        if (i + SequenceLength(static_cast<unsigned char>(text[i])) > n) {
            m_carry.assign(text.substr(i));
            return;
        }
        const char32_t cp = qv::DecodeUtf8(text, i);
        if (cp > 0xFFFF) {
            escape(0xD800 + ((cp - 0x10000) >> 10));
            escape(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            escape(cp);
        }
    }
}

void UnicodeEscaper::Finish(std::string& out) {
    if (!m_carry.empty() && static_cast<unsigned char>(m_carry[0]) >= 0x80) {
        out += "\\U+FFFD";
    } else {
        out += m_carry;
    }
    m_carry.clear();
}

DecodedText DecodeDxfText(std::string_view bytes, const ReachedFn& reached, bool checkUtf8) {
    static constexpr std::string_view kBinarySentinel = "AutoCAD Binary DXF";
    if (bytes.substr(0, kBinarySentinel.size()) == kBinarySentinel) {
        throw DxfError(1, "binary DXF is not supported; save the drawing as text DXF");
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    DecodedText result;
    result.version = FindHeaderValue(bytes, "$ACADVER");
    result.codepage = FindHeaderValue(bytes, "$DWGCODEPAGE");
    const bool unicodeFile = result.version >= "AC1021";
    if (unicodeFile && !checkUtf8) {
        result.unchecked = true;
        return result;
    }
    if (unicodeFile) {
        const std::size_t bad = CountInvalidUtf8(bytes, reached);
        if (bad) {
            RepairUtf8(bytes, result.text);
            result.converted = true;
            result.repairs.push_back(
                {RepairCode::kInvalidUtf8, 0, 0,
                 std::to_string(bad) + " invalid UTF-8 sequence(s) replaced by U+FFFD"});
        }
        return result;
    }
    std::string from = IconvNameOfCodepage(result.codepage);
    if (from.empty()) {
        if (!result.codepage.empty()) {
            result.repairs.push_back(
                {RepairCode::kUnknownCodePage, 0, 0,
                 "unknown code page \"" + result.codepage + "\" read as ANSI_1252"});
        }
        from = "CP1252";
    }
    std::string utf8;
    if (from == "UTF-8") {
        const std::size_t bad = RepairUtf8(bytes, utf8);
        if (bad) {
            result.repairs.push_back(
                {RepairCode::kInvalidUtf8, 0, 0,
                 std::to_string(bad) + " invalid UTF-8 sequence(s) replaced by U+FFFD"});
        }
    } else {
        utf8 = ConvertWithIconv(bytes, from);
    }
    result.text = DecodeUnicodeEscapes(utf8);
    result.converted = true;
    return result;
}

}  // namespace host::dxf
