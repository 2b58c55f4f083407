#include "host/dxf/tags.h"

#include <iconv.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/textconv.h"

namespace host::dxf {

DxfError::DxfError(std::size_t line, const std::string& problem)
    : std::runtime_error(line ? "line " + std::to_string(line) + ": " + problem : problem),
      line_(line),
      problem_(problem) {}

ValueKind KindOfCode(int code) {
    if (code < 0)
        return code >= -5 ? ValueKind::kString : ValueKind::kInvalid;
    if (code <= 9)
        return ValueKind::kString;
    if (code <= 59)
        return ValueKind::kDouble;
    if (code <= 79)
        return ValueKind::kInt16;
    if (code <= 89)
        return ValueKind::kInvalid;
    if (code <= 99)
        return ValueKind::kInt32;
    if (code == 100 || code == 101 || code == 102)
        return ValueKind::kString;
    if (code == 105)
        return ValueKind::kHandle;
    if (code < 110)
        return ValueKind::kInvalid;
    if (code <= 149)
        return ValueKind::kDouble;
    if (code < 160)
        return ValueKind::kInvalid;
    if (code <= 169)
        return ValueKind::kInt64;
    if (code <= 179)
        return ValueKind::kInt16;
    if (code < 210)
        return ValueKind::kInvalid;
    if (code <= 239)
        return ValueKind::kDouble;
    if (code < 270)
        return ValueKind::kInvalid;
    if (code <= 289)
        return ValueKind::kInt16;
    if (code <= 299)
        return ValueKind::kBool;
    if (code <= 309)
        return ValueKind::kString;
    if (code <= 319)
        return ValueKind::kBinary;
    if (code <= 369)
        return ValueKind::kHandle;
    if (code <= 389)
        return ValueKind::kInt16;
    if (code <= 399)
        return ValueKind::kHandle;
    if (code <= 409)
        return ValueKind::kInt16;
    if (code <= 419)
        return ValueKind::kString;
    if (code <= 429)
        return ValueKind::kInt32;
    if (code <= 439)
        return ValueKind::kString;
    if (code <= 459)
        return ValueKind::kInt32;
    if (code <= 469)
        return ValueKind::kDouble;
    if (code <= 479)
        return ValueKind::kString;
    if (code <= 481)
        return ValueKind::kHandle;
    if (code == 999)
        return ValueKind::kString;
    if (code < 1000)
        return ValueKind::kInvalid;
    if (code == 1004)
        return ValueKind::kBinary;
    if (code == 1005)
        return ValueKind::kHandle;
    if (code <= 1009)
        return ValueKind::kString;
    if (code <= 1059)
        return ValueKind::kDouble;
    if (code <= 1070)
        return ValueKind::kInt16;
    if (code == 1071)
        return ValueKind::kInt32;
    return ValueKind::kInvalid;
}

namespace {

std::string_view TrimSpaces(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

}  // namespace

bool ParseInt(std::string_view text, std::int64_t& value) {
    text = TrimSpaces(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && p == text.data() + text.size();
}

bool ParseDouble(std::string_view text, double& value) {
    text = TrimSpaces(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    const char c = text.front();
    if (!(c == '-' || c == '.' || (c >= '0' && c <= '9')))
        return false;  // no nan, inf
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && p == text.data() + text.size() && std::isfinite(value);
}

bool ParseHandle(std::string_view text, std::uint64_t& value) {
    text = TrimSpaces(text);
    if (text.empty() || text.size() > 16)
        return false;
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return ec == std::errc() && p == text.data() + text.size();
}

bool CheckValue(int code, std::string_view text, std::string& why) {
    std::int64_t i = 0;
    double d = 0;
    std::uint64_t h = 0;
    switch (KindOfCode(code)) {
        case ValueKind::kString:
            return true;
        case ValueKind::kInt16:
        case ValueKind::kInt32:
        case ValueKind::kInt64:
        case ValueKind::kBool:
            if (ParseInt(text, i))
                return true;
            why = "integer";
            break;
        case ValueKind::kDouble:
            if (ParseDouble(text, d))
                return true;
            why = "number";
            break;
        case ValueKind::kHandle:
            if (ParseHandle(text, h))
                return true;
            why = "handle";
            break;
        case ValueKind::kBinary: {
            std::string_view t = TrimSpaces(text);
            bool ok = t.size() % 2 == 0;
            for (char c : t)
                ok = ok && std::isxdigit(static_cast<unsigned char>(c));
            if (ok)
                return true;
            why = "hexadecimal binary data";
            break;
        }
        case ValueKind::kInvalid:
            why = "valid group code";
            break;
    }
    return false;
}

std::string FormatDouble(double value) {
    if (value == 0)
        value = 0;  // no "-0"
    char buf[64];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, value);
    std::string s(buf, p);
    if (s.find_first_of(".e") == std::string::npos)
        s += ".0";
    return s;
}

std::string FormatHandle(std::uint64_t value) {
    char buf[24];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, value, 16);
    for (char* q = buf; q < p; ++q)
        *q = static_cast<char>(std::toupper(static_cast<unsigned char>(*q)));
    return std::string(buf, p);
}

// ---- encoding ----

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
            const int v = (c >= '0' && c <= '9')   ? c - '0'
                          : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                          : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                   : -1;
            if (v < 0)
                ok = false;
            cp = cp * 16 + static_cast<char32_t>(v < 0 ? 0 : v);
        }
        if (ok && !(cp >= 0xD800 && cp <= 0xDFFF)) {
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

// Checks UTF-8 and replaces invalid sequences by U+FFFD; counts the replacements.
std::size_t RepairUtf8(std::string_view in, std::string* out) {
    std::size_t bad = 0;
    if (out)
        out->reserve(in.size());
    std::size_t i = 0;
    const std::size_t n = in.size();
    while (i < n) {
        // Fast path over plain ASCII.
        std::size_t j = i;
        while (j + 8 <= n) {
            std::uint64_t w;
            std::memcpy(&w, in.data() + j, 8);
            if (w & 0x8080808080808080ull)
                break;
            j += 8;
        }
        while (j < n && static_cast<unsigned char>(in[j]) < 0x80)
            ++j;
        if (out)
            out->append(in.data() + i, j - i);
        i = j;
        if (i >= n)
            break;
        const std::size_t start = i;
        const char32_t cp = qv::DecodeUtf8(in, i);
        if (cp == 0xFFFD && !(i - start == 3 && in.substr(start, 3) == "\xEF\xBF\xBD"))
            ++bad;
        if (!out)
            continue;
        if (cp == 0xFFFD && i - start != 3) {
            qv::AppendUtf8(*out, cp);
        } else {
            out->append(in.data() + start, i - start);
        }
    }
    return bad;
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

DecodedText DecodeDxfText(std::string_view bytes) {
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
    if (unicodeFile) {
        const std::size_t bad = RepairUtf8(bytes, nullptr);
        if (bad) {
            RepairUtf8(bytes, &result.text);
            result.converted = true;
            result.repairs.push_back(std::to_string(bad) +
                                     " invalid UTF-8 sequence(s) replaced by U+FFFD");
        }
        return result;
    }
    std::string from = IconvNameOfCodepage(result.codepage);
    if (from.empty()) {
        if (!result.codepage.empty()) {
            result.repairs.push_back("unknown code page \"" + result.codepage +
                                     "\" read as ANSI_1252");
        }
        from = "CP1252";
    }
    std::string utf8;
    if (from == "UTF-8") {
        const std::size_t bad = RepairUtf8(bytes, &utf8);
        if (bad) {
            result.repairs.push_back(std::to_string(bad) +
                                     " invalid UTF-8 sequence(s) replaced by U+FFFD");
        }
    } else {
        utf8 = ConvertWithIconv(bytes, from);
    }
    result.text = DecodeUnicodeEscapes(utf8);
    result.converted = true;
    return result;
}

// ---- reader ----

TagReader::TagReader(std::string_view text) : text_(text) {
    // Lines end in "\n" (with or without "\r" before it), or, in files that have no "\n" at
    // all, in a lone "\r".
    crOnly_ = !text.empty() && std::memchr(text.data(), '\n', text.size()) == nullptr &&
              std::memchr(text.data(), '\r', text.size()) != nullptr;
}

bool TagReader::ReadLine(std::string_view& line) {
    const std::size_t n = text_.size();
    if (pos_ >= n)
        return false;
    const char* base = text_.data();
    const void* hit = std::memchr(base + pos_, crOnly_ ? '\r' : '\n', n - pos_);
    std::size_t end = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - base) : n;
    const std::size_t next = hit ? end + 1 : n;
    if (!crOnly_ && end > pos_ && base[end - 1] == '\r')
        --end;
    line = std::string_view(base + pos_, end - pos_);
    pos_ = next;
    ++line_;
    return true;
}

namespace {

// Group code kinds by code (-5 .. 1071), computed once.
struct KindTable {
    ValueKind kinds[1077];
    KindTable() {
        for (int c = -5; c <= 1071; ++c)
            kinds[c + 5] = KindOfCode(c);
    }
};
const KindTable& Kinds() {
    static const KindTable table;
    return table;
}

// A plain decimal integer with optional spaces around it and an optional sign; false for
// anything else (then the careful parser decides).
inline bool FastInt(std::string_view s, std::int64_t& value) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n && s[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    const std::size_t digits = i;
    std::int64_t v = 0;
    while (i < n && s[i] >= '0' && s[i] <= '9' && i - digits < 18)
        v = v * 10 + (s[i++] - '0');
    if (i == digits)
        return false;
    while (i < n && s[i] == ' ')
        ++i;
    if (i != n)
        return false;
    value = negative ? -v : v;
    return true;
}

// Whether s is a plain decimal number ("-12.5", "1e+20"); false sends it to the careful
// check (which also catches overflow: exponents of three digits go there).
inline bool FastDoubleShape(std::string_view s) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n && s[i] == ' ')
        ++i;
    if (i < n && (s[i] == '-' || s[i] == '+'))
        ++i;
    std::size_t digits = 0;
    while (i < n && s[i] >= '0' && s[i] <= '9')
        ++i, ++digits;
    if (i < n && s[i] == '.') {
        ++i;
        while (i < n && s[i] >= '0' && s[i] <= '9')
            ++i, ++digits;
    }
    if (digits == 0 || digits > 40)
        return false;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < n && (s[i] == '-' || s[i] == '+'))
            ++i;
        std::size_t e = 0;
        while (i < n && s[i] >= '0' && s[i] <= '9')
            ++i, ++e;
        if (e == 0 || e > 2)
            return false;
    }
    while (i < n && s[i] == ' ')
        ++i;
    return i == n;
}

}  // namespace

bool TagReader::Next(TagView& tag) {
    if (pushed_) {
        pushed_ = false;
        tag = pushedTag_;
        return true;
    }
    std::string_view codeLine;
    if (!ReadLine(codeLine))
        return false;
    const std::size_t codeLineNo = line_;
    std::int64_t code = 0;
    if (!FastInt(codeLine, code)) {
        // Blank lines at the very end of the text are not a tag.
        if (TrimSpaces(codeLine).empty()) {
            bool rest = false;
            for (std::size_t p = pos_; p < text_.size() && !rest; ++p) {
                const char c = text_[p];
                rest = !(c == '\n' || c == '\r' || c == ' ' || c == '\t' || c == '\0');
            }
            if (!rest) {
                pos_ = text_.size();
                return false;
            }
        }
        std::string_view c = TrimSpaces(codeLine);
        auto [p, ec] = std::from_chars(c.data(), c.data() + c.size(), code);
        if (c.empty() || ec != std::errc() || p != c.data() + c.size()) {
            std::string shown(codeLine.substr(0, 40));
            for (char& ch : shown) {
                if (static_cast<unsigned char>(ch) < 0x20)
                    ch = '?';
            }
            throw DxfError(codeLineNo, "expected a group code, found \"" + shown + "\"");
        }
    }
    const ValueKind kind =
        (code < -5 || code > 1071) ? ValueKind::kInvalid : Kinds().kinds[code + 5];
    if (kind == ValueKind::kInvalid) {
        throw DxfError(codeLineNo, "invalid group code " + std::to_string(code));
    }
    std::string_view value;
    if (!ReadLine(value)) {
        throw DxfError(codeLineNo, "the file ends after group code " + std::to_string(code) +
                                       " without its value (truncated file?)");
    }
    tag.code = static_cast<int>(code);
    tag.value = value;
    tag.line = codeLineNo;
    if (kind != ValueKind::kString) {
        std::int64_t iv;
        const bool quick = checkValues_ == false ||
                           ((kind == ValueKind::kInt16 || kind == ValueKind::kInt32 ||
                             kind == ValueKind::kInt64 || kind == ValueKind::kBool) &&
                            FastInt(value, iv)) ||
                           (kind == ValueKind::kDouble && FastDoubleShape(value));
        std::string why;
        if (!quick && !CheckValue(tag.code, value, why)) {
            std::string shown(value.substr(0, 40));
            for (char& ch : shown) {
                if (static_cast<unsigned char>(ch) < 0x20)
                    ch = '?';
            }
            throw DxfError(line_, "group code " + std::to_string(code) + " needs a " + why +
                                      ", found \"" + shown + "\"");
        }
    }
    return true;
}

void TagReader::PushBack(const TagView& tag) {
    pushed_ = true;
    pushedTag_ = tag;
}

void TagReader::Seek(std::size_t offset, std::size_t line) {
    pos_ = offset;
    line_ = line;
    pushed_ = false;
}

// ---- writer ----

namespace {

// "%3d\n" of every group code, made once.
struct CodeTexts {
    TagWriter::CodeText codes[1077];
    CodeTexts() {
        for (int c = -5; c <= 1071; ++c) {
            char tmp[16];
            const int n = std::snprintf(tmp, sizeof tmp, "%3d\n", c);
            std::memset(codes[c + 5].text, 0, sizeof codes[c + 5].text);
            std::memcpy(codes[c + 5].text, tmp, static_cast<std::size_t>(n));
            codes[c + 5].size = static_cast<std::size_t>(n);
        }
    }
};

const TagWriter::CodeText* Codes() {
    static const CodeTexts table;
    return table.codes;
}

}  // namespace

TagWriter::TagWriter(Sink sink)
    : codes_(Codes()), sink_(std::move(sink)), buf_(new char[kBufferSize + 64]) {}

TagWriter::~TagWriter() {
    try {
        Flush();
    } catch (...) {
    }
}

void TagWriter::Flush() {
    if (used_) {
        const std::size_t n = used_;
        used_ = 0;
        sink_(std::string_view(buf_.get(), n));
    }
}

void TagWriter::Put(const char* data, std::size_t n) {
    if (n > kBufferSize / 2) {
        Flush();
        sink_(std::string_view(data, n));
        return;
    }
    std::memcpy(Room(n), data, n);
    used_ += n;
}

void TagWriter::Code(int code) {
    if (code >= -5 && code <= 1071) {
        const CodeText& t = codes_[code + 5];
        Put(t.text, t.size);
        return;
    }
    char tmp[24];
    const int n = std::snprintf(tmp, sizeof tmp, "%3d\n", code);
    Put(tmp, static_cast<std::size_t>(n));
}

void TagWriter::RawLong(int code, std::string_view value) {
    Code(code);
    Put(value.data(), value.size());
    Put("\n", 1);
}

void TagWriter::Str(int code, std::string_view value) {
    bool plain = true;
    for (char ch : value)
        plain = plain && static_cast<unsigned char>(ch) >= 0x20;
    if (plain) {
        Raw(code, value);
        return;
    }
    std::string escaped;
    for (char ch : value) {
        const auto u = static_cast<unsigned char>(ch);
        if (u < 0x20) {
            escaped += '^';
            escaped += static_cast<char>(u + 64);
        } else {
            escaped += ch;
        }
    }
    Raw(code, escaped);
}

void TagWriter::Int(int code, std::int64_t value) {
    Code(code);
    char* p = Room(24);
    char* end = std::to_chars(p, p + 23, value).ptr;
    *end++ = '\n';
    used_ += static_cast<std::size_t>(end - p);
}

void TagWriter::Real(int code, double value) {
    Code(code);
    if (value == 0)
        value = 0;
    char* p = Room(40);
    char* end = std::to_chars(p, p + 36, value).ptr;
    bool plain = true;
    for (char* q = p; q < end; ++q)
        plain = plain && *q != '.' && *q != 'e';
    if (plain) {
        *end++ = '.';
        *end++ = '0';
    }
    *end++ = '\n';
    used_ += static_cast<std::size_t>(end - p);
}

void TagWriter::Handle(int code, std::uint64_t value) {
    Code(code);
    char* p = Room(24);
    char* end = std::to_chars(p, p + 20, value, 16).ptr;
    for (char* q = p; q < end; ++q) {
        if (*q >= 'a')
            *q = static_cast<char>(*q - 32);
    }
    *end++ = '\n';
    used_ += static_cast<std::size_t>(end - p);
}

void TagWriter::Point(int code, double x, double y, double z) {
    Real(code, x);
    Real(code + 10, y);
    Real(code + 20, z);
}

}  // namespace host::dxf
