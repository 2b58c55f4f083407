// The preprocessing pass of the resource compiler, as the platform's compiler runs a C
// preprocessor first: line continuations, // and /* */ comments, #include, object-like
// #define and #undef, conditional sections, #pragma once and #pragma code_page(65001).
//
// Headers (.h, .hpp, .c and the like) contribute only their preprocessor lines, so the
// platform's C++ headers can supply the symbols of a script; every other file also
// contributes its resource statements, with macros expanded.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/rc/diagnostics.h"
#include "tools/rc/tokens.h"

namespace rc {

// One line after continuations are joined and comments removed, with the physical line it
// starts on.
struct LogicalLine {
    std::string text;
    int line = 0;
};

// Splits a file's text into logical lines. A comment that spans lines inside a directive keeps
// the directive on one logical line; elsewhere the text after the comment starts a new line.
std::vector<LogicalLine> SplitLogicalLines(std::string_view content, const Location& file);

struct PreprocessorOptions {
    // Searched for #include "file" after the including file's folder and the script's folder,
    // and for #include <file>.
    std::vector<std::filesystem::path> includeDirs;
    // Symbols defined before the script is read (-D NAME or NAME=VALUE).
    std::vector<std::pair<std::string, std::string>> defines;
};

class Preprocessor {
public:
    explicit Preprocessor(PreprocessorOptions options);

    // Reads the script and what it includes; returns the tokens of its resource statements.
    TokenStream Run(const std::filesystem::path& script);

    // Whether a macro of that name is defined (after Run: at the end of the script).
    bool IsDefined(const std::string& name) const { return macros_.count(name) != 0; }

    // Every file read so far, in the order first read.
    const std::vector<std::filesystem::path>& Files() const { return files_; }
    void AddDependency(const std::filesystem::path& file);

private:
    struct Macro {
        bool functionLike = false;
        std::string parameters;  // as written, for the redefinition check
        std::string body;        // as written, whitespace runs collapsed
        Location where;
        mutable std::optional<std::vector<Token>> tokens;  // the body, tokenized on first use
    };

    struct Conditional {
        bool parentActive = true;
        bool active = true;
        bool taken = false;  // some branch was active (so later #elif/#else are not)
        bool sawElse = false;
        Location where;
    };

    struct FileContext {
        std::filesystem::path path;
        Location where;  // the file name, shared by every token of the file
        bool directivesOnly = false;
        std::size_t conditionalBase = 0;
    };

    void ProcessFile(const std::filesystem::path& path, const Location& includedFrom, int depth);
    void Directive(std::string_view text, const Location& where, const FileContext& file,
                   int depth);
    void Define(std::string_view text, const Location& where);
    void Include(std::string_view text, const Location& where, const FileContext& file, int depth);
    void Pragma(std::string_view text, const Location& where, const FileContext& file);
    bool EvaluateCondition(std::string_view text, const Location& where);
    void Expand(const std::vector<Token>& in, std::vector<Token>& out, const Location* site,
                bool inCondition);
    const std::vector<Token>& MacroTokens(const Macro& macro) const;
    bool Active() const { return conditionals_.empty() || conditionals_.back().active; }

    PreprocessorOptions options_;
    std::filesystem::path scriptDir_;
    std::map<std::string, Macro> macros_;
    std::vector<Conditional> conditionals_;
    std::set<std::filesystem::path> onceFiles_;
    std::vector<std::filesystem::path> files_;
    std::set<std::filesystem::path> fileSet_;
    std::set<std::string> expanding_;  // macros being expanded (a macro never expands itself)
    std::vector<Token> output_;
};

}  // namespace rc
