#include "tools/rc/tokens.h"

#include <cstdio>
#include <limits>

namespace rc {

namespace {

bool IsIdentifierStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsIdentifierChar(char c) {
    return IsIdentifierStart(c) || (c >= '0' && c <= '9');
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = AsciiLower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// A number: decimal or 0x hexadecimal, with optional U and L suffixes in any order and case.
// Leading zeros do not make a number octal.
std::uint64_t ParseNumber(std::string_view text, const Location& where) {
    std::size_t i = 0;
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        i = 2;
    }
    std::uint64_t value = 0;
    const std::size_t digitsStart = i;
    for (; i < text.size(); ++i) {
        const int d = HexDigit(text[i]);
        if (d < 0 || d >= base)
            break;
        if (value > (std::numeric_limits<std::uint64_t>::max() - d) / base)
            throw Error(where, "number '" + std::string(text) + "' is too large");
        value = value * base + d;
    }
    const std::string_view suffix = text.substr(i);
    bool valid = i > digitsStart;
    int us = 0, ls = 0;
    for (char c : suffix) {
        if (c == 'u' || c == 'U')
            ++us;
        else if (c == 'l' || c == 'L')
            ++ls;
        else
            valid = false;
    }
    if (!valid || us > 1 || ls > 2)
        throw Error(where, "invalid number '" + std::string(text) + "'");
    return value;
}

std::string ParseString(std::string_view line, std::size_t& i, const Location& where) {
    std::string value;
    ++i;  // opening quote
    for (;;) {
        if (i >= line.size())
            throw Error(where, "missing closing quote of a string");
        const char c = line[i];
        if (c == '"') {
            if (i + 1 < line.size() && line[i + 1] == '"') {
                value += '"';
                i += 2;
                continue;
            }
            ++i;
            return value;
        }
        if (c == '\\' && i + 1 < line.size()) {
            const char e = line[i + 1];
            switch (e) {
                case 'n':
                    value += '\n';
                    break;
                case 't':
                    value += '\t';
                    break;
                case 'r':
                    value += '\r';
                    break;
                case 'a':
                    value += '\a';
                    break;
                case '\\':
                    value += '\\';
                    break;
                case '"':
                    value += '"';
                    break;
                case 'x':
                case 'X': {
                    std::uint32_t cp = 0;
                    std::size_t n = 0;
                    while (n < 4 && i + 2 + n < line.size() && HexDigit(line[i + 2 + n]) >= 0) {
                        cp = cp * 16 + HexDigit(line[i + 2 + n]);
                        ++n;
                    }
                    if (n == 0 || cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF))
                        throw Error(where, "invalid \\x escape in a string");
                    AppendUtf8(value, cp);
                    i += 2 + n;
                    continue;
                }
                default:
                    // Not an escape: the backslash stays, as in "res\icon.ico".
                    value += '\\';
                    ++i;
                    continue;
            }
            i += 2;
            continue;
        }
        value += c;
        ++i;
    }
}

}  // namespace

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

bool Token::IsKeyword(std::string_view keyword) const {
    return kind == TokenKind::Identifier && EqualsIgnoringAsciiCase(text, keyword);
}

std::vector<Token> Tokenize(std::string_view line, const Location& where) {
    static constexpr std::string_view kTwoCharPunctuators[] = {
        "||", "&&", "==", "!=", "<=", ">=", "<<", ">>"};
    static constexpr std::string_view kOneCharPunctuators = ",|&~+-*/%(){}!<>^?:";
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r') {
            ++i;
            continue;
        }
        Token token;
        token.where = where;
        if (c == '"' || (c == 'L' && i + 1 < line.size() && line[i + 1] == '"')) {
            if (c != '"')
                ++i;  // wide strings are stored as UTF-8 too
            token.kind = TokenKind::String;
            token.text = ParseString(line, i, where);
        } else if (IsIdentifierStart(c)) {
            const std::size_t start = i;
            while (i < line.size() && IsIdentifierChar(line[i]))
                ++i;
            token.kind = TokenKind::Identifier;
            token.text = std::string(line.substr(start, i - start));
        } else if (c >= '0' && c <= '9') {
            const std::size_t start = i;
            while (i < line.size() && IsIdentifierChar(line[i]))
                ++i;
            token.kind = TokenKind::Number;
            token.text = std::string(line.substr(start, i - start));
            token.number = ParseNumber(token.text, where);
        } else {
            token.kind = TokenKind::Punctuator;
            for (std::string_view p : kTwoCharPunctuators) {
                if (line.substr(i, 2) == p) {
                    token.text = std::string(p);
                    break;
                }
            }
            if (token.text.empty()) {
                if (kOneCharPunctuators.find(c) == std::string_view::npos) {
                    char shown[16];
                    if (static_cast<unsigned char>(c) > 0x20 &&
                        static_cast<unsigned char>(c) < 0x7F)
                        std::snprintf(shown, sizeof shown, "'%c'", c);
                    else
                        std::snprintf(shown, sizeof shown, "0x%02X", static_cast<unsigned char>(c));
                    throw Error(where, std::string("unexpected character ") + shown);
                }
                token.text = std::string(1, c);
            }
            i += token.text.size();
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

TokenStream::TokenStream(std::vector<Token> tokens, Location end) : tokens_(std::move(tokens)) {
    end_.where = std::move(end);
}

const Token& TokenStream::Peek(std::size_t ahead) const {
    return pos_ + ahead < tokens_.size() ? tokens_[pos_ + ahead] : end_;
}

const Token& TokenStream::Next() {
    const Token& token = Peek();
    if (!AtEnd())
        ++pos_;
    return token;
}

bool TokenStream::Accept(std::string_view punctuator) {
    if (!Peek().Is(punctuator))
        return false;
    ++pos_;
    return true;
}

void TokenStream::Expect(std::string_view punctuator, std::string_view what) {
    if (!Accept(punctuator))
        throw Error(Where(), "expected " + std::string(what) + ", found " + Describe(Peek()));
}

bool TokenStream::AcceptKeyword(std::string_view keyword) {
    if (!Peek().IsKeyword(keyword))
        return false;
    ++pos_;
    return true;
}

std::string Describe(const Token& token) {
    switch (token.kind) {
        case TokenKind::Identifier:
        case TokenKind::Number:
            return "'" + token.text + "'";
        case TokenKind::String:
            return "\"" + token.text + "\"";
        case TokenKind::Punctuator:
            break;
    }
    return token.text.empty() ? std::string("the end of the script") : "'" + token.text + "'";
}

}  // namespace rc
