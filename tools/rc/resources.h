// What a resource script defines: dialog templates, strings and resources held as bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tools/rc/diagnostics.h"

namespace rc {

// A resource is known by a number (1 to 65535) or by a name.
struct ResourceId {
    int number = 0;
    std::string name;  // set when the resource has a name

    bool HasName() const { return !name.empty(); }
    std::string Describe() const { return HasName() ? "\"" + name + "\"" : std::to_string(number); }
};

struct DialogControl {
    int id = 0;
    std::string className;
    std::string text;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    Location where;
};

struct DialogFont {
    int points = 0;
    std::string face;
    int weight = 0;  // 0: the face's own weight
    int italic = 0;
    int charset = 1;  // DEFAULT_CHARSET
};

struct Dialog {
    ResourceId id;
    bool extended = false;  // DIALOGEX
    int x = 0, y = 0, cx = 0, cy = 0;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::string caption;
    std::optional<DialogFont> font;
    std::vector<DialogControl> controls;
    Location where;
};

struct StringEntry {
    unsigned id = 0;
    std::string text;
    Location where;
};

// ICON, HTML, BITMAP and resources of a type the script names: the bytes of a file.
struct DataResource {
    ResourceId id;
    std::string type;
    std::filesystem::path file;
    std::vector<unsigned char> bytes;
    Location where;
};

struct ResourceScript {
    std::vector<Dialog> dialogs;       // in script order
    std::vector<StringEntry> strings;  // by identifier
    std::vector<DataResource> data;    // in script order
};

}  // namespace rc
