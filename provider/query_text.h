// A judgement of SQL text in any dialect: is it one query that only reads? Used for sources
// whose driver cannot be told to refuse writes; SQLite's own sources are checked by SQLite.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace provider {

// Why the text is not a single query that only reads ("the text holds more than one
// statement", "it begins with DELETE", "INTO would write ..."), or nothing when it is one: a
// statement that begins with SELECT, WITH or VALUES (after blanks, comments and opening
// parentheses) and has no word that writes or reaches outside the database. Quoted text and
// names ('...', "...", [...], `...`) and comments are not looked into.
std::optional<std::string> WhyNotAReadOnlyQuery(std::u16string_view sql);

}  // namespace provider
