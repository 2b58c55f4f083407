// The per-user settings store behind the registry functions. HKEY_CURRENT_USER\Software\<vendor>
// is the file <config>/<vendor>/settings.ini (config: $XDG_CONFIG_HOME, else ~/.config); the
// keys below the vendor key are its [sections] (nested keys joined with "\"). A number is
// written as its decimal digits, a text in double quotes with backslash escapes. The file is
// read on every access and written whole, atomically, on every change (a crash leaves the old
// or the new file, never a half one); lines the store does not understand are kept.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/textconv.h"
#include "platform/winreg.h"

namespace {

namespace fs = std::filesystem;

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

struct Key {
    HKEY root = nullptr;
    std::vector<std::string> path;  // below the root, as given
};

std::unordered_map<const Key*, std::unique_ptr<Key>>& Keys() {
    static std::unordered_map<const Key*, std::unique_ptr<Key>> keys;
    return keys;
}

bool IsRoot(HKEY key) {
    return key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE || key == HKEY_CLASSES_ROOT;
}

const Key* KeyOf(HKEY handle) {
    static const Key currentUser{HKEY_CURRENT_USER, {}};
    static const Key localMachine{HKEY_LOCAL_MACHINE, {}};
    static const Key classesRoot{HKEY_CLASSES_ROOT, {}};
    if (handle == HKEY_CURRENT_USER)
        return &currentUser;
    if (handle == HKEY_LOCAL_MACHINE)
        return &localMachine;
    if (handle == HKEY_CLASSES_ROOT)
        return &classesRoot;
    auto* key = reinterpret_cast<const Key*>(handle);
    return Keys().count(key) ? key : nullptr;
}

std::vector<std::string> SplitPath(std::string_view path) {
    std::vector<std::string> parts;
    std::string part;
    for (const char c : path) {
        if (c == '\\' || c == '/') {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(part);
    return parts;
}

// Where a key lives: the settings file and the section (empty for the vendor key itself).
struct Place {
    fs::path file;
    std::string section;
};

std::optional<fs::path> ConfigFolder() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg && xdg[0] == '/')
        return fs::path(xdg);
    if (const char* home = std::getenv("HOME"); home && *home)
        return fs::path(home) / ".config";
    return std::nullopt;
}

std::optional<Place> PlaceOf(const Key& key) {
    if (key.root != HKEY_CURRENT_USER || key.path.size() < 2 || Lower(key.path[0]) != "software")
        return std::nullopt;
    const std::string& vendor = key.path[1];
    if (vendor == "." || vendor == ".." || vendor.find('/') != std::string::npos)
        return std::nullopt;
    const std::optional<fs::path> config = ConfigFolder();
    if (!config)
        return std::nullopt;
    // Key names ignore case: an existing vendor folder of another spelling is the vendor's.
    std::string folder = vendor;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(*config, ec)) {
        const std::string name = entry.path().filename().string();
        if (Lower(name) == Lower(vendor) && entry.is_directory(ec)) {
            folder = name;
            break;
        }
    }
    Place place;
    place.file = *config / folder / "settings.ini";
    for (std::size_t i = 2; i < key.path.size(); ++i) {
        if (!place.section.empty())
            place.section += '\\';
        place.section += key.path[i];
    }
    return place;
}

// The settings file as lines, with lookups by section and value name.
class IniFile {
public:
    explicit IniFile(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            m_lines.push_back(line);
        }
    }

    bool HasSection(const std::string& section) const {
        return section.empty() || SectionLine(section).has_value();
    }

    std::optional<std::string> Get(const std::string& section, const std::string& name) const {
        const std::optional<std::size_t> at = ValueLine(section, name);
        if (!at)
            return std::nullopt;
        const std::string& line = m_lines[*at];
        return Trim(std::string_view(line).substr(line.find('=') + 1));
    }

    void Set(const std::string& section, const std::string& name, const std::string& value) {
        if (const std::optional<std::size_t> at = ValueLine(section, name)) {
            // The value keeps the spelling of its name.
            std::string& line = m_lines[*at];
            line = Trim(std::string_view(line).substr(0, line.find('='))) + "=" + value;
            return;
        }
        const std::string line = name + "=" + value;
        AddSection(section);
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(SectionEnd(section)), line);
    }

    bool Remove(const std::string& section, const std::string& name) {
        const std::optional<std::size_t> at = ValueLine(section, name);
        if (!at)
            return false;
        m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(*at));
        return true;
    }

    void AddSection(const std::string& section) {
        if (HasSection(section))
            return;
        if (!m_lines.empty() && !Trim(m_lines.back()).empty())
            m_lines.emplace_back();
        m_lines.push_back("[" + section + "]");
    }

    std::string Text() const {
        std::string text;
        for (const std::string& line : m_lines)
            text += line + "\n";
        return text;
    }

private:
    static std::optional<std::string> SectionName(const std::string& line) {
        const std::string t = Trim(line);
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']')
            return Trim(std::string_view(t).substr(1, t.size() - 2));
        return std::nullopt;
    }

    std::optional<std::size_t> SectionLine(const std::string& section) const {
        for (std::size_t i = 0; i < m_lines.size(); ++i) {
            if (const auto name = SectionName(m_lines[i]); name && Lower(*name) == Lower(section))
                return i;
        }
        return std::nullopt;
    }

    // The first line after the section's last value (where a new value goes).
    std::size_t SectionEnd(const std::string& section) const {
        std::size_t i = 0;
        if (!section.empty())
            i = *SectionLine(section) + 1;
        std::size_t end = i;
        for (; i < m_lines.size(); ++i) {
            if (SectionName(m_lines[i]))
                break;
            if (!Trim(m_lines[i]).empty())
                end = i + 1;
        }
        return end;
    }

    std::optional<std::size_t> ValueLine(const std::string& section,
                                         const std::string& name) const {
        std::size_t i = 0;
        if (!section.empty()) {
            const std::optional<std::size_t> head = SectionLine(section);
            if (!head)
                return std::nullopt;
            i = *head + 1;
        }
        for (; i < m_lines.size(); ++i) {
            const std::string& line = m_lines[i];
            if (SectionName(line))
                break;
            const std::string t = Trim(line);
            if (t.empty() || t[0] == ';' || t[0] == '#')
                continue;
            const std::size_t eq = line.find('=');
            if (eq != std::string::npos && Lower(Trim(line.substr(0, eq))) == Lower(name))
                return i;
        }
        return std::nullopt;
    }

    std::vector<std::string> m_lines;
};

bool WriteAtomically(const fs::path& file, const std::string& text) {
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    if (ec)
        return false;
    std::string temp = (file.parent_path() / ".settings.ini.XXXXXX").string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    bool ok = true;
    for (std::size_t done = 0; ok && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += static_cast<std::size_t>(n);
    }
    ok = ok && ::fchmod(fd, 0600) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), file.c_str()) == 0;
    if (!ok)
        ::unlink(temp.c_str());
    return ok;
}

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
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
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out + "\"";
}

std::string Unquote(const std::string& text) {
    std::string out;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] == '\\' && i + 2 < text.size()) {
            const char next = text[++i];
            out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

// A stored value as the registry sees it.
struct Value {
    DWORD type = REG_NONE;
    DWORD number = 0;
    std::string text;  // UTF-8
};

std::optional<Value> Parse(const std::string& stored) {
    Value value;
    if (stored.size() >= 2 && stored.front() == '"' && stored.back() == '"') {
        value.type = REG_SZ;
        value.text = Unquote(stored);
        return value;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long long number = std::strtoull(stored.c_str(), &end, 10);
    if (!stored.empty() && *end == '\0' && errno == 0 && number <= 0xFFFFFFFFull &&
        stored[0] != '-') {
        value.type = REG_DWORD;
        value.number = static_cast<DWORD>(number);
        return value;
    }
    value.type = REG_SZ;
    value.text = stored;
    return value;
}

LSTATUS Open(HKEY parent, std::string_view subKey, bool create, PHKEY result, DWORD* disposition) {
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    const Key* base = KeyOf(parent);
    if (!base)
        return ERROR_INVALID_HANDLE;
    auto key = std::make_unique<Key>(*base);
    for (std::string& part : SplitPath(subKey))
        key->path.push_back(std::move(part));
    const std::optional<Place> place = PlaceOf(*key);
    bool existed = false;
    if (place) {
        std::error_code ec;
        existed = fs::exists(place->file, ec) && IniFile(place->file).HasSection(place->section);
    } else if (key->path.size() <= 1 && key->root == HKEY_CURRENT_USER) {
        existed = true;  // the user's root and its Software key
    }
    if (!existed) {
        if (!create)
            return ERROR_FILE_NOT_FOUND;
        if (!place)
            return key->path.size() <= 1 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
        IniFile file(place->file);
        file.AddSection(place->section);
        if (!WriteAtomically(place->file, file.Text()))
            return ERROR_ACCESS_DENIED;
    }
    if (disposition)
        *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    Key* raw = key.get();
    Keys().emplace(raw, std::move(key));
    *result = reinterpret_cast<HKEY>(raw);
    return ERROR_SUCCESS;
}

LSTATUS Query(HKEY handle, const std::string& name, DWORD* type, BYTE* data, DWORD* size,
              bool wide) {
    const Key* key = KeyOf(handle);
    if (!key)
        return ERROR_INVALID_HANDLE;
    const std::optional<Place> place = PlaceOf(*key);
    if (!place)
        return ERROR_FILE_NOT_FOUND;
    const std::optional<std::string> stored = IniFile(place->file).Get(place->section, name);
    const std::optional<Value> value = stored ? Parse(*stored) : std::nullopt;
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = value->type;
    std::string bytes;
    if (value->type == REG_DWORD) {
        bytes.assign(reinterpret_cast<const char*>(&value->number), sizeof(DWORD));
    } else if (wide) {
        std::u16string text = qv::ToUtf16(value->text);
        text.push_back(u'\0');
        bytes.assign(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t));
    } else {
        bytes = value->text;
        bytes.push_back('\0');
    }
    if (!size)
        return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    const DWORD needed = static_cast<DWORD>(bytes.size());
    if (data && *size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (data)
        std::memcpy(data, bytes.data(), bytes.size());
    *size = needed;
    return ERROR_SUCCESS;
}

LSTATUS Store(HKEY handle, const std::string& name, DWORD type, const BYTE* data, DWORD size,
              bool wide) {
    const Key* key = KeyOf(handle);
    if (!key)
        return ERROR_INVALID_HANDLE;
    const std::optional<Place> place = PlaceOf(*key);
    if (!place || name.find_first_of("=\n\r[") != std::string::npos)
        return ERROR_ACCESS_DENIED;
    std::string stored;
    if (type == REG_DWORD) {
        if (!data || size < sizeof(DWORD))
            return ERROR_INVALID_PARAMETER;
        DWORD number = 0;
        std::memcpy(&number, data, sizeof number);
        stored = std::to_string(number);
    } else if (type == REG_SZ) {
        std::string text;
        if (wide) {
            const auto* chars = reinterpret_cast<const char16_t*>(data);
            std::u16string value(chars, chars ? size / sizeof(char16_t) : 0);
            value.resize(std::char_traits<char16_t>::length(value.c_str()));
            text = qv::ToUtf8(value);
        } else {
            std::string value(reinterpret_cast<const char*>(data), data ? size : 0);
            value.resize(std::strlen(value.c_str()));
            text = value;
        }
        stored = Quote(text);
    } else {
        return ERROR_INVALID_PARAMETER;
    }
    IniFile file(place->file);
    file.Set(place->section, name, stored);
    return WriteAtomically(place->file, file.Text()) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

std::string Narrow(const char16_t* text) {
    return text ? qv::ToUtf8(text) : std::string();
}

std::string Narrow(const char* text) {
    return text ? std::string(text) : std::string();
}

}  // namespace

LSTATUS RegOpenKeyExA(HKEY key, const char* subKey, DWORD, REGSAM, PHKEY result) {
    return Open(key, Narrow(subKey), false, result, nullptr);
}

LSTATUS RegOpenKeyExW(HKEY key, const char16_t* subKey, DWORD, REGSAM, PHKEY result) {
    return Open(key, Narrow(subKey), false, result, nullptr);
}

LSTATUS RegCreateKeyExA(HKEY key, const char* subKey, DWORD, char*, DWORD, REGSAM, const void*,
                        PHKEY result, DWORD* disposition) {
    return Open(key, Narrow(subKey), true, result, disposition);
}

LSTATUS RegCreateKeyExW(HKEY key, const char16_t* subKey, DWORD, char16_t*, DWORD, REGSAM,
                        const void*, PHKEY result, DWORD* disposition) {
    return Open(key, Narrow(subKey), true, result, disposition);
}

LSTATUS RegQueryValueExA(HKEY key, const char* name, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
    return Query(key, Narrow(name), type, data, size, false);
}

LSTATUS RegQueryValueExW(HKEY key, const char16_t* name, DWORD*, DWORD* type, BYTE* data,
                         DWORD* size) {
    return Query(key, Narrow(name), type, data, size, true);
}

LSTATUS RegSetValueExA(HKEY key, const char* name, DWORD, DWORD type, const BYTE* data,
                       DWORD size) {
    return Store(key, Narrow(name), type, data, size, false);
}

LSTATUS RegSetValueExW(HKEY key, const char16_t* name, DWORD, DWORD type, const BYTE* data,
                       DWORD size) {
    return Store(key, Narrow(name), type, data, size, true);
}

LSTATUS RegDeleteValueA(HKEY key, const char* name) {
    const Key* k = KeyOf(key);
    if (!k)
        return ERROR_INVALID_HANDLE;
    const std::optional<Place> place = PlaceOf(*k);
    if (!place)
        return ERROR_FILE_NOT_FOUND;
    IniFile file(place->file);
    if (!file.Remove(place->section, Narrow(name)))
        return ERROR_FILE_NOT_FOUND;
    return WriteAtomically(place->file, file.Text()) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LSTATUS RegDeleteValueW(HKEY key, const char16_t* name) {
    const std::string utf8 = Narrow(name);
    return RegDeleteValueA(key, utf8.c_str());
}

LSTATUS RegCloseKey(HKEY key) {
    if (IsRoot(key))
        return ERROR_SUCCESS;
    auto* k = reinterpret_cast<const Key*>(key);
    return Keys().erase(k) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
