// Connection strings: "Key=Value;Key={Value with ; and = in it};..." with keys compared
// without regard to case.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace provider {

class ConnectionString {
public:
    // Parses the text; throws std::invalid_argument with a reason when a brace is not closed.
    explicit ConnectionString(std::string_view text);

    // The value of a key (case ignored); the last one wins when a key repeats.
    std::optional<std::string> Get(std::string_view key) const;
    // The first of several synonyms that is present.
    std::optional<std::string> GetAny(std::initializer_list<std::string_view> keys) const;
    const std::vector<std::pair<std::string, std::string>>& Pairs() const { return m_pairs; }

private:
    std::vector<std::pair<std::string, std::string>> m_pairs;
};

}  // namespace provider
