// Integer expressions of resource statements and #if lines: C operators and precedence, casts
// to plain integer types, and the style lists of the script language, where "NOT X" removes
// bits that a control's defaults would otherwise set.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "tools/rc/tokens.h"

namespace rc {

// The value of an identifier left over after macro expansion; nullopt for an undefined
// symbol, which is an error.
using SymbolResolver = std::function<std::optional<std::int64_t>(const Token&)>;

// Reads one expression from the stream, stopping at the first token that cannot continue it
// (a comma, a keyword, a string). Values are 64-bit two's complement.
std::int64_t ParseExpression(TokenStream& tokens, const SymbolResolver& resolve);

// A style list: "A | B | NOT C". Bits named without NOT are set, bits named with NOT are
// cleared; mask holds every bit the list mentions, so defaults fill only the other bits.
struct StyleBits {
    std::uint32_t value = 0;
    std::uint32_t mask = 0;

    std::uint32_t Over(std::uint32_t defaults) const { return value | (defaults & ~mask); }
};

StyleBits ParseStyle(TokenStream& tokens, const SymbolResolver& resolve);

// A value that must fit 32 bits, signed or unsigned.
std::uint32_t To32Bits(std::int64_t value, const Location& where);

}  // namespace rc
