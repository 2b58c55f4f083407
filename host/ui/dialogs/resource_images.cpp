// Resources of loaded images: the directories that compiled resource files register, and
// lookups by instance handle.
#include <dlfcn.h>

#include <algorithm>
#include <vector>

#include "host/ui/dialogs/model.h"
#include "platform/afxres.h"
#include "platform/textconv.h"

namespace {

struct Image {
    HINSTANCE instance;
    const RESOURCE_DIRECTORY* directory;
};

std::vector<Image>& Images() {
    static std::vector<Image> images;
    return images;
}

HINSTANCE InstanceOf(const void* address) {
    Dl_info info{};
    if (!address || dladdr(address, &info) == 0)
        return nullptr;
    return static_cast<HINSTANCE>(info.dli_fbase);
}

bool EqualNoCaseAscii(const char* a, const char* b) {
    if (!a || !b)
        return false;
    for (; *a && *b; ++a, ++b) {
        char x = *a, y = *b;
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return *a == *b;
}

// Calls visit for the directory of an instance, or of every image when instance is null, until
// it returns a result.
template <class T, class Visit>
const T* Search(HINSTANCE instance, Visit visit) {
    for (const Image& image : Images()) {
        if (instance && image.instance != instance)
            continue;
        if (const T* found = visit(*image.directory))
            return found;
    }
    return nullptr;
}

template <class T>
bool NameMatches(const T& resource, const char* name) {
    if (IS_INTRESOURCE(name))
        return !resource.name && resource.id == static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
    return resource.name && EqualNoCaseAscii(resource.name, name);
}

}  // namespace

AfxResourceImage::AfxResourceImage(const RESOURCE_DIRECTORY* directory) : m_pDirectory(directory) {
    if (directory)
        Images().push_back(Image{InstanceOf(directory), directory});
}

AfxResourceImage::~AfxResourceImage() {
    auto& images = Images();
    for (const Image& image : images) {
        if (image.directory == m_pDirectory)
            host::ui::ForgetResourceIcons(image.instance);
    }
    images.erase(std::remove_if(images.begin(), images.end(),
                                [this](const Image& i) { return i.directory == m_pDirectory; }),
                 images.end());
}

const RESOURCE_DIRECTORY* AfxFindResourceDirectory(HINSTANCE instance) {
    for (const Image& image : Images()) {
        if (image.instance == instance)
            return image.directory;
    }
    return nullptr;
}

const RESOURCE_DIALOG* AfxFindDialogTemplate(HINSTANCE instance, const char* name) {
    if (!name)
        return nullptr;
    return Search<RESOURCE_DIALOG>(instance, [name](const RESOURCE_DIRECTORY& d) {
        for (int i = 0; i < d.dialogCount; ++i) {
            if (NameMatches(d.dialogs[i], name))
                return &d.dialogs[i];
        }
        return static_cast<const RESOURCE_DIALOG*>(nullptr);
    });
}

const RESOURCE_DIALOG* AfxFindDialogTemplate(HINSTANCE instance, const char16_t* name) {
    if (!name || IS_INTRESOURCE(name))
        return AfxFindDialogTemplate(instance, reinterpret_cast<const char*>(name));
    const std::string utf8 = qv::ToUtf8(name);
    return AfxFindDialogTemplate(instance, utf8.c_str());
}

const RESOURCE_DATA* AfxFindResourceData(HINSTANCE instance, const char* name, const char* type) {
    if (!name || !type)
        return nullptr;
    return Search<RESOURCE_DATA>(instance, [name, type](const RESOURCE_DIRECTORY& d) {
        for (int i = 0; i < d.dataCount; ++i) {
            if (EqualNoCaseAscii(d.data[i].type, type) && NameMatches(d.data[i], name))
                return &d.data[i];
        }
        return static_cast<const RESOURCE_DATA*>(nullptr);
    });
}

const RESOURCE_DATA* AfxFindResourceData(HINSTANCE instance, const char16_t* name,
                                         const char* type) {
    if (!name || IS_INTRESOURCE(name))
        return AfxFindResourceData(instance, reinterpret_cast<const char*>(name), type);
    const std::string utf8 = qv::ToUtf8(name);
    return AfxFindResourceData(instance, utf8.c_str(), type);
}
