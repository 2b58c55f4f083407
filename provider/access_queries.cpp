#include "provider/access_queries.h"

#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "platform/textconv.h"

namespace provider {

namespace {

// Query kinds (attribute 1) and option bits (attribute 3) of the definition rows.
constexpr long kSelectQuery = 1;
constexpr long kUnionQuery = 9;
constexpr long kOptionAllFields = 0x01;
constexpr long kOptionDistinct = 0x02;
constexpr long kOptionDistinctRow = 0x08;
constexpr long kOptionTop = 0x10;
constexpr long kOptionTopPercent = 0x20;

enum Attribute {
    kType = 1,
    kParameter = 2,
    kOptions = 3,
    kTable = 5,
    kColumn = 6,
    kJoin = 7,
    kWhere = 8,
    kGroup = 9,
    kHaving = 10,
    kOrder = 11,
};

std::string Lower(std::string_view s) {
    return qv::ToUtf8(qv::ToLower<char16_t>(qv::ToUtf16(s)));
}

bool IsIdentStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}
bool IsIdentChar(char c) {
    return IsIdentStart(c) || (c >= '0' && c <= '9');
}

std::string SqlString(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += c;
    }
    return out + "'";
}

std::string Bracket(std::string_view name) {
    std::string out = "[";
    out += name;
    return out + "]";
}

// "#m/d/yy#" or "#m/d/yyyy h:mm:ss#" (the US order Access stores) as a text literal in the form
// the copied date columns hold.
bool DateLiteral(std::string_view inside, std::string& out) {
    int m = 0, d = 0, y = 0, hh = 0, mm = 0, ss = 0;
    char ampm[3] = {};
    const std::string s(inside);
    const int n = std::sscanf(s.c_str(), "%d/%d/%d %d:%d:%d %2s", &m, &d, &y, &hh, &mm, &ss, ampm);
    if (n < 3) {
        if (std::sscanf(s.c_str(), "%d-%d-%d %d:%d:%d", &y, &m, &d, &hh, &mm, &ss) < 3)
            return false;
    }
    if (y < 30)
        y += 2000;
    else if (y < 100)
        y += 1900;
    if ((ampm[0] == 'P' || ampm[0] == 'p') && hh < 12)
        hh += 12;
    if ((ampm[0] == 'A' || ampm[0] == 'a') && hh == 12)
        hh = 0;
    if (m < 1 || m > 12 || d < 1 || d > 31 || hh > 23 || mm > 59 || ss > 59)
        return false;
    char buf[96];
    std::snprintf(buf, sizeof buf, "'%04d-%02d-%02d %02d:%02d:%02d'", y, m, d, hh, mm, ss);
    out = buf;
    return true;
}

// Functions with an equivalent: the text that replaces "Name(" and the text inserted before
// the matching ")".
struct FunctionMap {
    const char* open;
    const char* close;
};

const std::map<std::string, FunctionMap>& Functions() {
    static const std::map<std::string, FunctionMap> map = {
        {"sum", {"sum(", ")"}},
        {"count", {"count(", ")"}},
        {"avg", {"avg(", ")"}},
        {"min", {"min(", ")"}},
        {"max", {"max(", ")"}},
        {"iif", {"iif(", ")"}},
        {"nz", {"coalesce(", ", '')"}},
        {"ucase", {"qv_ucase(", ")"}},
        {"lcase", {"qv_lcase(", ")"}},
        {"left", {"qv_left(", ")"}},
        {"right", {"qv_right(", ")"}},
        {"format", {"qv_format(", ")"}},
        {"instr", {"instr(", ")"}},
        {"replace", {"replace(", ")"}},
        {"chr", {"char(", ")"}},
        {"asc", {"unicode(", ")"}},
        {"sgn", {"sign(", ")"}},
        {"hour", {"CAST(strftime('%H', ", ") AS INTEGER)"}},
        {"minute", {"CAST(strftime('%M', ", ") AS INTEGER)"}},
        {"second", {"CAST(strftime('%S', ", ") AS INTEGER)"}},
        {"len", {"length(", ")"}},
        {"trim", {"trim(", ")"}},
        {"ltrim", {"ltrim(", ")"}},
        {"rtrim", {"rtrim(", ")"}},
        {"abs", {"abs(", ")"}},
        {"round", {"round(", ")"}},
        {"mid", {"substr(", ")"}},
        {"ccur", {"round((", "), 4)"}},
        {"cdbl", {"CAST((", ") AS REAL)"}},
        {"csng", {"CAST((", ") AS REAL)"}},
        {"clng", {"CAST(round(", ") AS INTEGER)"}},
        {"cint", {"CAST(round(", ") AS INTEGER)"}},
        {"cstr", {"CAST((", ") AS TEXT)"}},
        {"year", {"CAST(strftime('%Y', ", ") AS INTEGER)"}},
        {"month", {"CAST(strftime('%m', ", ") AS INTEGER)"}},
        {"day", {"CAST(strftime('%d', ", ") AS INTEGER)"}},
        {"now", {"datetime('now', 'localtime'", ")"}},
        {"date", {"date('now', 'localtime'", ")"}},
        // SQLite's own names, where the statement already uses them with their meaning here.
        {"coalesce", {"coalesce(", ")"}},
        {"ifnull", {"ifnull(", ")"}},
        {"nullif", {"nullif(", ")"}},
        {"upper", {"qv_ucase(", ")"}},
        {"lower", {"qv_lcase(", ")"}},
        {"length", {"length(", ")"}},
        {"substr", {"substr(", ")"}},
        {"strftime", {"strftime(", ")"}},
        {"datetime", {"datetime(", ")"}},
        {"julianday", {"julianday(", ")"}},
        {"printf", {"printf(", ")"}},
        {"typeof", {"typeof(", ")"}},
        {"total", {"total(", ")"}},
        {"group_concat", {"group_concat(", ")"}},
    };
    return map;
}

// Words that are SQL in both dialects and may stand before "(".
const std::set<std::string>& SqlWords() {
    static const std::set<std::string> words = {
        "select",  "from",     "where",   "and",   "or",     "not",    "in",        "exists",
        "between", "like",     "is",      "null",  "as",     "on",     "join",      "inner",
        "left",    "right",    "outer",   "group", "by",     "order",  "having",    "union",
        "all",     "distinct", "asc",     "desc",  "case",   "when",   "then",      "else",
        "end",     "values",   "cast",    "limit", "offset", "escape", "intersect", "except",
        "full",    "cross",    "natural", "using", "with"};
    return words;
}

// "Name", "[A Name]", "T.Name", "[T].[Name]" or "T.*": a plain column reference. Sets the
// qualifier (empty when there is none).
bool IsColumnReference(std::string_view e, std::string& qualifier) {
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i < e.size()) {
        std::string part;
        if (e[i] == '[') {
            const auto end = e.find(']', i);
            if (end == std::string_view::npos)
                return false;
            part = std::string(e.substr(i + 1, end - i - 1));
            i = end + 1;
        } else if (e[i] == '*') {
            part = "*";
            ++i;
        } else {
            const std::size_t start = i;
            while (i < e.size() && IsIdentChar(e[i]))
                ++i;
            if (i == start)
                return false;
            part = std::string(e.substr(start, i - start));
        }
        parts.push_back(part);
        if (i < e.size()) {
            if (e[i] != '.')
                return false;
            ++i;
        }
    }
    if (parts.empty() || parts.size() > 2)
        return false;
    qualifier = parts.size() == 2 ? parts[0] : std::string();
    return true;
}

}  // namespace

bool TranslateExpression(std::string_view in, std::string& out, std::string& reason) {
    out.clear();
    std::vector<std::string> closers;  // per open parenthesis: what closes it
    // Access's & joins texts and reads NULL as empty text, where || gives NULL: each operand
    // of a & chain is wrapped in coalesce(..., ''). Per parenthesis level: where the current
    // operand starts, and whether it is the right operand of a &.
    struct Level {
        std::size_t operandStart = 0;
        bool rightOfConcat = false;
        std::string limit;  // the TOP count of the SELECT at this level, as a LIMIT
    };
    std::vector<Level> levels(1);
    const auto wrapOperand = [&](std::size_t start) {
        std::size_t first = start, last = out.size();
        while (first < last && out[first] == ' ')
            ++first;
        while (last > first && out[last - 1] == ' ')
            --last;
        const std::string trailing = out.substr(last);
        out = out.substr(0, first) + "coalesce(" + out.substr(first, last - first) + ", '')" +
              trailing;
    };
    // Ends the current operand at a boundary (comparison, keyword, comma, closing parenthesis).
    const auto endOperand = [&] {
        Level& level = levels.back();
        if (level.rightOfConcat)
            wrapOperand(level.operandStart);
        level.rightOfConcat = false;
    };
    const auto startOperand = [&] { levels.back().operandStart = out.size(); };
    std::string previousWord;  // last keyword or identifier, lower case
    std::size_t i = 0;
    while (i < in.size()) {
        const char c = in[i];
        if (c == '"' || c == '\'') {
            // String literal; Access doubles the quote inside.
            std::string text;
            std::size_t j = i + 1;
            for (;; ++j) {
                if (j >= in.size()) {
                    reason = "a text literal is not closed";
                    return false;
                }
                if (in[j] == c) {
                    if (j + 1 < in.size() && in[j + 1] == c) {
                        text += c;
                        ++j;
                        continue;
                    }
                    break;
                }
                text += in[j];
            }
            if (previousWord == "like") {
                // Access wildcards: * any run, ? one character.
                for (char& ch : text) {
                    if (ch == '*')
                        ch = '%';
                    else if (ch == '?')
                        ch = '_';
                }
            }
            out += SqlString(text);
            previousWord.clear();
            i = j + 1;
            continue;
        }
        if (c == '#') {
            const std::size_t end = in.find('#', i + 1);
            std::string literal;
            if (end == std::string_view::npos ||
                !DateLiteral(in.substr(i + 1, end - i - 1), literal)) {
                reason = "a date literal cannot be read";
                return false;
            }
            out += literal;
            previousWord.clear();
            i = end + 1;
            continue;
        }
        if ((c == '-' && i + 1 < in.size() && in[i + 1] == '-') ||
            (c == '/' && i + 1 < in.size() && in[i + 1] == '*')) {
            // A comment, kept as written with the line end of a "--" comment (quotes inside
            // it are no literals).
            const bool line = c == '-';
            std::size_t end = line ? in.find('\n', i) : in.find("*/", i + 2);
            if (!line && end == std::string_view::npos) {
                reason = "a comment is not closed";
                return false;
            }
            end = end == std::string_view::npos ? in.size() : end + (line ? 1 : 2);
            out += in.substr(i, end - i);
            i = end;
            continue;
        }
        if (c == '`') {
            // A back-quoted name, as the module quotes table names.
            const std::size_t end = in.find('`', i + 1);
            if (end == std::string_view::npos) {
                reason = "a quoted name is not closed";
                return false;
            }
            out += in.substr(i, end - i + 1);
            previousWord = "name";
            i = end + 1;
            continue;
        }
        if (c == '[') {
            const std::size_t end = in.find(']', i + 1);
            if (end == std::string_view::npos) {
                reason = "a bracketed name is not closed";
                return false;
            }
            out += in.substr(i, end - i + 1);
            previousWord = "name";
            i = end + 1;
            continue;
        }
        if (IsIdentStart(c)) {
            std::size_t j = i;
            while (j < in.size() && IsIdentChar(in[j]))
                ++j;
            const std::string word(in.substr(i, j - i));
            const std::string lower = Lower(word);
            std::size_t k = j;
            while (k < in.size() && (in[k] == ' ' || in[k] == '\t'))
                ++k;
            const bool call = k < in.size() && in[k] == '(';
            const bool qualified = (i > 0 && in[i - 1] == '.') || (j < in.size() && in[j] == '.');
            // LEFT and RIGHT before "(" are the text functions, not joins.
            const bool function = !SqlWords().count(lower) || lower == "left" || lower == "right";
            if (call && !qualified && function) {
                const auto f = Functions().find(lower);
                if (f == Functions().end()) {
                    reason = "it uses the function " + word + ", which has no equivalent here";
                    return false;
                }
                out += f->second.open;
                closers.emplace_back(f->second.close);
                levels.push_back(Level{out.size(), false, {}});
                i = k + 1;
                previousWord.clear();
                continue;
            }
            if (!qualified && lower == "top" &&
                (previousWord == "select" || previousWord == "distinct" ||
                 previousWord == "distinctrow")) {
                // SELECT TOP n: the count becomes the LIMIT of this SELECT, at the end of its
                // parenthesis (or of the statement).
                std::size_t n = k;
                while (n < in.size() && in[n] >= '0' && in[n] <= '9')
                    ++n;
                if (n == k || (n < in.size() && IsIdentChar(in[n]))) {
                    reason = "its TOP count is not a number";
                    return false;
                }
                std::size_t after = n;
                while (after < in.size() && (in[after] == ' ' || in[after] == '\t'))
                    ++after;
                std::size_t end = after;
                while (end < in.size() && IsIdentChar(in[end]))
                    ++end;
                if (Lower(in.substr(after, end - after)) == "percent") {
                    reason = "it returns a percentage of the rows (TOP ... PERCENT)";
                    return false;
                }
                levels.back().limit = std::string(in.substr(k, n - k));
                previousWord = "top";
                i = n;
                continue;
            }
            const bool boundary = !qualified && SqlWords().count(lower) > 0;
            if (boundary)
                endOperand();
            if (!qualified && lower == "distinctrow") {
                out += "DISTINCT";
            } else if (!qualified && (lower == "yes" || lower == "true")) {
                out += "1";
            } else if (!qualified && (lower == "no" || lower == "false" || lower == "off")) {
                out += "0";
            } else if (!qualified && lower == "mod") {
                out += "%";
            } else {
                out += word;
            }
            if (boundary)
                startOperand();
            previousWord = lower;
            i = j;
            continue;
        }
        switch (c) {
            case '(':
                closers.emplace_back(")");
                out += c;
                levels.push_back(Level{out.size(), false, {}});
                break;
            case ')':
                if (closers.empty()) {
                    reason = "its parentheses do not match";
                    return false;
                }
                endOperand();
                if (!levels.back().limit.empty())
                    out += "\nLIMIT " + levels.back().limit;  // after any "--" comment
                levels.pop_back();
                out += closers.back();
                closers.pop_back();
                break;
            case ',':
            case '=':
            case '<':
            case '>':
                endOperand();
                out += c;
                startOperand();
                break;
            case '&':
                // The left operand is wrapped now, the right one where it ends.
                if (!levels.back().rightOfConcat)
                    wrapOperand(levels.back().operandStart);
                endOperand();
                out += "||";
                startOperand();
                levels.back().rightOfConcat = true;
                break;
            case '!':
                reason = "it refers to a form or report of the application (!)";
                return false;
            case '\\':
            case '^':
                reason =
                    std::string("it uses the operator ") + c + ", which has no equivalent here";
                return false;
            case '\r':
            case '\n':
                out += ' ';
                break;
            default:
                out += c;
                break;
        }
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            previousWord.clear();
        ++i;
    }
    if (!closers.empty()) {
        reason = "its parentheses do not match";
        return false;
    }
    endOperand();
    if (!levels.back().limit.empty())
        out += "\nLIMIT " + levels.back().limit;  // after any "--" comment
    return true;
}

bool TranslateStatement(std::string_view in, std::string& out, std::string& reason) {
    // A closing semicolon goes: a LIMIT from TOP must end the statement.
    std::size_t end = in.size();
    while (end > 0 && (in[end - 1] == ';' || in[end - 1] == ' ' || in[end - 1] == '\t' ||
                       in[end - 1] == '\r' || in[end - 1] == '\n'))
        --end;
    return TranslateExpression(in.substr(0, end), out, reason);
}

RebuiltQuery RebuildSelectQuery(const std::vector<QueryRow>& rows,
                                const std::function<bool(const std::string&)>& isTable) {
    RebuiltQuery result;
    long type = 0, options = 0;
    std::string topCount;
    std::vector<const QueryRow*> tables, columns, joins, where, group, having, order;
    for (const QueryRow& row : rows) {
        switch (row.attribute) {
            case kType:
                type = row.flag;
                break;
            case kParameter:
                result.reason = "it asks for the parameter " + row.name1;
                return result;
            case kOptions:
                options = row.flag;
                topCount = row.name1;
                break;
            case kTable:
                tables.push_back(&row);
                break;
            case kColumn:
                columns.push_back(&row);
                break;
            case kJoin:
                joins.push_back(&row);
                break;
            case kWhere:
                where.push_back(&row);
                break;
            case kGroup:
                group.push_back(&row);
                break;
            case kHaving:
                having.push_back(&row);
                break;
            case kOrder:
                order.push_back(&row);
                break;
            default:
                break;
        }
    }
    const auto translate = [&](std::string_view expression, std::string& out) {
        return TranslateExpression(expression, out, result.reason);
    };
    std::string orderBy;
    for (const QueryRow* o : order) {
        std::string e;
        if (!translate(o->expression, e))
            return result;
        orderBy += (orderBy.empty() ? " ORDER BY " : ", ") + e +
                   (o->name1 == "D" || o->name1 == "d" ? " DESC" : "");
    }

    if (type == kUnionQuery) {
        std::string sql;
        for (const QueryRow* t : tables) {
            std::string part;
            if (!translate(t->expression, part))
                return result;
            while (!part.empty() && (part.back() == ' ' || part.back() == ';'))
                part.pop_back();
            sql += (sql.empty() ? "" : " UNION ") + part;
        }
        if (sql.empty()) {
            result.reason = "the union has no parts";
            return result;
        }
        result.sql = sql + orderBy;
        result.ok = true;
        return result;
    }
    if (type != kSelectQuery) {
        result.reason = "it is not a select query (kind " + std::to_string(type) + ")";
        return result;
    }
    if (options & kOptionTopPercent) {
        result.reason = "it returns a percentage of the rows (TOP ... PERCENT)";
        return result;
    }

    std::string select = "SELECT ";
    if (options & kOptionDistinct)
        select += "DISTINCT ";
    std::string list;
    if ((options & kOptionAllFields) || columns.empty())
        list = "*";
    int unnamed = 1000;
    // Tables the output draws from, for DISTINCTROW; "" stands for an unqualified reference.
    std::set<std::string> sources;
    if (list == "*")
        sources.insert("");
    for (const QueryRow* c : columns) {
        std::string e;
        if (!translate(c->expression, e))
            return result;
        std::string alias = c->name1;
        // Expressions that are not plain column references are named as Access names them.
        std::string qualifier;
        const bool plain = IsColumnReference(e, qualifier);
        sources.insert(plain ? qualifier : std::string());
        if (alias.empty() && !plain)
            alias = "Expr" + std::to_string(unnamed++);
        list += (list.empty() ? "" : ", ") + e + (alias.empty() ? "" : " AS " + Bracket(alias));
    }
    select += list;

    // FROM: the joins chain the tables they name; tables outside every join are cross joined.
    const auto tableRef = [&](const std::string& name) {
        for (const QueryRow* t : tables) {
            if (t->name2 == name || (t->name2.empty() && t->name1 == name)) {
                return Bracket(t->name1) + (t->name2.empty() ? "" : " AS " + Bracket(t->name2));
            }
        }
        return Bracket(name);
    };
    const auto key = [](const QueryRow* t) { return t->name2.empty() ? t->name1 : t->name2; };
    std::set<std::string> placed;
    std::string from;
    for (const QueryRow* j : joins) {
        std::string on;
        if (!translate(j->expression, on))
            return result;
        const std::string kind = j->flag == 2   ? " LEFT JOIN "
                                 : j->flag == 3 ? " RIGHT JOIN "
                                                : " INNER JOIN ";
        const std::string mirrored = j->flag == 2   ? " RIGHT JOIN "
                                     : j->flag == 3 ? " LEFT JOIN "
                                                    : " INNER JOIN ";
        const bool left = placed.count(j->name1) > 0, right = placed.count(j->name2) > 0;
        if (from.empty()) {
            from = tableRef(j->name1) + kind + tableRef(j->name2) + " ON " + on;
        } else if (left && !right) {
            from += kind + tableRef(j->name2) + " ON " + on;
        } else if (right && !left) {
            from += mirrored + tableRef(j->name1) + " ON " + on;
        } else if (left && right) {
            if (j->flag == 2 || j->flag == 3) {
                result.reason = "its outer joins form a cycle";
                return result;
            }
            // Both sides are already joined: the condition narrows the join.
            from = "(" + from + ") INNER JOIN (SELECT 1) ON " + on;
        } else {
            from += " CROSS JOIN " + tableRef(j->name1) + kind + tableRef(j->name2) + " ON " + on;
        }
        placed.insert(j->name1);
        placed.insert(j->name2);
    }
    for (const QueryRow* t : tables) {
        if (placed.count(key(t)))
            continue;
        from += (from.empty() ? "" : " CROSS JOIN ") + tableRef(key(t));
        placed.insert(key(t));
    }
    if (from.empty()) {
        result.reason = "it names no table";
        return result;
    }
    std::string sql = select + " FROM " + from;
    const auto clause = [&](const std::vector<const QueryRow*>& items, const char* head,
                            const char* separator) {
        std::string text;
        for (const QueryRow* item : items) {
            std::string e;
            if (!translate(item->expression, e))
                return false;
            text += (text.empty() ? head : separator) + e;
        }
        sql += text;
        return true;
    };
    if (!clause(where, " WHERE ", " AND ") || !clause(group, " GROUP BY ", ", ") ||
        !clause(having, " HAVING ", " AND ")) {
        return result;
    }
    if ((options & kOptionDistinctRow) && !(options & kOptionDistinct) && group.empty() &&
        !sources.count("")) {
        // DISTINCTROW: one row per combination of rows of the tables the output draws from,
        // which matters only when the output leaves some tables of the query out.
        std::string keys;
        for (const QueryRow* t : tables) {
            const std::string name = key(t);
            if (!sources.count(name))
                continue;
            if (!isTable(t->name1)) {
                result.reason = "it asks for unique records of the saved query " + t->name1;
                return result;
            }
            keys += (keys.empty() ? " GROUP BY " : ", ") + Bracket(name) + ".rowid";
        }
        if (sources.size() < tables.size())
            sql += keys;
    }
    sql += orderBy;
    if (options & kOptionTop) {
        if (topCount.empty() || topCount.find_first_not_of("0123456789") != std::string::npos) {
            result.reason = "its TOP count cannot be read";
            return result;
        }
        sql += " LIMIT " + topCount;
    }
    result.sql = sql;
    result.ok = true;
    return result;
}

}  // namespace provider
