// The Access text functions without a faithful SQLite equivalent, as SQLite functions of the
// in-memory copy: Left, Right, UCase, LCase (all letters, not only ASCII) and Format. A
// pattern Format cannot apply faithfully is an error naming it, never a guessed text.
#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/textconv.h"
#include "provider/access_queries.h"

namespace provider {
namespace {

std::string_view TextOf(sqlite3_value* v) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return text ? std::string_view(text, static_cast<std::size_t>(sqlite3_value_bytes(v)))
                : std::string_view();
}

void ResultText(sqlite3_context* ctx, const std::string& text) {
    sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void ResultError(sqlite3_context* ctx, const std::string& message) {
    sqlite3_result_error(ctx, message.data(), static_cast<int>(message.size()));
}

// Byte offset of the code point at position n (or the end).
std::size_t OffsetOfCodePoint(std::string_view s, long long n) {
    std::size_t i = 0;
    for (long long k = 0; k < n && i < s.size(); ++k) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80)
            ++i;
    }
    return i;
}

long long CodePoints(std::string_view s) {
    long long n = 0;
    for (char c : s)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return n;
}

// Left(text, n) and Right(text, n): n characters from the start or the end.
template <bool FromLeft>
void LeftRight(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const char* name = FromLeft ? "Left" : "Right";
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        ResultError(ctx, std::string(name) + ": the length is Null");
        return;
    }
    const long long n = sqlite3_value_int64(argv[1]);
    if (n < 0) {
        ResultError(ctx, std::string(name) + ": the length must not be negative");
        return;
    }
    const std::string_view s = TextOf(argv[0]);
    if (FromLeft) {
        ResultText(ctx, std::string(s.substr(0, OffsetOfCodePoint(s, n))));
    } else {
        const long long total = CodePoints(s);
        ResultText(ctx, std::string(s.substr(OffsetOfCodePoint(s, total > n ? total - n : 0))));
    }
}

template <bool Upper>
void ChangeCase(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const std::string_view s = TextOf(argv[0]);
    ResultText(ctx, Upper ? qv::ToUpper<char>(s) : qv::ToLower<char>(s));
}

std::string Lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return out;
}

// A number laid out by a pattern of 0 (digit, shown always), # (digit, shown when needed),
// '.', ',' (thousands) and '%', with literal text before and after ("quoted" or \x).
bool NumberPattern(double value, std::string_view pattern, std::string& out) {
    std::string prefix, suffix;
    int intZeros = 0, fracZeros = 0, fracAll = 0;
    bool point = false, thousands = false, percent = false, inNumber = false, afterNumber = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        std::string literal;
        if (c == '0' || c == '#' || c == '.' || c == ',') {
            if (afterNumber)
                return false;  // two digit groups
            inNumber = true;
            if (c == '.') {
                if (point)
                    return false;
                point = true;
            } else if (c == ',') {
                if (point)
                    return false;
                thousands = true;
            } else if (point) {
                ++fracAll;
                fracZeros += c == '0' ? 1 : 0;
                if (c == '0' && fracZeros != fracAll)
                    return false;  // "#0" after the point
            } else {
                intZeros += c == '0' ? 1 : 0;
            }
            continue;
        }
        if (c == '%') {
            percent = true;
            literal = "%";
        } else if (c == '"') {
            const std::size_t end = pattern.find('"', i + 1);
            if (end == std::string_view::npos)
                return false;
            literal = std::string(pattern.substr(i + 1, end - i - 1));
            i = end;
        } else if (c == '\\' && i + 1 < pattern.size()) {
            literal = std::string(1, pattern[++i]);
        } else if (c == ' ' || c == '-' || c == '+' || c == '(' || c == ')' || c == '$' ||
                   c == ':' || c == '/') {
            literal = std::string(1, c);
        } else {
            return false;  // letters and the like belong to other kinds of pattern
        }
        if (inNumber)
            afterNumber = true;
        (afterNumber ? suffix : prefix) += literal;
    }
    if (!inNumber)
        return false;
    if (percent)
        value *= 100;
    char buf[400];
    if (!std::isfinite(value) || std::fabs(value) >= 1e300)
        return false;
    std::snprintf(buf, sizeof buf, "%.*f", fracAll, std::fabs(value));
    std::string digits = buf;
    std::string intPart = digits.substr(0, digits.find('.'));
    std::string fracPart = point && fracAll > 0 ? digits.substr(digits.find('.') + 1) : "";
    while (static_cast<int>(fracPart.size()) > fracZeros && fracPart.back() == '0')
        fracPart.pop_back();
    if (intPart == "0" && intZeros == 0)
        intPart.clear();
    while (static_cast<int>(intPart.size()) < intZeros)
        intPart.insert(0, 1, '0');
    if (thousands) {
        for (int pos = static_cast<int>(intPart.size()) - 3; pos > 0; pos -= 3)
            intPart.insert(static_cast<std::size_t>(pos), 1, ',');
    }
    const bool zero = intPart.find_first_not_of("0,") == std::string::npos &&
                      fracPart.find_first_not_of('0') == std::string::npos;
    out = prefix + (value < 0 && !zero ? "-" : "") + intPart +
          (fracPart.empty() && !(point && fracZeros > 0) ? "" : "." + fracPart) + suffix;
    return true;
}

// A date text of the copy ("2024-01-31 13:05:09" or "2024-01-31") laid out by a pattern of
// yyyy yy mmmm mmm mm m dddd ddd dd d hh h nn n ss s and AM/PM with separators.
bool DatePattern(std::string_view value, std::string_view pattern, std::string& out) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    const std::string text(value);
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) < 3 || mo < 1 ||
        mo > 12 || d < 1 || d > 31)
        return false;
    static const char* const months[] = {"January",   "February", "March",    "April",
                                         "May",       "June",     "July",     "August",
                                         "September", "October",  "November", "December"};
    static const char* const days[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                       "Thursday", "Friday", "Saturday"};
    // Day of the week (0 Sunday) by Zeller's rule in the proleptic Gregorian calendar.
    const int yy = mo < 3 ? y - 1 : y, mm = mo < 3 ? mo + 12 : mo;
    const int weekday = ((d + 13 * (mm + 1) / 5 + yy + yy / 4 - yy / 100 + yy / 400) + 6) % 7;
    const std::string lower = Lowered(pattern);
    const bool twelveHour = lower.find("am/pm") != std::string::npos;
    const auto two = [](int n) {
        char b[16];
        std::snprintf(b, sizeof b, "%02d", n);
        return std::string(b);
    };
    bool anyField = false;
    out.clear();
    for (std::size_t i = 0; i < pattern.size();) {
        const auto run = [&](char c) {
            std::size_t j = i;
            while (j < lower.size() && lower[j] == c)
                ++j;
            return j - i;
        };
        const char c = lower[i];
        if (lower.compare(i, 5, "am/pm") == 0) {
            out += h < 12 ? "AM" : "PM";
            i += 5;
            anyField = true;
            continue;
        }
        if (c == 'y' || c == 'm' || c == 'd' || c == 'h' || c == 'n' || c == 's') {
            const std::size_t n = run(c);
            anyField = true;
            const int hour = twelveHour ? (h % 12 == 0 ? 12 : h % 12) : h;
            if (c == 'y' && n == 4)
                out += std::to_string(y);
            else if (c == 'y' && n == 2)
                out += two(y % 100);
            else if (c == 'm' && n == 4)
                out += months[mo - 1];
            else if (c == 'm' && n == 3)
                out += std::string(months[mo - 1], 3);
            else if (c == 'm' && n <= 2)
                out += n == 2 ? two(mo) : std::to_string(mo);
            else if (c == 'd' && n == 4)
                out += days[weekday];
            else if (c == 'd' && n == 3)
                out += std::string(days[weekday], 3);
            else if (c == 'd' && n <= 2)
                out += n == 2 ? two(d) : std::to_string(d);
            else if (c == 'h' && n <= 2)
                out += n == 2 ? two(hour) : std::to_string(hour);
            else if (c == 'n' && n <= 2)
                out += n == 2 ? two(mi) : std::to_string(mi);
            else if (c == 's' && n <= 2)
                out += n == 2 ? two(s) : std::to_string(s);
            else
                return false;
            i += n;
            continue;
        }
        if (c == '"') {
            const std::size_t end = pattern.find('"', i + 1);
            if (end == std::string_view::npos)
                return false;
            out += pattern.substr(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        if (c == '\\' && i + 1 < pattern.size()) {
            out += pattern[i + 1];
            i += 2;
            continue;
        }
        if (std::strchr("-/:., ", c) == nullptr)
            return false;
        out += pattern[i++];
    }
    return anyField;
}

std::string PlainText(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_FLOAT) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15g", sqlite3_value_double(v));
        return buf;
    }
    return std::string(TextOf(v));
}

void Format(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    if (argc < 2 || sqlite3_value_type(argv[1]) == SQLITE_NULL || TextOf(argv[1]).empty()) {
        ResultText(ctx, PlainText(argv[0]));
        return;
    }
    const std::string pattern(TextOf(argv[1]));
    const std::string named = Lowered(pattern);
    const bool number = type == SQLITE_INTEGER || type == SQLITE_FLOAT;
    const double value = sqlite3_value_double(argv[0]);
    std::string out;
    bool done = false;
    if (named == "general number") {
        out = PlainText(argv[0]);
        done = number;
    } else if (named == "fixed") {
        done = number && NumberPattern(value, "0.00", out);
    } else if (named == "standard") {
        done = number && NumberPattern(value, "#,##0.00", out);
    } else if (named == "percent") {
        done = number && NumberPattern(value, "0.00%", out);
    } else if (named == "yes/no" || named == "true/false" || named == "on/off") {
        const bool set = value != 0;
        out = named == "yes/no"       ? (set ? "Yes" : "No")
              : named == "true/false" ? (set ? "True" : "False")
                                      : (set ? "On" : "Off");
        done = number;
    } else if (pattern == ">" || pattern == "<") {
        out = pattern == ">" ? qv::ToUpper<char>(TextOf(argv[0]))
                             : qv::ToLower<char>(TextOf(argv[0]));
        done = true;
    } else if (number) {
        done = NumberPattern(value, pattern, out);
    } else if (type == SQLITE_TEXT) {
        done = DatePattern(TextOf(argv[0]), pattern, out);
    }
    if (!done) {
        ResultError(ctx, "Format: the format '" + pattern + "' cannot be applied to the value '" +
                             PlainText(argv[0]) + "' here");
        return;
    }
    ResultText(ctx, out);
}

}  // namespace

void RegisterAccessFunctions(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function(db, "qv_left", 2, flags, nullptr, LeftRight<true>, nullptr, nullptr);
    sqlite3_create_function(db, "qv_right", 2, flags, nullptr, LeftRight<false>, nullptr, nullptr);
    sqlite3_create_function(db, "qv_ucase", 1, flags, nullptr, ChangeCase<true>, nullptr, nullptr);
    sqlite3_create_function(db, "qv_lcase", 1, flags, nullptr, ChangeCase<false>, nullptr, nullptr);
    sqlite3_create_function(db, "qv_format", 1, flags, nullptr, Format, nullptr, nullptr);
    sqlite3_create_function(db, "qv_format", 2, flags, nullptr, Format, nullptr, nullptr);
}

}  // namespace provider
