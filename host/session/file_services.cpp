// The operating system's answers that the platform's path functions need.
#include <sys/stat.h>

#include "platform/shlwapi.h"
#include "platform/textconv.h"

BOOL PathFileExistsA(const char* path) {
    struct stat st {};
    return path && *path && ::stat(path, &st) == 0 ? TRUE : FALSE;
}

BOOL PathFileExistsW(const char16_t* path) {
    if (!path)
        return FALSE;
    const std::string utf8 = qv::ToUtf8(path);
    return PathFileExistsA(utf8.c_str());
}
