// The framework's exceptions and files over POSIX files. Files open only when they are plain
// files (a FIFO or a device would block or misbehave), and a file's error reaches the caller
// as the framework's CFileException with its standard message.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>

#include "host/base/interrupt.h"
#include "platform/afx.h"
#include "platform/textconv.h"

namespace {

// The temporary files of the CFile objects replacing a file: a signal ending the host removes
// them (host/base/interrupt.h).
std::map<const CFile*, std::unique_ptr<host::TemporaryFileGuard>>& TemporaryGuards() {
    static std::map<const CFile*, std::unique_ptr<host::TemporaryFileGuard>> guards;
    return guards;
}

// The framework's standard text of each file error; %1 is the file's name.
const char* FileErrorText(int cause) {
    switch (cause) {
        case CFileException::genericException:
            return "An unexpected error occurred while accessing %1.";
        case CFileException::fileNotFound:
            return "%1 was not found.";
        case CFileException::badPath:
            return "%1 contains an invalid path.";
        case CFileException::tooManyOpenFiles:
            return "%1 could not be opened because there are too many open files.";
        case CFileException::accessDenied:
            return "Access to %1 was denied.";
        case CFileException::invalidFile:
            return "An invalid file handle was associated with %1.";
        case CFileException::removeCurrentDir:
            return "%1 could not be removed because it is the current directory.";
        case CFileException::directoryFull:
            return "%1 could not be created because the directory is full.";
        case CFileException::badSeek:
            return "Seek failed on %1";
        case CFileException::hardIO:
            return "A hardware I/O error was reported while accessing %1.";
        case CFileException::sharingViolation:
            return "A sharing violation occurred while accessing %1.";
        case CFileException::lockViolation:
            return "A locking violation occurred while accessing %1.";
        case CFileException::diskFull:
            return "Disk full while accessing %1.";
        case CFileException::endOfFile:
            return "An attempt was made to access %1 past its end.";
        default:
            return "An unknown error occurred while accessing %1.";
    }
}

int OpenFlagsOf(UINT openFlags) {
    int flags = O_CLOEXEC;
    switch (openFlags & 0x3) {
        case CFile::modeWrite:
            flags |= O_WRONLY;
            break;
        case CFile::modeReadWrite:
            flags |= O_RDWR;
            break;
        default:
            flags |= O_RDONLY;
            break;
    }
    if (openFlags & CFile::modeCreate) {
        flags |= O_CREAT;
        if (!(openFlags & CFile::modeNoTruncate))
            flags |= O_TRUNC;
    }
    return flags;
}

}  // namespace

// ---- Exceptions ---------------------------------------------------------------------------------

CException::~CException() = default;

void CException::Delete() {
    delete this;
}

BOOL CException::GetErrorMessage(CStringA& message) const {
    message.Empty();
    return FALSE;
}

BOOL CException::GetErrorMessage(CStringW& message) const {
    CStringA utf8;
    const BOOL result = GetErrorMessage(utf8);
    message = CStringW(utf8);
    return result;
}

int CException::ReportError(UINT nType, UINT) {
    CStringA message;
    if (!GetErrorMessage(message))
        message = "No error message is available.";
    return AfxMessageBox(message.GetString(), nType);
}

CFileException::CFileException(int cause, LONG osError, const char* fileName)
    : m_cause(cause), m_lOsError(osError), m_strFileName(fileName ? fileName : "") {}

CFileException::~CFileException() = default;

BOOL CFileException::GetErrorMessage(CStringA& message) const {
    std::string text = FileErrorText(m_cause);
    const std::string name =
        m_strFileName.IsEmpty() ? std::string("an unnamed file") : std::string(m_strFileName);
    const std::size_t at = text.find("%1");
    if (at != std::string::npos)
        text.replace(at, 2, name);
    message = text.c_str();
    return TRUE;
}

int CFileException::OsErrorToException(LONG osError) {
    switch (osError) {
        case 0:
            return none;
        case ENOENT:
            return fileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
        case EINVAL:
            return badPath;
        case EMFILE:
        case ENFILE:
            return tooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return accessDenied;
        case EBADF:
            return invalidFile;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return diskFull;
        case EIO:
            return hardIO;
        case ESPIPE:
            return badSeek;
        case EBUSY:
        case ETXTBSY:
            return sharingViolation;
        case EAGAIN:
            return lockViolation;
        default:
            return genericException;
    }
}

void CFileException::ThrowOsError(LONG osError, const char* fileName) {
    throw new CFileException(OsErrorToException(osError), osError, fileName);
}

// ---- CFile
// --------------------------------------------------------------------------------------------

CFile::CFile() = default;

CFile::CFile(const char* fileName, UINT openFlags) {
    CFileException error;
    if (!Open(fileName, openFlags, &error))
        throw new CFileException(error.m_cause, error.m_lOsError, error.m_strFileName.GetString());
}

CFile::CFile(const char16_t* fileName, UINT openFlags)
    : CFile(fileName ? qv::ToUtf8(fileName).c_str() : nullptr, openFlags) {}

CFile::~CFile() {
    if (m_fd >= 0)
        ::close(m_fd);
    DiscardTemporary();
}

void CFile::DiscardTemporary() {
    if (!m_tempPath.empty())
        ::unlink(m_tempPath.c_str());
    TemporaryGuards().erase(this);
    m_tempPath.clear();
    m_finalPath.clear();
}

BOOL CFile::Open(const char* fileName, UINT openFlags, CFileException* pError) {
    m_path = fileName ? fileName : "";
    auto fail = [&](int osError) {
        if (pError) {
            pError->m_cause = CFileException::OsErrorToException(osError);
            pError->m_lOsError = osError;
            pError->m_strFileName = m_path.c_str();
        }
        return FALSE;
    };
    if (m_fd >= 0)
        return fail(EBUSY);
    if (m_path.empty())
        return fail(ENOENT);
    if ((openFlags & modeCreate) && !(openFlags & modeNoTruncate) && (openFlags & 0x3)) {
        // Replacing the file: write beside it, rename over it on Close.
        std::string target = m_path;
        struct stat st {};
        if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            char resolved[PATH_MAX];
            if (!::realpath(target.c_str(), resolved))
                return fail(errno);
            target = resolved;
        }
        if (::stat(target.c_str(), &st) == 0) {
            if (!S_ISREG(st.st_mode))
                return fail(S_ISDIR(st.st_mode) ? EISDIR : EACCES);
            if (::access(target.c_str(), W_OK) != 0)
                return fail(errno);
        }
        namespace fs = std::filesystem;
        const fs::path final(target);
        std::string pattern =
            (final.parent_path() / ("." + final.filename().string() + ".XXXXXX")).string();
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0)
            return fail(errno);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        if (::stat(target.c_str(), &st) == 0) {
            ::fchmod(fd, st.st_mode & 07777);
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            ::fchmod(fd, 0666 & ~mask);
        }
        m_fd = fd;
        m_finalPath = target;
        m_tempPath = pattern;
        TemporaryGuards()[this] = std::make_unique<host::TemporaryFileGuard>(pattern);
        return TRUE;
    }
    // Non-blocking, so that opening a FIFO cannot hang; then only plain files are kept.
    const int fd = ::open(m_path.c_str(), OpenFlagsOf(openFlags) | O_NONBLOCK, 0666);
    if (fd < 0)
        return fail(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(S_ISDIR(st.st_mode) ? EISDIR : EACCES);
    }
    const int status = ::fcntl(fd, F_GETFL);
    if (status >= 0)
        ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    m_fd = fd;
    return TRUE;
}

BOOL CFile::Open(const char16_t* fileName, UINT openFlags, CFileException* pError) {
    const std::string utf8 = fileName ? qv::ToUtf8(fileName) : std::string();
    return Open(utf8.c_str(), openFlags, pError);
}

void CFile::ThrowLastError() const {
    CFileException::ThrowOsError(errno, m_path.c_str());
}

void CFile::Close() {
    if (m_fd < 0)
        return;
    const int fd = m_fd;
    m_fd = -1;
    const bool replacing = !m_tempPath.empty();
    if ((replacing && ::fsync(fd) != 0) || ::close(fd) != 0) {
        const int error = errno;
        DiscardTemporary();
        CFileException::ThrowOsError(error, m_path.c_str());
    }
    if (replacing) {
        if (::rename(m_tempPath.c_str(), m_finalPath.c_str()) != 0) {
            const int error = errno;
            DiscardTemporary();
            CFileException::ThrowOsError(error, m_path.c_str());
        }
        TemporaryGuards().erase(this);
        m_tempPath.clear();
        m_finalPath.clear();
    }
}

void CFile::Abort() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    DiscardTemporary();
}

UINT CFile::Read(void* buffer, UINT count) {
    if (m_fd < 0)
        CFileException::ThrowOsError(EBADF, m_path.c_str());
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(m_fd, static_cast<char*>(buffer) + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowLastError();
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<UINT>(done);
}

void CFile::Write(const void* buffer, UINT count) {
    if (m_fd < 0)
        CFileException::ThrowOsError(EBADF, m_path.c_str());
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_fd, static_cast<const char*>(buffer) + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowLastError();
        }
        done += static_cast<std::size_t>(n);
    }
}

ULONGLONG CFile::GetLength() const {
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        return 0;
    return static_cast<ULONGLONG>(st.st_size);
}

// ---- CStdioFile
// -----------------------------------------------------------------------------------

CStdioFile::CStdioFile() = default;

CStdioFile::CStdioFile(const char* fileName, UINT openFlags) {
    CFileException error;
    if (!Open(fileName, openFlags, &error))
        throw new CFileException(error.m_cause, error.m_lOsError, error.m_strFileName.GetString());
}

CStdioFile::CStdioFile(const char16_t* fileName, UINT openFlags)
    : CStdioFile(fileName ? qv::ToUtf8(fileName).c_str() : nullptr, openFlags) {}

CStdioFile::~CStdioFile() {
    // Written text not yet on disk is written now; errors can no longer be reported.
    try {
        Flush();
    } catch (CFileException* e) {
        e->Delete();
    }
}

BOOL CStdioFile::Open(const char* fileName, UINT openFlags, CFileException* pError) {
    m_buffer.clear();
    m_pending.clear();
    m_pos = 0;
    m_eof = false;
    m_started = false;
    return CFile::Open(fileName, openFlags, pError);
}

void CStdioFile::Flush() {
    if (m_pending.empty() || m_fd < 0)
        return;
    std::string pending;
    pending.swap(m_pending);
    Write(pending.data(), static_cast<UINT>(pending.size()));
}

void CStdioFile::Close() {
    if (m_fd < 0)
        return;
    try {
        Flush();
    } catch (...) {
        Abort();
        throw;
    }
    CFile::Close();
}

void CStdioFile::Abort() {
    m_pending.clear();
    CFile::Abort();
}

bool CStdioFile::FillBuffer() {
    if (m_eof)
        return false;
    char chunk[4096];
    const UINT n = Read(chunk, sizeof chunk);
    if (n == 0) {
        m_eof = true;
        return false;
    }
    m_buffer.erase(0, m_pos);
    m_pos = 0;
    m_buffer.append(chunk, n);
    if (!m_started && m_buffer.size() >= 3) {
        m_started = true;
        if (m_buffer.compare(0, 3, "\xEF\xBB\xBF") == 0)
            m_pos = 3;
    }
    return true;
}

BOOL CStdioFile::ReadString(CStringA& line) {
    line.Empty();
    while (true) {
        const std::size_t end = m_buffer.find('\n', m_pos);
        if (end != std::string::npos) {
            std::string text = m_buffer.substr(m_pos, end - m_pos);
            m_pos = end + 1;
            if (!text.empty() && text.back() == '\r')
                text.pop_back();
            line = text.c_str();
            return TRUE;
        }
        if (!FillBuffer()) {
            if (!m_started && m_buffer.size() - m_pos >= 3 &&
                m_buffer.compare(m_pos, 3, "\xEF\xBB\xBF") == 0)
                m_pos += 3;
            m_started = true;
            if (m_pos >= m_buffer.size())
                return FALSE;
            std::string text = m_buffer.substr(m_pos);
            m_pos = m_buffer.size();
            if (!text.empty() && text.back() == '\r')
                text.pop_back();
            line = text.c_str();
            return TRUE;
        }
    }
}

BOOL CStdioFile::ReadString(CStringW& line) {
    CStringA utf8;
    const BOOL result = ReadString(utf8);
    line = CStringW(utf8);
    return result;
}

void CStdioFile::WriteString(const char* text) {
    if (m_fd < 0)
        CFileException::ThrowOsError(EBADF, m_path.c_str());
    if (text)
        m_pending += text;
    if (m_pending.size() >= 65536)
        Flush();
}

void CStdioFile::WriteString(const char16_t* text) {
    if (text) {
        const std::string utf8 = qv::ToUtf8(text);
        WriteString(utf8.c_str());
    } else {
        WriteString(static_cast<const char*>(nullptr));
    }
}
