#include "tools/rc/expression.h"

#include <array>
#include <limits>
#include <string>
#include <string_view>

namespace rc {

namespace {

// Integer type names a cast may use, with their width in bits and signedness.
struct TypeName {
    std::string_view name;
    int bits;
    bool isSigned;
};

constexpr std::array<TypeName, 30> kTypeNames = {{
    {"BYTE", 8, false},    {"WORD", 16, false},     {"DWORD", 32, false},
    {"UINT", 32, false},   {"ULONG", 32, false},    {"USHORT", 16, false},
    {"INT", 32, true},     {"LONG", 32, true},      {"SHORT", 16, true},
    {"BOOL", 32, true},    {"HRESULT", 32, true},   {"COLORREF", 32, false},
    {"WCHAR", 16, false},  {"UINT_PTR", 64, false}, {"ULONG_PTR", 64, false},
    {"INT_PTR", 64, true}, {"LONG_PTR", 64, true},  {"WPARAM", 64, false},
    {"LPARAM", 64, true},  {"LRESULT", 64, true},   {"LPSTR", 64, false},
    {"LPCSTR", 64, false}, {"LPWSTR", 64, false},   {"LPCWSTR", 64, false},
    {"LPVOID", 64, false}, {"char", 8, true},       {"short", 16, true},
    {"int", 32, true},     {"long", 32, true},      {"signed", 32, true},
}};

const TypeName* FindTypeName(const Token& token) {
    if (token.kind != TokenKind::Identifier)
        return nullptr;
    if (token.text == "unsigned") {
        static constexpr TypeName kUnsigned{"unsigned", 32, false};
        return &kUnsigned;
    }
    for (const TypeName& t : kTypeNames) {
        if (t.name == token.text)
            return &t;
    }
    return nullptr;
}

std::int64_t Truncate(std::int64_t value, int bits, bool isSigned) {
    if (bits >= 64)
        return value;
    const std::uint64_t mask = (std::uint64_t{1} << bits) - 1;
    std::uint64_t v = static_cast<std::uint64_t>(value) & mask;
    if (isSigned && (v >> (bits - 1)) != 0)
        v |= ~mask;
    return static_cast<std::int64_t>(v);
}

std::int64_t Wrap(std::uint64_t v) {
    return static_cast<std::int64_t>(v);
}

class Parser {
public:
    Parser(TokenStream& tokens, const SymbolResolver& resolve) : t_(tokens), resolve_(resolve) {}

    std::int64_t Conditional() {
        // Parentheses nest through here; a bound keeps a hostile script from exhausting the
        // stack.
        if (++depth_ > kMaxDepth)
            throw Error(t_.Where(), "expression nested too deeply");
        struct Leave {
            int& depth;
            ~Leave() { --depth; }
        } leave{depth_};
        const std::int64_t condition = LogicalOr();
        if (!t_.Accept("?"))
            return condition;
        const std::int64_t a = Conditional();
        t_.Expect(":", "':' of a conditional expression");
        const std::int64_t b = Conditional();
        return condition ? a : b;
    }

    // One item of a style list: everything but '|' at the top level.
    std::int64_t StyleItem() { return BitXor(); }

    std::int64_t UnaryPublic() { return Unary(); }

private:
    std::int64_t LogicalOr() {
        std::int64_t v = LogicalAnd();
        while (t_.Accept("||")) {
            const std::int64_t r = LogicalAnd();
            v = (v || r) ? 1 : 0;
        }
        return v;
    }

    std::int64_t LogicalAnd() {
        std::int64_t v = BitOr();
        while (t_.Accept("&&")) {
            const std::int64_t r = BitOr();
            v = (v && r) ? 1 : 0;
        }
        return v;
    }

    std::int64_t BitOr() {
        std::int64_t v = BitXor();
        while (t_.Accept("|"))
            v |= BitXor();
        return v;
    }

    std::int64_t BitXor() {
        std::int64_t v = BitAnd();
        while (t_.Accept("^"))
            v ^= BitAnd();
        return v;
    }

    std::int64_t BitAnd() {
        std::int64_t v = Equality();
        while (t_.Peek().Is("&")) {
            t_.Next();
            v &= Equality();
        }
        return v;
    }

    std::int64_t Equality() {
        std::int64_t v = Relational();
        for (;;) {
            if (t_.Accept("=="))
                v = (v == Relational()) ? 1 : 0;
            else if (t_.Accept("!="))
                v = (v != Relational()) ? 1 : 0;
            else
                return v;
        }
    }

    std::int64_t Relational() {
        std::int64_t v = Shift();
        for (;;) {
            if (t_.Accept("<="))
                v = (v <= Shift()) ? 1 : 0;
            else if (t_.Accept(">="))
                v = (v >= Shift()) ? 1 : 0;
            else if (t_.Accept("<"))
                v = (v < Shift()) ? 1 : 0;
            else if (t_.Accept(">"))
                v = (v > Shift()) ? 1 : 0;
            else
                return v;
        }
    }

    std::int64_t Shift() {
        std::int64_t v = Additive();
        for (;;) {
            const bool left = t_.Peek().Is("<<");
            if (!left && !t_.Peek().Is(">>"))
                return v;
            const Location where = t_.Where();
            t_.Next();
            const std::int64_t n = Additive();
            if (n < 0 || n >= 64)
                throw Error(where, "shift count " + std::to_string(n) + " is out of range");
            v = left ? Wrap(static_cast<std::uint64_t>(v) << n) : (v >> n);
        }
    }

    std::int64_t Additive() {
        std::int64_t v = Multiplicative();
        for (;;) {
            if (t_.Accept("+"))
                v = Wrap(static_cast<std::uint64_t>(v) +
                         static_cast<std::uint64_t>(Multiplicative()));
            else if (t_.Accept("-"))
                v = Wrap(static_cast<std::uint64_t>(v) -
                         static_cast<std::uint64_t>(Multiplicative()));
            else
                return v;
        }
    }

    std::int64_t Multiplicative() {
        std::int64_t v = Unary();
        for (;;) {
            const Token& op = t_.Peek();
            if (op.Is("*")) {
                t_.Next();
                v = Wrap(static_cast<std::uint64_t>(v) * static_cast<std::uint64_t>(Unary()));
            } else if (op.Is("/") || op.Is("%")) {
                const bool divide = op.Is("/");
                const Location where = op.where;
                t_.Next();
                const std::int64_t d = Unary();
                if (d == 0)
                    throw Error(where, "division by zero");
                if (v == std::numeric_limits<std::int64_t>::min() && d == -1)
                    v = divide ? v : 0;
                else
                    v = divide ? v / d : v % d;
            } else {
                return v;
            }
        }
    }

    std::int64_t Unary() {
        if (++depth_ > kMaxDepth)
            throw Error(t_.Where(), "expression nested too deeply");
        struct Leave {
            int& depth;
            ~Leave() { --depth; }
        } leave{depth_};
        if (t_.Accept("-"))
            return Wrap(std::uint64_t{0} - static_cast<std::uint64_t>(Unary()));
        if (t_.Accept("+"))
            return Unary();
        if (t_.Accept("~"))
            return ~Unary();
        if (t_.Accept("!"))
            return Unary() == 0 ? 1 : 0;
        if (t_.Peek().Is("(") && FindTypeName(t_.Peek(1)))
            return Cast();
        return Primary();
    }

    // "(type) operand": the type is one or more integer type words, optionally a pointer.
    std::int64_t Cast() {
        t_.Next();  // (
        int bits = 32;
        bool isSigned = true;
        bool sawLong = false;
        bool pointer = false;
        while (const TypeName* type = FindTypeName(t_.Peek())) {
            t_.Next();
            if (type->name == "unsigned") {
                isSigned = false;
            } else if (type->name == "signed") {
                isSigned = true;
            } else if (type->name == "long") {
                bits = sawLong ? 64 : 32;
                sawLong = true;
            } else if (type->name != "int") {
                bits = type->bits;
                isSigned = type->isSigned;
            }
        }
        while (t_.Accept("*"))
            pointer = true;
        t_.Expect(")", "')' of a cast");
        const std::int64_t v = Unary();
        return pointer ? v : Truncate(v, bits, isSigned);
    }

    std::int64_t Primary() {
        const Token& token = t_.Peek();
        switch (token.kind) {
            case TokenKind::Number:
                t_.Next();
                return Wrap(token.number);
            case TokenKind::Identifier: {
                const std::optional<std::int64_t> v = resolve_(token);
                if (!v)
                    throw Error(token.where, "undefined symbol '" + token.text + "'");
                t_.Next();
                return *v;
            }
            case TokenKind::String:
                break;
            case TokenKind::Punctuator:
                if (token.Is("(")) {
                    t_.Next();
                    const std::int64_t v = Conditional();
                    t_.Expect(")", "')'");
                    return v;
                }
                break;
        }
        throw Error(token.where, "expected a number, found " + Describe(token));
    }

    static constexpr int kMaxDepth = 256;

    TokenStream& t_;
    const SymbolResolver& resolve_;
    int depth_ = 0;
};

}  // namespace

std::int64_t ParseExpression(TokenStream& tokens, const SymbolResolver& resolve) {
    return Parser(tokens, resolve).Conditional();
}

StyleBits ParseStyle(TokenStream& tokens, const SymbolResolver& resolve) {
    Parser parser(tokens, resolve);
    StyleBits bits;
    do {
        const bool negated = tokens.AcceptKeyword("NOT");
        const Location where = tokens.Where();
        const std::uint32_t v =
            To32Bits(negated ? parser.UnaryPublic() : parser.StyleItem(), where);
        if (negated)
            bits.value &= ~v;
        else
            bits.value |= v;
        bits.mask |= v;
    } while (tokens.Accept("|"));
    return bits;
}

std::uint32_t To32Bits(std::int64_t value, const Location& where) {
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > static_cast<std::int64_t>(std::numeric_limits<std::uint32_t>::max()))
        throw Error(where, "value " + std::to_string(value) + " does not fit 32 bits");
    return static_cast<std::uint32_t>(value);
}

}  // namespace rc
