#include "host/dxf/atomic_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <optional>

#include "host/base/interrupt.h"

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

// The file a path names once symbolic links are followed (a link to a file not made yet
// names that file). False with errno set for a loop or an unreadable link.
bool FollowLinks(std::string& path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        char buf[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf - 1);
        if (n < 0)
            return false;
        const std::string target(buf, static_cast<std::size_t>(n));
        if (!target.empty() && target.front() == '/')
            path = target;
        else
            path = Folder(path) + "/" + target;
    }
    errno = ELOOP;
    return false;
}

std::string KindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "it is a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "it is a device, not a file";
    if (S_ISFIFO(mode))
        return "it is a FIFO, not a file";
    if (S_ISSOCK(mode))
        return "it is a socket, not a file";
    return "it is not a plain file";
}

// Writes all of s; throws SaveFailure. A cancelled command stops the writing.
void WriteAll(int fd, std::string_view s) {
    while (!s.empty()) {
        if (CancelRequested())
            throw SaveFailure{"cancelled"};
        const ssize_t n = ::write(fd, s.data(), s.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw SaveFailure{std::strerror(errno)};
        }
        s.remove_prefix(static_cast<std::size_t>(n));
    }
}

// Writes straight into a character device or FIFO. Opened without blocking: a FIFO nobody
// reads is an error at once instead of a hang.
bool WriteStream(const std::string& path, const std::string& failed,
                 const std::function<void(const ByteSink&)>& produce, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = failed + ": " +
                (errno == ENXIO ? std::string("no program reads from the FIFO")
                                : std::string(std::strerror(errno)));
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !(S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))) {
        ::close(fd);
        error = failed + ": " + KindOf(st.st_mode);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    try {
        produce([&](std::string_view s) { WriteAll(fd, s); });
    } catch (const SaveFailure& f) {
        ::close(fd);
        error = failed + ": " + f.why;
        return false;
    } catch (const std::exception& e) {
        ::close(fd);
        error = failed + ": " + e.what();
        return false;
    }
    if (::close(fd) != 0) {
        error = failed + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

bool SaveFileAtomically(const std::string& shown,
                        const std::function<void(const ByteSink&)>& produce, std::string& error,
                        const SaveTarget& options) {
    const std::string failed = "cannot " + std::string(options.verb) + " " + shown;
    std::string path = shown;
    if (!FollowLinks(path)) {
        error = failed + ": " + std::strerror(errno);
        return false;
    }
    struct stat old {};
    const bool exists = ::stat(path.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
        if (options.streams && (S_ISCHR(old.st_mode) || S_ISFIFO(old.st_mode)))
            return WriteStream(path, failed, produce, error);
        error = failed + ": " + KindOf(old.st_mode);
        return false;
    }
    // Write-protected is refused even where the folder would allow replacing the file (and
    // for the superuser, whom access() lets write anything).
    if (exists && ((old.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0)) {
        error = failed + ": the file is read-only";
        return false;
    }

    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = failed + ": cannot create a file in " + Folder(path) + ": " + std::strerror(errno);
        return false;
    }
    TemporaryFileGuard guard(temp);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    auto fail = [&](const std::string& why) {
        ::close(fd);
        ::unlink(temp.c_str());
        error = failed + ": " + why;
        return false;
    };
    if (exists) {
        ::fchmod(fd, old.st_mode & 07777);
        // Kept where allowed (the superuser saving someone's drawing); else the saver owns it.
        [[maybe_unused]] const int kept = ::fchown(fd, old.st_uid, old.st_gid);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    try {
        produce([&](std::string_view s) { WriteAll(fd, s); });
        if (CancelRequested())
            throw SaveFailure{"cancelled"};
        if (::fsync(fd) != 0)
            throw SaveFailure{std::strerror(errno)};
    } catch (const SaveFailure& f) {
        return fail(f.why);
    } catch (const std::exception& e) {
        return fail(e.what());
    }
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        error = failed + ": " + std::strerror(err);
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        error = failed + ": " + std::strerror(err);
        return false;
    }
    // The new directory entry is made durable too.
    const int dir = ::open(Folder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace host::dxf
