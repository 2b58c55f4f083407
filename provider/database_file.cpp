#include "provider/database_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "provider/result.h"

namespace provider {

namespace {

// What a file of this kind is, for an error; null for a regular file or an unknown kind.
const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a named pipe (FIFO)";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return nullptr;
}

[[noreturn]] void FailNotRegular(const std::string& path, mode_t mode, std::u16string_view source) {
    const char* kind = KindOf(mode);
    Fail(E_FAIL, source,
         "'" + path + "' is " +
             (kind ? std::string(kind) + ", not a database file."
                   : std::string("not a regular file.")));
}

[[noreturn]] void FailUnreadable(const std::string& path, int error, std::u16string_view source) {
    if (error == ENOENT || error == ENOTDIR)
        Fail(E_FAIL, source, "Could not find file '" + path + "'.");
    Fail(E_FAIL, source, "Cannot open file '" + path + "': " + std::strerror(error) + ".");
}

}  // namespace

void RequireRegularFile(const std::string& path, std::u16string_view source) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        FailUnreadable(path, path.empty() ? ENOENT : errno, source);
    if (!S_ISREG(st.st_mode))
        FailNotRegular(path, st.st_mode, source);
}

RegularFile::RegularFile(const std::string& path, std::u16string_view source) {
    RequireRegularFile(path, source);
    // Non-blocking: should a named pipe have taken the file's place since the check, opening
    // it returns at once instead of waiting for a writer.
    m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0)
        FailUnreadable(path, errno, source);
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const mode_t mode = st.st_mode;
        ::close(m_fd);
        FailNotRegular(path, mode, source);
    }
    const std::string entry = "/proc/self/fd/" + std::to_string(m_fd);
    m_name = ::access(entry.c_str(), R_OK) == 0 ? entry : path;
}

RegularFile::~RegularFile() {
    ::close(m_fd);
}

}  // namespace provider
