// Text helpers every layer of the host shares: names compared ignoring letter case (simple
// case folding, as the drawing database, the registries and the command line compare names).
#pragma once

#include <string>
#include <string_view>

namespace host {

// Case-insensitive key of a name (simple case folding).
std::string FoldKey(std::string_view name);
bool EqualNoCase(std::string_view a, std::string_view b);

}  // namespace host
