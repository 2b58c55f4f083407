#include "host/base/text.h"

#include "platform/textconv.h"

namespace host {

std::string FoldKey(std::string_view name) {
    return qv::ToLower<char>(name);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return qv::CompareNoCase<char>(a, b) == 0;
}

}  // namespace host
