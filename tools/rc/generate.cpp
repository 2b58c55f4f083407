#include "tools/rc/generate.h"

#include <cstdio>

namespace rc {

namespace {

// A C++ string literal holding the UTF-8 text unchanged, with the characters C++ reserves
// escaped.
std::string Literal(const std::string& text) {
    std::string out = "\"";
    char previous = '\0';
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '?':
                out += previous == '?' ? "\\?" : "?";  // never a trigraph
                break;
            default:
                if (u < 0x20 || u == 0x7F) {
                    char octal[8];
                    std::snprintf(octal, sizeof octal, "\\%03o", u);
                    out += octal;
                } else {
                    out += c;
                }
        }
        previous = c;
    }
    return out + "\"";
}

// Text for a // comment: no line breaks, and no backslash that could join the next line.
std::string CommentText(const std::string& text) {
    std::string out;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        out += (u < 0x20 || u == 0x7F) ? ' ' : c == '\\' ? '/' : c;
    }
    return out;
}

std::string Hex32(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08Xu", v);
    return buf;
}

std::string NumberOrNull(const ResourceId& id) {
    return std::to_string(id.HasName() ? 0 : id.number);
}

std::string NameOrNull(const ResourceId& id) {
    return id.HasName() ? Literal(id.name) : "nullptr";
}

void EmitBytes(std::string& out, const std::vector<unsigned char>& bytes) {
    // A zero byte follows the data (not counted in its size), so text resources such as HTML
    // pages can also be read as C strings.
    const std::size_t total = bytes.size() + 1;
    for (std::size_t i = 0; i < total; ++i) {
        if (i % 16 == 0)
            out += "    ";
        char buf[8];
        std::snprintf(buf, sizeof buf, "0x%02X,", i < bytes.size() ? bytes[i] : 0);
        out += buf;
        out += (i % 16 == 15 || i + 1 == total) ? "\n" : " ";
    }
}

// Escapes a path for a make-style rule.
std::string DepPath(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == ' ' || c == '#' || c == '\\')
            out += '\\';
        if (c == '$')
            out += '$';
        out += c;
    }
    return out;
}

}  // namespace

std::string GenerateSource(const ResourceScript& script, const std::string& scriptName) {
    std::string out;
    out += "// Resources compiled from " + CommentText(scriptName) +
           " by quarvel_rc. Generated at build time: change the script, not this file.\n";
    out += "#include \"platform/afxres.h\"\n\nnamespace {\n\n";

    for (std::size_t d = 0; d < script.dialogs.size(); ++d) {
        const Dialog& dialog = script.dialogs[d];
        if (dialog.controls.empty())
            continue;
        out += "// Dialog " + CommentText(dialog.id.Describe()) + "\n";
        out += "const RESOURCE_DIALOG_ITEM kDialog" + std::to_string(d) + "Items[] = {\n";
        for (const DialogControl& c : dialog.controls) {
            out += "    {" + std::to_string(c.id) + ", " + Literal(c.className) + ", " +
                   Literal(c.text) + ", " + Hex32(c.style) + ", " + Hex32(c.exStyle) + ", " +
                   std::to_string(c.x) + ", " + std::to_string(c.y) + ", " + std::to_string(c.cx) +
                   ", " + std::to_string(c.cy) + "},\n";
        }
        out += "};\n\n";
    }
    if (!script.dialogs.empty()) {
        out += "const RESOURCE_DIALOG kDialogs[] = {\n";
        for (std::size_t d = 0; d < script.dialogs.size(); ++d) {
            const Dialog& dialog = script.dialogs[d];
            const DialogFont font = dialog.font.value_or(DialogFont{});
            const std::string items =
                dialog.controls.empty() ? "nullptr" : "kDialog" + std::to_string(d) + "Items";
            out += "    {" + NumberOrNull(dialog.id) + ", " + NameOrNull(dialog.id) + ", " +
                   std::to_string(dialog.x) + ", " + std::to_string(dialog.y) + ", " +
                   std::to_string(dialog.cx) + ", " + std::to_string(dialog.cy) + ", " +
                   Hex32(dialog.style) + ", " + Hex32(dialog.exStyle) + ", " +
                   Literal(dialog.caption) + ", " +
                   (dialog.font ? Literal(font.face) : std::string("nullptr")) + ", " +
                   std::to_string(dialog.font ? font.points : 0) + ", " +
                   std::to_string(dialog.font ? font.weight : 0) + ", " +
                   std::to_string(dialog.font ? font.italic : 0) + ", " +
                   std::to_string(dialog.font ? font.charset : 0) + ", " + items + ", " +
                   std::to_string(dialog.controls.size()) + "},\n";
        }
        out += "};\n\n";
    }

    if (!script.strings.empty()) {
        out += "const RESOURCE_STRING kStrings[] = {\n";
        for (const StringEntry& s : script.strings)
            out += "    {" + std::to_string(s.id) + "u, " + Literal(s.text) + "},\n";
        out += "};\n\n";
    }

    for (std::size_t i = 0; i < script.data.size(); ++i) {
        const DataResource& r = script.data[i];
        out += "// " +
               CommentText(r.type + " " + r.id.Describe() + ": " + r.file.filename().string()) +
               "\n";
        out += "const unsigned char kData" + std::to_string(i) + "[] = {\n";
        EmitBytes(out, r.bytes);
        out += "};\n\n";
    }
    if (!script.data.empty()) {
        out += "const RESOURCE_DATA kData[] = {\n";
        for (std::size_t i = 0; i < script.data.size(); ++i) {
            const DataResource& r = script.data[i];
            out += "    {" + NumberOrNull(r.id) + ", " + NameOrNull(r.id) + ", " + Literal(r.type) +
                   ", kData" + std::to_string(i) + ", " + std::to_string(r.bytes.size()) + "},\n";
        }
        out += "};\n\n";
    }

    const auto table = [](bool any, const char* name, std::size_t count) {
        return any ? std::string(name) + ", " + std::to_string(count) : std::string("nullptr, 0");
    };
    out += "const RESOURCE_DIRECTORY kDirectory = {" +
           table(!script.dialogs.empty(), "kDialogs", script.dialogs.size()) + ", " +
           table(!script.strings.empty(), "kStrings", script.strings.size()) + ", " +
           table(!script.data.empty(), "kData", script.data.size()) + "};\n\n";
    out += "// Registers the tables with the host while the image that holds them is loaded.\n";
    out += "AfxResourceImage g_resourceImage(&kDirectory);\n\n";
    out += "}  // namespace\n";
    return out;
}

std::string GenerateDepfile(const std::filesystem::path& output,
                            const std::vector<std::filesystem::path>& inputs) {
    std::string out = DepPath(output.string()) + ":";
    for (const auto& input : inputs)
        out += " \\\n  " + DepPath(input.string());
    return out + "\n";
}

}  // namespace rc
