// Tokens of resource statements and preprocessor expressions, and a cursor over them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/rc/diagnostics.h"

namespace rc {

enum class TokenKind { Identifier, Number, String, Punctuator };

struct Token {
    TokenKind kind = TokenKind::Punctuator;
    // The identifier or punctuator as written, or a string's value (UTF-8, escapes decoded).
    std::string text;
    std::uint64_t number = 0;  // the value of a number
    Location where;

    bool Is(std::string_view punctuator) const {
        return kind == TokenKind::Punctuator && text == punctuator;
    }
    // Resource-script keywords are not case-sensitive.
    bool IsKeyword(std::string_view keyword) const;
};

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// Splits one logical line (continuations joined, comments removed) into tokens. Strings use
// the script syntax: "" stands for a quote, and \n, \t, \r, \a, \\, \" and \xHHHH are escapes;
// any other backslash is kept as written, as Windows file names need.
std::vector<Token> Tokenize(std::string_view line, const Location& where);

// A read position in a token list. Reading past the end gives an empty punctuator located
// at the end of the input.
class TokenStream {
public:
    TokenStream(std::vector<Token> tokens, Location end);

    bool AtEnd() const { return pos_ >= tokens_.size(); }
    const Token& Peek(std::size_t ahead = 0) const;
    const Token& Next();
    // Consumes the punctuator when it is next.
    bool Accept(std::string_view punctuator);
    // Consumes the punctuator or fails with "expected <what>".
    void Expect(std::string_view punctuator, std::string_view what);
    bool AcceptKeyword(std::string_view keyword);
    // Where the next token is (the end of the input when there is none).
    const Location& Where() const { return Peek().where; }

private:
    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    Token end_;
};

// A token as it reads in a message: 'NAME', '"text"', '123', or "the end of the script".
std::string Describe(const Token& token);

}  // namespace rc
