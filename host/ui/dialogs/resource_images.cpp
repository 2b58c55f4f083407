// Resource images: the resource tables compiled into modules and programs (platform/afxres.h),
// registered per image while the image is loaded, and the lookups of dialog templates and
// data resources by number or by name.
//
// An image is known by its instance handle, the start of its mapping as the dynamic loader
// reports it; this is the handle AfxFindModuleInstance gives for any address in the image, so
// a module's resource instance finds the tables compiled into it.
#include <dlfcn.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "host/ui/dialogs/model.h"
#include "platform/afxres.h"
#include "platform/textconv.h"

namespace host {

namespace {

struct Registration {
    HINSTANCE instance;
    const RESOURCE_DIRECTORY* directory;
};

struct Registry {
    std::mutex mutex;
    std::vector<Registration> images;  // in registration order
};

// Never destroyed: images unregister from their static destructors, which may run after this
// library's own.
Registry& Images() {
    static auto* registry = new Registry;
    return *registry;
}

// A resource name as a lookup gives it: a number (a MAKEINTRESOURCE pointer, or a text
// "#123") or a text.
struct Key {
    bool numeric = false;
    int number = 0;
    std::string text;  // UTF-8
};

bool ParseOrdinal(std::string_view text, int& number) {
    if (text.size() < 2 || text[0] != '#')
        return false;
    long value = 0;
    for (char c : text.substr(1)) {
        if (c < '0' || c > '9' || value > 0xFFFF)
            return false;
        value = value * 10 + (c - '0');
    }
    if (value > 0xFFFF)
        return false;
    number = static_cast<int>(value);
    return true;
}

Key KeyOf(const char* name) {
    Key key;
    if (IS_INTRESOURCE(name)) {
        key.numeric = true;
        key.number = static_cast<int>(reinterpret_cast<std::uintptr_t>(name));
    } else if (ParseOrdinal(name, key.number)) {
        key.numeric = true;
    } else {
        key.text = name;
    }
    return key;
}

Key KeyOf(const char16_t* name) {
    if (IS_INTRESOURCE(name)) {
        Key key;
        key.numeric = true;
        key.number = static_cast<int>(reinterpret_cast<std::uintptr_t>(name));
        return key;
    }
    const std::string text = qv::ToUtf8(name);
    return KeyOf(text.c_str());
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

bool Matches(int id, const char* name, const Key& key) {
    if (key.numeric)
        return !name && id == key.number && id != 0;
    return name && EqualsIgnoringAsciiCase(name, key.text);
}

// Numeric resource types of the platform that name the types the tables hold.
const char* TypeName(const char* type) {
    if (!IS_INTRESOURCE(type))
        return type;
    switch (reinterpret_cast<std::uintptr_t>(type)) {
        case 2:  // RT_BITMAP
            return "BITMAP";
        case 3:   // RT_ICON
        case 14:  // RT_GROUP_ICON
            return "ICON";
        case 23:  // RT_HTML
            return "HTML";
        default:
            return nullptr;
    }
}

// The directories registered for an image (usually one), or for every image when no instance
// is given, in registration order.
std::vector<const RESOURCE_DIRECTORY*> DirectoriesOf(HINSTANCE instance) {
    std::vector<const RESOURCE_DIRECTORY*> found;
    Registry& registry = Images();
    std::lock_guard<std::mutex> lock(registry.mutex);
    for (const Registration& r : registry.images) {
        if (!instance || r.instance == instance)
            found.push_back(r.directory);
    }
    return found;
}

const RESOURCE_DIALOG* FindDialog(HINSTANCE instance, const Key& key) {
    for (const RESOURCE_DIRECTORY* directory : DirectoriesOf(instance)) {
        for (int i = 0; i < directory->dialogCount; ++i) {
            const RESOURCE_DIALOG& d = directory->dialogs[i];
            if (Matches(d.id, d.name, key))
                return &d;
        }
    }
    return nullptr;
}

const RESOURCE_DATA* FindData(HINSTANCE instance, const Key& key, const char* type) {
    const char* typeName = TypeName(type);
    if (!typeName)
        return nullptr;
    for (const RESOURCE_DIRECTORY* directory : DirectoriesOf(instance)) {
        for (int i = 0; i < directory->dataCount; ++i) {
            const RESOURCE_DATA& r = directory->data[i];
            if (EqualsIgnoringAsciiCase(r.type, typeName) && Matches(r.id, r.name, key))
                return &r;
        }
    }
    return nullptr;
}

}  // namespace

}  // namespace host

AfxResourceImage::AfxResourceImage(const RESOURCE_DIRECTORY* directory) : m_pDirectory(directory) {
    Dl_info info{};
    if (!directory || dladdr(directory, &info) == 0 || !info.dli_fbase)
        return;
    host::Registry& registry = host::Images();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.images.push_back({static_cast<HINSTANCE>(info.dli_fbase), directory});
}

AfxResourceImage::~AfxResourceImage() {
    host::Registry& registry = host::Images();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto& images = registry.images;
    for (auto it = images.begin(); it != images.end(); ++it) {
        if (it->directory == m_pDirectory) {
            // Icons made from the image's resources go with them.
            host::ui::ForgetResourceIcons(it->instance);
            images.erase(it);
            break;
        }
    }
}

const RESOURCE_DIRECTORY* AfxFindResourceDirectory(HINSTANCE instance) {
    if (!instance)
        return nullptr;
    const auto directories = host::DirectoriesOf(instance);
    return directories.empty() ? nullptr : directories.front();
}

const RESOURCE_DIALOG* AfxFindDialogTemplate(HINSTANCE instance, const char* name) {
    return host::FindDialog(instance, host::KeyOf(name));
}

const RESOURCE_DIALOG* AfxFindDialogTemplate(HINSTANCE instance, const char16_t* name) {
    return host::FindDialog(instance, host::KeyOf(name));
}

const RESOURCE_DATA* AfxFindResourceData(HINSTANCE instance, const char* name, const char* type) {
    return host::FindData(instance, host::KeyOf(name), type);
}

const RESOURCE_DATA* AfxFindResourceData(HINSTANCE instance, const char16_t* name,
                                         const char* type) {
    return host::FindData(instance, host::KeyOf(name), type);
}
