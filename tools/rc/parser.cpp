#include "tools/rc/parser.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <limits>
#include <string_view>

#include "platform/winuser.h"
#include "tools/rc/expression.h"

namespace rc {

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kChildVisible = WS_CHILD | WS_VISIBLE;

// Controls written with their own keyword: window class, default style and whether a text
// comes first.
struct ControlKeyword {
    std::string_view keyword;
    std::string_view className;
    std::uint32_t defaults;
    bool hasText;
};

constexpr std::array<ControlKeyword, 15> kControlKeywords = {{
    {"LTEXT", "Static", SS_LEFT | WS_GROUP, true},
    {"RTEXT", "Static", SS_RIGHT | WS_GROUP, true},
    {"CTEXT", "Static", SS_CENTER | WS_GROUP, true},
    {"PUSHBUTTON", "Button", BS_PUSHBUTTON | WS_TABSTOP, true},
    {"DEFPUSHBUTTON", "Button", BS_DEFPUSHBUTTON | WS_TABSTOP, true},
    {"CHECKBOX", "Button", BS_CHECKBOX | WS_TABSTOP, true},
    {"AUTOCHECKBOX", "Button", BS_AUTOCHECKBOX | WS_TABSTOP, true},
    {"RADIOBUTTON", "Button", BS_RADIOBUTTON | WS_TABSTOP, true},
    {"AUTORADIOBUTTON", "Button", BS_AUTORADIOBUTTON | WS_TABSTOP, true},
    {"STATE3", "Button", BS_3STATE | WS_TABSTOP, true},
    {"AUTO3STATE", "Button", BS_AUTO3STATE | WS_TABSTOP, true},
    {"GROUPBOX", "Button", BS_GROUPBOX, true},
    {"EDITTEXT", "Edit", ES_LEFT | WS_BORDER | WS_TABSTOP, false},
    {"COMBOBOX", "ComboBox", CBS_SIMPLE | WS_TABSTOP, false},
    {"LISTBOX", "ListBox", LBS_NOTIFY | WS_BORDER, false},
}};

// Window classes by the spellings a script may use, with the spelling the tables carry.
struct ClassName {
    std::string_view canonical;
    std::string_view keyword;  // unquoted keyword, or empty
    std::string_view symbol;   // WC_ name without its A/W suffix, or empty
};

constexpr std::array<ClassName, 12> kClassNames = {{
    {"Button", "BUTTON", "WC_BUTTON"},
    {"Edit", "EDIT", "WC_EDIT"},
    {"Static", "STATIC", "WC_STATIC"},
    {"ListBox", "LISTBOX", "WC_LISTBOX"},
    {"ComboBox", "COMBOBOX", "WC_COMBOBOX"},
    {"ScrollBar", "SCROLLBAR", "WC_SCROLLBAR"},
    {"SysListView32", "", "WC_LISTVIEW"},
    {"SysTreeView32", "", "WC_TREEVIEW"},
    {"SysHeader32", "", "WC_HEADER"},
    {"SysTabControl32", "", "WC_TABCONTROL"},
    {"ComboBoxEx32", "", "WC_COMBOBOXEX"},
    {"SysLink", "", "WC_LINK"},
}};

// Legacy memory options that may follow a resource type; they mean nothing here.
constexpr std::array<std::string_view, 9> kMemoryOptions = {"PRELOAD",  "LOADONCALL",  "FIXED",
                                                            "MOVEABLE", "DISCARDABLE", "PURE",
                                                            "IMPURE",   "SHARED",      "NONSHARED"};

// Resource kinds of the platform that this compiler does not build.
constexpr std::array<std::string_view, 14> kUnsupportedTypes = {
    "MENU",        "MENUEX",     "ACCELERATORS",      "VERSIONINFO", "CURSOR",
    "FONT",        "FONTDIR",    "TOOLBAR",           "DLGINIT",     "MESSAGETABLE",
    "TEXTINCLUDE", "DESIGNINFO", "AFX_DIALOG_LAYOUT", "PLUGPLAY"};

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return out;
}

std::string CanonicalClassName(const std::string& name) {
    for (const ClassName& c : kClassNames) {
        if (EqualsIgnoringAsciiCase(name, c.canonical))
            return std::string(c.canonical);
    }
    return name;
}

std::string At(const Location& where) {
    return (where.file ? *where.file : std::string()) + ":" + std::to_string(where.line);
}

// Identifiers that remain after macro expansion are undefined symbols.
std::optional<std::int64_t> NoSymbols(const Token&) {
    return std::nullopt;
}

class Parser {
public:
    Parser(TokenStream& tokens, const ParseOptions& options) : t_(tokens), options_(options) {}

    ResourceScript Parse() {
        while (!t_.AtEnd())
            Statement();
        std::stable_sort(script_.strings.begin(), script_.strings.end(),
                         [](const StringEntry& a, const StringEntry& b) { return a.id < b.id; });
        return std::move(script_);
    }

private:
    void Statement() {
        const Token& first = t_.Peek();
        if (first.IsKeyword("STRINGTABLE")) {
            t_.Next();
            StringTable(first.where);
            return;
        }
        if (first.IsKeyword("LANGUAGE")) {
            t_.Next();
            Language();
            return;
        }
        const Location where = first.where;
        const ResourceId id = ResourceName();
        const Token& type = t_.Next();
        if (type.IsKeyword("DIALOG") || type.IsKeyword("DIALOGEX")) {
            DialogTemplate(id, type.IsKeyword("DIALOGEX"), where);
        } else if (type.IsKeyword("ICON") || type.IsKeyword("HTML") || type.IsKeyword("BITMAP")) {
            FileResource(id, Upper(type.text), where);
        } else if (type.kind == TokenKind::Identifier && IsUnsupportedType(type.text)) {
            throw Error(type.where, Upper(type.text) + " resources are not supported");
        } else if (type.kind == TokenKind::Identifier || type.kind == TokenKind::String) {
            FileResource(id, type.text, where);
        } else {
            throw Error(type.where, "expected a resource type after " + id.Describe() + ", found " +
                                        Describe(type));
        }
    }

    static bool IsUnsupportedType(const std::string& name) {
        return std::any_of(kUnsupportedTypes.begin(), kUnsupportedTypes.end(),
                           [&](std::string_view k) { return EqualsIgnoringAsciiCase(name, k); });
    }

    // A resource's number, or its name (a string, or a symbol that is not defined).
    ResourceId ResourceName() {
        const Token& token = t_.Peek();
        ResourceId id;
        if (token.kind == TokenKind::String || token.kind == TokenKind::Identifier) {
            if (token.text.empty())
                throw Error(token.where, "a resource name cannot be empty");
            id.name = token.text;
            t_.Next();
            return id;
        }
        const std::int64_t n = Number();
        if (n < 1 || n > 0xFFFF)
            throw Error(token.where,
                        "resource number " + std::to_string(n) + " is out of range (1 to 65535)");
        id.number = static_cast<int>(n);
        return id;
    }

    std::int64_t Number() { return ParseExpression(t_, NoSymbols); }

    int Coordinate(std::string_view what) {
        const Location where = t_.Where();
        const std::int64_t v = Number();
        if (v < std::numeric_limits<short>::min() || v > std::numeric_limits<short>::max())
            throw Error(where, std::string(what) + " " + std::to_string(v) +
                                   " does not fit a dialog coordinate");
        return static_cast<int>(v);
    }

    // x, y, cx, cy
    void Rectangle(int& x, int& y, int& cx, int& cy) {
        x = Coordinate("x");
        t_.Expect(",", "',' before y");
        y = Coordinate("y");
        t_.Expect(",", "',' before the width");
        cx = Coordinate("width");
        t_.Expect(",", "',' before the height");
        cy = Coordinate("height");
    }

    // A string; adjacent strings are joined, as in C, where a text is expected.
    std::string String(std::string_view what, bool join = true) {
        const Token& token = t_.Peek();
        if (token.kind != TokenKind::String)
            throw Error(token.where,
                        "expected " + std::string(what) + " in quotes, found " + Describe(token));
        t_.Next();
        std::string text = token.text;
        while (join && t_.Peek().kind == TokenKind::String)
            text += t_.Next().text;
        return text;
    }

    void SkipMemoryOptions() {
        while (std::any_of(kMemoryOptions.begin(), kMemoryOptions.end(),
                           [&](std::string_view k) { return t_.Peek().IsKeyword(k); }))
            t_.Next();
    }

    void Language() {
        Number();
        t_.Expect(",", "',' between language and sub-language");
        Number();
    }

    // Statements that may precede BEGIN and carry nothing the tables keep.
    bool SkipCommonOption() {
        if (t_.AcceptKeyword("LANGUAGE")) {
            Language();
            return true;
        }
        if (t_.AcceptKeyword("CHARACTERISTICS") || t_.AcceptKeyword("VERSION")) {
            Number();
            return true;
        }
        return false;
    }

    void Begin(std::string_view what) {
        if (t_.AcceptKeyword("BEGIN") || t_.Accept("{"))
            return;
        throw Error(t_.Where(),
                    "expected BEGIN of " + std::string(what) + ", found " + Describe(t_.Peek()));
    }

    // True at END or '}' (consumed); fails at the end of the input.
    bool End(std::string_view what, const Location& start) {
        if (t_.AcceptKeyword("END") || t_.Accept("}"))
            return true;
        if (t_.AtEnd())
            throw Error(start, "missing END of " + std::string(what));
        return false;
    }

    void StringTable(const Location& start) {
        SkipMemoryOptions();
        while (SkipCommonOption()) {
        }
        Begin("STRINGTABLE");
        while (!End("STRINGTABLE", start)) {
            const Location where = t_.Where();
            const std::int64_t id = Number();
            if (id < 0 || id > 0xFFFF)
                throw Error(
                    where, "string number " + std::to_string(id) + " is out of range (0 to 65535)");
            t_.Accept(",");
            StringEntry entry;
            entry.id = static_cast<unsigned>(id);
            entry.text = String("the string's text");
            entry.where = where;
            for (const StringEntry& other : script_.strings) {
                if (other.id == entry.id)
                    throw Error(where, "string " + std::to_string(id) +
                                           " is defined twice (first at " + At(other.where) + ")");
            }
            script_.strings.push_back(std::move(entry));
        }
    }

    void DialogTemplate(const ResourceId& id, bool extended, const Location& where) {
        for (const Dialog& other : script_.dialogs) {
            if (Same(other.id, id))
                throw Error(where, "dialog " + id.Describe() + " is defined twice (first at " +
                                       At(other.where) + ")");
        }
        Dialog d;
        d.id = id;
        d.extended = extended;
        d.where = where;
        SkipMemoryOptions();
        Rectangle(d.x, d.y, d.cx, d.cy);
        if (t_.Accept(",")) {
            if (!extended)
                throw Error(t_.Where(), "a dialog help id needs DIALOGEX");
            Number();  // help id: the tables do not keep it
        }

        std::optional<StyleBits> style;
        bool hasCaption = false;
        for (;;) {
            const Token& option = t_.Peek();
            if (option.IsKeyword("STYLE")) {
                t_.Next();
                style = ParseStyle(t_, NoSymbols);
            } else if (option.IsKeyword("EXSTYLE")) {
                t_.Next();
                d.exStyle = ParseStyle(t_, NoSymbols).value;
            } else if (option.IsKeyword("CAPTION")) {
                t_.Next();
                d.caption = String("the caption");
                hasCaption = true;
            } else if (option.IsKeyword("FONT")) {
                t_.Next();
                d.font = Font(extended);
            } else if (option.IsKeyword("MENU") || option.IsKeyword("CLASS")) {
                throw Error(option.where, Upper(option.text) + " in a dialog is not supported");
            } else if (!SkipCommonOption()) {
                break;
            }
        }
        // Without STYLE a dialog is a bordered pop-up with a system menu; a caption and a
        // font add their own bits.
        d.style = style ? style->value : (WS_POPUP | WS_BORDER | WS_SYSMENU);
        if (hasCaption)
            d.style |= WS_CAPTION;
        if (d.font)
            d.style |= DS_SETFONT;

        if (!t_.Peek().IsKeyword("BEGIN") && !t_.Peek().Is("{"))
            throw Error(t_.Where(), "unexpected " + Describe(t_.Peek()) +
                                        " in dialog (expected STYLE, EXSTYLE, CAPTION, FONT "
                                        "or BEGIN)");
        Begin("the dialog");
        while (!End("the dialog", where))
            d.controls.push_back(Control(extended));
        script_.dialogs.push_back(std::move(d));
    }

    DialogFont Font(bool extended) {
        DialogFont font;
        const Location where = t_.Where();
        const std::int64_t points = Number();
        if (points < 1 || points > 0x7FFF)
            throw Error(where, "font size " + std::to_string(points) + " is out of range");
        font.points = static_cast<int>(points);
        t_.Expect(",", "',' before the font face");
        font.face = String("the font face");
        if (!t_.Peek().Is(","))
            return font;
        if (!extended)
            throw Error(t_.Where(), "font weight, italic and charset need DIALOGEX");
        int* fields[] = {&font.weight, &font.italic, &font.charset};
        for (int* field : fields) {
            if (!t_.Accept(","))
                break;
            const Location at = t_.Where();
            const std::int64_t v = Number();
            if (v < 0 || v > (field == &font.weight ? 1000 : 255))
                throw Error(at, "font value " + std::to_string(v) + " is out of range");
            *field = static_cast<int>(v);
        }
        return font;
    }

    DialogControl Control(bool extended) {
        const Token& keyword = t_.Next();
        DialogControl c;
        c.where = keyword.where;
        if (keyword.IsKeyword("CONTROL")) {
            c.text = ControlText();
            t_.Expect(",", "',' before the control id");
            c.id = ControlId();
            t_.Expect(",", "',' before the window class");
            c.className = WindowClass();
            t_.Expect(",", "',' before the style");
            c.style = ParseStyle(t_, NoSymbols).Over(kChildVisible);
            t_.Expect(",", "',' before x");
            Rectangle(c.x, c.y, c.cx, c.cy);
            TrailingOptions(c, extended);
            return c;
        }
        const auto found =
            std::find_if(kControlKeywords.begin(), kControlKeywords.end(),
                         [&](const ControlKeyword& k) { return keyword.IsKeyword(k.keyword); });
        if (found == kControlKeywords.end()) {
            throw Error(keyword.where,
                        "unknown control " + Describe(keyword) + " (or missing END of the dialog)");
        }
        c.className = std::string(found->className);
        if (found->hasText) {
            c.text = String("the control's text");
            t_.Expect(",", "',' before the control id");
        }
        c.id = ControlId();
        t_.Expect(",", "',' before x");
        Rectangle(c.x, c.y, c.cx, c.cy);
        StyleBits style;
        if (t_.Accept(","))
            style = ParseStyle(t_, NoSymbols);
        const std::uint32_t defaults = found->defaults | kChildVisible;
        if (keyword.IsKeyword("COMBOBOX") && (style.mask & 0xFFFF) != 0) {
            // A combo box kind named in the style replaces the default kind as a whole: the
            // kinds are values, not bits (CBS_DROPDOWN must not become CBS_DROPDOWNLIST).
            c.style = (style.Over(defaults) & 0xFFFF0000u) | (style.value & 0xFFFF);
        } else {
            c.style = style.Over(defaults);
        }
        TrailingOptions(c, extended);
        return c;
    }

    // [, exstyle [, help id]]
    void TrailingOptions(DialogControl& c, bool extended) {
        if (!t_.Accept(","))
            return;
        c.exStyle = ParseStyle(t_, NoSymbols).value;
        if (t_.Accept(",")) {
            if (!extended)
                throw Error(t_.Where(), "a control help id needs DIALOGEX");
            Number();  // help id: the tables do not keep it
        }
    }

    // The text of a CONTROL: a string, or a resource number (an icon), kept as "#number".
    std::string ControlText() {
        if (t_.Peek().kind == TokenKind::String)
            return t_.Next().text;
        const Location where = t_.Where();
        const std::int64_t n = Number();
        if (n < 0 || n > 0xFFFF)
            throw Error(where, "control text " + std::to_string(n) + " is out of range");
        return "#" + std::to_string(n);
    }

    int ControlId() {
        const Location where = t_.Where();
        return static_cast<int>(To32Bits(Number(), where));
    }

    std::string WindowClass() {
        const Token& token = t_.Next();
        if (token.kind == TokenKind::String) {
            if (token.text.empty())
                throw Error(token.where, "the window class cannot be empty");
            return CanonicalClassName(token.text);
        }
        if (token.kind == TokenKind::Identifier) {
            std::string symbol = Upper(token.text);
            const bool suffixed =
                symbol.size() > 3 && (symbol.back() == 'A' || symbol.back() == 'W');
            for (const ClassName& c : kClassNames) {
                if ((!c.keyword.empty() && symbol == c.keyword) || symbol == c.symbol ||
                    (suffixed && symbol.substr(0, symbol.size() - 1) == c.symbol))
                    return std::string(c.canonical);
            }
        }
        throw Error(token.where,
                    "unknown window class " + Describe(token) + " (write a class name in quotes)");
    }

    void FileResource(const ResourceId& id, const std::string& type, const Location& where) {
        SkipMemoryOptions();
        if (t_.Peek().IsKeyword("BEGIN") || t_.Peek().Is("{"))
            throw Error(t_.Where(), "inline data is not supported: name a file for " + type + " " +
                                        id.Describe());
        const Location at = t_.Where();
        const std::string name = String("a file name", false);
        for (const DataResource& other : script_.data) {
            if (EqualsIgnoringAsciiCase(other.type, type) && Same(other.id, id))
                throw Error(where, type + " " + id.Describe() + " is defined twice (first at " +
                                       At(other.where) + ")");
        }
        DataResource r;
        r.id = id;
        r.type = type;
        r.where = where;
        r.file = FindFile(name, at);
        r.bytes = ReadFile(r.file, at);
        if (type == "ICON")
            CheckIcon(r, at);
        else if (type == "BITMAP" &&
                 (r.bytes.size() < 14 || r.bytes[0] != 'B' || r.bytes[1] != 'M'))
            throw Error(at, "'" + name + "' is not a bitmap file (.bmp)");
        if (options_.onFileRead)
            options_.onFileRead(r.file);
        script_.data.push_back(std::move(r));
    }

    static bool Same(const ResourceId& a, const ResourceId& b) {
        if (a.HasName() != b.HasName())
            return false;
        return a.HasName() ? EqualsIgnoringAsciiCase(a.name, b.name) : a.number == b.number;
    }

    fs::path FindFile(std::string name, const Location& where) const {
        for (char& c : name) {
            if (c == '\\')
                c = '/';  // Windows folder separators
        }
        if (name.empty())
            throw Error(where, "the file name is empty");
        const fs::path relative(name);
        std::vector<fs::path> candidates;
        if (relative.is_absolute()) {
            candidates.push_back(relative);
        } else {
            candidates.push_back(options_.scriptDir / relative);
            for (const fs::path& dir : options_.searchDirs)
                candidates.push_back(dir / relative);
        }
        for (const fs::path& candidate : candidates) {
            std::error_code ec;
            if (fs::is_regular_file(candidate, ec))
                return candidate;
        }
        throw Error(where, "cannot find file '" + name + "'");
    }

    static std::vector<unsigned char> ReadFile(const fs::path& file, const Location& where) {
        std::ifstream in(file, std::ios::binary);
        if (!in)
            throw Error(where, "cannot open '" + file.string() + "'");
        std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
        if (in.bad())
            throw Error(where, "cannot read '" + file.string() + "'");
        return bytes;
    }

    // An .ico file: a header naming one or more images, each inside the file.
    static void CheckIcon(const DataResource& r, const Location& where) {
        const auto& b = r.bytes;
        const auto word = [&](std::size_t at) {
            return static_cast<unsigned>(b[at] | (b[at + 1] << 8));
        };
        const auto dword = [&](std::size_t at) {
            return static_cast<std::uint64_t>(word(at)) |
                   (static_cast<std::uint64_t>(word(at + 2)) << 16);
        };
        bool valid = b.size() >= 6 && word(0) == 0 && word(2) == 1 && word(4) > 0 &&
                     b.size() >= 6 + 16 * static_cast<std::size_t>(word(4));
        for (unsigned i = 0; valid && i < word(4); ++i) {
            const std::size_t entry = 6 + 16 * i;
            const std::uint64_t size = dword(entry + 8);
            const std::uint64_t offset = dword(entry + 12);
            valid = size > 0 && offset + size <= b.size();
        }
        if (!valid)
            throw Error(where, "'" + r.file.filename().string() + "' is not an icon file (.ico)");
    }

    TokenStream& t_;
    const ParseOptions& options_;
    ResourceScript script_;
};

}  // namespace

ResourceScript ParseResources(TokenStream& tokens, const ParseOptions& options) {
    return Parser(tokens, options).Parse();
}

}  // namespace rc
