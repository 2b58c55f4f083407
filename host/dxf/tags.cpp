#include "host/dxf/tags.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

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

std::string_view TrimSpaces(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

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

// ---- reader ----

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

TagReader::TagReader(std::string_view text) : text_(text), kinds_(Kinds().kinds) {
    // Lines end in "\n" (with or without "\r" before it), or, in files that have no "\n" at
    // all, in a lone "\r".
    crOnly_ = !text.empty() && std::memchr(text.data(), '\n', text.size()) == nullptr &&
              std::memchr(text.data(), '\r', text.size()) != nullptr;
}

namespace {

bool IsDigit(char c) {
    return static_cast<unsigned>(c - '0') < 10;
}

// The end of the line that starts at p: its "\n", or end. Eight bytes are looked at in one
// step (most lines are that short): the lowest byte of w ^ "\n\n..." that is zero is the
// first "\n" (the flags above it may be wrong, that one never is).
const char* LineEnd(const char* p, const char* end) {
    if constexpr (std::endian::native == std::endian::little) {
        while (end - p >= 8) {
            std::uint64_t w;
            std::memcpy(&w, p, 8);
            const std::uint64_t x = w ^ 0x0A0A0A0A0A0A0A0Aull;
            const std::uint64_t zero = (x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull;
            if (zero)
                return p + std::countr_zero(zero) / 8;
            p += 8;
        }
    }
    while (p < end && *p != '\n')
        ++p;
    return p;
}

}  // namespace

// The usual tag in one go: a group code of at most four digits (spaces around it and a sign
// allowed) on a line ending in "\n" or "\r\n", then its value line. Anything else is left to
// CarefulTag, with the reader where it was.
// (Inlined into Next, which calls it for every tag: as a call, its results would go through
// memory and be read back at once, which costs more than the work itself.)
[[gnu::always_inline]] inline std::size_t TagReader::QuickTag(std::int64_t& code,
                                                              const char*& value) {
    if (crOnly_)
        return 0;
    const char* const begin = text_.data();
    const char* const end = begin + text_.size();
    const char* p = begin + pos_;
    const char* start = nullptr;  // of the value line
    int v = 0;
    bool negative = false;
    // Most codes are written in three places, right-aligned ("  0", " 10", "330").
    const std::ptrdiff_t eol = end - p > 5 ? (p[3] == '\n'                   ? 1
                                              : p[3] == '\r' && p[4] == '\n' ? 2
                                                                             : 0)
                                           : 0;
    if (eol && IsDigit(p[2]) &&
        (IsDigit(p[1]) ? (IsDigit(p[0]) || p[0] == ' ') : (p[1] == ' ' && p[0] == ' '))) {
        v = (p[0] == ' ' ? 0 : p[0] - '0') * 100 + (p[1] == ' ' ? 0 : p[1] - '0') * 10 +
            (p[2] - '0');
        start = p + 3 + eol;
    } else {
        while (p < end && *p == ' ')
            ++p;
        if (p < end && (*p == '-' || *p == '+'))
            negative = *p++ == '-';
        const char* const digits = p;
        while (p < end && p - digits < 4 && IsDigit(*p))
            v = v * 10 + (*p++ - '0');
        if (p == digits)
            return 0;
        while (p < end && *p == ' ')
            ++p;
        if (p < end && *p == '\r')
            ++p;
        if (p >= end || *p != '\n')
            return 0;
        start = p + 1;
        if (start >= end)
            return 0;  // no value line
    }
    const char* q = LineEnd(start, end);
    pos_ = q < end ? static_cast<std::size_t>(q - begin) + 1 : text_.size();
    if (q > start && q[-1] == '\r')
        --q;
    value = start;
    line_ += 2;
    code = negative ? -v : v;
    return static_cast<std::size_t>(q - start) + 1;
}

bool TagReader::Next(TagView& tag) {
    if (pushed_) {
        pushed_ = false;
        tag = pushedTag_;
        return true;
    }
    std::int64_t code = 0;
    ValueKind kind = ValueKind::kInvalid;
    // The value's pointer and size are kept apart until the view is made: stored apart and
    // read back as one view straight away, they would stall the processor on every tag.
    const char* valueData = nullptr;
    std::size_t valueSize = QuickTag(code, valueData);
    if (valueSize) {
        --valueSize;
        tag.line = line_ - 1;
        kind = (code < -5 || code > 1071) ? ValueKind::kInvalid : kinds_[code + 5];
        if (kind == ValueKind::kInvalid)
            throw DxfError(tag.line, "invalid group code " + std::to_string(code));
    } else {
        std::string_view careful;
        if (!CarefulTag(code, careful, tag.line, kind))
            return false;
        valueData = careful.data();
        valueSize = careful.size();
    }
    tag.code = static_cast<int>(code);
    tag.value = std::string_view(valueData, valueSize);
    if (kind != ValueKind::kString) {
        const std::string_view value(valueData, valueSize);
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

bool TagReader::CarefulTag(std::int64_t& code, std::string_view& value, std::size_t& codeLineNo,
                           ValueKind& kind) {
    std::string_view codeLine;
    if (!ReadLine(codeLine))
        return false;
    codeLineNo = line_;
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
    kind = (code < -5 || code > 1071) ? ValueKind::kInvalid : kinds_[code + 5];
    if (kind == ValueKind::kInvalid) {
        throw DxfError(codeLineNo, "invalid group code " + std::to_string(code));
    }
    if (!ReadLine(value)) {
        throw DxfError(codeLineNo, "the file ends after group code " + std::to_string(code) +
                                       " without its value (truncated file?)");
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
            codes[c + 5].real = KindOfCode(c) == ValueKind::kDouble;
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
    if (n)  // an empty piece may have no data at all
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

void TagWriter::CheckReal(int code, std::string_view value) {
    if (FastDoubleShape(value))
        return;  // a plain number: it reads back
    double d = 0;
    if (!ParseDouble(value, d))
        throw Unwritable("the drawing holds a number that cannot be written (group " +
                         std::to_string(code) + ": " + std::string(value.substr(0, 40)) + ")");
}

void TagWriter::Real(int code, double value) {
    if (!std::isfinite(value))
        throw Unwritable("the drawing holds a number that cannot be written (group " +
                         std::to_string(code) + ": " +
                         (std::isnan(value) ? "nan"
                          : value > 0       ? "inf"
                                            : "-inf") +
                         ")");
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
