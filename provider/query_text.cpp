#include "provider/query_text.h"

#include <algorithm>
#include <array>

namespace provider {

namespace {

bool IsWordChar(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
           c == u'_' || c == u'$' || c >= 0x80;
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == u'\v';
}

// Words that make a statement beginning with SELECT or WITH write, lock or read files.
constexpr std::array<std::string_view, 24> kWritingWords = {
    "INSERT",         "UPDATE",    "DELETE",       "MERGE",     "INTO",      "CREATE",
    "DROP",           "ALTER",     "TRUNCATE",     "ATTACH",    "DETACH",    "PRAGMA",
    "VACUUM",         "EXEC",      "EXECUTE",      "CALL",      "GRANT",     "REVOKE",
    "LOAD_EXTENSION", "LOAD_FILE", "PG_READ_FILE", "LO_IMPORT", "LO_EXPORT", "WRITEFILE",
};

}  // namespace

std::optional<std::string> WhyNotAReadOnlyQuery(std::u16string_view sql) {
    std::string first;
    bool ended = false;  // a ';' ended the statement
    for (std::size_t i = 0; i < sql.size();) {
        const char16_t c = sql[i];
        if (IsBlank(c)) {
            ++i;
        } else if (c == u'-' && i + 1 < sql.size() && sql[i + 1] == u'-') {
            while (i < sql.size() && sql[i] != u'\n')
                ++i;
        } else if (c == u'/' && i + 1 < sql.size() && sql[i + 1] == u'*') {
            const std::size_t end = sql.find(u"*/", i + 2);
            i = end == std::u16string_view::npos ? sql.size() : end + 2;
        } else if (ended) {
            if (c != u';')
                return "the text holds more than one statement";
            ++i;
        } else if (c == u';') {
            ended = true;
            ++i;
        } else if (c == u'\'' || c == u'"' || c == u'`' || c == u'[') {
            // Quoted text or name; a doubled closing quote stands for itself.
            const char16_t close = c == u'[' ? u']' : c;
            if (first.empty())
                return "it does not begin with SELECT, WITH or VALUES";
            for (++i; i < sql.size(); ++i) {
                if (sql[i] == close) {
                    if (i + 1 < sql.size() && sql[i + 1] == close) {
                        ++i;
                        continue;
                    }
                    break;
                }
            }
            ++i;
        } else if (IsWordChar(c)) {
            std::string word;
            for (; i < sql.size() && IsWordChar(sql[i]); ++i) {
                const char16_t w = sql[i];
                word += w < 0x80 ? static_cast<char>(w >= u'a' && w <= u'z' ? w - 32 : w) : '?';
            }
            if (first.empty()) {
                first = word;
                if (word != "SELECT" && word != "WITH" && word != "VALUES")
                    return "it begins with " + word + ", not with SELECT, WITH or VALUES";
            } else if (std::find(kWritingWords.begin(), kWritingWords.end(), word) !=
                       kWritingWords.end()) {
                return word + " does not belong in a query that only reads";
            }
        } else {
            if (first.empty() && c != u'(')
                return "it does not begin with SELECT, WITH or VALUES";
            ++i;
        }
    }
    if (first.empty())
        return "the text holds no statement";
    return std::nullopt;
}

}  // namespace provider
