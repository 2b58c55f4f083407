#include "provider/connstr.h"

#include <stdexcept>

#include "platform/textconv.h"

namespace provider {

namespace {
std::string_view TrimBlanks(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}
}  // namespace

ConnectionString::ConnectionString(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t eq = text.find('=', i);
        const std::size_t semi = text.find(';', i);
        if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
            // A part without '=': ignored, as drivers ignore stray separators.
            if (semi == std::string_view::npos)
                break;
            i = semi + 1;
            continue;
        }
        const std::string key(TrimBlanks(text.substr(i, eq - i)));
        std::size_t j = eq + 1;
        while (j < text.size() && (text[j] == ' ' || text[j] == '\t'))
            ++j;
        std::string value;
        if (j < text.size() && text[j] == '{') {
            // Braced value: runs to the matching '}'; "}}" stands for one '}'.
            ++j;
            bool closed = false;
            while (j < text.size()) {
                if (text[j] == '}') {
                    if (j + 1 < text.size() && text[j + 1] == '}') {
                        value += '}';
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                value += text[j++];
            }
            if (!closed) {
                throw std::invalid_argument("the value of '" + key + "' has no closing brace");
            }
            const std::size_t next = text.find(';', j);
            i = next == std::string_view::npos ? text.size() : next + 1;
        } else {
            const std::size_t end = text.find(';', j);
            value = std::string(TrimBlanks(
                text.substr(j, end == std::string_view::npos ? std::string_view::npos : end - j)));
            i = end == std::string_view::npos ? text.size() : end + 1;
        }
        if (!key.empty())
            m_pairs.emplace_back(key, value);
    }
}

std::optional<std::string> ConnectionString::Get(std::string_view key) const {
    std::optional<std::string> found;
    for (const auto& [k, v] : m_pairs) {
        if (qv::CompareNoCase<char>(k, key) == 0)
            found = v;
    }
    return found;
}

std::optional<std::string> ConnectionString::GetAny(
    std::initializer_list<std::string_view> keys) const {
    for (auto key : keys) {
        if (auto v = Get(key))
            return v;
    }
    return std::nullopt;
}

}  // namespace provider
