// The plain text of texts: the formatting codes of multi-line text contents and the %% codes
// of single-line texts, as a reader shows them.
#pragma once

#include <string>

namespace host::dxf {

// The plain text of MTEXT contents (\P and \X line breaks as "\n", \~, braces, stacking,
// \U+ codes; other formatting codes dropped) and the %% codes of single-line texts.
std::string MTextPlain(const std::string& contents);
std::string TextPlain(const std::string& text);

}  // namespace host::dxf
