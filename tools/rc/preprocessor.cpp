#include "tools/rc/preprocessor.h"

#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>

#include "tools/rc/expression.h"

namespace rc {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxIncludeDepth = 100;
constexpr std::size_t kMaxExpansionDepth = 200;
constexpr int kUtf8CodePage = 65001;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view Trim(std::string_view s) {
    s = TrimLeft(s);
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

bool IsIdentifierStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsIdentifierChar(char c) {
    return IsIdentifierStart(c) || (c >= '0' && c <= '9');
}

// Splits a leading identifier off s.
std::string_view TakeIdentifier(std::string_view& s) {
    std::size_t n = 0;
    if (!s.empty() && IsIdentifierStart(s[0])) {
        while (n < s.size() && IsIdentifierChar(s[n]))
            ++n;
    }
    const std::string_view id = s.substr(0, n);
    s.remove_prefix(n);
    return id;
}

std::string CollapseSpaces(std::string_view s) {
    std::string out;
    bool space = false;
    for (char c : Trim(s)) {
        if (IsSpace(c)) {
            space = true;
            continue;
        }
        if (space)
            out += ' ';
        space = false;
        out += c;
    }
    return out;
}

// The 1-based line of the first byte that is not part of valid UTF-8, or 0.
int FirstInvalidUtf8Line(std::string_view s) {
    int line = 1;
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == '\n')
            ++line;
        if (c == 0)
            return line;
        std::size_t n = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            n = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            n = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            n = 3;
            cp = c & 0x07;
        } else {
            return line;
        }
        for (std::size_t k = 1; k <= n; ++k) {
            if (i + k >= s.size())
                return line;
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                return line;
            cp = (cp << 6) | (cc & 0x3F);
        }
        const std::uint32_t minimum = n == 1 ? 0x80 : n == 2 ? 0x800 : 0x10000;
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return line;
        i += n + 1;
    }
    return 0;
}

// Files whose non-directive lines are C or C++ code rather than resource statements.
bool IsHeader(const fs::path& path) {
    std::string ext = path.extension().string();
    for (char& c : ext)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return ext == ".h" || ext == ".hh" || ext == ".hpp" || ext == ".hxx" || ext == ".c" ||
           ext == ".cc" || ext == ".cpp" || ext == ".inl";
}

fs::path Canonical(const fs::path& path) {
    std::error_code ec;
    fs::path c = fs::weakly_canonical(path, ec);
    return ec ? path.lexically_normal() : c;
}

bool IsRegularFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

}  // namespace

std::vector<LogicalLine> SplitLogicalLines(std::string_view content, const Location& file) {
    enum class State { Code, String, Char, LineComment, BlockComment };
    std::vector<LogicalLine> lines;
    LogicalLine current;
    current.line = 1;
    int physical = 1;
    int commentStart = 0;
    State state = State::Code;
    const auto isDirective = [&] {
        return !TrimLeft(current.text).empty() && TrimLeft(current.text)[0] == '#';
    };
    std::size_t i = 0;
    while (i < content.size()) {
        const char c = content[i];
        const char next = i + 1 < content.size() ? content[i + 1] : '\0';
        // A backslash at the end of a line joins the next line to it, in every state.
        if (c == '\\' &&
            (next == '\n' || (next == '\r' && i + 2 < content.size() && content[i + 2] == '\n'))) {
            i += next == '\n' ? 2 : 3;
            ++physical;
            continue;
        }
        if (c == '\n') {
            ++physical;
            ++i;
            if (state == State::BlockComment) {
                if (!isDirective()) {
                    lines.push_back(std::move(current));
                    current = LogicalLine{};
                    current.line = physical;
                }
                continue;
            }
            lines.push_back(std::move(current));
            current = LogicalLine{};
            current.line = physical;
            state = State::Code;  // an unterminated string ends with its line
            continue;
        }
        switch (state) {
            case State::Code:
                if (c == '/' && next == '/') {
                    state = State::LineComment;
                    i += 2;
                    continue;
                }
                if (c == '/' && next == '*') {
                    state = State::BlockComment;
                    commentStart = physical;
                    current.text += ' ';
                    i += 2;
                    continue;
                }
                if (c == '"')
                    state = State::String;
                else if (c == '\'')
                    state = State::Char;
                current.text += c;
                break;
            case State::String:
            case State::Char:
                current.text += c;
                if (c == '\\' && next != '\n' && next != '\0') {
                    current.text += next;
                    ++i;
                } else if ((state == State::String && c == '"') ||
                           (state == State::Char && c == '\'')) {
                    state = State::Code;
                }
                break;
            case State::LineComment:
                break;
            case State::BlockComment:
                if (c == '*' && next == '/') {
                    state = State::Code;
                    i += 2;
                    continue;
                }
                break;
        }
        ++i;
    }
    if (state == State::BlockComment)
        throw Error(Location{file.file, commentStart}, "unterminated /* comment");
    if (!current.text.empty())
        lines.push_back(std::move(current));
    return lines;
}

Preprocessor::Preprocessor(PreprocessorOptions options) : options_(std::move(options)) {
    // The platform's resource compiler announces itself, so headers can tell it from C++.
    macros_["RC_INVOKED"].body = "1";
    for (const auto& [name, value] : options_.defines) {
        Macro& m = macros_[name];
        m.body = CollapseSpaces(value);
        m.tokens.reset();
    }
}

void Preprocessor::AddDependency(const fs::path& file) {
    const fs::path c = Canonical(file);
    if (fileSet_.insert(c).second)
        files_.push_back(c);
}

TokenStream Preprocessor::Run(const fs::path& script) {
    scriptDir_ = script.parent_path();
    output_.clear();
    const Location none{std::make_shared<const std::string>(script.string()), 0};
    ProcessFile(script, none, 0);
    Location end = none;
    end.line = 0;
    if (!output_.empty())
        end = output_.back().where;
    return TokenStream(std::move(output_), end);
}

void Preprocessor::ProcessFile(const fs::path& path, const Location& includedFrom, int depth) {
    const fs::path canonical = Canonical(path);
    if (onceFiles_.count(canonical))
        return;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Error(includedFrom, "cannot open '" + path.string() + "'");
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw Error(includedFrom, "cannot read '" + path.string() + "'");
    AddDependency(path);

    FileContext file;
    file.path = path;
    file.where.file = std::make_shared<const std::string>(path.string());
    file.directivesOnly = IsHeader(path);
    file.conditionalBase = conditionals_.size();

    if (content.compare(0, 3, "\xEF\xBB\xBF") == 0)
        content.erase(0, 3);
    if (const int bad = FirstInvalidUtf8Line(content))
        throw Error(Location{file.where.file, bad},
                    "the text is not valid UTF-8 (scripts are read as UTF-8)");

    for (const LogicalLine& line : SplitLogicalLines(content, file.where)) {
        const Location where{file.where.file, line.line};
        const std::string_view text = TrimLeft(line.text);
        if (!text.empty() && text[0] == '#') {
            Directive(text.substr(1), where, file, depth);
        } else if (Active() && !file.directivesOnly) {
            Expand(Tokenize(line.text, where), output_, nullptr, false);
        }
    }
    if (conditionals_.size() > file.conditionalBase)
        throw Error(conditionals_.back().where, "#if without #endif");
}

void Preprocessor::Directive(std::string_view text, const Location& where, const FileContext& file,
                             int depth) {
    std::string_view rest = TrimLeft(text);
    const std::string_view name = TakeIdentifier(rest);
    rest = Trim(rest);
    if (name.empty()) {
        if (rest.empty())
            return;  // a lone '#' is allowed
        if (Active())
            throw Error(where, "unknown preprocessor line '#" + std::string(rest) + "'");
        return;
    }

    if (name == "if" || name == "ifdef" || name == "ifndef") {
        Conditional c;
        c.where = where;
        c.parentActive = Active();
        if (!c.parentActive) {
            c.active = false;
            c.taken = true;
        } else if (name == "if") {
            c.active = EvaluateCondition(rest, where);
            c.taken = c.active;
        } else {
            std::string_view s = rest;
            const std::string_view symbol = TakeIdentifier(s);
            if (symbol.empty() || !Trim(s).empty())
                throw Error(where, "#" + std::string(name) + " expects one name");
            const bool defined = macros_.count(std::string(symbol)) != 0;
            c.active = (name == "ifdef") == defined;
            c.taken = c.active;
        }
        conditionals_.push_back(c);
        return;
    }
    if (name == "elif" || name == "else" || name == "endif") {
        if (conditionals_.size() <= file.conditionalBase)
            throw Error(where, "#" + std::string(name) + " without #if");
        Conditional& c = conditionals_.back();
        if (name == "endif") {
            conditionals_.pop_back();
            return;
        }
        if (c.sawElse)
            throw Error(where, "#" + std::string(name) + " after #else");
        if (name == "else") {
            c.sawElse = true;
            c.active = c.parentActive && !c.taken;
            c.taken = true;
        } else {
            c.active = c.parentActive && !c.taken && EvaluateCondition(rest, where);
            c.taken = c.taken || c.active;
        }
        return;
    }
    if (!Active())
        return;  // other lines of a skipped section are not looked at

    if (name == "define") {
        Define(rest, where);
    } else if (name == "undef") {
        std::string_view s = rest;
        const std::string_view symbol = TakeIdentifier(s);
        if (symbol.empty() || !Trim(s).empty())
            throw Error(where, "#undef expects one name");
        macros_.erase(std::string(symbol));
    } else if (name == "include") {
        Include(rest, where, file, depth);
    } else if (name == "pragma") {
        Pragma(rest, where, file);
    } else if (name == "error") {
        throw Error(where, "#error " + std::string(rest));
    } else {
        throw Error(where, "unknown preprocessor directive '#" + std::string(name) + "'");
    }
}

void Preprocessor::Define(std::string_view text, const Location& where) {
    std::string_view rest = text;
    const std::string name(TakeIdentifier(rest));
    if (name.empty())
        throw Error(where, "#define expects a name");
    if (name == "defined")
        throw Error(where, "'defined' cannot be defined as a macro");
    Macro macro;
    macro.where = where;
    if (!rest.empty() && rest[0] == '(') {
        // A function-like macro: recorded so that #ifdef sees it; it cannot be expanded here.
        const std::size_t close = rest.find(')');
        if (close == std::string_view::npos)
            throw Error(where, "missing ')' in the parameters of macro '" + name + "'");
        macro.functionLike = true;
        macro.parameters = CollapseSpaces(rest.substr(0, close + 1));
        rest.remove_prefix(close + 1);
    } else if (!rest.empty() && !IsSpace(rest[0])) {
        throw Error(where, "expected a space after the macro name '" + name + "'");
    }
    macro.body = CollapseSpaces(rest);

    const auto existing = macros_.find(name);
    if (existing != macros_.end()) {
        const Macro& old = existing->second;
        if (old.functionLike != macro.functionLike || old.parameters != macro.parameters ||
            old.body != macro.body) {
            std::string first = "the command line";
            if (old.where.file)
                first = *old.where.file + ":" + std::to_string(old.where.line);
            throw Error(where, "macro '" + name + "' redefined differently (first defined at " +
                                   first + ")");
        }
        return;
    }
    macros_.emplace(name, std::move(macro));
}

void Preprocessor::Include(std::string_view text, const Location& where, const FileContext& file,
                           int depth) {
    const bool quoted = !text.empty() && text[0] == '"';
    const bool angled = !text.empty() && text[0] == '<';
    const std::size_t close = text.find(quoted ? '"' : '>', 1);
    if ((!quoted && !angled) || close == std::string_view::npos ||
        !Trim(text.substr(close + 1)).empty())
        throw Error(where, "#include expects \"file\" or <file>");
    std::string name(text.substr(1, close - 1));
    for (char& c : name) {
        if (c == '\\')
            c = '/';  // Windows folder separators
    }
    if (name.empty())
        throw Error(where, "#include names no file");
    if (depth >= kMaxIncludeDepth)
        throw Error(where, "#include nested too deeply (an include loop?)");

    std::vector<fs::path> candidates;
    const fs::path relative(name);
    if (relative.is_absolute()) {
        candidates.push_back(relative);
    } else {
        if (quoted) {
            candidates.push_back(file.path.parent_path() / relative);
            candidates.push_back(scriptDir_ / relative);
        }
        for (const fs::path& dir : options_.includeDirs)
            candidates.push_back(dir / relative);
    }
    for (const fs::path& candidate : candidates) {
        if (IsRegularFile(candidate)) {
            ProcessFile(candidate, where, depth + 1);
            return;
        }
    }
    // The C++ library's own headers (<cstddef>, <string>) hold no symbols for scripts.
    if (angled && !relative.has_extension())
        return;
    throw Error(where, "cannot find include file '" + name + "'");
}

void Preprocessor::Pragma(std::string_view text, const Location& where, const FileContext& file) {
    std::string_view rest = text;
    const std::string_view name = TakeIdentifier(rest);
    rest = Trim(rest);
    if (name == "once" && rest.empty()) {
        onceFiles_.insert(Canonical(file.path));
        return;
    }
    if (name == "code_page") {
        if (rest.size() < 2 || rest.front() != '(' || rest.back() != ')')
            throw Error(where, "#pragma code_page expects a code page in parentheses");
        const std::string page(Trim(rest.substr(1, rest.size() - 2)));
        if (page == std::to_string(kUtf8CodePage))
            return;
        throw Error(where, "code page " + page +
                               " is not supported: scripts are UTF-8, #pragma code_page(65001)");
    }
    throw Error(where, "unknown #pragma '" + std::string(Trim(text)) + "'");
}

bool Preprocessor::EvaluateCondition(std::string_view text, const Location& where) {
    const std::vector<Token> raw = Tokenize(text, where);
    // "defined X" and "defined(X)" are answered before macros are expanded.
    std::vector<Token> resolved;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i].kind != TokenKind::Identifier || raw[i].text != "defined") {
            resolved.push_back(raw[i]);
            continue;
        }
        const bool parenthesised = i + 1 < raw.size() && raw[i + 1].Is("(");
        const std::size_t at = i + (parenthesised ? 2 : 1);
        if (at >= raw.size() || raw[at].kind != TokenKind::Identifier ||
            (parenthesised && (at + 1 >= raw.size() || !raw[at + 1].Is(")"))))
            throw Error(where, "'defined' expects a name");
        Token value;
        value.kind = TokenKind::Number;
        value.number = macros_.count(raw[at].text) ? 1 : 0;
        value.text = value.number ? "1" : "0";
        value.where = where;
        resolved.push_back(value);
        i = at + (parenthesised ? 1 : 0);
    }
    std::vector<Token> expanded;
    Expand(resolved, expanded, nullptr, true);
    if (expanded.empty())
        throw Error(where, "#if expects an expression");
    TokenStream tokens(std::move(expanded), where);
    // Identifiers that are not macros count as 0, as in C.
    const std::int64_t value = ParseExpression(
        tokens,
        [](const Token& t) -> std::optional<std::int64_t> { return t.text == "true" ? 1 : 0; });
    if (!tokens.AtEnd())
        throw Error(where, "unexpected " + Describe(tokens.Peek()) + " in #if");
    return value != 0;
}

const std::vector<Token>& Preprocessor::MacroTokens(const Macro& macro) const {
    if (!macro.tokens)
        macro.tokens = Tokenize(macro.body, macro.where);
    return *macro.tokens;
}

void Preprocessor::Expand(const std::vector<Token>& in, std::vector<Token>& out,
                          const Location* site, bool inCondition) {
    for (std::size_t i = 0; i < in.size(); ++i) {
        const Token& token = in[i];
        if (token.kind == TokenKind::Identifier && !expanding_.count(token.text)) {
            const auto found = macros_.find(token.text);
            if (found != macros_.end()) {
                const Macro& macro = found->second;
                if (macro.functionLike) {
                    if (i + 1 < in.size() && in[i + 1].Is("("))
                        throw Error(site ? *site : token.where,
                                    "function-like macro '" + token.text + "' cannot be used " +
                                        (inCondition ? "in #if" : "in resource statements"));
                    out.push_back(token);
                    continue;
                }
                // Expanded tokens are reported where the macro is used.
                std::vector<Token> body = MacroTokens(macro);
                const Location& use = site ? *site : token.where;
                for (Token& t : body)
                    t.where = use;
                if (expanding_.size() >= kMaxExpansionDepth)
                    throw Error(use, "macros nested too deeply in '" + token.text + "'");
                expanding_.insert(token.text);
                Expand(body, out, &use, inCondition);
                expanding_.erase(token.text);
                continue;
            }
        }
        out.push_back(token);
        if (site)
            out.back().where = *site;
    }
}

}  // namespace rc
