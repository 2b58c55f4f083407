#include "host/dxf/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>

namespace host::dxf {

namespace {

struct SaveFailure {
    std::string why;
};

std::string Folder(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool SaveFileAtomically(const std::string& path,
                        const std::function<void(const ByteSink&)>& produce, std::string& error) {
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        error = "cannot save " + path + ": cannot create a file in " + Folder(path) + ": " +
                std::strerror(errno);
        return false;
    }
    try {
        struct stat old {};
        if (stat(path.c_str(), &old) == 0) {
            fchmod(fd, old.st_mode & 07777);
        } else {
            const mode_t mask = umask(0);
            umask(mask);
            fchmod(fd, 0666 & ~mask);
        }
        produce([&](std::string_view s) {
            while (!s.empty()) {
                const ssize_t n = ::write(fd, s.data(), s.size());
                if (n < 0) {
                    if (errno == EINTR)
                        continue;
                    throw SaveFailure{std::strerror(errno)};
                }
                s.remove_prefix(static_cast<std::size_t>(n));
            }
        });
        if (fsync(fd) != 0)
            throw SaveFailure{std::strerror(errno)};
        if (close(fd) != 0) {
            const int err = errno;
            unlink(temp.c_str());
            error = "cannot save " + path + ": " + std::strerror(err);
            return false;
        }
    } catch (const SaveFailure& f) {
        close(fd);
        unlink(temp.c_str());
        error = "cannot save " + path + ": " + f.why;
        return false;
    } catch (const std::exception& e) {
        close(fd);
        unlink(temp.c_str());
        error = "cannot save " + path + ": " + e.what();
        return false;
    }
    if (rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        unlink(temp.c_str());
        error = "cannot save " + path + ": " + std::strerror(err);
        return false;
    }
    // The new directory entry is made durable too.
    const int dir = open(Folder(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

}  // namespace host::dxf
