// The kernel library's system services (platform/winbase.h): module file names through the
// dynamic loader, and the running system's description from /etc/os-release and uname.
#include <dlfcn.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/textconv.h"
#include "platform/winbase.h"

namespace {

std::string ModulePath(HMODULE module) {
    if (!module) {
        std::error_code ec;
        const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
        return ec ? std::string() : self.string();
    }
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(module), &info) == 0 || !info.dli_fname)
        return {};
    // The loader names the file as it was given; the shell and the help viewer need it whole.
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(info.dli_fname, ec);
    return ec ? std::string(info.dli_fname) : absolute.lexically_normal().string();
}

template <class C>
DWORD CopyOut(const std::basic_string<C>& text, C* buffer, DWORD size) {
    if (!buffer || size == 0)
        return 0;
    const std::size_t n = std::min<std::size_t>(text.size(), size - 1);
    std::copy_n(text.begin(), n, buffer);
    buffer[n] = C(0);
    return static_cast<DWORD>(n);
}

template <std::size_t N>
void CopyField(char (&field)[N], const std::string& text) {
    const std::size_t n = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

// A value of os-release: KEY=VALUE, the value possibly in single or double quotes with
// backslash escapes.
std::string OsReleaseValue(const std::string& key) {
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::ifstream in(path);
        if (!in)
            continue;
        std::string line;
        while (std::getline(in, line)) {
            if (line.compare(0, key.size() + 1, key + "=") != 0)
                continue;
            std::string value = line.substr(key.size() + 1);
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                value.back() == value.front()) {
                const char quote = value.front();
                std::string out;
                for (std::size_t i = 1; i + 1 < value.size(); ++i) {
                    if (quote == '"' && value[i] == '\\' && i + 2 < value.size())
                        ++i;
                    out += value[i];
                }
                value = out;
            }
            return value;
        }
        return {};
    }
    return {};
}

}  // namespace

DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size) {
    const std::string path = ModulePath(module);
    return path.empty() ? 0 : CopyOut(path, buffer, size);
}

DWORD GetModuleFileNameW(HMODULE module, char16_t* buffer, DWORD size) {
    const std::string path = ModulePath(module);
    return path.empty() ? 0 : CopyOut(qv::ToUtf16(path), buffer, size);
}

BOOL GetVersionExA(OSVERSIONINFOA*) {
    return FALSE;
}

BOOL GetVersionExW(OSVERSIONINFOW*) {
    return FALSE;
}

BOOL GetSystemReleaseInfo(SYSTEMRELEASEINFO* info) {
    if (!info)
        return FALSE;
    *info = SYSTEMRELEASEINFO{};
    utsname names{};
    if (uname(&names) != 0)
        return FALSE;
    std::string distribution = OsReleaseValue("PRETTY_NAME");
    if (distribution.empty())
        distribution = OsReleaseValue("NAME");
    // Line breaks would break the pieces of the description apart.
    std::replace_if(
        distribution.begin(), distribution.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20; }, ' ');
    CopyField(info->szDistribution, distribution);
    CopyField(info->szKernelName, names.sysname);
    CopyField(info->szKernelRelease, names.release);
    CopyField(info->szMachine, names.machine);
    return TRUE;
}
